// The export dialog and its run against the real host, in process: controls,
// settings, buttons, the package produced, and the failures.
#include "Host/Host.h"
#include "Platform/Files/Files.h"
#include "Platform/IniFile/IniFile.h"
#include "Platform/Zip/Zip.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"
#include "tests/Plugins/CallbookExport/ExportFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <sstream>

namespace {

const char* const Caption = "Export Callbook as Zemrak updates";

// Plays no user: answers file dialogs from a prepared answer and lets a test
// act while the run processes messages.
class TTestDriver final : public Forms::IModalDriver {
public:
    std::optional<std::string> Answer;
    std::string InitialDir, FileName, DefaultExt;
    int FileDialogs = 0;
    std::function<void()> OnProcessMessages;

    void RunModal(Forms::TForm&) override {}
    void ProcessMessages(Forms::TForm&) override
    {
        if (OnProcessMessages) OnProcessMessages();
    }
    std::optional<std::string> ExecuteFileDialog(Forms::TForm&, const Forms::TFileDialog& d) override
    {
        ++FileDialogs;
        InitialDir = d.InitialDir, FileName = d.FileName, DefaultExt = d.DefaultExt;
        return Answer;
    }
    void ShowException(Forms::TForm&, const std::exception&) override {}
    void BusyChanged(Forms::TForm&, bool) override {}
};

// A dialog whose compacted file cannot take the target's place.
class TRenameFails final : public TfrmXpoZemrak {
public:
    using TfrmXpoZemrak::TfrmXpoZemrak;

protected:
    void ReplaceFile(const std::string& Compacted, const std::string& Target) override
    {
        throw EOSError("Cannot rename '" + Compacted + "' to '" + Target + "': Device or resource busy", 16);
    }
};

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTempFile(const fs::path& folder)
{
    for (const auto& name : FilesIn(folder))
        if (name.rfind("mdb", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp") return true;
    return false;
}

class XpoDialog : public ::testing::Test {
protected:
    XpoDialog() : p_("xpo-dialog") {}

    void SetUp() override { setenv("HKCU_REGISTRY_FILE", p_.Registry().c_str(), 1); }

    // The dialog as the click action hands it over, on a host started on
    // profile, created and activated.
    template <class TDialog = TfrmXpoZemrak> std::unique_ptr<TDialog> Activate(TExportProfile& profile)
    {
        ICore* core = profile.Host().Start("CallbookExport.ext");
        auto d = std::make_unique<TDialog>(core);
        d->SetDriver(&driver_);
        d->Kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
        d->Server = ComPtr<IHostServer>::Query(core, IID_IHostServer);
        d->AppIni = profile.HostIni().string();
        d->Section = "Zemrak Export";
        d->SetCaption(Caption);
        d->DefaultTarget = (profile.Download() / "DB.mdb").string();
        d->DoCreate();
        d->FormActivate();
        return d;
    }
    // The same on the fixture's profile, kept until the test ends.
    template <class TDialog = TfrmXpoZemrak> TDialog& Open()
    {
        auto dialog = Activate<TDialog>(p_);
        TDialog& d = *dialog;
        dialog_ = std::move(dialog);
        return d;
    }
    void Close()
    {
        Forms::TCloseAction action = Forms::TCloseAction::caFree;
        dialog_->FormClose(action);
    }
    fs::path Target() const { return p_.Download() / "DB.mdb"; }
    fs::path Zip() const { return p_.Download() / "DB.zip"; }
    std::vector<std::string> Messages() { return SplitLines(p_.Host().Messages.str()); }
    static void CheckAll(TfrmXpoZemrak& d)
    {
        for (int i = 0; i < eiCount; ++i)
            d.cgExtInfo.SetItemChecked(i, true);
    }
    // The CALLBOOK rows of a package database.
    TRows PackageRows(const fs::path& db)
    {
        return QueryRows(db, "SELECT CALL, NAME, QTH, GRID, STATE, MANAGER, NOTE, CHECKED FROM CALLBOOK ORDER BY CALL");
    }
    fs::path ExtractPackage()
    {
        TZipReader zip(Zip().string());
        const fs::path out = p_.Profile() / "unpacked.mdb";
        zip.Extract(*zip.Find("DB.mdb"), out.string());
        return out;
    }

    TExportProfile p_;
    TTestDriver driver_;
    std::unique_ptr<TfrmXpoZemrak> dialog_;
};

} // namespace

TEST_F(XpoDialog, ExportWritesTheHostCallbookAsAPackage)
{
    auto& d = Open();
    CheckAll(d);
    ASSERT_TRUE(d.dbtExport.Ok().Enabled());
    d.dbtExportClickOk();

    EXPECT_TRUE(d.LastRunDone);
    EXPECT_FALSE(d.dbtExport.Ok().Enabled());
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"DB.zip"}));
    EXPECT_EQ(PackageRows(ExtractPackage()),
              (TRows{
                  {"DL1ABC", "Hans", "Berlin", "JO62QM", "BE", NullText,
                   "Aka:DL0XYZ Skype:hans.b Email:hans@example.org Bureau: LotW:2018-04-05 eQSL: Born:1960", "1"},
                  {"G4XYZ", "John", "Leeds", "IO93FT", NullText, "M0ABC", "Direct: LotW:2017-01-01", "0"},
                  {"UA3AAA", "Ivan", "Moscow", "KO85UR", NullText, NullText, "eQSL:2019-06-30 SK:2021", "0"},
                  {"W1AW", "", NullText, "FN31PR", "CT", NullText, "LotW:", "1"},
              }));

    const auto memo = d.mProgress.Lines();
    ASSERT_EQ(memo.size(), 6u) << d.mProgress.Text();
    EXPECT_EQ(memo[0], "* Use DB.mdb in " + p_.Download().string());
    EXPECT_EQ(memo[1], "   Select 4 callsigns according conditions");
    EXPECT_EQ(memo[2], "   Transfer checkmarks for verified callsigns");
    EXPECT_EQ(memo[3], "   Save 4 callsigns, checkmarks 2, errors not found");
    EXPECT_TRUE(std::regex_match(memo[4], std::regex(R"(   Archive DB\.zip contains DB\.mdb, packed \d+%)")))
        << memo[4];
    EXPECT_TRUE(std::regex_match(memo[5], std::regex(R"(\* Done\. Elapsed time \d\d:\d\d:\d\d)"))) << memo[5];
    EXPECT_EQ(d.psProgress.Percent(), 0);

    auto log = p_.LogLines();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0], "Transfer data from reference database.");
    // The run fills a working copy beside the target, renamed into place when complete.
    EXPECT_TRUE(
        std::regex_match(log[1], std::regex("Connect updates: " + p_.Download().string() + R"(/~Xp[0-9A-F]+\.tmp)")))
        << log[1];
    EXPECT_EQ(log[2], "Transfer checkmarks for verified callsigns.");
    EXPECT_EQ(log[3], "Disconnect updates.");
    EXPECT_EQ(log[4], "Compact updates.");
    EXPECT_EQ(log[5], "Archived into: " + Zip().string());
    EXPECT_TRUE(std::regex_match(log[6], std::regex("Exec: Export Callbook as Zemrak updates, " + Zip().string() +
                                                    R"(, total 4 \(\d\d:\d\d:\d\d\))")))
        << log[6];
    EXPECT_FALSE(fs::exists(d.ErrorLogPath));
    EXPECT_TRUE(Messages().empty());
    // The logger's own file is only read.
    EXPECT_EQ(QueryRows(p_.RefDb(), "SELECT CALL FROM CALLBOOK ORDER BY CALL"), (TRows{{"OLD1"}, {"OLD2"}}));
}

