// Downloads from a virtual Flytec/Brauniger instrument on a pseudo-terminal, through the access
// framework, the serial code and the registered workers, into the track log.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "flytec_rig.h"

namespace logwell {
namespace {

using namespace std::chrono_literals;
using testing::FlytecRig;
using testing::UiEvent;
using testing::UiEventKind;

GarminTime At(int year, int month, int day, int hour, int minute, int second = 0) {
  CalendarTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return CalendarToGarminTime(t);
}

std::string FlightText(GarminTime start, int minutes, bool signedLog = true, std::uint32_t seed = 1) {
  return sim::FlytecIgcText(testing::Flight(start, minutes, 5, seed), "1234567", "JANE DOE", signedLog);
}

sim::FlytecModelConfig Config(std::string model, std::string software, std::vector<std::string> flights) {
  sim::FlytecModelConfig config;
  config.model = std::move(model);
  config.software = std::move(software);
  config.flights = std::move(flights);
  return config;
}

bool Sent(const FlytecRig& rig, std::string_view request) {
  const auto bytes = rig.instrument->Received();
  return std::string(bytes.begin(), bytes.end()).find(request) != std::string::npos;
}

std::vector<UiEvent> BoxesOf(const FlytecRig& rig, UiEventKind kind) {
  std::vector<UiEvent> boxes;
  for (const UiEvent& e : rig.ui.Boxes()) {
    if (e.kind == kind) boxes.push_back(e);
  }
  return boxes;
}
std::vector<UiEvent> Errors(const FlytecRig& rig) { return BoxesOf(rig, UiEventKind::Error); }

// A log the failed downloads must leave alone.
void Preload(TrackLog& log) {
  log.points.resize(3);
  log.points[0].time = 12345;
  log.source.SetInstrumentName("Before");
}

void ExpectUnchanged(const FlytecRig& rig) {
  EXPECT_EQ(rig.log.points.size(), 3u);
  EXPECT_EQ(rig.log.source.InstrumentName(), "Before");
  EXPECT_EQ(rig.framework.exitCode.load(), 1);
}

const GarminTime kMorning = At(2023, 5, 26, 10, 0);

TEST(FlytecDownload, ChosenTrackBecomesTheTrackLogWithItsOwnIgcText) {
  const std::string first = FlightText(kMorning, 30);
  FlytecRig rig(Config("6030", "1.20", {first, FlightText(At(2023, 5, 27, 11, 0), 20, true, 2)}));
  rig.ui.ScriptChoice(std::vector<int>{1});  // newest first: the second line is the 26th's flight
  EXPECT_EQ(rig.ReadTrackLog(), 1);

  EXPECT_TRUE(Sent(rig, "\x11$PBRTL,*74\r\n"));
  EXPECT_TRUE(Sent(rig, "\x11$PBRTR,00*6A\r\n"));
  EXPECT_FALSE(Sent(rig, "$PBRTR,01"));
  ASSERT_EQ(rig.log.points.size(), 30u * 12 + 1);
  EXPECT_EQ(rig.log.points.front().time, kMorning);
  EXPECT_EQ(rig.log.points.front().segmentStart, 1u);
  EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Flytec);
  EXPECT_EQ(rig.log.source.signState, SignState::Downloaded);
  EXPECT_EQ(rig.log.source.timeIsUtc, 1);
  EXPECT_EQ(rig.log.source.altitudeFlag, 1);
  EXPECT_EQ(rig.log.source.InstrumentName(), "6030");
  EXPECT_EQ(rig.log.source.InstrumentText(), "6030 SN1234567 SW1.20");
  EXPECT_EQ(rig.log.source.InstrumentId(), "6030: JANE DOE");
  ASSERT_TRUE(rig.log.rawIgc.has_value());
  // The instrument's text byte for byte, without the flow-control bytes between its lines.
  EXPECT_EQ(rig.log.rawIgc->text, first);
  EXPECT_EQ(rig.log.rawIgc->loggerSerial, "123");
  EXPECT_EQ(rig.log.rawIgc->manufacturer, "FLY");
  EXPECT_EQ(rig.log.rawIgc->firstFixTime, kMorning);
  EXPECT_TRUE(Errors(rig).empty());
  EXPECT_EQ(rig.framework.exitCode.load(), 0);

