// The program as a scheduler starts it: "migrator /A /INI=<file>" on a machine
// without a display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "app/headless_run.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

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

TEST(Program, UnattendedRunWritesTheLogAndTheSettings) {
  TempDir dir;
  WriteFile(dir / "site.ini", "[Create]\nDatabaseDir=/srv/data\n");
  const Result r = RunProgram(dir, "/A '/INI=" + (dir / "site.ini").string() + "'");
  EXPECT_EQ(r.status, 0) << r.output;

  const auto logs = RunLogs(dir);
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = ReadFile(logs[0]);
  EXPECT_TRUE(std::regex_match(log, std::regex("VORANTEX™5\\.5 ORACLE to MSSQL migrator - Nortiva, Build: \\d+\r\n"
                                               "=====================\r\n"
                                               "QARNETH Process Start at: \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n"
                                               "=====================\r\n"
                                               "=====================\r\n"
                                               "QARNETH Finish at: \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n"
                                               "=====================\r\n")))
      << log;

  const platform::IniFile ini(dir / "site.ini");
  EXPECT_EQ(ini.ReadString("Create", "DatabaseDir", ""), "/srv/data");
  EXPECT_EQ(ini.ReadString("Connect", "SQLServer", ""), "Localhost");
  EXPECT_EQ(ini.ReadString("Migrate", "MigrateProgramSQLObjects", ""), "1");
  EXPECT_FALSE(std::filesystem::exists(dir / "migrator.ini"));
}

TEST(Program, DefaultSettingsFileIsBesideTheProgram) {
  TempDir dir;
  const Result r = RunProgram(dir, "/a");
  EXPECT_EQ(r.status, 0) << r.output;
  const std::string ini = ReadFile(dir / "migrator.ini");
  EXPECT_NE(ini.find("[Connect]\nSQLServer=Localhost\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("DatabaseDir"), std::string::npos);
}

TEST(Program, ExitStatusAndUsage) {
  TempDir dir;
  WriteFile(dir / "nodb.ini", "[Create]\nCreateSQLDatabase=0\n");
  EXPECT_EQ(RunProgram(dir, "/A /INI=" + (dir / "nodb.ini").string()).status, 2);

  const Result help = RunProgram(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("usage: migrator [/A] [/INI=<settings file>]"), std::string::npos);

  const Result no_display = RunProgram(dir, "/INI=" + (dir / "nodb.ini").string());
  EXPECT_EQ(no_display.status, 1);
  EXPECT_NE(no_display.output.find("start with /A"), std::string::npos);
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
