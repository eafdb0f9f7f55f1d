#include "drivers/embedded/sqlserver_instance.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <ctime>
#include <map>
#include <stdexcept>

#include "drivers/embedded/sqlserver_errors.h"
#include "drivers/embedded/sqlserver_types.h"
#include "platform/text.h"

namespace embedded {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMasterFile = "master.sqlite";
constexpr int kFirstUserDatabaseId = 5;  // 2 to 4 are the system databases a real server has

constexpr std::array kServerRoles = {"bulkadmin",   "dbcreator",     "diskadmin", "processadmin",
                                     "public",      "securityadmin", "serveradmin", "setupadmin",
                                     "sysadmin"};

constexpr const char* kDatabaseCatalogue = R"sql(
CREATE TABLE __tsql_tables (
  object_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  create_date TEXT NOT NULL);
CREATE TABLE __tsql_columns (
  object_id INTEGER NOT NULL,
  column_id INTEGER NOT NULL,
  name TEXT COLLATE tsql_ci NOT NULL,
  declared_type TEXT NOT NULL,
  is_nullable INTEGER NOT NULL,
  is_identity INTEGER NOT NULL DEFAULT 0,
  identity_seed INTEGER,
  identity_increment INTEGER,
  identity_last INTEGER,
  default_name TEXT COLLATE tsql_ci,
  default_definition TEXT,
  PRIMARY KEY (object_id, column_id));
CREATE VIEW "sys.tables" AS
  SELECT name, object_id, 1 AS schema_id, 'U' AS type, 'USER_TABLE' AS type_desc, create_date FROM __tsql_tables;
CREATE VIEW "sys.columns" AS
  SELECT object_id, name, column_id, is_nullable, is_identity FROM __tsql_columns;
)sql";

constexpr const char* kServerCatalogue = R"sql(
CREATE TABLE __tsql_logins (
  principal_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  password TEXT NOT NULL,
  default_database TEXT COLLATE tsql_ci NOT NULL,
  is_disabled INTEGER NOT NULL DEFAULT 0,
  create_date TEXT NOT NULL);
CREATE TABLE __tsql_server_role_members (
  role TEXT COLLATE tsql_ci NOT NULL,
  login TEXT COLLATE tsql_ci NOT NULL,
  PRIMARY KEY (role, login));
CREATE TABLE __tsql_databases (
  database_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  file TEXT NOT NULL,
  create_date TEXT NOT NULL,
  recovery_model TEXT NOT NULL DEFAULT 'FULL');
CREATE VIEW "sys.databases" AS
  SELECT name, database_id, create_date, recovery_model AS recovery_model_desc, 'ONLINE' AS state_desc
  FROM __tsql_databases;
CREATE VIEW "sys.sql_logins" AS
  SELECT name, principal_id, 'S' AS type, 'SQL_LOGIN' AS type_desc, is_disabled, create_date,
         default_database AS default_database_name
  FROM __tsql_logins;
