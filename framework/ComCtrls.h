// Common controls: the rich edit, the progress bar, the status bar and the
// tool bar.
#pragma once

#include "ImgList.h"
#include "StdCtrls.h"

// A rich edit control (RichEdit 2.0 or later, "RichEdit20W" from
// riched20.dll). Its Font is applied to all of its text, charset included;
// the text limit is raised so that long pages are never cut off.
class TCustomRichEdit : public TCustomMemo {
public:
    KES_CLASS_NAME(TCustomRichEdit)
    explicit TCustomRichEdit(TComponent* AOwner);

    String GetText() const override;
    // A long text is changed in place where it differs from the new one, so
    // a page shown while it arrived becomes the finished page without being
    // laid out again. Only when most of a long text has to go is the window
    // made anew: taking many paragraphs out of a rich edit costs time for
    // each paragraph in proportion to the whole text.
    void SetText(const String& value) override;
    // Plain text: no RTF, one character format for everything. Changing it
    // re-makes the window (the text stays, formatting does not).
    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool value);
    // The colour of the text that has none of its own (the default text
    // attributes), for the window's life; nothing is sent when the window
    // shows that colour already. A rich edit lays all of its text out anew
    // for any change of attributes, so changes that change nothing are
    // never sent.
    void SetDefaultTextColor(TColor Color);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void Dispatch(TMessage& Message) override;
    void SetTextLimit(int value) override;
    void GetSel(int& start, int& end) override;
    void SetSel(int start, int end) override;
    String GetSelText() override;
    std::size_t TextToPosition(const String& text, std::size_t offset) const override;
    std::size_t WindowTextLength() const override;
    int AppendLine(const String& s) override;
    // Gives all text (and text typed later) the control's font: only the
    // attributes that differ from those the window was given last, and as
    // the default text attributes alone while no part of the text carries
    // attributes of its own (that text follows the default ones), so that a
    // change reaches every character at the cost of one layout.
    void ApplyFont();
    // The font goes in as text attributes (ApplyFont); WM_SETFONT would
    // format every character anew besides.
    void SetWindowFont() override;
    // Turns the window's text current into value (line breaks as CR LF) by
    // replacing only what differs; false, leaving the text as it was, when
    // that would take out too much of it.
    bool ReplaceDifferences(const String& current, const String& value);
    // Whether the window's text is text (line breaks as CR LF).
    bool Holds(const String& text) const;

    bool FPlainText = false;

private:
    // Sends the attributes of format named by its mask, those that differ
    // from FApplied, to the default text attributes and (toAll), when some
    // text may carry attributes of its own, all of them to all text.
    void SendFormat(const CHARFORMAT2W& format, bool toAll);
    // Notes what a message does to the text's own attributes.
    void NoteFormats(const TMessage& Message);

    // The attributes the window was given last (cbSize 0: none yet).
    CHARFORMAT2W FApplied{};
    // Some of the text may carry attributes of its own (formatted parts,
    // rich text streamed in).
    bool FOwnFormats = false;
    // Inside SendFormat: the attributes going in are ours.
    int FFormatting = 0;
};

class TRichEdit : public TCustomRichEdit {
public:
    KES_CLASS_NAME(TRichEdit)
    using TCustomRichEdit::TCustomRichEdit;
};

enum TProgressBarOrientation { pbHorizontal, pbVertical };
// A bar filled to its position, or a marquee that moves on its own while
// the work's length is unknown.
enum TProgressBarStyle { pbstNormal, pbstMarquee };
// The bar's look: normal, error (red) or paused (yellow).
enum TProgressBarState { pbsNormal, pbsError, pbsPaused };

class TProgressBar : public TWinControl {
public:
    KES_CLASS_NAME(TProgressBar)
    explicit TProgressBar(TComponent* AOwner);

    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    // Kept between Min and Max.
    int Position();
    void SetPosition(int value);
    int Step() const { return FStep; }
    void SetStep(int value);
    // Moves the position by Step (by Delta), stopping at Max.
    void StepIt() { StepBy(FStep); }
    void StepBy(int Delta) { SetPosition(Position() + Delta); }
    // A continuous bar instead of blocks (PBS_SMOOTH).
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool value);
    TProgressBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TProgressBarOrientation value);
    TProgressBarStyle Style() const { return FStyle; }
    void SetStyle(TProgressBarStyle value);
    TProgressBarState State() const { return FState; }
    void SetState(TProgressBarState value);
    // Milliseconds between two steps of the marquee.
    int MarqueeInterval() const { return FMarqueeInterval; }
    void SetMarqueeInterval(int value);
    // Free space kept inside the bar's frame.
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;

    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FStep = 10;
    bool FSmooth = false;
    TProgressBarOrientation FOrientation = pbHorizontal;
    TProgressBarStyle FStyle = pbstNormal;
    TProgressBarState FState = pbsNormal;
    int FMarqueeInterval = 10;
    int FBorderWidth = 0;
};

