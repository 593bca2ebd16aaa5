#include "Includes/uCommDXCC/uCommDXCC.h"

#include "PluginAPI/Plugins/ServerQuery.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/Unicode/Unicode.h"

#include <string>

namespace {

// Dates of rows without one: valid since always, for ever.
const TDateTime NoStartDate = EncodeDateTime(TDateParts{1900, 1, 1, 0, 0, 0, 0});
const TDateTime NoEndDate = EncodeDateTime(TDateParts{2099, 12, 31, 23, 59, 59, 999});

// Column names as the host takes them, made once.
struct TColumns {
    WideString Callsign{"Callsign"}, PrefixList{"PrefixList"}, ARRLPrefix{"ARRLPrefix"}, Prefix{"Prefix"},
        Continent{"Continent"}, DXCC{"DXCC"}, ITUZone{"ITUZone"}, CQZone{"CQZone"}, StartDate{"StartDate"},
        EndDate{"EndDate"};
};

const TColumns& Columns()
{
    static const TColumns columns;
    return columns;
}

// Opens the table's statement and hands each row to fill, which appends
// one element. The handle is closed and freed also when a step fails.
template <class Fill>
void LoadRows(IHostServer* server, std::string_view table, TDateTime today, std::size_t& reserve, Fill fill)
{
    // On a failure the destructor closes an opened handle, unchecked: the
    // original failure is the one the caller sees.
    TServerQuery query(server, TServerQuery::TCloseOnRelease::WhenOpen);
    query.Open(DictionaryStatement(table, today));
    const std::int32_t count = query.RecordCount();
    reserve = count > 0 ? static_cast<std::size_t>(count) : 0;
    fill(nullptr); // sizes the list
    query.First();
    while (!query.Eof()) {
        fill(&query);
        query.Next();
    }
    query.Close();
    query.Free();
}

TDateTime StartOf(TServerQuery& query)
{
    return query.GetDateTime(Columns().StartDate).value_or(NoStartDate);
}

TDateTime EndOf(TServerQuery& query)
{
    return query.GetDateTime(Columns().EndDate).value_or(NoEndDate);
}

} // namespace

std::string DictionaryStatement(std::string_view table, TDateTime today)
{
    const std::string column = table == "UNIQUECALL" ? "CALLSIGN" : "PREFIXLIST";
    const std::string day = FormatDateTime("yyyy-mm-dd", today, InvariantFormatSettings());
    return "SELECT * FROM " + std::string(table) + " WHERE (" + column + " IS NOT NULL AND " + column +
           ">\"\") AND (ENDDATE IS NULL OR #" + day + "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" +
           day + "#) ORDER BY ID";
}

void TCountryDictionary::LoadUniqueCalls(IHostServer* server, TDateTime today)
{
    uniqueCalls_.clear();
    uniqueMatch_.Clear();
    std::size_t count = 0;
    const TColumns& c = Columns();
    LoadRows(server, "UNIQUECALL", today, count, [&](TServerQuery* q) {
        if (!q) return uniqueCalls_.reserve(count);
        TUniqueCallField& f = uniqueCalls_.emplace_back();
        f.Callsign = q->GetString(c.Callsign);
        f.ARRLPrefix = q->GetString(c.ARRLPrefix);
        f.Prefix = q->GetString(c.Prefix);
        f.Continent = q->GetString(c.Continent);
        f.DXCC = std::to_string(q->GetInteger(c.DXCC));
        f.ITUZone = std::to_string(q->GetInteger(c.ITUZone));
        f.CQZone = std::to_string(q->GetInteger(c.CQZone));
        f.StartDate = StartOf(*q);
        f.EndDate = EndOf(*q);
        uniqueMatch_.Add(f.Callsign);
    });
}

