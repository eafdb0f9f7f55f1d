#include "ui/qt_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include "app/tf_main.h"
#include "ui/main_window.h"

namespace ui {

QtHost::~QtHost() {
  if (hourglass_) QApplication::restoreOverrideCursor();
}

void QtHost::ProcessMessages() {
  if (window_) window_->ShowModel();
  QCoreApplication::processEvents();
}

void QtHost::ShowMessage(const std::string& text) { ShowBox(BoxKind::kInformation, text); }

void QtHost::ShowError(const std::string& text) { ShowBox(BoxKind::kCritical, text); }

void QtHost::ShowBox(BoxKind kind, const std::string& text) {
  // The window behind the box shows the state the message is about.
  if (window_) window_->ShowModel();
  // The operator has to read and dismiss the box; an hourglass over it would
  // say the program is busy when it is waiting for them.
  const bool lift_hourglass = hourglass_;
  if (lift_hourglass) QApplication::restoreOverrideCursor();
  QMessageBox box(kind == BoxKind::kInformation ? QMessageBox::Information : QMessageBox::Critical,
                  QString::fromUtf8(app::kApplicationTitle), QString::fromStdString(text), QMessageBox::Ok,
                  window_);
  box.exec();
  if (lift_hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtHost::SetCursor(app::CursorKind kind) {
  const bool hourglass = kind == app::CursorKind::kHourglass;
  if (hourglass == hourglass_) return;
  if (hourglass) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
  hourglass_ = hourglass;
}

void QtHost::FocusControl(const std::string& control_name) {
  if (!window_) return;
  if (auto* control = window_->findChild<QWidget*>(QString::fromStdString(control_name))) control->setFocus();
}

void QtHost::Close() {
  if (window_) window_->close();
}

}  // namespace ui
