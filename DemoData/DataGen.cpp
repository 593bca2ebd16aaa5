#include "DemoData/DataGen.h"

#include "Platform/JetSql/JetSql.h"
#include "Platform/ProgramPaths/ProgramPaths.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"
#include "Platform/Unicode/Unicode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>

namespace {

// ---- reference tables ---------------------------------------------------------

struct TCity {
    const char* Name;
    const char* Square; // four-character locator square
    const char* State;
};

struct TRegion {
    int Weight; // share of the stations, in per mille of the regional ones
    std::vector<const char*> Prefixes;
    std::vector<TCity> Cities;
};

const std::vector<TRegion>& Regions()
{
    static const std::vector<TRegion> regions = {
        {140,
         {"K",  "W",  "N",  "AA", "AB", "AC", "AD", "AE", "KA", "KB", "KC", "KD",
          "KE", "KF", "KG", "KI", "KJ", "KK", "KN", "KO", "WA", "WB", "WD"},
         {{"Boston", "FN42", "MA"},
          {"Denver", "DM79", "CO"},
          {"Seattle", "CN87", "WA"},
          {"Austin", "EM10", "TX"},
          {"Chicago", "EN61", "IL"},
          {"Atlanta", "EM73", "GA"},
          {"San Diego", "DM12", "CA"},
          {"Phoenix", "DM33", "AZ"},
          {"Coeur d'Alene", "DN17", "ID"}}},
        {110,
         {"DL", "DA", "DB", "DC", "DD", "DF", "DG", "DH", "DJ", "DK", "DM", "DO"},
         {{"Berlin", "JO62", ""},
          {"München", "JN58", ""},
          {"Hamburg", "JO53", ""},
          {"Köln", "JO30", ""},
          {"Dresden", "JO61", ""},
          {"Stuttgart", "JN48", ""}}},
        {110,
         {"UA", "RA", "RU", "RV", "RW", "RX", "RZ", "RK", "RN", "UA3", "UA4", "UA6", "R3", "R6"},
         {{"Moscow", "KO85", "MA"},
          {"Sankt-Peterburg", "KO59", "SP"},
          {"Kazan", "LO55", "TA"},
          {"Samara", "LO43", "SA"},
          {"Voronezh", "LO01", "VR"},
          {"Nizhniy Novgorod", "LO46", "NN"}}},
        {70,
         {"JA", "JE", "JF", "JG", "JH", "JI", "JJ", "JK", "JL", "JR", "7K", "7L"},
         {{"Tokyo", "PM95", "13"}, {"Osaka", "PM74", "27"}, {"Sapporo", "QN02", "01"}, {"Nagoya", "PM85", "23"}}},
        {50,
         {"G", "M", "2E"},
         {{"London", "IO91", ""}, {"Leeds", "IO93", ""}, {"Bristol", "IO81", ""}, {"Manchester", "IO83", ""}}},
        {40, {"F"}, {{"Paris", "JN18", ""}, {"Lyon", "JN25", ""}, {"Toulouse", "JN03", ""}}},
        {40, {"I", "IK", "IZ", "IW"}, {{"Roma", "JN61", ""}, {"Milano", "JN45", ""}, {"L'Aquila", "JN62", ""}}},
        {40, {"EA", "EB", "EC"}, {{"Madrid", "IN80", ""}, {"Barcelona", "JN11", ""}, {"Sevilla", "IM77", ""}}},
        {40, {"SP", "SQ", "SO"}, {{"Warszawa", "KO02", ""}, {"Kraków", "KN09", ""}, {"Gdańsk", "JO94", ""}}},
        {30, {"OK", "OL"}, {{"Praha", "JO70", ""}, {"Brno", "JN89", ""}}},
        {40, {"UR", "UT", "UX", "US", "UY"}, {{"Kyiv", "KO50", ""}, {"Lviv", "KN19", ""}, {"Odesa", "KN46", ""}}},
        {30,
         {"VE", "VA", "VE3", "VE2", "VA3"},
         {{"Toronto", "FN03", "ON"},
          {"Montréal", "FN35", "QC"},
          {"Vancouver", "CN89", "BC"},
          {"Calgary", "DO21", "AB"}}},
        {25, {"VK"}, {{"Sydney", "QF56", "NSW"}, {"Melbourne", "QF22", "VIC"}, {"Perth", "OF78", "WA"}}},
        {25, {"PY", "PU"}, {{"São Paulo", "GG66", "SP"}, {"Rio de Janeiro", "GG87", "RJ"}}},
        {15, {"LU"}, {{"Buenos Aires", "GF05", ""}}},
        {20, {"ON", "OO"}, {{"Bruxelles", "JO20", ""}, {"Antwerpen", "JO21", ""}}},
        {25, {"PA", "PD", "PE"}, {{"Amsterdam", "JO22", ""}, {"Eindhoven", "JO21", ""}}},
        {20, {"SM", "SA"}, {{"Stockholm", "JO99", ""}, {"Göteborg", "JO57", ""}}},
        {20, {"OH"}, {{"Helsinki", "KP20", ""}, {"Oulu", "KP25", ""}}},
        {20, {"HA", "HG"}, {{"Budapest", "JN97", ""}}},
        {20, {"YO"}, {{"București", "KN34", ""}}},
        {15, {"LZ"}, {{"Sofia", "KN12", ""}}},
        {15, {"9A"}, {{"Zagreb", "JN75", ""}}},
        {10, {"S5"}, {{"Ljubljana", "JN76", ""}}},
        {20, {"OE"}, {{"Wien", "JN88", ""}, {"Graz", "JN77", ""}}},
        {15, {"HB"}, {{"Zürich", "JN47", ""}, {"Genève", "JN36", ""}}},
        {10, {"EI"}, {{"Dublin", "IO63", ""}}},
        {10, {"CT"}, {{"Lisboa", "IM58", ""}, {"Porto", "IN51", ""}}},
        {10, {"SV"}, {{"Athina", "KM18", ""}}},
        {10, {"ZS"}, {{"Cape Town", "JF96", ""}, {"Johannesburg", "KG33", ""}}},
        {15, {"BY", "BG"}, {{"Beijing", "OM89", ""}}},
        {10, {"HL", "DS"}, {{"Seoul", "PM37", ""}}},
        {10, {"VU"}, {{"Bangalore", "MK82", ""}}},
        {10, {"LA"}, {{"Oslo", "JO59", ""}}},
        {10, {"OZ"}, {{"København", "JO65", ""}}},
        {10, {"YL", "LY", "ES"}, {{"Riga", "KO26", ""}, {"Vilnius", "KO24", ""}, {"Tallinn", "KO29", ""}}},
        {10, {"4X", "4Z"}, {{"Tel Aviv", "KM72", ""}}},
        {10, {"EW"}, {{"Minsk", "KO33", ""}}},
        {10, {"ZL"}, {{"Auckland", "RF73", ""}}},
        {10, {"XE"}, {{"Ciudad de México", "EK09", ""}}},
    };
    return regions;
}

const std::vector<std::string>& FirstNames()
{
    static const std::vector<std::string> names = {"John",        "Mike",
                                                   "Bob",         "Jim",
                                                   "Tom",         "Bill",
                                                   "Dave",        "Steve",
                                                   "Hans",        "Peter",
                                                   "Klaus",       "Jürgen",
                                                   "Wolfgang",    "Ivan",
                                                   "Sergey",      "Alexander",
                                                   "Vladimir",    "Dmitry",
                                                   "Yuri",        "Oleg",
                                                   "Taro",        "Hiroshi",
                                                   "Kenji",       "Pierre",
                                                   "Jean-Claude", "François",
                                                   "Giuseppe",    "Marco",
                                                   "José",        "Juan",
                                                   "Antonio",     "Jan",
                                                   "Piotr",       "Krzysztof",
                                                   "Tomáš",       "Pavel",
                                                   "László",      "Mihai",
                                                   "Georgi",      "Nikos",
                                                   "Lars",        "Mikko",
                                                   "Sven",        "Paddy",
                                                   "Seán",        "João",
                                                   "Carlos",      "Bruce",
                                                   "Greg",        "Raj",
                                                   "Wei",         "Min-Ho",
                                                   "Ahmed",       "Yossi",
                                                   "Anna",        "Maria",
                                                   "Olga",        "Elena",
                                                   "Sue",         "Kate",
                                                   "O'Neil",      "Maximilian-Alexander"};
    return names;
}

const std::vector<std::string>& FreeWordPool()
{
    static const std::vector<std::string> words = {
        "QRP",    "CW-only", "contester",  "DXer", "SOTA",   "POTA", "IOTA",     "EME", "RTTY",      "ex-RS0",
        "club",   "station", "70cm",       "2m",   "beam",   "loop", "vertical", "QSL", "via",       "OQRS",
        "fast",   "slow",    "ops",        "old",  "friend", "met",  "at",       "Ham", "Radio",     "Friedrichshafen",
        "Dayton", "YOTA",    "expedition", "team", "member", "ARRL", "DARC",     "SRR", "(retired)", "73!"};
    return words;
}

struct TModeChoice {
    int Weight;
    const char* Logger;
    const char* Host;
};

const std::vector<TModeChoice>& ModeChoices()
{
    static const std::vector<TModeChoice> modes = {
        {220, "SSB", "SSB"},    {40, "USB", "USB"},     {20, "LSB", "LSB"},      {10, "ssb", "SSB"},
        {230, "CW", "CW"},      {10, "cw", "CW"},       {220, "FT8", "FT8"},     {20, "ft8", "FT8"},
        {40, "RTTY", "RTTY"},   {15, "PSK31", "PSK31"}, {10, "BPSK31", "PSK31"}, {5, "bpsk31", "PSK31"},
        {5, "BPSK63", "PSK63"}, {10, "JT65", "JT65"},   {8, "JT9", "JT9"},       {25, "FM", "FM"},
        {5, "AM", "AM"},        {5, "SSTV", "SSTV"},    {5, "OLIVIA", "OLIVIA"}, {3, "HELL", "HELL"},
        {5, "FSK441", ""},      {5, "MSK144", ""},      {4, "FT4", ""},
    };
    return modes;
}

struct TBandChoice {
    int Weight;
    const char* Name;
    double Low, High;
};

// The bands of the host's band table with realistic shares.
const std::vector<TBandChoice>& BandChoices()
{
    static const std::vector<TBandChoice> bands = {
        {2, "2200M", 0.1357, 0.1378}, {2, "630M", 0.472, 0.479}, {40, "160M", 1.81, 1.99},  {90, "80M", 3.5, 3.8},
        {15, "60M", 5.351, 5.366},    {150, "40M", 7.0, 7.2},    {60, "30M", 10.1, 10.15},  {220, "20M", 14.0, 14.35},
        {70, "17M", 18.068, 18.168},  {120, "15M", 21.0, 21.45}, {50, "12M", 24.89, 24.99}, {90, "10M", 28.0, 29.7},
        {40, "6M", 50.0, 54.0},       {5, "4M", 70.0, 72.0},     {25, "2M", 144.0, 146.0},  {15, "70CM", 430.0, 440.0},
        {6, "23CM", 1260.0, 1300.0},
    };
    return bands;
}

// Common working frequencies of the digital modes (MHz).
double DigitalFrequency(const std::string& band)
{
    static const std::map<std::string, double> ft8 = {
        {"160M", 1.840}, {"80M", 3.573},  {"60M", 5.357},  {"40M", 7.074},  {"30M", 10.136},
        {"20M", 14.074}, {"17M", 18.100}, {"15M", 21.074}, {"12M", 24.915}, {"10M", 28.074},
        {"6M", 50.313},  {"4M", 70.154},  {"2M", 144.174}};
    auto it = ft8.find(band);
    return it == ft8.end() ? 0 : it->second;
}

template <class T> const T& PickWeighted(TRandom& random, const std::vector<T>& items)
{
    int total = 0;
    for (const auto& i : items)
        total += i.Weight;
    int r = static_cast<int>(random.Below(static_cast<std::uint64_t>(total)));
    for (const auto& i : items) {
        if (r < i.Weight) return i;
        r -= i.Weight;
    }
    return items.back();
}

bool IsPlainCall(std::string_view text, bool allowSlash)
{
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (allowSlash && c == '/'))) return false;
    return true;
}

