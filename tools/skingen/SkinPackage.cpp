#include "SkinPackage.h"

#include <fstream>
#include <stdexcept>

#include "Classes.h"
#include "acSkinPack.h"

namespace skingen {

std::string Digits(int Value, int Width) {
    std::string s = std::to_string(Value);
    if (Value < 0 || static_cast<int>(s.size()) > Width)
        throw std::runtime_error("value " + s + " does not fit a field of " + std::to_string(Width) + " digits");
    return std::string(Width - s.size(), '0') + s;
}

std::string SkinPackage::OptionsText() const {
    std::string out;
    for (const IniSection& s : Sections) {
        out += "[" + s.Name + "]\r\n";
        for (const auto& [k, v] : s.Keys) out += k + "=" + v + "\r\n";
        out += "\r\n";
    }
    return out;
}

const IniSection* SkinPackage::FindSection(const std::string& N) const {
    for (const IniSection& s : Sections)
        if (s.Name == N) return &s;
    return nullptr;
}

const std::string* SkinPackage::Value(const std::string& Section, const std::string& Key) const {
    const IniSection* s = FindSection(Section);
    if (!s) return nullptr;
    for (const auto& [k, v] : s->Keys)
        if (k == Key) return &v;
    return nullptr;
}

const SkinFile* SkinPackage::FindFile(const std::string& N) const {
    for (const SkinFile& f : Files)
        if (f.Name == N) return &f;
    return nullptr;
}

void WriteBytes(const std::filesystem::path& File, const std::vector<std::uint8_t>& Bytes) {
    std::ofstream out(File, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + File.string());
}

void WriteSkinFolder(const SkinPackage& Skin, const std::filesystem::path& Folder) {
    std::filesystem::create_directories(Folder);
    const std::string options = Skin.OptionsText();
    WriteBytes(Folder / "Options.dat", std::vector<std::uint8_t>(options.begin(), options.end()));
    for (const SkinFile& f : Skin.Files) WriteBytes(Folder / f.Name, f.Data);
}

std::vector<std::uint8_t> PackSkin(const SkinPackage& Skin) {
    std::vector<TacPackedEntry> entries;
    const std::string options = Skin.OptionsText();
    entries.push_back({u"Options.dat", std::vector<Byte>(options.begin(), options.end())});
    for (const SkinFile& f : Skin.Files) entries.push_back({AsciiToString(f.Name), f.Data});
    TMemoryStream stream;
    WritePackedSkin(stream, entries, 9);
    return std::vector<std::uint8_t>(stream.Memory(), stream.Memory() + stream.GetSize());
}

void WritePackedSkinFile(const SkinPackage& Skin, const std::filesystem::path& File) {
    if (File.has_parent_path()) std::filesystem::create_directories(File.parent_path());
    WriteBytes(File, PackSkin(Skin));
}

SkinBuilder::SkinBuilder(std::string Name) { FSkin.Name = std::move(Name); }

void SkinBuilder::Section(const std::string& Name) { FSkin.Sections.push_back({Name, {}}); }

void SkinBuilder::Key(const std::string& K, const std::string& V) {
    if (FSkin.Sections.empty()) throw std::logic_error("a key before the first section");
    FSkin.Sections.back().Keys.emplace_back(K, V);
}

void SkinBuilder::Key(const std::string& K, long long V) { Key(K, std::to_string(V)); }

void SkinBuilder::Colour(const std::string& K, Rgb V) { Key(K, static_cast<long long>(ToTColor(V))); }

void SkinBuilder::Gradient(const std::string& K, const std::vector<std::tuple<Rgb, Rgb, int>>& Pieces, int Mode) {
    std::string text;
    for (const auto& [from, to, percent] : Pieces) {
        if (!text.empty()) text += ";";
        text += std::to_string(ToTColor(from)) + ";" + std::to_string(ToTColor(to)) + ";" + std::to_string(percent) +
                ";" + std::to_string(Mode) + ";0";
    }
    Key(K, text);
}

Box SkinBuilder::Place(const Image& Img) {
    if (Img.Width() > MasterWidth) throw std::logic_error("image wider than the master bitmap");
    if (FShelfX + Img.Width() > MasterWidth) {
        FShelfY += FShelfH + 1;
        FShelfX = 0;
        FShelfH = 0;
    }
    Box b{FShelfX, FShelfY, Img.Width(), Img.Height()};
    FShelfX += Img.Width() + 1;
    FShelfH = std::max(FShelfH, Img.Height());
    FMaster.emplace_back(b, Img);
    return b;
}

std::string SkinBuilder::OwnName(const std::string& K, const char* Ext) const {
    return FSkin.Sections.back().Name + "_" + K + Ext;
}

void SkinBuilder::Mask(const std::string& K, const Image& Img, int Frames, Store How, Borders B, int DrawMode) {
    FSkin.Previews.emplace_back(FSkin.Sections.back().Name + "." + K, Img);
    auto rect = [](Box b) {
        return Digits(b.X, 4) + "," + Digits(b.Y, 4) + "," + Digits(b.X + b.W, 4) + "," + Digits(b.Y + b.H, 4);
    };
    auto fields = [&](int maskType, int imgType) {
        return "!" + std::to_string(Frames) + "!" + std::to_string(maskType) + "!" + std::to_string(imgType) + "!" +
               std::to_string(B.L) + "!" + std::to_string(B.T) + "!" + std::to_string(B.R) + "!" +
               std::to_string(B.B) + "!" + std::to_string(DrawMode);
    };
    if (Frames < 1 || Frames > 9) throw std::logic_error("frames out of range");
    switch (How) {
        case Store::MasterGlyph: {
            const Box b = Place(WithMaskRow(Img));
            Key(K, "@" + rect(b) + "," + std::to_string(Frames) + ",1");
            break;
        }
        case Store::MasterBorder: {
            const Box b = Place(WithMaskRow(Img));
            Key(K, "^" + rect(b) + "," + Digits(B.L, 4) + "," + Digits(B.T, 4) + "," + Digits(B.R, 4) + "," +
                       Digits(B.B, 4) + "," + std::to_string(Frames) + ",1," + std::to_string(DrawMode) + ",0");
            break;
        }
        case Store::MasterTexture: {
            const Box b = Place(Keyed(Img));
            Key(K, "~" + rect(b) + "," + Digits(DrawMode, 2) + ",0");
            break;
        }
        case Store::OwnPNG: {
            const std::string name = OwnName(K, ".PNG");
            FSkin.Files.push_back({name, EncodePNG(Keyed(Img))});
            Key(K, "!" + name + fields(0, 0));
            break;
        }
        case Store::OwnAlphaPNG: {
            const std::string name = OwnName(K, ".PNG");
            FSkin.Files.push_back({name, EncodePNG(Img)});
            Key(K, "!" + name + fields(0, 0));
            break;
        }
        case Store::OwnBMP: {
            const std::string name = OwnName(K, ".BMP");
            FSkin.Files.push_back({name, EncodeBMP24(Keyed(Img))});
            Key(K, "!" + name + fields(0, 0));
            break;
        }
        case Store::PlainBMP: {
            if (Frames != 3) throw std::logic_error("a plain bitmap name holds three frames");
            const std::string name = OwnName(K, ".BMP");
            FSkin.Files.push_back({name, EncodeBMP24(WithMaskRow(Img))});
            Key(K, name);
            break;
        }
    }
}

void SkinBuilder::Jpeg(const std::string& K, const Image& Img, int Quality) {
    FSkin.Previews.emplace_back(FSkin.Sections.back().Name + "." + K, Img);
    const std::string name = OwnName(K, ".JPG");
    FSkin.Files.push_back({name, EncodeJPEG(Img, Quality)});
    Key(K, name);
}

SkinPackage SkinBuilder::Finish() {
    Image master(MasterWidth, std::max(FShelfY + FShelfH, 1), KeyPixel);
    for (const auto& [b, img] : FMaster) master.Copy(img, b.X, b.Y);
    FSkin.Files.insert(FSkin.Files.begin(), SkinFile{"MASTER.BMP", EncodeBMP32(master)});
    return std::move(FSkin);
}

}  // namespace skingen
