// The country dictionary of the host (UNIQUECALL, PROVINCE, COUNTRY rows
// valid today) held in memory for one import run, and the resolver that
// gives a callsign its continent, prefixes, DXCC entity and zones.
//
// A callsign is trimmed and upper-cased, then looked up as an exact call
// (UNIQUECALL); a portable form (with '/') is then resolved by its location
// (see PortableLocation). Otherwise, and where that decides nothing, it
// belongs to the first row, in the order UNIQUECALL, PROVINCE, COUNTRY and
// within each table by ID, whose expression's first match (leftmost, first
// succeeding alternative) is the whole callsign. Each expression is compiled
// at most once per load; literal-shaped expressions are found through hash
// tables without the engine, keeping that order.
#pragma once

#include "Includes/uCommDXCC/uCommTypes.h"
#include "Platform/RegExpr/RegExpr.h"
#include "PluginAPI/PluginAPI.h"

#include <string>
#include <string_view>

class TCountryDictionary {
public:
    // The loaders read the rows valid on the day today (the date part is
    // used) through the host, replacing what the list held.
    void LoadUniqueCalls(IHostServer* server, TDateTime today);
    void LoadProvinces(IHostServer* server, TDateTime today);
    void LoadCountries(IHostServer* server, TDateTime today);
    // Empties the three lists and releases their compiled expressions.
    void Clear();

    const TUniqueCallList& UniqueCalls() const noexcept { return uniqueCalls_; }
    const TProvinceList& Provinces() const noexcept { return provinces_; }
    const TCountryList& Countries() const noexcept { return countries_; }

    // True and the outputs when the callsign resolves; the outputs are left
    // alone otherwise. An expression that does not compile raises
    // EParserError when a callsign reaches it.
    bool ResolveCallsign(std::string_view callsign, TCallsignCountry& country);

private:
    // The first-whole-match rule over the three lists.
    bool ResolveWhole(std::string_view callsign, TCallsignCountry& country, bool withUnique);

    TUniqueCallList uniqueCalls_;
    TProvinceList provinces_;
    TCountryList countries_;
    TWholeMatchList uniqueMatch_;
    TWholeMatchList provinceMatch_;
    TWholeMatchList countryMatch_;
    std::string call_, location_; // buffers of one resolution
};

// What the portable form of a callsign (upper case, with '/') says about
// where the station is.
enum class TPortable {
    Undecided, // no rule applies: resolve the whole callsign
    Location,  // resolve the text given instead
    NoEntity,  // maritime or aeronautical mobile (/MM, /AM): no entity
};

// Applies the portable rules: suffixes without a location (/P, /M, /QRP,
// /LH, /B ...) are dropped; /MM and /AM give no entity; a call-area digit
// (UA9MAT/1) replaces the digit of the call (UA1MAT); of a prefix and a
// call (DL/G4ABC, VE3LYC/KL7, W1ABC/CE0Y) the part that is not a complete
// callsign, or else the shorter, is the location. location is set for
// TPortable::Location.
TPortable PortableLocation(std::string_view callsign, std::string& location);

// The statement a loader sends for table ("UNIQUECALL", "PROVINCE" or
// "COUNTRY") on the day today.
std::string DictionaryStatement(std::string_view table, TDateTime today);

// The dictionary of the loaded plug-in: empty except during an import run
// with the DXCC field.
TCountryDictionary& CountryDictionary();

// The routines on the plug-in's dictionary, with today's local date.
void LoadUniqueCalls(IHostServer* server);
void LoadProvinces(IHostServer* server);
void LoadCountries(IHostServer* server);
void ClearDictionaries();
bool ResolveCallsign(std::string_view callsign, TCallsignCountry& country);
