// Painting a skin section: the background layers of a section state (colour,
// transparency against what lies behind, gradient, texture) composed into a
// rectangle of a 32-bit image, the section's corner images and border mask
// over them, and the small pixel routines that go with it (texture tiling in
// the draw modes, the masked tiler, nine-part drawing of plain images, key
// runs of a mask's corners, border strips, byte channels). Portable: every
// routine works on TacBits32 views and the skin model; the Win32 wrappers on
// framework bitmaps are in sSectionPaint.h. Painting returns silently on bad
// input (invalid indexes, empty rectangles) and never writes outside its
// target.
#pragma once

#include <array>
#include <vector>

#include "acFilters.h"
#include "acMaskPaint.h"
#include "sStyleSimply.h"

// Where a section's texture comes from.
enum class TacTextureKind { None, Mask, Pattern };

// The values of one section state the background painter composes.
struct TacSectionLayers {
    TColor Color = 0;
    Integer Transparency = 0;      // percent of the background that shows
    Integer GradientPercent = 0;
    Integer ImagePercent = 0;
    const TsGradArray* Gradient = nullptr;   // nullptr: no gradient
    TacTextureKind TextureKind = TacTextureKind::None;
    Integer TextureIndex = -1;     // into ma or pa, after TextureKind
};

// The layers of state State of section SkinIndex (false for an invalid
// index). State is held to the section's states; state 0 takes the normal
// fields, any other the hot ones. CustomColor (not kNoColor) gives an opaque
// plain colour. The texture: Texture (HotTexture for the hot state), else the
// section's TextureNormal (normal state only), used when its mask is plain;
// a negative index looks up the mask "PATTERN" ("HOTPATTERN") of the
// section; without a valid mask the pattern of that name.
bool ResolveSectionLayers(const TacSkinModel& Model, Integer SkinIndex, StringView SkinSection, TColor CustomColor,
                          Integer HotTexture, Integer Texture, Integer State, TacSectionLayers& Layers);
// The same without look-ups: the texture index is taken as it is (a mask),
// the state is not held (hot values for any state but 0).
bool ResolveSectionLayersFast(const TacSkinModel& Model, Integer SkinIndex, Integer HotTexture, Integer Texture,
                              Integer State, TacSectionLayers& Layers);

// The gradients of the painter: modes 0 and 1 in pixels; a platform layer
// paints the four-corner mode (2) with the system.
class TacGradientPainter {
public:
    virtual ~TacGradientPainter() = default;
    virtual void Paint(const TacBits32& Bmp, const TRect& R, const TsGradArray& Arr);
};

// What the section painter needs besides the target: the skin model, the
// gradient painter (nullptr: pixels only) and the block transfers of plain
// skin images.
struct TacSectionContext {
    const TacSkinModel* Model = nullptr;
    TacGradientPainter* Gradients = nullptr;
    TacBlitter* Blitter = nullptr;
};

// ---- textures ------------------------------------------------------------------

// Draw modes of a texture mask.
constexpr int tdmTile = 0, tdmStretch = 1, tdmTopRow = 2, tdmLeftColumn = 3, tdmStretchTopRow = 4,
              tdmStretchLeftColumn = 5, tdmBottomRow = 6, tdmRightColumn = 7, tdmWholeTiles = 10;

// Draws SrcRect of Src over R of Dst in draw mode Mode (tiled from R's
// top-left with the last tiles clipped, stretched by nearest pixels, or one
// row or column along an edge) and returns the part of R it left uncovered
// (empty when none). An empty or outside SrcRect draws nothing and leaves
// the whole of R; so do the modes without a meaning (8, 9, above 10).
TRect DrawTexture(const TacBits32& Dst, const TRect& R, const TacBits32& Src, const TRect& SrcRect, int Mode,
                  TacBlitter& Blitter);

// Tiles frame 0 of a mask with a mask part over R of Dst through its mask
// (CopyMasterRect over Parent, which is in Dst's coordinates): mode 0 the
// whole of R; mode 10 whole tiles only, the bottom and right strips left
// then taking the parent image (ready parent) or its fill colour. Other
// modes draw nothing; the answer is whether anything was drawn.
bool DrawMaskedTexture(const TacBits32& Dst, const TRect& R, const TacMaskSource& Src, const TacParent& Parent);

// ---- sections ---------------------------------------------------------------------

