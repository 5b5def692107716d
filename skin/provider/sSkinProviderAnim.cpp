// The provider's animations: caption-button fades, blend on moving, the
// minimize and restore animations, and the pictures of the whole form they
// show.
#include <algorithm>
#include <memory>

#include "Menus.h"
#include "acFormAnimTimers.h"
#include "acLayeredForms.h"
#include "sGraphUtils.h"
#include "sSkinProvider.h"
#include "sVclUtils.h"
#include "sVclUtilsAnim.h"

namespace {

HWND WndOf(TCustomForm* Form) { return Form && Form->HandleAllocated() ? Form->Handle() : nullptr; }

void SetLayeredStyle(HWND Wnd, bool On) {
    const auto ex = static_cast<DWORD>(::GetWindowLongW(Wnd, GWL_EXSTYLE));
    const DWORD now = On ? (ex | WS_EX_LAYERED) : (ex & ~WS_EX_LAYERED);
    if (now != ex) ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(now));
}

void SetWindowAlpha(HWND Wnd, Byte Alpha) {
    SetLayeredStyle(Wnd, true);
    if (acSetLayeredWindowAttributes) acSetLayeredWindowAttributes(Wnd, 0, Alpha, LWA_ALPHA);
}

constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW;

}  // namespace

void TsSkinProvider::FreeBtnAnimation(TsCaptionButton& Button) {
    TacSBAnimation* timer = Button.Timer;
    if (!timer) return;
    Button.Timer = nullptr;
    timer->PBtnData = nullptr;
    timer->Free();
}

void TsSkinProvider::KillAnimations() {
    for (TsCaptionButton* b : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) FreeBtnAnimation(*b);
    if (FTitleButtons)
        for (Integer i = 0; i < FTitleButtons->Count(); ++i) FreeBtnAnimation(FTitleButtons->Items(i)->BtnData);
    // A form timer gives a form it leaves half way its own look back.
    if (FormTimer) FreeAndNil(FormTimer);
}

bool TsSkinProvider::HasSkinnableMainMenu() const {
    if (!Form) return false;
    TMainMenu* menu = Form->Menu();
    // A menu merged into another form's menu shows nothing of its own.
    if (!menu || menu->AutoMerge() || menu->Items()->Count() == 0) return false;
    return !IsMDIChild() && Form->BorderStyle != TFormBorderStyle::bsDialog;
}

TBitmap* TsSkinProvider::CopyFormCache(bool FreeCache) {
    TBitmap* cache = FCommonData ? FCommonData->FCacheBmp : nullptr;
    if (!cache || cache->Empty() || !Form) return nullptr;
    TBitmap* result = CreateWorkBitmap(cache->Width(), cache->Height());
    PaintFormTo(result, Form, OffsetX(), OffsetY(), this);
    ::GdiFlush();
    if (!BorderForm) FillAlphaRect(result, TRect(0, 0, result->Width(), result->Height()), 255);
    if (FreeCache) {
        FreeAndNil(FCommonData->FCacheBmp);
        FCommonData->BGChanged = true;
    }
    return result;
}

void TsSkinProvider::StartBtnAnimation(TsCaptionButton& Button, Integer NewState, Integer Iterations, bool Up) {
    // A count below 1 shows the new look at once.
    Iterations = std::max(Iterations, 1);
    if (TacSBAnimation* timer = Button.Timer) {
        if (Up) timer->CurrentState = NewState;
        timer->MaxIterations = Iterations;
        timer->Up = Up;
        timer->SetEnabled(true);
        if (NewState == 2) {
            timer->CurrentLevel = Iterations;
            // The pressed look replaces the hot one at full strength.
            if (timer->AForm) {
                timer->AForm->Free();
                timer->AForm = nullptr;
            }
            FreeAndNil(timer->ABmp);
            timer->UpdateForm(255);
        }
        return;
    }
    const HWND wnd = WndOf(Form);
    if (!wnd) return;
    auto* timer = New<TacSBAnimation>(this);
    timer->SetEnabled(false);
    timer->BorderForm = BorderForm;
    timer->FormHandle = wnd;
    timer->SkinData = FCommonData;
    Button.Timer = timer;
    timer->PBtnData = &Button;
    timer->MaxIterations = Iterations;
    timer->SetInterval(12);
    timer->StartAnimation(NewState, Up);
}

