// The geometry of the skinned progress bar: its frame and bar rectangles,
// the size of one block, how many blocks the bar holds and shows, and where
// each block lies. Pure functions of a small model, shared by the painter
// and the tests. Portable: no Windows header.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "Types.h"

struct TacProgressModel {
    Integer Width = 0;
    Integer Height = 0;
    Integer BorderWidth = 0;
    Integer Min = 0;
    Integer Max = 100;
    Integer Position = 0;
    bool Vertical = false;
    bool Smooth = false;
    bool Marquee = false;
    double MarqPos = 0;      // marquee offset from the bar's start
    Integer MarqSize = 40;   // marquee length
};

// Nearest integer, halves to the even neighbour.
inline Integer acRoundEven(double x) { return static_cast<Integer>(std::nearbyint(x)); }

// Distance of the bar from each edge of the control: the 1-pixel frame and the border.
inline Integer acProgressInset(const TacProgressModel& M) { return 1 + M.BorderWidth; }

// The position has reached the end of the range.
inline bool acProgressAtMax(const TacProgressModel& M) { return M.Max > M.Min && M.Position >= M.Max; }

inline TRect acProgressFrameRect(const TacProgressModel& M) { return TRect(1, 1, M.Width - 1, M.Height - 1); }

// The rectangle the bar fills: the marquee's stretch, or the part up to the
// position (from the bottom for a vertical bar, from the left otherwise).
// With an empty range the whole inner area.
inline TRect acProgressBarRect(const TacProgressModel& M) {
    const Integer a = acProgressInset(M);
    TRect r(a, a, M.Width - a, M.Height - a);
    if (M.Marquee) {
        if (M.Vertical) {
            r.Bottom = M.Height - acRoundEven(M.MarqPos);
            r.Top = r.Bottom - M.MarqSize;
        } else {
            r.Left = a + acRoundEven(M.MarqPos);
            r.Right = r.Left + M.MarqSize;
        }
        return r;
    }
    if (M.Max == M.Min) return r;
    const double done = static_cast<double>(M.Position) - M.Min;
    const double range = static_cast<double>(M.Max) - M.Min;
    if (M.Vertical) {
        r.Top = acProgressAtMax(M) ? a : r.Bottom - acRoundEven((M.Height - 2 * a) / range * done);
    } else {
        r.Right = acProgressAtMax(M) ? M.Width - a : a + acRoundEven((M.Width - 2 * a) / range * done);
    }
    return r;
}

// The size of one block (cx across a horizontal bar's length).
inline TSize acProgressBlockSize(const TacProgressModel& M) {
    const Integer a = acProgressInset(M);
    const Integer innerW = M.Width - 2 * a, innerH = M.Height - 2 * a;
    if (M.Marquee) return M.Vertical ? TSize{innerW, 9} : TSize{9, innerH};
    const Integer thick = M.Vertical ? innerW : innerH;
    Integer length;
    if (M.Smooth) {
        const TRect bar = acProgressBarRect(M);
        length = M.Vertical ? bar.Height() : bar.Width();
    } else {
        length = acRoundEven(thick * 0.66) - 2;
    }
    return M.Vertical ? TSize{thick, length} : TSize{length, thick};
}

inline Integer acProgressBlockLength(const TacProgressModel& M) {
    const TSize s = acProgressBlockSize(M);
    return M.Vertical ? s.cy : s.cx;
}

inline Integer acProgressFrameLength(const TacProgressModel& M) {
    const TRect f = acProgressFrameRect(M);
    return M.Vertical ? f.Height() : f.Width();
}

// How many blocks a full bar holds; 0 when a block would be 1 pixel or less
// (a bar too thin for blocks).
inline Integer acProgressBlockCapacity(const TacProgressModel& M) {
    const Integer block = acProgressBlockLength(M);
    if (block <= 1) return 0;
    const Integer length = acProgressFrameLength(M);
    return length > 2 ? (length - 2) / (block + 2) : 0;
}

// How many blocks the position shows: none for an empty range or a bar
// that holds fewer than two.
inline Integer acProgressBlockCount(const TacProgressModel& M) {
    const Integer n = acProgressBlockCapacity(M);
    if (n <= 1 || M.Max <= M.Min || M.Position <= M.Min) return 0;
    const double done = static_cast<double>(std::min(M.Position, M.Max)) - M.Min;
    return acRoundEven(done * n / (static_cast<double>(M.Max) - M.Min));
}

// The rectangles of the blocks that are painted, in the control's
// coordinates. Nothing for an empty range, an empty bar or a block of 1
// pixel or less either way.
inline std::vector<TRect> acProgressBlocks(const TacProgressModel& M) {
    std::vector<TRect> out;
    if (M.Max <= M.Min && !M.Marquee) return out;
    const TRect bar = acProgressBarRect(M);
    const TSize block = acProgressBlockSize(M);
    if (bar.Width() <= 0 || bar.Height() <= 0 || block.cx <= 1 || block.cy <= 1) return out;
    const Integer a = acProgressInset(M);
    if (M.Marquee) {
        // Five blocks a pixel apart; one beyond the control wraps around to its start.
        for (Integer i = 0; i < 5; ++i) {
            if (M.Vertical) {
                Integer bottom = bar.Bottom - i * (block.cy + 1);
                if (bottom - block.cy < 0) bottom += M.Height;
                out.emplace_back(bar.Left, bottom - block.cy, bar.Left + block.cx, bottom);
            } else {
                Integer left = bar.Left + i * (block.cx + 1);
                if (left >= M.Width) left -= M.Width;
                out.emplace_back(left, bar.Top, left + block.cx, bar.Top + block.cy);
            }
        }
        return out;
    }
    if (M.Smooth) {
        out.push_back(bar);
        return out;
    }
    const Integer n = acProgressBlockCapacity(M);
    if (n <= 1) return out;
    const Integer length = acProgressFrameLength(M);
    const Integer blockLen = M.Vertical ? block.cy : block.cx;
    const Integer gap = (length - 2 - blockLen * n) / (n - 1);
    const Integer count = acProgressBlockCount(M);
    Integer end = 0;   // where the last block ends, along the bar
    for (Integer i = 0; i < count; ++i) {
        const Integer from = i * (blockLen + gap);
        if (M.Vertical)
            out.emplace_back(bar.Left, M.Height - a - from - blockLen, bar.Left + block.cx, M.Height - a - from);
        else
            out.emplace_back(a + from, bar.Top, a + from + blockLen, bar.Top + block.cy);
        end = from + blockLen;
    }
    // A full bar: a shortened block fills a remainder wider than 3 pixels.
    if (acProgressAtMax(M)) {
        const Integer inner = (M.Vertical ? M.Height : M.Width) - 2 * a;
        const Integer start = count > 0 ? end + gap : 0;
        if (inner - end > 3 && inner - start > 1) {
            if (M.Vertical)
                out.emplace_back(bar.Left, a, bar.Left + block.cx, M.Height - a - start);
            else
                out.emplace_back(a + start, bar.Top, M.Width - a, bar.Top + block.cy);
        }
    }
    return out;
}
