// Text helpers shared by the transfer code: note words, callsign-shaped
// words, comma lists, SQL string literals, and the ordered column-to-value
// list one INSERT or UPDATE is assembled from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Clears *List and fills it with the white-space separated words of Text
// that have at least MinLength characters. A null List is an assertion
// failure (EAssertionFailed).
void SplitWords(std::string_view Text, std::vector<std::string>* List, int MinLength);

// True when Text has at least one letter and one digit and no white space
// or punctuation; symbols and marks are neutral.
bool LooksLikeCallsign(std::string_view Text);

// List + "," + Item, or Item alone when List is empty.
std::string AppendCommaItem(std::string_view List, std::string_view Item);

// An SQL string literal for Text that never contains its own delimiter:
// without double quotes in Text, runs of apostrophes collapse to one, each
// becomes a double quote and the literal is in apostrophes; otherwise runs
// of double quotes collapse to one, each becomes an apostrophe and the
// literal is in double quotes.
std::string QuoteSQLValue(std::string_view Text);

struct TListRec {
    std::string ItemName;
    std::string ItemValue;
};

// Insertion order is kept; a name may repeat and lookups act on its first
// occurrence; names compare exactly (case matters).
using TListFields = std::vector<TListRec>;

void ClearFields(TListFields& List);
void AddField(std::string_view ItemName, std::string_view ItemValue, TListFields& List);
// Position of the first item named ItemName, or -1.
int IndexOfField(std::string_view ItemName, const TListFields& List);
// Value of the first item named ItemName, or empty text.
std::string GetFieldValue(const TListFields& List, std::string_view ItemName);
// Changes the first item named ItemName; adds nothing when there is none.
void SetFieldValue(TListFields& List, std::string_view ItemName, std::string_view ItemValue);
// Removes the first item named ItemName; the rest keep their order.
void DeleteField(TListFields& List, std::string_view ItemName);
