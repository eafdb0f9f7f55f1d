// The window's data-access objects and their design settings.
#include "app/tf_main.h"

namespace app {

void TfMain::SetUpDataAccessObjects() {
  orasORA.Options.Charset = "EE8MSWIN1250";
  orasORA.Options.Direct = true;
  orasORA.LoginPrompt = false;
  orasORA.OnConnectChange = [this](dac::OraSession& s, bool connected) { orasORAConnectChange(s, connected); };

  mscSQL.AfterConnect = [this](dac::DAConnection& c) { mscSQLConnectStatus(c); };
  mscSQL.AfterDisconnect = [this](dac::DAConnection& c) { mscSQLConnectStatus(c); };

  SetUpSourceQuery(orasqQuery, orasORA);
  SetUpSourceQuery(orasqQuery1, orasORA);
  SetUpTargetQuery(msqQuery, mscSQL);

  msScript.SetConnection(&mscSQL);
  msScript.BeforeExecute = [this](dac::MSScript& s, std::string& sql, bool& omit) {
    msScriptBeforeExecute(s, sql, omit);
  };
  msScript.OnError = [this](dac::MSScript& s, const std::exception& e, const std::string& sql,
                            dac::ErrorAction& a) { msScriptError(s, e, sql, a); };
}

void TfMain::SetUpSourceQuery(dac::OraQuery& query, dac::OraSession& session) {
  query.SetSession(&session);
  query.SetReadOnly(true);
  query.AutoCommit = false;
  query.Options.DeferredLobRead = true;
  query.Options.QueryRecCount = true;
  query.Options.TemporaryLobUpdate = true;
  query.OnPostError = [this](dac::DataSet& d, const std::exception& e, dac::DataAction& a) {
    orasqQueryPostError(d, e, a);
  };
}

void TfMain::SetUpTargetQuery(dac::MSQuery& query, dac::MSConnection& connection) {
  query.SetConnection(&connection);
  query.SetFetchRows(50);
  query.SetFetchAll(false);
  query.Options.TrimVarChar = true;
  query.OnPostError = [this](dac::DataSet& d, const std::exception& e, dac::DataAction& a) {
    msqQueryPostError(d, e, a);
  };
}

}  // namespace app
