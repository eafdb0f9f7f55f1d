// The Qt window of TfMain, rendered on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/tf_main.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"

namespace ui {
namespace {

using testing_support::TempDir;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[9] = "ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The window's form without servers (the steps that reach one stand aside),
// with a hook inside the row copy: the point of a run where the steps let the
// window handle its messages.
class ProbeForm : public app::TfMain {
 public:
  using TfMain::TfMain;

  std::function<void()> during_copy;
  int copy_calls = 0;

  void ConnectOracle() override {}
  void ConnectSQLServer(bool) override {}

 protected:
  bool CreateDatabase() override { return true; }
  void CreateUsers() override {}
  void CreateTables() override {}
  void VerifyCounts() override {}
  void CreateSupportingObjects() override {}
  void CopyRows() override {
    ++copy_calls;
    if (during_copy) during_copy();
  }
};

struct BoxSeen {
  QMessageBox::Icon icon;
  QString title;
  QString text;
  bool hourglass;  // an override cursor was up while the box waited
};

// Dismisses every message box that comes up, as an operator pressing OK would,
// and remembers what it said.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen_.push_back({box->icon(), box->windowTitle(), box->text(), QApplication::overrideCursor() != nullptr});
        box->accept();
      }
    });
    timer_.start(10);
  }
  const std::vector<BoxSeen>& Seen() const { return seen_; }

 private:
  QTimer timer_;
  std::vector<BoxSeen> seen_;
};

// The window as RunWindowApplication builds it, on a settings file and a
// program folder of the test's own, so that run logs land there.
class WindowTest : public ::testing::Test {
 protected:
  void Open(std::vector<std::string> params = {}) {
    params.push_back("/INI=" + SettingsFile().string());
    form_ = std::make_unique<ProbeForm>(host_, app::ProgramStart{dir_ / "migrator", std::move(params)});
    window_ = std::make_unique<MainWindow>(*form_);
    host_.Attach(window_.get());
    form_->Dispatch([this] { form_->FormCreate(); });
    window_->ShowModel();
  }

  void TearDown() override {
    host_.Attach(nullptr);
    window_.reset();
    form_.reset();
  }

  std::filesystem::path SettingsFile() const { return dir_ / "settings.ini"; }

  template <class W = QWidget>
  W* Find(const std::string& name) const {
    return window_->findChild<W*>(QString::fromStdString(name));
  }

  void ClickProcess() { QTest::mouseClick(Find<QPushButton>("bProcess"), Qt::LeftButton); }

  TempDir dir_;
  QtHost host_;
  std::unique_ptr<ProbeForm> form_;
  std::unique_ptr<MainWindow> window_;
};

void SaveScreenshot(QWidget& window, const QString& file_name) {
  const QString folder = QStringLiteral(MIGRATOR_SCREENSHOT_DIR);
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(window.grab().save(folder + "/" + file_name)) << file_name.toStdString();
}

