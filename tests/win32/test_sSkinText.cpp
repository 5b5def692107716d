// Text of skinned things: cutting captions to a width, captions with contour
// colours, the blurred glow behind a caption and text laid into 32-bit
// bitmaps. Pixel checks look at where colours fall, never at glyph shapes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "FrameworkEnvironment.h"
#include "Forms.h"
#include "SysUtils.h"
#include "TestSkin.h"
#include "acPixels.h"
#include "acUtils.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sSkinText.h"

namespace fs = std::filesystem;

namespace {

struct FreeObject {
    void operator()(TObject* o) const {
        if (o) o->Free();
    }
};
using BitmapPtr = std::unique_ptr<TBitmap, FreeObject>;

constexpr std::uint32_t kRgb = 0x00FFFFFFu;

// A TColor (red in the low byte) as the blue, green, red bytes of a pixel word.
std::uint32_t PixelOf(TColor c) {
    const auto v = static_cast<std::uint32_t>(c);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// A 32-bit bitmap filled with one pixel word, with a crisp font so that text
// pixels have exactly the colour they are drawn in.
BitmapPtr MakeBitmap(int w, int h, std::uint32_t fill) {
    BitmapPtr bmp(CreateWorkBitmap(w, h));
    TacBits32 bits = Bits32Of(bmp.get());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bits.At(x, y) = fill;
    TFont* font = bmp->Canvas()->Font();
    font->SetQuality(fqNonAntialiased);
    font->SetHeight(-16);
    font->SetColor(0x00A05000);
    return bmp;
}

std::uint32_t At(TBitmap* bmp, int x, int y) {
    ::GdiFlush();
    return Bits32Of(bmp).At(x, y);
}

// The box DrawText gives Text at R's top-left in Bmp's font.
TRect TextBox(TBitmap* bmp, const String& text, const TRect& r) {
    TRect box = r;
    DrawTextRect(bmp->Canvas()->Handle(), text, box, DT_SINGLELINE | DT_CALCRECT);
    return box;
}

TRect Inflated(const TRect& r, int d) { return {r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

fs::path UniqueTemp(const char* prefix) {
    std::random_device r;
    return fs::temp_directory_path() / (std::string(prefix) + std::to_string(r()) + "-" + std::to_string(r()));
}

// ---------------------------------------------------------------------------
// Cutting text to a width

TEST(CutTextToWidth, KeepsCutsAndNeverSplitsASurrogatePair) {
    kestrune_test::EnsureFramework();
    BitmapPtr bmp = MakeBitmap(8, 8, 0);
    TCanvas* c = bmp->Canvas();
    auto width = [&](const String& s) { return CanvasTextWidth(c, s); };
    const String smile = u"\xD83D\xDE00";   // one code point as a surrogate pair
    ASSERT_LT(width(u"ab..."), width(u"ab" + smile + u"..."));
    ASSERT_LT(width(u"..."), width(u"H..."));

    struct Case {
        String text;
        Integer maxWidth;
        String expected;
    };
    const Case cases[] = {
        {u"Hello world", 0, u""},
        {u"Hello world", -5, u""},
        {u"Hello world", width(u"Hello world"), u"Hello world"},            // fits: no "..."
        {u"Hello world", width(u"Hel..."), u"Hel..."},
        {u"Hello world", width(u"..."), u""},                               // not even one character fits
        {u"ab" + smile + u"cd", width(u"ab" + smile + u"...") - 1, u"ab..."},   // the pair goes whole
        {u"ab" + smile + u"cd", width(u"ab" + smile + u"..."), u"ab" + smile + u"..."},
        {u"", 100, u""},
    };
    for (const Case& k : cases) {
        String result = u"previous";
        CutTextToWidth(c, k.text, k.maxWidth, result);
        EXPECT_EQ(result, k.expected) << "width " << k.maxWidth;
        EXPECT_LE(width(result), std::max<Integer>(k.maxWidth, 0));
    }
}

// ---------------------------------------------------------------------------
// Captions in a section's colours

constexpr TColor kLeft = 0x0000C0, kTop = 0x00C000, kRight = 0xC00000, kBottom = 0xC0C000, kGlow = 0x0000FF;
constexpr std::uint32_t kBack = 0x00303030u;

class SkinTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        ASSERT_EQ(DefaultManager, nullptr);
        root = UniqueTemp("kestrune-text-");
        skingen::WriteTestSkin(root / "Test");
        manager = New<TsSkinManager>(Application);
        manager->SetSkinDirectory(root.u16string());
        // BUTTON gets contour colours in both states and a glow; PANEL keeps none.
        TStringList common;
        common.Add(u"[BUTTON]");
        for (const char16_t* prefix : {u"", u"HOT"}) {
            common.Add(String(prefix) + u"TCLEFT=" + IntToStr(kLeft));
            common.Add(String(prefix) + u"TCTOP=" + IntToStr(kTop));
            common.Add(String(prefix) + u"TCRIGHT=" + IntToStr(kRight));
            common.Add(String(prefix) + u"TCBOTTOM=" + IntToStr(kBottom));
        }
        common.Add(u"GCOL=" + IntToStr(kGlow));
        common.Add(u"GSIZE=3");
        manager->SetCommonSections(common);
        manager->SetSkinName(u"Test");
        button = manager->GetSkinIndex(u"BUTTON");
        panel = manager->GetSkinIndex(u"PANEL");
        ASSERT_GE(button, 0);
        ASSERT_GE(panel, 0);
    }
    void TearDown() override {
        if (manager) manager->Free();
        std::error_code ec;
        fs::remove_all(root, ec);
        EXPECT_EQ(DefaultManager, nullptr);
    }
    const TsFontColor& Colours(Integer index, int state) const {
        return manager->gd()[static_cast<std::size_t>(index)].Props[static_cast<std::size_t>(state)].FontColor;
    }

    fs::path root;
    TsSkinManager* manager = nullptr;
    Integer button = -1, panel = -1;
};

// The two ways a caption in contour colours is drawn: through GDI on a canvas
// and laid into a 32-bit bitmap.
struct ContourDrawer {
    const char* name;
    std::function<void(TBitmap*, const String&, TsSkinManager*, bool hot, Integer index, const TRect&)> draw;
};

const ContourDrawer kContourDrawers[] = {
    {"DrawSectionText",
     [](TBitmap* bmp, const String& text, TsSkinManager* m, bool hot, Integer index, const TRect& r) {
         DrawSectionText(bmp->Canvas(), text, true, m, hot, index, DT_SINGLELINE, r);
     }},
    {"WriteTextWithContour",
     [](TBitmap* bmp, const String& text, TsSkinManager* m, bool hot, Integer index, const TRect& r) {
         WriteTextWithContour(bmp, text, true, m, hot, index, DT_SINGLELINE, r);
     }},
};

TEST_F(SkinTextTest, ContourColoursLieOnePixelOffTheTextOnTheirSide) {
    const String text = u"Wxy Hg";
    const TRect r(10, 8, 150, 40);
    for (const ContourDrawer& d : kContourDrawers) {
        for (int state : {0, 1}) {
            SCOPED_TRACE(std::string(d.name) + (state ? " hot" : " normal"));
            const TsFontColor& colours = Colours(button, state);
            ASSERT_EQ(colours.Left, kLeft);
            BitmapPtr bmp = MakeBitmap(170, 50, kBack);
            const TRect box = TextBox(bmp.get(), text, r);
            d.draw(bmp.get(), text, manager, state == 1, button, r);

            const std::uint32_t ink = PixelOf(colours.Color);
            const struct {
                TColor colour;
                int dx, dy;   // where the text lies from a pixel of this colour
            } sides[4] = {{kLeft, 1, 0}, {kTop, 0, 1}, {kRight, -1, 0}, {kBottom, 0, -1}};
            int inkCount = 0, seen[4] = {};
            for (int y = 0; y < bmp->Height(); ++y)
                for (int x = 0; x < bmp->Width(); ++x) {
                    const std::uint32_t p = At(bmp.get(), x, y) & kRgb;
                    if (p == ink) {
                        ++inkCount;
                        EXPECT_TRUE(box.Contains({x, y})) << x << "," << y;
                        continue;
                    }
                    bool contour = false;
                    for (int s = 0; s < 4; ++s) {
                        if (p != PixelOf(sides[s].colour)) continue;
                        contour = true;
                        ++seen[s];
                        EXPECT_EQ(At(bmp.get(), x + sides[s].dx, y + sides[s].dy) & kRgb, ink) << s << " at " << x << "," << y;
                    }
                    if (!contour) {
                        EXPECT_EQ(p, kBack & kRgb) << x << "," << y;
                    } else {
                        EXPECT_TRUE(Inflated(box, 1).Contains({x, y})) << x << "," << y;
                    }
                }
            EXPECT_GT(inkCount, 0);
            for (int s = 0; s < 4; ++s) EXPECT_GT(seen[s], 0) << "side " << s;
        }
    }
}

TEST_F(SkinTextTest, WithoutContourColoursOrContourTheTextIsDrawnOnce) {
    const String text = u"Panel text";
    const TRect r(4, 4, 120, 30);
    BitmapPtr once = MakeBitmap(130, 36, kBack);
    ASSERT_EQ(Colours(panel, 0).Left, -1);
    ASSERT_EQ(Colours(panel, 0).Bottom, -1);
    DrawTextOnBitmap32(once.get(), text, Colours(panel, 0).Color, DT_SINGLELINE, r, true);
    BitmapPtr onceButton = MakeBitmap(130, 36, kBack);
    DrawTextOnBitmap32(onceButton.get(), text, Colours(button, 0).Color, DT_SINGLELINE, r, true);
    BitmapPtr inFontColour = MakeBitmap(130, 36, kBack);
    DrawTextOnBitmap32(inFontColour.get(), text, inFontColour->Canvas()->Font()->Color(), DT_SINGLELINE, r, true);

    const struct {
        const char* name;
        std::function<void(TBitmap*)> draw;
        TBitmap* expected;
    } cases[] = {
        {"all contour colours -1", [&](TBitmap* b) { WriteTextWithContour(b, text, true, manager, false, panel, DT_SINGLELINE, r); },
         once.get()},
        {"contour off", [&](TBitmap* b) { WriteTextWithContour(b, text, false, manager, false, button, DT_SINGLELINE, r); },
         onceButton.get()},
        {"no manager", [&](TBitmap* b) { WriteTextWithContour(b, text, true, nullptr, false, button, DT_SINGLELINE, r); },
         inFontColour.get()},
        {"invalid section", [&](TBitmap* b) { WriteTextWithContour(b, text, true, manager, false, 9999, DT_SINGLELINE, r); },
         inFontColour.get()},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        BitmapPtr bmp = MakeBitmap(130, 36, kBack);
        k.draw(bmp.get());
        for (int y = 0; y < bmp->Height(); ++y)
            for (int x = 0; x < bmp->Width(); ++x)
                ASSERT_EQ(At(bmp.get(), x, y), At(k.expected, x, y)) << x << "," << y;
    }
}

TEST_F(SkinTextTest, SectionTextDrawsNothingWithoutASection) {
    BitmapPtr bmp = MakeBitmap(60, 20, kBack);
    DrawSectionText(bmp->Canvas(), u"Text", true, manager, false, -1, DT_SINGLELINE, TRect(0, 0, 60, 20));
    DrawSectionText(bmp->Canvas(), u"Text", true, manager, false, 9999, DT_SINGLELINE, TRect(0, 0, 60, 20));
    WriteTextWithContour(bmp.get(), u"Text", true, manager, false, button, DT_SINGLELINE, TRect(5, 5, 5, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(At(bmp.get(), x, y), kBack);
}

// ---------------------------------------------------------------------------
// Captions of controls

// Counts of the pixels of each RGB value of a bitmap.
std::map<std::uint32_t, int> Histogram(TBitmap* bmp) {
    std::map<std::uint32_t, int> h;
    for (int y = 0; y < bmp->Height(); ++y)
        for (int x = 0; x < bmp->Width(); ++x) ++h[At(bmp, x, y) & kRgb];
    return h;
}

TEST_F(SkinTextTest, CaptionsDrawContoursGlowOrTheDisabledLookInTheControlsTint) {
    const String text = u"Caption";
    const TRect r(20, 15, 140, 45);
    const int glowReach = 3 + 4;
    TacCaptionSkin skin;
    skin.Manager = manager;
    skin.Skinned = true;
    skin.SkinIndex = button;
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(button)];
    const TColor disabled = BlendColors(section.FontColor.Color, manager->GetGlobalColor(), 0.4);

    struct Case {
        const char* name;
        bool enabled, hot, withCache;
        Integer hue, saturation;
    };
    const Case cases[] = {
        {"enabled with glow", true, false, true, 0, 0},
        {"hot, turned hue, no cache", true, true, false, 120, 0},
        {"saturated", true, false, false, 0, 60},
        {"disabled", false, false, true, 0, 0},
        {"disabled, turned hue", false, true, true, 200, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        BitmapPtr bmp = MakeBitmap(160, 60, kBack);
        const TRect box = TextBox(bmp.get(), text, r);
        skin.CacheBmp = k.withCache ? bmp.get() : nullptr;
        skin.HueOffset = k.hue;
        skin.Saturation = k.saturation;
        auto tint = [&](TColor c) { return PixelOf(SaturateColor(RotateColorHue(k.hue, c), k.saturation)); };
        DrawCaption(bmp->Canvas(), text, k.enabled, k.hot, skin, DT_SINGLELINE, r);
        std::map<std::uint32_t, int> h = Histogram(bmp.get());

        if (!k.enabled) {
            // Drawn once, in one colour, without contour or glow.
            ASSERT_EQ(h.size(), 2u);
            EXPECT_GT(h[tint(disabled)], 0);
            BitmapPtr once = MakeBitmap(160, 60, kBack);
            HDC onceDC = once->Canvas()->Handle();
            ::SetBkMode(onceDC, TRANSPARENT);
            TacDCTextPass{onceDC, text, DT_SINGLELINE}(RotateColorHue(k.hue, disabled), r);
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 160; ++x) ASSERT_EQ(At(bmp.get(), x, y) & kRgb, At(once.get(), x, y) & kRgb);
            continue;
        }
        const TsFontColor& colours = Colours(button, k.hot ? 1 : 0);
        EXPECT_GT(h[tint(colours.Color)], 0);
        for (TColor c : {colours.Left, colours.Top, colours.Right, colours.Bottom}) EXPECT_GT(h[tint(c)], 0);
        int glow = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 160; ++x) {
                if ((At(bmp.get(), x, y) & kRgb) == (kBack & kRgb) || Inflated(box, 1).Contains({x, y})) continue;
                ++glow;
                EXPECT_TRUE(Inflated(r, glowReach).Contains({x, y})) << x << "," << y;
            }
        if (k.withCache)
            EXPECT_GT(glow, 0);
        else
            EXPECT_EQ(glow, 0);
    }
}

TEST_F(SkinTextTest, UnskinnedCaptionsUseTheFontOrTheEmbossedLookAndTheDCIsGivenBack) {
    const String text = u"Plain";
    const TRect r(10, 10, 100, 40);
    TacCaptionSkin unskinned;
    TacCaptionSkin customFont;
    customFont.Manager = manager;
    customFont.Skinned = true;
    customFont.CustomFont = true;
    customFont.SkinIndex = button;
    for (const TacCaptionSkin* skin : {&unskinned, &customFont}) {
        BitmapPtr bmp = MakeBitmap(120, 50, kBack);
        HDC dc = bmp->Canvas()->Handle();
        ::SetBkMode(dc, OPAQUE);
        DrawCaption(bmp->Canvas(), text, true, false, *skin, DT_SINGLELINE, r);
        std::map<std::uint32_t, int> h = Histogram(bmp.get());
        EXPECT_EQ(h.size(), 2u);
        EXPECT_GT(h[PixelOf(bmp->Canvas()->Font()->Color())], 0);
        // The DC comes back unclipped and in its background mode.
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(::GetClipRgn(dc, rgn), 0);
        ::DeleteObject(rgn);
        EXPECT_EQ(::GetBkMode(dc), OPAQUE);

        BitmapPtr off = MakeBitmap(120, 50, kBack);
        DrawCaption(off->Canvas(), text, false, false, *skin, DT_SINGLELINE, r);
        const std::uint32_t light = PixelOf(ColorToRGB(clBtnHighlight)), dark = PixelOf(ColorToRGB(clBtnShadow));
        ASSERT_NE(light, dark);
        int lights = 0, darks = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 120; ++x) {
                const std::uint32_t p = At(off.get(), x, y) & kRgb;
                darks += p == dark;
                if (p != light) continue;
                ++lights;
                // The light copy lies one pixel down and right of the dark one.
                EXPECT_EQ(At(off.get(), x - 1, y - 1) & kRgb, dark) << x << "," << y;
            }
        EXPECT_GT(lights, 0);
        EXPECT_GT(darks, 0);
    }
}

TEST_F(SkinTextTest, CaptionsStayInsideTheirRectangle) {
    TacCaptionSkin skin;
    skin.Manager = manager;
    skin.Skinned = true;
    skin.SkinIndex = button;
    BitmapPtr bmp = MakeBitmap(200, 40, kBack);
    const TRect r(30, 5, 60, 35);   // far narrower than the text
    DrawCaption(bmp->Canvas(), u"A caption much wider than its place", true, false, skin, DT_SINGLELINE, r);
    int inside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            if (At(bmp.get(), x, y) == kBack) continue;
            ASSERT_TRUE(r.Contains({x, y})) << x << "," << y;
            ++inside;
        }
    EXPECT_GT(inside, 0);
}

