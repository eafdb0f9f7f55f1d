#include "drivers/embedded/oracle_connection.h"

#include <gtest/gtest.h>

#include <thread>

#include "drivers/embedded/embedded_driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "tests/support/temp_dir.h"

namespace embedded {
namespace {

class OracleLogin : public ::testing::Test {
 protected:
  void SetUp() override {
    OracleInstance::Create(dir_.path(), "Manager1");
    auto sys = ConnectOracleInstanceAsSysDba(dir_.path());
    sys->Execute("CREATE USER erp IDENTIFIED BY \"Erp Pass\"");
    sys->Execute("CREATE USER clerk IDENTIFIED BY clerk1");
  }

  dac::ConnectParams Params(std::string user, std::string password,
                            dac::ConnectMode mode = dac::ConnectMode::kNormal) const {
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kOracle;
    p.instance_dir = dir_.path().string();
    p.server = "localhost:1521:ORCL";
    p.user = std::move(user);
    p.password = std::move(password);
    p.mode = mode;
    return p;
  }

  std::string SessionValue(dac::Connection& c, const std::string& what) {
    auto cursor = c.Query("select sys_context('USERENV', '" + what + "') from dual");
    std::vector<dac::Row> rows;
    cursor->Fetch(rows, 1);
    return rows.at(0).at(0).AsText();
  }

  testing_support::TempDir dir_;
};

TEST_F(OracleLogin, RefusesAsARealServerDoes) {
  struct Case {
    const char* user;
    const char* password;
    dac::ConnectMode mode;
    int native;
    const char* message;
  };
  const Case cases[] = {
      {"nobody", "x", dac::ConnectMode::kNormal, 1017, "ORA-01017: invalid username/password; logon denied"},
      {"erp", "erp pass", dac::ConnectMode::kNormal, 1017, "ORA-01017: invalid username/password; logon denied"},
      {"sys", "wrong", dac::ConnectMode::kSysDba, 1017, "ORA-01017: invalid username/password; logon denied"},
      {"sys", "Manager1", dac::ConnectMode::kNormal, 28009,
       "ORA-28009: connection as SYS should be as SYSDBA or SYSOPER"},
      {"clerk", "clerk1", dac::ConnectMode::kSysDba, 1031, "ORA-01031: insufficient privileges"},
  };
  for (const Case& c : cases) {
    try {
      ConnectOracleInstance(Params(c.user, c.password, c.mode));
      ADD_FAILURE() << c.user << " logged in";
    } catch (const dac::DriverError& e) {
      EXPECT_EQ(e.ServerMessage(), c.message) << c.user;
      EXPECT_EQ(e.NativeError(), c.native) << c.user;
    }
  }
}

TEST_F(OracleLogin, AcceptsNamesInAnyCaseAndSysOnlyAsSysDba) {
  auto erp = ConnectOracleInstance(Params("Erp", "Erp Pass"));
  EXPECT_EQ(SessionValue(*erp, "SESSION_USER"), "ERP");
  EXPECT_EQ(SessionValue(*erp, "CURRENT_SCHEMA"), "ERP");

  auto sys = ConnectOracleInstance(Params("SYS", "Manager1", dac::ConnectMode::kSysDba));
  EXPECT_EQ(SessionValue(*sys, "SESSION_USER"), "SYS");
  // SYSTEM is an ordinary account that may log in normally.
  EXPECT_NO_THROW(ConnectOracleInstance(Params("system", "Manager1")));
}

TEST_F(OracleLogin, MakesTheRequestedSchemaCurrent) {
  auto p = Params("clerk", "clerk1");
  p.database = "erp";
  auto c = ConnectOracleInstance(p);
  EXPECT_EQ(SessionValue(*c, "CURRENT_SCHEMA"), "ERP");
  EXPECT_EQ(SessionValue(*c, "SESSION_USER"), "CLERK");

  p.database = "nosuchschema";
  try {
    ConnectOracleInstance(p);
    ADD_FAILURE() << "an unknown schema was accepted";
  } catch (const dac::DriverError& e) {
    EXPECT_EQ(e.ServerMessage(), "ORA-01435: user does not exist");
  }
}

TEST_F(OracleLogin, AFolderWithoutInstanceIsAnUnreachableServer) {
  auto p = Params("erp", "Erp Pass");
  p.instance_dir = (dir_.path() / "missing").string();
  try {
    ConnectOracleInstance(p);
    ADD_FAILURE() << "connected to nothing";
  } catch (const dac::DriverError& e) {
    EXPECT_EQ(e.ServerMessage(), "ORA-12541: TNS:no listener");
    EXPECT_EQ(e.NativeError(), 12541);
  }
}

TEST_F(OracleLogin, TheEmbeddedDriverIsRegisteredOnceByName) {
  RegisterEmbeddedDriver();
  RegisterEmbeddedDriver();
  auto driver = dac::FindDriver("Embedded");
  EXPECT_EQ(driver->Name(), "embedded");
  auto c = driver->Connect(Params("erp", "Erp Pass"));
  EXPECT_TRUE(c->Supports(dac::Feature::kRecordCount));
  EXPECT_NE(c->ServerVersion().find("19."), std::string::npos);
}

TEST_F(OracleLogin, PasswordChangesTakeEffect) {
  auto sys = ConnectOracleInstanceAsSysDba(dir_.path());
  sys->Execute("ALTER USER clerk IDENTIFIED BY New2");
  EXPECT_THROW(ConnectOracleInstance(Params("clerk", "clerk1")), dac::DriverError);
  EXPECT_NO_THROW(ConnectOracleInstance(Params("clerk", "New2")));
}

TEST_F(OracleLogin, OnlyAdministratorsManageUsers) {
  auto clerk = ConnectOracleInstance(Params("clerk", "clerk1"));
  try {
    clerk->Execute("CREATE USER intruder IDENTIFIED BY x");
    ADD_FAILURE() << "a plain user created a user";
  } catch (const dac::DriverError& e) {
    EXPECT_EQ(e.ServerMessage(), "ORA-01031: insufficient privileges");
  }
}

}  // namespace
}  // namespace embedded
