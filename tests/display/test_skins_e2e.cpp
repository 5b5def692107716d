// Kestrune's skin box end to end: the real program in its own process, with a
// copy of its skins and a deliberately broken one, driven through the skin
// box the way its notifications arrive from a user's choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "GuiHarness.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"
#include "TestBytes.h"

namespace fs = std::filesystem;

namespace {

using harness::PumpUntil;
using harness::TextOf;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 20000;

// The top-level dialog windows ("#32770") of a process.
struct DialogSearch {
    DWORD Pid;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectDialogs(HWND wnd, LPARAM lParam) {
    auto* s = reinterpret_cast<DialogSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid == s->Pid && ::IsWindowVisible(wnd) && harness::ClassNameOf(wnd) == L"#32770") s->Found.push_back(wnd);
    return TRUE;
}

std::vector<HWND> DialogsOf(DWORD pid) {
    DialogSearch s{pid, {}};
    ::EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

// Every window of a process (top-level windows and their descendants).
struct WindowTally {
    DWORD Pid;
    unsigned Count = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
    ++reinterpret_cast<WindowTally*>(lParam)->Count;
    return TRUE;
}

BOOL CALLBACK CountTop(HWND wnd, LPARAM lParam) {
    auto* t = reinterpret_cast<WindowTally*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != t->Pid) return TRUE;
    ++t->Count;
    ::EnumChildWindows(wnd, CountChild, lParam);
    return TRUE;
}

unsigned WindowsOf(DWORD pid) {
    WindowTally t{pid};
    ::EnumWindows(CountTop, reinterpret_cast<LPARAM>(&t));
    return t.Count;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// The texts of a message box (its static controls).
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND s : harness::FindDescendants(box, L"Static")) text += TextOf(s);
    return text;
}

class SkinBoxEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = harness::KestruneBuildFolder();
        ASSERT_TRUE(fs::exists(built / L"Kestrune.exe")) << "Kestrune.exe is not built";
        ASSERT_TRUE(fs::is_directory(built / L"Skins")) << "the program's skins are not built";
        FFolder.Create(L"skins");
        fs::copy(built / L"Skins", FFolder.Path() / L"Skins", fs::copy_options::recursive);
        fs::create_directories(FFolder.Path() / L"Skins" / L"Broken");
        std::ofstream(FFolder.Path() / L"Skins" / L"Broken" / L"Options.dat")
            << "[GLOBALINFO]\r\nVERSION=7.5\r\nSHADOW1OFFSET=no-number-7f3a\r\n[PANEL]\r\n";
        // A packed skin whose one entry, "Options.dat", holds broken compressed data.
        std::string cracked = "ASzf";
        harness::Put32(cracked, 1);
        harness::Put32(cracked, 11);
        cracked += "Options.dat";
        harness::Put32(cracked, 100);
        cracked += std::string("\x78\x9C\xFF\xFF\xFF\xFF\0\0", 8);
        std::ofstream(FFolder.Path() / L"Skins" / L"Cracked.asz", std::ios::binary) << cracked;

        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, FFolder.Exe().wstring(), kStartMs, FForm));
        FBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FBox, nullptr) << "no skin box (a TsComboBox at left 670)";
    }

    void TearDown() override {
        FProgram.Kill();
        FFolder.Remove();
    }

    std::vector<std::wstring> Items() const {
        std::vector<std::wstring> items;
        const LRESULT count = ::SendMessageW(FBox, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT len = ::SendMessageW(FBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            if (len < 0 || len > 1000) {
                items.push_back(L"<unreadable>");
                continue;
            }
            std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
            ::SendMessageW(FBox, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(len));
            items.push_back(text);
        }
        return items;
    }

    // Selects the item and sends the box's selection notice to its parent,
    // as the box does when the user picks an item. False when the program
    // did not finish with it in time (a message box it shows keeps it busy).
    bool Choose(int index) { return harness::ChooseSkinAt(FBox, index, kStepMs); }

    int IndexOf(const std::vector<std::wstring>& items, const std::wstring& name) {
        const auto it = std::find(items.begin(), items.end(), name);
        return it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }

    harness::KestruneFolder FFolder;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    HWND FBox = nullptr;
};

}  // namespace

