// Small drawing details of Kestrune's main window under each of our skins,
// end to end: the real program in its own process, its skin chosen in the
// skin box, the screen read back. The scroll bars of the log and header
// panes (square arrow buttons, a track without a seam, a thumb with straight
// sides), the panes' corner pixels after every skin switch, and
// the check box and "skin" label over the panel's gradient, seen plainly
// with a skin of strong gradients. The pictures land beside the test program
// (details-<skin>.bmp).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GuiHarness.h"
#include "KestruneProgram.h"
#include "OwnSkins.h"
#include "ProcessDriver.h"

namespace {

namespace fs = std::filesystem;
using harness::Capture;
using harness::PumpUntil;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
    return text;
}
COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
bool Near(COLORREF a, COLORREF b, int tolerance = 6) { return harness::ColourDistance(a, b) <= tolerance; }

// One scroll bar of a pane on the screen, as the skinned pane lays it out:
// beside and below the client area, the system's thickness and arrow length.
struct Bar {
    RECT R;
    bool Vertical;
    int Arrow;
    int Length() const { return Vertical ? R.bottom - R.top : R.right - R.left; }
    int Thickness() const { return Vertical ? R.right - R.left : R.bottom - R.top; }
    // A point given along the bar and across it from its left or top side.
    POINT At(int Along, int Across) const {
        return Vertical ? POINT{R.left + Across, R.top + Along} : POINT{R.left + Along, R.top + Across};
    }
};

std::vector<Bar> BarsOf(HWND Pane) {
    RECT c{};
    ::GetClientRect(Pane, &c);
    ::MapWindowPoints(Pane, nullptr, reinterpret_cast<POINT*>(&c), 2);
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYHSCROLL);
    return {Bar{RECT{c.left, c.bottom, c.right, c.bottom + cy}, false, ::GetSystemMetrics(SM_CXHSCROLL)},
            Bar{RECT{c.right, c.top, c.right + cx, c.bottom}, true, ::GetSystemMetrics(SM_CYVSCROLL)}};
}

class SkinnedDetailsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = harness::KestruneBuildFolder();
        ASSERT_TRUE(fs::exists(built / L"Kestrune.exe")) << "Kestrune.exe is not built";
        ASSERT_TRUE(fs::is_directory(built / L"Skins")) << "the program's skins are not built";
        FFolder.Create(L"details");
        fs::copy(built / L"Skins", FFolder.Path() / L"Skins", fs::copy_options::recursive);
        // A skin of strong gradients: its panels run from a dark red top to
        // a light blue bottom.
        skingen::Theme strong = skingen::OwnThemes().front();
        strong.Name = "Gradients";
        strong.FaceTop = kGradientTop;
        strong.FaceBottom = kGradientBottom;
        skingen::WriteSkinFolder(skingen::BuildSkin(strong), FFolder.Path() / L"Skins" / L"Gradients");

        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, FFolder.Exe().wstring(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        const auto memos = harness::FindDescendants(FForm, L"TsMemo");
        FLog = harness::AtLeft(memos, 8);
        FHeader = harness::AtLeft(memos, 343);
        ASSERT_NE(FLog, nullptr) << "no log pane";
        ASSERT_NE(FHeader, nullptr) << "no header pane";
        const auto boxes = harness::FindDescendants(FForm, L"TsCheckBox");
        ASSERT_EQ(boxes.size(), 1u);
        FCheckBox = boxes.front();
        FTopPanel = ::GetParent(FCheckBox);
        ::SetForegroundWindow(FForm);
    }
    void TearDown() override { harness::CloseKestrune(FProgram, FForm, kStepMs); }

    bool Choose(const std::string& Name) {
        if (!harness::ChooseSkin(FSkinBox, Wide(Name), kStepMs)) return false;
        // The pointer away from every control: all in their normal look.
        RECT form{};
        ::GetWindowRect(FForm, &form);
        return harness::MoveMouseTo({form.left + 400, form.bottom - 40});
    }
    // The window as the screen shows it once painting has settled.
    Capture Settled() {
        Capture last;
        for (int round = 0; round < 40; ++round) {
            PumpUntil([] { return false; }, 150);
            Capture now = harness::CaptureWindow(FForm, harness::CaptureSource::Screen);
            if (!last.Empty() && harness::DifferingPixels(now, last, 0) == 0) return now;
            last = std::move(now);
        }
        return last;
    }
    void Save(const Capture& Shot, const std::wstring& Name) {
        Shot.SaveBmp((harness::ModuleFolder() + L"details-" + Name + L".bmp").c_str());
    }
    // A screen point of a capture of the window.
    COLORREF At(const Capture& Shot, POINT P) const {
        RECT wr{};
        ::GetWindowRect(FForm, &wr);
        return Shot.Pixel(P.x - wr.left, P.y - wr.top);
    }

    static constexpr skingen::Rgb kGradientTop = 0x801010, kGradientBottom = 0x90C0FF;

    harness::KestruneFolder FFolder;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr, FSkinBox = nullptr, FLog = nullptr, FHeader = nullptr, FCheckBox = nullptr,
         FTopPanel = nullptr;
};

}  // namespace

