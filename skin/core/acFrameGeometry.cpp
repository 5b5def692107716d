#include "acFrameGeometry.h"

#include <algorithm>
#include <limits>

#include "acSkinImages.h"

namespace {

// Saturates a wide result to the 32-bit range, so that rectangles near the
// ends of the range stay well-formed.
Integer Sat(Int64 v) {
    return static_cast<Integer>(
        std::clamp<Int64>(v, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max()));
}

// Left, top, right, bottom cut at A and B along each axis; the middle band
// never runs backwards.
std::array<TRect, 9> Cut(const TRect& R, const TRect& M) {
    const Int64 x0 = R.Left, x3 = R.Right, y0 = R.Top, y3 = R.Bottom;
    const Int64 x1 = x0 + M.Left, y1 = y0 + M.Top;
    const Int64 x2 = std::max(x1, x3 - M.Right), y2 = std::max(y1, y3 - M.Bottom);
    const Int64 rx = x3 - M.Right, by = y3 - M.Bottom;   // corners keep their own width
    auto r = [](Int64 l, Int64 t, Int64 rr, Int64 b) { return TRect(Sat(l), Sat(t), Sat(rr), Sat(b)); };
    return {r(x0, y0, x1, y1), r(x1, y0, x2, y1), r(rx, y0, x3, y1),
            r(x0, y1, x1, y2), r(x1, y1, x2, y2), r(rx, y1, x3, y2),
            r(x0, by, x1, y3), r(x1, by, x2, y3), r(rx, by, x3, y3)};
}

// Half the excess comes off each side and the odd pixel of an odd excess
// off the far side, so that the two sides fill the size exactly; a side
// pushed below 0 gives its shortfall back to the other.
void Fit(Int64 size, Integer& nearSide, Integer& farSide) {
    const Int64 excess = Int64{nearSide} + farSide - std::max<Int64>(size, 0);
    if (excess <= 0) return;
    const Int64 d = excess / 2;
    Int64 n = nearSide - d, f = farSide - d - excess % 2;
    if (f < 0) n += f, f = 0;
    if (n < 0) f += n, n = 0;
    nearSide = Sat(n);
    farSide = Sat(f);
}

// The system's MulDiv: a * b / c rounded half away from zero; -1 for a zero
// divisor or a result beyond 32 bits.
// Arguments beyond 32 bits are saturated first.
Integer MulDiv32(Int64 A, Int64 B, Int64 C) {
    Int64 a = Sat(A), c = Sat(C);
    const Int64 b = Sat(B);
    if (c == 0) return -1;
    if (c < 0) {
        a = -a;
        c = -c;
    }
    const Int64 p = a * b;
    const Int64 q = p >= 0 ? (p + c / 2) / c : (p - c / 2) / c;
    if (q > std::numeric_limits<Integer>::max() || q < -std::numeric_limits<Integer>::max()) return -1;
    return static_cast<Integer>(q);
}

}  // namespace

// ---- nine-part cut ----------------------------------------------------------

TRect FitNinePartMargins(const TRect& Margins, Integer Width, Integer Height) {
    TRect m = Margins;
    Fit(Width, m.Left, m.Right);
    Fit(Height, m.Top, m.Bottom);
    return m;
}

TacNineSlices NinePartSlices(const TRect& SrcFrame, const TRect& Dst, const TRect& Margins) {
    TacNineSlices s;
    s.Margins = Margins;
    s.Src = Cut(SrcFrame, Margins);
    s.Dst = Cut(Dst, Margins);
    s.Valid = Int64{SrcFrame.Right} - SrcFrame.Left - Margins.Left - Margins.Right >= 0 &&
              Int64{SrcFrame.Bottom} - SrcFrame.Top - Margins.Top - Margins.Bottom >= 0;
    return s;
}

TRect MaskFrameRect(const TsMaskData& Mask, Integer State) {
    const Int64 frame = std::clamp<Int64>(State, 0, std::max<Int64>(0, Mask.ImageCount - 1));
    const Int64 fw = MaskFrameWidth(Mask), fh = MaskFrameHeight(Mask);
    const Int64 left = Mask.R.Left + frame * fw;
    return TRect(Sat(left), Mask.R.Top, Sat(left + fw), Sat(Int64{Mask.R.Top} + fh));
}

