// The host for runs without a display (tests, and "/A" on a machine with no
// display): message boxes go to standard error, the cursor and focus are
// ignored, and a close request is remembered for the caller to act on.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/ui_host.h"

namespace app {

class HeadlessHost : public UiHost {
 public:
  explicit HeadlessHost(std::ostream& err);

  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetCursor(CursorKind kind) override { cursor_ = kind; }
  void FocusControl(const std::string&) override {}
  void Close() override { close_requested_ = true; }

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
};

}  // namespace app
