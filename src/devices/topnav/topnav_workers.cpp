#include "devices/topnav/topnav_workers.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea_transfer.h"
#include "base/text.h"
#include "devices/flytec/flytec_workers.h"
#include "track/formats/tnc_log.h"
#include "wire/topnav/topnav_waypoints.h"

namespace logwell::topnav {
namespace {

using std::chrono::milliseconds;

constexpr int kDefaultWaitSeconds = 30;
constexpr milliseconds kTransferSilence{3000};
constexpr std::size_t kLongestLine = 64;
constexpr std::size_t kReadChunk = 256;
constexpr std::uint8_t kXon = 0x11;

constexpr milliseconds kBetweenUploads{20};

constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";

// Collects one line (without CR LF); an overlong line is kept cut, and refused by the parser.
class LineCollector {
 public:
  // True when `byte` ended a line.
  bool Feed(std::uint8_t byte) {
    if (byte == '\n') return true;
    if (byte != '\r' && line_.size() < kLongestLine) line_ += static_cast<char>(byte);
    return false;
  }
  const std::string& Line() const { return line_; }
  void Clear() { line_.clear(); }

 private:
  std::string line_;
};

std::string LineFault(TncLineError error, std::string_view line) {
  switch (error) {
    case TncLineError::Datum: return "E202 Bad geodetic ID";
    case TncLineError::Flags: return "E202 Bad GPS pos. valid entry";
    case TncLineError::ControlCode: return "E205 Bad checksum";
    default: return "Unsupported record " + std::string(CutBytes(line, 50));
  }
}

std::int64_t ClockShift(const TncHeader& header, const FamilyEnvironment& context) {
  if (header.instrument != TncInstrument::TopNavigator || !context.numberSetting) return 0;
  return context.numberSetting(kUtcOffsetSetting) * 3600;
}

// Says that we listen (an XON, harmless to a sender that is not paused) and waits for the
// start record the instrument sends once the pilot starts the transfer, for the TIMEOUT
// option's seconds (30 by default). `accept` takes the first non-empty line and returns why it
// refused it, if it did. 1 when a start record came, -1 after a failure it showed (or an
// abort); silence: "No valid response from GPS" (caption "Get GPS product data").
int WaitForStartRecord(AccessBlock& block, ChunkReader& reader, std::string_view caption,
                       const std::function<std::optional<std::string>(const std::string&)>& accept) {
  const std::uint8_t ready[] = {kXon};
  if (WritePortBytes(block, ready) != 0) {
    ShowAccessError(block, "E202 COM port write error", caption);
    return -1;
  }
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultWaitSeconds;
  LineCollector collector;
  std::optional<std::string> fault;
  bool found = false;
  for (int left = budget; left > 0 && !found; --left) {
    ShowAccessStatus(block, AwaitingAnswerText(block, FormatText("Waiting for data (%d)", left), left));
    const ReadResult end = reader.ReadUntil(block, milliseconds(1000), [&](std::uint8_t byte) {
      if (!collector.Feed(byte)) return false;
      const std::string line = collector.Line();
      collector.Clear();
      if (line.empty()) return false;
      fault = accept(line);
      found = true;
      return true;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", caption);
      return -1;
    }
  }
  if (!found) {
    ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
    return -1;
  }
  if (fault) {
    ShowAccessError(block, *fault, caption);
    return -1;
  }
  return 1;
}

// Reads lines until `onLine` (which returns why it refused a line, and counts what it took)
// has taken `expected` of them or the line stays silent. True when all came; else shows why.
bool ReadLines(AccessBlock& block, ChunkReader& reader, std::string_view caption, std::string_view items,
               int expected, const std::function<std::optional<std::string>(const std::string&, int&)>& onLine) {
  LineCollector collector;
  std::optional<std::string> fault;
  int received = 0;
  const ReadResult end = reader.ReadUntilSilence(block, kTransferSilence, [&](std::uint8_t byte) {
    if (!collector.Feed(byte)) return false;
    const std::string line = collector.Line();
    collector.Clear();
    fault = onLine(line, received);
    return fault.has_value() || received >= expected;
  });
  if (end == ReadResult::Aborted) return false;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", caption);
    return false;
  }
  if (fault) {
    ShowAccessError(block, *fault, caption);
    return false;
  }
  if (received < expected) {
    ShowAccessError(block,
                    FormatText("Transfer incomplete (%d of %d %s)", received, expected, std::string(items).c_str()),
                    caption);
    return false;
  }
  return true;
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::TopNavigator;
  block.source.timeIsUtc = 0;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  ChunkReader reader(kReadChunk, TraceForm::Raw, FlowControlBytes::Drop);
  TncHeader header;
  std::string raw;
  const int waited = WaitForStartRecord(block, reader, kTrackCaption, [&](const std::string& line) -> std::optional<std::string> {
    if (const TncLineError error = ParseTncHeader(line, header); error != TncLineError::None) {
      return LineFault(error, line);
    }
    raw = line + "\r\n";
    return std::nullopt;
  });
  if (waited < 0) return -1;
  const std::string product(TncProductName(header.instrument));
  const std::string text =
      FormatText("%s, SW %04X, S/N %d, flight %d", product.c_str(), header.version, header.serial, header.flight);
  ShowAccessProduct(block, text);
  block.source.SetInstrumentName(TncInstrumentName(header.instrument));
  block.source.SetInstrumentText(text);
  block.source.SetInstrumentId(FormatText("%s: %d", product.c_str(), header.serial));
  if (header.count == 0) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }

