#include "sSkinManager.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "WinApi.h"

TsSkinManager* DefaultManager = nullptr;

namespace {

std::filesystem::path ToPath(const String& s) { return std::filesystem::path(std::u16string(s)); }

bool StartsWith(const String& s, StringView prefix) { return s.size() >= prefix.size() && StringView(s).substr(0, prefix.size()) == prefix; }

}  // namespace

String ProgramFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return String();
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    String path = FromW(buffer.c_str(), buffer.size());
    const auto slash = path.find_last_of(u"\\/");
    return slash == String::npos ? String() : path.substr(0, slash + 1);
}

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

void ListSkinNames(const String& FullDirectory, TacSkinTypes SkinType, TStrings& Names) {
    TStringList found;
    std::error_code ec;
    const auto dir = ToPath(FullDirectory);
    if (std::filesystem::is_directory(dir, ec)) {
        for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
             it.increment(ec)) {
            const String name = it->path().filename().u16string();
            if (name.empty() || name[0] == u'.') continue;
            std::error_code e2;
            if (it->is_directory(e2)) {
                if (SkinType != TacSkinTypes::stPacked && std::filesystem::exists(it->path() / u"Options.dat", e2))
                    found.Add(name);
            } else if (SkinType != TacSkinTypes::stUnpacked) {
                if (it->path().extension().u16string() == u".asz") found.Add(name.substr(0, name.find(u'.')));
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

TacMenuSupport::TacMenuSupport() : FExtraLineFont(new TFont()) {}

TacMenuSupport::~TacMenuSupport() { delete FExtraLineFont; }

TsSkinManager::TsSkinManager(TComponent* AOwner)
    : TComponent(AOwner), FMenuSupport(new TacMenuSupport()), FThirdParty(new TacThirdPartyList()) {
    if (!DefaultManager) {
        DefaultManager = this;
        FIsDefault = true;
    }
}

TsSkinManager::~TsSkinManager() {
    if (DefaultManager == this) DefaultManager = nullptr;
    delete FMenuSupport;
    delete FThirdParty;
}

void TsSkinManager::SetSkinDirectory(const String& value) {
    if (FSkinDirectory == value) return;
    FSkinDirectory = value;
    if (OnSkinListChanged) OnSkinListChanged(this);
}

String TsSkinManager::GetFullSkinDirectory() const { return ResolveSkinDirectory(FSkinDirectory, ProgramFolder()); }

String TsSkinManager::GetSkinNames(TStrings* Names, TacSkinTypes SkinType) {
    if (!Names) return String();
    ListSkinNames(GetFullSkinDirectory(), SkinType, *Names);
    return Names->Count() > 0 ? Names->Get(0) : String();
}

void TsSkinManager::SetSkinName(const String& value) {
    // Loading and announcing skins comes with the skin engine; for now the
    // manager only remembers the choice.
    FSkinName = value;
}