TacNineSlices MaskNineParts(const TsMaskData& Mask, Integer State, const TRect& Dst) {
    const Int64 w = Int64{Dst.Right} - Dst.Left, h = Int64{Dst.Bottom} - Dst.Top;
    const TRect raw(std::max<Integer>(Mask.WL, 0), std::max<Integer>(Mask.WT, 0), std::max<Integer>(Mask.WR, 0),
                    std::max<Integer>(Mask.WB, 0));
    const TRect margins = FitNinePartMargins(raw, Sat(w), Sat(h));
    TacNineSlices s = NinePartSlices(MaskFrameRect(Mask, State), Dst, margins);
    if (w < 2 || h < 2 || Mask.ImageCount <= 0) s.Valid = false;
    return s;
}

namespace {

// One rectangle, never running backwards.
TRect Piece(Int64 l, Int64 t, Int64 r, Int64 b) {
    return TRect(Sat(l), Sat(t), Sat(std::max(l, r)), Sat(std::max(t, b)));
}

// The pieces of one rectangle; the source and destination are cut alike.
struct SliceCut {
    std::array<TRect, 8> Corners;
    std::array<TRect, 4> Sides;
    TRect Centre;
};

SliceCut CutSlices(const TRect& R, const TRect& M, const TRect& S) {
    const Int64 l = R.Left, t = R.Top, r = R.Right, b = R.Bottom;
    const Int64 ml = M.Left, mt = M.Top, mr = M.Right, mb = M.Bottom;
    const Int64 sl = std::min(M.Left, S.Left), st = std::min(M.Top, S.Top);
    const Int64 sr = std::min(M.Right, S.Right), sb = std::min(M.Bottom, S.Bottom);
    SliceCut c;
    c.Corners = {Piece(l, t, l + ml, t + st),     Piece(l, t + st, l + sl, t + mt),
                 Piece(r - mr, t, r, t + st),     Piece(r - sr, t + st, r, t + mt),
                 Piece(l, b - sb, l + ml, b),     Piece(l, b - mb, l + sl, b - sb),
                 Piece(r - mr, b - sb, r, b),     Piece(r - sr, b - mb, r, b - sb)};
    c.Sides = {Piece(l, t + mt, l + sl, b - mb), Piece(l + ml, t, r - mr, t + st), Piece(r - sr, t + mt, r, b - mb),
               Piece(l + ml, b - sb, r - mr, b)};
    c.Centre = Piece(l + ml, t + mt, r - mr, b - mb);
    return c;
}

}  // namespace

TacImageSlices ImageSlices(const TRect& SrcRect, const TRect& DstRect, const TRect& Margins,
                           const TRect& SideWidths) {
    const SliceCut src = CutSlices(SrcRect, Margins, SideWidths), dst = CutSlices(DstRect, Margins, SideWidths);
    TacImageSlices s;
    for (std::size_t i = 0; i < s.Corners.size(); ++i) s.Corners[i] = {src.Corners[i], dst.Corners[i]};
    for (std::size_t i = 0; i < s.Sides.size(); ++i) s.Sides[i] = {src.Sides[i], dst.Sides[i]};
    s.Centre = {src.Centre, dst.Centre};
    return s;
}

// ---- frame metrics ----------------------------------------------------------

Integer SysBorderWidth(const TacFrameModel& Frame, bool UseSkin) {
    if (UseSkin && Frame.BorderWindow && Frame.ExBorderWidth != 0) return Frame.ExBorderWidth;
    if (Frame.Style & acWsThickFrame) return Frame.System.CXFrame;
    if (Frame.Style & acWsDlgFrame) return Frame.System.CXDlgFrame;
    return 0;
}

Integer SysBorderHeight(const TacFrameModel& Frame, bool UseSkin) {
    return Frame.BorderWindow ? 0 : SysBorderWidth(Frame, UseSkin);
}

Integer SysCaptionHeight(const TacFrameModel& Frame) {
    return Frame.ToolWindow && !Frame.Minimized ? Frame.System.CYSmCaption : Frame.System.CYCaption;
}

Integer ExtTitleHeight(const TacFrameModel& Frame) { return Frame.BorderWindow ? Frame.ExTitleHeight : 0; }

Integer ExtBorderWidth(const TacFrameModel& Frame) { return Frame.BorderWindow ? Frame.ExBorderWidth : 0; }

