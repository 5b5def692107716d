// The engine's PNG class through the framework's picture loading.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "FrameworkEnvironment.h"
#include "Imaging.h"
#include "acPNG.h"

namespace {

void Put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// A 2 x 2 RGBA image: red opaque, green half, blue clear, white opaque.
std::string RgbaPng() {
    std::string png("\x89PNG\r\n\x1A\n", 8);
    std::string ihdr;
    Put32(ihdr, 2);
    Put32(ihdr, 2);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);
    Chunk(png, "IHDR", ihdr);
    const std::string raw("\x00\xFF\x00\x00\xFF\x00\xFF\x00\x80"
                          "\x00\x00\x00\xFF\x00\xFF\xFF\xFF\xFF", 18);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    return png;
}

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) { return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x]; }

}  // namespace

TEST(EnginePng, PicturesLoadedByNameUseTheEngineDecoder) {
    kestrune_test::EnsureFramework();
    acPNGInitialization();
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const String file = FromW(folder) + u"kes_engine_png_" + IntToStr(::GetCurrentProcessId()) + u".png";
    {
        const std::string bytes = RgbaPng();
        TFileStream out(file, fmCreate);
        out.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    }
    TPicture picture;
    picture.LoadFromFile(file);
    auto* png = dynamic_cast<TPNGGraphic*>(picture.Graphic());
    ASSERT_NE(png, nullptr) << "loaded as " << StringToUtf8(picture.Graphic() ? picture.Graphic()->ClassName() : u"nothing");
    EXPECT_EQ(png->PixelFormat(), pf32bit);
    EXPECT_EQ(png->Width(), 2);
    EXPECT_EQ(png->Height(), 2);
    EXPECT_EQ(PixelAt(*png, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(*png, 1, 0), 0x8000FF00u);
    EXPECT_EQ(PixelAt(*png, 0, 1), 0x000000FFu);
    EXPECT_EQ(PixelAt(*png, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(TPicture::FindFileFormat(u"PNG"), GraphicFactory<TPNGGraphic>);

    // Broken data keeps the picture's image and reports the decoder's text.
    {
        std::string bytes = RgbaPng();
        bytes[20] = 0x7F;   // the header's CRC no longer matches
        TFileStream out(file, fmCreate);
        out.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    }
    TPNGGraphic broken;
    EXPECT_THROW(broken.LoadFromFile(file), EInvalidGraphic);
    EXPECT_TRUE(broken.Empty());
    ::DeleteFileW(WStr(file));
    acPNGFinalization();
    RegisterImageFormats();
}
