#pragma once
// Opening, configuring, writing, reading and closing the serial port of an access. Every
// failure of the open routines is reported once through the block's Ui and leaves `port`
// empty; read and write failures are returned to the protocol module, which names them.
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "access/access_block.h"

namespace logwell {

// Attempts of the accesses that wait for a device to appear (Garmin USB, HID) when no TIMEOUT
// option is given: one a second for half a minute.
inline constexpr int kDefaultConnectAttempts = 30;
inline constexpr int kMaxConnectAttempts = 86400;

struct ConnectTiming {
  std::chrono::milliseconds settle{100};  // after opening and after configuring
};

// The number of attempts for a TIMEOUT value (seconds): the value when it is 1 or more (at
// most 86400), else 30.
int ConnectAttempts(int timeoutSeconds);

// Opens block.portName (a device path, or "COMn") and configures it: 0, or -1 after the
// failure was shown. A port that is missing, busy or not permitted fails at once: the box says
// why and lists the serial ports that do exist. (Waiting is for an instrument that does not
// answer yet; the product requests do that, with the TIMEOUT option as their budget.)
int ConnectComPort(AccessBlock& block, int baudRate, bool xonXoff, const ConnectTiming& timing = {});

// Applies the line settings again at a new rate (XON/XOFF off) in the middle of a protocol;
// the port stays open either way. 0 or -1 after an error box.
int ReconfigureComPort(AccessBlock& block, int baudRate,
                       std::chrono::milliseconds settle = std::chrono::milliseconds{200});

// Trace the data into the DebugBuffer, then write it all: 0 or -1 (the caller reports).
int WritePortBytes(AccessBlock& block, std::span<const std::uint8_t> bytes);
int WritePortText(AccessBlock& block, std::string_view text);

// How received bytes go into the trace: text protocols raw, binary ones as a hex dump.
enum class TraceForm { Raw, HexDump, None };

// One read of at most 50 ms: the number of bytes (0 when nothing came), or -1 on a read error
// (including a port that is not open). The bytes are traced in `form`.
int ReadPortChunk(AccessBlock& block, std::span<std::uint8_t> buffer, TraceForm form = TraceForm::Raw);

// Closes the port, if one is open.
void ClosePort(AccessBlock& block);

// Removes the XON (0x11) and XOFF (0x13) bytes from received data in place and returns the
// new length; for links where the instrument sends them as flow control inside the data.
std::size_t DropFlowControlBytes(std::span<std::uint8_t> bytes);

// How a read in the reading discipline ended.
enum class ReadResult { Complete, TimedOut, ReadError, Aborted };

// Whether a reader passes the XON/XOFF bytes of received data on, or drops them (for links
// where the instrument sends its flow control inside the data).
enum class FlowControlBytes { Keep, Drop };

// The reading discipline: reads chunks of up to `chunkSize` bytes and gives each byte to the
// module's handler until it reports a complete packet or line (returns true), the time-out
// runs out, a read fails or an abort is requested. Bytes of a chunk left after a completion
// are kept and handed over first on the next call.
class ChunkReader {
 public:
  explicit ChunkReader(std::size_t chunkSize, TraceForm form = TraceForm::Raw,
                       FlowControlBytes flowControl = FlowControlBytes::Keep);

  // The time-out counts from the call.
  ReadResult ReadUntil(AccessBlock& block, std::chrono::milliseconds timeout,
                       const std::function<bool(std::uint8_t)>& handler);
  // The time-out counts from the last chunk received (from the call until the first): the read
  // ends once the line has been silent for `silence`.
  ReadResult ReadUntilSilence(AccessBlock& block, std::chrono::milliseconds silence,
                              const std::function<bool(std::uint8_t)>& handler);
  void Discard() { position_ = count_ = 0; }

 private:
  ReadResult Read(AccessBlock& block, std::chrono::milliseconds timeout, bool fromLastChunk,
                  const std::function<bool(std::uint8_t)>& handler);

  std::vector<std::uint8_t> chunk_;
  std::size_t count_ = 0;
  std::size_t position_ = 0;
  TraceForm form_;
  FlowControlBytes flowControl_;
};

}  // namespace logwell
