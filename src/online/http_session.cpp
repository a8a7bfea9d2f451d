#include "online/http_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>

#include "base/text.h"
#include "base/version.h"

namespace logwell::online {

namespace {

std::atomic<bool> gInternetBusy{false};

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view FirstLine(std::string_view text) {
  return text.substr(0, std::min(text.find_first_of("\r\n"), text.size()));
}

// The transport's detailed text ("SSL certificate problem: self-signed certificate") when it
// gave one, else the text of the code.
std::string TransportText(CURLcode code, const char* detail) {
  if (detail != nullptr && *detail != '\0') return WithoutControlCharacters(detail);
  return curl_easy_strerror(code);
}

}  // namespace

std::string NewFormBoundary(std::initializer_list<std::string_view> contents) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  for (;;) {
    std::string boundary = "----------------LogwellForm";
    for (int i = 0; i < 32; ++i) boundary.push_back(kHex[random() & 15]);
    bool inContent = false;
    for (const std::string_view content : contents) {
      inContent |= content.find(boundary) != std::string_view::npos;
    }
    if (!inContent) return boundary;
  }
}

InternetBusy InternetBusy::TryAcquire() {
  bool expected = false;
  return InternetBusy(gInternetBusy.compare_exchange_strong(expected, true));
}

InternetBusy::~InternetBusy() {
  if (held_) gInternetBusy.store(false);
}

bool InternetBusy::AnyRunning() { return gInternetBusy.load(); }

std::string ServiceUserAgent() {
  return FormatText("Logwell %d.%02d (Linux)", kVersionNumber / 100, kVersionNumber % 100);
}

std::string UrlEscape(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string MaskSecrets(std::string_view text, const std::vector<std::string>& secrets) {
  std::string out(text);
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (const std::string& form : {secret, UrlEscape(secret)}) {
      for (std::size_t at = out.find(form); at != std::string::npos;
           at = out.find(form, at + 4)) {
        out.replace(at, form.size(), "****");
      }
    }
  }
  return out;
}

struct HttpSession::Impl {
  CurlHandle curl;
  TraceSink trace;
  std::stop_token stop;
  std::vector<std::string> secrets;
  // The request under way.
  HttpResult* result = nullptr;
  std::string_view body;
  std::size_t sent = 0;
  std::size_t limit = 0;
  int state = 0;
  char errorText[CURL_ERROR_SIZE] = {};

  void Line(std::string_view text) const {
    if (!trace) return;
    std::string line = MaskSecrets(text, secrets);
    line += "\r\n";
    trace(line);
  }
  void Step(std::string_view text, int next) {
    Line(text);
    state = next;
    Line(FormatText("ProcessRequest sub result: %d, 0", next));
  }

  static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& self = *static_cast<Impl*>(user);
    const std::size_t room = std::min(size * count, kReceiveChunk);
    const std::size_t chunk = std::min(room, self.body.size() - self.sent);
    self.Step(FormatText("Processing REQ_STATE_POST_GET_DATA (%zu)", self.sent), 3);
    self.Line(FormatText("Processing REQ_STATE_POST_SEND_DATA (%zu, %zu)", chunk, self.sent));
    std::copy_n(self.body.data() + self.sent, chunk, buffer);
    self.sent += chunk;
    self.state = 2;
    self.Line("ProcessRequest sub result: 2, 0");
    if (self.sent == self.body.size()) self.FinishBody();
    return chunk;
  }

  void FinishBody() {
    Step(FormatText("Processing REQ_STATE_POST_GET_DATA (%zu)", sent), 3);
    Step(FormatText("Processing REQ_STATE_POST_SEND_DATA (0, %zu)", sent), 4);
    Step("Processing REQ_STATE_POST_COMPLETE", 5);
  }

  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* user) {
    auto& self = *static_cast<Impl*>(user);
    const std::size_t bytes = size * count;
    self.Step("Processing REQ_STATE_RESPONSE_RECV_DATA", 6);
    self.Step("Processing REQ_STATE_RESPONSE_WRITE_DATA", 5);
    std::string& out = self.result->body;
    const std::size_t keep = std::min(bytes, self.limit - std::min(self.limit, out.size()));
    out.append(data, keep);
    return bytes;  // the rest of an over-long answer is read and dropped
  }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& self = *static_cast<Impl*>(user);
    const std::string_view line(data, size * count);
    // A new status line (after "100 Continue", say) starts the final response's headers.
    if (StartsWith(line, "HTTP/")) self.result->headers.clear();
    self.result->headers.append(line);
    return line.size();
  }

  static int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    auto& self = *static_cast<Impl*>(user);
    const std::string_view text(data, size);
    switch (type) {
      case CURLINFO_TEXT:
        if (StartsWith(text, "  Trying ")) {
          self.Line("WinInet: Resolving Name");
          self.Line("WinInet: Name Resolved");
          self.Line("WinInet: Connecting to Server");
        } else if (StartsWith(text, "Connected to ")) {
          self.Line("WinInet: Connected to Server");
        } else if (StartsWith(text, "Closing connection")) {
          self.Line("WinInet: Closing Connection");
          self.Line("WinInet: Connection Closed");
        } else if (StartsWith(text, "Added cookie") || StartsWith(text, "Replaced cookie")) {
          self.Line("WinInet: Cookie Received");
        }
        break;
      case CURLINFO_HEADER_OUT:
        self.Line("WinInet: Sending request");
        self.Line(FirstLine(text));
        if (text.find("\r\nCookie:") != std::string_view::npos) self.Line("WinInet: Cookie sent");
        self.Line("WinInet: Request sent");
        break;
      case CURLINFO_HEADER_IN:
        if (StartsWith(text, "HTTP/")) {
          self.Line("WinInet: Receiving Response");
          self.Line(FirstLine(text));
        } else if (text == "\r\n" || text == "\n") {
          self.Line("WinInet: Response received");
        }
        break;
      default:
        break;
    }
    return 0;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& self = *static_cast<Impl*>(user);
    return self.stop.stop_requested() ? 1 : 0;
  }

  void CommonOptions(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_USERAGENT, ServiceUserAgent().c_str());
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &Impl::OnDebug);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  }
};