Integer ExtBorderDiff(const TacFrameModel& Frame) {
    return Frame.BorderWindow ? SysBorderWidth(Frame, true) - SysBorderWidth(Frame, false) : 0;
}

Integer CaptionHeight(const TacFrameModel& Frame, bool CheckSkin) {
    const bool caption = Frame.HaveBorder && (Frame.Style & acWsCaption) == acWsCaption;
    if (!caption && !Frame.Minimized) return 0;
    const Integer r = CheckSkin ? ExtTitleHeight(Frame) : 0;
    const Integer s = SysCaptionHeight(Frame);
    if (Frame.SysExHeight) return std::max(r, s + 4);
    return r != 0 ? r : s;
}

Integer BorderWidth(const TacFrameModel& Frame, bool CheckSkin) {
    return SysBorderWidth(Frame, CheckSkin) + Frame.FormBorderWidth;
}

Integer BorderHeight(const TacFrameModel& Frame, bool CheckSkin) {
    return SysBorderHeight(Frame, CheckSkin) + Frame.FormBorderWidth;
}

Integer IconSizeFor(Integer Height) {
    if (Height >= -100 && Height <= 8) return 1;
    if (Height >= 9 && Height <= 16) return 8;
    return 16;
}

// ---- caption buttons --------------------------------------------------------

Integer CaptionButtonWidth(const TsMaskData* Mask) {
    if (Mask == nullptr) return 21;
    if (!Mask->Bmp) return MaskFrameWidth(*Mask);
    return Mask->Bmp->Width() / std::max<Integer>(1, Mask->ImageCount);
}

Integer CaptionButtonHeight(const TsMaskData* CloseMask) {
    return CloseMask == nullptr ? 21 : MaskFrameHeight(*CloseMask);
}

Integer MaximizedButtonsShift(const TacCaptionModel& Model) {
    Integer b = 0;
    const Integer title = Model.Frame.ExTitleHeight;
    if (Model.ExDrawMode == 1)
        b = (title != Model.ExMaxHeight ? std::max(0, title - Model.ExMaxHeight) : 0) + Model.BITopMargin;
    const Integer caption = CaptionHeight(Model.Frame, true), sys = SysCaptionHeight(Model.Frame);
    return b - (sys + 4 < caption ? caption - sys - 4 : 0);
}

Integer CaptionButtonTop(const TacCaptionModel& Model, bool BigSet) {
    const TacFrameModel& f = Model.Frame;
    if (Model.BIVAlign == 1 && BigSet) {
        if (!f.BorderWindow) return Model.Zoomed ? 3 : 0;
        if (!Model.Zoomed) return Model.Shadow.Top + Model.BITopMargin;
        Integer top = SysBorderWidth(f, false) + MaximizedButtonsShift(Model) +
                      (f.SysExHeight ? Model.Shadow.Top + Model.ExtTitleDiff + 4 : Model.BorderFormOffsetY);
        if (!Model.Composition) --top;
        return top;
    }
    const Integer c = SysBorderHeight(f, true) + CaptionHeight(f, true) - Model.ButtonHeight;
    Integer top = c / 2 + Model.Shadow.Top;
    if (f.BorderWindow) top += Model.ExCenterOffs;
    if (Model.Zoomed) {
        if (f.BorderWindow) top -= 2;
        if (f.ExTitleHeight != Model.ExMaxHeight)
            top += (f.ExTitleHeight - Model.ExMaxHeight - Model.ExCenterOffs) / 2 - 2;
        if (f.BorderWindow) top += SysBorderWidth(f, false) / 2;
    }
    if (Model.NormalBorderStyle && Model.ButtonHeight < 16) top += 2;
    return top;
}

namespace {

Integer Spacing(const TacCaptionModel& Model) { return Model.NormalBorderStyle ? Model.BISpacing : 0; }

}  // namespace

Integer TitleButtonsWidth(const TacCaptionModel& Model) {
    const Integer s = Spacing(Model);
    Integer w = Model.BIRightMargin;
    if (Model.SystemButtons) {
        w += Model.CloseWidth;
        if (Model.VisibleMax) w += Model.MaxWidth + s;
        if (Model.VisibleMin) w += Model.MinWidth + s;
        if (Model.HelpIcon) w += Model.HelpWidth + s;
    }
    if (!Model.TitleButtons.empty()) {
        w += 8;
        for (const TacTitleButtonPlace& b : Model.TitleButtons)
            if (b.Visible) w += b.Width + s;
    }
    return w;
}

