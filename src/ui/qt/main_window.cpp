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
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <chrono>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "app/test_track.h"
#include "base/text.h"
#include "base/version.h"
#include "devices/family.h"
#include "track/formats/track_file_types.h"
#include "app/file_commands.h"
#include "track/track_takeover.h"
#include "ui/qt/list_model.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/statistics_dialog.h"
#include "ui/qt/track_picture.h"

namespace logwell::qt {
namespace {

constexpr std::string_view kBusy = "Busy GPS driver";
// The picture beside the list starts its distance analysis once the log has stayed this long.
constexpr int kViewAnalysisDelayMs = 700;

// List sizes in dialog units; the list's top edge lies at 93 and it ends 7 above the bottom.
constexpr int kSmallListSize = 200;
constexpr int kDefaultListSize = 310;
constexpr int kWindowWidth = 342;

enum class Menu { None, File, Edit, View, Gps, Track, Help };

// "Write GoogleEarth file" has no identifier of its own in the older menus; it takes the first
// one after them.
constexpr int kWriteGoogleEarthId = 40216;

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

NameMode NameModeOf(SelectionMode selection) {
  switch (selection) {
    case SelectionMode::NamesOnly: return NameMode::OnlyName;
    case SelectionMode::IdsAndNames: return NameMode::IdAndName;
    case SelectionMode::IdsOnly: return NameMode::OnlyId;
    default: return NameMode::Unchanged;
  }
}

// The rows of the CTR view: name, floor, ceiling, warning distance and number of segments.
std::string AirspaceCell(const AirspaceRecord& record, int column) {
  switch (column) {
    case 0: return record.name;
    case 1: return record.floorText;
    case 2: return record.ceilingText;
    case 3: return std::to_string(record.warningDistance);
    case 4: return std::to_string(record.segments.size());
    default: return {};
  }
}

// What the views draw of a log (times, positions, altitudes, segment starts, the count), as
// one number: the views are made anew when it changes.
std::uint64_t LogFingerprint(const std::vector<TrackPoint>& points) {
  std::uint64_t hash = 1469598103934665603ull ^ points.size();
  const auto mix = [&hash](std::uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
  for (const TrackPoint& point : points) {
    mix(point.time);
    mix(static_cast<std::uint32_t>(point.latitude) | std::uint64_t{static_cast<std::uint32_t>(point.longitude)} << 32);
    mix(static_cast<std::uint32_t>(point.gpsAltitude) | std::uint64_t{point.segmentStart} << 32);
  }
  return hash;
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
      // File menu: track files, waypoint files, airspace files, the trace.
      {40117, Menu::File, "&Open log", "Ctrl+O", &MainWindow::OnOpenLog},
      {40115, Menu::File, "&Save log (Trackvault/.kml)", "Ctrl+S", &MainWindow::OnSaveLog},
      {40116, Menu::File, "Save log &As...", "", &MainWindow::OnSaveLogAs},
      {kWriteGoogleEarthId, Menu::File, "Write Google&Earth file", "", &MainWindow::OnWriteGoogleEarth},
      {40188, Menu::File, "Save log for animation in GE", "", &MainWindow::OnSaveAnimation},
      {40187, Menu::File, "Set .csv parameters", "", &MainWindow::OnCsvParameters},
      {40043, Menu::File, "Save log in &IGC format", "Ctrl+I", &MainWindow::OnSaveIgc},
      {40072, Menu::File, "Save IGC log from &GPS", "", &MainWindow::OnSaveIgcFromGps},
      {40073, Menu::File, "&Verify IGC log from Logwell", "Ctrl+V", &MainWindow::OnVerifyIgc},
      {40210, Menu::File, "Open IGC log (online validation)", "Ctrl+Alt+O", &MainWindow::OnValidateOnline},
      {40203, Menu::File, "Send track with &FTP", "", &MainWindow::OnSendFtp},
      {40170, Menu::File, "&Convert .kml files to .igc", "", &MainWindow::OnConvertKmlToIgc},
      {40171, Menu::File, "Convert .igc files to .kml", "", &MainWindow::OnConvertIgcToKml},
      {40143, Menu::File, "Save pilot list as .csv", "", &MainWindow::OnSavePilotList},
      {40047, Menu::File, "Open wpts.", "Ctrl+W", &MainWindow::OnOpenWaypoints},
      {40118, Menu::File, "Save &wpts. As...", "", &MainWindow::OnSaveWaypoints},
      {40100, Menu::File, "&Read CTR(s) from file", "", &MainWindow::OnReadCtrFile},
      {40108, Menu::File, "&Write CTR(s) to OpenAir file", "", &MainWindow::OnWriteOpenAir},
      {40195, Menu::File, "Write CTR(s) to OpenAir file (no arcs)", "", &MainWindow::OnWriteOpenAirNoArcs},
      {40149, Menu::File, "Write CTR(s) to .gp&x file", "", &MainWindow::OnWriteCtrGpx},
      {40189, Menu::File, "Write CTR(s) to Google API file", "", &MainWindow::OnWriteCtrWebMap},
      {40079, Menu::File, "&Dump Debug Data", "", &MainWindow::OnDumpDebug},
      {40080, Menu::File, "&Clear Debug Data", "", &MainWindow::OnClearDebug},
      {40019, Menu::File, "E&xit", "", &MainWindow::OnExit},
      // Edit menu: the list commands.
      {40042, Menu::Edit, "Select &all", "Ctrl+A", &MainWindow::OnSelectAll},
      {40083, Menu::None, "Copy positions", "Ctrl+C", &MainWindow::OnCopyPositions},
      {40038, Menu::Edit, "&New waypoint", "", &MainWindow::OnNewWaypoint},
      {40030, Menu::Edit, "&Edit waypoint", "", &MainWindow::OnEditWaypoint},
      {40031, Menu::Edit, "&Delete waypoint(s)", "", &MainWindow::OnDeleteWaypoints},
      {40032, Menu::Edit, "Convert &Position", "", &MainWindow::OnConvertPosition},
      {40028, Menu::Edit, "&Calculate distance", "Ctrl+Alt+D", &MainWindow::OnCalculateDistance},
      {40212, Menu::Edit, "Sort waypoint IDs", "", &MainWindow::OnSortIds},
      {40213, Menu::Edit, "Sort waypoint names", "", &MainWindow::OnSortNames},
      {40214, Menu::Edit, "Sort waypoint heights", "", &MainWindow::OnSortHeights},
      {40104, Menu::Edit, "&Edit CTR", "", &MainWindow::OnEditCtr},
      {40105, Menu::Edit, "&New CTR", "", &MainWindow::OnNewCtr},
      {40111, Menu::Edit, "&Delete CTR(s)", "", &MainWindow::OnDeleteCtrs},
      {40112, Menu::Edit, "&Show CTR as waypoints", "", &MainWindow::OnShowCtrAsWaypoints},
      {40190, Menu::Edit, "Set accuracy for segments", "", &MainWindow::OnSegmentAccuracy},
      // Track log menu: filters, statistics, pictures, the test track.
      {40088, Menu::Track, "Track log filter (&speed analysis)", "", &MainWindow::OnToggleLogFilter},
      {40191, Menu::Track, "Timestamp filter (&time analysis)", "", &MainWindow::OnToggleTimestampFilter},
      {40192, Menu::Track, "Use filter(s) during download", "", &MainWindow::OnToggleDownloadFilter},
      {40172, Menu::Track, "Set vario filter (&height analysis)", "", &MainWindow::OnVarioFilter},
      {40136, Menu::Track, "Set track &gap filter time", "", &MainWindow::OnGapTime},
      {40151, Menu::Track, "Set loop flight gap", "", &MainWindow::OnLoopGap},
      {40231, Menu::Track, "Set contest &rules", "", &MainWindow::OnContestRules},
      {40095, Menu::Track, "&OLC statistics (use IGC buffer)", "", &MainWindow::OnOlcFromIgc},
      {40094, Menu::Track, "OLC statistics (use selected pos.)", "", &MainWindow::OnOlcFromSelection},
      {40141, Menu::Track, "Show &Track", "", &MainWindow::OnShowTrackPicture},
      {40175, Menu::Track, "Show &Vario", "", &MainWindow::OnShowVarioGraph},
      {40176, Menu::Track, "Show &Glide", "", &MainWindow::OnShowGlideGraph},
      {40178, Menu::Track, "Show &Polar", "", &MainWindow::OnShowPolarGraph},
      {40177, Menu::Track, "Set intervals", "", &MainWindow::OnSetIntervals},
      {40140, Menu::Track, "&Test", "", &MainWindow::OnTestTrack},
      {40121, Menu::Track, "Competition &Mode", "", &MainWindow::OnCompetitionMode},
      {40124, Menu::Track, "Rotate Track", "", &MainWindow::OnRotateTrack},
      {40130, Menu::None, "Special competition mode", "Ctrl+Alt+C", &MainWindow::OnToggleCompSpecial},
      // GPS menu: the port.
      {40006, Menu::Gps, "Set &COM port", "", &MainWindow::OnSetComPort},
      {40211, Menu::Gps, "&Product data scan", "", &MainWindow::OnProductScan},
      {40144, Menu::Gps, "Pwr off after wpts wr && log read ", "", &MainWindow::OnToggleGarminPowerOff},
      {40142, Menu::Gps, "USB && comp. mode: Check wpts", "", &MainWindow::OnToggleGarminUsbCheck},
      {40146, Menu::Gps, "Pwr off after log read", "", &MainWindow::OnToggleFlymasterPowerOff},
      {40185, Menu::Gps, "Set UTC offset for TN", "", &MainWindow::OnTopNavUtcOffset},
      // View menu.
      {40025, Menu::View, "&Tracklog", "Ctrl+1", &MainWindow::OnShowTrackView},
      {40024, Menu::View, "&Waypoints", "Ctrl+2", &MainWindow::OnShowWaypointView},
      {40129, Menu::View, "&Pilot List", "Ctrl+3", &MainWindow::OnShowPilotView},
      {40101, Menu::View, "&CTR", "Ctrl+4", &MainWindow::OnShowCtrView},
      {40131, Menu::View, "Set small list size", "Ctrl+Alt+0", &MainWindow::OnSmallList},
      {40132, Menu::View, "Set default list size", "Ctrl+Alt+1", &MainWindow::OnDefaultList},
      {40133, Menu::View, "Set large list size", "Ctrl+Alt+2", &MainWindow::OnLargeList},
      {40174, Menu::View, "&Font", "", &MainWindow::OnFont},
      {40005, Menu::Help, "&About Logwell", "", &MainWindow::OnAbout},
      // Controls of the window.
      {1102, Menu::None, "", "", &MainWindow::OnAbort},
      {1010, Menu::None, "", "", &MainWindow::OnExit},
      {1018, Menu::None, "", "", &MainWindow::OnUtmClicked},
      {1315, Menu::None, "", "", &MainWindow::OnSaveLog},
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
  kml::RegisterKmlAndIgcReaders();
  airspaceSettings_.segmentAccuracy =
      static_cast<std::uint32_t>(std::max<std::int64_t>(1, services_.settings.Number(Setting::CtrSegError)));
  if (services_.instrumentOptions != nullptr) services_.instrumentOptions->segmentAccuracy = airspaceSettings_.segmentAccuracy;
  setAcceptDrops(true);
  BuildControls();
  BuildMenus();
  SetToggleChecks();
  ApplyFilterSettings();
  InstallCompletionTargets();
  LoadCompetitionSettings();
  portSwitch_ = std::make_unique<PortAutoSwitch>([] { return EnumerateSerialPortPaths(); });
  autoPortSwitch = [this] { OnPortTick(); };
  connect(&services_.ui, &QtUi::statusChanged, status_, &QLabel::setText);
  connect(&services_.ui, &QtUi::productChanged, product_, &QLabel::setText);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (autoPortSwitch) autoPortSwitch();
  });
  timer_->start(1000);
  RefreshView(kStartViewMode);
  SetListSize(ListSize::Default);
  RestoreLayout();
  RefreshTitle();
}

MainWindow::~MainWindow() {
  // Completion routines must not reach a window that is gone.
  services_.access.targets = {};
  services_.ui.SetOwner(nullptr);
  DetachProgressRelay();
}

void MainWindow::BuildControls() {
  // The list with its controls on the left; the track picture over the profile on the right.
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  mainSplitter_->setObjectName("mainSplitter");
  mainSplitter_->setChildrenCollapsible(false);
  auto* central = new QWidget(mainSplitter_);
  auto* layout = new QVBoxLayout(central);
  // The status bar keeps the status line and, beside it, the product line.
  status_ = new QLabel("Status", this);
  status_->setObjectName("statusLine");
  product_ = new QLabel("Product", this);
  product_->setObjectName("productLine");
  for (QLabel* line : {status_, product_}) {
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->setMinimumWidth(40);
  }
  // The running transfer's progress and its abort button sit between them, in sight however
  // narrow the screen.
  statusBar()->addWidget(status_, 3);
  BuildTransferControls();
  statusBar()->addWidget(product_, 2);

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
  connect(saveButton_, &QPushButton::clicked, this, [this] { RunCommand(1315); });
  utm_ = new QCheckBox("UTM", central);
  utm_->setObjectName("utmBox");
  connect(utm_, &QCheckBox::clicked, this, [this] { RunCommand(1018); });
  auto* exitButton = new QPushButton("E&xit", central);
  exitButton->setObjectName("exitButton");
  connect(exitButton, &QPushButton::clicked, this, [this] { RunCommand(1010); });
  bottom->addWidget(saveButton_);
  bottom->addWidget(utm_);
  bottom->addStretch(1);
  bottom->addWidget(exitButton);
  layout->addLayout(bottom);
  mainSplitter_->addWidget(central);

  viewSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
  viewSplitter_->setObjectName("viewSplitter");
  viewSplitter_->setChildrenCollapsible(false);
  mainSplitter_->addWidget(viewSplitter_);
  mainSplitter_->setStretchFactor(1, 1);
  setCentralWidget(mainSplitter_);
  RefreshTrackViews();
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SyncViewSelection(); });
}

