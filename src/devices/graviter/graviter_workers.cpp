#include "devices/graviter/graviter_workers.h"

#include <chrono>

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/scan_port.h"
#include "access/worker_frame.h"
#include "base/text.h"
#include "devices/decoded_points.h"
#include "wire/garmin/garmin_protocol.h"
#include "wire/graviter/graviter_log.h"

namespace logwell::graviter {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kIdentifyWindow{1000};
constexpr milliseconds kAcknowledgeWait{1000};
constexpr milliseconds kLengthWait{2000};
constexpr milliseconds kTransferSilence{2000};
constexpr milliseconds kNameStoredWait{2000};
constexpr milliseconds kAfterIdentify{200};
constexpr milliseconds kProbeWindow{300};
constexpr std::size_t kReadChunk = 256;
constexpr std::size_t kProgressStep = 4096;

constexpr std::string_view kProductCaption = "Get GPS product data";
constexpr std::string_view kTrackCaption = "Read Graviter (all tracks)";
constexpr std::string_view kNameCaption = "Write owner name";

bool SendBytes(AccessBlock& block, std::span<const std::uint8_t> bytes) {
  return WritePortBytes(block, bytes) == 0;
}
bool SendByte(AccessBlock& block, std::uint8_t byte) { return SendBytes(block, std::span(&byte, 1)); }

// The identity line; 1 when it came (and was shown), 0 to ask again, -1 after a failure.
int Identify(AccessBlock& block) {
  if (!SendByte(block, kIdentifyCommand)) {
    ShowAccessError(block, "COM port write error", kProductCaption);
    return -1;
  }
  std::string line;
  std::optional<Identity> identity;
  ChunkReader reader(kReadChunk);
  const ReadResult end = reader.ReadUntil(block, kIdentifyWindow, [&](std::uint8_t byte) {
    if (byte == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      identity = ParseIdentity(line);
      line.clear();
      return identity.has_value();
    }
    if (line.size() < kMaxIdentityLine) line.push_back(static_cast<char>(byte));
    return false;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kProductCaption);
    return -1;
  }
  if (!identity) return 0;
  const std::string text = ProductText(*identity);
  ShowAccessStatus(block, "Product data read");
  ShowAccessProduct(block, text);
  block.source.SetInstrumentName("Graviter");
  block.source.SetInstrumentText(text);
  block.source.SetInstrumentId(CutText("Graviter: " + identity->serial, 50));
  return block.Pause(kAfterIdentify) ? 1 : -1;
}

// Waits for the one byte that answers a command: 0 when it is `expected`, else -1 after
// "E302 Missing command acknowledge" (nothing came) or "E303 Bad command acknowledge".
int AwaitAcknowledge(AccessBlock& block, std::uint8_t expected, milliseconds wait, std::string_view caption) {
  std::optional<std::uint8_t> answer;
  ChunkReader reader(1, TraceForm::HexDump);
  const ReadResult end = reader.ReadUntil(block, wait, [&](std::uint8_t byte) {
    answer = byte;
    return true;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", caption);
    return -1;
  }
  if (!answer) {
    ShowAccessError(block, "E302 Missing command acknowledge", caption);
    return -1;
  }
  if (*answer != expected) {
    ShowAccessError(block, "E303 Bad command acknowledge", caption);
    return -1;
  }
  return 0;
}

int Command(AccessBlock& block, std::uint8_t command, std::string_view caption) {
  if (!SendByte(block, command)) {
    ShowAccessError(block, "COM port write error", caption);
    return -1;
  }
  return AwaitAcknowledge(block, command, kAcknowledgeWait, caption);
}

// The log bytes after the read command: its length, the bytes, their checksum. 0 or -1.
int ReceiveLog(AccessBlock& block, const FamilyEnvironment& environment, std::vector<std::uint8_t>& log) {
  std::vector<std::uint8_t> head;
  ChunkReader reader(kReadChunk, TraceForm::HexDump);
  ReadResult end = reader.ReadUntil(block, kLengthWait, [&](std::uint8_t byte) {
    head.push_back(byte);
    return head.size() == 4;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kTrackCaption);
    return -1;
  }
  if (head.size() < 4) {
    ShowAccessError(block, "No valid response from GPS", kTrackCaption);
    return -1;
  }
  const std::uint32_t length = garmin::ReadU32(head, 0);
  if (length == 0) {
    ShowAccessError(block, "No points detected", kTrackCaption);
    return -1;
  }
  if (length > kMaxLogBytes) {
    ShowAccessError(block, FormatText("Unsupported log length %u", length), kTrackCaption);
    return -1;
  }
  std::vector<std::uint8_t> received;
  received.reserve(length + 2);
  std::size_t nextReport = kProgressStep;
  end = reader.ReadUntilSilence(block, kTransferSilence, [&](std::uint8_t byte) {
    received.push_back(byte);
    if (received.size() >= nextReport) {
      nextReport += kProgressStep;
      const std::string text = FormatText("%zu bytes received", received.size());
      ShowAccessStatus(block, text);
      if (environment.notify) environment.notify(text);
    }
    return received.size() == length + 2;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", kTrackCaption);
    return -1;
  }
  if (received.size() < length + 2) {
    ShowAccessError(block, FormatText("Transfer incomplete (%zu of %u bytes)", received.size(), length + 2),
                    kTrackCaption);
    return -1;
  }
  const std::span<const std::uint8_t> bytes(received.data(), length);
  if (LogChecksum(bytes) != garmin::ReadU16(received, length)) {
    ShowAccessError(block, "Bad log checksum", kTrackCaption);
    return -1;
  }
  ShowAccessStatus(block, FormatText("%u bytes received", length));
  received.resize(length);
  log = std::move(received);
  return 0;
}

AccessWorker Worker(const FamilyEnvironment& environment, int (*run)(AccessBlock&, const FamilyEnvironment&),
                    bool clearTrace) {
  WorkerSteps steps;
  steps.clearTrace = clearTrace;
  steps.openPort = [](AccessBlock& block) { return ConnectComPort(block, kBaudRate, false) == 0; };
  steps.run = [environment, run](AccessBlock& block) { return run(block, environment); };
  return FrameWorker(std::move(steps));
}

}  // namespace

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment) {
  block.source.kind = TrackSourceKind::Graviter;
  block.source.timeIsUtc = 1;
  block.source.signState = SignState::NotSignable;
  block.source.altitudeFlag = 0;
  if (RequestWithProductBudget(block, Identify) < 0) return -1;
  ShowAccessStatus(block, "Requesting track log");
  if (Command(block, kReadLogCommand, kTrackCaption) < 0) return -1;
  std::vector<std::uint8_t> log;
  if (ReceiveLog(block, environment, log) < 0) return -1;
  LogDecode decoded = DecodeLog(log);
  return DeliverDecodedPoints(block, environment, std::move(decoded.points), decoded.error, kTrackCaption);
}

int RunWriteOwnerName(AccessBlock& block, const FamilyEnvironment& /*environment*/) {
  const std::string name = block.pilotData ? block.pilotData->pilotName : std::string();
  const std::optional<std::string> bytes = OwnerNameBytes(name);
  if (!bytes) {
    ShowAccessError(block, name.empty() ? "Missing owner name" : "Bad character in owner name", kNameCaption);
    return -1;
  }
  if (RequestWithProductBudget(block, Identify) < 0) return -1;
  if (Command(block, kOwnerNameCommand, kNameCaption) < 0) return -1;
  if (!SendBytes(block, std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()))) {
    ShowAccessError(block, "COM port write error", kNameCaption);
    return -1;
  }
  if (AwaitAcknowledge(block, kOwnerNameStored, kNameStoredWait, kNameCaption) < 0) return -1;
  ShowAccessStatus(block, "Owner name written");
  return 0;
}

bool RegisterGraviterWorkers(AccessTable& table, const FamilyEnvironment& environment) {
  bool ok = table.Register(AccessType::ReadTrackLog, ProtocolType::Graviter, Worker(environment, RunReadTrackLog, true));
  ok &= table.Register(AccessType::WritePilotData, ProtocolType::Graviter, Worker(environment, RunWriteOwnerName, false));
  return ok;
}

ProbeResult ProbeGraviter(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for Graviter");
  report.Status("");
  const char request = static_cast<char>(kIdentifyCommand);
  const auto answer = AskScanPort(devicePath, kBaudRate, std::string_view(&request, 1), kProbeWindow,
                                  kMaxIdentityLine * 2, report.statusLine);
  if (!answer) return {};
  std::string_view rest = *answer;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (const auto identity = ParseIdentity(line)) {
      ProbeResult result;
      result.found = true;
      result.model = "GRAVITER";
      result.serial = identity->serial;
      result.software = identity->software;
      report.Product(ProductText(*identity));
      return result;
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  report.Status("Bad/missing response");
  return {};
}

}  // namespace logwell::graviter
