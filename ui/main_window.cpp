#include "ui/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace ui {
namespace {

// Columns shared by the grids of all groups, so that labels, edits and marks
// line up from one group to the next.
enum Column : int {
  kCheckColumn = 0,  // a check box without caption, in front of a label
  kLabelColumn = 1,
  kEditColumn = 2,
  kMarkColumn = 3,
  kRightLabelColumn = 4,
  kRightEditColumn = 5,
  kRightMarkColumn = 6,
  kColumnCount = 7,
};

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Masked edits echo "*" whatever the style would otherwise draw.
class MaskedEchoStyle : public QProxyStyle {
 public:
  MaskedEchoStyle() : QProxyStyle(QApplication::style()->name()) {}

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* return_data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, return_data);
  }
};

// Holds a column at its width. Unlike a plain spacer it counts as content, so
// QGridLayout keeps the spacing beside a column that has no widget in a group.
class ColumnStrut : public QSpacerItem {
 public:
  explicit ColumnStrut(int width) : QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum) {}
  bool isEmpty() const override { return false; }
};

void SetShown(QWidget* widget, bool visible) {
  if (widget->isHidden() == visible) widget->setVisible(visible);
}

QGridLayout* NewGrid(QGroupBox* box) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(4, 2, 4, 4);
  grid->setHorizontalSpacing(5);
  grid->setVerticalSpacing(4);
  // What the columns leave of the group's width stays at the right.
  grid->setColumnStretch(kColumnCount, 1);
  return grid;
}

}  // namespace

// A check box that can also be a read-only mark: then neither the mouse, the
// keyboard nor click() changes it and it is left out of the tab order. Only
// setChecked (the model) moves it.
class CheckField : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

  void SetReadOnly(bool read_only) {
    read_only_ = read_only;
    setFocusPolicy(read_only ? Qt::NoFocus : Qt::StrongFocus);
  }

 protected:
  bool hitButton(const QPoint& pos) const override { return !read_only_ && QCheckBox::hitButton(pos); }
  void nextCheckState() override {
    if (!read_only_) QCheckBox::nextCheckState();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (read_only_) {
      event->ignore();
      return;
    }
    QCheckBox::keyPressEvent(event);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (read_only_) {
      event->ignore();
      return;
    }
    QCheckBox::keyReleaseEvent(event);
  }

 private:
  bool read_only_ = false;
};

QFont MainWindow::WindowFont() {
  QString family = QStringLiteral("Tahoma");
  if (!QFontDatabase::hasFamily(family)) {
    family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  }
  QFont font(family);
  font.setPointSize(8);
  return font;
}

MainWindow::MainWindow(app::TfMain& form, QWidget* parent)
    : QWidget(parent), form_(form), masked_echo_style_(new MaskedEchoStyle) {
  masked_echo_style_->setParent(this);
  setObjectName(QStringLiteral("fMain"));
  // A fixed single-border window: system menu and minimise, no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(WindowFont());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(6);

  BuildOracleGroup();
  BuildSqlGroup();
  BuildSqlDatabaseGroup();
  BuildSqlUsersGroup();
  BuildTablesGroup();
  // The groups stay at the top and the bars at the bottom; the room between
  // them takes up what the status bar leaves when a step hides it.
  layout->addStretch(1);
  BuildStatusBar();
  BuildNavigation();
  AlignGroupColumns();

  setFixedSize(kClientWidth, kClientHeight);
  CenterOnScreen();
}

MainWindow::~MainWindow() = default;

QGroupBox* MainWindow::AddGroup(app::GroupBox& model) {
  auto* box = new QGroupBox(Text(model.caption), this);
  box->setObjectName(Text(model.name));
  box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  layout()->addWidget(box);
  groups_.push_back({&model, box});
  return box;
}

QLineEdit* MainWindow::AddEdit(QGridLayout* grid, int row, int column, app::TextEdit& model) {
  auto* parent = grid->parentWidget();
  auto* label = new QLabel(Text(model.label), parent);
  label->setObjectName(Text(model.name + "Label"));
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(Text(model.name));
  label->setBuddy(edit);
  edit->setStyle(masked_echo_style_);
  connect(edit, &QLineEdit::textChanged, this, [&model](const QString& text) { model.text = text.toStdString(); });
  grid->addWidget(label, row, column);
  grid->addWidget(edit, row, column + 1);
  edits_.push_back({&model, edit, label});
  return edit;
}

CheckField* MainWindow::NewCheck(QWidget* parent, app::CheckBox& model) {
  auto* box = new CheckField(Text(model.caption), parent);
  box->setObjectName(Text(model.name));
  box->SetReadOnly(model.read_only);
  connect(box, &QCheckBox::toggled, this, [&model](bool checked) { model.checked = checked; });
  checks_.push_back({&model, box});
  return box;
}

