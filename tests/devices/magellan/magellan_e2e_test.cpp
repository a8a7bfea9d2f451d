// The Magellan host against the virtual receiver: track and waypoint downloads, the waypoint
// upload, and the faults of the line, each leaving the track log as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "devices/magellan/magellan_rig.h"
#include "sim/flight_generator.h"
#include "support/scripted_ui.h"
#include "track/formats/magellan_log.h"
#include "wire/magellan/magellan_sentences.h"

namespace logwell::testing {
namespace {

using namespace std::chrono_literals;

std::vector<TrackPoint> Flight() {
  sim::FlightPlan plan;
  plan.duration = std::chrono::minutes(20);
  plan.fixInterval = std::chrono::seconds(20);
  plan.launchLatitude = -33.9;    // south and west, so that the hemispheres are exercised
  plan.launchLongitude = -70.5;
  return sim::GenerateFlight(plan);
}

std::vector<Waypoint> TwoWaypoints() {
  std::vector<Waypoint> waypoints(2);
  waypoints[0].latitude = sim::DegreesToSemicircles(46.5);
  waypoints[0].longitude = sim::DegreesToSemicircles(8.25);
  waypoints[0].altitude = 1203;
  waypoints[0].SetId("FIESCH");
  waypoints[0].SetDescription("west");
  waypoints[1].latitude = sim::DegreesToSemicircles(-33.9);
  waypoints[1].longitude = sim::DegreesToSemicircles(18.4);
  waypoints[1].altitude = 10;
  waypoints[1].SetId("CAPE");
  return waypoints;
}

sim::MagellanModelConfig Config() {
  sim::MagellanModelConfig config;
  config.trackSentences = sim::MagellanTrackSentences(Flight());
  config.waypointSentences = sim::MagellanWaypointSentences(TwoWaypoints());
  return config;
}

// What the track file reader makes of the same sentences.
std::vector<TrackPoint> Expected(const sim::MagellanModelConfig& config) {
  std::string text;
  for (const std::string& s : config.trackSentences) text += s + "\r\n";
  ScriptedUi ui;
  return ReadMagellanLog(text, ui)->points;
}

void ExpectLeftAsFound(const MagellanRig& rig) {
  EXPECT_FALSE(rig.model->Handshake());
  EXPECT_EQ(rig.model->Rate(), 9600);
}

TEST(MagellanDownload, TrackInHandshakeModeAtTheFastRate) {
  const auto config = Config();
  MagellanRig rig(config);
  const auto expected = Expected(config);
  ASSERT_EQ(expected.size(), Flight().size());
  EXPECT_EQ(rig.ReadTrackLog(), static_cast<int>(expected.size()));
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points, expected);
  EXPECT_EQ(rig.log.points.front().time, Flight().front().time);
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Magellan);
  EXPECT_EQ(rig.log.source.timeIsUtc, 0u);
  EXPECT_EQ(rig.log.source.InstrumentId(), "Magellan: 33,5.22");
  const auto commands = rig.model->Commands();
  for (const char* command : {"PMGNCMD,HANDON", "PMGNCMD,BAUD,57600", "PMGNCMD,TRACK,2", "PMGNCMD,BAUD,9600",
                              "PMGNCMD,HANDOFF"}) {
    EXPECT_NE(std::find(commands.begin(), commands.end(), command), commands.end()) << command;
  }
  ExpectLeftAsFound(rig);
}

