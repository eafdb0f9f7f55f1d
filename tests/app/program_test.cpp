// The program as a scheduler starts it: "migrator /A /INI=<file>" on a machine
// without a display, against embedded instances.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "app/headless_run.h"
#include "platform/ini_file.h"
#include "tests/support/embedded_servers.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::EmbeddedServers;
using testing_support::ReadFile;
using testing_support::TempDir;

struct Result {
  int status;
  std::string output;
};

// Runs a copy of the program that lives in `dir`, so that its run log lands there.
Result RunProgram(const TempDir& dir, const std::string& args) {
  const auto program = dir / "migrator";
  std::filesystem::copy_file(MIGRATOR_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY '" + program.string() + "' " + args + " > '" +
                          (dir / "out.txt").string() + "' 2>&1";
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(dir / "out.txt")};
}

std::vector<std::filesystem::path> RunLogs(const TempDir& dir) {
  std::vector<std::filesystem::path> logs;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    if (std::regex_match(e.path().filename().string(), std::regex(R"(MgrQARNETH_\d{14}\.log)"))) logs.push_back(e.path());
  }
  return logs;
}

// Only "Verify" ticked: the run reaches the target database and verifies it,
// with scripts of the test's own beside the program.
void TickOnlyVerify(platform::IniFile& ini) {
  const auto folder = ini.FileName().parent_path();
  testing_support::WriteFile(folder / "MigrateVerifyB.sql",
                             "create table tMG_TableCounts (acTableName varchar(128), anNumberOfRecords int, "
                             "anTotalColunms int)");
  testing_support::WriteFile(folder / "MigrateVerifyA.sql", "select count(*) as anTables from tMG_TableCounts");
  for (const char* key : {"CreateSQLUser", "CreateSQLUserAll", "CreateSQLDatabase"}) ini.WriteBool("Create", key, false);
  for (const char* key : {"MigrateTablesCreateTables", "MigrateTablesCopyRows", "MigrateProgramSQLObjects"}) {
    ini.WriteBool("Migrate", key, false);
  }
}

TEST(Program, UnattendedRunWritesTheLogAndTheSettings) {
  TempDir dir;
  const EmbeddedServers servers(dir.path(), testing_support::kMinimalErpSource);
  servers.CreateTargetDatabase("Nortiva55");
  const auto ini_path = dir / "site.ini";
  servers.WriteSettings(ini_path);
  platform::IniFile ini(ini_path);
  ini.WriteString("Create", "DatabaseDir", "/srv/data");
  TickOnlyVerify(ini);

  const Result r = RunProgram(dir, "/A '/INI=" + ini_path.string() + "'");
  EXPECT_EQ(r.status, 0) << r.output;

  const auto logs = RunLogs(dir);
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = ReadFile(logs[0]);
  const std::string time = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)";
  const std::regex expected("VORANTEX™5\\.5 ORACLE to MSSQL migrator - Nortiva, Build: \\d+\r\n"
                            "=====================\r\n"
                            "QARNETH Process Start at: " + time + "\r\n"
                            "=====================\r\n"
                            "ORACLE connect as sys on " + servers.oracle_dir.string() +
                            ":1521:ORCL\\.Nortiva55, Build: 5500 Revision: 12\r\n"
                            "MSSQL connect as sa on " + servers.sqlserver_dir.string() + "\\.Nortiva55\r\n"
                            "=====================\r\n"
                            "Verify Start at: " + time + "\r\n"
                            "=====================\r\n"
                            "=====================\r\n"
                            "anTables \r\n"
                            "-------- \r\n"
                            "       2 \r\n"
                            "=====================\r\n"
                            "=====================\r\n"
                            "Verify Finish at: " + time + "\r\n"
                            "=====================\r\n"
                            "=====================\r\n"
                            "QARNETH Finish at: " + time + "\r\n"
                            "=====================\r\n");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;

  EXPECT_EQ(ini.ReadString("Create", "DatabaseDir", ""), "/srv/data");
  EXPECT_EQ(ini.ReadString("Migrate", "MigrateTablesVerify", ""), "1");
  EXPECT_EQ(ini.ReadString("Migrate", "MigrateProgramSQLObjects", ""), "0");
  EXPECT_FALSE(std::filesystem::exists(dir / "migrator.ini"));
}