// The background layers of a section state into R of Bmp. Parent is what lies
// behind, at (Parent.X + Offset.X, Parent.Y + Offset.Y) for Bmp's origin.
void PaintSectionBg(const TacSectionContext& Ctx, Integer SkinIndex, StringView SkinSection, const TacParent& Parent,
                    TColor CustomColor, Integer HotTexture, Integer Texture, const TacBits32& Bmp, TPoint Offset,
                    const TRect& R, Integer State);
// The background without pattern look-ups (scroll-bar parts).
void PaintSectionBgFast(const TacSectionContext& Ctx, Integer SkinIndex, Integer Texture, Integer HotTexture,
                        const TacBits32& Bmp, TPoint Offset, const TRect& R, Integer State, const TacParent& Parent);

// R lies wholly inside Bmp and is not empty.
bool SectionRectFits(const TacBits32& Bmp, const TRect& R);

// The top-left corners of the corner images ImgTL, ImgTR, ImgBL, ImgBR of a
// section over R (frame sizes from the masks; a point for a missing image
// is unused).
std::array<TPoint, 4> SectionCornerPoints(const TacSkinModel& Model, const TsGeneralData& Section, const TRect& R);
// The corner images of section SkinIndex for State over R of Bmp, each over
// Bmp itself as the background.
void PaintSectionCorners(const TacSectionContext& Ctx, Integer SkinIndex, const TacBits32& Bmp, const TRect& R,
                         Integer State);
// The border mask BorderIndex for State over R of Bmp, Parent shifted by
// Offset; false when no border was drawn (no mask, or one that is not drawn
// in state 0).
bool PaintSectionBorder(const TacSectionContext& Ctx, Integer BorderIndex, const TacBits32& Bmp, const TRect& R,
                        Integer State, const TacParent& Parent, TPoint Offset, bool UseParent = true);

// PaintSectionBg without custom colour, then the corner images and the
// section's border mask. Nothing when R is empty or not wholly inside Bmp.
void PaintSection(const TacSectionContext& Ctx, Integer SkinIndex, StringView SkinSection, const TacParent& Parent,
                  Integer HotTexture, Integer Texture, const TacBits32& Bmp, TPoint Offset, const TRect& R,
                  Integer State);
// PaintSectionBgFast and the border mask BorderIndex.
void PaintSectionFast(const TacSectionContext& Ctx, Integer SkinIndex, Integer BorderIndex, Integer Texture,
                      Integer HotTexture, const TacBits32& Bmp, TPoint Offset, const TRect& R, Integer State,
                      const TacParent& Parent);

// ---- small routines -------------------------------------------------------------

// The four border strips of R: top (height WT, full width), left (width WL,
// below the top strip), bottom (height WB, right of the left strip) and
// right (width WR, between the top and bottom strips).
std::array<TRect, 4> BorderStripRects(const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB);
void FillBorderStrips(const TacBits32& Bmp, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB,
                      TColor Color);

// One rectangle, one pixel high at Y + row, per horizontal run of key pixels
// (word 0x00FF00FF) in the corner areas of the first frame of a border mask:
// the top WT rows (with Bottom the last WB rows of the image part), the WL
// leftmost columns at x = column and the WR rightmost ones at
// x = column + Width - frame width. Appended to Rects.
void AddMaskCornerRects(std::vector<TRect>& Rects, Integer Width, const TacMaskSource& Src, bool Bottom, Integer Y);

// Nine-part drawing of SrcRect of Src over DstRect of Dst with opaque block
// transfers, cut by ImageSlices: SideModes (left, top, right, bottom) and
// CentreMode 0 tile, 1 stretch; the centre only with DrawCentre.
void DrawImageSlices(const TacBits32& Dst, const TacBits32& Src, const TRect& DstRect, const TRect& SrcRect,
                     const TRect& Margins, const TRect& SideWidths, const std::array<int, 4>& SideModes,
                     int CentreMode, bool DrawCentre, TacBlitter& Blitter);

// Byte Channel (0 blue .. 3 alpha) of every pixel of Bmp32 into Bmp8, or
// back with ToEightBit false. Both of the same size, else nothing.
void CopyChannel(const TacBits32& Bmp32, const TacBits8& Bmp8, int Channel, bool ToEightBit);

// The frame of a multi-frame glyph drawn for a state: 0 when disabled or in
// state 0; 1 in state 1 (0 for a 16-colour glyph); Down + 2 in state 2,
// when that frame is missing 0 for a 16-colour glyph, else min(1, last).
// The answer lies in 0 .. NumGlyphs - 1 (0 for fewer than 2 frames).
Integer GlyphFrameIndex(Integer NumGlyphs, Integer State, bool Down, bool Enabled, bool FourBit);
