#include "drivers/embedded/sqlserver_connection.h"

#include "drivers/embedded/sql_lexer.h"
#include "drivers/embedded/sqlserver_errors.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "drivers/embedded/sqlserver_session.h"
#include "drivers/embedded/sqlserver_statements.h"
#include "drivers/embedded/sqlserver_table_writer.h"

namespace embedded {
namespace {

using sqlserver::BatchOutcome;
using sqlserver::ResultSet;
using sqlserver::Session;

class SqlServerCursor : public dac::Cursor {
 public:
  explicit SqlServerCursor(std::unique_ptr<ResultSet> result) : result_(std::move(result)) {}

  const std::vector<dac::Column>& Columns() const override { return result_ ? result_->Columns() : no_columns_; }

  bool Fetch(std::vector<dac::Row>& rows, std::size_t max_rows) override {
    if (!result_) return false;
    for (std::size_t n = 0; n < max_rows; ++n) {
      dac::Row row;
      if (!result_->Next(row)) return false;
      rows.push_back(std::move(row));
    }
    return !result_->AtEnd();
  }

 private:
  std::unique_ptr<ResultSet> result_;  // null for a batch that returned no rows
  std::vector<dac::Column> no_columns_;
};

// The column names a caller passes to InsertRows, bare or quoted.
std::string Unquoted(const std::string& name) {
  if (name.empty() || (name.front() != '[' && name.front() != '"')) return name;
  const auto tokens = Tokenize(name);
  if (tokens.size() == 2 && tokens[0].kind == TokenKind::kQuotedName) return tokens[0].text;
  throw sqlserver::IncorrectSyntax(name);
}

class SqlServerConnection : public dac::Connection {
 public:
  SqlServerConnection(SqlServerInstance instance, std::string login, const std::string& database)
      : session_(std::move(instance), std::move(login), database) {}

  std::unique_ptr<dac::Cursor> Query(const std::string& sql, const std::vector<dac::Value>& params) override {
    BatchOutcome outcome = sqlserver::RunBatch(session_, sql, params, true);
    return std::make_unique<SqlServerCursor>(std::move(outcome.result));
  }

  std::int64_t Execute(const std::string& sql, const std::vector<dac::Value>& params) override {
    return sqlserver::RunBatch(session_, sql, params, false).rows_affected;
  }

  std::int64_t CountRows(const std::string& sql, const std::vector<dac::Value>& params) override {
    // The server counts; here the rows are walked without being converted.
    BatchOutcome outcome = sqlserver::RunBatch(session_, sql, params, true);
    if (!outcome.result) return 0;
    std::int64_t n = 0;
    for (dac::Row row; outcome.result->Next(row);) ++n;
    return n;
  }

  InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<dac::Row>& rows, std::size_t first) override {
    InsertResult result;
    if (first >= rows.size()) return result;
    try {
      const auto tokens = Tokenize(table);
      const auto name = sqlserver::ReadObjectName(tokens, 0);
      if (!name || tokens[name->end].kind != TokenKind::kEnd) throw sqlserver::IncorrectSyntax(table);
      std::vector<std::string> names;
      names.reserve(columns.size());
      for (const auto& c : columns) names.push_back(Unquoted(c));
      sqlserver::TableWriter writer(session_, session_.RequireTable(*name), names);
      // The rows are converted before the write gate is taken, so that other
      // writers to the database go on meanwhile; conversion stops at the
      // first row refused, which ends the call after the rows before it.
      std::vector<sqlserver::TableWriter::ConvertedRow> converted;
      converted.reserve(rows.size() - first);
      std::optional<dac::DriverError> refused;
      for (std::size_t i = first; i < rows.size() && !refused; ++i) {
        try {
          converted.push_back(writer.Convert(rows[i]));
        } catch (const dac::DriverError& e) {
          refused = e;
        }
      }
      // One transaction per call: rows before a refused one stay.
      sqlserver::StatementScope scope(session_);
      writer.Start();
      for (auto& row : converted) {
        try {
          writer.Write(row);
        } catch (const dac::DriverError& e) {
          result.error = e;
          break;
        }
        ++result.inserted;
      }
      if (!result.error) result.error = std::move(refused);
      writer.Finish();
      scope.Commit();
      session_.SetRowCount(static_cast<std::int64_t>(result.inserted));
    } catch (const dac::DriverError& e) {
      // Refused before the first row went in (no such table or column).
      if (result.inserted == 0) {
        result.error = e;
      } else {
        throw;
      }
    } catch (const SqliteError& e) {
      throw sqlserver::FromSqlite(e);
    }
    return result;
  }

  void StartTransaction() override { session_.BeginTransaction(); }
  void Commit() override { session_.CommitTransaction(); }
  void Rollback() override { session_.RollbackTransaction(); }
  bool InTransaction() const override { return session_.InTransaction(); }

  std::string ServerVersion() override { return sqlserver::kDbmsVersion; }

  bool Supports(dac::Feature feature) const override {
    switch (feature) {
      case dac::Feature::kTransactions:
      case dac::Feature::kParameterArrays:  // a whole batch goes in one call
      case dac::Feature::kRecordCount:
        return true;
    }
    return false;
  }

 private:
  Session session_;
};

std::unique_ptr<dac::Connection> Open(SqlServerInstance instance, const std::string& user,
                                      const std::string& requested_database) {
  const auto login = instance.FindLogin(user);
  if (!login) throw sqlserver::LoginFailed(user);
  const std::string database = requested_database.empty() ? login->default_database : requested_database;
  if (!instance.FindDatabase(database)) {
    if (requested_database.empty()) throw sqlserver::CannotOpenDefaultDatabase(user);
    throw sqlserver::CannotOpenDatabase(database, user);
  }
  return std::make_unique<SqlServerConnection>(std::move(instance), login->name, database);
}

}  // namespace

std::unique_ptr<dac::Connection> ConnectSqlServerInstance(const dac::ConnectParams& p) {
  // The window's "Server" field names the folder when the settings choose the embedded driver.
  const std::filesystem::path dir(p.instance_dir.empty() ? p.server : p.instance_dir);
  try {
    SqlServerInstance instance = SqlServerInstance::Open(dir);
    if (!instance.CheckPassword(p.user, p.password)) throw sqlserver::LoginFailed(p.user);
    return Open(std::move(instance), p.user, p.database);
  } catch (const SqliteError& e) {
    throw sqlserver::FromSqlite(e);  // a damaged or unreadable file of the instance
  }
}

std::unique_ptr<dac::Connection> ConnectSqlServerInstanceAsOwner(const std::filesystem::path& dir,
                                                                 const std::string& database) {
  try {
    return Open(SqlServerInstance::Open(dir), "sa", database);
  } catch (const SqliteError& e) {
    throw sqlserver::FromSqlite(e);
  }
}

}  // namespace embedded