void MainWindow::RefreshTrackViews(bool force) {
  const TrackLog& log = CurrentTrackLog();
  const std::uint64_t fingerprint = LogFingerprint(log.points);
  if (!force && picture_ != nullptr && fingerprint == viewedLog_) return;
  viewedLog_ = fingerprint;
  // The views read the log where it lies: a long log is held once.
  const auto loopGap = static_cast<std::uint32_t>(services_.settings.Number(Setting::LoopFlightGap));
  auto* picture = new TrackPicture(&log.points, loopGap, nullptr, kViewAnalysisDelayMs,
                                   ChosenContestRules(services_.settings));
  auto* profile = new VarioGraph(&log.points, nullptr, graphInterval_);
  for (QWidget* view : {static_cast<QWidget*>(picture), static_cast<QWidget*>(profile)}) view->setMinimumSize(120, 80);
  connect(picture, &TrackPicture::fixClicked, this, [this](std::size_t index) { SelectFixes(index, index); });
  connect(profile, &VarioGraph::fixClicked, this, [this](std::size_t index) { SelectFixes(index, index); });
  connect(profile, &VarioGraph::rangeSelected, this, &MainWindow::SelectFixes);
  if (picture_ == nullptr) {
    viewSplitter_->addWidget(picture);
    viewSplitter_->addWidget(profile);
    viewSplitter_->setStretchFactor(0, 3);
    viewSplitter_->setStretchFactor(1, 1);
  } else {
    // Replaced in place: the splitter keeps its sizes.
    delete viewSplitter_->replaceWidget(0, picture);
    delete viewSplitter_->replaceWidget(1, profile);
  }
  picture_ = picture;
  profile_ = profile;
  SyncViewSelection();
}

