// The skin state every skinned object owns (skinned control, window adapter,
// form skinner): its section and the indexes found for it in the skin, its
// cached 32-bit image, its update and hot/focus tracking; how it answers the
// skin command message (HandleSkinCommand) and the shared first steps of
// every skinned window procedure (HandleCommonMessage); and the copy of a
// cached image to the screen that leaves child controls out. Win32, main
// thread only.
#pragma once

#include "Forms.h"
#include "TypInfo.h"
#include "acMaskPaint.h"
#include "sCommonData.h"
#include "sConst.h"
#include "sMessages.h"

class TsSkinManager;

// Bits of TsCommonData::CtrlSkinState.
constexpr Word ACS_PLAINBG = 0x0001;       // the owner paints a plain background: children need not ask for its image
constexpr Word ACS_PRINTING = 0x0200;      // the owner is being printed into PrintDC
constexpr Word ACS_MENUCHANGED = 0x0400;   // the owner's menu changed
constexpr Word ACS_LOCKED = 0x0800;        // inside BeginUpdate

// clBtnFace and clWindow / clWindowText as system colour constants.
constexpr TColor acBtnFaceColor = static_cast<TColor>(0xFF00000F);

// The record at lParam of command 15: the second field names the section.
struct TacSectionRecord {
    Integer Reserved = 0;
    const char16_t* SectionName = nullptr;   // NUL-terminated; nullptr or empty: "UNKNOWN"
};

class TsCommonData : public TPersistent, public IacHotState {
public:
    KES_CLASS_NAME(TsCommonData)
    // AOwner: the control or object the state belongs to. With CreateCacheBmp
    // a 0 x 0 work bitmap becomes the cache.
    TsCommonData(TObject* AOwner, bool CreateCacheBmp);
    ~TsCommonData() override;
    TsCommonData(const TsCommonData&) = delete;
    TsCommonData& operator=(const TsCommonData&) = delete;

    // After the owner was loaded: the default section, then the parent form
    // is told and the skin colours applied.
    void Loaded();
    // Looks the section up again in the manager's skin: SkinIndex,
    // BorderIndex, Texture, HotTexture, BGType and CtrlSkinState.
    void UpdateIndexes();
    // The section by the control kind when none is set (then UpdateIndexes).
    void SetDefaultSection();
    // Recomputes the plain-background bit; with AllChildren every child
    // recomputes its own (command 36 with lParam 1).
    void UpdateCtrlState(bool AllChildren);
    void UpdateBGType();

    // The section is found in a usable skin of a live manager; with
    // CheckSkinActive the skin must also be active.
    bool Skinned(bool CheckSkinActive = false) const;
    // The own manager, else the default manager (may be nullptr).
    TsSkinManager* SkinManager() const;
    TsSkinManager* GetSkinManager() const { return SkinManager(); }
    // The owner must not paint now (it or its parent is updating).
    bool GetUpdating() const;
    bool Updating() const { return GetUpdating(); }
    void SetUpdating(bool Value) { FUpdating = Value; }
    // Marks the cache stale and repaints the owner.
    void Invalidate();
    void BeginUpdate();
    void EndUpdate(bool Repaint = false);
    // The owner must be repainted when it moves.
    bool RepaintIfMoved() const;
    // Creates the cache when missing and sizes it to the owner control.
    void InitCacheBmp();
    // Before the owner paints its cache: the cache is stale when the owner
    // or its parent lay partly outside their parent's client area last
    // time; then HalfVisible tells whether the owner does now.
    void CheckHalfVisible();
    // The widest border of the section's border mask (0 without one).
    Integer MaxBorderWidth() const;
    // The section's colour and font colour given to an edit-like owner.
    void ApplySkinColors(bool Repaint);
    // Children of the owner must ask for the image under them.
    bool NeedsParentBG() const;
    bool ControlIsActive() const;
    bool HasComplexBG() const;
    // The owner's background colour in a state; Handle for a bare window.
    TColor GetBGColor(Integer State, HWND Handle) const;
    // The answer to command 34 (Info.R, Offset, PleaseDraw and DC are the asker's).
    void GetBGInfo(TBackgroundInfo& Info, Integer State, HWND Handle);
    // Where the image under the owner lies.
    void GetParentCache(TCacheInfo& CI) const;
    // Shows or hides the glow of the owner (through the glow hooks below).
    void UpdateGlow(bool HideOnly, HWND Handle);

