// Fonts, canvases, bitmaps, the picture registry and the JPEG, PNG and GIF
// classes, on memory DCs (no screen needed). Image fixtures are built here
// byte by byte.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"
#include "GuiHarness.h"
#include "Imaging.h"
#include "TempFolder.h"
#include "TestBytes.h"
#include "TestImages.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::string;

using harness::Put16;
using harness::Put32;
using harness::Put32BE;

std::uint32_t Adler32(const Bytes& data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char ch : data) {
        a = (a + ch) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

struct Rgba {
    Byte R, G, B, A;
};

// An 8-bit RGBA PNG whose image data sits in one stored deflate block.
Bytes MakePng(int width, int height, const std::vector<Rgba>& pixels) {
    Bytes raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';   // filter: none
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[static_cast<std::size_t>(y * width + x)];
            raw += {static_cast<char>(p.R), static_cast<char>(p.G), static_cast<char>(p.B), static_cast<char>(p.A)};
        }
    }
    Bytes z("\x78\x01\x01", 3);
    Put16(z, static_cast<unsigned>(raw.size()));
    Put16(z, ~static_cast<unsigned>(raw.size()) & 0xFFFF);
    z += raw;
    Put32BE(z, Adler32(raw));

    Bytes png("\x89PNG\r\n\x1A\n", 8);
    auto chunk = [&](const char* type, const Bytes& data) { harness::PutPngChunk(png, type, data); };
    Bytes ihdr;
    Put32BE(ihdr, static_cast<std::uint32_t>(width));
    Put32BE(ihdr, static_cast<std::uint32_t>(height));
    ihdr += Bytes("\x08\x06\x00\x00\x00", 5);   // 8 bits, RGBA, deflate, no filter set, no interlace
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", Bytes());
    return png;
}

using harness::GifFrame;
using harness::MakeGif;

constexpr std::array<std::array<Byte, 3>, 4> kPalette = {{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
enum : Byte { kBlack, kRed, kGreen, kBlue };

Bytes MakeJpeg(int width, int height, Byte r, Byte g, Byte b) {
    std::vector<Byte> rgb;
    for (int i = 0; i < width * height; ++i) rgb.insert(rgb.end(), {r, g, b});
    Bytes out;
    stbi_write_jpg_to_func([](void* context, void* data, int size) {
        static_cast<Bytes*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }, &out, width, height, 3, rgb.data(), 95);
    return out;
}

std::unique_ptr<TMemoryStream> StreamOf(const Bytes& bytes) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    s->SetPosition(0);
    return s;
}

template <class T>
std::unique_ptr<T> Load(const Bytes& bytes) {
    auto graphic = std::make_unique<T>();
    graphic->LoadFromStream(*StreamOf(bytes));
    return graphic;
}

Bytes Saved(TGraphic& graphic) {
    TMemoryStream s;
    graphic.SaveToStream(s);
    return Bytes(reinterpret_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.GetSize()));
}

// 0xAARRGGBB of a 32-bit bitmap's pixel.
std::uint32_t Bgra(TBitmap& bitmap, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, static_cast<const Byte*>(bitmap.ScanLine(y)) + x * 4, 4);
    return v;
}

int Channel(TColor c, int shift) { return (c >> shift) & 0xFF; }

unsigned GdiUsage() { return harness::GdiObjectUsage(); }

struct Counter {
    int Calls = 0;
    std::vector<int> Frames;
    void Hit(TObject*) { ++Calls; }
    void Frame(TObject* sender) {
        ++Calls;
        Frames.push_back(static_cast<TGIFImage*>(sender)->FrameIndex());
    }
};

// A folder under %TEMP% that is removed with its files; Write gives the
// file's path.
struct TempFolder : harness::TempFolder {
    TempFolder() : harness::TempFolder("kes_gfx_") {}
    String Write(const String& name, const Bytes& bytes) {
        const String path = harness::TempFolder::Write(std::filesystem::path(name), bytes).u16string();
        EXPECT_TRUE(Written()) << StringToUtf8(path);
        return path;
    }
};

const Bytes& AlphaPng() {
    static const Bytes png = MakePng(2, 2, {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 0}, {255, 255, 255, 255}});
    return png;
}

