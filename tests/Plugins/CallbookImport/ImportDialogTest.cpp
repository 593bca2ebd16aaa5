// The import dialog and its runs against the real host, in process: the
// controls and settings, the preconditions of a run, and the merge into the
// host callbook from packages built on disk.
#include "Plugins/CallbookImport/uImpZemrak.h"

#include "Host/Host.h"
#include "Includes/uCommDXCC/uCommDXCC.h"
#include "tests/Plugins/CallbookImport/ImportTestSupport.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <regex>
#include <sstream>

namespace {

// Answers file dialogs with a path and remembers what they proposed.
class TFileDriver final : public Forms::IModalDriver {
public:
    std::optional<std::string> Answer;
    std::string InitialDir, FileName, DefaultExt, Title, Filter;
    int Asked = 0;

    void RunModal(Forms::TForm&) override {}
    void ProcessMessages(Forms::TForm&) override {}
    std::optional<std::string> ExecuteFileDialog(Forms::TForm&, const Forms::TFileDialog& dialog) override
    {
        ++Asked;
        InitialDir = dialog.InitialDir;
        FileName = dialog.FileName;
        DefaultExt = dialog.DefaultExt;
        Title = dialog.Title;
        Filter = dialog.Filter;
        return Answer;
    }
    void ShowException(Forms::TForm&, const std::exception&) override {}
    void BusyChanged(Forms::TForm&, bool) override {}
};

// Gives its readings in turn.
class TSteppingClock final : public IClock {
public:
    explicit TSteppingClock(std::vector<std::uint64_t> ticks) : ticks_(std::move(ticks)) {}
    std::uint64_t TickCount() const override { return ticks_[std::min(next_++, ticks_.size() - 1)]; }

private:
    std::vector<std::uint64_t> ticks_;
    mutable std::size_t next_ = 0;
};

const std::string Caption = "Import Zemrak updates into Callbook";
const std::string DefaultAddress = "https://updates.example.invalid/DB.zip";

class ImportDialog : public ::testing::Test {
protected:
    ImportDialog()
    {
        core_ = host_.Start("CallbookImport.ext");
        hostIni_ = ReadFileText(Ini());
        ClearDictionaries();
    }

