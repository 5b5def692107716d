#include "ComCtrls.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <vector>

namespace {

LRESULT Send(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageW(wnd, msg, wParam, lParam); }

// The rich edit library, loaded with the first rich edit and kept for the
// life of the program (its window class must outlive every control).
void LoadRichEditLibrary() {
    static HMODULE library = nullptr;
    if (library) return;
    library = ::LoadLibraryW(L"riched20.dll");
    if (!library) throw EOutOfResources(u"The rich edit library (riched20.dll) is not available");
}

// The largest text a rich edit takes when we set no limit of our own.
constexpr LPARAM kRichEditMaxText = 0x7FFFFFFE;
// From this length on, a new text is put in by changing only what differs.
constexpr std::size_t kLongText = 64 * 1024;

// One difference: characters [From, From + Length) of the old text become
// characters [NewFrom, NewFrom + NewLength) of the new one.
struct TextEdit {
    std::size_t From, Length, NewFrom, NewLength;
};

// How far a difference may reach in either text, and how many equal
// characters end it.
constexpr std::size_t kDiffSpan = 16;
constexpr std::size_t kDiffMatch = 32;
// Each edit of a long text, and each paragraph it takes out, costs the rich
// edit about as much as laying out a thousandth of the whole text again.
constexpr std::size_t kMaxEditCost = 1024;

bool EqualRun(const String& a, std::size_t i, const String& b, std::size_t j) {
    const std::size_t n = std::min({kDiffMatch, a.size() - i, b.size() - j});
    // A shorter run will do only where both texts end.
    if (n < kDiffMatch && !(i + n == a.size() && j + n == b.size())) return false;
    return std::equal(a.begin() + static_cast<std::ptrdiff_t>(i), a.begin() + static_cast<std::ptrdiff_t>(i + n),
                      b.begin() + static_cast<std::ptrdiff_t>(j));
}

// The differences between two texts whose line breaks are all CR LF, found by
// walking both and picking up the common text again within a short span
// after each difference (the rest of both texts differs when it cannot be
// picked up). No edit splits a CR LF. The cost counts the edits and the line
// breaks they take out.
std::vector<TextEdit> FindTextEdits(const String& from, const String& to, std::size_t& cost) {
    std::vector<TextEdit> edits;
    cost = 0;
    std::size_t i = 0, j = 0;
    for (;;) {
        while (i < from.size() && j < to.size() && from[i] == to[j]) ++i, ++j;
        if (i == from.size() && j == to.size()) break;
        std::size_t ni = from.size(), nj = to.size();
        bool found = false;
        for (std::size_t d = 1; d <= 2 * kDiffSpan && !found; ++d) {
            for (std::size_t a = d > kDiffSpan ? d - kDiffSpan : 0; a <= std::min(d, kDiffSpan); ++a) {
                const std::size_t ci = i + a, cj = j + d - a;
                if (ci > from.size() || cj > to.size()) continue;
                if (ci < from.size() && from[ci] == u'\n') continue;
                if (EqualRun(from, ci, to, cj)) {
                    ni = ci;
                    nj = cj;
                    found = true;
                    break;
                }
            }
        }
        edits.push_back(TextEdit{i, ni - i, j, nj - j});
        cost += 1 + static_cast<std::size_t>(std::count(from.begin() + static_cast<std::ptrdiff_t>(i),
                                                        from.begin() + static_cast<std::ptrdiff_t>(ni), u'\n'));
        i = ni;
        j = nj;
    }
    return edits;
}

// Holds back a window's painting while it changes; it is repainted once
// afterwards. A hidden window paints nothing anyway, and turning painting
// back on would show it.
class RedrawLock {
public:
    explicit RedrawLock(HWND wnd) : FWnd(::IsWindowVisible(wnd) ? wnd : nullptr) {
        if (FWnd) Send(FWnd, WM_SETREDRAW, FALSE);
    }
    ~RedrawLock() {
        if (!FWnd) return;
        Send(FWnd, WM_SETREDRAW, TRUE);
        ::InvalidateRect(FWnd, nullptr, TRUE);
    }
    RedrawLock(const RedrawLock&) = delete;
    RedrawLock& operator=(const RedrawLock&) = delete;

private:
    HWND FWnd;
};

// Lets other threads' and processes' sent messages through, every 50 ms at
// most, while the window is busy with a long text (nothing posted is
// dispatched).
void PollSentMessages() {
    thread_local DWORD last = 0;
    const DWORD now = ::GetTickCount();
    if (now - last < 50) return;
    last = now;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

// ---------------------------------------------------------------------------
// TCustomRichEdit

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner) : TCustomMemo(AOwner) {}

void TCustomRichEdit::CreateParams(TCreateParams& Params) {
    LoadRichEditLibrary();
    TCustomMemo::CreateParams(Params);
    CreateSubClass(Params, L"RichEdit20W");
}

void TCustomRichEdit::InitializeWnd() {
    // A new window: nothing given yet, no text with attributes of its own.
    FApplied = CHARFORMAT2W{};
    FOwnFormats = false;
    // Plain-text mode is only accepted while the control is empty and has
    // nothing to undo (setting its font may have left something).
    if (FPlainText) {
        Send(FHandle, EM_EMPTYUNDOBUFFER);
        Send(FHandle, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE);
        FApplied = CHARFORMAT2W{};
    }
    Send(FHandle, EM_SETEVENTMASK, 0, ENM_CHANGE);
    Send(FHandle, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FColor)));
    // Wrap at the window's width, or not at all.
    Send(FHandle, EM_SETTARGETDEVICE, 0, FWordWrap ? 0 : 1);
    // The font before the text, which then follows it.
    ApplyFont();
    // Raises the limit, then puts the text in.
    TCustomMemo::InitializeWnd();
    // Rich text brings attributes of its own: the font goes over them.
    if (FOwnFormats) {
        FApplied = CHARFORMAT2W{};
        ApplyFont();
    }
}