// Two frames of 2 x 1: red and a transparent pixel for 0.25 s, then green and
// blue with no delay given.
const Bytes& TwoFrameGif() {
    static const Bytes gif =
        MakeGif(2, 1, kPalette, {{{kRed, kBlue}, 25, kBlue, 1}, {{kGreen, kBlue}, 0, -1, 1}});
    return gif;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fonts

class Font : public ::testing::Test {
protected:
    void SetUp() override { FSaved = DefFontData; }
    void TearDown() override { DefFontData = FSaved; }
    TFontData FSaved{};
};

TEST_F(Font, NewFontsStartFromTheDefaultRecordAndOwnNamesWin) {
    TFont before;
    EXPECT_EQ(before.Name(), u"MS Sans Serif");
    EXPECT_EQ(before.Height(), -11);
    EXPECT_EQ(before.Charset(), DEFAULT_CHARSET);

    DefFontData.Name = u"Arial Unicode";
    DefFontData.Height = -13;
    DefFontData.Charset = RUSSIAN_CHARSET;
    TFont after;
    EXPECT_EQ(after.Name(), u"Arial Unicode");
    EXPECT_EQ(after.Height(), -13);
    EXPECT_EQ(after.Charset(), RUSSIAN_CHARSET);
    EXPECT_EQ(before.Name(), u"MS Sans Serif");   // made earlier: not affected

    TFont own;
    own.SetName(u"Tahoma");
    DefFontData.Name = u"Courier New";
    EXPECT_EQ(own.Name(), u"Tahoma");
    EXPECT_EQ(String(FromW(own.LogFont().lfFaceName)), u"Tahoma");
    own.SetName(u"Default");   // stands for the default record's face
    EXPECT_EQ(String(FromW(own.LogFont().lfFaceName)), u"Courier New");

    DefFontData.Name = u"A face name that is longer than thirty-one characters";
    EXPECT_EQ(DefFontData.Name.View().size(), 31u);
}

TEST_F(Font, HandleIsMadeAgainAfterAChangeAndTheOldOneDeleted) {
    TFont font;
    Counter changes;
    font.OnChange = TNotifyEvent::Of<&Counter::Hit>(&changes);
    HFONT first = font.Handle();
    LOGFONTW lf{};
    ASSERT_EQ(::GetObjectW(first, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -11);

    font.SetHeight(-20);
    font.SetStyle({fsBold, fsItalic});
    EXPECT_EQ(changes.Calls, 2);
    EXPECT_EQ(::GetObjectType(first), 0u);
    HFONT second = font.Handle();
    ASSERT_EQ(::GetObjectW(second, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfItalic);

    // Colour is not part of the handle; setting a value it has is no change.
    font.SetColor(clRed);
    font.SetHeight(-20);
    font.SetName(u"");
    EXPECT_EQ(changes.Calls, 3);
    EXPECT_EQ(font.Handle(), second);

    TFont copy;
    copy.Assign(&font);
    EXPECT_EQ(copy.Height(), -20);
    EXPECT_EQ(copy.Color(), clRed);
    EXPECT_EQ(copy.Style(), (TFontStyles{fsBold, fsItalic}));
}

TEST_F(Font, SizeAndHeightConvertAtThePixelDensity) {
    struct Case {
        Integer Size, Height;
    } cases[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {24, -32}};
    for (const Case& c : cases) {
        TFont font;
        font.SetPixelsPerInch(96);
        font.SetSize(c.Size);
        EXPECT_EQ(font.Height(), c.Height) << c.Size;
        EXPECT_EQ(font.Size(), c.Size) << c.Size;
    }
}

TEST_F(Font, SetHandleTakesTheDescriptionAndTheHandle) {
    LOGFONTW lf{};
    lf.lfHeight = -17;
    lf.lfWeight = FW_BOLD;
    lf.lfUnderline = TRUE;
    lf.lfCharSet = RUSSIAN_CHARSET;
    std::wcscpy(lf.lfFaceName, L"Tahoma");
    HFONT handle = ::CreateFontIndirectW(&lf);
    {
        TFont font;
        font.SetHandle(handle);
        EXPECT_EQ(font.Handle(), handle);
        EXPECT_EQ(font.Name(), u"Tahoma");
        EXPECT_EQ(font.Height(), -17);
        EXPECT_EQ(font.Style(), (TFontStyles{fsBold, fsUnderline}));
        EXPECT_EQ(font.Charset(), RUSSIAN_CHARSET);
    }
    EXPECT_EQ(::GetObjectType(handle), 0u);
}

// ---------------------------------------------------------------------------
// Canvas

TEST(Canvas, SelectsItsObjectsWhileAttachedAndGivesTheOriginalsBack) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bmp = ::CreateBitmap(20, 20, 1, 32, nullptr);
    HGDIOBJ oldBitmap = ::SelectObject(dc, bmp);
    const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT), pen = ::GetCurrentObject(dc, OBJ_PEN),
                  brush = ::GetCurrentObject(dc, OBJ_BRUSH);
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.Brush()->SetColor(clBlue);
        canvas.FillRect(Rect(0, 0, 20, 20));
        canvas.Rectangle(2, 2, 8, 8);
        canvas.TextOut(0, 0, u"x");
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush()->Handle());

        // A changed font is selected again (its old handle is gone) on the next call.
        canvas.Font()->SetHeight(-10);
        const int small = canvas.TextHeight(u"Xg");
        canvas.Font()->SetHeight(-40);
        const int large = canvas.TextHeight(u"Xg");
        EXPECT_LE(small, 16);
        EXPECT_GE(large, 36);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());

        canvas.SetHandle(nullptr);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_PEN), pen);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), brush);
        EXPECT_THROW(canvas.FillRect(Rect(0, 0, 1, 1)), EInvalidGraphicOperation);
    }
    EXPECT_EQ(::GetPixel(dc, 10, 10), RGB(0, 0, 255));
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
}