bool HasDigit(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A prefix takes the call area's digit unless it has a digit after its first
// character already ("DL", "9A", "2E" do; "VE3", "3H2A" do not).
bool NeedsDigit(std::string_view prefix)
{
    return prefix.size() < 2 || !HasDigit(prefix.substr(1));
}

std::string Digit(TRandom& random)
{
    return std::string(1, static_cast<char>('0' + random.Below(10)));
}

std::string TwoDigits(int n)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string FormatMhz(double mhz, int decimals)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, mhz);
    return buf;
}

std::string DayText(TDateTime value)
{
    auto p = DecodeDateTime(value);
    return std::to_string(p.Year) + "-" + TwoDigits(p.Month) + "-" + TwoDigits(p.Day);
}

std::string MomentText(TDateTime value)
{
    auto p = DecodeDateTime(value);
    return DayText(value) + " " + TwoDigits(p.Hour) + ":" + TwoDigits(p.Minute);
}

// ---- statement pieces ---------------------------------------------------------

struct TValues {
    std::string Columns, Values;
    void Add(std::string_view column, std::string value)
    {
        if (!Columns.empty()) Columns += ',', Values += ',';
        Columns += column;
        Values += value;
    }
    void Text(std::string_view column, std::string_view text) { Add(column, QuotedStr(text)); }
    // NULL for an empty text.
    void TextOrNull(std::string_view column, std::string_view text)
    {
        Add(column, text.empty() ? "NULL" : QuotedStr(text));
    }
    void Optional(std::string_view column, const std::optional<std::string>& text)
    {
        Add(column, text ? QuotedStr(*text) : "NULL");
    }
    void Bool(std::string_view column, bool value) { Add(column, value ? "TRUE" : "FALSE"); }
    void Date(std::string_view column, const std::optional<TDateTime>& value, bool withTime)
    {
        Add(column, value ? "#" + (withTime ? MomentText(*value) : DayText(*value)) + "#" : "NULL");
    }
    std::string Insert(std::string_view table) const
    {
        return "INSERT INTO " + std::string(table) + "(" + Columns + ") VALUES(" + Values + ")";
    }
};

} // namespace

