#include <gtest/gtest.h>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

class SqlServerPrincipalsTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
  }

  // The names of `sql`'s first column, in order.
  std::vector<std::string> Names(const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& row : Rows(*c_, sql)) out.push_back(row.at(0).AsText());
    return out;
  }

  std::vector<std::string> DbOwnerMembers() {
    return Names(
        "select u.name from sys.database_role_members m "
        "join sys.database_principals r on r.principal_id = m.role_principal_id "
        "join sys.database_principals u on u.principal_id = m.member_principal_id "
        "where r.name = 'db_owner' order by u.name");
  }

  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerPrincipalsTest, NamesAndPasswordsAreReadAsWritten) {
  struct Case {
    const char* bracketed;  // the name inside [ ]
    const char* quoted;     // the name inside ' '
    const char* name;
    const char* password_quoted;
    const char* password;
  };
  const Case cases[] = {
      {"AD", "AD", "AD", "W1secretW2", "W1secretW2"},
      {"Sq]]are", "Sq]are", "Sq]are", "pw]", "pw]"},
      {"O'Brien", "O''Brien", "O'Brien", "it''s", "it's"},
      {"Both]]'", "Both]''", "Both]'", "''''", "''"},
  };
  for (const Case& c : cases) {
    const std::string create = std::string("if not exists(select * from sys.sql_logins where name = '") + c.quoted +
                               "')   create login [" + c.bracketed + "] with password = '" + c.password_quoted +
                               "', Check_Policy = OFF ";
    c_->Execute(create);
    c_->Execute(create);  // the guard skips it now
    EXPECT_EQ(Scalar(*c_, std::string("select name from sys.sql_logins where name = '") + c.quoted + "'").AsText(),
              c.name);
    EXPECT_NO_THROW(ConnectSqlServerInstance(Params("Erp", c.name, c.password))) << c.name;
    c_->Execute(std::string("create user [") + c.bracketed + "] for login [" + c.bracketed + "]");
    c_->Execute(std::string("exec sp_addrolemember @rolename = 'db_owner', @membername = '") + c.quoted + "'");
  }
  EXPECT_EQ(DbOwnerMembers(), (std::vector<std::string>{"AD", "Both]'", "dbo", "O'Brien", "Sq]are"}));
  EXPECT_EQ(Scalar(*c_, "select is_policy_checked from sys.sql_logins where name = 'AD'").AsBoolean(), false);
  EXPECT_EQ(Scalar(*c_, "select is_policy_checked from sys.sql_logins where name = 'sa'").AsBoolean(), true);
}

TEST_F(SqlServerPrincipalsTest, ServerRoleProceduresTakeNamedAndPositionalArguments) {
  c_->Execute("create login [AD] with password = 'pw'");
  struct Case {
    const char* sql;
    std::vector<std::string> roles;
  };
  const Case cases[] = {
      {"exec sp_addsrvrolemember @loginame = 'AD', @rolename = 'sysadmin'; ", {"sysadmin"}},
      {"exec sp_addsrvrolemember 'AD', 'securityadmin'", {"securityadmin", "sysadmin"}},
      {"exec sp_addsrvrolemember @rolename = 'dbcreator', @loginame = 'ad'",
       {"dbcreator", "securityadmin", "sysadmin"}},
      {"exec sp_dropsrvrolemember @loginame = 'AD', @rolename = 'securityadmin'; ", {"dbcreator", "sysadmin"}},
      {"exec sp_dropsrvrolemember 'AD', 'DBCREATOR'", {"sysadmin"}},
      {"exec sp_dropsrvrolemember 'AD', 'securityadmin'", {"sysadmin"}},  // not a member: nothing to do
      {"exec sp_addsrvrolemember 'AD', 'sysadmin'", {"sysadmin"}},
  };
  for (const Case& c : cases) {
    c_->Execute(c.sql);
    EXPECT_EQ(SqlServerInstance::Open(Dir()).ServerRolesOf("AD"), c.roles) << c.sql;
    EXPECT_EQ(Names("select r.name from sys.server_role_members m "
                    "join sys.server_principals r on r.principal_id = m.role_principal_id "
                    "join sys.server_principals l on l.principal_id = m.member_principal_id "
                    "where l.name = 'AD' order by r.name"),
              c.roles)
        << c.sql;
  }
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("exec sp_addsrvrolemember @loginame = 'AD'"); }).ServerMessage(),
            "Procedure or function 'sp_addsrvrolemember' expects parameter '@rolename', which was not supplied.");
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("exec sp_addsrvrolemember 'AD', 'db_owner'"); }).ServerMessage(),
            "'db_owner' is not a fixed server role.");
}