    // The dialog as the menu command sets it up, activated.
    std::unique_ptr<TfrmImpZemrak> Open()
    {
        auto dialog = std::make_unique<TfrmImpZemrak>(core_);
        dialog->SetCaption(Caption);
        dialog->Kernel = ComPtr<IHostKernel>::Query(core_, IID_IHostKernel);
        dialog->Server = ComPtr<IHostServer>::Query(core_, IID_IHostServer);
        dialog->AppIni = Ini().string();
        dialog->Section = "Zemrak Import";
        dialog->InternetResource = DefaultAddress;
        dialog->LocalResource = (Download() / "DB.zip").string();
        dialog->dlgSource.Filter = "Archive files|*.zip";
        dialog->Clock = &clock_;
        dialog->DoCreate();
        dialog->FormActivate();
        return dialog;
    }
    // Activated on a local package with the given mode and items.
    std::unique_ptr<TfrmImpZemrak> OpenOn(const fs::path& package, int mode, std::vector<int> items)
    {
        std::string settings =
            "[Zemrak Import]\nLocation=Local\nResource=" + package.string() + "\nMode=" + std::to_string(mode) + "\n";
        for (int item : items)
            settings += std::string(UseFieldKeys[item]) + "=1\n";
        WriteFileText(Ini(), hostIni_ + "\n" + settings);
        return Open();
    }
    // Sets the host's callbook rows with a statement each.
    void Host(const std::vector<std::string>& statements)
    {
        for (const auto& s : statements)
            ASSERT_EQ(host_->ExecSQL(s), 1) << s;
    }
    void RawSql(const std::string& sql)
    {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(host_->Database(), sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
    }
    // Rows of a query, cells joined by '|', NULL as "-".
    std::vector<std::string> Rows(const std::string& sql)
    {
        std::vector<std::string> rows;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(host_->Database(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (i) row += '|';
                auto text = sqlite3_column_text(stmt, i);
                row += text ? reinterpret_cast<const char*>(text) : "-";
            }
            rows.push_back(row);
        }
        sqlite3_finalize(stmt);
        return rows;
    }
    // Host log lines without their time stamps.
    std::vector<std::string> HostLog()
    {
        std::vector<std::string> lines;
        for (const auto& line : SplitLines(ReadFileText(dir_.Path() / "host.log")))
            lines.push_back(line.substr(line.find('\t') + 1));
        return lines;
    }
    std::string ErrorFile() { return ReadFileText(Download() / "CallbookImport.err"); }
    // The memo with the temporary names made fixed.
    static std::string Memo(const TfrmImpZemrak& dialog)
    {
        return std::regex_replace(dialog.mProgress.Text(), std::regex("~Db[0-9A-F]+\\.tmp"), "~Db.tmp");
    }

    fs::path Ini() const { return dir_.Path() / "host.ini"; }
    fs::path Download() const { return dir_.Path() / "download"; }

    TTestHost host_{"import-dialog"};
    const TTempDir& dir_ = host_.Dir();
    ICore* core_ = nullptr;
    std::string hostIni_; // the profile's own settings
    TManualClock clock_;
};

} // namespace

TEST_F(ImportDialog, FirstUse)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->Location, LocationInternet);
    EXPECT_EQ(dialog->rgLocation.ItemIndex(), 0);
    EXPECT_EQ(dialog->edSource.Text(), DefaultAddress);
    EXPECT_FALSE(dialog->edSource.ReadOnly());
    EXPECT_FALSE(dialog->edSource.Button().Visible());
    EXPECT_EQ(dialog->cbImportMode.ItemIndex(), 2);
    EXPECT_EQ(dialog->cbImportMode.Text(), "only for callsigns already presented in Callbook");
    EXPECT_TRUE(dialog->cgUseFields.ItemChecked(ufCallsign));
    EXPECT_TRUE(dialog->cgUseFields.ItemLocked(ufCallsign));
    for (int i = 1; i < UseFieldCount; ++i) {
        EXPECT_FALSE(dialog->cgUseFields.ItemChecked(i)) << i;
        EXPECT_FALSE(dialog->cgUseFields.ItemLocked(i)) << i;
        const bool bold = i == ufName || i == ufQTH || i == ufState || i == ufQSLvia || i == ufGrid;
        EXPECT_EQ(dialog->cgUseFields.ItemBold(i), bold) << i;
    }
    EXPECT_EQ(dialog->cgUseFields.Item(7).Caption, "E-mail");
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled()) << "no field chosen yet";
    dialog->cgUseFields.UserSetChecked("Skype", true);
    EXPECT_TRUE(dialog->dbtUpdate.Ok().Enabled());
    dialog->cgUseFields.UserSetChecked("Skype", false);
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled());
    dialog->cgUseFields.UserSetChecked("Skype", true);
    dialog->edSource.UserSetText("   ");
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled()) << "a blank address";
}

TEST_F(ImportDialog, SavedSettingsComeBack)
{
    const fs::path package = dir_ / "mine.zip";
    WritePackage(package, {});
    auto dialog = OpenOn(package, 0, {ufBureau, ufSkype});
    EXPECT_EQ(dialog->Location, LocationLocal);
    EXPECT_EQ(dialog->rgLocation.ItemIndex(), 1);
    EXPECT_EQ(dialog->edSource.Text(), package.string());
    EXPECT_TRUE(dialog->edSource.ReadOnly());
    EXPECT_TRUE(dialog->edSource.Button().Visible());
    EXPECT_EQ(dialog->cbImportMode.ItemIndex(), 0);
    EXPECT_TRUE(dialog->cgUseFields.ItemChecked(ufBureau));
    EXPECT_TRUE(dialog->cgUseFields.ItemChecked(ufSkype));
    EXPECT_FALSE(dialog->cgUseFields.ItemChecked(ufAka));
    EXPECT_TRUE(dialog->dbtUpdate.Ok().Enabled());

    // The same settings naming a file that is gone.
    dialog.reset();
    fs::remove(package);
    dialog = Open();
    EXPECT_EQ(dialog->edSource.Text(), package.string());
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled());
}

