// The skin provider on real forms with the flat test skin: taking over and
// giving back the form's window procedure, run-time duplicates, the skin
// commands it answers, the frame metrics against the real window, the
// non-client hit test, removing the skin and the skin editor link.
#include <gtest/gtest.h>


#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "Menus.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

LRESULT Command(TCustomForm* Form, Word Cmd, LPARAM LParam = 0) {
    return SendSkinCommand(Form->Handle(), Cmd, LParam);
}

// Records that a component was freed.
class FreeWatch : public TComponent {
public:
    explicit FreeWatch(TComponent* Watched) : TComponent(nullptr) { Watched->FreeNotification(this); }
    bool Freed = false;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == TOperation::opRemove) Freed = true;
    }
};

// A subclasser of a form's WindowProc that counts what passes and may run
// an action on one message.
struct Subclasser {
    TCustomForm* Form = nullptr;
    TWndMethod Saved;
    int Count = 0;
    UINT Trigger = 0;
    void (*Action)(Subclasser&) = nullptr;
    void* Data = nullptr;
    void Install(TCustomForm* f) {
        Form = f;
        Saved = f->WindowProc;
        f->WindowProc = TWndMethod::Of<&Subclasser::WndProc>(this);
    }
    void Remove() { Form->WindowProc = Saved; }
    TWndMethod Mine() { return TWndMethod::Of<&Subclasser::WndProc>(this); }
    void WndProc(TMessage& m) {
        ++Count;
        if (Trigger && m.Msg == Trigger && Action) {
            Action(*this);
            m.Result = 0x5A;
            return;
        }
        Saved(m);
    }
};

class SkinProvider : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 300, 200));
    }
    void TearDown() override {
        PreviewHandle = nullptr;
        PreviewMode = false;
        kestrune_test::TestSkinForm::TearDown();
    }
    TsSkinProvider* Attach() {
        auto* p = New<TsSkinProvider>(form);
        harness::PumpUntilIdle(20, 1000);
        return p;
    }
    // The hit test of the window point (X, Y) (window coordinates).
    Integer HitAt(TsSkinProvider* p, Integer X, Integer Y) {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        TMessage m{WM_NCHITTEST, 0, MAKELPARAM(r.left + X, r.top + Y), 0};
        return p->HitTest(m);
    }
    static TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
};

// ---- subclassing ----------------------------------------------------------------

TEST_F(SkinProvider, GivesBackTheIdenticalProcedureAndSparesALaterSubclasser) {
    const TWndMethod original = form->WindowProc;
    TsSkinProvider* p = Attach();
    EXPECT_FALSE(form->WindowProc == original);
    p->Free();
    EXPECT_TRUE(form->WindowProc == original);

    // Subclassed after the provider: the later procedure stays in place and
    // keeps working; the chain under it still reaches the form.
    p = Attach();
    Subclasser later;
    later.Install(form);
    p->Free();
    EXPECT_TRUE(form->WindowProc == later.Mine());
    EXPECT_EQ(Command(form, AC_GETPROVIDER), 0);
    const int before = later.Count;
    form->SetCaption(u"still alive");
    EXPECT_GT(later.Count, before);
    EXPECT_EQ(form->Caption(), u"still alive");
    later.Remove();
    form->SetCaption(u"back to the form");
    EXPECT_EQ(form->Caption(), u"back to the form");
}

TEST_F(SkinProvider, InertDuplicateTakesNothingAndGivesNothingBack) {
    TsSkinProvider* first = Attach();
    const TWndMethod firstProc = form->WindowProc;
    TsSkinProvider* second = New<TsSkinProvider>(form);
    EXPECT_TRUE(second->RTEmpty);
    EXPECT_TRUE(form->WindowProc == firstProc);
    second->Free();
    // The duplicate never subclassed: the first provider is still the form's.
    EXPECT_TRUE(form->WindowProc == firstProc);
    EXPECT_EQ(Command(form, AC_GETPROVIDER), reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(first)));
    EXPECT_EQ(Command(form, AC_CTRLHANDLED), 1);
    first->Free();
}