CheckField* MainWindow::AddCheck(QGridLayout* grid, int row, int column, int column_span, app::CheckBox& model) {
  CheckField* box = NewCheck(grid->parentWidget(), model);
  grid->addWidget(box, row, column, 1, column_span);
  return box;
}

void MainWindow::BuildOracleGroup() {
  auto* grid = NewGrid(AddGroup(form_.gbORA));
  group_grids_.push_back(grid);
  AddEdit(grid, 0, kLabelColumn, form_.eORAHost);
  AddCheck(grid, 0, kMarkColumn, 1, form_.cbORAOpen);
  AddEdit(grid, 0, kRightLabelColumn, form_.eORAUsername);
  AddEdit(grid, 1, kLabelColumn, form_.eORAPort);
  AddEdit(grid, 1, kRightLabelColumn, form_.eORAPassword);
  AddEdit(grid, 2, kLabelColumn, form_.eORASID);
  AddEdit(grid, 2, kRightLabelColumn, form_.eORADatabaseName);

  app::RadioGroup& model = form_.rgORAConnectionType;
  connection_type_ = new QGroupBox(Text(model.caption), grid->parentWidget());
  connection_type_->setObjectName(Text(model.name));
  auto* items = new QVBoxLayout(connection_type_);
  items->setContentsMargins(4, 0, 4, 2);
  items->setSpacing(1);
  connection_type_items_ = new QButtonGroup(connection_type_);
  for (int i = 0; i < static_cast<int>(model.items.size()); ++i) {
    auto* item = new QRadioButton(Text(model.items[i]), connection_type_);
    item->setObjectName(Text(model.name + "Item" + std::to_string(i)));
    connection_type_items_->addButton(item, i);
    items->addWidget(item);
  }
  connect(connection_type_items_, &QButtonGroup::idToggled, this, [&model](int id, bool checked) {
    if (checked) model.item_index = id;
  });
  grid->addWidget(connection_type_, 0, kRightMarkColumn, 3, 1);
}

void MainWindow::BuildSqlGroup() {
  auto* grid = NewGrid(AddGroup(form_.gbSQL));
  group_grids_.push_back(grid);
  AddEdit(grid, 0, kLabelColumn, form_.eSQLServer);
  AddCheck(grid, 0, kMarkColumn, 1, form_.cbSQLOpen);
  AddEdit(grid, 0, kRightLabelColumn, form_.eSQLUsername);
  AddEdit(grid, 1, kRightLabelColumn, form_.eSQLPassword);
}

void MainWindow::BuildSqlDatabaseGroup() {
  auto* grid = NewGrid(AddGroup(form_.gbSQLDatabase));
  group_grids_.push_back(grid);
  AddCheck(grid, 0, kCheckColumn, 1, form_.cbCreateSQLDatabase);
  AddEdit(grid, 0, kLabelColumn, form_.eSQLDatabase);
  AddCheck(grid, 0, kMarkColumn, 1, form_.cbSQLDatabase);
}

void MainWindow::BuildSqlUsersGroup() {
  auto* grid = NewGrid(AddGroup(form_.gbSQLUsers));
  group_grids_.push_back(grid);
  AddCheck(grid, 0, kCheckColumn, 1, form_.cbCreateSQLUser);
  AddEdit(grid, 0, kLabelColumn, form_.eSQLUserUsername);
  AddCheck(grid, 0, kMarkColumn, 1, form_.cbSQLUser);
  AddEdit(grid, 0, kRightLabelColumn, form_.eSQLUserPassword);
  AddCheck(grid, 1, kCheckColumn, 3, form_.cbCreateSQLUserAll);
  AddCheck(grid, 1, kMarkColumn, 1, form_.cbSQLUserAll);
}

