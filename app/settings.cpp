#include "app/settings.h"

#include <algorithm>
#include <variant>

#include "app/tf_main.h"
#include "platform/ini_file.h"

namespace app {
namespace {

struct SettingKey {
  const char* section;
  const char* key;
  std::variant<TextEdit TfMain::*, CheckBox TfMain::*, RadioGroup TfMain::*> control;
};

// In the order the window loads and saves them.
const SettingKey kSettingKeys[] = {
    {"Connect", "SQLServer", &TfMain::eSQLServer},
    {"Connect", "SQLDatabase", &TfMain::eSQLDatabase},
    {"Connect", "SQLUsername", &TfMain::eSQLUsername},
    {"Connect", "SQLPassword", &TfMain::eSQLPassword},
    {"Connect", "ORAHost", &TfMain::eORAHost},
    {"Connect", "ORAPort", &TfMain::eORAPort},
    {"Connect", "ORASID", &TfMain::eORASID},
    {"Connect", "ORAConnectionType", &TfMain::rgORAConnectionType},
    {"Connect", "ORAUsername", &TfMain::eORAUsername},
    {"Connect", "ORAPassword", &TfMain::eORAPassword},
    {"Connect", "ORADatabaseName", &TfMain::eORADatabaseName},
    {"Create", "CreateSQLUser", &TfMain::cbCreateSQLUser},
    {"Create", "CreateSQLUserAll", &TfMain::cbCreateSQLUserAll},
    {"Create", "CreateSQLDatabase", &TfMain::cbCreateSQLDatabase},
    {"Create", "SQLUserUsername", &TfMain::eSQLUserUsername},
    {"Create", "SQLUserPassword", &TfMain::eSQLUserPassword},
    {"Migrate", "MigrateTablesCreateTables", &TfMain::cbMigrateTablesCreateTables},
    {"Migrate", "MigrateTablesCopyRows", &TfMain::cbMigrateTablesCopyRows},
    {"Migrate", "MigrateTablesCopyRowsMultiThread", &TfMain::cbMultiThread},
    {"Migrate", "MigrateTablesVerify", &TfMain::cbMigrateTablesVerify},
    {"Migrate", "MigrateProgramSQLObjects", &TfMain::cbMigrateProgramSQLObjects},
};

struct DriverKey {
  const char* key;
  std::string TfMain::DriverSettings::*value;
};

const DriverKey kDriverKeys[] = {
    {"Oracle", &TfMain::DriverSettings::Oracle},
    {"SQLServer", &TfMain::DriverSettings::SQLServer},
    {"OracleOdbcDriver", &TfMain::DriverSettings::OracleOdbcDriver},
    {"SQLServerOdbcDriver", &TfMain::DriverSettings::SQLServerOdbcDriver},
};

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};

}  // namespace

void LoadSettings(TfMain& form, const platform::IniFile& ini) {
  form.DatabaseFolder = ini.ReadString("Create", "DatabaseDir", "");
  for (const auto& k : kSettingKeys) {
    std::visit(Overloaded{
                   [&](TextEdit TfMain::*c) { (form.*c).text = ini.ReadString(k.section, k.key, (form.*c).text); },
                   [&](CheckBox TfMain::*c) { (form.*c).checked = ini.ReadBool(k.section, k.key, (form.*c).checked); },
                   [&](RadioGroup TfMain::*c) {
                     // Like a radio group given an index past its items: the last item (or none).
                     const int last = static_cast<int>((form.*c).items.size()) - 1;
                     (form.*c).item_index = std::clamp(ini.ReadInteger(k.section, k.key, (form.*c).item_index), -1, last);
                   },
               },
               k.control);
  }
  for (const auto& k : kDriverKeys) form.Drivers.*k.value = ini.ReadString("Drivers", k.key, form.Drivers.*k.value);
}

void SaveSettings(const TfMain& form, platform::IniFile& ini) {
  for (const auto& k : kSettingKeys) {
    std::visit(Overloaded{
                   [&](TextEdit TfMain::*c) { ini.WriteString(k.section, k.key, (form.*c).text); },
                   [&](CheckBox TfMain::*c) { ini.WriteBool(k.section, k.key, (form.*c).checked); },
                   [&](RadioGroup TfMain::*c) { ini.WriteInteger(k.section, k.key, (form.*c).item_index); },
               },
               k.control);
  }
  for (const auto& k : kDriverKeys) ini.WriteString("Drivers", k.key, form.Drivers.*k.value);
}

}  // namespace app
