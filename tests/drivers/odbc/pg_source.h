// The PostgreSQL server that pg-cluster starts for these tests, dressed as the
// ERP's Oracle source (oracle_source.sql), and small helpers around it.
// A test that needs the server and finds none configured fails: it is never
// skipped.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dac/driver.h"
#include "drivers/odbc/odbc_connection.h"

namespace odbc::testing {

inline std::string RequiredEnv(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) {
    throw std::runtime_error(std::string(name) +
                             " is not set: run the tests through tests/drivers/odbc/pg-cluster run <program>");
  }
  return v;
}

// The source as the Oracle settings of a run would name it.
inline dac::ConnectParams PgSource() {
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kOracle;
  p.server = RequiredEnv("MIGRATOR_PG_SERVER");
  p.database = RequiredEnv("MIGRATOR_PG_SCHEMA");
  p.user = RequiredEnv("MIGRATOR_PG_USER");
  p.password = RequiredEnv("MIGRATOR_PG_PASSWORD");
  p.odbc_driver = RequiredEnv("MIGRATOR_PG_ODBC_DRIVER");
  return p;
}

// The same server reached as a SQL Server target would be ("host,port" and a
// database), so that the type rules of a SQL Server connection meet a real
// driver too.
inline dac::ConnectParams PgAsSqlServer() {
  const dac::ConnectParams o = PgSource();
  dac::ConnectParams p = o;
  p.kind = dac::ServerKind::kSqlServer;
  const auto first = o.server.find(':');
  const auto second = o.server.find(':', first + 1);
  p.server = o.server.substr(0, first) + "," + o.server.substr(first + 1, second - first - 1);
  p.database = o.server.substr(second + 1);
  return p;
}

// A port of 127.0.0.1 that nothing listens on: one the system just handed out
// and took back.
inline int UnusedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  const bool bound = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0;
  if (s >= 0) ::close(s);
  if (!bound) throw std::runtime_error("no free port on 127.0.0.1");
  return ntohs(a.sin_port);
}

// Prints the server's diagnostics when a call that should work does not.
#define ODBC_ASSERT_OK(statement)                                                                  \
  try {                                                                                            \
    statement;                                                                                     \
  } catch (const dac::DriverError& e) {                                                            \
    FAIL() << #statement << " failed: [" << e.SqlState() << "] " << e.what() << "\n" << e.Sql(); \
  }

// A table made for one test and dropped after it; its name is unique per
// process so that tests never meet each other's rows.
class ScratchTable {
 public:
  // `columns` is the column list of a create table statement.
  ScratchTable(dac::Connection& c, const std::string& stem, const std::string& columns)
      : c_(c), name_(stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(++Counter())) {
    c_.Execute("create table " + name_ + " (" + columns + ")");
  }
  ~ScratchTable() {
    try {
      if (c_.InTransaction()) c_.Rollback();
      c_.Execute("drop table if exists " + name_);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "dropping " << name_ << ": " << e.what();
    }
  }
  ScratchTable(const ScratchTable&) = delete;
  ScratchTable& operator=(const ScratchTable&) = delete;

  const std::string& Name() const { return name_; }

 private:
  static int& Counter() {
    static int n = 0;
    return n;
  }
  dac::Connection& c_;
  std::string name_;
};

// Every row of a query.
inline std::vector<dac::Row> AllRows(dac::Connection& c, const std::string& sql,
                                     const std::vector<dac::Value>& params = {}) {
  auto cursor = c.Query(sql, params);
  std::vector<dac::Row> rows;
  while (cursor->Fetch(rows, 1000)) {
  }
  return rows;
}

}  // namespace odbc::testing