// The list's selection, as ranges of fixes, marks the views; other lists mark nothing.
void MainWindow::SyncViewSelection() {
  FixRanges ranges;
  if (Mode() == ViewMode::TrackLog) {
    for (const QItemSelectionRange& range : list_->selectionModel()->selection()) {
      ranges.emplace_back(static_cast<std::size_t>(range.top()), static_cast<std::size_t>(range.bottom()));
    }
    std::sort(ranges.begin(), ranges.end());
  }
  picture_->SetSelection(ranges);
  profile_->SetSelection(std::move(ranges));
}

void MainWindow::SelectFixes(std::size_t first, std::size_t last) {
  if (Mode() != ViewMode::TrackLog && !ShowView(ViewMode::TrackLog, false)) return;
  const int count = model_->rowCount();
  if (count == 0) return;
  const int top = static_cast<int>(std::min<std::size_t>(std::min(first, last), static_cast<std::size_t>(count - 1)));
  const int bottom = static_cast<int>(std::min<std::size_t>(std::max(first, last), static_cast<std::size_t>(count - 1)));
  const QItemSelection selection(model_->index(top, 0), model_->index(bottom, model_->columnCount() - 1));
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->selectionModel()->setCurrentIndex(model_->index(top, 0), QItemSelectionModel::NoUpdate);
  list_->scrollTo(model_->index(top, 0), QAbstractItemView::PositionAtCenter);
}

