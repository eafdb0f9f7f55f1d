// Formats of the run log: entry times "dd.mm.yyyy hh:nn:ss" and file-name
// stamps "yyyymmddhhnnss", both in local time, 24-hour. Thread-safe.
#pragma once

#include <chrono>
#include <string>

namespace platform {

using Clock = std::chrono::system_clock;

// "dd.mm.yyyy hh:nn:ss"; the colon is the time separator of this platform.
std::string FormatLogTime(Clock::time_point t);

// "yyyymmddhhnnss".
std::string FormatFileStamp(Clock::time_point t);

}  // namespace platform
