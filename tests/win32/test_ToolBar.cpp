// The framework's tool bar over the system bar (buttons placed into it, their
// bounds, clicks, styles, image lists) and the skinned drawing of a tool
// button's image into a work bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "SkinImage.h"
#include "WorkBitmaps.h"
#include "acAlphaImageList.h"
#include "sButton.h"

using kestrune_test::OwnedBitmap;
using kestrune_test::Px;

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

LRESULT Send(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageW(wnd, msg, wParam, lParam); }

struct ClickLog {
    std::vector<TObject*> Senders;
    void Notify(TObject* sender) { Senders.push_back(sender); }
    TNotifyEvent Event() { return TNotifyEvent::Of<&ClickLog::Notify>(this); }
};

// Adds an image of one colour (0x00RRGGBB) to a plain image list; with a
// hole, its top-left pixel is masked out.
void AddSolidImage(TCustomImageList* List, std::uint32_t Rgb, bool Hole) {
    List->HandleNeeded();
    OwnedBitmap bmp(kestrune_test::FilledWorkBitmap(List->Width(), List->Height(), Rgb));
    if (Hole) Px(bmp.bmp, 0, 0) = 0x00FFFFFFu;
    ::ImageList_AddMasked(List->Handle(), bmp->Handle(), RGB(255, 255, 255));
}

class ToolBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = New<TForm>(Application);
        Form->SetBounds(60, 60, 400, 200);
        Bar = New<TToolBar>(Form);
        Bar->SetParent(Form);
    }
    void TearDown() override {
        FreeAndNil(Form);
        harness::PumpUntilIdle(10, 500);
    }
    TToolButton* AddButton(TToolButtonStyle Style, const String& Caption = u"") {
        auto* b = New<TToolButton>(Form);
        b->SetStyle(Style);
        b->SetCaption(Caption);
        b->SetParent(Bar);
        return b;
    }
    void ShowForm() {
        Form->Show();
        harness::PumpUntilIdle(20, 2000);
    }
    // The bar's buttons sit where the system bar has them.
    void ExpectBoundsFollowSystemBar() {
        HWND wnd = Bar->Handle();
        ASSERT_EQ(Send(wnd, TB_BUTTONCOUNT), Bar->ButtonCount());
        for (int i = 0; i < Bar->ButtonCount(); ++i) {
            RECT r{};
            ASSERT_TRUE(Send(wnd, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)));
            const RECT b = Bar->Buttons(i)->BoundsRect();
            EXPECT_TRUE(::EqualRect(&r, &b)) << "button " << i << ": system (" << r.left << ", " << r.top << ", "
                                             << r.right << ", " << r.bottom << "), ours (" << b.left << ", " << b.top
                                             << ", " << b.right << ", " << b.bottom << ")";
            EXPECT_GT(b.right - b.left, 0) << "button " << i;
        }
    }
    // A press and release at the middle of button Index.
    void ClickButton(int Index) {
        const TRect r = Bar->ButtonRect(Index);
        const LPARAM at = MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        Send(Bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(Bar->Handle(), WM_LBUTTONUP, 0, at);
    }
    TForm* Form = nullptr;
    TToolBar* Bar = nullptr;
};

// ---------------------------------------------------------------------------
// The bar

TEST_F(ToolBarTest, ButtonsArePlacedIntoTheSystemBarAndFollowItsRectangles) {
    AddButton(tbsButton, u"Open");
    AddButton(tbsSeparator);
    AddButton(tbsCheck, u"Wrap");
    ShowForm();
    EXPECT_EQ(Bar->ButtonCount(), 3);
    ExpectBoundsFollowSystemBar();
    EXPECT_EQ(Bar->Buttons(3), nullptr);

    // Buttons added and removed while the window exists.
    TToolButton* late = AddButton(tbsDropDown, u"More");
    EXPECT_EQ(late->Index(), 3);
    ExpectBoundsFollowSystemBar();
    EXPECT_GT(late->Width(), Bar->Buttons(0)->Width()) << "a drop-down button has its arrow part";
    TToolButton* first = Bar->Buttons(0);
    first->Free();
    EXPECT_EQ(Bar->ButtonCount(), 3);
    EXPECT_EQ(late->Index(), 2);
    ExpectBoundsFollowSystemBar();
    EXPECT_EQ(Bar->Buttons(0)->Left(), 0) << "the separator moved to the front";

    // A new button size reaches the system bar and the buttons.
    Bar->SetButtonWidth(40);
    Bar->SetButtonHeight(30);
    ExpectBoundsFollowSystemBar();
    EXPECT_EQ(late->Height(), 30);
}

