// The model of a loaded skin: global options, one record per ini section, the
// images and patterns, the cached indexes of the fixed sections, and the
// loader that fills it from the skin's ini text ("Options.dat"). The skin
// manager owns one TacSkinModel and forwards its look-ups to it. Portable: no
// Windows header; what needs the system (colour conversion, the frame width,
// the version notices) is handed in by the manager.
#pragma once

#include <array>
#include <memory>

#include "Delegates.h"
#include "Strings.h"
#include "sConst.h"
#include "sMaskData.h"

class TacSkinSource;

// A skin that cannot be loaded as a whole: its option text holds no section
// (an empty, binary or foreign text is no skin, and loading it would leave
// the program without any look). The message names what is at fault.
KES_DECLARE_EXCEPTION(EacSkinError, Exception)

// Global options of the skin, from the section "GLOBALINFO".
struct TsSkinOptions {
    String SkinPath;   // the skin's folder, with a closing "\"
    bool Active = false;
    double Version = 0;
    String Author;
    String Description;
    TColor Shadow1Color = 0;
    SmallInt Shadow1Offset = 0;
    SmallInt Shadow1Blur = -1;
    SmallInt Shadow1Transparency = 0;   // percent, 0..100
    SmallInt ExBorderWidth = 4;
    SmallInt ExTitleHeight = 30;
    SmallInt ExMaxHeight = 30;
    SmallInt ExContentOffs = 0;
    SmallInt ExShadowOffs = 0;
    SmallInt ExCenterOffs = 0;
    SmallInt ExDrawMode = 0;
    TColor FXColor = 0;
    TColor BorderColor = 0;
    SmallInt BISpacing = 0;
    SmallInt BIVAlign = 0;
    SmallInt BIRightMargin = 0;
    SmallInt BILeftMargin = 0;
    SmallInt BITopMargin = 0;
    SmallInt BIKeepHUE = 0;
    SmallInt BICloseGlow = 0;
    SmallInt BICloseGlowMargin = 0;
    SmallInt BIMaxGlow = 0;
    SmallInt BIMaxGlowMargin = 0;
    SmallInt BIMinGlow = 0;
    SmallInt BIMinGlowMargin = 0;
    bool UseAeroBluring = false;
    TColor ExtShadowColor = 0;
};

class TsSkinData : public TObject, public TsSkinOptions {
public:
    KES_CLASS_NAME(TsSkinData)
};

// The text colour and its contour on each side (-1: no contour).
struct TsFontColor {
    TColor Color = 0;
    TColor Left = -1;
    TColor Top = -1;
    TColor Right = -1;
    TColor Bottom = -1;
    friend bool operator==(const TsFontColor&, const TsFontColor&) = default;
};

// The look of one state of a section.
struct TsGenState {
    TColor Color = 0;
    TsFontColor FontColor;
    Integer GradientPercent = 0;
    String GradientData;
    TsGradArray GradientArray;
    Integer ImagePercent = 0;
    TColor GlowColor = 0;
    Byte GlowSize = 0;
    Integer Transparency = 0;
    friend bool operator==(const TsGenState&, const TsGenState&) = default;
};

// Index 0 the normal state, 1 the hot state.
using TsProps = std::array<TsGenState, 2>;

// One section of the skin. Percentages are 0..100.
struct TsGeneralData {
    String ParentClass;
    String ClassName;
    Integer States = 4;
    TsProps Props;
    bool GiveOwnFont = false;
    bool ReservedBoolean = false;
    bool ShowFocus = false;
    Integer GlowCount = 0;
    Integer GlowMargin = 0;
    Integer BorderIndex = -1;
    Integer ImgTL = -1, ImgTR = -1, ImgBL = -1, ImgBR = -1;
    Integer TextureNormal = -1;

    TColor Color = 0xFFFFFF;
    Integer Transparency = 0;
    Integer GradientPercent = 0;
    String GradientData = u" ";
    TsGradArray GradientArray;
    Integer ImagePercent = 0;
    TsFontColor FontColor;

    TColor HotColor = 0;
    Integer HotTransparency = 0;
    Integer HotGradientPercent = 0;
    String HotGradientData;
    TsGradArray HotGradientArray;
    Integer HotImagePercent = 0;
    TsFontColor HotFontColor{0, 0, 0, 0, 0};

    bool FadingEnabled = false;
    Integer FadingIterations = 5;
    TColor HotGlowColor = 0;
    TColor GlowColor = 0xFFFFFF;
    Byte HotGlowSize = 0;
    Byte GlowSize = 0;
};
using TsGeneralDataArray = std::vector<TsGeneralData>;

// The look of a section for a control state (0 normal, 1 hot, 2 pressed, ...):
// the hot record for any state above 0 when the section defines more than
// one state, else the normal one. Every painter picks a section's colours,
// font colours, glow and transparency through this.
Integer StatePropsIndex(const TsGeneralData& Section, Integer State);
const TsGenState& StateProps(const TsGeneralData& Section, Integer State);
// The section state painted for a control state: State limited to the
// section's last state, never below 0.
Integer SectionState(const TsGeneralData& Section, Integer State);