// ---- TRandom ----------------------------------------------------------------------

std::uint64_t TRandom::Next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t TRandom::Below(std::uint64_t bound)
{
    // Rejection keeps the result unbiased.
    const std::uint64_t limit = ~std::uint64_t{0} - (~std::uint64_t{0} % bound);
    std::uint64_t r;
    do
        r = Next();
    while (r >= limit);
    return r % bound;
}

int TRandom::Between(int low, int high)
{
    return low + static_cast<int>(Below(static_cast<std::uint64_t>(high - low) + 1));
}

// ---- dictionary -------------------------------------------------------------------

TCallsignDictionary TCallsignDictionary::Load(const fs::path& ctyFile)
{
    return FromRows(LoadCountryData(ctyFile, EntityCodesBeside(ctyFile)));
}

TCallsignDictionary TCallsignDictionary::FromRows(const TDictionaryRows& rows)
{
    TCallsignDictionary d;
    auto add = [](const std::vector<TDictionaryRow>& from, std::vector<TCallArea>& to) {
        for (const TDictionaryRow& r : from)
            for (const std::string& literal : r.Literals)
                to.push_back(TCallArea{literal, r.ArrlPrefix, r.Continent, std::to_string(r.Dxcc),
                                       std::to_string(r.ItuZone), std::to_string(r.CqZone)});
    };
    add(rows.Countries, d.countries_);
    add(rows.Provinces, d.provinces_);
    add(rows.UniqueCalls, d.exact_);
    if (d.countries_.empty()) throw EConvertError("The country dictionary holds no country prefixes");
    return d;
}

