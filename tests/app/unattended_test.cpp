// The unattended run end to end: a command line, a virtual Flytec on a pseudo-terminal, the
// headless program, the files it writes and what it reports to the program that follows it.
#include "app/unattended.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "app/file_commands.h"
#include "app/job_runner.h"
#include "sim/flight_generator.h"
#include "sim/flymaster/flymaster_model.h"
#include "sim/flytec/flytec_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "waypoints/pilot_identity.h"
#include "waypoints/waypoint_formats.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

GarminTime At(int year, int month, int day, int hour, int minute, int second) {
  CalendarTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return CalendarToGarminTime(t);
}

TEST(ExpandNameMacros, DateAndTimeOfTheFirstPosition) {
  std::string name = "flights/$date/log-$time-$date.kml";
  ExpandNameMacros(name, At(2023, 5, 6, 7, 8, 9));
  EXPECT_EQ(name, "flights/20230506/log-070809-20230506.kml");
  std::string noMacro = "$dat$tim";
  ExpandNameMacros(noMacro, 0);
  EXPECT_EQ(noMacro, "$dat$tim");
  std::string longName(255, 'x');
  longName += "$date";
  ExpandNameMacros(longName, 0);
  EXPECT_EQ(longName.size(), 260u);  // what does not fit is cut off
}

// A follower bound to a datagram socket; returns the texts of the reports.
class Follower {
 public:
  explicit Follower(fs::path path) : path_(std::move(path)) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    timeval timeout{0, 200000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  }
  ~Follower() {
    ::close(fd_);
    fs::remove(path_);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    char buffer[8192];
    for (;;) {
      const ssize_t size = ::recv(fd_, buffer, sizeof(buffer), 0);
      if (size < 8) return texts;
      texts.emplace_back(buffer + 8, static_cast<std::size_t>(size) - 8);
    }
  }

 private:
  fs::path path_;
  int fd_ = -1;
};

class UnattendedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("logwell-unattended-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // An instrument holding one flight per start time, in the order of its track list; `flight`
  // is the first.
  void StartInstrument(bool silent = false,
                       const std::vector<GarminTime>& starts = {At(2023, 5, 26, 10, 0, 0)},
                       std::map<std::string, std::vector<sim::Fault>> faults = {},
                       std::vector<sim::FlytecWaypoint> waypoints = {}) {
    std::vector<std::string> flights;
    for (const GarminTime start : starts) flights.push_back(FlytecFlight(start));
    StartServing(std::move(flights), std::move(faults), std::move(waypoints), silent);
  }

  // The IGC text a virtual Flytec holds for a generated flight of ten minutes from `start`;
  // `edit` may change the fixes first.
  static std::string FlytecFlight(GarminTime start,
                                  const std::function<void(std::vector<TrackPoint>&)>& edit = {}) {
    sim::FlightPlan plan;
    plan.startTime = start;
    plan.duration = std::chrono::minutes(10);
    plan.fixInterval = std::chrono::seconds(5);
    std::vector<TrackPoint> points = sim::GenerateFlight(plan);
    if (edit) edit(points);
    const sim::FlytecModelConfig defaults;
    return sim::FlytecIgcText(points, defaults.serial, defaults.pilot);
  }

  // A virtual Flytec serving these IGC texts, in the order of its track list.
  void StartServing(std::vector<std::string> flights,
                    std::map<std::string, std::vector<sim::Fault>> faults = {},
                    std::vector<sim::FlytecWaypoint> waypoints = {}, bool silent = false) {
    sim::FlytecModelConfig config;
    config.model = "COMPEO+";
    config.waypoints = std::move(waypoints);
    config.flights = std::move(flights);
    flight = config.flights.front();
    config.faultsFor = std::move(faults);
    if (silent) config.faultsFor["PBRSNP"] = {sim::Fault{sim::Fault::Kind::Silence}};
    auto model = std::make_unique<sim::FlytecModel>(std::move(config));
    sim::FlytecModel* raw = model.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(model));
    raw->Attach(instrument.get());
    flytec = raw;
  }

  // A virtual Flymaster holding one generated flight per start time, listed in that order (an
  // instrument of this family lists its flights oldest first); Logwell writes its IGC files.
  void StartFlymaster(const std::vector<GarminTime>& starts) {
    sim::FlymasterModelConfig config;
    for (const GarminTime start : starts) {
      sim::FlightPlan plan;
      plan.startTime = start;
      plan.duration = std::chrono::minutes(10);
      plan.fixInterval = std::chrono::seconds(5);
      config.flights.push_back(sim::GenerateFlight(plan));
    }
    auto model = std::make_unique<sim::FlymasterModel>(std::move(config));
    flymasterModel = model.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(model));
    flymasterModel->Attach(instrument.get());
  }

  // Runs a command line; `%dev` stands for the instrument's device, `%dir` for the folder.
  int Run(std::string commandLine) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"%dev", instrument ? instrument->DevicePath() : ""},
                                     {"%dir", dir.string()}}) {
      for (std::size_t at; (at = commandLine.find(key)) != std::string::npos;) commandLine.replace(at, key.size(), value);
    }
    ui.ScriptChoice(std::vector<int>{0});  // the Track List: the first track
    CommandLineHandlers handlers;
    AddCompetitionHandlers(handlers, competition);
    ParseResult parsed = ParseCommandLine(commandLine, ui, handlers);
    EXPECT_EQ(parsed.outcome, ParseOutcome::Go);
    if (!parsed.options) return -1;
    return RunHeadlessJob(*parsed.options, ui, competition);
  }

  std::vector<std::string> FilesIn(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<UiEvent> Errors() const {
    std::vector<UiEvent> errors;
    for (const UiEvent& e : ui.Boxes()) {
      if (e.kind == UiEventKind::Error) errors.push_back(e);
    }
    return errors;
  }

  std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir;
  ScriptedUi ui;
  CompetitionState competition;
  std::string flight;
  std::unique_ptr<sim::VirtualInstrument> instrument;
  sim::FlytecModel* flytec = nullptr;
  sim::FlymasterModel* flymasterModel = nullptr;
};

