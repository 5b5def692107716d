// Kestrune's main window under each of its own skins, end to end: the real
// program in its own process, real mouse input on "Go!", and the pixels that
// the screen shows for its buttons, panels, check box and progress bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GuiHarness.h"
#include "HttpTestServer.h"
#include "OwnSkins.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"

namespace {

using harness::Capture;
using harness::CaptureSource;
using harness::PumpUntil;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;
constexpr int kFetchMs = 20000;

// The face colour of one of our skins, as the generator builds it: its panels
// are painted in a gradient around it.
COLORREF FaceOf(const skingen::Theme& theme) {
    return RGB(skingen::RedOf(theme.Face), skingen::GreenOf(theme.Face), theme.Face & 0xFF);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

int Distance(COLORREF a, COLORREF b) { return harness::ColourDistance(a, b); }
int Differing(const Capture& a, const Capture& b, int tolerance = 8) { return harness::DifferingPixels(a, b, tolerance); }

// The average colour of a small square of a capture around (x, y).
COLORREF AverageAround(const Capture& c, int x, int y, int radius = 2) {
    int r = 0, g = 0, b = 0, n = 0;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const COLORREF p = c.Pixel(x + dx, y + dy);
            if (p == CLR_INVALID) continue;
            r += GetRValue(p), g += GetGValue(p), b += GetBValue(p), ++n;
        }
    return n ? RGB(r / n, g / n, b / n) : CLR_INVALID;
}

std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// What the screen shows of the main window's parts at one moment.
struct Looks {
    Capture Go, CheckBox, Panel, Progress;
};

class SkinnedMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        FAddressBox = harness::AddressBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        ASSERT_NE(FAddressBox, nullptr);
        FAddressEdit = ::FindWindowExW(FAddressBox, nullptr, L"Edit", nullptr);
        FGo = harness::WithCaption(harness::FindDescendants(FForm, L"TsButton"), L"Go!");
        const auto checks = harness::FindDescendants(FForm, L"TsCheckBox");
        const auto bars = harness::FindDescendants(FForm, L"TsProgressBar");
        const auto statusBars = harness::FindDescendants(FForm, L"TStatusBar");
        FPanel = ::GetParent(FSkinBox);
        ASSERT_NE(FAddressEdit, nullptr);
        ASSERT_NE(FGo, nullptr) << "no \"Go!\" button";
        ASSERT_EQ(checks.size(), 1u);
        ASSERT_EQ(bars.size(), 1u);
        ASSERT_EQ(statusBars.size(), 1u);
        FCheckBox = checks.front();
        FProgress = bars.front();
        FStatusBar = statusBars.front();
        ASSERT_EQ(harness::ClassNameOf(FPanel), L"TsPanel");
        ::SetForegroundWindow(FForm);
    }

    void TearDown() override { FProgram.Kill(); }

    void Save(const Capture& shot, const std::wstring& name) {
        shot.SaveBmp((harness::ModuleFolder() + L"kestrune-skinned-" + name + L".bmp").c_str());
    }

    Capture Screen(HWND wnd) { return harness::CaptureWindow(wnd, CaptureSource::Screen); }

    // Waits until the window's pixels on the screen satisfy the predicate
    // (the program paints in its own time) and returns the last capture.
    template <class Pred>
    Capture ScreenWhen(HWND wnd, Pred pred, int timeoutMs = kStepMs) {
        Capture shot;
        PumpUntil(
            [&] {
                shot = Screen(wnd);
                return !shot.Empty() && pred(shot);
            },
            timeoutMs);
        return shot;
    }

    // Waits until the screen stops changing in the window.
    Capture Settled(HWND wnd) {
        Capture last = Screen(wnd);
        return ScreenWhen(wnd, [&](const Capture& now) {
            ::Sleep(150);
            const bool same = Differing(now, last, 0) == 0;
            last = now;
            return same;
        });
    }

    Looks Now() { return {Settled(FGo), Settled(FCheckBox), Settled(FPanel), Settled(FProgress)}; }

    // Picks the skin in the skin box: the box selects the item and tells its
    // parent, as it does on the user's choice.
    bool Choose(const std::wstring& name) { return harness::ChooseSkin(FSkinBox, name, kStepMs); }

    // The screen point of the first place on the title row, from the right,
    // that the window calls Code in its hit test.
    POINT TitlePointOf(LRESULT Code) {
        RECT r;
        ::GetWindowRect(FForm, &r);
        for (int y = r.top + 4; y < r.top + 30; y += 2)
            for (int x = r.right - 4; x > r.right - 200; --x) {
                DWORD_PTR answer = 0;
                ::SendMessageTimeoutW(FForm, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, kStepMs, &answer);
                if (static_cast<LRESULT>(answer) == Code) return {x - 3, y + 3};
            }
        return {-1, -1};
    }

    // A point inside the panel that no child covers: a panel pixel.
    POINT PanelPoint() const { return {600, 18}; }

    // Closes the program and starts it anew, with no skin chosen yet.
    void Restart() {
        harness::CloseKestrune(FProgram, FForm, kStepMs);
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        ::SetForegroundWindow(FForm);
    }

    // The program's visible layered top-level windows (glows, caption-button
    // overlays) that overlap the screen rectangle r.
    std::vector<HWND> LayeredOver(const RECT& r) const {
        LayeredSearch search{FProgram.Id(), FForm, r, {}};
        ::EnumWindows(CollectLayered, reinterpret_cast<LPARAM>(&search));
        return search.Found;
    }
    struct LayeredSearch {
        DWORD Process;
        HWND Form;
        RECT Area;
        std::vector<HWND> Found;
    };
    static BOOL CALLBACK CollectLayered(HWND wnd, LPARAM data) {
        auto& s = *reinterpret_cast<LayeredSearch*>(data);
        DWORD process = 0;
        ::GetWindowThreadProcessId(wnd, &process);
        RECT w, common;
        if (process == s.Process && wnd != s.Form && ::IsWindowVisible(wnd) &&
            (::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0 && ::GetWindowRect(wnd, &w) &&
            ::IntersectRect(&common, &w, &s.Area))
            s.Found.push_back(wnd);
        return TRUE;
    }

    harness::HttpTestServer FServer;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    HWND FSkinBox = nullptr;
    HWND FAddressBox = nullptr;
    HWND FAddressEdit = nullptr;
    HWND FGo = nullptr;
    HWND FCheckBox = nullptr;
    HWND FProgress = nullptr;
    HWND FStatusBar = nullptr;
    HWND FPanel = nullptr;
};

}  // namespace

