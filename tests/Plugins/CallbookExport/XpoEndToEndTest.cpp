// The export through the real hamhost and CallbookExport.ext: the package as
// the archive tools see it, the description file, the run's lines, the
// settings, and the round trip into an empty host through CallbookImport.
#include "Platform/DateTime/DateTime.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "tests/Plugins/CallbookExport/ExportFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace {

const char* const Menu = "Export Callbook as Zemrak updates";

const char* const AllItemsActions = "check cgExtInfo Aka\n"
                                    "check cgExtInfo Skype\n"
                                    "check cgExtInfo Bureau\n"
                                    "check cgExtInfo E-mail\n"
                                    "check cgExtInfo Direct\n"
                                    "check cgExtInfo Born\n"
                                    "check cgExtInfo LotW\n"
                                    "check cgExtInfo SK\n"
                                    "check cgExtInfo eQSL\n";

TRunResult RunDialog(const TExportProfile& p, const std::string& caption, const std::string& actions,
                     const std::vector<std::string>& env = {})
{
    const fs::path file = p.Profile() / "actions.txt";
    WriteFileText(file, actions);
    return RunHamhost(p.Profile(), {"run", caption, "--actions", file.string()}, {}, env);
}

// "20240309.070504" of zipinfo -T as a date-time.
TDateTime ZipinfoTime(const std::string& text)
{
    TDateParts p;
    p.Year = std::stoi(text.substr(0, 4)), p.Month = std::stoi(text.substr(4, 2)), p.Day = std::stoi(text.substr(6, 2));
    p.Hour = std::stoi(text.substr(9, 2)), p.Minute = std::stoi(text.substr(11, 2)),
    p.Second = std::stoi(text.substr(13, 2));
    return EncodeDateTime(p);
}

std::string WithThousands(const std::string& digits)
{
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

struct TZipinfoEntry {
    std::string Method;
    std::string Size;
    TDateTime Time = 0;
};

} // namespace

TEST(XpoEndToEnd, PackageAsTheArchiveToolsSeeIt)
{
    TExportProfile p("xpo-e2e");
    const TDateTime before = IncMinute(Now(), -1);
    const TRunResult r = RunDialog(p, Menu, std::string(AllItemsActions) + "click Export\nclose\n");
    const TDateTime after = IncMinute(Now(), 1);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");

    const fs::path zip = p.Download() / "DB.zip";
    ASSERT_TRUE(fs::exists(zip)) << r.Out;
    EXPECT_FALSE(fs::exists(p.Download() / "DB.mdb"));
    EXPECT_FALSE(fs::exists(p.Download() / "DB.nfo"));

    // Exactly two entries under bare names, Deflate, with their files' times.
    const TRunResult list = RunProgram("/usr/bin/unzip", {"-l", zip.string()});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    std::vector<std::string> names;
    for (const std::string& line : SplitLines(list.Out)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex(R"(\s*\d+\s+\S+\s+\S+\s+(.+))")) && m[1] != "Name")
            names.push_back(m[1]);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DB.mdb", "DB.nfo"})) << list.Out;

    const TRunResult info = RunProgram("/usr/bin/zipinfo", {"-T", zip.string()});
    ASSERT_EQ(info.ExitCode, 0) << info.Err;
    std::map<std::string, TZipinfoEntry> entries;
    for (const std::string& line : SplitLines(info.Out)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex(R"(\S+\s+\S+\s+\S+\s+(\d+)\s+\S+\s+(\S+)\s+(\d{8}\.\d{6})\s+(.+))")))
            entries[m[4]] = {m[2], m[1], ZipinfoTime(m[3])};
    }
    ASSERT_EQ(entries.size(), 2u) << info.Out;
    for (const auto& [name, entry] : entries) {
        EXPECT_EQ(entry.Method.substr(0, 3), "def") << name;
        EXPECT_GE(entry.Time, before) << name;
        EXPECT_LE(entry.Time, after) << name;
    }

    // The description: five CR LF lines; line 2 names the database's own time.
    const TRunResult nfo = RunProgram("/usr/bin/unzip", {"-p", zip.string(), "DB.nfo"});
    ASSERT_EQ(nfo.ExitCode, 0);
    const std::string text = nfo.Out;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0], "#");
    // The entry keeps the database file's time, which the description names.
    EXPECT_EQ(lines[1], "# Database file DB.mdb created " +
                            FormatDateTime("yyyy-mm-dd hh:nn:ss", entries["DB.mdb"].Time) + " by hamhost 1.04.019");
    EXPECT_EQ(lines[2], "# Contains " + WithThousands(entries["DB.mdb"].Size) +
                            " bytes, 4 records as updates/replacement for Zemrak_Log");
    EXPECT_EQ(lines[3], "# Use keys: Aka, Bureau, Direct, LotW, eQSL, Skype, Email, Born, SK");
    EXPECT_EQ(lines[4], "#");
    EXPECT_EQ(RunProgram("/usr/bin/unzip", {"-tq", zip.string()}).ExitCode, 0);

    // The memo on standard output, the host log, the settings.
    const auto out = SplitLines(r.Out);
    ASSERT_EQ(out.size(), 6u) << r.Out;
    EXPECT_EQ(out[0], "* Use DB.mdb in " + p.Download().string());
    EXPECT_EQ(out[3], "   Save 4 callsigns, checkmarks 2, errors not found");
    EXPECT_TRUE(std::regex_match(out[4], std::regex(R"(   Archive DB\.zip contains DB\.mdb, packed \d+%)")));
    const auto log = p.LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(std::regex_match(log.back(), std::regex("Exec: Export Callbook as Zemrak updates, " + zip.string() +
                                                        R"(, total 4 \(\d\d:\d\d:\d\d\))")))
        << log.back();
    const std::string ini = ReadFileText(p.HostIni());
    EXPECT_NE(ini.find("[Zemrak Export]"), std::string::npos);
    EXPECT_NE(ini.find("Export=" + (p.Download() / "DB.mdb").string()), std::string::npos);
}

