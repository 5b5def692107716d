// Frame geometry: the nine-part cut of a skin mask, the metrics of a skinned
// window frame, the places of the caption buttons and the parts of a
// scroll bar. Pure functions of style bits, sizes and skin metrics, shared
// by painting and hit testing. Portable.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Types.h"
#include "sMaskData.h"

// ---- nine-part cut ----------------------------------------------------------

enum TacNinePart : int {
    npTopLeft, npTop, npTopRight,
    npLeft, npCentre, npRight,
    npBottomLeft, npBottom, npBottomRight
};

// The nine source and destination rectangles of a nine-part drawing, indexed
// by TacNinePart. Margins holds the widths used (Left = WL, Top = WT,
// Right = WR, Bottom = WB). Sides and centre never have a negative extent.
// Valid is false when nothing is to be drawn.
struct TacNineSlices {
    TRect Margins;
    std::array<TRect, 9> Src{};
    std::array<TRect, 9> Dst{};
    bool Valid = false;
};

// The margins (WL, WT, WR, WB in Left..Bottom) fitted to a destination of
// Width x Height: when the destination is narrower than WL + WR, half of the
// excess (truncated) is taken from each side and one more from the right
// when the excess is odd, so that left + right is the width exactly; a side
// that would fall below 0 is 0 and the other gives up the difference. The
// same for the height with WT and WB (the odd pixel from the bottom).
TRect FitNinePartMargins(const TRect& Margins, Integer Width, Integer Height);

// Cuts SrcFrame and Dst by Margins as given (fit them first). Valid while
// the source centre has no negative extent.
TacNineSlices NinePartSlices(const TRect& SrcFrame, const TRect& Dst, const TRect& Margins);

// The image rectangle of frame min(State, ImageCount - 1) of a mask (frame 0
// for a negative state).
TRect MaskFrameRect(const TsMaskData& Mask, Integer State);

// The slices with which a mask's frame for State is drawn over Dst: the
// mask's WL, WT, WR, WB (negative ones taken as 0) fitted to Dst. Not valid
// for a destination narrower or lower than 2 pixels, a mask without frames,
// or a negative source centre.
TacNineSlices MaskNineParts(const TsMaskData& Mask, Integer State, const TRect& Dst);

// A piece copied from Src to Dst.
struct TacSlicePiece {
    TRect Src, Dst;
};

// The pieces of the nine-part drawing of a plain image: Margins (left, top,
// right, bottom) cut both rectangles; each side strip is min(margin, side
// width) thick from the outer edge and spans the room between its corners.
// A corner is two blocks copied 1:1, first the whole margin wide by the
// top (or bottom) strip's thickness at the outer edge, then the side strip's
// thickness by the rest of the margin, so thin side widths make it L-shaped.
// Corners run top-left, top-right, bottom-left, bottom-right; sides left,
// top, right, bottom. No piece has a negative extent.
struct TacImageSlices {
    std::array<TacSlicePiece, 8> Corners{};
    std::array<TacSlicePiece, 4> Sides{};
    TacSlicePiece Centre;
};
TacImageSlices ImageSlices(const TRect& SrcRect, const TRect& DstRect, const TRect& Margins,
                           const TRect& SideWidths);

// ---- frame metrics ----------------------------------------------------------

// Window style bits the frame metrics read.
constexpr Cardinal acWsThickFrame = 0x00040000;
constexpr Cardinal acWsDlgFrame = 0x00400000;
constexpr Cardinal acWsBorder = 0x00800000;
constexpr Cardinal acWsCaption = 0x00C00000;

// The system's frame metrics, read from the system by the caller.
struct TacSystemFrameMetrics {
    Integer CXFrame = 0;       // SM_CXFRAME
    Integer CXDlgFrame = 0;    // SM_CXDLGFRAME
    Integer CYCaption = 0;     // SM_CYCAPTION
    Integer CYSmCaption = 0;   // SM_CYSMCAPTION
};

// What the frame metrics of a skinned form depend on.
struct TacFrameModel {
    Cardinal Style = 0;           // window style
    bool HaveBorder = false;      // the form has a frame to skin
    bool ToolWindow = false;      // border style bsToolWindow or bsSizeToolWin
    bool Minimized = false;
    Integer FormBorderWidth = 0;  // the form's own BorderWidth
    bool BorderWindow = false;    // an extended border window (with a manager) is in use
    bool SysExHeight = false;     // maximized with a border window whose title is too low
    Integer ExBorderWidth = 0;    // the skin's extended border width
    Integer ExTitleHeight = 0;    // the skin's extended title height
    TacSystemFrameMetrics System;
};

