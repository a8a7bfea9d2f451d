#pragma once
// The device side of one instrument protocol. A virtual instrument runs its model on its own
// thread: every chunk the host sends arrives in OnReceived, and OnIdle is called about every
// 10 ms while nothing arrives (for instruments that talk unasked, such as NMEA streams).
#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>

namespace logwell::sim {

class VirtualInstrument;

// What a model uses to answer; the virtual instrument applies the injected faults here.
class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  virtual void Send(std::span<const std::uint8_t> bytes) = 0;
  void SendText(std::string_view text) {
    Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
  // Waits until `deadline` unless the instrument is being stopped; false when it is. A model
  // that paces its answers waits here, so that a stop never waits for a long answer.
  virtual bool WaitUntil(std::chrono::steady_clock::time_point deadline) = 0;
  // The line rate the host set on its end, as the pseudo-terminal reports it (Linux keeps the
  // rate of a termios2 call on a pseudo-terminal), or -1 when it cannot be read.
  virtual int LineRate() const { return -1; }

  // Sends at a serial line's real rate when `baudRate` is above 0 (ten bits a byte: start, eight
  // data bits, stop), else at once. The pace is kept to one deadline from the first byte, so the
  // small waits do not add up to drift. False when the instrument was stopped meanwhile.
  bool SendPaced(std::span<const std::uint8_t> bytes, int baudRate);
  bool SendTextPaced(std::string_view text, int baudRate) {
    return SendPaced({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, baudRate);
  }
};

class InstrumentModel {
 public:
  virtual ~InstrumentModel() = default;
  // The instrument that runs the model, before its thread starts (for models that inject
  // faults into their own answers).
  virtual void Attach(VirtualInstrument* /*instrument*/) {}
  virtual void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) = 0;
  virtual void OnIdle(DeviceLink& /*link*/) {}
};

}  // namespace logwell::sim
