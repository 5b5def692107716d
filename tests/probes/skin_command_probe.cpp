// A second process for the tests of the skin command message: it sends or
// posts one skin command to a window of another process, as any program on
// the desktop can.
//
//   kes_skin_command_probe HWND send|post COMMAND LPARAM
//
// HWND and LPARAM in hexadecimal, COMMAND in decimal. Exit code: 0 when a
// send was answered with 0 or a post went, 1 when a send was answered with
// anything else, 2 when the send timed out or the post failed, 3 for bad
// arguments.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 5) return 3;
    char* end = nullptr;
    const auto wnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[1], &end, 16)));
    if (*end != 0 || !::IsWindow(wnd)) return 3;
    const bool post = std::strcmp(argv[2], "post") == 0;
    if (!post && std::strcmp(argv[2], "send") != 0) return 3;
    const unsigned long command = std::strtoul(argv[3], &end, 10);
    if (*end != 0 || command > 0xFFFF) return 3;
    const auto lParam = static_cast<LPARAM>(std::strtoull(argv[4], &end, 16));
    if (*end != 0) return 3;

    const UINT message = 0xA100;   // the skin command message
    const WPARAM wParam = static_cast<WPARAM>(command << 16);
    if (post) return ::PostMessageW(wnd, message, wParam, lParam) ? 0 : 2;
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(wnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer)) return 2;
    return answer == 0 ? 0 : 1;
}