// ---------------------------------------------------------------------------
// Glow

TEST(DrawBlurredText, GlowsAroundTheTextWithinTheRadiusAndKeepsItsMap) {
    kestrune_test::EnsureFramework();
    const int radius = 3, margin = radius + 4;
    const TRect r(40, 25, 120, 50);
    BitmapPtr bmp = MakeBitmap(170, 80, kBack);
    const TRect box = TextBox(bmp.get(), u"Glow", r);
    TBitmap* cache = nullptr;
    DrawBlurredText(bmp.get(), u"Glow", r, cache, kGlow, radius, acContourAll, DT_SINGLELINE);
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->PixelFormat(), pf8bit);
    EXPECT_EQ(cache->Width(), r.Width() + 2 * margin);
    EXPECT_EQ(cache->Height(), r.Height() + 2 * margin);

    const TRect area = Inflated(r, margin);
    bool leftOfText = false, aboveText = false, anyGlow = false;
    for (int y = 0; y < bmp->Height(); ++y)
        for (int x = 0; x < bmp->Width(); ++x) {
            const std::uint32_t p = At(bmp.get(), x, y);
            if (p == kBack) continue;
            anyGlow = true;
            ASSERT_TRUE(area.Contains({x, y})) << x << "," << y;
            // Towards the red glow, more opaque.
            EXPECT_GT((p >> 16) & 0xFF, 0x30u);
            EXPECT_GT(p >> 24, 0u);
            leftOfText |= x < box.Left;
            aboveText |= y < box.Top;
        }
    EXPECT_TRUE(anyGlow);
    EXPECT_TRUE(leftOfText);
    EXPECT_TRUE(aboveText);

    // The same size again: the map is used as it is, even for another text.
    auto mapBytes = [](TBitmap* m) {
        ::GdiFlush();
        std::vector<Byte> v;
        for (int y = 0; y < m->Height(); ++y) {
            const auto* row = static_cast<const Byte*>(m->ScanLine(y));
            v.insert(v.end(), row, row + m->Width());
        }
        return v;
    };
    const std::vector<Byte> before = mapBytes(cache);
    TBitmap* const kept = cache;
    DrawBlurredText(bmp.get(), u"Other", TRect(0, 0, r.Width(), r.Height()), cache, kGlow, radius, 0, DT_SINGLELINE);
    EXPECT_EQ(cache, kept);
    EXPECT_EQ(mapBytes(cache), before);
    // Another size: made again.
    DrawBlurredText(bmp.get(), u"Other", TRect(0, 0, 30, 20), cache, kGlow, radius, 0, DT_SINGLELINE);
    EXPECT_EQ(cache->Width(), 30 + 2 * margin);
    EXPECT_NE(mapBytes(cache).size(), before.size());
    cache->Free();
}

