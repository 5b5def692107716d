#include "sSkinProvider.h"

#include "WindowAttach.h"

#include <windowsx.h>

#include <algorithm>

#include "acDwm.h"
#include "acThdTimer.h"
#include "acUtilsWin.h"
#include "sGraphUtils.h"
#include "sMessages.h"
#include "sScrollBox.h"
#include "sSkinMenus.h"
#include "sStyleSimply.h"
#include "sVclUtils.h"

TsSkinProvider* MDISkinProvider = nullptr;
TsSkinProvider* ActiveChildProvider = nullptr;
bool PreviewMode = false;
HWND PreviewHandle = nullptr;
bool ChildMaximized = false;
bool acBtnPressed = false;
const wchar_t* const acEditorWindowTitle = L"Kestrune Skin Editor";

// The procedure a provider puts into its form's WindowProc. It outlives the
// provider when someone subclassed the form after it and the provider could
// not take itself out of the chain: from then on it only passes messages on
// to the procedure the provider found.
struct TacProviderLink {
    TsSkinProvider* Owner = nullptr;
    TWndMethod Old;
    void WndProc(TMessage& Message) {
        if (Owner)
            Owner->NewWndProc(Message);
        else if (Old)
            Old(Message);
    }
};

namespace {

// Links that stayed in a foreign chain; kept until the program ends.
std::vector<TacProviderLink*>& OrphanLinks() {
    static std::vector<TacProviderLink*> links;
    return links;
}

// System caption heights, read once.
Integer CachedCaption(bool Small) {
    static Integer normal = -1, small = -1;
    Integer& v = Small ? small : normal;
    if (v < 0) v = ::GetSystemMetrics(Small ? SM_CYSMCAPTION : SM_CYCAPTION);
    return v;
}

LONG StyleOf(HWND Wnd) { return Wnd ? ::GetWindowLongW(Wnd, GWL_STYLE) : 0; }

bool IsToolStyle(TFormBorderStyle Style) {
    return Style == TFormBorderStyle::bsToolWindow || Style == TFormBorderStyle::bsSizeToolWin;
}

const TsMaskData* MaskAt(TsSkinManager* m, Integer Index) {
    if (!m || !m->IsValidImgIndex(Index)) return nullptr;
    return &m->ma()[static_cast<std::size_t>(Index)];
}

const TsSkinData* SkinOptions(TsSkinManager* m) { return m && m->SkinData() ? m->SkinData() : nullptr; }

}  // namespace

// ---- unit-level metrics ---------------------------------------------------------------

TacSystemFrameMetrics SystemFrameMetrics() {
    TacSystemFrameMetrics s;
    s.CXFrame = ::GetSystemMetrics(SM_CXFRAME);
    s.CXDlgFrame = ::GetSystemMetrics(SM_CXDLGFRAME);
    s.CYCaption = CachedCaption(false);
    s.CYSmCaption = CachedCaption(true);
    return s;
}

namespace {

// The frame model of a bare window (a border window is not in use yet).
TacFrameModel WindowFrame(HWND Wnd, TacBorderForm* BorderForm) {
    TacFrameModel f;
    f.Style = static_cast<Cardinal>(StyleOf(Wnd));
    f.BorderWindow = BorderForm != nullptr;
    f.System = SystemFrameMetrics();
    return f;
}

}  // namespace

Integer SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool UseSkin) {
    return SysBorderWidth(WindowFrame(Wnd, BorderForm), UseSkin);
}
Integer SysBorderHeight(HWND Wnd, TacBorderForm* BorderForm, bool UseSkin) {
    return SysBorderHeight(WindowFrame(Wnd, BorderForm), UseSkin);
}
Integer SysCaptionHeight(TCustomForm* Form) {
    const bool small = Form && IsToolStyle(Form->BorderStyle) && !(FormWnd(Form) && ::IsIconic(FormWnd(Form)));
    return CachedCaption(small);
}
// The extended border window does not exist yet: no form has one, so its
// extra title height, border width and differences are 0.
Integer ExtTitleHeight(TacBorderForm* /*BorderForm*/) { return 0; }
Integer ExtBorderWidth(TacBorderForm* /*BorderForm*/) { return 0; }
Integer ExtTitleDiff(TacBorderForm* /*BorderForm*/) { return 0; }
Integer ExtBorderDiff(TacBorderForm* /*BorderForm*/) { return 0; }

Integer HwndWidth(HWND Wnd) {
    RECT r{};
    return Wnd && ::GetWindowRect(Wnd, &r) ? r.right - r.left : 0;
}
Integer HwndHeight(HWND Wnd) {
    RECT r{};
    return Wnd && ::GetWindowRect(Wnd, &r) ? r.bottom - r.top : 0;
}
Integer HwndClientWidth(HWND Wnd) {
    RECT r{};
    return Wnd && ::GetClientRect(Wnd, &r) ? r.right - r.left : 0;
}
Integer HwndClientHeight(HWND Wnd) {
    RECT r{};
    return Wnd && ::GetClientRect(Wnd, &r) ? r.bottom - r.top : 0;
}
bool HasThickFrame(HWND Wnd) { return (StyleOf(Wnd) & WS_THICKFRAME) != 0; }

void SnapCoordinate(Integer& Coord, Integer Edge, Integer Buffer, Integer Offset) {
    const Int64 distance = Int64{Coord} + Offset - Edge;
    if ((distance < 0 ? -distance : distance) < Buffer) Coord = Edge - Offset;
}

