// The skinned frame of a form with the flat test skin: the cache read back
// for the active and inactive title, a tool window, a maximized form and an
// overlong caption; the caption buttons' looks as the mouse makes them hot
// and pressed; the clean title under a single repainted button; the window
// region cut by key-coloured corners; the frame given back when the skin
// goes; GDI objects over many repaints and skin switches.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "SkinPackage.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "TestSkinManager.h"
#include "WorkBitmaps.h"
#include "acPixels.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;
using kestrune_test::Px;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
COLORREF Glyph(const char* mask, int frame) { return Ref(skingen::TestMaskColour("GLOBALINFO", mask, frame)); }
COLORREF Section(const char* name, int state) { return Ref(skingen::TestSectionColour(name, state)); }
COLORREF Font(const char* name, int state) { return Ref(skingen::TestFontColour(name, state)); }
COLORREF FormBorder(int frame) { return Ref(skingen::TestMaskColour("FORM", "BORDERSMASK", frame)); }

COLORREF PixelOf(TBitmap* bmp, int x, int y) {
    const std::uint32_t p = Px(bmp, x, y);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

class ProviderPaint : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(WriteSkin()); }
    void TearDown() override {
        acBtnPressed = false;
        kestrune_test::TestSkinForm::TearDown();
    }

    // A skinned form of the style with the caption, shown.
    void Open(TFormBorderStyle Style, const String& Caption, int Width = 360, int Height = 240,
              const std::string& Common = {}) {
        manager = kestrune_test::NewTestSkinManager(root, Common);
        ASSERT_TRUE(manager->SkinData()->Active);
        form = New<TForm>(Application);
        form->BorderStyle = Style;
        form->SetCaption(Caption);
        form->SetBounds(40, 40, Width, Height);
        provider = New<TsSkinProvider>(form);
        form->Show();
        harness::PumpUntilIdle(20, 1000);
    }

    // The cache rebuilt in the active or inactive look.
    TBitmap* Paint(bool Active) {
        provider->FormActive = Active;
        provider->SkinData()->BGChanged = true;
        provider->PaintNonClientCache();
        TBitmap* cache = provider->SkinData()->FCacheBmp;
        EXPECT_NE(cache, nullptr);
        return cache;
    }

    int TitleBottom() const { return SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true); }

    void SaveBeside(TBitmap* Bmp, const wchar_t* Name) {
        Bmp->SaveToFile((fs::path(harness::ModuleFolder()) / Name).u16string());
    }

    TsSkinProvider* provider = nullptr;
};

// ---- the frame's looks ------------------------------------------------------------

struct FrameCase {
    const char* Name;
    TFormBorderStyle Style;
    bool Active;
    bool Maximized;
    const char* Close;   // glyph of the close button
    const char* Max;     // glyph of the maximize button, nullptr when none is shown
};

