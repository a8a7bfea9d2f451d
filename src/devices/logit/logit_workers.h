#pragma once
// The LogIt / Tracklogger workers of protocol type 3: the track log at the access parameter's
// rate, the LogIt data, the erase and the owner name at 4800 baud.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"
#include "devices/logit/logit_protocol.h"

namespace logwell::logit {

// Asks for the identity with the common retry budget; fills the instrument texts of the block
// and keeps the answer as its LogIt data. 0, or -1 after the failure was shown.
int RequestIdentity(AccessBlock& block, Identity& identity);
// Downloads every point, asking again from the first damaged or missing point ("RESTART at
// point %d") a few times. The number of points, or -1 after the failure was shown.
int DownloadTrack(AccessBlock& block, const FamilyEnvironment& context);

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunReadLogItData(AccessBlock& block, const FamilyEnvironment& context);
int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteOwnerName(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterLogItWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::logit
