#include "devices/iqbasic/iqbasic_workers.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <utility>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/pilot_scan.h"
#include "base/text.h"
#include "devices/flytec/flytec_tracks.h"
#include "devices/flytec/flytec_workers.h"
#include "track/igc/igc_device_parser.h"

namespace logwell::iqbasic {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kParameterAnswerWindow{500};
constexpr milliseconds kAfterProductPause{200};
constexpr milliseconds kAnswerSilence{2000};
constexpr milliseconds kUploadAnswerWindow{2000};
constexpr std::size_t kMaxAnswerLine = 200;
constexpr std::size_t kReadChunk = 256;
constexpr std::size_t kRawInitialBytes = 20000;

constexpr std::string_view kProductCaption = "Reading product data";
constexpr std::string_view kListCaption = "Read GPS track list";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kUploadCaption = "Send waypoints";

ChunkReader Reader() { return ChunkReader(kReadChunk); }

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

// Lines of an answer: up to the line feed, a carriage return before it removed. Longer lines
// than the answers have are a fault of the line.
class LineCollector {
 public:
  // 1 for more bytes, 0 when Line() is complete, -1 when the line grew too long.
  int Feed(std::uint8_t byte) {
    if (complete_) {
      line_.clear();
      complete_ = false;
    }
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      complete_ = true;
      return 0;
    }
    if (line_.size() >= kMaxAnswerLine) return -1;
    line_ += static_cast<char>(byte);
    return 1;
  }
  const std::string& Line() const { return line_; }
  bool Pending() const { return !complete_ && !line_.empty(); }

 private:
  std::string line_;
  bool complete_ = false;
};

enum class AnswerEnd { Done, NoData, Refused, Silent, Failed };

// Reads the lines of a command's answer until "Done" or "No Data", handing each other line to
// `onLine`, which returns an error text to stop. Shows the failure under `caption` except for
// an abort. `anyLine` tells whether the instrument said anything at all. With `silenceEnds`
// (an answer that has no closing line) silence after whole lines ends the answer as "Done"
// would.
AnswerEnd ReadAnswer(AccessBlock& block, std::string_view caption,
                     const std::function<std::optional<std::string>(std::string_view)>& onLine,
                     bool silenceEnds = false) {
  LineCollector collector;
  AnswerEnd result = AnswerEnd::Silent;
  bool anyLine = false;
  std::string error;
  ChunkReader reader = Reader();
  const ReadResult end = reader.ReadUntilSilence(block, kAnswerSilence, [&](std::uint8_t byte) {
    const int state = collector.Feed(byte);
    if (state == 1) return false;
    if (state < 0) {
      error = "E207 Too long sentence";
      return true;
    }
    anyLine = true;
    switch (KindOf(collector.Line())) {
      case LineKind::Done:
        result = AnswerEnd::Done;
        return true;
      case LineKind::NoData:
        result = AnswerEnd::NoData;
        return true;
      case LineKind::Data:
        if (auto refusal = onLine(collector.Line())) {
          error = std::move(*refusal);
          return true;
        }
        return false;
    }
    return false;
  });
  if (end == ReadResult::Aborted) return AnswerEnd::Failed;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", caption);
    return AnswerEnd::Failed;
  }
  if (!error.empty()) {
    ShowAccessError(block, error, caption);
    return AnswerEnd::Refused;
  }
  if (result == AnswerEnd::Silent && silenceEnds && anyLine && !collector.Pending()) return AnswerEnd::Done;
  if (result == AnswerEnd::Silent) {
    ShowAccessError(block, anyLine || collector.Pending() ? "Answer ended before \"Done\"" : "No valid response from GPS",
                    caption);
  }
  return result;
}

// One parameter answer within its window; nothing when it did not come or was not that answer.
std::optional<std::vector<std::uint8_t>> ReadParameter(AccessBlock& block, std::string_view request, int number,
                                                       ReadResult& end) {
  if (!Send(block, request)) {
    end = ReadResult::ReadError;
    return std::nullopt;
  }
  LineCollector collector;
  std::optional<std::vector<std::uint8_t>> bytes;
  ChunkReader reader = Reader();
  end = reader.ReadUntil(block, kParameterAnswerWindow, [&](std::uint8_t byte) {
    if (collector.Feed(byte) != 0) return false;
    bytes = ParameterBytes(collector.Line(), number);
    return bytes.has_value();
  });
  return bytes;
}

}  // namespace

