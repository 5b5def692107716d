#include "StdCtrls.h"

#include "Forms.h"
#include "ImgList.h"
#include "Menus.h"
#include "WindowAttach.h"

#include <algorithm>
#include <vector>

namespace {

LRESULT Send(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageW(wnd, msg, wParam, lParam); }

// Counts a control's own changes to its window so that the notifications
// they cause are not reported as the user's.
class QuietScope {
public:
    explicit QuietScope(int& counter) : FCounter(counter) { ++FCounter; }
    ~QuietScope() { --FCounter; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    int& FCounter;
};

}  // namespace

String AdjustLineBreaks(StringView text) {
    String out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 121;
    FHeight = 21;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    FControlStyle = csClickEvents | csSetCaption | csDoubleClicks;
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"EDIT");
    // The text goes in once the window's limit is raised (InitializeWnd).
    Params.Caption.clear();
    Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    if (FReadOnly) Params.Style |= ES_READONLY;
    if (!FHideSelection) Params.Style |= ES_NOHIDESEL;
    if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
    if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
    if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::InitializeWnd() {
    TWinControl::InitializeWnd();
    SetTextLimit(FMaxLength);
    if (!FText.empty()) SetWindowTextQuietly(FText);
    SetSel(FSelStart, FSelStart + FSelLength);
    Send(FHandle, EM_SETMODIFY, FModified ? TRUE : FALSE);
}

void TCustomEdit::DestroyWnd() {
    if (FHandle) {
        int start = 0, end = 0;
        GetSel(start, end);
        FSelStart = start;
        FSelLength = end - start;
        FModified = Send(FHandle, EM_GETMODIFY) != 0;
    }
    TWinControl::DestroyWnd();
}

void TCustomEdit::SetTextLimit(int value) {
    if (FHandle) Send(FHandle, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(value, 0)));
}

void TCustomEdit::SetWindowTextQuietly(const String& value) {
    QuietScope quiet(FQuiet);
    ::SetWindowTextW(FHandle, WStr(value));
}

