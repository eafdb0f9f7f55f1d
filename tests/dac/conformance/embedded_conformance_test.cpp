// The conformance suite on the embedded driver: a fresh Oracle instance and a
// fresh SQL Server instance in folders of their own for every test.
#include "drivers/embedded/embedded_driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "tests/dac/conformance/conformance_suite.h"
#include "tests/support/temp_dir.h"

namespace dac::conformance {
namespace {

ServerLogin EmbeddedOracle() {
  auto dir = std::make_shared<testing_support::TempDir>();
  embedded::OracleInstance::Create(dir->path(), "sys-secret");
  {
    auto sys = embedded::ConnectOracleInstanceAsSysDba(dir->path());
    sys->Execute("create user CONF identified by conf1", {});
    sys->Execute("grant connect, resource to CONF", {});
  }
  ServerLogin login;
  login.params.kind = ServerKind::kOracle;
  login.params.server = dir->path().string() + ":1521:ORCL";
  login.params.instance_dir = dir->path().string();
  login.params.user = "CONF";
  login.params.password = "conf1";
  login.params.database = "CONF";
  login.params.direct = true;
  login.keep_alive = dir;
  return login;
}

ServerLogin EmbeddedSqlServer() {
  auto dir = std::make_shared<testing_support::TempDir>();
  embedded::SqlServerInstance::Create(dir->path(), "sa-secret");
  embedded::SqlServerInstance::Open(dir->path()).CreateDatabase("conformance");
  ServerLogin login;
  login.params.kind = ServerKind::kSqlServer;
  login.params.server = dir->path().string();
  login.params.instance_dir = dir->path().string();
  login.params.user = "sa";
  login.params.password = "sa-secret";
  login.params.database = "conformance";
  login.keep_alive = dir;
  return login;
}

ConformanceContext EmbeddedContext() {
  ConformanceContext c;
  c.name = "Embedded";
  c.driver = [] {
    embedded::RegisterEmbeddedDriver();
    return FindDriver("embedded");
  };
  c.oracle = EmbeddedOracle;
  c.sqlserver = EmbeddedSqlServer;
  return c;
}

INSTANTIATE_TEST_SUITE_P(Embedded, DacConformance, ::testing::Values(EmbeddedContext()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace dac::conformance
