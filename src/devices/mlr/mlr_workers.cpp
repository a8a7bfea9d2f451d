#include "devices/mlr/mlr_workers.h"

#include <chrono>
#include <ctime>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "access/nmea_transfer.h"
#include "access/pilot_scan.h"
#include "base/text.h"
#include "devices/flytec/flytec_workers.h"

namespace logwell::mlr {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kProductAnswerWindow{1000};
constexpr milliseconds kAfterProductPause{200};
constexpr milliseconds kTransferSilence{3000};
// The tracklog starts a second after its command; the first frame may take this long.
constexpr milliseconds kFirstFrameWait{4000};
// Lets the stop command leave the line before the port is closed (18 bytes at 4800 baud).
constexpr milliseconds kAfterStop{100};
// The start command takes some 50 ms on the line at 4800 baud and the rate changes at once, so
// the change waits until it has surely left; the unit starts sending a second after it.
constexpr milliseconds kBeforeRateChange{300};
constexpr milliseconds kBetweenUploads{100};
constexpr std::size_t kSentenceLength = 120;
constexpr std::size_t kMaxFields = 20;
constexpr std::size_t kFrameChunk = 512;

constexpr std::string_view kProductCaption = "Reading product data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

// Ends whatever the unit repeats (the tracklog, the identification): the stop command at 4800
// baud. It is sent after every request that starts one, whatever came of it, so that no unit is
// left sending; a port that can no longer be set or written is past caring.
void StopUnit(AccessBlock& block) {
  if (!block.port || !block.port->Configure(kBaudRate, false)) return;
  if (Send(block, kStop)) block.Pause(kAfterStop);
}

using ItemHandler = std::function<std::optional<std::string>(std::span<const std::string_view>, int&)>;

// Reads a transfer: its count sentence, then sentences handed to `onSentence` (which returns a
// fault text to stop, and counts the items it completed) until the count is reached. Shows
// the failure under `caption`; true when every item arrived.
bool ReadTransfer(AccessBlock& block, std::string_view caption, std::string_view items, const ItemHandler& onSentence) {
  CountedTransfer transfer;
  transfer.silence = kTransferSilence;
  transfer.maxLength = kSentenceLength;
  transfer.maxFields = kMaxFields;
  transfer.caption = caption;
  transfer.items = items;
  transfer.count = [](std::span<const std::string_view> fields) { return ParseTransferCount(fields); };
  transfer.item = onSentence;
  return ReadCountedTransfer(block, transfer) >= 0;
}

}  // namespace

int RequestProductData(AccessBlock& block, ProductData& product) {
  return RequestWithProductBudget(block, [&product](AccessBlock& b) {
    const int answer = RequestNmeaAnswer(b, kIdentityRequest, kProductAnswerWindow, kSentenceLength, kMaxFields,
                                         kProductCaption, IsIdentityAnswer,
                                         [&product](NmeaFields fields) { return ParseProductAnswer(fields, product); });
    // The unit repeats its identification until it is stopped.
    StopUnit(b);
    if (answer <= 0) return answer;
    const std::string text = ProductText(product);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName(product.maker);
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(product.maker + ": " + (product.serial.empty() ? product.model : product.serial));
    return b.Pause(kAfterProductPause) ? 1 : -1;
  });
}

int DownloadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  const bool fast = block.protocolType == ProtocolType::MlrSecondVariant;
  ShowAccessStatus(block, "Requesting track log");
  if (!Send(block, fast ? kStartTrackAt38400 : kStartTrackAt19200)) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  if (!block.Pause(kBeforeRateChange)) {
    StopUnit(block);
    return -1;
  }
  if (ReconfigureComPort(block, fast ? kTrackOnlyBaudRate : kTrackBaudRate) < 0) {
    StopUnit(block);
    return -1;
  }
  TracklogReader reader;
  TracklogReader::Status status = TracklogReader::Status::More;
  std::size_t reported = 0;
  ChunkReader chunks(kFrameChunk, TraceForm::HexDump);
  auto handler = [&](std::uint8_t byte) {
    status = reader.Feed(byte);
    const std::vector<TrackPoint>& points = reader.Points();
    if (points.size() > reported) {
      if (reported == 0) ShowAccessStatus(block, "Receiving track log");
      for (; reported < points.size(); ++reported) {
        if (context.reportPosition) context.reportPosition(points[reported]);
        if ((reported + 1) % 100 == 0) ShowAccessStatus(block, FormatText("Track position %zu", reported + 1));
      }
    }
    return status != TracklogReader::Status::More;
  };
  // The first frame comes a second after the command; then the line is never quiet for long.
  ReadResult end = chunks.ReadUntil(block, kFirstFrameWait, [&](std::uint8_t byte) {
    if (handler(byte)) return true;
    return reader.Started();
  });
  if (end == ReadResult::Complete && status == TracklogReader::Status::More) {
    end = chunks.ReadUntilSilence(block, kTransferSilence, handler);
  }
  StopUnit(block);
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kTrackCaption);
    return -1;
  }
  if (status == TracklogReader::Status::Fault) {
    ShowAccessError(block, reader.Fault(), kTrackCaption);
    return -1;
  }
  if (status != TracklogReader::Status::Done) {
    ShowAccessError(block,
                    reader.Started() ? FormatText("Transfer incomplete (%zu points, no end frame)", reader.Points().size())
                                     : std::string("No valid response from GPS"),
                    kTrackCaption);
    return -1;
  }
  std::vector<TrackPoint> points = std::move(reader.Points());
  ShowAccessStatus(block, FormatText("%d points received", static_cast<int>(points.size())));
  if (points.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  points.front().segmentStart = 1;
  block.points = std::move(points);
  return static_cast<int>(block.points.size());
}

int DownloadWaypoints(AccessBlock& block, bool scanOnly) {
  const GarminTime now = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  if (!scanOnly) block.waypoints.clear();
  ShowAccessStatus(block, "Requesting waypoints");
  if (!Send(block, TransferRequest(kWaypointTransfer))) {
    ShowAccessError(block, "E304 COM port write error", kWaypointCaption);
    return -1;
  }
  std::vector<Waypoint> received;
  const bool complete = ReadTransfer(block, kWaypointCaption, "waypoints",
                                     [&](std::span<const std::string_view> fields, int& count) -> std::optional<std::string> {
    Waypoint waypoint;
    if (auto refusal = ParseWaypoint(fields, waypoint)) return refusal;
    waypoint.time = now;
    received.push_back(waypoint);
    ++count;
    return std::nullopt;
  });
  if (!complete) return -1;
  for (const Waypoint& waypoint : received) {
    if (scanOnly) {
      ScanForPilotIds(block, waypoint);
    } else {
      block.waypoints.push_back(waypoint);
    }
  }
  if (!scanOnly) ShowAccessStatus(block, FormatText("%d waypoints received", static_cast<int>(received.size())));
  return static_cast<int>(received.size());
}

int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  std::vector<std::string> sentences;
  for (const Waypoint& waypoint : block.waypoints) {
    std::string sentence;
    const int code = WaypointSentence(waypoint, sentence);
    if (code != 0) {
      // Nothing is sent when one identifier would be refused.
      ShowAccessError(block, code == -305 ? "E305 Bad waypoint ID character" : "E306 Missing waypoint ID",
                      kUploadCaption);
      return -1;
    }
    sentences.push_back(std::move(sentence));
  }
  return SendWaypointSentences(block, sentences, kBetweenUploads, kUploadCaption, context.notify);
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Mlr;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ScansForPilotIds(block) && DownloadWaypoints(block, true) < 0) return -1;
  const int result = DownloadTrackLog(block, context);
  block.source.kind = TrackSourceKind::Mlr;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  return result;
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return DownloadWaypoints(block, false) < 0 ? -1 : 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return UploadWaypoints(block, context);
}

bool RegisterMlrWorkers(AccessTable& table, const FamilyEnvironment& context) {
  using flytec::SerialWorker;
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::Mlr,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::Mlr,
                       SerialWorker(context, RunReadWaypoints, false, kBaudRate, false));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::Mlr,
                       SerialWorker(context, RunWriteWaypoints, false, kBaudRate, false));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::MlrFastWaypoints,
                       SerialWorker(context, RunReadWaypoints, false, kBaudRate, false));
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::MlrSecondVariant,
                       SerialWorker(context, RunReadTrackLog, true, kBaudRate, false));
  return ok;
}

}  // namespace logwell::mlr