class FrameLooks : public ProviderPaint, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameLooks, CacheShowsBorderTitleAndButtonsInTheSkinsColours) {
    const FrameCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Open(c.Style, u""));
    if (c.Maximized) {
        form->SetWindowState(TWindowState::wsMaximized);
        harness::PumpUntilIdle(20, 1000);
    }
    TBitmap* cache = Paint(c.Active);
    ASSERT_EQ(cache->Width(), form->Width());
    ASSERT_EQ(cache->Height(), form->Height());
    SaveBeside(cache, (L"provider-frame-" + std::wstring(c.Name, c.Name + std::strlen(c.Name)) + L".bmp").c_str());
    const int state = c.Active ? 1 : 0;

    // The title band in the title section's colour, the caption's room in
    // the caption section's, both ending at the title's bottom.
    const int bottom = TitleBottom();
    const int beside = provider->TitleIconRect().Right + 1;
    EXPECT_EQ(PixelOf(cache, beside, bottom / 2), Section("FORMTITLE", state));
    EXPECT_EQ(PixelOf(cache, beside, bottom - 1), Section("FORMTITLE", state));
    EXPECT_EQ(PixelOf(cache, cache->Width() / 3, bottom / 2), Section("CAPTION", state));
    EXPECT_EQ(PixelOf(cache, cache->Width() / 3, bottom - 1), Section("CAPTION", state));
    EXPECT_NE(PixelOf(cache, cache->Width() / 3, bottom), Section("CAPTION", state));
    EXPECT_NE(PixelOf(cache, beside, bottom), Section("FORMTITLE", state));
    // The left and the bottom border from the form's border mask.
    EXPECT_EQ(PixelOf(cache, 1, cache->Height() / 2), FormBorder(state));
    EXPECT_EQ(PixelOf(cache, cache->Width() / 2, cache->Height() - 2), FormBorder(state));

    // The close button at its place; dimmed on an inactive frame.
    const TRect close = provider->ButtonClose.Rect;
    ASSERT_FALSE(close.IsEmpty());
    EXPECT_GT(close.Left, cache->Width() / 2);
    EXPECT_LE(close.Bottom, bottom);
    const TPoint mid = Centre(close);
    if (c.Active) {
        EXPECT_EQ(PixelOf(cache, mid.X, mid.Y), Glyph(c.Close, 0));
    } else {
        EXPECT_NE(PixelOf(cache, mid.X, mid.Y), Glyph(c.Close, 0));
        EXPECT_NE(PixelOf(cache, mid.X, mid.Y), Section("FORMTITLE", state));
    }
    // The window prints the same frame.
    const harness::Capture printed = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Print);
    ASSERT_EQ(printed.Width, cache->Width());
    for (const TPoint p : {TPoint(1, cache->Height() / 2), TPoint(beside, bottom - 1), mid,
                           TPoint(cache->Width() / 2, cache->Height() - 2)})
        EXPECT_EQ(printed.Pixel(p.X, p.Y), PixelOf(cache, p.X, p.Y)) << p.X << "," << p.Y;
    if (c.Max != nullptr) {
        const TRect max = provider->ButtonMax.Rect;
        ASSERT_FALSE(max.IsEmpty());
        EXPECT_LE(max.Right, close.Left);
        const TPoint m = Centre(max);
        if (c.Active) {
            EXPECT_EQ(PixelOf(cache, m.X, m.Y), Glyph(c.Max, 0));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Looks, FrameLooks,
    ::testing::Values(FrameCase{"active", TFormBorderStyle::bsSizeable, true, false, "BICONCLOSE", "BICONMAX"},
                      FrameCase{"inactive", TFormBorderStyle::bsSizeable, false, false, "BICONCLOSE", "BICONMAX"},
                      FrameCase{"toolwindow", TFormBorderStyle::bsToolWindow, true, false, "SICONCLOSE", nullptr},
                      FrameCase{"maximized", TFormBorderStyle::bsSizeable, true, true, "BICONCLOSE", "BICONNORM"}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.Name); });

// A form section with an image is painted as a control under the frame, the
// size grip with it.
TEST_F(ProviderPaint, TexturedFormSectionLiesUnderTheFrameWithTheGrip) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"", 360, 240, "[FORM]\nIMAGEPERCENT=100\n"));
    provider->SetGripMode(gmRightBottom);
    TBitmap* cache = Paint(false);   // the normal state takes the pattern
    ASSERT_EQ(provider->SkinData()->CtrlSkinState & ACS_PLAINBG, 0);
    SaveBeside(cache, L"provider-frame-textured.bmp");
    const COLORREF pattern = Ref(skingen::TestMaskColour("FORM", "PATTERN", 0));
    EXPECT_EQ(PixelOf(cache, cache->Width() / 2, cache->Height() / 2), pattern);
    EXPECT_EQ(PixelOf(cache, 1, cache->Height() / 2), FormBorder(0));
    EXPECT_EQ(PixelOf(cache, provider->TitleIconRect().Right + 1, TitleBottom() - 1), Section("FORMTITLE", 0));
    const Integer grip = manager->ConstData().GripRightBottom;
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(grip)];
    const TPoint at = provider->GripPoint(grip);
    EXPECT_EQ(PixelOf(cache, at.X + MaskFrameWidth(mask) / 2, at.Y + MaskFrameHeight(mask) / 2), Glyph("GRIPIMAGE", 0));
    EXPECT_EQ(PixelOf(cache, at.X, at.Y), pattern);
}

TEST_F(ProviderPaint, ToolWindowTitleIsTheSmallCaption) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsToolWindow, u""));
    TBitmap* cache = Paint(true);
    const int bottom = SysBorderHeight(form->Handle(), nullptr) + ::GetSystemMetrics(SM_CYSMCAPTION);
    EXPECT_EQ(TitleBottom(), bottom);
    EXPECT_EQ(PixelOf(cache, cache->Width() / 3, bottom - 1), Section("CAPTION", 1));
    EXPECT_NE(PixelOf(cache, cache->Width() / 3, bottom), Section("CAPTION", 1));
}

