// The export run as a whole, and the phases around the transfer: copy of the
// reference database, rebuild of its CALLBOOK, disconnect and compaction.
#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/Clock/Clock.h"
#include "Platform/Files/Files.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"

#include <filesystem>
#include <system_error>

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

} // namespace

bool TfrmXpoZemrak::ExportCallbook(const std::string& RefPath, const std::string& TargetPath)
{
    const std::uint64_t start = GetTickCount64();
    MsgProgress(0, "* Use " + ExtractFileName(TargetPath) + " in " + ExtractFileDir(TargetPath), true);

    const std::string copyFailed = "Cannot copy file of reference database:\r\n" + edRefDB.Text() + "\r\n";
    if (SameFile(RefPath, TargetPath)) {
        // Rebuilding the copy would empty the logger's own callbook.
        MessageBox(copyFailed + "The export file is the reference database itself.", "Error", 1);
        return false;
    }
    if (!CopyFile(RefPath, TargetPath, false)) {
        MessageBox(copyFailed + "Maybe it's opened by another application.", "Error", 1);
        return false;
    }

    WriteLog("Transfer data from reference database.");
    int saved = 0;
    try {
        OpenDatabase(adc, TargetPath);
    } catch (...) {
        adc.Close();
        DeleteFile(TargetPath); // never leave a half-made export behind
        throw;
    }
    try {
        for (const char* sql : {"DELETE FROM CALLBOOK", "SELECT * INTO _CALLBOOK_ FROM CALLBOOK", "DROP TABLE CALLBOOK",
                                "SELECT * INTO CALLBOOK FROM _CALLBOOK_", "DROP TABLE _CALLBOOK_"})
            ExecStatement(adc, sql);
        saved = TransferCallbook();
    } catch (...) {
        // The target is not left open behind an ended run.
        try {
            CloseDatabase(adc);
        } catch (...) {
            adc.Close();
        }
        // A partly filled copy must not pass for a finished export.
        DeleteFile(TargetPath);
        throw;
    }
    CloseDatabase(adc);
    CompactDatabaseFile(TargetPath);
    return WritePackage(TargetPath, saved, start);
}

void TfrmXpoZemrak::ReplaceFile(const std::string& Compacted, const std::string& Target)
{
    RenameFileOrThrow(Compacted, Target);
}

void TfrmXpoZemrak::CompactDatabaseFile(const std::string& Path)
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
    if (!failed) return;
    if (!temp.empty()) DeleteFile(temp);
    MessageBox("Message:\r\n" + failure + ".\r\nPlease restart application.", "System error", 1);
}
