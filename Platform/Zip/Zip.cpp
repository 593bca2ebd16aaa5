#include "Platform/Zip/Zip.h"

#include "Platform/SysUtils/SysUtils.h"

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

std::string ZipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string ZipErrorText(zip_error_t* error)
{
    return zip_error_strerror(error);
}

// Closes a descriptor and removes a temporary file unless released.
class TTempFile {
public:
    TTempFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~TTempFile()
    {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    int CloseFd()
    {
        int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }
    void Keep() { path_.clear(); }

private:
    std::string path_;
    int fd_;
};

TZipDateTime ToZipDateTime(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EWriteError("Cannot write file " + Quoted(path) + ": " + std::strerror(errno));
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::string RandomHex()
{
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(rng()));
    return buffer;
}

} // namespace

bool IsZipSignature(std::string_view head)
{
    if (head.size() < 4 || head[0] != 'P' || head[1] != 'K') return false;
    return (head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6) || (head[2] == 7 && head[3] == 8);
}

bool FileHasZipSignature(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFOpenError("Cannot open file " + Quoted(path) + ". " + std::strerror(errno));
    char head[4];
    std::size_t got = 0;
    while (got < sizeof head) {
        ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            throw EFOpenError("Cannot read file " + Quoted(path) + ". " + std::strerror(e));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return IsZipSignature(std::string_view(head, got));
}

// ---------------------------------------------------------------- reading

TZipReader::TZipReader(const std::string& path) : path_(path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw EFOpenError("Cannot open archive " + Quoted(path) + ": it is a folder");
    if (!FileHasZipSignature(path)) {
        if (fs::file_size(path, ec) == 0 && !ec)
            throw Exception("File " + Quoted(path) + " is empty, not a ZIP archive");
        throw Exception("File " + Quoted(path) + " is not a ZIP archive");
    }
    int code = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive_) {
        switch (code) {
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_MEMORY:
            throw EFOpenError("Cannot read archive " + Quoted(path) + ": " + ZipErrorText(code));
        case ZIP_ER_MULTIDISK:
            throw Exception("Archive " + Quoted(path) + " is split over several files");
        case ZIP_ER_NOZIP:
            // It starts like one: the directory at its end is missing.
            throw Exception("Archive " + Quoted(path) + " is damaged or truncated: no central directory");
        default:
            throw Exception("Archive " + Quoted(path) + " is damaged or truncated: " + ZipErrorText(code));
        }
    }
    zip_int64_t count = zip_get_num_entries(archive_, 0);
    entries_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
            std::string message = zip_strerror(archive_);
            zip_discard(archive_);
            throw Exception("Archive " + Quoted(path) + " is damaged: " + message);
        }
        TZipEntry entry;
        entry.Name = (st.valid & ZIP_STAT_NAME) && st.name ? st.name : "";
        entry.Size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        entry.CompressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        entry.Method = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : 0;
        entry.IsDirectory = !entry.Name.empty() && entry.Name.back() == '/';
        if (st.valid & ZIP_STAT_MTIME) {
            entry.ModifiedTime = st.mtime;
            entry.Modified = ToZipDateTime(st.mtime);
        }
        entries_.push_back(std::move(entry));
    }
}

TZipReader::~TZipReader()
{
    if (archive_) zip_discard(archive_);
}

std::optional<std::size_t> TZipReader::Find(std::string_view name) const
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Name == name) return i;
    return std::nullopt;
}

