#include "WinApi.h"

#include "FileIO.h"

namespace fileio {

static const wchar_t* W(const String& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

Handle Open(const String& name, Access access, Disposition disposition, int& error) {
    DWORD desired = access == Access::Read ? GENERIC_READ : access == Access::Write ? GENERIC_WRITE
                                                                                     : GENERIC_READ | GENERIC_WRITE;
    DWORD share = access == Access::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    DWORD create = disposition == Disposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
    if (name.find(u'\0') != String::npos) {
        error = ERROR_FILE_NOT_FOUND;
        return InvalidHandle;
    }
    HANDLE h = ::CreateFileW(W(name), desired, share, nullptr, create, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return InvalidHandle;
    }
    error = 0;
    return reinterpret_cast<Handle>(h);
}

void Close(Handle h) {
    if (h != InvalidHandle) ::CloseHandle(reinterpret_cast<HANDLE>(h));
}

std::int32_t Read(Handle h, void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD done = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(h), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return static_cast<std::int32_t>(done);
}

std::int32_t Write(Handle h, const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    DWORD done = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(h), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
    return static_cast<std::int32_t>(done);
}

std::int64_t Seek(Handle h, std::int64_t offset, Origin origin) {
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    DWORD method = origin == Origin::Begin ? FILE_BEGIN : origin == Origin::Current ? FILE_CURRENT : FILE_END;
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(h), distance, &result, method)) return -1;
    return result.QuadPart;
}

bool Truncate(Handle h) { return ::SetEndOfFile(reinterpret_cast<HANDLE>(h)) != 0; }

bool FileExists(const String& name) {
    DWORD a = ::GetFileAttributesW(W(name));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const String& name) {
    DWORD a = ::GetFileAttributesW(W(name));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const String& name) { return ::DeleteFileW(W(name)) != 0; }

int LastError() { return static_cast<int>(::GetLastError()); }

String ErrorText(int code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    String text;
    if (n && buffer) text.assign(reinterpret_cast<const Char*>(buffer), n);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' || text.back() == u'.'))
        text.pop_back();
    if (text.empty()) text = u"System error " + AsciiToString(std::to_string(code));
    return text;
}

}  // namespace fileio