TEST_F(SkinnedMainWindow, EachOwnSkinPaintsTheControlsReactsToTheMouseAndShowsAFetch) {
    // A page that arrives in parts, so the bar has time to move.
    harness::HttpResponse page;
    page.ContentType = "text/plain";
    for (int i = 0; i < 200; ++i) page.Body += "Kestrune skinned progress line " + std::to_string(i) + "\r\n";
    page.ChunkSize = page.Body.size() / 4 + 1;
    page.ChunkDelayMs = 400;
    FServer.Route("/slow", page);
    const std::string url = FServer.Url("/slow");
    const std::wstring address(url.begin(), url.end());

    const POINT away = {harness::CentreOf(FForm).x, harness::CentreOf(FForm).y + 120};
    ASSERT_TRUE(harness::MoveMouseTo(away));
    const Looks plain = Now();
    Save(plain.Panel, L"plain-panel");
    Save(Screen(FForm), L"plain");
    const COLORREF plainPanel = AverageAround(plain.Panel, PanelPoint().x, PanelPoint().y);

    bool typed = false;
    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        const COLORREF face = FaceOf(skin);
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(Choose(name)) << "the skin box did not take " << Narrow(name);
        // The keyboard focus goes to the address box, so that "Go!" shows
        // its plain look (a focused button looks hot).
        ASSERT_TRUE(harness::ClickAt(harness::CentreOf(FAddressEdit)));
        ASSERT_TRUE(harness::MoveMouseTo(away));
        const Looks normal = Now();

        // The panel shows the skin's face colour, not the plain one.
        const COLORREF panel = AverageAround(normal.Panel, PanelPoint().x, PanelPoint().y);
        EXPECT_LE(Distance(panel, face), 24) << "panel " << Hex(panel) << ", skin face " << Hex(face);
        EXPECT_GT(Differing(normal.Panel, plain.Panel), normal.Panel.Width * normal.Panel.Height / 4)
            << "the panel looks as it does without a skin";
        if (Distance(face, plainPanel) > 24) { EXPECT_GT(Distance(panel, plainPanel), 24); }
        // The button, the check box and the progress bar are painted by the skin.
        EXPECT_GT(Differing(normal.Go, plain.Go), 20) << "\"Go!\" looks as it does without a skin";
        EXPECT_GT(Differing(normal.CheckBox, plain.CheckBox), 20) << "the check box looks as it does without a skin";
        EXPECT_GT(Differing(normal.Progress, plain.Progress), 20) << "the bar looks as it does without a skin";

        // Hover: the hot look.
        const POINT go = harness::CentreOf(FGo);
        ASSERT_TRUE(harness::MoveMouseTo(go));
        const Capture hot = ScreenWhen(FGo, [&](const Capture& c) { return Differing(c, normal.Go) > 20; });
        EXPECT_GT(Differing(hot, normal.Go), 20) << "\"Go!\" looks the same under the pointer";

        // Pressed: the pressed look; the press ends away from the button so
        // that it is no click.
        ASSERT_TRUE(harness::LeftButton(true));
        const Capture pressed = ScreenWhen(FGo, [&](const Capture& c) { return Differing(c, hot) > 20; });
        ASSERT_TRUE(harness::MoveMouseTo(away));
        ASSERT_TRUE(harness::LeftButton(false));
        EXPECT_GT(Differing(pressed, hot), 20) << "\"Go!\" looks the same pressed as hot";
        EXPECT_GT(Differing(pressed, normal.Go), 20) << "\"Go!\" looks the same pressed as normal";

        Save(normal.Go, name + L"-go-normal");
        Save(hot, name + L"-go-hot");
        Save(pressed, name + L"-go-pressed");
        Save(Screen(FForm), name);

        // A fetch moves the bar.
        if (!typed) {
            ASSERT_NO_FATAL_FAILURE(harness::TypeAddress(FForm, FAddressEdit, FAddressBox, address, kStepMs));
            typed = true;
        }
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(FGo) != FALSE; }, kFetchMs)) << "Go! stays disabled";
        const Capture idleBar = Settled(FProgress);
        const std::size_t served = FServer.Requests().size();
        ASSERT_TRUE(harness::ClickAt(go));
        const Capture moving =
            ScreenWhen(FProgress, [&](const Capture& c) { return Differing(c, idleBar) > 4; }, kFetchMs);
        Save(moving, name + L"-progress");
        EXPECT_GT(Differing(moving, idleBar), 4) << "the bar did not change during the fetch";
        EXPECT_TRUE(PumpUntil([&] { return FServer.Requests().size() > served; }, kFetchMs)) << "no request";
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(FGo) != FALSE; }, kFetchMs)) << "the fetch did not end";
        ASSERT_TRUE(harness::MoveMouseTo(away));
    }
}

