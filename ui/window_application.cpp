#include "ui/window_application.h"

#include <QApplication>
#include <utility>

#include "ui/main_window.h"
#include "ui/qt_host.h"

namespace ui {

int RunWindowApplication(int argc, char** argv, app::ProgramStart start) {
  QApplication application(argc, argv);
  QtHost host;
  app::TfMain form(host, std::move(start));
  MainWindow window(form);
  host.Attach(&window);

  form.Dispatch([&] { form.FormCreate(); });
  window.ShowModel();
  window.show();
  QApplication::exec();

  host.Attach(nullptr);
  return app::ExitStatus(form.LastOutcome());
}

}  // namespace ui
