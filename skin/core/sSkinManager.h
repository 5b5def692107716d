// The skin manager component: where the skins are, which one is chosen,
// loading it into the skin model and announcing every change to the skinned
// objects of the program; and the option objects it publishes.
#pragma once

#include <array>
#include <memory>

#include "Classes.h"
#include "Forms.h"
#include "Graphics.h"
#include "Strings.h"
#include "sSkinFolders.h"
#include "sSkinMenus.h"
#include "sStyleSimply.h"

class TsSkinManager;

// ---------------------------------------------------------------------------
// Animation and effect options

enum class TacAnimType { atFading = 0, atAero = 1 };

class TacFormAnimation : public TPersistent {
public:
    KES_CLASS_NAME(TacFormAnimation)
    TacFormAnimation() = default;
    TacFormAnimation(bool Active, Word Time, TacAnimType Mode) : FTime(Time), FActive(Active), FMode(Mode) {}
    void Assign(TPersistent* Source) override;

    Word Time() const { return FTime; }
    void SetTime(Word value) { FTime = value; }
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    TacAnimType Mode() const { return FMode; }
    void SetMode(TacAnimType value) { FMode = value; }

protected:
    Word FTime = 0;
    bool FActive = true;
    TacAnimType FMode = TacAnimType::atAero;
};

class TacDialogShow : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacDialogShow)
    TacDialogShow() : TacFormAnimation(true, 0, TacAnimType::atAero) {}
};
class TacFormShow : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacFormShow)
    TacFormShow() : TacFormAnimation(true, 0, TacAnimType::atAero) {}
};
class TacFormHide : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacFormHide)
    TacFormHide() : TacFormAnimation(true, 0, TacAnimType::atAero) {}
};
class TacPageChange : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacPageChange)
    TacPageChange() : TacFormAnimation(true, 0, TacAnimType::atAero) {}
};
class TacSkinChanging : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacSkinChanging)
    TacSkinChanging() : TacFormAnimation(true, 100, TacAnimType::atFading) {}
};
class TacMinimizing : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacMinimizing)
    TacMinimizing() : TacFormAnimation(true, 200, TacAnimType::atAero) {}
};
class TacBlendOnMoving : public TacFormAnimation {
public:
    KES_CLASS_NAME(TacBlendOnMoving)
    TacBlendOnMoving() : TacFormAnimation(false, 1000, TacAnimType::atAero) {}
    void Assign(TPersistent* Source) override;
    Byte BlendValue() const { return FBlendValue; }
    void SetBlendValue(Byte value) { FBlendValue = value; }

private:
    Byte FBlendValue = 170;
};

enum TacBtnEvent { beMouseEnter, beMouseLeave, beMouseDown, beMouseUp };
using TacBtnEvents = TSet<TacBtnEvent>;

class TacBtnEffects : public TPersistent {
public:
    KES_CLASS_NAME(TacBtnEffects)
    TacBtnEvents Events{beMouseEnter, beMouseLeave, beMouseDown, beMouseUp};
    TsSkinManager* Manager = nullptr;
};

class TacAnimEffects : public TPersistent {
public:
    KES_CLASS_NAME(TacAnimEffects)
    TacAnimEffects();
    ~TacAnimEffects() override;
    TacAnimEffects(const TacAnimEffects&) = delete;
    TacAnimEffects& operator=(const TacAnimEffects&) = delete;

    TacBtnEffects* Buttons() const { return FButtons; }
    TacDialogShow* DialogShow() const { return FDialogShow; }
    TacFormShow* FormShow() const { return FFormShow; }
    TacFormHide* FormHide() const { return FFormHide; }
    TacSkinChanging* SkinChanging() const { return FSkinChanging; }
    TacPageChange* PageChange() const { return FPageChange; }
    TacFormHide* DialogHide() const { return FDialogHide; }
    TacMinimizing* Minimizing() const { return FMinimizing; }
    TacBlendOnMoving* BlendOnMoving() const { return FBlendOnMoving; }
    TsSkinManager* Manager = nullptr;

private:
    TacBtnEffects* FButtons;
    TacDialogShow* FDialogShow;
    TacFormShow* FFormShow;
    TacFormHide* FFormHide;
    TacSkinChanging* FSkinChanging;
    TacPageChange* FPageChange;
    TacFormHide* FDialogHide;
    TacMinimizing* FMinimizing;
    TacBlendOnMoving* FBlendOnMoving;
};

