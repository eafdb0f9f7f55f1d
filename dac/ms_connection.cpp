#include "dac/ms_connection.h"

namespace dac {

MSConnection::~MSConnection() = default;

ConnectParams MSConnection::MakeConnectParams() const {
  ConnectParams p;
  p.kind = ServerKind::kSqlServer;
  p.server = Server;
  p.database = Database;
  p.user = Username;
  p.password = Password;
  p.odbc_driver = OdbcDriver;
  p.instance_dir = InstanceDir;
  return p;
}

}  // namespace dac