TEST(DrawBlurredText, TheCoverageMapIsGreyBlackTextZeroPaperWhite) {
    kestrune_test::EnsureFramework();
    BitmapPtr bmp = MakeBitmap(100, 40, kBack);
    TBitmap* cache = nullptr;
    // Radius 0 leaves the map as the text was drawn.
    DrawBlurredText(bmp.get(), u"Ink", TRect(10, 5, 90, 35), cache, kGlow, 0, 0, DT_SINGLELINE);
    ASSERT_NE(cache, nullptr);
    const std::vector<RGBQUAD> palette = cache->ColorTable();
    ASSERT_EQ(palette.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(palette[i].rgbRed, i);
        EXPECT_EQ(palette[i].rgbGreen, i);
        EXPECT_EQ(palette[i].rgbBlue, i);
    }
    ::GdiFlush();
    int ink = 0;
    for (int y = 0; y < cache->Height(); ++y) {
        const auto* row = static_cast<const Byte*>(cache->ScanLine(y));
        for (int x = 0; x < cache->Width(); ++x) {
            ASSERT_TRUE(row[x] == 0 || row[x] == 255) << int(row[x]);
            ink += row[x] == 0;
        }
    }
    EXPECT_GT(ink, 0);
    // Full ink lays the glow colour itself.
    bool glowColour = false;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) glowColour |= At(bmp.get(), x, y) == (0xFF000000u | PixelOf(kGlow));
    EXPECT_TRUE(glowColour);
    cache->Free();
}