TEST_F(ImportDialog, ModesForceTheirItems)
{
    const int forced[] = {ufName, ufQTH, ufState, ufQSLvia, ufDXCC, ufGrid};
    struct Case {
        int mode;
        bool checked, locked;
    } cases[] = {{0, true, false}, {1, true, true}, {2, false, false}};
    for (const Case& c : cases) {
        WriteFileText(Ini(), "[Zemrak Import]\nMode=" + std::to_string(c.mode) + "\nBureau=1\n");
        auto dialog = Open();
        for (int item : forced) {
            EXPECT_EQ(dialog->cgUseFields.ItemChecked(item), c.checked) << c.mode << " " << item;
            EXPECT_EQ(dialog->cgUseFields.ItemLocked(item), c.locked) << c.mode << " " << item;
        }
        EXPECT_TRUE(dialog->cgUseFields.ItemChecked(ufBureau));
        EXPECT_FALSE(dialog->cgUseFields.ItemLocked(ufBureau));
    }
    // Choosing a mode: 1 locks, 0 unlocks and keeps them checked, 2 leaves them.
    auto dialog = Open();
    dialog->cbImportMode.UserSelect(1);
    EXPECT_THROW(dialog->cgUseFields.UserSetChecked("Name", false), Forms::EUserRefused);
    dialog->cbImportMode.UserSelect(0);
    dialog->cgUseFields.UserSetChecked("Name", false);
    dialog->cbImportMode.UserSelect(2);
    EXPECT_FALSE(dialog->cgUseFields.ItemChecked(ufName));
    EXPECT_TRUE(dialog->cgUseFields.ItemChecked(ufGrid));
    // A mode the list does not have falls back to the default.
    WriteFileText(Ini(), "[Zemrak Import]\nMode=7\n");
    EXPECT_EQ(Open()->cbImportMode.ItemIndex(), 2);
}

TEST_F(ImportDialog, EachLocationKeepsItsOwnText)
{
    WriteFileText(Ini(), "[Zemrak Import]\nLocation=Internet\nResource=http://saved.example.invalid/x.zip\n");
    auto dialog = Open();
    EXPECT_EQ(dialog->edSource.Text(), "http://saved.example.invalid/x.zip");
    dialog->edSource.UserSetText("http://typed.example.invalid/y.zip");
    dialog->rgLocation.UserSelect("Local data file");
    EXPECT_EQ(dialog->Location, LocationLocal);
    EXPECT_EQ(dialog->edSource.Text(), (Download() / "DB.zip").string());
    EXPECT_THROW(dialog->edSource.UserSetText("typed"), Forms::EUserRefused);
    dialog->rgLocation.UserSelect(0);
    EXPECT_EQ(dialog->edSource.Text(), "http://saved.example.invalid/x.zip");
    // Another spelling of the location keeps the menu command's choice.
    WriteFileText(Ini(), "[Zemrak Import]\nLocation=local\n");
    EXPECT_EQ(Open()->Location, LocationInternet);
}

TEST_F(ImportDialog, BrowseProposesTheCurrentFile)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {});
    auto dialog = OpenOn(package, 2, {ufSkype});
    TFileDriver driver;
    dialog->SetDriver(&driver);
    driver.Answer = (dir_ / "other.zip").string();
    dialog->edSource.Button().UserClick();
    EXPECT_EQ(driver.Title, "Select updates...");
    EXPECT_EQ(driver.Filter, "Archive files|*.zip");
    EXPECT_EQ(driver.InitialDir, dir_.Path().string());
    EXPECT_EQ(driver.FileName, "DB");
    EXPECT_EQ(driver.DefaultExt, ".zip");
    EXPECT_EQ(dialog->edSource.Text(), (dir_ / "other.zip").string());
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled()) << "other.zip does not exist";

    // A text that names no file becomes the folder; cancelling changes nothing.
    driver.Answer.reset();
    dialog->edSource.Button().UserClick();
    EXPECT_EQ(driver.InitialDir, (dir_ / "other.zip").string());
    EXPECT_EQ(driver.FileName, "");
    EXPECT_EQ(dialog->edSource.Text(), (dir_ / "other.zip").string());
}

TEST_F(ImportDialog, SettingsAreWrittenOnlyAfterARunThatChangedRecords)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Ivan"}});
    OpenOn(package, 2, {ufSkype});
    const std::string before = ReadFileText(Ini());

    // Closing without a run.
    {
        auto dialog = Open();
        Forms::TCloseAction action = Forms::TCloseAction::caFree;
        dialog->FormClose(action);
        EXPECT_EQ(ReadFileText(Ini()), before);
    }
    // A run that changes nothing (mode 2 on an empty callbook).
    {
        auto dialog = Open();
        dialog->dbtUpdateClickOk();
        EXPECT_FALSE(dialog->LastRunDone);
        Forms::TCloseAction action = Forms::TCloseAction::caFree;
        dialog->FormClose(action);
        EXPECT_EQ(ReadFileText(Ini()), before);
    }
    // A run that inserts.
    {
        auto dialog = Open();
        dialog->cbImportMode.UserSelect(0);
        dialog->dbtUpdateClickOk();
        EXPECT_TRUE(dialog->LastRunDone);
        Forms::TCloseAction action = Forms::TCloseAction::caFree;
        dialog->FormClose(action);
    }
    const std::string after = ReadFileText(Ini());
    for (const char* line : {"Location=Local", "Mode=0", "Bureau=0", "Name=1", "Skype=1", "DXCC=1", "Aka=0"})
        EXPECT_NE(after.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << after;
    EXPECT_NE(after.find("Resource=" + package.string()), std::string::npos);
}

