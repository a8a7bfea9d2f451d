#pragma once
// Online IGC validation: the IGC file is decoded here first, then posted whole as a form to
// the validation service ("/api/vali/json"), whose small JSON answer says whether the file's
// security record holds. The track log is replaced only after an answer from the server.
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "online/http_session.h"
#include "online/validation_reply.h"

namespace logwell {
class Ui;
}

namespace logwell::online {

inline constexpr std::string_view kValidationPath = "/api/vali/json";
inline constexpr std::string_view kValidationReferrerPath = "/validation.html";
inline constexpr std::string_view kValidationAccept =
    "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
inline constexpr std::size_t kValidationResponseSize = 1000;
inline constexpr long kValidationTimeoutMs = 30000;
inline constexpr std::string_view kValidationCaption = "Online IGC validation";
inline constexpr std::string_view kReadIgcCaption = "Read IGC log";

// The multipart form of one file, its part ended by `boundary` (NewFormBoundary); quotes,
// backslashes and control characters in the name become "?".
std::string BuildValidationForm(std::string_view fileName, std::string_view fileBytes,
                                std::string_view boundary);

// The answer when the service's reply cannot be read: no verdict on the file.
inline constexpr std::string_view kUnreadableReplyText =
    "unreadable reply from the validation service";

struct ValidationInput {
  std::string fileName;  // the last path component
  std::string bytes;
  std::vector<TrackPoint> points;  // decoded before sending
};

// Reads and decodes the chosen file; nothing after one message.
std::optional<ValidationInput> ReadValidationInput(const std::filesystem::path& path, Ui& ui);

struct ValidationConfig {
  std::string address;  // "http://host[:port]", the validation service
  long timeoutMs = kValidationTimeoutMs;
};

struct ValidationOutcome {
  bool reachedServer = false;  // the service answered with a verdict it could be read for
  std::string error;     // why not, when it did not
  std::string response;  // the answer, at most kValidationResponseSize bytes
  bool passed = false;
};

// Posts the file and reads the verdict (worker thread; no boxes). `status` gets the status
// line texts ("Connecting to validation server", "Validation completed", ...).
ValidationOutcome SendForValidation(const ValidationConfig& config, const ValidationInput& input,
                                    const TraceSink& trace, const StatusSink& status,
                                    std::stop_token stop);

// The verdict for the user: the status line and the box ("Validation OK" or "Validation
// ERROR"), or the transport error's box. True when the decoded positions are to replace the
// track log (the answer came from the server).
bool ReportValidation(const ValidationInput& input, const ValidationOutcome& outcome, Ui& ui);

}  // namespace logwell::online