TEST_F(UnattendedRun, IgcLogFolderGetsTheInstrumentsOwnTextUnderTheNextFlightNumber) {
  StartInstrument();
  Follower follower(dir / "follower");
  const std::string line = "/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/ /EXIT /WIN=0 /NOTIFY=%dir/follower";
  EXPECT_EQ(Run(line), 0);
  EXPECT_EQ(Read(dir / "2023-05-26-xxx-123-01.igc"), flight);
  const auto reports = follower.Texts();
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.front(), "Transfer started");
  EXPECT_EQ(reports.back(), "Transfer completed");

  // The same flight again is not saved a second time under the next number.
  ui.Clear();
  EXPECT_EQ(Run(line), 0);
  EXPECT_FALSE(fs::exists(dir / "2023-05-26-xxx-123-02.igc"));
  const auto events = ui.Events();
  EXPECT_TRUE(std::ranges::any_of(events, [&](const UiEvent& e) {
    return e.text == "Flight already saved as " + (dir / "2023-05-26-xxx-123-01.igc").string();
  }));

  // Beside another flight of the same day it takes the next number.
  { std::ofstream(dir / "2023-05-26-xxx-123-01.igc") << "another flight"; }
  EXPECT_EQ(Run(line), 0);
  EXPECT_EQ(Read(dir / "2023-05-26-xxx-123-02.igc"), flight);
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
}

TEST_F(UnattendedRun, ExistingFileWithoutOverwriteIsLeftAloneAndNamed) {
  StartInstrument();
  { std::ofstream(dir / "taken.igc") << "keep"; }
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/taken.igc /EXIT /WIN=0"), 1);
  EXPECT_EQ(Errors(), (std::vector<UiEvent>{
                          {UiEventKind::Error, "Save IGC log", "File exists, not replaced; use /OVERWRITE"}}));
  EXPECT_EQ(ui.FileErrorDetails(), std::vector<std::string>{(dir / "taken.igc").string()});
  EXPECT_EQ(Read(dir / "taken.igc"), "keep");
  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/taken.igc /OVERWRITE /EXIT /WIN=0"), 0);
  EXPECT_EQ(Read(dir / "taken.igc"), flight);
}

// A hidden run without TRACK takes the flight the Track List opens with, the newest, instead of
// merging the flights of several days.
TEST_F(UnattendedRun, HiddenRunWithoutTrackSavesTheNewestFlight) {
  StartInstrument(false, {At(2023, 5, 28, 11, 0, 0), At(2023, 5, 27, 12, 0, 0),
                          At(2023, 5, 26, 10, 0, 0)});
  const std::string command = "timeout 60 '" + std::string(LOGWELL_CLI_PATH) +
                              "' /COM=" + instrument->DevicePath() + " /GPS=IQCOMPEO '/IGC_LOG=" +
                              dir.string() + "/' /EXIT /WIN=0 >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Read(dir / "2023-05-28-xxx-123-01.igc"), flight);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1);
}