TEST_F(XpoDialog, OmitOptionsChooseTheRowsAndTheDatabaseStaysLoose)
{
    auto& d = Open();
    d.cbConvertZIP.SetChecked(false);
    d.cbOmitLOTW.UserSetChecked(true);
    d.dtOmitLOTW.UserSetText("2018-01-01");
    d.cbOmitEQSL.UserSetChecked(true);
    d.dbtExportClickOk();

    EXPECT_TRUE(d.LastRunDone);
    // LotW active since the date, or eQSL with any date.
    EXPECT_EQ(QueryRows(Target(), "SELECT CALL, NOTE FROM CALLBOOK ORDER BY CALL"),
              (TRows{{"DL1ABC", NullText}, {"UA3AAA", NullText}}));
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"DB.mdb"}));
    EXPECT_EQ(d.mProgress.Lines()[1], "   Select 2 callsigns according conditions");
    const auto log = p_.LogLines();
    EXPECT_TRUE(std::regex_match(log.back(), std::regex("Exec: Export Callbook as Zemrak updates, " +
                                                        Target().string() + R"(, total 2 \(\d\d:\d\d:\d\d\))")))
        << log.back();
    EXPECT_TRUE(IsValidDatabase(Target()));
}

TEST_F(XpoDialog, ActivationRestoresOptionsAndEnablesItemsByHostColumns)
{
    ExecSql(p_.HostDb(), "ALTER TABLE CALLBOOK DROP COLUMN EMAIL");
    WriteFileText(p_.HostIni(), ReadFileText(p_.HostIni()) +
                                    "[Zemrak Export]\nZIP=0\nLotW omit=1\nLotW date=2018-04-05\neQSL omit=0\n"
                                    "eQSL date=2019-01-01\nEmail=1\nAka=1\nSK=7\nExport=/elsewhere/x.mdb\n");
    WriteFileText(p_.Download() / "CallbookExport.err", "old\r\n");
    auto& d = Open();

    EXPECT_FALSE(fs::exists(d.ErrorLogPath));
    EXPECT_EQ(d.ErrorLogPath, (p_.Download() / "CallbookExport.err").string());
    EXPECT_EQ(d.edRefDB.Text(), p_.RefDb().string());
    EXPECT_TRUE(d.edRefDB.ReadOnly());
    EXPECT_FALSE(d.cbConvertZIP.Checked());
    EXPECT_TRUE(d.cbOmitLOTW.Checked());
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2018-04-05");
    EXPECT_TRUE(d.dtOmitLOTW.Enabled() && d.bteDefLOTW.Enabled());
    EXPECT_EQ(d.cbOmitLOTW.Caption(), "for LotW before");
    // An unchecked box clears its stored date.
    EXPECT_TRUE(d.dtOmitEQSL.Empty());
    EXPECT_FALSE(d.dtOmitEQSL.Enabled() || d.bteDefEQSL.Enabled());
    EXPECT_EQ(d.cbOmitEQSL.Caption(), "for eQSL");

    EXPECT_FALSE(d.cgExtInfo.ItemEnabled("E-mail"));
    EXPECT_FALSE(d.cgExtInfo.ItemChecked("E-mail"));
    for (const char* item : {"Aka", "Skype", "Bureau", "Direct", "Born", "LotW", "SK", "eQSL"})
        EXPECT_TRUE(d.cgExtInfo.ItemEnabled(item)) << item;
    EXPECT_EQ(d.CheckedExtInfo(), (TExtInfo{true, false, false, false, false, false, false, true, false}));

    // The stored export file never replaces the default.
    EXPECT_EQ(d.edTarget.Text(), Target().string());
    EXPECT_EQ(d.dlgTarget.InitialDir, p_.Download().string() + "/");
    EXPECT_EQ(d.dlgTarget.DefaultExt, ".mdb");
    EXPECT_EQ(d.dlgTarget.Filter, "Database file|*.mdb");
    EXPECT_EQ(d.ActiveControl(), &d.bteDefLOTW);
    EXPECT_TRUE(d.dbtExport.Ok().Enabled());
}

