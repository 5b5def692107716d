// Picture size readers, checked against small files built byte by byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "Classes.h"
#include "ImgSize.h"
#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<Byte>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Prefix(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }
Bytes Drop(const Bytes& b, std::size_t n) { return Bytes(b.begin() + static_cast<std::ptrdiff_t>(n), b.end()); }

// ---- JPEG pieces ----------------------------------------------------------

const Bytes Soi = {0xFF, 0xD8};
// APP0 "JFIF": length 16 counts itself and the 14 bytes after it.
const Bytes App0 = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01,
                    0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};

// Start-of-frame segment with marker code `code`: length 17, precision 8,
// height 480 (01 E0), width 640 (02 80), three components.
Bytes Frame(Byte code) {
    return {0xFF, code, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03,
            0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
}

// Start of scan (length 8), entropy-coded data, end of image.
const Bytes Sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x12, 0x34, 0xFF, 0xD9};

const Bytes Jpeg = Soi + App0 + Frame(0xC0) + Sos;

// ---- PNG pieces -----------------------------------------------------------

const Bytes PngSig = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// IHDR: width 70000 (00 01 11 70), height 300 (00 00 01 2C), depth 8, RGB,
// then a CRC, which the reader does not look at.
const Bytes Ihdr = {0x00, 0x00, 0x00, 0x0D, 'I',  'H',  'D',  'R',  0x00, 0x01, 0x11, 0x70, 0x00,
                    0x00, 0x01, 0x2C, 0x08, 0x02, 0x00, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF};

const Bytes Png = PngSig + Ihdr;

// ---- GIF pieces -----------------------------------------------------------

// Header and logical screen descriptor: screen 10 x 20, the given flags.
Bytes GifHeader(Byte flags) { return {'G', 'I', 'F', '8', '9', 'a', 0x0A, 0x00, 0x14, 0x00, flags, 0x00, 0x00}; }
// Separator and image descriptor at (1, 2) of size 320 x 200 (40 01, C8 00),
// then the LZW minimum code size, one data block and the trailer.
const Bytes GifImage = {0x2C, 0x01, 0x00, 0x02, 0x00, 0x40, 0x01, 0xC8, 0x00, 0x00,
                        0x02, 0x02, 0x4C, 0x01, 0x00, 0x3B};
// Graphic control extension, with no 2C byte in it.
const Bytes GifControlExt = {0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00};
// A global colour table of 4 entries (flags size bits 1), full of 2C bytes
// that must not be taken for a separator.
const Bytes GifColours4 = {0x2C, 0x2C, 0x2C, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x2C, 0x00, 0x2C};

const Bytes Gif = GifHeader(0x00) + GifImage;

// ---- Running the readers --------------------------------------------------

struct Size {
    Word Width;
    Word Height;
    bool operator==(const Size&) const = default;
};

void PrintTo(const Size& s, std::ostream* os) { *os << s.Width << " x " << s.Height; }

constexpr Size Start = {7, 9};  // what the caller passes in, unless said otherwise

using Reader = void (*)(const String&, Word&, Word&);

Size SizeAfter(Reader reader, const String& file, Size start = Start) {
    Size s = start;
    reader(file, s.Width, s.Height);
    return s;
}

class ImgSizeTest : public ::testing::Test {
protected:
    // Writes the bytes to a file in the test's folder; returns its name.
    String Make(const std::string& name, const Bytes& bytes) {
        const fs::path path = FDir.Write(name, bytes);
        EXPECT_TRUE(FDir.Written()) << path;
        return path.u16string();
    }

    harness::TempFolder FDir{"kestrune-imgsize-"};
};

}  // namespace

// ---- ReadMWord ------------------------------------------------------------

TEST(ReadMWordTest, BigEndianAndBytesNotReadCountAsZero) {
    TMemoryStream stream;
    const Byte data[] = {0x12, 0x34, 0xAB};
    stream.WriteBuffer(data, 3);
    stream.SetPosition(0);
    EXPECT_EQ(ReadMWord(stream), 0x1234);
    EXPECT_EQ(ReadMWord(stream), 0xAB00);  // one byte left: it is the high byte
    EXPECT_EQ(ReadMWord(stream), 0x0000);  // nothing left
}

// ---- JPEG -----------------------------------------------------------------

