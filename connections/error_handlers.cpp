// Failing statements and row inserts: written to the run log, remembered in
// SqlServerStepOk, never raised. The one error shown at once is a failing
// "create database" in an interactive run.
#include "app/tf_main.h"
#include "connections/table_name_from_select.h"
#include "dac/sql_dataset.h"

namespace app {
namespace {

std::string SqlTextOf(const dac::DataSet& d) {
  const auto* sql = dynamic_cast<const dac::SqlDataSet*>(&d);
  return sql ? sql->SQL.Text() : std::string();
}

}  // namespace

void TfMain::msScriptBeforeExecute(dac::MSScript&, std::string&, bool&) { SqlServerStepOk = true; }

void TfMain::msScriptError(dac::MSScript&, const std::exception& E, const std::string& SQL, dac::ErrorAction& Action) {
  SqlServerStepOk = false;
  // Only an interactive run shows a refused "create database" (exactly these
  // lower-case letters at the start); every other refusal is logged and the
  // script goes on.
  if (AutoRun || !SQL.starts_with("create database")) Action = dac::ErrorAction::eaContinue;
  WriteLog(false, SQL, std::string(E.what()) + "\r\n");
}

void TfMain::msqQueryPostError(dac::DataSet& DataSet, const std::exception& E, dac::DataAction& Action) {
  SqlServerStepOk = false;
  Action = dac::DataAction::daAbort;
  const std::string sql = SqlTextOf(DataSet);
  const std::string caption = sql.find("where 1=2") != std::string::npos ? connections::TableNameFromSelect(sql) : sql;
  WriteLog(false, caption, std::string(E.what()) + "\r\n");
}

void TfMain::orasqQueryPostError(dac::DataSet& DataSet, const std::exception& E, dac::DataAction& Action) {
  Action = dac::DataAction::daAbort;
  WriteLog(false, SqlTextOf(DataSet), std::string(E.what()) + "\r\n");
}

}  // namespace app
