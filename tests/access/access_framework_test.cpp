#include "access/access_framework.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <system_error>

#include "access/worker_frame.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

// A port that tells the test when it has been closed.
class WatchedPort final : public Port {
 public:
  explicit WatchedPort(std::shared_ptr<std::atomic<bool>> closed) : closed_(std::move(closed)) {}
  ~WatchedPort() override { *closed_ = true; }
  bool Write(std::span<const std::uint8_t>) override { return true; }
  int Read(std::span<std::uint8_t>, std::chrono::milliseconds) override { return 0; }
  bool Purge() override { return true; }
  bool Configure(int, bool) override { return true; }

 private:
  std::shared_ptr<std::atomic<bool>> closed_;
};

WorkerSteps Steps(std::function<int(AccessBlock&)> run,
                  std::function<bool(AccessBlock&)> openPort = {}) {
  WorkerSteps steps;
  steps.openPort = std::move(openPort);
  steps.run = std::move(run);
  return steps;
}

UiEvent ErrorBox(std::string text, std::string caption) {
  return {UiEventKind::Error, std::move(caption), std::move(text)};
}

class AccessFrameworkTest : public ::testing::Test {
 protected:
  AccessFrameworkTest() {
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      deliveredPoints = download.log.points.size();
      ++deliveries;
    };
    framework.targets.postUnattendedDone = [this](bool success) { posted.push_back(success); };
  }

  void RegisterSteps(AccessType access, ProtocolType protocol, WorkerSteps steps) {
    ASSERT_TRUE(table.Register(access, protocol, FrameWorker(std::move(steps))));
  }

  // A track-log worker that opens a watched port, fills three points and pauses until it is
  // aborted (or a minute has passed).
  void RegisterPausingTrackReader() {
    RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec,
                  {.openPort =
                       [this](AccessBlock& block) {
                         block.port = std::make_unique<WatchedPort>(portClosed);
                         return true;
                       },
                   .run = [this](AccessBlock& block) {
                     block.points.resize(3);
                     running.set_value();
                     return block.Pause(60s) ? 0 : -1;
                   }});
  }

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework{table};
  std::atomic<int> deliveries{0};
  std::size_t deliveredPoints = 0;
  std::vector<bool> posted;
  std::promise<void> running;
  std::shared_ptr<std::atomic<bool>> portClosed = std::make_shared<std::atomic<bool>>(false);
};

struct RefusalCase {
  int access;
  int protocol;
  const char* text;
};

TEST_F(AccessFrameworkTest, RefusesBadOrEmptyCellsBeforeTakingAnything) {
  RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec, Steps([](AccessBlock&) { return 0; }));
  int threadsStarted = 0;
  int traceCleared = 0;
  framework.startThread = [&](std::function<void()> body) {
    ++threadsStarted;
    return std::jthread(std::move(body));
  };
  framework.clearTrace = [&] { ++traceCleared; };

  const RefusalCase cases[] = {
      {11, 4, "Bad access type"},
      {11, 21, "Bad access type"},  // the access type is checked first
      {-1, 4, "Bad access type"},
      {1, 21, "Bad protocol type"},
      {4, 0, "Unsupported access function"},  // erase track log on a Garmin: no such cell
      {1, 12, "Unsupported access function"},  // the Flymaster family is not built
  };
  for (const auto& [access, protocol, text] : cases) {
    ui.Clear();
    framework.exitCode = 1;
    std::vector<Waypoint> upload(2);
    EXPECT_EQ(framework.StartGpsAccess(&ui, static_cast<AccessType>(access),
                                       static_cast<ProtocolType>(protocol), 0, CompleteDone,
                                       &upload),
              -1);
    EXPECT_EQ(ui.Boxes(), std::vector{ErrorBox(text, "GPS access")}) << access << "/" << protocol;
    EXPECT_EQ(framework.exitCode, 0);
    EXPECT_EQ(upload.size(), 2U);  // the caller keeps its items
    EXPECT_FALSE(framework.AccessCurrent());
  }
  EXPECT_EQ(threadsStarted, 0);
  EXPECT_EQ(traceCleared, 0);
}