void TCustomRichEdit::SetTextLimit(int value) {
    if (FHandle) Send(FHandle, EM_EXLIMITTEXT, 0, value > 0 ? static_cast<LPARAM>(value) : kRichEditMaxText);
}

void TCustomRichEdit::SetPlainText(bool value) {
    if (FPlainText == value) return;
    FPlainText = value;
    RecreateWnd();
}

String TCustomRichEdit::GetText() const {
    if (!FHandle) return FText;
    // Paragraph breaks come out as CR LF, as from an edit control.
    GETTEXTLENGTHEX length = {GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const LRESULT n = Send(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (n <= 0) return String();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(n) + 1, 0);
    GETTEXTEX get = {};
    get.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;
    const LRESULT got = Send(FHandle, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buffer.data()));
    return FromW(buffer.data(), static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, n)));
}

void TCustomRichEdit::GetSel(int& start, int& end) {
    if (!FHandle) {
        TCustomMemo::GetSel(start, end);
        return;
    }
    CHARRANGE range = {0, 0};
    Send(FHandle, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    start = range.cpMin;
    end = range.cpMax;
}

void TCustomRichEdit::SetSel(int start, int end) {
    if (!FHandle) {
        TCustomMemo::SetSel(start, end);
        return;
    }
    CHARRANGE range = {start, end};
    Send(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

String TCustomRichEdit::GetSelText() {
    if (!FHandle) return TCustomMemo::GetSelText();
    // Positions in a rich edit count a paragraph break as one character, so
    // the selection is read from the control rather than cut from Text.
    int start = 0, end = 0;
    GetSel(start, end);
    if (end <= start) return String();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(end - start) + 1, 0);
    const LRESULT got = Send(FHandle, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()));
    return FromW(buffer.data(), static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, end - start)));
}

std::size_t TCustomRichEdit::TextToPosition(const String& text, std::size_t offset) const {
    // Text has CR LF where the control keeps a single paragraph mark.
    offset = std::min(offset, text.size());
    std::size_t pairs = 0;
    for (std::size_t i = 0; i + 1 < offset; ++i)
        if (text[i] == u'\r' && text[i + 1] == u'\n') ++pairs;
    return offset - pairs;
}

