// Downloads from a virtual Flymaster of each generation on a pseudo-terminal, through the access
// framework, the serial code and the registered workers.
#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <thread>

#include "access/access_completion.h"
#include "devices/family_rig.h"
#include "devices/flymaster/flymaster_workers.h"
#include "sim/flight_generator.h"
#include "sim/flymaster/flymaster_model.h"
#include "sim/virtual_instrument.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/igc/igc_commands.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

std::vector<TrackPoint> Flight(GarminTime start, int minutes, std::uint32_t seed) {
  sim::FlightPlan plan;
  plan.seed = seed;
  plan.startTime = start;
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(1);
  plan.courseLengthKm = 10.0;
  return sim::GenerateFlight(plan);
}

GarminTime At(int day, int hour) { return CalendarToGarminTime(CalendarTime{2024, 6, 0, day, hour, 0, 0}); }

// A virtual Flymaster and the program around the family's workers.
struct Rig : testing::FamilyRig<sim::FlymasterModel> {
  explicit Rig(sim::FlymasterModelConfig config)
      : FamilyRig(std::make_unique<sim::FlymasterModel>(std::move(config)), ProtocolType::Flymaster,
                  flymaster::RegisterFlymasterWorkers) {}
};

sim::FlymasterModelConfig Config(bool older) {
  sim::FlymasterModelConfig config;
  config.older = older;
  config.model = older ? "F1" : "GpsSD";
  config.flights = {Flight(At(3, 10), 20, 1), Flight(At(3, 10) + 1800, 30, 2), Flight(At(4, 9), 10, 3)};
  config.waypoints = {{46.5, 8.25, 1203, "FIESCH west", true}, {-33.9, 18.4, 10, "CAPE", false}};
  return config;
}

// Every fix of the chosen flights arrives with its time, position and both altitudes.
TEST(FlymasterE2e, BothGenerationsDeliverEveryFix) {
  for (const bool older : {false, true}) {
    SCOPED_TRACE(older ? "older" : "current");
    const auto config = Config(older);
    Rig rig(config);
    rig.context.commandLineTracks = [] { return std::vector<int>{0, 1}; };
    ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, older ? 0 : 1),
              static_cast<int>(config.flights[0].size() + config.flights[1].size()))
        << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
    std::vector<TrackPoint> expected = config.flights[0];
    expected.insert(expected.end(), config.flights[1].begin(), config.flights[1].end());
    ASSERT_EQ(rig.log.points.size(), expected.size());
    int largestPosition = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const TrackPoint& got = rig.log.points[i];
      EXPECT_EQ(got.time, expected[i].time);
      largestPosition = std::max({largestPosition, std::abs(got.latitude - expected[i].latitude),
                                  std::abs(got.longitude - expected[i].longitude)});
      // The instruments keep whole metres.
      EXPECT_EQ(got.gpsAltitude, 10 * std::lround(expected[i].gpsAltitude / 10.0));
      EXPECT_NEAR(got.pressureAltitude, expected[i].pressureAltitude, 1);
    }
    EXPECT_LE(largestPosition, 100);  // half of a thousandth of a minute
    EXPECT_EQ(rig.log.points[0].segmentStart, 1u);
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Flymaster);
  }
}

// An F1 that answers only its own identification request ("$PFMSNP,*3A" in Flymaster's F1
// document) is still found, with its serial number and firmware read from their places.
TEST(FlymasterE2e, F1AnsweringOnlyItsOwnIdentification) {
  auto config = Config(true);
  config.model = "Flymaster F1";
  config.software = "1.16";
  config.serial = "4711";
  config.answersPbrsnp = false;
  Rig rig(config);
  rig.framework.connectSeconds = 6;  // three rounds: "$PBRSNP", then "$PFMSNP"
  rig.context.commandLineTracks = [] { return std::vector<int>{2}; };
  ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, 0), static_cast<int>(config.flights[2].size()))
      << (rig.Errors().empty() ? std::string("no box") : rig.Errors().front());
  std::vector<std::string> products;
  for (const auto& e : rig.ui.Events()) {
    if (e.kind == testing::UiEventKind::Product) products.push_back(e.text);
  }
  EXPECT_EQ(products, std::vector<std::string>{"Flymaster Flymaster F1  SN4711  SW1.16"});
}