// The layout setting: the window's width, the list's and the views' widths, the picture's and
// the profile's heights.
void MainWindow::RestoreLayout() {
  // Without a kept layout the list gets the width its columns need.
  mainSplitter_->setSizes({WindowWidth(), std::max(width() - WindowWidth(), 120)});
  const QStringList parts = Q(services_.settings.Text(Setting::WindowLayout)).split(',');
  std::vector<int> sizes;
  for (const QString& part : parts) {
    bool ok = false;
    const int value = part.toInt(&ok);
    if (!ok || value <= 0 || value > 100000) return;  // no layout kept, or a damaged one
    sizes.push_back(value);
  }
  if (sizes.size() != 5) return;
  resize(sizes[0], height());
  mainSplitter_->setSizes({sizes[1], sizes[2]});
  viewSplitter_->setSizes({sizes[3], sizes[4]});
}

void MainWindow::StoreLayout() {
  const QList<int> main = mainSplitter_->sizes();
  const QList<int> views = viewSplitter_->sizes();
  if (main.size() != 2 || views.size() != 2) return;
  services_.settings.SetText(Setting::WindowLayout, FormatText("%d,%d,%d,%d,%d", width(), main[0], main[1],
                                                               views[0], views[1]));
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
    if (submenu == nullptr) {
      submenu = gps->addMenu(Q(AccessCaption(command.access)));
      submenu->setToolTipsVisible(true);
    }
    QAction* action = AddAction(submenu, command.id, command.label, command.shortcut);
    // A family nothing independent has checked says so where its commands are offered.
    if (const InstrumentFamily* family = FamilyOf(command.protocol); family != nullptr && !family->unverified.empty()) {
      action->setToolTip(Q(family->unverified));
    }
  }
  BuildRecentMenu(menus[Menu::File]);
  if (QAction* special = Action(40130)) {
    special->setShortcuts({QKeySequence("Ctrl+Alt+C"), QKeySequence("Ctrl+Shift+C")});
  }
}

