#include "acProgressBar.h"

#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

bool IsRangeMessage(UINT Msg) {
    return Msg == PBM_SETRANGE || Msg == PBM_SETRANGE32 || Msg == PBM_DELTAPOS || Msg == PBM_STEPIT;
}

}  // namespace

TsProgressBar::TsProgressBar(TComponent* AOwner) : TProgressBar(AOwner) {
    FCommonData = New<TsCommonData>(this, false);
    FCommonData->COC = COC_TsProgressBar;
    FControlStyle |= csOpaque;
}

void TsProgressBar::AfterConstruction() {
    TProgressBar::AfterConstruction();
    Timer = New<TTimer>(nullptr);
    Timer->SetEnabled(false);
    Timer->SetInterval(30);
    Timer->OnTimer = TNotifyEvent::Of<&TsProgressBar::MarqueeStep>(this);
    if (!HasState(csLoading)) FCommonData->Loaded();
}

TsProgressBar::~TsProgressBar() {
    if (Timer) Timer->Free();
    FCommonData->Free();
}

void TsProgressBar::Loaded() {
    TProgressBar::Loaded();
    FCommonData->Loaded();
    if (!HasState(csDesigning) && Style() == pbstMarquee) StartMarquee();
}

void TsProgressBar::StartMarquee() {
    if (Timer && FCommonData->Skinned()) Timer->SetEnabled(true);
}

void TsProgressBar::SetProgressSkin(const String& Value) {
    if (FProgressSkin == Value) return;
    FProgressSkin = Value;
    FOldCount = -1;
    FCommonData->Invalidate();
}

bool TsProgressBar::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

TacProgressModel TsProgressBar::Model() {
    TacProgressModel m;
    m.Width = Width();
    m.Height = Height();
    m.BorderWidth = BorderWidth();
    m.Min = Min();
    m.Max = Max();
    m.Position = Position();
    m.Vertical = Orientation() == pbVertical;
    m.Smooth = Smooth();
    m.Marquee = Style() == pbstMarquee;
    m.MarqPos = FMarqPos;
    m.MarqSize = FMarqSize;
    return m;
}

