// One import run: the package's records merged into the host callbook.
#include "Plugins/CallbookImport/uImpZemrak.h"

#include "Includes/uCommDXCC/uCommDXCC.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/ServerQuery.h"

#include <exception>
#include <optional>

namespace {

// Runs f and drops what it raises: clean-up while another error is on its way.
template <class F> void Quietly(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
    }
}

} // namespace

// The state of the merge loop: the three queries, the counters and what is
// read again and again (column names, the package's fields).
struct TfrmImpZemrak::TRun {
    TRun(TfrmImpZemrak& form, TADOQuery& updateQuery, TServerQuery& callbookQuery, TServerQuery& callsignQuery,
         TMergeCounters& counters)
        : Form(form), UpdateQuery(updateQuery), CallbookQuery(callbookQuery), CallsignQuery(callsignQuery),
          Counters(counters)
    {
    }

    TfrmImpZemrak& Form;
    TADOQuery& UpdateQuery;
    TServerQuery& CallbookQuery;
    TServerQuery& CallsignQuery;
    TMergeCounters& Counters;
    TFieldUse Use{};
    TResolveCallsign Resolve;

    const WideString OMCALL{"OMCALL"};
    std::vector<std::pair<std::string, WideString>> Columns; // host column names met so far
    TListFields Fields;
    std::string ManagerError;

    struct TUpdateFields {
        TField *Call, *Name, *Qth, *State, *Grid, *Manager, *Note, *Checked;
    };
    std::optional<TUpdateFields> UpdateFields;

    const WideString& Column(const std::string& name)
    {
        for (auto& [text, wide] : Columns)
            if (text == name) return wide;
        return Columns.emplace_back(name, WideString(name)).second;
    }

    // The current record of the package. Its fields are looked up on the
    // first read, so a missing column fails there.
    TUpdateRecord ReadUpdate()
    {
        if (!UpdateFields) {
            UpdateFields = TUpdateFields{&UpdateQuery.FieldByName("CALL"), &UpdateQuery.FieldByName("NAME"),
                                         &UpdateQuery.FieldByName("QTH"),  &UpdateQuery.FieldByName("STATE"),
                                         &UpdateQuery.FieldByName("GRID"), &UpdateQuery.FieldByName("MANAGER"),
                                         &UpdateQuery.FieldByName("NOTE"), &UpdateQuery.FieldByName("CHECKED")};
        }
        auto text = [](TField* field) -> std::optional<std::string> {
            if (field->IsNull()) return std::nullopt;
            return field->AsString();
        };
        const TUpdateFields& f = *UpdateFields;
        TUpdateRecord record;
        record.Call = f.Call->AsString();
        record.Name = text(f.Name);
        record.Qth = text(f.Qth);
        record.State = text(f.State);
        record.Grid = text(f.Grid);
        record.Manager = text(f.Manager);
        record.Note = text(f.Note);
        if (!f.Checked->IsNull()) {
            try {
                record.Checked = f.Checked->AsBoolean();
            } catch (const std::exception& error) {
                // Say which record and field, so that the package can be mended.
                throw EDatabaseError("Update package record " + record.Call + ", field CHECKED: " + error.what());
            }
        }
        return record;
    }

    // Whether the current callbook row has a value in column.
    bool Filled(const std::string& column)
    {
        bool hasValue = false;
        if (IsBooleanColumn(column)) {
            const bool value = CallbookQuery.GetBoolean(Column(column), &hasValue);
            return hasValue && value;
        }
        CallbookQuery.GetString(Column(column), &hasValue);
        return hasValue;
    }

    // Collects, checks and runs one record's statement; false when the host
    // refused it.
    bool Apply(const TUpdateRecord& record, const std::string& callsign, bool exists)
    {
        CollectFields(record, Use, Resolve, Fields, ManagerError);
        if (!ManagerError.empty()) Form.AppendErrorLog(Form.ErrorLogPath, ManagerError);
        if (exists) DropFilledColumns(Fields, [this](const std::string& column) { return Filled(column); });
        if (Fields.empty()) return true;
        const std::string statement = exists ? BuildUpdate(callsign, Fields) : BuildInsert(callsign, Fields);
        if (Form.OnStatement) Form.OnStatement(statement);
        std::int32_t rows = 0;
        CheckHostResult(Form.Server->ExecSQL(WideString(statement).c_bstr(), &rows));
        if (rows == 0) {
            Form.AppendErrorLog(Form.ErrorLogPath, callsign + "\t> " + statement);
            return false;
        }
        (exists ? Counters.Upd : Counters.Ins) += 1;
        return true;
    }