TEST(Program, PreparingTheTargetWritesTheStepsEntriesInOrder) {
  TempDir dir;
  const EmbeddedServers servers(dir.path(), testing_support::ReadFile(std::filesystem::path(MIGRATOR_SOURCE_DIR) /
                                                                     "tests/fixtures/oracle/erp_source.sql"));
  const auto ini_path = dir / "site.ini";
  servers.WriteSettings(ini_path);
  platform::IniFile ini(ini_path);
  for (const char* key : {"MigrateTablesCopyRows", "MigrateTablesVerify", "MigrateProgramSQLObjects"}) {
    ini.WriteBool("Migrate", key, false);
  }
  const Result r = RunProgram(dir, "/A /INI=" + ini_path.string());
  EXPECT_EQ(r.status, 0) << r.output;
  const auto logs = RunLogs(dir);
  ASSERT_EQ(logs.size(), 1u);
  const auto shape = testing_support::WithTimesMasked(testing_support::LogLines(logs[0]));
  const std::string banner = "=====================";
  EXPECT_EQ(shape, (std::vector<std::string>{
                       "VORANTEX™5.5 ORACLE to MSSQL migrator - Nortiva, Build: 1",
                       banner, "QARNETH Process Start at: <time>", banner,
                       banner, "Create Users Start at: <time>", banner,
                       banner, "Create Users Finish at: <time>", banner,
                       "ORACLE connect as sys on " + servers.oracle_dir.string() + ":1521:ORCL.Nortiva55, Build: 5500 Revision: 12",
                       "MSSQL connect as sa on " + servers.sqlserver_dir.string() + ".Nortiva55",
                       banner, "Create Tables Start at: <time>", banner,
                       "QARNETH-00001: unknown datatype 'NVARCHAR2' for column ACWIDE in table THE_SETITEM", "",
                       banner, "Create Tables Finish at: <time>", banner,
                       banner, "QARNETH Finish at: <time>", banner,
                   }));
}

TEST(Program, DefaultSettingsFileIsBesideTheProgram) {
  TempDir dir;
  const EmbeddedServers servers(dir.path(), testing_support::kMinimalErpSource);
  servers.CreateTargetDatabase("Nortiva55");
  servers.WriteSettings(dir / "migrator.ini");
  platform::IniFile settings(dir / "migrator.ini");
  TickOnlyVerify(settings);
  const Result r = RunProgram(dir, "/a");
  EXPECT_EQ(r.status, 0) << r.output;
  const std::string ini = ReadFile(dir / "migrator.ini");
  for (const char* key : {"SQLServer=", "ORAConnectionType=0", "CreateSQLDatabase=0",
                          "MigrateTablesCopyRowsMultiThread=1", "Oracle=embedded"}) {
    EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;
  }
  EXPECT_EQ(ini.find("DatabaseDir"), std::string::npos);
}

TEST(Program, ExitStatusAndUsage) {
  TempDir dir;
  const EmbeddedServers servers(dir.path(), testing_support::kMinimalErpSource);
  servers.WriteSettings(dir / "nodb.ini");
  platform::IniFile(dir / "nodb.ini").WriteBool("Create", "CreateSQLDatabase", false);
  EXPECT_EQ(RunProgram(dir, "/A /INI=" + (dir / "nodb.ini").string()).status, 2);

  const Result help = RunProgram(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("usage: migrator [/A] [/INI=<settings file>]"), std::string::npos);

  const Result no_display = RunProgram(dir, "/INI=" + (dir / "nodb.ini").string());
  EXPECT_EQ(no_display.status, 1);
  EXPECT_NE(no_display.output.find("start with /A"), std::string::npos);
}

TEST(Program, AnUnreachableServerEndsTheRunWithStatusOne) {
  TempDir dir;
  const EmbeddedServers servers(dir.path(), testing_support::kMinimalErpSource);
  servers.WriteSettings(dir / "s.ini");
  platform::IniFile(dir / "s.ini").WriteString("Connect", "ORAHost", (dir / "no-such-instance").string());
  const Result r = RunProgram(dir, "/A /INI=" + (dir / "s.ini").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("ORA-"), std::string::npos) << r.output;
  const auto logs = RunLogs(dir);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(ReadFile(logs[0]).find("QARNETH Finish at"), std::string::npos);
}

TEST(Program, ErrorEndsAnUnattendedRunWithStatusOne) {
  TempDir dir;
  std::ostringstream err;
  const int status = RunHeadless(ProgramStart{dir / "gone" / "migrator", {"/A", "/INI=" + (dir / "s.ini").string()}}, err);
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.str().find("Cannot create file"), std::string::npos) << err.str();
  EXPECT_TRUE(std::filesystem::exists(dir / "s.ini"));  // the window still closes and saves
}

}  // namespace
}  // namespace app
