// The section painter over pixel views: layer resolution, the texture draw
// modes, the masked tiler, composition against the parent and the corner and
// border steps. Every tiling step of 0 or less is skipped and tiles wholly
// outside the target are never visited.
#include "acSectionPaint.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "SysUtils.h"
#include "acFrameGeometry.h"
#include "acUtils.h"
#include "sGradient.h"

namespace {

using ll = long long;

// Extents beyond this are no geometry anyone paints.
constexpr ll kLimit = ll{1} << 28;

bool Sane(const TRect& R) {
    return R.Left >= -kLimit && R.Top >= -kLimit && R.Right <= kLimit && R.Bottom <= kLimit;
}

int Fit(ll v) { return static_cast<int>(std::clamp<ll>(v, -kLimit, kLimit)); }

TRect ClipToBits(const TRect& R, const TacBits32& B) {
    return TRect(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, B.Width), std::min(R.Bottom, B.Height));
}

// Visits the tiles of Tw x Th that cover Area from its top-left, the last
// ones clipped to Area (or, with WholeX / WholeY, only whole tiles along that
// axis), leaving out tiles wholly outside Limit (0..W, 0..H). Answers the
// right and bottom edges of what the tiles cover.
template <class F>
void ForTiles(const TRect& Area, ll Tw, ll Th, bool WholeX, bool WholeY, int W, int H, F Visit, ll* EndX = nullptr,
              ll* EndY = nullptr) {
    ll xEnd = Area.Left, yEnd = Area.Top;
    if (Tw > 0 && Th > 0 && !Area.IsEmpty()) {
        xEnd = WholeX ? Area.Left + (ll{Area.Right} - Area.Left) / Tw * Tw : Area.Right;
        yEnd = WholeY ? Area.Top + (ll{Area.Bottom} - Area.Top) / Th * Th : Area.Bottom;
        const ll x0 = Area.Left < 0 ? Area.Left + (-ll{Area.Left}) / Tw * Tw : Area.Left;
        const ll y0 = Area.Top < 0 ? Area.Top + (-ll{Area.Top}) / Th * Th : Area.Top;
        for (ll y = y0; y < yEnd && y < H; y += Th)
            for (ll x = x0; x < xEnd && x < W; x += Tw)
                Visit(static_cast<int>(x), static_cast<int>(y), static_cast<int>(std::min(Tw, xEnd - x)),
                      static_cast<int>(std::min(Th, yEnd - y)));
    }
    if (EndX) *EndX = xEnd;
    if (EndY) *EndY = yEnd;
}

void TileBlits(const TacBits32& Dst, const TRect& Area, const TacBits32& Src, const TRect& S, bool WholeX,
               bool WholeY, TacBlitter& Blitter) {
    ForTiles(Area, ll{S.Right} - S.Left, ll{S.Bottom} - S.Top, WholeX, WholeY, Dst.Width, Dst.Height,
             [&](int x, int y, int w, int h) {
        Blitter.Copy(Dst, x, y, Src, TRect(S.Left, S.Top, S.Left + w, S.Top + h));
    });
}

// Area of Dst takes the parent's pixels (Parent in Dst's coordinates); pixels
// whose parent position lies outside the parent image are left.
void CopyParent(const TacBits32& Dst, const TRect& Area, const TacParent& Parent) {
    if (Parent.Bmp == nullptr || !Parent.Bmp->Valid()) return;
    const TacBits32& p = *Parent.Bmp;
    if (Dst.SameBuffer(p) && Parent.X == 0 && Parent.Y == 0) return;
    const TRect r = ClipToBits(Area, Dst);
    const ll x0 = std::max<ll>(r.Left, -ll{Parent.X}), x1 = std::min<ll>(r.Right, ll{p.Width} - Parent.X);
    if (x0 >= x1) return;
    for (int y = r.Top; y < r.Bottom; ++y) {
        const ll sy = ll{y} + Parent.Y;
        if (sy < 0 || sy >= p.Height) continue;
        std::memmove(Dst.Row(y) + x0, p.Row(static_cast<int>(sy)) + (x0 + Parent.X),
                     static_cast<std::size_t>(x1 - x0) * 4);
    }
}

