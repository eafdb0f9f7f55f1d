#include <gtest/gtest.h>

#include "dac/ms_connection.h"
#include "dac/ms_query.h"
#include "dac/ora_query.h"
#include "dac/ora_session.h"
#include "fake_server.h"
#include "platform/abort.h"

namespace dac {
namespace {

using testing::Col;
using testing::FakeDriver;
using testing::FakeServer;

TEST(OraSession, HandsItsSettingsToTheDriverAndTellsConnectChanges) {
  FakeServer server;
  OraSession session;
  session.SetDriver(std::make_shared<FakeDriver>(server));
  session.Server = "db1:1521:ORCL";
  session.Username = "sys";
  session.Password = "secret";
  session.Schema = "ERP";
  session.ConnectMode = OraConnectMode::cmSysDBA;
  session.Options.Direct = true;
  session.Options.Charset = "EE8MSWIN1250";
  session.InstanceDir = "/srv/ora";
  session.OdbcDriver = "Oracle 21";
  std::vector<bool> changes;
  session.OnConnectChange = [&](OraSession& sender, bool connected) {
    EXPECT_EQ(&sender, &session);
    EXPECT_EQ(sender.Connected(), connected);
    changes.push_back(connected);
  };
  session.Open();
  session.Open();
  session.Close();
  session.Close();
  ASSERT_EQ(server.logins.size(), 1u);
  const ConnectParams& p = server.logins[0];
  EXPECT_EQ(p.kind, ServerKind::kOracle);
  EXPECT_EQ(p.server, "db1:1521:ORCL");
  EXPECT_EQ(p.user, "sys");
  EXPECT_EQ(p.password, "secret");
  EXPECT_EQ(p.database, "ERP");
  EXPECT_EQ(p.mode, ConnectMode::kSysDba);
  EXPECT_TRUE(p.direct);
  EXPECT_EQ(p.charset, "EE8MSWIN1250");
  EXPECT_EQ(p.instance_dir, "/srv/ora");
  EXPECT_EQ(p.odbc_driver, "Oracle 21");
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
}

TEST(MSConnection, ConnectEventsAndARefusedLoginWithItsServerText) {
  FakeServer server;
  server.refuse_login = [](const ConnectParams& p) -> std::optional<std::string> {
    if (p.password != "good") return "Login failed for user '" + p.user + "'.";
    return std::nullopt;
  };
  MSConnection connection;
  connection.SetDriver(std::make_shared<FakeDriver>(server));
  connection.Server = "sql1";
  connection.Database = "master";
  connection.Username = "sa";
  connection.Password = "bad";
  std::vector<std::string> log;
  connection.BeforeConnect = [&](DAConnection&) { log.push_back("BeforeConnect"); };
  connection.AfterConnect = [&](DAConnection& c) { log.push_back(c.Connected() ? "AfterConnect open" : "?"); };
  connection.BeforeDisconnect = [&](DAConnection&) { log.push_back("BeforeDisconnect"); };
  connection.AfterDisconnect = [&](DAConnection& c) { log.push_back(c.Connected() ? "?" : "AfterDisconnect closed"); };
  try {
    connection.Open();
    ADD_FAILURE() << "login accepted";
  } catch (const DriverError& e) {
    EXPECT_NE(std::string(e.what()).find("Login failed for user 'sa'."), std::string::npos);
  }
  EXPECT_FALSE(connection.Connected());
  connection.Password = "good";
  connection.SetConnected(true);
  EXPECT_EQ(connection.ServerVersion(), "16.00.1000");
  EXPECT_EQ(server.logins.back().kind, ServerKind::kSqlServer);
  EXPECT_EQ(server.logins.back().database, "master");
  connection.SetConnected(false);
  EXPECT_EQ(connection.ServerVersion(), "");
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "BeforeConnect", "AfterConnect open", "BeforeDisconnect",
                                           "AfterDisconnect closed"}));
}

TEST(MSConnection, OnErrorMayTurnARefusedLoginIntoTheSilentAbort) {
  FakeServer server;
  server.refuse_login = [](const ConnectParams&) { return std::optional<std::string>("Login failed for user 'x'."); };
  MSConnection connection;
  connection.SetDriver(std::make_shared<FakeDriver>(server));
  connection.OnError = [](DAConnection&, const DriverError&, bool& fail) { fail = false; };
  EXPECT_THROW(connection.Open(), platform::EAbort);
}

TEST(MSConnection, DriverIsFoundByNameWhenNoneIsGiven) {
  FakeServer server;
  RegisterDriver(std::make_shared<FakeDriver>(server));
  MSConnection connection;
  connection.DriverName = "FAKE";
  connection.Open();
  EXPECT_TRUE(connection.Connected());
  connection.DriverName = "nonesuch";
  connection.Close();
  EXPECT_THROW(connection.Open(), UsageError);
}

TEST(MSConnection, TransactionsAndStatementsNeedAnOpenConnection) {
  FakeServer server;
  MSConnection connection;
  connection.SetDriver(std::make_shared<FakeDriver>(server));
  EXPECT_THROW(connection.StartTransaction(), DatabaseError);
  EXPECT_THROW(connection.ExecSQL("select 1"), DatabaseError);
  EXPECT_FALSE(connection.InTransaction());
  connection.Open();
  connection.StartTransaction();
  EXPECT_TRUE(connection.InTransaction());
  connection.Commit();
  EXPECT_FALSE(connection.InTransaction());
  connection.StartTransaction();
  connection.Close();  // an unfinished transaction is rolled back, not left behind
  connection.Open();
  EXPECT_FALSE(connection.InTransaction());
}

TEST(MSConnection, ClosingClosesItsQueriesAndDestroyingLeavesThemWithout) {
  FakeServer server;
  server.AddTable("tX", {Col("a", FieldType::ftInteger)}).rows = {{Value(1)}};
  MSQuery query;
  {
    MSConnection connection;
    connection.SetDriver(std::make_shared<FakeDriver>(server));
    connection.Open();
    query.SetConnection(&connection);
    query.SQL.SetText("select * from tX");
    query.Open();
    connection.Close();
    EXPECT_FALSE(query.Active());
    EXPECT_THROW(query.Open(), DatabaseError);
    connection.Open();
    query.Open();
  }
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(query.Connection(), nullptr);
  EXPECT_THROW(query.Open(), DatabaseError);
}

}  // namespace
}  // namespace dac
