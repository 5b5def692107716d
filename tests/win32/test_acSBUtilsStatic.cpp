// The static, push-button and size-grip adapters on plain windows, made
// through the adapter factory with the flat test skin: the looks a button
// shows in each state (read back through WM_PRINT), the static's text and
// the statics left to the base, the grip's hit test and image, and flat
// object counts over repeated adapting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acSBUtilsStatic.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using harness::Capture;
using harness::CaptureSource;
using kestrune_test::TestRef;

COLORREF SectionRef(const char* Section, int State) { return TestRef(skingen::TestSectionColour(Section, State)); }
COLORREF FontRef(const char* Section, int State) { return TestRef(skingen::TestFontColour(Section, State)); }
COLORREF MaskRef(const char* Section, const char* Mask, int Frame) {
    return TestRef(skingen::TestMaskColour(Section, Mask, Frame));
}

// Keep * A + (1 - Keep) * B per channel, as the disabled look mixes.
COLORREF Mix(COLORREF A, COLORREF B, double Keep) {
    auto ch = [&](int a, int b) { return static_cast<int>(a * Keep + b * (1 - Keep) + 0.5); };
    return RGB(ch(GetRValue(A), GetRValue(B)), ch(GetGValue(A), GetGValue(B)), ch(GetBValue(A), GetBValue(B)));
}

// The colour of the unskinned parent (it also paints under its children).
constexpr COLORREF kParentFill = RGB(0x30, 0x60, 0x90);

Capture Print(HWND Wnd) {
    harness::PumpUntilIdle(10, 500);
    return harness::CaptureWindow(Wnd, CaptureSource::Print);
}

void Save(const Capture& C, const std::string& Name) {
    C.SaveBmp(harness::BesideProgram(std::wstring(Name.begin(), Name.end()).c_str()).c_str());
}

class StaticButtonAdapters : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        Start();
    }
    // The skin with Common over it, the adapter classes and a shown parent.
    void Start(const std::string& Common = {}) {
        manager = kestrune_test::NewTestSkinManager(root, Common);
        ASSERT_TRUE(manager->SkinData()->Active);
        acSBUtilsInitialization();
        parent = std::make_unique<harness::TestWindow>(420, 300, kParentFill, &harness::ParentFillProc);
        parent->Show();
        harness::PumpUntilIdle(10, 500);
    }
    void TearDown() override {
        ReleaseAll();
        for (HWND w : windows)
            if (::IsWindow(w)) ::DestroyWindow(w);
        windows.clear();
        parent.reset();
        TestSkinForm::TearDown();
    }
    HWND Make(const wchar_t* Class, const wchar_t* Text, DWORD Style, DWORD ExStyle = 0, RECT R = {20, 20, 160, 60}) {
        HWND w = ::CreateWindowExW(ExStyle, Class, Text, WS_CHILD | WS_VISIBLE | Style, R.left, R.top,
                                   R.right - R.left, R.bottom - R.top, parent->Handle(), nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        windows.push_back(w);
        return w;
    }
    TacMainWnd* Adapt(const char16_t* AdapterClass, HWND Wnd, const char16_t* Section) {
        TacMainWnd* a = CreateAdapter(AdapterClass, Wnd, nullptr, manager, Section, true);
        adapters.push_back(a);
        return a;
    }
    void ReleaseAll() {
        for (TacMainWnd*& a : adapters) ReleaseMainWnd(a ? a->CtrlHandle : nullptr, true, false, a);
        adapters.clear();
    }
    COLORREF GlobalColour() const { return static_cast<COLORREF>(ColorToRGB(manager->GetGlobalColor())); }

    std::unique_ptr<harness::TestWindow> parent;
    std::vector<HWND> windows;
    std::vector<TacMainWnd*> adapters;
};

}  // namespace

