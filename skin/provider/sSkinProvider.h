// The skin provider: the component that skins one form. It takes over the
// form's WindowProc, answers the skin command message for the form, measures
// and hit-tests the skinned frame and keeps the frame's caption buttons, the
// title icon, the user title buttons and the added title. Painting of the
// frame lives in sSkinProviderPaint.cpp. Win32, main thread only.
#pragma once

#include <memory>
#include <vector>

#include "Forms.h"
#include "Menus.h"
#include "acFrameGeometry.h"
#include "sCommonDataWin.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"

class TsSkinProvider;
class TsSystemMenu;
class TacThreadedTimer;
// Brought by later work; the provider keeps them as pointers that stay nil
// until then.
class TacBorderForm;    // extended border window with shadow
class TacCtrlAdapter;   // adapter of the form's child controls
class TsMDIForm;        // MDI parent object
class TacScrollWnd;     // scroll-bar adapter of an auto-scrolling form
class TacSBAnimation;   // fade of one caption button
struct TacProviderLink;

// ---- small types --------------------------------------------------------------

enum TsGripMode { gmNone, gmRightBottom };
enum TsResizeMode { rmStandard, rmBorder };
// The form animations told to OnAfterAnimation.
enum TacAnimEvent { atShowing, atHiding, atMinimizing, atRestoring, atSkinChanging };

using TacAfterAnimation = TDelegate<void(TacAnimEvent AnimType)>;
// The hit-test hook of the border window: Msg is the WM_NCHITTEST message
// (its Result may be changed).
using TacNCHitTest = TDelegate<void(TMessage& Msg)>;
using TAddItemEvent = TDelegate<void(TComponent* Item, bool& CanBeAdded, String& SkinSection)>;

// Caption-button hit codes.
constexpr Integer HTCAPTIONBTN_MIN = 8;      // HTMINBUTTON
constexpr Integer HTCAPTIONBTN_MAX = 9;      // HTMAXBUTTON
constexpr Integer HTCAPTIONBTN_CLOSE = 20;   // HTCLOSE
constexpr Integer HTCAPTIONBTN_HELP = 21;    // HTHELP
constexpr Integer HTCHILDCLOSE = 101;        // merged buttons of a maximized MDI child
constexpr Integer HTCHILDMAX = 102;
constexpr Integer HTCHILDMIN = 103;
constexpr Integer HTUDBTN = 1000;            // + index of a user title button

// FormState bits (FS_ANIMSHOWING 0x1000 and FS_CHANGING 0x10000 come with
// the skinned-forms list).
constexpr Cardinal FS_SIZING = 0x1;              // the border window is sized together with the form
constexpr Cardinal FS_BLENDMOVING = 0x80;        // blend on moving runs
constexpr Cardinal FS_ANIMMINIMIZING = 0x100;    // minimizing by the caption button or the animation
constexpr Cardinal FS_ANIMCLOSING = 0x200;       // the hide animation's image is taken: no more frame painting
constexpr Cardinal FS_ANIMRESTORING = 0x400;     // restoring from minimized
constexpr Cardinal FS_FULLHEIGHT = 0x2000;       // stretched vertically to the work area
constexpr Cardinal FS_FULLWIDTH = 0x4000;        // stretched horizontally to the work area
constexpr Cardinal FS_ACTIVATE = 0x8000;         // WM_NCACTIVATE is being handled
constexpr Cardinal FS_LOCKSCROLLADAPTER = 0x20000;   // the scroll adapter is being made or freed

// One caption button.
struct TsCaptionButton {
    Integer State = -1;           // -1 not shown, 0 normal, 1 hot, 2 pressed
    Integer ImageIndex = -1;      // mask of its glyph; negative: none
    TRect Rect{0, 0, 0, 0};       // in cache (window) coordinates
    bool HaveAlignment = false;   // a glyph of the big set: the skin's vertical alignment applies
    Integer GlowID = -1;          // its glow window, -1 none
    TacSBAnimation* Timer = nullptr;   // its fade
    Cardinal HitCode = 0;
};

// ---- title icon, user title buttons, added title ----------------------------------

// A custom caption icon; an empty glyph uses the form's or the program's icon.
class TsTitleIcon : public TPersistent {
public:
    KES_CLASS_NAME(TsTitleIcon)
    TsTitleIcon();
    ~TsTitleIcon() override;
    TsTitleIcon(const TsTitleIcon&) = delete;
    TsTitleIcon& operator=(const TsTitleIcon&) = delete;
    void Assign(TPersistent* Source) override;

