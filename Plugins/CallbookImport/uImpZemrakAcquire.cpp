// Fetching the update package and unpacking its database.
#include "Plugins/CallbookImport/uImpZemrak.h"

#include "Platform/Files/Files.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/Http/Http.h"
#include "Platform/Zip/Zip.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <system_error>

namespace {

// Temporary files of this plug-in ("~Db….tmp", "~Ar….tmp" and a database's
// side files) left by a run that was killed.
void RemoveStaleTemporaryFiles(const std::string& folder)
{
    // "~Db" or "~Ar", hexadecimal digits, ".tmp", perhaps a side-file suffix.
    const auto own = [](std::string_view name) {
        if (!name.starts_with("~Db") && !name.starts_with("~Ar")) return false;
        name.remove_prefix(3);
        std::size_t digits = 0;
        while (digits < name.size() && std::isxdigit(static_cast<unsigned char>(name[digits])))
            ++digits;
        if (digits == 0) return false;
        name.remove_prefix(digits);
        if (!name.starts_with(".tmp")) return false;
        name.remove_prefix(4);
        return name.empty() || name == "-wal" || name == "-shm" || name == "-journal";
    };
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (own(it->path().filename().string()) && it->is_regular_file(ec)) DeleteFile(it->path().string());
    }
}

// A database in WAL mode, even opened read-only, writes "-wal" and "-shm"
// files beside itself. The extracted copy is ours: mark it as a rollback
// journal database (file format bytes 18 and 19), which a read-only reader
// opens without writing anything.
void LeaveWalMode(const std::string& path)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    char header[20] = {};
    if (!file.read(header, sizeof header)) return;
    if (std::string_view(header, 16) != std::string_view("SQLite format 3\0", 16)) return;
    if (header[18] != 2 && header[19] != 2) return;
    const char legacy[2] = {1, 1};
    file.seekp(18);
    file.write(legacy, 2);
}

} // namespace

bool TfrmImpZemrak::AcquireArchive(int Location, const std::string& Source, TArchiveStream& Stream)
{
    downloadFolder_ = HostParameter("DOWNLOAD");
    RemoveStaleTemporaryFiles(downloadFolder_);
    if (Location == LocationInternet) {
        Stream.Downloaded = TTempFile(downloadFolder_, "~Ar");
        return DownloadArchive(Source, Stream);
    }
    return OpenLocalArchive(Source, Stream);
}

bool TfrmImpZemrak::DownloadArchive(const std::string& Address, TArchiveStream& Stream)
{
    psInfo.SetText("Trying to load data...");
    ProcessMessages();
    bool loaded = false;
    std::string cause;
    try {
        const THttpResponse response = HttpGetToFile(Address, Stream.Downloaded.Path(), HttpOptions);
        loaded = FileHasZipSignature(Stream.Downloaded.Path());
        if (!loaded)
            cause = response.IsSuccess() ? std::string("not a ZIP archive")
                                         : "HTTP status " + std::to_string(response.StatusCode);
    } catch (const std::exception& error) {
        // No connection, a transfer error or a body too large: not found.
        loaded = false;
        cause = error.what();
    }
    // The dialog's message stays the same for every cause; the cause goes
    // to the host log and the console for whoever has to mend it.
    if (!loaded) {
        const std::string line = "Download of " + Address + " failed: " + cause;
        WriteLog(line);
        std::cerr << line << std::endl;
    }
    psInfo.SetText("");
    ProcessMessages();
    if (loaded)
        Stream.Path = Stream.Downloaded.Path();
    else
        Stream.Downloaded.Remove();
    return loaded;
}

bool TfrmImpZemrak::OpenLocalArchive(const std::string& Path, TArchiveStream& Stream)
{
    if (!FileHasZipSignature(Path)) return false;
    Stream.Path = Path;
    return true;
}

bool TfrmImpZemrak::ExtractDatabase(int Location, TArchiveStream& Stream, std::string& DatabasePath)
{
    DatabasePath.clear();
    // The archive is consumed whatever happens: a downloaded one is deleted.
    struct TConsume {
        TArchiveStream& stream;
        int location;
        ~TConsume()
        {
            if (location == LocationInternet) stream.Downloaded.Remove();
            stream.Path.clear();
        }
    } consume{Stream, Location};

    TZipReader reader(Stream.Path);
    const std::optional<std::size_t> entry = reader.Find("DB.mdb");
    if (!entry) return false;

    TTempFile database(downloadFolder_, "~Db");
    const TZipDateTime& stamp = reader.Entry(*entry).Modified;
    const TDateTime dated =
        EncodeDateTime(TDateParts{stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute, stamp.Second, 0});
    MsgProgress(1, "Update package dated " + FormatDateTime("ddddd hh:mm", dated), true);
    reader.Extract(*entry, database.Path(), MaxDatabaseSize);
    LeaveWalMode(database.Path());
    DatabasePath = database.Release();
    return true;
}
