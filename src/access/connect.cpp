#include "access/connect.h"

#include <algorithm>
#include <string>

#include "access/debug_buffer.h"
#include "access/port_list.h"
#include "access/serial_port.h"
#include "base/ui.h"

namespace logwell {
namespace {

using Clock = std::chrono::steady_clock;

void Status(AccessBlock& block, std::string_view text) {
  if (block.owner != nullptr) block.owner->ShowStatus(text);
}

void ErrorBox(AccessBlock& block, std::string_view text, std::string_view caption) {
  if (block.owner != nullptr) block.owner->ShowErrorBox(text, caption);
}

std::string ConnectCaption(const AccessBlock& block) {
  return "Connecting to GPS on " + block.portName;
}

void Trace(std::span<const std::uint8_t> bytes, TraceForm form) {
  if (form == TraceForm::Raw) DebugBuffer::Global().AppendBytes(bytes);
  if (form == TraceForm::HexDump) DebugBuffer::Global().AppendHexDump(bytes);
}

const char* ReconfigureFailureText(ConfigureStep step) {
  switch (step) {
    case ConfigureStep::GetState: return "Error getting COM port state";
    case ConfigureStep::SetTimeouts: return "Error setting COM port timeouts";
    case ConfigureStep::Purge: return "Error purging COM port buffers";
    case ConfigureStep::SetState:
    case ConfigureStep::None: break;
  }
  return "Error setting COM port state";
}

}  // namespace

int ConnectAttempts(int timeoutSeconds) {
  if (timeoutSeconds < 1) return kDefaultConnectAttempts;
  return std::min(timeoutSeconds, kMaxConnectAttempts);
}

int ConnectComPort(AccessBlock& block, int baudRate, bool xonXoff, const ConnectTiming& timing) {
  block.port.reset();
  if (block.Aborted()) {
    Status(block, "Transfer aborted");
    return -1;
  }
  const std::string devicePath = ResolvePortPath(block.portName);
  int error = 0;
  std::unique_ptr<SerialPort> port = SerialPort::Open(devicePath, error);
  if (!port) {
    ErrorBox(block,
             "Could not open serial port (sure it's the right one ?)\r\n" +
                 PortOpenFailureDetail(devicePath, error, EnumerateSerialPortPaths()),
             ConnectCaption(block));
    return -1;
  }
  block.Pause(timing.settle);
  if (!port->Configure(baudRate, xonXoff)) {
    port.reset();
    ErrorBox(block, "Error while initialising port", ConnectCaption(block));
    return -1;
  }
  block.port = std::move(port);
  block.Pause(timing.settle);
  return 0;
}

int ReconfigureComPort(AccessBlock& block, int baudRate, std::chrono::milliseconds settle) {
  if (!block.port) {
    ErrorBox(block, "Error getting COM port state", "Initialising COM port");
    return -1;
  }
  if (!block.port->Configure(baudRate, false)) {
    ErrorBox(block, ReconfigureFailureText(block.port->FailedConfigureStep()), "Initialising COM port");
    return -1;
  }
  block.Pause(settle);
  return 0;
}

int WritePortBytes(AccessBlock& block, std::span<const std::uint8_t> bytes) {
  DebugBuffer::Global().AppendHexDump(bytes);
  if (!block.port) return -1;
  return block.port->Write(bytes) ? 0 : -1;
}

int WritePortText(AccessBlock& block, std::string_view text) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  DebugBuffer::Global().AppendBytes(bytes);
  if (!block.port) return -1;
  return block.port->Write(bytes) ? 0 : -1;
}

int ReadPortChunk(AccessBlock& block, std::span<std::uint8_t> buffer, TraceForm form) {
  if (!block.port) return -1;
  const int n = block.port->Read(buffer, kMaxReadWait);
  if (n > 0) Trace(buffer.first(static_cast<std::size_t>(n)), form);
  return n;
}

void ClosePort(AccessBlock& block) { block.port.reset(); }

std::size_t DropFlowControlBytes(std::span<std::uint8_t> bytes) {
  const auto end = std::remove_if(bytes.begin(), bytes.end(),
                                  [](std::uint8_t b) { return b == 0x11 || b == 0x13; });
  return static_cast<std::size_t>(end - bytes.begin());
}

ChunkReader::ChunkReader(std::size_t chunkSize, TraceForm form, FlowControlBytes flowControl)
    : chunk_(std::max<std::size_t>(chunkSize, 1)), form_(form), flowControl_(flowControl) {}

ReadResult ChunkReader::ReadUntil(AccessBlock& block, std::chrono::milliseconds timeout,
                                  const std::function<bool(std::uint8_t)>& handler) {
  return Read(block, timeout, false, handler);
}

ReadResult ChunkReader::ReadUntilSilence(AccessBlock& block, std::chrono::milliseconds silence,
                                         const std::function<bool(std::uint8_t)>& handler) {
  return Read(block, silence, true, handler);
}

ReadResult ChunkReader::Read(AccessBlock& block, std::chrono::milliseconds timeout, bool fromLastChunk,
                             const std::function<bool(std::uint8_t)>& handler) {
  auto since = Clock::now();
  for (;;) {
    while (position_ < count_) {
      if (handler(chunk_[position_++])) return ReadResult::Complete;
    }
    // A chunk's bytes come first, then the time-out, then an abort.
    if (Clock::now() - since > timeout) return ReadResult::TimedOut;
    if (block.Aborted()) return ReadResult::Aborted;
    const int n = ReadPortChunk(block, chunk_, form_);
    if (n < 0) {
      Discard();
      return ReadResult::ReadError;
    }
    if (n > 0 && fromLastChunk) since = Clock::now();
    position_ = 0;
    count_ = static_cast<std::size_t>(n);
    if (flowControl_ == FlowControlBytes::Drop) {
      count_ = DropFlowControlBytes(std::span<std::uint8_t>(chunk_.data(), count_));
    }
  }
}

}  // namespace logwell
