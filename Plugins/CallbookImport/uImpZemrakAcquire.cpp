// Fetching the update package and unpacking its database.
#include "Plugins/CallbookImport/uImpZemrak.h"

#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/Zip/Zip.h"

bool TfrmImpZemrak::AcquireArchive(int Location, const std::string& Source, TArchiveStream& Stream)
{
    downloadFolder_ = HostParameter("DOWNLOAD");
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
    try {
        HttpGetToFile(Address, Stream.Downloaded.Path(), HttpOptions);
        loaded = FileHasZipSignature(Stream.Downloaded.Path());
    } catch (const std::exception&) {
        // No connection, a transfer error or a body too large: not found.
        loaded = false;
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
    const TDateTime dated = EncodeDateTime(
        TDateParts{stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute, stamp.Second, 0});
    MsgProgress(1, "Update package dated " + FormatDateTime("ddddd hh:mm", dated), true);
    reader.Extract(*entry, database.Path(), MaxDatabaseSize);
    DatabasePath = database.Release();
    return true;
}
