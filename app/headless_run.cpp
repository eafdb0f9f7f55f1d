#include "app/headless_run.h"

#include <ostream>

#include "app/headless_host.h"

namespace app {

int RunHeadless(ProgramStart start, std::ostream& err) {
  HeadlessHost host(err);
  TfMain form(host, std::move(start));
  form.Dispatch([&] { form.FormCreate(); });
  if (!form.AutoRun) {
    err << "There is no display to show the window on; start with /A for an unattended run." << std::endl;
    return 1;
  }
  form.Dispatch([&] { form.FormPaint(); });
  // Nobody is left to close the window after an error: it closes here, and the
  // settings are written as at any close.
  form.Dispatch([&] { form.FormClose(); });
  return ExitStatus(form.LastOutcome());
}

}  // namespace app
