#include "Dialogs.h"

#include <algorithm>
#include <vector>

#include "Forms.h"
#include "WindowAttach.h"

TDialogShownEvent TCommonDialog::ShownHook;
bool TOpenDialog::ForceClassicDialog = false;

namespace {

// The find dialog's text box (edt1 of the system's dialog templates).
constexpr int kFindWhatEdit = 0x0480;

// Posted by a dialog's hook to itself once the dialog has been set up.
UINT ShownMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"KestruneCommonDialogShown");
    return message;
}

// The dialog a hook procedure belongs to: an Explorer-style open dialog
// hooks a child of the real dialog, the other dialogs hook the dialog itself.
HWND HookedDialog(HWND wnd) {
    return (::GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(wnd) : wnd;
}

// The hook procedure of every dialog; Struct is the dialog's set-up record
// (OPENFILENAMEW, CHOOSEFONTW, FINDREPLACEW), whose lCustData is the
// TCommonDialog. It attaches the dialog object to the dialog's window, which
// from then on sees the window's messages.
template <class Struct>
UINT_PTR CALLBACK DialogHook(HWND wnd, UINT msg, WPARAM, LPARAM lParam) {
    if (msg != WM_INITDIALOG) return 0;
    try {
        const auto* setup = reinterpret_cast<const Struct*>(lParam);
        auto* dialog = setup ? reinterpret_cast<TCommonDialog*>(setup->lCustData) : nullptr;
        if (dialog) dialog->AttachDialog(HookedDialog(wnd));
    } catch (...) {
        HandleFrameworkException();
    }
    return TRUE;
}

String CopyLimited(const String& s, std::size_t capacity) { return s.substr(0, capacity > 0 ? capacity - 1 : 0); }

}  // namespace

// ---------------------------------------------------------------------------
// TCommonDialog

TCommonDialog::~TCommonDialog() {
    if (FAttached) DetachWindow(FAttached, this);
}

void TCommonDialog::AttachDialog(HWND dialog) {
    if (FAttached) DetachWindow(FAttached, this);
    FAttached = nullptr;
    AttachWindow(dialog, this, TWndMethod::Of<&TCommonDialog::DialogWndProc>(this));
    FAttached = dialog;
    if (auto* find = dynamic_cast<TFindDialog*>(this)) find->PlaceDialog(dialog);
    if (auto* font = dynamic_cast<TFontDialog*>(this)) font->ShowStartFont(dialog);
    ::PostMessageW(dialog, ShownMessage(), 0, 0);
}

void TCommonDialog::DialogWndProc(TMessage& Message) {
    const HWND dialog = FAttached;
    if (Message.Msg == ShownMessage()) {
        DialogShown(dialog);
        return;
    }
    if (Message.Msg == WM_NCDESTROY) FAttached = nullptr;
    CallPreviousWndProc(dialog, this, Message);
}

void TCommonDialog::DialogShown(HWND dialog) {
    FHandle = dialog;
    DoShow();
    if (ShownHook) ShownHook(this, dialog);
}

void TCommonDialog::DoShow() {
    if (OnShow) OnShow(this);
}

void TCommonDialog::DoClose() {
    if (OnClose && !HasState(csDestroying)) OnClose(this);
}

HWND TCommonDialog::OwnerWindow() {
    if (HWND active = ::GetActiveWindow()) return active;
    return Application ? Application->Handle() : nullptr;
}

// ---------------------------------------------------------------------------
// TOpenDialog

String FilterToSystem(StringView filter) {
    if (filter.empty()) return String();
    String out(filter);
    std::replace(out.begin(), out.end(), u'|', u'\0');
    // Pairs end in a NUL each, the list in one more.
    out += u'\0';
    out += u'\0';
    return out;
}

