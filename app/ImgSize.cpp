#include "ImgSize.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "FileIO.h"

Integer ImageSizeResult = 0;

namespace {

// Closes a low-level file handle on every way out of the GIF reader.
class HandleCloser {
public:
    explicit HandleCloser(fileio::Handle handle) : FHandle(handle) {}
    ~HandleCloser() { fileio::Close(FHandle); }
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;

private:
    fileio::Handle FHandle;
};

// TEM and the restart markers stand alone: no length follows them.
bool IsMarkerWithoutLength(Byte m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }

const Byte PngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// Image separator of a GIF and the image descriptor bytes taken after it:
// left, top, width, height (16-bit little-endian each), flags, and one more.
constexpr Byte GifImageSeparator = 0x2C;
constexpr std::int32_t GifDescriptorBytes = 10;

}  // namespace

Word ReadMWord(TStream& stream) {
    Byte b[2] = {0, 0};
    stream.Read(b, 2);
    return static_cast<Word>((b[0] << 8) | b[1]);
}

void GetJPGSize(const String& FileName, Word& Width, Word& Height) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);

    Byte soi[2] = {0, 0};
    ImageSizeResult = stream.Read(soi, 2);
    if (ImageSizeResult != 2 || soi[0] != 0xFF || soi[1] != 0xD8) {
        ImageSizeResult = 0;
        return;
    }

    Byte m = 0;
    ImageSizeResult = stream.Read(&m, 1);
    // m holds FF while a marker code is due next.
    while (m == 0xFF && ImageSizeResult > 0) {
        ImageSizeResult = stream.Read(&m, 1);
        if (ImageSizeResult == 0) break;  // end of file inside a marker: not a JPEG after all
        if (m == 0xFF) continue;          // fill byte
        if (m == 0xC0 || m == 0xC1) {
            // Frame header: length and sample precision, then height and width.
            Byte lengthAndPrecision[3] = {0, 0, 0};
            ImageSizeResult = stream.Read(lengthAndPrecision, 3);
            Height = ReadMWord(stream);
            Width = ReadMWord(stream);
            break;
        }
        if (IsMarkerWithoutLength(m)) {
            m = 0xFF;  // the next byte is read as a marker code
            continue;
        }
        // Any other segment: skip its body. A length below 2 cannot be right
        // (it counts its own two bytes); stepping back over it could loop, so
        // the walk stops there.
        const Word len = ReadMWord(stream);
        if (len < 2) break;
        stream.Seek(len - 2, TSeekOrigin::soCurrent);
        if (stream.Read(&m, 1) != 1) break;  // end of file
    }
}

void GetPNGSize(const String& FileName, Word& Width, Word& Height) {
    ImageSizeResult = 1;
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);

    Byte signature[8] = {};
    if (stream.Read(signature, 8) != 8 || std::memcmp(signature, PngSignature, 8) != 0) {
        ImageSizeResult = 0;
        return;
    }
    // IHDR is the first chunk: its width is at offset 16, its height at 20,
    // both 32-bit big-endian; the low halves are taken.
    stream.SetPosition(18);
    Width = ReadMWord(stream);
    stream.SetPosition(22);
    Height = ReadMWord(stream);
}

void GetGIFSize(const String& FileName, Word& Width, Word& Height) {
    Width = 0;
    Height = 0;
    ImageSizeResult = 0;

    int error = 0;
    const fileio::Handle file = fileio::Open(FileName, fileio::Access::Read, fileio::Disposition::OpenExisting, error);
    if (file == fileio::InvalidHandle) return;
    HandleCloser closer(file);

    // Signature and version (6 bytes), then the logical screen descriptor.
    Byte header[13] = {};
    if (fileio::Read(file, header, 13) != 13 || header[0] != 'G' || header[1] != 'I' || header[2] != 'F') return;

    const Byte flags = header[10];
    if (flags & 0x80) {
        const std::int64_t colourTableSize = std::int64_t{3} << ((flags & 7) + 1);
        if (fileio::Seek(file, 13 + colourTableSize, fileio::Origin::Begin) < 0) return;
    }

    // The first separator byte is taken as the start of the image descriptor;
    // extension blocks are not walked.
    Byte buffer[4096];
    for (;;) {
        const std::int32_t n = fileio::Read(file, buffer, static_cast<std::int32_t>(sizeof buffer));
        if (n < 0) return;
        if (n == 0) break;  // no image descriptor: 0 x 0
        const void* found = std::memchr(buffer, GifImageSeparator, static_cast<std::size_t>(n));
        if (!found) continue;

        const std::int32_t at = static_cast<std::int32_t>(static_cast<const Byte*>(found) - buffer);
        Byte descriptor[GifDescriptorBytes] = {};
        std::int32_t have = std::min(GifDescriptorBytes, n - at - 1);
        std::memcpy(descriptor, buffer + at + 1, static_cast<std::size_t>(have));
        if (have < GifDescriptorBytes) {
            const std::int32_t more = fileio::Read(file, descriptor + have, GifDescriptorBytes - have);
            if (more < 0) return;
            have += more;
        }
        if (have == GifDescriptorBytes) {
            Width = static_cast<Word>(descriptor[4] | (descriptor[5] << 8));
            Height = static_cast<Word>(descriptor[6] | (descriptor[7] << 8));
        }
        break;
    }
    ImageSizeResult = 1;
}
