#include "cli/online_verbs.h"

#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "access/debug_buffer.h"
#include "app/file_commands.h"
#include "app/password_store.h"
#include "app/settings.h"
#include "base/headless_ui.h"
#include "base/secret.h"
#include "online/ftp_send.h"
#include "online/validation.h"
#include "online/web_logbook.h"

namespace logwell::cli {

namespace {

int Refuse(const CliVerb& verb, const std::string& problem) {
  std::fprintf(stderr, "logwell-cli %.*s: %s\n%s", static_cast<int>(verb.name.size()),
               verb.name.data(), problem.c_str(), CliVerbUsage(verb).c_str());
  return kExitBadCommandLine;
}

// The password: LOGWELL_PASSWORD, else (for the web logbook) the one the window remembered for
// this user, else asked on the terminal without echo. Never argv.
// LOGWELL_PASSWORD leaves the environment as it is read, so that no child process and no look at
// /proc/<pid>/environ finds it later.
std::optional<std::string> Password(const SettingsStore* settings = nullptr, std::string_view user = {}) {
  if (auto fromEnvironment = TakeEnvironmentSecret("LOGWELL_PASSWORD")) return fromEnvironment;
  if (settings != nullptr) {
    if (auto remembered = RecallPassword(*settings, user)) return remembered;
  }
  std::FILE* tty = std::fopen("/dev/tty", "r+");
  if (tty == nullptr) return std::nullopt;
  std::fputs("Password: ", tty);
  std::fflush(tty);
  termios saved{};
  const bool terminal = tcgetattr(fileno(tty), &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fileno(tty), TCSAFLUSH, &quiet);
  }
  std::string password;
  for (int c = std::fgetc(tty); c != EOF && c != '\n'; c = std::fgetc(tty)) {
    password.push_back(static_cast<char>(c));
  }
  if (terminal) tcsetattr(fileno(tty), TCSAFLUSH, &saved);
  std::fputs("\n", tty);
  std::fclose(tty);
  return password;
}

SettingsStore LoadSettings(Ui& ui) {
  SettingsStore store;
  store.Load(StandardSettingsPaths(), ui);
  return store;
}

// The process's trace, so that a failing run can be inspected like an instrument run.
online::TraceSink GlobalTrace() {
  return [](std::string_view text) { DebugBuffer::Global().AppendText(text); };
}

online::StatusSink PrintStatus() {
  return [](std::string_view text) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  };
}

// Runs `job` on a worker thread and waits for it.
template <typename Job>
auto OnWorker(Job job) {
  decltype(job(std::stop_token{})) result;
  std::jthread worker([&](std::stop_token stop) { result = job(stop); });
  worker.join();
  return result;
}

bool ParseInt(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string WithoutSlash(std::string address) {
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address;
}

}  // namespace

int RunUpload(const CliVerb& verb, std::span<const char* const> arguments) {
  std::string file;
  online::LogbookAccount account;
  std::string server;
  bool haveClass = false;
  bool haveModel = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    const bool valued = argument == "--user" || argument == "--class" || argument == "--model" ||
                        argument == "--server";
    if (valued && i + 1 >= arguments.size()) {
      return Refuse(verb, std::string(argument) + " needs a value");
    }
    if (argument == "--user") {
      account.user = arguments[++i];
    } else if (argument == "--class") {
      if (!ParseInt(arguments[++i], account.classId)) {
        return Refuse(verb, "bad class \"" + std::string(arguments[i]) + "\"");
      }
      haveClass = true;
    } else if (argument == "--model") {
      account.brandModel = arguments[++i];
      haveModel = true;
    } else if (argument == "--server") {
      server = arguments[++i];
    } else if (argument.starts_with("-")) {
      return Refuse(verb, "unknown option \"" + std::string(argument) + "\"");
    } else if (!file.empty()) {
      return Refuse(verb, "one flight only, \"" + std::string(argument) + "\" is one too many");
    } else {
      file = argument;
    }
  }
  if (file.empty()) return Refuse(verb, "the flight file is missing");
  if (account.user.empty()) return Refuse(verb, "--user is missing");
  HeadlessUi ui;
  const SettingsStore settings = LoadSettings(ui);
  if (!haveModel) account.brandModel = settings.Text(Setting::TrackvaultModel);
  if (!haveClass) account.classId = static_cast<int>(settings.Number(Setting::TrackvaultClass));
  online::LogbookConfig config;
  config.address = WithoutSlash(server.empty() ? settings.Text(Setting::LogbookAddress) : server);
  config.homePage = server.empty() ? settings.Text(Setting::LogbookHomePage) : "";
  config.allowPlainHttp = settings.Number(Setting::LogbookAllowHttp) != 0;
  config.credentialsInQuery = settings.Number(Setting::LogbookLoginInQuery) != 0;
  if (config.address.empty()) {
    ui.ShowErrorBox("No web logbook address configured: set LogbookAddress in the settings "
                    "file or give --server",
                    online::kLogbookCaption);
    return kExitFailed;
  }
  if (account.brandModel.empty()) {
    ui.ShowErrorBox("Missing model", online::kLogbookCaption);
    return kExitFailed;
  }
  std::optional<FileReadResult> read = kml::ReadAnyTrackFile(file, ui);
  if (!read) return kExitFailed;
  const std::optional<std::string> body =
      online::LogbookKmlBody(std::move(read->points), read->timeIsUtc != 0,
                             read->altitudeFlag != 0, "unknown", "", ui);
  if (!body) return kExitFailed;
  const SecretHold hold;  // no core file holds the password
  std::optional<std::string> password = Password(&settings, account.user);
  if (!password || password->empty()) {
    ui.ShowErrorBox("Missing password", online::kLogbookCaption);
    return kExitFailed;
  }
  account.password = std::move(*password);
  WipeSecret(*password);
  DebugBuffer::Global().Clear();
  const online::LogbookOutcome outcome = OnWorker([&](std::stop_token stop) {
    return online::UploadToLogbook(config, account, *body, GlobalTrace(), PrintStatus(), stop);
  });
  WipeSecret(account.password);
  if (!outcome.ok) {
    ui.ShowErrorBox(outcome.error, online::kLogbookCaption);
    return kExitFailed;
  }
  std::printf("Track uploaded: user %lld, trip %lld\n", static_cast<long long>(outcome.userId),
              static_cast<long long>(outcome.tripId));
  if (!outcome.logoutError.empty()) std::fprintf(stderr, "%s\n", outcome.logoutError.c_str());
  return kExitOk;
}