TEST_F(SkinProvider, RunTimeProviderReplacedIsInertAtOnceAndFreedLater) {
    const TWndMethod original = form->WindowProc;
    TsSkinProvider* rt = TsSkinProvider::CreateRT(form);
    ASSERT_TRUE(rt->RTInit);
    FreeWatch watch(rt);
    TsSkinProvider* p = New<TsSkinProvider>(form);
    EXPECT_FALSE(p->RTEmpty);
    EXPECT_FALSE(watch.Freed);   // not inside the constructor
    EXPECT_TRUE(rt->RTEmpty);
    EXPECT_EQ(Command(form, AC_GETPROVIDER), reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(p)));
    harness::PumpUntil([&] { return watch.Freed; }, 2000);
    EXPECT_TRUE(watch.Freed);
    p->Free();
    EXPECT_TRUE(form->WindowProc == original);
}

namespace {
// Replaces the run-time provider while that provider is passing a message on.
void ReplaceProvider(Subclasser& s) {
    auto** made = static_cast<TsSkinProvider**>(s.Data);
    *made = New<TsSkinProvider>(s.Form);
}
}  // namespace

TEST_F(SkinProvider, RunTimeProviderReplacedInsideItsOwnMessage) {
    Subclasser under;
    under.Install(form);
    TsSkinProvider* rt = TsSkinProvider::CreateRT(form);
    FreeWatch watch(rt);
    TsSkinProvider* made = nullptr;
    under.Trigger = WM_USER + 77;
    under.Action = &ReplaceProvider;
    under.Data = &made;
    // The message runs through the run-time provider into the subclasser,
    // which makes the new provider; the old one returns from its procedure
    // afterwards and must still be there.
    EXPECT_EQ(::SendMessageW(form->Handle(), WM_USER + 77, 0, 0), 0x5A);
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(watch.Freed);
    harness::PumpUntil([&] { return watch.Freed; }, 2000);
    EXPECT_TRUE(watch.Freed);
    EXPECT_EQ(Command(form, AC_GETPROVIDER), reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(made)));
    made->Free();
    EXPECT_TRUE(form->WindowProc == under.Mine());
    under.Remove();
}

TEST_F(SkinProvider, CreationErrors) {
    TComponent* module = New<TComponent>(nullptr);
    try {
        New<TsSkinProvider>(module);
        ADD_FAILURE() << "a provider was made for a component that is no form";
    } catch (const EAbort& e) {
        EXPECT_EQ(e.Message(), u"TsSkinProvider component may be used with forms only!");
    }
    EXPECT_EQ(module->ComponentCount(), 0);
    module->Free();

    // At design time a second provider on the form is refused.
    TForm* design = New<TForm>(Application);
    design->SetComponentState(csDesigning, true);
    TsSkinProvider* first = New<TsSkinProvider>(design);
    try {
        New<TsSkinProvider>(design);
        ADD_FAILURE() << "a second provider was placed";
    } catch (const EAbort& e) {
        EXPECT_EQ(e.Message(), u"Only one instance of the TsSkinProvider component is allowed!");
    }
    EXPECT_EQ(design->ComponentCount(), 1);
    first->Free();
    design->SetComponentState(csDesigning, false);
    design->Free();
}

// ---- skin commands ---------------------------------------------------------------

TEST_F(SkinProvider, AnswersTheProviderAndSkinnedQueries) {
    TsSkinProvider* p = Attach();
    EXPECT_EQ(Command(form, AC_GETPROVIDER), reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(p)));
    EXPECT_EQ(GetFormProvider(form), static_cast<TacFormProvider*>(p));
    EXPECT_EQ(FormSkinProvider(form), p);
    EXPECT_EQ(Command(form, AC_CTRLHANDLED), 1);
    EXPECT_EQ(Command(form, AC_GETAPPLICATION), reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)));
    EXPECT_EQ(Command(form, 61), MAKELONG(p->OffsetX(), p->OffsetY()));
    // Listed among the skinned forms while it lives.
    const auto& forms = SkinnedForms();
    EXPECT_NE(std::find(forms.begin(), forms.end(), form), forms.end());
    p->Free();
    EXPECT_EQ(std::find(SkinnedForms().begin(), SkinnedForms().end(), form), SkinnedForms().end());
}

