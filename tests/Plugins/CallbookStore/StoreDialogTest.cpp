// The store dialog and its run in process, against the real host database
// and a real logger callbook file.
#include "Host/Host.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Sqlite.h"
#include "Plugins/CallbookStore/uStoZemrakcb.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <utility>

namespace {

using TStrings = std::vector<std::string>;

// Plays the user: activation, the script, then the close.
class TScriptDriver final : public Forms::IModalDriver {
public:
    std::function<void()> Script;
    std::function<void()> OnProcessMessages;
    TStrings Errors;

    void RunModal(Forms::TForm& form) override
    {
        Guard([&] { form.FormActivate(); });
        if (form.ModalResult() == Forms::mrNone && Script) Guard(Script);
        form.Close();
        Guard([&] { form.CloseModal(); });
    }
    void ProcessMessages(Forms::TForm&) override
    {
        if (OnProcessMessages) OnProcessMessages();
    }
    std::optional<std::string> ExecuteFileDialog(Forms::TForm&, const Forms::TFileDialog&) override { return {}; }
    void ShowException(Forms::TForm&, const std::exception& error) override { Errors.push_back(error.what()); }
    void BusyChanged(Forms::TForm&, bool) override {}

private:
    template <class F> void Guard(F&& f)
    {
        try {
            f();
        } catch (const std::exception& error) {
            Errors.push_back(error.what());
        }
    }
};

// What a run left in the dialog.
struct TRun {
    std::string Memo, Info;
    bool Done = false;
    bool StoreEnabledAfter = true;
    TStrings Errors;
};

class StoreDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir_ / "zemrak" / "db");
        loggerDb_ = (dir_ / "zemrak" / "db" / "DB.mdb").string();
        CreateReferenceDatabaseFile(loggerDb_);
        registry_ = (profile_ / "hkcu.reg").string();
        Install((dir_ / "zemrak").string() + "/");
        setenv("HKCU_REGISTRY_FILE", registry_.c_str(), 1);
        core_ = host_.Start("CallbookStore.ext");
    }
    void TearDown() override { unsetenv("HKCU_REGISTRY_FILE"); }

    void Install(const std::string& installPath)
    {
        WriteFileText(registry_, "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Zemrak_Log3]\r\n\"InstallPath\"=\"" +
                                     installPath + "\"\r\n");
    }

    // Host callbook rows: OMCALL, OMNAME, OMQTH, GRIDSQUARE, QSLMANAGER,
    // STATE, NOTES, CHK as SQL values.
    void Host(const std::string& values)
    {
        ASSERT_GT(host_->ExecSQL("INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH,GRIDSQUARE,QSLMANAGER,STATE,NOTES,CHK) "
                                 "VALUES" +
                                 values),
                  0)
            << values;
    }
    // Target rows: CALL, NAME, QTH, GRID, MANAGER, STATE, NOTE, CHECKED.
    void Target(const std::string& values)
    {
        TSqliteDatabase db(loggerDb_, {});
        db.Exec("INSERT INTO CALLBOOK(CALL,NAME,QTH,GRID,MANAGER,STATE,NOTE,CHECKED) VALUES" + values);
    }
    // Every target row as CALL|NAME|QTH|GRID|MANAGER|STATE|NOTE|CHECKED.
    TStrings TargetRows(const std::string& where = "1")
    {
        TSqliteDatabase db(loggerDb_, {});
        TSqliteStatement rows(db, "SELECT CALL,NAME,QTH,GRID,MANAGER,STATE,NOTE,CHECKED FROM CALLBOOK WHERE " + where +
                                      " ORDER BY CALL");
        TStrings out;
        while (rows.Step()) {
            std::string row;
            for (int i = 0; i < 8; ++i)
                row +=
                    (i ? "|" : "") + (rows.ColumnIsNull(i) ? std::string("<null>") : std::string(rows.ColumnText(i)));
            out.push_back(row);
        }
        return out;
    }
    std::string TargetRow(const std::string& call)
    {
        TStrings rows = TargetRows("CALL='" + call + "'");
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }
    std::string ErrorFile() const { return (profile_ / "download" / "CallbookStore.err").string(); }
    std::string Settings() const { return ReadFileText(profile_ / "host.ini"); }
    // The four stored options as "Mark Over Xtra Save" values, "-" when absent.
    std::string StoredOptions() const
    {
        TIniFile ini((profile_ / "host.ini").string(), "Zemrak Callbook");
        std::string text;
        for (const char* key : {"Mark", "Over", "Xtra", "Save"})
            text += (text.empty() ? "" : " ") + ini.ReadString(key, "-");
        return text;
    }
    TStrings HostLog() const
    {
        TStrings lines;
        if (!fs::exists(host_->LogPath())) return lines;
        for (const std::string& line : SplitLines(ReadFileText(host_->LogPath())))
            lines.push_back(line.substr(line.find('\t') + 1)); // without the time stamp
        return lines;
    }

    // Opens the dialog as the click action does; options: "Mark", "Over",
    // "Xtra", "Save" set by the user before Store is pressed.
    TRun Store(std::map<TStoreOption, bool> options = {}, std::function<void(TfrmStoZemrakcb&)> during = {},
               bool press = true)
    {
        TfrmStoZemrakcb dialog(core_);
        dialog.SetCaption("Store Callbook into Zemrak log");
        dialog.Kernel = ComPtr<IHostKernel>::Query(core_, IID_IHostKernel);
        dialog.Server = ComPtr<IHostServer>::Query(core_, IID_IHostServer);
        dialog.AppIni = (profile_ / "host.ini").string();
        dialog.Section = "Zemrak Callbook";
        dialog.Clock = &clock_;
        TScriptDriver driver;
        dialog.SetDriver(&driver);
        if (during) driver.OnProcessMessages = [&] { during(dialog); };
        TRun run;
        driver.Script = [&] {
            for (auto [item, checked] : options)
                dialog.cgProc.UserSetChecked(static_cast<int>(item), checked);
            if (press) dialog.dbtStore.Ok().UserClick();
        };
        dialog.ShowModal();
        run.StoreEnabledAfter = dialog.dbtStore.Ok().Enabled();
        run.Memo = dialog.mProgress.Text();
        run.Info = dialog.psInfo.Text();
        run.Done = dialog.LastRunDone;
        run.Errors = driver.Errors;
        lastActivatedOptions_.clear();
        for (int i = 0; i < dialog.cgProc.Count(); ++i)
            lastActivatedOptions_.push_back(dialog.cgProc.ItemChecked(i));
        return run;
    }

    TTestHost host_{"store-dialog", "profile"};
    const TTempDir& dir_ = host_.Dir();
    const fs::path& profile_ = host_.Profile();
    std::string loggerDb_, registry_;
    ICore* core_ = nullptr;
    TManualClock clock_;
    std::vector<bool> lastActivatedOptions_;
};

} // namespace

