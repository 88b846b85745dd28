#include "Dysk.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#ifdef _WIN32
#include "WindowsApi.h"
#else
#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Reads with read(buffer, n) -> bytes read (0 at the end, -1 on failure)
// until the end or until more than maxSize bytes have come.
template <typename ReadFn>
FileRead ReadUpTo(std::size_t maxSize, std::uint64_t sizeHint, std::string& out, ReadFn read) {
    const std::size_t limit = maxSize == std::numeric_limits<std::size_t>::max() ? maxSize : maxSize + 1;
    out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint, maxSize)));
    char buf[kChunk];
    while (out.size() < limit) {
        const long long n = read(buf, std::min(kChunk, limit - out.size()));
        if (n < 0) return FileRead::Unreadable;
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out.size() > maxSize ? FileRead::Unreadable : FileRead::Ok;
}

}  // namespace

#ifdef _WIN32

std::wstring WidePath(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return {};
    const int len = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), len, wide.data(), n);
    return wide;
}

std::string Utf8Path(const std::wstring& wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return {};
    const int len = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

namespace {

bool NotThere(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return true;
    default:
        return false;
    }
}

FileRead ReadOpened(HANDLE h, std::size_t maxSize, std::string& out) {
    // Only files on a disk: a console, pipe or serial port could block or
    // never end.
    if (GetFileType(h) != FILE_TYPE_DISK) return FileRead::Unreadable;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileRead::Unreadable;
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > maxSize) return FileRead::Unreadable;
    return ReadUpTo(maxSize, size, out, [h](char* buf, std::size_t n) -> long long {
        DWORD got = 0;
        if (!ReadFile(h, buf, static_cast<DWORD>(n), &got, nullptr)) return -1;
        return got;
    });
}

// Where a symbolic link or junction leads; empty when it cannot be followed.
std::wstring FinalPath(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
    if (n >= out.size()) {
        out.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
    }
    CloseHandle(h);
    if (n == 0 || n >= out.size()) return {};
    out.resize(n);
    return out;
}

bool WriteAll(HANDLE h, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& out) {
    out.clear();
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return FileRead::Missing;
    // A folder cannot be opened this way (access denied): it reads as unreadable.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return NotThere(GetLastError()) ? FileRead::Missing : FileRead::Unreadable;
    const FileRead result = ReadOpened(h, maxSize, out);
    CloseHandle(h);
    if (result != FileRead::Ok) out.clear();
    return result;
}

bool ReplaceWholeFile(const std::string& path, const std::string& data) {
    std::wstring target = WidePath(path);
    if (target.empty()) return false;

    DWORD attrs = GetFileAttributesW(target.c_str());
    const bool existed = attrs != INVALID_FILE_ATTRIBUTES;
    if (!existed && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    if (existed && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A link is followed, so the file it points to is replaced and the link stays.
        target = FinalPath(target);
        if (target.empty()) return false;
        attrs = GetFileAttributesW(target.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES) return false;
    }
    // Read-only means "leave this file as it is" to a Windows user.
    if (existed && (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)))
        return false;

    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 100 && h == INVALID_HANDLE_VALUE; ++i) {
        tmp = target + L".tmp" + (i ? std::to_wstring(i) : std::wstring());
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return false;
        }
    }
    if (h == INVALID_HANDLE_VALUE) return false;

    bool ok = WriteAll(h, data);
    ok = ok && FlushFileBuffers(h) != 0;
    ok = CloseHandle(h) != 0 && ok;
    const DWORD keep = existed ? attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    if (ok && keep) ok = SetFileAttributesW(tmp.c_str(), keep) != 0;
    ok = ok && MoveFileExW(tmp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        if (keep) SetFileAttributesW(tmp.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(tmp.c_str());
    }
    return ok;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    const std::wstring wide = WidePath(path);
    const std::wstring wmode = WidePath(mode ? mode : "");
    if (wide.empty() || wmode.empty()) return nullptr;
    return _wfopen(wide.c_str(), wmode.c_str());
}

#else  // POSIX

namespace {

bool WriteAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& out) {
    out.clear();
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    struct stat st {};
    FileRead result = FileRead::Unreadable;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) <= maxSize) {
        result = ReadUpTo(maxSize, static_cast<std::uint64_t>(st.st_size), out,
                          [fd](char* buf, std::size_t n) -> long long {
                              for (;;) {
                                  const ssize_t r = ::read(fd, buf, n);
                                  if (r >= 0 || errno != EINTR) return r;
                              }
                          });
    }
    ::close(fd);
    if (result != FileRead::Ok) out.clear();
    return result;
}

bool ReplaceWholeFile(const std::string& path, const std::string& data) {
    if (path.empty()) return false;
    namespace fs = std::filesystem;
    std::error_code ec;

    // A link is followed, so the file it points to is replaced and the link stays.
    std::string target = path;
    if (fs::is_symlink(fs::path(path), ec)) {
        fs::path real = fs::weakly_canonical(fs::path(path), ec);
        if (!ec) target = real.string();
    }

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;  // a folder, FIFO or device stays

    std::string tmp;
    int fd = -1;
    for (int i = 0; i < 100 && fd < 0; ++i) {
        tmp = target + ".tmp" + (i ? std::to_string(i) : std::string());
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAll(fd, data);
    if (ok && existed) (void)::fchmod(fd, old.st_mode & 07777);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const std::string dir = fs::path(target).parent_path().string();
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

#endif
