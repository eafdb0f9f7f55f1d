// The toolkit for TfMain when a person sees the window: Qt message boxes, the
// override cursor and the window of ui/main_window.h. The window is attached
// after the form exists, since each needs the other; until then calls that
// need it do nothing but show their boxes without a parent.
//
// Threads: the window's thread only, like every UiHost.
#pragma once

#include <string>

#include "app/ui_host.h"

namespace ui {

class MainWindow;

class QtHost : public app::UiHost {
 public:
  QtHost() = default;
  ~QtHost() override;
  QtHost(const QtHost&) = delete;
  QtHost& operator=(const QtHost&) = delete;

  // `window` is not owned and must outlive every later call, or be detached
  // with nullptr first.
  void Attach(MainWindow* window) { window_ = window; }

  // Shows the model in the widgets, then handles pending input and paints.
  void ProcessMessages() override;
  // Modal boxes titled with the application title. The hourglass is lifted
  // while they wait for the operator.
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetCursor(app::CursorKind kind) override;
  void FocusControl(const std::string& control_name) override;
  // Asks the window to close; the window refuses while a run is in progress.
  void Close() override;

 private:
  enum class BoxKind { kInformation, kCritical };
  void ShowBox(BoxKind kind, const std::string& text);

  MainWindow* window_ = nullptr;
  bool hourglass_ = false;  // an override cursor of ours is on Qt's stack
};

}  // namespace ui
