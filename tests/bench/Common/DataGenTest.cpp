// Generated data: repeatable, unique callsigns from the dictionary, and rows
// that the host's and the logger's tables take as they are.
#include "DemoData/DataGen.h"
#include "Host/Host.h"
#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Ado.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>

namespace {

const TCallsignDictionary& Dictionary()
{
    static const TCallsignDictionary d = TCallsignDictionary::Load(InstalledDictionary());
    return d;
}

std::vector<std::string> Statements(std::uint64_t seed)
{
    TDataGenerator gen(Dictionary(), seed);
    std::vector<std::string> out;
    auto stations = gen.Stations(50);
    for (const auto& s : stations)
        out.push_back(HostCallbookInsert(s));
    for (const auto& q : gen.Log(stations, 50, EncodeDate(2023, 1, 1), EncodeDate(2023, 12, 31)))
        out.push_back(LoggerQsoInsert("LOG_X", q));
    return out;
}

} // namespace

TEST(DataGen, DictionaryAndRepeatability)
{
    EXPECT_GT(Dictionary().CountryPrefixes().size(), 1000u);
    EXPECT_GT(Dictionary().ProvincePrefixes().size(), 5000u);
    EXPECT_GT(Dictionary().ExactCalls().size(), 15000u);
    const TCallArea* dl = Dictionary().FindCountryPrefix("DL");
    ASSERT_NE(dl, nullptr);
    EXPECT_EQ(dl->Continent, "EU");
    EXPECT_EQ(dl->ItuZone, "28");
    EXPECT_EQ(dl->CqZone, "14");
    EXPECT_EQ(Statements(5), Statements(5));
    EXPECT_NE(Statements(5), Statements(6));
}

// Every generated row goes into fresh host and logger files without a
// refusal: unique keys, texts within the logger's lengths, valid literals.
TEST(DataGen, RowsFitTheTables)
{
    TTempDir dir("datagen");
    THost::InitProfile(dir.Path());
    TSqliteDatabase host((dir / "host.db").string(), TSqliteOptions{});
    const std::string reference = (dir / "DB.mdb").string(), logs = (dir / "logs.mdb").string();
    CreateReferenceDatabaseFile(reference);
    CreateLogDatabaseFile(logs);
    CreateQsoTable(logs, "LOG_X");
    TSqliteDatabase logger(reference, TSqliteOptions{});
    TSqliteDatabase log(logs, TSqliteOptions{});

    TDataGenerator gen(Dictionary(), 42);
    const auto stations = gen.Stations(10000);
    std::set<std::string> calls;
    host.Exec("BEGIN");
    logger.Exec("BEGIN");
    for (const auto& s : stations) {
        ASSERT_TRUE(calls.insert(s.Call).second) << s.Call;
        ASSERT_EQ(s.Call.rfind(s.Area.Prefix, 0), 0u) << s.Call;
        ASSERT_EQ(ExecuteJetStatement(host, HostCallbookInsert(s)), 1);
        // The logger's key ignores case; generated calls are upper case.
        ASSERT_EQ(ExecuteJetStatement(logger, LoggerCallbookInsert(gen.Variant(s))), 1);
    }
    logger.Exec("COMMIT");

    const auto qsos = gen.Log(stations, 5000, EncodeDate(2020, 1, 1), EncodeDate(2024, 12, 31));
    log.Exec("BEGIN");
    std::set<std::string> bands, modes;
    for (std::size_t i = 0; i < qsos.size(); ++i) {
        const TQso& q = qsos[i];
        if (i > 0) {
            ASSERT_LE(qsos[i - 1].Start, q.Start);
        }
        ASSERT_EQ(ExecuteJetStatement(log, LoggerQsoInsert("LOG_X", q)), 1);
        ASSERT_EQ(ExecuteJetStatement(host, HostLogInsert(q, "MAIN", "DL0DEMO")), 1);
        // The band text reads back as the frequency: its digits with the
        // decimal point after as many digits as the MHz value has.
        std::string digits;
        for (char c : q.BandText)
            if (c != '.' && c != ',') digits += c;
        const std::size_t whole = q.Frequency < 10 ? 1 : q.Frequency < 100 ? 2 : q.Frequency < 1000 ? 3 : 4;
        EXPECT_NEAR(std::stod(digits.substr(0, whole) + "." + digits.substr(whole)), q.Frequency, 1e-9) << q.BandText;
        bands.insert(q.Band);
        modes.insert(q.HostMode);
    }
    log.Exec("COMMIT");
    host.Exec("COMMIT");
    EXPECT_GE(bands.size(), 15u); // nearly every band, and now and then none
    EXPECT_TRUE(bands.count(""));
    EXPECT_TRUE(modes.count("")); // modes the host does not know
    EXPECT_TRUE(modes.count("PSK31"));
}

TEST(DataGen, SmallDictionary)
{
    TTempDir dir("datagen-small");
    WriteFileText(dir / "cty.dat", "Zed Land:  2:  1:  SA:  1.00:  2.00:  0.0:  ZZ:\n    ZZ,Z9X,=ZZ1ABC/MM;\n");
    WriteFileText(dir / "prefix_to_entitycode.csv", "ZZ,999\n");
    const auto d = TCallsignDictionary::Load(dir / "cty.dat");
    ASSERT_EQ(d.CountryPrefixes().size(), 2u);
    EXPECT_EQ(d.ExactCalls().size(), 1u);
    TDataGenerator gen(d, 1);
    for (const auto& s : gen.Stations(300)) {
        const bool zz = s.Call.rfind("ZZ", 0) == 0 && std::isdigit(static_cast<unsigned char>(s.Call[2]));
        const bool z9x = s.Call.rfind("Z9X", 0) == 0 && std::isalpha(static_cast<unsigned char>(s.Call[3]));
        EXPECT_TRUE(zz || z9x || s.Call == "ZZ1ABC/MM") << s.Call;
        EXPECT_EQ(s.Area.Dxcc, "999");
    }
    EXPECT_THROW(TCallsignDictionary::Load(dir / "missing.dat"), EFOpenError);
}