TEST_F(ImgSizeTest, JpegFrameHeaderGivesHeightThenWidth) {
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"baseline frame after APP0", Jpeg},
        {"frame right after SOI", Soi + Frame(0xC0)},
        {"extended sequential frame (C1)", Soi + App0 + Frame(0xC1) + Sos},
        {"fill bytes, a restart marker and TEM before the frame",
         Soi + App0 + Bytes{0xFF, 0xFF, 0xFF, 0xD0, 0xFF, 0x01} + Frame(0xC0) + Sos},
        // After a marker without length the next byte is already a marker code.
        {"marker code right after a restart marker", Soi + Bytes{0xFF, 0xD7} + Drop(Frame(0xC0), 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("a.jpg", c.file);
        EXPECT_EQ(SizeAfter(GetJPGSize, file), (Size{640, 480}));
        EXPECT_GT(ImageSizeResult, 0);
    }
}

TEST_F(ImgSizeTest, JpegWithOtherFrameIsRecognisedWithSizeUnchanged) {
    // C2 (progressive) is skipped like any segment; the walk ends in the scan data.
    const String file = Make("p.jpg", Soi + App0 + Frame(0xC2) + Sos);
    EXPECT_EQ(SizeAfter(GetJPGSize, file), Start);
    EXPECT_GT(ImageSizeResult, 0);
    EXPECT_EQ(SizeAfter(GetJPGSize, file, {0, 0}), (Size{0, 0}));
    EXPECT_GT(ImageSizeResult, 0);
}

TEST_F(ImgSizeTest, JpegSegmentLengthBelowTwoEndsTheWalk) {
    // The frame right after the bad length must not be reached: the walk
    // neither steps back nor goes on.
    for (Byte len : {0x00, 0x01}) {
        SCOPED_TRACE(len);
        const String file = Make("l.jpg", Soi + Bytes{0xFF, 0xE1, 0x00, len} + Frame(0xC0) + Sos);
        EXPECT_EQ(SizeAfter(GetJPGSize, file), Start);
        EXPECT_GT(ImageSizeResult, 0);
    }
}

TEST_F(ImgSizeTest, JpegShortOrCutFiles) {
    const struct {
        const char* what;
        Bytes file;
        bool recognised;
        Size size;
    } cases[] = {
        {"empty", {}, false, Start},
        {"one byte", {0xFF}, false, Start},
        {"not FF D8", {0xFF, 0xD9, 0xFF, 0xC0}, false, Start},
        {"SOI only", Soi, false, Start},
        {"cut inside the first marker", Soi + Bytes{0xFF}, false, Start},
        {"cut inside a marker after a segment", Soi + App0 + Bytes{0xFF}, false, Start},
        {"cut inside a segment's length", Soi + Prefix(App0, 3), true, Start},
        {"cut inside a segment", Soi + Prefix(App0, 10), true, Start},
        {"ends after a segment", Soi + App0, true, Start},
        // The frame's size fields are missing and read as 0.
        {"cut inside the frame header", Soi + Prefix(Frame(0xC0), 5), true, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("t.jpg", c.file);
        EXPECT_EQ(SizeAfter(GetJPGSize, file), c.size);
        EXPECT_EQ(ImageSizeResult > 0, c.recognised) << ImageSizeResult;
    }
}

// ---- PNG ------------------------------------------------------------------

TEST_F(ImgSizeTest, PngGivesLowSixteenBitsOfIhdrSize) {
    const String file = Make("a.png", Png);
    EXPECT_EQ(SizeAfter(GetPNGSize, file), (Size{4464, 300}));  // 70000 mod 65536 = 4464
    EXPECT_GT(ImageSizeResult, 0);
}

TEST_F(ImgSizeTest, PngShortOrWrongSignature) {
    Bytes wrong = Png;
    wrong[7] = 0x00;
    const struct {
        const char* what;
        Bytes file;
        bool recognised;
        Size size;
    } cases[] = {
        {"empty", {}, false, Start},
        {"seven signature bytes", Prefix(PngSig, 7), false, Start},
        {"last signature byte wrong", wrong, false, Start},
        // The IHDR fields are missing and read as 0.
        {"signature only", PngSig, true, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("t.png", c.file);
        EXPECT_EQ(SizeAfter(GetPNGSize, file), c.size);
        EXPECT_EQ(ImageSizeResult > 0, c.recognised) << ImageSizeResult;
    }
}

// ---- GIF ------------------------------------------------------------------

TEST_F(ImgSizeTest, GifTakesSizeOfFirstImageDescriptor) {
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"no global colour table", Gif},
        // Flags F1: table present, colour resolution bits set, 2^(1+1) entries.
        {"global colour table skipped", GifHeader(0xF1) + GifColours4 + GifControlExt + GifImage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("a.gif", c.file);
        EXPECT_EQ(SizeAfter(GetGIFSize, file), (Size{320, 200}));
        EXPECT_EQ(ImageSizeResult, 1);
    }
}

TEST_F(ImgSizeTest, GifWithoutFullImageDescriptorIsRecognisedAsZeroByZero) {
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"header only", GifHeader(0x00)},
        {"ends right after the image separator", GifHeader(0x00) + Bytes{0x2C}},
        {"nine descriptor bytes", GifHeader(0x00) + Prefix(GifImage, 10)},
        {"ends inside the global colour table", GifHeader(0x81) + Prefix(GifColours4, 5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("t.gif", c.file);
        EXPECT_EQ(SizeAfter(GetGIFSize, file), (Size{0, 0}));
        EXPECT_EQ(ImageSizeResult, 1);
    }
}

TEST_F(ImgSizeTest, GifShortOrWrongSignatureGivesZero) {
    Bytes wrong = Gif;
    wrong[2] = 'X';
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty", {}},
        {"twelve header bytes", Prefix(Gif, 12)},
        {"GIX", wrong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const String file = Make("t.gif", c.file);
        EXPECT_EQ(SizeAfter(GetGIFSize, file), (Size{0, 0}));
        EXPECT_EQ(ImageSizeResult, 0);
    }
}

// ---- All readers ----------------------------------------------------------

TEST_F(ImgSizeTest, OnlyTheMatchingReaderRecognisesAFile) {
    // As the load command does: one pair of size variables, three readers in turn.
    const Reader readers[] = {GetJPGSize, GetPNGSize, GetGIFSize};
    const struct {
        const char* what;
        Bytes file;
        int matching;
        Size after[3];
    } cases[] = {
        {"JPEG", Jpeg, 0, {{640, 480}, {640, 480}, {0, 0}}},
        {"PNG", Png, 1, {Start, {4464, 300}, {0, 0}}},
        {"GIF", Gif, 2, {Start, Start, {320, 200}}},
    };
    for (const auto& c : cases) {
        const String file = Make("any.img", c.file);
        Size s = Start;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(c.what) + " file, reader " + std::to_string(i));
            readers[i](file, s.Width, s.Height);
            EXPECT_EQ(ImageSizeResult > 0, i == c.matching) << ImageSizeResult;
            EXPECT_EQ(s, c.after[i]);
        }
    }
}

