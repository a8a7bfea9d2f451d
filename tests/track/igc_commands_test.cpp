// The IGC commands against real files in a temporary folder, with a scripted user.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/igc/igc_commands.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"

namespace logwell::igc {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

class IgcCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("logwell-igc-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    CalendarTime day;
    day.year = 2024;
    day.month = 12;
    day.day = 31;
    day.hour = 10;
    const GarminTime start = CalendarToGarminTime(day);
    for (int i = 0; i < 5; ++i) {
      TrackPoint p;
      p.segmentStart = i == 0;
      p.time = start + static_cast<GarminTime>(i);
      p.latitude = 560000000 + i * 2000;
      p.longitude = 80000000 - i * 3000;
      p.gpsAltitude = 10000 + i;
      p.pressureAltitude = 990;
      log_.points.push_back(p);
    }
    log_.source.signState = SignState::Downloaded;
    log_.source.SetInstrumentText("Flytec 6030 SN 1234");
    rows_.resize(log_.points.size());
    std::iota(rows_.begin(), rows_.end(), 0);
    VarioFilterHook() = {};
  }
  void TearDown() override {
    VarioFilterHook() = {};
    fs::remove_all(dir_);
  }

  IgcFileFormatForm GoodForm() const {
    IgcFileFormatForm form;
    form.pilot = "Jo Pilot";
    form.flightNumber = "10";
    form.serial = "A1B";
    form.shortFileName = true;
    return form;
  }
  IgcCommandContext Context() const { return {false, true, rows_}; }

  fs::path dir_;
  TrackLog log_;
  std::vector<int> rows_;
  ScriptedUi ui_;
  IgcSaveMemory memory_;
};

TEST_F(IgcCommands, SavesASignedFileThatVerifiesAndReadsBack) {
  ui_.ScriptIgcForm(GoodForm());
  ui_.ScriptSaveFile((dir_ / "flight").string());  // no extension typed
  ASSERT_EQ(SaveLogInIgcFormat(log_, Context(), ui_, memory_), 0);
  const fs::path file = dir_ / "flight.igc";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_TRUE(ui_.Boxes().empty());
  EXPECT_EQ(ui_.LastStatus(), "5 positions written");
  EXPECT_EQ(log_.saved, 1);
  // The suggested name is the short one: 2024-12-31, serial A1B, flight 10.
  const auto events = ui_.Events();
  const auto saveFile = std::find_if(events.begin(), events.end(), [](const UiEvent& e) {
    return e.kind == UiEventKind::SaveFile;
  });
  ASSERT_NE(saveFile, events.end());
  EXPECT_EQ(saveFile->text, "4CVXA1BA.igc");

  ui_.Clear();
  EXPECT_EQ(VerifyIgcFile(file, ui_), 0);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Info, "Security check",
                                                 "Security check PASSED"}}));
  TrackLog read;
  ASSERT_EQ(OpenIgcFile(read, file, ui_), 0);
  EXPECT_EQ(read.Count(), 5);
  EXPECT_EQ(read.points[4].time, log_.points[4].time);
  EXPECT_EQ(read.source.altitudeFlag, 1);
  EXPECT_FALSE(read.rawIgc);

  // Remembered for the next save.
  ui_.ScriptIgcForm(std::nullopt);
  EXPECT_EQ(SaveLogInIgcFormat(log_, Context(), ui_, memory_), -1);
  ASSERT_EQ(ui_.ShownIgcForms().size(), 2u);
  EXPECT_EQ(ui_.ShownIgcForms().back(), GoodForm());
}

TEST_F(IgcCommands, FileLogsSaveWithoutSecurityRecord) {
  log_.source.signState = SignState::NotSignable;
  ui_.ScriptIgcForm(GoodForm());
  ui_.ScriptSaveFile((dir_ / "a.igc").string());
  ASSERT_EQ(SaveLogInIgcFormat(log_, Context(), ui_, memory_), 0);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Info, "Security record NOT included",
                                                 "Track log source is not valid for G-record"}}));
  ui_.Clear();
  EXPECT_EQ(VerifyIgcFile(dir_ / "a.igc", ui_), -1);
  EXPECT_EQ(ui_.Boxes().at(0).text, "No security record");
}