// The frame width: the skin's ExBorderWidth with UseSkin and a border window
// when it is not 0; else the thick frame, the dialog frame, or 0.
Integer SysBorderWidth(const TacFrameModel& Frame, bool UseSkin);
// 0 with a border window, else SysBorderWidth.
Integer SysBorderHeight(const TacFrameModel& Frame, bool UseSkin);
// The small caption for a tool window that is not minimized, else the normal one.
Integer SysCaptionHeight(const TacFrameModel& Frame);
// The skin's extended title height and border width; 0 without border window.
Integer ExtTitleHeight(const TacFrameModel& Frame);
Integer ExtBorderWidth(const TacFrameModel& Frame);
// The frame width with the skin minus without it; 0 without border window.
Integer ExtBorderDiff(const TacFrameModel& Frame);
// 0 unless the form has a border and the whole caption style, or is
// minimized; else the extended title height (CheckSkin) or the system
// caption, at least the system caption + 4 with SysExHeight.
Integer CaptionHeight(const TacFrameModel& Frame, bool CheckSkin);
// SysBorderWidth and SysBorderHeight plus the form's own BorderWidth.
Integer BorderWidth(const TacFrameModel& Frame, bool CheckSkin);
Integer BorderHeight(const TacFrameModel& Frame, bool CheckSkin);
// The automatic title icon size for a caption of Height pixels.
Integer IconSizeFor(Integer Height);

// ---- caption buttons --------------------------------------------------------

// The width of a caption button whose glyph is Mask (null: none): 21 without
// a glyph, one frame of the master image, or the own image's width divided
// among its frames.
Integer CaptionButtonWidth(const TsMaskData* Mask);
// The common button height: one frame of the close glyph, 21 without one.
Integer CaptionButtonHeight(const TsMaskData* CloseMask);

// A user title button of the collection.
struct TacTitleButtonPlace {
    bool Visible = true;
    Integer Width = 21;
};

// What the places of the caption buttons depend on. Coordinates are those of
// the form's cache.
struct TacCaptionModel {
    TacFrameModel Frame;
    Integer CaptionWidth = 0;
    TRect Shadow;                  // shadow margins of the border window
    bool NormalBorderStyle = false;   // bsSingle or bsSizeable
    bool Zoomed = false;
    bool Composition = false;      // desktop composition is on
    Integer ExtTitleDiff = 0;      // of the border window
    Integer BorderFormOffsetY = 0; // the border window's top offset
    // skin values
    Integer BISpacing = 0, BIVAlign = 0, BIRightMargin = 0, BITopMargin = 0;
    Integer ExCenterOffs = 0, ExMaxHeight = 0, ExDrawMode = 0;
    Integer BILeftMargin = 0;
    // title icon
    bool IconVisible = false;      // normal border style, ShowAppIcon and a system menu
    Integer IconWidth = 0, IconHeight = 0;   // the custom size; 0 automatic
    // buttons
    Integer ButtonHeight = 21;     // the common button height
    bool SystemButtons = false;    // a system menu the provider draws
    bool CloseImage = false;       // close has a glyph
    bool VisibleMax = false, VisibleMin = false;
    bool HelpIcon = false;         // the form has biHelp
    bool HelpImage = false;        // help has a glyph
    bool BigSet = false;           // the system buttons take the big glyphs
    Integer CloseWidth = 21, MaxWidth = 21, MinWidth = 21, HelpWidth = 21;
    std::vector<TacTitleButtonPlace> TitleButtons;
};

// Placed buttons; a button not shown keeps an empty rectangle.
struct TacCaptionButtons {
    bool CloseShown = false, MaxShown = false, MinShown = false, HelpShown = false;
    TRect Close, Max, Min, Help;
    std::vector<TRect> Title;   // one per collection entry
};

// Extra top offset of the top-aligned buttons of a maximized form with an
// extended border.
Integer MaximizedButtonsShift(const TacCaptionModel& Model);
// The top of a caption button; BigSet for the big glyphs, whose vertical
// alignment follows the skin.
Integer CaptionButtonTop(const TacCaptionModel& Model, bool BigSet);
// The width the caption buttons take, right margin and spacing included.
Integer TitleButtonsWidth(const TacCaptionModel& Model);
// Places the buttons from the right: close, maximize, minimize, help (6
// pixels further left), then, 8 pixels further left, the visible user
// buttons in collection order.
TacCaptionButtons PlaceCaptionButtons(const TacCaptionModel& Model);
// The ordinal of the button under P counted as the hit test counts them:
// close, maximize when shown, minimize when shown, help with biHelp (all
// with system buttons), then the visible user buttons; 0 for none.
Integer CaptionButtonAt(const TacCaptionModel& Model, const TacCaptionButtons& Buttons, TPoint P);

