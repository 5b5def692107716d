#include "sFade.h"

#include <algorithm>
#include <memory>

#include "acUtils.h"
#include "sGraphUtils.h"

bool acSessionEnding = false;

namespace {

int gLivingFadeTimers = 0;

// The section of a skin state, or nullptr when it has none in a usable skin.
const TsGeneralData* FadeSection(const TsCommonData* SkinData) {
    if (!SkinData) return nullptr;
    TsSkinManager* m = SkinData->SkinManager();
    if (!m || m->HasState(csDestroying) || !m->IsValidSkinIndex(SkinData->SkinIndex)) return nullptr;
    return &m->gd()[static_cast<std::size_t>(SkinData->SkinIndex)];
}

bool ControlGone(const TControl* Control) { return !Control || Control->HasState(csDestroying); }

// The weight of the old look in the frame of step Level out of Iterations:
// 255 keeps it, 0 shows the new one.
Byte StepWeight(Integer Level, Integer Iterations) {
    return static_cast<Byte>(LimitToByte(static_cast<Integer>(255 - static_cast<Int64>(Level) * 256 / Iterations)));
}

// The DC a fade frame is painted on when the owner does not take it: the
// owner's window DC, or for a control without a window its parent's DC
// clipped to the control. State saved on the way in, restored on the way out.
class TFrameDC {
public:
    explicit TFrameDC(TControl* Control) {
        if (auto* w = dynamic_cast<TWinControl*>(Control)) {
            if (!w->HandleAllocated()) return;
            FWnd = w->Handle();
            FDC = ::GetWindowDC(FWnd);
        } else if (TWinControl* parent = Control->Parent(); parent && parent->HandleAllocated()) {
            FWnd = parent->Handle();
            FDC = ::GetDC(FWnd);
            FOrigin = TPoint{Control->Left(), Control->Top()};
        }
        if (!FDC) return;
        FSaved = ::SaveDC(FDC);
        if (FOrigin.X != 0 || FOrigin.Y != 0 || !dynamic_cast<TWinControl*>(Control))
            ::IntersectClipRect(FDC, FOrigin.X, FOrigin.Y, FOrigin.X + Control->Width(), FOrigin.Y + Control->Height());
    }
    ~TFrameDC() {
        if (!FDC) return;
        ::RestoreDC(FDC, FSaved);
        ::ReleaseDC(FWnd, FDC);
    }
    TFrameDC(const TFrameDC&) = delete;
    TFrameDC& operator=(const TFrameDC&) = delete;

    void Paint(TBitmap* Frame) const {
        if (!FDC || Frame->Empty()) return;
        ::BitBlt(FDC, FOrigin.X, FOrigin.Y, Frame->Width(), Frame->Height(), Frame->Canvas()->Handle(), 0, 0, SRCCOPY);
    }

private:
    HWND FWnd = nullptr;
    HDC FDC = nullptr;
    int FSaved = 0;
    TPoint FOrigin{0, 0};
};

}  // namespace

int LivingFadeTimers() { return gLivingFadeTimers; }

// ---------------------------------------------------------------------------
// TsFadeTimer

TsFadeTimer::TsFadeTimer(TComponent* AOwner) : TTimer(AOwner) {
    ++gLivingFadeTimers;
    BmpFrom = New<TBitmap>();
    SetDirection(fdNone);
    // The ticks only come with a handler; the work is done in Timer.
    OnTimer = TNotifyEvent::Of<&TsFadeTimer::Idle>(this);
}

TsFadeTimer::~TsFadeTimer() {
    BmpFrom->Free();
    --gLivingFadeTimers;
}

void TsFadeTimer::SetDirection(TFadeDirection Value) {
    FDirection = Value;
    if (FadeLevel < 0) FadeLevel = 1;
    SetEnabled(Value != fdNone);
}

void TsFadeTimer::SetOwnerData(TsCommonData* Value) {
    FOwnerData = Value;
    if (!Value) return;
    TControl* owner = Value->OwnerControl();
    TBitmap* cache = Value->FCacheBmp;
    if (Value->BGChanged && (!cache || cache->Empty()) && owner && !owner->HasState(csDestroying))
        // The cache must hold the current look before it is taken.
        SendSkinCommandToControl(owner, AC_PREPARECACHE);
    BmpFrom->Assign(Value->FCacheBmp);
    SetInterval(10);
    const TsGeneralData* section = FadeSection(Value);
    const Integer total = section ? section->FadingIterations : 0;
    Iterations = total;
    if (FDirection == fdUp)
        Iterations = FadeLevel;
    else if (FDirection == fdDown)
        Iterations = total - FadeLevel;
}

void TsFadeTimer::TakeShownImage(TBitmap* Into) const {
    Into->Assign(BmpFrom);
    // FadeLevel is the step to come: the one before it was painted last.
    const Integer painted = std::min(FadeLevel - 1, Iterations);
    if (painted < 1 || !FOwnerData || !FOwnerData->FCacheBmp) return;
    Into->SetPixelFormat(pf32bit);
    FadeBitmapInto(Into, FOwnerData->FCacheBmp, StepWeight(painted, Iterations));
}

bool TsFadeTimer::OwnerGone() const {
    return !FOwnerData || ControlGone(FOwnerData->OwnerControl()) || !Application || Application->Terminated();
}