TEST_F(WindowTest, ShowsEveryControlWithItsDefault) {
  Open();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  SaveScreenshot(*window_, "main_window.png");

  EXPECT_EQ(window_->windowTitle().toStdString(), form_->Caption);
  EXPECT_EQ(window_->size(), QSize(576, 510));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_EQ(window_->font().pointSize(), 8);

  struct EditCase {
    const char* group;
    const char* name;
    const char* label;
    const char* text;
    const char* shown;  // what the edit displays: masked edits echo "*"
  };
  const EditCase edits[] = {
      {"gbORA", "eORAHost", "Host", "Localhost", "Localhost"},
      {"gbORA", "eORAPort", "Port", "1521", "1521"},
      {"gbORA", "eORASID", "SID", "ORCL", "ORCL"},
      {"gbORA", "eORAUsername", "Username", "sys", "sys"},
      {"gbORA", "eORAPassword", "Password", "Fenwirk", "*******"},
      {"gbORA", "eORADatabaseName", "Schema", "Nortiva55", "Nortiva55"},
      {"gbSQL", "eSQLServer", "Server", "Localhost", "Localhost"},
      {"gbSQL", "eSQLUsername", "Username", "AD", "AD"},
      {"gbSQL", "eSQLPassword", "Password", "", ""},
      {"gbSQLDatabase", "eSQLDatabase", "Database", "Nortiva55", "Nortiva55"},
      {"gbSQLUsers", "eSQLUserUsername", "Username", "AD", "AD"},
      {"gbSQLUsers", "eSQLUserPassword", "Password", "", ""},
  };
  for (const EditCase& c : edits) {
    SCOPED_TRACE(c.name);
    auto* edit = Find<QLineEdit>(c.name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->parentWidget()->objectName(), c.group);
    EXPECT_EQ(edit->text(), c.text);
    EXPECT_EQ(edit->displayText(), c.shown);
    EXPECT_TRUE(edit->isVisible());
    auto* label = Find<QLabel>(std::string(c.name) + "Label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), c.label);
    EXPECT_EQ(label->buddy(), edit);
    EXPECT_LT(label->mapTo(window_.get(), QPoint()).x(), edit->mapTo(window_.get(), QPoint()).x());
  }
  // A masked edit keeps echoing "*" for what the operator types.
  auto* password = Find<QLineEdit>("eSQLPassword");
  QTest::keyClicks(password, "secret");
  EXPECT_EQ(password->displayText(), "******");

  struct CheckCase {
    const char* group;
    const char* name;
    const char* caption;
    bool checked;
  };
  const CheckCase checks[] = {
      {"gbSQLDatabase", "cbCreateSQLDatabase", "", true},
      {"gbSQLUsers", "cbCreateSQLUser", "", true},
      {"gbSQLUsers", "cbCreateSQLUserAll", "Create all users from database", true},
      {"gbTables", "cbMigrateTablesCreateTables", "Create Tables", true},
      {"gbTables", "cbMigrateTablesCopyRows", "Copy Rows", true},
      {"gbTables", "cbMultiThread", "Multithreading", true},
      {"gbTables", "cbMigrateTablesVerify", "Verify", true},
      {"gbTables", "cbMigrateProgramSQLObjects", "Supporting Objects", true},
      {"gbORA", "cbORAOpen", "Open", false},
      {"gbSQL", "cbSQLOpen", "Open", false},
      {"gbSQLDatabase", "cbSQLDatabase", "Done", false},
      {"gbSQLUsers", "cbSQLUser", "Done", false},
      {"gbSQLUsers", "cbSQLUserAll", "Done", false},
      {"gbTables", "cbMigrateTablesCreateTablesDone", "Done", false},
      {"gbTables", "cbMigrateTablesCopyRowsDone", "Done", false},
      {"gbTables", "cbMigrateTablesVerifyDone", "Done", false},
      {"gbTables", "cbMigrateProgramSQLObjectsDone", "Done", false},
  };
  for (const CheckCase& c : checks) {
    SCOPED_TRACE(c.name);
    auto* box = Find<QCheckBox>(c.name);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget()->objectName(), c.group);
    EXPECT_EQ(box->text(), c.caption);
    EXPECT_EQ(box->isChecked(), c.checked);
    EXPECT_TRUE(box->isVisible());
  }

  // Pairs that sit side by side on one row, the first left of the second.
  const char* const beside[][2] = {
      {"eORAHost", "cbORAOpen"},
      {"eSQLServer", "cbSQLOpen"},
      {"cbCreateSQLDatabase", "eSQLDatabase"},
      {"eSQLDatabase", "cbSQLDatabase"},
      {"cbCreateSQLUser", "eSQLUserUsername"},
      {"eSQLUserUsername", "cbSQLUser"},
      {"cbCreateSQLUserAll", "cbSQLUserAll"},
      {"cbMigrateTablesCreateTables", "cbMigrateTablesCreateTablesDone"},
      {"cbMigrateTablesCopyRows", "cbMultiThread"},
      {"cbMultiThread", "cbMigrateTablesCopyRowsDone"},
      {"cbMigrateTablesVerify", "cbMigrateTablesVerifyDone"},
      {"cbMigrateProgramSQLObjects", "cbMigrateProgramSQLObjectsDone"},
  };
  for (const auto& [left_name, right_name] : beside) {
    SCOPED_TRACE(std::string(left_name) + " | " + right_name);
    const QRect left(Find(left_name)->mapTo(window_.get(), QPoint()), Find(left_name)->size());
    const QRect right(Find(right_name)->mapTo(window_.get(), QPoint()), Find(right_name)->size());
    EXPECT_LE(left.right(), right.left());
    EXPECT_LT(right.top(), left.bottom());
    EXPECT_LT(left.top(), right.bottom());
  }

  auto* connection_type = Find<QGroupBox>("rgORAConnectionType");
  ASSERT_NE(connection_type, nullptr);
  EXPECT_EQ(connection_type->parentWidget()->objectName(), "gbORA");
  EXPECT_EQ(connection_type->title(), "Connection Type");
  const auto items = connection_type->findChildren<QRadioButton*>();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "Oracle Direct");
  EXPECT_EQ(items[1]->text(), "Oracle Client");
  EXPECT_TRUE(items[0]->isChecked());

  // The groups stack top to bottom, then the status bar, then the bottom bar.
  const char* const stack[] = {"gbORA", "gbSQL", "gbSQLDatabase", "gbSQLUsers", "gbTables", "sb", "gbNavigation"};
  const char* const titles[] = {"ORA", "SQL", "SQL Database", "SQL Users", "Tables", nullptr, "Navigation"};
  int bottom = 0;
  for (std::size_t i = 0; i < std::size(stack); ++i) {
    SCOPED_TRACE(stack[i]);
    QWidget* w = Find(stack[i]);
    ASSERT_NE(w, nullptr);
    EXPECT_GE(w->y(), bottom);
    bottom = w->geometry().bottom();
    if (titles[i]) {
      EXPECT_EQ(qobject_cast<QGroupBox*>(w)->title(), titles[i]);
    }
  }
  EXPECT_LE(bottom, window_->height());

  // Panels 80, 100, 80, 160 and the rest; the overall bar in panel 3, the
  // detail bar in panel 4.
  const int widths[] = {80, 100, 80, 160};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Find(QStringLiteral("sbPanel%1").arg(i).toStdString())->width(), widths[i]);
  QWidget* last = Find("sbPanel4");
  EXPECT_GE(last->geometry().right(), Find("sbPanel3")->geometry().right() + 100);
  EXPECT_EQ(Find<QProgressBar>("pb")->parentWidget(), Find("sbPanel3"));
  EXPECT_EQ(Find<QProgressBar>("pbDet")->parentWidget(), last);
  EXPECT_TRUE(Find("sb")->isVisible());

  auto* process = Find<QPushButton>("bProcess");
  auto* exit = Find<QPushButton>("bExit");
  auto* company = Find<QLabel>("lNortiva");
  ASSERT_TRUE(process && exit && company);
  EXPECT_EQ(process->text(), "&Process");
  EXPECT_EQ(exit->text(), "&Exit");
  EXPECT_EQ(company->text(), QString::fromStdString(form_->lNortiva.caption));
  EXPECT_LT(company->x(), process->x());
  EXPECT_LT(process->x(), exit->x());
}