TEST_F(ImportDialog, RunLocksTheDialog)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Ivan"}});
    auto dialog = OpenOn(package, 0, {});
    dialog->dbtUpdate.Ok().UserClick();
    EXPECT_TRUE(dialog->LastRunDone);
    EXPECT_FALSE(dialog->dbtUpdate.Ok().Enabled());
    for (Forms::TControl* control : std::initializer_list<Forms::TControl*>{
             &dialog->edSource, &dialog->rgLocation, &dialog->cbImportMode, &dialog->cgUseFields})
        EXPECT_TRUE(control->ReadOnly()) << control->Name();
    EXPECT_THROW(dialog->dbtUpdate.Ok().UserClick(), Forms::EUserRefused);
    dialog->dbtUpdate.Cancel().UserClick();
    EXPECT_EQ(dialog->ModalResult(), Forms::mrCancel);
}

TEST_F(ImportDialog, CountryDictionaryTablesAreCheckedOnlyForTheCountryItem)
{
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Ivan"}});
    RawSql("DROP TABLE PROVINCE");
    {
        auto dialog = OpenOn(package, 0, {});
        ASSERT_TRUE(dialog->cgUseFields.ItemChecked(ufDXCC));
        dialog->dbtUpdateClickOk();
        EXPECT_EQ(host_.Messages.str(), "Missing information: You need to load actual dictionary data from Internet\r\n"
                                        "or local source, use menu: Set -> Countries list.\n");
        EXPECT_FALSE(dialog->LastRunDone);
        EXPECT_EQ(dialog->mProgress.Text(), "");
        EXPECT_TRUE(dialog->dbtUpdate.Ok().Enabled());
        EXPECT_FALSE(dialog->edSource.Button().Owner().ReadOnly() && dialog->rgLocation.ReadOnly());
        EXPECT_TRUE(Rows("SELECT OMCALL FROM CALLBOOK").empty());
    }
    host_.Messages.str("");
    auto dialog = Open();
    dialog->cgUseFields.UserSetChecked("DXCC", false);
    dialog->dbtUpdateClickOk();
    EXPECT_EQ(host_.Messages.str(), "");
    EXPECT_EQ(Rows("SELECT OMCALL, OMNAME, CONTINENT FROM CALLBOOK"), (std::vector<std::string>{"Q1ABC|Ivan|-"}));
}

// ---- runs ------------------------------------------------------------------

