#include "track/igc/igc_commands.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "base/atomic_file.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"
#include "track/same_flight.h"
#include "base/text.h"
#include "track/track_takeover.h"

namespace logwell::igc {
namespace {

constexpr std::string_view kWriteCaption = "Write IGC track log file";
constexpr std::string_view kCheckCaption = "Checking IGC parameters";
constexpr std::string_view kGpsCheckCaption = "IGC file parameter check";
constexpr std::string_view kSaveIgcCaption = "Save IGC log";
constexpr std::string_view kReadIgcCaption = "Reading IGC log file";
constexpr std::string_view kReadTrackCaption = "Reading track log file";
constexpr std::string_view kSecurityCaption = "Security check";
constexpr std::size_t kMaxChosenPathLength = 256;
constexpr std::size_t kMaxAutoSavePathLength = 259;
constexpr std::size_t kMaxFormTextLength = 80;
constexpr int kMaxFlightNumber = 35;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::optional<long long> ParseFlightNumber(std::string_view text) {
  text = Trim(text, kSpaces);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> CheckFlightNumber(const IgcFileFormatForm& form) {
  if (form.flightNumber.empty()) return "Missing flight number";
  const auto flight = ParseFlightNumber(form.flightNumber);
  if (!flight) return "Bad flight number input";
  if (*flight < 1 || *flight > kMaxFlightNumber) return "Flight number out of range";
  return std::nullopt;
}

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

// The save-file dialog, its ".igc" default and its length limit. Nothing when the user
// cancelled or the name was refused (the refusal has been shown).
std::optional<std::filesystem::path> ChooseIgcFile(Ui& ui, std::string suggested,
                                                   std::string_view caption) {
  auto chosen = ui.ChooseSaveFile({"Save track log", "IGC track log files (*.igc)",
                                   std::move(suggested)});
  if (!chosen || chosen->empty()) return std::nullopt;
  std::filesystem::path path(*chosen);
  if (!path.has_extension()) path += ".igc";
  if (path.native().size() > kMaxChosenPathLength) {
    ui.ShowErrorBox("Too long file name", caption);
    return std::nullopt;
  }
  return path;
}

// Writes the file, asking before an existing one is replaced. True when written.
bool WriteAskingToOverwrite(Ui& ui, const std::filesystem::path& path, std::string_view bytes,
                            std::string_view caption) {
  std::error_code ignored;
  WriteMode mode = WriteMode::CreateOnly;
  if (std::filesystem::exists(path, ignored)) {
    if (ui.AskOkCancel("File already exists, overwrite ?", "File creation") != Answer::Ok) {
      return false;
    }
    mode = WriteMode::Replace;
  }
  const int error = WriteFileAtomically(path, bytes, mode);
  if (error == 0) return true;
  if (error == ENOSPC || error == EIO || error == EDQUOT || error == EFBIG) {
    ui.ShowErrorBox("File write error: " + std::generic_category().message(error), caption);
  } else {
    ui.ShowErrorBox("Error opening file: " + std::generic_category().message(error), caption);
  }
  return false;
}

std::string SerialOf(const IgcFileFormatForm& form) { return form.serial.substr(0, 3); }

}  // namespace

VarioFilter& VarioFilterHook() {
  static VarioFilter hook;
  return hook;
}

std::optional<std::string> CheckIgcFileFormat(const IgcFileFormatForm& form) {
  if (form.rawLog) return CheckFlightNumber(form);
  if (form.pilot.empty()) return "Missing pilot name";
  if (auto error = CheckFlightNumber(form)) return error;
  if (form.serial.empty()) return "Missing FR serial number";
  if (form.serial.size() < 3) return "FR serial number string too short";
  for (char c : SerialOf(form)) {
    if (!IsAsciiAlnum(c)) return "FR serial number not alpha-numeric";
  }
  return std::nullopt;
}

int FlightNumber(const IgcFileFormatForm& form) {
  const auto flight = ParseFlightNumber(form.flightNumber);
  return flight ? static_cast<int>(*flight) : 0;
}

FlightHeaders FlightHeadersOf(const TrackLog& log) {
  if (log.headers != FlightHeaders{} || !log.rawIgc) return log.headers;
  return ReadFlightHeaders(log.rawIgc->text);
}

int SaveLogInIgcFormat(TrackLog& log, const IgcCommandContext& context, Ui& ui,
                       IgcSaveMemory& memory) {
  if (context.accessBusy) {
    ui.ShowErrorBox("Busy GPS driver", kWriteCaption);
    return -1;
  }
  if (!context.trackLogShown) {
    ui.ShowErrorBox("Incorrect view mode", kWriteCaption);
    return -1;
  }
  auto copy = CopySelectedPositions(log, context.selectedRows);
  if (!copy) {
    ui.ShowErrorBox(kTrackLogMemoryError, kWriteCaption);
    return -1;
  }
  if (copy->empty()) {
    ui.ShowErrorBox("No position(s) selected", kWriteCaption);
    return -1;
  }
  if (copy->size() == 1 &&
      ui.AskOkCancel("Only one position selected, continue ?", kWriteCaption) != Answer::Ok) {
    return -1;
  }
  if (const VarioFilter& filter = VarioFilterHook()) {
    const int removed = filter(*copy);
    if (removed > 0) {
      ui.ShowInfoBox(FormatText("%d positions have been removed due to vario filtering", removed),
                     kWriteCaption);
    }
    if (copy->empty()) {
      ui.ShowErrorBox("No positions", kWriteCaption);
      return -1;
    }
  }

  IgcFileFormatForm form = memory.lastForm.value_or(IgcFileFormatForm{});
  const FlightHeaders headers = FlightHeadersOf(log);
  for (const auto& [value, field] : {std::pair{&headers.pilot, &form.pilot},
                                     std::pair{&headers.gliderType, &form.gliderType},
                                     std::pair{&headers.gliderId, &form.gliderId},
                                     std::pair{&headers.competitionClass, &form.competitionClass}}) {
    if (!value->empty()) *field = CutUtf8(*value, kMaxFormTextLength);
  }
  form.rawLog = false;
  if (!ui.EditIgcFileFormat(form)) return -1;
  form.rawLog = false;
  if (auto error = CheckIgcFileFormat(form)) {
    ui.ShowErrorBox(*error, kCheckCaption);
    return -1;
  }
  const std::string serial = SerialOf(form);
  const int flight = FlightNumber(form);
  const CalendarTime date = GarminTimeToCalendar(copy->front().time);
  std::string suggested;
  if (form.longFileName) suggested = LongIgcFileName(date, serial, flight);
  if (form.shortFileName) suggested = ShortIgcFileName(date, serial, flight);
  const auto path = ChooseIgcFile(ui, std::move(suggested), kWriteCaption);
  if (!path) return -1;

  IgcEncodeInput input;
  input.points = *copy;
  input.signState = log.source.signState;
  input.pilot = CutBytes(form.pilot, kMaxFormTextLength);
  input.gliderType = CutBytes(form.gliderType, kMaxFormTextLength);
  input.gliderId = CutBytes(form.gliderId, kMaxFormTextLength);
  input.competitionClass = CutBytes(form.competitionClass, kMaxFormTextLength);
  input.site = CutBytes(form.site, kMaxFormTextLength);
  input.aRecordTail = log.source.InstrumentText();
  input.loggerSerial = serial;
  input.downloadTime = log.downloadTime;
  input.wantSecurityRecord = true;
  input.addEnl = form.addEnl;
  input.writeTask = true;
  input.task = log.task ? &*log.task : nullptr;
  const auto encoded = EncodeIgc(input);
  if (!encoded) {
    ui.ShowErrorBox("Memory allocation error", "Encoding .igc file");
    return -1;
  }
  if (!WriteAskingToOverwrite(ui, *path, encoded->text, kWriteCaption)) return -1;

  if (!encoded->securityRecordIncluded) {
    ui.ShowInfoBox("Track log source is not valid for G-record", "Security record NOT included");
  }
  memory.lastForm = form;
  log.saved = 1;
  ui.ShowStatus(FormatText("%d positions written", static_cast<int>(copy->size())));
  ui.ShowProduct(path->string());
  return 0;
}

int SaveIgcLogFromGps(TrackLog& log, Ui& ui, IgcSaveMemory& memory) {
  if (!log.rawIgc || log.rawIgc->text.empty()) {
    ui.ShowErrorBox("No raw IGC log stored", kSaveIgcCaption);
    return -1;
  }
  const RawIgcLog& raw = *log.rawIgc;
  if (raw.logCount > 1) ui.ShowInfoBox("Only the latest log is available", kSaveIgcCaption);

  IgcFileFormatForm form = memory.lastRawForm.value_or(IgcFileFormatForm{});
  form.rawLog = true;
  if (!ui.EditIgcFileFormat(form)) return -1;
  form.rawLog = true;
  if (auto error = CheckIgcFileFormat(form)) {
    ui.ShowErrorBox(*error, kGpsCheckCaption);
    return -1;
  }
  const int flight = FlightNumber(form);
  const CalendarTime date = GarminTimeToCalendar(raw.firstFixTime);
  std::string suggested;
  if (form.longFileName) suggested = RawLongIgcFileName(date, raw.manufacturer, raw.loggerSerial, flight);
  if (form.shortFileName) suggested = ShortIgcFileName(date, raw.loggerSerial, flight);
  const auto path = ChooseIgcFile(ui, std::move(suggested), kSaveIgcCaption);
  if (!path) return -1;
  if (!WriteAskingToOverwrite(ui, *path, raw.text, kSaveIgcCaption)) return -1;
  memory.lastRawForm = form;
  log.saved = 1;
  ui.ShowProduct(path->string());
  return 0;
}

namespace {

// The recorder line of an IGC text (its first A record, without the line end).
std::string_view RecorderLine(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('A')) return line;
    at = end + 1;
  }
  return {};
}

// True when the IGC file `path` holds the flight of `text`.
bool FileHoldsIgcFlight(const std::string& path, std::string_view text) {
  const ReadFileResult existing = ReadWholeFile(path);
  return existing.status == ReadStatus::Ok && SameIgcFlight(existing.bytes, text);
}

}  // namespace

