#include "devices/digifly/digifly_workers.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "access/nmea_transfer.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/flytec/flytec_tracks.h"

namespace logwell::digifly {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kProductAnswerWindow{1000};
constexpr milliseconds kAfterProductPause{200};
constexpr milliseconds kTransferSilence{3000};
constexpr milliseconds kBetweenUploads{100};
constexpr std::size_t kSentenceLength = 120;
constexpr std::size_t kMaxFields = 12;

constexpr std::string_view kProductCaption = "Reading product data";
constexpr std::string_view kListCaption = "Read GPS track list";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

using ItemHandler = std::function<std::optional<std::string>(std::span<const std::string_view>)>;

// Reads a transfer that opens with "`tag`,count": each further sentence is one item, handed to
// `onItem`. The number of items, or -1 after the failure was shown.
int ReadTransfer(AccessBlock& block, std::string_view tag, std::string_view caption, std::string_view items,
                 const ItemHandler& onItem) {
  CountedTransfer transfer;
  transfer.silence = kTransferSilence;
  transfer.maxLength = kSentenceLength;
  transfer.maxFields = kMaxFields;
  transfer.requireChecksum = true;
  transfer.caption = caption;
  transfer.items = items;
  transfer.count = [tag](std::span<const std::string_view> fields) { return ParseCount(fields, tag); };
  transfer.item = [&onItem](std::span<const std::string_view> fields, int& received) {
    auto refusal = onItem(fields);
    if (!refusal) ++received;
    return refusal;
  };
  return ReadCountedTransfer(block, transfer);
}

// The waypoint set an access parameter names, or nothing.
std::optional<int> WaypointSet(AccessBlock& block, std::string_view caption) {
  if (block.param >= 0 && block.param < kWaypointSets) return block.param;
  ShowAccessError(block, FormatText("Unsupported waypoint set %d", block.param), caption);
  return std::nullopt;
}

}  // namespace

int RequestProductData(AccessBlock& block, ProductData& product) {
  return RequestWithProductBudget(block, [&product](AccessBlock& b) {
    const int answer = RequestNmeaAnswer(
        b, kProductRequest, kProductAnswerWindow, kSentenceLength, kMaxFields, kProductCaption,
        [](NmeaFields fields) { return fields[0] == kProductTag; },
        [&product](NmeaFields fields) { return ParseProductAnswer(fields, product); });
    if (answer <= 0) return answer;
    const std::string text = ProductText(product);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName("Digifly");
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(product.model + ": " + product.serial);
    return b.Pause(kAfterProductPause) ? 1 : -1;
  });
}

int ReadFlightList(AccessBlock& block) {
  ShowAccessStatus(block, "Requesting track list");
  block.trackList.fill(TrackListEntry{});
  if (!Send(block, kFlightListRequest)) {
    ShowAccessError(block, "E500 COM port write error", kListCaption);
    return -1;
  }
  const int count = ReadTransfer(block, kFlightListTag, kListCaption, "flights",
                                 [&](std::span<const std::string_view> fields) -> std::optional<std::string> {
    int index = 0;
    TrackListEntry entry;
    if (auto refusal = ParseFlightListEntry(fields, index, entry)) return refusal;
    block.trackList[static_cast<std::size_t>(index)] = entry;
    return std::nullopt;
  });
  if (count < 0) return -1;
  ShowAccessStatus(block, FormatText("%d tracks in track list found", count));
  return 0;
}