// Turns a system colour constant into its current RGB value.
using TacColorToRGBFunc = TDelegate<TColor(TColor Color)>;
// Called with the freshly read global options before the sections are read;
// may raise to fail the load.
using TacCheckVersionEvent = TDelegate<void(const TsSkinData& Data)>;

// The skin ini Booleans: "1" or "TRUE" in any letter case.
bool acIniBool(StringView Text);

class TacSkinModel {
public:
    TacSkinModel();
    TacSkinModel(const TacSkinModel&) = delete;
    TacSkinModel& operator=(const TacSkinModel&) = delete;

    std::unique_ptr<TsSkinData> SkinData;
    TsGeneralDataArray gd;
    TsMaskArray ma;
    TsPatternArray pa;
    TConstantSkinData ConstData;
    // The skin's master image (empty when the skin has none); the "@", "^",
    // "~" and "#" masks lie in it.
    std::shared_ptr<TacImage32> MasterBitmap;
    // Extra ini text applied over every skin (case-sensitive).
    TStringList CommonSections;
    // Applied to the images and colours at the end of LoadAllGeneralData
    // (0: unchanged). Saturation is taken modulo 101.
    Integer HueOffset = 0;
    Integer Saturation = 0;
    // Given to every mask the image step adds (set by the manager).
    TsSkinManager* Manager = nullptr;

    // Set by the manager. Without ColorToRGB, colours are kept as read.
    TacColorToRGBFunc ColorToRGB;
    TacCheckVersionEvent CheckVersion;
    // The system frame width, the default of "FORMOFFSET".
    Integer SystemFrameWidth = 0;

    // Fills SkinData and gd from the skin's ini text, applies CommonSections
    // and runs InitMaskIndexes. All or nothing: on an error (EacSkinError
    // for a text without sections, EConvertError for a strict "GLOBALINFO"
    // key or a bad gradient text, or whatever CheckVersion raises) SkinData
    // and gd are left as they were. Inheritance is resolved once per key for
    // all sections, so the time is linear in the text however deep the
    // PARENTCLASS chains go.
    void LoadAllGeneralData(const TStrings& IniLines);
    void LoadAllGeneralData(StringView IniText);
    // A whole skin load into this (fresh) model, in the order of a skin load:
    // the image step (master bitmap and masks, common sections included), the
    // pattern step, LoadAllGeneralData and InitConstantIndexes. Raises on
    // failure (EacSkinError for a text without sections, before any image is
    // read; EConvertError for a bad fixed-position field, EInvalidGraphic
    // for a broken image, each naming the section and key or the file); the
    // caller then throws the model away.
    void LoadSkin(const TStrings& IniLines, const TacSkinSource& Source);
    // The image step: releases the masks and master bitmap, then loads the
    // master bitmap ("MASTERBITMAP" of "GLOBALINFO"; always made, empty when
    // missing) and every mask named in the ini and the common sections.
    void LoadSkinImages(const TStrings& IniLines, const TacSkinSource& Source);
    // The pattern step: releases the patterns, then loads every JPEG value
    // (patterns of 900000 pixels or more, texture masks below that).
    void LoadSkinPatterns(const TStrings& IniLines, const TacSkinSource& Source);
    // Fills ConstData from gd and ma, then runs InitMaskIndexes.
    void InitConstantIndexes();
    // BorderIndex, ImgTL..ImgBR and TextureNormal of every section but "GLOBALINFO".
    void InitMaskIndexes();
    // Saturation (modulo 101), then HueOffset, over the master bitmap, the
    // masks' own bitmaps and the colours of the sections and of SkinData;
    // with BIKeepHUE the title-button images keep their hue. Run by
    // LoadAllGeneralData; 0 leaves everything as it is.
    void ApplyHueAndSaturation();

    // Look-ups compare names exactly and answer -1 when nothing is found.
    Integer GetSkinIndex(StringView SkinSection) const;
    // The mask of the section, else of its parents (PARENTCLASS chain). A
    // SkinIndex out of range gives -1; one that names another section is
    // replaced by the index of SkinSection.
    Integer GetMaskIndex(Integer SkinIndex, StringView SkinSection, StringView Mask) const;
    // The section's own mask only.
    Integer GetMaskIndex(StringView SkinSection, StringView Mask) const;
    Integer GetTextureIndex(Integer SkinIndex, StringView SkinSection, StringView PropName) const;
    Integer GetPatternIndex(Integer SkinIndex, StringView SkinSection, StringView Pattern) const;
    bool IsValidSkinIndex(Integer SkinIndex) const;
    bool IsValidImgIndex(Integer ImageIndex) const;

    // Border widths of a mask (0 for an invalid index): WL (WT, WR, WB) when
    // above 0, else BorderWidth when above 0, else one frame's width or one
    // row's height. MaskWidthLeft first turns an ImageCount of 0 into 1.
    Integer MaskWidthLeft(Integer MaskIndex);
    Integer MaskWidthTop(Integer MaskIndex) const;
    Integer MaskWidthRight(Integer MaskIndex) const;
    Integer MaskWidthBottom(Integer MaskIndex) const;

private:
    enum class TSearch { Masks, Textures, Patterns };
    Integer FindImage(TSearch What, Integer SkinIndex, StringView SkinSection, StringView Name) const;
    Integer FindOwnImage(TSearch What, StringView SkinSection, StringView Name) const;
};
