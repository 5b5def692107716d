// Kestrune's picture pane end to end: the real program, run from a folder of
// its own whose skins folder holds the flat test skin, with that skin chosen
// loads a picture larger than the pane through its "load" button and open
// dialog; the pane's scroll bars then show the skin's scroll-bar colours on
// the screen. The picture of the pane lands beside the test program
// (kestrune-picture-pane.bmp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "GuiHarness.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"
#include "SkinImage.h"
#include "TestImages.h"
#include "TestSkin.h"
#include "TestSkinManager.h"

namespace fs = std::filesystem;

namespace {

using harness::PumpUntil;
using kestrune_test::TestRef;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 15000;

class PicturePaneEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(harness::KestruneBuildFolder() / L"Kestrune.exe")) << "Kestrune.exe is not built";
        FFolder.Create(L"picture");
        skingen::WriteTestSkin(FFolder.Path() / L"Skins" / L"Test");
        // A picture far larger than the pane, in one flat colour.
        const skingen::Image image(1400, 1100, skingen::Opaque(0x3366CC));
        const std::vector<std::uint8_t> png = skingen::EncodePNG(image);
        std::ofstream(FFolder.Path() / L"big.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, FFolder.Exe().wstring(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr) << "no skin box (a TsComboBox at left 670)";
        FLoad = harness::WithCaption(harness::FindDescendants(FForm, L"TsButton"), L"load");
        ASSERT_NE(FLoad, nullptr) << "no \"load\" button";
        ::SetForegroundWindow(FForm);
    }

    void TearDown() override {
        if (HasFailure() && FForm && ::IsWindow(FForm))
            harness::CaptureWindow(FForm, harness::CaptureSource::Screen)
                .SaveBmp((harness::ModuleFolder() + L"kestrune-picture-pane-failure.bmp").c_str());
        FProgram.Kill();
        FFolder.Remove();
    }

    // Picks the skin in the skin box as the user's choice does.
    bool Choose(const std::wstring& name) { return harness::ChooseSkin(FSkinBox, name, kStepMs); }

    // "load", then the file typed into the open dialog and confirmed.
    void LoadPicture(const fs::path& file) {
        ::PostMessageW(FLoad, BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (dialog = harness::VisibleTopWindowOf(FProgram.Id(), L"#32770")) != nullptr; }, kStepMs))
            << "no open dialog appeared";
        const std::wstring name = file.wstring();
        constexpr int kFileNameEdit = 0x0480;    // edt1 of the classic dialog
        constexpr int kFileNameCombo = 0x047C;   // cmb13 of the explorer-style one
        for (const int id : {kFileNameEdit, kFileNameCombo})
            if (HWND field = ::GetDlgItem(dialog, id)) ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, kStepMs))
            << "the open dialog stayed";
    }

    harness::KestruneFolder FFolder;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    HWND FSkinBox = nullptr;
    HWND FLoad = nullptr;
    HWND FPane = nullptr;
};

bool IsOneOf(COLORREF c, std::initializer_list<COLORREF> set) {
    for (COLORREF s : set)
        if (c == s) return true;
    return false;
}

}  // namespace

