// The main window's statistics and picture commands: the flight statistics and OLC dialogs,
// the track picture and the altitude and vario graph. Each works on a copy of the selected
// positions, so the track log itself is never touched.
#include <QLabel>
#include <cmath>

#include "access/access_framework.h"
#include "app/settings.h"
#include "track/igc/igc_commands.h"
#include "track/igc/igc_reader.h"
#include "base/text.h"
#include "track/track_rotation.h"
#include "track/track_takeover.h"
#include "ui/qt/calculators.h"
#include "ui/qt/flight_graphs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/olc_dialog.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/statistics_dialog.h"
#include "ui/qt/track_picture.h"

namespace logwell::qt {

void MainWindow::ShowWindow(QWidget* window) {
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowFlag(Qt::Window);
  lastOpened_ = window;
  window->show();
}

// "Save log": the flight statistics of the selected positions (the whole log when none is
// selected), whose "Save log" writes the KML logbook file.
void MainWindow::OnSaveLog() {
  constexpr std::string_view kCaption = "Save track log";
  if (competition_.on) {
    SaveLogForCompetitionFromWindow();
    return;
  }
  if (CheckCommandAllowed(kCaption, ViewMode::TrackLog) != 0) return;
  TrackLog& log = CurrentTrackLog();
  if (log.Empty()) return;
  auto prepared = PrepareStatisticsPositions(SelectedPositions(), Filters(), services_.ui);
  if (!prepared) return;
  StatisticsDialog::Flight flight;
  flight.points = std::move(*prepared);
  flight.loopGap = static_cast<std::uint32_t>(services_.settings.Number(Setting::LoopFlightGap));
  flight.withHash = log.source.signState == SignState::Downloaded;
  flight.timesAreUtc = log.source.timeIsUtc != 0;
  flight.withPressureAltitude = log.source.altitudeFlag != 0;
  flight.instrumentText = log.source.InstrumentText();
  flight.rules = ChosenContestRules(services_.settings);
  auto* dialog = new StatisticsDialog(std::move(flight), services_.ui, &log, this);
  dialog->SetSettings(&services_.settings);
  ShowWindow(dialog);
}

void MainWindow::OnOlcFromIgc() {
  constexpr std::string_view kCaption = "OLC statistics";
  if (CheckCommandAllowed(kCaption, ViewMode::TrackLog) != 0) return;
  const TrackLog& log = CurrentTrackLog();
  if (!log.rawIgc) {
    services_.ui.ShowErrorBox("No raw IGC buffer stored", kCaption);
    return;
  }
  igc::IgcDecodeResult decoded = igc::DecodeIgcText(log.rawIgc->text);
  if (!decoded.Ok()) {
    services_.ui.ShowErrorBox(decoded.error, kCaption);
    return;
  }
  OlcSource source;
  source.fromRawIgc = true;
  source.instrumentText = log.source.InstrumentText();
  source.manufacturer = decoded.manufacturer;
  source.loggerSerial = decoded.loggerSerial;
  source.startTime = log.rawIgc->firstFixTime;
  source.rawIgc = log.rawIgc;
  auto* dialog = new OlcDialog(std::move(decoded.points), std::move(source), services_.ui,
                               services_.settings, this);
  dialog->Prefill(igc::FlightHeadersOf(log));
  if (!dialog->Start()) {
    delete dialog;
    return;
  }
  ShowWindow(dialog);
}

void MainWindow::OnOlcFromSelection() {
  constexpr std::string_view kCaption = "OLC statistics";
  if (CheckCommandAllowed(kCaption, ViewMode::TrackLog) != 0) return;
  const TrackLog& log = CurrentTrackLog();
  if (log.Empty()) return;
  std::vector<TrackPoint> points = SelectedPositions();
  if (points.empty()) {
    services_.ui.ShowErrorBox("No position(s) selected", kCaption);
    return;
  }
  OlcSource source;
  source.instrumentText = log.source.InstrumentText();
  source.startTime = points.front().time;
  auto* dialog = new OlcDialog(std::move(points), std::move(source), services_.ui, services_.settings, this);
  dialog->Prefill(igc::FlightHeadersOf(log));
  if (!dialog->Start()) {
    delete dialog;
    return;
  }
  ShowWindow(dialog);
}

// The contest whose claim the picture, the flight statistics and the KML files give first; the
// views beside the list are drawn anew with it.
void MainWindow::OnContestRules() {
  const ContestRules rules[] = {ContestRules::XContest, ContestRules::Olc, ContestRules::Ffvl,
                                ContestRules::XcLeague};
  ListChoice choice;
  choice.title = "Set contest rules";
  choice.prompt = "The claim shown first is scored by";
  const ContestRules current = ChosenContestRules(services_.settings);
  for (std::size_t i = 0; i < std::size(rules); ++i) {
    choice.lines.emplace_back(ContestName(rules[i]));
    if (rules[i] == current) choice.preselected = static_cast<int>(i);
  }
  const std::optional<std::vector<int>> chosen = services_.ui.ChooseFromList(choice);
  if (!chosen || chosen->size() != 1) return;
  const ContestRules picked = rules[static_cast<std::size_t>(chosen->front())];
  if (picked == current) return;
  services_.settings.SetText(Setting::ContestRules, ContestRulesKey(picked));
  RefreshTrackViews(true);
}

void MainWindow::OnShowTrackPicture() {
  if (CheckCommandAllowed("Show track", ViewMode::TrackLog) != 0) return;
  std::vector<TrackPoint> points = SelectedPositions();
  if (points.empty()) return;
  const auto loopGap = static_cast<std::uint32_t>(services_.settings.Number(Setting::LoopFlightGap));
  ShowWindow(new TrackPicture(std::move(points), loopGap, this, 0, ChosenContestRules(services_.settings)));
}

void MainWindow::OnShowVarioGraph() {
  if (CheckCommandAllowed("Show vario", ViewMode::TrackLog) != 0) return;
  std::vector<TrackPoint> points = SelectedPositions();
  if (points.empty()) return;
  ShowWindow(new VarioGraph(std::move(points), this, graphInterval_));
}

void MainWindow::OnShowGlideGraph() {
  if (CheckCommandAllowed("Show glide", ViewMode::TrackLog) != 0) return;
  const std::vector<TrackPoint> points = SelectedPositions();
  if (points.empty()) return;
  ShowWindow(new GlideGraph(points, graphInterval_, this));
}

void MainWindow::OnShowPolarGraph() {
  if (CheckCommandAllowed("Show polar", ViewMode::TrackLog) != 0) return;
  const std::vector<TrackPoint> points = SelectedPositions();
  if (points.empty()) return;
  ShowWindow(new PolarGraph(points, graphInterval_, this));
}

// Turns the selected positions (the whole log when none is selected) about their middle; the
// turned positions replace the track log as a read track file would.
void MainWindow::OnRotateTrack() {
  constexpr std::string_view kCaption = "Rotate Track";
  if (CheckCommandAllowed(kCaption, ViewMode::TrackLog) != 0) return;
  TrackLog& log = CurrentTrackLog();
  if (log.Empty()) {
    services_.ui.ShowErrorBox("No positions", kCaption);
    return;
  }
  std::vector<TrackPoint> points = SelectedPositions();
  const SemicirclePoint centre = TrackCentre(points);
  const QString centreText = PositionFields(PositionFormat::DegreesMinutes, centre).join("  ");
  const auto typed = AskText(Q(kCaption),
                             QString("Angle (degrees, clockwise) about %1, the middle of %2 positions")
                                 .arg(centreText)
                                 .arg(points.size()),
                             "0");
  if (!typed) return;
  bool ok = false;
  const double degrees = typed->trimmed().toDouble(&ok);
  if (typed->trimmed().isEmpty()) {
    services_.ui.ShowErrorBox("Missing input", kCaption);
    return;
  }
  if (!ok || !std::isfinite(degrees)) {
    services_.ui.ShowErrorBox("Bad input", kCaption);
    return;
  }
  RotatePositions(points, centre, degrees);
  const int timeIsUtc = log.source.timeIsUtc;
  const int altitudeFlag = log.source.altitudeFlag;
  const auto count = static_cast<int>(points.size());
  ReplaceTrackLog(log, std::move(points), timeIsUtc, altitudeFlag);
  RefreshView(ViewMode::TrackLog);
  services_.ui.ShowStatus(FormatText("%d positions rotated by %g degrees", count, degrees));
}

// The calculators work on typed positions (and the waypoints) and change nothing.
void MainWindow::OnConvertPosition() { ShowWindow(new PositionConverter(this)); }

void MainWindow::OnCalculateDistance() { ShowWindow(new DistanceCalculator(waypoints_.Records(), this)); }

}  // namespace logwell::qt
