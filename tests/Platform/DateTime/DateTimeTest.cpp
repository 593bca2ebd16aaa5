#include "Platform/DateTime/DateTime.h"
#include "Platform/SysUtils/SysUtils.h"

#include <gtest/gtest.h>

namespace {
// Encoded while this file's constants are initialised, which may come
// before the library's own.
const TDateTime EarlyDate = EncodeDate(2000, 1, 1);
} // namespace

TEST(DateTime, DatesEncodedDuringStartUp)
{
    EXPECT_EQ(EarlyDate, 36526.0);
}

TEST(DateTime, EpochAndRoundTrip)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    auto v = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58);
    EXPECT_EQ(DateTimeToCanonical(v), "2024-02-29 23:59:58");
    EXPECT_EQ(CanonicalToDateTime("2024-02-29 23:59:58"), v);
    EXPECT_EQ(DateTimeToCanonical(EncodeDate(1850, 3, 1) + EncodeTime(6, 30, 0)), "1850-03-01 06:30:00");
}

TEST(DateTime, CanonicalParserForms)
{
    EXPECT_EQ(CanonicalToDateTime("2018-04-05"), EncodeDate(2018, 4, 5));
    EXPECT_EQ(CanonicalToDateTime("2018-04-05 10:01"), EncodeDate(2018, 4, 5) + EncodeTime(10, 1, 0));
    EXPECT_EQ(CanonicalToDateTime("2018-04-05T10:01:02"), EncodeDate(2018, 4, 5) + EncodeTime(10, 1, 2));
    EXPECT_EQ(CanonicalToDateTime("2018-04-05 10:01:02.5"), EncodeDate(2018, 4, 5) + EncodeTime(10, 1, 2, 500));
    for (const char* bad : {"", "2018-4-5", "2018-02-30", "2018-04-05 24:00", "2018-04-05x", "abcd-ef-gh"})
        EXPECT_FALSE(CanonicalToDateTime(bad).has_value()) << bad;
}

TEST(DateTime, CalendarArithmetic)
{
    EXPECT_EQ(IncMonth(EncodeDate(2023, 3, 31), -1), EncodeDate(2023, 2, 28));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 3, 31), -1), EncodeDate(2024, 2, 29));
    EXPECT_EQ(IncMonth(EncodeDate(2023, 12, 15), 1), EncodeDate(2024, 1, 15));
    EXPECT_EQ(IncMonth(EncodeDate(2023, 1, 15), -13), EncodeDate(2021, 12, 15));
    auto t = EncodeDate(2024, 1, 1) + EncodeTime(0, 1, 0);
    EXPECT_EQ(DateTimeToCanonical(IncMinute(t, -2)), "2023-12-31 23:59:00");
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0), EConvertError);
}
