#include "acLayered.h"

#include <algorithm>

#include "sVclUtils.h"

namespace {

TacLayeredRecorder* gRecorder = nullptr;

// Copies Size at SrcPos of the 32-bit DIB section selected into SrcDC.
void ReadSource(HDC SrcDC, const POINT* SrcPos, const SIZE* Size, TacLayeredFrame& Frame) {
    if (!SrcDC || !Size || Size->cx <= 0 || Size->cy <= 0) return;
    const auto bmp = static_cast<HBITMAP>(::GetCurrentObject(SrcDC, OBJ_BITMAP));
    DIBSECTION ds{};
    if (!bmp || ::GetObjectW(bmp, sizeof(ds), &ds) != static_cast<int>(sizeof(ds))) return;
    if (ds.dsBm.bmBitsPixel != 32 || !ds.dsBm.bmBits) return;
    ::GdiFlush();
    const int x0 = SrcPos ? SrcPos->x : 0;
    const int y0 = SrcPos ? SrcPos->y : 0;
    const int w = static_cast<int>(Size->cx);
    const int h = static_cast<int>(Size->cy);
    if (x0 < 0 || y0 < 0 || x0 + w > ds.dsBm.bmWidth || y0 + h > ds.dsBm.bmHeight) return;
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    const auto* base = static_cast<const std::uint8_t*>(ds.dsBm.bmBits);
    Frame.Width = w;
    Frame.Height = h;
    Frame.Pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const int row = bottomUp ? ds.dsBm.bmHeight - 1 - (y0 + y) : y0 + y;
        const auto* src = reinterpret_cast<const std::uint32_t*>(base + static_cast<std::ptrdiff_t>(row) * ds.dsBm.bmWidthBytes) + x0;
        std::copy(src, src + w, Frame.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
}

}  // namespace

bool acUpdateLayered(HWND Wnd, HDC DstDC, const POINT* Pos, const SIZE* Size, HDC SrcDC, const POINT* SrcPos,
                     COLORREF Key, const BLENDFUNCTION* Blend, DWORD Flags) {
    bool done = false;
    if (LayeredWindowsAvailable() && acUpdateLayeredWindow) {
        POINT pos = Pos ? *Pos : POINT{};
        SIZE size = Size ? *Size : SIZE{};
        POINT src = SrcPos ? *SrcPos : POINT{};
        BLENDFUNCTION blend = Blend ? *Blend : BLENDFUNCTION{};
        done = acUpdateLayeredWindow(Wnd, DstDC, Pos ? &pos : nullptr, Size ? &size : nullptr, SrcDC,
                                     SrcPos ? &src : nullptr, Key, Blend ? &blend : nullptr, Flags) != FALSE;
    }
    if (gRecorder) {
        TacLayeredFrame frame;
        frame.Wnd = Wnd;
        frame.Moved = Pos != nullptr;
        if (Pos) frame.Pos = *Pos;
        frame.Sized = Size != nullptr;
        if (Size) frame.Size = *Size;
        if (SrcPos) frame.SrcPos = *SrcPos;
        frame.Key = Key;
        if (Blend) frame.Blend = *Blend;
        frame.Flags = Flags;
        frame.Done = done;
        ReadSource(SrcDC, SrcPos, Size, frame);
        gRecorder->Frames.push_back(std::move(frame));
    }
    return done;
}

BLENDFUNCTION acAlphaBlend(Byte ConstantAlpha) {
    BLENDFUNCTION b{};
    b.BlendOp = AC_SRC_OVER;
    b.BlendFlags = 0;
    b.SourceConstantAlpha = ConstantAlpha;
    b.AlphaFormat = AC_SRC_ALPHA;
    return b;
}

bool acUpdateLayeredBitmap(HWND Wnd, TBitmap* Bmp, const POINT* Pos, const BLENDFUNCTION& Blend) {
    if (!Wnd || !Bmp || Bmp->Empty() || Bmp->PixelFormat() != pf32bit) return false;
    const HDC screen = ::GetDC(nullptr);
    SIZE size{Bmp->Width(), Bmp->Height()};
    POINT src{0, 0};
    const bool done = acUpdateLayered(Wnd, screen, Pos, &size, Bmp->Canvas()->Handle(), &src, 0, &Blend, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
    return done;
}

TacLayeredRecorder::TacLayeredRecorder() : FPrevious(gRecorder) { gRecorder = this; }

TacLayeredRecorder::~TacLayeredRecorder() {
    if (gRecorder == this) gRecorder = FPrevious;
}

std::vector<TacLayeredFrame> TacLayeredRecorder::FramesOf(HWND Wnd) const {
    std::vector<TacLayeredFrame> out;
    for (const TacLayeredFrame& f : Frames)
        if (f.Wnd == Wnd) out.push_back(f);
    return out;
}