int RunValidate(const CliVerb& verb, std::span<const char* const> arguments) {
  std::string file;
  std::string server;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--server") {
      if (i + 1 >= arguments.size()) return Refuse(verb, "--server needs a value");
      server = arguments[++i];
    } else if (argument.starts_with("-")) {
      return Refuse(verb, "unknown option \"" + std::string(argument) + "\"");
    } else if (!file.empty()) {
      return Refuse(verb, "one file only, \"" + std::string(argument) + "\" is one too many");
    } else {
      file = argument;
    }
  }
  if (file.empty()) return Refuse(verb, "the IGC file is missing");
  HeadlessUi ui;
  online::ValidationConfig config;
  config.address = WithoutSlash(
      server.empty() ? LoadSettings(ui).Text(Setting::ValidationAddress) : server);
  if (config.address.empty()) {
    ui.ShowErrorBox("No validation server configured: set ValidationAddress in the settings "
                    "file or give --server",
                    online::kValidationCaption);
    return kExitFailed;
  }
  const std::optional<online::ValidationInput> input = online::ReadValidationInput(file, ui);
  if (!input) return kExitFailed;
  DebugBuffer::Global().Clear();
  const online::ValidationOutcome outcome = OnWorker([&](std::stop_token stop) {
    return online::SendForValidation(config, *input, GlobalTrace(), PrintStatus(), stop);
  });
  const bool reached = online::ReportValidation(*input, outcome, ui);
  return reached && outcome.passed ? kExitOk : kExitFailed;
}

int RunFtpSend(const CliVerb& verb, std::span<const char* const> arguments) {
  online::FtpRequest request;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    const bool valued = argument == "--server" || argument == "--user" ||
                        argument == "--remote" || argument == "--cacert";
    if (valued && i + 1 >= arguments.size()) {
      return Refuse(verb, std::string(argument) + " needs a value");
    }
    if (argument == "--server") {
      request.server = arguments[++i];
    } else if (argument == "--user") {
      request.user = arguments[++i];
    } else if (argument == "--remote") {
      request.remoteName = arguments[++i];
    } else if (argument == "--cacert") {
      request.caFile = arguments[++i];
    } else if (argument == "--passive") {
      request.passive = true;
    } else if (argument == "--tls") {
      request.requireTls = true;  // the default; kept for the scripts that ask for it
    } else if (argument == "--no-tls") {
      request.requireTls = false;
    } else if (argument == "--tls-control") {
      request.requireTls = true;
      request.tlsControlOnly = true;
    } else if (argument.starts_with("-")) {
      return Refuse(verb, "unknown option \"" + std::string(argument) + "\"");
    } else if (!request.localFile.empty()) {
      return Refuse(verb, "one file only, \"" + std::string(argument) + "\" is one too many");
    } else {
      request.localFile = std::string(argument);
    }
  }
  if (request.localFile.empty()) return Refuse(verb, "Missing local file name");
  if (request.server.empty()) return Refuse(verb, "Missing server name");
  if (request.user.empty()) return Refuse(verb, "--user is missing");
  if (request.remoteName.empty()) return Refuse(verb, "--remote is missing");
  HeadlessUi ui;
  const SecretHold hold;  // no core file holds the password
  std::optional<std::string> password = Password();
  if (!password) {
    ui.ShowErrorBox("Missing password", online::kFtpCaption);
    return kExitFailed;
  }
  request.password = std::move(*password);
  WipeSecret(*password);
  DebugBuffer::Global().Clear();
  const online::FtpOutcome outcome = OnWorker([&](std::stop_token stop) {
    return online::SendFileByFtp(request, GlobalTrace(), {}, stop);
  });
  WipeSecret(request.password);
  if (!outcome.ok) {
    ui.ShowErrorBox(outcome.message, online::kFtpCaption);
    return kExitFailed;
  }
  std::printf("%s\n", outcome.message.c_str());
  return kExitOk;
}

}  // namespace logwell::cli
