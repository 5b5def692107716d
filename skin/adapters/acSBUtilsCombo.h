// Adapters of combo boxes the engine did not make itself: TacComboBoxWnd for
// a standard combo box window (a framework combo box named in the manager's
// class lists, or a combo box of a standard dialog), TacComboListWnd for the
// list window a combo box opens (the skinned combo box uses it as well) and
// TacWWComboBoxWnd for a combo-edit control that carries a list box as a
// child control. The combo box adapter paints the frame and the drop-down
// button from the skin ("COMBOBTN" and the combo glyph), draws the selected
// text of drop-down lists and gives the list an adapter the first time the
// list asks for its colours. Win32, main thread only.
#pragma once

#include "StdCtrls.h"
#include "acSBUtilsEdit.h"

class TacComboListWnd;

class TacComboBoxWnd : public TacEditWnd {
public:
    KES_CLASS_NAME(TacComboBoxWnd)
    TacComboBoxWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                   bool Repaint = true);
    // Releases the list's adapter first (its skin data is its own), then the
    // list's skin state and the colour brush.
    ~TacComboBoxWnd() override;

    HWND FListHandle = nullptr;     // the list window, 0 until it first asked for colours
    void* FDefListProc = nullptr;   // kept for the list's previous procedure
    TsCommonData* LBSkinData = nullptr;
    TacMainWnd* ListSW = nullptr;   // the list's adapter (a TacComboListWnd), owned
    bool LBoxOpening = false;

    // The drop-down button in window coordinates (width 0 for simple boxes).
    virtual TRect ButtonRect();
    Integer ButtonHeight();
    void PaintButton(HDC DC);
    void RepaintButton();
    // The selected text of a drop-down list, into the cache.
    void PaintText();
    // The cache of a simple combo box: only its edit part.
    void PrepareSimple();
    // Only with a framework owner control: the whole window is repainted.
    void Invalidate();
    // Detaches and frees the list's adapter (nothing when there is none).
    void ReleaseList();

    void acWndProc(TMessage& Message) override;

    // The brush answered for WM_CTLCOLORLISTBOX (one per adapter, made again
    // only when the colour changes).
    HBRUSH ListBrush() const { return FListBrush; }

private:
    void AttachList(TMessage& Message);
    HBRUSH FListBrush = nullptr;
    TColor FListBrushColor = kNoColor;
};

class TacComboListWnd : public TacEditWnd {
public:
    KES_CLASS_NAME(TacComboListWnd)
    TacComboListWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                    bool Repaint = true, bool Simply = false);

    bool Showed = false;     // the list tracks the mouse as a dropped list
    bool SimplyBox = false;  // the list of a simple combo box (always shown)
    bool DBScroll = false;

    void acWndProc(TMessage& Message) override;
    // Sizes, fills and frames the list's cache.
    void PrepareListCache();

private:
    void PaintSimpleStrip();
};

// Makes the adapter of a combo box's list and, for a dropped list, has its
// frame laid out again under the adapter. A list that already has an
// adapter, or answers skin command 7, is not adapted again: nullptr then.
TacComboListWnd* CreateComboListWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                    const String& SkinSection, bool Repaint, bool Simply);
// The SetWindowPos flags that make a dropped list lay its frame out again:
// no move, no z-order, no activation, frame changed, no copy bits, no owner
// z-order, no WM_WINDOWPOSCHANGING.
constexpr UINT acComboListFrameFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                                       SWP_NOCOPYBITS | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

class TacWWComboBoxWnd : public TacComboBoxWnd {
public:
    KES_CLASS_NAME(TacWWComboBoxWnd)
    TacWWComboBoxWnd(TWinControl* aCtrl, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                     const String& SkinSection, bool Repaint = true);
    ~TacWWComboBoxWnd() override;

    // The control's child list box (a control whose class name holds
    // "ListBox"; the framework has no list box class of its own), not owned.
    TWinControl* ListBox = nullptr;
    TacMainWnd* ListBoxSW = nullptr;
    TsCommonData* ListBoxSkinData = nullptr;
    bool FShowButton = true;

    TRect ButtonRect() override;
    void acWndProc(TMessage& Message) override;
};

// The width of one frame of the combo glyph (0 for a mask without frames).
Integer ComboGlyphWidth(const TsMaskData& Mask);

// Registers "TacComboBoxWnd" and "TacComboListWnd" with the adapter factory.
void acComboWndInitialization();