TEST_F(ToolBarTest, AClickOnAButtonRunsItsOnClickOnly) {
    TToolButton* open = AddButton(tbsButton, u"Open");
    TToolButton* sep = AddButton(tbsSeparator);
    TToolButton* wrap = AddButton(tbsCheck, u"Wrap");
    TToolButton* off = AddButton(tbsButton, u"Off");
    off->SetEnabled(false);
    ClickLog clicks;
    for (TToolButton* b : {open, sep, wrap, off}) b->OnClick = clicks.Event();
    ShowForm();

    ClickButton(0);
    ASSERT_EQ(clicks.Senders.size(), 1u);
    EXPECT_EQ(clicks.Senders[0], open);
    ClickButton(1);   // separator
    ClickButton(3);   // disabled
    EXPECT_EQ(clicks.Senders.size(), 1u);

    // A check button changes its Down on each click and reports it.
    ClickButton(2);
    ASSERT_EQ(clicks.Senders.size(), 2u);
    EXPECT_EQ(clicks.Senders[1], wrap);
    EXPECT_TRUE(wrap->Down());
    ClickButton(2);
    EXPECT_FALSE(wrap->Down());
    wrap->SetDown(true);
    EXPECT_TRUE(Send(Bar->Handle(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(wrap->CommandId())));
}

TEST_F(ToolBarTest, ListFlatAndShowCaptionsReachTheWindow) {
    AddButton(tbsButton, u"Open");
    AddButton(tbsCheck, u"Wrap");
    ShowForm();
    auto style = [&] { return static_cast<DWORD>(::GetWindowLongW(Bar->Handle(), GWL_STYLE)); };
    auto textLength = [&](int i) {
        return Send(Bar->Handle(), TB_GETBUTTONTEXTW, static_cast<WPARAM>(Bar->Buttons(i)->CommandId()), 0);
    };
    EXPECT_EQ(style() & (TBSTYLE_LIST | TBSTYLE_FLAT), 0u);
    EXPECT_LE(textLength(0), 0) << "no captions by default";

    Bar->SetList(true);
    Bar->SetFlat(true);
    EXPECT_EQ(style() & (TBSTYLE_LIST | TBSTYLE_FLAT), static_cast<DWORD>(TBSTYLE_LIST | TBSTYLE_FLAT));
    Bar->SetShowCaptions(true);
    EXPECT_EQ(textLength(0), 4);
    EXPECT_EQ(textLength(1), 4);
    ExpectBoundsFollowSystemBar();
    // A caption changed later reaches the system bar.
    Bar->Buttons(0)->SetCaption(u"Open file");
    EXPECT_EQ(textLength(0), 9);

    Bar->SetList(false);
    EXPECT_EQ(style() & TBSTYLE_LIST, 0u);
    EXPECT_EQ(textLength(0), 9) << "buttons survive the window being made anew";
}

TEST_F(ToolBarTest, ImageListsAreHandedToTheSystemBarAndForgottenWhenFreed) {
    auto* images = New<TImageList>(nullptr);
    auto* hot = New<TImageList>(nullptr);
    images->HandleNeeded();
    hot->HandleNeeded();
    AddButton(tbsButton, u"Open");
    Bar->SetImages(images);
    Bar->SetHotImages(hot);
    ShowForm();
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(Send(Bar->Handle(), TB_GETIMAGELIST)), images->Handle());
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(Send(Bar->Handle(), TB_GETHOTIMAGELIST)), hot->Handle());
    // A list that takes over another system list destroys its old one: the
    // bar takes the new one before it paints again.
    images->SetHandle(::ImageList_Create(24, 24, ILC_COLOR32 | ILC_MASK, 1, 1));
    ::RedrawWindow(Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(Send(Bar->Handle(), TB_GETIMAGELIST)), images->Handle());
    images->Free();
    hot->Free();
    EXPECT_EQ(Bar->Images(), nullptr);
    EXPECT_EQ(Bar->HotImages(), nullptr);
    EXPECT_EQ(Send(Bar->Handle(), TB_GETIMAGELIST), 0);
    EXPECT_EQ(Send(Bar->Handle(), TB_GETHOTIMAGELIST), 0);
}

