#include "devices/ascent/ascent_workers.h"

#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/scan_port.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/decoded_points.h"
#include "devices/flytec/flytec_tracks.h"
#include "wire/ascent/ascent_protocol.h"

namespace logwell::ascent {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAnswerWait{1000};
constexpr milliseconds kEraseStepWait{2000};
constexpr milliseconds kAfterProduct{200};
constexpr milliseconds kProbeWindow{300};
constexpr int kBlockTries = 3;
constexpr std::size_t kReadChunk = 200;
constexpr std::size_t kProbeCapacity = 200;

constexpr std::string_view kProductCaption = "Get GPS product data";
constexpr std::string_view kTrackCaption = "Read Ascent";
constexpr std::string_view kListCaption = "Read flight list";
constexpr std::string_view kEraseCaption = "Erase data";

enum class Wait { Answered, Silent, Failed };

// Reads the answer to `request`: its ID must be the request's with the answer bit and its block
// number the request's. Faults of the answer are shown under `caption`. Bytes that follow the
// answer stay in `reader` for the next call.
Wait Receive(AccessBlock& block, ChunkReader& reader, const Message& request, milliseconds wait,
             std::string_view caption, Message& answer) {
  MessageAssembler assembler;
  MessageAssembler::Status status = MessageAssembler::Status::Pending;
  const ReadResult end = reader.ReadUntil(block, wait, [&](std::uint8_t byte) {
    status = assembler.Feed(byte);
    return status != MessageAssembler::Status::Pending;
  });
  if (end == ReadResult::Aborted) return Wait::Failed;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", caption);
    return Wait::Failed;
  }
  switch (status) {
    case MessageAssembler::Status::Pending: return Wait::Silent;
    case MessageAssembler::Status::BadChecksum:
      ShowAccessError(block, "Data error (bad checksum)", caption);
      return Wait::Failed;
    case MessageAssembler::Status::BadLength:
      ShowAccessError(block, "Data error (bad length)", caption);
      return Wait::Failed;
    case MessageAssembler::Status::Complete: break;
  }
  answer = assembler.Current();
  if (answer.id != (request.id | kAnswerBit)) {
    ShowAccessError(block, "Data error (bad message ID)", caption);
    return Wait::Failed;
  }
  if (answer.block != request.block) {
    ShowAccessError(block, "Data error (bad block number)", caption);
    return Wait::Failed;
  }
  return Wait::Answered;
}

bool Send(AccessBlock& block, const Message& request, std::string_view caption) {
  if (WritePortBytes(block, EncodeMessage(request)) == 0) return true;
  ShowAccessError(block, "COM port write error", caption);
  return false;
}

// A request and its one answer.
Wait Exchange(AccessBlock& block, const Message& request, milliseconds wait, std::string_view caption,
              Message& answer) {
  if (!Send(block, request, caption)) return Wait::Failed;
  ChunkReader reader(kReadChunk, TraceForm::HexDump);
  return Receive(block, reader, request, wait, caption, answer);
}

// An answer whose payload does not have the layout of its message.
int BadPayload(AccessBlock& block, std::string_view caption) {
  ShowAccessError(block, "Data error (bad length)", caption);
  return -1;
}

int RequestProduct(AccessBlock& block) {
  return RequestWithProductBudget(block, [](AccessBlock& b) {
    Message answer;
    const Wait wait = Exchange(b, Message{kProductRequest, 0, {}}, kAnswerWait, kProductCaption, answer);
    if (wait == Wait::Failed) return -1;
    if (wait == Wait::Silent) return 0;
    const auto product = ReadProduct(answer.payload);
    if (!product) return BadPayload(b, kProductCaption);
    const std::string text = ProductText(*product);
    ShowAccessStatus(b, "Product data read");
    ShowAccessProduct(b, text);
    b.source.SetInstrumentName("Ascent");
    b.source.SetInstrumentText(text);
    b.source.SetInstrumentId(InstrumentId(*product));
    return b.Pause(kAfterProduct) ? 1 : -1;
  });
}

// The one-answer steps after the product data: silence is a failure.
int Ask(AccessBlock& block, const Message& request, std::string_view caption, Message& answer) {
  for (int attempt = 0; attempt < kBlockTries; ++attempt) {
    const Wait wait = Exchange(block, request, kAnswerWait, caption, answer);
    if (wait == Wait::Failed) return -1;
    if (wait == Wait::Answered) return 0;
  }
  ShowAccessError(block, "No valid response from GPS", caption);
  return -1;
}

int ReadMemoryInfo(AccessBlock& block, std::string_view caption, MemoryInfo& info) {
  Message answer;
  if (Ask(block, Message{kMemoryRequest, 0, {}}, caption, answer) < 0) return -1;
  const auto read = ascent::ReadMemoryInfo(answer.payload);
  if (!read) return BadPayload(block, caption);
  info = *read;
  return 0;
}

int ReadMemory(AccessBlock& block, const FamilyEnvironment& environment, std::uint16_t blocks,
               std::vector<std::uint8_t>& memory) {
  memory.clear();
  memory.reserve(static_cast<std::size_t>(blocks) * kBlockSize);
  for (std::uint16_t number = 0; number < blocks; ++number) {
    const std::string text = FormatText("Block %d", number + 1);
    ShowAccessStatus(block, text);
    if (environment.notify) environment.notify(text);
    Message answer;
    if (Ask(block, Message{kBlockRequest, number, {}}, kTrackCaption, answer) < 0) return -1;
    if (answer.payload.size() != kBlockSize) return BadPayload(block, kTrackCaption);
    memory.insert(memory.end(), answer.payload.begin(), answer.payload.end());
  }
  return 0;
}

