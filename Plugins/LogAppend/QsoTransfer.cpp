#include "Plugins/LogAppend/QsoTransfer.h"

#include "Includes/uCommFunc/uCommFunc.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/Unicode/Unicode.h"

#include <charconv>
#include <cmath>

void RegisterBand(TBandStruct& Bands, std::string Name, Extended Low, Extended High)
{
    Bands.push_back({std::move(Name), Low, High});
}

void RegisterMode(TModeStruct& Modes, std::string Group, std::string SourceName, std::string StoredName)
{
    Modes.push_back({std::move(Group), std::move(SourceName), std::move(StoredName)});
}

namespace {

TBandStruct MakeBands()
{
    TBandStruct b;
    RegisterBand(b, "2200M", 0.1L, 0.2L);
    RegisterBand(b, "630M", 0.4L, 0.5L);
    RegisterBand(b, "160M", 1.8L, 2.0L);
    RegisterBand(b, "80M", 3.5L, 3.8L);
    RegisterBand(b, "60M", 5.0L, 5.5L);
    RegisterBand(b, "40M", 7.0L, 7.2L);
    RegisterBand(b, "30M", 10.0L, 10.15L);
    RegisterBand(b, "20M", 14.0L, 14.35L);
    RegisterBand(b, "17M", 18.0L, 18.168L);
    RegisterBand(b, "15M", 21.0L, 21.45L);
    RegisterBand(b, "12M", 24.0L, 24.99L);
    RegisterBand(b, "10M", 28.0L, 29.7L);
    RegisterBand(b, "6M", 50.0L, 54.0L);
    RegisterBand(b, "4M", 70.0L, 72.0L);
    RegisterBand(b, "2M", 144.0L, 146.0L);
    RegisterBand(b, "70CM", 430.0L, 440.0L);
    RegisterBand(b, "23CM", 1260.0L, 1300.0L);
    return b;
}

TModeStruct MakeModes()
{
    TModeStruct m;
    RegisterMode(m, "CW", "CW", "CW");
    for (const char* voice : {"AM", "PM", "FM", "WFM", "NFM", "SSB", "LSB", "USB"})
        RegisterMode(m, "Voice", voice, voice);
    const std::pair<const char*, const char*> digital[] = {
        {"PSK31", "PSK31"},   {"PSK63", "PSK63"},    {"PSK125", "PSK125"},   {"BPSK31", "PSK31"},
        {"BPSK63", "PSK63"},  {"BPSK125", "PSK125"}, {"MFSK8", "MFSK8"},     {"MFSK16", "MFSK16"},
        {"QPSK31", "QPSK31"}, {"QPSK63", "QPSK63"},  {"QPSK125", "QPSK125"}, {"RTTY", "RTTY"},
        {"FT8", "FT8"},       {"JT4", "JT4"},        {"JT65", "JT65"},       {"JT65A", "JT65A"},
        {"JT65B", "JT65B"},   {"JT65C", "JT65C"},    {"JT6M", "JT6M"},       {"JT8", "JT8"},
        {"JT9", "JT9"},       {"JT9-1", "JT9-1"},    {"JT9-2", "JT9-2"},     {"DOMINO", "DOMINO"},
        {"HELL", "HELL"},     {"OPERA", "OPERA"},    {"OLIVIA", "OLIVIA"},   {"CONTESTI", "CONTESTI"},
        {"ROS", "ROS"},       {"WSPR", "WSPR"}};
    for (const auto& [source, stored] : digital)
        RegisterMode(m, "Digital", source, stored);
    RegisterMode(m, "Video", "SSTV", "SSTV");
    RegisterMode(m, "Video", "ATV", "ATV");
    return m;
}

// Built when the library is loaded, released when it is unloaded.
const TBandStruct BandTable = MakeBands();
const TModeStruct ModeTable = MakeModes();

// Number of digits before the decimal point, from the magnitude in MHz; 0
// when the magnitude says nothing.
int IntegerDigits(double digiBand)
{
    if (!(digiBand > 0)) return 0;
    if (digiBand < 10) return 1;
    if (digiBand < 100) return 2;
    if (digiBand < 1000) return 3;
    if (digiBand < 10000) return 4;
    if (digiBand < 100000) return 5;
    return 0;
}

// The number in text written with fs's decimal separator, in full 80-bit
// precision; nothing when the text is not a number.
std::optional<Extended> ReadExtended(std::string_view text, const TFormatSettings& fs)
{
    double check = 0;
    if (!TryStrToFloat(text, check, fs)) return std::nullopt;
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        if (!fs.DecimalSeparator.empty() && text.substr(i, fs.DecimalSeparator.size()) == fs.DecimalSeparator) {
            plain += '.';
            i += fs.DecimalSeparator.size();
        } else {
            const char c = text[i++];
            if (static_cast<unsigned char>(c) > ' ' && !(plain.empty() && c == '+')) plain += c;
        }
    }
    Extended value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size()) return static_cast<Extended>(check);
    return value;
}

