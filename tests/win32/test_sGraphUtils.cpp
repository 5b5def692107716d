// The TBitmap-level pixel routines on real DIB sections: bottom-up rows,
// one-row bitmaps, 24-bit sources and the parent image of a cache record.
#include <gtest/gtest.h>

#include <cstdint>

#include "FrameworkEnvironment.h"
#include "WorkBitmaps.h"
#include "Graphics.h"
#include "sGraphUtils.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using Owned = kestrune_test::OwnedBitmap;
using kestrune_test::Px;


void Fill(TBitmap* bmp, std::uint32_t word) {
    for (int y = 0; y < bmp->Height(); ++y)
        for (int x = 0; x < bmp->Width(); ++x) Px(bmp, x, y) = word;
}

TEST(YourGraphUtils, WorkBitmapsAreBottomUp32BitDibs) {
    Owned work(CreateWorkBitmap(5, 3));
    EXPECT_EQ(work->PixelFormat(), pf32bit);
    EXPECT_EQ(work->Width(), 5);
    EXPECT_EQ(work->Height(), 3);
    const TacBits32 bits = Bits32Of(work.bmp);
    EXPECT_EQ(bits.Stride, -20);   // bottom-up
    Owned like24(CreateWorkBitmap(1, 1));
    like24->SetPixelFormat(pf24bit);
    like24->SetSize(7, 2);
    Owned like(CreateBitmapLike(like24.bmp));
    EXPECT_EQ(like->PixelFormat(), pf24bit);
    EXPECT_EQ(like->Width(), 7);
    EXPECT_FALSE(Bits32Of(like.bmp).Valid());
}

TEST(YourGraphUtils, Fast32AttachFillAndPixels) {
    Owned bmp(CreateWorkBitmap(4, 3));
    Fill(bmp.bmp, 0);
    TacFast32 fast;
    ASSERT_TRUE(fast.Attach(bmp.bmp));
    std::uint32_t color = 0x00112233;
    fast.FillRect(TRect(2, 1, 50, 50), color);   // clipped
    EXPECT_EQ(color, 0xFF112233u);
    EXPECT_EQ(Px(bmp.bmp, 3, 2), 0xFF112233u);
    EXPECT_EQ(Px(bmp.bmp, 1, 2), 0u);
    fast.SetPixel(0, 0, 0x7F0000FF);
    EXPECT_EQ(Px(bmp.bmp, 0, 0), 0x7FFF0000u);
    EXPECT_EQ(fast.GetPixel(0, 0), 0x7F0000FF);
    EXPECT_EQ(fast.GetPixel(-1, 99), 0);

    Owned row(CreateWorkBitmap(4, 1));
    Fill(row.bmp, 0);
    TacFast32 refused;
    EXPECT_FALSE(refused.Attach(row.bmp));
    EXPECT_EQ(refused.FWidth, 0);
    FillRect32(row.bmp, TRect(2, 0, 10, 5), 0x0000FF);   // one row: filled directly
    EXPECT_EQ(Px(row.bmp, 1, 0), 0u);
    EXPECT_EQ(Px(row.bmp, 3, 0), 0xFFFF0000u);
    FillRect32(row.bmp, TRect(0, 1, 4, 2), 0x00FF00);   // not row 0
    EXPECT_EQ(Px(row.bmp, 0, 0), 0u);
}

TEST(YourGraphUtils, FadeAndBlendThroughFastSum) {
    Owned dst(CreateWorkBitmap(2, 2)), src(CreateWorkBitmap(2, 2)), thin(CreateWorkBitmap(1, 2));
    Fill(dst.bmp, 0x64646464);
    Fill(src.bmp, 0xC8C8C8C8);
    TacFastSum32 sum;
    EXPECT_FALSE(sum.Attach(thin.bmp, dst.bmp));
    FadeBitmapInto(dst.bmp, src.bmp, 128);
    EXPECT_EQ(Px(dst.bmp, 1, 1), 0x95959595u);   // 100 over 200 at 128 -> 149
    FadeBitmapInto(dst.bmp, thin.bmp, 0);
    EXPECT_EQ(Px(dst.bmp, 0, 0), 0x95959595u);
}

TEST(YourGraphUtils, SystemColoursAreResolved) {
    Owned bmp(CreateWorkBitmap(2, 2));
    Fill(bmp.bmp, 0xFF000000);
    BlendRectWithColor(bmp.bmp, TRect(0, 0, 2, 2), 0, clBtnFace);
    const TColor face = ColorToRGB(clBtnFace);
    EXPECT_EQ(Px(bmp.bmp, 1, 1), OpaquePixel(face));
}

TEST(YourGraphUtils, DrawAlphaBitmapAtReads24BitSources) {
    Owned src(CreateWorkBitmap(2, 1));
    src->SetPixelFormat(pf24bit);
    auto* p = static_cast<std::uint8_t*>(src->ScanLine(0));
    const std::uint8_t rgb[6] = {0x30, 0x20, 0x10, 0xFF, 0x00, 0xFF};
    std::copy(rgb, rgb + 6, p);
    Owned dst(CreateWorkBitmap(3, 2));
    Fill(dst.bmp, 0);
    DrawAlphaBitmapAt(dst.bmp, src.bmp, 1, 1, 0xFF00FF);
    EXPECT_EQ(Px(dst.bmp, 1, 1), 0xFF102030u);
    EXPECT_EQ(Px(dst.bmp, 2, 1), 0u);   // key
    EXPECT_EQ(src->PixelFormat(), pf24bit);
}

TEST(YourGraphUtils, CacheInfoParentFeedsKeyPixels) {
    Owned parent(CreateWorkBitmap(4, 4)), dst(CreateWorkBitmap(2, 2)), src(CreateWorkBitmap(2, 2));
    Fill(parent.bmp, 0x00C0C0C0);
    Px(parent.bmp, 3, 3) = 0x00ABCDEF;
    Fill(dst.bmp, 0);
    Fill(src.bmp, kKeyPixel);
    TCacheInfo ci;
    ci.Bmp = parent.bmp;
    ci.X = 2;
    ci.Y = 2;
    ci.Ready = true;
    CopyMaskedRect(dst.bmp, src.bmp, 0, 0, TRect(0, 0, 1, 1), 0xFF00FF, ci, true);
    EXPECT_EQ(Px(dst.bmp, 1, 1), 0xFFABCDEFu);
    EXPECT_EQ(Px(dst.bmp, 0, 0), 0xFFC0C0C0u);
    // The parent image is written only where the source is not key.
    ci.X = ci.Y = 0;
    Px(src.bmp, 0, 0) = 0x00010203;
    CopyMaskedRect(parent.bmp, src.bmp, 0, 0, TRect(0, 0, 1, 1), 0xFF00FF, ci, true);
    EXPECT_EQ(Px(parent.bmp, 0, 0), 0xFF010203u);
    EXPECT_EQ(Px(parent.bmp, 1, 1), 0x00C0C0C0u);
}

TEST(YourGraphUtils, CopyAlphaImageMakesTheSource32Bit) {
    Owned src(CreateWorkBitmap(2, 2)), dst(CreateWorkBitmap(2, 2));
    src->SetPixelFormat(pf24bit);
    Fill(dst.bmp, 0x00808080);
    CopyAlphaImage(TRect(0, 0, 2, 2), TRect(0, 0, 2, 2), dst.bmp, src.bmp, TCacheInfo{}, false);
    EXPECT_EQ(src->PixelFormat(), pf32bit);
}

}  // namespace
