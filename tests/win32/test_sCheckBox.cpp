// The skinned check box on a real window with the test skin: the three marks
// and their normal, hot and pressed frames read back through WM_PRINT and the
// screen, toggling on release by mouse and space, a press that leaves before
// release, read-only boxes, a state stored while loading, bad frame counts in
// a skin, and the window's own state coming back when the skin is removed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "WorkBitmaps.h"
#include "ImgList.h"
#include "sCheckBox.h"
#include <commctrl.h>
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using harness::BesideProgram;

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
COLORREF Mark(const char* mask, int frame) { return Ref(skingen::TestMaskColour("GLOBALINFO", mask, frame)); }
COLORREF Section(const char* name, int state = 0) { return Ref(skingen::TestSectionColour(name, state)); }

// A pixel no paint ever makes, put into the cached image to see whether a
// paint rebuilt it.
constexpr std::uint32_t kSentinel = 0xFF123456u;

// Colours match within one step per channel (blending rounds).
bool Near(COLORREF a, COLORREF b) {
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d < -1 || d > 1) return false;
    }
    return true;
}

class SkinnedCheckBox : public kestrune_test::TestSkinForm {
public:
    void Clicked(TObject*) { ++clicks; }

protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 360, 200));
        box = New<TsCheckBox>(form);
        box->SetParent(form);
        box->SetBounds(10, 10, 140, 24);
        box->SetCaption(u"win-1251 ->utf-8");
        box->SkinData()->SetSkinSection(u"CHECKBOX");
        box->SetImgChecked(0);
        box->SetImgUnchecked(0);
        box->OnClick = TNotifyEvent::Of<&SkinnedCheckBox::Clicked>(this);
        // A focused box shows its hot look; another control takes the focus.
        other = New<TEdit>(form);
        other->SetParent(form);
        other->SetBounds(10, 100, 100, 22);
        other->SetFocus();
        harness::PumpUntilIdle(20, 1000);
    }
    harness::Capture Print() {
        harness::PumpUntilIdle(10, 500);
        return harness::CaptureWindow(box->Handle(), harness::CaptureSource::Print, true);
    }
    // The colour in the middle of the mark.
    COLORREF MarkPixel(const harness::Capture& cap) {
        const TRect r = box->CheckRect();
        return cap.Pixel((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageW(box->Handle(), msg, w, l); }
    void Down() { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8)); }
    void Up() { Send(WM_LBUTTONUP, 0, MAKELPARAM(8, 8)); }

    TsCheckBox* box = nullptr;
    TEdit* other = nullptr;
    int clicks = 0;
};

TEST_F(SkinnedCheckBox, DrawsTheSkinMarkOfEachStateBesideItsSection) {
    ASSERT_TRUE(box->SkinData()->Skinned());
    // ImgChecked and ImgUnchecked 0 without Images: the skin's marks, one
    // frame of the mask in size, at the margin on the left, centred.
    const TRect r = box->CheckRect();
    EXPECT_EQ(r.Width(), skingen::TestFrameSize);
    EXPECT_EQ(r.Height(), skingen::TestFrameSize);
    EXPECT_EQ(r.Left, box->Margin());
    EXPECT_EQ(r.Top, (box->Height() - skingen::TestFrameSize) / 2);

    harness::Capture cap = Print();
    EXPECT_EQ(MarkPixel(cap), Mark("BOXUNCHECKED", 0));
    // The section's normal colour beside the mark, past the border.
    EXPECT_EQ(cap.Pixel(box->Width() - 8, 2 + skingen::TestBorderWidth), Section("CHECKBOX"));
    // The mask's key corners let the section show through.
    EXPECT_NE(cap.Pixel(r.Left, r.Top), RGB(255, 0, 255));

    box->SetChecked(true);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXCHECKED", 0));
    box->SetAllowGrayed(true);
    box->SetState(cbGrayed);
    cap = Print();
    EXPECT_EQ(MarkPixel(cap), Mark("BOXGRAYED", 0));
    cap.SaveBmp(BesideProgram(L"sCheckBox-grayed.bmp").c_str());

    // A normal paint carries no DC in wParam: the box paints through its
    // own update DC, rebuilding its image and validating the window.
    box->SetChecked(true);
    kestrune_test::Px(box->SkinData()->FCacheBmp, 1, 1) = kSentinel;
    ::InvalidateRect(box->Handle(), nullptr, TRUE);
    ::UpdateWindow(box->Handle());
    RECT pending{};
    EXPECT_FALSE(::GetUpdateRect(box->Handle(), &pending, FALSE));
    EXPECT_NE(kestrune_test::Px(box->SkinData()->FCacheBmp, 1, 1), kSentinel) << "the paint rebuilt the image";
}

