// Logins and database users for the ERP's people: the user typed on the window
// and every active ERP user with an Oracle role, with the server roles their
// ERP roles give them.
#include "app/tf_main.h"
#include "connections/database_password.h"
#include "platform/text.h"
#include "schema/sql_names.h"

namespace app {
namespace {

using schema::BracketName;
using schema::QuoteText;

constexpr const char* kErpUsersQuery =
    "select acUserId,   case when exists (select 1 from dba_role_privs where grantee = C.acUserId and granted_role = "
    "'RVX_ADMIN_USER') then 'T' else 'F' end as IsAdmin,   case when exists (select 1 from dba_role_privs where "
    "grantee = C.acUserId and granted_role = 'RVX_SECURITY_USER') then 'T' else 'F' end as IsSecurityAdmin from "
    "tHE_SetSubjContact C where acUserId <> ' ' and acActive = 'T'   and exists (select 1 from dba_role_privs where "
    "grantee = C.acUserId) order by acUserID";

std::string RoleStatement(bool add, const std::string& name, const char* role) {
  return std::string(add ? "exec sp_addsrvrolemember" : "exec sp_dropsrvrolemember") + " @loginame = '" +
         QuoteText(name) + "', @rolename = '" + role + "'; ";
}

}  // namespace

void TfMain::CreateLogin(const std::string& Name, const std::string& Password, bool SysAdmin, bool SecurityAdmin) {
  const std::string quoted = QuoteText(Name);
  const std::string bracketed = BracketName(Name);
  ExecuteScript("if not exists(select * from sys.sql_logins where name = '" + quoted + "') " + "  create login [" +
                bracketed + "] with password = '" +
                QuoteText(connections::DeriveDatabasePassword(Password, false)) + "', Check_Policy = OFF ");
  // The connected login created the database; its ownership goes to sa so that
  // the login can become an ordinary user of it.
  if (platform::SameText(Name, eSQLUsername.text)) ExecuteScript("exec sp_changedbowner 'sa'");
  ExecuteScript("if not exists(select * from sys.database_principals where name = '" + quoted +
                "' and type_desc = 'SQL_USER') " + "  create user [" + bracketed + "] for login [" + bracketed + "]; ");
  ExecuteScript("exec sp_addrolemember @rolename = 'db_owner', @membername = '" + quoted + "'; ");
  ExecuteScript(RoleStatement(SysAdmin, Name, "sysadmin"));
  ExecuteScript(RoleStatement(SecurityAdmin, Name, "securityadmin"));
}

void TfMain::CreateUsers() {
  if (!cbCreateSQLUser.checked && !cbCreateSQLUserAll.checked) return;
  WriteStepBanner("Create Users", true);

  if (cbCreateSQLUser.checked) {
    CreateLogin(eSQLUserUsername.text, eSQLUserPassword.text, true, false);
    cbSQLUser.checked = SqlServerStepOk;
  } else {
    cbSQLUser.checked = false;
  }

  if (cbCreateSQLUserAll.checked) {
    orasqQuery.Close();
    orasqQuery.SQL = kErpUsersQuery;
    orasqQuery.Open();
    for (; !orasqQuery.Eof(); orasqQuery.Next()) {
      const std::string id = orasqQuery.FieldByName("acUserID").AsString();
      if (platform::TrimControls(id).empty()) continue;
      CreateLogin(id, "", orasqQuery.FieldByName("IsAdmin").AsString() == "T",
                  orasqQuery.FieldByName("IsSecurityAdmin").AsString() == "T");
    }
    cbSQLUserAll.checked = SqlServerStepOk;
  } else {
    cbSQLUserAll.checked = false;
  }

  WriteStepBanner("Create Users", false);
}

}  // namespace app
