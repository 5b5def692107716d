#include "Menus.h"

#include <bitset>

#include "Forms.h"
#include "ImgList.h"

namespace {

// Command numbers in use. The system reports a chosen item by its 16-bit
// command, and 0 means that nothing was chosen, so it is never handed out.
std::bitset<0x10000> usedCommands;
std::size_t nextCommand = 1;
// The live item of each command: owner-draw messages name their item by
// command (the item data), never by pointer, so that a message about an
// item freed meanwhile finds nothing.
TMenuItem* itemOfCommand[0x10000] = {};

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
    if (command) {
        usedCommands[command] = false;
        itemOfCommand[command] = nullptr;
    }
}

struct KeyName {
    Word Key;
    const char16_t* Name;
};

// Names of the keys that are not a letter or digit.
constexpr KeyName kKeyNames[] = {
    {VK_BACK, u"BkSp"},   {VK_TAB, u"Tab"},      {VK_RETURN, u"Enter"},  {VK_ESCAPE, u"Esc"},
    {VK_SPACE, u"Space"}, {VK_PRIOR, u"PgUp"},   {VK_NEXT, u"PgDn"},     {VK_END, u"End"},
    {VK_HOME, u"Home"},   {VK_LEFT, u"Left"},    {VK_UP, u"Up"},         {VK_RIGHT, u"Right"},
    {VK_DOWN, u"Down"},   {VK_INSERT, u"Ins"},   {VK_DELETE, u"Del"},
};

String KeyToText(Word key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<Char>(key));
    if (key >= VK_F1 && key <= VK_F24) return u"F" + IntToStr(key - VK_F1 + 1);
    for (const KeyName& k : kKeyNames)
        if (k.Key == key) return k.Name;
    return String();
}

bool SameText(const String& a, const char16_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        Char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<Char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<Char>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

Word TextToKey(const String& text) {
    if (text.size() == 1) {
        Char c = text[0];
        if (c >= 'a' && c <= 'z') c = static_cast<Char>(c - 32);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
    }
    if (text.size() >= 2 && (text[0] == 'F' || text[0] == 'f')) {
        Integer n = 0;
        bool digits = text.size() <= 3;
        for (std::size_t i = 1; i < text.size() && digits; ++i) {
            if (text[i] < '0' || text[i] > '9') digits = false;
            else n = n * 10 + (text[i] - '0');
        }
        if (digits && n >= 1 && n <= 24) return static_cast<Word>(VK_F1 + n - 1);
    }
    for (const KeyName& k : kKeyNames)
        if (SameText(text, k.Name)) return k.Key;
    return 0;
}

}  // namespace

TOwnerDrawState OwnerDrawStateFromBits(UINT State) {
    TOwnerDrawState s;
    for (unsigned bit = 0; bit <= static_cast<unsigned>(odComboBoxEdit); ++bit)
        if (State & (1u << bit)) s.Include(static_cast<TOwnerDrawStateItem>(bit));
    return s;
}

String ShortCutToText(TShortCut ShortCut) {
    const String key = KeyToText(static_cast<Word>(ShortCut & 0xFF));
    if (key.empty()) return String();
    String text;
    if (ShortCut & scShift) text += u"Shift+";
    if (ShortCut & scCtrl) text += u"Ctrl+";
    if (ShortCut & scAlt) text += u"Alt+";
    return text + key;
}

TShortCut TextToShortCut(const String& Text) {
    TShortCut modifiers = 0;
    std::size_t start = 0;
    // Modifier names end with '+'; whatever follows the last one is the key
    // (a lone "+" key cannot be named, like in the system's own texts).
    for (;;) {
        const std::size_t plus = Text.find(u'+', start);
        if (plus == String::npos || plus + 1 >= Text.size()) break;
        const String part = Text.substr(start, plus - start);
        if (SameText(part, u"Shift")) modifiers |= scShift;
        else if (SameText(part, u"Ctrl")) modifiers |= scCtrl;
        else if (SameText(part, u"Alt")) modifiers |= scAlt;
        else return 0;
        start = plus + 1;
    }
    const Word key = TextToKey(Text.substr(start));
    return key ? static_cast<TShortCut>(modifiers | key) : TShortCut(0);
}