void TCustomEdit::SetText(const String& value) {
    if (value == GetText()) return;
    const unsigned reported = FChanges;
    TWinControl::SetText(value);
    // Without a window, and in a multi-line edit (which does not report text
    // set in code), the change is ours to announce.
    if (FChanges == reported) Change();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::Dispatch(TMessage& Message) {
    if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == EN_CHANGE) {
        ++FChanges;
        if (!FQuiet && !HasState(csDestroying)) Change();
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomEdit::SetMaxLength(int value) {
    FMaxLength = std::max(value, 0);
    SetTextLimit(FMaxLength);
}

void TCustomEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    if (FHandle) Send(FHandle, EM_SETREADONLY, value ? TRUE : FALSE);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TCustomEdit::SetHideSelection(bool value) {
    if (FHideSelection == value) return;
    FHideSelection = value;
    RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
    if (FCharCase == value) return;
    FCharCase = value;
    RecreateWnd();
}

bool TCustomEdit::Modified() { return FHandle ? Send(FHandle, EM_GETMODIFY) != 0 : FModified; }

void TCustomEdit::SetModified(bool value) {
    FModified = value;
    if (FHandle) Send(FHandle, EM_SETMODIFY, value ? TRUE : FALSE);
}

void TCustomEdit::GetSel(int& start, int& end) {
    if (!FHandle) {
        start = FSelStart;
        end = FSelStart + FSelLength;
        return;
    }
    DWORD s = 0, e = 0;
    Send(FHandle, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
}

void TCustomEdit::SetSel(int start, int end) {
    if (FHandle) {
        Send(FHandle, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
        return;
    }
    // Like the control: positions beyond the text go to its end, a negative
    // end means the end of the text.
    const int length = static_cast<int>(FText.size());
    if (end < 0) end = length;
    start = std::clamp(start, 0, length);
    end = std::clamp(end, 0, length);
    FSelStart = std::min(start, end);
    FSelLength = std::max(start, end) - FSelStart;
}

int TCustomEdit::SelStart() {
    int start = 0, end = 0;
    GetSel(start, end);
    return start;
}

void TCustomEdit::SetSelStart(int value) { SetSel(value, value); }

int TCustomEdit::SelLength() {
    int start = 0, end = 0;
    GetSel(start, end);
    return end - start;
}

void TCustomEdit::SetSelLength(int value) {
    const int start = SelStart();
    SetSel(start, start + value);
}

String TCustomEdit::GetSelText() {
    int start = 0, end = 0;
    GetSel(start, end);
    const String text = GetText();
    if (start < 0 || start >= end || static_cast<std::size_t>(start) >= text.size()) return String();
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

void TCustomEdit::SetSelText(const String& value) {
    if (FHandle) {
        Send(FHandle, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(WStr(value)));
        return;
    }
    String text = FText;
    const std::size_t start = std::min(static_cast<std::size_t>(std::max(FSelStart, 0)), text.size());
    const std::size_t length = std::min(static_cast<std::size_t>(std::max(FSelLength, 0)), text.size() - start);
    text.replace(start, length, value);
    FSelStart = static_cast<int>(start + value.size());
    FSelLength = 0;
    if (text != FText) SetText(text);
}

void TCustomEdit::SelectAll() { SetSel(0, -1); }

// ---------------------------------------------------------------------------
// TMemoStrings

namespace {

bool IsLineBreak(Char c) { return c == u'\r' || c == u'\n'; }

// Adds where each line of a text starts, from a line starting at from on; a
// final line break starts no line.
void AddLineStarts(const String& text, std::size_t from, std::vector<std::size_t>& starts) {
    std::size_t i = from;
    const std::size_t n = text.size();
    while (i < n) {
        starts.push_back(i);
        while (i < n && !IsLineBreak(text[i])) ++i;
        if (i < n && text[i] == u'\r') ++i;
        if (i < n && text[i] == u'\n') ++i;
    }
}

}  // namespace

const TMemoStrings::Snapshot& TMemoStrings::Current() const {
    const bool window = FMemo->HandleAllocated();
    // A window's text is read again after anything that may have changed
    // it; a control without a window holds its text itself.
    const bool fresh = FSnapshot.Valid && (window ? FSnapshot.Generation == FMemo->FTextGeneration
                                                  : FSnapshot.Text == FMemo->FText);
    if (!fresh) {
        FSnapshot.Text = FMemo->GetText();
        FSnapshot.Starts.clear();
        AddLineStarts(FSnapshot.Text, 0, FSnapshot.Starts);
        FSnapshot.Generation = FMemo->FTextGeneration;
        FSnapshot.Valid = true;
    }
    return FSnapshot;
}

std::size_t TMemoStrings::LineEnd(const Snapshot& lines, int index) const {
    std::size_t i = lines.Starts[static_cast<std::size_t>(index)];
    while (i < lines.Text.size() && !IsLineBreak(lines.Text[i])) ++i;
    return i;
}

int TMemoStrings::Count() const { return static_cast<int>(Current().Starts.size()); }

String TMemoStrings::Get(int index) const {
    const Snapshot& lines = Current();
    if (index < 0 || index >= static_cast<int>(lines.Starts.size())) RaiseIndexError(index);
    const std::size_t start = lines.Starts[static_cast<std::size_t>(index)];
    return lines.Text.substr(start, LineEnd(lines, index) - start);
}

void TMemoStrings::Replace(std::size_t from, std::size_t to, const String& with) {
    if (!FMemo->HandleAllocated()) {
        String text = Current().Text;
        text.replace(from, to - from, with);
        FMemo->SetText(text);
        return;
    }
    const Snapshot& lines = Current();
    HWND wnd = FMemo->Handle();
    const std::size_t start = FMemo->TextToPosition(lines.Text, from);
    const std::size_t end = FMemo->TextToPosition(lines.Text, to);
    Send(wnd, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
    Send(wnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(WStr(with)));
}

int TMemoStrings::Add(const String& s) {
    if (FMemo->HandleAllocated()) {
        const int index = FMemo->AppendLine(s);
        if (index >= 0) {
            FSnapshot.Valid = false;
            return index;
        }
    }
    return TStrings::Add(s);
}

void TMemoStrings::Append(const String& s) {
    const Snapshot& lines = Current();
    const String& text = lines.Text;
    const std::size_t size = text.size();
    const bool afterBreak = text.empty() || IsLineBreak(text.back());
    const String added = afterBreak ? s + u"\r\n" : u"\r\n" + s;
    Replace(size, size, added);
    if (!FMemo->HandleAllocated()) return;
    // Lines added one after another (a log, a page as it arrives) need not
    // read the whole text again each time: the snapshot follows the change
    // as long as the control took the text as it was given.
    FSnapshot.Text += added;
    std::size_t from = size;
    if (!afterBreak) {
        // The last line is read again together with what follows it.
        from = FSnapshot.Starts.back();
        FSnapshot.Starts.pop_back();
    }
    AddLineStarts(FSnapshot.Text, from, FSnapshot.Starts);
    if (FMemo->WindowTextLength() == FSnapshot.Text.size())
        FSnapshot.Generation = FMemo->FTextGeneration;
    else
        FSnapshot.Valid = false;
}

void TMemoStrings::Put(int index, const String& s) {
    const Snapshot& lines = Current();
    if (index < 0 || index >= static_cast<int>(lines.Starts.size())) RaiseIndexError(index);
    Replace(lines.Starts[static_cast<std::size_t>(index)], LineEnd(lines, index), s);
}

void TMemoStrings::Insert(int index, const String& s) {
    const Snapshot& lines = Current();
    const int count = static_cast<int>(lines.Starts.size());
    if (index < 0 || index > count) RaiseIndexError(index);
    if (index == count) {
        Append(s);
        return;
    }
    const std::size_t at = lines.Starts[static_cast<std::size_t>(index)];
    Replace(at, at, s + u"\r\n");
}

void TMemoStrings::Delete(int index) {
    const Snapshot& lines = Current();
    const int count = static_cast<int>(lines.Starts.size());
    if (index < 0 || index >= count) RaiseIndexError(index);
    const std::size_t start = lines.Starts[static_cast<std::size_t>(index)];
    const std::size_t end = index + 1 < count ? lines.Starts[static_cast<std::size_t>(index) + 1] : lines.Text.size();
    Replace(start, end, String());
}

void TMemoStrings::Clear() { FMemo->Clear(); }

void TMemoStrings::SetText(StringView text) { FMemo->SetText(AdjustLineBreaks(text)); }

void TMemoStrings::Assign(TPersistent* Source) {
    if (auto* source = dynamic_cast<TStrings*>(Source)) {
        if (source != this) SetText(source->Text());
        return;
    }
    TStrings::Assign(Source);
}

void TMemoStrings::SetUpdateState(bool updating) {
    if (!FMemo->HandleAllocated()) return;
    HWND wnd = FMemo->Handle();
    Send(wnd, WM_SETREDRAW, updating ? FALSE : TRUE);
    if (!updating) ::InvalidateRect(wnd, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// TCustomMemo

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner) {
    FWidth = 185;
    FHeight = 89;
    FLines = new TMemoStrings(this);
}

TCustomMemo::~TCustomMemo() { delete FLines; }

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    // A wrapping memo does not scroll sideways.
    if (FWordWrap) Params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
    if (FWantReturns) Params.Style |= ES_WANTRETURN;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    switch (FAlignment) {
    case taRightJustify: Params.Style |= ES_RIGHT; break;
    case taCenter: Params.Style |= ES_CENTER; break;
    default: break;
    }
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
    if (FScrollBars == value) return;
    FScrollBars = value;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool value) {
    if (FWordWrap == value) return;
    FWordWrap = value;
    RecreateWnd();
}

void TCustomMemo::SetWantReturns(bool value) {
    if (FWantReturns == value) return;
    FWantReturns = value;
    RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    RecreateWnd();
}

void TCustomMemo::KeyPress(Char& Key) {
    TCustomEdit::KeyPress(Key);
    if ((Key == u'\r' && !FWantReturns) || (Key == u'\t' && !FWantTabs)) Key = 0;
}

namespace {

// Messages that leave a window's text as it is (those that read it, and the
// frequent ones of painting and the mouse).
bool KeepsText(UINT msg) {
    switch (msg) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case EM_GETTEXTEX:
    case EM_GETTEXTLENGTHEX:
    case EM_GETTEXTRANGE:
    case EM_GETLINECOUNT:
    case EM_LINEINDEX:
    case EM_LINELENGTH:
    case EM_GETLINE:
    case EM_GETSEL:
    case EM_EXGETSEL:
    case EM_GETMODIFY:
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_GETDLGCODE:
        return true;
    default:
        return false;
    }
}

}  // namespace

void TCustomMemo::Dispatch(TMessage& Message) {
    if (!KeepsText(Message.Msg)) ++FTextGeneration;
    if (Message.Msg == WM_GETDLGCODE) {
        TCustomEdit::Dispatch(Message);
        // Enter and Tab that the memo does not take are left to the form.
        if (!FWantReturns) Message.Result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
        if (!FWantTabs) Message.Result &= ~static_cast<LRESULT>(DLGC_WANTTAB);
        return;
    }
    TCustomEdit::Dispatch(Message);
}

std::size_t TCustomMemo::TextToPosition(const String&, std::size_t offset) const { return offset; }

std::size_t TCustomMemo::WindowTextLength() const {
    return FHandle ? static_cast<std::size_t>(std::max(::GetWindowTextLengthW(FHandle), 0)) : FText.size();
}

// ---------------------------------------------------------------------------
// TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 75;
    FHeight = 25;
    FTabStop = true;
    // The system button reports clicks itself (BN_CLICKED).
    FControlStyle = csSetCaption | csDoubleClicks;
}

void TButton::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"BUTTON");
    Params.Style |= (FDefault || FActive) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (FWordWrap) Params.Style |= BS_MULTILINE;
}

void TButton::SetDefault(bool value) {
    if (FDefault == value) return;
    FDefault = value;
    if (!FHandle) return;
    // The active look follows the new setting unless another button has the focus.
    TWinControl* focused = nullptr;
    if (TCustomForm* form = GetParentForm(this)) focused = form->ActiveControl();
    SetFocusedState(focused == this || (!dynamic_cast<TButton*>(focused) && value));
}

void TButton::SetFocusedState(bool Active) {
    FActive = Active;
    if (!FHandle) return;
    const LONG_PTR kind = ::GetWindowLongPtrW(FHandle, GWL_STYLE) & BS_TYPEMASK;
    if (kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON) return;
    const WPARAM style = (Active || FDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (static_cast<WPARAM>(kind) != style) Send(FHandle, BM_SETSTYLE, style, TRUE);
}

void TButton::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) FImages->FreeNotification(this);
    UpdateImages();
    UpdateImageList();
}

void TButton::SetImageValue(Integer& Field, Integer Value) {
    if (Field == Value) return;
    Field = Value;
    UpdateImages();
    UpdateImageList();
}

void TButton::SetImageAlignment(TImageAlignment Value) {
    if (FImageAlignment == Value) return;
    FImageAlignment = Value;
    UpdateImageList();
}

void TButton::SetImageMargins(const TImageMargins& Value) {
    FImageMargins = Value;
    UpdateImageList();
}

void TButton::SetCommandLinkHint(const String& Value) {
    if (FCommandLinkHint == Value) return;
    FCommandLinkHint = Value;
    Invalidate();
}

void TButton::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    if (FHandle) {
        const LONG_PTR style = ::GetWindowLongPtrW(FHandle, GWL_STYLE);
        ::SetWindowLongPtrW(FHandle, GWL_STYLE, Value ? (style | BS_MULTILINE) : (style & ~static_cast<LONG_PTR>(BS_MULTILINE)));
    }
    Invalidate();
}

