// Connection strings for the ODBC drivers a run may name in its settings:
// SQL Server through FreeTDS or Microsoft's driver, Oracle through Oracle's
// Instant Client driver, and PostgreSQL through its own driver (the server the
// tests dress as an Oracle source).
// Pure functions, safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dac/driver.h"

namespace odbc {

// The kind of ODBC driver a connection goes through: it decides the
// connection string and the session set-up after the login.
enum class DriverFamily { kSqlServer, kOracle, kPostgreSql };

inline constexpr char kDefaultSqlServerDriver[] = "FreeTDS";
inline constexpr char kDefaultOracleDriver[] = "Oracle 21 ODBC driver";

// Rows the PostgreSQL driver takes from its server-side cursor per round trip:
// the fetch size of the table copy's source.
inline constexpr int kPostgreSqlFetchRows = 4000;
// Rows of a parameter array the PostgreSQL driver sends per round trip (its
// own default is 100): the table copy's batch.
inline constexpr int kPostgreSqlBatchRows = 2000;

// The ODBC driver a connection uses: p.odbc_driver, or the default of p.kind.
std::string DriverName(const dac::ConnectParams& p);

// A driver whose name says PostgreSQL is that, whatever p.kind says; any
// other driver serves the server p.kind names.
DriverFamily FamilyOf(const dac::ConnectParams& p);

// An Oracle server string split up: "host:port:SID" (direct) names a SID,
// "host:port/name" (client) a service; blanks around each part are removed.
struct OracleAddress {
  std::string host;
  std::string port;
  std::string name;
  bool service = false;
};
// Nothing for any other form (a TNS alias, for one).
std::optional<OracleAddress> ParseOracleServer(std::string_view server);

// One "key=value;" pair; the value goes in braces (with "}" doubled) when it
// holds ";", "{", "}", "=" or blanks at either end, so that no password can end
// the pair early or add a key of its own.
std::string ConnectionAttribute(std::string_view key, std::string_view value);

// The whole string for SQLDriverConnect, password included: never log it.
std::string ConnectionString(const dac::ConnectParams& p);

}  // namespace odbc
