// The errors of the embedded Oracle instance, worded as the real server words
// them ("ORA-00942: table or view does not exist"), because the steps look for
// those texts and numbers. Pure functions: safe from any thread.
#pragma once

#include <string>

#include "dac/driver.h"

namespace embedded {

class SqliteError;

// "ORA-nnnnn: text" with the native error `code` and the SQLSTATE that
// Oracle's ODBC driver reports for it; `sql` is the failing statement.
dac::DriverError OracleError(int code, const std::string& text, const std::string& sql = {});

// An error of the SQLite engine under the instance in Oracle's words (e.g.
// "no such table" becomes ORA-00942); the engine's own text follows as a
// second record.
dac::DriverError OracleErrorFromSqlite(const SqliteError& e, const std::string& sql = {});

}  // namespace embedded
