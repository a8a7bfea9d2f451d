#pragma once
// The MLR workers: protocol type 1 (track log at 19200 baud, waypoints both ways), 14 (the fast
// waypoint read) and 18 (the track log at 38400 baud). The three types share these workers; every
// command goes at 4800 baud.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"
#include "devices/mlr/mlr_protocol.h"

namespace logwell::mlr {

// Asks for the identification with the common retry budget (a request every 2 s) and stops its
// repetition after each request. 0, or -1 after the failure was shown.
int RequestProductData(AccessBlock& block, ProductData& product);
// Reads the tracklog into block.points at the rate of the block's protocol type and stops the
// unit's sending whatever came of it: the number of points, or -1 after the failure was shown.
int DownloadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
// Reads the waypoints into block.waypoints (with `scanOnly`, hands them to the pilot-ID scan).
// The count, or -1 after the failure was shown.
int DownloadWaypoints(AccessBlock& block, bool scanOnly);
// Sends block.waypoints as $GPWPL sentences after checking every identifier. 0, or -1.
int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterMlrWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::mlr