TEST_F(ProviderPaint, OverlongCaptionEndsInAnEllipsisBeforeTheButtons) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, String(200, u'W')));
    TBitmap* cache = Paint(true);
    SaveBeside(cache, L"provider-frame-overlong.bmp");
    const COLORREF ink = Font("CAPTION", 1);
    const int room = cache->Width() - provider->TitleButtonsWidth() - 12;
    const int bottom = TitleBottom();
    int rightmost = -1, top = bottom, lowest = 0;
    for (int y = 0; y < bottom; ++y)
        for (int x = 0; x < cache->Width(); ++x)
            if (PixelOf(cache, x, y) == ink) {
                rightmost = std::max(rightmost, x);
                top = std::min(top, y);
                lowest = std::max(lowest, y);
            }
    ASSERT_GE(rightmost, 0) << "no caption drawn";
    EXPECT_LT(rightmost, room) << "the caption runs into the buttons";
    EXPECT_GT(rightmost, room - 30) << "the caption stops well before its room ends";
    // The last ink is the dots of the ellipsis: low on the line, where the
    // letters reach from top to bottom.
    int dotsTop = bottom;
    for (int y = 0; y < bottom; ++y)
        for (int x = rightmost - 2; x <= rightmost; ++x)
            if (PixelOf(cache, x, y) == ink) dotsTop = std::min(dotsTop, y);
    EXPECT_GT(dotsTop, (top + lowest) / 2);
}

// The added title follows the caption in its own colour, on an inactive
// frame half way to the section's inactive font colour.
TEST_F(ProviderPaint, AddedTitleFollowsTheCaptionInItsColour) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Main"));
    const TColor own = static_cast<TColor>(RGB(200, 20, 120));
    provider->AddedTitle()->Font()->SetColor(own);
    provider->AddedTitle()->SetText(u"and more");
    auto rightmost = [&](TBitmap* cache, COLORREF colour) {
        int found = -1;
        for (int y = 0; y < TitleBottom(); ++y)
            for (int x = 0; x < cache->Width(); ++x)
                if (PixelOf(cache, x, y) == colour) found = std::max(found, x);
        return found;
    };
    TBitmap* cache = Paint(true);
    SaveBeside(cache, L"provider-frame-added-title.bmp");
    const int caption = rightmost(cache, Font("CAPTION", 1));
    const int added = rightmost(cache, static_cast<COLORREF>(own));
    ASSERT_GE(caption, 0);
    EXPECT_GT(added, caption + 4);
    // Nothing of the added title lies over the caption.
    int leftmostAdded = cache->Width();
    for (int y = 0; y < TitleBottom(); ++y)
        for (int x = 0; x < cache->Width(); ++x)
            if (PixelOf(cache, x, y) == static_cast<COLORREF>(own)) leftmostAdded = std::min(leftmostAdded, x);
    EXPECT_GT(leftmostAdded, caption);
    cache = Paint(false);
    const COLORREF blended = static_cast<COLORREF>(BlendColors(own, static_cast<TColor>(Font("CAPTION", 0)), 0.5));
    EXPECT_EQ(rightmost(cache, static_cast<COLORREF>(own)), -1);
    EXPECT_GT(rightmost(cache, blended), rightmost(cache, Font("CAPTION", 0)) + 4);
}

TEST_F(ProviderPaint, CaptionAlignmentPlacesTheTextInItsRoom) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Aligned"));
    const COLORREF ink = Font("CAPTION", 1);
    for (TAlignment align : {taLeftJustify, taCenter, taRightJustify}) {
        provider->SetCaptionAlignment(align);
        TBitmap* cache = Paint(true);
        int left = cache->Width(), right = -1;
        for (int y = 0; y < TitleBottom(); ++y)
            for (int x = 0; x < cache->Width(); ++x)
                if (PixelOf(cache, x, y) == ink) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, 0) << align;
        const int roomLeft = provider->TitleIconRect().Right + 6;
        const int roomRight = cache->Width() - provider->TitleButtonsWidth() - 12;
        switch (align) {
        case taLeftJustify: EXPECT_LE(left - roomLeft, 8); break;
        case taCenter: EXPECT_LE(std::abs((left + right) / 2 - (roomLeft + roomRight) / 2), 8); break;
        default: EXPECT_LE(roomRight - right, 10); break;
        }
    }
}

// ---- caption buttons -----------------------------------------------------------------

TEST_F(ProviderPaint, HotAndPressedButtonsTakeTheirFramesAndGoBack) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u""));
    TBitmap* cache = Paint(true);
    const TPoint close = Centre(provider->ButtonClose.Rect);
    const TPoint min = Centre(provider->ButtonMin.Rect);
    struct Step {
        const char* What;
        int Hot, Pressed;   // -1: not this kind of step
        COLORREF Close, Min;
    };
    const Step steps[] = {
        {"close hot", 20, -1, Glyph("BICONCLOSE", 1), Glyph("BICONMIN", 0)},
        {"minimize hot", 8, -1, Glyph("BICONCLOSE", 0), Glyph("BICONMIN", 1)},
        {"minimize pressed", -1, 8, Glyph("BICONCLOSE", 0), Glyph("BICONMIN", 2)},
        {"none hot", 0, -1, Glyph("BICONCLOSE", 0), Glyph("BICONMIN", 0)},
    };
    for (const Step& s : steps) {
        if (s.Hot >= 0) {
            acBtnPressed = false;
            provider->SetHotHT(s.Hot, true);
        } else {
            provider->SetPressedHT(s.Pressed);
        }
        if (s.Hot == 0) provider->SetHotHT(0, true);
        EXPECT_EQ(PixelOf(cache, close.X, close.Y), s.Close) << s.What;
        EXPECT_EQ(PixelOf(cache, min.X, min.Y), s.Min) << s.What;
    }
}

