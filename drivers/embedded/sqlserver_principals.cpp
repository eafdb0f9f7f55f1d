#include "drivers/embedded/sqlserver_principals.h"

#include "drivers/embedded/sqlserver_errors.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

// New users get the ids after the fixed principals, below the fixed roles' range.
constexpr std::int64_t kFirstUserId = 5;
constexpr std::int64_t kFirstFixedRoleId = 16384;

}  // namespace

std::optional<DatabasePrincipal> DatabasePrincipals::FindWhere(const std::string& condition, const dac::Value& key) {
  auto st =
      db_.Prepare("SELECT principal_id, name, type, sid FROM " + schema_ + ".__tsql_principals WHERE " + condition);
  st.Bind(1, key);
  if (!st.Step()) return std::nullopt;
  DatabasePrincipal p;
  p.principal_id = st.ColumnInt(0);
  p.name = st.ColumnText(1);
  p.role = st.ColumnText(2) == "R";
  if (const dac::Value sid = st.ColumnValue(3); sid.Kind() == dac::ValueKind::kBytes) p.sid = sid.AsBytes();
  return p;
}

std::optional<DatabasePrincipal> DatabasePrincipals::Find(const std::string& name) {
  return FindWhere("name = ?", dac::Value(name));
}

std::optional<DatabasePrincipal> DatabasePrincipals::FindBySid(const dac::Bytes& sid) {
  return FindWhere("sid = ?", dac::Value(sid));
}

void DatabasePrincipals::CreateUser(const std::string& name, const dac::Bytes& login_sid) {
  if (Find(name)) throw PrincipalExists(name);
  if (!login_sid.empty() && FindBySid(login_sid)) throw LoginHasAnotherUser();
  auto st = db_.Prepare("INSERT INTO " + schema_ +
                        ".__tsql_principals (principal_id, name, type, sid, default_schema, create_date) "
                        "VALUES ((SELECT max(?, ifnull(max(principal_id), 0) + 1) FROM " +
                        schema_ +
                        ".__tsql_principals WHERE principal_id < ?), ?, 'S', ?, 'dbo', datetime('now', 'localtime'))");
  st.BindAll({dac::Value(kFirstUserId), dac::Value(kFirstFixedRoleId), dac::Value(name),
              login_sid.empty() ? dac::Value() : dac::Value(login_sid)});
  st.Step();
}

void DatabasePrincipals::SetOwner(const dac::Bytes& sid) {
  auto st = db_.Prepare("UPDATE " + schema_ + ".__tsql_principals SET sid = ? WHERE principal_id = ?");
  st.BindAll({dac::Value(sid), dac::Value(kDboPrincipalId)});
  st.Step();
}

void DatabasePrincipals::AddRoleMember(const std::string& role, const std::string& member) {
  const auto r = Find(role);
  if (!r || !r->role) throw CannotAlterRole(role);
  const auto m = Find(member);
  if (!m) throw CannotAddPrincipal(member);
  if (m->principal_id == kDboPrincipalId) throw SpecialPrincipal(m->name);
  auto st = db_.Prepare("INSERT OR IGNORE INTO " + schema_ +
                        ".__tsql_role_members (role_principal_id, member_principal_id) VALUES (?, ?)");
  st.BindAll({dac::Value(r->principal_id), dac::Value(m->principal_id)});
  st.Step();
}

bool DatabasePrincipals::IsRoleMemberBySid(const std::string& role, const dac::Bytes& sid) {
  auto st = db_.Prepare("SELECT 1 FROM " + schema_ + ".__tsql_role_members m JOIN " + schema_ +
                        ".__tsql_principals r ON r.principal_id = m.role_principal_id JOIN " + schema_ +
                        ".__tsql_principals u ON u.principal_id = m.member_principal_id "
                        "WHERE r.name = ? AND u.sid = ?");
  st.BindAll({dac::Value(role), dac::Value(sid)});
  return st.Step();
}

}  // namespace embedded::sqlserver
