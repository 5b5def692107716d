#include "sSkinManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <shellapi.h>

#include "FileIO.h"
#include "SysUtils.h"
#include "WinApi.h"
#include "acDials.h"
#include "acMessageBox.h"
#include "acPNG.h"
#include "acSkinImages.h"
#include "acSkinPack.h"
#include "acUtilsWin.h"
#include "sGraphUtils.h"
#include "sMessages.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

TsSkinManager* DefaultManager = nullptr;
bool acSkinLoading = false;
bool acSkinAnnouncing = false;
TBitmap* acShadowActive = nullptr;
TBitmap* acShadowInactive = nullptr;
void (*acSkinChangedNotify)(bool Active) = nullptr;
void (*acSkinChangedNotify2)() = nullptr;
bool acUseClassicDialogs = false;

namespace {

HHOOK gHook = nullptr;
const TsSkinManager* gHookOwner = nullptr;
bool gEditorLinkActive = false;
String gEditorOptions;   // option text from a skin editor for the load in progress
int gNTFamily = -1;      // -1: not asked yet

bool IsNTFamily() {
    if (gNTFamily < 0) {
        OSVERSIONINFOW vi = {};
        vi.dwOSVersionInfoSize = sizeof(vi);
        gNTFamily = ::GetVersionExW(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
    }
    return gNTFamily == 1;
}

std::vector<String> RealCommandLineArgs() {
    std::vector<String> args;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.push_back(FromW(argv[i], std::wcslen(argv[i])));
    ::LocalFree(argv);
    return args;
}

// Sets a flag for the lifetime of the guard and puts the old value back.
class TFlagGuard {
public:
    TFlagGuard(bool& Flag, bool Value) : FFlag(Flag), FOld(Flag) { FFlag = Value; }
    ~TFlagGuard() { FFlag = FOld; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
    bool FOld;
};

struct TConvertorFree {
    void operator()(TacSkinConvertor* c) const {
        if (c) c->Free();
    }
};
using TConvertorPtr = std::unique_ptr<TacSkinConvertor, TConvertorFree>;

// Runs a step of loading the skin Name; what it raises comes out as an
// Exception whose message names the skin first (the step names the entry,
// section or key at fault).
template <class Fn>
void LoadingSkin(const String& Name, Fn fn) {
    try {
        fn();
    } catch (const Exception& e) {
        throw Exception(u"Cannot load the skin \"" + Name + u"\": " + e.Message());
    }
}

// The "Options.dat" stream of a convertor as ini lines.
void ReadOptions(const TacSkinConvertor& Convertor, const String& Where, TStringList& Ini) {
    if (!Convertor.Options) throw Exception(u"The packed skin " + Where + u" holds no Options.dat");
    Convertor.Options->SetPosition(0);
    Ini.LoadFromStream(*Convertor.Options);
}

// A skin folder's "Options.dat" as ini lines; a file larger than any skin
// file may be is refused before it is read.
void ReadOptionsFile(const String& FileName, TStringList& Ini) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyNone);
    if (file.GetSize() > acMaxSkinFileSize)
        throw Exception(u"Options.dat is refused: it has " + IntToStr(file.GetSize()) + u" bytes, more than the " +
                        IntToStr(acMaxSkinFileSize) + u" bytes a skin file may have");
    Ini.LoadFromStream(file);
}

// The alpha of a shadow template for the border window's layer: transparent
// pixels become 0 and translucent ones keep their alpha (multiplied into the
// colours unless the skin's loading rule did so already).
void PrepareTemplateAlpha(TBitmap* Bmp, bool Premultiplied) {
    if (!Bmp || Bmp->Empty() || Bmp->PixelFormat() != pf32bit) return;
    PrepareShadowAlpha(Bits32Of(Bmp), Premultiplied);
    Bmp->SetAlphaFormat(afPremultiplied);
}

// One frame of a mask (its own image, else the master bitmap) as a 32-bit
// bitmap; empty when the frame lies outside the image.
void CopyMaskFrame(const TacSkinModel& Model, const TsMaskData& Mask, Integer Frame, TBitmap* Dest) {
    const TacImage32* src = Mask.Bmp ? Mask.Bmp.get() : Model.MasterBitmap.get();
    const Integer w = MaskFrameWidth(Mask);
    const Integer h = MaskFrameHeight(Mask);
    const Integer left = Mask.R.Left + Frame * w;
    const Integer top = Mask.R.Top;
    if (!src || w <= 0 || h <= 0 || left < 0 || top < 0 || Int64{left} + w > src->Width() ||
        Int64{top} + h > src->Height()) {
        Dest->SetSize(0, 0);
        return;
    }
    Dest->SetPixelFormat(pf32bit);
    Dest->SetSize(w, h);
    for (Integer y = 0; y < h; ++y)
        std::memcpy(Dest->ScanLine(y), src->Row(top + y) + left, static_cast<std::size_t>(w) * 4);
}

// A shadow image from the program's RCDATA resources; empty when missing or broken.
TBitmap* LoadShadowResource(const wchar_t* Name) {
    TBitmap* result = New<TBitmap>();
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC res = ::FindResourceW(module, Name, MAKEINTRESOURCEW(10));   // RT_RCDATA
    if (!res) return result;
    const HGLOBAL data = ::LoadResource(module, res);
    const DWORD size = ::SizeofResource(module, res);
    const void* bytes = data ? ::LockResource(data) : nullptr;
    if (!bytes || size == 0) return result;
    try {
        TMemoryStream stream;
        stream.WriteBuffer(bytes, static_cast<Integer>(size));
        stream.SetPosition(0);
        TPNGGraphic* png = New<TPNGGraphic>();
        try {
            png->LoadFromStream(stream);
            result->Assign(png);
            result->SetPixelFormat(pf32bit);
        } catch (...) {
            png->Free();
            throw;
        }
        png->Free();
    } catch (const Exception&) {
        result->SetSize(0, 0);
    }
    return result;
}

// Copies what a form's hot-state answer (command 37) says about being hot.
bool StateKeepsHot(LRESULT Answer) {
    auto* object = reinterpret_cast<TObject*>(Answer);
    auto* state = dynamic_cast<IacHotState*>(object);
    return state && state->IsHot();
}

}  // namespace