bool SameIgcFlight(std::string_view a, std::string_view b) {
  if (RecorderLine(a) != RecorderLine(b)) return false;
  const IgcDecodeResult first = DecodeIgcText(a);
  const IgcDecodeResult second = DecodeIgcText(b);
  return first.Ok() && second.Ok() && SameFixes(first.points, second.points);
}

int AutoSaveIgc(TrackLog& log, const IgcAutoSave& request, Ui& ui,
                std::filesystem::path* writtenPath, const PartSelection& select,
                bool* alreadySaved) {
  if (alreadySaved) *alreadySaved = false;
  std::string text;
  int positions = -1;  // unknown for the instrument's own text
  std::function<std::string(int)> nameFor;
  if (request.writeRawLog) {
    if (!log.rawIgc || log.rawIgc->text.empty()) {
      ui.ShowErrorBox("No log stored", kSaveIgcCaption);
      return -1;
    }
    text = log.rawIgc->text;
    const CalendarTime date = GarminTimeToCalendar(log.rawIgc->firstFixTime);
    const std::string serial = log.rawIgc->loggerSerial;
    nameFor = [date, serial](int flight) { return CommandLineRawIgcFileName(date, serial, flight); };
  } else {
    if (log.Empty()) {
      ui.ShowErrorBox("No positions", kSaveIgcCaption);
      return -1;
    }
    std::vector<TrackPoint> points = log.points;
    if (select) {
      auto part = select(std::move(points));
      if (!part) return -1;
      points = std::move(*part);
    }
    if (points.empty()) {
      ui.ShowErrorBox("No positions", kSaveIgcCaption);
      return -1;
    }
    IgcEncodeInput input;
    input.points = points;
    input.signState = log.source.signState;
    input.pilot = CutBytes(request.pilotName, kMaxFormTextLength);
    input.gliderId = CutBytes(request.gliderId, kMaxFormTextLength);
    input.aRecordTail = log.source.InstrumentText();
    input.loggerSerial = "000";
    input.downloadTime = log.downloadTime;
    input.wantSecurityRecord = true;
    input.writeTask = true;
    input.task = log.task ? &*log.task : nullptr;
    auto encoded = EncodeIgc(input);
    if (!encoded) {
      ui.ShowErrorBox("Memory allocation error", kSaveIgcCaption);
      return -1;
    }
    text = std::move(encoded->text);
    positions = static_cast<int>(points.size());
    const CalendarTime date = GarminTimeToCalendar(points.front().time);
    nameFor = [date](int flight) { return CommandLineIgcFileName(date, flight); };
  }

  std::string output = request.outputPath;
  const bool isFolder = output.empty() || EndsWithSeparator(output);
  if (!output.empty() && output.back() == '\\') output.back() = '/';
  const int lastFlight = isFolder && !request.overwrite ? kMaxFlightNumber : 1;
  std::filesystem::path written;
  for (int flight = 1; flight <= lastFlight; ++flight) {
    const std::string candidate = isFolder ? output + nameFor(flight) : output;
    if (candidate.size() > kMaxAutoSavePathLength) {
      ui.ShowErrorBox("Too long file name", kSaveIgcCaption);
      return -1;
    }
    const int error = WriteFileAtomically(
        candidate, text, request.overwrite ? WriteMode::Replace : WriteMode::CreateOnly);
    if (error == 0) {
      written = candidate;
      break;
    }
    if (error == EEXIST && FileHoldsIgcFlight(candidate, text)) {
      // The same flight saved before (downloaded again): no second copy under the next number.
      ui.ShowStatus("Flight already saved as " + candidate);
      written = candidate;
      positions = -1;
      if (alreadySaved) *alreadySaved = true;
      break;
    }
    if (error == EEXIST && !isFolder) {
      ui.ShowFileError("File exists, not replaced; use /OVERWRITE", kSaveIgcCaption, candidate);
      return -1;
    }
    if (error != EEXIST) {
      const bool writeError = error == ENOSPC || error == EIO || error == EDQUOT || error == EFBIG;
      ui.ShowFileError(writeError ? "File write error" : "File open error", kSaveIgcCaption,
                       candidate, error);
      return -1;
    }
  }
  if (written.empty()) {
    ui.ShowErrorBox("No free flight number available", kSaveIgcCaption);
    return -1;
  }
  log.saved = 1;
  if (positions >= 0) ui.ShowStatus(FormatText("%d positions written", positions));
  ui.ShowProduct(written.string());
  if (writtenPath) *writtenPath = written;
  return 0;
}