UINT MenuAnimationFlags(TMenuAnimation Animation) {
    if (Animation.Contains(maNone)) return TPM_NOANIMATION;
    UINT flags = 0;
    if (Animation.Contains(maLeftToRight)) flags |= TPM_HORPOSANIMATION;
    if (Animation.Contains(maRightToLeft)) flags |= TPM_HORNEGANIMATION;
    if (Animation.Contains(maTopToBottom)) flags |= TPM_VERPOSANIMATION;
    if (Animation.Contains(maBottomToTop)) flags |= TPM_VERNEGANIMATION;
    return flags;
}

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(AllocateCommand()) {
    itemOfCommand[FCommand] = this;
}

TMenuItem* TMenuItem::FindByCommand(Word ACommand) { return ACommand ? itemOfCommand[ACommand] : nullptr; }

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
    if (FBitmap) FBitmap->Free();
    FBitmap = nullptr;
    if (FSubMenuImages) FSubMenuImages->RemoveFreeNotification(this);
    FSubMenuImages = nullptr;
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
    if (Value && FRadioItem) TurnSiblingsOff();
    UpdateEntry();
}

void TMenuItem::TurnSiblingsOff() {
    if (!FParent) return;
    for (TMenuItem* sibling : FParent->FItems)
        if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex) sibling->SetChecked(false);
}

void TMenuItem::Rebuild() { MenuChanged(true); }

void TMenuItem::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Rebuild();
}

void TMenuItem::SetBreak(TMenuBreak Value) {
    if (FBreak == Value) return;
    FBreak = Value;
    UpdateEntry();
}

void TMenuItem::SetDefault(bool Value) {
    if (FDefault == Value) return;
    // One default item per menu.
    if (Value && FParent)
        for (TMenuItem* sibling : FParent->FItems)
            if (sibling != this) sibling->FDefault = false;
    FDefault = Value;
    if (FParent && FParent->FHandle) {
        const Integer pos = MenuIndex();
        ::SetMenuDefaultItem(FParent->FHandle, Value && pos >= 0 ? static_cast<UINT>(pos) : static_cast<UINT>(-1), TRUE);
    }
    MenuChanged(false);
}

void TMenuItem::SetRadioItem(bool Value) {
    if (FRadioItem == Value) return;
    FRadioItem = Value;
    if (Value && FChecked) TurnSiblingsOff();
    UpdateEntry();
}

void TMenuItem::SetGroupIndex(Byte Value) {
    if (FGroupIndex == Value) return;
    FGroupIndex = Value;
    if (FRadioItem && FChecked) TurnSiblingsOff();
}

void TMenuItem::SetImageIndex(Integer Value) {
    if (FImageIndex == Value) return;
    FImageIndex = Value;
    MenuChanged(false);
}

TBitmap* TMenuItem::Bitmap() {
    if (!FBitmap) FBitmap = New<TBitmap>();
    return FBitmap;
}

void TMenuItem::SetBitmap(TBitmap* Value) {
    if (!Value) {
        if (FBitmap) FBitmap->Free();
        FBitmap = nullptr;
    } else {
        Bitmap()->Assign(Value);
    }
    MenuChanged(false);
}

void TMenuItem::SetShortCut(TShortCut Value) {
    if (FShortCut == Value) return;
    FShortCut = Value;
    UpdateEntry();
}

void TMenuItem::SetSubMenuImages(TCustomImageList* Value) {
    if (FSubMenuImages == Value) return;
    if (FSubMenuImages) FSubMenuImages->RemoveFreeNotification(this);
    FSubMenuImages = Value;
    if (FSubMenuImages) FSubMenuImages->FreeNotification(this);
    MenuChanged(false);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FSubMenuImages) FSubMenuImages = nullptr;
}

