// The senders and helpers around the skin command message: who gets a
// command, the background questions with their fallbacks, painting graphic
// children into a DC, the small arrow, the start-ups and the window helpers.
// The skinned controls here are small stand-ins that answer the commands the
// helpers ask.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ComCtrls.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kFuchsia = RGB(255, 0, 255);

// A windowed control that records the skin commands reaching it. Skinned, it
// answers 7 with 1, 21 with BgColor and 34 with BgColor (BgType 1) or with
// BgImage at BgOffset (BgType 2). Unskinned, it leaves the message to the
// default handling and paints itself with its Color.
class TSkinProbe : public TCustomControl {
public:
    KES_CLASS_NAME(TSkinProbe)
    explicit TSkinProbe(TComponent* owner, bool skinned = true) : TCustomControl(owner), Skinned(skinned) {}
    bool Skinned;
    TColor BgColor = static_cast<TColor>(kGreen);
    TBitmap* BgImage = nullptr;
    TPoint BgOffset{0, 0};
    std::vector<Word> Commands;

    int Count(Word command) const {
        int n = 0;
        for (Word c : Commands) n += c == command;
        return n;
    }

    void WndProc(TMessage& Message) override {
        if (Message.Msg == SkinCommandMessage) {
            const Word command = SkinCommandOf(Message.WParam);
            Commands.push_back(command);
            if (Skinned) {
                Message.Result = 0;
                if (command == AC_CTRLHANDLED) Message.Result = 1;
                if (command == AC_GETCONTROLCOLOR) Message.Result = static_cast<LRESULT>(BgColor);
                if (command == AC_GETBG) {
                    auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam);
                    if (BgImage) {
                        info->BgType = btCache;
                        info->Bmp = BgImage;
                        info->Offset = BgOffset;
                    } else {
                        info->BgType = btFill;
                        info->Color = BgColor;
                    }
                    Message.Result = 1;
                }
                return;
            }
        }
        TCustomControl::WndProc(Message);
    }

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(TRect(0, 0, Width(), Height()));
    }
};

// A graphic child that paints its top-left quarter with Fill (all of it when
// Whole), throws instead when Throws, and can run a nested call while it
// paints.
class TPaintProbe : public TGraphicControl {
public:
    KES_CLASS_NAME(TPaintProbe)
    TPaintProbe(TComponent* owner, COLORREF fill) : TGraphicControl(owner), Fill(fill) {}
    COLORREF Fill;
    bool Whole = false;
    bool Throws = false;
    int Paints = 0;
    bool CopySeen = false;
    std::vector<Word> Commands;
    void (*WhilePainting)(TPaintProbe* self) = nullptr;

    void WndProc(TMessage& Message) override {
        if (Message.Msg == SkinCommandMessage) Commands.push_back(SkinCommandOf(Message.WParam));
        TGraphicControl::WndProc(Message);
    }

protected:
    void Paint() override {
        ++Paints;
        CopySeen = (ControlState() & csPaintCopy) != 0;
        if (Throws) throw std::runtime_error("no paint");
        if (WhilePainting) WhilePainting(this);
        Canvas()->Brush()->SetColor(static_cast<TColor>(Fill));
        Canvas()->FillRect(Whole ? TRect(0, 0, Width(), Height()) : TRect(0, 0, Width() / 2, Height() / 2));
    }
};

// A plain form holding the controls of a test, shown so that windows exist.
struct ShownForm {
    TForm* Form;
    ShownForm() : Form(New<TForm>(Application)) {
        Form->SetBounds(0, 0, 300, 240);
        Form->Show();
        harness::PumpUntilIdle(20, 2000);
    }
    ~ShownForm() { Form->Free(); }
    ShownForm(const ShownForm&) = delete;
    ShownForm& operator=(const ShownForm&) = delete;
    template <class T, class... Args>
    T* Add(TWinControl* parent, TRect bounds, Args&&... args) {
        T* c = New<T>(Form, std::forward<Args>(args)...);
        c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        c->SetParent(parent ? parent : Form);
        return c;
    }
};

