// The skin engine's utility routines that need the system: paths, waiting
// while messages run, property access by name, the error box, start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "Dialogs.h"
#include "ExtCtrls.h"
#include "FileIO.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "TypInfo.h"
#include "acMessageBox.h"
#include "acUtilsWin.h"

#include <shellapi.h>

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// Counts WM_TIMER and a posted message on a plain window.
struct CountingWindow {
    static inline int Ticks = 0;
    static inline int Posted = 0;
    static constexpr UINT kPing = WM_APP + 17;
    HWND Wnd = nullptr;

    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_TIMER) ++Ticks;
        if (m == kPing) ++Posted;
        return ::DefWindowProcW(w, m, wp, lp);
    }
    CountingWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KesUtilsCounting";
        ::RegisterClassW(&wc);   // fails harmlessly when already registered
        Wnd = ::CreateWindowExW(0, L"KesUtilsCounting", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
        Ticks = Posted = 0;
    }
    ~CountingWindow() { ::DestroyWindow(Wnd); }
};

Int64 ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& f) { return ((static_cast<Int64>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000; };
    return ms(kernel) + ms(user);
}

}  // namespace

TEST(AcUtilsWin, AppDirIsTheProgramsFolder) {
    const String dir = GetAppDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), u'\\');
    EXPECT_EQ(NormalizeDir(dir), dir);
    EXPECT_TRUE(fileio::FileExists(dir + u"kes_win_tests.exe")) << StringToUtf8(dir);
    // Without the final separator NormalizeDir gives it back.
    EXPECT_EQ(NormalizeDir(dir.substr(0, dir.size() - 1)), dir);
}

TEST(AcUtilsWin, WaitProcessingRunsMessagesForTheWholeTimeWithoutSpinning) {
    CountingWindow window;
    ASSERT_NE(window.Wnd, nullptr);
    ::PostMessageW(window.Wnd, CountingWindow::kPing, 0, 0);
    ::SetTimer(window.Wnd, 1, 20, nullptr);
    const Int64 cpuBefore = ThreadCpuMs();
    const DWORD start = ::GetTickCount();
    WaitProcessing(300);
    const DWORD elapsed = ::GetTickCount() - start;
    const Int64 cpu = ThreadCpuMs() - cpuBefore;
    ::KillTimer(window.Wnd, 1);

    EXPECT_GE(elapsed, 300u);
    EXPECT_LT(elapsed, 1500u);
    EXPECT_EQ(CountingWindow::Posted, 1);
    EXPECT_GE(CountingWindow::Ticks, 5);   // messages keep running during the wait, not only at its start
    // A sleeping wait costs next to nothing; a polling one burns a good share
    // of the time in this thread even though Wine spends the rest in its server.
    EXPECT_LT(cpu, 30) << "the wait spins instead of sleeping";

    const DWORD zeroStart = ::GetTickCount();
    WaitProcessing(0);
    EXPECT_LT(::GetTickCount() - zeroStart, 100u);
}

TEST(AcUtilsWin, ShowErrorGoesThroughTheMessageBox) {
    static MSGBOXPARAMSW seen;
    static String text, caption;
    struct Box {
        static int WINAPI Show(const MSGBOXPARAMSW* p) {
            seen = *p;
            text = FromW(p->lpszText);
            caption = FromW(p->lpszCaption);
            return IDOK;
        }
    };
    seen = {};
    const auto saved = MessageBoxIndirectProc;
    const String title = Application->Title;
    MessageBoxIndirectProc = &Box::Show;
    Application->Title = u"Some program";
    ShowError(u"Skin file is broken");
    MessageBoxIndirectProc = saved;
    Application->Title = title;

    EXPECT_EQ(text, u"Skin file is broken");
    EXPECT_EQ(caption, u"Some program") << "the box names the program";
    EXPECT_EQ(seen.dwStyle, UINT(MB_ICONERROR | MB_OK));
    EXPECT_EQ(seen.hwndOwner, Application->Handle());
}

namespace {
// Stand-ins for IsWow64Process: it fails, or it answers no or yes.
BOOL WINAPI Wow64CallFails(HANDLE, PBOOL) { return FALSE; }
BOOL WINAPI Wow64No(HANDLE, PBOOL wow64) { *wow64 = FALSE; return TRUE; }
BOOL WINAPI Wow64Yes(HANDLE, PBOOL wow64) { *wow64 = TRUE; return TRUE; }
}  // namespace

