// The window of TfMain: one widget per control of the model, laid out as the
// operator knows the window (groups "ORA", "SQL", "SQL Database", "SQL Users",
// "Tables", the status bar, the bottom bar "Navigation"), fixed at a client
// area of 576 x 510.
//
// The model is the truth. ShowModel copies it into the widgets; an edit by the
// operator writes into the model at once. Every widget's objectName is the
// model name of its control ("eSQLServer", "cbORAOpen", "sb", "pbDet"...); the
// label of a text edit is "<edit>Label" and the status bar's panels are
// "sbPanel0" to "sbPanel4".
//
// Events reach the form through TfMain::Dispatch, so an error that escapes one
// is shown in the error box and goes no further. The first paint queues
// FormPaint instead of calling it from the paint handler, because in automatic
// mode it runs the whole migration and closes the window.
//
// Threads: the window's thread only.
#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "app/tf_main.h"

class QButtonGroup;
class QGroupBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QStyle;

namespace ui {

class CheckField;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 576;
  static constexpr int kClientHeight = 510;

  // Builds the widgets for `form`, which must outlive the window. Shows
  // nothing yet: call ShowModel after FormCreate, then show().
  explicit MainWindow(app::TfMain& form, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Copies texts, checked states, enabled and visible states, the caption, the
  // status bar's panels and both progress bars from the model into the widgets.
  void ShowModel();

  // Tahoma 8 where the machine has it, else the system's sans font at 8 points.
  static QFont WindowFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct EditView {
    app::TextEdit* model;
    QLineEdit* edit;
    QLabel* label;
  };
  struct CheckView {
    app::CheckBox* model;
    CheckField* box;
  };
  struct GroupView {
    app::GroupBox* model;
    QGroupBox* box;
  };
  struct PanelView {
    app::StatusPanel* model;
    QWidget* panel;
    QLabel* text;  // null for the container panels
  };
  struct ProgressView {
    app::ProgressBar* model;
    QProgressBar* bar;
  };

  // Runs one event of the form, then shows the model as the event left it.
  void Run(const std::function<void()>& event);

  QGroupBox* AddGroup(app::GroupBox& model);
  QLineEdit* AddEdit(QGridLayout* grid, int row, int column, app::TextEdit& model);
  CheckField* NewCheck(QWidget* parent, app::CheckBox& model);
  CheckField* AddCheck(QGridLayout* grid, int row, int column, int column_span, app::CheckBox& model);
  void BuildOracleGroup();
  void BuildSqlGroup();
  void BuildSqlDatabaseGroup();
  void BuildSqlUsersGroup();
  void BuildTablesGroup();
  void BuildStatusBar();
  void BuildNavigation();
  void AlignGroupColumns();
  void CenterOnScreen();

  app::TfMain& form_;
  QStyle* masked_echo_style_;  // owned by this window (QObject child)

  std::vector<EditView> edits_;
  std::vector<CheckView> checks_;
  std::vector<GroupView> groups_;
  std::vector<PanelView> panels_;
  std::vector<ProgressView> progress_bars_;
  std::vector<QGridLayout*> group_grids_;
  QGroupBox* connection_type_ = nullptr;
  QButtonGroup* connection_type_items_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  QPushButton* process_ = nullptr;
  QPushButton* exit_ = nullptr;
  QLabel* company_ = nullptr;

  bool first_paint_queued_ = false;
};

}  // namespace ui
