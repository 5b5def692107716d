// A folder of a test's own under the system's temporary folder, named by a
// prefix and a random part, and removed with all it holds when the object
// goes, on every way out of the test. Portable: the native and the Windows
// tests share it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace harness {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix) {
        std::random_device r;
        do {
            FPath = std::filesystem::temp_directory_path() /
                    (prefix + std::to_string(r()) + "-" + std::to_string(r()));
        } while (!std::filesystem::create_directories(FPath));
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return FPath / name; }

    // Writes the bytes to a file in the folder and gives its path; false from
    // Written() when the file could not be written in full.
    template <class Bytes>
    std::filesystem::path Write(const std::filesystem::path& name, const Bytes& bytes) {
        const std::filesystem::path path = FPath / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        FWritten = FWritten && out.good();
        return path;
    }
    bool Written() const { return FWritten; }

private:
    std::filesystem::path FPath;
    bool FWritten = true;
};

}  // namespace harness
