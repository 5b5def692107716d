// Fuzz target for the picture size readers: each input becomes the content of
// one temporary file, which all three readers then look at.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "ImgSize.h"

namespace {

namespace fs = std::filesystem;

// One file per fuzzing process, named once, rewritten for every input and
// removed when the process ends.
class ScratchFile {
public:
    ScratchFile() {
        std::random_device random;
        FPath = fs::temp_directory_path() /
                ("kestrune-fuzz-imgsize-" + std::to_string(random()) + "-" + std::to_string(random()) + ".img");
        FName = FPath.u16string();
    }
    ~ScratchFile() {
        std::error_code ec;
        fs::remove(FPath, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const String& Write(const std::uint8_t* data, std::size_t size) {
        std::ofstream out(FPath, std::ios::binary | std::ios::trunc);
        if (size > 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) std::abort();  // nothing meaningful can be checked without the file
        return FName;
    }

private:
    fs::path FPath;
    String FName;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchFile scratch;
    const String& file = scratch.Write(data, size);

    // The file exists, so no reader may raise; an escaping exception is a find.
    Word width = 1, height = 1;
    GetJPGSize(file, width, height);
    if (ImageSizeResult < 0 || ImageSizeResult > 3) __builtin_trap();

    GetPNGSize(file, width, height);
    if (ImageSizeResult != 0 && ImageSizeResult != 1) __builtin_trap();

    width = 1;
    height = 1;
    GetGIFSize(file, width, height);
    if (ImageSizeResult != 0 && ImageSizeResult != 1) __builtin_trap();
    if (ImageSizeResult == 0 && (width != 0 || height != 0)) __builtin_trap();
    return 0;
}
