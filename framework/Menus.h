// Menus: menu items in a tree, the menu that holds them and the popup menu.
// The system menu handles are built from the items on demand and kept until
// the tree changes shape; caption, enabled and checked changes reach a built
// handle at once.
#pragma once

#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "Messages.h"
#include "WinApi.h"

KES_DECLARE_EXCEPTION(EMenuError, Exception)

class TMenu;
class TMenuItem;
class TCustomImageList;

// Where an item starts a new column: mbBreak starts one, mbBarBreak starts
// one with a line between the columns.
enum TMenuBreak { mbNone, mbBreak, mbBarBreak };

// The state of an owner-drawn item. The members stand in the order of the
// system's ODS_ bits, so the set's bits are the system's state word.
enum TOwnerDrawStateItem {
    odSelected,      // ODS_SELECTED 0x0001
    odGrayed,        // ODS_GRAYED 0x0002
    odDisabled,      // ODS_DISABLED 0x0004
    odChecked,       // ODS_CHECKED 0x0008
    odFocused,       // ODS_FOCUS 0x0010
    odDefault,       // ODS_DEFAULT 0x0020
    odHotLight,      // ODS_HOTLIGHT 0x0040
    odInactive,      // ODS_INACTIVE 0x0080
    odNoAccel,       // ODS_NOACCEL 0x0100
    odNoFocusRect,   // ODS_NOFOCUSRECT 0x0200
    odReserved1,     // 0x0400
    odReserved2,     // 0x0800
    odComboBoxEdit,  // ODS_COMBOBOXEDIT 0x1000
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
// The set of the system's state word and back (bits above 0x1000 are dropped).
TOwnerDrawState OwnerDrawStateFromBits(UINT State);
inline UINT OwnerDrawStateToBits(TOwnerDrawState State) { return static_cast<UINT>(State.Bits()); }

// A key with its modifiers: the virtual key in the low byte, scShift,
// scCtrl and scAlt above it.
using TShortCut = Word;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;
// "Ctrl+K", "Shift+Ctrl+F5", "Alt+Enter", "Del"...; empty for 0 and for keys
// without a name.
String ShortCutToText(TShortCut ShortCut);
// The reverse: modifier names in any order and case, then a key name; 0 for
// a text that names no key.
TShortCut TextToShortCut(const String& Text);

using TMenuMeasureItemEvent = TDelegate<void(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height)>;
using TAdvancedMenuDrawItemEvent =
    TDelegate<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State)>;
using TMenuDrawItemEvent = TDelegate<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool Selected)>;

// Menu animation of a popup; maNone switches the system's animation off.
enum TMenuAnimations { maLeftToRight, maRightToLeft, maTopToBottom, maBottomToTop, maNone };
using TMenuAnimation = TSet<TMenuAnimations>;
// The TrackPopupMenu flags of an animation set.
UINT MenuAnimationFlags(TMenuAnimation Animation);

