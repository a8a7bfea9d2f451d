// Drives the window program's main window on the offscreen platform: views and their columns,
// the UTM box, busy and view-mode refusals, abort, list sizes, the test track, opening an IGC
// file over an existing log, boxes asked from a worker thread, and the settings on the way out.
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <pty.h>
#include <unistd.h>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "access/worker_frame.h"
#include "app/settings.h"
#include "box_answerer.h"
#include "waypoints/pilot_identity.h"
#include "track/track_log.h"
#include "ui/qt/list_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_ui.h"

using namespace logwell;
using logwell::qt::ListSize;
using logwell::qt::MainWindow;
using logwell::testing::BoxAnswerer;

namespace {

// The window with its services, as main() builds them, on settings in a temporary folder.
struct Fixture {
  explicit Fixture(bool unattended = false, std::function<void(AccessTable&)> families = {})
      : folder(MakeFolder()) {
    if (families) families(table);
    paths = {folder / "user" / "logwell.ini", folder / "etc" / "logwell.ini"};
    settings.Load(paths, ui);
    window = std::make_unique<MainWindow>(
        MainWindow::Services{access, table, settings, ui, unattended});
    access.InitGpsAccess();
    window->show();
  }
  ~Fixture() {
    window.reset();
    std::filesystem::remove_all(folder);
    CurrentTrackLog() = TrackLog();
  }
  static std::filesystem::path MakeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "logwell-qt-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
  }
  QString Header(int column) const {
    return window->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  }
  QString CellText(int row, int column) const {
    return window->Model()->data(window->Model()->index(row, column), Qt::DisplayRole).toString();
  }

  std::filesystem::path folder;
  SettingsPaths paths;
  AccessTable table;
  AccessFramework access{table};
  SettingsStore settings{"/docs"};
  qt::QtUi ui;
  std::unique_ptr<MainWindow> window;
};