void MainWindow::BuildTablesGroup() {
  auto* grid = NewGrid(AddGroup(form_.gbTables));
  group_grids_.push_back(grid);
  AddCheck(grid, 0, kCheckColumn, 3, form_.cbMigrateTablesCreateTables);
  AddCheck(grid, 0, kMarkColumn, 1, form_.cbMigrateTablesCreateTablesDone);
  AddCheck(grid, 0, kRightLabelColumn, 2, form_.cbMigrateTablesVerify);
  AddCheck(grid, 0, kRightMarkColumn, 1, form_.cbMigrateTablesVerifyDone);

  // "Multithreading" sits right of "Copy Rows", which it depends on.
  CheckField* copy_rows = NewCheck(grid->parentWidget(), form_.cbMigrateTablesCopyRows);
  CheckField* multi_thread = NewCheck(grid->parentWidget(), form_.cbMultiThread);
  auto* copy_row = new QHBoxLayout;
  copy_row->setSpacing(grid->horizontalSpacing());
  copy_row->addWidget(copy_rows);
  copy_row->addWidget(multi_thread);
  copy_row->addStretch(1);
  grid->addLayout(copy_row, 1, kCheckColumn, 1, 3);
  connect(copy_rows, &QCheckBox::clicked, this, [this] { Run([this] { form_.cbMigrateTablesCopyRowsClick(); }); });

  AddCheck(grid, 1, kMarkColumn, 1, form_.cbMigrateTablesCopyRowsDone);
  AddCheck(grid, 1, kRightLabelColumn, 2, form_.cbMigrateProgramSQLObjects);
  AddCheck(grid, 1, kRightMarkColumn, 1, form_.cbMigrateProgramSQLObjectsDone);
}

void MainWindow::BuildStatusBar() {
  status_bar_ = new QStatusBar(this);
  status_bar_->setObjectName(Text(form_.sb.name));
  status_bar_->setSizeGripEnabled(false);
  app::ProgressBar* containers[] = {nullptr, nullptr, nullptr, &form_.pb, &form_.pbDet};
  for (std::size_t i = 0; i < form_.sb.panels.size(); ++i) {
    app::StatusPanel& model = form_.sb.panels[i];
    PanelView view{&model, nullptr, nullptr};
    if (model.kind == app::PanelKind::kText) {
      auto* label = new QLabel(status_bar_);
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      label->setMinimumWidth(0);
      view.panel = label;
      view.text = label;
    } else {
      auto* frame = new QFrame(status_bar_);
      frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      auto* inner = new QHBoxLayout(frame);
      inner->setContentsMargins(1, 1, 1, 1);
      if (app::ProgressBar* model_bar = containers[i]) {
        auto* bar = new QProgressBar(frame);
        bar->setObjectName(Text(model_bar->name));
        bar->setTextVisible(false);
        inner->addWidget(bar);
        progress_bars_.push_back({model_bar, bar});
      }
      view.panel = frame;
    }
    view.panel->setObjectName(QStringLiteral("sbPanel%1").arg(i));
    status_bar_->addWidget(view.panel, model.width == 0 ? 1 : 0);
    panels_.push_back(view);
  }
  layout()->addWidget(status_bar_);
}

void MainWindow::BuildNavigation() {
  QGroupBox* box = AddGroup(form_.gbNavigation);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(6, 2, 6, 4);
  company_ = new QLabel(Text(form_.lNortiva.caption), box);
  company_->setObjectName(Text(form_.lNortiva.name));
  process_ = new QPushButton(Text(form_.bProcess.caption), box);
  process_->setObjectName(Text(form_.bProcess.name));
  exit_ = new QPushButton(Text(form_.bExit.caption), box);
  exit_->setObjectName(Text(form_.bExit.name));
  row->addWidget(company_);
  row->addStretch(1);
  row->addWidget(process_);
  row->addWidget(exit_);
  connect(process_, &QPushButton::clicked, this, [this] { Run([this] { form_.bProcessClick(); }); });
  connect(exit_, &QPushButton::clicked, this, [this] { Run([this] { form_.bExitClick(); }); });
}

