// The skin engine's portable utility routines: ini text, words, rectangles, paths.
#include <gtest/gtest.h>

#include <memory>

#include "acUtils.h"

namespace {

// Lines and their parsed sections, freed together.
struct IniFixture {
    TStringList Lines;
    TStringList Sections;
    explicit IniFixture(StringView text) {
        Lines.SetText(text);
        ParseIniSections(Lines, Sections);
    }
    String Str(const String& section, const String& key, const String& def = u"<none>") {
        return IniReadString(Lines, Sections, section, key, def);
    }
    Integer Int(const String& section, const String& key, Integer def = -7) {
        return IniReadInteger(Lines, Sections, section, key, def);
    }
};

// An object that counts how many of its kind are alive, to see section lists freed.
struct CountedList : TStringList {
    static inline int Alive = 0;
    CountedList() { ++Alive; }
    ~CountedList() override { --Alive; }
};

}  // namespace

TEST(AcUtilsIni, ParsesSectionsSkippingCommentsEmptyLinesAndLinesBeforeTheFirstSection) {
    IniFixture ini(u"orphan=1\r\n[GENERAL]\r\n; a comment\r\n\r\nVersion=7\r\n[BUTTON]\r\nColor=0xFF\r\n[EMPTY]\r\n");
    ASSERT_EQ(ini.Sections.Count(), 3);
    EXPECT_EQ(ini.Sections[0], u"GENERAL");
    EXPECT_EQ(ini.Sections[1], u"BUTTON");
    EXPECT_EQ(ini.Sections[2], u"EMPTY");
    auto* general = dynamic_cast<TStringList*>(ini.Sections.GetObject(0));
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->Text(), u"Version=7\r\n");
    EXPECT_EQ(dynamic_cast<TStringList*>(ini.Sections.GetObject(2))->Count(), 0);
    EXPECT_EQ(ini.Str(u"GENERAL", u"orphan"), u"<none>");
}

TEST(AcUtilsIni, BracketedLineMustBeWholeLine) {
    // "[" alone and "[x] trailing" are not section headers; "[]" names an empty section.
    IniFixture ini(u"[A]\r\n[\r\n[x] trailing\r\n[]\r\nk=v\r\n");
    ASSERT_EQ(ini.Sections.Count(), 2);
    EXPECT_EQ(ini.Sections[1], u"");
    EXPECT_EQ(dynamic_cast<TStringList*>(ini.Sections.GetObject(0))->Count(), 2);
    EXPECT_EQ(ini.Str(u"", u"k"), u"v");
}

TEST(AcUtilsIni, ReadString) {
    IniFixture ini(u"[S]\r\nKey=first\r\nKey=second\r\nEmpty=\r\nEq=a=b\r\nSpaced = x\r\n");
    struct Case {
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected;
    } cases[] = {
        {u"S", u"Key", u"first"},        // the first line wins
        {u"S", u"Empty", u""},           // present but empty is not the default
        {u"S", u"Eq", u"a=b"},           // only the first '=' separates
        {u"S", u"Spaced", u"<none>"},    // the name part is "Spaced "
        {u"S", u"Missing", u"<none>"},
        {u"Nope", u"Key", u"<none>"},
    };
    for (const auto& c : cases) EXPECT_EQ(ini.Str(c.section, c.key), c.expected) << StringToUtf8(c.key);
}

TEST(AcUtilsIni, ReadInteger) {
    IniFixture ini(
        u"[N]\r\nDec=42\r\nNeg=-5\r\nHex=0x1F\r\nHexUp=0XfF\r\nBare=0x\r\nDollar=$10\r\nAll=0xFFFFFFFF\r\n"
        u"TooLong=0x123456789\r\nBadHex=0x1G\r\nText=abc\r\nBlank=\r\nBig=99999999999\r\n");
    struct Case {
        const char16_t* key;
        Integer expected;
    } cases[] = {
        {u"Dec", 42},  {u"Neg", -5},     {u"Hex", 31},      {u"HexUp", 255}, {u"Bare", -7},
        {u"Dollar", 16}, {u"All", -1},   {u"TooLong", -7},  {u"BadHex", -7}, {u"Text", -7},
        {u"Blank", -7}, {u"Big", -7},    {u"Missing", -7},
    };
    for (const auto& c : cases) EXPECT_EQ(ini.Int(u"N", c.key), c.expected) << StringToUtf8(c.key);
}

