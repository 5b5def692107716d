// Small value types of the framework: points, sizes, rectangles and sets of
// enumeration values. Portable: no Windows header.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "System.h"

struct TPoint {
    Integer X = 0;
    Integer Y = 0;

    constexpr TPoint() = default;
    constexpr TPoint(Integer x, Integer y) : X(x), Y(y) {}
    // From the system's POINT (or anything with members x and y).
    template <class P>
        requires requires(const P& p) { p.x; p.y; }
    constexpr TPoint(const P& p) : X(static_cast<Integer>(p.x)), Y(static_cast<Integer>(p.y)) {}

    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    Integer cx = 0;
    Integer cy = 0;
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

// Left and Top are inside the rectangle, Right and Bottom just outside, as in
// the system's RECT, which converts to a TRect implicitly.
struct TRect {
    Integer Left = 0;
    Integer Top = 0;
    Integer Right = 0;
    Integer Bottom = 0;

    constexpr TRect() = default;
    constexpr TRect(Integer left, Integer top, Integer right, Integer bottom)
        : Left(left), Top(top), Right(right), Bottom(bottom) {}
    template <class R>
        requires requires(const R& r) { r.left; r.top; r.right; r.bottom; }
    constexpr TRect(const R& r)
        : Left(static_cast<Integer>(r.left)),
          Top(static_cast<Integer>(r.top)),
          Right(static_cast<Integer>(r.right)),
          Bottom(static_cast<Integer>(r.bottom)) {}

    constexpr Integer Width() const { return Right - Left; }
    constexpr Integer Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr TPoint BottomRight() const { return {Right, Bottom}; }
    constexpr void Offset(Integer dx, Integer dy) {
        Left += dx;
        Right += dx;
        Top += dy;
        Bottom += dy;
    }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(Integer x, Integer y) { return {x, y}; }
constexpr TRect Rect(Integer left, Integer top, Integer right, Integer bottom) { return {left, top, right, bottom}; }
constexpr TRect Bounds(Integer left, Integer top, Integer width, Integer height) {
    return {left, top, left + width, top + height};
}

// A set of values of an enumeration with at most 32 members, like the
// framework's "set of" types: TSet<TFontStyle>{fsBold, fsItalic}.
template <class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values) FBits |= Bit(v);
    }

    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E v) {
        FBits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr std::uint32_t Bits() const { return FBits; }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr bool operator==(TSet, TSet) = default;

private:
    static constexpr std::uint32_t Bit(E v) { return std::uint32_t{1} << static_cast<unsigned>(v); }
    static constexpr TSet FromBits(std::uint32_t bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    std::uint32_t FBits = 0;
};
