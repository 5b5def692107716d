// The engine's message box: what it asks the system for, and a real box
// answered from a timer.
#include <gtest/gtest.h>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "acMessageBox.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// Stands in for the system's box: records what it was asked and answers.
struct BoxSpy {
    static inline MSGBOXPARAMSW Params = {};
    static inline String Text, Caption;
    static inline int Calls = 0;
    static inline int XDuring = 0, YDuring = 0;
    static inline int Answer = IDOK;
    TMessageBoxIndirectFunc Saved;

    BoxSpy() : Saved(MessageBoxIndirectProc) {
        Calls = 0;
        MessageBoxIndirectProc = &Show;
    }
    ~BoxSpy() { MessageBoxIndirectProc = Saved; }
    static int WINAPI Show(const MSGBOXPARAMSW* p) {
        ++Calls;
        Params = *p;
        Text = FromW(p->lpszText);
        Caption = FromW(p->lpszCaption);
        XDuring = MessageBoxX;
        YDuring = MessageBoxY;
        return Answer;
    }
};

}  // namespace

TEST(AcMessageBox, ParametersPerTypeAndButtons) {
    BoxSpy spy;
    struct Case {
        TMsgDlgType type;
        TMsgDlgButtons buttons;
        UINT style;
        const char16_t* caption;
    } cases[] = {
        {mtWarning, {mbYes, mbNo, mbCancel}, MB_ICONWARNING | MB_YESNOCANCEL, u"Warning"},
        {mtError, {mbYes, mbNo}, MB_ICONERROR | MB_YESNO, u"Error"},
        {mtInformation, {mbOK, mbCancel}, MB_ICONINFORMATION | MB_OKCANCEL, u"Information"},
        {mtConfirmation, {mbRetry, mbCancel}, MB_ICONQUESTION | MB_RETRYCANCEL, u"Confirm"},
        {mtCustom, {mbAbort, mbRetry, mbIgnore}, MB_ABORTRETRYIGNORE, u""},
        {mtWarning, {mbIgnore}, MB_ICONWARNING | MB_ABORTRETRYIGNORE, u"Warning"},
        {mtWarning, {mbNo}, MB_ICONWARNING | MB_YESNO, u"Warning"},
        {mtWarning, {mbOK}, MB_ICONWARNING | MB_OK, u"Warning"},
        {mtWarning, {mbOK, mbYes, mbNo}, MB_ICONWARNING | MB_OK, u"Warning"},   // OK wins
        {mtWarning, {mbCancel}, MB_ICONWARNING | MB_OK, u"Warning"},
        {mtWarning, {}, MB_ICONWARNING | MB_OK, u"Warning"},
        {mtError, {mbOK, mbHelp}, MB_ICONERROR | MB_OK | MB_HELP, u"Error"},
        {mtCustom, {mbYes, mbNo, mbHelp}, MB_YESNO | MB_HELP, u""},
    };
    // The record's size at this build's word size: it holds pointers.
    constexpr UINT recordSize = sizeof(void*) == 8 ? 80 : 40;
    static_assert(sizeof(MSGBOXPARAMSW) == recordSize);
    for (const auto& c : cases) {
        BoxSpy::Answer = IDRETRY;
        EXPECT_EQ(ShowMessageDlg(u"Body", c.type, c.buttons, 7), IDRETRY);
        SCOPED_TRACE(testing::Message() << "type " << c.type << " buttons " << c.buttons.Bits());
        EXPECT_EQ(BoxSpy::Params.dwStyle, c.style);
        EXPECT_EQ(BoxSpy::Caption, c.caption);
        EXPECT_EQ(BoxSpy::Text, u"Body");
        EXPECT_EQ(BoxSpy::Params.cbSize, recordSize);
        EXPECT_EQ(BoxSpy::Params.hwndOwner, Application->Handle());
        EXPECT_EQ(BoxSpy::Params.hInstance, nullptr);
        EXPECT_EQ(BoxSpy::Params.lpszIcon, nullptr);
        EXPECT_EQ(BoxSpy::Params.dwContextHelpId, 7u);
        EXPECT_EQ(BoxSpy::Params.lpfnMsgBoxCallback, &MessageBoxHelpCallback);
        EXPECT_EQ(BoxSpy::Params.dwLanguageId, 0u);
        EXPECT_EQ(BoxSpy::XDuring, -1);
    }
    EXPECT_EQ(BoxSpy::Calls, int(std::size(cases)));
}

TEST(AcMessageBox, CaptionAndPositionApplyToThisBoxOnly) {
    BoxSpy spy;
    ShowMessageDlgPos(u"Mine", u"Body", mtCustom, {mbOK}, 120, 80, 0);
    EXPECT_EQ(BoxSpy::Caption, u"Mine");
    EXPECT_EQ(BoxSpy::XDuring, 120);
    EXPECT_EQ(BoxSpy::YDuring, 80);
    EXPECT_EQ(MessageBoxX, -1);
    EXPECT_EQ(MessageBoxY, -1);
    ShowMessageDlgPos(u"", u"Body", mtInformation, {mbOK}, -1, -1, 0);
    EXPECT_EQ(BoxSpy::Caption, u"Information");
}

TEST(AcMessageBox, HelpCallbackPassesNonZeroContexts) {
    static int asked = 0;
    asked = 0;
    const auto saved = MessageBoxHelpHandler;
    MessageBoxHelpHandler = [](int context) { asked = context; };
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.dwContextId = 0;
    MessageBoxHelpCallback(&info);
    EXPECT_EQ(asked, 0);
    info.dwContextId = 42;
    MessageBoxHelpCallback(&info);
    EXPECT_EQ(asked, 42);
    MessageBoxHelpHandler = nullptr;
    MessageBoxHelpCallback(&info);   // no handler: nothing happens
    MessageBoxHelpHandler = saved;
}

namespace {

// Finds this thread's message box and presses No in it; closes it after a
// few seconds if the button cannot be found, so the test fails instead of hanging.
struct BoxCloser {
    static inline String Caption;
    static inline bool HadNoButton = false;
    static inline int Ticks = 0;

    static BOOL CALLBACK FindBox(HWND wnd, LPARAM found) {
        wchar_t cls[32] = {};
        ::GetClassNameW(wnd, cls, 32);
        if (std::wstring_view(cls) == L"#32770" && ::IsWindowVisible(wnd)) {
            *reinterpret_cast<HWND*>(found) = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        ++Ticks;
        HWND box = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
        if (box) {
            wchar_t text[64] = {};
            ::GetWindowTextW(box, text, 64);
            Caption = FromW(text);
            HWND no = ::GetDlgItem(box, IDNO);
            HadNoButton = no != nullptr;
            if (no) {
                ::KillTimer(nullptr, id);
                ::SendMessageW(no, BM_CLICK, 0, 0);
                return;
            }
        }
        if (Ticks > 100) {
            ::KillTimer(nullptr, id);
            if (box) ::PostMessageW(box, WM_CLOSE, 0, 0);
        }
    }
};

}  // namespace

TEST(AcMessageBox, RealBoxAnsweredFromATimer) {
    BoxCloser::Ticks = 0;
    ::SetTimer(nullptr, 0, 50, &BoxCloser::Tick);
    const int answer = ShowMessageDlg(u"Keep the changes?", mtConfirmation, {mbYes, mbNo, mbCancel}, 0);
    EXPECT_EQ(answer, IDNO);
    EXPECT_TRUE(BoxCloser::HadNoButton);
    EXPECT_EQ(BoxCloser::Caption, u"Confirm");
}
