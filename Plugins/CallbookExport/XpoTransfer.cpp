// The callbook transfer: host rows chosen by the omit options become rows of
// the package's CALLBOOK, one INSERT each.
#include "Plugins/CallbookExport/XpoTransfer.h"

#include "Includes/uCommFunc/uCommFunc.h"
#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/OleAuto/OleAuto.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/ServerQuery.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"

const std::array<TExtInfoDef, eiCount> ExtInfoItems{{
    {"Aka", "AKA", "Aka"},
    {"Skype", "SKYPE", "Skype"},
    {"Bureau", "Use_BUREAU", "Bureau"},
    {"E-mail", "EMAIL", "Email"},
    {"Direct", "Use_DIRECT", "Direct"},
    {"Born", "BORN", "Born"},
    {"LotW", "Use_LOTW", "LotW"},
    {"SK", "SK", "SK"},
    {"eQSL", "Use_EQSL", "eQSL"},
}};

namespace {

std::string OmitPart(const TOmitOption& option, const char* flag, const char* dateColumn)
{
    std::string part = std::string("(") + flag;
    if (option.Date)
        part += std::string(" AND ") + dateColumn + ">=#" +
                FormatDateTime("yyyy-mm-dd", *option.Date, InvariantFormatSettings()) + "#";
    else
        part += std::string(" AND ") + dateColumn + " IS NOT NULL";
    return part + ")";
}

std::string Quoted(std::string_view text, std::size_t cut)
{
    return QuoteSQLValue(LeftCodePoints(text, cut));
}

void AddColumn(std::string& columns, std::string& values, std::string_view column, std::string_view value)
{
    columns = AppendCommaItem(columns, column);
    values = AppendCommaItem(values, value);
}

std::string DatePiece(const std::optional<TDateTime>& date)
{
    return date ? DateToStr(*date) : std::string();
}

} // namespace

std::string BuildSelectStatement(const TOmitOption& LotW, const TOmitOption& EQSL)
{
    std::string condition;
    if (LotW.Checked) condition = OmitPart(LotW, "Use_LOTW", "LOTWACTDATE");
    if (EQSL.Checked) {
        std::string part = OmitPart(EQSL, "Use_EQSL", "EQSLACTDATE");
        condition = condition.empty() ? part : condition + " OR " + part;
    }
    std::string sql = "SELECT * FROM CALLBOOK";
    if (!condition.empty()) sql += " WHERE " + condition;
    return sql + " ORDER BY OMCALL";
}

std::string BuildNote(const TCallbookRow& Row, const TExtInfo& ExtInfo)
{
    std::string note;
    auto text = [&](TExtInfoItem item, const char* keyword, const std::string& value) {
        if (ExtInfo[item] && !value.empty()) note += keyword + value + " ";
    };
    auto flag = [&](TExtInfoItem item, const char* keyword, bool value) {
        if (ExtInfo[item] && value) note += std::string(keyword) + " ";
    };
    auto dated = [&](TExtInfoItem item, const char* keyword, bool value, const std::optional<TDateTime>& date) {
        if (ExtInfo[item] && value) note += keyword + DatePiece(date) + " ";
    };
    text(eiAka, NoteKeyword::Aka, Row.Aka);
    text(eiSkype, NoteKeyword::Skype, Row.Skype);
    text(eiEmail, NoteKeyword::Email, Row.Email);
    flag(eiBureau, NoteKeyword::Bureau, Row.Bureau);
    flag(eiDirect, NoteKeyword::Direct, Row.Direct);
    dated(eiLotW, NoteKeyword::LotW, Row.LotW, Row.LotWDate);
    dated(eiEQSL, NoteKeyword::eQSL, Row.EQSL, Row.EQSLDate);
    text(eiBorn, NoteKeyword::Born, Row.Born);
    text(eiSK, NoteKeyword::SK, Row.SK);
    return LeftCodePoints(Trim(note), 255);
}

std::string BuildInsertStatement(const TCallbookRow& Row, const TExtInfo& ExtInfo, bool WithChecked)
{
    std::string columns, values;
    AddColumn(columns, values, "CALL", Quoted(Row.Call, 20));
    auto optional = [&](std::string_view column, const std::optional<std::string>& value, std::size_t cut) {
        if (value) AddColumn(columns, values, column, Quoted(*value, cut));
    };
    optional("[NAME]", Row.Name, 15);
    optional("QTH", Row.Qth, 30);
    optional("GRID", Row.Grid, 6);
    optional("STATE", Row.State, 10);
    optional("MANAGER", Row.Manager, 12);
    std::string note = BuildNote(Row, ExtInfo);
    if (!note.empty()) AddColumn(columns, values, "[NOTE]", Quoted(note, 255));
    if (WithChecked) AddColumn(columns, values, "CHECKED", Row.Checked ? "TRUE" : "FALSE");
    return "INSERT INTO CALLBOOK(" + columns + ") VALUES(" + values + ")";
}

namespace {

// Column names as the host takes them, made once per run.
struct THostColumns {
    WideString OMCALL{"OMCALL"}, OMNAME{"OMNAME"}, OMQTH{"OMQTH"}, GRIDSQUARE{"GRIDSQUARE"}, STATE{"STATE"},
        QSLMANAGER{"QSLMANAGER"}, CHK{"CHK"}, AKA{"AKA"}, SKYPE{"SKYPE"}, EMAIL{"EMAIL"}, Use_BUREAU{"Use_BUREAU"},
        Use_DIRECT{"Use_DIRECT"}, Use_LOTW{"Use_LOTW"}, LOTWACTDATE{"LOTWACTDATE"}, Use_EQSL{"Use_EQSL"},
        EQSLACTDATE{"EQSLACTDATE"}, BORN{"BORN"}, SK{"SK"};
};

class TRowReader {
public:
    TRowReader(IHostServer* server, QueryHandle handle) : server_(server), handle_(handle) {}