TEST(AcUtilsIni, ReparsingFreesTheOldSectionLists) {
    TStringList lines;
    lines.SetText(u"[A]\r\nx=1\r\n");
    {
        TStringList sections;   // the caller did not set OwnsObjects
        sections.AddObject(u"stale", new CountedList());
        sections.AddObject(u"stale2", new CountedList());
        ASSERT_EQ(CountedList::Alive, 2);
        ParseIniSections(lines, sections);
        EXPECT_EQ(CountedList::Alive, 0);
        EXPECT_EQ(sections.Count(), 1);
        EXPECT_TRUE(sections.OwnsObjects);
        ParseIniSections(lines, sections);   // again: no double free, no leak (ASan)
        EXPECT_EQ(IniReadInteger(lines, sections, u"A", u"x", 0), 1);
    }
}

TEST(AcUtilsRanges, ClampAndChoose) {
    EXPECT_EQ(LimitToByte(-5), 0);
    EXPECT_EQ(LimitToByte(300), 255);
    EXPECT_EQ(LimitToByte(0), 0);
    EXPECT_EQ(LimitToByte(255), 255);
    EXPECT_EQ(LimitToByte(128), 128);
    EXPECT_TRUE(IsBetween(5, 1, 9));
    EXPECT_TRUE(IsBetween(5, 9, 1));
    EXPECT_TRUE(IsBetween(9, 9, 1));
    EXPECT_FALSE(IsBetween(0, 9, 1));
    EXPECT_EQ(ChooseStr(false, u"a", u"b"), u"b");
    EXPECT_EQ(ChooseInt(true, 1, 2), 1);
    Integer a = 1, b = 2;
    SwapInt(a, b);
    EXPECT_EQ(a * 10 + b, 21);
    EXPECT_EQ(MaxOf(-3, -4), -3);
    EXPECT_EQ(MinOf(-3, -4), -4);
}

