#include "devices/logit/logit_workers.h"

#include <algorithm>
#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "base/ui.h"

namespace logwell::logit {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kIdentityAnswerWindow{1000};
constexpr milliseconds kAfterIdentityPause{200};
constexpr milliseconds kTrackSilence{3000};
constexpr milliseconds kDrainSilence{300};
constexpr milliseconds kEraseWait{30000};
constexpr int kMaxRestarts = 5;
constexpr std::size_t kSentenceLength = 120;
constexpr std::size_t kMaxFields = 20;
constexpr std::size_t kReadChunk = 256;

constexpr std::string_view kProductCaption = "Read product data";
constexpr std::string_view kTrackCaption = "Read GPS track log";
constexpr std::string_view kEraseCaption = "Erase track log";
constexpr std::string_view kNameCaption = "Write owner name";

bool Send(AccessBlock& block, std::string_view text) { return WritePortText(block, text) == 0; }

NmeaLineAssembler Assembler() {
  return NmeaLineAssembler(kSentenceLength, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                           NmeaLineAssembler::Overlong::Drop);
}

// The answer's fields; none when its checksum is missing or wrong (a damaged sentence).
std::vector<std::string_view> CheckedFields(std::string& line) {
  if (line.find('*') == std::string::npos) return {};
  return SplitNmeaSentence(line, kMaxFields);
}

}  // namespace

int RequestIdentity(AccessBlock& block, Identity& identity) {
  return RequestWithProductBudget(block, [&identity](AccessBlock& b) {
    if (!Send(b, kIdentityRequest)) {
      ShowAccessError(b, "COM port write error", kProductCaption);
      return -1;
    }
    NmeaLineAssembler assembler = Assembler();
    std::optional<std::string> refusal;
    std::string sentence;
    bool answered = false;
    ChunkReader reader(kReadChunk);
    const ReadResult end = reader.ReadUntil(b, kIdentityAnswerWindow, [&](std::uint8_t byte) {
      if (!assembler.Feed(byte)) return false;
      std::string line = assembler.Line();
      const auto fields = CheckedFields(line);
      if (!IsIdentityAnswer(fields)) return false;  // damaged or another sentence: ask again
      refusal = ParseIdentity(fields, identity);
      sentence = assembler.Line();
      answered = true;
      return true;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(b, "COM port read error", kProductCaption);
      return -1;
    }
    if (!answered) return 0;
    if (refusal) {
      ShowAccessError(b, *refusal, kProductCaption);
      return -1;
    }
    const std::string text = ProductText(identity);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName("LogIt");
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(identity.owner.empty() ? identity.model : identity.model + ": " + identity.owner);
    b.logItData.assign(sentence.begin(), sentence.end());
    return b.Pause(kAfterIdentityPause) ? 1 : -1;
  });
}

int DownloadTrack(AccessBlock& block, const FamilyEnvironment& context) {
  std::vector<TrackPoint> points;
  std::optional<int> total;
  int restarts = 0;
  for (;;) {
    const int first = static_cast<int>(points.size());
    if (!Send(block, TrackRequest(first))) {
      ShowAccessError(block, "E202 COM port write error", kTrackCaption);
      return -1;
    }
    ShowAccessStatus(block, first == 0 ? std::string("Requesting track log") : FormatText("RESTART at point %d", first));
    NmeaLineAssembler assembler = Assembler();
    std::optional<int> announced;
    bool damaged = false;
    bool anySentence = false;
    std::string error;
    ChunkReader reader(kReadChunk);
    const ReadResult end = reader.ReadUntilSilence(block, kTrackSilence, [&](std::uint8_t byte) {
      if (!assembler.Feed(byte)) return false;
      anySentence = true;
      std::string line = assembler.Line();
      const auto fields = CheckedFields(line);
      if (fields.empty()) {
        damaged = true;
        return true;
      }
      if (!announced) {
        announced = ParseTrackCount(fields);
        if (!announced) {
          error = "Unsupported record " + std::string(CutBytes(assembler.Line(), 60));
          return true;
        }
        if (total && *announced != *total) {
          error = FormatText("Track log changed during the download (%d, then %d points)", *total, *announced);
          return true;
        }
        total = announced;
        return static_cast<int>(points.size()) >= *total;
      }
      int index = -1;
      TrackPoint point;
      if (auto refusal = ParseTrackPoint(fields, index, point)) {
        error = std::move(*refusal);
        return true;
      }
      if (index != static_cast<int>(points.size())) {
        damaged = true;  // a point went missing on the line
        return true;
      }
      point.segmentStart = points.empty() ? 1 : 0;
      if (context.reportPosition) context.reportPosition(point);
      points.push_back(point);
      const auto n = static_cast<int>(points.size());
      if (n % 100 == 1) {
        ShowAccessStatus(block, n == 1 ? std::string("Receiving track log") : FormatText("Track position %d", n));
        if (context.notify && n > 1) context.notify(FormatText("Progress %d/%d", n, *total));
      }
      return n >= *total;
    });
    if (end == ReadResult::Aborted) return -1;
    if (end == ReadResult::ReadError) {
      ShowAccessError(block, "E203 COM port read error", kTrackCaption);
      return -1;
    }
    if (!error.empty()) {
      ShowAccessError(block, error, kTrackCaption);
      return -1;
    }
    if (damaged) {
      if (++restarts > kMaxRestarts) {
        ShowAccessError(block, FormatText("E205 Bad checksum (%d restarts at point %d)", kMaxRestarts,
                                          static_cast<int>(points.size())),
                        kTrackCaption);
        return -1;
      }
      // Whatever the logger still sends of the broken answer goes before asking again.
      ChunkReader drain(kReadChunk);
      if (drain.ReadUntilSilence(block, kDrainSilence, [](std::uint8_t) { return false; }) == ReadResult::Aborted) {
        return -1;
      }
      continue;
    }
    if (!anySentence) {
      ShowAccessError(block, "No valid response from GPS", kTrackCaption);
      return -1;
    }
    if (!total || static_cast<int>(points.size()) < *total) {
      ShowAccessError(block,
                      FormatText("Transfer incomplete (%d of %d points)", static_cast<int>(points.size()),
                                 total.value_or(0)),
                      kTrackCaption);
      return -1;
    }
    break;
  }
  ShowAccessStatus(block, FormatText("%d points received", static_cast<int>(points.size())));
  if (points.empty()) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  const int count = static_cast<int>(points.size());
  block.points = std::move(points);
  return count;
}

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context) {
  block.source.kind = TrackSourceKind::LogIt;
  Identity identity;
  if (RequestIdentity(block, identity) < 0) return -1;
  const int result = DownloadTrack(block, context);
  if (result < 0) block.logItData.clear();
  block.source.kind = TrackSourceKind::LogIt;
  block.source.timeIsUtc = 0;  // the logger keeps local time
  block.source.signState = SignState::Downloaded;
  block.source.altitudeFlag = 0;
  return result;
}

