// The views and calculators of the window on the offscreen platform: "Rotate Track", the glide
// and polar graphs, and the position converter and distance calculator with positions typed in
// every encoding.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest/QtTest>
#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "app/settings.h"
#include "box_answerer.h"
#include "window_fixture.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "support/synthetic_flights.h"
#include "geo/distance.h"
#include "geo/projection.h"
#include "track/igc/igc_reader.h"
#include "track/statistics.h"
#include "track/track_log.h"
#include "track/track_rotation.h"
#include "ui/qt/calculators.h"
#include "ui/qt/flight_graphs.h"
#include "ui/qt/main_window.h"
#include "ui/qt/statistics_dialog.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/track_picture.h"

using namespace logwell;
using logwell::qt::MainWindow;
using logwell::qt::PositionFormat;
using logwell::testing::BoxAnswerer;
using logwell::testing::GlideThenThermal;

namespace {

struct Fixture : logwell::testing::WindowFixture {
  Fixture() { Open(); }
};

double Metres(SemicirclePoint a, SemicirclePoint b) { return EllipsoidDistance(ToGeoPoint(a), ToGeoPoint(b)).value(); }
SemicirclePoint At(const TrackPoint& point) { return {point.latitude, point.longitude}; }

}  // namespace

class ViewsTest : public QObject {
  Q_OBJECT

 private slots:
  // The turned positions replace the log as a read file does: the file's headers, raw IGC text
  // and signature go, the views are made anew; turning back restores the positions.
  void rotateTrackReplacesTheLogLikeAFileRead() {
    Fixture f;
    std::ofstream(f.folder / "flight.igc", std::ios::binary)
        << "AXLWABC\r\nHFDTE150723\r\nHFPLTPILOTINCHARGE:Jane Doe\r\n"
        << "B1200004612345N00812345EA0100001100\r\nB1200104613345N00813345EA0100001110\r\n"
        << "B1200204614345N00812345EA0100001120\r\nB1200304613345N00811345EA0100001130\r\n";
    f.window->chooseOpenFile = [&f](const QString&, const QString&) {
      return QString::fromStdString((f.folder / "flight.igc").string());
    };
    f.window->RunCommand(40117);
    TrackLog& log = CurrentTrackLog();
    QCOMPARE(log.Count(), 4);
    QCOMPARE(log.headers.pilot, std::string("Jane Doe"));
    // What a download would have left beside the positions.
    log.rawIgc = RawIgcLog{};
    log.saved = 1;
    const std::vector<TrackPoint> before = log.points;
    const SemicirclePoint centre = TrackCentre(before);

    BoxAnswerer boxes;
    for (const auto& [typed, box] : {std::pair{std::optional<QString>("east"), "Bad input"},
                                     std::pair{std::optional<QString>(" "), "Missing input"},
                                     std::pair{std::optional<QString>(), ""}}) {
      boxes.Clear();
      f.Type(typed);
      f.window->RunCommand(40124);
      QCOMPARE(boxes.Seen().empty() ? QString() : boxes.Seen().front().text, QString(box));
      QVERIFY(log.rawIgc.has_value() && log.saved == 1);  // nothing changed
    }

    qt::TrackPicture* picture = f.window->Picture();
    f.Type("90");
    f.window->RunCommand(40124);
    QCOMPARE(log.Count(), 4);
    QVERIFY(!log.rawIgc.has_value());
    QCOMPARE(log.saved, 0);
    QVERIFY(log.headers.pilot.empty());
    QCOMPARE(log.source.signState, SignState::NotSignable);
    QCOMPARE(log.source.kind, TrackSourceKind::None);
    QCOMPARE(log.source.altitudeFlag, 1u);  // the positions keep their pressure altitudes
    QCOMPARE(f.window->StatusLine()->text(), QString("4 positions rotated by 90 degrees"));
    QVERIFY(f.window->Picture() != picture);
    for (std::size_t i = 0; i < before.size(); ++i) {
      QVERIFY(Metres(At(log.points[i]), At(before[i])) > 100.0);
      QVERIFY(std::abs(Metres(centre, At(log.points[i])) - Metres(centre, At(before[i]))) < 0.02);
      QCOMPARE(log.points[i].time, before[i].time);
    }
    f.Type("-90");
    f.window->RunCommand(40124);
    for (std::size_t i = 0; i < before.size(); ++i) QVERIFY(Metres(At(log.points[i]), At(before[i])) < 0.05);

    // With a selection, the selected positions turned about their own middle are the new log.
    f.window->SelectFixes(1, 2);
    const SemicirclePoint middle = TrackCentre(std::span(log.points).subspan(1, 2));
    f.Type("360");
    f.window->RunCommand(40124);
    QCOMPARE(log.Count(), 2);
    QCOMPARE(At(log.points[0]), At(before[1]));
    QCOMPARE(TrackCentre(log.points), middle);
    QVERIFY(f.window->SelectedRows().empty());
  }

