#include "online/validation.h"

#include <system_error>

#include "base/text.h"
#include "base/ui.h"
#include "online/response_check.h"
#include "track/formats/track_file_io.h"
#include "track/igc/igc_reader.h"

namespace logwell::online {

namespace {

// A cursor over the answer; every method returns false on the first byte it does not accept.
class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) : text_(text) {}

  bool AtEnd() const { return at_ == text_.size(); }

  void SkipSpace() {
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' && c != ' ' &&
          c != 0x85 && c != 0xA0) {
        return;
      }
      ++at_;
    }
  }

  bool Take(char c) {
    SkipSpace();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool Peek(char c) {
    SkipSpace();
    return at_ < text_.size() && text_[at_] == c;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    out.clear();
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      switch (text_[at_++]) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 't': out.push_back('\t'); break;
        case 'n': out.push_back('\n'); break;
        case 'f': out.push_back('\f'); break;
        case 'r': out.push_back('\r'); break;
        default: return false;  // \u and anything else
      }
    }
    return false;
  }

  // Any JSON value, thrown away; nesting is bounded so that hostile input cannot exhaust the
  // stack.
  bool SkipValue(int depth = 0) {
    if (depth > 64) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    std::string ignored;
    switch (text_[at_]) {
      case '"': return String(ignored);
      case '{': {
        ++at_;
        if (Take('}')) return true;
        do {
          if (!String(ignored) || !Take(':') || !SkipValue(depth + 1)) return false;
        } while (Take(','));
        return Take('}');
      }
      case '[': {
        ++at_;
        if (Take(']')) return true;
        do {
          if (!SkipValue(depth + 1)) return false;
        } while (Take(','));
        return Take(']');
      }
      case 't': return Word("true");
      case 'f': return Word("false");
      case 'n': return Word("null");
      default: return Number();
    }
  }

 private:
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }
  bool Number() {
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!Digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!Digits()) return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

std::string SafeFormName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c == '"' || c == '\r' || c == '\n' || c == '\\') c = '?';
  }
  return out;
}

}  // namespace

std::optional<ValidationReply> ParseValidationReply(std::string_view text) {
  JsonCursor json(text);
  ValidationReply reply;
  if (!json.Take('{')) return std::nullopt;
  if (!json.Take('}')) {
    do {
      std::string key;
      if (!json.String(key) || !json.Take(':')) return std::nullopt;
      std::string value;
      if (key == "result" || key == "status" || key == "msg") {
        if (!json.Peek('"') || !json.String(value)) return std::nullopt;
        if (key == "result") reply.result = std::move(value);
        if (key == "status") reply.status = std::move(value);
      } else if (!json.SkipValue()) {
        return std::nullopt;
      }
    } while (json.Take(','));
    if (!json.Take('}')) return std::nullopt;
  }
  json.SkipSpace();
  if (!json.AtEnd()) return std::nullopt;
  return reply;
}

std::string BuildValidationForm(std::string_view fileName, std::string_view fileBytes) {
  std::string form;
  form.reserve(fileBytes.size() + 1000);
  form.append("--").append(kValidationBoundary).append("\r\n");
  form.append("Content-Disposition: form-data; name=\"igcfile\"; filename=\"")
      .append(SafeFormName(fileName))
      .append("\"\r\n");
  form.append("Content-Type: application/octet-stream\r\n\r\n");
  form.append(fileBytes);
  form.append("\r\n--").append(kValidationBoundary).append("--\r\n");
  return form;
}

std::optional<ValidationInput> ReadValidationInput(const std::filesystem::path& path, Ui& ui) {
  std::optional<std::string> bytes = ReadTrackFileBytes(path, ui);
  if (!bytes) return std::nullopt;
  igc::IgcDecodeResult decoded = igc::DecodeIgcText(*bytes);
  if (!decoded.Ok()) {
    ui.ShowErrorBox(decoded.error, "Decode track log");
    return std::nullopt;
  }
  ValidationInput input;
  input.fileName = path.filename().string();
  input.bytes = std::move(*bytes);
  input.points = std::move(decoded.points);
  return input;
}

ValidationOutcome SendForValidation(const ValidationConfig& config, const ValidationInput& input,
                                    const TraceSink& trace, const StatusSink& status,
                                    std::stop_token stop) {
  ValidationOutcome outcome;
  const auto show = [&status](std::string_view text) {
    if (status) status(text);
  };
  if (config.address.empty()) {
    outcome.error = "No validation server configured";
    return outcome;
  }
  HttpSession session(config.address, trace, stop);
  if (!session.Ready()) {
    outcome.error = session.SetupError();
    return outcome;
  }
  if (!session.CheckReachable(config.address + "/", config.timeoutMs)) {
    outcome.error = "Could not connect to validation server";
    return outcome;
  }
  const std::string form = BuildValidationForm(input.fileName, input.bytes);
  show("Connecting to validation server");
  HttpRequest request;
  request.verb = "POST";
  request.path = std::string(kValidationPath);
  request.withBody = true;
  request.body = form;
  request.headers = {
      "Accept: " + std::string(kValidationAccept),
      "Referer: " + config.address + std::string(kValidationReferrerPath),
      "Content-Type: multipart/form-data; boundary=" + std::string(kValidationBoundary),
  };
  request.responseLimit = kValidationResponseSize;
  request.timeoutMs = config.timeoutMs;
  HttpResult result = session.Send(request);
  switch (result.transport) {
    case Transport::Ok: break;
    case Transport::TimedOut:
      show("Validation timed out");
      outcome.error = "Validation timed out";
      return outcome;
    case Transport::Cancelled:
      outcome.error = "Validation cancelled";
      return outcome;
    case Transport::Failed:
      outcome.error = "Validation request failed: " + result.error;
      return outcome;
  }
  // A server fault is no verdict on the file: the track log stays.
  const int code = ReadStatusCode(result.headers);
  if (code < 200 || code > 299) {
    outcome.error = FormatText("Validation server error (HTTP %d)", code);
    return outcome;
  }
  show("Validation completed");
  if (trace) trace(result.body + "\r\n");
  outcome.reachedServer = true;
  outcome.response = std::move(result.body);
  const std::optional<ValidationReply> reply = ParseValidationReply(outcome.response);
  outcome.passed = reply && reply->Passed();
  return outcome;
}

bool ReportValidation(const ValidationInput& input, const ValidationOutcome& outcome, Ui& ui) {
  if (!outcome.reachedServer) {
    ui.ShowErrorBox(outcome.error, kValidationCaption);
    return false;
  }
  const int count = static_cast<int>(input.points.size());
  if (outcome.passed) {
    ui.ShowStatus(FormatText("%d positions read (G-record ok)", count));
    ui.ShowInfoBox("Validation OK", kValidationCaption);
  } else {
    ui.ShowStatus(FormatText("%d positions read", count));
    ui.ShowErrorBox("Validation ERROR", kValidationCaption);
  }
  return true;
}

}  // namespace logwell::online
