#include "drivers/embedded/oracle_connection.h"

#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_commands.h"
#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/oracle_insert.h"
#include "drivers/embedded/oracle_query.h"
#include "drivers/embedded/oracle_session.h"
#include "platform/text.h"

namespace embedded {
namespace {

constexpr const char* kServerVersion = "Oracle Database 19c Release 19.0.0.0.0 - embedded stand-in";

// Errors raised below the connection may lack the statement; add it.
[[noreturn]] void Rethrow(const dac::DriverError& e, const std::string& sql) {
  if (!e.Sql().empty() || sql.empty()) throw e;
  throw dac::DriverError(e.Records(), sql);
}

class OracleCursor : public dac::Cursor {
 public:
  OracleCursor(std::shared_ptr<OracleSession> session, const TranslatedSql& sql, const std::vector<dac::Value>& params,
               const std::string& original)
      : session_(std::move(session)), query_(*session_, sql, params, original) {}

  const std::vector<dac::Column>& Columns() const override { return query_.Columns(); }

  bool Fetch(std::vector<dac::Row>& rows, std::size_t max_rows) override {
    dac::Row row;
    for (std::size_t k = 0; k < max_rows && query_.Next(row); ++k) rows.push_back(std::move(row));
    return query_.HasRow();
  }

 private:
  std::shared_ptr<OracleSession> session_;  // keeps the handle open while the cursor lives
  OracleQuery query_;
};

// The result of a statement that returns no rows.
class NoRowsCursor : public dac::Cursor {
 public:
  const std::vector<dac::Column>& Columns() const override { return columns_; }
  bool Fetch(std::vector<dac::Row>&, std::size_t) override { return false; }

 private:
  std::vector<dac::Column> columns_;
};

class OracleConnection : public dac::Connection {
 public:
  explicit OracleConnection(std::shared_ptr<OracleSession> session)
      : session_(std::move(session)), inserter_(*session_) {}

  std::unique_ptr<dac::Cursor> Query(const std::string& sql, const std::vector<dac::Value>& params) override {
    try {
      const TranslatedSql translated = session_->Translate(sql);
      if (translated.kind != StatementKind::kSelect) {
        Execute(sql, params);
        return std::make_unique<NoRowsCursor>();
      }
      return std::make_unique<OracleCursor>(session_, translated, params, sql);
    } catch (const dac::DriverError& e) {
      Rethrow(e, sql);
    }
  }

  std::int64_t Execute(const std::string& sql, const std::vector<dac::Value>& params) override {
    try {
      const std::vector<Token> tokens = StatementTokens(sql);
      switch (KindOf(tokens)) {
        case StatementKind::kSelect: {
          const OracleQuery run(*session_, session_->Translate(sql), params, sql);
          return -1;
        }
        case StatementKind::kInsert:
          if (auto rows = inserter_.TryExecute(tokens, params, sql)) return *rows;
          return Dml(sql, params);
        case StatementKind::kUpdate:
        case StatementKind::kDelete:
          return Dml(sql, params);
        case StatementKind::kOther:
          if (!params.empty()) throw OracleError(1006, "bind variable does not exist");
          return ExecuteOracleCommand(*session_, tokens, sql);
      }
      return -1;
    } catch (const dac::DriverError& e) {
      Rethrow(e, sql);
    } catch (const SqliteError& e) {
      throw session_->Error(e, sql);
    }
  }

  std::int64_t CountRows(const std::string& sql, const std::vector<dac::Value>& params) override {
    try {
      TranslatedSql count = session_->Translate(sql);
      if (count.kind != StatementKind::kSelect) throw OracleError(928, "missing SELECT keyword");
      count.text = "SELECT COUNT(*) FROM (" + count.text + ")";
      OracleQuery q(*session_, count, params, sql);
      dac::Row row;
      q.Next(row);
      return row.at(0).Kind() == dac::ValueKind::kInteger ? row[0].AsInteger() : 0;
    } catch (const dac::DriverError& e) {
      Rethrow(e, sql);
    }
  }

  InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<dac::Row>& rows, std::size_t first) override {
    const std::string context = "INSERT INTO " + table;
    InsertResult result;
    TableName target;
    std::vector<std::string> names;
    try {
      target = ParseTableName(table);
      for (const auto& c : columns) names.push_back(ParseColumnName(c));
    } catch (const dac::DriverError& e) {
      result.error = dac::DriverError(e.Records(), context);
      return result;
    }
    for (std::size_t k = first; k < rows.size(); ++k) {
      try {
        inserter_.Insert(target, names, rows[k], context);
      } catch (const dac::DriverError& e) {
        result.error = e.Sql().empty() ? dac::DriverError(e.Records(), context) : e;
        break;
      }
      ++result.inserted;
    }
    return result;
  }

