#include "devices/flytec/flytec_tracks.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "access/access_framework.h"
#include "access/connect.h"
#include "track/igc/igc_device_parser.h"
#include "base/text.h"
#include "track/track_list_dialog.h"
#include "track/track_log.h"

namespace logwell::flytec {
namespace {

using std::chrono::milliseconds;

constexpr std::string_view kListCaption = "Read GPS track list";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::size_t kListLineLength = 79;
constexpr milliseconds kListSilence{1000};
constexpr milliseconds kBeforeTrackRequest{500};
constexpr std::size_t kRawInitialBytes = 20000;
constexpr int kMaxEstimateSeconds = 5999;

// A decimal number with blanks around it.
std::optional<int> Number(std::string_view text) {
  text = Trim(text, kSpacesAndTabs);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// "a<sep>b<sep>c" with blanks allowed around each number.
std::optional<std::array<int, 3>> Triple(std::string_view text, char separator) {
  std::array<int, 3> parts{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t at = i < 2 ? text.find(separator) : text.size();
    if (at == std::string_view::npos) return std::nullopt;
    const auto value = Number(text.substr(0, at));
    if (!value || *value < 0) return std::nullopt;
    parts[i] = *value;
    if (i < 2) text.remove_prefix(at + 1);
  }
  return parts;
}

bool ValidTime(const std::array<int, 3>& hms) { return hms[0] < 24 && hms[1] < 60 && hms[2] < 60; }

}  // namespace

bool ValidListDate(int day, int month, int twoDigitYear) {
  if (day < 1 || day > 31 || month < 1 || month > 12) return false;
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return false;
  if (month == 2 && (day > 29 || (day == 29 && twoDigitYear % 4 != 0))) return false;
  return true;
}

std::optional<std::string_view> ParseTrackListFields(std::span<const std::string_view> fields,
                                                     int& index, TrackListEntry& entry) {
  if (!Number(fields[1])) return "Bad track count parameter";
  const auto trackIndex = Number(fields[2]);
  if (!trackIndex) return "Bad track index parameter";
  const auto date = Triple(fields[3], '.');
  if (!date || (*date)[2] > 99 || !ValidListDate((*date)[0], (*date)[1], (*date)[2])) {
    return "Bad track date parameter";
  }
  const auto time = Triple(fields[4], ':');
  if (!time || !ValidTime(*time)) return "Bad track time parameter";
  const auto duration = Triple(fields[5], ':');
  if (!duration || !ValidTime(*duration)) return "Bad track duration parameter";
  CalendarTime start;
  start.year = 2000 + (*date)[2];
  start.month = (*date)[1];
  start.day = (*date)[0];
  start.hour = (*time)[0];
  start.minute = (*time)[1];
  start.second = (*time)[2];
  index = *trackIndex;
  entry.startTime = CalendarToGarminTime(start);
  entry.durationSeconds = static_cast<std::uint32_t>((*duration)[0] * 3600 + (*duration)[1] * 60 + (*duration)[2]);
  return std::nullopt;
}

int ReadTrackList(AccessBlock& block) {
  ShowAccessStatus(block, "Requesting track list");
  block.trackList.fill(TrackListEntry{});
  if (!SendText(block, kTrackListRequest)) {
    ShowAccessError(block, "E500 COM port write error", kListCaption);
    return -1;
  }
  NmeaLineAssembler collector = SentenceAssembler(kListLineLength);
  std::optional<std::string_view> error;
  ChunkReader reader = InstrumentReader();
  const ReadResult end = reader.ReadUntilSilence(block, kListSilence, [&](std::uint8_t byte) {
    if (!collector.Feed(byte)) return false;
    const auto fields = SplitNmeaSentence(collector.Line(), 10);
    if (fields.size() < 6) {
      error = "NMEA line parse error";
    } else if (fields[0] != "$PBRTL") {
      error = "Bad NMEA identifier";
    } else {
      int index = 0;
      TrackListEntry entry;
      error = ParseTrackListFields(fields, index, entry);
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

bool SelectTracks(AccessBlock& block, const FamilyEnvironment& context) {
  const std::vector<int> tracks =
      context.commandLineTracks ? context.commandLineTracks() : std::vector<int>{};
  const bool named = std::any_of(tracks.begin(), tracks.end(), [](int n) { return n >= 0; });
  block.trackSelection.reset();
  if (named) {
    for (const int index : tracks) {
      if (index >= 0 && static_cast<std::size_t>(index) < kMaxTrackListEntries &&
          block.trackList[static_cast<std::size_t>(index)].startTime != 0) {
        block.trackSelection.set(static_cast<std::size_t>(index));
      }
    }
    if (block.trackSelection.none()) {
      // None of the named tracks is stored: nothing the user asked for can be downloaded.
      ShowAccessError(block, "No selected track found in track list", kTrackCaption);
      return false;
    }
    return true;
  }
  if (block.owner == nullptr) return false;
  return ChooseTracks(*block.owner, block.trackList, block.portName, block.source.InstrumentName(),
                      block.trackSelection) > 0;
}

std::optional<std::string> MergeTrack(std::vector<TrackPoint>& accumulated,
                                      std::vector<TrackPoint>&& next) {
  if (next.empty()) return std::nullopt;
  if (accumulated.empty()) {
    accumulated = std::move(next);
    return std::nullopt;
  }
  const std::string gapText =
      FormatText("Time gap between tracks greater than %d s", static_cast<int>(kMaxMergeGapSeconds));
  if (accumulated.back().time < next.front().time) {
    if (next.front().time - accumulated.back().time > kMaxMergeGapSeconds) return gapText;
    next.front().segmentStart &= ~1u;
    accumulated.insert(accumulated.end(), next.begin(), next.end());
    return std::nullopt;
  }
  if (!(accumulated.front().time > next.back().time)) return "Overlapping track start/stop times";
  if (accumulated.front().time - next.back().time > kMaxMergeGapSeconds) return gapText;
  accumulated.front().segmentStart &= ~1u;
  next.insert(next.end(), accumulated.begin(), accumulated.end());
  accumulated = std::move(next);
  return std::nullopt;
}

int IgcLineBuilder::Feed(std::uint8_t byte) {
  if (!inLine_) {
    if (byte == '\n' || byte == '\r') return 1;  // empty lines between records
    if (byte < 'A' || byte > 'Z') {
      badByte_ = byte;
      return -1;
    }
    line_.assign(1, static_cast<char>(byte));
    inLine_ = true;
    return 1;
  }
  if (byte == '\n') {
    inLine_ = false;
    return 0;
  }
  if (line_.size() >= kMaxLine) return -2;
  line_ += static_cast<char>(byte);
  return 1;
}

std::string IgcLineBuilder::FaultText(int state) const {
  return state == -1 ? FormatText("E205 Bad record type (%02X)", badByte_) : std::string("E207 Too long sentence");
}

int EstimateSecondsLeft(GarminTime listedStart, std::uint32_t durationSeconds, GarminTime current,
                        double elapsedSeconds) {
  if (current <= listedStart || elapsedSeconds <= 0.0) return kMaxEstimateSeconds;
  const double covered = current - listedStart;
  const double remaining = std::max(0.0, static_cast<double>(durationSeconds) - covered);
  const double left = elapsedSeconds * remaining / covered;
  return static_cast<int>(std::min<double>(left, kMaxEstimateSeconds));
}

int DownloadOneTrack(AccessBlock& block, const FamilyEnvironment& context, bool trackListInUse,
                     int index, std::string* raw, DownloadedTrack& outcome,
                     const TrackDownloadStyle& style) {
  const std::string_view caption = style.caption;
  const milliseconds silence = style.silence;
  GarminTime listedStart = 0;
  std::uint32_t listedDuration = 0;
  if (style.allTracks) {
    ShowAccessStatus(block, FillTemplate("Reading track log %", {index + 1}));
    if (!SendText(block, OneTrackRequest(index))) {
      ShowAccessError(block, "E202 COM port write error", caption);
      return -1;
    }
  } else if (!trackListInUse) {
    ShowAccessStatus(block, "Requesting track log");
    if (!SendText(block, kWholeMemoryRequest)) {
      ShowAccessError(block, "E202 COM port write error", caption);
      return -1;
    }
  } else {
    ShowAccessStatus(block, FillTemplate("Requesting track log %", {index + 1}));
    if (!block.Pause(kBeforeTrackRequest)) return -1;
    if (!SendText(block, OneTrackRequest(index))) {
      ShowAccessError(block, "E202 COM port write error", caption);
      return -1;
    }
    listedStart = block.trackList[static_cast<std::size_t>(index)].startTime;
    listedDuration = block.trackList[static_cast<std::size_t>(index)].durationSeconds;
  }

  igc::IgcDeviceLineParser parser(igc::IgcDeviceVariant::FlytecBrauniger);
  parser.onPosition = context.reportPosition;
  IgcLineBuilder builder;
  std::string error;
  bool rawFailed = false;
  ChunkReader reader = InstrumentReader();
  const ReadResult end = reader.ReadUntilSilence(block, silence, [&](std::uint8_t byte) {
    if (raw != nullptr) {
      try {
        raw->push_back(static_cast<char>(byte));
      } catch (const std::bad_alloc&) {
        rawFailed = true;
        return true;
      }
    }
    const int state = builder.Feed(byte);
    if (state == 1) return false;
    if (state < 0) {
      error = builder.FaultText(state);
      return true;
    }
    const int code = parser.ParseLine(builder.Line());
    if (code < 0) {
      error = FormatText("E206 Format error %d", -code);
      return true;
    }
    const auto n = static_cast<long long>(parser.Points().size());
    if (builder.Line()[0] == 'B' && style.allTracks) {
      if (n % 100 == 1) ShowAccessStatus(block, FillTemplate("Reading track log %   (%)", {index + 1, n}));
    } else if (builder.Line()[0] == 'B') {
      if (n == 1) {
        ShowAccessStatus(block, "Receiving track log");
      } else if (n % 100 == 1) {
        if (!trackListInUse) {
          ShowAccessStatus(block, FillTemplate("Track position %", {n}));
        } else {
          const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                               parser.FirstFixTick()).count();
          const int left = EstimateSecondsLeft(listedStart, listedDuration,
                                               parser.Points().back().time, elapsed);
          ShowAccessStatus(block, FillTemplate("Track position % (%m %s)", {n, left / 60, left % 60}));
        }
        if (context.notify) context.notify(FillTemplate("Progress %/?", {n}));
      }
    }
    return false;
  });
  if (rawFailed) {
    ShowAccessError(block, "E204 Track log memory allocation", caption);
    return -1;
  }
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "E203 COM port read error", caption);
    return -1;
  }
  if (!error.empty()) {
    ShowAccessError(block, error, caption);
    return -1;
  }
  ShowAccessStatus(block, FillTemplate("% points received", {static_cast<long long>(parser.Points().size())}));
  if (parser.Points().empty()) {
    ShowAccessError(block, "No points detected", caption);
    return -1;
  }
  if (parser.LoggerSerial().empty()) {
    ShowAccessError(block, "Bad or missing A-record", caption);
    return -1;
  }
  outcome.signedTrack = parser.GRecordCount() > 0;
  outcome.manufacturer = parser.Manufacturer();
  outcome.serial = parser.LoggerSerial();
  outcome.firstFix = parser.FirstFixTime();
  outcome.points = parser.TakePoints();
  return 0;
}

int DownloadTrackLog(AccessBlock& block, const FamilyEnvironment& context, bool trackListInUse) {
  const std::size_t selected = block.trackSelection.count();
  std::string raw;
  raw.reserve(kRawInitialBytes);
  std::vector<TrackPoint> merged;
  bool everyTrackSigned = true;
  int downloaded = 0;
  DownloadedTrack first;
  for (int index = 0; index < static_cast<int>(kMaxTrackListEntries); ++index) {
    if (!block.trackSelection.test(static_cast<std::size_t>(index))) continue;
    DownloadedTrack outcome;
    if (DownloadOneTrack(block, context, trackListInUse, index, downloaded == 0 ? &raw : nullptr,
                         outcome) < 0) {
      return -1;
    }
    everyTrackSigned = everyTrackSigned && outcome.signedTrack;
    if (downloaded == 0) {
      first.manufacturer = outcome.manufacturer;
      first.serial = outcome.serial;
      first.firstFix = outcome.firstFix;
    }
    ++downloaded;
    if (const auto mergeError = MergeTrack(merged, std::move(outcome.points))) {
      ShowAccessError(block, *mergeError, kTrackCaption);
      return -1;
    }
  }
  if (downloaded == 0) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  if (selected > 1) {
    ShowAccessStatus(block, FillTemplate("% points received", {static_cast<long long>(merged.size())}));
  }
  block.points = std::move(merged);
  block.rawIgc = RawLogOf(std::move(raw), first, downloaded);
  if (!everyTrackSigned && block.owner != nullptr) block.owner->ShowInfoBox("No G-records found", kTrackCaption);
  return everyTrackSigned ? 1 : 0;
}

int ReadSignedIgcFlight(AccessBlock& block, const FamilyEnvironment& context, igc::IgcDeviceVariant variant,
                        std::string* raw, DownloadedTrack& flight, std::string_view caption) {
  constexpr std::chrono::milliseconds kFlightSilence{3000};
  constexpr std::chrono::milliseconds kAfterSignature{300};
  constexpr std::size_t kReadChunk = 256;
  igc::IgcDeviceLineParser parser(variant);
  parser.onPosition = context.reportPosition;
  IgcLineBuilder builder;
  std::string error;
  bool signature = false;
  bool anyByte = false;
  const auto handler = [&](std::uint8_t byte) {
    anyByte = true;
    if (raw != nullptr) raw->push_back(static_cast<char>(byte));
    const int state = builder.Feed(byte);
    if (state == 1) return false;
    if (state < 0) {
      error = builder.FaultText(state);
      return true;
    }
    const std::string& line = builder.Line();
    if (signature && line[0] != 'G') {
      error = "Unsupported record after the G record";
      return true;
    }
    const int code = parser.ParseLine(line);
    if (code < 0) {
      error = FormatText("E206 Format error %d", -code);
      return true;
    }
    const auto n = static_cast<long long>(parser.Points().size());
    if (line[0] == 'B' && n % 100 == 1) {
      ShowAccessStatus(block, n == 1 ? std::string("Receiving track log") : FormatText("Track position %lld", n));
      if (context.notify && n > 1) context.notify(FormatText("Progress %lld/?", n));
    }
    if (line[0] == 'G' && !signature) {
      signature = true;
      return true;
    }
    return false;
  };
  ChunkReader reader(kReadChunk);
  ReadResult end = reader.ReadUntilSilence(block, kFlightSilence, handler);
  // Further G lines follow the first at once.
  if (end == ReadResult::Complete && error.empty()) end = reader.ReadUntilSilence(block, kAfterSignature, handler);
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "E203 COM port read error", caption);
    return -1;
  }
  if (!error.empty()) {
    ShowAccessError(block, error, caption);
    return -1;
  }
  if (!anyByte) {
    ShowAccessError(block, "No valid response from GPS", caption);
    return -1;
  }
  // A text that breaks off before its G record went quiet or dead in the middle.
  if (!signature) {
    ShowAccessError(block, "Track log incomplete (no G record)", caption);
    return -1;
  }
  ShowAccessStatus(block, FormatText("%lld points received", static_cast<long long>(parser.Points().size())));
  if (parser.Points().empty()) {
    ShowAccessError(block, "No points detected", caption);
    return -1;
  }
  if (parser.LoggerSerial().empty()) {
    ShowAccessError(block, "Bad or missing A-record", caption);
    return -1;
  }
  flight.signedTrack = true;
  flight.manufacturer = parser.Manufacturer();
  flight.serial = parser.LoggerSerial();
  flight.firstFix = parser.FirstFixTime();
  flight.points = parser.TakePoints();
  return 0;
}

RawIgcLog RawLogOf(std::string text, const DownloadedTrack& first, int trackCount) {
  RawIgcLog log;
  log.text = std::move(text);
  log.firstFixTime = first.firstFix;
  log.logCount = trackCount;
  log.loggerSerial = first.serial;
  log.manufacturer = first.manufacturer;
  return log;
}

std::string FlightListText(std::span<const TrackListEntry> entries) {
  std::string text = "Flightlist:\n";
  for (const TrackListEntry& entry : entries) {
    if (entry.startTime == 0) continue;
    const CalendarTime t = GarminTimeToCalendar(entry.startTime);
    const std::uint32_t d = entry.durationSeconds;
    text += FormatText("%02d.%02d.%02d,%02d:%02d:%02d,%d:%02d:%02d\n", t.year % 100, t.month, t.day,
                       t.hour, t.minute, t.second, static_cast<int>(d / 3600),
                       static_cast<int>(d / 60 % 60), static_cast<int>(d % 60));
  }
  return text;
}

int PresentFlightList(AccessBlock& block, const FamilyEnvironment& context) {
  const bool any = std::any_of(block.trackList.begin(), block.trackList.end(),
                               [](const TrackListEntry& e) { return e.startTime != 0; });
  if (context.unattended) {
    if (context.notify) context.notify(FlightListText(block.trackList));
    return any ? 0 : -1;
  }
  if (block.owner != nullptr) {
    ChooseTracks(*block.owner, block.trackList, block.portName, block.source.InstrumentName(),
                 block.trackSelection);
  }
  return any ? 0 : -1;
}

}  // namespace logwell::flytec
