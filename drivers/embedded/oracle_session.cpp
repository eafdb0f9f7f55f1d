#include "drivers/embedded/oracle_session.h"

#include "drivers/embedded/oracle_error.h"

namespace embedded {

OracleSession::OracleSession(const std::filesystem::path& dir, const std::string& user, bool sysdba)
    : context_(std::make_unique<OracleSessionContext>(OracleSessionContext{user, user})),
      db_(SqliteDb::Open(OracleInstance::DatabaseFile(dir), false)),
      catalogue_(db_),
      sysdba_(sysdba) {
  RegisterOracleFunctions(db_, context_.get());
  // Oracle's LIKE tells letter cases apart; SQLite's does not unless told.
  db_.Exec("PRAGMA case_sensitive_like = ON");
}

bool OracleSession::MayAdminister() { return sysdba_ || catalogue_.HasRole(User(), "DBA"); }

std::shared_ptr<const CatalogueObject> OracleSession::Resolve(const TableName& name) {
  return catalogue_.Resolve(name.schema, name.name, CurrentSchema());
}

TranslatedSql OracleSession::Translate(std::string_view sql) {
  return TranslateStatement(sql, [this](const TableName& name) { return Resolve(name)->sqlite_name; });
}

dac::DriverError OracleSession::Error(const SqliteError& e, const std::string& sql) {
  constexpr std::string_view kUnique = "UNIQUE constraint failed: ";
  const std::string_view m = e.what();
  if (m.substr(0, kUnique.size()) == kUnique) {
    // SQLite names the columns as "OWNER.TABLE.COLUMN, ..." after our table names.
    std::string owner, table;
    std::vector<std::string> columns;
    std::string_view rest = m.substr(kUnique.size());
    while (!rest.empty()) {
      const std::size_t comma = rest.find(", ");
      const std::string_view item = rest.substr(0, comma);
      const std::size_t first = item.find('.'), last = item.rfind('.');
      if (first != std::string_view::npos && last > first) {
        owner = std::string(item.substr(0, first));
        table = std::string(item.substr(first + 1, last - first - 1));
        columns.emplace_back(item.substr(last + 1));
      }
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
    std::string name = "SYS_C0000000";
    try {
      if (auto found = catalogue_.UniqueConstraintOn(owner, table, columns)) name = *found;
    } catch (const SqliteError&) {
      // The name is a courtesy; the violation is the error.
    }
    return OracleError(1, "unique constraint (" + owner + "." + name + ") violated", sql);
  }
  return OracleErrorFromSqlite(e, sql);
}

void OracleSession::Begin() {
  if (in_transaction_) return;
  db_.Exec("BEGIN");
  in_transaction_ = true;
}

void OracleSession::Commit() {
  if (!in_transaction_) return;
  db_.Exec("COMMIT");
  in_transaction_ = false;
}

void OracleSession::Rollback() {
  if (!in_transaction_) return;
  in_transaction_ = false;
  db_.Exec("ROLLBACK");
  catalogue_.Invalidate();  // DDL of the transaction is gone with it
}

}  // namespace embedded