// One entry of a menu; an item with items of its own opens a submenu. An
// item frees the items it holds; freeing an item takes it out of its parent.
class TMenuItem : public TComponent {
public:
    KES_CLASS_NAME(TMenuItem)
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;
    void BeforeDestruction() override;

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    // An invisible item is left out of the built menu.
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    TMenuBreak Break() const { return FBreak; }
    void SetBreak(TMenuBreak Value);
    // The default item is drawn bold and chosen by a double click on the
    // parent item.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    // A checked radio item shows a dot; checking one unchecks the other radio
    // items of its GroupIndex among its siblings.
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value);
    Byte GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(Byte Value);
    // Index into the menu's Images (or the parent's SubMenuImages); -1 none.
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value);
    // The item's own picture, made on first use; HasBitmap tells whether
    // there is a picture without making one.
    TBitmap* Bitmap();
    void SetBitmap(TBitmap* Value);
    bool HasBitmap() const { return FBitmap && !FBitmap->Empty(); }
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut Value);
    // Images for the items below this one (nullptr: the menu's Images).
    TCustomImageList* SubMenuImages() const { return FSubMenuImages; }
    void SetSubMenuImages(TCustomImageList* Value);

    TNotifyEvent OnClick;
    // Owner drawing: measured and drawn by these when the menu is owner-drawn
    // or the item has one of them.
    TMenuMeasureItemEvent OnMeasureItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;
    TMenuDrawItemEvent OnDrawItem;
    // Runs OnClick when the item is enabled.
    virtual void Click();
    // The size of an owner-drawn item: OnMeasureItem, else the caption and
    // shortcut text with room for a check mark.
    virtual void MeasureItem(TCanvas* ACanvas, Integer& Width, Integer& Height);
    // Draws the owner-drawn item: OnAdvancedDrawItem, else OnDrawItem, else a
    // plain item. TopLevel: an item of a menu bar.
    virtual void AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);
    // The item in the system's colours, whatever handlers it has.
    void DrawPlain(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);
    // The item is owner-drawn: its menu is, or it has a handler of its own.
    bool IsOwnerDraw() const;
    // Something about the item changed; Rebuild: the built handles are made
    // again, else the item's entry in a built menu is written again. The
    // menu hears of it (a main menu redraws its bar and tells its form).
    virtual void MenuChanged(bool Rebuild);
    // The position among the items of the built parent menu (visible items
    // only), -1 when the item is invisible or has no parent.
    Integer MenuIndex() const;
    // The image list of the item's glyph: the parent's SubMenuImages, else
    // the menu's Images.
    TCustomImageList* GetImageList() const;
    // The live item with this command, nullptr when none.
    static TMenuItem* FindByCommand(Word ACommand);

    Integer Count() const { return static_cast<Integer>(FItems.size()); }
    // Raises EMenuError for an index outside 0 .. Count - 1.
    TMenuItem* Items(Integer Index) const;
    Integer IndexOf(const TMenuItem* Item) const;
    // Item joins this item's list; raises EMenuError for no item, an item
    // that already belongs to a menu, this item or one of its parents, and
    // (Insert) an index outside 0 .. Count.
    void Add(TMenuItem* Item) { Insert(Count(), Item); }
    void Insert(Integer Index, TMenuItem* Item);
    // Takes the item out of the list without freeing it.
    void Delete(Integer Index);
    void Remove(TMenuItem* Item);
    TMenuItem* Parent() const { return FParent; }
    // The menu whose Items this item belongs to, nullptr when none.
    TMenu* GetParentMenu() const;

    // The command number the system reports for this item (unique in the
    // process while the item lives, never 0).
    Word Command() const { return FCommand; }
    // The popup menu made of this item's items; built on first use and kept
    // until items are added or taken out anywhere in the tree.
    HMENU Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    // This item or the item below it with the given command, nullptr when none.
    TMenuItem* Find(Word ACommand);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TMenu;
    TMenuItem* Root();
    // Destroys the built handles of the whole tree (a submenu's handle goes
    // with its parent's).
    void DestroyHandles();
    void ForgetHandles();
    // Caption, enabled or checked changed: update the entry of a built parent.
    void UpdateEntry();
    // Writes the item's entry into the built parent menu, if any.
    void WriteEntry();
    // Fills the entry; Text holds the text the entry points to.
    void FillEntry(MENUITEMINFOW& Info, String& Text);

    void TurnSiblingsOff();
    void Rebuild();

    String FCaption;
    bool FEnabled = true;
    bool FChecked = false;
    bool FVisible = true;
    bool FDefault = false;
    bool FRadioItem = false;
    TMenuBreak FBreak = mbNone;
    Byte FGroupIndex = 0;
    Integer FImageIndex = -1;
    TShortCut FShortCut = 0;
    TBitmap* FBitmap = nullptr;
    TCustomImageList* FSubMenuImages = nullptr;
    Word FCommand = 0;
    HMENU FHandle = nullptr;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr;
    std::vector<TMenuItem*> FItems;
};

// A menu: a tree of items under Items, and the system menu built from it.
class TMenu : public TComponent {
public:
    KES_CLASS_NAME(TMenu)
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    void BeforeDestruction() override;

