// An embedded stand-in for a SQL Server instance: a folder that holds one
// SQLite file per database. The file of `master` keeps the server's catalogue:
// logins with their passwords and sids, server roles and their members, and
// the list of databases with the file, owner and recovery model of each
// (sys.sql_logins, sys.server_principals, sys.server_role_members,
// sys.databases, sys.master_files). Each database keeps its own users, roles
// and files (sys.database_principals, sys.database_role_members,
// sys.database_files). Names of logins and databases are compared without
// regard to case, as a server with a default collation compares them;
// passwords are compared exactly.
//
// A database's file lies in the instance folder unless CREATE DATABASE placed
// it elsewhere (see ServerFilePath).
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

#include "dac/value.h"
#include "drivers/embedded/sqlite_db.h"

namespace embedded {

struct SqlServerLogin {
  std::string name;  // as created
  dac::Bytes sid;    // 0x01 for sa, 16 random bytes for the others
  std::string default_database;
  bool disabled = false;
};

// The data file a CREATE DATABASE names: logical name and file name, the file
// name as the statement gives it (a Windows path, see ServerFilePath).
struct DatabaseFileSpec {
  std::string logical_name;
  std::string file_name;
};

// Where a database's data file lies.
struct DataFile {
  std::string logical_name;
  std::string physical_name;  // as sys.master_files shows it: the name as given, or the file chosen
  std::filesystem::path path;  // on this machine
};

// Where a file name given to the server lands on this machine, read as SQL
// Server on Linux reads the Windows paths of scripts: "\" separates folders and
// a leading drive ("E:") stands for the root, so "E:\SQL\N.mdf" is
// /SQL/N.mdf. Returns nothing for a name that is no full path.
std::optional<std::filesystem::path> ServerFilePath(const std::string& file_name);

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
  // `check_policy` is only recorded (sys.sql_logins.is_policy_checked).
  void CreateLogin(const std::string& name, const std::string& password,
                   const std::string& default_database = "master", bool check_policy = true);
  std::optional<SqlServerLogin> FindLogin(const std::string& name);
  std::optional<SqlServerLogin> FindLoginBySid(const dac::Bytes& sid);
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

  // Databases. CreateDatabase makes an empty database owned by the login
  // `owner`, in recovery model FULL (a new database's model on a server). Its
  // file lies in the instance folder, or where `file` says. Throws
  // dac::DriverError "Database 'N' already exists. Choose a different database
  // name." (1801) when the name is taken, and the server's pairs of errors
  // ending in 1802 when the file cannot be made there (a name that is no full
  // path, a missing folder, a file that exists; see sqlserver_errors.h).
  void CreateDatabase(const std::string& name, const std::optional<DatabaseFileSpec>& file = std::nullopt,
                      const std::string& owner = "sa");
  // The name as created, for a name compared without regard to case.
  std::optional<std::string> FindDatabase(const std::string& name);
  std::filesystem::path DatabaseFile(const std::string& name);
  DataFile DataFileOf(const std::string& name);
  std::vector<std::string> DatabaseNames();

  // "FULL", "BULK_LOGGED" or "SIMPLE" (sys.databases.recovery_model_desc).
  // Both throw dac::DriverError (911) for a database the instance lacks.
  std::string RecoveryModel(const std::string& database);
  void SetRecoveryModel(const std::string& database, const std::string& model);

  // The owner's sid (sys.databases.owner_sid) and the login that has it, or ""
  // when no login has it any more.
  dac::Bytes DatabaseOwnerSid(const std::string& database);
  std::string DatabaseOwner(const std::string& database);
  // Records a new owner in master only; the database's dbo follows through
  // DatabasePrincipals::SetOwner. Throws dac::DriverError (911).
  void SetDatabaseOwnerSid(const std::string& database, const dac::Bytes& sid);

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