// TRACK=ALL: every stored flight to its own files, one download each; a flight that cannot be
// read is reported and the others are still saved, and a second run saves only what is missing.
TEST_F(UnattendedRun, TrackAllSavesEveryFlightToItsOwnFile) {
  sim::Fault badRecord{sim::Fault::Kind::CorruptByte};  // the A record's "A" becomes "@"
  StartInstrument(false,
                  {At(2023, 5, 28, 11, 0, 0), At(2023, 5, 27, 12, 0, 0), At(2023, 5, 26, 10, 0, 0)},
                  {{"PBRTR,01", {badRecord}}});
  fs::create_directories(dir / "igc");
  fs::create_directories(dir / "kml");
  const std::string line = "/COM=%dev /GPS=IQCOMPEO /TRACK=ALL /IGC_LOG=%dir/igc/ /KML_LOG=%dir/kml "
                           "/EXIT /WIN=0";
  EXPECT_EQ(Run(line), 1);
  EXPECT_EQ(flytec->TrackRequests(), 3);
  const auto names = [this](const fs::path& folder) {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.insert(entry.path().filename());
    return found;
  };
  EXPECT_EQ(names(dir / "igc"),
            (std::set<std::string>{"2023-05-28-xxx-123-01.igc", "2023-05-26-xxx-123-01.igc"}));
  EXPECT_EQ(names(dir / "kml"), (std::set<std::string>{"20230528-110000.kml", "20230526-100000.kml"}));
  EXPECT_EQ(Read(dir / "igc/2023-05-28-xxx-123-01.igc"), flight);
  const auto errors = Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].text.substr(0, errors[0].text.find("\r\n")), "E205 Bad record type (40)");
  EXPECT_EQ(errors[1].text, "Flight TRACK=1 (2023-05-27  12:00:00  0:10:00) not saved; the other "
                            "flights go on");

  // The fault was the instrument's once: the next run adds the missing flight only.
  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /TRACK=ALL /IGC_LOG=%dir/igc/ /EXIT /WIN=0"), 0);
  EXPECT_EQ(names(dir / "igc").size(), 3u);
  EXPECT_TRUE(fs::exists(dir / "igc/2023-05-27-xxx-123-01.igc"));
  const auto events = ui.Events();
  EXPECT_EQ(std::ranges::count_if(events, [](const UiEvent& e) {
              return e.text.starts_with("Flight already saved as ");
            }),
            2);
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
}

// Without TRACK the newest flight is saved, chosen by its date and time, whether the instrument
// lists its flights oldest first or newest first.
TEST_F(UnattendedRun, RunWithoutTrackSavesTheNewestFlightInEitherListOrder) {
  const std::vector<GarminTime> oldestFirst = {At(2023, 5, 26, 10, 0, 0), At(2023, 5, 27, 12, 0, 0),
                                               At(2023, 5, 28, 11, 0, 0)};
  const std::vector<GarminTime> newestFirst(oldestFirst.rbegin(), oldestFirst.rend());
  for (const auto* starts : {&oldestFirst, &newestFirst}) {
    SCOPED_TRACE(starts == &oldestFirst ? "oldest first" : "newest first");
    StartFlymaster(*starts);
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    EXPECT_EQ(Run("/COM=%dev /GPS=FLYMASTER /KML_LOG=%dir/out/ /EXIT /WIN=0"), 0);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"20230528-110000.kml"});
    EXPECT_EQ(flymasterModel->TrackRequests(), 1);
  }
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
}

// TRACK=ALL again from an instrument that does not deliver its own IGC text: the files of the
// first run hold the same flights (only their download line and security record would differ),
// so nothing is written a second time, the run names the flights it skipped and ends well.
TEST_F(UnattendedRun, RepeatedTrackAllFromAFlymasterWritesNothingNew) {
  StartFlymaster({At(2023, 5, 26, 10, 0, 0), At(2023, 5, 27, 12, 0, 0)});
  for (const char* folder : {"igc", "kml", "plt"}) fs::create_directories(dir / folder);
  const std::string line = "/COM=%dev /GPS=FLYMASTER /TRACK=ALL /IGC_LOG=%dir/igc/ /KML_LOG=%dir/kml/ "
                           "/OZI_LOG=%dir/plt/ /EXIT /WIN=0";
  ASSERT_EQ(Run(line), 0);
  const auto igc = FilesIn(dir / "igc");
  const auto kml = FilesIn(dir / "kml");
  const auto plt = FilesIn(dir / "plt");
  ASSERT_EQ(igc.size(), 2u);
  EXPECT_EQ(kml, (std::vector<std::string>{"20230526-100000.kml", "20230527-120000.kml"}));
  EXPECT_EQ(plt, (std::vector<std::string>{"20230526-100000.plt", "20230527-120000.plt"}));
  EXPECT_EQ(ui.LastStatus(), "2 of 2 flights saved");

  // Another pilot name changes the IGC header, not the flight.
  ui.Clear();
  EXPECT_EQ(Run(line + " /PILOT=Jane"), 0);
  EXPECT_EQ(FilesIn(dir / "igc"), igc);
  EXPECT_EQ(FilesIn(dir / "kml"), kml);
  EXPECT_EQ(FilesIn(dir / "plt"), plt);
  EXPECT_EQ(flymasterModel->TrackRequests(), 4);
  const auto statuses = ui.StatusTexts();
  for (const std::string expected :
       {"Flight TRACK=0 (2023-05-26  10:00:00  0:10:00) already saved, skipped",
        "Flight TRACK=1 (2023-05-27  12:00:00  0:10:00) already saved, skipped"}) {
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), expected), statuses.end()) << expected;
  }
  EXPECT_EQ(ui.LastStatus(), "0 of 2 flights saved, 2 already saved before");
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
}

// A folder nobody may write to: read-only rights and, for a test run by root (whom rights do not
// stop), the file system's immutable flag. `active` is false where neither can be had.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(fs::path path) : path_(std::move(path)) {
    fs::create_directories(path_);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    if (::access(path_.c_str(), W_OK) == 0) immutable_ = SetImmutable(true);
    active = ::access(path_.c_str(), W_OK) != 0;
  }
  ~ReadOnlyFolder() {
    if (immutable_) SetImmutable(false);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  bool active = false;

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }
  fs::path path_;
  bool immutable_ = false;
};