const TCallArea* TCallsignDictionary::FindCountryPrefix(std::string_view prefix) const
{
    for (const auto& a : countries_)
        if (a.Prefix == prefix) return &a;
    return nullptr;
}

fs::path InstalledDataFolder()
{
    return ProgramDataFolder();
}

fs::path InstalledDictionary()
{
    return InstalledDataFolder() / "cty.dat";
}

std::vector<std::string> ReadStatementLines(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EFOpenError("Cannot open '" + file.string() + "'");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line.rfind("--", 0) == 0) continue;
        lines.push_back(std::move(line));
    }
    return lines;
}

// ---- stations -----------------------------------------------------------------------

std::string TStation::LoggerNote() const
{
    std::vector<std::string> tokens;
    if (!Aka.empty()) tokens.push_back("Aka:" + Aka);
    if (!Skype.empty()) tokens.push_back("Skype:" + Skype);
    if (!Email.empty()) tokens.push_back("Email:" + Email);
    if (UseBureau) tokens.push_back("Bureau:");
    if (UseDirect) tokens.push_back("Direct:");
    if (UseLotw) tokens.push_back("LotW:" + LotwDate);
    if (UseEqsl) tokens.push_back("eQSL:" + EqslDate);
    if (!Born.empty()) tokens.push_back("Born:" + Born);
    if (!Sk.empty()) tokens.push_back("SK:" + Sk);
    // Free words first, then the tokens, as the logger's users tend to write.
    std::string note;
    const std::vector<std::string>* lists[] = {&FreeWords, &tokens};
    for (const auto* list : lists)
        for (const auto& word : *list) {
            std::size_t chars = 0;
            for (unsigned char c : note + " " + word)
                chars += (c & 0xC0) != 0x80;
            if (chars > 255) return note;
            note += (note.empty() ? "" : " ") + word;
        }
    return note;
}

TDataGenerator::TDataGenerator(const TCallsignDictionary& dictionary, std::uint64_t seed)
    : dictionary_(dictionary), random_(seed)
{
    for (const auto& region : Regions()) {
        std::vector<const TCallArea*> found;
        for (const char* p : region.Prefixes)
            if (const TCallArea* a = dictionary_.FindCountryPrefix(p)) found.push_back(a);
        regionPrefixes_.push_back(std::move(found));
    }
}

std::string TDataGenerator::Suffix(int low, int high)
{
    std::string s;
    int n = random_.Between(low, high);
    for (int i = 0; i < n; ++i)
        s += static_cast<char>('A' + random_.Below(26));
    return s;
}

std::string TDataGenerator::Grid(std::string_view square)
{
    std::string g(square);
    if (g.size() < 4) {
        g = static_cast<char>('A' + random_.Below(18));
        g += static_cast<char>('A' + random_.Below(18));
        g += static_cast<char>('0' + random_.Below(10));
        g += static_cast<char>('0' + random_.Below(10));
    }
    g += static_cast<char>('a' + random_.Below(24));
    g += static_cast<char>('a' + random_.Below(24));
    return g;
}

std::string TDataGenerator::Date(int fromYear, int toYear)
{
    const TDateTime from = EncodeDate(fromYear, 1, 1), to = EncodeDate(toYear, 12, 31);
    return DayText(from + static_cast<double>(random_.Below(static_cast<std::uint64_t>(to - from) + 1)));
}

std::string TDataGenerator::NewCall(TCallArea& area)
{
    for (int attempt = 0;; ++attempt) {
        std::string call;
        const int kind = static_cast<int>(random_.Below(100));
        if (kind < 3 && !dictionary_.ExactCalls().empty()) {
            area = random_.Pick(dictionary_.ExactCalls());
            call = area.Prefix;
        } else {
            if (kind < 13 && !dictionary_.ProvincePrefixes().empty())
                area = random_.Pick(dictionary_.ProvincePrefixes());
            else
                area = random_.Pick(dictionary_.CountryPrefixes());
            call = area.Prefix;
            if (NeedsDigit(call))
                call += Digit(random_) + Suffix(1, 3);
            else
                call += Suffix(call.size() >= 4 ? 1 : 2, 3);
            if (random_.Percent(2)) call += random_.Percent(50) ? "/P" : "/M";
        }
        if (used_.insert(call).second) return call;
        if (attempt > 1000) throw Exception("Cannot find an unused callsign");
    }
}

