// The conformance suite of the data-access components: what the migration
// steps rely on (logins and their refusals, the server's row count of a
// query, forward reading in blocks, cached inserts sent in batches, refused
// rows, scripts with "go" batches, identity inserts, transactions), run
// through OraSession, OraQuery, MSConnection, MSQuery and MSScript against a
// real driver.
//
// A driver joins the suite with a ConformanceContext: the driver, how to
// reach an Oracle-like and a SQL-Server-like server (a login that may create
// tables in its schema or database), the texts of the servers' refusals, the
// dialect of the tables the suite makes, and what the driver supports. Every
// test makes its own tables under names unique to the run and drops them
// afterwards. A server that is configured but unreachable fails the tests.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "dac/driver.h"

namespace dac::conformance {

// A server to test against: the login the components use (driver settings
// included) and whatever must live as long as the server is used (a folder,
// a process).
struct ServerLogin {
  ConnectParams params;
  std::shared_ptr<void> keep_alive;
};

struct ConformanceContext {
  std::string name;
  std::function<std::shared_ptr<Driver>()> driver;
  std::function<ServerLogin()> oracle;
  std::function<ServerLogin()> sqlserver;  // empty: no SQL Server can be had

  // Fragments of the servers' own texts.
  std::string oracle_refused_login = "ORA-01017";
  std::string oracle_missing_table = "ORA-00942";
  std::string sqlserver_refused_login = "Login failed for user";

  // The suite's tables; {T} stands for the table's name.
  std::string oracle_items_table =
      "create table {T} (ACKEY varchar2(10) not null primary key, ANQTY number(10), ANPRICE number(19,4), "
      "ADDATE date, ACNOTE varchar2(30))";
  // {K} key text, {Q} quantity, {P} price, {D} "yyyy-mm-dd hh:nn:ss", {N} note text (quoted by the suite).
  std::string oracle_items_row =
      "insert into {T} values ({K}, {Q}, {P}, TO_DATE('{D}', 'YYYY-MM-DD HH24:MI:SS'), {N})";
  std::string oracle_drop_table = "drop table {T}";
  std::string sqlserver_items_table =
      "create table {T} (acKey varchar(10) not null primary key, anQty int null, anPrice money null, "
      "adDate datetime null, acNote varchar(30) null)";
  std::string sqlserver_identity_table =
      "create table {T} (anQId int identity(1,1) not null primary key, acName varchar(20) null)";
  std::string sqlserver_drop_table = "drop table {T}";

  bool identity_insert = true;
  bool transactions = true;
};

inline void PrintTo(const ConformanceContext& context, std::ostream* os) { *os << context.name; }

class DacConformance : public ::testing::TestWithParam<ConformanceContext> {};

}  // namespace dac::conformance