void TButton::SetDropDownMenu(TPopupMenu* Value) {
    if (FDropDownMenu == Value) return;
    if (FDropDownMenu) FDropDownMenu->RemoveFreeNotification(this);
    FDropDownMenu = Value;
    if (FDropDownMenu) FDropDownMenu->FreeNotification(this);
}

void TButton::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && FDropDownMenu && AComponent == FDropDownMenu) FDropDownMenu = nullptr;
    if (Operation == TOperation::opRemove && AComponent == FImages) {
        FImages = nullptr;
        UpdateImageList();
    }
}

void TButton::WndProc(TMessage& Message) {
    if (Message.Msg == BM_SETSTYLE && FHandle) {
        // The dialog manager moves the default look between buttons with
        // BM_SETSTYLE; an owner-drawn button stays owner-drawn and learns of
        // its active look instead.
        const LONG_PTR kind = ::GetWindowLongPtrW(FHandle, GWL_STYLE) & BS_TYPEMASK;
        if (kind == BS_OWNERDRAW) {
            if ((Message.WParam & BS_TYPEMASK) != BS_OWNERDRAW)
                Message.WParam = (Message.WParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
        }
    }
    TWinControl::WndProc(Message);
}

void TButton::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == BN_CLICKED) {
            Click();
            return;
        }
        break;
    case CM_DIALOGKEY:
        if (((Message.WParam == VK_RETURN && FDefault) || (Message.WParam == VK_ESCAPE && FCancel)) && CanFocus()) {
            Click();
            Message.Result = 1;
            return;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The system button takes the capture and shows itself pushed first,
        // so that MouseDown sees the pushed state, as the button does on its own.
        FControlState |= csLButtonDown;
        DefaultHandler(Message);
        if (Message.Msg == WM_LBUTTONDBLCLK && (FControlStyle & csDoubleClicks)) DblClick();
        MouseDown(TMouseButton::mbLeft, KeysToShiftState(Message.WParam) | (Message.Msg == WM_LBUTTONDBLCLK ? ssDouble : 0),
                  GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        return;
    case WM_LBUTTONUP:
        // MouseUp while the button still shows itself pushed; the system
        // button then releases and reports the click (BN_CLICKED).
        MouseUp(TMouseButton::mbLeft, KeysToShiftState(Message.WParam), GET_X_LPARAM(Message.LParam),
                GET_Y_LPARAM(Message.LParam));
        FControlState &= ~csLButtonDown;
        if (FHandle) DefaultHandler(Message);
        return;
    case CM_FOCUSCHANGED: {
        // lParam is the control that took the focus.
        auto* focused = reinterpret_cast<TWinControl*>(Message.LParam);
        SetFocusedState(focused == this || (!dynamic_cast<TButton*>(focused) && FDefault));
        break;
    }
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 97;
    FHeight = 17;
    FTabStop = true;
    FControlStyle = csSetCaption | csDoubleClicks;
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"BUTTON");
    // Not BS_AUTO3STATE: the control decides what a click does.
    Params.Style |= BS_3STATE;
    if (FAlignment == taLeftJustify) Params.Style |= BS_LEFTTEXT;
    if (FWordWrap) Params.Style |= BS_MULTILINE;
}

