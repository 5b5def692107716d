// Kestrune's header and log panes under a skin, end to end: the real program
// in its own process with the flat test skin in its skins folder; once the
// skin is chosen and the panes hold more text than they show, the screen
// shows the skin's scroll bars in both panes (the system's before). The
// pictures land beside the test program (kestrune-panes-*.bmp).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "GuiHarness.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"
#include "SkinNames.h"
#include "TestSkin.h"

namespace {

namespace fs = std::filesystem;
using harness::Capture;
using harness::PumpUntil;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Every colour the test skin's scroll-bar sections can paint.
const std::set<COLORREF>& ScrollColours() {
    static const std::set<COLORREF> colours = [] {
        std::set<COLORREF> c;
        for (const std::string& s : skingen::LookedUpSections())
            if (s.rfind("SCROLL", 0) == 0)
                for (int state : {0, 1}) c.insert(Ref(skingen::TestSectionColour(s, state)));
        for (const skingen::MaskName& m : skingen::LookedUpMasks())
            if (m.Section.rfind("SCROLL", 0) == 0)
                for (int f = 0; f < m.Frames; ++f) c.insert(Ref(skingen::TestMaskColour(m.Section, m.Mask, f)));
        return c;
    }();
    return colours;
}

// The share of the pixels of R (screen coordinates) that the screen shows in
// a scroll-bar colour of the skin.
double ScrollShare(const RECT& R) {
    HDC screen = ::GetDC(nullptr);
    int hits = 0, all = 0;
    for (int y = R.top; y < R.bottom; ++y)
        for (int x = R.left; x < R.right; ++x) {
            ++all;
            if (ScrollColours().count(::GetPixel(screen, x, y))) ++hits;
        }
    ::ReleaseDC(nullptr, screen);
    return all ? static_cast<double>(hits) / all : 0;
}

struct Bars {
    RECT Vert, Horz;
};

// Where a pane's bars lie on the screen: beside and below its client area.
Bars BarsOf(HWND Pane) {
    RECT c{};
    ::GetClientRect(Pane, &c);
    ::MapWindowPoints(Pane, nullptr, reinterpret_cast<POINT*>(&c), 2);
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYHSCROLL);
    return {RECT{c.right, c.top, c.right + cx, c.bottom}, RECT{c.left, c.bottom, c.right, c.bottom + cy}};
}

class EditPanesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(harness::KestruneBuildFolder() / L"Kestrune.exe")) << "Kestrune.exe is not built";
        FFolder.Create(L"panes");
        fs::create_directories(FFolder.Path() / L"Skins");
        skingen::WriteTestSkin(FFolder.Path() / L"Skins" / L"Test");
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, FFolder.Exe().wstring(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        const auto memos = harness::FindDescendants(FForm, L"TsMemo");
        FLog = harness::AtLeft(memos, 8);
        FHeader = harness::AtLeft(memos, 343);
        ASSERT_NE(FLog, nullptr) << "no log pane";
        ASSERT_NE(FHeader, nullptr) << "no header pane";
        ::SetForegroundWindow(FForm);
    }
    void TearDown() override {
        FProgram.Kill();
        FFolder.Remove();
    }
    bool Choose(const wchar_t* Name) { return harness::ChooseSkin(FSkinBox, Name, kStepMs); }
    void Fill(HWND Pane) {
        std::wstring text;
        for (int i = 0; i < 60; ++i) text += L"Kestrune pane line " + std::to_wstring(i) + std::wstring(120, L'-') + L"\r\n";
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(Pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kStepMs,
                              &result);
    }
    void Save(const std::wstring& Name) {
        harness::CaptureWindow(FForm, harness::CaptureSource::Screen)
            .SaveBmp((harness::ModuleFolder() + L"kestrune-panes-" + Name + L".bmp").c_str());
    }

    harness::KestruneFolder FFolder;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr, FSkinBox = nullptr, FLog = nullptr, FHeader = nullptr;
};

}  // namespace

TEST_F(EditPanesEndToEnd, HeaderAndLogPanesShowTheSkinsScrollBarsOnceTextOverflows) {
    RECT form{};
    ::GetWindowRect(FForm, &form);
    ASSERT_TRUE(harness::MoveMouseTo({form.left + 5, form.top + 5}));
    Fill(FLog);
    Fill(FHeader);
    // Without a skin: the system's bars.
    harness::PumpUntilIdle(100, 2000);
    for (HWND pane : {FLog, FHeader}) {
        EXPECT_LT(ScrollShare(BarsOf(pane).Vert), 0.1);
    }
    Save(L"plain");

    ASSERT_TRUE(Choose(L"Test")) << "the skin box did not take the test skin";
    for (HWND pane : {FLog, FHeader}) {
        SCOPED_TRACE(pane == FLog ? "log pane" : "header pane");
        const Bars bars = BarsOf(pane);
        EXPECT_TRUE(PumpUntil([&] { return ScrollShare(bars.Vert) > 0.9 && ScrollShare(bars.Horz) > 0.9; }, kStepMs))
            << "vertical " << ScrollShare(bars.Vert) << ", horizontal " << ScrollShare(bars.Horz);
    }
    Save(L"skinned");

    // More text arrives: the bars stay the skin's.
    Fill(FHeader);
    harness::PumpUntilIdle(100, 2000);
    EXPECT_GT(ScrollShare(BarsOf(FHeader).Vert), 0.9);
}