// A 32-bit memory DC of a given size filled with one colour.
class MemoryDC {
public:
    MemoryDC(int w, int h, COLORREF fill) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        FDC = ::CreateCompatibleDC(nullptr);
        FBmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        FOld = ::SelectObject(FDC, FBmp);
        const RECT r{0, 0, w, h};
        const HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(FDC, &r, brush);
        ::DeleteObject(brush);
    }
    ~MemoryDC() {
        ::SelectObject(FDC, FOld);
        ::DeleteObject(FBmp);
        ::DeleteDC(FDC);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC DC() const { return FDC; }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(FDC, x, y); }

private:
    HDC FDC = nullptr;
    HBITMAP FBmp = nullptr;
    HGDIOBJ FOld = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Senders and colours

TEST(VclUtils, CommandsReachOnlyControlsThatHaveWindows) {
    ShownForm f;
    auto* windowless = New<TSkinProbe>(f.Form);   // no parent: never gets a window
    EXPECT_EQ(SendSkinCommandToControl(windowless, AC_CTRLHANDLED, 0), 0);
    EXPECT_EQ(SendSkinCommandNoParam(windowless, AC_CTRLHANDLED), 0);
    EXPECT_TRUE(windowless->Commands.empty());
    EXPECT_FALSE(windowless->HandleAllocated());

    auto* windowed = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 20, 20));
    windowed->HandleNeeded();
    EXPECT_EQ(SendSkinCommandNoParam(windowed, AC_CTRLHANDLED), 1);
    auto* graphic = f.Add<TPaintProbe>(nullptr, TRect(0, 0, 20, 20), kRed);
    SendSkinCommandNoParam(graphic, AC_REFRESH);   // by Perform
    EXPECT_EQ(graphic->Commands, std::vector<Word>{AC_REFRESH});
}

TEST(VclUtils, BackgroundColourOfWindowsAndControls) {
    ShownForm f;
    EXPECT_EQ(GetWindowBgColor(nullptr), kNoColor);
    EXPECT_EQ(GetControlBgColor(nullptr), kNoColor);
    // A window that does not know the message has the button face under it.
    harness::TestWindow plain(50, 50, kBlue);
    EXPECT_EQ(static_cast<COLORREF>(GetWindowBgColor(plain.Handle())), ::GetSysColor(COLOR_BTNFACE));

    auto* skinned = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 20, 20));
    skinned->HandleNeeded();
    skinned->BgColor = static_cast<TColor>(kRed);
    EXPECT_EQ(static_cast<COLORREF>(GetWindowBgColor(skinned->Handle())), kRed);
    EXPECT_EQ(static_cast<COLORREF>(GetControlBgColor(skinned)), kRed);
    auto* unskinned = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 20, 20), false);
    unskinned->HandleNeeded();
    unskinned->SetColor(static_cast<TColor>(kBlue));
    EXPECT_EQ(static_cast<COLORREF>(GetControlBgColor(unskinned)), kBlue);
}

TEST(VclUtils, MessagesPassDownTheControlTreeUntilAChildIsBeingDestroyed) {
    ShownForm f;
    auto* a = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 20, 20));
    auto* b = f.Add<TSkinProbe>(nullptr, TRect(20, 0, 40, 20));
    auto* c = f.Add<TSkinProbe>(nullptr, TRect(40, 0, 60, 20));
    harness::PumpUntilIdle(10, 1000);
    ASSERT_TRUE(a->HandleAllocated() && c->HandleAllocated());
    TMessage m;
    m.Msg = SkinCommandMessage;
    m.WParam = MakeSkinWParam(AC_REFRESH);
    b->SetComponentState(csDestroying, true);
    PassMessageToChildControls(f.Form, m);
    b->SetComponentState(csDestroying, false);
    EXPECT_EQ(a->Count(AC_REFRESH), 1);
    EXPECT_TRUE(b->Commands.empty());
    EXPECT_TRUE(c->Commands.empty());

    // An unskinned windowed child is asked, then passed through to its own
    // children; a windowless child gets the message by Perform.
    a->Free();
    b->Free();
    c->Free();
    auto* plain = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 100, 100), false);
    auto* inner = f.Add<TSkinProbe>(plain, TRect(0, 0, 20, 20));
    auto* graphic = f.Add<TPaintProbe>(plain, TRect(30, 0, 10, 10), kRed);
    harness::PumpUntilIdle(10, 1000);
    ASSERT_TRUE(inner->HandleAllocated());
    PassMessageToChildControls(f.Form, m);
    EXPECT_EQ(plain->Commands, std::vector<Word>{AC_CTRLHANDLED});
    EXPECT_EQ(inner->Count(AC_REFRESH), 1);
    EXPECT_EQ(graphic->Commands, std::vector<Word>{AC_REFRESH});
}

