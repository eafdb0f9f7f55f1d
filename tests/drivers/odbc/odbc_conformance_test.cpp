// The conformance suite on the ODBC driver, with the PostgreSQL source of
// pg-cluster standing for Oracle. No SQL Server can be had on a test machine,
// so CMakeLists.txt runs only the tests of the source side (see the filter
// there); a test that reaches for a SQL Server anyway fails with the reason.
#include <stdexcept>

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
  c.sqlserver = []() -> ServerLogin {
    throw std::runtime_error("the ODBC driver's tests have no SQL Server to reach");
  };
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