TEST_F(IgcCommands, FormChecksInOrder) {
  struct Case {
    void (*change)(IgcFileFormatForm&);
    const char* error;
  } cases[] = {
      {[](IgcFileFormatForm& f) { f.pilot.clear(); f.flightNumber.clear(); }, "Missing pilot name"},
      {[](IgcFileFormatForm& f) { f.flightNumber.clear(); f.serial.clear(); }, "Missing flight number"},
      {[](IgcFileFormatForm& f) { f.flightNumber = "1x"; }, "Bad flight number input"},
      {[](IgcFileFormatForm& f) { f.flightNumber = "36"; }, "Flight number out of range"},
      {[](IgcFileFormatForm& f) { f.flightNumber = "0"; }, "Flight number out of range"},
      {[](IgcFileFormatForm& f) { f.serial.clear(); }, "Missing FR serial number"},
      {[](IgcFileFormatForm& f) { f.serial = "A1"; }, "FR serial number string too short"},
      {[](IgcFileFormatForm& f) { f.serial = "A-1"; }, "FR serial number not alpha-numeric"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    IgcFileFormatForm form = GoodForm();
    c.change(form);
    ui.ScriptIgcForm(form);
    EXPECT_EQ(SaveLogInIgcFormat(log_, Context(), ui, memory_), -1);
    EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Checking IGC parameters",
                                                  c.error}}));
  }
  EXPECT_FALSE(memory_.lastForm);
}

TEST_F(IgcCommands, RefusalsBeforeTheForm) {
  const std::vector<int> none, one{2};
  struct Case {
    IgcCommandContext context;
    const char* text;
  } cases[] = {
      {{true, true, rows_}, "Busy GPS driver"},
      {{false, false, rows_}, "Incorrect view mode"},
      {{false, true, none}, "No position(s) selected"},
      {{false, true, one}, "Only one position selected, continue ?"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui;
    EXPECT_EQ(SaveLogInIgcFormat(log_, c.context, ui, memory_), -1);
    ASSERT_EQ(ui.Boxes().size(), 1u) << c.text;
    EXPECT_EQ(ui.Boxes()[0].text, c.text);
    EXPECT_EQ(ui.Boxes()[0].caption, "Write IGC track log file");
    EXPECT_TRUE(ui.ShownIgcForms().empty());
  }
}

TEST_F(IgcCommands, VarioFilterRunsOnTheCopyAndOverwriteIsAsked) {
  VarioFilterHook() = [](std::vector<TrackPoint>& points) {
    points.erase(points.begin() + 1, points.begin() + 3);
    return 2;
  };
  const fs::path file = dir_ / "x.igc";
  std::ofstream(file) << "old";
  ui_.ScriptIgcForm(GoodForm());
  ui_.ScriptSaveFile(file.string());
  ui_.ScriptAnswer(Answer::Cancel);
  EXPECT_EQ(SaveLogInIgcFormat(log_, Context(), ui_, memory_), -1);
  EXPECT_EQ(testing::ReadWholeFile(file), "old");
  EXPECT_EQ(ui_.Boxes(),
            (std::vector<UiEvent>{
                {UiEventKind::Info, "Write IGC track log file",
                 "2 positions have been removed due to vario filtering"},
                {UiEventKind::OkCancel, "File creation", "File already exists, overwrite ?"}}));

  ui_.ScriptIgcForm(GoodForm());
  ui_.ScriptSaveFile(file.string());
  ui_.ScriptAnswer(Answer::Ok);
  ASSERT_EQ(SaveLogInIgcFormat(log_, Context(), ui_, memory_), 0);
  EXPECT_EQ(DecodeIgcText(testing::ReadWholeFile(file)).points.size(), 3u);
  EXPECT_EQ(log_.Count(), 5);  // the track log itself is untouched
}

TEST_F(IgcCommands, SavesTheInstrumentsOwnText) {
  EXPECT_EQ(SaveIgcLogFromGps(log_, ui_, memory_), -1);
  EXPECT_EQ(ui_.Boxes().at(0).text, "No raw IGC log stored");

  RawIgcLog raw;
  raw.text = "AFLY050\r\nHFDTE150723\r\nB1200004730000N01100000EA0123401300\r\nGABC\r\n";
  raw.firstFixTime = DecodeIgcText(raw.text).points.at(0).time;
  raw.loggerSerial = "050";
  raw.manufacturer = "FLY";
  raw.logCount = 2;
  log_.rawIgc = raw;
  ScriptedUi ui;
  IgcFileFormatForm bad;
  bad.flightNumber = "99";
  ui.ScriptIgcForm(bad);
  EXPECT_EQ(SaveIgcLogFromGps(log_, ui, memory_), -1);
  EXPECT_EQ(ui.Boxes().back(),
            (UiEvent{UiEventKind::Error, "IGC file parameter check", "Flight number out of range"}));

  IgcFileFormatForm form;
  form.flightNumber = "3";
  form.longFileName = true;
  ui.ScriptIgcForm(form);
  ui.ScriptSaveFile((dir_ / "2023-07-15-FLY-050-03.igc").string());
  ASSERT_EQ(SaveIgcLogFromGps(log_, ui, memory_), 0);
  EXPECT_EQ(testing::ReadWholeFile(dir_ / "2023-07-15-FLY-050-03.igc"), raw.text);
  const auto events = ui.Events();
  EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const UiEvent& e) {
    return e.kind == UiEventKind::SaveFile && e.text == "2023-07-15-FLY-050-03.igc";
  }));
  EXPECT_EQ(ui.Boxes().at(0).text, "Only the latest log is available");
}

