// The provider's skinned system menu. Its items are copied from the window's
// own system menu (texts up to the tab, the shortcut after it, and the
// application's extra commands), fall back to the engine's texts where the
// window's menu lacks a command, and carry the command as their Tag. The
// optional skin chooser lists every skin of the manager's folder in columns
// of 20. The visibility and enabling rules are shared with the caption
// buttons and with the system's own menu. Win32, main thread only.
#include <algorithm>

#include "sSkinProvider.h"

#include "sConstWin.h"
#include "sSkinManager.h"

namespace {

bool NoButtonsStyle(TFormBorderStyle s) {
    return s == TFormBorderStyle::bsNone || s == TFormBorderStyle::bsDialog || s == TFormBorderStyle::bsToolWindow ||
           s == TFormBorderStyle::bsSizeToolWin;
}

bool HasMenu(const TsSystemMenu& m) { return m.FOwner && m.FOwner->HaveSysMenu && m.FForm; }

// The text of a menu entry (by command or by position), at most 255
// characters; empty when there is none.
String MenuText(HMENU Menu, UINT Item, UINT Flags) {
    wchar_t buffer[256] = {};
    const int n = ::GetMenuStringW(Menu, Item, buffer, 256, Flags);
    return n > 0 ? String(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(std::min(n, 255)))
                 : String();
}

String BeforeTab(const String& Text) {
    const auto tab = Text.find(u'\t');
    return tab == String::npos ? Text : Text.substr(0, tab);
}

String AfterTab(const String& Text) {
    const auto tab = Text.find(u'\t');
    return tab == String::npos ? String() : Text.substr(tab + 1);
}

// An engine text, or its English form before the string table was read.
String EngineText(TacText Text, const char16_t* Fallback) {
    const String& s = acText(Text);
    return s.empty() ? String(Fallback) : s;
}

// The extra commands of a window's system menu, by position: not system
// commands (ids below 0xF000) and with a text.
template <class Visit>
void ForEachExtraCommand(HMENU Menu, Visit&& Action) {
    const int count = ::GetMenuItemCount(Menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(Menu, i);
        if (id >= 0xF000) continue;   // a system command, or a submenu (-1)
        const String text = MenuText(Menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (!text.empty()) Action(id, text);
    }
}

const char16_t* const kChooserName = u"SkinSelectItem";
// Skin names per column of the chooser.
constexpr Integer kChooserColumn = 20;

}  // namespace

// ---- creation ---------------------------------------------------------------------------------------

TsSystemMenu::TsSystemMenu(TComponent* AOwner) : TsCustomSysMenu(AOwner) {
    FOwner = dynamic_cast<TsSkinProvider*>(AOwner);
    FForm = FOwner ? FOwner->Form : nullptr;
    SetName(u"acSysMenu" + IntToStr(static_cast<Integer>(::GetTickCount())));
    Generate();
}

TsSystemMenu::~TsSystemMenu() = default;

HWND TsSystemMenu::FormHandle() const { return FormWnd(FForm); }

HMENU TsSystemMenu::WindowMenu(HWND Wnd) {
    if (!Wnd || !::IsWindow(Wnd)) return nullptr;
    HMENU menu = ::GetSystemMenu(Wnd, FALSE);
    const LONG style = ::GetWindowLongW(Wnd, GWL_STYLE);
    if (!menu && (style & WS_SYSMENU) == 0) {
        // A style change alone redraws nothing.
        ::SetWindowLongW(Wnd, GWL_STYLE, style | WS_SYSMENU);
        menu = ::GetSystemMenu(Wnd, FALSE);
        ::SetWindowLongW(Wnd, GWL_STYLE, style);
    }
    return menu;
}

Integer TsSystemMenu::WindowExtraCount(HWND Wnd) {
    HMENU menu = WindowMenu(Wnd);
    Integer n = 0;
    if (menu) ForEachExtraCommand(menu, [&n](UINT, const String&) { ++n; });
    return n;
}

TMenuItem* TsSystemMenu::AddItem(const String& Caption, const String& Name, UINT Command, TNotifyEvent Click) {
    auto* item = New<TMenuItem>(this);
    item->SetCaption(Caption);
    if (!Name.empty()) item->SetName(Name);
    item->Tag = static_cast<std::intptr_t>(Command);
    item->OnClick = Click;
    Items()->Add(item);
    return item;
}

void TsSystemMenu::AddSeparator() {
    auto* item = New<TMenuItem>(this);
    item->SetCaption(u"-");
    Items()->Add(item);
}

void TsSystemMenu::Generate() {
    TMenuItem* root = Items();
    while (root->Count() > 0) root->Items(root->Count() - 1)->Free();
    ItemRestore = ItemMove = ItemSize = ItemMinimize = ItemMaximize = ItemClose = nullptr;
    ExtItemsCount = 0;
    HMENU menu = WindowMenu(FormHandle());
    if (!menu) return;

    auto caption = [menu](UINT Command, TacText Text, const char16_t* Fallback) {
        const String s = BeforeTab(MenuText(menu, Command, MF_BYCOMMAND));
        return s.empty() ? EngineText(Text, Fallback) : s;
    };
    ItemRestore = AddItem(caption(SC_RESTORE, TacText::Restore, u"Restore"), u"acIR", SC_RESTORE,
                          TNotifyEvent::Of<&TsSystemMenu::RestoreClick>(this));
    ItemMove = AddItem(caption(SC_MOVE, TacText::Move, u"Move"), u"acIM", SC_MOVE,
                       TNotifyEvent::Of<&TsSystemMenu::MoveClick>(this));
    ItemSize = AddItem(caption(SC_SIZE, TacText::Size, u"Size"), u"acIS", SC_SIZE,
                       TNotifyEvent::Of<&TsSystemMenu::SizeClick>(this));
    ItemMinimize = AddItem(caption(SC_MINIMIZE, TacText::Minimize, u"Minimize"), u"acIN", SC_MINIMIZE,
                           TNotifyEvent::Of<&TsSystemMenu::MinClick>(this));
    ItemMaximize = AddItem(caption(SC_MAXIMIZE, TacText::Maximize, u"Maximize"), u"acIX", SC_MAXIMIZE,
                           TNotifyEvent::Of<&TsSystemMenu::MaxClick>(this));
    AddSeparator();

    ForEachExtraCommand(menu, [this](UINT Id, const String& Text) {
        TMenuItem* item = AddItem(BeforeTab(Text), String(), Id, TNotifyEvent::Of<&TsSystemMenu::ExtClick>(this));
        item->SetShortCut(TextToShortCut(AfterTab(Text)));
        ++ExtItemsCount;
    });
    if (ExtItemsCount > 0) AddSeparator();

    const String close = MenuText(menu, SC_CLOSE, MF_BYCOMMAND);
    ItemClose = AddItem(close.empty() ? EngineText(TacText::Close, u"Close") : BeforeTab(close), u"acIC", SC_CLOSE,
                        TNotifyEvent::Of<&TsSystemMenu::CloseClick>(this));
    ItemClose->SetShortCut(TextToShortCut(AfterTab(close)));
}

// ---- the skin chooser --------------------------------------------------------------------------------

void TsSystemMenu::RemoveSkinItems() {
    TMenuItem* root = Items();
    if (root->Count() == 0 || root->Items(0)->Name() != kChooserName) return;
    // The separator that MakeSkinItems put after the chooser goes with it,
    // so that repeated drops do not pile separators up.
    if (root->Count() > 1 && root->Items(1)->Caption() == u"-" && root->Items(1)->Name().empty())
        root->Items(1)->Free();
    root->Items(0)->Free();
}

void TsSystemMenu::MakeSkinItems() {
    TsSkinManager* m = FOwner && FOwner->SkinData() ? FOwner->SkinData()->SkinManager() : DefaultManager;
    if (!m) return;
    TStringList names;
    m->GetSkinNames(&names);
    if (names.Count() == 0) return;
    RemoveSkinItems();

    auto* chooser = New<TMenuItem>(this);
    chooser->SetCaption(EngineText(TacText::AvailSkins, u"Available skins"));
    chooser->SetName(kChooserName);
    Items()->Insert(0, chooser);
    auto* separator = New<TMenuItem>(this);
    separator->SetCaption(u"-");
    Items()->Insert(1, separator);

    for (Integer i = 0; i < names.Count(); ++i) {
        auto* item = New<TMenuItem>(this);
        item->SetCaption(names.Get(i));
        item->SetName(String(kChooserName) + IntToStr(i));
        item->SetRadioItem(true);
        item->SetChecked(names.Get(i) == m->SkinName());
        if (i > 0 && i % kChooserColumn == 0) item->SetBreak(TMenuBreak::mbBreak);
        item->OnClick = TNotifyEvent::Of<&TsSystemMenu::SkinSelect>(this);
        chooser->Add(item);
    }
}

void TsSystemMenu::SkinSelect(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    TsSkinManager* m = FOwner && FOwner->SkinData() ? FOwner->SkinData()->SkinManager() : DefaultManager;
    if (!item || !m) return;
    String name = item->Caption();
    name.erase(std::remove(name.begin(), name.end(), u'&'), name.end());
    static const String internal = u"(internal)";
    if (const auto at = name.find(internal); at != String::npos) name.resize(at + internal.size());
    m->SetSkinName(name);
}

// ---- visibility and enabling -------------------------------------------------------------------------

void TsSystemMenu::UpdateItems(bool Full) {
    if (Full || !ItemClose) Generate();
    if (!ItemClose) return;
    ItemRestore->SetVisible(VisibleRestore());
    ItemRestore->SetEnabled(EnabledRestore());
    ItemMove->SetVisible(true);
    ItemMove->SetEnabled(EnabledMove());
    ItemSize->SetVisible(VisibleSize());
    ItemSize->SetEnabled(EnabledSize());
    ItemMinimize->SetVisible(VisibleMin());
    ItemMinimize->SetEnabled(EnabledMin());
    ItemMaximize->SetVisible(VisibleMax());
    ItemMaximize->SetEnabled(EnabledMax());
    ItemClose->SetVisible(VisibleClose());
    ItemClose->SetEnabled(true);
}

bool TsSystemMenu::VisibleClose() {
    if (!HasMenu(*this)) return false;
    HMENU menu = WindowMenu(FormHandle());
    return menu && ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

bool TsSystemMenu::VisibleMax() {
    if (!HasMenu(*this)) return false;
    // There is no task-bar main form mode: an iconic form always shows it.
    if (FormIconic(FForm)) return true;
    if (FOwner->IsMDIChild()) return true;
    if (NoButtonsStyle(FForm->BorderStyle) || !FOwner->HasBorderIcon(biMaximize)) return false;
    return true;
}

bool TsSystemMenu::VisibleMin() {
    if (!HasMenu(*this)) return false;
    if (FormIconic(FForm) || FOwner->IsMDIChild()) return true;
    if (NoButtonsStyle(FForm->BorderStyle) || !FOwner->HasBorderIcon(biMinimize)) return false;
    return true;
}

bool TsSystemMenu::VisibleRestore() {
    if (!HasMenu(*this)) return false;
    if (FOwner->IsMDIChild()) return true;
    return FOwner->IsNormalBorderStyle();
}

bool TsSystemMenu::VisibleSize() {
    if (!FForm || !FOwner) return false;
    if (FOwner->IsMDIChild()) return true;
    const TFormBorderStyle s = FForm->BorderStyle;
    return !(s == TFormBorderStyle::bsNone || s == TFormBorderStyle::bsDialog || s == TFormBorderStyle::bsToolWindow);
}

bool TsSystemMenu::EnabledMax() {
    if (!FForm || !FOwner || !FOwner->HasBorderIcon(biMaximize)) return false;
    return FOwner->IsMDIChild() || (!FormZoomed(FForm) && FOwner->IsNormalBorderStyle());
}

bool TsSystemMenu::EnabledMin() {
    if (!FForm || !FOwner || !FOwner->HasBorderIcon(biMinimize)) return false;
    return !(FormIconic(FForm) && !IsMainForm(FForm));
}

bool TsSystemMenu::EnabledMove() { return FForm && !FormZoomed(FForm); }

bool TsSystemMenu::EnabledRestore() {
    if (!FForm || !FOwner) return false;
    const bool notNormal = FormZoomed(FForm) || FormIconic(FForm);
    return (FOwner->HasBorderIcon(biMaximize) && notNormal) || FormIconic(FForm);
}

bool TsSystemMenu::EnabledSize() {
    return FForm && FForm->BorderStyle != TFormBorderStyle::bsSingle && !FormIconic(FForm);
}

// ---- clicks ---------------------------------------------------------------------------------------------

bool TsSystemMenu::SendCommand(WPARAM Command) {
    HWND wnd = FormHandle();
    if (!wnd) return true;
    const TLiveness alive = Liveness();
    ::SendMessageW(wnd, WM_SYSCOMMAND, Command, 0);
    return alive.Alive();
}

void TsSystemMenu::RestoreClick(TObject*) {
    if (SendCommand(SC_RESTORE)) UpdateItems(false);
}

void TsSystemMenu::MaxClick(TObject*) {
    if (SendCommand(SC_MAXIMIZE)) UpdateItems(false);
}

void TsSystemMenu::MinClick(TObject*) {
    if (!FOwner) return;
    // The minimize animation is left out for a command from the menu.
    FOwner->SkipAnimation = true;
    if (!SendCommand(SC_MINIMIZE)) return;
    FOwner->SkipAnimation = false;
    if (FOwner->SystemMenu) FOwner->SystemMenu->UpdateItems(false);
}

void TsSystemMenu::MoveClick(TObject*) { SendCommand(SC_MOVE); }

void TsSystemMenu::SizeClick(TObject*) { SendCommand(SC_SIZE); }

void TsSystemMenu::CloseClick(TObject*) { SendCommand(SC_CLOSE); }

void TsSystemMenu::ExtClick(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    HWND wnd = FormHandle();
    if (item && wnd) ::PostMessageW(wnd, WM_SYSCOMMAND, static_cast<WPARAM>(item->Tag), 0);
}
