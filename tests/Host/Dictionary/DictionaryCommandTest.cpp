// The country dictionary through hamhost: filled by init, replaced by
// "dictionary update" from a file or over HTTP, kept when anything fails.
#include "Host/HostDatabase.h"
#include "tests/Support/LoopbackServer.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

// The first column of the first row of a query on the profile's database.
std::string Query(const fs::path& profile, const std::string& sql)
{
    THostDb db = OpenHostDatabase(profile / "host.db", false);
    TSqliteStatement stmt(db, sql);
    std::string value = "no row";
    if (stmt.Step()) value = stmt.ColumnIsNull(0) ? "NULL" : std::string(stmt.ColumnText(0));
    return value;
}

// Row counts and a digest of the three tables.
std::string Tables(const fs::path& profile)
{
    return Query(profile, "SELECT (SELECT count(*) || ':' || total(length(PREFIXLIST)) FROM COUNTRY) || '/' ||"
                          "(SELECT count(*) || ':' || total(length(PREFIXLIST)) FROM PROVINCE) || '/' ||"
                          "(SELECT count(*) || ':' || total(length(CALLSIGN)) FROM UNIQUECALL)");
}

// The shipped cty.dat without Jan Mayen and with one more German prefix
// in zone 15.
std::string ChangedCtyDat()
{
    std::string text = ReadFileText(ShippedDataDir() / "cty.dat");
    const std::size_t jx = text.find("Jan Mayen:");
    text.erase(jx, text.find(';', jx) + 3 - jx);
    const std::size_t dl = text.find("    DA,DB,", text.find("Fed. Rep. of Germany:"));
    text.insert(dl + 4, "DL0ZZ(15),");
    return text;
}

class DictionaryCommand : public ::testing::Test {
protected:
    DictionaryCommand() : dir_("dictionary-command"), profile_(dir_ / "profile")
    {
        init_ = RunHamhost(profile_, {"init"});
    }
    TTempDir dir_;
    fs::path profile_;
    TRunResult init_;
};

} // namespace

TEST_F(DictionaryCommand, InitFillsTheDictionaryFromTheShippedCtyDat)
{
    ASSERT_EQ(init_.ExitCode, 0) << init_.Err;
    EXPECT_TRUE(Contains(init_.Out, "Country dictionary: 346 entities, 7541 prefixes, 20808 exact calls")) << init_.Out;
    EXPECT_EQ(Query(profile_, "SELECT DXCC || ' ' || CQZONE || ' ' || ITUZONE FROM COUNTRY WHERE ARRLPREFIX='DL'"),
              "230 14 28");
    EXPECT_EQ(Query(profile_, "SELECT DXCC || ' ' || PREFIX FROM PROVINCE WHERE PREFIXLIST LIKE '%IT9%'"), "248 IT9");
    EXPECT_EQ(Query(profile_, "SELECT count(*) FROM COUNTRY WHERE CQZONE LIKE '0%' OR ITUZONE LIKE '0%'"), "0");
    // A second init leaves a filled dictionary alone.
    const std::string before = Tables(profile_);
    auto again = RunHamhost(profile_, {"init"});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_FALSE(Contains(again.Out, "Country dictionary")) << again.Out;
    EXPECT_EQ(Tables(profile_), before);
}

TEST_F(DictionaryCommand, UpdateFromAFileReportsWhatChanged)
{
    ASSERT_EQ(init_.ExitCode, 0) << init_.Err;
    WriteFileText(dir_ / "cty.dat", ChangedCtyDat());
    auto update = RunHamhost(profile_, {"dictionary", "update", (dir_ / "cty.dat").string()});
    ASSERT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_EQ(SplitLines(update.Out), (std::vector<std::string>{
                                          "Country dictionary: 345 entities, 7541 prefixes, 20808 exact calls",
                                          "Entities added: 0, removed: 1, changed: 1",
                                          "Removed: JX",
                                          "Changed: DL (Fed. Rep. of Germany)",
                                      }));
    EXPECT_EQ(Query(profile_, "SELECT count(*) FROM COUNTRY WHERE ARRLPREFIX='JX'"), "0");
    EXPECT_EQ(Query(profile_, "SELECT CQZONE FROM PROVINCE WHERE PREFIXLIST='DL0ZZ[A-Z0-9/]*'"), "15");

    // Without a file: the shipped one again.
    update = RunHamhost(profile_, {"dictionary", "update"});
    ASSERT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_TRUE(Contains(update.Out, "Entities added: 1, removed: 0, changed: 1\nAdded: JX (Jan Mayen)\n"))
        << update.Out;
}

TEST_F(DictionaryCommand, UpdateOverHttp)
{
    ASSERT_EQ(init_.ExitCode, 0) << init_.Err;
    TLoopbackServer server;
    server.Serve("/cty.dat", "200 OK", ChangedCtyDat());
    server.Serve("/moved", "301 Moved Permanently", "", "Location: /cty.dat\r\n");
    server.Serve("/missing", "404 Not Found", "no such file");
    auto update = RunHamhost(profile_, {"dictionary", "update", server.Url("/cty.dat")});
    ASSERT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_TRUE(Contains(update.Out, "Removed: JX")) << update.Out;
    EXPECT_TRUE(fs::is_empty(profile_ / "download")) << "the downloaded copy is removed";

    const std::string before = Tables(profile_);
    for (const char* path : {"/missing", "/moved"}) {
        auto failed = RunHamhost(profile_, {"dictionary", "update", server.Url(path)});
        EXPECT_EQ(failed.ExitCode, 1) << path;
        EXPECT_TRUE(Contains(failed.Err, "The country dictionary was left as it was.")) << failed.Err;
        EXPECT_EQ(Tables(profile_), before) << path;
    }
    EXPECT_TRUE(Contains(RunHamhost(profile_, {"dictionary", "update", server.Url("/missing")}).Err,
                         "The server answered 404"));
}

TEST_F(DictionaryCommand, AFailedUpdateKeepsTheOldTables)
{
    ASSERT_EQ(init_.ExitCode, 0) << init_.Err;
    const std::string before = Tables(profile_);
    std::string text = ReadFileText(ShippedDataDir() / "cty.dat");
    struct Case {
        std::string file, content, message;
    } cases[] = {
        {"broken.dat", text.substr(0, text.size() / 2), "does not end with ';'"},
        {"unknown.dat", text + "Atlantis: 1: 1: EU: 0: 0: 0: ZZ9:\r\n    ZZ9;\r\n",
         "No DXCC entity code for: Atlantis (ZZ9)"},
        {"empty.dat", "", "no country entities"},
    };
    for (const auto& c : cases) {
        WriteFileText(dir_ / c.file, c.content);
        auto update = RunHamhost(profile_, {"dictionary", "update", (dir_ / c.file).string()});
        EXPECT_EQ(update.ExitCode, 1) << c.file;
        EXPECT_TRUE(Contains(update.Err, c.message)) << update.Err;
        EXPECT_EQ(Tables(profile_), before) << c.file;
    }
    auto missing = RunHamhost(profile_, {"dictionary", "update", (dir_ / "nothing.dat").string()});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(Contains(missing.Err, "Cannot open")) << missing.Err;
    EXPECT_EQ(RunHamhost(profile_, {"dictionary"}).ExitCode, 2);
    EXPECT_EQ(RunHamhost(profile_, {"dictionary", "update", "a", "b"}).ExitCode, 2);
}
