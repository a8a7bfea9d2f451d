#pragma once
// The Garmin USB receiver through libusb: the first device with vendor 0x091E and product
// 0x0003, its interface claimed (a kernel driver bound to it, the garmin_gps serial module, is
// detached first and given back when the device is closed).
#include <memory>
#include <string>

#include "devices/garmin/garmin_usb.h"

namespace logwell::garmin {

// The udev rule file that gives users access to the receiver; README tells how to install it.
inline constexpr const char* kUdevRuleFile = "packaging/udev/51-logwell-garmin.rules";

enum class UsbOpenFailure { None, NotFound, NoPermission, Other };

struct UsbOpenResult {
  std::unique_ptr<UsbPipes> pipes;
  UsbOpenFailure failure = UsbOpenFailure::None;
  std::string message;  // for NoPermission and Other: what to tell the user
};

UsbOpenResult OpenGarminUsbDevice();

}  // namespace logwell::garmin
