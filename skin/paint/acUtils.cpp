// Portable utility routines of the skin engine.
#include "acUtils.h"

#include <algorithm>
#include <cmath>

Integer LimitToByte(Integer X) { return X < 0 ? 0 : (X > 255 ? 255 : X); }

// ---------------------------------------------------------------------------
// Colours

namespace {

Cardinal ColourByte(double v) { return static_cast<Cardinal>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

// Top byte of Top with red, green and blue (bits 16-23, 8-15, 0-7) rounded
// and limited to bytes.
Cardinal PackRGB(Cardinal Top, double r, double g, double b) {
    return (Top & 0xFF000000u) | (ColourByte(r) << 16) | (ColourByte(g) << 8) | ColourByte(b);
}

Cardinal SwapFirstAndThirdBytes(Cardinal c) { return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu); }

}  // namespace

TColor SaturateRGB(Integer Amount, TColor Color) {
    const Cardinal c = static_cast<Cardinal>(Color);
    const double c0 = (c >> 16) & 0xFF, c1 = (c >> 8) & 0xFF, c2 = c & 0xFF;
    const double a = (c0 + c1 + c2) / 3;
    const auto push = [&](double x) { return x - (a - x) * Amount / 100; };
    return static_cast<TColor>(PackRGB(c, push(c0), push(c1), push(c2)));
}

Cardinal RotateHueRGB(Integer Degrees, Cardinal Color) {
    const int r = (Color >> 16) & 0xFF, g = (Color >> 8) & 0xFF, b = Color & 0xFF;
    const int hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hi == lo) return Color;   // grey, black included
    const double v = hi;
    const double s = static_cast<double>(hi - lo) / hi;
    // The hue in degrees, from the sector of the largest channel.
    double h = hi == r ? (g - b) * 60.0 / (hi - lo)
             : hi == g ? 120 + (b - r) * 60.0 / (hi - lo)
                       : 240 + (r - g) * 60.0 / (hi - lo);
    if (h < 0) h += 360;
    // Degrees may be negative or far beyond a turn: the remainder is taken
    // first and the result kept in 0..360.
    h = std::fmod(h + Degrees % 360, 360.0);
    if (h < 0) h += 360;
    const int sector = std::min(5, static_cast<int>(h / 60));   // h may round up to 360
    const double f = h / 60 - sector;
    const double p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
    switch (sector) {
    case 0: return PackRGB(Color, v, t, p);
    case 1: return PackRGB(Color, q, v, p);
    case 2: return PackRGB(Color, p, v, t);
    case 3: return PackRGB(Color, p, q, v);
    case 4: return PackRGB(Color, t, p, v);
    default: return PackRGB(Color, v, p, q);
    }
}

TColor SaturateColor(TColor Color, Integer Amount) { return Amount == 0 ? Color : SaturateRGB(Amount, Color); }

TColor RotateColorHue(Integer Degrees, TColor Color) {
    if (Degrees == 0) return Color;
    return static_cast<TColor>(
        SwapFirstAndThirdBytes(RotateHueRGB(Degrees, SwapFirstAndThirdBytes(static_cast<Cardinal>(Color)))));
}

// ---------------------------------------------------------------------------
// Ini text

void ParseIniSections(TStringList& Lines, TStringList& Sections) {
    // The section lists of an earlier parse belong to Sections: free them
    // whether or not the caller set OwnsObjects.
    for (int i = 0; i < Sections.Count(); ++i) {
        TObject* old = Sections.GetObject(i);
        if (old) {
            Sections.PutObject(i, nullptr);
            old->Free();
        }
    }
    Sections.Clear();
    Sections.OwnsObjects = true;

    TStringList* current = nullptr;
    const int n = Lines.Count();
    for (int i = 0; i < n; ++i) {
        const String line = Lines.Get(i);
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
            current = new TStringList();
            try {
                Sections.AddObject(line.substr(1, line.size() - 2), current);
            } catch (...) {
                current->Free();
                throw;
            }
        } else if (current) {
            current->Add(line);
        }
    }
}

String IniReadString(TStringList& /*Lines*/, TStringList& Sections, const String& Section, const String& Key,
                     const String& Default) {
    const int s = Sections.IndexOf(Section);
    if (s < 0) return Default;
    const auto* list = dynamic_cast<const TStringList*>(Sections.GetObject(s));
    if (!list) return Default;
    const int k = list->IndexOfName(Key);
    if (k < 0) return Default;
    const String line = list->Get(k);
    // The name part matched Key, so the value starts after Key and its '='.
    const std::size_t start = Key.size() + 1;
    return start <= line.size() ? line.substr(start) : String();
}

namespace {

// "$" followed by 1 to 8 hexadecimal digits, read as a 32-bit pattern
// ("$FFFFFFFF" is -1).
bool ParseDollarHex(StringView text, Integer& value) {
    if (text.size() < 2 || text.size() > 9 || text.front() != u'$') return false;
    std::uint32_t v = 0;
    for (Char c : text.substr(1)) {
        unsigned d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return false;
        v = (v << 4) | d;
    }
    value = static_cast<Integer>(v);
    return true;
}

}  // namespace

