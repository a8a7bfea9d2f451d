// The web logbook upload and the online validation against the loopback stand-in server.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "online/loopback_server.h"
#include "online/validation.h"
#include "online/web_logbook.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/igc/igc_reader.h"

namespace logwell::online {
namespace {

using logwell::testing::FreshFolder;
using logwell::testing::LoopbackServer;
using logwell::testing::ScriptPath;

const std::string kPassword = "sécret&x";

std::size_t CountEntries(const char* folder) {
  std::size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

struct Service {
  std::filesystem::path dir;
  LoopbackServer server;
  Service(const std::string& mode)
      : dir(FreshFolder(mode)), server({"/usr/bin/python3", ScriptPath("service_server.py"), mode, dir.string()}) {}
  std::string Requests() const { return logwell::testing::ReadWholeFile(dir / "requests.log"); }
};

class Recorder {
 public:
  TraceSink Trace() {
    return [this](std::string_view text) {
      std::lock_guard lock(mutex_);
      trace_.append(text);
    };
  }
  std::string Text() {
    std::lock_guard lock(mutex_);
    return trace_;
  }

 private:
  std::mutex mutex_;
  std::string trace_;
};

std::string FlightKmlBody() {
  std::vector<TrackPoint> points;
  for (int i = 0; i < 60; ++i) {
    TrackPoint p;
    p.time = 1000000000u + static_cast<std::uint32_t>(i) * 5;
    p.latitude = 550000000 + i * 20000;
    p.longitude = 80000000 + (i % 7) * 30000;
    p.gpsAltitude = 15000 + i * 10;
    points.push_back(p);
  }
  logwell::testing::ScriptedUi ui;
  return LogbookKmlBody(points, true, false, "Test vario", "Evening flight", ui).value();
}

LogbookConfig ConfigFor(const Service& service) {
  LogbookConfig config;
  config.address = service.server.Address();
  config.pause = std::chrono::milliseconds(0);
  return config;
}

const LogbookAccount kAccount{"pilot", kPassword, "Ozone Rush 5", 2};

TEST(WebLogbookLoopback, SixStepsDeliverTheWholeFlight) {
  Service service("normal");
  ASSERT_GT(service.server.Port(), 0);
  Recorder recorder;
  std::vector<std::string> steps;
  const std::string body = FlightKmlBody();
  const LogbookOutcome outcome =
      UploadToLogbook(ConfigFor(service), kAccount, body, recorder.Trace(),
                      [&](std::string_view s) { steps.emplace_back(s); }, {});
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.userId, 4711);
  EXPECT_EQ(outcome.tripId, 99);
  EXPECT_EQ(steps, (std::vector<std::string>{"Start login", "Finish login", "Upload track",
                                             "Query comps", "Logging out from Trackvault",
                                             "Logging out from Trackvault (2)"}));
  const std::string requests = service.Requests();
  EXPECT_NE(requests.find("POST /tv.html?l=2&a=37&form=login&url=&login_name=pilot&pw=s%C3%A9cret%26x&login=Login&lng=en\n"
                          "GET /tv.html?l=2&a=28&user_id=4711\n"
                          "POST /tv.html?l=2&user_id=4711&a=30&no_start=y\n"
                          "GET /tv.html?l=2&user_id=4711&a=34&trip_id=99\n"
                          "GET /tv.html?l=2&a=38\nGET /tv.html?l=2\n"),
            std::string::npos)
      << requests;

  // The uploaded KML document is well formed and holds every fix.
  const std::string form = logwell::testing::ReadWholeFile(service.dir / "body-2.bin");
  const std::string start = "Content-Type: application/kml\r\n\r\n";
  const std::size_t from = form.find(start) + start.size();
  const std::size_t to = form.rfind("\r\n-----------------------------19868644317078--\r\n");
  ASSERT_NE(to, std::string::npos);
  const std::filesystem::path kml = service.dir / "upload.kml";
  std::ofstream(kml, std::ios::binary) << form.substr(from, to - from);
  EXPECT_EQ(std::system(("xmllint --noout " + kml.string()).c_str()), 0);
  const std::size_t track = body.find("<name>Tracklog</name>");
  const std::size_t open = body.find("<coordinates>", track) + 13;
  const std::string coordinates = body.substr(open, body.find("</coordinates>", open) - open);
  const std::regex tuple(R"(-?[0-9.]+,-?[0-9.]+,-?[0-9.]+)");
  EXPECT_EQ(std::distance(std::sregex_iterator(coordinates.begin(), coordinates.end(), tuple),
                          std::sregex_iterator()),
            60);

  // The trace follows the request steps; the password is nowhere in it.
  const std::string trace = recorder.Text();
  for (const char* line :
       {"Processing REQ_STATE_SEND_REQ\r\n", "Processing REQ_STATE_SEND_REQ_WITH_BODY\r\n",
        "Processing REQ_STATE_POST_SEND_DATA (4096, 0)\r\n", "Processing REQ_STATE_POST_COMPLETE\r\n",
        "ProcessRequest main result: 7, 0\r\n", "Processing requests completed\r\n",
        "WinInet: Connected to Server\r\n", "WinInet: Cookie Received\r\n",
        "WinInet: Cookie sent\r\n", "pw=****&login=Login"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(trace.find("cret"), std::string::npos);
  // Only the login request carried the password.
  std::size_t carrying = 0;
  for (std::size_t at = requests.find("s%C3%A9cret"); at != std::string::npos;
       at = requests.find("s%C3%A9cret", at + 1)) {
    ++carrying;
  }
  EXPECT_EQ(carrying, 1u);
}

TEST(WebLogbookLoopback, MisbehavingServerGivesTheStepErrorAndStillLogsOut) {
  struct Case {
    const char* mode;
    std::string error;
  };
  const Case cases[] = {
      {"login200", "Start login: Could not get user id (2)"},
      {"userid_space", "Start login: Could not get user id (8)"},
      {"slow_upload", "Upload track: Request timed out"},
      {"error_upload", "Upload track: Error (2)"},
      {"drop_upload", "Upload track: "},
      {"big_query", ""},
  };
  const std::string body = FlightKmlBody();
  for (const Case& c : cases) {
    Service service(c.mode);
    LogbookConfig config = ConfigFor(service);
    config.stepTimeoutMs = 1500;
    const LogbookOutcome outcome = UploadToLogbook(config, kAccount, body, {}, {}, {});
    EXPECT_EQ(outcome.ok, c.error.empty()) << c.mode;
    EXPECT_EQ(outcome.error.substr(0, c.error.size()), c.error) << c.mode << ": " << outcome.error;
    EXPECT_NE(service.Requests().find("GET /tv.html?l=2&a=38\n"), std::string::npos) << c.mode;
  }
}

TEST(WebLogbookLoopback, OneAtATimeCancelsAndRepeatsLeaveNothingBehind) {
  Service service("normal");
  const std::string body = FlightKmlBody();
  {
    const InternetBusy first = InternetBusy::TryAcquire();
    ASSERT_TRUE(first.Held());
    EXPECT_EQ(UploadToLogbook(ConfigFor(service), kAccount, body, {}, {}, {}).error,
              "Busy with previous internet access");
  }
  const std::size_t threads = CountEntries("/proc/self/task");
  const std::size_t files = CountEntries("/proc/self/fd");
  const std::filesystem::path temp = FreshFolder("upload_temp");
  const std::string oldTemp = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  setenv("TMPDIR", temp.c_str(), 1);
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(UploadToLogbook(ConfigFor(service), kAccount, body, {}, {}, {}).ok) << i;
  }
  // A stop in each step: the step reports it, the logout still runs.
  const char* steps[] = {"Start login", "Finish login", "Upload track", "Query comps"};
  for (const char* step : steps) {
    std::stop_source stop;
    LogbookConfig config = ConfigFor(service);
    config.pause = std::chrono::milliseconds(300);
    std::chrono::steady_clock::time_point before;
    const auto status = [&](std::string_view shown) {
      if (shown != step) return;
      before = std::chrono::steady_clock::now();
      stop.request_stop();
    };
    std::jthread worker([&] {
      const LogbookOutcome outcome =
          UploadToLogbook(config, kAccount, body, {}, status, stop.get_token());
      EXPECT_EQ(outcome.error, std::string(step) + ": Cancelled");
    });
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1)) << step;
  }
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), files);
  EXPECT_FALSE(InternetBusy::AnyRunning());
  EXPECT_TRUE(std::filesystem::is_empty(temp));
  if (oldTemp.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", oldTemp.c_str(), 1);
  }
}

