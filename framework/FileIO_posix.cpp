#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileIO.h"

namespace fileio {

Handle Open(const String& name, Access access, Disposition disposition, int& error) {
    int flags = access == Access::Read ? O_RDONLY : access == Access::Write ? O_WRONLY : O_RDWR;
    if (disposition == Disposition::CreateAlways) flags |= O_CREAT | O_TRUNC;
    std::string path = StringToUtf8(name);
    if (path.find('\0') != std::string::npos) {
        error = ENOENT;
        return InvalidHandle;
    }
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        return InvalidHandle;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = EISDIR;
        return InvalidHandle;
    }
    error = 0;
    return fd;
}

void Close(Handle h) {
    if (h != InvalidHandle) ::close(static_cast<int>(h));
}

std::int32_t Read(Handle h, void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    std::int32_t done = 0;
    while (done < count) {
        ssize_t r = ::read(static_cast<int>(h), static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        if (r == 0) break;
        done += static_cast<std::int32_t>(r);
    }
    return done;
}

std::int32_t Write(Handle h, const void* buffer, std::int32_t count) {
    if (count <= 0) return 0;
    std::int32_t done = 0;
    while (done < count) {
        ssize_t r = ::write(static_cast<int>(h), static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        done += static_cast<std::int32_t>(r);
    }
    return done;
}

std::int64_t Seek(Handle h, std::int64_t offset, Origin origin) {
    int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(static_cast<int>(h), static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

bool Truncate(Handle h) {
    off_t pos = ::lseek(static_cast<int>(h), 0, SEEK_CUR);
    return pos >= 0 && ::ftruncate(static_cast<int>(h), pos) == 0;
}

bool FileExists(const String& name) {
    struct stat st;
    return ::stat(StringToUtf8(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& name) {
    struct stat st;
    return ::stat(StringToUtf8(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const String& name) { return ::unlink(StringToUtf8(name).c_str()) == 0; }

int LastError() { return errno; }

String ErrorText(int code) { return Utf8ToString(std::strerror(code)); }

}  // namespace fileio