TEST(AcUtilsWin, StartUpLooksUpKernelEntryPointsAndSetsTheWow64Flag) {
    acUtilsFinalization();
    EXPECT_TRUE(IsDebugged());        // entry point unknown: assume a debugger
    EXPECT_FALSE(RunsUnderWow64());   // entry point unknown: no

    const auto savedQuery = AeroEnabledQuery;
    const auto savedLookup = Wow64EntryPointQuery;
    // The real answer at this build's word size: a 64-bit program never
    // runs under WOW64; a 32-bit one does exactly when Windows is 64-bit.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(wow64);
    }
    struct Case {
        const char* name;
        TIsWow64Process entry;   // what the lookup finds
        bool expected;
    } cases[] = {
        {"this process", nullptr, wow64 != FALSE},
        {"no entry point", nullptr, false},
        {"call fails", &Wow64CallFails, false},
        {"not under WOW64", &Wow64No, false},
        {"under WOW64", &Wow64Yes, true},
    };
    static TIsWow64Process found = nullptr;
    for (const Case& c : cases) {
        const bool real = std::string_view(c.name) == "this process";
        found = c.entry;
        Wow64EntryPointQuery = real ? savedLookup : +[](HMODULE) { return found; };
        for (bool aero : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.name << ", aero " << aero);
            Wow64WithoutComposition = false;
            AeroEnabledQuery = aero ? +[] { return true; } : +[] { return false; };
            acUtilsInitialization();
            EXPECT_FALSE(IsDebugged());
            EXPECT_EQ(RunsUnderWow64(), c.expected);
            EXPECT_EQ(Wow64WithoutComposition, c.expected && !aero);
            acUtilsInitialization();   // a second start-up holds the library once
            acUtilsFinalization();
        }
    }
    Wow64EntryPointQuery = savedLookup;
    AeroEnabledQuery = savedQuery;
    Wow64WithoutComposition = false;

    // Shut-down frees the shared bitmap, and copes when there is none.
    acUtilsInitialization();
    SharedBitmap = New<TBitmap>();
    acUtilsFinalization();
    EXPECT_EQ(SharedBitmap, nullptr);
    acUtilsFinalization();
    acUtilsInitialization();
}

