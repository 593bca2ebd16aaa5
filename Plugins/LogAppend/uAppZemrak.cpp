#include "Plugins/LogAppend/uAppZemrak.h"

#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/ServerQuery.h"

#include <algorithm>
#include <cmath>

TfrmAppZemrak::TfrmAppZemrak(ICore* core) : TPluginDialog(core)
{
    SetClientWidth(394);
    SetClientHeight(280);
    ConnectText = "Connect Zemrak log database: ";
    DisconnectText = "Disconnect Zemrak log database.";
    // The run only reads the logger's file.
    adc.ReadOnly = true;

    lbRefDBCaption.SetBold(true);
    edRefDB.SetReadOnly(true);
    lbCallsign.SetBold(true);
    for (Forms::TControl* c :
         std::initializer_list<Forms::TControl*>{&dtMinDate, &lbTo, &dtMaxDate, &lbDelta, &seDelta})
        c->SetParent(&gbDateRange);
    lbDelta.SetBold(true);
    lbProgress.SetBold(true);
    // Dates in the user's short date format.
    for (Forms::TDateEdit* edit : {&dtMinDate, &dtMaxDate})
        edit->SetDateFormat([](TDateTime d) { return DateToStr(d); },
                            [](std::string_view text) -> std::optional<TDateTime> {
                                TDateTime d = 0;
                                if (!TryStrToDate(text, d)) return std::nullopt;
                                return d;
                            });
    seDelta.SetRange(0, 9);
    seDelta.SetIncrement(1);
    seDelta.SetIntegersOnly(true);
    seDelta.SetValue(DeltaMinutes);

    cbLog.OnChange = [this] { cbLogChange(); };
    seDelta.OnChange = [this] { seDeltaChange(); };
    dbtLoad.Ok().OnClick = [this] { dbtLoadClickOk(); };
    dbtLoad.Cancel().OnClick = [this] { dbtLoadClickCancel(); };
}

TfrmAppZemrak::~TfrmAppZemrak() = default;

void TfrmAppZemrak::FormActivate()
{
    // Load stays disabled until the logger's logs are listed: a dialog whose
    // activation failed has nothing to load from.
    dbtLoad.Ok().SetEnabled(false);
    PrepareErrorLog();
    lbCallsign.SetCaption("Log of " + LogOperator + " for loading data");
    ResetRun();
    std::string path;
    if (!CheckInstallation(*this, LogDatabaseFile, path)) return;
    edRefDB.SetText(path);
    LogTable.clear();
    OpenDatabase(adc, path);
    ListLogs();

    if (!cbLog.Items().empty()) cbLog.SetItemIndex(0);
    const std::string stored = Settings.ReadString("Log", "");
    if (!stored.empty() && cbLog.IndexOf(stored) >= 0) cbLog.SetItemIndex(cbLog.IndexOf(stored));
    settingsRead_ = true;
    dbtLoad.Ok().SetEnabled(!Trim(cbLog.Text()).empty());
    // A log whose table cannot be read still leaves the dialog usable.
    try {
        cbLogChange();
    } catch (const std::exception& error) {
        HandleException(error);
    }
    DeltaMinutes = std::clamp(Settings.ReadInteger("Delta", 2), 0, 9);
    seDelta.SetValue(DeltaMinutes);
}

void TfrmAppZemrak::ListLogs()
{
    TADOQuery query(&adc);
    query.ParamCheck = false;
    query.EnableBCD = false;
    query.SQL.Add("SELECT LOGNAME FROM ACONFIG WHERE CALLSIGN=" + QuotedStr(LogOperator) + " ORDER BY LOGNAME");
    query.Open();
    cbLog.ClearItems();
    for (query.First(); !query.Eof(); query.Next())
        cbLog.AddItem(query.FieldByName("LOGNAME").AsString());
}

