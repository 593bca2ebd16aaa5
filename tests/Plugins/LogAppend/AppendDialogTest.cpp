// The append dialog and its run against the real host, in process, with a
// logger installation built for each test.
#include "Host/Host.h"
#include "Plugins/LogAppend/uAppZemrak.h"
#include "tests/Plugins/LogAppend/LoggerFiles.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <functional>
#include <sstream>

namespace {

// Plays the user: activation, the given steps, then a close. Pump runs
// whenever the dialog lets pending messages run.
class TScriptDriver final : public Forms::IModalDriver {
public:
    std::vector<std::function<void()>> Steps;
    std::function<void()> Pump;
    std::vector<std::string> Errors;
    std::vector<std::string> Refusals;
    bool Closed = false;

    void RunModal(Forms::TForm& form) override
    {
        Act([&] { form.FormActivate(); });
        for (auto& step : Steps) {
            if (form.ModalResult() != Forms::mrNone) break;
            Act(step);
        }
        if (form.ModalResult() == Forms::mrNone) form.Close();
        Closed = form.CloseModal();
    }
    void ProcessMessages(Forms::TForm&) override
    {
        if (Pump) Pump();
    }
    std::optional<std::string> ExecuteFileDialog(Forms::TForm&, const Forms::TFileDialog&) override { return {}; }
    void ShowException(Forms::TForm&, const std::exception& error) override { Errors.push_back(error.what()); }
    void BusyChanged(Forms::TForm&, bool) override {}

    void Act(const std::function<void()>& step)
    {
        try {
            step();
        } catch (const Forms::EUserRefused& refused) {
            Refusals.push_back(refused.Message());
        } catch (const std::exception& error) {
            Errors.push_back(error.what());
        }
    }
};

class AppendDialogTest : public ::testing::Test {
protected:
    AppendDialogTest() : logs_(dir_.Path() / "zemrak", dir_.Path() / "hkcu.reg")
    {
        setenv("HKCU_REGISTRY_FILE", (dir_.Path() / "hkcu.reg").c_str(), 1);
        host_.Options.PluginDir = Profile();
        host_.Options.Trace = [this](const std::string& call) { calls_.push_back(call); };
        core_ = host_.Start("LogAppend.ext");
        logs_.AddLog("Main", "N0CALL", "LOG1", "'Berlin'");
    }

    fs::path Profile() const { return host_.Profile(); }
    fs::path ErrorFile() const { return Profile() / "download" / "LogAppend.err"; }

    // Set up as the click action sets it up.
    std::unique_ptr<TfrmAppZemrak> Dialog()
    {
        auto d = std::make_unique<TfrmAppZemrak>(core_);
        d->SetCaption("Append Zemrak log data into current log");
        d->Kernel = ComPtr<IHostKernel>::Query(core_, IID_IHostKernel);
        d->Server = ComPtr<IHostServer>::Query(core_, IID_IHostServer);
        d->AppIni = (Profile() / "host.ini").string();
        d->Section = "Zemrak Log";
        d->LogExpire = EncodeDate(2024, 6, 30) + EncodeTime(23, 59, 0);
        d->LogOperator = "N0CALL";
        d->LogName = "Main log";
        d->HostLogName = "MAIN";
        d->Clock = &clock_;
        d->SetDriver(&driver_);
        return d;
    }

    // Shows a dialog that clicks Load once.
    std::unique_ptr<TfrmAppZemrak> Run(std::function<void(TfrmAppZemrak&)> before = {})
    {
        auto d = Dialog();
        TfrmAppZemrak& form = *d;
        driver_.Steps.clear();
        if (before) driver_.Steps.push_back([&form, before] { before(form); });
        driver_.Steps.push_back([&form] { form.dbtLoad.Ok().UserClick(); });
        d->ShowModal();
        return d;
    }

    // Rows of a host query, columns joined by '|', NULL shown as <null>.
    std::vector<std::string> HostRows(const std::string& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(host_->Database(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(host_->Database());
        std::vector<std::string> rows;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = sqlite3_column_text(stmt, i);
                row += (i ? "|" : "") + (text ? std::string(reinterpret_cast<const char*>(text)) : "<null>");
            }
            rows.push_back(row);
        }
        sqlite3_finalize(stmt);
        return rows;
    }

    void HostExec(const std::string& jet) { ASSERT_GT(host_->ExecSQL(jet), 0) << jet; }

    std::vector<std::string> HostLogLines()
    {
        std::vector<std::string> lines;
        for (const auto& line : SplitLines(ReadFileText(Profile() / "host.log")))
            lines.push_back(line.substr(line.find('\t') + 1));
        return lines;
    }