TEST(FlymasterE2e, FlightListAndWaypoints) {
  Rig rig(Config(false));
  rig.context.unattended = true;
  ASSERT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead, 1), 0);
  ASSERT_EQ(rig.Notified().size(), 1u);
  EXPECT_NE(rig.Notified()[0].find("24.06.03,10:30:00,0:30:00"), std::string::npos) << rig.Notified()[0];

  ASSERT_EQ(rig.Run(AccessType::ReadWaypoints, CompleteWaypointsRead, 0), 0);
  ASSERT_EQ(rig.waypoints.size(), 2u);
  EXPECT_EQ(rig.waypoints[0].Id(), "FIESCH");
  EXPECT_EQ(rig.waypoints[0].type, 1);
  EXPECT_LT(rig.waypoints[1].latitude, 0);
}

// Uploads are answered by the name as sent (software 1.14) or "ACK" and the name upper-cased
// with blanks for everything but letters and digits (every other version).
TEST(FlymasterE2e, WaypointUploadAnswersOfBothFirmwares) {
  for (const std::string software : {"1.14", "1.21"}) {
    SCOPED_TRACE(software);
    auto config = Config(false);
    config.software = software;
    Rig rig(config);
    std::vector<Waypoint> upload(2);
    upload[0].SetDescription("Fiesch-west top landing");
    upload[0].latitude = 554000000;
    upload[0].longitude = -97000000;
    upload[0].altitude = 2200;
    upload[0].type = 1;
    upload[1].SetDescription("b1");
    EXPECT_EQ(rig.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, 0, &upload), 0);
    EXPECT_TRUE(rig.Errors().empty()) << (rig.Errors().empty() ? "" : rig.Errors().front());
    const auto names = rig.model->WaypointNamesReceived();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "Fiesch-west top ");
    EXPECT_EQ(names[1], "b1              ");
  }
}

// The older instruments are switched off after a read when the command line or the menu asks;
// the current ones have no such command.
TEST(FlymasterE2e, PowerOffAfterTheOlderGenerationsRead) {
  struct Case {
    bool older;
    bool commandLine;
    bool menu;
    bool off;
  };
  for (const Case c : {Case{true, true, false, true}, Case{true, false, true, true}, Case{true, false, false, false},
                       Case{false, true, true, false}}) {
    SCOPED_TRACE(::testing::Message() << c.older << c.commandLine << c.menu);
    Rig rig(Config(c.older));
    rig.context.commandLineTracks = [] { return std::vector<int>{2}; };
    rig.context.commandLinePowerOff = c.commandLine;
    rig.context.menuPowerOff = [&c](ProtocolType protocol) { return c.menu && protocol == ProtocolType::Flymaster; };
    ASSERT_GT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, c.older ? 0 : 1), 0);
    bool off = false;
    for (int i = 0; i < 50 && off != c.off; ++i) {
      off = rig.model->PoweredOff();
      if (off != c.off) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(off, c.off);
  }
}

// Real flights from several loggers come back through both generations: times and GPS
// altitudes exactly, positions to the thousandth of a minute both sides keep, pressure altitude
// to the metre that the tenths of a hectopascal allow.
TEST(FlymasterE2e, RealFlightsComeBackThroughBothGenerations) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  for (const char* name : {"2024-02-24-XTR-942E94934478-01.IGC", "654G6NG1.IGC", "MurphyJ-2022-03-26.igc"}) {
    testing::ScriptedUi reading;
    const auto file = igc::ReadIgcFile(fixtures / "igc" / name, reading);
    ASSERT_TRUE(file.has_value()) << name;
    const std::vector<TrackPoint>& served = file->points;
    for (const bool older : {false, true}) {
      SCOPED_TRACE(std::string(name) + (older ? " older" : " current"));
      auto config = Config(older);
      config.flights = {served};
      Rig rig(config);
      rig.context.commandLineTracks = [] { return std::vector<int>{0}; };
      ASSERT_EQ(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, older ? 0 : 1),
                static_cast<int>(served.size()));
      int position = 0;
      int pressure = 0;
      for (std::size_t i = 0; i < served.size(); ++i) {
        const TrackPoint& got = rig.log.points[i];
        ASSERT_EQ(got.time, served[i].time) << i;
        ASSERT_EQ(got.gpsAltitude, served[i].gpsAltitude) << i;
        position = std::max({position, std::abs(got.latitude - served[i].latitude),
                             std::abs(got.longitude - served[i].longitude)});
        pressure = std::max(pressure, std::abs(got.pressureAltitude - served[i].pressureAltitude));
      }
      EXPECT_LE(position, 100);  // half a thousandth of a minute in semicircles
      EXPECT_LE(pressure, 10);   // tenths of a metre
      std::printf("%s %s: %zu fixes, largest position difference %d semicircles, pressure %d dm\n", name,
                  older ? "older" : "current", served.size(), position, pressure);
    }
  }
}