TEST(XpoEndToEnd, RoundTripIntoAnEmptyHost)
{
    TExportProfile p("xpo-roundtrip");
    const TRunResult exported = RunDialog(p, Menu, std::string(AllItemsActions) + "click Export\nclose\n");
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    ASSERT_TRUE(fs::exists(p.Download() / "DB.zip")) << exported.Out;

    // A second, empty host takes the package as its local update file.
    TExportProfile second("xpo-roundtrip-empty", false);
    fs::copy_file(p.Download() / "DB.zip", second.Download() / "DB.zip");
    const TRunResult imported = RunDialog(second, "Import Zemrak updates into Callbook",
                                          "select rgLocation 1\n"
                                          "select cbImportMode 0\n"
                                          "check cgUseFields Bureau\n"
                                          "check cgUseFields Born\n"
                                          "check cgUseFields Direct\n"
                                          "check cgUseFields SK\n"
                                          "check cgUseFields E-mail\n"
                                          "check cgUseFields Skype\n"
                                          "check cgUseFields Aka\n"
                                          "click Import\n"
                                          "close\n");
    ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
    EXPECT_EQ(imported.Err, "");

    // Every station with its name, QTH, grid, state, manager, checkmark and
    // keyword tokens. The importer writes no empty texts and no FALSE, and
    // keeps the tokens it has no column for as note words.
    EXPECT_EQ(QueryRows(second.HostDb(),
                        "SELECT OMCALL, OMNAME, OMQTH, GRIDSQUARE, STATE, QSLMANAGER, CHK, Use_BUREAU, Use_DIRECT, "
                        "AKA, SKYPE, EMAIL, BORN, SK, NOTES FROM CALLBOOK ORDER BY OMCALL"),
              (TRows{
                  {"DL1ABC", "Hans", "Berlin", "JO62QM", "BE", NullText, "1", "1", NullText, "DL0XYZ", "hans.b",
                   "hans@example.org", "1960", NullText, "LotW:2018-04-05 eQSL:"},
                  {"G4XYZ", "John", "Leeds", "IO93FT", NullText, "M0ABC", NullText, NullText, "1", NullText, NullText,
                   NullText, NullText, NullText, "LotW:2017-01-01"},
                  {"UA3AAA", "Ivan", "Moscow", "KO85UR", NullText, NullText, NullText, NullText, NullText, NullText,
                   NullText, NullText, NullText, "2021", "eQSL:2019-06-30"},
                  {"W1AW", NullText, NullText, "FN31PR", "CT", NullText, "1", NullText, NullText, NullText, NullText,
                   NullText, NullText, NullText, "LotW:"},
              }))
        << imported.Out;
}