// Every caption must be readable whole in the fixed window, whatever font the
// machine gives for Tahoma.
TEST_F(WindowTest, NothingIsClipped) {
  Open();
  // Panel texts and progress as a running step shows them.
  form_->sb.panels[0].text = "Copy Rows";
  form_->sb.panels[1].text = "tHE_MoveItem";
  form_->sb.panels[2].text = "123 / 456";
  form_->pb.max = 10;
  form_->pb.position = 4;
  form_->pbDet.max = 100;
  form_->pbDet.position = 70;
  window_->ShowModel();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  SaveScreenshot(*window_, "main_window_running.png");

  EXPECT_LE(window_->layout()->minimumSize().width(), window_->width());
  EXPECT_LE(window_->layout()->minimumSize().height(), window_->height());
  for (QWidget* w : window_->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->objectName().startsWith("qt_")) continue;
    SCOPED_TRACE(w->objectName().toStdString() + " (" + w->metaObject()->className() + ")");
    EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << "outside its parent";
    EXPECT_GE(w->width(), w->minimumSizeHint().width());
    EXPECT_GE(w->height(), w->minimumSizeHint().height());
    // Captions are shown whole, not elided or cut.
    const bool caption = qobject_cast<QAbstractButton*>(w) ||
                         (qobject_cast<QLabel*>(w) && !w->objectName().startsWith("sbPanel"));
    if (caption) {
      EXPECT_GE(w->width(), w->sizeHint().width());
    }
  }
  // Status bar texts are cut by their panel's fixed width by design; these fit.
  for (int i = 0; i < 3; ++i) {
    auto* panel = Find<QLabel>(QStringLiteral("sbPanel%1").arg(i).toStdString());
    EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text())) << i;
  }
}

