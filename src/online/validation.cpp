#include "online/validation.h"

#include <system_error>

#include "base/text.h"
#include "base/ui.h"
#include "online/response_check.h"
#include "track/formats/track_file_io.h"
#include "track/igc/igc_reader.h"

namespace logwell::online {

namespace {

std::string SafeFormName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

}  // namespace

std::string BuildValidationForm(std::string_view fileName, std::string_view fileBytes,
                                std::string_view boundary) {
  std::string form;
  form.reserve(fileBytes.size() + 1000);
  form.append("--").append(boundary).append("\r\n");
  form.append("Content-Disposition: form-data; name=\"igcfile\"; filename=\"")
      .append(SafeFormName(fileName))
      .append("\"\r\n");
  form.append("Content-Type: application/octet-stream\r\n\r\n");
  form.append(fileBytes);
  form.append("\r\n--").append(boundary).append("--\r\n");
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
  if (const std::string reason = session.CheckReachable(config.address + "/", config.timeoutMs);
      !reason.empty()) {
    outcome.error = "Could not connect to validation server: " + reason;
    return outcome;
  }
  const std::string boundary = NewFormBoundary({input.bytes, input.fileName});
  const std::string form = BuildValidationForm(input.fileName, input.bytes, boundary);
  show("Connecting to validation server");
  HttpRequest request;
  request.verb = "POST";
  request.path = std::string(kValidationPath);
  request.withBody = true;
  request.body = form;
  request.headers = {
      "Accept: " + std::string(kValidationAccept),
      "Referer: " + config.address + std::string(kValidationReferrerPath),
      "Content-Type: multipart/form-data; boundary=" + boundary,
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
  outcome.response = std::move(result.body);
  const std::optional<ValidationReply> reply = ParseValidationReply(outcome.response);
  if (!reply) {
    // The reply is at fault, not the file: no verdict, and the track log stays.
    outcome.error = std::string(kUnreadableReplyText);
    return outcome;
  }
  outcome.reachedServer = true;
  outcome.passed = reply->Passed();
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