TEST_F(IgcCommands, AutomaticSaveNumbersFlights) {
  IgcAutoSave request;
  request.outputPath = dir_.string() + "/";
  request.pilotName = "Jo";
  fs::path written;
  ASSERT_EQ(AutoSaveIgc(log_, request, ui_, &written), 0);
  EXPECT_EQ(written.filename(), "2024-12-31-xlw-000-01.igc");
  EXPECT_EQ(CheckSecurityRecord(testing::ReadWholeFile(written)), SecurityCheckResult::Passed);
  // The same flight again is not saved a second time.
  ASSERT_EQ(AutoSaveIgc(log_, request, ui_, &written), 0);
  EXPECT_EQ(written.filename(), "2024-12-31-xlw-000-01.igc");
  EXPECT_EQ(ui_.LastStatus(), "Flight already saved as " + written.string());
  // Another flight of the same day takes the next number.
  log_.points[1].gpsAltitude += 10;
  ASSERT_EQ(AutoSaveIgc(log_, request, ui_, &written), 0);
  EXPECT_EQ(written.filename(), "2024-12-31-xlw-000-02.igc");
  EXPECT_EQ(ui_.LastStatus(), "5 positions written");

  request.overwrite = true;
  ASSERT_EQ(AutoSaveIgc(log_, request, ui_, &written), 0);
  EXPECT_EQ(written.filename(), "2024-12-31-xlw-000-01.igc");

  request.overwrite = false;
  for (int i = 3; i <= 35; ++i) {
    log_.points[1].gpsAltitude += 10;
    ASSERT_EQ(AutoSaveIgc(log_, request, ui_), 0);
  }
  log_.points[1].gpsAltitude += 10;
  ui_.Clear();
  EXPECT_EQ(AutoSaveIgc(log_, request, ui_), -1);
  EXPECT_EQ(ui_.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Save IGC log",
                                                 "No free flight number available"}}));

  ui_.Clear();
  request.outputPath = dir_.string() + "/" + std::string(260, 'n') + "/";
  EXPECT_EQ(AutoSaveIgc(log_, request, ui_), -1);
  EXPECT_EQ(ui_.Boxes().at(0).text, "Too long file name");

  ui_.Clear();
  request.outputPath = dir_.string() + "/";
  request.writeRawLog = true;
  EXPECT_EQ(AutoSaveIgc(log_, request, ui_), -1);
  EXPECT_EQ(ui_.Boxes().at(0).text, "No log stored");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

