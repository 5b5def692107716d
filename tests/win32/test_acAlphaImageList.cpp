// The alpha image list: items made into the system list, the per-size image
// cache, drawing with alpha and the system-icon fallback, copies between
// lists, the icon makers, the engine's five-image list from the program's
// resources, and the shadow templates that keep their alpha.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "SkinImage.h"
#include "WorkBitmaps.h"
#include "acAlphaImageList.h"
#include "acPNG.h"
#include "sSkinDraw.h"
#include "sSkinManager.h"

using kestrune_test::OwnedBitmap;
using kestrune_test::Px;

namespace {

namespace fs = std::filesystem;

std::vector<Byte> PngBytes(const skingen::Image& Img) {
    const auto b = skingen::EncodePNG(Img);
    return std::vector<Byte>(b.begin(), b.end());
}

// W x H: the left half opaque red, the right half blue at alpha 128, the
// bottom row clear.
skingen::Image HalfTranslucent(int W, int H) {
    skingen::Image img(W, H);
    for (int y = 0; y < H - 1; ++y)
        for (int x = 0; x < W; ++x) img.At(x, y) = x < W / 2 ? 0xFFFF0000u : 0x800000FFu;
    return img;
}

void AddPng(TsAlphaImageList* List, const std::vector<Byte>& Png) {
    TsImgListItem* item = List->Items()->AddItem();
    item->ImageFormat = ifPNG;
    item->ImgData->WriteBuffer(Png.data(), static_cast<Integer>(Png.size()));
}

struct ListOwner {
    TsAlphaImageList* List;
    explicit ListOwner(Integer W = 16, Integer H = 16) : List(New<TsAlphaImageList>(nullptr)) { List->SetSize(W, H); }
    ~ListOwner() { List->Free(); }
    TsAlphaImageList* operator->() const { return List; }
};

// The word at (x, y) without its alpha byte.
std::uint32_t Rgb(TBitmap* b, int x, int y) { return Px(b, x, y) & 0xFFFFFFu; }

// Whether two words differ by at most 1 in each byte: a mix of full weight
// gives 254 for 255, and resampling may round a channel down.
::testing::AssertionResult Near(std::uint32_t Got, std::uint32_t Want) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((Got >> shift) & 0xFF), b = static_cast<int>((Want >> shift) & 0xFF);
        if (a - b > 1 || b - a > 1)
            return ::testing::AssertionFailure() << std::hex << "0x" << Got << " is not near 0x" << Want;
    }
    return ::testing::AssertionSuccess();
}

// An ICO file of one 32-bit W x H image of one colour (with alpha).
std::vector<Byte> IcoFile(int W, int H, std::uint32_t Argb) {
    std::vector<Byte> f;
    auto u16 = [&](unsigned v) { f.push_back(Byte(v)), f.push_back(Byte(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const std::uint32_t maskRow = ((W + 31) / 32) * 4;
    const std::uint32_t image = 40 + W * H * 4 + maskRow * H;
    u16(0), u16(1), u16(1);
    f.push_back(Byte(W)), f.push_back(Byte(H)), f.push_back(0), f.push_back(0);
    u16(1), u16(32), u32(image), u32(22);
    u32(40), u32(W), u32(H * 2), u16(1), u16(32), u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < W * H; ++i) u32(Argb);
    f.insert(f.end(), maskRow * H, 0);
    return f;
}

HMODULE ProgramAsData() {
    return ::LoadLibraryExW((harness::ModuleFolder() + L"..\\app\\Kestrune.exe").c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE);
}

}  // namespace

class AlphaImageList : public ::testing::Test {
protected:
    void SetUp() override { kestrune_test::EnsureFramework(); }
};

TEST_F(AlphaImageList, ItemsBecomeTheSystemListAndAreKept) {
    ListOwner list;
    AddPng(list.List, PngBytes(HalfTranslucent(16, 16)));
    AddPng(list.List, PngBytes(HalfTranslucent(32, 24)));
    list->GenerateStdList();
    EXPECT_TRUE(list->StdListIsGenerated);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Items()->Count(), 2);   // kept (DoubleData)
    EXPECT_EQ(list->Items()->Item(1)->OrigWidth, 32);
    EXPECT_EQ(list->Items()->Item(1)->OrigHeight, 24);
    // A change with more items than images makes the system list again and
    // tells the list's users.
    static int changes = 0;
    list->OnChange = TNotifyEvent::OfFunction([](TObject*) { ++changes; });
    AddPng(list.List, PngBytes(HalfTranslucent(8, 8)));
    list->SetBkColor(clWhite);
    EXPECT_EQ(list->Count(), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list->BkColor(), clWhite);
    // Invalid requests give nothing.
    EXPECT_EQ(list->CreateBitmap32(-1, 16, 16), nullptr);
    EXPECT_EQ(list->CreateBitmap32(3, 16, 16), nullptr);
    TBitmap none;
    EXPECT_FALSE(list->GetBitmap32(5, &none));
}