// A status bar, aligned to the bottom of its parent by default. This one
// shows a single text (SimpleText) in simple mode.
class TStatusBar : public TWinControl {
public:
    KES_CLASS_NAME(TStatusBar)
    explicit TStatusBar(TComponent* AOwner);

    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    const String& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const String& value);
    // The grip in the bottom-right corner for sizing the form.
    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;

    bool FSimplePanel = false;
    String FSimpleText;
    bool FSizeGrip = true;
};

// ---------------------------------------------------------------------------
// Tool bar

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// One button of a tool bar: a windowless child of the bar whose bounds follow
// the button's place in the system bar (TB_GETITEMRECT). The system bar draws
// it and takes its mouse input; a click runs OnClick.
class TToolButton : public TGraphicControl {
public:
    KES_CLASS_NAME(TToolButton)
    explicit TToolButton(TComponent* AOwner);

    // The bar the button is placed on (its parent), or nullptr.
    TToolBar* ToolBar() const;
    // The button's place in its bar (-1 when on none).
    Integer Index() const;
    // The command id the system bar reports for the button.
    Integer CommandId() const { return FCommandId; }

    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle Value);
    // -1: no image.
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value);
    // Shown pressed (a check button: checked). A check button changes it on
    // every click.
    bool Down() const { return FDown; }
    void SetDown(bool Value);
    bool Indeterminate() const { return FIndeterminate; }
    void SetIndeterminate(bool Value);
    void SetEnabled(bool value) override;

protected:
    void Dispatch(TMessage& Message) override;

private:
    friend class TToolBar;
    // Tells the bar that the button's look or text changed.
    void Changed();

    TToolButtonStyle FStyle = tbsButton;
    Integer FImageIndex = -1;
    bool FDown = false;
    bool FIndeterminate = false;
    Integer FCommandId = 0;
};

// A tool bar over the system "ToolbarWindow32" class. Its buttons are the
// TToolButton children placed on it, in the order they were placed; the
// images come from Images (and HotImages for the button under the mouse).
class TToolBar : public TWinControl {
public:
    KES_CLASS_NAME(TToolBar)
    explicit TToolBar(TComponent* AOwner);
    ~TToolBar() override;
    void BeforeDestruction() override;

    Integer ButtonCount() const { return static_cast<Integer>(FButtons.size()); }
    // nullptr for an index out of range.
    TToolButton* Buttons(Integer Index) const;
    // The button's rectangle in the bar's client area (TB_GETITEMRECT), empty
    // without a window or for an index out of range.
    TRect ButtonRect(Integer Index);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TCustomImageList* HotImages() const { return FHotImages; }
    void SetHotImages(TCustomImageList* Value);
    // Captions beside the images instead of below them (TBSTYLE_LIST).
    bool List() const { return FList; }
    void SetList(bool Value);
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool Value);
    // Buttons without a raised frame until the mouse is over them (TBSTYLE_FLAT).
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    Integer ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(Integer Value);
    Integer ButtonHeight() const { return FButtonHeight; }
    void SetButtonHeight(Integer Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void Dispatch(TMessage& Message) override;
    void WMMouse(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TToolButton;
    void AddButton(TToolButton* Button);
    void RemoveButton(TToolButton* Button);
    // Inserts button Index into the system bar.
    void InsertSystemButton(Integer Index);
    // Puts the button's state, image and text into the system bar.
    void UpdateButton(TToolButton* Button);
    // Reads the buttons' bounds back from the system bar.
    void UpdateButtonBounds();
    void ApplyImageLists();
    // Hands the lists to the system bar again when their system lists changed.
    void CheckImageLists();
    void ApplyButtonSize();
    // Reads the checked state of check buttons back from the system bar.
    void ReadDownStates();

    std::vector<TToolButton*> FButtons;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FHotImages = nullptr;
    bool FList = false;
    bool FShowCaptions = false;
    bool FFlat = false;
    Integer FButtonWidth = 23;
    Integer FButtonHeight = 22;
    Integer FNextCommandId = 1;
};