void TfrmAppZemrak::cbLogChange()
{
    if (Trim(cbLog.Text()).empty()) {
        dbtLoad.Ok().SetEnabled(false);
        enableAfterRun_ = false;
        return;
    }
    std::string table, qth;
    {
        TADOQuery query(&adc);
        query.ParamCheck = false;
        query.EnableBCD = false;
        query.SQL.Add("SELECT LOGFILENAME,QTH FROM ACONFIG WHERE LOGNAME=" + QuotedStr(cbLog.Text()));
        query.Open();
        if (!query.Eof()) {
            table = query.FieldByName("LOGFILENAME").AsString();
            qth = query.FieldByName("QTH").AsString();
        }
    }
    struct TAssign {
        TfrmAppZemrak& form;
        const std::string& table;
        const std::string& qth;
        ~TAssign()
        {
            form.LogTable = table;
            form.LogQth = qth;
        }
    } assign{*this, table, qth};

    const auto bound = [this, &table](const char* sql, const char* column, Forms::TDateEdit& edit) {
        TADOQuery query(&adc);
        query.ParamCheck = false;
        query.EnableBCD = false;
        query.SQL.Add(std::string(sql) + table);
        query.Open();
        TField& field = query.FieldByName(column);
        if (field.IsNull())
            edit.Clear();
        else
            edit.SetDate(field.AsDateTime());
    };
    bound("SELECT MIN(QSODATE) AS MINDATE FROM ", "MINDATE", dtMinDate);
    bound("SELECT MAX(QSODATE) AS MAXDATE FROM ", "MAXDATE", dtMaxDate);

    // A run keeps its button disabled until it ends.
    if (running_)
        enableAfterRun_ = true;
    else
        dbtLoad.Ok().SetEnabled(true);
}

void TfrmAppZemrak::seDeltaChange()
{
    DeltaMinutes = static_cast<int>(std::trunc(seDelta.Value()));
}

void TfrmAppZemrak::dbtLoadClickOk()
{
    if (running_) return;
    Forms::TBusyCursor busy(*this);
    mProgress.Clear();
    dbtLoad.Ok().SetEnabled(false);
    running_ = true;
    enableAfterRun_ = false;
    closeAfterRun_ = false;
    struct TEndRun {
        TfrmAppZemrak& form;
        ~TEndRun()
        {
            form.running_ = false;
            if (form.enableAfterRun_) form.dbtLoad.Ok().SetEnabled(true);
            form.enableAfterRun_ = false;
            if (form.closeAfterRun_) form.Close();
        }
    } endRun{*this};
    LastRunDone = false;
    AppendLog();
    LastRunDone = true;
}

void TfrmAppZemrak::dbtLoadClickCancel()
{
    Close();
}

void TfrmAppZemrak::FormClose(Forms::TCloseAction& Action)
{
    if (running_) {
        // The transfer still reads through the connection.
        closeAfterRun_ = true;
        Action = Forms::TCloseAction::caNone;
        return;
    }
    std::exception_ptr failure;
    try {
        CloseDatabase(adc);
    } catch (...) {
        failure = std::current_exception();
    }
    // Settings that were never read (the activation stopped before the list
    // of logs) are left as they are rather than overwritten with blanks.
    if (settingsRead_) {
        Settings.WriteString("Log", cbLog.Text());
        Settings.WriteInteger("Delta", DeltaMinutes);
    }
    if (failure) std::rethrow_exception(failure);
}

std::optional<std::int32_t> TfrmAppZemrak::FindDuplicate(QueryHandle Handle, const TQsoKey& Key,
                                                         const TQsoWindow& Window)
{
    const WideString sql(DuplicateProbeStatement(HostLogName, Key.Callsign, Key.Band, Key.Mode, Window));
    CheckHostResult(Server->OpenQuery(Handle, sql.c_bstr()));
    std::vector<TProbeRow> rows;
    const WideString id("ID"), date("QSODATE");
    CheckHostResult(Server->First(Handle));
    for (;;) {
        BOOL32 eof = 0;
        CheckHostResult(Server->Eof(Handle, &eof));
        if (eof) break;
        TProbeRow row;
        BOOL32 has = 0;
        CheckHostResult(Server->GetInteger(Handle, id.c_bstr(), &row.Id, &has));
        WORD y = 0, m = 0, d = 0, hh = 0, nn = 0, ss = 0;
        BOOL32 hasDate = 0;
        CheckHostResult(Server->GetDateTime(Handle, date.c_bstr(), &y, &m, &d, &hh, &nn, &ss, &hasDate));
        if (has && hasDate) {
            row.Date = EncodeDate(y, m, d) + EncodeTime(hh, nn, ss, 0);
            rows.push_back(row);
        }
        CheckHostResult(Server->Next(Handle));
    }
    ProcessMessages();
    CheckHostResult(Server->CloseQuery(Handle));
    return NearestDuplicate(rows, Key.Start, matched_, lastIdBeforeRun_);
}