// A PNG item that cannot be read: the list is still made with every other
// image at its index (a clear one in its place), and the error names it.
TEST_F(AlphaImageList, ABrokenPngItemKeepsTheOthersAndIsNamed) {
    ListOwner list;
    std::vector<Byte> broken = PngBytes(HalfTranslucent(16, 16));
    broken.resize(broken.size() / 2);   // cut in the middle of its data
    auto round = [&] {
        list->Items()->Clear();
        AddPng(list.List, PngBytes(HalfTranslucent(16, 16)));
        AddPng(list.List, broken);
        AddPng(list.List, PngBytes(HalfTranslucent(32, 24)));
        std::string message;
        try {
            list->GenerateStdList();
        } catch (const EInvalidGraphic& e) {
            message = e.what();
        }
        return message;
    };
    const std::string message = round();
    EXPECT_NE(message.find("Image 1 "), std::string::npos) << message;
    EXPECT_FALSE(list->AcChanging);
    EXPECT_EQ(list->Count(), 3) << "an image went missing and moved the others";
    EXPECT_EQ(list->Items()->Count(), 3);
    EXPECT_EQ(list->Items()->Item(2)->OrigWidth, 32);
    OwnedBitmap first(list->CreateBitmap32(0, 16, 16));
    ASSERT_NE(first.bmp, nullptr);
    EXPECT_TRUE(Near(Rgb(first.bmp, 1, 1), 0xFF0000u));
    // Nothing is left behind by the failed images.
    const unsigned gdi = harness::GdiObjectUsage();
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(round().empty());
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
}

TEST_F(AlphaImageList, ImagesAreMadeOncePerSize) {
    ListOwner list;
    AddPng(list.List, PngBytes(HalfTranslucent(32, 32)));
    list->GenerateStdList();
    TsImgListItem* item = list->Items()->Item(0);

    OwnedBitmap small(list->CreateBitmap32(0, 16, 16));
    ASSERT_NE(small.bmp, nullptr);
    EXPECT_EQ(small->Width(), 16);
    EXPECT_EQ(small->PixelFormat(), pf32bit);
    ASSERT_NE(item->CacheBmp, nullptr);
    TBitmap* cache = item->CacheBmp;
    EXPECT_EQ(cache->Width(), 16);
    // The same size again comes from the cache.
    OwnedBitmap again(list->CreateBitmap32(0, 16, 16));
    EXPECT_EQ(item->CacheBmp, cache);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(Px(again.bmp, x, y), Px(small.bmp, x, y));
    // Another size replaces it; the image's own size is taken as it is.
    OwnedBitmap full(list->CreateBitmap32(0, 32, 32));
    EXPECT_EQ(item->CacheBmp->Width(), 32);
    EXPECT_EQ(Px(full.bmp, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Px(full.bmp, 31, 0), 0x800000FFu);
    EXPECT_EQ(Px(full.bmp, 5, 31) >> 24, 0u);
}

TEST_F(AlphaImageList, AnImageOfTheListSizeIsStillMadeAtTheSizeAskedFor) {
    // A 16 x 16 image in a 16 x 16 list asked for at 32 x 24.
    ListOwner list;
    AddPng(list.List, PngBytes(HalfTranslucent(16, 16)));
    list->GenerateStdList();
    TBitmap image;
    image.SetSize(32, 24);
    ASSERT_TRUE(list->GetBitmap32(0, &image));
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 24);
    EXPECT_EQ(image.PixelFormat(), pf32bit);
    EXPECT_TRUE(Near(Rgb(&image, 2, 2), 0xFF0000u));
    // Without a size of its own the bitmap gets the list size.
    TBitmap plain;
    ASSERT_TRUE(list->GetBitmap32(0, &plain));
    EXPECT_EQ(plain.Width(), 16);
    EXPECT_EQ(plain.Height(), 16);
}