// ---------------------------------------------------------------------------
// The skinned button image

constexpr int kW = 40, kH = 36, kImg = 8;
constexpr std::uint32_t kBack = 0xFF101010u;
constexpr std::uint32_t kPlain0 = 0x2040C0u, kPlain1 = 0x30A050u, kHot0 = 0xC08020u, kAlpha0 = 0x3366CCu;

// What a draw left in the work bitmap: the box of changed pixels and the
// colour in it.
struct Drawn {
    RECT Box{0, 0, 0, 0};
    std::uint32_t Word = 0;   // the pixel one in from the box's top-left corner
    bool TopLeftKept = false;  // the box's top-left pixel kept the background
};

Drawn Inspect(TBitmap* Bmp) {
    Drawn d;
    bool any = false;
    for (int y = 0; y < Bmp->Height(); ++y)
        for (int x = 0; x < Bmp->Width(); ++x) {
            if (Px(Bmp, x, y) == kBack) continue;
            if (!any) d.Box = RECT{x, y, x + 1, y + 1};
            any = true;
            d.Box.left = std::min<LONG>(d.Box.left, x);
            d.Box.top = std::min<LONG>(d.Box.top, y);
            d.Box.right = std::max<LONG>(d.Box.right, x + 1);
            d.Box.bottom = std::max<LONG>(d.Box.bottom, y + 1);
        }
    if (any) {
        d.Word = Px(Bmp, d.Box.left + 1, d.Box.top + 1);
        d.TopLeftKept = Px(Bmp, d.Box.left, d.Box.top) == kBack;
    }
    return d;
}