namespace {

DWORD OpenOptionFlags(TOpenOptions options) {
    struct Flag {
        TOpenOption Option;
        DWORD Bits;
    };
    static constexpr Flag kFlags[] = {
        {ofReadOnly, OFN_READONLY},
        {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
        {ofHideReadOnly, OFN_HIDEREADONLY},
        {ofNoChangeDir, OFN_NOCHANGEDIR},
        {ofShowHelp, OFN_SHOWHELP},
        {ofNoValidate, OFN_NOVALIDATE},
        {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
        {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
        {ofPathMustExist, OFN_PATHMUSTEXIST},
        {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT},
        {ofShareAware, OFN_SHAREAWARE},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
        {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
        {ofNoNetworkButton, OFN_NONETWORKBUTTON},
        {ofNoLongNames, OFN_NOLONGNAMES},
        {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
        {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY},
        {ofEnableSizing, OFN_ENABLESIZING},
        {ofDontAddToRecent, OFN_DONTADDTORECENT},
        {ofForceShowHidden, OFN_FORCESHOWHIDDEN},
    };
    DWORD bits = 0;
    for (const Flag& f : kFlags)
        if (options.Contains(f.Option)) bits |= f.Bits;
    return bits;
}

// The files of a confirmed multi-selection: a folder followed by names, or
// one full path. The classic dialog separates them with blanks.
void ReadSelectedFiles(const wchar_t* buffer, std::size_t size, bool classic, TStrings& files) {
    std::vector<String> parts;
    std::size_t i = 0;
    while (i < size && buffer[i] != 0) {
        const std::size_t start = i;
        if (classic) {
            while (i < size && buffer[i] != 0 && buffer[i] != L' ') ++i;
            if (i > start) parts.push_back(FromW(buffer + start, i - start));
            if (i < size && buffer[i] == L' ') ++i;
        } else {
            while (i < size && buffer[i] != 0) ++i;
            parts.push_back(FromW(buffer + start, i - start));
            ++i;   // past the NUL; a second one ends the list
        }
    }
    if (parts.size() <= 1) {
        if (!parts.empty()) files.Add(parts.front());
        return;
    }
    String folder = parts.front();
    if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
    for (std::size_t p = 1; p < parts.size(); ++p) files.Add(folder + parts[p]);
}

}  // namespace

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner) { FFiles = new TStringList(); }

TOpenDialog::~TOpenDialog() { delete FFiles; }

bool TOpenDialog::RunDialog(OPENFILENAMEW& ofn) { return ::GetOpenFileNameW(&ofn) != FALSE; }

bool TSaveDialog::RunDialog(OPENFILENAMEW& ofn) { return ::GetSaveFileNameW(&ofn) != FALSE; }

bool TOpenDialog::Execute() {
    // Room for a long multi-selection.
    std::vector<wchar_t> file(65536, 0);
    const String name = CopyLimited(FFileName, file.size());
    std::copy(name.begin(), name.end(), file.begin());
    const String filter = FilterToSystem(FFilter);
    String defaultExt = FDefaultExt;
    if (!defaultExt.empty() && defaultExt.front() == u'.') defaultExt.erase(0, 1);
    const bool classic = ForceClassicDialog || FOptions.Contains(ofOldStyleDialog);

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = OwnerWindow();
    ofn.hInstance = ::GetModuleHandleW(nullptr);
    ofn.lpstrFilter = filter.empty() ? nullptr : WStr(filter);
    ofn.nFilterIndex = static_cast<DWORD>(std::max(FFilterIndex, 0));
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = FInitialDir.empty() ? nullptr : WStr(FInitialDir);
    ofn.lpstrTitle = FTitle.empty() ? nullptr : WStr(FTitle);
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : WStr(defaultExt);
    ofn.Flags = OpenOptionFlags(FOptions) | OFN_ENABLEHOOK | (classic ? 0 : OFN_EXPLORER);
    ofn.lCustData = reinterpret_cast<LPARAM>(this);
    ofn.lpfnHook = DialogHook<OPENFILENAMEW>;

    FFiles->Clear();
    bool confirmed = false;
    try {
        confirmed = RunDialog(ofn);
    } catch (...) {
        FHandle = nullptr;
        throw;
    }
    FHandle = nullptr;
    if (confirmed) {
        if (FOptions.Contains(ofAllowMultiSelect))
            ReadSelectedFiles(file.data(), file.size(), classic, *FFiles);
        else
            FFiles->Add(FromW(file.data()));
        FFileName = FFiles->Count() > 0 ? FFiles->Get(0) : FromW(file.data());
        FFilterIndex = static_cast<int>(ofn.nFilterIndex);
        if (ofn.Flags & OFN_READONLY)
            FOptions.Include(ofReadOnly);
        else
            FOptions.Exclude(ofReadOnly);
        if (ofn.Flags & OFN_EXTENSIONDIFFERENT)
            FOptions.Include(ofExtensionDifferent);
        else
            FOptions.Exclude(ofExtensionDifferent);
    }
    DoClose();
    return confirmed;
}

// ---------------------------------------------------------------------------
// TFontDialog

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner) { FFont = new TFont(); }

TFontDialog::~TFontDialog() { delete FFont; }

bool TFontDialog::Execute() {
    struct Flag {
        TFontDialogOption Option;
        DWORD Bits;
    };
    // fdWysiwyg needs a printer's fonts, which the screen-only dialog does not list.
    static constexpr Flag kFlags[] = {
        {fdAnsiOnly, CF_ANSIONLY},
        {fdTrueTypeOnly, CF_TTONLY},
        {fdEffects, CF_EFFECTS},
        {fdFixedPitchOnly, CF_FIXEDPITCHONLY},
        {fdForceFontExist, CF_FORCEFONTEXIST},
        {fdNoFaceSel, CF_NOFACESEL},
        {fdNoOEMFonts, CF_NOOEMFONTS},
        {fdNoSimulations, CF_NOSIMULATIONS},
        {fdNoSizeSel, CF_NOSIZESEL},
        {fdNoStyleSel, CF_NOSTYLESEL},
        {fdNoVectorFonts, CF_NOVECTORFONTS},
        {fdShowHelp, CF_SHOWHELP},
        {fdLimitSize, CF_LIMITSIZE},
        {fdScalableOnly, CF_SCALABLEONLY},
    };
    LOGFONTW font = FFont->LogFont();
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = OwnerWindow();
    cf.lpLogFont = &font;
    cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS | CF_ENABLEHOOK;
    for (const Flag& f : kFlags)
        if (FOptions.Contains(f.Option)) cf.Flags |= f.Bits;
    cf.rgbColors = static_cast<COLORREF>(ColorToRGB(FFont->Color()));
    cf.nSizeMin = FMinFontSize;
    cf.nSizeMax = FMaxFontSize;
    cf.lCustData = reinterpret_cast<LPARAM>(this);
    cf.lpfnHook = DialogHook<CHOOSEFONTW>;

    FStart = font;
    FChoice = &font;
    bool confirmed = false;
    try {
        confirmed = ::ChooseFontW(&cf) != FALSE;
    } catch (...) {
        FHandle = nullptr;
        FChoice = nullptr;
        throw;
    }
    FHandle = nullptr;
    FChoice = nullptr;
    if (confirmed) {
        FFont->SetName(FromW(font.lfFaceName));
        FFont->SetHeight(font.lfHeight);
        FFont->SetCharset(font.lfCharSet);
        TFontStyles style;
        if (font.lfWeight >= FW_BOLD) style.Include(fsBold);
        if (font.lfItalic) style.Include(fsItalic);
        if (font.lfUnderline) style.Include(fsUnderline);
        if (font.lfStrikeOut) style.Include(fsStrikeOut);
        FFont->SetStyle(style);
        switch (font.lfPitchAndFamily & 0x3) {
        case FIXED_PITCH: FFont->SetPitch(fpFixed); break;
        case VARIABLE_PITCH: FFont->SetPitch(fpVariable); break;
        default: FFont->SetPitch(fpDefault); break;
        }
        if (FOptions.Contains(fdEffects)) FFont->SetColor(static_cast<TColor>(cf.rgbColors));
    }
    DoClose();
    return confirmed;
}

void TFontDialog::ShowStartFont(HWND dialog) {
    // The face, style, size and script boxes of the system's dialog (cmb1,
    // cmb2, cmb3, cmb5).
    constexpr int kFaceBox = 0x0470, kStyleBox = 0x0471, kSizeBox = 0x0472, kScriptBox = 0x0474;
    HWND faces = ::GetDlgItem(dialog, kFaceBox);
    if (!FChoice || !faces || !FStart.lfFaceName[0]) return;
    wchar_t shown[LF_FACESIZE] = {};
    ::GetWindowTextW(faces, shown, LF_FACESIZE);
    if (SameText(FromW(shown), FromW(FStart.lfFaceName))) return;
    // Some systems' dialogs then start with the first face of their list and
    // its smallest size. The boxes show the font instead: its face typed in,
    // its style, size and script picked where the lists hold them.
    ::SendMessageW(faces, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SetWindowTextW(faces, FStart.lfFaceName);
    auto pick = [&](int box, auto matches) {
        HWND list = ::GetDlgItem(dialog, box);
        const LRESULT count = list ? ::SendMessageW(list, CB_GETCOUNT, 0, 0) : 0;
        for (LRESULT i = 0; i < count; ++i)
            if (matches(::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0))) {
                ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                return true;
            }
        return false;
    };
    pick(kStyleBox, [&](LRESULT data) {
        return (LOWORD(data) >= FW_BOLD) == (FStart.lfWeight >= FW_BOLD) && (HIWORD(data) != 0) == (FStart.lfItalic != 0);
    });
    pick(kScriptBox, [&](LRESULT data) { return static_cast<BYTE>(data) == FStart.lfCharSet; });
    const Integer points = FFont->Size();
    if (!pick(kSizeBox, [&](LRESULT data) { return static_cast<Integer>(LOWORD(data)) == points; })) {
        HWND sizes = ::GetDlgItem(dialog, kSizeBox);
        ::SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        ::SetWindowTextW(sizes, WStr(IntToStr(points)));
    }
    // The dialog takes the boxes in (its sample follows them); the record it
    // returns starts as the font.
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kSizeBox, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, kSizeBox)));
    *FChoice = FStart;
}