std::size_t TCustomRichEdit::WindowTextLength() const {
    if (!FHandle) return FText.size();
    GETTEXTLENGTHEX length = {GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const LRESULT n = Send(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

int TCustomRichEdit::AppendLine(const String& s) {
    // Positions count a paragraph break as one character, the text's length
    // with CR LF counts it as two: the difference is the number of breaks.
    // Neither length walks the text.
    GETTEXTLENGTHEX length = {GTL_NUMCHARS, 1200};
    const LRESULT n = std::max<LRESULT>(Send(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0), 0);
    const auto breaks = static_cast<int>(std::max<LRESULT>(static_cast<LRESULT>(WindowTextLength()) - n, 0));
    bool afterBreak = n == 0;
    if (n > 0) {
        wchar_t last[2] = {0, 0};
        TEXTRANGEW range = {{static_cast<LONG>(n - 1), static_cast<LONG>(n)}, last};
        Send(FHandle, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        afterBreak = last[0] == L'\r' || last[0] == L'\n';
    }
    const String added = afterBreak ? s + u"\r\n" : u"\r\n" + s;
    RedrawLock lock(FHandle);
    CHARRANGE end = {static_cast<LONG>(n), static_cast<LONG>(n)};
    Send(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    Send(FHandle, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WStr(added)));
    return afterBreak ? breaks : breaks + 1;
}

bool TCustomRichEdit::ReplaceDifferences(const String& current, const String& value) {
    std::size_t cost = 0;
    const std::vector<TextEdit> edits = FindTextEdits(current, value, cost);
    PollSentMessages();
    if (cost > kMaxEditCost) return false;
    // Where each edit starts in the window, whose positions count CR LF as one.
    std::vector<LONG> positions(edits.size());
    std::size_t breaks = 0, scanned = 0;
    for (std::size_t k = 0; k < edits.size(); ++k) {
        breaks += static_cast<std::size_t>(std::count(current.begin() + static_cast<std::ptrdiff_t>(scanned),
                                                      current.begin() + static_cast<std::ptrdiff_t>(edits[k].From), u'\n'));
        scanned = edits[k].From;
        positions[k] = static_cast<LONG>(edits[k].From - breaks);
    }
    {
        // The change is announced once, by the caller.
        ++FQuiet;
        struct Unquiet {
            int& Count;
            ~Unquiet() { --Count; }
        } unquiet{FQuiet};
        RedrawLock lock(FHandle);
        // From the last edit to the first, so that earlier positions hold.
        for (std::size_t k = edits.size(); k-- > 0;) {
            const TextEdit& e = edits[k];
            const auto removed = static_cast<LONG>(
                e.Length - static_cast<std::size_t>(std::count(current.begin() + static_cast<std::ptrdiff_t>(e.From),
                                                               current.begin() + static_cast<std::ptrdiff_t>(e.From + e.Length), u'\n')));
            CHARRANGE range = {positions[k], positions[k] + removed};
            Send(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            const String inserted = value.substr(e.NewFrom, e.NewLength);
            Send(FHandle, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WStr(inserted)));
            PollSentMessages();
        }
        CHARRANGE start = {0, 0};
        Send(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
        Send(FHandle, WM_VSCROLL, SB_TOP);
        Send(FHandle, EM_EMPTYUNDOBUFFER);
    }
    return true;
}

bool TCustomRichEdit::Holds(const String& text) const {
    // Read in pieces, letting sent messages through between them; the
    // control keeps a single CR where the text has CR LF.
    constexpr LONG kPiece = 1 << 20;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(kPiece) + 1);
    std::size_t at = 0;
    for (LONG from = 0;; from += kPiece) {
        PollSentMessages();
        TEXTRANGEW range = {{from, from + kPiece}, buffer.data()};
        const LRESULT got = Send(FHandle, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        for (LRESULT k = 0; k < got; ++k) {
            const Char c = static_cast<Char>(buffer[static_cast<std::size_t>(k)]);
            if (at >= text.size() || text[at] != c) return false;
            ++at;
            if (c == u'\r') {
                if (at >= text.size() || text[at] != u'\n') return false;
                ++at;
            }
        }
        if (got < kPiece) return at == text.size();
    }
}

void TCustomRichEdit::SetText(const String& value) {
    if (!FHandle || WindowTextLength() < kLongText) {
        TCustomMemo::SetText(value);
        return;
    }
    PollSentMessages();
    const String current = GetText();
    PollSentMessages();
    if (value == current) return;
    const String wanted = AdjustLineBreaks(value);
    PollSentMessages();
    // The edits give exactly the new text, when the control took them as
    // given.
    if (ReplaceDifferences(current, wanted) && Holds(wanted)) {
        Perform(CM_TEXTCHANGED, 0, 0);
        Change();
        return;
    }
    // Most of the text has to go: a new window takes the new text far sooner.
    const bool showing = FShowing;
    const bool focused = Focused();
    DestroyHandle();
    FText = value;
    FSelStart = FSelLength = 0;
    FModified = false;
    HandleNeeded();
    if (showing) UpdateShowing();
    if (focused && CanFocus()) SetFocus();
    Perform(CM_TEXTCHANGED, 0, 0);
    Change();
}

void TCustomRichEdit::ApplyFont() {
    if (!FHandle) return;
    CHARFORMAT2W cf = {};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    const TFontStyles style = FFont->Style();
    if (style.Contains(fsBold)) cf.dwEffects |= CFE_BOLD;
    if (style.Contains(fsItalic)) cf.dwEffects |= CFE_ITALIC;
    if (style.Contains(fsUnderline)) cf.dwEffects |= CFE_UNDERLINE;
    if (style.Contains(fsStrikeOut)) cf.dwEffects |= CFE_STRIKEOUT;
    // The size in twips: a negative height is the character height in
    // pixels at the font's resolution, a positive one the cell height.
    const int ppi = FFont->PixelsPerInch() > 0 ? FFont->PixelsPerInch() : 96;
    const int height = FFont->Height();
    cf.yHeight = height < 0 ? ::MulDiv(-height, 1440, ppi) : FFont->Size() * 20;
    cf.crTextColor = static_cast<COLORREF>(ColorToRGB(FFont->Color()));
    cf.bCharSet = FFont->Charset();
    switch (FFont->Pitch()) {
    case fpFixed: cf.bPitchAndFamily = FIXED_PITCH; break;
    case fpVariable: cf.bPitchAndFamily = VARIABLE_PITCH; break;
    default: cf.bPitchAndFamily = DEFAULT_PITCH; break;
    }
    const String& name = FFont->Name();
    const std::size_t n = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
    std::copy_n(reinterpret_cast<const wchar_t*>(name.data()), n, cf.szFaceName);
    cf.szFaceName[n] = 0;
    SendFormat(cf, true);
}

void TCustomRichEdit::SetWindowFont() { ApplyFont(); }

void TCustomRichEdit::SetDefaultTextColor(TColor Color) {
    CHARFORMAT2W cf = {};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = static_cast<COLORREF>(ColorToRGB(Color));
    SendFormat(cf, false);
}

void TCustomRichEdit::SendFormat(const CHARFORMAT2W& format, bool toAll) {
    if (!FHandle) return;
    const bool known = FApplied.cbSize != 0;
    CHARFORMAT2W change = format;
    change.dwMask = 0;
    const auto differs = [&](DWORD mask, bool same) {
        if ((format.dwMask & mask) && (!known || !(FApplied.dwMask & mask) || !same)) change.dwMask |= mask;
    };
    differs(CFM_FACE, std::wcscmp(format.szFaceName, FApplied.szFaceName) == 0 &&
                          format.bPitchAndFamily == FApplied.bPitchAndFamily);
    differs(CFM_SIZE, format.yHeight == FApplied.yHeight);
    differs(CFM_COLOR, format.crTextColor == FApplied.crTextColor &&
                           (format.dwEffects & CFE_AUTOCOLOR) == (FApplied.dwEffects & CFE_AUTOCOLOR));
    differs(CFM_CHARSET, format.bCharSet == FApplied.bCharSet);
    for (const DWORD effect : {CFM_BOLD, CFM_ITALIC, CFM_UNDERLINE, CFM_STRIKEOUT})
        differs(effect, (format.dwEffects & effect) == (FApplied.dwEffects & effect));
    if (change.dwMask == 0) return;
    // Remembered first: the window may answer with messages of its own.
    if (!known) {
        FApplied = CHARFORMAT2W{};
        FApplied.cbSize = sizeof(FApplied);
    }
    FApplied.dwMask |= change.dwMask;
    if (change.dwMask & CFM_FACE) {
        std::copy(std::begin(format.szFaceName), std::end(format.szFaceName), std::begin(FApplied.szFaceName));
        FApplied.bPitchAndFamily = format.bPitchAndFamily;
    }
    if (change.dwMask & CFM_SIZE) FApplied.yHeight = format.yHeight;
    if (change.dwMask & CFM_COLOR) {
        FApplied.crTextColor = format.crTextColor;
        FApplied.dwEffects = (FApplied.dwEffects & ~CFE_AUTOCOLOR) | (format.dwEffects & CFE_AUTOCOLOR);
    }
    if (change.dwMask & CFM_CHARSET) FApplied.bCharSet = format.bCharSet;
    for (const DWORD effect : {CFM_BOLD, CFM_ITALIC, CFM_UNDERLINE, CFM_STRIKEOUT})
        if (change.dwMask & effect) FApplied.dwEffects = (FApplied.dwEffects & ~effect) | (format.dwEffects & effect);
    ++FFormatting;
    struct Done {
        int& Count;
        ~Done() { --Count; }
    } done{FFormatting};
    Send(FHandle, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&change));
    // Text without attributes of its own follows the default ones; text
    // with them takes the whole font.
    if (!FOwnFormats) return;
    if (toAll)
        Send(FHandle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    else
        FApplied = CHARFORMAT2W{};   // the rest of the text has not followed
}

void TCustomRichEdit::NoteFormats(const TMessage& Message) {
    const auto isRichText = [](LPARAM text, bool wide) {
        if (text == 0) return false;
        static constexpr char kRtf[] = "{\\rtf";
        for (std::size_t i = 0; i + 1 < sizeof(kRtf); ++i) {
            const unsigned c = wide ? static_cast<unsigned>(reinterpret_cast<const wchar_t*>(text)[i])
                                    : static_cast<unsigned char>(reinterpret_cast<const char*>(text)[i]);
            if (c != static_cast<unsigned char>(kRtf[i])) return false;
        }
        return true;
    };
    switch (Message.Msg) {
    case EM_SETCHARFORMAT:
        if (FFormatting) return;
        if (Message.WParam & (SCF_SELECTION | SCF_WORD | SCF_ALL)) FOwnFormats = true;
        // Someone else's default attributes: what the window shows is no
        // longer known.
        else FApplied = CHARFORMAT2W{};
        return;
    case EM_STREAMIN: FOwnFormats = true; return;
    case WM_SETTEXT:
    case EM_REPLACESEL:
        if (isRichText(Message.LParam, ::IsWindowUnicode(FHandle) != FALSE)) FOwnFormats = true;
        return;
    case EM_SETTEXTEX: {
        const auto* how = reinterpret_cast<const SETTEXTEX*>(Message.WParam);
        if (how && isRichText(Message.LParam, how->codepage == 1200)) FOwnFormats = true;
        return;
    }
    case EM_SETTEXTMODE: FApplied = CHARFORMAT2W{}; return;
    default: return;
    }
}

void TCustomRichEdit::Dispatch(TMessage& Message) {
    if (FHandle) NoteFormats(Message);
    switch (Message.Msg) {
    case WM_PAINT:
        // The rich edit begins and ends its own painting and draws with no
        // device context of ours: the update region must still be there
        // when it asks for it, or it paints nothing.
        DefaultHandler(Message);
        return;
    case CM_FONTCHANGED:
        TCustomMemo::Dispatch(Message);
        ApplyFont();
        return;
    case CM_COLORCHANGED:
        TCustomMemo::Dispatch(Message);
        if (FHandle) Send(FHandle, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(FColor)));
        return;
    default:
        break;
    }
    TCustomMemo::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TProgressBar

namespace {

// The marquee style and the state message of version 6 progress bars.
constexpr DWORD kPbsMarquee = 0x08;
constexpr UINT kPbmSetMarquee = WM_USER + 10;
constexpr UINT kPbmSetState = WM_USER + 16;

WPARAM StateValue(TProgressBarState state) {
    switch (state) {
    case pbsError: return 2;    // PBST_ERROR
    case pbsPaused: return 3;   // PBST_PAUSED
    default: return 1;          // PBST_NORMAL
    }
}

}  // namespace

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, PROGRESS_CLASSW);
    if (FSmooth) Params.Style |= PBS_SMOOTH;
    if (FOrientation == pbVertical) Params.Style |= PBS_VERTICAL;
    if (FStyle == pbstMarquee) Params.Style |= kPbsMarquee;
}

void TProgressBar::InitializeWnd() {
    TWinControl::InitializeWnd();
    Send(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    Send(FHandle, PBM_SETSTEP, static_cast<WPARAM>(FStep));
    Send(FHandle, PBM_SETPOS, static_cast<WPARAM>(FPosition));
    if (FState != pbsNormal) Send(FHandle, kPbmSetState, StateValue(FState));
    if (FStyle == pbstMarquee) Send(FHandle, kPbmSetMarquee, TRUE, FMarqueeInterval);
}

void TProgressBar::SetStyle(TProgressBarStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    RecreateWnd();
}

void TProgressBar::SetState(TProgressBarState value) {
    if (FState == value) return;
    FState = value;
    if (FHandle) Send(FHandle, kPbmSetState, StateValue(FState));
}

void TProgressBar::SetMarqueeInterval(int value) {
    FMarqueeInterval = std::max(value, 0);
    if (FHandle && FStyle == pbstMarquee) Send(FHandle, kPbmSetMarquee, TRUE, FMarqueeInterval);
}

void TProgressBar::SetBorderWidth(int value) {
    value = std::max(value, 0);
    if (FBorderWidth == value) return;
    FBorderWidth = value;
    Invalidate();
}

void TProgressBar::SetMin(int value) {
    FMin = value;
    if (FHandle) Send(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    SetPosition(FPosition);
}

void TProgressBar::SetMax(int value) {
    FMax = value;
    if (FHandle) Send(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), FMax);
    SetPosition(FPosition);
}

int TProgressBar::Position() {
    if (FHandle) return static_cast<int>(Send(FHandle, PBM_GETPOS));
    return FPosition;
}

void TProgressBar::SetPosition(int value) {
    FPosition = FMin <= FMax ? std::clamp(value, FMin, FMax) : FMin;
    if (FHandle) Send(FHandle, PBM_SETPOS, static_cast<WPARAM>(FPosition));
}

void TProgressBar::SetStep(int value) {
    FStep = value;
    if (FHandle) Send(FHandle, PBM_SETSTEP, static_cast<WPARAM>(value));
}

void TProgressBar::SetSmooth(bool value) {
    if (FSmooth == value) return;
    FSmooth = value;
    RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
    if (FOrientation == value) return;
    FOrientation = value;
    RecreateWnd();
}

// ---------------------------------------------------------------------------
// TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 150;
    FHeight = 19;
    FAlign = TAlign::alBottom;
    FControlStyle = csCaptureMouse | csClickEvents | csDoubleClicks;
}

void TStatusBar::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, STATUSCLASSNAMEW);
    Params.Caption.clear();
    // The framework places the bar (Align); it does not move itself.
    Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
    if (FSizeGrip) Params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::InitializeWnd() {
    TWinControl::InitializeWnd();
    int right = -1;
    Send(FHandle, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&right));
    Send(FHandle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(WStr(FSimpleText)));
    Send(FHandle, SB_SIMPLE, FSimplePanel ? TRUE : FALSE);
}

void TStatusBar::SetSimplePanel(bool value) {
    if (FSimplePanel == value) return;
    FSimplePanel = value;
    if (FHandle) Send(FHandle, SB_SIMPLE, value ? TRUE : FALSE);
}

void TStatusBar::SetSimpleText(const String& value) {
    if (FSimpleText == value) return;
    FSimpleText = value;
    if (FHandle) Send(FHandle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(WStr(FSimpleText)));
}

void TStatusBar::SetSizeGrip(bool value) {
    if (FSizeGrip == value) return;
    FSizeGrip = value;
    RecreateWnd();
}

// ---------------------------------------------------------------------------
// TToolButton

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 23;
    FHeight = 22;
    // The system bar takes the mouse; the button itself captures nothing.
    FControlStyle = csClickEvents | csSetCaption;
}

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(FParent); }