    std::optional<std::string> String(const WideString& column)
    {
        BOOL32 has = 0;
        CheckHostResult(server_->GetString(handle_, column.c_bstr(), value_.Out(), &has));
        if (!has) return std::nullopt;
        return value_.Utf8();
    }
    std::string Text(const WideString& column) { return String(column).value_or(std::string()); }
    bool Boolean(const WideString& column)
    {
        BOOL32 value = 0, has = 0;
        CheckHostResult(server_->GetBoolean(handle_, column.c_bstr(), &value, &has));
        return has && value;
    }
    std::optional<TDateTime> Date(const WideString& column)
    {
        WORD y = 0, m = 0, d = 0, h = 0, n = 0, s = 0;
        BOOL32 has = 0;
        CheckHostResult(server_->GetDateTime(handle_, column.c_bstr(), &y, &m, &d, &h, &n, &s, &has));
        if (!has) return std::nullopt;
        return EncodeDate(y, m, d);
    }

private:
    IHostServer* server_;
    QueryHandle handle_;
    WideString value_;
};

TCallbookRow ReadRow(TRowReader& read, const THostColumns& c, const TExtInfo& ext, bool withChecked)
{
    TCallbookRow row;
    row.Call = read.Text(c.OMCALL);
    row.Name = read.String(c.OMNAME);
    row.Qth = read.String(c.OMQTH);
    row.Grid = read.String(c.GRIDSQUARE);
    row.State = read.String(c.STATE);
    row.Manager = read.String(c.QSLMANAGER);
    if (ext[eiAka]) row.Aka = read.Text(c.AKA);
    if (ext[eiSkype]) row.Skype = read.Text(c.SKYPE);
    if (ext[eiEmail]) row.Email = read.Text(c.EMAIL);
    if (ext[eiBureau]) row.Bureau = read.Boolean(c.Use_BUREAU);
    if (ext[eiDirect]) row.Direct = read.Boolean(c.Use_DIRECT);
    if (ext[eiLotW] && (row.LotW = read.Boolean(c.Use_LOTW))) row.LotWDate = read.Date(c.LOTWACTDATE);
    if (ext[eiEQSL] && (row.EQSL = read.Boolean(c.Use_EQSL))) row.EQSLDate = read.Date(c.EQSLACTDATE);
    if (ext[eiBorn]) row.Born = read.Text(c.BORN);
    if (ext[eiSK]) row.SK = read.Text(c.SK);
    if (withChecked) row.Checked = read.Boolean(c.CHK);
    return row;
}

} // namespace

int TfrmXpoZemrak::TransferCallbook()
{
    const TExtInfo ext = CheckedExtInfo();
    const THostColumns columns;
    int saved = 0, errors = 0, checkmarks = 0;

    TServerQuery query(Server.Get(), TServerQuery::TCloseOnRelease::Always);
    const QueryHandle h = query.Handle();
    CheckHostResult(Server->OpenQuery(h, WideString(BuildSelectStatement(OmitLOTW(), OmitEQSL())).c_bstr()));
    std::int32_t selected = 0;
    CheckHostResult(Server->GetRecordCount(h, &selected));
    MsgProgress(1, "Select " + std::to_string(selected) + " callsigns according conditions", true);

    BOOL32 withChecked = 0;
    CheckHostResult(Server->FieldExists(WideString("CALLBOOK").c_bstr(), columns.CHK.c_bstr(), &withChecked));
    if (withChecked) {
        WriteLog("Transfer checkmarks for verified callsigns.");
        MsgProgress(1, "Transfer checkmarks for verified callsigns", true);
    }

    const double total = double(selected) + 1;
    CheckHostResult(Server->First(h));
    ShowProgress((saved + 1) / total);
    TRowReader read(Server.Get(), h);
    for (;;) {
        BOOL32 eof = 0;
        CheckHostResult(Server->Eof(h, &eof));
        if (eof) break;
        const TCallbookRow row = ReadRow(read, columns, ext, withChecked);
        const std::string sql = BuildInsertStatement(row, ext, withChecked);
        if (OnStatement) OnStatement(sql);
        if (ExecStatement(adc, sql)) {
            ++saved;
            if (withChecked && row.Checked) ++checkmarks;
        } else {
            ++errors;
            AppendErrorLog(ErrorLogPath, LeftCodePoints(row.Call, 20) + "\t> " + sql);
        }
        CheckHostResult(Server->Next(h));
        ShowProgress((saved + 1) / total);
        ProcessMessages();
    }

    MsgProgress(1, "Save " + std::to_string(saved) + " callsigns", false);
    if (checkmarks > 0) MsgProgress(0, ", checkmarks " + std::to_string(checkmarks), false);
    MsgProgress(0, errors > 0 ? ", found " + std::to_string(errors) + " errors" : std::string(", errors not found"),
                true);
    if (saved == 0 && errors > 0)
        throw Exception("No callsign could be written to the export file; the refused statements are in " +
                        ErrorLogPath);
    return saved;
}
