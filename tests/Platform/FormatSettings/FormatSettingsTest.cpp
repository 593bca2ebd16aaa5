#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/SysUtils/SysUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>

namespace {

TFormatSettings German()
{
    TFormatSettings fs;
    fs.ShortDateFormat = "dd.mm.yyyy";
    fs.DateSeparator = ".";
    fs.DecimalSeparator = ",";
    fs.ThousandSeparator = ".";
    return fs;
}

TFormatSettings American()
{
    TFormatSettings fs;
    fs.ShortDateFormat = "m/d/yyyy";
    fs.DateSeparator = "/";
    fs.ShortTimeFormat = "h:nn AMPM";
    fs.LongTimeFormat = "h:nn:ss AMPM";
    return fs;
}

// A locale whose times are written with dots.
TFormatSettings DottedTime()
{
    TFormatSettings fs = German();
    fs.TimeSeparator = ".";
    fs.LongTimeFormat = "hh:nn:ss";
    return fs;
}

const TFormatSettings C = TFormatSettings::Invariant();
const TFormatSettings DE = German();
const TFormatSettings US = American();
const TFormatSettings DOT = DottedTime();

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

int ThisYear()
{
    return DecodeDateTime(Date()).Year;
}

} // namespace

TEST(FormatSettings, InvariantAndCLocales)
{
    for (const auto& fs : {TFormatSettings::Invariant(), TFormatSettings::FromLocale("C", "POSIX"),
                           TFormatSettings::FromLocale("C.UTF-8", "C.UTF-8"),
                           TFormatSettings::FromLocale("xx_NOWHERE.UTF-8", "xx_NOWHERE.UTF-8"),
                           TFormatSettings::FromEnvironment(), DefaultFormatSettings()}) {
        EXPECT_EQ(fs.ShortDateFormat, "yyyy-mm-dd");
        EXPECT_EQ(fs.DateSeparator, "-");
        EXPECT_EQ(fs.TimeSeparator, ":");
        EXPECT_EQ(fs.LongTimeFormat, "hh:nn:ss");
        EXPECT_EQ(fs.DecimalSeparator, ".");
        EXPECT_EQ(fs.ThousandSeparator, ",");
    }
    EXPECT_EQ(&DefaultFormatSettings(), &DefaultFormatSettings());
}

TEST(FormatSettings, InstalledLocaleWhenAvailable)
{
    locale_t probe = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (!probe) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    freelocale(probe);
    auto fs = TFormatSettings::FromLocale("de_DE.UTF-8", "de_DE.UTF-8");
    EXPECT_EQ(fs.ShortDateFormat, "dd.mm.yyyy");
    EXPECT_EQ(fs.DateSeparator, ".");
    EXPECT_EQ(fs.DecimalSeparator, ",");
    EXPECT_EQ(fs.ThousandSeparator, ".");
    EXPECT_EQ(fs.ShortTimeFormat, "hh:nn");
}

