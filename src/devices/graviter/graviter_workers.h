#pragma once
// The Graviter workers: the track log (all tracks, protocol type 5, access 1) and the owner
// name (access 5), and the product scan's question. The wire protocol is in
// wire/graviter/graviter_log.h.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"

namespace logwell::graviter {

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunWriteOwnerName(AccessBlock& block, const FamilyEnvironment& environment);

bool RegisterGraviterWorkers(AccessTable& table, const FamilyEnvironment& environment);

ProbeResult ProbeGraviter(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::graviter
