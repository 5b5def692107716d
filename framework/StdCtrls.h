// Standard controls: edits, memos, buttons, check boxes, combo boxes, labels
// and scroll boxes. The windowed ones are the system controls superclassed
// under the framework's class names ("TEdit" over EDIT, "TButton" over BUTTON,
// ...); their notifications come back reflected as CN_COMMAND. Every property
// can be set before the window exists: the value is kept and applied when the
// window is made (InitializeWnd), and read back from the window afterwards.
#pragma once

#include <atomic>
#include <vector>

#include "Controls.h"
#include "Strings.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TBorderStyle { bsNone, bsSingle };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
// The owner-draw styles are drop-down lists whose items (and selection field)
// the control draws itself, with items of one height or of their own heights.
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// Every line break (CR, LF or CR LF) as CR LF, the only one an edit control knows.
String AdjustLineBreaks(StringView text);

// ---------------------------------------------------------------------------
// Edits

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
public:
    KES_CLASS_NAME(TCustomEdit)
    explicit TCustomEdit(TComponent* AOwner);

    String Text() const { return GetText(); }
    // Setting the text fires OnChange once.
    void SetText(const String& value) override;

    // 0 is no limit of our own (the system's largest).
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    // Letters typed or set are kept as they are, or turned into capitals or
    // small letters by the window (ES_UPPERCASE, ES_LOWERCASE).
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value);
    bool Modified();
    void SetModified(bool value);

    // The selection in characters of the control's text.
    int SelStart();
    void SetSelStart(int value);
    int SelLength();
    void SetSelLength(int value);
    String SelText() { return GetSelText(); }
    // Replaces the selection (inserts at the caret when nothing is selected).
    void SetSelText(const String& value);
    void SelectAll();
    void ClearSelection() { SetSelText(String()); }
    void Clear() { SetText(String()); }

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void Dispatch(TMessage& Message) override;
    virtual void Change();
    virtual String GetSelText();
    // Puts text into the window without reporting a change.
    virtual void SetWindowTextQuietly(const String& value);
    virtual void GetSel(int& start, int& end);
    virtual void SetSel(int start, int end);
    // Sets the window's text limit (0: as much as the control can hold).
    virtual void SetTextLimit(int value);

    int FMaxLength = 0;
    bool FReadOnly = false;
    TBorderStyle FBorderStyle = bsSingle;
    bool FHideSelection = true;
    TEditCharCase FCharCase = ecNormal;
    bool FModified = false;
    // The selection while there is no window.
    int FSelStart = 0;
    int FSelLength = 0;
    int FQuiet = 0;          // > 0 while the control changes its own text
    unsigned FChanges = 0;   // EN_CHANGE notifications seen
};

class TEdit : public TCustomEdit {
public:
    KES_CLASS_NAME(TEdit)
    using TCustomEdit::TCustomEdit;
};

class TCustomMemo;

// The lines of a memo (or rich edit): the lines of its text as separated by
// line breaks (CR, LF or CR LF; wrapping on the screen makes no lines), read
// from the window's text while it has a window and from the text the control
// keeps before that. Changes go to the window as edits of the affected lines.
class TMemoStrings : public TStrings {
public:
    KES_CLASS_NAME(TMemoStrings)
    explicit TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}

    int Count() const override;
    String Get(int index) const override;
    // Adds at the end of the window's text without reading it, where the
    // control can.
    int Add(const String& s) override;
    void Put(int index, const String& s) override;
    void Insert(int index, const String& s) override;
    void Delete(int index) override;
    void Clear() override;
    // The whole text at once (line breaks become CR LF).
    void SetText(StringView text) override;
    void Assign(TPersistent* Source) override;

protected:
    void SetUpdateState(bool updating) override;

private:
    // The text the lines were last read from, and where each line starts.
    struct Snapshot {
        bool Valid = false;
        unsigned Generation = 0;
        String Text;
        std::vector<std::size_t> Starts;
    };
    const Snapshot& Current() const;
    // Where line index's break begins (the end of the text for a last line without one).
    std::size_t LineEnd(const Snapshot& lines, int index) const;
    // Replaces characters [from, to) of the text.
    void Replace(std::size_t from, std::size_t to, const String& with);
    void Append(const String& s);

    TCustomMemo* FMemo;
    mutable Snapshot FSnapshot;
};

class TCustomMemo : public TCustomEdit {
public:
    KES_CLASS_NAME(TCustomMemo)
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;