TCustomImageList* TMenuItem::GetImageList() const {
    for (const TMenuItem* p = FParent; p; p = p->FParent)
        if (p->FSubMenuImages) return p->FSubMenuImages;
    const TMenu* menu = GetParentMenu();
    return menu ? menu->Images() : nullptr;
}

bool TMenuItem::IsOwnerDraw() const {
    const TMenu* menu = GetParentMenu();
    return (menu && menu->OwnerDraw()) || OnMeasureItem.Assigned() || OnAdvancedDrawItem.Assigned() ||
           OnDrawItem.Assigned();
}

Integer TMenuItem::MenuIndex() const {
    if (!FParent || !FVisible) return -1;
    Integer pos = 0;
    for (const TMenuItem* sibling : FParent->FItems) {
        if (sibling == this) return pos;
        if (sibling->FVisible) ++pos;
    }
    return -1;
}

void TMenuItem::MenuChanged(bool Rebuild) {
    if (Rebuild) DestroyHandles();
    else WriteEntry();
    if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, Rebuild);
}

namespace {

// The font of menus (the system's menu font).
void SelectMenuFont(TCanvas& canvas) {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        HFONT font = ::CreateFontIndirectW(&ncm.lfMenuFont);
        if (font) canvas.Font()->SetHandle(font);
    }
}

String DrawnText(const TMenuItem& item) {
    String text = item.Caption();
    if (item.ShortCut()) text += u"\t" + ShortCutToText(item.ShortCut());
    return text;
}

}  // namespace

void TMenuItem::MeasureItem(TCanvas* ACanvas, Integer& Width, Integer& Height) {
    if (FCaption == u"-") {
        Width = 0;
        Height = ::GetSystemMetrics(SM_CYMENU) / 2;
    } else {
        const TSize size = ACanvas->TextExtent(DrawnText(*this));
        const Integer check = ::GetSystemMetrics(SM_CXMENUCHECK);
        // Room for the check mark left of the text and for the submenu
        // arrow right of it.
        Width = size.cx + 2 * check + (FShortCut ? check : 0);
        Height = std::max<Integer>(size.cy + 4, ::GetSystemMetrics(SM_CYMENU));
        if (FParent && !FParent->FParent) {
            const TMenu* menu = GetParentMenu();
            if (menu && menu->IsMenuBar()) Width = size.cx;
        }
    }
    if (OnMeasureItem) OnMeasureItem(this, ACanvas, Width, Height);
}

void TMenuItem::AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel) {
    if (OnAdvancedDrawItem) {
        OnAdvancedDrawItem(this, ACanvas, ARect, State);
        return;
    }
    if (OnDrawItem) {
        OnDrawItem(this, ACanvas, ARect, State.Contains(odSelected));
        return;
    }
    DrawPlain(ACanvas, ARect, State, TopLevel);
}