// The marks of the toggled settings, from their values.
void MainWindow::SetToggleChecks() {
  const SettingsStore& settings = services_.settings;
  const std::pair<int, bool> marks[] = {
      {40088, settings.Number(Setting::LogFilter) != 0},
      {40191, settings.Number(Setting::TimestampFilter) != 0},
      {40192, settings.Number(Setting::UseDownloadFilter) != 0},
      {40172, settings.Number(Setting::VarioFilter) > 0},
      {40130, settings.Number(Setting::CompSpecial) != 0},
      {40144, services_.instrumentOptions != nullptr && services_.instrumentOptions->powerOff.load()},
      {40146, settings.Number(Setting::FlymasterPwrOff) != 0},
      {40142, services_.instrumentOptions != nullptr && services_.instrumentOptions->usbCheckWaypoints.load()},
  };
  for (const auto& [id, on] : marks) {
    if (QAction* action = Action(id)) {
      action->setCheckable(true);
      action->setChecked(on);
    }
  }
}

void MainWindow::Toggle(int id) {
  const Setting setting = id == 40088   ? Setting::LogFilter
                          : id == 40191 ? Setting::TimestampFilter
                          : id == 40192 ? Setting::UseDownloadFilter
                                        : Setting::CompSpecial;
  SettingsStore& settings = services_.settings;
  settings.SetNumber(setting, settings.Number(setting) != 0 ? 0 : 1);
  SetToggleChecks();
  ApplyFilterSettings();
  if (setting == Setting::CompSpecial) {
    competition_.dashNames = competition_.special = settings.Number(setting) != 0;
    ApplyCompetitionTargets();
    RefreshTitle();
  }
}

void MainWindow::OnToggleGarminPowerOff() {
  if (services_.instrumentOptions == nullptr) return;
  services_.instrumentOptions->powerOff = !services_.instrumentOptions->powerOff.load();
  SetToggleChecks();
}

void MainWindow::OnToggleFlymasterPowerOff() {
  SettingsStore& settings = services_.settings;
  const bool on = settings.Number(Setting::FlymasterPwrOff) == 0;
  settings.SetNumber(Setting::FlymasterPwrOff, on ? 1 : 0);
  if (services_.instrumentOptions != nullptr) services_.instrumentOptions->flymasterPowerOff = on;
  SetToggleChecks();
}

void MainWindow::OnToggleGarminUsbCheck() {
  if (services_.instrumentOptions == nullptr) return;
  services_.instrumentOptions->usbCheckWaypoints = !services_.instrumentOptions->usbCheckWaypoints.load();
  SetToggleChecks();
}

FilterSettings MainWindow::Filters() const {
  const SettingsStore& settings = services_.settings;
  FilterSettings filters;
  filters.useDuringDownload = settings.Number(Setting::UseDownloadFilter) != 0;
  filters.speedAnalysis = settings.Number(Setting::LogFilter) != 0;
  filters.timestampFilter = settings.Number(Setting::TimestampFilter) != 0;
  filters.varioLimit = static_cast<std::uint32_t>(settings.Number(Setting::VarioFilter));
  filters.gapSeconds = static_cast<std::uint32_t>(settings.Number(Setting::TrackGapTime));
  return filters;
}

// The save path of the track files runs the vario filter while a limit is set.
void MainWindow::ApplyFilterSettings() {
  const std::uint32_t limit = Filters().varioLimit;
  SaveVarioFilter() = limit == 0 ? VarioFilterFunction{} : VarioFilterFunction([limit](std::vector<TrackPoint>& points) {
    return static_cast<int>(VarioFilter(points, limit));
  });
}