// The window's frame: once a skin is chosen and the window activated again,
// its border, title bar and close button are drawn from the skin, and the
// close button lights up under the mouse. The pictures of the whole window
// land beside the test program (kestrune-frame-<skin>.bmp).
TEST_F(SkinnedMainWindow, EachOwnSkinFramesTheWindow) {
    const POINT away = {harness::CentreOf(FForm).x, harness::CentreOf(FForm).y + 120};
    ASSERT_TRUE(harness::MoveMouseTo(away));
    const Capture plain = Settled(FForm);
    Save(plain, L"frame-plain");

    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(Choose(name));
        harness::ActivateAgain(FForm, kStepMs);
        ScreenWhen(FForm, [&](const Capture& c) { return Differing(c, plain) > c.Width * 4; });
        const Capture settled = Settled(FForm);
        Save(settled, L"frame-" + name);

        // The title bar between its top and bottom colours of the skin.
        const COLORREF title = AverageAround(settled, settled.Width / 2, 6, 2);
        const COLORREF top = RGB(skingen::RedOf(skin.TitleTop), skingen::GreenOf(skin.TitleTop), skin.TitleTop & 0xFF);
        const COLORREF bottom =
            RGB(skingen::RedOf(skin.TitleBottom), skingen::GreenOf(skin.TitleBottom), skin.TitleBottom & 0xFF);
        EXPECT_LE(std::min(Distance(title, top), Distance(title, bottom)), Distance(top, bottom) + 24)
            << "title " << Hex(title) << ", skin " << Hex(top) << " to " << Hex(bottom);
        EXPECT_GT(Distance(title, plain.Pixel(plain.Width / 2, 6)), 24) << "the title looks as without a skin";
        // The border: its inner part on the left, right and bottom shows the
        // skin's face colour (the system frame is white there).
        const COLORREF face = FaceOf(skin);
        const int midY = settled.Height / 2;
        for (const POINT p : {POINT{2, midY}, POINT{settled.Width - 3, midY}, POINT{settled.Width / 2, settled.Height - 3}}) {
            EXPECT_LE(Distance(settled.Pixel(p.x, p.y), face), 12)
                << "border at (" << p.x << ", " << p.y << ") " << Hex(settled.Pixel(p.x, p.y)) << ", skin face " << Hex(face);
        }

        // The close button, found by the window's own hit test, turns hot.
        const POINT close = TitlePointOf(HTCLOSE);
        ASSERT_GE(close.x, 0) << "no close button in the hit test";
        RECT window;
        ::GetWindowRect(FForm, &window);
        const int cx = close.x - window.left, cy = close.y - window.top;
        const COLORREF normalClose = settled.Pixel(cx, cy);
        ASSERT_TRUE(harness::MoveMouseTo(close));
        const Capture hot = ScreenWhen(FForm, [&](const Capture& c) { return Distance(c.Pixel(cx, cy), normalClose) > 24; });
        EXPECT_GT(Distance(hot.Pixel(cx, cy), normalClose), 24) << "the close button does not light up";
        Save(hot, L"frame-" + name + L"-close-hot");
        // Over the title the close button is normal again.
        ASSERT_TRUE(harness::MoveMouseTo({(window.left + window.right) / 2, window.top + 8}));
        const Capture left = ScreenWhen(FForm, [&](const Capture& c) { return Distance(c.Pixel(cx, cy), normalClose) <= 8; });
        EXPECT_LE(Distance(left.Pixel(cx, cy), normalClose), 8) << "the close button stays hot";
        ASSERT_TRUE(harness::MoveMouseTo(away));
    }
}

