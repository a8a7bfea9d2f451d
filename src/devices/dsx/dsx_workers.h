#pragma once
// The DSX workers of protocol type 13: the connection (which identifies the recorder), the
// stored flight as the recorder's own IGC text, and the pilot data.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/dsx/dsx_protocol.h"
#include "devices/family.h"

namespace logwell::dsx {

// Sends the connection request once a second until the recorder identifies itself, within the
// common budget (block.connectSeconds, else 30 s); fills the instrument texts of the block.
// 0, or -1 after the failure was shown.
int OpenConnection(AccessBlock& block, ProductData& product);
// Requests the flight and reads its IGC text up to its G record into block.points and
// block.rawIgc. The number of points, or -1 after the failure was shown.
int DownloadFlight(AccessBlock& block, const FamilyEnvironment& context);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunWritePilotData(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterDsxWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::dsx