std::optional<ChosenIgcFlight> ChooseIgcFlight(std::string_view text, Ui& ui) {
  IgcFlightsResult decoded = DecodeIgcFlights(text);
  if (!decoded.Ok()) {
    ui.ShowErrorBox(decoded.error, kReadIgcCaption);
    return std::nullopt;
  }
  std::size_t chosen = 0;
  if (decoded.flights.size() > 1) {
    ListChoice choice;
    choice.title = "Track List";
    choice.prompt = "Select one of these tracks";
    choice.header = "Date / time";
    for (const IgcDecodeResult& flight : decoded.flights) {
      const CalendarTime t = GarminTimeToCalendar(flight.points.front().time);
      choice.lines.push_back(FormatText("%d-%02d-%02d   %02d:%02d:%02d", t.year, t.month, t.day,
                                        t.hour, t.minute, t.second));
    }
    const std::optional<std::vector<int>> answer = ui.ChooseFromList(choice);
    if (!answer) return std::nullopt;
    if (answer->empty() || answer->front() < 0 ||
        static_cast<std::size_t>(answer->front()) >= decoded.flights.size()) {
      ui.ShowErrorBox("Dialog box error", "Select track");
      return std::nullopt;
    }
    chosen = static_cast<std::size_t>(answer->front());
    ui.ShowStatus(FormatText("The IGC file holds %zu flights: flight %zu read",
                             decoded.flights.size(), chosen + 1));
  }
  if (!decoded.warning.empty()) ui.ShowStatus(decoded.warning);
  ChosenIgcFlight result;
  result.flights = decoded.flights.size();
  result.flight = std::move(decoded.flights[chosen]);
  result.warning = std::move(decoded.warning);
  return result;
}