  std::vector<TrackPoint> points;
  if (!ReserveTrackPoints(points, static_cast<std::size_t>(header.count))) {
    ShowAccessError(block, kTrackLogMemoryError, kTrackCaption);
    return -1;
  }
  ShowAccessStatus(block, "Receiving track log");
  const std::int64_t shift = ClockShift(header, context);
  const bool complete = ReadLines(block, reader, kTrackCaption, "points", header.count,
                                  [&](const std::string& line, int& received) -> std::optional<std::string> {
    TncPoint point;
    if (const TncLineError error = ParseTncPoint(line, received, point); error != TncLineError::None) {
      return LineFault(error, line);
    }
    raw += line;
    raw += "\r\n";
    points.push_back(TncTrackPoint(header, point, shift));
    if (context.reportPosition) context.reportPosition(points.back());
    ++received;
    if (received % 100 == 0) ShowAccessStatus(block, FormatText("Track position %d", received));
    return std::nullopt;
  });
  if (!complete) return -1;
  ShowAccessStatus(block, FormatText("%d points received", header.count));
  block.points = std::move(points);
  block.rawTopNavLog = std::move(raw);
  return static_cast<int>(block.points.size());
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  block.waypoints.clear();
  ChunkReader reader(kReadChunk, TraceForm::Raw, FlowControlBytes::Drop);
  int expected = 0;
  const int waited = WaitForStartRecord(block, reader, kWaypointCaption, [&](const std::string& line) -> std::optional<std::string> {
    const auto count = ParseWaypointStart(line);
    if (!count) return "Unsupported record " + std::string(CutBytes(line, 50));
    expected = *count;
    return std::nullopt;
  });
  if (waited < 0) return -1;
  const GarminTime now = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  std::vector<Waypoint> received;
  const bool complete = ReadLines(block, reader, kWaypointCaption, "waypoints", expected,
                                  [&](const std::string& line, int& count) -> std::optional<std::string> {
    Waypoint waypoint;
    if (auto refusal = ParseWaypointLine(line, count, waypoint)) return refusal;
    waypoint.time = now;
    received.push_back(waypoint);
    ++count;
    return std::nullopt;
  });
  if (!complete) return -1;
  block.waypoints = std::move(received);
  ShowAccessStatus(block, FormatText("%d waypoints received", expected));
  return 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  const int total = static_cast<int>(block.waypoints.size());
  if (WritePortText(block, FormatWaypointStart(total)) != 0) {
    ShowAccessError(block, "E304 COM port write error", kUploadCaption);
    return -1;
  }
  std::vector<std::string> lines;
  for (const Waypoint& waypoint : block.waypoints) {
    lines.push_back(FormatWaypointLine(waypoint, static_cast<int>(lines.size())));
  }
  return SendWaypointSentences(block, lines, kBetweenUploads, kUploadCaption, context.notify);
}

bool RegisterTopNavWorkers(AccessTable& table, const FamilyEnvironment& context) {
  using flytec::SerialWorker;
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::TopNavigator,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::XcTrainer,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  for (const ProtocolType protocol : {ProtocolType::TopNavigator, ProtocolType::XcTrainer}) {
    ok &= table.Register(AccessType::ReadWaypoints, protocol,
                         SerialWorker(context, RunReadWaypoints, false, kBaudRate, false));
    ok &= table.Register(AccessType::WriteWaypoints, protocol,
                         SerialWorker(context, RunWriteWaypoints, false, kBaudRate, false));
  }
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::TopNavigatorMxp,
                       SerialWorker(context, RunReadTrackLog, true, kFastBaudRate, true));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::XcTrainerMxp,
                       SerialWorker(context, RunReadTrackLog, true, kFastBaudRate, true));
  return ok;
}

}  // namespace logwell::topnav
