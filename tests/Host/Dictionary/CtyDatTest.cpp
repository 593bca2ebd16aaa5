// Reading cty.dat and turning it into the host's dictionary rows.
#include "Host/Dictionary/DictionaryRows.h"

#include "Platform/SysUtils/SysUtils.h"

#include <gtest/gtest.h>

namespace {

// A small country file with the shapes the real one has: overrides, a
// WAE-only entity, an entity of exact calls only, a prefix shadowed by a
// shorter one with overrides, a call listed by a WAE entity and its parent.
constexpr const char* SmallCty = "Italy:                    15:  28:  EU:   42.82:   -12.58:    -1.0:  I:\r\n"
                                 "    I,IA5,IK(15)[28],=IK0ABC/MM{AF},=IT9XYZ;\r\n"
                                 "Sicily:                   15:  28:  EU:   37.50:   -14.00:    -1.0:  *IT9:\r\n"
                                 "    IT9(15)[28],=IT9XYZ;\r\n"
                                 "United Nations HQ:        05:  08:  NA:   40.75:    73.97:     5.0:  4U1U:\r\n"
                                 "    =4U1UN,=4U60UN;\r\n"
                                 "Antarctica:               13:  74:  SA:  -90.00:     0.00:     0.0:  CE9:\r\n"
                                 "    ZL5(30)[71]<-77.5/-166.5>~12~;\r\n"
                                 "New Zealand:              32:  60:  OC:  -41.83:  -173.27:   -12.0:  ZL:\r\n"
                                 "    ZL,ZL50;\r\n";
constexpr const char* SmallCodes = "prefix,entitycode\n4U1U,289\nCE9,13\nI,248\nZL,170\n";

TDictionaryRows Convert(const std::string& cty = SmallCty, const std::string& codes = SmallCodes)
{
    return ConvertCtyDat(ParseCtyDat(cty, "cty.dat"), ParseEntityCodes(codes, "codes.csv"));
}

std::string Row(const TDictionaryRow& r)
{
    return r.Expression() + " " + r.ArrlPrefix + "/" + r.Prefix + " " + r.Continent + " " + std::to_string(r.Dxcc) +
           " " + std::to_string(r.ItuZone) + "/" + std::to_string(r.CqZone);
}

std::vector<std::string> Rows(const std::vector<TDictionaryRow>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(Row(r));
    return out;
}

} // namespace

TEST(CtyDat, ParsesEntitiesItemsAndEveryOverride)
{
    const auto entities = ParseCtyDat(SmallCty, "cty.dat");
    ASSERT_EQ(entities.size(), 5u);
    EXPECT_EQ(entities[1].Name, "Sicily");
    EXPECT_TRUE(entities[1].WaeOnly);
    EXPECT_EQ(entities[1].PrimaryPrefix, "IT9");
    EXPECT_EQ(entities[2].CqZone, 5); // "05"
    EXPECT_EQ(entities[2].ItuZone, 8);
    EXPECT_DOUBLE_EQ(entities[2].Longitude, 73.97);
    EXPECT_DOUBLE_EQ(entities[2].TimeOffset, 5.0);
    EXPECT_EQ(entities[3].Line, 7);
    const TCtyItem& zl5 = entities[3].Items.at(0);
    EXPECT_EQ(zl5.Text, "ZL5");
    EXPECT_FALSE(zl5.Exact);
    EXPECT_EQ(zl5.CqZone, 30);
    EXPECT_EQ(zl5.ItuZone, 71);
    EXPECT_EQ(zl5.Latitude, -77.5);
    EXPECT_EQ(zl5.Longitude, -166.5);
    EXPECT_EQ(zl5.TimeOffset, 12.0);
    const TCtyItem& mm = entities[0].Items.at(3);
    EXPECT_TRUE(mm.Exact);
    EXPECT_EQ(mm.Text, "IK0ABC/MM");
    EXPECT_EQ(mm.Continent, "AF");
}

