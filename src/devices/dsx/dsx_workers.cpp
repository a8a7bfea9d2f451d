#include "devices/dsx/dsx_workers.h"

#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "base/text.h"
#include "devices/flytec/flytec_tracks.h"
#include "devices/flytec/flytec_workers.h"
#include "track/igc/igc_device_parser.h"

namespace logwell::dsx {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kConnectAnswerWindow{1000};
constexpr int kDefaultConnectSeconds = 30;
constexpr milliseconds kAfterConnectPause{200};
constexpr milliseconds kBetweenPilotLines{100};
constexpr std::size_t kMaxAnswerLine = 120;
constexpr std::size_t kReadChunk = 256;
constexpr std::size_t kRawInitialBytes = 20000;

constexpr std::string_view kConnectCaption = "Get GPS product data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kPilotCaption = "Set DSX pilot data";

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

}  // namespace

int OpenConnection(AccessBlock& block, ProductData& product) {
  ShowAccessStatus(block, "Opening connection to DSX");
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultConnectSeconds;
  for (int attempt = 0; attempt < budget; ++attempt) {
    ShowAccessStatus(block, AwaitingAnswerText(block, FormatText("Opening connection (%d)", budget - attempt),
                                               budget - attempt));
    if (!Send(block, kConnectRequest)) {
      ShowAccessError(block, "COM port write error", kConnectCaption);
      return -1;
    }
    std::string line;
    std::optional<std::string> refusal;
    bool identified = false;
    ChunkReader reader(kReadChunk);
    const ReadResult end = reader.ReadUntil(block, kConnectAnswerWindow, [&](std::uint8_t byte) {
      if (byte == '\n' || byte == '\r') {
        if (LooksLikeIdentity(line)) {
          refusal = ParseIdentity(line, product);
          identified = true;
          return true;
        }
        line.clear();  // an echo or a prompt: not the answer
        return false;
      }
      if (line.size() < kMaxAnswerLine) line += static_cast<char>(byte);
      return false;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", kConnectCaption);
      return -1;
    }
    if (!identified) continue;  // the window of one second was the pause
    if (refusal) {
      ShowAccessError(block, *refusal, kConnectCaption);
      return -1;
    }
    const std::string text = ProductText(product);
    ShowAccessStatus(block, "Connection open");
    ShowAccessProduct(block, text);
    block.source.SetInstrumentName("DSX");
    block.source.SetInstrumentText(text);
    block.source.SetInstrumentId("DSX: " + product.serial);
    return block.Pause(kAfterConnectPause) ? 0 : -1;
  }
  ShowAccessError(block, "No valid response from GPS", kConnectCaption);
  return -1;
}

int DownloadFlight(AccessBlock& block, const FamilyEnvironment& context) {
  ShowAccessStatus(block, "Requesting track log");
  if (!Send(block, kTrackRequest)) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  std::string raw;
  raw.reserve(kRawInitialBytes);
  flytec::DownloadedTrack flight;
  if (flytec::ReadSignedIgcFlight(block, context, igc::IgcDeviceVariant::Dsx, &raw, flight, kTrackCaption) < 0) {
    return -1;
  }
  block.points = std::move(flight.points);
  block.rawIgc = flytec::RawLogOf(std::move(raw), flight, 1);
  return static_cast<int>(block.points.size());
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Dsx;
  ProductData product;
  if (OpenConnection(block, product) < 0) return -1;
  const int result = DownloadFlight(block, context);
  block.source.kind = TrackSourceKind::Dsx;
  block.source.timeIsUtc = 1;
  // The flight is refused unless it ends with the recorder's G record.
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 1;
  return result;
}

int RunWritePilotData(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  if (!block.pilotData) {
    ShowAccessError(block, "No pilot data", kPilotCaption);
    return -1;
  }
  const std::vector<std::string> lines = PilotDataLines(*block.pilotData);
  if (lines.empty()) {
    ShowAccessError(block, "Blank/unchanged fields are not sent: nothing to send", kPilotCaption);
    return -1;
  }
  ProductData product;
  if (OpenConnection(block, product) < 0) return -1;
  for (const std::string& line : lines) {
    if (!Send(block, line)) {
      ShowAccessError(block, "COM port write error", kPilotCaption);
      return -1;
    }
    if (!block.Pause(kBetweenPilotLines)) return -1;
  }
  ShowAccessStatus(block, FormatText("Pilot data sent (%d fields)", static_cast<int>(lines.size())));
  return 0;
}

namespace {

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  return flytec::SerialWorker(context, steps, clearTrace, kBaudRate, false);
}

}  // namespace

bool RegisterDsxWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::Dsx, Worker(context, RunReadTrackLog, true));
  ok &= table.Register(AccessType::WritePilotData, ProtocolType::Dsx, Worker(context, RunWritePilotData, false));
  return ok;
}

}  // namespace logwell::dsx