TEST_F(ImportDialog, CompleteRunInModeZero)
{
    Host({"INSERT INTO CALLBOOK(OMCALL,OMNAME,CHK,Use_BUREAU,NOTES) VALUES('Q1ABC','Ivan',TRUE,FALSE,NULL)",
          "INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH,GRIDSQUARE,CHK) VALUES('Q2FULL','Old','Here','AA00',TRUE)",
          "INSERT INTO CALLBOOK(OMCALL,OMQTH) VALUES('Q7HOST','Stays')"});
    Host({"INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) "
          "VALUES(1,'Q[0-9][A-Z]+','QA','EUROPE','77','281','16')"});
    // The host refuses one station.
    RawSql("CREATE TRIGGER refuse BEFORE INSERT ON CALLBOOK WHEN NEW.OMCALL='Q5BAD' "
           "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {
                              {"Q1ABC", "Ivan Petrov", "Moscow", "KO85", {}, "bureau", "Aka:Q9XYZ Email:i@p", false},
                              {"Q2FULL", "New", "There", "BB11", {}, {}, {}, false},
                              {"Q3NEW", "O'Brien", {}, {}, "MO", "UA3AAA", "  old   remark ", true},
                              {"Q4ODD", {}, {}, {}, {}, "via W3HNK", {}, false},
                              {"Q5BAD", "Refused", {}, {}, {}, {}, {}, false},
                          });
    const std::string archive = ReadBinary(package);
    auto dialog = OpenOn(package, 0, {ufBureau, ufAka, ufEmail});
    dialog->dbtUpdateClickOk();

    EXPECT_EQ(Memo(*dialog), "* Use: " + package.string() +
                                 "\r\n"
                                 "   Update package dated 2024-03-17 09:41\r\n"
                                 "   Unarchive to " +
                                 Download().string() +
                                 "/~Db.tmp\r\n"
                                 "   Update package contains 5 records.\r\n"
                                 "   Callbook: 3 before, 5 after update.\r\n"
                                 "   Erase " +
                                 Download().string() +
                                 "/~Db.tmp\r\n"
                                 "* Done. Ins:2, Upd:2, Err:1 (00:00:00)");
    EXPECT_EQ(Rows("SELECT OMCALL,OMNAME,OMQTH,STATE,GRIDSQUARE,QSLMANAGER,NOTES,CHK,Use_BUREAU,AKA,EMAIL,"
                   "CONTINENT,DXCCPFX,MAINPFX,DXCC,CQZONE,ITUZONE FROM CALLBOOK ORDER BY OMCALL"),
              (std::vector<std::string>{
                  "Q1ABC|Ivan|Moscow|-|KO85|-|-|1|1|Q9XYZ|i@p|EU|QA|QA|77|16|28",
                  "Q2FULL|Old|Here|-|AA00|-|-|1|-|-|-|EU|QA|QA|77|16|28",
                  "Q3NEW|O'Brien|-|MO|-|UA3AAA|old remark|1|-|-|-|EU|QA|QA|77|16|28",
                  "Q4ODD|-|-|-|-|-|-|-|-|-|-|EU|QA|QA|77|16|28",
                  "Q7HOST|-|Stays|-|-|-|-|-|-|-|-|-|-|-|-|-|-",
              }));
    EXPECT_EQ(ErrorFile(), "Q4ODD\t? QSL Manager = \"via W3HNK\"\r\n"
                           "Q5BAD\t> INSERT INTO CALLBOOK(OMCALL,OMNAME,CONTINENT,DXCCPFX,MAINPFX,DXCC,CQZONE,ITUZONE) "
                           "VALUES('Q5BAD','Refused','EU','QA','QA','77','16','28')\r\n");
    auto log = HostLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(std::regex_replace(log[0], std::regex("~Db[0-9A-F]+"), "~Db"),
              "Connect updates: " + Download().string() + "/~Db.tmp");
    EXPECT_EQ(log[1], "Disconnect updates.");
    EXPECT_EQ(log[2], "Exec: " + Caption + ", " + package.string() + " done, Ins:2, Upd:2, Err:1 (00:00:00)");
    EXPECT_EQ(log[3], "Command: REFRESH 0");
    EXPECT_EQ(host_->Commands, (std::vector<std::string>{"REFRESH 0"}));
    EXPECT_EQ(Listing(Download()), (std::vector<std::string>{"CallbookImport.err"}));
    EXPECT_EQ(ReadBinary(package), archive) << "a local archive is left as it was";
    EXPECT_TRUE(dialog->LastRunDone);
    EXPECT_EQ(dialog->psProgress.Percent(), 0);
    EXPECT_TRUE(CountryDictionary().Countries().empty()) << "emptied after the run";
}

TEST_F(ImportDialog, ModesOneAndTwoSkip)
{
    const std::vector<std::string> hostRows{
        "INSERT INTO CALLBOOK(OMCALL,OMNAME) VALUES('Q1OLD','Known')",
        "INSERT INTO CALLBOOK(OMCALL) VALUES('Q2OLD')",
        "INSERT INTO CALLBOOK(OMCALL) VALUES('Q3HOSTONLY')",
    };
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1OLD", "Other", "Qth1"}, {"Q2OLD", "Second"}, {"Q9NEW", "Newcomer"}});
    struct Case {
        int mode;
        std::vector<std::string> rows;
        std::string counts;
    } cases[] = {
        {1,
         {"Q1OLD|Known|-", "Q2OLD|-|-", "Q3HOSTONLY|-|-", "Q9NEW|Newcomer|-"},
         "Callbook: 3 before, 4 after update.\r\n"},
        {2, {"Q1OLD|Known|Qth1", "Q2OLD|Second|-", "Q3HOSTONLY|-|-"}, "Callbook: 3 before, 3 after update.\r\n"},
    };
    for (const Case& c : cases) {
        RawSql("DELETE FROM CALLBOOK");
        Host(hostRows);
        auto dialog = OpenOn(package, c.mode, {ufName, ufQTH});
        dialog->dbtUpdateClickOk();
        EXPECT_EQ(Rows("SELECT OMCALL,OMNAME,OMQTH FROM CALLBOOK ORDER BY OMCALL"), c.rows) << c.mode;
        EXPECT_NE(dialog->mProgress.Text().find(c.counts), std::string::npos) << dialog->mProgress.Text();
        EXPECT_NE(dialog->mProgress.Text().find(c.mode == 1 ? "Ins:1, Upd:0, Err:0" : "Ins:0, Upd:2, Err:0"),
                  std::string::npos)
            << dialog->mProgress.Text();
    }
}