TEST(VclUtils, ChildRefreshSkipsGraphicChildrenAndWaitsForTheAnimationSwitch) {
    ShownForm f;
    auto* windowed = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 20, 20));
    auto* graphic = f.Add<TPaintProbe>(nullptr, TRect(30, 0, 10, 10), kRed);
    harness::PumpUntilIdle(10, 1000);
    acAnimationSwitch = true;
    RefreshChildControls(f.Form);
    acAnimationSwitch = false;
    EXPECT_EQ(windowed->Count(AC_ENDPARENTUPDATE), 0);
    RefreshChildControls(f.Form);
    EXPECT_EQ(windowed->Count(AC_ENDPARENTUPDATE), 1);
    EXPECT_TRUE(graphic->Commands.empty());
}

namespace {

std::vector<std::pair<HWND, UINT>> gWindowLog;

LRESULT CALLBACK LoggingProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == SkinCommandMessage || msg == WM_APP + 7) gWindowLog.emplace_back(wnd, msg);
    return ::DefWindowProcW(wnd, msg, w, l);
}

HWND MakeLoggingWindow(HWND parent, DWORD style) {
    static const wchar_t* const kClass = L"KesVclUtilsLogging";
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = LoggingProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        return ::RegisterClassW(&wc);
    }();
    (void)atom;
    return ::CreateWindowExW(0, kClass, L"", style, 0, 0, 20, 20, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(VclUtils, WindowMessagesGoToDirectChildrenOnly) {
    const HWND top = MakeLoggingWindow(nullptr, WS_OVERLAPPED);
    const HWND child = MakeLoggingWindow(top, WS_CHILD);
    const HWND grandchild = MakeLoggingWindow(child, WS_CHILD);
    // An owned popup is not a child window.
    const HWND popup = MakeLoggingWindow(top, WS_POPUP);
    gWindowLog.clear();
    TMessage m;
    m.Msg = WM_APP + 7;
    PassMessageToChildWindows(top, m);
    RefreshChildWindows(top);
    const std::vector<std::pair<HWND, UINT>> expected{{child, WM_APP + 7}, {child, SkinCommandMessage}};
    EXPECT_EQ(gWindowLog, expected);
    EXPECT_EQ(GetTopParentWindow(grandchild), top);
    EXPECT_EQ(GetTopParentWindow(top), top);
    EXPECT_EQ(GetTopParentWindow(nullptr), nullptr);
    ::DestroyWindow(popup);
    ::DestroyWindow(top);
}

namespace {

class TNoticeForm : public TForm {
public:
    KES_CLASS_NAME(TNoticeForm)
    using TForm::TForm;
    std::vector<LPARAM> Loaded;
    void WndProc(TMessage& Message) override {
        if (Message.Msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == AC_CONTROLLOADED)
            Loaded.push_back(Message.LParam);
        TForm::WndProc(Message);
    }
};

class TProbeProvider : public TComponent, public TacFormProvider {
public:
    KES_CLASS_NAME(TProbeProvider)
    using TComponent::TComponent;
    bool Ending = false;
    std::vector<UINT> Got;
    void DsgnWndProc(TMessage& Message) override { Got.push_back(Message.Msg); }
    bool ProviderDestroying() const override { return Ending; }
};

}  // namespace

TEST(VclUtils, ParentFormAndDesignProviderNotices) {
    auto* form = New<TNoticeForm>(Application);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    auto* panel = New<TSkinProbe>(form, false);
    panel->SetParent(form);
    auto* child = New<TPaintProbe>(form, kRed);
    child->SetParent(panel);
    NotifyParentForm(child);
    child->SetComponentState(csLoading, true);
    NotifyParentForm(child);   // loading: no notice
    child->SetComponentState(csLoading, false);
    EXPECT_EQ(form->Loaded, std::vector<LPARAM>{reinterpret_cast<LPARAM>(child)});

    // The first provider that is not ending gets the message.
    auto* ending = New<TProbeProvider>(form);
    ending->Ending = true;
    auto* live = New<TProbeProvider>(form);
    auto* later = New<TProbeProvider>(form);
    TMessage m;
    m.Msg = WM_APP + 3;
    PassToDesignProvider(form, m);
    EXPECT_TRUE(ending->Got.empty());
    EXPECT_EQ(live->Got, std::vector<UINT>{WM_APP + 3});
    EXPECT_TRUE(later->Got.empty());
    form->Free();
}

// ---------------------------------------------------------------------------
// The image or colour under a child

namespace {

// Erases to blue and paints a red 5 x 5 square at (10, 20) of its client
// area, into the DC it is given.
LRESULT CALLBACK PaintIntoGivenDC(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    if ((msg == WM_ERASEBKGND || msg == WM_PAINT) && w) {
        const RECT r = msg == WM_ERASEBKGND ? RECT{0, 0, 100, 100} : RECT{10, 20, 15, 25};
        const HBRUSH brush = ::CreateSolidBrush(msg == WM_ERASEBKGND ? kBlue : kRed);
        ::FillRect(reinterpret_cast<HDC>(w), &r, brush);
        ::DeleteObject(brush);
        return 1;
    }
    return ::DefWindowProcW(wnd, msg, w, l);
}

TBackgroundInfo AskerAt(TPoint offset, HDC dc, bool pleaseDraw) {
    TBackgroundInfo info;
    info.Offset = offset;
    info.R = TRect(0, 0, 20, 20);
    info.DC = dc;
    info.PleaseDraw = pleaseDraw;
    return info;
}

}  // namespace

TEST(VclUtils, UnansweringParentWindowPaintsItselfUnderTheChildOrGivesTheGlobalColour) {
    ASSERT_EQ(DefaultManager, nullptr);
    harness::TestWindow parent(100, 100, kWhite, PaintIntoGivenDC);
    MemoryDC out(40, 40, RGB(0, 0, 0));
    TBackgroundInfo info = AskerAt(TPoint(10, 20), out.DC(), true);
    EXPECT_FALSE(QueryWindowBackground(info, parent.Handle(), false));
    EXPECT_EQ(out.Pixel(0, 0), kRed);        // parent's (10, 20)
    EXPECT_EQ(out.Pixel(4, 4), kRed);
    EXPECT_EQ(out.Pixel(5, 5), kBlue);
    EXPECT_EQ(out.Pixel(19, 19), kBlue);
    EXPECT_EQ(out.Pixel(20, 20), RGB(0, 0, 0));   // outside R: left alone
    EXPECT_EQ(info.R, TRect(0, 0, 20, 20));

    info = AskerAt(TPoint(10, 20), out.DC(), false);
    EXPECT_FALSE(QueryWindowBackground(info, parent.Handle(), true));
    EXPECT_EQ(info.BgType, btFill);
    EXPECT_EQ(info.Color, clBtnFace);
}

TEST(VclUtils, ControlBackgroundAnswersAndFallbacks) {
    ShownForm f;
    auto* skinned = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 100, 100));
    auto* plain = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 100, 100), false);
    plain->SetColor(static_cast<TColor>(kBlue));
    harness::PumpUntilIdle(10, 1000);
    MemoryDC out(40, 40, RGB(0, 0, 0));

    TBackgroundInfo info = AskerAt(TPoint(0, 0), out.DC(), false);
    EXPECT_TRUE(QueryControlBackground(info, skinned, false));
    EXPECT_EQ(info.BgType, btFill);
    EXPECT_EQ(static_cast<COLORREF>(info.Color), kGreen);

    // Asked to draw: the control paints itself into the DC under the child.
    info = AskerAt(TPoint(5, 5), out.DC(), true);
    EXPECT_FALSE(QueryControlBackground(info, plain, false));
    EXPECT_EQ(out.Pixel(0, 0), kBlue);
    EXPECT_EQ(out.Pixel(25, 25), RGB(0, 0, 0));

    // Otherwise its colour; filled into the DC when drawing is asked of the
    // answer and there is an image to draw on.
    TBitmap* image = CreateWorkBitmap(1, 1);
    MemoryDC out2(40, 40, RGB(0, 0, 0));
    info = AskerAt(TPoint(5, 5), out2.DC(), false);
    info.Bmp = image;
    EXPECT_FALSE(QueryControlBackground(info, plain, true));
    EXPECT_EQ(info.BgType, btFill);
    EXPECT_EQ(static_cast<COLORREF>(info.Color), kBlue);
    EXPECT_EQ(out2.Pixel(19, 19), kBlue);
    EXPECT_EQ(out2.Pixel(20, 20), RGB(0, 0, 0));
    image->Free();
}