TEST(MagellanDownload, WaypointsAndUpload) {
  MagellanRig rig(Config());
  ASSERT_EQ(rig.ReadWaypoints(), 0);
  ASSERT_EQ(rig.waypoints.size(), 2u);
  EXPECT_EQ(rig.waypoints[0].Id(), "FIESCH");
  EXPECT_EQ(rig.waypoints[0].Description(), "west");
  EXPECT_EQ(rig.waypoints[0].altitude, 1203);
  EXPECT_LT(rig.waypoints[1].latitude, 0);
  ExpectLeftAsFound(rig);

  // The receiver's acknowledgement of the first waypoint arrives damaged: it is sent again.
  auto config = Config();
  // Its acknowledgements in order: the version request, the rate switch, the first waypoint.
  const sim::Fault none{sim::Fault::Kind::Delay};
  config.faultsFor["PMGNCSM"] = {none, none, sim::Fault{sim::Fault::Kind::CorruptChecksum}};
  MagellanRig upload(std::move(config));
  auto waypoints = TwoWaypoints();
  EXPECT_EQ(upload.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &waypoints), 2);
  EXPECT_TRUE(upload.Errors().empty());
  const auto uploaded = upload.model->Uploaded();
  ASSERT_EQ(uploaded.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string sent = magellan::WaypointSentence(TwoWaypoints()[i]);
    EXPECT_EQ("$" + uploaded[i], sent.substr(0, sent.rfind('*')));
  }
  EXPECT_TRUE(upload.model->UploadEnded());
  ExpectLeftAsFound(upload);
}

sim::Fault Fault(sim::Fault::Kind kind, std::size_t offset = 0) {
  sim::Fault fault{kind};
  fault.offset = offset;
  return fault;
}

TEST(MagellanDownload, DamagedSentencesNeverBecomeFixes) {
  struct Case {
    const char* name;
    const char* sentence;
    sim::Fault fault;
    bool handshake;
    const char* error;  // empty: asked for again, the download succeeds
  };
  const Case cases[] = {
      {"wrong checksum", "PMGNTRK:5", Fault(sim::Fault::Kind::CorruptChecksum), true, ""},
      {"changed byte", "PMGNTRK:7", Fault(sim::Fault::Kind::CorruptByte, 20), true, ""},
      {"every sentence damaged once", "PMGNTRK", Fault(sim::Fault::Kind::CorruptChecksum), true, ""},
      {"sentence lost", "PMGNTRK:3", Fault(sim::Fault::Kind::DropLine), true, ""},
      {"garbage before a sentence", "PMGNTRK:2", Fault(sim::Fault::Kind::Garbage), true, ""},
      {"wrong checksum without handshake", "PMGNTRK:5", Fault(sim::Fault::Kind::CorruptChecksum), false,
       "Bad checksum in data block"},
      {"receiver falls silent", "PMGNTRK:10", Fault(sim::Fault::Kind::Silence), true, "Timeout receiving data"},
      {"hang-up mid-sentence", "PMGNTRK:10", Fault(sim::Fault::Kind::HangUp, 20), true, "*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = Config();
    const auto expected = Expected(config);
    config.handshake = c.handshake;
    if (std::string(c.sentence) == "PMGNTRK") {
      config.faultsFor["PMGNTRK"].assign(config.trackSentences.size(), c.fault);
    } else {
      config.faultsFor[c.sentence] = {c.fault};
    }
    MagellanRig rig(std::move(config));
    rig.log.points.resize(3);
    const int result = rig.ReadTrackLog();
    if (*c.error == '\0') {
      EXPECT_EQ(result, static_cast<int>(expected.size()));
      EXPECT_EQ(rig.log.points, expected);
      EXPECT_TRUE(rig.Errors().empty());
      ExpectLeftAsFound(rig);
      continue;
    }
    EXPECT_LT(result, 0);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    if (std::string(c.error) != "*") {
      EXPECT_EQ(errors[0], c.error);
    }
    EXPECT_EQ(rig.log.points.size(), 3u);
  }
}

TEST(MagellanDownload, AbortStopsTheReceiver) {
  auto config = Config();
  sim::Fault hold{sim::Fault::Kind::Delay};
  hold.delay = 2500ms;
  config.faultsFor["PMGNTRK:5"] = {hold};
  MagellanRig rig(std::move(config));
  rig.log.points.resize(3);
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto commands = rig.model->Commands();
    if (std::find(commands.begin(), commands.end(), "PMGNCMD,TRACK,2") != commands.end()) break;
    std::this_thread::sleep_for(20ms);
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_EQ(rig.log.points.size(), 3u);
  // Once it has sent the held sentence, the receiver hears the stop, its rate and handshake off.
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < until && rig.model->Handshake()) std::this_thread::sleep_for(20ms);
  ExpectLeftAsFound(rig);
}

}  // namespace
}  // namespace logwell::testing