TEST_F(AlphaImageList, DrawsWithAlphaAndFallsBackToSystemIconsPastTheItems) {
    ListOwner list;
    AddPng(list.List, PngBytes(HalfTranslucent(16, 16)));
    list->GenerateStdList();
    // One more image that has no item: a green icon.
    const std::vector<Byte> ico = IcoFile(16, 16, 0xFF00FF00u);
    TMemoryStream s;
    s.WriteBuffer(ico.data(), static_cast<Integer>(ico.size()));
    s.SetPosition(0);
    TIcon icon;
    icon.LoadFromStream(s);
    ASSERT_FALSE(icon.Empty());
    EXPECT_EQ(icon.Width(), 16);
    EXPECT_EQ(list->AddIcon(icon.Handle()), 1);
    EXPECT_EQ(list->Count(), 2);

    OwnedBitmap canvas(kestrune_test::FilledWorkBitmap(40, 20, 0xFFFFFFFFu));
    list->Draw(canvas->Canvas(), 2, 2, 0);
    list->Draw(canvas->Canvas(), 20, 2, 1);
    list->Draw(canvas->Canvas(), 20, 2, 7);   // nothing there
    ::GdiFlush();
    EXPECT_EQ(Rgb(canvas.bmp, 3, 3), 0xFF0000u);     // opaque red
    EXPECT_EQ(Rgb(canvas.bmp, 15, 3), 0x7F7FFFu);    // blue at half over white
    EXPECT_EQ(Rgb(canvas.bmp, 5, 17), 0xFFFFFFu);    // clear row: the background
    EXPECT_EQ(Rgb(canvas.bmp, 25, 8), 0x00FF00u);    // the system icon
    EXPECT_EQ(Rgb(canvas.bmp, 38, 8), 0xFFFFFFu);

    // The icon's image as a bitmap with alpha, through the system list.
    OwnedBitmap fromIcon(list->CreateBitmap32(1, 16, 16));
    ASSERT_NE(fromIcon.bmp, nullptr);
    EXPECT_EQ(Px(fromIcon.bmp, 8, 8), 0xFF00FF00u);

    // Image states side by side: state 1 of a strip of three.
    ListOwner strip(48, 16);
    skingen::Image three(48, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) three.At(x, y) = x < 16 ? 0xFFFF0000u : x < 32 ? 0xFF00FF00u : 0xFF0000FFu;
    AddPng(strip.List, PngBytes(three));
    strip->GenerateStdList();
    OwnedBitmap dst(kestrune_test::FilledWorkBitmap(30, 20, 0xFF000000u));
    TSize size{};
    DrawListGlyph(strip.List, dst.bmp, 4, 2, size, false, 3, 1, kNoTint, 0, 0);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 16);
    EXPECT_TRUE(Near(Px(dst.bmp, 4, 2), 0xFF00FF00u));
    EXPECT_TRUE(Near(Px(dst.bmp, 19, 17), 0xFF00FF00u));
    EXPECT_EQ(Px(dst.bmp, 20, 2), 0xFF000000u);
    DrawListGlyph(strip.List, dst.bmp, 4, 2, size, false, 3, 9, kNoTint, 0, 0);   // the last state
    EXPECT_TRUE(Near(Px(dst.bmp, 4, 2), 0xFF0000FFu));
    // The same through a device context.
    HDC dc = dst->Canvas()->Handle();
    DrawListGlyphOnDC(strip.List, dc, 10, 2, size, false, 3, 0, kNoTint, 0, 0);
    ::GdiFlush();
    EXPECT_TRUE(Near(Rgb(dst.bmp, 12, 4), 0xFF0000u));
    EXPECT_EQ(Rgb(dst.bmp, 27, 4), 0x000000u);
    EXPECT_GT(ScreenBitsPerPixel(), 0);
}

