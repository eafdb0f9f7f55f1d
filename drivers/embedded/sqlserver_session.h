// The state of one connection to an embedded SQL Server instance: the login,
// the current database (a SQLite handle on its file, with master attached for
// the server's catalogue views), the transaction nesting, the table with
// IDENTITY_INSERT on, and the table definitions read from the database's
// catalogue. Statement handlers (sqlserver_statements.h) work through it.
//
// Threads: a session belongs to one thread at a time, like its connection.
// Writers to one database file take turns through the instance's write gate
// (see DatabaseWriteGate) around their own transaction.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sqlite_db.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "drivers/embedded/sqlserver_translate.h"
#include "drivers/embedded/sqlserver_types.h"

namespace embedded::sqlserver {

// The version this stand-in reports: that of a SQL Server 2019 release.
inline constexpr const char* kProductVersion = "15.0.2000.5";
// The form ODBC's SQL_DBMS_VER gives, which the connection's ServerVersion returns.
inline constexpr const char* kDbmsVersion = "15.00.2000";

struct TableColumn {
  std::string name;
  int column_id = 0;
  SqlType type;
  bool nullable = true;
  bool identity = false;
  std::int64_t identity_seed = 1;
  std::int64_t identity_increment = 1;
  // The default constraint's expression as the server keeps it ("((0))",
  // "(getdate())") and the constraint's name.
  std::optional<std::string> default_definition;
  std::string default_name;
};

struct TableDefinition {
  std::string schema;    // the SQLite schema that holds it: "main", "master", ...
  std::string database;  // the database's name, for messages
  std::string name;      // as created
  std::int64_t object_id = 0;
  std::vector<TableColumn> columns;

  // The column named `name` without regard to case, or nullptr.
  const TableColumn* Find(const std::string& column) const;
  const TableColumn* IdentityColumn() const;
  // "db.dbo.T", as the server names a table in its messages.
  std::string ThreePartName() const { return database + ".dbo." + name; }
  std::string SqliteRef() const { return SqliteTableRef(schema, name); }
};

class Session : public TranslationScope {
 public:
  // Opens `database` for `login` (already authenticated). Throws
  // dac::DriverError (911) when the database does not exist.
  Session(SqlServerInstance instance, std::string login, const std::string& database);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& Login() const { return login_; }
  const std::string& Database() const { return database_; }
  std::int64_t Spid() const { return spid_; }
  SqlServerInstance& Instance() { return instance_; }

  // The current database's handle. Cursors keep it alive after a USE.
  SqliteDb& Db() { return *db_; }
  std::shared_ptr<SqliteDb> SharedDb() { return db_; }

  // Switches to another database. Throws dac::DriverError (911).
  void Use(const std::string& database);

  // Tables of the current database or, for three-part names, of another.
  std::optional<TableDefinition> FindTable(const ObjectName& name);
  // Throws "Invalid object name" (208) with the name as written.
  TableDefinition RequireTable(const ObjectName& name);
  // Reads a table's definition from the catalogue of `schema`.
  std::optional<TableDefinition> LoadTable(const std::string& schema, const std::string& table);
  // The client's view of a result column that comes straight from a table;
  // `def` is the table as LoadTable read it (the catalogue's own tables
  // describe themselves).
  std::optional<dac::Column> DescribeTableColumn(const std::string& table, const std::string& column,
                                                 const std::optional<TableDefinition>& def);

  // Transactions of the connection (BEGIN TRAN nests, as @@TRANCOUNT counts).
  bool InTransaction() const { return trancount_ > 0; }
  int TranCount() const { return trancount_; }
  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();

  // The gate of the current database's file; see DatabaseWriteGate.
  std::mutex& WriteGate() { return *gate_; }

  // IDENTITY_INSERT: at most one table per session, as on a server.
  bool IdentityInsertOn(const TableDefinition& table) const;
  void SetIdentityInsert(const TableDefinition& table, bool on);

  // Values the @@ variables report.
  void SetRowCount(std::int64_t n) { rowcount_ = n; }
  void SetLastIdentity(std::int64_t v) { last_identity_ = v; }

  // Translation of a statement of this session.
  Translation Translate(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    return TranslateStatement(tokens, begin, end, *this);
  }

  // TranslationScope
  std::string SchemaOfDatabase(const std::string& name) override;
  std::string ServerCatalogueSchema() override;
  std::string GlobalVariable(const std::string& name) override;
  std::string LocalVariable(const std::string& name) override;

 private:
  friend class StatementScope;
  std::shared_ptr<SqliteDb> OpenDatabase(const std::string& database);

  SqlServerInstance instance_;
  std::string login_;
  std::string database_;
  std::shared_ptr<SqliteDb> db_;
  std::shared_ptr<std::mutex> gate_;
  int gate_users_ = 0;  // StatementScopes under way; the outermost holds the gate
  std::map<std::string, std::string> attached_;  // folded database name -> SQLite schema
  std::int64_t spid_;
  int trancount_ = 0;
  std::optional<std::string> identity_insert_;  // folded "db.T"
  std::string identity_insert_name_;            // as the server names it, "db.dbo.T"
  std::int64_t rowcount_ = 0;
  std::optional<std::int64_t> last_identity_;
};

// A statement that makes several changes takes effect whole or not at all,
// as on a server: a savepoint, released on Commit, rolled back otherwise. In
// autocommit mode the write gate of the database is held for its length.
class StatementScope {
 public:
  explicit StatementScope(Session& session);
  ~StatementScope();
  StatementScope(const StatementScope&) = delete;
  StatementScope& operator=(const StatementScope&) = delete;
  void Commit();

 private:
  Session& session_;
  std::unique_lock<std::mutex> gate_;
  bool done_ = false;
};

}  // namespace embedded::sqlserver