  // The Track List offered both tracks with their listed start and duration, the newest first.
  ASSERT_EQ(rig.ui.Choices().size(), 1u);
  EXPECT_EQ(rig.ui.Choices()[0].lines,
            (std::vector<std::string>{"02   2023-05-27   11:00:00   0:20:00", "01   2023-05-26   10:00:00   0:30:00"}));
}

// Which firmware lists its tracks: the version is compared byte by byte with the threshold.
TEST(FlytecDownload, FirmwareThresholdDecidesBetweenTrackListAndWholeMemory) {
  struct Case {
    const char* model;
    const char* software;
    bool list;
  };
  for (const Case c : {Case{"5020", "1.13", false}, Case{"5020", "1.14", true},
                       Case{"UNKNOWN9", "9.99", false}}) {
    SCOPED_TRACE(std::string(c.model) + " " + c.software);
    FlytecRig rig(Config(c.model, c.software, {FlightText(kMorning, 5)}));
    rig.ui.ScriptChoice(std::vector<int>{0});
    EXPECT_EQ(rig.ReadTrackLog(), 1);
    EXPECT_EQ(Sent(rig, "$PBRTL,*74"), c.list);
    EXPECT_EQ(Sent(rig, "\x11$PBRIGC,*21\r\n"), !c.list);
    EXPECT_EQ(rig.log.points.size(), 61u);
  }
}

TEST(FlytecDownload, ProductAnswerWithWrongChecksumIsSilenceAndTheRequestIsRepeated) {
  auto config = Config("COMPEO+", "1.00", {FlightText(kMorning, 5)});
  config.faultsFor["PBRSNP"] = {sim::Fault{sim::Fault::Kind::CorruptChecksum}};
  FlytecRig rig(std::move(config));
  rig.ui.ScriptChoice(std::vector<int>{0});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.ReadTrackLog(), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 2000ms);
  const auto status = rig.ui.StatusTexts();
  // Each request says what it waits for and how long at most.
  const std::string port = rig.instrument->DevicePath();
  for (const std::string request : {"Requesting product info (15)", "Requesting product info (14)"}) {
    const std::string waiting = request + ": waiting for the instrument on " + port + " to answer (" +
                                (request.ends_with("(15)") ? "30" : "28") + " s)";
    EXPECT_NE(std::find(status.begin(), status.end(), waiting), status.end()) << waiting;
  }
  EXPECT_EQ(rig.log.source.InstrumentName(), "Compeo+");
}