// The title icon's size (0 x 0 when it is not shown; an automatic side
// follows the caption height) and its place left in the title band.
TSize TitleIconSize(const TacCaptionModel& Model);
TRect TitleIconRect(const TacCaptionModel& Model);

// The sizing zone of a frame of Border pixels under P (window coordinates,
// the window Width x Height; above CaptionTop counts as the top edge): the
// system's codes 10 to 17 for the edges and corners, 1 elsewhere.
Integer FrameSizingHitCode(Integer Width, Integer Height, Integer Border, Integer CaptionTop, TPoint P);

// ---- scroll bars ------------------------------------------------------------

// Part codes of a scroll bar.
constexpr Integer acSbNone = -1, acSbLineBefore = 0, acSbLineAfter = 1, acSbPageBefore = 2, acSbPageAfter = 3,
                  acSbThumb = 5;

// The values of the system's scroll information that the parts read.
struct TacScrollValues {
    Integer Min = 0, Max = 0, Page = 0, Pos = 0;
};

// The sizes a bar's thickness and arrow length come from.
struct TacScrollMetricModel {
    bool Vertical = false;
    Integer ArrowLength = -1;      // negative n: -n times the default length
    Integer ArrowWidth = -1;       // negative n: -n times the system thickness
    Integer CXHScroll = 0, CYHScroll = 0, CXVScroll = 0;   // the system's
    Integer SkinArrowLength = 0;   // one image of the skin's button mask; 0 none
};

// The bar's thickness (Across) or arrow length; with UseSkin the default
// length is at least the skin's button image.
Integer GetScrollMetric(const TacScrollMetricModel& Bar, bool Across, bool UseSkin);

// The non-client layout of a window's scroll bars (screen coordinates).
struct TacScrollFrame {
    TRect Window;
    Integer EdgeLeft = 0, EdgeTop = 0, EdgeRight = 0, EdgeBottom = 0;
    bool HorzVisible = false, VertVisible = false;
    bool LeftScrollbar = false;
    Integer HorzThickness = 0, VertThickness = 0;
};
// Takes the room of the flagged bars off the client rectangle the system
// computed without them: a bar shows when the client is at least as high
// (horizontal) or wide (vertical) as its thickness.
void ScrollBarsClientRect(TRect& Client, TacScrollFrame& Frame, bool HorzFlagged, bool VertFlagged);
TRect GetHScrollRect(const TacScrollFrame& Frame);
TRect GetVScrollRect(const TacScrollFrame& Frame);
// The square between both bars; empty unless both are visible.
TRect ScrollCornerRect(const TacScrollFrame& Frame);

// The length of each arrow part on a bar of Length: ArrowLength when two fit,
// else half the bar.
Integer ScrollArrowPart(Integer Length, Integer ArrowLength);

// The thumb along a bar: size and its offset from the end of the
// before-arrow.
struct TacThumb {
    Integer Size = 0;
    Integer Offset = 0;
};
TacThumb ScrollThumb(Integer Length, Integer ArrowLength, const TacScrollValues& Info, Integer MinThumbSize);

// The part of a bar (Vertical or not, rectangle Bar) under P.
Integer ScrollBarPartAt(const TRect& Bar, bool Vertical, TPoint P, Integer ArrowLength, const TacScrollValues& Info,
                        Integer MinThumbSize);

// The pieces one bar is painted from, in its own coordinates. Bar1 and Bar2
// are the two track sections; the thumb is shown when the bar is enabled and
// the thumb fits between the arrows. ThumbStart, when not -1, replaces the
// computed thumb start (from the bar's start).
struct TacScrollBarParts {
    TRect Bar1, Bar2, ArrowBefore, ArrowAfter, Thumb;
    bool ThumbShown = false;
};
TacScrollBarParts ScrollBarParts(Integer Length, Integer Thickness, bool Vertical, Integer ArrowLength,
                                 const TacScrollValues& Info, Integer MinThumbSize, bool Enabled,
                                 Integer ThumbStart = -1);

// Thumb drag: the thumb start for the mouse at MousePos (Distance: from the
// thumb start to the mouse when the drag began), kept on the track.
Integer DragThumbStart(Integer MousePos, Integer Distance, Integer TrackStart, Integer TrackLength, Integer ThumbSize);
// The scroll position for a dragged thumb, from Min to the last position a
// page can start at (Max - Page + 1); Min when the thumb fills the track.
Integer ThumbDragPosition(bool Vertical, Integer ThumbStart, Integer TrackStart, Integer TrackLength,
                          Integer ThumbSize, const TacScrollValues& Info);