std::vector<String> (*acCommandLineArgs)() = RealCommandLineArgs;

bool acCommandLineHas(StringView Switch) {
    if (!acCommandLineArgs) return false;
    for (const String& arg : acCommandLineArgs())
        if (AnsiLowerCase(arg) == Switch) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Option objects

void TacFormAnimation::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TacFormAnimation*>(Source)) {
        FTime = src->FTime;
        FActive = src->FActive;
        FMode = src->FMode;
        return;
    }
    TPersistent::Assign(Source);
}

void TacBlendOnMoving::Assign(TPersistent* Source) {
    TacFormAnimation::Assign(Source);
    if (auto* src = dynamic_cast<TacBlendOnMoving*>(Source)) FBlendValue = src->FBlendValue;
}

TacAnimEffects::TacAnimEffects()
    : FButtons(new TacBtnEffects()),
      FDialogShow(new TacDialogShow()),
      FFormShow(new TacFormShow()),
      FFormHide(new TacFormHide()),
      FSkinChanging(new TacSkinChanging()),
      FPageChange(new TacPageChange()),
      FDialogHide(new TacFormHide()),
      FMinimizing(new TacMinimizing()),
      FBlendOnMoving(new TacBlendOnMoving()) {}

TacAnimEffects::~TacAnimEffects() {
    delete FBlendOnMoving;
    delete FMinimizing;
    delete FDialogHide;
    delete FPageChange;
    delete FSkinChanging;
    delete FFormHide;
    delete FFormShow;
    delete FDialogShow;
    delete FButtons;
}

bool TacSkinEffects::AllowGlowing() const {
    if (!FAllowGlowing) return false;
    const bool designing = Manager && Manager->HasState(csDesigning);
    if (!LayeredWindowsAvailable() && !designing) return false;
    return !Wow64WithoutComposition;
}

TsStoredSkin::TsStoredSkin(TsStoredSkins* Collection)
    : FCollection(Collection), FMasterBitmap(New<TBitmap>()), FPackedData(New<TMemoryStream>()) {}

TsStoredSkin::~TsStoredSkin() {
    FPackedData->Free();
    FMasterBitmap->Free();
}

void TsStoredSkin::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TsStoredSkin*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
        return;
    }
    if (src == this) return;
    FPackedData->Clear();
    if (src->FPackedData->GetSize() > 0) {
        FPackedData->CopyFrom(*src->FPackedData, 0);
        FPackedData->SetPosition(0);
    }
    Name = src->Name;
    FMasterBitmap->Assign(src->FMasterBitmap);
    Shadow1Offset = src->Shadow1Offset;
    Shadow1Color = src->Shadow1Color;
    Shadow1Blur = src->Shadow1Blur;
    Shadow1Transparency = src->Shadow1Transparency;
    BorderColor = src->BorderColor;
    Version = src->Version;
    Author = src->Author;
    Description = src->Description;
}

void TsStoredSkin::ReadData(TStream& Stream) {
    std::int32_t count = 0;
    Stream.ReadBuffer(&count, sizeof(count));
    const Int64 left = Stream.GetSize() - Stream.GetPosition();
    if (count < 0 || count > left) throw EReadError(u"The stored skin's data is cut short or its size is invalid");
    std::vector<Byte> bytes(static_cast<std::size_t>(count));
    if (count > 0) Stream.ReadBuffer(bytes.data(), count);
    FPackedData->Clear();
    if (count > 0) FPackedData->WriteBuffer(bytes.data(), count);
    FPackedData->SetPosition(0);
}

void TsStoredSkin::WriteData(TStream& Stream) const {
    const Int64 size = FPackedData->GetSize();
    const std::int32_t count = static_cast<std::int32_t>(size);
    Stream.WriteBuffer(&count, sizeof(count));
    if (count > 0) {
        const Int64 pos = FPackedData->GetPosition();
        FPackedData->SetPosition(0);
        Stream.CopyFrom(*FPackedData, count);
        FPackedData->SetPosition(pos);
    }
}

TsStoredSkins::~TsStoredSkins() { Clear(); }

TsStoredSkin* TsStoredSkins::Add() {
    auto* item = new TsStoredSkin(this);
    FItems.push_back(item);
    Update(item);
    return item;
}

void TsStoredSkins::Delete(int Index) {
    TsStoredSkin* item = Items(Index);
    FItems.erase(FItems.begin() + Index);
    delete item;
    Update(nullptr);
}

void TsStoredSkins::Clear() {
    while (!FItems.empty()) {
        delete FItems.back();
        FItems.pop_back();
    }
}

int TsStoredSkins::IndexOf(StringView SkinName) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->Name == SkinName) return static_cast<int>(i);
    return -1;
}

void TsStoredSkins::Update(TsStoredSkin*) {
    if (FOwner && FOwner->OnSkinListChanged) FOwner->OnSkinListChanged(FOwner);
}