TEST_F(SkinProvider, RemovingTheSkinGivesTheSystemLookBack) {
    TsSkinProvider* p = Attach();
    HWND wnd = form->Handle();
    ASSERT_TRUE(p->HaveSysMenu);
    EXPECT_EQ(::GetWindowLongW(wnd, GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_EQ(form->Color(), manager->GetGlobalColor());
    ::SetWindowRgn(wnd, ::CreateRectRgn(2, 0, 298, 200), TRUE);

    manager->SetActive(false);
    harness::PumpUntilIdle(20, 1000);
    EXPECT_NE(::GetWindowLongW(wnd, GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_FALSE(p->HaveSysMenu);
    HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(wnd, probe), ERROR);   // no region left
    ::DeleteObject(probe);
    EXPECT_EQ(form->Color(), clBtnFace);
    // Still subclassed: the provider stays with its form.
    EXPECT_EQ(Command(form, AC_GETPROVIDER), reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(p)));

    manager->SetActive(true);
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(::GetWindowLongW(wnd, GWL_STYLE) & WS_SYSMENU, 0);
    EXPECT_TRUE(p->HaveSysMenu);
    p->Free();
}

TEST_F(SkinProvider, DrawNonClientAreaOffLeavesTheSystemFrame) {
    TsSkinProvider* p = Attach();
    HWND wnd = form->Handle();
    ::SetWindowRgn(wnd, ::CreateRectRgn(2, 0, 298, 200), TRUE);
    p->SetDrawNonClientArea(false);
    EXPECT_NE(::GetWindowLongW(wnd, GWL_STYLE) & WS_SYSMENU, 0);
    HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(wnd, probe), ERROR);
    ::DeleteObject(probe);
    p->SetDrawNonClientArea(true);
    EXPECT_EQ(::GetWindowLongW(wnd, GWL_STYLE) & WS_SYSMENU, 0);
    p->Free();
}

// ---- metrics -----------------------------------------------------------------------

TEST_F(SkinProvider, MetricsOfEveryBorderStyleMatchTheWindow) {
    const int cap = ::GetSystemMetrics(SM_CYCAPTION), small = ::GetSystemMetrics(SM_CYSMCAPTION);
    const int frame = ::GetSystemMetrics(SM_CXFRAME), dlg = ::GetSystemMetrics(SM_CXDLGFRAME);
    struct Case {
        TFormBorderStyle Style;
        int Caption, Border;
        bool Icon;   // with ShowAppIcon
    };
    const Case cases[] = {
        {TFormBorderStyle::bsNone, 0, 0, false},
        {TFormBorderStyle::bsSingle, cap, dlg, true},
        {TFormBorderStyle::bsSizeable, cap, frame, true},
        {TFormBorderStyle::bsDialog, cap, dlg, false},
        {TFormBorderStyle::bsToolWindow, small, dlg, false},
        {TFormBorderStyle::bsSizeToolWin, small, frame, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Style));
        TForm* f = New<TForm>(Application);
        f->BorderStyle = c.Style;
        f->SetBounds(30, 30, 240, 160);
        f->Show();
        harness::PumpUntilIdle(10, 500);
        auto* p = New<TsSkinProvider>(f);
        HWND wnd = f->Handle();
        EXPECT_EQ(p->CaptionHeight(true), c.Caption);
        EXPECT_EQ(p->BorderWidth(true), c.Border);
        EXPECT_EQ(p->IconVisible(), c.Icon);
        // The client area lies where the offsets say.
        RECT wr{};
        ::GetWindowRect(wnd, &wr);
        POINT origin{0, 0};
        ::ClientToScreen(wnd, &origin);
        EXPECT_EQ(p->OffsetX(), origin.x - wr.left);
        if (c.Caption != 0) {
            EXPECT_EQ(p->OffsetY(), origin.y - wr.top);
            EXPECT_EQ(p->HeaderHeight(), origin.y - wr.top);   // the top frame and the title
        }
        EXPECT_EQ(p->CaptionWidth(), wr.right - wr.left);
        EXPECT_EQ(p->MenuHeight(), 0);
        EXPECT_EQ(p->GetLinesCount(), 0);
        const TRect icon = p->TitleIconRect();
        if (c.Icon) {
            const int side = c.Caption <= 16 ? 8 : 16;
            EXPECT_EQ(icon.Width(), side);
            EXPECT_EQ(icon.Height(), side);
        } else {
            EXPECT_TRUE(icon.IsEmpty());
        }
        p->SetShowAppIcon(false);
        EXPECT_FALSE(p->IconVisible());
        p->Free();
        f->Free();
    }
}

