// A scroll box drawn from the skin (section "PANEL_LOW" by default): its
// background and frame come from the section, its graphic children are drawn
// into the same DC, and children asking for the image under them (skin
// command 34) get the box's. While a skin is active its scroll bars are the
// skinned ones of a scrolling adapter (ListSW); removing the skin gives the
// system bars back.
//
// Two ways of painting, chosen at every paint: a cached way when the look
// depends on the parent (or OnPaint draws over it), and a direct way for a
// plain own background, whose fills and border go straight into the DC and
// which keeps no cached image. Without a skin it is the framework's
// scrolling control. Win32, main thread only.
#pragma once

#include "StdCtrls.h"
#include "sCommonDataWin.h"

class TacMainWnd;
class TacScrollWnd;

// Told with the cached image after it was rebuilt, to draw over it.
using TsPaintEvent = TDelegate<void(TObject* Sender, TBitmap* Bmp)>;

class TsScrollBox : public TScrollingWinControl {
public:
    KES_CLASS_NAME(TsScrollBox)
    explicit TsScrollBox(TComponent* AOwner);
    ~TsScrollBox() override;

    TsCommonData* SkinData() const { return FCommonData; }
    // A canvas on the box's window.
    TCanvas* Canvas() const { return FCanvas; }
    TsPaintEvent OnPaint;
    // Around every scroll the skinned bars or the automatic wheel make.
    TNotifyEvent OnBeforeScroll;
    TNotifyEvent OnAfterScroll;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // The wheel goes to the form's active control first; when that does not
    // take it, the box scrolls by one Increment per notch.
    bool AutoMouseWheel() const { return FAutoMouseWheel; }
    void SetAutoMouseWheel(bool Value) { FAutoMouseWheel = Value; }
    bool AutoFrameSize() const { return FAutoFrameSize; }
    void SetAutoFrameSize(bool Value) { FAutoFrameSize = Value; }
    // Changing it makes the window anew.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    // The width of the window frame the border style gives.
    Integer FrameWidth() const { return FBorderStyle == bsSingle ? 2 : 0; }
    // The skinned scroll bars (nullptr without a skin).
    TacScrollWnd* ScrollWnd() const;
    // The box paints through its cached image (else straight into the DC).
    bool CachedWay() const;

    void WndProc(TMessage& Message) override;
    // Sizes the cache and paints the section over the parent's background,
    // then lets OnPaint draw over it.
    virtual void PrepareCache();
    // Paints the client area and the graphic children into aDC (the window's
    // client DC when nullptr); with SendUpdated the windowed children are
    // told to repaint afterwards.
    virtual void Paint(HDC aDC, bool SendUpdated);
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

    // The bar's position when the scroll in progress began.
    Integer acTrackPos = 0;

    // The skin state is set up again whenever the box gets a parent.
    void SetParent(TWinControl* AParent) override;

protected:
    void Loaded() override;
    void CreateParams(TCreateParams& Params) override;
    void PaintWindow(HDC) override {}
    void DestroyWnd() override;
    // After the framework laid the children out (and set the ranges), the
    // skinned bars show the new ranges.
    void AlignControls(TControl* AControl, RECT& Rect) override;

    TsCommonData* FCommonData = nullptr;
    TControlCanvas* FCanvas = nullptr;
    bool FAutoMouseWheel = false;
    TBorderStyle FBorderStyle = bsSingle;
    bool FAutoFrameSize = false;
    TacMainWnd* ListSW = nullptr;

private:
    bool OwnManager(LPARAM LParam) const;
    // The first steps for the skin commands every box answers; true when done.
    bool FirstSkinCommand(TMessage& Message);
    // Skin commands 51 and 52 around a scroll of the skinned bars.
    void BeforeScroll(LPARAM LParam);
    void AfterScroll(LPARAM LParam);
    // The messages of a ready, skinned box; true when done.
    bool SkinnedMessage(TMessage& Message);
    void PaintFrame();
    void PrintBox(HDC DC, LPARAM Flags);
    void DirectPaint(HDC DC);
    void FreeScrollWnd();
    void AttachScrollWnd();
    void RefreshBars();
};

// The unit's start-up: publishes the box's skin state for its children.
void sScrollBoxInitialization();
