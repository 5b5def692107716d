// Small routines the skin engine uses everywhere: clamping, rectangles, word
// parsing, ini text held in string lists, and paths. Portable: no Windows
// header. The routines that need the system live in acUtilsWin.h.
#pragma once

#include <bitset>
#include <initializer_list>

#include "Strings.h"
#include "Types.h"
#include "sConst.h"

// A set of 8-bit characters (256 bits), as the word routines and CharInSetW
// take it. Characters above 255 cannot be members.
class TSysCharSet {
public:
    TSysCharSet() = default;
    TSysCharSet(std::initializer_list<char> chars) {
        for (char c : chars) FBits.set(static_cast<unsigned char>(c));
    }
    // Every character of Chars; characters above 255 are ignored.
    static TSysCharSet Of(StringView chars) {
        TSysCharSet s;
        for (Char c : chars)
            if (c <= 0xFF) s.FBits.set(c);
        return s;
    }
    bool Contains(unsigned char c) const { return FBits.test(c); }
    TSysCharSet& Include(unsigned char c) {
        FBits.set(c);
        return *this;
    }

private:
    std::bitset<256> FBits;
};

// X clamped to 0..255.
Integer LimitToByte(Integer X);

// ---------------------------------------------------------------------------
// Ini text held in string lists.

// Clears Sections (freeing the section lists it held) and reads Lines in
// order: empty lines and lines starting with ';' are skipped; "[name]" starts
// a section, added to Sections as name with a new TStringList of its lines as
// the object; other lines go to the current section (dropped before the first
// one). Sections owns the section lists afterwards (OwnsObjects is set), so
// clearing or freeing it frees them.
void ParseIniSections(TStringList& Lines, TStringList& Sections);
// The text after "Key=" in the first line of Section whose name is Key;
// Default when the section or the key is missing. Lines is not read: the
// sections hold the data.
String IniReadString(TStringList& Lines, TStringList& Sections, const String& Section, const String& Key,
                     const String& Default);
// IniReadString read as an integer: decimal, or hexadecimal after "0x", "0X"
// or "$"; Default when missing or not a number.
Integer IniReadInteger(TStringList& Lines, TStringList& Sections, const String& Section, const String& Key,
                       Integer Default);

// ---------------------------------------------------------------------------
// Choices, ranges and rectangles.

inline String ChooseStr(bool Flag, const String& A, const String& B) { return Flag ? A : B; }
inline Integer ChooseInt(bool Flag, Integer A, Integer B) { return Flag ? A : B; }
// A lies between B and C inclusive, in either order.
inline bool IsBetween(Integer A, Integer B, Integer C) { return B <= C ? (A >= B && A <= C) : (A >= C && A <= B); }
inline Integer MaxOf(Integer A, Integer B) { return A > B ? A : B; }
inline Integer MinOf(Integer A, Integer B) { return A < B ? A : B; }
inline void SwapInt(Integer& A, Integer& B) {
    const Integer t = A;
    A = B;
    B = t;
}

// R shares at least one pixel with ParentR (touching edges do not count); an
// empty R overlaps nothing.
bool RectsOverlap(const TRect& ParentR, const TRect& R);
// Both corners of Inner lie in Outer enlarged by 1 to the right and bottom.
bool RectContains(const TRect& Outer, const TRect& Inner);
// Right - Left / Bottom - Top; a negative result gives 0 when ClampNegative.
Integer GetRectWidth(const TRect& R, bool ClampNegative = false);
Integer GetRectHeight(const TRect& R, bool ClampNegative = false);

// ---------------------------------------------------------------------------
// Colours.

// Pushes each colour byte X of Color away from the grey average A of the
// three: X - (A - X) * Amount / 100, rounded to nearest and limited to 0..255.
// Negative amounts pull the bytes toward A (-100 gives grey). The top byte
// stays.
TColor SaturateRGB(Integer Amount, TColor Color);
// Turns the hue of Color (red in bits 16-23) by Degrees, any sign or size,
// keeping its value and saturation; grey and black stay as they are, and so
// does the top byte.
Cardinal RotateHueRGB(Integer Degrees, Cardinal Color);
// SaturateRGB and RotateHueRGB on a TColor (red in the low byte); an Amount or
// Degrees of 0 returns Color unchanged.
TColor SaturateColor(TColor Color, Integer Amount);
TColor RotateColorHue(Integer Degrees, TColor Color);

// ---------------------------------------------------------------------------
// Characters and words. Words are runs of characters outside Delims.

// Ch is in Set; a character above 255 is in no set.
bool CharInSetW(Char Ch, const TSysCharSet& Set);
// 1-based position of the first character of the N-th word (N from 1); 0 when
// there are fewer words.
Integer WordPosW(Integer N, StringView S, const TSysCharSet& Delims);
Integer WordPosA(Integer N, std::string_view S, const TSysCharSet& Delims);
// The N-th word of an 8-bit text; empty when there is none.
AnsiString ExtractWordA(Integer N, std::string_view S, const TSysCharSet& Delims);
// The number of words; leading, trailing and repeated delimiters separate nothing.
Integer WordCountW(StringView S, const TSysCharSet& Delims);
Integer WordCountA(std::string_view S, const TSysCharSet& Delims);
// S without any occurrence of Ch.
String RemoveChar(StringView S, Char Ch);
// Every occurrence of Old replaced by New, scanning on after each
// replacement; S unchanged when Old is empty.
String ReplaceAll(StringView S, StringView Old, StringView New);

// ---------------------------------------------------------------------------
// Paths.

// "" stays ""; a final '\' stays; a final '/' becomes '\'; otherwise '\' is
// appended, and a single letter (a drive) gets ":\".
String NormalizeDir(StringView Dir);

// A ready parent-image record: Bmp at X, Y, no fill colour.
void MakeCacheInfo(TBitmap* Bmp, std::int32_t X, std::int32_t Y, TCacheInfo& CI);
// Bmp itself as the image under a piece drawn onto it: at 0, 0, no fill
// colour, ready when there is a bitmap.
TCacheInfo CacheInfoOf(TBitmap* Bmp);
