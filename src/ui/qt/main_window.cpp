#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "app/test_track.h"
#include "track/track_takeover.h"
#include "ui/qt/list_model.h"
#include "ui/qt/qt_ui.h"

namespace logwell::qt {
namespace {

constexpr std::string_view kBusy = "Busy GPS driver";

// List sizes in dialog units; the list's top edge lies at 93 and it ends 7 above the bottom.
constexpr int kSmallListSize = 200;
constexpr int kDefaultListSize = 310;
constexpr int kWindowWidth = 342;

enum class Menu { None, File, Edit, View, Gps, Track, Help };

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Runs `work` on the window's thread; a worker thread waits until it has run.
template <typename Work>
void OnWindowThread(QObject* window, Work work) {
  if (QThread::currentThread() == window->thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(window, work, Qt::BlockingQueuedConnection);
  }
}

AccessCompletion CompletionFor(AccessType access) {
  switch (access) {
    case AccessType::ReadWaypoints: return CompleteWaypointsRead;
    case AccessType::ReadTrackLog: return CompleteTrackLogRead;
    case AccessType::WriteWaypoints: return CompleteWaypointsWritten;
    case AccessType::ReadCtr: return CompleteCtrRead;
    case AccessType::ReadFlightList: return CompleteFlightListRead;
    case AccessType::EraseWaypoints: return CompleteWaypointsErased;
    default: return CompleteDone;
  }
}

// The instrument buttons send the command of the menu entry with the same identifier.
struct InstrumentButton {
  int id;
  const char* label;
};
constexpr InstrumentButton kInstrumentButtons[] = {
    {40029, "Garmin (RS232)"}, {40075, "Garmin (USB)"}, {40054, "Compeo/Competino"},
    {40085, "Flytec 5020/5030"}, {40091, "XC Trainer (MXP)"}, {40004, "MLR types"},
    {40198, "Digifly Air"}, {40126, "Flymaster"}};

// A column is its number of characters wide, plus the cell's margins. The character is the
// wider of the font's average and its digit, since the cells are mostly figures.
int ColumnWidth(const QFontMetrics& metrics, const ListColumn& column) {
  const int character = std::max(metrics.averageCharWidth(), metrics.horizontalAdvance('0'));
  return (column.widthChars + 1) * character;
}

}  // namespace

// One row per window command whose work exists in this build; adding a command is one row.
struct MainWindow::Command {
  int id;
  Menu menu;
  std::string_view label;
  std::string_view shortcut;
  void (MainWindow::*run)();
};

std::span<const MainWindow::Command> MainWindow::Commands() {
  static const Command kCommands[] = {
      {40117, Menu::File, "&Open log", "Ctrl+O", &MainWindow::OnOpenLog},
      {40043, Menu::File, "Save log in &IGC format", "Ctrl+I", &MainWindow::OnSaveIgc},
      {40072, Menu::File, "Save IGC log from &GPS", "", &MainWindow::OnSaveIgcFromGps},
      {40073, Menu::File, "&Verify IGC log from Logwell", "Ctrl+V", &MainWindow::OnVerifyIgc},
      {40019, Menu::File, "E&xit", "", &MainWindow::OnExit},
      {40042, Menu::Edit, "Select &all", "Ctrl+A", &MainWindow::OnSelectAll},
      {40083, Menu::None, "Copy positions", "Ctrl+C", &MainWindow::OnCopyPositions},
      {40025, Menu::View, "&Tracklog", "Ctrl+1", &MainWindow::OnShowTrackView},
      {40024, Menu::View, "&Waypoints", "Ctrl+2", &MainWindow::OnShowWaypointView},
      {40129, Menu::View, "&Pilot List", "Ctrl+3", &MainWindow::OnShowPilotView},
      {40101, Menu::View, "&CTR", "Ctrl+4", &MainWindow::OnShowCtrView},
      {40131, Menu::View, "Set small list size", "Ctrl+Alt+0", &MainWindow::OnSmallList},
      {40132, Menu::View, "Set default list size", "Ctrl+Alt+1", &MainWindow::OnDefaultList},
      {40133, Menu::View, "Set large list size", "Ctrl+Alt+2", &MainWindow::OnLargeList},
      {40174, Menu::View, "&Font", "", &MainWindow::OnFont},
      {40140, Menu::Track, "&Test", "", &MainWindow::OnTestTrack},
      {40005, Menu::Help, "&About Logwell", "", &MainWindow::OnAbout},
      // Controls of the window.
      {1102, Menu::None, "", "", &MainWindow::OnAbort},
      {1010, Menu::None, "", "", &MainWindow::OnExit},
      {1018, Menu::None, "", "", &MainWindow::OnUtmClicked},
  };
  return kCommands;
}

MainWindow::MainWindow(Services services, QWidget* parent)
    : QMainWindow(parent), services_(services) {
  setObjectName("MainWindow");
  model_ = new ListModel(
      [this](ViewMode mode, int row, int column, bool utm) { return Cell(mode, row, column, utm); },
      this);
  services_.ui.SetOwner(this);
  BuildControls();
  BuildMenus();
  InstallCompletionTargets();
  connect(&services_.ui, &QtUi::statusChanged, status_, &QLabel::setText);
  connect(&services_.ui, &QtUi::productChanged, product_, &QLabel::setText);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (autoPortSwitch) autoPortSwitch();
  });
  timer_->start(1000);
  RefreshView(kStartViewMode);
  SetListSize(ListSize::Default);
  RefreshTitle();
}

