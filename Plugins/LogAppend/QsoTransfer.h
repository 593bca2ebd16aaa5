// The pieces of one QSO transfer from a logger log into the host log: the
// band and mode tables, reading the logger's frequency, the selection of
// source rows, the values of one host row and the statements that write it.
#pragma once

#include "Platform/Ado/Ado.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/Forms/Edits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Band edges are kept in the 80-bit format so that a frequency read from
// text compares exactly with the edge written the same way.
using Extended = long double;

struct TBandField {
    std::string Name;
    Extended Low = 0;
    Extended High = 0;
};
using TBandStruct = std::vector<TBandField>;

struct TModeField {
    std::string Group;
    std::string SourceName; // the logger's mode, upper case
    std::string StoredName; // written into the host log
};
using TModeStruct = std::vector<TModeField>;

void RegisterBand(TBandStruct& Bands, std::string Name, Extended Low, Extended High);
void RegisterMode(TModeStruct& Modes, std::string Group, std::string SourceName, std::string StoredName);

// The library's tables, built once and never changed.
const TBandStruct& Bands();
const TModeStruct& Modes();

// The frequency in MHz from the logger's two forms of it: the digits of
// BandText (decimal mark missing, "," or ".") placed by the magnitude of
// DigiBand. With DigiBand not above 0 or 100000 and more, BandText is read
// as it stands ("," or "." as the mark; empty text is 0). Text that forms no
// number raises EConvertError naming BandText.
Extended ParseFrequency(std::string_view BandText, double DigiBand,
                        const TFormatSettings& fs = DefaultFormatSettings());
// The first band holding the frequency (edges included), or empty.
std::string FrequencyToBand(Extended Frequency);
// The stored name of a mode given in upper case, or empty when unknown.
std::string NormalizeMode(std::string_view Mode);

// Literals of statement text: they never depend on the user's locale.
std::string SqlDate(TDateTime value);   // yyyy-mm-dd
std::string SqlMoment(TDateTime value); // yyyy-mm-dd hh:nn, seconds cut off

// The source rows of a log table: both date edits narrow the range (each
// bound includes its day), the expiry day always caps it.
std::string BuildSourceQuery(std::string_view Table, const Forms::TDateEdit& FirstDate,
                             const Forms::TDateEdit& LastDate, TDateTime LogExpire);

// The minutes around a QSO's start in which a host row counts as the same QSO.
struct TQsoWindow {
    TDateTime From = 0;
    TDateTime To = 0;
};
TQsoWindow DuplicateWindow(TDateTime Start, int DeltaMinutes);

// Host rows of the log with the same callsign, band and mode inside the
// window: their ID and QSODATE.
std::string DuplicateProbeStatement(std::string_view HostLogName, std::string_view Callsign, std::string_view Band,
                                    std::string_view Mode, const TQsoWindow& Window);

// One row the probe found.
struct TProbeRow {
    std::int32_t Id = 0;
    TDateTime Date = 0;
};
// The host row a source QSO updates: of the probe's rows, the nearest in
// time to Start (ties: the lower ID), leaving out rows another source row of
// the run already matched (Taken) and rows the run added (ID above
// LastIdBeforeRun). None: the QSO is new.
std::optional<std::int32_t> NearestDuplicate(const std::vector<TProbeRow>& Rows, TDateTime Start,
                                             const std::unordered_set<std::int32_t>& Taken,
                                             std::int32_t LastIdBeforeRun);

// ---- values of one host row ------------------------------------------------

