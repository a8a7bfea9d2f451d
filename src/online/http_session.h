#pragma once
// One HTTP connection to a service host over libcurl, with the request trace the support
// dump needs: every request is traced as the steps of the request state machine
// ("Processing REQ_STATE_...") and the transport's events as "WinInet: ..." lines. Passwords
// given as secrets never reach the trace: every traced line is masked first.
//
// Only one online service runs at a time in the process (InternetBusy). Requests are blocking
// and meant for a worker thread; a stop request ends a transfer within about a second.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace logwell::online {

// Where trace lines go (the process's debug buffer, a test's string, nothing).
using TraceSink = std::function<void(std::string_view)>;
// Where the current step's name goes (a status field or line).
using StatusSink = std::function<void(std::string_view)>;

inline constexpr std::string_view kBusyText = "Busy with previous internet access";
inline constexpr std::size_t kReceiveChunk = 4096;  // bytes read or written per step

// The process-wide "an online service is running" mark. Acquire fails while another holds it.
class InternetBusy {
 public:
  static InternetBusy TryAcquire();
  InternetBusy(InternetBusy&& other) noexcept : held_(other.held_) { other.held_ = false; }
  InternetBusy& operator=(InternetBusy&&) = delete;
  ~InternetBusy();
  bool Held() const { return held_; }
  static bool AnyRunning();

 private:
  explicit InternetBusy(bool held) : held_(held) {}
  bool held_;
};

// "Logwell 5.07 (Linux)": the program's user agent for the web services.
std::string ServiceUserAgent();

// Replaces every occurrence of each secret (as given and as it appears URL-encoded) by "****".
std::string MaskSecrets(std::string_view text, const std::vector<std::string>& secrets);

struct HttpRequest {
  std::string verb = "GET";      // "GET" or "POST"
  std::string path;              // appended to the session's base address
  std::vector<std::string> headers;  // extra header lines without CRLF
  bool withBody = false;         // a POST of `body` (may be empty)
  std::string_view body;
  std::size_t responseLimit = 100000;  // the response is cut here; the rest is read and dropped
  long timeoutMs = 20000;
};

enum class Transport { Ok, TimedOut, Cancelled, Failed };

struct HttpResult {
  Transport transport = Transport::Failed;
  std::string error;    // the transport's text when not Ok
  std::string headers;  // raw CRLF header text of the final response, status line first
  std::string body;     // at most responseLimit bytes
};

class HttpSession {
 public:
  // `baseAddress`: "http://host[:port]" or "https://...", without a trailing "/".
  HttpSession(std::string baseAddress, TraceSink trace, std::stop_token stop,
              std::vector<std::string> secrets = {});
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // False when the transport could not be set up; `SetupError` says why.
  bool Ready() const;
  const std::string& SetupError() const { return setupError_; }
  const std::string& BaseAddress() const { return base_; }

  // Sends one request on the kept connection (cookies kept as well) and reads the response.
  // Redirects are never followed.
  HttpResult Send(const HttpRequest& request);

  // Replaces the stop token (an empty one never stops), for the requests that must still run
  // after a stop, such as a logout.
  void SetStopToken(std::stop_token stop);

  // A reachability check: any HTTP answer of `url` within `timeoutMs` counts. Empty when
  // reached, else the transport's own account of what failed (a refused connection, a
  // certificate that is not trusted, ...).
  std::string CheckReachable(const std::string& url, long timeoutMs);

  struct Impl;

 private:
  std::string base_;
  std::string setupError_;
  std::unique_ptr<Impl> impl_;
};

// A multipart form boundary drawn at random for each form, found in none of `contents`, so that
// no field or file can end its part early or add parts of its own.
std::string NewFormBoundary(std::initializer_list<std::string_view> contents);

// Escapes `text` for a URL query value (RFC 3986 unreserved characters stay).
std::string UrlEscape(std::string_view text);

}  // namespace logwell::online
