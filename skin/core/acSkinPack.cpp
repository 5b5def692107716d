#include "acSkinPack.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <memory>

#include "Strings.h"
#include "acZLibEx.h"

namespace {

const char Signature[4] = {'A', 'S', 'z', 'f'};
const char16_t* const OptionsName = u"Options.dat";

// The smallest entry: name length, unpacked size and a zlib stream of at
// least a 2-byte header, a 2-byte empty deflate block and the checksum.
constexpr Int64 MinEntrySize = 4 + 4 + 2 + 2 + 4;
// Unpacked data grows by at most this much at a time, so a claimed size
// costs memory only once the data really inflates to it.
constexpr Int64 InflateChunk = Int64{1} << 20;

struct StreamDeleter {
    void operator()(TObject* o) const {
        if (o) o->Free();
    }
};
using MemoryStreamPtr = std::unique_ptr<TMemoryStream, StreamDeleter>;

String Quoted(const String& s) { return u"\"" + s + u"\""; }

[[noreturn]] void Corrupt(const String& what) { throw EacPackedSkinError(u"Packed skin data is corrupt: " + what); }

// Reads a little-endian 32-bit integer of entry Ordinal's header.
Integer ReadInt32(TStream& s, Int64 size, Integer ordinal) {
    if (size - s.GetPosition() < 4) Corrupt(u"it ends inside the header of entry " + IntToStr(ordinal));
    Byte b[4];
    s.ReadBuffer(b, 4);
    return static_cast<Integer>(static_cast<Cardinal>(b[0]) | static_cast<Cardinal>(b[1]) << 8 |
                                static_cast<Cardinal>(b[2]) << 16 | static_cast<Cardinal>(b[3]) << 24);
}

bool HasBitmapExtension(const String& name) {
    std::size_t dot = name.find_last_of(u".\\/:");
    if (dot == String::npos || name[dot] != u'.') return false;
    return UpperCase(StringView(name).substr(dot)) == u".BMP";
}

// Inflates one entry of Size bytes from Source's position; on return Source
// stands on the first byte after the entry's zlib stream.
MemoryStreamPtr InflateEntry(TStream& source, const String& name, Int64 size) {
    MemoryStreamPtr out(New<TMemoryStream>());
    const String corrupt = u"Packed skin entry " + Quoted(name) + u" is corrupt: ";
    auto endedEarly = [&] { throw EZDecompressionError(Z_DATA_ERROR, corrupt + u"its data ends early"); };
    // zlib's own failures ("data error", ...) name the entry too.
    auto zlib = [&](auto&& step) {
        try {
            return step();
        } catch (const EZLibError& e) {
            throw EZDecompressionError(e.ErrorCode(), corrupt + e.Message());
        }
    };
    std::unique_ptr<TZDecompressionStream> z(zlib([&] { return std::make_unique<TZDecompressionStream>(source); }));
    Int64 done = 0;
    while (done < size) {
        Int64 n = std::min(size - done, InflateChunk);
        out->SetSize(done + n);
        Integer got = zlib([&] { return z->Read(out->Memory() + done, static_cast<Integer>(n)); });
        done += got;
        if (got < n) endedEarly();
    }
    // Run the inflater to the end of the zlib stream: its checksum may lie
    // beyond the input read so far, and the next entry starts after it.
    Byte extra;
    if (zlib([&] { return z->Read(&extra, 1); }) != 0)
        throw EZDecompressionError(Z_DATA_ERROR, corrupt + u"its data is longer than its stated size");
    if (!z->StreamEnded()) endedEarly();
    out->SetPosition(0);
    return out;
}

void ReleaseContents(TacSkinConvertor& c) {
    while (!c.Files.empty()) {
        FreeAndNil(c.Files.back().FileStream);
        c.Files.pop_back();
    }
    FreeAndNil(c.Options);
}

void WriteInt32(TStream& s, Integer v) {
    const Cardinal u = static_cast<Cardinal>(v);
    const Byte b[4] = {Byte(u), Byte(u >> 8), Byte(u >> 16), Byte(u >> 24)};
    s.WriteBuffer(b, 4);
}

void CheckCount(std::size_t n, const char16_t* what) {
    if (n > static_cast<std::size_t>(std::numeric_limits<Integer>::max()))
        throw EacPackedSkinError(String(u"Too many ") + what + u" for a packed skin");
}

void DeflateTo(TStream& dest, const Byte* data, std::size_t size, int level) {
    z_stream z{};
    int r = deflateInit(&z, level);
    if (r != Z_OK) throw EZLibError(r);
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, deflateEnd);
    std::vector<Byte> buffer(65536);
    std::size_t fed = 0;
    do {
        if (z.avail_in == 0 && fed < size) {
            std::size_t n = std::min<std::size_t>(size - fed, 1u << 30);
            z.next_in = const_cast<Bytef*>(data + fed);
            z.avail_in = static_cast<uInt>(n);
            fed += n;
        }
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        r = deflate(&z, fed == size ? Z_FINISH : Z_NO_FLUSH);
        if (r < 0 && r != Z_BUF_ERROR) throw EZLibError(r);
        dest.WriteBuffer(buffer.data(), static_cast<Integer>(buffer.size() - z.avail_out));
    } while (r != Z_STREAM_END);
}

void WriteEntry(TStream& dest, const String& name, const Byte* data, std::size_t size, int level) {
    const std::string bytes = StringToAnsi(name);
    if (bytes.size() > static_cast<std::size_t>(MaxPackedEntryNameLength))
        throw EacPackedSkinError(u"The name " + Quoted(name) + u" is too long for a packed skin");
    CheckCount(size, u"bytes in one entry");
    WriteInt32(dest, static_cast<Integer>(bytes.size()));
    dest.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    WriteInt32(dest, static_cast<Integer>(size));
    DeflateTo(dest, data, size, level);
}