// ---------------------------------------------------------------------------
// Graphic children painted into a DC

namespace {

// A skinned panel of 40 x 40 with a green background and two graphic
// children: Red at (0, 0) painting its top-left quarter red, and Keyed at
// (10, 10) painting itself all fuchsia (nothing to copy), and one at (30, 30)
// that fails to paint (its background alone is copied).
struct ChildrenFixture {
    ShownForm f;
    TSkinProbe* Panel;
    TPaintProbe* Thrower;
    TPaintProbe* Red;
    TPaintProbe* Keyed;
    ChildrenFixture() {
        Panel = f.Add<TSkinProbe>(nullptr, TRect(0, 0, 40, 40));
        Thrower = f.Add<TPaintProbe>(Panel, TRect(30, 30, 40, 40), kBlue);
        Red = f.Add<TPaintProbe>(Panel, TRect(0, 0, 10, 10), kRed);
        Keyed = f.Add<TPaintProbe>(Panel, TRect(10, 10, 20, 20), kFuchsia);
        Keyed->Whole = true;
        harness::PumpUntilIdle(10, 1000);
        Thrower->Throws = true;
        for (TPaintProbe* c : {Thrower, Red, Keyed}) {
            c->Paints = 0;
            c->Commands.clear();
        }
        Panel->Commands.clear();
    }
    ~ChildrenFixture() { Thrower->Throws = false; }
    ChildrenFixture(const ChildrenFixture&) = delete;
    ChildrenFixture& operator=(const ChildrenFixture&) = delete;
};

}  // namespace

