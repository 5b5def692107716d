// One skinned scroll bar painted into a work bitmap: the two track sections
// ("SCROLLBAR1H" up to the thumb centre, "SCROLLBAR2H" after it, or the
// vertical ones), the two arrow buttons with their arrow glyphs and the thumb
// ("SCROLLSLIDERH" / "SCROLLSLIDERV") with its grip glyph, over what lies
// under the bar; a disabled bar is blended with that background. Also the
// state each piece is painted in. Win32, main thread only.
#pragma once

#include "Graphics.h"
#include "acFrameGeometry.h"
#include "sConst.h"

class TsSkinManager;

// What one bar looks like now.
struct TacScrollBarLook {
    bool Vertical = false;
    bool Enabled = true;
    Integer ArrowLength = 0;
    Integer MinThumbSize = 10;
    TacScrollValues Info;
    Integer PressedPart = acSbNone;   // the part shown pressed
    Integer HotPart = acSbNone;       // the hovered part
    Integer ThumbStart = -1;          // a dragged thumb's start; -1: from the position
};

// The section state of an arrow (acSbLineBefore or acSbLineAfter) or the
// thumb: 2 pressed, 1 hovered on an enabled bar, else 0. A track half is 2
// while its page part is pressed, else 0.
Integer ScrollPartState(const TacScrollBarLook& Look, Integer Part);

// The skin sections of a bar; false when the skin lacks the first track
// section (the bar is then left to the system).
bool ScrollBarSkinned(TsSkinManager* Manager, bool Vertical);

// The length of one arrow image of the skin's horizontal (left) or vertical
// (top) button glyph; 0 without one.
Integer SkinScrollArrowLength(TsSkinManager* Manager, bool Vertical);

// Paints the bar over the whole of Bmp (sized to the bar). Under gives what
// lies beneath the bar (its image with the bar's top-left at Under.X,
// Under.Y, or a fill colour). Nothing without a usable skin.
void PaintScrollBarBitmap(TsSkinManager* Manager, TBitmap* Bmp, const TCacheInfo& Under,
                          const TacScrollBarLook& Look);

// Fills R of Bmp with what Under holds at (Under.X + R.Left, Under.Y + R.Top),
// or with its colour (the button face without one).
void FillFromUnder(TBitmap* Bmp, const TRect& R, const TCacheInfo& Under);