TEST_F(XpoDialog, UnreadableStoredDateReadsAsToday)
{
    WriteFileText(p_.HostIni(), "[Zemrak Export]\nLotW omit=1\nLotW date=someday\n");
    auto& d = Open();
    ASSERT_TRUE(d.dtOmitLOTW.Date());
    EXPECT_EQ(*d.dtOmitLOTW.Date(), Date());
}

TEST_F(XpoDialog, ExportButtonFollowsTheTarget)
{
    auto& d = Open();
    const std::string ref = p_.RefDb().string();
    struct Case {
        std::string Target;
        bool Enabled;
    } cases[] = {
        {"", false},
        {"   ", false},
        {ref, false},
        {"  " + ref + " ", false},
        // Letter case counts.
        {p_.Profile().string() + "/zemrak/db/db.mdb", true},
        {(p_.Download() / "Other.mdb").string(), true},
    };
    for (const Case& c : cases) {
        d.edTarget.UserSetText(c.Target);
        EXPECT_EQ(d.dbtExport.Ok().Enabled(), c.Enabled) << "'" << c.Target << "'";
    }
    d.edTarget.UserSetText(Target().string());
    d.dbtExportClickOk();
    ASSERT_TRUE(d.LastRunDone);
    EXPECT_FALSE(d.dbtExport.Ok().Enabled());
    // Editing the target allows the next export.
    d.edTarget.UserSetText((p_.Download() / "Second.mdb").string());
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_TRUE(d.dbtExport.Ok().Enabled());
}

namespace {

struct TSettingsCase {
    const char* Name;
    std::string Before;                                     // section text appended to host.ini
    bool WithoutEmail;                                      // host callbook lacks EMAIL
    std::function<void(TfrmXpoZemrak&)> Act;                // the user's changes
    bool Export;                                            // press Export before closing
    std::vector<std::pair<std::string, std::string>> After; // the section's keys; empty: file unchanged
};

} // namespace