[[noreturn]] void RaiseRowError(std::string_view callsign, const Exception& error)
{
    throw EConvertError("QSO with " + std::string(callsign) + ": " + error.Message());
}

} // namespace

const TBandStruct& Bands()
{
    return BandTable;
}
const TModeStruct& Modes()
{
    return ModeTable;
}

Extended ParseFrequency(std::string_view BandText, double DigiBand, const TFormatSettings& fs)
{
    std::string digits;
    for (char c : BandText)
        if (c != ',' && c != '.') digits += c;
    std::string number;
    if (const int count = IntegerDigits(DigiBand); count > 0) {
        const std::string whole = LeftCodePoints(digits, static_cast<std::size_t>(count));
        std::string fraction = digits.substr(whole.size());
        if (fraction.empty()) fraction = "0";
        number = whole + fs.DecimalSeparator + fraction;
    } else {
        // No magnitude to go by: the text's own decimal mark decides.
        const std::string trimmed = Trim(BandText);
        if (trimmed.empty()) return 0;
        for (char c : trimmed) {
            if (c == ',' || c == '.')
                number += fs.DecimalSeparator;
            else
                number += c;
        }
    }
    if (auto value = ReadExtended(number, fs)) return *value;
    throw EConvertError("'" + std::string(BandText) + "' is not a valid frequency");
}

std::string FrequencyToBand(Extended Frequency)
{
    for (const TBandField& band : BandTable)
        if (band.Low <= Frequency && Frequency <= band.High) return band.Name;
    return {};
}

std::string NormalizeMode(std::string_view Mode)
{
    for (const TModeField& mode : ModeTable)
        if (mode.SourceName == Mode) return mode.StoredName;
    return {};
}

std::string SqlDate(TDateTime value)
{
    return FormatDateTime("yyyy-mm-dd", value, InvariantFormatSettings());
}

std::string SqlMoment(TDateTime value)
{
    return FormatDateTime("yyyy-mm-dd hh:nn", value, InvariantFormatSettings());
}

std::string BuildSourceQuery(std::string_view Table, const Forms::TDateEdit& FirstDate,
                             const Forms::TDateEdit& LastDate, TDateTime LogExpire)
{
    std::string condition;
    if (const auto first = FirstDate.Date(); first && !Trim(FirstDate.Text()).empty())
        condition = "#" + SqlDate(*first) + "#<=QSODATE";
    if (const auto last = LastDate.Date(); last && !Trim(LastDate.Text()).empty()) {
        if (condition.empty())
            condition = "QSODATE<=#" + SqlDate(*last) + "#";
        else
            condition += " AND QSODATE<=#" + SqlDate(*last) + "#";
    }
    std::string sql = "SELECT * FROM " + std::string(Table) + " WHERE ";
    if (!condition.empty()) sql += condition + " AND ";
    return sql + "QSODATE<=#" + SqlDate(LogExpire) + "#";
}

