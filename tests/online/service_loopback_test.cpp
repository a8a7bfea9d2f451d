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
  config.allowPlainHttp = true;  // the stand-in speaks plain HTTP
  config.pause = std::chrono::milliseconds(0);
  return config;
}

// The boundary a multipart form opens with ("--" and the boundary on its first line).
std::string FormBoundary(const std::string& form) { return form.substr(2, form.find("\r\n") - 2); }

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
  EXPECT_NE(requests.find("POST /tv.html?l=2&a=37&form=login&url=&login=Login&lng=en\n"
                          "GET /tv.html?l=2&a=28&user_id=4711\n"
                          "POST /tv.html?l=2&user_id=4711&a=30&no_start=y\n"
                          "GET /tv.html?l=2&user_id=4711&a=34&trip_id=99\n"
                          "GET /tv.html?l=2&a=38\nGET /tv.html?l=2\n"),
            std::string::npos)
      << requests;

  // The login went in the body, never in an address a log keeps.
  EXPECT_EQ(logwell::testing::ReadWholeFile(service.dir / "body-1.bin"),
            "login_name=pilot&pw=s%C3%A9cret%26x");
  EXPECT_EQ(requests.find("cret"), std::string::npos);

  // The uploaded KML document is well formed and holds every fix; the form's boundary is drawn
  // for this upload.
  const std::string form = logwell::testing::ReadWholeFile(service.dir / "body-2.bin");
  const std::string boundary = FormBoundary(form);
  EXPECT_GE(boundary.size(), 40u) << boundary;
  EXPECT_EQ(form, BuildLogbookForm(2, "Ozone Rush 5", body, boundary));
  const std::string start = "Content-Type: application/kml\r\n\r\n";
  const std::size_t from = form.find(start) + start.size();
  const std::size_t to = form.rfind("\r\n--" + boundary + "--\r\n");
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
        "WinInet: Cookie sent\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(trace.find("cret"), std::string::npos);
  // Each upload draws its own boundary.
  Service again("normal");
  ASSERT_TRUE(UploadToLogbook(ConfigFor(again), kAccount, body, {}, {}, {}).ok);
  EXPECT_NE(FormBoundary(logwell::testing::ReadWholeFile(again.dir / "body-2.bin")), boundary);
}

// What must not go out: a plain http:// address unless allowed; a line break in a field, which
// would add fields of its own to the form or lines to the request. The login in the address is
// still there for a service that takes it only so.
TEST(WebLogbookLoopback, UnsafeRequestsAreRefusedBeforeAnythingIsSent) {
  Service service("normal");
  const std::string body = FlightKmlBody();
  LogbookConfig config = ConfigFor(service);
  config.allowPlainHttp = false;
  EXPECT_EQ(UploadToLogbook(config, kAccount, body, {}, {}, {}).error,
            "Refused: http:// sends the password unprotected; use https:// or set LogbookAllowHttp=1");
  struct Case {
    LogbookAccount account;
    const char* error;
  };
  const Case cases[] = {
      {{"pilot", kPassword, "Rush\r\n--x\r\nContent-Disposition: form-data; name=\"class_id\"\r\n\r\n9", 2},
       "Control character in model"},
      {{"pilot\r\nX-Injected: 1", kPassword, "Rush", 2}, "Control character in user ID"},
      {{"pilot", "s3cret\n", "Rush", 2}, "Control character in password"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UploadToLogbook(ConfigFor(service), c.account, body, {}, {}, {}).error, c.error);
  }
  EXPECT_FALSE(std::filesystem::exists(service.dir / "requests.log"));

  config = ConfigFor(service);
  config.credentialsInQuery = true;
  ASSERT_TRUE(UploadToLogbook(config, kAccount, body, {}, {}, {}).ok);
  EXPECT_NE(service.Requests().find("POST /tv.html?l=2&a=37&form=login&url=&login_name=pilot&"
                                    "pw=s%C3%A9cret%26x&login=Login&lng=en\n"),
            std::string::npos);
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
  config.allowPlainHttp = true;
  LogbookAccount account = kAccount;
  account.brandModel.clear();
  EXPECT_EQ(UploadToLogbook(config, account, "", {}, {}, {}).error, "Missing model");
  // The transport says why: nothing listens, or the server cannot speak TLS.
  const std::string refused = UploadToLogbook(config, kAccount, "", {}, {}, {}).error;
  EXPECT_EQ(refused.substr(0, 37), "Could not contact Trackvault server: ") << refused;
  EXPECT_NE(refused.find("127.0.0.1"), std::string::npos) << refused;
  Service plain("normal");
  config.address = "https://127.0.0.1:" + std::to_string(plain.server.Port());
  const std::string tls = UploadToLogbook(config, kAccount, "", {}, {}, {}).error;
  EXPECT_EQ(tls.substr(0, 37), "Could not contact Trackvault server: ") << tls;
  EXPECT_GT(tls.size(), 37u) << tls;
  EXPECT_NE(tls.find("SSL"), std::string::npos) << tls;
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
      // A reply that cannot be read is no verdict on the file.
      {"uescape_validation", false, false, "unreadable reply from the validation service"},
      {"big_validation", false, false, "unreadable reply from the validation service"},
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
    if (c.reached || outcome.error == kUnreadableReplyText) {
      EXPECT_EQ(shown.back(), "Validation completed");
      // The server got the file byte for byte inside the form.
      const std::string form = logwell::testing::ReadWholeFile(service.dir / "body-1.bin");
      EXPECT_EQ(form, BuildValidationForm("18BF14K1.igc", input.bytes, FormBoundary(form)));
      EXPECT_NE(service.Requests().find("POST /api/vali/json\n"), std::string::npos);
    }
    // What the user sees: the track log is replaced only when the server answered.
    logwell::testing::ScriptedUi ui;
    EXPECT_EQ(ReportValidation(input, outcome, ui), c.reached) << c.mode;
    ASSERT_EQ(ui.Boxes().size(), 1u);
    const std::string box = c.reached ? (c.passed ? "Validation OK" : "Validation ERROR") : c.error;
    EXPECT_EQ(ui.Boxes()[0].text.substr(0, box.size()), box) << c.mode;
  }
}

}  // namespace
}  // namespace logwell::online