TEST_F(XpoDialog, SettingsAreWrittenOnlyAfterASuccessfulExport)
{
    const std::string target = Target().string();
    const std::vector<TSettingsCase> cases = {
        {"closing without an export leaves the file byte for byte",
         "[Zemrak Export]\r\n; mine\r\nZIP = 0\r\nLotW omit=1\r\nLotW date=2018-04-05\r\nAka=1\r\n[Other]\r\nx=1\r\n",
         false,
         [](TfrmXpoZemrak& d) {
             d.cbConvertZIP.UserSetChecked(true);
             d.cbOmitLOTW.UserSetChecked(false);
             d.cgExtInfo.UserSetChecked("Skype", true);
             d.edTarget.UserSetText("/tmp/elsewhere.mdb");
         },
         false,
         {}},
        {"a failed export writes nothing",
         "[Zemrak Export]\nZIP=1\n",
         false,
         [](TfrmXpoZemrak& d) { d.edTarget.UserSetText(d.DefaultTarget + ".missing/DB.mdb"); },
         true,
         {}},
        {"every key after an export",
         "",
         false,
         [](TfrmXpoZemrak& d) {
             d.cbOmitLOTW.UserSetChecked(true);
             d.dtOmitLOTW.UserSetText("2018-04-05");
             d.cgExtInfo.UserSetChecked("Aka", true);
             d.cgExtInfo.UserSetChecked("LotW", true);
         },
         true,
         {{"ZIP", "1"},
          {"LotW omit", "1"},
          {"LotW date", "2018-04-05"},
          {"eQSL omit", "0"},
          {"Aka", "1"},
          {"Skype", "0"},
          {"Bureau", "0"},
          {"Email", "0"},
          {"Direct", "0"},
          {"Born", "0"},
          {"LotW", "1"},
          {"SK", "0"},
          {"eQSL", "0"},
          {"Export", target}}},
        {"an unchecked omit box deletes its date",
         "[Zemrak Export]\neQSL omit=1\neQSL date=2019-01-01\nLotW omit=1\nLotW date=\n",
         false,
         [](TfrmXpoZemrak& d) { d.cbOmitEQSL.UserSetChecked(false); },
         true,
         // A checked box with an empty date keeps an empty text.
         {{"eQSL omit", "0"},
          {"LotW omit", "1"},
          {"LotW date", ""},
          {"ZIP", "1"},
          {"Aka", "0"},
          {"Skype", "0"},
          {"Bureau", "0"},
          {"Email", "0"},
          {"Direct", "0"},
          {"Born", "0"},
          {"LotW", "0"},
          {"SK", "0"},
          {"eQSL", "0"},
          {"Export", target}}},
        {"a disabled item deletes its key",
         "[Zemrak Export]\nEmail=1\nSkype=1\n",
         true,
         [](TfrmXpoZemrak&) {},
         true,
         {{"Skype", "1"},
          {"ZIP", "1"},
          {"LotW omit", "0"},
          {"eQSL omit", "0"},
          {"Aka", "0"},
          {"Bureau", "0"},
          {"Direct", "0"},
          {"Born", "0"},
          {"LotW", "0"},
          {"SK", "0"},
          {"eQSL", "0"},
          {"Export", target}}},
    };
    for (const TSettingsCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TExportProfile profile(std::string("xpo-settings"));
        setenv("HKCU_REGISTRY_FILE", profile.Registry().c_str(), 1);
        if (c.WithoutEmail) ExecSql(profile.HostDb(), "ALTER TABLE CALLBOOK DROP COLUMN EMAIL");
        WriteFileText(profile.HostIni(), ReadFileText(profile.HostIni()) + c.Before);
        const std::string before = ReadFileText(profile.HostIni());

        {
            const auto dialog = Activate(profile);
            TfrmXpoZemrak& d = *dialog;
            c.Act(d);
            if (c.Export) d.dbtExportClickOk();
            EXPECT_EQ(d.LastRunDone, !c.After.empty());
            Forms::TCloseAction action = Forms::TCloseAction::caFree;
            d.FormClose(action);
        }
        const std::string after = ReadFileText(profile.HostIni());
        if (c.After.empty()) {
            EXPECT_EQ(after, before);
            continue;
        }
        TIniDocument doc(after);
        std::vector<std::pair<std::string, std::string>> keys;
        for (const std::string& key : doc.Keys("Zemrak Export"))
            keys.emplace_back(key, doc.Value("Zemrak Export", key).value_or("<none>"));
        // The expected lists above use the profile of this case.
        auto expected = c.After;
        for (auto& [key, value] : expected)
            if (key == "Export") value = (profile.Download() / "DB.mdb").string();
        EXPECT_EQ(keys, expected);
        // The host's own section is kept.
        EXPECT_EQ(doc.Value("Host", "APPLICATION"), "hamhost");
    }
}