// The pure rules: which type codes make a default button, and the text flags.
TEST(StaticButtonRules, DefaultButtonIsATypeCodeAndFlagsFollowTheStyle) {
    struct Case {
        DWORD Style;
        bool Default;
    };
    const Case cases[] = {{BS_PUSHBUTTON, false}, {BS_DEFPUSHBUTTON, true},    {BS_OWNERDRAW, false},
                          {BS_SPLITBUTTON, false}, {BS_DEFSPLITBUTTON, true}, {BS_COMMANDLINK, false},
                          {BS_DEFCOMMANDLINK, true}, {BS_DEFPUSHBUTTON | BS_MULTILINE | WS_TABSTOP, true}};
    for (const Case& c : cases) EXPECT_EQ(IsDefaultButtonStyle(c.Style), c.Default) << std::hex << c.Style;

    EXPECT_EQ(ButtonCaptionFlags(BS_PUSHBUTTON, 0), static_cast<Cardinal>(DT_CENTER | DT_EXPANDTABS));
    EXPECT_EQ(ButtonCaptionFlags(BS_MULTILINE, WS_EX_RTLREADING),
              static_cast<Cardinal>(DT_CENTER | DT_EXPANDTABS | DT_WORDBREAK | DT_RTLREADING));
    EXPECT_EQ(StaticTextFlags(SS_LEFT, 0), 0x150u);
    EXPECT_EQ(StaticTextFlags(SS_NOPREFIX, WS_EX_RIGHT), 0x950u | DT_RIGHT);

    // Centred, the right edge one pixel beyond the left's mirror; pressed
    // moves it one pixel right and down.
    EXPECT_EQ(CenteredCaptionRect(100, 30, TSize{40, 14}, false), TRect(30, 8, 71, 22));
    EXPECT_EQ(CenteredCaptionRect(100, 30, TSize{40, 14}, true), TRect(31, 9, 72, 23));
}

