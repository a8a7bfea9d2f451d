// The Garmin host against the virtual receiver on a pseudo-terminal, through the access
// framework, the serial code and the registered workers: every transfer, then the faults.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "geo/units.h"
#include "devices/garmin/garmin_workers.h"
#include "devices/product_scan.h"
#include "sim/flight_generator.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::vector<TrackPoint> Flight(int minutes) {
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0});
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(2);
  plan.courseLengthKm = 8.0;
  return sim::GenerateFlight(plan);
}

std::vector<Waypoint> Waypoints() {
  std::vector<Waypoint> waypoints(3);
  waypoints[0].SetId("FIESCH");
  waypoints[0].SetDescription("LANDING FIELD");
  waypoints[0].latitude = DegreesToSemicircles(46.41);
  waypoints[0].longitude = DegreesToSemicircles(8.13);
  waypoints[0].altitude = 1050;
  waypoints[0].type = 1;
  waypoints[1].SetId("CAPE");
  waypoints[1].latitude = DegreesToSemicircles(-33.9);
  waypoints[1].longitude = DegreesToSemicircles(18.4);
  waypoints[2].SetId("W-3");
  waypoints[2].latitude = DegreesToSemicircles(10.0);
  waypoints[2].longitude = DegreesToSemicircles(-70.5);
  waypoints[2].altitude = -20;
  return waypoints;
}

// What the host sent last reaches the receiver's thread a moment after the access ended.
bool Eventually(const std::function<bool()>& condition) {
  const auto until = Clock::now() + milliseconds(2000);
  while (!condition()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

class Rig {
 public:
  explicit Rig(sim::GarminModelConfig config) {
    auto owned = std::make_unique<sim::GarminModel>(std::move(config));
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
    framework.selectedPortName = [this] { return instrument->DevicePath(); };
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    framework.targets.replaceWaypoints = [this](WaypointDownload&& download) {
      waypoints = std::move(download.waypoints);
    };
    context.notify = [this](std::string_view text) { notified.emplace_back(text); };
  }

  // Runs one access; `during` runs on the test thread while it is under way.
  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr,
          AirspaceList* airspace = nullptr, const std::function<void()>& during = {}) {
    if (!registered) {
      registered = true;
      garmin::RegisterGarminWorkers(table, context);
    }
    std::promise<int> done;
    auto finished = done.get_future();
    const auto start = Clock::now();
    const int started = framework.StartCommandAccess(
        "Test", &ui, access, ProtocolType::GarminSerial, 0,
        [&done, completion](AccessBlock& block) {
          const int result = block.result;
          if (completion) completion(block);
          done.set_value(result);
        },
        upload, airspace);
    if (started != 0) return -1000;
    if (during) during();
    const int result = finished.get();
    took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    framework.WaitForGpsAccessEnd();
    return result;
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& e : ui.Boxes()) {
      if (e.kind == testing::UiEventKind::Error) texts.push_back(e.text);
    }
    return texts;
  }
  std::string FirstError() const { return Errors().empty() ? "no box" : Errors().front(); }

  AccessTable table;
  testing::ScriptedUi ui;
  AccessFramework framework{table};
  TrackLog log;
  FamilyEnvironment context;
  sim::GarminModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
  std::vector<Waypoint> waypoints;
  std::vector<std::string> notified;
  milliseconds took{0};
  bool registered = false;
};

// A301/D301 with a header, and A300/D300 from the built-in table of a receiver that sends no
// protocol array (product 29): every fix arrives with its time and position; only D301 carries
// the altitude, and the first point starts a segment.
TEST(GarminE2e, TrackLogOfBothTransferProtocols) {
  struct Case {
    const char* name;
    bool protocolArray;
    bool a300;
    std::int16_t product;
  };
  for (const Case& c : {Case{"A301 array", true, false, 130}, Case{"A300 table", false, true, 29}}) {
    SCOPED_TRACE(c.name);
    sim::GarminModelConfig config;
    config.productId = c.product;
    config.software = 390;
    config.protocolArray = c.protocolArray;
    config.a300 = c.a300;
    config.points = Flight(6);
    Rig rig(config);
    rig.context.commandLinePowerOff = true;
    ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead), static_cast<int>(config.points.size()))
        << rig.FirstError();
    ASSERT_EQ(rig.log.points.size(), config.points.size());
    for (std::size_t i = 0; i < config.points.size(); ++i) {
      const TrackPoint& got = rig.log.points[i];
      ASSERT_EQ(got.time, config.points[i].time) << i;
      ASSERT_EQ(got.latitude, config.points[i].latitude) << i;
      ASSERT_EQ(got.longitude, config.points[i].longitude) << i;
      ASSERT_NEAR(got.gpsAltitude, c.a300 ? 0 : config.points[i].gpsAltitude, 1) << i;
      ASSERT_EQ(got.segmentStart, i == 0 ? 1u : 0u) << i;
    }
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Garmin);
    EXPECT_EQ(rig.log.source.InstrumentId(), "Garmin: VIRTUAL GPS Software Version 3.60");
    EXPECT_TRUE(Eventually([&rig] { return rig.model->PoweredOff(); }));
    EXPECT_TRUE(rig.Errors().empty()) << rig.FirstError();
  }
}