// Every save folder is checked before anything is downloaded: a folder the run cannot write to
// is refused with its reason, and the instrument never sees a track request.
TEST_F(UnattendedRun, ReadOnlySaveFolderIsRefusedBeforeAnyTrackRequest) {
  StartFlymaster({At(2023, 5, 26, 10, 0, 0)});
  const ReadOnlyFolder folder(dir / "ro");
  if (!folder.active) GTEST_SKIP() << "no way to make a folder read-only here";
  struct Case {
    std::string saves;
    std::string caption;
  };
  const Case cases[] = {
      {"/IGC_LOG=%dir/ro/", "Download track log"},
      {"/KML_LOG=%dir/kml.kml /OZI_LOG=%dir/ro/x.plt", "Download track log"},
      {"/MPS_LOG=%dir/ro/$date.mps", "Download track log"},
      {"/TRACK=ALL /KML_LOG=%dir/ro/", "Download track log"},
      {"/COMP_LOG=IGC /COMP_DIR=%dir/ro /PILOT=Ann", "Save log for competition"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saves);
    ui.Clear();
    EXPECT_EQ(Run("/COM=%dev /GPS=FLYMASTER " + c.saves + " /EXIT /WIN=0"), 1);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].text, "Folder not writable");
    EXPECT_EQ(Errors()[0].caption, c.caption);
    ASSERT_EQ(ui.FileErrorDetails().size(), 1u);
    EXPECT_TRUE(ui.FileErrorDetails()[0].starts_with((dir / "ro").string() + ": "))
        << ui.FileErrorDetails()[0];
  }
  EXPECT_EQ(flymasterModel->TrackRequests(), 0);
  EXPECT_TRUE(FilesIn(dir / "ro").empty());
  EXPECT_FALSE(fs::exists(dir / "kml.kml"));
}

// `logwell-cli flights` (FLIGHTLIST with nobody on a notify channel) prints the list on stdout.
TEST_F(UnattendedRun, FlightsVerbPrintsTheStoredFlights) {
  StartInstrument(false, {At(2023, 5, 28, 11, 0, 0), At(2023, 5, 27, 12, 0, 0)});
  const fs::path out = dir / "out";
  const std::string command = "timeout 60 '" + std::string(LOGWELL_CLI_PATH) + "' flights /COM=" +
                              instrument->DevicePath() + " /GPS=IQCOMPEO >'" + out.string() +
                              "' 2>/dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Read(out),
            "TRACK  Date        Start     Duration (UTC)\n"
            "0      2023-05-28  11:00:00  0:10:00\n"
            "1      2023-05-27  12:00:00  0:10:00\n");
  EXPECT_EQ(flytec->TrackRequests(), 0);
}

// IGC_LOG, KML_LOG and OZI_LOG together: every file from the one download.
TEST_F(UnattendedRun, SeveralSavesComeFromOneDownload) {
  StartInstrument();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/ /KML_LOG=%dir/f.kml /OZI_LOG=%dir/f.plt "
                "/EXIT /WIN=0"),
            0);
  EXPECT_EQ(flytec->TrackRequests(), 1);
  EXPECT_EQ(Read(dir / "2023-05-26-xxx-123-01.igc"), flight);
  EXPECT_TRUE(fs::exists(dir / "f.plt"));
  // The KML file: its description opens with the flight's date, its first placemark is the
  // contest claim, and its signature still checks.
  const std::string kml = Read(dir / "f.kml");
  EXPECT_NE(kml.find("<description><![CDATA[2023-05-26\r\n<pre>\r\n"), std::string::npos);
  const std::size_t claim = kml.find("type=\"contest_claim\"");
  EXPECT_NE(claim, std::string::npos);
  EXPECT_LT(claim, kml.find("type=\"distance_5_point\""));
  EXPECT_EQ(kml::CheckKmlFile(dir / "f.kml", ui), 0);
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
}