void TCustomCheckBox::InitializeWnd() {
    TWinControl::InitializeWnd();
    Send(FHandle, BM_SETCHECK, static_cast<WPARAM>(FState.load()));
}

void TCustomCheckBox::SetState(TCheckBoxState value) { ApplyChecked(value); }

void TCustomCheckBox::ApplyChecked(TCheckBoxState value) {
    if (FState.exchange(value) == value) return;
    if (FHandle) Send(FHandle, BM_SETCHECK, static_cast<WPARAM>(value));
    if (!HasState(csLoading) && !HasState(csDestroying)) Click();
}

void TCustomCheckBox::SetWordWrap(bool value) {
    if (FWordWrap == value) return;
    FWordWrap = value;
    RecreateWnd();
    AdjustSize();
}

void TCustomCheckBox::SetAutoSize(bool value) {
    if (FAutoSize == value) return;
    FAutoSize = value;
    AdjustSize();
}

void TCustomCheckBox::AdjustSize() {
    if (!FAutoSize || HasState(csLoading) || HasState(csDestroying)) return;
    int w = FWidth, h = FHeight;
    if (CalcAutoSize(w, h) && (w != FWidth || h != FHeight)) SetBounds(FLeft, FTop, w, h);
}

bool TCustomCheckBox::CalcAutoSize(int&, int&) { return false; }

void TCustomCheckBox::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    RecreateWnd();
}

