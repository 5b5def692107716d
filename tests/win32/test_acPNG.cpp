// The engine's PNG class through the framework's picture loading.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "Imaging.h"
#include "TestBytes.h"
#include "acPNG.h"

namespace {

using harness::Put32BE;
using harness::PutPngChunk;

// A 2 x 2 RGBA image: red opaque, green half, blue clear, white opaque.
std::string RgbaPng() {
    std::string png("\x89PNG\r\n\x1A\n", 8);
    std::string ihdr;
    Put32BE(ihdr, 2);
    Put32BE(ihdr, 2);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);
    PutPngChunk(png, "IHDR", ihdr);
    const std::string raw("\x00\xFF\x00\x00\xFF\x00\xFF\x00\x80"
                          "\x00\x00\x00\xFF\x00\xFF\xFF\xFF\xFF", 18);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    PutPngChunk(png, "IDAT", packed);
    PutPngChunk(png, "IEND", "");
    return png;
}

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) { return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x]; }

String WriteTempFile(const char16_t* name, const std::string& bytes) {
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const String file = FromW(folder) + u"kes_engine_png_" + IntToStr(::GetCurrentProcessId()) + name;
    TFileStream out(file, fmCreate);
    out.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    return file;
}

// The progress notices of a picture, with the picture's size at each.
struct PngProgress {
    TPicture* Picture = nullptr;
    struct Notice {
        TProgressStage Stage;
        int Percent;
        Integer Width, Height;
    };
    std::vector<Notice> Notices;
    void On(TObject*, TProgressStage stage, Byte percent, bool, const TRect&, const String&) {
        Notices.push_back({stage, percent, Picture->Width(), Picture->Height()});
    }
};

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

TEST(EnginePng, LoadingEndsWithTheNewImageInThePicture) {
    kestrune_test::EnsureFramework();
    acPNGInitialization();
    const String good = WriteTempFile(u"_progress.png", RgbaPng());
    std::string cut = RgbaPng();
    cut.resize(cut.size() - 20);   // the image data breaks off
    const String bad = WriteTempFile(u"_cut.png", cut);

    TPicture picture;
    PngProgress log;
    log.Picture = &picture;
    picture.OnProgress = TProgressEvent::Of<&PngProgress::On>(&log);
    picture.LoadFromFile(good);
    ASSERT_GE(log.Notices.size(), 2u);
    EXPECT_EQ(log.Notices.front().Stage, psStarting);
    const PngProgress::Notice& end = log.Notices.back();
    EXPECT_EQ(end.Stage, psEnding);
    EXPECT_EQ(end.Percent, 100);
    EXPECT_EQ(end.Width, 2) << "the picture's size at 100% is that of the image just loaded";
    EXPECT_EQ(end.Height, 2);
    for (std::size_t i = 0; i + 1 < log.Notices.size(); ++i) EXPECT_NE(log.Notices[i].Stage, psEnding) << i;

    // A load that fails still ends once, with the picture as it was.
    picture.Assign(nullptr);
    log.Notices.clear();
    EXPECT_THROW(picture.LoadFromFile(bad), EInvalidGraphic);
    ASSERT_FALSE(log.Notices.empty());
    EXPECT_EQ(log.Notices.back().Stage, psEnding);
    EXPECT_EQ(log.Notices.back().Width, 0);
    EXPECT_EQ(std::count_if(log.Notices.begin(), log.Notices.end(), [](const auto& n) { return n.Stage == psEnding; }), 1);
    EXPECT_EQ(picture.Graphic(), nullptr);

    ::DeleteFileW(WStr(good));
    ::DeleteFileW(WStr(bad));
    acPNGFinalization();
    RegisterImageFormats();
}
