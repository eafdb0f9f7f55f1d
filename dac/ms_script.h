// A SQL Server script: SQL lines (typed, or loaded from a file) executed
// batch by batch on an MSConnection. A line holding only "go" ends a batch
// (SplitScriptBatches); each batch goes to the server whole.
//
// Before each batch BeforeExecute may change its text or omit it. When the
// server refuses a batch, OnError receives the error, the batch text trimmed
// of surrounding blanks and the action, which starts at eaException:
//   eaException  show the error in the application's error display
//                (platform::ShowErrorMessage), go on with the next batch;
//   eaContinue   go on silently;
//   eaAbort      stop the script silently;
//   eaFail       stop and pass the DriverError to the caller of Execute.
// Only server refusals go to OnError; a closed connection throws
// DatabaseError from Execute.
// Threads: one thread at a time, the thread of its connection.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "dac/da_connection.h"
#include "dac/ms_connection.h"
#include "dac/text_lines.h"

namespace dac {

enum class ErrorAction { eaAbort, eaFail, eaException, eaContinue };

class MSScript : private ConnectionClient {
 public:
  using BeforeExecuteEvent = std::function<void(MSScript& sender, std::string& sql, bool& omit)>;
  using AfterExecuteEvent = std::function<void(MSScript& sender, const std::string& sql)>;
  using ErrorEvent =
      std::function<void(MSScript& sender, const std::exception& error, const std::string& sql, ErrorAction& action)>;

  MSScript() = default;
  MSScript(const MSScript&) = delete;
  MSScript& operator=(const MSScript&) = delete;
  ~MSScript();

  MSConnection* Connection() const { return connection_; }
  void SetConnection(MSConnection* connection);

  void Execute();

  TextLines SQL;
  BeforeExecuteEvent BeforeExecute;
  AfterExecuteEvent AfterExecute;
  ErrorEvent OnError;

 private:
  void ConnectionClosing() override {}
  void ConnectionGone() noexcept override { connection_ = nullptr; }

  MSConnection* connection_ = nullptr;
};

}  // namespace dac
