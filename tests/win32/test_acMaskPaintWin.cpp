// The mask painter on framework bitmaps: the GDI transfers of plain masks
// give what the portable drawing gives, one DIB section serves every paint
// of an image and goes with it, and the glyph and disabled routines read
// bottom-up work bitmaps and parent records right.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "FrameworkEnvironment.h"
#include "WorkBitmaps.h"
#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr std::uint32_t kSentinel = 0xFF123456u;

using Owned = kestrune_test::OwnedBitmap;
using kestrune_test::Px;


const auto Work = &kestrune_test::FilledWorkBitmap;

// A plain mask of its own image: two frames of 9 x 7 whose pixels name their
// position, with key pixels in the corners.
struct PlainMask {
    TsMaskData mask;
    TsSkinManager* manager = New<TsSkinManager>(nullptr);
    PlainMask(int drawMode) {
        auto image = std::make_shared<TacImage32>(18, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 18; ++x)
                image->At(x, y) = 0xFF000000u | static_cast<std::uint32_t>(x) << 8 | static_cast<std::uint32_t>(y);
        image->At(9, 0) = image->At(17, 6) = kKeyPixel;
        mask.Bmp = image;
        mask.R = TRect(0, 0, 18, 7);
        mask.ImageCount = 2;
        mask.DrawMode = static_cast<SmallInt>(drawMode);
        mask.WL = 3, mask.WT = 2, mask.WR = 2, mask.WB = 2;
        mask.Manager = manager;
    }
    ~PlainMask() { manager->Free(); }
    PlainMask(const PlainMask&) = delete;
    PlainMask& operator=(const PlainMask&) = delete;
};

}  // namespace

TEST(MaskPaintGdi, BlitsMatchThePortableDrawing) {
    for (int drawMode : {dmCentre, dmCentre | dmStretch}) {
        PlainMask plain(drawMode);
        Owned bmp(Work(31, 19, kSentinel));
        DrawSkinRect(bmp.bmp, TRect(1, 1, 30, 18), false, 1, plain.mask, TCacheInfo{});
        TacImage32 want(31, 19, kSentinel);
        TacBlitter portable;
        DrawSkinRect(want.Bits(), TRect(1, 1, 30, 18), false, 1, MaskSourceOf(plain.mask, nullptr), TacParent{},
                     portable);
        // Tiled pieces are exact copies; GDI's stretch may pick its source
        // pixels its own way, but each from the same part of the frame.
        const bool stretched = (drawMode & dmStretch) != 0;
        auto zone = [](std::uint32_t p) {
            const int x = static_cast<int>((p >> 8) & 0xFF), y = static_cast<int>(p & 0xFF);
            return (x < 12 ? 0 : (x >= 16 ? 2 : 1)) * 3 + (y < 2 ? 0 : (y >= 5 ? 2 : 1));
        };
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < 31; ++x) {
                const std::uint32_t got = Px(bmp.bmp, x, y), expected = want.At(x, y);
                if (!stretched || got == kSentinel || expected == kSentinel)
                    ASSERT_EQ(got, expected) << x << ',' << y << " draw mode " << drawMode;
                else
                    ASSERT_EQ(zone(got), zone(expected)) << x << ',' << y;
            }
        // Key corner pixels without a parent are left as they were.
        EXPECT_EQ(Px(bmp.bmp, 1, 1), kSentinel);
        EXPECT_EQ(Px(bmp.bmp, 29, 17), kSentinel);
    }
}