// Host columns in the order of the INSERT statement.
enum TLogColumn {
    lcOMCALL,
    lcQSODATE,
    lcQSOBAND,
    lcQSOMODE,
    lcQSORSTRCVD,
    lcQSORSTSEND,
    lcOMNAME,
    lcOMQTH,
    lcCONTINENT,
    lcDXCCPFX,
    lcMAINPFX,
    lcQSOFREQ,
    lcITUZONE,
    lcCQZONE,
    lcGRIDSQUARE,
    lcQSLMANAGER,
    lcIOTA,
    lcSTATE,
    lcEQSLRCVD,
    lcLOTWSENT,
    lcLOTWRCVD,
    lcQSLSENT,
    lcQSLRECV,
    lcQSLSTAT,
    lcLOTWRCVDDATE,
    lcQSLSENTDATE,
    lcQSLRECVDATE,
    lcCALLSIGN,
    lcWPX,
    lcDXCC,
    lcQSLINFO,
    lcLOGNAME,
    lcQSOTIME,
    lcColumnCount
};
extern const std::array<const char*, lcColumnCount> LogColumnNames;

// SQL value texts of one host row, by TLogColumn.
using TQsoValues = std::array<std::string, lcColumnCount>;

// A nullable text as read from the source.
using TNullableText = std::optional<std::string>;

// NULL when null, else quoted (an empty text stays an empty literal).
std::string QuotedOrNull(const TNullableText& text);
// NULL when null or empty, else quoted.
std::string QuotedUnlessEmpty(const TNullableText& text);
// NULL when null or blank; a trimmed text that does not look like a callsign
// becomes NULL and adds a correction line to Corrections.
std::string QslManagerValue(const TNullableText& text, std::string_view Callsign,
                            std::vector<std::string>& Corrections);
// 'N' for exactly "N", else NULL.
std::string QslStatValue(const TNullableText& text);
// NULL when null or empty; longer than 255 characters: the whole text goes
// into a correction line and the value is cut. Quoted with QuoteSQLValue.
std::string AddInfoValue(const TNullableText& text, std::string_view Callsign, std::vector<std::string>& Corrections);
// NULL, or #yyyy-mm-dd hh:nn#.
std::string MomentOrNull(const std::optional<TDateTime>& value);
inline std::string SqlBool(bool value)
{
    return value ? "TRUE" : "FALSE";
}

// The columns of a source row, found once per run.
class TSourceFields {
public:
    // EDatabaseError when the table lacks one of the columns.
    explicit TSourceFields(TADOQuery& query);

    TField *CallSign, *QSODate, *QSOTime, *QSOBand, *DigiBand, *QSOMode, *QSOReportRecived, *QSOReportSent, *OMName,
        *OMQTH, *Continent, *DXCCPrefix, *MainPrefix, *ITUZone, *CQZone, *Grid, *IOTA, *State, *WPX, *DXCC, *QSLManager,
        *QSLReceQSLcc, *LoTWSent, *LoTWRec, *QSLSent, *QSLRec, *QSLSentAdv, *LoTWRecDate, *QSLSentDate, *QSLRecDate,
        *QSOAddInfo;
};

TNullableText NullableText(const TField& field);
std::optional<TDateTime> NullableDate(const TField& field);

// What a run knows of the current row once it is read.
struct TQsoKey {
    std::string Callsign; // upper case
    TDateTime Start = 0;
    Extended Frequency = 0;
    std::string Band;
    std::string Mode;
};

// Reads the key of the current row: callsign, start moment (the date of
// QSODate and the time of QSOTime in the user's format), frequency, band and
// mode. A conversion error names the row's callsign and the offending text.
TQsoKey ReadQsoKey(const TSourceFields& Fields, const TFormatSettings& fs = DefaultFormatSettings());

// Every value of the host row; corrections are added to Corrections.
TQsoValues BuildQsoValues(const TSourceFields& Fields, const TQsoKey& Key, std::string_view LogOperator,
                          std::string_view HostLogName, std::vector<std::string>& Corrections);

std::string InsertStatement(const TQsoValues& Values);
// Confirmations of the one host row the duplicate probe chose.
std::string UpdateStatement(const TQsoValues& Values, std::int32_t HostId);

// ---- counters ----------------------------------------------------------------

struct TRunCounters {
    int All = 0, Ins = 0, Upd = 0, Cor = 0, Err = 0;
};
// "All:N" followed by the non-zero counts.
std::string RunSummary(const TRunCounters& Counters);
