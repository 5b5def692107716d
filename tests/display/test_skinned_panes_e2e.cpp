// Kestrune's text view, header pane and log pane under each of its own
// skins, end to end: the real program in its own process fetches a page
// (through a redirect) from a loopback HTTP server while a skin is chosen;
// the page, its headers and the redirect land in the panes, and the screen
// shows the panes in the skin's edit colours with their text on them. A
// picture of the whole window per skin lands beside the test program
// (kestrune-<skin>.bmp).
#include <gtest/gtest.h>

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
using harness::TextOf;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;
constexpr int kFetchMs = 30000;

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

class SkinnedPanesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        FAddressBox = harness::AddressBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        ASSERT_NE(FAddressBox, nullptr);
        FAddressEdit = ::FindWindowExW(FAddressBox, nullptr, L"Edit", nullptr);
        ASSERT_NE(FAddressEdit, nullptr);
        FGo = harness::WithCaption(harness::FindDescendants(FForm, L"TsButton"), L"Go!");
        ASSERT_NE(FGo, nullptr);
        const auto views = harness::FindDescendants(FForm, L"TsRichEdit");
        ASSERT_EQ(views.size(), 1u);
        FTextView = views.front();
        const auto memos = harness::FindDescendants(FForm, L"TsMemo");
        FLog = harness::AtLeft(memos, 8);
        FHeader = harness::AtLeft(memos, 343);
        ASSERT_NE(FLog, nullptr);
        ASSERT_NE(FHeader, nullptr);
        ::SetForegroundWindow(FForm);
    }
    void TearDown() override { harness::CloseKestrune(FProgram, FForm, kStepMs); }

    bool Choose(const std::wstring& Name) { return harness::ChooseSkin(FSkinBox, Name, kStepMs); }

    // The client area of a pane as the screen shows it, once it holds at
    // least a few glyph pixels on the edit colour.
    Capture ClientWhenDrawn(HWND Pane, COLORREF Back) {
        Capture shot;
        PumpUntil(
            [&] {
                shot = harness::CaptureWindow(Pane, CaptureSource::Screen, true);
                const int all = shot.Width * shot.Height;
                return !shot.Empty() && shot.Count(Back, 12) > all / 2 && all - shot.Count(Back, 40) > 100;
            },
            kStepMs);
        return shot;
    }

    // Activates a window of the test's own and then the program's window
    // again: a form without a skin provider gets one when it is activated.
    void ActivateAgain() {
        HWND other = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                                       nullptr, nullptr, nullptr);
        ::SetForegroundWindow(other);
        PumpUntil([&] { return ::GetForegroundWindow() == other; }, kStepMs);
        ::SetForegroundWindow(FForm);
        PumpUntil([&] { return ::GetForegroundWindow() == FForm; }, kStepMs);
        ::DestroyWindow(other);
    }

    harness::HttpTestServer FServer;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr, FSkinBox = nullptr, FAddressBox = nullptr, FAddressEdit = nullptr, FGo = nullptr;
    HWND FTextView = nullptr, FLog = nullptr, FHeader = nullptr;
};

}  // namespace

TEST_F(SkinnedPanesEndToEnd, AFetchFillsThePanesUnderEachOwnSkin) {
    harness::HttpResponse hop;
    hop.Code = 302;
    hop.Reason = "Found";
    hop.Headers = {{"Location", "/page"}, {"X-Kestrune-Probe", "skinned-hop-41c7"}};
    FServer.Route("/start", hop);
    harness::HttpResponse page;
    page.ContentType = "text/plain";
    // More lines than the view shows, and one longer than it is wide: both
    // scroll bars show.
    for (int i = 0; i < 80; ++i) page.Body += "WWWW MMMM Kestrune skinned page line " + std::to_string(i) + "\r\n";
    page.Body += std::string(400, '#') + "\r\n";
    page.ChunkSize = page.Body.size() / 3 + 1;
    page.ChunkDelayMs = 300;
    FServer.Route("/page", page);
    const std::string url = FServer.Url("/start");
    const std::wstring address(url.begin(), url.end());
    // A place on the bottom panel between its buttons: no pane is hot.
    RECT form{};
    ::GetWindowRect(FForm, &form);
    const POINT away = {form.left + 400, form.bottom - 40};

    bool typed = false;
    for (const skingen::Theme& skin : skingen::OwnThemes()) {
        const std::wstring name(skin.Name.begin(), skin.Name.end());
        SCOPED_TRACE(skin.Name);
        ASSERT_TRUE(Choose(name)) << "the skin box did not take " << skin.Name;
        if (!typed) {
            ASSERT_NO_FATAL_FAILURE(harness::TypeAddress(FForm, FAddressEdit, FAddressBox, address, kStepMs));
            typed = true;
        }
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(FGo) != FALSE; }, kFetchMs)) << "Go! stays disabled";
        const std::size_t served = FServer.Requests().size();
        ASSERT_TRUE(harness::ClickAt(harness::CentreOf(FGo)));
        ASSERT_TRUE(PumpUntil([&] { return FServer.Requests().size() >= served + 2; }, kFetchMs)) << "no fetch";
        ASSERT_TRUE(PumpUntil(
            [&] { return ::IsWindowEnabled(FGo) != FALSE && Contains(TextOf(FTextView), L"page line 79"); }, kFetchMs))
            << "the fetch did not end with the page shown";
        ASSERT_TRUE(harness::MoveMouseTo(away));

        // All of the page, its first response's headers and the redirect.
        const std::wstring text = TextOf(FTextView);
        EXPECT_TRUE(Contains(text, L"Kestrune skinned page line 0\r\n")) << "the page's start is missing";
        EXPECT_TRUE(Contains(text, std::wstring(400, L'#'))) << "the page's end is missing";
        EXPECT_TRUE(Contains(TextOf(FHeader), L"X-Kestrune-Probe: skinned-hop-41c7"));
        EXPECT_TRUE(Contains(TextOf(FLog), L"Redirected to: "));

        // On the screen: each pane in the skin's edit colour with its text.
        const COLORREF back = Ref(skin.EditBack);
        for (HWND pane : {FTextView, FHeader, FLog}) {
            SCOPED_TRACE(pane == FTextView ? "text view" : pane == FHeader ? "header pane" : "log pane");
            const Capture client = ClientWhenDrawn(pane, back);
            const int all = client.Width * client.Height;
            EXPECT_GT(client.Count(back, 12), all / 2) << "the pane does not show the skin's edit colour";
            EXPECT_GT(all - client.Count(back, 40), 100) << "no text on the pane";
        }
        // The picture with the window's frame from the skin too.
        ActivateAgain();
        ASSERT_TRUE(harness::MoveMouseTo(away));
        PumpUntil([] { return false; }, 800);
        harness::CaptureWindow(FForm, CaptureSource::Screen)
            .SaveBmp((harness::ModuleFolder() + L"kestrune-" + name + L".bmp").c_str());
    }
}