class ToolButtonImageTest : public ToolBarTest {
protected:
    void SetUp() override {
        ToolBarTest::SetUp();
        Images = New<TImageList>(Form);
        Images->SetSize(kImg, kImg);
        AddSolidImage(Images, kPlain0, true);
        AddSolidImage(Images, kPlain1, true);
        Hot = New<TImageList>(Form);
        Hot->SetSize(kImg, kImg);
        AddSolidImage(Hot, kHot0, true);
        Bar->SetImages(Images);
        Bar->SetHotImages(Hot);
        Button = AddButton(tbsButton, u"Go");
        Button->SetImageIndex(0);
        Bar->SetButtonWidth(kW);
        Bar->SetButtonHeight(kH);
        Button->SetBounds(0, 0, kW, kH);
    }
    // Draws into a fresh work bitmap (kept for the picture) and inspects it.
    Drawn Draw(UINT State) {
        TBitmap* bmp = kestrune_test::FilledWorkBitmap(kW, kH, kBack);
        DrawToolButtonImage(Bar, Button, State, bmp);
        Pictures.push_back(bmp);
        return Inspect(bmp);
    }
    void TearDown() override {
        SavePicture();
        for (TBitmap* b : Pictures) b->Free();
        ToolBarTest::TearDown();
    }
    // All drawn bitmaps side by side, 2x, beside the test program.
    void SavePicture() {
        if (Pictures.empty()) return;
        const int scale = 2, gap = 2;
        harness::Capture sheet;
        sheet.Width = static_cast<int>(Pictures.size()) * (kW + gap) * scale;
        sheet.Height = kH * scale;
        sheet.Pixels.assign(static_cast<std::size_t>(sheet.Width) * sheet.Height, 0xFFFFFFu);
        for (std::size_t i = 0; i < Pictures.size(); ++i)
            for (int y = 0; y < sheet.Height; ++y)
                for (int x = 0; x < kW * scale; ++x)
                    sheet.Pixels[static_cast<std::size_t>(y) * sheet.Width + i * (kW + gap) * scale + x] =
                        Px(Pictures[i], x / scale, y / scale) & 0xFFFFFFu;
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        sheet.SaveBmp((harness::ModuleFolder() + L"\\toolbutton-" + std::wstring(name.begin(), name.end()) + L".bmp").c_str());
    }
    // One image: opaque kAlpha0 on the left half, clear on the right.
    TsAlphaImageList* MakeAlphaList() {
        auto* alpha = New<TsAlphaImageList>(Form);
        alpha->SetSize(kImg, kImg);
        skingen::Image img(kImg, kImg);
        for (int y = 0; y < kImg; ++y)
            for (int x = 0; x < kImg / 2; ++x) img.At(x, y) = 0xFF000000u | kAlpha0;
        const auto png = skingen::EncodePNG(img);
        TsImgListItem* item = alpha->Items()->AddItem();
        item->ImageFormat = ifPNG;
        item->ImgData->WriteBuffer(png.data(), static_cast<Integer>(png.size()));
        alpha->GenerateStdList();
        return alpha;
    }
    TImageList* Images = nullptr;
    TImageList* Hot = nullptr;
    TToolButton* Button = nullptr;
    std::vector<TBitmap*> Pictures;
};

TEST_F(ToolButtonImageTest, LookListAndPlaceFollowTheCustomDrawState) {
    // Text height of "A" in the bar's font, for captions below the images.
    SIZE a{};
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, Bar->Font()->Handle());
    ::GetTextExtentPoint32W(dc, L"A", 1, &a);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    const int centreX = (kW - kImg) / 2 + 1, centreY = (kH - kImg) / 2;
    struct Case {
        const char* Name;
        UINT State;
        TToolButtonStyle Style;
        bool List, Captions;
        int Index;
        int X, Y;
        std::uint32_t Colour;
    };
    const Case cases[] = {
        {"normal", 0, tbsButton, false, false, 0, centreX, centreY, kPlain0},
        {"disabled only", CDIS_DISABLED, tbsButton, false, false, 0, centreX, centreY, kPlain0},
        {"hot", CDIS_HOT, tbsButton, false, false, 0, centreX, centreY, kHot0},
        {"hot and disabled", CDIS_HOT | CDIS_DISABLED, tbsButton, false, false, 0, centreX, centreY, kHot0},
        {"focused", CDIS_FOCUS, tbsButton, false, false, 0, centreX, centreY, kHot0},
        {"selected", CDIS_SELECTED, tbsButton, false, false, 0, centreX + 1, centreY + 1, kHot0},
        {"checked", CDIS_CHECKED, tbsCheck, false, false, 0, centreX + 1, centreY + 1, kHot0},
        {"checked and hot", CDIS_CHECKED | CDIS_HOT, tbsCheck, false, false, 0, centreX + 1, centreY + 1, kHot0},
        {"drop-down", 0, tbsDropDown, false, false, 0, centreX - 8, centreY, kPlain0},
        {"list bar", 0, tbsButton, true, false, 0, 5, centreY, kPlain0},
        {"list bar pressed", CDIS_SELECTED, tbsButton, true, false, 0, 6, centreY + 1, kHot0},
        {"captions below", 0, tbsButton, false, true, 0, centreX, (kH - kImg - (a.cy + 3)) / 2, kPlain0},
        {"hot list lacks the image", CDIS_HOT, tbsButton, false, false, 1, centreX, centreY, kPlain1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Button->SetStyle(c.Style);
        Button->SetImageIndex(c.Index);
        Bar->SetList(c.List);
        Bar->SetShowCaptions(c.Captions);
        const Drawn d = Draw(c.State);
        EXPECT_EQ(d.Box.left, c.X);
        EXPECT_EQ(d.Box.top, c.Y);
        EXPECT_EQ(d.Box.right - d.Box.left, kImg);
        EXPECT_EQ(d.Box.bottom - d.Box.top, kImg);
        EXPECT_EQ(d.Word, 0xFF000000u | c.Colour) << std::hex << d.Word;
        EXPECT_TRUE(d.TopLeftKept) << "the masked pixel is the key and stays out";
    }
}

