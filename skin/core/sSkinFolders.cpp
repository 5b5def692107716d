#include "sSkinFolders.h"

#include <filesystem>
#include <system_error>

#include "SysUtils.h"

namespace {

std::filesystem::path ToPath(const String& s) {
#ifdef _WIN32
    return std::filesystem::path(std::wstring(s.begin(), s.end()));
#else
    return std::filesystem::path(StringToUtf8(s));
#endif
}

String FromPath(const std::filesystem::path& p) {
#ifdef _WIN32
    const std::wstring w = p.wstring();
    return String(w.begin(), w.end());
#else
    return Utf8ToString(p.string());
#endif
}

bool StartsWith(const String& s, StringView prefix) {
    return s.size() >= prefix.size() && StringView(s).substr(0, prefix.size()) == prefix;
}

}  // namespace

String ResolveSkinDirectory(const String& Directory, const String& Folder) {
    if (StartsWith(Directory, u"..")) {
        // The parent of the program's folder, with its closing separator.
        String parent = Folder;
        if (!parent.empty()) parent.pop_back();
        const auto slash = parent.find_last_of(u"\\/");
        parent = slash == String::npos ? String() : parent.substr(0, slash + 1);
        return parent + (Directory.size() > 3 ? Directory.substr(3) : String());
    }
    if (StartsWith(Directory, u".\\") || StartsWith(Directory, u"./")) return Folder + Directory.substr(2);
    if (Directory.find(u':') == String::npos && Directory.find(u"\\\\") == String::npos) return Folder + Directory;
    return Directory;
}

String CutPackedExtension(const String& Name) {
    if (Name.size() > 4 && SameText(StringView(Name).substr(Name.size() - 4), u".asz")) return Name.substr(0, Name.size() - 4);
    return Name;
}

String WithClosingSeparator(const String& Directory) {
    if (!Directory.empty() && (Directory.back() == u'\\' || Directory.back() == u'/')) return Directory;
    return Directory + u"\\";
}

bool IsPlainSkinName(StringView Name) {
    if (Name.empty()) return false;
    if (Name.find_first_of(u"\\/:") != StringView::npos) return false;
    return Name.find(u"..") == StringView::npos;
}

void ListSkinNames(const String& FullDirectory, TacSkinTypes SkinType, TStrings& Names) {
    TStringList found;
    std::error_code ec;
    String dirText = FullDirectory;
#ifndef _WIN32
    for (auto& c : dirText)
        if (c == u'\\') c = u'/';
#endif
    const auto dir = ToPath(dirText);
    if (std::filesystem::is_directory(dir, ec)) {
        for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec)) {
            const String name = FromPath(it->path().filename());
            if (name.empty() || name[0] == u'.') continue;
            std::error_code e2;
            if (it->is_directory(e2)) {
                if (SkinType != TacSkinTypes::stPacked && std::filesystem::is_regular_file(it->path() / "Options.dat", e2))
                    found.Add(name);
            } else if (SkinType != TacSkinTypes::stUnpacked) {
                const String cut = CutPackedExtension(name);
                if (cut.size() != name.size()) found.Add(cut);
            }
        }
    }
    found.Duplicates = TDuplicates::dupAccept;
    found.Sort();
    Names.BeginUpdate();
    Names.Clear();
    Names.AddStrings(found);
    Names.EndUpdate();
}