std::optional<IgcFileContent> ReadIgcFile(const std::filesystem::path& path, Ui& ui) {
  ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok: break;
    case ReadStatus::OpenFailed: ui.ShowErrorBox("Error opening file", kReadIgcCaption); return std::nullopt;
    case ReadStatus::NotAFile: ui.ShowErrorBox("Error opening IGC Log File", kReadIgcCaption); return std::nullopt;
    case ReadStatus::Empty: ui.ShowErrorBox("File is empty", kReadIgcCaption); return std::nullopt;
    case ReadStatus::ReadFailed: ui.ShowErrorBox("IGC track log file read error", kReadIgcCaption); return std::nullopt;
    case ReadStatus::NoMemory: ui.ShowErrorBox("Memory allocation error", kReadIgcCaption); return std::nullopt;
    case ReadStatus::TooLarge: ui.ShowFileError(FileTooLargeText(file.size), kReadIgcCaption, path.string()); return std::nullopt;
  }
  std::optional<ChosenIgcFlight> chosen = ChooseIgcFlight(file.bytes, ui);
  if (!chosen) return std::nullopt;
  IgcDecodeResult& decoded = chosen->flight;
  IgcFileContent content;
  content.severalFlights = chosen->flights > 1;
  content.warning = std::move(chosen->warning);
  content.raw.firstFixTime = decoded.points.front().time;
  content.raw.loggerSerial = decoded.loggerSerial;
  content.raw.manufacturer = decoded.manufacturer;
  content.headers = ReadFlightHeaders(file.bytes);
  content.raw.text = std::move(file.bytes);
  content.points = std::move(decoded.points);
  return content;
}