class TacSkinEffects : public TPersistent {
public:
    KES_CLASS_NAME(TacSkinEffects)
    // True when allowed, layered windows exist (or the manager is designed)
    // and this is not a 32-bit program on 64-bit Windows without desktop
    // composition.
    bool AllowGlowing() const;
    void SetAllowGlowing(bool value) { FAllowGlowing = value; }
    bool AllowAeroBluring = true;
    TsSkinManager* Manager = nullptr;

private:
    bool FAllowGlowing = true;
};

// ---------------------------------------------------------------------------
// Skins stored in the form

class TsStoredSkins;

class TsStoredSkin : public TPersistent {
public:
    KES_CLASS_NAME(TsStoredSkin)
    explicit TsStoredSkin(TsStoredSkins* Collection);
    ~TsStoredSkin() override;
    TsStoredSkin(const TsStoredSkin&) = delete;
    TsStoredSkin& operator=(const TsStoredSkin&) = delete;
    // Copies the packed data, name, master bitmap, shadow values, border
    // colour, version, author and description of another stored skin.
    void Assign(TPersistent* Source) override;

    String Name;
    TBitmap* MasterBitmap() const { return FMasterBitmap; }
    double Version = 0;
    String Description;
    String Author;
    Integer Shadow1Offset = 0;
    TColor Shadow1Color = 0;
    Integer Shadow1Blur = -1;
    Integer Shadow1Transparency = 0;
    TColor BorderColor = kNoColor;
    // The packed skin.
    TMemoryStream* PackedData() const { return FPackedData; }

    // The binary property "Data": a 32-bit byte count, then the packed
    // bytes. Reading checks the count against what the stream holds
    // (EReadError) and replaces PackedData only when all was read.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream) const;

    TsStoredSkins* Collection() const { return FCollection; }

private:
    TsStoredSkins* FCollection;
    TBitmap* FMasterBitmap;
    TMemoryStream* FPackedData;
};

class TsStoredSkins : public TPersistent {
public:
    KES_CLASS_NAME(TsStoredSkins)
    explicit TsStoredSkins(TsSkinManager* Owner) : FOwner(Owner) {}
    ~TsStoredSkins() override;
    TsStoredSkins(const TsStoredSkins&) = delete;
    TsStoredSkins& operator=(const TsStoredSkins&) = delete;

    TsStoredSkin* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TsStoredSkin* Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)); }
    void Delete(int Index);
    void Clear();
    // The first stored skin whose name equals SkinName exactly; -1 when none.
    int IndexOf(StringView SkinName) const;
    // An item changed: tells the owner's OnSkinListChanged.
    virtual void Update(TsStoredSkin* Item);
    // Assignment is ignored.
    void Assign(TPersistent*) override {}
    TsSkinManager* Owner() const { return FOwner; }

private:
    TsSkinManager* FOwner;
    std::vector<TsStoredSkin*> FItems;
};

// ---------------------------------------------------------------------------
// Foreign control classes

// The twenty class-name lists of foreign controls the engine adapts (one name
// a line; " " means none), in the order of the kinds of acThirdNames.
class ThirdPartyList : public TPersistent {
public:
    KES_CLASS_NAME(ThirdPartyList)
    String ThirdEdits, ThirdButtons, ThirdBitBtns, ThirdCheckBoxes, ThirdComboBoxes, ThirdGrids, ThirdGroupBoxes,
        ThirdListViews, ThirdPanels, ThirdTreeViews, ThirdWWEdits, ThirdGridEh, ThirdVirtualTrees, ThirdPageControl,
        ThirdTabControl, ThirdToolBar, ThirdStatusBar, ThirdSpeedButton, ThirdScrollControl, ThirdUpDown;
    // The list of a kind; an index outside 0..19 leaves Value unchanged.
    void GetByIndex(int Index, String& Value) const;
    String GetByIndex(int Index) const;
    // An index outside 0..19 changes nothing.
    void SetByIndex(int Index, const String& Value);
};
using TacThirdPartyList = ThirdPartyList;

