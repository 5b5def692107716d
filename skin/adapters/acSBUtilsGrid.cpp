#include "acSBUtilsGrid.h"

#include "Graphics.h"
#include "TypInfo.h"
#include "acPixels.h"
#include "sSkinManager.h"

namespace {

// The colours a grid may publish: an object path (up to two nested object
// properties), the colour property, the field that keeps the saved value and
// what the skin puts in.
enum class Skin {
    Global,          // G: the skin's global colour
    GlobalFont,      // the skin's font colour
    Border,          // the skin's border colour
    GlobalEdit,      // mix(G, E, 0.5)
    EditLine7,       // mix(E, EF, 0.7)
    EditLine8,       // mix(E, EF, 0.8)
    GlobalDark,      // mix(G, black, 0.95)
    GlobalLight,     // mix(G, white, 0.9)
    Highlight,
    HighlightFont,
    SectionFont,     // the section's normal font colour
};

struct GridColour {
    const char16_t* Object;
    const char16_t* Inner;
    const char16_t* Name;
    TColor TacGridWnd::*Field;
    Skin Value;
    bool WithControlLook;   // only for a grid that has "ControlLook"
    bool Gradient;          // clNone is saved as clBtnFace
};

const GridColour kGridColours[] = {
    {nullptr, nullptr, u"FixedColor", &TacGridWnd::FixedColor, Skin::Global, false, false},
    {u"TitleFont", nullptr, u"Color", &TacGridWnd::TitleFontColor, Skin::GlobalFont, false, false},
    {u"FixedFont", nullptr, u"Color", &TacGridWnd::FixedFontColor, Skin::GlobalFont, true, false},
    {nullptr, nullptr, u"GridFixedLineColor", &TacGridWnd::GridFixedLineColor, Skin::Border, true, false},
    {nullptr, nullptr, u"GridLineColor", &TacGridWnd::GridLineColor, Skin::EditLine7, true, false},
    {u"ControlLook", nullptr, u"FixedGradientFrom", &TacGridWnd::FixedGradientFrom, Skin::GlobalEdit, true, true},
    {u"ControlLook", nullptr, u"FixedGradientTo", &TacGridWnd::FixedGradientTo, Skin::Global, true, true},
    {u"ControlLook", nullptr, u"FixedGradientMirrorFrom", &TacGridWnd::FixedGradientMirrorFrom, Skin::GlobalDark, true,
     true},
    {u"ControlLook", nullptr, u"FixedGradientMirrorTo", &TacGridWnd::FixedGradientMirrorTo, Skin::GlobalLight, true,
     true},
    {nullptr, nullptr, u"SelectionColor", &TacGridWnd::SelectionColor, Skin::Highlight, true, false},
    {nullptr, nullptr, u"SelectionTextColor", &TacGridWnd::SelectionTextColor, Skin::HighlightFont, true, false},
    {u"GridStyle", u"Title", u"StartColor", &TacGridWnd::TitleStartColor, Skin::GlobalEdit, false, true},
    {u"GridStyle", u"Title", u"EndColor", &TacGridWnd::TitleEndColor, Skin::Global, false, true},
    {u"LineColors", nullptr, u"FixedColor", &TacGridWnd::LineFixedColor, Skin::Border, false, false},
    {u"LineColors", nullptr, u"DataColor", &TacGridWnd::LineDataColor, Skin::EditLine8, false, false},
    {u"LineColors", nullptr, u"ShadowColor", &TacGridWnd::LineShadowColor, Skin::EditLine8, false, false},
    {nullptr, nullptr, u"FooterColor", &TacGridWnd::FooterColor, Skin::Global, false, false},
    {nullptr, nullptr, u"FooterCellColor", &TacGridWnd::FooterCellColor, Skin::Global, false, false},
    {nullptr, nullptr, u"TitleColor", &TacGridWnd::TitleColor, Skin::Global, false, false},
    {nullptr, nullptr, u"IndicatorIconColor", &TacGridWnd::IndColor, Skin::SectionFont, false, false},
};

bool Has(TObject* Object, const char16_t* Name) { return Object && GetPropInfo(Object, Name) != nullptr; }

// The object that holds the colour of an entry, or nullptr when the grid
// lacks it.
TObject* HolderOf(TObject* Grid, const GridColour& C) {
    TObject* holder = Grid;
    for (const char16_t* name : {C.Object, C.Inner}) {
        if (name == nullptr) break;
        if (!Has(holder, name)) return nullptr;
        holder = GetObjectProp(holder, name);
        if (holder == nullptr) return nullptr;
    }
    return Has(holder, C.Name) ? holder : nullptr;
}

TColor SkinValue(Skin Value, TsSkinManager* M, TsCommonData* Data) {
    const TColor G = M->GetGlobalColor();
    const TColor E = M->GetActiveEditColor();
    const TColor EF = M->GetActiveEditFontColor();
    switch (Value) {
    case Skin::Global: return G;
    case Skin::GlobalFont: return M->GetGlobalFontColor();
    case Skin::Border: return M->SkinData() ? M->SkinData()->BorderColor : 0;
    case Skin::GlobalEdit: return BlendColors(G, E, 0.5);
    case Skin::EditLine7: return BlendColors(E, EF, 0.7);
    case Skin::EditLine8: return BlendColors(E, EF, 0.8);
    case Skin::GlobalDark: return BlendColors(G, 0, 0.95);
    case Skin::GlobalLight: return BlendColors(G, 0xFFFFFF, 0.9);
    case Skin::Highlight: return M->GetHighLightColor();
    case Skin::HighlightFont: return M->GetHighLightFontColor();
    case Skin::SectionFont:
        if (Data && M->IsValidSkinIndex(Data->SkinIndex))
            return StateProps(M->gd()[static_cast<std::size_t>(Data->SkinIndex)], 0).FontColor.Color;
        return M->GetGlobalFontColor();
    }
    return G;
}

void SetColour(TObject* Holder, const char16_t* Name, TColor Value) {
    if (static_cast<TColor>(GetOrdProp(Holder, Name)) != Value) SetOrdProp(Holder, Name, Value);
}

}  // namespace

