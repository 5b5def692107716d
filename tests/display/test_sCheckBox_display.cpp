// The skinned check box on a real screen with the test skin: its normal
// paint (no DC in wParam) reaches the screen, a real click toggles it and
// shows the checked mark, and the picture is kept in the build tree
// (skinned-checkbox.bmp beside the test program).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "sCheckBox.h"
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

std::wstring BesideProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (fs::path(path).parent_path() / name).wstring();
}

void ClickAt(POINT p) {
    ::SetCursorPos(p.x, p.y);
    INPUT in[2] = {};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].type = INPUT_MOUSE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
}

TEST(SkinnedCheckBoxDisplay, TheScreenShowsTheMarkAndARealClickTogglesIt) {
    std::random_device r;
    const fs::path root = fs::temp_directory_path() / ("kestrune-chk-display-" + std::to_string(r()));
    skingen::WriteTestSkin(root / "Test");
    auto* manager = New<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(root.u16string());
    manager->SetSkinName(u"Test");
    ASSERT_TRUE(manager->SkinData()->Active);

    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 240, 80);
    auto* box = New<TsCheckBox>(form);
    box->SetParent(form);
    box->SetBounds(10, 10, 140, 24);
    box->SetCaption(u"win-1251 ->utf-8");
    form->Show();

    const TRect m = box->CheckRect();
    const POINT centre{box->Left() + (m.Left + m.Right) / 2, box->Top() + (m.Top + m.Bottom) / 2};
    auto markShows = [&](const char* mask, int frame, harness::Capture& cap) {
        const COLORREF want = Ref(skingen::TestMaskColour("GLOBALINFO", mask, frame));
        return harness::PumpUntil(
            [&] {
                harness::PumpUntilIdle(20, 200);
                cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
                return cap.Pixel(centre.x, centre.y) == want;
            },
            5000);
    };
    harness::Capture cap;
    EXPECT_TRUE(markShows("BOXUNCHECKED", 0, cap)) << std::hex << cap.Pixel(centre.x, centre.y);

    // A real click: pressed on the way down, checked (and hot, the mouse
    // still above it) after the release.
    ClickAt(form->ClientToScreen(centre));
    EXPECT_TRUE(harness::PumpUntil([&] { return box->Checked(); }, 5000));
    EXPECT_TRUE(markShows("BOXCHECKED", 1, cap)) << std::hex << cap.Pixel(centre.x, centre.y);
    cap.SaveBmp(BesideProgram(L"skinned-checkbox.bmp").c_str());

    form->Free();
    manager->Free();
    harness::PumpUntilIdle(10, 500);
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