// Options of the menu skinner that the form definition sets.
class TacMenuSupport : public TPersistent {
public:
    KES_CLASS_NAME(TacMenuSupport)
    TacMenuSupport();
    ~TacMenuSupport() override;
    TacMenuSupport(const TacMenuSupport&) = delete;
    TacMenuSupport& operator=(const TacMenuSupport&) = delete;
    // Section of the strip behind the item glyphs.
    String IcoLineSkin = u"ICOLINE";
    // A strip down the left of every popup (see the manager's
    // OnGetPopupLineData) and its width.
    bool UseExtraLine = false;
    Integer ExtraLineWidth = 32;
    TFont* ExtraLineFont() const { return FExtraLineFont; }
    void SetExtraLineFont(TFont* Value) { FExtraLineFont->Assign(Value); }
    // The opacity of popup windows (255: opaque).
    Byte AlphaBlend = 255;

private:
    TFont* FExtraLineFont;
};

enum TacSkinningRule { srStdForms, srStdDialogs, srThirdParty };
using TacSkinningRules = TSet<TacSkinningRule>;
// A pending window state to show (saMaximize: the skin provider's WM_SHOWWINDOW and WM_NCACTIVATE).
enum class TShowAction { saIgnore, saMinimize, saRestore, saMaximize };

// The record a skin editor sends with WM_COPYDATA (wParam 7): a tag, then
// NUL-terminated 8-bit texts in fields of fixed size.
constexpr Word acEditorTag = 0xA400;
constexpr std::size_t acEditorOptionsSize = 30001;
constexpr std::size_t acEditorDirectorySize = 513;
constexpr std::size_t acEditorNameSize = 128;
constexpr std::size_t acEditorRecordSize = 2 + acEditorOptionsSize + acEditorDirectorySize + acEditorNameSize;
constexpr WPARAM acEditorCopyDataId = 7;

// ---------------------------------------------------------------------------
// The manager

class TsSkinManager : public TComponent {
public:
    KES_CLASS_NAME(TsSkinManager)
    explicit TsSkinManager(TComponent* AOwner);
    ~TsSkinManager() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // Where the skins are.
    const String& SkinDirectory() const { return FSkinDirectory; }
    void SetSkinDirectory(const String& value);
    String GetFullSkinDirectory() const;
    // Fills Names with the skins found and returns the first one (empty when none).
    String GetSkinNames(TStrings* Names, TacSkinTypes SkinType = TacSkinTypes::stAllSkins);

    // The chosen skin; setting it loads it. A failed load shows its message
    // in the engine's message box and keeps the previous skin, its name and
    // its look; nothing is announced then.
    const String& SkinName() const { return FSkinName; }
    void SetSkinName(const String& value);
    bool Active() const { return FActive; }
    void SetActive(bool value);
    // Load the current skin from its folder (or a stored skin) or from its
    // packed file into a fresh model that replaces the current one only when
    // everything was read. Raise on failure.
    void ReloadSkin();
    void ReloadPackedSkin();

    void AnnounceNewSkin(bool Repaint);
    void AnnounceSkinRemoval();
    void RepaintForms(bool DoLockForms = true);
    void UpdateSkin(bool Repaint = true);
    void BeginUpdate() { NonAutoUpdate = true; }
    void EndUpdate(bool Repaint = true, bool AllowAnimation = true);

    void InstallHook();
    void UnInstallHook();
    // The window-creation hook is in place.
    static bool HookInstalled();
    static HHOOK HookHandle();

