// An in-memory stand-in for a server behind the driver seam, for the tests of
// the data-access components: tables with columns and rows, statements
// recorded as they arrive, and hooks through which a test refuses a statement,
// a login or one inserted row.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "dac/sql_text.h"
#include "tests/dac/connection_wrapper.h"
#include "platform/text.h"

namespace dac::testing {

struct FakeTable {
  std::vector<Column> columns;
  std::vector<Row> rows;
};

struct InsertCall {
  std::string table;
  std::vector<std::string> columns;
  std::size_t first = 0;
  std::size_t rows = 0;  // rows offered from `first`
};

class FakeServer {
 public:
  FakeTable& AddTable(const std::string& name, std::vector<Column> columns) {
    auto& t = tables_[platform::CaseFold(name)];
    t.columns = std::move(columns);
    return t;
  }
  FakeTable& Table(const std::string& name) { return tables_.at(platform::CaseFold(Unbracket(name))); }

  // Recorded traffic.
  std::vector<ConnectParams> logins;
  std::vector<std::string> queries;
  std::vector<std::string> statements;
  std::vector<std::vector<Value>> statement_params;
  std::vector<std::size_t> fetch_sizes;
  std::vector<InsertCall> insert_calls;
  int count_calls = 0;

  // Hooks: return a message to refuse.
  std::function<std::optional<std::string>(const ConnectParams&)> refuse_login;
  std::function<std::optional<std::string>(const std::string& sql)> refuse_statement;
  std::function<std::optional<std::string>(const Row& row)> refuse_row;
  std::int64_t rows_affected = 1;
  std::string version = "16.00.1000";

  static std::string Unbracket(std::string name) {
    std::erase(name, '[');
    std::erase(name, ']');
    return name;
  }

 private:
  std::map<std::string, FakeTable> tables_;
};

class FakeCursor : public Cursor {
 public:
  FakeCursor(FakeServer& server, std::vector<Column> columns, std::vector<Row> rows)
      : server_(server), columns_(std::move(columns)), rows_(std::move(rows)) {}
  const std::vector<Column>& Columns() const override { return columns_; }
  bool Fetch(std::vector<Row>& rows, std::size_t max_rows) override {
    server_.fetch_sizes.push_back(max_rows);
    for (std::size_t i = 0; i < max_rows && next_ < rows_.size(); ++i) rows.push_back(rows_[next_++]);
    return next_ < rows_.size();
  }

 private:
  FakeServer& server_;
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::size_t next_ = 0;
};

// Understands "select * from T", "... where 1=2" and "... where C = ?".
class FakeConnection : public Connection {
 public:
  explicit FakeConnection(FakeServer& server) : server_(server) {}

  std::unique_ptr<Cursor> Query(const std::string& sql, const std::vector<Value>& params) override {
    server_.queries.push_back(sql);
    Refuse(sql);
    const std::string table_name = TableFromSelect(sql);
    FakeTable& table = server_.Table(table_name);
    std::vector<Row> rows;
    const std::string folded = platform::CaseFold(sql);
    if (folded.find("where 1=2") == std::string::npos) {
      rows = table.rows;
      const auto where = folded.find(" where ");
      if (where != std::string::npos && !params.empty()) {
        const std::string column = platform::Trim(sql.substr(where + 7, sql.find('=', where) - where - 7));
        const auto c = ColumnIndex(table, FakeServer::Unbracket(column));
        std::erase_if(rows, [&](const Row& r) { return !(r[c] == params.front()); });
      }
    }
    return std::make_unique<FakeCursor>(server_, table.columns, std::move(rows));
  }
  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    server_.statements.push_back(sql);
    server_.statement_params.push_back(params);
    Refuse(sql);
    return server_.rows_affected;
  }
  std::int64_t CountRows(const std::string& sql, const std::vector<Value>& params) override {
    ++server_.count_calls;
    std::vector<Row> rows;
    const std::size_t fetches = server_.fetch_sizes.size();
    auto cursor = Query(sql, params);
    while (cursor->Fetch(rows, 1000)) {
    }
    // The count is not traffic of the query's own fetching.
    server_.queries.pop_back();
    server_.fetch_sizes.resize(fetches);
    return static_cast<std::int64_t>(rows.size());
  }
  InsertResult InsertRows(const std::string& table_name, const std::vector<std::string>& columns,
                          const std::vector<Row>& rows, std::size_t first) override {
    server_.insert_calls.push_back({table_name, columns, first, rows.size() - first});
    FakeTable& table = server_.Table(table_name);
    InsertResult result;
    for (std::size_t r = first; r < rows.size(); ++r) {
      if (server_.refuse_row) {
        if (auto message = server_.refuse_row(rows[r])) {
          result.error = DriverError(*message, "23000", 2627);
          return result;
        }
      }
      Row row(table.columns.size());
      for (std::size_t c = 0; c < columns.size(); ++c) row[ColumnIndex(table, FakeServer::Unbracket(columns[c]))] = rows[r][c];
      table.rows.push_back(std::move(row));
      ++result.inserted;
    }
    return result;
  }
  void StartTransaction() override { in_transaction_ = true; }
  void Commit() override { in_transaction_ = false; }
  void Rollback() override { in_transaction_ = false; }
  bool InTransaction() const override { return in_transaction_; }
  std::string ServerVersion() override { return server_.version; }
  bool Supports(Feature) const override { return true; }

 private:
  void Refuse(const std::string& sql) {
    if (!server_.refuse_statement) return;
    if (auto message = server_.refuse_statement(sql)) throw DriverError(*message, "42000", 102);
  }
  static std::size_t ColumnIndex(const FakeTable& table, const std::string& name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (platform::SameText(table.columns[i].name, name)) return i;
    }
    throw DriverError("Invalid column name '" + name + "'.", "42S22", 207);
  }

  FakeServer& server_;
  bool in_transaction_ = false;
};

class FakeDriver : public Driver {
 public:
  explicit FakeDriver(FakeServer& server) : server_(server) {}
  std::string Name() const override { return "fake"; }
  std::unique_ptr<Connection> Connect(const ConnectParams& params) override {
    server_.logins.push_back(params);
    if (server_.refuse_login) {
      if (auto message = server_.refuse_login(params)) throw DriverError(*message, "28000", 18456);
    }
    return std::make_unique<FakeConnection>(server_);
  }

 private:
  FakeServer& server_;
};

inline Column Col(std::string name, FieldType type, int size = 0, bool nullable = true) {
  Column c;
  c.name = std::move(name);
  c.type = type;
  c.size = size;
  c.nullable = nullable;
  return c;
}

}  // namespace dac::testing
