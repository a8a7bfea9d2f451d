#include "online/web_logbook.h"

#include <condition_variable>
#include <mutex>

#include "base/secret.h"
#include "base/text.h"
#include "base/ui.h"
#include "kml/kml_save.h"
#include "kml/kml_writer.h"
#include "online/response_check.h"

namespace logwell::online {

namespace {

constexpr long kLogoutAfterStopTimeoutMs = 5000;

void AppendPart(std::string& form, std::string_view boundary, std::string_view name,
                std::string_view value) {
  form.append("--").append(boundary).append("\r\n");
  form.append("Content-Disposition: form-data; name=\"").append(name).append("\"\r\n\r\n");
  form.append(value).append("\r\n");
}

// Waits `pause` unless a stop is requested first; false then.
bool Pause(std::chrono::milliseconds pause, const std::stop_token& stop) {
  if (pause.count() <= 0) return !stop.stop_requested();
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  return !wake.wait_for(lock, stop, pause, [] { return false; });
}

class Uploader {
 public:
  Uploader(const LogbookConfig& config, const LogbookAccount& account, const TraceSink& trace,
           const StatusSink& status, std::stop_token stop)
      : config_(config),
        stop_(stop),
        status_(status),
        session_(config.address, trace, stop, {account.password}) {}

  HttpSession& Session() { return session_; }

  void Show(std::string_view text) const {
    if (status_) status_(text);
  }

  // One step: its name, the pause, the request and its wait. The response, or nothing after
  // the step's error text went to `error`.
  std::optional<HttpResult> Step(std::string_view name, std::string_view errorName,
                                 HttpRequest request, std::string& error, bool afterStop = false) {
    Show(name);
    if (!afterStop && !Pause(config_.pause, stop_)) {
      error = std::string(errorName) + ": Cancelled";
      return std::nullopt;
    }
    request.timeoutMs = afterStop ? kLogoutAfterStopTimeoutMs : config_.stepTimeoutMs;
    request.responseLimit = kLogbookResponseSize;
    HttpResult result = session_.Send(request);
    switch (result.transport) {
      case Transport::Ok: return result;
      case Transport::TimedOut: error = std::string(errorName) + ": Request timed out"; break;
      case Transport::Cancelled: error = std::string(errorName) + ": Cancelled"; break;
      case Transport::Failed: error = std::string(errorName) + ": " + result.error; break;
    }
    return std::nullopt;
  }

