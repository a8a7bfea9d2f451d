#include "devices/mtk/mtk_workers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <new>

#include "access/access_framework.h"
#include "access/access_table.h"
#include "access/connect.h"
#include "access/debug_buffer.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/mtk/mtk_log.h"
#include "devices/mtk/mtk_protocol.h"

namespace logwell::mtk {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultProductBudget = 30;
constexpr milliseconds kProductWait{1000};
constexpr milliseconds kAfterProduct{500};
constexpr milliseconds kStepWait{500};
constexpr milliseconds kAfterStep{300};
constexpr milliseconds kChunkWait{500};
constexpr int kChunkTries = 3;
constexpr int kEraseSeconds = 60;
constexpr std::size_t kAllocationUnit = 65536;
constexpr std::size_t kReadChunk = 2000;
constexpr const char* kAccessCaption = "GPS access";
constexpr const char* kParseCaption = "Parse log data";
constexpr const char* kReadCaption = "Read log data";
constexpr const char* kEraseCaption = "Erase log data";

enum class Wait { Answered, Silent, Failed };

void Trace(std::string_view text) { DebugBuffer::Global().AppendText(text); }

// Sends a request and reads sentences until `accept` takes one or `wait` has passed. Sentences
// with a wrong checksum go to the trace and are never accepted. Line failures are shown unless
// `quiet` (a clean-up step after a failure that was already shown).
Wait Exchange(AccessBlock& block, std::string_view request, milliseconds wait,
              const std::function<bool(const Answer&)>& accept, bool quiet = false) {
  if (WritePortText(block, request) != 0) {
    if (!quiet) ShowAccessError(block, "COM port write error", kAccessCaption);
    return Wait::Failed;
  }
  NmeaLineAssembler lines = SentenceAssembler();
  ChunkReader reader(kReadChunk);
  bool answered = false;
  const ReadResult end = reader.ReadUntil(block, wait, [&](std::uint8_t byte) {
    if (!lines.Feed(byte)) return false;
    Answer answer;
    const SentenceStatus status = ReadAnswer(lines.Line(), answer);
    if (status == SentenceStatus::BadChecksum) {
      Trace("Bad checksum\r\n");
      return false;
    }
    if (status != SentenceStatus::Ok || !accept(answer)) return false;
    answered = true;
    return true;
  });
  if (end == ReadResult::Aborted) return Wait::Failed;
  if (end == ReadResult::ReadError) {
    if (!quiet) ShowAccessError(block, "COM port read error", kAccessCaption);
    return Wait::Failed;
  }
  return answered ? Wait::Answered : Wait::Silent;
}

bool IsAck(const Answer& answer, std::string_view command) {
  return answer.kind == Answer::Kind::Acknowledge && answer.command == command;
}

// The rate of the access parameter; any other parameter (the command line's MTK, which names
// no rate) tries 115200 first and then alternates with 38400 on each product request.
int FirstRate(const AccessBlock& block) { return block.param == 38400 ? 38400 : 115200; }
bool AutomaticRate(const AccessBlock& block) {
  return block.param != 38400 && block.param != 115200;
}

int RequestProduct(AccessBlock& block) {
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultProductBudget;
  for (int request = 0; request < budget; ++request) {
    if (AutomaticRate(block) && request > 0 &&
        ReconfigureComPort(block, request % 2 == 0 ? 115200 : 38400) != 0) {
      return -1;
    }
    ShowAccessStatus(block, AwaitingAnswerText(block, FormatText("Requesting product info (%d)", budget - request),
                                               budget - request));
    std::string firmware;
    const Wait wait = Exchange(block, kProductRequest, kProductWait, [&](const Answer& a) {
      if (a.kind != Answer::Kind::Product) return false;
      firmware = a.firmware;
      return true;
    });
    if (wait == Wait::Failed) return -1;
    if (wait == Wait::Silent) continue;
    ShowAccessStatus(block, "Product data read");
    ShowAccessProduct(block, "Pentagram, " + firmware);
    block.source.SetInstrumentName("Pentagram");
    block.source.SetInstrumentText("Pentagram");
    block.source.SetInstrumentId(CutText("Pentagram: " + firmware, 50));
    return block.Pause(kAfterProduct) ? 0 : -1;
  }
  ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
  return -1;
}

// Logging status; nothing when the logger did not say. Then logging off.
int StopLogging(AccessBlock& block, bool& wasLogging) {
  wasLogging = false;
  const Wait status = Exchange(block, kStatusRequest, kStepWait, [&](const Answer& a) {
    if (a.kind != Answer::Kind::Status) return false;
    wasLogging = (a.value & kLoggingOnFlag) != 0;
    return true;
  });
  if (status == Wait::Failed || !block.Pause(kAfterStep)) return -1;
  const Wait off = Exchange(block, kLoggingOffRequest, kStepWait,
                            [](const Answer& a) { return IsAck(a, "182,5"); });
  if (off == Wait::Failed || !block.Pause(kAfterStep)) return -1;
  return 0;
}

// Logging back on when it was on before; failures here are only traced, the data is read.
void RestartLogging(AccessBlock& block, bool wasLogging) {
  if (!wasLogging) return;
  if (Exchange(block, kLoggingOnRequest, kStepWait,
               [](const Answer& a) { return IsAck(a, "182,4"); }, true) != Wait::Answered) {
    Trace("Logging not switched on again\r\n");
  }
}

int ReadMemory(AccessBlock& block, const FamilyEnvironment& environment, std::uint32_t used,
               std::vector<std::uint8_t>& memory) {
  const std::size_t end = (static_cast<std::size_t>(used) + kChunkSize - 1) / kChunkSize * kChunkSize;
  const auto start = Clock::now();
  auto lastReport = start;
  for (std::size_t offset = 0; offset < end; offset += kChunkSize) {
    bool outside = false;
    Wait wait = Wait::Silent;
    for (int attempt = 0; attempt < kChunkTries && wait == Wait::Silent; ++attempt) {
      const std::string request =
          ReadMemoryRequest(static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(kChunkSize));
      wait = Exchange(block, request, kChunkWait, [&](const Answer& a) {
        if (a.kind != Answer::Kind::MemoryChunk) return false;
        if (a.value != offset) {
          // A late answer to an earlier request is passed over; an offset beyond the used
          // memory is a fault of the logger.
          if (a.value >= end || a.data.size() > end - a.value) outside = true;
          return outside;
        }
        if (a.data.size() != kChunkSize) return false;
        std::copy(a.data.begin(), a.data.end(), memory.begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
      });
    }
    if (wait == Wait::Failed) return -1;
    if (outside) {
      ShowAccessError(block, "Chunk data outside used memory", kReadCaption);
      return -1;
    }
    if (wait == Wait::Silent) {
      ShowAccessError(block, "No response for data chunk", kReadCaption);
      return -1;
    }
    const auto now = Clock::now();
    if (now - lastReport >= std::chrono::seconds(1)) {
      lastReport = now;
      const double done = static_cast<double>(offset + kChunkSize);
      const double elapsed = std::chrono::duration<double>(now - start).count();
      const long left = std::lround(elapsed * (static_cast<double>(end) - done) / done);
      const std::string text = FormatText("Reading log data, %ld s left", left);
      ShowAccessStatus(block, text);
      if (environment.notify) {
        environment.notify(text);
        // The bytes read and their total, for a progress bar that shows the share done.
        environment.notify(FormatText("Progress %zu/%zu", offset + kChunkSize, end));
      }
    }
  }
  return 0;
}

int ParseMemory(AccessBlock& block, std::span<const std::uint8_t> memory) {
  const LogParse parse = ParseLog(memory);
  if (parse.status == LogStatus::BadHeader) {
    ShowAccessError(block, "Bad header block", kParseCaption);
    return -1;
  }
  if (parse.badRecords > 0) {
    // Blocks failing their checksum never become points; the others are kept.
    ShowAccessStatus(block, FormatText("Bad data block (%zu)", parse.badRecords));
    Trace(FormatText("Bad data block (%zu), first at 0x%06zX\r\n", parse.badRecords,
                                parse.badOffset));
  }
  if (parse.status == LogStatus::NoPoints) {
    ShowAccessError(block, "No points detected", kParseCaption);
    return -1;
  }
  try {
    block.points = ToTrackPoints(parse.fixes);
  } catch (const std::bad_alloc&) {
    ShowAccessError(block, "Track log memory allocation", kParseCaption);
    return -1;
  }
  ShowAccessStatus(block, FormatText("%zu points received", block.points.size()));
  return static_cast<int>(block.points.size());
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  block.source.kind = TrackSourceKind::Mtk;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::NotSignable;
  block.source.altitudeFlag = 0;
  if (RequestProduct(block) < 0) return -1;
  bool wasLogging = false;
  if (StopLogging(block, wasLogging) < 0) return -1;
  std::uint32_t used = 0;
  bool told = false;
  const Wait wait = Exchange(block, kMemoryUsedRequest, kStepWait, [&](const Answer& a) {
    if (a.kind != Answer::Kind::MemoryUsed) return false;
    used = a.value;
    told = true;
    return true;
  });
  const auto fail = [&](const char* text, const char* caption) {
    if (text) ShowAccessError(block, text, caption);
    RestartLogging(block, wasLogging);
    return -1;
  };
  if (wait == Wait::Failed) return fail(nullptr, nullptr);
  if (!block.Pause(kAfterStep)) return fail(nullptr, nullptr);
  if (!told) return fail("No valid response from GPS", "Get used memory");
  if (used == 0) return fail("Zero used memory", kReadCaption);
  if (used > kMaxMemory) return fail("More than 64MB....", kReadCaption);
  std::vector<std::uint8_t> memory;
  try {
    memory.assign((static_cast<std::size_t>(used) + kAllocationUnit - 1) / kAllocationUnit *
                      kAllocationUnit,
                  0xFF);
  } catch (const std::bad_alloc&) {
    return fail("Could not allocate memory", kReadCaption);
  }
  if (ReadMemory(block, environment, used, memory) < 0) return fail(nullptr, nullptr);
  RestartLogging(block, wasLogging);
  return ParseMemory(block, memory);
}

int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& /*environment*/) {
  if (RequestProduct(block) < 0) return -1;
  bool wasLogging = false;
  if (StopLogging(block, wasLogging) < 0) return -1;
  if (WritePortText(block, kEraseRequest) != 0) {
    ShowAccessError(block, "COM port write error", kEraseCaption);
    RestartLogging(block, wasLogging);
    return -1;
  }
  Wait wait = Wait::Silent;
  for (int second = 0; second < kEraseSeconds && wait == Wait::Silent; ++second) {
    ShowAccessStatus(block, FormatText("Erasing (%d)", kEraseSeconds - second));
    NmeaLineAssembler lines = SentenceAssembler();
    ChunkReader reader(kReadChunk);
    const ReadResult end = reader.ReadUntil(block, milliseconds(1000), [&](std::uint8_t byte) {
      if (!lines.Feed(byte)) return false;
      Answer answer;
      return ReadAnswer(lines.Line(), answer) == SentenceStatus::Ok && IsAck(answer, "182,6");
    });
    if (end == ReadResult::Aborted || end == ReadResult::ReadError) wait = Wait::Failed;
    else if (end == ReadResult::Complete) wait = Wait::Answered;
  }
  RestartLogging(block, wasLogging);
  if (wait != Wait::Answered) {
    if (wait == Wait::Silent) ShowAccessError(block, "No valid response from GPS", kEraseCaption);
    return -1;
  }
  ShowAccessStatus(block, "Erase completed");
  return 0;
}

bool RegisterMtkWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  const auto worker = [&environment](int (*run)(AccessBlock&, const FamilyEnvironment&)) {
    WorkerSteps steps;
    steps.clearTrace = true;
    steps.openPort = [](AccessBlock& block) {
      return ConnectComPort(block, FirstRate(block), false) == 0;
    };
    steps.run = [environment, run](AccessBlock& block) { return run(block, environment); };
    return FrameWorker(std::move(steps));
  };
  bool ok = table.Register(AccessType::ReadTrackLog, ProtocolType::Mtk, worker(RunReadTrackLog));
  ok &= table.Register(AccessType::EraseTrackLog, ProtocolType::Mtk, worker(RunEraseTrackLog));
  return ok;
}

}  // namespace logwell::mtk
