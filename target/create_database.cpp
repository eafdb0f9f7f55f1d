// The target database: created on the server the window names, its data file
// optionally in the configured folder, switched to the simple recovery model.
#include "app/tf_main.h"
#include "schema/sql_names.h"

namespace app {

using schema::BracketName;
using schema::QuoteText;

void TfMain::ExecuteScript(const std::string& text) {
  msScript.SQL = text;
  msScript.Execute();
}

bool TfMain::CreateDatabase() {
  if (!cbCreateSQLDatabase.checked) {
    cbSQLDatabase.checked = false;
    return false;
  }
  const std::string& name = eSQLDatabase.text;
  std::string create = "create database [" + BracketName(name) + "]";
  if (!DatabaseFolder.empty()) {
    if (DatabaseFolder.back() != '\\') DatabaseFolder += '\\';
    // The logical file name is written bare; only a name that would end the
    // clause early is bracketed.
    const bool plain = name.find_first_of("]'") == std::string::npos;
    const std::string logical = plain ? name : "[" + BracketName(name) + "]";
    create += " on (NAME = " + logical + ", FILENAME = '" + QuoteText(DatabaseFolder) + QuoteText(name) + ".mdf')";
  }
  ExecuteScript(create);
  ExecuteScript("alter database [" + BracketName(name) + "] set recovery simple");

  const bool ok = SqlServerStepOk;
  cbSQLDatabase.checked = ok;
  if (!ok) host_.FocusControl(eSQLDatabase.name);
  return ok;
}

}  // namespace app
