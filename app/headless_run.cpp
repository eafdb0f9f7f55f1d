#include "app/headless_run.h"

#include <ostream>

#include "app/headless_host.h"

namespace app {

int RunHeadless(ProgramStart start, std::ostream& err, bool progress) {
  HeadlessHost host(err);
  TfMain form(host, std::move(start));
  if (progress) {
    host.SetProgressLine([&form] {
      const StatusBar& sb = form.sb;
      if (!sb.visible) return std::string();
      std::string line = sb.panels[0].text;
      for (int i : {1, 2}) {
        if (sb.panels[i].visible && !sb.panels[i].text.empty()) line += "  " + sb.panels[i].text;
      }
      return line;
    });
  }
  form.Dispatch([&] { form.FormCreate(); });
  if (!form.AutoRun) {
    err << "There is no display to show the window on; start with /A for an unattended run." << std::endl;
    return 1;
  }
  form.Dispatch([&] { form.FormPaint(); });
  host.EndProgress();
  // Nobody is left to close the window after an error: it closes here, and the
  // settings are written as at any close.
  form.Dispatch([&] { form.FormClose(); });
  return ExitStatus(form.LastOutcome());
}

}  // namespace app
