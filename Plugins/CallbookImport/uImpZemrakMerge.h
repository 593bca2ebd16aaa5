// The pieces of the callbook merge that do not need a host: what one update
// record becomes (column and SQL value pairs), which pairs the host row
// already has, and the INSERT and UPDATE texts.
#pragma once

#include "Includes/uCommDXCC/uCommTypes.h"
#include "Includes/uCommFunc/uCommFunc.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Items of the "Use fields for update" check group.
enum TUseField {
    ufCallsign = 0,
    ufBureau = 1,
    ufBorn = 2,
    ufName = 3,
    ufDirect = 4,
    ufSK = 5,
    ufQTH = 6,
    ufEmail = 7,
    ufSkype = 8,
    ufState = 9,
    ufQSLvia = 10,
    ufDXCC = 11,
    ufGrid = 12,
    ufAka = 13,
};
inline constexpr int UseFieldCount = 14;
using TFieldUse = std::array<bool, UseFieldCount>;

// One record of the package's CALLBOOK table; nothing stands for NULL.
struct TUpdateRecord {
    std::string Call;
    std::optional<std::string> Name, Qth, State, Grid, Manager, Note;
    std::optional<bool> Checked;
};

// Gives a callsign its country data; false when it does not resolve.
using TResolveCallsign = std::function<bool(std::string_view callsign, TCallsignCountry& country)>;

// The pairs of one update record, in the merge's order: name, QTH, state,
// grid, QSL manager, checkmark, country data, note keywords, the rest of the
// note. A QSL manager text that is neither a callsign nor a route word comes
// back in managerError as its error-file line (empty otherwise).
void CollectFields(const TUpdateRecord& record, const TFieldUse& use, const TResolveCallsign& resolve,
                   TListFields& fields, std::string& managerError);

// Boolean columns of the callbook: a stored TRUE counts as a value.
bool IsBooleanColumn(std::string_view column);

// Removes, from the last pair to the first, every pair whose column the host
// row already has a value in (filled(column) answers that).
void DropFilledColumns(TListFields& fields, const std::function<bool(const std::string& column)>& filled);

std::string BuildInsert(std::string_view callsign, const TListFields& fields);
std::string BuildUpdate(std::string_view callsign, const TListFields& fields);
