#include "sAlphaGraph.h"

#include <algorithm>
#include <memory>

#include "sGraphUtils.h"

namespace {

// Row 0 and the row step of a bitmap of any format.
bool RowsOf(TBitmap* bmp, std::uint8_t*& row0, std::ptrdiff_t& stride) {
    if (bmp == nullptr || bmp->Empty() || bmp->Width() <= 0 || bmp->Height() <= 0) return false;
    ::GdiFlush();
    row0 = static_cast<std::uint8_t*>(bmp->ScanLine(0));
    stride = bmp->Height() > 1 ? static_cast<std::uint8_t*>(bmp->ScanLine(1)) - row0 : -bmp->RowBytes();
    return true;
}

TacPixelView PixelsOf(TBitmap* bmp) {
    TacPixelView v;
    if (bmp == nullptr || (bmp->PixelFormat() != pf32bit && bmp->PixelFormat() != pf24bit)) return v;
    if (!RowsOf(bmp, v.Row0, v.Stride)) return v;
    v.Width = bmp->Width();
    v.Height = bmp->Height();
    v.BytesPerPixel = bmp->PixelFormat() == pf32bit ? 4 : 3;
    return v;
}

TacBits8 Bits8Of(TBitmap* bmp) {
    TacBits8 v;
    if (bmp == nullptr || bmp->PixelFormat() != pf8bit || !RowsOf(bmp, v.Row0, v.Stride)) return v;
    v.Width = bmp->Width();
    v.Height = bmp->Height();
    return v;
}

void Stretch(TBitmap* Src, TBitmap* Dst, Integer NewWidth, Integer Filter, Integer NewHeight, bool forPaint) {
    if (Src == nullptr || Dst == nullptr || Src->Empty() || NewWidth <= 0 || NewHeight <= 0) return;
    if (Filter < 0 || Filter >= kResampleFilterCount) return;
    if (!forPaint && (Src->Width() < 2 || Src->Height() < 2)) throw EacResample(u"Source bitmap is too small");
    const TPixelFormat format = Src->PixelFormat() == pf32bit ? pf32bit : pf24bit;
    if (Src == Dst) {
        if (Src->Width() == NewWidth && Src->Height() == NewHeight) return;
        // Resampling a bitmap into itself goes through a copy.
        std::unique_ptr<TBitmap> copy(new TBitmap());
        copy->Assign(Src);
        Stretch(copy.get(), Dst, NewWidth, Filter, NewHeight, forPaint);
        return;
    }
    if (Src->PixelFormat() != format) Src->SetPixelFormat(format);
    Dst->SetPixelFormat(format);
    Dst->SetSize(NewWidth, NewHeight);
    const TacPixelView s = PixelsOf(Src), d = PixelsOf(Dst);
    if (forPaint) ResamplePixelsForPaint(s, d, Filter);
    else ResamplePixels(s, d, Filter);
    Dst->Modified = true;
}

using GradientFillProc = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// msimg32's GradientFill, looked up once; null when the library or the
// entry is missing. The library stays loaded for the life of the process.
GradientFillProc GradientFillEntry() {
    static const GradientFillProc entry = [] {
        HMODULE lib = ::LoadLibraryW(L"msimg32.dll");
        return lib ? reinterpret_cast<GradientFillProc>(reinterpret_cast<void*>(::GetProcAddress(lib, "GradientFill")))
                   : nullptr;
    }();
    return entry;
}

void PaintCorners(TBitmap* Bmp, TRect R, const TsGradArray& Arr) {
    const GradientFillProc fill = GradientFillEntry();
    if (fill == nullptr) return;
    R.Left = std::max<Integer>(R.Left, 0);
    R.Top = std::max<Integer>(R.Top, 0);
    R.Right = std::min<Integer>(R.Right, Bmp->Width());
    R.Bottom = std::min<Integer>(R.Bottom, Bmp->Height());
    if (R.IsEmpty()) return;
    TRIVERTEX v[5];
    const auto corners = GradientCornerVertices(R, Arr);
    for (int i = 0; i < 5; ++i) {
        const TColor c = corners[i].Color;
        v[i].x = corners[i].X;
        v[i].y = corners[i].Y;
        v[i].Red = static_cast<COLOR16>((c & 0xFF) << 8);
        v[i].Green = static_cast<COLOR16>(c & 0xFF00);
        v[i].Blue = static_cast<COLOR16>(((c >> 16) & 0xFF) << 8);
        v[i].Alpha = 0xFF00;
    }
    GRADIENT_TRIANGLE tri[4] = {{0, 1, 2}, {1, 2, 3}, {0, 1, 4}, {4, 1, 3}};
    fill(Bmp->Canvas()->Handle(), v, 5, tri, 4, GRADIENT_FILL_TRIANGLE);
    ::GdiFlush();
    Bmp->Modified = true;
}

}  // namespace

