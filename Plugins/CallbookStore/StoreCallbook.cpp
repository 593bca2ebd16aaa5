// One store run: every station of the host callbook written into the
// logger's CALLBOOK, one autocommit statement per station.
#include "Plugins/CallbookStore/uStoZemrakcb.h"

#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/OleAuto/OleAuto.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/ServerQuery.h"

#include <array>
#include <exception>
#include <optional>
#include <vector>

namespace {

// Host column, the name of its target column in statements, and how many
// characters the target takes.
struct TCarriedColumn {
    const char* Host;
    const char* Target;
    std::size_t Length;
};

constexpr std::array<TCarriedColumn, 6> CarriedColumns{{
    {"OMNAME", "[NAME]", 15},
    {"OMQTH", "QTH", 30},
    {"GRIDSQUARE", "GRID", 6},
    {"QSLMANAGER", "MANAGER", 12},
    {"STATE", "STATE", 10},
    {"NOTES", "[NOTE]", 255},
}};

// Target columns whose existing value is kept, with their statement names.
constexpr std::array<std::pair<const char*, const char*>, 5> KeptColumns{{
    {"NAME", "[NAME]"},
    {"QTH", "QTH"},
    {"GRID", "GRID"},
    {"MANAGER", "MANAGER"},
    {"STATE", "STATE"},
}};

constexpr const char* NoteField = "[NOTE]";
constexpr double MillisecondsPerDay = 24.0 * 60 * 60 * 1000;

constexpr std::array<const char*, 10> FilterKeywords{
    NoteKeyword::LotW, NoteKeyword::eQSL, NoteKeyword::Email, NoteKeyword::Bureau, NoteKeyword::Direct,
    NoteKeyword::New,  NoteKeyword::Ex,   NoteKeyword::Skype, NoteKeyword::Born,   NoteKeyword::SK,
};

std::string JoinWords(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

std::string SummaryLine(int processed, int ins, int upd, int err)
{
    std::string line = "Processed, All:" + std::to_string(processed) + " ";
    if (ins > 0) line += "Ins:" + std::to_string(ins) + " ";
    if (upd > 0) line += "Upd:" + std::to_string(upd) + " ";
    if (err > 0) line += "Err:" + std::to_string(err) + " ";
    return Trim(line);
}

// Runs every clean-up step even when one fails; the first failure is kept.
class TCleanup {
public:
    template <class Step> void Run(Step&& step) noexcept
    {
        try {
            step();
        } catch (...) {
            if (!first_) first_ = std::current_exception();
        }
    }
    void RethrowFirst()
    {
        if (first_) std::rethrow_exception(first_);
    }

private:
    std::exception_ptr first_;
};

} // namespace

bool IsNoteKeyword(std::string_view Word)
{
    for (const char* keyword : FilterKeywords)
        if (Word.starts_with(keyword)) return true;
    return false;
}

std::string FilterNote(std::string_view Note, bool KeepKeywords, bool SavePlain)
{
    std::vector<std::string> words;
    SplitWords(Note, &words, 1);
    std::vector<std::string> keywords, plain;
    for (std::string& word : words)
        (IsNoteKeyword(word) ? keywords : plain).push_back(std::move(word));
    const std::string keywordPart = KeepKeywords ? JoinWords(keywords) : std::string();
    const std::string plainPart = SavePlain ? JoinWords(plain) : std::string();
    return Trim(plainPart + " " + keywordPart);
}

std::string BuildInsertStatement(std::string_view Callsign, const TListFields& Fields, bool WithMarks, bool Checked)
{
    std::string columns = "CALL";
    std::string values = QuoteSQLValue(Callsign);
    for (const TListRec& field : Fields) {
        columns = AppendCommaItem(columns, field.ItemName);
        values = AppendCommaItem(values, QuoteSQLValue(field.ItemValue));
    }
    if (WithMarks) {
        columns = AppendCommaItem(columns, "Checked");
        values = AppendCommaItem(values, Checked ? "TRUE" : "FALSE");
    }
    return "INSERT INTO CALLBOOK(" + columns + ") VALUES(" + values + ");";
}

std::string BuildUpdateStatement(std::string_view Callsign, const TListFields& Fields, bool WithMarks, bool Checked)
{
    std::string assignments;
    for (const TListRec& field : Fields)
        assignments = AppendCommaItem(assignments, field.ItemName + "=" + QuoteSQLValue(field.ItemValue));
    if (WithMarks) assignments = AppendCommaItem(assignments, Checked ? "Checked=TRUE" : "Checked=FALSE");
    return "UPDATE CALLBOOK SET " + assignments + " WHERE CALL=" + QuoteSQLValue(Callsign) + ";";
}

void TfrmStoZemrakcb::CheckWritable()
{
    try {
        adc.BeginWriteTrans();
    } catch (const EOleException& e) {
        throw EOleException(e.Message() + ". Nothing was written.", e.ErrorCode(), e.Source());
    }
    adc.RollbackTrans();
}

bool TfrmStoZemrakcb::StoreStatement(const std::string& Statement, bool IsUpdate)
{
    if (OnStatement) OnStatement(Statement);
    TADOQuery query(&adc);
    query.ParamCheck = false;
    query.EnableBCD = false;
    query.SQL.Add(Statement);
    std::int64_t rows = 0;
    try {
        rows = query.ExecSQL();
    } catch (const EOleException& e) {
        if (e.ErrorCode() == DB_E_ERRORSINCOMMAND) return false;
        throw;
    }
    // An update that found no row wrote nothing.
    return !IsUpdate || rows > 0;
}

bool TfrmStoZemrakcb::StoreCallbook()
{
    const std::uint64_t started = Clock->TickCount();
    int ins = 0, upd = 0, err = 0, processed = 0;

    OpenDatabase(adc, edRefDB.Text());
    try {
        CheckWritable();
    } catch (...) {
        TCleanup cleanup;
        cleanup.Run([&] { CloseDatabase(adc); });
        throw;
    }
    MsgProgress(0, "* Use Callbook as source, Zemrak Log as target", true);

    // Closed and freed by the clean-up, checked: their failures are reported.
    std::optional<TServerQuery> query;
    QueryHandle handle = 0;
    TADOQuery target(&adc);
    target.ParamCheck = false;
    target.EnableBCD = false;

    const auto cleanUp = [&](TCleanup& cleanup) {
        cleanup.Run([&] { target.Close(); });
        cleanup.Run([&] { MsgProgress(1, SummaryLine(processed, ins, upd, err), true); });
        if (query) {
            cleanup.Run([&] { query->Close(); });
            cleanup.Run([&] { query->Free(); });
        }
        cleanup.Run([&] { CloseDatabase(adc); });
    };

    try {
        handle = query.emplace(Server.Get()).Handle();
        CheckHostResult(Server->OpenQuery(handle, WideString("SELECT * FROM CALLBOOK ORDER BY OMCALL").c_bstr()));
        std::int32_t sourceCount = 0;
        CheckHostResult(Server->GetRecordCount(handle, &sourceCount));
        MsgProgress(1, "Callsigns: " + std::to_string(sourceCount) + " in source", false);

        target.SQL.Add("SELECT * FROM CALLBOOK ORDER BY CALL");
        target.Open();
        MsgProgress(0, ", " + std::to_string(target.RecordCount()) + " in target", true);

        // Column names cross the interface once, not once per station.
        const WideString callColumn("OMCALL"), checkColumn("CHK");
        std::vector<WideString> hostColumns;
        for (const TCarriedColumn& column : CarriedColumns)
            hostColumns.emplace_back(column.Host);

        const auto hostString = [&](const WideString& column, bool& hasValue) {
            WideString value;
            BOOL32 has = 0;
            CheckHostResult(Server->GetString(handle, column.c_bstr(), value.Out(), &has));
            hasValue = has != 0;
            return value.Utf8();
        };

        TListFields fields;
        CheckHostResult(Server->First(handle));
        for (;;) {
            BOOL32 eof = 0;
            CheckHostResult(Server->Eof(handle, &eof));
            if (eof) break;

            ClearFields(fields);
            bool hasValue = false;
            const std::string callsign = hostString(callColumn, hasValue);
            for (std::size_t i = 0; i < CarriedColumns.size(); ++i) {
                std::string value = hostString(hostColumns[i], hasValue);
                if (hasValue)
                    AddField(CarriedColumns[i].Target, LeftCodePoints(value, CarriedColumns[i].Length), fields);
            }
            BOOL32 checked = 0, hasCheck = 0;
            CheckHostResult(Server->GetBoolean(handle, checkColumn.c_bstr(), &checked, &hasCheck));

            // The logger's CALL key ignores letter case; so does the lookup.
            const bool found = target.Locate("CALL", callsign, {.CaseInsensitive = true});
            // An update names the row as the logger spells it.
            const std::string targetCall = found ? target.FieldByName("CALL").AsString() : callsign;
            if (found && !Option(soOver)) {
                for (const auto& [column, name] : KeptColumns)
                    if (!target.FieldByName(column).IsNull()) DeleteField(fields, name);
                // A blank host note is no reason to clear the target's note.
                if (IndexOfField(NoteField, fields) != -1) {
                    const std::string note =
                        FilterNote(GetFieldValue(fields, NoteField), Option(soXtra), Option(soSave));
                    if (note.empty())
                        DeleteField(fields, NoteField);
                    else
                        SetFieldValue(fields, NoteField, note);
                }
            }

            const bool marks = Option(soMark);
            // A known station whose values are all kept still takes its mark.
            if (fields.empty() && !(found && marks)) {
                AppendErrorLog(ErrorLogPath, callsign + "\t: absent attributes");
                ++err;
            } else {
                const std::string statement = found ? BuildUpdateStatement(targetCall, fields, marks, checked != 0)
                                                    : BuildInsertStatement(callsign, fields, marks, checked != 0);
                if (StoreStatement(statement, found)) {
                    ++(found ? upd : ins);
                } else {
                    ++err;
                    AppendErrorLog(ErrorLogPath, callsign + "\t> " + statement);
                }
            }

            ++processed;
            ShowProgress(static_cast<double>(processed) / sourceCount);
            if (err > 0 && psInfo.Text().empty()) psInfo.SetText("Errors found.");
            ProcessMessages();
            CheckHostResult(Server->Next(handle));
        }
    } catch (...) {
        TCleanup cleanup;
        cleanUp(cleanup);
        throw;
    }
    TCleanup cleanup;
    cleanUp(cleanup);
    cleanup.RethrowFirst();

    const bool done = ins > 0 || upd > 0;
    ShowProgress(0);
    const std::uint64_t elapsedMs = Clock->TickCount() - started;
    const std::string elapsed = FormatDateTime("hh:nn:ss", static_cast<double>(elapsedMs) / MillisecondsPerDay);
    MsgProgress(0, "* Done. Elapsed time " + elapsed, false);
    if (done) {
        WriteLog("Exec: " + Caption() + ", done. " + SummaryLine(processed, ins, upd, err) + " (" + elapsed + ")");
        CheckHostResult(Kernel->ExecuteCommand(WideString("REFRESH").c_bstr(), WideString("0").c_bstr()));
    } else {
        WriteLog("Exec: " + Caption() + ", nothing to do.");
    }
    return done;
}
