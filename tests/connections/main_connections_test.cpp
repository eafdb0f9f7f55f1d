#include <gtest/gtest.h>

#include "connections/database_password.h"
#include "tests/connections/connections_fixture.h"

namespace app {
namespace {

using connections::DeriveDatabasePassword;
using connections_testing::Fixture;
using dac::ServerKind;

TEST(ConnectOracle, ServerStringsUsersAndModes) {
  struct Case {
    int connection_type;
    const char* user;
    const char* server;
    bool direct;
    bool sysdba;
    bool typed_password;
  };
  const Case cases[] = {
      {0, "erp", "db1:1521:ORCL", true, false, false},
      {1, "erp", "db1:1521/ORCL", false, false, false},
      {0, "SYS", "db1:1521:ORCL", true, true, true},
      {1, "System", "db1:1521/ORCL", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    Fixture fx;
    fx.form.rgORAConnectionType.item_index = c.connection_type;
    fx.form.eORAHost.text = " db1 ";
    fx.form.eORAPort.text = "1521 ";
    fx.form.eORASID.text = " ORCL";
    fx.form.eORAUsername.text = c.user;
    fx.form.eORAPassword.text = "Secret1";
    fx.form.bProcessClick();

    const auto logins = fx.Logins(ServerKind::kOracle);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].server, c.server);
    EXPECT_EQ(logins[0].direct, c.direct);
    EXPECT_EQ(logins[0].mode, c.sysdba ? dac::ConnectMode::kSysDba : dac::ConnectMode::kNormal);
    EXPECT_EQ(logins[0].password, c.typed_password ? "Secret1" : DeriveDatabasePassword("Secret1", true));
    EXPECT_EQ(logins[0].user, c.user);
    EXPECT_EQ(logins[0].database, "Nortiva55");
    EXPECT_EQ(logins[0].charset, "EE8MSWIN1250");
  }
}

TEST(ConnectSQLServer, PasswordsAndDatabases) {
  for (const char* user : {"SA", "AD"}) {
    SCOPED_TRACE(user);
    Fixture fx;
    fx.form.eSQLUsername.text = user;
    fx.form.eSQLPassword.text = "pw";
    fx.form.eSQLServer.text = " srv\\inst";
    fx.form.bProcessClick();
    const auto logins = fx.Logins(ServerKind::kSqlServer);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[0].database, "master");
    EXPECT_EQ(logins[1].database, "Nortiva55");
    EXPECT_EQ(logins[0].server, " srv\\inst");  // as typed, untrimmed
    EXPECT_EQ(logins[0].password, std::string(user) == "SA" ? "pw" : DeriveDatabasePassword("pw", true));
  }
}

TEST(Connect, RefusedLoginIsRetriedWithThePlainFormWithoutALogEntry) {
  struct Case {
    ServerKind kind;
    const char* refusal;
  };
  const Case cases[] = {
      {ServerKind::kOracle, "ORA-01017: invalid username/password; logon denied"},
      {ServerKind::kSqlServer, "Login failed for user 'AD'."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    Fixture fx;
    fx.form.eORAUsername.text = "erp";
    fx.form.eORAPassword.text = "pw";
    fx.form.eSQLPassword.text = "pw";
    const std::string plain = DeriveDatabasePassword("pw", false);
    fx.server.refuse_login = [&](const dac::ConnectParams& p) -> std::optional<std::string> {
      if (p.kind == c.kind && p.password != plain) return std::string(c.refusal);
      return std::nullopt;
    };
    fx.form.bProcessClick();
    EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kFinished);
    const auto logins = fx.Logins(c.kind);
    ASSERT_GE(logins.size(), 2u);
    EXPECT_EQ(logins[0].password, DeriveDatabasePassword("pw", true));
    EXPECT_EQ(logins[1].password, plain);
    EXPECT_FALSE(fx.LogHas("QARNETH Error"));
    EXPECT_TRUE(fx.form.cbORAOpen.checked);
    EXPECT_TRUE(fx.form.cbSQLOpen.checked);
  }
}

