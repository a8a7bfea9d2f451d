#pragma once
// The device side of one instrument protocol. A virtual instrument runs its model on its own
// thread: every chunk the host sends arrives in OnReceived, and OnIdle is called about every
// 10 ms while nothing arrives (for instruments that talk unasked, such as NMEA streams).
#include <cstdint>
#include <span>
#include <string_view>

namespace logwell::sim {

// What a model uses to answer; the virtual instrument applies the injected faults here.
class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  virtual void Send(std::span<const std::uint8_t> bytes) = 0;
  void SendText(std::string_view text) {
    Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
};

class InstrumentModel {
 public:
  virtual ~InstrumentModel() = default;
  virtual void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) = 0;
  virtual void OnIdle(DeviceLink& /*link*/) {}
};

}  // namespace logwell::sim
