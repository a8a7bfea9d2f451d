// The Syride host against the virtual SYS-Nav behind the HID interface, through the access
// framework and the registered workers: a served real Syride flight, its task as the route,
// waypoints both ways, the erase, the flight list, the faults and the command line's SYRIDE;
// then the same download through a real hidraw device where /dev/uhid is available.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <unistd.h>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "devices/syride/syride_workers.h"
#include "sim/syride/syride_model.h"
#include "sim/syride/uhid_bridge.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/igc/igc_reader.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using sim::SyrideFault;
using syride::Command;

constexpr const char* kRealFlight = "tri.igc";  // a Syride SYS'GPS, 4514 fixes

std::vector<TrackPoint> RealFlight(const fs::path& fixtures) {
  const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / kRealFlight));
  EXPECT_TRUE(decoded.Ok()) << decoded.error;
  return decoded.points;
}

std::vector<TrackPoint> ShortFlight(GarminTime start, std::size_t n) {
  std::vector<TrackPoint> points(n);
  for (std::size_t i = 0; i < n; ++i) {
    points[i].time = start + static_cast<GarminTime>(2 * i);
    points[i].latitude = syride::LatitudeToSemicircles(463000000 + static_cast<std::int32_t>(i) * 100);
    points[i].longitude = syride::LongitudeToSemicircles(81000000 - static_cast<std::int32_t>(i) * 100);
    points[i].gpsAltitude = static_cast<std::int32_t>(10 * (1500 + i));
  }
  return points;
}

const std::vector<syride::NamedPoint> kTask{
    {463000000, 81000000, 0, "LAUNCH"}, {464000000, 82000000, 0, "TP1"}, {465000000, 83000000, 0, "GOAL"}};

struct Rig {
  explicit Rig(sim::SyrideModelConfig config) : model(std::move(config)) {
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    framework.targets.replaceWaypoints = [this](WaypointDownload&& download) {
      waypoints = std::move(download.waypoints);
    };
    context.commandLineTracks = [] { return std::vector<int>{0}; };
    context.notify = [this](std::string_view text) {
      std::lock_guard lock(mutex);
      notified.emplace_back(text);
    };
    log.points.resize(3);  // what a failed download must leave alone
  }
  // The worker owns what the opener gives it; the model outlives it.
  struct Forward : HidDevice {
    explicit Forward(HidDevice& device) : to(device) {}
    bool WriteReport(std::span<const std::uint8_t> r) override { return to.WriteReport(r); }
    int ReadReport(std::span<std::uint8_t> b, std::chrono::milliseconds w) override { return to.ReadReport(b, w); }
    HidDevice& to;
  };
  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr,
          std::chrono::milliseconds abortAfter = 0ms) {
    if (!registered) {  // with the context as it is at the first run
      registered = true;
      syride::RegisterSyrideWorkersWith(table, context, [this] {
        ++opens;
        if (openFailure != HidOpenFailure::None) return HidOpenResult{nullptr, openFailure, "No permission (rule)"};
        HidOpenResult opened;
        opened.device = std::make_unique<Forward>(model);
        return opened;
      });
    }
    std::promise<int> done;
    auto finished = done.get_future();
    if (framework.StartCommandAccess("Test", &ui, access, ProtocolType::Syride, 0,
                                     [&done, completion](AccessBlock& block) {
                                       const int result = block.result;
                                       if (completion) completion(block);
                                       done.set_value(result);
                                     },
                                     upload) != 0) {
      return -1000;
    }
    if (abortAfter > 0ms) {
      std::this_thread::sleep_for(abortAfter);
      framework.AbortGpsAccess(&ui);
    }
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& e : ui.Boxes())
      if (e.kind == testing::UiEventKind::Error) texts.push_back(e.caption + ": " + e.text);
    return texts;
  }

  sim::SyrideModel model;
  AccessTable table;
  testing::ScriptedUi ui;
  AccessFramework framework{table};
  FamilyEnvironment context;
  TrackLog log;
  std::vector<Waypoint> waypoints;
  std::mutex mutex;
  std::vector<std::string> notified;
  bool registered = false;
  HidOpenFailure openFailure = HidOpenFailure::None;  // what the opener reports instead
  int opens = 0;
};