    // Published properties.
    const String& SkinSection() const { return FSkinSection; }
    void SetSkinSection(const String& Value);
    void SetSkinManager(TsSkinManager* Value);
    bool CustomColor() const { return FCustomColor; }
    void SetCustomColor(bool Value);
    bool CustomFont() const { return FCustomFont; }
    void SetCustomFont(bool Value);
    Integer HUEOffset() const { return FHUEOffset; }
    void SetHUEOffset(Integer Value);
    Integer Saturation() const { return FSaturation; }
    void SetSaturation(Integer Value);
    // The own manager is stored only when set.
    bool ManagerStored() const { return FSkinManager != nullptr; }

    // The owner is hot (the mouse is above it): the answer a manager reads
    // through command 37.
    bool IsHot() const override { return FMouseAbove; }

    TControl* OwnerControl() const { return FOwnerControl; }
    TObject* OwnerObject() const { return FOwnerObject; }

    String FSkinSection;
    bool FCustomFont = false;
    bool FCustomColor = false;
    Integer FUpdateCount = 0;
    Integer FHUEOffset = 0;
    Integer FSaturation = 0;
    Integer GlowID = -1;
    bool FUpdating = false;
    TsSkinManager* FSkinManager = nullptr;
    Integer BorderIndex = -1;
    Integer SkinIndex = -1;
    Integer Texture = -1;
    Integer HotTexture = -1;
    void* GraphControl = nullptr;
    bool UrgentPainting = false;
    bool BGChanged = true;
    bool HalfVisible = true;
    TControl* FOwnerControl = nullptr;
    TObject* FOwnerObject = nullptr;
    TBitmap* FCacheBmp = nullptr;
    HRGN FRegion = nullptr;
    Integer COC = 0;
    bool FFocused = false;
    bool FMouseAbove = false;
    Word CtrlSkinState = 0;
    Word BGType = 0;
    HDC PrintDC = nullptr;
    TRect InvalidRectH{0, 0, 0, 0};
    TRect InvalidRectV{0, 0, 0, 0};
};

// The type of the SkinData property of every skinned control; it publishes
// the hue and saturation changes as well.
class TsCtrlSkinData : public TsCommonData {
public:
    KES_CLASS_NAME(TsCtrlSkinData)
    using TsCommonData::TsCommonData;
};

// Answers the skin commands a skin state answers; True when the command was
// answered. False for nullptr or another message. Commands whose lParam is an
// address are ignored when another thread (or process) sent them.
bool HandleSkinCommand(TMessage& Message, TsCommonData* SkinData);
// The shared first steps of every skinned window procedure; True means the
// message is swallowed.
bool HandleCommonMessage(TMessage& Message, TsCommonData* SkinData);
// GetParentCache for a bare window.
void GetParentCacheHwnd(HWND Handle, TCacheInfo& CI);
// The section whose font colours a transparent control uses: the nearest
// parent section that is not mostly transparent and gives its own font,
// else Default.
Integer GetParentSkinIndex(TControl* Control, Integer Default, TsSkinManager* Manager, Integer State);
// Copies the Dst-sized area of the cache at Src's top-left to Dst of DC,
// leaving out the child controls (windows) that cover their own area; the
// children's rectangles are moved by (OffsetX, OffsetY). With UpdateCorners
// the border corners are first repainted into the cache.
void CopyCacheExcludingControls(TWinControl* Control, TsCommonData* SkinData, const TRect& Src, const TRect& Dst,
                                HDC DC, bool UpdateCorners = false, Integer OffsetX = 0, Integer OffsetY = 0);
void CopyCacheExcludingWindows(HWND Wnd, TsCommonData* SkinData, const TRect& Src, const TRect& Dst, HDC DC,
                               bool UpdateCorners = false, Integer OffsetX = 0, Integer OffsetY = 0);

