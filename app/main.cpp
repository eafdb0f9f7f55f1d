// Program entry: the window when there is a display, the headless host for an
// unattended run without one.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "drivers/embedded/embedded_driver.h"
#include "drivers/odbc/odbc_driver.h"
#include "platform/program_file.h"

#ifdef MIGRATOR_WITH_UI
#include "ui/window_application.h"
#endif

namespace {

bool HasDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(var);
    if (v && *v) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> params(argv + 1, argv + argc);
  if (app::AsksForHelp(params)) {
    std::cout << app::kUsage;
    return 0;
  }
  odbc::RegisterOdbcDriver();
  embedded::RegisterEmbeddedDriver();
  app::ProgramStart start{platform::ProgramFileName(), params};
#ifdef MIGRATOR_WITH_UI
  if (HasDisplay()) return ui::RunWindowApplication(argc, argv, std::move(start));
#else
  (void)HasDisplay;
#endif
  return app::RunHeadless(std::move(start), std::cerr, isatty(STDERR_FILENO) != 0);
}
