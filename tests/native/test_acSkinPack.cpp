// Packed skins: the writer and reader round trip, the inflating stream, and
// hostile or broken packed data built byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "acSkinPack.h"
#include "acZLibEx.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<Byte>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes I32(std::int64_t v) {
    auto u = static_cast<std::uint32_t>(v);
    return {Byte(u), Byte(u >> 8), Byte(u >> 16), Byte(u >> 24)};
}

Bytes Zlib(const Bytes& data, int level = 6) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes out(n);
    if (compress2(out.data(), &n, data.data(), static_cast<uLong>(data.size()), level) != Z_OK) ADD_FAILURE();
    out.resize(n);
    return out;
}

// One entry as it is stored: name, stated size and the zlib stream.
Bytes Entry(const std::string& name, const Bytes& data, std::int64_t statedSize = -1) {
    return I32(static_cast<std::int64_t>(name.size())) + Text(name) +
           I32(statedSize < 0 ? static_cast<std::int64_t>(data.size()) : statedSize) + Zlib(data);
}

Bytes Header(std::int64_t count) { return Text("ASzf") + I32(count); }

// Pseudo-random bytes that compress only a little.
Bytes Noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<Byte>(rng() % 7);
    return b;
}

Bytes Contents(TMemoryStream* s) {
    if (!s) return {};
    return Bytes(s->Memory(), s->Memory() + s->GetSize());
}

// A convertor over packed bytes, freed at the end of the test.
struct Unpacked {
    TacSkinConvertor* C = New<TacSkinConvertor>();
    explicit Unpacked(const Bytes& packed) {
        C->PackedData = New<TMemoryStream>();
        C->PackedData->WriteBuffer(packed.data(), static_cast<Integer>(packed.size()));
    }
    ~Unpacked() { FreeAndNil(C); }
    void Extract() { ExtractPackedData(C); }
};

Bytes Pack(const std::vector<TacPackedEntry>& entries, int level = -1) {
    TMemoryStream* m = New<TMemoryStream>();
    WritePackedSkin(*m, entries, level);
    Bytes b = Contents(m);
    m->Free();
    return b;
}

class TempFile {
public:
    TempFile() {
        std::random_device r;
        FPath = fs::temp_directory_path() / ("kestrune-pack-" + std::to_string(r()) + "-" + std::to_string(r()) + ".asz");
    }
    ~TempFile() {
        std::error_code ec;
        fs::remove(FPath, ec);
    }
    String Name() const { return FPath.u16string(); }

private:
    fs::path FPath;
};

const Bytes Ini = Text("[GENERAL]\r\nVersion=7\r\n");

}  // namespace

// ---- round trip -------------------------------------------------------------

TEST(SkinPack, RoundTripKeepsEveryEntryInOrder) {
    // A large entry spans several input blocks; an empty one sits between
    // others and must not disturb them.
    const std::vector<TacPackedEntry> entries = {
        {u"Button.bmp", Noise(5000, 1)},          {u"Options.dat", Ini},
        {u"empty.png", {}},                      {u"Big.PNG", Noise(3 << 20, 2)},
        {u"Form.BMP", Noise(70, 3)},              {u"\u00c9t\u00e9.jpg", Noise(10, 4)},
    };
    for (int level : {0, 1, Z_DEFAULT_COMPRESSION, 9}) {
        SCOPED_TRACE(level);
        Unpacked u(Pack(entries, level));
        u.Extract();
        ASSERT_NE(u.C, nullptr);
        EXPECT_EQ(u.C->ImageCount, 5);
        EXPECT_EQ(Contents(u.C->Options), Ini);
        ASSERT_EQ(u.C->Files.size(), 5u);
        const std::size_t order[] = {0, 2, 3, 4, 5};
        const bool bitmap[] = {true, false, false, true, false};
        for (std::size_t i = 0; i < 5; ++i) {
            const TacImageItem& item = u.C->Files[i];
            EXPECT_EQ(item.FileName, entries[order[i]].Name);
            EXPECT_EQ(item.IsBitmap, bitmap[i]) << i;
            EXPECT_EQ(Contents(item.FileStream), entries[order[i]].Data) << i;
            EXPECT_EQ(item.FileStream->GetPosition(), 0);
        }
    }
}