TacCaptionButtons PlaceCaptionButtons(const TacCaptionModel& Model) {
    TacCaptionButtons out;
    const Integer s = Spacing(Model);
    const Integer systemTop = CaptionButtonTop(Model, Model.BigSet);
    const Integer plainTop = CaptionButtonTop(Model, false);
    Integer x = Model.CaptionWidth - Model.BIRightMargin - Model.Shadow.Right - SysBorderWidth(Model.Frame, true);
    auto place = [&](TRect& r, Integer right, Integer width, Integer top) {
        r = TRect(right - width, top, right, top + Model.ButtonHeight);
        x = r.Left - s;
    };
    if (Model.SystemButtons) {
        if (Model.CloseImage) {
            out.CloseShown = true;
            place(out.Close, x, Model.CloseWidth, systemTop);
        }
        if (Model.VisibleMax) {
            out.MaxShown = true;
            place(out.Max, x, Model.MaxWidth, systemTop);
        }
        if (Model.VisibleMin) {
            out.MinShown = true;
            place(out.Min, x, Model.MinWidth, systemTop);
        }
        if (Model.HelpIcon && Model.HelpImage) {
            out.HelpShown = true;
            place(out.Help, x - 6, Model.HelpWidth, plainTop);
        }
    }
    out.Title.resize(Model.TitleButtons.size());
    if (!Model.TitleButtons.empty()) {
        x -= 8;
        for (std::size_t i = 0; i < Model.TitleButtons.size(); ++i)
            if (Model.TitleButtons[i].Visible) place(out.Title[i], x, Model.TitleButtons[i].Width, plainTop);
    }
    return out;
}

Integer CaptionButtonAt(const TacCaptionModel& Model, const TacCaptionButtons& Buttons, TPoint P) {
    Integer n = 0;
    auto hit = [&](bool counted, const TRect& r) {
        if (!counted) return false;
        ++n;
        return r.Contains(P);
    };
    if (Model.SystemButtons) {
        if (hit(true, Buttons.Close) || hit(Model.VisibleMax, Buttons.Max) || hit(Model.VisibleMin, Buttons.Min) ||
            hit(Model.HelpIcon, Buttons.Help))
            return n;
    }
    for (std::size_t i = 0; i < Model.TitleButtons.size() && i < Buttons.Title.size(); ++i)
        if (hit(Model.TitleButtons[i].Visible, Buttons.Title[i])) return n;
    return 0;
}

TSize TitleIconSize(const TacCaptionModel& Model) {
    if (!Model.IconVisible) return TSize{0, 0};
    const Integer automatic = IconSizeFor(CaptionHeight(Model.Frame, true));
    return TSize{Model.IconWidth != 0 ? Model.IconWidth : automatic,
                 Model.IconHeight != 0 ? Model.IconHeight : automatic};
}

TRect TitleIconRect(const TacCaptionModel& Model) {
    const TacFrameModel& f = Model.Frame;
    const TSize size = TitleIconSize(Model);
    const Integer left = SysBorderWidth(f, true) + Model.BILeftMargin + Model.Shadow.Left;
    Integer top = SysBorderWidth(f, false) / 2 + Model.Shadow.Top;
    top += (SysBorderHeight(f, false) + CaptionHeight(f, true) + Model.Shadow.Top - top - size.cy) / 2;
    if (f.BorderWindow) top += Model.ExCenterOffs;
    if (Model.Zoomed && f.ExTitleHeight != Model.ExMaxHeight) top += (f.ExTitleHeight - Model.ExMaxHeight) / 2 - 2;
    return Bounds(left, top, size.cx, size.cy);
}

Integer FrameSizingHitCode(Integer Width, Integer Height, Integer Border, Integer CaptionTop, TPoint P) {
    enum : Integer {
        Client = 1, Left = 10, Right = 11, Top = 12, TopLeft = 13, TopRight = 14, Bottom = 15, BottomLeft = 16,
        BottomRight = 17
    };
    Integer code = Client;
    if (P.Y > Int64{Height} - Border)
        code = Bottom;
    else if (P.Y < CaptionTop)
        code = Top;
    // Left and right turn top, bottom and client into the corners and sides.
    if (P.X < Border) return code == Top ? TopLeft : code == Bottom ? BottomLeft : Left;
    if (P.X > Int64{Width} - Border) return code == Top ? TopRight : code == Bottom ? BottomRight : Right;
    return code;
}

