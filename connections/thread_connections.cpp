// The per-worker connection pairs of the multi-threaded row copy: copies of the
// main connections' logins, one pair per worker slot.
#include <string>

#include "app/tf_main.h"

namespace app {

void TfMain::OpenThreadConnections() {
  if (!MultiThreadRun) return;
  for (int i = 1; i <= kWorkerSlots; ++i) {
    // Only the login is copied; the session keeps the driver's default character set.
    auto ora = std::make_unique<dac::OraSession>();
    ora->DriverName = orasORA.DriverName;
    ora->OdbcDriver = orasORA.OdbcDriver;
    ora->InstanceDir = orasORA.InstanceDir;
    ora->Options.Direct = orasORA.Options.Direct;
    ora->Server = orasORA.Server;
    ora->Username = orasORA.Username;
    ora->Schema = orasORA.Schema;
    ora->Password = orasORA.Password;
    ora->ConnectMode = orasORA.ConnectMode;
    ora->LoginPrompt = false;
    OracleSessions[i] = std::move(ora);
    try {
      OracleSessions[i]->Open();
    } catch (const std::exception& e) {
      WriteLog(false, "",
               "QARNETH Error: ORACLE connection failed (Thread " + std::to_string(i) + ", Server:" + orasORA.Server +
                   ",Username:" + eORAUsername.text + ",Password:*****)\r\n" + e.what());
    }

    auto sql = std::make_unique<dac::MSConnection>();
    sql->DriverName = mscSQL.DriverName;
    sql->OdbcDriver = mscSQL.OdbcDriver;
    sql->InstanceDir = mscSQL.InstanceDir;
    sql->Server = mscSQL.Server;
    sql->Database = mscSQL.Database;
    sql->Username = mscSQL.Username;
    sql->Password = mscSQL.Password;
    SqlServerConnections[i] = std::move(sql);
    try {
      SqlServerConnections[i]->Open();
    } catch (const std::exception& e) {
      WriteLog(false, "",
               "QARNETH Error: MS SQL connection failed (Thread " + std::to_string(i) + ", Server:" + eSQLServer.text +
                   ",Database:" + eSQLDatabase.text + ",Username:" + eSQLUsername.text + ",Password:*****)\r\n" +
                   e.what());
    }
  }
}

void TfMain::CloseThreadConnections() {
  if (!MultiThreadRun) return;
  for (int i = kWorkerSlots; i >= 1; --i) {
    if (OracleSessions[i]) {
      OracleSessions[i]->Close();
      OracleSessions[i].reset();
    }
    if (SqlServerConnections[i]) {
      SqlServerConnections[i]->Close();
      SqlServerConnections[i].reset();
    }
  }
}

}  // namespace app