TacParent Shifted(TacParent P, ll Dx, ll Dy) {
    P.X = Fit(P.X + Dx);
    P.Y = Fit(P.Y + Dy);
    return P;
}

bool HasImage(const TacParent& P) { return P.Ready && P.Bmp != nullptr && P.Bmp->Valid(); }

// The rectangle of a mask clipped to its image.
TRect ImageRectOf(const TacMaskSource& Src) {
    const TRect& m = Src.Mask->R;
    return TRect(std::max(m.Left, 0), std::max(m.Top, 0), std::min(m.Right, Src.Image.Width),
                 std::min(m.Bottom, Src.Image.Height));
}

const TsMaskData* MaskAt(const TacSkinModel& Model, Integer Index) {
    return Model.IsValidImgIndex(Index) ? &Model.ma[static_cast<std::size_t>(Index)] : nullptr;
}

TacMaskSource SourceOf(const TacSkinModel& Model, const TsMaskData& Mask) {
    return MaskSourceOf(Mask, Model.MasterBitmap.get());
}

// The decoded image of a pattern; nullptr when it cannot be had.
const TacImage32* PatternImage(const TacSkinModel& Model, Integer Index) {
    if (Index < 0 || static_cast<std::size_t>(Index) >= Model.pa.size()) return nullptr;
    const auto& img = Model.pa[static_cast<std::size_t>(Index)].Img;
    if (!img) return nullptr;
    try {
        const TacImage32& decoded = img->Image();
        return decoded.Empty() ? nullptr : &decoded;
    } catch (const Exception&) {
        return nullptr;   // broken data paints no texture
    }
}

void PaintGradientOrColor(const TacSectionContext& Ctx, const TacSectionLayers& L, const TacBits32& Dst,
                          const TRect& R) {
    if (L.Gradient != nullptr && !L.Gradient->empty()) {
        TacGradientPainter pixels;
        (Ctx.Gradients != nullptr ? *Ctx.Gradients : pixels).Paint(Dst, R, *L.Gradient);
    } else {
        FillRect32(Dst, R, L.Color);
    }
}

// Whether PaintGradientOrColor writes every pixel of R: a colour fills it,
// and vertical and horizontal gradients paint every row and column of a
// rectangle of at least two by two pixels.
bool CoversWhole(const TacSectionLayers& L, const TRect& R) {
    if (L.Gradient == nullptr || L.Gradient->empty()) return true;
    return L.Gradient->front().Mode < 2 && L.Gradient->front().Mode >= 0 && R.Width() >= 2 && R.Height() >= 2;
}

// A work image of W x H pixels for one paint, cleared to 0 only when asked
// (a TacImage32 always clears).
struct ScratchImage {
    std::unique_ptr<std::uint32_t[]> Pixels;
    TacBits32 Bits;
    ScratchImage(int W, int H, bool Clear)
        : Pixels(Clear ? new std::uint32_t[static_cast<std::size_t>(W) * static_cast<std::size_t>(H)]()
                       : new std::uint32_t[static_cast<std::size_t>(W) * static_cast<std::size_t>(H)]),
          Bits{reinterpret_cast<std::uint8_t*>(Pixels.get()), W, H, static_cast<std::ptrdiff_t>(W) * 4} {}
};