TEST(AcUtilsRects, OverlapContainAndSize) {
    const TRect p(0, 0, 10, 10);
    struct Case {
        TRect r;
        bool overlaps;
    } cases[] = {
        {{5, 5, 15, 15}, true},   {{10, 0, 20, 10}, false},  // touching the right edge
        {{0, 10, 10, 20}, false}, {{-10, 0, 0, 10}, false},  // touching bottom / left
        {{2, 2, 2, 8}, false},    {{2, 2, 8, 8}, true},      // empty R / inside
        {{-5, -5, 20, 20}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RectsOverlap(p, c.r), c.overlaps) << c.r.Left << "," << c.r.Top << "," << c.r.Right << "," << c.r.Bottom;

    EXPECT_TRUE(RectContains(p, TRect(0, 0, 10, 10)));    // the bottom-right corner may lie on the edge
    EXPECT_FALSE(RectContains(p, TRect(0, 0, 11, 10)));
    EXPECT_FALSE(RectContains(p, TRect(-1, 0, 5, 5)));

    const TRect inverted(10, 10, 4, 7);
    EXPECT_EQ(GetRectWidth(inverted), -6);
    EXPECT_EQ(GetRectHeight(inverted), -3);
    EXPECT_EQ(GetRectWidth(inverted, true), 0);
    EXPECT_EQ(GetRectHeight(inverted, true), 0);
    EXPECT_EQ(GetRectWidth(p, true), 10);
}

TEST(AcUtilsWords, CharInSetIgnoresCharactersAbove255) {
    const TSysCharSet set{' ', ',', 'L'};
    EXPECT_TRUE(CharInSetW(u' ', set));
    EXPECT_TRUE(CharInSetW(u'L', set));
    EXPECT_FALSE(CharInSetW(u'x', set));
    // Same low byte as a member, but not a member: 'Р' U+0420, 'Ь' U+042C, 'ь' U+044C, U+0120, U+FF2C.
    for (Char c : {u'\u0420', u'\u042C', u'\u044C', u'\u0120', u'\uFF2C'}) EXPECT_FALSE(CharInSetW(c, set)) << int(c);
    // Latin-1 characters are members by their own code.
    EXPECT_TRUE(CharInSetW(u'\u00E9', TSysCharSet::Of(u"\u00E9")));
}

TEST(AcUtilsWords, WideWordsOnCyrillicText) {
    const TSysCharSet delims{' ', ','};
    struct Case {
        const char16_t* text;
        Integer count;
        Integer pos2;   // position of the second word, 0 when none
    } cases[] = {
        // 'Р' (U+0420) shares its low byte with the blank, 'Ь' (U+042C) with the comma.
        {u"ПРИВЕТ МИР", 2, 8},
        {u"ЬЬЬ,ЬЬ", 2, 5},
        {u"  Съешь  ещё,, ", 2, 10},
        {u"", 0, 0},
        {u" , ", 0, 0},
        {u"РЬ", 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WordCountW(c.text, delims), c.count) << StringToUtf8(c.text);
        EXPECT_EQ(WordPosW(2, c.text, delims), c.pos2) << StringToUtf8(c.text);
    }
    EXPECT_EQ(WordPosW(1, u"  Съешь", delims), 3);
    EXPECT_EQ(WordPosW(0, u"a b", delims), 0);
    EXPECT_EQ(WordPosW(-1, u"a b", delims), 0);
}

TEST(AcUtilsWords, AnsiWords) {
    const TSysCharSet semi{';'};
    EXPECT_EQ(WordCountA(";;a;;b;", semi), 2);
    EXPECT_EQ(ExtractWordA(1, ";;a;;b;", semi), "a");
    EXPECT_EQ(ExtractWordA(2, ";;a;;b;", semi), "b");
    EXPECT_EQ(ExtractWordA(3, ";;a;;b;", semi), "");
    EXPECT_EQ(ExtractWordA(0, ";;a;;b;", semi), "");
    EXPECT_EQ(WordPosA(2, ";;a;;b;", semi), 6);
    EXPECT_EQ(WordPosA(3, ";;a;;b;", semi), 0);
    EXPECT_EQ(ExtractWordA(2, "one two\xE9three", TSysCharSet{' '}), "two\xE9three");   // high bytes are letters
    EXPECT_EQ(WordCountA("\xC0\xE0 \xC0", TSysCharSet::Of(u"\u00E0")), 2);                 // ...or delimiters
    EXPECT_EQ(WordCountA("abc", TSysCharSet{}), 1);
}

TEST(AcUtilsText, RemoveCharAndReplaceAll) {
    EXPECT_EQ(RemoveChar(u"a-b--c-", u'-'), u"abc");
    EXPECT_EQ(RemoveChar(u"ЖжЖ", u'Ж'), u"ж");
    struct Case {
        const char16_t *s, *old, *repl, *expected;
    } cases[] = {
        {u"a.b.c", u".", u"::", u"a::b::c"},
        {u"aaaa", u"aa", u"a", u"aa"},        // the replacement is not scanned again
        {u"abab", u"ab", u"abab", u"abababab"},
        {u"xyz", u"q", u"r", u"xyz"},
        {u"xyz", u"", u"r", u"xyz"},          // an empty search text changes nothing
        {u"", u"", u"", u""},
        {u"xyz", u"xyz", u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceAll(c.s, c.old, c.repl), c.expected) << StringToUtf8(c.s);
}

TEST(AcUtilsPaths, NormalizeDir) {
    struct Case {
        const char16_t *dir, *expected;
    } cases[] = {
        {u"", u""},
        {u"C", u"C:\\"},
        {u"z", u"z:\\"},
        {u".", u".\\"},                 // only a letter is a drive
        {u"1", u"1\\"},
        {u"\\", u"\\"},
        {u"/", u"\\"},
        {u"C:\\Skins/", u"C:\\Skins\\"},
        {u"C:\\Skins", u"C:\\Skins\\"},
        {u"C:\\Skins\\", u"C:\\Skins\\"},
        {u"Skins", u"Skins\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeDir(c.dir), c.expected) << StringToUtf8(c.dir);
}

TEST(AcUtils, MakeCacheInfoIsReadyWithoutFillColour) {
    TCacheInfo ci;
    EXPECT_FALSE(ci.Ready);
    EXPECT_EQ(ci.X, -99);
    auto* bmp = reinterpret_cast<TBitmap*>(&ci);   // only the pointer is kept
    MakeCacheInfo(bmp, 3, 4, ci);
    EXPECT_EQ(ci.Bmp, bmp);
    EXPECT_EQ(ci.X, 3);
    EXPECT_EQ(ci.Y, 4);
    EXPECT_EQ(ci.FillColor, 0xFF00FF);
    EXPECT_TRUE(ci.Ready);
}

TEST(AcUtilsColours, SaturateRGB) {
    struct Case {
        Integer amount;
        TColor color;
        TColor expected;
    };
    const Case cases[] = {
        {100, 0x6496C8, 0x3296FA},     // (100, 150, 200) -> (50, 150, 250)
        {0, 0x6496C8, 0x6496C8},
        {-100, 0x6496C8, 0x969696},    // pulled onto the grey average
        {-50, 0x6496C8, 0x7D96AF},     // half way: (125, 150, 175)
        {50, 0x0A64FA, 0x005AFF},      // (-45, 90, 315) limited to bytes
        {50, 0x060303, 0x070202},      // 2.5 rounds to even
        {50, 0x808080, 0x808080},      // grey has nothing to push
        {100, 0x126496C8, 0x123296FA}, // the top byte stays
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaturateRGB(c.amount, c.color), c.expected) << c.amount << " " << std::hex << c.color;
}

TEST(AcUtilsColours, RotateHueRGB) {
    struct Case {
        Integer degrees;
        Cardinal color;
        Cardinal expected;
    };
    const Case cases[] = {
        {120, 0xFF8000, 0x00FF80},     // (255, 128, 0) -> (0, 255, 128)
        {0, 0xFF8000, 0xFF8000},       // back from the fraction unchanged
        {120, 0xFF0000, 0x00FF00},
        {240, 0xFF0000, 0x0000FF},
        {-120, 0xFF0000, 0x0000FF},    // negative turns go the other way
        {360, 0xFF0000, 0xFF0000},
        {3600 + 120, 0xFF0000, 0x00FF00},
        {-2147483647 - 1, 0xFF0000, 0x0022FF},   // 232 degrees: (0, 34, 255)
        {60, 0xC86432, 0x96C832},      // (200, 100, 50): hue 20 -> 80 gives (150, 200, 50)
        {120, 0x00FF00, 0x0000FF},     // green sector
        {120, 0x0000FF, 0xFF0000},     // blue sector
        {90, 0x808080, 0x808080},      // grey stays
        {90, 0x000000, 0x000000},      // black stays
        {120, 0xAAFF0000, 0xAA00FF00}, // the top byte stays
    };
    for (const Case& c : cases)
        EXPECT_EQ(RotateHueRGB(c.degrees, c.color), c.expected) << c.degrees << " " << std::hex << c.color;
}

TEST(AcUtilsColours, ColourFormsSwapRedAndBlueAndKeepTheColourForZero) {
    EXPECT_EQ(RotateColorHue(120, 0x0080FF), 0x80FF00);   // TColor red in the low byte
    EXPECT_EQ(SaturateColor(0xC89664, 100), 0xFA9632);
    // Zero returns the value as it is, even a system colour.
    EXPECT_EQ(RotateColorHue(0, static_cast<TColor>(0x8000000F)), static_cast<TColor>(0x8000000F));
    EXPECT_EQ(SaturateColor(static_cast<TColor>(0x8000000F), 0), static_cast<TColor>(0x8000000F));
    // A grey colour is unchanged by any hue rotation.
    for (Integer d : {1, 45, 180, -300}) EXPECT_EQ(RotateColorHue(d, 0x404040), 0x404040) << d;
}
