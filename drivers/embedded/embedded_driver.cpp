#include "drivers/embedded/embedded_driver.h"

#include <mutex>

#include "drivers/embedded/oracle_connection.h"
#include "drivers/embedded/sqlserver_connection.h"

namespace embedded {

std::unique_ptr<dac::Connection> EmbeddedDriver::Connect(const dac::ConnectParams& params) {
  switch (params.kind) {
    case dac::ServerKind::kOracle:
      return ConnectOracleInstance(params);
    case dac::ServerKind::kSqlServer:
      return ConnectSqlServerInstance(params);
  }
  throw dac::UsageError("Unknown kind of server");
}

void RegisterEmbeddedDriver() {
  static std::once_flag once;
  std::call_once(once, [] { dac::RegisterDriver(std::make_shared<EmbeddedDriver>()); });
}

}  // namespace embedded