// The layers of a state into R of Dst (Parent in Dst's coordinates).
void PaintLayers(const TacSectionContext& Ctx, const TacSectionLayers& L, const TacBits32& Dst, const TRect& R,
                 const TacParent& Parent, bool OnePass) {
    const TacSkinModel& model = *Ctx.Model;
    TacBlitter pixels;
    TacBlitter& blitter = Ctx.Blitter != nullptr ? *Ctx.Blitter : pixels;
    const int gp = L.GradientPercent, ip = L.ImagePercent;
    const TsMaskData* mask = L.TextureKind == TacTextureKind::Mask ? MaskAt(model, L.TextureIndex) : nullptr;
    const TacMaskSource src = mask != nullptr ? SourceOf(model, *mask) : TacMaskSource{};
    const bool gradient = L.Gradient != nullptr && !L.Gradient->empty();

    if (OnePass && gp + ip == 100 && gp >= 1 && gp <= 99 && src.Valid() && mask->MaskType == 0 &&
        mask->DrawMode == tdmTile && gradient && L.Gradient->front().Mode < 2) {
        const TRect texture = ImageRectOf(src);
        if (!texture.IsEmpty()) {
            PaintGradientWithTexture(Dst, R, *L.Gradient, PercentToWeight(ip), texture, src.Image);
            return;
        }
    }

    bool textured = false;
    if (ip > 0) {
        TRect rest = R;
        if (L.TextureKind == TacTextureKind::Pattern) {
            if (const TacImage32* img = PatternImage(model, L.TextureIndex)) {
                const TacBits32 view = img->View();
                rest = DrawTexture(Dst, R, view, TRect(0, 0, view.Width, view.Height), tdmTile, blitter);
            }
        } else if (src.Valid() && mask->MaskType == 0) {
            rest = DrawTexture(Dst, R, src.Image, ImageRectOf(src), mask->DrawMode, blitter);
        } else if (src.Valid() && mask->MaskType > 0) {
            if (DrawMaskedTexture(Dst, R, src, Parent)) rest = TRect();
        }
        // A missing texture counts as one that covered nothing.
        if (!rest.IsEmpty()) FillRect32(Dst, rest, L.Color);
        textured = true;
    }
    if (gp > 0) {
        if (textured) {
            // Pixels the gradient leaves are blended as 0; where it covers
            // every pixel the scratch image needs no clearing first.
            ScratchImage tmp(R.Width(), R.Height(), !CoversWhole(L, R));
            const TacBits32 t = tmp.Bits;
            PaintGradientOrColor(Ctx, L, t, TRect(0, 0, t.Width, t.Height));
            BlendBitmapsRect(Dst, t, static_cast<std::uint8_t>(LimitToByte(ip * 255 / 100)),
                             {R.Left, R.Top, R.Right, R.Bottom, 0, 0, t.Width, t.Height});
        } else {
            PaintGradientOrColor(Ctx, L, Dst, R);
        }
    }
    const int sum = gp + ip;
    if (sum == 0) FillRect32(Dst, R, L.Color);
    else if (sum < 100) BlendRectWithColor(Dst, TRect(R.Left, R.Top, R.Right - 1, R.Bottom - 1), sum, L.Color);
}

// Composition of the layers against what lies behind (Parent already in
// Bmp's coordinates). Fast: a plain fill colour stands for a wholly
// transparent section without parent image.
void Compose(const TacSectionContext& Ctx, const TacSectionLayers& L, const TacBits32& Bmp, const TRect& R,
             const TacParent& P, bool Fast) {
    const bool image = HasImage(P), fill = P.FillColor != kNoColor;
    const int t = L.Transparency;
    if (t <= 0 || (!image && !fill) || (Fast && !image && t < 100)) {
        PaintLayers(Ctx, L, Bmp, R, P, !Fast);
    } else if (t >= 100) {
        if (image) CopyParent(Bmp, R, P);
        else FillRect32(Bmp, R, P.FillColor);
    } else if (image || L.GradientPercent > 0 || L.ImagePercent > 0) {
        TacImage32 tmp(R.Width(), R.Height());
        const TacBits32 t32 = tmp.Bits();
        PaintLayers(Ctx, L, t32, TRect(0, 0, t32.Width, t32.Height), Shifted(P, R.Left, R.Top), !Fast);
        if (image) CopyParent(Bmp, R, P);
        else FillRect32(Bmp, R, P.FillColor);
        BlendBitmapsRect(Bmp, t32, static_cast<std::uint8_t>(LimitToByte(t * 255 / 100)),
                         {R.Left, R.Top, R.Right, R.Bottom, 0, 0, t32.Width, t32.Height});
    } else {
        FillRect32(Bmp, R, BlendColors(P.FillColor, L.Color, t / 100.0));
    }
}