TEST_F(AlphaImageList, IconItemsAndCopiesBetweenLists) {
    ListOwner list;
    AddPng(list.List, PngBytes(HalfTranslucent(16, 16)));
    TsImgListItem* ico = list->Items()->AddItem();
    ico->ImageFormat = ifICO;
    const std::vector<Byte> file = IcoFile(16, 16, 0xFF123456u);
    ico->ImgData->WriteBuffer(file.data(), static_cast<Integer>(file.size()));
    list->GenerateStdList();
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(ico->OrigWidth, 16);
    list->SetBkColor(clNone);

    ListOwner copy(8, 8);
    copy->Assign(list.List);
    EXPECT_EQ(copy->Width(), 16);
    EXPECT_EQ(copy->Count(), 2);
    ASSERT_EQ(copy->Items()->Count(), 2);
    EXPECT_EQ(copy->Items()->Item(1)->ImageFormat, ifICO);
    EXPECT_EQ(copy->Items()->Item(1)->ImgData->GetSize(), static_cast<Int64>(file.size()));
    OwnedBitmap canvas(kestrune_test::FilledWorkBitmap(20, 20, 0xFFFFFFFFu));
    copy->Draw(canvas->Canvas(), 0, 0, 1);   // an icon item draws as its system icon
    ::GdiFlush();
    EXPECT_EQ(Rgb(canvas.bmp, 8, 8), 0x123456u);
    // Items alone copy item by item too.
    TsImgListItems items(nullptr);
    items.Assign(list->Items());
    EXPECT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Item(0)->ImgData->GetSize(), list->Items()->Item(0)->ImgData->GetSize());
    // Nothing frees the system list.
    copy->Assign(nullptr);
    EXPECT_FALSE(copy->HandleAllocated());
    EXPECT_EQ(copy->CreateBitmap32(0, 16, 16), nullptr);
}