namespace {
String ThirdPartyList::* const kThirdFields[acThirdKindCount] = {
    &ThirdPartyList::ThirdEdits,       &ThirdPartyList::ThirdButtons,      &ThirdPartyList::ThirdBitBtns,
    &ThirdPartyList::ThirdCheckBoxes,  &ThirdPartyList::ThirdComboBoxes,   &ThirdPartyList::ThirdGrids,
    &ThirdPartyList::ThirdGroupBoxes,  &ThirdPartyList::ThirdListViews,    &ThirdPartyList::ThirdPanels,
    &ThirdPartyList::ThirdTreeViews,   &ThirdPartyList::ThirdWWEdits,      &ThirdPartyList::ThirdGridEh,
    &ThirdPartyList::ThirdVirtualTrees, &ThirdPartyList::ThirdPageControl, &ThirdPartyList::ThirdTabControl,
    &ThirdPartyList::ThirdToolBar,     &ThirdPartyList::ThirdStatusBar,    &ThirdPartyList::ThirdSpeedButton,
    &ThirdPartyList::ThirdScrollControl, &ThirdPartyList::ThirdUpDown};
}  // namespace

void ThirdPartyList::GetByIndex(int Index, String& Value) const {
    if (Index >= 0 && Index < acThirdKindCount) Value = this->*kThirdFields[Index];
}

String ThirdPartyList::GetByIndex(int Index) const {
    String value;
    GetByIndex(Index, value);
    return value;
}

void ThirdPartyList::SetByIndex(int Index, const String& Value) {
    if (Index >= 0 && Index < acThirdKindCount) this->*kThirdFields[Index] = Value;
}

TacMenuSupport::TacMenuSupport() : FExtraLineFont(new TFont()) {}

TacMenuSupport::~TacMenuSupport() { delete FExtraLineFont; }

// ---------------------------------------------------------------------------
// The manager

TsSkinManager::TsSkinManager(TComponent* AOwner)
    : TComponent(AOwner),
      FBuiltInSkins(new TsStoredSkins(this)),
      FMenuSupport(new TacMenuSupport()),
      FAnimEffects(new TacAnimEffects()),
      FThirdParty(new ThirdPartyList()),
      FEffects(new TacSkinEffects()),
      FModel(NewModel()) {
    FSkinableMenus = new TsSkinableMenus(this);
    FCommonSections.CaseSensitive = true;
    FEffects->Manager = this;
    FAnimEffects->Manager = this;
    FAnimEffects->Buttons()->Manager = this;
    for (auto& list : FThirdLists) {
        list = new TStringList();
        list->CaseSensitive = true;
    }
    FShdaTemplate = New<TBitmap>();
    FShdiTemplate = New<TBitmap>();
}

void TsSkinManager::AfterConstruction() {
    TComponent::AfterConstruction();
    if (!DefaultManager) {
        DefaultManager = this;
        if (IsNTFamily() && !HasState(csDesigning) && Application) {
            Application->HookMainWindow(TWindowHook::Of<&TsSkinManager::MainWindowHook>(this));
            FMainHooked = true;
        }
    }
    UpdateThirdNames();
    if (!HasState(csLoading) && acSkinChangedNotify) acSkinChangedNotify(FActive && !FSkinName.empty());
}

void TsSkinManager::BeforeDestruction() {
    // The removal is announced while the component is still whole.
    if (FActive) SetActive(false);
    TComponent::BeforeDestruction();
}

TsSkinManager::~TsSkinManager() {
    FExtendedBorders = false;
    if (FMainHooked && Application) Application->UnhookMainWindow(TWindowHook::Of<&TsSkinManager::MainWindowHook>(this));
    if (gHookOwner == this) UnInstallHook();
    if (DefaultManager == this) DefaultManager = nullptr;
    delete FAnimEffects;
    delete FBuiltInSkins;
    delete FEffects;
    FShdaTemplate->Free();
    FShdiTemplate->Free();
    FModel.reset();
    delete FSkinableMenus;
    FSkinableMenus = nullptr;
    delete FMenuSupport;
    for (int i = 0; i < acThirdKindCount; ++i) {
        FThirdParty->SetByIndex(i, FThirdLists[static_cast<std::size_t>(i)]->Text());
        delete FThirdLists[static_cast<std::size_t>(i)];
    }
    delete FThirdParty;
}

bool TsSkinManager::DefaultManagerIs(const TsSkinManager* m) { return DefaultManager == m; }

void TsSkinManager::Loaded() {
    TComponent::Loaded();
    if (FSkinDirectory.empty()) FSkinDirectory = u"c:\\Skins";
    if (FMenuSupport->IcoLineSkin.empty()) FMenuSupport->IcoLineSkin = u"ICOLINE";
    UpdateThirdNames();
    if (FActive && !FSkinName.empty() && SkinData()->Active) AnnounceNewSkin(false);
    UpdateCommonDlgs();
    if (acSkinChangedNotify) acSkinChangedNotify(FActive && !FSkinName.empty());
}

void TsSkinManager::UpdateThirdNames() {
    for (int i = 0; i < acThirdKindCount; ++i) {
        if (FThirdParty->GetByIndex(i).empty()) FThirdParty->SetByIndex(i, acThirdDefaults[i]);
        FThirdLists[static_cast<std::size_t>(i)]->SetText(FThirdParty->GetByIndex(i));
    }
}

void TsSkinManager::SetSkinDirectory(const String& value) {
    if (FSkinDirectory == value) return;
    FSkinDirectory = value;
    SkinData()->SkinPath = GetFullSkinDirectory();
    if (OnSkinListChanged) OnSkinListChanged(this);
}

String TsSkinManager::GetFullSkinDirectory() const { return ResolveSkinDirectory(FSkinDirectory, GetAppDir()); }