TStation TDataGenerator::Station()
{
    TStation s;
    const TCity* city = nullptr;
    const bool anyRegion = std::any_of(regionPrefixes_.begin(), regionPrefixes_.end(),
                                       [](const auto& prefixes) { return !prefixes.empty(); });
    if (anyRegion && random_.Percent(75)) {
        // A station of one of the well-known regions.
        std::size_t index;
        do
            index = static_cast<std::size_t>(&PickWeighted(random_, Regions()) - Regions().data());
        while (regionPrefixes_[index].empty());
        const TRegion& region = Regions()[index];
        for (int attempt = 0;; ++attempt) {
            s.Area = *random_.Pick(regionPrefixes_[index]);
            s.Call = s.Area.Prefix;
            s.Call += NeedsDigit(s.Call) ? Digit(random_) + Suffix(1, 3) : Suffix(1, 3);
            if (used_.insert(s.Call).second) break;
            if (attempt > 1000) {
                s.Call = NewCall(s.Area);
                break;
            }
        }
        city = &random_.Pick(region.Cities);
    } else {
        s.Call = NewCall(s.Area);
    }

    if (random_.Percent(85)) s.Name = random_.Pick(FirstNames());
    if (city && random_.Percent(90)) s.Qth = city->Name;
    if (random_.Percent(city ? 80 : 40)) s.Grid = Grid(city ? city->Square : "");
    if (city && *city->State && random_.Percent(85)) s.State = city->State;
    s.Checked = random_.Percent(40);
    s.UseBureau = random_.Percent(45);
    s.UseDirect = random_.Percent(25);
    s.UseLotw = random_.Percent(40);
    if (s.UseLotw && random_.Percent(85)) s.LotwDate = Date(2015, 2024);
    s.UseEqsl = random_.Percent(30);
    if (s.UseEqsl && random_.Percent(80)) s.EqslDate = Date(2012, 2024);
    const int manager = static_cast<int>(random_.Below(100));
    if (manager < 8) {
        TCallArea area;
        s.Manager = NewCall(area);
        used_.erase(s.Manager); // a manager may appear as a station later
    } else if (manager < 12) {
        s.Manager = "BUREAU";
    } else if (manager < 14) {
        s.Manager = random_.Percent(50) ? " bureau " : "DIRECT";
    }
    if (random_.Percent(6)) {
        TCallArea area;
        s.Aka = NewCall(area);
    }
    std::string lower;
    for (char c : s.Call)
        lower += c == '/' ? '.' : AsciiLower(c);
    if (random_.Percent(8)) s.Skype = lower + "_radio";
    if (random_.Percent(15)) s.Email = lower + "@" + (random_.Percent(50) ? "gmail.com" : "qsl.net");
    if (random_.Percent(10)) s.Born = std::to_string(random_.Between(1935, 2005));
    if (random_.Percent(2)) s.Sk = std::to_string(random_.Between(2010, 2024));
    const int words = random_.Percent(50) ? 0 : random_.Between(1, 6);
    for (int i = 0; i < words; ++i)
        s.FreeWords.push_back(random_.Pick(FreeWordPool()));
    if (random_.Percent(1)) {
        // A long note that the logger's 255 characters cut.
        for (int i = 0; i < 60; ++i)
            s.FreeWords.push_back(random_.Pick(FreeWordPool()));
    }
    for (const auto& w : s.FreeWords)
        s.HostNote += (s.HostNote.empty() ? "" : " ") + w;
    if (random_.Percent(5) && s.UseLotw) s.HostNote += (s.HostNote.empty() ? "" : " ") + ("LotW:" + s.LotwDate);
    return s;
}

std::vector<TStation> TDataGenerator::Stations(std::size_t count)
{
    std::vector<TStation> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(Station());
    return out;
}

TStation TDataGenerator::Variant(const TStation& station)
{
    TStation v = station;
    auto maybeDrop = [&](std::string& field, int percent) {
        if (random_.Percent(percent)) field.clear();
    };
    maybeDrop(v.Name, 25);
    maybeDrop(v.Qth, 30);
    maybeDrop(v.Grid, 30);
    maybeDrop(v.State, 40);
    maybeDrop(v.Manager, 50);
    if (random_.Percent(15)) v.Name = random_.Pick(FirstNames());
    if (v.Grid.size() == 6 && random_.Percent(15)) v.Grid = Grid(v.Grid.substr(0, 4));
    if (random_.Percent(20)) v.Checked = !v.Checked;
    if (random_.Percent(30)) v.UseBureau = !v.UseBureau;
    if (random_.Percent(20)) v.UseDirect = !v.UseDirect;
    if (random_.Percent(30)) v.FreeWords.clear();
    if (random_.Percent(20)) v.FreeWords.push_back(random_.Pick(FreeWordPool()));
    if (random_.Percent(20)) v.Skype.clear();
    if (random_.Percent(10) && v.Email.empty())
        v.Email = "info@" + std::string(random_.Percent(50) ? "dx.org" : "ham.de");
    v.HostNote.clear();
    for (const auto& w : v.FreeWords)
        v.HostNote += (v.HostNote.empty() ? "" : " ") + w;
    return v;
}

