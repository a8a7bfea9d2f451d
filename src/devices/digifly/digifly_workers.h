#pragma once
// The Digifly workers of protocol type 17 (Leonardo Pro and Digifly Air): product data, the
// flight list, the flights, waypoints of one set both ways. The access parameter selects the
// model (bit 0: the Air and 115200 baud) and the waypoint set (0 to 3).
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/digifly/digifly_protocol.h"
#include "devices/family.h"

namespace logwell::digifly {

// "$PDGFVID" with the common retry budget. On success fills the instrument texts of the block.
// 0, or -1 after the failure was shown.
int RequestProductData(AccessBlock& block, ProductData& product);
// Reads the flight list into block.trackList. 0, or -1 after the failure was shown.
int ReadFlightList(AccessBlock& block);
// Downloads and merges the selected flights into block.points. The number of points, or -1
// after the failure was shown.
int DownloadFlights(AccessBlock& block, const FamilyEnvironment& context);
// Reads the waypoints of set `set` into block.waypoints; with `scanOnly` every set's waypoints
// go to the pilot-ID scan instead. The count, or -1 after the failure was shown.
int DownloadWaypoints(AccessBlock& block, int set, bool scanOnly);
// Writes block.waypoints into set `set`. 0, or -1 after the failure was shown; nothing is sent
// when one waypoint has no name.
int UploadWaypoints(AccessBlock& block, int set, const FamilyEnvironment& context);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterDigiflyWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::digifly
