// Date-time values as days since 1899-12-30 with the time of day as the
// fraction, and the calendar arithmetic the dialogs need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

struct TDateParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};

bool IsValidDate(int year, int month, int day);
int DaysInMonth(int year, int month);
// Throw EConvertError for an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDateTime(const TDateParts& parts);
TDateParts DecodeDateTime(TDateTime value); // rounded to the millisecond

TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
// Local wall-clock time and today's date.
TDateTime Now();
TDateTime Date();
// Calendar months added, the day clamped to the last day of the month.
TDateTime IncMonth(TDateTime value, int months);
TDateTime IncMinute(TDateTime value, std::int64_t minutes);
TDateTime IncDay(TDateTime value, int days);

// Canonical storage text "yyyy-mm-dd hh:nn:ss" (the form dates take in the
// databases) and its parser, which also takes "yyyy-mm-dd", "yyyy-mm-dd hh:nn"
// and a 'T' separator. The parser answers nothing for anything else.
std::string DateTimeToCanonical(TDateTime value);
std::optional<TDateTime> CanonicalToDateTime(std::string_view text);