TQso TDataGenerator::Qso(const TStation& worked, TDateTime start)
{
    TQso q;
    q.Call = worked.Call;
    if (random_.Percent(3)) {
        // Typed in lower case in the logger.
        q.Call = AsciiLower(q.Call);
    }
    q.Start = start;
    const TModeChoice& mode = PickWeighted(random_, ModeChoices());
    q.Mode = mode.Logger;
    q.HostMode = mode.Host;
    const bool digital = q.HostMode == "FT8" || q.HostMode == "JT65" || q.HostMode == "JT9" || q.HostMode == "PSK31" ||
                         q.HostMode == "PSK63" || q.HostMode == "RTTY" || q.HostMode == "OLIVIA" ||
                         q.HostMode == "HELL" || q.Mode == "FT4";
    const TBandChoice* band = &PickWeighted(random_, BandChoices());
    if (q.HostMode == "FM")
        while (band->Low < 28.0)
            band = &PickWeighted(random_, BandChoices());
    double mhz;
    if (digital && DigitalFrequency(band->Name) > 0 && q.HostMode != "RTTY") {
        mhz = DigitalFrequency(band->Name) + static_cast<double>(random_.Below(3)) / 1000.0;
    } else {
        const auto steps = static_cast<std::uint64_t>(std::llround((band->High - band->Low) * 1000.0));
        mhz = band->Low + static_cast<double>(random_.Below(steps + 1)) / 1000.0;
    }
    if (random_.Percent(1)) mhz = 3.9; // between two bands
    q.Frequency = std::round(mhz * 1000.0) / 1000.0;
    // The host's band edges (wider than the choices above).
    static const std::vector<std::pair<const char*, std::pair<double, double>>> edges = {
        {"2200M", {0.1, 0.2}},     {"630M", {0.4, 0.5}},   {"160M", {1.8, 2.0}},   {"80M", {3.5, 3.8}},
        {"60M", {5.0, 5.5}},       {"40M", {7.0, 7.2}},    {"30M", {10.0, 10.15}}, {"20M", {14.0, 14.35}},
        {"17M", {18.0, 18.168}},   {"15M", {21.0, 21.45}}, {"12M", {24.0, 24.99}}, {"10M", {28.0, 29.7}},
        {"6M", {50.0, 54.0}},      {"4M", {70.0, 72.0}},   {"2M", {144.0, 146.0}}, {"70CM", {430.0, 440.0}},
        {"23CM", {1260.0, 1300.0}}};
    q.Band.clear();
    for (const auto& [name, range] : edges)
        if (range.first <= q.Frequency && q.Frequency <= range.second) {
            q.Band = name;
            break;
        }
    const std::string dotted = FormatMhz(q.Frequency, 3);
    const int style = static_cast<int>(random_.Below(10));
    if (style < 4) {
        q.BandText = dotted;
        q.BandText.erase(std::remove(q.BandText.begin(), q.BandText.end(), '.'), q.BandText.end());
    } else if (style < 8) {
        q.BandText = dotted;
    } else {
        q.BandText = dotted;
        std::replace(q.BandText.begin(), q.BandText.end(), '.', ',');
    }
    if (q.HostMode == "CW" || q.HostMode == "RTTY" || q.HostMode.rfind("PSK", 0) == 0) {
        q.RstSent = random_.Percent(70)
                        ? "599"
                        : std::to_string(random_.Between(4, 5)) + std::to_string(random_.Between(5, 9)) + "9";
        q.RstRcvd = random_.Percent(70) ? "599" : "579";
    } else if (digital) {
        q.RstSent = std::to_string(random_.Between(-24, 10));
        q.RstRcvd = std::to_string(random_.Between(-24, 10));
        if (q.RstSent[0] != '-') q.RstSent = "+" + q.RstSent;
        if (q.RstRcvd[0] != '-') q.RstRcvd = "+" + q.RstRcvd;
    } else {
        q.RstSent = random_.Percent(70) ? "59" : "57";
        q.RstRcvd = random_.Percent(70) ? "59" : "55";
    }
    if (!worked.Name.empty() && random_.Percent(70))
        q.Name = worked.Name;
    else if (random_.Percent(10))
        q.Name = "";
    if (!worked.Qth.empty() && random_.Percent(60)) q.Qth = worked.Qth;
    q.Continent = worked.Area.Continent;
    q.ItuZone = worked.Area.ItuZone;
    q.CqZone = worked.Area.CqZone;
    if (random_.Percent(90))
        q.DxccPrefix = worked.Area.ArrlPrefix;
    else if (random_.Percent(50))
        q.DxccPrefix = "";
    if (random_.Percent(80)) q.MainPrefix = worked.Area.ArrlPrefix;
    if (!worked.Grid.empty() && random_.Percent(75))
        q.Grid = worked.Grid.substr(0, random_.Percent(50) ? 4 : 6);
    else if (random_.Percent(20))
        q.Grid = "";
    if (random_.Percent(4)) q.Iota = "EU-" + TwoDigits(random_.Between(1, 99)) + "0";
    if (!worked.State.empty() && random_.Percent(70)) q.State = worked.State;
    {
        // The WPX prefix: the callsign up to its last digit.
        std::string call = worked.Call.substr(0, worked.Call.find('/'));
        std::size_t last = call.find_last_of("0123456789");
        if (last != std::string::npos && random_.Percent(85)) q.Wpx = call.substr(0, last + 1);
    }
    if (!worked.Area.Dxcc.empty() && random_.Percent(85)) q.Dxcc = worked.Area.Dxcc;
    const int manager = static_cast<int>(random_.Below(100));
    if (manager < 6 && !worked.Manager.empty())
        q.QslManager = worked.Manager;
    else if (manager < 8)
        q.QslManager = "   ";
    else if (manager < 10)
        q.QslManager = worked.Call.substr(0, worked.Call.find('/')) + "/P"; // fails the callsign test
    q.LotwSent = random_.Percent(60);
    q.LotwRcvd = q.LotwSent && worked.UseLotw && random_.Percent(70);
    if (q.LotwRcvd && random_.Percent(90)) q.LotwRcvdDate = DateOf(start) + random_.Between(1, 120);
    q.EqslRcvd = worked.UseEqsl && random_.Percent(50);
    q.QslSent = random_.Percent(35);
    if (q.QslSent && random_.Percent(80)) q.QslSentDate = DateOf(start) + random_.Between(3, 200);
    q.QslRcvd = q.QslSent && random_.Percent(40);
    if (q.QslRcvd && random_.Percent(80)) q.QslRcvdDate = DateOf(start) + random_.Between(30, 400);
    const int adv = static_cast<int>(random_.Below(100));
    if (adv < 10)
        q.QslSentAdv = "N";
    else if (adv < 12)
        q.QslSentAdv = "n";
    else if (adv < 30)
        q.QslSentAdv = "Y";
    const int info = static_cast<int>(random_.Below(1000));
    if (info < 150) {
        q.AddInfo = random_.Pick(FreeWordPool()) + " " + random_.Pick(FreeWordPool());
    } else if (info < 155) {
        // Longer than the host's 255 characters.
        std::string text;
        while (text.size() < 300)
            text += random_.Pick(FreeWordPool()) + " ";
        q.AddInfo = text + "end";
    } else if (info < 165) {
        q.AddInfo = "";
    }
    return q;
}