// Each state of a push button shows its section colour and border frame:
// normal, the default button hot, the focused button hot, pressed, and a
// disabled button 40 % of the background through (never hot, even as the
// default button). An owner-drawn button is no default button.
TEST_F(StaticButtonAdapters, ButtonShowsTheLookOfItsState) {
    struct Case {
        const char* Name;
        DWORD Style;
        int State;   // expected look: 0 normal, 1 hot, 2 pressed, -1 disabled
        void (*Act)(HWND);
    };
    const Case cases[] = {
        {"normal", BS_PUSHBUTTON, 0, nullptr},
        {"owner-drawn", BS_OWNERDRAW, 0, nullptr},
        {"default", BS_DEFPUSHBUTTON, 1, nullptr},
        {"focused", BS_PUSHBUTTON, 1, [](HWND b) { ::SetFocus(b); }},
        {"pressed", BS_PUSHBUTTON, 2, [](HWND b) { ::SendMessageW(b, BM_SETSTATE, TRUE, 0); }},
        {"disabled-default", BS_DEFPUSHBUTTON, -1, [](HWND b) { ::EnableWindow(b, FALSE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ::SetFocus(parent->Handle());
        HWND button = Make(L"BUTTON", L"OK", c.Style, 0, RECT{20, 20, 160, 60});
        auto* a = dynamic_cast<TacBtnWnd*>(Adapt(u"TacBtnWnd", button, u"BUTTON"));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->SkinData->SkinSection(), u"BUTTON");
        if (c.Act) c.Act(button);
        const Capture cap = Print(button);
        Save(cap, std::string("btn-adapter-") + c.Name + ".bmp");
        const int state = c.State < 0 ? 0 : c.State;
        COLORREF face = SectionRef("BUTTON", state > 0 ? 1 : 0);
        COLORREF border = MaskRef("BUTTON", "BORDERSMASK", state);
        if (c.State < 0) {
            face = Mix(face, GlobalColour(), 0.6);
            border = Mix(border, GlobalColour(), 0.6);
        }
        EXPECT_EQ(a->CurrentState(), state);
        EXPECT_LE(harness::ColourDistance(cap.Pixel(8, 8), face), 1);
        EXPECT_LE(harness::ColourDistance(cap.Pixel(1, 20), border), 1);
        if (c.State >= 0) {
            EXPECT_TRUE(cap.Contains(FontRef("BUTTON", state > 0 ? 1 : 0))) << "no caption";
        }
        ::DestroyWindow(button);
        harness::PumpUntilIdle(10, 300);
    }
}

// A focused button of a section with ShowFocus gets a dotted frame round
// its caption; without the focus there is none.
TEST_F(StaticButtonAdapters, FocusedButtonHasADottedFrameWhenTheSectionShowsFocus) {
    ReleaseAll();
    parent.reset();
    manager->Free();
    manager = nullptr;
    Start("[BUTTON]\nSHOWFOCUS=1\n");
    HWND button = Make(L"BUTTON", L"Open", BS_PUSHBUTTON, 0, RECT{20, 20, 160, 60});
    HWND other = Make(L"BUTTON", L"Other", BS_PUSHBUTTON, 0, RECT{20, 80, 160, 120});
    Adapt(u"TacBtnWnd", button, u"BUTTON");
    Adapt(u"TacBtnWnd", other, u"BUTTON");
    ::SetFocus(other);
    const int before = Print(button).Count(RGB(0, 0, 0));
    ::SetFocus(button);
    const Capture focused = Print(button);
    Save(focused, "btn-adapter-focus-frame.bmp");
    EXPECT_EQ(before, 0);
    EXPECT_GT(focused.Count(RGB(0, 0, 0)), 10);
    // The frame lies round the caption, inside the button's border.
    EXPECT_EQ(focused.Pixel(8, 8), SectionRef("BUTTON", 1));
}

// The static's text is drawn in the section's font colour over the
// section; a static with a tab stop or a static edge keeps painting itself.
TEST_F(StaticButtonAdapters, StaticPaintsItsTextUnlessTheBaseHandlesIt) {
    struct Case {
        const char* Name;
        DWORD Style;
        DWORD ExStyle;
        bool Skinned;
    };
    const Case cases[] = {
        {"plain", SS_LEFT, 0, true},
        {"no-prefix-right", SS_NOPREFIX, WS_EX_RIGHT, true},
        {"tab-stop", SS_LEFT | WS_TABSTOP, 0, false},
        {"static-edge", SS_LEFT, WS_EX_STATICEDGE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND label = Make(L"STATIC", L"Look in: &folder", c.Style, c.ExStyle, RECT{20, 20, 220, 44});
        const Capture before = Print(label);
        Adapt(u"TacStaticWnd", label, u"CHECKBOX");
        const Capture after = Print(label);
        Save(after, std::string("static-adapter-") + c.Name + ".bmp");
        if (c.Skinned) {
            EXPECT_EQ(after.Pixel(after.Width - 2, after.Height - 2), SectionRef("CHECKBOX", 0));
            EXPECT_GT(after.Count(FontRef("CHECKBOX", 0)), 10) << "no text in the section's font colour";
            // New text is shown at once.
            ::SetWindowTextW(label, L"");
            const Capture empty = Print(label);
            EXPECT_EQ(empty.Count(FontRef("CHECKBOX", 0)), 0);
        } else {
            EXPECT_EQ(after.Count(SectionRef("CHECKBOX", 0)), 0);
            EXPECT_EQ(after.Count(FontRef("CHECKBOX", 0)), 0);
            EXPECT_EQ(after.Pixel(after.Width / 2, 1), before.Pixel(before.Width / 2, 1));
        }
        ReleaseAll();
        ::DestroyWindow(label);
    }
}

// The text of a right-aligned static ends at its right edge.
TEST_F(StaticButtonAdapters, RightAlignedStaticTextEndsOnTheRight) {
    HWND left = Make(L"STATIC", L"Name", SS_LEFT, 0, RECT{20, 20, 220, 44});
    HWND right = Make(L"STATIC", L"Name", SS_LEFT, WS_EX_RIGHT, RECT{20, 60, 220, 84});
    Adapt(u"TacStaticWnd", left, u"CHECKBOX");
    Adapt(u"TacStaticWnd", right, u"CHECKBOX");
    auto textSpan = [](const Capture& c) {
        int first = c.Width, last = -1;
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x)
                if (c.Pixel(x, y) == FontRef("CHECKBOX", 0)) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return std::pair<int, int>(first, last);
    };
    const auto l = textSpan(Print(left));
    const auto r = textSpan(Print(right));
    ASSERT_GE(l.second, 0);
    ASSERT_GE(r.second, 0);
    EXPECT_LT(l.first, 10);
    EXPECT_GT(r.second, 200 - 10);
}

// The size grip answers every hit test as the bottom-right corner and shows
// the skin's grip image there over its parent's background.
TEST_F(StaticButtonAdapters, SizeGripIsTheBottomRightCornerAndShowsTheGrip) {
    HWND grip = Make(L"SCROLLBAR", L"", SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, 0, RECT{380, 260, 400, 280});
    Adapt(u"TacSizerWnd", grip, u"CHECKBOX");
    RECT r{};
    ::GetWindowRect(grip, &r);
    for (POINT p : {POINT{r.left + 1, r.top + 1}, POINT{r.right - 2, r.bottom - 2}})
        EXPECT_EQ(::SendMessageW(grip, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTBOTTOMRIGHT);
    ::EnableWindow(grip, FALSE);
    EXPECT_EQ(::SendMessageW(grip, WM_NCHITTEST, 0, MAKELPARAM(r.left + 1, r.top + 1)), HTBOTTOMRIGHT);
    ::EnableWindow(grip, TRUE);

    const Capture cap = Print(grip);
    Save(cap, "grip-adapter.bmp");
    const int w = cap.Width, h = cap.Height, f = skingen::TestFrameSize;
    ASSERT_GT(w, f);
    ASSERT_GT(h, f);
    // The grip image (one flat frame with key corners) at the bottom right,
    // the parent's colour above and left of it.
    EXPECT_EQ(cap.Pixel(w - f / 2, h - f / 2), MaskRef("GLOBALINFO", "GRIPIMAGE", 0));
    EXPECT_EQ(cap.Pixel(1, 1), kParentFill);
    EXPECT_EQ(cap.Pixel(w - 1, h - 1), kParentFill) << "key corner not transparent";
}

// Adapting, painting and releasing buttons, statics and grips again and
// again leaves no GDI object and no window behind.
TEST_F(StaticButtonAdapters, RepeatedAdaptingKeepsObjectCountsFlat) {
    int cycles = 0;
    auto cycle = [&] {
        HWND button = Make(L"BUTTON", L"Cancel", BS_DEFPUSHBUTTON);
        HWND label = Make(L"STATIC", L"File name:", SS_LEFT, 0, RECT{20, 80, 200, 100});
        HWND grip = Make(L"SCROLLBAR", L"", SBS_SIZEGRIP, 0, RECT{380, 260, 400, 280});
        Adapt(u"TacBtnWnd", button, u"BUTTON");
        Adapt(u"TacStaticWnd", label, u"CHECKBOX");
        Adapt(u"TacSizerWnd", grip, u"CHECKBOX");
        for (HWND w : {button, label, grip}) harness::CaptureWindow(w, CaptureSource::Print);
        ::SendMessageW(button, BM_SETSTATE, TRUE, 0);
        ::EnableWindow(button, FALSE);
        harness::CaptureWindow(button, CaptureSource::Print);
        // Released by hand, or detached by the windows' destruction and then
        // freed.
        if (++cycles % 2 == 0) ReleaseAll();
        for (HWND w : {button, label, grip}) ::DestroyWindow(w);
        ReleaseAll();
        windows.clear();
    };
    for (int i = 0; i < 10; ++i) cycle();
    harness::PumpUntilIdle(10, 300);
    const unsigned windowCount = harness::WindowCount();
    unsigned usage[3] = {harness::GdiObjectUsage(), 0, 0};
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 100; ++i) cycle();
        harness::PumpUntilIdle(10, 300);
        usage[round] = harness::GdiObjectUsage();
    }
    EXPECT_LE(usage[2], usage[1] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_LE(usage[1], usage[0] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_EQ(harness::WindowCount(), windowCount);
}

// The caption of a multi-line button wraps inside the button; a one-line
// button keeps its caption on one line.
TEST_F(StaticButtonAdapters, OnlyAMultiLineButtonWrapsItsCaption) {
    const wchar_t* text = L"Open the selected file now";
    HWND multi = Make(L"BUTTON", text, BS_PUSHBUTTON | BS_MULTILINE, 0, RECT{20, 20, 90, 80});
    HWND single = Make(L"BUTTON", text, BS_PUSHBUTTON, 0, RECT{20, 100, 90, 160});
    auto* m = dynamic_cast<TacBtnWnd*>(Adapt(u"TacBtnWnd", multi, u"BUTTON"));
    auto* s = dynamic_cast<TacBtnWnd*>(Adapt(u"TacBtnWnd", single, u"BUTTON"));
    ASSERT_NE(m, nullptr);
    ASSERT_NE(s, nullptr);
    Save(Print(multi), "btn-adapter-multi-line.bmp");
    Print(single);
    const TSize wrapped = m->TextRectSize();
    const TSize line = s->TextRectSize();
    EXPECT_LE(wrapped.cx, 70 - 2);
    EXPECT_GE(wrapped.cy, 2 * line.cy);
    EXPECT_GT(line.cx, 70);
}

// The mouse over a button makes it the manager's active control and hot;
// moving off makes it normal again.
TEST_F(StaticButtonAdapters, MouseOverMakesTheButtonHot) {
    HWND button = Make(L"BUTTON", L"Save", BS_PUSHBUTTON, 0, RECT{20, 20, 160, 60});
    auto* a = dynamic_cast<TacBtnWnd*>(Adapt(u"TacBtnWnd", button, u"BUTTON"));
    ASSERT_NE(a, nullptr);
    RECT r{};
    ::GetWindowRect(button, &r);
    auto moveTo = [&](int x, int y) {
        ::SetCursorPos(x, y);
        POINT p{x, y};
        ::ScreenToClient(button, &p);
        ::SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    };
    moveTo(r.left + 10, r.top + 10);
    POINT at{};
    ::GetCursorPos(&at);
    if (at.x != r.left + 10 || at.y != r.top + 10) GTEST_SKIP() << "the cursor cannot be placed here";
    EXPECT_EQ(manager->ActiveControl(), button);
    EXPECT_TRUE(a->SkinData->FMouseAbove);
    const Capture hot = Print(button);
    EXPECT_EQ(hot.Pixel(8, 8), SectionRef("BUTTON", 1));
    EXPECT_EQ(hot.Pixel(1, 20), MaskRef("BUTTON", "BORDERSMASK", 1));

    moveTo(r.right + 30, r.bottom + 30);
    EXPECT_EQ(manager->ActiveControl(), nullptr);
    EXPECT_FALSE(a->SkinData->FMouseAbove);
    EXPECT_EQ(Print(button).Pixel(8, 8), SectionRef("BUTTON", 0));
}

// A skin without a grip image leaves the grip unpainted, but its paint
// request is answered: a window left invalid would be asked to paint again
// and again.
TEST_F(StaticButtonAdapters, SizeGripWithoutAGripImageIsStillValidated) {
    ReleaseAll();
    parent.reset();
    manager->Free();
    manager = nullptr;
    const std::filesystem::path options = root / "Test" / "Options.dat";
    std::string text;
    {
        std::ifstream in(options, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t line = text.find("GRIPIMAGE=");
    ASSERT_NE(line, std::string::npos);
    text.erase(line, text.find('\n', line) + 1 - line);
    std::ofstream(options, std::ios::binary | std::ios::trunc) << text;
    Start();
    ASSERT_LT(manager->ConstData().GripRightBottom, 0);

    HWND grip = Make(L"SCROLLBAR", L"", SBS_SIZEGRIP, 0, RECT{380, 260, 400, 280});
    Adapt(u"TacSizerWnd", grip, u"CHECKBOX");
    ::InvalidateRect(grip, nullptr, TRUE);
    ::UpdateWindow(grip);
    EXPECT_FALSE(::GetUpdateRect(grip, nullptr, FALSE));
    EXPECT_EQ(::SendMessageW(grip, WM_NCHITTEST, 0, 0), HTBOTTOMRIGHT);
}