TEST_F(SkinProvider, ButtonsWithoutImagesAre21Square) {
    // The skin again, without any caption-button image.
    manager->Free();
    manager = nullptr;
    const fs::path options = root / "Test" / "Options.dat";
    std::string text;
    {
        std::ifstream in(options, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string kept;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start + 1);
        if (line.rfind("BICON", 0) != 0 && line.rfind("SICON", 0) != 0 && line.rfind("BICLOSE", 0) != 0) kept += line;
        start = end + 1;
    }
    std::ofstream(options, std::ios::binary | std::ios::trunc) << kept;
    manager = kestrune_test::NewTestSkinManager(root);
    ASSERT_TRUE(manager->SkinData()->Active);
    TsSkinProvider* p = Attach();
    EXPECT_EQ(p->ButtonClose.ImageIndex, -1);
    const TacCaptionModel m = p->CaptionModel();
    EXPECT_EQ(m.ButtonHeight, 21);
    EXPECT_EQ(m.CloseWidth, 21);
    EXPECT_EQ(m.MaxWidth, 21);
    EXPECT_EQ(m.MinWidth, 21);
    p->Free();
}

TEST_F(SkinProvider, MaximizedFormFillsTheWorkAreaWithItsFrameOutside) {
    TsSkinProvider* p = Attach();
    const TRect work = GetFormWorkArea(form);
    const int a = ::GetSystemMetrics(SM_CXFRAME);
    MINMAXINFO info{};
    ::SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMaxPosition.x, -a);
    EXPECT_EQ(info.ptMaxPosition.y, -a);
    EXPECT_EQ(info.ptMaxSize.x, work.Width() + 2 * a);
    EXPECT_EQ(info.ptMaxSize.y, work.Height() + 2 * a);
    p->Free();
}

