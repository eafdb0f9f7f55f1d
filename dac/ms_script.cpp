#include "dac/ms_script.h"

#include "dac/script_batches.h"
#include "platform/error_display.h"
#include "platform/text.h"

namespace dac {

MSScript::~MSScript() {
  if (connection_) connection_->RemoveClient(this);
}

void MSScript::SetConnection(MSConnection* connection) {
  if (connection == connection_) return;
  if (connection_) connection_->RemoveClient(this);
  connection_ = connection;
  if (connection_) connection_->AddClient(this);
}

void MSScript::Execute() {
  if (!connection_) throw DatabaseError("Script has no connection");
  for (auto& batch : SplitScriptBatches(SQL.Lines())) {
    bool omit = false;
    if (BeforeExecute) BeforeExecute(*this, batch, omit);
    if (omit) continue;
    try {
      connection_->Handle().Execute(batch);
    } catch (const DriverError& e) {
      ErrorAction action = ErrorAction::eaException;
      if (OnError) OnError(*this, e, platform::Trim(batch), action);
      switch (action) {
        case ErrorAction::eaAbort:
          return;
        case ErrorAction::eaFail:
          throw;
        case ErrorAction::eaException:
          platform::ShowErrorMessage(e.what());
          continue;
        case ErrorAction::eaContinue:
          continue;
      }
    }
    if (AfterExecute) AfterExecute(*this, batch);
  }
}

}  // namespace dac
