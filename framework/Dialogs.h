// The system's common dialogs: open and save, font, and the modeless find
// dialog. Each dialog's hook attaches the dialog object to the dialog's
// window, so that it can tell when its window is up (OnShow, and the
// ShownHook through which tests answer dialogs).
#pragma once

#include "Controls.h"
#include "Strings.h"
#include "Types.h"

class TCommonDialog;

// Called with a dialog and its window once the window shows.
using TDialogShownEvent = TDelegate<void(TCommonDialog* Dialog, HWND Wnd)>;

class TCommonDialog : public TComponent {
public:
    KES_CLASS_NAME(TCommonDialog)
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    ~TCommonDialog() override;

    // Shows the dialog; true when the user confirmed it (for a modeless
    // dialog: when it is showing).
    virtual bool Execute() = 0;
    // The dialog's window while it shows.
    HWND Handle() const { return FHandle; }

    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

    // Told about every common dialog that shows, after OnShow: a program
    // (or a test) can drive the dialog's window from here.
    static TDialogShownEvent ShownHook;

    // Used by the dialogs' hook procedures: attaches the dialog object to
    // the dialog's window.
    void AttachDialog(HWND dialog);

protected:
    virtual void DoShow();
    virtual void DoClose();
    // The window that owns a modal dialog: this thread's active window, else
    // the application's window.
    static HWND OwnerWindow();
    void DialogShown(HWND dialog);

    HWND FHandle = nullptr;

private:
    void DialogWndProc(TMessage& Message);
    HWND FAttached = nullptr;   // the dialog window this object is attached to
};

// ---------------------------------------------------------------------------
// Open and save dialogs

enum TOpenOption {
    ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
    ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
    ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
    ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

// "Text files (*.txt)|*.txt|Pages|*.htm;*.html" as the system wants it:
// NUL-separated pairs ending in two NULs.
String FilterToSystem(StringView filter);

class TOpenDialog : public TCommonDialog {
public:
    KES_CLASS_NAME(TOpenDialog)
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;

    bool Execute() override;

    const String& FileName() const { return FFileName; }
    void SetFileName(const String& value) { FFileName = value; }
    // With ofAllowMultiSelect, every chosen file (full paths); otherwise FileName.
    TStrings* Files() const { return FFiles; }
    const String& Filter() const { return FFilter; }
    void SetFilter(const String& value) { FFilter = value; }
    // 1-based; the dialog reports the filter the user ended with.
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int value) { FFilterIndex = value; }
    const String& InitialDir() const { return FInitialDir; }
    void SetInitialDir(const String& value) { FInitialDir = value; }
    // Added (without the dot) to a typed name that has no extension.
    const String& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const String& value) { FDefaultExt = value; }
    const String& Title() const { return FTitle; }
    void SetTitle(const String& value) { FTitle = value; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions value) { FOptions = value; }

    // When set (by the skin engine), open and save dialogs use the classic
    // template instead of the Explorer-style one.
    static bool ForceClassicDialog;

protected:
    // Runs the system dialog; true when confirmed.
    virtual bool RunDialog(OPENFILENAMEW& ofn);

    String FFileName;
    TStrings* FFiles = nullptr;
    String FFilter;
    int FFilterIndex = 1;
    String FInitialDir;
    String FDefaultExt;
    String FTitle;
    TOpenOptions FOptions{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
public:
    KES_CLASS_NAME(TSaveDialog)
    using TOpenDialog::TOpenDialog;

protected:
    bool RunDialog(OPENFILENAMEW& ofn) override;
};

// ---------------------------------------------------------------------------
// Font dialog

enum TFontDialogOption {
    fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel, fdNoOEMFonts,
    fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp, fdWysiwyg, fdLimitSize,
    fdScalableOnly
};
using TFontDialogOptions = TSet<TFontDialogOption>;

class TFontDialog : public TCommonDialog {
public:
    KES_CLASS_NAME(TFontDialog)
    explicit TFontDialog(TComponent* AOwner);
    ~TFontDialog() override;

    // Shows Font; on OK the chosen font is copied into it.
    bool Execute() override;

    TFont* Font() const { return FFont; }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TFontDialogOptions Options() const { return FOptions; }
    void SetOptions(TFontDialogOptions value) { FOptions = value; }
    // Point sizes offered with fdLimitSize (0: no limit).
    int MinFontSize() const { return FMinFontSize; }
    void SetMinFontSize(int value) { FMinFontSize = value; }
    int MaxFontSize() const { return FMaxFontSize; }
    void SetMaxFontSize(int value) { FMaxFontSize = value; }

    // Used by the dialog's hook procedure: a dialog whose list holds no face
    // of Font's name starts with Font all the same.
    void ShowStartFont(HWND dialog);

protected:
    TFont* FFont = nullptr;
    TFontDialogOptions FOptions{fdEffects};
    int FMinFontSize = 0;
    int FMaxFontSize = 0;

private:
    LOGFONTW FStart{};                // Font, as the dialog is given it
    LOGFONTW* FChoice = nullptr;      // the dialog's record while it shows
};

// ---------------------------------------------------------------------------
// Find dialog

enum TFindOption {
    frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase, frDisableMatchCase,
    frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll, frWholeWord, frShowHelp
};
using TFindOptions = TSet<TFindOption>;

// The modeless find dialog. Its messages (the registered FINDMSGSTRING)
// arrive at a hidden window of its own; OnFind fires when the user presses
// Find Next, with FindText and Options as the user left them.
class TFindDialog : public TCommonDialog {
public:
    KES_CLASS_NAME(TFindDialog)
    explicit TFindDialog(TComponent* AOwner);
    ~TFindDialog() override;

    // Shows the dialog (or brings it forward when it already shows).
    bool Execute() override;
    void CloseDialog();

    String FindText() const;
    void SetFindText(const String& value);
    TFindOptions Options() const { return FOptions; }
    void SetOptions(TFindOptions value) { FOptions = value; }
    // The screen position of the dialog's top-left corner; (-1, -1) leaves
    // it where the system puts it.
    TPoint Position() const;
    void SetPosition(const TPoint& value);

    TNotifyEvent OnFind;

    // Used by the dialog's hook procedure.
    void PlaceDialog(HWND dialog);

protected:
    virtual void Find();
    void DoClose() override;

private:
    void WndProc(TMessage& Message);

    static constexpr std::size_t kFindTextSize = 1024;
    FINDREPLACEW FFindReplace = {};
    wchar_t FFindTextBuffer[kFindTextSize] = {};
    TFindOptions FOptions{frDown};
    TPoint FPosition{-1, -1};
    HWND FWindow = nullptr;   // receives the dialog's messages
};