TEST(GarminE2e, WaypointsBothWaysAndTrackUploads) {
  sim::GarminModelConfig config;
  config.waypoints = Waypoints();
  Rig rig(config);
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0) << rig.FirstError();
  ASSERT_EQ(rig.waypoints.size(), 3u);
  EXPECT_EQ(rig.waypoints[0].Id(), "FIESCH");
  EXPECT_EQ(rig.waypoints[0].Description(), "LANDING FIELD");
  EXPECT_EQ(rig.waypoints[0].type, 1);  // symbol 16384: an airfield
  EXPECT_EQ(rig.waypoints[0].altitude, 1050);
  EXPECT_EQ(rig.waypoints[1].latitude, config.waypoints[1].latitude);
  EXPECT_EQ(rig.waypoints[2].altitude, -20);
  EXPECT_FALSE(rig.model->PoweredOff());

  std::vector<Waypoint> upload = Waypoints();
  upload[1].SetId("a-b_c");
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &upload), 0) << rig.FirstError();
  const auto stored = rig.model->ReceivedWaypoints();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[1].Id(), "A-B C");
  EXPECT_EQ(stored[0].type, 1);
  EXPECT_EQ(stored[2].longitude, config.waypoints[2].longitude);
  EXPECT_EQ(rig.notified.back(), "Sent wpt 3/3");

  // Waypoints as one track log: positions only, one header announced with them.
  upload = Waypoints();
  ASSERT_EQ(rig.Run(AccessType::WaypointsAsGarminLog, CompleteDone, &upload), 0) << rig.FirstError();
  auto points = rig.model->ReceivedPoints();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[2].latitude, config.waypoints[2].latitude);
  EXPECT_EQ(points[2].time, 0u);

  // Each selected CTR becomes a track log of its own.
  AirspaceList airspace;
  AirspaceRecord round;
  round.name = "ROUND";
  round.selected = 1;
  AirspaceSegment circle;
  circle.kind = SegmentKind::Circle;
  circle.position = {47.0, 9.0};
  circle.radius = 1000;
  round.segments.push_back(circle);
  airspace.push_back(round);
  AirspaceRecord skipped = round;
  skipped.selected = 0;
  airspace.push_back(skipped);
  ASSERT_EQ(rig.Run(AccessType::UploadCtr, CompleteDone, nullptr, &airspace), 0) << rig.FirstError();
  points = rig.model->ReceivedPoints();
  EXPECT_EQ(points.size(), 3u + 23u);  // a 1000 m circle at 10 m: 22 steps, 23 points
  EXPECT_TRUE(rig.Errors().empty()) << rig.FirstError();
}

// The program's segment accuracy lays the circle out: at 1000 m the minimum of 8 steps.
TEST(GarminE2e, CtrUploadTakesTheProgramsSegmentAccuracy) {
  Rig rig(sim::GarminModelConfig{});
  rig.context.segmentAccuracy = [] { return std::uint32_t{1000}; };
  AirspaceList airspace(1);
  airspace[0].name = "ROUND";
  airspace[0].selected = 1;
  AirspaceSegment circle;
  circle.kind = SegmentKind::Circle;
  circle.position = {47.0, 9.0};
  circle.radius = 1000;
  airspace[0].segments.push_back(circle);
  ASSERT_EQ(rig.Run(AccessType::UploadCtr, CompleteDone, nullptr, &airspace), 0) << rig.FirstError();
  EXPECT_EQ(rig.model->ReceivedPoints().size(), 9u);
}