TRect GetFormWorkArea(TCustomForm* Form) {
    if (Form)
        if (TMonitor* monitor = Form->Monitor()) return monitor->WorkareaRect();
    RECT r{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return TRect(r.left, r.top, r.right, r.bottom);
}

TsSkinProvider* FormSkinProvider(TCustomForm* Form) {
    if (!Form || Form->HasState(csDestroying)) return nullptr;
    auto* p = reinterpret_cast<TacFormProvider*>(Form->Perform(SkinCommandMessage, MakeSkinWParam(AC_GETPROVIDER), 0));
    return dynamic_cast<TsSkinProvider*>(p);
}

HWND FormWnd(const TCustomForm* Form) {
    return Form && Form->HandleAllocated() ? const_cast<TCustomForm*>(Form)->Handle() : nullptr;
}

bool FormIconic(const TCustomForm* Form) {
    HWND wnd = FormWnd(Form);
    return wnd ? ::IsIconic(wnd) != FALSE : Form->WindowState() == TWindowState::wsMinimized;
}

bool FormZoomed(const TCustomForm* Form) {
    HWND wnd = FormWnd(Form);
    return wnd ? ::IsZoomed(wnd) != FALSE : Form->WindowState() == TWindowState::wsMaximized;
}

bool IsMainForm(const TCustomForm* Form) { return Application && Application->MainForm() == Form; }

// ---- title icon ------------------------------------------------------------------------

TsTitleIcon::TsTitleIcon() : FGlyph(New<TBitmap>()) {}
TsTitleIcon::~TsTitleIcon() { FGlyph->Free(); }

void TsTitleIcon::Assign(TPersistent* Source) {
    if (auto* s = dynamic_cast<TsTitleIcon*>(Source)) {
        FGlyph->Assign(s->FGlyph);
        FHeight = s->FHeight;
        FWidth = s->FWidth;
        return;
    }
    TPersistent::Assign(Source);
}

void TsTitleIcon::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

// ---- user title buttons ------------------------------------------------------------------

namespace {
TCollectionItem* NewTitleButton(TCollection* Collection) { return New<TsTitleButton>(Collection); }
}  // namespace

TsTitleButtons::TsTitleButtons(TsSkinProvider* AOwner) : TCollection(&NewTitleButton), FOwner(AOwner) {}
TsTitleButtons::~TsTitleButtons() { FOwner = nullptr; }
TPersistent* TsTitleButtons::GetOwner() const { return FOwner; }
TsTitleButton* TsTitleButtons::Items(Integer Index) const {
    return static_cast<TsTitleButton*>(TCollection::Items(Index));
}
TsTitleButton* TsTitleButtons::Add() { return static_cast<TsTitleButton*>(TCollection::Add()); }

TsTitleButton::TsTitleButton(TCollection* Collection) : TCollectionItem(Collection), FGlyph(New<TBitmap>()) {
    FGlyph->OnChange = TNotifyEvent::Of<&TsTitleButton::GlyphChanged>(this);
    FName = ClassName();
}

TsTitleButton::~TsTitleButton() {
    TsSkinProvider::FreeBtnAnimation(BtnData);
    FGlyph->Free();
    // Cleared first: freeing the hint tells the provider, which looks for it.
    THintWindow* hint = HintWnd;
    HintWnd = nullptr;
    if (hint) hint->Free();
}

void TsTitleButton::GlyphChanged(TObject*) {
    // A running fade would show the old glyph.
    TsSkinProvider::FreeBtnAnimation(BtnData);
}

void TsTitleButton::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

void TsTitleButton::SetName(const String& Value) {
    if (FName != Value) FName = Value;
}

TsSkinProvider* TsTitleButton::Provider() const {
    auto* c = dynamic_cast<TsTitleButtons*>(Collection());
    return c ? c->FOwner : nullptr;
}

void TsTitleButton::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    if (TsSkinProvider* p = Provider()) p->RefreshNonClient();
}

void TsTitleButton::AssignTo(TPersistent* Dest) {
    auto* d = dynamic_cast<TsTitleButton*>(Dest);
    if (!d) {
        TCollectionItem::AssignTo(Dest);
        return;
    }
    d->FEnabled = FEnabled;
    d->FGlyph->Assign(FGlyph);
    d->FHint = FHint;
    d->FName = FName;
    d->FUseSkinData = FUseSkinData;
    d->OnMouseDown = OnMouseDown;
    d->OnMouseUp = OnMouseUp;
}

// ---- added title ----------------------------------------------------------------------------

TacAddedTitle::TacAddedTitle(TsSkinProvider* AOwner) : FFont(New<TFont>()), FOwner(AOwner) {
    FFont->SetColor(clNone);
}
TacAddedTitle::~TacAddedTitle() { FFont->Free(); }

void TacAddedTitle::Repaint() {
    if (FOwner && !FOwner->HasState(csLoading)) FOwner->RefreshNonClient();
}

void TacAddedTitle::SetFont(TFont* Value) {
    FFont->Assign(Value);
    Repaint();
}

void TacAddedTitle::SetShowMainCaption(bool Value) {
    if (FShowMainCaption == Value) return;
    FShowMainCaption = Value;
    Repaint();
}

void TacAddedTitle::SetText(const String& Value) {
    if (FText == Value) return;
    FText = Value;
    Repaint();
}

// ---- window state -------------------------------------------------------------------------------

// ---- the provider: creation and destruction ------------------------------------------------------

TsSkinProvider::TsSkinProvider(TComponent* AOwner) : TComponent(AOwner) {
    auto* owner = dynamic_cast<TCustomForm*>(AOwner);
    if (!owner) throw EAbort(u"TsSkinProvider component may be used with forms only!");

    if (!owner->HasState(csDesigning)) {
        const std::vector<String> args = acCommandLineArgs ? acCommandLineArgs() : std::vector<String>{};
        PreviewMode = !args.empty() && args.front() == u"/acpreview";
    } else {
        PreviewMode = false;
    }

    Form = owner;
    RTEmpty = false;
    if (owner->HasState(csDesigning)) {
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            TComponent* c = owner->Components(i);
            if (c != this && dynamic_cast<TsSkinProvider*>(c)) {
                Form = nullptr;
                throw EAbort(u"Only one instance of the TsSkinProvider component is allowed!");
            }
        }
    } else if (TsSkinProvider* existing = FormSkinProvider(owner); existing && existing != this) {
        if (existing->RTInit) {
            // The run-time provider may be in the middle of one of its own
            // messages: it stops skinning now and is freed afterwards.
            existing->MakeInert();
        } else {
            RTEmpty = true;
        }
    }

    FDrawNonClientArea = true;
    FTitleSkinIndex = -1;
    FCaptionSkinIndex = -1;
    FAllowAnimation = true;
    FAllowExtBorders = true;
    FAllowBlendOnMoving = true;
    ShowAction = TShowAction::saIgnore;
    FCommonData = New<TsCommonData>(this, true);
    FCommonData->COC = COC_TsSkinProvider;
    FCommonData->SetSkinSection(u"FORM");
    // A form still being made: nothing is painted until it is loaded.
    if ((Form->ControlState() & (csCreating | csReadingState)) != 0) FCommonData->BeginUpdate();
    FAddedTitle = New<TacAddedTitle>(this);
    FResizeMode = rmStandard;
    FUseGlobalColor = true;
    InAero = IsAeroEnabled();
    MenuChanged = true;
    RgnChanged = true;
    FSnapBuffer = 10;
    FShowAppIcon = true;
    FCaptionAlignment = taLeftJustify;
    FTitleIcon = New<TsTitleIcon>();
    FTitleButtons = New<TsTitleButtons>(this);
    FGripMode = gmNone;
    ButtonMin.HitCode = HTCAPTIONBTN_MIN;
    ButtonMax.HitCode = HTCAPTIONBTN_MAX;
    ButtonClose.HitCode = HTCAPTIONBTN_CLOSE;
    ButtonHelp.HitCode = HTCAPTIONBTN_HELP;
    MDIClose.HitCode = HTCHILDCLOSE;
    MDIMax.HitCode = HTCHILDMAX;
    MDIMin.HitCode = HTCHILDMIN;

    if (!HasState(csDesigning) && Form && !RTEmpty) {
        TempBmp = New<TBitmap>();
        TempBmp->Canvas()->Lock();
        MenuLineBmp = CreateWorkBitmap(0, 0);
        ClearButtons = true;
        ArOR.clear();
        FLinesCount = -1;
        Subclass();
        AddSkinnedForm(Form);
        FormActive = true;
    }
}

TsSkinProvider* TsSkinProvider::CreateRT(TComponent* AOwner, bool InitRT) {
    auto* p = new TsSkinProvider(AOwner);
    p->RTInit = InitRT;
    try {
        p->AfterConstruction();
    } catch (...) {
        p->Free();
        throw;
    }
    return p;
}

void TsSkinProvider::MakeInert() {
    Unsubclass();
    if (Form && FLinkTaken) RemoveSkinnedForm(Form);
    FLinkTaken = false;
    RTEmpty = true;
    RTInit = false;
    if (Owner()) Owner()->RemoveComponent(this);
    Form = nullptr;
    // Freed like a released form: once none of its messages is on the stack.
    if (Application)
        Application->ReleaseLater(this);
    else if (!IsDispatching(this))
        Free();
}

