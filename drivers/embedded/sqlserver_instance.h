// An embedded stand-in for a SQL Server instance: a folder that holds one
// SQLite file per database. The file of `master` keeps the server's catalogue:
// logins with their passwords, default databases and server-role memberships,
// and the list of databases with the file of each. Names of logins and
// databases are compared without regard to case, as a server with a default
// collation compares them; passwords are compared exactly.
//
// The folder is the security boundary of the stand-in: passwords are kept as
// given, so that tests and the demo can be set up without a real server.
//
// Threads: a SqlServerInstance owns one handle on master and belongs to one
// thread at a time. Any number of them (in any threads or processes) may work
// on one folder at once; each sees the others' committed changes.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "drivers/embedded/sqlite_db.h"

namespace embedded {

struct SqlServerLogin {
  std::string name;  // as created
  std::string default_database;
  bool disabled = false;
};

class SqlServerInstance {
 public:
  // Makes `dir` (created when missing) a new instance holding `master` with
  // the login sa, member of sysadmin, whose password is `sa_password`.
  // Throws std::runtime_error when `dir` already holds an instance or cannot
  // be written.
  static void Create(const std::filesystem::path& dir, const std::string& sa_password);

  // True when `dir` holds an instance.
  static bool Exists(const std::filesystem::path& dir);

  // Opens the instance of `dir`. Throws dac::DriverError with the text a real
  // client gives for a server it cannot reach (SQLSTATE 08001) when `dir`
  // holds no instance.
  static SqlServerInstance Open(const std::filesystem::path& dir);

  SqlServerInstance(SqlServerInstance&&) noexcept = default;
  SqlServerInstance& operator=(SqlServerInstance&&) noexcept = default;

  const std::filesystem::path& Dir() const { return dir_; }

  // Logins. CreateLogin throws dac::DriverError "The server principal 'N'
  // already exists." (15025) for a name taken without regard to case.
  void CreateLogin(const std::string& name, const std::string& password,
                   const std::string& default_database = "master");
  std::optional<SqlServerLogin> FindLogin(const std::string& name);
  // True when the login exists, is enabled and `password` is its password.
  bool CheckPassword(const std::string& name, const std::string& password);
  void SetLoginDisabled(const std::string& name, bool disabled);

  // Server roles (sysadmin, securityadmin, ...). Adding a present member and
  // dropping an absent one do nothing, as the server's procedures do. Throws
  // dac::DriverError when the login does not exist.
  void AddServerRoleMember(const std::string& role, const std::string& login);
  void DropServerRoleMember(const std::string& role, const std::string& login);
  bool IsServerRoleMember(const std::string& role, const std::string& login);
  // The roles of a login, in name order.
  std::vector<std::string> ServerRolesOf(const std::string& login);

  // Databases. CreateDatabase makes an empty database whose file lies in the
  // instance folder; throws dac::DriverError "Database 'N' already exists.
  // Choose a different database name." (1801) when the name is taken.
  void CreateDatabase(const std::string& name);
  // The name as created, for a name compared without regard to case.
  std::optional<std::string> FindDatabase(const std::string& name);
  std::filesystem::path DatabaseFile(const std::string& name);
  std::vector<std::string> DatabaseNames();

  // The file of master, for attaching it to another database's handle.
  std::filesystem::path MasterFile() const;

 private:
  SqlServerInstance(std::filesystem::path dir, SqliteDb master);

  std::filesystem::path dir_;
  SqliteDb master_;
};

// The lock that serialises writers to one database file within this process,
// so that connections of several threads take turns without SQLite's
// sleep-and-retry. Taken around one call's own transaction, never across calls.
std::shared_ptr<std::mutex> DatabaseWriteGate(const std::filesystem::path& file);

// The client's declared type of a column of the instance's own catalogue
// tables (behind the sys views), or nothing for any other column.
std::optional<std::string> CatalogueColumnType(const std::string& table, const std::string& column);

// The SQL that makes an empty database file ready for the instance: the
// catalogue of its tables and their declared column types, and the views
// over it.
const char* DatabaseCatalogueSql();

}  // namespace embedded