TEST(FormatSettings, PosixPatternsBecomeDateTimePatterns)
{
    struct Case {
        const char* posix;
        const char* expected;
    };
    const Case cases[] = {
        {"%m/%d/%y", "mm/dd/yy"},
        {"%d.%m.%Y", "dd.mm.yyyy"},
        {"%Y-%m-%d", "yyyy-mm-dd"},
        {"%D", "mm/dd/yy"},
        {"%F", "yyyy-mm-dd"},
        {"%-d.%-m.%Y", "d.m.yyyy"},
        {"%e-%b-%Y", "d-mmm-yyyy"},
        {"%Y. %m. %d.", "yyyy. mm. dd."},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
                                                       "dd\xE6\x97\xA5"},
        {"%H:%M:%S", "hh:nn:ss"},
        {"%T", "hh:nn:ss"},
        {"%I:%M:%S %p", "hh:nn:ss AMPM"},
        {"%r", "hh:nn:ss AMPM"},
        {"%H.%M.%S %Z", "hh.nn.ss "},
        {"%d de %B", "dd\" de \"mmmm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosixToDateTimeFormat(c.posix), c.expected) << c.posix;
    // Quoted words of a pattern come out as written.
    EXPECT_EQ(FormatDateTime(PosixToDateTimeFormat("%d de %B de %Y"), At(2024, 3, 5), C), "05 de March de 2024");
}

TEST(FormatSettings, SettingsFromPosixFormats)
{
    struct Case {
        const char* date;
        const char* time;
        const char* shortDate;
        const char* dateSep;
        const char* shortTime;
        const char* longTime;
        const char* timeSep;
    };
    const Case cases[] = {
        {"%d.%m.%Y", "%H:%M:%S", "dd.mm.yyyy", ".", "hh:nn", "hh:nn:ss", ":"},
        {"%m/%d/%Y", "%r", "mm/dd/yyyy", "/", "hh:nn AMPM", "hh:nn:ss AMPM", ":"},
        {"%d/%m/%y", "%T", "dd/mm/yy", "/", "hh:nn", "hh:nn:ss", ":"},
        {"%d.%m.%Y", "%H.%M.%S", "dd.mm.yyyy", ".", "hh.nn", "hh.nn.ss", "."},
        {"%F", "", "yyyy-mm-dd", "-", "hh:nn", "hh:nn:ss", ":"},
        // Units after each number: the short time keeps the minutes' unit.
        {"%Yy%mm%dd", "%Hh%Mm%Ss", "yyyy\"y\"mm\"m\"dd\"d\"", "y", "hh\"h\"nn\"m\"", "hh\"h\"nn\"m\"ss\"s\"", "h"},
    };
    const TDateTime v = At(2024, 3, 5, 19, 8, 9);
    for (const auto& c : cases) {
        auto fs = TFormatSettings::FromPosixFormats(c.date, c.time);
        EXPECT_EQ(fs.ShortDateFormat, c.shortDate) << c.date;
        EXPECT_EQ(fs.DateSeparator, c.dateSep) << c.date;
        EXPECT_EQ(fs.ShortTimeFormat, c.shortTime) << c.time;
        EXPECT_EQ(fs.LongTimeFormat, c.longTime) << c.time;
        EXPECT_EQ(fs.TimeSeparator, c.timeSep) << c.time;
        // Whatever the layout, text written with the settings reads back.
        EXPECT_NEAR(StrToDateTime(DateTimeToStr(v, fs), fs), v, 1e-9) << DateTimeToStr(v, fs);
        const std::string shortText = FormatDateTime("ddddd t", v, fs);
        EXPECT_NEAR(StrToDateTime(shortText, fs), At(2024, 3, 5, 19, 8), 1e-9) << shortText;
    }
    auto units = TFormatSettings::FromPosixFormats("%Yy%mm%dd", "%Hh%Mm%Ss");
    EXPECT_EQ(DateTimeToStr(v, units), "2024y03m05d 19h08m09s");
}

TEST(FormatSettings, FormatDateTimePatterns)
{
    const TDateTime v = At(2024, 3, 5, 7, 8, 9, 12);
    const TDateTime evening = At(2024, 3, 5, 19, 5, 0);
    struct Case {
        const TFormatSettings* fs;
        const char* pattern;
        TDateTime value;
        const char* expected;
    };
    const Case cases[] = {
        {&C, "ddddd", v, "2024-03-05"},
        {&DE, "ddddd", v, "05.03.2024"},
        {&US, "ddddd", v, "3/5/2024"},
        {&DE, "ddddd hh:mm", v, "05.03.2024 07:08"},
        {&C, "ddddd hh:mm:ss", v, "2024-03-05 07:08:09"},
        {&US, "ddddd hh:mm:ss", v, "3/5/2024 07:08:09"},
        {&C, "hh:nn:ss", v, "07:08:09"},
        {&DOT, "hh:nn:ss", v, "07.08.09"},
        {&C, "yyyy-mm-dd", v, "2024-03-05"},
        {&DE, "yyyy-mm-dd", v, "2024-03-05"},
        {&C, "yyyy-mm-dd hh:mm", v, "2024-03-05 07:08"},
        {&DE, "d/m/yy", v, "5.3.24"},
        {&C, "YYYY-MM-DD HH:MM", v, "2024-03-05 07:08"},
        {&C, "h:n:s.zzz", v, "7:8:9.012"},
        {&C, "hh:mm mm", v, "07:08 03"},
        {&C, "'at' hh \"o'clock\"", v, "at 07 o'clock"},
        {&C, "mmm mmmm ddd dddd", v, "Mar March Tue Tuesday"},
        {&C, "hh:mm am/pm", evening, "07:05 pm"},
        {&C, "h A/P", evening, "7 P"},
        {&C, "hh AMPM", At(2024, 3, 5), "12 AM"},
        {&US, "c", v, "3/5/2024 7:08:09 AM"},
        {&US, "c", At(2024, 3, 5), "3/5/2024"},
        {&DE, "t", evening, "19:05"},
        {&C, "yyyy-mm-dd", At(999, 1, 2), "0999-01-02"},
        // An elapsed time of 1 h 2 min 5 s shown as a time of day.
        {&C, "hh:nn:ss", 3725000.0 / 86400000.0, "01:02:05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, c.value, *c.fs), c.expected) << c.pattern;
    EXPECT_EQ(DateToStr(v, DE), "05.03.2024");
    EXPECT_EQ(TimeToStr(v, US), "7:08:09 AM");
    EXPECT_EQ(DateTimeToStr(v, DE), "05.03.2024 07:08:09");
}

TEST(FormatSettings, FormatDateTimeRejectsValuesOutsideTheCalendar)
{
    EXPECT_THROW(FormatDateTime("ddddd", std::numeric_limits<double>::quiet_NaN(), C), EConvertError);
    EXPECT_THROW(FormatDateTime("ddddd", 1e12, C), EConvertError);
    TFormatSettings selfReferring = C;
    selfReferring.ShortDateFormat = "ddddd";
    EXPECT_EQ(FormatDateTime("ddddd", 0, selfReferring), ""); // no endless recursion
}

TEST(FormatSettings, ParseDates)
{
    struct Case {
        const TFormatSettings* fs;
        const char* text;
        std::optional<TDateTime> expected;
    };
    const Case cases[] = {
        {&DE, "05.03.2024", At(2024, 3, 5)},
        {&DE, "5.3.2024", At(2024, 3, 5)},
        {&DE, "  5. 3. 2024 ", At(2024, 3, 5)},
        {&US, "3/5/2024", At(2024, 3, 5)},
        {&US, "03/05/2024", At(2024, 3, 5)},
        {&C, "2024-03-05", At(2024, 3, 5)},
        {&C, "2024-3-5", At(2024, 3, 5)},
        {&DE, "29.02.2024", At(2024, 2, 29)},
        {&DE, "31.02.2020", std::nullopt},
        {&DE, "29.02.2023", std::nullopt},
        {&US, "13/5/2024", std::nullopt},
        {&DE, "05/03/2024", std::nullopt},
        {&DE, "2024-03-05", std::nullopt},
        {&DE, "", std::nullopt},
        {&DE, "   ", std::nullopt},
        {&DE, "05.03", std::nullopt},
        {&DE, "05.03.2024x", std::nullopt},
        {&DE, "005.03.2024", std::nullopt},
        {&DE, "05.03.20245", std::nullopt},
        {&DE, "05.03.2024 10:00", std::nullopt},
        {&DE, "-5.03.2024", std::nullopt},
    };
    for (const auto& c : cases) {
        TDateTime v = -1;
        bool ok = TryStrToDate(c.text, v, *c.fs);
        EXPECT_EQ(ok, c.expected.has_value()) << c.text;
        if (ok && c.expected) {
            EXPECT_EQ(v, *c.expected) << c.text;
        }
    }
    try {
        StrToDate("31.02.2020", DE);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'31.02.2020' is not a valid date");
    }
}

TEST(FormatSettings, TwoDigitYearsFollowTheCenturyWindow)
{
    const int year = ThisYear();
    auto text = [](int y) { return "1.2." + std::to_string(y % 100); };
    // Within the window's hundred years: fifty back from now.
    EXPECT_EQ(StrToDate(text(year + 10), DE), At(year + 10, 2, 1));
    EXPECT_EQ(StrToDate(text(year - 40), DE), At(year - 40, 2, 1));
    EXPECT_EQ(StrToDate(text(year - 60), DE), At(year + 40, 2, 1));
    TFormatSettings thisCentury = DE;
    thisCentury.TwoDigitYearCenturyWindow = 0;
    EXPECT_EQ(StrToDate("1.2.05", thisCentury), At(year / 100 * 100 + 5, 2, 1));
}

TEST(FormatSettings, ParseTimesAndDateTimes)
{
    struct Case {
        const TFormatSettings* fs;
        const char* text;
        std::optional<TDateTime> expected;
    };
    const Case times[] = {
        {&C, "7:08", EncodeTime(7, 8, 0)},
        {&C, "07:08:09", EncodeTime(7, 8, 9)},
        {&C, "07:08:09.5", EncodeTime(7, 8, 9, 500)},
        {&C, " 23:59 ", EncodeTime(23, 59, 0)},
        {&C, "7 PM", EncodeTime(19, 0, 0)},
        {&US, "7:08:09 PM", EncodeTime(19, 8, 9)},
        {&US, "12:00 am", EncodeTime(0, 0, 0)},
        {&US, "12:30 PM", EncodeTime(12, 30, 0)},
        {&DOT, "07.08", EncodeTime(7, 8, 0)},
        {&DOT, "07:08", EncodeTime(7, 8, 0)},
        {&C, "24:00", std::nullopt},
        {&C, "12:60", std::nullopt},
        {&C, "7", std::nullopt},
        {&C, "13:00 PM", std::nullopt},
        {&C, "07:08:", std::nullopt},
        {&C, "07:08 xyz", std::nullopt},
    };
    for (const auto& c : times) {
        TDateTime v = -1;
        bool ok = TryStrToTime(c.text, v, *c.fs);
        EXPECT_EQ(ok, c.expected.has_value()) << c.text;
        if (ok && c.expected) {
            EXPECT_EQ(v, *c.expected) << c.text;
        }
    }
    const Case moments[] = {
        {&DE, "05.03.2024 07:08:09", At(2024, 3, 5, 7, 8, 9)},
        {&DE, "05.03.2024", At(2024, 3, 5)},
        {&DE, "5.3.2024 7:08", At(2024, 3, 5, 7, 8)},
        {&US, "3/5/2024 7:08:09 PM", At(2024, 3, 5, 19, 8, 9)},
        {&C, "2024-03-05 07:08", At(2024, 3, 5, 7, 8)},
        {&C, "07:08", EncodeTime(7, 8, 0)},
        {&DE, "05.03.2024 25:00", std::nullopt},
        {&DE, "05.03.2024 07:08 x", std::nullopt},
        {&DE, "31.04.2024 07:08", std::nullopt},
    };
    for (const auto& c : moments) {
        TDateTime v = -1;
        bool ok = TryStrToDateTime(c.text, v, *c.fs);
        EXPECT_EQ(ok, c.expected.has_value()) << c.text;
        if (ok && c.expected) {
            EXPECT_NEAR(v, *c.expected, 1e-9) << c.text;
        }
    }
    EXPECT_THROW(StrToTime("25:00", C), EConvertError);
    try {
        StrToDateTime("tomorrow", DE);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'tomorrow' is not a valid date and time");
    }
}

TEST(FormatSettings, DateTimeTextRoundTrips)
{
    for (const TFormatSettings* fs : {&C, &DE, &US, &DOT}) {
        for (TDateTime v : {At(2024, 3, 5, 7, 8, 9), At(1999, 12, 31, 23, 59, 59), At(2030, 1, 1)}) {
            EXPECT_NEAR(StrToDateTime(DateTimeToStr(v, *fs), *fs), v, 1e-9) << DateTimeToStr(v, *fs);
            EXPECT_EQ(StrToDate(DateToStr(v, *fs), *fs), DateOf(v));
        }
    }
}

TEST(FormatSettings, FloatToStrGeneralFormat)
{
    struct Case {
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {0, "0"},
        {14.074, "14.074"},
        {-3.5, "-3.5"},
        {0.1 + 0.2, "0.3"},
        {144.3, "144.3"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {1.5e-7, "1.5E-7"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-2.5e20, "-2.5E20"},
        {100, "100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value, C), c.expected) << c.expected;
    EXPECT_EQ(FloatToStr(14.074, DE), "14,074");
    EXPECT_EQ(FloatToStr(1234567.5, DE), "1234567,5");
    EXPECT_EQ(FloatToStr(std::nan(""), C), "NAN");
    EXPECT_EQ(FloatToStr(-HUGE_VAL, C), "-INF");
}

TEST(FormatSettings, FormatFloatPatterns)
{
    struct Case {
        const TFormatSettings* fs;
        const char* pattern;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {&C, "#,##0", 0, "0"},
        {&C, "#,##0", 999, "999"},
        {&C, "#,##0", 1000, "1,000"},
        {&C, "#,##0", 1234567, "1,234,567"},
        {&DE, "#,##0", 1234567, "1.234.567"},
        {&C, "#,##0", 3000000000.0, "3,000,000,000"},
        {&C, "#,##0", -1234, "-1,234"},
        {&C, "#,##0", 1234.5, "1,235"},
        {&C, "0", 2.5, "3"},
        {&C, "0", -0.4, "0"},
        {&C, "0.00", 3.14159, "3.14"},
        {&DE, "0.00", 3.14159, "3,14"},
        {&C, "0.00", 2, "2.00"},
        {&C, "0.00", 0.995, "1.00"},
        {&C, "#.##", 0.5, ".5"},
        {&C, "0.##", 1.5, "1.5"},
        {&C, "0.##", 1, "1"},
        {&C, "#,##0.00", 1234.567, "1,234.57"},
        {&C, "00000", 42, "00042"},
        {&C, "0;(0);'zero'", -5, "(5)"},
        {&C, "0;(0);'zero'", 0, "zero"},
        {&C, "0;(0);'zero'", 0.2, "zero"},
        {&C, "#,##0 'bytes'", 12345, "12,345 bytes"},
        {&C, "#,##0", 1e15, "1,000,000,000,000,000"},
        {&C, "", 2.5, "2.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(c.pattern, c.value, *c.fs), c.expected) << c.pattern << " " << c.value;
}

TEST(FormatSettings, StrToFloatUsesTheDecimalSeparator)
{
    struct Case {
        const TFormatSettings* fs;
        const char* text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {&C, "14.074", 14.074},      {&C, " -3.5 ", -3.5},      {&C, "+2", 2},
        {&C, "1e3", 1000},           {&C, "1.5E-7", 1.5e-7},    {&C, ".5", 0.5},
        {&DE, "14,074", 14.074},     {&DE, "144,3", 144.3},     {&DE, "14.074", std::nullopt},
        {&C, "1,000", std::nullopt}, {&C, "", std::nullopt},    {&C, "+", std::nullopt},
        {&C, "1e", std::nullopt},    {&C, "e5", std::nullopt},  {&C, "abc", std::nullopt},
        {&C, "1e999", std::nullopt}, {&C, "--1", std::nullopt},
    };
    for (const auto& c : cases) {
        double v = -1;
        bool ok = TryStrToFloat(c.text, v, *c.fs);
        EXPECT_EQ(ok, c.expected.has_value()) << c.text;
        if (ok && c.expected) {
            EXPECT_DOUBLE_EQ(v, *c.expected) << c.text;
        }
    }
    EXPECT_THROW(StrToFloat("x", C), EConvertError);
    // Text written in one form reads back to the same value.
    for (double v : {14.074, 3.5, 144.3, 0.1 + 0.2, 1.0 / 3})
        EXPECT_NEAR(StrToFloat(FloatToStr(v, DE), DE), v, 1e-14);
}