void TCustomCheckBox::Toggle() {
    switch (State()) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

void TCustomCheckBox::Dispatch(TMessage& Message) {
    if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == BN_CLICKED) {
        Toggle();
        return;
    }
    TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TComboBoxStrings

int TComboBoxStrings::Count() const {
    if (!FCombo->HandleAllocated()) return FCombo->FSaveItems->Count();
    return static_cast<int>(std::max<LRESULT>(Send(FCombo->Handle(), CB_GETCOUNT), 0));
}

String TComboBoxStrings::Get(int index) const {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
    if (!FCombo->HandleAllocated()) return FCombo->FSaveItems->Get(index);
    HWND wnd = FCombo->Handle();
    const LRESULT length = Send(wnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length <= 0) return String();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, 0);
    const LRESULT got = Send(wnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return FromW(buffer.data(), static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
}

TObject* TComboBoxStrings::GetObject(int index) const {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
    if (!FCombo->HandleAllocated()) return FCombo->FSaveItems->GetObject(index);
    const LRESULT data = Send(FCombo->Handle(), CB_GETITEMDATA, static_cast<WPARAM>(index));
    return data == CB_ERR ? nullptr : reinterpret_cast<TObject*>(data);
}

void TComboBoxStrings::PutObject(int index, TObject* object) {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
    if (!FCombo->HandleAllocated()) {
        FCombo->FSaveItems->PutObject(index, object);
        return;
    }
    Send(FCombo->Handle(), CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
}

void TComboBoxStrings::Insert(int index, const String& s) {
    if (index < 0 || index > Count()) RaiseIndexError(index);
    if (!FCombo->HandleAllocated()) {
        FCombo->FSaveItems->Insert(index, s);
        if (FCombo->FItemIndex >= index) ++FCombo->FItemIndex;
        return;
    }
    const LRESULT r = Send(FCombo->Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(WStr(s)));
    if (r < 0) throw EOutOfResources(u"Cannot add an item to the combo box");
}

int TComboBoxStrings::Add(const String& s) {
    if (!FCombo->HandleAllocated()) return FCombo->FSaveItems->Add(s);
    const LRESULT r = Send(FCombo->Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WStr(s)));
    if (r < 0) throw EOutOfResources(u"Cannot add an item to the combo box");
    return static_cast<int>(r);
}

void TComboBoxStrings::Delete(int index) {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
    if (!FCombo->HandleAllocated()) {
        FCombo->FSaveItems->Delete(index);
        int& selected = FCombo->FItemIndex;
        if (selected == index) {
            selected = -1;
            if (!FCombo->HasEditField()) FCombo->FText.clear();
        } else if (selected > index) {
            --selected;
        }
        return;
    }
    Send(FCombo->Handle(), CB_DELETESTRING, static_cast<WPARAM>(index));
}

void TComboBoxStrings::Clear() {
    if (!FCombo->HandleAllocated()) {
        FCombo->FSaveItems->Clear();
        FCombo->FItemIndex = -1;
        if (!FCombo->HasEditField()) FCombo->FText.clear();
        return;
    }
    // Emptying the list empties the edit field too; the text stays.
    const String text = FCombo->Text();
    QuietScope quiet(FCombo->FQuiet);
    Send(FCombo->Handle(), CB_RESETCONTENT);
    if (FCombo->HasEditField()) ::SetWindowTextW(FCombo->Handle(), WStr(text));
}

void TComboBoxStrings::SetUpdateState(bool updating) {
    if (!FCombo->HandleAllocated()) return;
    HWND wnd = FCombo->Handle();
    Send(wnd, WM_SETREDRAW, updating ? FALSE : TRUE);
    if (!updating) ::InvalidateRect(wnd, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 145;
    FHeight = 21;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    FControlStyle = csSetCaption | csDoubleClicks;
    FItems = new TComboBoxStrings(this);
    FSaveItems = new TStringList();
    FCanvas = New<TControlCanvas>(this);
}

TCustomComboBox::~TCustomComboBox() {
    delete FItems;
    delete FSaveItems;
    FCanvas->Free();
}

int TCustomComboBox::ItemHeight() {
    if (FHandle && FStyle != csOwnerDrawFixed && FStyle != csOwnerDrawVariable) {
        const LRESULT h = Send(FHandle, CB_GETITEMHEIGHT, 0);
        if (h > 0) return static_cast<int>(h);
    }
    return FItemHeight;
}

void TCustomComboBox::SetItemHeight(int value) {
    if (value <= 0) return;
    FItemHeight = value;
    if (FHandle) {
        // The selection field (index -1) and the list's items.
        Send(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), value);
        Send(FHandle, CB_SETITEMHEIGHT, 0, value);
        ::InvalidateRect(FHandle, nullptr, TRUE);
    }
}

void TCustomComboBox::InnerWndProc(TMessage& Message, HWND Wnd) { DefaultInnerHandler(Message, Wnd); }

void TCustomComboBox::DefaultInnerHandler(TMessage& Message, HWND Wnd) {
    if (!CallPreviousWndProc(Wnd, this, Message))
        Message.Result = ::DefWindowProcW(Wnd, Message.Msg, Message.WParam, Message.LParam);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, UINT State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas* canvas = FCanvas;
    canvas->SetFont(Font());
    const bool selected = (State & ODS_SELECTED) != 0;
    canvas->Brush()->SetColor(selected ? clHighlight : Color());
    if (selected) canvas->Font()->SetColor(clHighlightText);
    canvas->FillRect(Rect);
    if (Index >= 0 && Index < FItems->Count()) canvas->TextOut(Rect.Left + 2, Rect.Top, FItems->Get(Index));
}

void TCustomComboBox::MeasureItem(int /*Index*/, int& Height) {
    if (FItemHeight > 0) Height = FItemHeight;
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"COMBOBOX");
    Params.Caption.clear();
    Params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (FStyle) {
    case csDropDown: Params.Style |= CBS_DROPDOWN; break;
    case csSimple: Params.Style |= CBS_SIMPLE; break;
    case csDropDownList: Params.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: Params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case csOwnerDrawVariable: Params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
    }
    // Items drawn by the control keep their texts in the list.
    if (Params.Style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) Params.Style |= CBS_HASSTRINGS;
    // The height asked for at creation sizes the drop-down list; the system
    // gives the window the height of its selection field.
    if (FStyle != csSimple) Params.Height = FHeight + FDropDownCount * std::max(FHeight - 6, 12);
}

void TCustomComboBox::InitializeWnd() {
    TWinControl::InitializeWnd();
    // The inner edit field and list pass their messages through InnerWndProc.
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (::GetComboBoxInfo(FHandle, &info)) {
        if (info.hwndItem && info.hwndItem != FHandle) {
            FEditHandle = info.hwndItem;
            AttachWindow(FEditHandle, this, TWndMethod::Of<&TCustomComboBox::EditMethod>(this));
        }
        if (info.hwndList) {
            FListHandle = info.hwndList;
            AttachWindow(FListHandle, this, TWndMethod::Of<&TCustomComboBox::ListMethod>(this));
        }
    }
    QuietScope quiet(FQuiet);
    if (FItemHeight > 0 && FStyle != csOwnerDrawVariable) {
        Send(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), FItemHeight);
        Send(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);
    }
    if (FMaxLength > 0) Send(FHandle, CB_LIMITTEXT, static_cast<WPARAM>(FMaxLength));
    for (int i = 0; i < FSaveItems->Count(); ++i) {
        const LRESULT at = Send(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WStr(FSaveItems->Get(i))));
        if (at >= 0 && FSaveItems->GetObject(i))
            Send(FHandle, CB_SETITEMDATA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(FSaveItems->GetObject(i)));
    }
    const int count = FSaveItems->Count();
    FSaveItems->Clear();
    if (FItemIndex >= 0 && FItemIndex < count)
        Send(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FItemIndex));
    else if (HasEditField() && !FText.empty())
        ::SetWindowTextW(FHandle, WStr(FText));
}