void MainWindow::InstallCompletionTargets() {
  CompletionTargets& targets = services_.access.targets;
  targets.takeOverTrackLog = [this](TrackDownload&& download) {
    OnWindowThread(this, [this, &download] {
      foundCompId_ = download.foundCompId;
      foundCivlId_ = download.foundCivlId;
      // The open flight stays until now, when the downloaded one replaces it.
      CurrentTrackLog().Clear();
      TakeOverDownload(CurrentTrackLog(), std::move(download.log), services_.ui,
                       MakeDownloadFilter(Filters(), services_.ui));
      RefreshView(ViewMode::TrackLog);
    });
  };
  targets.replaceWaypoints = [this](WaypointDownload&& download) {
    OnWindowThread(this, [this, &download] {
      waypoints_.Replace(std::move(download.waypoints));
      RefreshView(ViewMode::Waypoints);
    });
  };
  targets.takeOverAirspace = [this](AccessBlock& block) {
    OnWindowThread(this, [this, &block] {
      airspace_ = std::move(block.airspace);
      RefreshView(ViewMode::Airspace);
    });
  };
  targets.showView = [this](AccessView view) {
    OnWindowThread(this, [this, view] {
      RefreshView(view == AccessView::TrackLog    ? ViewMode::TrackLog
                  : view == AccessView::Waypoints ? ViewMode::Waypoints
                                                  : ViewMode::Airspace);
    });
  };
  // Posted: the steps run once the download's worker has finished its completion.
  targets.postCompetitionDone = [this](bool success) {
    QMetaObject::invokeMethod(this, [this, success] { OnCompetitionDownloadDone(success); },
                              Qt::QueuedConnection);
  };
  targets.markPilotIdsWritten = [this] {
    OnWindowThread(this, [this] { services_.ui.ShowStatus("Pilot IDs written to the GPS"); });
  };
  targets.unattended = services_.unattended;
}

void MainWindow::RunCommand(int id) {
  for (const Command& command : Commands()) {
    if (command.id == id) {
      if (interceptCommand && interceptCommand(id)) return;
      (this->*command.run)();
      return;
    }
  }
  const InstrumentCommand* instrument = FindInstrumentCommand(id);
  if (instrument != nullptr && services_.table.Find(instrument->access, instrument->protocol)) {
    if (interceptCommand && interceptCommand(id)) return;
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
    case ViewMode::Waypoints: return static_cast<int>(waypoints_.Count());
    case ViewMode::Airspace: return static_cast<int>(airspace_.size());
    case ViewMode::Pilots:
      return competition_.pilots ? static_cast<int>(competition_.pilots->size()) : 0;
  }
  return 0;
}

std::string MainWindow::Cell(ViewMode mode, int row, int column, bool utm) const {
  switch (mode) {
    case ViewMode::TrackLog:
      if (row >= CurrentTrackLog().Count()) return {};
      return TrackCell(CurrentTrackLog(), row, column, utm);
    case ViewMode::Waypoints:
      if (row >= static_cast<int>(waypoints_.Count())) return {};
      return WaypointCell(waypoints_.Records()[static_cast<std::size_t>(row)], column, utm);
    case ViewMode::Airspace:
      if (row >= static_cast<int>(airspace_.size())) return {};
      return AirspaceCell(airspace_[static_cast<std::size_t>(row)], column);
    case ViewMode::Pilots:
      if (!competition_.pilots || row >= static_cast<int>(competition_.pilots->size())) return {};
      return PilotCell((*competition_.pilots)[static_cast<std::size_t>(row)], column);
  }
  return {};
}

ViewMode MainWindow::Mode() const { return model_->Mode(); }

