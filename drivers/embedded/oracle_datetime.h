// Oracle's date format models (TO_DATE, TO_CHAR and the session's default
// 'DD-MON-RR') for the embedded Oracle instance: YYYY, RRRR, YY, RR, MM, MON,
// MONTH, DD, DY, DAY, D, DDD, HH, HH12, HH24, MI, SS, FF and FF1..FF9, AM/PM,
// quoted literals and punctuation, with the FM and FX modifiers accepted.
// Month and day names are English, as under NLS_DATE_LANGUAGE AMERICAN.
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "dac/value.h"

namespace embedded {

// The session's date format when a statement gives none.
inline constexpr std::string_view kDefaultDateFormat = "DD-MON-RR";

// Reads `text` by `format`, as Oracle's TO_DATE does: lenient about
// punctuation and about the number of digits, fields the format does not
// name taken from the first day of the current month at midnight. Throws
// dac::DriverError with Oracle's message (ORA-01861, ORA-01843, ORA-01847...).
dac::DateTime ParseOracleDateTime(std::string_view text, std::string_view format);

// Reads a date written the way people write them in scripts: ISO
// "yyyy-mm-dd[ hh:nn:ss[.f]]" or the session default 'DD-MON-RR'.
// Throws as ParseOracleDateTime does.
dac::DateTime ParseDateText(std::string_view text);

// Writes `value` by `format`, as Oracle's TO_CHAR does. Throws dac::DriverError
// ORA-01821 for a format element it does not know.
std::string FormatOracleDateTime(const dac::DateTime& value, std::string_view format);

}  // namespace embedded