void TsSkinProvider::AfterConstruction() {
    TComponent::AfterConstruction();
    if (RTEmpty || RTInit || HasState(csDesigning)) return;
    TsSkinManager* m = Manager();
    if (!m || !m->Active()) return;
    PrepareForm();
}

void TsSkinProvider::BeforeDestruction() { TComponent::BeforeDestruction(); }

TsSkinProvider::~TsSkinProvider() {
    // Process-wide state that names this provider or its form goes with it.
    if (FrameDragOwner() == this) CancelFrameDrag();
    if (PressedHT != 0 || CurrentHT != 0) acBtnPressed = false;
    if (PreviewHandle && Form && PreviewHandle == FormWnd(Form)) PreviewHandle = nullptr;
    // A caption cover left up by a message the form went in calls back here.
    HideCaptionCover();
    if (FAddedTitle) {
        UpdateBorderForm(false);
        FreeAndNil(FAddedTitle);
        if (!HasState(csDesigning)) {
            KillAnimations();
            if (Form && FLinkTaken) RemoveSkinnedForm(Form);
            Unsubclass();
            if (MDISkinProvider == this) {
                if (MDIForm) HookMDI(false);
                MDISkinProvider = nullptr;
            }
            FreeAndNil(SystemMenu);
            if (TempBmp) {
                TempBmp->Canvas()->Unlock();
                FreeAndNil(TempBmp);
            }
            FreeAndNil(MenuLineBmp);
        }
    }
    if (ActiveChildProvider == this) ActiveChildProvider = nullptr;
    FreeAndNil(FGlow1);
    FreeAndNil(FGlow2);
    FreeAndNil(FTitleIcon);
    FreeAndNil(FTitleButtons);
    // Adapter, ListSW and FormTimer come with later work and stay nil.
    FreeAndNil(FCommonData);
    if (FormTimer) FreeAndNil(FormTimer);
    FreeAndNil(CoverBmp);
}

void TsSkinProvider::Subclass() {
    if (!Form || FLink) return;
    FLink = new TacProviderLink;
    FLink->Owner = this;
    FLink->Old = Form->WindowProc;
    OldWndProc = Form->WindowProc;
    OwnWndProc = TWndMethod::Of<&TacProviderLink::WndProc>(FLink);
    Form->WindowProc = OwnWndProc;
    FLinkTaken = true;
}

void TsSkinProvider::Unsubclass() {
    if (!FLink) return;
    if (Form && Form->WindowProc == OwnWndProc && !IsDispatching(this)) {
        Form->WindowProc = OldWndProc;
        delete FLink;
    } else if (Form && Form->WindowProc == OwnWndProc) {
        // Taken out from inside one of our own messages: the link is on the
        // stack and stays, as a pass-through nobody calls any more.
        Form->WindowProc = OldWndProc;
        FLink->Owner = nullptr;
        OrphanLinks().push_back(FLink);
    } else {
        // Someone subclassed the form after us and still holds our procedure:
        // it stays as a plain pass-through to what we found.
        FLink->Owner = nullptr;
        OrphanLinks().push_back(FLink);
    }
    FLink = nullptr;
    OwnWndProc = TWndMethod();
}

// ---- loading -------------------------------------------------------------------------------------------

void TsSkinProvider::Loaded() {
    TComponent::Loaded();
    if (FCommonData && FCommonData->FUpdateCount > 0) FCommonData->EndUpdate(false);
    if (RTEmpty || RTInit || HasState(csDesigning)) return;
    if (Manager() && Skinned()) LoadInit();
}

void TsSkinProvider::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == SystemMenu) SystemMenu = nullptr;
    if (!FCommonData) return;
    if (Operation == TOperation::opInsert) {
        if (auto* m = dynamic_cast<TsSkinManager*>(AComponent); m && !FCommonData->FSkinManager)
            FCommonData->SetSkinManager(m);
    } else {
        if (AComponent == FCommonData->FSkinManager) FCommonData->FSkinManager = nullptr;
        // Owned components go before the destructor runs.
        if (AComponent == SystemMenu) SystemMenu = nullptr;
        // A hint window belongs to the application and may go first when
        // the program ends.
        if (FTitleButtons != nullptr)
            for (Integer i = 0; i < FTitleButtons->Count(); ++i)
                if (TsTitleButton* b = FTitleButtons->Items(i); b->HintWnd == AComponent) b->HintWnd = nullptr;
    }
}

void TsSkinProvider::LoadInit() {
    if (RTEmpty || !Form) return;
    if (HWND wnd = FormWnd(Form)) SetDwmTransitionsDisabled(wnd, FDrawNonClientArea);
    PrepareForm();
    if (!Adapter) InitCtrlAdapter();
    if (SystemMenu) SystemMenu->UpdateItems();
    TsSkinManager* m = Manager();
    for (Integer i = 0; i < FTitleButtons->Count(); ++i) {
        TsTitleButton* b = FTitleButtons->Items(i);
        b->BtnData.ImageIndex = b->UseSkinData() && m ? m->GetMaskIndex(u"GLOBALINFO", u"TITLEBUTTON") : -1;
    }
    if (Form->BorderStyle == TFormBorderStyle::bsSizeToolWin) {
        FAllowBlendOnMoving = false;
        FUseGlobalColor = true;
    }
}

TsSkinManager* TsSkinProvider::Manager() const { return FCommonData ? FCommonData->SkinManager() : nullptr; }

bool TsSkinProvider::OwnManager(LPARAM LParam) const {
    return FCommonData && reinterpret_cast<TsSkinManager*>(LParam) == Manager();
}

bool TsSkinProvider::Skinned() const { return FCommonData && FCommonData->Skinned(true); }

void TsSkinProvider::PrepareForm() {
    if (RTInit || RTEmpty || !Form || !FormWnd(Form)) return;
    TsSkinManager* m = Manager();
    if (!m || !m->SkinData() || !m->SkinData()->Active) return;
    // An owner-drawn main menu draws itself: nothing to convert.
    TMainMenu* mainMenu = Form->Menu();
    FMenuOwnerDraw = mainMenu && mainMenu->OwnerDraw();
    if (FMenuOwnerDraw) MenusInitialized = true;
    FCommonData->Loaded();
    if (!SystemMenu) {
        SystemMenu = New<TsSystemMenu>(this);
        SystemMenu->UpdateItems();
    }
    UpdateSysMenuStyle(true);
    if (ClearButtons) {
        ClearButtons = false;
        if (IsMDIForm()) HookMDI(true);
    }
    FCommonData->UpdateIndexes();
    FTitleSkinIndex = -1;
    TitleSkinIndex();
    FCaptionSkinIndex = m->GetSkinIndex(u"CAPTION");
    InitButtons();
    RegionChanged = CaptChanged = CaptRgnChanged = true;
    if (!Form->HasState(csLoading | csReading) && !HasState(csLoading) && FUseGlobalColor &&
        !FCommonData->CustomColor())
        Form->SetColor(m->GetGlobalColor());
    InitMenuItems(true);
    if (!MenusInitialized) MenusInitialized = UpdateMenu();
    if (SystemMenu) SystemMenu->UpdateGlyphs();
    if (!Form->HasState(csLoading) && Form->Showing()) UpdateBorderForm(m->ExtendedBorders());
}

