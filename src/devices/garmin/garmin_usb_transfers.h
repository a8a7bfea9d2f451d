#pragma once
// The Garmin transfers over USB (protocol type 8): the steps and their order are those of the
// serial line, without acknowledges, with the USB packet read and the USB messages.
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "access/access_block.h"
#include "devices/family.h"
#include "devices/garmin/garmin_usb.h"
#include "devices/garmin/garmin_usb_device.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::garmin {

// How a USB access finds its device (the libusb device, or a scripted one in tests).
using UsbOpener = std::function<UsbOpenResult()>;

struct UsbSession {
  UsbSession(AccessBlock& block, UsbPipes& pipes);
  AccessBlock& block;
  UsbLink link;
  Capabilities caps;
};

// Opens the device with the connect budget ("Connecting to GPS (%)"): the pipes, or nothing
// after the failure was shown.
std::unique_ptr<UsbPipes> OpenUsbDevice(AccessBlock& block, const UsbOpener& opener);

int UsbRequestProductData(UsbSession& session);
int UsbDownloadTrackLog(UsbSession& session, const FamilyEnvironment& environment);
int UsbDownloadWaypoints(UsbSession& session, const FamilyEnvironment& environment, bool scanOnly);
int UsbUploadWaypoints(UsbSession& session, const FamilyEnvironment& environment);
int UsbUploadTrackLog(UsbSession& session, const FamilyEnvironment& environment, const std::vector<Waypoint>& points,
                      int ctrNumber, std::string_view name);

}  // namespace logwell::garmin