// Saves say what happened to their file: a name without an extension gets its format's, an
// existing file is left alone with a message that names it, and a missing folder is found
// before anything is downloaded.
TEST_F(UnattendedRun, SavesNameTheirFileAndWhatHappenedToIt) {
  StartInstrument();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /KML_LOG=%dir/x /EXIT /WIN=0"), 0);
  EXPECT_TRUE(fs::exists(dir / "x.kml"));
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/pilot17 /EXIT /WIN=0"), 0);
  EXPECT_EQ(Read(dir / "pilot17.igc"), flight);

  // The same flight again is kept as it is; another file of that name is left alone.
  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /KML_LOG=%dir/x.kml /EXIT /WIN=0"), 0);
  EXPECT_EQ(ui.LastStatus(), "Flight already saved as " + (dir / "x.kml").string());
  EXPECT_TRUE(Errors().empty());
  { std::ofstream(dir / "x.kml") << "another file"; }
  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /KML_LOG=%dir/x.kml /EXIT /WIN=0"), 1);
  EXPECT_EQ(Errors(), (std::vector<UiEvent>{{UiEventKind::Error, "Download track log",
                                             "File exists, not replaced; use /OVERWRITE"}}));
  EXPECT_EQ(Read(dir / "x.kml"), "another file");
  EXPECT_EQ(ui.FileErrorDetails(), std::vector<std::string>{(dir / "x.kml").string()});

  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /KML_LOG=%dir/missing/x.kml /EXIT /WIN=0"), 1);
  EXPECT_EQ(Errors(), (std::vector<UiEvent>{{UiEventKind::Error, "Download track log", "Folder not found"}}));
  EXPECT_EQ(ui.FileErrorDetails(),
            std::vector<std::string>{(dir / "missing").string() + ": No such file or directory"});
  for (const UiEvent& e : ui.Events()) EXPECT_EQ(e.text.find("Product data"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

// Without OVERWRITE a save creates its file only when the name is free at the moment it is
// made, not after a look that a file made in between escapes: a name held by something a look
// cannot see (here a link to a file not there yet) is left as it is, for every track format.
TEST_F(UnattendedRun, SaveWithoutOverwriteCreatesItsFileOnlyWhereTheNameIsFree) {
  StartInstrument();
  const std::vector<std::string> names = {"f.kml", "f.plt", "f.mps"};
  for (const std::string& name : names) fs::create_symlink(dir / ("later-" + name), dir / name);
  const std::string saves = "/KML_LOG=%dir/f.kml /OZI_LOG=%dir/f.plt /MPS_LOG=%dir/f.mps";
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO " + saves + " /EXIT /WIN=0"), 1);
  const UiEvent refused{UiEventKind::Error, "Download track log",
                        "File exists, not replaced; use /OVERWRITE"};
  EXPECT_EQ(Errors(), (std::vector<UiEvent>{refused, refused, refused}));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(fs::is_symlink(dir / name));
    EXPECT_FALSE(fs::exists(dir / ("later-" + name)));
  }
  // OVERWRITE replaces the name itself, never the file it points to.
  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO " + saves + " /OVERWRITE /EXIT /WIN=0"), 0);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(fs::is_symlink(dir / name));
    EXPECT_FALSE(fs::exists(dir / ("later-" + name)));
  }
}

TEST_F(UnattendedRun, FailedDownloadExitsWithOneAndWritesNothing) {
  StartInstrument(true);
  Follower follower(dir / "follower");
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /IGC_LOG=%dir/ /TIMEOUT=2 /EXIT /WIN=0 /NOTIFY=%dir/follower"), 1);
  EXPECT_EQ(follower.Texts().back(), "Transfer completed (error)");
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path().filename());
  EXPECT_TRUE(files.empty() || (files.size() == 1 && files[0] == "follower"));
}

// A GPS/action cell the GPS table has no access for (DSX has no waypoint download) is refused
// with a message even when it gets past the command line's own check.
TEST_F(UnattendedRun, ActionTheGpsTableDoesNotAllowIsRefused) {
  StartInstrument();
  CommandLineHandlers handlers;
  ParseResult parsed = ParseCommandLine("/COM=" + instrument->DevicePath() + " /GPS=DSX /KML_LOG=" +
                                            (dir / "x.kml").string() + " /EXIT /WIN=0",
                                        ui, handlers);
  ASSERT_TRUE(parsed.options);
  parsed.options->action = CommandAction::ReadWaypoints;
  EXPECT_EQ(RunHeadlessJob(*parsed.options, ui, competition), 1);
  EXPECT_EQ(Errors(), (std::vector<UiEvent>{{UiEventKind::Error, "GPS access", "Unsupported access function"}}));
  EXPECT_TRUE(FilesIn(dir).empty());
}

// USERNAME writes the pilot's name and nothing else; a name the instrument cannot take is
// refused before anything is sent.
TEST_F(UnattendedRun, UsernameIsWrittenToAFlymaster) {
  sim::FlymasterModelConfig config;
  config.older = true;
  config.model = "F1";
  auto model = std::make_unique<sim::FlymasterModel>(std::move(config));
  sim::FlymasterModel* flymaster = model.get();
  instrument = std::make_unique<sim::VirtualInstrument>(std::move(model));
  flymaster->Attach(instrument.get());
  EXPECT_EQ(Run("/COM=%dev /GPS=FLYMASTER /USERNAME=Jane /EXIT /WIN=0"), 0);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(flymaster->SettingsReceived(), std::vector<std::string>{"PFMPLT,Jane,,,,"});
  EXPECT_EQ(Run("/COM=%dev /GPS=FLYMASTER /USERNAME=Ja*ne /EXIT /WIN=0"), 1);
  EXPECT_EQ(Errors().back().text, "Pilot name contains '*'");
  EXPECT_EQ(flymaster->SettingsReceived().size(), 1u);
}