std::vector<TQso> TDataGenerator::Log(const std::vector<TStation>& worked, std::size_t count, TDateTime first,
                                      TDateTime last)
{
    std::vector<TDateTime> starts;
    starts.reserve(count);
    const auto minutes = static_cast<std::uint64_t>(std::max(1.0, std::floor((last - first) * 1440.0)));
    for (std::size_t i = 0; i < count; ++i)
        starts.push_back(IncMinute(first, static_cast<std::int64_t>(random_.Below(minutes + 1))));
    std::sort(starts.begin(), starts.end());
    std::vector<TQso> log;
    log.reserve(count);
    for (TDateTime start : starts)
        log.push_back(Qso(random_.Pick(worked), start));
    return log;
}

// ---- statements ---------------------------------------------------------------------

std::string HostCallbookInsert(const TStation& s)
{
    TValues v;
    v.Text("OMCALL", s.Call);
    v.TextOrNull("OMNAME", s.Name);
    v.TextOrNull("OMQTH", s.Qth);
    v.TextOrNull("STATE", s.State);
    v.TextOrNull("GRIDSQUARE", s.Grid);
    v.TextOrNull("QSLMANAGER", s.Manager);
    v.TextOrNull("NOTES", s.HostNote);
    v.Bool("CHK", s.Checked);
    v.Bool("Use_BUREAU", s.UseBureau);
    v.Bool("Use_DIRECT", s.UseDirect);
    v.Bool("Use_LOTW", s.UseLotw);
    v.Add("LOTWACTDATE", s.LotwDate.empty() ? "NULL" : "#" + s.LotwDate + "#");
    v.Bool("Use_EQSL", s.UseEqsl);
    v.Add("EQSLACTDATE", s.EqslDate.empty() ? "NULL" : "#" + s.EqslDate + "#");
    v.TextOrNull("AKA", s.Aka);
    v.TextOrNull("SKYPE", s.Skype);
    v.TextOrNull("EMAIL", s.Email);
    v.TextOrNull("BORN", s.Born);
    v.TextOrNull("SK", s.Sk);
    return v.Insert("CALLBOOK");
}

