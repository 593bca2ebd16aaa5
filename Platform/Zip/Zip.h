// ZIP archives over libzip: reading entries out of an archive file and
// writing an archive from a list of files.
//
// Errors are exceptions naming the file: EFOpenError when a file cannot be
// opened or read, EFCreateError when an output cannot be created, Exception
// for archives that are not ZIP archives, damaged or truncated ones, and
// for entries that cannot be extracted.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

// Largest entry Extract writes unless told otherwise.
inline constexpr std::uint64_t DefaultMaxZipEntrySize = std::uint64_t{2} << 30; // 2 GiB

// The first four bytes of a ZIP file: a local file header (PK 03 04), an
// end of central directory (PK 05 06, an empty archive) or the spanning
// marker (PK 07 08).
bool IsZipSignature(std::string_view head);
// True when the file starts with a ZIP signature; false for shorter files.
// Throws EFOpenError when the file cannot be read.
bool FileHasZipSignature(const std::string& path);

// An entry's time stamp as stored in the archive: the local wall-clock date
// and time of the ZIP header, two-second precision. Encode it with
// EncodeDateTime for a TDateTime.
struct TZipDateTime {
    int Year = 1980, Month = 1, Day = 1;
    int Hour = 0, Minute = 0, Second = 0;
};

struct TZipEntry {
    std::string Name;       // full name inside the archive, '/' between folders
    std::uint64_t Size = 0; // declared uncompressed size
    std::uint64_t CompressedSize = 0;
    std::int32_t Method = 0; // 0 stored, 8 Deflate ...
    bool IsDirectory = false;
    TZipDateTime Modified;
    std::time_t ModifiedTime = 0; // the same moment as seconds since the epoch
};

class TZipReader {
public:
    // Opens an archive file read-only and reads its directory. A file of
    // zero bytes or one without a ZIP signature is not an archive; a file
    // with the signature but no readable directory is damaged or truncated.
    // An empty archive opens with no entries.
    explicit TZipReader(const std::string& path);
    ~TZipReader();
    TZipReader(const TZipReader&) = delete;
    TZipReader& operator=(const TZipReader&) = delete;

    const std::string& FileName() const noexcept { return path_; }
    std::size_t Count() const noexcept { return entries_.size(); }
    const TZipEntry& Entry(std::size_t index) const { return entries_.at(index); }
    const std::vector<TZipEntry>& Entries() const noexcept { return entries_; }

    // Index of the first entry whose full name is exactly name (case
    // matters; an entry inside a folder is named "folder/name").
    std::optional<std::size_t> Find(std::string_view name) const;

    // Writes the entry's content to target, streamed, and gives target the
    // entry's time stamp. The content goes to a temporary file beside target
    // that replaces it only once complete, so a failed extraction leaves
    // target as it was. Refuses entries declaring more than maxSize bytes and
    // entries whose content differs from the declared size or checksum.
    // Returns the number of bytes written.
    std::uint64_t Extract(std::size_t index, const std::string& target, std::uint64_t maxSize = DefaultMaxZipEntrySize);

private:
    std::string path_;
    zip* archive_ = nullptr;
    std::vector<TZipEntry> entries_;
};

struct TZipPackedFile {
    std::string Name; // entry name (the file's bare name)
    std::uint64_t OriginalSize = 0;
    std::uint64_t PackedSize = 0; // compressed size inside the archive
};

// Creates the archive archivePath from files, in that order: each stored
// under its bare file name, compressed with Deflate at the given level
// (1 fastest ... 9 smallest), keeping the file's modification time. The
// archive is written under a temporary name in the same folder and renamed
// over archivePath once complete; on failure no new file remains and an
// earlier file at archivePath is left as it was. Two files with the same bare
// name, a missing file or an empty list are errors.
std::vector<TZipPackedFile> CreateZipArchive(const std::string& archivePath, const std::vector<std::string>& files,
                                             int level = 1);
