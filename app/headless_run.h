// The unattended run without a display: create the window model, let its first
// paint run the migration, close it, and report how the run ended.
#pragma once

#include <iosfwd>

#include "app/tf_main.h"

namespace app {

// Returns the exit status for schedulers (ExitStatus). Errors and messages go to
// `err`, and with `progress` a line saying what the run is doing (for a person
// at a terminal). The settings file is written at the end, as a closing window does.
int RunHeadless(ProgramStart start, std::ostream& err, bool progress = false);

}  // namespace app