// The first skin chosen frames the window at once, with the controls: the
// window is not deactivated and activated again in between. Each skin is
// the first one of a fresh program.
TEST_F(SkinnedMainWindow, TheFirstSkinFramesTheWindowAtOnce) {
    const POINT away = {harness::CentreOf(FForm).x, harness::CentreOf(FForm).y + 120};
    ASSERT_TRUE(harness::MoveMouseTo(away));
    const Capture plain = Settled(FForm);
    const COLORREF plainTitle = AverageAround(plain, plain.Width / 2, 6, 2);
    bool first = true;
    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        SCOPED_TRACE(Narrow(name));
        if (!first) {
            ASSERT_NO_FATAL_FAILURE(Restart());
        }
        first = false;
        ASSERT_TRUE(Choose(name));
        const Capture shot = ScreenWhen(FForm, [&](const Capture& c) {
            return Distance(AverageAround(c, c.Width / 2, 6, 2), plainTitle) > 24;
        });
        Save(shot, L"first-skin-" + name);
        const COLORREF title = AverageAround(shot, shot.Width / 2, 6, 2);
        const COLORREF top = RGB(skingen::RedOf(skin.TitleTop), skingen::GreenOf(skin.TitleTop), skin.TitleTop & 0xFF);
        const COLORREF bottom =
            RGB(skingen::RedOf(skin.TitleBottom), skingen::GreenOf(skin.TitleBottom), skin.TitleBottom & 0xFF);
        EXPECT_GT(Distance(title, plainTitle), 24) << "the title looks as without a skin: " << Hex(title);
        EXPECT_LE(std::min(Distance(title, top), Distance(title, bottom)), Distance(top, bottom) + 24)
            << "title " << Hex(title) << ", skin " << Hex(top) << " to " << Hex(bottom);
        // The close button is the skin's: the window's hit test finds it.
        EXPECT_GE(TitlePointOf(HTCLOSE).x, 0) << "no close button in the hit test";
    }
}

