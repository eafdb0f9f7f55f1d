#include "app/tf_main.h"

#include <exception>
#include <utility>

#include "app/command_line.h"
#include "app/settings.h"
#include "app/version.h"
#include "platform/abort.h"
#include "platform/error_display.h"
#include "platform/ini_file.h"

namespace app {

const char* const kApplicationTitle = "VORANTEX™ ORACLE to MSSQL migrator";

namespace {

constexpr const char* kDesignCaption = "VORANTEX™5.5 ORACLE to MSSQL migrator - Nortiva";

TextEdit Edit(const char* name, const char* label, const char* text, bool masked = false) {
  return TextEdit{.name = name, .label = label, .text = text, .masked = masked};
}

CheckBox Check(const char* name, const char* caption, bool checked) {
  return CheckBox{.name = name, .caption = caption, .checked = checked};
}

CheckBox Mark(const char* name, const char* caption) {
  return CheckBox{.name = name, .caption = caption, .checked = false, .read_only = true};
}

}  // namespace

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kNone:
    case RunOutcome::kFinished:
      return 0;
    case RunOutcome::kFailed:
      return 1;
    case RunOutcome::kEndedEarly:
      return 2;
  }
  return 1;
}

TfMain::TfMain(UiHost& host, ProgramStart start)
    : Caption(kDesignCaption),
      gbORA{"gbORA", "ORA"},
      gbSQL{"gbSQL", "SQL"},
      gbSQLDatabase{"gbSQLDatabase", "SQL Database"},
      gbSQLUsers{"gbSQLUsers", "SQL Users"},
      gbTables{"gbTables", "Tables"},
      gbNavigation{"gbNavigation", "Navigation"},
      eSQLServer(Edit("eSQLServer", "Server", "Localhost")),
      eSQLDatabase(Edit("eSQLDatabase", "Database", "Nortiva55")),
      eSQLUsername(Edit("eSQLUsername", "Username", "AD")),
      eSQLPassword(Edit("eSQLPassword", "Password", "", true)),
      eORAHost(Edit("eORAHost", "Host", "Localhost")),
      eORAPort(Edit("eORAPort", "Port", "1521")),
      eORASID(Edit("eORASID", "SID", "ORCL")),
      rgORAConnectionType{.name = "rgORAConnectionType",
                          .caption = "Connection Type",
                          .items = {"Oracle Direct", "Oracle Client"},
                          .item_index = 0},
      eORAUsername(Edit("eORAUsername", "Username", "sys")),
      eORAPassword(Edit("eORAPassword", "Password", "Fenwirk", true)),
      eORADatabaseName(Edit("eORADatabaseName", "Schema", "Nortiva55")),
      cbCreateSQLUser(Check("cbCreateSQLUser", "", true)),
      cbCreateSQLUserAll(Check("cbCreateSQLUserAll", "Create all users from database", true)),
      cbCreateSQLDatabase(Check("cbCreateSQLDatabase", "", true)),
      eSQLUserUsername(Edit("eSQLUserUsername", "Username", "AD")),
      eSQLUserPassword(Edit("eSQLUserPassword", "Password", "", true)),
      cbMigrateTablesCreateTables(Check("cbMigrateTablesCreateTables", "Create Tables", true)),
      cbMigrateTablesCopyRows(Check("cbMigrateTablesCopyRows", "Copy Rows", true)),
      cbMultiThread(Check("cbMultiThread", "Multithreading", true)),
      cbMigrateTablesVerify(Check("cbMigrateTablesVerify", "Verify", true)),
      cbMigrateProgramSQLObjects(Check("cbMigrateProgramSQLObjects", "Supporting Objects", true)),
      cbORAOpen(Mark("cbORAOpen", "Open")),
      cbSQLOpen(Mark("cbSQLOpen", "Open")),
      cbSQLDatabase(Mark("cbSQLDatabase", "Done")),
      cbSQLUser(Mark("cbSQLUser", "Done")),
      cbSQLUserAll(Mark("cbSQLUserAll", "Done")),
      cbMigrateTablesCreateTablesDone(Mark("cbMigrateTablesCreateTablesDone", "Done")),
      cbMigrateTablesCopyRowsDone(Mark("cbMigrateTablesCopyRowsDone", "Done")),
      cbMigrateTablesVerifyDone(Mark("cbMigrateTablesVerifyDone", "Done")),
      cbMigrateProgramSQLObjectsDone(Mark("cbMigrateProgramSQLObjectsDone", "Done")),
      sb{.name = "sb",
         .panels = {StatusPanel{PanelKind::kText, 80, "", true}, StatusPanel{PanelKind::kText, 100, "", true},
                    StatusPanel{PanelKind::kText, 80, "", true}, StatusPanel{PanelKind::kContainer, 160, "", true},
                    StatusPanel{PanelKind::kContainer, 0, "", true}},
         .visible = true},
      pb{.name = "pb"},
      pbDet{.name = "pbDet"},
      bProcess{"bProcess", "&Process"},
      bExit{"bExit", "&Exit"},
      lNortiva{"lNortiva", "Nortiva"},
      host_(host),
      start_(std::move(start)) {
  platform::SetErrorDisplay([this](const std::string& message) { host_.ShowError(message); });
  SetUpDataAccessObjects();
}

TfMain::~TfMain() { platform::SetErrorDisplay(nullptr); }

std::string TfMain::BuildText() const { return "Build: " + std::to_string(MIGRATOR_BUILD_NUMBER); }

void TfMain::FormCreate() {
  Caption = Caption + ", " + BuildText();
  FirstPaint = true;
  AutoRun = false;
  // The program file has no extension here: the settings file is its name with ".ini".
  IniFileName = start_.program_file.string() + ".ini";

  const CommandLine cl = ParseCommandLine(start_.params);
  AutoRun = cl.auto_run;
  if (cl.ini_file_name) IniFileName = *cl.ini_file_name;

  settings_ = std::make_unique<platform::IniFile>(IniFileName);
  LoadSettings(*this, *settings_);
  // Show "Multithreading" disabled when the loaded settings leave "Copy Rows" clear.
  cbMigrateTablesCopyRowsClick();
}

void TfMain::FormPaint() {
  if (!FirstPaint) return;
  FirstPaint = false;
  if (AutoRun) {
    bProcessClick();
    bExitClick();
  }
}

void TfMain::FormClose() {
  CloseMainConnections();
  if (settings_) SaveSettings(*this, *settings_);
}

void TfMain::bExitClick() { host_.Close(); }

void TfMain::cbMigrateTablesCopyRowsClick() { cbMultiThread.enabled = cbMigrateTablesCopyRows.checked; }

void TfMain::Dispatch(const std::function<void()>& event) {
  try {
    event();
  } catch (const platform::EAbort&) {
    // The silent abort ends the operation without a message.
  } catch (const std::exception& e) {
    host_.ShowError(e.what());
  }
}

void TfMain::WriteLog(bool Banner, std::string_view Caption, std::string_view Text) {
  RunLog_.Write(Banner, Caption, Text);
}

bool TfMain::VerifyOnly() const {
  return cbMigrateTablesVerify.checked && !cbCreateSQLUser.checked && !cbCreateSQLUserAll.checked &&
         !cbMigrateTablesCreateTables.checked && !cbMigrateTablesCopyRows.checked &&
         !cbMigrateProgramSQLObjects.checked;
}

}  // namespace app