    int Calls(const std::string& call) const
    {
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }

    std::string Setting(const std::string& key)
    {
        TIniFile ini((Profile() / "host.ini").string(), "Zemrak Log");
        return ini.ReadString(key, "<absent>");
    }

    std::vector<std::string> calls_;
    TTestHost host_{"logappend-dialog", "profile"};
    const TTempDir& dir_ = host_.Dir();
    logger::TLogDatabase logs_;
    ICore* core_ = nullptr;
    TManualClock clock_;
    TScriptDriver driver_;
};

bool Contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

} // namespace

TEST_F(AppendDialogTest, ActivationListsTheOperatorsLogsAndTheirDates)
{
    logs_.AddLog("Portable", "N0CALL", "LOG2");
    logs_.AddLog("Contest", "N0CALL", "LOG3");
    logs_.AddLog("Other", "W1AW", "LOG4");
    logs_.Add("LOG1", logger::Qso("DL1ABC", "2024-02-10", "10:00"));
    logs_.Add("LOG1", logger::Qso("DL1ABC", "2023-11-03", "10:00"));
    WriteFileText(ErrorFile(), "left over\r\n");

    auto d = Dialog();
    TfrmAppZemrak& form = *d;
    driver_.Steps = {[&] {
        EXPECT_FALSE(fs::exists(ErrorFile()));
        EXPECT_EQ(form.edRefDB.Text(), logs_.Path());
        EXPECT_EQ(form.lbCallsign.Caption(), "Log of N0CALL for loading data");
        EXPECT_EQ(form.cbLog.Items(), (std::vector<std::string>{"Contest", "Main", "Portable"}));
        // No stored choice: the first log, whose table is empty.
        EXPECT_EQ(form.cbLog.Text(), "Contest");
        EXPECT_EQ(form.LogTable, "LOG3");
        EXPECT_TRUE(form.dtMinDate.Empty());
        EXPECT_TRUE(form.dtMaxDate.Empty());
        EXPECT_TRUE(form.dbtLoad.Ok().Enabled());

        form.cbLog.UserSelect("Main");
        EXPECT_EQ(form.LogTable, "LOG1");
        EXPECT_EQ(form.LogQth, "Berlin");
        EXPECT_EQ(form.dtMinDate.Date(), EncodeDate(2023, 11, 3));
        EXPECT_EQ(form.dtMaxDate.Date(), EncodeDate(2024, 2, 10));
    }};
    d->ShowModal();
    EXPECT_TRUE(driver_.Errors.empty()) << driver_.Errors.front();
    EXPECT_EQ(HostLogLines().front(), "Connect Zemrak log database: " + logs_.Path());
    EXPECT_EQ(HostLogLines().back(), "Disconnect Zemrak log database.");
}

TEST_F(AppendDialogTest, SettingsAreWrittenOnEveryCloseAndAStaleLogFallsBack)
{
    logs_.AddLog("Portable", "N0CALL", "LOG2");
    {
        auto d = Dialog();
        driver_.Steps = {[&] { d->cbLog.UserSelect("Portable"); }, [&] { d->seDelta.UserSetText("5"); }};
        d->ShowModal();
    }
    EXPECT_EQ(Setting("Log"), "Portable");
    EXPECT_EQ(Setting("Delta"), "5");
    {
        driver_.Steps.clear();
        auto d = Dialog();
        d->ShowModal();
        EXPECT_EQ(d->cbLog.Text(), "Portable");
        EXPECT_EQ(d->DeltaMinutes, 5);
        EXPECT_EQ(d->seDelta.Value(), 5);
    }
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Log", "Gone");
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Delta", "42");
    {
        auto d = Dialog();
        d->ShowModal();
        EXPECT_EQ(d->cbLog.Text(), "Main");
        EXPECT_EQ(d->DeltaMinutes, 9);
    }
    EXPECT_EQ(Setting("Log"), "Main");
    EXPECT_EQ(Setting("Delta"), "9");
}

TEST_F(AppendDialogTest, MissingInstallationClosesWithOneMessageAndKeepsTheSettings)
{
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Log", "Main");
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Delta", "4");
    fs::remove(logs_.Path());
    {
        auto d = Dialog();
        d->ShowModal();
        EXPECT_TRUE(d->cbLog.Items().empty());
        EXPECT_FALSE(d->adc.Connected());
    }
    WriteFileText(dir_.Path() / "hkcu.reg", "Windows Registry Editor Version 5.00\r\n");
    {
        auto d = Dialog();
        d->ShowModal();
    }
    EXPECT_EQ(host_.Messages.str(), "Fatal error: Reference callbook database not found.\r\nPlugin is not applicable.\n"
                                    "Fatal error: Zemrak_Log3 not installed.\r\nPlugin is not applicable.\n");
    EXPECT_EQ(Setting("Log"), "Main");
    EXPECT_EQ(Setting("Delta"), "4");
    EXPECT_EQ(Calls("IHostServer.CreateQuery"), 0);
}

