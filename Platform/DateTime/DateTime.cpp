#include "Platform/DateTime/DateTime.h"

#include "Platform/SysUtils/SysUtils.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days from 0001-01-01 (proleptic Gregorian) using the civil-from-days method.
constexpr std::int64_t DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468; // days since 1970-01-01
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// A constant, so that dates encoded while other files initialise their own
// constants are right too.
constexpr std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t ToMs(TDateTime v)
{
    return std::llround(v * kMsPerDay);
}
TDateTime FromMs(std::int64_t ms)
{
    return static_cast<double>(ms) / kMsPerDay;
}

} // namespace

bool IsValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

int DaysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return days[month - 1] + (month == 2 && leap ? 1 : 0);
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (!IsValidDate(year, month, day)) throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return FromMs(((hour * 60LL + minute) * 60 + second) * 1000 + msec);
}

TDateTime EncodeDateTime(const TDateParts& p)
{
    return EncodeDate(p.Year, p.Month, p.Day) + EncodeTime(p.Hour, p.Minute, p.Second, p.MSec);
}

TDateParts DecodeDateTime(TDateTime value)
{
    std::int64_t ms = ToMs(value);
    std::int64_t days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    std::int64_t rest = ms - days * kMsPerDay;
    TDateParts p;
    CivilFromDays(days + kEpochOffset, p.Year, p.Month, p.Day);
    p.MSec = static_cast<int>(rest % 1000);
    rest /= 1000;
    p.Second = static_cast<int>(rest % 60);
    rest /= 60;
    p.Minute = static_cast<int>(rest % 60);
    p.Hour = static_cast<int>(rest / 60);
    return p;
}

TDateTime DateOf(TDateTime value)
{
    auto p = DecodeDateTime(value);
    return EncodeDate(p.Year, p.Month, p.Day);
}

TDateTime TimeOf(TDateTime value)
{
    return value - DateOf(value);
}

TDateTime Now()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), ms);
}

TDateTime Date()
{
    return DateOf(Now());
}

TDateTime IncMonth(TDateTime value, int months)
{
    auto p = DecodeDateTime(value);
    int total = p.Year * 12 + (p.Month - 1) + months;
    p.Year = total / 12;
    p.Month = total % 12 + 1;
    p.Day = std::min(p.Day, DaysInMonth(p.Year, p.Month));
    return EncodeDateTime(p);
}

TDateTime IncMinute(TDateTime value, std::int64_t minutes)
{
    return FromMs(ToMs(value) + minutes * 60'000);
}

TDateTime IncDay(TDateTime value, int days)
{
    return FromMs(ToMs(value) + days * kMsPerDay);
}

std::string DateTimeToCanonical(TDateTime value)
{
    auto p = DecodeDateTime(value);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
    return buf;
}

std::optional<TDateTime> CanonicalToDateTime(std::string_view s)
{
    auto num = [&](std::size_t pos, std::size_t len, int& out) {
        if (pos + len > s.size()) return false;
        out = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    TDateParts p;
    if (!num(0, 4, p.Year) || s.size() < 10 || s[4] != '-' || !num(5, 2, p.Month) || s[7] != '-' || !num(8, 2, p.Day))
        return std::nullopt;
    p.Hour = p.Minute = p.Second = 0;
    if (s.size() > 10) {
        if ((s[10] != ' ' && s[10] != 'T') || !num(11, 2, p.Hour) || s.size() < 16 || s[13] != ':' ||
            !num(14, 2, p.Minute))
            return std::nullopt;
        if (s.size() > 16) {
            if (s[16] != ':' || !num(17, 2, p.Second)) return std::nullopt;
            std::size_t end = 19;
            if (s.size() > 19 && s[19] == '.') { // fractional seconds
                end = 20;
                int digits = 0;
                while (end < s.size() && s[end] >= '0' && s[end] <= '9') {
                    if (digits < 3) p.MSec = p.MSec * 10 + (s[end] - '0');
                    ++digits;
                    ++end;
                }
                for (; digits < 3; ++digits)
                    p.MSec *= 10;
            }
            if (end != s.size()) return std::nullopt;
        }
    }
    if (!IsValidDate(p.Year, p.Month, p.Day) || p.Hour > 23 || p.Minute > 59 || p.Second > 59) return std::nullopt;
    return EncodeDateTime(p);
}