TEST_F(ProviderPaint, UserTitleButtonTakesTheSkinsImageAndTurnsHot) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u""));
    TsTitleButton* button = provider->TitleButtons()->Add();
    provider->LoadInit();
    TBitmap* cache = Paint(true);
    const TRect r = button->BtnData.Rect;
    ASSERT_FALSE(r.IsEmpty());
    EXPECT_LT(r.Right, provider->ButtonMin.Rect.Left);
    const TPoint mid = Centre(r);
    EXPECT_EQ(PixelOf(cache, mid.X, mid.Y), Glyph("TITLEBUTTON", 0));
    provider->SetHotHT(1000, true);
    EXPECT_EQ(PixelOf(cache, mid.X, mid.Y), Glyph("TITLEBUTTON", 1));
    provider->SetHotHT(0, true);
    EXPECT_EQ(PixelOf(cache, mid.X, mid.Y), Glyph("TITLEBUTTON", 0));
    // Without the skin's image only the (empty) glyph is drawn: the title shows.
    button->SetUseSkinData(false);
    cache = Paint(true);
    EXPECT_NE(PixelOf(cache, mid.X, mid.Y), Glyph("TITLEBUTTON", 0));
}

// The single-button repaint puts the clean title back under the button from
// the same place the whole set was saved from.
TEST_F(ProviderPaint, RepaintedButtonShowsTheTitleThatLayUnderIt) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u""));
    TBitmap* cache = Paint(true);
    // A title with a colour of its own in every column.
    auto column = [](int x) -> std::uint32_t { return 0xFF000000u | static_cast<std::uint32_t>(0x204060 + x); };
    for (int y = 0; y < TitleBottom(); ++y)
        for (int x = 0; x < cache->Width(); ++x) Px(cache, x, y) = column(x);
    provider->SaveButtonsArea(true);
    provider->ButtonClose.State = 1;
    provider->RepaintCaptionButton(20);
    const TRect r = provider->ButtonClose.Rect;
    // The glyph's key-coloured corners let the title through.
    for (int x : {r.Left, r.Left + 1, r.Right - 2, r.Right - 1})
        EXPECT_EQ(Px(cache, x, r.Top), column(x)) << "column " << x;
    EXPECT_EQ(PixelOf(cache, Centre(r).X, Centre(r).Y), Glyph("BICONCLOSE", 1));
}

// The test skin's form section is a plain one: the grip goes onto the
// client area when the background is erased.
TEST_F(ProviderPaint, SizeGripIsDrawnAtTheLowerRightCornerOnlyWhenAsked) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u""));
    const Integer grip = manager->ConstData().GripRightBottom;
    ASSERT_TRUE(manager->IsValidImgIndex(grip));
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(grip)];
    RECT client;
    ::GetClientRect(form->Handle(), &client);
    kestrune_test::OwnedBitmap out(CreateWorkBitmap(client.right, client.bottom));
    const HDC dc = out->Canvas()->Handle();
    auto erase = [&] {
        provider->SkinData()->PrintDC = dc;
        provider->HandleEraseBkgnd(dc);
        provider->SkinData()->PrintDC = nullptr;
        ::GdiFlush();
    };
    const COLORREF gripColour = Glyph("GRIPIMAGE", 0);
    erase();
    TPoint at = provider->GripPoint(grip);
    at = TPoint(at.X - provider->OffsetX(), at.Y - provider->OffsetY());
    const TPoint mid(at.X + MaskFrameWidth(mask) / 2, at.Y + MaskFrameHeight(mask) / 2);
    ASSERT_LT(mid.X, client.right);
    ASSERT_LT(mid.Y, client.bottom);
    EXPECT_NE(PixelOf(out.bmp, mid.X, mid.Y), gripColour);
    provider->SetGripMode(gmRightBottom);
    erase();
    EXPECT_EQ(PixelOf(out.bmp, mid.X, mid.Y), gripColour);
    // Its key-coloured corner shows the background.
    EXPECT_EQ(PixelOf(out.bmp, at.X, at.Y), PixelOf(out.bmp, at.X - 1, at.Y));
    SaveBeside(out.bmp, L"provider-grip.bmp");
}

