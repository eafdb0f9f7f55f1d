#include "drivers/embedded/oracle_catalogue.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/oracle_functions.h"

namespace embedded {
namespace {

constexpr const char* kDatabaseFile = "oracle.db";

// The dictionary. Column types carry their Oracle spelling (see
// oracle_types.h) so that the views report the types Oracle's views have.
constexpr const char* kDictionary = R"SQL(
CREATE TABLE "ORA$INSTANCE"(NAME TEXT PRIMARY KEY, VALUE);
CREATE TABLE "ORA$USERS"(
  USERNAME TEXT 'VARCHAR2(128) NOT NULL' PRIMARY KEY,
  USER_ID INTEGER 'NUMBER NOT NULL',
  PASSWORD TEXT NOT NULL,
  SYSDBA INTEGER NOT NULL DEFAULT 0,
  ACCOUNT_STATUS TEXT 'VARCHAR2(32) NOT NULL' DEFAULT 'OPEN',
  DEFAULT_TABLESPACE TEXT 'VARCHAR2(30)' DEFAULT 'USERS',
  CREATED TEXT 'DATE NOT NULL');
CREATE TABLE "ORA$ROLES"(ROLE TEXT 'VARCHAR2(128) NOT NULL' PRIMARY KEY);
CREATE TABLE "ORA$ROLE_PRIVS"(
  GRANTEE TEXT 'VARCHAR2(128)',
  GRANTED_ROLE TEXT 'VARCHAR2(128) NOT NULL',
  ADMIN_OPTION TEXT 'VARCHAR2(3)',
  DEFAULT_ROLE TEXT 'VARCHAR2(3)',
  PRIMARY KEY(GRANTEE, GRANTED_ROLE));
CREATE TABLE "ORA$OBJECTS"(
  OWNER TEXT 'VARCHAR2(128) NOT NULL',
  OBJECT_NAME TEXT 'VARCHAR2(128) NOT NULL',
  OBJECT_TYPE TEXT 'VARCHAR2(23)' NOT NULL,
  SQLITE_NAME TEXT NOT NULL,
  TEMPORARY TEXT 'VARCHAR2(1)' NOT NULL DEFAULT 'N',
  IS_MVIEW INTEGER NOT NULL DEFAULT 0,
  IS_PUBLIC INTEGER NOT NULL DEFAULT 0,
  NUM_ROWS INTEGER 'NUMBER',
  LAST_ANALYZED TEXT 'DATE',
  CREATED TEXT 'DATE NOT NULL',
  QUERY TEXT 'LONG',
  PRIMARY KEY(OWNER, OBJECT_NAME));
CREATE TABLE "ORA$COLUMNS"(
  OWNER TEXT 'VARCHAR2(128) NOT NULL',
  TABLE_NAME TEXT 'VARCHAR2(128) NOT NULL',
  COLUMN_NAME TEXT 'VARCHAR2(128) NOT NULL',
  COLUMN_ID INTEGER 'NUMBER',
  DATA_TYPE TEXT 'VARCHAR2(128)',
  DATA_LENGTH INTEGER 'NUMBER NOT NULL',
  DATA_PRECISION INTEGER 'NUMBER',
  DATA_SCALE INTEGER 'NUMBER',
  NULLABLE TEXT 'VARCHAR2(1)',
  DEFAULT_LENGTH INTEGER 'NUMBER',
  DATA_DEFAULT TEXT 'LONG',
  CHAR_LENGTH INTEGER 'NUMBER',
  CHAR_USED TEXT 'VARCHAR2(1)',
  TYPE_SPELLING TEXT NOT NULL,
  PRIMARY KEY(OWNER, TABLE_NAME, COLUMN_NAME));
CREATE TABLE "ORA$CONSTRAINTS"(
  OWNER TEXT NOT NULL, CONSTRAINT_NAME TEXT NOT NULL, TABLE_NAME TEXT NOT NULL,
  CONSTRAINT_TYPE TEXT NOT NULL, COLUMNS TEXT NOT NULL,
  PRIMARY KEY(OWNER, CONSTRAINT_NAME));

CREATE VIEW "SYS.ALL_TABLES" AS SELECT OWNER, OBJECT_NAME AS TABLE_NAME, TEMPORARY, NUM_ROWS, LAST_ANALYZED
  FROM "ORA$OBJECTS" WHERE OBJECT_TYPE = 'TABLE';
CREATE VIEW "SYS.USER_TABLES" AS SELECT OBJECT_NAME AS TABLE_NAME, TEMPORARY, NUM_ROWS, LAST_ANALYZED
  FROM "ORA$OBJECTS" WHERE OBJECT_TYPE = 'TABLE' AND OWNER = SYS_CONTEXT('USERENV', 'SESSION_USER');
CREATE VIEW "SYS.ALL_TAB_COLUMNS" AS SELECT OWNER, TABLE_NAME, COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION,
  DATA_SCALE, NULLABLE, COLUMN_ID, DEFAULT_LENGTH, DATA_DEFAULT, CHAR_LENGTH, CHAR_USED FROM "ORA$COLUMNS";
CREATE VIEW "SYS.USER_TAB_COLUMNS" AS SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION,
  DATA_SCALE, NULLABLE, COLUMN_ID, DEFAULT_LENGTH, DATA_DEFAULT, CHAR_LENGTH, CHAR_USED FROM "ORA$COLUMNS"
  WHERE OWNER = SYS_CONTEXT('USERENV', 'SESSION_USER');
CREATE VIEW "SYS.ALL_MVIEWS" AS SELECT OWNER, OBJECT_NAME AS MVIEW_NAME, OBJECT_NAME AS CONTAINER_NAME, QUERY
  FROM "ORA$OBJECTS" WHERE IS_MVIEW = 1;
CREATE VIEW "SYS.ALL_VIEWS" AS SELECT OWNER, OBJECT_NAME AS VIEW_NAME, QUERY AS TEXT
  FROM "ORA$OBJECTS" WHERE OBJECT_TYPE = 'VIEW' AND IS_PUBLIC = 0;
CREATE VIEW "SYS.ALL_OBJECTS" AS SELECT OWNER, OBJECT_NAME, OBJECT_TYPE, CREATED FROM "ORA$OBJECTS";
CREATE VIEW "SYS.ALL_USERS" AS SELECT USERNAME, USER_ID, CREATED FROM "ORA$USERS";
CREATE VIEW "SYS.DBA_USERS" AS SELECT USERNAME, USER_ID, ACCOUNT_STATUS, DEFAULT_TABLESPACE, CREATED
  FROM "ORA$USERS";
CREATE VIEW "SYS.DBA_ROLES" AS SELECT ROLE FROM "ORA$ROLES";
CREATE VIEW "SYS.DBA_ROLE_PRIVS" AS SELECT GRANTEE, GRANTED_ROLE, ADMIN_OPTION, DEFAULT_ROLE FROM "ORA$ROLE_PRIVS";
CREATE VIEW "SYS.USER_ROLE_PRIVS" AS SELECT GRANTEE AS USERNAME, GRANTED_ROLE, ADMIN_OPTION, DEFAULT_ROLE
  FROM "ORA$ROLE_PRIVS" WHERE GRANTEE = SYS_CONTEXT('USERENV', 'SESSION_USER');
CREATE VIEW "SYS.DBA_TABLES" AS SELECT * FROM "SYS.ALL_TABLES";
CREATE VIEW "SYS.DBA_TAB_COLUMNS" AS SELECT * FROM "SYS.ALL_TAB_COLUMNS";
CREATE VIEW "SYS.DBA_MVIEWS" AS SELECT * FROM "SYS.ALL_MVIEWS";
CREATE VIEW "SYS.DBA_VIEWS" AS SELECT * FROM "SYS.ALL_VIEWS";
CREATE VIEW "SYS.DBA_OBJECTS" AS SELECT * FROM "SYS.ALL_OBJECTS";
CREATE TABLE "SYS.DUAL"(DUMMY TEXT 'VARCHAR2(1)');
INSERT INTO "SYS.DUAL" VALUES ('X');
INSERT INTO "ORA$INSTANCE" VALUES ('format', 1), ('next_constraint', 1);
INSERT INTO "ORA$ROLES" VALUES ('CONNECT'), ('RESOURCE'), ('DBA');
)SQL";

constexpr const char* kPublicViews[] = {
    "ALL_TABLES",  "USER_TABLES",     "ALL_TAB_COLUMNS", "USER_TAB_COLUMNS", "ALL_MVIEWS",     "ALL_VIEWS",
    "ALL_OBJECTS", "ALL_USERS",       "DBA_USERS",       "DBA_ROLES",        "DBA_ROLE_PRIVS", "USER_ROLE_PRIVS",
    "DBA_TABLES",  "DBA_TAB_COLUMNS", "DBA_MVIEWS",      "DBA_VIEWS",        "DBA_OBJECTS",
};

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string JoinColumns(const std::vector<std::string>& columns) {
  std::string out;
  for (const auto& c : columns) {
    if (!out.empty()) out += ",";
    out += c;
  }
  return out;
}

void Run(SqliteDb& db, const std::string& sql, const std::vector<dac::Value>& params) {
  auto st = db.Prepare(sql);
  st.BindAll(params);
  st.Step();
}

dac::Value OptionalInt(const std::optional<int>& v) { return v ? dac::Value(*v) : dac::Value(); }

}  // namespace