void TsProgressBar::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    const TacProgressModel m = Model();
    // A row of blocks is drawn again only when the number of shown blocks
    // changes, or to fill the last gap of a full bar.
    if (!m.Smooth && !m.Marquee && sd.FCacheBmp && sd.FCacheBmp->Width() == m.Width &&
        sd.FCacheBmp->Height() == m.Height) {
        const Integer count = acProgressBlockCount(m);
        if (count == FOldCount && !acProgressAtMax(m)) {
            sd.BGChanged = false;
            return;
        }
        FOldCount = count;
    }
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    sd.BGChanged = false;
    if (cache->Width() <= 0 || cache->Height() <= 0) return;
    TCacheInfo ci;
    sd.GetParentCache(ci);
    PaintControlSection(FCommonData, ci, 0, cache, TPoint(Left(), Top()), TRect(0, 0, m.Width, m.Height), true);
    if (m.Min >= m.Max) return;

    TsSkinManager* manager = sd.SkinManager();
    if (!manager) return;
    const String section = !FProgressSkin.empty() ? FProgressSkin : m.Vertical ? String(u"PROGRESSV") : String(u"PROGRESSH");
    const Integer index = manager->GetSkinIndex(section);
    if (!manager->IsValidSkinIndex(index)) return;
    const Integer texture = manager->GetTextureIndex(index, section, u"PATTERN");
    const Integer hotTexture = manager->GetTextureIndex(index, section, u"HOTPATTERN");

    TBitmap* work = nullptr;
    const TRect control(0, 0, m.Width, m.Height);
    for (TRect block : acProgressBlocks(m)) {
        // A marquee block that wraps may stick out of the control.
        block.Left = std::max(block.Left, control.Left);
        block.Top = std::max(block.Top, control.Top);
        block.Right = std::min(block.Right, control.Right);
        block.Bottom = std::min(block.Bottom, control.Bottom);
        if (block.Width() <= 0 || block.Height() <= 0) continue;
        if (!work)
            work = CreateWorkBitmap(block.Width(), block.Height());
        else if (work->Width() != block.Width() || work->Height() != block.Height())
            work->SetSize(block.Width(), block.Height());
        TCacheInfo under;
        under.Bmp = cache;
        under.X = 0;
        under.Y = 0;
        under.Ready = true;
        PaintSection(index, section, under, hotTexture, texture, manager, work, TPoint(block.Left, block.Top),
                     TRect(0, 0, block.Width(), block.Height()), 0);
        ::BitBlt(cache->Canvas()->Handle(), block.Left, block.Top, block.Width(), block.Height(),
                 work->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    if (work) work->Free();
}

void TsProgressBar::Paint(HDC DC) {
    if (Width() <= 0 || Height() <= 0 || !HandleAllocated()) return;
    TsCommonData& sd = *FCommonData;
    HDC dc = DC;
    const bool own = dc == nullptr;
    if (own) dc = ::GetDC(Handle());
    if (!dc) return;
    const int saved = ::SaveDC(dc);
    if (!sd.GetUpdating()) {
        sd.CheckHalfVisible();
        if (sd.BGChanged) PrepareCache();
        if (sd.FCacheBmp && sd.FCacheBmp->Width() > 0 && sd.FCacheBmp->Height() > 0) {
            RepaintBorderCorners(FCommonData, 0);
            const TRect all(0, 0, Width(), Height());
            CopyCacheExcludingControls(this, FCommonData, all, all, dc);
            PaintControlsTo(dc, this, TPoint(0, 0));
        }
    }
    ::RestoreDC(dc, saved);
    if (own) ::ReleaseDC(Handle(), dc);
}

void TsProgressBar::MarqueeStep(TObject*) {
    TsCommonData& sd = *FCommonData;
    if (!sd.Skinned()) {
        Timer->SetEnabled(false);
        return;
    }
    if (!Showing() || !HandleAllocated()) return;
    sd.BGChanged = true;
    PrepareCache();
    if (HDC dc = ::GetDC(Handle())) {
        const TRect all(0, 0, Width(), Height());
        CopyCacheExcludingControls(this, FCommonData, all, all, dc);
        ::ReleaseDC(Handle(), dc);
    }
    FMarqPos += 18.0 / (MarqueeInterval() + 27) * FOrient * FMarqStep;
    // The marquee runs along the bar's length: the height of a vertical bar.
    const Integer length = Orientation() == pbVertical ? Height() : Width();
    if (State() == pbsError) {
        // Back and forth between the two ends.
        if (FMarqPos >= length - FMarqSize - BorderWidth() - FMarqStep)
            FOrient = -1;
        else if (FMarqPos <= BorderWidth())
            FOrient = 1;
    } else if (FMarqPos >= length - FMarqStep) {
        FMarqPos = 0;
    }
}

void TsProgressBar::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                if (!HasState(csDesigning) && Style() == pbstMarquee) StartMarquee();
                FOldCount = -1;
            }
            return;
        case AC_REMOVESKIN:
            if (OwnManager(Message.LParam)) {
                if (Style() == pbstMarquee && Timer) Timer->SetEnabled(false);
                HandleCommonMessage(Message, FCommonData);
                if (HandleAllocated())
                    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
            }
            return;
        case AC_REFRESH:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                // The count is forgotten first: the repaint must draw the bar anew.
                FOldCount = -1;
                Repaint();
            }
            return;
        case AC_ENDPARENTUPDATE:
            if (sd.FUpdating) {
                sd.SetUpdating(false);
                Repaint();
            }
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_GETBG:
            if (auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam)) {
                if (sd.FCacheBmp && sd.FCacheBmp->Width() > 0) {
                    info->BgType = btCache;
                    info->Bmp = sd.FCacheBmp;
                    info->Offset = TPoint(0, 0);
                } else {
                    sd.GetBGInfo(*info, 0, nullptr);
                }
                Message.Result = 1;
            }
            return;
        case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return;
        default: break;
        }
    }
    if (ControlIsReady(this) && sd.Skinned()) {
        switch (Message.Msg) {
        case WM_MOVE:
        case WM_SIZE:
        case WM_WINDOWPOSCHANGED:
            FOldCount = -1;
            HandleCommonMessage(Message, FCommonData);
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            const HDC dc = ::BeginPaint(Handle(), &ps);
            Paint(Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : dc);
            ::EndPaint(Handle(), &ps);
            Message.Result = 0;
            return;
        }
        case WM_NCPAINT: Message.Result = 0; return;
        case WM_ERASEBKGND: Message.Result = 1; return;
        case WM_PRINT:
            sd.SetUpdating(false);
            Paint(reinterpret_cast<HDC>(Message.WParam));
            return;
        case PBM_SETPOS:
            // A new position shows at the next paint.
            sd.BGChanged = true;
            if (Style() == pbstMarquee) {
                ::SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
                TProgressBar::WndProc(Message);
                ::SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
            } else {
                TProgressBar::WndProc(Message);
            }
            return;
        default:
            if (IsRangeMessage(Message.Msg)) {
                sd.BGChanged = true;
                break;
            }
            if (HandleCommonMessage(Message, FCommonData)) return;
            break;
        }
    }
    TProgressBar::WndProc(Message);
}