  // The glide and polar graphs of a known glide and thermal, over the "Set intervals" length,
  // and what their hover reads out.
  void glideAndPolarGraphsOfAGlideAndAThermal() {
    Fixture f;
    CurrentTrackLog().points = GlideThenThermal();
    f.window->RefreshView(ViewMode::TrackLog);
    f.window->RunCommand(40176);
    auto* glide = qobject_cast<qt::GlideGraph*>(f.window->LastOpened());
    QVERIFY(glide != nullptr);
    QCOMPARE(glide->Interval(), 60u);
    QCOMPARE(glide->Intervals().size(), std::size_t{15});
    const QPointF first = glide->ScreenOf(0).value();
    QVERIFY(!glide->ScreenOf(12));  // climbing: no glide ratio
    QCOMPARE(glide->ReadoutAt(first), QString("12:01:00  1940 m  -1.0 m/s  36 km/h  glide 10.0"));
    QVERIFY(!glide->grab().isNull());

    f.window->RunCommand(40178);
    auto* polar = qobject_cast<qt::PolarGraph*>(f.window->LastOpened());
    QVERIFY(polar != nullptr);
    QCOMPARE(polar->DotCount(), std::size_t{10});  // the thermal is no straight flight
    const QPointF dot = polar->ScreenOf(9).value();
    QCOMPARE(polar->ReadoutAt(dot + QPointF(3, 3)), QString("12:10:00  1400 m  -1.0 m/s  36 km/h  glide 10.0"));
    QVERIFY(!polar->grab().isNull());
    for (const auto& interval : polar->Intervals()) QVERIFY(!interval.Straight() || interval.Climb() < 0.0);

    // The interval setting reaches both graphs; a single fix draws no graph.
    f.Type("300");
    f.window->RunCommand(40177);
    f.window->RunCommand(40176);
    QCOMPARE(qobject_cast<qt::GlideGraph*>(f.window->LastOpened())->Intervals().size(), std::size_t{3});
    f.window->SelectFixes(5, 5);
    f.window->RunCommand(40178);
    polar = qobject_cast<qt::PolarGraph*>(f.window->LastOpened());
    QVERIFY(polar->Intervals().empty());
    QVERIFY(!polar->ReadoutAt({10, 10}).size());
    QVERIFY(!polar->grab().isNull());
  }