int RunReadLogItData(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  Identity identity;
  if (RequestIdentity(block, identity) < 0) return -1;
  const std::string memory = MemoryText(identity);
  ShowAccessStatus(block, memory);
  if (block.owner != nullptr) {
    block.owner->ShowInfoBox(FormatText("%s\r\nOwner: %s\r\n%s", identity.model.c_str(), identity.owner.c_str(),
                                        memory.c_str()),
                             kProductCaption);
  }
  return 0;
}

int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  Identity identity;
  if (RequestIdentity(block, identity) < 0) return -1;
  ShowAccessStatus(block, "Erasing track log");
  if (!Send(block, kEraseRequest)) {
    ShowAccessError(block, "COM port write error", kEraseCaption);
    return -1;
  }
  NmeaLineAssembler assembler = Assembler();
  bool done = false;
  ChunkReader reader(kReadChunk);
  const ReadResult end = reader.ReadUntil(block, kEraseWait, [&](std::uint8_t byte) {
    if (!assembler.Feed(byte)) return false;
    std::string line = assembler.Line();
    done = IsEraseDone(CheckedFields(line));
    return done;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kEraseCaption);
    return -1;
  }
  if (!done) {
    ShowAccessError(block, "No erase acknowledge from GPS", kEraseCaption);
    return -1;
  }
  ShowAccessStatus(block, "Track log erased");
  return 0;
}

int RunWriteOwnerName(AccessBlock& block, const FamilyEnvironment& /*context*/) {
  if (!block.pilotData) {
    ShowAccessError(block, "No owner name", kNameCaption);
    return -1;
  }
  // The identity first: a logger that is not there is reported, not written to blindly.
  Identity identity;
  if (RequestIdentity(block, identity) < 0) return -1;
  if (!Send(block, NameWriteSentence(block.pilotData->pilotName))) {
    ShowAccessError(block, "COM port write error", kNameCaption);
    return -1;
  }
  ShowAccessStatus(block, "Name sent (no verification)");
  return 0;
}

namespace {

bool KnownTrackRate(int rate) { return std::ranges::find(kTrackBaudRates, rate) != std::end(kTrackBaudRates); }

AccessWorker Worker(const FamilyEnvironment& context, int (*steps)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace, bool atParameterRate) {
  WorkerSteps frame;
  frame.clearTrace = clearTrace;
  frame.openPort = [atParameterRate](AccessBlock& block) {
    if (!atParameterRate) return ConnectComPort(block, kCommandBaudRate, false) == 0;
    if (!KnownTrackRate(block.param)) {
      ShowAccessError(block, FormatText("Unsupported baud rate %d", block.param), kTrackCaption);
      return false;
    }
    return ConnectComPort(block, block.param, false) == 0;
  };
  frame.run = [context, steps](AccessBlock& block) { return steps(block, context); };
  return FrameWorker(std::move(frame));
}

}  // namespace

bool RegisterLogItWorkers(AccessTable& table, const FamilyEnvironment& context) {
  bool ok = true;
  ok &= table.Register(AccessType::ReadTrackLog, ProtocolType::LogIt, Worker(context, RunReadTrackLog, true, true));
  ok &= table.Register(AccessType::ReadLogItData, ProtocolType::LogIt,
                       Worker(context, RunReadLogItData, false, false));
  ok &= table.Register(AccessType::EraseTrackLog, ProtocolType::LogIt,
                       Worker(context, RunEraseTrackLog, false, false));
  ok &= table.Register(AccessType::WritePilotData, ProtocolType::LogIt,
                       Worker(context, RunWriteOwnerName, false, false));
  return ok;
}

}  // namespace logwell::logit
