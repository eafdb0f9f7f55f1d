#include "dac/ms_script.h"

#include <gtest/gtest.h>

#include "fake_server.h"
#include "platform/error_display.h"
#include "tests/support/temp_dir.h"

namespace dac {
namespace {

using testing::FakeDriver;
using testing::FakeServer;

class MSScriptTest : public ::testing::Test {
 protected:
  MSScriptTest() {
    connection.SetDriver(std::make_shared<FakeDriver>(server));
    connection.Open();
    script.SetConnection(&connection);
    platform::SetErrorDisplay([this](const std::string& message) { shown.push_back(message); });
  }
  ~MSScriptTest() override { platform::SetErrorDisplay(nullptr); }

  FakeServer server;
  MSConnection connection;
  MSScript script;
  std::vector<std::string> shown;
};

TEST_F(MSScriptTest, SendsEachBatchWholeWithBeforeExecuteFirst) {
  script.SQL.SetText("create table a (x int)\r\ninsert into a values (1)\r\ngo\r\n\r\nGO\r\nselect 1\r\ngo\r\nselect 2");
  std::vector<std::string> before;
  script.BeforeExecute = [&](MSScript& sender, std::string& sql, bool& omit) {
    EXPECT_EQ(&sender, &script);
    before.push_back(sql);
    if (sql == "select 1") omit = true;
    if (sql == "select 2") sql = "select 3";
  };
  script.Execute();
  EXPECT_EQ(before, (std::vector<std::string>{"create table a (x int)\r\ninsert into a values (1)", "select 1",
                                              "select 2"}));
  EXPECT_EQ(server.statements,
            (std::vector<std::string>{"create table a (x int)\r\ninsert into a values (1)", "select 3"}));
}

TEST_F(MSScriptTest, RefusedBatchFollowsTheErrorAction) {
  struct Case {
    std::optional<ErrorAction> action;  // nothing: no handler
    std::vector<std::string> sent;
    std::size_t shown;
    bool throws;
  };
  const Case cases[] = {
      {std::nullopt, {"ok 1", "  bad  ", "ok 2"}, 1, false},
      {ErrorAction::eaException, {"ok 1", "  bad  ", "ok 2"}, 1, false},
      {ErrorAction::eaContinue, {"ok 1", "  bad  ", "ok 2"}, 0, false},
      {ErrorAction::eaAbort, {"ok 1", "  bad  "}, 0, false},
      {ErrorAction::eaFail, {"ok 1", "  bad  "}, 0, true},
  };
  server.refuse_statement = [](const std::string& sql) -> std::optional<std::string> {
    if (sql.find("bad") != std::string::npos) return "Incorrect syntax near 'bad'.";
    return std::nullopt;
  };
  script.SQL.SetText("ok 1\ngo\n  bad  \ngo\nok 2");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action ? static_cast<int>(*c.action) : -1);
    server.statements.clear();
    shown.clear();
    std::vector<std::string> errors;
    script.OnError = nullptr;
    if (c.action) {
      script.OnError = [&](MSScript&, const std::exception& e, const std::string& sql, ErrorAction& action) {
        EXPECT_EQ(action, ErrorAction::eaException);
        errors.push_back(sql + ": " + e.what());
        action = *c.action;
      };
    }
    if (c.throws) {
      EXPECT_THROW(script.Execute(), DriverError);
    } else {
      script.Execute();
    }
    EXPECT_EQ(server.statements, c.sent);
    EXPECT_EQ(shown.size(), c.shown);
    if (c.shown) {
      EXPECT_EQ(shown[0], "Incorrect syntax near 'bad'.");
    }
    if (c.action) {
      EXPECT_EQ(errors, std::vector<std::string>{"bad: Incorrect syntax near 'bad'."});
    }
  }
}

TEST_F(MSScriptTest, LoadsAFileAndNeedsAnOpenConnection) {
  testing_support::TempDir dir;
  const auto path = dir / "script.sql";
  testing_support::WriteFile(path, "\xEF\xBB\xBFselect 1\r\ngo\r\nselect 2\r\n");
  script.SQL.LoadFromFile(path);
  std::filesystem::remove(path);
  script.Execute();
  EXPECT_EQ(server.statements, (std::vector<std::string>{"select 1", "select 2"}));
  EXPECT_THROW(script.SQL.LoadFromFile(path), std::runtime_error);
  connection.Close();
  EXPECT_THROW(script.Execute(), DatabaseError);
}

}  // namespace
}  // namespace dac