void TMenuItem::DrawPlain(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel) {
    HDC dc = ACanvas->Handle();
    RECT r = {ARect.Left, ARect.Top, ARect.Right, ARect.Bottom};
    const bool selected = State.Contains(odSelected) || State.Contains(odHotLight);
    ::FillRect(dc, &r, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    if (FCaption == u"-") {
        RECT line = {r.left + 2, (r.top + r.bottom) / 2 - 1, r.right - 2, (r.top + r.bottom) / 2 + 1};
        ::DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    const bool disabled = State.Contains(odDisabled) || State.Contains(odGrayed);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    const Integer check = TopLevel ? 0 : ::GetSystemMetrics(SM_CXMENUCHECK);
    if (FChecked && !TopLevel) {
        RECT mark = {r.left, r.top, r.left + check, r.bottom};
        ::DrawTextW(dc, FRadioItem ? L"\u25CF" : L"\u2713", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    RECT text = {r.left + check + (TopLevel ? 0 : 2), r.top, r.right - check, r.bottom};
    UINT flags = DT_VCENTER | DT_SINGLELINE | (TopLevel ? DT_CENTER : DT_LEFT);
    if (State.Contains(odNoAccel)) flags |= DT_HIDEPREFIX;
    ::DrawTextW(dc, reinterpret_cast<LPCWSTR>(FCaption.c_str()), static_cast<int>(FCaption.size()), &text, flags);
    if (FShortCut) {
        const String s = ShortCutToText(FShortCut);
        ::DrawTextW(dc, reinterpret_cast<LPCWSTR>(s.c_str()), static_cast<int>(s.size()), &text,
                    DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
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
    if (Item->FDefault)
        for (TMenuItem* sibling : FItems)
            if (sibling != Item) sibling->FDefault = false;
    MenuChanged(true);
}

void TMenuItem::Delete(Integer Index) {
    TMenuItem* item = Items(Index);
    DestroyHandles();
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
    MenuChanged(true);
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
    TMenuItem* root = Root();
    // A bar shown on a window is taken off it before it goes: the window
    // must never keep a destroyed menu.
    if (root->FHandle && root->FMenu && root->FMenu->IsMenuBar()) {
        HWND wnd = root->FMenu->WindowHandle();
        if (wnd && ::IsWindow(wnd) && ::GetMenu(wnd) == root->FHandle) ::SetMenu(wnd, nullptr);
    }
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
    Walk::Destroy(root);
}

void TMenuItem::ForgetHandles() {
    FHandle = nullptr;
    for (TMenuItem* child : FItems) child->ForgetHandles();
}

void TMenuItem::FillEntry(MENUITEMINFOW& Info, String& Text) {
    Info.cbSize = sizeof(Info);
    Info.fMask |= MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_DATA;
    Info.fState = (FEnabled ? MFS_ENABLED : MFS_DISABLED) | (FChecked ? MFS_CHECKED : MFS_UNCHECKED) |
                  (FDefault ? MFS_DEFAULT : 0);
    const bool ownerDraw = IsOwnerDraw();
    Info.fType = 0;
    // A divider stays a separator when owner-drawn, so that neither the
    // keyboard nor the mouse can select it.
    if (ownerDraw) Info.fType |= MFT_OWNERDRAW;
    if (FCaption == u"-") Info.fType |= MFT_SEPARATOR;
    if (FBreak == mbBreak) Info.fType |= MFT_MENUBREAK;
    if (FBreak == mbBarBreak) Info.fType |= MFT_MENUBARBREAK;
    if (FRadioItem) Info.fType |= MFT_RADIOCHECK;
    // The item data is the command, which owner-draw messages are matched
    // against the live items by.
    Info.dwItemData = FCommand;
    // The system keeps its own copy of the text. An owner-drawn item draws
    // its own shortcut; the others show it after a tab.
    Text = FCaption;
    if (FShortCut && !ownerDraw) Text += u"\t" + ShortCutToText(FShortCut);
    Info.dwTypeData = const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(Text.c_str()));
    Info.cch = static_cast<UINT>(Text.size());
}

void TMenuItem::UpdateEntry() { MenuChanged(false); }

void TMenuItem::WriteEntry() {
    if (!FParent || !FParent->FHandle) return;
    const Integer pos = MenuIndex();
    if (pos < 0) return;
    MENUITEMINFOW info = {};
    String text;
    FillEntry(info, text);
    ::SetMenuItemInfoW(FParent->FHandle, static_cast<UINT>(pos), TRUE, &info);
}

HMENU TMenuItem::Handle() {
    if (FHandle) return FHandle;
    const bool bar = !FParent && FMenu && FMenu->IsMenuBar();
    HMENU menu = bar ? ::CreateMenu() : ::CreatePopupMenu();
    if (!menu) throw EMenuError(u"Cannot create a menu");
    UINT i = 0;
    for (TMenuItem* child : FItems) {
        if (!child->FVisible) continue;
        MENUITEMINFOW info = {};
        info.fMask = MIIM_ID;
        info.wID = child->FCommand;
        String text;
        child->FillEntry(info, text);
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
        if (!::InsertMenuItemW(menu, i, TRUE, &info)) {
            // A submenu that did not go in is not destroyed with the menu.
            if (info.hSubMenu) ::DestroyMenu(info.hSubMenu);
            ::DestroyMenu(menu);
            ForgetHandles();
            throw EMenuError(u"Cannot add an item to a menu");
        }
        ++i;
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
        // While the items still know their menu: a bar is taken off its
        // window before its handle goes.
        FItems->DestroyHandles();
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

void TMenu::SetOwnerDraw(bool Value) {
    if (FOwnerDraw == Value) return;
    FOwnerDraw = Value;
    // Every entry changes its type.
    FItems->MenuChanged(true);
}

void TMenu::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) FImages->FreeNotification(this);
    FItems->MenuChanged(false);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FImages) FImages = nullptr;
}

void TMenu::MenuChanged(TMenuItem*, bool) {
    if (OnChange && !HasState(csDestroying)) OnChange(this);
}

void TMenu::AdjustBiDiBehavior() {
    HWND wnd = WindowHandle();
    if (!FItems || !FItems->FHandle || !wnd || !::IsWindow(wnd)) return;
    const LONG_PTR ex = ::GetWindowLongPtrW(wnd, GWL_EXSTYLE);
    const bool rightToLeft = (ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) != 0;
    const int count = ::GetMenuItemCount(FItems->FHandle);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        if (!::GetMenuItemInfoW(FItems->FHandle, static_cast<UINT>(i), TRUE, &info)) continue;
        const UINT type = rightToLeft ? info.fType | MFT_RIGHTORDER : info.fType & ~MFT_RIGHTORDER;
        if (type == info.fType) continue;
        info.fType = type;
        ::SetMenuItemInfoW(FItems->FHandle, static_cast<UINT>(i), TRUE, &info);
    }
    if (IsMenuBar() && ::GetMenu(wnd) == FItems->FHandle) ::DrawMenuBar(wnd);
}

namespace {

bool IsTopLevelOfBar(const TMenuItem* item) {
    const TMenuItem* parent = item->Parent();
    const TMenu* menu = item->GetParentMenu();
    return parent && !parent->Parent() && menu && dynamic_cast<const TMainMenu*>(menu) != nullptr;
}

// The live item a message's item data names (the data is its command).
TMenuItem* ItemOfData(ULONG_PTR data) {
    if (data == 0 || data > 0xFFFF) return nullptr;
    return TMenuItem::FindByCommand(static_cast<Word>(data));
}

// The message's item id agrees with the item: its command, or for an item
// that opens a submenu whatever the system reports for it (some report the
// submenu's handle there).
bool NamesItem(const TMenuItem* item, UINT itemID) { return item->Command() == itemID || item->Count() > 0; }

}  // namespace

bool TMenu::DispatchMenuMeasure(TMessage& Message) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
    if (Message.Msg != WM_MEASUREITEM || !mis || mis->CtlType != ODT_MENU) return false;
    TMenuItem* item = ItemOfData(mis->itemData);
    if (!item || !NamesItem(item, mis->itemID)) return false;
    HDC dc = ::GetDC(nullptr);
    if (!dc) return false;
    Integer width = static_cast<Integer>(mis->itemWidth);
    Integer height = static_cast<Integer>(mis->itemHeight);
    try {
        TCanvas canvas;
        canvas.SetHandle(dc);
        SelectMenuFont(canvas);
        item->MeasureItem(&canvas, width, height);
        canvas.SetHandle(nullptr);
    } catch (...) {
        ::ReleaseDC(nullptr, dc);
        throw;
    }
    ::ReleaseDC(nullptr, dc);
    mis->itemWidth = static_cast<UINT>(std::max<Integer>(width, 0));
    mis->itemHeight = static_cast<UINT>(std::max<Integer>(height, 0));
    Message.Result = TRUE;
    return true;
}

namespace {

// The accelerator character of a caption ("&Open" has 'O'; "&&" is a plain
// ampersand), 0 when none.
Char Accelerator(const String& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] != u'&') return caption[i + 1];
        ++i;
    }
    return 0;
}