void TsSkinProvider::StartMinimizeAnimation() {
    TsSkinManager* manager = ProviderManager(this);
    if (!manager || !manager->AnimEffects()->Minimizing()->Active()) return;
    const HWND wnd = WndOf(Form);
    if (!wnd) return;
    for (TsCaptionButton* b : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
        if (b->Timer) b->Timer->SetEnabled(false);
    if (FTitleButtons)
        for (Integer i = 0; i < FTitleButtons->Count(); ++i)
            if (TacSBAnimation* t = FTitleButtons->Items(i)->BtnData.Timer) t->SetEnabled(false);
    if (FormState & FS_ANIMMINIMIZING) return;
    // Freed before the new phase is set: a timer that ends clears the phases.
    if (FormTimer && !dynamic_cast<TacMinTimer*>(FormTimer)) FreeAndNil(FormTimer);
    FormState |= FS_ANIMMINIMIZING;
    fAnimating = true;
    auto* timer = dynamic_cast<TacMinTimer*>(FormTimer);
    if (!timer) {
        timer = New<TacMinTimer>(this);
        FormTimer = timer;
    } else if (!(FormState & FS_ANIMRESTORING)) {
        timer->InitData();
    }
    FormState &= ~FS_ANIMRESTORING;
    // Starting from the full form (not turning a restore round): a fresh picture.
    if (timer->CurrentAlpha >= timer->AlphaFrom) {
        TBitmap* image = CopyFormCache(false);
        if (!image) {
            // No cache yet: what the window shows now.
            RECT r{};
            ::GetWindowRect(wnd, &r);
            image = CreateWorkBitmap(std::max<LONG>(r.right - r.left, 0), std::max<LONG>(r.bottom - r.top, 0));
            if (const HDC dc = ::GetWindowDC(wnd)) {
                ::BitBlt(image->Canvas()->Handle(), 0, 0, image->Width(), image->Height(), dc, 0, 0, SRCCOPY);
                ::ReleaseDC(wnd, dc);
            }
            ::GdiFlush();
            FillAlphaRect(image, TRect(0, 0, image->Width(), image->Height()), 255);
        }
        FreeAndNil(timer->SavedImage);
        timer->SavedImage = image;
    }
    SetWindowAlpha(wnd, 0);
    timer->SetEnabled(true);
}

bool TsSkinProvider::StartRestoreAnimation() {
    auto* timer = dynamic_cast<TacMinTimer*>(FormTimer);
    TsSkinManager* manager = ProviderManager(this);
    if (!timer || !manager || !manager->AnimEffects()->Minimizing()->Active() || (FormState & FS_ANIMRESTORING))
        return false;
    FormState = (FormState & ~FS_ANIMMINIMIZING) | FS_ANIMRESTORING;
    fAnimating = true;
    // The form stays invisible under the growing picture until it is in place.
    if (const HWND wnd = WndOf(Form)) SetWindowAlpha(wnd, 0);
    timer->SetEnabled(true);
    return true;
}

void TsSkinProvider::StartBlendOnMoving() {
    if (FormState & FS_BLENDMOVING) return;
    TsSkinManager* manager = ProviderManager(this);
    if (!manager || !manager->AnimEffects()->BlendOnMoving()->Active()) return;
    const HWND wnd = WndOf(Form);
    if (!wnd) return;
    TacBlendOnMoving* effect = manager->AnimEffects()->BlendOnMoving();
    FreeAndNil(FormTimer);
    FormState |= FS_BLENDMOVING;
    auto* timer = New<TacMoveTimer>(this);
    FormTimer = timer;
    timer->CurrentBlendValue = Form->AlphaBlend() ? Form->AlphaBlendValue() : 255;
    timer->SP = this;
    timer->BorderForm = BorderForm;
    timer->FormHandle = wnd;
    timer->BlendValue = FAllowBlendOnMoving ? effect->BlendValue() : 255;
    timer->BlendStep = MoveBlendStep(timer->BlendValue, effect->Time());
    timer->SetInterval(12);
    if (!Form->AlphaBlend()) {
        // Becoming layered would flash the form: a picture of it covers the switch.
        std::unique_ptr<TForm, void (*)(TForm*)> cover(MakeCoverForm(wnd), [](TForm* f) {
            if (f) f->Free();
        });
        ::SendMessageW(wnd, WM_SETREDRAW, FALSE, 0);
        SetWindowAlpha(wnd, 255);
        ::SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
        ::RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
    }
    timer->SetEnabled(true);
    // The system's move loop runs until the mouse button is released; the
    // form may be freed inside it.
    const TLiveness alive = Liveness();
    ::SendMessageW(wnd, WM_SYSCOMMAND, 0xF012, 0);
    if (alive.Alive()) EndBlendOnMoving();
}

void TsSkinProvider::EndBlendOnMoving() {
    const HWND wnd = WndOf(Form);
    auto* timer = dynamic_cast<TacMoveTimer*>(FormTimer);
    if (wnd) {
        if (Form->AlphaBlend()) {
            SetWindowAlpha(wnd, Form->AlphaBlendValue());
            if (timer) timer->SetEnabled(false);
        } else {
            std::unique_ptr<TForm, void (*)(TForm*)> cover(MakeCoverForm(wnd), [](TForm* f) {
                if (f) f->Free();
            });
            SetLayeredStyle(wnd, false);
            ::UpdateWindow(wnd);
            if (timer) timer->SetEnabled(false);
            ::RedrawWindow(wnd, nullptr, nullptr, kRedrawAll | RDW_FRAME);
        }
    }
    FormState &= ~FS_BLENDMOVING;
    if (timer) {
        timer->CurrentBlendValue = 255;
        FreeAndNil(FormTimer);
    }
}
