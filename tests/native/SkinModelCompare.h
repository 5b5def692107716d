// Compares two loaded skin models field by field (sections, masks with their
// pixels, the master bitmap, patterns), for tests that load one skin two ways.
#pragma once

#include <gtest/gtest.h>

#include "SysUtils.h"
#include "acSkinImages.h"
#include "sStyleSimply.h"

inline void ExpectSameSkinModels(const TacSkinModel& a, const TacSkinModel& b) {
    ASSERT_EQ(a.gd.size(), b.gd.size());
    for (std::size_t i = 0; i < a.gd.size(); ++i) {
        EXPECT_EQ(a.gd[i].ClassName, b.gd[i].ClassName);
        EXPECT_EQ(a.gd[i].Props, b.gd[i].Props);
        EXPECT_EQ(a.gd[i].BorderIndex, b.gd[i].BorderIndex);
        EXPECT_EQ(a.gd[i].TextureNormal, b.gd[i].TextureNormal);
    }
    ASSERT_TRUE(a.MasterBitmap && b.MasterBitmap);
    EXPECT_EQ(*a.MasterBitmap, *b.MasterBitmap);
    ASSERT_EQ(a.ma.size(), b.ma.size());
    for (std::size_t i = 0; i < a.ma.size(); ++i) {
        const TsMaskData &x = a.ma[i], &y = b.ma[i];
        SCOPED_TRACE(StringToUtf8(x.ClassName + u"." + x.PropertyName));
        EXPECT_EQ(x.ClassName, y.ClassName);
        EXPECT_EQ(x.PropertyName, y.PropertyName);
        EXPECT_EQ(x.R, y.R);
        EXPECT_EQ((std::vector<int>{x.ImageCount, x.MaskType, x.BorderWidth, x.DrawMode, x.ImgType, x.WL, x.WT, x.WR,
                                    x.WB, x.CornerType}),
                  (std::vector<int>{y.ImageCount, y.MaskType, y.BorderWidth, y.DrawMode, y.ImgType, y.WL, y.WT, y.WR,
                                    y.WB, y.CornerType}));
        ASSERT_EQ(bool(x.Bmp), bool(y.Bmp));
        if (x.Bmp) {
            EXPECT_EQ(*x.Bmp, *y.Bmp);
        }
    }
    ASSERT_EQ(a.pa.size(), b.pa.size());
    for (std::size_t i = 0; i < a.pa.size(); ++i) {
        EXPECT_EQ(a.pa[i].ClassName, b.pa[i].ClassName);
        EXPECT_EQ(a.pa[i].PropertyName, b.pa[i].PropertyName);
        EXPECT_EQ(a.pa[i].Img->Data, b.pa[i].Img->Data);
    }
    EXPECT_EQ(a.ConstData.IndexGLobalInfo, b.ConstData.IndexGLobalInfo);
}