void TsSkinProvider::InitButtons() {
    TsSkinManager* m = Manager();
    if (!m || m->GetSkinIndex(u"GLOBALINFO") < 0) return;
    auto mask = [m](const char16_t* name) { return m->GetMaskIndex(u"GLOBALINFO", name); };
    auto valid = [m](Integer i) { return m->IsValidImgIndex(i); };
    ButtonMin.HitCode = HTCAPTIONBTN_MIN;
    ButtonMax.HitCode = HTCAPTIONBTN_MAX;
    ButtonClose.HitCode = HTCAPTIONBTN_CLOSE;
    ButtonHelp.HitCode = HTCAPTIONBTN_HELP;
    auto bigSet = [&] {
        ButtonMin.ImageIndex = mask(u"BICONMIN");
        ButtonMax.ImageIndex = mask(u"BICONMAX");
        const bool others = SystemMenu && (SystemMenu->VisibleMax() || SystemMenu->VisibleMin());
        ButtonClose.ImageIndex = others ? mask(u"BICONCLOSE") : mask(u"BICLOSEALONE");
        if (!valid(ButtonClose.ImageIndex)) ButtonClose.ImageIndex = mask(u"BICONCLOSE");
        ButtonHelp.ImageIndex = mask(u"BICONHELP");
    };
    if (IsNormalBorderStyle()) {
        bigSet();
        ButtonMin.HaveAlignment = true;
    } else {
        ButtonClose.ImageIndex = mask(u"SICONCLOSE");
        ButtonMin.ImageIndex = mask(u"SICONMIN");
        ButtonMax.ImageIndex = mask(u"SICONMAX");
        ButtonHelp.ImageIndex = mask(u"SICONHELP");
        if (!valid(ButtonHelp.ImageIndex)) ButtonHelp.ImageIndex = mask(u"BICONHELP");
        ButtonMin.HaveAlignment = false;
    }
    ButtonMax.HaveAlignment = ButtonMin.HaveAlignment;
    ButtonClose.HaveAlignment = ButtonMin.HaveAlignment;
    ButtonHelp.HaveAlignment = false;
    if (!valid(ButtonClose.ImageIndex)) {
        bigSet();
        ButtonMin.HaveAlignment = ButtonMax.HaveAlignment = ButtonClose.HaveAlignment = ButtonHelp.HaveAlignment =
            true;
    }
    UserBtnIndex = mask(u"TITLEBUTTON");
}

void TsSkinProvider::UpdateSysMenuStyle(bool Enable) {
    HWND wnd = FormWnd(Form);
    if (!wnd) return;
    const LONG style = StyleOf(wnd);
    if (Enable) {
        if ((style & WS_SYSMENU) != 0 || HaveSysMenu) {
            // While the provider draws the frame it draws the buttons: the
            // system must not draw its own over them.
            const LONG wanted = FDrawNonClientArea ? style & ~WS_SYSMENU : style | WS_SYSMENU;
            if (wanted != style) ::SetWindowLongW(wnd, GWL_STYLE, wanted);
            HaveSysMenu = true;
        } else {
            HaveSysMenu = false;
        }
    } else if (HaveSysMenu) {
        ::SetWindowLongW(wnd, GWL_STYLE, style | WS_SYSMENU);
        const LRESULT icon = ::SendMessageW(wnd, WM_GETICON, ICON_SMALL, 0);
        ::SendMessageW(wnd, WM_SETICON, ICON_SMALL, icon);
        HaveSysMenu = false;
    }
}

void TsSkinProvider::UpdateBorderForm(bool Use) {
    // The extended border window comes with later work: nothing is kept
    // until then, whatever Use says.
    (void)Use;
    BorderForm = nullptr;
}

void TsSkinProvider::RefreshFrame() {
    if (!FormWnd(Form)) return;
    TMessage m{WM_NCPAINT, 1, 0, 0};
    NewWndProc(m);
}

