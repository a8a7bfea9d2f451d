#include "online/ftp_send.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/text.h"

namespace logwell::online {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct Transfer {
  const TraceSink* trace;
  const StatusSink* status;
  std::stop_token stop;
  std::vector<std::string> secrets;
  std::string lastReply;
  int lastPercent = -1;

  void Line(std::string_view text) const {
    if (!*trace) return;
    std::string line = MaskSecrets(text, secrets);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    (*trace)(line + "\r\n");
  }

  static int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    auto& self = *static_cast<Transfer*>(user);
    const std::string_view text(data, size);
    if (type == CURLINFO_HEADER_OUT) {
      self.Line(text.substr(0, 5) == "PASS " ? std::string_view("FTP> PASS ****")
                                              : std::string("FTP> ") + std::string(text));
    } else if (type == CURLINFO_HEADER_IN) {
      std::string reply(text);
      while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
      self.Line("FTP< " + reply);
      self.lastReply = WithoutControlCharacters(reply);
    }
    return 0;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t total, curl_off_t now) {
    auto& self = *static_cast<Transfer*>(user);
    if (self.stop.stop_requested()) return 1;
    if (total > 0 && *self.status) {
      const int percent = static_cast<int>(now * 100 / total);
      if (percent != self.lastPercent) {
        self.lastPercent = percent;
        (*self.status)(FormatText("Sending file (%d%%)", percent));
      }
    }
    return 0;
  }
};

// Which of our steps a transport failure belongs to.
const char* StepOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_URL_MALFORMAT:
      return "CheckConnection";
    case CURLE_LOGIN_DENIED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
      return "Connect";
    case CURLE_READ_ERROR:
      return "OpenFile";
    default:
      return "PutFile";
  }
}

// The remote name as a URL path: each character outside the unreserved set escaped, "/" kept.
std::string RemotePath(std::string_view name) {
  std::string path;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t slash = std::min(name.find('/', start), name.size());
    if (start > 0) path.push_back('/');
    path += UrlEscape(name.substr(start, slash - start));
    start = slash + 1;
  }
  return path;
}

}  // namespace

std::optional<std::string> FtpHostOf(std::string_view serverText) {
  constexpr std::string_view kHttp = "http://";
  if (serverText.substr(0, kHttp.size()) == kHttp) serverText.remove_prefix(kHttp.size());
  while (!serverText.empty() && serverText.back() == '/') serverText.remove_suffix(1);
  if (serverText.empty()) return std::nullopt;
  return std::string(serverText);
}

FtpOutcome SendFileByFtp(const FtpRequest& request, const TraceSink& trace,
                         const StatusSink& status, std::stop_token stop) {
  FtpOutcome outcome;
  const std::optional<std::string> host = FtpHostOf(request.server);
  if (!host) {
    outcome.message = "Missing server name";
    return outcome;
  }
  if (request.localFile.empty()) {
    outcome.message = "Missing local file name";
    return outcome;
  }
  if (request.remoteName.empty()) {
    outcome.message = "Missing remote file name";
    return outcome;
  }
  if (host->find_first_of("/?#@ ") != std::string::npos || HasControlCharacter(*host)) {
    outcome.message = "CheckConnection(): bad server name \"" + WithoutControlCharacters(*host) + "\"";
    return outcome;
  }
  // A line break would end the USER or PASS command early and send the rest as commands of
  // their own.
  if (HasControlCharacter(request.user) || HasControlCharacter(request.password)) {
    outcome.message = "Connect(): control character in the user name or password";
    return outcome;
  }
  if (HasControlCharacter(request.remoteName)) {
    outcome.message = "PutFile(): control character in the remote name";
    return outcome;
  }
  const InternetBusy busy = InternetBusy::TryAcquire();
  if (!busy.Held()) {
    outcome.message = std::string(kBusyText);
    return outcome;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(request.localFile.c_str(), "rb"));
  if (!file) {
    outcome.message = "OpenFile(): " + std::string(std::strerror(errno));
    return outcome;
  }
  std::error_code sizeError;
  const auto size = std::filesystem::file_size(request.localFile, sizeError);
  if (sizeError) {
    outcome.message = "OpenFile(): " + sizeError.message();
    return outcome;
  }

  curl_global_init(CURL_GLOBAL_DEFAULT);
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) {
    outcome.message = "InternetOpen(): could not create a transfer handle";
    return outcome;
  }
  Transfer transfer{&trace, &status, stop, {request.password}, {}, -1};
  CURL* h = curl.get();
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  const std::string url = "ftp://" + *host + "/" + RemotePath(request.remoteName);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(h, CURLOPT_USERNAME, request.user.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, "Logwell");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);  // binary
  curl_easy_setopt(h, CURLOPT_READDATA, file.get());
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  if (!request.passive) curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
  const long tls = !request.requireTls   ? CURLUSESSL_NONE
                   : request.tlsControlOnly ? CURLUSESSL_CONTROL
                                            : CURLUSESSL_ALL;
  curl_easy_setopt(h, CURLOPT_USE_SSL, tls);
  curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  if (!request.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, request.caFile.c_str());
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, 60L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &Transfer::OnDebug);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);

  const CURLcode code = curl_easy_perform(h);
  if (code == CURLE_OK) {
    outcome.ok = true;
    outcome.message = std::string(kFtpSentText);
    return outcome;
  }
  // The transport's own account where it gave one ("SSL certificate problem: ...").
  const std::string reason = code == CURLE_ABORTED_BY_CALLBACK ? std::string("Cancelled")
                             : errorText[0] != '\0'            ? WithoutControlCharacters(errorText)
                                                               : std::string(curl_easy_strerror(code));
  outcome.message = std::string(StepOf(code)) + "(): " + reason;
  // The server's own words when it refused.
  if (!transfer.lastReply.empty() &&
      (transfer.lastReply.front() == '4' || transfer.lastReply.front() == '5')) {
    outcome.message += " (" + transfer.lastReply + ")";
  }
  transfer.Line("FTP failed: " + outcome.message);
  return outcome;
}

}  // namespace logwell::online