// ---------------------------------------------------------------------------
// TFindDialog

TFindDialog::TFindDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

TFindDialog::~TFindDialog() {
    CloseDialog();
    if (FHandle) {
        UnregisterModelessDialog(FHandle);
        if (::IsWindow(FHandle)) ::DestroyWindow(FHandle);
        FHandle = nullptr;
    }
    if (FWindow) DeallocateHWnd(FWindow);
}

bool TFindDialog::Execute() {
    if (FHandle && ::IsWindow(FHandle)) {
        ::SetActiveWindow(FHandle);
        ::BringWindowToTop(FHandle);
        return true;
    }
    // A window owned by a form that has gone went with it.
    if (FWindow && !::IsWindow(FWindow)) FWindow = nullptr;
    if (!FWindow) FWindow = AllocateHWnd(TWndMethod::Of<&TFindDialog::WndProc>(this));
    // The dialog belongs to the window it opened over, so that it stays in
    // front of it.
    ::SetWindowLongPtrW(FWindow, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(OwnerWindow()));

    struct Flag {
        TFindOption Option;
        DWORD Bits;
    };
    static constexpr Flag kFlags[] = {
        {frDown, FR_DOWN},
        {frFindNext, FR_FINDNEXT},
        {frHideMatchCase, FR_HIDEMATCHCASE},
        {frHideWholeWord, FR_HIDEWHOLEWORD},
        {frHideUpDown, FR_HIDEUPDOWN},
        {frMatchCase, FR_MATCHCASE},
        {frDisableMatchCase, FR_NOMATCHCASE},
        {frDisableUpDown, FR_NOUPDOWN},
        {frDisableWholeWord, FR_NOWHOLEWORD},
        {frReplace, FR_REPLACE},
        {frReplaceAll, FR_REPLACEALL},
        {frWholeWord, FR_WHOLEWORD},
        {frShowHelp, FR_SHOWHELP},
    };
    FFindReplace = {};
    FFindReplace.lStructSize = sizeof(FFindReplace);
    FFindReplace.hwndOwner = FWindow;
    FFindReplace.hInstance = ::GetModuleHandleW(nullptr);
    FFindReplace.Flags = FR_ENABLEHOOK;
    for (const Flag& f : kFlags)
        if (FOptions.Contains(f.Option)) FFindReplace.Flags |= f.Bits;
    FFindReplace.lpstrFindWhat = FFindTextBuffer;
    FFindReplace.wFindWhatLen = static_cast<WORD>(kFindTextSize);
    FFindReplace.lCustData = reinterpret_cast<LPARAM>(this);
    FFindReplace.lpfnHook = DialogHook<FINDREPLACEW>;

    HWND dialog = ::FindTextW(&FFindReplace);
    if (!dialog) {
        ::SetWindowLongPtrW(FWindow, GWLP_HWNDPARENT, 0);
        return false;
    }
    FHandle = dialog;
    RegisterModelessDialog(dialog);
    return true;
}

