// The conformance suite on the ODBC driver, with the PostgreSQL source of
// pg-cluster standing for Oracle. A SQL Server cannot be started on a test
// machine: the target side runs against one named in the environment
// (MIGRATOR_MSSQL_SERVER "host,port", MIGRATOR_MSSQL_DATABASE,
// MIGRATOR_MSSQL_USER, MIGRATOR_MSSQL_PASSWORD, and MIGRATOR_MSSQL_ODBC_DRIVER
// when not FreeTDS) and reports itself skipped without one.
#include <cstdlib>

#include "drivers/odbc/odbc_driver.h"
#include "tests/dac/conformance/conformance_suite.h"
#include "tests/drivers/odbc/pg_source.h"

namespace dac::conformance {
namespace {

ConformanceContext OdbcContext() {
  ConformanceContext c;
  c.name = "Odbc";
  c.driver = [] {
    odbc::RegisterOdbcDriver();
    return FindDriver("odbc");
  };
  c.oracle = [] { return ServerLogin{odbc::testing::PgSource(), nullptr}; };
  if (std::getenv("MIGRATOR_MSSQL_SERVER")) {
    c.sqlserver = [] {
      using odbc::testing::RequiredEnv;
      ConnectParams p;
      p.kind = ServerKind::kSqlServer;
      p.server = RequiredEnv("MIGRATOR_MSSQL_SERVER");
      p.database = RequiredEnv("MIGRATOR_MSSQL_DATABASE");
      p.user = RequiredEnv("MIGRATOR_MSSQL_USER");
      p.password = RequiredEnv("MIGRATOR_MSSQL_PASSWORD");
      if (const char* driver = std::getenv("MIGRATOR_MSSQL_ODBC_DRIVER")) p.odbc_driver = driver;
      return ServerLogin{p, nullptr};
    };
  }
  // PostgreSQL's own words for Oracle's refusals.
  c.oracle_refused_login = "password authentication failed";
  c.oracle_missing_table = "does not exist";
  // The suite's source table in PostgreSQL's types: a DATE that keeps its
  // time is timestamp(0) there, and a literal says it without TO_DATE.
  c.oracle_items_table =
      "create table {T} (ACKEY varchar(10) not null primary key, ANQTY numeric(10), ANPRICE numeric(19,4), "
      "ADDATE timestamp(0), ACNOTE varchar(30))";
  c.oracle_items_row = "insert into {T} values ({K}, {Q}, {P}, timestamp '{D}', {N})";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Odbc, DacConformance, ::testing::Values(OdbcContext()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace dac::conformance