TEST_F(AlphaImageList, IconsFromPngImages) {
    TPNGGraphic png;
    {
        skingen::Image img(4, 2, 0x80FF0000u);
        img.At(0, 0) = 0x00000000u;
        const std::vector<Byte> bytes = PngBytes(img);
        TMemoryStream s;
        s.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
        s.SetPosition(0);
        png.LoadFromStream(s);
    }
    auto maskBits = [](HICON icon, std::vector<int>& bits, std::vector<std::uint32_t>& colour) {
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        TBitmap m, c;
        m.SetHandle(info.hbmMask);
        c.SetHandle(info.hbmColor);
        m.SetPixelFormat(pf32bit);
        c.SetPixelFormat(pf32bit);
        for (int x = 0; x < 4; ++x) {
            bits.push_back((Px(&m, x, 0) & 0xFFFFFF) != 0);
            colour.push_back(Px(&c, x, 0));
        }
        ::DestroyIcon(icon);
    };
    // A 32-bit image keeps its alpha under a clear mask.
    std::vector<int> bits;
    std::vector<std::uint32_t> colour;
    maskBits(CreateIconFromPNG(&png, false), bits, colour);
    EXPECT_EQ(bits, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(colour[1], 0x80FF0000u);
    // Forced mask: the top-left colour is masked out.
    bits.clear(), colour.clear();
    maskBits(CreateIconFromPNG(&png, true), bits, colour);
    EXPECT_EQ(bits, (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(colour[1], 0xFFFF0000u);
    // Over a background colour: the translucent pixels are mixed with it and
    // the clear one is masked.
    bits.clear(), colour.clear();
    maskBits(CreateMonoMaskIconFromPNG(&png, clWhite), bits, colour);
    EXPECT_EQ(bits, (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(colour[1], 0xFFFF7F7Fu);
}

TEST_F(AlphaImageList, PngImagesDrawThroughTheirAlpha) {
    TPNGGraphic png;
    const std::vector<Byte> bytes = PngBytes(HalfTranslucent(16, 16));
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    s.SetPosition(0);
    png.LoadFromStream(s);
    OwnedBitmap canvas(kestrune_test::FilledWorkBitmap(60, 40, 0xFFFFFFFFu));
    canvas->Canvas()->Draw(2, 2, &png);
    canvas->Canvas()->StretchDraw(TRect(20, 2, 52, 34), &png);   // twice the size
    ::GdiFlush();
    for (const auto& [x, y, want] : std::vector<std::tuple<int, int, std::uint32_t>>{
             {3, 3, 0xFF0000u}, {15, 3, 0x7F7FFFu}, {5, 17, 0xFFFFFFu},           // as it is
             {22, 4, 0xFF0000u}, {48, 10, 0x7F7FFFu}, {30, 33, 0xFFFFFFu}}) {   // stretched
        SCOPED_TRACE(testing::Message() << x << "," << y);
        EXPECT_TRUE(Near(Rgb(canvas.bmp, x, y), want));
    }
}

TEST_F(AlphaImageList, TheFiveImagesOfTheProgram) {
    HMODULE exe = ProgramAsData();
    ASSERT_NE(exe, nullptr) << "Kestrune.exe is not built";
    unsigned gdiBefore = 0;   // after the first round, which also makes the framework's shared objects
    for (int round = 0; round < 12; ++round) {
        if (round == 2) gdiBefore = harness::GdiObjectUsage();
        sSkinDrawInitialization(exe);
        ASSERT_NE(acStdImages, nullptr);
        ASSERT_EQ(acStdImages->Items()->Count(), 5);
        EXPECT_EQ(acStdImages->Count(), 5);
        EXPECT_EQ(acStdImages->Width(), 48);
        EXPECT_EQ(acStdImages->Height(), 16);
        if (round == 0) {
            // Each image drawn over a light and a dark ground, saved beside
            // the test program to be looked at.
            OwnedBitmap sheet(kestrune_test::FilledWorkBitmap(2 * 56, 5 * 20, 0xFFF0F0F0u));
            for (int y = 0; y < 5 * 20; ++y)
                for (int x = 56; x < 2 * 56; ++x) Px(sheet.bmp, x, y) = 0xFF202830u;
            for (int i = 0; i < 5; ++i)
                for (int ground = 0; ground < 2; ++ground) acStdImages->Draw(sheet->Canvas(), 4 + 56 * ground, 2 + 20 * i, i);
            sheet->SaveToFile((fs::path(harness::ModuleFolder()) / L"alpha-image-list.bmp").u16string());
            for (int i = 0; i < 5; ++i) {
                SCOPED_TRACE(i);
                const TsImgListItem* item = acStdImages->Items()->Item(i);
                EXPECT_EQ(item->ImageFormat, ifPNG);
                EXPECT_EQ(item->OrigWidth, 48);
                EXPECT_EQ(item->OrigHeight, 16);
                OwnedBitmap img(acStdImages->CreateBitmap32(i, 48, 16));
                int clear = 0, solid = 0;
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 48; ++x) (Px(img.bmp, x, y) >> 24 == 0 ? clear : solid) += 1;
                EXPECT_GT(clear, 0);
                EXPECT_GT(solid, 0);
            }
        }
        sSkinDrawFinalization();
        EXPECT_EQ(acStdImages, nullptr);
    }
    EXPECT_LE(harness::GdiObjectUsage(), gdiBefore + 2);
    ::FreeLibrary(exe);
}

// ---- shadow templates -------------------------------------------------------

namespace {

struct TempSkins {
    fs::path Root;
    TempSkins() {
        std::random_device r;
        Root = fs::temp_directory_path() / ("kestrune-shadows-" + std::to_string(r()));
        fs::create_directories(Root);
    }
    ~TempSkins() {
        std::error_code ec;
        fs::remove_all(Root, ec);
    }
    void Folder(const char* Name, const std::string& Ini, const char* File = nullptr,
                const std::vector<Byte>* Data = nullptr) const {
        fs::create_directories(Root / Name);
        std::ofstream(Root / Name / "Options.dat", std::ios::binary) << Ini;
        if (File) {
            std::ofstream f(Root / Name / File, std::ios::binary);
            f.write(reinterpret_cast<const char*>(Data->data()), static_cast<std::streamsize>(Data->size()));
        }
    }
};

// A bitmap of a PNG resource of the program, as the manager loads it.
TBitmap* ProgramPng(HMODULE Exe, const wchar_t* Name) {
    const HRSRC res = ::FindResourceW(Exe, Name, MAKEINTRESOURCEW(10));
    if (!res) return nullptr;
    const void* bytes = ::LockResource(::LoadResource(Exe, res));
    TMemoryStream s;
    s.WriteBuffer(bytes, static_cast<Integer>(::SizeofResource(Exe, res)));
    s.SetPosition(0);
    TPNGGraphic png;
    png.LoadFromStream(s);
    TBitmap* b = New<TBitmap>();
    b->Assign(&png);
    b->SetPixelFormat(pf32bit);
    return b;
}

}  // namespace

TEST_F(AlphaImageList, ShadowTemplatesKeepTheirAlpha) {
    ASSERT_EQ(DefaultManager, nullptr);
    HMODULE exe = ProgramAsData();
    ASSERT_NE(exe, nullptr);
    TBitmap* oldActive = acShadowActive;
    TBitmap* oldInactive = acShadowInactive;
    acShadowActive = ProgramPng(exe, L"acSHDA");
    acShadowInactive = ProgramPng(exe, L"acSHDI");
    ASSERT_NE(acShadowActive, nullptr);
    ::FreeLibrary(exe);

    TempSkins skins;
    skins.Folder("Plain", "[GLOBALINFO]\r\nVERSION=7.6\r\n[PANEL]\r\n");
    // An extended border of a newer skin: 9 x 3 frames with graded alpha.
    skingen::Image ex(18, 3);
    for (int x = 0; x < 18; ++x)
        for (int y = 0; y < 3; ++y) ex.At(x, y) = static_cast<std::uint32_t>((x % 9) * 28) << 24 | 0x204060u;
    const std::vector<Byte> exPng = PngBytes(ex);
    skins.Folder("Framed", "[GLOBALINFO]\r\nVERSION=7.6\r\nEXBORDER=!ex.PNG!2!0!0!3!1!3!1\r\n", "ex.PNG", &exPng);

    TsSkinManager* manager = New<TsSkinManager>(Application);
    manager->SetSkinDirectory(skins.Root.u16string());
    manager->SetExtendedBorders(true);
    manager->SetSkinName(u"Plain");
    ASSERT_TRUE(manager->ExtendedBorders());
    EXPECT_EQ(manager->FormShadowSize.Left, 9);
    // The program's soft shadow: every margin pixel keeps its alpha, colours
    // multiplied in (black stays black); transparent pixels are 0.
    TBitmap* shda = manager->ShdaTemplate();
    ASSERT_EQ(shda->Width(), acShadowActive->Width());
    ASSERT_EQ(shda->Height(), acShadowActive->Height());
    int translucent = 0, same = 0, total = 0;
    for (int y = 0; y < shda->Height(); ++y)
        for (int x = 0; x < shda->Width(); ++x) {
            const std::uint32_t src = Px(acShadowActive, x, y), got = Px(shda, x, y);
            if (src >> 24 == 0) {
                EXPECT_EQ(got, 0u);
                continue;
            }
            ++total;
            same += (got >> 24) == (src >> 24);
            translucent += (got >> 24) < 255;
        }
    EXPECT_GT(total, 0);
    EXPECT_EQ(same, total);
    EXPECT_EQ(translucent, total);   // a soft shadow: nothing turned solid
    EXPECT_EQ(shda->AlphaFormat(), afPremultiplied);

    // A skin's own border: its frames, already multiplied by the loader.
    manager->SetSkinName(u"Framed");
    TBitmap* shdi = manager->ShdiTemplate();
    ASSERT_EQ(shdi->Width(), 9);
    EXPECT_EQ(Px(shdi, 0, 0), 0u);
    const std::uint32_t a = 4 * 28;
    EXPECT_EQ(Px(shdi, 4, 1), a << 24 | (0x20 * a / 255) << 16 | (0x40 * a / 255) << 8 | (0x60 * a / 255));

    manager->Free();
    acShadowActive->Free();
    acShadowInactive->Free();
    acShadowActive = oldActive;
    acShadowInactive = oldInactive;
}
