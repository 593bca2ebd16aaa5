#include "Platform/Files/Files.h"

#include "Platform/SysUtils/SysUtils.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string Quoted(std::string_view path)
{
    std::string s;
    s.reserve(path.size() + 2);
    s += '\'';
    s += path;
    s += '\'';
    return s;
}

[[noreturn]] void RaiseOS(const std::string& what, int err)
{
    throw EOSError(what + ": " + std::strerror(err), static_cast<std::uint32_t>(err));
}

std::size_t NameStart(std::string_view path)
{
    const std::size_t slash = path.rfind(PathDelim);
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Position of the extension's dot in the file name part, or npos.
std::size_t ExtStart(std::string_view path)
{
    const std::size_t name = NameStart(path);
    const std::size_t dot = path.rfind('.');
    return dot == std::string_view::npos || dot < name ? std::string_view::npos : dot;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t w = ::write(fd, data, size);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    // Closes now and reports the close error.
    int Close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// Copies source to dest through a temporary file beside dest. Answers 0 or
// an errno value; failedPath names the file the failure concerns.
int CopyFileImpl(const std::string& source, const std::string& dest, bool failIfExists, std::string& failedPath)
{
    failedPath = source;
    TFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) return errno;
    struct stat st {};
    if (::fstat(in.Get(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;

    failedPath = dest;
    struct stat dst {};
    if (failIfExists && ::lstat(dest.c_str(), &dst) == 0) return EEXIST;

    std::string tmpl = ExtractFilePath(dest) + ".~" + ExtractFileName(dest) + ".XXXXXX";
    TFd out(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (out.Get() < 0) return errno;
    const std::string& tmp = tmpl;

    int err = 0;
    std::vector<char> buffer(1 << 18);
    for (;;) {
        const ssize_t r = ::read(in.Get(), buffer.data(), buffer.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            err = errno;
            failedPath = source;
            break;
        }
        if (r == 0) break;
        if (!WriteAll(out.Get(), buffer.data(), static_cast<std::size_t>(r))) {
            err = errno;
            break;
        }
    }
    if (err == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::fchmod(out.Get(), st.st_mode & 07777) != 0 || ::futimens(out.Get(), times) != 0 ||
            ::fsync(out.Get()) != 0)
            err = errno;
    }
    if (out.Close() != 0 && err == 0) err = errno;
    if (err == 0) {
        if (failIfExists) {
            // link() refuses an existing name atomically.
            if (::link(tmp.c_str(), dest.c_str()) != 0) err = errno;
        } else if (::rename(tmp.c_str(), dest.c_str()) != 0) {
            err = errno;
        }
    }
    if (err != 0 || failIfExists) ::unlink(tmp.c_str());
    return err;
}

bool StatFile(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0;
}

TDateTime LocalDateTime(const struct timespec& ts)
{
    const time_t seconds = ts.tv_sec;
    struct tm local {};
    if (::localtime_r(&seconds, &local) == nullptr) throw EConvertError("Invalid file time");
    TDateParts parts;
    parts.Year = local.tm_year + 1900;
    parts.Month = local.tm_mon + 1;
    parts.Day = local.tm_mday;
    parts.Hour = local.tm_hour;
    parts.Minute = local.tm_min;
    parts.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    parts.MSec = static_cast<int>(ts.tv_nsec / 1000000);
    return EncodeDateTime(parts);
}

std::string HexName(std::string_view prefix)
{
    thread_local std::mt19937_64 generator([] {
        std::random_device device;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(now) ^
               static_cast<std::uint64_t>(::getpid());
    }());
    static const char digits[] = "0123456789ABCDEF";
    std::uint32_t value = static_cast<std::uint32_t>(generator());
    std::string name(prefix);
    char hex[8];
    for (int i = 7; i >= 0; --i) {
        hex[i] = digits[value & 0xF];
        value >>= 4;
    }
    name.append(hex, 8);
    name += ".tmp";
    return name;
}

} // namespace

std::string IncludeTrailingPathDelimiter(std::string_view path)
{
    std::string s(path);
    if (!s.empty() && s.back() != PathDelim) s += PathDelim;
    return s;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path)
{
    std::string s(path);
    if (s.size() > 1 && s.back() == PathDelim) s.pop_back();
    return s;
}

std::string ExtractFilePath(std::string_view path)
{
    return std::string(path.substr(0, NameStart(path)));
}

std::string ExtractFileDir(std::string_view path)
{
    return ExcludeTrailingPathDelimiter(path.substr(0, NameStart(path)));
}

std::string ExtractFileName(std::string_view path)
{
    return std::string(path.substr(NameStart(path)));
}

std::string ExtractFileExt(std::string_view path)
{
    const std::size_t dot = ExtStart(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension)
{
    const std::size_t dot = ExtStart(path);
    std::string s(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
    s += extension;
    return s;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return StatFile(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return StatFile(path, st) && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) noexcept
{
    return ::unlink(path.c_str()) == 0;
}

void DeleteFileOrThrow(const std::string& path)
{
    if (!DeleteFile(path)) RaiseOS("Cannot delete file " + Quoted(path), errno);
}

bool RenameFile(const std::string& oldPath, const std::string& newPath) noexcept
{
    return ::rename(oldPath.c_str(), newPath.c_str()) == 0;
}

void RenameFileOrThrow(const std::string& oldPath, const std::string& newPath)
{
    if (!RenameFile(oldPath, newPath))
        RaiseOS("Cannot rename file " + Quoted(oldPath) + " to " + Quoted(newPath), errno);
}

bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists) noexcept
{
    try {
        std::string failed;
        const int err = CopyFileImpl(source, dest, failIfExists, failed);
        errno = err;
        return err == 0;
    } catch (...) {
        errno = ENOMEM;
        return false;
    }
}

void CopyFileOrThrow(const std::string& source, const std::string& dest, bool failIfExists)
{
    std::string failed;
    const int err = CopyFileImpl(source, dest, failIfExists, failed);
    if (err != 0) {
        std::string what = "Cannot copy file " + Quoted(source) + " to " + Quoted(dest);
        if (err == EEXIST && failed == dest)
            what += " (the destination exists)";
        else
            what += " (" + Quoted(failed) + ")";
        RaiseOS(what, err);
    }
}

std::int64_t FileSize(const std::string& path)
{
    struct stat st {};
    if (!StatFile(path, st)) RaiseOS("Cannot get the size of file " + Quoted(path), errno);
    if (S_ISDIR(st.st_mode)) RaiseOS("Cannot get the size of file " + Quoted(path), EISDIR);
    return static_cast<std::int64_t>(st.st_size);
}

bool FileAge(const std::string& path, TDateTime& dateTime)
{
    struct stat st {};
    if (!StatFile(path, st) || S_ISDIR(st.st_mode)) return false;
    dateTime = LocalDateTime(st.st_mtim);
    return true;
}

TDateTime FileGetDate(const std::string& path)
{
    struct stat st {};
    if (!StatFile(path, st)) RaiseOS("Cannot get the time of file " + Quoted(path), errno);
    return LocalDateTime(st.st_mtim);
}

bool FileSetDate(const std::string& path, TDateTime dateTime) noexcept
{
    TDateParts parts;
    try {
        parts = DecodeDateTime(dateTime);
    } catch (...) {
        errno = EINVAL;
        return false;
    }
    struct tm local {};
    local.tm_year = parts.Year - 1900;
    local.tm_mon = parts.Month - 1;
    local.tm_mday = parts.Day;
    local.tm_hour = parts.Hour;
    local.tm_min = parts.Minute;
    local.tm_sec = parts.Second;
    local.tm_isdst = -1;
    errno = 0;
    const time_t seconds = ::mktime(&local);
    if (seconds == static_cast<time_t>(-1) && errno != 0) return false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = seconds;
    times[1].tv_nsec = static_cast<long>(parts.MSec) * 1000000L;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

void FileSetDateOrThrow(const std::string& path, TDateTime dateTime)
{
    if (!FileSetDate(path, dateTime)) RaiseOS("Cannot set the time of file " + Quoted(path), errno);
}

std::string CreateTempFile(const std::string& folder, std::string_view prefix)
{
    if (prefix.find(PathDelim) != std::string_view::npos || prefix.find('\0') != std::string_view::npos)
        throw EArgumentException("Invalid temporary file prefix '" + std::string(prefix) + "'");
    const std::string dir = IncludeTrailingPathDelimiter(folder);
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        std::string path = dir + HexName(prefix);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        err = errno;
    }
    RaiseOS("Cannot create a temporary file in " + Quoted(folder.empty() ? "." : folder), err);
}

// --- TTempFile ---

TTempFile::TTempFile(const std::string& folder, std::string_view prefix) : path_(CreateTempFile(folder, prefix)) {}

TTempFile TTempFile::Adopt(std::string path)
{
    TTempFile file;
    file.path_ = std::move(path);
    return file;
}

TTempFile::~TTempFile()
{
    Remove();
}

TTempFile::TTempFile(TTempFile&& other) noexcept : path_(std::exchange(other.path_, std::string())) {}

TTempFile& TTempFile::operator=(TTempFile&& other) noexcept
{
    if (this != &other) {
        Remove();
        path_ = std::exchange(other.path_, std::string());
    }
    return *this;
}

std::string TTempFile::Release() noexcept
{
    return std::exchange(path_, std::string());
}

void TTempFile::Remove() noexcept
{
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}