TEST(FlytecDownload, SilentInstrumentGivesNoValidResponseAfterItsBudget) {
  auto config = Config("6030", "1.00", {FlightText(kMorning, 5)});
  config.faultsFor["PBRSNP"] = {sim::Fault{sim::Fault::Kind::Silence}};
  FlytecRig rig(std::move(config));
  Preload(rig.log);
  rig.framework.connectSeconds = 4;  // two requests, two seconds apart
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.ReadTrackLog(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
  EXPECT_EQ(Errors(rig), (std::vector<UiEvent>{{UiEventKind::Error, "Get GPS product data", "No valid response from GPS"}}));
  ExpectUnchanged(rig);
}

TEST(FlytecDownload, PositionBeforeTheDateHeaderIsFormatError25) {
  std::string text = FlightText(kMorning, 5);
  const std::size_t date = text.find("HFDTE");
  text.erase(date, text.find('\n', date) + 1 - date);
  FlytecRig rig(Config("6020", "1.00", {text}));
  Preload(rig.log);
  rig.ui.ScriptChoice(std::vector<int>{0});
  EXPECT_EQ(rig.ReadTrackLog(), -1);
  EXPECT_EQ(Errors(rig), (std::vector<UiEvent>{{UiEventKind::Error, "Read GPS track log",
                                                 "E206 Format error 25\r\nA line of the flight the instrument sent could "
                                                 "not be read: positions came before the date of the flight (HFDTE "
                                                 "line). The line was garbled on the way or that entry in the "
                                                 "instrument's memory is damaged: try again; if it happens again, "
                                                 "check that entry on the instrument."}}));
  ExpectUnchanged(rig);
}

TEST(FlytecDownload, FlightAcrossMidnightContinuesOnTheNextDay) {
  FlytecRig rig(Config("6030", "1.00", {FlightText(At(2023, 5, 26, 23, 50), 20)}));
  rig.ui.ScriptChoice(std::vector<int>{0});
  EXPECT_EQ(rig.ReadTrackLog(), 1);
  ASSERT_EQ(rig.log.points.size(), 241u);
  EXPECT_EQ(rig.log.points.back().time, At(2023, 5, 27, 0, 10));
  EXPECT_TRUE(std::is_sorted(rig.log.points.begin(), rig.log.points.end(),
                             [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; }));
}

TEST(FlytecDownload, SelectedTracksAreMergedInTimeOrderUpToAnHourApart) {
  // Track 0 was recorded after track 1: the merged log starts with track 1.
  const GarminTime secondStart = kMorning + 10 * 60 + 3600;
  FlytecRig rig(Config("6030", "1.00", {FlightText(secondStart, 10, true, 2), FlightText(kMorning, 10)}));
  rig.ui.ScriptChoice(std::vector<int>{0, 1});
  EXPECT_EQ(rig.ReadTrackLog(), 1);
  ASSERT_EQ(rig.log.points.size(), 2u * 121);
  EXPECT_EQ(rig.log.points.front().time, kMorning);
  EXPECT_EQ(rig.log.points.back().time, secondStart + 600);
  EXPECT_EQ(std::count_if(rig.log.points.begin(), rig.log.points.end(),
                          [](const TrackPoint& p) { return (p.segmentStart & 1) != 0; }), 1);
  // The raw text is that of the first track downloaded.
  EXPECT_EQ(rig.log.rawIgc->logCount, 2);
  EXPECT_EQ(rig.log.rawIgc->firstFixTime, secondStart);
}

TEST(FlytecDownload, TracksMoreThanAnHourApartAreRefused) {
  FlytecRig rig(Config("6030", "1.00", {FlightText(kMorning, 10), FlightText(kMorning + 600 + 3601, 10, true, 2)}));
  Preload(rig.log);
  rig.ui.ScriptChoice(std::vector<int>{0, 1});
  EXPECT_EQ(rig.ReadTrackLog(), -1);
  EXPECT_EQ(Errors(rig), (std::vector<UiEvent>{{UiEventKind::Error, "Read GPS track log",
                                                 "Time gap between tracks greater than 3600 s"}}));
  ExpectUnchanged(rig);
}

TEST(FlytecDownload, TrackWithoutGRecordsIsTakenOverUnsigned) {
  FlytecRig rig(Config("6030", "1.00", {FlightText(kMorning, 5, false)}));
  rig.ui.ScriptChoice(std::vector<int>{0});
  EXPECT_EQ(rig.ReadTrackLog(), 0);
  EXPECT_EQ(BoxesOf(rig, UiEventKind::Info), (std::vector<UiEvent>{{UiEventKind::Info, "Read GPS track log", "No G-records found"}}));
  EXPECT_EQ(rig.log.points.size(), 61u);
  EXPECT_EQ(rig.log.source.signState, SignState::NotSignable);
}

// Every fault of the line ends with its message, in time, with the track log unchanged.
TEST(FlytecDownload, LineFaultsEndWithTheirMessageAndLeaveTheTrackLogAlone) {
  struct Case {
    const char* name;
    sim::Fault fault;
    const char* request;
    const char* error;  // the whole box text; empty: the download succeeds after a repeated request
  };
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 3000;
  const Case cases[] = {
      {"garbage before the track", sim::Fault{sim::Fault::Kind::Garbage}, "PBRTR",
       "E205 Bad record type (FF)\r\nThe instrument's answer was garbled or not in the form this instrument type "
       "sends: check the cable, that no other program uses the port and that the instrument type (/GPS=) is its "
       "own, then try again."},
      // The instrument unplugged in the middle: the code, then what happened and what to try.
      {"hang-up mid-track", hangUp, "PBRTR",
       "E203 COM port read error\r\nThe instrument stopped answering or was unplugged: check the cable and that the "
       "instrument is switched on, then try again."},
      {"track never sent", sim::Fault{sim::Fault::Kind::DropLine}, "PBRTR", "No points detected"},
      {"dropped product answer", sim::Fault{sim::Fault::Kind::DropLine}, "PBRSNP", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = Config("6030", "1.00", {FlightText(kMorning, 30)});
    config.faultsFor[c.request] = {c.fault};
    FlytecRig rig(std::move(config));
    Preload(rig.log);
    rig.ui.ScriptChoice(std::vector<int>{0});
    const int result = rig.ReadTrackLog();
    if (*c.error == '\0') {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(rig.log.points.size(), 361u);
      continue;
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Errors(rig), (std::vector<UiEvent>{{UiEventKind::Error, "Read GPS track log", c.error}}));
    ExpectUnchanged(rig);
  }
}

TEST(FlytecDownload, AbortMidTrackEndsWithTransferAborted) {
  auto config = Config("6030", "1.00", {FlightText(kMorning, 120, true)});
  config.paced = true;  // about 15 s of line time
  FlytecRig rig(std::move(config));
  Preload(rig.log);
  rig.ui.ScriptChoice(std::vector<int>{0});
  auto download = std::async(std::launch::async, [&] { return rig.ReadTrackLog(); });
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto status = rig.ui.StatusTexts();
    if (std::find(status.begin(), status.end(), "Receiving track log") != status.end()) break;
    std::this_thread::sleep_for(20ms);
  }
  const auto abortAt = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.framework.AbortGpsAccess(&rig.ui), 0);
  EXPECT_EQ(download.get(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - abortAt, 1s);
  EXPECT_EQ(rig.ui.LastStatus(), "Transfer aborted");
  EXPECT_TRUE(Errors(rig).empty());
  ExpectUnchanged(rig);
}

TEST(FlytecDownload, CommandLineTracksChooseWithoutTheDialog) {
  FlytecRig rig(Config("6030", "1.00", {FlightText(kMorning, 5), FlightText(kMorning + 900, 5, true, 2)}));
  rig.context.commandLineTracks = [] { return std::vector<int>{1, 300, 7}; };  // only 1 is stored
  EXPECT_EQ(rig.ReadTrackLog(), 1);
  EXPECT_TRUE(rig.ui.Choices().empty());
  EXPECT_TRUE(Sent(rig, "$PBRTR,01*6B"));
  EXPECT_FALSE(Sent(rig, "$PBRTR,00"));
  EXPECT_EQ(rig.log.points.front().time, kMorning + 900);
}

TEST(FlytecDownload, FlightListGoesToTheNotifyChannelInAnUnattendedRun) {
  FlytecRig rig(Config("COMPETINO+", "1.00", {FlightText(kMorning, 30), FlightText(At(2023, 5, 27, 9, 5, 7), 5)}));
  rig.context.unattended = true;
  EXPECT_EQ(rig.Run(AccessType::ReadFlightList, CompleteFlightListRead), 0);
  EXPECT_EQ(rig.Notified(), (std::vector<std::string>{"Flightlist:\n23.05.26,10:00:00,0:30:00\n23.05.27,09:05:07,0:05:00\n"}));
}

}  // namespace
}  // namespace logwell
