// The export run as a whole, and the phases around the transfer: copy of the
// reference database, rebuild of its CALLBOOK, disconnect and compaction.
#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/Clock/Clock.h"
#include "Platform/Files/Files.h"
#include "Platform/SysUtils/SysUtils.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace {

// A connection text naming Path; quoted, so any character of a file name is safe.
std::string ConnectionText(const std::string& Path)
{
    std::string quoted;
    for (char c : Path) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + quoted + "\"";
}

// The reference file and the target are one file under two spellings
// (symbolic link, "." or ".." in the path).
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

using TFileId = std::pair<dev_t, ino_t>;

std::optional<TFileId> FileId(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return TFileId{st.st_dev, st.st_ino};
}

// Whether this process holds the file open: the host's own database is.
bool HeldOpenHere(const TFileId& id)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        if (FileId(it->path()) == id) return true;
    return false;
}

// Whether the file lies in the folder or below it, links resolved.
bool Inside(const std::string& file, const std::string& folder)
{
    std::error_code ec;
    const auto f = std::filesystem::weakly_canonical(std::filesystem::absolute(file), ec);
    if (ec) return false;
    const auto d = std::filesystem::weakly_canonical(std::filesystem::absolute(folder), ec);
    if (ec || d.empty()) return false;
    auto fi = f.begin();
    for (auto di = d.begin(); di != d.end(); ++di, ++fi) {
        if (di->empty()) continue; // the trailing separator
        if (fi == f.end() || *fi != *di) return false;
    }
    return true;
}

// Whether some file of the folder tree is the file with this identity
// (a hard link elsewhere).
bool LinkedInto(const TFileId& id, const std::string& folder)
{
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && FileId(it->path()) == id) return true;
    return false;
}

// Why the export must not write Target, or empty when it may: the copy is
// rebuilt and cleaned up, so it must never be a file someone else owns.
std::string ProtectedTargetReason(const std::string& RefPath, const std::string& TargetPath)
{
    if (SameFile(RefPath, TargetPath)) return "The export file is the reference database itself.";
    const std::string install = ReadInstallPath();
    const std::optional<TFileId> id = FileId(TargetPath);
    if (!install.empty() && (Inside(TargetPath, install) || (id && LinkedInto(*id, install))))
        return "The export file is a file of the logger's installation.";
    if (id && HeldOpenHere(*id)) return "The export file is a database in use by the host.";
    return {};
}

// Removes a file the run made, with the side files of a database.
void RemoveRunFile(const std::string& Path)
{
    if (Path.empty()) return;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::string file = Path + suffix;
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) DeleteFile(file);
    }
}

// The rebuild statements must all succeed: an export built on a table that
// was not emptied would carry the reference's rows as the host's.
void Rebuild(TADOConnection& connection, const char* statement)
{
    try {
        RunStatement(connection, statement);
    } catch (const EOleException& error) {
        throw EOleException("Cannot rebuild the callbook of the export file (" + std::string(statement) +
                                "): " + error.Message(),
                            error.ErrorCode(), error.Source());
    }
}

} // namespace

bool TfrmXpoZemrak::ExportCallbook(const std::string& RefPath, const std::string& TargetPath)
{
    const std::uint64_t start = GetTickCount64();
    MsgProgress(0, "* Use " + ExtractFileName(TargetPath) + " in " + ExtractFileDir(TargetPath), true);

    const std::string copyFailed = "Cannot copy file of reference database:\r\n" + edRefDB.Text() + "\r\n";
    if (const std::string reason = ProtectedTargetReason(RefPath, TargetPath); !reason.empty()) {
        MessageBox(copyFailed + reason, "Error", 1);
        return false;
    }
    // The run works on a copy beside the target, which takes the target's
    // place only when it is complete; a failed run removes it again.
    TTempFile work;
    try {
        work = TTempFile(ExtractFilePath(TargetPath), WorkFilePrefix);
    } catch (const std::exception&) {
    }
    if (work.Empty() || !CopyFile(RefPath, work.Path(), false)) {
        MessageBox(copyFailed + "Maybe it's opened by another application.", "Error", 1);
        return false;
    }
    struct TWorkFiles {
        std::string path;
        ~TWorkFiles() { RemoveRunFile(path); }
    } sideFiles{work.Path()};

    WriteLog("Transfer data from reference database.");
    int saved = 0;
    try {
        OpenDatabase(adc, work.Path());
        for (const char* sql : {"DELETE FROM CALLBOOK", "SELECT * INTO _CALLBOOK_ FROM CALLBOOK", "DROP TABLE CALLBOOK",
                                "SELECT * INTO CALLBOOK FROM _CALLBOOK_", "DROP TABLE _CALLBOOK_"})
            Rebuild(adc, sql);
        saved = TransferCallbook();
    } catch (...) {
        // The target is not left open behind an ended run.
        try {
            CloseDatabase(adc);
        } catch (...) {
            adc.Close();
        }
        throw;
    }
    CloseDatabase(adc);
    if (!CompactDatabaseFile(work.Path())) {
        WriteLog("Exec: " + Caption() + ", " + TargetPath + " creation failed.");
        return false;
    }
    RenameFileOrThrow(work.Path(), TargetPath);
    work.Release();
    sideFiles.path.clear();
    return WritePackage(TargetPath, saved, start);
}

void TfrmXpoZemrak::ReplaceFile(const std::string& Compacted, const std::string& Target)
{
    RenameFileOrThrow(Compacted, Target);
}

bool TfrmXpoZemrak::CompactDatabaseFile(const std::string& Path)
{
    std::string temp;
    bool failed = false;
    std::string failure;
    try {
        // An empty folder part means the current folder.
        temp = CreateTempFile(ExtractFilePath(Path), "mdb");
        CompactDatabase(ConnectionText(Path), ConnectionText(temp));
        WriteLog("Compact updates.");
        // One atomic step: the target is either the old file or the compacted one.
        ReplaceFile(temp, Path);
        temp.clear();
    } catch (const std::exception& error) {
        failed = true;
        failure = error.what();
    }
    if (!failed) return true;
    if (!temp.empty()) RemoveRunFile(temp);
    MessageBox("Message:\r\n" + failure + ".\r\nPlease restart application.", "System error", 1);
    return false;
}