TEST_F(ProviderPaint, CaptionCoverLiesOverTheHeaderAndGoesAgain) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Covered"));
    provider->ShowCaptionCover(false);
    ASSERT_NE(provider->CaptForm, nullptr);
    const HWND cover = provider->CaptForm->Handle();
    EXPECT_EQ(provider->CaptForm->Tag, -98);
    EXPECT_TRUE(::IsWindowVisible(cover));
    RECT formRect, coverRect;
    ::GetWindowRect(form->Handle(), &formRect);
    ::GetWindowRect(cover, &coverRect);
    EXPECT_EQ(coverRect.left, formRect.left);
    EXPECT_EQ(coverRect.top, formRect.top);
    EXPECT_EQ(coverRect.right, formRect.right);
    EXPECT_EQ(coverRect.bottom - coverRect.top, provider->HeaderHeight());
    EXPECT_NE(::GetForegroundWindow(), cover);
    // The cover never erases its background.
    EXPECT_EQ(::SendMessageW(cover, WM_ERASEBKGND, 0, 0), 0);
    provider->HideCaptionCover();
    EXPECT_EQ(provider->CaptForm, nullptr);
    EXPECT_FALSE(::IsWindow(cover));
    // Covering again and again leaves no window behind.
    harness::PumpUntilIdle(5, 200);
    const unsigned windows = harness::WindowCount();
    for (int i = 0; i < 20; ++i) {
        provider->ShowCaptionCover(i % 2 == 0);
        provider->HideCaptionCover();
    }
    harness::PumpUntilIdle(5, 200);
    EXPECT_EQ(harness::WindowCount(), windows);
}

// ---- region -----------------------------------------------------------------------------

// The form's border mask with key-coloured corners Corner pixels square.
void WriteSkinWithCorner(const fs::path& Folder, int Corner) {
    skingen::SkinPackage skin = skingen::BuildTestSkin();
    const int f = skingen::TestFrameSize;
    skingen::Image img(2 * f, f);
    for (int i = 0; i < 2; ++i) {
        img.Fill({i * f, 0, f, f}, skingen::Opaque(skingen::TestMaskColour("FORM", "BORDERSMASK", i)));
        for (int cx : {i * f, i * f + f - Corner})
            for (int cy : {0, f - Corner}) img.Fill({cx, cy, Corner, Corner}, skingen::KeyPixel);
    }
    bool replaced = false;
    for (skingen::SkinFile& file : skin.Files)
        if (file.Name == "FORM_BORDERSMASK.PNG") {
            file.Data = skingen::EncodePNG(skingen::Keyed(img));
            replaced = true;
        }
    ASSERT_TRUE(replaced);
    skingen::WriteSkinFolder(skin, Folder);
}

TEST_F(ProviderPaint, KeyColouredCornersAreCutOutOfTheWindowRegion) {
    fs::remove_all(root / "Test");
    ASSERT_NO_FATAL_FAILURE(WriteSkinWithCorner(root / "Test", 3));
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Corners"));
    const int w = form->Width(), h = form->Height();

    provider->UpdateArOR();
    HRGN made = provider->CreateFormRgn(0, 0);
    ASSERT_NE(made, nullptr);
    HRGN shown = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(form->Handle(), shown), ERROR) << "the window has no region";
    for (HRGN rgn : {made, shown}) {
        EXPECT_FALSE(::PtInRegion(rgn, 2, 0));
        EXPECT_TRUE(::PtInRegion(rgn, 3, 0));
        EXPECT_FALSE(::PtInRegion(rgn, 0, 2));
        EXPECT_TRUE(::PtInRegion(rgn, 0, 3));
        EXPECT_FALSE(::PtInRegion(rgn, w - 3, 0));
        EXPECT_TRUE(::PtInRegion(rgn, w - 4, 0));
        EXPECT_FALSE(::PtInRegion(rgn, 2, h - 1));
        EXPECT_FALSE(::PtInRegion(rgn, w - 1, h - 3));
        EXPECT_TRUE(::PtInRegion(rgn, w / 2, h / 2));
    }
    ::DeleteObject(made);
    ::DeleteObject(shown);
}

TEST_F(ProviderPaint, RemovingTheSkinLeavesNoRegionAndThePlainColour) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Plain again"));
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(form->Handle(), rgn), ERROR);
    manager->SetActive(false);
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(::GetWindowRgn(form->Handle(), rgn), ERROR);
    ::DeleteObject(rgn);
    EXPECT_NE(::GetWindowLongW(form->Handle(), GWL_STYLE) & WS_SYSMENU, 0);
    const harness::Capture client = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Print, true);
    ASSERT_FALSE(client.Empty());
    EXPECT_EQ(client.Pixel(client.Width / 2, client.Height / 2), ColorToRGB(form->Color()));
}

// ---- resources ---------------------------------------------------------------------------