void StretchBitmapFiltered(TBitmap* Src, TBitmap* Dst, Integer NewWidth, Integer Filter, Integer NewHeight) {
    Stretch(Src, Dst, NewWidth, Filter, NewHeight, false);
}

void StretchBitmapForPaint(TBitmap* Src, TBitmap* Dst, Integer NewWidth, Integer Filter, Integer NewHeight) {
    Stretch(Src, Dst, NewWidth, Filter, NewHeight, true);
}

void PaintGradient(TBitmap* Bmp, const TRect& R, const TsGradArray& Arr, Integer Offset) {
    const TacBits32 bits = Bits32Of(Bmp);
    if (!bits.Valid() || Arr.empty()) return;
    if (Arr.front().Mode == 2) PaintCorners(Bmp, R, Arr);
    else PaintGradient(bits, R, Arr, Offset);
}

void PaintGradientWithTexture(TBitmap* Bmp, const TRect& R, const TsGradArray& Arr, Integer TextureWeight,
                              const TRect& TextureRect, TBitmap* MasterBmp) {
    PaintGradientWithTexture(Bits32Of(Bmp), R, Arr, TextureWeight, TextureRect, Bits32Of(MasterBmp));
}

void GrayscaleBitmap(TBitmap* Bmp) { GrayscaleBitmap(Bits32Of(Bmp)); }
void GrayscaleBitmapExceptKey(TBitmap* Bmp, std::uint32_t Key) { GrayscaleBitmapExceptKey(Bits32Of(Bmp), Key); }
void ShiftBitmapHue(TBitmap* Bmp, Integer Degrees) { ShiftBitmapHue(Bits32Of(Bmp), Degrees); }
void ChangeBitmapSaturation(TBitmap* Bmp, Integer Amount) { ChangeBitmapSaturation(Bits32Of(Bmp), Amount); }

bool PrepareGlowMap(TBitmap*& Cache, Integer Width, Integer Height) {
    if (Cache != nullptr && Cache->PixelFormat() == pf8bit && Cache->Width() == Width && Cache->Height() == Height)
        return false;
    if (Cache == nullptr) Cache = new TBitmap();
    Cache->SetPixelFormat(pf8bit);
    std::vector<RGBQUAD> grey(256);
    for (int i = 0; i < 256; ++i) {
        const auto b = static_cast<BYTE>(i);
        grey[i] = {b, b, b, 0};
    }
    Cache->SetColorTable(grey);
    Cache->SetSize(std::max<Integer>(Width, 0), std::max<Integer>(Height, 0));
    const TacBits8 map = Bits8Of(Cache);
    for (int y = 0; y < map.Height; ++y) std::fill_n(map.Row(y), map.Width, std::uint8_t{255});
    return true;
}

void BlurBitmap(TBitmap* Bmp8, Integer Radius) {
    const TacBits8 map = Bits8Of(Bmp8);
    if (!map.Valid()) return;
    BlurBitmap(map, Radius);
    Bmp8->Modified = true;
}

void LayGlowMap(TBitmap* Bmp, TBitmap* Map8, Integer Left, Integer Top, TColor Color) {
    LayGlowMap(Bits32Of(Bmp), Bits8Of(Map8), Left, Top, Color);
}

