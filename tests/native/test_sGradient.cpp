// Gradient texts of skin sections parsed into pieces.
#include <gtest/gtest.h>

#include "SysUtils.h"
#include "sGradient.h"

namespace {

struct GradientCase {
    const char16_t* Text;
    TsGradArray Expected;
};

class GradientTextTest : public ::testing::TestWithParam<GradientCase> {};

TEST_P(GradientTextTest, ParsesPieces) {
    TsGradArray arr{{1, 2, 3, 4, 5}};   // stale content must go
    PrepareGradientArray(GetParam().Text, arr);
    EXPECT_EQ(arr, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GradientTextTest,
    ::testing::Values(
        GradientCase{u"", {}},
        GradientCase{u"16777215;12632256;60;0;0;12632256;8421504;40;0;0",
                     {{16777215, 12632256, 60, 0, 0}, {12632256, 8421504, 40, 0, 0}}},
        GradientCase{u"255;255;50;0;0", {{255, 255, 50, 0, 0}}},
        // Seven tokens make one piece; four make none.
        GradientCase{u"1;2;30;1;0;5;6", {{1, 2, 30, 1, 0}}},
        GradientCase{u"1;2;30;1", {}},
        // Runs of separators count as one, at either end too.
        GradientCase{u";;1;;2;3;;;2;0;;", {{1, 2, 3, 2, 0}}},
        // Percent clamped to 0..100, colours below 0 become 0; Mode is kept.
        GradientCase{u"-5;-1;150;7;0", {{0, 0, 100, 7, 0}}},
        GradientCase{u"10;20;-30;-1;0", {{10, 20, 0, -1, 0}}},
        // The fifth token is never read.
        GradientCase{u"1;2;3;0;junk", {{1, 2, 3, 0, 0}}}));

TEST(GradientText, MalformedNumbersRaiseAndLeaveTheArrayEmpty) {
    for (const char16_t* text : {u"red;2;3;0;0", u"1;2;3;x;0", u"1;2;3;0;0;4;5;six;0;0", u"1;2; 3;0;0",
                                 u"99999999999;0;0;0;0", u"1,2,3,4,5;1;1;1;1"}) {
        SCOPED_TRACE(StringToUtf8(text));
        TsGradArray arr{{1, 2, 3, 4, 5}};
        EXPECT_THROW(PrepareGradientArray(text, arr), EConvertError);
        EXPECT_TRUE(arr.empty());
    }
}

}  // namespace