// ---------------------------------------------------------------------------
// Text on 32-bit bitmaps

TEST(DrawTextOnBitmap32, OpaqueOnlyWhereTextIsAndClippedInPlace) {
    kestrune_test::EnsureFramework();
    const std::uint32_t back = 0x00112233u;
    const TColor colour = 0x00336699;
    // R reaches 20 pixels beyond the left edge of the small bitmap; the wide
    // bitmap holds the whole of R 40 pixels further right.
    BitmapPtr small = MakeBitmap(100, 40, back);
    BitmapPtr wide = MakeBitmap(160, 40, back);
    DrawTextOnBitmap32(small.get(), u"Wide text here", colour, DT_SINGLELINE | DT_CENTER, TRect(-20, 5, 110, 35), true);
    DrawTextOnBitmap32(wide.get(), u"Wide text here", colour, DT_SINGLELINE | DT_CENTER, TRect(20, 5, 150, 35), true);
    int opaque = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) {
            const std::uint32_t p = At(small.get(), x, y);
            ASSERT_EQ(p, At(wide.get(), x + 40, y)) << x << "," << y;
            if (p == back) continue;
            ASSERT_EQ(p, 0xFF000000u | PixelOf(colour)) << x << "," << y;   // crisp font: full coverage
            ASSERT_TRUE(y >= 5 && y < 35) << y;
            ++opaque;
        }
    EXPECT_GT(opaque, 0);
    // The ANSI path draws plain ASCII text the same.
    BitmapPtr ansi = MakeBitmap(100, 40, back);
    DrawTextOnBitmap32(ansi.get(), u"Wide text here", colour, DT_SINGLELINE | DT_CENTER, TRect(-20, 5, 110, 35), true,
                       acTextAnsi);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(At(ansi.get(), x, y), At(small.get(), x, y)) << x << "," << y;
    // Nothing for an R outside the bitmap.
    DrawTextOnBitmap32(small.get(), u"x", colour, DT_SINGLELINE, TRect(100, 0, 130, 40), true);
    for (int y = 0; y < 40; ++y) EXPECT_EQ(At(small.get(), 99, y), At(wide.get(), 139, y));
}

}  // namespace