TEST_F(AccessFrameworkTest, SecondStartIsRefusedAndAbortDropsTheResult) {
  RegisterPausingTrackReader();
  framework.gpsBusy = 1;
  ASSERT_EQ(framework.StartGpsAccess(&ui, AccessType::ReadTrackLog, ProtocolType::Flytec, 0,
                                     CompleteTrackLogRead),
            0);
  running.get_future().wait();

  EXPECT_EQ(framework.StartGpsAccess(&ui, AccessType::ReadTrackLog, ProtocolType::Flytec, 0,
                                     CompleteTrackLogRead),
            -1);
  EXPECT_EQ(ui.Boxes(), std::vector{ErrorBox("Port/USB is being used", "GPS access")});
  EXPECT_TRUE(framework.AccessCurrent());  // the running access goes on
  EXPECT_FALSE(*portClosed);

  // The abort button clears the busy flag, then aborts; the worker wakes from its pause.
  framework.gpsBusy = 0;
  EXPECT_EQ(framework.AbortGpsAccess(&ui), 0);
  framework.WaitForGpsAccessEnd();
  EXPECT_FALSE(framework.AccessCurrent());

  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Aborting transfer", "Transfer aborted"}));
  EXPECT_EQ(deliveries, 0);  // the three points went with the block
  EXPECT_TRUE(*portClosed);
  EXPECT_EQ(framework.gpsBusy, 0);
  EXPECT_EQ(framework.exitCode, 1);
  EXPECT_EQ(ui.Boxes().size(), 1U);
}

TEST_F(AccessFrameworkTest, AbortWithNothingCurrentIsRefused) {
  EXPECT_EQ(framework.AbortGpsAccess(&ui), -1);
  EXPECT_EQ(ui.Boxes(), std::vector{ErrorBox("Port not in use", "Abort GPS access")});
  EXPECT_TRUE(ui.StatusTexts().empty());
}

TEST_F(AccessFrameworkTest, WorkerThatEndsBeforeTheHandlerReturnsStillDelivers) {
  std::atomic<int> busySeenByCompletion{-1};
  RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec,
                Steps([](AccessBlock& block) {
                  block.points.resize(5);
                  block.source.kind = TrackSourceKind::Flytec;
                  return 1;  // a positive result is a success for track logs
                }));
  framework.targets.takeOverTrackLog = [&](TrackDownload&& download) {
    busySeenByCompletion = framework.gpsBusy.load();
    deliveredPoints = download.log.points.size();
    EXPECT_EQ(download.log.source.kind, TrackSourceKind::Flytec);
    EXPECT_EQ(download.log.protocol, ProtocolType::Flytec);
    ++deliveries;
  };

  // The handler marks the busy flag first; here it returns only after the worker has ended.
  ASSERT_EQ(framework.StartCommandAccess("Read track log", &ui, AccessType::ReadTrackLog,
                                         ProtocolType::Flytec, 0, CompleteTrackLogRead),
            0);
  framework.WaitForGpsAccessEnd();

  EXPECT_EQ(deliveries, 1);
  EXPECT_EQ(deliveredPoints, 5U);
  EXPECT_EQ(busySeenByCompletion, 1);
  EXPECT_EQ(framework.gpsBusy, 0);
  EXPECT_EQ(framework.exitCode, 0);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(AccessFrameworkTest, CommandHandlerRefusesWhileBusyAndClearsTheFlagOnRefusal) {
  RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec, Steps([](AccessBlock&) { return 0; }));
  framework.gpsBusy = 1;
  EXPECT_EQ(framework.StartCommandAccess("Read track log", &ui, AccessType::ReadTrackLog,
                                         ProtocolType::Flytec, 0, CompleteTrackLogRead),
            -1);
  EXPECT_EQ(framework.gpsBusy, 1);  // whoever set it keeps it

  framework.gpsBusy = 0;
  EXPECT_EQ(framework.StartCommandAccess("Read track log", &ui, AccessType::ReadTrackLog,
                                         ProtocolType::Mlr, 0, CompleteTrackLogRead),
            -1);
  EXPECT_EQ(framework.gpsBusy, 0);
  EXPECT_EQ(ui.Boxes(), (std::vector{ErrorBox("Busy GPS driver", "Read track log"),
                                     ErrorBox("Unsupported access function", "GPS access")}));
}