void TsFadeTimer::Timer() {
    if (!FOwnerData || HasState(csDestroying)) return;
    if (ToEnd() || acSessionEnding) return;
    if (FDirection == fdUp || FDirection == fdDown) Change();
}

bool TsFadeTimer::ToEnd() {
    if (OwnerGone()) {
        FDirection = fdNone;
        return false;
    }
    if (FadeLevel >= 0 && FadeLevel <= Iterations) return false;
    // The owner stops the fade and frees this timer; when called from the
    // tick, the timer ends once the tick has returned.
    const bool inTick = InTick();
    PerformSkinCommand(FOwnerData->OwnerControl(), AC_STOPFADING);
    // Outside a tick the owner may have freed this timer already. Inside one
    // it lives on until the tick returns; an owner that kept it still gets no
    // further ticks.
    if (inTick && !HasState(csDestroying)) SetDirection(fdNone);
    return true;
}

void TsFadeTimer::Change() {
    if (!FOwnerData || acSessionEnding || Iterations == 0) return;
    TControl* owner = FOwnerData->OwnerControl();
    if (ControlGone(owner)) return;
    if (!owner->Enabled()) {
        // A disabled control ends its fade and shows its disabled look.
        SetEnabled(false);
        Iterations = 0;
        FOwnerData->Invalidate();
        return;
    }
    struct LevelStep {
        Integer& Level;
        ~LevelStep() { ++Level; }
    } step{FadeLevel};   // the level advances also when the step fails
    std::unique_ptr<TBitmap, void (*)(TBitmap*)> frame(New<TBitmap>(), [](TBitmap* b) { b->Free(); });
    frame->Assign(BmpFrom);
    frame->SetPixelFormat(pf32bit);
    FadeBitmapInto(frame.get(), FOwnerData->FCacheBmp, StepWeight(FadeLevel, Iterations));
    TFrameDC dc(owner);
    const LRESULT taken = PerformSkinCommand(owner, AC_UPDATING, reinterpret_cast<LPARAM>(frame.get()));
    if (taken == 0) dc.Paint(frame.get());
}

// ---------------------------------------------------------------------------
// The routines the controls call

bool AnimEventEnabled(TacAnimatEvent Event, TacAnimatEvents Events, TsSkinManager* Manager) {
    if (Events.Contains(Event)) return true;
    if (!Events.Contains(aeGlobalDef) || Event == aeGlobalDef) return false;
    TsSkinManager* m = Manager ? Manager : DefaultManager;
    if (!m || !m->AnimEffects() || !m->AnimEffects()->Buttons()) return false;
    return m->AnimEffects()->Buttons()->Events.Contains(static_cast<TacBtnEvent>(Event));
}

void DoChangePaint(TsFadeTimer*& Timer, TsCommonData* SkinData, bool Halve, bool AllowAnimation,
                   TFadeDirection Direction) {
    if (!SkinData || !SkinData->Skinned()) return;
    const TsGeneralData* section = FadeSection(SkinData);
    TControl* owner = SkinData->OwnerControl();
    if (AllowAnimation && !acSkinLoading && section && section->FadingEnabled && !acSessionEnding &&
        SkinData->FCacheBmp && !SkinData->BGChanged) {
        SkinData->BGChanged = true;
        StartFading(Timer, SkinData, Halve, Direction);
    } else {
        SkinData->BGChanged = true;
        StopFading(Timer, SkinData);
        if (owner && !owner->HasState(csDestroying)) owner->Repaint();
    }
    HWND wnd = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(owner); w && w->HandleAllocated()) wnd = w->Handle();
    SkinData->UpdateGlow(Halve, wnd);
}

void StartFading(TsFadeTimer*& Timer, TsCommonData* SkinData, bool Halve, TFadeDirection Direction) {
    const TsGeneralData* section = FadeSection(SkinData);
    if (!section || !section->FadingEnabled) return;
    TControl* owner = SkinData->OwnerControl();
    // A fade turned back while it runs (the mouse comes back during a leave)
    // starts from the image the control shows now, not from its cache, and
    // takes the section's full number of steps like a new one.
    std::unique_ptr<TBitmap, void (*)(TBitmap*)> shown(nullptr, [](TBitmap* b) { b->Free(); });
    if (Timer) {
        shown.reset(New<TBitmap>());
        Timer->TakeShownImage(shown.get());
        Timer->SetDirection(fdNone);
    } else {
        Timer = New<TsFadeTimer>(owner);
        Timer->SetEnabled(false);
    }
    Timer->FadeLevel = 1;
    Timer->SetOwnerData(SkinData);
    if (shown) Timer->BmpFrom->Assign(shown.get());
    if (Halve) Timer->Iterations = Timer->Iterations / 2;
    if (owner && !owner->HasState(csDestroying)) PerformSkinCommand(owner, AC_PREPARECACHE);
    Timer->SetDirection(Direction);
}

void StopFading(TsFadeTimer*& Timer, TsCommonData*) {
    TsFadeTimer* timer = Timer;
    if (!timer) return;
    // The variable never keeps a timer that is going: one already being
    // destroyed (with its owner) is left to that destruction.
    Timer = nullptr;
    if (timer->HasState(csDestroying)) return;
    timer->SetEnabled(false);
    timer->SetDirection(fdNone);
    timer->Free();
}
