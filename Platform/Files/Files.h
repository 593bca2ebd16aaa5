// File names and file operations: path pieces, existence, copy, delete,
// rename, size, modification time and unique temporary files.
#pragma once

#include "Platform/DateTime/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

constexpr char PathDelim = '/';

// Path pieces. The folder part keeps its trailing delimiter ("a/b/" of
// "a/b/c.txt"); the extension starts at the last '.' of the file name.
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileDir(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);
// Replaces the extension (or appends one when there is none); extension
// includes its dot, e.g. ".err".
std::string ChangeFileExt(std::string_view path, std::string_view extension);

// A regular file (symbolic links followed) / a folder.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Boolean forms answer false on failure and leave errno set; the OrThrow
// forms raise EOSError (errno as the code) naming the files.
bool DeleteFile(const std::string& path) noexcept;
void DeleteFileOrThrow(const std::string& path);
// Atomic rename; an existing file at newPath is replaced.
bool RenameFile(const std::string& oldPath, const std::string& newPath) noexcept;
void RenameFileOrThrow(const std::string& oldPath, const std::string& newPath);
// Copies contents, permission bits and modification time. The copy is
// written beside the destination and renamed into place, so the
// destination is either the old file or the whole copy. With failIfExists
// an existing destination is an error (EEXIST).
bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists) noexcept;
void CopyFileOrThrow(const std::string& source, const std::string& dest, bool failIfExists);

// Size in bytes; EOSError when the file cannot be examined.
std::int64_t FileSize(const std::string& path);
// Modification time as local date-time. FileAge answers false when the file
// does not exist; FileGetDate raises EOSError.
bool FileAge(const std::string& path, TDateTime& dateTime);
TDateTime FileGetDate(const std::string& path);
// Sets the modification time (local date-time); false with errno on failure.
bool FileSetDate(const std::string& path, TDateTime dateTime) noexcept;
void FileSetDateOrThrow(const std::string& path, TDateTime dateTime);

// Creates a new empty file named prefix + hexadecimal number + ".tmp" in
// folder (the current folder when folder is empty) and returns its path.
// The name is unique: the file is created exclusively. EOSError on failure.
std::string CreateTempFile(const std::string& folder, std::string_view prefix);

// Owns a file and deletes it on destruction unless released.
class TTempFile {
public:
    TTempFile() = default;
    // Creates a new temporary file as CreateTempFile does.
    TTempFile(const std::string& folder, std::string_view prefix);
    // Takes over an existing path.
    static TTempFile Adopt(std::string path);
    ~TTempFile();
    TTempFile(TTempFile&& other) noexcept;
    TTempFile& operator=(TTempFile&& other) noexcept;
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string& Path() const noexcept { return path_; }
    bool Empty() const noexcept { return path_.empty(); }
    // Stops owning the file and returns its path; the file stays.
    std::string Release() noexcept;
    // Deletes the file now (a missing file is no error).
    void Remove() noexcept;

private:
    std::string path_;
};