TEST_F(WindowTest, OperatorEditsReachTheModelAtOnce) {
  Open();
  auto* server = Find<QLineEdit>("eSQLServer");
  server->selectAll();
  QTest::keyClicks(server, "db01\\erp");
  EXPECT_EQ(form_->eSQLServer.text, "db01\\erp");

  QTest::mouseClick(Find<QCheckBox>("cbMigrateTablesVerify"), Qt::LeftButton);
  EXPECT_FALSE(form_->cbMigrateTablesVerify.checked);

  QTest::mouseClick(Find<QRadioButton>("rgORAConnectionTypeItem1"), Qt::LeftButton);
  EXPECT_EQ(form_->rgORAConnectionType.item_index, 1);

  // "Copy Rows" enables "Multithreading" exactly when it is checked.
  auto* copy_rows = Find<QCheckBox>("cbMigrateTablesCopyRows");
  auto* multi_thread = Find<QCheckBox>("cbMultiThread");
  QTest::mouseClick(copy_rows, Qt::LeftButton);
  EXPECT_FALSE(form_->cbMigrateTablesCopyRows.checked);
  EXPECT_FALSE(form_->cbMultiThread.enabled);
  EXPECT_FALSE(multi_thread->isEnabled());
  QTest::mouseClick(copy_rows, Qt::LeftButton);
  EXPECT_TRUE(multi_thread->isEnabled());

  // What the operator set is what the close writes.
  ASSERT_TRUE(window_->close());
  const std::string settings = testing_support::ReadFile(SettingsFile());
  EXPECT_NE(settings.find("SQLServer=db01\\erp"), std::string::npos) << settings;
  EXPECT_NE(settings.find("MigrateTablesVerify=0"), std::string::npos) << settings;
  EXPECT_NE(settings.find("ORAConnectionType=1"), std::string::npos) << settings;
}

TEST_F(WindowTest, ProcessMessagesShowsWhatTheStepsSet) {
  Open();
  form_->eSQLDatabase.text = "Target";
  form_->eORAPort.enabled = false;
  form_->eSQLUserPassword.visible = false;
  form_->cbORAOpen.checked = true;
  form_->cbMigrateTablesCopyRowsDone.checked = true;
  form_->rgORAConnectionType.item_index = 1;
  form_->sb.panels[0].text = "Verify";
  form_->sb.panels[1].width = 140;
  form_->sb.panels[2].visible = false;
  form_->pb.min = 1;
  form_->pb.max = 40;
  form_->pb.position = 12;
  form_->pbDet.visible = false;
  host_.ProcessMessages();

  EXPECT_EQ(Find<QLineEdit>("eSQLDatabase")->text(), "Target");
  EXPECT_FALSE(Find("eORAPort")->isEnabled());
  EXPECT_TRUE(Find("eSQLUserPassword")->isHidden());
  EXPECT_TRUE(Find("eSQLUserPasswordLabel")->isHidden());
  EXPECT_TRUE(Find<QCheckBox>("cbORAOpen")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("cbMigrateTablesCopyRowsDone")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>("rgORAConnectionTypeItem1")->isChecked());
  EXPECT_EQ(Find<QLabel>("sbPanel0")->text(), "Verify");
  EXPECT_EQ(Find("sbPanel1")->maximumWidth(), 140);
  EXPECT_TRUE(Find("sbPanel2")->isHidden());
  auto* pb = Find<QProgressBar>("pb");
  EXPECT_EQ(pb->minimum(), 1);
  EXPECT_EQ(pb->maximum(), 40);
  EXPECT_EQ(pb->value(), 12);
  EXPECT_TRUE(Find("pbDet")->isHidden());

  form_->sb.visible = false;
  host_.ProcessMessages();
  EXPECT_TRUE(Find("sb")->isHidden());
}