// The section's own texture and pattern for a state, as ResolveSectionLayers
// tells.
void ResolveTexture(const TacSkinModel& Model, Integer SkinIndex, StringView Section, Integer Given, bool Hot,
                    TacSectionLayers& L) {
    const TsGeneralData& d = Model.gd[static_cast<std::size_t>(SkinIndex)];
    const StringView name = Hot ? StringView(u"HOTPATTERN") : StringView(u"PATTERN");
    Integer index = Given;
    if (index < 0 && !Hot) index = d.TextureNormal;
    if (index < 0) {
        index = Model.GetMaskIndex(SkinIndex, Section, name);
    } else if (const TsMaskData* m = MaskAt(Model, index); m == nullptr || m->MaskType != 0) {
        index = -1;
    }
    if (Model.IsValidImgIndex(index)) {
        L.TextureKind = TacTextureKind::Mask;
        L.TextureIndex = index;
        return;
    }
    index = Model.GetPatternIndex(SkinIndex, Section, name);
    if (index >= 0) {
        L.TextureKind = TacTextureKind::Pattern;
        L.TextureIndex = index;
    }
}

void FillLayers(const TsGeneralData& d, bool Hot, TacSectionLayers& L) {
    L.Color = Hot ? d.HotColor : d.Color;
    L.Transparency = ClampPercent(Hot ? d.HotTransparency : d.Transparency);
    if (L.Transparency == 100) return;
    L.ImagePercent = ClampPercent(Hot ? d.HotImagePercent : d.ImagePercent);
    L.GradientPercent = ClampPercent(Hot ? d.HotGradientPercent : d.GradientPercent);
    if (L.GradientPercent != 0) L.Gradient = Hot ? &d.HotGradientArray : &d.GradientArray;
}

}  // namespace

void TacGradientPainter::Paint(const TacBits32& Bmp, const TRect& R, const TsGradArray& Arr) {
    PaintGradient(Bmp, R, Arr, 0);
}

// ---- layers --------------------------------------------------------------------------

bool ResolveSectionLayers(const TacSkinModel& Model, Integer SkinIndex, StringView SkinSection, TColor CustomColor,
                          Integer HotTexture, Integer Texture, Integer State, TacSectionLayers& Layers) {
    Layers = TacSectionLayers{};
    if (!Model.IsValidSkinIndex(SkinIndex)) return false;
    const TsGeneralData& d = Model.gd[static_cast<std::size_t>(SkinIndex)];
    if (CustomColor != kNoColor) {
        Layers.Color = CustomColor;
        return true;
    }
    const bool hot = SectionState(d, State) > 0;
    FillLayers(d, hot, Layers);
    const StringView section = SkinSection.empty() ? StringView(d.ClassName) : SkinSection;
    if (Layers.ImagePercent > 0) ResolveTexture(Model, SkinIndex, section, hot ? HotTexture : Texture, hot, Layers);
    return true;
}

bool ResolveSectionLayersFast(const TacSkinModel& Model, Integer SkinIndex, Integer HotTexture, Integer Texture,
                              Integer State, TacSectionLayers& Layers) {
    Layers = TacSectionLayers{};
    if (!Model.IsValidSkinIndex(SkinIndex)) return false;
    const TsGeneralData& d = Model.gd[static_cast<std::size_t>(SkinIndex)];
    FillLayers(d, State != 0, Layers);
    const Integer index = State != 0 ? HotTexture : Texture;
    if (Layers.ImagePercent > 0 && Model.IsValidImgIndex(index)) {
        Layers.TextureKind = TacTextureKind::Mask;
        Layers.TextureIndex = index;
    }
    return true;
}

// ---- textures ----------------------------------------------------------------------------