TEST(MaskPaintGdi, OneDibSectionPerImageFreedWithIt) {
    HBITMAP handle = nullptr;
    {
        PlainMask plain(dmCentre);
        Owned bmp(Work(40, 30, 0));
        EXPECT_EQ(plain.mask.Bmp->Attachment(), nullptr);
        for (int i = 0; i < 3; ++i) DrawSkinRect(bmp.bmp, TRect(0, 0, 40, 30), false, 0, plain.mask, TCacheInfo{});
        handle = acImageBitmap(*plain.mask.Bmp);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(acImageBitmap(*plain.mask.Bmp), handle);
        EXPECT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
        DIBSECTION ds{};
        ASSERT_EQ(::GetObjectW(handle, sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(static_cast<const std::uint32_t*>(ds.dsBm.bmBits)[1 * 18 + 4], plain.mask.Bmp->At(4, 1));
    }
    EXPECT_EQ(::GetObjectType(handle), 0u);   // gone with the image
    EXPECT_EQ(acImageBitmap(TacImage32()), nullptr);
}

TEST(MaskPaintGdi, NothingWithoutManagerOrOnBadTargets) {
    PlainMask plain(dmCentre);
    plain.mask.Manager = nullptr;
    Owned bmp(Work(20, 20, kSentinel));
    DrawSkinRect(bmp.bmp, TRect(0, 0, 20, 20), false, 0, plain.mask, TCacheInfo{});
    EXPECT_EQ(Px(bmp.bmp, 5, 5), kSentinel);
    plain.mask.Manager = plain.manager;
    Owned bmp24(CreateWorkBitmap(1, 1));
    bmp24->SetPixelFormat(pf24bit);
    bmp24->SetSize(20, 20);
    DrawSkinRect(bmp24.bmp, TRect(0, 0, 20, 20), false, 0, plain.mask, TCacheInfo{});   // not 32-bit: nothing
    DrawSkinRect(nullptr, TRect(0, 0, 20, 20), false, 0, plain.mask, TCacheInfo{});
}

TEST(MaskPaintGdi, GlyphAndDisabledOnWorkBitmaps) {
    PlainMask plain(0);
    Owned bmp(Work(12, 8, kSentinel));
    DrawGlyphMask(bmp.bmp, TPoint(-3, 0), 1, TCacheInfo{}, plain.mask, 1);
    EXPECT_EQ(Px(bmp.bmp, 0, 0), 0xFF000C00u);   // frame 1 begins at column 9: column 12
    EXPECT_EQ(Px(bmp.bmp, 6, 0), kSentinel);

    // Blended over a ready parent: the control keeps 40 %.
    Owned parent(Work(30, 30, 0xFF0000FAu));
    Owned control(Work(4, 4, 0xFF0000C8u));
    TCacheInfo ci;
    ci.Bmp = parent.bmp;
    ci.X = 5, ci.Y = 6;
    ci.Ready = true;
    ApplyDisabledKind(control.bmp, TsDisabledKind{dkBlended}, nullptr, TPoint(1, 1), ci);
    EXPECT_EQ(Px(control.bmp, 3, 3), 0xFF0000E6u);
    // Without one: half and half with the fill colour, after the grey.
    Owned plainControl(Work(4, 4, 0xFFC80064u));
    TCacheInfo fill;
    fill.FillColor = 0x0000FF;
    ApplyDisabledKind(plainControl.bmp, TsDisabledKind{dkGrayed, dkBlended}, nullptr, TPoint(), fill);
    EXPECT_EQ(Px(plainControl.bmp, 0, 0), 0xFFB23232u);
}

// A button's frame: the key pixels of its corners keep the bitmap's pixels
// and are cut out of the window region; a region is optional.
TEST(MaskPaintGdi, BorderMaskCutsKeyCornersOutOfTheRegion) {
    PlainMask plain(0);
    plain.mask.Bmp->At(1, 0) = kKeyPixel;   // frame 0: the two first pixels of the top row
    plain.mask.Bmp->At(0, 0) = kKeyPixel;
    Owned bmp(Work(20, 15, kSentinel));
    HRGN rgn = ::CreateRectRgn(0, 0, 20, 15);
    DrawBorderMask(bmp.bmp, rgn, false, 0, plain.mask);
    EXPECT_FALSE(::PtInRegion(rgn, 0, 0));
    EXPECT_FALSE(::PtInRegion(rgn, 1, 0));
    EXPECT_TRUE(::PtInRegion(rgn, 2, 0));
    EXPECT_TRUE(::PtInRegion(rgn, 19, 14));
    EXPECT_TRUE(::PtInRegion(rgn, 10, 7));
    EXPECT_EQ(Px(bmp.bmp, 0, 0), kSentinel);
    EXPECT_EQ(Px(bmp.bmp, 2, 0), plain.mask.Bmp->At(2, 0));

    // Frame 1 has its keys in the top-left and bottom-right corners.
    DrawBorderMask(bmp.bmp, rgn, true, 1, plain.mask);
    EXPECT_FALSE(::PtInRegion(rgn, 19, 14));
    EXPECT_TRUE(::PtInRegion(rgn, 18, 14));
    EXPECT_EQ(Px(bmp.bmp, 19, 14), plain.mask.Bmp->At(17, 5) == kKeyPixel ? kSentinel : Px(bmp.bmp, 19, 14));
    DrawBorderMask(bmp.bmp, nullptr, true, 1, plain.mask);
    EXPECT_EQ(Px(bmp.bmp, 1, 1), plain.mask.Bmp->At(10, 1));
    ::DeleteObject(rgn);

    // Without a manager nothing is drawn or cut.
    plain.mask.Manager = nullptr;
    Owned clean(Work(20, 15, kSentinel));
    HRGN whole = ::CreateRectRgn(0, 0, 20, 15);
    DrawBorderMask(clean.bmp, whole, true, 0, plain.mask);
    EXPECT_TRUE(::PtInRegion(whole, 0, 0));
    EXPECT_EQ(Px(clean.bmp, 5, 5), kSentinel);
    ::DeleteObject(whole);
}
