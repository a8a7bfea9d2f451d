#pragma once
// The Syride SYS-Nav workers of protocol type 20, over USB HID: read the track log (flights
// chosen from the flight list, then the task as a competition route), read the flight list,
// read, write and erase the waypoints.
#include <chrono>

#include "access/access_block.h"
#include "access/access_table.h"
#include "access/hid_port.h"
#include "devices/family.h"
#include "wire/syride/syride_reports.h"

namespace logwell::syride {

// The udev rule file that gives users access to the instrument; README tells how to install it.
inline constexpr const char* kUdevRuleFile = "packaging/udev/51-logwell-syride.rules";

// How long the instrument may stay silent: for the product answer (tried twice), and between
// two reports of any other answer.
inline constexpr std::chrono::milliseconds kProductWait{1000};
inline constexpr std::chrono::milliseconds kAnswerSilence{2000};

// The instrument through hidapi, by the vendor and product of LOGWELL_SYRIDE_USB_ID when set
// ("vvvv:pppp"), else by kUsbVendor and kUsbProduct.
HidOpenResult OpenSyrideDevice();

// The opener the registered workers use: OpenSyrideDevice unless replaced (by the tests, which
// put a scripted instrument behind the same interface).
HidOpener& SyrideOpener();

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunEraseWaypoints(AccessBlock& block, const FamilyEnvironment& context);

// Fills the family's cells; every worker opens its device with `opener`.
bool RegisterSyrideWorkersWith(AccessTable& table, const FamilyEnvironment& context, HidOpener opener);
bool RegisterSyrideWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::syride