TEST_F(AppendDialogTest, AnOperatorWithoutLogsCannotLoad)
{
    auto d = Dialog();
    d->LogOperator = "O'NEIL";
    driver_.Steps = {[&] { d->dbtLoad.Ok().UserClick(); }};
    d->ShowModal();
    EXPECT_TRUE(d->cbLog.Items().empty());
    EXPECT_FALSE(d->dbtLoad.Ok().Enabled());
    EXPECT_EQ(driver_.Refusals.size(), 1u);
    EXPECT_TRUE(driver_.Errors.empty());
}

TEST_F(AppendDialogTest, RunWritesTheSummaryTheHostLogLineAndRefresh)
{
    logs_.Add("LOG1", logger::Qso("dl1abc", "2024-05-01", "10:00"));
    logs_.Add("LOG1", logger::Qso("G4XYZ", "2024-06-30", "23:59", {{"QSLManager", "'G4XYZ/P'"}}));
    logs_.Add("LOG1", logger::Qso("W1AW", "2024-07-01", "00:00"));  // after the expiry day
    logs_.Add("LOG1", logger::Qso("BAD1X", "2024-05-02", "08:30")); // refused by the host
    sqlite3_exec(host_->Database(),
                 "CREATE TRIGGER refuse BEFORE INSERT ON LOGS WHEN NEW.OMCALL='BAD1X' "
                 "BEGIN SELECT RAISE(ABORT,'refused'); END;",
                 nullptr, nullptr, nullptr);
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Log", "Main");
    // The run takes an hour, two minutes and three seconds.
    driver_.Pump = [this, first = true]() mutable {
        if (!first || Calls("IHostServer.CreateQuery") == 0) return;
        clock_.Advance(3'723'000);
        first = false;
    };

    auto d = Run();
    EXPECT_TRUE(driver_.Errors.empty()) << driver_.Errors.front();
    EXPECT_EQ(d->mProgress.Text(), "* Use log \"Main (Berlin)\" for N0CALL\r\n"
                                   "* Done. Processed: All:3, Ins:2, Cor:1, Err:1 (01:02:03)");
    const auto log = HostLogLines();
    EXPECT_NE(
        std::find(log.begin(), log.end(),
                  "Exec: Append Zemrak log data into current log; processed: All:3, Ins:2, Cor:1, Err:1 (01:02:03)"),
        log.end());
    EXPECT_EQ(host_->Commands, std::vector<std::string>{"REFRESH 0"});
    EXPECT_EQ(HostRows("SELECT OMCALL,QSODATE,QSOTIME,QSOBAND,QSOMODE,QSOFREQ,CALLSIGN,LOGNAME,QSLMANAGER FROM LOGS "
                       "ORDER BY QSODATE"),
              (std::vector<std::string>{"DL1ABC|2024-05-01 10:00:00|10:00|20M|FT8|14.074|N0CALL|MAIN|<null>",
                                        "G4XYZ|2024-06-30 23:59:00|23:59|20M|FT8|14.074|N0CALL|MAIN|<null>"}));
    const auto errors = SplitLines(ReadFileText(ErrorFile()));
    ASSERT_EQ(errors.size(), 2u);
    // In the order the logger returns the rows (by date here).
    EXPECT_EQ(errors[0].rfind("BAD1X\t> INSERT INTO LOGS(OMCALL,", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1], "G4XYZ\t? \"G4XYZ/P\" instead of QSL Manager");
    EXPECT_EQ(d->psProgress.Percent(), 0);
    EXPECT_FALSE(d->dbtLoad.Ok().Enabled());
    EXPECT_EQ(Calls("IHostServer.CreateQuery"), Calls("IHostServer.FreeQuery"));
}

TEST_F(AppendDialogTest, AnEmptySelectionStillEndsWithRefresh)
{
    logs_.Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00"));
    auto d = Run([](TfrmAppZemrak& form) { form.dtMinDate.UserSetText("2024-05-02"); });
    EXPECT_EQ(d->mProgress.Text(), "* Use log \"Main (Berlin)\" for N0CALL\r\n* Done. Processed: All:0 (00:00:00)");
    EXPECT_EQ(host_->Commands, std::vector<std::string>{"REFRESH 0"});
    EXPECT_TRUE(HostRows("SELECT ID FROM LOGS").empty());
}

