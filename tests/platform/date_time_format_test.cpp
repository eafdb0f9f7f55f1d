#include "platform/date_time_format.h"

#include <gtest/gtest.h>

#include <ctime>

namespace platform {
namespace {

TEST(DateTimeFormat, LogTimeAndFileStampUseLocal24HourTime) {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 0;
  tm.tm_mday = 5;
  tm.tm_hour = 17;
  tm.tm_min = 4;
  tm.tm_sec = 9;
  tm.tm_isdst = -1;
  const auto t = Clock::from_time_t(std::mktime(&tm));
  EXPECT_EQ(FormatLogTime(t), "05.01.2026 17:04:09");
  EXPECT_EQ(FormatFileStamp(t), "20260105170409");
}

}  // namespace
}  // namespace platform
