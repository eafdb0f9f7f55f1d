// The application's standard error display, reachable from layers that do not
// know the window (a script component that shows an error and goes on). The
// window's host installs the display at start; until then messages go to
// standard error. Safe to call from any thread; the display itself is called
// on the caller's thread.
#pragma once

#include <functional>
#include <string>

namespace platform {

void SetErrorDisplay(std::function<void(const std::string&)> display);
void ShowErrorMessage(const std::string& message);

}  // namespace platform