Char Upper(Char c) { return static_cast<Char>(reinterpret_cast<UINT_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c))))); }

}  // namespace

bool TMenu::DispatchMenuChar(TMessage& Message) {
    if (Message.Msg != WM_MENUCHAR) return false;
    HMENU menu = reinterpret_cast<HMENU>(Message.LParam);
    if (!menu || !::IsMenu(menu) || ::GetMenuItemCount(menu) <= 0) return false;
    // The menu is ours when its first entry names a live item whose parent
    // built this very handle.
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoW(menu, 0, TRUE, &info)) return false;
    TMenuItem* first = ItemOfData(info.dwItemData);
    TMenuItem* parent = first ? first->Parent() : nullptr;
    if (!parent || parent->FHandle != menu) return false;
    const Char key = Upper(static_cast<Char>(LOWORD(Message.WParam)));
    // Matches in menu order, starting after the highlighted entry.
    std::vector<Integer> matches;
    Integer hilite = -1;
    for (TMenuItem* item : parent->FItems) {
        const Integer pos = item->MenuIndex();
        if (pos < 0) continue;
        if (::GetMenuState(menu, static_cast<UINT>(pos), MF_BYPOSITION) & MF_HILITE) hilite = pos;
        const Char c = Accelerator(item->Caption());
        if (c && Upper(c) == key && item->Enabled()) matches.push_back(pos);
    }
    if (matches.empty()) return false;
    if (matches.size() == 1) {
        Message.Result = MAKELRESULT(matches.front(), MNC_EXECUTE);
        return true;
    }
    Integer next = matches.front();
    for (Integer pos : matches)
        if (pos > hilite) {
            next = pos;
            break;
        }
    Message.Result = MAKELRESULT(next, MNC_SELECT);
    return true;
}