// Every fault ends with its message within the time-outs, leaves the track log as it was and
// tells a receiver in the middle of a transfer to stop.
TEST(GarminE2e, FaultsEndWithTheirMessage) {
  struct Case {
    const char* name;
    AccessType access;
    std::size_t faultAt;  // packet of the track transfer; 0: none
    sim::Fault fault;
    bool silentFromStart;
    bool acknowledges;
    bool abort;
    std::string message;
    milliseconds limit;
  };
  const std::vector<Case> cases = {
      {"silence", AccessType::ReadTrackLog, 0, {}, true, true, false, "No valid response from GPS", milliseconds(4000)},
      {"wrong checksum", AccessType::ReadTrackLog, 40, sim::Fault{sim::Fault::Kind::CorruptByte, {}, 12}, false, true,
       false, "E205 Timeout while waiting for log data packet", milliseconds(8000)},
      {"hang-up", AccessType::ReadTrackLog, 40, sim::Fault{sim::Fault::Kind::HangUp, {}, 9}, false, true, false,
       "E205", milliseconds(8000)},
      {"abort", AccessType::ReadTrackLog, 40, sim::Fault{sim::Fault::Kind::Silence}, false, true, true, "",
       milliseconds(4000)},
      {"never acknowledges", AccessType::WriteWaypoints, 0, {}, false, false, false,
       "E400 Timeout while waiting for ack. packet", milliseconds(8000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::GarminModelConfig config;
    config.points = Flight(6);
    config.trackFaultAt = c.faultAt;
    config.trackFault = c.fault;
    config.acknowledgesUploads = c.acknowledges;
    Rig rig(config);
    if (c.silentFromStart) rig.instrument->Inject(sim::Fault{sim::Fault::Kind::Silence});
    rig.framework.connectSeconds = 2;
    TrackPoint before;
    before.time = 77;
    rig.log.points = {before};
    std::vector<Waypoint> upload = Waypoints();
    const auto abortSoon = [&rig] {
      std::this_thread::sleep_for(milliseconds(1500));
      rig.framework.AbortGpsAccess(&rig.ui);
    };
    const int result =
        rig.Run(c.access, c.access == AccessType::ReadTrackLog ? AccessCompletion(CompleteTrackLogRead)
                                                                : AccessCompletion(CompleteWaypointsWritten),
                c.access == AccessType::WriteWaypoints ? &upload : nullptr, nullptr,
                c.abort ? std::function<void()>(abortSoon) : std::function<void()>());
    EXPECT_LT(result, 0);
    EXPECT_LE(rig.took, c.limit);
    if (c.message.empty()) {
      EXPECT_TRUE(rig.Errors().empty()) << rig.FirstError();
    } else {
      ASSERT_EQ(rig.Errors().size(), 1u);
      EXPECT_EQ(rig.Errors()[0].rfind(c.message, 0), 0u) << rig.Errors()[0];
    }
    ASSERT_EQ(rig.log.points.size(), 1u);
    EXPECT_EQ(rig.log.points[0].time, 77u);
    if (c.faultAt != 0 && c.fault.kind != sim::Fault::Kind::HangUp) {
      EXPECT_TRUE(Eventually([&rig] {
        const auto commands = rig.model->Commands();
        return !commands.empty() && commands.back() == garmin::kCommandAbort;
      }));
    }
  }
}

// The product scan finds the receiver by its product data and names it with its description.
TEST(GarminE2e, ProductScanFindsTheReceiver) {
  sim::VirtualInstrument port(std::make_unique<sim::GarminModel>(sim::GarminModelConfig{}));
  std::vector<std::string> products;
  ProbeReport report;
  report.productLine = [&](std::string_view line) { products.emplace_back(line); };
  const auto findings = ScanPorts({port.DevicePath()}, report);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(ScanFindingLine(findings[0]), port.DevicePath() + ": Garmin, VIRTUAL GPS Software Version 3.60, firmware 3.60; use /GPS=GARMIN");
  EXPECT_EQ(findings[0].product.extra, "130");
  EXPECT_NE(std::find(products.begin(), products.end(), "Checking for Garmin"), products.end());
}

}  // namespace
}  // namespace logwell