// The glow windows: set by the glow unit; while unset no glow is shown.
// ShowGlow answers the glow's ID (-1 when none was made).
struct TacGlowHooks {
    Integer (*ShowGlow)(const TRect& R, const TRect& Visible, const String& Section, TsSkinManager* Manager,
                        HWND Parent, Byte Alpha, Integer Margin, const String& MaskName) = nullptr;
    void (*HideGlow)(Integer ID) = nullptr;
    void (*ClearGlows)(bool RestoreWindows) = nullptr;
};
extern TacGlowHooks acGlowHooks;
// Hides the glow when there is one and sets GlowID to -1.
void DropGlow(Integer& GlowID);

// ---- Bound label ----------------------------------------------------------------------------

// Where a bound label sits beside its control.
enum TsCaptionLayout {
    sclLeft,
    sclTopLeft,
    sclTopCenter,
    sclTopRight,
    sclLeftTop,
    sclBottomLeft,
    sclBottomCenter,
    sclBottomRight
};

class TsEditLabel;

// The caption label an edit-like control (memo, rich edit, combo box) carries
// as its BoundLabel property. While Active it owns a label placed next to the
// control by Layout, Indent pixels away, moving with the control and
// following its visibility and enabled state; the control is the owner of
// the skin state given at creation.
class TsBoundLabel : public TPersistent {
public:
    KES_CLASS_NAME(TsBoundLabel)
    TsBoundLabel(TObject* AOwner, TsCommonData* CommonData);
    ~TsBoundLabel() override;
    TsBoundLabel(const TsBoundLabel&) = delete;
    TsBoundLabel& operator=(const TsBoundLabel&) = delete;

    // Active: the label exists (made, named after the control and placed);
    // clearing it frees the label.
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // Empty when activated: the control's name.
    const String& Caption() const { return FText; }
    void SetCaption(const String& Value);
    TsCaptionLayout Layout() const { return FLayout; }
    void SetLayout(TsCaptionLayout Value);
    // The gap between label and control.
    Integer Indent() const { return FIndent; }
    void SetIndent(Integer Value);
    // 0: no limit; else the label is this wide and wraps its text.
    Integer MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(Integer Value);
    // The label's font, or the font kept while there is no label (a font set
    // then is not given to the label made later).
    TFont* Font() const;
    void SetFont(TFont* Value);
    // The label's UseSkinColor (True without a label).
    bool UseSkinColor() const;
    void SetUseSkinColor(bool Value);

    // Places the label next to the control (nothing without a visible label).
    void AlignLabel();
    // The label while active (nullptr otherwise).
    TsEditLabel* TheLabel() const { return FTheLabel; }
    // The control the label is bound to.
    TControl* BoundControl() const;

    Integer FMaxWidth = 0;
    String FText;
    TsCaptionLayout FLayout = sclLeft;
    TFont* FFont = nullptr;
    Integer FIndent = 0;
    bool FActive = false;
    TsEditLabel* FTheLabel = nullptr;
    TsCommonData* FCommonData = nullptr;
};

// The bound label's share of its control's window procedure, after the
// control handled Message: WM_SIZE and WM_WINDOWPOSCHANGED re-align the
// label; CM_VISIBLECHANGED, CM_ENABLEDCHANGED and CM_BIDIMODECHANGED pass the
// control's state on to it and re-align it. A disabled control's label stays
// enabled when DisabledKind lacks dkBlended. Nothing for nullptr.
void BoundLabelMessage(TsBoundLabel* BoundLabel, const TMessage& Message, TsDisabledKind DisabledKind);

// Publishes a skinned class's "SkinData" (its TsCommonData) in the property
// registry, so that children can read their parent's skin state by name;
// once per registry.
template <class T>
void RegisterSkinDataProp(const String& ClassName) {
    for (const String& registered : RegisteredPropClasses())
        if (registered == ClassName) return;
    TPropInfo info;
    info.Name = u"SkinData";
    info.Kind = TTypeKind::tkClass;
    info.GetObj = [](TObject* o) -> TObject* { return static_cast<T*>(o)->SkinData(); };
    RegisterProp<T>(ClassName, std::move(info));
}