void MainWindow::AlignGroupColumns() {
  // Every column but the edits' gets the widest single-column cell it has in
  // any group, and the edits share what is left. With the same columns in
  // every group, labels, edits and marks line up from one group to the next.
  std::array<int, kColumnCount> widths{};
  int left_span_need = 0;   // cells from the check column through the left edit
  int right_span_need = 0;  // cells over the right label and edit
  for (QGridLayout* grid : group_grids_) {
    for (int i = 0; i < grid->count(); ++i) {
      int row = 0, column = 0, row_span = 0, column_span = 0;
      grid->getItemPosition(i, &row, &column, &row_span, &column_span);
      const int width = grid->itemAt(i)->sizeHint().width();
      if (column == kCheckColumn && column_span == kMarkColumn) {
        left_span_need = std::max(left_span_need, width);
      } else if (column == kRightLabelColumn && column_span == 2) {
        right_span_need = std::max(right_span_need, width);
      } else if (column_span == 1 && column != kEditColumn && column != kRightEditColumn) {
        widths[column] = std::max(widths[column], width);
      }
    }
  }
  const QMargins outer = layout()->contentsMargins();
  const QMargins frame = groups_.front().box->contentsMargins();
  const QGridLayout* first = group_grids_.front();
  const QMargins inner = first->contentsMargins();
  const int spacing = first->horizontalSpacing();
  int room = kClientWidth - outer.left() - outer.right() - frame.left() - frame.right() - inner.left() -
             inner.right() - (kColumnCount - 1) * spacing;
  for (int width : widths) room -= width;
  // The left edits give way to the long check box captions that span them;
  // the right ones hold short names.
  const int left_need = left_span_need - widths[kCheckColumn] - widths[kLabelColumn] - 2 * spacing;
  const int right_need = right_span_need - widths[kRightLabelColumn] - spacing;
  widths[kEditColumn] = std::max({room / 2, left_need, room - std::max(right_need, room / 2)});
  widths[kRightEditColumn] = std::max(room - widths[kEditColumn], 0);

  for (QGridLayout* grid : group_grids_) {
    for (int i = 0; i < grid->count(); ++i) {
      int row = 0, column = 0, row_span = 0, column_span = 0;
      grid->getItemPosition(i, &row, &column, &row_span, &column_span);
      if (auto* edit = qobject_cast<QLineEdit*>(grid->itemAt(i)->widget())) edit->setFixedWidth(widths[column]);
    }
  }
  for (QGridLayout* grid : group_grids_) {
    for (int column = 0; column < kColumnCount; ++column) grid->addItem(new ColumnStrut(widths[column]), 0, column);
  }
}

void MainWindow::CenterOnScreen() {
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void MainWindow::Run(const std::function<void()>& event) {
  form_.Dispatch(event);
  ShowModel();
}

void MainWindow::ShowModel() {
  const QString caption = Text(form_.Caption);
  if (windowTitle() != caption) setWindowTitle(caption);

  for (const EditView& view : edits_) {
    const QString text = Text(view.model->text);
    if (view.edit->text() != text) view.edit->setText(text);
    view.edit->setEchoMode(view.model->masked ? QLineEdit::Password : QLineEdit::Normal);
    view.edit->setEnabled(view.model->enabled);
    view.label->setEnabled(view.model->enabled);
    SetShown(view.edit, view.model->visible);
    SetShown(view.label, view.model->visible);
  }
  for (const CheckView& view : checks_) {
    if (view.box->isChecked() != view.model->checked) view.box->setChecked(view.model->checked);
    view.box->SetReadOnly(view.model->read_only);
    view.box->setEnabled(view.model->enabled);
    SetShown(view.box, view.model->visible);
  }

  const app::RadioGroup& group = form_.rgORAConnectionType;
  if (QAbstractButton* item = connection_type_items_->button(group.item_index)) {
    if (!item->isChecked()) item->setChecked(true);
  } else if (QAbstractButton* checked = connection_type_items_->checkedButton()) {
    // An index that names no item shows no item chosen.
    connection_type_items_->setExclusive(false);
    checked->setChecked(false);
    connection_type_items_->setExclusive(true);
  }
  connection_type_->setEnabled(group.enabled);

  SetShown(status_bar_, form_.sb.visible);
  for (const PanelView& view : panels_) {
    if (view.model->width > 0) {
      view.panel->setFixedWidth(view.model->width);
    } else {
      view.panel->setMinimumWidth(0);
      view.panel->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    if (view.text) {
      const QString text = Text(view.model->text);
      if (view.text->text() != text) view.text->setText(text);
    }
    SetShown(view.panel, view.model->visible);
  }
  for (const ProgressView& view : progress_bars_) {
    if (view.bar->minimum() != view.model->min || view.bar->maximum() != view.model->max) {
      view.bar->setRange(view.model->min, view.model->max);
    }
    if (view.bar->value() != view.model->position) view.bar->setValue(view.model->position);
    SetShown(view.bar, view.model->visible);
  }

  // A run lets the window handle input between its steps; the buttons say
  // that neither a second run nor an exit is taken meanwhile.
  const bool idle = !form_.RunInProgress();
  process_->setEnabled(form_.bProcess.enabled && idle);
  exit_->setEnabled(form_.bExit.enabled && idle);
  company_->setText(Text(form_.lNortiva.caption));
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (first_paint_queued_ || !form_.FirstPaint) return;
  first_paint_queued_ = true;
  // In automatic mode FormPaint runs the whole migration and closes the
  // window; that must not happen inside the paint handler.
  QTimer::singleShot(0, this, [this] { Run([this] { form_.FormPaint(); }); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The run log, the connections and the copy state belong to the running run.
  if (!form_.CanClose()) {
    event->ignore();
    return;
  }
  Run([this] { form_.FormClose(); });
  event->accept();
}

}  // namespace ui
