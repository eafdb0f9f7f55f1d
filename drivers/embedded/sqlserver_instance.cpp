#include "drivers/embedded/sqlserver_instance.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <chrono>
#include <ctime>
#include <map>
#include <random>
#include <stdexcept>

#include "drivers/embedded/sqlserver_errors.h"
#include "drivers/embedded/sqlserver_principals.h"
#include "drivers/embedded/sqlserver_types.h"
#include "platform/text.h"

namespace embedded {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMasterFile = "master.sqlite";
constexpr int kFirstUserDatabaseId = 5;  // 2 to 4 are the system databases a real server has

// Every database, master included, carries the catalogue of its own objects,
// files and principals. Principal ids and sids of the fixed ones are those a
// real server gives them; dbo gets the owner's sid when the database is made.
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
  PRIMARY KEY (object_id, column_id));
CREATE TABLE __tsql_defaults (
  object_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  parent_object_id INTEGER NOT NULL,
  parent_column_id INTEGER NOT NULL,
  definition TEXT COLLATE tsql_ci NOT NULL,
  create_date TEXT NOT NULL,
  UNIQUE (parent_object_id, parent_column_id));
CREATE TABLE __tsql_files (
  file_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL,
  physical_name TEXT COLLATE tsql_ci NOT NULL);
CREATE TABLE __tsql_principals (
  principal_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  type TEXT COLLATE tsql_ci NOT NULL,
  sid BLOB UNIQUE,
  default_schema TEXT COLLATE tsql_ci,
  is_fixed_role INTEGER NOT NULL DEFAULT 0,
  create_date TEXT NOT NULL);
CREATE TABLE __tsql_role_members (
  role_principal_id INTEGER NOT NULL,
  member_principal_id INTEGER NOT NULL,
  PRIMARY KEY (role_principal_id, member_principal_id));
INSERT INTO __tsql_principals (principal_id, name, type, sid, default_schema, is_fixed_role, create_date)
  SELECT column1, column2, column3, column4, column5, column6, datetime('now', 'localtime') FROM (VALUES
    (0, 'public', 'R', NULL, NULL, 0),
    (1, 'dbo', 'S', NULL, 'dbo', 0),
    (2, 'guest', 'S', X'00', 'guest', 0),
    (3, 'INFORMATION_SCHEMA', 'S', NULL, NULL, 0),
    (4, 'sys', 'S', NULL, NULL, 0),
    (16384, 'db_owner', 'R', NULL, NULL, 1),
    (16385, 'db_accessadmin', 'R', NULL, NULL, 1),
    (16386, 'db_securityadmin', 'R', NULL, NULL, 1),
    (16387, 'db_ddladmin', 'R', NULL, NULL, 1),
    (16389, 'db_backupoperator', 'R', NULL, NULL, 1),
    (16390, 'db_datareader', 'R', NULL, NULL, 1),
    (16391, 'db_datawriter', 'R', NULL, NULL, 1),
    (16392, 'db_denydatareader', 'R', NULL, NULL, 1),
    (16393, 'db_denydatawriter', 'R', NULL, NULL, 1));
INSERT INTO __tsql_role_members VALUES (16384, 1);
CREATE VIEW "sys.tables" AS
  SELECT name, object_id, 1 AS schema_id, 'U' COLLATE tsql_ci AS type, 'USER_TABLE' COLLATE tsql_ci AS type_desc,
         create_date
  FROM __tsql_tables;
CREATE VIEW "sys.columns" AS
  SELECT c.object_id, c.name, c.column_id, c.is_nullable, c.is_identity, ifnull(d.object_id, 0) AS default_object_id
  FROM __tsql_columns c
  LEFT JOIN __tsql_defaults d ON d.parent_object_id = c.object_id AND d.parent_column_id = c.column_id;
CREATE VIEW "sys.default_constraints" AS
  SELECT name, object_id, 1 AS schema_id, parent_object_id, 'D' COLLATE tsql_ci AS type,
         'DEFAULT_CONSTRAINT' COLLATE tsql_ci AS type_desc, create_date, parent_column_id, definition
  FROM __tsql_defaults;
CREATE VIEW "sys.objects" AS
  SELECT name, object_id, 1 AS schema_id, 0 AS parent_object_id, 'U' COLLATE tsql_ci AS type,
         'USER_TABLE' COLLATE tsql_ci AS type_desc, create_date
  FROM __tsql_tables
  UNION ALL
  SELECT name, object_id, 1, parent_object_id, 'D', 'DEFAULT_CONSTRAINT', create_date FROM __tsql_defaults;
