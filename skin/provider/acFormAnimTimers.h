// The form skinner's animation timers: the fade of one caption button over
// a small layered overlay window (TacSBAnimation), the fade of a form while
// it is dragged by its caption (TacMoveTimer), and the shrink of a form into
// its taskbar button and its growth back (TacMinTimer). Main thread only;
// every tick is a window timer of the main thread.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "acThdTimer.h"
#include "sSkinProvider.h"

class TsCommonData;

// ---- caption-button fade ------------------------------------------------------

class TacSBAnimation : public TTimer {
public:
    KES_CLASS_NAME(TacSBAnimation)
    explicit TacSBAnimation(TComponent* AOwner);
    // Stops, frees the overlay and its image and clears the button's Timer.
    ~TacSBAnimation() override;

    // Turns toward NewState (0 normal, 1 hot, 2 pressed); ToUp fades in.
    void StartAnimation(Integer NewState, bool ToUp);
    // The alpha added per step: 255 div MaxIterations (255 for a count
    // below 1: nothing to animate), never negative.
    Integer Step() const;
    void OnAnimTimer(TObject* Sender);
    // Shows the overlay with constant alpha Blend2 (made first when missing).
    void UpdateForm(Byte Blend2);
    void MakeImg();
    void MakeForm();
    // The overlay's screen rectangle.
    TRect GetFormBounds() const;
    // The glow margin of a hot minimize, maximize or close button.
    Integer Offset() const;
    // The cursor left the button: the timer stops and the form hears
    // WM_MOUSELEAVE.
    void CheckMouseLeave();

    TacBorderForm* BorderForm = nullptr;
    TsCommonData* SkinData = nullptr;
    HWND FormHandle = nullptr;
    TsCaptionButton* PBtnData = nullptr;
    Integer CurrentLevel = 0;
    Integer CurrentState = 0;   // 0 normal, 1 hot, 2 pressed, -1 finished
    bool Up = false;
    Integer MaxIterations = 0;  // -1 once the fade-in completed
    TForm* AForm = nullptr;
    TBitmap* ABmp = nullptr;

private:
    TsSkinManager* Manager() const;
    // The glow mask of the button's image (-1 none).
    Integer GlowMaskIndex(Integer ImageIndex) const;
    bool GlowApplies() const;
    void FreeOverlay();
};

// ---- blend on moving ---------------------------------------------------------------

// The opacity lost per 12 ms step to go from 255 down to Target in Time ms:
// all at once below 13 ms, else the nearest integer (halves to even) of
// (255 - Target) / (Time / 12).
Byte MoveBlendStep(Byte Target, Integer Time);

class TacMoveTimer : public TacThreadedTimer {
public:
    KES_CLASS_NAME(TacMoveTimer)
    explicit TacMoveTimer(TComponent* AOwner);
    // Clears the provider's FormTimer when it is still this timer.
    ~TacMoveTimer() override;
    // One step: shows the current opacity, then lowers it toward BlendValue.
    void TimeHandler() override;

    Byte BlendValue = 255;          // the target opacity
    Byte CurrentBlendValue = 255;   // the opacity now
    Byte BlendStep = 0;
    TsSkinProvider* SP = nullptr;
    TacBorderForm* BorderForm = nullptr;
    HWND FormHandle = nullptr;
};

// ---- minimize and restore ----------------------------------------------------------

// Taskbar edges.
constexpr Cardinal tbpLeft = 1, tbpTop = 2, tbpRight = 4, tbpBottom = 8;

// Where a form whose centre is (XFrom, YFrom) shrinks to on a taskbar whose
// window has the rectangle Tray: an empty rectangle on the taskbar's inner
// edge; Position gets the edge.
TRect TaskbarEdgeTarget(const TRect& Tray, Integer XFrom, Integer YFrom, Cardinal& Position);

// The screen rectangle of the program's taskbar button, or an empty one.
TRect FindTaskbarButtonRect();

class TacMinTimer : public TacThreadedTimer {
public:
    KES_CLASS_NAME(TacMinTimer)
    // Owned by the provider it animates (or by another owner, then only
    // Interval, StepCount and the image are set up); starts disabled.
    explicit TacMinTimer(TComponent* AOwner);
    // Frees the animation window it made and its images; clears the
    // provider's FormTimer when it is still this timer.
    ~TacMinTimer() override;

    // Sets the run up again from the provider's form and the manager's
    // Minimizing time; a run turned in the middle keeps its rectangle and
    // opacity.
    void InitData();
    TRect GetRectTo();
    void UpdateDstRect();
    void TimeHandler() override;

    TRect RectFrom{0, 0, 0, 0};
    TRect RectTo{0, 0, 0, 0};
    double CurLeft = 0, CurTop = 0, CurRight = 0, CurBottom = 0;
    double DeltaX = 0, DeltaY = 0;
    Integer XFrom = 0, XTo = 0, YFrom = 0, YTo = 0;
    double DeltaW = 0, DeltaH = 0;
    Byte AlphaOrigin = 255, AlphaFrom = 255, AlphaTo = 0, CurrentAlpha = 255;
    double BlendStep = 0;
    TForm* AnimForm = nullptr;
    Cardinal TBPosition = 0;
    TsSkinProvider* sp = nullptr;
    TacBorderForm* BorderForm = nullptr;
    HWND FormHandle = nullptr;
    TBitmap* SavedImage = nullptr;
    TBitmap* AlphaBmp = nullptr;
    bool Minimized = false;   // true: growing back
    Integer StepCount = 1;
    bool AlphaFormWasCreated = false;

private:
    void DrawStep();
    void FinishRestore();
    void FinishMinimize();
};