TEST_F(SqlServerPrincipalsTest, CreateUserMapsALoginToTheDatabase) {
  c_->Execute("create login [Clerk] with password = 'pw'");
  const std::string create =
      "if not exists(select * from sys.database_principals where name = 'Clerk' and type_desc = 'SQL_USER')   "
      "create user [Clerk] for login [Clerk]; ";
  c_->Execute(create);
  c_->Execute(create);
  const auto rows = Rows(*c_,
                         "select p.type_desc, p.default_schema_name from sys.database_principals p "
                         "join sys.sql_logins l on l.sid = p.sid where l.name = 'clerk'");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsText(), "SQL_USER");
  EXPECT_EQ(rows[0][1].AsText(), "dbo");
  // The catalogue compares its texts as the server's default collation does.
  EXPECT_EQ(
      Rows(*c_, "select name from sys.database_principals where type_desc = 'sql_user' and name = 'CLERK'").size(), 1u);
  // Users belong to their database.
  EXPECT_TRUE(Rows(*Connect("master"), "select * from sys.database_principals where name = 'Clerk'").empty());

  c_->Execute("create login [Other] with password = 'pw'");
  struct Case {
    const char* sql;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {"create user [clerk] for login [Other]", 15023,
       "User, group, or role 'clerk' already exists in the current database."},
      {"create user [Nobody] for login [Nobody]", 15007,
       "'Nobody' is not a valid login or you do not have permission."},
      {"create user [Nobody]", 15007, "'Nobody' is not a valid login or you do not have permission."},
      {"create user [Second] for login [Clerk]", 15063,
       "The login already has an account under a different user name."},
      // sa owns Erp: its login is dbo there.
      {"create user [sa] for login [sa]", 15063, "The login already has an account under a different user name."},
  };
  for (const Case& c : cases) {
    const auto e = CaughtDriverError([&] { c_->Execute(c.sql); });
    EXPECT_EQ(e.NativeError(), c.number) << c.sql;
    EXPECT_EQ(e.ServerMessage(), c.message) << c.sql;
  }
  c_->Execute("create user [Free] without login");
  EXPECT_EQ(
      Names("select name from sys.database_principals where principal_id >= 5 and type = 'S' order by principal_id"),
      (std::vector<std::string>{"Clerk", "Free"}));

  // A login without rights in the database may not add users.
  auto clerk = ConnectSqlServerInstance(Params("Erp", "Clerk", "pw"));
  EXPECT_EQ(CaughtDriverError([&] { clerk->Execute("create user [Other]"); }).NativeError(), 15247);
}

TEST_F(SqlServerPrincipalsTest, AddRoleMemberKeepsDatabaseRoles) {
  c_->Execute("create login [AD] with password = 'pw' create user [AD] for login [AD]");
  c_->Execute("exec sp_addrolemember @rolename = 'db_owner', @membername = 'AD'; ");
  c_->Execute("exec sp_addrolemember @rolename = 'db_owner', @membername = 'ad'; ");  // already a member
  c_->Execute("exec sp_addrolemember 'db_datareader', 'AD'");
  EXPECT_EQ(DbOwnerMembers(), (std::vector<std::string>{"AD", "dbo"}));
  EXPECT_EQ(Names("select r.name from sys.database_role_members m join sys.database_principals r on r.principal_id = "
                  "m.role_principal_id join sys.database_principals u on u.principal_id = m.member_principal_id "
                  "where u.name = 'AD' order by r.name"),
            (std::vector<std::string>{"db_datareader", "db_owner"}));

  struct Case {
    const char* sql;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {"exec sp_addrolemember 'db_nothing', 'AD'", 15151,
       "Cannot alter the role 'db_nothing', because it does not exist or you do not have permission."},
      {"exec sp_addrolemember 'AD', 'AD'", 15151,
       "Cannot alter the role 'AD', because it does not exist or you do not have permission."},
      {"exec sp_addrolemember 'db_owner', 'Nobody'", 15151,
       "Cannot add the principal 'Nobody', because it does not exist or you do not have permission."},
      {"exec sp_addrolemember 'db_owner', 'dbo'", 15405, "Cannot use the special principal 'dbo'."},
      {"begin tran exec sp_addrolemember 'db_owner', 'AD'", 15002,
       "The procedure 'sys.sp_addrolemember' cannot be executed within a transaction."},
  };
  for (const Case& c : cases) {
    const auto e = CaughtDriverError([&] { c_->Execute(c.sql); });
    EXPECT_EQ(e.NativeError(), c.number) << c.sql;
    EXPECT_EQ(e.ServerMessage(), c.message) << c.sql;
  }
  c_->Execute("rollback");

  // Membership of db_owner gives the rights of the database's owner there.
  c_->Execute("create login [Helper] with password = 'pw' create user [Helper]");
  auto ad = ConnectSqlServerInstance(Params("Erp", "AD", "pw"));
  ad->Execute("exec sp_addrolemember 'db_datawriter', 'Helper'");
  auto helper = ConnectSqlServerInstance(Params("Erp", "Helper", "pw"));
  EXPECT_EQ(CaughtDriverError([&] { helper->Execute("exec sp_addrolemember 'db_owner', 'Helper'"); }).NativeError(),
            15247);
}