CREATE VIEW "sys.database_files" AS
  SELECT file_id, 0 AS type, 'ROWS' COLLATE tsql_ci AS type_desc, 1 AS data_space_id, name, physical_name, 0 AS state,
         'ONLINE' COLLATE tsql_ci AS state_desc
  FROM __tsql_files;
CREATE VIEW "sys.database_principals" AS
  SELECT name, principal_id, type,
         (CASE type WHEN 'S' THEN 'SQL_USER' ELSE 'DATABASE_ROLE' END) COLLATE tsql_ci AS type_desc,
         default_schema AS default_schema_name, create_date, sid, is_fixed_role
  FROM __tsql_principals;
CREATE VIEW "sys.database_role_members" AS
  SELECT role_principal_id, member_principal_id FROM __tsql_role_members;
)sql";

// The server roles carry the principal ids and one-byte sids a real server
// gives them.
constexpr const char* kServerCatalogue = R"sql(
CREATE TABLE __tsql_logins (
  principal_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  sid BLOB NOT NULL UNIQUE,
  password TEXT NOT NULL,
  default_database TEXT COLLATE tsql_ci NOT NULL,
  is_disabled INTEGER NOT NULL DEFAULT 0,
  is_policy_checked INTEGER NOT NULL DEFAULT 1,
  is_expiration_checked INTEGER NOT NULL DEFAULT 0,
  create_date TEXT NOT NULL);
CREATE TABLE __tsql_server_roles (
  principal_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  sid BLOB NOT NULL);
INSERT INTO __tsql_server_roles VALUES
  (2, 'public', X'02'), (3, 'sysadmin', X'03'), (4, 'securityadmin', X'04'), (5, 'serveradmin', X'05'),
  (6, 'setupadmin', X'06'), (7, 'processadmin', X'07'), (8, 'diskadmin', X'08'), (9, 'dbcreator', X'09'),
  (10, 'bulkadmin', X'0A');
CREATE TABLE __tsql_server_role_members (
  role TEXT COLLATE tsql_ci NOT NULL,
  login TEXT COLLATE tsql_ci NOT NULL,
  PRIMARY KEY (role, login));
CREATE TABLE __tsql_databases (
  database_id INTEGER PRIMARY KEY,
  name TEXT COLLATE tsql_ci NOT NULL UNIQUE,
  file TEXT NOT NULL,
  logical_file_name TEXT COLLATE tsql_ci NOT NULL,
  physical_name TEXT COLLATE tsql_ci NOT NULL,
  owner_sid BLOB NOT NULL,
  create_date TEXT NOT NULL,
  recovery_model TEXT COLLATE tsql_ci NOT NULL DEFAULT 'FULL');
CREATE VIEW "sys.databases" AS
  SELECT name, database_id, owner_sid, create_date, 150 AS compatibility_level,
         'SQL_Latin1_General_CP1_CI_AS' COLLATE tsql_ci AS collation_name, 0 AS state,
         'ONLINE' COLLATE tsql_ci AS state_desc,
         CASE recovery_model WHEN 'FULL' THEN 1 WHEN 'BULK_LOGGED' THEN 2 ELSE 3 END AS recovery_model,
         recovery_model AS recovery_model_desc
  FROM __tsql_databases;
CREATE VIEW "sys.master_files" AS
  SELECT database_id, 1 AS file_id, 0 AS type, 'ROWS' COLLATE tsql_ci AS type_desc, 1 AS data_space_id,
         logical_file_name AS name, physical_name, 0 AS state, 'ONLINE' COLLATE tsql_ci AS state_desc
  FROM __tsql_databases;
CREATE VIEW "sys.sql_logins" AS
  SELECT name, principal_id, sid, 'S' COLLATE tsql_ci AS type, 'SQL_LOGIN' COLLATE tsql_ci AS type_desc, is_disabled,
         create_date,
         default_database AS default_database_name, is_policy_checked, is_expiration_checked
  FROM __tsql_logins;
CREATE VIEW "sys.server_principals" AS
  SELECT name, principal_id, sid, 'S' COLLATE tsql_ci AS type, 'SQL_LOGIN' COLLATE tsql_ci AS type_desc, is_disabled,
         create_date,
         default_database AS default_database_name
  FROM __tsql_logins
  UNION ALL
  SELECT name, principal_id, sid, 'R', 'SERVER_ROLE', 0, NULL, NULL FROM __tsql_server_roles;
CREATE VIEW "sys.server_role_members" AS
  SELECT r.principal_id AS role_principal_id, l.principal_id AS member_principal_id
  FROM __tsql_server_role_members m
  JOIN __tsql_server_roles r ON r.name = m.role
  JOIN __tsql_logins l ON l.name = m.login;
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

