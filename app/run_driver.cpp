// The run: one pass over the migration steps, framed by the run log.
#include <utility>

#include "app/tf_main.h"
#include "platform/abort.h"
#include "platform/date_time_format.h"
#include "platform/scope_guard.h"

namespace app {

using platform::ScopeGuard;

std::string TimeNow() { return platform::FormatLogTime(platform::Clock::now()); }

void TfMain::WriteStepBanner(std::string_view step, bool start) {
  WriteLog(true, "", std::string(step) + (start ? " Start at: " : " Finish at: ") + TimeNow());
}

void TfMain::bProcessClick() {
  // The steps let the window handle its messages; a second press must not start
  // a run inside the running one.
  if (run_in_progress_) return;
  run_in_progress_ = true;
  MultiThreadRun = cbMultiThread.checked;
  last_outcome_ = RunOutcome::kFailed;

  host_.SetCursor(CursorKind::kHourglass);
  ScopeGuard restore_cursor([this]() noexcept {
    host_.SetCursor(CursorKind::kDefault);
    run_in_progress_ = false;
  });

  const auto start = platform::Clock::now();
  last_run_log_name_ =
      start_.program_file.parent_path() / ("MgrQARNETH_" + platform::FormatFileStamp(start) + ".log");
  RunLog_.Open(last_run_log_name_);

  bool finished = false;
  {
    ScopeGuard close_log([this]() noexcept { RunLog_.Close(); });
    WriteLog(false, "", Caption);
    WriteLog(true, "", "QARNETH Process Start at: " + TimeNow());
    try {
      RunSteps(finished);
    } catch (const platform::EAbort&) {
      throw;  // silent: whoever aborted has logged the reason
    } catch (const std::exception& e) {
      // The error box may have nobody in front of it (an unattended run), so
      // the log says why the run stopped. A log that cannot take the entry
      // must not hide the error itself.
      try {
        WriteLog(false, "", "QARNETH Error: " + std::string(e.what()) + "\r\n");
      } catch (const std::exception&) {
      }
      throw;
    }
    WriteLog(true, "", "QARNETH Finish at: " + TimeNow());
  }
  last_outcome_ = finished ? RunOutcome::kFinished : RunOutcome::kEndedEarly;
  if (!AutoRun && finished) host_.ShowMessage("Database migration is finished!");
}

void TfMain::RunSteps(bool& finished) {
  ConnectOracle();
  ConnectSQLServer(true);

  if (!VerifyOnly() && !CreateDatabase()) return;

  ConnectSQLServer(false);
  CreateUsers();
  if (MainConnectionsOpen()) {
    WriteLog(false, "", OracleIdentityLine());
    WriteLog(false, "", SqlServerIdentityLine());
  }
  CreateTables();
  CopyRows();
  VerifyCounts();
  CreateSupportingObjects();
  finished = true;
}

}  // namespace app
