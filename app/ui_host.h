// The toolkit as the window model sees it. Two implementations: the Qt window
// (ui/) and the headless host (app/headless_host.h). All calls come from the
// window's thread.
#pragma once

#include <string>

namespace app {

enum class CursorKind { kDefault, kHourglass };

class UiHost {
 public:
  virtual ~UiHost() = default;

  // Copies the model into the screen and handles pending input; may re-enter
  // the window's event operations (which refuse a second run).
  virtual void ProcessMessages() = 0;
  // A modal information box; returns when the operator dismisses it.
  virtual void ShowMessage(const std::string& text) = 0;
  // The application's standard error box.
  virtual void ShowError(const std::string& text) = 0;
  virtual void SetCursor(CursorKind kind) = 0;
  virtual void FocusControl(const std::string& control_name) = 0;
  // Asks the window to close; the host then calls TfMain::FormClose.
  virtual void Close() = 0;
};

}  // namespace app