Integer IniReadInteger(TStringList& Lines, TStringList& Sections, const String& Section, const String& Key,
                       Integer Default) {
    String s = IniReadString(Lines, Sections, Section, Key, String());
    if (s.size() > 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X')) s = u"$" + s.substr(2);
    if (!s.empty() && s.front() == u'$') {
        Integer v;
        return ParseDollarHex(s, v) ? v : Default;
    }
    return StrToIntDef(s, Default);
}

// ---------------------------------------------------------------------------
// Rectangles

bool RectsOverlap(const TRect& ParentR, const TRect& R) {
    if (ParentR.Top >= R.Bottom || ParentR.Left >= R.Right || R.Left >= ParentR.Right || R.Top >= ParentR.Bottom)
        return false;
    return !R.IsEmpty();
}

bool RectContains(const TRect& Outer, const TRect& Inner) {
    const TRect grown(Outer.Left, Outer.Top, Outer.Right + 1, Outer.Bottom + 1);
    return grown.Contains(Inner.TopLeft()) && grown.Contains(Inner.BottomRight());
}

Integer GetRectWidth(const TRect& R, bool ClampNegative) {
    const Integer w = R.Right - R.Left;
    return ClampNegative && w < 0 ? 0 : w;
}

Integer GetRectHeight(const TRect& R, bool ClampNegative) {
    const Integer h = R.Bottom - R.Top;
    return ClampNegative && h < 0 ? 0 : h;
}

// ---------------------------------------------------------------------------
// Characters and words

bool CharInSetW(Char Ch, const TSysCharSet& Set) { return Ch <= 0xFF && Set.Contains(static_cast<unsigned char>(Ch)); }

namespace {

inline bool IsDelim(Char c, const TSysCharSet& d) { return CharInSetW(c, d); }
inline bool IsDelim(char c, const TSysCharSet& d) { return d.Contains(static_cast<unsigned char>(c)); }

// Start (0-based) and length of the N-th word, or false.
template <class View>
bool FindWord(Integer N, View S, const TSysCharSet& Delims, std::size_t& start, std::size_t& length) {
    if (N < 1) return false;
    Integer count = 0;
    std::size_t i = 0;
    const std::size_t n = S.size();
    while (i < n) {
        while (i < n && IsDelim(S[i], Delims)) ++i;
        if (i >= n) break;
        const std::size_t b = i;
        while (i < n && !IsDelim(S[i], Delims)) ++i;
        if (++count == N) {
            start = b;
            length = i - b;
            return true;
        }
    }
    return false;
}

template <class View>
Integer CountWords(View S, const TSysCharSet& Delims) {
    Integer count = 0;
    bool inWord = false;
    for (auto c : S) {
        const bool d = IsDelim(c, Delims);
        if (!d && !inWord) ++count;
        inWord = !d;
    }
    return count;
}

}  // namespace

Integer WordPosW(Integer N, StringView S, const TSysCharSet& Delims) {
    std::size_t start, length;
    return FindWord(N, S, Delims, start, length) ? static_cast<Integer>(start) + 1 : 0;
}

Integer WordPosA(Integer N, std::string_view S, const TSysCharSet& Delims) {
    std::size_t start, length;
    return FindWord(N, S, Delims, start, length) ? static_cast<Integer>(start) + 1 : 0;
}

AnsiString ExtractWordA(Integer N, std::string_view S, const TSysCharSet& Delims) {
    std::size_t start, length;
    return FindWord(N, S, Delims, start, length) ? AnsiString(S.substr(start, length)) : AnsiString();
}

Integer WordCountW(StringView S, const TSysCharSet& Delims) { return CountWords(S, Delims); }
Integer WordCountA(std::string_view S, const TSysCharSet& Delims) { return CountWords(S, Delims); }

String RemoveChar(StringView S, Char Ch) {
    String r;
    r.reserve(S.size());
    for (Char c : S)
        if (c != Ch) r.push_back(c);
    return r;
}

String ReplaceAll(StringView S, StringView Old, StringView New) {
    if (Old.empty()) return String(S);
    String r;
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = S.find(Old, from);
        if (p == StringView::npos) break;
        r.append(S.substr(from, p - from));
        r.append(New);
        from = p + Old.size();
    }
    r.append(S.substr(from));
    return r;
}

// ---------------------------------------------------------------------------
// Paths

String NormalizeDir(StringView Dir) {
    if (Dir.empty()) return String();
    String r(Dir);
    if (r.back() == u'\\') return r;
    if (r.back() == u'/') {
        r.back() = u'\\';
        return r;
    }
    const Char c = r.front();
    if (r.size() == 1 && ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) return r + u":\\";
    return r + u'\\';
}

void MakeCacheInfo(TBitmap* Bmp, std::int32_t X, std::int32_t Y, TCacheInfo& CI) {
    CI.Bmp = Bmp;
    CI.X = X;
    CI.Y = Y;
    CI.FillColor = kNoColor;
    CI.Ready = true;
}

TCacheInfo CacheInfoOf(TBitmap* Bmp) {
    TCacheInfo ci;
    ci.Bmp = Bmp;
    ci.X = 0;
    ci.Y = 0;
    ci.Ready = Bmp != nullptr;
    return ci;
}