Integer TToolButton::Index() const {
    const TToolBar* bar = ToolBar();
    if (!bar) return -1;
    const auto it = std::find(bar->FButtons.begin(), bar->FButtons.end(), this);
    return it == bar->FButtons.end() ? -1 : static_cast<Integer>(it - bar->FButtons.begin());
}

void TToolButton::Changed() {
    if (TToolBar* bar = ToolBar()) bar->UpdateButton(this);
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    Changed();
}

void TToolButton::SetImageIndex(Integer Value) {
    if (FImageIndex == Value) return;
    FImageIndex = Value;
    Changed();
}

void TToolButton::SetDown(bool Value) {
    if (FDown == Value) return;
    FDown = Value;
    Changed();
}

void TToolButton::SetIndeterminate(bool Value) {
    if (FIndeterminate == Value) return;
    FIndeterminate = Value;
    Changed();
}

void TToolButton::SetEnabled(bool value) {
    if (FEnabled == value) return;
    TGraphicControl::SetEnabled(value);
    Changed();
}

void TToolButton::Dispatch(TMessage& Message) {
    TGraphicControl::Dispatch(Message);
    if (Message.Msg == CM_TEXTCHANGED || Message.Msg == CM_VISIBLECHANGED) Changed();
}

// ---------------------------------------------------------------------------
// TToolBar

