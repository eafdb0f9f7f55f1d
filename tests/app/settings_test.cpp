#include "app/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/headless_host.h"
#include "app/tf_main.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Window {
  explicit Window(const TempDir& dir, std::vector<std::string> params = {})
      : host(err), form(host, ProgramStart{dir / "migrator", std::move(params)}) {
    form.FormCreate();
  }
  std::ostringstream err;
  HeadlessHost host;
  TfMain form;
};

TEST(Settings, LoadCases) {
  struct Case {
    const char* name;
    const char* file;  // nullptr: no settings file
    std::function<void(const TfMain&)> check;
    bool start_clear = false;  // "Verify" clear before the load
  };
  const Case cases[] = {
      {"no file leaves the design defaults", nullptr,
       [](const TfMain& f) {
         EXPECT_EQ(f.eSQLServer.text, "Localhost");
         EXPECT_EQ(f.eSQLDatabase.text, "Nortiva55");
         EXPECT_EQ(f.eORAPassword.text, "Fenwirk");
         EXPECT_EQ(f.rgORAConnectionType.item_index, 0);
         EXPECT_TRUE(f.cbMigrateTablesVerify.checked);
         EXPECT_EQ(f.DatabaseFolder, "");
       }},
      {"Verify 0 clears", "[Migrate]\nMigrateTablesVerify=0\n",
       [](const TfMain& f) { EXPECT_FALSE(f.cbMigrateTablesVerify.checked); }},
      {"Verify yes leaves the box", "[Migrate]\nMigrateTablesVerify=yes\n",
       [](const TfMain& f) { EXPECT_TRUE(f.cbMigrateTablesVerify.checked); }},
      {"Verify 2 checks", "[Migrate]\nMigrateTablesVerify=2\n",
       [](const TfMain& f) { EXPECT_TRUE(f.cbMigrateTablesVerify.checked); }, true},
      {"the first of two keys wins", "[Migrate]\nMigrateTablesVerify=0\nMigrateTablesVerify=2\n",
       [](const TfMain& f) { EXPECT_FALSE(f.cbMigrateTablesVerify.checked); }},
      {"hex zero clears, other keys by their own names",
       "[migrate]\nmigratetablescopyrowsmultithread=0x0\nMigrateTablesCopyRows=0x2\n",
       [](const TfMain& f) {
         EXPECT_FALSE(f.cbMultiThread.checked);
         EXPECT_TRUE(f.cbMigrateTablesCopyRows.checked);
       }},
      {"connection type 1 selects the client", "[Connect]\nORAConnectionType=1\n",
       [](const TfMain& f) { EXPECT_EQ(f.rgORAConnectionType.item_index, 1); }},
      {"connection type past the items selects the last", "[Connect]\nORAConnectionType=9\n",
       [](const TfMain& f) { EXPECT_EQ(f.rgORAConnectionType.item_index, 1); }},
      {"a present empty value empties a string", "[Connect]\nORAPassword=\nSQLServer= db\\x \n",
       [](const TfMain& f) {
         EXPECT_EQ(f.eORAPassword.text, "");
         EXPECT_EQ(f.eSQLServer.text, "db\\x");
       }},
      {"keys in the wrong section are absent", "[Create]\nSQLServer=elsewhere\n[Connect]\n",
       [](const TfMain& f) { EXPECT_EQ(f.eSQLServer.text, "Localhost"); }},
      {"drivers", "[drivers]\noracle=embedded\nSQLServerOdbcDriver=ODBC Driver 18 for SQL Server\n",
       [](const TfMain& f) {
         EXPECT_EQ(f.Drivers.Oracle, "embedded");
         EXPECT_EQ(f.Drivers.SQLServer, "odbc");
         EXPECT_EQ(f.Drivers.SQLServerOdbcDriver, "ODBC Driver 18 for SQL Server");
       }},
      {"DatabaseDir is read", "[Create]\nDatabaseDir=/var/opt/mssql/data\n",
       [](const TfMain& f) { EXPECT_EQ(f.DatabaseFolder, "/var/opt/mssql/data"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.file) WriteFile(dir / "migrator.ini", c.file);
    std::ostringstream err;
    HeadlessHost host(err);
    TfMain form(host, ProgramStart{dir / "migrator", {}});
    if (c.start_clear) form.cbMigrateTablesVerify.checked = false;
    LoadSettings(form, platform::IniFile(dir / "migrator.ini"));
    c.check(form);
  }
}

TEST(Settings, CloseWritesEveryKeyButDatabaseDirInTableOrder) {
  TempDir dir;
  Window w(dir);
  EXPECT_EQ(w.form.IniFileName, (dir / "migrator.ini").string());
  EXPECT_FALSE(std::filesystem::exists(dir / "migrator.ini"));
  w.form.eSQLPassword.text = "s3cret";
  w.form.cbMultiThread.checked = false;
  w.form.rgORAConnectionType.item_index = 1;
  w.form.FormClose();
  EXPECT_EQ(ReadFile(dir / "migrator.ini"),
            "[Connect]\n"
            "SQLServer=Localhost\n"
            "SQLDatabase=Nortiva55\n"
            "SQLUsername=AD\n"
            "SQLPassword=s3cret\n"
            "ORAHost=Localhost\n"
            "ORAPort=1521\n"
            "ORASID=ORCL\n"
            "ORAConnectionType=1\n"
            "ORAUsername=sys\n"
            "ORAPassword=Fenwirk\n"
            "ORADatabaseName=Nortiva55\n"
            "\n"
            "[Create]\n"
            "CreateSQLUser=1\n"
            "CreateSQLUserAll=1\n"
            "CreateSQLDatabase=1\n"
            "SQLUserUsername=AD\n"
            "SQLUserPassword=\n"
            "\n"
            "[Migrate]\n"
            "MigrateTablesCreateTables=1\n"
            "MigrateTablesCopyRows=1\n"
            "MigrateTablesCopyRowsMultiThread=0\n"
            "MigrateTablesVerify=1\n"
            "MigrateProgramSQLObjects=1\n"
            "\n"
            "[Drivers]\n"
            "Oracle=odbc\n"
            "SQLServer=odbc\n"
            "OracleOdbcDriver=Oracle 21 ODBC driver\n"
            "SQLServerOdbcDriver=FreeTDS\n");
}

TEST(Settings, HandEditedDatabaseDirAndCommentsSurviveAClose) {
  TempDir dir;
  WriteFile(dir / "site.ini", "; site settings\n[Create]\nDatabaseDir=/data\nSQLUserUsername=erp\n");
  Window w(dir, {"/INI=" + (dir / "site.ini").string()});
  EXPECT_EQ(w.form.eSQLUserUsername.text, "erp");
  w.form.FormClose();
  const platform::IniFile ini(dir / "site.ini");
  EXPECT_EQ(ini.ReadString("Create", "DatabaseDir", ""), "/data");
  EXPECT_EQ(ini.ReadString("Create", "SQLUserUsername", ""), "erp");
  EXPECT_TRUE(ReadFile(dir / "site.ini").starts_with("; site settings\n[Create]\nDatabaseDir=/data\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "migrator.ini"));
}

TEST(Settings, CopyRowsEnablesMultithreading) {
  TempDir dir;
  WriteFile(dir / "migrator.ini", "[Migrate]\nMigrateTablesCopyRows=0\n");
  Window w(dir);
  EXPECT_FALSE(w.form.cbMultiThread.enabled);
  w.form.cbMigrateTablesCopyRows.checked = false;
  w.form.cbMigrateTablesCopyRowsClick();
  EXPECT_FALSE(w.form.cbMultiThread.enabled);
  w.form.cbMigrateTablesCopyRows.checked = true;
  w.form.cbMigrateTablesCopyRowsClick();
  EXPECT_TRUE(w.form.cbMultiThread.enabled);
}

}  // namespace
}  // namespace app
