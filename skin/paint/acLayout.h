// Placing a glyph and a caption inside a button: pure geometry, shared by
// painting and hit testing. Portable.
#pragma once

#include "Types.h"

// Layout kinds: 0 caption then glyph on one line, 1 glyph then caption,
// 2 caption above glyph, 3 glyph above caption. Flags bit 2 exchanges kinds
// 0 and 1 (right-to-left reading). Alignment (kinds 0 and 1): 0 from the
// left, 1 to the right, 2 centred.
//
// ClientRect is the button's client rectangle and Margins the space kept
// free inside it on each side. TextPos comes in as the caption's size
// (0, 0, width, height) and goes out placed; GlyphRect goes out placed.
// Margin -1 and Spacing below 0 share the free space of the layout axis in
// three; Margin -1 alone gives 2 pixels (half the free space when centred);
// Spacing below 0 alone gives 2 pixels. A glyph or caption of width 0 has no
// spacing.
void CalcGlyphTextLayout(const TRect& ClientRect, const TRect& Margins, const TSize& GlyphSize, Integer Flags,
                         TRect& GlyphRect, TRect& TextPos, Integer Spacing, Integer Margin, Integer Alignment,
                         Integer Layout);
