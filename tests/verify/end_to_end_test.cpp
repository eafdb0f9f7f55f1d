// Every step of a run on the fixture source, with the installation's own SQL
// scripts beside the program, on one thread and on the workers.
#include <gtest/gtest.h>

#include "tests/support/embedded_run.h"

namespace app {
namespace {

using testing_support::EmbeddedRun;

TEST(EndToEnd, EveryStepOnTheFixtureWritesTheWholeLogInOrder) {
  for (bool multi_thread : {false, true}) {
    SCOPED_TRACE(multi_thread ? "seven workers" : "one thread");
    EmbeddedRun r;
    for (const char* script : {"MigrateVerifyB.sql", "MigrateVerifyA.sql", "MigrateSupportObjects.sql"}) {
      std::filesystem::copy_file(std::filesystem::path(MIGRATOR_SOURCE_DIR) / "sql" / script, r.dir / script);
    }
    r.form.AutoRun = true;
    r.form.cbMultiThread.checked = multi_thread;
    r.Run();
    ASSERT_EQ(r.form.LastOutcome(), RunOutcome::kFinished) << testing_support::ReadFile(r.form.LastRunLogName());

    const std::string b = "=====================";
    const std::string oracle = "ORACLE connect as sys on " + r.servers.oracle_dir.string() +
                               ":1521:ORCL.Nortiva55, Build: 5500 Revision: 12";
    const std::string mssql = "MSSQL connect as sa on " + r.servers.sqlserver_dir.string() + ".Nortiva55";
    const std::vector<std::string> expected = {
        "VORANTEX™5.5 ORACLE to MSSQL migrator - Nortiva, Build: 1",
        b, "QARNETH Process Start at: <time>", b,
        b, "Create Users Start at: <time>", b,
        b, "Create Users Finish at: <time>", b,
        oracle, mssql,
        b, "Create Tables Start at: <time>", b,
        "QARNETH-00001: unknown datatype 'NVARCHAR2' for column ACWIDE in table THE_SETITEM", "",
        b, "Create Tables Finish at: <time>", b,
        b, "Copy Rows Start at: <time>", b,
        b, "Copy Rows Finish at: <time>", b,
        b, "Verify Start at: <time>", b,
        b,
        "acTableName                    acStatus                       anOracleRows anTargetRows anOracleColumns anTargetColumns ",
        "------------------------------ ------------------------------ ------------ ------------ --------------- --------------- ",
        // The column the target cannot hold is the one difference, and it comes first.
        "tHE_SetItem                    DIFFERENT                                 1            1              25              24 ",
        "TVX_REPORTS                    FILTERED                                  1            1               2               2 ",
        "TVX_SYSTABLES                  FILTERED                                  2            0               2               2 ",
        "TVX_SYSTABLESTR                FILTERED                                  4            0               4               4 ",
        "THE_MOVE                       OK                                        1            1               4               4 ",
        "tHE_SetSubjContact             OK                                        8            8               3               3 ",
        "TVX_SYSCONSTRAINTERRLOG        OK                                        0            0               2               2 ",
        "TVX_SYSPARAMSYS                OK                                        1            1               2               2 ",
        "TVX_SYSUPGRADETIMELOG          OK                                        1            1               2               2 ",
        b,
        b, "Verify Finish at: <time>", b,
        b, "Supporting Objects Start at: <time>", b,
        b, "Supporting Objects Finish at: <time>", b,
        b, "QARNETH Finish at: <time>", b,
    };
    EXPECT_EQ(testing_support::WithTimesMasked(r.Log()), expected);
    for (const CheckBox* done : r.DoneMarks()) EXPECT_TRUE(done->checked) << done->name;
    EXPECT_EQ(r.Rows("Nortiva55", "select acSourceSchema, anTables from tMG_Migration"),
              (std::vector<std::vector<std::string>>{{"Nortiva55", "9"}}));
  }
}

}  // namespace
}  // namespace app
