// The window never drops a flight without asking: a download leaves the open flight alone until a
// downloaded track replaces it, and a download or the way out asks first about an unsaved log
// ("Save", "Discard" or "Cancel"). Against a virtual Garmin, on the offscreen platform.
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest/QtTest>
#include <filesystem>
#include <memory>
#include <functional>

#include "box_answerer.h"
#include "devices/family.h"
#include "devices/garmin/garmin_workers.h"
#include "sim/flight_generator.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"
#include "track/track_log.h"
#include "window_fixture.h"

using namespace logwell;
using logwell::testing::BoxAnswerer;
namespace fs = std::filesystem;

namespace {

const QString kDownloadQuestion = "The track log shown is not saved. Save it before a downloaded track replaces it?";
const QString kExitQuestion = "The track log shown is not saved. Save it before Logwell closes?";

// The window with the Garmin workers, reading from a virtual Garmin with a flight of `minutes`;
// their progress reports reach the window as they do in the program.
struct Fixture : testing::WindowFixture {
  Fixture(int minutes, bool paced) {
    sim::FlightPlan plan;
    plan.duration = std::chrono::minutes(minutes);
    plan.fixInterval = std::chrono::seconds(5);
    plan.courseLengthKm = 10.0;
    sim::GarminModelConfig config;
    config.points = sim::GenerateFlight(plan);
    config.paced = paced;
    instrumentPoints = static_cast<int>(config.points.size());
    instrument = std::make_unique<sim::VirtualInstrument>(std::make_unique<sim::GarminModel>(std::move(config)));
    FamilyEnvironment environment;
    environment.notify = [this](std::string_view text) {
      if (progress) progress(text);
    };
    garmin::RegisterGarminWorkers(table, environment);
    access.selectedPortName = [this] { return instrument->DevicePath(); };
    Open();
    progress = window->ProgressReporter();
  }
  ~Fixture() {
    // A transfer a failed check left running ends before the window goes.
    if (access.AccessCurrent()) access.AbortGpsAccess(nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!access.AccessCurrent(), 10000);
  }
  // The test track, nothing selected: an unsaved log of its own.
  int OpenTestTrack() {
    window->RunCommand(40140);
    return CurrentTrackLog().Count();
  }

  std::unique_ptr<sim::VirtualInstrument> instrument;
  int instrumentPoints = 0;
  std::function<void(std::string_view)> progress;
};

constexpr int kReadGarmin = 40029;

}  // namespace

class UnsavedLogTest : public QObject {
  Q_OBJECT

 private slots:
  // While a download runs the open flight is still there; an aborted download leaves it as it was.
  void openFlightStaysWhileTheDownloadRuns() {
    Fixture f(30, true);
    const int open = f.OpenTestTrack();
    QVERIFY(open > 0);
    BoxAnswerer boxes;
    boxes.Answer("Discard");
    f.window->RunCommand(kReadGarmin);
    QProgressBar* bar = f.window->TransferProgress();
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible() && bar->value() > 0, 10000);
    QCOMPARE(CurrentTrackLog().Count(), open);
    QCOMPARE(f.window->Model()->rowCount(), open);
    QTRY_VERIFY_WITH_TIMEOUT(f.window->AbortButton()->isEnabled(), 2000);
    f.window->AbortButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE(CurrentTrackLog().Count(), open);
    QCOMPARE(f.window->Model()->rowCount(), open);
    QCOMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].caption, QString("Unsaved track log"));
    QCOMPARE(boxes.Seen()[0].text, kDownloadQuestion);
  }

  // Cancel keeps the log and starts nothing; Discard downloads, and the track replaces the log.
  void downloadIntoAnUnsavedLogAsksFirst() {
    Fixture f(2, false);
    const int open = f.OpenTestTrack();
    BoxAnswerer boxes;
    boxes.Answer("Cancel");
    f.window->RunCommand(kReadGarmin);
    QTRY_COMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].text, kDownloadQuestion);
    QVERIFY(!f.access.AccessCurrent());
    QCOMPARE(CurrentTrackLog().Count(), open);

    boxes.Answer("Discard");
    f.window->RunCommand(kReadGarmin);
    QTRY_VERIFY_WITH_TIMEOUT(CurrentTrackLog().Count() == f.instrumentPoints, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE(f.window->Model()->rowCount(), f.instrumentPoints);

    // A saved log is replaced without a question.
    CurrentTrackLog().saved = 1;
    boxes.Clear();
    f.window->RunCommand(kReadGarmin);
    QTRY_VERIFY_WITH_TIMEOUT(CurrentTrackLog().saved == 0, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.access.AccessCurrent(), 10000);
    QCOMPARE(CurrentTrackLog().Count(), f.instrumentPoints);
    QVERIFY(boxes.Seen().empty());
  }

  // Exit (and closing the window) with an unsaved log: Cancel stays, Save writes the IGC file
  // and closes, Discard closes; a saved log closes without a question.
  void exitWithAnUnsavedLogAsksFirst() {
    Fixture f(2, false);
    f.OpenTestTrack();
    BoxAnswerer boxes;
    boxes.Answer("Cancel");
    QVERIFY(!f.window->close());
    QVERIFY(f.window->isVisible());
    QCOMPARE(boxes.Seen().size(), std::size_t{1});
    QCOMPARE(boxes.Seen()[0].caption, QString("Unsaved track log"));
    QCOMPARE(boxes.Seen()[0].text, kExitQuestion);

    // Save: the IGC form, then the file dialog; the log is written and the window closes.
    const fs::path target = f.folder / "kept.igc";
    boxes.Clear();
    boxes.Answer("Save");
    boxes.Answer("saveButton", [](QWidget* form) {  // the IGC file format form
      form->findChild<QLineEdit*>("pilot")->setText("Jane Doe");
      form->findChild<QLineEdit*>("serial")->setText("ABC");
      form->findChild<QLineEdit*>("flightNumber")->setText("1");
    });
    boxes.Answer("", [&target](QWidget* dialog) {
      if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
        // Folder and file named both ways, so that the choice does not wait on the folder listing.
        const QString path = QString::fromStdString(target.string());
        files->setDirectory(QString::fromStdString(target.parent_path().string()));
        files->selectFile(path);
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(path);
      }
    });
    QVERIFY(f.window->close());
    QVERIFY(fs::exists(target));
    QCOMPARE(CurrentTrackLog().saved, 1);

    f.window->show();
    f.OpenTestTrack();
    boxes.Clear();
    boxes.Answer("Discard");
    QVERIFY(f.window->close());
    QCOMPARE(boxes.Seen().size(), std::size_t{1});

    f.window->show();
    CurrentTrackLog().saved = 1;
    boxes.Clear();
    QVERIFY(f.window->close());
    QVERIFY(boxes.Seen().empty());
  }
};

QTEST_MAIN(UnsavedLogTest)
#include "unsaved_log_test.moc"