TQsoWindow DuplicateWindow(TDateTime Start, int DeltaMinutes)
{
    return {IncMinute(Start, -DeltaMinutes), IncMinute(Start, DeltaMinutes)};
}

std::string DuplicateProbeStatement(std::string_view HostLogName, std::string_view Callsign, std::string_view Band,
                                    std::string_view Mode, const TQsoWindow& Window)
{
    return "SELECT ID,QSODATE FROM LOGS WHERE LOGNAME=" + QuotedStr(HostLogName) +
           " AND OMCALL=" + QuotedStr(Callsign) + " AND QSOBAND=" + QuotedStr(Band) +
           " AND QSOMODE=" + QuotedStr(Mode) + " AND #" + SqlMoment(Window.From) + "#<=QSODATE AND QSODATE<=#" +
           SqlMoment(Window.To) + "#";
}

std::optional<std::int32_t> NearestDuplicate(const std::vector<TProbeRow>& Rows, TDateTime Start,
                                             const std::unordered_set<std::int32_t>& Taken,
                                             std::int32_t LastIdBeforeRun)
{
    std::optional<std::int32_t> best;
    double bestDistance = 0;
    for (const TProbeRow& row : Rows) {
        if (row.Id > LastIdBeforeRun || Taken.count(row.Id)) continue;
        const double distance = std::fabs(row.Date - Start);
        if (!best || distance < bestDistance || (distance == bestDistance && row.Id < *best)) {
            best = row.Id;
            bestDistance = distance;
        }
    }
    return best;
}

const std::array<const char*, lcColumnCount> LogColumnNames{
    "OMCALL",     "QSODATE",    "QSOBAND", "QSOMODE",      "QSORSTRCVD",  "QSORSTSEND",  "OMNAME",
    "OMQTH",      "CONTINENT",  "DXCCPFX", "MAINPFX",      "QSOFREQ",     "ITUZONE",     "CQZONE",
    "GRIDSQUARE", "QSLMANAGER", "IOTA",    "STATE",        "EQSLRCVD",    "LOTWSENT",    "LOTWRCVD",
    "QSLSENT",    "QSLRECV",    "QSLSTAT", "LOTWRCVDDATE", "QSLSENTDATE", "QSLRECVDATE", "CALLSIGN",
    "WPX",        "DXCC",       "QSLINFO", "LOGNAME",      "QSOTIME"};

std::string QuotedOrNull(const TNullableText& text)
{
    return text ? QuotedStr(*text) : "NULL";
}

std::string QuotedUnlessEmpty(const TNullableText& text)
{
    return text && !text->empty() ? QuotedStr(*text) : "NULL";
}

std::string QslManagerValue(const TNullableText& text, std::string_view Callsign, std::vector<std::string>& Corrections)
{
    if (!text) return "NULL";
    const std::string manager = Trim(*text);
    if (manager.empty()) return "NULL";
    if (LooksLikeCallsign(manager)) return QuotedStr(manager);
    Corrections.push_back(std::string(Callsign) + "\t? \"" + manager + "\" instead of QSL Manager");
    return "NULL";
}

std::string QslStatValue(const TNullableText& text)
{
    return text && *text == "N" ? "'N'" : "NULL";
}

std::string AddInfoValue(const TNullableText& text, std::string_view Callsign, std::vector<std::string>& Corrections)
{
    if (!text || text->empty()) return "NULL";
    if (CodePointCount(*text) <= 255) return QuoteSQLValue(*text);
    Corrections.push_back(std::string(Callsign) + "\t? " + *text);
    return QuoteSQLValue(LeftCodePoints(*text, 255));
}

std::string MomentOrNull(const std::optional<TDateTime>& value)
{
    return value ? "#" + SqlMoment(*value) + "#" : "NULL";
}

