// One session of the embedded Oracle instance: its SQLite handle (with
// Oracle's functions registered), its dictionary, who is logged in and which
// schema is current. The connection, its cursors and the statement handlers
// share it; internal to drivers/embedded.
//
// Threads: a session belongs to the thread of its connection.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_functions.h"
#include "drivers/embedded/oracle_translate.h"
#include "drivers/embedded/sqlite_db.h"

namespace embedded {

class OracleSession {
 public:
  // Opens the instance database of `dir` (which must exist) for `user`; the
  // current schema starts as the user's own.
  OracleSession(const std::filesystem::path& dir, const std::string& user, bool sysdba);
  OracleSession(const OracleSession&) = delete;
  OracleSession& operator=(const OracleSession&) = delete;

  SqliteDb& Db() { return db_; }
  Catalogue& Dictionary() { return catalogue_; }
  const std::string& User() const { return context_->session_user; }
  const std::string& CurrentSchema() const { return context_->current_schema; }
  void SetCurrentSchema(std::string schema) { context_->current_schema = std::move(schema); }
  bool SysDba() const { return sysdba_; }
  // May manage users, roles and grants: SYSDBA, or a holder of the DBA role.
  bool MayAdminister();

  // The object a statement names (see Catalogue::Resolve). Throws ORA-00942.
  std::shared_ptr<const CatalogueObject> Resolve(const TableName& name);
  // A query or DML statement in SQLite's dialect.
  TranslatedSql Translate(std::string_view sql);

  // The Oracle error for a failure of SQLite while running `sql`; names the
  // constraint a duplicate violates.
  dac::DriverError Error(const SqliteError& e, const std::string& sql);

  // Transactions: statements outside one commit on their own.
  void Begin();
  void Commit();
  void Rollback();
  bool InTransaction() const { return in_transaction_; }

 private:
  // Heap-held so that the SQL functions can keep a pointer to it.
  std::unique_ptr<OracleSessionContext> context_;
  SqliteDb db_;
  Catalogue catalogue_;
  bool sysdba_;
  bool in_transaction_ = false;
};

}  // namespace embedded