    TStrings* Lines() const { return FLines; }
    void SetLines(TStrings* value) { FLines->Assign(value); }
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // Whether Enter and Tab type into the memo.
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Dispatch(TMessage& Message) override;
    void KeyPress(Char& Key) override;
    // The selection position of a place in Text (they differ where the
    // control counts a line break as one character).
    virtual std::size_t TextToPosition(const String& text, std::size_t offset) const;
    // The length of Text, without reading it.
    virtual std::size_t WindowTextLength() const;
    // Adds a line at the end of the window's text at a cost that does not
    // grow with the text already there and returns its index; -1 when the
    // control has no such way (the lines then edit the text they have read).
    virtual int AppendLine(const String&) { return -1; }

    TMemoStrings* FLines = nullptr;
    TScrollStyle FScrollBars = ssNone;
    bool FWordWrap = true;
    bool FWantReturns = true;
    bool FWantTabs = false;
    TAlignment FAlignment = taLeftJustify;
    // Counts the messages that may have changed the window's text.
    unsigned FTextGeneration = 0;

    friend class TMemoStrings;
};

class TMemo : public TCustomMemo {
public:
    KES_CLASS_NAME(TMemo)
    using TCustomMemo::TCustomMemo;
};

// ---------------------------------------------------------------------------
// Buttons

enum TButtonStyle { bsPushButton, bsCommandLink, bsSplitButton };
enum TImageAlignment { iaLeft, iaRight, iaTop, iaBottom, iaCenter };

// Space kept around a button's image.
struct TImageMargins {
    Integer Left = 0;
    Integer Top = 0;
    Integer Right = 0;
    Integer Bottom = 0;
};

class TCustomImageList;
class TPopupMenu;

class TButton : public TWinControl {
public:
    KES_CLASS_NAME(TButton)
    explicit TButton(TComponent* AOwner);

    // A default button is clicked by Enter, a cancel button by Esc, when the
    // form passes those keys on (CM_DIALOGKEY).
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }

    // The button's image: ImageIndex of Images, with other images for the
    // hot, pressed, focused and disabled looks (-1: ImageIndex serves).
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value) { SetImageValue(FImageIndex, Value); }
    Integer HotImageIndex() const { return FHotImageIndex; }
    void SetHotImageIndex(Integer Value) { SetImageValue(FHotImageIndex, Value); }
    Integer PressedImageIndex() const { return FPressedImageIndex; }
    void SetPressedImageIndex(Integer Value) { SetImageValue(FPressedImageIndex, Value); }
    Integer SelectedImageIndex() const { return FSelectedImageIndex; }
    void SetSelectedImageIndex(Integer Value) { SetImageValue(FSelectedImageIndex, Value); }
    Integer DisabledImageIndex() const { return FDisabledImageIndex; }
    void SetDisabledImageIndex(Integer Value) { SetImageValue(FDisabledImageIndex, Value); }
    TImageAlignment ImageAlignment() const { return FImageAlignment; }
    void SetImageAlignment(TImageAlignment Value);
    const TImageMargins& ImageMargins() const { return FImageMargins; }
    void SetImageMargins(const TImageMargins& Value);
    const String& CommandLinkHint() const { return FCommandLinkHint; }
    void SetCommandLinkHint(const String& Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    // The menu of a split button's drop-down part; forgotten when it is freed.
    TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(TPopupMenu* Value);

    // Told by the focus logic whether this button is the active one: the
    // focused button, or the default button while no other button has the
    // focus. The plain button shows it through BS_DEFPUSHBUTTON.
    virtual void SetFocusedState(bool Active);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Dispatch(TMessage& Message) override;
    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The image list or one of the image settings changed.
    virtual void UpdateImageList() { Invalidate(); }
    virtual void UpdateImages() {}

    bool FDefault = false;
    bool FCancel = false;
    bool FActive = false;

private:
    void SetImageValue(Integer& Field, Integer Value);

    TPopupMenu* FDropDownMenu = nullptr;

    TCustomImageList* FImages = nullptr;
    Integer FImageIndex = -1;
    Integer FHotImageIndex = -1;
    Integer FPressedImageIndex = -1;
    Integer FSelectedImageIndex = -1;
    Integer FDisabledImageIndex = -1;
    TImageAlignment FImageAlignment = iaLeft;
    TImageMargins FImageMargins;
    String FCommandLinkHint;
    bool FWordWrap = false;
};

// A check box: the system button as BS_3STATE, toggled by the control itself
// so that State is always the control's own. State may be read from any
// thread.
class TCustomCheckBox : public TWinControl {
public:
    KES_CLASS_NAME(TCustomCheckBox)
    explicit TCustomCheckBox(TComponent* AOwner);