TSourceFields::TSourceFields(TADOQuery& q)
    : CallSign(&q.FieldByName("CallSign")), QSODate(&q.FieldByName("QSODate")), QSOTime(&q.FieldByName("QSOTime")),
      QSOBand(&q.FieldByName("QSOBand")), DigiBand(&q.FieldByName("DigiBand")), QSOMode(&q.FieldByName("QSOMode")),
      QSOReportRecived(&q.FieldByName("QSOReportRecived")), QSOReportSent(&q.FieldByName("QSOReportSent")),
      OMName(&q.FieldByName("OMName")), OMQTH(&q.FieldByName("OMQTH")), Continent(&q.FieldByName("Continent")),
      DXCCPrefix(&q.FieldByName("DXCCPrefix")), MainPrefix(&q.FieldByName("MainPrefix")),
      ITUZone(&q.FieldByName("ITUZone")), CQZone(&q.FieldByName("CQZone")), Grid(&q.FieldByName("Grid")),
      IOTA(&q.FieldByName("IOTA")), State(&q.FieldByName("State")), WPX(&q.FieldByName("WPX")),
      DXCC(&q.FieldByName("DXCC")), QSLManager(&q.FieldByName("QSLManager")),
      QSLReceQSLcc(&q.FieldByName("QSLReceQSLcc")), LoTWSent(&q.FieldByName("LoTWSent")),
      LoTWRec(&q.FieldByName("LoTWRec")), QSLSent(&q.FieldByName("QSLSent")), QSLRec(&q.FieldByName("QSLRec")),
      QSLSentAdv(&q.FieldByName("QSLSentAdv")), LoTWRecDate(&q.FieldByName("LoTWRecDate")),
      QSLSentDate(&q.FieldByName("QSLSentDate")), QSLRecDate(&q.FieldByName("QSLRecDate")),
      QSOAddInfo(&q.FieldByName("QSOAddInfo"))
{
}

TNullableText NullableText(const TField& field)
{
    if (field.IsNull()) return std::nullopt;
    return field.AsString();
}

std::optional<TDateTime> NullableDate(const TField& field)
{
    if (field.IsNull()) return std::nullopt;
    return field.AsDateTime();
}

TQsoKey ReadQsoKey(const TSourceFields& f, const TFormatSettings& fs)
{
    TQsoKey key;
    key.Callsign = UpperCase(f.CallSign->AsString());
    try {
        const std::string time = f.QSOTime->AsString();
        const std::string mode = f.QSOMode->AsString();
        const TDateTime date = f.QSODate->AsDateTime();
        const std::string band = f.QSOBand->AsString();
        const double digiBand = f.DigiBand->AsFloat();
        key.Start = DateOf(date) + TimeOf(StrToTime(time, fs));
        key.Frequency = ParseFrequency(band, digiBand, fs);
        key.Band = FrequencyToBand(key.Frequency);
        key.Mode = NormalizeMode(UpperCase(mode));
    } catch (const EConvertError& error) {
        RaiseRowError(key.Callsign, error);
    }
    return key;
}

