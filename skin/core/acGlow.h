// Glow windows: a soft image drawn from a section's glow mask into a
// borderless layered window of its own round a hot control. The window lets
// every mouse click through. All glows live in one list and are shown,
// hidden and cleared by identifier. Main thread only.
#pragma once

#include "Forms.h"
#include "sSkinManager.h"

class TacGlowEffect : public TObject {
public:
    KES_CLASS_NAME(TacGlowEffect)
    TacGlowEffect() = default;
    ~TacGlowEffect() override;

    TsSkinManager* SkinManager = nullptr;   // whose masks are used (read while the glow is built)
    Integer MaskIndex = -1;
    Integer Margin = 0;                     // how far the glow overlaps the control on each side
    TForm* Wnd = nullptr;                   // the glow window, owned by the effect
    TBitmap* AlphaBmp = nullptr;            // the glow image while the window is prepared
    TWndMethod OldWndProc;                  // the glow window's previous procedure

    // Builds and shows the glow window round R (screen coordinates of the
    // control) of which RealRect (in the control's own coordinates) is
    // visible, placed in the z-order just above WndHandle. Nothing when the
    // window exists; false when nothing is left to show.
    bool Show(const TRect& R, const TRect& RealRect, HWND WndHandle, Integer Alpha);
    // The glow image: the glow mask's first state over a clear bitmap.
    void CreateAlphaBmp(Integer Width, Integer Height);
    // The glow window's procedure: the window is transparent to the mouse.
    void NewWndProc(TMessage& Message);
    // Takes the window down: its previous procedure goes back; it is freed
    // at once with AtOnce (or while the application ends), else released.
    void FreeWindow(bool AtOnce);
};

// Shows a glow round R (see TacGlowEffect::Show) drawn from the mask named
// Name + "0" of section SkinSection of Manager (the default manager when
// nullptr). Answers the glow's identifier, or -1 when there are no layered
// windows, no such mask or nothing visible. Alpha has no effect.
Integer ShowGlow(const TRect& R, const TRect& RealRect, const String& SkinSection, TsSkinManager* Manager,
                 HWND WndHandle, Integer Alpha, Integer Margin, const String& Name);
// Frees the glow ID; identifiers of hidden or cleared glows are ignored
// (an identifier is never given to another glow).
void HideGlow(Integer ID);
// Frees every glow; with RestoreWindows each window first gets its previous
// procedure back and is freed at once.
void ClearGlows(bool RestoreWindows);
// The number of glows alive (for tests and diagnostics).
Integer GlowCount();
// The window of the glow ID, nullptr for none.
HWND GlowWindow(Integer ID);

// The blend of the glow windows: source over, per-pixel alpha, constant alpha 255.
extern BLENDFUNCTION acGlowBlend;

// Unit start-up: the blend and the glow hooks of the skin state. Shut-down
// clears every glow and takes the hooks away.
void acGlowInitialization();
void acGlowFinalization();