int DownloadFlights(AccessBlock& block, const FamilyEnvironment& context) {
  std::vector<TrackPoint> merged;
  for (int index = 0; index < kMaxFlights; ++index) {
    if (!block.trackSelection.test(static_cast<std::size_t>(index))) continue;
    ShowAccessStatus(block, FormatText("Requesting track log %d", index + 1));
    if (!Send(block, FlightRequest(index))) {
      ShowAccessError(block, "E202 COM port write error", kTrackCaption);
      return -1;
    }
    std::vector<TrackPoint> flight;
    const int count = ReadTransfer(block, kFlightTag, kTrackCaption, "points",
                                   [&](std::span<const std::string_view> fields) -> std::optional<std::string> {
      TrackPoint point;
      if (auto refusal = ParseFix(fields, point)) return refusal;
      if (flight.empty()) {
        point.segmentStart = 1;
        ShowAccessStatus(block, "Receiving track log");
      }
      if (context.reportPosition) context.reportPosition(point);
      flight.push_back(point);
      if (flight.size() % 100 == 0) {
        ShowAccessStatus(block, FormatText("Track position %d", static_cast<int>(flight.size())));
      }
      return std::nullopt;
    });
    if (count < 0) return -1;
    if (const auto mergeError = flytec::MergeTrack(merged, std::move(flight))) {
      ShowAccessError(block, *mergeError, kTrackCaption);
      return -1;
    }
  }
  ShowAccessStatus(block, FormatText("%d points received", static_cast<int>(merged.size())));
  if (merged.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  const int count = static_cast<int>(merged.size());
  block.points = std::move(merged);
  return count;
}

int DownloadWaypoints(AccessBlock& block, int set, bool scanOnly) {
  const GarminTime now = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  ShowAccessStatus(block, "Requesting waypoints");
  if (!Send(block, kWaypointRequest)) {
    ShowAccessError(block, "E304 COM port write error", kWaypointCaption);
    return -1;
  }
  // Every set comes in one answer; the one asked for is kept once the answer is whole.
  std::vector<Waypoint> kept;
  const int count = ReadTransfer(block, kWaypointTag, kWaypointCaption, "waypoints",
                                 [&](std::span<const std::string_view> fields) -> std::optional<std::string> {
    int itsSet = 0;
    Waypoint waypoint;
    if (auto refusal = ParseWaypoint(fields, itsSet, waypoint)) return refusal;
    waypoint.time = now;
    if (scanOnly || itsSet == set) kept.push_back(waypoint);
    return std::nullopt;
  });
  if (count < 0) return -1;
  if (scanOnly) {
    for (const Waypoint& waypoint : kept) ScanForPilotIds(block, waypoint);
    return static_cast<int>(kept.size());
  }
  block.waypoints = std::move(kept);
  ShowAccessStatus(block, FormatText("%d waypoints received", static_cast<int>(block.waypoints.size())));
  return static_cast<int>(block.waypoints.size());
}

int UploadWaypoints(AccessBlock& block, int set, const FamilyEnvironment& context) {
  std::vector<std::string> sentences;
  for (const Waypoint& waypoint : block.waypoints) {
    auto sentence = WaypointSentence(waypoint, set);
    if (!sentence) {
      // Nothing is sent when one waypoint would arrive without a name.
      ShowAccessError(block, "E306 Missing waypoint ID", kUploadCaption);
      return -1;
    }
    sentences.push_back(std::move(*sentence));
  }
  // The instrument acknowledges nothing (unverified): the pause lets it store each one.
  return SendWaypointSentences(block, sentences, kBetweenUploads, kUploadCaption, context.notify);
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Digifly;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ScansForPilotIds(block) && (DownloadWaypoints(block, 0, true) < 0 || !PilotIdsAccepted(block))) {
    return -1;
  }
  if (ReadFlightList(block) < 0) return -1;
  if (!flytec::SelectTracks(block, context)) return -1;
  const int result = DownloadFlights(block, context);
  block.source.kind = TrackSourceKind::Digifly;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 1;
  return result;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Digifly;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ReadFlightList(block) < 0) return -1;
  return flytec::PresentFlightList(block, context);
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  const auto set = WaypointSet(block, kWaypointCaption);
  if (!set) return -1;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return DownloadWaypoints(block, *set, false) < 0 ? -1 : 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  const auto set = WaypointSet(block, kUploadCaption);
  if (!set) return -1;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  return UploadWaypoints(block, *set, context);
}

namespace {

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  frame.openPort = [](AccessBlock& block) { return ConnectComPort(block, BaudRateFor(block.param), false) == 0; };
  frame.run = [context, steps](AccessBlock& block) { return steps(block, context); };
  return FrameWorker(std::move(frame));
}

}  // namespace

bool RegisterDigiflyWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::Digifly, Worker(context, RunReadTrackLog, true));
  ok &= table.Register(AccessType::ReadFlightList, ProtocolType::Digifly, Worker(context, RunReadFlightList, true));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::Digifly, Worker(context, RunReadWaypoints, false));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::Digifly, Worker(context, RunWriteWaypoints, false));
  return ok;
}

}  // namespace logwell::digifly
