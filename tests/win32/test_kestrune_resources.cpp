// What the build puts into and beside Kestrune.exe: the PNG images of its
// resources and the own skins in the Skins folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ProcessDriver.h"
#include "WinApi.h"

namespace {

std::wstring ProgramFile() { return harness::ModuleFolder() + L"..\\app\\Kestrune.exe"; }

unsigned Be32(const unsigned char* p) { return (p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

}  // namespace

TEST(KestruneResources, ProgramHoldsItsPngImages) {
    HMODULE exe = LoadLibraryExW(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr) << "Kestrune.exe is not built";
    const struct {
        const wchar_t* Name;
        unsigned Width, Height;
    } images[] = {{L"acSHDA", 32, 32}, {L"acSHDI", 32, 32}, {L"SF", 48, 16}, {L"SR", 48, 16},
                  {L"SD", 48, 16},     {L"SE", 48, 16},     {L"SC", 48, 16}};
    for (const auto& image : images) {
        SCOPED_TRACE(std::filesystem::path(image.Name).string());
        HRSRC info = FindResourceW(exe, image.Name, MAKEINTRESOURCEW(10));   // RT_RCDATA
        ASSERT_NE(info, nullptr);
        const DWORD size = SizeofResource(exe, info);
        const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(exe, info)));
        ASSERT_NE(bytes, nullptr);
        ASSERT_GT(size, 33u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 1, 3), "PNG");
        EXPECT_EQ(Be32(bytes + 16), image.Width);
        EXPECT_EQ(Be32(bytes + 20), image.Height);
    }
    FreeLibrary(exe);
}

TEST(KestruneResources, OwnSkinsLieBesideTheProgramOnceEachInBothForms) {
    const std::filesystem::path skins = std::filesystem::path(ProgramFile()).parent_path() / L"Skins";
    int folders = 0, packed = 0;
    for (const wchar_t* name : {L"Daylight", L"Basalt", L"Lagoon"}) {
        SCOPED_TRACE(std::filesystem::path(name).string());
        const bool folder = std::filesystem::exists(skins / name / L"Options.dat");
        const std::filesystem::path file = skins / (std::wstring(name) + L".asz");
        const bool pack = std::filesystem::exists(file);
        EXPECT_NE(folder, pack) << "each skin ships once, as a folder or as a packed file";
        if (folder) {
            EXPECT_TRUE(std::filesystem::exists(skins / name / L"MASTER.BMP"));
            ++folders;
        }
        if (pack) {
            EXPECT_GT(std::filesystem::file_size(file), 1000u);
            ++packed;
        }
    }
    EXPECT_GT(folders, 0);
    EXPECT_GT(packed, 0);
}

TEST(KestruneResources, ProgramHoldsTheEngineTexts) {
    HMODULE exe = LoadLibraryExW(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr) << "Kestrune.exe is not built";
    wchar_t text[64] = {};
    EXPECT_EQ(LoadStringW(exe, 58992, text, 64), 2);
    EXPECT_STREQ(text, L"OK");
    EXPECT_GT(LoadStringW(exe, 58900, text, 64), 0);
    EXPECT_STREQ(text, L"Skin preview");
    FreeLibrary(exe);
}