void ExpectEveryFix(const std::vector<TrackPoint>& got, const std::vector<TrackPoint>& served) {
  ASSERT_EQ(got.size(), served.size());
  const auto fixes = sim::SyrideModel::FixesOf(served);
  for (std::size_t i = 0; i < served.size(); ++i) {
    ASSERT_EQ(got[i].time, served[i].time) << i;
    ASSERT_EQ(got[i].latitude, syride::LatitudeToSemicircles(fixes[i].latitude)) << i;
    ASSERT_NEAR(got[i].latitude, served[i].latitude, 1) << i;
    ASSERT_NEAR(got[i].longitude, served[i].longitude, 1) << i;
    ASSERT_EQ(got[i].gpsAltitude, served[i].gpsAltitude) << i;
  }
}

TEST(SyrideE2e, ServedRealFlightArrivesFixForFixWithItsRoute) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  sim::SyrideModelConfig config;
  config.flights = {RealFlight(fixtures), ShortFlight(UnixToGarminTime(1700000000), 10)};
  config.task = kTask;
  Rig rig(config);
  ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead), static_cast<int>(config.flights[0].size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  ExpectEveryFix(rig.log.points, config.flights[0]);
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Syride);
  EXPECT_EQ(rig.log.source.timeIsUtc, 1);
  EXPECT_EQ(rig.log.source.altitudeFlag, 0);
  EXPECT_EQ(rig.log.source.InstrumentText(), "SYS-Nav V3, SNR 4711, SW 3.12");
  EXPECT_EQ(rig.log.source.InstrumentId(), "Syride: 4711");
  ASSERT_TRUE(rig.log.task);
  ASSERT_EQ(rig.log.task->points.size(), 5u);
  EXPECT_EQ(rig.log.task->points[1].Description(), "STARTLAUNCH");
  EXPECT_EQ(rig.log.task->points[3].Description(), "FINISHGOAL");
  EXPECT_EQ(rig.log.task->points.back().latitude, rig.log.points.back().latitude);

  // The flight list, as an unattended run reports it.
  Rig listing(config);
  listing.context.unattended = true;
  ASSERT_EQ(listing.Run(AccessType::ReadFlightList, CompleteFlightListRead), 0);
  ASSERT_EQ(listing.notified.size(), 1u);
  EXPECT_EQ(listing.notified[0].rfind("Flightlist:\n19.06.15,", 0), 0u) << listing.notified[0];
  EXPECT_NE(listing.notified[0].find("\n23.11.14,22:13:20,0:00:18\n"), std::string::npos) << listing.notified[0];
}

TEST(SyrideE2e, WaypointsRoundTripAndErase) {
  sim::SyrideModelConfig config;
  config.waypoints = {{460000000, 75000000, 900, "OLD ONE"}};
  Rig rig(config);
  std::vector<Waypoint> upload(2);
  upload[0].SetDescription("Fiesch west top");
  upload[0].latitude = syride::LatitudeToSemicircles(464097000);
  upload[0].longitude = syride::LongitudeToSemicircles(81364000);
  upload[0].altitude = 2230;
  upload[1].SetId("DATE-W");
  upload[1].latitude = syride::LatitudeToSemicircles(-165000000);
  upload[1].longitude = syride::LongitudeToSemicircles(-1799900000);
  upload[1].altitude = -12;
  std::vector<Waypoint> sent = upload;
  ASSERT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &sent), 0)
      << (rig.Errors().empty() ? "" : rig.Errors().front());
  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  ASSERT_EQ(rig.waypoints.size(), 3u);
  EXPECT_EQ(rig.waypoints[0].Description(), "OLD ONE");
  EXPECT_EQ(rig.waypoints[1].Id(), "FIESCH");
  EXPECT_EQ(rig.waypoints[2].Description(), "DATE-W");
  for (std::size_t i = 0; i < upload.size(); ++i) {
    EXPECT_EQ(rig.waypoints[i + 1].latitude, upload[i].latitude);
    EXPECT_EQ(rig.waypoints[i + 1].longitude, upload[i].longitude);
    EXPECT_EQ(rig.waypoints[i + 1].altitude, upload[i].altitude);
  }
  ASSERT_EQ(rig.Run(AccessType::EraseWaypoints, CompleteWaypointsErased), 0);
  EXPECT_TRUE(rig.model.Stored().empty());
  EXPECT_TRUE(rig.Errors().empty()) << rig.Errors().front();
}

