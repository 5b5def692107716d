// Timers, panels and images.
#pragma once

#include "Controls.h"
#include "StdCtrls.h"

// A window timer: every Interval milliseconds while Enabled and OnTimer is
// assigned, the timer event (the virtual Timer, which raises OnTimer) runs
// on the main thread. A tick never starts while the previous one still runs.
// Freeing the timer inside its own tick is allowed: it stops at once (no
// further ticks, Enabled false, csDestroying set) and ends once the tick has
// returned.
class TTimer : public TComponent {
public:
    KES_CLASS_NAME(TTimer)
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal value);
    TNotifyEvent OnTimer;

protected:
    bool CanFreeNow() override;
    // The timer event of one tick: raises OnTimer. Descendants that do their
    // work here still need an OnTimer assigned for the ticks to come.
    virtual void Timer();
    // A tick of this timer is running.
    bool InTick() const { return FInTick; }

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    HWND FWindow = nullptr;
    bool FEnabled = true;
    Cardinal FInterval = 1000;
    bool FInTick = false;
};

// ---------------------------------------------------------------------------
// Panels

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
// Where a panel puts its caption between the top and the bottom.
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };

// The part of a panel's client area inside its bevels and border: where the
// caption is centred and aligned controls go.
TRect PanelInnerRect(const TRect& client, TBevelCut outer, TBevelCut inner, int bevelWidth, int borderWidth);

class TCustomPanel : public TCustomControl {
public:
    KES_CLASS_NAME(TCustomPanel)
    explicit TCustomPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    // Space between the outer and the inner bevel, in the panel's colour.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    // bsSingle adds the sunken window edge around the panel.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
    void SetVerticalAlignment(TVerticalAlignment value);
    // Off: the caption is not drawn.
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool value);
    // The panel shows its parent's background instead of filling its own.
    bool ParentBackground() const { return (FControlStyle & csParentBackground) != 0; }
    void SetParentBackground(bool value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void AlignControls(TControl* AControl, RECT& Rect) override;
    void Dispatch(TMessage& Message) override;
    void Paint() override;
    TRect InnerRect();

    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TBorderStyle FBorderStyle = bsNone;
    TAlignment FAlignment = taCenter;
    TVerticalAlignment FVerticalAlignment = taVerticalCenter;
    bool FShowCaption = true;
};

class TPanel : public TCustomPanel {
public:
    KES_CLASS_NAME(TPanel)
    using TCustomPanel::TCustomPanel;
};

// ---------------------------------------------------------------------------
// Images

// Where a picture of the given size is drawn in a client area: at its own
// size from the top-left corner, stretched to fill it, or (Proportional)
// scaled to fit while keeping its aspect ratio - a picture that already
// fits is scaled only when Stretch is set; Center centres the result.
TRect ImageDestRect(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight, bool stretch,
                    bool proportional, bool center);

class TImage : public TGraphicControl {
public:
    KES_CLASS_NAME(TImage)
    explicit TImage(TComponent* AOwner);
    ~TImage() override;

    // The image owns its picture; setting copies the other picture.
    TPicture* Picture() const { return FPicture; }
    void SetPicture(TPicture* value) { FPicture->Assign(value); }
    // The control takes the picture's size whenever the picture changes.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Proportional() const { return FProportional; }
    void SetProportional(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    // Passed on to the picture's graphic: its transparent parts show the parent.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    // Repaints while a graphic loads, whenever it says there is more to show.
    bool IncrementalDisplay() const { return FIncrementalDisplay; }
    void SetIncrementalDisplay(bool value) { FIncrementalDisplay = value; }

    // The rectangle the picture is drawn into.
    TRect DestRect() const;

    // The picture's progress notices, passed on with the graphic as Sender.
    TProgressEvent OnProgress;

protected:
    void Paint() override;
    virtual void PictureChanged(TObject* Sender);
    virtual void Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                          const String& Msg);

    TPicture* FPicture = nullptr;
    bool FAutoSize = false;
    bool FStretch = false;
    bool FProportional = false;
    bool FCenter = false;
    bool FTransparent = false;
    bool FIncrementalDisplay = false;
};