MainWindow::~MainWindow() {
  // Completion routines must not reach a window that is gone.
  services_.access.targets = {};
  services_.ui.SetOwner(nullptr);
}

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  product_ = new QLabel("Product", central);
  product_->setObjectName("productLine");
  status_ = new QLabel("Status", central);
  status_->setObjectName("statusLine");
  for (QLabel* line : {product_, status_}) {
    line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(line);
  }

  auto* buttonGrid = new QGridLayout();
  int buttonIndex = 0;
  for (const InstrumentButton& button : kInstrumentButtons) {
    const InstrumentCommand* command = FindInstrumentCommand(button.id);
    if (command == nullptr || services_.table.Find(command->access, command->protocol) == nullptr) {
      continue;  // the family is not part of this build
    }
    auto* push = new QPushButton(button.label, central);
    const int id = button.id;
    connect(push, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
    buttonGrid->addWidget(push, buttonIndex / 4, buttonIndex % 4);
    ++buttonIndex;
  }
  layout->addLayout(buttonGrid);

  auto* label = new QLabel("&Select item(s)", central);
  layout->addWidget(label);
  list_ = new QTableView(central);
  list_->setObjectName("list");
  list_->setModel(model_);
  label->setBuddy(list_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSortingEnabled(false);
  list_->setWordWrap(false);
  list_->setShowGrid(false);
  list_->setAlternatingRowColors(true);
  // Fixed row heights and no row header keep a list of any length as cheap as one screen.
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  list_->horizontalHeader()->setSectionsClickable(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setFont(QApplication::font(list_));
  layout->addWidget(list_, 1);

  auto* bottom = new QHBoxLayout();
  saveButton_ = new QPushButton("Save log\n(Flight &Data)", central);
  saveButton_->setObjectName("saveLogButton");
  // The flight statistics dialog behind this button is not part of this build.
  saveButton_->setEnabled(false);
  saveButton_->setToolTip("Flight statistics are not available in this build");
  utm_ = new QCheckBox("UTM", central);
  utm_->setObjectName("utmBox");
  connect(utm_, &QCheckBox::clicked, this, [this] { RunCommand(1018); });
  auto* abort = new QPushButton("&Abort transfer", central);
  abort->setObjectName("abortButton");
  connect(abort, &QPushButton::clicked, this, [this] { RunCommand(1102); });
  auto* exitButton = new QPushButton("E&xit", central);
  exitButton->setObjectName("exitButton");
  connect(exitButton, &QPushButton::clicked, this, [this] { RunCommand(1010); });
  bottom->addWidget(saveButton_);
  bottom->addWidget(utm_);
  bottom->addStretch(1);
  bottom->addWidget(abort);
  bottom->addWidget(exitButton);
  layout->addLayout(bottom);
  setCentralWidget(central);
}

QAction* MainWindow::AddAction(QMenu* menu, int id, std::string_view label,
                               std::string_view shortcut) {
  auto* action = new QAction(Q(label), this);
  action->setObjectName(QString("command%1").arg(id));
  if (!shortcut.empty()) action->setShortcut(QKeySequence(Q(shortcut)));
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  if (menu != nullptr) {
    menu->addAction(action);
  } else {
    addAction(action);  // an accelerator without a menu entry
  }
  actions_[id] = action;
  return action;
}

void MainWindow::BuildMenus() {
  std::map<Menu, QMenu*> menus;
  menus[Menu::File] = menuBar()->addMenu("&File");
  menus[Menu::Edit] = menuBar()->addMenu("&Edit");
  menus[Menu::Gps] = menuBar()->addMenu("&GPS");
  menus[Menu::Track] = menuBar()->addMenu("&Track log");
  menus[Menu::View] = menuBar()->addMenu("&View");
  menus[Menu::Help] = menuBar()->addMenu("&Help");
  for (const Command& command : Commands()) {
    if (command.label.empty()) continue;  // a control, reached through its button
    AddAction(command.menu == Menu::None ? nullptr : menus[command.menu], command.id,
              command.label, command.shortcut);
  }
  // Instrument commands, grouped by what they do; only those whose worker is built.
  QMenu* gps = menus[Menu::Gps];
  std::map<AccessType, QMenu*> submenus;
  for (const InstrumentCommand& command : InstrumentCommands()) {
    if (services_.table.Find(command.access, command.protocol) == nullptr) continue;
    QMenu*& submenu = submenus[command.access];
    if (submenu == nullptr) submenu = gps->addMenu(Q(AccessCaption(command.access)));
    AddAction(submenu, command.id, command.label, command.shortcut);
  }
  if (gps->isEmpty()) gps->menuAction()->setVisible(false);
}

void MainWindow::InstallCompletionTargets() {
  CompletionTargets& targets = services_.access.targets;
  targets.takeOverTrackLog = [this](TrackDownload&& download) {
    OnWindowThread(this, [this, &download] {
      TakeOverDownload(CurrentTrackLog(), std::move(download.log), services_.ui);
      RefreshView(ViewMode::TrackLog);
    });
  };
  targets.replaceWaypoints = [this](WaypointDownload&& download) {
    OnWindowThread(this, [this, &download] {
      waypoints_ = std::move(download.waypoints);
      RefreshView(ViewMode::Waypoints);
    });
  };
  targets.showView = [this](AccessView view) {
    OnWindowThread(this, [this, view] {
      RefreshView(view == AccessView::TrackLog    ? ViewMode::TrackLog
                  : view == AccessView::Waypoints ? ViewMode::Waypoints
                                                  : ViewMode::Airspace);
    });
  };
  targets.unattended = services_.unattended;
  targets.competitionMode = services_.settings.Number(Setting::CompMode) != 0;
}

void MainWindow::RunCommand(int id) {
  for (const Command& command : Commands()) {
    if (command.id == id) {
      (this->*command.run)();
      return;
    }
  }
  const InstrumentCommand* instrument = FindInstrumentCommand(id);
  if (instrument != nullptr && services_.table.Find(instrument->access, instrument->protocol)) {
    RunInstrumentCommand(*instrument);
  }
}

QAction* MainWindow::Action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

// ---- views ----

int MainWindow::RowCountOf(ViewMode mode) const {
  switch (mode) {
    case ViewMode::TrackLog: return CurrentTrackLog().Count();
    case ViewMode::Waypoints: return static_cast<int>(waypoints_.size());
    default: return 0;  // the airspace and pilot lists are not part of this build
  }
}

std::string MainWindow::Cell(ViewMode mode, int row, int column, bool utm) const {
  switch (mode) {
    case ViewMode::TrackLog:
      if (row >= CurrentTrackLog().Count()) return {};
      return TrackCell(CurrentTrackLog(), row, column, utm);
    case ViewMode::Waypoints:
      if (row >= static_cast<int>(waypoints_.size())) return {};
      return WaypointCell(waypoints_[static_cast<std::size_t>(row)], column, utm);
    default: return {};
  }
}

ViewMode MainWindow::Mode() const { return model_->Mode(); }

void MainWindow::RefreshView(ViewMode mode) {
  model_->Show(mode, utm_->isChecked(), RowCountOf(mode));
  ApplyColumnWidths();
}

bool MainWindow::ShowView(ViewMode mode, bool force) {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Change view mode");
    return false;
  }
  if (!force && mode == Mode()) return true;
  RefreshView(mode);
  return true;
}

void MainWindow::ApplyColumnWidths() {
  const auto columns = model_->Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    list_->setColumnWidth(static_cast<int>(i), ColumnWidth(list_->fontMetrics(), columns[i]));
  }
}