// "Go!" lit by the pointer (hot look and glow window), then the pointer goes
// straight out of the window to where no window of the program lies: the
// glow goes and the button looks normal again, without the pointer coming
// back.
TEST_F(SkinnedMainWindow, GlowsAndHotLooksEndWhenThePointerLeavesTheWindow) {
    const POINT away = {harness::CentreOf(FForm).x, harness::CentreOf(FForm).y + 120};
    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(Choose(name));
        // The focus goes to the address box: a focused button looks hot.
        ASSERT_TRUE(harness::ClickAt(harness::CentreOf(FAddressEdit)));
        ASSERT_TRUE(harness::MoveMouseTo(away));
        const Capture normal = Settled(FGo);
        RECT go;
        ::GetWindowRect(FGo, &go);

        ASSERT_TRUE(harness::MoveMouseTo(harness::CentreOf(FGo)));
        ASSERT_TRUE(PumpUntil([&] { return !LayeredOver(go).empty(); }, kStepMs)) << "no glow round \"Go!\"";
        const Capture hot = ScreenWhen(FGo, [&](const Capture& c) { return Differing(c, normal) > 20; });
        ASSERT_GT(Differing(hot, normal), 20) << "\"Go!\" does not look hot";

        // Straight out: beside the window at the button's height, or below it.
        RECT window;
        ::GetWindowRect(FForm, &window);
        POINT outside{window.right + 40, (go.top + go.bottom) / 2};
        if (outside.x >= ::GetSystemMetrics(SM_CXSCREEN)) outside = {(go.left + go.right) / 2, window.bottom + 40};
        ASSERT_TRUE(harness::MoveMouseTo(outside));
        EXPECT_TRUE(PumpUntil([&] { return LayeredOver(go).empty(); }, 5000)) << "the glow stays";
        const Capture left = ScreenWhen(FGo, [&](const Capture& c) { return Differing(c, normal) <= 4; }, 5000);
        Save(left, name + L"-go-left");
        EXPECT_LE(Differing(left, normal), 4) << "\"Go!\" stays hot";

        ::SetForegroundWindow(FForm);
    }
}

// Minimized by its caption button and restored, the window has no layered
// window of the program left over its caption buttons once the pointer has
// come back and gone. (While no window of the program lies under the
// pointer Wine keeps the pointer's last place, so the restored window first
// takes the minimize button as hot again: its glow is right until the
// pointer is seen elsewhere.)
TEST_F(SkinnedMainWindow, ARestoredWindowHasNoGlowLeftOverItsCaption) {
    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(Choose(name));
        RECT window;
        ::GetWindowRect(FForm, &window);
        POINT outside{window.right + 40, (window.top + window.bottom) / 2};
        if (outside.x >= ::GetSystemMetrics(SM_CXSCREEN)) outside = {(window.left + window.right) / 2, window.bottom + 40};
        // Minimized by its caption button and restored.
        const POINT min = TitlePointOf(HTMINBUTTON);
        ASSERT_GE(min.x, 0) << "no minimize button in the hit test";
        ASSERT_TRUE(harness::ClickAt(min));
        // The main form goes with the application: hidden or iconic.
        auto shown = [&] { return ::IsWindowVisible(FForm) && !::IsIconic(FForm); };
        ASSERT_TRUE(PumpUntil([&] { return !shown(); }, kStepMs)) << "not minimized";
        ASSERT_TRUE(harness::MoveMouseTo(outside));
        ::PostMessageW(FForm, WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_TRUE(PumpUntil(shown, kStepMs)) << "not restored";
        // Back over the window's client area, then out again.
        RECT client;
        ::GetClientRect(FForm, &client);
        ::MapWindowPoints(FForm, nullptr, reinterpret_cast<POINT*>(&client), 2);
        ASSERT_TRUE(harness::MoveMouseTo(POINT{(client.left + client.right) / 2, client.bottom - 10}));
        Settled(FForm);
        ASSERT_TRUE(harness::MoveMouseTo(outside));
        RECT title = window;
        title.bottom = title.top + ::GetSystemMetrics(SM_CYCAPTION) + 8;
        PumpUntil([&] { return LayeredOver(title).empty(); }, 5000);
        const Capture restored = Settled(FForm);
        Save(restored, name + L"-restored");
        for (HWND w : LayeredOver(title)) {
            RECT r;
            ::GetWindowRect(w, &r);
            ADD_FAILURE() << "a layered window of class " << Narrow(harness::ClassNameOf(w)) << " at (" << r.left << ", "
                          << r.top << ")-(" << r.right << ", " << r.bottom << "), extended style " << std::hex
                          << ::GetWindowLongW(w, GWL_EXSTYLE) << ", stays over the title";
        }
        ::SetForegroundWindow(FForm);
    }
}