// Every fault ends with one box, a failed result and the track log as it was.
TEST(SyrideE2e, FaultsEndCleanly) {
  struct Case {
    const char* what;
    Command command;
    SyrideFault fault;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"silent instrument", Command::Product, {SyrideFault::Kind::Silence}, "Get GPS product data: No valid USB response"},
      {"silence mid-flight", Command::Flight, {SyrideFault::Kind::Stall, 5}, "Read GPS track log: No valid USB response"},
      {"corrupted report", Command::Flight, {SyrideFault::Kind::Corrupt, 3}, "Read GPS track log: Data error (bad checksum)"},
      {"unplugged", Command::Flight, {SyrideFault::Kind::Unplug, 4}, "Read GPS track log: USB read error (device removed?)"},
      {"foreign answer", Command::FlightList, {SyrideFault::Kind::Refuse},
       "Read GPS track list: Unsupported record (answer 7F to command 02)"},
      {"corrupted task", Command::Task, {SyrideFault::Kind::Corrupt, 0}, "Read GPS track log: Data error (bad checksum)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SyrideModelConfig config;
    config.flights = {ShortFlight(UnixToGarminTime(1700000000), 200)};
    config.task = kTask;
    config.faults[c.command] = c.fault;
    Rig rig(config);
    EXPECT_LT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead), 0);
    EXPECT_EQ(rig.Errors(), std::vector<std::string>{c.error});
    EXPECT_EQ(rig.log.points.size(), 3u);
    EXPECT_FALSE(rig.log.task);
  }
  // An abort while the instrument is silent in the middle of a flight.
  sim::SyrideModelConfig config;
  config.flights = {ShortFlight(UnixToGarminTime(1700000000), 200)};
  config.faults[Command::Flight] = {SyrideFault::Kind::Stall, 2};
  Rig rig(config);
  EXPECT_LT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, nullptr, 300ms), 0);
  EXPECT_TRUE(rig.Errors().empty()) << rig.Errors().front();
  EXPECT_EQ(rig.ui.StatusTexts().back(), "Transfer aborted");
  EXPECT_EQ(rig.log.points.size(), 3u);
}

// An instrument that is not there is looked for once a second within the connect budget; one
// the user may not open is reported at once, with the message that names the udev rule.
TEST(SyrideE2e, OpenFailures) {
  Rig absent({});
  absent.openFailure = HidOpenFailure::NotFound;
  absent.framework.connectSeconds = 2;
  EXPECT_LT(absent.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  EXPECT_EQ(absent.opens, 2);
  EXPECT_EQ(absent.Errors(), std::vector<std::string>{"Connecting to GPS: Could not open USB port"});

  Rig denied({});
  denied.openFailure = HidOpenFailure::NoPermission;
  EXPECT_LT(denied.Run(AccessType::ReadWaypoints, CompleteWaypointsRead), 0);
  EXPECT_EQ(denied.opens, 1);
  EXPECT_EQ(denied.Errors(), std::vector<std::string>{"Connecting to GPS: No permission (rule)"});

  // hidapi itself, where no instrument is plugged in.
  if (FindHidDevice(syride::kUsbVendor, syride::kUsbProduct).empty()) {
    EXPECT_EQ(OpenHidDevice(syride::kUsbVendor, syride::kUsbProduct, syride::kUdevRuleFile).failure,
              HidOpenFailure::NotFound);
  }
}

// The command line's SYRIDE: a download saved as IGC, and an unplugged instrument that ends
// with exit code 1 and no file.
TEST(SyrideUnattended, IgcSaveAndFailedTransfer) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-syride-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::SyrideModelConfig config;
    config.flights = {ShortFlight(UnixToGarminTime(1700000000), 50)};
    if (broken) config.faults[Command::Flight] = {SyrideFault::Kind::Unplug, 3};
    sim::SyrideModel model(config);
    syride::SyrideOpener() = [&model] {
      HidOpenResult opened;
      opened.device = std::make_unique<Rig::Forward>(model);
      return opened;
    };
    testing::ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{0});
    CompetitionState competition;
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    const fs::path out = dir / (broken ? "broken" : "saved");
    fs::create_directories(out);
    ParseResult parsed =
        ParseCommandLine("/GPS=SYRIDE /IGC_LOG=" + out.string() + "/ /EXIT /WIN=0", ui, handlers);
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), broken ? 1 : 0)
        << (ui.StatusTexts().empty() ? std::string() : ui.StatusTexts().back());
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out)) ++files;
    EXPECT_EQ(files, broken ? 0u : 1u);
  }
  syride::SyrideOpener() = syride::OpenSyrideDevice;
  fs::remove_all(dir);
}