TEST_F(SkinnedCheckBox, HotAndPressedFramesFollowTheMouse) {
    box->Perform(CM_MOUSEENTER, 0, 0);
    harness::Capture cap = Print();
    EXPECT_EQ(MarkPixel(cap), Mark("BOXUNCHECKED", 1));
    EXPECT_EQ(cap.Pixel(box->Width() - 8, 2 + skingen::TestBorderWidth), Section("CHECKBOX", 1));
    Down();
    EXPECT_TRUE(box->Pressed());
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXUNCHECKED", 2));
    Up();
    EXPECT_FALSE(box->Pressed());
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXCHECKED", 1));
}

TEST_F(SkinnedCheckBox, TogglesOnReleaseByMouseAndSpace) {
    Down();
    // The press takes the focus without a click; nothing changes before release.
    EXPECT_EQ(::GetFocus(), box->Handle());
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 0);
    Up();
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 1);

    Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_TRUE(box->Checked());
    EXPECT_TRUE(box->Pressed());
    Send(WM_KEYUP, VK_SPACE);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 2);

    // A release without a press does nothing, nor do other keys.
    Up();
    Send(WM_KEYDOWN, 'A');
    Send(WM_KEYUP, 'A');
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 2);

    // With AllowGrayed a click goes on to the grayed state, then checked.
    box->SetAllowGrayed(true);
    Down();
    Up();
    EXPECT_EQ(box->State(), cbGrayed);
    Down();
    Up();
    EXPECT_EQ(box->State(), cbChecked);
}

TEST_F(SkinnedCheckBox, APressLeftBeforeReleaseDoesNotToggle) {
    box->Perform(CM_MOUSEENTER, 0, 0);
    Down();
    ASSERT_TRUE(box->Pressed());
    box->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(box->Pressed());
    Up();
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXUNCHECKED", 1));   // focused, not pressed

    // A space press that loses the focus before its release ends there too.
    Send(WM_KEYDOWN, VK_SPACE);
    ASSERT_TRUE(box->Pressed());
    other->SetFocus();
    EXPECT_FALSE(box->Pressed());
    Send(WM_KEYUP, VK_SPACE);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXUNCHECKED", 0));
}

// A press is the skinned box's own only in manual drag mode; in automatic
// drag mode it goes to the standard handling (the system button takes it).
TEST_F(SkinnedCheckBox, APressIsHandledByTheSkinOnlyInManualDragMode) {
    for (TDragMode mode : {dmManual, dmAutomatic}) {
        SCOPED_TRACE(mode == dmManual ? "manual" : "automatic");
        box->DragMode = mode;
        Down();
        const bool systemPushed = (Send(BM_GETSTATE, 0) & BST_PUSHED) != 0;
        EXPECT_EQ(systemPushed, mode == dmAutomatic);
        EXPECT_EQ(box->Pressed(), mode == dmManual);
        Up();
        ::ReleaseCapture();
        harness::PumpUntilIdle(10, 300);
    }
    box->DragMode = dmManual;
}

TEST_F(SkinnedCheckBox, AReadOnlyBoxKeepsItsStateAgainstClicksAndKeys) {
    box->SetReadOnly(true);
    box->SetChecked(true);
    clicks = 0;
    Down();
    EXPECT_FALSE(box->Pressed());
    Up();
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(8, 8));
    Up();
    Send(WM_KEYDOWN, VK_SPACE);
    Send(WM_KEYUP, VK_SPACE);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 0);
    // Read-only shows no hot look even when the mouse is above.
    box->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXCHECKED", 0));

    // Unskinned too: the system button's click does not change it.
    manager->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    Down();
    Up();
    harness::PumpUntilIdle(10, 500);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 0);
    // Code may still set it.
    box->SetChecked(false);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 1);
}