TEST_F(StoreDialog, ControlsAndDefaultOptions)
{
    TfrmStoZemrakcb dialog(core_);
    EXPECT_EQ(dialog.ClientWidth(), 394);
    EXPECT_EQ(dialog.ClientHeight(), 250);
    EXPECT_TRUE(dialog.edRefDB.ReadOnly());
    EXPECT_TRUE(dialog.mProgress.ReadOnly());
    EXPECT_EQ(dialog.cgProc.Caption(), "Processing source data");
    EXPECT_EQ(dialog.cgProc.Columns(), 2);
    TStrings captions;
    for (const auto& item : dialog.cgProc.Items())
        captions.push_back(item.Caption);
    EXPECT_EQ(captions, (TStrings{"checkmarks for verified", "overwrite existing data", "use extra info keywords",
                                  "save non-keyed notes"}));
    EXPECT_EQ(dialog.dbtStore.Ok().Caption(), "Store");
    EXPECT_EQ(dialog.dbtStore.Cancel().Caption(), "Close");
    EXPECT_EQ(dialog.dbtStore.Ok().ModalResult(), Forms::mrNone);

    // Nothing stored yet: only the checkmarks.
    const std::string before = Settings();
    TRun run = Store({}, {}, false);
    EXPECT_EQ(lastActivatedOptions_, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(run.Errors, TStrings{});
    EXPECT_EQ(Settings(), before);
}

TEST_F(StoreDialog, OptionsAreReadAtActivationAndSavedOnlyAfterARunThatWrote)
{
    WriteFileText(profile_ / "host.ini",
                  Settings() + "\r\n[Zemrak Callbook]\r\nMark=0\r\nOver=1\r\nXtra=1\r\nSave=7\r\n");
    const std::string stored = Settings();
    Store({}, {}, false);
    EXPECT_EQ(lastActivatedOptions_, (std::vector<bool>{false, true, true, true}));

    // Changed options without a run are forgotten.
    Store({{soMark, true}, {soOver, false}}, {}, false);
    EXPECT_EQ(Settings(), stored);

    // A run that writes nothing (an empty host callbook) keeps them too.
    TRun nothing = Store({{soMark, true}, {soOver, false}});
    EXPECT_FALSE(nothing.Done);
    EXPECT_EQ(Settings(), stored);

    // A run that only inserts saves them.
    Host("('Q1AA','Ann',NULL,NULL,NULL,NULL,NULL,1)");
    TRun inserted = Store({{soMark, true}, {soOver, false}, {soSave, false}});
    EXPECT_TRUE(inserted.Done);
    EXPECT_EQ(StoredOptions(), "1 0 1 0");

    // A run that only updates counts as done as well.
    TRun updated = Store({{soOver, true}});
    EXPECT_TRUE(updated.Done);
    EXPECT_NE(updated.Memo.find("Processed, All:1 Upd:1\r\n"), std::string::npos) << updated.Memo;
    EXPECT_EQ(StoredOptions(), "1 1 1 0");
}

TEST_F(StoreDialog, ActivationDeletesTheErrorFileBeforeTheInstallationCheck)
{
    struct Case {
        const char* Name;
        std::function<void()> Break;
        const char* Message;
    } cases[] = {
        {"no record", [&] { WriteFileText(registry_, "Windows Registry Editor Version 5.00\r\n"); },
         "Fatal error: Zemrak_Log3 not installed.\r\nPlugin is not applicable.\n"},
        {"empty path", [&] { Install(""); }, "Fatal error: Zemrak_Log3 not installed.\r\nPlugin is not applicable.\n"},
        {"no separator", [&] { Install((dir_ / "zemrak").string()); },
         "Fatal error: Reference callbook database not found.\r\nPlugin is not applicable.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Break();
        WriteFileText(ErrorFile(), "Q1AA\t: absent attributes\r\n");
        host_.Messages.str("");
        TRun run = Store({}, {}, true);
        EXPECT_FALSE(fs::exists(ErrorFile()));
        EXPECT_EQ(host_.Messages.str(), c.Message);
        // The dialog closed before the user could press Store, which stays disabled.
        EXPECT_FALSE(run.StoreEnabledAfter);
        EXPECT_EQ(run.Memo, "");
        EXPECT_TRUE(HostLog().empty());
    }
}

TEST_F(StoreDialog, OneRunPerOpeningWithCountsLogAndRefresh)
{
    Host("('Q1AA','Ann','Town','FN42',NULL,NULL,NULL,1),('Q1BB','Bo',NULL,NULL,NULL,NULL,NULL,0),"
         "('Q1CC','Cy',NULL,NULL,NULL,NULL,NULL,NULL),('Q1DD','Di',NULL,NULL,NULL,NULL,NULL,1),"
         "('Q1EE','Ed',NULL,NULL,NULL,NULL,NULL,0)");
    bool timed = false;
    TRun run = Store({}, [&](TfrmStoZemrakcb& dialog) {
        if (!dialog.mProgress.Text().empty() && !std::exchange(timed, true)) clock_.Advance(3723400);
    });
    EXPECT_TRUE(run.Done);
    EXPECT_FALSE(run.StoreEnabledAfter);
    EXPECT_EQ(run.Info, "");
    EXPECT_EQ(run.Memo, "* Use Callbook as source, Zemrak Log as target\r\n"
                        "   Callsigns: 5 in source, 0 in target\r\n"
                        "   Processed, All:5 Ins:5\r\n"
                        "* Done. Elapsed time 01:02:03");
    EXPECT_EQ(HostLog(), (TStrings{"Connect Zemrak log database: " + loggerDb_, "Disconnect Zemrak log database.",
                                   "Exec: Store Callbook into Zemrak log, done. Processed, All:5 Ins:5 (01:02:03)",
                                   "Command: REFRESH 0"}));
    EXPECT_EQ(host_->Commands, (TStrings{"REFRESH 0"}));
    EXPECT_EQ(TargetRows(),
              (TStrings{"Q1AA|Ann|Town|FN42|<null>|<null>|<null>|1", "Q1BB|Bo|<null>|<null>|<null>|<null>|<null>|0",
                        "Q1CC|Cy|<null>|<null>|<null>|<null>|<null>|0", "Q1DD|Di|<null>|<null>|<null>|<null>|<null>|1",
                        "Q1EE|Ed|<null>|<null>|<null>|<null>|<null>|0"}));
    EXPECT_FALSE(fs::exists(ErrorFile()));

    // The same again with the existing values kept and no marks: nothing to write.
    host_->Commands.clear();
    TRun again = Store({{soMark, false}});
    EXPECT_FALSE(again.Done);
    EXPECT_EQ(again.Info, "Errors found.");
    EXPECT_NE(again.Memo.find("   Processed, All:5 Err:5\r\n"), std::string::npos) << again.Memo;
    EXPECT_EQ(HostLog().back(), "Exec: Store Callbook into Zemrak log, nothing to do.");
    EXPECT_TRUE(host_->Commands.empty());
}

TEST_F(StoreDialog, StationsUnderTheDefaultOptions)
{
    // Target rows: CALL, NAME, QTH, GRID, MANAGER, STATE, NOTE, CHECKED.
    Target("('Q1FULL','Tn','Tq','Tg','Tm','Ts','keep',1),"
           "('Q1PART','Tn',NULL,'',NULL,NULL,NULL,0),"
           "('Q1BLANK',NULL,NULL,NULL,NULL,NULL,'their note',0),"
           "('Q1NOTE','Tn',NULL,NULL,NULL,NULL,'their note',1)");
    // Host rows: OMCALL, OMNAME, OMQTH, GRIDSQUARE, QSLMANAGER, STATE, NOTES, CHK.
    Host("('Q1ONLY',NULL,NULL,NULL,NULL,NULL,NULL,1),"
         "('Q1FULL','Hn','Hq','Hg','Hm','Hs',NULL,1),"
         "('Q1PART','Hn','Hq','Hg','Hm','Hs','LotW: word',1),"
         "('Q1BLANK','Hn',NULL,NULL,NULL,NULL,'   ',0),"
         "('Q1NOTE',NULL,NULL,NULL,NULL,NULL,'LotW:2021-03-04 call',0),"
         "('Q1NEW','Хосе Мария Гарсия','Town','JO62QMXX','DL1MGR-Bureau','','LotW: kept whole',NULL)");
    TRun run = Store();
    struct Expect {
        const char* Call;
        const char* Row;
    } expected[] = {
        // Nothing to write, whatever the options.
        {"Q1ONLY", "<0 rows>"},
        // All five kept from the target and no note: only the mark goes.
        {"Q1FULL", "Q1FULL|Tn|Tq|Tg|Tm|Ts|keep|1"},
        // Null columns filled, values (also an empty text) kept, the note
        // filtered to nothing so the target's (null) note stays.
        {"Q1PART", "Q1PART|Tn|Hq||Hm|Hs|<null>|1"},
        // A blank host note does not clear the target's note.
        {"Q1BLANK", "Q1BLANK|Hn|<null>|<null>|<null>|<null>|their note|0"},
        // Only the note, filtered to nothing: the note stays, the mark goes.
        {"Q1NOTE", "Q1NOTE|Tn|<null>|<null>|<null>|<null>|their note|0"},
        // A new station takes every value, cut to the column, note whole.
        {"Q1NEW", "Q1NEW|Хосе Мария Гарс|Town|JO62QM|DL1MGR-Burea||LotW: kept whole|0"},
    };
    for (const Expect& e : expected)
        EXPECT_EQ(TargetRow(e.Call), e.Row) << e.Call;
    EXPECT_EQ(ReadFileText(ErrorFile()), "Q1ONLY\t: absent attributes\r\n");
    EXPECT_NE(run.Memo.find("Callsigns: 6 in source, 4 in target\r\n   Processed, All:6 Ins:1 Upd:4 Err:1\r\n"),
              std::string::npos)
        << run.Memo;
    EXPECT_EQ(run.Info, "Errors found.");
    EXPECT_TRUE(run.Done);
}

TEST_F(StoreDialog, OverwriteAndTheNoteOptions)
{
    const std::string note = "LotW:2021-03-04 call Email:me@q1aa.example me";
    struct Case {
        bool Over, Xtra, Save;
        std::string Row;
    } cases[] = {
        {false, true, true, "Q1AA|Tn|Hq|<null>|<null>|<null>|call me LotW:2021-03-04 Email:me@q1aa.example|1"},
        {false, true, false, "Q1AA|Tn|Hq|<null>|<null>|<null>|LotW:2021-03-04 Email:me@q1aa.example|1"},
        {false, false, true, "Q1AA|Tn|Hq|<null>|<null>|<null>|call me|1"},
        {false, false, false, "Q1AA|Tn|Hq|<null>|<null>|<null>|their note|1"},
        // Overwrite: every carried column and the note whole, whatever the note options.
        {true, false, false, "Q1AA|Hn|Hq|<null>|<null>|<null>|" + note + "|1"},
        {true, true, false, "Q1AA|Hn|Hq|<null>|<null>|<null>|" + note + "|1"},
    };
    Host("('Q1AA','Hn','Hq',NULL,NULL,NULL,'" + note + "',1)");
    Target("('Q1AA','Tn',NULL,NULL,NULL,NULL,'their note',0)");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "over=" << c.Over << " xtra=" << c.Xtra << " save=" << c.Save);
        TRun run = Store({{soOver, c.Over}, {soXtra, c.Xtra}, {soSave, c.Save}});
        EXPECT_TRUE(run.Done);
        EXPECT_EQ(TargetRow("Q1AA"), c.Row);
        TSqliteDatabase(loggerDb_, {}).Exec("UPDATE CALLBOOK SET NAME='Tn',QTH=NULL,NOTE='their note',CHECKED=0");
    }
}

