#include "platform/date_time_format.h"

#include <cstdio>
#include <ctime>

namespace platform {
namespace {

std::tm LocalTime(Clock::time_point t) {
  const std::time_t tt = Clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return tm;
}

}  // namespace

std::string FormatLogTime(Clock::time_point t) {
  const std::tm tm = LocalTime(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string FormatFileStamp(Clock::time_point t) {
  const std::tm tm = LocalTime(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

}  // namespace platform
