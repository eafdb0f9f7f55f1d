#include "dac/ora_session.h"

namespace dac {

OraSession::~OraSession() = default;

ConnectParams OraSession::MakeConnectParams() const {
  ConnectParams p;
  p.kind = ServerKind::kOracle;
  p.server = Server;
  p.database = Schema;
  p.user = Username;
  p.password = Password;
  p.mode = ConnectMode == OraConnectMode::cmSysDBA ? dac::ConnectMode::kSysDba : dac::ConnectMode::kNormal;
  p.direct = Options.Direct;
  p.charset = Options.Charset;
  p.odbc_driver = OdbcDriver;
  p.instance_dir = InstanceDir;
  return p;
}

void OraSession::ConnectChanged(bool connected) {
  if (OnConnectChange) OnConnectChange(*this, connected);
}

}  // namespace dac