    TBitmap* Glyph() const { return FGlyph; }
    void SetGlyph(TBitmap* Value);   // copies
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }

    TBitmap* FGlyph = nullptr;
    Integer FHeight = 0;   // 0: from the caption height
    Integer FWidth = 0;
};

class TsTitleButton;

// The user caption buttons, left of the system buttons.
class TsTitleButtons : public TCollection {
public:
    KES_CLASS_NAME(TsTitleButtons)
    explicit TsTitleButtons(TsSkinProvider* AOwner);
    ~TsTitleButtons() override;
    TPersistent* GetOwner() const override;
    TsTitleButton* Items(Integer Index) const;
    TsTitleButton* Add();

    TsSkinProvider* FOwner = nullptr;

protected:
    void Update(TCollectionItem* Item) override { TCollection::Update(Item); }
};

class TsTitleButton : public TCollectionItem {
public:
    KES_CLASS_NAME(TsTitleButton)
    explicit TsTitleButton(TCollection* Collection);
    ~TsTitleButton() override;
    TsTitleButton(const TsTitleButton&) = delete;
    TsTitleButton& operator=(const TsTitleButton&) = delete;
    String DisplayName() const { return FName; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    TBitmap* Glyph() const { return FGlyph; }
    void SetGlyph(TBitmap* Value);
    const String& Hint() const { return FHint; }
    void SetHint(const String& Value) { FHint = Value; }
    const String& Name() const { return FName; }
    void SetName(const String& Value);
    bool UseSkinData() const { return FUseSkinData; }
    void SetUseSkinData(bool Value) { FUseSkinData = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // The provider the button belongs to (nullptr outside a provider's collection).
    TsSkinProvider* Provider() const;

    bool FUseSkinData = true;
    String FName;
    TBitmap* FGlyph = nullptr;
    bool FEnabled = true;
    String FHint;
    bool FVisible = true;
    THintWindow* HintWnd = nullptr;   // the hint window while the hint shows
    TsCaptionButton BtnData;

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    void GlyphChanged(TObject* Sender);
};

// A second caption text after the form's caption.
class TacAddedTitle : public TPersistent {
public:
    KES_CLASS_NAME(TacAddedTitle)
    explicit TacAddedTitle(TsSkinProvider* AOwner);
    ~TacAddedTitle() override;
    TacAddedTitle(const TacAddedTitle&) = delete;
    TacAddedTitle& operator=(const TacAddedTitle&) = delete;

    TFont* Font() const { return FFont; }
    void SetFont(TFont* Value);
    bool ShowMainCaption() const { return FShowMainCaption; }
    void SetShowMainCaption(bool Value);
    const String& Text() const { return FText; }
    void SetText(const String& Value);

    bool FShowMainCaption = true;
    String FText;
    TFont* FFont = nullptr;   // colour clNone: the section's caption colour
    TsSkinProvider* FOwner = nullptr;

private:
    void Repaint();
};

// ---- system menu -------------------------------------------------------------------

// The questions the provider asks a system menu about the caption buttons.
class TsCustomSysMenu : public TPopupMenu {
public:
    KES_CLASS_NAME(TsCustomSysMenu)
    using TPopupMenu::TPopupMenu;
    virtual bool VisibleClose() = 0;
    virtual bool VisibleMax() = 0;
    virtual bool VisibleMin() = 0;
    virtual bool EnabledMax() = 0;
    virtual bool EnabledMin() = 0;
    virtual bool EnabledRestore() = 0;
};

// The provider's skinned system menu: the window's own system menu rebuilt as
// a popup menu (its texts, shortcuts and extra commands), with an optional
// skin chooser at the top. It also answers which window commands are
// visible and enabled, for the caption buttons and the system's own menu.
class TsSystemMenu : public TsCustomSysMenu {
public:
    KES_CLASS_NAME(TsSystemMenu)
    // AOwner is the provider; the items are made at once.
    explicit TsSystemMenu(TComponent* AOwner);
    ~TsSystemMenu() override;

    bool VisibleClose() override;
    bool VisibleMax() override;
    bool VisibleMin() override;
    bool EnabledMax() override;
    bool EnabledMin() override;
    bool EnabledRestore() override;
    bool VisibleRestore();
    bool VisibleSize();
    bool EnabledMove();
    bool EnabledSize();

    // Removes every item and makes them again from the window's system menu.
    void Generate();
    // Puts the skin chooser at the top (an existing one is replaced); nothing
    // without a skin manager or without skins.
    void MakeSkinItems();
    // Takes out the skin chooser with its items and the separator after it.
    void RemoveSkinItems();
    // Rebuilds the items (with Full, or when there is no close item) and
    // sets their visibility and enabling.
    void UpdateItems(bool Full = false);
    void UpdateGlyphs() {}

    // The window's system menu; the system keeps one only while the window
    // has WS_SYSMENU, which the skinned frame takes away, so the style is
    // given back for a moment when the menu has to be made.
    static HMENU WindowMenu(HWND Wnd);
    // The number of commands of the window's system menu that are not
    // system commands (ids below 0xF000, with a text).
    static Integer WindowExtraCount(HWND Wnd);

    void RestoreClick(TObject* Sender);
    void MoveClick(TObject* Sender);
    void SizeClick(TObject* Sender);
    void MinClick(TObject* Sender);
    void MaxClick(TObject* Sender);
    void CloseClick(TObject* Sender);
    void ExtClick(TObject* Sender);
    void SkinSelect(TObject* Sender);

    Integer ExtItemsCount = 0;
    TsSkinProvider* FOwner = nullptr;
    TCustomForm* FForm = nullptr;
    TMenuItem* ItemRestore = nullptr;
    TMenuItem* ItemMove = nullptr;
    TMenuItem* ItemSize = nullptr;
    TMenuItem* ItemMinimize = nullptr;
    TMenuItem* ItemMaximize = nullptr;
    TMenuItem* ItemClose = nullptr;

private:
    HWND FormHandle() const;
    // Sends a window command to the form; false when the menu went meanwhile.
    bool SendCommand(WPARAM Command);
    TMenuItem* AddItem(const String& Caption, const String& Name, UINT Command, TNotifyEvent Click);
    void AddSeparator();
};

// ---- the provider ------------------------------------------------------------------

// Form, FormState, FInAnimation, FDrawNonClientArea and SkinManager are the
// fields of TacFormProvider, through which the skin-change steps reach the
// provider.
class TsSkinProvider : public TComponent, public TacFormProvider {
    // The window-creation hook makes run-time providers and loads them.
    friend class TacProvider;

public:
    KES_CLASS_NAME(TsSkinProvider)
    // Raises EAbort when AOwner is not a form; a second provider of a form
    // at run time stays inert.
    explicit TsSkinProvider(TComponent* AOwner);
    // Run-time creation for a form that has no provider (by the
    // window-creation hook): initialised on the first need.
    static TsSkinProvider* CreateRT(TComponent* AOwner, bool InitRT = true);
    ~TsSkinProvider() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // The form's window procedure while subclassed.
    void NewWndProc(TMessage& Message);
    // The skinned non-client hit test of Message (WM_NCHITTEST, or another
    // message whose lParam is a screen point).
    Integer HitTest(const TMessage& Message);
    // Links the form to a running skin editor (only under "/acpreview").
    void LinkToSkinEditor(HWND Wnd);
    void UpdateMDIParentFrame(bool Redraw);

    // Predicates.
    bool HaveBorder() const;
    bool IsNormalBorderStyle() const;
    bool IsGripVisible() const;
    bool InAnimationNow() const { return FInAnimation; }
    bool IsMDIChild() const;
    bool IsMDIForm() const;
    bool IsZoomed() const;
    bool IsIconic() const;
    // A border icon of the form (a TBorderIcon).
    bool HasBorderIcon(Integer BorderIcon) const;
    // The form's own BorderWidth.
    Integer FormBorderWidth() const;

    // Metrics.
    Integer CaptionHeight(bool CheckSkin = true) const;
    Integer BorderWidth(bool CheckSkin = true) const;
    Integer BorderHeight(bool CheckSkin = true) const;
    Integer OffsetX() const;
    Integer OffsetY() const;
    Integer HeaderHeight() const;
    Integer MenuHeight() const;
    bool MenuPresent() const;
    Integer GetLinesCount();
    TColor FormColor() const;
    Integer TitleSkinIndex();
    bool IconVisible() const;
    Integer UserButtonWidth(TsTitleButton* Btn) const;
    Integer TitleButtonsWidth() const;
    TPoint GripPoint(Integer MaskIndex) const;
    TPoint FormPoint(Integer X, Integer Y) const;
    bool CacheSizeChanged() const;
    TRect ShadowSize() const;
    Integer CaptionWidth() const;
    Integer SysButtonCount() const;
    bool MDIChildButtonsShown() const;
    // Geometry shared with the painting (defined with the metrics).
    Integer MaximizedButtonsShift() const;
    TPoint FormScreenOrigin() const;
    TRect TitleIconRect() const;
    // The caption button of a hit code (nullptr for none).
    TsCaptionButton* ButtonOf(Integer HitCode);
    // The frame and caption-button models the geometry functions work on.
    TacFrameModel FrameModel() const;
    TacCaptionModel CaptionModel() const;
    // Places ButtonClose, ButtonMax, ButtonMin, ButtonHelp and the user
    // buttons' rectangles from the caption model (no painting).
    void LayoutCaptionButtons();

    // Preparation.
    void LoadInit();
    void PrepareForm();
    void InitButtons();
    void UpdateSysMenuStyle(bool Enable);
    void UpdateBorderForm(bool Use);
    void KillAnimations();
    void RefreshFrame();
    void HookMDI(bool Active);
    void UpdateScrollAdapter();
    virtual void InitCtrlAdapter();
    void DoneCtrlAdapter();
    void AdapterWndProc(TMessage& Message);
    void InitMenuItems(bool A);
    bool UpdateMenu();
    void RepaintMenu();
    // Draws a top-level item of the form's menu (its owner-draw handler)
    // into the cache in Rect and copies Rect to the window.
    void RepaintMenuItem(TMenuItem* Item, const TRect& Rect, TOwnerDrawState State);
    // WM_INITMENUPOPUP of the form.
    void HandleInitMenuPopup(TMessage& Message);
    // Where a menu-line item drawn at ItemRect lies in MenuLineBmp:
    // ItemRect in cache coordinates (OnCache) or in window coordinates.
    TPoint MenuLineBmpPoint(const TRect& ItemRect, bool OnCache) const;
    // Draws the visible top-level items of the form's menu into the cache.
    void PaintMenuLineItems(TBitmap* Cache);
    void DsgnWndProc(TMessage& Message) override {
        (void)Message;
    }
    bool ProviderDestroying() const override { return HasState(csDestroying); }
    bool HasBorderForm() const override { return BorderForm != nullptr; }
    void RepaintFrame() override;

    // Animations (sSkinProviderAnim.cpp).
    // Starts or turns the fade of a caption button toward NewState (1 hot,
    // 2 pressed, 0 back to normal) over Iterations steps of 12 ms; Up fades in.
    void StartBtnAnimation(TsCaptionButton& Button, Integer NewState, Integer Iterations, bool Up);
    // Shrinks the form into its taskbar button while fading it out (with the
    // manager's Minimizing effect active); the form is minimized meanwhile.
    void StartMinimizeAnimation() override;
    // Grows a form that the minimize animation shrank back to its place;
    // true when the animation started.
    bool StartRestoreAnimation();
    // Fades the form to the BlendOnMoving opacity, runs the system move loop
    // (returns when the mouse button is released) and ends the blend.
    void StartBlendOnMoving();
    void EndBlendOnMoving();
    // The form shows a main menu of its own: one with an item that is not
    // merged elsewhere, on a form that is neither an MDI child nor a dialog.
    bool HasSkinnableMainMenu() const;
    // A 32-bit opaque copy of the whole form painted at the cache's size
    // (nullptr without a cache); FreeCache frees the cache itself afterwards.
    TBitmap* CopyFormCache(bool FreeCache);
    // Frees the fade of a caption button (nothing without one).
    static void FreeBtnAnimation(TsCaptionButton& Button);

    // Frame mouse input and system commands (sSkinProviderMouse.cpp).
    void HandleNCLButtonDown(TMessage& Message);
    // WM_NCLBUTTONUP, and WM_LBUTTONUP while the capture taken at a caption
    // button's press is held.
    void HandleButtonUp(TMessage& Message);
    void HandleNCLButtonDblClk(TMessage& Message);
    void HandleSysCommand(TMessage& Message);
    // Drops the system menu at the screen point (the system's own menu until
    // the skinned one exists); a chosen command is posted as WM_SYSCOMMAND.
    void DropSysMenu(Integer X, Integer Y);
    // The system menu below the title icon (Up pixels higher).
    void DropSysMenuBelowIcon(Integer Up = 0);
    // The outline drag of ResizeMode rmBorder.
    void BeginFrameDrag(bool Sizing, TPoint ScreenPoint);
    void DrawDragFrame(TPoint ScreenPoint);
    void EndFrameDrag(TPoint ScreenPoint);
    static bool FrameDragging();
    // The provider whose outline drag runs (nullptr: none).
    static TsSkinProvider* FrameDragOwner();
    // Ends this provider's outline drag without moving the form: the
    // outline is erased, the desktop DC restored and released, the capture
    // given back. Runs when the form loses the capture or is told to cancel
    // its modes, and when the provider goes.
    void CancelFrameDrag();
    // Moves (and repaints) the border window with the form; nothing while no
    // border window exists.
    void UpdateExBordersPos(bool Redraw = true, Byte Blend = 255);
    // The caption button pressed while this provider holds the mouse
    // capture (0: none).
    Integer PressedHT = 0;

    // Message handlers.
    void HandleGetMinMaxInfo(TMessage& Message);
    void HandleNCMouseMove(TMessage& Message);
    void HandleMouseWheel(TMessage& Message);

    // Painting (sSkinProviderPaint.cpp defines every operation of this group).
    void HandleNCPaint();
    void HandlePaint(TMessage& Message);
    void HandleEraseBkgnd(HDC DC);
    void PaintNonClientCache();
    void PaintCaptionButtons();
    void PlaceCaptionButton(TsCaptionButton& Btn, Integer ImageIndex, TsTitleButton* TitleButton, bool Enabled);
    void SaveButtonsArea(bool Full);
    void RestoreButtonsArea();
    void CopyNonClientToDC(HDC DC);
    void PaintFormBackground(HDC DC, bool RefreshChildren);
    void PaintTitleBar();
    // Runs the form's OnPaint over the cache (client origin at OffsetX, OffsetY).
    void RunFormOnPaint(TBitmap* Cache);
    void PaintCaptionText();
    void SetHotHT(Integer HitCode, bool Repaint = true);
    void SetPressedHT(Integer HitCode);
    void ShowTitleButtonHint(TsTitleButton* Btn);
    // Whether a title button's hint fades in: a hint under 100 characters
    // while the system animates and fades its tooltips.
    static bool TitleButtonHintFades(const String& Hint);
    void HideTitleButtonHint(TsTitleButton* Btn);
    void EnableSysMenuItem(UINT Command, bool Enabled);
    void PaintTitleIcon();
    void PaintGrip(HDC DC);
    void RepaintCaptionButton(Integer HitCode);
    void UpdateArOR();
    HRGN CreateFormRgn(Integer X, Integer Y) const;
    void SetFormRgn(bool Redraw);
    void RefreshNonClient();
    void ShowCaptionCover(bool Full);
    void HideCaptionCover();

    // Published properties.
    TacAddedTitle* AddedTitle() const { return FAddedTitle; }
    bool AllowAnimation() const { return FAllowAnimation; }
    void SetAllowAnimation(bool Value) { FAllowAnimation = Value; }
    bool AllowExtBorders() const { return FAllowExtBorders; }
    void SetAllowExtBorders(bool Value);
    bool AllowBlendOnMoving() const { return FAllowBlendOnMoving; }
    void SetAllowBlendOnMoving(bool Value) { FAllowBlendOnMoving = Value; }
    TAlignment CaptionAlignment() const { return FCaptionAlignment; }
    void SetCaptionAlignment(TAlignment Value);
    bool DrawNonClientArea() const { return FDrawNonClientArea; }
    void SetDrawNonClientArea(bool Value);
    TsCommonData* SkinData() const { return FCommonData; }
    TsGripMode GripMode() const { return FGripMode; }
    void SetGripMode(TsGripMode Value) { FGripMode = Value; }
    bool MakeSkinMenu() const { return FMakeSkinMenu; }
    void SetMakeSkinMenu(bool Value) { FMakeSkinMenu = Value; }
    const String& MenuLineSkin() const { return FMenuLineSkin; }
    void SetMenuLineSkin(const String& Value);
    TsResizeMode ResizeMode() const { return FResizeMode; }
    void SetResizeMode(TsResizeMode Value) { FResizeMode = Value; }
    bool ScreenSnap() const { return FScreenSnap; }
    void SetScreenSnap(bool Value) { FScreenSnap = Value; }
    Integer SnapBuffer() const { return FSnapBuffer; }
    void SetSnapBuffer(Integer Value) { FSnapBuffer = Value; }
    bool ShowAppIcon() const { return FShowAppIcon; }
    void SetShowAppIcon(bool Value);
    TsTitleButtons* TitleButtons() const { return FTitleButtons; }
    void SetTitleButtons(TsTitleButtons* Value);
    TsTitleIcon* TitleIcon() const { return FTitleIcon; }
    const String& TitleSkin() const { return FTitleSkin; }
    void SetTitleSkin(const String& Value);
    bool UseGlobalColor() const { return FUseGlobalColor; }
    void SetUseGlobalColor(bool Value);
    TacAfterAnimation OnAfterAnimation;
    TacNCHitTest OnExtHitTest;
    TAddItemEvent OnSkinItem;

    // Fields.
    std::vector<TRect> ArOR;
    bool RgnChanged = false;
    Integer CurrentHT = 0;
    TBitmap* TempBmp = nullptr;
    bool FMakeSkinMenu = false;
    bool FShowAppIcon = true;
    bool ControlsChanged = false;
    bool HaveSysMenu = false;
    TAlignment FCaptionAlignment = taLeftJustify;
    TsTitleIcon* FTitleIcon = nullptr;
    TsTitleButtons* FTitleButtons = nullptr;
    TsGripMode FGripMode = gmNone;
    TsCommonData* FCommonData = nullptr;
    TsResizeMode FResizeMode = rmStandard;
    bool FirstInitialized = false;
    bool FScreenSnap = false;
    Integer FSnapBuffer = 10;
    bool FUseGlobalColor = true;
    String FTitleSkin;
    String FMenuLineSkin;
    Integer UserBtnIndex = -1;
    bool FAllowExtBorders = true;
    bool FAllowBlendOnMoving = true;
    bool FAllowAnimation = true;
    TacAddedTitle* FAddedTitle = nullptr;
    Integer LockCount = 0;
    bool ClearButtons = false;
    bool MenusInitialized = false;
    bool RegionChanged = false;
    bool CaptChanged = false;
    bool CaptRgnChanged = false;
    bool FMenuOwnerDraw = false;
    TBitmap* FGlow1 = nullptr;
    TBitmap* FGlow2 = nullptr;
    TForm* CoverForm = nullptr;
    TBitmap* CoverBmp = nullptr;
    TRect NormalBounds{0, 0, 0, 0};   // Left, Top, Width, Height
    TsCaptionButton ButtonMin, ButtonMax, ButtonClose, ButtonHelp;
    TsCaptionButton MDIMin, MDIMax, MDIClose;
    TRect LastClientRect{0, 0, 0, 0};
    bool FSysExHeight = false;
    Integer FTitleSkinIndex = -1;
    Integer FCaptionSkinIndex = -1;
    TacThreadedTimer* FormTimer = nullptr;
    bool RTInit = false;
    bool RTEmpty = false;
    bool InAero = false;
    bool InMenu = false;
    TShowAction ShowAction = TShowAction::saIgnore;
    bool SkipAnimation = false;
    bool fAnimating = false;
    TacScrollWnd* ListSW = nullptr;
    TacCtrlAdapter* Adapter = nullptr;
    bool RgnChanging = false;
    bool MenuChanged = false;
    TWndMethod OldWndProc;
    TsMDIForm* MDIForm = nullptr;
    bool FormActive = false;
    TBitmap* MenuLineBmp = nullptr;
    // Where MenuLineBmp was taken from the cache.
    TPoint MenuLineOrigin{0, 0};
    Integer FLinesCount = -1;
    TsSystemMenu* SystemMenu = nullptr;
    TForm* CaptForm = nullptr;
    TWndMethod OldCaptFormProc;
    TacBorderForm* BorderForm = nullptr;
    // The window procedure this provider put in (empty while it took none).
    TWndMethod OwnWndProc;

    // A run-time provider replaced by a later one: stops skinning the form
    // at once and is released (freed once none of its messages runs).
    void MakeInert();

protected:
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void AssignTo(TPersistent* Dest) override { (void)Dest; }

private:
    // The skin manager whose announcements this provider takes.
    TsSkinManager* Manager() const;
    bool OwnManager(LPARAM LParam) const;
    bool Skinned() const;
    void SkinCommand(TMessage& Message);
    void PassOn(TMessage& Message);
    // The window procedure's handlers (sSkinProviderWndProc.cpp).
    void SkinCommandStage1(TMessage& Message, bool& Done);
    void SkinCommandUnskinned(TMessage& Message);
    void SkinCommandSkinned(TMessage& Message);
    void HandleNCActivate(TMessage& Message);
    void HandleSize(TMessage& Message);
    void HandlePrint(TMessage& Message);
    void HandleSetText(TMessage& Message);
    void HandleWindowPosChanging(TMessage& Message);
    void HandleWindowPosChanged(TMessage& Message);
    void HandleShowingChanged(TMessage& Message);
    void HandleEraseBkgndMessage(TMessage& Message);
    void HandlePaintMessage(TMessage& Message);
    void HandleNCPaintMessage(TMessage& Message);
    void HandleNCHitTest(TMessage& Message);
    void HandleQueryEndSession(TMessage& Message);
    void HandleClose(TMessage& Message);
    void HandleNCRButtonUp(TMessage& Message);
    // Stops the caption buttons' fades (and no other animation).
    void StopButtonFades();
    // Releases the pressed caption button and the capture taken for it.
    void ReleasePressedButton();
    void Subclass();
    void Unsubclass();
    void ApplyGlobalColor();
    void FreeGlows();
    void CaptFormPaint(TObject* Sender) { (void)Sender; }
    void NewCaptFormProc(TMessage& Message);

    TacProviderLink* FLink = nullptr;   // the procedure in the form's chain
    bool FLinkTaken = false;            // this provider subclassed the form and listed it
};

// ---- unit-level ----------------------------------------------------------------

// The provider of the application's MDI parent form.
extern TsSkinProvider* MDISkinProvider;
// The provider of the MDI child that last became active or maximized.
extern TsSkinProvider* ActiveChildProvider;
// "/acpreview" was the first argument (set by every creation).
extern bool PreviewMode;
// The window announced to the skin editor (nullptr: none).
extern HWND PreviewHandle;
extern bool ChildMaximized;
// A caption button is held pressed.
extern bool acBtnPressed;
// The editor's window title and its messages.
extern const wchar_t* const acEditorWindowTitle;
constexpr UINT acEditorMessage = 0xA400;
constexpr WPARAM acEditorClosePreview = 1;
constexpr WPARAM acEditorAnnounce = 3;

// Frame metrics of a window.
Integer SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool UseSkin = true);
Integer SysBorderHeight(HWND Wnd, TacBorderForm* BorderForm, bool UseSkin = true);
Integer SysCaptionHeight(TCustomForm* Form);
Integer ExtTitleHeight(TacBorderForm* BorderForm);
Integer ExtBorderWidth(TacBorderForm* BorderForm);
Integer ExtTitleDiff(TacBorderForm* BorderForm);
Integer ExtBorderDiff(TacBorderForm* BorderForm);
Integer HwndWidth(HWND Wnd);
Integer HwndHeight(HWND Wnd);
Integer HwndClientWidth(HWND Wnd);
Integer HwndClientHeight(HWND Wnd);
bool HasThickFrame(HWND Wnd);
// The system's frame metrics (captions cached on first use).
TacSystemFrameMetrics SystemFrameMetrics();

// When Coord + Offset lies closer to Edge than Buffer, Coord := Edge - Offset.
void SnapCoordinate(Integer& Coord, Integer Edge, Integer Buffer, Integer Offset);
// The work area of the monitor that holds Form.
TRect GetFormWorkArea(TCustomForm* Form);
// The provider of a form (command 4), or nullptr.
TsSkinProvider* FormSkinProvider(TCustomForm* Form);
// The form's window, nullptr while it has no handle.
HWND FormWnd(const TCustomForm* Form);
// The form is minimized or maximized: as its window shows it, or by its
// WindowState while it has no handle.
bool FormIconic(const TCustomForm* Form);
bool FormZoomed(const TCustomForm* Form);
// The form is the application's main form.
bool IsMainForm(const TCustomForm* Form);
