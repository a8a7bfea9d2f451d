#include "model/garmin_time.h"

#include <gtest/gtest.h>

#include <string>

namespace logwell {
namespace {

struct CalendarCase {
  CalendarTime calendar;
  GarminTime seconds;
};

class GarminTimeTable : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(GarminTimeTable, ConvertsBothWays) {
  const auto& [calendar, seconds] = GetParam();
  EXPECT_EQ(CalendarToGarminTime(calendar), seconds);
  const CalendarTime back = GarminTimeToCalendar(seconds);
  EXPECT_EQ(back.year, calendar.year);
  EXPECT_EQ(back.month, calendar.month);
  EXPECT_EQ(back.day, calendar.day);
  EXPECT_EQ(back.hour, calendar.hour);
  EXPECT_EQ(back.minute, calendar.minute);
  EXPECT_EQ(back.second, calendar.second);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, GarminTimeTable,
    ::testing::Values(CalendarCase{{1989, 12, 0, 31, 0, 0, 0, 0}, 0},
                      CalendarCase{{1990, 1, 0, 1, 0, 0, 0, 0}, 86400},
                      CalendarCase{{1992, 3, 0, 1, 0, 0, 0, 0}, 791u * 86400},
                      CalendarCase{{1992, 2, 0, 29, 23, 59, 59, 0}, 791u * 86400 - 1},
                      CalendarCase{{1996, 12, 0, 31, 12, 0, 0, 0}, 2557u * 86400 + 43200},
                      CalendarCase{{2000, 2, 0, 29, 0, 0, 0, 0}, 3712u * 86400},
                      // 2024-02-09 23:43:25, a fix of a real flight that crosses midnight
                      CalendarCase{{2024, 2, 0, 9, 23, 43, 25, 0}, 1076456605u}),
    [](const ::testing::TestParamInfo<CalendarCase>& param) {
      return "Seconds" + std::to_string(param.param.seconds);
    });

TEST(GarminTime, KeepsMillisecondsAndMatchesTheUnixClock) {
  EXPECT_EQ(GarminTimeToCalendar(5, 250).milliseconds, 250);
  // 2024-02-09 23:43:25 UTC is 1707522205 in Unix time.
  EXPECT_EQ(GarminTimeToUnix(1076456605u), 1707522205);
  EXPECT_EQ(UnixToGarminTime(1707522205), 1076456605u);
}

TEST(GarminTime, LargestValueDoesNotWrap) {
  const CalendarTime t = GarminTimeToCalendar(0xFFFFFFFFu);
  EXPECT_EQ(t.year, 2126);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
}

}  // namespace
}  // namespace logwell