TEST(SkinPack, ConvertorWritesBackToTheSameSkin) {
    Unpacked first(Pack({{u"a.bmp", Noise(300, 5)}, {u"options.DAT", Ini}, {u"b.png", {}}}));
    first.Extract();
    TMemoryStream* again = New<TMemoryStream>();
    WritePackedSkin(*again, *first.C);
    Unpacked second(Contents(again));
    again->Free();
    second.Extract();
    EXPECT_EQ(Contents(second.C->Options), Ini);
    ASSERT_EQ(second.C->Files.size(), 2u);
    EXPECT_EQ(second.C->Files[0].FileName, u"a.bmp");
    EXPECT_EQ(Contents(second.C->Files[0].FileStream), Contents(first.C->Files[0].FileStream));
    EXPECT_EQ(second.C->Files[1].FileStream->GetSize(), 0);
}

TEST(SkinPack, OptionsEntryAndBitmapNamesIgnoreLetterCase) {
    Unpacked only(Pack({{u"OPTIONS.DAT", Ini}}));
    only.Extract();
    EXPECT_EQ(only.C->ImageCount, 0);
    EXPECT_TRUE(only.C->Files.empty());
    EXPECT_EQ(Contents(only.C->Options), Ini);

    // A later ini entry replaces an earlier one.
    Unpacked twice(Pack({{u"Options.dat", Text("old")}, {u"options.dat", Ini}}));
    twice.Extract();
    EXPECT_EQ(Contents(twice.C->Options), Ini);

    const std::vector<std::pair<String, bool>> names = {
        {u"a.bmp", true}, {u"A.BmP", true}, {u"a.png", false}, {u"bmp", false},
        {u"x.bmp.png", false}, {u"dir.bmp\\file", false}, {u".BMP", true}};
    std::vector<TacPackedEntry> entries;
    for (auto& [name, _] : names) entries.push_back({name, {1}});
    Unpacked u(Pack(entries));
    u.Extract();
    ASSERT_EQ(u.C->Files.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(u.C->Files[i].IsBitmap, names[i].second) << i;
    EXPECT_EQ(u.C->ImageCount, static_cast<Integer>(names.size()) - 1);
}

TEST(SkinPack, FileLookupIgnoresLetterCaseOnBothSides) {
    Unpacked u(Pack({{u"Button.Bmp", {1}}, {u"\u00c9T\u00c9.png", {2}}}));
    u.Extract();
    EXPECT_EQ(u.C->IndexOfFile(u"button.bmp"), 0);
    EXPECT_EQ(u.C->IndexOfFile(u"BUTTON.BMP"), 0);
    EXPECT_EQ(u.C->IndexOfFile(u"\u00e9t\u00e9.PNG"), 1);
    EXPECT_EQ(u.C->IndexOfFile(u"Button"), -1);
    EXPECT_EQ(u.C->IndexOfFile(u""), -1);
}

// ---- input block boundary --------------------------------------------------

namespace {

int ProgressCalls = 0;

// A zlib stream of 131,052 zero bytes in three stored blocks: 2 header bytes,
// 3 x (5 + 43,684) block bytes and a 4-byte checksum make 131,073 bytes, so
// a 131,072-byte input block ends one byte before the stream does.
Bytes StoredZeros() {
    const std::size_t blockSize = 43684;
    Bytes z = {0x78, 0x01};
    for (int i = 0; i < 3; ++i) {
        z.push_back(i == 2 ? 1 : 0);
        const Bytes len = {Byte(blockSize), Byte(blockSize >> 8), Byte(~blockSize), Byte(~blockSize >> 8)};
        z = z + len + Bytes(blockSize, 0);
    }
    const Bytes zeros(3 * blockSize, 0);
    const uLong adler = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
    return z + Bytes{Byte(adler >> 24), Byte(adler >> 16), Byte(adler >> 8), Byte(adler)};
}

}  // namespace

TEST(SkinPack, EntryWhoseChecksumCrossesTheInputBlockLeavesTheNextEntryIntact) {
    const Bytes stream = StoredZeros();
    ASSERT_EQ(stream.size(), 131073u);
    ASSERT_LT(stream.size() - 4, static_cast<std::size_t>(ZInputBufferSize));
    ASSERT_GT(stream.size(), static_cast<std::size_t>(ZInputBufferSize));

    const Bytes next = Noise(200, 9);
    const Bytes packed = Header(3) + I32(9) + Text("zeros.bmp") + I32(131052) + stream + Entry("next.png", next) +
                         Entry("Options.dat", Ini);
    Unpacked u(packed);
    u.Extract();
    ASSERT_EQ(u.C->Files.size(), 2u);
    EXPECT_EQ(Contents(u.C->Files[0].FileStream), Bytes(131052, 0));
    EXPECT_EQ(u.C->Files[1].FileName, u"next.png");
    EXPECT_EQ(Contents(u.C->Files[1].FileStream), next);
    EXPECT_EQ(Contents(u.C->Options), Ini);
}

TEST(ZDecompressionStream, StopsTheSourceRightAfterItsStream) {
    TMemoryStream* source = New<TMemoryStream>();
    const Bytes tail = Text("tail");
    const Bytes data = Text("xx") + StoredZeros() + Zlib(Text("second")) + tail;
    source->WriteBuffer(data.data(), static_cast<Integer>(data.size()));
    source->SetPosition(2);
    {
        TZDecompressionStream z(*source);
        ProgressCalls = 0;
        z.OnProgress = TNotifyEvent::OfFunction([](TObject*) { ++ProgressCalls; });
        Bytes out(131052 + 10);
        EXPECT_EQ(z.Read(out.data(), static_cast<Integer>(out.size())), 131052);
        EXPECT_TRUE(z.StreamEnded());
        EXPECT_EQ(source->GetPosition(), 2 + 131073);
        EXPECT_EQ(z.Read(out.data(), 10), 0);   // after the end
        EXPECT_EQ(z.GetPosition(), 131052);
        EXPECT_EQ(ProgressCalls, 2);   // one per input block
    }
    {
        TZDecompressionStream z(*source);
        char out[16] = {};
        EXPECT_EQ(z.Read(out, sizeof out), 6);
        EXPECT_EQ(std::string(out), "second");
        EXPECT_EQ(Contents(source).size() - static_cast<std::size_t>(source->GetPosition()), tail.size());
    }
    source->Free();
}

TEST(ZDecompressionStream, SeeksForwardOrRestartsAndRefusesTheRest) {
    TMemoryStream* source = New<TMemoryStream>();
    const Bytes data = Text("pre") + Zlib(Text("0123456789"));
    source->WriteBuffer(data.data(), static_cast<Integer>(data.size()));
    source->SetPosition(3);
    TZDecompressionStream z(*source);
    EXPECT_EQ(z.Seek(4, TSeekOrigin::soCurrent), 4);
    EXPECT_EQ(z.Seek(6, TSeekOrigin::soBeginning), 6);
    EXPECT_EQ(z.Seek(6, TSeekOrigin::soBeginning), 6);   // where it stands
    char c = 0;
    z.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '6');
    // Back to the start: the inflater restarts where the stream was made.
    EXPECT_EQ(z.Seek(0, TSeekOrigin::soBeginning), 0);
    z.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '0');
    EXPECT_EQ(z.Seek(0, TSeekOrigin::soEnd), 10);
    EXPECT_EQ(z.GetSize(), 10);
    for (auto [offset, origin] : {std::pair{Int64{-1}, TSeekOrigin::soCurrent}, {Int64{2}, TSeekOrigin::soBeginning},
                                  {Int64{1}, TSeekOrigin::soEnd}}) {
        try {
            z.Seek(offset, origin);
            ADD_FAILURE() << offset;
        } catch (const EZDecompressionError& e) {
            EXPECT_EQ(e.Message(), u"Invalid ZStream operation!");
        }
    }
    try {
        z.Write("x", 1);
        ADD_FAILURE();
    } catch (const EZDecompressionError& e) {
        EXPECT_EQ(e.Message(), u"Invalid ZStream operation!");
    }
    // Skipping past the end is a short read.
    EXPECT_THROW(z.Seek(5, TSeekOrigin::soCurrent), EReadError);
    source->Free();
}