    String SkinInfo() const;
    String Version() const { return u"7.62"; }
    bool IsDefault() const { return DefaultManagerIs(this); }
    void SetIsDefault(bool value);
    TacSkinningRules SkinningRules() const { return FSkinningRules; }
    void SetSkinningRules(TacSkinningRules value);
    bool SkinnedPopups() const { return FSkinnedPopups; }
    // Switched on at run time on the default manager, the application's
    // menus are hooked again.
    void SetSkinnedPopups(bool value);
    // The menu skinner.
    TsSkinableMenus* SkinableMenus() const { return FSkinableMenus; }
    // Asks for the extra line of each popup (UseExtraLine of MenuSupport).
    TacGetExtraLineData OnGetPopupLineData;
    bool ExtendedBorders() const;
    void SetExtendedBorders(bool value);
    Integer HueOffset() const { return FHueOffset; }
    void SetHueOffset(Integer value);
    Integer Saturation() const { return FSaturation; }
    void SetSaturation(Integer value);
    const TStringList& CommonSections() const { return FCommonSections; }
    void SetCommonSections(const TStrings& value);
    bool AllowGlowing() const { return FEffects->AllowGlowing(); }

    TacMenuSupport* MenuSupport() const { return FMenuSupport; }
    ThirdPartyList* ThirdParty() const { return FThirdParty; }
    TacAnimEffects* AnimEffects() const { return FAnimEffects; }
    TacSkinEffects* Effects() const { return FEffects; }
    TsStoredSkins* InternalSkins() const { return FBuiltInSkins; }
    // The case-sensitive class lists the form skinner searches, one per kind.
    const TStringList& ThirdLists(int Kind) const { return *FThirdLists.at(static_cast<std::size_t>(Kind)); }
    void UpdateThirdNames();

    TNotifyEvent OnSkinListChanged;
    TNotifyEvent OnBeforeChange;
    TNotifyEvent OnAfterChange;

    // The skin model and its look-ups.
    const TacSkinModel& Model() const { return *FModel; }
    TsSkinData* SkinData() const { return FModel->SkinData.get(); }
    const TsGeneralDataArray& gd() const { return FModel->gd; }
    const TsMaskArray& ma() const { return FModel->ma; }
    const TsPatternArray& pa() const { return FModel->pa; }
    const TConstantSkinData& ConstData() const { return FModel->ConstData; }
    const std::shared_ptr<TacImage32>& MasterBitmap() const { return FModel->MasterBitmap; }
    bool SkinIsPacked() const { return FSkinIsPacked; }
    Integer GetSkinIndex(StringView SkinSection) const { return FModel->GetSkinIndex(SkinSection); }
    Integer GetMaskIndex(Integer SkinIndex, StringView SkinSection, StringView Mask) const {
        return FModel->GetMaskIndex(SkinIndex, SkinSection, Mask);
    }
    Integer GetMaskIndex(StringView SkinSection, StringView Mask) const { return FModel->GetMaskIndex(SkinSection, Mask); }
    Integer GetTextureIndex(Integer SkinIndex, StringView SkinSection, StringView PropName) const {
        return FModel->GetTextureIndex(SkinIndex, SkinSection, PropName);
    }
    Integer GetPatternIndex(Integer SkinIndex, StringView SkinSection, StringView Pattern) const {
        return FModel->GetPatternIndex(SkinIndex, SkinSection, Pattern);
    }
    bool IsValidSkinIndex(Integer SkinIndex) const { return FModel->IsValidSkinIndex(SkinIndex); }
    bool IsValidImgIndex(Integer ImageIndex) const { return FModel->IsValidImgIndex(ImageIndex); }
    Integer MaskWidthLeft(Integer MaskIndex) { return FModel->MaskWidthLeft(MaskIndex); }
    Integer MaskWidthTop(Integer MaskIndex) const { return FModel->MaskWidthTop(MaskIndex); }
    Integer MaskWidthRight(Integer MaskIndex) const { return FModel->MaskWidthRight(MaskIndex); }
    Integer MaskWidthBottom(Integer MaskIndex) const { return FModel->MaskWidthBottom(MaskIndex); }

    // Colours of the skin (RGB), or the system's without a skin.
    TColor GetGlobalColor() const;
    TColor GetGlobalFontColor() const;
    TColor GetActiveEditColor() const;
    TColor GetActiveEditFontColor() const;
    TColor GetHighLightColor(bool Focused = true) const;
    TColor GetHighLightFontColor(bool Focused = true) const;