HttpSession::HttpSession(std::string baseAddress, TraceSink trace, std::stop_token stop,
                         std::vector<std::string> secrets)
    : base_(std::move(baseAddress)), impl_(std::make_unique<Impl>()) {
  InitialiseCurlOnce();
  impl_->trace = std::move(trace);
  impl_->stop = std::move(stop);
  impl_->secrets = std::move(secrets);
  impl_->curl.reset(curl_easy_init());
  if (!impl_->curl) {
    setupError_ = "InternetOpen(): could not create a transfer handle";
    return;
  }
  CURL* curl = impl_->curl.get();
  impl_->CommonOptions(curl);
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // cookies in memory, for this session
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kReceiveChunk));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Impl::OnWrite);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, impl_.get());
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, impl_.get());
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Impl::OnRead);
  curl_easy_setopt(curl, CURLOPT_READDATA, impl_.get());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, impl_->errorText);
}

HttpSession::~HttpSession() = default;

void HttpSession::SetStopToken(std::stop_token stop) { impl_->stop = std::move(stop); }

bool HttpSession::Ready() const { return impl_->curl != nullptr; }

HttpResult HttpSession::Send(const HttpRequest& request) {
  HttpResult result;
  if (!Ready()) {
    result.error = setupError_;
    return result;
  }
  Impl& impl = *impl_;
  CURL* curl = impl.curl.get();
  impl.result = &result;
  impl.body = request.body;
  impl.sent = 0;
  impl.limit = request.responseLimit;
  impl.errorText[0] = '\0';

  const std::string url = base_ + request.path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.timeoutMs);
  HeaderList headers;
  // The body is sent as it is, without waiting for "100 Continue".
  std::vector<std::string> lines = request.headers;
  lines.emplace_back("Expect:");
  for (const std::string& line : lines) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown == nullptr) {
      result.error = "HttpAddRequestHeaders(): out of memory";
      return result;
    }
    static_cast<void>(headers.release());
    headers.reset(grown);
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  if (request.withBody) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    if (request.body.empty()) {
      impl.state = 0;
      impl.Step("Processing REQ_STATE_SEND_REQ", 5);
    } else {
      impl.state = 1;
      impl.Step("Processing REQ_STATE_SEND_REQ_WITH_BODY", 2);
    }
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST,
                     request.verb == "GET" ? nullptr : request.verb.c_str());
    impl.state = 0;
    impl.Step("Processing REQ_STATE_SEND_REQ", 5);
  }

  const CURLcode code = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  if (code == CURLE_OK) {
    impl.Step("Processing REQ_STATE_RESPONSE_RECV_DATA", 6);
    impl.Step("Processing REQ_STATE_RESPONSE_WRITE_DATA", 7);
    result.transport = Transport::Ok;
  } else {
    result.transport = code == CURLE_OPERATION_TIMEDOUT        ? Transport::TimedOut
                       : code == CURLE_ABORTED_BY_CALLBACK ? Transport::Cancelled
                                                           : Transport::Failed;
    result.error = TransportText(code, impl.errorText);
  }
  impl.Line(FormatText("ProcessRequest main result: %d, %d", impl.state, static_cast<int>(code)));
  if (code != CURLE_OK) impl.Line("Transport error: " + result.error);
  impl.Line("Processing requests completed");
  impl.result = nullptr;
  return result;
}

std::string HttpSession::CheckReachable(const std::string& url, long timeoutMs) {
  CurlHandle probe(curl_easy_init());
  if (!probe) return "could not create a transfer handle";
  impl_->CommonOptions(probe.get());
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(probe.get(), CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(probe.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(probe.get(), CURLOPT_NOBODY, 1L);
  curl_easy_setopt(probe.get(), CURLOPT_TIMEOUT_MS, timeoutMs);
  const CURLcode code = curl_easy_perform(probe.get());
  return code == CURLE_OK ? std::string() : TransportText(code, errorText);
}

}  // namespace logwell::online