String TsSkinManager::GetSkinNames(TStrings* Names, TacSkinTypes SkinType) {
    if (!Names) return String();
    TStringList found;
    ListSkinNames(GetFullSkinDirectory(), SkinType, found);
    for (int i = 0; i < FBuiltInSkins->Count(); ++i) found.Add(FBuiltInSkins->Items(i)->Name);
    found.Duplicates = TDuplicates::dupAccept;
    found.Sort();
    Names->BeginUpdate();
    Names->Clear();
    Names->AddStrings(found);
    Names->EndUpdate();
    // The first name added: the stored skins come first, then the folder's.
    if (FBuiltInSkins->Count() > 0) return FBuiltInSkins->Items(0)->Name;
    TStringList folder;
    ListSkinNames(GetFullSkinDirectory(), SkinType, folder);
    return folder.Count() > 0 ? folder.Get(0) : String();
}

std::unique_ptr<TacSkinModel> TsSkinManager::NewModel() const {
    auto model = std::make_unique<TacSkinModel>();
    model->CommonSections.Assign(const_cast<TStringList*>(&FCommonSections));
    model->CommonSections.CaseSensitive = true;
    model->Manager = const_cast<TsSkinManager*>(this);
    model->HueOffset = FHueOffset;
    model->Saturation = FSaturation;
    model->ColorToRGB = TacColorToRGBFunc::Of<&TsSkinManager::DoColorToRGB>(const_cast<TsSkinManager*>(this));
    model->CheckVersion = TacCheckVersionEvent::Of<&TsSkinManager::DoCheckVersion>(const_cast<TsSkinManager*>(this));
    model->SystemFrameWidth = ::GetSystemMetrics(SM_CXSIZEFRAME);
    return model;
}

void TsSkinManager::TakeModel(std::unique_ptr<TacSkinModel> Model, bool Packed) {
    Model->SkinData->Active = false;
    FModel = std::move(Model);
    FSkinIsPacked = Packed;
}

TColor TsSkinManager::DoColorToRGB(TColor Color) { return ::ColorToRGB(Color); }

bool TsSkinManager::PackedFileExists() const {
    return fileio::FileExists(WithClosingSeparator(GetFullSkinDirectory()) + FSkinName + u".asz");
}

void TsSkinManager::SetSkinName(const String& value) {
    // A notice shown during a load lets messages through; a choice made
    // meanwhile would mix into the load in progress.
    if (FReading) return;
    const String oldName = FSkinName;
    FSkinName = value;
    if (FActive) {
        if (OnBeforeChange) OnBeforeChange(this);
        const bool animated = ExtendedBorders() && !NonAutoUpdate && FAnimEffects->SkinChanging()->Active();
        if (animated) InvalidateSkinnedFormsCache(this);
        bool loaded = false;
        {
            TFlagGuard loading(acSkinLoading, true);
            FSkinName = CutPackedExtension(FSkinName);
            try {
                if (FSkinName.empty()) {
                    // No skin chosen: the current one is removed.
                    if (SkinData()->Active || !FModel->gd.empty()) AnnounceSkinRemoval();
                    if (animated) ThawSkinnedForms(this);   // no new skin ends the change marks
                } else {
                    const String dir = WithClosingSeparator(GetFullSkinDirectory());
                    bool packed = false;
                    if (gEditorLinkActive && fileio::DirectoryExists(dir + value))
                        packed = false;
                    else
                        packed = fileio::FileExists(dir + FSkinName + u".asz");
                    TFlagGuard reading(FReading, true);
                    if (packed)
                        ReloadPackedSkin();
                    else
                        ReloadSkin();
                    loaded = true;
                }
            } catch (const Exception& e) {
                FSkinName = oldName;
                if (animated) ThawSkinnedForms(this);
                ShowError(e.Message());
            }
            if (loaded) {
                if (!FActive)
                    AnnounceSkinRemoval();
                else if (!NonAutoUpdate)
                    AnnounceNewSkin(true);
            }
        }
        if (OnAfterChange) OnAfterChange(this);
    }
    UpdateCommonDlgs();
}

void TsSkinManager::ReloadSkin() {
    if (!FActive) return;
    TFlagGuard loading(acSkinLoading, true);
    auto model = NewModel();
    const String path = GetFullSkinDirectory() + u"\\" + FSkinName + u"\\";
    const String iniFile = path + u"Options.dat";
    model->SkinData->SkinPath = path;
    TStringList ini;
    TConvertorPtr convertor;
    std::unique_ptr<TacSkinSource> source;
    bool packed = false;
    String name = FSkinName;
    if (!gEditorOptions.empty()) {
        ini.SetText(gEditorOptions);
        source = std::make_unique<TacFolderSource>(path);
    } else if (fileio::FileExists(iniFile)) {
        LoadingSkin(FSkinName, [&] { ReadOptionsFile(iniFile, ini); });
        source = std::make_unique<TacFolderSource>(path);
    } else {
        int index = FBuiltInSkins->IndexOf(FSkinName);
        if (index < 0 && FBuiltInSkins->Count() > 0) index = 0;
        if (index < 0)
            throw Exception(u"The skin \"" + FSkinName + u"\" was not found in " + GetFullSkinDirectory());
        TsStoredSkin* stored = FBuiltInSkins->Items(index);
        if (stored->PackedData()->GetSize() == 0)
            throw Exception(u"The stored skin \"" + stored->Name + u"\" holds no data");
        name = stored->Name;
        TacSkinConvertor* raw = New<TacSkinConvertor>();
        try {
            raw->PackedData = New<TMemoryStream>();
            stored->PackedData()->SetPosition(0);
            raw->PackedData->CopyFrom(*stored->PackedData(), 0);
            raw->PackedData->SetPosition(0);
            LoadingSkin(name, [&] { ExtractPackedData(raw); });   // frees and clears raw on a wrong signature
        } catch (...) {
            if (raw) raw->Free();
            throw;
        }
        convertor.reset(raw);
        if (!raw) throw Exception(u"The stored skin \"" + name + u"\" is not a packed skin");
        LoadingSkin(name, [&] { ReadOptions(*raw, u"\"" + name + u"\"", ini); });
        source = std::make_unique<TacPackedSource>(*raw);
        packed = true;
    }
    LoadingSkin(name, [&] { model->LoadSkin(ini, *source); });
    FSkinName = name;
    TakeModel(std::move(model), packed);
}

