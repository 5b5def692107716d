#include "acLayout.h"

#include <algorithm>

void CalcGlyphTextLayout(const TRect& ClientRect, const TRect& Margins, const TSize& GlyphSize, Integer Flags,
                         TRect& GlyphRect, TRect& TextPos, Integer Spacing, Integer Margin, Integer Alignment,
                         Integer Layout) {
    Integer kind = Layout;
    if (Flags & 2) {
        if (kind == 0)
            kind = 1;
        else if (kind == 1)
            kind = 0;
    }
    // Everything is worked out relative to the free area, then moved by the
    // client rectangle's origin.
    const Integer areaLeft = Margins.Left;
    const Integer areaTop = Margins.Top;
    const Integer areaWidth = std::max<Integer>(0, ClientRect.Width() - Margins.Left - Margins.Right);
    const Integer areaHeight = std::max<Integer>(0, ClientRect.Height() - Margins.Top - Margins.Bottom);

    const Integer gw = std::max<Integer>(0, GlyphSize.cx), gh = std::max<Integer>(0, GlyphSize.cy);
    const Integer tw = std::max<Integer>(0, TextPos.Width()), th = std::max<Integer>(0, TextPos.Height());
    const bool horizontal = kind == 0 || kind == 1;

    if (gw == 0 || tw == 0) Spacing = 0;
    const Integer axisSize = horizontal ? areaWidth : areaHeight;
    const Integer items = horizontal ? gw + tw : gh + th;
    if (Margin == -1 && Spacing < 0) {
        Margin = Spacing = (axisSize - items) / 3;
    } else if (Spacing < 0) {
        Spacing = 2;
    }
    const Integer total = items + std::max<Integer>(0, Spacing);
    Integer start;
    if (!horizontal) {
        start = (axisSize - total + 1) / 2;   // the pair is centred vertically
    } else if (Alignment == 1) {
        start = axisSize - (Margin == -1 ? 2 : Margin) - total;
    } else if (Alignment == 2 || Margin == -1) {
        start = Alignment == 2 ? (axisSize - total + 1) / 2 : 2;
    } else {
        start = Margin;
    }
    const Integer gap = std::max<Integer>(0, Spacing);

    TPoint glyph, text;
    switch (kind) {
    case 0:   // caption, then glyph
        text = {start, (areaHeight - th + 1) / 2};
        glyph = {start + tw + gap, (areaHeight - gh + 1) / 2};
        break;
    case 2:   // caption above glyph
        text = {(areaWidth - tw + 1) / 2, start};
        glyph = {(areaWidth - gw + 1) / 2, start + th + gap};
        break;
    case 3:   // glyph above caption
        glyph = {(areaWidth - gw + 1) / 2, start};
        text = {(areaWidth - tw + 1) / 2, start + gh + gap};
        break;
    default:  // glyph, then caption
        glyph = {start, (areaHeight - gh + 1) / 2};
        text = {start + gw + gap, (areaHeight - th + 1) / 2};
        break;
    }
    const Integer dx = ClientRect.Left + areaLeft, dy = ClientRect.Top + areaTop;
    GlyphRect = Bounds(glyph.X + dx, glyph.Y + dy, gw, gh);
    TextPos = Bounds(text.X + dx, text.Y + dy, tw, th);
}