void TCountryDictionary::LoadProvinces(IHostServer* server, TDateTime today)
{
    provinces_.clear();
    provinceMatch_.Clear();
    std::size_t count = 0;
    const TColumns& c = Columns();
    LoadRows(server, "PROVINCE", today, count, [&](TServerQuery* q) {
        if (!q) return provinces_.reserve(count);
        TProvinceField& f = provinces_.emplace_back();
        f.PrefixList = q->GetString(c.PrefixList);
        f.ARRLPrefix = q->GetString(c.ARRLPrefix);
        f.Prefix = q->GetString(c.Prefix);
        f.Continent = q->GetString(c.Continent);
        f.DXCC = std::to_string(q->GetInteger(c.DXCC));
        f.ITUZone = q->GetString(c.ITUZone);
        f.CQZone = q->GetString(c.CQZone);
        f.StartDate = StartOf(*q);
        f.EndDate = EndOf(*q);
        provinceMatch_.Add(f.PrefixList);
    });
}

void TCountryDictionary::LoadCountries(IHostServer* server, TDateTime today)
{
    countries_.clear();
    countryMatch_.Clear();
    std::size_t count = 0;
    const TColumns& c = Columns();
    LoadRows(server, "COUNTRY", today, count, [&](TServerQuery* q) {
        if (!q) return countries_.reserve(count);
        TCountryField& f = countries_.emplace_back();
        f.PrefixList = q->GetString(c.PrefixList);
        f.ARRLPrefix = q->GetString(c.ARRLPrefix);
        f.Continent = q->GetString(c.Continent);
        f.DXCC = q->GetString(c.DXCC);
        f.ITUZone = q->GetString(c.ITUZone);
        f.CQZone = q->GetString(c.CQZone);
        f.StartDate = StartOf(*q);
        f.EndDate = EndOf(*q);
        countryMatch_.Add(f.PrefixList);
    });
}

void TCountryDictionary::Clear()
{
    TUniqueCallList().swap(uniqueCalls_);
    TProvinceList().swap(provinces_);
    TCountryList().swap(countries_);
    uniqueMatch_ = TWholeMatchList();
    provinceMatch_ = TWholeMatchList();
    countryMatch_ = TWholeMatchList();
}

bool TCountryDictionary::ResolveCallsign(std::string_view callsign, TCallsignCountry& country)
{
    auto give = [&country](const std::string& continent, const std::string& arrl, const std::string& dxcc,
                           const std::string& main, const std::string& itu, const std::string& cq) {
        country.Continent = LeftCodePoints(continent, 2);
        country.DXCCPrefix = LeftCodePoints(arrl, 5);
        country.DXCC = dxcc;
        country.MainPrefix = LeftCodePoints(main, 5);
        country.ITUZone = LeftCodePoints(itu, 2);
        country.CQZone = LeftCodePoints(cq, 2);
        return true;
    };
    if (auto i = uniqueMatch_.FirstWholeMatch(callsign)) {
        const TUniqueCallField& f = uniqueCalls_[*i];
        return give(f.Continent, f.ARRLPrefix, f.DXCC, f.Prefix, f.ITUZone, f.CQZone);
    }
    if (auto i = provinceMatch_.FirstWholeMatch(callsign)) {
        const TProvinceField& f = provinces_[*i];
        return give(f.Continent, f.ARRLPrefix, f.DXCC, f.Prefix, f.ITUZone, f.CQZone);
    }
    if (auto i = countryMatch_.FirstWholeMatch(callsign)) {
        const TCountryField& f = countries_[*i];
        return give(f.Continent, f.ARRLPrefix, f.DXCC, f.ARRLPrefix, f.ITUZone, f.CQZone);
    }
    return false;
}

TCountryDictionary& CountryDictionary()
{
    static TCountryDictionary dictionary;
    return dictionary;
}

void LoadUniqueCalls(IHostServer* server) { CountryDictionary().LoadUniqueCalls(server, Date()); }
void LoadProvinces(IHostServer* server) { CountryDictionary().LoadProvinces(server, Date()); }
void LoadCountries(IHostServer* server) { CountryDictionary().LoadCountries(server, Date()); }
void ClearDictionaries() { CountryDictionary().Clear(); }
bool ResolveCallsign(std::string_view callsign, TCallsignCountry& country)
{
    return CountryDictionary().ResolveCallsign(callsign, country);
}