namespace {

BYTE SystemButtonStyle(TToolButtonStyle style) {
    switch (style) {
    case tbsCheck: return BTNS_CHECK;
    case tbsDropDown: return BTNS_DROPDOWN;
    case tbsSeparator:
    case tbsDivider: return BTNS_SEP;
    default: return BTNS_BUTTON;
    }
}

}  // namespace

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 150;
    FHeight = 29;
    FAlign = TAlign::alTop;
    // The system bar tracks the mouse itself: no capture taken or released
    // under it (a release of its capture would cancel the press).
    FControlStyle = csAcceptsControls;
}

TToolBar::~TToolBar() { FButtons.clear(); }

void TToolBar::BeforeDestruction() {
    TWinControl::BeforeDestruction();
    FButtons.clear();
}

TToolButton* TToolBar::Buttons(Integer Index) const {
    if (Index < 0 || Index >= ButtonCount()) return nullptr;
    return FButtons[static_cast<std::size_t>(Index)];
}

TRect TToolBar::ButtonRect(Integer Index) {
    RECT r{0, 0, 0, 0};
    if (!FHandle || Index < 0 || Index >= ButtonCount()) return TRect(0, 0, 0, 0);
    if (!Send(FHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r))) return TRect(0, 0, 0, 0);
    return TRect(r.left, r.top, r.right, r.bottom);
}