void WriteHeader(TStream& dest, std::size_t count) {
    CheckCount(count, u"entries");
    dest.WriteBuffer(Signature, 4);
    WriteInt32(dest, static_cast<Integer>(count));
}

}  // namespace

// ---------------------------------------------------------------------------

TacSkinConvertor::~TacSkinConvertor() { Clear(); }

void TacSkinConvertor::Clear() {
    ReleaseContents(*this);
    FreeAndNil(PackedData);
}

Integer TacSkinConvertor::IndexOfFile(StringView FileName) const {
    const String wanted = AnsiUpperCase(FileName);
    for (std::size_t i = 0; i < Files.size(); ++i)
        if (AnsiUpperCase(Files[i].FileName) == wanted) return static_cast<Integer>(i);
    return -1;
}

void ExtractPackedData(TacSkinConvertor*& Convertor) {
    if (!Convertor || !Convertor->PackedData) throw EacPackedSkinError(u"There is no packed skin data to unpack");
    TacSkinConvertor& c = *Convertor;
    TMemoryStream& source = *c.PackedData;
    const Int64 size = source.GetSize();
    source.SetPosition(0);
    char signature[4];
    if (size < 4 || source.Read(signature, 4) != 4 || std::memcmp(signature, Signature, 4) != 0) {
        FreeAndNil(Convertor);
        throw Exception(u"Loaded data is not a packed skin file");
    }

    ReleaseContents(c);
    try {
        const Integer count = ReadInt32(source, size, 0);
        if (count < 0 || count > (size - source.GetPosition()) / MinEntrySize)
            Corrupt(u"the entry count " + IntToStr(count) + u" is out of range");
        c.ImageCount = count - 1;
        Int64 total = 0;
        for (Integer i = 1; i <= count; ++i) {
            const Integer nameLength = ReadInt32(source, size, i);
            if (nameLength < 0 || nameLength > MaxPackedEntryNameLength || nameLength > size - source.GetPosition())
                Corrupt(u"entry " + IntToStr(i) + u" has a name length of " + IntToStr(nameLength));
            std::string bytes(static_cast<std::size_t>(nameLength), '\0');
            source.ReadBuffer(bytes.data(), nameLength);
            const String name = AnsiToString(bytes);

            const Integer unpacked = ReadInt32(source, size, i);
            if (unpacked < 0 || unpacked > (size - source.GetPosition()) * MaxDeflateRatio)
                Corrupt(u"entry " + Quoted(name) + u" claims an unpacked size of " + IntToStr(unpacked));
            // Refused before inflating: the entry would take that much memory.
            const String refused = u"Packed skin entry " + Quoted(name) + u" is refused: it ";
            if (unpacked > acMaxSkinFileSize)
                throw EacPackedSkinError(refused + u"unpacks to " + IntToStr(unpacked) + u" bytes, more than the " +
                                         IntToStr(acMaxSkinFileSize) + u" bytes a skin file may have");
            total += unpacked;
            if (total > acMaxSkinUnpackedSize)
                throw EacPackedSkinError(refused + u"brings the unpacked skin to " + IntToStr(total) +
                                         u" bytes, more than the " + IntToStr(acMaxSkinUnpackedSize) +
                                         u" bytes a skin may have");

            MemoryStreamPtr data = InflateEntry(source, name, unpacked);
            if (SameText(name, OptionsName)) {
                FreeAndNil(c.Options);
                c.Options = data.release();
            } else {
                c.Files.push_back(TacImageItem{name, HasBitmapExtension(name), nullptr});
                c.Files.back().FileStream = data.release();
            }
        }
    } catch (...) {
        // No half-read skin is left behind.
        ReleaseContents(c);
        throw;
    }
}

void LoadPackedSkinFile(const String& FileName, TacSkinConvertor*& Convertor, bool FreePacked) {
    // Read the file before touching the convertor: one that vanished since
    // the skins were listed is an error, not an empty skin.
    MemoryStreamPtr data(New<TMemoryStream>());
    data->LoadFromFile(FileName);
    if (Convertor)
        Convertor->Clear();
    else
        Convertor = New<TacSkinConvertor>();
    Convertor->PackedData = data.release();
    try {
        ExtractPackedData(Convertor);
    } catch (...) {
        if (FreePacked && Convertor) FreeAndNil(Convertor->PackedData);
        throw;
    }
    if (FreePacked) FreeAndNil(Convertor->PackedData);
}

void WritePackedSkin(TStream& Dest, const std::vector<TacPackedEntry>& Entries, int Level) {
    WriteHeader(Dest, Entries.size());
    for (const TacPackedEntry& e : Entries) WriteEntry(Dest, e.Name, e.Data.data(), e.Data.size(), Level);
}

void WritePackedSkin(TStream& Dest, const TacSkinConvertor& Convertor, int Level) {
    WriteHeader(Dest, Convertor.Files.size() + (Convertor.Options ? 1 : 0));
    auto write = [&](const String& name, TMemoryStream* s) {
        const Int64 n = s ? s->GetSize() : 0;
        WriteEntry(Dest, name, s ? s->Memory() : nullptr, static_cast<std::size_t>(n), Level);
    };
    if (Convertor.Options) write(OptionsName, Convertor.Options);
    for (const TacImageItem& item : Convertor.Files) write(item.FileName, item.FileStream);
}

void SavePackedSkinFile(const String& FileName, const std::vector<TacPackedEntry>& Entries, int Level) {
    TFileStream f(FileName, fmCreate);
    WritePackedSkin(f, Entries, Level);
}
