// The list-view adapter: a list view ("SysListView32") with the section's
// colours, skinned bars whose thumb drag scrolls the view by items or pixels,
// and, in the report view, its column header ("SysHeader32") painted from the
// section "COLHEADER" (else "BUTTON") with pressed and hovered columns, sort
// glyphs and the empty area right of the last column. The header is attached
// through the framework's attachment mechanism like the list itself. Win32,
// main thread only.
#pragma once

#include "acSBUtilsEdit.h"

// View styles as the framework's list view numbers them.
constexpr Integer acLvIcon = 0;
constexpr Integer acLvSmallIcon = 1;
constexpr Integer acLvList = 2;
constexpr Integer acLvReport = 3;
// The column index of the header's area right of the last column.
constexpr Integer acHeaderEmptyArea = -2;

class TacListViewWnd : public TacEditWnd {
public:
    KES_CLASS_NAME(TacListViewWnd)
    // A given skin state becomes of the list kind (10).
    TacListViewWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                   bool Repaint = true);
    // Attaches to the header when the list has one already.
    void AfterConstruction() override;

    // Fields, in declaration order.
    HWND FhWndHeader = nullptr;
    // The procedure put into the header while attached (the attachment's
    // shared procedure), nullptr when not attached.
    void* FhHeaderProc = nullptr;
    WNDPROC FhDefHeaderProc = nullptr;   // the header's procedure before attaching
    Integer FPressedColumn = -1;         // display position, -1 none
    Integer HoverColIndex = -1;          // display position, -1 none
    Integer ListLineHeight = 0;          // the header height at the last paint
    bool FFlag = false;                  // a header column was clicked

    // The view style: the owner's "ViewStyle", else from LVM_GETVIEW.
    Integer ViewStyle();
    bool HotTrack() const { return true; }
    // The sum of the column widths (stops at an absurd width).
    Integer AllColWidth();
    // The rectangle (header client coordinates) of the column at display
    // position Index.
    TRect GetHeaderColumnRect(Integer Index);
    // Paints the header: into DC at the header's place in the list's client
    // area, else between the header's BeginPaint and EndPaint.
    void PaintHeader(HDC DC);
    // One column (display position cIndex; acHeaderEmptyArea for the area
    // right of the last one) into ControlRect of DC (the header's DC when
    // nullptr).
    void ColumnSkinPaint(const TRect& ControlRect, Integer cIndex, HDC DC);
    // The header's messages while attached.
    void HeaderWndProc(TMessage& Message);

    void SaveStdParams() override;
    void RestoreStdParams() override;
    void SetSkinParams() override;
    void acWndProc(TMessage& Message) override;

private:
    void HookHeader(HWND Header);
    void UnhookHeader();
    void RepaintHeader();
    // The display position of the column under a header client point, or
    // acHeaderEmptyArea.
    Integer ColumnAt(POINT P);
    // A thumb drag step: scrolls the view by the difference to the last
    // position sent.
    void ThumbTrack(TMessage& Message, bool Vertical);
    COLORREF FStdBkColor = CLR_NONE, FStdTextColor = CLR_NONE, FStdTextBkColor = CLR_NONE;
    bool FStdSaved = false;
};
