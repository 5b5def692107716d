#include "ProcessDriver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "GuiHarness.h"

namespace harness {

namespace {

// Memory in another process, released with the object.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, std::size_t bytes)
        : FProcess(process),
          FAddress(::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (FAddress) ::VirtualFreeEx(FProcess, FAddress, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    void* Address() const { return FAddress; }

private:
    HANDLE FProcess;
    void* FAddress;
};

bool Send(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR& result, int timeoutMs = 5000) {
    return ::SendMessageTimeoutW(wnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs),
                                 &result) != 0;
}

struct TopWindowSearch {
    DWORD Pid;
    const wchar_t* Class;
    HWND Found;
};

BOOL CALLBACK VisitTopWindow(HWND wnd, LPARAM param) {
    auto* s = reinterpret_cast<TopWindowSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != s->Pid || !::IsWindowVisible(wnd) || ClassNameOf(wnd) != s->Class) return TRUE;
    s->Found = wnd;
    return FALSE;
}

struct DescendantSearch {
    const wchar_t* Class;
    std::vector<HWND> Found;
};

BOOL CALLBACK VisitDescendant(HWND wnd, LPARAM param) {
    auto* s = reinterpret_cast<DescendantSearch*>(param);
    if (ClassNameOf(wnd) == s->Class) s->Found.push_back(wnd);
    return TRUE;
}

// Screen coordinates to the 0..65535 range of absolute mouse input.
LONG Normalized(LONG v, int extent) {
    if (extent <= 1) return 0;
    return static_cast<LONG>((static_cast<long long>(v) * 65535 + (extent - 1) / 2) / (extent - 1));
}

}  // namespace

std::wstring ModuleFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::wstring& exePath, const std::wstring& arguments) {
    if (Started()) return false;
    wchar_t full[MAX_PATH * 2];
    wchar_t* namePart = nullptr;
    const DWORD n = ::GetFullPathNameW(exePath.c_str(), MAX_PATH * 2, full, &namePart);
    if (n == 0 || n >= MAX_PATH * 2 || !namePart) return false;
    const std::wstring exe(full);
    const std::wstring folder(full, namePart);
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &si, &FInfo) != 0;
}