TEST_F(XpoDialog, FindButtonsTakeTheEarliestActivity)
{
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET EQSLACTDATE = NULL");
    auto& d = Open();
    d.cbOmitLOTW.UserSetChecked(true);
    d.cbOmitEQSL.UserSetChecked(true);
    d.dtOmitEQSL.UserSetText("2020-01-01");
    d.bteDefLOTW.Button().UserClick();
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2017-01-01");
    EXPECT_EQ(d.cbOmitLOTW.Caption(), "for LotW before");
    // No eQSL activity at all: the edit is emptied.
    d.bteDefEQSL.Button().UserClick();
    EXPECT_TRUE(d.dtOmitEQSL.Empty());
    EXPECT_EQ(d.cbOmitEQSL.Caption(), "for eQSL");
}

TEST_F(XpoDialog, FindButtonFailureKeepsTheDate)
{
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET LOTWACTDATE = 'soon' WHERE LOTWACTDATE IS NOT NULL");
    auto& d = Open();
    d.cbOmitLOTW.UserSetChecked(true);
    d.dtOmitLOTW.UserSetText("2018-04-05");
    EXPECT_ANY_THROW(d.bteDefLOTW.Button().UserClick());
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2018-04-05");
    // The query was released: a later search works.
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET LOTWACTDATE = '2016-02-03 04:05:06' WHERE LOTWACTDATE = 'soon'");
    d.bteDefLOTW.Button().UserClick();
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2016-02-03");
}

TEST_F(XpoDialog, CalendarButtonGoesBackTwelveCalendarMonths)
{
    auto& d = Open();
    d.cbOmitLOTW.UserSetChecked(true);
    d.dtOmitLOTW.UserSetText("2024-02-29");
    d.bteDefLOTW.AltBtn().UserClick();
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2023-02-28");
    d.bteDefLOTW.AltBtn().UserClick();
    EXPECT_EQ(d.dtOmitLOTW.Text(), "2022-02-28");
    // An empty edit counts from today.
    d.cbOmitEQSL.UserSetChecked(true);
    d.bteDefEQSL.AltBtn().UserClick();
    EXPECT_EQ(d.dtOmitEQSL.Date(), IncMonth(Date(), -12));
    // Unchecking clears and locks.
    d.cbOmitLOTW.UserSetChecked(false);
    EXPECT_TRUE(d.dtOmitLOTW.Empty());
    EXPECT_FALSE(d.bteDefLOTW.Enabled());
    EXPECT_EQ(d.cbOmitLOTW.Caption(), "for LotW");
}

TEST_F(XpoDialog, BrowseProposesTheCurrentOrDefaultFile)
{
    auto& d = Open();
    // No file at the target yet: the default's folder and name.
    driver_.Answer = (p_.Download() / "pack.v2.mdb").string();
    d.edTarget.Button().UserClick();
    EXPECT_EQ(driver_.InitialDir, p_.Download().string() + "/");
    EXPECT_EQ(driver_.FileName, "DB");
    EXPECT_EQ(driver_.DefaultExt, ".mdb");
    EXPECT_EQ(d.edTarget.Text(), *driver_.Answer);

    // An existing file at the target: its folder and name.
    WriteFileText(*driver_.Answer, "x");
    driver_.Answer.reset();
    d.edTarget.Button().UserClick();
    EXPECT_EQ(driver_.FileName, "pack.v2");
    EXPECT_EQ(d.edTarget.Text(), (p_.Download() / "pack.v2.mdb").string()); // cancelled: unchanged
}

TEST_F(XpoDialog, ReferenceThatCannotBeCopiedLeavesTheTargetAlone)
{
    auto& d = Open();
    WriteFileText(Target(), "earlier export");
    fs::remove(p_.RefDb());
    fs::create_directory(p_.RefDb()); // not a file any more
    d.dbtExportClickOk();

    EXPECT_FALSE(d.LastRunDone);
    EXPECT_EQ(ReadFileText(Target()), "earlier export");
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Error: Cannot copy file of reference database:",
                                                    p_.RefDb().string(), "Maybe it's opened by another application."}));
    EXPECT_EQ(d.mProgress.Lines().size(), 1u);
    EXPECT_TRUE(p_.LogLines().empty());
    EXPECT_TRUE(d.dbtExport.Ok().Enabled());
}

TEST_F(XpoDialog, MissingTargetFolderIsACopyFailure)
{
    auto& d = Open();
    const fs::path missing = p_.Download() / "missing";
    d.edTarget.UserSetText((missing / "DB.mdb").string());
    d.dbtExportClickOk();
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_FALSE(fs::exists(missing));
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages()[0], "Error: Cannot copy file of reference database:");
    EXPECT_EQ(d.mProgress.Lines(), (std::vector<std::string>{"* Use DB.mdb in " + missing.string()}));
}

