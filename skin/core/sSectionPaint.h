// Section painting on framework bitmaps and device contexts: a section state
// painted into a rectangle of a 32-bit work bitmap over what lies behind it
// (TCacheInfo), with its corner images and border mask; the section of a
// skinned control's state; and the small drawing routines that go with them
// (glyph frames, nine-part drawing of plain images, corner regions from key
// pixels, solid fills and border strips, clipping out graphic children, byte
// channels). The pixel work is the portable code of acSectionPaint.h; the
// four-corner gradients go through GDI. Win32, main thread only. Every
// routine returns without painting on bad input (invalid indexes, a nil or
// non-32-bit bitmap, empty or outside rectangles) and releases what it made
// on every path.
#pragma once

#include <array>
#include <vector>

#include "Controls.h"
#include "Graphics.h"
#include "acMaskPaint.h"
#include "sConst.h"

class TsSkinManager;
class TsCommonData;
struct TsMaskData;

// A nil Manager means the default manager. Offset is the position of Bmp's
// origin in CI's coordinates. CustomColor kNoColor means none; HotTexture and
// Texture are mask indexes or -1.
void PaintSectionBg(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, TColor CustomColor,
                    Integer HotTexture, Integer Texture, TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset,
                    const TRect& R, Integer State);
// The background, then the corner images and the border mask. Nothing when R
// is empty or not wholly inside Bmp.
void PaintSection(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, Integer HotTexture,
                  Integer Texture, TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset, const TRect& R,
                  Integer State);
// Scroll-bar parts: the background without pattern look-ups, then the border
// mask BorderIndex.
void PaintSectionFast(Integer SkinIndex, Integer BorderIndex, Integer Texture, Integer HotTexture,
                      TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset, const TRect& R, Integer State,
                      const TCacheInfo& CI, const String& SkinSection);
void PaintSectionBgFast(Integer SkinIndex, Integer Texture, Integer HotTexture, TsSkinManager* Manager, TBitmap* Bmp,
                        TPoint Offset, const TRect& R, Integer State, const TCacheInfo& CI,
                        const String& SkinSection);
// PaintSection into a new work bitmap of R's size, copied to R of DC.
// Nothing for a negative origin of R or an empty R.
void PaintSectionToDC(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, TsSkinManager* Manager,
                      HDC DC, TPoint Offset, const TRect& R, Integer State);
// The section SectionName (else AltName) over the whole of Bmp: over the
// content of SourceDC at SourcePoint when SourceDC is given, else over
// FillColor. Returns the section index, or the failed look-up's -1.
Integer PaintSectionByName(TBitmap* Bmp, const String& SectionName, const String& AltName, HDC SourceDC,
                           TColor FillColor, TPoint SourcePoint, TsSkinManager* Manager, Integer State);

// The section of a control's skin state (acSectionPaintCtrl.cpp): the custom
// colour of the owner when FCustomColor is set, the state held to the
// section's states, the state's textures.
void PaintControlSectionBg(TsCommonData* Data, const TCacheInfo& CI, Integer State, TBitmap* Bmp, TPoint Offset,
                           const TRect& R);
// The background, the corner images and the border mask (left out in state 0
// for a mask that is not drawn in the normal state), then the state's hue and
// saturation over the whole of Bmp.
void PaintControlSection(TsCommonData* Data, const TCacheInfo& CI, Integer State, TBitmap* Bmp, TPoint Offset,
                         const TRect& R, bool UseParent);
// The same over the background the control's parent gives, border before
// corners and without the hue and saturation step.
void PaintControlSectionOnParent(TsCommonData* Data, TControl* Control, Integer State, TBitmap* Bmp, TPoint Offset,
                                 const TRect& R, bool UseParent);

// One rectangle per run of key pixels in the corner areas of a border mask's
// first frame (see acSectionPaint.h), for cutting window regions.
void AddMaskCornerRects(std::vector<TRect>& Rects, Integer Width, const TsMaskData& MaskData, bool Bottom,
                        Integer Y);
// Nine-part drawing of SrcRect of Src over DstRect of Dst (both 32-bit).
void DrawImageSlices(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, const TRect& SrcRect, const TRect& Margins,
                     const TRect& SideWidths, const std::array<int, 4>& SideModes, Integer CentreMode,
                     bool DrawCentre);
// One frame of a glyph of NumGlyphs frames side by side (any pixel format)
// at R's top-left of Dst; Blend is a percentage.
void PaintGlyph(TBitmap* Glyph, TBitmap* Dst, const TRect& R, bool Down, Integer Blend, Integer State,
                TsDisabledKind DisabledKind, bool Enabled, Integer NumGlyphs);

void FillSolidRect(HDC DC, const TRect& R, TColor Color);
// The four border strips of R (top, left, bottom, right) in Color.
void FillSolidFrame(HDC DC, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB, TColor Color);
void FillBorderStrips(TBitmap* Bmp, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB, TColor Color);
// The four border strips of R, Width thick, copied from SrcDC (R's top-left
// taken at SrcPoint) to DstDC.
void CopyBorderStrips(HDC DstDC, const TRect& R, HDC SrcDC, TPoint SrcPoint, Integer Width);

// The class name of the graphic children ExcludeGraphicChildren leaves in
// the clip region (empty: none); set at run time.
extern String acGraphicSkipClass;
// Excludes the bounds of the visible graphic children of Control, moved by
// (X, Y), from DC's clip region.
void ExcludeGraphicChildren(HDC DC, TWinControl* Control, Integer Y, Integer X);
// Byte Channel (0 blue .. 3 alpha) of a 32-bit bitmap into an 8-bit bitmap
// of the same size, or back.
void CopyChannel(TBitmap* Bmp32, TBitmap* Bmp8, Integer Channel, bool ToEightBit);

// The section painter's context for Manager (its model, the GDI gradients);
// Model is nullptr without a manager or skin.
struct TacSectionContext;
bool acSectionContext(TsSkinManager*& Manager, TacSectionContext& Ctx);
// The portable parent record of a cache record (fill colour in RGB).
TacParent acSectionParent(const TCacheInfo& CI, TacBits32& Holder);