TEST(VclUtils, GraphicChildrenLandAtTheOffsetOverTheBackground) {
    for (const TPoint offset : {TPoint(0, 0), TPoint(10, 10), TPoint(3, 17)}) {
        SCOPED_TRACE(testing::Message() << "offset " << offset.X << "," << offset.Y);
        ChildrenFixture fx;
        MemoryDC out(80, 80, kWhite);
        PaintControlsTo(out.DC(), fx.Panel, offset);
        const int x = offset.X, y = offset.Y;
        EXPECT_EQ(out.Pixel(x, y), kRed);
        EXPECT_EQ(out.Pixel(x + 4, y + 4), kRed);
        EXPECT_EQ(out.Pixel(x + 5, y + 5), kGreen);   // the panel's background under the child
        EXPECT_EQ(out.Pixel(x + 9, y + 9), kGreen);
        // The keyed child is not copied: the DC keeps what it had there.
        EXPECT_EQ(out.Pixel(x + 10, y + 10), kWhite);
        EXPECT_EQ(out.Pixel(x + 29, y + 29), kWhite);
        EXPECT_EQ(out.Pixel(x + 35, y + 35), kGreen);
        EXPECT_EQ(out.Pixel(x + 40, y + 40), kWhite);
        EXPECT_EQ(fx.Thrower->Paints, 1);
        EXPECT_EQ(fx.Panel->Count(AC_GETBG), 1);
    }
}