TEST_F(UnattendedRun, WaypointFileIsUploadedWithTheNameRuleOfEachAction) {
  std::vector<Waypoint> file(2);
  file[0].SetId("TOP");
  file[0].SetDescription("HILL TOP");
  file[0].altitude = 1200;
  file[1].SetId("LZ");
  file[1].altitude = 450;
  { std::ofstream(dir / "points.wpt", std::ios::binary) << WriteOziWaypoints(file); }
  StartInstrument();
  Follower follower(dir / "follower");
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /WR_WPT=%dir/points.wpt /EXIT /WIN=0 /NOTIFY=%dir/follower"), 0);
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /WR_WPT2=%dir/points.wpt /EXIT /WIN=0"), 0);
  const auto stored = flytec->Waypoints();
  ASSERT_EQ(stored.size(), 4u);
  // WR_WPT keeps a description and fills an empty one with the name; WR_WPT2 puts the name first.
  EXPECT_EQ(stored[0].longName, "HILL TOP         ");
  EXPECT_EQ(stored[1].longName, "LZ               ");
  EXPECT_EQ(stored[2].longName, "TOP HILL TOP     ");
  EXPECT_EQ(stored[3].longName, "LZ               ");  // nothing after the name
  EXPECT_EQ(stored[0].altitude, 1200);
  const auto reports = follower.Texts();
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front(), "Transfer started");
  EXPECT_EQ(reports[1], "Sent wpt 1/2");
  EXPECT_EQ(reports.back(), "Transfer completed");
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;

  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /WR_WPT=%dir/missing.wpt /EXIT /WIN=0"), 1);
  EXPECT_EQ(flytec->Waypoints().size(), 4u);
}

TEST_F(UnattendedRun, OpenAirFileIsUploadedAsCtrRuns) {
  {
    std::ofstream(dir / "air.txt", std::ios::binary)
        << "AC D\r\nAN TEST CTR\r\nAL GND\r\nAH 3000 ft\r\n"
           "DP 46:30:00 N 008:00:00 E\r\nDP 46:40:00 N 008:10:00 E\r\nDP 46:30:00 N 008:20:00 E\r\n\r\n"
           "AC R\r\nAN ROUND\r\nAL 1000 m\r\nAH FL95\r\nV X=47:00:00 N 009:00:00 E\r\nDC 2\r\n";
  }
  StartInstrument();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /WR_CTR=%dir/air.txt /EXIT /WIN=0"), 0);
  for (const UiEvent& e : Errors()) ADD_FAILURE() << e.caption << ": " << e.text;
  const auto sent = flytec->CtrSentencesReceived();
  ASSERT_EQ(sent.size(), 8u);
  EXPECT_EQ(sent[0], "$PBRCTRW,005,000,TEST CTR         ,0200");
  EXPECT_EQ(sent[1], "$PBRCTRW,005,001,GND              ");
  EXPECT_EQ(sent[2], "$PBRCTRW,005,002,P,4630.000,N,00800.000,E");
  EXPECT_EQ(sent[5], "$PBRCTRW,003,000,ROUND            ,0200");
  EXPECT_EQ(sent[7], "$PBRCTRW,003,002,C,4700.000,N,00900.000,E,03704");  // 2 nautical miles

  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /WR_CTR=%dir/none.txt /EXIT /WIN=0"), 1);
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors()[0].caption, "Reading CTR file");
}

// Both programs run the same command line through the same runner: a download from the virtual
// instrument saved as IGC, the window program hidden.
TEST_F(UnattendedRun, WindowProgramAndHeadlessProgramRunTheSameDownload) {
  StartInstrument();
  std::vector<std::pair<std::string, std::string>> programs = {{"cli", LOGWELL_CLI_PATH}};
#ifdef LOGWELL_WINDOW_PATH
  programs.emplace_back("window", LOGWELL_WINDOW_PATH);
#endif
  for (const auto& [name, program] : programs) {
    const fs::path out = dir / name;
    fs::create_directories(out);
    const std::string command =
        "QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" + dir.string() + "' timeout 60 '" + program +
        "' /COM=" + instrument->DevicePath() + " /GPS=IQCOMPEO '/IGC_LOG=" + out.string() +
        "/' /EXIT /WIN=0 2>'" + (dir / (name + ".err")).string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << name << ": " << status << " " << Read(dir / (name + ".err"));
    EXPECT_EQ(Read(out / "2023-05-26-xxx-123-01.igc"), flight) << name;
  }
}

}  // namespace
}  // namespace logwell

