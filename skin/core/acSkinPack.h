// Unit acSkinPack: packed skins (".asz" files and the data of stored skins).
// A packed skin is the signature "ASzf", a signed 32-bit entry count and the
// entries back to back; each entry is a name (32-bit length, then ANSI
// bytes), the 32-bit unpacked size and a zlib stream that inflates to that
// size. Portable.
#pragma once

#include <vector>

#include "Classes.h"

// The structure of packed data is broken (a count, length or size out of
// range, or the data ends inside an entry's header).
KES_DECLARE_EXCEPTION(EacPackedSkinError, Exception)

struct TacImageItem {
    String FileName;
    bool IsBitmap = false;                 // the extension is ".BMP" in any case
    TMemoryStream* FileStream = nullptr;   // owned by the convertor
};
using TacImageItems = std::vector<TacImageItem>;

// The unpacked contents of a packed skin: the ini text "Options.dat" and the
// other files of the skin, each in its own memory stream.
class TacSkinConvertor : public TPersistent {
public:
    KES_CLASS_NAME(TacSkinConvertor)
    TacSkinConvertor() = default;
    ~TacSkinConvertor() override;

    Integer ImageCount = -1;                 // entries in the data, less one
    TacImageItems Files;                     // every entry but "Options.dat", in file order
    TMemoryStream* Options = nullptr;        // the unpacked "Options.dat", or none
    TMemoryStream* PackedData = nullptr;     // the packed data being read

    // Releases the items' streams (last first), then Options and PackedData.
    void Clear();
    // Index of the file named FileName, letter case ignored, or -1.
    Integer IndexOfFile(StringView FileName) const;
};

// Limits on what packed data may claim before it is believed.
constexpr Integer MaxPackedEntryNameLength = 1024;
// The largest file a skin may hold, unpacked: a packed entry's stated size
// (an entry inflates to exactly that or fails), and a file read from a skin
// folder. The largest file of our own skins (tools/skingen) is a master
// bitmap of about 0.75 MB; 64 MB would hold a 4096 x 4096 bitmap of 32-bit
// pixels, far beyond what any skin needs, so anything larger is refused as
// hostile before memory is taken for it.
constexpr Int64 acMaxSkinFileSize = Int64{64} << 20;
// The most all entries of one packed skin may unpack to together.
constexpr Int64 acMaxSkinUnpackedSize = Int64{256} << 20;
// Deflate packs at most 1032 bytes into one byte of its output.
constexpr Int64 MaxDeflateRatio = 1032;

// Unpacks Convertor->PackedData into Convertor's Options and Files.
// Wrong signature: the convertor is freed, Convertor becomes null and
// Exception "Loaded data is not a packed skin file" is raised. Broken
// structure, or an entry stated larger than acMaxSkinFileSize (or entries
// together larger than acMaxSkinUnpackedSize): EacPackedSkinError; corrupt
// entry data: EZDecompressionError. Every message names the entry at fault.
// On any failure Options and Files are left empty.
void ExtractPackedData(TacSkinConvertor*& Convertor);

// Loads the packed skin file FileName into Convertor (emptied first, or made
// when null) and unpacks it; with FreePacked, PackedData is released after.
// A file that cannot be opened raises EFOpenError and leaves Convertor as it
// was.
void LoadPackedSkinFile(const String& FileName, TacSkinConvertor*& Convertor, bool FreePacked);

// ---------------------------------------------------------------------------
// Writing packed skins.

struct TacPackedEntry {
    String Name;
    std::vector<Byte> Data;
};

// Writes the entries as packed data at Dest's position, each compressed with
// zlib at Level (Z_DEFAULT_COMPRESSION is -1, 0 stores).
void WritePackedSkin(TStream& Dest, const std::vector<TacPackedEntry>& Entries, int Level = -1);
// Writes Convertor's Options (as "Options.dat", when present) and then its
// Files.
void WritePackedSkin(TStream& Dest, const TacSkinConvertor& Convertor, int Level = -1);
void SavePackedSkinFile(const String& FileName, const std::vector<TacPackedEntry>& Entries, int Level = -1);