// A flight saved before is told by its recorder and its fixes, not by the bytes around them.
TEST(SameIgcFlight, ComparesTheRecorderAndTheFixes) {
  const std::string flight =
      "AXLW000Flymaster GpsSD 4711\r\nHFDTE150723\r\nHFPLTPILOTINCHARGE:Ann\r\n"
      "B1200004730000N01100000EA0123401300\r\nB1200054730010N01100010EA0123501301\r\nGABCDEF\r\n";
  const auto with = [&flight](std::string_view from, std::string_view to) {
    std::string text = flight;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string other;
    bool same;
  } cases[] = {
      {flight, true},
      {with("Ann", "Jane"), true},                      // another header
      {with("GABCDEF", "G123456"), true},               // another security record
      {with("\r\nGABCDEF", ""), true},                  // none
      {with("4711", "4712"), false},                    // another recorder
      {with("4730010N", "4730011N"), false},            // a fix moved
      {with("B1200054730010N01100010EA0123501301\r\n", ""), false},  // a fix fewer
      {"not an IGC file", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameIgcFlight(flight, c.other), c.same) << c.other;
  }
}

TEST_F(IgcCommands, CommandLineReadKeepsTheFileText) {
  const std::string text = "AXYZABC\r\nHFDTE150723\r\nB1200004730000N01100000EA0123401300\r\n";
  std::ofstream(dir_ / "in.igc", std::ios::binary) << text;
  TrackLog log;
  ASSERT_EQ(ReadCommandLineIgcFile(log, (dir_ / "in").string(), ui_), 0);
  ASSERT_TRUE(log.rawIgc);
  EXPECT_EQ(log.rawIgc->text, text);
  EXPECT_EQ(log.rawIgc->loggerSerial, "ABC");
  EXPECT_EQ(log.rawIgc->manufacturer, "XYZ");
  EXPECT_EQ(log.rawIgc->firstFixTime, log.points.at(0).time);
  EXPECT_EQ(ui_.LastStatus(),
            "1 positions read - IGC file: no security record (G record): the file is unsigned");

  struct Case {
    std::string content;  // empty: no file
    const char* error;
  } cases[] = {{"", "Error opening file"},
               {"\r\nAXYZ\r\n", "Missing A-record"},
               {"AXYZABC\r\nHFDTE150723\r\nB12000\r\n", "Format error on line 3"}};
  for (const Case& c : cases) {
    ScriptedUi ui;
    const fs::path file = dir_ / "bad.igc";
    fs::remove(file);
    if (!c.content.empty()) std::ofstream(file, std::ios::binary) << c.content;
    EXPECT_EQ(ReadCommandLineIgcFile(log, (dir_ / "bad").string(), ui), -1);
    EXPECT_EQ(ui.Boxes(), (std::vector<UiEvent>{{UiEventKind::Error, "Reading IGC log file",
                                                  c.error}}));
  }
  EXPECT_EQ(log.Count(), 1);
}

// The window's "Open log" of a file of several flights offers them in the Track List; the
// chosen one becomes the log, without the file's text (which is more than this flight).
TEST_F(IgcCommands, OpeningAFileOfSeveralFlightsOffersThem) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{1});
  TrackLog opened;
  ASSERT_EQ(OpenIgcFile(opened, fixtures / "igc" / "PING.IGC", ui), 0) << ui.Events().back().text;
  const std::vector<ListChoice> choices = ui.Choices();
  ASSERT_EQ(choices.size(), 1u);
  EXPECT_EQ(choices[0].title, "Track List");
  EXPECT_EQ(choices[0].lines.size(), 15u);
  const CalendarTime first = GarminTimeToCalendar(opened.points.at(0).time);
  EXPECT_EQ(first.day, 29);
  EXPECT_EQ(first.month, 6);

  TrackLog log;
  ScriptedUi commandLine;
  commandLine.ScriptChoice(std::vector<int>{0});
  fs::copy_file(fixtures / "igc" / "PING.IGC", dir_ / "ping.igc");
  ASSERT_EQ(ReadCommandLineIgcFile(log, (dir_ / "ping").string(), commandLine), 0);
  EXPECT_FALSE(log.rawIgc);
  ScriptedUi cancel;
  cancel.ScriptChoice(std::nullopt);
  EXPECT_EQ(OpenIgcFile(log, fixtures / "igc" / "PING.IGC", cancel), -1);
  for (const auto& event : cancel.Events()) EXPECT_NE(event.kind, UiEventKind::Error) << event.text;
}

