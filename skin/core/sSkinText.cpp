#include "sSkinText.h"

#include <algorithm>
#include <memory>

#include "Strings.h"
#include "acPixels.h"
#include "acUtils.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"

namespace {

const String kEllipsis = u"...";

bool IsLowSurrogate(Char c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsHighSurrogate(Char c) { return c >= 0xD800 && c <= 0xDBFF; }

// Takes the last code point from Text: a surrogate pair goes as a whole.
void DropLastCodePoint(String& Text) {
    if (Text.empty()) return;
    const std::size_t n = Text.size();
    if (n >= 2 && IsLowSurrogate(Text[n - 1]) && IsHighSurrogate(Text[n - 2]))
        Text.resize(n - 2);
    else
        Text.resize(n - 1);
}

struct FreeObject {
    void operator()(TObject* o) const {
        if (o) o->Free();
    }
};
using TBitmapHolder = std::unique_ptr<TBitmap, FreeObject>;

// Prepares a work bitmap's canvas to draw text in Font, black, without a
// background; returns its DC.
HDC PrepareBlackText(TBitmap* Work, TFont* Font) {
    TCanvas* canvas = Work->Canvas();
    canvas->Font()->Assign(Font);
    canvas->Font()->SetColor(clBlack);
    canvas->Brush()->SetStyle(bsClear);
    HDC dc = canvas->Handle();
    ::SetBkMode(dc, TRANSPARENT);
    return dc;
}


// The DC's clip region, background mode and text colour and the canvas's
// brush style, given back when the caption is done.
class TCaptionDCState {
public:
    TCaptionDCState(TCanvas* Canvas, const TRect& R) : FCanvas(Canvas), FBrushStyle(Canvas->Brush()->Style()) {
        FDC = Canvas->Handle();
        FClip = ::CreateRectRgn(0, 0, 0, 0);
        FHadClip = FClip && ::GetClipRgn(FDC, FClip) == 1;
        FBkMode = ::GetBkMode(FDC);
        FTextColor = ::GetTextColor(FDC);
        Canvas->Brush()->SetStyle(bsClear);
        FDC = Canvas->Handle();
        ::IntersectClipRect(FDC, R.Left, R.Top, R.Right, R.Bottom);
        ::SetBkMode(FDC, TRANSPARENT);
    }
    ~TCaptionDCState() {
        FCanvas->Brush()->SetStyle(FBrushStyle);
        ::SelectClipRgn(FDC, FHadClip ? FClip : nullptr);
        if (FClip) ::DeleteObject(FClip);
        ::SetBkMode(FDC, FBkMode);
        ::SetTextColor(FDC, FTextColor);
    }
    TCaptionDCState(const TCaptionDCState&) = delete;
    TCaptionDCState& operator=(const TCaptionDCState&) = delete;
    HDC DC() const { return FDC; }

private:
    TCanvas* FCanvas;
    TBrushStyle FBrushStyle;
    HDC FDC = nullptr;
    HRGN FClip = nullptr;
    bool FHadClip = false;
    int FBkMode = 0;
    COLORREF FTextColor = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Measuring and plain output

void CutTextToWidth(TCanvas* Canvas, const String& Text, Integer MaxWidth, String& Result) {
    if (MaxWidth <= 0) {
        Result.clear();
        return;
    }
    Result = Text;
    if (Canvas == nullptr || CanvasTextWidth(Canvas, Result) <= MaxWidth) return;
    while (!Result.empty()) {
        DropLastCodePoint(Result);
        if (!Result.empty() && CanvasTextWidth(Canvas, Result + kEllipsis) <= MaxWidth) {
            Result += kEllipsis;
            return;
        }
    }
}

Integer DrawTextRect(HDC DC, const String& Text, TRect& R, Cardinal Flags) {
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    const int result = ::DrawTextW(DC, WStr(Text), static_cast<int>(Text.size()), &r, Flags);
    R = r;
    return result;
}

Integer CanvasTextWidth(TCanvas* Canvas, const String& Text) { return Canvas->TextWidth(Text); }

void CanvasTextExtent(TCanvas* Canvas, const String& Text, TSize& Size) { Size = Canvas->TextExtent(Text); }

void CanvasTextOut(TCanvas* Canvas, Integer X, Integer Y, const String& Text) { Canvas->TextOut(X, Y, Text); }

void GetTextExtentDC(HDC DC, const String& Text, TSize& Size) {
    SIZE s{};
    if (::GetTextExtentPoint32W(DC, WStr(Text), static_cast<int>(Text.size()), &s))
        Size = TSize{s.cx, s.cy};
    else
        Size = TSize{};
}

// ---------------------------------------------------------------------------
// Section text on a canvas

void TacDCTextPass::operator()(TColor Colour, const TRect& R) const {
    ::SetTextColor(DC, static_cast<COLORREF>(ColorToRGB(Colour)));
    TRect r = R;
    DrawTextRect(DC, Text, r, Flags);
}

void DrawSectionText(TCanvas* Canvas, const String& Text, bool Enabled, TsSkinManager* Manager, bool Hot,
                     Integer SkinIndex, Cardinal Flags, const TRect& R) {
    DrawSectionTextCore(Canvas, Text, Enabled, Manager, Hot, SkinIndex, Flags, R);
}

void DrawSectionTextCore(TCanvas* Canvas, const String& Text, bool Enabled, TsSkinManager* Manager, bool Hot,
                         Integer SkinIndex, Cardinal Flags, const TRect& R) {
    if (Text.empty() || Canvas == nullptr) return;
    if (Manager == nullptr) Manager = DefaultManager;
    if (Manager == nullptr || !Manager->IsValidSkinIndex(SkinIndex)) return;
    const TsGeneralData& section = Manager->gd()[static_cast<std::size_t>(SkinIndex)];
    if (!Enabled) Canvas->Font()->SetColor(BlendColors(section.FontColor.Color, section.Color, 0.4));
    HDC dc = Canvas->Handle();
    ::SetBkMode(dc, TRANSPARENT);
    if (!Enabled) {
        TRect r = R;
        DrawTextRect(dc, Text, r, Flags);
        return;
    }
    ForEachTextPass(section.Props[Hot ? 1 : 0].FontColor, true, R, TacDCTextPass{dc, Text, Flags},
                    [](TColor c) { return c; });
}

// ---------------------------------------------------------------------------
// Captions of controls

void DrawCaption(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, const TacCaptionSkin& Skin,
                 Cardinal Flags, const TRect& R) {
    if (Text.empty() || Canvas == nullptr) return;
    TCaptionDCState state(Canvas, R);
    HDC dc = state.DC();
    auto drawOnce = [&](TColor colour, Integer dx, Integer dy) {
        TRect r = R;
        r.Offset(dx, dy);
        TacDCTextPass{dc, Text, Flags}(colour, r);
    };

    TsSkinManager* manager = Skin.Manager;
    if (!Skin.Skinned || manager == nullptr || Skin.CustomFont) {
        if (Enabled) {
            drawOnce(Canvas->Font()->Color(), 0, 0);
        } else {
            drawOnce(clBtnHighlight, 1, 1);
            drawOnce(clBtnShadow, 0, 0);
        }
        return;
    }
    if (!manager->IsValidSkinIndex(Skin.SkinIndex)) {
        drawOnce(Canvas->Font()->Color(), 0, 0);
        return;
    }
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(Skin.SkinIndex)];
    const TsGenState& props = section.Props[Hot ? 1 : 0];
    auto tint = [&](TColor c) { return SaturateColor(RotateColorHue(Skin.HueOffset, c), Skin.Saturation); };

    if (!Enabled) {
        drawOnce(tint(BlendColors(section.FontColor.Color, manager->GetGlobalColor(), 0.4)), 0, 0);
        return;
    }
    if (Skin.CacheBmp != nullptr && props.GlowSize > 0) {
        TBitmap* map = nullptr;
        DrawBlurredText(Skin.CacheBmp, Text, R, map, tint(props.GlowColor), props.GlowSize, acContourAll, Flags);
        if (map) map->Free();
    }
    // The contours lie one pixel off R; the text itself, at R, is not clipped
    // by the drawing call.
    ForEachTextPass(
        props.FontColor, true, R,
        [&](TColor colour, const TRect& r) { TacDCTextPass{dc, Text, r == R ? Flags | DT_NOCLIP : Flags}(colour, r); },
        tint);
}

// ---------------------------------------------------------------------------
// Glow

void DrawBlurredText(TBitmap* Bmp, const String& Text, const TRect& R, TBitmap*& Cache, TColor Color,
                     Integer Radius, Integer ContourSides, Cardinal Flags) {
    if (Bmp == nullptr || Bmp->Empty() || Text.empty() || R.IsEmpty()) return;
    Radius = std::clamp<Integer>(Radius, 0, 100);
    const Integer margin = Radius + 4;
    const std::int64_t w = std::int64_t{R.Width()} + 2 * margin, h = std::int64_t{R.Height()} + 2 * margin;
    // A glow far larger than any bitmap it could fall on is not drawn.
    if (w > 0x8000 || h > 0x8000) return;
    if (PrepareGlowMap(Cache, static_cast<Integer>(w), static_cast<Integer>(h))) {
        HDC dc = PrepareBlackText(Cache, Bmp->Canvas()->Font());
        const TRect textR = Bounds(margin, margin, R.Width(), R.Height());
        const struct {
            Integer Bit, Dx, Dy;
        } sides[4] = {{acContourLeft, -1, 0}, {acContourTop, 0, -1}, {acContourRight, 1, 0}, {acContourBottom, 0, 1}};
        for (const auto& side : sides) {
            if ((ContourSides & side.Bit) == 0) continue;
            TRect r = textR;
            r.Offset(side.Dx, side.Dy);
            DrawTextRect(dc, Text, r, Flags);
        }
        TRect r = textR;
        DrawTextRect(dc, Text, r, Flags);
        ::GdiFlush();
        BlurBitmap(Cache, Radius);
    }
    LayGlowMap(Bmp, Cache, R.Left - margin, R.Top - margin, ColorToRGB(Color));
    Bmp->Modified = true;
}

// ---------------------------------------------------------------------------
// Text on 32-bit bitmaps

void DrawTextOnBitmap32(TBitmap* Bmp, const String& Text, TColor Color, Cardinal Flags, const TRect& R,
                        bool /*Opaque*/, Integer Options) {
    if (Bmp == nullptr || Bmp->PixelFormat() != pf32bit || Bmp->Empty() || Text.empty() || R.IsEmpty()) return;
    const TRect clip(std::max<Integer>(R.Left, 0), std::max<Integer>(R.Top, 0), std::min(R.Right, Bmp->Width()),
                     std::min(R.Bottom, Bmp->Height()));
    if (clip.IsEmpty()) return;
    TBitmapHolder work(CreateWorkBitmap(clip.Width(), clip.Height()));
    work->Canvas()->Brush()->SetColor(clWhite);
    work->Canvas()->FillRect(Rect(0, 0, clip.Width(), clip.Height()));
    HDC dc = PrepareBlackText(work.get(), Bmp->Canvas()->Font());
    // The text keeps its place in the whole of R.
    TRect r = R;
    r.Offset(-clip.Left, -clip.Top);
    if (Options & acTextAnsi) {
        const std::string ansi = StringToAnsi(Text);
        RECT rr{r.Left, r.Top, r.Right, r.Bottom};
        ::DrawTextA(dc, ansi.c_str(), static_cast<int>(ansi.size()), &rr, Flags);
    } else {
        DrawTextRect(dc, Text, r, Flags);
    }
    ::GdiFlush();
    LayTextInk(Bits32Of(Bmp), Bits32Of(work.get()), clip.Left, clip.Top, ColorToRGB(Color));
    Bmp->Modified = true;
}

void WriteTextWithContour(TBitmap* Bmp, const String& Text, bool Contour, TsSkinManager* Manager, bool Hot,
                          Integer SkinIndex, Cardinal Flags, const TRect& R) {
    if (Bmp == nullptr || Text.empty() || R.IsEmpty()) return;
    if (Manager == nullptr || !Manager->IsValidSkinIndex(SkinIndex)) {
        DrawTextOnBitmap32(Bmp, Text, Bmp->Canvas()->Font()->Color(), Flags, R, true);
        return;
    }
    const TsGeneralData& section = Manager->gd()[static_cast<std::size_t>(SkinIndex)];
    const TsFontColor& colours = section.Props[Hot && section.States > 0 ? 1 : 0].FontColor;
    ForEachTextPass(
        colours, Contour, R,
        [&](TColor colour, const TRect& r) { DrawTextOnBitmap32(Bmp, Text, colour, Flags, r, true); },
        [](TColor c) { return c; });
}
