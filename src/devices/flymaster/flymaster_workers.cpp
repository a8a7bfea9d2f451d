#include "devices/flymaster/flymaster_workers.h"

#include <algorithm>
#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "access/pilot_scan.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/flytec/flytec_tracks.h"
#include "devices/flytec/flytec_workers.h"
#include "track/track_list_dialog.h"

namespace logwell::flymaster {
namespace {

using std::chrono::milliseconds;

constexpr int kDefaultProductBudget = 30;
constexpr milliseconds kProductAnswerWindow{800};
constexpr milliseconds kProductRequestSpacing{2000};
constexpr milliseconds kAfterProductPause{200};
constexpr std::size_t kProductLineLength = 60;
constexpr milliseconds kListSilence{2000};
constexpr milliseconds kTrackSilence{500};
constexpr milliseconds kPacketSilence{3000};
constexpr std::size_t kTrackBufferBytes = 1048576;
constexpr std::size_t kBufferReserve = 200;
constexpr std::size_t kWaypointLineLength = 199;
constexpr milliseconds kWaypointSilence{2000};
constexpr std::string_view kListCaption = "Read GPS track data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kWaypointCaption = "Read GPS waypoints";
constexpr std::string_view kPilotDataCaption = "Set pilot data";
constexpr std::string_view kWriteCaption = "Set Flymaster data";
constexpr milliseconds kAfterPilotDataPause{500};

ChunkReader Reader() { return ChunkReader(256, TraceForm::Raw, FlowControlBytes::Keep); }
ChunkReader BinaryReader() { return ChunkReader(4096, TraceForm::HexDump, FlowControlBytes::Keep); }

GarminTime Now() { return CalendarToGarminTime(CurrentUtcCalendar()); }

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }
bool SendByte(AccessBlock& block, std::uint8_t byte) {
  return WritePortBytes(block, std::span<const std::uint8_t>(&byte, 1)) == 0;
}

Generation GenerationOf(const AccessBlock& block) {
  return block.param == 0 ? Generation::Older : Generation::Current;
}

// A track's points joined to those before it; shows the failure.
bool Merge(AccessBlock& block, std::vector<TrackPoint>& merged, std::vector<TrackPoint>&& next) {
  if (const auto error = flytec::MergeTrack(merged, std::move(next))) {
    ShowAccessError(block, *error, kTrackCaption);
    return false;
  }
  return true;
}

// The binary answer to one track request. 0, or -1 after the failure was shown.
int DownloadBinaryTrack(AccessBlock& block, int index, BinaryTrack& track) {
  ShowAccessStatus(block, FillTemplate("Requesting track log %", {index + 1}));
  if (!Send(block, OneTrackRequest(block.trackList[static_cast<std::size_t>(index)].startTime,
                                   Generation::Current))) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  std::vector<std::uint8_t> data;
  data.reserve(kTrackBufferBytes);
  bool full = false;
  ChunkReader reader = BinaryReader();
  const ReadResult end = reader.ReadUntilSilence(block, kTrackSilence, [&](std::uint8_t byte) {
    data.push_back(byte);
    full = data.size() > kTrackBufferBytes - kBufferReserve;
    return full;
  });
  if (end == ReadResult::Aborted) return -1;  // the frame shows "Transfer aborted"
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "E204 COM port read error", kTrackCaption);
    return -1;
  }
  if (full) {
    ShowAccessError(block, "E203 Allocated buffer full", kTrackCaption);
    return -1;
  }
  if (const auto error = ParseBinaryTrack(data, Now(), track)) {
    ShowAccessError(block, *error, "Parsing track log data");
    return -1;
  }
  return 0;
}