TEST_F(StoreDialog, Checkmarks)
{
    // Host CHK TRUE / FALSE / NULL, each for a new and a known station.
    Host("('Q1NT','a',NULL,NULL,NULL,NULL,NULL,1),('Q1NF','a',NULL,NULL,NULL,NULL,NULL,0),"
         "('Q1NN','a',NULL,NULL,NULL,NULL,NULL,NULL),('Q1UT','a',NULL,NULL,NULL,NULL,NULL,1),"
         "('Q1UF','a',NULL,NULL,NULL,NULL,NULL,0),('Q1UN','a',NULL,NULL,NULL,NULL,NULL,NULL)");
    struct Case {
        bool Mark;
        int Existing;     // CHECKED of the known stations before the run
        TStrings Checked; // Q1NF Q1NN Q1NT Q1UF Q1UN Q1UT
    } cases[] = {
        {true, 1, {"0", "0", "1", "0", "0", "1"}},
        {true, 0, {"0", "0", "1", "0", "0", "1"}},
        // Without checkmarks the column is left alone: the file's default
        // for new rows, the existing value for known ones.
        {false, 1, {"0", "0", "0", "1", "1", "1"}},
        {false, 0, {"0", "0", "0", "0", "0", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mark=" << c.Mark << " existing=" << c.Existing);
        TSqliteDatabase(loggerDb_, {}).Exec("DELETE FROM CALLBOOK");
        const std::string e = std::to_string(c.Existing);
        Target("('Q1UT',NULL,NULL,NULL,NULL,NULL,NULL," + e + "),('Q1UF',NULL,NULL,NULL,NULL,NULL,NULL," + e +
               "),('Q1UN',NULL,NULL,NULL,NULL,NULL,NULL," + e + ")");
        TRun run = Store({{soMark, c.Mark}});
        EXPECT_NE(run.Memo.find("Processed, All:6 Ins:3 Upd:3\r\n"), std::string::npos) << run.Memo;
        TStrings checked;
        for (const std::string& row : TargetRows())
            checked.push_back(row.substr(row.rfind('|') + 1));
        EXPECT_EQ(checked, c.Checked);
    }
}

TEST_F(StoreDialog, KnownStationWithNothingLeftToWrite)
{
    // Target: all five filled; the host has a blank note and a new mark.
    Target("('Q1FULL','Tn','Tq','Tg','Tm','Ts','their note',0),('Q1TWO','Tn','Tq','Tg','Tm','Ts',NULL,0)");
    Host("('Q1FULL','Hn',NULL,NULL,NULL,NULL,'  ',1),('Q1TWO',NULL,NULL,NULL,NULL,NULL,NULL,1)");
    struct Case {
        bool Mark;
        std::string Memo, Errors, Checked;
    } cases[] = {
        // The blank note is dropped, the mark still goes.
        {true, "Processed, All:2 Upd:2\r\n", "", "1"},
        // Without marks nothing is left: absent attributes, as before.
        {false, "Processed, All:2 Err:2\r\n", "Q1FULL\t: absent attributes\r\nQ1TWO\t: absent attributes\r\n", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mark=" << c.Mark);
        fs::remove(ErrorFile());
        TSqliteDatabase(loggerDb_, {}).Exec("UPDATE CALLBOOK SET CHECKED=0");
        TRun run = Store({{soMark, c.Mark}});
        EXPECT_NE(run.Memo.find(c.Memo), std::string::npos) << run.Memo;
        EXPECT_EQ(fs::exists(ErrorFile()) ? ReadFileText(ErrorFile()) : "", c.Errors);
        EXPECT_EQ(TargetRow("Q1FULL"), "Q1FULL|Tn|Tq|Tg|Tm|Ts|their note|" + c.Checked);
        EXPECT_EQ(TargetRow("Q1TWO"), "Q1TWO|Tn|Tq|Tg|Tm|Ts|<null>|" + c.Checked);
    }
}

// The logger's CALL key ignores letter case: a host callsign in other case is
// the same station, updated (under the logger's spelling) on every run.
TEST_F(StoreDialog, CallsignsCompareAsTheLoggersKeyDoes)
{
    Target("('DL7ABC',NULL,'Tq',NULL,NULL,NULL,NULL,0)");
    Host("('dl7abc','Hn','Hq',NULL,NULL,NULL,NULL,1)");
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        TRun run = Store();
        EXPECT_NE(run.Memo.find("Processed, All:1 Upd:1\r\n"), std::string::npos) << run.Memo;
        EXPECT_EQ(TargetRows(), (TStrings{"DL7ABC|Hn|Tq|<null>|<null>|<null>|<null>|1"}));
        EXPECT_FALSE(fs::exists(ErrorFile()));
    }
}

TEST_F(StoreDialog, ADuplicatedHostCallsignIsTriedAsAnInsertTwice)
{
    // A host database without its unique key on OMCALL.
    {
        TSqliteDatabase db((profile_ / "host.db").string(), {});
        db.Exec("DROP INDEX CALLBOOK_OMCALL");
    }
    Host("('Q1DUP','First',NULL,NULL,NULL,NULL,NULL,1),('Q1DUP','Second',NULL,NULL,NULL,NULL,NULL,1)");
    TRun run = Store();
    EXPECT_NE(run.Memo.find("Processed, All:2 Ins:1 Err:1\r\n"), std::string::npos) << run.Memo;
    EXPECT_EQ(run.Info, "Errors found.");
    EXPECT_TRUE(run.Done);
    EXPECT_EQ(TargetRows().size(), 1u);
    const std::string errors = ReadFileText(ErrorFile());
    EXPECT_TRUE(errors == "Q1DUP\t> INSERT INTO CALLBOOK(CALL,[NAME],Checked) VALUES('Q1DUP','Second',TRUE);\r\n" ||
                errors == "Q1DUP\t> INSERT INTO CALLBOOK(CALL,[NAME],Checked) VALUES('Q1DUP','First',TRUE);\r\n")
        << errors;
}

TEST_F(StoreDialog, OptionsAreReadAfreshForEveryStation)
{
    Host("('Q1AA','Hn',NULL,NULL,NULL,NULL,NULL,1),('Q1BB','Hn',NULL,NULL,NULL,NULL,NULL,1)");
    Target("('Q1AA','Tn',NULL,NULL,NULL,NULL,NULL,0),('Q1BB','Tn',NULL,NULL,NULL,NULL,NULL,0)");
    // After the first station the user ticks "overwrite existing data".
    TRun run = Store({{soMark, false}}, [&](TfrmStoZemrakcb& dialog) {
        if (dialog.psProgress.Percent() == 50) dialog.cgProc.UserSetChecked(static_cast<int>(soOver), true);
    });
    EXPECT_EQ(TargetRows(), (TStrings{"Q1AA|Tn|<null>|<null>|<null>|<null>|<null>|0",
                                      "Q1BB|Hn|<null>|<null>|<null>|<null>|<null>|0"}))
        << run.Memo;
    EXPECT_NE(run.Memo.find("Processed, All:2 Upd:1 Err:1\r\n"), std::string::npos) << run.Memo;
}

TEST_F(StoreDialog, ALockTakenDuringTheRunStopsItAndKeepsWhatWasWritten)
{
    Host("('Q1AA','Ann',NULL,NULL,NULL,NULL,NULL,1),('Q1BB','Bo',NULL,NULL,NULL,NULL,NULL,1),"
         "('Q1CC','Cy',NULL,NULL,NULL,NULL,NULL,1)");
    TSqliteDatabase other(loggerDb_, {});
    bool locked = false;
    TRun run = Store({}, [&](TfrmStoZemrakcb& dialog) {
        if (dialog.adc.Connected()) dialog.adc.Database().SetBusyTimeout(50); // as briefly as a test should
        // Another program starts writing once the first station is in.
        if (!locked && dialog.psProgress.Percent() == 33) {
            other.Exec("BEGIN IMMEDIATE");
            locked = true;
        }
    });
    ASSERT_TRUE(locked);
    other.Exec("ROLLBACK");
    ASSERT_EQ(run.Errors.size(), 1u) << run.Errors[0] << "\n" << run.Errors[1];
    EXPECT_NE(run.Errors[0].find("database is locked"), std::string::npos) << run.Errors[0];
    EXPECT_FALSE(run.Done);
    // The run stopped after its clean-up: summary, no "Done", no Exec line.
    EXPECT_NE(run.Memo.find("   Processed, All:1 Ins:1\r\n"), std::string::npos) << run.Memo;
    EXPECT_EQ(run.Memo.find("* Done"), std::string::npos) << run.Memo;
    EXPECT_EQ(HostLog(), (TStrings{"Connect Zemrak log database: " + loggerDb_, "Disconnect Zemrak log database."}));
    EXPECT_TRUE(host_->Commands.empty());
    EXPECT_FALSE(fs::exists(ErrorFile()));
    EXPECT_EQ(TargetRows(), (TStrings{"Q1AA|Ann|<null>|<null>|<null>|<null>|<null>|1"}));
    TSqliteStatement check(other, "PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.ColumnText(0), "ok");
}

TEST_F(StoreDialog, AnUpdateOfARowRemovedMeanwhileIsNoSuccess)
{
    Host("('Q1AA','Ann',NULL,NULL,NULL,NULL,NULL,1),('Q1BB','Bo',NULL,NULL,NULL,NULL,NULL,1)");
    Target("('Q1AA',NULL,NULL,NULL,NULL,NULL,NULL,0),('Q1BB',NULL,NULL,NULL,NULL,NULL,NULL,0)");
    // The logger deletes Q1BB while the run is at Q1AA.
    TRun run = Store({}, [&](TfrmStoZemrakcb& dialog) {
        if (dialog.psProgress.Percent() == 50)
            TSqliteDatabase(loggerDb_, {}).Exec("DELETE FROM CALLBOOK WHERE CALL='Q1BB'");
    });
    EXPECT_NE(run.Memo.find("Processed, All:2 Upd:1 Err:1\r\n"), std::string::npos) << run.Memo;
    EXPECT_EQ(run.Info, "Errors found.");
    EXPECT_EQ(ReadFileText(ErrorFile()), "Q1BB\t> UPDATE CALLBOOK SET [NAME]='Bo',Checked=TRUE WHERE CALL='Q1BB';\r\n");
    EXPECT_EQ(TargetRows(), (TStrings{"Q1AA|Ann|<null>|<null>|<null>|<null>|<null>|1"}));
}

// The file is checked at activation: the error shows before anything else,
// and Store stays disabled so no run can start on it.
TEST_F(StoreDialog, AnUnreadableTargetFailsTheActivationAndStoreStaysDisabled)
{
    WriteFileText(loggerDb_, "Standard Jet DB\n");
    TRun run = Store();
    ASSERT_EQ(run.Errors.size(), 2u);
    EXPECT_NE(run.Errors[0].find(loggerDb_), std::string::npos) << run.Errors[0];
    EXPECT_NE(run.Errors[1].find("is disabled"), std::string::npos) << run.Errors[1];
    EXPECT_EQ(run.Memo, "");
    EXPECT_FALSE(run.Done);
    EXPECT_FALSE(run.StoreEnabledAfter);
    EXPECT_TRUE(HostLog().empty());
}