std::string SqliteObjectName(const std::string& owner, const std::string& name) {
  return QuoteSqliteName(owner + "." + name);
}

std::filesystem::path OracleInstance::DatabaseFile(const std::filesystem::path& dir) { return dir / kDatabaseFile; }

bool OracleInstance::Exists(const std::filesystem::path& dir) {
  std::error_code ec;
  return std::filesystem::is_regular_file(DatabaseFile(dir), ec);
}

void OracleInstance::Create(const std::filesystem::path& dir, const std::string& sys_password) {
  if (Exists(dir)) throw std::runtime_error("The folder " + dir.string() + " holds an Oracle instance already");
  std::filesystem::create_directories(dir);
  SqliteDb db = SqliteDb::Open(DatabaseFile(dir), true);
  const OracleSessionContext context{"SYS", "SYS"};
  RegisterOracleFunctions(db, &context);
  db.Exec("BEGIN");
  db.Exec(kDictionary);
  Catalogue catalogue(db);
  catalogue.AddUser("SYS", sys_password);
  catalogue.SetSysDba("SYS", true);
  catalogue.AddUser("SYSTEM", sys_password);
  catalogue.GrantRole("SYS", "DBA", true);
  catalogue.GrantRole("SYSTEM", "DBA", true);
  CatalogueObject dual{"SYS", "DUAL", SqliteObjectName("SYS", "DUAL"), ObjectKind::kTable, false, false, false, {}};
  dual.columns.push_back({"DUMMY", OracleType::Of(OracleTypeKind::kVarchar2, 1), true, {}});
  catalogue.AddObject(dual);
  for (const char* view : kPublicViews) {
    catalogue.AddObject(
        CatalogueObject{"SYS", view, SqliteObjectName("SYS", view), ObjectKind::kView, false, false, false, {}});
  }
  db.Exec("UPDATE \"ORA$OBJECTS\" SET IS_PUBLIC = 1 WHERE OWNER = 'SYS'");
  db.Exec("COMMIT");
}