TEST_F(SkinProvider, SnapCoordinateWithinTheBuffer) {
    struct Case {
        Integer Coord, Edge, Buffer, Offset, Expected;
    };
    const Case cases[] = {
        {105, 100, 10, 0, 100},   // 5 away: snapped
        {95, 100, 10, 0, 100},
        {110, 100, 10, 0, 110},   // 10 away: not less than the buffer
        {80, 100, 10, 15, 85},    // the edge of coord + offset snaps
        {-3, 0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        Integer v = c.Coord;
        SnapCoordinate(v, c.Edge, c.Buffer, c.Offset);
        EXPECT_EQ(v, c.Expected) << c.Coord << " to " << c.Edge;
    }
}

TEST_F(SkinProvider, RepeatedAttachAndSkinChangesKeepObjectCountsFlat) {
    auto counts = [] {
        HANDLE process = ::GetCurrentProcess();
        return std::pair<DWORD, DWORD>(::GetGuiResources(process, GR_GDIOBJECTS),
                                       ::GetGuiResources(process, GR_USEROBJECTS));
    };
    // Warm up once (the unit's helper window, cached images).
    TsSkinProvider* p = Attach();
    p->Free();
    const auto before = counts();
    for (int i = 0; i < 30; ++i) {
        p = New<TsSkinProvider>(form);
        manager->SetActive(false);
        manager->SetActive(true);
        p->Free();
    }
    harness::PumpUntilIdle(20, 1000);
    const auto after = counts();
    EXPECT_LE(after.first, before.first + 2);
    EXPECT_LE(after.second, before.second + 2);
}

TEST_F(SkinProvider, SystemMenuRulesOverTheBorderStyles) {
    using B = TFormBorderStyle;
    // Visible max, min, restore, size; enabled max, min, size, restore, move.
    struct Case {
        B Style;
        bool Maximized;
        bool VMax, VMin, VRestore, VSize, EMax, EMin, ESize, ERestore, EMove;
    };
    const Case cases[] = {
        {B::bsNone, false, false, false, false, false, false, true, true, false, true},
        {B::bsSingle, false, true, true, true, true, true, true, false, false, true},
        {B::bsSizeable, false, true, true, true, true, true, true, true, false, true},
        {B::bsSizeable, true, true, true, true, true, false, true, true, true, false},
        {B::bsDialog, false, false, false, false, false, false, true, true, false, true},
        {B::bsToolWindow, false, false, false, false, false, false, true, true, false, true},
        {B::bsSizeToolWin, false, false, false, false, true, false, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.Style) << (c.Maximized ? " maximized" : ""));
        TForm* f = New<TForm>(Application);
        f->BorderStyle = c.Style;
        f->SetBounds(30, 30, 240, 160);
        f->Show();
        if (c.Maximized) ::ShowWindow(f->Handle(), SW_MAXIMIZE);
        harness::PumpUntilIdle(10, 500);
        auto* p = New<TsSkinProvider>(f);
        ASSERT_NE(p->SystemMenu, nullptr);
        TsSystemMenu& m = *p->SystemMenu;
        EXPECT_EQ(m.VisibleMax(), c.VMax);
        EXPECT_EQ(m.VisibleMin(), c.VMin);
        EXPECT_EQ(m.VisibleRestore(), c.VRestore);
        EXPECT_EQ(m.VisibleSize(), c.VSize);
        EXPECT_EQ(m.EnabledMax(), c.EMax);
        EXPECT_EQ(m.EnabledMin(), c.EMin);
        EXPECT_EQ(m.EnabledSize(), c.ESize);
        EXPECT_EQ(m.EnabledRestore(), c.ERestore);
        EXPECT_EQ(m.EnabledMove(), c.EMove);
        EXPECT_EQ(m.VisibleClose(), c.Style != B::bsNone);
        // The menu's items follow the same rules.
        m.UpdateItems();
        ASSERT_NE(m.ItemClose, nullptr);
        EXPECT_EQ(m.ItemMaximize->Visible(), c.VMax);
        EXPECT_EQ(m.ItemMinimize->Visible(), c.VMin);
        EXPECT_EQ(m.ItemRestore->Visible(), c.VRestore);
        EXPECT_EQ(m.ItemSize->Visible(), c.VSize);
        EXPECT_EQ(m.ItemMaximize->Enabled(), c.EMax);
        EXPECT_EQ(m.ItemMinimize->Enabled(), c.EMin);
        EXPECT_EQ(m.ItemSize->Enabled(), c.ESize);
        EXPECT_EQ(m.ItemRestore->Enabled(), c.ERestore);
        EXPECT_EQ(m.ItemMove->Enabled(), c.EMove);
        EXPECT_EQ(m.ItemClose->Visible(), c.Style != B::bsNone);
        // The caption buttons follow the rules.
        EXPECT_EQ(p->SysButtonCount(), c.Style == B::bsNone ? 0 : 1 + c.VMax + c.VMin);
        p->Free();
        f->Free();
    }
}

// ---- hit test ------------------------------------------------------------------------