// ---- broken and hostile data ------------------------------------------------

TEST(SkinPack, WrongSignatureFreesTheConvertor) {
    for (const Bytes& data : {Bytes{}, Text("ASz"), Text("ASzF") + I32(0), Text("PK\3\4") + I32(0)}) {
        Unpacked u(data);
        try {
            u.Extract();
            ADD_FAILURE() << data.size();
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), u"Exception");
            EXPECT_EQ(e.Message(), u"Loaded data is not a packed skin file");
        }
        EXPECT_EQ(u.C, nullptr);
    }
}

TEST(SkinPack, HostileCountsLengthsAndSizesAreRefused) {
    const Bytes good = Zlib(Text("abc"));
    struct Case {
        const char* what;
        Bytes data;
        const char16_t* message;
    };
    const Case cases[] = {
        {"negative count", Header(-1), u"Packed skin data is corrupt: the entry count -1 is out of range"},
        {"huge count", Header(0x7FFFFFFF) + Entry("a", Text("abc")),
         u"Packed skin data is corrupt: the entry count 2147483647 is out of range"},
        {"count beyond the data", Header(2) + Entry("a", Text("abc")),
         u"Packed skin data is corrupt: the entry count 2 is out of range"},
        {"negative name length", Header(1) + I32(-5) + Bytes(20, 0),
         u"Packed skin data is corrupt: entry 1 has a name length of -5"},
        {"huge name length", Header(1) + I32(0x7FFFFFFF) + Bytes(20, 0),
         u"Packed skin data is corrupt: entry 1 has a name length of 2147483647"},
        {"name beyond the data", Header(1) + I32(40) + Bytes(20, 'a'),
         u"Packed skin data is corrupt: entry 1 has a name length of 40"},
        {"name over the cap", Header(1) + I32(1025) + Bytes(1025 + 16, 'a'),
         u"Packed skin data is corrupt: entry 1 has a name length of 1025"},
        {"negative size", Header(1) + I32(1) + Text("a") + I32(-1) + good,
         u"Packed skin data is corrupt: entry \"a\" claims an unpacked size of -1"},
        {"huge size", Header(1) + I32(1) + Text("a") + I32(0x7FFFFFFF) + good,
         u"Packed skin data is corrupt: entry \"a\" claims an unpacked size of 2147483647"},
        {"header cut short", Header(1) + I32(12) + Bytes(12, 'a'),
         u"Packed skin data is corrupt: it ends inside the header of entry 1"},
        // Data enough to inflate to it, but no skin has a file that large.
        {"size over the skin file limit", Header(1) + I32(5) + Text("b.bmp") + I32(acMaxSkinFileSize + 1) +
                                              Bytes(static_cast<std::size_t>(acMaxSkinFileSize / MaxDeflateRatio + 100), 0),
         u"Packed skin entry \"b.bmp\" is refused: it unpacks to 67108865 bytes, more than the 67108864 bytes a "
         u"skin file may have"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Unpacked u(c.data);
        try {
            u.Extract();
            ADD_FAILURE();
        } catch (const EacPackedSkinError& e) {
            EXPECT_EQ(e.Message(), c.message);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.what();
        }
        ASSERT_NE(u.C, nullptr);
        EXPECT_EQ(u.C->Options, nullptr);
        EXPECT_TRUE(u.C->Files.empty());
    }
}

TEST(SkinPack, CorruptOrMismatchedEntryDataIsRefused) {
    Bytes z = Zlib(Noise(1000, 7));
    Bytes flipped = z;
    flipped[z.size() / 2] ^= 0x55;
    Bytes badCheck = z;
    badCheck.back() ^= 1;
    const Bytes presetDictionary = {0x78, 0xBB, 0, 0, 0, 1, 0x03, 0x00};
    auto raw = [](std::int64_t size, const Bytes& stream) { return Header(2) + I32(1) + Text("a") + I32(size) + stream + Entry("b", Ini); };
    struct Case {
        const char* what;
        Bytes data;
        const char16_t* message;
    };
    const Case cases[] = {
        {"flipped deflate data", raw(1000, flipped), nullptr},
        {"bad checksum", raw(1000, badCheck), u"Packed skin entry \"a\" is corrupt: data error"},
        {"bad zlib header", raw(1000, Bytes{0x78, 0x00} + Bytes(z.begin() + 2, z.end())),
         u"Packed skin entry \"a\" is corrupt: data error"},
        {"preset dictionary", raw(0, presetDictionary + Bytes(16, 0)),
         u"Packed skin entry \"a\" is corrupt: need dictionary"},
        {"stated size too small", raw(999, z),
         u"Packed skin entry \"a\" is corrupt: its data is longer than its stated size"},
        {"stated size zero", raw(0, z), u"Packed skin entry \"a\" is corrupt: its data is longer than its stated size"},
        {"stated size too large", raw(1001, z), u"Packed skin entry \"a\" is corrupt: its data ends early"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Unpacked u(c.data);
        try {
            u.Extract();
            ADD_FAILURE();
        } catch (const EZDecompressionError& e) {
            // Every message names the entry.
            EXPECT_EQ(e.Message().rfind(u"Packed skin entry \"a\" is corrupt: ", 0), 0u) << e.what();
            if (c.message) {
                EXPECT_EQ(e.Message(), c.message);
            }
        } catch (const Exception& e) {
            ADD_FAILURE() << e.what();
        }
        ASSERT_NE(u.C, nullptr);
        EXPECT_TRUE(u.C->Files.empty());
    }
}

namespace {

// A zlib stream of Megabytes MiB of zero bytes, made in a moment: one MiB
// compressed and flushed in full (so that it refers to nothing before it),
// repeated, then a last empty block and the checksum.
Bytes ZlibZeros(int megabytes) {
    const Bytes zeros(1 << 20, 0);
    Bytes first(compressBound(static_cast<uLong>(zeros.size())) + 64);
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) ADD_FAILURE();
    z.next_in = const_cast<Bytef*>(zeros.data());
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = first.data();
    z.avail_out = static_cast<uInt>(first.size());
    if (deflate(&z, Z_FULL_FLUSH) != Z_OK || z.avail_in != 0) ADD_FAILURE();
    first.resize(first.size() - z.avail_out);
    deflateEnd(&z);
    const Bytes block(first.begin() + 2, first.end());   // after the 2-byte zlib header
    Bytes out(first.begin(), first.begin() + 2);
    const uLong one = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
    uLong adler = adler32(0, nullptr, 0);
    for (int i = 0; i < megabytes; ++i) {
        out.insert(out.end(), block.begin(), block.end());
        adler = adler32_combine(adler, one, static_cast<z_off_t>(zeros.size()));
    }
    out = out + Bytes{0x01, 0x00, 0x00, 0xFF, 0xFF};   // the last block: stored, empty
    return out + Bytes{Byte(adler >> 24), Byte(adler >> 16), Byte(adler >> 8), Byte(adler)};
}

}  // namespace

TEST(SkinPack, AnEntryThatInflatesBeyondAnySkinFileIsRefusedBeforeItInflates) {
    // 512 MiB of zeros pack into about half a megabyte: once taken in whole
    // (memory and seconds), now refused for its stated size, naming it.
    const std::int64_t huge = std::int64_t{512} << 20;
    const Bytes bomb = ZlibZeros(512);
    ASSERT_LT(bomb.size(), 1u << 20);
    // Made this way, a few megabytes make a sound stream of that many bytes.
    {
        const Bytes few = ZlibZeros(3);
        TMemoryStream* source = New<TMemoryStream>();
        source->WriteBuffer(few.data(), static_cast<Integer>(few.size()));
        source->SetPosition(0);
        TZDecompressionStream z(*source);
        EXPECT_EQ(z.Seek(0, TSeekOrigin::soEnd), 3 << 20);
        EXPECT_TRUE(z.StreamEnded());
        source->Free();
    }
    {
        Unpacked u(Header(2) + Entry("Options.dat", Ini) + I32(8) + Text("huge.bmp") + I32(huge) + bomb);
        try {
            u.Extract();
            ADD_FAILURE();
        } catch (const EacPackedSkinError& e) {
            EXPECT_EQ(e.Message(), u"Packed skin entry \"huge.bmp\" is refused: it unpacks to 536870912 bytes, more "
                                   u"than the 67108864 bytes a skin file may have");
        }
        ASSERT_NE(u.C, nullptr);
        EXPECT_EQ(u.C->Options, nullptr);
    }
    // Stating a small size does not help: the inflater stops right after it.
    {
        Unpacked u(Header(1) + I32(8) + Text("huge.bmp") + I32(1000) + bomb);
        try {
            u.Extract();
            ADD_FAILURE();
        } catch (const EZDecompressionError& e) {
            EXPECT_EQ(e.Message(),
                      u"Packed skin entry \"huge.bmp\" is corrupt: its data is longer than its stated size");
        }
    }
}

TEST(SkinPack, EveryTruncationFailsCleanly) {
    const Bytes full = Pack({{u"Options.dat", Ini}, {u"a.bmp", Noise(400, 3)}, {u"e.png", {}}});
    for (std::size_t n = 0; n < full.size(); ++n) {
        Unpacked u(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
        try {
            u.Extract();
            ADD_FAILURE() << n;
        } catch (const Exception& e) {
            if (n < 4) {
                EXPECT_EQ(e.Message(), u"Loaded data is not a packed skin file");
            } else {
                ASSERT_NE(u.C, nullptr) << n;
                EXPECT_EQ(u.C->Options, nullptr) << n;
                EXPECT_TRUE(u.C->Files.empty()) << n;
            }
        }
    }
}

// ---- files -------------------------------------------------------------------

TEST(SkinPack, LoadsFilesAndRefusesMissingOnes) {
    TempFile file;
    const Bytes image = Noise(2000, 11);
    SavePackedSkinFile(file.Name(), {{u"Options.dat", Ini}, {u"Main.bmp", image}});

    TacSkinConvertor* c = nullptr;
    LoadPackedSkinFile(file.Name(), c, false);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c->PackedData, nullptr);
    EXPECT_EQ(Contents(c->Options), Ini);
    // Loading into a used convertor empties it first.
    LoadPackedSkinFile(file.Name(), c, true);
    EXPECT_EQ(c->PackedData, nullptr);
    ASSERT_EQ(c->Files.size(), 1u);
    EXPECT_EQ(Contents(c->Files[0].FileStream), image);

    // A file gone since the skins were listed: an error, and the convertor
    // keeps what it had.
    const String missing = file.Name() + u".gone";
    EXPECT_THROW(LoadPackedSkinFile(missing, c, true), EFOpenError);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Files.size(), 1u);
    FreeAndNil(c);
    EXPECT_THROW(LoadPackedSkinFile(missing, c, true), EFOpenError);
    EXPECT_EQ(c, nullptr);

    // Not a packed skin: the convertor made for it is gone again.
    {
        TMemoryStream* m = New<TMemoryStream>();
        m->WriteBuffer("PK\3\4xxxx", 8);
        m->SaveToFile(file.Name());
        m->Free();
    }
    try {
        LoadPackedSkinFile(file.Name(), c, true);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Loaded data is not a packed skin file");
    }
    EXPECT_EQ(c, nullptr);
}