int RequestProductData(AccessBlock& block, ProductData& product) {
  return RequestWithProductBudget(block, [&product](AccessBlock& b) {
    ReadResult end = ReadResult::Complete;
    std::optional<std::vector<std::uint8_t>> serial, type, software;
    serial = ReadParameter(b, kSerialRequest, 0, end);
    if (serial && end == ReadResult::Complete) type = ReadParameter(b, kTypeRequest, 1, end);
    if (type && end == ReadResult::Complete) software = ReadParameter(b, kSoftwareRequest, 2, end);
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(b, "COM port read error", kProductCaption);
      return -1;
    }
    if (!software) return 0;
    if (const auto refusal = ReadProduct(*serial, *type, *software, product)) {
      ShowAccessError(b, *refusal, kProductCaption);
      return -1;
    }
    const std::string text = ProductText(product);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName(ModelName(product.deviceType));
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(FormatText("%s: %u", std::string(ModelName(product.deviceType)).c_str(), product.serial));
    return b.Pause(kAfterProductPause) ? 1 : -1;
  });
}

int ReadFlightList(AccessBlock& block, const ProductData& product) {
  ShowAccessStatus(block, "Requesting track list");
  block.trackList.fill(TrackListEntry{});
  if (!Send(block, kFlightListRequest)) {
    ShowAccessError(block, "E500 COM port write error", kListCaption);
    return -1;
  }
  // Software before 1.1.20 sends a header line first and ends the list without " Done".
  const bool olderList = product.software < kFlightListWithoutHeader;
  bool firstLine = true;
  const auto onLine = [&](std::string_view line) -> std::optional<std::string> {
    int index = 0;
    TrackListEntry entry;
    auto refusal = ParseFlightListLine(line, index, entry);
    const bool header = std::exchange(firstLine, false) && olderList;
    if (refusal && header) return std::nullopt;
    if (refusal) return refusal;
    if (static_cast<std::size_t>(index) < kMaxTrackListEntries) {
      block.trackList[static_cast<std::size_t>(index)] = entry;
    }
    return std::nullopt;
  };
  const AnswerEnd end = ReadAnswer(block, kListCaption, onLine, olderList);
  if (end != AnswerEnd::Done && end != AnswerEnd::NoData) return -1;
  const auto found = std::count_if(block.trackList.begin(), block.trackList.end(),
                                   [](const TrackListEntry& e) { return e.startTime != 0; });
  ShowAccessStatus(block, FormatText("%d tracks in track list found", static_cast<int>(found)));
  return 0;
}

namespace {

// One flight: the IGC lines up to its G record (the end of the text) and any further G lines
// that follow at once. A flight whose text breaks off before a G record is refused: the line
// went quiet or dead in the middle of it.
int DownloadFlight(AccessBlock& block, const FamilyEnvironment& context, int index, std::string* raw,
                   flytec::DownloadedTrack& flight) {
  ShowAccessStatus(block, FormatText("Requesting track log %d", index + 1));
  if (!Send(block, FlightRequest(index))) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  return flytec::ReadSignedIgcFlight(block, context, igc::IgcDeviceVariant::IqBasic, raw, flight, kTrackCaption);
}

}  // namespace