void TCustomComboBox::DestroyWnd() {
    if (FHandle) {
        // The items live on in the list until the next window takes them.
        FSaveItems->Clear();
        const int count = FItems->Count();
        for (int i = 0; i < count; ++i) FSaveItems->AddObject(FItems->Get(i), FItems->GetObject(i));
        FItemIndex = static_cast<int>(Send(FHandle, CB_GETCURSEL));
        if (FEditHandle) DetachWindow(FEditHandle, this);
        if (FListHandle) DetachWindow(FListHandle, this);
    }
    TWinControl::DestroyWnd();
    FEditHandle = nullptr;
    FListHandle = nullptr;
}

void TCustomComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle && FStyle != csSimple) {
        // The window keeps the height of its selection field.
        if (ReadBoundsFromWindow() && !HasState(csLoading)) Resize();
    }
}

int TCustomComboBox::ItemIndex() {
    if (!FHandle) return FItemIndex;
    return static_cast<int>(Send(FHandle, CB_GETCURSEL));
}

void TCustomComboBox::SetItemIndex(int value) {
    if (value < -1 || value >= FItems->Count()) value = -1;
    if (FHandle) {
        QuietScope quiet(FQuiet);
        Send(FHandle, CB_SETCURSEL, static_cast<WPARAM>(value));
        return;
    }
    FItemIndex = value;
    FText = value >= 0 ? FSaveItems->Get(value) : String();
}

void TCustomComboBox::SetText(const String& value) {
    if (!HasEditField()) {
        const int index = FItems->IndexOf(value);
        SetItemIndex(index);
        return;
    }
    QuietScope quiet(FQuiet);
    TWinControl::SetText(value);
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    RecreateWnd();
}

bool TCustomComboBox::DroppedDown() { return FHandle && Send(FHandle, CB_GETDROPPEDSTATE) != 0; }

void TCustomComboBox::SetDroppedDown(bool value) {
    if (FHandle) Send(FHandle, CB_SHOWDROPDOWN, value ? TRUE : FALSE);
}

void TCustomComboBox::SetMaxLength(int value) {
    FMaxLength = std::max(value, 0);
    if (FHandle) Send(FHandle, CB_LIMITTEXT, static_cast<WPARAM>(FMaxLength));
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::AdjustDropDown() {
    const int count = std::clamp(FItems->Count(), 1, FDropDownCount);
    const auto itemHeight = static_cast<int>(Send(FHandle, CB_GETITEMHEIGHT, 0));
    RECT r;
    ::GetWindowRect(FHandle, &r);
    ::SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, (r.bottom - r.top) + itemHeight * count + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void TCustomComboBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CN_COMMAND:
        switch (HIWORD(Message.WParam)) {
        case CBN_EDITCHANGE:
            if (!FQuiet) Change();
            return;
        case CBN_SELCHANGE: {
            if (FQuiet) return;
            // The edit field shows the new item only after this notice: put
            // it there first so that OnChange reads the new text.
            const int index = ItemIndex();
            if (HasEditField() && index >= 0) {
                QuietScope quiet(FQuiet);
                ::SetWindowTextW(FHandle, WStr(FItems->Get(index)));
            }
            Click();
            Change();
            return;
        }
        case CBN_DROPDOWN:
            AdjustDropDown();
            return;
        default:
            break;
        }
        break;
    case CN_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
        if (dis == nullptr) break;
        const int saved = ::SaveDC(dis->hDC);
        FCanvas->Lock();
        FCanvas->SetHandle(dis->hDC);
        try {
            DrawItem(static_cast<int>(static_cast<int>(dis->itemID)),
                     TRect(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom),
                     dis->itemState);
        } catch (...) {
            FCanvas->SetHandle(nullptr);
            FCanvas->Unlock();
            ::RestoreDC(dis->hDC, saved);
            throw;
        }
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
        ::RestoreDC(dis->hDC, saved);
        Message.Result = 1;
        return;
    }
    case CN_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
        if (mis == nullptr) break;
        int height = static_cast<int>(mis->itemHeight);
        MeasureItem(static_cast<int>(mis->itemID), height);
        mis->itemHeight = static_cast<UINT>(std::max(height, 1));
        Message.Result = 1;
        return;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        // From the combo box's own edit field and list: the control's colours.
        Message.Result = Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
        return;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TCustomLabel

namespace {

UINT LabelTextFlags(TAlignment alignment, bool wordWrap, bool showAccelChar) {
    UINT flags = DT_EXPANDTABS;
    if (wordWrap) flags |= DT_WORDBREAK;
    if (!showAccelChar) flags |= DT_NOPREFIX;
    switch (alignment) {
    case taRightJustify: flags |= DT_RIGHT; break;
    case taCenter: flags |= DT_CENTER; break;
    default: flags |= DT_LEFT; break;
    }
    return flags;
}

// Selects a font into a DC for the life of the object.
class FontSelection {
public:
    FontSelection(HDC dc, HFONT font) : FDC(dc), FOld(::SelectObject(dc, font)) {}
    ~FontSelection() { ::SelectObject(FDC, FOld); }
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};

}  // namespace

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 65;
    FHeight = 17;
    FControlStyle |= csOpaque;
}

UINT TCustomLabel::TextFlags() const { return LabelTextFlags(FAlignment, FWordWrap, FShowAccelChar); }

