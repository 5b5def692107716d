// Text of skinned things: measuring and cutting captions, drawing them in the
// colours a skin section gives for the state (text colour and up to four
// contour colours), the blurred glow behind a caption, and text laid into
// 32-bit bitmaps with alpha. Win32, main thread only.
#pragma once

#include "Graphics.h"
#include "sConst.h"
#include "sStyleSimply.h"

class TsSkinManager;
class TsCommonData;

// Result is Text when it fits MaxWidth on Canvas; else whole code points are
// taken from its end until the rest followed by "..." fits, and Result is
// that rest with "...", or empty when not even one character and "..." fit.
// MaxWidth 0 or less gives an empty Result.
void CutTextToWidth(TCanvas* Canvas, const String& Text, Integer MaxWidth, String& Result);

// The system's DrawTextW of the whole text into R with the DT_ flags; R is
// written back as DrawTextW leaves it (DT_CALCRECT). Returns its result.
Integer DrawTextRect(HDC DC, const String& Text, TRect& R, Cardinal Flags);
Integer CanvasTextWidth(TCanvas* Canvas, const String& Text);
void CanvasTextExtent(TCanvas* Canvas, const String& Text, TSize& Size);
void CanvasTextOut(TCanvas* Canvas, Integer X, Integer Y, const String& Text);
// The extent of Text in DC's font (0 x 0 when the system call fails).
void GetTextExtentDC(HDC DC, const String& Text, TSize& Size);

// The passes of a caption in a section state's colours: with Contour, Draw
// (Colour, Rect) for each of Left, Top, Right and Bottom that is not -1 with
// R moved one pixel to that side; then Draw for Color at R. Map turns each
// colour first (hue and saturation of a control).
template <class DrawFn, class MapFn>
void ForEachTextPass(const TsFontColor& Colors, bool Contour, const TRect& R, DrawFn Draw, MapFn Map) {
    if (Contour) {
        const struct {
            TColor Colour;
            Integer Dx, Dy;
        } sides[4] = {{Colors.Left, -1, 0}, {Colors.Top, 0, -1}, {Colors.Right, 1, 0}, {Colors.Bottom, 0, 1}};
        for (const auto& side : sides) {
            if (side.Colour == -1) continue;
            TRect r = R;
            r.Offset(side.Dx, side.Dy);
            Draw(Map(side.Colour), r);
        }
    }
    Draw(Map(Colors.Color), R);
}

// A pass of ForEachTextPass on a DC: sets the text colour and draws the text
// into the rectangle.
struct TacDCTextPass {
    HDC DC;
    const String& Text;
    Cardinal Flags;
    void operator()(TColor Colour, const TRect& R) const;
};

// Text in the colours of a section's state (1 when Hot, else 0) of Manager
// (the default manager when nullptr): each contour colour that is not -1
// first draws the text into R moved one pixel left, up, right or down, then
// the state's text colour draws it in place. Disabled text is drawn once in
// 40 % of the canvas font colour over the section's colour. Nothing for empty
// text, no manager or an invalid section.
void DrawSectionText(TCanvas* Canvas, const String& Text, bool Enabled, TsSkinManager* Manager, bool Hot,
                     Integer SkinIndex, Cardinal Flags, const TRect& R);
void DrawSectionTextCore(TCanvas* Canvas, const String& Text, bool Enabled, TsSkinManager* Manager, bool Hot,
                         Integer SkinIndex, Cardinal Flags, const TRect& R);

// What a control's caption is drawn from: its skin state, resolved.
struct TacCaptionSkin {
    TsSkinManager* Manager = nullptr;
    bool Skinned = false;        // the control's section is in a usable skin of Manager
    bool CustomFont = false;     // the control keeps its own font colours
    Integer SkinIndex = -1;      // the section whose colours the caption takes
    Integer HueOffset = 0;       // the control's hue and saturation changes
    Integer Saturation = 0;
    TBitmap* CacheBmp = nullptr; // the control's cache: the glow is drawn there
};

// The caption of DrawSkinnedTextCore once the control's state is resolved.
// Skinned without custom font and with a valid section: enabled, the state's
// glow (when CacheBmp is set) goes into CacheBmp, then the contours, then the
// text colour with DT_NOCLIP; disabled, the text is drawn once in 40 % of the
// section's font colour over the manager's global colour. An invalid section
// draws the text once in the canvas font. Not skinned or custom font: the
// text once, or disabled embossed (clBtnHighlight one pixel down and right,
// then clBtnShadow in place). The hue and saturation changes tint every skin
// colour. Clipped to R.
void DrawCaption(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, const TacCaptionSkin& Skin,
                 Cardinal Flags, const TRect& R);

// A control's caption in its skin state's colours, with the state's glow
// drawn into the control's cache first; the disabled look of the skin, or
// for unskinned and custom-font controls the system's embossed look. The
// DC's clip region, background mode and text colour are given back.
void DrawSkinnedText(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, TsCommonData* Data,
                     Cardinal Flags, const TRect& R);
void DrawSkinnedTextCore(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, TsCommonData* Data,
                         Cardinal Flags, const TRect& R);

// Bits of DrawBlurredText's ContourSides: the text is also drawn moved one
// pixel to that side before the blur.
constexpr Integer acContourLeft = 1;
constexpr Integer acContourTop = 2;
constexpr Integer acContourRight = 4;
constexpr Integer acContourBottom = 8;
constexpr Integer acContourAll = 15;

// The glow behind a caption: the text (in Bmp's canvas font) is drawn into
// the 8-bit coverage map Cache over R enlarged by Radius + 4 on every side
// and blurred by Radius, then laid onto Bmp in Color. The caller keeps Cache
// between paints (nullptr at first, freed by the caller): a map of the
// enlarged size is used as it is, any other is made again.
void DrawBlurredText(TBitmap* Bmp, const String& Text, const TRect& R, TBitmap*& Cache, TColor Color,
                     Integer Radius, Integer ContourSides, Cardinal Flags);

// Options of DrawTextOnBitmap32: the text goes through the ANSI text
// functions (in the system's ANSI code page).
constexpr Integer acTextAnsi = 1;

// Renders Text with Bmp's canvas font, black on white, into a work bitmap
// the size of R and lays Color into R of Bmp (a 32-bit bitmap) with the
// rendered darkness as coverage; written pixels get alpha 255. R is clipped
// to Bmp; the text keeps its place in the whole of R. Every written pixel is
// made opaque whatever Opaque says.
void DrawTextOnBitmap32(TBitmap* Bmp, const String& Text, TColor Color, Cardinal Flags, const TRect& R,
                        bool Opaque, Integer Options = 0);

// Text into a 32-bit bitmap in a section's colours: the state is 1 when Hot
// and the section has states above 0, else 0; with Contour each contour
// colour that is not -1 draws the text first one pixel off on its side, then
// the text colour draws it in place. Without a manager or a valid section
// the text is drawn once in the canvas font's colour. Nothing for empty text
// or an empty R.
void WriteTextWithContour(TBitmap* Bmp, const String& Text, bool Contour, TsSkinManager* Manager, bool Hot,
                          Integer SkinIndex, Cardinal Flags, const TRect& R);
