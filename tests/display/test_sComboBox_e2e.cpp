// Kestrune's two combo boxes under one of its own skins, end to end: the real
// program in its own process and the real mouse. Each box shows its closed,
// hot, dropped and focused looks on the screen; its dropped list is skinned
// (it answers the skin command that asks whether a window is skinned).
// Screenshots of every look land beside the test program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiHarness.h"
#include "OwnSkins.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"

namespace {

using harness::Capture;
using harness::CaptureSource;
using harness::PumpUntil;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;
constexpr UINT kSkinCommand = 0xA100;

int Differing(const Capture& a, const Capture& b) { return harness::DifferingPixels(a, b, 8); }

class ComboBoxesOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        FAddressBox = harness::AddressBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        ASSERT_NE(FAddressBox, nullptr);
        const auto views = harness::FindDescendants(FForm, L"TsRichEdit");
        ASSERT_EQ(views.size(), 1u);
        FTextView = views.front();
        ::SetForegroundWindow(FForm);
    }
    void TearDown() override { FProgram.Kill(); }

    void Save(const Capture& shot, const std::wstring& name) {
        shot.SaveBmp((harness::ModuleFolder() + L"kestrune-combo-" + name + L".bmp").c_str());
    }
    Capture Screen(HWND wnd) { return harness::CaptureWindow(wnd, CaptureSource::Screen); }
    // The window's pixels once they stop changing.
    Capture Settled(HWND wnd) {
        Capture last = Screen(wnd), now;
        PumpUntil(
            [&] {
                ::Sleep(150);
                now = Screen(wnd);
                const bool same = harness::DifferingPixels(now, last, 0) == 0;
                last = now;
                return same;
            },
            kStepMs);
        return now;
    }
    // Waits until the window's pixels differ from Other; the last capture.
    Capture DifferentFrom(HWND wnd, const Capture& Other) {
        Capture shot;
        PumpUntil(
            [&] {
                shot = Screen(wnd);
                return Differing(shot, Other) > 20;
            },
            kStepMs);
        return Settled(wnd);
    }
    // The program's visible drop-down list window ("ComboLBox").
    HWND OpenList() {
        HWND found = nullptr;
        PumpUntil([&] { return (found = harness::VisibleTopWindowOf(FProgram.Id(), L"ComboLBox")) != nullptr; },
                  kStepMs);
        return found;
    }
    bool Choose(const std::wstring& name) { return harness::ChooseSkin(FSkinBox, name, kStepMs); }
    // A point on the box's drop-down button, in screen coordinates.
    static POINT ButtonPoint(HWND box) {
        RECT r;
        ::GetWindowRect(box, &r);
        return {r.right - 8, (r.top + r.bottom) / 2};
    }

    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    HWND FSkinBox = nullptr;
    HWND FAddressBox = nullptr;
    HWND FTextView = nullptr;
};

}  // namespace

TEST_F(ComboBoxesOnScreen, BothBoxesShowClosedHotDroppedAndFocusedLooks) {
    const skingen::Theme& skin = skingen::OwnThemes().front();
    const std::wstring skinName(skin.Name.begin(), skin.Name.end());
    ASSERT_TRUE(Choose(skinName));
    const POINT away = {harness::CentreOf(FForm).x, harness::CentreOf(FForm).y + 120};

    const struct {
        HWND Box;
        const wchar_t* Name;
    } boxes[] = {{FAddressBox, L"address"}, {FSkinBox, L"skin"}};
    for (const auto& b : boxes) {
        SCOPED_TRACE(std::string(b.Name, b.Name + wcslen(b.Name)));
        // The focus goes elsewhere first: a click into the text view.
        ASSERT_TRUE(harness::ClickAt(harness::CentreOf(FTextView)));
        ASSERT_TRUE(harness::MoveMouseTo(away));
        const Capture closed = Settled(b.Box);
        Save(closed, std::wstring(b.Name) + L"-closed");

        ASSERT_TRUE(harness::MoveMouseTo(ButtonPoint(b.Box)));
        const Capture hot = DifferentFrom(b.Box, closed);
        Save(hot, std::wstring(b.Name) + L"-hot");
        EXPECT_GT(Differing(hot, closed), 20) << "the hot look";

        ASSERT_TRUE(harness::LeftButton(true));
        ASSERT_TRUE(harness::LeftButton(false));
        const HWND list = OpenList();
        ASSERT_NE(list, nullptr) << "the list did not drop";
        const Capture dropped = DifferentFrom(b.Box, hot);
        Save(dropped, std::wstring(b.Name) + L"-dropped");
        const Capture listShot = Settled(list);
        Save(listShot, std::wstring(b.Name) + L"-list");
        EXPECT_GT(Differing(dropped, closed), 20) << "the dropped look";
        DWORD_PTR skinned = 0;
        ::SendMessageTimeoutW(list, kSkinCommand, static_cast<WPARAM>(7) << 16, 0, SMTO_NORMAL, kStepMs, &skinned);
        EXPECT_EQ(skinned, 1u) << "the list has no adapter";

        // Choosing the current item closes the list; the box keeps the focus.
        const LRESULT current = ::SendMessageW(b.Box, CB_GETCURSEL, 0, 0);
        RECT item{};
        ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(current < 0 ? 0 : current),
                       reinterpret_cast<LPARAM>(&item));
        POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ::ClientToScreen(list, &at);
        ASSERT_TRUE(harness::ClickAt(at));
        ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(list); }, kStepMs)) << "the list stays open";
        ASSERT_TRUE(harness::MoveMouseTo(away));
        const Capture focused = Settled(b.Box);
        Save(focused, std::wstring(b.Name) + L"-focused");
        EXPECT_GT(Differing(focused, closed), 20) << "the focused look";
    }
    Save(Screen(FForm), L"form");
}
