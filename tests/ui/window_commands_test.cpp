// The window's commands on the offscreen platform: the Flytec family's commands and buttons,
// track files of every format, waypoint and airspace files and their editing, the filter
// settings, the port dialog, the statistics and OLC dialogs, and the track and vario pictures.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "base/text.h"
#include "box_answerer.h"
#include "window_fixture.h"
#include "devices/flytec/flytec_workers.h"
#include "app/list_rows.h"
#include "geo/distance.h"
#include "track/statistics.h"
#include "track/track_log.h"
#include "ui/qt/calculators.h"
#include "ui/qt/edit_dialogs.h"
#include "ui/qt/list_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/olc_dialog.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/statistics_dialog.h"
#include "ui/qt/track_picture.h"

using namespace logwell;
using logwell::qt::MainWindow;
using logwell::testing::BoxAnswerer;

namespace {

struct Fixture : logwell::testing::WindowFixture {
  explicit Fixture(bool flytec = false) {
    if (flytec) flytec::RegisterFlytecWorkers(table, FamilyEnvironment{});
    Open();
  }
};

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

constexpr const char* kOpenAir =
    "AC C\r\nAN TESTCTR\r\nAL GND\r\nAH 3000ft MSL\r\nV X=46:30:00 N 008:00:00 E\r\nDC 5\r\n"
    "AC D\r\nAN POLY\r\nAL 1000ft\r\nAH FL100\r\nDP 46:00:00 N 008:00:00 E\r\n"
    "DP 46:10:00 N 008:00:00 E\r\nDP 46:10:00 N 008:10:00 E\r\n";

// A flight of 30 fixes ten seconds apart whose headers name the pilot, the glider and the
// competition ID.
std::string NamedFlight() {
  std::string text = "AXLWABC\r\nHFDTE150723\r\nHFPLTPILOTINCHARGE:Jane Mary Doe\r\n"
                     "HFGTYGLIDERTYPE:Zeno 2\r\nHFGIDGLIDERID:D-1234\r\nHFCIDCOMPETITIONID:42\r\n";
  for (int i = 0; i < 30; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "B12%02d%02d46%05dN008%05dEA0100001%03d\r\n", i / 6, i % 6 * 10,
                  12345 + i * 40, 12345 + i * 60, 100 + i);
    text += line;
  }
  return text;
}

// A label whose "&" is neither doubled nor a mnemonic (no buddy) shows the character itself.
QStringList LiteralAmpersands(const QWidget* widget) {
  QStringList found;
  for (const QLabel* label : widget->findChildren<QLabel*>()) {
    const QString text = label->text();
    const bool mnemonic = text.contains(QRegularExpression("&[^&]")) && !text.contains("&&");
    if (mnemonic && label->buddy() == nullptr && label->textFormat() != Qt::RichText) found << text;
  }
  return found;
}

}  // namespace

class WindowCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void flytecCommandsAndButtonsAppearWithTheFamily() {
    Fixture without;
    QVERIFY(without.window->Action(40085) == nullptr);
    Fixture f(true);
    QVERIFY(f.window->Action(40085) != nullptr);
    QCOMPARE(f.window->Action(40085)->shortcut(), QKeySequence("Ctrl+F"));
    QVERIFY(f.window->Action(40086) != nullptr);  // read waypoints
    QVERIFY(f.window->Action(40023) != nullptr);  // send waypoints, names only
    QVERIFY(f.window->Action(40098) != nullptr);  // CTR upload to a Compeo/Competino
    bool button = false;
    for (QPushButton* push : f.window->findChildren<QPushButton*>()) {
      button |= push->text() == "Flytec 5020/5030";
    }
    QVERIFY(button);
    // A waypoint upload needs the waypoint view and a selection.
    BoxAnswerer boxes;
    f.window->RunCommand(40023);
    QCOMPARE(boxes.Seen().at(0).text, QString("Incorrect view mode"));
    f.window->RunCommand(40024);
    f.window->RunCommand(40023);
    QCOMPARE(boxes.Seen().at(1).text, QString("No waypoints selected"));
  }

  void trackFilesSaveAndOpenInEveryFormat() {
    Fixture f;
    f.LoadTestTrack();
    BoxAnswerer boxes;
    for (const auto& [name, index] : {std::pair{"t.gpx", 4}, {"t.plt", 1}, {"t.csv", 5}, {"t.mps", 2}}) {
      const auto path = f.folder / name;
      f.SaveTo(path, index);
      f.window->RunCommand(40116);
      QVERIFY2(std::filesystem::exists(path), name);
    }
    // The raw Top Navigator log exists only after such a download.
    f.SaveTo(f.folder / "t.tnc", 3);
    f.window->RunCommand(40116);
    QCOMPARE(boxes.Seen().back().text, QString("No TopNav log downloaded"));
    QVERIFY(!std::filesystem::exists(f.folder / "t.tnc"));
    // Without a filter the name's extension decides; a missing extension comes from the filter.
    f.SaveTo(f.folder / "plain", 4);
    f.window->RunCommand(40116);
    QVERIFY(std::filesystem::exists(f.folder / "plain.gpx"));
    QCOMPARE(f.window->StatusLine()->text(), QString("2201 positions written"));

    boxes.Answer("overwriteButton");
    f.OpenFrom(f.folder / "t.gpx");
    f.window->RunCommand(40117);
    QCOMPARE(f.window->Model()->rowCount(), 2201);
    QCOMPARE(f.window->ProductLine()->text(), QString::fromStdString((f.folder / "t.gpx").string()));

    // Write GoogleEarth file: the whole log with its analysis.
    f.SaveTo(f.folder / "flight", 1);
    f.window->RunCommand(40216);
    QVERIFY(std::filesystem::exists(f.folder / "flight.kml"));
    // Save As outside the track view is refused.
    f.window->RunCommand(40024);
    boxes.Clear();
    f.window->RunCommand(40116);
    QCOMPARE(boxes.Seen().at(0).text, QString("Incorrect view mode"));
  }

  void waypointFilesEditSortAndDelete() {
    Fixture f;
    Waypoint b, a;
    b.SetId("BBB");
    b.latitude = 550000000;
    a.SetId("AAA");
    a.latitude = 560000000;
    f.window->Waypoints().Replace({b, a});
    f.window->RunCommand(40024);
    f.window->RunCommand(40212);
    QCOMPARE(f.Cell(0, 0), QString("AAA"));
    f.window->RunCommand(40042);
    const auto path = f.folder / "points.wpt";
    f.SaveTo(path, 1);
    BoxAnswerer boxes;
    f.window->RunCommand(40118);
    QVERIFY(std::filesystem::exists(path));
    f.window->List()->clearSelection();
    f.window->List()->selectRow(0);
    f.window->RunCommand(40031);
    QCOMPARE(f.window->Model()->rowCount(), 1);
    QCOMPARE(f.Cell(0, 0), QString("BBB"));
    // Opening the file again into the list asks whether to append.
    f.window->Waypoints().Replace({});
    f.OpenFrom(path);
    f.window->RunCommand(40047);
    QCOMPARE(f.window->Model()->rowCount(), 2);
    // Edit: a bad height keeps the dialog open with its message, then a good one is taken.
    f.window->List()->selectRow(1);
    boxes.Clear();
    QPointer<QDialog> edit;
    boxes.Answer("", [&edit](QWidget* dialog) {
      edit = qobject_cast<QDialog*>(dialog);
      dialog->findChild<QLineEdit*>("Height (m)")->setText("high");
    });
    // The "Bad height" box; the dialog stays open behind it and is then cancelled.
    boxes.Answer("", [&edit](QWidget*) { QTimer::singleShot(0, edit, &QDialog::reject); });
    f.window->RunCommand(40030);
    QCOMPARE(boxes.Seen().size(), std::size_t{2});
    QCOMPARE(boxes.Seen().at(0).caption, QString("Edit Waypoint"));
    QCOMPARE(boxes.Seen().at(1).text, QString("Bad height"));
    boxes.Answer("", [](QWidget* dialog) { dialog->findChild<QLineEdit*>("Height (m)")->setText("1234"); });
    f.window->RunCommand(40030);
    QCOMPARE(f.Cell(1, 3), QString("1234"));
  }

  void airspaceReadEditShowAndWrite() {
    Fixture f;
    const auto path = f.folder / "ctr.txt";
    WriteText(path, kOpenAir);
    f.OpenFrom(path);
    BoxAnswerer boxes;
    f.window->RunCommand(40100);
    QCOMPARE(f.window->Mode(), ViewMode::Airspace);
    QCOMPARE(f.window->Model()->rowCount(), 2);
    QCOMPARE(f.Cell(0, 0), QString("TESTCTR"));
    QCOMPARE(f.Cell(1, 4), QString("3"));
    // Edit CTR needs the CTR view.
    f.window->RunCommand(40025);
    f.window->RunCommand(40104);
    QCOMPARE(boxes.Seen().back().text, QString("Incorrect view mode"));
    f.window->RunCommand(40101);
    f.window->RunCommand(40104);
    QCOMPARE(boxes.Seen().back().text, QString("No CTR selected"));
    // Edit the polygon's text: its name changes.
    f.window->List()->selectRow(1);
    boxes.Answer("", [](QWidget* dialog) {
      auto* text = dialog->findChild<QPlainTextEdit*>("ctrText");
      text->setPlainText(text->toPlainText().replace("POLY", "RENAMED"));
    });
    f.window->RunCommand(40104);
    QCOMPARE(f.Cell(1, 0), QString("RENAMED"));
    // Write the selection, then show the circle as waypoints.
    f.window->List()->selectRow(0);
    f.SaveTo(f.folder / "out.txt", 1);
    f.window->RunCommand(40108);
    QVERIFY(std::filesystem::exists(f.folder / "out.txt"));
    f.window->RunCommand(40112);
    QCOMPARE(f.window->Mode(), ViewMode::Waypoints);
    QVERIFY(f.window->Model()->rowCount() >= 8);
    QVERIFY(f.Cell(0, 0).startsWith("C"));
  }

  void filterTogglesAndSettingsDialogs() {
    Fixture f;
    BoxAnswerer boxes;
    QVERIFY(f.window->Action(40088)->isChecked());
    f.window->RunCommand(40088);
    QVERIFY(!f.window->Action(40088)->isChecked());
    QCOMPARE(f.settings.Number(Setting::LogFilter), 0);
    f.window->RunCommand(40192);
    QCOMPARE(f.settings.Number(Setting::UseDownloadFilter), 1);
    QVERIFY(!f.window->Action(40172)->isChecked());
    QString typed = "fast";
    f.window->askText = [&](const QString&, const QString&) -> std::optional<QString> { return typed; };
    f.window->RunCommand(40172);
    QCOMPARE(boxes.Seen().at(0).text, QString("Bad input"));
    QCOMPARE(boxes.Seen().at(0).caption, QString("Set vario filter"));
    typed = "6";
    f.window->RunCommand(40172);
    QCOMPARE(f.settings.Number(Setting::VarioFilter), 6);
    QVERIFY(f.window->Action(40172)->isChecked());
    typed = "30";
    f.window->RunCommand(40136);
    QCOMPARE(f.settings.Number(Setting::TrackGapTime), 1800);
    typed = "";
    f.window->RunCommand(40151);
    QCOMPARE(boxes.Seen().back().text, QString("Missing input"));
    typed = "1200";
    f.window->RunCommand(40151);
    QCOMPARE(f.settings.Number(Setting::LoopFlightGap), 1200);
    typed = "0";
    f.window->RunCommand(40190);
    QCOMPARE(boxes.Seen().back().text, QString("Use 1m or greater"));
    typed = "25";
    f.window->RunCommand(40190);
    QCOMPARE(f.settings.Number(Setting::CtrSegError), 25);
    typed = "15";
    f.window->RunCommand(40185);
    QCOMPARE(boxes.Seen().back().text, QString("Bad input"));
    QCOMPARE(boxes.Seen().back().caption, QString("Set UTC offset for TN"));
    typed = "-3";
    f.window->RunCommand(40185);
    QCOMPARE(f.settings.Number(Setting::UtcOffsetForTN), -3);
    // The special competition mode has two accelerators and no menu entry.
    QCOMPARE(f.window->Action(40130)->shortcuts().size(), 2);
  }

  void comPortDialogTakesATypedNumber() {
    Fixture f;
    BoxAnswerer boxes;
    // The box about an empty enumeration comes first on machines without serial ports; the
    // same answer serves both.
    for (int i = 0; i < 2; ++i) {
      boxes.Answer("", [](QWidget* dialog) {
        if (auto* port = qobject_cast<qt::ComPortDialog*>(dialog)) {
          port->Typed()->setText("3");
          port->AutoSwitch()->setChecked(true);
        }
      });
    }
    f.window->RunCommand(40006);
    QCOMPARE(f.settings.Text(Setting::PortName), std::string("COM3"));
    QCOMPARE(f.settings.Number(Setting::AutoSetPort), 1);
    QCOMPARE(f.window->windowTitle(), QString("Logwell 5.07, COM3"));
  }

  void statisticsDialogFillsDistancesAndSavesTheLog() {
    Fixture f;
    f.LoadTestTrack();
    f.window->RunCommand(40115);
    auto* dialog = qobject_cast<qt::StatisticsDialog*>(f.window->LastOpened());
    QVERIFY(dialog != nullptr);
    QSignalSpy finished(dialog, &qt::StatisticsDialog::analysisFinished);
    QVERIFY(dialog->AnalysisDone() || finished.wait(60000));
    QVERIFY(dialog->Distance(0)->text().toDouble() > 3.0);
    QVERIFY(dialog->Distance(5)->text().toDouble() > 0.0);
    QVERIFY(dialog->Status()->text().startsWith("Computing completed"));
    dialog->Description()->setPlainText("Evening flight");
    const QString path = QString::fromStdString((f.folder / "logbook.kml").string());
    BoxAnswerer boxes;
    boxes.Answer("", [path](QWidget* w) {
      if (auto* files = qobject_cast<QFileDialog*>(w)) {
        // Name the folder and the file both ways, so the choice does not wait on the dialog's
        // folder listing.
        files->setDirectory(QFileInfo(path).absolutePath());
        files->selectFile(path);
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(path);
      }
    });
    QCOMPARE(dialog->SaveLog(), 0);
    std::ifstream in(path.toStdString());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    QVERIFY(text.find("Evening flight") != std::string::npos);
    QVERIFY(text.find("FAI triangle") != std::string::npos || text.find("Flat triangle") != std::string::npos);
    dialog->close();
  }

  void olcDialogShowsProgressResultsAndHalts() {
    Fixture f;
    f.LoadTestTrack();
    f.window->RunCommand(40094);
    auto* dialog = qobject_cast<qt::OlcDialog*>(f.window->LastOpened());
    QVERIFY(dialog != nullptr);
    QSignalSpy completed(dialog, &qt::OlcDialog::completed);
    QVERIFY(completed.wait(90000));
    QVERIFY(dialog->Result()->text().startsWith("Best result is"));
    QVERIFY(!dialog->KindText(OlcKind::FreeDistance)->toPlainText().isEmpty());
    // The exact optimum over every fix runs on request and says when it is proven; "Halt"
    // stops it, and it says so.
    QSignalSpy exact(dialog, &qt::OlcDialog::exactFinished);
    QVERIFY(dialog->StartExact());
    QVERIFY(!dialog->StartExact());  // one at a time
    QVERIFY(exact.wait(60000));
    QVERIFY2(dialog->Exact()->text().endsWith(" (proven)"), qPrintable(dialog->Exact()->text()));
    QVERIFY(dialog->StartExact());
    dialog->findChild<QPushButton*>("halt")->click();
    QVERIFY(exact.wait(60000));
    QVERIFY2(dialog->Exact()->text().startsWith("Exact optimum: Free distance ") &&
                 dialog->Exact()->text().endsWith("(not proven: halted)"),
             qPrintable(dialog->Exact()->text()));
    // Without a raw IGC text the IGC-buffer variant refuses.
    BoxAnswerer boxes;
    f.window->RunCommand(40095);
    QCOMPARE(boxes.Seen().at(0).text, QString("No raw IGC buffer stored"));
    // A claim with a missing first name is refused with its message.
    qt::OlcDialog* olc = dialog;
    OlcClaimForm form = olc->Form();
    form.firstName.clear();
    olc->SetForm(form);
    QVERIFY(!olc->SaveClaim(false));
    QCOMPARE(boxes.Seen().back().text, QString("Missing first name"));
    olc->close();
  }

  // Position commands take the whole log when nothing is selected and say so; the forms offer
  // what the file's headers name; every "&" of their labels is a mnemonic.
  void positionCommandsAndFormsFollowTheLoadedFile() {
    Fixture f;
    WriteText(f.folder / "named.igc", NamedFlight());
    f.OpenFrom(f.folder / "named.igc");
    f.window->RunCommand(40117);
    QCOMPARE(f.window->Model()->rowCount(), 30);
    QVERIFY(f.window->SelectedRows().empty());
    BoxAnswerer boxes;
    QString pilot, gliderType, gliderId;
    QStringList ampersands;
    boxes.Answer("Cancel", [&](QWidget* form) {
      pilot = form->findChild<QLineEdit*>("pilot")->text();
      gliderType = form->findChild<QLineEdit*>("gliderType")->text();
      gliderId = form->findChild<QLineEdit*>("gliderId")->text();
      ampersands += LiteralAmpersands(form);
    });
    f.window->RunCommand(40043);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.Seen().size(), std::size_t{1}, 5000);
    QCOMPARE(pilot, QString("Jane Mary Doe"));
    QCOMPARE(gliderType, QString("Zeno 2"));
    QCOMPARE(gliderId, QString("D-1234"));
    QCOMPARE(f.window->StatusLine()->text(), QString("No position selected: the whole log is used (30 positions)"));

    f.window->RunCommand(40175);
    auto* graph = qobject_cast<qt::VarioGraph*>(f.window->LastOpened());
    QVERIFY(graph != nullptr);
    QCOMPARE(graph->Altitudes().size(), std::size_t{30});
    graph->close();
    f.window->RunCommand(40115);
    auto* statistics = qobject_cast<qt::StatisticsDialog*>(f.window->LastOpened());
    QVERIFY(statistics != nullptr);
    ampersands += LiteralAmpersands(statistics);
    statistics->close();

    f.window->RunCommand(40094);
    auto* olc = qobject_cast<qt::OlcDialog*>(f.window->LastOpened());
    QVERIFY(olc != nullptr);
    ampersands += LiteralAmpersands(olc);
    const OlcClaimForm form = olc->Form();
    QCOMPARE(form.firstName, std::string("Jane Mary"));
    QCOMPARE(form.lastName, std::string("Doe"));
    QCOMPARE(form.gliderType, std::string("Zeno 2"));
    QCOMPARE(form.callSign, std::string("42"));
    olc->close();
    QCOMPARE(ampersands, QStringList());
    // A selection is what the commands take once there is one.
    f.window->List()->selectRow(3);
    f.window->List()->selectionModel()->select(f.window->Model()->index(4, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.window->RunCommand(40175);
    QCOMPARE(qobject_cast<qt::VarioGraph*>(f.window->LastOpened())->Altitudes().size(), std::size_t{2});
  }

  // One selection everywhere: the list marks the picture and the profile; a click in either
  // selects the nearest fix and scrolls the list to it; a drag in the profile selects a range.
  void listPictureAndProfileShareOneSelection() {
    Fixture f;
    f.window->resize(1200, 800);
    f.window->RunCommand(40140);
    qt::TrackPicture* picture = f.window->Picture();
    qt::VarioGraph* profile = f.window->Profile();
    QCOMPARE(picture->Count(), std::size_t{2201});
    QCOMPARE(profile->Altitudes().size(), std::size_t{2201});
    f.window->List()->selectRow(7);
    const qt::FixRanges seven{{7, 7}};
    QCOMPARE(picture->Selection(), seven);
    QCOMPARE(profile->Selection(), seven);

    const auto rowShown = [&f](int row) {
      QTableView* list = f.window->List();
      return list->viewport()->rect().intersects(list->visualRect(f.window->Model()->index(row, 0)));
    };
    const QPoint click = picture->ScreenOf(2000).toPoint();
    QTest::mouseClick(picture, Qt::LeftButton, {}, click);
    const std::vector<int> rows = f.window->SelectedRows();
    QCOMPARE(rows.size(), std::size_t{1});
    QVERIFY((picture->ScreenOf(static_cast<std::size_t>(rows[0])) - QPointF(click)).manhattanLength() < 3.0);
    QVERIFY(rowShown(rows[0]));
    QCOMPARE(profile->Selection(), (qt::FixRanges{{static_cast<std::size_t>(rows[0]), static_cast<std::size_t>(rows[0])}}));

    const int y = static_cast<int>(profile->Plot().center().y());
    QTest::mousePress(profile, Qt::LeftButton, {}, QPoint(static_cast<int>(profile->XOf(200)), y));
    QTest::mouseMove(profile, QPoint(static_cast<int>(profile->XOf(300)), y));
    QTest::mouseRelease(profile, Qt::LeftButton, {}, QPoint(static_cast<int>(profile->XOf(400)), y));
    const std::vector<int> range = f.window->SelectedRows();
    QVERIFY(std::abs(range.front() - 200) <= 2 && std::abs(range.back() - 400) <= 2);
    QCOMPARE(range.size(), static_cast<std::size_t>(range.back() - range.front() + 1));
    QCOMPARE(picture->Selection().size(), std::size_t{1});
    QVERIFY(rowShown(range.front()));
    QTest::mouseClick(profile, Qt::LeftButton, {}, QPoint(static_cast<int>(profile->XOf(50)), y));
    QVERIFY(std::abs(f.window->SelectedRows().at(0) - 50) <= 2);

    // A click in a view while the list shows waypoints brings the track log back.
    f.window->RunCommand(40024);
    QVERIFY(picture->Selection().empty());
    QTest::mouseClick(picture, Qt::LeftButton, {}, click);
    QCOMPARE(f.window->Mode(), ViewMode::TrackLog);
    QCOMPARE(f.window->SelectedRows().size(), std::size_t{1});
    // The same log keeps its views; another log gets new ones.
    f.window->UtmBox()->click();
    QCOMPARE(f.window->Picture(), picture);
    CurrentTrackLog().points.pop_back();
    f.window->RefreshView(ViewMode::TrackLog);
    QVERIFY(f.window->Picture() != picture);
    QCOMPARE(f.window->Picture()->Count(), std::size_t{2200});
  }

  // The picture beside the list draws the loaded airspace (named on hover) and waypoints, a
  // scale bar of a round length, and saves itself as PNG and SVG.
  void pictureShowsAirspaceWaypointsAndExports() {
    Fixture f;
    WriteText(f.folder / "named.igc", NamedFlight());
    f.OpenFrom(f.folder / "named.igc");
    f.window->RunCommand(40117);
    WriteText(f.folder / "zone.txt", "AC C\r\nAN ZONE\r\nAL GND\r\nAH FL95\r\nDP 46:10:00 N 008:10:00 E\r\n"
                                     "DP 46:20:00 N 008:10:00 E\r\nDP 46:20:00 N 008:20:00 E\r\nDP 46:10:00 N 008:20:00 E\r\n");
    f.OpenFrom(f.folder / "zone.txt");
    f.window->RunCommand(40100);
    Waypoint point;
    point.SetId("GOAL");
    point.latitude = CurrentTrackLog().points[10].latitude;
    point.longitude = CurrentTrackLog().points[10].longitude;
    f.window->Waypoints().Replace({point});
    f.window->RunCommand(40024);
    qt::TrackPicture* picture = f.window->Picture();
    picture->resize(600, 400);
    const QStringList names = picture->AirspacesAt(picture->ScreenOf(5));
    QCOMPARE(names.size(), 1);
    QVERIFY(names[0].startsWith("ZONE (C, "));
    QVERIFY(picture->AirspacesAt(QPointF(-500, -500)).isEmpty());
    const auto [metres, pixels] = picture->ScaleBar();
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    QVERIFY(metres / power == 1.0 || metres / power == 2.0 || metres / power == 5.0);
    QVERIFY(pixels > 600 / 5 / 2.6 && pixels <= 600 / 5 + 0.01);

    QVERIFY(picture->Export(f.folder / "track.png"));
    const QImage image(QString::fromStdString((f.folder / "track.png").string()));
    QCOMPARE(image.size(), picture->size());
    // The class C fill tints the background under the track.
    const QColor inside = image.pixelColor(picture->ScreenOf(5).toPoint() + QPoint(0, 25));
    QVERIFY(inside != QColor(250, 250, 245));
    QVERIFY(picture->Export(f.folder / "track.svg"));
    std::ifstream svg(f.folder / "track.svg");
    const std::string text((std::istreambuf_iterator<char>(svg)), {});
    QVERIFY(text.find("<svg") != std::string::npos);
    QVERIFY(text.find("GOAL") != std::string::npos);
  }

  // "Set intervals" draws the profile anew over the typed interval; the hover reads out the
  // fix under the pointer.
  void intervalsAndHoverReadouts() {
    Fixture f;
    f.window->RunCommand(40140);
    qt::VarioGraph* before = f.window->Profile();
    QCOMPARE(before->Interval(), 60u);
    BoxAnswerer boxes;
    QString typed = "0";
    f.window->askText = [&typed](const QString&, const QString&) { return std::optional<QString>(typed); };
    f.window->RunCommand(40177);
    QCOMPARE(boxes.Seen().at(0).text, QString("Bad input"));
    QCOMPARE(f.window->Profile(), before);
    typed = "10";
    f.window->RunCommand(40177);
    qt::VarioGraph* profile = f.window->Profile();
    QCOMPARE(profile->Interval(), 10u);
    QCOMPARE(profile->Climbs()[500], static_cast<float>(WindowedSpeedAndClimb(CurrentTrackLog().points, 500, 10).climb));
    f.window->RunCommand(40175);
    QCOMPARE(qobject_cast<qt::VarioGraph*>(f.window->LastOpened())->Interval(), 10u);

    const std::size_t index = profile->NearestFix(profile->XOf(1000)).value();
    QCOMPARE(profile->XOf(index), profile->XOf(1000));  // fixes of one time share an x
    const auto& fix = CurrentTrackLog().points[index];
    const auto day = static_cast<unsigned>(fix.time % 86400);
    const QString readout = profile->ReadoutAt(profile->XOf(1000));
    const QString expected = QString::fromStdString(FormatText("%02u:%02u:%02u  %.0f m  ", day / 3600, day / 60 % 60,
                                                               day % 60, fix.gpsAltitude / 10.0));
    QVERIFY2(readout.startsWith(expected), qPrintable(readout));
    QVERIFY(readout.endsWith(" km/h"));
  }

  // The calculators give what the coordinate and distance functions give.
  void positionConverterAndDistanceCalculator() {
    Fixture f;
    f.window->RunCommand(40032);
    auto* converter = qobject_cast<qt::PositionConverter*>(f.window->LastOpened());
    QVERIFY(converter != nullptr);
    converter->Latitude()->setText("46.5");
    converter->Longitude()->setText("W 8.25");
    const SemicirclePoint point{DegreesToSemicircles(46.5), DegreesToSemicircles(-8.25)};
    QCOMPARE(qt::ParsePosition("46.5 N", "8.25W"), std::optional<SemicirclePoint>(point));
    const QStringList lines = converter->Result()->text().split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1], QString("Degrees, minutes: N 46 30.000  W 008 15.000"));
    QCOMPARE(lines[2], QString::fromStdString("Degrees, minutes, seconds: " + FormatLatitude(point.latitude) + "  " +
                                              FormatLongitude(point.longitude)));
    QCOMPARE(lines[3], QString::fromStdString("UTM: " + UtmCell(point.latitude, point.longitude, 0) + " " +
                                              UtmCell(point.latitude, point.longitude, 1) + " " +
                                              UtmCell(point.latitude, point.longitude, 2)));
    QCOMPARE(lines[4], QString("Semicircles: %1  %2").arg(point.latitude).arg(point.longitude));
    for (const auto& [lat, lon] : {std::pair{"91", "0"}, std::pair{"10", "E 181"}, std::pair{"x", "1"}, std::pair{"", ""}}) {
      QVERIFY(!qt::ParsePosition(lat, lon));
    }
    converter->close();

    Waypoint a, b;
    a.SetId("A");
    a.latitude = DegreesToSemicircles(46.0);
    a.longitude = DegreesToSemicircles(8.0);
    b.SetId("B");
    b.latitude = DegreesToSemicircles(46.5);
    b.longitude = DegreesToSemicircles(8.5);
    f.window->Waypoints().Replace({a, b});
    f.window->RunCommand(40028);
    auto* calculator = qobject_cast<qt::DistanceCalculator*>(f.window->LastOpened());
    QVERIFY(calculator != nullptr);
    calculator->UseWaypoint(0, 0);
    calculator->UseWaypoint(1, 1);
    const double metres = *EllipsoidDistance(ToGeoPoint({a.latitude, a.longitude}), ToGeoPoint({b.latitude, b.longitude}));
    QVERIFY2(calculator->Result()->text().startsWith(QString::fromStdString(FormatText("%.1f m, course 3", metres))),
             qPrintable(calculator->Result()->text()));
    // Nearly antipodal points, where the ellipsoid distance does not settle.
    for (int i = 0; i < 4; ++i) calculator->Field(i)->setText(QStringList{"0", "0", "0.5", "179.7"}[i]);
    QCOMPARE(calculator->Result()->text(), QString("Error"));
    QCOMPARE(LiteralAmpersands(calculator), QStringList());
    calculator->close();
  }

  void trackPictureDrawsTheTrackAndItsTriangle() {
    Fixture f;
    f.LoadTestTrack();
    f.window->RunCommand(40141);
    auto* picture = qobject_cast<qt::TrackPicture*>(f.window->LastOpened());
    QVERIFY(picture != nullptr);
    QSignalSpy finished(picture, &qt::TrackPicture::analysisFinished);
    QVERIFY(picture->AnalysisDone() || finished.wait(60000));
    QVERIFY(picture->Analysis()->triangle.result > 0.0);
    const QImage image = picture->grab().toImage();
    // The test track climbs and sinks at up to 1.5 m/s: both sides of the colour scale appear.
    QCOMPARE(qt::TrackPicture::ClimbColour(1.5).red(), qt::TrackPicture::ClimbColour(-1.5).blue());
    int sink = 0, climb = 0;
    for (int y = 0; y < image.height(); y += 2) {
      for (int x = 0; x < image.width(); x += 2) {
        const QColor c = image.pixelColor(x, y);
        if (c.blue() > 150 && c.red() < 100) ++sink;
        if (c.red() > 150 && c.blue() < 100) ++climb;
      }
    }
    QVERIFY(sink > 20);
    QVERIFY(climb > 20);
    // Zooming about the middle doubles every distance from it; panning moves every point.
    const QPointF middle(picture->width() / 2.0, picture->height() / 2.0);
    const QPointF before = picture->ScreenOf(0) - middle;
    picture->ZoomAt(middle, 2.0);
    const QPointF after = picture->ScreenOf(0) - middle;
    QVERIFY(std::abs(after.x() - 2 * before.x()) < 0.01);
    picture->PanBy({10, -5});
    QVERIFY(std::abs(picture->ScreenOf(0).x() - middle.x() - after.x() - 10) < 0.01);
    picture->close();

    f.window->RunCommand(40175);
    auto* graph = qobject_cast<qt::VarioGraph*>(f.window->LastOpened());
    QVERIFY(graph != nullptr);
    QCOMPARE(graph->Altitudes().size(), std::size_t{2201});
    QCOMPARE(graph->Altitudes().front(), 1200.0);
    QVERIFY(!graph->grab().isNull());
  }
};

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
