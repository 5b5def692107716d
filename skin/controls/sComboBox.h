// The skinned combo box. The closed box (frame, the selected item's text and
// the drop-down button with its arrow) is drawn from a cached image built
// from the section "COMBOBOX", the "COMBOBTN" section and the skin's combo
// arrow; the items are drawn by the box itself ("SELECTION" marks the
// selected one) and the drop-down list window is handed to a list adapter
// (TacComboListWnd) the first time it asks for its colours. A read-only box
// opens no list and takes no typing. Without a skin it is the framework's
// combo box drawing its own items.
#pragma once

#include "StdCtrls.h"
#include "acMaskPaint.h"
#include "sCommonDataWin.h"

class TacMainWnd;

class TsCustomComboBox : public TCustomComboBox {
public:
    KES_CLASS_NAME(TsCustomComboBox)
    explicit TsCustomComboBox(TComponent* AOwner);
    // A list window seen gets its border back and loses its adapter.
    ~TsCustomComboBox() override;
    void AfterConstruction() override;

    TsCtrlSkinData* SkinData() const { return FCommonData; }
    TsBoundLabel* BoundLabel() const { return FBoundLabel; }

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TsDisabledKind DisabledKind() const { return FDisabledKind; }
    void SetDisabledKind(TsDisabledKind Value);
    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    // The list is open (between CBN_DROPDOWN and CBN_CLOSEUP).
    bool ListOpen() const { return FDropDown; }
    // The list window once seen, and its adapter.
    HWND ListWindow() const { return lboxhandle; }
    TacMainWnd* ListAdapter() const { return ListSW; }

    // The drop-down button in the control (width 0 for csSimple or without
    // ShowButton).
    TRect ButtonRect();
    Integer ButtonHeight();
    // The button over the cache.
    void PaintButton();
    // Rebuilds the cached image of the closed box.
    void PrepareCache();
    // Draws item Index (-1: none) into Rect of Canvas; State holds ODS_*
    // bits (ODS_COMBOBOXEDIT for the selection field of the closed box).
    virtual void PaintItem(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas);
    // Paints the closed box on DC (the window's DC when nullptr).
    void PaintCombo(HDC DC);

    void WndProc(TMessage& Message) override;
    void Invalidate() override;
    bool Focused() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    // The list window goes with the box's window: its adapter is released
    // and the next window's list is adapted anew.
    void DestroyWnd() override;
    void Loaded() override;
    void InnerWndProc(TMessage& Message, HWND Wnd) override;
    void DrawItem(int Index, const TRect& Rect, UINT State) override;
    void MeasureItem(int Index, int& Height) override;

private:
    bool OwnManager(LPARAM LParam) const;
    bool OwnerDrawStyle() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    bool UserDrawsItems() const { return OwnerDrawStyle() && static_cast<bool>(OnDrawItem); }
    // The read-only box drops this message.
    bool ReadOnlyDrops(const TMessage& Message) const;
    // The skinned handling; True when the message is done.
    bool SkinnedMessage(TMessage& Message);
    void AdaptList(HWND List);
    // The part of the cache under the edit field onto the field (its window
    // DC when DC is nullptr), while the field does not draw itself.
    void PaintEditFromCache(HDC DC);
    // The list gets its border back and loses its adapter.
    void ReleaseList();
    void PaintItemSkinned(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas);
    void PaintItemPlain(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas);
    String ItemText(Integer Index);

    TAlignment FAlignment = taLeftJustify;
    bool FReadOnly = false;
    TsDisabledKind FDisabledKind{dkBlended};
    TsCtrlSkinData* FCommonData = nullptr;
    TsBoundLabel* FBoundLabel = nullptr;
    bool FShowButton = true;
    HWND lboxhandle = nullptr;
    TacMainWnd* ListSW = nullptr;
    Integer OldDropcountValue = 0;
    bool FDropDown = false;
    // The item height last applied, to notice a font change that alters it.
    Integer FLastItemHeight = 0;
};

class TsComboBox : public TsCustomComboBox {
public:
    KES_CLASS_NAME(TsComboBox)
    using TsCustomComboBox::TsCustomComboBox;
};