TRect DrawTexture(const TacBits32& Dst, const TRect& R, const TacBits32& Src, const TRect& SrcRect, int Mode,
                  TacBlitter& Blitter) {
    const TRect s = ClipToBits(SrcRect, Src);
    if (!Dst.Valid() || !Src.Valid() || s.IsEmpty() || R.IsEmpty() || !Sane(R)) return R;
    const ll tw = s.Width(), th = s.Height();
    const TRect row(R.Left, R.Top, R.Right, Fit(std::min<ll>(R.Top + th, R.Bottom)));
    const TRect column(R.Left, R.Top, Fit(std::min<ll>(R.Left + tw, R.Right)), R.Bottom);
    const TRect bottomRow(R.Left, Fit(std::max<ll>(R.Bottom - th, R.Top)), R.Right, R.Bottom);
    const TRect rightColumn(Fit(std::max<ll>(R.Right - tw, R.Left)), R.Top, R.Right, R.Bottom);
    switch (Mode) {
    case tdmTile: TileBlits(Dst, R, Src, s, false, false, Blitter); return TRect();
    case tdmStretch: Blitter.Stretch(Dst, R, Src, s); return TRect();
    case tdmWholeTiles: TileBlits(Dst, R, Src, s, false, true, Blitter); return TRect();
    case tdmTopRow:
    case tdmStretchTopRow:
        if (Mode == tdmTopRow) TileBlits(Dst, row, Src, s, false, false, Blitter);
        else Blitter.Stretch(Dst, row, Src, s);
        return TRect(R.Left, row.Bottom, R.Right, R.Bottom);
    case tdmLeftColumn:
    case tdmStretchLeftColumn:
        if (Mode == tdmLeftColumn) TileBlits(Dst, column, Src, s, false, false, Blitter);
        else Blitter.Stretch(Dst, column, Src, s);
        return TRect(column.Right, R.Top, R.Right, R.Bottom);
    case tdmBottomRow:
        TileBlits(Dst, bottomRow, Src, s, false, false, Blitter);
        return TRect(R.Left, R.Top, R.Right, bottomRow.Top);
    case tdmRightColumn:
        TileBlits(Dst, rightColumn, Src, s, false, false, Blitter);
        return TRect(R.Left, R.Top, rightColumn.Left, R.Bottom);
    default: return R;
    }
}

bool DrawMaskedTexture(const TacBits32& Dst, const TRect& R, const TacMaskSource& Src, const TacParent& Parent) {
    if (!Dst.Valid() || !Src.Valid() || R.IsEmpty() || !Sane(R)) return false;
    const int mode = Src.Mask->DrawMode;
    if (mode != tdmTile && mode != tdmWholeTiles) return false;
    const TRect f = Src.Frame(0);
    if (f.IsEmpty()) return false;
    const int offset = Src.MaskOffset();
    const bool whole = mode == tdmWholeTiles;
    ll endX = R.Right, endY = R.Bottom;
    ForTiles(
        R, f.Width(), f.Height(), whole, whole, Dst.Width, Dst.Height,
        [&](int x, int y, int w, int h) {
            CopyMasterRect(TRect(x, y, x + w, y + h), TRect(f.Left, f.Top, f.Left + w, f.Top + h), Dst, Src.Image,
                           offset, Parent);
        },
        &endX, &endY);
    if (whole) {
        const TRect right(Fit(endX), R.Top, R.Right, Fit(endY)), bottom(R.Left, Fit(endY), R.Right, R.Bottom);
        for (const TRect& strip : {right, bottom}) {
            if (strip.IsEmpty()) continue;
            if (HasImage(Parent)) CopyParent(Dst, strip, Parent);
            else if (Parent.FillColor != kNoColor) FillRect32(Dst, strip, Parent.FillColor);
        }
    }
    return true;
}

// ---- sections ----------------------------------------------------------------------------