std::string HostLogInsert(const TQso& q, std::string_view logName, std::string_view operatorCall)
{
    TValues v;
    const std::string call = AsciiUpper(q.Call);
    v.Text("LOGNAME", logName);
    v.Text("OMCALL", call);
    v.Date("QSODATE", q.Start, true);
    v.Text("QSOTIME", MomentText(q.Start).substr(11));
    v.Text("QSOBAND", q.Band);
    v.Text("QSOMODE", q.HostMode);
    v.Text("QSORSTRCVD", q.RstRcvd);
    v.Text("QSORSTSEND", q.RstSent);
    v.Optional("OMNAME", q.Name);
    v.Optional("OMQTH", q.Qth);
    v.Text("CONTINENT", q.Continent);
    v.TextOrNull("DXCCPFX", q.DxccPrefix.value_or(""));
    v.TextOrNull("MAINPFX", q.MainPrefix.value_or(""));
    char freq[32];
    std::snprintf(freq, sizeof freq, "%.15g", q.Frequency);
    v.Text("QSOFREQ", freq);
    v.Text("ITUZONE", q.ItuZone);
    v.Text("CQZONE", q.CqZone);
    v.TextOrNull("GRIDSQUARE", q.Grid.value_or(""));
    // A manager that is not a plain callsign is not carried over.
    std::string manager = q.QslManager.value_or("");
    manager.erase(0, manager.find_first_not_of(' '));
    manager.erase(manager.find_last_not_of(' ') + 1);
    const bool plain = IsPlainCall(manager, false) && HasDigit(manager) &&
                       std::any_of(manager.begin(), manager.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    v.TextOrNull("QSLMANAGER", plain ? manager : "");
    v.TextOrNull("IOTA", q.Iota.value_or(""));
    v.TextOrNull("STATE", q.State.value_or(""));
    v.Bool("EQSLRCVD", q.EqslRcvd);
    v.Bool("LOTWSENT", q.LotwSent);
    v.Bool("LOTWRCVD", q.LotwRcvd);
    v.Bool("QSLSENT", q.QslSent);
    v.Bool("QSLRECV", q.QslRcvd);
    v.Add("QSLSTAT", q.QslSentAdv == std::optional<std::string>("N") ? "'N'" : "NULL");
    v.Date("LOTWRCVDDATE", q.LotwRcvdDate, true);
    v.Date("QSLSENTDATE", q.QslSentDate, true);
    v.Date("QSLRECVDATE", q.QslRcvdDate, true);
    v.Text("CALLSIGN", operatorCall);
    v.TextOrNull("WPX", q.Wpx.value_or(""));
    v.TextOrNull("DXCC", q.Dxcc.value_or(""));
    v.TextOrNull("QSLINFO", LeftCodePoints(q.AddInfo.value_or(""), 255));
    return v.Insert("LOGS");
}

std::string LoggerCallbookInsert(const TStation& s)
{
    TValues v;
    v.Text("CALL", LeftCodePoints(s.Call, 20));
    v.TextOrNull("[NAME]", LeftCodePoints(s.Name, 15));
    v.TextOrNull("QTH", LeftCodePoints(s.Qth, 30));
    v.TextOrNull("GRID", LeftCodePoints(s.Grid, 6));
    v.TextOrNull("STATE", LeftCodePoints(s.State, 10));
    v.TextOrNull("MANAGER", LeftCodePoints(s.Manager, 12));
    v.TextOrNull("[NOTE]", LeftCodePoints(s.LoggerNote(), 255));
    v.Bool("CHECKED", s.Checked);
    return v.Insert("CALLBOOK");
}

std::string LoggerQsoInsert(std::string_view table, const TQso& q)
{
    TValues v;
    v.Text("CallSign", q.Call);
    v.Date("QSODate", DateOf(q.Start), false);
    v.Text("QSOTime", MomentText(q.Start).substr(11));
    v.Text("QSOBand", q.BandText);
    v.Add("DigiBand", FormatMhz(q.Frequency, 3));
    v.Text("QSOMode", q.Mode);
    v.Text("QSOReportRecived", q.RstRcvd);
    v.Text("QSOReportSent", q.RstSent);
    v.Optional("OMName", q.Name);
    v.Optional("OMQTH", q.Qth);
    v.Text("Continent", q.Continent);
    v.Optional("DXCCPrefix", q.DxccPrefix);
    v.Optional("MainPrefix", q.MainPrefix);
    v.Text("ITUZone", q.ItuZone);
    v.Text("CQZone", q.CqZone);
    v.Optional("Grid", q.Grid);
    v.Optional("IOTA", q.Iota);
    v.Optional("State", q.State);
    v.Optional("WPX", q.Wpx);
    v.Optional("DXCC", q.Dxcc);
    v.Optional("QSLManager", q.QslManager);
    v.Bool("QSLReceQSLcc", q.EqslRcvd);
    v.Bool("LoTWSent", q.LotwSent);
    v.Bool("LoTWRec", q.LotwRcvd);
    v.Bool("QSLSent", q.QslSent);
    v.Bool("QSLRec", q.QslRcvd);
    v.Optional("QSLSentAdv", q.QslSentAdv);
    v.Date("LoTWRecDate", q.LotwRcvdDate, false);
    v.Date("QSLSentDate", q.QslSentDate, false);
    v.Date("QSLRecDate", q.QslRcvdDate, false);
    v.Optional("QSOAddInfo", q.AddInfo);
    return v.Insert(table);
}