TEST_F(SkinProvider, HitTestOfEveryPartOfASizeableFrame) {
    HWND wnd = form->Handle();
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
    TsSkinProvider* p = Attach();
    TsTitleButton* user = p->TitleButtons()->Add();
    TsTitleButton* hidden = p->TitleButtons()->Add();
    hidden->SetVisible(false);
    TsTitleButton* disabled = p->TitleButtons()->Add();
    disabled->SetEnabled(false);
    p->LayoutCaptionButtons();
    ASSERT_FALSE(p->ButtonClose.Rect.IsEmpty());
    ASSERT_FALSE(p->ButtonHelp.Rect.IsEmpty());

    const int w = 300, h = 200;
    const int frame = ::GetSystemMetrics(SM_CXFRAME), cap = ::GetSystemMetrics(SM_CYCAPTION);
    const TPoint icon = Centre(p->TitleIconRect());
    struct Case {
        const char* Name;
        TPoint P;
        Integer Code;
    };
    const Case cases[] = {
        {"close", Centre(p->ButtonClose.Rect), HTCLOSE},
        {"maximize", Centre(p->ButtonMax.Rect), HTMAXBUTTON},
        {"minimize", Centre(p->ButtonMin.Rect), HTMINBUTTON},
        {"help", Centre(p->ButtonHelp.Rect), HTHELP},
        {"user button", Centre(user->BtnData.Rect), 1000},
        {"disabled user button", Centre(disabled->BtnData.Rect), HTCAPTION},
        {"left edge", TPoint(1, h / 2), HTLEFT},
        {"right edge", TPoint(w - 1, h / 2), HTRIGHT},
        {"top edge", TPoint(w / 2, 0), HTTOP},
        {"bottom edge", TPoint(w / 2, h - 1), HTBOTTOM},
        {"top-left corner", TPoint(0, 0), HTTOPLEFT},
        {"bottom-right corner", TPoint(w - 1, h - 1), HTBOTTOMRIGHT},
        {"title", TPoint(60, frame + cap / 2), HTCAPTION},
        {"icon", icon, HTSYSMENU},
        {"client", TPoint(w / 2, h / 2), HTCLIENT},
    };
    for (const Case& c : cases) EXPECT_EQ(HitAt(p, c.P.X, c.P.Y), c.Code) << c.Name;
    // The form's own WM_NCHITTEST goes the same way.
    RECT r{};
    ::GetWindowRect(wnd, &r);
    const TPoint close = Centre(p->ButtonClose.Rect);
    EXPECT_EQ(::SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + close.X, r.top + close.Y)), HTCLOSE);

    // Maximized: no sizing zones, the buttons are still found.
    ::ShowWindow(wnd, SW_MAXIMIZE);
    harness::PumpUntilIdle(20, 1000);
    ASSERT_TRUE(::IsZoomed(wnd));
    p->LayoutCaptionButtons();
    ::GetWindowRect(wnd, &r);
    const int mw = r.right - r.left, mh = r.bottom - r.top;
    for (TPoint q : {TPoint(1, mh / 2), TPoint(mw - 1, mh - 1), TPoint(0, 0), TPoint(mw / 2, mh - 1)}) {
        const Integer code = HitAt(p, q.X, q.Y);
        EXPECT_TRUE(code < HTLEFT || code > HTBOTTOMRIGHT) << q.X << ", " << q.Y << ": " << code;
    }
    // Maximize shows restore, still hit as 9.
    EXPECT_EQ(HitAt(p, Centre(p->ButtonMax.Rect).X, Centre(p->ButtonMax.Rect).Y), HTMAXBUTTON);
    ::ShowWindow(wnd, SW_RESTORE);
    p->Free();
}

// Preparing the form copies whether its main menu draws itself; an
// owner-drawn menu counts as initialised (nothing to convert).
TEST_F(SkinProvider, PreparingTheFormTakesTheMainMenusOwnerDraw) {
    auto* menu = New<TMainMenu>(form);
    auto* file = New<TMenuItem>(menu);
    file->SetCaption(u"&File");
    menu->Items()->Add(file);
    form->SetMenu(menu);
    TsSkinProvider* p = Attach();
    for (bool ownerDraw : {true, false, true}) {
        SCOPED_TRACE(ownerDraw ? "owner-drawn" : "drawn by the system");
        menu->SetOwnerDraw(ownerDraw);
        p->MenusInitialized = false;
        p->PrepareForm();
        EXPECT_EQ(p->FMenuOwnerDraw, ownerDraw);
        if (ownerDraw) {
            EXPECT_TRUE(p->MenusInitialized);
        }
    }
    p->Free();
    form->SetMenu(nullptr);
    menu->Free();
}

// The menu line belongs to the frame: switching the frame painting off hands
// the line back to the system, switching it on skins it again.
TEST_F(SkinProvider, DrawingTheFrameSkinsAndUnskinsTheMenuLine) {
    auto* menu = New<TMainMenu>(form);
    auto* file = New<TMenuItem>(menu);
    file->SetCaption(u"&File");
    menu->Items()->Add(file);
    form->SetMenu(menu);
    TsSkinProvider* p = Attach();
    TsSkinableMenus* menus = manager->SkinableMenus();
    ASSERT_NE(menus, nullptr);
    const auto lineHandler = TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(menus);
    ASSERT_TRUE(file->OnAdvancedDrawItem == lineHandler) << "the line was not skinned to begin with";
    ASSERT_TRUE(menu->OwnerDraw());
    p->SetDrawNonClientArea(false);
    EXPECT_FALSE(file->OnAdvancedDrawItem == lineHandler);
    EXPECT_FALSE(menu->OwnerDraw());
    p->SetDrawNonClientArea(true);
    EXPECT_TRUE(file->OnAdvancedDrawItem == lineHandler);
    EXPECT_TRUE(menu->OwnerDraw());
    p->Free();
    form->SetMenu(nullptr);
    menu->Free();
}