TEST_F(XpoDialog, TargetNamingTheReferenceItselfIsRefused)
{
    auto& d = Open();
    d.edTarget.UserSetText((p_.Profile() / "zemrak" / "db" / "." / "DB.mdb").string());
    ASSERT_TRUE(d.dbtExport.Ok().Enabled());
    d.dbtExportClickOk();
    EXPECT_FALSE(d.LastRunDone);
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_EQ(Messages()[2], "The export file is the reference database itself.");
    EXPECT_EQ(QueryRows(p_.RefDb(), "SELECT CALL FROM CALLBOOK ORDER BY CALL"), (TRows{{"OLD1"}, {"OLD2"}}));
}

TEST_F(XpoDialog, ArchiverFailureLeavesNothingTheRunWrote)
{
    fs::create_directories(Zip() / "in-the-way");
    auto& d = Open();
    d.dbtExportClickOk();

    EXPECT_FALSE(d.LastRunDone);
    EXPECT_TRUE(d.dbtExport.Ok().Enabled());
    const auto messages = Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], "Archiving error: Message:");
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"DB.zip"}));
    EXPECT_TRUE(fs::is_directory(Zip() / "in-the-way"));
    EXPECT_EQ(p_.LogLines().back(), "Exec: " + std::string(Caption) + ", " + Target().string() + " creation failed.");
    EXPECT_EQ(d.mProgress.Lines().back().rfind("* Done. Elapsed time ", 0), 0u);
}

TEST_F(XpoDialog, UnwritableDescriptionEndsTheRun)
{
    fs::create_directories(p_.Download() / "DB.nfo" / "in-the-way");
    auto& d = Open();
    EXPECT_ANY_THROW(d.dbtExportClickOk());
    EXPECT_FALSE(d.LastRunDone);
    const auto memo = d.mProgress.Lines();
    EXPECT_EQ(std::count_if(memo.begin(), memo.end(), [](const std::string& l) { return l.rfind("* Done", 0) == 0; }),
              0);
    // Nothing the run wrote stays; the folder in the way is not the run's.
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"DB.nfo"}));
    EXPECT_TRUE(fs::is_directory(p_.Download() / "DB.nfo" / "in-the-way"));
}

TEST_F(XpoDialog, FailedCompactionEndsTheRunAndKeepsAnEarlierTarget)
{
    WriteFileText(Target(), "earlier export");
    auto& d = Open<TRenameFails>();
    d.cbConvertZIP.SetChecked(false);
    d.dbtExportClickOk();

    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "System error: Message:");
    EXPECT_EQ(messages[1].rfind("Cannot rename '" + p_.Download().string() + "/mdb", 0), 0u) << messages[1];
    EXPECT_EQ(messages[2], "Please restart application.");
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"DB.mdb"}));
    EXPECT_EQ(ReadFileText(Target()), "earlier export");
    EXPECT_EQ(p_.LogLines().back(), "Exec: " + std::string(Caption) + ", " + Target().string() + " creation failed.");
}

TEST_F(XpoDialog, TransferInWhichEveryRowIsRefusedIsAnError)
{
    // A reference callbook without GRID refuses every row that has a grid.
    fs::remove(p_.RefDb());
    ExecSql(p_.RefDb(), "CREATE TABLE CALLBOOK(CALL TEXT, NAME TEXT, QTH TEXT, STATE TEXT, MANAGER TEXT, "
                        "NOTE TEXT, CHECKED INTEGER)");
    auto& d = Open();
    try {
        d.dbtExportClickOk();
        ADD_FAILURE() << "the run passed";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("No callsign could be written"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_FALSE(d.adc.Connected());
    EXPECT_TRUE(fs::is_empty(p_.Download()) ||
                FilesIn(p_.Download()) == (std::vector<std::string>{"CallbookExport.err"}));
    const auto log = p_.LogLines();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("Exec:", 0) == 0; }), 0);
}

