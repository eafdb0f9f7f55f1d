// The host for runs without a display (tests, and "/A" on a machine with no
// display): message boxes go to standard error, the cursor and focus are
// ignored, and a close request is remembered for the caller to act on.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/ui_host.h"

namespace app {

class HeadlessHost : public UiHost {
 public:
  explicit HeadlessHost(std::ostream& err);

  // Prints the progress line (when one is set) at most a few times a second,
  // over itself: nobody sees a status bar in an unattended run.
  void ProcessMessages() override;
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetCursor(CursorKind kind) override { cursor_ = kind; }
  void FocusControl(const std::string&) override {}
  void Close() override { close_requested_ = true; }

  // What the progress line says; unset, nothing is printed.
  void SetProgressLine(std::function<std::string()> describe) { describe_ = std::move(describe); }
  // Ends a progress line that is still on the screen.
  void EndProgress();

  bool CloseRequested() const { return close_requested_; }
  CursorKind Cursor() const { return cursor_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  std::ostream& err_;
  bool close_requested_ = false;
  CursorKind cursor_ = CursorKind::kDefault;
  std::vector<std::string> messages_;
  std::vector<std::string> errors_;
  std::function<std::string()> describe_;
  std::string last_line_;
  std::chrono::steady_clock::time_point last_print_{};
};

}  // namespace app
