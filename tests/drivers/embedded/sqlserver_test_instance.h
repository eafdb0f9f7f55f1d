// A fresh embedded SQL Server instance in a folder of its own for one test,
// with helpers that run a batch and read its rows. The folder goes with the
// fixture.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sqlserver_connection.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "tests/support/temp_dir.h"

namespace embedded::testing {

inline constexpr const char* kSaPassword = "Sa-Secret-1";

class SqlServerInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqlServerInstance::Create(Dir(), kSaPassword);
    auto instance = SqlServerInstance::Open(Dir());
    instance.CreateDatabase("Erp");
  }

  std::filesystem::path Dir() const { return dir_ / "instance"; }

  dac::ConnectParams Params(const std::string& database, const std::string& user = "sa",
                            const std::string& password = kSaPassword) const {
    dac::ConnectParams p;
    p.instance_dir = Dir().string();
    p.database = database;
    p.user = user;
    p.password = password;
    return p;
  }

  std::unique_ptr<dac::Connection> Connect(const std::string& database = "Erp") {
    return ConnectSqlServerInstance(Params(database));
  }

  // Every row of the first result of `sql`.
  static std::vector<dac::Row> Rows(dac::Connection& c, const std::string& sql,
                                    const std::vector<dac::Value>& params = {}) {
    auto cursor = c.Query(sql, params);
    std::vector<dac::Row> rows;
    while (cursor->Fetch(rows, 7)) {
    }
    return rows;
  }

  // The single value of a one-row, one-column result.
  static dac::Value Scalar(dac::Connection& c, const std::string& sql) {
    const auto rows = Rows(c, sql);
    EXPECT_EQ(rows.size(), 1u) << sql;
    return rows.empty() || rows[0].empty() ? dac::Value() : rows[0][0];
  }

 private:
  testing_support::TempDir dir_;
};

// Runs `call` and returns the DriverError it throws (failing the test when it
// throws nothing).
template <typename Call>
dac::DriverError CaughtDriverError(Call&& call) {
  try {
    call();
  } catch (const dac::DriverError& e) {
    return e;
  }
  ADD_FAILURE() << "no DriverError was thrown";
  return dac::DriverError("no error");
}

// The records of the error `sql` raises on `c`, as "number: message" lines.
inline std::vector<std::string> RefusalRecords(dac::Connection& c, const std::string& sql) {
  const auto error = CaughtDriverError([&] { c.Execute(sql); });
  std::vector<std::string> out;
  for (const auto& r : error.Records()) {
    out.push_back(std::to_string(r.native_error) + ": " + r.message);
  }
  return out;
}

}  // namespace embedded::testing