TEST_F(XpoDialog, TargetsOwnedByOthersAreRefusedBeforeAnythingIsCopied)
{
    // The logger's logs and the host database, each under several spellings.
    const fs::path logs = p_.Profile() / "zemrak" / "db" / "logs.mdb";
    ExecSql(logs, "CREATE TABLE ACONFIG(LOGNAME TEXT)");
    fs::create_directory_symlink(p_.Profile() / "zemrak" / "db", p_.Profile() / "linked-db");
    fs::create_symlink(p_.HostDb(), p_.Download() / "host-link.mdb");
    fs::create_hard_link(logs, p_.Profile() / "logs-hardlink.mdb");
    struct TCase {
        fs::path Target;
        std::string Reason;
    };
    const std::vector<TCase> cases{
        {p_.HostDb(), "The export file is a database in use by the host."},
        {p_.Download() / "host-link.mdb", "The export file is a database in use by the host."},
        {p_.Download() / ".." / "host.db", "The export file is a database in use by the host."},
        {logs, "The export file is a file of the logger's installation."},
        {p_.Profile() / "linked-db" / "logs.mdb", "The export file is a file of the logger's installation."},
        {p_.Profile() / "logs-hardlink.mdb", "The export file is a file of the logger's installation."},
        {p_.Profile() / "zemrak" / "new.mdb", "The export file is a file of the logger's installation."},
        {p_.Profile() / "linked-db" / "DB.mdb", "The export file is the reference database itself."},
        {p_.Download() / ".." / "zemrak" / "db" / "DB.mdb", "The export file is the reference database itself."},
    };
    auto& d = Open();
    d.cbConvertZIP.SetChecked(false);
    const std::string hostBefore = ReadFileText(p_.HostDb());
    const std::string logsBefore = ReadFileText(logs);
    const std::string refBefore = ReadFileText(p_.RefDb());
    for (const TCase& c : cases) {
        p_.Host().Messages.str({});
        d.edTarget.UserSetText(c.Target.string());
        d.dbtExportClickOk();
        EXPECT_FALSE(d.LastRunDone) << c.Target;
        const auto messages = Messages();
        ASSERT_EQ(messages.size(), 3u) << c.Target;
        EXPECT_EQ(messages[0], "Error: Cannot copy file of reference database:");
        EXPECT_EQ(messages[2], c.Reason) << c.Target;
    }
    EXPECT_EQ(ReadFileText(p_.HostDb()), hostBefore);
    EXPECT_EQ(ReadFileText(logs), logsBefore);
    EXPECT_EQ(ReadFileText(p_.RefDb()), refBefore);
    EXPECT_FALSE(fs::exists(p_.Profile() / "zemrak" / "new.mdb"));
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"host-link.mdb"}));

    // A normal new file is written.
    p_.Host().Messages.str({});
    d.edTarget.UserSetText((p_.Download() / "New.mdb").string());
    d.dbtExportClickOk();
    EXPECT_TRUE(d.LastRunDone) << p_.Host().Messages.str();
    EXPECT_EQ(PackageRows(p_.Download() / "New.mdb").size(), 4u);
}

TEST_F(XpoDialog, CompactionFailureLeavesTheFileAsItWas)
{
    auto& d = Open();
    const fs::path file = p_.Download() / "notes.mdb";
    WriteFileText(file, "this is not a database");
    d.CompactDatabaseFile(file.string());
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages()[0], "System error: Message:");
    EXPECT_EQ(Messages().back(), "Please restart application.");
    EXPECT_EQ(ReadFileText(file), "this is not a database");
    EXPECT_FALSE(HasTempFile(p_.Download()));
}

TEST_F(XpoDialog, CompactionWithoutAFolderUsesTheCurrentOne)
{
    auto& d = Open();
    const fs::path cwd = fs::current_path();
    fs::current_path(p_.Download());
    struct TBack {
        fs::path to;
        ~TBack() { fs::current_path(to); }
    } back{cwd};
    d.edTarget.UserSetText("Relative.mdb");
    d.dbtExportClickOk();
    EXPECT_TRUE(d.LastRunDone);
    EXPECT_EQ(d.mProgress.Lines()[0], "* Use Relative.mdb in ");
    EXPECT_EQ(FilesIn(p_.Download()), (std::vector<std::string>{"Relative.zip"}));
    const auto log = p_.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Compact updates."), log.end());
}

TEST_F(XpoDialog, HostFailureEndsTheRunAndClosesTheTarget)
{
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET LOTWACTDATE = 'garbage' WHERE OMCALL = 'G4XYZ'");
    auto& d = Open();
    d.cgExtInfo.SetItemChecked("LotW", true);
    EXPECT_ANY_THROW(d.dbtExportClickOk());
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_FALSE(d.adc.Connected());
    EXPECT_TRUE(d.dbtExport.Ok().Enabled());
    EXPECT_EQ(p_.LogLines().back(), "Disconnect updates.");
    // The partly filled copy is gone rather than passing for an export.
    EXPECT_FALSE(fs::exists(Target()));
    // The next run is possible once the data is mended.
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET LOTWACTDATE = NULL WHERE OMCALL = 'G4XYZ'");
    d.dbtExportClickOk();
    EXPECT_TRUE(d.LastRunDone);
}

TEST_F(XpoDialog, TargetThatIsNoDatabaseEndsTheRunClosed)
{
    WriteFileText(p_.RefDb(), "not a database");
    auto& d = Open();
    EXPECT_ANY_THROW(d.dbtExportClickOk());
    EXPECT_FALSE(d.adc.Connected());
    EXPECT_FALSE(d.LastRunDone);
    EXPECT_FALSE(fs::exists(Target()));
}

