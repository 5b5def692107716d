// skingen: writes Kestrune's own skins (each once, as a folder or as a
// packed ".asz" file), the program's resource images and a contact sheet.
//   skingen --skins DIR [--resources DIR] [--sheet FILE.png] [--test-skin DIR]
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>

#include "ContactSheet.h"
#include "OwnSkins.h"
#include "Resources.h"
#include "TestSkin.h"

namespace fs = std::filesystem;
using namespace skingen;

int main(int argc, char** argv) {
    fs::path skins, resources, sheet, testSkin;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--skins") && hasValue) skins = argv[++i];
        else if (!std::strcmp(argv[i], "--resources") && hasValue) resources = argv[++i];
        else if (!std::strcmp(argv[i], "--sheet") && hasValue) sheet = argv[++i];
        else if (!std::strcmp(argv[i], "--test-skin") && hasValue) testSkin = argv[++i];
        else {
            std::cerr << "usage: skingen --skins DIR [--resources DIR] [--sheet FILE.png] [--test-skin DIR]\n";
            return 2;
        }
    }
    try {
        std::vector<SkinPackage> built;
        for (const Theme& t : OwnThemes()) built.push_back(BuildSkin(t));
        if (!skins.empty()) {
            fs::create_directories(skins);
            for (std::size_t i = 0; i < built.size(); ++i) WriteShippedSkin(built[i], ShippedAs(OwnThemes()[i]), skins);
        }
        if (!resources.empty()) {
            fs::create_directories(resources);
            for (const ResourceImage& r : ResourceImages()) WriteBytes(resources / (r.Name + ".png"), EncodePNG(r.Img));
        }
        if (!sheet.empty()) {
            if (sheet.has_parent_path()) fs::create_directories(sheet.parent_path());
            WriteBytes(sheet, EncodePNG(ContactSheet(OwnThemes(), built)));
        }
        if (!testSkin.empty()) WriteTestSkin(testSkin);
    } catch (const std::exception& e) {
        std::cerr << "skingen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
