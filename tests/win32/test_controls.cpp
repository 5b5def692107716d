// The standard controls over real system windows: properties set before and
// after the window exists, events, lines and items, painting, and the common
// dialogs answered through the dialogs' shown hook.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "ComCtrls.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "DialogAnswer.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "StdCtrls.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

String ClassOf(HWND wnd) {
    wchar_t name[128] = {};
    const int n = ::GetClassNameW(wnd, name, 128);
    return FromW(name, static_cast<std::size_t>(n > 0 ? n : 0));
}

DWORD StyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE)); }
DWORD ExStyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE)); }

String WindowText(HWND wnd) {
    const int n = ::GetWindowTextLengthW(wnd);
    std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(wnd, buffer.data(), n + 1);
    return FromW(buffer.c_str(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void Type(HWND wnd, const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) ::SendMessageW(wnd, WM_CHAR, *p, 1);
}

std::string Narrow(const String& s) { return StringToUtf8(s); }

// Counts an event and keeps the text its sender had each time it fired.
struct EventLog {
    int Count = 0;
    std::vector<String> Texts;
    void Notify(TObject* sender) {
        ++Count;
        if (auto* control = dynamic_cast<TControl*>(sender)) Texts.push_back(control->Caption());
    }
    TNotifyEvent Event() { return TNotifyEvent::Of<&EventLog::Notify>(this); }
};

// A form for each test, freed with everything on it afterwards.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = New<TForm>(Application);
        Form->SetBounds(60, 60, 480, 360);
    }
    void TearDown() override {
        FreeAndNil(Form);
        harness::PumpUntilIdle(10, 500);
    }
    template <class T>
    T* Add(TWinControl* parent = nullptr) {
        T* control = New<T>(Form);
        control->SetParent(parent ? parent : Form);
        return control;
    }
    void ShowForm() {
        Form->Show();
        harness::PumpUntilIdle(20, 2000);
    }
    TForm* Form = nullptr;
};

// ---------------------------------------------------------------------------
// Window classes

class ControlsWindows : public ControlsTest {};

TEST_F(ControlsWindows, EachControlIsItsSystemControlUnderItsOwnClassName) {
    struct Case {
        std::function<TWinControl*()> Make;
        // Answers true when the window behaves as the system class it extends.
        std::function<bool(HWND)> IsSystemControl;
    };
    const std::vector<Case> cases = {
        {[&] { return Add<TEdit>(); }, [](HWND w) { return ::SendMessageW(w, EM_GETLIMITTEXT, 0, 0) > 0; }},
        {[&] { return Add<TMemo>(); },
         [](HWND w) { return ::SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS; }},
        {[&] { return Add<TButton>(); },
         [](HWND w) { return (::SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0; }},
        {[&] { return Add<TCheckBox>(); },
         [](HWND w) { return (::SendMessageW(w, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0; }},
        {[&] { return Add<TComboBox>(); },
         [](HWND w) {
             ::SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"x"));
             return ::SendMessageW(w, CB_GETCOUNT, 0, 0) == 1;
         }},
        {[&] { return Add<TRichEdit>(); }, [](HWND w) { return ::SendMessageW(w, EM_GETTEXTMODE, 0, 0) != 0; }},
        {[&] { return Add<TProgressBar>(); },
         [](HWND w) { return ::SendMessageW(w, PBM_GETRANGE, FALSE, 0) == 100; }},
        {[&] { return Add<TStatusBar>(); }, [](HWND w) { return ::SendMessageW(w, SB_GETPARTS, 0, 0) == 1; }},
        {[&] { return Add<TPanel>(); }, [](HWND) { return true; }},
        {[&] { return Add<TScrollBox>(); }, [](HWND) { return true; }},
    };
    for (const Case& c : cases) {
        TWinControl* control = c.Make();
        SCOPED_TRACE(Narrow(control->ClassName()));
        HWND wnd = control->Handle();
        ASSERT_NE(wnd, nullptr);
        EXPECT_EQ(ClassOf(wnd), control->ClassName());
        EXPECT_EQ(TWinControl::FindControl(wnd), control);
        EXPECT_TRUE(c.IsSystemControl(wnd));
    }
}

// ---------------------------------------------------------------------------
// Edits

class ControlsEdit : public ControlsTest {};

TEST_F(ControlsEdit, PropertiesSetBeforeTheWindowAreAppliedToIt) {
    auto* edit = Add<TEdit>();
    edit->SetText(u"hello world");
    edit->SetMaxLength(20);
    edit->SetReadOnly(true);
    edit->SetSelStart(6);
    edit->SetSelLength(5);
    EXPECT_EQ(edit->SelText(), u"world");
    ASSERT_FALSE(edit->HandleAllocated());

    HWND wnd = edit->Handle();
    EXPECT_EQ(WindowText(wnd), u"hello world");
    EXPECT_EQ(::SendMessageW(wnd, EM_GETLIMITTEXT, 0, 0), 20);
    EXPECT_TRUE(StyleOf(wnd) & ES_READONLY);
    DWORD start = 0, end = 0;
    ::SendMessageW(wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 6u);
    EXPECT_EQ(end, 11u);
    EXPECT_TRUE(ExStyleOf(wnd) & WS_EX_CLIENTEDGE);

    // Changes after the window exists go to the window.
    edit->SetReadOnly(false);
    EXPECT_FALSE(StyleOf(wnd) & ES_READONLY);
    edit->SetSelText(u"there");
    EXPECT_EQ(WindowText(wnd), u"hello there");
    edit->SetMaxLength(3);
    edit->SetText(u"");
    Type(wnd, L"abcd");
    EXPECT_EQ(edit->Text(), u"abc");

    // A new border means a new window, which keeps the text and the selection.
    edit->SetSelStart(1);
    edit->SetSelLength(1);
    edit->SetBorderStyle(bsNone);
    ASSERT_TRUE(edit->HandleAllocated());
    EXPECT_FALSE(ExStyleOf(edit->Handle()) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(WindowText(edit->Handle()), u"abc");
    EXPECT_EQ(edit->SelText(), u"b");
}

// One change of the text is one OnChange, whether the text is typed or set in
// code, with or without a window, in a single-line or a multi-line control.
struct ChangeCase {
    const char* Name;
    TCustomEdit* (*Make)(TForm* form);
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.Name; }

template <class T>
TCustomEdit* MakeOn(TForm* form) {
    T* control = New<T>(form);
    control->SetParent(form);
    return control;
}

class ControlsEditChange : public ControlsTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ControlsEditChange, OnChangeFiresOnceForEachChange) {
    TCustomEdit* edit = GetParam().Make(Form);
    EventLog changes;
    edit->OnChange = changes.Event();

    edit->SetText(u"before");
    EXPECT_EQ(changes.Count, 1);
    edit->HandleNeeded();
    EXPECT_EQ(changes.Count, 1) << "making the window is no change";
    EXPECT_EQ(edit->Text(), u"before");

    edit->SetText(u"after");
    EXPECT_EQ(changes.Count, 2);
    edit->SetText(u"after");
    EXPECT_EQ(changes.Count, 2) << "the same text is no change";

    edit->SetSelStart(5);
    Type(edit->Handle(), L"!");
    EXPECT_EQ(changes.Count, 3);
    ASSERT_EQ(changes.Texts.size(), 3u);
    EXPECT_EQ(changes.Texts.back(), u"after!");

    edit->SelectAll();
    edit->SetSelText(u"x");
    EXPECT_EQ(changes.Count, 4);
    EXPECT_EQ(edit->Text(), u"x");
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlsEditChange,
                         ::testing::Values(ChangeCase{"Edit", MakeOn<TEdit>}, ChangeCase{"Memo", MakeOn<TMemo>},
                                           ChangeCase{"RichEdit", MakeOn<TRichEdit>}),
                         [](const auto& info) { return std::string(info.param.Name); });

class ControlsEditSelection : public ControlsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ControlsEditSelection, SelectionWorksWithAndWithoutAWindow) {
    auto* edit = Add<TEdit>();
    if (GetParam()) edit->HandleNeeded();
    edit->SetText(u"abcdef");
    edit->SetSelStart(2);
    edit->SetSelLength(3);
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_EQ(edit->SelLength(), 3);
    EXPECT_EQ(edit->SelText(), u"cde");