    TMenuItem* Items() const { return FItems; }
    HMENU Handle() { return FItems->Handle(); }
    bool HandleAllocated() const { return FItems && FItems->FHandle != nullptr; }
    TMenuItem* FindItem(Word Command) { return FItems->Find(Command); }
    // Clicks the item with the command; false when no item has it.
    bool DispatchCommand(Word Command);

    // Every item is drawn by its owner-draw handlers (MFT_OWNERDRAW).
    bool OwnerDraw() const { return FOwnerDraw; }
    void SetOwnerDraw(bool Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // The window that shows the menu or receives its messages.
    virtual HWND WindowHandle() const { return FWindowHandle; }
    void SetWindowHandle(HWND Value) { FWindowHandle = Value; }
    // The built menu follows the reading order of its window: a window laid
    // out right to left gets its items in right-to-left order.
    void AdjustBiDiBehavior();
    // An item changed (see TMenuItem::MenuChanged).
    virtual void MenuChanged(TMenuItem* Source, bool Rebuild);
    TNotifyEvent OnChange;

    // WM_MEASUREITEM and WM_DRAWITEM of a menu item (CtlType ODT_MENU): the
    // item named by the message measures or draws itself on a canvas bound
    // to the DC. False when the message is not about a live menu item.
    static bool DispatchMenuMeasure(TMessage& Message);
    static bool DispatchMenuDraw(TMessage& Message);
    // WM_MENUCHAR of one of our menus: owner-drawn entries have no text the
    // system reads accelerators from, so the items' captions answer (the
    // one item with the key runs, several are stepped through).
    static bool DispatchMenuChar(TMessage& Message);
    // The three above for a window that owns menus: WM_MEASUREITEM,
    // WM_DRAWITEM and WM_MENUCHAR go to the one that handles them.
    static bool DispatchMenuMessage(TMessage& Message);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // True for a menu bar (its handle is made by CreateMenu).
    virtual bool IsMenuBar() const { return false; }

private:
    friend class TMenuItem;
    TMenuItem* FItems = nullptr;
    bool FOwnerDraw = false;
    TCustomImageList* FImages = nullptr;
    HWND FWindowHandle = nullptr;
};

// The menu of a form's menu line. With AutoMerge its items are merged into
// another form's main menu instead of being shown on their own form.
class TMainMenu : public TMenu {
public:
    KES_CLASS_NAME(TMainMenu)
    explicit TMainMenu(TComponent* AOwner);
    bool AutoMerge() const { return FAutoMerge; }
    void SetAutoMerge(bool Value) { FAutoMerge = Value; }
    // A shape change puts the rebuilt bar on the window, redraws it and
    // tells the window (CM_MENUCHANGED).
    void MenuChanged(TMenuItem* Source, bool Rebuild) override;

protected:
    bool IsMenuBar() const override { return true; }

private:
    bool FAutoMerge = false;
};

// A menu shown at a point of the screen.
class TPopupMenu : public TMenu {
public:
    KES_CLASS_NAME(TPopupMenu)
    explicit TPopupMenu(TComponent* AOwner);

    // Runs OnPopup, shows the menu with its top-left corner at (X, Y) in
    // screen coordinates and returns when it closes; the chosen item is
    // clicked after that.
    virtual void Popup(int X, int Y);
    // The window that receives the menu's messages while it is open
    // (WM_INITMENUPOPUP, WM_ENTERIDLE, WM_MENUSELECT, WM_MEASUREITEM,
    // WM_DRAWITEM, ...): the one set here, else the application's hidden
    // window.
    HWND WindowHandle() const override;
    POINT PopupPoint() const { return FPopupPoint; }
    TMenuAnimation MenuAnimation() const { return FMenuAnimation; }
    void SetMenuAnimation(TMenuAnimation Value) { FMenuAnimation = Value; }
    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup();

private:
    POINT FPopupPoint{0, 0};
    TMenuAnimation FMenuAnimation;
};