const CatalogueColumn* CatalogueObject::FindColumn(const std::string& column) const {
  for (const auto& c : columns) {
    if (c.name == column) return &c;
  }
  return nullptr;
}

Catalogue::Catalogue(SqliteDb& db) : db_(db) {}

bool Catalogue::Fresh() {
  if (!data_version_statement_) data_version_statement_.emplace(db_.Prepare("PRAGMA data_version"));
  data_version_statement_->Step();
  const std::int64_t version = data_version_statement_->ColumnInt(0);
  data_version_statement_->Reset();
  if (version == data_version_) return true;
  data_version_ = version;
  Invalidate();
  return false;
}

void Catalogue::Invalidate() {
  objects_.clear();
  ++generation_;
}

std::uint64_t Catalogue::Generation() {
  Fresh();
  return generation_;
}

std::shared_ptr<const CatalogueObject> Catalogue::Find(const std::string& owner, const std::string& name) {
  Fresh();
  const auto key = std::make_pair(owner, name);
  if (auto it = objects_.find(key); it != objects_.end()) return it->second;

  std::shared_ptr<CatalogueObject> object;
  auto st = db_.Prepare(
      "SELECT SQLITE_NAME, OBJECT_TYPE, TEMPORARY, IS_MVIEW, IS_PUBLIC FROM \"ORA$OBJECTS\" "
      "WHERE OWNER = ? AND OBJECT_NAME = ?");
  st.BindAll({owner, name});
  if (st.Step()) {
    object = std::make_shared<CatalogueObject>();
    object->owner = owner;
    object->name = name;
    object->sqlite_name = QuoteSqliteName(st.ColumnText(0));
    object->kind = st.ColumnText(1) == "VIEW" ? ObjectKind::kView : ObjectKind::kTable;
    object->temporary = st.ColumnText(2) == "Y";
    object->mview = st.ColumnInt(3) != 0;
    object->is_public = st.ColumnInt(4) != 0;
    auto cols = db_.Prepare(
        "SELECT COLUMN_NAME, TYPE_SPELLING, NULLABLE, DATA_DEFAULT FROM \"ORA$COLUMNS\" "
        "WHERE OWNER = ? AND TABLE_NAME = ? ORDER BY COLUMN_ID");
    cols.BindAll({owner, name});
    while (cols.Step()) {
      CatalogueColumn c;
      c.name = cols.ColumnText(0);
      c.type = ParseOracleTypeText(cols.ColumnText(1)).value_or(OracleType{});
      c.nullable = cols.ColumnText(2) != "N";
      c.data_default = cols.ColumnText(3);
      object->columns.push_back(std::move(c));
    }
  }
  objects_[key] = object;
  return object;
}