    // The shadow templates of the extended border.
    void CheckShadows();
    TBitmap* ShdaTemplate() const { return FShdaTemplate; }
    TBitmap* ShdiTemplate() const { return FShdiTemplate; }
    TRect FormShadowSize;

    // The hot window and the hot graphic control.
    void SetActiveControl(HWND Wnd);
    HWND ActiveControl() const { return FActiveControl; }
    void SetActiveGraphControl(TControl* Control);
    TControl* ActiveGraphControl() const { return FActiveGraphControl; }

    // The skin editor link: a skinned form hands its WM_COPYDATA here. A
    // record is taken only while AllowEditorLink is set, and only when it
    // has its full size, every text ends inside its field and the skin
    // name holds no path; then it answers 1.
    bool AllowEditorLink = false;
    void WMCopyData(TMessage& Message);
    // The editor link was used in this process.
    static bool EditorLinkActive();

    // The main-window hook of the default manager (answers whether it
    // handled the message).
    bool MainWindowHook(TMessage& Message);

    bool NonAutoUpdate = false;
    TShowAction ShowState = TShowAction::saIgnore;
    bool SkinRemoving = false;

protected:
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    static bool DefaultManagerIs(const TsSkinManager* m);
    std::unique_ptr<TacSkinModel> NewModel() const;
    void TakeModel(std::unique_ptr<TacSkinModel> Model, bool Packed);
    void DoCheckVersion(const TsSkinData& Data);
    TColor DoColorToRGB(TColor Color);
    bool PackedFileExists() const;
    // Reloads the current skin after an option changed; a failure is shown.
    void ReloadForOption();
    void UpdateCommonDlgs();
    void SetDefault();

    String FSkinDirectory;
    String FSkinName;
    bool FActive = true;
    TsStoredSkins* FBuiltInSkins;
    TsSkinableMenus* FSkinableMenus = nullptr;
    bool FSkinnedPopups = true;
    TStringList FCommonSections;
    TacMenuSupport* FMenuSupport;
    TacAnimEffects* FAnimEffects;
    HWND FActiveControl = nullptr;
    TacSkinningRules FSkinningRules{srStdForms, srStdDialogs, srThirdParty};
    ThirdPartyList* FThirdParty;
    bool FExtendedBorders = false;
    TacSkinEffects* FEffects;
    TControl* FActiveGraphControl = nullptr;
    bool FSkinIsPacked = false;
    TBitmap* FShdaTemplate = nullptr;
    TBitmap* FShdiTemplate = nullptr;
    Integer FHueOffset = 0;
    Integer FSaturation = 0;
    std::array<TStringList*, acThirdKindCount> FThirdLists{};
    std::unique_ptr<TacSkinModel> FModel;
    bool FMainHooked = false;
    bool FReading = false;   // a skin's files are being read into a new model
};

// The first manager created; nullptr when none exists.
extern TsSkinManager* DefaultManager;
// Set while a skin is being loaded and announced.
extern bool acSkinLoading;
// Set while a new skin is announced; the first skinned object that takes the
// announcement from its own manager clears it.
extern bool acSkinAnnouncing;
// The program's command-line arguments (without the program's name); tests
// may replace it.
extern std::vector<String> (*acCommandLineArgs)();
// An argument, lower-cased, equals Switch.
bool acCommandLineHas(StringView Switch);
// The shadow images of the program's resources ("acSHDA", "acSHDI"); empty
// bitmaps when the resources are missing.
extern TBitmap* acShadowActive;
extern TBitmap* acShadowInactive;
// Called when a skin becomes active (true) or is removed (false); set by
// other units, nothing by default.
extern void (*acSkinChangedNotify)(bool Active);
extern void (*acSkinChangedNotify2)();
// The framework uses the classic file dialogs (set by the default manager).
extern bool acUseClassicDialogs;

// Start-up of the manager's unit: the NT flag, the shadow images, "/acver".
void sSkinManagerInitialization();
void sSkinManagerFinalization();