TEST_F(WindowTest, ProcessRunsTheRunAndShowsTheFinishedMessage) {
  Open();
  window_->show();
  MessageBoxWatcher boxes;
  ClickProcess();

  EXPECT_EQ(form_->copy_calls, 1);
  EXPECT_EQ(form_->LastOutcome(), app::RunOutcome::kFinished);
  ASSERT_EQ(boxes.Seen().size(), 1u);
  EXPECT_EQ(boxes.Seen()[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes.Seen()[0].title, QString::fromUtf8(app::kApplicationTitle));
  EXPECT_EQ(boxes.Seen()[0].text, "Database migration is finished!");
  EXPECT_FALSE(boxes.Seen()[0].hourglass);
  EXPECT_EQ(form_->LastRunLogName().parent_path(), dir_.path());
  EXPECT_TRUE(std::filesystem::exists(form_->LastRunLogName()));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(Find("bProcess")->isEnabled());
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(WindowTest, ErrorOfARunIsShownInTheErrorBox) {
  Open();
  form_->during_copy = [] { throw std::runtime_error("QARNETH Error: the copy failed"); };
  window_->show();
  MessageBoxWatcher boxes;
  ClickProcess();

  EXPECT_EQ(form_->LastOutcome(), app::RunOutcome::kFailed);
  ASSERT_EQ(boxes.Seen().size(), 1u);
  EXPECT_EQ(boxes.Seen()[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes.Seen()[0].title, QString::fromUtf8(app::kApplicationTitle));
  EXPECT_EQ(boxes.Seen()[0].text, "QARNETH Error: the copy failed");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

const char* const kMarks[] = {
    "cbORAOpen",
    "cbSQLOpen",
    "cbSQLDatabase",
    "cbSQLUser",
    "cbSQLUserAll",
    "cbMigrateTablesCreateTablesDone",
    "cbMigrateTablesCopyRowsDone",
    "cbMigrateTablesVerifyDone",
    "cbMigrateProgramSQLObjectsDone",
};

TEST_F(WindowTest, MarksCannotBeChangedByTheOperator) {
  Open();
  form_->cbSQLOpen.checked = true;
  window_->ShowModel();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));

  for (const char* name : kMarks) {
    SCOPED_TRACE(name);
    auto* mark = Find<QCheckBox>(name);
    const bool before = mark->isChecked();
    QTest::mouseClick(mark, Qt::LeftButton);
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, mark->mapTo(window_.get(), QPoint(6, 6)));
    mark->click();
    mark->setFocus();
    QTest::keyClick(mark, Qt::Key_Space);
    EXPECT_EQ(mark->isChecked(), before);
  }
  EXPECT_TRUE(form_->cbSQLOpen.checked);
  EXPECT_FALSE(form_->cbORAOpen.checked);
}

TEST_F(WindowTest, TabSkipsTheMarks) {
  Open();
  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

  Find("eORAHost")->setFocus();
  std::vector<std::string> visited;
  for (int i = 0; i < 40; ++i) {
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  for (const char* name : kMarks) EXPECT_EQ(std::count(visited.begin(), visited.end(), name), 0) << name;
  for (const char* name : {"eORAPassword", "eSQLServer", "cbCreateSQLDatabase", "cbMigrateProgramSQLObjects",
                           "bProcess", "bExit"}) {
    EXPECT_GT(std::count(visited.begin(), visited.end(), name), 0) << name;
  }
}

TEST_F(WindowTest, RunInProgressRefusesACloseAndASecondProcess) {
  Open();
  window_->show();
  bool closed_during_run = true;
  bool exit_enabled_during_run = true;
  Qt::CursorShape cursor_during_run = Qt::ArrowCursor;
  form_->during_copy = [&] {
    host_.ProcessMessages();
    if (const QCursor* cursor = QApplication::overrideCursor()) cursor_during_run = cursor->shape();
    exit_enabled_during_run = Find("bExit")->isEnabled();
    ClickProcess();
    host_.Close();  // what "&Exit" asks for
    closed_during_run = window_->close();
  };
  MessageBoxWatcher boxes;
  ClickProcess();

  EXPECT_FALSE(closed_during_run);
  EXPECT_FALSE(exit_enabled_during_run);
  EXPECT_EQ(cursor_during_run, Qt::WaitCursor);
  EXPECT_EQ(form_->copy_calls, 1);
  EXPECT_EQ(boxes.Seen().size(), 1u);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

  // Once the run is over the window closes, and the close saves the settings.
  QTest::mouseClick(Find<QPushButton>("bExit"), Qt::LeftButton);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
}

TEST_F(WindowTest, AutomaticRunStartsAfterTheFirstPaintAndCloses) {
  Open({"/A"});
  MessageBoxWatcher boxes;
  window_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->isVisible(); }, 5000));

  EXPECT_EQ(form_->copy_calls, 1);
  EXPECT_EQ(form_->LastOutcome(), app::RunOutcome::kFinished);
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_TRUE(std::filesystem::exists(form_->LastRunLogName()));
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
}

TEST_F(WindowTest, AutomaticRunEndedByAnErrorLeavesTheWindowOpen) {
  Open({"/A"});
  form_->during_copy = [] { throw std::runtime_error("QARNETH Error: the copy failed"); };
  MessageBoxWatcher boxes;
  window_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Seen().empty(); }, 5000));
  QTest::qWait(50);

  EXPECT_EQ(boxes.Seen()[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes.Seen()[0].text, "QARNETH Error: the copy failed");
  EXPECT_EQ(form_->LastOutcome(), app::RunOutcome::kFailed);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
  // Later paints do not start a second run.
  window_->repaint();
  QTest::qWait(50);
  EXPECT_EQ(form_->copy_calls, 1);
}

}  // namespace
}  // namespace ui
