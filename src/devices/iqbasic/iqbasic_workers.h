#pragma once
// The IQ Basic / Flytec 6015 workers of protocol type 16: product data, the flight list, the
// flights as IGC text, waypoints both ways.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"
#include "devices/iqbasic/iqbasic_protocol.h"

namespace logwell::iqbasic {

// Reads the three product parameters with the common retry budget (a round every 2 s). On
// success fills the instrument texts of the block. 0, or -1 after the failure was shown.
int RequestProductData(AccessBlock& block, ProductData& product);
// Reads the flight list into block.trackList; the product's software decides whether a header
// line comes first and whether " Done" closes it. 0, or -1 after the failure was shown.
int ReadFlightList(AccessBlock& block, const ProductData& product);
// Downloads and merges the selected flights into block.points and keeps the first one's IGC
// text. The number of points, or -1 after the failure was shown.
int DownloadFlights(AccessBlock& block, const FamilyEnvironment& context);
// Reads the stored waypoints into block.waypoints (with `scanOnly`, hands them to the
// pilot-ID scan instead). The count, or -1 after the failure was shown.
int DownloadWaypoints(AccessBlock& block, bool scanOnly);
// Sends block.waypoints, each with its own command and answer. 0 when every one was taken,
// else -1 after the result ("%d of %d waypoints ok...") or the failure was shown; an answer
// other than the four the instrument gives stops the upload.
int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& context);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterIqBasicWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::iqbasic
