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
constexpr milliseconds kBetweenUploads{100};
constexpr std::size_t kSentenceLength = 120;
constexpr std::size_t kMaxFields = 20;

constexpr std::string_view kProductCaption = "Reading product data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

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
    const int answer = RequestNmeaAnswer(
        b, kProductRequest, kProductAnswerWindow, kSentenceLength, kMaxFields, kProductCaption,
        [](NmeaFields fields) { return fields.size() >= 2 && fields[0] == "$PMLR" && fields[1] == "24"; },
        [&product](NmeaFields fields) { return ParseProductAnswer(fields, product); });
    if (answer <= 0) return answer;
    const std::string text = ProductText(product);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName(product.maker);
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(product.maker + ": " + product.model);
    return b.Pause(kAfterProductPause) ? 1 : -1;
  });
}

int DownloadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  ShowAccessStatus(block, "Requesting track log");
  if (!Send(block, TransferRequest(kTrackTransfer))) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  std::vector<TrackPoint> points;
  FixInProgress fix;
  const bool complete = ReadTransfer(block, kTrackCaption, "points",
                                     [&](std::span<const std::string_view> fields, int& received) -> std::optional<std::string> {
    if (!fix.pending) return ParseRmc(fields, fix);
    TrackPoint point;
    if (auto refusal = ParseGga(fields, fix, point)) return refusal;
    if (points.empty()) {
      point.segmentStart = 1;
      ShowAccessStatus(block, "Receiving track log");
    }
    if (context.reportPosition) context.reportPosition(point);
    points.push_back(point);
    ++received;
    if (received % 100 == 0) ShowAccessStatus(block, FormatText("Track position %d", received));
    return std::nullopt;
  });
  if (!complete) return -1;
  ShowAccessStatus(block, FormatText("%d points received", static_cast<int>(points.size())));
  if (points.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
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
                       SerialWorker(context, RunReadTrackLog, true, kTrackOnlyBaudRate, false));
  return ok;
}

}  // namespace logwell::mlr