void TsSkinManager::ReloadPackedSkin() {
    if (!FActive) return;
    TFlagGuard loading(acSkinLoading, true);
    auto model = NewModel();
    const String file = WithClosingSeparator(GetFullSkinDirectory()) + FSkinName + u".asz";
    TacSkinConvertor* raw = nullptr;
    TConvertorPtr convertor;
    try {
        LoadingSkin(FSkinName, [&] { LoadPackedSkinFile(file, raw, true); });
    } catch (...) {
        if (raw) raw->Free();
        throw;
    }
    convertor.reset(raw);
    if (!raw) throw Exception(file + u" is not a packed skin");
    TStringList ini;
    ini.CaseSensitive = true;
    LoadingSkin(FSkinName, [&] { ReadOptions(*raw, file, ini); });
    model->SkinData->SkinPath = GetFullSkinDirectory() + u"\\";
    const TacPackedSource source(*raw);
    LoadingSkin(FSkinName, [&] { model->LoadSkin(ini, source); });
    TakeModel(std::move(model), true);
}

void TsSkinManager::SetActive(bool value) {
    if (value == FActive) {
        if (value && !HasState(csLoading) && !FSkinName.empty() && !SkinData()->Active) SetSkinName(FSkinName);
        return;
    }
    FActive = value;
    if (value) {
        if (!HasState(csLoading)) SetSkinName(FSkinName);
        return;
    }
    if (!HasState(csLoading)) AnnounceSkinRemoval();
    FModel->InitConstantIndexes();
    UpdateCommonDlgs();
}

void TsSkinManager::AnnounceNewSkin(bool Repaint) {
    if (HasState(csLoading)) return;
    const bool designing = HasState(csDesigning);
    TacFormsFreeze freeze(this, Repaint && !designing);
    // The popup backgrounds and the border width belong to the old skin.
    FSkinableMenus->ResetSkinBorderWidth();
    ClearMenuInfos();
    SkinData()->Active = false;
    acSkinAnnouncing = true;
    FModel->InitConstantIndexes();
    CheckShadows();
    TMessage m = MakeSkinCommand(AC_SETNEWSKIN, this);
    BroadcastToAppForms(m);
    acSkinAnnouncing = false;
    SkinData()->Active = true;
    if (IsDefault() && !designing) FSkinableMenus->UpdateMenus();
    if (IsDefault() && !HookInstalled()) InstallHook();
    if (acSkinChangedNotify) acSkinChangedNotify(true);
    if (acSkinChangedNotify2) acSkinChangedNotify2();
    if (Repaint) RepaintForms(false);
}

void TsSkinManager::AnnounceSkinRemoval() {
    if (acSkinChangedNotify) acSkinChangedNotify(false);
    TFlagGuard removing(SkinRemoving, true);
    UnInstallHook();
    SkinData()->Active = false;
    TMessage m = MakeSkinCommand(AC_REMOVESKIN, this);
    BroadcastToAppForms(m);
    // Menus are drawn by the system again.
    ClearMenuInfos();
    if (IsDefault()) FSkinableMenus->UpdateMenus();
    while (!FModel->ma.empty()) FModel->ma.pop_back();
    FModel->MasterBitmap.reset();
    while (!FModel->pa.empty()) FModel->pa.pop_back();
    FModel->gd.clear();
    FSkinIsPacked = false;
}