    TCheckBoxState State() const { return FState.load(); }
    // Fires OnClick when the state changes, also when it is set in code.
    void SetState(TCheckBoxState value);
    bool Checked() const { return State() == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    // Whether a click may lead to cbGrayed.
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool value) { FAllowGrayed = value; }
    // taRightJustify puts the box left of the caption (the usual look).
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // A caption that does not fit breaks into lines.
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // The control takes the size CalcAutoSize gives whenever AdjustSize runs.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    void AdjustSize();
    // Moves to the next state (unchecked, [grayed,] checked) as a click does.
    virtual void Toggle();

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void Dispatch(TMessage& Message) override;
    // Every change of the state goes through here: stores it, tells the
    // window and fires OnClick (not while loading or destroyed).
    virtual void ApplyChecked(TCheckBoxState value);
    // The size AutoSize gives; False keeps the current size.
    virtual bool CalcAutoSize(int& NewWidth, int& NewHeight);

    std::atomic<TCheckBoxState> FState{cbUnchecked};
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
    bool FWordWrap = false;
    bool FAutoSize = false;
};

class TCheckBox : public TCustomCheckBox {
public:
    KES_CLASS_NAME(TCheckBox)
    using TCustomCheckBox::TCustomCheckBox;
};

// ---------------------------------------------------------------------------
// Combo boxes

class TCustomComboBox;

// The items of a combo box: the window's list while it exists, a plain list
// kept by the control before that (and while the window is re-made).
class TComboBoxStrings : public TStrings {
public:
    KES_CLASS_NAME(TComboBoxStrings)
    explicit TComboBoxStrings(TCustomComboBox* combo) : FCombo(combo) {}

    int Count() const override;
    String Get(int index) const override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void Insert(int index, const String& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const String& s) override;

protected:
    void SetUpdateState(bool updating) override;

private:
    TCustomComboBox* FCombo;
};

// Draws item Index of an owner-drawn combo box into Rect of the control's
// canvas; State holds the item's ODS_* bits.
using TDrawItemEvent = TDelegate<void(TWinControl* Control, int Index, TRect Rect, UINT State)>;

class TCustomComboBox : public TWinControl {
public:
    KES_CLASS_NAME(TCustomComboBox)
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    // The canvas the items are drawn on while CN_DRAWITEM is handled.
    TCanvas* Canvas() const { return FCanvas; }
    // The height of the list's items (of the selection field's text for
    // the owner-draw styles); 0 until set or read from the window.
    int ItemHeight();
    void SetItemHeight(int value);
    // The combo box's own edit field (none for the drop-down-list styles)
    // and its list window, while the window exists.
    HWND EditHandle() const { return FEditHandle; }
    HWND ListHandle() const { return FListHandle; }

    TStrings* Items() const { return FItems; }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    // The selected item, -1 for none. Setting it does not fire OnChange.
    int ItemIndex();
    void SetItemIndex(int value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    // The style has an edit field of its own (csDropDown, csSimple).
    bool HasEditField() const { return FStyle == csDropDown || FStyle == csSimple; }
    String Text() const { return GetText(); }
    // In csDropDownList, setting Text selects the item with that text.
    void SetText(const String& value) override;
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value) { FDropDownCount = value < 1 ? 1 : value; }
    bool DroppedDown();
    void SetDroppedDown(bool value);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // Fires when the user edits the text and when the selection changes (the
    // text already shows the new item then).
    TNotifyEvent OnChange;
    // Draws the items of the owner-draw styles (and of the skinned boxes
    // that draw their items themselves).
    TDrawItemEvent OnDrawItem;

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void Dispatch(TMessage& Message) override;
    virtual void Change();
    // Every message of the inner edit field and list window (Wnd says which)
    // passes here first; the default hands it on to the window's procedure.
    virtual void InnerWndProc(TMessage& Message, HWND Wnd);
    // Hands a message of an inner window on to that window's procedure.
    void DefaultInnerHandler(TMessage& Message, HWND Wnd);
    // CN_DRAWITEM: OnDrawItem on the canvas, else the item's text over the
    // window or highlight colours.
    virtual void DrawItem(int Index, const TRect& Rect, UINT State);
    // CN_MEASUREITEM: ItemHeight when set, else what the system proposed.
    virtual void MeasureItem(int Index, int& Height);
    // Lets the drop-down list show DropDownCount items.
    void AdjustDropDown();

    TComboBoxStrings* FItems = nullptr;
    TStringList* FSaveItems = nullptr;   // the items while there is no window
    int FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    int FDropDownCount = 8;
    int FMaxLength = 0;
    int FQuiet = 0;
    int FItemHeight = 0;
    TControlCanvas* FCanvas = nullptr;
    HWND FEditHandle = nullptr;
    HWND FListHandle = nullptr;

private:
    void EditMethod(TMessage& Message) { InnerWndProc(Message, FEditHandle); }
    void ListMethod(TMessage& Message) { InnerWndProc(Message, FListHandle); }

