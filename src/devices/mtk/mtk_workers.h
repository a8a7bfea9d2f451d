#pragma once
// The MTK logger's cells of the access table: the track log download and the erase, at the baud
// rate of the access parameter (38400 or 115200), no flow control.
#include "access/access_block.h"
#include "devices/family.h"

namespace logwell::mtk {

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunEraseTrackLog(AccessBlock& block, const FamilyEnvironment& environment);

bool RegisterMtkWorkers(AccessTable& table, const FamilyEnvironment& environment);

}  // namespace logwell::mtk