int MainWindow::CheckCommandAllowed(std::string_view caption, ViewMode required) {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, caption);
    return -1;
  }
  if (Mode() != required) {
    services_.ui.ShowErrorBox("Incorrect view mode", caption);
    return -1;
  }
  return 0;
}

std::vector<int> MainWindow::SelectedRows() const {
  std::vector<int> rows;
  const QItemSelection selection = list_->selectionModel()->selection();
  for (const QItemSelectionRange& range : selection) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// ---- window size and title ----

double MainWindow::DialogUnitX() const { return fontMetrics().averageCharWidth() / 4.0; }
double MainWindow::DialogUnitY() const { return fontMetrics().height() / 8.0; }

// The dialog's width, or wider when the track columns need it in the chosen font.
int MainWindow::WindowWidth() const {
  int columns = 0;
  for (const ListColumn& column : ColumnsFor(ViewMode::TrackLog, true)) {
    columns += ColumnWidth(list_->fontMetrics(), column);
  }
  const int chrome = 2 * style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 40;
  return std::max(static_cast<int>(kWindowWidth * DialogUnitX()), columns + chrome);
}

int MainWindow::HeightFor(ListSize size) const {
  switch (size) {
    case ListSize::Small: return static_cast<int>(kSmallListSize * DialogUnitY());
    case ListSize::Default: return static_cast<int>(kDefaultListSize * DialogUnitY());
    case ListSize::Large: {
      const QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
      const int work = screen ? screen->availableGeometry().height() : 768;
      // The work area less the caption and the menu bar.
      const int caption = frameGeometry().height() - geometry().height();
      return std::max(HeightFor(ListSize::Default) / 2, work - caption - menuBar()->sizeHint().height());
    }
  }
  return 0;
}

void MainWindow::SetListSize(ListSize size) {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Set list size");
    return;
  }
  if (size == listSize_ && height() == HeightFor(size) + menuBar()->sizeHint().height()) return;
  // The window keeps its place and its lists; only its height follows the list size.
  const QPoint place = pos();
  listSize_ = size;
  resize(WindowWidth(), HeightFor(size) + menuBar()->sizeHint().height());
  move(place);
}

