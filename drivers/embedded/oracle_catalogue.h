// The embedded Oracle instance's folder and its dictionary.
//
// An instance is a folder holding one SQLite file, "oracle.db": the dictionary
// (users with their passwords, roles and grants, objects with their columns,
// statistics and constraints) in tables named ORA$..., the dictionary views
// (all_tables, all_tab_columns, all_mviews, dba_role_privs...) as SQLite views
// of those tables, and every schema's tables, each named "OWNER.TABLE" in
// SQLite. Names are stored as Oracle stores them: upper case unless created
// quoted. The folder is the security boundary of the stand-in: passwords are
// kept as given, so that tests and the demo can be set up without a server.
//
// Threads: a Catalogue works through one SQLite handle and belongs to the
// thread of its session. Several sessions, in any threads or processes, may
// use one instance at once; each sees the others' committed changes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drivers/embedded/oracle_types.h"
#include "drivers/embedded/sqlite_db.h"

namespace embedded {

class OracleInstance {
 public:
  // Makes `dir` (created when missing) a new instance: the users SYS (who may
  // connect as SYSDBA) and SYSTEM, both with `sys_password`, the roles
  // CONNECT, RESOURCE and DBA, the dictionary views and DUAL. Throws
  // std::runtime_error when `dir` already holds an instance or cannot be written.
  static void Create(const std::filesystem::path& dir, const std::string& sys_password);
  // True when `dir` holds an instance.
  static bool Exists(const std::filesystem::path& dir);
  static std::filesystem::path DatabaseFile(const std::filesystem::path& dir);
};

struct CatalogueColumn {
  std::string name;
  OracleType type;
  bool nullable = true;
  std::string data_default;  // the default's text as written, empty for none
};

enum class ObjectKind { kTable, kView };

struct CatalogueObject {
  std::string owner, name;
  std::string sqlite_name;  // already quoted for SQLite
  ObjectKind kind = ObjectKind::kTable;
  bool temporary = false;
  bool mview = false;                    // the container table of a materialized view
  bool is_public = false;                // found from every schema, as Oracle's public synonyms make the dictionary
  std::vector<CatalogueColumn> columns;  // in column_id order

  // The column of that Oracle name (exact; names are normalised by the caller).
  const CatalogueColumn* FindColumn(const std::string& name) const;
};

struct UserRecord {
  std::string name;
  std::string password;
  bool sysdba = false;
};

class Catalogue {
 public:
  explicit Catalogue(SqliteDb& db);

  // The object `owner`.`name`, or nothing. Cached; the cache is dropped when
  // another session has committed anything, and by Invalidate.
  std::shared_ptr<const CatalogueObject> Find(const std::string& owner, const std::string& name);
  // The object a statement means by `name` (with `schema` when it was written
  // qualified), as Oracle resolves it: the current schema's object, else a
  // public one (the dictionary views, DUAL). Throws ORA-00942.
  std::shared_ptr<const CatalogueObject> Resolve(const std::optional<std::string>& schema, const std::string& name,
                                                 const std::string& current_schema);
  // Changes with every drop of the cache; statements prepared against the
  // dictionary are kept only while it stays the same.
  std::uint64_t Generation();
  // Forgets what is cached: after the session's own DDL or a rollback.
  void Invalidate();

  std::optional<UserRecord> FindUser(const std::string& name);
  bool RoleExists(const std::string& name);
  bool HasRole(const std::string& grantee, const std::string& role);

  // Writers: the caller runs them inside its statement's transaction.
  void AddUser(const std::string& name, const std::string& password);
  void SetPassword(const std::string& name, const std::string& password);
  void SetSysDba(const std::string& name, bool sysdba);
  void DropUser(const std::string& name);
  void AddRole(const std::string& name);
  void DropRole(const std::string& name);
  void GrantRole(const std::string& grantee, const std::string& role, bool admin_option);
  void RevokeRole(const std::string& grantee, const std::string& role);

  // Records an object whose SQLite table or view exists already.
  void AddObject(const CatalogueObject& object, const std::string& query_text = {});
  void DropObject(const std::string& owner, const std::string& name);
  std::vector<std::string> ObjectsOf(const std::string& owner);
  // num_rows of all_tables: a count, or NULL (never analysed / deleted statistics).
  void SetStatistics(const std::string& owner, const std::string& name, std::optional<std::int64_t> num_rows);

  // Constraints and unique indexes, for naming the one a duplicate violates.
  void AddConstraint(const std::string& owner, const std::string& name, const std::string& table, char type,
                     const std::vector<std::string>& columns);
  // The name of the unique constraint on exactly these columns, or nothing.
  std::optional<std::string> UniqueConstraintOn(const std::string& owner, const std::string& table,
                                                const std::vector<std::string>& columns);
  // A new system-generated name, "SYS_C" and a number, as Oracle names an
  // unnamed constraint.
  std::string NewConstraintName();

 private:
  bool Fresh();

  SqliteDb& db_;
  std::optional<SqliteStatement> data_version_statement_;
  std::int64_t data_version_ = -1;
  std::uint64_t generation_ = 1;
  std::map<std::pair<std::string, std::string>, std::shared_ptr<const CatalogueObject>> objects_;
};

// The SQLite name of `owner`.`name`, quoted: "OWNER.NAME".
std::string SqliteObjectName(const std::string& owner, const std::string& name);

}  // namespace embedded