    edit->SetSelText(u"X");
    EXPECT_EQ(edit->Text(), u"abXf");
    EXPECT_EQ(edit->SelStart(), 3);
    EXPECT_EQ(edit->SelLength(), 0);

    edit->SelectAll();
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(edit->SelLength(), 4);

    // Beyond the end is the end.
    edit->SetSelStart(99);
    EXPECT_EQ(edit->SelStart(), 4);
    EXPECT_EQ(edit->SelText(), u"");
    EXPECT_EQ(edit->HandleAllocated(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlsEditSelection, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithWindow" : "WithoutWindow"; });

// ---------------------------------------------------------------------------
// Memo and rich edit lines

struct LinesCase {
    const char* Name;
    TCustomEdit* (*Make)(TForm* form);
    bool Window;
};

void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.Name; }

class ControlsLines : public ControlsTest, public ::testing::WithParamInterface<LinesCase> {};

TEST_P(ControlsLines, LinesReadAndWriteTheControlsText) {
    auto* memo = dynamic_cast<TCustomMemo*>(GetParam().Make(Form));
    ASSERT_NE(memo, nullptr);
    if (GetParam().Window) memo->HandleNeeded();
    TStrings* lines = memo->Lines();

    lines->Add(u"one");
    lines->Add(u"two");
    lines->Insert(1, u"mid");
    ASSERT_EQ(lines->Count(), 3);
    EXPECT_EQ(lines->Get(1), u"mid");
    EXPECT_EQ(memo->Text(), u"one\r\nmid\r\ntwo\r\n");
    lines->Put(0, u"first");
    lines->Delete(2);
    EXPECT_EQ(memo->Text(), u"first\r\nmid\r\n");
    EXPECT_EQ(lines->Text(), u"first\r\nmid\r\n");

    // Any line break in, CR LF out; a last line without a break stays so.
    lines->SetText(u"a\nb\rc");
    EXPECT_EQ(memo->Text(), u"a\r\nb\r\nc");
    ASSERT_EQ(lines->Count(), 3);
    EXPECT_EQ(lines->Get(2), u"c");
    lines->Add(u"d");
    EXPECT_EQ(memo->Text(), u"a\r\nb\r\nc\r\nd");
    lines->Delete(3);
    EXPECT_EQ(lines->Count(), 3);
    lines->Add(u"x1\r\nx2");
    EXPECT_EQ(lines->Count(), 5);
    EXPECT_EQ(lines->Get(4), u"x2");
    lines->Add(u"x3");
    EXPECT_EQ(lines->Get(5), u"x3");

    EXPECT_THROW(lines->Get(6), EStringListError);
    EXPECT_THROW(lines->Delete(-1), EStringListError);
    EXPECT_THROW(lines->Insert(7, u"x"), EStringListError);

    TStringList other;
    other.Add(u"x");
    other.Add(u"y");
    lines->Assign(&other);
    EXPECT_TRUE(lines->Equals(other));

    // Lines written before the window exists are there once it does.
    memo->HandleNeeded();
    EXPECT_EQ(lines->Count(), 2);
    EXPECT_EQ(lines->Get(1), u"y");
    lines->Clear();
    EXPECT_EQ(lines->Count(), 0);
    EXPECT_EQ(memo->Text(), u"");
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlsLines,
                         ::testing::Values(LinesCase{"Memo", MakeOn<TMemo>, true},
                                           LinesCase{"MemoWithoutWindow", MakeOn<TMemo>, false},
                                           LinesCase{"RichEdit", MakeOn<TRichEdit>, true},
                                           LinesCase{"RichEditWithoutWindow", MakeOn<TRichEdit>, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

class ControlsMemo : public ControlsTest {};

TEST_F(ControlsMemo, ScrollBarsBeforeAndAfterTheWindow) {
    struct Case {
        TScrollStyle Bars;
        DWORD Style;
    };
    const Case cases[] = {{ssNone, 0}, {ssHorizontal, WS_HSCROLL}, {ssVertical, WS_VSCROLL}, {ssBoth, WS_HSCROLL | WS_VSCROLL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Bars));
        auto* before = Add<TMemo>();
        before->SetScrollBars(c.Bars);
        EXPECT_EQ(StyleOf(before->Handle()) & (WS_HSCROLL | WS_VSCROLL), c.Style);

        // Changing them makes a new window with the same text.
        auto* after = Add<TMemo>();
        after->Lines()->Add(u"kept");
        HWND first = after->Handle();
        after->SetScrollBars(c.Bars);
        EXPECT_EQ(StyleOf(after->Handle()) & (WS_HSCROLL | WS_VSCROLL), c.Style);
        EXPECT_EQ(after->Text(), u"kept\r\n");
        if (c.Bars != ssNone) {
            EXPECT_NE(after->Handle(), first);
        }
    }
}

TEST_F(ControlsMemo, WordWrapAndWantReturns) {
    auto* memo = Add<TMemo>();
    EXPECT_FALSE(StyleOf(memo->Handle()) & ES_AUTOHSCROLL) << "a wrapping memo does not scroll sideways";
    memo->SetWordWrap(false);
    EXPECT_TRUE(StyleOf(memo->Handle()) & ES_AUTOHSCROLL);

    memo->SetText(u"a");
    memo->SetSelStart(1);
    Type(memo->Handle(), L"\rb");
    EXPECT_EQ(memo->Lines()->Count(), 2);

    memo->SetWantReturns(false);
    memo->SetSelStart(99);
    Type(memo->Handle(), L"\rc");
    EXPECT_EQ(memo->Text(), u"a\r\nbc");
    EXPECT_FALSE(::SendMessageW(memo->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS)
        << "Enter is left to the form";
}

// ---------------------------------------------------------------------------
// Rich edit

class ControlsRichEdit : public ControlsTest {};

TEST_F(ControlsRichEdit, SeveralMegabytesOfTextAreNotCutOff) {
    auto* rich = Add<TRichEdit>();
    String text;
    const String line = u"The quick brown fox jumps over the lazy dog 0123456789\r\n";
    while (text.size() < 3 * 1024 * 1024) text += line;
    const int lineCount = static_cast<int>(text.size() / line.size());

    rich->SetText(text);
    rich->HandleNeeded();
    EXPECT_EQ(rich->Text().size(), text.size());
    EXPECT_TRUE(rich->Text() == text);
    // Lines are the text's lines, however the narrow control wraps them.
    EXPECT_EQ(rich->Lines()->Count(), lineCount);
    rich->Lines()->Add(u"the end");
    EXPECT_EQ(rich->Lines()->Count(), lineCount + 1);
    EXPECT_EQ(rich->Lines()->Get(lineCount), u"the end");
    EXPECT_EQ(rich->Text().size(), text.size() + 9);

    // Emptying it takes a moment, not the minutes a rich edit can spend
    // taking out a long text.
    const DWORD start = ::GetTickCount();
    rich->Clear();
    EXPECT_LT(::GetTickCount() - start, 20000u);
    EXPECT_EQ(rich->Text(), u"");
    EXPECT_EQ(rich->Lines()->Count(), 0);
    rich->Lines()->Add(u"next page");
    EXPECT_EQ(rich->Text(), u"next page\r\n");

    // Typing is held to the control's text limit, which is far above the
    // system's default of 32767 characters.
    rich->Lines()->Add(String(40000, u'a'));
    rich->SetSelStart(0);
    Type(rich->Handle(), L"!!!");
    EXPECT_EQ(rich->Text().size(), 11u + 40002u + 3u);
}

// A page shown while it arrives (each piece added as a line) becomes the
// finished page in the same window: only what differs is changed.
TEST_F(ControlsRichEdit, LongPageArrivesInLinesAndBecomesTheFinishedPageInTheSameWindow) {
    auto* rich = Add<TRichEdit>();
    HWND wnd = rich->Handle();
    EventLog changes;
    rich->OnChange = changes.Event();

    // A page of about 200K characters cut into pieces, some of them in the
    // middle of a line or of a CR LF; one "multi-byte" character arrives
    // split, shown as two replacement characters while it arrives.
    String page;
    for (int i = 0; page.size() < 200 * 1024; ++i)
        page += u"<p>line " + IntToStr(i) + u" of the page: the quick brown fox jumps over the lazy dog</p>\r\n";
    page.insert(150000, u"\u00e9");
    std::vector<String> pieces;
    for (std::size_t at = 0; at < page.size();) {
        std::size_t size = 4096 + (at / 7) % 3000;
        if (at + size > page.size()) size = page.size() - at;
        pieces.push_back(page.substr(at, size));
        at += size;
    }
    // What the lines should hold: each piece as a line of its own.
    String shown;
    int breaks = 0;
    for (String piece : pieces) {
        const std::size_t split = piece.find(u'\u00e9');
        if (split != String::npos) piece.replace(split, 1, u"\ufffd\ufffd");
        const bool afterBreak = shown.empty() || shown.back() == u'\n';
        const int index = rich->Lines()->Add(piece);
        EXPECT_EQ(index, afterBreak ? breaks : breaks + 1);
        shown += afterBreak ? piece + u"\r\n" : u"\r\n" + piece;
        breaks = static_cast<int>(std::count(shown.begin(), shown.end(), u'\n'));
    }
    ASSERT_TRUE(rich->Text() == shown);
    EXPECT_EQ(rich->Handle(), wnd);

    changes.Count = 0;
    rich->SetText(page);
    EXPECT_EQ(rich->Handle(), wnd) << "the window was made anew";
    EXPECT_TRUE(rich->Text() == page);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(rich->SelStart(), 0);

    // Line breaks of any kind come out as CR LF; the same text again changes nothing.
    String lf = page;
    lf.replace(page.find(u"\r\n", 1000), 2, u"\n");
    rich->SetText(lf);
    EXPECT_EQ(rich->Handle(), wnd);
    EXPECT_TRUE(rich->Text() == page);
    changes.Count = 0;
    rich->SetText(page);
    EXPECT_EQ(changes.Count, 0);

    // A wholly different long text still arrives whole.
    String other;
    while (other.size() < 70000) other += u"another page, another line\r\n";
    rich->SetText(other);
    EXPECT_TRUE(rich->Text() == other);
}

TEST_F(ControlsRichEdit, FontAppliesToAllTextWithItsCharset) {
    auto* rich = Add<TRichEdit>();
    rich->Font()->SetName(u"Tahoma");
    rich->Font()->SetHeight(-16);
    rich->Font()->SetCharset(RUSSIAN_CHARSET);
    rich->Font()->SetStyle(TFontStyles{fsBold});
    rich->SetText(u"\u041f\u0440\u0438\u0432\u0435\u0442 text");
    HWND wnd = rich->Handle();

    auto formatOfAll = [&] {
        rich->SelectAll();
        CHARFORMAT2W cf = {};
        cf.cbSize = sizeof(cf);
        ::SendMessageW(wnd, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    };
    CHARFORMAT2W cf = formatOfAll();
    EXPECT_EQ(cf.bCharSet, RUSSIAN_CHARSET);
    EXPECT_EQ(FromW(cf.szFaceName), u"Tahoma");
    EXPECT_TRUE(cf.dwEffects & CFE_BOLD);
    EXPECT_EQ(cf.yHeight, ::MulDiv(16, 1440, rich->Font()->PixelsPerInch()));

    // A new font reaches the text that is already there.
    rich->Font()->SetStyle(TFontStyles{});
    rich->Font()->SetCharset(ANSI_CHARSET);
    cf = formatOfAll();
    EXPECT_EQ(cf.bCharSet, ANSI_CHARSET);
    EXPECT_FALSE(cf.dwEffects & CFE_BOLD);
    EXPECT_TRUE(cf.dwMask & CFM_CHARSET) << "one charset for all the text";

    // Text with attributes of its own takes a new font and colour too.
    rich->SetText(u"red bold and plain");
    CHARRANGE part{0, 8};
    ::SendMessageW(wnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&part));
    CHARFORMAT2W own = {};
    own.cbSize = sizeof(own);
    own.dwMask = CFM_FACE | CFM_COLOR | CFM_BOLD;
    own.dwEffects = CFE_BOLD;
    own.crTextColor = RGB(255, 0, 0);
    std::wcscpy(own.szFaceName, L"Courier New");
    ::SendMessageW(wnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&own));
    rich->Font()->SetName(u"Arial");
    rich->Font()->SetColor(static_cast<TColor>(RGB(0, 0, 160)));
    cf = formatOfAll();
    EXPECT_EQ(FromW(cf.szFaceName), u"Arial");
    EXPECT_EQ(cf.crTextColor, RGB(0, 0, 160));
    EXPECT_FALSE(cf.dwEffects & CFE_BOLD);
}

TEST_F(ControlsRichEdit, PlainTextAndSelection) {
    auto* rich = Add<TRichEdit>();
    EXPECT_TRUE(::SendMessageW(rich->Handle(), EM_GETTEXTMODE, 0, 0) & TM_RICHTEXT);
    rich->SetText(u"line one\r\nline two");
    rich->SetPlainText(true);
    EXPECT_TRUE(::SendMessageW(rich->Handle(), EM_GETTEXTMODE, 0, 0) & TM_PLAINTEXT);
    EXPECT_EQ(rich->Text(), u"line one\r\nline two");

    // Positions count a paragraph break as one character.
    rich->SetSelStart(5);
    rich->SetSelLength(8);
    EXPECT_EQ(rich->SelText(), u"one\rline");
}

// ---------------------------------------------------------------------------
// Buttons and check boxes

class ControlsButton : public ControlsTest {};

TEST_F(ControlsButton, ClickComesFromTheSystemButton) {
    auto* button = Add<TButton>();
    button->SetCaption(u"Go");
    EventLog clicks;
    button->OnClick = clicks.Event();
    HWND wnd = button->Handle();
    EXPECT_EQ(WindowText(wnd), u"Go");
    ::SendMessageW(wnd, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks.Count, 1);
    // Mouse messages alone are the system button's business (no second click).
    ::SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(clicks.Count, 2);
}

TEST_F(ControlsButton, DefaultAndCancelAnswerTheirDialogKeys) {
    auto* button = Add<TButton>();
    ShowForm();
    button->SetDefault(true);
    EXPECT_EQ(StyleOf(button->Handle()) & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    button->SetDefault(false);
    EXPECT_EQ(StyleOf(button->Handle()) & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));

    struct Case {
        bool Default, Cancel;
        WPARAM Key;
        bool Clicks;
    };
    const Case cases[] = {
        {true, false, VK_RETURN, true}, {true, false, VK_ESCAPE, false}, {false, true, VK_ESCAPE, true},
        {false, true, VK_RETURN, false}, {false, false, VK_RETURN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Default << c.Cancel << c.Key);
        button->SetDefault(c.Default);
        button->SetCancel(c.Cancel);
        EventLog clicks;
        button->OnClick = clicks.Event();
        const LRESULT handled = button->Perform(CM_DIALOGKEY, c.Key, 0);
        EXPECT_EQ(clicks.Count, c.Clicks ? 1 : 0);
        EXPECT_EQ(handled != 0, c.Clicks);
    }
}

TEST_F(ControlsButton, EnterInAnEditClicksTheDefaultButton) {
    auto* edit = Add<TEdit>();
    auto* memo = Add<TMemo>();
    auto* ok = Add<TButton>();
    auto* cancel = Add<TButton>();
    ok->SetDefault(true);
    cancel->SetCancel(true);
    EventLog okClicks, cancelClicks;
    ok->OnClick = okClicks.Event();
    cancel->OnClick = cancelClicks.Event();
    ShowForm();

    auto press = [](HWND wnd, WPARAM key) {
        ::PostMessageW(wnd, WM_KEYDOWN, key, 1);
        Application->ProcessMessages();
    };
    press(edit->Handle(), VK_RETURN);
    EXPECT_EQ(okClicks.Count, 1);
    press(edit->Handle(), VK_ESCAPE);
    EXPECT_EQ(cancelClicks.Count, 1);
    // A memo keeps its Enter, unless it does not want returns.
    press(memo->Handle(), VK_RETURN);
    EXPECT_EQ(okClicks.Count, 1);
    memo->SetWantReturns(false);
    press(memo->Handle(), VK_RETURN);
    EXPECT_EQ(okClicks.Count, 2);
}

class ControlsCheckBox : public ControlsTest {};

TEST_F(ControlsCheckBox, StateFollowsClicksAndCodeAndFiresOnClick) {
    auto* box = Add<TCheckBox>();
    EventLog clicks;
    box->OnClick = clicks.Event();

    box->SetChecked(true);
    EXPECT_EQ(clicks.Count, 1) << "set in code before the window";
    HWND wnd = box->Handle();
    EXPECT_EQ(::SendMessageW(wnd, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(StyleOf(wnd) & BS_TYPEMASK, static_cast<DWORD>(BS_3STATE));

    ::SendMessageW(wnd, BM_CLICK, 0, 0);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(::SendMessageW(wnd, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(clicks.Count, 2);

    box->SetChecked(false);
    EXPECT_EQ(clicks.Count, 2) << "no change, no click";
    box->SetChecked(true);
    EXPECT_EQ(clicks.Count, 3);
    EXPECT_EQ(::SendMessageW(wnd, BM_GETCHECK, 0, 0), BST_CHECKED);

    // With AllowGrayed a click goes unchecked -> grayed -> checked -> unchecked.
    box->SetAllowGrayed(true);
    box->SetState(cbUnchecked);
    const TCheckBoxState cycle[] = {cbGrayed, cbChecked, cbUnchecked};
    for (TCheckBoxState expected : cycle) {
        ::SendMessageW(wnd, BM_CLICK, 0, 0);
        EXPECT_EQ(box->State(), expected);
        EXPECT_EQ(::SendMessageW(wnd, BM_GETCHECK, 0, 0), static_cast<LRESULT>(expected));
    }
}

// ---------------------------------------------------------------------------
// Combo boxes

class ControlsComboBox : public ControlsTest {};

TEST_F(ControlsComboBox, ItemsAndSelectionBeforeAndAfterTheWindow) {
    auto* combo = Add<TComboBox>();
    TStringList marker;
    combo->Items()->Add(u"alpha");
    combo->Items()->AddObject(u"beta", &marker);
    combo->Items()->Add(u"gamma");
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), u"beta");
    ASSERT_FALSE(combo->HandleAllocated());

    HWND wnd = combo->Handle();
    EXPECT_EQ(::SendMessageW(wnd, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(::SendMessageW(wnd, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), u"beta");
    EXPECT_EQ(combo->Items()->GetObject(1), &marker);
    EXPECT_EQ(combo->Items()->Get(2), u"gamma");

    // A new style is a new window with the same items and selection.
    combo->SetStyle(csDropDownList);
    ASSERT_TRUE(combo->HandleAllocated());
    EXPECT_EQ(StyleOf(combo->Handle()) & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_EQ(combo->Items()->Count(), 3);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Items()->GetObject(1), &marker);
    // In a drop-down list, the text picks the item.
    combo->SetText(u"gamma");
    EXPECT_EQ(combo->ItemIndex(), 2);
    combo->SetText(u"delta");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), u"");

    // Without a window: deleting the selected item leaves none selected.
    auto* detached = Add<TComboBox>();
    detached->Items()->Add(u"a");
    detached->Items()->Add(u"b");
    detached->SetItemIndex(1);
    detached->Items()->Insert(0, u"first");
    EXPECT_EQ(detached->ItemIndex(), 2);
    detached->Items()->Delete(2);
    EXPECT_EQ(detached->ItemIndex(), -1);
    detached->SetItemIndex(5);
    EXPECT_EQ(detached->ItemIndex(), -1);

    // Emptying the list of a drop-down box keeps its text.
    auto* dropDown = Add<TComboBox>();
    dropDown->Items()->Add(u"x");
    dropDown->SetText(u"typed");
    dropDown->HandleNeeded();
    dropDown->Items()->Clear();
    EXPECT_EQ(dropDown->Items()->Count(), 0);
    EXPECT_EQ(dropDown->Text(), u"typed");
}

TEST_F(ControlsComboBox, OnChangeForTypingAndForSelectionWithTheNewText) {
    auto* list = Add<TComboBox>();
    list->SetStyle(csDropDownList);
    auto* drop = Add<TComboBox>();
    for (TComboBox* combo : {list, drop}) {
        combo->Items()->Add(u"one");
        combo->Items()->Add(u"two");
        combo->Items()->Add(u"three");
    }
    EventLog listChanges, dropChanges;
    list->OnChange = listChanges.Event();
    drop->OnChange = dropChanges.Event();
    ShowForm();

    // Set in code: no OnChange.
    list->SetItemIndex(0);
    drop->SetItemIndex(0);
    drop->SetText(u"own text");
    EXPECT_EQ(listChanges.Count, 0);
    EXPECT_EQ(dropChanges.Count, 0);

    // The user moves the selection with the keyboard.
    ::SendMessageW(list->Handle(), WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(list->ItemIndex(), 1);
    ASSERT_EQ(listChanges.Count, 1);
    EXPECT_EQ(listChanges.Texts.back(), u"two");

    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetComboBoxInfo(drop->Handle(), &info));
    HWND field = info.hwndItem;
    drop->SetItemIndex(1);
    ::SendMessageW(field, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(drop->ItemIndex(), 2);
    ASSERT_GE(dropChanges.Count, 1);
    EXPECT_EQ(dropChanges.Texts.back(), u"three") << "the text shows the new item when OnChange runs";

    // The user types.
    const int before = dropChanges.Count;
    ::SendMessageW(field, WM_CHAR, L'!', 1);
    EXPECT_EQ(dropChanges.Count, before + 1);
    EXPECT_NE(dropChanges.Texts.back().find(u'!'), String::npos);
    EXPECT_EQ(dropChanges.Texts.back(), drop->Text());
}

// ---------------------------------------------------------------------------
// Labels

class ControlsLabel : public ControlsTest {};

TEST_F(ControlsLabel, AutoSizeFollowsTheCaptionAndFont) {
    auto* label = New<TLabel>(Form);
    label->SetBounds(100, 10, 10, 10);
    label->SetParent(Form);
    label->SetCaption(u"W");
    const int narrow = label->Width();
    EXPECT_GT(narrow, 0);
    label->SetCaption(u"WWWWWWWW");
    EXPECT_GT(label->Width(), narrow * 4);
    const int height = label->Height();
    label->Font()->SetHeight(-40);
    EXPECT_GT(label->Height(), height);

    // Right-aligned, the right edge stays where it is.
    const int right = label->Left() + label->Width();
    label->SetAlignment(taRightJustify);
    label->SetCaption(u"W");
    EXPECT_EQ(label->Left() + label->Width(), right);

    label->SetAutoSize(false);
    label->SetBounds(0, 0, 30, 20);
    label->SetCaption(u"a much longer caption than before");
    EXPECT_EQ(label->Width(), 30);
    EXPECT_EQ(label->Height(), 20);
}

TEST_F(ControlsLabel, PaintsItsColourUnlessTransparentAndItsTextInTheFontColour) {
    const COLORREF formColour = RGB(20, 40, 200);
    const COLORREF labelColour = RGB(230, 30, 30);
    const COLORREF textColour = RGB(250, 250, 0);
    Form->SetColor(static_cast<TColor>(formColour));
    auto* label = New<TLabel>(Form);
    label->SetParent(Form);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 120, 40);
    label->SetColor(static_cast<TColor>(labelColour));
    label->Font()->SetColor(static_cast<TColor>(textColour));
    label->Font()->SetHeight(-20);
    label->SetCaption(u"Label");
    ShowForm();

    auto area = [&] {
        harness::Capture all = harness::CaptureWindow(Form->Handle(), harness::CaptureSource::Print, true);
        harness::Capture part;
        part.Width = 120;
        part.Height = 40;
        for (int y = 10; y < 50; ++y)
            for (int x = 10; x < 130; ++x) {
                const COLORREF c = all.Pixel(x, y);
                part.Pixels.push_back((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
            }
        EXPECT_EQ(all.Pixel(200, 100), formColour) << "outside the label";
        return part;
    };
    harness::Capture opaque = area();
    EXPECT_GT(opaque.Count(labelColour), 120 * 40 / 2);
    EXPECT_EQ(opaque.Count(formColour), 0);
    EXPECT_GT(opaque.Count(textColour, 40), 0) << "the caption is drawn";

    label->SetTransparent(true);
    harness::PumpUntilIdle(20, 1000);
    harness::Capture transparent = area();
    EXPECT_EQ(transparent.Count(labelColour), 0);
    EXPECT_GT(transparent.Count(formColour), 120 * 40 / 2);
    EXPECT_GT(transparent.Count(textColour, 40), 0);
}

// ---------------------------------------------------------------------------
// Panels

class ControlsPanel : public ControlsTest {};

TEST_F(ControlsPanel, BevelsBorderAndCentredCaption) {
    const COLORREF face = RGB(90, 160, 90);
    const COLORREF text = RGB(255, 255, 255);
    auto* panel = Add<TPanel>();
    panel->SetBounds(0, 0, 200, 60);
    panel->SetColor(static_cast<TColor>(face));
    panel->Font()->SetColor(static_cast<TColor>(text));
    panel->Font()->SetHeight(-20);
    panel->SetCaption(u"WW");
    ShowForm();
    const COLORREF light = static_cast<COLORREF>(ColorToRGB(clBtnHighlight));
    const COLORREF shadow = static_cast<COLORREF>(ColorToRGB(clBtnShadow));

    struct Case {
        TBevelCut Outer, Inner;
        int BevelWidth, BorderWidth;
        // Colours at the top-left corner going inwards, and at the bottom-right.
        std::vector<COLORREF> TopLeft, BottomRight;
    };
    const Case cases[] = {
        {bvRaised, bvNone, 1, 0, {light, face}, {shadow, face}},
        {bvLowered, bvNone, 2, 0, {shadow, shadow, face}, {light, light, face}},
        {bvNone, bvNone, 1, 0, {face}, {face}},
        {bvRaised, bvLowered, 1, 2, {light, face, face, shadow, face}, {shadow, face, face, light, face}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Outer << c.Inner << c.BevelWidth << c.BorderWidth);
        panel->SetBevelOuter(c.Outer);
        panel->SetBevelInner(c.Inner);
        panel->SetBevelWidth(c.BevelWidth);
        panel->SetBorderWidth(c.BorderWidth);
        harness::Capture cap = harness::CaptureWindow(panel->Handle(), harness::CaptureSource::Print, true);
        ASSERT_EQ(cap.Width, 200);
        for (std::size_t i = 0; i < c.TopLeft.size(); ++i) {
            const int d = static_cast<int>(i);
            EXPECT_EQ(cap.Pixel(d, 30), c.TopLeft[i]) << "left, " << d;
            EXPECT_EQ(cap.Pixel(100, d), c.TopLeft[i]) << "top, " << d;
            EXPECT_EQ(cap.Pixel(199 - d, 30), c.BottomRight[i]) << "right, " << d;
            EXPECT_EQ(cap.Pixel(100, 59 - d), c.BottomRight[i]) << "bottom, " << d;
        }
        // The caption's pixels sit around the middle.
        int left = cap.Width, right = -1, top = cap.Height, bottom = -1;
        for (int y = 0; y < cap.Height; ++y)
            for (int x = 0; x < cap.Width; ++x)
                if (cap.Pixel(x, y) == text) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0);
        EXPECT_NEAR((left + right) / 2.0, 100, 3);
        EXPECT_NEAR((top + bottom) / 2.0, 30, 4);
    }

    panel->SetBorderStyle(bsSingle);
    EXPECT_TRUE(ExStyleOf(panel->Handle()) & WS_EX_CLIENTEDGE);
}

TEST_F(ControlsPanel, AlignedControlsStayInsideTheBevels) {
    auto* panel = Add<TPanel>();
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelOuter(bvRaised);
    panel->SetBevelInner(bvLowered);
    panel->SetBevelWidth(2);
    panel->SetBorderWidth(3);
    EXPECT_TRUE(panel->ControlStyle() & csAcceptsControls);
    auto* client = Add<TPanel>(panel);
    client->SetAlign(TAlign::alClient);
    auto* top = Add<TButton>(panel);
    top->SetHeight(20);
    top->SetAlign(TAlign::alTop);
    panel->HandleNeeded();

    const int inset = 2 + 3 + 2;
    EXPECT_EQ(top->BoundsRect().left, inset);
    EXPECT_EQ(top->BoundsRect().top, inset);
    EXPECT_EQ(top->Width(), 200 - 2 * inset);
    EXPECT_EQ(client->Top(), inset + 20);
    EXPECT_EQ(client->Height(), 100 - 2 * inset - 20);
    EXPECT_EQ(PanelInnerRect(TRect(0, 0, 200, 100), bvRaised, bvLowered, 2, 3), TRect(inset, inset, 200 - inset, 100 - inset));
}

// ---------------------------------------------------------------------------
// Scroll boxes

class ControlsScrollBox : public ControlsTest {};

TEST_F(ControlsScrollBox, RangesFollowTheChildrenAndScrollingMovesThem) {
    auto* box = Add<TScrollBox>();
    box->SetBounds(0, 0, 200, 150);
    box->SetBorderStyle(bsNone);
    auto* distant = Add<TPanel>(box);
    distant->SetBounds(10, 400, 50, 100);
    ShowForm();
    HWND wnd = box->Handle();

    EXPECT_EQ(box->VertScrollBar()->Range(), 500);
    EXPECT_EQ(box->HorzScrollBar()->Range(), 60);
    EXPECT_TRUE(StyleOf(wnd) & WS_VSCROLL);
    EXPECT_FALSE(StyleOf(wnd) & WS_HSCROLL);
    RECT client;
    ::GetClientRect(wnd, &client);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    ASSERT_TRUE(::GetScrollInfo(wnd, SB_VERT, &si));
    EXPECT_EQ(si.nMax, 499);
    EXPECT_EQ(static_cast<int>(si.nPage), client.bottom);

    // The user pages down: the view moves, the child with it.
    ::SendMessageW(wnd, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(box->VertScrollBar()->Position(), client.bottom);
    EXPECT_EQ(distant->Top(), 400 - client.bottom);
    ::SendMessageW(wnd, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(box->VertScrollBar()->Position(), 500 - client.bottom);
    EXPECT_EQ(distant->Top() + distant->Height(), client.bottom);
    EXPECT_EQ(::GetScrollPos(wnd, SB_VERT), 500 - client.bottom);
    EXPECT_EQ(box->VertScrollBar()->Range(), 500) << "scrolling does not change the range";

    // A child further right brings the horizontal bar.
    auto* wide = Add<TPanel>(box);
    wide->SetBounds(300, 0, 100, 20);
    EXPECT_EQ(box->HorzScrollBar()->Range(), 400);
    EXPECT_TRUE(StyleOf(wnd) & WS_HSCROLL);

    // Without the distant children nothing needs scrolling: back to the origin.
    distant->Free();
    wide->Free();
    EXPECT_EQ(box->VertScrollBar()->Range(), 0);
    EXPECT_EQ(box->VertScrollBar()->Position(), 0);
    EXPECT_FALSE(StyleOf(wnd) & (WS_VSCROLL | WS_HSCROLL));

    box->SetBorderStyle(bsSingle);
    EXPECT_TRUE(ExStyleOf(box->Handle()) & WS_EX_CLIENTEDGE);
}

TEST_F(ControlsScrollBox, AutoScrollBorderStylesAndTheWheel) {
    auto* box = Add<TScrollBox>();
    box->SetBounds(0, 0, 200, 150);
    auto* distant = Add<TPanel>(box);
    distant->SetBounds(10, 400, 50, 100);
    ShowForm();
    ASSERT_TRUE(StyleOf(box->Handle()) & WS_VSCROLL);

    // A wheel notch scrolls the system's wheel lines of Increment and tells
    // the sender that the control took it.
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    box->VertScrollBar()->Increment = 5;
    EXPECT_EQ(::SendMessageW(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0), 1);
    EXPECT_EQ(box->VertScrollBar()->Position(), 5 * static_cast<int>(lines));

    // Without AutoScroll the ranges drop and the bars go; the wheel is left
    // to the parent.
    box->SetAutoScroll(false);
    EXPECT_EQ(box->VertScrollBar()->Range(), 0);
    EXPECT_EQ(box->VertScrollBar()->Position(), 0);
    EXPECT_FALSE(StyleOf(box->Handle()) & WS_VSCROLL);
    EXPECT_EQ(::SendMessageW(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0), 0);
    box->SetAutoScroll(true);
    EXPECT_EQ(box->VertScrollBar()->Range(), 500);

    // A single border is the sunken edge with Ctl3D, a plain line without;
    // a change of Ctl3D makes the window anew.
    box->SetCtl3D(false);
    EXPECT_TRUE(StyleOf(box->Handle()) & WS_BORDER);
    EXPECT_FALSE(ExStyleOf(box->Handle()) & WS_EX_CLIENTEDGE);
    box->SetCtl3D(true);
    EXPECT_FALSE(StyleOf(box->Handle()) & WS_BORDER);
    EXPECT_TRUE(ExStyleOf(box->Handle()) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(StyleOf(box->Handle()) & WS_VSCROLL) << "the new window has its bar";
}

// ---------------------------------------------------------------------------
// Images

class ControlsImage : public ControlsTest {};

TEST(ControlsImageGeometry, DestRectPlacesThePicture) {
    struct Case {
        int PictureWidth, PictureHeight;
        bool Stretch, Proportional, Center;
        TRect Expected;
    };
    // In a 100 x 50 client area.
    const Case cases[] = {
        {40, 20, false, false, false, TRect(0, 0, 40, 20)},
        {40, 20, false, false, true, TRect(30, 15, 70, 35)},
        {40, 20, true, false, false, TRect(0, 0, 100, 50)},
        {40, 40, true, true, false, TRect(0, 0, 50, 50)},
        {40, 40, true, true, true, TRect(25, 0, 75, 50)},
        {40, 20, false, true, false, TRect(0, 0, 40, 20)},      // fits: not enlarged
        {400, 100, false, true, false, TRect(0, 0, 100, 25)},   // too large: shrunk
        {300, 300, false, false, true, TRect(-100, -125, 200, 175)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.PictureWidth << "x" << c.PictureHeight << " " << c.Stretch << c.Proportional
                                        << c.Center);
        EXPECT_EQ(ImageDestRect(c.PictureWidth, c.PictureHeight, 100, 50, c.Stretch, c.Proportional, c.Center), c.Expected);
    }
}

TEST_F(ControlsImage, AutoSizeTakesThePicturesSize) {
    auto* image = Add<TImage>();
    EXPECT_EQ(image->Width(), 105);
    image->SetAutoSize(true);
    TBitmap bitmap(37, 23);
    image->Picture()->SetGraphic(&bitmap);
    EXPECT_EQ(image->Width(), 37);
    EXPECT_EQ(image->Height(), 23);
    image->Picture()->Bitmap()->SetSize(50, 60);
    EXPECT_EQ(image->Width(), 50);
    EXPECT_EQ(image->Height(), 60);

    image->SetAutoSize(false);
    image->Picture()->Bitmap()->SetSize(5, 5);
    EXPECT_EQ(image->Width(), 50);

    // Transparent goes to the picture's graphic; the parent then shows through.
    image->SetTransparent(true);
    EXPECT_TRUE(image->Picture()->Graphic()->Transparent());
    EXPECT_FALSE(image->ControlStyle() & csOpaque);
}

TEST_F(ControlsImage, PaintsThePictureAndRepaintsWhenItChanges) {
    const COLORREF formColour = RGB(0, 0, 120);
    const COLORREF red = RGB(255, 0, 0);
    Form->SetColor(static_cast<TColor>(formColour));
    auto* image = Add<TImage>();
    image->SetBounds(20, 20, 80, 60);
    TBitmap* bitmap = image->Picture()->Bitmap();
    bitmap->SetSize(40, 30);
    bitmap->Canvas()->Brush()->SetColor(static_cast<TColor>(red));
    bitmap->Canvas()->FillRect(TRect(0, 0, 40, 30));
    ShowForm();

    auto countIn = [&](COLORREF colour) {
        harness::Capture cap = harness::CaptureWindow(Form->Handle(), harness::CaptureSource::Print, true);
        int n = 0;
        for (int y = 20; y < 80; ++y)
            for (int x = 20; x < 100; ++x) n += cap.Pixel(x, y) == colour;
        return n;
    };
    EXPECT_EQ(countIn(red), 40 * 30);
    image->SetStretch(true);
    EXPECT_EQ(countIn(red), 80 * 60);
    image->SetStretch(false);
    image->SetCenter(true);
    EXPECT_EQ(image->DestRect(), TRect(20, 15, 60, 45));

    // Drawing on the picture (a new animation frame, say) repaints the image.
    ::ValidateRect(Form->Handle(), nullptr);
    bitmap->Canvas()->FillRect(TRect(0, 0, 4, 4));
    RECT update;
    ASSERT_TRUE(::GetUpdateRect(Form->Handle(), &update, FALSE));
    RECT bounds = image->BoundsRect();
    RECT overlap;
    EXPECT_TRUE(::IntersectRect(&overlap, &update, &bounds));
}

// A bitmap that can report loading progress the way a decoder does.
class ProgressBitmap : public TBitmap {
public:
    TGraphic* CreateNew() const override { return new ProgressBitmap(); }
    void Report(Byte percent) { Progress(this, psRunning, percent, true, TRect(0, 0, 4, 4), u"decoding"); }
};

TEST_F(ControlsImage, OnProgressComesFromThePicturesGraphic) {
    auto* image = Add<TImage>();
    image->SetIncrementalDisplay(true);
    struct Seen {
        TObject* Sender = nullptr;
        int Percent = -1;
        String Msg;
        void Progress(TObject* sender, TProgressStage, Byte percent, bool, const TRect&, const String& msg) {
            Sender = sender;
            Percent = percent;
            Msg = msg;
        }
    } seen;
    image->OnProgress = TProgressEvent::Of<&Seen::Progress>(&seen);
    ProgressBitmap source;
    image->Picture()->SetGraphic(&source);
    auto* shown = dynamic_cast<ProgressBitmap*>(image->Picture()->Graphic());
    ASSERT_NE(shown, nullptr);
    ShowForm();
    shown->Report(40);
    EXPECT_EQ(seen.Sender, shown);
    EXPECT_EQ(seen.Percent, 40);
    EXPECT_EQ(seen.Msg, u"decoding");
}

// ---------------------------------------------------------------------------
// Progress and status bars

class ControlsBars : public ControlsTest {};

TEST_F(ControlsBars, ProgressPositionStaysInRangeBeforeAndAfterTheWindow) {
    struct Case {
        int Min, Max, Set, Expected;
    };
    const Case cases[] = {{0, 100, 40, 40}, {0, 100, 150, 100}, {10, 20, 5, 10}, {-50, 50, -20, -20}};
    for (bool window : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << window << " " << c.Min << ".." << c.Max << " " << c.Set);
            auto* bar = Add<TProgressBar>();
            if (window) bar->HandleNeeded();
            bar->SetMin(c.Min);
            bar->SetMax(c.Max);
            bar->SetPosition(c.Set);
            EXPECT_EQ(bar->Position(), c.Expected);
            HWND wnd = bar->Handle();
            EXPECT_EQ(::SendMessageW(wnd, PBM_GETPOS, 0, 0), c.Expected);
            EXPECT_EQ(::SendMessageW(wnd, PBM_GETRANGE, TRUE, 0), c.Min);
            EXPECT_EQ(::SendMessageW(wnd, PBM_GETRANGE, FALSE, 0), c.Max);
        }
    }
    auto* bar = Add<TProgressBar>();
    bar->SetPosition(30);
    bar->StepIt();
    EXPECT_EQ(bar->Position(), 40);
    EXPECT_FALSE(StyleOf(bar->Handle()) & PBS_SMOOTH);
    bar->SetSmooth(true);
    EXPECT_TRUE(StyleOf(bar->Handle()) & PBS_SMOOTH);
    EXPECT_EQ(bar->Position(), 40) << "kept by the new window";
}

TEST_F(ControlsBars, StatusBarSimpleTextAndBottomAlignment) {
    auto* status = Add<TStatusBar>();
    EXPECT_EQ(status->Align(), TAlign::alBottom);
    status->SetSimplePanel(true);
    status->SetSimpleText(u"loading...");
    HWND wnd = status->Handle();
    auto text = [&] {
        wchar_t buffer[256] = {};
        const LRESULT r = ::SendMessageW(wnd, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
        return FromW(buffer, LOWORD(r));
    };
    EXPECT_TRUE(::SendMessageW(wnd, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(text(), u"loading...");
    status->SetSimpleText(u"ready");
    EXPECT_EQ(text(), u"ready");
    EXPECT_EQ(status->SimpleText(), u"ready");

    ShowForm();
    const RECT client = Form->ClientRect();
    EXPECT_EQ(status->Top() + status->Height(), client.bottom);
    EXPECT_EQ(status->Width(), client.right);
    status->SetSimplePanel(false);
    EXPECT_FALSE(::SendMessageW(wnd, SB_ISSIMPLE, 0, 0));
}

// ---------------------------------------------------------------------------
// Dialogs, answered through the shown hook

using harness::ChooseFile;
using harness::DialogAnswer;
using harness::Press;

class ControlsDialogs : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        // The dialogs move the current folder to the chosen file's.
        FWorkingFolder = std::filesystem::current_path();
        FFolder = std::filesystem::temp_directory_path() / "kestrune-dialogs";
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
        std::filesystem::create_directories(FFolder);
        std::ofstream(FFolder / "page.htm") << "<html></html>";
        std::ofstream(FFolder / "picture.png") << "png";
    }
    void TearDown() override {
        TOpenDialog::ForceClassicDialog = false;
        std::error_code ignored;
        std::filesystem::current_path(FWorkingFolder, ignored);
        std::filesystem::remove_all(FFolder, ignored);
        ControlsTest::TearDown();
    }
    String Folder() const {
        const std::wstring w = FFolder.wstring();
        return FromW(w.c_str(), w.size());
    }
    std::filesystem::path FFolder;
    std::filesystem::path FWorkingFolder;
};

TEST_F(ControlsDialogs, OpenDialogReturnsTheChosenFileOnOkAndNothingOnCancel) {
    for (bool classic : {false, true}) {
        SCOPED_TRACE(classic ? "classic template" : "Explorer style");
        TOpenDialog::ForceClassicDialog = classic;
        auto* dialog = New<TOpenDialog>(Form);
        dialog->SetFilter(u"Pages|*.htm;*.html|Pictures|*.png|Any file|*.*");
        dialog->SetFilterIndex(2);
        dialog->SetInitialDir(Folder());
        dialog->SetOptions(TOpenOptions{ofFileMustExist, ofHideReadOnly});
        EventLog shows, closes;
        dialog->OnShow = shows.Event();
        dialog->OnClose = closes.Event();

        constexpr int kFilterCombo = 0x0470;   // cmb1
        LRESULT filters = -1, selected = -1;
        bool explorerView = false;
        DialogAnswer answer([&](TCommonDialog* d, HWND wnd) {
            EXPECT_EQ(d, dialog);
            EXPECT_EQ(d->Handle(), wnd);
            filters = ::SendDlgItemMessageW(wnd, kFilterCombo, CB_GETCOUNT, 0, 0);
            selected = ::SendDlgItemMessageW(wnd, kFilterCombo, CB_GETCURSEL, 0, 0);
            explorerView = ::FindWindowExW(wnd, nullptr, L"SHELLDLL_DefView", nullptr) != nullptr;
            ChooseFile(wnd, L"picture.png");
        });
        ASSERT_TRUE(dialog->Execute());
        EXPECT_EQ(answer.Shown, 1);
        EXPECT_EQ(filters, 3);
        EXPECT_EQ(selected, 1);
        EXPECT_EQ(explorerView, !classic);
        EXPECT_TRUE(SameText(dialog->FileName(), Folder() + u"\\picture.png")) << Narrow(dialog->FileName());
        EXPECT_EQ(dialog->FilterIndex(), 2);
        EXPECT_EQ(dialog->Files()->Count(), 1);
        EXPECT_EQ(dialog->Handle(), nullptr);
        EXPECT_EQ(shows.Count, 1);
        EXPECT_EQ(closes.Count, 1);

        answer.SetAction([](TCommonDialog*, HWND wnd) { Press(wnd, IDCANCEL); });
        const String before = dialog->FileName();
        EXPECT_FALSE(dialog->Execute());
        EXPECT_EQ(dialog->FileName(), before);
        EXPECT_EQ(answer.Shown, 2);
        dialog->Free();
    }
}

TEST_F(ControlsDialogs, SaveDialogAddsTheDefaultExtensionInTheInitialFolder) {
    auto* dialog = New<TSaveDialog>(Form);
    dialog->SetInitialDir(Folder());
    dialog->SetDefaultExt(u"txt");
    dialog->SetFilter(u"Text|*.txt");
    dialog->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
    DialogAnswer answer([](TCommonDialog*, HWND wnd) { ChooseFile(wnd, L"notes"); });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_TRUE(SameText(dialog->FileName(), Folder() + u"\\notes.txt")) << Narrow(dialog->FileName());
}

TEST_F(ControlsDialogs, FontDialogReturnsTheChosenFont) {
    auto* dialog = New<TFontDialog>(Form);
    dialog->Font()->SetName(u"Tahoma");
    dialog->Font()->SetSize(10);
    dialog->Font()->SetStyle(TFontStyles{fsBold});
    constexpr int kSizeCombo = 0x0472;   // cmb3

    DialogAnswer answer([](TCommonDialog*, HWND wnd) { Press(wnd, IDCANCEL); });
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(dialog->Font()->Size(), 10);

    String faceShown;
    answer.SetAction([&](TCommonDialog*, HWND wnd) {
        wchar_t face[LF_FACESIZE] = {};
        ::GetDlgItemTextW(wnd, 0x0470, face, LF_FACESIZE);   // cmb1
        faceShown = FromW(face);
        // The user picks 20 from the list of sizes.
        HWND sizes = ::GetDlgItem(wnd, kSizeCombo);
        const LRESULT twenty = ::SendMessageW(sizes, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"20"));
        ::SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(twenty), 0);
        ::SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kSizeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
        Press(wnd, IDOK);
    });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(faceShown, u"Tahoma") << "the dialog starts from Font";
    EXPECT_EQ(dialog->Font()->Name(), u"Tahoma");
    EXPECT_EQ(dialog->Font()->Size(), 20);
    EXPECT_TRUE(dialog->Font()->Style().Contains(fsBold));
}

TEST_F(ControlsDialogs, FindDialogIsModelessAndReportsFindNext) {
    auto* dialog = New<TFindDialog>(Form);
    dialog->SetFindText(u"needle");
    dialog->SetPosition(TPoint(40, 50));
    EventLog finds, closes;
    dialog->OnFind = finds.Event();
    dialog->OnClose = closes.Event();
    DialogAnswer answer(nullptr);
    ShowForm();

    ASSERT_TRUE(dialog->Execute());
    HWND wnd = dialog->Handle();
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(harness::PumpUntil([&] { return answer.Shown == 1; }, 5000));
    EXPECT_EQ(answer.Wnd, wnd);
    EXPECT_TRUE(::IsWindowVisible(wnd));
    EXPECT_EQ(dialog->Position(), TPoint(40, 50));
    wchar_t text[64] = {};
    ::GetDlgItemTextW(wnd, 0x0480, text, 64);
    EXPECT_EQ(FromW(text), u"needle");

    // The user types another text and presses Find Next.
    ::SetDlgItemTextW(wnd, 0x0480, L"haystack");
    Press(wnd, IDOK);
    ASSERT_TRUE(harness::PumpUntil([&] { return finds.Count == 1; }, 5000));
    EXPECT_EQ(dialog->FindText(), u"haystack");
    EXPECT_TRUE(dialog->Options().Contains(frFindNext));
    EXPECT_EQ(closes.Count, 0);

    // Executing again while it shows keeps the same dialog.
    EXPECT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->Handle(), wnd);

    dialog->CloseDialog();
    EXPECT_EQ(closes.Count, 1);
    EXPECT_EQ(dialog->Handle(), nullptr);
    EXPECT_FALSE(::IsWindow(wnd));

    // And it opens again.
    ASSERT_TRUE(dialog->Execute());
    EXPECT_NE(dialog->Handle(), nullptr);
    dialog->Free();
    harness::PumpUntilIdle(10, 500);
}

}  // namespace
