#include "Plugins/CallbookImport/uImpZemrakMerge.h"

#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Unicode/Unicode.h"

#include <vector>

namespace {

// Steps 1 to 4: a trimmed, non-empty text.
void AddFieldValue(const std::optional<std::string>& value, std::string_view column, TListFields& fields)
{
    if (!value) return;
    const std::string trimmed = Trim(*value);
    if (!trimmed.empty()) AddField(column, QuotedStr(trimmed), fields);
}

struct TKeyword {
    const char* Word;
    TUseField Gate;
    const char* Column;
    bool Flag; // TRUE rather than the rest of the word
};

// Tested in this order against the start of each note word.
constexpr TKeyword Keywords[] = {
    {NoteKeyword::Bureau, ufBureau, "Use_BUREAU", true},
    {NoteKeyword::Direct, ufDirect, "Use_DIRECT", true},
    {NoteKeyword::Aka, ufAka, "AKA", false},
    {NoteKeyword::Skype, ufSkype, "SKYPE", false},
    {NoteKeyword::Email, ufEmail, "EMAIL", false},
    {NoteKeyword::Born, ufBorn, "BORN", false},
    {NoteKeyword::SK, ufSK, "SK", false},
};

} // namespace

void CollectFields(const TUpdateRecord& record, const TFieldUse& use, const TResolveCallsign& resolve,
                   TListFields& fields, std::string& managerError)
{
    ClearFields(fields);
    managerError.clear();
    if (use[ufName]) AddFieldValue(record.Name, "OMNAME", fields);
    if (use[ufQTH]) AddFieldValue(record.Qth, "OMQTH", fields);
    if (use[ufState]) AddFieldValue(record.State, "STATE", fields);
    if (use[ufGrid]) AddFieldValue(record.Grid, "GRIDSQUARE", fields);

    std::string note = record.Note ? Trim(*record.Note) : std::string();
    if (use[ufQSLvia] && record.Manager) {
        const std::string& m = *record.Manager;
        const std::string trimmed = Trim(m);
        const std::string route = UpperCase(trimmed);
        if (LooksLikeCallsign(m) && !trimmed.empty())
            AddField("QSLMANAGER", QuotedStr(m), fields);
        else if (route == "BUREAU")
            note += " Bureau:";
        else if (route == "DIRECT")
            note += " Direct:";
        else if (!trimmed.empty())
            managerError = record.Call + "\t? QSL Manager = \"" + m + "\"";
    }

    if (record.Checked.value_or(false)) AddField("CHK", "TRUE", fields);

    if (use[ufDXCC] && resolve) {
        TCallsignCountry country;
        if (resolve(record.Call, country)) {
            AddField("CONTINENT", QuotedStr(country.Continent), fields);
            AddField("DXCCPFX", QuotedStr(country.DXCCPrefix), fields);
            AddField("MAINPFX", QuotedStr(country.MainPrefix), fields);
            AddField("DXCC", QuotedStr(country.DXCC), fields);
            AddField("CQZONE", QuotedStr(country.CQZone), fields);
            AddField("ITUZONE", QuotedStr(country.ITUZone), fields);
        }
    }

    std::vector<std::string> words;
    SplitWords(note, &words, 1);
    std::string rest;
    for (const std::string& word : words) {
        const TKeyword* taken = nullptr;
        for (const TKeyword& keyword : Keywords) {
            if (use[keyword.Gate] && word.starts_with(keyword.Word)) {
                taken = &keyword;
                break;
            }
        }
        if (!taken) {
            if (!rest.empty()) rest += ' ';
            rest += word;
            continue;
        }
        const std::string_view value = std::string_view(word).substr(std::string_view(taken->Word).size());
        AddField(taken->Column, taken->Flag ? std::string("TRUE") : QuotedStr(value), fields);
    }
    rest = Trim(rest);
    if (!rest.empty()) AddField("NOTES", QuotedStr(rest), fields);
}

bool IsBooleanColumn(std::string_view column)
{
    return column.starts_with("Use_") || column == "CHK";
}

void DropFilledColumns(TListFields& fields, const std::function<bool(const std::string& column)>& filled)
{
    for (int i = static_cast<int>(fields.size()) - 1; i >= 0; --i) {
        if (i >= static_cast<int>(fields.size())) continue;
        const std::string column = fields[static_cast<std::size_t>(i)].ItemName;
        if (filled(column)) DeleteField(fields, column);
    }
}

std::string BuildInsert(std::string_view callsign, const TListFields& fields)
{
    std::string columns = "OMCALL";
    std::string values = QuotedStr(callsign);
    for (const TListRec& pair : fields) {
        columns += ',';
        columns += pair.ItemName;
        values += ',';
        values += pair.ItemValue;
    }
    return "INSERT INTO CALLBOOK(" + columns + ") VALUES(" + values + ")";
}

std::string BuildUpdate(std::string_view callsign, const TListFields& fields)
{
    std::string assignments;
    for (const TListRec& pair : fields)
        assignments = AppendCommaItem(assignments, pair.ItemName + "=" + pair.ItemValue);
    return "UPDATE CALLBOOK SET " + assignments + " WHERE OMCALL=" + QuotedStr(callsign);
}
