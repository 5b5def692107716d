// The grid adapter: grids of the framework and of other libraries, reached
// only through their published properties by name ("FixedColor",
// "GridLineColor", "ControlLook", "DataSource", ...). The colours a grid has
// are saved, skinned from the skin's global, edit, border and highlight
// colours, and given back on release; a data-aware grid (one with
// "DataSource") follows a dragged thumb with its position. Win32, main thread
// only.
#pragma once

#include "acSBUtilsEdit.h"

// The framework grid's drawing styles ("DrawingStyle").
constexpr Integer acGdsClassic = 0;
constexpr Integer acGdsThemed = 1;
constexpr Integer acGdsGradient = 2;

class TacGridWnd : public TacEditWnd {
public:
    KES_CLASS_NAME(TacGridWnd)
    using TacEditWnd::TacEditWnd;

    // The grid's standard colours, saved before skinning.
    TColor FixedColor = 0, FooterColor = 0, FooterCellColor = 0, TitleFontColor = 0, TitleColor = 0, IndColor = 0,
           SelectionColor = 0, SelectionTextColor = 0, GridLineColor = 0, GridFixedLineColor = 0,
           FixedGradientFrom = 0, FixedGradientTo = 0, FixedGradientMirrorFrom = 0, FixedGradientMirrorTo = 0;
    Integer DrawingStyle = acGdsClassic;
    // Saved as well, to be given back: the framework grid's gradient, the
    // fixed font's colour and the colours of the "GridStyle" title and the
    // "LineColors" object.
    TColor GradientStartColor = 0, GradientEndColor = 0, FixedFontColor = 0, TitleStartColor = 0,
           TitleEndColor = 0, LineFixedColor = 0, LineDataColor = 0, LineShadowColor = 0;

    void SaveStdParams() override;
    void RestoreStdParams() override;
    void SetSkinParams() override;
    void acWndProc(TMessage& Message) override;

protected:
    bool IsGridAdapter() const override { return true; }

private:
    bool FSaved = false;
};

// The owner is a framework grid: it publishes "DrawingStyle".
bool IsFrameworkGrid(TObject* Control);
