#include "drivers/embedded/oracle_error.h"

#include <cstdio>
#include <string_view>

#include "drivers/embedded/sqlite_db.h"
#include "platform/text.h"

namespace embedded {
namespace {

// SQLSTATEs as Oracle's ODBC driver reports them.
std::string SqlStateFor(int code) {
  switch (code) {
    case 1017:
    case 1031:
    case 28009:
      return "28000";
    case 942:
      return "42S02";
    case 904:
      return "42S22";
    case 955:
      return "42S01";
    case 900:
    case 902:
    case 903:
    case 905:
    case 907:
    case 933:
    case 936:
      return "42000";
    case 1:
    case 1400:
      return "23000";
    case 1438:
    case 12899:
      return "22001";
    case 1722:
      return "22018";
    case 1830:
    case 1843:
    case 1847:
    case 1858:
    case 1861:
      return "22008";
    case 12541:
      return "08001";
    default:
      return "HY000";
  }
}

std::string OracleMessage(int code, const std::string& text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
  return prefix + text;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// "OWNER.TABLE.COLUMN" as SQLite names a column of one of our tables (whose
// SQLite name is "OWNER.TABLE") becomes ("OWNER"."TABLE"."COLUMN").
std::string QuotedPath(std::string_view dotted) {
  std::string out = "\"";
  for (char c : dotted) {
    if (c == '.') {
      out += "\".\"";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

dac::DriverError OracleError(int code, const std::string& text, const std::string& sql) {
  return dac::DriverError(std::vector<dac::Diagnostic>{{SqlStateFor(code), code, OracleMessage(code, text)}}, sql);
}

dac::DriverError OracleErrorFromSqlite(const SqliteError& e, const std::string& sql) {
  const std::string_view m = e.what();
  if (StartsWith(m, "ORA-") && m.size() > 10) {
    // Raised by one of our SQL functions, already in Oracle's words.
    const int code = std::atoi(std::string(m.substr(4, 5)).c_str());
    return dac::DriverError(std::vector<dac::Diagnostic>{{SqlStateFor(code), code, std::string(m)}}, sql);
  }
  int code = 900;
  std::string text = "invalid SQL statement";
  auto tail = [&](std::string_view prefix) { return std::string(m.substr(prefix.size())); };
  // Oracle names an unknown identifier as it stores it: upper case.
  auto identifier = [&](std::string_view prefix) {
    return "\"" + platform::UpperAscii(tail(prefix)) + "\": invalid identifier";
  };
  if (StartsWith(m, "no such table: ")) {
    code = 942;
    text = "table or view does not exist";
  } else if (StartsWith(m, "no such column: ")) {
    code = 904;
    text = identifier("no such column: ");
  } else if (StartsWith(m, "no such function: ")) {
    code = 904;
    text = identifier("no such function: ");
  } else if (StartsWith(m, "ambiguous column name: ")) {
    code = 918;
    text = "column ambiguously defined";
  } else if (StartsWith(m, "NOT NULL constraint failed: ")) {
    code = 1400;
    text = "cannot insert NULL into (" + QuotedPath(tail("NOT NULL constraint failed: ")) + ")";
  } else if (StartsWith(m, "UNIQUE constraint failed: ")) {
    code = 1;
    text = "unique constraint violated";
  } else if ((e.Code() & 0xff) == 5 || (e.Code() & 0xff) == 6) {  // SQLITE_BUSY, SQLITE_LOCKED
    code = 54;
    text = "resource busy and acquire with NOWAIT specified or timeout expired";
  } else if (m.find("syntax error") != std::string_view::npos || StartsWith(m, "incomplete input")) {
    code = 933;
    text = "SQL command not properly ended";
  }
  return dac::DriverError(std::vector<dac::Diagnostic>{{SqlStateFor(code), code, OracleMessage(code, text)},
                                                       {"HY000", e.Code(), "(embedded engine) " + std::string(m)}},
                          sql);
}

}  // namespace embedded
