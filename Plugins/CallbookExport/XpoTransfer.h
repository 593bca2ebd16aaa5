// The callbook transfer's pure parts: which host rows are selected, and how
// one host row becomes one INSERT into the package's CALLBOOK table.
#pragma once

#include "Platform/DateTime/DateTime.h"

#include <array>
#include <optional>
#include <string>

// The "Include extra info" items, in the check group's order.
enum TExtInfoItem { eiAka, eiSkype, eiBureau, eiEmail, eiDirect, eiBorn, eiLotW, eiSK, eiEQSL, eiCount };
using TExtInfo = std::array<bool, eiCount>;

struct TExtInfoDef {
    const char* Caption;    // item caption in the dialog
    const char* HostColumn; // CALLBOOK column whose presence enables the item
    const char* Key;        // settings key, also the word in the package description
};
extern const std::array<TExtInfoDef, eiCount> ExtInfoItems;

// One "Omit inactive callsigns" option: the box and its limit date.
struct TOmitOption {
    bool Checked = false;
    std::optional<TDateTime> Date;
};

// "SELECT * FROM CALLBOOK [WHERE ...] ORDER BY OMCALL" for the two options.
std::string BuildSelectStatement(const TOmitOption& LotW, const TOmitOption& EQSL);

// What the transfer reads from one host CALLBOOK row. Optional texts are
// absent when the host reports no value; the note parts are read only for
// checked extra-info items.
struct TCallbookRow {
    std::string Call; // absent reads as empty
    std::optional<std::string> Name, Qth, Grid, State, Manager;
    bool Checked = false; // CHK has a value and it is true
    std::string Aka, Skype, Email, Born, SK;
    bool Bureau = false, Direct = false, LotW = false, EQSL = false;
    std::optional<TDateTime> LotWDate, EQSLDate;
};

// The NOTE text: the keyword tokens of the checked items, trimmed and cut
// to 255 characters. Dates use the user's short date format.
std::string BuildNote(const TCallbookRow& Row, const TExtInfo& ExtInfo);
// "INSERT INTO CALLBOOK(CALL,...) VALUES(...)"; CHECKED is written only when
// the host callbook has a CHK column.
std::string BuildInsertStatement(const TCallbookRow& Row, const TExtInfo& ExtInfo, bool WithChecked);
