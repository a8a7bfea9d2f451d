// The main window in competition mode: the competition settings and the pilot list, the pilot
// of a download (from the IDs on the instrument, or chosen), the save of each flight under its
// pilot's name, and the offer to write the pilot's IDs into an instrument that held none.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimeZone>
#include <ctime>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "app/settings.h"
#include "base/text.h"
#include "devices/family.h"
#include "track/track_log.h"
#include "ui/qt/competition_dialogs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/qt_text.h"
#include "waypoints/pilot_identity.h"

namespace logwell::qt {
namespace {

constexpr std::string_view kListCaption = "Read pilot list file";
constexpr std::string_view kUploadCaption = "Upload pilot ID";

std::optional<QDateTime> WindowTime(std::int64_t garminTime) {
  if (garminTime <= 0) return std::nullopt;
  return QDateTime::fromSecsSinceEpoch(GarminTimeToUnix(static_cast<GarminTime>(garminTime)),
                                       QTimeZone::utc());
}

GarminTime GarminTimeOf(const std::optional<QDateTime>& time) {
  return time ? UnixToGarminTime(time->toSecsSinceEpoch()) : 0;
}

GarminTime Now() { return UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr))); }

}  // namespace

// The competition values of the settings; the pilot list they name is read at start when the
// mode is on.
void MainWindow::LoadCompetitionSettings() {
  const SettingsStore& settings = services_.settings;
  competition_.on = settings.Number(Setting::CompMode) != 0;
  competition_.special = competition_.dashNames = settings.Number(Setting::CompSpecial) != 0;
  competition_.folder = settings.Text(Setting::CompDir);
  competition_.windowStart = static_cast<GarminTime>(std::max<std::int64_t>(0, settings.Number(Setting::CompTimeStart)));
  competition_.windowEnd = static_cast<GarminTime>(std::max<std::int64_t>(0, settings.Number(Setting::CompTimeStop)));
  ApplyCompetitionTargets();
  const std::string& name = settings.Text(Setting::PilotListName);
  if (competition_.on && !name.empty() && !services_.unattended) {
    ReadPilotList(QDir(Q(settings.Text(Setting::PilotListDir))).filePath(Q(name)), false);
  }
}

void MainWindow::ApplyCompetitionTargets() {
  services_.access.targets.competitionMode = competition_.on;
  services_.access.targets.competitionDashNames = competition_.dashNames;
}

// A read from the menu asks before it replaces a list; one from the settings does not. A bad
// file leaves the list held as it was.
bool MainWindow::ReadPilotList(const QString& file, bool fromMenu) {
  Ui& ui = services_.ui;
  if (fromMenu && competition_.pilots &&
      ui.AskYesNo("Current list will be overwritten, continue ?", kListCaption, Answer::Yes) !=
          Answer::Yes) {
    return false;
  }
  QString path = file;
  if (QFileInfo(path).suffix().isEmpty()) path += ".fsdb";
  if (!LoadPilotList(competition_, path.toStdString(), ui)) return false;
  RefreshView(ViewMode::Pilots);
  return true;
}