std::shared_ptr<const CatalogueObject> Catalogue::Resolve(const std::optional<std::string>& schema,
                                                          const std::string& name, const std::string& current_schema) {
  if (schema) {
    if (auto o = Find(*schema, name)) return o;
  } else {
    if (auto o = Find(current_schema, name)) return o;
    if (auto o = Find("SYS", name); o && o->is_public) return o;
  }
  throw OracleError(942, "table or view does not exist");
}

std::optional<UserRecord> Catalogue::FindUser(const std::string& name) {
  auto st = db_.Prepare("SELECT USERNAME, PASSWORD, SYSDBA FROM \"ORA$USERS\" WHERE USERNAME = ?");
  st.BindAll({name});
  if (!st.Step()) return std::nullopt;
  return UserRecord{st.ColumnText(0), st.ColumnText(1), st.ColumnInt(2) != 0};
}

bool Catalogue::RoleExists(const std::string& name) {
  auto st = db_.Prepare("SELECT 1 FROM \"ORA$ROLES\" WHERE ROLE = ?");
  st.BindAll({name});
  return st.Step();
}

bool Catalogue::HasRole(const std::string& grantee, const std::string& role) {
  auto st = db_.Prepare("SELECT 1 FROM \"ORA$ROLE_PRIVS\" WHERE GRANTEE = ? AND GRANTED_ROLE = ?");
  st.BindAll({grantee, role});
  return st.Step();
}

void Catalogue::AddUser(const std::string& name, const std::string& password) {
  Run(db_,
      "INSERT INTO \"ORA$USERS\"(USERNAME, USER_ID, PASSWORD, CREATED) "
      "VALUES (?, (SELECT IFNULL(MAX(USER_ID), -1) + 1 FROM \"ORA$USERS\"), ?, ?)",
      {name, password, Now()});
}

void Catalogue::SetPassword(const std::string& name, const std::string& password) {
  Run(db_, "UPDATE \"ORA$USERS\" SET PASSWORD = ? WHERE USERNAME = ?", {password, name});
}

void Catalogue::SetSysDba(const std::string& name, bool sysdba) {
  Run(db_, "UPDATE \"ORA$USERS\" SET SYSDBA = ? WHERE USERNAME = ?", {sysdba ? 1 : 0, name});
}

void Catalogue::DropUser(const std::string& name) {
  Run(db_, "DELETE FROM \"ORA$USERS\" WHERE USERNAME = ?", {name});
  Run(db_, "DELETE FROM \"ORA$ROLE_PRIVS\" WHERE GRANTEE = ?", {name});
  Invalidate();
}

void Catalogue::AddRole(const std::string& name) { Run(db_, "INSERT INTO \"ORA$ROLES\" VALUES (?)", {name}); }

void Catalogue::DropRole(const std::string& name) {
  Run(db_, "DELETE FROM \"ORA$ROLES\" WHERE ROLE = ?", {name});
  Run(db_, "DELETE FROM \"ORA$ROLE_PRIVS\" WHERE GRANTED_ROLE = ?", {name});
}

void Catalogue::GrantRole(const std::string& grantee, const std::string& role, bool admin_option) {
  Run(db_,
      "INSERT INTO \"ORA$ROLE_PRIVS\" VALUES (?, ?, ?, 'YES') "
      "ON CONFLICT(GRANTEE, GRANTED_ROLE) DO UPDATE SET ADMIN_OPTION = excluded.ADMIN_OPTION",
      {grantee, role, admin_option ? "YES" : "NO"});
}

void Catalogue::RevokeRole(const std::string& grantee, const std::string& role) {
  Run(db_, "DELETE FROM \"ORA$ROLE_PRIVS\" WHERE GRANTEE = ? AND GRANTED_ROLE = ?", {grantee, role});
}