void MainWindow::RefreshTitle() {
  const SettingsStore& settings = services_.settings;
  setWindowTitle(Q(WindowTitle(kVersionNumber, settings.Text(Setting::PortName),
                               settings.Number(Setting::CompMode) != 0,
                               settings.Number(Setting::CompSpecial) != 0)));
}

// ---- controls ----

void MainWindow::OnAbort() {
  if (services_.access.gpsBusy.load() != 1) return;
  services_.access.gpsBusy = 0;
  services_.access.AbortGpsAccess(&services_.ui);
}

void MainWindow::OnExit() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  // The way out: stop a running access, give it its time to end, keep the settings.
  if (services_.access.AccessCurrent()) {
    services_.access.gpsBusy = 0;
    services_.access.AbortGpsAccess(nullptr);
    services_.access.WaitForGpsAccessEnd();
  }
  if (!services_.unattended) services_.settings.Save();
  event->accept();
}

void MainWindow::OnUtmClicked() {
  if (Mode() == ViewMode::Waypoints || Mode() == ViewMode::TrackLog) ShowView(Mode(), true);
}

// ---- file commands ----

void MainWindow::OnOpenLog() {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Open track log");
    return;
  }
  const QString title = "Open track log";
  const QString filter = "IGC track log files (*.igc);;All files (*)";
  const QString path = chooseOpenFile ? chooseOpenFile(title, filter)
                                      : QFileDialog::getOpenFileName(this, title, QString(), filter);
  if (path.isEmpty()) return;
  if (igc::OpenIgcFile(CurrentTrackLog(), path.toStdString(), services_.ui) == 0) {
    product_->setText(path);
  }
  RefreshView(ViewMode::TrackLog);
}

void MainWindow::OnSaveIgc() {
  const std::vector<int> rows = SelectedRows();
  igc::IgcCommandContext context;
  context.accessBusy = services_.access.gpsBusy.load() == 1;
  context.trackLogShown = Mode() == ViewMode::TrackLog;
  context.selectedRows = rows;
  igc::SaveLogInIgcFormat(CurrentTrackLog(), context, services_.ui, igcMemory_);
}