TEST(CtyDat, MalformedTextIsRefusedWithItsLine)
{
    struct Case {
        std::string text, message;
    } cases[] = {
        {"", "no country entities"},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0:\n    I;\n", "cty.dat:1: expected an entity line"},
        {"Italy: 15: 28: XX: 42.8: -12.5: -1.0: I:\n    I;\n", "cty.dat:1: bad entity line"},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0: I:\n    I,\n    IA5", "cty.dat:1: the list of \"Italy\" does not end"},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0: I:\n    I,\n    IK(x);\n", "cty.dat:3: bad override in \"IK(x)\""},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0: I:\n    I,ik;\n", "cty.dat:2: not a prefix or callsign: \"ik\""},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0: I:\n    I IK;\n", "cty.dat:2: missing ','"},
        {"Italy: 15: 28: EU: 42.8: -12.5: -1.0: I:\n    ;\n", "cty.dat:1: \"Italy\" has no prefixes"},
    };
    for (const auto& c : cases) {
        try {
            ParseCtyDat(c.text, "cty.dat");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const EConvertError& e) {
            EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
        }
    }
    EXPECT_THROW(ParseEntityCodes("I,248\nZL,x\n", "codes.csv"), EConvertError);
    EXPECT_THROW(ParseEntityCodes("I,248\nI,249\n", "codes.csv"), EConvertError);
}

TEST(CtyDat, RowsCarryEntityCodesFoldWaeEntitiesAndPutLongerPrefixesFirst)
{
    const TDictionaryRows rows = Convert();
    EXPECT_EQ(rows.Entities, 5u);
    EXPECT_EQ(rows.Prefixes, 7u);
    EXPECT_EQ(rows.ExactCalls, 4u); // IT9XYZ once
    // ZL50 starts with ZL5, which has zones of its own: it goes to PROVINCE
    // too, before ZL5, so Antarctica does not shadow it.
    EXPECT_EQ(Rows(rows.Provinces), (std::vector<std::string>{
                                        "ZL50[A-Z0-9/]* ZL/ZL OC 170 60/32",
                                        "IT9[A-Z0-9/]* I/IT9 EU 248 28/15",
                                        "ZL5[A-Z0-9/]* CE9/CE9 SA 13 71/30",
                                    }));
    // The override that repeats the entity's zones is plain.
    EXPECT_EQ(Rows(rows.Countries), (std::vector<std::string>{
                                        "IA5[A-Z0-9/]* I/I EU 248 28/15",
                                        "IK[A-Z0-9/]* I/I EU 248 28/15",
                                        "ZL[A-Z0-9/]* ZL/ZL OC 170 60/32",
                                        "I[A-Z0-9/]* I/I EU 248 28/15",
                                    }));
    // The WAE entity's entry of a call both list; no prefix row for the
    // entity of exact calls only.
    EXPECT_EQ(Rows(rows.UniqueCalls), (std::vector<std::string>{
                                          "IK0ABC/MM I/I AF 248 28/15",
                                          "IT9XYZ I/IT9 EU 248 28/15",
                                          "4U1UN 4U1U/4U1U NA 289 8/5",
                                          "4U60UN 4U1U/4U1U NA 289 8/5",
                                      }));
    EXPECT_TRUE(rows.Warnings.empty());
    EXPECT_EQ(DictionaryInsertStatements(rows).front(),
              "INSERT INTO COUNTRY(ID,PREFIXLIST,ARRLPREFIX,CONTINENT,DXCC,ITUZONE,CQZONE) "
              "VALUES(1,'IA5[A-Z0-9/]*','I','EU','248','28','15')");
}

TEST(CtyDat, MissingEntityCodesAreReportedNotGuessed)
{
    try {
        Convert(SmallCty, "I,248\nZL,170\n");
        FAIL() << "converted";
    } catch (const EConvertError& e) {
        EXPECT_NE(e.Message().find("United Nations HQ (4U1U), Antarctica (CE9)"), std::string::npos) << e.Message();
    }
    // A WAE-only entity whose parent is not known.
    EXPECT_THROW(Convert(std::string(SmallCty) + "Atlantis: 1: 1: EU: 0: 0: 0: *ZZ9:\n ZZ9;\n"), EConvertError);
    // The same call for two entities: the first stays, and the user hears of it.
    const auto rows = Convert(std::string(SmallCty) + "Far Away: 1: 1: AS: 0: 0: 0: ZL9:\n ZL9,=4U1UN;\n",
                              std::string(SmallCodes) + "ZL9,999\n");
    ASSERT_EQ(rows.Warnings.size(), 1u);
    EXPECT_NE(rows.Warnings[0].find("4U1UN is listed for United Nations HQ and for Far Away"), std::string::npos);
    EXPECT_EQ(rows.UniqueCalls[2].Dxcc, 289);
}