void TileImage(TCanvas* Canvas, const TRect& R, TBitmap* Image) {
    if (Canvas == nullptr || Image == nullptr || Image->Empty() || R.IsEmpty()) return;
    const Integer w = Image->Width(), h = Image->Height();
    if (w <= 0 || h <= 0) return;
    HDC dst = Canvas->Handle();
    HDC src = Image->Canvas()->Handle();
    for (std::int64_t y = R.Top; y < R.Bottom; y += h)
        for (std::int64_t x = R.Left; x < R.Right; x += w) {
            const int cw = static_cast<int>(std::min<std::int64_t>(w, R.Right - x));
            const int ch = static_cast<int>(std::min<std::int64_t>(h, R.Bottom - y));
            ::BitBlt(dst, static_cast<int>(x), static_cast<int>(y), cw, ch, src, 0, 0, SRCCOPY);
        }
}

Integer GetFontTextHeight(HFONT Font) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, Font);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return tm.tmHeight + 6;
}

void GetFontTextExtent(HFONT Font, const String& Text, TSize& Size) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, Font);
    SIZE s{};
    const BOOL ok = ::GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(Text.c_str()), static_cast<int>(Text.size()), &s);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    Size = ok ? TSize{s.cx, s.cy} : TSize{};
}

void DrawRectFrame3D(HDC DC, const TRect& R, TColor LightColor, Integer& Count, TColor DarkColor) {
    if (!DC) {
        Count = 0;
        return;
    }
    HPEN light = ::CreatePen(PS_SOLID, 1, static_cast<COLORREF>(ColorToRGB(LightColor)));
    HPEN dark = ::CreatePen(PS_SOLID, 1, static_cast<COLORREF>(ColorToRGB(DarkColor)));
    HGDIOBJ oldPen = ::SelectObject(DC, light);
    HGDIOBJ oldBrush = ::SelectObject(DC, ::GetStockObject(NULL_BRUSH));
    TRect r = R;
    while (Count > 0) {
        if (r.Right - r.Left < 1 || r.Bottom - r.Top < 1) {
            Count = 0;
            break;
        }
        // Right and bottom are exclusive: the last column and row are one in.
        const int right = r.Right - 1, bottom = r.Bottom - 1;
        const POINT lightSide[3] = {{r.Left, bottom}, {r.Left, r.Top}, {right, r.Top}};
        ::SelectObject(DC, light);
        ::Polyline(DC, lightSide, 3);
        const POINT darkSide[3] = {{right, r.Top}, {right, bottom}, {r.Left - 1, bottom}};
        ::SelectObject(DC, dark);
        ::Polyline(DC, darkSide, 3);
        ++r.Left;
        ++r.Top;
        --r.Right;
        --r.Bottom;
        --Count;
    }
    ::SelectObject(DC, oldPen);
    ::SelectObject(DC, oldBrush);
    ::DeleteObject(light);
    ::DeleteObject(dark);
}

void DrawDottedFrame(TCanvas* Canvas, const TRect& R, TColor Color1, TColor Color2) {
    if (!Canvas || R.Right < R.Left || R.Bottom < R.Top) return;
    HDC dc = Canvas->Handle();
    if (!dc) return;
    const COLORREF c1 = static_cast<COLORREF>(ColorToRGB(Color1));
    const COLORREF c2 = static_cast<COLORREF>(ColorToRGB(Color2));
    // Every third pixel along a run, with the pixel before it in the first colour.
    auto dots = [&](int x0, int y0, int dx, int dy, int length) {
        for (int i = 2; i < length; i += 3) {
            ::SetPixel(dc, x0 + (i - 1) * dx, y0 + (i - 1) * dy, c1);
            ::SetPixel(dc, x0 + i * dx, y0 + i * dy, c2);
        }
    };
    const int w = R.Right - R.Left + 1, h = R.Bottom - R.Top + 1;
    dots(R.Left, R.Top, 1, 0, w);      // top
    dots(R.Left, R.Bottom, 1, 0, w);   // bottom
    dots(R.Left, R.Top, 0, 1, h);      // left
    dots(R.Right, R.Top, 0, 1, h);     // right
}