bool IsFrameworkGrid(TObject* Control) { return Has(Control, u"DrawingStyle"); }

void TacGridWnd::SaveStdParams() {
    TacEditWnd::SaveStdParams();
    TControl* grid = OwnerControl();
    if (grid == nullptr) return;
    for (const GridColour& c : kGridColours) {
        TObject* holder = HolderOf(grid, c);
        if (holder == nullptr) continue;
        TColor value = static_cast<TColor>(GetOrdProp(holder, c.Name));
        if (c.Gradient && value == clNone) value = clBtnFace;
        this->*c.Field = value;
    }
    if (IsFrameworkGrid(grid)) {
        DrawingStyle = static_cast<Integer>(GetOrdProp(grid, u"DrawingStyle"));
        if (Has(grid, u"GradientStartColor")) GradientStartColor = static_cast<TColor>(GetOrdProp(grid, u"GradientStartColor"));
        if (Has(grid, u"GradientEndColor")) GradientEndColor = static_cast<TColor>(GetOrdProp(grid, u"GradientEndColor"));
    }
    FSaved = true;
}

void TacGridWnd::RestoreStdParams() {
    TacEditWnd::RestoreStdParams();
    TControl* grid = OwnerControl();
    if (grid == nullptr || !FSaved || grid->HasState(csDestroying)) return;
    for (const GridColour& c : kGridColours)
        if (TObject* holder = HolderOf(grid, c)) SetColour(holder, c.Name, this->*c.Field);
    if (IsFrameworkGrid(grid)) {
        if (Has(grid, u"GradientStartColor")) SetColour(grid, u"GradientStartColor", GradientStartColor);
        if (Has(grid, u"GradientEndColor")) SetColour(grid, u"GradientEndColor", GradientEndColor);
        SetOrdProp(grid, u"DrawingStyle", DrawingStyle);
    }
}

void TacGridWnd::SetSkinParams() {
    TacEditWnd::SetSkinParams();
    if (Destroyed || SkinData == nullptr) return;
    TControl* grid = OwnerControl();
    TsSkinManager* manager = SkinData->SkinManager();
    if (grid == nullptr || manager == nullptr || !manager->IsValidSkinIndex(SkinData->SkinIndex)) return;
    const bool controlLook = Has(grid, u"ControlLook");
    for (const GridColour& c : kGridColours) {
        if (c.WithControlLook && !controlLook) continue;
        if (TObject* holder = HolderOf(grid, c)) SetColour(holder, c.Name, SkinValue(c.Value, manager, SkinData));
    }
    if (IsFrameworkGrid(grid) && DrawingStyle != acGdsClassic) {
        if (GetOrdProp(grid, u"DrawingStyle") != acGdsGradient) SetOrdProp(grid, u"DrawingStyle", acGdsGradient);
        if (Has(grid, u"GradientStartColor"))
            SetColour(grid, u"GradientStartColor", SkinValue(Skin::GlobalEdit, manager, SkinData));
        if (Has(grid, u"GradientEndColor")) SetColour(grid, u"GradientEndColor", SkinValue(Skin::Global, manager, SkinData));
    }
}

void TacGridWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacEditWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    TControl* grid = OwnerControl();
    switch (msg) {
    case WM_ERASEBKGND:
        // The grid paints its cells itself.
        SkinData->SetUpdating(SkinData->GetUpdating());
        Message.Result = 1;
        return;
    case WM_VSCROLL:
        if (Has(grid, u"DataSource") && (LOWORD(Message.WParam) == SB_THUMBPOSITION || LOWORD(Message.WParam) == SB_THUMBTRACK)) {
            // A data-aware grid reads the bar to find the record to go to.
            SCROLLINFO si{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_POS;
            si.nPos = fThumbTracking && sBarVert ? sBarVert->ScrollInfo.nTrackPos : HIWORD(Message.WParam);
            ::SetScrollInfo(CtrlHandle, SB_VERT, &si, FALSE);
        }
        break;
    default: break;
    }
    TacEditWnd::acWndProc(Message);
    if (Destroyed) return;
    switch (msg) {
    case WM_VSCROLL:
        if (LOWORD(Message.WParam) == SB_ENDSCROLL && Has(grid, u"DataSource") && grid->ClassName() != u"TwwDBGrid" &&
            sBarVert != nullptr)
            SendScrollCommand(CtrlHandle, WM_VSCROLL, SB_THUMBPOSITION, sBarVert->ScrollInfo.nTrackPos);
        break;
    case WM_PAINT: RefreshScrollBars(this, true); break;
    case WM_WINDOWPOSCHANGED:
        if (::IsWindowVisible(CtrlHandle)) ::SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
        break;
    default:
        if (msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == AC_REMOVESKIN &&
            Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager()) && IsFrameworkGrid(grid)) {
            // The grid repaints in its own style again.
            const Int64 style = GetOrdProp(grid, u"DrawingStyle");
            SetOrdProp(grid, u"DrawingStyle", acGdsClassic);
            SetOrdProp(grid, u"DrawingStyle", style);
        }
        break;
    }
}