TEST(Connect, OtherErrorsAndFailedRetriesEndTheRun) {
  struct Case {
    ServerKind kind;
    const char* refusal;
    std::size_t attempts;
  };
  const Case cases[] = {
      {ServerKind::kOracle, "ORA-12541: TNS:no listener", 1},
      {ServerKind::kOracle, "ORA-01017: invalid username/password; logon denied", 2},
      {ServerKind::kSqlServer, "Unable to connect: Adaptive Server is unavailable or does not exist", 1},
      {ServerKind::kSqlServer, "Login failed for user 'AD'.", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    Fixture fx;
    fx.server.refuse_login = [&](const dac::ConnectParams& p) -> std::optional<std::string> {
      if (p.kind == c.kind) return std::string(c.refusal);
      return std::nullopt;
    };
    fx.form.Dispatch([&] { fx.form.bProcessClick(); });
    EXPECT_EQ(fx.Logins(c.kind).size(), c.attempts);
    EXPECT_EQ(fx.host.Errors(), std::vector<std::string>{c.refusal});
    EXPECT_TRUE(fx.LogHas(std::string("QARNETH Error: ") + c.refusal)) << "the log says why the run stopped";
    EXPECT_FALSE(fx.LogHas("QARNETH Finish at"));
    EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kFailed);
  }
}

TEST(Connect, AConnectionClosedRightAfterItsOpenIsLoggedWithoutThePassword) {
  Fixture fx;
  fx.form.eORAUsername.text = "erp";
  fx.form.eORAPassword.text = "TopSecret";
  fx.form.eSQLPassword.text = "TopSecret";
  fx.form.orasORA.AfterConnect = [](dac::DAConnection& c) { c.Close(); };
  fx.form.mscSQL.AfterConnect = [](dac::DAConnection& c) { c.Close(); };
  fx.form.bProcessClick();
  EXPECT_TRUE(fx.LogHas("QARNETH Error: ORACLE connection failed (Server:Localhost:1521:ORCL,Username:erp,Password:*****)"));
  EXPECT_TRUE(fx.LogHas("QARNETH Error: MS SQL connection failed (Server:Localhost,Database:Nortiva55,Username:AD,Password:*****)"));
  EXPECT_FALSE(fx.LogHas("TopSecret"));
  EXPECT_FALSE(fx.LogHas("ORACLE connect as"));  // the identity lines need both connections
  EXPECT_TRUE(fx.LogHas("QARNETH Finish at"));
}

TEST(Connect, IdentityLinesAndMarks) {
  Fixture fx;
  fx.form.eORAUsername.text = "erp";
  fx.form.bProcessClick();
  const auto log = fx.Log();
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[4], "ORACLE connect as erp on Localhost:1521:ORCL.Nortiva55, Build: 5 Revision: 12");
  EXPECT_EQ(log[5], "MSSQL connect as AD on Localhost.Nortiva55");
  EXPECT_TRUE(fx.form.cbORAOpen.checked);
  EXPECT_TRUE(fx.form.cbSQLOpen.checked);
  fx.form.FormClose();
  EXPECT_FALSE(fx.form.cbORAOpen.checked);
  EXPECT_FALSE(fx.form.cbSQLOpen.checked);
}

TEST(Connect, ParameterTableWithoutRowsLeavesTheBuildTextEmpty) {
  Fixture fx;
  fx.server.Table("tVX_SysParamSys").rows.clear();
  fx.form.bProcessClick();
  EXPECT_TRUE(fx.LogHas("ORACLE connect as sys on Localhost:1521:ORCL.Nortiva55, "));
  EXPECT_EQ(fx.Log()[4], "ORACLE connect as sys on Localhost:1521:ORCL.Nortiva55, ");
}

}  // namespace
}  // namespace app