TEST_F(AccessFrameworkTest, FailedThreadCreationLeavesNothingBehind) {
  RegisterSteps(AccessType::WriteWaypoints, ProtocolType::GarminSerial, Steps([](AccessBlock&) { return 0; }));
  framework.startThread = [](std::function<void()>) -> std::jthread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  std::vector<Waypoint> upload(4);
  EXPECT_EQ(framework.StartCommandAccess("Upload waypoints", &ui, AccessType::WriteWaypoints,
                                         ProtocolType::GarminSerial, 0, CompleteWaypointsWritten,
                                         &upload),
            -1);
  EXPECT_EQ(ui.Boxes(), std::vector{ErrorBox("Could not create GPS access thread", "API32 call")});
  EXPECT_EQ(upload.size(), 4U);
  EXPECT_FALSE(framework.AccessCurrent());
  EXPECT_EQ(framework.gpsBusy, 0);
}

TEST_F(AccessFrameworkTest, BlockCarriesTheStartParametersAndTheUpload) {
  framework.selectedPortName = [] { return "/dev/ttyUSB0" + std::string(100, 'x'); };
  struct Seen {
    int param = 0;
    std::string portName;
    std::size_t waypoints = 0;
    int compId = 0;
    AccessType access{};
    ProtocolType protocol{};
  };
  auto seen = std::make_shared<std::vector<Seen>>();
  const auto record = [seen](AccessBlock& block) {
    seen->push_back({block.param, block.portName, block.waypoints.size(), block.foundCompId,
                     block.accessType, block.protocolType});
    return 0;
  };
  RegisterSteps(AccessType::WriteWaypoints, ProtocolType::Flymaster, Steps(record));
  RegisterSteps(AccessType::WriteWaypoints, ProtocolType::GarminUsb, Steps(record));

  std::vector<Waypoint> upload(7);
  ASSERT_EQ(framework.StartCommandAccess("Upload waypoints", &ui, AccessType::WriteWaypoints,
                                         ProtocolType::Flymaster, 1, CompleteWaypointsWritten,
                                         &upload),
            0);
  EXPECT_TRUE(upload.empty());  // the block took the items over
  framework.WaitForGpsAccessEnd();
  ASSERT_EQ(framework.StartCommandAccess("Upload waypoints", &ui, AccessType::WriteWaypoints,
                                         ProtocolType::GarminUsb, 0, CompleteWaypointsWritten),
            0);
  framework.WaitForGpsAccessEnd();

  ASSERT_EQ(seen->size(), 2U);
  EXPECT_EQ((*seen)[0].param, 1);
  EXPECT_EQ((*seen)[0].portName, ("/dev/ttyUSB0" + std::string(100, 'x')).substr(0, 80));
  EXPECT_EQ((*seen)[0].waypoints, 7U);
  EXPECT_EQ((*seen)[0].compId, -1);
  EXPECT_EQ((*seen)[0].access, AccessType::WriteWaypoints);
  EXPECT_EQ((*seen)[0].protocol, ProtocolType::Flymaster);
  EXPECT_EQ((*seen)[1].portName, "");  // Garmin USB has no port name
  EXPECT_EQ(framework.gpsBusy, 0);
}

