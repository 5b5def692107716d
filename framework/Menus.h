// Menus: menu items in a tree, the menu that holds them and the popup menu.
// The system menu handles are built from the items on demand and kept until
// the tree changes shape; caption, enabled and checked changes reach a built
// handle at once.
#pragma once

#include <vector>

#include "Classes.h"
#include "WinApi.h"

KES_DECLARE_EXCEPTION(EMenuError, Exception)

class TMenu;

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
    TNotifyEvent OnClick;
    // Runs OnClick when the item is enabled.
    virtual void Click();

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
    // This item or the item below it with the given command, nullptr when none.
    TMenuItem* Find(Word ACommand);

private:
    friend class TMenu;
    TMenuItem* Root();
    // Destroys the built handles of the whole tree (a submenu's handle goes
    // with its parent's).
    void DestroyHandles();
    void ForgetHandles();
    // Caption, enabled or checked changed: update the entry of a built parent.
    void UpdateEntry();
    void FillEntry(MENUITEMINFOW& Info);

    String FCaption;
    bool FEnabled = true;
    bool FChecked = false;
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
    TMenuItem* FindItem(Word Command) { return FItems->Find(Command); }
    // Clicks the item with the command; false when no item has it.
    bool DispatchCommand(Word Command);

private:
    TMenuItem* FItems = nullptr;
};

// The menu of a form's menu line. With AutoMerge its items are merged into
// another form's main menu instead of being shown on their own form.
class TMainMenu : public TMenu {
public:
    KES_CLASS_NAME(TMainMenu)
    explicit TMainMenu(TComponent* AOwner);
    bool AutoMerge() const { return FAutoMerge; }
    void SetAutoMerge(bool Value) { FAutoMerge = Value; }

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
    // (WM_INITMENUPOPUP, WM_ENTERIDLE, WM_MENUSELECT, ...): the one set
    // here, else the application's hidden window.
    HWND WindowHandle() const;
    void SetWindowHandle(HWND Value) { FWindowHandle = Value; }
    POINT PopupPoint() const { return FPopupPoint; }
    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup();

private:
    HWND FWindowHandle = nullptr;
    POINT FPopupPoint{0, 0};
};