void PaintSectionBg(const TacSectionContext& Ctx, Integer SkinIndex, StringView SkinSection, const TacParent& Parent,
                    TColor CustomColor, Integer HotTexture, Integer Texture, const TacBits32& Bmp, TPoint Offset,
                    const TRect& R, Integer State) {
    if (Ctx.Model == nullptr || !Bmp.Valid()) return;
    const TRect r = ClipToBits(R, Bmp);
    if (r.IsEmpty()) return;
    TacSectionLayers layers;
    if (!ResolveSectionLayers(*Ctx.Model, SkinIndex, SkinSection, CustomColor, HotTexture, Texture, State, layers))
        return;
    const TacParent p = Shifted(Parent, Offset.X, Offset.Y);
    Compose(Ctx, layers, Bmp, r, p, false);
    // A masked texture of whole tiles is laid over the normal state once more.
    const TsGeneralData& d = Ctx.Model->gd[static_cast<std::size_t>(SkinIndex)];
    if (SectionState(d, State) != 0) return;
    const TsMaskData* m = MaskAt(*Ctx.Model, Texture != -1 ? Texture : HotTexture);
    if (m != nullptr && m->MaskType > 0 && m->DrawMode == tdmWholeTiles)
        DrawMaskedTexture(Bmp, r, SourceOf(*Ctx.Model, *m), p);
}

void PaintSectionBgFast(const TacSectionContext& Ctx, Integer SkinIndex, Integer Texture, Integer HotTexture,
                        const TacBits32& Bmp, TPoint Offset, const TRect& R, Integer State, const TacParent& Parent) {
    if (Ctx.Model == nullptr || !Bmp.Valid()) return;
    const TRect r = ClipToBits(R, Bmp);
    if (r.IsEmpty()) return;
    TacSectionLayers layers;
    if (!ResolveSectionLayersFast(*Ctx.Model, SkinIndex, HotTexture, Texture, State, layers)) return;
    Compose(Ctx, layers, Bmp, r, Shifted(Parent, Offset.X, Offset.Y), true);
}

bool SectionRectFits(const TacBits32& Bmp, const TRect& R) {
    return Bmp.Valid() && !R.IsEmpty() && R.Left >= 0 && R.Top >= 0 && R.Right <= Bmp.Width &&
           R.Bottom <= Bmp.Height;
}

std::array<TPoint, 4> SectionCornerPoints(const TacSkinModel& Model, const TsGeneralData& Section, const TRect& R) {
    auto size = [&](Integer index) {
        const TsMaskData* m = MaskAt(Model, index);
        return m != nullptr ? TPoint(MaskFrameWidth(*m), MaskFrameHeight(*m)) : TPoint(0, 0);
    };
    const TPoint tr = size(Section.ImgTR), bl = size(Section.ImgBL), br = size(Section.ImgBR);
    return {TPoint(R.Left, R.Top), TPoint(R.Right - tr.X, R.Top), TPoint(R.Left, R.Bottom - bl.Y),
            TPoint(R.Right - br.X, R.Bottom - br.Y)};
}

void PaintSectionCorners(const TacSectionContext& Ctx, Integer SkinIndex, const TacBits32& Bmp, const TRect& R,
                         Integer State) {
    if (Ctx.Model == nullptr || !Ctx.Model->IsValidSkinIndex(SkinIndex) || !Bmp.Valid()) return;
    const TsGeneralData& d = Ctx.Model->gd[static_cast<std::size_t>(SkinIndex)];
    const std::array<TPoint, 4> at = SectionCornerPoints(*Ctx.Model, d, R);
    const std::array<Integer, 4> images{d.ImgTL, d.ImgTR, d.ImgBL, d.ImgBR};
    const TacBits32 self = Bmp;
    const TacParent over{&self, 0, 0, kNoColor, true};
    for (std::size_t i = 0; i < images.size(); ++i)
        if (const TsMaskData* m = MaskAt(*Ctx.Model, images[i]))
            DrawGlyphMask(Bmp, at[i], State, over, SourceOf(*Ctx.Model, *m), 1);
}

