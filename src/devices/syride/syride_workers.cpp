#include "devices/syride/syride_workers.h"

#include <cstdlib>
#include <ctime>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/debug_buffer.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/flytec/flytec_tracks.h"

namespace logwell::syride {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kBetweenOpens{1000};
constexpr int kProductTries = 2;

constexpr std::string_view kConnectCaption = "Connecting to GPS";
constexpr std::string_view kProductCaption = "Get GPS product data";
constexpr std::string_view kListCaption = "Read GPS track list";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";
constexpr std::string_view kEraseCaption = "Erase waypoints";
constexpr std::string_view kSilence = "No valid USB response";

GarminTime Now() { return UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr))); }

// Opens the instrument within the connect budget: a device that is not there is looked for once
// a second; one the user may not open is reported at once.
bool OpenDevice(AccessBlock& block, const HidOpener& opener) {
  const int attempts = ConnectAttempts(block.connectSeconds);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    ShowAccessStatus(block, FillTemplate("Connecting to GPS (%)", {attempts - attempt}));
    if (block.Aborted()) return false;
    HidOpenResult opened = opener();
    if (opened.device) {
      block.port = std::make_unique<HidPort>(std::move(opened.device), kReportSize);
      return true;
    }
    if (opened.failure != HidOpenFailure::NotFound) {
      ShowAccessError(block, opened.message, kConnectCaption);
      return false;
    }
    if (attempt + 1 < attempts && !block.Pause(kBetweenOpens)) return false;
  }
  ShowAccessError(block, "Could not open USB port", kConnectCaption);
  return false;
}

enum class Exchange { Done, Silent, Failed };

// Sends one message and collects the answer's reports. `firstWait` is how long the first report
// may take, kAnswerSilence the gap allowed after it. Shows every failure but silence (which the
// caller may retry) under `caption`; an abort ends quietly (the frame reports it).
Exchange Ask(AccessBlock& block, Command command, std::span<const std::uint8_t> payload, std::string_view caption,
             milliseconds firstWait, MessageAssembler& answer, const FamilyEnvironment* progress = nullptr) {
  for (const auto& report : BuildReports(command, payload)) {
    if (WritePortBytes(block, report) != 0) {
      ShowAccessError(block, "USB write error", caption);
      return Exchange::Failed;
    }
  }
  std::vector<std::uint8_t> buffer(kReportSize);
  auto last = std::chrono::steady_clock::now();
  while (!answer.Complete()) {
    if (block.Aborted()) return Exchange::Failed;
    const int got = ReadPortChunk(block, buffer, TraceForm::HexDump);
    const auto now = std::chrono::steady_clock::now();
    if (got < 0) {
      ShowAccessError(block, "USB read error (device removed?)", caption);
      return Exchange::Failed;
    }
    if (got == 0) {
      if (now - last >= (answer.Started() ? kAnswerSilence : firstWait)) {
        if (answer.Started()) {
          ShowAccessError(block, kSilence, caption);
          return Exchange::Failed;
        }
        return Exchange::Silent;
      }
      continue;
    }
    last = now;
    if (auto refusal = answer.Feed(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)))) {
      ShowAccessError(block, *refusal, caption);
      return Exchange::Failed;
    }
    if (progress != nullptr && answer.Reports() % 500 == 0) {
      const long long bytes = static_cast<long long>(answer.Payload().size());
      ShowAccessStatus(block, FillTemplate("% bytes received", {bytes}));
      if (progress->notify) progress->notify(FillTemplate("Progress %/?", {bytes}));
    }
  }
  return Exchange::Done;
}

// One exchange whose silence is a failure.
bool AskOnce(AccessBlock& block, Command command, std::span<const std::uint8_t> payload, std::string_view caption,
             MessageAssembler& answer, const FamilyEnvironment* progress = nullptr) {
  const Exchange end = Ask(block, command, payload, caption, kAnswerSilence, answer, progress);
  if (end == Exchange::Silent) ShowAccessError(block, kSilence, caption);
  return end == Exchange::Done;
}

int RequestProduct(AccessBlock& block) {
  for (int attempt = 0; attempt < kProductTries; ++attempt) {
    ShowAccessStatus(block, FillTemplate("Requesting product info (%)", {kProductTries - attempt}));
    if (block.Aborted()) return -1;
    block.port->Purge();
    MessageAssembler answer(Command::Product);
    const Exchange end = Ask(block, Command::Product, {}, kProductCaption, kProductWait, answer);
    if (end == Exchange::Failed) return -1;
    if (end == Exchange::Silent) continue;
    ProductData product;
    if (auto refusal = DecodeProduct(answer.Payload(), product)) {
      ShowAccessError(block, *refusal, kProductCaption);
      return -1;
    }
    const std::string text = ProductText(product);
    ShowAccessStatus(block, "Product data read");
    ShowAccessProduct(block, text);
    block.source.SetInstrumentName("Syride");
    block.source.SetInstrumentText(text);
    block.source.SetInstrumentId(FormatText("Syride: %u", product.serial));
    return 0;
  }
  ShowAccessError(block, kSilence, kProductCaption);
  return -1;
}