// The form's WM_NCHITTEST: the system answers the edges and top corners
// itself (the message goes on); the bottom corners are the frame's own answer.
TEST_F(SkinProvider, HitTestMessageLeavesOnlyTheEdgesAndTopCornersToTheSystem) {
    HWND wnd = form->Handle();
    Subclasser below;
    below.Install(form);
    TsSkinProvider* p = Attach();
    RECT r{};
    ::GetWindowRect(wnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    struct Case {
        const char* Name;
        POINT P;
        Integer Code;
        bool PassedOn;
    };
    const Case cases[] = {
        {"left edge", {1, h / 2}, HTLEFT, true},
        {"top-right corner", {w - 1, 0}, HTTOPRIGHT, true},
        {"bottom edge", {w / 2, h - 1}, HTBOTTOM, true},
        {"bottom-left corner", {0, h - 1}, HTBOTTOMLEFT, false},
        {"bottom-right corner", {w - 1, h - 1}, HTBOTTOMRIGHT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(HitAt(p, c.P.x, c.P.y), c.Code);
        const int before = below.Count;
        const LRESULT answer = ::SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + c.P.x, r.top + c.P.y));
        EXPECT_EQ(below.Count > before, c.PassedOn);
        if (!c.PassedOn) {
            EXPECT_EQ(answer, c.Code);
        }
    }
    p->Free();
    below.Remove();
}