void TFindDialog::CloseDialog() {
    // The dialog answers with FR_DIALOGTERM (WndProc) as it goes.
    if (FHandle && ::IsWindow(FHandle)) ::SendMessageW(FHandle, WM_CLOSE, 0, 0);
}

void TFindDialog::PlaceDialog(HWND dialog) {
    FHandle = dialog;
    if (FPosition.X >= 0 && FPosition.Y >= 0)
        ::SetWindowPos(dialog, nullptr, FPosition.X, FPosition.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

String TFindDialog::FindText() const { return FromW(FFindTextBuffer); }

void TFindDialog::SetFindText(const String& value) {
    const String text = CopyLimited(value, kFindTextSize);
    std::fill(std::begin(FFindTextBuffer), std::end(FFindTextBuffer), L'\0');
    std::copy(text.begin(), text.end(), FFindTextBuffer);
    if (FHandle && ::IsWindow(FHandle)) ::SetDlgItemTextW(FHandle, kFindWhatEdit, FFindTextBuffer);
}

TPoint TFindDialog::Position() const {
    if (FHandle && ::IsWindow(FHandle)) {
        RECT r;
        ::GetWindowRect(FHandle, &r);
        return TPoint(r.left, r.top);
    }
    return FPosition;
}

void TFindDialog::SetPosition(const TPoint& value) {
    FPosition = value;
    if (FHandle && ::IsWindow(FHandle) && value.X >= 0 && value.Y >= 0)
        ::SetWindowPos(FHandle, nullptr, value.X, value.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFindDialog::Find() {
    if (OnFind) OnFind(this);
}

void TFindDialog::DoClose() { TCommonDialog::DoClose(); }

void TFindDialog::WndProc(TMessage& Message) {
    static const UINT findMessage = ::RegisterWindowMessageW(FINDMSGSTRINGW);
    if (Message.Msg != findMessage || reinterpret_cast<FINDREPLACEW*>(Message.LParam) != &FFindReplace) {
        Message.Result = ::DefWindowProcW(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    const DWORD flags = FFindReplace.Flags;
    if (flags & FR_DIALOGTERM) {
        if (FHandle) UnregisterModelessDialog(FHandle);
        FHandle = nullptr;
        ::SetWindowLongPtrW(FWindow, GWLP_HWNDPARENT, 0);
        DoClose();
        return;
    }
    // What the user left in the dialog.
    auto set = [this](TFindOption option, bool on) { on ? FOptions.Include(option) : FOptions.Exclude(option); };
    set(frDown, (flags & FR_DOWN) != 0);
    set(frMatchCase, (flags & FR_MATCHCASE) != 0);
    set(frWholeWord, (flags & FR_WHOLEWORD) != 0);
    set(frFindNext, (flags & FR_FINDNEXT) != 0);
    if (flags & FR_FINDNEXT) Find();
}