TEST(Canvas, CopiesRectanglesAndFillsTextBackgrounds) {
    TBitmap source(2, 2, pf24bit);
    source.Canvas()->SetPixels(0, 0, clRed);
    source.Canvas()->SetPixels(1, 1, clBlue);
    TBitmap dest(6, 6, pf24bit);
    dest.Canvas()->CopyRect(Rect(0, 0, 2, 2), source.Canvas(), Rect(0, 0, 2, 2));
    EXPECT_EQ(dest.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(dest.Canvas()->Pixels(1, 1), clBlue);
    dest.Canvas()->CopyRect(Rect(2, 2, 6, 6), source.Canvas(), Rect(0, 0, 2, 2));   // stretched
    EXPECT_EQ(dest.Canvas()->Pixels(3, 3), clRed);
    EXPECT_EQ(dest.Canvas()->Pixels(4, 4), clBlue);
    EXPECT_EQ(dest.Canvas()->Pixels(5, 2), clBlack);

    // The text's rectangle is filled unless the brush is clear.
    dest.Canvas()->Brush()->SetColor(clLime);
    dest.Canvas()->TextRect(Rect(0, 0, 3, 3), 0, 0, u"");
    EXPECT_EQ(dest.Canvas()->Pixels(2, 2), clLime);
    EXPECT_EQ(dest.Canvas()->Pixels(3, 3), clRed);
    dest.Canvas()->Brush()->SetStyle(bsClear);
    dest.Canvas()->TextRect(Rect(0, 0, 6, 6), 0, 0, u"");
    EXPECT_EQ(dest.Canvas()->Pixels(3, 3), clRed);
}

// ---------------------------------------------------------------------------
// Bitmaps

TEST(Bitmap, StartsEmptyWithoutAHandle) {
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.Handle(), nullptr);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);

    b.SetWidth(5);   // one side only: still no image
    EXPECT_TRUE(b.Empty());
    b.SetHeight(-3);
    EXPECT_EQ(b.Height(), 0);
    b.SetHeight(2);
    EXPECT_FALSE(b.Empty());
    EXPECT_NE(b.Handle(), nullptr);

    b.SetPixelFormat(pfDevice);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphicOperation);
}

TEST(Bitmap, RowsAreBottomUpAndPaddedToFourBytes) {
    struct Case {
        TPixelFormat Format;
        Integer Width;
        Integer RowBytes;
    } cases[] = {{pf32bit, 3, 12}, {pf24bit, 3, 12}, {pf24bit, 5, 16}, {pf16bit, 3, 8},
                 {pf8bit, 3, 4},   {pf4bit, 9, 8},   {pf1bit, 33, 8}};
    for (const Case& c : cases) {
        TBitmap b(c.Width, 3, c.Format);
        EXPECT_EQ(b.RowBytes(), c.RowBytes) << c.Format << " " << c.Width;
        EXPECT_EQ(static_cast<const Byte*>(b.ScanLine(0)) - static_cast<const Byte*>(b.ScanLine(1)), c.RowBytes);
        EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
        EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    }
}

TEST(Bitmap, ScanLineWritesShowThroughTheCanvasAndBack) {
    for (TPixelFormat format : {pf32bit, pf24bit}) {
        TBitmap b(4, 3, format);
        const int bpp = format == pf32bit ? 4 : 3;
        Byte* top = static_cast<Byte*>(b.ScanLine(0));
        top[1 * bpp + 2] = 0xFF;   // (1, 0) red
        Byte* bottom = static_cast<Byte*>(b.ScanLine(2));
        bottom[3 * bpp + 0] = 0xFF;   // (3, 2) blue
        EXPECT_EQ(b.Canvas()->Pixels(1, 0), clRed) << format;
        EXPECT_EQ(b.Canvas()->Pixels(3, 2), clBlue) << format;
        EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack) << format;

        // And GDI drawing shows in the scan lines.
        Counter changes;
        b.OnChange = TNotifyEvent::Of<&Counter::Hit>(&changes);
        b.Canvas()->Brush()->SetColor(clLime);
        b.Canvas()->FillRect(Rect(0, 1, 4, 2));
        EXPECT_GE(changes.Calls, 1);
        const Byte* middle = static_cast<const Byte*>(b.ScanLine(1));
        EXPECT_EQ(middle[2 * bpp + 0], 0);
        EXPECT_EQ(middle[2 * bpp + 1], 0xFF);
        EXPECT_EQ(middle[2 * bpp + 2], 0);
    }
}

TEST(Bitmap, ResizingKeepsTheTopLeftAndConversionKeepsColours) {
    TBitmap b(3, 3);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, 3, 3));
    b.Canvas()->SetPixels(0, 0, clBlue);
    HDC dc = b.Canvas()->Handle();

    b.SetSize(5, 4);
    EXPECT_EQ(b.Canvas()->Handle(), dc);   // the canvas keeps its DC
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(2, 2), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(4, 3), clBlack);
    EXPECT_EQ(b.Canvas()->Pixels(3, 0), clBlack);

    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);
    b.SetPixelFormat(pf32bit);
    EXPECT_EQ(Bgra(b, 1, 1), 0x00FF0000u);   // pixels that gain an alpha byte get 0
    b.SetPixelFormat(pf8bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);

    b.SetSize(0, 0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
}

TEST(Bitmap, AdoptsAndReleasesHandles) {
    // 0x00RRGGBB, top row first.
    const std::uint32_t pixels[6] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0x00FFFFFF, 0x00FF0000};
    HBITMAP ddb = ::CreateBitmap(3, 2, 1, 32, pixels);
    TBitmap b;
    b.SetHandle(ddb);   // not a DIB section: copied, then deleted
    EXPECT_EQ(::GetObjectType(ddb), 0u);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(2, 0), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clWhite);

    HBITMAP dib = b.ReleaseHandle();
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    TBitmap other;
    other.SetHandle(dib);   // a bottom-up 32-bit DIB section is kept as it is
    EXPECT_EQ(other.Handle(), dib);
    EXPECT_EQ(other.Canvas()->Pixels(1, 0), clLime);
}