RECT TCustomLabel::TextExtent(HDC dc) {
    RECT r = {0, 0, FWordWrap ? FWidth : 0, 0};
    const HDC saved = FCanvas->HandleAllocated() ? FCanvas->Handle() : nullptr;
    FCanvas->SetHandle(dc);
    try {
        DoDrawText(r, TextFlags() | DT_CALCRECT);
    } catch (...) {
        FCanvas->SetHandle(saved);
        throw;
    }
    FCanvas->SetHandle(saved);
    return r;
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize || HasState(csLoading) || HasState(csDestroying)) return;
    HDC dc = ::GetDC(nullptr);
    const RECT r = TextExtent(dc);
    ::ReleaseDC(nullptr, dc);
    int left = FLeft;
    if (FAlignment == taRightJustify && !FWordWrap) left = FLeft + FWidth - r.right;
    SetBounds(left, FTop, r.right, r.bottom);
}

void TCustomLabel::Paint() {
    RECT r = ClientRect();
    if (!FTransparent) {
        FCanvas->Brush()->SetStyle(bsSolid);
        FCanvas->Brush()->SetColor(FColor);
        FCanvas->FillRect(r);
    }
    if (Caption().empty()) return;
    const UINT flags = TextFlags();
    if (FLayout != tlTop) {
        RECT need = {0, 0, r.right, 0};
        DoDrawText(need, flags | DT_CALCRECT);
        const int spare = r.bottom - need.bottom;
        r.top += FLayout == tlBottom ? spare : spare / 2;
    }
    DoDrawText(r, flags);
}

void TCustomLabel::DoDrawText(RECT& Rect, UINT Flags) {
    HDC dc = FCanvas->Handle();
    String text = Caption();
    if (Flags & DT_CALCRECT) {
        // An empty label still has the height of a line.
        if (text.empty() || (FShowAccelChar && text == u"&")) text += u' ';
        FontSelection font(dc, FFont->Handle());
        ::DrawTextW(dc, WStr(text), static_cast<int>(text.size()), &Rect, Flags);
        return;
    }
    if (text.empty()) return;
    FontSelection font(dc, FFont->Handle());
    const int mode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF old = ::GetTextColor(dc);
    if (FEnabled) {
        ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(FFont->Color())));
        ::DrawTextW(dc, WStr(text), static_cast<int>(text.size()), &Rect, Flags);
    } else {
        // Disabled text looks engraved.
        RECT shifted = Rect;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
        ::DrawTextW(dc, WStr(text), static_cast<int>(text.size()), &shifted, Flags);
        ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnShadow)));
        ::DrawTextW(dc, WStr(text), static_cast<int>(text.size()), &Rect, Flags);
    }
    ::SetTextColor(dc, old);
    ::SetBkMode(dc, mode);
}

void TCustomLabel::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        AdjustBounds();
        return;
    default:
        break;
    }
    TGraphicControl::Dispatch(Message);
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::SetAutoSize(bool value) {
    if (FAutoSize == value) return;
    FAutoSize = value;
    AdjustBounds();
}

void TCustomLabel::SetTransparent(bool value) {
    if (FTransparent == value) return;
    FTransparent = value;
    if (value)
        FControlStyle &= ~csOpaque;
    else
        FControlStyle |= csOpaque;
    Invalidate();
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value) {
    if (FLayout == value) return;
    FLayout = value;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
    if (FWordWrap == value) return;
    FWordWrap = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
    if (FFocusControl == value) return;
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = value;
    if (value) FreeNotification(value);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (FShowAccelChar == value) return;
    FShowAccelChar = value;
    AdjustBounds();
    Invalidate();
}

// ---------------------------------------------------------------------------
// Scrolling controls

void TControlScrollBar::SetPosition(int value) {
    if (FKind == sbHorizontal)
        FControl->ScrollTo(value, FControl->FVertScrollBar->FPosition);
    else
        FControl->ScrollTo(FControl->FHorzScrollBar->FPosition, value);
}

void TControlScrollBar::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    FControl->UpdateScrollBars();
}

bool TControlScrollBar::IsScrollBarVisible() const {
    const RECT client = FControl->ClientRect();
    const int page = FKind == sbHorizontal ? client.right : client.bottom;
    return FVisible && FRange > page;
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner) : TWinControl(AOwner) {
    FControlStyle |= csAcceptsControls;
    FHorzScrollBar = new TControlScrollBar(this, sbHorizontal);
    FVertScrollBar = new TControlScrollBar(this, sbVertical);
}

TScrollingWinControl::~TScrollingWinControl() {
    delete FHorzScrollBar;
    FHorzScrollBar = nullptr;
    delete FVertScrollBar;
    FVertScrollBar = nullptr;
}

void TScrollingWinControl::AlignControls(TControl* AControl, RECT& Rect) {
    TWinControl::AlignControls(AControl, Rect);
    UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
    if (FUpdating > 0 || !FHorzScrollBar || !FVertScrollBar || HasState(csDestroying)) return;
    if (FAutoScroll) {
        // The extent of the children measured from the origin of the scrolled area.
        int width = 0, height = 0;
        for (TControl* c : FControls) {
            if (!c->Visible() || c->Align() != TAlign::alNone) continue;
            width = std::max(width, c->Left() + c->Width() + FHorzScrollBar->FPosition);
            height = std::max(height, c->Top() + c->Height() + FVertScrollBar->FPosition);
        }
        FHorzScrollBar->FRange = width;
        FVertScrollBar->FRange = height;
    }
    if (!FHandle) return;
    ++FUpdating;
    // A bar that appears narrows the view of the other one: settle both.
    for (int pass = 0; pass < 3; ++pass) {
        RECT before;
        ::GetClientRect(FHandle, &before);
        for (TControlScrollBar* bar : {FHorzScrollBar, FVertScrollBar}) {
            const bool horizontal = bar->FKind == sbHorizontal;
            RECT client;
            ::GetClientRect(FHandle, &client);
            SCROLLINFO si = {};
            si.cbSize = sizeof(si);
            si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            if (bar->FVisible && bar->FRange > 0) {
                si.nMax = bar->FRange - 1;
                si.nPage = static_cast<UINT>(horizontal ? client.right : client.bottom);
                si.nPos = bar->FPosition;
            }
            ::SetScrollInfo(FHandle, horizontal ? SB_HORZ : SB_VERT, &si, TRUE);
        }
        RECT after;
        ::GetClientRect(FHandle, &after);
        if (::EqualRect(&before, &after)) break;
    }
    --FUpdating;
    // A view that grew (or a range that shrank) may leave the position too far.
    ScrollTo(FHorzScrollBar->FPosition, FVertScrollBar->FPosition);
}