TEST_F(AppendDialogTest, ALogWithoutTableReadsNothingButFinishes)
{
    logs_.Exec("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) VALUES('Empty','N0CALL','',NULL)");
    auto d = Run([](TfrmAppZemrak& form) { form.cbLog.UserSelect("Empty"); });
    EXPECT_EQ(d->mProgress.Text(), "* Use log \"Empty\" for N0CALL\r\n* Done. Processed: All:0 (00:00:00)");
    EXPECT_EQ(host_->Commands, std::vector<std::string>{"REFRESH 0"});
    EXPECT_EQ(Calls("IHostServer.CreateQuery"), 0);
}

TEST_F(AppendDialogTest, DuplicateWindow)
{
    struct Case {
        int delta;
        const char* hostTime;
        bool duplicate;
    };
    const Case cases[] = {{2, "09:58", true},  {2, "10:02", true}, {2, "10:01", true},  {2, "09:57", false},
                          {2, "10:03", false}, {0, "10:00", true}, {0, "10:01", false}, {0, "09:59", false}};
    logs_.Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00",
                                  {{"QSLRec", "1"}, {"QSLRecDate", "'2024-05-20 00:00:00'"}, {"QSLSentAdv", "'N'"}}));
    for (const Case& c : cases) {
        host_->ExecSQL("DELETE FROM LOGS");
        HostExec(std::string("INSERT INTO LOGS(LOGNAME,OMCALL,QSOBAND,QSOMODE,QSODATE,QSLRECV,OMNAME) VALUES("
                             "'MAIN','DL1ABC','20M','FT8',#2024-05-01 ") +
                 c.hostTime + "#,FALSE,'kept')");
        // Same QSO in another host log: never a duplicate.
        HostExec(std::string("INSERT INTO LOGS(LOGNAME,OMCALL,QSOBAND,QSOMODE,QSODATE,QSLRECV) VALUES("
                             "'OTHER','DL1ABC','20M','FT8',#2024-05-01 10:00#,FALSE)"));
        const int delta = c.delta;
        auto d = Run([delta](TfrmAppZemrak& form) { form.seDelta.UserSetText(std::to_string(delta)); });
        const std::string trace = std::to_string(c.delta) + " " + c.hostTime;
        EXPECT_TRUE(driver_.Errors.empty()) << trace;
        EXPECT_TRUE(Contains(d->mProgress.Text(), c.duplicate ? "All:1, Upd:1 (" : "All:1, Ins:1 (")) << trace;
        if (c.duplicate) {
            EXPECT_EQ(
                HostRows("SELECT QSODATE,QSLRECV,QSLRECVDATE,QSLSTAT,OMNAME FROM LOGS WHERE LOGNAME='MAIN'"),
                std::vector<std::string>{std::string("2024-05-01 ") + c.hostTime + ":00|1|2024-05-20 00:00:00|N|kept"})
                << trace;
        } else {
            EXPECT_EQ(HostRows("SELECT COUNT(*) FROM LOGS WHERE LOGNAME='MAIN'"), std::vector<std::string>{"2"})
                << trace;
        }
        EXPECT_EQ(HostRows("SELECT QSLRECV FROM LOGS WHERE LOGNAME='OTHER'"), std::vector<std::string>{"0"}) << trace;
        EXPECT_FALSE(fs::exists(ErrorFile())) << trace;
    }
}

TEST_F(AppendDialogTest, AConversionErrorStopsTheRunAfterItsCleanUp)
{
    logs_.Add("LOG1", logger::Qso("DL1ABC", "2024-05-01", "10:00"));
    logs_.Add("LOG1", logger::Qso("ok1xyz", "2024-05-01", "10:05", {{"QSOTime", "'10h05'"}}));
    logs_.Add("LOG1", logger::Qso("G4XYZ", "2024-05-01", "10:10"));
    auto d = Run();
    ASSERT_EQ(driver_.Errors.size(), 1u);
    EXPECT_EQ(driver_.Errors[0], "QSO with OK1XYZ: '10h05' is not a valid time");
    // The row before it went in; no summary, no host-log line, no refresh.
    EXPECT_EQ(HostRows("SELECT OMCALL FROM LOGS"), std::vector<std::string>{"DL1ABC"});
    EXPECT_EQ(d->mProgress.Text(), "* Use log \"Main (Berlin)\" for N0CALL\r\n");
    EXPECT_TRUE(host_->Commands.empty());
    for (const auto& line : HostLogLines())
        EXPECT_FALSE(Contains(line, "Exec: ")) << line;
    EXPECT_EQ(Calls("IHostServer.CreateQuery"), 1);
    EXPECT_EQ(Calls("IHostServer.FreeQuery"), 1);
    EXPECT_FALSE(d->Running());
    EXPECT_TRUE(driver_.Closed);
}

