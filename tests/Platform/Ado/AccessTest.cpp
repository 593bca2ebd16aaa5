// Real Access files (tests/data/jet) read through TADOConnection/TADOQuery,
// checked against what MDB Tools' own exporter prints for every table.
#include "Platform/Ado/Access.h"
#include "Platform/Ado/Ado.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const fs::path kJetDir = fs::path(HAM_SOURCE_DIR) / "tests" / "data" / "jet";
constexpr const char* kDateFormat = "%Y-%m-%d %H:%M:%S";
// What the exporter prints for a date outside the years it can convert.
constexpr const char* kUnconvertedDate = "1900-01-00 00:00:00";

struct TCsvCell {
    std::string Text;
    bool Quoted = false;
};
using TCsvRow = std::vector<TCsvCell>;

// The exporter's CSV: fields quoted with '"' (doubled inside), line breaks
// allowed inside quotes, rows ended by '\n'.
std::vector<TCsvRow> ParseCsv(const std::string& text)
{
    std::vector<TCsvRow> rows;
    TCsvRow row;
    TCsvCell cell;
    bool inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell.Text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                cell.Text += c;
            }
        } else if (c == '"') {
            inQuotes = true;
            cell.Quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell = {};
        } else if (c == '\n') {
            row.push_back(std::move(cell));
            cell = {};
            rows.push_back(std::move(row));
            row.clear();
        } else {
            cell.Text += c;
        }
    }
    if (!row.empty() || !cell.Text.empty()) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> Tables(const fs::path& file)
{
    const TRunResult r = RunProgram(MDB_TABLES, {"-1", file.string()});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    return SplitLines(r.Out);
}

std::vector<TCsvRow> Export(const fs::path& file, const std::string& table)
{
    const TRunResult r =
        RunProgram(MDB_EXPORT, {"-0", "N", "-b", "hex", "-D", kDateFormat, "-T", kDateFormat, file.string(), table});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    return ParseCsv(r.Out);
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Declared column types of a table of the connection's copy.
std::map<std::string, std::string> DeclaredTypes(TADOConnection& connection, const std::string& table)
{
    TADOQuery query(&connection);
    query.SQL.SetText("SELECT name, type FROM pragma_table_info('" + table + "')");
    query.Open();
    std::map<std::string, std::string> types;
    for (; !query.Eof(); query.Next())
        types[query.Fields(0).AsString()] = query.Fields(1).AsString();
    return types;
}

// Dates the exporter cannot print, keyed by file, table, row (1-based) and
// column. Their stored day counts (-728, -363, -463126, -462760, -462395,
// 2958101) were found in the file's bytes and converted by hand.
const std::map<std::string, std::string>& OutOfRangeDates()
{
    static const std::map<std::string, std::string> dates = {
        {"DateTestDatabase.mdb/DateTest/2/DateTimeCol", "9999-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/2/DateCol", "9999-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/2/TimeCol", "9999-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/3/DateTimeCol", "1898-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/3/DateCol", "1899-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/4/DateTimeCol", "0632-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/4/DateCol", "0633-01-01 00:00:00"},
        {"DateTestDatabase.mdb/DateTest/4/TimeCol", "0634-01-01 00:00:00"},
    };
    return dates;
}

bool IsDateShaped(const std::string& text)
{
    static const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i]) return false;
    return true;
}

class AccessFile : public ::testing::TestWithParam<const char*> {};

TEST_P(AccessFile, EveryTableEqualsTheExportOfMdbTools)
{
    const fs::path file = kJetDir / GetParam();
    const std::string before = ReadFileText(file);
    TADOConnection connection;
    connection.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";";
    connection.Open();
    ASSERT_TRUE(connection.IsAccess());
    EXPECT_EQ(connection.DataSource(), file.string());

    const std::vector<std::string> tables = Tables(file);
    ASSERT_FALSE(tables.empty());
    int dates = 0;
    for (const std::string& table : tables) {
        SCOPED_TRACE(table);
        const std::vector<TCsvRow> expected = Export(file, table);
        ASSERT_FALSE(expected.empty());
        const auto types = DeclaredTypes(connection, table);

        TADOQuery query(&connection);
        query.SQL.SetText("SELECT * FROM [" + table + "]");
        query.Open();
        ASSERT_EQ(query.RecordCount(), static_cast<int>(expected.size() - 1));
        ASSERT_EQ(query.FieldCount(), static_cast<int>(expected[0].size()));
        for (int c = 0; c < query.FieldCount(); ++c)
            EXPECT_EQ(query.Fields(c).FieldName(), expected[0][static_cast<std::size_t>(c)].Text);

        for (std::size_t r = 1; r < expected.size(); ++r, query.Next()) {
            ASSERT_FALSE(query.Eof());
            ASSERT_EQ(expected[r].size(), expected[0].size());
            for (int c = 0; c < query.FieldCount(); ++c) {
                const TCsvCell& cell = expected[r][static_cast<std::size_t>(c)];
                TField& field = query.Fields(c);
                const std::string& type = types.at(field.FieldName());
                SCOPED_TRACE("row " + std::to_string(r) + " column " + field.FieldName() + " (" + type + ")");
                if (!cell.Quoted && cell.Text == "N") {
                    EXPECT_TRUE(field.IsNull());
                } else if (cell.Quoted && IsDateShaped(cell.Text)) { // Date/Time
                    ++dates;
                    std::string want = cell.Text;
                    if (want == kUnconvertedDate) {
                        const auto known = OutOfRangeDates().find(std::string(GetParam()) + "/" + table + "/" +
                                                                  std::to_string(r) + "/" + field.FieldName());
                        ASSERT_NE(known, OutOfRangeDates().end());
                        want = known->second;
                    }
                    EXPECT_EQ(field.AsString(), want);
                    EXPECT_EQ(DateTimeToCanonical(field.AsDateTime()), want);
                } else if (type == "BLOB") { // printed as hex; too long to show
                    const std::string hex = Hex(field.AsString());
                    EXPECT_TRUE(hex == cell.Text) << hex.size() << " hex digits, expected " << cell.Text.size();
                } else if (cell.Quoted) {
                    EXPECT_EQ(field.AsString(), cell.Text);
                } else {
                    const double want = std::strtod(cell.Text.c_str(), nullptr);
                    EXPECT_NEAR(field.AsFloat(), want, 1e-6 * std::max(1.0, std::fabs(want))) << cell.Text;
                }
            }
        }
        EXPECT_TRUE(query.Eof());
    }
    if (std::string(GetParam()) == "DateTestDatabase.mdb") {
        EXPECT_GT(dates, 0);
    }
    connection.Close();
    EXPECT_EQ(ReadFileText(file), before); // read, never written
}