  // A real flight with 34 invalid fixes (GNSS altitude 0): the profile and the vario leave them
  // out as the statistics do, so the altitude never plunges to the ground and the climb axis
  // stays where the flight climbed. The track picture's legend and the flight statistics give
  // the XContest claim first and name the distance analysis for what it is; the logbook save
  // carries the claim as its first placemark.
  void realFlightShowsItsClaimAndNoInvalidFixes() {
    const auto dir = logwell::testing::FixturesDir();
    if (!dir) QSKIP("LOGWELL_FIXTURES is not set");
    const auto decoded =
        igc::DecodeIgcText(logwell::testing::ReadWholeFile(*dir / "igc" / "trifai-xcontest-189.65.igc"));
    QVERIFY(decoded.Ok());
    const std::vector<TrackPoint>& points = decoded.points;
    const FlightStatistics statistics = ComputeStatistics(points);
    QCOMPARE(statistics.leftOutFixes, std::size_t{34});

    qt::VarioGraph profile(points);
    const std::vector<double> altitudes = profile.Altitudes();
    QCOMPARE(altitudes.size(), points.size());
    std::size_t drawn = 0;
    double lowest = HUGE_VAL;
    for (const double a : altitudes) {
      if (std::isnan(a)) continue;
      ++drawn;
      lowest = std::min(lowest, a);
    }
    QCOMPARE(drawn, points.size() - 34);
    QCOMPARE(lowest, static_cast<double>(statistics.lowestAltitude));
    QVERIFY(lowest > 500.0);
    double steepest = 0.0;
    for (const float climb : profile.Climbs()) {
      if (!std::isnan(climb)) steepest = std::max(steepest, std::abs(static_cast<double>(climb)));
    }
    // The 60-second climb of the graph is the statistics' own, which leave the fixes out.
    QVERIFY2(steepest <= std::max(statistics.highestVario60, -statistics.lowestVario60) + 0.5,
             qPrintable(QString::number(steepest)));
    QVERIFY(steepest < 10.0);
    QVERIFY(!profile.grab().isNull());

    qt::TrackPicture picture(points, 800);
    QSignalSpy claimed(&picture, &qt::TrackPicture::claimFinished);
    QVERIFY(claimed.wait(120000));
    const QStringList legend = picture.LegendLines();
    QVERIFY2(legend.at(1).startsWith("XContest: closed FAI triangle 118.7") && legend.at(1).endsWith(" points"),
             qPrintable(legend.join(" | ")));
    QVERIFY2(legend.filter(QRegularExpression("^Distance analysis: FAI triangle \\d+\\.\\d\\d km$")).size() == 1,
             qPrintable(legend.join(" | ")));
    QVERIFY(!picture.grab().isNull());

    logwell::testing::ScriptedUi ui;
    qt::StatisticsDialog::Flight flight;
    flight.points = points;
    flight.withHash = true;
    qt::StatisticsDialog dialog(std::move(flight), ui, nullptr, nullptr);
    QCOMPARE(dialog.ClaimLabel()->text(), QString("XContest: scoring the flight"));
    QSignalSpy analysed(&dialog, &qt::StatisticsDialog::analysisFinished);
    QVERIFY(analysed.wait(120000));
    QCOMPARE(dialog.ClaimLabel()->text(), legend.at(1));
    const auto folder = std::filesystem::temp_directory_path() / ("logwell-claim-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ui.ScriptSaveFile((folder / "flight.kml").string());
    QCOMPARE(dialog.SaveLog(), 0);
    const std::string kml = logwell::testing::ReadWholeFile(folder / "flight.kml");
    const std::size_t name = kml.find("<name>" + legend.at(1).toStdString() + "</name>");
    QVERIFY(name != std::string::npos);
    QVERIFY(name < kml.find("<name>Distance over 5 points</name>"));
    std::filesystem::remove_all(folder);

    // "Set contest rules" chooses the rules the window scores by; the picture beside the list
    // is drawn anew under them.
    Fixture f;
    CurrentTrackLog().points = points;
    f.window->RefreshView(ViewMode::TrackLog);
    BoxAnswerer boxes;
    boxes.Answer("", [](QWidget* chooser) {
      auto* list = chooser->findChild<QListWidget*>();
      list->setCurrentRow(list->row(list->findItems("XC League", Qt::MatchExactly).front()));
    });
    f.window->RunCommand(40231);
    QCOMPARE(f.settings.Text(Setting::ContestRules), std::string("xcleague"));
    qt::TrackPicture* beside = f.window->Picture();
    QVERIFY(beside != nullptr);
    QSignalSpy besideClaimed(beside, &qt::TrackPicture::claimFinished);
    QVERIFY(besideClaimed.wait(120000));
    QVERIFY2(beside->LegendLines().at(1).startsWith("XC League: turnpoint flight 130.78 km"),
             qPrintable(beside->LegendLines().join(" | ")));
  }

  // Every encoding reads back what it shows, typed variants and mistakes give the position or a
  // message, and the dialogs compute with what is typed.
  void positionsTypedInEveryEncoding() {
    const SemicirclePoint places[] = {{DegreesToSemicircles(46.51234), DegreesToSemicircles(8.12345)},
                                      {DegreesToSemicircles(-33.8688), DegreesToSemicircles(151.2093)},
                                      {DegreesToSemicircles(78.2232), DegreesToSemicircles(15.6267)},
                                      {DegreesToSemicircles(-0.5), DegreesToSemicircles(-179.99)}};
    // Metres a format's own rounding may move a position.
    const std::pair<PositionFormat, double> formats[] = {{PositionFormat::Degrees, 0.02},
                                                         {PositionFormat::DegreesMinutes, 1.9},
                                                         {PositionFormat::DegreesMinutesSeconds, 0.31},
                                                         {PositionFormat::Utm, 0.8},
                                                         {PositionFormat::Semicircles, 0.0}};
    for (const SemicirclePoint place : places) {
      for (const auto& [format, metres] : formats) {
        const QStringList fields = qt::PositionFields(format, place);
        const qt::TypedPosition read = qt::ReadPosition(format, fields);
        QVERIFY2(read.point, qPrintable(fields.join('|') + ": " + read.error));
        QVERIFY2(Metres(*read.point, place) <= metres, qPrintable(fields.join('|')));
      }
    }

    const auto degrees = [](double lat, double lon) {
      return SemicirclePoint{DegreesToSemicircles(lat), DegreesToSemicircles(lon)};
    };
    const SemicirclePoint utm32T = ToSemicirclePoint(UtmToGeo({500000.0, 5150000.0, 32, 'T'}));
    const SemicirclePoint utm56H = ToSemicirclePoint(UtmToGeo({334000.0, 6252000.0, 56, 'H'}));
    struct Typed {
      PositionFormat format;
      QStringList fields;
      std::optional<SemicirclePoint> point;
      QString error;
    };
    const Typed cases[] = {
        {PositionFormat::Degrees, {"-33.5", "151.25E"}, degrees(-33.5, 151.25), {}},
        {PositionFormat::Degrees, {"s 33.5", "W151.25"}, degrees(-33.5, -151.25), {}},
        {PositionFormat::DegreesMinutes, {"N 46 30.600", "008\xc2\xb0 15.3'"}, degrees(46.51, 8.255), {}},
        {PositionFormat::DegreesMinutesSeconds, {"46\xc2\xb0""30'36\"N", "-8:15:18"}, degrees(46.51, -8.255), {}},
        {PositionFormat::Utm, {"32t", "500000", "5150000"}, utm32T, {}},
        {PositionFormat::Utm, {"56 H", "334000.4", "6252000"}, ToSemicirclePoint(UtmToGeo({334000.4, 6252000.0, 56, 'H'})), {}},
        {PositionFormat::Semicircles, {"554766274", "-98406144"}, SemicirclePoint{554766274, -98406144}, {}},
        {PositionFormat::Degrees, {"91", "0"}, {}, "latitude: beyond 90 degrees"},
        {PositionFormat::Degrees, {"10", "E 181"}, {}, "longitude: beyond 180 degrees"},
        {PositionFormat::Degrees, {"N -10", "0"}, {}, "latitude: a hemisphere letter and a minus sign"},
        {PositionFormat::Degrees, {"", "0"}, {}, "latitude: missing"},
        {PositionFormat::Degrees, {"46 30", "8"}, {}, "latitude: type one number"},
        {PositionFormat::DegreesMinutes, {"46 60.0", "8 0"}, {}, "latitude: minutes must be below 60"},
        {PositionFormat::DegreesMinutes, {"46.5 3", "8 0"}, {}, "latitude: only the last part may have decimals"},
        {PositionFormat::DegreesMinutesSeconds, {"46 30 60", "8 0 0"}, {}, "latitude: seconds must be below 60"},
        {PositionFormat::DegreesMinutesSeconds, {"46 3x 0", "8 0 0"}, {}, "latitude: \"3X\" is no number"},
        {PositionFormat::Utm, {"32", "500000", "5150000"}, {}, "zone: type its number and band letter, as 32T"},
        {PositionFormat::Utm, {"61T", "500000", "5150000"}, {}, "zone: 1 to 60"},
        {PositionFormat::Utm, {"32I", "500000", "5150000"}, {}, "zone: type its number and band letter, as 32T"},
        {PositionFormat::Utm, {"32T", "1000000", "5150000"}, {}, "easting: metres, 1 to 999999"},
        {PositionFormat::Utm, {"32T", "500000", "-1"}, {}, "northing: metres, 0 to 10000000"},
        {PositionFormat::Utm, {"32V", "500000", "5150000"}, {}, "northing: not in band V"},
        {PositionFormat::Semicircles, {"1073741825", "0"}, {}, "latitude: -1073741824 to 1073741824"},
        {PositionFormat::Semicircles, {"0", "2147483648"}, {}, "longitude: -2147483648 to 2147483647"},
        {PositionFormat::Semicircles, {"0.5", "0"}, {}, "latitude: a whole number of semicircles"},
    };
    for (const Typed& c : cases) {
      const qt::TypedPosition read = qt::ReadPosition(c.format, c.fields);
      QVERIFY2(read.point == c.point, qPrintable(c.fields.join('|') + ": " + read.error));
      QCOMPARE(read.error, c.error);
    }

    // The converter: typed in UTM, shown in every encoding; another format shows the same place.
    Fixture f;
    f.window->RunCommand(40032);
    auto* converter = qobject_cast<qt::PositionConverter*>(f.window->LastOpened());
    QVERIFY(converter != nullptr);
    QCOMPARE(converter->Result()->text(), QString("Type a position"));
    qt::PositionInput* input = converter->Input();
    input->Format()->setCurrentIndex(static_cast<int>(PositionFormat::Utm));
    QVERIFY(input->Field(2)->isVisibleTo(converter));
    for (int i = 0; i < 3; ++i) input->Field(i)->setText(QStringList{"56H", "334000", "6252000"}[i]);
    QCOMPARE(converter->Result()->text(), qt::PositionEncodings(utm56H).join('\n'));
    input->Format()->setCurrentIndex(static_cast<int>(PositionFormat::Semicircles));
    QVERIFY(!input->Field(2)->isVisibleTo(converter));
    QCOMPARE(input->Field(0)->text(), QString::number(utm56H.latitude));
    input->Field(0)->setText("x");
    QCOMPARE(converter->Result()->text(), QString("Error: latitude: a whole number of semicircles"));
    converter->close();

    // The distance calculator: one end typed in degrees and minutes, the other a waypoint.
    Waypoint goal;
    goal.SetId("GOAL");
    goal.latitude = DegreesToSemicircles(46.7);
    goal.longitude = DegreesToSemicircles(8.4);
    f.window->Waypoints().Replace({goal});
    f.window->RunCommand(40028);
    auto* calculator = qobject_cast<qt::DistanceCalculator*>(f.window->LastOpened());
    QVERIFY(calculator != nullptr);
    calculator->End(0)->Format()->setCurrentIndex(static_cast<int>(PositionFormat::DegreesMinutes));
    calculator->Field(0)->setText("N 46 30.600");
    calculator->Field(1)->setText("E 8 15.300");
    QCOMPARE(calculator->Result()->text(), QString("Error: to latitude: missing"));
    calculator->UseWaypoint(1, 0);
    QCOMPARE(calculator->Result()->text(), qt::DistanceText(degrees(46.51, 8.255), {goal.latitude, goal.longitude}));
    QVERIFY2(calculator->Result()->text().startsWith("23"), qPrintable(calculator->Result()->text()));
    calculator->close();
  }
};

QTEST_MAIN(ViewsTest)
#include "views_test.moc"