void TToolBar::CreateParams(TCreateParams& Params) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, TOOLBARCLASSNAMEW);
    Params.Caption.clear();
    // The framework places the bar (Align); it does not move or size itself.
    Params.Style |= WS_CLIPCHILDREN | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
    if (FFlat) Params.Style |= TBSTYLE_FLAT;
    if (FList) Params.Style |= TBSTYLE_LIST;
}

void TToolBar::InitializeWnd() {
    TWinControl::InitializeWnd();
    Send(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    // Drop-down buttons get their arrow part beside the button part.
    Send(FHandle, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    if (!FShowCaptions) Send(FHandle, TB_SETMAXTEXTROWS, 0);
    ApplyImageLists();
    ApplyButtonSize();
    for (Integer i = 0; i < ButtonCount(); ++i) InsertSystemButton(i);
    UpdateButtonBounds();
}

void TToolBar::ApplyImageLists() {
    if (!FHandle) return;
    if (FImages) FImages->HandleNeeded();
    if (FHotImages) FHotImages->HandleNeeded();
    Send(FHandle, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
    Send(FHandle, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(FHotImages ? FHotImages->Handle() : nullptr));
}

void TToolBar::ApplyButtonSize() {
    if (!FHandle) return;
    const int iw = FImages ? FImages->Width() : 16, ih = FImages ? FImages->Height() : 16;
    Send(FHandle, TB_SETBITMAPSIZE, 0, MAKELPARAM(iw, ih));
    Send(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(FButtonWidth, FButtonHeight));
}

void TToolBar::InsertSystemButton(Integer Index) {
    TToolButton* b = FButtons[static_cast<std::size_t>(Index)];
    TBBUTTON tb{};
    tb.idCommand = b->FCommandId;
    tb.fsStyle = SystemButtonStyle(b->FStyle);
    const bool sep = tb.fsStyle == BTNS_SEP;
    // A separator's image field holds its width (0: the system's).
    tb.iBitmap = sep ? 0 : (b->FImageIndex >= 0 ? b->FImageIndex : I_IMAGENONE);
    if (b->FEnabled) tb.fsState |= TBSTATE_ENABLED;
    if (b->FDown) tb.fsState |= b->FStyle == tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED;
    if (b->FIndeterminate) tb.fsState |= TBSTATE_INDETERMINATE;
    if (!b->FVisible) tb.fsState |= TBSTATE_HIDDEN;
    // The bar keeps its own copy of the text.
    const String text = b->GetText();
    tb.iString = FShowCaptions && !sep ? reinterpret_cast<INT_PTR>(WStr(text)) : -1;
    Send(FHandle, TB_INSERTBUTTONW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&tb));
}

void TToolBar::UpdateButton(TToolButton* Button) {
    const Integer index = Button->Index();
    if (!FHandle || index < 0) return;
    // Style, state, image and text at once: the button is put in anew at its place.
    Send(FHandle, WM_SETREDRAW, FALSE);
    Send(FHandle, TB_DELETEBUTTON, static_cast<WPARAM>(index));
    InsertSystemButton(index);
    Send(FHandle, WM_SETREDRAW, TRUE);
    ::InvalidateRect(FHandle, nullptr, TRUE);
    UpdateButtonBounds();
}

void TToolBar::UpdateButtonBounds() {
    // Without a window the buttons keep the bounds they were given.
    if (!FHandle) return;
    for (Integer i = 0; i < ButtonCount(); ++i) {
        TToolButton* b = FButtons[static_cast<std::size_t>(i)];
        const TRect r = ButtonRect(i);
        b->FLeft = r.Left;
        b->FTop = r.Top;
        b->FWidth = std::max(r.Right - r.Left, 0);
        b->FHeight = std::max(r.Bottom - r.Top, 0);
    }
}

void TToolBar::ReadDownStates() {
    if (!FHandle) return;
    for (TToolButton* b : FButtons)
        if (b->FStyle == tbsCheck) b->FDown = Send(FHandle, TB_ISBUTTONCHECKED, static_cast<WPARAM>(b->FCommandId)) != 0;
}

void TToolBar::AddButton(TToolButton* Button) {
    if (std::find(FButtons.begin(), FButtons.end(), Button) != FButtons.end()) return;
    if (Button->FCommandId == 0) Button->FCommandId = FNextCommandId++;
    FButtons.push_back(Button);
    if (!FHandle) return;
    InsertSystemButton(ButtonCount() - 1);
    UpdateButtonBounds();
}

void TToolBar::RemoveButton(TToolButton* Button) {
    const auto it = std::find(FButtons.begin(), FButtons.end(), Button);
    if (it == FButtons.end()) return;
    const auto index = static_cast<WPARAM>(it - FButtons.begin());
    FButtons.erase(it);
    if (FHandle && !HasState(csDestroying)) {
        Send(FHandle, TB_DELETEBUTTON, index);
        UpdateButtonBounds();
    }
}

void TToolBar::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_CONTROLLISTCHANGE:
        if (auto* b = dynamic_cast<TToolButton*>(reinterpret_cast<TControl*>(Message.WParam)))
            Message.LParam ? AddButton(b) : RemoveButton(b);
        break;
    case CN_COMMAND:
        if (reinterpret_cast<HWND>(Message.LParam) == FHandle && FHandle) {
            const Integer id = LOWORD(Message.WParam);
            ReadDownStates();
            for (TToolButton* b : FButtons)
                if (b->FCommandId == id) {
                    b->Click();
                    break;
                }
            Message.Result = 0;
            return;
        }
        break;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        CheckImageLists();
        break;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
    if (Message.Msg == WM_SIZE) UpdateButtonBounds();
}

void TToolBar::CheckImageLists() {
    if (!FHandle) return;
    // A list made anew (a new size, for one) has a new system list: the bar
    // must not go on drawing from the old one, which is destroyed.
    auto wanted = [](TCustomImageList* list) { return list && list->HandleAllocated() ? list->Handle() : nullptr; };
    if (reinterpret_cast<HIMAGELIST>(Send(FHandle, TB_GETIMAGELIST)) == wanted(FImages) &&
        reinterpret_cast<HIMAGELIST>(Send(FHandle, TB_GETHOTIMAGELIST)) == wanted(FHotImages))
        return;
    ApplyImageLists();
    ApplyButtonSize();
    UpdateButtonBounds();
}

void TToolBar::WMMouse(TMessage& Message) {
    // The system bar presses, tracks and reports its buttons: mouse input
    // over a button goes to the bar's window, not to the windowless child.
    TControl::Dispatch(Message);
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) return;
    if (AComponent == FImages) SetImages(nullptr);
    if (AComponent == FHotImages) SetHotImages(nullptr);
}

