#pragma once
// Instruments on USB HID (no COM port): the device behind a small interface, so that a protocol
// runs unchanged against hidapi's hidraw back end or against a scripted device in tests, and the
// `Port` that carries one report per write and per read over it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "access/port.h"

namespace logwell {

class HidDevice {
 public:
  virtual ~HidDevice() = default;
  // Sends one report of data (without the report ID); false when the device failed.
  virtual bool WriteReport(std::span<const std::uint8_t> report) = 0;
  // Waits at most `wait` for one report: its length, 0 when none came, -1 when the device failed
  // (unplugged, for instance).
  virtual int ReadReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) = 0;
};

enum class HidOpenFailure { None, NotFound, NoPermission, Other };

struct HidOpenResult {
  std::unique_ptr<HidDevice> device;
  HidOpenFailure failure = HidOpenFailure::None;
  std::string message;  // for NoPermission and Other: what to tell the user
};

using HidOpener = std::function<HidOpenResult()>;

// The device path (/dev/hidrawN) of the first HID device with this vendor and product, empty
// when there is none.
std::string FindHidDevice(std::uint16_t vendor, std::uint16_t product);

// The first HID device with this vendor and product, through hidapi (hidraw). `udevRule` names
// the rule file the permission message points to.
HidOpenResult OpenHidDevice(std::uint16_t vendor, std::uint16_t product, const std::string& udevRule);

// A Port over a HID device with reports of `reportSize` bytes: Write sends the bytes as one
// report (zero-filled to the size, at most one report's worth), Read returns one report.
class HidPort : public Port {
 public:
  HidPort(std::unique_ptr<HidDevice> device, std::size_t reportSize);
  bool Write(std::span<const std::uint8_t> bytes) override;
  int Read(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait = kMaxReadWait) override;
  bool Purge() override;
  bool Configure(int /*baudRate*/, bool /*xonXoff*/) override { return true; }

 private:
  std::unique_ptr<HidDevice> device_;
  std::size_t reportSize_;
};

}  // namespace logwell
