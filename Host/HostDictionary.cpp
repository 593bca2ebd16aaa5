#include "Host/HostDictionary.h"

#include "Host/HostDatabase.h"
#include "Platform/RegExpr/RegExpr.h"
#include "Platform/SysUtils/SysUtils.h"

#include <map>
#include <set>

namespace {

// Writes one table's rows. withPrefix: the table has a PREFIX column;
// the entity code and the zones are text or integer columns as the table
// declares them.
void Insert(TSqliteDatabase& db, const char* table, const char* expressionColumn, bool withPrefix, bool dxccText,
            bool zonesText, const std::vector<TDictionaryRow>& rows)
{
    const std::string sql = std::string("INSERT INTO ") + table + "(ID," + expressionColumn + ",ARRLPREFIX," +
                            (withPrefix ? "PREFIX," : "") + "CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(?,?,?," +
                            (withPrefix ? "?," : "") + "?,?,?,?)";
    TSqliteStatement s(db, sql);
    auto bindNumber = [&s](int i, int value, bool text) {
        if (text)
            s.BindText(i, std::to_string(value));
        else
            s.BindInt64(i, value);
    };
    int id = 0;
    for (const TDictionaryRow& r : rows) {
        int c = 0;
        s.Reset();
        s.BindInt64(++c, ++id);
        s.BindText(++c, r.Expression());
        s.BindText(++c, r.ArrlPrefix);
        if (withPrefix) s.BindText(++c, r.Prefix);
        s.BindText(++c, r.Continent);
        bindNumber(++c, r.Dxcc, dxccText);
        bindNumber(++c, r.ItuZone, zonesText);
        bindNumber(++c, r.CqZone, zonesText);
        s.Step();
    }
}

std::vector<TDictionaryRow> Read(TSqliteDatabase& db, const char* table, const char* expressionColumn, bool withPrefix,
                                 bool exact)
{
    TSqliteStatement s(db, std::string("SELECT ") + expressionColumn + ",ARRLPREFIX," +
                               (withPrefix ? "PREFIX" : "ARRLPREFIX") + ",CONTINENT,DXCC,ITUZONE,CQZONE FROM " + table +
                               " ORDER BY ID");
    std::vector<TDictionaryRow> rows;
    while (s.Step()) {
        TDictionaryRow r;
        const std::string expression(s.ColumnText(0));
        if (auto literal = AnalyseLiteralPattern(expression); literal && literal->HasTail != exact)
            r.Literals = literal->Literals;
        else
            r.Literals = {expression};
        r.Exact = exact;
        r.ArrlPrefix = s.ColumnText(1);
        r.Prefix = s.ColumnText(2);
        r.Continent = s.ColumnText(3);
        r.Dxcc = static_cast<int>(s.ColumnInt64(4));
        r.ItuZone = static_cast<int>(s.ColumnInt64(5));
        r.CqZone = static_cast<int>(s.ColumnInt64(6));
        rows.push_back(std::move(r));
    }
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

void InsertDictionaryRows(TSqliteDatabase& db, const TDictionaryRows& rows)
{
    Insert(db, "COUNTRY", "PREFIXLIST", false, true, true, rows.Countries);
    Insert(db, "PROVINCE", "PREFIXLIST", true, false, true, rows.Provinces);
    Insert(db, "UNIQUECALL", "CALLSIGN", true, false, false, rows.UniqueCalls);
}

void ReplaceDictionaryTables(TSqliteDatabase& db, const TDictionaryRows& rows)
{
    ExecScript(db, "BEGIN IMMEDIATE");
    try {
        ExecScript(db, "DELETE FROM COUNTRY; DELETE FROM PROVINCE; DELETE FROM UNIQUECALL;");
        InsertDictionaryRows(db, rows);
        ExecScript(db, "COMMIT");
    } catch (...) {
        try {
            db.Rollback();
        } catch (const EOleException&) {
        }
        throw;
    }
}

TDictionaryRows ReadDictionaryTables(TSqliteDatabase& db)
{
    TDictionaryRows rows;
    rows.Countries = Read(db, "COUNTRY", "PREFIXLIST", false, false);
    rows.Provinces = Read(db, "PROVINCE", "PREFIXLIST", true, false);
    rows.UniqueCalls = Read(db, "UNIQUECALL", "CALLSIGN", true, true);
    return rows;
}

bool DictionaryTablesEmpty(TSqliteDatabase& db)
{
    TSqliteStatement s(db, "SELECT (SELECT count(*) FROM COUNTRY)+(SELECT count(*) FROM PROVINCE)+"
                           "(SELECT count(*) FROM UNIQUECALL)");
    return s.Step() && s.ColumnInt64(0) == 0;
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
