#include "Host/HostDictionary.h"

#include "Host/HostDatabase.h"
#include "Platform/RegExpr/RegExpr.h"
#include "Platform/SysUtils/SysUtils.h"

#include <map>
#include <memory>
#include <set>

namespace {

struct TStmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtCloser>;

[[noreturn]] void Fail(sqlite3* db, const std::string& what)
{
    throw EOleException(what + ": " + sqlite3_errmsg(db), static_cast<HRESULT>(0x80004005), "SQLite");
}

TStmt Prepare(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Fail(db, sql);
    return TStmt(raw);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text)
{
    sqlite3_bind_text(s, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Writes one table's rows. withPrefix: the table has a PREFIX column;
// the entity code and the zones are text or integer columns as the table
// declares them.
void Insert(sqlite3* db, const char* table, const char* expressionColumn, bool withPrefix, bool dxccText,
            bool zonesText, const std::vector<TDictionaryRow>& rows)
{
    const std::string sql = std::string("INSERT INTO ") + table + "(ID," + expressionColumn + ",ARRLPREFIX," +
                            (withPrefix ? "PREFIX," : "") + "CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(?,?,?," +
                            (withPrefix ? "?," : "") + "?,?,?,?)";
    TStmt stmt = Prepare(db, sql);
    sqlite3_stmt* s = stmt.get();
    auto bindNumber = [s](int i, int value, bool text) {
        if (text)
            BindText(s, i, std::to_string(value));
        else
            sqlite3_bind_int(s, i, value);
    };
    int id = 0;
    for (const TDictionaryRow& r : rows) {
        int c = 0;
        sqlite3_reset(s);
        sqlite3_bind_int(s, ++c, ++id);
        BindText(s, ++c, r.Expression());
        BindText(s, ++c, r.ArrlPrefix);
        if (withPrefix) BindText(s, ++c, r.Prefix);
        BindText(s, ++c, r.Continent);
        bindNumber(++c, r.Dxcc, dxccText);
        bindNumber(++c, r.ItuZone, zonesText);
        bindNumber(++c, r.CqZone, zonesText);
        if (sqlite3_step(s) != SQLITE_DONE) Fail(db, std::string("Writing ") + table);
    }
}

std::string ColumnText(sqlite3_stmt* s, int i)
{
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? reinterpret_cast<const char*>(t) : "";
}

std::vector<TDictionaryRow> Read(sqlite3* db, const char* table, const char* expressionColumn, bool withPrefix,
                                 bool exact)
{
    TStmt stmt = Prepare(db, std::string("SELECT ") + expressionColumn + ",ARRLPREFIX," +
                                 (withPrefix ? "PREFIX" : "ARRLPREFIX") + ",CONTINENT,DXCC,ITUZONE,CQZONE FROM " +
                                 table + " ORDER BY ID");
    std::vector<TDictionaryRow> rows;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = stmt.get();
        TDictionaryRow r;
        const std::string expression = ColumnText(s, 0);
        if (auto literal = AnalyseLiteralPattern(expression); literal && literal->HasTail != exact)
            r.Literals = literal->Literals;
        else
            r.Literals = {expression};
        r.Exact = exact;
        r.ArrlPrefix = ColumnText(s, 1);
        r.Prefix = ColumnText(s, 2);
        r.Continent = ColumnText(s, 3);
        r.Dxcc = sqlite3_column_int(s, 4);
        r.ItuZone = sqlite3_column_int(s, 5);
        r.CqZone = sqlite3_column_int(s, 6);
        rows.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) Fail(db, std::string("Reading ") + table);
    return rows;
}

// Per entity (main prefix): its literals with what each gives.
std::map<std::string, std::set<std::string>> Entities(const TDictionaryRows& rows)
{
    std::map<std::string, std::set<std::string>> entities;
    for (const auto* list : {&rows.Countries, &rows.Provinces, &rows.UniqueCalls})
        for (const TDictionaryRow& r : *list)
            for (const std::string& literal : r.Literals)
                entities[r.Prefix].insert((r.Exact ? "=" : "") + literal + "|" + r.ArrlPrefix + "|" + r.Continent +
                                          "|" + std::to_string(r.Dxcc) + "|" + std::to_string(r.ItuZone) + "|" +
                                          std::to_string(r.CqZone));
    return entities;
}

} // namespace

void InsertDictionaryRows(sqlite3* db, const TDictionaryRows& rows)
{
    Insert(db, "COUNTRY", "PREFIXLIST", false, true, true, rows.Countries);
    Insert(db, "PROVINCE", "PREFIXLIST", true, false, true, rows.Provinces);
    Insert(db, "UNIQUECALL", "CALLSIGN", true, false, false, rows.UniqueCalls);
}

void ReplaceDictionaryTables(sqlite3* db, const TDictionaryRows& rows)
{
    ExecScript(db, "BEGIN IMMEDIATE");
    try {
        ExecScript(db, "DELETE FROM COUNTRY; DELETE FROM PROVINCE; DELETE FROM UNIQUECALL;");
        InsertDictionaryRows(db, rows);
        ExecScript(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

TDictionaryRows ReadDictionaryTables(sqlite3* db)
{
    TDictionaryRows rows;
    rows.Countries = Read(db, "COUNTRY", "PREFIXLIST", false, false);
    rows.Provinces = Read(db, "PROVINCE", "PREFIXLIST", true, false);
    rows.UniqueCalls = Read(db, "UNIQUECALL", "CALLSIGN", true, true);
    return rows;
}

bool DictionaryTablesEmpty(sqlite3* db)
{
    TStmt stmt = Prepare(db, "SELECT (SELECT count(*) FROM COUNTRY)+(SELECT count(*) FROM PROVINCE)+"
                             "(SELECT count(*) FROM UNIQUECALL)");
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) Fail(db, "Counting the dictionary rows");
    return sqlite3_column_int64(stmt.get(), 0) == 0;
}

TDictionaryChanges CompareDictionaries(const TDictionaryRows& before, const TDictionaryRows& after)
{
    const auto old = Entities(before), now = Entities(after);
    TDictionaryChanges changes;
    for (const auto& [key, items] : now) {
        auto it = old.find(key);
        if (it == old.end())
            changes.Added.push_back(key);
        else if (it->second != items)
            changes.Changed.push_back(key);
    }
    for (const auto& [key, items] : old)
        if (!now.count(key)) changes.Removed.push_back(key);
    return changes;
}