void TsSkinProvider::RepaintFrame() {
    PrepareForm();
    FCommonData->BGChanged = true;
    RgnChanged = true;
    if (HWND wnd = FormWnd(Form))
        ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TsSkinProvider::HookMDI(bool Active) {
    // The MDI parent object comes with MDI support; forms here are never MDI
    // parents.
    (void)Active;
}

void TsSkinProvider::UpdateScrollAdapter() {
    // The scroll adapter of an auto-scrolling form comes with the window
    // adapters; ListSW stays nil until then.
}

void TsSkinProvider::InitCtrlAdapter() {
    // Hook point of the child-control adapter (later work): nothing is
    // created until it exists.
}

void TsSkinProvider::DoneCtrlAdapter() { Adapter = nullptr; }

void TsSkinProvider::AdapterWndProc(TMessage& Message) { (void)Message; }

void TsSkinProvider::InitMenuItems(bool A) {
    TsSkinManager* m = Manager();
    if (!Form || !m || !m->SkinableMenus() || !m->IsDefault() || Form->HasState(csDesigning)) return;
    TsSkinableMenus* menus = m->SkinableMenus();
    const bool popups = A && m->SkinnedPopups();
    struct Walk {
        TsSkinableMenus* Menus;
        bool A, Line, Popups;
        void Visit(TComponent* Owner) {
            std::vector<TComponent*> list;
            for (int i = 0; i < Owner->ComponentCount(); ++i) list.push_back(Owner->Components(i));
            for (TComponent* c : list) {
                if (auto* main = dynamic_cast<TMainMenu*>(c)) {
                    if (Line) Menus->InitMenuLine(main, true);
                    for (Integer i = 0; i < main->Items()->Count(); ++i)
                        Menus->HookItem(main->Items()->Items(i), Popups);
                } else if (auto* popup = dynamic_cast<TPopupMenu*>(c)) {
                    Menus->HookPopupMenu(popup, Popups);
                } else if (auto* item = dynamic_cast<TMenuItem*>(c)) {
                    // Items of a main menu are reached through their menu.
                    if (dynamic_cast<TMainMenu*>(item->GetParentMenu())) continue;
                    Menus->HookItem(item, Popups);
                }
                // Frames and other containers hold menus of their own.
                if (dynamic_cast<TWinControl*>(c) && c->ComponentCount() > 0) Visit(c);
            }
        }
    } walk{menus, A, A && FDrawNonClientArea, popups};
    walk.Visit(Form);
}

bool TsSkinProvider::UpdateMenu() {
    // Re-entry: a menu change notifies the form, which may ask again.
    static bool updating = false;
    if (updating || !Form) return false;
    TMainMenu* menu = Form->Menu();
    if (!menu || menu->Items()->Count() == 0) return false;
    updating = true;
    struct Done {
        ~Done() { updating = false; }
    } done;
    menu->Items()->Items(0)->MenuChanged(true);
    menu->AdjustBiDiBehavior();
    return true;
}

void TsSkinProvider::RepaintMenuItem(TMenuItem* Item, const TRect& Rect, TOwnerDrawState State) {
    if (!MenuPresent() || !Item || !Form || !Form->HandleAllocated()) return;
    TMainMenu* menu = Form->Menu();
    TBitmap* cache = FCommonData ? FCommonData->FCacheBmp : nullptr;
    if (!menu || !cache || cache->Empty()) return;
    // Only an item of the form's own menu line, found by the bar's handle.
    HMENU bar = ::GetMenu(Form->Handle());
    if (!bar || !menu->HandleAllocated() || bar != menu->Handle() || Item->Parent() != menu->Items()) return;
    if (Item->OnAdvancedDrawItem) Item->OnAdvancedDrawItem(Item, cache->Canvas(), Rect, State);
    HDC dc = ::GetWindowDC(Form->Handle());
    if (!dc) return;
    const TRect r = Rect;
    // The cache holds the window from the shadow's corner on.
    const TRect shadow = ShadowSize();
    const Integer dx = BorderForm ? ExtBorderDiff(BorderForm) + shadow.Left : 0;
    const Integer dy = BorderForm ? ExtTitleDiff(BorderForm) + shadow.Top + (FSysExHeight ? 4 : 0) : 0;
    ::BitBlt(dc, r.Left - dx, r.Top - dy, r.Width(), r.Height(), cache->Canvas()->Handle(), r.Left, r.Top, SRCCOPY);
    ::ReleaseDC(Form->Handle(), dc);
}

void TsSkinProvider::HandleInitMenuPopup(TMessage& Message) {
    HMENU popup = reinterpret_cast<HMENU>(Message.WParam);
    if (HIWORD(Message.LParam) != 0) {
        // The system menu: sizing is offered by the skinned frame.
        if (popup) ::EnableMenuItem(popup, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
    } else {
        acMenusSkinning = false;
    }
    // The MDI window menu and its 0x200 items come with the MDI parent.
    PassOn(Message);
}

void TsSkinProvider::RepaintMenu() {
    FCommonData->BGChanged = true;
    MenuChanged = true;
    FLinesCount = -1;
    if (HWND wnd = FormWnd(Form)) ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
}

void TsSkinProvider::UpdateMDIParentFrame(bool Redraw) {
    (void)Redraw;   // no MDI parent exists here
}

void TsSkinProvider::ApplyGlobalColor() {
    TsSkinManager* m = Manager();
    if (Form && FUseGlobalColor && !FCommonData->CustomColor() && m && Skinned()) Form->SetColor(m->GetGlobalColor());
}

void TsSkinProvider::NewCaptFormProc(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) return;
    if (OldCaptFormProc) OldCaptFormProc(Message);
}

void TsSkinProvider::FreeGlows() {
    FreeAndNil(FGlow1);
    FreeAndNil(FGlow2);
}

// ---- predicates --------------------------------------------------------------------------------------------

bool TsSkinProvider::IsMDIChild() const { return false; }
bool TsSkinProvider::IsMDIForm() const { return false; }

bool TsSkinProvider::HaveBorder() const {
    if (!Form) return false;
    return Form->BorderStyle != TFormBorderStyle::bsNone || (StyleOf(FormWnd(Form)) & WS_CHILD) != 0 || IsMDIChild();
}

bool TsSkinProvider::IsNormalBorderStyle() const {
    return Form && (Form->BorderStyle == TFormBorderStyle::bsSingle || Form->BorderStyle == TFormBorderStyle::bsSizeable);
}

bool TsSkinProvider::IsZoomed() const { return Form && FormZoomed(Form); }
bool TsSkinProvider::IsIconic() const { return Form && FormIconic(Form); }

bool TsSkinProvider::IsGripVisible() const {
    return FGripMode == gmRightBottom && !IsZoomed() && HasThickFrame(FormWnd(Form));
}

bool TsSkinProvider::HasBorderIcon(Integer BorderIcon) const {
    return Form && Form->BorderIcons.Contains(static_cast<TBorderIcon>(BorderIcon));
}

Integer TsSkinProvider::FormBorderWidth() const { return Form ? Form->BorderWidth() : 0; }

// ---- metrics -------------------------------------------------------------------------------------------------

TacFrameModel TsSkinProvider::FrameModel() const {
    TacFrameModel f;
    f.Style = static_cast<Cardinal>(StyleOf(FormWnd(Form)));
    f.HaveBorder = HaveBorder();
    f.ToolWindow = Form && IsToolStyle(Form->BorderStyle);
    f.Minimized = IsIconic();
    f.FormBorderWidth = FormBorderWidth();
    f.BorderWindow = BorderForm != nullptr && Manager() != nullptr;
    f.SysExHeight = FSysExHeight;
    if (const TsSkinData* d = SkinOptions(Manager())) {
        f.ExBorderWidth = d->ExBorderWidth;
        f.ExTitleHeight = d->ExTitleHeight;
    }
    f.System = SystemFrameMetrics();
    return f;
}

TacCaptionModel TsSkinProvider::CaptionModel() const {
    TacCaptionModel c;
    TsSkinManager* m = Manager();
    c.Frame = FrameModel();
    c.CaptionWidth = CaptionWidth();
    c.Shadow = ShadowSize();
    c.NormalBorderStyle = IsNormalBorderStyle();
    c.Zoomed = IsZoomed();
    c.Composition = IsAeroEnabled();
    if (const TsSkinData* d = SkinOptions(m)) {
        c.BISpacing = d->BISpacing;
        c.BIVAlign = d->BIVAlign;
        c.BIRightMargin = d->BIRightMargin;
        c.BITopMargin = d->BITopMargin;
        c.BILeftMargin = d->BILeftMargin;
        c.ExCenterOffs = d->ExCenterOffs;
        c.ExMaxHeight = d->ExMaxHeight;
        c.ExDrawMode = d->ExDrawMode;
    }
    c.IconVisible = IconVisible();
    c.IconWidth = FTitleIcon ? FTitleIcon->Width() : 0;
    c.IconHeight = FTitleIcon ? FTitleIcon->Height() : 0;
    c.ButtonHeight = CaptionButtonHeight(MaskAt(m, ButtonClose.ImageIndex));
    c.SystemButtons = SystemMenu && HaveSysMenu;
    if (c.SystemButtons) {
        c.VisibleMax = SystemMenu->VisibleMax();
        c.VisibleMin = SystemMenu->VisibleMin();
    }
    c.CloseImage = MaskAt(m, ButtonClose.ImageIndex) != nullptr;
    c.HelpIcon = HasBorderIcon(biHelp);
    c.HelpImage = MaskAt(m, ButtonHelp.ImageIndex) != nullptr;
    c.BigSet = ButtonMin.HaveAlignment;
    c.CloseWidth = CaptionButtonWidth(MaskAt(m, ButtonClose.ImageIndex));
    c.MaxWidth = CaptionButtonWidth(MaskAt(m, ButtonMax.ImageIndex));
    c.MinWidth = CaptionButtonWidth(MaskAt(m, ButtonMin.ImageIndex));
    c.HelpWidth = CaptionButtonWidth(MaskAt(m, ButtonHelp.ImageIndex));
    if (FTitleButtons)
        for (Integer i = 0; i < FTitleButtons->Count(); ++i) {
            TsTitleButton* b = FTitleButtons->Items(i);
            c.TitleButtons.push_back(TacTitleButtonPlace{b->Visible(), UserButtonWidth(b)});
        }
    return c;
}

void TsSkinProvider::LayoutCaptionButtons() {
    const TacCaptionModel model = CaptionModel();
    const TacCaptionButtons placed = PlaceCaptionButtons(model);
    auto take = [](TsCaptionButton& b, bool shown, const TRect& r) {
        b.Rect = shown ? r : TRect(0, 0, 0, 0);
        if (!shown) b.State = -1;
        else if (b.State < 0) b.State = 0;
    };
    take(ButtonClose, placed.CloseShown, placed.Close);
    take(ButtonMax, placed.MaxShown, placed.Max);
    take(ButtonMin, placed.MinShown, placed.Min);
    take(ButtonHelp, placed.HelpShown, placed.Help);
    if (FTitleButtons)
        for (Integer i = 0; i < FTitleButtons->Count() && static_cast<std::size_t>(i) < placed.Title.size(); ++i) {
            TsTitleButton* b = FTitleButtons->Items(i);
            take(b->BtnData, b->Visible(), placed.Title[static_cast<std::size_t>(i)]);
            b->BtnData.HitCode = static_cast<Cardinal>(HTUDBTN + i);
            b->BtnData.ImageIndex = b->UseSkinData() && MaskAt(Manager(), UserBtnIndex) ? UserBtnIndex : -1;
        }
}

Integer TsSkinProvider::CaptionHeight(bool CheckSkin) const { return ::CaptionHeight(FrameModel(), CheckSkin); }
Integer TsSkinProvider::BorderWidth(bool CheckSkin) const { return ::BorderWidth(FrameModel(), CheckSkin); }
Integer TsSkinProvider::BorderHeight(bool CheckSkin) const { return ::BorderHeight(FrameModel(), CheckSkin); }

TRect TsSkinProvider::ShadowSize() const {
    if (BorderForm && Manager()) return Manager()->FormShadowSize;
    return TRect(0, 0, 0, 0);
}

Integer TsSkinProvider::CaptionWidth() const {
    const TRect s = ShadowSize();
    HWND wnd = FormWnd(Form);
    if (IsIconic() && !IsMainForm(Form)) return HwndWidth(wnd) + s.Left + s.Right;
    const Integer width = wnd ? HwndWidth(wnd) : (Form ? Form->Width() : 0);
    return width + s.Left + s.Right + (BorderForm ? 2 * ExtBorderDiff(FrameModel()) : 0);
}

Integer TsSkinProvider::OffsetX() const {
    HWND wnd = FormWnd(Form);
    if (BorderForm) return BorderWidth(true) + ShadowSize().Left;
    return (HwndWidth(wnd) - HwndClientWidth(wnd)) / 2;
}

Integer TsSkinProvider::OffsetY() const {
    HWND wnd = FormWnd(Form);
    if (BorderForm) {
        const Integer menu = MenuHeight();
        return CaptionHeight(true) + const_cast<TsSkinProvider*>(this)->GetLinesCount() * menu + FormBorderWidth() +
               ShadowSize().Top + (menu != 0 ? 1 : 0);
    }
    return HwndHeight(wnd) - HwndClientHeight(wnd) - ((StyleOf(wnd) & WS_BORDER) != 0 ? BorderWidth(true) : 0);
}

Integer TsSkinProvider::HeaderHeight() const {
    HWND wnd = FormWnd(Form);
    Integer r;
    if (BorderForm) {
        r = SysBorderHeight(FrameModel(), false) + CaptionHeight(true);
    } else {
        const Integer outer = HwndHeight(wnd) - HwndClientHeight(wnd);
        if (CaptionHeight(true) != 0)
            r = outer - BorderHeight(true);
        else
            r = outer - ((StyleOf(wnd) & WS_BORDER) != 0 ? BorderHeight(true) : 0);
    }
    r = std::max(r, 0);
    if (IsIconic()) r += SysBorderHeight(FrameModel(), false);
    return r;
}

Integer TsSkinProvider::MenuHeight() const {
    return HasSkinnableMainMenu() ? ::GetSystemMetrics(SM_CYMENU) - 1 : 0;
}

bool TsSkinProvider::MenuPresent() const {
    if (!Form || IsMDIChild() || Form->BorderStyle == TFormBorderStyle::bsDialog) return false;
    TMainMenu* menu = Form->Menu();
    if (!menu || menu->AutoMerge()) return false;
    for (Integer i = 0; i < menu->Items()->Count(); ++i)
        if (menu->Items()->Items(i)->Visible()) return true;
    // The MDI parent's merged child menu comes with the MDI parent.
    return false;
}

Integer TsSkinProvider::GetLinesCount() {
    if (FLinesCount != -1) return FLinesCount;
    FLinesCount = 0;
    if (!Form || !Form->Menu() || !Form->HandleAllocated() || IsIconic()) return FLinesCount;
    HWND wnd = Form->Handle();
    RECT first = {0, 0, 0, 0};
    if (!::GetMenu(wnd) || !::GetMenuItemRect(wnd, ::GetMenu(wnd), 0, &first)) return FLinesCount;
    RECT wr = {0, 0, 0, 0}, cr = {0, 0, 0, 0};
    ::GetWindowRect(wnd, &wr);
    ::GetClientRect(wnd, &cr);
    const Integer b = first.bottom;
    Integer c = wr.top + (wr.bottom - wr.top) - (cr.bottom - cr.top) - BorderHeight(false) - 2 * FormBorderWidth();
    const Integer step = std::max(::GetSystemMetrics(SM_CYMENU) - 2, 1);
    FLinesCount = b < c ? (c - b) / step + 1 : 1;
    return FLinesCount;
}

TColor TsSkinProvider::FormColor() const {
    TsSkinManager* m = Manager();
    if (Skinned() && !FCommonData->CustomColor() && m->IsValidSkinIndex(FCommonData->SkinIndex)) {
        const TsGeneralData& s = m->gd()[static_cast<std::size_t>(FCommonData->SkinIndex)];
        return FormActive && s.States > 1 ? s.HotColor : s.Color;
    }
    return Form ? ::ColorToRGB(Form->Color()) : ::ColorToRGB(clBtnFace);
}

Integer TsSkinProvider::TitleSkinIndex() {
    if (FTitleSkinIndex == -1) {
        TsSkinManager* m = Manager();
        if (m) FTitleSkinIndex = m->GetSkinIndex(FTitleSkin.empty() ? String(u"FORMTITLE") : FTitleSkin);
    }
    return FTitleSkinIndex;
}

bool TsSkinProvider::IconVisible() const {
    return IsNormalBorderStyle() && FShowAppIcon && HasBorderIcon(biSystemMenu);
}

Integer TsSkinProvider::UserButtonWidth(TsTitleButton* Btn) const {
    const Integer glyph = Btn && Btn->Glyph() && !Btn->Glyph()->Empty() ? Btn->Glyph()->Width() + 2 : 0;
    const TsMaskData* mask = MaskAt(Manager(), UserBtnIndex);
    const Integer frame = mask ? MaskFrameWidth(*mask) : 21;
    return std::max(glyph, frame);
}

Integer TsSkinProvider::TitleButtonsWidth() const { return ::TitleButtonsWidth(CaptionModel()); }

Integer TsSkinProvider::MaximizedButtonsShift() const { return ::MaximizedButtonsShift(CaptionModel()); }

TRect TsSkinProvider::TitleIconRect() const { return ::TitleIconRect(CaptionModel()); }

TPoint TsSkinProvider::FormScreenOrigin() const {
    RECT r{};
    if (HWND wnd = FormWnd(Form)) ::GetWindowRect(wnd, &r);
    return TPoint(r.left, r.top);
}

TPoint TsSkinProvider::FormPoint(Integer X, Integer Y) const {
    const TPoint o = FormScreenOrigin();
    return TPoint(X - o.X, Y - o.Y);
}

TPoint TsSkinProvider::GripPoint(Integer MaskIndex) const {
    const TsMaskData* mask = MaskAt(Manager(), MaskIndex);
    const Integer w = mask ? MaskFrameWidth(*mask) : 0, h = mask ? MaskFrameHeight(*mask) : 0;
    const TRect s = ShadowSize();
    const Integer frame = SysBorderWidth(FrameModel(), true);
    const Integer cacheW = CaptionWidth();
    const Integer cacheH = FCommonData && FCommonData->FCacheBmp && FCommonData->FCacheBmp->Height() > 0
                               ? FCommonData->FCacheBmp->Height()
                               : HwndHeight(FormWnd(Form)) + s.Top + s.Bottom;
    return TPoint(cacheW - w - frame - s.Right - 1, cacheH - h - frame - s.Bottom - 1);
}

bool TsSkinProvider::CacheSizeChanged() const {
    TBitmap* cache = FCommonData ? FCommonData->FCacheBmp : nullptr;
    if (!cache) return true;
    HWND wnd = FormWnd(Form);
    const Integer height = wnd ? HwndHeight(wnd) : (Form ? Form->Height() : 0);
    return cache->Width() != CaptionWidth() || cache->Height() != height;
}

Integer TsSkinProvider::SysButtonCount() const {
    if (!SystemMenu || !HaveSysMenu) return 0;
    Integer n = 3;
    if (!SystemMenu->VisibleMin()) --n;
    if (!SystemMenu->VisibleMax()) --n;
    if (HasBorderIcon(biHelp)) ++n;
    return n;
}

bool TsSkinProvider::MDIChildButtonsShown() const { return false; }

TsCaptionButton* TsSkinProvider::ButtonOf(Integer HitCode) {
    switch (HitCode) {
    case HTCAPTIONBTN_MIN: return &ButtonMin;
    case HTCAPTIONBTN_MAX: return &ButtonMax;
    case HTCAPTIONBTN_CLOSE: return &ButtonClose;
    case HTCAPTIONBTN_HELP: return &ButtonHelp;
    case HTCHILDCLOSE: return &MDIClose;
    case HTCHILDMAX: return &MDIMax;
    case HTCHILDMIN: return &MDIMin;
    default: break;
    }
    if (HitCode >= HTUDBTN && FTitleButtons && HitCode - HTUDBTN < FTitleButtons->Count())
        return &FTitleButtons->Items(HitCode - HTUDBTN)->BtnData;
    return nullptr;
}

// ---- hit test --------------------------------------------------------------------------------------------------------

Integer TsSkinProvider::HitTest(const TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!wnd) return HTNOWHERE;
    const TPoint o = FormScreenOrigin();
    const TPoint p(GET_X_LPARAM(Message.LParam) - o.X, GET_Y_LPARAM(Message.LParam) - o.Y);
    const Integer width = HwndWidth(wnd), height = HwndHeight(wnd);

    // 1. The caption buttons.
    if (!BorderForm) {
        if (!SystemMenu) PrepareForm();
        LayoutCaptionButtons();
        const TacCaptionModel model = CaptionModel();
        const TacCaptionButtons placed = PlaceCaptionButtons(model);
        const Integer n = CaptionButtonAt(model, placed, p);
        const bool sys = model.SystemButtons;
        const Integer sysCount = sys ? 1 + model.VisibleMax + model.VisibleMin + model.HelpIcon : 0;
        Integer code = HTCLIENT;
        if (n > sysCount) {
            // The n-th visible user button.
            Integer k = n - sysCount - 1;
            for (Integer i = 0; i < FTitleButtons->Count(); ++i) {
                TsTitleButton* b = FTitleButtons->Items(i);
                if (!b->Visible()) continue;
                if (k-- == 0) {
                    // A disabled button is part of the caption: the form can be dragged there.
                    code = b->Enabled() ? HTUDBTN + i : HTCAPTION;
                    break;
                }
            }
        } else if (n == 1) {
            code = HTCAPTIONBTN_CLOSE;
        } else if (n == 2) {
            if (model.VisibleMax) {
                if (SystemMenu->EnabledMax())
                    code = HTCAPTIONBTN_MAX;
                else
                    code = SystemMenu->EnabledRestore() && !IsIconic() ? HTCAPTIONBTN_MAX : HTCAPTION;
            } else if (model.VisibleMin) {
                code = SystemMenu->EnabledMin() ? HTCAPTIONBTN_MIN : HTCAPTION;
            } else {
                code = model.HelpIcon ? HTCAPTIONBTN_HELP : HTCLIENT;
            }
        } else if (n == 3) {
            if (model.VisibleMax && model.VisibleMin)
                code = SystemMenu->EnabledMin() || IsIconic() ? HTCAPTIONBTN_MIN : HTCAPTION;
            else
                code = model.HelpIcon ? HTCAPTIONBTN_HELP : HTCLIENT;
        } else if (n == 4) {
            code = model.HelpIcon && model.VisibleMax ? HTCAPTIONBTN_HELP : HTCLIENT;
        }
        if (code != HTCLIENT) return code;
    }

    const Integer top = SysBorderHeight(FrameModel(), false);
    // 2. The sizing edges.
    if (!IsZoomed() && HasThickFrame(wnd) && !BorderForm) {
        const Integer b = SysBorderWidth(FrameModel(), false);
        const Integer code = FrameSizingHitCode(width, height, b, top, p);
        if (code != HTCLIENT) return code;
    }

    // 3. The title band and the menu line below it.
    const Integer sysCaption = SysCaptionHeight(Form);
    const Integer caption = CaptionHeight(false);
    const Integer menuBottom = top + caption + MenuHeight();
    if (caption != 0 && p.Y >= 0 && p.Y < std::max(top + sysCaption, menuBottom)) {
        if (p.Y >= top + sysCaption && p.Y < menuBottom) return HTMENU;
        if (IconVisible() && TitleIconRect().Contains(p)) return HTSYSMENU;
        return HTCAPTION;
    }

    // 4. Below the title: the size grip.
    const Integer menuLines = MenuHeight() * GetLinesCount();
    if (p.Y >= top + caption + menuLines) {
        TsSkinManager* m = Manager();
        const Integer grip = m ? m->GetMaskIndex(u"GLOBALINFO", u"GRIPIMAGE") : -1;
        if (IsGripVisible() && MaskAt(m, grip)) {
            const TPoint g = GripPoint(grip);
            return p.X >= g.X && p.Y >= g.Y ? HTBOTTOMRIGHT : HTCLIENT;
        }
        return HTCLIENT;
    }
    // 5. The menu lines.
    return HTMENU;
}

