#include "Host/DictionaryCommand.h"

#include "Host/HostDatabase.h"
#include "Host/HostDictionary.h"
#include "Platform/Files/Files.h"
#include "Platform/Http/Http.h"
#include "Platform/SysUtils/SysUtils.h"

#include <cstdlib>
#include <ostream>

namespace fs = std::filesystem;

namespace {

constexpr const char* DictionaryUsage = "usage: hamhost dictionary update [FILE|URL]\n";

bool IsUrl(const std::string& source)
{
    return source.rfind("http://", 0) == 0 || source.rfind("https://", 0) == 0;
}

// The download, bounded as the callbook import's is.
TTempFile Download(const std::string& url, const fs::path& folder, std::ostream& out)
{
    THttpOptions options;
    options.ConnectTimeout = std::chrono::seconds(30);
    options.Timeout = std::chrono::minutes(10);
    options.MaxBodySize = std::uint64_t{256} << 20;
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) options.CaFile = bundle;
    fs::create_directories(folder);
    TTempFile file(folder.string(), "cty");
    out << "Downloading " << url << "\n";
    const THttpResponse response = HttpGetToFile(url, file.Path(), options);
    if (response.IsRedirect())
        throw EInOutError("The server redirects " + url + " to " + response.Location + "; give that address");
    if (!response.IsSuccess())
        throw EInOutError("The server answered " + std::to_string(response.StatusCode) + " for " + url);
    return file;
}

std::string Names(const std::vector<std::string>& keys, const TDictionaryRows& rows)
{
    std::string text;
    for (const auto& key : keys) {
        auto name = rows.EntityNames.find(key);
        text += (text.empty() ? "" : ", ") + key + (name != rows.EntityNames.end() ? " (" + name->second + ")" : "");
    }
    return text;
}

void PrintCounts(const TDictionaryRows& rows, std::ostream& out)
{
    out << "Country dictionary: " << rows.Entities << " entities, " << rows.Prefixes << " prefixes, " << rows.ExactCalls
        << " exact calls\n";
}

} // namespace

void InitDictionary(const fs::path& profile, const fs::path& dataFolder, std::ostream& out)
{
    THostDb db = OpenHostDatabase(profile / "host.db", false);
    if (!DictionaryTablesEmpty(db)) return;
    const fs::path cty = dataFolder / "cty.dat";
    if (!fs::exists(cty))
        throw EFOpenError("Country data not found: " + cty.string() + " (it is installed beside hamhost in data/)");
    const TDictionaryRows rows = LoadCountryData(cty, EntityCodesBeside(cty));
    ReplaceDictionaryTables(db, rows);
    PrintCounts(rows, out);
}

int DictionaryCommand(const fs::path& profile, const fs::path& dataFolder, const std::vector<std::string>& args,
                      std::ostream& out, std::ostream& err)
{
    if (args.empty() || args[0] != "update" || args.size() > 2) {
        err << DictionaryUsage;
        return 2;
    }
    try {
        THostDb db = OpenHostDatabase(profile / "host.db", false);
        const fs::path shipped = dataFolder / "cty.dat";
        TTempFile downloaded;
        fs::path source = args.size() == 2 ? fs::path(args[1]) : shipped;
        if (args.size() == 2 && IsUrl(args[1])) {
            downloaded = Download(args[1], profile / "download", out);
            source = downloaded.Path();
        }
        const TDictionaryRows rows = LoadCountryData(source, EntityCodesBeside(shipped));
        for (const auto& warning : rows.Warnings)
            err << "hamhost: warning: " << warning << "\n";
        const TDictionaryRows before = ReadDictionaryTables(db);
        ReplaceDictionaryTables(db, rows);
        const TDictionaryChanges changes = CompareDictionaries(before, rows);
        PrintCounts(rows, out);
        out << "Entities added: " << changes.Added.size() << ", removed: " << changes.Removed.size()
            << ", changed: " << changes.Changed.size() << "\n";
        if (!changes.Added.empty()) out << "Added: " << Names(changes.Added, rows) << "\n";
        if (!changes.Removed.empty()) out << "Removed: " << Names(changes.Removed, before) << "\n";
        if (!changes.Changed.empty()) out << "Changed: " << Names(changes.Changed, rows) << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << "hamhost: " << e.what() << "\nThe country dictionary was left as it was.\n";
        return 1;
    }
}