TEST_F(SkinProvider, GripAndDisabledButtonsInTheHitTest) {
    HWND wnd = form->Handle();
    // Without maximize: maximize is not shown and the second button is minimize.
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    TsSkinProvider* p = Attach();
    p->LayoutCaptionButtons();
    EXPECT_TRUE(p->ButtonMax.Rect.IsEmpty());
    EXPECT_EQ(HitAt(p, Centre(p->ButtonMin.Rect).X, Centre(p->ButtonMin.Rect).Y), HTMINBUTTON);
    // Without minimize either: only close remains.
    p->Free();
    form->SetBorderIcons(TBorderIcons{biSystemMenu});
    p = Attach();
    p->LayoutCaptionButtons();
    EXPECT_TRUE(p->ButtonMin.Rect.IsEmpty());
    EXPECT_EQ(HitAt(p, Centre(p->ButtonClose.Rect).X, Centre(p->ButtonClose.Rect).Y), HTCLOSE);

    // The size grip answers bottom-right inside the client area.
    p->SetGripMode(gmRightBottom);
    RECT r{};
    ::GetWindowRect(wnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int frame = ::GetSystemMetrics(SM_CXFRAME);
    EXPECT_EQ(HitAt(p, w - frame - 2, h - frame - 2), HTBOTTOMRIGHT);
    EXPECT_EQ(HitAt(p, w / 2, h / 2), HTCLIENT);
    p->SetGripMode(gmNone);
    EXPECT_EQ(HitAt(p, w - frame - 2, h - frame - 2), HTCLIENT);
    p->Free();
}

// ---- skin editor link ----------------------------------------------------------------------

std::vector<String> gArgs;
std::vector<String> TestArgs() { return gArgs; }

TEST_F(SkinProvider, PreviewModeOnlyForTheExactFirstArgument) {
    auto* saved = acCommandLineArgs;
    acCommandLineArgs = &TestArgs;
    const std::pair<std::vector<String>, bool> cases[] = {
        {{u"/acpreview"}, true},
        {{u"/ACPREVIEW"}, false},
        {{u"x", u"/acpreview"}, false},
        {{}, false},
    };
    for (const auto& [args, preview] : cases) {
        gArgs = args;
        TsSkinProvider* p = New<TsSkinProvider>(form);
        EXPECT_EQ(PreviewMode, preview) << (args.empty() ? "none" : "first argument");
        p->Free();
    }
    acCommandLineArgs = saved;
}

struct EditorLog {
    int Announced = 0;
    HWND Last = nullptr;
    LRESULT Answer = 1;
    int SleepMs = 0;
};
EditorLog* gEditor = nullptr;

LRESULT CALLBACK EditorProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == acEditorMessage && wParam == acEditorAnnounce && gEditor) {
        ++gEditor->Announced;
        gEditor->Last = reinterpret_cast<HWND>(lParam);
        if (gEditor->SleepMs) ::Sleep(static_cast<DWORD>(gEditor->SleepMs));
        return gEditor->Answer;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

HWND MakeEditorWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &EditorProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KesTestSkinEditor";
        registered = ::RegisterClassW(&wc) != 0;
    }
    return ::CreateWindowExW(0, L"KesTestSkinEditor", acEditorWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

TEST_F(SkinProvider, EditorLinkAnnouncesTheFormAndClosesOnlyThePreview) {
    EditorLog log;
    gEditor = &log;
    HWND editor = MakeEditorWindow();
    ASSERT_NE(editor, nullptr);
    TsSkinProvider* p = Attach();
    manager->AllowEditorLink = false;

    PreviewMode = false;
    p->LinkToSkinEditor(form->Handle());
    EXPECT_EQ(log.Announced, 0);   // not started with "/acpreview"

    PreviewMode = true;
    PreviewHandle = nullptr;
    p->LinkToSkinEditor(form->Handle());
    EXPECT_EQ(log.Announced, 1);
    EXPECT_EQ(log.Last, form->Handle());
    EXPECT_EQ(PreviewHandle, form->Handle());
    EXPECT_FALSE(PreviewMode);
    EXPECT_TRUE(manager->AllowEditorLink);

    // Another skinned form is not closed by the editor's message.
    TForm* other = New<TForm>(Application);
    other->SetBounds(60, 60, 200, 150);
    other->Show();
    auto* otherProvider = New<TsSkinProvider>(other);
    harness::PumpUntilIdle(20, 1000);
    ::SendMessageW(other->Handle(), acEditorMessage, acEditorClosePreview, 0);
    harness::PumpUntilIdle(20, 500);
    EXPECT_TRUE(::IsWindowVisible(other->Handle()));
    ::SendMessageW(form->Handle(), acEditorMessage, acEditorClosePreview, 0);
    harness::PumpUntilIdle(20, 500);
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
    EXPECT_EQ(::SendMessageW(form->Handle(), acEditorMessage, 4, 0), 1);

    otherProvider->Free();
    other->Free();
    p->Free();
    ::DestroyWindow(editor);
    gEditor = nullptr;
    manager->AllowEditorLink = false;
}

TEST_F(SkinProvider, EditorLinkGivesUpOnAnEditorThatDoesNotAnswer) {
    EditorLog log;
    log.Answer = 0;
    gEditor = &log;
    // An editor that never says yes gets the 101 tries and no more.
    HWND editor = MakeEditorWindow();
    TsSkinProvider* p = Attach();
    PreviewMode = true;
    PreviewHandle = nullptr;
    p->LinkToSkinEditor(form->Handle());
    EXPECT_EQ(log.Announced, 101);
    ::DestroyWindow(editor);

    // An editor stuck in its own thread does not hold the program.
    log = EditorLog{};
    log.SleepMs = 4000;
    HWND stuck = nullptr;
    std::atomic<bool> quit{false};
    std::thread t([&] {
        stuck = MakeEditorWindow();
        MSG msg;
        while (!quit && ::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        ::DestroyWindow(stuck);
    });
    harness::PumpUntil([&] { return stuck != nullptr; }, 2000);
    PreviewMode = true;
    PreviewHandle = nullptr;
    const auto start = std::chrono::steady_clock::now();
    p->LinkToSkinEditor(form->Handle());
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_LT(spent, std::chrono::milliseconds(3000));
    quit = true;
    ::PostMessageW(stuck, WM_NULL, 0, 0);
    t.join();
    p->Free();
    gEditor = nullptr;
}

}  // namespace