TEST(AcUtilsWin, SystemQueries) {
    EXPECT_TRUE(IsWinXPOrLater());

    const Integer height = CaptionFontHeight();
    EXPECT_NE(height, 0);
    HFONT font = CreateCaptionFont();
    ASSERT_NE(font, nullptr);
    LOGFONTW lf = {};
    ASSERT_EQ(::GetObjectW(font, sizeof(lf), &lf), int(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, height);
    ::DeleteObject(font);

    TMessage m;
    MakeMessage(WM_SIZE, 3, -4, 5, m);
    EXPECT_EQ(m.Msg, UINT(WM_SIZE));
    EXPECT_EQ(m.WParam, WPARAM(3));
    EXPECT_EQ(m.LParam, LPARAM(-4));
    EXPECT_EQ(m.Result, LRESULT(5));
}

TEST(AcUtilsWin, SysAnimationRoundTrip) {
    const bool animation = SysAnimationEnabled();
    SetSysAnimation(!animation);
    const bool changed = SysAnimationEnabled();
    SetSysAnimation(animation);
    EXPECT_EQ(SysAnimationEnabled(), animation);
    if (changed == animation) GTEST_SKIP() << "this system does not keep SPI_SETANIMATION (Wine)";
    EXPECT_EQ(changed, !animation);
}

TEST(AcUtilsWin, FileSearchSkipsHiddenAndDirectoriesUnlessAsked) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const String dir = NormalizeDir(FromW(temp)) + u"kes_acutils_find\\";
    ::CreateDirectoryW(WStr(dir), nullptr);
    ::CreateDirectoryW(WStr(dir + u"sub"), nullptr);
    for (const char16_t* name : {u"a.txt", u"b.txt", u"h.txt"}) {
        HANDLE h = ::CreateFileW(WStr(dir + name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ::WriteFile(h, "abc", 3, nullptr, nullptr);
        ::CloseHandle(h);
    }
    ::SetFileAttributesW(WStr(dir + u"h.txt"), FILE_ATTRIBUTE_HIDDEN);

    auto list = [&](const String& pattern, Cardinal attr) {
        std::vector<String> names;
        TSearchRec f;
        if (FileFindFirst(dir + pattern, attr, f) == 0) {
            do names.push_back(f.Name);
            while (FileFindNext(f) == 0);
            FileFindClose(f);
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(list(u"*.txt", 0), (std::vector<String>{u"a.txt", u"b.txt"}));
    EXPECT_EQ(list(u"*.txt", faHidden), (std::vector<String>{u"a.txt", u"b.txt", u"h.txt"}));
    EXPECT_EQ(list(u"*", faDirectory), (std::vector<String>{u".", u"..", u"a.txt", u"b.txt", u"sub"}));
    EXPECT_TRUE(list(u"*.none", faAnyFile).empty());
    EXPECT_TRUE(list(u"s*", 0).empty());   // only a directory matches: nothing, and the search is closed

    TSearchRec f;
    ASSERT_EQ(FileFindFirst(dir + u"a.txt", 0, f), 0);
    EXPECT_EQ(f.Size, 3);
    FileFindClose(f);
    EXPECT_NE(FileFindNext(f), 0);   // after closing

    HICON icon = GetFileIcon(dir + u"a.txt", SHGFI_SMALLICON);
    EXPECT_NE(icon, nullptr);
    if (icon) ::DestroyIcon(icon);
    EXPECT_EQ(GetFileIcon(dir + u"missing.txt", SHGFI_SMALLICON), nullptr);

    ::SetFileAttributesW(WStr(dir + u"h.txt"), FILE_ATTRIBUTE_NORMAL);
    for (const char16_t* name : {u"a.txt", u"b.txt", u"h.txt"}) ::DeleteFileW(WStr(dir + name));
    ::RemoveDirectoryW(WStr(dir + u"sub"));
    ::RemoveDirectoryW(WStr(dir));
}

// ---------------------------------------------------------------------------
// Published properties through the registry

class AcUtilsProps : public ::testing::Test {
protected:
    void SetUp() override {
        TypInfoInitialization();
        Panel = New<TPanel>(nullptr);
        Dialog = New<TOpenDialog>(nullptr);
    }
    void TearDown() override {
        Panel->Free();
        Dialog->Free();
    }
    TPanel* Panel = nullptr;
    TOpenDialog* Dialog = nullptr;
};

TEST_F(AcUtilsProps, OrdinalsByName) {
    Panel->SetBounds(4, 5, 60, 70);
    Panel->Tag = 99;
    EXPECT_TRUE(HasPublishedProp(Panel, u"Width"));
    EXPECT_TRUE(HasPublishedProp(Panel, u"width"));   // names ignore case
    EXPECT_TRUE(HasPublishedProp(Panel, u"Tag"));     // from a base class
    EXPECT_FALSE(HasPublishedProp(Panel, u"Options"));
    EXPECT_FALSE(HasPublishedProp(nullptr, u"Width"));

    EXPECT_EQ(GetOrdPropByName(Panel, u"Left"), 4);
    EXPECT_EQ(GetOrdPropByName(Panel, u"Height"), 70);
    EXPECT_EQ(GetOrdPropByName(Panel, u"Tag"), 99);
    EXPECT_EQ(GetOrdPropByName(Panel, u"Visible"), 1);
    EXPECT_EQ(GetOrdPropByName(Panel, u"Nope"), -1);
    EXPECT_EQ(GetOrdPropByName(Panel, u"Font"), -1);   // an object is no ordinal

    SetOrdPropByName(Panel, u"Left", 17);
    SetOrdPropByName(Panel, u"Align", static_cast<Integer>(TAlign::alClient));
    SetOrdPropByName(Panel, u"Enabled", 0);
    SetOrdPropByName(Panel, u"Nope", 5);   // ignored
    EXPECT_EQ(Panel->Left(), 17);
    EXPECT_EQ(Panel->Align(), TAlign::alClient);
    EXPECT_FALSE(Panel->Enabled());

    // An object of an unregistered class has no published properties.
    TStringList list;
    EXPECT_FALSE(HasPublishedProp(&list, u"Tag"));
    EXPECT_EQ(GetOrdPropByName(&list, u"Tag"), -1);
}

TEST_F(AcUtilsProps, ObjectsAndSetElementsByName) {
    EXPECT_EQ(GetObjPropByName(Panel, u"Font"), Panel->Font());
    EXPECT_EQ(GetObjPropByName(Panel, u"Width"), nullptr);
    EXPECT_EQ(GetObjPropByName(Panel, u"Nope"), nullptr);

    TObject* font = GetObjPropByName(Panel, u"Font");
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(PropSetContains(font, u"Style", u"fsBold"));
    ChangeSetProp(font, u"Style", u"fsBold", true);
    ChangeSetProp(font, u"Style", u"fsUnderline", true);
    EXPECT_EQ(Panel->Font()->Style(), (TFontStyles{fsBold, fsUnderline}));
    EXPECT_TRUE(PropSetContains(font, u"Style", u"fsUnderline"));
    ChangeSetProp(font, u"Style", u"fsBold", false);
    EXPECT_EQ(Panel->Font()->Style(), TFontStyles{fsUnderline});
    ChangeSetProp(font, u"Style", u"fsNothing", true);   // unknown element: nothing changes
    EXPECT_EQ(Panel->Font()->Style(), TFontStyles{fsUnderline});
    EXPECT_FALSE(PropSetContains(font, u"Style", u"fsNothing"));
    EXPECT_FALSE(PropSetContains(font, u"Color", u"fsBold"));   // not a set
    EXPECT_FALSE(PropSetContains(Panel, u"Nope", u"fsBold"));

    EXPECT_TRUE(PropSetContains(Dialog, u"Options", u"ofEnableSizing"));
    ChangeSetProp(Dialog, u"Options", u"ofForceShowHidden", true);
    ChangeSetProp(Dialog, u"Options", u"ofEnableSizing", false);
    EXPECT_TRUE(Dialog->Options().Contains(ofForceShowHidden));
    EXPECT_FALSE(Dialog->Options().Contains(ofEnableSizing));
    EXPECT_TRUE(Dialog->Options().Contains(ofHideReadOnly));
}
