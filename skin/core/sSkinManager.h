// The skin manager component: where the skins are, which one is chosen, and
// the options the program's form definition sets.
#pragma once

#include "Classes.h"
#include "Graphics.h"
#include "Strings.h"

enum class TacSkinTypes { stUnpacked = 0, stPacked = 1, stAllSkins = 2 };

// The skin directory made absolute against the program's folder (which ends
// with a separator): "..\x" climbs one level, ".\x" and "./x" and a plain
// relative name are taken inside the program's folder; a text with ":" or
// "\\" is used as it stands. No separator is added at the end.
String ResolveSkinDirectory(const String& Directory, const String& ProgramFolder);
// Names of the skins in a folder: sub-folders holding "Options.dat" and files
// ending exactly in ".asz" (the name up to its first "."); names beginning
// with "." are skipped. Sorted without regard to case; duplicates stay.
void ListSkinNames(const String& FullDirectory, TacSkinTypes SkinType, TStrings& Names);
// The folder of the running program, with its closing separator.
String ProgramFolder();

class TsSkinManager;

// Options of the menu skinner that the form definition sets.
class TacMenuSupport : public TPersistent {
public:
    KES_CLASS_NAME(TacMenuSupport)
    TacMenuSupport();
    ~TacMenuSupport() override;
    String IcoLineSkin = u"ICOLINE";
    TFont* ExtraLineFont() const { return FExtraLineFont; }

private:
    TFont* FExtraLineFont;
};

// The class-name lists of foreign controls the engine adapts.
class TacThirdPartyList : public TPersistent {
public:
    KES_CLASS_NAME(TacThirdPartyList)
    String ThirdEdits, ThirdButtons, ThirdBitBtns, ThirdCheckBoxes, ThirdGroupBoxes, ThirdListViews, ThirdPanels,
        ThirdGrids, ThirdTreeViews, ThirdComboBoxes, ThirdWWEdits, ThirdVirtualTrees, ThirdGridEh, ThirdPageControl,
        ThirdTabControl, ThirdToolBar, ThirdStatusBar, ThirdSpeedButton, ThirdScrollControl, ThirdUpDown;
};

class TsSkinManager : public TComponent {
public:
    KES_CLASS_NAME(TsSkinManager)
    explicit TsSkinManager(TComponent* AOwner);
    ~TsSkinManager() override;

    const String& SkinDirectory() const { return FSkinDirectory; }
    void SetSkinDirectory(const String& value);
    String GetFullSkinDirectory() const;
    // Fills Names with the skins found and returns the first one (empty when none).
    String GetSkinNames(TStrings* Names, TacSkinTypes SkinType = TacSkinTypes::stAllSkins);

    const String& SkinName() const { return FSkinName; }
    void SetSkinName(const String& value);
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    String SkinInfo() const { return u"N/A"; }
    String Version() const { return u"7.62"; }
    bool IsDefault() const { return FIsDefault; }

    TacMenuSupport* MenuSupport() const { return FMenuSupport; }
    TacThirdPartyList* ThirdParty() const { return FThirdParty; }
    TNotifyEvent OnSkinListChanged;
    TNotifyEvent OnBeforeChange;
    TNotifyEvent OnAfterChange;

private:
    String FSkinDirectory;
    String FSkinName;
    bool FActive = true;
    bool FIsDefault = false;
    TacMenuSupport* FMenuSupport;
    TacThirdPartyList* FThirdParty;
};

// The first manager created; nullptr when none exists.
extern TsSkinManager* DefaultManager;