bool PaintSectionBorder(const TacSectionContext& Ctx, Integer BorderIndex, const TacBits32& Bmp, const TRect& R,
                        Integer State, const TacParent& Parent, TPoint Offset, bool UseParent) {
    if (Ctx.Model == nullptr) return false;
    const TsMaskData* m = MaskAt(*Ctx.Model, BorderIndex);
    if (m == nullptr || (State == 0 && (m->DrawMode & dmNotInNormal) != 0)) return false;
    TacBlitter pixels;
    DrawSkinRect(Bmp, R, UseParent, State, SourceOf(*Ctx.Model, *m), Shifted(Parent, Offset.X, Offset.Y),
                 Ctx.Blitter != nullptr ? *Ctx.Blitter : pixels);
    return true;
}

void PaintSection(const TacSectionContext& Ctx, Integer SkinIndex, StringView SkinSection, const TacParent& Parent,
                  Integer HotTexture, Integer Texture, const TacBits32& Bmp, TPoint Offset, const TRect& R,
                  Integer State) {
    if (Ctx.Model == nullptr || !Ctx.Model->IsValidSkinIndex(SkinIndex) || !SectionRectFits(Bmp, R)) return;
    PaintSectionBg(Ctx, SkinIndex, SkinSection, Parent, kNoColor, HotTexture, Texture, Bmp, Offset, R, State);
    PaintSectionCorners(Ctx, SkinIndex, Bmp, R, State);
    PaintSectionBorder(Ctx, Ctx.Model->gd[static_cast<std::size_t>(SkinIndex)].BorderIndex, Bmp, R, State, Parent,
                       Offset);
}

void PaintSectionFast(const TacSectionContext& Ctx, Integer SkinIndex, Integer BorderIndex, Integer Texture,
                      Integer HotTexture, const TacBits32& Bmp, TPoint Offset, const TRect& R, Integer State,
                      const TacParent& Parent) {
    if (Ctx.Model == nullptr || !Ctx.Model->IsValidSkinIndex(SkinIndex) || !SectionRectFits(Bmp, R)) return;
    PaintSectionBgFast(Ctx, SkinIndex, Texture, HotTexture, Bmp, Offset, R, State, Parent);
    PaintSectionBorder(Ctx, BorderIndex, Bmp, R, State, Parent, Offset);
}

// ---- small routines ----------------------------------------------------------------------

std::array<TRect, 4> BorderStripRects(const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB) {
    const int top = Fit(ll{R.Top} + WT), bottom = Fit(ll{R.Bottom} - WB);
    return {TRect(R.Left, R.Top, R.Right, top), TRect(R.Left, top, Fit(ll{R.Left} + WL), R.Bottom),
            TRect(Fit(ll{R.Left} + WL), bottom, R.Right, R.Bottom), TRect(Fit(ll{R.Right} - WR), top, R.Right, bottom)};
}

void FillBorderStrips(const TacBits32& Bmp, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB,
                      TColor Color) {
    for (const TRect& strip : BorderStripRects(R, WL, WT, WR, WB))
        if (!strip.IsEmpty()) FillRect32(Bmp, strip, Color);
}

void AddMaskCornerRects(std::vector<TRect>& Rects, Integer Width, const TacMaskSource& Src, bool Bottom, Integer Y) {
    if (!Src.Valid() || Src.Mask->ImageCount <= 0 || Src.Mask->MaskType < 0) return;
    const TsMaskData& m = *Src.Mask;
    const ll fw = MaskFrameWidth(m), fh = MaskFrameHeight(m);
    if (fw <= 0 || fh <= 0) return;
    const ll wl = std::clamp<ll>(m.WL, 0, fw), wr = std::clamp<ll>(m.WR, 0, fw);
    const ll rows = std::clamp<ll>(Bottom ? m.WB : m.WT, 0, fh);
    const ll first = Bottom ? ll{m.R.Top} + fh - rows : m.R.Top;
    const TacBits32& img = Src.Image;
    auto key = [&](ll x, ll y) {
        return x >= 0 && y >= 0 && x < img.Width && y < img.Height &&
               img.At(static_cast<int>(x), static_cast<int>(y)) == kKeyPixel;
    };
    // Runs of key pixels among frame columns [c0, c1) of image row y, placed shifted by Dx.
    auto runs = [&](ll y, ll c0, ll c1, ll dx, int top) {
        for (ll c = c0; c < c1;) {
            if (!key(m.R.Left + c, y)) {
                ++c;
                continue;
            }
            const ll start = c;
            while (c < c1 && key(m.R.Left + c, y)) ++c;
            Rects.push_back(TRect(Fit(start + dx), top, Fit(c + dx), Fit(ll{top} + 1)));
        }
    };
    for (ll j = 0; j < rows; ++j) {
        const int top = Fit(ll{Y} + j);
        runs(first + j, 0, wl, 0, top);
        runs(first + j, fw - wr, fw, ll{Width} - fw, top);
    }
}

