// The country dictionary loaded through the real host, and the resolver's
// first whole-match rule.
#include "Includes/uCommDXCC/uCommDXCC.h"

#include "Host/Host.h"
#include "Host/HostDictionary.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iostream>
#include <map>

namespace {

class ImportResolver : public ::testing::Test {
protected:
    ImportResolver() { server_ = ComPtr<IHostServer>::Query(host_.Start("CallbookImport.ext"), IID_IHostServer); }

    void Sql(const std::string& statement) { ASSERT_EQ(host_->ExecSQL(statement), 1) << statement; }
    void Country(int id, const std::string& expression, const std::string& arrl, const std::string& start = "NULL",
                 const std::string& end = "NULL")
    {
        Sql("INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE,STARTDATE,ENDDATE) VALUES(" +
            std::to_string(id) + ",'" + expression + "','" + arrl + "','EU','" + std::to_string(100 + id) +
            "','28','14'," + start + "," + end + ")");
    }
    void Unique(int id, const std::string& expression, const std::string& prefix)
    {
        Sql("INSERT INTO UNIQUECALL(ID,CALLSIGN,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(" +
            std::to_string(id) + ",'" + expression + "','UQ','" + prefix + "','AS',7,30,17)");
    }
    void Province(int id, const std::string& expression, const std::string& prefix)
    {
        Sql("INSERT INTO PROVINCE(ID,PREFIXLIST,ARRLPREFIX,PREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) VALUES(" +
            std::to_string(id) + ",'" + expression + "','PV','" + prefix + "','AF',33,'47','35')");
    }
    // The dictionary made from the shipped cty.dat, as init writes it.
    void LoadShipped()
    {
        const fs::path cty = ShippedDataDir() / "cty.dat";
        host_->Connection().BeginTransaction();
        InsertDictionaryRows(host_->Connection(), LoadCountryData(cty, EntityCodesBeside(cty)));
        host_->Connection().Commit();
        Load();
    }
    void Load()
    {
        dictionary_.LoadUniqueCalls(server_.Get(), Today);
        dictionary_.LoadProvinces(server_.Get(), Today);
        dictionary_.LoadCountries(server_.Get(), Today);
    }
    // "not found", or the six outputs joined by '|'.
    std::string Resolve(const std::string& callsign)
    {
        TCallsignCountry country;
        if (!dictionary_.ResolveCallsign(callsign, country)) return "not found";
        return country.Continent + "|" + country.DXCCPrefix + "|" + country.DXCC + "|" + country.MainPrefix + "|" +
               country.ITUZone + "|" + country.CQZone;
    }

    static inline const TDateTime Today = EncodeDate(2024, 6, 15);
    TTestHost host_{"resolver"};
    ComPtr<IHostServer> server_;
    TCountryDictionary dictionary_;
};

} // namespace

TEST_F(ImportResolver, StatementsSelectRowsValidToday)
{
    EXPECT_EQ(DictionaryStatement("UNIQUECALL", Today),
              "SELECT * FROM UNIQUECALL WHERE (CALLSIGN IS NOT NULL AND CALLSIGN>\"\") AND (ENDDATE IS NULL OR "
              "#2024-06-15#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#2024-06-15#) ORDER BY ID");
    EXPECT_EQ(DictionaryStatement("COUNTRY", Today),
              "SELECT * FROM COUNTRY WHERE (PREFIXLIST IS NOT NULL AND PREFIXLIST>\"\") AND (ENDDATE IS NULL OR "
              "#2024-06-15#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#2024-06-15#) ORDER BY ID");

    Country(1, "A1[A-Z0-9/]*", "ENDYESTERDAY", "NULL", "'2024-06-14 00:00:00'");
    Country(2, "A2[A-Z0-9/]*", "ENDTODAY", "NULL", "'2024-06-15 00:00:00'");
    Country(3, "A3[A-Z0-9/]*", "STARTTODAY", "'2024-06-15 00:00:00'", "NULL");
    Country(4, "A4[A-Z0-9/]*", "STARTTOMORROW", "'2024-06-16 00:00:00'", "NULL");
    Country(5, "", "EMPTY");
    Sql("INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX) VALUES(6,NULL,'NULL')");
    Country(7, "A7[A-Z0-9/]*", "ALWAYS");
    Load();
    std::vector<std::string> loaded;
    for (const TCountryField& c : dictionary_.Countries())
        loaded.push_back(c.ARRLPrefix);
    EXPECT_EQ(loaded, (std::vector<std::string>{"ENDTODAY", "STARTTODAY", "ALWAYS"}));
    const TCountryField& always = dictionary_.Countries().back();
    EXPECT_EQ(DateTimeToCanonical(always.StartDate), "1900-01-01 00:00:00");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", always.EndDate, InvariantFormatSettings()),
              "2099-12-31 23:59:59.999");
    EXPECT_EQ(DateTimeToCanonical(dictionary_.Countries()[1].StartDate), "2024-06-15 00:00:00");
}

