// The main window's file, list and settings commands: track files of every format, the KML
// saves, waypoint and airspace files and their editing, the filter settings, the trace and the
// port. Each command checks that no access runs and that its view is shown before it works.
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QTableView>
#include <filesystem>
#include <limits>

#include "access/access_framework.h"
#include "access/debug_buffer.h"
#include "access/port_list.h"
#include "airspace/airspace_list.h"
#include "app/settings.h"
#include "devices/product_scan.h"
#include "track/formats/track_file_types.h"
#include "kml/kml_animation.h"
#include "kml/kml_save.h"
#include "ui/qt/edit_dialogs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/statistics_dialog.h"
#include "waypoints/waypoint_edit.h"
#include "waypoints/waypoint_files.h"

namespace logwell::qt {
namespace {

QStringList Labels(const std::vector<FileFilter>& filters) {
  QStringList labels;
  for (const FileFilter& filter : filters) labels << Q(filter.label);
  return labels;
}

// The 1-based filter whose pattern ends like the file's name (the first of equals), else 0.
int FilterByName(const std::vector<FileFilter>& filters, const std::filesystem::path& path,
                 std::size_t count) {
  const std::string name = path.filename().string();
  for (std::size_t i = 0; i < std::min(count, filters.size()); ++i) {
    const std::string& pattern = filters[i].pattern;
    const std::string ending = pattern.size() > 1 ? pattern.substr(1) : std::string();
    if (!ending.empty() && ending != ".*" && name.size() >= ending.size() &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      return static_cast<int>(i + 1);
    }
  }
  return 0;
}

}  // namespace

// ---- choosers ----

MainWindow::FileChoice MainWindow::PickOpenFile(const QString& title, const QStringList& filters) {
  QStringList all = filters;
  all << "All files (*)";
  if (chooseOpenFile) return {chooseOpenFile(title, all.join(";;")), 0};
  QString selected;
  const QString path = QFileDialog::getOpenFileName(this, title, QString(), all.join(";;"), &selected);
  return {path, static_cast<int>(filters.indexOf(selected)) + 1};
}

MainWindow::FileChoice MainWindow::PickSaveFile(const QString& title, const QStringList& filters,
                                                const QString& suggested) {
  if (chooseSaveFile) return chooseSaveFile(title, filters, suggested);
  QString selected;
  const QString path = QFileDialog::getSaveFileName(this, title, suggested, filters.join(";;"), &selected);
  return {path, static_cast<int>(filters.indexOf(selected)) + 1};
}

// A text dialog whose check keeps it open on bad input; nothing when cancelled.
std::optional<QString> MainWindow::AskText(const QString& title, const QString& label,
                                           const QString& text) {
  if (askText) return askText(title, text);
  QString result;
  TextValueDialog dialog(title, label, text, [&result](const QString& typed) {
    result = typed;
    return true;
  }, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return result;
}

// ---- track files ----

void MainWindow::OnSaveLogAs() {
  constexpr std::string_view kCaption = "Save track log";
  if (CheckCommandAllowed(kCaption, ViewMode::TrackLog) != 0) return;
  const auto types = SaveTrackFileTypes();
  QStringList filters;
  for (const auto& [label, pattern] : FileDialogFilterRows(types)) filters << Q(label);
  const FileChoice choice = PickSaveFile("Save track log", filters);
  if (choice.path.isEmpty()) return;
  std::filesystem::path path = choice.path.toStdString();
  const TrackFileType* type = choice.filterIndex >= 1 && choice.filterIndex <= static_cast<int>(types.size())
                                  ? &types[static_cast<std::size_t>(choice.filterIndex - 1)]
                                  : FindTrackFileTypeByName(types, path);
  if (type == nullptr) type = &types.front();
  const auto withExtension = SavePathWithExtension(path, *type, services_.ui);
  if (!withExtension) return;
  TrackSaveOptions options;
  options.csv = CsvSettings();
  options.rawTopNavLog = CurrentTrackLog().rawTopNavLog;
  if (SaveTrackLogFile(*withExtension, type->code, SelectedPositions(), services_.ui, options) > 0) {
    product_->setText(Q(withExtension->string()));
  }
}

void MainWindow::OnWriteGoogleEarth() {
  constexpr std::string_view kCaption = "Write GoogleEarth file";
  if (Busy(kCaption)) return;
  const TrackLog& log = CurrentTrackLog();
  if (log.Empty()) {
    services_.ui.ShowErrorBox("Too few track positions", kCaption);
    return;
  }
  const FileChoice choice = PickSaveFile("Write GoogleEarth file", {"GoogleEarth files (*.kml)"},
                                         Q(kml::SuggestedKmlName(log.points.front())));
  if (choice.path.isEmpty()) return;
  std::filesystem::path path = choice.path.toStdString();
  if (!path.has_extension()) path += ".kml";
  kml::GoogleEarthFileRequest request = kml::GoogleEarthRequestFor(log);
  request.loopGap = static_cast<std::uint32_t>(services_.settings.Number(Setting::LoopFlightGap));
  request.rules = ChosenContestRules(services_.settings);
  request.chosenFile = path;
  if (kml::WriteGoogleEarthFile(std::move(request), services_.ui) == 0) product_->setText(Q(path.string()));
}

void MainWindow::OnSaveAnimation() {
  kml::AnimationSaveContext context;
  context.accessBusy = services_.access.gpsBusy.load() == 1;
  context.trackLogShown = Mode() == ViewMode::TrackLog;
  kml::SaveAnimationFile(SelectedPositions(), CurrentTrackLog().source.timeIsUtc != 0, context, services_.ui);
}

// ---- waypoints ----

void MainWindow::OnOpenWaypoints() {
  if (Busy("Open waypoints")) return;
  const std::vector<FileFilter> filters = WaypointOpenFilters();
  QStringList labels = Labels(filters);
  if (!labels.isEmpty() && filters.back().pattern == "*.*") labels.removeLast();
  const FileChoice choice = PickOpenFile("Open waypoints", labels);
  if (choice.path.isEmpty()) return;
  OpenFileOfKind(FileKind::Waypoints, choice.path, choice.filterIndex);
}

bool MainWindow::OpenWaypointFile(const QString& chosen, int filterIndex) {
  std::filesystem::path path = chosen.toStdString();
  if (filterIndex > 0) path = WithOpenExtension(path, filterIndex);
  const bool read = OpenWaypointFileIntoList(path, waypoints_, services_.ui) >= 0;
  if (read) product_->setText(Q(path.string()));
  RefreshView(ViewMode::Waypoints);
  return read;
}

void MainWindow::OnSaveWaypoints() {
  constexpr std::string_view kCaption = "Save waypoints";
  if (!CheckWaypointCommand(services_.access.gpsBusy.load() == 1, Mode() == ViewMode::Waypoints,
                            kCaption, services_.ui)) {
    return;
  }
  const std::vector<std::size_t> selection = SelectedIndexes();
  if (selection.empty()) {
    services_.ui.ShowErrorBox("No waypoints selected", kCaption);
    return;
  }
  const std::vector<FileFilter> filters = WaypointSaveFilters();
  const FileChoice choice = PickSaveFile("Save waypoints", Labels(filters));
  if (choice.path.isEmpty()) return;
  const std::filesystem::path path = choice.path.toStdString();
  const int index = choice.filterIndex > 0 ? choice.filterIndex : FilterByName(filters, path, 9);
  if (index == 0) {
    services_.ui.ShowErrorBox("Unknown waypoint file type", kCaption);
    return;
  }
  SaveSelectedWaypoints(path, index, waypoints_, selection, services_.ui);
}

void MainWindow::OnNewWaypoint() {
  constexpr std::string_view kCaption = "New waypoint";
  if (Busy(kCaption)) return;
  Waypoint fresh;
  fresh.time = CalendarToGarminTime(CurrentUtcCalendar());
  const WaypointEditForm form = FormFromWaypoint(fresh, utm_->isChecked());
  std::optional<Waypoint> result;
  WaypointEditDialog dialog(form, [&](const WaypointEditForm& typed) {
    auto checked = WaypointFromForm(typed);
    if (auto* message = std::get_if<std::string>(&checked)) {
      services_.ui.ShowErrorBox(*message, kCaption);
      return false;
    }
    result = std::get<Waypoint>(checked);
    return true;
  }, this);
  if (dialog.exec() != QDialog::Accepted || !result) return;
  waypoints_.Insert(*result, services_.ui);
  RefreshView(ViewMode::Waypoints);
}

void MainWindow::OnEditWaypoint() {
  constexpr std::string_view kCaption = "Edit waypoint";
  if (!CheckWaypointCommand(services_.access.gpsBusy.load() == 1, Mode() == ViewMode::Waypoints,
                            kCaption, services_.ui)) {
    return;
  }
  const auto row = waypoints_.RowToEdit(SelectedIndexes(), services_.ui);
  if (!row) return;
  std::optional<Waypoint> result;
  WaypointEditDialog dialog(FormFromWaypoint(waypoints_.Records()[*row], utm_->isChecked()),
                            [&](const WaypointEditForm& typed) {
                              auto checked = WaypointFromForm(typed);
                              if (auto* message = std::get_if<std::string>(&checked)) {
                                services_.ui.ShowErrorBox(*message, kCaption);
                                return false;
                              }
                              result = std::get<Waypoint>(checked);
                              return true;
                            },
                            this);
  if (dialog.exec() != QDialog::Accepted || !result) return;
  waypoints_.Update(*row, *result);
  RefreshView(ViewMode::Waypoints);
}

void MainWindow::OnDeleteWaypoints() {
  constexpr std::string_view kCaption = "Delete waypoint(s)";
  if (!CheckWaypointCommand(services_.access.gpsBusy.load() == 1, Mode() == ViewMode::Waypoints,
                            kCaption, services_.ui)) {
    return;
  }
  if (waypoints_.DeleteSelected(SelectedIndexes(), services_.ui) > 0) {
    list_->clearSelection();
    RefreshView(ViewMode::Waypoints);
  }
}

void MainWindow::SortWaypoints(WaypointSortKey key, std::string_view caption) {
  if (!CheckWaypointCommand(services_.access.gpsBusy.load() == 1, Mode() == ViewMode::Waypoints,
                            caption, services_.ui)) {
    return;
  }
  if (waypoints_.Sort(key, services_.ui) >= 0) RefreshView(ViewMode::Waypoints);
}

void MainWindow::OnSortIds() { SortWaypoints(WaypointSortKey::Id, "Sort waypoint IDs"); }
void MainWindow::OnSortNames() { SortWaypoints(WaypointSortKey::Name, "Sort waypoint names"); }
void MainWindow::OnSortHeights() { SortWaypoints(WaypointSortKey::Altitude, "Sort waypoint heights"); }

// ---- airspace ----

void MainWindow::OnReadCtrFile() {
  if (Busy("Read CTR file")) return;
  const FileChoice choice = PickOpenFile("Read CTR file", {"OpenAir files (*.txt)"});
  if (choice.path.isEmpty()) return;
  OpenFileOfKind(FileKind::Airspace, choice.path);
}

bool MainWindow::ReadCtrFile(const QString& chosen) {
  const std::filesystem::path path = chosen.toStdString();
  const bool read = ReadAirspaceFileIntoList(airspace_, path, services_.ui, airspaceSettings_) >= 0;
  if (read) product_->setText(chosen);
  list_->clearSelection();
  RefreshView(ViewMode::Airspace);
  return read;
}

void MainWindow::WriteAirspaces(AirspaceFileKind kind, std::string_view caption, const QString& filter) {
  if (CheckCommandAllowed(caption, ViewMode::Airspace) != 0) return;
  SyncAirspaceSelection();
  if (std::none_of(airspace_.begin(), airspace_.end(), [](const AirspaceRecord& r) { return r.selected != 0; })) {
    services_.ui.ShowErrorBox("No CTR(s) selected", caption);
    return;
  }
  const FileChoice choice = PickSaveFile(Q(caption), {filter});
  if (choice.path.isEmpty()) return;
  std::filesystem::path path = choice.path.toStdString();
  if (!path.has_extension()) {
    const qsizetype star = filter.indexOf("*.");
    if (star >= 0) path += filter.mid(star + 1, filter.indexOf(')') - star - 1).toStdString();
  }
  if (WriteSelectedAirspaces(airspace_, path, kind, airspaceSettings_, services_.ui) == 0) {
    services_.ui.ShowStatus("File written");
    product_->setText(Q(path.string()));
  }
}

void MainWindow::OnWriteOpenAir() {
  WriteAirspaces(AirspaceFileKind::OpenAir, "Write CTR(s) to OpenAir file", "OpenAir files (*.txt)");
}
void MainWindow::OnWriteOpenAirNoArcs() {
  WriteAirspaces(AirspaceFileKind::OpenAirNoArcs, "Write CTR(s) to OpenAir file", "OpenAir files (*.txt)");
}
void MainWindow::OnWriteCtrGpx() {
  WriteAirspaces(AirspaceFileKind::Gpx, "Write CTR(s) to .gpx file", "GPX files (*.gpx)");
}
void MainWindow::OnWriteCtrWebMap() {
  WriteAirspaces(AirspaceFileKind::WebMap, "Write CTR(s) to Google API file", "HTML files (*.html)");
}

void MainWindow::OnEditCtr() {
  constexpr std::string_view kCaption = "Edit CTR";
  if (CheckCommandAllowed(kCaption, ViewMode::Airspace) != 0) return;
  SyncAirspaceSelection();
  const std::optional<AirspaceEditForm> form = EditFormFor(airspace_, services_.ui);
  if (!form) return;
  CtrEditDialog dialog(*form, [this](const AirspaceEditForm& typed) {
    return CheckEditForm(typed, services_.ui).has_value();
  }, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (ReplaceAirspaceFromForm(airspace_, dialog.Form(), services_.ui, airspaceSettings_) >= 0) {
    list_->clearSelection();
    RefreshView(ViewMode::Airspace);
  }
}

void MainWindow::OnNewCtr() {
  constexpr std::string_view kCaption = "Edit CTR";
  if (CheckCommandAllowed(kCaption, ViewMode::Airspace) != 0) return;
  CtrEditDialog dialog(AirspaceEditForm{}, [this](const AirspaceEditForm& typed) {
    return CheckEditForm(typed, services_.ui).has_value();
  }, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (AddAirspacesFromForm(airspace_, dialog.Form(), services_.ui, airspaceSettings_) >= 0) {
    RefreshView(ViewMode::Airspace);
  }
}

void MainWindow::OnDeleteCtrs() {
  if (CheckCommandAllowed("Edit CTR", ViewMode::Airspace) != 0) return;
  SyncAirspaceSelection();
  if (DeleteSelectedAirspaces(airspace_, services_.ui) > 0) {
    list_->clearSelection();
    RefreshView(ViewMode::Airspace);
  }
}

void MainWindow::OnShowCtrAsWaypoints() {
  if (CheckCommandAllowed("Show CTR as waypoints", ViewMode::Airspace) != 0) return;
  SyncAirspaceSelection();
  auto points = SelectedAirspaceAsWaypoints(airspace_, airspaceSettings_, services_.ui);
  if (!points) return;
  waypoints_.Replace(std::move(*points));
  list_->clearSelection();
  ShowView(ViewMode::Waypoints, true);
}

void MainWindow::OnSegmentAccuracy() {
  if (Busy("Set segment error")) return;
  const QString current = QString::number(airspaceSettings_.segmentAccuracy);
  std::optional<std::uint32_t> accuracy;
  if (askText) {
    const auto typed = askText("Set segment error", current);
    if (typed) accuracy = ReadSegmentAccuracy(typed->toStdString(), services_.ui);
  } else {
    TextValueDialog dialog("Set segment error", "Segment accuracy (m)", current, [&](const QString& typed) {
      accuracy = ReadSegmentAccuracy(typed.toStdString(), services_.ui);
      return accuracy.has_value();
    }, this);
    if (dialog.exec() != QDialog::Accepted) accuracy.reset();
  }
  if (!accuracy) return;
  airspaceSettings_.segmentAccuracy = *accuracy;
  if (services_.instrumentOptions != nullptr) services_.instrumentOptions->segmentAccuracy = *accuracy;
  services_.settings.SetNumber(Setting::CtrSegError, *accuracy);
}

// ---- filter settings ----

// Runs one settings dialog: `apply` takes the typed text and tells whether it was accepted.
namespace {
template <typename Apply>
bool RunValueDialog(MainWindow* window, const std::function<std::optional<QString>(const QString&, const QString&)>& hook,
                    const QString& title, const QString& label, const QString& current, Apply apply) {
  if (hook) {
    const auto typed = hook(title, current);
    return typed && apply(*typed);
  }
  TextValueDialog dialog(title, label, current, apply, window);
  return dialog.exec() == QDialog::Accepted;
}
}  // namespace

void MainWindow::OnVarioFilter() {
  if (Busy("Set vario filter")) return;
  FilterSettings filters = Filters();
  const bool changed = RunValueDialog(this, askText, "Set vario filter", "Vario limit (m/s)",
                                      Q(VarioDialogText(filters)), [&](const QString& typed) {
    return ApplyVarioDialogInput(typed.toStdString(), filters, services_.ui);
  });
  if (!changed) return;
  services_.settings.SetNumber(Setting::VarioFilter, filters.varioLimit);
  SetToggleChecks();
  ApplyFilterSettings();
}

void MainWindow::OnGapTime() {
  if (Busy("Set track gap filter time")) return;
  FilterSettings filters = Filters();
  const bool changed = RunValueDialog(this, askText, "Set track gap filter time", "Gap time (minutes)",
                                      Q(GapDialogText(filters)), [&](const QString& typed) {
    return ApplyGapDialogInput(typed.toStdString(), filters);
  });
  if (changed) services_.settings.SetNumber(Setting::TrackGapTime, filters.gapSeconds);
}

namespace {
// A whole number typed into a value dialog: "Missing input" or "Bad input" (outside `low` to
// `high` too) with the dialog's caption, and nothing, when it is not one.
std::optional<std::uint32_t> TypedWholeNumber(Ui& ui, const QString& typed, std::string_view caption,
                                              std::uint32_t low = 0,
                                              std::uint32_t high = std::numeric_limits<std::uint32_t>::max()) {
  const QString text = typed.trimmed();
  if (text.isEmpty()) {
    ui.ShowErrorBox("Missing input", caption);
    return std::nullopt;
  }
  bool ok = false;
  const uint value = text.toUInt(&ok);
  if (!ok || value < low || value > high) {
    ui.ShowErrorBox("Bad input", caption);
    return std::nullopt;
  }
  return value;
}
}  // namespace

void MainWindow::OnLoopGap() {
  constexpr std::string_view kCaption = "Set gap distance";
  if (Busy(kCaption)) return;
  std::optional<std::uint32_t> gap;
  const bool changed = RunValueDialog(
      this, askText, "Set gap distance", "Loop gap (m)",
      QString::number(services_.settings.Number(Setting::LoopFlightGap)), [&](const QString& typed) {
        gap = TypedWholeNumber(services_.ui, typed, kCaption);
        return gap.has_value();
      });
  if (changed && gap) services_.settings.SetNumber(Setting::LoopFlightGap, *gap);
}

// The seconds the graphs average their climb and speed over; the views beside the list are
// drawn anew with it.
void MainWindow::OnSetIntervals() {
  constexpr std::string_view kCaption = "Set intervals";
  if (Busy(kCaption)) return;
  std::optional<std::uint32_t> seconds;
  const bool changed = RunValueDialog(
      this, askText, Q(kCaption), "Climb and speed interval (s, 1-3600)", QString::number(graphInterval_),
      [&](const QString& typed) {
        seconds = TypedWholeNumber(services_.ui, typed, kCaption, 1, 3600);
        return seconds.has_value();
      });
  if (!changed || !seconds || *seconds == graphInterval_) return;
  graphInterval_ = *seconds;
  RefreshTrackViews(true);
}

// Whole hours added to a Top Navigator's clock on download (-12 to 14).
void MainWindow::OnTopNavUtcOffset() {
  constexpr std::string_view kCaption = "Set UTC offset for TN";
  if (Busy(kCaption)) return;
  int hours = 0;
  const bool changed = RunValueDialog(
      this, askText, Q(kCaption), "UTC offset (hours)",
      QString::number(services_.settings.Number(Setting::UtcOffsetForTN)), [&](const QString& typed) {
        const QString text = typed.trimmed();
        if (text.isEmpty()) {
          services_.ui.ShowErrorBox("Missing input", kCaption);
          return false;
        }
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < -12 || value > 14) {
          services_.ui.ShowErrorBox("Bad input", kCaption);
          return false;
        }
        hours = value;
        return true;
      });
  if (changed) services_.settings.SetNumber(Setting::UtcOffsetForTN, hours);
}

// ---- the trace ----

void MainWindow::OnDumpDebug() {
  SaveDebugBuffer(services_.ui, DebugBuffer::Global(), [this]() -> std::optional<std::filesystem::path> {
    const QString folder = Q(services_.settings.Text(Setting::TraceDir));
    const FileChoice choice = PickSaveFile(Q(kDebugSaveCaption), {"Log files (*.log)"}, folder);
    if (choice.path.isEmpty()) return std::nullopt;
    return std::filesystem::path(choice.path.toStdString());
  });
}

void MainWindow::OnClearDebug() { DebugBuffer::Global().Clear(); }

// ---- the port ----

void MainWindow::OnSetComPort() {
  constexpr std::string_view kCaption = "Select COM port";
  if (Busy(kCaption)) return;
  SettingsStore& settings = services_.settings;
  const auto found = EnumerateSerialPorts();
  std::optional<std::vector<std::string>> paths;
  std::vector<std::string> descriptions;
  if (found) {
    paths.emplace();
    for (const SerialPortInfo& port : *found) {
      paths->push_back(port.devicePath);
      // The maker, the product and the USB identifiers, as far as the adapter tells them.
      std::string description = port.manufacturer;
      if (!port.product.empty()) description.append(description.empty() ? "" : " ").append(port.product);
      if (!port.vendorId.empty()) {
        description.append(description.empty() ? "" : ", ").append(port.vendorId).append(":").append(port.productId);
      }
      descriptions.push_back(description);
    }
  }
  const PortDialogState state = OpenPortDialog(services_.ui, paths, settings.Text(Setting::PortName),
                                               settings.Number(Setting::AutoSetPort) != 0);
  ComPortDialog dialog(state, descriptions, [&](const QString& typed, int selected, bool autoSwitch) {
    const auto name = AcceptPortDialog(services_.ui, state, typed.trimmed().toStdString(), selected);
    if (!name) return false;
    settings.SetNumber(Setting::AutoSetPort, autoSwitch ? 1 : 0);
    settings.SetText(Setting::PortName, *name);
    return true;
  }, this);
  dialog.setObjectName("comPortDialog");
  if (dialog.exec() == QDialog::Accepted) RefreshTitle();
}

void MainWindow::OnPortTick() {
  if (!portSwitch_) return;
  const TrackLog& log = CurrentTrackLog();
  const auto port = portSwitch_->Tick(services_.settings.Number(Setting::AutoSetPort) != 0,
                                      services_.access.gpsBusy.load() == 1, !log.Empty() && log.saved == 0);
  if (!port) return;
  services_.settings.SetText(Setting::PortName, *port);
  RefreshTitle();
}

// Every family with a probe asks the selected port (every port with a device behind it when
// none is selected); what answers shows in the product line, the rest in the status line.
void MainWindow::OnProductScan() {
  services_.access.StartProductScan(&services_.ui, [](AccessBlock& block) {
    const ProbeReport report{[&block](std::string_view text) { ShowAccessProduct(block, text); },
                             [&block](std::string_view text) { ShowAccessStatus(block, text); }};
    const std::vector<std::string> ports =
        block.portName.empty() ? CandidateScanPorts() : std::vector<std::string>{block.portName};
    std::string problems;
    for (const ScanFinding& finding : ScanPorts(ports, report)) {
      if (!finding.family.empty()) return;  // its product line is showing
      if (!finding.problem.empty()) problems += (problems.empty() ? "" : "; ") + ScanFindingLine(finding);
    }
    ShowAccessStatus(block, problems.empty() ? "No GPS detected" : "No GPS detected (" + problems + ")");
  });
}

}  // namespace logwell::qt