// The arrow buttons are whole squares: two pixels in from each corner they
// show their own colour, as in the middle of their sides (a plus shape
// leaves the corners showing what lies under the bar). The track of the
// empty header pane is one colour along its middle line (no seam where its
// two halves meet). The sides of the filled log pane's thumb run without a
// step from end to end (no notch halfway down).
TEST_F(SkinnedDetailsEndToEnd, ScrollBarsOfThePanesUnderEachOwnSkin) {
    std::wstring text;
    for (int i = 0; i < 14; ++i) text += L"Kestrune log line " + std::to_wstring(i) + L"\r\n";
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(FLog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kStepMs, &result);

    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        SCOPED_TRACE(skin.Name);
        ASSERT_TRUE(Choose(skin.Name)) << "the skin box did not take the skin";
        const Capture shot = Settled();
        Save(shot, Wide(skin.Name));

        for (HWND pane : {FLog, FHeader}) {
            SCOPED_TRACE(pane == FLog ? "log pane" : "header pane");
            const std::vector<Bar> bars = BarsOf(pane);
            for (const Bar& b : bars) {
                SCOPED_TRACE(b.Vertical ? "vertical bar" : "horizontal bar");
                const int length = b.Length(), thick = b.Thickness();
                ASSERT_GT(length, 2 * b.Arrow + 40);
                auto px = [&](int along, int across) { return At(shot, b.At(along, across)); };
                for (int start : {0, length - b.Arrow}) {
                    const COLORREF side = px(start + b.Arrow / 2, 2);
                    for (const POINT c : {POINT{2, 2}, POINT{b.Arrow - 3, 2}, POINT{2, thick - 3},
                                          POINT{b.Arrow - 3, thick - 3}}) {
                        const COLORREF corner = px(start + c.x, c.y);
                        EXPECT_TRUE(Near(corner, side))
                            << "arrow button at " << start << ": (" << c.x << "," << c.y << ") is " << Hex(corner)
                            << ", the middle of its side " << Hex(side);
                    }
                }
                if (pane == FHeader) {
                    const COLORREF first = px(b.Arrow + 4, thick / 2);
                    int seams = 0;
                    for (int a = b.Arrow + 4; a < length - b.Arrow - 4; ++a)
                        if (!Near(px(a, thick / 2), first) && seams++ < 3)
                            ADD_FAILURE() << "the track at " << a << " is " << Hex(px(a, thick / 2)) << ", at its start "
                                          << Hex(first);
                    EXPECT_EQ(seams, 0) << "the track is not one colour along its middle line";
                }
            }
            if (pane == FLog) {
                // The thumb: where the track's colour gives way along the
                // vertical bar's middle line.
                const Bar& v = bars[1];
                const int length = v.Length(), thick = v.Thickness();
                auto px = [&](int along, int across) { return At(shot, v.At(along, across)); };
                const COLORREF track = px(length - v.Arrow - 3, thick / 2);
                int top = -1, bottom = -1;
                for (int a = v.Arrow; a < length - v.Arrow; ++a)
                    if (!Near(px(a, thick / 2), track)) {
                        if (top < 0) top = a;
                        bottom = a;
                    }
                ASSERT_GT(bottom - top, 30) << "no long thumb on the log pane's vertical bar";
                // Its outline and the two columns inside it, on both sides:
                // no step from row to row between the rounded ends.
                int notches = 0;
                for (int k : {0, 1, 2, thick - 3, thick - 2, thick - 1})
                    for (int a = top + 6; a < bottom - 6; ++a)
                        if (!Near(px(a, k), px(a + 1, k)) && notches++ < 3)
                            ADD_FAILURE() << "thumb column " << k << " steps from " << Hex(px(a, k)) << " to "
                                          << Hex(px(a + 1, k)) << " at row " << a + 1 - top << " of " << bottom - top + 1;
                EXPECT_EQ(notches, 0) << "the thumb's sides are not straight";
            }
        }
    }
}