TEST(VclUtils, GraphicChildrenPaintAsCopiesWhileTheParentDoes) {
    ChildrenFixture fx;
    MemoryDC out(80, 80, kWhite);
    fx.Panel->SetControlState(csPaintCopy, true);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    fx.Panel->SetControlState(csPaintCopy, false);
    EXPECT_TRUE(fx.Red->CopySeen);
    EXPECT_EQ(fx.Red->ControlState() & csPaintCopy, 0u);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_FALSE(fx.Red->CopySeen);
}

TEST(VclUtils, PartlyVisibleChildrenAreToldSoAndAnEmptyClipOnlyTellsTheParent) {
    ChildrenFixture fx;
    MemoryDC out(80, 80, kWhite);
    // The clip cuts through the red child: it is painted and told it is half
    // visible; the keyed child lies wholly inside.
    ::IntersectClipRect(out.DC(), 5, 5, 60, 60);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_EQ(fx.Red->Commands, std::vector<Word>{AC_SETHALFVISIBLE});
    EXPECT_TRUE(fx.Keyed->Commands.empty());
    EXPECT_EQ(out.Pixel(5, 5), kGreen);
    EXPECT_EQ(out.Pixel(4, 4), kWhite);

    fx.Red->Commands.clear();
    fx.Panel->Commands.clear();
    const int redPaints = fx.Red->Paints;
    const HRGN empty = ::CreateRectRgn(0, 0, 0, 0);
    ::SelectClipRgn(out.DC(), empty);
    ::DeleteObject(empty);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_EQ(fx.Panel->Commands, std::vector<Word>{AC_SETHALFVISIBLE});
    EXPECT_EQ(fx.Red->Paints, redPaints);
    EXPECT_TRUE(fx.Red->Commands.empty());
}

namespace {

TSkinProbe* gNestedPanel = nullptr;
int gNestedCalls = 0;

void PaintNested(TPaintProbe*) {
    ++gNestedCalls;
    MemoryDC other(80, 80, kWhite);
    PaintControlsTo(other.DC(), gNestedPanel, TPoint(0, 0));
    EXPECT_EQ(other.Pixel(0, 0), kWhite);
}

}  // namespace

TEST(VclUtils, PaintingChildrenIsNotReentrant) {
    ChildrenFixture fx;
    gNestedPanel = fx.Panel;
    gNestedCalls = 0;
    fx.Red->WhilePainting = PaintNested;
    MemoryDC out(80, 80, kWhite);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_EQ(gNestedCalls, 1);
    EXPECT_EQ(fx.Red->Paints, 1);
    EXPECT_EQ(fx.Panel->Count(AC_GETBG), 1);
    EXPECT_EQ(out.Pixel(0, 0), kRed);
    // The guard is released afterwards.
    fx.Red->WhilePainting = nullptr;
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_EQ(fx.Red->Paints, 2);
}

// The bar draws its own buttons: only separators and dividers are copied.
TEST(VclUtils, ToolButtonsThatTheBarDrawsAreNotCopied) {
    ShownForm f;
    auto* bar = f.Add<TToolBar>(nullptr, TRect(0, 0, 300, 40));
    bar->SetColor(static_cast<TColor>(kBlue));
    const TToolButtonStyle styles[] = {tbsButton, tbsSeparator, tbsCheck, tbsDivider, tbsDropDown};
    std::vector<TToolButton*> buttons;
    for (TToolButtonStyle style : styles) {
        auto* b = New<TToolButton>(f.Form);
        b->SetStyle(style);
        b->SetParent(bar);
        buttons.push_back(b);
    }
    harness::PumpUntilIdle(10, 1000);
    MemoryDC out(300, 40, kWhite);
    PaintControlsTo(out.DC(), bar, TPoint(0, 0));
    for (TToolButton* b : buttons) {
        SCOPED_TRACE(testing::Message() << "style " << static_cast<int>(b->Style()));
        ASSERT_GT(b->Width(), 0);
        const bool copied = b->Style() == tbsSeparator || b->Style() == tbsDivider;
        // A copied child lies on the bar's colour; the others leave the DC as it was.
        EXPECT_EQ(out.Pixel(b->Left(), b->Top()), copied ? kBlue : kWhite);
    }
}

