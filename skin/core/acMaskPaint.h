// Drawing skin images: nine-part masks stretched or tiled over a rectangle
// (borders of buttons, edits, frames), fixed-size glyph masks placed at a
// point, their copy kernels, the corner repaint kernel and the disabled look.
// Portable: the routines work on TacBits32 views; the skin image is read
// through TacMaskSource, which clips the skin's geometry to the image before
// any pixel is read. Opaque block transfers go through a TacBlitter, so the
// Win32 layer can hand them to GDI (acMaskPaintWin.h).
#pragma once

#include <vector>

#include "Types.h"
#include "acPixels.h"
#include "acSkinImages.h"
#include "sMaskData.h"

// Bits of DrawMode of a nine-part mask.
constexpr int dmStretch = 1;      // stretch sides and centre (else tile)
constexpr int dmNotInNormal = 2;  // not drawn in state 0
constexpr int dmCentre = 4;       // draw the centre

// The looks of a disabled control.
enum TsDisabledKindItem { dkBlended, dkGrayed };
using TsDisabledKind = TSet<TsDisabledKindItem>;

// One skin image as the painter reads it: the pixels (the mask's own image,
// or the master bitmap) and the mask's geometry.
struct TacMaskSource {
    TacBits32 Image;                 // read only
    const TsMaskData* Mask = nullptr;
    bool OwnImage = false;           // the pixels are the mask's own Bmp

    bool Valid() const { return Mask != nullptr && Image.Valid(); }
    // Rows from an image row to its mask row; 0 for an image without a mask part.
    int MaskOffset() const;
    // The image part of frame Index (held to 0 .. ImageCount - 1), clipped
    // to the image, and for an image with a mask part so that the mask rows
    // stay inside it too; empty when nothing is left or there is no frame.
    TRect Frame(int Index) const;
};
// The mask's own image when it has one, else Master (nullptr: none).
TacMaskSource MaskSourceOf(const TsMaskData& Mask, const TacImage32* Master);

// Opaque block transfers between a skin image and a target: a plain copy
// and a stretch in the colour-on-colour manner (each target pixel takes one
// source pixel). This one does them on the pixel views; a platform layer
// may do them with its own blits. Rectangles have exclusive edges and are
// clipped to both images.
class TacBlitter {
public:
    virtual ~TacBlitter() = default;
    virtual void Copy(const TacBits32& Dst, int X, int Y, const TacBits32& Src, const TRect& SrcRect);
    virtual void Stretch(const TacBits32& Dst, const TRect& DstRect, const TacBits32& Src, const TRect& SrcRect);
};

// Nine-part drawing of frame State of the mask over R of Bmp, cut by the
// mask's border widths fitted to R (FitNinePartMargins); see the Win32
// wrapper for the rules. Parent is what lies under Bmp in Bmp's coordinates.
void DrawSkinRect(const TacBits32& Bmp, const TRect& R, bool UseParent, int State, const TacMaskSource& Src,
                  const TacParent& Parent, TacBlitter& Blitter);

// Frame State of the mask with its top-left at P; negative coordinates cut
// off the frame's left columns and top rows. Mode 1 draws normally, any
// other Mode fainter.
void DrawGlyphMask(const TacBits32& Bmp, TPoint P, int State, const TacParent& Parent, const TacMaskSource& Src,
                   int Mode);

// SrcRect of the image through its mask part (MaskOffset rows below) onto
// DstRect of Dst by the mask rule; image words 0x00FF00FF take the parent
// pixel when Parent is ready without a fill colour, the fill colour when it
// has one, else they are left. The copied size is the smaller of the two
// rectangles clipped to both images.
void CopyMasterRect(const TRect& DstRect, const TRect& SrcRect, const TacBits32& Dst, const TacBits32& Src,
                    int MaskOffset, const TacParent& Parent);

// SrcW x SrcH at (SrcX, SrcY) of Src stretched over W x H at (X, Y) of Dst:
// a plain image (MaskOffset 0) through the blitter; one with a mask part
// MaskOffset rows below by the mask rule, its image and mask each resampled
// (filtered when Smooth is set or the stretch shrinks along one axis only;
// a source under 2 x 2 by nearest neighbour, never raising). Nothing for
// empty sizes or a Dst under 2 x 2.
void StretchCopy32(int X, int Y, int W, int H, bool Smooth, int MaskOffset, const TacBits32& Src,
                   const TacBits32& Dst, int SrcX, int SrcY, int SrcW, int SrcH, TacBlitter& Blitter);

