#pragma once
// The Top Navigator and XC Trainer workers. One track-log download serves all four protocol
// types: 2 (Top Navigator) and 7 (XC Trainer) at 9600 baud without flow control, 9 and 10 (the
// same instruments' fast transfer) at 57600 baud with XON/XOFF. The instruments send a flight
// when the pilot starts the transfer on them; nothing asks them for it.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"

namespace logwell::topnav {

inline constexpr int kBaudRate = 9600;
inline constexpr int kFastBaudRate = 57600;
// The setting that moves a Top Navigator's times (hours added to the instrument's clock).
inline constexpr std::string_view kUtcOffsetSetting = "UtcOffsetForTN";

// Waits for the transfer and reads it into block.points, block.rawTopNavLog and the product
// texts. The number of points, or -1 after the failure was shown.
int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& context);

// Types 2 and 7 only, in a layout of this project's own (wire/topnav/topnav_waypoints.h,
// unverified): the instrument's waypoints after the pilot starts their transfer, and an upload
// that nothing acknowledges. 0, or -1 after the failure was shown.
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& context);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& context);

bool RegisterTopNavWorkers(AccessTable& table, const FamilyEnvironment& context);

}  // namespace logwell::topnav
