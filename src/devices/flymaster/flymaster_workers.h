#pragma once
// The Flymaster workers of protocol type 12: the access parameter picks the generation (1 the
// current protocol, 0 the older one).
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"
#include "devices/flymaster/flymaster_protocol.h"

namespace logwell::flymaster {

// Requests product data with the retry budget of the family (a request every 2 s, the answer
// within 800 ms). 0, or -1 after the failure was shown.
int RequestProductData(AccessBlock& block, Generation generation, ProductData& product);
// Reads the flight list ($PFMLST) into block.trackList. 0 or -1 after the failure was shown.
int ReadFlightList(AccessBlock& block);
// Downloads and merges the selected tracks into block.points. The number of points, or -1.
int DownloadTracks(AccessBlock& block, const FamilyEnvironment& context, const ProductData& product);
// Reads the waypoints into block.waypoints (or, with `scanOnly`, hands them to the pilot-ID
// scan). The count, or -1.
int DownloadWaypoints(AccessBlock& block, bool scanOnly);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
// Sends block.waypoints one at a time, each answered by the instrument. 0, or -1 after the
// failure was shown.
int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context, const ProductData& product);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);
// Sends block.pilotData: the pilot and glider, the altitude alarm or (B1 NAV only) the
// competition identities. 0, or -1 after the failure was shown.
int RunWritePilotData(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterFlymasterWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::flymaster
