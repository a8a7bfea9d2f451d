#pragma once
// The Garmin workers of the serial protocol (protocol type 0): read waypoints, read the track
// log (with the competition identity scan first), write waypoints, send waypoints as a track
// log, and upload the selected CTRs each as a track log of its own.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"
#include "devices/garmin/garmin_usb_transfers.h"

namespace logwell::garmin {

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& environment);
int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& environment);
int RunWaypointsAsTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunUploadCtr(AccessBlock& block, const FamilyEnvironment& environment);

// The same accesses over USB (protocol type 8), with the device found by `opener`.
int RunUsbReadWaypoints(UsbSession& session, const FamilyEnvironment& environment);
int RunUsbReadTrackLog(UsbSession& session, const FamilyEnvironment& environment);
int RunUsbWriteWaypoints(UsbSession& session, const FamilyEnvironment& environment);
int RunUsbWaypointsAsTrackLog(UsbSession& session, const FamilyEnvironment& environment);
int RunUsbUploadCtr(UsbSession& session, const FamilyEnvironment& environment);
bool RegisterGarminUsbWorkers(AccessTable& table, const FamilyEnvironment& environment, UsbOpener opener);

// Both columns, USB through libusb.
bool RegisterGarminWorkers(AccessTable& table, const FamilyEnvironment& environment);

}  // namespace logwell::garmin