TEST_F(AccessFrameworkTest, AccessWithoutCompletionEndsTheBusyStateItself) {
  std::promise<void> freed;
  RegisterSteps(AccessType::EraseTrackLog, ProtocolType::LogIt,
                {.openPort =
                     [this](AccessBlock& block) {
                       block.port = std::make_unique<WatchedPort>(portClosed);
                       return true;
                     },
                 .run = [](AccessBlock&) { return 0; }});
  ASSERT_EQ(framework.StartCommandAccess("Erase track log", &ui, AccessType::EraseTrackLog,
                                         ProtocolType::LogIt, 57600, nullptr),
            0);
  framework.WaitForGpsAccessEnd();
  EXPECT_TRUE(*portClosed);
  // The worker clears the flag just after freeing its block; its thread ends right after.
  for (int i = 0; i < 200 && framework.gpsBusy != 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(framework.gpsBusy, 0);
}

struct ExitCase {
  AccessType access;
  ProtocolType protocol;
  void (*completion)(AccessBlock&);
  int result;
  int exitCode;
  bool success;
};

TEST_F(AccessFrameworkTest, ExitCodeOfUnattendedAccessesFollowsTheResult) {
  const ExitCase cases[] = {
      {AccessType::ReadTrackLog, ProtocolType::Flytec, CompleteTrackLogRead, 0, 0, true},
      {AccessType::ReadTrackLog, ProtocolType::Flytec, CompleteTrackLogRead, 1, 0, true},
      {AccessType::ReadTrackLog, ProtocolType::Flytec, CompleteTrackLogRead, -2, 1, false},
      {AccessType::ReadWaypoints, ProtocolType::Flytec, CompleteWaypointsRead, 0, 0, true},
      {AccessType::ReadWaypoints, ProtocolType::Flytec, CompleteWaypointsRead, 1, 1, false},
      {AccessType::ReadFlightList, ProtocolType::Flytec, CompleteFlightListRead, 0, 0, true},
      {AccessType::ReadFlightList, ProtocolType::Flytec, CompleteFlightListRead, -1, 1, false},
      {AccessType::WriteWaypoints, ProtocolType::Flytec, CompleteUnattendedDone, 0, 0, true},
      {AccessType::WriteWaypoints, ProtocolType::Flytec, CompleteUnattendedDone, -5, 1, false},
      {AccessType::UploadCtr, ProtocolType::Flytec, CompleteUnattendedDone, -1, 1, false},
  };
  auto nextResult = std::make_shared<std::atomic<int>>(0);
  for (const AccessType access : {AccessType::ReadTrackLog, AccessType::ReadWaypoints,
                                  AccessType::ReadFlightList, AccessType::WriteWaypoints,
                                  AccessType::UploadCtr}) {
    RegisterSteps(access, ProtocolType::Flytec,
                  Steps([nextResult](AccessBlock&) { return nextResult->load(); }));
  }
  framework.targets.unattended = true;
  framework.targets.exitAfterRun = true;

  for (const ExitCase& c : cases) {
    posted.clear();
    *nextResult = c.result;
    ASSERT_EQ(framework.StartCommandAccess("Unattended run", &ui, c.access, c.protocol, 0,
                                           c.completion),
              0);
    framework.WaitForGpsAccessEnd();
    EXPECT_EQ(framework.exitCode, c.exitCode) << static_cast<int>(c.access) << " " << c.result;
    EXPECT_EQ(posted, std::vector{c.success}) << static_cast<int>(c.access) << " " << c.result;
    EXPECT_EQ(framework.gpsBusy, 0);
  }
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(AccessFrameworkTest, FaultInAStepEndsTheAccessAsAFailure) {
  RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec,
                Steps([](AccessBlock& block) -> int {
                  block.points.resize(2);
                  throw std::runtime_error("broken step");
                }));
  ASSERT_EQ(framework.StartCommandAccess("Read track log", &ui, AccessType::ReadTrackLog,
                                         ProtocolType::Flytec, 0, CompleteTrackLogRead),
            0);
  framework.WaitForGpsAccessEnd();
  EXPECT_FALSE(framework.AccessCurrent());
  EXPECT_EQ(deliveries, 0);
  EXPECT_EQ(framework.exitCode, 1);
  EXPECT_EQ(framework.gpsBusy, 0);
}

TEST_F(AccessFrameworkTest, FailedPortOpenSkipsTheSteps) {
  std::atomic<bool> stepsRan{false};
  RegisterSteps(AccessType::ReadTrackLog, ProtocolType::Flytec,
                {.openPort = [](AccessBlock&) { return false; },
                 .run = [&](AccessBlock&) {
                   stepsRan = true;
                   return 0;
                 }});
  ASSERT_EQ(framework.StartCommandAccess("Read track log", &ui, AccessType::ReadTrackLog,
                                         ProtocolType::Flytec, 0, CompleteTrackLogRead),
            0);
  framework.WaitForGpsAccessEnd();
  EXPECT_FALSE(stepsRan);
  EXPECT_EQ(framework.exitCode, 1);
}

TEST_F(AccessFrameworkTest, DestroyingTheFrameworkStopsARunningWorker) {
  RegisterPausingTrackReader();
  auto own = std::make_unique<AccessFramework>(table);
  own->gpsBusy = 1;
  ASSERT_EQ(own->StartGpsAccess(&ui, AccessType::ReadTrackLog, ProtocolType::Flytec, 0,
                                CompleteTrackLogRead),
            0);
  running.get_future().wait();
  own.reset();  // aborts and joins; the pause of a minute ends at once
  EXPECT_TRUE(*portClosed);
}

}  // namespace
}  // namespace logwell