TEST_F(ImportResolver, FirstWholeMatchInTableAndIdOrder)
{
    // Inserted out of ID order: the ID decides.
    Country(20, "Q[A-Z0-9/]*", "QLATE");
    Country(10, "Q1[A-Z0-9/]*", "Q1EARLY");
    Country(30, "(?:Z|Z9ZZZ)", "FIRSTALT");
    Country(31, "(?:Z8ZZZ|Z)", "SWAPPED");
    Country(32, "K", "PARTIAL");
    Country(33, "[a-z]+[0-9][a-z]+", "LOWER"); // never reached: callsigns are upper-cased
    Province(5, "Q1P[A-Z0-9/]*", "Q1PROVINCE");
    Unique(3, "Q1PUNIQUE", "QUQ");
    Sql("INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) "
        "VALUES(40,'L[0-9]+','LONGPREFIX','EUROPE','1234','123','45')");
    Load();
    struct Case {
        const char* callsign;
        const char* expected;
    } cases[] = {
        {"Q1PUNIQUE", "AS|UQ|7|QUQ|30|17"},    // UNIQUECALL before PROVINCE and COUNTRY
        {"Q1PABC", "AF|PV|33|Q1PRO|47|35"},    // PROVINCE before COUNTRY; prefix cut to 5
        {"Q1ABC", "EU|Q1EAR|110|Q1EAR|28|14"}, // the smaller ID wins; main prefix of a country: ARRL
        {"Q2ABC", "EU|QLATE|120|QLATE|28|14"},
        {"Z9ZZZ", "not found"},                   // the first alternative covers only "Z"
        {"Z8ZZZ", "EU|SWAPP|131|SWAPP|28|14"},    // swapped, the whole callsign
        {"K1ABC", "not found"},                   // only a part matches
        {" q1abc\t", "EU|Q1EAR|110|Q1EAR|28|14"}, // trimmed and upper-cased first
        {"L123", "EU|LONGP|1234|LONGP|12|45"},    // continent 2, prefixes 5, zones 2, DXCC whole
        {"", "not found"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Resolve(c.callsign), c.expected) << c.callsign;
}

TEST_F(ImportResolver, NotFoundLeavesTheOutputsAlone)
{
    Country(1, "Q[A-Z0-9/]*", "Q");
    Load();
    TCallsignCountry country{"c", "p", "d", "m", "i", "q"};
    EXPECT_FALSE(dictionary_.ResolveCallsign("K1ABC", country));
    EXPECT_EQ(country.Continent + country.DXCCPrefix + country.DXCC + country.MainPrefix + country.ITUZone +
                  country.CQZone,
              "cpdmiq");
}

TEST_F(ImportResolver, BrokenExpressionFailsWhenACallsignReachesIt)
{
    Country(1, "Q1[A-Z0-9/]*", "Q1");
    Country(2, "(Q2", "BROKEN");
    Country(3, "Q[A-Z0-9/]*", "Q");
    Load();
    EXPECT_EQ(Resolve("Q1ABC"), "EU|Q1|101|Q1|28|14") << "decided before the broken row";
    EXPECT_THROW(Resolve("Q3ABC"), EParserError);
}

TEST_F(ImportResolver, ClearEmptiesTheLists)
{
    Unique(1, "Q1ABC", "Q1");
    Province(1, "Q2[A-Z0-9/]*", "Q2");
    Country(1, "Q[A-Z0-9/]*", "Q");
    Load();
    EXPECT_EQ(dictionary_.UniqueCalls().size() + dictionary_.Provinces().size() + dictionary_.Countries().size(), 3u);
    dictionary_.Clear();
    EXPECT_TRUE(dictionary_.UniqueCalls().empty() && dictionary_.Provinces().empty() &&
                dictionary_.Countries().empty());
    EXPECT_EQ(Resolve("Q1ABC"), "not found");
}

// The indexed resolver answers as a scan of every expression in order does,
// over the real dictionary and callsigns made from its own expressions.
TEST_F(ImportResolver, RealDictionaryAgreesWithAnInOrderScan)
{
    LoadShipped();
    ASSERT_GT(dictionary_.UniqueCalls().size(), 20000u);

    std::vector<std::string> expressions;
    for (const auto& u : dictionary_.UniqueCalls())
        expressions.push_back(u.Callsign);
    for (const auto& p : dictionary_.Provinces())
        expressions.push_back(p.PrefixList);
    for (const auto& c : dictionary_.Countries())
        expressions.push_back(c.PrefixList);
    std::vector<TRegExpr> compiled;
    compiled.reserve(expressions.size());
    for (const auto& e : expressions)
        compiled.emplace_back(e);

    // Exact calls, calls under province and country prefixes and junk
    // (portable forms have rules of their own).
    std::vector<std::string> callsigns{"", "1", "/", "Q0Q", "W1AW", "W1AW-1", "9M2/PG5M"};
    for (std::size_t i = 0; i < dictionary_.UniqueCalls().size(); i += 997)
        callsigns.push_back(dictionary_.UniqueCalls()[i].Callsign);
    for (std::size_t i = 0; i < dictionary_.Provinces().size(); i += 307) {
        const std::string& e = dictionary_.Provinces()[i].PrefixList;
        callsigns.push_back(e.substr(0, e.find('[')) + "XY");
    }
    for (std::size_t i = 0; i < dictionary_.Countries().size(); i += 4) {
        const std::string& e = dictionary_.Countries()[i].PrefixList;
        const std::size_t open = e.find("(?:");
        if (open == std::string::npos) continue;
        std::string first = e.substr(open + 3, e.find_first_of("|)", open + 3) - open - 3);
        callsigns.push_back(first + "1ABC");
    }
    std::size_t resolved = 0;
    for (const std::string& call : callsigns) {
        std::optional<std::size_t> scan;
        for (std::size_t i = 0; i < compiled.size() && !scan; ++i)
            if (compiled[i].MatchesWhole(call)) scan = i;
        TCallsignCountry country;
        const bool found = dictionary_.ResolveCallsign(call, country);
        ASSERT_EQ(found, scan.has_value()) << call;
        if (!found) continue;
        ++resolved;
        const std::size_t u = dictionary_.UniqueCalls().size(), p = dictionary_.Provinces().size();
        std::string arrl = *scan < u       ? dictionary_.UniqueCalls()[*scan].ARRLPrefix
                           : *scan < u + p ? dictionary_.Provinces()[*scan - u].ARRLPrefix
                                           : dictionary_.Countries()[*scan - u - p].ARRLPrefix;
        EXPECT_EQ(country.DXCCPrefix, arrl.substr(0, 5)) << call << " (" << expressions[*scan] << ")";
    }
    EXPECT_GT(resolved, callsigns.size() / 2);
}

// "entity code|continent|ITU|CQ|main prefix", or "not found".
static std::string Entity(TCountryDictionary& dictionary, const std::string& callsign)
{
    TCallsignCountry c;
    if (!dictionary.ResolveCallsign(callsign, c)) return "not found";
    return c.DXCC + "|" + c.Continent + "|" + c.ITUZone + "|" + c.CQZone + "|" + c.MainPrefix;
}

TEST_F(ImportResolver, ShippedDictionaryGivesEntityCodesAndCtyDatsOwnExamples)
{
    LoadShipped();
    struct Case {
        const char* callsign;
        const char* expected;
    } cases[] = {
        {"DL1ABC", "230|EU|28|14|DL"},   // entity codes, not positions in the file
        {"W1AW", "291|NA|8|5|K"},        // zones without leading zeros
        {"IT9ABC", "248|EU|28|15|IT9"},  // Sicily counts for Italy, with its own main prefix
        {"IG9A", "248|AF|37|33|IG9"},    // African Italy: Italy, in Africa
        {"2M0BDR", "279|EU|27|14|GM/s"}, // an exact call of Shetland: Scotland
        {"TA1ABC", "390|EU|39|20|TA1"},  // European Turkey: Turkey
        {"OR4TN", "13|SA|67|38|CE9"},    // the readme's examples
        {"MR6TMS", "279|EU|27|14|GM"},   {"LW7DQQ/Y", "100|SA|16|13|LU"}, {"UI9XA", "54|EU|20|17|UA"},
        {"ZS85SARL", "462|AF|57|38|ZS"}, {"KL9KZ", "137|AS|44|25|HL"}, // a longer prefix wins over a shorter one
        {"ZL50AB", "170|OC|60|32|ZL"},   {"4U1UN", "289|NA|8|5|4U1U"}, // an entity of exact calls only
        {"4U1UNA", "248|EU|28|15|I"},                                  // ... invents no prefix: 4U is Italy's
    };
    for (const Case& c : cases)
        EXPECT_EQ(Entity(dictionary_, c.callsign), c.expected) << c.callsign;
}

TEST_F(ImportResolver, PortableCallsignsResolveWhereTheStationIs)
{
    LoadShipped();
    struct Case {
        const char* callsign;
        const char* entity; // code, or "not found"
    } cases[] = {
        {"DH1TW/MM", "not found"}, // maritime mobile
        {"DH1TW/AM", "not found"}, {"DH1TW/P/MM", "not found"},
        {"VE3LYC/KL7", "6"},  // location after the slash
        {"W1ABC/CE0Y", "47"}, // both look like calls: the shorter
        {"DL/G4ABC", "230"},  // location before the slash
        {"EA8/DL1ABC", "29"},      {"PA/DL1ABC/P", "263"},
        {"UA9MAT/1", "54"},                             // a call-area digit: European Russia
        {"UA1MAT/9", "15"},                             // ... and back to Asiatic Russia
        {"K1ABC/6", "291"},        {"DL1ABC/P", "230"}, // suffixes without a location
        {"DL1ABC/M", "230"},                            // (M alone is England's prefix)
        {"DL1ABC/B", "230"},                            // (B alone is China's)
        {"DL1ABC/QRP", "230"},     {"DL1ABC/LH", "230"},
        {"dh1tw/p ", "230"},       {"3D2AG/P", "460"},    // an exact call keeps its entity: Rotuma
        {"IT9CHU/J", "248"},       {"DL1ABC/XYZ", "309"}, // XY is Myanmar
        {"DL1ABC/QQQ", "230"},                            // no rule decides: the whole callsign
        {"DL1ABC/", "230"},        {"/", "not found"},
    };
    for (const Case& c : cases) {
        TCallsignCountry country;
        const bool found = dictionary_.ResolveCallsign(c.callsign, country);
        EXPECT_EQ(found ? country.DXCC : "not found", c.entity) << c.callsign;
    }
    std::string location;
    EXPECT_EQ(PortableLocation("UA9MAT/1", location), TPortable::Location);
    EXPECT_EQ(location, "UA1MAT");
    EXPECT_EQ(PortableLocation("W1/DL1ABC/QQ", location), TPortable::Undecided);
}

// Every prefix and exact call of cty.dat resolves as cty.dat's own rule says
// (the exact call, else the longest prefix), written here independently of
// the conversion.
TEST_F(ImportResolver, RoundTripOfEveryPrefixAndExactCall)
{
    LoadShipped();
    const fs::path cty = ShippedDataDir() / "cty.dat";
    const auto entities = ParseCtyDat(ReadFileText(cty), cty.string());
    const auto codes = ParseEntityCodes(ReadFileText(EntityCodesBeside(cty)), "codes");
    const std::map<std::string, std::string> waeParent = {{"4U1V", "OE"}, {"GM/s", "GM"}, {"IG9", "I"},
                                                          {"IT9", "I"},   {"JW/b", "JW"}, {"TA1", "TA"}};
    // What a prefix or call gives: "code|continent|ITU|CQ".
    std::map<std::string, std::string> prefixes, exact;
    for (const auto& e : entities) {
        const std::string arrl = e.WaeOnly ? waeParent.at(e.PrimaryPrefix) : e.PrimaryPrefix;
        for (const auto& item : e.Items) {
            const std::string value = std::to_string(codes.at(arrl)) + "|" + item.Continent.value_or(e.Continent) +
                                      "|" + std::to_string(item.ItuZone.value_or(e.ItuZone)) + "|" +
                                      std::to_string(item.CqZone.value_or(e.CqZone));
            auto& map = item.Exact ? exact : prefixes;
            auto [it, added] = map.emplace(item.Text, value);
            if (!added && e.WaeOnly) it->second = value; // the WAE entity's entry is the specific one
        }
    }
    auto expected = [&](const std::string& call) -> std::string {
        if (auto it = exact.find(call); it != exact.end()) return it->second;
        for (std::size_t n = call.size(); n > 0; --n)
            if (auto it = prefixes.find(call.substr(0, n)); it != prefixes.end()) return it->second;
        return "not found";
    };
    auto resolved = [&](const std::string& call) -> std::string {
        TCallsignCountry c;
        if (!dictionary_.ResolveCallsign(call, c)) return "not found";
        return c.DXCC + "|" + c.Continent + "|" + c.ITUZone + "|" + c.CQZone;
    };
    std::vector<std::string> exceptions;
    std::size_t checked = 0;
    for (const auto* map : {&prefixes, &exact})
        for (const auto& [call, value] : *map) {
            ++checked;
            const std::string want = expected(call), got = resolved(call);
            if (want != got) exceptions.push_back(call + ": " + got + " instead of " + want);
        }
    // Calls under every prefix, where a longer prefix may take over.
    for (const auto& [prefix, value] : prefixes)
        for (const char* tail : {"1ZZ", "K9ZZ"}) {
            const std::string call = prefix + tail, want = expected(call), got = resolved(call);
            if (want != got) exceptions.push_back(call + ": " + got + " instead of " + want);
        }
    EXPECT_EQ(checked, 7541u + 20808u);
    for (const auto& e : exceptions)
        std::cout << "exception: " << e << "\n";
    EXPECT_TRUE(exceptions.empty());
}
