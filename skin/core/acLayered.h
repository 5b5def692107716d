// Layered windows: every update of a layered window's image goes through
// acUpdateLayered, a thin layer over the system's UpdateLayeredWindow (taken
// at start-up, see sVclUtils). A recorder, while it lives, keeps a copy of
// each update (window, place, size, blend and the source pixels), so that
// what a layered window shows can be checked where the screen cannot show
// partial alpha. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Graphics.h"
#include "WinApi.h"

// One update of a layered window as it was asked for.
struct TacLayeredFrame {
    HWND Wnd = nullptr;
    bool Moved = false;       // a new top-left was given (Pos)
    POINT Pos{0, 0};
    bool Sized = false;       // a new size was given (Size)
    SIZE Size{0, 0};
    POINT SrcPos{0, 0};
    COLORREF Key = 0;
    BLENDFUNCTION Blend{};
    DWORD Flags = 0;
    bool Done = false;        // the system accepted the update
    // The source pixels of the update (Size at SrcPos of the source), rows
    // top-down, words 0xAARRGGBB; empty when the source DC held no 32-bit
    // DIB section or no size was given.
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    std::uint32_t Pixel(int x, int y) const {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }
};

// UpdateLayeredWindow through the entry point found at start-up; false when
// the system has none or refuses the update.
bool acUpdateLayered(HWND Wnd, HDC DstDC, const POINT* Pos, const SIZE* Size, HDC SrcDC, const POINT* SrcPos,
                     COLORREF Key, const BLENDFUNCTION* Blend, DWORD Flags);
// The whole of a 32-bit bitmap, as it is, as the window's image with
// per-pixel alpha (ULW_ALPHA), its top-left moved to Pos unless Pos is
// nullptr; the window takes the bitmap's size. The system adds the colours
// to what lies below in the measure the alpha leaves it: colours above
// their alpha brighten the screen (a glow drawn through a mask over a clear
// image is pure added light).
bool acUpdateLayeredBitmap(HWND Wnd, TBitmap* Bmp, const POINT* Pos, const BLENDFUNCTION& Blend);

// The blend of per-pixel alpha with full constant alpha.
BLENDFUNCTION acAlphaBlend(Byte ConstantAlpha = 255);

// Records every layered update made while it lives (the latest recorder
// records; the previous one takes over again when it ends).
class TacLayeredRecorder {
public:
    TacLayeredRecorder();
    ~TacLayeredRecorder();
    TacLayeredRecorder(const TacLayeredRecorder&) = delete;
    TacLayeredRecorder& operator=(const TacLayeredRecorder&) = delete;

    std::vector<TacLayeredFrame> Frames;
    // The frames of one window, in order.
    std::vector<TacLayeredFrame> FramesOf(HWND Wnd) const;

private:
    TacLayeredRecorder* FPrevious;
};
