#pragma once
// Sending one file to an FTP server in binary mode, through TLS (explicit "AUTH TLS") unless the
// user turns it off: a server without TLS is refused before the user name and password go out. Failures read "Step(): reason", the step being ours
// (CheckConnection, Connect, OpenFile, PutFile) and the reason the transport's text, followed
// by the server's last reply when the server refused.
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "online/http_session.h"

namespace logwell::online {

inline constexpr std::string_view kFtpCaption = "Send track with FTP";
inline constexpr std::string_view kFtpSentText = "File sent";

// The host (with an optional ":port") of the server field: the text itself, or what follows a
// leading "http://". Nothing when that is empty ("Missing server name").
std::optional<std::string> FtpHostOf(std::string_view serverText);

struct FtpRequest {
  std::string server;  // the server field
  std::string user;
  std::string password;
  std::filesystem::path localFile;
  std::string remoteName;
  bool passive = false;
  bool requireTls = true;   // "AUTH TLS" before the login, and protected data connections
  bool tlsControlOnly = false;  // with requireTls: only the commands (and the password)
  std::string caFile;       // trust this certificate file too (self-signed servers)
  long connectTimeoutMs = 20000;
};

struct FtpOutcome {
  bool ok = false;
  std::string message;  // "File sent" or the failure
};

// Runs the transfer (worker thread; no boxes). `status` gets the progress in per cent.
FtpOutcome SendFileByFtp(const FtpRequest& request, const TraceSink& trace,
                         const StatusSink& status, std::stop_token stop);

}  // namespace logwell::online