TEST_F(SkinnedCheckBox, RemovingTheSkinGivesTheWindowItsStateAndPlainLookBack) {
    Down();
    Up();
    ASSERT_TRUE(box->Checked());
    // While skinned the window's own check state is not used.
    EXPECT_EQ(Send(BM_GETCHECK), BST_UNCHECKED);
    const COLORREF skinnedMark = MarkPixel(Print());
    EXPECT_EQ(skinnedMark, Mark("BOXCHECKED", 1));

    manager->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(box->SkinData()->Skinned());
    EXPECT_EQ(Send(BM_GETCHECK), BST_CHECKED);
    harness::Capture plain = Print();
    plain.SaveBmp(BesideProgram(L"sCheckBox-plain.bmp").c_str());
    EXPECT_FALSE(plain.Contains(Mark("BOXCHECKED", 1)));
    EXPECT_FALSE(plain.Contains(Mark("BOXCHECKED", 0)));
    EXPECT_FALSE(plain.Contains(Section("CHECKBOX")));

    // Unskinned the system button toggles it (the click comes back reflected).
    ::SendMessageW(box->Handle(), BM_CLICK, 0, 0);
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(Send(BM_GETCHECK), BST_UNCHECKED);

    manager->SetActive(true);
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXUNCHECKED", 1));   // still focused
}

TEST_F(SkinnedCheckBox, AStateStoredWhileLoadingIsKept) {
    auto* loaded = New<TsCheckBox>(form);
    loaded->SetComponentState(csLoading, true);
    loaded->OnClick = TNotifyEvent::Of<&SkinnedCheckBox::Clicked>(this);
    loaded->SetChecked(true);
    loaded->SetParent(form);
    loaded->SetBounds(10, 40, 140, 24);
    loaded->SetComponentState(csLoading, false);
    EXPECT_TRUE(loaded->Checked());
    EXPECT_EQ(clicks, 0);
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(::SendMessageW(loaded->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(SkinnedCheckBox, MasksWithoutFramesOrRowsDoNotBreakTheSize) {
    // Skin values are data: a glyph mask claiming no frames and no rows.
    const Integer index = manager->ConstData().CheckBoxChecked;
    ASSERT_GE(index, 0);
    auto& mask = const_cast<TsMaskData&>(manager->ma()[static_cast<std::size_t>(index)]);
    const TsMaskData saved = mask;
    for (const auto& [frames, type] : {std::pair{0, 1}, std::pair{3, -1}, std::pair{0, -1}}) {
        mask.ImageCount = static_cast<SmallInt>(frames);
        mask.MaskType = static_cast<SmallInt>(type);
        box->SetChecked(!box->Checked());
        const TRect r = box->CheckRect();
        EXPECT_GE(r.Width(), 0) << frames << "," << type;
        EXPECT_GE(r.Height(), 0) << frames << "," << type;
        EXPECT_FALSE(Print().Empty());
        box->Perform(CM_TEXTCHANGED);   // auto size measures the mark again
    }
    mask = saved;
    box->SetChecked(true);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXCHECKED", 0));
}

TEST_F(SkinnedCheckBox, UserGlyphsAndImageStripsGiveTheirFrames) {
    // Three square frames side by side: normal, hot, pressed.
    const COLORREF colours[3] = {RGB(200, 10, 10), RGB(10, 200, 10), RGB(10, 10, 200)};
    TBitmap* strip = New<TBitmap>(48, 16, pf24bit);
    for (int i = 0; i < 3; ++i) {
        strip->Canvas()->Brush()->SetColor(static_cast<TColor>(colours[i]));
        strip->Canvas()->FillRect(TRect(i * 16, 0, i * 16 + 16, 16));
    }
    box->SetGlyphChecked(strip);
    box->SetGlyphUnChecked(strip);
    strip->Free();
    box->SetAutoSize(false);
    box->SetBounds(10, 10, 140, 24);
    EXPECT_EQ(box->CheckWidth(), 16);
    EXPECT_EQ(box->CheckHeight(), 16);
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[0]);
    box->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[1]);
    Down();
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[2]);
    Up();
}