TEST(Bitmap, AssignCopiesPixelsAndSettings) {
    TBitmap a(3, 2, pf24bit);
    a.Canvas()->SetPixels(2, 1, clFuchsia);
    a.SetTransparentColor(clFuchsia);
    a.SetTransparent(true);
    TBitmap b;
    b.Assign(&a);
    a.Canvas()->SetPixels(2, 1, clBlack);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clFuchsia);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clFuchsia);
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, TransparentDrawingLeavesOutTheTransparentColour) {
    TBitmap sprite(2, 2, pf24bit);
    sprite.Canvas()->Brush()->SetColor(clFuchsia);
    sprite.Canvas()->FillRect(Rect(0, 0, 2, 2));
    sprite.Canvas()->SetPixels(1, 0, clRed);
    sprite.SetTransparent(true);
    EXPECT_EQ(sprite.TransparentMode(), tmAuto);
    EXPECT_EQ(sprite.TransparentColor(), clFuchsia);   // the bottom-left pixel

    TBitmap dest(4, 4, pf24bit);
    dest.Canvas()->Brush()->SetColor(clWhite);
    dest.Canvas()->FillRect(Rect(0, 0, 4, 4));
    dest.Canvas()->Draw(1, 1, &sprite);
    EXPECT_EQ(dest.Canvas()->Pixels(1, 1), clWhite);
    EXPECT_EQ(dest.Canvas()->Pixels(2, 1), clRed);
    EXPECT_EQ(dest.Canvas()->Pixels(2, 2), clWhite);

    sprite.SetTransparent(false);
    dest.Canvas()->Draw(1, 1, &sprite);
    EXPECT_EQ(dest.Canvas()->Pixels(1, 1), clFuchsia);
}

// ---------------------------------------------------------------------------
// BMP files

TEST(BmpFile, EveryPixelFormatSurvivesARoundTrip) {
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(format);
        const std::vector<TColor> colours = format == pf1bit ? std::vector<TColor>{clBlack, clWhite}
                                                             : std::vector<TColor>{clBlack, clWhite, clRed, clLime, clBlue};
        TBitmap b(5, 3, format);   // five pixels: rows need padding in most formats
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) b.Canvas()->SetPixels(x, y, colours[(x + 2 * y) % colours.size()]);
        if (format == pf32bit) static_cast<Byte*>(b.ScanLine(1))[3] = 0x80;

        const Bytes file = Saved(b);
        TBitmap loaded;
        loaded.LoadFromStream(*StreamOf(file));
        ASSERT_EQ(loaded.Width(), 5);
        ASSERT_EQ(loaded.Height(), 3);
        EXPECT_EQ(loaded.PixelFormat(), format);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(loaded.Canvas()->Pixels(x, y), colours[(x + 2 * y) % colours.size()]) << x << "," << y;
            }
        if (format == pf32bit) {
            EXPECT_EQ(static_cast<const Byte*>(loaded.ScanLine(1))[3], 0x80);
        }
        EXPECT_EQ(Saved(loaded), file);
    }
}

namespace {
// A BMP file header and BITMAPINFOHEADER without the pixels.
Bytes BmpHeader(std::int32_t width, std::int32_t height, unsigned bits, std::uint32_t compression = BI_RGB,
                std::uint32_t colorsUsed = 0, std::uint32_t extra = 0) {
    Bytes b = "BM";
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 14 + 40 + extra);
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(width));
    Put32(b, static_cast<std::uint32_t>(height));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, compression);
    for (int i = 0; i < 3; ++i) Put32(b, 0);
    Put32(b, colorsUsed);
    Put32(b, 0);
    return b;
}
}  // namespace

TEST(BmpFile, ReadsTopDownRowsAndColourMasks) {
    Bytes topDown = BmpHeader(2, -2, 24);
    topDown += Bytes("\x00\x00\xFF\x00\x00\xFF\x00\x00", 8);   // top row red, padded
    topDown += Bytes("\xFF\x00\x00\xFF\x00\x00\x00\x00", 8);   // bottom row blue
    TBitmap a;
    a.LoadFromStream(*StreamOf(topDown));
    EXPECT_EQ(a.Canvas()->Pixels(1, 0), clRed);
    EXPECT_EQ(a.Canvas()->Pixels(0, 1), clBlue);

    // Red in the lowest byte instead of the third.
    Bytes masked = BmpHeader(1, 1, 32, BI_BITFIELDS, 0, 12);
    Put32(masked, 0x000000FF);
    Put32(masked, 0x0000FF00);
    Put32(masked, 0x00FF0000);
    Put32(masked, 0x000000FF);
    TBitmap b;
    b.LoadFromStream(*StreamOf(masked));
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
}

TEST(BmpFile, BadFilesRaiseAndLeaveTheBitmapAsItWas) {
    Bytes wideHeader = BmpHeader(1, 1, 24);
    wideHeader[14] = 20;   // header size 20
    Bytes rle = BmpHeader(1, 1, 8, BI_RLE8) + Bytes(1024 + 4, '\0');
    const struct Case {
        const char* Name;
        Bytes Data;
        const char16_t* Reason;
    } cases[] = {
        {"short", Bytes("BM\0\0", 4), u"the file is truncated"},
        {"signature", "XY" + BmpHeader(1, 1, 24).substr(2) + Bytes(4, '\0'), u"no BMP signature"},
        {"header size", wideHeader + Bytes(4, '\0'), u"unsupported header"},
        {"bit count", BmpHeader(1, 1, 7) + Bytes(4, '\0'), u"unsupported bit count"},
        {"compressed", rle, u"compressed bitmaps are not supported"},
        {"colours", BmpHeader(1, 1, 8, BI_RGB, 1000) + Bytes(4096, '\0'), u"too many colours"},
        {"pixels", BmpHeader(100, 100, 24) + Bytes(200, '\0'), u"the file is truncated"},
        {"negative width", BmpHeader(-4, 1, 24) + Bytes(16, '\0'), u"bad size"},
    };
    for (const Case& c : cases) {
        TBitmap b(3, 3);
        b.Canvas()->SetPixels(0, 0, clRed);
        try {
            b.LoadFromStream(*StreamOf(c.Data));
            ADD_FAILURE() << c.Name << ": no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), String(u"Bitmap image is not valid: ") + c.Reason) << c.Name;
        }
        EXPECT_EQ(b.Width(), 3) << c.Name;
        EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed) << c.Name;
    }
}