  void StartTransaction() override {
    if (session_->InTransaction()) throw dac::UsageError("A transaction is in progress already");
    Guard([&] { session_->Begin(); });
  }
  void Commit() override {
    Guard([&] { session_->Commit(); });
  }
  void Rollback() override {
    Guard([&] { session_->Rollback(); });
  }
  bool InTransaction() const override { return session_->InTransaction(); }

  std::string ServerVersion() override { return kServerVersion; }

  bool Supports(dac::Feature feature) const override {
    switch (feature) {
      case dac::Feature::kTransactions:
      case dac::Feature::kRecordCount:
        return true;
      case dac::Feature::kParameterArrays:
        return false;
    }
    return false;
  }

 private:
  template <typename F>
  void Guard(F&& f) {
    try {
      f();
    } catch (const SqliteError& e) {
      throw session_->Error(e, {});
    }
  }

  std::int64_t Dml(const std::string& sql, const std::vector<dac::Value>& params) {
    const TranslatedSql translated = session_->Translate(sql);
    SqliteStatement st = session_->Db().Prepare(translated.text);
    if (static_cast<std::size_t>(st.ParameterCount()) != params.size()) {
      throw OracleError(1008, "not all variables bound", sql);
    }
    for (std::size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i + 1), BindForm(params[i]));
    st.Step();
    return session_->Db().Changes();
  }

  static TableName ParseTableName(const std::string& text) {
    const auto t = StatementTokens(text);
    TableName name;
    const auto is_name = [](const Token& k) { return k.kind == TokenKind::kWord || k.kind == TokenKind::kQuotedName; };
    if (t.size() == 2 && is_name(t[0])) {
      name.name = OracleName(t[0]);
    } else if (t.size() == 4 && is_name(t[0]) && t[1].IsSymbol(".") && is_name(t[2])) {
      name.schema = OracleName(t[0]);
      name.name = OracleName(t[2]);
    } else {
      throw OracleError(903, "invalid table name");
    }
    return name;
  }

  static std::string ParseColumnName(const std::string& text) {
    const auto t = StatementTokens(text);
    if (t.size() != 2 || (t[0].kind != TokenKind::kWord && t[0].kind != TokenKind::kQuotedName)) {
      throw OracleError(904, "\"" + text + "\": invalid identifier");
    }
    return OracleName(t[0]);
  }

  std::shared_ptr<OracleSession> session_;
  OracleInserter inserter_;
};

// Names in a login are case-insensitive unless quoted, as Oracle's are.
std::string LoginName(const std::string& typed) {
  const std::string name = platform::Trim(typed);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name.substr(1, name.size() - 2);
  return platform::UpperAscii(name);
}

std::unique_ptr<dac::Connection> Open(const std::filesystem::path& dir, const std::string& user, bool sysdba,
                                      const std::string& schema) {
  if (dir.empty() || !OracleInstance::Exists(dir)) throw OracleError(12541, "TNS:no listener");
  auto session = std::make_shared<OracleSession>(dir, user, sysdba);
  if (!schema.empty()) {
    const std::string name = LoginName(schema);
    if (!session->Dictionary().FindUser(name)) throw OracleError(1435, "user does not exist");
    session->SetCurrentSchema(name);
  }
  return std::make_unique<OracleConnection>(std::move(session));
}

}  // namespace

std::unique_ptr<dac::Connection> ConnectOracleInstance(const dac::ConnectParams& p) {
  const std::filesystem::path dir = p.instance_dir;
  if (dir.empty() || !OracleInstance::Exists(dir)) throw OracleError(12541, "TNS:no listener");
  try {
    const std::string name = LoginName(p.user);
    const bool sysdba = p.mode == dac::ConnectMode::kSysDba;
    std::optional<UserRecord> user;
    {
      SqliteDb db = SqliteDb::Open(OracleInstance::DatabaseFile(dir), false);
      Catalogue catalogue(db);
      user = catalogue.FindUser(name);
    }
    if (!user || user->password != p.password) {
      throw OracleError(1017, "invalid username/password; logon denied");
    }
    if (sysdba && !user->sysdba) throw OracleError(1031, "insufficient privileges");
    if (!sysdba && user->name == "SYS") throw OracleError(28009, "connection as SYS should be as SYSDBA or SYSOPER");
    // SYSDBA sessions are SYS's, whoever logged in, as on a real server.
    return Open(dir, sysdba ? "SYS" : user->name, sysdba, p.database);
  } catch (const SqliteError& e) {
    throw OracleErrorFromSqlite(e);
  }
}

std::unique_ptr<dac::Connection> ConnectOracleInstanceAsSysDba(const std::filesystem::path& dir,
                                                               const std::string& schema) {
  try {
    return Open(dir, "SYS", true, schema);
  } catch (const SqliteError& e) {
    throw OracleErrorFromSqlite(e);
  }
}

}  // namespace embedded
