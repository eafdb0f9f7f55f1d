// The window's Oracle session and SQL Server connection: configured from the
// window's fields, opened with the ERP's password forms, and shown by the
// "Open" marks.
#include <string>

#include "app/tf_main.h"
#include "connections/database_password.h"
#include "platform/text.h"

namespace app {
namespace {

// A run log is no place for a password: the failure entries show this instead.
constexpr const char* kHiddenPassword = "*****";

void UseDriver(dac::DAConnection& c, const std::string& driver, const std::string& odbc_driver,
               const std::string& host) {
  c.DriverName = driver;
  c.OdbcDriver = odbc_driver;
  // An embedded instance lives in the folder named where the host would be.
  c.InstanceDir = platform::SameText(driver, "embedded") ? platform::Trim(host) : std::string();
}

// Opens `c`; when the server refuses the login with `refusal` in its message,
// tries once more with the plain form of the typed password. Any other error,
// and an error of the second try, goes to the caller.
void OpenWithPlainRetry(dac::DAConnection& c, const char* refusal, const std::string& typed_password) {
  try {
    c.Open();
  } catch (const std::exception& e) {
    if (std::string(e.what()).find(refusal) == std::string::npos) throw;
    c.Password = connections::DeriveDatabasePassword(typed_password, false);
    c.Open();
  }
}

}  // namespace

void TfMain::ConnectOracle() {
  orasORA.Close();
  const bool direct = rgORAConnectionType.item_index == 0;
  orasORA.Options.Direct = direct;
  orasORA.Server = platform::Trim(eORAHost.text) + ":" + platform::Trim(eORAPort.text) + (direct ? ":" : "/") +
                   platform::Trim(eORASID.text);
  orasORA.Username = eORAUsername.text;
  orasORA.Schema = eORADatabaseName.text;
  const std::string user = platform::CaseFold(eORAUsername.text);
  const bool administrator = user == "sys" || user == "system";
  orasORA.Password =
      administrator ? eORAPassword.text : connections::DeriveDatabasePassword(eORAPassword.text, true);
  orasORA.ConnectMode = user == "sys" ? dac::OraConnectMode::cmSysDBA : dac::OraConnectMode::cmNormal;
  UseDriver(orasORA, Drivers.Oracle, Drivers.OracleOdbcDriver, eORAHost.text);

  OpenWithPlainRetry(orasORA, "ORA-01017", eORAPassword.text);
  if (!orasORA.Connected()) {
    WriteLog(false, "",
             "QARNETH Error: ORACLE connection failed (Server:" + orasORA.Server + ",Username:" + eORAUsername.text +
                 ",Password:" + kHiddenPassword + ")");
  }
}

void TfMain::ConnectSQLServer(bool ToMaster) {
  mscSQL.Close();
  mscSQL.Server = eSQLServer.text;
  mscSQL.Database = ToMaster ? "master" : eSQLDatabase.text;
  mscSQL.Username = eSQLUsername.text;
  mscSQL.Password = platform::CaseFold(eSQLUsername.text) == "sa"
                        ? eSQLPassword.text
                        : connections::DeriveDatabasePassword(eSQLPassword.text, true);
  UseDriver(mscSQL, Drivers.SQLServer, Drivers.SQLServerOdbcDriver, eSQLServer.text);

  OpenWithPlainRetry(mscSQL, "Login failed for user", eSQLPassword.text);
  if (!mscSQL.Connected()) {
    WriteLog(false, "",
             "QARNETH Error: MS SQL connection failed (Server:" + eSQLServer.text + ",Database:" + eSQLDatabase.text +
                 ",Username:" + eSQLUsername.text + ",Password:" + kHiddenPassword + ")");
  }
}

void TfMain::orasORAConnectChange(dac::OraSession&, bool Connected) { cbORAOpen.checked = Connected; }

void TfMain::mscSQLConnectStatus(dac::DAConnection&) { cbSQLOpen.checked = mscSQL.Connected(); }

void TfMain::CloseMainConnections() {
  mscSQL.Close();
  orasORA.Close();
}

bool TfMain::MainConnectionsOpen() { return orasORA.Connected() && mscSQL.Connected(); }

std::string TfMain::ErpBuildText() {
  orasqQuery.Close();
  orasqQuery.SQL = "select anBuildNo, anRevision from tVX_SysParamSys";
  orasqQuery.Open();
  if (orasqQuery.Eof()) return {};
  return "Build: " + orasqQuery.Fields(0).AsString() + " " + "Revision: " + orasqQuery.Fields(1).AsString();
}

std::string TfMain::OracleIdentityLine() {
  return "ORACLE connect as " + orasORA.Username + " on " + orasORA.Server + "." + orasORA.Schema + ", " +
         ErpBuildText();
}

std::string TfMain::SqlServerIdentityLine() {
  return "MSSQL connect as " + mscSQL.Username + " on " + mscSQL.Server + "." + mscSQL.Database;
}

}  // namespace app