TEST_F(ProviderPaint, RepaintsAndSkinSwitchesKeepGdiObjectsFlat) {
    skingen::WriteTestSkin(root / "Second");
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Counting"));
    const HWND wnd = form->Handle();
    auto repaint = [&] {
        provider->SkinData()->BGChanged = true;
        ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
        provider->SetHotHT(20, true);
        provider->SetHotHT(0, true);
        ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    };
    repaint();
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 200; ++i) repaint();
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);

    manager->SetSkinName(u"Second");
    manager->SetSkinName(u"Test");
    harness::PumpUntilIdle(10, 1000);
    const unsigned beforeSwitches = harness::GdiObjectUsage();
    for (int i = 0; i < 20; ++i) {
        manager->SetSkinName(i % 2 == 0 ? u"Second" : u"Test");
        harness::PumpUntilIdle(5, 500);
    }
    EXPECT_LE(harness::GdiObjectUsage(), beforeSwitches + 2);
}

}  // namespace

// ---- title icon, the form's own painting, title-button hints ----------------------------

namespace {

// An icon of one colour (opaque everywhere), Size pixels square.
HICON SolidIcon(COLORREF colour, int Size = 32) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = Size;
    bi.bmiHeader.biHeight = -Size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP colourBmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<std::uint32_t*>(bits);
    const std::uint32_t argb =
        0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | static_cast<std::uint32_t>(GetBValue(colour));
    for (int i = 0; i < Size * Size; ++i) p[i] = argb;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(Size * Size / 8), 0);
    HBITMAP mask = ::CreateBitmap(Size, Size, 1, 1, maskBits.data());
    ICONINFO ii = {};
    ii.fIcon = TRUE;
    ii.hbmColor = colourBmp;
    ii.hbmMask = mask;
    HICON icon = ::CreateIconIndirect(&ii);
    ::DeleteObject(colourBmp);
    ::DeleteObject(mask);
    return icon;
}

// Paints a square of one colour at the canvas's origin.
struct CornerPainter {
    static constexpr COLORREF Colour = RGB(0x13, 0xC7, 0x5A);
    int Calls = 0;
    HDC DuringPaint = nullptr;
    void Paint(TObject* Sender) {
        ++Calls;
        TCanvas* canvas = static_cast<TCustomForm*>(Sender)->Canvas();
        DuringPaint = canvas->Handle();
        canvas->Brush()->SetColor(static_cast<TColor>(Colour));
        canvas->FillRect(TRect(0, 0, 4, 4));
    }
};

}  // namespace

// The title icon is the form's own icon when it has one, else the
// application window's small icon; the form's window gets its icon too.
TEST_F(ProviderPaint, TitleIconIsTheFormsIconElseTheApplications) {
    constexpr COLORREF formColour = RGB(0x21, 0x9A, 0xE3), appColour = RGB(0xE4, 0x3B, 0x17);
    const HWND app = Application->Handle();
    const HICON appIcon = SolidIcon(appColour, 16);
    const auto previous = ::SendMessageW(app, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));
    struct RestoreAppIcon {
        HWND App;
        LRESULT Previous;
        HICON Icon;
        ~RestoreAppIcon() {
            ::SendMessageW(App, WM_SETICON, ICON_SMALL, Previous);
            ::DestroyIcon(Icon);
        }
    } restoreAppIcon{app, previous, appIcon};

    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Icon"));
    ASSERT_TRUE(provider->IconVisible());
    const TPoint mid = Centre(provider->TitleIconRect());
    EXPECT_EQ(PixelOf(Paint(true), mid.X, mid.Y), appColour);

    form->Icon()->SetHandle(SolidIcon(formColour));
    const auto formIcon = reinterpret_cast<LRESULT>(form->Icon()->Handle());
    EXPECT_EQ(::SendMessageW(form->Handle(), WM_GETICON, ICON_BIG, 0), formIcon);
    EXPECT_EQ(::SendMessageW(form->Handle(), WM_GETICON, ICON_SMALL, 0), formIcon);
    TBitmap* cache = Paint(true);
    SaveBeside(cache, L"provider-frame-form-icon.bmp");
    EXPECT_EQ(PixelOf(cache, mid.X, mid.Y), formColour);
    EXPECT_EQ(Px(cache, mid.X, mid.Y) >> 24, 0xFFu);

    // A window made after the icon was set gets it at creation.
    TForm* later = New<TForm>(Application);
    later->SetIcon(form->Icon());
    EXPECT_EQ(::SendMessageW(later->Handle(), WM_GETICON, ICON_SMALL, 0),
              reinterpret_cast<LRESULT>(later->Icon()->Handle()));
    later->Free();
    // Emptied, the title falls back to the application's icon.
    form->Icon()->Assign(nullptr);
    EXPECT_EQ(PixelOf(Paint(true), mid.X, mid.Y), appColour);
}

