#pragma once
// The web logbook upload: log in, upload the flight's KML as a form, query the flight's page
// and log out, six requests on one kept connection, each after a pause of a second and with
// its own time-out. Every failure names its step ("Upload track: Request timed out").
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "online/http_session.h"

namespace logwell {
class Ui;
}

namespace logwell::online {

inline constexpr std::string_view kLogbookCaption = "Upload track to Trackvault";
inline constexpr std::string_view kLogbookTrackFileName = "2016-03-19_17-39.kml";
inline constexpr std::size_t kLogbookResponseSize = 100000;
inline constexpr long kLogbookStepTimeoutMs = 20000;
inline constexpr std::size_t kLogbookFieldSize = 80;  // user, password, brand/model

struct LogbookAccount {
  std::string user;
  std::string password;
  std::string brandModel;
  int classId = 0;
};

// "Missing user ID", "Missing password", "Missing model", or empty when the account is whole.
std::string_view MissingAccountField(const LogbookAccount& account);
// A field holding a control character (a line break would end a request line or a form field
// early and let the rest pass for fields of its own), or empty.
std::string_view BadAccountField(const LogbookAccount& account);

// Said when the address is plain http:// and the settings do not allow it.
inline constexpr std::string_view kLogbookPlainHttpText =
    "Refused: http:// sends the password unprotected; use https:// or set LogbookAllowHttp=1";

struct LogbookConfig {
  std::string address;   // "http://host[:port]" of the logbook, without a trailing "/"
  std::string homePage;  // the reachability check; the address + "/" when empty
  // A plain "http://" address is refused unless this is set (LogbookAllowHttp in the settings):
  // the password would cross the network readable.
  bool allowPlainHttp = false;
  // The user name and password go in the login request's body (a urlencoded form) unless this
  // is set (LogbookLoginInQuery), for a service that reads them from the address only: the
  // address of a request lands in server and proxy logs, its body does not.
  bool credentialsInQuery = false;
  long stepTimeoutMs = kLogbookStepTimeoutMs;
  std::chrono::milliseconds pause{1000};  // before each request
};

// The upload form: the trip fields and the KML document around `kmlBody`, its parts separated
// by `boundary` (NewFormBoundary).
std::string BuildLogbookForm(int classId, std::string_view brandModel, std::string_view kmlBody,
                             std::string_view boundary);

// The KML body of a flight (the statistics and distance analysis included); nothing after one
// message.
std::optional<std::string> LogbookKmlBody(std::vector<TrackPoint> points, bool timesAreUtc,
                                          bool withPressureAltitude,
                                          std::string_view instrument,
                                          std::string_view description, Ui& ui);

struct LogbookOutcome {
  bool ok = false;
  std::string error;        // the first failing step's text
  std::string logoutError;  // a failed logout after a good upload
  std::int64_t userId = 0;
  std::int64_t tripId = 0;
};

// Runs the whole upload (worker thread; no boxes). `status` gets each step's name and each
// step error. A stop request ends the current step ("...: Cancelled"); the logout is still
// tried, with a short time-out.
LogbookOutcome UploadToLogbook(const LogbookConfig& config, const LogbookAccount& account,
                               std::string_view kmlBody, const TraceSink& trace,
                               const StatusSink& status, std::stop_token stop);

}  // namespace logwell::online
