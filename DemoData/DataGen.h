// Realistic test data: stations with names, QTHs, locators, QSL routes and
// notes with keyword tokens, and QSOs across the bands and modes, with
// callsigns drawn from the country dictionary's prefixes and exact calls.
// The same seed gives the same data on every machine.
#pragma once

#include "Host/Dictionary/DictionaryRows.h"
#include "Platform/DateTime/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

// splitmix64: small, fast, and the same everywhere (the standard
// distributions are not).
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    // 0 <= result < bound; bound must be above 0.
    std::uint64_t Below(std::uint64_t bound);
    // low <= result <= high.
    int Between(int low, int high);
    bool Percent(int percent) { return static_cast<int>(Below(100)) < percent; }
    template <class T> const T& Pick(const std::vector<T>& items)
    {
        return items[static_cast<std::size_t>(Below(items.size()))];
    }

private:
    std::uint64_t state_;
};

// A prefix (or an exact callsign) of the country dictionary with its
// country data.
struct TCallArea {
    std::string Prefix;
    std::string ArrlPrefix, Continent, Dxcc, ItuZone, CqZone;
};

// The plain prefixes and exact calls of the country dictionary made from
// cty.dat.
class TCallsignDictionary {
public:
    // From a cty.dat file and the entity codes beside it; EFOpenError when a
    // file cannot be read, EConvertError when it is not country data.
    static TCallsignDictionary Load(const fs::path& ctyFile);
    static TCallsignDictionary FromRows(const TDictionaryRows& rows);

    // The prefixes of the COUNTRY and PROVINCE rows, in row order.
    const std::vector<TCallArea>& CountryPrefixes() const { return countries_; }
    const std::vector<TCallArea>& ProvincePrefixes() const { return provinces_; }
    // The UNIQUECALL callsigns.
    const std::vector<TCallArea>& ExactCalls() const { return exact_; }
    // The first country prefix equal to prefix, or null.
    const TCallArea* FindCountryPrefix(std::string_view prefix) const;

private:
    std::vector<TCallArea> countries_, provinces_, exact_;
};

// The data files that travel with the programs (ProgramDataFolder).
fs::path InstalledDataFolder();
// InstalledDataFolder() / "cty.dat".
fs::path InstalledDictionary();
// The statements of a file with one statement per line; blank lines and
// "--" comment lines left out.
std::vector<std::string> ReadStatementLines(const fs::path& file);

struct TStation {
    std::string Call;
    TCallArea Area;
    std::string Name, Qth, Grid, State, Manager; // empty: unknown
    std::string Aka, Skype, Email, Born, Sk;     // empty: unknown
    bool Checked = false, UseBureau = false, UseDirect = false, UseLotw = false, UseEqsl = false;
    std::string LotwDate, EqslDate; // "yyyy-mm-dd", or empty when unknown
    std::vector<std::string> FreeWords;

    // The note as the logger keeps it: keyword tokens ("Aka:UA3AAA",
    // "Bureau:", "LotW:2023-04-01", ...) mixed with the free words, cut to
    // 255 characters at a word boundary.
    std::string LoggerNote() const;
    // The host's free note: the free words, sometimes with a stray token.
    std::string HostNote;
};

struct TQso {
    std::string Call;
    TDateTime Start = 0;  // whole minutes
    double Frequency = 0; // MHz
    std::string BandText; // as the logger writes it: "14074", "14.074" or "14,074"
    std::string Band;     // the host's band name ("20M"), empty outside every band
    std::string Mode;     // as the logger writes it (any case, sometimes unknown)
    std::string HostMode; // the host's stored mode, empty for an unknown mode
    std::string RstSent, RstRcvd;
    std::optional<std::string> Name, Qth;
    std::string Continent, ItuZone, CqZone;
    std::optional<std::string> DxccPrefix, MainPrefix, Grid, Iota, State, Wpx, Dxcc, QslManager;
    bool EqslRcvd = false, LotwSent = false, LotwRcvd = false, QslSent = false, QslRcvd = false;
    std::optional<std::string> QslSentAdv;
    std::optional<TDateTime> LotwRcvdDate, QslSentDate, QslRcvdDate;
    std::optional<std::string> AddInfo;
};

class TDataGenerator {
public:
    TDataGenerator(const TCallsignDictionary& dictionary, std::uint64_t seed);

    // A station whose callsign this generator has not given out before.
    TStation Station();
    std::vector<TStation> Stations(std::size_t count);
    // The same station as another source knows it: some values missing,
    // some different, another note.
    TStation Variant(const TStation& station);
    // count QSOs with stations picked from worked, in time order between
    // first and last.
    std::vector<TQso> Log(const std::vector<TStation>& worked, std::size_t count, TDateTime first, TDateTime last);
    TQso Qso(const TStation& worked, TDateTime start);

    TRandom& Random() { return random_; }

private:
    std::string NewCall(TCallArea& area);
    std::string Suffix(int low, int high);
    std::string Grid(std::string_view square);
    std::string Date(int fromYear, int toYear);

    const TCallsignDictionary& dictionary_;
    TRandom random_;
    std::unordered_set<std::string> used_;
    std::vector<std::vector<const TCallArea*>> regionPrefixes_; // per region, found in the dictionary
};

// Jet-dialect statements for the generated data. Texts are single-quoted
// with quotes doubled; dates between number signs; TRUE and FALSE bare.
// The host callbook row (NULL for unknown values).
std::string HostCallbookInsert(const TStation& station);
// The host log row as the log-append run writes it.
std::string HostLogInsert(const TQso& qso, std::string_view logName, std::string_view operatorCall);
// The logger's callbook row, texts cut to the logger's lengths.
std::string LoggerCallbookInsert(const TStation& station);
// One row of a logger QSO table.
std::string LoggerQsoInsert(std::string_view table, const TQso& qso);