void TsSkinManager::RepaintForms(bool DoLockForms) {
    const bool designing = HasState(csDesigning);
    if (!designing) {
        TMessage stop = MakeSkinCommand(AC_STOPFADING, this);
        BroadcastToAppForms(stop);
    }
    TMessage refresh = MakeSkinCommand(AC_REFRESH, this);
    if (designing || HasState(csLoading)) {
        BroadcastToAppForms(refresh);
    } else {
        TacFormsFreeze freeze(this, DoLockForms);
        BroadcastToAppForms(refresh);
        RefreshSkinnedForms(this, true);
        freeze.Refresh(true);
    }
    if (HookAdapters) {
        for (TacHookAdapter* a : TacHookAdapterList(*HookAdapters)) {
            const HWND wnd = a->Wnd();
            if (wnd && ::IsWindowVisible(wnd))
                ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    }
}

void TsSkinManager::SetSkinnedPopups(bool value) {
    if (FSkinnedPopups == value) return;
    FSkinnedPopups = value;
    // Switched on at run time: the application's menus are hooked again.
    if (value && IsDefault() && !HasState(csLoading) && !HasState(csDesigning))
        FSkinableMenus->InitItems(SkinData()->Active);
}

void TsSkinManager::UpdateSkin(bool Repaint) {
    if (FActive) AnnounceNewSkin(Repaint);
}

void TsSkinManager::EndUpdate(bool Repaint, bool AllowAnimation) {
    NonAutoUpdate = false;
    TacSkinChanging* anim = FAnimEffects->SkinChanging();
    const bool wasActive = anim->Active();
    if (!AllowAnimation) anim->SetActive(false);
    try {
        UpdateSkin(Repaint);
    } catch (...) {
        anim->SetActive(wasActive);
        throw;
    }
    anim->SetActive(wasActive);
}

bool TsSkinManager::HookInstalled() { return gHook != nullptr; }

HHOOK TsSkinManager::HookHandle() { return gHook; }

void TsSkinManager::InstallHook() {
    if (!IsDefault() || HasState(csDesigning) || gHook) return;
    if (!HookAdapters) HookAdapters = new TacHookAdapterList();
    gHook = ::SetWindowsHookExW(WH_CBT, CBTHookProc, nullptr, ::GetCurrentThreadId());
    if (!gHook) return;
    gHookOwner = this;
    // The forms on the screen were activated before the hook was there:
    // they get now what their next activation would give them.
    SkinShownForms();
}

void TsSkinManager::UnInstallHook() {
    if (gHookOwner && gHookOwner != this && !IsDefault()) return;
    ClearMenuWindows();
    if (gHook) ::UnhookWindowsHookEx(gHook);
    gHook = nullptr;
    gHookOwner = nullptr;
    if (HookAdapters) {
        TacHookAdapterList* list = HookAdapters;
        HookAdapters = nullptr;
        for (auto it = list->rbegin(); it != list->rend(); ++it) delete *it;
        delete list;
    }
}

String TsSkinManager::SkinInfo() const {
    if (!FActive || !SkinData()->Active) return u"N/A";
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.15g", SkinData()->Version);
    return Utf8ToString(buffer);
}

void TsSkinManager::SetIsDefault(bool value) {
    if (!value && DefaultManager) return;
    if (DefaultManager == this) return;
    if (DefaultManager && DefaultManager->FMainHooked && Application) {
        Application->UnhookMainWindow(TWindowHook::Of<&TsSkinManager::MainWindowHook>(DefaultManager));
        DefaultManager->FMainHooked = false;
    }
    DefaultManager = this;
    if (IsNTFamily() && !HasState(csDesigning) && Application && !FMainHooked) {
        Application->HookMainWindow(TWindowHook::Of<&TsSkinManager::MainWindowHook>(this));
        FMainHooked = true;
    }
    if (FActive)
        AnnounceNewSkin(true);
    else
        AnnounceSkinRemoval();
}

void TsSkinManager::SetSkinningRules(TacSkinningRules value) {
    FSkinningRules = value;
    UpdateCommonDlgs();
}

void TsSkinManager::UpdateCommonDlgs() {
    if (IsDefault()) acUseClassicDialogs = FSkinningRules.Contains(srStdDialogs) && FActive;
}

bool TsSkinManager::ExtendedBorders() const { return FExtendedBorders && LayeredWindowsAvailable(); }

void TsSkinManager::ReloadForOption() {
    if (!FActive || acSkinLoading || FSkinName.empty() || !SkinData()->Active) return;
    if (FReading) return;
    try {
        TFlagGuard reading(FReading, true);
        if (PackedFileExists())
            ReloadPackedSkin();
        else
            ReloadSkin();
    } catch (const Exception& e) {
        ShowError(e.Message());
        return;
    }
    AnnounceNewSkin(false);
    if (!NonAutoUpdate && !HasState(csDesigning)) RepaintForms(true);
}

void TsSkinManager::SetExtendedBorders(bool value) {
    if (FExtendedBorders == value) return;
    FExtendedBorders = value;
    if (!FActive || !SkinData()->Active) return;
    CheckShadows();
    ReloadForOption();
}

void TsSkinManager::SetHueOffset(Integer value) {
    if (FHueOffset == value) return;
    FHueOffset = value;
    ReloadForOption();
}

void TsSkinManager::SetSaturation(Integer value) {
    if (FSaturation == value) return;
    FSaturation = value;
    ReloadForOption();
}

void TsSkinManager::SetCommonSections(const TStrings& value) {
    FCommonSections.Clear();
    for (int i = 0; i < value.Count(); ++i) {
        String line = value.Get(i);
        if (line.empty() || line[0] != u';') std::erase_if(line, [](char16_t c) { return c <= u' '; });
        FCommonSections.Add(line);
    }
    SetSkinName(FSkinName);
}

void TsSkinManager::DoCheckVersion(const TsSkinData& Data) {
    if (Data.Version > 7.99) {
        ShowMessageDlg(u"This version of the skin have not complete support by used skin engine release.\r\n"
                       u"Components must be updated up to latest version for using this skin.",
                       mtWarning, TMsgDlgButtons{mbOK}, 0);
    } else if (Data.Version < 7 && (HasState(csDesigning) || acCommandLineHas(u"/actest"))) {
        ShowMessageDlg(u"You are using an old version of the \"" + FSkinName +
                           u"\" skin. Please, update a skins to latest or link with the skin engine support for "
                           u"upgrading of existing skin.\r\n\r\nThis notification occurs in design-time only for your "
                           u"information and will not occur in real-time.",
                       mtWarning, TMsgDlgButtons{mbOK}, 0);
    }
}

// ---------------------------------------------------------------------------
// Colours

namespace {
bool HasSkin(const TsSkinManager& m) { return m.Active() && m.SkinData()->Active; }
}  // namespace

TColor TsSkinManager::GetGlobalColor() const {
    const Integer i = HasSkin(*this) ? GetSkinIndex(u"GLOBALINFO") : -1;
    return ::ColorToRGB(i >= 0 ? gd()[static_cast<std::size_t>(i)].Color : clBtnFace);
}

TColor TsSkinManager::GetGlobalFontColor() const {
    const Integer i = HasSkin(*this) ? GetSkinIndex(u"GLOBALINFO") : -1;
    return ::ColorToRGB(i >= 0 ? gd()[static_cast<std::size_t>(i)].FontColor.Color : kNoColor);
}

TColor TsSkinManager::GetActiveEditColor() const {
    const Integer i = HasSkin(*this) ? GetSkinIndex(u"GLOBALINFO") : -1;
    return ::ColorToRGB(i >= 0 ? gd()[static_cast<std::size_t>(i)].HotColor : clWindow);
}

TColor TsSkinManager::GetActiveEditFontColor() const {
    const Integer i = HasSkin(*this) ? GetSkinIndex(u"EDIT") : -1;
    return ::ColorToRGB(i >= 0 ? StateProps(gd()[static_cast<std::size_t>(i)], 0).FontColor.Color : clWindowText);
}

TColor TsSkinManager::GetHighLightColor(bool Focused) const {
    if (HasSkin(*this)) {
        const Integer s = GetSkinIndex(u"SELECTION");
        TColor c = -1;
        if (s >= 0) {
            const TsGeneralData& d = gd()[static_cast<std::size_t>(s)];
            c = StateProps(d, Focused ? 1 : 0).Color;
        }
        if (c != -1 && c != kNoColor) return ::ColorToRGB(c);
        const Integer m = GetSkinIndex(u"MENUITEM");
        if (m >= 0) {
            const TColor h = gd()[static_cast<std::size_t>(m)].HotColor;
            if (h != kNoColor && h != 0xFFFFFF && h != -1) return ::ColorToRGB(h);
        }
    }
    return ::ColorToRGB(clHighlight);
}

TColor TsSkinManager::GetHighLightFontColor(bool Focused) const {
    if (HasSkin(*this)) {
        const Integer s = GetSkinIndex(u"SELECTION");
        TColor c = -1;
        if (s >= 0) {
            const TsGeneralData& d = gd()[static_cast<std::size_t>(s)];
            c = StateProps(d, Focused ? 1 : 0).FontColor.Color;
        }
        if (c != -1 && c != kNoColor) return ::ColorToRGB(c);
        const Integer m = GetSkinIndex(u"MENUITEM");
        if (m >= 0) {
            const TColor h = gd()[static_cast<std::size_t>(m)].HotFontColor.Color;
            if (h != kNoColor && h != 0xFFFFFF && h != -1) return ::ColorToRGB(h);
        }
    }
    return ::ColorToRGB(clHighlightText);
}

// ---------------------------------------------------------------------------
// Shadows

void TsSkinManager::CheckShadows() {
    if (!FActive || !ExtendedBorders()) {
        FormShadowSize = TRect(0, 0, 0, 0);
        return;
    }
    FShdaTemplate->Free();
    FShdiTemplate->Free();
    FShdaTemplate = New<TBitmap>();
    FShdiTemplate = New<TBitmap>();
    const Integer ex = ConstData().ExBorder;
    bool premultiplied = false;
    if (ex < 0 || !IsValidImgIndex(ex)) {
        if (acShadowActive && !acShadowActive->Empty()) FShdaTemplate->Assign(acShadowActive);
        if (acShadowInactive && !acShadowInactive->Empty()) FShdiTemplate->Assign(acShadowInactive);
        FormShadowSize = TRect(9, 9, 9, 9);
    } else {
        const TsMaskData& mask = ma()[static_cast<std::size_t>(ex)];
        const TsSkinData& d = *SkinData();
        if (d.ExDrawMode != 0) {
            const Integer v = d.ExContentOffs;
            FormShadowSize = TRect(v, v, v, v);
        } else {
            FormShadowSize = TRect(mask.WL - d.ExContentOffs, mask.WT - d.ExContentOffs, mask.WR - d.ExContentOffs,
                                   mask.WB - d.ExContentOffs);
        }
        CopyMaskFrame(*FModel, mask, 0, FShdiTemplate);
        CopyMaskFrame(*FModel, mask, mask.ImageCount <= 1 ? 0 : 1, FShdaTemplate);
        // A PNG of the skin's own was loaded with its alpha already multiplied in by the newer rule.
        premultiplied = mask.Bmp != nullptr && AlphaRuleFor(d.Version) == TacAlphaRule::Newer;
    }
    PrepareTemplateAlpha(FShdaTemplate, premultiplied);
    PrepareTemplateAlpha(FShdiTemplate, premultiplied);
}

// ---------------------------------------------------------------------------
// The hot control

void TsSkinManager::SetActiveControl(HWND Wnd) {
    if (FActiveGraphControl) {
        SetActiveGraphControl(nullptr);
        if (FActiveGraphControl) return;   // it keeps itself hot
    }
    if (Wnd == FActiveControl) return;
    const HWND previous = FActiveControl;
    FActiveControl = Wnd;
    if (previous && ::IsWindow(previous)) SendSkinCommand(previous, AC_MOUSELEAVE, reinterpret_cast<LPARAM>(this));
    if (Wnd) SendSkinCommand(Wnd, AC_MOUSEENTER, reinterpret_cast<LPARAM>(this));
}

void TsSkinManager::SetActiveGraphControl(TControl* Control) {
    if (Control == FActiveGraphControl) return;
    TControl* previous = FActiveGraphControl;
    if (!Control && previous) {
        const LRESULT state = previous->Perform(SkinCommandMessage, MakeSkinWParam(AC_GETSKINSTATE), 0);
        if (StateKeepsHot(state)) return;
    }
    if (previous) {
        previous->RemoveFreeNotification(this);
        previous->Perform(SkinCommandMessage, MakeSkinWParam(AC_MOUSELEAVE), reinterpret_cast<LPARAM>(this));
    }
    FActiveGraphControl = Control;
    if (Control) {
        Control->FreeNotification(this);
        if (FActiveControl) {
            const HWND hot = FActiveControl;
            FActiveControl = nullptr;
            if (::IsWindow(hot)) SendSkinCommand(hot, AC_MOUSELEAVE, reinterpret_cast<LPARAM>(this));
        }
    }
}

void TsSkinManager::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FActiveGraphControl) FActiveGraphControl = nullptr;
}