// One track in packets, each acknowledged. 0, or -1 after the failure was shown (the
// instrument then got the cancel byte).
int DownloadPacketTrack(AccessBlock& block, int index, PacketTrack& track) {
  ShowAccessStatus(block, FillTemplate("Requesting track log %", {index + 1}));
  if (!Send(block, OneTrackRequest(block.trackList[static_cast<std::size_t>(index)].startTime,
                                   Generation::Older))) {
    ShowAccessError(block, "E202 COM port write error", kTrackCaption);
    return -1;
  }
  PacketParser parser;
  std::optional<std::string> error;
  bool ended = false;
  bool writeFailed = false;
  ChunkReader reader = Reader();
  const ReadResult end = reader.ReadUntilSilence(block, kPacketSilence, [&](std::uint8_t byte) {
    switch (parser.Feed(byte)) {
      case PacketParser::Event::More:
        return false;
      case PacketParser::Event::End:
        ended = true;
        return true;
      case PacketParser::Event::BadCheck:
        writeFailed = !SendByte(block, kPacketBadCheck);
        error = "E205 Bad checksum in data block";
        return true;
      case PacketParser::Event::Packet:
        error = ApplyPacket(parser.Id(), parser.Data(), track);
        if (error) return true;
        writeFailed = !SendByte(block, kPacketGood);
        return writeFailed;
    }
    return false;
  });
  const auto cancel = [&] { SendByte(block, kPacketCancel); };
  if (end == ReadResult::Aborted) {
    ShowAccessStatus(block, "Transfer aborted");
    cancel();
    return -1;
  }
  if (end == ReadResult::ReadError) {
    cancel();
    ShowAccessError(block, "E204 COM port read error", kTrackCaption);
    return -1;
  }
  if (end == ReadResult::TimedOut) {
    cancel();
    ShowAccessStatus(block, "Timeout receiving data");
    ShowAccessError(block, "E203 Timeout receiving data", kTrackCaption);
    return -1;
  }
  if (writeFailed && !error) error = "E202 COM port write error";
  if (error) {
    cancel();
    ShowAccessError(block, *error, kTrackCaption);
    return -1;
  }
  if (ended && !track.haveInfo) {
    cancel();
    ShowAccessError(block, "E205 Missing flight info block", kTrackCaption);
    return -1;
  }
  block.source.SetInstrumentText(FormatText("Flymaster F1, V%d.%d, S/N %u", track.firmwareMajor,
                                            track.firmwareMinor, track.serial));
  ShowAccessStatus(block, FillTemplate("% points received", {static_cast<long long>(track.points.size())}));
  if (!track.points.empty()) track.points.front().segmentStart = 1;
  return 0;
}

}  // namespace

int RequestProductData(AccessBlock& block, Generation generation, ProductData& product) {
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultProductBudget;
  for (int requests = 0; 2 * requests < budget; ++requests) {
    // The older generation asks every other round with the F1's own request.
    const std::string_view request = generation == Generation::Current ? kCurrentProductRequest
                                     : requests % 2 == 0                 ? kOlderProductRequest
                                                                         : kF1ProductRequest;
    const std::string asking = FillTemplate("Requesting product info (%)", {(budget - 2 * requests) / 2});
    ShowAccessStatus(block, AwaitingAnswerText(block, asking, budget - 2 * requests));
    const auto sent = std::chrono::steady_clock::now();
    if (!Send(block, request)) {
      ShowAccessError(block, "COM port write error", "Requesting GPS product data");
      return -1;
    }
    NmeaLineAssembler collector(kProductLineLength, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                                NmeaLineAssembler::Overlong::Drop);
    bool parsed = false;
    ChunkReader reader = Reader();
    const ReadResult end = reader.ReadUntil(block, kProductAnswerWindow, [&](std::uint8_t byte) {
      if (!collector.Feed(byte)) return false;
      parsed = ParseProductAnswer(collector.Line(), generation, product) == 0;
      return true;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "COM port read error", "Reading product data");
      return -1;
    }
    if (parsed) {
      ShowAccessStatus(block, "Product data read");
      block.source.SetInstrumentName("Flymaster");
      const std::string text(CutBytes(
          FormatText("Flymaster %s  SN%s  SW%s", product.model.c_str(), product.serial.c_str(),
                     product.software.c_str()), 80));
      block.source.SetInstrumentText(text);
      block.source.SetInstrumentId(std::string(CutBytes("Flymaster: " + product.serial, 50)));
      ShowAccessProduct(block, text);
      return block.Pause(kAfterProductPause) ? 0 : -1;
    }
    const auto waited = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - sent);
    if (waited < kProductRequestSpacing && !block.Pause(kProductRequestSpacing - waited)) return -1;
  }
  ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
  return -1;
}

int ReadFlightList(AccessBlock& block) {
  ShowAccessStatus(block, "Requesting track list");
  if (!Send(block, FlightListRequest(GenerationOf(block)))) {
    ShowAccessError(block, "E500 COM port write error", kListCaption);
    return -1;
  }
  NmeaLineAssembler collector(79, NmeaLineAssembler::Framing::DollarToCarriageReturn,
                              NmeaLineAssembler::Overlong::Cut);
  std::optional<std::string_view> error;
  ChunkReader reader = Reader();
  const ReadResult end = reader.ReadUntilSilence(block, kListSilence, [&](std::uint8_t byte) {
    if (!collector.Feed(byte)) return false;
    const auto fields = SplitNmeaSentence(collector.Line(), 10);
    if (fields.size() < 6) {
      error = "Too few parameters";
    } else if (fields[0] != "$PFMLST") {
      error = "Bad NMEA identifier";
    } else {
      int index = 0;
      TrackListEntry entry;
      error = flytec::ParseTrackListFields(fields, index, entry);
      if (!error && index >= 0 && static_cast<std::size_t>(index) < kMaxTrackListEntries) {
        block.trackList[static_cast<std::size_t>(index)] = entry;
      }
    }
    return error.has_value();
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kListCaption);
    return -1;
  }
  if (error) {
    ShowAccessError(block, *error, kListCaption);
    return -1;
  }
  const auto found = std::count_if(block.trackList.begin(), block.trackList.end(),
                                   [](const TrackListEntry& e) { return e.startTime != 0; });
  ShowAccessStatus(block, FillTemplate("% tracks in track list found", {found}));
  return 0;
}