INSTANTIATE_TEST_SUITE_P(Jet3Jet4Ace, AccessFile,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"));

class AccessNwind : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.ConnectionString = "Data Source=" + (kJetDir / "nwind.mdb").string() + ";";
        connection.Open();
    }
    std::string One(const std::string& jet)
    {
        TADOQuery query(&connection);
        query.SQL.SetText(jet);
        query.Open();
        return query.RecordCount() == 0 ? "<none>" : query.Fields(0).AsString();
    }
    TADOConnection connection;
};

TEST_F(AccessNwind, JetStatementsRunOnTheCopy)
{
    // Text compares without regard to case, as in Access.
    EXPECT_EQ(One("SELECT ProductID FROM Products WHERE ProductName = 'CHAI'"), "1");
    // Yes/No is a boolean the dialect's TRUE matches.
    const std::vector<TCsvRow> products = Export(kJetDir / "nwind.mdb", "Products");
    int discontinued = 0;
    for (std::size_t r = 1; r < products.size(); ++r)
        discontinued += products[r][9].Text == "1" ? 1 : 0;
    ASSERT_GT(discontinued, 0);
    EXPECT_EQ(One("SELECT COUNT(*) FROM Products WHERE Discontinued = TRUE"), std::to_string(discontinued));
    // Date literals compare with the stored dates.
    const std::vector<TCsvRow> orders = Export(kJetDir / "nwind.mdb", "Orders");
    int late = 0;
    for (std::size_t r = 1; r < orders.size(); ++r)
        late += orders[r][3].Text >= "1995-01-01" ? 1 : 0;
    ASSERT_GT(late, 0);
    EXPECT_EQ(One("SELECT COUNT(*) FROM Orders WHERE OrderDate >= #1995-01-01#"), std::to_string(late));
    // A non-ASCII table name, in brackets.
    EXPECT_NE(One("SELECT COUNT(*) FROM [Umsätze]"), "<none>");
}

TEST_F(AccessNwind, WritesAreRefusedAndTheFileStaysAsItWas)
{
    const std::string before = ReadFileText(kJetDir / "nwind.mdb");
    for (const char* jet :
         {"DELETE FROM Products", "INSERT INTO Shippers (CompanyName) VALUES ('X')",
          "UPDATE Products SET ProductName = 'X'", "DROP TABLE Products", "SELECT * INTO Copy FROM Products"}) {
        SCOPED_TRACE(jet);
        try {
            connection.Execute(jet);
            ADD_FAILURE() << "written";
        } catch (const EOleException& e) {
            EXPECT_NE(std::string(e.what()).find("it is an Access database"), std::string::npos) << e.what();
        }
    }
    // Writes through the raw handle fail as well.
    EXPECT_THROW(connection.Database().Exec("DELETE FROM Products"), EOleException);
    EXPECT_EQ(One("SELECT COUNT(*) FROM Products"), "77");
    connection.Close();
    EXPECT_EQ(ReadFileText(kJetDir / "nwind.mdb"), before);
}

TEST(Access, StoredDatesCountDaysWithTheTimeAsTheFractionsMagnitude)
{
    const struct {
        double Stored;
        const char* Canonical;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},    {2.75, "1900-01-01 18:00:00"},      {-1.25, "1899-12-29 06:00:00"},
        {-728.5, "1898-01-01 12:00:00"}, {2958465.5, "9999-12-31 12:00:00"}, {-657434.0, "0100-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        const auto value = AccessDateToDateTime(c.Stored);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(DateTimeToCanonical(*value), c.Canonical);
    }
    EXPECT_FALSE(AccessDateToDateTime(2958466.0).has_value());
    EXPECT_FALSE(AccessDateToDateTime(std::nan("")).has_value());
}

TEST(Access, DamagedFilesAreRefusedWithAMessage)
{
    TTempDir dir("accesstest");
    const std::string original = ReadFileText(kJetDir / "nwind.mdb");
    struct TCase {
        const char* Name;
        std::string Content;
    } cases[] = {
        {"header-only.mdb", original.substr(0, 2048)},
        {"one-page.mdb", original.substr(0, 4096)},
        {"half.mdb", original.substr(0, original.size() / 2)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path path = dir / c.Name;
        WriteFileText(path, c.Content);
        EXPECT_TRUE(IsAccessFile(path.string()));
        TADOConnection connection;
        connection.ConnectionString = "Data Source=" + path.string() + ";";
        try {
            connection.Open();
            // A file cut after its catalog may still give what it holds.
            EXPECT_TRUE(connection.IsAccess());
        } catch (const EOleException& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            EXPECT_FALSE(connection.Connected());
        }
    }
    EXPECT_FALSE(IsAccessFile((dir / "missing.mdb").string()));
}

} // namespace