// The sa login's sid on every server; other logins get random ones, as SQL
// logins do.
const dac::Bytes kSaSid{0x01};
constexpr std::int64_t kFirstLoginId = 256;

dac::Bytes NewSid() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  dac::Bytes sid(16);
  for (std::size_t i = 0; i < sid.size(); i += 8) {
    const std::uint64_t r = random();
    for (std::size_t k = 0; k < 8; ++k) sid[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
  }
  return sid;
}

// Makes a fresh file the database `name`: the catalogue, its data file's
// entry and dbo standing for the owner.
void InitialiseDatabase(SqliteDb& db, const std::string& logical_name, const std::string& physical_name,
                        const dac::Bytes& owner_sid) {
  db.Exec("BEGIN");
  db.Exec(kDatabaseCatalogue);
  auto file = db.Prepare("INSERT INTO __tsql_files (file_id, name, physical_name) VALUES (1, ?, ?)");
  file.BindAll({dac::Value(logical_name), dac::Value(physical_name)});
  file.Step();
  sqlserver::DatabasePrincipals(db, "main").SetOwner(owner_sid);
  db.Exec("COMMIT");
}

std::string KnownRecoveryModel(const std::string& model) {
  for (const char* m : {"FULL", "BULK_LOGGED", "SIMPLE"}) {
    if (platform::SameText(model, m)) return m;
  }
  throw std::invalid_argument("Unknown recovery model " + model);
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

std::optional<fs::path> ServerFilePath(const std::string& file_name) {
  std::string path = file_name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') path.erase(0, 2);
  if (path.empty() || path[0] != '/') return std::nullopt;
  return fs::path(path).lexically_normal();
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
      {"__tsql_logins", "sid", "varbinary(85)"},
      {"__tsql_logins", "default_database", "sysname"},
      {"__tsql_logins", "is_disabled", "bit"},
      {"__tsql_logins", "is_policy_checked", "bit"},
      {"__tsql_logins", "is_expiration_checked", "bit"},
      {"__tsql_logins", "create_date", "datetime"},
      {"__tsql_server_roles", "name", "sysname"},
      {"__tsql_server_roles", "principal_id", "int"},
      {"__tsql_server_roles", "sid", "varbinary(85)"},
      {"__tsql_databases", "name", "sysname"},
      {"__tsql_databases", "database_id", "int"},
      {"__tsql_databases", "owner_sid", "varbinary(85)"},
      {"__tsql_databases", "create_date", "datetime"},
      {"__tsql_databases", "recovery_model", "nvarchar(60)"},
      {"__tsql_databases", "logical_file_name", "sysname"},
      {"__tsql_databases", "physical_name", "nvarchar(260)"},
      {"__tsql_tables", "name", "sysname"},
      {"__tsql_tables", "object_id", "int"},
      {"__tsql_tables", "create_date", "datetime"},
      {"__tsql_columns", "name", "sysname"},
      {"__tsql_columns", "object_id", "int"},
      {"__tsql_columns", "column_id", "int"},
      {"__tsql_columns", "is_nullable", "bit"},
      {"__tsql_columns", "is_identity", "bit"},
      {"__tsql_defaults", "name", "sysname"},
      {"__tsql_defaults", "object_id", "int"},
      {"__tsql_defaults", "parent_object_id", "int"},
      {"__tsql_defaults", "parent_column_id", "int"},
      {"__tsql_defaults", "definition", "nvarchar(max)"},
      {"__tsql_defaults", "create_date", "datetime"},
      {"__tsql_files", "file_id", "int"},
      {"__tsql_files", "name", "sysname"},
      {"__tsql_files", "physical_name", "nvarchar(260)"},
      {"__tsql_principals", "name", "sysname"},
      {"__tsql_principals", "principal_id", "int"},
      {"__tsql_principals", "type", "char(1)"},
      {"__tsql_principals", "sid", "varbinary(85)"},
      {"__tsql_principals", "default_schema", "sysname"},
      {"__tsql_principals", "is_fixed_role", "bit"},
      {"__tsql_principals", "create_date", "datetime"},
      {"__tsql_role_members", "role_principal_id", "int"},
      {"__tsql_role_members", "member_principal_id", "int"},
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
    InitialiseDatabase(master, "master", (dir / kMasterFile).string(), kSaSid);
    MasterTransaction tx(master);
    master.Exec(kServerCatalogue);
    // master is in the simple recovery model on a server.
    auto db = master.Prepare(
        "INSERT INTO __tsql_databases (database_id, name, file, logical_file_name, physical_name, owner_sid, "
        "create_date, recovery_model) VALUES (1, 'master', ?, 'master', ?, ?, ?, 'SIMPLE')");
    db.BindAll({dac::Value(kMasterFile), dac::Value((dir / kMasterFile).string()), dac::Value(kSaSid),
                dac::Value(Now())});
    db.Step();
    auto login = master.Prepare(
        "INSERT INTO __tsql_logins (principal_id, name, sid, password, default_database, create_date) "
        "VALUES (1, 'sa', ?, ?, 'master', ?)");
    login.BindAll({dac::Value(kSaSid), dac::Value(sa_password), dac::Value(Now())});
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
                                    const std::string& default_database, bool check_policy) {
  MasterTransaction tx(master_);
  if (FindLogin(name)) throw sqlserver::LoginExists(name);
  auto st = master_.Prepare(
      "INSERT INTO __tsql_logins (principal_id, name, sid, password, default_database, is_policy_checked, "
      "create_date) VALUES ((SELECT max(?, max(principal_id) + 1) FROM __tsql_logins), ?, ?, ?, ?, ?, ?)");
  st.BindAll({dac::Value(kFirstLoginId), dac::Value(name), dac::Value(NewSid()), dac::Value(password),
              dac::Value(default_database), dac::Value(check_policy), dac::Value(Now())});
  st.Step();
  tx.Commit();
}

namespace {

std::optional<SqlServerLogin> ReadLogin(SqliteStatement& st) {
  if (!st.Step()) return std::nullopt;
  SqlServerLogin login{st.ColumnText(0), {}, st.ColumnText(2), st.ColumnInt(3) != 0};
  if (const dac::Value sid = st.ColumnValue(1); sid.Kind() == dac::ValueKind::kBytes) login.sid = sid.AsBytes();
  return login;
}

constexpr const char* kLoginColumns = "SELECT name, sid, default_database, is_disabled FROM __tsql_logins ";

}  // namespace

std::optional<SqlServerLogin> SqlServerInstance::FindLogin(const std::string& name) {
  auto st = master_.Prepare(std::string(kLoginColumns) + "WHERE name = ?");
  st.Bind(1, dac::Value(name));
  return ReadLogin(st);
}

std::optional<SqlServerLogin> SqlServerInstance::FindLoginBySid(const dac::Bytes& sid) {
  auto st = master_.Prepare(std::string(kLoginColumns) + "WHERE sid = ?");
  st.Bind(1, dac::Value(sid));
  return ReadLogin(st);
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

namespace {

// The role's name as the server spells it. Throws dac::DriverError (15402).
std::string ServerRoleName(SqliteDb& master, const std::string& role) {
  auto st = master.Prepare("SELECT name FROM __tsql_server_roles WHERE name = ?");
  st.Bind(1, dac::Value(role));
  if (!st.Step()) throw sqlserver::ServerError(15402, "42000", "'" + role + "' is not a fixed server role.");
  return st.ColumnText(0);
}

}  // namespace

void SqlServerInstance::AddServerRoleMember(const std::string& role, const std::string& login) {
  const std::string name = ServerRoleName(master_, role);
  const auto l = FindLogin(login);
  if (!l) throw sqlserver::NotAValidLogin(login);
  auto st = master_.Prepare("INSERT OR IGNORE INTO __tsql_server_role_members (role, login) VALUES (?, ?)");
  st.BindAll({dac::Value(name), dac::Value(l->name)});
  st.Step();
}

void SqlServerInstance::DropServerRoleMember(const std::string& role, const std::string& login) {
  const std::string name = ServerRoleName(master_, role);
  if (!FindLogin(login)) throw sqlserver::NotAValidLogin(login);
  auto st = master_.Prepare("DELETE FROM __tsql_server_role_members WHERE role = ? AND login = ?");
  st.BindAll({dac::Value(name), dac::Value(login)});
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

void SqlServerInstance::CreateDatabase(const std::string& name, const std::optional<DatabaseFileSpec>& file,
                                       const std::string& owner) {
  if (name.empty() || platform::CharLength(name) > 128) throw sqlserver::IncorrectSyntax(name);
  MasterTransaction tx(master_);
  if (FindDatabase(name)) throw sqlserver::DatabaseExists(name);
  const auto owner_login = FindLogin(owner);
  if (!owner_login) throw sqlserver::NotAValidLogin(owner);

  std::string stored_file;  // relative to the instance folder when it lies there
  fs::path path;
  std::string physical_name;
  if (file) {
    const auto target = ServerFilePath(file->file_name);
    if (!target) throw sqlserver::FileNameNotAFullPath(file->file_name);
    std::error_code ec;
    if (!fs::is_directory(target->parent_path(), ec)) throw sqlserver::DirectoryLookupFailed(file->file_name);
    if (fs::exists(*target, ec)) throw sqlserver::FileAlreadyExists(file->file_name);
    path = *target;
    stored_file = path.string();
    physical_name = file->file_name;
  } else {
    stored_file = FileNameFor(name) + ".sqlite";
    for (int n = 2; fs::exists(dir_ / stored_file); ++n) {
      stored_file = FileNameFor(name) + "~" + std::to_string(n) + ".sqlite";
    }
    path = dir_ / stored_file;
    physical_name = path.string();
  }
  const std::string logical_name = file ? file->logical_name : name;

  // The file goes again unless the database is recorded in master.
  struct FileGuard {
    fs::path path;
    bool keep = false;
    ~FileGuard() {
      std::error_code ec;
      if (!keep && !path.empty()) fs::remove(path, ec);
    }
  } guard;
  try {
    SqliteDb db = OpenFile(path, true);
    guard.path = path;
    InitialiseDatabase(db, logical_name, physical_name, owner_login->sid);
  } catch (const SqliteError&) {
    if (file) throw sqlserver::FileNotCreated(file->file_name);
    throw;
  }
  auto st = master_.Prepare(
      "INSERT INTO __tsql_databases (database_id, name, file, logical_file_name, physical_name, owner_sid, "
      "create_date) VALUES (max(?, (SELECT max(database_id) + 1 FROM __tsql_databases)), ?, ?, ?, ?, ?, ?)");
  st.BindAll({dac::Value(kFirstUserDatabaseId), dac::Value(name), dac::Value(stored_file), dac::Value(logical_name),
              dac::Value(physical_name), dac::Value(owner_login->sid), dac::Value(Now())});
  st.Step();
  tx.Commit();
  guard.keep = true;
}

std::optional<std::string> SqlServerInstance::FindDatabase(const std::string& name) {
  auto st = master_.Prepare("SELECT name FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(name));
  if (!st.Step()) return std::nullopt;
  return st.ColumnText(0);
}

fs::path SqlServerInstance::DatabaseFile(const std::string& name) { return DataFileOf(name).path; }

DataFile SqlServerInstance::DataFileOf(const std::string& name) {
  auto st = master_.Prepare("SELECT file, logical_file_name, physical_name FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(name));
  if (!st.Step()) throw sqlserver::DatabaseDoesNotExist(name);
  const fs::path file = st.ColumnText(0);
  return DataFile{st.ColumnText(1), st.ColumnText(2), file.is_absolute() ? file : dir_ / file};
}

std::vector<std::string> SqlServerInstance::DatabaseNames() {
  auto st = master_.Prepare("SELECT name FROM __tsql_databases ORDER BY database_id");
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.ColumnText(0));
  return names;
}

std::string SqlServerInstance::RecoveryModel(const std::string& database) {
  auto st = master_.Prepare("SELECT recovery_model FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(database));
  if (!st.Step()) throw sqlserver::DatabaseDoesNotExist(database);
  return st.ColumnText(0);
}

void SqlServerInstance::SetRecoveryModel(const std::string& database, const std::string& model) {
  auto st = master_.Prepare("UPDATE __tsql_databases SET recovery_model = ? WHERE name = ?");
  st.BindAll({dac::Value(KnownRecoveryModel(model)), dac::Value(database)});
  st.Step();
  if (master_.Changes() == 0) throw sqlserver::DatabaseDoesNotExist(database);
}

dac::Bytes SqlServerInstance::DatabaseOwnerSid(const std::string& database) {
  auto st = master_.Prepare("SELECT owner_sid FROM __tsql_databases WHERE name = ?");
  st.Bind(1, dac::Value(database));
  if (!st.Step()) throw sqlserver::DatabaseDoesNotExist(database);
  const dac::Value sid = st.ColumnValue(0);
  return sid.Kind() == dac::ValueKind::kBytes ? sid.AsBytes() : dac::Bytes{};
}

std::string SqlServerInstance::DatabaseOwner(const std::string& database) {
  const auto login = FindLoginBySid(DatabaseOwnerSid(database));
  return login ? login->name : std::string();
}

void SqlServerInstance::SetDatabaseOwnerSid(const std::string& database, const dac::Bytes& sid) {
  auto st = master_.Prepare("UPDATE __tsql_databases SET owner_sid = ? WHERE name = ?");
  st.BindAll({dac::Value(sid), dac::Value(database)});
  st.Step();
  if (master_.Changes() == 0) throw sqlserver::DatabaseDoesNotExist(database);
}

}  // namespace embedded