TEST_F(AppendDialogTest, NoSecondRunInsideARunAndACloseWaitsForItsEnd)
{
    logs_.AddLog("Portable", "N0CALL", "LOG2");
    for (int i = 0; i < 5; ++i)
        logs_.Add("LOG1", logger::Qso("DL" + std::to_string(i) + "ABC", "2024-05-01", "10:00"));
    logs_.Add("LOG2", logger::Qso("K1ABC", "2024-05-01", "10:00"));
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Log", "Main");

    auto d = Dialog();
    TfrmAppZemrak& form = *d;
    bool acted = false, closedDuringRun = true, loadEnabledDuringRun = true;
    driver_.Pump = [&] {
        if (!form.Running() || acted || Calls("IHostServer.OpenQuery") != 2) return;
        acted = true;
        form.cbLog.UserSelect("Portable");
        loadEnabledDuringRun = form.dbtLoad.Ok().Enabled();
        form.dbtLoadClickOk(); // a click that was already queued
        form.Close();
        closedDuringRun = form.CloseModal();
    };
    driver_.Steps = {[&] { form.dbtLoad.Ok().UserClick(); }};
    d->ShowModal();

    ASSERT_TRUE(acted);
    EXPECT_FALSE(loadEnabledDuringRun);
    EXPECT_FALSE(closedDuringRun);
    EXPECT_TRUE(driver_.Errors.empty()) << driver_.Errors.front();
    // One run, over the log chosen when it started, to its end.
    EXPECT_EQ(Calls("IHostServer.CreateQuery"), 1);
    EXPECT_EQ(HostRows("SELECT COUNT(*) FROM LOGS"), std::vector<std::string>{"5"});
    EXPECT_TRUE(Contains(form.mProgress.Text(), "* Done. Processed: All:5, Ins:5 (")) << form.mProgress.Text();
    // Then the close took effect.
    EXPECT_TRUE(driver_.Closed);
    EXPECT_FALSE(form.adc.Connected());
    EXPECT_EQ(Setting("Log"), "Portable");
    EXPECT_TRUE(form.dbtLoad.Ok().Enabled());
    const auto log = HostLogLines();
    EXPECT_EQ(log.back(), "Disconnect Zemrak log database.");
    EXPECT_TRUE(Contains(log[log.size() - 3], "Exec: ")) << log[log.size() - 3];
}

// A logs file that cannot be read fails the activation; Load stays disabled,
// so no run logs an empty log, an Exec line or a refresh.
TEST_F(AppendDialogTest, AFailedActivationLeavesLoadDisabled)
{
    WriteFileText(logs_.Path(), "this is no database");
    auto d = Dialog();
    driver_.Steps = {[&] { d->dbtLoad.Ok().UserClick(); }};
    d->ShowModal();
    ASSERT_EQ(driver_.Errors.size(), 1u);
    EXPECT_TRUE(Contains(driver_.Errors[0], logs_.Path())) << driver_.Errors[0];
    EXPECT_FALSE(d->dbtLoad.Ok().Enabled());
    ASSERT_EQ(driver_.Refusals.size(), 1u);
    EXPECT_TRUE(Contains(driver_.Refusals[0], "is disabled")) << driver_.Refusals[0];
    EXPECT_EQ(d->mProgress.Text(), "");
    EXPECT_TRUE(host_->Commands.empty());
}

TEST_F(AppendDialogTest, ABrokenLogTableLeavesTheDialogUsable)
{
    logs_.Exec("INSERT INTO ACONFIG(LOGNAME,CALLSIGN,LOGFILENAME,QTH) VALUES('Broken','N0CALL','NOTABLE','Here')");
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Log", "Broken");
    TIniFile((Profile() / "host.ini").string(), "Zemrak Log").WriteString("Delta", "3");
    auto d = Dialog();
    d->ShowModal();
    ASSERT_EQ(driver_.Errors.size(), 1u);
    EXPECT_TRUE(Contains(driver_.Errors[0], "NOTABLE")) << driver_.Errors[0];
    EXPECT_EQ(d->LogTable, "NOTABLE");
    EXPECT_EQ(d->LogQth, "Here");
    EXPECT_EQ(d->DeltaMinutes, 3);
    EXPECT_EQ(Setting("Log"), "Broken");
    EXPECT_EQ(Setting("Delta"), "3");
}