// ---- scroll bars ------------------------------------------------------------

Integer GetScrollMetric(const TacScrollMetricModel& Bar, bool Across, bool UseSkin) {
    if (Across) {
        if (Bar.ArrowWidth >= 0) return Bar.ArrowWidth;
        return Sat(-Int64{Bar.ArrowWidth} * (Bar.Vertical ? Bar.CXVScroll : Bar.CYHScroll));
    }
    if (Bar.ArrowLength >= 0) return Bar.ArrowLength;
    Integer length = Bar.CXHScroll;
    if (UseSkin && Bar.SkinArrowLength > 0) length = std::max(length, Bar.SkinArrowLength);
    return Sat(-Int64{Bar.ArrowLength} * length);
}

void ScrollBarsClientRect(TRect& Client, TacScrollFrame& Frame, bool HorzFlagged, bool VertFlagged) {
    Frame.HorzVisible = HorzFlagged && Client.Height() >= Frame.HorzThickness;
    if (Frame.HorzVisible) Client.Bottom -= Frame.HorzThickness;
    Frame.VertVisible = VertFlagged && Client.Width() >= Frame.VertThickness;
    if (Frame.VertVisible) {
        if (Frame.LeftScrollbar)
            Client.Left += Frame.VertThickness;
        else
            Client.Right -= Frame.VertThickness;
    }
}

TRect GetHScrollRect(const TacScrollFrame& Frame) {
    TRect r(Frame.Window.Left + Frame.EdgeLeft, Frame.Window.Top + Frame.EdgeTop, Frame.Window.Right - Frame.EdgeRight,
            Frame.Window.Bottom - Frame.EdgeBottom);
    r.Top = r.Bottom - Frame.HorzThickness;
    if (Frame.VertVisible) {
        if (Frame.LeftScrollbar)
            r.Left += Frame.VertThickness;
        else
            r.Right -= Frame.VertThickness;
    }
    return r;
}

TRect GetVScrollRect(const TacScrollFrame& Frame) {
    TRect r(Frame.Window.Left + Frame.EdgeLeft, Frame.Window.Top + Frame.EdgeTop, Frame.Window.Right - Frame.EdgeRight,
            Frame.Window.Bottom - Frame.EdgeBottom);
    if (Frame.LeftScrollbar)
        r.Right = r.Left + Frame.VertThickness;
    else
        r.Left = r.Right - Frame.VertThickness;
    if (Frame.HorzVisible) r.Bottom -= Frame.HorzThickness;
    return r;
}

TRect ScrollCornerRect(const TacScrollFrame& Frame) {
    if (!Frame.HorzVisible || !Frame.VertVisible) return TRect();
    const TRect h = GetHScrollRect(Frame), v = GetVScrollRect(Frame);
    return TRect(v.Left, h.Top, v.Right, h.Bottom);
}

Integer ScrollArrowPart(Integer Length, Integer ArrowLength) {
    return 2 * Int64{ArrowLength} < Length ? ArrowLength : Length / 2;
}

TacThumb ScrollThumb(Integer Length, Integer ArrowLength, const TacScrollValues& Info, Integer MinThumbSize) {
    TacThumb t;
    const Int64 track = Int64{Length} - 2 * Int64{ArrowLength};
    const Int64 range = Int64{Info.Max} - Info.Min;
    const bool measurable = range <= 0x7FFFFFFE;
    if (Info.Page == 0)
        t.Size = ArrowLength;
    else
        t.Size = measurable ? std::max(MulDiv32(Info.Page, track, range + 1), MinThumbSize) : 0;
    // A page as large as the range leaves no step to divide by: the thumb
    // stays at the start.
    const Int64 steps = range - std::max(1, Info.Page) + 1;
    if (measurable && steps > 0) {
        const Int64 offset = MulDiv32(Int64{Info.Pos} - Info.Min, track - t.Size, steps);
        t.Offset = Sat(std::max<Int64>(0, std::min(offset, track - t.Size)));
    }
    return t;
}

