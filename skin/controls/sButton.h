// The skinned push button. It keeps a cached image of itself, rebuilt only
// when flagged stale and copied to the screen on every paint; it is drawn
// from its section ("BUTTON") in three looks (normal, hot, pressed), with the
// mask's transparent corners cut out of the window by a region, fades between
// the looks, a glow while the mouse is over it, a caption in the section's
// font colours and an optional image. Without a skin it owner-draws the plain
// look.
#pragma once

#include "StdCtrls.h"
#include "acMaskPaint.h"
#include "sCommonDataWin.h"
#include "sFade.h"

class TsButton : public TButton {
public:
    KES_CLASS_NAME(TsButton)
    explicit TsButton(TComponent* AOwner);
    ~TsButton() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TsCommonData* SkinData() const { return FCommonData; }
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    TacAnimatEvents AnimatEvents() const { return FAnimatEvents; }
    void SetAnimatEvents(TacAnimatEvents Value) { FAnimatEvents = Value; }
    bool ShowFocus() const { return FShowFocus; }
    void SetShowFocus(bool Value);
    TsDisabledKind DisabledKind() const { return FDisabledKind; }
    void SetDisabledKind(TsDisabledKind Value);
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    Integer FocusMargin() const { return FFocusMargin; }
    void SetFocusMargin(Integer Value) { FFocusMargin = Value; }
    Integer ContentMargin() const { return FContentMargin; }
    void SetContentMargin(Integer Value);
    TButtonStyle Style() const { return FStyle; }
    void SetStyle(TButtonStyle Value);
    bool Reflected() const { return FReflected; }
    void SetReflected(bool Value);

    // 0 normal, 1 active (hot, focused or default), 2 pressed.
    Integer CurrentState();
    // The image list index shown in the current look.
    Integer GlyphIndex();
    TRect GlyphRect();
    virtual void CaptionRect(TRect& R);
    virtual void DrawCaption(TCanvas* Canvas = nullptr);
    virtual void DrawGlyph();
    void SetFocusedState(bool Active) override;

    // Builds the cached image for the current look.
    void PrepareCache();
    // Paints the button into DC (the window's DC when nullptr).
    void OurPaint(HDC DC);
    // How many times the cached image was built (a paint that only copies
    // the cache does not count).
    Integer CacheBuilds() const { return FCacheBuilds; }

    bool IsFocused = false;
    bool DroppedDown = false;
    bool RegionChanged = true;
    TRect LastRect{0, 0, 0, 0};

protected:
    void Loaded() override;
    void WndProc(TMessage& Message) override;
    void CreateParams(TCreateParams& Params) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void UpdateImageList() override { Invalidate(); }

    TsCommonData* FCommonData = nullptr;
    TsFadeTimer* FadeTimer = nullptr;

private:
    bool OwnManager(LPARAM LParam) const;
    bool HasImage() const;
    TSize ImageSize(bool WithMargins) const;
    TSize CaptionSize();
    void StdDrawItem(const DRAWITEMSTRUCT& DI);
    void DrawBtnGlyph(TCanvas* Canvas);
    void RemoveRegion();
    void DeleteRegion();
    void FocusMessage(TMessage& Message, bool Setting);
    bool SkinnedMessage(TMessage& Message);
    void CommonTail(TMessage& Message);

    bool FMouseClicked = false;
    bool FDown = false;
    Integer FFocusMargin = 1;
    TsDisabledKind FDisabledKind{dkBlended};
    TacAnimatEvents FAnimatEvents{aeGlobalDef};
    bool FShowFocus = true;
    bool FReflected = false;
    TButtonStyle FStyle = bsPushButton;
    Integer FContentMargin = 6;
    // The region being prepared, and whether none was applied yet (the
    // first one is applied with a redraw).
    HRGN FRegion = nullptr;
    bool FFirstRegion = true;
    bool FApplyingRegion = false;
    Integer FCacheBuilds = 0;
};

// Window classes the window-creation hook never skins, sorted; made when the
// unit starts and freed when it ends (nullptr outside that time).
TStringList* HookExcludedClasses();
// The unit's start-up and shut-down; nested pairs make and free the list once.
void sButtonInitialization();
void sButtonFinalization();

// ---------------------------------------------------------------------------
// Tool bar button images

class TToolBar;
class TToolButton;

// Draws the image of a tool button into Bmp (the button's 32-bit work image,
// whose top-left is the button's) for the custom-draw state State (CDIS_*
// bits). The look is 0 for no state or only CDIS_DISABLED, 2 for
// CDIS_SELECTED or CDIS_CHECKED, else 1; the pressed look moves the image by
// (1, 1). HotImages serve in looks 1 and 2 when they hold the button's image.
// Nothing is drawn without Images, for an image index outside the list, or
// into an empty bitmap.
void DrawToolButtonImage(TToolBar* ToolBar, TToolButton* Button, UINT State, TBitmap* Bmp);