namespace {

FileTakeOver TakeOverIgc(TrackLog& log, IgcFileContent& content, Ui& ui) {
  FileReadResult read;
  read.points = std::move(content.points);
  read.timeIsUtc = 0;
  read.altitudeFlag = 1;
  read.signatureOk = false;
  read.warning = content.warning;
  return TakeOverFile(log, std::move(read), ui);
}

}  // namespace

int OpenIgcFile(TrackLog& log, const std::filesystem::path& path, Ui& ui) {
  auto content = ReadIgcFile(path, ui);
  if (!content) return -1;
  // The take-over discards any raw IGC text, so the file's copy is not kept; the current
  // log's own raw text must survive a cancelled take-over.
  FlightHeaders earlier = log.headers;
  const FileTakeOver outcome = TakeOverIgc(log, *content, ui);
  // A joined log keeps the pilot of its first part.
  if (outcome == FileTakeOver::Replaced) log.headers = std::move(content->headers);
  if (outcome == FileTakeOver::Appended) log.headers = std::move(earlier);
  return outcome == FileTakeOver::Replaced || outcome == FileTakeOver::Appended ? 0 : -1;
}

int ReadCommandLineIgcFile(TrackLog& log, std::string_view name, Ui& ui) {
  std::string fileName(name);
  fileName += ".igc";
  if (fileName.size() > kMaxChosenPathLength) {
    ui.ShowErrorBox("File name too long", kReadIgcCaption);
    return -1;
  }
  auto content = ReadIgcFile(fileName, ui);
  if (!content) return -1;
  RawIgcLog raw = std::move(content->raw);
  FlightHeaders earlier = log.headers;
  const FileTakeOver outcome = TakeOverIgc(log, *content, ui);
  if (outcome == FileTakeOver::Appended) log.headers = std::move(earlier);
  if (outcome != FileTakeOver::Replaced) return outcome == FileTakeOver::Appended ? 0 : -1;
  // The file's text stands for the log only when it is this one flight.
  if (!content->severalFlights) log.rawIgc = std::move(raw);
  log.headers = std::move(content->headers);
  return 0;
}

int VerifyIgcFile(const std::filesystem::path& path, Ui& ui) {
  const ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok: break;
    case ReadStatus::OpenFailed:
    case ReadStatus::NotAFile:
      ui.ShowFileError("Error opening track log file", kReadTrackCaption, path.string(),
                       file.errorNumber);
      return -1;
    case ReadStatus::Empty: ui.ShowErrorBox("File is empty", kReadTrackCaption); return -1;
    case ReadStatus::ReadFailed: ui.ShowErrorBox("Track log file read error", kReadTrackCaption); return -1;
    case ReadStatus::NoMemory: ui.ShowErrorBox("File buffer memory allocation", kReadTrackCaption); return -1;
    case ReadStatus::TooLarge: ui.ShowFileError(FileTooLargeText(file.size), kReadTrackCaption, path.string()); return -1;
  }
  const SecurityCheckResult result = CheckSecurityRecord(file.bytes);
  const std::string_view message = SecurityCheckMessage(result);
  if (result == SecurityCheckResult::Failed) {
    ui.ShowErrorBox(message, kSecurityCaption);
  } else {
    ui.ShowInfoBox(message, kSecurityCaption);
  }
  return result == SecurityCheckResult::Passed ? 0 : -1;
}

}  // namespace logwell::igc
