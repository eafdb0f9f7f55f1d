// The users and roles of one database of an embedded SQL Server instance,
// kept in the database's own catalogue behind sys.database_principals and
// sys.database_role_members. A user stands for a login of master through the
// login's sid; dbo stands for the database's owner, so the owner's login can
// have no user of its own there, as on a server.
//
// Every change is one statement's worth: the caller holds the transaction
// (a StatementScope, or the transaction that makes the database).
//
// Threads: works through the handle it is given, on that handle's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dac/value.h"
#include "drivers/embedded/sqlite_db.h"

namespace embedded::sqlserver {

struct DatabasePrincipal {
  std::int64_t principal_id = 0;
  std::string name;   // as created
  bool role = false;  // a database role; otherwise a user
  dac::Bytes sid;     // the login's; empty for roles and users without a login
};

inline constexpr std::int64_t kDboPrincipalId = 1;

class DatabasePrincipals {
 public:
  // `schema` is the SQLite schema of `db` that holds the database: "main",
  // "master", or the name it is attached under.
  DatabasePrincipals(SqliteDb& db, std::string schema) : db_(db), schema_(std::move(schema)) {}

  // By name without regard to case; by sid exactly.
  std::optional<DatabasePrincipal> Find(const std::string& name);
  std::optional<DatabasePrincipal> FindBySid(const dac::Bytes& sid);

  // Adds the user `name` for the login with `login_sid` (empty for a user
  // without login). Throws dac::DriverError "User, group, or role 'N' already
  // exists in the current database." (15023) for a taken name and "The login
  // already has an account under a different user name." (15063) when the
  // login already has a user here, dbo included.
  void CreateUser(const std::string& name, const dac::Bytes& login_sid);

  // Makes the login with `sid` the one that dbo stands for.
  void SetOwner(const dac::Bytes& sid);

  // Makes `member` (a user or role) a member of the role `role`; a member
  // already there stays as it is. Throws dac::DriverError 15151 for a role or
  // member that does not exist, 15405 for dbo.
  void AddRoleMember(const std::string& role, const std::string& member);

  // Whether the user of the login with `sid` is a member of `role`.
  bool IsRoleMemberBySid(const std::string& role, const dac::Bytes& sid);

 private:
  std::optional<DatabasePrincipal> FindWhere(const std::string& condition, const dac::Value& key);

  SqliteDb& db_;
  std::string schema_;
};

}  // namespace embedded::sqlserver
