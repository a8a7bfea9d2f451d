#pragma once
// A virtual HID instrument the kernel sees as a real USB device: /dev/uhid creates it with the
// given vendor and product and a vendor-defined 64-byte input and output report, hidraw makes it
// openable through hidapi, and a thread of its own passes the reports between the kernel and
// a device model (the virtual Syride, for instance).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "access/hid_port.h"

namespace logwell::sim {

class UhidBridge {
 public:
  // Creates the device; Ok() false (with Error() saying why) when /dev/uhid cannot be used.
  UhidBridge(HidDevice& model, std::uint16_t vendor, std::uint16_t product, const std::string& name);
  ~UhidBridge();
  UhidBridge(const UhidBridge&) = delete;
  UhidBridge& operator=(const UhidBridge&) = delete;

  bool Ok() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

 private:
  void Run(std::stop_token stop);

  HidDevice& model_;
  int fd_ = -1;
  std::string error_;
  std::jthread thread_;
};

}  // namespace logwell::sim