// A small IGC file: a header with its date and four fixes a second apart.
std::filesystem::path WriteIgc(const std::filesystem::path& folder, const char* name, int hour) {
  const auto path = folder / name;
  std::ofstream out(path, std::ios::binary);
  out << "AXLWABC\r\nHFDTE150723\r\n";
  for (int second = 0; second < 4; ++second) {
    char line[64];
    std::snprintf(line, sizeof line, "B%02d00%02d4612345N00812345EA0100001100\r\n", hour, second);
    out << line;
  }
  out << "G0123456789ABCDEF\r\n";  // signed: the read has nothing to say about the file
  return path;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsInTheTrackViewWithTitleAndLines() {
    Fixture f;
    QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, COM1"));
    QCOMPARE(f.window->ProductLine()->text(), QString("Product"));
    QCOMPARE(f.window->StatusLine()->text(), QString("Status"));
    QCOMPARE(f.window->Mode(), ViewMode::TrackLog);
    QCOMPARE(f.window->Model()->columnCount(), 7);
    QCOMPARE(f.Header(4), QString("H (GPS)"));
    // Commands of families that are not built are not offered; built ones are.
    QVERIFY(f.window->Action(40085) == nullptr);
    QVERIFY(f.window->Action(40117) != nullptr);
    QCOMPARE(f.window->Action(40025)->shortcut(), QKeySequence("Ctrl+1"));
  }

  void testTrackFillsTheListAndUtmSwitchesColumns() {
    Fixture f;
    f.window->RunCommand(40140);
    QCOMPARE(f.window->Model()->rowCount(), 2201);
    QCOMPARE(f.CellText(0, 6), QString("START"));
    QVERIFY(f.CellText(1, 6).toDouble() > 0.0);
    QVERIFY(f.CellText(0, 2).startsWith("N 60 "));
    f.window->UtmBox()->click();
    QCOMPARE(f.window->Model()->columnCount(), 8);
    QCOMPARE(f.Header(2), QString("Zone"));
    QCOMPARE(f.CellText(0, 2), QString("32V"));
    // The first point lies on the first arc: easting 498500, northing 6660000 - 1200.
    QCOMPARE(f.CellText(0, 3), QString("0498500"));
    QCOMPARE(f.CellText(0, 4), QString("6658800"));
    QCOMPARE(f.window->Model()->rowCount(), 2201);
  }

  void viewsSwitchAndWaypointUtmColumns() {
    Fixture f;
    Waypoint point;
    point.SetId("TAKEOF");
    point.latitude = 550000000;
    point.longitude = 50000000;
    f.window->Waypoints().Replace({point});
    f.window->RunCommand(40024);
    QCOMPARE(f.window->Mode(), ViewMode::Waypoints);
    QCOMPARE(f.Header(1), QString("Latitude"));
    QCOMPARE(f.CellText(0, 0), QString("TAKEOF"));
    f.window->UtmBox()->click();
    QCOMPARE(f.Header(1), QString("Zone"));
    QCOMPARE(f.Header(3), QString("Northing"));
    f.window->RunCommand(40101);
    QCOMPARE(f.window->Mode(), ViewMode::Airspace);
    QCOMPARE(f.Header(1), QString("Floor (Remark)"));
    f.window->RunCommand(40129);
    QCOMPARE(f.Header(3), QString("Device"));
  }

  void busyAndViewModeRefusals() {
    Fixture f;
    BoxAnswerer boxes;
    f.window->RunCommand(40024);
    f.window->RunCommand(40083);  // copy positions needs the track view
    f.access.gpsBusy = 1;
    f.window->RunCommand(40025);
    f.window->RunCommand(40042);
    f.window->RunCommand(40131);
    f.window->RunCommand(40140);
    f.access.gpsBusy = 0;
    const std::vector<std::pair<QString, QString>> expected = {
        {"Copy positions", "Incorrect view mode"}, {"Change view mode", "Busy GPS driver"},
        {"Select all items", "Busy GPS driver"}, {"Set list size", "Busy GPS driver"},
        {"Test", "Busy GPS driver"}};
    QCOMPARE(boxes.Seen().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(boxes.Seen()[i].caption, expected[i].first);
      QCOMPARE(boxes.Seen()[i].text, expected[i].second);
    }
    QCOMPARE(f.window->Mode(), ViewMode::Waypoints);
    QCOMPARE(f.window->Model()->rowCount(), 0);
  }

  void listSizeChangeKeepsPlaceAndLists() {
    Fixture f;
    f.window->RunCommand(40140);
    f.window->List()->selectRow(5);
    const QPoint place = f.window->pos();
    const int defaultHeight = f.window->height();
    f.window->RunCommand(40131);
    QVERIFY(f.window->height() < defaultHeight);
    QCOMPARE(f.window->pos(), place);
    QCOMPARE(f.window->Model()->rowCount(), 2201);
    QCOMPARE(f.window->SelectedRows(), std::vector<int>{5});
    f.window->RunCommand(40133);
    QVERIFY(f.window->height() >= f.window->HeightFor(ListSize::Default) / 2);
    f.window->RunCommand(40132);
    QCOMPARE(f.window->height(), defaultHeight);
  }

  void selectAllAndCopy() {
    Fixture f;
    f.window->RunCommand(40140);
    f.window->RunCommand(40042);
    QCOMPARE(f.window->SelectedRows().size(), std::size_t{2201});
    f.window->List()->clearSelection();
    f.window->List()->selectRow(1);
    f.window->RunCommand(40083);
    const QStringList cells = QApplication::clipboard()->text().trimmed().split('\t');
    QCOMPARE(cells.size(), 7);
    QCOMPARE(cells[1], f.CellText(1, 1));
  }

  void abortWithoutAndWithAnAccess() {
    std::promise<void> running;
    Fixture f(false, [&](AccessTable& table) {
      table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec,
                     FrameWorker({.openPort = {}, .run = [&](AccessBlock& block) {
                       block.points.resize(3);
                       running.set_value();
                       return block.Pause(std::chrono::seconds(60)) ? 0 : -1;
                     }}));
    });
    BoxAnswerer boxes;
    f.window->RunCommand(1102);  // nothing runs: nothing happens
    QCOMPARE(f.window->StatusLine()->text(), QString("Status"));
    // The family's commands and its button are offered now.
    QVERIFY(f.window->Action(40085) != nullptr);
    QVERIFY(f.window->findChild<QPushButton*>() != nullptr);
    f.window->RunCommand(40085);
    QCOMPARE(running.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    QCOMPARE(f.access.gpsBusy.load(), 1);
    f.window->RunCommand(40085);  // a second access is refused with its own caption
    QCOMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].caption, QString("Download track log"));
    QCOMPARE(boxes.Seen()[0].text, QString("Busy GPS driver"));
    f.window->RunCommand(1102);
    QCOMPARE(f.window->StatusLine()->text(), QString("Aborting transfer"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->StatusLine()->text(), QString("Transfer aborted"), 5000);
    QCOMPARE(f.window->Model()->rowCount(), 0);
  }

  void downloadReachesTheListThroughTheCompletion() {
    Fixture f(false, [](AccessTable& table) {
      table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec,
                     FrameWorker({.openPort = {}, .run = [](AccessBlock& block) {
                       block.points.resize(5);
                       for (std::size_t i = 0; i < 5; ++i) block.points[i].time = 1000000000u + static_cast<GarminTime>(i);
                       return 0;
                     }}));
    });
    f.window->RunCommand(40085);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->Model()->rowCount(), 5, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE(f.access.gpsBusy.load(), 0);
  }

  // The Flymaster forms hand what was typed to the pilot-data access; an alarm of 0 sends nothing.
  void pilotDataFormsReachTheWorker() {
    auto received = std::make_shared<std::vector<PilotData>>();
    Fixture f(false, [received](AccessTable& table) {
      table.Register(AccessType::WritePilotData, ProtocolType::Flymaster,
                     FrameWorker({.openPort = {}, .run = [received](AccessBlock& block) {
                       if (block.pilotData) received->push_back(*block.pilotData);
                       return 0;
                     }}));
    });
    BoxAnswerer boxes;
    const auto type = [](QStringList values) {
      return [values](QWidget* dialog) {
        const auto edits = dialog->findChildren<QLineEdit*>();
        for (int i = 0; i < values.size() && i < edits.size(); ++i) edits[i]->setText(values[i]);
      };
    };
    boxes.Answer("", type({"Anna", "42", "Ozone", "Zeno 2"}));
    f.window->RunCommand(40145);
    QTRY_COMPARE_WITH_TIMEOUT(received->size(), std::size_t{1}, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE((*received)[0].kind, PilotData::Kind::Pilot);
    QCOMPARE((*received)[0].gliderModel, std::string("Zeno 2"));
    QCOMPARE(boxes.Seen()[0].caption, QString("Set Flymaster Name"));

    boxes.Answer("", type({"0"}));
    f.window->RunCommand(40157);
    boxes.Answer("", type({"2800"}));
    f.window->RunCommand(40157);
    QTRY_COMPARE_WITH_TIMEOUT(received->size(), std::size_t{2}, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE((*received)[1].kind, PilotData::Kind::AltitudeAlarm);
    QCOMPARE((*received)[1].altitudeAlarm, 2800);

    boxes.Answer("", type({"Anna", "1234", "56789"}));
    f.window->RunCommand(40166);
    QTRY_COMPARE_WITH_TIMEOUT(received->size(), std::size_t{3}, 10000);
    QCOMPARE((*received)[2].compId, std::string("1234"));
    QCOMPARE((*received)[2].civlId, std::string("56789"));
  }

  // The scan holds the access slot: a second command is refused while it runs, and a port with
  // nothing behind it ends as "No GPS detected" with the slot free again.
  void productScanRunsInTheAccessSlot() {
    Fixture f;
    int controller = -1;
    int device = -1;
    QVERIFY(::openpty(&controller, &device, nullptr, nullptr, nullptr) == 0);
    const std::string path = ::ttyname(device);
    f.access.selectedPortName = [path] { return path; };
    BoxAnswerer boxes;
    f.window->RunCommand(40211);
    QVERIFY(f.access.AccessCurrent());
    f.window->RunCommand(40211);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.Seen().size(), std::size_t{1}, 5000);
    QCOMPARE(boxes.Seen()[0].caption, QString("Product data scan"));
    QCOMPARE(boxes.Seen()[0].text, QString("Busy GPS driver"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 60000);
    QCOMPARE(f.window->StatusLine()->text(), QString("No GPS detected"));
    QCOMPARE(f.access.gpsBusy.load(), 0);
    ::close(device);
    ::close(controller);
  }

  void openingAFileOverALogAsksOverwriteOrAppend() {
    Fixture f;
    BoxAnswerer boxes;
    const auto first = WriteIgc(f.folder, "first.igc", 10);
    const auto second = WriteIgc(f.folder, "second.igc", 11);
    QString next = QString::fromStdString(first.string());
    f.window->chooseOpenFile = [&](const QString&, const QString&) { return next; };
    f.window->RunCommand(40117);
    QCOMPARE(f.window->Model()->rowCount(), 4);
    QCOMPARE(f.CellText(0, 1), QString("10:00:00"));
    QCOMPARE(f.window->StatusLine()->text(), QString("4 positions read"));
    next = QString::fromStdString(second.string());
    boxes.Answer("appendButton");
    f.window->RunCommand(40117);
    QCOMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].caption, QString("New Track Log"));
    QCOMPARE(f.window->Model()->rowCount(), 8);
    QCOMPARE(f.CellText(4, 1), QString("11:00:00"));
    boxes.Answer("overwriteButton");
    f.window->RunCommand(40117);
    QCOMPARE(f.window->Model()->rowCount(), 4);
  }

  void workerThreadsWaitForTheMainThread() {
    Fixture f;
    BoxAnswerer boxes;
    boxes.Answer("Ok");
    boxes.Answer("No");
    std::atomic<bool> statusShown{false};
    auto worker = std::async(std::launch::async, [&] {
      f.ui.ShowStatus("Requesting track log 1");
      // The text is on screen by the time the call returns.
      statusShown = f.window->StatusLine()->text() == "Requesting track log 1";
      const Answer first = f.ui.AskOkCancel("Continue ?", "Question one", Answer::Cancel);
      const Answer second = f.ui.AskYesNo("Really ?", "Question two", Answer::Yes);
      return std::make_pair(first, second);
    });
    QTRY_VERIFY_WITH_TIMEOUT(worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 10000);
    QVERIFY(statusShown.load());
    const auto answers = worker.get();
    QCOMPARE(answers.first, Answer::Ok);
    QCOMPARE(answers.second, Answer::No);
    QCOMPARE(boxes.Seen().size(), std::size_t{2});
    QCOMPARE(boxes.Seen()[0].caption, QString("Question one"));
    QCOMPARE(boxes.Seen()[1].text, QString("Really ?"));
  }

  void hiddenRunsShowNoBox() {
    Fixture f(true);
    BoxAnswerer boxes;
    f.ui.SetHidden(true);
    f.ui.ShowErrorBox("Something failed", "Caption");
    QCOMPARE(f.ui.AskOkCancel("Continue ?", "Q", Answer::Ok), Answer::Ok);
    QCOMPARE(f.ui.AskYesNo("Continue ?", "Q", Answer::No), Answer::No);
    QTest::qWait(50);
    QVERIFY(boxes.Seen().empty());
  }

  // However the program was started, a window the user saw keeps its settings; a hidden run
  // and a window never shown write none.
  void settingsSurviveARestartButNotAHiddenRun() {
    std::filesystem::path file;
    {
      Fixture f;
      file = f.paths.userFile;
      f.settings.SetText(Setting::PortName, "/dev/ttyUSB1");
      f.window->RefreshTitle();
      QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, /dev/ttyUSB1"));
      f.window->resize(1000, f.window->height());
      f.window->MainSplitter()->setSizes({380, 600});
      f.window->ViewSplitter()->setSizes({300, 200});
      const QList<int> main = f.window->MainSplitter()->sizes();
      const QList<int> views = f.window->ViewSplitter()->sizes();
      f.window->RunCommand(1010);
      QVERIFY(std::filesystem::exists(file));
      SettingsStore again("/docs");
      QVERIFY(again.Load(f.paths, f.ui));
      QCOMPARE(again.Text(Setting::PortName), std::string("/dev/ttyUSB1"));
      // The next window has the same width and the same sizes of list and views.
      MainWindow next(MainWindow::Services{f.access, f.table, again, f.ui, false});
      next.show();
      QCOMPARE(next.width(), 1000);
      QCOMPARE(next.MainSplitter()->sizes(), main);
      QCOMPARE(next.ViewSplitter()->sizes(), views);
    }
    {
      Fixture f(true);  // started with a file to open
      f.settings.SetText(Setting::PortName, "/dev/ttyUSB2");
      f.window->RunCommand(1010);
      SettingsStore again("/docs");
      QVERIFY(again.Load(f.paths, f.ui));
      QCOMPARE(again.Text(Setting::PortName), std::string("/dev/ttyUSB2"));
    }
    {
      Fixture f(true);
      f.ui.SetHidden(true);
      f.settings.SetText(Setting::PortName, "/dev/ttyUSB2");
      f.window->RunCommand(1010);
      f.window->SaveSettingsOnExit();  // as main() does when the run ends by itself
      QVERIFY(!std::filesystem::exists(f.paths.userFile));
    }
    {
      Fixture f(true);
      MainWindow unseen(MainWindow::Services{f.access, f.table, f.settings, f.ui, true});
      unseen.SaveSettingsOnExit();
      QVERIFY(!std::filesystem::exists(f.paths.userFile));
    }
  }

  // Competition mode from the window: the dialog reads the pilot list, a download whose
  // instrument holds the pilot's IDs is saved for that pilot, one without IDs asks who flew
  // and then offers to write the IDs into the instrument.
  void competitionDownloadsAreSavedForTheirPilot() {
    struct Served {
      int compId = -1;
      int civlId = -1;
      int flight = 0;  // each download a flight of its own: one flight belongs to one pilot
    };
    auto served = std::make_shared<Served>();
    auto written = std::make_shared<std::vector<Waypoint>>();
    Fixture f(false, [served, written](AccessTable& table) {
      table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec,
                     FrameWorker({.openPort = {}, .run = [served](AccessBlock& block) {
                       block.points.resize(40);
                       const GarminTime start = 1000000000u + static_cast<GarminTime>(served->flight++ * 3600);
                       for (std::size_t i = 0; i < 40; ++i) {
                         block.points[i].time = start + static_cast<GarminTime>(i * 10);
                         block.points[i].latitude = 550000000 + static_cast<std::int32_t>(i) * 5000;
                         block.points[i].longitude = 95000000 + static_cast<std::int32_t>(i) * 5000;
                       }
                       block.foundCompId = served->compId;
                       block.foundCivlId = served->civlId;
                       return 0;
                     }}));
      table.Register(AccessType::WriteWaypoints, ProtocolType::Flytec,
                     FrameWorker({.openPort = {}, .run = [written](AccessBlock& block) {
                       *written = block.waypoints;
                       return 0;
                     }}));
    });
    const auto comp = f.folder / "comp";
    std::filesystem::create_directories(comp);
    std::ofstream(f.folder / "pilots.csv") << "Name,CompId,CivlId\r\nJane Doe,17,1234\r\nJohn Roe,18,5678\r\n";
    const auto setText = [](QWidget* dialog, const char* name, const std::filesystem::path& text) {
      dialog->findChild<QLineEdit*>(name)->setText(QString::fromStdString(text.string()));
    };
    BoxAnswerer boxes;
    boxes.Answer("", [&](QWidget* dialog) {
      dialog->findChild<QCheckBox*>("competitionOn")->setChecked(true);
      setText(dialog, "competitionFolder", comp);
      setText(dialog, "pilotListFile", f.folder / "pilots.csv");
    });
    f.window->RunCommand(40121);
    QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, COM1, Competition mode"));
    QCOMPARE(f.window->Mode(), ViewMode::Pilots);
    QCOMPARE(f.CellText(1, 0), QString("John Roe"));
    QCOMPARE(f.CellText(1, 2), QString("5678"));
    QCOMPARE(f.window->StatusLine()->text(), QString("2 pilots registered"));

    const auto files = [&comp] {
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(comp)) names.push_back(entry.path().filename());
      std::sort(names.begin(), names.end());
      return names;
    };
    *served = {18, 5678};
    boxes.Answer("");  // "File saved, NO signature"
    f.window->RunCommand(40085);
    QTRY_COMPARE_WITH_TIMEOUT(files().size(), std::size_t{2}, 10000);
    QVERIFY(files()[0].starts_with("John Roe.") && files()[0].ends_with(".5678.18.igc"));

    // No IDs on the instrument: the pilot is asked for, then the IDs are offered for upload.
    served->compId = served->civlId = -1;
    boxes.Answer("", [&](QWidget* dialog) { setText(dialog, "compId", "17"); });
    boxes.Answer("");    // "File saved, NO signature"
    boxes.Answer("OK");  // "No pilot ID"
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);  // the first read has ended
    f.window->RunCommand(40085);
    QTRY_COMPARE_WITH_TIMEOUT(written->size(), std::size_t{2}, 10000);
    QCOMPARE(files().size(), std::size_t{4});
    QVERIFY(files()[0].starts_with("Jane Doe.") && files()[0].ends_with(".1234.17.igc"));
    QCOMPARE((*written)[0].Id(), std::string_view("COMPID"));
    QCOMPARE(DecodeIdFromPosition({(*written)[1].latitude, (*written)[1].longitude}), 1234);
    QCOMPARE(boxes.Seen().back().caption, QString("No pilot ID"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
  }

  void competitionStateInTheTitle() {
    Fixture f;
    f.settings.SetNumber(Setting::CompMode, 1);
    f.window->RefreshTitle();
    QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, COM1, Competition mode"));
    f.settings.SetNumber(Setting::CompSpecial, 1);
    f.window->RefreshTitle();
    QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, COM1, Comp. mode"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