TEST_F(SkinnedCheckBox, AnImageListThreeTimesAsWideAsHighGivesThreeFrames) {
    const COLORREF colours[3] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200)};
    auto* list = New<TImageList>(form);
    list->SetSize(48, 16);
    list->Masked = false;
    list->HandleNeeded();
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 48;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dib);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) {
            const COLORREF c = colours[x / 16];
            px[y * 48 + x] = 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    ASSERT_EQ(ImageList_Add(list->Handle(), dib, nullptr), 0);
    ::DeleteObject(dib);
    box->SetImages(list);
    box->SetAutoSize(false);
    box->SetBounds(10, 10, 140, 24);
    EXPECT_EQ(box->CheckWidth(), 16);
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[0]);
    box->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[1]);
    Down();
    EXPECT_PRED2(Near, MarkPixel(Print()), colours[2]);
    Up();
    // A freed list is forgotten: back to the skin's marks.
    list->Free();
    EXPECT_EQ(box->Images(), nullptr);
    EXPECT_EQ(MarkPixel(Print()), Mark("BOXCHECKED", 1));
}

TEST_F(SkinnedCheckBox, LeftJustifiedPutsTheMarkRightAndDisabledBlends) {
    box->SetAutoSize(false);
    box->SetBounds(10, 10, 140, 24);
    box->SetAlignment(taLeftJustify);
    harness::PumpUntilIdle(10, 500);
    const TRect r = box->CheckRect();
    EXPECT_EQ(r.Left, 140 - skingen::TestFrameSize - box->Margin());
    harness::Capture cap = Print();
    EXPECT_EQ(MarkPixel(cap), Mark("BOXUNCHECKED", 0));
    EXPECT_NE(cap.Pixel(box->Margin() + 4, 12), Mark("BOXUNCHECKED", 0));

    box->SetEnabled(false);
    cap = Print();
    cap.SaveBmp(BesideProgram(L"sCheckBox-disabled.bmp").c_str());
    // The disabled look lies over the mark and the section alike.
    EXPECT_NE(MarkPixel(cap), Mark("BOXUNCHECKED", 0));
    EXPECT_NE(cap.Pixel(60, 2 + skingen::TestBorderWidth), Section("CHECKBOX"));
}

TEST_F(SkinnedCheckBox, AutoSizeFitsMarkAndCaption) {
    box->SetAutoSize(false);
    box->SetBounds(10, 10, 40, 60);
    box->SetAutoSize(true);
    TSize extent{0, 0};
    ::HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, box->Font()->Handle());
    SIZE s{};
    ::GetTextExtentPoint32W(dc, L"win-1251 ->utf-8", 16, &s);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    extent.cx = s.cx;
    extent.cy = s.cy;
    EXPECT_EQ(box->Width(), skingen::TestFrameSize + 2 * 2 + extent.cx + 8);
    EXPECT_EQ(box->Height(), std::max<int>(skingen::TestFrameSize, extent.cy + 4) + 2);
}

TEST_F(SkinnedCheckBox, GdiObjectsStayFlatOverRepeatedToggles) {
    // The warm-up takes every path the measured rounds take, so that objects
    // made once and kept (cached looks, fonts) are made before the count.
    auto toggle = [&](bool print) {
        Down();
        Up();
        Send(WM_KEYDOWN, VK_SPACE);
        Send(WM_KEYUP, VK_SPACE);
        if (print) Print();
    };
    for (int i = 0; i < 10; ++i) toggle(true);
    harness::PumpUntilIdle(10, 500);
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 200; ++i) toggle(i % 20 == 0);
    harness::PumpUntilIdle(10, 500);
    const unsigned after = harness::GdiObjectUsage();
    EXPECT_LE(after, before + 4) << before << " -> " << after;
}

}  // namespace