namespace logwell {
namespace {

// The waypoints a pilot's instrument holds once the pilot's IDs have been uploaded to it.
std::vector<sim::FlytecWaypoint> IdentityWaypoints(int compId, int civlId) {
  std::vector<sim::FlytecWaypoint> waypoints;
  for (const Waypoint& w : BuildPilotIdentityWaypoints(compId, civlId, false, 0)) {
    sim::FlytecWaypoint f;
    f.latitude = SemicirclesToDegrees(w.latitude);
    f.longitude = SemicirclesToDegrees(w.longitude);
    f.shortName = std::string(w.Id());
    f.longName = std::string(w.Id());
    waypoints.push_back(f);
  }
  waypoints.push_back({46.5, 8.1, "TAKEOF", "TAKEOFF", 1500});
  return waypoints;
}

constexpr std::string_view kPilots = "Name,CompId,CivlId\r\nJane Doe,17,1234\r\nJohn Roe,18,5678\r\n";

TEST_F(UnattendedRun, CompetitionDownloadLandsOnceUnderThePilotOfTheInstrumentsIds) {
  StartInstrument(false, {At(2023, 5, 26, 10, 0, 0)}, {}, IdentityWaypoints(18, 5678));
  std::ofstream(dir / "pilots.csv", std::ios::binary) << kPilots;
  fs::create_directories(dir / "comp");
  const std::string line =
      "/COM=%dev /GPS=IQCOMPEO /COMP_LOG=IGC /COMP_FS=%dir/pilots.csv /COMP_DIR=%dir/comp /EXIT /WIN=0";
  ASSERT_EQ(Run(line), 0) << ui.LastStatus();
  const auto files = FilesIn(dir / "comp");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(files[0].starts_with("John Roe.") && files[0].ends_with(".5678.18.igc")) << files[0];
  EXPECT_TRUE(files[1].ends_with(".5678.18.kml")) << files[1];
  EXPECT_EQ(Read(dir / "comp" / files[0]), flight);  // the instrument's own signed text
  const auto statuses = ui.StatusTexts();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Comp ID = 18, CIVL ID = 5678"),
            statuses.end());

  // Read again (a retry at the desk): the flight is recognised and not saved a second time.
  ui.Clear();
  EXPECT_EQ(Run(line), 0);
  EXPECT_EQ(FilesIn(dir / "comp"), files);
  EXPECT_TRUE(ui.LastStatus().ends_with("\" already processed")) << ui.LastStatus();
}

TEST_F(UnattendedRun, CompetitionDownloadNeverGuessesThePilot) {
  std::ofstream(dir / "pilots.csv", std::ios::binary) << kPilots;
  fs::create_directories(dir / "comp");
  const std::string line =
      "/COM=%dev /GPS=IQCOMPEO /COMP_LOG=KML /COMP_FS=%dir/pilots.csv /COMP_DIR=%dir/comp /EXIT /WIN=0";
  struct Case {
    std::vector<sim::FlytecWaypoint> onInstrument;
    std::string extra;
    std::string error;  // empty: saved for Jane Doe
  };
  const Case cases[] = {
      {{}, "", "Pilot not identified: no pilot ID on the instrument or the command line"},
      {{}, " /COMPID=99", "Pilot not identified: no pilot in the list has comp. ID 99"},
      {IdentityWaypoints(17, 5678), "",
       "Pilot not identified: the IDs name two pilots (comp. ID 17, CIVL ID 5678)"},
      {IdentityWaypoints(-1, 999), " /COMPID=17", "Pilot not identified: no pilot in the list has CIVL ID 999"},
      {{}, " /COMPID=18 /CIVLID=1234", "Pilot not identified: the IDs name two pilots (comp. ID 18, CIVL ID 1234)"},
      {IdentityWaypoints(18, 5678), " /COMPID=17",
       "Pilot not identified: instrument and command line name different pilots"},
      {{}, " /COMPID=17", ""},
  };
  for (const Case& c : cases) {
    StartInstrument(false, {At(2023, 5, 26, 10, 0, 0)}, {}, c.onInstrument);
    ui.Clear();
    const int exitCode = Run(line + c.extra);
    if (c.error.empty()) {
      EXPECT_EQ(exitCode, 0) << c.extra;
      const auto files = FilesIn(dir / "comp");
      ASSERT_EQ(files.size(), 2u);
      EXPECT_TRUE(files[0].starts_with("Jane Doe.") && files[0].ends_with(".1234.17.igc"));
    } else {
      EXPECT_EQ(exitCode, 1) << c.extra;
      ASSERT_FALSE(Errors().empty());
      EXPECT_EQ(Errors().front().text, c.error);
      EXPECT_TRUE(FilesIn(dir / "comp").empty());
      // Refused on the IDs before the track was asked for: the flight never crossed the line.
      EXPECT_EQ(flytec->TrackRequests(), 0) << c.extra;
    }
  }
}

TEST_F(UnattendedRun, CompetitionDownloadWithoutAListTakesTheCommandLinesPilot) {
  StartInstrument(false, {At(2023, 5, 26, 10, 0, 0)}, {}, IdentityWaypoints(18, 5678));
  ASSERT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /COMP_LOG=IGC /COMP_DIR=%dir /PILOT=\"Ann Lee\" /COMPID=5 "
                "/EXIT /WIN=0"),
            0);
  const auto files = FilesIn(dir);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(files[0].starts_with("Ann Lee.") && files[0].ends_with(".[CIVLID].5.igc")) << files[0];

  ui.Clear();
  EXPECT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /COMP_LOG=IGC /COMP_DIR=%dir/missing /EXIT /WIN=0"), 1);
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors().front().text, "Folder not found");
}

