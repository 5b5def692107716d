// Thin, portable access to operating-system files. Each platform has its own
// implementation file (FileIO_win32.cpp, FileIO_posix.cpp).
#pragma once

#include <cstdint>

#include "System.h"

namespace fileio {

using Handle = std::intptr_t;
constexpr Handle InvalidHandle = -1;

enum class Access { Read, Write, ReadWrite };
enum class Disposition { OpenExisting, CreateAlways };
enum class Origin { Begin, Current, End };

// Opens a file; on failure returns InvalidHandle and sets error to the
// system's error code.
Handle Open(const String& name, Access access, Disposition disposition, int& error);
void Close(Handle h);
// Number of bytes transferred, or -1 on failure.
std::int32_t Read(Handle h, void* buffer, std::int32_t count);
std::int32_t Write(Handle h, const void* buffer, std::int32_t count);
// New position, or -1 on failure.
std::int64_t Seek(Handle h, std::int64_t offset, Origin origin);
bool Truncate(Handle h);   // cuts the file at the current position

bool FileExists(const String& name);
bool DirectoryExists(const String& name);
bool DeleteFile(const String& name);

int LastError();
// The system's text for an error code, without a trailing line break.
String ErrorText(int code);

}  // namespace fileio