// ---------------------------------------------------------------------------
// The skin editor link

bool TsSkinManager::EditorLinkActive() { return gEditorLinkActive; }

namespace {
// The NUL-terminated text of a fixed field; false when it does not end inside.
bool FieldText(const char* Field, std::size_t Size, String& Text) {
    const void* nul = std::memchr(Field, 0, Size);
    if (!nul) return false;
    Text = AnsiToString(std::string_view(Field, static_cast<std::size_t>(static_cast<const char*>(nul) - Field)));
    return true;
}
}  // namespace

void TsSkinManager::WMCopyData(TMessage& Message) {
    if (!AllowEditorLink || FReading || Message.WParam != acEditorCopyDataId) return;
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
    if (!cds || !cds->lpData || cds->cbData < acEditorRecordSize) return;
    const auto* bytes = static_cast<const char*>(cds->lpData);
    Word tag = 0;
    std::memcpy(&tag, bytes, sizeof(tag));
    if (tag != acEditorTag) return;
    String options, directory, name;
    const char* p = bytes + 2;
    if (!FieldText(p, acEditorOptionsSize, options)) return;
    p += acEditorOptionsSize;
    if (!FieldText(p, acEditorDirectorySize, directory)) return;
    p += acEditorDirectorySize;
    if (!FieldText(p, acEditorNameSize, name)) return;
    if (!IsPlainSkinName(name) || directory.empty()) return;

    gEditorLinkActive = true;
    // The option text is forgotten, and an update that does not reach its
    // end is not left pending, on every way out.
    struct TForget {
        bool& Updating;
        bool Was;
        bool Ended = false;
        ~TForget() {
            gEditorOptions.clear();
            if (!Ended) Updating = Was;
        }
    } forget{NonAutoUpdate, NonAutoUpdate};
    BeginUpdate();
    gEditorOptions = options;
    SetSkinDirectory(directory);
    SetSkinName(name);
    forget.Ended = true;
    EndUpdate(true, false);
    Message.Result = 1;
}

