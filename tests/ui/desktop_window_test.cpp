// The main window on the desktop, on the offscreen platform: every command of the menus reaches
// its handler, a download's progress bar and abort button, files dropped on the window, the
// recent files, the batch conversions and the CSV parameters.
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QUrl>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "box_answerer.h"
#include "devices/family.h"
#include "devices/garmin/garmin_workers.h"
#include "sim/flight_generator.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"
#include "track/track_log.h"
#include "ui/qt/list_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

using namespace logwell;
using logwell::qt::MainWindow;
using logwell::testing::BoxAnswerer;
namespace fs = std::filesystem;

namespace {

// The window on settings in a temporary folder, with the families `families` registers; their
// progress reports reach the window as they do in the program.
struct Fixture {
  using Families = std::function<void(AccessTable&, const FamilyEnvironment&)>;
  explicit Fixture(const Families& families = {}) : folder(MakeFolder()) {
    FamilyEnvironment environment;
    environment.notify = [this](std::string_view text) {
      if (progress) progress(text);
    };
    if (families) families(table, environment);
    settings.Load({folder / "user" / "logwell.ini", folder / "etc" / "logwell.ini"}, ui);
    window = std::make_unique<MainWindow>(MainWindow::Services{access, table, settings, ui, false});
    progress = window->ProgressReporter();
    access.InitGpsAccess();
    window->show();
  }
  ~Fixture() {
    // A transfer a failed check left running ends first; its reports need the event loop.
    if (access.AccessCurrent()) access.AbortGpsAccess(nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!access.AccessCurrent(), 10000);
    window.reset();
    fs::remove_all(folder);
    CurrentTrackLog() = TrackLog();
  }
  static fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "logwell-desk-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
  }
  fs::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(folder / name, std::ios::binary) << text;
    return folder / name;
  }
  // Drops the files on the window the way a file manager does.
  void Drop(const std::vector<fs::path>& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const fs::path& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
    mime.setUrls(urls);
    const QPoint centre = window->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents();  // the files open once the drop is over
  }

  fs::path folder;
  AccessTable table;
  AccessFramework access{table};
  SettingsStore settings{"/docs"};
  qt::QtUi ui;
  std::function<void(std::string_view)> progress;
  std::unique_ptr<MainWindow> window;
};

std::string Igc(int hour) {
  std::string text = "AXLWABC\r\nHFDTE150723\r\n";
  for (int second = 0; second < 4; ++second) {
    char line[64];
    std::snprintf(line, sizeof line, "B%02d00%02d4612345N00812345EA0100001100\r\n", hour, second);
    text += line;
  }
  return text;
}

const char* const kOpenAir =
    "AC C\r\nAN TESTCTR\r\nAL GND\r\nAH 3000ft MSL\r\nV X=46:30:00 N 008:00:00 E\r\nDC 5\r\n";
const char* const kOziWaypoints =
    "OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n"
    "1,LAUNCH,46.500000,8.000000,,0,1,3,0,65535,,0,0,0,4921\r\n"
    "2,LANDING,46.450000,8.050000,,0,1,3,0,65535,,0,0,0,1968\r\n";

}  // namespace

class DesktopWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Each identifier of the menu tables has an action, in a menu or (for the accelerators) on
  // the window, with the table's label; triggering it reaches a handler.
  void everyCommandReachesItsHandler() {
    Fixture f([](AccessTable& table, const FamilyEnvironment&) {
      QVERIFY(RegisterInstrumentFamilies(table, FamilyEnvironment{}));
    });
    struct Row {
      int id;
      const char* label;  // "" for an accelerator without a menu entry
    };
    static const Row kRows[] = {
        {40088, "Track log filter (&speed analysis)"}, {40191, "Timestamp filter (&time analysis)"},
        {40192, "Use filter(s) during download"}, {40172, "Set vario filter (&height analysis)"},
        {40146, "Pwr off after log read"}, {40144, "Pwr off after wpts wr && log read "},
        {40142, "USB && comp. mode: Check wpts"}, {40130, ""},
        {40004, "Read &MLR"}, {40007, "Send to &MLR"}, {40008, "Send to M&agellan (9600)"},
        {40009, "Send to &Top Navigator"}, {40010, "Read Log It (&57600)"}, {40011, "Read Log It (&38400)"},
        {40012, "Read Log It (&19200)"}, {40013, "Send to &XC Trainer"}, {40014, "&Erase LogIt track"},
        {40017, "Send wpts. as Garmin log (COM)"}, {40018, "Send to &Compeo(+)/Competino(+) (Only Name)"},
        {40021, "Send to &Garmin"}, {40022, "Send to Garmin (&USB)"},
        {40023, "Send to &Flytec 50xx/60xx (Only Name)"}, {40027, "Read &Garmin"}, {40029, "Read &Garmin"},
        {40033, "Read &MLR (NMEA)"}, {40039, "Read &Top Navigator (TNCM)"}, {40053, "Read &Top Navigator"},
        {40054, "Read &IQ-Compeo(+)/Competino(+)"}, {40055, "Read &Compeo(+)/Competino(+)"},
        {40058, "Read Graviter (all tracks)"}, {40065, "Read Magella&n (9600)"},
        {40066, "Read M&agellan (9600)"}, {40069, "Read Tracklogger (115&200)"},
        {40071, "Read &XC Trainer (57600)"}, {40075, "Read Garmin &USB"}, {40076, "Read &XC Trainer"},
        {40078, "Read Garmin (&USB)"}, {40085, "Read &Flytec 50xx/60xx"}, {40086, "Read &Flytec 50xx/60xx"},
        {40090, "Read &Top Nav (MXP at 57600)"}, {40091, "Read &XC Trainer (MXP at 57600)"},
        {40092, "Send wpts. as Garmin log (USB)"}, {40096, "Send to Compeo(+)/Competino(+) (ID+Name)"},
        {40097, "Send to Flytec 50xx/60xx (ID+Name)"}, {40098, "Send to &Compeo/Competino"},
        {40099, "Send to &Flytec 50xx/60xx"}, {40106, "Send to &Garmin as a log"},
        {40107, "Send to Garmin &USB as a log"}, {40109, "Read from &Compeo/Competino"},
        {40110, "Read from &Flytec 50xx/60xx"}, {40119, "Read all &IQ Tracks"},
        {40120, "Read all &Flytec Tracks"}, {40126, "Read Fl&ymaster"},
        {40134, "Send to Compeo(+)/Competino(+) (Only ID)"}, {40135, "Send to Flytec 50xx/60xx (Only ID)"},
        {40137, "Read Leonardo (MLR)"}, {40138, "Send to &Digifly Leonardo"}, {40148, "Read DSX"},
        {40150, "Read &MLR (Fast)"}, {40154, "Read MTK/Pentagram (115200)"},
        {40155, "Read IQ Basic / Flytec 6015"}, {40156, "Erase MTK/Pentagram (115200)"},
        {40158, "Read &IqBasic/Flytec 6015"}, {40159, "Send to &IqBasic/Flytec 6015 (Only Name)"},
        {40161, "Send to IqBasic/Flytec 6015 (OnlyID)"}, {40162, "Send to IqBasic/Flytec 6015 (ID+Name)"},
        {40163, "Send to Fl&ymaster (Only Name)"}, {40164, "Send to Flymaster (ID+Name)"},
        {40165, "Send to Flymaster (Only ID)"}, {40167, "Read Fl&ymaster"}, {40179, "Read Leonardo (New)"},
        {40181, "Read &Leonardo Pro User Wpts"}, {40182, "Send to &Leonardo Pro (User wpts.)"},
        {40184, "Send to &Leonardo Pro (Comp. wpts)"}, {40186, "Read &Leonardo Pro Comp Wpts"},
        {40193, "Read MTK/Pentagram (38400)"}, {40194, "Erase MTK/Pentagram (38400)"},
        {40196, "Read Ascent"}, {40197, "Erase data"}, {40198, "Read Digifly Air"},
        {40199, "Read Digifly &Air User Wpts"}, {40200, "Read Digifly &Air Comp Wpts"},
        {40201, "Send to Digifly &Air (User wpts.)"}, {40202, "Send to Digifly &Air (Comp. wpts.)"},
        {40204, "Read Syride"}, {40205, "Read Syride"}, {40206, "Send to Syride"},
        {40209, "Read Flymaster (old)"}, {40015, "Write LogIt &Name"}, {40016, "Read LogIt &Data"},
        {40153, "Write DSX pilot data"}, {40145, "Write Flymaster Name"},
        {40157, "Set Flymaster altitude alarm"}, {40166, "Write Flymaster IDs"},
        {40215, "Erase all waypoints"}, {40211, "&Product data scan"}, {40006, "Set &COM port"},
        {40185, "Set UTC offset for TN"}, {40115, "&Save log (Trackvault/.kml)"}, {40116, "Save log &As..."},
        {40117, "&Open log"}, {40210, "Open IGC log (online validation)"},
        {40188, "Save log for animation in GE"}, {40118, "Save &wpts. As..."}, {40047, "Open wpts."},
        {40043, "Save log in &IGC format"}, {40072, "Save IGC log from &GPS"},
        {40073, "&Verify IGC log from Logwell"}, {40143, "Save pilot list as .csv"},
        {40170, "&Convert .kml files to .igc"}, {40171, "Convert .igc files to .kml"}, {40019, "E&xit"},
        {40038, "&New waypoint"}, {40030, "&Edit waypoint"}, {40031, "&Delete waypoint(s)"},
        {40032, "Convert &Position"}, {40028, "&Calculate distance"}, {40042, "Select &all"}, {40083, ""},
        {40100, "&Read CTR(s) from file"}, {40108, "&Write CTR(s) to OpenAir file"},
        {40195, "Write CTR(s) to OpenAir file (no arcs)"}, {40104, "&Edit CTR"}, {40105, "&New CTR"},
        {40111, "&Delete CTR(s)"}, {40190, "Set accuracy for segments"}, {40112, "&Show CTR as waypoints"},
        {40149, "Write CTR(s) to .gp&x file"}, {40189, "Write CTR(s) to Google API file"},
        {40121, "Competition &Mode"}, {40124, "Rotate Track"}, {40203, "Send track with &FTP"},
        {40151, "Set loop flight gap"}, {40136, "Set track &gap filter time"},
        {40095, "&OLC statistics (use IGC buffer)"}, {40094, "OLC statistics (use selected pos.)"},
        {40187, "Set .csv parameters"}, {40212, "Sort waypoint IDs"}, {40213, "Sort waypoint names"},
        {40214, "Sort waypoint heights"}, {40025, "&Tracklog"}, {40024, "&Waypoints"}, {40129, "&Pilot List"},
        {40101, "&CTR"}, {40141, "Show &Track"}, {40175, "Show &Vario"}, {40176, "Show &Glide"},
        {40178, "Show &Polar"}, {40177, "Set intervals"}, {40131, "Set small list size"},
        {40132, "Set default list size"}, {40133, "Set large list size"}, {40174, "&Font"},
        {40005, "&About Logwell"}, {40079, "&Dump Debug Data"}, {40080, "&Clear Debug Data"},
        {40140, "&Test"},
    };
    // The views being built beside this work: checked here as soon as they exist.
    const std::set<int> ownedElsewhere = {40124, 40176, 40178};
    int reached = -1;
    f.window->interceptCommand = [&reached](int id) {
      reached = id;
      return true;  // the handler is found; it is not run here
    };
    int walked = 0;
    for (const Row& row : kRows) {
      QAction* action = f.window->Action(row.id);
      if (action == nullptr && ownedElsewhere.count(row.id) != 0) continue;
      QVERIFY2(action != nullptr, qPrintable(QString("command %1 has no action").arg(row.id)));
      const QString label = QString::fromUtf8(row.label);
      bool inMenu = false;
      for (QObject* owner : action->associatedObjects()) inMenu |= qobject_cast<QMenu*>(owner) != nullptr;
      if (label.isEmpty()) {
        QVERIFY2(!action->shortcut().isEmpty(), qPrintable(QString("command %1 has no accelerator").arg(row.id)));
      } else {
        QVERIFY2(inMenu, qPrintable(QString("command %1 is in no menu").arg(row.id)));
        QCOMPARE(action->text(), label);
      }
      if (!action->isEnabled()) {
        QVERIFY2(!action->toolTip().isEmpty() && action->toolTip() != action->text(),
                 qPrintable(QString("command %1 is disabled without a reason").arg(row.id)));
        continue;
      }
      reached = -1;
      action->trigger();
      QVERIFY2(reached == row.id, qPrintable(QString("command %1 reaches no handler").arg(row.id)));
      ++walked;
    }
    QVERIFY(walked >= 150);
    // The buttons send the commands of their menu entries.
    reached = -1;
    f.window->AbortButton()->setEnabled(true);
    f.window->AbortButton()->click();
    QCOMPARE(reached, 1102);
  }

  // A download from a virtual Garmin at its real speed: the bar shows the points received so
  // far, the abort button beside it stops the transfer, and nothing of it reaches the log.
  void downloadShowsProgressAndAbortStopsIt() {
    sim::FlightPlan plan;
    plan.duration = std::chrono::minutes(30);
    plan.fixInterval = std::chrono::seconds(5);
    plan.courseLengthKm = 10.0;
    sim::GarminModelConfig config;
    config.points = sim::GenerateFlight(plan);
    config.paced = true;
    sim::VirtualInstrument instrument(std::make_unique<sim::GarminModel>(std::move(config)));
    Fixture f([](AccessTable& table, const FamilyEnvironment& environment) {
      QVERIFY(garmin::RegisterGarminWorkers(table, environment));
    });
    f.access.selectedPortName = [&instrument] { return instrument.DevicePath(); };
    BoxAnswerer boxes;
    QProgressBar* bar = f.window->TransferProgress();
    QPushButton* abort = f.window->AbortButton();
    QVERIFY(bar->isHidden());
    QVERIFY(!abort->isEnabled());
    f.window->RunCommand(40029);
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible() && bar->maximum() > 0 && bar->value() > 0, 10000);
    QVERIFY(bar->maximum() >= 360);  // one point every 5 s for 30 minutes, and the log's records
    QVERIFY(bar->value() < bar->maximum());
    QTRY_VERIFY_WITH_TIMEOUT(abort->isEnabled(), 2000);
    abort->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 2000);
    QVERIFY(!abort->isEnabled());
    QCOMPARE(CurrentTrackLog().Count(), 0);
    QCOMPARE(f.window->Model()->rowCount(), 0);
  }

  // Dropped files open by their kind, several in turn; the unknown one is refused by name.
  void droppedFilesOpenByTheirKind() {
    Fixture f;
    BoxAnswerer boxes;
    const fs::path igc = f.Write("flight.IGC", Igc(10));
    const fs::path openAir = f.Write("alps.txt", kOpenAir);
    const fs::path ozi = f.Write("turnpoints.wpt", kOziWaypoints);
    const fs::path gpxTrack =
        f.Write("track.gpx", "<?xml version=\"1.0\"?><gpx><trk><trkseg><trkpt lat=\"46.5\" lon=\"8\"/></trkseg></trk></gpx>");
    const fs::path gpxPoints = f.Write("points.gpx", "<?xml version=\"1.0\"?><gpx><wpt lat=\"46.5\" lon=\"8\"/></gpx>");
    const struct {
      fs::path file;
      std::optional<MainWindow::FileKind> kind;
    } kinds[] = {{igc, MainWindow::FileKind::Track},     {openAir, MainWindow::FileKind::Airspace},
                 {ozi, MainWindow::FileKind::Waypoints}, {gpxTrack, MainWindow::FileKind::Track},
                 {gpxPoints, MainWindow::FileKind::Waypoints}, {f.folder / "notes.odt", std::nullopt}};
    for (const auto& [file, kind] : kinds) {
      QCOMPARE(MainWindow::KindOfFile(QString::fromStdString(file.string())), kind);
    }
    f.Drop({igc, openAir, ozi});
    QCOMPARE(CurrentTrackLog().Count(), 4);
    QCOMPARE(f.window->Airspaces().size(), std::size_t{1});
    QCOMPARE(f.window->Waypoints().Count(), std::size_t{2});
    QCOMPARE(f.window->Mode(), ViewMode::Waypoints);  // the last file's view
    // No error on the way; the waypoint reader's own questions are answered as they come.
    for (const auto& box : boxes.Seen()) QVERIFY2(box.text.isEmpty(), qPrintable(box.text));
    boxes.Clear();
    // An unknown kind ends the run before the files after it.
    const fs::path unknown = f.Write("notes.odt", "x");
    f.Drop({unknown, f.Write("second.igc", Igc(11))});
    QTRY_COMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].text, QString("Unknown file type: notes.odt"));
    QCOMPARE(CurrentTrackLog().Count(), 4);
  }

  // The last eight files opened, newest first, kept in the settings; a vanished file is removed
  // with a message when chosen; a chosen file opens by the kind it was opened as.
  void recentFilesKeepTheLastEight() {
    Fixture f;
    BoxAnswerer boxes;
    QVERIFY(!f.window->RecentMenu()->isEnabled());
    std::vector<fs::path> files;
    for (int i = 0; i < 9; ++i) files.push_back(f.Write("ctr" + std::to_string(i) + ".txt", kOpenAir));
    for (const fs::path& file : files) {
      QVERIFY(f.window->OpenFileOfKind(MainWindow::FileKind::Airspace, QString::fromStdString(file.string())));
    }
    const fs::path igc = f.Write("flight.igc", Igc(10));
    f.window->chooseOpenFile = [&igc](const QString&, const QString&) { return QString::fromStdString(igc.string()); };
    f.window->RunCommand(40117);
    f.window->OpenFileOfKind(MainWindow::FileKind::Airspace, QString::fromStdString(files[5].string()));
    QStringList recent = f.window->RecentFiles();
    QCOMPARE(recent.size(), 8);
    QCOMPARE(recent[0], QString::fromStdString(files[5].string()));  // opened again: first, once
    QCOMPARE(recent[1], QString::fromStdString(igc.string()));
    QCOMPARE(recent.count(QString::fromStdString(files[5].string())), 1);
    QVERIFY(!recent.contains(QString::fromStdString(files[0].string())));
    QVERIFY(!recent.contains(QString::fromStdString(files[1].string())));
    const QList<QAction*> entries = f.window->RecentMenu()->actions();
    QCOMPARE(entries.size(), 8);
    QCOMPARE(entries[1]->text(), QString("&2 flight.igc"));
    // Kept in the settings file.
    QCOMPARE(QString::fromStdString(f.settings.Text(Setting::RecentFiles)).split('\t')[1],
             "T" + QString::fromStdString(igc.string()));

    // Chosen from the menu: the IGC file opens as a track again.
    CurrentTrackLog() = TrackLog();
    f.window->RefreshView(ViewMode::Airspace);
    entries[1]->trigger();
    QCOMPARE(CurrentTrackLog().Count(), 4);
    QCOMPARE(f.window->Mode(), ViewMode::TrackLog);
    // A file that has gone: a message, and it leaves the list.
    fs::remove(files[8]);
    const int gone = static_cast<int>(f.window->RecentFiles().indexOf(QString::fromStdString(files[8].string())));
    QVERIFY(gone >= 0);
    boxes.Clear();  // the questions of the airspace reads before
    f.window->RecentMenu()->actions()[gone]->trigger();
    QCOMPARE(boxes.Seen().size(), std::size_t{1});
    QVERIFY(boxes.Seen()[0].text.startsWith("File not found: "));
    QCOMPARE(f.window->RecentFiles().size(), 7);
    QVERIFY(!f.window->RecentFiles().contains(QString::fromStdString(files[8].string())));
    QCOMPARE(f.window->RecentMenu()->actions().size(), 7);
  }

  // The batch conversions go both ways through the chosen files; the CSV parameters dialog
  // keeps its columns and averaging seconds in the settings the track save uses.
  void batchConversionsAndCsvParameters() {
    Fixture f;
    BoxAnswerer boxes;
    const fs::path igc = f.Write("flight.igc", Igc(10));
    f.window->chooseOpenFiles = [&igc](const QString& title, const QString& filter) {
      return title == "Convert .igc file(s) to .kml" && filter == "Log files (*.igc)"
                 ? QStringList{QString::fromStdString(igc.string())}
                 : QStringList{QString::fromStdString((igc.parent_path() / "flight.kml").string())};
    };
    f.window->RunCommand(40171);
    QCOMPARE(f.window->StatusLine()->text(), QString("1 file(s) converted"));
    QVERIFY(fs::exists(f.folder / "flight.kml"));
    fs::remove(igc);
    f.window->RunCommand(40170);
    QCOMPARE(f.window->StatusLine()->text(), QString("1 file(s) converted"));
    QVERIFY(fs::file_size(igc) > 0);
    QVERIFY(boxes.Seen().empty());

    boxes.Answer("", [](QWidget* dialog) {
      dialog->findChild<QCheckBox*>("csvSpeed")->setChecked(true);
      dialog->findChild<QCheckBox*>("csvRelTime")->setChecked(true);
      dialog->findChild<QSpinBox*>("speedSeconds")->setValue(30);
    });
    f.window->RunCommand(40187);
    QCOMPARE(boxes.Seen().back().caption, QString("Set .csv parameters"));
    QCOMPARE(f.settings.Number(Setting::CsvSpeed), 1);
    QCOMPARE(f.settings.Number(Setting::CsvRelTime), 1);
    QCOMPARE(f.settings.Number(Setting::CsvVario), 0);
    QCOMPARE(f.settings.Text(Setting::CsvIntervals), std::string("5,30,10"));
    // The track save writes the chosen columns.
    f.window->RunCommand(40140);
    const fs::path csv = f.folder / "track.csv";
    f.window->chooseSaveFile = [&csv](const QString&, const QStringList&, const QString&) {
      return MainWindow::FileChoice{QString::fromStdString(csv.string()), 0};
    };
    f.window->RunCommand(40116);
    std::ifstream in(csv);
    std::string header;
    std::getline(in, header);
    QCOMPARE(QString::fromStdString(header).trimmed(), QString("Date/time,Latitude,Longitude,H-GPS,H-Baro,RelTime,Speed"));
  }
};

QTEST_MAIN(DesktopWindowTest)
#include "desktop_window_test.moc"