// ---------------------------------------------------------------------------
// The picture and its registry

namespace {
class TMarkedBitmap : public TBitmap {
public:
    KES_CLASS_NAME(TMarkedBitmap)
    TGraphic* CreateNew() const override { return New<TMarkedBitmap>(); }
    void LoadFromStream(TStream&) override { SetSize(1, 1); }
};

struct ProgressLog {
    TPicture* Picture = nullptr;
    std::vector<TProgressStage> Stages;
    std::vector<int> Percents;
    String LastMessage;
    Integer WidthAtEnd = -1;
    void On(TObject*, TProgressStage stage, Byte percent, bool, const TRect&, const String& msg) {
        Stages.push_back(stage);
        Percents.push_back(percent);
        LastMessage = msg;
        if (stage == psEnding) WidthAtEnd = Picture->Width();
    }
};
}  // namespace

class Picture : public ::testing::Test {
protected:
    void SetUp() override { RegisterImageFormats(); }
    void TearDown() override {
        TPicture::UnregisterGraphicClass(GraphicFactory<TMarkedBitmap>);
        UnregisterImageFormats();
    }
    TempFolder FFolder;
};

TEST_F(Picture, ChoosesTheClassByExtensionWithoutRegardToCase) {
    TBitmap bmp(3, 2);
    const struct Case {
        const char16_t* File;
        Bytes Data;
        const char16_t* Class;
    } cases[] = {
        {u"a.BMP", Saved(bmp), u"TBitmap"},         {u"b.Png", AlphaPng(), u"TPNGObject"},
        {u"c.gif", TwoFrameGif(), u"TGIFImage"},    {u"d.JPG", MakeJpeg(8, 8, 1, 2, 3), u"TJPEGImage"},
        {u"e.jpeg", MakeJpeg(8, 8, 1, 2, 3), u"TJPEGImage"},
    };
    for (const Case& c : cases) {
        TPicture picture;
        picture.LoadFromFile(FFolder.Write(c.File, c.Data));
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_EQ(picture.Graphic()->ClassName(), c.Class) << StringToUtf8(c.File);
    }
    EXPECT_EQ(TPicture::FindFileFormat(u".PNG"), GraphicFactory<TPNGObject>);
    EXPECT_EQ(TPicture::FindFileFormat(u"tiff"), nullptr);
    const String filter = TPicture::GraphicFilter();
    EXPECT_EQ(filter.rfind(u"All (*.bmp;*.jpg;*.jpeg;*.png;*.gif)|", 0), 0u) << StringToUtf8(filter);
    EXPECT_NE(filter.find(u"|Portable Network Graphics (*.png)|*.png"), String::npos);
}