void MainWindow::OnSaveIgcFromGps() {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Save IGC log");
    return;
  }
  igc::SaveIgcLogFromGps(CurrentTrackLog(), services_.ui, igcMemory_);
}

void MainWindow::OnVerifyIgc() {
  const QString title = "Verify IGC log";
  const QString filter = "IGC track log files (*.igc)";
  const QString path = chooseOpenFile ? chooseOpenFile(title, filter)
                                      : QFileDialog::getOpenFileName(this, title, QString(), filter);
  if (!path.isEmpty()) igc::VerifyIgcFile(path.toStdString(), services_.ui);
}

// ---- list commands ----

void MainWindow::OnSelectAll() {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Select all items");
    return;
  }
  list_->selectAll();
}

void MainWindow::OnCopyPositions() {
  if (CheckCommandAllowed("Copy positions", ViewMode::TrackLog) != 0) return;
  QString text;
  const int columns = model_->columnCount();
  for (const int row : SelectedRows()) {
    for (int column = 0; column < columns; ++column) {
      if (column > 0) text += '\t';
      text += QString::fromStdString(Cell(ViewMode::TrackLog, row, column, model_->Utm()));
    }
    text += '\n';
  }
  QApplication::clipboard()->setText(text);
}

void MainWindow::OnTestTrack() {
  if (services_.access.gpsBusy.load() == 1) {
    services_.ui.ShowErrorBox(kBusy, "Test");
    return;
  }
  TrackLog& log = CurrentTrackLog();
  log.Clear();
  log.points = MakeTestTrackNow();
  log.sourceKind = TrackSourceKind::None;
  log.timeIsUtc = 1;
  log.SetInstrumentName("");
  log.SetInstrumentText("");
  log.SetInstrumentId("");
  log.downloadTime = CurrentUtcCalendar();
  RefreshView(ViewMode::TrackLog);
}

void MainWindow::OnFont() {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, list_->font(), this, "Font");
  if (!ok) return;
  list_->setFont(font);
  list_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void MainWindow::OnAbout() {
  QMessageBox::about(this, "About Logwell",
                     Q(WindowTitle(kVersionNumber, "", false, false)).chopped(2) +
                         "\n\nTrack logs, waypoints and airspace for paraglider and hang-glider "
                         "pilots and their competitions.");
}

// ---- instrument commands ----

void MainWindow::RunInstrumentCommand(const InstrumentCommand& command) {
  const std::string_view caption = AccessCaption(command.access);
  AccessFramework& access = services_.access;
  Ui& ui = services_.ui;
  if (access.gpsBusy.load() == 1) {
    ui.ShowErrorBox(kBusy, caption);
    return;
  }
  std::vector<Waypoint> upload;
  switch (command.access) {
    case AccessType::ReadTrackLog:
      if (!AskBeforeReplacing(CurrentTrackLog(), ui, services_.unattended)) return;
      CurrentTrackLog().Clear();
      RefreshView(ViewMode::TrackLog);
      break;
    case AccessType::EraseTrackLog:
      if (!EraseAllowed(command.protocol)) return;
      if (ui.AskOkCancel("Are you sure ?", "Erase Track Log(s)") != Answer::Ok) return;
      break;
    case AccessType::WriteWaypoints:
    case AccessType::WaypointsAsGarminLog: {
      if (CheckCommandAllowed(caption, ViewMode::Waypoints) != 0) return;
      for (const int row : SelectedRows()) {
        if (row < static_cast<int>(waypoints_.size())) upload.push_back(waypoints_[static_cast<std::size_t>(row)]);
      }
      if (upload.empty()) {
        ui.ShowErrorBox("No waypoints selected", caption);
        return;
      }
      break;
    }
    case AccessType::UploadCtr:
      if (CheckCommandAllowed(caption, ViewMode::Airspace) != 0) return;
      ui.ShowErrorBox("No CTR(s) selected", caption);
      return;
    default:
      break;
  }
  access.StartCommandAccess(caption, &ui, command.access, command.protocol, command.parameter,
                            CompletionFor(command.access), upload.empty() ? nullptr : &upload);
}

}  // namespace logwell::qt