TQsoValues BuildQsoValues(const TSourceFields& f, const TQsoKey& key, std::string_view LogOperator,
                          std::string_view HostLogName, std::vector<std::string>& Corrections)
{
    TQsoValues v;
    try {
        v[lcOMCALL] = QuotedStr(key.Callsign);
        v[lcQSODATE] = "#" + SqlMoment(key.Start) + "#";
        v[lcQSOBAND] = QuotedStr(key.Band);
        v[lcQSOMODE] = QuotedStr(key.Mode);
        v[lcQSORSTRCVD] = QuotedStr(f.QSOReportRecived->AsString());
        v[lcQSORSTSEND] = QuotedStr(f.QSOReportSent->AsString());
        v[lcOMNAME] = QuotedOrNull(NullableText(*f.OMName));
        v[lcOMQTH] = QuotedOrNull(NullableText(*f.OMQTH));
        v[lcCONTINENT] = QuotedStr(f.Continent->AsString());
        v[lcDXCCPFX] = QuotedUnlessEmpty(NullableText(*f.DXCCPrefix));
        v[lcMAINPFX] = QuotedUnlessEmpty(NullableText(*f.MainPrefix));
        // Statement text never depends on the user's locale: "." marks decimals.
        v[lcQSOFREQ] = QuotedStr(FloatToStr(static_cast<double>(key.Frequency), InvariantFormatSettings()));
        v[lcITUZONE] = QuotedStr(f.ITUZone->AsString());
        v[lcCQZONE] = QuotedStr(f.CQZone->AsString());
        v[lcGRIDSQUARE] = QuotedUnlessEmpty(NullableText(*f.Grid));
        v[lcQSLMANAGER] = QslManagerValue(NullableText(*f.QSLManager), key.Callsign, Corrections);
        v[lcIOTA] = QuotedUnlessEmpty(NullableText(*f.IOTA));
        v[lcSTATE] = QuotedUnlessEmpty(NullableText(*f.State));
        v[lcEQSLRCVD] = SqlBool(f.QSLReceQSLcc->AsBoolean());
        v[lcLOTWSENT] = SqlBool(f.LoTWSent->AsBoolean());
        v[lcLOTWRCVD] = SqlBool(f.LoTWRec->AsBoolean());
        v[lcQSLSENT] = SqlBool(f.QSLSent->AsBoolean());
        v[lcQSLRECV] = SqlBool(f.QSLRec->AsBoolean());
        v[lcQSLSTAT] = QslStatValue(NullableText(*f.QSLSentAdv));
        v[lcLOTWRCVDDATE] = MomentOrNull(NullableDate(*f.LoTWRecDate));
        v[lcQSLSENTDATE] = MomentOrNull(NullableDate(*f.QSLSentDate));
        v[lcQSLRECVDATE] = MomentOrNull(NullableDate(*f.QSLRecDate));
        v[lcCALLSIGN] = QuotedStr(LogOperator);
        v[lcWPX] = QuotedUnlessEmpty(NullableText(*f.WPX));
        v[lcDXCC] = QuotedUnlessEmpty(NullableText(*f.DXCC));
        v[lcQSLINFO] = AddInfoValue(NullableText(*f.QSOAddInfo), key.Callsign, Corrections);
        v[lcLOGNAME] = QuotedStr(HostLogName);
        v[lcQSOTIME] = QuotedStr(f.QSOTime->AsString());
    } catch (const EConvertError& error) {
        RaiseRowError(key.Callsign, error);
    }
    return v;
}

std::string InsertStatement(const TQsoValues& Values)
{
    std::string sql = "INSERT INTO LOGS(";
    for (int i = 0; i < lcColumnCount; ++i) {
        if (i) sql += ',';
        sql += LogColumnNames[static_cast<std::size_t>(i)];
    }
    sql += ") VALUES(";
    for (int i = 0; i < lcColumnCount; ++i) {
        if (i) sql += ',';
        sql += Values[static_cast<std::size_t>(i)];
    }
    return sql + ")";
}

std::string UpdateStatement(const TQsoValues& v, std::int32_t HostId)
{
    return "UPDATE LOGS SET QSLSENT=" + v[lcQSLSENT] + ",QSLRECV=" + v[lcQSLRECV] + ",QSLSTAT=" + v[lcQSLSTAT] +
           ",QSLSENTDATE=" + v[lcQSLSENTDATE] + ",QSLRECVDATE=" + v[lcQSLRECVDATE] + ",LOTWSENT=" + v[lcLOTWSENT] +
           ",LOTWRCVD=" + v[lcLOTWRCVD] + ",LOTWRCVDDATE=" + v[lcLOTWRCVDDATE] + ",EQSLRCVD=" + v[lcEQSLRCVD] +
           " WHERE ID=" + std::to_string(HostId);
}

std::string RunSummary(const TRunCounters& c)
{
    std::string s = "All:" + std::to_string(c.All);
    if (c.Ins > 0) s += ", Ins:" + std::to_string(c.Ins);
    if (c.Upd > 0) s += ", Upd:" + std::to_string(c.Upd);
    if (c.Cor > 0) s += ", Cor:" + std::to_string(c.Cor);
    if (c.Err > 0) s += ", Err:" + std::to_string(c.Err);
    return s;
}