void MainWindow::OnCompetitionMode() {
  SettingsStore& settings = services_.settings;
  CompetitionForm form;
  form.on = competition_.on;
  form.folder = Q(competition_.folder.string());
  form.dashNames = competition_.dashNames;
  form.writeDashWaypoint = settings.Number(Setting::CompWptNNN) != 0;
  form.windowStart = WindowTime(competition_.windowStart);
  form.windowEnd = WindowTime(competition_.windowEnd);
  const QString heldList = settings.Text(Setting::PilotListName).empty()
                               ? QString()
                               : QDir(Q(settings.Text(Setting::PilotListDir)))
                                     .filePath(Q(settings.Text(Setting::PilotListName)));
  form.pilotListFile = heldList;
  const auto chooseList = [this] {
    return PickOpenFile("Read pilot list file",
                        {"FS Database files (*.fsdb)", "Pilot list files (*.csv)"})
        .path;
  };
  const auto check = [this](const CompetitionForm& edited) {
    if (edited.windowStart && edited.windowEnd && *edited.windowEnd <= *edited.windowStart) {
      services_.ui.ShowErrorBox("Comp. stop time before start time", "Competition mode");
      return false;
    }
    if (edited.on && !QFileInfo(edited.folder).isDir()) {
      services_.ui.ShowFileError("Folder not found", "Competition mode", edited.folder.toStdString());
      return false;
    }
    return true;
  };
  CompetitionDialog dialog(form, competition_.pilots ? static_cast<int>(competition_.pilots->size()) : 0,
                           chooseList, check, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const CompetitionForm edited = dialog.Form();
  if (!edited.pilotListFile.isEmpty() && (edited.pilotListFile != heldList || !competition_.pilots)) {
    if (ReadPilotList(edited.pilotListFile, true)) {
      const QFileInfo list(edited.pilotListFile);
      settings.SetText(Setting::PilotListDir, list.absolutePath().toStdString());
      settings.SetText(Setting::PilotListName, list.fileName().toStdString());
    }
  }
  competition_.on = edited.on;
  competition_.special = competition_.dashNames = edited.dashNames;
  competition_.folder = edited.folder.toStdString();
  competition_.windowStart = GarminTimeOf(edited.windowStart);
  competition_.windowEnd = GarminTimeOf(edited.windowEnd);
  settings.SetNumber(Setting::CompMode, edited.on ? 1 : 0);
  settings.SetNumber(Setting::CompSpecial, edited.dashNames ? 1 : 0);
  settings.SetNumber(Setting::CompWptNNN, edited.writeDashWaypoint ? 1 : 0);
  settings.SetText(Setting::CompDir, competition_.folder.string());
  settings.SetNumber(Setting::CompTimeStart, competition_.windowStart);
  settings.SetNumber(Setting::CompTimeStop, competition_.windowEnd);
  ApplyCompetitionTargets();
  SetToggleChecks();
  RefreshTitle();
  if (competition_.on) {
    ShowView(ViewMode::Pilots, true);
    const int count = competition_.pilots ? static_cast<int>(competition_.pilots->size()) : 0;
    services_.ui.ShowStatus(FormatText("%d pilots registered", count));
  }
}

void MainWindow::OnSavePilotList() {
  constexpr std::string_view kCaption = "Save pilot list";
  if (!competition_.pilots) {
    services_.ui.ShowErrorBox("No pilot list stored", kCaption);
    return;
  }
  FileChoice choice = PickSaveFile("Save pilot list as .csv", {"Pilot list files (*.csv)", "All files (*)"});
  if (choice.path.isEmpty()) return;
  if (QFileInfo(choice.path).suffix().isEmpty()) choice.path += ".csv";
  if (SavePilotListCsv(*competition_.pilots, choice.path.toStdString(), services_.ui) == 0) {
    services_.ui.ShowStatus(FormatText("%d pilots written", static_cast<int>(competition_.pilots->size())));
  }
}

std::optional<CompetitionPilot> MainWindow::ChoosePilot() {
  const TrackLog& log = CurrentTrackLog();
  PilotSelectionDialog dialog(Q(services_.settings.Text(Setting::PortName)),
                              Q(std::string(log.source.InstrumentName())),
                              competition_.pilots ? &*competition_.pilots : nullptr, services_.ui, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Pilot();
}

std::vector<Waypoint> MainWindow::PilotIdentityWaypoints(const CompetitionPilot& pilot) const {
  return BuildPilotIdentityWaypoints(pilot.compId, pilot.civlId,
                                     services_.settings.Number(Setting::CompWptNNN) != 0, Now());
}

void MainWindow::SaveForCompetition(std::span<const TrackPoint> positions,
                                    const CompetitionPilot& pilot) {
  competition_.current = pilot;
  CompetitionSaveRequest request;
  request.folder = competition_.folder;
  request.pilot = pilot;
  request.windowStart = competition_.windowStart;
  request.windowEnd = competition_.windowEnd;
  request.filters = Filters();
  request.nowUtc = CurrentUtcCalendar();
  TrackLog& log = CurrentTrackLog();
  const CompetitionSaveResult saved = SaveLogForCompetition(log, positions, request, services_.ui);
  if (saved.status == CompetitionSaveStatus::Written) log.saved = 1;
}

// "Save log" in competition mode: the selected positions (or the whole log) for the pilot chosen.
void MainWindow::SaveLogForCompetitionFromWindow() {
  if (CheckCommandAllowed(kCompetitionSaveCaption, ViewMode::TrackLog) != 0) return;
  const TrackLog& log = CurrentTrackLog();
  if (log.Empty()) return;
  std::vector<TrackPoint> positions = SelectedPositions();
  const auto pilot = ChoosePilot();
  if (!pilot) return;
  SaveForCompetition(positions, *pilot);
}

// After a track-log download in competition mode: the pilot the instrument's IDs name in the
// list (else the one chosen), the save, and the offer to write the IDs when the instrument held
// none.
void MainWindow::OnCompetitionDownloadDone(bool success) {
  services_.access.WaitForGpsAccessEnd();
  if (!success || CurrentTrackLog().Empty()) return;
  const bool found = foundCompId_ >= 0 || foundCivlId_ >= 0;
  std::optional<CompetitionPilot> pilot;
  if (found && competition_.pilots) {
    const PilotIdentification identified =
        IdentifyPilot(*competition_.pilots, foundCompId_, foundCivlId_);
    if (identified.pilot) {
      pilot = identified.pilot;
    } else {
      services_.ui.ShowErrorBox("Pilot not identified: " + identified.problem,
                                kCompetitionSaveCaption);
    }
  } else if (found) {
    pilot = CompetitionPilot{{}, foundCompId_, foundCivlId_};
  }
  if (!pilot) pilot = ChoosePilot();
  if (!pilot) return;
  SaveForCompetition(CurrentTrackLog().points, *pilot);
  if (!found) OfferPilotIdUpload();
}

void MainWindow::OfferPilotIdUpload() {
  const CompetitionPilot& pilot = competition_.current;
  const TrackLog& log = CurrentTrackLog();
  const InstrumentFamily* family = FamilyOf(log.sourceProtocol);
  if ((pilot.compId < 0 && pilot.civlId < 0) || family == nullptr || !family->pilotIds) return;
  std::string text = "The GPS did not contain any COMPID or CIVLID.\r\n"
                     "Do you want to upload the following ID(s) ?\r\n";
  if (pilot.compId >= 0) text += FormatText("COMPID %d\r\n", pilot.compId);
  if (pilot.civlId >= 0) text += FormatText("CIVLID %d\r\n", pilot.civlId);
  if (!pilot.name.empty()) text += pilot.name + "\r\n";
  text += "Product: " + std::string(log.source.InstrumentId());
  if (QMessageBox::question(this, "No pilot ID", Q(text), QMessageBox::Ok | QMessageBox::Cancel) !=
      QMessageBox::Ok) {
    return;
  }
  std::vector<Waypoint> identity = PilotIdentityWaypoints(pilot);
  services_.access.StartCommandAccess(kUploadCaption, &services_.ui, AccessType::WriteWaypoints,
                                      log.sourceProtocol, family->pilotIdParameter, CompleteWaypointsWritten,
                                      &identity, nullptr);
}

}  // namespace logwell::qt