CREATE VIEW "sys.server_principals" AS
  SELECT name, principal_id, 'S' AS type, 'SQL_LOGIN' AS type_desc, is_disabled,
         default_database AS default_database_name
  FROM __tsql_logins;
)sql";

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// A file name for a database name: letters, digits and a few marks as they
// are, anything else as %XX, so that every name a server accepts has a file.
std::string FileNameFor(const std::string& database) {
  std::string out;
  for (unsigned char c : database) {
    if (std::isalnum(c) || c == '_' || c == '-' || c == ' ' || c >= 0x80) {
      out += static_cast<char>(c);
    } else {
      static const char* const kHex = "0123456789ABCDEF";
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

SqliteDb OpenFile(const fs::path& file, bool create) {
  SqliteDb db = SqliteDb::Open(file, create);
  sqlserver::RegisterSqlServerCollations(db.Handle());
  return db;
}

// A guard for a transaction on master; rolls back unless committed.
class MasterTransaction {
 public:
  explicit MasterTransaction(SqliteDb& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }
  ~MasterTransaction() {
    if (!done_) {
      try {
        db_.Exec("ROLLBACK");
      } catch (...) {  // NOLINT(bugprone-empty-catch): a failed rollback leaves SQLite's own rollback
      }
    }
  }
  void Commit() {
    db_.Exec("COMMIT");
    done_ = true;
  }

 private:
  SqliteDb& db_;
  bool done_ = false;
};

bool IsServerRole(const std::string& role) {
  for (const char* r : kServerRoles) {
    if (platform::SameText(role, r)) return true;
  }
  return false;
}

}  // namespace

const char* DatabaseCatalogueSql() { return kDatabaseCatalogue; }

std::shared_ptr<std::mutex> DatabaseWriteGate(const fs::path& file) {
  static std::mutex registry_mutex;
  static std::map<fs::path, std::shared_ptr<std::mutex>> gates;  // by canonical file; entries stay
  const fs::path key = fs::weakly_canonical(file);
  std::lock_guard lock(registry_mutex);
  auto& gate = gates[key];
  if (!gate) gate = std::make_shared<std::mutex>();
  return gate;
}

std::optional<std::string> CatalogueColumnType(const std::string& table, const std::string& column) {
  struct Entry {
    const char* table;
    const char* column;
    const char* type;
  };
  static constexpr Entry kTypes[] = {
      {"__tsql_logins", "name", "sysname"},
      {"__tsql_logins", "principal_id", "int"},
      {"__tsql_logins", "default_database", "sysname"},
      {"__tsql_logins", "is_disabled", "bit"},
      {"__tsql_logins", "create_date", "datetime"},
      {"__tsql_databases", "name", "sysname"},
      {"__tsql_databases", "database_id", "int"},
      {"__tsql_databases", "create_date", "datetime"},
      {"__tsql_databases", "recovery_model", "nvarchar(60)"},
      {"__tsql_tables", "name", "sysname"},
      {"__tsql_tables", "object_id", "int"},
      {"__tsql_tables", "create_date", "datetime"},
      {"__tsql_columns", "name", "sysname"},
      {"__tsql_columns", "object_id", "int"},
      {"__tsql_columns", "column_id", "int"},
      {"__tsql_columns", "is_nullable", "bit"},
      {"__tsql_columns", "is_identity", "bit"},
  };
  for (const Entry& e : kTypes) {
    if (platform::SameText(table, e.table) && platform::SameText(column, e.column)) return e.type;
  }
  return std::nullopt;
}

SqlServerInstance::SqlServerInstance(fs::path dir, SqliteDb master) : dir_(std::move(dir)), master_(std::move(master)) {}

bool SqlServerInstance::Exists(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / kMasterFile, ec);
}

void SqlServerInstance::Create(const fs::path& dir, const std::string& sa_password) {
  if (Exists(dir)) throw std::runtime_error("The folder " + dir.string() + " already holds a SQL Server instance");
  fs::create_directories(dir);
  // Built under a temporary name so that a half-made instance is never found.
  const fs::path building = dir / "master.sqlite.new";
  fs::remove(building);
  {
    SqliteDb master = OpenFile(building, true);
    master.Exec("PRAGMA journal_mode=DELETE");
    MasterTransaction tx(master);
    master.Exec(kDatabaseCatalogue);
    master.Exec(kServerCatalogue);
    auto db = master.Prepare("INSERT INTO __tsql_databases (database_id, name, file, create_date) VALUES (1, 'master', ?, ?)");
    db.BindAll({dac::Value(kMasterFile), dac::Value(Now())});
    db.Step();
    auto login = master.Prepare(
        "INSERT INTO __tsql_logins (principal_id, name, password, default_database, create_date) "
        "VALUES (1, 'sa', ?, 'master', ?)");
    login.BindAll({dac::Value(sa_password), dac::Value(Now())});
    login.Step();
    master.Exec("INSERT INTO __tsql_server_role_members (role, login) VALUES ('sysadmin', 'sa')");
    tx.Commit();
  }
  fs::rename(building, dir / kMasterFile);
}

SqlServerInstance SqlServerInstance::Open(const fs::path& dir) {
  if (!Exists(dir)) throw sqlserver::ServerUnreachable(dir.string());
  return SqlServerInstance(dir, OpenFile(dir / kMasterFile, false));
}

fs::path SqlServerInstance::MasterFile() const { return dir_ / kMasterFile; }

void SqlServerInstance::CreateLogin(const std::string& name, const std::string& password,
                                    const std::string& default_database) {
  MasterTransaction tx(master_);
  if (FindLogin(name)) throw sqlserver::LoginExists(name);
  auto st = master_.Prepare(
      "INSERT INTO __tsql_logins (name, password, default_database, create_date) VALUES (?, ?, ?, ?)");
  st.BindAll({dac::Value(name), dac::Value(password), dac::Value(default_database), dac::Value(Now())});
  st.Step();
  tx.Commit();
}

std::optional<SqlServerLogin> SqlServerInstance::FindLogin(const std::string& name) {
  auto st = master_.Prepare("SELECT name, default_database, is_disabled FROM __tsql_logins WHERE name = ?");
  st.Bind(1, dac::Value(name));
  if (!st.Step()) return std::nullopt;
  return SqlServerLogin{st.ColumnText(0), st.ColumnText(1), st.ColumnInt(2) != 0};
}

bool SqlServerInstance::CheckPassword(const std::string& name, const std::string& password) {
  auto st = master_.Prepare("SELECT password, is_disabled FROM __tsql_logins WHERE name = ?");
  st.Bind(1, dac::Value(name));
  return st.Step() && st.ColumnText(0) == password && st.ColumnInt(1) == 0;
}

void SqlServerInstance::SetLoginDisabled(const std::string& name, bool disabled) {
  auto st = master_.Prepare("UPDATE __tsql_logins SET is_disabled = ? WHERE name = ?");
  st.BindAll({dac::Value(disabled), dac::Value(name)});
  st.Step();
  if (master_.Changes() == 0) throw sqlserver::NotAValidLogin(name);
}

void SqlServerInstance::AddServerRoleMember(const std::string& role, const std::string& login) {
  if (!IsServerRole(role)) throw sqlserver::ServerError(15402, "42000", "'" + role + "' is not a fixed server role.");
  const auto l = FindLogin(login);
  if (!l) throw sqlserver::NotAValidLogin(login);
  auto st = master_.Prepare("INSERT OR IGNORE INTO __tsql_server_role_members (role, login) VALUES (lower(?), ?)");
  st.BindAll({dac::Value(role), dac::Value(l->name)});
  st.Step();
}

void SqlServerInstance::DropServerRoleMember(const std::string& role, const std::string& login) {
  if (!IsServerRole(role)) throw sqlserver::ServerError(15402, "42000", "'" + role + "' is not a fixed server role.");
  if (!FindLogin(login)) throw sqlserver::NotAValidLogin(login);
  auto st = master_.Prepare("DELETE FROM __tsql_server_role_members WHERE role = ? AND login = ?");
  st.BindAll({dac::Value(role), dac::Value(login)});
  st.Step();
}

bool SqlServerInstance::IsServerRoleMember(const std::string& role, const std::string& login) {
  auto st = master_.Prepare("SELECT 1 FROM __tsql_server_role_members WHERE role = ? AND login = ?");
  st.BindAll({dac::Value(role), dac::Value(login)});
  return st.Step();
}

std::vector<std::string> SqlServerInstance::ServerRolesOf(const std::string& login) {
  auto st = master_.Prepare("SELECT role FROM __tsql_server_role_members WHERE login = ? ORDER BY role");
  st.Bind(1, dac::Value(login));
  std::vector<std::string> roles;
  while (st.Step()) roles.push_back(st.ColumnText(0));
  return roles;
}

void SqlServerInstance::CreateDatabase(const std::string& name) {
  if (name.empty() || platform::CharLength(name) > 128) throw sqlserver::IncorrectSyntax(name);
  MasterTransaction tx(master_);
  if (FindDatabase(name)) throw sqlserver::DatabaseExists(name);
  std::string file = FileNameFor(name) + ".sqlite";
  for (int n = 2; fs::exists(dir_ / file); ++n) file = FileNameFor(name) + "~" + std::to_string(n) + ".sqlite";
  {
    SqliteDb db = OpenFile(dir_ / file, true);
    db.Exec(kDatabaseCatalogue);
  }
  auto st = master_.Prepare(
      "INSERT INTO __tsql_databases (database_id, name, file, create_date) "
      "VALUES (max(?, (SELECT max(database_id) + 1 FROM __tsql_databases)), ?, ?, ?)");
  st.BindAll({dac::Value(kFirstUserDatabaseId), dac::Value(name), dac::Value(file), dac::Value(Now())});
  st.Step();
  tx.Commit();
}

std::optional<std::string> SqlServerInstance::FindDatabase(const std::string& name) {
  auto st = master_.Prepare("SELECT name FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(name));
  if (!st.Step()) return std::nullopt;
  return st.ColumnText(0);
}

fs::path SqlServerInstance::DatabaseFile(const std::string& name) {
  auto st = master_.Prepare("SELECT file FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(name));
  if (!st.Step()) throw sqlserver::DatabaseDoesNotExist(name);
  const fs::path file = st.ColumnText(0);
  return file.is_absolute() ? file : dir_ / file;
}

std::vector<std::string> SqlServerInstance::DatabaseNames() {
  auto st = master_.Prepare("SELECT name FROM __tsql_databases ORDER BY database_id");
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.ColumnText(0));
  return names;
}

}  // namespace embedded
