// Embedded Oracle and SQL Server instances in a test's folder, and a settings
// file that points the program at them.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>

#include "drivers/embedded/embedded_driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"
#include "drivers/embedded/oracle_script.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// The smallest ERP source: the schema with its system parameter table and its
// table register.
inline constexpr const char* kMinimalErpSource =
    "create user NORTIVA55 identified by erp;\n"
    "create table NORTIVA55.tVX_SysParamSys (anBuildNo number(10), anRevision number(10));\n"
    "insert into NORTIVA55.tVX_SysParamSys values (5500, 12);\n"
    "create table NORTIVA55.tVX_SysTables (acTableName varchar2(30), acUserDef char(1));\n";

struct EmbeddedServers {
  static constexpr const char* kSysPassword = "Fenwirk";
  static constexpr const char* kSaPassword = "sa-secret";

  // Creates both instances under `base` and loads `oracle_script` as SYS.
  EmbeddedServers(const std::filesystem::path& base, const std::string& oracle_script)
      : oracle_dir(base / "oracle"), sqlserver_dir(base / "sqlserver") {
    embedded::RegisterEmbeddedDriver();
    embedded::OracleInstance::Create(oracle_dir, kSysPassword);
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kOracle;
    p.instance_dir = oracle_dir.string();
    p.user = "sys";
    p.password = kSysPassword;
    p.mode = dac::ConnectMode::kSysDba;
    auto connection = embedded::ConnectOracleInstance(p);
    std::istringstream script(oracle_script);
    embedded::RunOracleScript(*connection, script, "fixture");
    embedded::SqlServerInstance::Create(sqlserver_dir, kSaPassword);
  }

  // Points the settings file `ini` at these instances.
  void WriteSettings(const std::filesystem::path& ini) const {
    platform::IniFile f(ini);
    f.WriteString("Connect", "ORAHost", oracle_dir.string());
    f.WriteString("Connect", "ORAUsername", "sys");
    f.WriteString("Connect", "ORAPassword", kSysPassword);
    f.WriteString("Connect", "SQLServer", sqlserver_dir.string());
    f.WriteString("Connect", "SQLUsername", "sa");
    f.WriteString("Connect", "SQLPassword", kSaPassword);
    f.WriteString("Drivers", "Oracle", "embedded");
    f.WriteString("Drivers", "SQLServer", "embedded");
  }

  void CreateTargetDatabase(const std::string& name) const {
    embedded::SqlServerInstance::Open(sqlserver_dir).CreateDatabase(name);
  }

  std::filesystem::path oracle_dir;
  std::filesystem::path sqlserver_dir;
};

}  // namespace testing_support