TEST(WebLogbookLoopback, MissingConfigurationAndAccountSaySo) {
  LogbookConfig config;
  EXPECT_EQ(UploadToLogbook(config, kAccount, "", {}, {}, {}).error,
            "No web logbook server configured");
  config.address = "http://127.0.0.1:9";
  LogbookAccount account = kAccount;
  account.brandModel.clear();
  EXPECT_EQ(UploadToLogbook(config, account, "", {}, {}, {}).error, "Missing model");
  EXPECT_EQ(UploadToLogbook(config, kAccount, "", {}, {}, {}).error,
            "Could not contact Trackvault server");
}

ValidationInput RealIgc() {
  const auto dir = logwell::testing::FixturesDir();
  ValidationInput input;
  input.fileName = "18BF14K1.igc";
  if (dir) {
    input.bytes = logwell::testing::ReadWholeFile(*dir / "igc" / "18BF14K1.igc");
    input.points = igc::DecodeIgcText(input.bytes).points;
  } else {
    input.bytes = "AXXX001\r\n";
  }
  return input;
}

TEST(ValidationLoopback, VerdictsAndFaults) {
  struct Case {
    const char* mode;
    bool reached;
    bool passed;
    std::string error;
  };
  const Case cases[] = {
      {"normal", true, true, ""},
      {"fail_validation", true, false, ""},
      {"uescape_validation", true, false, ""},
      {"big_validation", true, false, ""},
      {"error_validation", false, false, "Validation server error (HTTP 500)"},
      {"drop_validation", false, false, "Validation request failed: "},
      {"slow_validation", false, false, "Validation timed out"},
  };
  const ValidationInput input = RealIgc();
  for (const Case& c : cases) {
    Service service(c.mode);
    ValidationConfig config{service.server.Address(), 1500};
    Recorder recorder;
    std::vector<std::string> shown;
    const ValidationOutcome outcome = SendForValidation(
        config, input, recorder.Trace(), [&](std::string_view s) { shown.emplace_back(s); }, {});
    EXPECT_EQ(outcome.reachedServer, c.reached) << c.mode;
    EXPECT_EQ(outcome.passed, c.passed) << c.mode;
    EXPECT_EQ(outcome.error.substr(0, c.error.size()), c.error) << c.mode;
    EXPECT_LE(outcome.response.size(), kValidationResponseSize);
    if (std::string(c.mode) == "big_validation") {
      EXPECT_EQ(outcome.response.size(), 1000u);
    }
    if (c.reached) {
      EXPECT_EQ(shown.back(), "Validation completed");
      // The server got the file byte for byte inside the form.
      const std::string form = logwell::testing::ReadWholeFile(service.dir / "body-1.bin");
      EXPECT_EQ(form, BuildValidationForm("18BF14K1.igc", input.bytes));
      EXPECT_NE(service.Requests().find("POST /api/vali/json\n"), std::string::npos);
    }
    // What the user sees: the track log is replaced only when the server answered.
    logwell::testing::ScriptedUi ui;
    EXPECT_EQ(ReportValidation(input, outcome, ui), c.reached) << c.mode;
  }
}

}  // namespace
}  // namespace logwell::online