    // The current package record into the callbook.
    bool MergeFromUpdate()
    {
        TUpdateRecord record = ReadUpdate();
        // A record without a callsign names no station.
        if (Trim(record.Call).empty()) {
            Form.AppendErrorLog(Form.ErrorLogPath, record.Call + "\t? Callsign is empty");
            return true;
        }
        const bool exists = CallsignQuery.Locate(OMCALL, record.Call);
        if (exists) CallbookQuery.Locate(OMCALL, record.Call);
        return Apply(record, record.Call, exists);
    }

    // The current callbook row from its package record, when there is one.
    bool MergeFromCallbook()
    {
        const std::string callsign = CallbookQuery.GetString(OMCALL);
        if (!UpdateQuery.Locate("CALL", callsign)) return true;
        return Apply(ReadUpdate(), callsign, true);
    }

    void Progress(double done, double total) { Form.ShowProgress(total > 0 ? done / total : 0); }

    bool MergeAll(std::int32_t total)
    {
        Counters = {};
        while (!UpdateQuery.Eof()) {
            if (!MergeFromUpdate()) ++Counters.Err;
            Progress(double(Counters.Ins) + Counters.Upd + Counters.Err, total);
            UpdateQuery.Next();
        }
        return Counters.Ins > 0 || Counters.Upd > 0;
    }

    bool MergeNew(std::int32_t total)
    {
        Counters = {};
        while (!UpdateQuery.Eof()) {
            const std::string callsign = ReadUpdate().Call;
            if (!CallsignQuery.Locate(OMCALL, callsign) && !MergeFromUpdate()) ++Counters.Err;
            Progress(double(Counters.Ins) + Counters.Upd + Counters.Err, total);
            UpdateQuery.Next();
        }
        return Counters.Ins > 0 || Counters.Upd > 0;
    }

    bool MergeExisting(std::int32_t before)
    {
        Counters = {};
        std::int32_t n = 0;
        while (!CallbookQuery.Eof()) {
            if (!MergeFromCallbook()) ++Counters.Err;
            ++n;
            Progress(n, before);
            CallbookQuery.Next();
        }
        return Counters.Ins > 0 || Counters.Upd > 0;
    }
};

bool TfrmImpZemrak::ImportUpdates(int Location, const std::string& Source)
{
    const std::uint64_t start = Clock->TickCount();
    TMergeCounters counters;
    std::string elapsed;
    bool result = false;
    try {
        result = RunImport(Location, Source, counters);
    } catch (...) {
        Quietly([&] { FinishRun(start, counters, elapsed); });
        throw;
    }
    FinishRun(start, counters, elapsed);
    ShowProgress(0);
    const std::string counts = "Ins:" + std::to_string(counters.Ins) + ", Upd:" + std::to_string(counters.Upd) +
                               ", Err:" + std::to_string(counters.Err) + " (" + elapsed + ")";
    if (result) {
        WriteLog("Exec: " + Caption() + ", " + Source + " done, " + counts);
        CheckHostResult(Kernel->ExecuteCommand(WideString("REFRESH").c_bstr(), WideString("0").c_bstr()));
    } else {
        WriteLog("Exec: " + Caption() + ", " + Source + ", nothing to update");
    }
    return result;
}

void TfrmImpZemrak::FinishRun(std::uint64_t Start, const TMergeCounters& Counters, std::string& Elapsed)
{
    const std::uint64_t ms = Clock->TickCount() - Start;
    Elapsed = FormatDateTime("hh:nn:ss", static_cast<double>(ms) / 86400000.0);
    MsgProgress(0,
                "* Done. Ins:" + std::to_string(Counters.Ins) + ", Upd:" + std::to_string(Counters.Upd) +
                    ", Err:" + std::to_string(Counters.Err) + " (" + Elapsed + ")",
                false);
}