TEST_F(ImportDialog, RecordsWithNothingNewChangeNothing)
{
    Host({"INSERT INTO CALLBOOK(OMCALL,OMNAME,CHK) VALUES('Q1ABC','Ivan',TRUE)"});
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Other", {}, {}, {}, {}, {}, true}, {" ", "Nobody"}});
    auto dialog = OpenOn(package, 0, {ufName});
    dialog->cgUseFields.UserSetChecked("DXCC", false);
    dialog->dbtUpdateClickOk();
    EXPECT_FALSE(dialog->LastRunDone);
    EXPECT_TRUE(dialog->dbtUpdate.Ok().Enabled() == false);
    EXPECT_NE(dialog->mProgress.Text().find("* Done. Ins:0, Upd:0, Err:0 (00:00:00)"), std::string::npos);
    EXPECT_EQ(Rows("SELECT OMCALL,OMNAME,CHK FROM CALLBOOK"), (std::vector<std::string>{"Q1ABC|Ivan|1"}))
        << "a record without a callsign is no station";
    EXPECT_EQ(ErrorFile(), " \t? Callsign is empty\r\n");
    EXPECT_EQ(HostLog().back(), "Exec: " + Caption + ", " + package.string() + ", nothing to update");
    EXPECT_TRUE(host_->Commands.empty()) << "no REFRESH";
}

TEST_F(ImportDialog, ElapsedTimeIsAClockTime)
{
    TSteppingClock clock({1000, 1000 + 3723000});
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Ivan"}});
    auto dialog = OpenOn(package, 0, {});
    dialog->Clock = &clock;
    dialog->cgUseFields.UserSetChecked("DXCC", false);
    dialog->dbtUpdateClickOk();
    EXPECT_NE(dialog->mProgress.Text().find("* Done. Ins:1, Upd:0, Err:0 (01:02:03)"), std::string::npos);
    auto log = HostLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2],
              "Exec: " + Caption + ", " + package.string() + " done, Ins:1, Upd:0, Err:0 (01:02:03)");
}

// An error inside the merge loop: the run still frees its queries, closes
// and erases the package database and writes its closing line; the error
// then goes to the caller with no host log line and no refresh.
TEST_F(ImportDialog, ErrorInTheLoopCleansUp)
{
    Host({"INSERT INTO UNIQUECALL(ID,CALLSIGN) VALUES(1,'(Q1')", "INSERT INTO CALLBOOK(OMCALL) VALUES('Q0HOST')"});
    const fs::path package = dir_ / "DB.zip";
    WritePackage(package, {{"Q1ABC", "Ivan"}, {"Q2ABC", "Petr"}});
    auto dialog = OpenOn(package, 0, {});
    ASSERT_TRUE(dialog->cgUseFields.ItemChecked(ufDXCC));
    EXPECT_THROW(dialog->dbtUpdateClickOk(), EParserError);
    EXPECT_EQ(Memo(*dialog), "* Use: " + package.string() +
                                 "\r\n"
                                 "   Update package dated 2024-03-17 09:41\r\n"
                                 "   Unarchive to " +
                                 Download().string() +
                                 "/~Db.tmp\r\n"
                                 "   Update package contains 2 records.\r\n"
                                 "   Callbook: 1 before, 1 after update.\r\n"
                                 "   Erase " +
                                 Download().string() +
                                 "/~Db.tmp\r\n"
                                 "* Done. Ins:0, Upd:0, Err:0 (00:00:00)");
    EXPECT_EQ(Rows("SELECT OMCALL FROM CALLBOOK"), (std::vector<std::string>{"Q0HOST"}));
    EXPECT_EQ(HostLog().size(), 2u) << "connect and disconnect only";
    EXPECT_TRUE(host_->Commands.empty());
    EXPECT_TRUE(Listing(Download()).empty());
    EXPECT_TRUE(dialog->LastRunDone) << "an escaped error leaves the dialog as the run left it";
    EXPECT_TRUE(CountryDictionary().UniqueCalls().empty());
}
