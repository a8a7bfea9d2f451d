// Draws the pictures of the README: the main window with a flight loaded and the track picture
// with its triangle, each saved as PNG. Run under a virtual X server by scripts/screenshot-smoke.
// Usage: logwell-screenshots FLIGHT.igc MAIN.png TRACK.png [AIRSPACE.txt]
#include <QApplication>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <filesystem>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "devices/flytec/flytec_workers.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/track_picture.h"

using namespace logwell;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4 && argc != 5) return 2;
  const QString flight = argv[1];
  qt::QtUi ui;
  AccessTable table;
  flytec::RegisterFlytecWorkers(table, FamilyEnvironment{});
  AccessFramework access(table);
  SettingsStore settings;
  const auto folder = std::filesystem::temp_directory_path() / "logwell-screenshots";
  settings.Load({folder / "logwell.ini", folder / "none.ini"}, ui);
  qt::MainWindow window({access, table, settings, ui, true});
  window.move(20, 20);
  window.show();
  window.chooseOpenFile = [&flight](const QString&, const QString&) { return flight; };
  window.RunCommand(40117);
  if (argc == 5) {
    // The flight's airspace, drawn under the track.
    const QString airspace = argv[4];
    window.chooseOpenFile = [&airspace](const QString&, const QString&) { return airspace; };
    // Questions of the read (equal names) take their unattended answers.
    ui.SetHidden(true);
    window.RunCommand(40100);
    ui.SetHidden(false);
    if (window.Airspaces().empty()) return 3;  // the picture must show the flight's airspace
    window.RunCommand(40025);
  }
  window.resize(1280, window.height());
  // A climb selected in the list shows in the picture and the profile.
  window.SelectFixes(60, 110);
  // The claim comes after the distance analysis: the picture is taken with both.
  QSignalSpy analysed(window.Picture(), &qt::TrackPicture::claimFinished);
  if (!window.Picture()->ClaimDone() && !analysed.wait(120000)) return 1;
  QApplication::processEvents();
  if (!window.grab().save(argv[2])) return 1;

  window.RunCommand(40042);
  window.RunCommand(40141);
  auto* picture = qobject_cast<qt::TrackPicture*>(window.LastOpened());
  if (picture == nullptr) return 1;
  picture->resize(800, 600);
  QSignalSpy finished(picture, &qt::TrackPicture::claimFinished);
  if (!picture->ClaimDone() && !finished.wait(120000)) return 1;
  QApplication::processEvents();
  return picture->grab().save(argv[3]) ? 0 : 1;
}