TEST_F(UnattendedRun, CompetitionFileIsTheServedTextEvenWhereTheSpeedAnalysisWouldCut) {
  // A fix 55 km off in the middle: the speed analysis (on: no /NOCHECK) would remove it.
  const std::string served = FlytecFlight(At(2023, 5, 26, 10, 0, 0), [](std::vector<TrackPoint>& p) {
    p[60].latitude += sim::DegreesToSemicircles(0.5);
  });
  StartServing({served}, {}, IdentityWaypoints(18, 5678));
  std::ofstream(dir / "pilots.csv", std::ios::binary) << kPilots;
  fs::create_directories(dir / "comp");
  ASSERT_EQ(Run("/COM=%dev /GPS=IQCOMPEO /COMP_LOG=IGC /COMP_FS=%dir/pilots.csv "
                "/COMP_DIR=%dir/comp /EXIT /WIN=0"),
            0);
  const auto files = FilesIn(dir / "comp");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], "John Roe.20230526-100000.5678.18.igc");  // the flight's date and time
  EXPECT_EQ(Read(dir / "comp" / files[0]), served);
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signed by the instrument, not verified");
  const auto statuses = ui.StatusTexts();
  EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                         [](const std::string& s) {
                           return s.starts_with("The instrument's own file is kept whole") &&
                                  s.ends_with(", 1 would be removed by the filters");
                         }),
            statuses.end());
}

TEST_F(UnattendedRun, CompetitionDeskCatchesTamperedFlightsSharedTracksAndOtherDays) {
  std::ofstream(dir / "pilots.csv", std::ios::binary) << kPilots;
  fs::create_directories(dir / "comp");
  const std::string line = "/COM=%dev /GPS=IQCOMPEO /COMP_LOG=IGC /COMP_FS=%dir/pilots.csv "
                           "/COMP_DIR=%dir/comp /EXIT /WIN=0";
  // One altitude changed after the instrument signed the flight: saved, never "signature OK".
  std::string tampered = FlytecFlight(At(2023, 5, 26, 10, 0, 0));
  const std::size_t fix = tampered.find("\nB") + 1;
  tampered[fix + 30] = tampered[fix + 30] == '9' ? '8' : '9';
  StartServing({tampered});
  ASSERT_EQ(Run(line + " /COMPID=17"), 0);
  EXPECT_NE(ui.Boxes().back().text, "File saved, signature OK");
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signed by the instrument, not verified");
  const auto files = FilesIn(dir / "comp");
  ASSERT_EQ(files.size(), 2u);

  // The same instrument handed in for another pilot: refused, naming the first pilot.
  StartServing({tampered});
  ui.Clear();
  EXPECT_EQ(Run(line + " /COMPID=18"), 1);
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors().back().text, "Not saved: same flight as Jane Doe, comp. 17");
  EXPECT_EQ(FilesIn(dir / "comp"), files);

  // A flight of another day than the task's.
  StartServing({FlytecFlight(At(2007, 8, 3, 11, 0, 0))});
  ui.Clear();
  EXPECT_EQ(Run(line + " /COMPID=18 /COMP_DATE=2023-05-26"), 1);
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors().back().text, "Flight of 2007-08-03, not of the task day 2023-05-26");
  EXPECT_EQ(FilesIn(dir / "comp"), files);
}

TEST_F(UnattendedRun, PhoneIgcFileIsFiledForAPilotWithoutAnyInstrument) {
  std::ofstream(dir / "pilots.csv", std::ios::binary) << kPilots;
  fs::create_directories(dir / "comp");
  // Another program's IGC file, its own G record included.
  std::string phone = FlytecFlight(At(2023, 5, 26, 10, 0, 0));
  phone.replace(0, 4, "AXCT");
  std::ofstream(dir / "phone.igc", std::ios::binary) << phone;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Run("/LOGFILE=%dir/phone.igc /COMP_LOG=IGC /COMP_FS=%dir/pilots.csv /COMPID=17 "
                "/COMP_DIR=%dir/comp /COMP_DATE=2023-05-26 /EXIT /WIN=0"),
            0)
      << ui.LastStatus();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));  // no GPS waited for
  for (const std::string& status : ui.StatusTexts()) EXPECT_EQ(status.find("Connecting"), std::string::npos);
  const auto files = FilesIn(dir / "comp");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], "Jane Doe.20230526-100000.1234.17.igc");
  EXPECT_EQ(Read(dir / "comp" / files[0]), phone);
  EXPECT_EQ(ui.Boxes().back().text, "File saved, signed by the instrument, not verified");

  // The same file again for another pilot, in the other order of the options: refused.
  ui.Clear();
  EXPECT_EQ(Run("/COMP_LOG=IGC /LOGFILE=%dir/phone.igc /COMP_FS=%dir/pilots.csv /COMPID=18 "
                "/COMP_DIR=%dir/comp /EXIT /WIN=0"),
            1);
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors().back().text, "Not saved: same flight as Jane Doe, comp. 17");
  EXPECT_EQ(FilesIn(dir / "comp").size(), 2u);
}

}  // namespace
}  // namespace logwell