AccessWorker Worker(const FamilyEnvironment& environment, int (*run)(AccessBlock&, const FamilyEnvironment&)) {
  WorkerSteps steps;
  steps.clearTrace = true;
  // 128000 has no B-constant: the serial code sets it through termios2 and reads it back.
  steps.openPort = [](AccessBlock& block) { return ConnectComPort(block, kBaudRate, false) == 0; };
  steps.run = [environment, run](AccessBlock& block) { return run(block, environment); };
  return FrameWorker(std::move(steps));
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  block.source.kind = TrackSourceKind::Digifly;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::NotSignable;
  // The memory holds a pressure altitude beside the GPS one (unverified, see the wire codec).
  block.source.altitudeFlag = 1;
  if (RequestProduct(block) < 0) return -1;
  MemoryInfo info;
  if (ReadMemoryInfo(block, kTrackCaption, info) < 0) return -1;
  if (info.usedBlocks == 0) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  if (info.usedBlocks > kMaxBlocks) {
    ShowAccessError(block, FormatText("Unsupported memory size (%u blocks)", info.usedBlocks), kTrackCaption);
    return -1;
  }
  std::vector<std::uint8_t> memory;
  if (ReadMemory(block, environment, info.usedBlocks, memory) < 0) return -1;
  MemoryDecode decoded = DecodeMemory(memory);
  return DeliverDecodedPoints(block, environment, std::move(decoded.points), decoded.error, kTrackCaption);
}

int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& /*environment*/) {
  if (RequestProduct(block) < 0) return -1;
  const Message request{kEraseRequest, 0, {}};
  if (!Send(block, request, kEraseCaption)) return -1;
  // One answer a sector; each must come within the step's wait and count down.
  ChunkReader reader(kReadChunk, TraceForm::HexDump);
  std::optional<std::uint16_t> last;
  for (;;) {
    Message answer;
    const Wait wait = Receive(block, reader, request, kEraseStepWait, kEraseCaption, answer);
    if (wait == Wait::Failed) return -1;
    if (wait == Wait::Silent) {
      ShowAccessError(block, "No valid response from GPS", kEraseCaption);
      return -1;
    }
    const auto left = ReadSectorsLeft(answer.payload);
    if (!left) return BadPayload(block, kEraseCaption);
    if (last && *left >= *last) {
      ShowAccessError(block, "Data error (sector count)", kEraseCaption);
      return -1;
    }
    last = left;
    if (*left == 0) break;
    ShowAccessStatus(block, FormatText("%u non-empty sectors left", *left));
  }
  ShowAccessStatus(block, "Tracklog data erased");
  return 0;
}

int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& environment) {
  block.source.kind = TrackSourceKind::Digifly;
  block.trackList.fill(TrackListEntry{});
  if (RequestProduct(block) < 0) return -1;
  MemoryInfo info;
  if (ReadMemoryInfo(block, kListCaption, info) < 0) return -1;
  const std::size_t count = std::min<std::size_t>(info.flights, kMaxTrackListEntries);
  for (std::size_t index = 0; index < count; ++index) {
    Message answer;
    if (Ask(block, Message{kFlightRequest, static_cast<std::uint16_t>(index), {}}, kListCaption, answer) < 0) {
      return -1;
    }
    const auto flight = ReadFlight(answer.payload);
    if (!flight) return BadPayload(block, kListCaption);
    block.trackList[index] = *flight;
  }
  ShowAccessStatus(block, FormatText("%zu tracks in track list found", count));
  return flytec::PresentFlightList(block, environment);
}

bool RegisterAscentWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  bool ok = table.Register(AccessType::ReadTrackLog, ProtocolType::Ascent, Worker(environment, RunReadTrackLog));
  ok &= table.Register(AccessType::EraseTrackLog, ProtocolType::Ascent, Worker(environment, RunEraseTrackLog));
  ok &= table.Register(AccessType::ReadFlightList, ProtocolType::Ascent, Worker(environment, RunReadFlightList));
  return ok;
}

ProbeResult ProbeAscent(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for Ascent");
  report.Status("");
  const std::vector<std::uint8_t> request = EncodeMessage(Message{kProductRequest, 0, {}});
  const auto answer = AskScanPort(devicePath, kBaudRate,
                                  std::string_view(reinterpret_cast<const char*>(request.data()), request.size()),
                                  kProbeWindow, kProbeCapacity, report.statusLine);
  if (!answer) return {};
  MessageAssembler assembler;
  for (const char c : *answer) {
    if (assembler.Feed(static_cast<std::uint8_t>(c)) != MessageAssembler::Status::Complete) continue;
    if (assembler.Current().id != (kProductRequest | kAnswerBit)) continue;
    const auto product = ReadProduct(assembler.Current().payload);
    if (!product) break;
    ProbeResult result;
    result.found = true;
    result.model = "Ascent";
    result.serial = FormatText("%02X%02X%02X%02X", product->serial[0], product->serial[1], product->serial[2],
                               product->serial[3]);
    result.software = FormatText("%d.%d", product->softwareMajor, product->softwareMinor);
    result.extra = FormatText("HW %d", product->hardware);
    report.Product(ProductText(*product));
    return result;
  }
  report.Status("Bad/missing response");
  return {};
}

}  // namespace logwell::ascent