int DownloadTracks(AccessBlock& block, const FamilyEnvironment& context, const ProductData& product) {
  std::vector<TrackPoint> merged;
  std::uint32_t serial = 0;
  for (std::size_t index = 0; index < kMaxTrackListEntries && index < 255; ++index) {
    if (!block.trackSelection.test(index)) continue;
    std::vector<TrackPoint> points;
    if (product.binaryTracks) {
      BinaryTrack track;
      if (DownloadBinaryTrack(block, static_cast<int>(index), track) < 0) return -1;
      points = std::move(track.points);
      if (track.task && !block.task) block.task = std::move(track.task);
    } else {
      PacketTrack track;
      if (DownloadPacketTrack(block, static_cast<int>(index), track) < 0) return -1;
      points = std::move(track.points);
      serial = track.serial;
    }
    if (!Merge(block, merged, std::move(points))) return -1;
  }
  block.source.SetInstrumentId(FormatText("Flymaster: %u", serial));
  ShowAccessStatus(block, FillTemplate("% points received", {static_cast<long long>(merged.size())}));
  // The older instruments can be switched off once their flights are read (the command line's
  // PWROFF or the window's menu option).
  if (!product.binaryTracks && (context.commandLinePowerOff ||
                                (context.menuPowerOff && context.menuPowerOff(ProtocolType::Flymaster)))) {
    Send(block, kPowerOffRequest);
  }
  block.points = std::move(merged);
  return static_cast<int>(block.points.size());
}

int DownloadWaypoints(AccessBlock& block, bool scanOnly) {
  if (!Send(block, kWaypointRequest)) {
    ShowAccessError(block, "COM port write error", kWaypointCaption);
    return -1;
  }
  constexpr std::string_view kStart = "$PFMWPL,";
  std::size_t matched = 0;
  std::string line;
  bool collecting = false;
  int code = 0;
  int count = 0;
  const GarminTime now = Now();
  ChunkReader reader = Reader();
  const ReadResult end = reader.ReadUntilSilence(block, kWaypointSilence, [&](std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    if (!collecting) {
      matched = c == kStart[matched] ? matched + 1 : (c == kStart[0] ? 1 : 0);
      if (matched == kStart.size()) {
        collecting = true;
        line = kStart;
        matched = 0;
      }
      return false;
    }
    if (c == '\r') return false;
    if (c != '\n') {
      if (line.size() < kWaypointLineLength) line += c;
      return false;
    }
    collecting = false;
    Waypoint waypoint;
    code = ParseWaypointLine(line, now, waypoint);
    if (code != 0) return true;
    ++count;
    if (scanOnly) {
      ScanForPilotIds(block, waypoint);
    } else {
      block.waypoints.push_back(waypoint);
    }
    return false;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kWaypointCaption);
    return -1;
  }
  if (code != 0) {
    ShowAccessError(block, FillTemplate("E302 Format error %", {code}), kWaypointCaption);
    return -1;
  }
  ShowAccessStatus(block, FillTemplate("% waypoints received", {count}));
  return count;
}