int DownloadFlights(AccessBlock& block, const FamilyEnvironment& context) {
  std::string raw;
  raw.reserve(kRawInitialBytes);
  std::vector<TrackPoint> merged;
  flytec::DownloadedTrack first;
  int downloaded = 0;
  for (int index = 0; index < kMaxFlights && static_cast<std::size_t>(index) < kMaxTrackListEntries; ++index) {
    if (!block.trackSelection.test(static_cast<std::size_t>(index))) continue;
    flytec::DownloadedTrack flight;
    if (DownloadFlight(block, context, index, downloaded == 0 ? &raw : nullptr, flight) < 0) return -1;
    if (downloaded++ == 0) {
      first.manufacturer = flight.manufacturer;
      first.serial = flight.serial;
      first.firstFix = flight.firstFix;
    }
    if (const auto mergeError = flytec::MergeTrack(merged, std::move(flight.points))) {
      ShowAccessError(block, *mergeError, kTrackCaption);
      return -1;
    }
  }
  if (merged.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  if (downloaded > 1) {
    ShowAccessStatus(block, FormatText("%lld points received", static_cast<long long>(merged.size())));
  }
  const int count = static_cast<int>(merged.size());
  block.points = std::move(merged);
  block.rawIgc = flytec::RawLogOf(std::move(raw), first, downloaded);
  return count;
}

int DownloadWaypoints(AccessBlock& block, bool scanOnly) {
  const GarminTime now = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  if (!scanOnly) block.waypoints.clear();
  ShowAccessStatus(block, "Requesting waypoints");
  if (!Send(block, kWaypointRequest)) {
    ShowAccessError(block, "E304 COM port write error", kWaypointCaption);
    return -1;
  }
  int count = 0;
  const AnswerEnd end = ReadAnswer(block, kWaypointCaption, [&](std::string_view line) -> std::optional<std::string> {
    const auto parsed = ParseWaypointLine(line);
    if (!parsed) return "Unsupported record: " + std::string(CutBytes(line, 60));
    ++count;
    Waypoint waypoint;
    waypoint.latitude = parsed->latitude;
    waypoint.longitude = parsed->longitude;
    if (scanOnly) {
      waypoint.SetId(Trim(parsed->name, kSpacesAndTabs));
      ScanForPilotIds(block, waypoint);
      return std::nullopt;
    }
    const std::string_view name = Trim(parsed->name, kSpacesAndTabs);
    waypoint.altitude = parsed->altitude;
    waypoint.time = now;
    waypoint.SetId(UpperCase(std::string(Trim(CutBytes(name.substr(0, name.find(' ')), Waypoint::kMaxIdLength),
                                               kSpacesAndTabs))));
    waypoint.SetDescription(name);
    block.waypoints.push_back(waypoint);
    if (count == 1) ShowAccessStatus(block, "Receiving waypoints");
    return std::nullopt;
  });
  if (end != AnswerEnd::Done && end != AnswerEnd::NoData) return -1;
  if (!scanOnly) ShowAccessStatus(block, FormatText("%d waypoints received", count));
  return count;
}

int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  const int total = static_cast<int>(block.waypoints.size());
  int sent = 0;
  int ok = 0;
  std::string firstError;
  for (const Waypoint& waypoint : block.waypoints) {
    if (block.Aborted()) return -1;
    if (!Send(block, kWaypointUploadRequest) || !Send(block, WaypointUploadLine(waypoint))) {
      ShowAccessError(block, "E304 COM port write error", kUploadCaption);
      return -1;
    }
    LineCollector collector;
    std::optional<std::string> answer;
    ChunkReader reader = Reader();
    const ReadResult end = reader.ReadUntil(block, kUploadAnswerWindow, [&](std::uint8_t byte) {
      const int state = collector.Feed(byte);
      if (state == 1) return false;
      answer = state < 0 ? std::string("E207 Too long sentence") : collector.Line();
      return true;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", kUploadCaption);
      return -1;
    }
    if (!answer) {
      ShowAccessError(block, "No valid response from GPS", kUploadCaption);
      return -1;
    }
    ++sent;
    const UploadAnswer kind = UploadAnswerOf(*answer);
    if (kind == UploadAnswer::Unknown) {
      // Not one of the four answers: whether the waypoint was stored is not known.
      ShowAccessError(block, "Unsupported record: " + std::string(CutBytes(*answer, 40)), kUploadCaption);
      return -1;
    }
    if (kind == UploadAnswer::Stored) {
      ++ok;
    } else if (firstError.empty()) {
      // "full list", "Syntax Error" or "already exist" (a waypoint of that name is kept as it was).
      firstError = std::string(Trim(*answer, kBlanksAndLineEnds));
    }
    ShowAccessStatus(block, FormatText("Waypoint %d sent", sent));
    if (context.notify) context.notify(FormatText("Sent wpt %d/%d", sent, total));
  }
  if (ok < total) {
    ShowAccessError(block, UploadResultText(ok, total, firstError), kUploadCaption);
    return -1;
  }
  ShowAccessStatus(block, FormatText("%d waypoints sent", sent));
  return 0;
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::IqBasic;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ScansForPilotIds(block) && DownloadWaypoints(block, true) < 0) return -1;
  if (ReadFlightList(block, product) < 0) return -1;
  if (!flytec::SelectTracks(block, context)) return -1;
  const int result = DownloadFlights(block, context);
  block.source.kind = TrackSourceKind::IqBasic;
  block.source.timeIsUtc = 1;
  // Every flight ends with the instrument's G record, or the download is refused.
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 1;
  return result;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::IqBasic;
  ProductData product;
  if (RequestProductData(block, product) < 0) return -1;
  if (ReadFlightList(block, product) < 0) return -1;
  return flytec::PresentFlightList(block, context);
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

namespace {

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  return flytec::SerialWorker(context, steps, clearTrace, kBaudRate, false);
}

}  // namespace

bool RegisterIqBasicWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::IqBasic, Worker(context, RunReadTrackLog, true));
  ok &= table.Register(AccessType::ReadFlightList, ProtocolType::IqBasic, Worker(context, RunReadFlightList, true));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::IqBasic, Worker(context, RunReadWaypoints, false));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::IqBasic, Worker(context, RunWriteWaypoints, false));
  return ok;
}

}  // namespace logwell::iqbasic