Integer ScrollBarPartAt(const TRect& Bar, bool Vertical, TPoint P, Integer ArrowLength, const TacScrollValues& Info,
                        Integer MinThumbSize) {
    const Integer across = Vertical ? P.X : P.Y;
    if (across < (Vertical ? Bar.Left : Bar.Top) || across >= (Vertical ? Bar.Right : Bar.Bottom)) return acSbNone;
    const Int64 pos = Int64{Vertical ? P.Y : P.X} - (Vertical ? Bar.Top : Bar.Left);
    const Integer length = Vertical ? Bar.Height() : Bar.Width();
    const Integer arrow = ScrollArrowPart(length, ArrowLength);
    if (pos >= 0 && pos < arrow) return acSbLineBefore;
    if (pos >= Int64{length} - arrow && pos < length) return acSbLineAfter;
    const TacThumb thumb = ScrollThumb(length, ArrowLength, Info, MinThumbSize);
    if (thumb.Size >= Int64{length} - 2 * Int64{ArrowLength}) return acSbNone;
    const Int64 start = Int64{ArrowLength} + thumb.Offset, end = start + thumb.Size;
    if (pos >= start && pos < end) return acSbThumb;
    if (pos >= arrow && pos < start) return acSbPageBefore;
    if (pos >= end && pos < Int64{length} - arrow) return acSbPageAfter;
    return acSbNone;
}

TacScrollBarParts ScrollBarParts(Integer Length, Integer Thickness, bool Vertical, Integer ArrowLength,
                                 const TacScrollValues& Info, Integer MinThumbSize, bool Enabled,
                                 Integer ThumbStart) {
    TacScrollBarParts p;
    // Along the bar from a to b, across the whole thickness.
    auto piece = [&](Int64 a, Int64 b) {
        return Vertical ? TRect(0, Sat(a), Thickness, Sat(b)) : TRect(Sat(a), 0, Sat(b), Thickness);
    };
    if (2 * Int64{ArrowLength} < Length) {
        const TacThumb thumb = ScrollThumb(Length, ArrowLength, Info, MinThumbSize);
        const Int64 start = ThumbStart != -1 ? ThumbStart : Int64{ArrowLength} + thumb.Offset;
        const Int64 centre = start + thumb.Size / 2;
        p.Bar1 = piece(0, centre);
        p.Bar2 = piece(centre, Length);
        p.ArrowBefore = piece(0, ArrowLength);
        p.ArrowAfter = piece(Int64{Length} - ArrowLength, Length);
        p.ThumbShown = Enabled && thumb.Size < Int64{Length} - 2 * Int64{ArrowLength};
        if (p.ThumbShown) p.Thumb = piece(start, start + thumb.Size);
    } else {
        const Integer half = Length / 2;
        p.Bar1 = piece(0, half);
        p.Bar2 = piece(half, Length);
        p.ArrowBefore = p.Bar1;
        p.ArrowAfter = p.Bar2;
    }
    return p;
}

Integer DragThumbStart(Integer MousePos, Integer Distance, Integer TrackStart, Integer TrackLength, Integer ThumbSize) {
    Int64 start = Int64{MousePos} - Distance;
    start = std::max<Int64>(start, TrackStart);
    start = std::min<Int64>(start, Int64{TrackStart} + TrackLength - ThumbSize);
    return Sat(start);
}

Integer ThumbDragPosition(bool Vertical, Integer ThumbStart, Integer TrackStart, Integer TrackLength,
                          Integer ThumbSize, const TacScrollValues& Info) {
    const Int64 range = Int64{Info.Max} - Info.Min;
    const Int64 moved = Int64{ThumbStart} - TrackStart;
    if (range < 1) return Sat(moved);
    // The last position a page can start at; a thumb at the track end, or a
    // track with no room left to move in, never scrolls past it or divides
    // by nothing.
    const Int64 last = Info.Min + std::max<Int64>(0, range - std::max(1, Info.Page) + 1);
    const Int64 room = Int64{TrackLength} - ThumbSize;
    if (room <= 0) return Info.Min;
    if (Vertical && Int64{ThumbStart} + ThumbSize >= Int64{TrackStart} + TrackLength) return Sat(last);
    const Int64 steps = range - Info.Page + (Vertical ? 2 : 1);
    const Int64 pos = Info.Min + Int64{MulDiv32(std::max<Int64>(moved, 0), std::max<Int64>(steps, 0), room)};
    return Sat(std::clamp<Int64>(pos, Info.Min, last));
}