TEST_F(XpoDialog, RefusedRowsAreCountedAndLoggedAcrossRuns)
{
    // A reference callbook without GRID refuses every row that has a grid.
    fs::remove(p_.RefDb());
    ExecSql(p_.RefDb(), "CREATE TABLE CALLBOOK(CALL TEXT, NAME TEXT, QTH TEXT, STATE TEXT, MANAGER TEXT, "
                        "NOTE TEXT, CHECKED INTEGER)");
    ExecSql(p_.HostDb(), "UPDATE CALLBOOK SET GRIDSQUARE = NULL;"
                         "INSERT INTO CALLBOOK(OMCALL, GRIDSQUARE) VALUES('VERYLONGCALLSIGN/P/MM', 'AA00')");
    auto& d = Open();
    d.cbConvertZIP.SetChecked(false);
    d.dbtExportClickOk();

    EXPECT_TRUE(d.LastRunDone);
    EXPECT_EQ(d.mProgress.Lines()[3], "   Save 4 callsigns, checkmarks 2, found 1 errors");
    const std::string line = "VERYLONGCALLSIGN/P/M\t> INSERT INTO CALLBOOK(CALL,GRID,CHECKED) "
                             "VALUES('VERYLONGCALLSIGN/P/M','AA00',FALSE)";
    EXPECT_EQ(ReadFileText(d.ErrorLogPath), line + "\r\n");
    EXPECT_EQ(QueryRows(Target(), "SELECT COUNT(*) FROM CALLBOOK"), (TRows{{"4"}}));

    d.edTarget.UserSetText((p_.Download() / "Again.mdb").string());
    d.dbtExportClickOk();
    EXPECT_EQ(ReadFileText(d.ErrorLogPath), line + "\r\n" + line + "\r\n");
}

TEST_F(XpoDialog, EmptySelectionGivesAnEmptyValidDatabase)
{
    ExecSql(p_.HostDb(), "DELETE FROM CALLBOOK");
    auto& d = Open();
    d.cbConvertZIP.SetChecked(false);
    int highest = 0;
    d.psProgress.AddObserver(
        [&](Forms::TControl&, const Forms::TChange&) { highest = std::max(highest, d.psProgress.Percent()); });
    d.dbtExportClickOk();

    EXPECT_TRUE(d.LastRunDone);
    EXPECT_EQ(d.mProgress.Lines()[1], "   Select 0 callsigns according conditions");
    EXPECT_EQ(d.mProgress.Lines()[3], "   Save 0 callsigns, errors not found");
    EXPECT_EQ(highest, 100);
    EXPECT_EQ(d.psProgress.Percent(), 0);
    EXPECT_TRUE(IsValidDatabase(Target()));
    EXPECT_TRUE(QueryRows(Target(), "SELECT * FROM CALLBOOK").empty());
    // The rebuilt table has the reference table's columns, and only CALLBOOK is left.
    EXPECT_EQ(QueryRows(Target(), "SELECT name FROM pragma_table_info('CALLBOOK')"), (TRows{{"CALL"},
                                                                                            {"NAME"},
                                                                                            {"QTH"},
                                                                                            {"GRID"},
                                                                                            {"STATE"},
                                                                                            {"MANAGER"},
                                                                                            {"NOTE"},
                                                                                            {"CHECKED"},
                                                                                            {"COUNTRY"},
                                                                                            {"QSLCOUNT"}}));
    EXPECT_EQ(QueryRows(Target(), "SELECT name FROM sqlite_master WHERE type = 'table'"), (TRows{{"CALLBOOK"}}));
    EXPECT_FALSE(HasTempFile(p_.Download()));
}

TEST_F(XpoDialog, EarlierArchiveIsReplacedNotExtended)
{
    WriteFileText(p_.Download() / "junk.txt", "junk");
    CreateZipArchive(Zip().string(), {(p_.Download() / "junk.txt").string()});
    fs::remove(p_.Download() / "junk.txt");
    auto& d = Open();
    d.dbtExportClickOk();
    TZipReader zip(Zip().string());
    std::vector<std::string> names;
    for (const auto& e : zip.Entries())
        names.push_back(e.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"DB.mdb", "DB.nfo"}));
}

TEST_F(XpoDialog, SecondClickDuringARunIsIgnored)
{
    auto& d = Open();
    int clicks = 0;
    driver_.OnProcessMessages = [&] {
        if (clicks++ == 0) d.dbtExportClickOk();
    };
    d.dbtExportClickOk();
    EXPECT_TRUE(d.LastRunDone);
    const auto memo = d.mProgress.Lines();
    EXPECT_EQ(std::count_if(memo.begin(), memo.end(), [](const std::string& l) { return l.rfind("* Use", 0) == 0; }),
              1);
}
