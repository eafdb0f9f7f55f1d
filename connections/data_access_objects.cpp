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

  for (dac::OraQuery* q : {&orasqQuery, &orasqQuery1}) {
    q->SetSession(&orasORA);
    q->SetReadOnly(true);
    q->AutoCommit = false;
    q->Options.DeferredLobRead = true;
    q->Options.QueryRecCount = true;
    q->Options.TemporaryLobUpdate = true;
    q->OnPostError = [this](dac::DataSet& d, const std::exception& e, dac::DataAction& a) {
      orasqQueryPostError(d, e, a);
    };
  }

  msqQuery.SetConnection(&mscSQL);
  msqQuery.SetFetchRows(50);
  msqQuery.SetFetchAll(false);
  msqQuery.Options.TrimVarChar = true;
  msqQuery.OnPostError = [this](dac::DataSet& d, const std::exception& e, dac::DataAction& a) {
    msqQueryPostError(d, e, a);
  };

  msScript.SetConnection(&mscSQL);
  msScript.BeforeExecute = [this](dac::MSScript& s, std::string& sql, bool& omit) {
    msScriptBeforeExecute(s, sql, omit);
  };
  msScript.OnError = [this](dac::MSScript& s, const std::exception& e, const std::string& sql,
                            dac::ErrorAction& a) { msScriptError(s, e, sql, a); };
}

}  // namespace app