// ---- skin editor --------------------------------------------------------------------------------------------------------

void TsSkinProvider::LinkToSkinEditor(HWND Wnd) {
    if (!PreviewMode || PreviewHandle) return;
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (main) {
        if (!main->HandleAllocated() || main->Handle() != Wnd) return;
    }
    PreviewHandle = Wnd;
    PreviewMode = false;
    if (TsSkinManager* m = Manager()) m->AllowEditorLink = true;
    for (int i = 0; i <= 100; ++i) {
        HWND editor = ::FindWindowW(nullptr, acEditorWindowTitle);
        if (!editor) break;
        DWORD_PTR answer = 0;
        // An editor that hangs must not hang the program with it.
        if (!::SendMessageTimeoutW(editor, acEditorMessage, acEditorAnnounce, reinterpret_cast<LPARAM>(Wnd),
                                   SMTO_ABORTIFHUNG | SMTO_NORMAL, 1000, &answer))
            break;
        if (answer == 1) break;
    }
}

// ---- property setters ----------------------------------------------------------------------------------------------------

void TsSkinProvider::SetAllowExtBorders(bool Value) {
    if (FAllowExtBorders == Value) return;
    FAllowExtBorders = Value;
    if (HasState(csLoading)) return;
    UpdateBorderForm(true);
    FCommonData->BGChanged = true;
    if (HWND wnd = FormWnd(Form)) ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TsSkinProvider::SetCaptionAlignment(TAlignment Value) {
    if (FCaptionAlignment == Value) return;
    FCaptionAlignment = Value;
    FCommonData->BGChanged = true;
    if (Form && Form->Showing() && Skinned()) RefreshFrame();
}

void TsSkinProvider::SetShowAppIcon(bool Value) {
    if (FShowAppIcon == Value) return;
    FShowAppIcon = Value;
    FCommonData->BGChanged = true;
    if (Form && Form->Visible())
        if (HWND wnd = FormWnd(Form)) ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
}

void TsSkinProvider::SetTitleButtons(TsTitleButtons* Value) { FTitleButtons->Assign(Value); }

void TsSkinProvider::SetUseGlobalColor(bool Value) {
    if (FUseGlobalColor == Value) return;
    FUseGlobalColor = Value;
    if (!Form) return;
    TsSkinManager* m = Manager();
    if (Skinned() && m && Value && !FCommonData->CustomColor())
        Form->SetColor(m->GetGlobalColor());
    else
        Form->SetColor(clBtnFace);
}

void TsSkinProvider::SetTitleSkin(const String& Value) {
    if (FTitleSkin == Value) return;
    FTitleSkin = Value;
    FTitleSkinIndex = -1;
    FCommonData->BGChanged = true;
    if (Form && Form->Visible())
        if (HWND wnd = FormWnd(Form)) ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
}

void TsSkinProvider::SetMenuLineSkin(const String& Value) { FMenuLineSkin = Value; }

void TsSkinProvider::SetDrawNonClientArea(bool Value) {
    if (FDrawNonClientArea == Value) return;
    FDrawNonClientArea = Value;
    HWND wnd = FormWnd(Form);
    // The system's frame keeps its own transitions; the skinned one has none.
    if (wnd && !RTEmpty) SetDwmTransitionsDisabled(wnd, Value && Skinned());
    // The menu line is part of the frame: skinned with it, the system's without.
    FLinesCount = -1;
    if (Value) {
        if (Skinned()) {
            InitMenuItems(true);
            UpdateMenu();
        }
    } else if (TsSkinManager* m = Manager(); m && m->SkinableMenus() && Form && Form->Menu()) {
        m->SkinableMenus()->InitMenuLine(Form->Menu(), false);
        UpdateMenu();
    }
    if (Value) {
        UpdateSysMenuStyle(true);
        if (Form && Form->Showing() && Skinned()) {
            FCommonData->BGChanged = true;
            if (TsSkinManager* m = Manager()) UpdateBorderForm(m->ExtendedBorders());
            if (wnd) ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
        }
    } else {
        UpdateBorderForm(false);
        if (wnd && HaveSysMenu) ::SetWindowLongW(wnd, GWL_STYLE, StyleOf(wnd) | WS_SYSMENU);
        if (wnd && Form->Showing()) ::SetWindowRgn(wnd, nullptr, TRUE);
        if (wnd) ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
    }
    // The scroll bars are drawn with the frame or by the system.
    if (Skinned()) UpdateScrollAdapter();
}

// ---- message handlers ---------------------------------------------------------------------------------------------------

void TsSkinProvider::PassOn(TMessage& Message) {
    if (OldWndProc)
        OldWndProc(Message);
    else if (Form)
        Form->WndProc(Message);
}

void TsSkinProvider::HandleGetMinMaxInfo(TMessage& Message) {
    if (FDrawNonClientArea && Form && Form->BorderStyle != TFormBorderStyle::bsNone && !IsMDIChild() &&
        !Form->Parent()) {
        auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
        if (info) {
            const Integer a = SysBorderWidth(FormWnd(Form), nullptr, false);
            Integer s = 0;
            if (BorderForm && (StyleOf(FormWnd(Form)) & WS_CAPTION) == WS_CAPTION) {
                if (const TsSkinData* d = SkinOptions(Manager()); d && IsZoomed()) {
                    const Integer ex = d->ExMaxHeight != 0 ? d->ExMaxHeight : d->ExTitleHeight;
                    FSysExHeight = ex < SysCaptionHeight(Form) + 4;
                }
                s = MaximizedButtonsShift();
            }
            const TRect work = GetFormWorkArea(Form);
            info->ptMaxPosition = POINT{-a, -a - s};
            info->ptMaxSize = POINT{2 * a + work.Width(), 2 * a + s + work.Height()};
            Message.Result = 0;
        }
    }
    // The form's own procedure runs afterwards in every case.
    PassOn(Message);
}

void TsSkinProvider::HandleNCMouseMove(TMessage& Message) {
    const Integer code = HitTest(Message);
    Message.Result = code;
    const bool button = code == HTCAPTIONBTN_MIN || code == HTCAPTIONBTN_MAX || code == HTCAPTIONBTN_CLOSE ||
                        code == HTCAPTIONBTN_HELP || (code >= HTCHILDCLOSE && code <= HTCHILDMIN) ||
                        (code >= HTUDBTN && code <= HTUDBTN + 100);
    if (button) {
        SetHotHT(code, true);
        return;
    }
    SetHotHT(0, true);
    PassOn(Message);
}

namespace {
// The innermost skinned scroll box with an automatic wheel under the screen
// point, searching down from Root through the windowed controls.
TsScrollBox* WheelScrollBoxAt(TWinControl* Root, POINT Screen) {
    TsScrollBox* found = nullptr;
    TWinControl* current = Root;
    while (current != nullptr && current->HandleAllocated()) {
        auto* child = dynamic_cast<TWinControl*>(current->ControlAtPos(current->ScreenToClient(Screen), false, true));
        if (child == nullptr || !child->Showing()) break;
        if (auto* box = dynamic_cast<TsScrollBox*>(child); box != nullptr && box->AutoMouseWheel()) found = box;
        current = child;
    }
    return found;
}
}  // namespace

void TsSkinProvider::HandleMouseWheel(TMessage& Message) {
    // The form answers first; a wheel nobody took goes to the scroll box under
    // the pointer that asks for the wheel wherever the focus is. A scroll box
    // passes the wheel to the active control first, which can bring it back
    // here: the guard ends that.
    static bool inside = false;
    PassOn(Message);
    if (inside || Message.Result != 0 || Form == nullptr) return;
    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return;
    TsScrollBox* box = WheelScrollBoxAt(Form, cursor);
    if (box == nullptr) return;
    inside = true;
    const bool handled = box->DoMouseWheel(KeysToShiftState(GET_KEYSTATE_WPARAM(Message.WParam)),
                                           GET_WHEEL_DELTA_WPARAM(Message.WParam), TPoint{cursor.x, cursor.y});
    inside = false;
    Message.Result = handled ? 1 : 0;
}