TEST(VclUtils, ChildrenOverTheParentsImageAnswer) {
    ChildrenFixture fx;
    // The panel's image: blue, with a yellow pixel where the red child's
    // bottom-right corner lies once the answer's offset (2, 3) is added.
    TBitmap* image = CreateWorkBitmap(60, 60);
    image->Canvas()->Brush()->SetColor(static_cast<TColor>(kBlue));
    image->Canvas()->FillRect(TRect(0, 0, 60, 60));
    image->Canvas()->SetPixels(9 + 2, 9 + 3, static_cast<TColor>(RGB(255, 255, 0)));
    fx.Panel->BgImage = image;
    fx.Panel->BgOffset = TPoint(2, 3);
    MemoryDC out(80, 80, kWhite);
    PaintControlsTo(out.DC(), fx.Panel, TPoint(0, 0));
    EXPECT_EQ(out.Pixel(0, 0), kRed);
    EXPECT_EQ(out.Pixel(8, 8), kBlue);
    EXPECT_EQ(out.Pixel(9, 9), RGB(255, 255, 0));
    fx.Panel->BgImage = nullptr;
    image->Free();
}

// ---------------------------------------------------------------------------
// The small arrow

TEST(VclUtils, SmallArrowShapes) {
    // In R = (2, 3)-(22, 23): the downward arrow starts at (2 + 7, 3 + 8),
    // the rightward one at (2 + 8, 3 + 7).
    const TRect r(2, 3, 22, 23);
    std::set<std::pair<int, int>> down, right;
    for (int step = 0; step < 4; ++step)
        for (int i = step; i <= 6 - step; ++i) {
            down.insert({9 + i, 11 + step});
            right.insert({10 + step, 10 + i});
        }
    struct Case {
        Integer Kind;
        const std::set<std::pair<int, int>>* Expected;
    };
    const std::set<std::pair<int, int>> none;
    for (const Case& c : {Case{8, &down}, Case{4, &right}, Case{0, &none}, Case{2, &none}, Case{6, &none}}) {
        SCOPED_TRACE(c.Kind);
        TBitmap* bmp = CreateWorkBitmap(26, 26);
        bmp->Canvas()->Brush()->SetColor(static_cast<TColor>(kWhite));
        bmp->Canvas()->FillRect(TRect(0, 0, 26, 26));
        DrawSmallArrow(bmp->Canvas(), static_cast<TColor>(kRed), r, c.Kind);
        int wrong = 0;
        for (int y = 0; y < 26; ++y)
            for (int x = 0; x < 26; ++x) {
                const COLORREF want = c.Expected->count({x, y}) ? kRed : kWhite;
                wrong += static_cast<COLORREF>(bmp->Canvas()->Pixels(x, y)) != want;
            }
        EXPECT_EQ(wrong, 0);
        bmp->Free();
    }
}

// ---------------------------------------------------------------------------
// Start-ups and helpers

TEST(VclUtils, StartUpsFindTheEntryPointsAndTheCheckBoxGlyphSize) {
    sVclUtilsFinalization();
    EXPECT_EQ(acUpdateLayeredWindow, nullptr);
    // The first question looks them up.
    EXPECT_TRUE(LayeredWindowsAvailable());
    EXPECT_NE(acUpdateLayeredWindow, nullptr);
    sVclUtilsInitialization();
    EXPECT_NE(acUpdateLayeredWindow, nullptr);
    EXPECT_NE(acSetLayeredWindowAttributes, nullptr);
    EXPECT_NE(acSetWindowTheme, nullptr);
    EXPECT_GT(CheckBoxWidth, 0);
    EXPECT_GT(CheckBoxHeight, 0);
    // The theme switch works on a real window.
    harness::TestWindow wnd(20, 20, kWhite);
    SetWindowThemeOff(wnd.Handle());
    RestoreWindowTheme(wnd.Handle());
}

TEST(VclUtils, TextAlignFlags) {
    const std::pair<TAlignment, Cardinal> cases[] = {
        {taLeftJustify, DT_LEFT}, {taRightJustify, DT_RIGHT}, {taCenter, DT_CENTER}};
    TForm* form = New<TForm>(Application);
    for (const auto& [alignment, flag] : cases) EXPECT_EQ(GetTextAlignFlags(form, alignment), flag | DT_VCENTER | DT_EXPANDTABS);
    form->Free();
}