// After each switch between our skins the four corner pixels of the log and
// header panes show the panel under them in the new skin (not a colour left
// from the skin before), as the panel shows just outside them on the same
// row (its gradient runs from top to bottom).
TEST_F(SkinnedDetailsEndToEnd, PaneCornersFollowEverySkinSwitch) {
    for (const std::string name : {"Lagoon", "Basalt", "Daylight", "Lagoon"}) {
        SCOPED_TRACE("switched to " + name);
        ASSERT_TRUE(Choose(name)) << "the skin box did not take the skin";
        const Capture shot = Settled();
        Save(shot, L"corners-" + Wide(name));
        for (HWND pane : {FLog, FHeader}) {
            SCOPED_TRACE(pane == FLog ? "log pane" : "header pane");
            RECT r{};
            ::GetWindowRect(pane, &r);
            const struct {
                POINT Corner, Outside;
            } corners[] = {{{r.left, r.top}, {r.left - 1, r.top}},
                           {{r.right - 1, r.top}, {r.right, r.top}},
                           {{r.left, r.bottom - 1}, {r.left - 1, r.bottom - 1}},
                           {{r.right - 1, r.bottom - 1}, {r.right, r.bottom - 1}}};
            for (const auto& c : corners) {
                const COLORREF corner = At(shot, c.Corner), panel = At(shot, c.Outside);
                EXPECT_TRUE(Near(corner, panel, 4))
                    << "corner (" << c.Corner.x - r.left << "," << c.Corner.y - r.top << ") is " << Hex(corner)
                    << ", the panel beside it " << Hex(panel);
            }
        }
    }
}

// The check box and the "skin" label lie on the panel's gradient: each row
// of them clear of their text and mark has the colour the panel shows beside
// them on that row, not one flat colour.
TEST_F(SkinnedDetailsEndToEnd, CheckBoxAndLabelShowThePanelGradientUnderThem) {
    const COLORREF text = Ref(skingen::OwnThemes().front().Text);
    auto expectGradientUnder = [&](const Capture& shot) {
        RECT box{};
        ::GetWindowRect(FCheckBox, &box);
        POINT panel{0, 0};
        ::ClientToScreen(FTopPanel, &panel);
        // The label stands at (640, 12) of the panel, before the skin box at 670.
        const RECT label{panel.x + 640, panel.y + 8, panel.x + 668, panel.y + 32};
        for (const auto& [name, r] : {std::pair{"check box", box}, std::pair{"skin label", label}}) {
            SCOPED_TRACE(name);
            const int beside = r.left - 2;
            ASSERT_FALSE(Near(At(shot, {beside, r.top}), At(shot, {beside, r.bottom - 1}), 20))
                << "the panel shows no gradient beside it";
            int off = 0, clear = 0;
            for (int y = r.top; y < r.bottom; ++y) {
                const COLORREF under = At(shot, {beside, y});
                // Rows with text or the mark on them are left out.
                bool marked = false;
                for (int x = r.left; x < r.right && !marked; ++x) {
                    const COLORREF c = At(shot, {x, y});
                    marked = Near(c, text, 60) || (!Near(c, under, 6) && y >= box.top + 2 && y < box.bottom - 2 &&
                                                    r.left == box.left && x < box.left + 20);
                }
                if (marked) continue;
                ++clear;
                for (int x = r.left; x < r.right; ++x)
                    if (!Near(At(shot, {x, y}), under) && off++ < 3)
                        ADD_FAILURE() << "(" << x - r.left << "," << y - r.top << ") is " << Hex(At(shot, {x, y}))
                                      << " where the panel beside it shows " << Hex(under);
            }
            EXPECT_GE(clear, 4) << "too few rows clear of text and mark";
            EXPECT_EQ(off, 0) << "pixels under it differ from the panel beside it";
        }
    };

    // Chosen after another skin, with the window activated again (its frame
    // then follows the skin too).
    ASSERT_TRUE(Choose("Daylight")) << "the skin box did not take the skin";
    ASSERT_TRUE(Choose("Gradients")) << "the skin box did not take the skin";
    harness::ActivateAgain(FForm, kStepMs);
    ASSERT_TRUE(Choose("Gradients"));
    {
        SCOPED_TRACE("after the switch");
        const Capture shot = Settled();
        Save(shot, L"gradients");
        expectGradientUnder(shot);
    }
    // Uncovered by a window of the test's own: both repaint in part.
    {
        RECT b{};
        ::GetWindowRect(FCheckBox, &b);
        harness::TestWindow cover(300, 40, RGB(0, 200, 0), nullptr, WS_POPUP);
        ::SetWindowPos(cover.Handle(), HWND_TOPMOST, b.left - 20, b.top - 5, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        cover.Show();
        PumpUntil([] { return false; }, 500);
    }
    SCOPED_TRACE("after being uncovered");
    expectGradientUnder(Settled());
}