std::uint64_t TZipReader::Extract(std::size_t index, const std::string& target, std::uint64_t maxSize)
{
    const TZipEntry& entry = entries_.at(index);
    const std::string what = "entry " + Quoted(entry.Name) + " of archive " + Quoted(path_);
    if (entry.IsDirectory) throw Exception("Cannot extract " + what + ": it is a folder");
    if (entry.Size > maxSize)
        throw Exception("Cannot extract " + what + ": its size of " + std::to_string(entry.Size) +
                        " bytes exceeds the limit of " + std::to_string(maxSize) + " bytes");

    std::string pattern =
        (fs::path(target).parent_path() / ("." + fs::path(target).filename().string() + ".XXXXXX")).string();
    if (fs::path(target).parent_path().empty()) pattern = "." + fs::path(target).filename().string() + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw EFCreateError("Cannot create file " + Quoted(target) + ". " + std::strerror(errno));
    TTempFile temp(pattern, fd);

    zip_file_t* file = zip_fopen_index(archive_, index, 0);
    if (!file) throw Exception("Cannot extract " + what + ": " + zip_strerror(archive_));
    struct TCloser {
        zip_file_t* f;
        ~TCloser() { zip_fclose(f); }
    } closer{file};

    std::vector<char> buffer(1 << 16);
    std::uint64_t written = 0;
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0) throw Exception("Cannot extract " + what + ", the archive is damaged: " + zip_file_strerror(file));
        if (n == 0) break;
        written += static_cast<std::uint64_t>(n);
        if (written > entry.Size)
            throw Exception("Cannot extract " + what + ": its content is larger than the declared " +
                            std::to_string(entry.Size) + " bytes");
        WriteAll(temp.Fd(), buffer.data(), static_cast<std::size_t>(n), target);
    }
    if (written != entry.Size)
        throw Exception("Cannot extract " + what + ": " + std::to_string(written) + " bytes instead of the declared " +
                        std::to_string(entry.Size));

    // Keep the mode of a file being replaced (a temporary file made by the
    // caller); a new file gets the usual rw-r--r--.
    struct stat old;
    mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(temp.Fd(), mode);
    struct timespec times[2];
    times[0].tv_sec = entry.ModifiedTime;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ::futimens(temp.Fd(), times);
    if (::fsync(temp.Fd()) != 0 || temp.CloseFd() != 0)
        throw EWriteError("Cannot write file " + Quoted(target) + ": " + std::strerror(errno));
    if (::rename(temp.Path().c_str(), target.c_str()) != 0)
        throw EFCreateError("Cannot create file " + Quoted(target) + ". " + std::strerror(errno));
    temp.Keep();
    return written;
}

// ---------------------------------------------------------------- writing

std::vector<TZipPackedFile> CreateZipArchive(const std::string& archivePath, const std::vector<std::string>& files,
                                             int level)
{
    if (files.empty()) throw EArgumentException("No files to put into archive " + Quoted(archivePath));
    if (level < 1 || level > 9)
        throw EArgumentOutOfRangeException("Compression level " + std::to_string(level) + " is not between 1 and 9");

    struct TSource {
        std::string path;
        std::string name;
        struct stat st;
    };
    std::vector<TSource> sources;
    std::set<std::string> names;
    for (const std::string& file : files) {
        TSource s{file, fs::path(file).filename().string(), {}};
        if (::stat(file.c_str(), &s.st) != 0)
            throw EFOpenError("Cannot open file " + Quoted(file) + ". " + std::strerror(errno));
        if (!S_ISREG(s.st.st_mode)) throw EFOpenError("Cannot open file " + Quoted(file) + ": not a file");
        if (!names.insert(s.name).second)
            throw Exception("Cannot put two files named " + Quoted(s.name) + " into archive " + Quoted(archivePath));
        sources.push_back(std::move(s));
    }

    fs::path final(archivePath);
    std::string tempPath =
        (final.parent_path() / ("." + final.filename().string() + "." + RandomHex() + ".tmp")).string();
    if (final.parent_path().empty()) tempPath = "." + final.filename().string() + "." + RandomHex() + ".tmp";

    int code = 0;
    zip_t* za = zip_open(tempPath.c_str(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!za) throw EFCreateError("Cannot create archive " + Quoted(archivePath) + ": " + ZipErrorText(code));
    auto fail = [&](const std::string& message) {
        zip_discard(za);
        ::unlink(tempPath.c_str());
        throw Exception("Cannot write archive " + Quoted(archivePath) + ": " + message);
    };

    for (const TSource& s : sources) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* src = zip_source_file_create(s.path.c_str(), 0, 0, &error);
        if (!src) {
            std::string message = Quoted(s.path) + ": " + ZipErrorText(&error);
            zip_error_fini(&error);
            fail(message);
        }
        zip_error_fini(&error);
        zip_int64_t idx = zip_file_add(za, s.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        if (idx < 0) {
            zip_source_free(src);
            fail(Quoted(s.path) + ": " + zip_strerror(za));
        }
        auto i = static_cast<zip_uint64_t>(idx);
        if (zip_set_file_compression(za, i, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(level)) != 0 ||
            zip_file_set_mtime(za, i, s.st.st_mtime, 0) != 0)
            fail(Quoted(s.path) + ": " + zip_strerror(za));
    }
    if (zip_close(za) != 0) fail(zip_strerror(za));

    std::error_code ec;
    fs::rename(tempPath, archivePath, ec);
    if (ec) {
        ::unlink(tempPath.c_str());
        throw EFCreateError("Cannot create archive " + Quoted(archivePath) + ". " + ec.message());
    }

    TZipReader reader(archivePath);
    std::vector<TZipPackedFile> result;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        const TZipEntry& e = reader.Entry(k);
        result.push_back({e.Name, e.Size, e.CompressedSize});
    }
    return result;
}