// Dates in the note follow the user's short date format (dd.mm.yyyy here);
// everything else is as in the C locale.
TEST(XpoEndToEnd, RunsInAGermanLocale)
{
    const TLocaleEnv german = GermanLocaleEnv();
    if (german.Env.empty()) GTEST_SKIP() << german.Problem;
    TExportProfile p("xpo-e2e-german");
    const TRunResult r =
        RunDialog(p, Menu, "uncheck cbConvertZIP\ncheck cgExtInfo LotW\nclick Export\nclose\n", german.Env);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(
        QueryRows(p.Download() / "DB.mdb", "SELECT CALL, NOTE FROM CALLBOOK ORDER BY CALL"),
        (TRows{{"DL1ABC", "LotW:05.04.2018"}, {"G4XYZ", "LotW:01.01.2017"}, {"UA3AAA", NullText}, {"W1AW", "LotW:"}}));
    const auto log = p.LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(
        log.back().rfind("Exec: " + std::string(Menu) + ", " + (p.Download() / "DB.mdb").string() + ", total 4 (", 0),
        0u)
        << log.back();
}

TEST(XpoEndToEnd, CopyFailureIsReportedAndChangesNothing)
{
    TExportProfile p("xpo-e2e-fail");
    const std::string iniBefore = ReadFileText(p.HostIni());
    const fs::path missing = p.Download() / "missing" / "DB.mdb";
    const TRunResult r =
        RunDialog(p, Menu, "set edTarget " + missing.string() + "\ncheck cbConvertZIP\nclick Export\nclose\n");
    ASSERT_EQ(r.ExitCode, 1) << r.Err; // the run ended with an error message
    EXPECT_EQ(r.Err, "Error: Cannot copy file of reference database:\r\n" + p.RefDb().string() +
                         "\r\nMaybe it's opened by another application.\n");
    EXPECT_EQ(SplitLines(r.Out), (std::vector<std::string>{"* Use DB.mdb in " + missing.parent_path().string()}));
    EXPECT_TRUE(fs::is_empty(p.Download()));
    EXPECT_EQ(ReadFileText(p.HostIni()), iniBefore);
    EXPECT_TRUE(p.LogLines().empty());
}