// OnPaint draws over the frame image in client coordinates, unless the
// form's background is a plain one; the canvas gets its handle back.
TEST_F(ProviderPaint, FormsOnPaintDrawsIntoTheCacheAtTheClientOrigin) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"", 360, 240, "[FORM]\nIMAGEPERCENT=100\n"));
    CornerPainter painter;
    form->OnPaint = TNotifyEvent::Of<&CornerPainter::Paint>(&painter);
    const HDC own = ::CreateCompatibleDC(nullptr);
    form->Canvas()->SetHandle(own);
    TBitmap* cache = Paint(true);
    ASSERT_EQ(provider->SkinData()->CtrlSkinState & ACS_PLAINBG, 0);
    ASSERT_GE(painter.Calls, 1);
    EXPECT_EQ(painter.DuringPaint, cache->Canvas()->Handle());
    EXPECT_EQ(form->Canvas()->Handle(), own);
    const int x = provider->OffsetX(), y = provider->OffsetY();
    ASSERT_GT(x, 0);
    ASSERT_GT(y, 0);
    EXPECT_EQ(PixelOf(cache, x, y), CornerPainter::Colour);
    EXPECT_EQ(PixelOf(cache, x + 3, y + 3), CornerPainter::Colour);
    EXPECT_NE(PixelOf(cache, x + 4, y + 4), CornerPainter::Colour);
    EXPECT_NE(PixelOf(cache, x - 1, y), CornerPainter::Colour);
    EXPECT_NE(PixelOf(cache, 0, 0), CornerPainter::Colour);
    // The cache's DC is left with its own origin.
    POINT origin;
    ::GetWindowOrgEx(cache->Canvas()->Handle(), &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    form->Canvas()->SetHandle(nullptr);
    ::DeleteDC(own);
    form->OnPaint = nullptr;
}

TEST_F(ProviderPaint, FormsOnPaintStaysOffAPlainBackground) {
    ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u""));
    CornerPainter painter;
    form->OnPaint = TNotifyEvent::Of<&CornerPainter::Paint>(&painter);
    painter.Calls = 0;
    TBitmap* cache = Paint(true);
    ASSERT_NE(provider->SkinData()->CtrlSkinState & ACS_PLAINBG, 0);
    EXPECT_NE(PixelOf(cache, provider->OffsetX(), provider->OffsetY()), CornerPainter::Colour);
    form->OnPaint = nullptr;
}

