// The skin-image painter on framework bitmaps: nine-part masks, glyph
// masks, their copy routines, the repaint of a control's border corners
// against its parent and the disabled look. The pixel work is the portable
// code of acMaskPaint.h; the opaque block transfers of plain masks go through
// GDI from one DIB section per skin image, made on first use and freed with
// the image. Win32, main thread only. Every routine returns without drawing
// on bad input (no manager, bad indexes, empty or too small rectangles).
#pragma once

#include <vector>

#include "Controls.h"
#include "Graphics.h"
#include "acMaskPaint.h"
#include "sConst.h"

class TsCommonData;

// The GDI copy of a skin image: a 32-bit top-down DIB section with the same
// pixels, made once and kept with the image (nullptr for an empty image or
// when the system refuses it).
HBITMAP acImageBitmap(const TacImage32& Image);

// The pixels a mask is read from: its own image, else its manager's master
// bitmap; invalid without either.
TacMaskSource acMaskSource(const TsMaskData& Mask);
// The mask's own image, else the master bitmap of Manager (nullptr: none).
const TacImage32* acMaskImage(const TsMaskData& Mask, TsSkinManager* Manager);
// The portable record of a cache record; Holder keeps the image's view.
TacParent acParentOf(const TCacheInfo& CI, TacBits32& Holder);

// Nine-part drawing of frame min(State, ImageCount - 1) of MaskData over R of
// Bmp, CI giving the parent background in Bmp's coordinates. Nothing in state
// 0 for DrawMode bit 2, for R narrower or lower than 2 pixels, without a
// manager or without frames. With a mask part every piece is mixed through
// it: the corners with CI (opaque when UseParent is set and the mask's
// corners lie over the parent), sides and centre over what Bmp holds. Without
// one the corners leave or take the parent under key pixels and sides and
// centre are copied opaque. Sides are tiled, or stretched with DrawMode
// bit 1; the centre is drawn with bit 4.
void DrawSkinRect(TBitmap* Bmp, const TRect& R, bool UseParent, Integer State, const TsMaskData& MaskData,
                  const TCacheInfo& CI);
// Frame min(State, ImageCount - 1) of MaskData with its top-left at Point;
// Mode 1 draws normally, any other Mode fainter.
void DrawGlyphMask(TBitmap* Bmp, TPoint Point, Integer State, const TCacheInfo& CI, const TsMaskData& MaskData,
                   Integer Mode);
// SrcRect of the mask's image through its mask part onto DstRect of Dst.
void CopyMasterRect(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, const TsMaskData& MaskData,
                    const TCacheInfo& CI);
// The stretch of a piece of a skin image (with a mask part MaskOffset rows
// below, or plain with MaskOffset 0) over W x H at (X, Y) of Dst.
void StretchCopy32(Integer X, Integer Y, Integer W, Integer H, bool Smooth, Integer MaskOffset, const TacImage32& Src,
                   TBitmap* Dst, Integer SrcX, Integer SrcY, Integer SrcW, Integer SrcH);
// Where the mask MaskIndex of Manager (its corner chosen by Kind: 14
// top-right, 16 bottom-left, 17 bottom-right, else top-left) has a key pixel,
// the pixel of DstRect of Dst takes Src's pixel at the same offset from
// SrcPoint; with MaskIndex -1 Dst's own key pixels are replaced.
void CopyTransparentPixels(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, Integer Kind, TsSkinManager* Manager,
                           Integer MaskIndex, TPoint SrcPoint);
// A control's frame: state State of the border mask over the whole of Bmp
// (see the portable DrawBorderMask); the key-coloured pixels of its corners
// are cut out of the window region Rgn when it is given. Nothing for Bmp
// under 2 x 2 or a mask without a manager.
void DrawBorderMask(TBitmap* Bmp, HRGN Rgn, bool Transparent, Integer State, const TsMaskData& Mask);
// One piece of a mask cell (SrcPos on) onto DstRect of Bmp; with CheckKey
// key-coloured pixels are left and cut out of Rgn when it is given.
void CopyMaskPiece(TBitmap* Bmp, const TRect& DstRect, TPoint SrcPos, bool CheckKey, const TsMaskData& Mask,
                   HRGN Rgn);
// Removes the rectangles from Rgn in one step.
void acCutRects(HRGN Rgn, const std::vector<TRect>& Rects);
// Repaints the cache pixels under the key pixels of the four corners of the
// control's border mask (frame State) with the background its parent gives
// (acBorderCornersWin.cpp).
void RepaintBorderCorners(TsCommonData* Data, Integer State);
// dkGrayed greys Bmp; dkBlended then lays the parent image under the control
// over it (the control keeps 40 %) or, without one, mixes it half and half
// with CI.FillColor (the control's background colour when that is none).
void ApplyDisabledKind(TBitmap* Bmp, TsDisabledKind DisabledKind, TControl* Control, TPoint Offset,
                       const TCacheInfo& CI);