TEST_F(ImgSizeTest, MissingFileRaisesForJpegAndPngOnly) {
    const String file = (FDir / "missing.jpg").u16string();
    Size s = Start;
    EXPECT_THROW(GetJPGSize(file, s.Width, s.Height), EFOpenError);
    EXPECT_THROW(GetPNGSize(file, s.Width, s.Height), EFOpenError);
    EXPECT_EQ(s, Start);
    EXPECT_NO_THROW(GetGIFSize(file, s.Width, s.Height));
    EXPECT_EQ(ImageSizeResult, 0);
    EXPECT_EQ(s, (Size{0, 0}));
}

TEST_F(ImgSizeTest, ReadersCloseTheirFileOnEveryPath) {
    // Where the system lists a process's open descriptors, their number must
    // not grow; on Windows a file still held open cannot be removed.
#ifdef _WIN32
    const fs::path fdDir;
    const bool canCount = false;  // removal is the check there
#else
    const fs::path fdDir = "/proc/self/fd";
    const bool canCount = fs::is_directory(fdDir);
#endif
    auto openCount = [&] {
        std::error_code ec;
        return canCount ? std::distance(fs::directory_iterator(fdDir, ec), fs::directory_iterator()) : 0;
    };
    const Bytes files[] = {Jpeg,
                           Soi + Prefix(App0, 10),
                           Soi + Bytes{0xFF, 0xE1, 0x00, 0x00},
                           Soi + Bytes{0xFF},
                           Png,
                           Prefix(PngSig, 7),
                           Gif,
                           Prefix(Gif, 12),
                           GifHeader(0x00) + Bytes{0x2C},
                           {}};
    const auto before = openCount();
    int n = 0;
    for (const auto& bytes : files) {
        std::string name = "c";
        name += std::to_string(n++);
        name += ".img";
        const String file = Make(name, bytes);
        Size s = Start;
        GetJPGSize(file, s.Width, s.Height);
        GetPNGSize(file, s.Width, s.Height);
        GetGIFSize(file, s.Width, s.Height);
        EXPECT_EQ(openCount(), before) << name;
        std::error_code ec;
        EXPECT_TRUE(fs::remove(FDir / name, ec)) << name << ": " << ec.message();
    }
}
