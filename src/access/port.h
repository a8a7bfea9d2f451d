#pragma once
// One byte channel to an instrument. Protocol modules see only this, so every protocol runs
// unchanged over a real serial port, a pseudo-terminal of a virtual instrument, Garmin USB or HID.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace logwell {

// The longest a single read waits; all longer waiting is done by the caller's own clock.
inline constexpr std::chrono::milliseconds kMaxReadWait{50};

// The steps of configuring a line; a failed Configure names the one that went wrong.
enum class ConfigureStep { None, GetState, SetTimeouts, SetState, Purge };

class Port {
 public:
  virtual ~Port() = default;

  // Writes every byte; false when the channel failed or the write time-out ran out.
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  // Waits at most `wait` (never more than kMaxReadWait) and returns the number of bytes
  // read, 0 when nothing arrived, or -1 when the channel failed.
  virtual int Read(std::span<std::uint8_t> buffer,
                   std::chrono::milliseconds wait = kMaxReadWait) = 0;
  // Drops everything waiting in both directions.
  virtual bool Purge() = 0;
  // Changes the line speed and XON/XOFF flow control (serial ports; others ignore it).
  virtual bool Configure(int baudRate, bool xonXoff) = 0;
  // Which step of the last failed Configure went wrong, for the caller's message.
  virtual ConfigureStep FailedConfigureStep() const { return ConfigureStep::SetState; }
};

}  // namespace logwell
