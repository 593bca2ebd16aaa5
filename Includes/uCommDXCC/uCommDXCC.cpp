#include "Includes/uCommDXCC/uCommDXCC.h"

#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/ServerQuery.h"

#include <algorithm>
#include <iterator>
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

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

// Portable suffixes that say how, not where, a station operates.
bool IsPlainSuffix(std::string_view part)
{
    static constexpr std::string_view Suffixes[] = {"P",   "M",    "A",  "B",  "R",  "J",
                                                    "QRP", "QRPP", "LH", "AE", "AG", "KT"};
    return std::find(std::begin(Suffixes), std::end(Suffixes), part) != std::end(Suffixes);
}

// A complete callsign: a prefix, a digit, and a suffix of letters (W1ABC,
// CE0Y, 3D2AB); a bare prefix (DL, KL7, EA8) is not.
bool IsCompleteCall(std::string_view part)
{
    if (part.size() < 3 || !IsLetter(part.back())) return false;
    std::size_t end = part.size();
    while (end > 0 && IsLetter(part[end - 1]))
        --end;
    return end >= 2 && IsDigit(part[end - 1]);
}

} // namespace

TPortable PortableLocation(std::string_view callsign, std::string& location)
{
    std::string_view parts[8];
    std::size_t count = 0;
    for (std::size_t start = 0; start <= callsign.size();) {
        std::size_t slash = callsign.find('/', start);
        if (slash == std::string_view::npos) slash = callsign.size();
        const std::string_view part = callsign.substr(start, slash - start);
        start = slash + 1;
        if (part.empty()) continue;
        const bool first = count == 0;
        if (!first && (part == "MM" || part == "AM")) return TPortable::NoEntity;
        if (!first && IsPlainSuffix(part)) continue;
        if (count == std::size(parts)) return TPortable::Undecided;
        parts[count++] = part;
    }
    if (count == 1) {
        location.assign(parts[0]);
        return TPortable::Location;
    }
    if (count != 2) return TPortable::Undecided;
    const std::string_view home = parts[0], other = parts[1];
    if (other.size() == 1 && IsDigit(other[0])) {
        // The call-area digit takes the place of the call's own.
        for (std::size_t i = 1; i < home.size(); ++i)
            if (IsDigit(home[i])) {
                location.assign(home);
                location[i] = other[0];
                return TPortable::Location;
            }
        return TPortable::Undecided;
    }
    const bool homeCall = IsCompleteCall(home), otherCall = IsCompleteCall(other);
    std::string_view where;
    if (homeCall != otherCall)
        where = homeCall ? other : home;
    else
        where = other.size() < home.size() ? other : home;
    location.assign(where);
    return TPortable::Location;
}

std::string DictionaryStatement(std::string_view table, TDateTime today)
{
    const std::string column = table == "UNIQUECALL" ? "CALLSIGN" : "PREFIXLIST";
    const std::string day = FormatDateTime("yyyy-mm-dd", today, InvariantFormatSettings());
    return "SELECT * FROM " + std::string(table) + " WHERE (" + column + " IS NOT NULL AND " + column +
           ">\"\") AND (ENDDATE IS NULL OR #" + day + "#<=ENDDATE) AND (STARTDATE IS NULL OR STARTDATE<=#" + day +
           "#) ORDER BY ID";
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

bool TCountryDictionary::ResolveWhole(std::string_view callsign, TCallsignCountry& country, bool withUnique)
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
    if (withUnique) {
        if (auto i = uniqueMatch_.FirstWholeMatch(callsign)) {
            const TUniqueCallField& f = uniqueCalls_[*i];
            return give(f.Continent, f.ARRLPrefix, f.DXCC, f.Prefix, f.ITUZone, f.CQZone);
        }
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

bool TCountryDictionary::ResolveCallsign(std::string_view callsign, TCallsignCountry& country)
{
    // Trimmed and upper-cased: a blank or lower case must not lose the entity.
    while (!callsign.empty() && IsBlank(callsign.front()))
        callsign.remove_prefix(1);
    while (!callsign.empty() && IsBlank(callsign.back()))
        callsign.remove_suffix(1);
    call_.assign(callsign);
    for (char& c : call_)
        c = AsciiUpper(c);

    // The exact call first: it knows better than any rule.
    if (!uniqueCalls_.empty()) {
        if (auto i = uniqueMatch_.FirstWholeMatch(call_); i) return ResolveWhole(call_, country, true);
    }
    if (call_.find('/') != std::string::npos) {
        switch (PortableLocation(call_, location_)) {
        case TPortable::NoEntity:
            return false;
        case TPortable::Location:
            if (ResolveWhole(location_, country, true)) return true;
            break;
        case TPortable::Undecided:
            break;
        }
    }
    return ResolveWhole(call_, country, false);
}

TCountryDictionary& CountryDictionary()
{
    static TCountryDictionary dictionary;
    return dictionary;
}

void LoadUniqueCalls(IHostServer* server)
{
    CountryDictionary().LoadUniqueCalls(server, Date());
}
void LoadProvinces(IHostServer* server)
{
    CountryDictionary().LoadProvinces(server, Date());
}
void LoadCountries(IHostServer* server)
{
    CountryDictionary().LoadCountries(server, Date());
}
void ClearDictionaries()
{
    CountryDictionary().Clear();
}
bool ResolveCallsign(std::string_view callsign, TCallsignCountry& country)
{
    return CountryDictionary().ResolveCallsign(callsign, country);
}