bool TfrmImpZemrak::RunImport(int Location, const std::string& Source, TMergeCounters& Counters)
{
    TArchiveStream archive;
    if (!AcquireArchive(Location, Source, archive)) {
        MsgProgress(1, "Resource not found or unaccessable", true);
        WriteLog("Resource not found or unaccessable");
        return false;
    }
    MsgProgress(0, "* Use: " + Source, true);

    std::string databasePath;
    if (!ExtractDatabase(Location, archive, databasePath)) {
        MsgProgress(1, "Received archive cannot be processed", true);
        WriteLog("Received archive cannot be processed");
        return false;
    }
    MsgProgress(1, "Unarchive to " + databasePath, true);

    // The package comes from outside: opened read-only, with SQLite's
    // defensive settings and an integrity check.
    adcUpd.Untrusted = true;
    adcUpd.ReadOnly = true;
    try {
        OpenDatabase(adcUpd, databasePath);
    } catch (...) {
        Quietly([&] { MsgProgress(1, "Erase " + databasePath, true); });
        DeleteFile(databasePath);
        throw;
    }

    TADOQuery updateQuery(&adcUpd);
    bool result = false;
    try {
        CheckUpdateDatabase();
        updateQuery.ParamCheck = false;
        updateQuery.SQL.SetText("SELECT * FROM CALLBOOK ORDER BY CALL");
        updateQuery.Open();
        const std::int32_t total = updateQuery.RecordCount();
        updateQuery.First();
        MsgProgress(1, "Update package contains " + std::to_string(total) + " records.", true);
        result = MergeUpdates(updateQuery, total, Counters);
    } catch (...) {
        EraseUpdateDatabase(updateQuery, databasePath, true);
        throw;
    }
    EraseUpdateDatabase(updateQuery, databasePath, false);
    return result;
}

void TfrmImpZemrak::CheckUpdateDatabase()
{
    // The merge reads a table; a view or anything else in its place could
    // compute without end.
    if (adcUpd.ObjectType("CALLBOOK") != "table")
        throw EDatabaseError("The update package holds no CALLBOOK table: " + adcUpd.DataSource());
    // Nor columns computed on reading.
    if (adcUpd.HasComputedColumns("CALLBOOK"))
        throw EDatabaseError("The CALLBOOK table of the update package has computed columns: " + adcUpd.DataSource());
}

void TfrmImpZemrak::EraseUpdateDatabase(TADOQuery& UpdateQuery, const std::string& Path, bool Unwinding)
{
    UpdateQuery.Close();
    std::exception_ptr failure;
    try {
        CloseDatabase(adcUpd);
    } catch (...) {
        adcUpd.Close();
        failure = std::current_exception();
    }
    try {
        ProcessMessages();
        MsgProgress(1, "Erase " + Path, true);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        DeleteFile(Path + suffix);
    if (failure && !Unwinding) std::rethrow_exception(failure);
}

bool TfrmImpZemrak::MergeUpdates(TADOQuery& UpdateQuery, std::int32_t Total, TMergeCounters& Counters)
{
    TServerQuery callbookQuery(Server.Get());
    std::optional<TServerQuery> callsignQuery;
    bool opened = false;
    bool afterShown = false;
    auto showAfter = [&] {
        callbookQuery.Requery();
        const std::int32_t after = callbookQuery.RecordCount();
        afterShown = true;
        MsgProgress(0, ", " + std::to_string(after) + " after update.", true);
    };
    try {
        callbookQuery.Open("SELECT * FROM CALLBOOK ORDER BY OMCALL");
        opened = true;
        const std::int32_t before = callbookQuery.RecordCount();
        MsgProgress(1, "Callbook: " + std::to_string(before) + " before", false);
        callsignQuery.emplace(Server.Get());
        callsignQuery->Open("SELECT DISTINCT OMCALL FROM CALLBOOK ORDER BY OMCALL");
        callbookQuery.First();

        TRun run(*this, UpdateQuery, callbookQuery, *callsignQuery, Counters);
        run.Use = FieldUse();
        if (run.Use[ufDXCC])
            run.Resolve = [](std::string_view callsign, TCallsignCountry& country) {
                return ResolveCallsign(callsign, country);
            };
        bool result = false;
        switch (cbImportMode.ItemIndex()) {
        case 0:
            result = run.MergeAll(Total);
            break;
        case 1:
            result = run.MergeNew(Total);
            break;
        default:
            result = run.MergeExisting(before);
            break;
        }
        showAfter();
        callsignQuery->Free();
        callbookQuery.Free();
        return result;
    } catch (...) {
        if (opened && !afterShown) Quietly(showAfter);
        // The handles are freed by their destructors, the callsigns first.
        callsignQuery.reset();
        throw;
    }
}
