// The statement texts of one station and the note filter.
#include "Plugins/CallbookStore/uStoZemrakcb.h"

#include <gtest/gtest.h>

namespace {

TListFields Fields(std::initializer_list<TListRec> items)
{
    return TListFields(items);
}

} // namespace

TEST(StoreStatements, InsertNamesEveryPairThenTheCheckmark)
{
    const TListFields nameAndGrid = Fields({{"[NAME]", "Ann"}, {"GRID", "FN42"}});
    struct Case {
        TListFields List;
        bool Marks, Checked;
        const char* Expected;
    } cases[] = {
        {nameAndGrid, true, true, "INSERT INTO CALLBOOK(CALL,[NAME],GRID,Checked) VALUES('Q1AA','Ann','FN42',TRUE);"},
        {nameAndGrid, true, false, "INSERT INTO CALLBOOK(CALL,[NAME],GRID,Checked) VALUES('Q1AA','Ann','FN42',FALSE);"},
        {nameAndGrid, false, true, "INSERT INTO CALLBOOK(CALL,[NAME],GRID) VALUES('Q1AA','Ann','FN42');"},
        // Quotes are exchanged, never doubled; an empty value stays a value.
        {Fields({{"[NAME]", "O'Neil"}, {"QTH", "say \"hi\""}, {"[NOTE]", ""}}), false, false,
         "INSERT INTO CALLBOOK(CALL,[NAME],QTH,[NOTE]) VALUES('Q1AA','O\"Neil',\"say 'hi'\",'');"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildInsertStatement("Q1AA", c.List, c.Marks, c.Checked), c.Expected);
}

TEST(StoreStatements, UpdateAssignsEveryPairThenTheCheckmark)
{
    const TListFields list = Fields({{"QTH", "Town"}, {"[NOTE]", "call me"}});
    EXPECT_EQ(BuildUpdateStatement("Q1AA", list, true, true),
              "UPDATE CALLBOOK SET QTH='Town',[NOTE]='call me',Checked=TRUE WHERE CALL='Q1AA';");
    EXPECT_EQ(BuildUpdateStatement("Q1AA", list, true, false),
              "UPDATE CALLBOOK SET QTH='Town',[NOTE]='call me',Checked=FALSE WHERE CALL='Q1AA';");
    EXPECT_EQ(BuildUpdateStatement("q1'aa", list, false, true),
              "UPDATE CALLBOOK SET QTH='Town',[NOTE]='call me' WHERE CALL='q1\"aa';");
}

TEST(StoreStatements, NoteFilter)
{
    const char* worked = "LotW:2021-03-04 call Email:me@q1aa.example me";
    struct Case {
        const char* Note;
        bool Keywords, Plain;
        const char* Expected;
    } cases[] = {
        {worked, true, true, "call me LotW:2021-03-04 Email:me@q1aa.example"},
        {worked, true, false, "LotW:2021-03-04 Email:me@q1aa.example"},
        {worked, false, true, "call me"},
        {worked, false, false, ""},
        // Exact case at the start of a word only.
        {"lotw:x word xLotW:y", true, false, ""},
        {"lotw:x word xLotW:y", false, true, "lotw:x word xLotW:y"},
        // Every keyword of the logger's note; Aka: is not one of them here.
        {"eQSL: Bureau: Direct: New:a Ex:b Skype:c Born:d SK:e Aka:Q2B", true, false,
         "eQSL: Bureau: Direct: New:a Ex:b Skype:c Born:d SK:e"},
        {"eQSL: Bureau: Direct: New:a Ex:b Skype:c Born:d SK:e Aka:Q2B", false, true, "Aka:Q2B"},
        // Repeated words stay repeated; runs of white space become one blank.
        {"  me \t LotW: me\r\nLotW:  ", true, true, "me me LotW: LotW:"},
        {"   ", true, true, ""},
        {"", true, true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterNote(c.Note, c.Keywords, c.Plain), c.Expected)
            << c.Note << " keywords=" << c.Keywords << " plain=" << c.Plain;
}