// The download folder on a small file system of its own (a tmpfs in a
// private mount namespace), from almost no room to plenty: every run either
// produces the complete package or fails leaving nothing it wrote.
TEST(XpoEndToEnd, FullDiskEndsTheRunAndLeavesNothingBehind)
{
    const fs::path unshare = "/usr/bin/unshare";
    if (!fs::exists(unshare) ||
        RunProgram(unshare, {"-m", "sh", "-c", "mount -t tmpfs -o size=8k tmpfs /mnt"}).ExitCode != 0)
        GTEST_SKIP() << "no private mount namespace here (needs root and unshare -m): cannot give a folder a small "
                        "file system";

    TExportProfile p("xpo-e2e-full");
    const int rows = 3000;
    ExecSql(p.HostDb(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(rows) +
                            ") INSERT INTO CALLBOOK(OMCALL, OMNAME, OMQTH, GRIDSQUARE, CHK) "
                            "SELECT 'K' || i || 'X', 'Name ' || i, 'Some town ' || i, 'JO62QM', 1 FROM n");
    // A reference with rows of its own, so that a package holding them shows.
    ExecSql(p.RefDb(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                       "INSERT INTO CALLBOOK(CALL, NAME) SELECT 'REF' || i, 'Reference ' || i FROM n");
    const fs::path actions = p.Profile() / "actions.txt";
    WriteFileText(actions, "click Export\nclose\n");
    const fs::path out = p.Profile() / "out";
    const std::string script =
        "set -u\n"
        "mount -t tmpfs -o size=\"$1\" tmpfs \"$2\" || exit 97\n"
        "shift 2\n"
        "\"$@\"\n"
        "ls -A \"$OUT_DIR_DL\" > \"$OUT_DIR/listing\"\n"
        "if [ -f \"$OUT_DIR_DL/DB.zip\" ]; then unzip -p \"$OUT_DIR_DL/DB.zip\" DB.mdb > \"$OUT_DIR/DB.mdb\"; fi\n"
        "exit 0\n";

    int failed = 0, passed = 0;
    for (const char* size : {"16k", "96k", "2m", "4200k", "8m"}) {
        fs::remove_all(out);
        fs::create_directories(out);
        const TRunResult r = RunProgram(unshare,
                                        {"-m", "sh", "-c", script, "sh", size, p.Download().string(),
                                         HamhostPath().string(), "--profile", p.Profile().string(), "--plugins",
                                         PluginFolder().string(), "run", Menu, "--actions", actions.string()},
                                        {},
                                        {"HKCU_REGISTRY_FILE=" + p.Registry().string(), "OUT_DIR=" + out.string(),
                                         "OUT_DIR_DL=" + p.Download().string()});
        ASSERT_EQ(r.ExitCode, 0) << size << "\n" << r.Err;
        std::vector<std::string> listing = SplitLines(ReadFileText(out / "listing"));
        std::erase(listing, "CallbookExport.err");
        const auto log = p.LogLines();
        const bool success = !log.empty() && log.back().find(", total ") != std::string::npos;
        if (success) {
            ++passed;
            EXPECT_EQ(listing, (std::vector<std::string>{"DB.zip"})) << size;
            // The host's rows (the fixture's four and the made ones), none of the reference's.
            EXPECT_EQ(QueryRows(out / "DB.mdb", "SELECT COUNT(*), SUM(CALL LIKE 'REF%') FROM CALLBOOK"),
                      (TRows{{std::to_string(rows + 4), "0"}}))
                << size;
        } else {
            ++failed;
            EXPECT_TRUE(listing.empty()) << size << ": " << ::testing::PrintToString(listing) << "\n" << r.Err;
            EXPECT_FALSE(r.Err.empty()) << size << ": a failed run says why";
        }
    }
    EXPECT_GT(failed, 0) << "no size was small enough to fail";
    EXPECT_GT(passed, 0) << "no size was large enough to pass";
}

// A package is made from the logger's own file, which cannot be written when
// it is an Access database: refused when the dialog opens, nothing made.
TEST(XpoEndToEnd, AnAccessReferenceDatabaseIsRefusedAndChangesNothing)
{
    TExportProfile p("xpo-e2e-access");
    const std::string access = ReadFileText(fs::path(HAM_SOURCE_DIR) / "tests" / "data" / "jet" / "nwind.mdb");
    WriteFileText(p.RefDb(), access);
    const std::string iniBefore = ReadFileText(p.HostIni());
    const TRunResult r = RunDialog(p, Menu, "click Export\nclose\n");
    ASSERT_EQ(r.ExitCode, 1) << r.Err; // the dialog refused to open
    EXPECT_NE(r.Err.find("Fatal error: The logger's database is an Access file:\r\n" + p.RefDb().string() +
                         "\r\nAccess files are read, never written, here.\r\nPlugin is not applicable.\n"),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(fs::is_empty(p.Download()));
    EXPECT_TRUE(ReadFileText(p.RefDb()) == access);
    EXPECT_EQ(ReadFileText(p.HostIni()), iniBefore);
    EXPECT_TRUE(p.LogLines().empty());
}
