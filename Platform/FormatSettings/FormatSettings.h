// Regional formats: the user's date, time and number conventions read once
// from the locale, and the formatting and parsing routines that use them.
//
// Date-time patterns follow the desktop RTL conventions:
//   d dd ddd dddd ddddd   day, day (2 digits), short/long day name, short date
//   m mm mmm mmmm         month, month (2 digits), short/long month name
//                         (m/mm straight after an hour token mean minutes)
//   yy yyyy               year (2 or 4 digits)
//   h hh n nn s ss z zzz  hour, minute, second, millisecond
//   t tt c                short time, long time, short date + long time
//   am/pm a/p ampm        12-hour clock with a marker
//   /  :                  the date separator and the time separator
//   '...' "..."           literal text; any other character is copied
#pragma once

#include "Platform/DateTime/DateTime.h"

#include <array>
#include <string>
#include <string_view>

struct TFormatSettings {
    std::string ShortDateFormat = "yyyy-mm-dd";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string DateSeparator = "-";
    std::string TimeSeparator = ":";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    // Sunday first.
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    // A two-digit year is placed in the hundred years starting this many
    // years before the current year (0: in the current century).
    int TwoDigitYearCenturyWindow = 50;

    // The fixed settings of the C and POSIX locales (also used when a locale
    // cannot be loaded): yyyy-mm-dd, hh:nn:ss, "." and ",".
    static TFormatSettings Invariant();
    // Settings of the named locales (dates and times from the first, numbers
    // from the second). A name that is empty, C, C.*, POSIX or not installed
    // gives the invariant values for its part.
    static TFormatSettings FromLocale(const std::string& timeLocale, const std::string& numericLocale);
    // Settings of the locale the environment names: LC_ALL, else LC_TIME
    // (LC_NUMERIC for numbers), else LANG.
    static TFormatSettings FromEnvironment();
    // Invariant settings with the date and time formats of the given POSIX
    // date and time patterns ("%d.%m.%Y", "%H:%M:%S"); an empty pattern
    // keeps the invariant one.
    static TFormatSettings FromPosixFormats(std::string_view dateFormat, std::string_view timeFormat);
};

// The user's settings, read from the environment on first use, once per process.
const TFormatSettings& DefaultFormatSettings();
// The invariant settings, for text that must not depend on the user.
const TFormatSettings& InvariantFormatSettings();

// A POSIX strftime pattern ("%d.%m.%Y", "%I:%M:%S %p") as a date-time pattern
// of the kind above ("dd.mm.yyyy", "hh:nn:ss AMPM"). Letters of the pattern's
// own text are quoted.
std::string PosixToDateTimeFormat(std::string_view posixFormat);

// ---- dates and times -------------------------------------------------------

std::string FormatDateTime(std::string_view format, TDateTime value,
                           const TFormatSettings& fs = DefaultFormatSettings());
// Short date; long time; short date and long time (the time left out at midnight).
std::string DateToStr(TDateTime value, const TFormatSettings& fs = DefaultFormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& fs = DefaultFormatSettings());
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs = DefaultFormatSettings());

// Parsing in the order of day, month and year of ShortDateFormat, fields
// separated by DateSeparator (or the pattern's own separator text), days and
// months of one or two digits, years of one to four digits (one or two digits
// go through TwoDigitYearCenturyWindow). Times are h:n[:s[.z]] with
// TimeSeparator or ":", optionally followed by the AM or PM marker. Blanks
// around the text and its separators are ignored. A date-time is a date, a
// date and a time, or a time alone (on day 0).
// The Str* forms throw EConvertError ("'31/02/2020' is not a valid date").
bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& fs = DefaultFormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& fs = DefaultFormatSettings());
bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& fs = DefaultFormatSettings());
TDateTime StrToDate(std::string_view text, const TFormatSettings& fs = DefaultFormatSettings());
TDateTime StrToTime(std::string_view text, const TFormatSettings& fs = DefaultFormatSettings());
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& fs = DefaultFormatSettings());

// ---- numbers ---------------------------------------------------------------

// General format: at most 15 significant digits, no trailing zeros, the
// decimal separator, no grouping; exponent form ("1.5E-7", "1E15") for very
// small or large values; "NAN", "INF", "-INF".
std::string FloatToStr(double value, const TFormatSettings& fs = DefaultFormatSettings());

// Number patterns: "0" a digit always shown, "#" a digit shown when
// significant, "." the decimal separator, "," anywhere in the integer part
// groups thousands, '...' "..." literals, other characters copied; up to
// three sections "positive;negative;zero". Rounds halves away from zero.
// Exponent patterns (E+) are not supported. Literal text between digit
// placeholders is written after the number.
std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs = DefaultFormatSettings());

// Optional sign, digits with the decimal separator, optional exponent,
// blanks around; no thousands separators.
bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& fs = DefaultFormatSettings());
double StrToFloat(std::string_view text, const TFormatSettings& fs = DefaultFormatSettings());