int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context, const ProductData& product) {
  constexpr std::string_view kUploadCaption = "Waypoint upload error";
  constexpr std::string_view kAnswerStart = "$PFMWPR,";
  const auto total = static_cast<long long>(block.waypoints.size());
  long long sent = 0;
  long long errors = 0;
  int firstError = 0;
  for (const Waypoint& waypoint : block.waypoints) {
    if (block.Aborted() || !Send(block, WaypointUploadSentence(waypoint))) {
      ShowAccessStatus(block, FillTemplate("% waypoints sent", {sent}));
      return -1;
    }
    ++sent;
    ShowAccessStatus(block, FillTemplate("Waypoint % sent", {sent}));
    if (context.notify) context.notify(FillTemplate("Sent wpt %/%", {sent, total}));
    // The name as the sentence carried it (a comma would have split its fields).
    std::string sentName = WithoutSeparator(waypoint.Description().substr(0, kUploadNameWidth), ',');
    sentName.resize(kUploadNameWidth, ' ');
    std::string line;
    std::size_t matched = 0;
    bool answered = false;
    ChunkReader reader = Reader();
    const ReadResult end = reader.ReadUntil(block, milliseconds(2000), [&](std::uint8_t byte) {
      const char c = static_cast<char>(byte);
      if (matched < kAnswerStart.size()) {
        matched = c == kAnswerStart[matched] ? matched + 1 : (c == '$' ? 1 : 0);
        if (matched == kAnswerStart.size()) line = kAnswerStart;
        return false;
      }
      if (c == '\r' || c == '\n') {
        answered = true;
        return true;
      }
      if (line.size() < 49) line += c;
      return false;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, FillTemplate("% waypoints sent, % errors, COM port read error", {sent, errors}),
                      kUploadCaption);
      return -1;
    }
    if (!answered) {
      ShowAccessError(block, FillTemplate("% waypoints sent, % errors, response timeout", {sent, errors}),
                      kUploadCaption);
      return -1;
    }
    if (const int error = CheckWaypointAnswer(line, product.software, sentName); error != 0) {
      if (errors++ == 0) firstError = error;
    }
    if (!block.Pause(milliseconds(100))) return -1;
  }
  if (errors > 0) {
    ShowAccessError(block,
                    FormatText("%lld waypoints sent, %lld errors, first error was type %d", sent, errors, firstError),
                    "Waypoint upload response error");
    return -1;
  }
  ShowAccessStatus(block, FillTemplate("% waypoints sent", {sent}));
  return 0;
}

int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, GenerationOf(block), product) < 0) return -1;
  return UploadWaypoints(block, context, product);
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  ProductData product;
  if (RequestProductData(block, GenerationOf(block), product) < 0) return -1;
  if (ScansForPilotIds(block) && (DownloadWaypoints(block, true) < 0 || !PilotIdsAccepted(block))) {
    return -1;
  }
  if (ReadFlightList(block) < 0) return -1;
  if (!flytec::SelectTracks(block, context)) return -1;
  const int result = DownloadTracks(block, context, product);
  block.source.kind = TrackSourceKind::Flymaster;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 1;
  return result;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::Flymaster;
  ProductData product;
  if (RequestProductData(block, GenerationOf(block), product) < 0) return -1;
  if (ReadFlightList(block) < 0) return -1;
  return flytec::PresentFlightList(block, context);
}

int RunWritePilotData(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  ProductData product;
  if (RequestProductData(block, GenerationOf(block), product) < 0) return -1;
  if (!block.pilotData) {
    ShowAccessError(block, "Nothing to send", kPilotDataCaption);
    return -1;
  }
  PilotData data = *block.pilotData;
  CutPilotData(data);
  // The older B1 NAV takes the identities and nothing else; every other model the reverse.
  const bool b1Nav = product.model == "B1NAV";
  if (data.kind == PilotData::Kind::PilotIds && !b1Nav) {
    ShowAccessError(block, "Command available for B1 NAV only", kPilotDataCaption);
    return -1;
  }
  if (data.kind != PilotData::Kind::PilotIds && b1Nav) {
    ShowAccessError(block, "Command not available for B1 NAV",
                    data.kind == PilotData::Kind::AltitudeAlarm ? "Set altitude alarm" : kPilotDataCaption);
    return -1;
  }
  if (const auto refusal = PilotDataRefusal(data)) {
    ShowAccessError(block, *refusal, kWriteCaption);
    return -1;
  }
  if (!Send(block, PilotDataSentence(data))) {
    ShowAccessError(block, "E401 COM port write error", kWriteCaption);
    ShowAccessStatus(block, "");
    return -1;
  }
  if (!block.Pause(kAfterPilotDataPause)) return -1;
  ShowAccessStatus(block, "Data sent");
  return 0;
}

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  ProductData product;
  if (RequestProductData(block, GenerationOf(block), product) < 0) return -1;
  return DownloadWaypoints(block, false) < 0 ? -1 : 0;
}

namespace {

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  return flytec::SerialWorker(context, steps, clearTrace, kBaudRate, false);
}

}  // namespace

bool RegisterFlymasterWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::Flymaster, Worker(context, RunReadTrackLog, true));
  ok &= table.Register(AccessType::ReadFlightList, ProtocolType::Flymaster,
                       Worker(context, RunReadFlightList, true));
  ok &= table.Register(AccessType::ReadWaypoints, ProtocolType::Flymaster,
                       Worker(context, RunReadWaypoints, false));
  ok &= table.Register(AccessType::WriteWaypoints, ProtocolType::Flymaster,
                       Worker(context, RunWriteWaypoints, false));
  ok &= table.Register(AccessType::WritePilotData, ProtocolType::Flymaster,
                       Worker(context, RunWritePilotData, false));
  return ok;
}

}  // namespace logwell::flymaster
