#include <gtest/gtest.h>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

TEST_F(SqlServerInstanceTest, RefusedLoginsGiveTheServersText) {
  {
    auto instance = SqlServerInstance::Open(Dir());
    instance.CreateLogin("Clerk", "pw");
    instance.CreateLogin("Gone", "pw");
    instance.SetLoginDisabled("Gone", true);
  }
  struct Case {
    const char* user;
    const char* password;
  };
  for (const Case& c : {Case{"sa", "wrong"}, Case{"sa", ""}, Case{"SA", "SA-SECRET-1"}, Case{"nobody", kSaPassword},
                        Case{"Gone", "pw"}}) {
    const auto e = CaughtDriverError([&] { ConnectSqlServerInstance(Params("Erp", c.user, c.password)); });
    EXPECT_EQ(std::string(e.what()), std::string("Login failed for user '") + c.user + "'.") << c.user;
    EXPECT_EQ(e.SqlState(), "28000");
    EXPECT_EQ(e.NativeError(), 18456);
  }
  // Login names ignore case; passwords do not.
  EXPECT_NO_THROW(ConnectSqlServerInstance(Params("Erp", "CLERK", "pw")));
}

TEST_F(SqlServerInstanceTest, MissingDatabaseFailsTheLogin) {
  const auto e = CaughtDriverError([&] { Connect("Nope"); });
  EXPECT_EQ(e.NativeError(), 4060);
  ASSERT_EQ(e.Records().size(), 2u);
  EXPECT_EQ(e.Records()[0].message, "Cannot open database \"Nope\" requested by the login. The login failed.");
  EXPECT_EQ(e.Records()[1].message, "Login failed for user 'sa'.");
}

TEST_F(SqlServerInstanceTest, MissingFolderIsAnUnreachableServer) {
  auto p = Params("Erp");
  p.instance_dir = (Dir() / "elsewhere").string();
  const auto e = CaughtDriverError([&] { ConnectSqlServerInstance(p); });
  EXPECT_EQ(e.SqlState(), "08001");
  EXPECT_NE(std::string(e.what()).find("Server is not found or not accessible"), std::string::npos);
}

TEST_F(SqlServerInstanceTest, DatabaseNamesIgnoreCaseAndUseSwitches) {
  auto c = Connect("ERP");
  EXPECT_EQ(Scalar(*c, "select db_name()").AsText(), "Erp");
  c->Execute("use [MASTER]");
  EXPECT_EQ(Scalar(*c, "select db_name()").AsText(), "master");
  const auto e = CaughtDriverError([&] { c->Execute("use Nope"); });
  EXPECT_EQ(e.NativeError(), 911);
  EXPECT_EQ(Scalar(*c, "select db_name()").AsText(), "master");

  // No database named: the login's default one.
  SqlServerInstance::Open(Dir()).CreateLogin("reader", "pw", "Erp");
  auto reader = ConnectSqlServerInstance(Params("", "reader", "pw"));
  EXPECT_EQ(Scalar(*reader, "select db_name()").AsText(), "Erp");
  EXPECT_EQ(Scalar(*Connect(""), "select db_name()").AsText(), "master");
}

TEST_F(SqlServerInstanceTest, ReportsAVersionOfItsOwn) {
  auto c = Connect();
  EXPECT_EQ(c->ServerVersion(), "15.00.2000");
  EXPECT_EQ(Scalar(*c, "select serverproperty('ProductVersion')").AsText(), "15.0.2000.5");
  EXPECT_NE(Scalar(*c, "select @@version").AsText().find("15.0.2000.5"), std::string::npos);
}

TEST_F(SqlServerInstanceTest, DatabaseListIncludesMasterAndCreatedOnes) {
  auto c = Connect();
  c->Execute("create database [Second One]");
  const auto rows = Rows(*c, "select name from sys.databases order by database_id");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0].AsText(), "master");
  EXPECT_EQ(rows[1][0].AsText(), "Erp");
  EXPECT_EQ(rows[2][0].AsText(), "Second One");
  EXPECT_EQ(CaughtDriverError([&] { c->Execute("create database [ERP]"); }).ServerMessage(),
            "Database 'ERP' already exists. Choose a different database name.");
  EXPECT_NO_THROW(ConnectSqlServerInstance(Params("second one")));
}

TEST_F(SqlServerInstanceTest, LoginGuardedByIfNotExistsRunsOnce) {
  auto c = Connect();
  const std::string create =
      "if not exists(select * from sys.sql_logins where name = 'AD')   create login [AD] with password = 'W1W2', "
      "Check_Policy = OFF ";
  c->Execute(create);
  c->Execute(create);  // the guard skips it now
  EXPECT_NO_THROW(ConnectSqlServerInstance(Params("Erp", "ad", "W1W2")));
  EXPECT_EQ(CaughtDriverError([&] { c->Execute("create login [ad] with password = 'x'"); }).NativeError(), 15025);
}

TEST_F(SqlServerInstanceTest, ServerRoleProceduresKeepMemberships) {
  auto c = Connect();
  c->Execute("create login [AD] with password = 'pw'");
  c->Execute("exec sp_addsrvrolemember @loginame = 'AD', @rolename = 'sysadmin'; ");
  c->Execute("exec sp_addsrvrolemember @loginame = 'AD', @rolename = 'securityadmin'; ");
  c->Execute("exec sp_dropsrvrolemember @loginame = 'AD', @rolename = 'securityadmin'; ");
  EXPECT_EQ(SqlServerInstance::Open(Dir()).ServerRolesOf("ad"), std::vector<std::string>{"sysadmin"});
  EXPECT_EQ(CaughtDriverError([&] { c->Execute("exec sp_addsrvrolemember 'nobody', 'sysadmin'"); }).NativeError(),
            15007);
  EXPECT_EQ(CaughtDriverError([&] { c->Execute("exec sp_no_such_thing 1"); }).ServerMessage(),
            "Could not find stored procedure 'sp_no_such_thing'.");

  // A login outside sysadmin and securityadmin may not hand out roles.
  auto ad = ConnectSqlServerInstance(Params("Erp", "AD", "pw"));
  c->Execute("exec sp_dropsrvrolemember 'AD', 'sysadmin'");
  EXPECT_EQ(CaughtDriverError([&] { ad->Execute("exec sp_addsrvrolemember 'AD', 'sysadmin'"); }).NativeError(), 15247);
}

}  // namespace
}  // namespace embedded::testing