void Catalogue::AddObject(const CatalogueObject& o, const std::string& query_text) {
  std::string sqlite_name = o.owner + "." + o.name;
  Run(db_,
      "INSERT INTO \"ORA$OBJECTS\"(OWNER, OBJECT_NAME, OBJECT_TYPE, SQLITE_NAME, TEMPORARY, IS_MVIEW, CREATED, QUERY) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
      {o.owner, o.name, o.kind == ObjectKind::kView ? "VIEW" : "TABLE", sqlite_name, o.temporary ? "Y" : "N",
       o.mview ? 1 : 0, Now(), query_text.empty() ? dac::Value() : dac::Value(query_text)});
  auto st = db_.Prepare("INSERT INTO \"ORA$COLUMNS\" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  int id = 0;
  for (const auto& c : o.columns) {
    const OracleType& t = c.type;
    dac::Value precision, scale;
    if (t.kind == OracleTypeKind::kNumber) {
      precision = OptionalInt(t.precision);
      scale = OptionalInt(t.scale);
    } else if (t.kind == OracleTypeKind::kFloat) {
      precision = OptionalInt(t.precision);
    } else if (t.kind == OracleTypeKind::kTimestamp) {
      scale = OptionalInt(t.precision);
    }
    const bool national = t.kind == OracleTypeKind::kNVarchar2 || t.kind == OracleTypeKind::kNChar;
    st.Reset();
    st.BindAll({o.owner, o.name, c.name, ++id, t.DataType(), t.DataLength(), precision, scale, c.nullable ? "Y" : "N",
                c.data_default.empty() ? dac::Value() : dac::Value(static_cast<std::int64_t>(c.data_default.size())),
                c.data_default.empty() ? dac::Value() : dac::Value(c.data_default), t.CharLength(),
                t.IsText() ? dac::Value(national ? "C" : "B") : dac::Value(), t.Spelling()});
    st.Step();
  }
  Invalidate();
}

void Catalogue::DropObject(const std::string& owner, const std::string& name) {
  Run(db_, "DELETE FROM \"ORA$OBJECTS\" WHERE OWNER = ? AND OBJECT_NAME = ?", {owner, name});
  Run(db_, "DELETE FROM \"ORA$COLUMNS\" WHERE OWNER = ? AND TABLE_NAME = ?", {owner, name});
  Run(db_, "DELETE FROM \"ORA$CONSTRAINTS\" WHERE OWNER = ? AND TABLE_NAME = ?", {owner, name});
  Invalidate();
}

std::vector<std::string> Catalogue::ObjectsOf(const std::string& owner) {
  auto st = db_.Prepare("SELECT OBJECT_NAME FROM \"ORA$OBJECTS\" WHERE OWNER = ? ORDER BY OBJECT_TYPE DESC");
  st.BindAll({owner});
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.ColumnText(0));
  return names;
}

void Catalogue::SetStatistics(const std::string& owner, const std::string& name, std::optional<std::int64_t> num_rows) {
  Run(db_, "UPDATE \"ORA$OBJECTS\" SET NUM_ROWS = ?, LAST_ANALYZED = ? WHERE OWNER = ? AND OBJECT_NAME = ?",
      {num_rows ? dac::Value(*num_rows) : dac::Value(), num_rows ? dac::Value(Now()) : dac::Value(), owner, name});
}

void Catalogue::AddConstraint(const std::string& owner, const std::string& name, const std::string& table, char type,
                              const std::vector<std::string>& columns) {
  try {
    Run(db_, "INSERT INTO \"ORA$CONSTRAINTS\" VALUES (?, ?, ?, ?, ?)",
        {owner, name, table, std::string(1, type), JoinColumns(columns)});
  } catch (const SqliteError&) {
    throw OracleError(2264, "name already used by an existing constraint");
  }
}

std::optional<std::string> Catalogue::UniqueConstraintOn(const std::string& owner, const std::string& table,
                                                         const std::vector<std::string>& columns) {
  auto st = db_.Prepare(
      "SELECT CONSTRAINT_NAME FROM \"ORA$CONSTRAINTS\" WHERE OWNER = ? AND TABLE_NAME = ? AND COLUMNS = ? "
      "ORDER BY CONSTRAINT_TYPE");
  st.BindAll({owner, table, JoinColumns(columns)});
  if (!st.Step()) return std::nullopt;
  return st.ColumnText(0);
}

std::string Catalogue::NewConstraintName() {
  auto st = db_.Prepare("SELECT VALUE FROM \"ORA$INSTANCE\" WHERE NAME = 'next_constraint'");
  st.Step();
  const std::int64_t n = st.ColumnInt(0);
  Run(db_, "UPDATE \"ORA$INSTANCE\" SET VALUE = VALUE + 1 WHERE NAME = 'next_constraint'", {});
  char buf[32];
  std::snprintf(buf, sizeof buf, "SYS_C%07lld", static_cast<long long>(n));
  return buf;
}

}  // namespace embedded
