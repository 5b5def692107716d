#include "KestruneProgram.h"

#include <gtest/gtest.h>

#include <random>
#include <system_error>

#include "GuiHarness.h"

namespace harness {

namespace fs = std::filesystem;

fs::path KestruneBuildFolder() { return fs::path(ModuleFolder()) / L".." / L"app"; }

std::wstring BuiltKestrune() { return ModuleFolder() + L"..\\app\\Kestrune.exe"; }

void KestruneFolder::Create(const std::wstring& tag) {
    Remove();
    std::random_device r;
    FPath = fs::temp_directory_path() / (L"kestrune-e2e-" + tag + L"-" + std::to_wstring(r()));
    fs::create_directories(FPath);
    fs::copy_file(KestruneBuildFolder() / L"Kestrune.exe", Exe());
}

void KestruneFolder::Remove() {
    if (FPath.empty()) return;
    std::error_code ec;
    fs::remove_all(FPath, ec);
    FPath.clear();
}

void StartKestrune(ChildProcess& program, const std::wstring& exe, int timeoutMs, HWND& form) {
    form = nullptr;
    ASSERT_NE(::GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES)
        << "Kestrune.exe is not built: " << exe;
    const bool started = program.Start(exe);
    const DWORD error = ::GetLastError();
    ASSERT_TRUE(started) << "CreateProcessW failed with error " << error;
    form = program.WaitForWindow(L"TForm1", timeoutMs);
    ASSERT_NE(form, nullptr) << (program.Running() ? "no visible TForm1 window appeared"
                                                   : "Kestrune ended during start-up");
}

HWND SkinBoxOf(HWND form) { return AtLeft(FindDescendants(form, L"TsComboBox"), 670); }

HWND AddressBoxOf(HWND form) { return AtLeft(FindDescendants(form, L"TsComboBox"), 8); }

bool ChooseSkin(HWND skinBox, const std::wstring& name, int timeoutMs) {
    const LRESULT index =
        ::SendMessageW(skinBox, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    return index >= 0 && ChooseSkinAt(skinBox, static_cast<int>(index), timeoutMs);
}

bool ChooseSkinAt(HWND skinBox, int index, int timeoutMs) {
    ::SendMessageW(skinBox, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(::GetParent(skinBox), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(skinBox), CBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(skinBox), SMTO_NORMAL, static_cast<UINT>(timeoutMs),
                                 &result) != 0;
}

void TypeAddress(HWND form, HWND addressEdit, HWND addressBox, const std::wstring& address, int timeoutMs) {
    ASSERT_TRUE(ClickAt(CentreOf(addressEdit)));
    ASSERT_TRUE(PumpUntil(
        [&] {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            return ::GetGUIThreadInfo(::GetWindowThreadProcessId(form, nullptr), &info) &&
                   info.hwndFocus == addressEdit;
        },
        timeoutMs));
    ASSERT_TRUE(TypeUnicode(address));
    ASSERT_TRUE(PumpUntil([&] { return TextOf(addressBox) == address; }, timeoutMs));
}

void ActivateAgain(HWND form, int timeoutMs) {
    HWND other = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                                   nullptr, nullptr, nullptr);
    bool away = false;
    for (int attempt = 0; attempt < 5 && !away; ++attempt) {
        ::SetForegroundWindow(other);
        away = PumpUntil([&] { return ::GetForegroundWindow() == other; }, timeoutMs);
        // Held for 200 ms: the predicate turns true only if the foreground
        // goes back within that time.
        if (away) away = !PumpUntil([&] { return ::GetForegroundWindow() != other; }, 200);
    }
    EXPECT_TRUE(away) << "the program's window was never deactivated";
    ::SetForegroundWindow(form);
    EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == form; }, timeoutMs))
        << "the program's window was not activated again";
    ::DestroyWindow(other);
}

void CloseKestrune(ChildProcess& program, HWND form, int timeoutMs) {
    if (form && ::IsWindow(form) && ::PostMessageW(form, WM_CLOSE, 0, 0)) {
        DWORD exitCode = 0;
        program.WaitForExit(timeoutMs, exitCode);
    }
    program.Kill();
}

}  // namespace harness