TEST(IgcHeaders, ReadsThePilotAndGliderRecords) {
  struct Case {
    std::string text;
    FlightHeaders expected;
  } cases[] = {
      {"AXYZABC\r\nHFPLTPILOTINCHARGE: Jane Doe \r\nHFGTYGLIDERTYPE:Zeno 2\r\nHFGIDGLIDERID:D-1234\r\n"
       "HFCIDCOMPETITIONID:42\r\nHFCCLCOMPETITIONCLASS:Serial\r\n",
       {"Jane Doe", "Zeno 2", "D-1234", "42", "Serial"}},
      // Old files without the long names, another source letter, the "not known" words.
      {"AXYZ\nHPPLTJo\nHOGTYNKN\nHFCIDCOMPETITIONID:NIL\n", {"Jo", "", "", "", ""}},
      // The first record that names something counts; nothing after the first fix does.
      {"AXYZ\nHFPLTPILOT:\nHFPLTPILOT:Second\nB1200004730000N01100000EA0123401300\nHFGTYGLIDERTYPE:Late\n",
       {"Second", "", "", "", ""}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadFlightHeaders(c.text), c.expected) << c.text;
}

// The form offers what the opened file names; a joined second file keeps the first pilot.
TEST_F(IgcCommands, FormOffersTheFilesPilotAndGlider) {
  const auto write = [this](const char* name, const char* pilot, int hour) {
    std::ofstream(dir_ / name, std::ios::binary)
        << "AXYZABC\r\nHFDTE150723\r\nHFPLTPILOTINCHARGE:" << pilot
        << "\r\nHFGTYGLIDERTYPE:Zeno 2\r\nHFGIDGLIDERID:D-1234\r\nB" << hour
        << "00004730000N01100000EA0123401300\r\n";
  };
  write("one.igc", "Jane Doe", 12);
  write("two.igc", "John Roe", 13);
  TrackLog log;
  ASSERT_EQ(OpenIgcFile(log, dir_ / "one.igc", ui_), 0);
  ui_.ScriptNewTrackLog(NewTrackLogChoice::Append);
  ASSERT_EQ(OpenIgcFile(log, dir_ / "two.igc", ui_), 0);
  ASSERT_EQ(log.Count(), 2);
  EXPECT_EQ(FlightHeadersOf(log).pilot, "Jane Doe");
  memory_.lastForm = GoodForm();
  memory_.lastForm->gliderType = "Old glider";
  ui_.ScriptIgcForm(std::nullopt);
  const std::vector<int> rows{0, 1};
  EXPECT_EQ(SaveLogInIgcFormat(log, {false, true, rows}, ui_, memory_), -1);
  const IgcFileFormatForm shown = ui_.ShownIgcForms().at(0);
  EXPECT_EQ(shown.pilot, "Jane Doe");
  EXPECT_EQ(shown.gliderType, "Zeno 2");
  EXPECT_EQ(shown.gliderId, "D-1234");
  EXPECT_EQ(shown.serial, "A1B");  // what the file does not name stays as last time
  // A downloaded IGC text is read when asked.
  TrackLog downloaded;
  downloaded.rawIgc.emplace();
  downloaded.rawIgc->text = "AXYZ\r\nHFPLTPILOT:Ann\r\n";
  EXPECT_EQ(FlightHeadersOf(downloaded).pilot, "Ann");
}

}  // namespace
}  // namespace logwell::igc