// ---------------------------------------------------------------------------
// The application window

bool TsSkinManager::MainWindowHook(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SYSCOMMAND: {
        if (!FActive || !SkinData()->Active) return false;
        const UINT command = static_cast<UINT>(Message.WParam) & 0xFFF0;
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        const bool appMinimized = Application && Application->HandleAllocated() && ::IsIconic(Application->Handle());
        TacFormProvider* provider = main && main->Visible() ? GetFormProvider(main) : nullptr;
        if (command == SC_MINIMIZE) {
            ShowState = TShowAction::saMinimize;
            if (appMinimized || !provider) return false;
            if (!FAnimEffects->Minimizing()->Active()) {
                provider->ReleaseBorderForm();
                return false;
            }
            if (!provider->FDrawNonClientArea) return false;
            provider->StartMinimizeAnimation();
            if (AeroEnabledQuery && AeroEnabledQuery()) return false;
            {
                TacSysAnimationOff noAnimation;
                Application->Minimize();
            }
            return true;
        }
        if (command == SC_RESTORE) {
            ShowState = TShowAction::saRestore;
            if (!provider || !FAnimEffects->Minimizing()->Active() || !provider->FDrawNonClientArea) return false;
            ::InvalidateRect(main->Handle(), nullptr, TRUE);
            if (AeroEnabledQuery && AeroEnabledQuery()) return false;
            {
                TacSysAnimationOff noAnimation;
                Application->Restore();
            }
            return true;
        }
        ShowState = TShowAction::saIgnore;
        return false;
    }
    case WM_THEMECHANGED:
        Message.Result = 0;
        return true;
    case CM_ACTIVATE:
        if (Screen)
            for (int i = Screen->FormCount() - 1; i >= 0; --i)
                if (i < Screen->FormCount()) SendSkinCommandToControl(Screen->Forms(i), AC_PREPARING, 0);
        return false;
    case acMenuItemBorder: {
        // wParam the popup's menu handle, lParam the item's position: the
        // popup's window is the menu window that shows that menu.
        if (!FSkinnedPopups) return false;
        HMENU menu = reinterpret_cast<HMENU>(Message.WParam);
        if (!menu || !::IsMenu(menu) || Message.LParam < 0 || Message.LParam >= ::GetMenuItemCount(menu)) return true;
        for (HWND wnd = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); wnd;
             wnd = ::FindWindowExW(nullptr, wnd, L"#32768", nullptr)) {
            if (reinterpret_cast<HMENU>(::SendMessageW(wnd, MN_GETHMENU, 0, 0)) == menu) {
                FSkinableMenus->FoundMenuWindow(wnd, menu);
                break;
            }
        }
        return true;
    }
    case acMenuWindowBorder: {
        if (!FSkinnedPopups) return false;
        const HWND wnd = reinterpret_cast<HWND>(Message.LParam);
        wchar_t cls[16] = {};
        if (!wnd || !::GetClassNameW(wnd, cls, 16) || std::wcscmp(cls, L"#32768") != 0) return false;
        FSkinableMenus->FoundMenuWindow(wnd, reinterpret_cast<HMENU>(::SendMessageW(wnd, MN_GETHMENU, 0, 0)));
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Unit start-up

void sSkinManagerInitialization() {
    gNTFamily = -1;
    IsNTFamily();
    if (!acShadowActive) acShadowActive = LoadShadowResource(L"acSHDA");
    if (!acShadowInactive) acShadowInactive = LoadShadowResource(L"acSHDI");
    if (acCommandLineHas(u"/acver"))
        ShowMessageDlg(u"Kestrune skin engine v7.62", mtInformation, TMsgDlgButtons{mbOK}, 0);
}

void sSkinManagerFinalization() {
    if (acShadowActive) acShadowActive->Free();
    if (acShadowInactive) acShadowInactive->Free();
    acShadowActive = acShadowInactive = nullptr;
}