void TToolBar::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) FImages->FreeNotification(this);
    ApplyImageLists();
    ApplyButtonSize();
    UpdateButtonBounds();
    Invalidate();
}

void TToolBar::SetHotImages(TCustomImageList* Value) {
    if (FHotImages == Value) return;
    if (FHotImages) FHotImages->RemoveFreeNotification(this);
    FHotImages = Value;
    if (FHotImages) FHotImages->FreeNotification(this);
    ApplyImageLists();
    Invalidate();
}

void TToolBar::SetList(bool Value) {
    if (FList == Value) return;
    FList = Value;
    RecreateWnd();
}

void TToolBar::SetShowCaptions(bool Value) {
    if (FShowCaptions == Value) return;
    FShowCaptions = Value;
    RecreateWnd();
}

void TToolBar::SetFlat(bool Value) {
    if (FFlat == Value) return;
    FFlat = Value;
    RecreateWnd();
}

void TToolBar::SetButtonWidth(Integer Value) {
    if (FButtonWidth == Value) return;
    FButtonWidth = Value;
    ApplyButtonSize();
    UpdateButtonBounds();
}

void TToolBar::SetButtonHeight(Integer Value) {
    if (FButtonHeight == Value) return;
    FButtonHeight = Value;
    ApplyButtonSize();
    UpdateButtonBounds();
}
