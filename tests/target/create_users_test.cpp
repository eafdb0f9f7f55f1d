#include <gtest/gtest.h>

#include "connections/database_password.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "tests/support/embedded_run.h"

namespace app {
namespace {

using connections::DeriveDatabasePassword;
using testing_support::EmbeddedRun;

struct Users : EmbeddedRun {
  Users() {
    form.AutoRun = true;
    servers.CreateTargetDatabase("Nortiva55");
  }
  embedded::SqlServerInstance Instance() const { return embedded::SqlServerInstance::Open(servers.sqlserver_dir); }
  std::vector<std::string> Roles(const std::string& login) const { return Instance().ServerRolesOf(login); }
  bool HasLogin(const std::string& login) const { return Instance().FindLogin(login).has_value(); }
};

TEST(CreateUsers, NothingWhenNeitherBoxIsTicked) {
  Users r;
  r.TickOnly({&r.form.cbCreateSQLDatabase});
  r.form.cbSQLUser.checked = r.form.cbSQLUserAll.checked = true;
  r.Run();
  EXPECT_FALSE(r.LogHas("Create Users"));
  EXPECT_TRUE(r.form.cbSQLUser.checked);
  EXPECT_TRUE(r.form.cbSQLUserAll.checked);
  EXPECT_FALSE(r.HasLogin("AD"));
}

TEST(CreateUsers, TheSingleUserBecomesSysadminOnly) {
  Users r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbCreateSQLUser});
  r.form.eSQLUserPassword.text = "pw";
  r.form.cbSQLUserAll.checked = true;
  r.Instance().CreateLogin("AD", "old");
  r.Instance().AddServerRoleMember("securityadmin", "AD");
  r.Run();
  EXPECT_TRUE(r.LogHas("Create Users Start at: "));
  EXPECT_TRUE(r.LogHas("Create Users Finish at: "));
  EXPECT_TRUE(r.form.cbSQLUser.checked);
  EXPECT_FALSE(r.form.cbSQLUserAll.checked);
  EXPECT_EQ(r.Roles("AD"), std::vector<std::string>{"sysadmin"});
  EXPECT_TRUE(r.Instance().CheckPassword("AD", "old"));  // an existing login keeps its password
  EXPECT_EQ(r.Rows("Nortiva55", "select name from sys.database_principals where name = 'AD' and type_desc = 'SQL_USER'")
                .size(),
            1u);
}

TEST(CreateUsers, ErpUsersGetTheServerRolesOfTheirErpRoles) {
  Users r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbCreateSQLUserAll});
  r.Instance().CreateLogin("ANNA", "kept");
  r.Instance().AddServerRoleMember("sysadmin", "ANNA");
  r.Run();
  EXPECT_TRUE(r.form.cbSQLUserAll.checked) << testing_support::ReadFile(r.form.LastRunLogName());
  EXPECT_EQ(r.Roles("PETER"), std::vector<std::string>{"sysadmin"});
  EXPECT_EQ(r.Roles("MARY"), std::vector<std::string>{"securityadmin"});
  EXPECT_EQ(r.Roles("JOHN"), (std::vector<std::string>{"securityadmin", "sysadmin"}));
  EXPECT_TRUE(r.Roles("ANNA").empty());  // a role held without the flag is taken away
  EXPECT_TRUE(r.Instance().CheckPassword("PETER", DeriveDatabasePassword("", false)));
  EXPECT_TRUE(r.Instance().CheckPassword("ANNA", "kept"));
  for (const char* absent : {"OLDUSER", "NOROLE", "", " ", "AD"}) EXPECT_FALSE(r.HasLogin(absent)) << absent;
  EXPECT_EQ(r.Rows("Nortiva55", "select name from sys.database_principals where type_desc = 'SQL_USER' and name not in "
                            "('dbo', 'guest', 'INFORMATION_SCHEMA', 'sys') order by name"),
            (std::vector<std::vector<std::string>>{{"ANNA"}, {"JOHN"}, {"MARY"}, {"PETER"}}));
}

TEST(CreateUsers, NamesAndPasswordsWithQuotesMakeWorkingLogins) {
  Users r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbCreateSQLUser});
  r.form.eSQLUserUsername.text = "o'bri]en";
  r.form.eSQLUserPassword.text = "it's]";
  r.Run();
  EXPECT_TRUE(r.form.cbSQLUser.checked) << testing_support::ReadFile(r.form.LastRunLogName());
  EXPECT_TRUE(r.Instance().CheckPassword("o'bri]en", DeriveDatabasePassword("it's]", false)));
  EXPECT_EQ(r.Roles("o'bri]en"), std::vector<std::string>{"sysadmin"});
}

TEST(CreateUsers, TheConnectedLoginHandsTheDatabaseToSa) {
  Users r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbCreateSQLUser});
  // The program connects as AD (an ordinary login, with the scrambled password form).
  r.Instance().CreateLogin("AD", DeriveDatabasePassword("x", true));
  r.Instance().AddServerRoleMember("sysadmin", "AD");
  r.form.eSQLUsername.text = "AD";
  r.form.eSQLPassword.text = "x";
  r.form.eSQLUserUsername.text = "ad";
  r.Run();
  EXPECT_TRUE(r.LogHas("Create Users Finish at: "));
  EXPECT_TRUE(r.form.cbSQLUser.checked) << testing_support::ReadFile(r.form.LastRunLogName());
  EXPECT_EQ(r.Rows("master", "select suser_sname(owner_sid) from sys.databases where name = 'Nortiva55'"),
            (std::vector<std::vector<std::string>>{{"sa"}}));
}

}  // namespace
}  // namespace app