// A sysadmin that creates the target database owns it, so its login is dbo
// there; handing the database to sa frees the login for a user of its own.
TEST_F(SqlServerPrincipalsTest, ChangeDbOwnerHandsTheDatabaseOver) {
  c_->Execute("create login [AD] with password = 'pw' exec sp_addsrvrolemember 'AD', 'sysadmin'");
  auto ad = ConnectSqlServerInstance(Params("master", "AD", "pw"));
  ad->Execute("create database [Nortiva55]");
  ad->Execute("use [Nortiva55]");
  EXPECT_EQ(CaughtDriverError([&] { ad->Execute("create user [AD] for login [AD]"); }).NativeError(), 15063);

  ad->Execute("exec sp_changedbowner 'sa'");
  EXPECT_EQ(SqlServerInstance::Open(Dir()).DatabaseOwner("Nortiva55"), "sa");
  EXPECT_EQ(Scalar(*ad, "select suser_sname(owner_sid) from sys.databases where name = db_name()").AsText(), "sa");
  EXPECT_EQ(Scalar(*ad, "select suser_sname(sid) from sys.database_principals where name = 'dbo'").AsText(), "sa");
  ad->Execute("create user [AD] for login [AD]");
  ad->Execute("exec sp_changedbowner @loginame = 'sa'");  // the owner already: nothing changes

  struct Case {
    const char* sql;
    int number;
    const char* message;
  };
  const Case cases[] = {
      {"exec sp_changedbowner 'AD'", 15110,
       "The proposed new database owner is already a user or aliased in the database."},
      {"exec sp_changedbowner 'Nobody'", 15151,
       "Cannot find the principal 'Nobody', because it does not exist or you do not have permission."},
      {"use master exec sp_changedbowner 'AD'", 15109,
       "Cannot change the owner of the master, model, tempdb or distribution database."},
  };
  for (const Case& c : cases) {
    const auto e = CaughtDriverError([&] { ad->Execute(c.sql); });
    EXPECT_EQ(e.NativeError(), c.number) << c.sql;
    EXPECT_EQ(e.ServerMessage(), c.message) << c.sql;
  }
}

// The statements that give one ERP user its access, as the migration sends
// them, run a second time without failing and without changing the login.
TEST_F(SqlServerPrincipalsTest, LoginScriptOfAUserRunsAgain) {
  const std::vector<std::string> script = {
      "if not exists(select * from sys.sql_logins where name = 'MARA')   create login [MARA] with password = "
      "'W1W2', Check_Policy = OFF ",
      "if not exists(select * from sys.database_principals where name = 'MARA' and type_desc = 'SQL_USER')   "
      "create user [MARA] for login [MARA]; ",
      "exec sp_addrolemember @rolename = 'db_owner', @membername = 'MARA'; ",
      "exec sp_addsrvrolemember @loginame = 'MARA', @rolename = 'sysadmin'; ",
      "exec sp_dropsrvrolemember @loginame = 'MARA', @rolename = 'securityadmin'; ",
  };
  for (int run = 0; run < 2; ++run) {
    for (const auto& sql : script) EXPECT_NO_THROW(c_->Execute(sql)) << sql;
  }
  EXPECT_EQ(SqlServerInstance::Open(Dir()).ServerRolesOf("MARA"), std::vector<std::string>{"sysadmin"});
  EXPECT_EQ(DbOwnerMembers(), (std::vector<std::string>{"dbo", "MARA"}));
  EXPECT_NO_THROW(ConnectSqlServerInstance(Params("Erp", "MARA", "W1W2")));
}

}  // namespace
}  // namespace embedded::testing