bool ChildProcess::Running() const {
    return Started() && ::WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(int timeoutMs, DWORD& exitCode) const {
    if (!Started() || ::WaitForSingleObject(FInfo.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    return ::GetExitCodeProcess(FInfo.hProcess, &exitCode) != 0;
}

void ChildProcess::Kill() {
    if (!Started()) return;
    if (Running()) {
        ::TerminateProcess(FInfo.hProcess, 0xDEAD);
        ::WaitForSingleObject(FInfo.hProcess, 10000);
    }
    ::CloseHandle(FInfo.hThread);
    ::CloseHandle(FInfo.hProcess);
    FInfo = {};
}

HWND ChildProcess::WaitForWindow(const wchar_t* className, int timeoutMs) const {
    HWND found = nullptr;
    PumpUntil(
        [&] {
            found = VisibleTopWindowOf(FInfo.dwProcessId, className);
            return found != nullptr || !Running();
        },
        timeoutMs);
    return found;
}

HWND VisibleTopWindowOf(DWORD processId, const wchar_t* className) {
    TopWindowSearch search = {processId, className, nullptr};
    ::EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::wstring ClassNameOf(HWND wnd) {
    wchar_t name[256];
    const int n = ::GetClassNameW(wnd, name, 256);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring TextOf(HWND wnd, int timeoutMs) {
    DWORD_PTR length = 0;
    if (!Send(wnd, WM_GETTEXTLENGTH, 0, 0, length, timeoutMs)) return {};
    // Room to spare: the text may grow between the two messages.
    std::wstring text(length + 4096, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied, timeoutMs)) return {};
    text.resize(std::min<std::size_t>(copied, text.size() - 1));
    return text;
}

std::vector<HWND> FindDescendants(HWND root, const wchar_t* className) {
    DescendantSearch search = {className, {}};
    ::EnumChildWindows(root, VisitDescendant, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

RECT BoundsInParent(HWND wnd) {
    RECT r = {};
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND AtLeft(const std::vector<HWND>& windows, int left) {
    for (HWND w : windows)
        if (BoundsInParent(w).left == left) return w;
    return nullptr;
}

HWND WithCaption(const std::vector<HWND>& windows, const std::wstring& caption) {
    for (HWND w : windows)
        if (TextOf(w) == caption) return w;
    return nullptr;
}

POINT CentreOf(HWND wnd) {
    RECT r = {};
    ::GetWindowRect(wnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool ReadStatusBarText(HANDLE process, HWND statusBar, std::wstring& text) {
    // In simple mode the bar answers for part 0 with its simple text; some
    // versions answer only for the simple part's own index.
    for (const WPARAM part : {WPARAM(0), WPARAM(SB_SIMPLEID)}) {
        DWORD_PTR answer = 0;
        if (!Send(statusBar, SB_GETTEXTLENGTHW, part, 0, answer)) return false;
        const std::size_t length = LOWORD(answer);
        if (length == 0) continue;
        // SB_GETTEXTW takes no buffer size: leave room for a text that grows
        // between the two messages.
        const std::size_t chars = length + 1 + 4096;
        RemoteBuffer remote(process, chars * sizeof(wchar_t));
        if (!remote.Address()) return false;
        if (!Send(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote.Address()), answer)) return false;
        std::vector<wchar_t> local(chars, L'\0');
        SIZE_T read = 0;
        if (!::ReadProcessMemory(process, remote.Address(), local.data(), chars * sizeof(wchar_t), &read))
            return false;
        local.back() = L'\0';
        text.assign(local.data());
        return true;
    }
    text.clear();
    return true;
}

bool MoveMouseTo(POINT screenPoint, int timeoutMs) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = Normalized(screenPoint.x, ::GetSystemMetrics(SM_CXSCREEN));
    move.mi.dy = Normalized(screenPoint.y, ::GetSystemMetrics(SM_CYSCREEN));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (::SendInput(1, &move, sizeof(INPUT)) != 1) return false;
    // The scaling to and from the absolute range may round by a pixel.
    return PumpUntil(
        [&] {
            POINT at = {};
            return ::GetCursorPos(&at) && std::abs(at.x - screenPoint.x) <= 1 && std::abs(at.y - screenPoint.y) <= 1;
        },
        timeoutMs);
}

bool LeftButton(bool down) {
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    return ::SendInput(1, &press, sizeof(INPUT)) == 1;
}

bool ClickAt(POINT screenPoint, int timeoutMs) {
    if (!MoveMouseTo(screenPoint, timeoutMs)) return false;
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return ::SendInput(2, press, sizeof(INPUT)) == 2;
}

bool TypeUnicode(const std::wstring& text) {
    std::vector<INPUT> keys;
    keys.reserve(text.size() * 2);
    for (const wchar_t ch : text) {
        INPUT key = {};
        key.type = INPUT_KEYBOARD;
        key.ki.wScan = ch;
        key.ki.dwFlags = KEYEVENTF_UNICODE;
        keys.push_back(key);
        key.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        keys.push_back(key);
    }
    return ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

INPUT MouseInput(DWORD flags) {
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dwFlags = flags;
    return i;
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return i;
}

bool SendInputs(std::initializer_list<INPUT> inputs) {
    std::vector<INPUT> list(inputs);
    return ::SendInput(static_cast<UINT>(list.size()), list.data(), sizeof(INPUT)) == list.size();
}

bool TapKey(WORD vk, int pauseMs) {
    const bool sent = SendInputs({KeyInput(vk, false), KeyInput(vk, true)});
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    return sent;
}

void RunInputThread(const std::function<void()>& input) {
    std::atomic<bool> done{false};
    std::thread driver([&] {
        input();
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 20000);
    driver.join();
    PumpUntilIdle(50, 2000);
}

}  // namespace harness