bool TMenu::DispatchMenuDraw(TMessage& Message) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
    if (Message.Msg != WM_DRAWITEM || !dis || dis->CtlType != ODT_MENU || !dis->hDC) return false;
    TMenuItem* item = ItemOfData(dis->itemData);
    if (!item || !NamesItem(item, dis->itemID)) return false;
    const int saved = ::SaveDC(dis->hDC);
    try {
        TCanvas canvas;
        canvas.SetHandle(dis->hDC);
        SelectMenuFont(canvas);
        item->AdvancedDrawItem(&canvas, TRect(dis->rcItem), OwnerDrawStateFromBits(dis->itemState),
                               IsTopLevelOfBar(item));
        canvas.SetHandle(nullptr);
    } catch (...) {
        ::RestoreDC(dis->hDC, saved);
        throw;
    }
    ::RestoreDC(dis->hDC, saved);
    Message.Result = TRUE;
    return true;
}

bool TMenu::DispatchMenuMessage(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MEASUREITEM: return DispatchMenuMeasure(Message);
    case WM_DRAWITEM: return DispatchMenuDraw(Message);
    case WM_MENUCHAR: return DispatchMenuChar(Message);
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// TPopupMenu

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

void TMainMenu::MenuChanged(TMenuItem* Source, bool Rebuild) {
    HWND wnd = WindowHandle();
    if (wnd && ::IsWindow(wnd) && !HasState(csDestroying)) {
        HMENU shown = Items()->Count() > 0 && !AutoMerge() ? Handle() : nullptr;
        if (::GetMenu(wnd) != shown) ::SetMenu(wnd, shown);
        else if (!Rebuild) ::DrawMenuBar(wnd);
        ::SendMessageW(wnd, CM_MENUCHANGED, 0, 0);
    }
    TMenu::MenuChanged(Source, Rebuild);
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

HWND TPopupMenu::WindowHandle() const {
    HWND wnd = TMenu::WindowHandle();
    if (wnd && ::IsWindow(wnd)) return wnd;
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
    const UINT flags =
        TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | MenuAnimationFlags(FMenuAnimation);
    const int command = ::TrackPopupMenuEx(Handle(), flags, X, Y, WindowHandle(), nullptr);
    // The choice is carried out once the menu is closed, so that a handler
    // may show windows, change the menu or free it.
    if (command > 0 && command <= 0xFFFF) DispatchCommand(static_cast<Word>(command));
}
