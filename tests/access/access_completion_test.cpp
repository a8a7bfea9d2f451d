// The completion routines on their own: a block as a worker leaves it, the busy flag as the
// program left it, and what reaches the program's data and the main window.
#include "access/access_completion.h"

#include <gtest/gtest.h>

#include "access/access_framework.h"

namespace logwell {
namespace {

class CompletionTest : public ::testing::Test {
 protected:
  CompletionTest() {
    CompletionTargets& t = framework.targets;
    t.takeOverTrackLog = [this](TrackDownload&& d) {
      calls.push_back("track " + std::to_string(d.log.points.size()) + " " + d.log.source.InstrumentName());
      download = std::move(d);
    };
    t.replaceWaypoints = [this](WaypointDownload&& d) {
      calls.push_back("waypoints " + std::to_string(d.waypoints.size()));
    };
    t.takeOverAirspace = [this](AccessBlock&) { calls.push_back("airspace"); };
    t.markPilotIdsWritten = [this] { calls.push_back("ids written"); };
    t.showView = [this](AccessView view) {
      calls.push_back("view " + std::to_string(static_cast<int>(view)));
    };
    t.postUnattendedDone = [this](bool ok) { calls.push_back(ok ? "unattended 1" : "unattended 0"); };
    t.postCompetitionDone = [this](bool ok) { calls.push_back(ok ? "competition 1" : "competition 0"); };
    block.framework = &framework;
    block.points.resize(4);
    block.waypoints.resize(3);
    block.source.SetInstrumentName("Flytec");
  }

  // Runs `completion` as a worker would, with the busy flag at `busy` and `result` set.
  void Complete(void (*completion)(AccessBlock&), int result, int busy) {
    framework.gpsBusy = busy;
    block.result = result;
    completion(block);
    EXPECT_EQ(framework.gpsBusy, 0);
  }

  AccessTable table;
  AccessFramework framework{table};
  AccessBlock block;
  std::vector<std::string> calls;
  TrackDownload download;
};

using Calls = std::vector<std::string>;

TEST_F(CompletionTest, TrackLogReadTakesTheDownloadOver) {
  block.task = TaskDeclaration{};
  block.protocolType = ProtocolType::Flymaster;
  block.foundCompId = 17;
  Complete(CompleteTrackLogRead, 0, 1);
  EXPECT_EQ(calls, (Calls{"track 4 Flytec", "view 0"}));
  EXPECT_TRUE(block.points.empty());  // taken over, not copied
  EXPECT_FALSE(block.task.has_value());
  EXPECT_TRUE(download.log.task.has_value());
  EXPECT_EQ(download.log.protocol, ProtocolType::Flymaster);
  EXPECT_EQ(download.foundCompId, 17);
  EXPECT_EQ(framework.exitCode, 0);
}

TEST_F(CompletionTest, TrackLogReadAfterAbortDropsTheResult) {
  Complete(CompleteTrackLogRead, 0, 0);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(block.points.size(), 4U);  // left for the block's release
  EXPECT_EQ(framework.exitCode, 0);
}

TEST_F(CompletionTest, TrackLogReadReportsToTheUnattendedRunOrTheCompetition) {
  framework.targets.unattended = true;
  framework.targets.exitAfterRun = true;
  framework.targets.competitionMode = true;  // an unattended run reports only as such
  Complete(CompleteTrackLogRead, 1, 1);
  EXPECT_EQ(calls, (Calls{"track 4 Flytec", "unattended 1"}));

  calls.clear();
  framework.targets.unattended = false;
  block.points.resize(2);
  Complete(CompleteTrackLogRead, 0, 1);
  EXPECT_EQ(calls, (Calls{"track 2 Flytec", "view 0", "competition 1"}));

  calls.clear();
  Complete(CompleteTrackLogRead, -1, 1);
  EXPECT_EQ(calls, (Calls{"competition 0"}));
  EXPECT_EQ(framework.exitCode, 1);
}

TEST_F(CompletionTest, WaypointsReadTreatsEveryNonZeroResultAsFailure) {
  Complete(CompleteWaypointsRead, 2, 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(framework.exitCode, 1);

  framework.exitCode = 0;
  framework.targets.unattended = true;
  Complete(CompleteWaypointsRead, 0, 1);
  EXPECT_EQ(calls, (Calls{"waypoints 3", "view 1", "unattended 1"}));
  EXPECT_TRUE(block.waypoints.empty());
  EXPECT_EQ(framework.exitCode, 0);
}

TEST_F(CompletionTest, OtherRoutinesFollowTheirResults) {
  struct Case {
    void (*completion)(AccessBlock&);
    int result;
    int busy;
    bool competition;
    Calls calls;
    int exitCode;
  };
  const Case cases[] = {
      {CompleteCtrRead, 0, 1, false, {"airspace", "view 2"}, 0},
      {CompleteCtrRead, 0, 0, false, {}, 0},     // aborted: the list is dropped
      {CompleteCtrRead, 1, 1, false, {}, 0},
      {CompleteWaypointsWritten, 0, 1, true, {"ids written"}, 0},
      {CompleteWaypointsWritten, 0, 1, false, {}, 0},
      {CompleteWaypointsWritten, -1, 1, true, {}, 1},
      {CompleteWaypointsErased, -1, 1, false, {}, 1},
      {CompleteWaypointsErased, 0, 1, false, {}, 0},
      {CompleteDone, -1, 1, false, {}, 0},
      {CompleteFlightListRead, 0, 1, false, {}, 0},  // only unattended runs hear of it
      {CompleteUnattendedDone, 0, 1, false, {"unattended 1"}, 0},
      {CompleteUnattendedDone, 3, 1, false, {"unattended 1"}, 0},
      {CompleteUnattendedDone, -3, 1, false, {"unattended 0"}, 1},
  };
  int index = 0;
  for (const Case& c : cases) {
    calls.clear();
    framework.exitCode = 0;
    framework.targets.competitionMode = c.competition;
    Complete(c.completion, c.result, c.busy);
    EXPECT_EQ(calls, c.calls) << "case " << index;
    EXPECT_EQ(framework.exitCode, c.exitCode) << "case " << index;
    ++index;
  }
}

TEST_F(CompletionTest, FlightListSucceedsOnlyWhileStillWanted) {
  framework.targets.unattended = true;
  Complete(CompleteFlightListRead, 0, 0);
  Complete(CompleteFlightListRead, 2, 1);
  EXPECT_EQ(calls, (Calls{"unattended 0", "unattended 1"}));
}

}  // namespace
}  // namespace logwell
