// The program with its window: the Qt application, the window of TfMain and the
// event loop. Used by main() when there is a display to show the window on.
#pragma once

#include "app/tf_main.h"

namespace ui {

// Creates the window, runs it until it closes and returns the exit status for
// schedulers (app::ExitStatus of the last run). Call once, on the main thread.
int RunWindowApplication(int argc, char** argv, app::ProgramStart start);

}  // namespace ui