void DrawImageSlices(const TacBits32& Dst, const TacBits32& Src, const TRect& DstRect, const TRect& SrcRect,
                     const TRect& Margins, const TRect& SideWidths, const std::array<int, 4>& SideModes,
                     int CentreMode, bool DrawCentre, TacBlitter& Blitter) {
    // The source is clipped to the image and the widths held to what any
    // image can have before the cut.
    const TRect src = ClipToBits(SrcRect, Src);
    if (!Dst.Valid() || !Src.Valid() || DstRect.IsEmpty() || src.IsEmpty() || !Sane(DstRect)) return;
    auto held = [](const TRect& w) {
        auto one = [](Integer v) { return static_cast<Integer>(std::clamp<ll>(v, 0, kLimit)); };
        return TRect(one(w.Left), one(w.Top), one(w.Right), one(w.Bottom));
    };
    const TacImageSlices s = ImageSlices(src, DstRect, held(Margins), held(SideWidths));
    for (const TacSlicePiece& p : s.Corners)
        if (!p.Src.IsEmpty() && !p.Dst.IsEmpty())
            Blitter.Copy(Dst, p.Dst.Left, p.Dst.Top, Src, TRect(p.Src.Left, p.Src.Top, p.Src.Left + p.Dst.Width(),
                                                                p.Src.Top + p.Dst.Height()));
    auto cover = [&](const TacSlicePiece& p, int mode) {
        if (p.Src.IsEmpty() || p.Dst.IsEmpty()) return;
        if (mode == 1) Blitter.Stretch(Dst, p.Dst, Src, p.Src);
        else TileBlits(Dst, p.Dst, Src, p.Src, false, false, Blitter);
    };
    for (std::size_t i = 0; i < s.Sides.size(); ++i) cover(s.Sides[i], SideModes[i]);
    if (DrawCentre) cover(s.Centre, CentreMode == 1 ? 1 : 0);
}

void CopyChannel(const TacBits32& Bmp32, const TacBits8& Bmp8, int Channel, bool ToEightBit) {
    if (!Bmp32.Valid() || !Bmp8.Valid() || Channel < 0 || Channel > 3) return;
    if (Bmp32.Width != Bmp8.Width || Bmp32.Height != Bmp8.Height) return;
    const int shift = Channel * 8;
    const std::uint32_t keep = ~(std::uint32_t{0xFF} << shift);
    for (int y = 0; y < Bmp32.Height; ++y) {
        std::uint32_t* p = Bmp32.Row(y);
        std::uint8_t* b = Bmp8.Row(y);
        for (int x = 0; x < Bmp32.Width; ++x) {
            if (ToEightBit) b[x] = static_cast<std::uint8_t>(p[x] >> shift);
            else p[x] = (p[x] & keep) | (std::uint32_t{b[x]} << shift);
        }
    }
}

Integer GlyphFrameIndex(Integer NumGlyphs, Integer State, bool Down, bool Enabled, bool FourBit) {
    if (NumGlyphs < 2 || !Enabled) return 0;
    switch (State) {
    case 1: return FourBit ? 0 : 1;
    case 2: {
        const Integer index = Down ? 3 : 2;
        if (index < NumGlyphs) return index;
        return FourBit ? 0 : std::min<Integer>(1, NumGlyphs - 1);
    }
    default: return 0;
    }
}