TEST_F(Picture, UnknownExtensionsAndBadFilesKeepTheOldGraphic) {
    TPicture picture;
    picture.LoadFromFile(FFolder.Write(u"good.png", AlphaPng()));
    TGraphic* old = picture.Graphic();
    const struct Case {
        const char16_t* File;
        const char16_t* Message;
    } cases[] = {
        {u"pic.xyz", u"Unknown picture file extension (.xyz)"},
        {u"noext", u"Unknown picture file extension (.)"},
        {u"bad.png", u"Invalid PNG image: not a PNG file"},
    };
    for (const Case& c : cases) {
        try {
            picture.LoadFromFile(FFolder.Write(c.File, "not a picture"));
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(picture.Graphic(), old);
        EXPECT_EQ(picture.Width(), 2);
    }
}

TEST_F(Picture, TheLatestRegistrationOfAnExtensionWins) {
    const String file = FFolder.Write(u"x.png", AlphaPng());
    TPicture::RegisterFileFormat(u"png", u"Marked", GraphicFactory<TMarkedBitmap>);
    TPicture picture;
    picture.LoadFromFile(file);
    EXPECT_EQ(picture.Graphic()->ClassName(), u"TMarkedBitmap");

    TPicture::UnregisterGraphicClass(GraphicFactory<TMarkedBitmap>);
    picture.LoadFromFile(file);
    EXPECT_EQ(picture.Graphic()->ClassName(), u"TPNGObject");

    // Shut-down empties the registry; later calls find nothing and do no harm.
    FinalizeGraphics();
    EXPECT_EQ(TPicture::FindFileFormat(u"png"), nullptr);
    TPicture::UnregisterGraphicClass(GraphicFactory<TPNGObject>);
}

TEST_F(Picture, ForwardsProgressAndChangesOfItsGraphic) {
    TPicture picture;
    ProgressLog log;
    log.Picture = &picture;
    Counter changes;
    picture.OnProgress = TProgressEvent::Of<&ProgressLog::On>(&log);
    picture.OnChange = TNotifyEvent::Of<&Counter::Hit>(&changes);
    picture.LoadFromFile(FFolder.Write(u"p.png", AlphaPng()));
    ASSERT_GE(log.Stages.size(), 2u);
    EXPECT_EQ(log.Stages.front(), psStarting);
    EXPECT_EQ(log.Percents.front(), 0);
    EXPECT_EQ(log.Stages.back(), psEnding);
    EXPECT_EQ(log.Percents.back(), 100);
    EXPECT_EQ(log.LastMessage, u"Reading");
    EXPECT_EQ(log.WidthAtEnd, 2);   // the new graphic is in place when loading ends
    EXPECT_GE(changes.Calls, 1);

    const int before = changes.Calls;
    picture.Graphic()->SetTransparent(false);
    EXPECT_EQ(changes.Calls, before + 1);
}

TEST_F(Picture, AssignCopiesAndBitmapConvertsTheGraphic) {
    TPicture a;
    a.LoadFromFile(FFolder.Write(u"a.png", AlphaPng()));
    TPicture b;
    b.Assign(&a);
    ASSERT_NE(b.Graphic(), nullptr);
    EXPECT_NE(b.Graphic(), a.Graphic());
    EXPECT_EQ(b.Graphic()->ClassName(), u"TPNGObject");
    a.Assign(nullptr);
    EXPECT_EQ(a.Graphic(), nullptr);
    EXPECT_EQ(a.Width(), 0);
    EXPECT_EQ(b.Width(), 2);

    TBitmap* bitmap = b.Bitmap();
    EXPECT_EQ(b.Graphic(), bitmap);
    EXPECT_EQ(bitmap->Width(), 2);
    EXPECT_EQ(bitmap->AlphaFormat(), afDefined);
    EXPECT_EQ(Bgra(*bitmap, 1, 0), 0x8000FF00u);
    EXPECT_EQ(b.Bitmap(), bitmap);

    TPicture empty;
    EXPECT_TRUE(empty.Bitmap()->Empty());
}

// ---------------------------------------------------------------------------
// The image classes

TEST(PngImage, DecodesWithStraightAlpha) {
    auto png = Load<TPNGObject>(AlphaPng());
    EXPECT_EQ(png->Width(), 2);
    EXPECT_EQ(png->Height(), 2);
    EXPECT_TRUE(png->HasAlpha());
    EXPECT_TRUE(png->Transparent());
    TBitmap b;
    b.Assign(png.get());
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.AlphaFormat(), afDefined);
    EXPECT_EQ(Bgra(b, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Bgra(b, 1, 0), 0x8000FF00u);
    EXPECT_EQ(Bgra(b, 0, 1), 0x000000FFu);
    EXPECT_EQ(Bgra(b, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Saved(*png), AlphaPng());   // saved as read

    auto opaque = Load<TPNGObject>(MakePng(1, 1, {{1, 2, 3, 255}}));
    EXPECT_FALSE(opaque->HasAlpha());
    EXPECT_THROW(opaque->SetWidth(4), EInvalidGraphicOperation);
}

TEST(PngImage, DrawsBlendedOverTheCanvas) {
    auto png = Load<TPNGObject>(AlphaPng());
    TBitmap dest(6, 6, pf24bit);
    dest.Canvas()->Brush()->SetColor(clGray);
    dest.Canvas()->FillRect(Rect(0, 0, 6, 6));
    dest.Canvas()->Draw(0, 0, png.get());
    EXPECT_EQ(dest.Canvas()->Pixels(0, 0), clRed);
    const TColor half = dest.Canvas()->Pixels(1, 0);   // green at 50 % over grey
    EXPECT_NEAR(Channel(half, 0), 64, 2);
    EXPECT_NEAR(Channel(half, 8), 192, 2);
    EXPECT_NEAR(Channel(half, 16), 64, 2);
    EXPECT_EQ(dest.Canvas()->Pixels(0, 1), clGray);   // fully transparent

    dest.Canvas()->StretchDraw(Rect(2, 2, 6, 6), png.get());
    EXPECT_EQ(dest.Canvas()->Pixels(2, 2), clRed);
    EXPECT_EQ(dest.Canvas()->Pixels(3, 3), clRed);
    EXPECT_EQ(dest.Canvas()->Pixels(2, 5), clGray);
    EXPECT_EQ(dest.Canvas()->Pixels(5, 5), clWhite);

    png->SetTransparent(false);   // opaque: the colour bytes as they are
    dest.Canvas()->Draw(0, 0, png.get());
    EXPECT_EQ(dest.Canvas()->Pixels(0, 1), clBlue);
}

TEST(JpegImage, DecodesAnOpaqueImage) {
    auto jpeg = Load<TJPEGImage>(MakeJpeg(16, 8, 200, 40, 90));
    EXPECT_EQ(jpeg->Width(), 16);
    EXPECT_EQ(jpeg->Height(), 8);
    EXPECT_FALSE(jpeg->HasAlpha());
    TBitmap b;
    b.Assign(jpeg.get());
    EXPECT_EQ(b.AlphaFormat(), afIgnored);
    for (auto [x, y] : {std::pair{0, 0}, {15, 7}, {8, 4}}) {
        const TColor c = b.Canvas()->Pixels(x, y);
        EXPECT_NEAR(Channel(c, 0), 200, 6);
        EXPECT_NEAR(Channel(c, 8), 40, 6);
        EXPECT_NEAR(Channel(c, 16), 90, 6);
    }
}

TEST(GifImage, DecodesEveryFrameWithItsDelay) {
    auto gif = Load<TGIFImage>(TwoFrameGif());
    ASSERT_EQ(gif->FrameCount(), 2);
    EXPECT_EQ(gif->Width(), 2);
    EXPECT_EQ(gif->Height(), 1);
    EXPECT_EQ(gif->FrameDelay(0), 250);
    EXPECT_EQ(gif->FrameDelay(1), 100);   // none given
    EXPECT_EQ(gif->LoopCount(), -1);
    EXPECT_TRUE(gif->HasAlpha());
    EXPECT_THROW(gif->FrameDelay(2), EInvalidGraphicOperation);

    TBitmap b;
    b.Assign(gif.get());
    EXPECT_EQ(Bgra(b, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Bgra(b, 1, 0) >> 24, 0u);   // the transparent index

    Counter changes;
    gif->OnChange = TNotifyEvent::Of<&Counter::Hit>(&changes);
    gif->SetFrameIndex(1);
    EXPECT_EQ(changes.Calls, 1);
    b.Assign(gif.get());
    EXPECT_EQ(Bgra(b, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(Bgra(b, 1, 0), 0xFF0000FFu);
    EXPECT_THROW(gif->SetFrameIndex(2), EInvalidGraphicOperation);

    for (int loops : {0, 3}) {
        const Bytes looping = MakeGif(1, 1, kPalette, {{{kRed}, 1}, {{kGreen}, 1}}, loops);
        EXPECT_EQ(Load<TGIFImage>(looping)->LoopCount(), loops);
    }
}

TEST(GifImage, RestoreToPreviousShowsTheImageBeforeTheFrame) {
    // Frame 1 paints pixel 0 green and asks to be undone afterwards; frame 2
    // paints only pixel 1, so pixel 0 must be red again.
    const Bytes plain = MakeGif(2, 1, kPalette,
                                {{{kRed, kRed}, 1, -1, 1}, {{kGreen, kBlue}, 1, kBlue, 3}, {{kBlack, kBlue}, 1, kBlack, 1}});
    // The same behind a control block of five bytes, which readers skip.
    Bytes hidden = plain;
    const std::size_t second = hidden.find("\x21\xF9\x04", hidden.find("\x21\xF9\x04") + 1);
    hidden.insert(second, Bytes("\x21\xF9\x05\x00\x00\x00\x00\x00", 8));
    for (const Bytes& gif : {plain, hidden}) {
        auto image = Load<TGIFImage>(gif);
        ASSERT_EQ(image->FrameCount(), 3);
        TBitmap b;
        image->SetFrameIndex(1);
        b.Assign(image.get());
        EXPECT_EQ(Bgra(b, 0, 0), 0xFF00FF00u);
        EXPECT_EQ(Bgra(b, 1, 0), 0xFFFF0000u);
        image->SetFrameIndex(2);
        b.Assign(image.get());
        EXPECT_EQ(Bgra(b, 0, 0), 0xFFFF0000u);
        EXPECT_EQ(Bgra(b, 1, 0), 0xFF0000FFu);
    }
}

TEST(GifImage, AnimatesOnATimerAndStopsWhenAsked) {
    const Bytes fast = MakeGif(1, 1, kPalette, {{{kRed}, 1}, {{kGreen}, 1}});
    auto gif = Load<TGIFImage>(fast);
    Counter frames;
    gif->OnChange = TNotifyEvent::Of<&Counter::Frame>(&frames);
    gif->SetAnimationLoop(glContinously);
    gif->SetAnimate(true);
    EXPECT_TRUE(gif->Animating());
    ASSERT_TRUE(harness::PumpUntil([&] { return frames.Calls >= 3; }, 3000));
    EXPECT_EQ(frames.Frames[0], 1);
    EXPECT_EQ(frames.Frames[1], 0);
    EXPECT_EQ(frames.Frames[2], 1);

    gif->SetAnimate(false);
    EXPECT_FALSE(gif->Animating());
    const int seen = frames.Calls;
    harness::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(frames.Calls, seen);

    // Played once by default (the file gives no repeat count): it stays on the
    // last frame and switches Animate off.
    gif->SetFrameIndex(0);
    gif->SetAnimationLoop(glEnabled);
    gif->SetAnimate(true);
    ASSERT_TRUE(harness::PumpUntil([&] { return !gif->Animate(); }, 3000));
    EXPECT_EQ(gif->FrameIndex(), 1);
    EXPECT_FALSE(gif->Animating());
}

TEST(GifImage, APictureCopyAnimatesOnAndFreeingStopsTheTimer) {
    const Bytes fast = MakeGif(1, 1, kPalette, {{{kRed}, 1}, {{kGreen}, 1}});
    TPicture picture;
    Counter changes;
    picture.OnChange = TNotifyEvent::Of<&Counter::Hit>(&changes);
    {
        auto gif = Load<TGIFImage>(fast);
        gif->SetAnimationLoop(glContinously);
        gif->SetAnimate(true);
        picture.Assign(gif.get());
    }   // the original goes; its timer must go with it
    auto* copy = dynamic_cast<TGIFImage*>(picture.Graphic());
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Animating());
    EXPECT_EQ(TGIFImage::RunningAnimations(), 1);
    const int start = changes.Calls;
    ASSERT_TRUE(harness::PumpUntil([&] { return changes.Calls >= start + 3; }, 3000));

    picture.Assign(nullptr);
    EXPECT_EQ(TGIFImage::RunningAnimations(), 0);
    const int seen = changes.Calls;
    harness::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(changes.Calls, seen);
}

TEST(ImageErrors, BadDataRaisesInvalidGraphicAndKeepsTheImage) {
    enum Kind { Jpeg, Png, Gif };
    const Bytes jpeg = MakeJpeg(4, 4, 10, 20, 30);
    Bytes badZlib = AlphaPng();
    badZlib[8 + 25 + 8] = 0x77;   // first byte of the zlib stream in IDAT
    Bytes hugeGif = TwoFrameGif().substr(0, 13);
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = static_cast<char>(0xFF);
    const struct Case {
        const char* Name;
        Kind Kind;
        Bytes Data;
        const char16_t* Message;   // the start of it
    } cases[] = {
        {"jpeg magic", Jpeg, "hello, world", u"Invalid JPEG image: not a JPEG file"},
        {"jpeg cut", Jpeg, jpeg.substr(0, jpeg.size() / 3), u"Invalid JPEG image: "},
        {"png magic", Png, "GIF89a.........", u"Invalid PNG image: not a PNG file"},
        {"png cut", Png, AlphaPng().substr(0, 40), u"Invalid PNG image: "},
        {"png zlib", Png, badZlib, u"Invalid PNG image: "},
        {"png empty", Png, "", u"TPNGObject: no image data"},
        {"gif magic", Gif, "GIF88a.........", u"Invalid GIF image: not a GIF file"},
        {"gif cut", Gif, TwoFrameGif().substr(0, 30), u"Invalid GIF image: "},
        {"gif huge", Gif, hugeGif, u"GIF image is too large (65535 x 65535)"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TDecodedImage> image;
        switch (c.Kind) {
            case Jpeg: image = Load<TJPEGImage>(jpeg); break;
            case Png: image = Load<TPNGObject>(AlphaPng()); break;
            case Gif: image = Load<TGIFImage>(TwoFrameGif()); break;
        }
        const Integer width = image->Width();
        try {
            image->LoadFromStream(*StreamOf(c.Data));
            ADD_FAILURE() << c.Name << ": no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message().rfind(c.Message, 0), 0u) << c.Name << ": " << StringToUtf8(e.Message());
            EXPECT_GT(e.Message().size(), String(u"Invalid XXX image: ").size()) << c.Name;
        }
        EXPECT_EQ(image->Width(), width) << c.Name;
        EXPECT_FALSE(image->Empty()) << c.Name;
    }
}

// ---------------------------------------------------------------------------

TEST(GdiObjects, CountsStayFlatOverRepeatedUse) {
    const Bytes gifBytes = TwoFrameGif();
    auto cycle = [&] {
        TBitmap bmp(40, 30);
        TCanvas* c = bmp.Canvas();
        c->Brush()->SetColor(clRed);
        c->FillRect(Rect(0, 0, 40, 30));
        c->Font()->SetHeight(-15);
        c->TextOut(1, 1, u"Abc");
        c->Font()->SetStyle({fsBold});
        c->Brush()->SetStyle(bsClear);
        c->TextRect(Rect(0, 0, 20, 10), 1, 1, u"Abc");
        c->Pen()->SetColor(clBlue);
        c->Pen()->SetWidth(2);
        c->LineTo(30, 20);

        auto png = Load<TPNGObject>(AlphaPng());
        c->StretchDraw(Rect(0, 0, 20, 20), png.get());
        auto gif = Load<TGIFImage>(gifBytes);
        gif->SetFrameIndex(1);
        c->Draw(5, 5, gif.get());
        gif->SetAnimate(true);

        TBitmap copy;
        copy.Assign(png.get());
        copy.SetPixelFormat(pf8bit);
        copy.SetTransparent(true);
        c->Draw(0, 0, &copy);

        TPicture picture;
        picture.Assign(gif.get());
        picture.Bitmap()->Canvas()->Rectangle(0, 0, 2, 1);

        TMemoryStream s;
        bmp.SaveToStream(s);
        s.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(s);
        bmp.SetSize(10, 10);
        TBitmap adopted;
        adopted.SetHandle(back.ReleaseHandle());
        adopted.SetPixelFormat(pf24bit);
    };
    cycle();
    const unsigned before = GdiUsage();
    for (int i = 0; i < 40; ++i) cycle();
    EXPECT_LE(GdiUsage(), before + 8);
}

TEST(GraphicsFormats, ConvertingBetween24And32BitsKeepsColoursAndAlphaIsZero) {
    TBitmap bmp(4, 3, pf24bit);
    bmp.Canvas()->Brush()->SetColor(TColor(0x336699));
    bmp.Canvas()->FillRect(TRect(0, 0, 4, 3));
    bmp.SetPixelFormat(pf32bit);
    for (int y = 0; y < 3; ++y) {
        const auto* row = static_cast<const std::uint32_t*>(bmp.ScanLine(y));
        for (int x = 0; x < 4; ++x) EXPECT_EQ(row[x], 0x00996633u) << x << "," << y;
    }
    // 32 to 24 bits drops the alpha; back at 32 bits it reads 0 again.
    static_cast<std::uint32_t*>(bmp.ScanLine(1))[2] = 0xC8112233u;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetPixelFormat(pf32bit);
    EXPECT_EQ(static_cast<const std::uint32_t*>(bmp.ScanLine(1))[2], 0x00112233u);
}
