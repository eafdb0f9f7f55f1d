#include <gtest/gtest.h>

#include "tests/connections/connections_fixture.h"

namespace app {
namespace {

using connections_testing::Fixture;
using connections_testing::HookedMain;
using dac::ServerKind;

TEST(ThreadConnections, SevenPairsCopyTheMainLoginsAndAFailedSlotIsLogged) {
  Fixture fx;
  fx.form.eORAUsername.text = "erp";
  fx.form.eORAPassword.text = "TopSecret";
  int oracle_logins = 0;
  fx.server.refuse_login = [&](const dac::ConnectParams& p) -> std::optional<std::string> {
    // The main session is the first Oracle login; slot 3 is the fourth.
    if (p.kind == ServerKind::kOracle && ++oracle_logins == 4) return std::string("ORA-12519: TNS:no appropriate service handler found");
    return std::nullopt;
  };
  std::vector<bool> oracle_open, sql_open;
  fx.form.during_run = [&](HookedMain& f) {
    f.OpenThreadConnections();
    for (int i = 1; i <= 7; ++i) {
      ASSERT_TRUE(f.OracleSessions[i]);
      ASSERT_TRUE(f.SqlServerConnections[i]);
      oracle_open.push_back(f.OracleSessions[i]->Connected());
      sql_open.push_back(f.SqlServerConnections[i]->Connected());
      EXPECT_EQ(f.OracleSessions[i]->Password, f.orasORA.Password);
      EXPECT_EQ(f.OracleSessions[i]->Options.Charset, "");
      EXPECT_EQ(f.SqlServerConnections[i]->Database, "Nortiva55");
    }
    f.CloseThreadConnections();
    for (int i = 1; i <= 7; ++i) {
      EXPECT_FALSE(f.OracleSessions[i]);
      EXPECT_FALSE(f.SqlServerConnections[i]);
    }
  };
  fx.form.bProcessClick();
  EXPECT_EQ(oracle_open, (std::vector<bool>{true, true, false, true, true, true, true}));
  EXPECT_EQ(sql_open, std::vector<bool>(7, true));
  EXPECT_TRUE(fx.LogHas("QARNETH Error: ORACLE connection failed (Thread 3, Server:Localhost:1521:ORCL,Username:erp,Password:*****)"));
  EXPECT_TRUE(fx.LogHas("ORA-12519: TNS:no appropriate service handler found"));
  EXPECT_FALSE(fx.LogHas("TopSecret"));
  EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kFinished);
}

TEST(ThreadConnections, NothingWithoutMultithreading) {
  Fixture fx;
  fx.form.cbMultiThread.checked = false;
  bool any = false;
  fx.form.during_run = [&](HookedMain& f) {
    f.cbMultiThread.checked = true;  // read once per run: a change during the run does not count
    f.OpenThreadConnections();
    for (int i = 0; i <= 7; ++i) any = any || f.OracleSessions[i] || f.SqlServerConnections[i];
    f.CloseThreadConnections();
  };
  fx.form.bProcessClick();
  EXPECT_FALSE(any);
  EXPECT_EQ(fx.Logins(ServerKind::kOracle).size(), 1u);
}

}  // namespace
}  // namespace app