void MainWindow::RefreshView(ViewMode mode) {
  model_->Show(mode, utm_->isChecked(), RowCountOf(mode));
  ApplyColumnWidths();
  if (mode == ViewMode::TrackLog) RefreshTrackViews();
  // The lists the picture draws with the track may have changed with any view.
  picture_->SetOverlays(airspace_, waypoints_.Records(), airspaceSettings_.segmentAccuracy);
  SyncViewSelection();
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

std::vector<std::size_t> MainWindow::SelectedIndexes() const {
  std::vector<std::size_t> indexes;
  for (const int row : SelectedRows()) indexes.push_back(static_cast<std::size_t>(row));
  return indexes;
}

// The one rule of every command that works on positions: the selected rows, or every row of
// the log when none is selected, which the status line then says.
std::vector<int> MainWindow::PositionRows() const {
  if (Mode() != ViewMode::TrackLog) return {};
  std::vector<int> rows = SelectedRows();
  const int count = CurrentTrackLog().Count();
  if (!rows.empty() || count == 0) return rows;
  rows.resize(static_cast<std::size_t>(count));
  std::iota(rows.begin(), rows.end(), 0);
  services_.ui.ShowStatus(FormatText("No position selected: the whole log is used (%d positions)", count));
  return rows;
}

std::vector<TrackPoint> MainWindow::SelectedPositions() const {
  const TrackLog& log = CurrentTrackLog();
  std::vector<TrackPoint> positions;
  const std::vector<int> rows = PositionRows();
  positions.reserve(rows.size());
  for (const int row : rows) {
    if (row < log.Count()) positions.push_back(log.points[static_cast<std::size_t>(row)]);
  }
  return positions;
}

// The airspace commands read the selection from the records.
void MainWindow::SyncAirspaceSelection() {
  for (AirspaceRecord& record : airspace_) record.selected = 0;
  if (Mode() != ViewMode::Airspace) return;
  for (const int row : SelectedRows()) {
    if (row < static_cast<int>(airspace_.size())) airspace_[static_cast<std::size_t>(row)].selected = 1;
  }
}

bool MainWindow::Busy(std::string_view caption) {
  if (services_.access.gpsBusy.load() != 1) return false;
  services_.ui.ShowErrorBox(kBusy, caption);
  return true;
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
  const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
  if (size == listSize_ && height() == HeightFor(size) + bars) return;
  // The window keeps its place and its lists; only its height follows the list size.
  const QPoint place = pos();
  listSize_ = size;
  // The views beside the list take what the list leaves of the window's width.
  resize(std::max(width(), 2 * WindowWidth()), HeightFor(size) + bars);
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

bool MainWindow::SettleUnsavedLog(const QString& question) {
  TrackLog& log = CurrentTrackLog();
  if (log.Empty() || log.saved != 0 || services_.unattended || services_.ui.Hidden()) return true;
  QMessageBox box(QMessageBox::Question, "Unsaved track log", question,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName("unsavedLogBox");
  box.button(QMessageBox::Save)->setObjectName("Save");
  box.button(QMessageBox::Discard)->setObjectName("Discard");
  box.button(QMessageBox::Cancel)->setObjectName("Cancel");
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Discard: return true;
    case QMessageBox::Save: break;
    default: return false;
  }
  // The instrument's own IGC text where it sent one (its signature intact), else the log as an
  // IGC file; a save that was cancelled or failed keeps the log and stops the caller.
  if (log.rawIgc && !log.rawIgc->text.empty()) {
    igc::SaveIgcLogFromGps(log, services_.ui, igcMemory_);
  } else {
    std::vector<int> rows(static_cast<std::size_t>(log.Count()));
    std::iota(rows.begin(), rows.end(), 0);
    igc::IgcCommandContext context;
    context.selectedRows = rows;
    igc::SaveLogInIgcFormat(log, context, services_.ui, igcMemory_);
  }
  return log.saved != 0;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!SettleUnsavedLog("The track log shown is not saved. Save it before Logwell closes?")) {
    event->ignore();
    return;
  }
  // The way out: stop a running access, give it its time to end, keep the settings.
  if (services_.access.AccessCurrent()) {
    services_.access.gpsBusy = 0;
    services_.access.AbortGpsAccess(nullptr);
    services_.access.WaitForGpsAccessEnd();
  }
  StoreLayout();
  SaveSettingsOnExit();
  event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
  shown_ = true;
  QMainWindow::showEvent(event);
}

void MainWindow::SaveSettingsOnExit() {
  if (shown_ && !services_.ui.Hidden()) services_.settings.Save();
}

void MainWindow::OnUtmClicked() {
  if (Mode() == ViewMode::Waypoints || Mode() == ViewMode::TrackLog) ShowView(Mode(), true);
}

// ---- file commands ----

void MainWindow::OnOpenLog() {
  constexpr std::string_view kCaption = "Open track log";
  if (Busy(kCaption)) return;
  QStringList filters;
  for (const auto& [label, pattern] : FileDialogFilterRows(OpenTrackFileTypes())) {
    filters << Q(label);
  }
  const FileChoice choice = PickOpenFile("Open track log", filters);
  if (choice.path.isEmpty()) return;
  OpenFileOfKind(FileKind::Track, choice.path, choice.filterIndex);
}

// A track file read the way "&Open log" reads it: the type of the chosen filter, else the
// type its name says.
bool MainWindow::OpenTrackFile(const QString& chosen, int filterIndex) {
  constexpr std::string_view kCaption = "Open track log";
  const std::filesystem::path path = chosen.toStdString();
  const auto types = OpenTrackFileTypes();
  const TrackFileType* type = filterIndex >= 1 && filterIndex <= static_cast<int>(types.size())
                                  ? &types[static_cast<std::size_t>(filterIndex - 1)]
                                  : FindTrackFileTypeByName(types, path);
  if (type == nullptr) {
    services_.ui.ShowErrorBox("Unknown track file type", kCaption);
    return false;
  }
  // IGC files go through the IGC module, which also keeps their text and security state.
  const bool read = type->code == TrackFileCode::Igc
                        ? igc::OpenIgcFile(CurrentTrackLog(), path.string(), services_.ui) == 0
                        : [&] {
                            const FileTakeOver outcome =
                                OpenTrackLogFile(CurrentTrackLog(), path, type->code, services_.ui);
                            return outcome == FileTakeOver::Replaced || outcome == FileTakeOver::Appended;
                          }();
  if (read) product_->setText(chosen);
  RefreshView(ViewMode::TrackLog);
  return read;
}

void MainWindow::OnSaveIgc() {
  const std::vector<int> rows = PositionRows();
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
  for (const int row : PositionRows()) {
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
  log.source.kind = TrackSourceKind::None;
  log.source.timeIsUtc = 1;
  log.source.SetInstrumentName("");
  log.source.SetInstrumentText("");
  log.source.SetInstrumentId("");
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
  std::string_view caption = AccessCaption(command.access);
  if (command.access == AccessType::WritePilotData && command.protocol == ProtocolType::Flymaster) {
    caption = command.id == 40166 ? "Set Flymaster IDs" : "Set Flymaster data";
  }
  if (command.access == AccessType::WritePilotData && command.protocol == ProtocolType::Dsx) {
    caption = "Set DSX pilot data";
  }
  AccessFramework& access = services_.access;
  Ui& ui = services_.ui;
  if (access.gpsBusy.load() == 1) {
    ui.ShowErrorBox(kBusy, caption);
    return;
  }
  std::vector<Waypoint> upload;
  AirspaceList airspaceUpload;
  std::optional<PilotData> pilotData;
  switch (command.access) {
    case AccessType::ReadTrackLog:
      // The log shown stays until a downloaded track replaces it (a cancelled or failed
      // download leaves it as it was).
      if (!SettleUnsavedLog("The track log shown is not saved. Save it before a downloaded track replaces it?")) {
        return;
      }
      break;
    case AccessType::EraseTrackLog:
      if (const InstrumentFamily* family = FamilyOf(command.protocol);
          family == nullptr || !family->canErase) {
        return;
      }
      if (ui.AskOkCancel("Are you sure ?", "Erase Track Log(s)") != Answer::Ok) return;
      break;
    case AccessType::EraseWaypoints:
      // Every waypoint in the instrument goes: asked first, like the track log erase.
      if (ui.AskOkCancel("Are you sure ?", "Erase waypoints") != Answer::Ok) return;
      break;
    case AccessType::WriteWaypoints:
    case AccessType::WaypointsAsGarminLog: {
      if (CheckCommandAllowed(caption, ViewMode::Waypoints) != 0) return;
      upload = waypoints_.CollectSelected(SelectedIndexes(), NameModeOf(command.selection));
      if (competition_.on && command.access == AccessType::WriteWaypoints) {
        const auto pilot = ChoosePilot();
        if (!pilot) return;
        competition_.current = *pilot;
        for (Waypoint& identity : PilotIdentityWaypoints(*pilot)) upload.push_back(identity);
      }
      if (upload.empty()) {
        ui.ShowErrorBox("No waypoints selected", caption);
        return;
      }
      break;
    }
    case AccessType::UploadCtr: {
      if (CheckCommandAllowed(caption, ViewMode::Airspace) != 0) return;
      SyncAirspaceSelection();
      const InstrumentFamily* family = FamilyOf(command.protocol);
      if (!CheckAirspaceUpload(airspace_, family != nullptr ? family->ctrNameLimit : 0, ui)) return;
      // The worker gets a private copy; it sends the records marked selected.
      airspaceUpload = airspace_;
      break;
    }
    case AccessType::WritePilotData:
      pilotData = AskPilotData(command);
      if (!pilotData) return;
      break;
    default:
      break;
  }
  access.StartCommandAccess(caption, &ui, command.access, command.protocol, command.parameter,
                            CompletionFor(command.access), upload.empty() ? nullptr : &upload,
                            airspaceUpload.empty() ? nullptr : &airspaceUpload,
                            pilotData ? &*pilotData : nullptr);
}

}  // namespace logwell::qt