// The stored waypoints: into block.waypoints, or (scanOnly) to the pilot-ID scan.
int DownloadWaypoints(AccessBlock& block, bool scanOnly) {
  ShowAccessStatus(block, "Requesting waypoints");
  MessageAssembler answer(Command::Waypoints);
  if (!AskOnce(block, Command::Waypoints, {}, kWaypointCaption, answer)) return -1;
  std::vector<NamedPoint> points;
  if (auto refusal = DecodeWaypoints(answer.Payload(), points)) {
    ShowAccessError(block, *refusal, kWaypointCaption);
    return -1;
  }
  const GarminTime now = Now();
  if (!scanOnly) block.waypoints.clear();
  for (const NamedPoint& point : points) {
    const Waypoint waypoint = WaypointOf(point, now);
    if (scanOnly) {
      ScanForPilotIds(block, waypoint);
    } else {
      block.waypoints.push_back(waypoint);
    }
  }
  if (!scanOnly) ShowAccessStatus(block, FormatText("%d waypoints received", static_cast<int>(points.size())));
  return static_cast<int>(points.size());
}

int ReadFlightList(AccessBlock& block) {
  ShowAccessStatus(block, "Requesting track list");
  block.trackList.fill(TrackListEntry{});
  MessageAssembler answer(Command::FlightList);
  if (!AskOnce(block, Command::FlightList, {}, kListCaption, answer)) return -1;
  std::vector<FlightEntry> flights;
  if (auto refusal = DecodeFlightList(answer.Payload(), flights)) {
    ShowAccessError(block, *refusal, kListCaption);
    return -1;
  }
  const std::size_t listed = std::min(flights.size(), kMaxTrackListEntries);
  for (std::size_t i = 0; i < listed; ++i) {
    block.trackList[i].startTime = UnixToGarminTime(flights[i].startUnix);
    block.trackList[i].durationSeconds = flights[i].durationSeconds;
  }
  ShowAccessStatus(block, FormatText("%d tracks in track list found", static_cast<int>(listed)));
  return 0;
}

int DownloadFlights(AccessBlock& block, const FamilyEnvironment& context) {
  std::vector<TrackPoint> merged;
  for (std::size_t index = 0; index < kMaxTrackListEntries; ++index) {
    if (!block.trackSelection.test(index) || block.trackList[index].startTime == 0) continue;
    ShowAccessStatus(block, FormatText("Requesting track log %d", static_cast<int>(index) + 1));
    MessageAssembler answer(Command::Flight);
    const auto request = EncodeFlightRequest(static_cast<std::uint16_t>(index));
    if (!AskOnce(block, Command::Flight, request, kTrackCaption, answer, &context)) return -1;
    std::vector<TrackPoint> points;
    if (auto refusal = DecodeFlight(answer.Payload(), points)) {
      ShowAccessError(block, *refusal, kTrackCaption);
      return -1;
    }
    if (context.reportPosition) {
      for (const TrackPoint& point : points) context.reportPosition(point);
    }
    if (auto mergeError = flytec::MergeTrack(merged, std::move(points))) {
      ShowAccessError(block, *mergeError, kTrackCaption);
      return -1;
    }
  }
  ShowAccessStatus(block, FillTemplate("% points received", {static_cast<long long>(merged.size())}));
  if (merged.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  block.points = std::move(merged);
  return static_cast<int>(block.points.size());
}

// The task stored in the instrument, as the competition route of the downloaded flight.
int ReadTask(AccessBlock& block) {
  MessageAssembler answer(Command::Task);
  if (!AskOnce(block, Command::Task, {}, kTrackCaption, answer)) return -1;
  std::vector<NamedPoint> task;
  if (auto refusal = DecodeTask(answer.Payload(), task)) {
    ShowAccessError(block, *refusal, kTrackCaption);
    return -1;
  }
  block.task = RouteOfTask(task, block.points, Now());
  return 0;
}

}  // namespace

HidOpenResult OpenSyrideDevice() {
  std::uint16_t vendor = kUsbVendor;
  std::uint16_t product = kUsbProduct;
  if (const char* named = std::getenv("LOGWELL_SYRIDE_USB_ID")) {
    unsigned v = 0, p = 0;
    char end = 0;
    if (std::sscanf(named, "%4x:%4x%c", &v, &p, &end) == 2) {
      vendor = static_cast<std::uint16_t>(v);
      product = static_cast<std::uint16_t>(p);
    }
  }
  return OpenHidDevice(vendor, product, kUdevRuleFile);
}