// The same download through the kernel: a virtual HID device made with /dev/uhid, found and
// opened by hidapi's hidraw back end by its vendor and product.
TEST(SyrideUhid, DownloadThroughARealHidrawDevice) {
  sim::SyrideModelConfig config;
  config.flights = {ShortFlight(UnixToGarminTime(1700000000), 300)};
  sim::SyrideModel model(config);
  sim::UhidBridge device(model, syride::kUsbVendor, syride::kUsbProduct, "Logwell virtual SYS-Nav");
  if (!device.Ok()) {
    GTEST_SKIP() << "no virtual HID device can be made here (" << device.Error()
                 << "); it needs the uhid kernel module and write access to /dev/uhid";
  }
  // The kernel announces the device in /sys at once; its /dev node comes from devtmpfs, which a
  // container's own /dev does not follow.
  std::string path;
  for (int i = 0; i < 60 && path.empty(); ++i) {
    path = FindHidDevice(syride::kUsbVendor, syride::kUsbProduct);
    if (path.empty()) std::this_thread::sleep_for(50ms);
  }
  if (path.empty()) GTEST_SKIP() << "the virtual HID device got no hidraw device (is hidraw built into this kernel?)";
  for (int i = 0; i < 60 && !fs::exists(path); ++i) std::this_thread::sleep_for(50ms);
  if (!fs::exists(path)) GTEST_SKIP() << "the kernel made " << path << " but no device node appeared (static /dev)";
  ::unsetenv("LOGWELL_SYRIDE_USB_ID");
  AccessTable table;
  testing::ScriptedUi ui;
  AccessFramework framework{table};
  framework.connectSeconds = 5;  // the hidraw node appears shortly after the device is made
  TrackLog log;
  framework.targets.takeOverTrackLog = [&](TrackDownload&& download) { TakeOverDownload(log, std::move(download.log), ui); };
  FamilyEnvironment context;
  context.commandLineTracks = [] { return std::vector<int>{0}; };
  syride::RegisterSyrideWorkersWith(table, context, syride::OpenSyrideDevice);
  std::promise<int> done;
  auto finished = done.get_future();
  ASSERT_EQ(framework.StartCommandAccess("Test", &ui, AccessType::ReadTrackLog, ProtocolType::Syride, 0,
                                         [&](AccessBlock& block) {
                                           const int result = block.result;
                                           CompleteTrackLogRead(block);
                                           done.set_value(result);
                                         }),
            0);
  const int result = finished.get();
  framework.WaitForGpsAccessEnd();
  std::string boxes;
  for (const auto& e : ui.Boxes()) boxes += e.caption + ": " + e.text + "\n";
  ASSERT_EQ(result, 300) << boxes;
  ExpectEveryFix(log.points, config.flights[0]);
}

}  // namespace
}  // namespace logwell