class TitleButtonHint : public ProviderPaint {
protected:
    void OpenWithButton(const String& Hint) {
        ASSERT_NO_FATAL_FAILURE(Open(TFormBorderStyle::bsSizeable, u"Hints"));
        button = provider->TitleButtons()->Add();
        button->FHint = Hint;
        provider->LoadInit();
        Paint(true);
        ASSERT_FALSE(button->BtnData.Rect.IsEmpty());
    }
    // A screen point of the form's window moved to by the mouse.
    POINT Hover(TPoint InWindow) {
        RECT wr;
        ::GetWindowRect(form->Handle(), &wr);
        POINT p = {wr.left + InWindow.X, wr.top + InWindow.Y};
        ::SetCursorPos(p.x, p.y);
        const auto code = ::SendMessageW(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        ::SendMessageW(form->Handle(), WM_NCMOUSEMOVE, static_cast<WPARAM>(code), MAKELPARAM(p.x, p.y));
        return p;
    }
    POINT HoverButton() { return Hover(Centre(button->BtnData.Rect)); }
    void HoverTitle() { Hover(TPoint(form->Width() / 3, TitleBottom() / 2)); }

    TsTitleButton* button = nullptr;
};

TEST_F(TitleButtonHint, HoverShowsTheHintBelowTheCursorAndLeavingHidesIt) {
    ASSERT_NO_FATAL_FAILURE(OpenWithButton(u"Reload & go"));
    const HWND active = ::GetForegroundWindow();
    HoverButton();
    POINT cursor;
    ::GetCursorPos(&cursor);
    ASSERT_NE(button->HintWnd, nullptr);
    const HWND hint = button->HintWnd->Handle();
    EXPECT_TRUE(::IsWindowVisible(hint));
    EXPECT_EQ(::GetForegroundWindow(), active);
    EXPECT_EQ(button->HintWnd->Caption(), u"Reload & go");
    const auto ex = static_cast<DWORD>(::GetWindowLongW(hint, GWL_EXSTYLE));
    EXPECT_EQ(ex & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), static_cast<DWORD>(WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
    EXPECT_EQ(::GetWindow(hint, GW_OWNER), Application->Handle());
    RECT r;
    ::GetWindowRect(hint, &r);
    EXPECT_EQ(r.left, cursor.x + 8);
    EXPECT_EQ(r.top, cursor.y + 16);
    const TRect measured = button->HintWnd->CalcHintRect(800, u"Reload & go");
    EXPECT_EQ(r.right - r.left, measured.Width());
    EXPECT_EQ(r.bottom - r.top, measured.Height() + 4);

    // The text in the info colours on the info background.
    harness::PumpUntilIdle(5, 200);
    const harness::Capture shot = harness::CaptureWindow(hint, harness::CaptureSource::Print);
    shot.SaveBmp((fs::path(harness::ModuleFolder()) / L"title-button-hint.bmp").c_str());
    EXPECT_EQ(shot.Pixel(shot.Width - 2, shot.Height - 2), ColorToRGB(clInfoBk));
    EXPECT_TRUE(shot.Contains(ColorToRGB(clInfoText)));

    // Moving onto the title hides it.
    HoverTitle();
    EXPECT_EQ(button->HintWnd, nullptr);
    EXPECT_FALSE(::IsWindow(hint));
}

TEST_F(TitleButtonHint, HintStaysInsideTheWorkArea) {
    ASSERT_NO_FATAL_FAILURE(OpenWithButton(u"A hint near the corner of the screen"));
    const TRect work = form->Monitor()->WorkareaRect();
    ::SetCursorPos(work.Right - 2, work.Bottom - 2);
    provider->ShowTitleButtonHint(button);
    ASSERT_NE(button->HintWnd, nullptr);
    RECT r;
    ::GetWindowRect(button->HintWnd->Handle(), &r);
    EXPECT_LE(r.right, work.Right);
    EXPECT_LE(r.bottom, work.Bottom);
    EXPECT_GE(r.left, work.Left);
    EXPECT_GE(r.top, work.Top);
    provider->HideTitleButtonHint(button);
}

TEST_F(TitleButtonHint, ButtonWithoutHintShowsNone) {
    ASSERT_NO_FATAL_FAILURE(OpenWithButton(u""));
    HoverButton();
    EXPECT_EQ(button->HintWnd, nullptr);
    HoverTitle();
}

TEST_F(TitleButtonHint, HoverCyclesKeepWindowAndGdiCountsFlat) {
    ASSERT_NO_FATAL_FAILURE(OpenWithButton(u"Counted"));
    HoverButton();
    HoverTitle();
    harness::PumpUntilIdle(5, 200);
    const unsigned windows = harness::WindowCount();
    const unsigned gdi = harness::GdiObjectUsage();
    for (int i = 0; i < 50; ++i) {
        HoverButton();
        ASSERT_NE(button->HintWnd, nullptr) << "cycle " << i;
        HoverTitle();
        ASSERT_EQ(button->HintWnd, nullptr) << "cycle " << i;
    }
    harness::PumpUntilIdle(5, 200);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
}

// A hint left showing when the application frees its components first (the
// hint window is created after the form) is not freed a second time.
TEST_F(TitleButtonHint, HintFreedBeforeItsButtonIsForgotten) {
    ASSERT_NO_FATAL_FAILURE(OpenWithButton(u"Going first"));
    HoverButton();
    ASSERT_NE(button->HintWnd, nullptr);
    button->HintWnd->Free();
    EXPECT_EQ(button->HintWnd, nullptr);
    provider->TitleButtons()->Clear();
}

// A hint fades in only when it is short and the system both animates and
// fades its tooltips. (Wine shows an animated window at once, so the fade is
// decided here and not timed.)
TEST(TitleButtonHintFade, FollowsTheSystemsTooltipSettingsAndTheHintsLength) {
    BOOL animation = FALSE, fade = FALSE;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &animation, 0));
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &fade, 0));
    // Changed for this session only (not written to the profile).
    auto set = [](BOOL Animation, BOOL Fade) {
        ::SystemParametersInfoW(SPI_SETTOOLTIPANIMATION, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(Animation)), 0);
        ::SystemParametersInfoW(SPI_SETTOOLTIPFADE, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(Fade)), 0);
    };
    struct Restore {
        decltype(set)& Set;
        BOOL A, F;
        ~Restore() { Set(A, F); }
    } restore{set, animation, fade};

    struct Case {
        BOOL Animation, Fade;
        std::size_t Length;
        bool Fades;
    };
    const Case cases[] = {
        {TRUE, TRUE, 5, true},   {TRUE, TRUE, 99, true},   {TRUE, TRUE, 100, false},
        {FALSE, TRUE, 5, false}, {TRUE, FALSE, 5, false}, {FALSE, FALSE, 5, false},
    };
    for (const Case& c : cases) {
        set(c.Animation, c.Fade);
        EXPECT_EQ(TsSkinProvider::TitleButtonHintFades(String(c.Length, u'x')), c.Fades)
            << "animation " << c.Animation << ", fade " << c.Fade << ", length " << c.Length;
    }
}
