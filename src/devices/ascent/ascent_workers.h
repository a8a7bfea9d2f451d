#pragma once
// The Ascent workers (protocol type 19): the track log (access 1), the erase (access 4) and the
// flight list (access 9), and the product scan's question. The wire protocol is in
// wire/ascent/ascent_protocol.h.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"

namespace logwell::ascent {

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunReadFlightList(AccessBlock& block, const FamilyEnvironment& environment);

bool RegisterAscentWorkers(AccessTable& table, const FamilyEnvironment& environment);

ProbeResult ProbeAscent(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::ascent