TEST_F(PicturePaneEndToEnd, ABigPictureWithTheSkinChosenShowsSkinnedScrollBars) {
    ASSERT_TRUE(Choose(L"Test")) << "the skin box did not take the test skin";
    ASSERT_NO_FATAL_FAILURE(LoadPicture(FFolder.Path() / L"big.png"));
    // The pane's window is made when the picture page first shows.
    ASSERT_TRUE(PumpUntil([&] {
        const auto boxes = harness::FindDescendants(FForm, L"TsScrollBox");
        FPane = boxes.empty() ? nullptr : boxes.front();
        return FPane != nullptr;
    }, kStepMs)) << "no TsScrollBox window";
    ASSERT_TRUE(PumpUntil([&] {
        const LONG style = ::GetWindowLongW(FPane, GWL_STYLE);
        return ::IsWindowVisible(FPane) && (style & WS_VSCROLL) && (style & WS_HSCROLL);
    }, kStepMs)) << "the pane shows no scroll bars";
    EXPECT_NE(::GetPropW(FPane, L"ACSBSC"), nullptr) << "no scrolling adapter on the pane";

    // Both tracks below and right of their thumbs (at the start) show the
    // skin's second track section; the arrows their button sections.
    RECT wr{};
    ::GetWindowRect(FPane, &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    const int cxv = ::GetSystemMetrics(SM_CXVSCROLL), cyh = ::GetSystemMetrics(SM_CYHSCROLL);
    const int arrowV = ::GetSystemMetrics(SM_CYVSCROLL), arrowH = ::GetSystemMetrics(SM_CXHSCROLL);
    const int frame = 2;
    const POINT vTrack{w - frame - cxv / 2, h - frame - cyh - arrowV - 8};
    const POINT hTrack{w - frame - cxv - arrowH - 8, h - frame - cyh / 2};
    const COLORREF v2 = TestRef(skingen::TestSectionColour("SCROLLBAR2V", 0));
    const COLORREF h2 = TestRef(skingen::TestSectionColour("SCROLLBAR2H", 0));
    const COLORREF v2p = TestRef(skingen::TestMaskColour("SCROLLBAR2V", "PATTERN", 0));
    const COLORREF h2p = TestRef(skingen::TestMaskColour("SCROLLBAR2H", "PATTERN", 0));
    harness::Capture shot;
    const bool shown = PumpUntil([&] {
        shot = harness::CaptureWindow(FPane, harness::CaptureSource::Screen);
        return IsOneOf(shot.Pixel(vTrack.x, vTrack.y), {v2, v2p}) && IsOneOf(shot.Pixel(hTrack.x, hTrack.y), {h2, h2p});
    }, kStepMs);
    harness::CaptureWindow(FForm, harness::CaptureSource::Screen)
        .SaveBmp((harness::ModuleFolder() + L"kestrune-picture-pane.bmp").c_str());
    EXPECT_TRUE(shown) << std::hex << "vertical track " << shot.Pixel(vTrack.x, vTrack.y) << ", horizontal track "
                       << shot.Pixel(hTrack.x, hTrack.y);
    EXPECT_TRUE(shot.Contains(TestRef(skingen::TestSectionColour("SCROLLSLIDERV", 0))) ||
                shot.Contains(TestRef(skingen::TestMaskColour("SCROLLSLIDERV", "BORDERSMASK", 0))))
        << "no thumb of the skin";
    EXPECT_TRUE(shot.Contains(RGB(0x33, 0x66, 0xCC), 2)) << "the picture itself";
}

TEST_F(PicturePaneEndToEnd, PngPicturesShowEveryRowAsTheirFilesHoldIt) {
    // Truecolour pictures without alpha, 8 and 16 bits a sample, one colour a
    // row and every row another: the pane shows each row of the file, the
    // last one too, in the plain look and with a skin.
    constexpr int kWidth = 400, kHeight = 300;
    auto rowColour = [](int y) {
        return RGB(y & 0xFF, 0x80 + (y >> 8) * 0x20, 0xC0 - (y & 0x3F));
    };
    for (const int depth : {8, 16}) {
        const int scale = depth == 16 ? 257 : 1;
        const std::string png = harness::MakeRgbPng(kWidth, kHeight, depth, [&](int, int y) {
            const COLORREF c = rowColour(y);
            return std::array<std::uint16_t, 3>{static_cast<std::uint16_t>(GetRValue(c) * scale),
                                                static_cast<std::uint16_t>(GetGValue(c) * scale),
                                                static_cast<std::uint16_t>(GetBValue(c) * scale)};
        });
        std::ofstream(FFolder.Path() / (L"rows" + std::to_wstring(depth) + L".png"), std::ios::binary) << png;
    }
    struct Look {
        const wchar_t* Skin;   // nullptr: the plain look
        const wchar_t* Shot;
    };
    for (const Look look : {Look{nullptr, L"plain"}, Look{L"Test", L"skinned"}}) {
        if (look.Skin) {
            ASSERT_TRUE(Choose(look.Skin));
        }
        for (const int depth : {8, 16}) {
            const std::wstring name = L"rows" + std::to_wstring(depth);
            SCOPED_TRACE(std::string(name.begin(), name.end()) + (look.Skin ? " skinned" : " plain"));
            ASSERT_NO_FATAL_FAILURE(LoadPicture(FFolder.Path() / (name + L".png")));
            ASSERT_TRUE(PumpUntil([&] {
                const auto boxes = harness::FindDescendants(FForm, L"TsScrollBox");
                FPane = boxes.empty() ? nullptr : boxes.front();
                return FPane != nullptr && ::IsWindowVisible(FPane);
            }, kStepMs)) << "no picture pane";
            harness::Capture shot;
            auto wrongRows = [&] {
                std::string wrong;
                for (const int y : {0, 1, kHeight / 2, kHeight - 2, kHeight - 1}) {
                    int differing = 0;
                    for (int x = 0; x < kWidth; ++x) differing += shot.Pixel(x, y) != rowColour(y);
                    if (differing) wrong += " row " + std::to_string(y) + ": " + std::to_string(differing) + " pixels";
                }
                return wrong;
            };
            const bool exact = PumpUntil([&] {
                shot = harness::CaptureWindow(FPane, harness::CaptureSource::Screen, true);
                return wrongRows().empty();
            }, kStepMs);
            shot.SaveBmp((harness::ModuleFolder() + L"kestrune-picture-" + name + L"-" + look.Shot + L".bmp").c_str());
            EXPECT_TRUE(exact) << "differ from the file:" << wrongRows() << "; below the picture "
                               << std::hex << shot.Pixel(10, kHeight);
        }
    }
}