    friend class TComboBoxStrings;
};

class TComboBox : public TCustomComboBox {
public:
    KES_CLASS_NAME(TComboBox)
    using TCustomComboBox::TCustomComboBox;
};

// ---------------------------------------------------------------------------
// Labels

class TCustomLabel : public TGraphicControl {
public:
    KES_CLASS_NAME(TCustomLabel)
    explicit TCustomLabel(TComponent* AOwner);

    // With AutoSize the label takes the size of its text (keeping its right
    // edge when right-aligned, its centre when centred).
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value);
    // The control the label names (nullptr: none); cleared when that
    // control is freed.
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* value);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Paint() override;
    // Draws (or with DT_CALCRECT measures into Rect) the caption with the
    // label's font; an empty caption, or a lone "&" with ShowAccelChar, is
    // measured as one space longer so that the label keeps a line's height.
    virtual void DoDrawText(RECT& Rect, UINT Flags);
    // The DrawText flags of the label's alignment, wrapping and prefix.
    UINT TextFlags() const;
    void Dispatch(TMessage& Message) override;
    void Loaded() override;
    void AdjustBounds();
    // The rectangle the text needs when drawn with the label's font; Width
    // bounds it when wrapping.
    RECT TextExtent(HDC dc);

    bool FAutoSize = true;
    bool FTransparent = false;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
public:
    KES_CLASS_NAME(TLabel)
    using TCustomLabel::TCustomLabel;
};

// ---------------------------------------------------------------------------
// Scroll boxes

enum TScrollBarKind { sbHorizontal, sbVertical };

class TScrollingWinControl;

// One scroll bar of a scrolling control. Range follows the extent of the
// control's children; Position is how far the view has moved.
class TControlScrollBar : public TPersistent {
public:
    KES_CLASS_NAME(TControlScrollBar)
    TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind) : FControl(control), FKind(kind) {}

    TScrollBarKind Kind() const { return FKind; }
    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Range() const { return FRange; }
    // Pixels of one line step (the arrows).
    int Increment = 8;
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    // Whether the bar shows now (the range is larger than the view).
    bool IsScrollBarVisible() const;

private:
    friend class TScrollingWinControl;
    TScrollingWinControl* FControl;
    TScrollBarKind FKind;
    int FPosition = 0;
    int FRange = 0;
    bool FVisible = true;
};

// The largest position of a scroll bar: the part of the range that does not fit.
constexpr int MaxScrollPosition(int range, int page) { return range > page ? range - page : 0; }

class TScrollingWinControl : public TWinControl {
public:
    KES_CLASS_NAME(TScrollingWinControl)
    explicit TScrollingWinControl(TComponent* AOwner);
    ~TScrollingWinControl() override;

    TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar; }
    TControlScrollBar* VertScrollBar() const { return FVertScrollBar; }
    // Scrolls so that the control shows completely (or its top-left part).
    void ScrollInView(TControl* AControl);
    // The ranges follow the extent of the children; switched off, both
    // ranges drop to 0 and the bars go.
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool value);
    // The wheel scrolls the vertical bar, when it shows, by the system's
    // wheel lines times its Increment per notch.
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

protected:
    void AlignControls(TControl* AControl, RECT& Rect) override;
    void Dispatch(TMessage& Message) override;
    // Works out the ranges from the children and updates the bars.
    void UpdateScrollBars();
    // Moves the view to the positions (clamped) and the children with it.
    void ScrollTo(int x, int y);
    void ScrollMessage(TControlScrollBar* bar, int code);

    TControlScrollBar* FHorzScrollBar = nullptr;
    TControlScrollBar* FVertScrollBar = nullptr;
    int FUpdating = 0;
    bool FAutoScroll = true;

    friend class TControlScrollBar;
};

// The window style of a scroll box's border: WS_BORDER for bsSingle, or with
// new-style controls and Ctl3D the sunken client edge instead.
void AddScrollBoxBorder(TCreateParams& Params, TBorderStyle BorderStyle, bool Ctl3D);

class TScrollBox : public TScrollingWinControl {
public:
    KES_CLASS_NAME(TScrollBox)
    explicit TScrollBox(TComponent* AOwner);

    // Changing the border style (or Ctl3D of a bsSingle box) makes the window anew.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Dispatch(TMessage& Message) override;

    TBorderStyle FBorderStyle = bsSingle;
};