TEST_F(ToolButtonImageTest, NothingIsDrawnWithoutAnImageToDraw) {
    Button->SetImageIndex(-1);
    EXPECT_EQ(Draw(0).Word, 0u);
    Button->SetImageIndex(2);   // past the end of Images
    EXPECT_EQ(Draw(CDIS_HOT).Word, 0u);
    Button->SetImageIndex(0);
    Bar->SetImages(nullptr);   // hot images alone draw nothing
    EXPECT_EQ(Draw(CDIS_HOT).Word, 0u);
    Bar->SetImages(Images);
    OwnedBitmap empty(New<TBitmap>());
    DrawToolButtonImage(Bar, Button, 0, empty.bmp);
    EXPECT_TRUE(empty->Empty());
    DrawToolButtonImage(nullptr, Button, 0, Pictures.back());
    DrawToolButtonImage(Bar, nullptr, 0, Pictures.back());
    EXPECT_EQ(Inspect(Pictures.back()).Word, 0u);
}

TEST_F(ToolButtonImageTest, AnAlphaListDrawsWithItsAlpha) {
    TsAlphaImageList* alpha = MakeAlphaList();
    ASSERT_EQ(alpha->Count(), 1);
    Bar->SetImages(alpha);
    Bar->SetHotImages(nullptr);
    for (UINT state : {0u, static_cast<UINT>(CDIS_HOT), static_cast<UINT>(CDIS_CHECKED)}) {
        SCOPED_TRACE(state);
        const int shift = state == CDIS_CHECKED ? 1 : 0;
        const Drawn d = Draw(state);
        EXPECT_EQ(d.Box.left, (kW - kImg) / 2 + 1 + shift);
        EXPECT_EQ(d.Box.top, (kH - kImg) / 2 + shift);
        EXPECT_EQ(d.Box.right - d.Box.left, kImg / 2) << "the clear half leaves the background";
        for (int shiftBits = 0; shiftBits < 24; shiftBits += 8) {
            const int got = static_cast<int>((d.Word >> shiftBits) & 0xFF), want = static_cast<int>((kAlpha0 >> shiftBits) & 0xFF);
            EXPECT_LE(std::abs(got - want), 1) << std::hex << d.Word;
        }
    }
}

TEST_F(ToolButtonImageTest, RepeatedDrawsKeepGdiObjectsFlat) {
    for (int i = 0; i < 5; ++i) Draw(CDIS_HOT);
    OwnedBitmap bmp(kestrune_test::FilledWorkBitmap(kW, kH, kBack));
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 200; ++i) DrawToolButtonImage(Bar, Button, i % 2 ? CDIS_HOT : 0, bmp.bmp);
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);
    Bar->SetImages(MakeAlphaList());
    Bar->SetHotImages(nullptr);
    ASSERT_NE(Draw(CDIS_HOT).Word, 0u);
    const unsigned beforeAlpha = harness::GdiObjectUsage();
    for (int i = 0; i < 200; ++i) DrawToolButtonImage(Bar, Button, i % 2 ? CDIS_HOT : 0, bmp.bmp);
    EXPECT_LE(harness::GdiObjectUsage(), beforeAlpha + 2);
}

}  // namespace