TEST(VclUtils, SumsOfAlignedChildSizes) {
    TForm* form = New<TForm>(Application);
    auto add = [form](bool windowed, TAlign align, int w, int h, bool visible = true) {
        TControl* c = windowed ? static_cast<TControl*>(New<TWinControl>(form)) : New<TPaintProbe>(form, kRed);
        c->SetBounds(0, 0, w, h);
        c->SetAlign(align);
        c->SetVisible(visible);
        c->SetParent(form);
    };
    add(true, TAlign::alTop, 50, 10);
    add(false, TAlign::alTop, 50, 5);
    add(true, TAlign::alTop, 50, 100, false);
    add(true, TAlign::alBottom, 50, 7);
    add(true, TAlign::alLeft, 3, 50);
    add(false, TAlign::alRight, 4, 50);
    add(true, TAlign::alClient, 60, 60);
    struct Case {
        TAlign Align;
        bool WithGraphic;
        Integer Sum;
    };
    const Case cases[] = {
        {TAlign::alTop, true, 15}, {TAlign::alTop, false, 10}, {TAlign::alBottom, true, 7},
        {TAlign::alLeft, false, 3}, {TAlign::alRight, true, 4}, {TAlign::alRight, false, 0},
        {TAlign::alClient, true, 0}, {TAlign::alNone, true, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(SumAlignedChildSizes(form, c.Align, c.WithGraphic), c.Sum);
    form->Free();
}

TEST(VclUtils, ClientRectInWindowCoordinates) {
    struct Case {
        DWORD Style;
        DWORD ExStyle;
    };
    for (const Case& c : {Case{WS_POPUP | WS_BORDER, 0}, Case{WS_OVERLAPPEDWINDOW, 0},
                          Case{WS_POPUP | WS_CAPTION, WS_EX_CLIENTEDGE}}) {
        harness::TestWindow wnd(240, 120, kWhite, nullptr, c.Style, c.ExStyle);
        RECT frame{0, 0, 0, 0};
        ::AdjustWindowRectEx(&frame, c.Style, FALSE, c.ExStyle);
        TRect r;
        GetClientRectInWindow(wnd.Handle(), r);
        EXPECT_EQ(r, TRect(-frame.left, -frame.top, -frame.left + 240, -frame.top + 120));
    }
}

TEST(VclUtils, ReadinessAndOwners) {
    ShownForm f;
    auto* frame = New<TFrame>(f.Form);
    frame->SetParent(f.Form);
    auto* onFrame = New<TSkinProbe>(frame);
    onFrame->SetParent(frame);
    onFrame->HandleNeeded();
    EXPECT_EQ(GetOwnerForm(onFrame), f.Form);
    EXPECT_EQ(GetOwnerFrame(onFrame), frame);
    EXPECT_EQ(GetOwnerFrame(frame), nullptr);
    EXPECT_EQ(GetOwnerForm(Application), nullptr);

    EXPECT_FALSE(ControlIsReady(nullptr));
    EXPECT_TRUE(ControlIsReady(onFrame));
    for (const TControlState state : {csReadingState, csCreating}) {
        onFrame->SetControlState(state, true);
        EXPECT_FALSE(ControlIsReady(onFrame));
        onFrame->SetControlState(state, false);
    }
    onFrame->SetComponentState(csLoading, true);
    EXPECT_FALSE(ControlIsReady(onFrame));
    onFrame->SetComponentState(csLoading, false);
    // A windowed control inside a container that has no window cannot have one.
    auto* container = New<TSkinProbe>(f.Form);
    auto* windowless = New<TSkinProbe>(f.Form);
    windowless->SetParent(container);
    auto* graphic = New<TPaintProbe>(f.Form, kRed);
    EXPECT_FALSE(ControlIsReady(graphic));   // no parent
    graphic->SetParent(f.Form);
    EXPECT_TRUE(ControlIsReady(graphic));
    ASSERT_FALSE(windowless->HandleAllocated());
    EXPECT_FALSE(ControlIsReady(windowless));
}
