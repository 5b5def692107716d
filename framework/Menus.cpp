#include "Menus.h"

#include <bitset>

#include "Forms.h"

namespace {

// Command numbers in use. The system reports a chosen item by its 16-bit
// command, and 0 means that nothing was chosen, so it is never handed out.
std::bitset<0x10000> usedCommands;
std::size_t nextCommand = 1;

Word AllocateCommand() {
    for (std::size_t tried = 0; tried < 0xFFFF; ++tried) {
        const std::size_t c = nextCommand;
        nextCommand = nextCommand >= 0xFFFF ? 1 : nextCommand + 1;
        if (!usedCommands[c]) {
            usedCommands[c] = true;
            return static_cast<Word>(c);
        }
    }
    throw EMenuError(u"Too many menu items");
}

void ReleaseCommand(Word command) {
    if (command) usedCommands[command] = false;
}

}  // namespace

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(AllocateCommand()) {}

TMenuItem::~TMenuItem() {
    // Deleted without Free: let go of the tree as BeforeDestruction would.
    if (FCommand) TMenuItem::BeforeDestruction();
}

void TMenuItem::BeforeDestruction() {
    if (FParent) FParent->Remove(this);
    DestroyHandles();
    while (!FItems.empty()) {
        TMenuItem* item = FItems.back();
        FItems.pop_back();
        item->FParent = nullptr;
        item->Free();
    }
    ReleaseCommand(FCommand);
    FCommand = 0;
    TComponent::BeforeDestruction();
}

void TMenuItem::SetCaption(const String& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    UpdateEntry();
}

void TMenuItem::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    UpdateEntry();
}

void TMenuItem::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    UpdateEntry();
}

void TMenuItem::Click() {
    if (FEnabled && OnClick) OnClick(this);
}

TMenuItem* TMenuItem::Items(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError(u"Menu index out of range");
    return FItems[static_cast<std::size_t>(Index)];
}

Integer TMenuItem::IndexOf(const TMenuItem* Item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == Item) return static_cast<Integer>(i);
    return -1;
}

void TMenuItem::Insert(Integer Index, TMenuItem* Item) {
    if (!Item) throw EMenuError(u"No menu item to insert");
    if (Item->FParent || Item->FMenu) throw EMenuError(u"Menu inserted twice");
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (p == Item) throw EMenuError(u"A menu item cannot hold itself");
    if (Index < 0 || Index > Count()) throw EMenuError(u"Menu index out of range");
    // The shape of the tree changes: every built handle is out of date.
    DestroyHandles();
    Item->DestroyHandles();
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Delete(Integer Index) {
    TMenuItem* item = Items(Index);
    DestroyHandles();
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
}

void TMenuItem::Remove(TMenuItem* Item) {
    const Integer index = IndexOf(Item);
    if (index < 0) throw EMenuError(u"Menu item not found");
    Delete(index);
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* item = this;
    while (item->FParent) item = item->FParent;
    return item->FMenu;
}

TMenuItem* TMenuItem::Root() {
    TMenuItem* item = this;
    while (item->FParent) item = item->FParent;
    return item;
}

void TMenuItem::DestroyHandles() {
    // Destroying a menu destroys the submenus attached to it; a part of the
    // tree whose handle was built on its own is destroyed on its own.
    struct Walk {
        static void Destroy(TMenuItem* item) {
            if (item->FHandle) {
                ::DestroyMenu(item->FHandle);
                item->ForgetHandles();
                return;
            }
            for (TMenuItem* child : item->FItems) Destroy(child);
        }
    };
    Walk::Destroy(Root());
}

void TMenuItem::ForgetHandles() {
    FHandle = nullptr;
    for (TMenuItem* child : FItems) child->ForgetHandles();
}

void TMenuItem::FillEntry(MENUITEMINFOW& Info) {
    Info.cbSize = sizeof(Info);
    Info.fMask |= MIIM_STRING | MIIM_STATE;
    Info.fState = (FEnabled ? MFS_ENABLED : MFS_DISABLED) | (FChecked ? MFS_CHECKED : MFS_UNCHECKED);
    // The system keeps its own copy of the text.
    Info.dwTypeData = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(FCaption.c_str()));
    Info.cch = static_cast<UINT>(FCaption.size());
}

void TMenuItem::UpdateEntry() {
    if (!FParent || !FParent->FHandle) return;
    MENUITEMINFOW info = {};
    FillEntry(info);
    ::SetMenuItemInfoW(FParent->FHandle, static_cast<UINT>(FParent->IndexOf(this)), TRUE, &info);
}

HMENU TMenuItem::Handle() {
    if (FHandle) return FHandle;
    HMENU menu = ::CreatePopupMenu();
    if (!menu) throw EMenuError(u"Cannot create a menu");
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        TMenuItem* child = FItems[i];
        MENUITEMINFOW info = {};
        info.fMask = MIIM_ID;
        info.wID = child->FCommand;
        child->FillEntry(info);
        if (!child->FItems.empty()) {
            try {
                info.hSubMenu = child->Handle();
            } catch (...) {
                ::DestroyMenu(menu);
                ForgetHandles();
                throw;
            }
            info.fMask |= MIIM_SUBMENU;
        }
        if (!::InsertMenuItemW(menu, static_cast<UINT>(i), TRUE, &info)) {
            // A submenu that did not go in is not destroyed with the menu.
            if (info.hSubMenu) ::DestroyMenu(info.hSubMenu);
            ::DestroyMenu(menu);
            ForgetHandles();
            throw EMenuError(u"Cannot add an item to a menu");
        }
    }
    FHandle = menu;
    return FHandle;
}

TMenuItem* TMenuItem::Find(Word ACommand) {
    if (ACommand == 0) return nullptr;
    if (FCommand == ACommand) return this;
    for (TMenuItem* child : FItems)
        if (TMenuItem* found = child->Find(ACommand)) return found;
    return nullptr;
}

// ---------------------------------------------------------------------------
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(New<TMenuItem>(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    if (FItems) TMenu::BeforeDestruction();
}

void TMenu::BeforeDestruction() {
    if (FItems) {
        FItems->FMenu = nullptr;
        FreeAndNil(FItems);
    }
    TComponent::BeforeDestruction();
}

bool TMenu::DispatchCommand(Word Command) {
    TMenuItem* item = FindItem(Command);
    if (!item) return false;
    item->Click();
    return true;
}

// ---------------------------------------------------------------------------
// TPopupMenu

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

HWND TPopupMenu::WindowHandle() const {
    if (FWindowHandle && ::IsWindow(FWindowHandle)) return FWindowHandle;
    return Application->Handle();
}

void TPopupMenu::DoPopup() {
    if (OnPopup) OnPopup(this);
}

void TPopupMenu::Popup(int X, int Y) {
    FPopupPoint = POINT{X, Y};
    DoPopup();
    // OnPopup may have filled the menu; an empty one has nothing to show.
    if (Items()->Count() == 0) return;
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD;
    const int command = ::TrackPopupMenuEx(Handle(), flags, X, Y, WindowHandle(), nullptr);
    // The choice is carried out once the menu is closed, so that a handler
    // may show windows, change the menu or free it.
    if (command > 0 && command <= 0xFFFF) DispatchCommand(static_cast<Word>(command));
}