void TfrmAppZemrak::TransferRows(QueryHandle handle, TADOQuery& source, TRunCounters& counters)
{
    // Rows added by this run are never taken for duplicates of later rows.
    matched_.clear();
    CheckHostResult(Server->OpenQuery(handle, WideString("SELECT MAX(ID) AS LASTID FROM LOGS").c_bstr()));
    BOOL32 hasLast = 0;
    CheckHostResult(Server->GetInteger(handle, WideString("LASTID").c_bstr(), &lastIdBeforeRun_, &hasLast));
    if (!hasLast) lastIdBeforeRun_ = 0;
    CheckHostResult(Server->CloseQuery(handle));

    const TSourceFields fields(source);
    std::vector<std::string> corrections;
    for (source.First(); !source.Eof(); source.Next()) {
        const TQsoKey key = ReadQsoKey(fields);
        const TQsoWindow window = DuplicateWindow(key.Start, DeltaMinutes);
        const std::optional<std::int32_t> duplicate = FindDuplicate(handle, key, window);
        corrections.clear();
        const TQsoValues values = BuildQsoValues(fields, key, LogOperator, HostLogName, corrections);
        for (const std::string& line : corrections)
            AppendErrorLog(ErrorLogPath, line);
        counters.Cor += static_cast<int>(corrections.size());
        const std::string statement = duplicate ? UpdateStatement(values, *duplicate) : InsertStatement(values);
        std::int32_t result = 0;
        CheckHostResult(Server->ExecSQL(WideString(statement).c_bstr(), &result));
        if (result != 0) {
            ++(duplicate ? counters.Upd : counters.Ins);
            if (duplicate) matched_.insert(*duplicate);
        } else {
            AppendErrorLog(ErrorLogPath, key.Callsign + "\t> " + statement);
            ++counters.Err;
        }
        ShowProgress(static_cast<double>(counters.Ins + counters.Upd + counters.Err) / counters.All);
    }
}

void TfrmAppZemrak::AppendLog()
{
    const std::uint64_t started = Clock->TickCount();
    std::string header = "* Use log \"" + cbLog.Text();
    if (!LogQth.empty()) header += " (" + LogQth + ")";
    header += "\" for " + LogOperator;
    MsgProgress(0, header, true);
    TRunCounters counters;
    ShowProgress(0);

    if (!Trim(LogTable).empty()) {
        // On a failure the destructor frees the handle, unchecked: the run's
        // own error is the one to report.
        TServerQuery query(Server.Get());
        {
            TADOQuery source(&adc);
            source.ParamCheck = false;
            source.EnableBCD = false;
            source.SQL.Add(BuildSourceQuery(LogTable, dtMinDate, dtMaxDate, LogExpire));
            source.Open();
            counters.All = source.RecordCount();
            TransferRows(query.Handle(), source, counters);
        }
        query.Free();
    }
    const std::string summary = RunSummary(counters);

    ShowProgress(0);
    psInfo.SetText("");
    const std::uint64_t elapsedMs = Clock->TickCount() - started;
    const std::string elapsed = FormatDateTime("hh:nn:ss", static_cast<double>(elapsedMs) / 86'400'000.0);
    MsgProgress(0, "* Done. Processed: " + summary + " (" + elapsed + ")", false);
    WriteLog("Exec: " + Caption() + "; processed: " + summary + " (" + elapsed + ")");
    CheckHostResult(Kernel->ExecuteCommand(WideString("REFRESH").c_bstr(), WideString("0").c_bstr()));
}
