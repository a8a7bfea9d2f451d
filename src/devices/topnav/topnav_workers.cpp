#include "devices/topnav/topnav_workers.h"

#include <chrono>
#include <string>

#include "access/access_framework.h"
#include "access/connect.h"
#include "base/text.h"
#include "devices/flytec/flytec_workers.h"
#include "track/formats/tnc_log.h"

namespace logwell::topnav {
namespace {

using std::chrono::milliseconds;

constexpr int kDefaultWaitSeconds = 30;
constexpr milliseconds kTransferSilence{3000};
constexpr std::size_t kLongestLine = 64;
constexpr std::size_t kReadChunk = 256;
constexpr std::uint8_t kXon = 0x11;

constexpr std::string_view kTrackCaption = "Read GPS track log";

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

// Waits for the start record the instrument sends once the pilot starts the transfer, for the
// TIMEOUT option's seconds (30 by default). 1 with `header` filled, 0 when nothing came, -1
// after a failure it showed (or an abort).
int WaitForHeader(AccessBlock& block, ChunkReader& reader, TncHeader& header, std::string& raw) {
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultWaitSeconds;
  LineCollector collector;
  std::string fault;
  bool found = false;
  for (int left = budget; left > 0 && !found && fault.empty(); --left) {
    ShowAccessStatus(block, FormatText("Waiting for data (%d)", left));
    const ReadResult end = reader.ReadUntil(block, milliseconds(1000), [&](std::uint8_t byte) {
      if (!collector.Feed(byte)) return false;
      const std::string line = collector.Line();
      collector.Clear();
      if (line.empty()) return false;
      if (const TncLineError error = ParseTncHeader(line, header); error != TncLineError::None) {
        fault = LineFault(error, line);
        return true;
      }
      raw = line + "\r\n";
      found = true;
      return true;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", kTrackCaption);
      return -1;
    }
  }
  if (!fault.empty()) {
    ShowAccessError(block, fault, kTrackCaption);
    return -1;
  }
  return found ? 1 : 0;
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::TopNavigator;
  block.source.timeIsUtc = 0;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  // The instruments need nothing to start; an XON tells a paused sender that we listen.
  const std::uint8_t ready[] = {kXon};
  if (WritePortBytes(block, ready) != 0) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  ChunkReader reader(kReadChunk, TraceForm::Raw, FlowControlBytes::Drop);
  TncHeader header;
  std::string raw;
  const int waited = WaitForHeader(block, reader, header, raw);
  if (waited < 0) return -1;
  if (waited == 0) {
    ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
    return -1;
  }
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
  LineCollector collector;
  std::string fault;
  const ReadResult end = reader.ReadUntilSilence(block, kTransferSilence, [&](std::uint8_t byte) {
    if (!collector.Feed(byte)) return false;
    const std::string line = collector.Line();
    collector.Clear();
    TncPoint point;
    if (const TncLineError error = ParseTncPoint(line, static_cast<int>(points.size()), point);
        error != TncLineError::None) {
      fault = LineFault(error, line);
      return true;
    }
    raw += line;
    raw += "\r\n";
    points.push_back(TncTrackPoint(header, point, shift));
    if (context.reportPosition) context.reportPosition(points.back());
    const int received = static_cast<int>(points.size());
    if (received % 100 == 0) ShowAccessStatus(block, FormatText("Track position %d", received));
    return received >= header.count;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kTrackCaption);
    return -1;
  }
  if (!fault.empty()) {
    ShowAccessError(block, fault, kTrackCaption);
    return -1;
  }
  if (static_cast<int>(points.size()) < header.count) {
    ShowAccessError(block,
                    FormatText("Transfer incomplete (%d of %d points)", static_cast<int>(points.size()), header.count),
                    kTrackCaption);
    return -1;
  }
  ShowAccessStatus(block, FormatText("%d points received", header.count));
  block.points = std::move(points);
  block.rawTopNavLog = std::move(raw);
  return static_cast<int>(block.points.size());
}

bool RegisterTopNavWorkers(AccessTable& table, const FamilyEnvironment& context) {
  using flytec::SerialWorker;
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::TopNavigator,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::XcTrainer,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::TopNavigatorMxp,
                       SerialWorker(context, RunReadTrackLog, true, kFastBaudRate, true));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::XcTrainerMxp,
                       SerialWorker(context, RunReadTrackLog, true, kFastBaudRate, true));
  return ok;
}

}  // namespace logwell::topnav