HidOpener& SyrideOpener() {
  static HidOpener opener = OpenSyrideDevice;
  return opener;
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Syride;
  if (RequestProduct(block) < 0) return -1;
  if (ScansForPilotIds(block) && DownloadWaypoints(block, true) < 0) return -1;
  if (ReadFlightList(block) < 0) return -1;
  if (!flytec::SelectTracks(block, context)) return -1;
  const int count = DownloadFlights(block, context);
  if (count < 0) return -1;
  if (ReadTask(block) < 0) {
    block.points.clear();
    return -1;
  }
  block.source.kind = TrackSourceKind::Syride;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;  // GPS altitudes only
  return count;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Syride;
  if (RequestProduct(block) < 0) return -1;
  if (ReadFlightList(block) < 0) return -1;
  return flytec::PresentFlightList(block, context);
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  if (RequestProduct(block) < 0) return -1;
  return DownloadWaypoints(block, false) < 0 ? -1 : 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  if (RequestProduct(block) < 0) return -1;
  const int total = static_cast<int>(block.waypoints.size());
  if (block.waypoints.size() > kMaxWaypoints) {
    ShowAccessError(block, FormatText("Too many waypoints (%d, at most %d)", total, static_cast<int>(kMaxWaypoints)),
                    kUploadCaption);
    return -1;
  }
  std::vector<NamedPoint> points;
  for (const Waypoint& waypoint : block.waypoints) points.push_back(NamedPointOf(waypoint));
  ShowAccessStatus(block, "Sending waypoints");
  MessageAssembler answer(Command::WriteWaypoints);
  if (!AskOnce(block, Command::WriteWaypoints, EncodeWaypoints(points), kUploadCaption, answer)) return -1;
  std::uint16_t stored = 0;
  if (auto refusal = DecodeCount(answer.Payload(), stored)) {
    ShowAccessError(block, *refusal, kUploadCaption);
    return -1;
  }
  if (stored != total) {
    ShowAccessError(block, FormatText("%d of %d waypoints stored", static_cast<int>(stored), total), kUploadCaption);
    return -1;
  }
  if (context.notify) context.notify(FormatText("Sent wpt %d/%d", total, total));
  ShowAccessStatus(block, FormatText("%d waypoints sent", total));
  return 0;
}

int RunEraseWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  if (RequestProduct(block) < 0) return -1;
  ShowAccessStatus(block, "Erasing waypoints");
  MessageAssembler answer(Command::EraseWaypoints);
  if (!AskOnce(block, Command::EraseWaypoints, {}, kEraseCaption, answer)) return -1;
  std::uint16_t left = 0;
  if (auto refusal = DecodeCount(answer.Payload(), left)) {
    ShowAccessError(block, *refusal, kEraseCaption);
    return -1;
  }
  if (left != 0) {
    ShowAccessError(block, FormatText("%d waypoints left after the erase", static_cast<int>(left)), kEraseCaption);
    return -1;
  }
  ShowAccessStatus(block, "Waypoints erased");
  return 0;
}

namespace {

AccessWorker Worker(const FamilyEnvironment& context, HidOpener opener,
                    int (*steps)(AccessBlock&, const FamilyEnvironment&), bool clearTrace) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  frame.openPort = [opener = std::move(opener)](AccessBlock& block) { return OpenDevice(block, opener); };
  frame.run = [context, steps](AccessBlock& block) { return steps(block, context); };
  return FrameWorker(std::move(frame));
}

}  // namespace

bool RegisterSyrideWorkersWith(AccessTable& table, const FamilyEnvironment& context, HidOpener opener) {
  constexpr ProtocolType kType = ProtocolType::Syride;
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, kType, Worker(context, opener, RunReadTrackLog, true));
  ok &= table.Register(AccessType::ReadFlightList, kType, Worker(context, opener, RunReadFlightList, true));
  ok &= table.Register(AccessType::ReadWaypoints, kType, Worker(context, opener, RunReadWaypoints, false));
  ok &= table.Register(AccessType::WriteWaypoints, kType, Worker(context, opener, RunWriteWaypoints, false));
  ok &= table.Register(AccessType::EraseWaypoints, kType, Worker(context, opener, RunEraseWaypoints, false));
  return ok;
}

bool RegisterSyrideWorkers(AccessTable& table, const FamilyEnvironment& context) {
  return RegisterSyrideWorkersWith(table, context, [] { return SyrideOpener()(); });
}

}  // namespace logwell::syride