 private:
  const LogbookConfig& config_;
  std::stop_token stop_;
  const StatusSink& status_;
  HttpSession session_;
};

HttpRequest Get(std::string path) {
  HttpRequest request;
  request.path = std::move(path);
  request.headers = {"Accept: text/html"};
  return request;
}

}  // namespace

std::string_view MissingAccountField(const LogbookAccount& account) {
  if (account.user.empty()) return "Missing user ID";
  if (account.password.empty()) return "Missing password";
  if (account.brandModel.empty()) return "Missing model";
  return {};
}

std::string_view BadAccountField(const LogbookAccount& account) {
  if (HasControlCharacter(account.user)) return "Control character in user ID";
  if (HasControlCharacter(account.password)) return "Control character in password";
  if (HasControlCharacter(account.brandModel)) return "Control character in model";
  return {};
}

std::string BuildLogbookForm(int classId, std::string_view brandModel, std::string_view kmlBody,
                             std::string_view boundary) {
  std::string form;
  form.reserve(kmlBody.size() + 4000);
  AppendPart(form, boundary, "form", "trip_form");
  AppendPart(form, boundary, "start", "x");
  AppendPart(form, boundary, "class_id", FormatText("%d", classId));
  AppendPart(form, boundary, "brandmodel", brandModel);
  AppendPart(form, boundary, "cnt", "1");
  AppendPart(form, boundary, "description", " ");
  form.append("--").append(boundary).append("\r\n");
  form.append("Content-Disposition: form-data; name=\"tracklog\"; filename=\"")
      .append(kLogbookTrackFileName)
      .append("\"\r\nContent-Type: application/kml\r\n\r\n");
  form.append(kml::kKmlBareDocumentStart).append(kmlBody).append(kml::kKmlBareDocumentEnd).append("\r\n");
  form.append("--").append(boundary).append("--\r\n");
  return form;
}

std::optional<std::string> LogbookKmlBody(std::vector<TrackPoint> points, bool timesAreUtc,
                                          bool withPressureAltitude,
                                          std::string_view instrument,
                                          std::string_view description, Ui& ui) {
  if (points.size() < kml::kMinKmlPositions) {
    ui.ShowErrorBox("Number of positions must be 5 or more", kLogbookCaption);
    return std::nullopt;
  }
  kml::KmlTrackInfo info;
  info.points = points;
  info.timesAreUtc = timesAreUtc;
  if (kml::NormaliseMissingTimes(info.points)) info.timesAreUtc = false;
  if (!kml::AnalyseForKml(info, ui)) return std::nullopt;
  info.withPressureAltitude = withPressureAltitude;
  std::string body;
  const std::string_view cut = description.substr(0, kml::kMaxLogbookDescription);
  const int result = kml::WriteKmlBody(body, info, cut, instrument);
  if (result != kml::kKmlBodyOk) {
    ui.ShowErrorBox(result == kml::kKmlBodyNoMemory ? "File encoding buffer memory allocation error"
                                                    : "File encoding error",
                    kLogbookCaption);
    return std::nullopt;
  }
  return body;
}

LogbookOutcome UploadToLogbook(const LogbookConfig& config, const LogbookAccount& account,
                               std::string_view kmlBody, const TraceSink& trace,
                               const StatusSink& status, std::stop_token stop) {
  LogbookOutcome outcome;
  const auto fail = [&](std::string text) {
    if (status) status(text);
    if (outcome.error.empty()) outcome.error = std::move(text);
  };
  if (config.address.empty()) {
    outcome.error = "No web logbook server configured";
    return outcome;
  }
  if (const std::string_view missing = MissingAccountField(account); !missing.empty()) {
    outcome.error = std::string(missing);
    return outcome;
  }
  if (const std::string_view bad = BadAccountField(account); !bad.empty()) {
    outcome.error = std::string(bad);
    return outcome;
  }
  if (StartsWithIgnoringCase(config.address, "http://") && !config.allowPlainHttp) {
    outcome.error = std::string(kLogbookPlainHttpText);
    return outcome;
  }
  const InternetBusy busy = InternetBusy::TryAcquire();
  if (!busy.Held()) {
    outcome.error = std::string(kBusyText);
    return outcome;
  }
  Uploader up(config, account, trace, status, stop);
  if (!up.Session().Ready()) {
    outcome.error = up.Session().SetupError();
    return outcome;
  }
  const std::string home = config.homePage.empty() ? config.address + "/" : config.homePage;
  if (const std::string reason = up.Session().CheckReachable(home, config.stepTimeoutMs);
      !reason.empty()) {
    outcome.error = "Could not contact Trackvault server: " + reason;
    return outcome;
  }

  std::string error;
  // A step answered by a redirect whose Location ends in a number; a failure is `failText`
  // and the check code.
  const auto redirected = [&](std::string_view name, const HttpRequest& request,
                              const std::string& urlPrefix, bool ampersandEnds,
                              std::int64_t& number, const char* failText) {
    if (auto r = up.Step(name, name, request, error)) {
      int code = CheckStatus(r->headers, 302);
      if (code == 0) code = ReadLocationNumber(r->headers, urlPrefix, ampersandEnds, number);
      if (code == 0) return true;
      fail(FormatText("%s (%d)", failText, -code));
    } else {
      fail(error);
    }
    return false;
  };
  const auto simple = [&](std::string_view name, HttpRequest request, int wanted) {
    if (auto r = up.Step(name, name, std::move(request), error)) {
      const int code = CheckStatus(r->headers, wanted);
      if (code == 0) return true;
      fail(FormatText("%.*s: Error (%d)", static_cast<int>(name.size()), name.data(), -code));
    } else {
      fail(error);
    }
    return false;
  };
  const auto user = [&outcome] { return static_cast<long long>(outcome.userId); };

  // The credentials as a urlencoded form: in the body, or (for a service that takes them there
  // only) in the address.
  std::string credentials =
      "login_name=" + UrlEscape(account.user) + "&pw=" + UrlEscape(account.password);
  HttpRequest login;
  if (config.credentialsInQuery) {
    login = Get("/tv.html?l=2&a=37&form=login&url=&" + credentials + "&login=Login&lng=en");
  } else {
    login = Get("/tv.html?l=2&a=37&form=login&url=&login=Login&lng=en");
    login.body = credentials;
    login.headers.emplace_back("Content-Type: application/x-www-form-urlencoded");
  }
  login.verb = "POST";
  login.withBody = true;
  bool good = redirected("Start login", login, config.address + "/tv.html?l=2&a=28&user_id=",
                         false, outcome.userId, "Start login: Could not get user id");
  WipeSecret(login.path);
  WipeSecret(credentials);
  if (good) {
    good = simple("Finish login", Get(FormatText("/tv.html?l=2&a=28&user_id=%lld", user())), 200);
  }
  if (good) {
    const std::string boundary = NewFormBoundary({kmlBody, account.brandModel});
    const std::string form = BuildLogbookForm(account.classId, account.brandModel, kmlBody, boundary);
    HttpRequest upload = Get(FormatText("/tv.html?l=2&user_id=%lld&a=30&no_start=y", user()));
    upload.verb = "POST";
    upload.withBody = true;
    upload.body = form;
    upload.headers.push_back("Content-Type: multipart/form-data; boundary=" + boundary);
    good = redirected(
        "Upload track", upload,
        config.address + FormatText("/tv.html?l=2&user_id=%lld&a=34&trip_id=", user()), true,
        outcome.tripId, "Upload track: Error");
  }
  if (good) {
    good = simple("Query comps", Get(FormatText("/tv.html?l=2&user_id=%lld&a=34&trip_id=%lld",
                                                static_cast<long long>(outcome.userId),
                                                static_cast<long long>(outcome.tripId))),
                  200);
  }
  outcome.ok = good;

  // Logout always; after a stop it runs without the stop and with a short time-out.
  const bool afterStop = stop.stop_requested();
  if (afterStop) up.Session().SetStopToken({});
  std::string logoutError;
  if (auto r = up.Step("Logging out from Trackvault", "Logout", Get("/tv.html?l=2&a=38"),
                       logoutError, afterStop)) {
    const int code = CheckStatus(r->headers, 302);
    if (code != 0) {
      logoutError = FormatText("Logout: Error (%d)", -code);
    } else if (auto r2 = up.Step("Logging out from Trackvault (2)", "Finish logout",
                                 Get("/tv.html?l=2"), logoutError, afterStop)) {
      const int code2 = CheckStatus(r2->headers, 200);
      if (code2 != 0) logoutError = FormatText("Finish logout: Error (%d)", -code2);
    }
  }
  if (!logoutError.empty()) {
    if (status) status(logoutError);
    if (outcome.ok) outcome.logoutError = logoutError;
  }
  return outcome;
}

}  // namespace logwell::online
