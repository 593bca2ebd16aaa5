// The translator never crashes, and a quoted literal of any content comes
// back from SQLite as exactly that content.
#include "Platform/Ado/Sqlite.h"
#include "Platform/JetSql/JetSql.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const TJetTranslation translation = TranslateJet(input);
    if (!translation.MakeTable.empty() && translation.Sql.rfind("CREATE TABLE ", 0) != 0) std::abort();
    if (size == 0) return 0;

    static TSqliteDatabase db = [] {
        TSqliteOptions options;
        options.Create = true;
        return TSqliteDatabase(":memory:", options);
    }();
    const char quote = (data[0] & 1) != 0 ? '"' : '\'';
    std::string content;
    for (char c : input.substr(1))
        if (c != '\0') content += c; // SQLite ends a statement text at NUL
    std::string literal(1, quote);
    for (char c : content) {
        if (c == quote) literal += quote;
        literal += c;
    }
    literal += quote;
    const std::string sql = JetToSqlite("SELECT " + literal);
    TSqliteStatement statement(db, sql);
    if (!statement.Step() || statement.ColumnText(0) != content) {
        std::fprintf(stderr, "literal %s came back changed (as %s)\n", literal.c_str(), sql.c_str());
        std::abort();
    }
    return 0;
}
