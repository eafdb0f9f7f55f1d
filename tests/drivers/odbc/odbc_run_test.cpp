// Whole runs through the ODBC driver: the source on the PostgreSQL server of
// pg-cluster, dressed as the ERP's Oracle schema, and the target on an embedded
// SQL Server; and a run whose SQL Server address has nobody listening.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "connections/database_password.h"
#include "drivers/odbc/odbc_driver.h"
#include "schema/sql_names.h"
#include "tests/drivers/odbc/pg_source.h"
#include "tests/support/embedded_run.h"

namespace app {
namespace {

using ::testing::HasSubstr;
using testing_support::EmbeddedRun;

constexpr const char* kTypedPassword = "nortiva";

// The ERP keeps its schema owner's password in the scrambled form a run
// derives from what the operator types; the fixture's owner gets it here.
void StoreScrambledOwnerPassword() {
  auto c = odbc::ConnectOdbc(odbc::testing::PgSource());
  c->Execute("alter role \"NORTIVA\" password '" +
             schema::QuoteText(connections::DeriveDatabasePassword(kTypedPassword, true)) + "'");
}

dac::ConnectParams Source() {
  dac::ConnectParams p = odbc::testing::PgSource();
  p.password = connections::DeriveDatabasePassword(kTypedPassword, true);
  return p;
}

// Points the run's Oracle side at the PostgreSQL source through ODBC.
void UsePgSource(EmbeddedRun& r) {
  const std::string server = odbc::testing::RequiredEnv("MIGRATOR_PG_SERVER");  // host:port:SID
  const auto first = server.find(':');
  const auto second = server.find(':', first + 1);
  r.form.eORAHost.text = server.substr(0, first);
  r.form.eORAPort.text = server.substr(first + 1, second - first - 1);
  r.form.eORASID.text = server.substr(second + 1);
  r.form.rgORAConnectionType.item_index = 0;
  r.form.eORAUsername.text = odbc::testing::RequiredEnv("MIGRATOR_PG_USER");
  r.form.eORAPassword.text = kTypedPassword;
  r.form.eORADatabaseName.text = odbc::testing::RequiredEnv("MIGRATOR_PG_SCHEMA");
  r.form.eSQLDatabase.text = "Nortiva55";
  r.form.Drivers.Oracle = "odbc";
  r.form.Drivers.OracleOdbcDriver = odbc::testing::RequiredEnv("MIGRATOR_PG_ODBC_DRIVER");
}

// Every row of a source query, each value in its text form.
std::vector<std::vector<std::string>> SourceRows(const std::string& sql) {
  auto c = odbc::ConnectOdbc(Source());
  std::vector<std::vector<std::string>> out;
  for (const auto& r : odbc::testing::AllRows(*c, sql)) {
    std::vector<std::string> texts;
    for (const auto& v : r) texts.push_back(v.IsNull() ? "NULL" : v.ToText());
    out.push_back(std::move(texts));
  }
  return out;
}

TEST(OdbcRun, EveryStepFromThePostgreSqlSourceIntoTheEmbeddedTarget) {
  odbc::RegisterOdbcDriver();
  ODBC_ASSERT_OK(StoreScrambledOwnerPassword());
  for (bool multi_thread : {false, true}) {
    SCOPED_TRACE(multi_thread ? "seven workers" : "one thread");
    EmbeddedRun r(testing_support::kMinimalErpSource);
    for (const char* script : {"MigrateVerifyB.sql", "MigrateVerifyA.sql", "MigrateSupportObjects.sql"}) {
      std::filesystem::copy_file(std::filesystem::path(MIGRATOR_SOURCE_DIR) / "sql" / script, r.dir / script);
    }
    UsePgSource(r);
    r.form.AutoRun = true;
    r.form.cbMultiThread.checked = multi_thread;
    r.Run();
    ASSERT_EQ(r.form.LastOutcome(), RunOutcome::kFinished) << testing_support::ReadFile(r.form.LastRunLogName());

    const std::string b = "=====================";
    const std::string oracle = "ORACLE connect as NORTIVA on " + odbc::testing::RequiredEnv("MIGRATOR_PG_SERVER") +
                               ".NORTIVA, Build: 5512 Revision: 3";
    const std::string mssql = "MSSQL connect as sa on " + r.servers.sqlserver_dir.string() + ".Nortiva55";
    const std::vector<std::string> expected = {
        "VORANTEX™5.5 ORACLE to MSSQL migrator - Nortiva, Build: 1",
        b, "QARNETH Process Start at: <time>", b,
        b, "Create Users Start at: <time>", b,
        b, "Create Users Finish at: <time>", b,
        oracle, mssql,
        b, "Create Tables Start at: <time>", b,
        b, "Create Tables Finish at: <time>", b,
        b, "Copy Rows Start at: <time>", b,
        b, "Copy Rows Finish at: <time>", b,
        b, "Verify Start at: <time>", b,
        b,
        "acTableName                    acStatus                       anOracleRows anTargetRows anOracleColumns anTargetColumns ",
        "------------------------------ ------------------------------ ------------ ------------ --------------- --------------- ",
        "TVX_REPORTS                    FILTERED                                  3            2               2               2 ",
        "tVX_SysTables                  FILTERED                                  5            4               3               3 ",
        "tVX_SysTableStr                FILTERED                                  5            5               4               4 ",
        "tHE_Move                       OK                                     5000         5000               5               5 ",
        "tHE_SetItem                    OK                                        3            3              12              12 ",
        "tHE_SetSubjContact             OK                                        4            4               4               4 ",
        "TVX_SYSCONSTRAINTERRLOG        OK                                        0            0               2               2 ",
        "TVX_SYSPARAMSYS                OK                                        1            1               2               2 ",
        "TVX_SYSUPGRADETIMELOG          OK                                        2            2               3               3 ",
        b,
        b, "Verify Finish at: <time>", b,
        b, "Supporting Objects Start at: <time>", b,
        b, "Supporting Objects Finish at: <time>", b,
        b, "QARNETH Finish at: <time>", b,
    };
    EXPECT_EQ(testing_support::WithTimesMasked(r.Log()), expected);
    for (const CheckBox* done : r.DoneMarks()) EXPECT_TRUE(done->checked) << done->name;

    // The values themselves. What no field rule touches arrives exactly;
    // money, tinyint and datetime are clamped, a short text's trailing blanks
    // are dotted, and datetime keeps milliseconds.
    const std::string move = "select acKey, acDocType, adDate, anValue, acIssuer from tHE_Move order by acKey";
    EXPECT_EQ(r.Rows("Nortiva55", move), SourceRows(move));
    EXPECT_EQ(r.Rows("Nortiva55", "select acIdent, acName, acUM, anPrice, anQty, anVAT, anWeight, anPacking, "
                                  "adChanged, adTimeStamp, datalength(acNote), abPicture from tHE_SetItem order by acIdent"),
              (std::vector<std::vector<std::string>>{
                  {"100", "Bolt M6..", "PCS", "0.1234", "1000.000000", "22.00", "0.005", "100",
                   "2020-01-15 10:30:00", "2020-01-15 10:30:00.123", "NULL", "NULL"},
                  {"200", "Grüner Tee — 100 g", "BOX", "922337203685477.0000", "0.000001", "9.50", "1e+300", "0",
                   "1900-01-01 00:00:00", "NULL", "4", std::string("\0\xFF\x10", 3)},
                  {"300", " ", "   ", "-922337203685477.0000", "NULL", "NULL", "NULL", "255",
                   "2079-06-05 00:00:00", "2079-06-04 23:00:00", "100000", "NULL"},
              }));
    // The logins of the active ERP users with a role on the source.
    EXPECT_EQ(r.Rows("master", "select name from sys.server_principals where name in ('ANNA', 'BORIS', 'CLARA') "
                               "order by name"),
              (std::vector<std::vector<std::string>>{{"ANNA"}, {"BORIS"}}));
  }
}

TEST(OdbcRun, SqlServerWhereNoneListensEndsTheRunWithFreeTdsOwnMessage) {
  odbc::RegisterOdbcDriver();
  EmbeddedRun r(testing_support::kMinimalErpSource);
  UsePgSource(r);
  r.form.eSQLServer.text = "127.0.0.1," + std::to_string(odbc::testing::UnusedPort());
  r.form.Drivers.SQLServer = "odbc";
  r.form.AutoRun = true;
  r.Run();

  EXPECT_EQ(r.form.LastOutcome(), RunOutcome::kFailed);
  ASSERT_EQ(r.host.Errors().size(), 1u);
  const std::string shown = r.host.Errors().front();
  EXPECT_THAT(shown, HasSubstr("[FreeTDS]"));
  EXPECT_THAT(shown, HasSubstr("Unable to connect"));
  EXPECT_TRUE(r.LogHas(shown))
      << "the run log holds the driver's message as the error box shows it";
  EXPECT_FALSE(r.LogHas("QARNETH Finish at"));
  EXPECT_FALSE(r.LogHas("sa-secret"));
}

}  // namespace
}  // namespace app