// A glyph frame (SrcRect, exclusive edges) to (X, Y) of Dst. With a mask part
// MaskOffset rows below: key image words are skipped; where the mask's red
// byte E is below 255 each colour channel is mixed by the mask rule with its
// own mask byte (Mode 1) or min(E + 100, 255) (any other Mode), and the
// alpha grows by (255 - E) * (255 - dA) div 255. Without one (MaskOffset 0)
// the frame is copied leaving out key pixels.
void CopyGlyphThroughMask(const TacBits32& Dst, int X, int Y, const TacBits32& Src, const TRect& SrcRect,
                          int MaskOffset, int Mode);

// The corner of a mask named by Kind: 14 top-right, 16 bottom-left,
// 17 bottom-right, any other the top-left of the first frame.
TPoint MaskCornerOrigin(const TsMaskData& Mask, int Kind);
// Over DstRect of Dst: where the mask image has a pixel whose low 24 bits are
// 0xFF00FF (read from MaskOrigin on), or without a mask image (nullptr)
// where Dst's own word is the key pixel, Dst takes the Src pixel at the same
// offset from SrcPoint. Pixels outside any of the images are left.
void CopyTransparentPixels(const TacBits32& Dst, const TacBits32& Src, const TRect& DstRect,
                           const TacBits32* MaskImage, TPoint MaskOrigin, TPoint SrcPoint);

// One corner of a border mask against a control's cache: W x H pixels from
// (SrcX, SrcY) of the mask image and from (X, Y) of Cache are walked
// together; under each key word (0x00FF00FF) of the mask the cache pixel
// takes the parent image's pixel at its position plus the parent's offset
// (left alone outside that image) when Parent has an image, else the
// parent's fill colour (nothing when it has none).
void FillCornerKey(const TacBits32& Cache, int X, int Y, int W, int H, const TacBits32& MaskImage, int SrcX,
                   int SrcY, const TacParent& Parent);
// The four corners of frame State of the mask (W x H: WL x WT, WL x WB,
// WR x WB, WR x WT at the cache's top-left, bottom-left, bottom-right and
// top-right) repainted with FillCornerKey.
void RepaintCornerKeys(const TacBits32& Cache, const TacMaskSource& Src, int State, const TacParent& Parent);

// The disabled look: dkGrayed greys the whole image; dkBlended then lays the
// parent image under the control (its rectangle moved by Parent's offset
// plus Offset) over it with factor 0.4 (the control keeps 40 %) leaving out
// key pixels, or without a ready parent mixes the image half and half with
// FillColor (an RGB colour).
void ApplyDisabledKind(const TacBits32& Bmp, TsDisabledKind Kind, TPoint Offset, const TacParent& Parent,
                       TColor FillColor);

// One piece of a mask cell onto Bmp: DstRect (exclusive edges) takes the
// pixels from SrcPos of the mask's image on, the area limited to Bmp and to
// the image (and, for an image with a mask part, to its image rows). With a
// mask part each colour channel is mixed by the mask rule with the mask
// pixel MaskOffset rows below; without one pixels are copied as they are.
// With CheckKey image pixels of the colour 0xFF00FF leave the destination
// alone and each run of them in a row is added to KeyRuns (when given) as a
// rectangle in Bmp's coordinates.
void CopyMaskPiece(const TacBits32& Bmp, const TRect& DstRect, TPoint SrcPos, bool CheckKey, const TacMaskSource& Src,
                   std::vector<TRect>* KeyRuns);
// A control's frame from its border mask over the whole of Bmp, cell
// min(State, ImageCount - 1) (an ImageCount below 1 counts as 1 over the
// whole image): the border widths fitted to Bmp so that corners never
// overlap; the corners copied with key checking (their key runs added to
// KeyRuns), the sides tiled from their start, or stretched with DrawMode bit
// 1, without it; the centre likewise, only when Transparent is set, DrawMode
// has bit 4 and the centre is not empty. Nothing for Bmp under 2 x 2.
void DrawBorderMask(const TacBits32& Bmp, bool Transparent, int State, const TacMaskSource& Src,
                    std::vector<TRect>* KeyRuns, TacBlitter& Blitter);