TEST_F(SkinBoxEndToEnd, ListsItsSkinsAndSwitchesQuietly) {
    // Each skin once, whether it ships as a folder or as a packed file.
    const std::vector<std::wstring> items = Items();
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Basalt", L"Broken", L"Cracked", L"Daylight", L"Lagoon"}));

    // Every good skin switches without a message.
    for (const wchar_t* name : {L"Basalt", L"Daylight", L"Lagoon"}) {
        const int index = IndexOf(items, name);
        ASSERT_GE(index, 0);
        const bool done = Choose(index);
        const auto boxes = DialogsOf(FProgram.Id());
        EXPECT_TRUE(done && boxes.empty()) << "choosing " << std::string(name, name + std::wcslen(name))
                                          << " did not end quietly";
        for (HWND box : boxes) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

TEST_F(SkinBoxEndToEnd, ABrokenSkinIsNamedInTheProgramsBoxAndTheSkinInUseStays) {
    // A skin folder with a bad number and a packed file with broken data:
    // each error box bears the program's name and names the skin and what is
    // wrong; once it is closed with the keyboard, the skin box shows the skin
    // still in use and the main window is active again.
    const std::vector<std::wstring> items = Items();
    struct Case {
        const wchar_t* Skin;
        std::vector<std::wstring> Named;   // what the box's text names
    };
    const Case cases[] = {
        {L"Broken", {L"\"Broken\"", L"SHADOW1OFFSET", L"no-number-7f3a"}},
        {L"Cracked", {L"\"Cracked\"", L"Options.dat", L"data error"}},
    };
    for (const wchar_t* inUse : {L"", L"Lagoon"}) {
        if (*inUse) {
            ASSERT_TRUE(Choose(IndexOf(items, inUse)));
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(Narrow(std::wstring(c.Skin) + L" over \"" + inUse + L"\""));
            ::SetForegroundWindow(FForm);
            ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == FForm; }, kStepMs));
            std::atomic<bool> chosen{false};
            std::thread chooser([&] {
                harness::ChooseSkin(FBox, c.Skin, 60000);
                chosen = true;
            });
            HWND box = nullptr;
            const bool shown = PumpUntil(
                [&] {
                    const auto boxes = DialogsOf(FProgram.Id());
                    box = boxes.empty() ? nullptr : boxes.front();
                    return box != nullptr && ::GetForegroundWindow() == box;
                },
                kStepMs);
            EXPECT_TRUE(shown) << "no message box in front";
            if (box) {
                EXPECT_EQ(TextOf(box), L"Kestrune") << "the box's title";
                const std::wstring text = BoxText(box);
                for (const std::wstring& part : c.Named)
                    EXPECT_NE(text.find(part), std::wstring::npos) << "box text: " << Narrow(text);
                // Closed the way a user does it.
                if (shown) harness::RunInputThread([] { harness::TapKey(VK_RETURN, 50); });
                if (!PumpUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }, kStepMs))
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            EXPECT_TRUE(PumpUntil([&] { return chosen.load(); }, kStepMs)) << "the program stayed busy after the box";
            chooser.join();
            EXPECT_EQ(TextOf(FBox), inUse) << "the skin box shows the skin in use";
            EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == FForm; }, 3000))
                << "the main window is not active again; the foreground is " << ::GetForegroundWindow() << " ("
                << Narrow(harness::ClassNameOf(::GetForegroundWindow())) << ")";
        }
    }
    harness::CaptureWindow(FForm, harness::CaptureSource::Screen)
        .SaveBmp((harness::ModuleFolder() + L"kestrune-broken-skin.bmp").c_str());

    // A good skin still loads afterwards.
    EXPECT_TRUE(Choose(IndexOf(items, L"Daylight")));
    EXPECT_TRUE(DialogsOf(FProgram.Id()).empty());
    EXPECT_EQ(TextOf(FBox), L"Daylight");
    EXPECT_TRUE(FProgram.Running());
}

TEST_F(SkinBoxEndToEnd, TwoHundredSwitchesLeaveObjectCountsFlat) {
    const std::vector<std::wstring> items = Items();
    std::vector<int> good;
    for (const wchar_t* name : {L"Basalt", L"Daylight", L"Lagoon"}) good.push_back(IndexOf(items, name));
    ASSERT_TRUE(std::all_of(good.begin(), good.end(), [](int i) { return i >= 0; }));

    // A first round settles what the program keeps for the rest of its life.
    for (int i : good) ASSERT_TRUE(Choose(i));
    const unsigned windows = WindowsOf(FProgram.Id());
    const DWORD gdi = ::GetGuiResources(FProgram.Handle(), GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(FProgram.Handle(), GR_USEROBJECTS);
    for (int n = 0; n < 200; ++n) ASSERT_TRUE(Choose(good[static_cast<std::size_t>(n) % good.size()])) << "switch " << n;
    EXPECT_TRUE(DialogsOf(FProgram.Id()).empty());
    EXPECT_EQ(WindowsOf(FProgram.Id()), windows);
    // The system reports the counts of another process where it keeps them
    // (Wine answers 0 for both).
    if (gdi) { EXPECT_LE(::GetGuiResources(FProgram.Handle(), GR_GDIOBJECTS), gdi + 2); }
    if (user) { EXPECT_LE(::GetGuiResources(FProgram.Handle(), GR_USEROBJECTS), user + 2); }
}

TEST_F(SkinBoxEndToEnd, TheFontDialogStartsWithTheTextViewsFont) {
    // The text view's font is "MS Sans Serif" at 8 points, a face Wine's font
    // dialog does not list; the dialog shows it all the same, plain and
    // skinned.
    HWND fontButton = harness::WithCaption(harness::FindDescendants(FForm, L"TButton"), L"\u0448\u0440\u0438\u0444\u0442");
    ASSERT_NE(fontButton, nullptr) << "no font button";
    const std::vector<std::wstring> items = Items();
    for (const wchar_t* skin : {L"", L"Basalt"}) {
        SCOPED_TRACE(Narrow(skin));
        if (*skin) {
            ASSERT_TRUE(Choose(IndexOf(items, skin)));
        }
        ::PostMessageW(fontButton, BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (dialog = harness::VisibleTopWindowOf(FProgram.Id(), L"#32770")) != nullptr; },
                              kStepMs))
            << "no font dialog";
        constexpr int kFaceBox = 0x0470, kSizeBox = 0x0472;
        EXPECT_TRUE(PumpUntil([&] { return TextOf(::GetDlgItem(dialog, kFaceBox)) == L"MS Sans Serif"; }, kStepMs))
            << "face box: " << Narrow(TextOf(::GetDlgItem(dialog, kFaceBox)));
        EXPECT_EQ(TextOf(::GetDlgItem(dialog, kSizeBox)), L"8");
        harness::PumpUntilIdle(100, 2000);
        harness::CaptureWindow(dialog, harness::CaptureSource::Screen)
            .SaveBmp((harness::ModuleFolder() + L"kestrune-font-dialog" + (*skin ? L"-" : L"") + skin + L".bmp").c_str());
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }, kStepMs)) << "the dialog stayed";
    }
}