void TScrollingWinControl::ScrollTo(int x, int y) {
    const RECT client = ClientRect();
    auto clamp = [](const TControlScrollBar* bar, int value, int page) {
        if (!bar->FVisible) return 0;
        return std::clamp(value, 0, MaxScrollPosition(bar->FRange, page));
    };
    x = clamp(FHorzScrollBar, x, client.right);
    y = clamp(FVertScrollBar, y, client.bottom);
    const int dx = FHorzScrollBar->FPosition - x;
    const int dy = FVertScrollBar->FPosition - y;
    if (dx == 0 && dy == 0) return;
    FHorzScrollBar->FPosition = x;
    FVertScrollBar->FPosition = y;
    ++FUpdating;
    try {
        for (TControl* c : std::vector<TControl*>(FControls))
            if (c->Align() == TAlign::alNone) c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
    } catch (...) {
        --FUpdating;
        throw;
    }
    --FUpdating;
    if (FHandle) {
        if (dx) ::SetScrollPos(FHandle, SB_HORZ, x, TRUE);
        if (dy) ::SetScrollPos(FHandle, SB_VERT, y, TRUE);
        ::InvalidateRect(FHandle, nullptr, TRUE);
    }
}

void TScrollingWinControl::ScrollInView(TControl* AControl) {
    if (!AControl || !ContainsControl(AControl) || AControl == this) return;
    // The control's rectangle in this control's client coordinates.
    POINT origin = AControl->ClientOrigin();
    const POINT mine = ClientOrigin();
    origin.x -= mine.x;
    origin.y -= mine.y;
    const RECT client = ClientRect();
    int x = FHorzScrollBar->FPosition, y = FVertScrollBar->FPosition;
    if (origin.x < 0)
        x += origin.x;
    else if (origin.x + AControl->Width() > client.right)
        x += std::min(origin.x, origin.x + AControl->Width() - client.right);
    if (origin.y < 0)
        y += origin.y;
    else if (origin.y + AControl->Height() > client.bottom)
        y += std::min(origin.y, origin.y + AControl->Height() - client.bottom);
    ScrollTo(x, y);
}

void TScrollingWinControl::ScrollMessage(TControlScrollBar* bar, int code) {
    const bool horizontal = bar->FKind == sbHorizontal;
    const RECT client = ClientRect();
    const int page = horizontal ? client.right : client.bottom;
    int pos = bar->FPosition;
    switch (code) {
    case SB_LINEUP: pos -= bar->Increment; break;
    case SB_LINEDOWN: pos += bar->Increment; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = bar->FRange; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {};
        si.cbSize = sizeof(si);
        si.fMask = SIF_TRACKPOS;
        if (::GetScrollInfo(FHandle, horizontal ? SB_HORZ : SB_VERT, &si)) pos = si.nTrackPos;
        break;
    }
    default:
        return;
    }
    bar->SetPosition(pos);
}

void TScrollingWinControl::SetAutoScroll(bool value) {
    if (FAutoScroll == value) return;
    FAutoScroll = value;
    if (!value) {
        FHorzScrollBar->FRange = 0;
        FVertScrollBar->FRange = 0;
    }
    UpdateScrollBars();
}

bool TScrollingWinControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TWinControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    if (!FVertScrollBar->IsScrollBarVisible()) return false;
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    const int notches = WheelDelta / WHEEL_DELTA;
    FVertScrollBar->SetPosition(FVertScrollBar->FPosition - notches * static_cast<int>(lines) * FVertScrollBar->Increment);
    return true;
}

void TScrollingWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        // From the control's own bars (a scroll bar control would name itself).
        if (Message.LParam == 0) {
            ScrollMessage(Message.Msg == WM_HSCROLL ? FHorzScrollBar : FVertScrollBar, LOWORD(Message.WParam));
            Message.Result = 0;
            return;
        }
        break;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TScrollBox

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
    FWidth = 185;
    FHeight = 41;
}

void AddScrollBoxBorder(TCreateParams& Params, TBorderStyle BorderStyle, bool Ctl3D) {
    if (BorderStyle != bsSingle) return;
    if (NewStyleControls && Ctl3D) {
        Params.Style &= ~static_cast<DWORD>(WS_BORDER);
        Params.ExStyle |= WS_EX_CLIENTEDGE;
    } else {
        Params.Style |= WS_BORDER;
    }
}

void TScrollBox::CreateParams(TCreateParams& Params) {
    TScrollingWinControl::CreateParams(Params);
    AddScrollBoxBorder(Params, FBorderStyle, Ctl3D());
}

void TScrollBox::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_CTL3DCHANGED && NewStyleControls && FBorderStyle == bsSingle) RecreateWnd();
    TScrollingWinControl::Dispatch(Message);
}

void TScrollBox::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    RecreateWnd();
}
