// Records of the skin model: images and nine-part masks, texture patterns,
// the cached indexes of the fixed sections, and the kinds of foreign controls
// the engine adapts. Portable: no Windows header (bitmaps are only pointed to).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Types.h"

class TacImage32;
struct TacJPEGPattern;
class TsSkinManager;

using SmallInt = std::int16_t;

// The kind of a skin image.
enum TacImgType : Integer { itisaBorder = 0, itisaTexture = 1, itisaGlyph = 2, itisaGlow = 3, itisaPngGlyph = 4 };

// One image of the skin. Bmp is its own 32-bit image, or empty when the image
// lies in the master bitmap at R. Copies of an entry share the pixels.
struct TsMaskData {
    std::shared_ptr<TacImage32> Bmp;
    String ClassName;      // the section
    String PropertyName;   // the key, "BORDERSMASK" say
    TRect R;
    SmallInt ImageCount = 0;   // frames side by side
    SmallInt MaskType = 0;     // 0: one row; 1: image row and mask row; n: n + 1 rows
    SmallInt BorderWidth = 0;
    SmallInt DrawMode = 0;
    TacImgType ImgType = itisaBorder;
    TsSkinManager* Manager = nullptr;
    SmallInt WL = 0, WT = 0, WR = 0, WB = 0;   // nine-part cut
    SmallInt CornerType = 0;
};
using TsMaskArray = std::vector<TsMaskData>;

// A large texture pattern kept as its JPEG data.
struct TsPatternData {
    std::shared_ptr<TacJPEGPattern> Img;
    String ClassName;
    String PropertyName;
};
using TsPatternArray = std::vector<TsPatternData>;

// Width of one frame: 0 for no or a negative frame count, else the width of R
// divided among the frames (never below 0).
Integer MaskFrameWidth(const TsMaskData& Mask);
// Height of one row: 0 for a negative MaskType, the height of R for 0, else
// the height divided among MaskType + 1 rows (never below 0).
Integer MaskFrameHeight(const TsMaskData& Mask);

// Cached indexes of the fixed sections and masks; -1 when not found.
struct TConstantSkinData {
    SmallInt IndexGLobalInfo = -1;
    SmallInt ExBorder = -1;

    SmallInt IndexTabTop = -1, IndexTabBottom = -1, IndexTabLeft = -1, IndexTabRight = -1;
    SmallInt MaskTabTop = -1, MaskTabBottom = -1, MaskTabLeft = -1, MaskTabRight = -1;

    SmallInt IndexScrollTop = -1, IndexScrollBottom = -1, IndexScrollLeft = -1, IndexScrollRight = -1;
    SmallInt MaskScrollTop = -1, MaskScrollBottom = -1, MaskScrollLeft = -1, MaskScrollRight = -1;
    SmallInt IndexBGScrollTop = -1, IndexBGScrollBottom = -1, IndexBGScrollLeft = -1, IndexBGScrollRight = -1;
    SmallInt IndexBGHotScrollTop = -1, IndexBGHotScrollBottom = -1, IndexBGHotScrollLeft = -1,
             IndexBGHotScrollRight = -1;
    SmallInt MaskArrowTop = -1, MaskArrowBottom = -1, MaskArrowLeft = -1, MaskArrowRight = -1;

    SmallInt IndexSliderVert = -1, IndexSliderHorz = -1;
    SmallInt MaskSliderVert = -1, MaskSliderHorz = -1;
    SmallInt MaskSliderGlyphVert = -1, MaskSliderGlyphHorz = -1;
    SmallInt ScrollSliderBGHorz = -1, ScrollSliderBGHotHorz = -1, ScrollSliderBGVert = -1,
             ScrollSliderBGHotVert = -1;

    SmallInt IndexScrollBar1H = -1, IndexScrollBar1V = -1, IndexScrollBar2H = -1, IndexScrollBar2V = -1;
    SmallInt MaskScrollBar1H = -1, MaskScrollBar1V = -1, MaskScrollBar2H = -1, MaskScrollBar2V = -1;
    SmallInt BGScrollBar1H = -1, BGScrollBar1V = -1, BGScrollBar2H = -1, BGScrollBar2V = -1;
    SmallInt BGHotScrollBar1H = -1, BGHotScrollBar1V = -1, BGHotScrollBar2H = -1, BGHotScrollBar2V = -1;

    SmallInt CheckBoxChecked = -1, CheckBoxUnChecked = -1, CheckBoxGrayed = -1;
    SmallInt RadioButtonChecked = -1, RadioButtonUnChecked = -1, RadioButtonGrayed = -1;
    SmallInt SmallCheckBoxChecked = -1, SmallCheckBoxUnChecked = -1, SmallCheckBoxGrayed = -1;

    Integer ComboBtnIndex = -1;
    Integer ComboBtnBorder = -1;
    Integer ComboBtnBG = -1, ComboBtnBGHot = -1;
    Integer ComboGlyph = -1;
    Integer GripRightBottom = -1, GripHorizontal = -1, GripVertical = -1;
    Integer IndexWebBtn = -1;
};

// The kinds of foreign controls of the manager's class lists, and the
// default class list of each (" " means none).
constexpr int acThirdKindCount = 20;
extern const char16_t* const acThirdNames[acThirdKindCount];
extern const char16_t* const acThirdDefaults[acThirdKindCount];