// Pilot data, the altitude alarm and the identities reach the instrument as one sentence each;
// the B1 NAV takes the identities only, every other model everything but them.
TEST(FlymasterE2e, PilotDataByModel) {
  PilotData pilot;
  pilot.pilotName = "Anna Muster-Rieder";  // longer than the instrument keeps
  pilot.competitionNumber = "42";
  pilot.gliderBrand = "Ozone";
  pilot.gliderModel = "Zeno 2";
  PilotData alarm;
  alarm.kind = PilotData::Kind::AltitudeAlarm;
  alarm.altitudeAlarm = 3100;
  PilotData ids;
  ids.kind = PilotData::Kind::PilotIds;
  ids.pilotName = "Anna";
  ids.compId = "1234";
  ids.civlId = "56789";
  PilotData star = pilot;
  star.gliderModel = "Zeno*2";
  struct Case {
    const char* model;
    const PilotData* data;
    std::string received;  // empty: nothing may arrive
    std::string error;
  };
  const Case cases[] = {
      {"F1", &pilot, "PFMPLT,Anna Muster-Ri,42,Ozone,Zeno 2,", ""},
      {"F1", &alarm, "PFMALT,3100,", ""},
      {"B1NAV", &ids, "PFMIDS,1234,56789,Anna", ""},
      {"F1", &ids, "", "Command available for B1 NAV only"},
      {"B1NAV", &pilot, "", "Command not available for B1 NAV"},
      {"F1", &star, "", "Glider model contains '*'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.received + c.error);
    auto config = Config(true);
    config.model = c.model;
    Rig rig(config);
    const int result = rig.Run(AccessType::WritePilotData, nullptr, 0, nullptr, c.data);
    const auto errors = rig.Errors();
    if (c.error.empty()) {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(errors.empty()) << errors.front();
      EXPECT_EQ(rig.ui.LastStatus(), "Data sent");
      std::vector<std::string> received;  // read on the instrument's own thread
      for (int i = 0; i < 100 && received.empty(); ++i) {
        received = rig.model->SettingsReceived();
        if (received.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_EQ(received, std::vector<std::string>{c.received});
    } else {
      EXPECT_LT(result, 0);
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors.back(), c.error);
      EXPECT_TRUE(rig.model->SettingsReceived().empty());
    }
  }
}

// A broken answer ends with its message and leaves the track log as it was.
TEST(FlymasterE2e, FaultsLeaveTheLogAlone) {
  struct Case {
    const char* name;
    sim::Fault fault;
    std::string message;
  };
  sim::Fault corrupt{sim::Fault::Kind::CorruptByte};
  corrupt.offset = 30;
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 5000;
  const Case cases[] = {
      {"wrong block check", corrupt, "E205 Bad checksum"},
      {"truncated block", hangUp, ""},
      {"silence", sim::Fault{sim::Fault::Kind::Silence}, "E205 Bad length (0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = Config(false);
    config.trackFaults = {c.fault};
    Rig rig(config);
    rig.log.points.resize(3);
    rig.context.commandLineTracks = [] { return std::vector<int>{1}; };
    EXPECT_LT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, 1), 0);
    EXPECT_EQ(rig.log.points.size(), 3u);
    const auto errors = rig.Errors();
    ASSERT_FALSE(errors.empty());
    if (!c.message.empty()) {
      EXPECT_EQ(errors.back(), c.message);
    }
  }
  // The older generation: a packet with a wrong check byte is answered 0xB2 and ends the
  // download.
  auto config = Config(true);
  sim::Fault badPacket{sim::Fault::Kind::CorruptByte};
  badPacket.offset = 10;
  config.trackFaults = {badPacket};
  Rig rig(config);
  rig.context.commandLineTracks = [] { return std::vector<int>{0}; };
  EXPECT_LT(rig.Run(AccessType::ReadTrackLog, CompleteTrackLogRead, 0), 0);
  EXPECT_TRUE(rig.log.points.empty());
  ASSERT_FALSE(rig.Errors().empty());
  EXPECT_EQ(rig.Errors().back(), "E205 Bad checksum in data block");
  bool answered = false;  // the instrument reads the answer byte on its own thread
  for (int i = 0; i < 100 && !answered; ++i) {
    const auto received = rig.instrument->Received();
    answered = std::find(received.begin(), received.end(), 0xB2) != received.end();
    if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(answered);
}

}  // namespace
}  // namespace logwell
