#pragma once
// The one table that says which worker runs each access: a row per AccessType, a column per
// ProtocolType. A cell stays empty until its instrument family registers its worker, and an
// empty cell is refused with "Unsupported access function", so nothing pretends to work.
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "access/access_block.h"
#include "model/access_types.h"

namespace logwell {

// A worker thread's body. It owns the block from its first step and frees it at its end
// (most workers hand their protocol steps to RunWorkerFrame, which does the rest).
using AccessWorker = std::function<void(AccessBlockPtr block)>;

// The cells that can hold a worker. Every other combination has no meaning for its instrument
// and can never be filled:
//   0 read waypoints         0, 1, 2, 4, 6, 7, 8, 12, 14, 16, 17, 20
//   1 read track log         every protocol type, 0 to 20
//   2 read LogIt data        3
//   3 write waypoints        0, 1, 2, 4, 6, 7, 8, 12, 14, 16, 17, 20
//   4 erase track log        3, 15, 19
//   5 write pilot data       3, 5, 12, 13
//   6 waypoints as a Garmin track log   0, 8
//   7 upload airspace        0, 4, 8
//   8 read airspace          4
//   9 read flight list       4, 12, 16, 17, 19, 20
//  10 erase waypoints        20
// Shared workers: protocol types 1, 14 and 18 use the MLR workers of rows 0, 1 and 3; 2 and 7
// share the row 1 and row 3 workers; 9 and 10 share the row 1 worker. A shared worker is
// registered in each of its cells and branches on the block's protocolType.
namespace access_mask {
constexpr std::uint32_t Bits(std::initializer_list<int> protocols) {
  std::uint32_t bits = 0;
  for (const int protocol : protocols) bits |= std::uint32_t{1} << protocol;
  return bits;
}
inline constexpr std::uint32_t kWaypointFamilies = Bits({0, 1, 2, 4, 6, 7, 8, 12, 14, 16, 17, 20});
inline constexpr std::array<std::uint32_t, kAccessTypeCount> kCellMayExist = {
    kWaypointFamilies,                    // 0 read waypoints
    (std::uint32_t{1} << kProtocolTypeCount) - 1,  // 1 read track log
    Bits({3}),                            // 2 read LogIt data
    kWaypointFamilies,                    // 3 write waypoints
    Bits({3, 15, 19}),                    // 4 erase track log
    Bits({3, 5, 12, 13}),                 // 5 write pilot data
    Bits({0, 8}),                         // 6 waypoints as a Garmin track log
    Bits({0, 4, 8}),                      // 7 upload airspace
    Bits({4}),                            // 8 read airspace
    Bits({4, 12, 16, 17, 19, 20}),        // 9 read flight list
    Bits({20}),                           // 10 erase waypoints
};
}  // namespace access_mask

constexpr bool ValidAccessType(AccessType access) {
  const int row = static_cast<int>(access);
  return row >= 0 && row < kAccessTypeCount;
}
constexpr bool ValidProtocolType(ProtocolType protocol) {
  const int column = static_cast<int>(protocol);
  return column >= 0 && column < kProtocolTypeCount;
}

// True when the combination has a meaning for its instrument family, whether or not its
// worker has been built yet.
constexpr bool CellMayExist(AccessType access, ProtocolType protocol) {
  if (!ValidAccessType(access) || !ValidProtocolType(protocol)) return false;
  return (access_mask::kCellMayExist[static_cast<std::size_t>(access)] >>
          static_cast<int>(protocol)) & 1U;
}

class AccessTable {
 public:
  // Fills one cell. Refused (false) for a cell that cannot exist, an empty worker, or a cell
  // already filled, so two families can never claim the same cell by mistake. Families
  // register their workers at start-up, before any access is started.
  bool Register(AccessType access, ProtocolType protocol, AccessWorker worker);

  // The cell's worker, or nullptr when the cell is empty or out of range.
  const AccessWorker* Find(AccessType access, ProtocolType protocol) const;

 private:
  std::array<std::array<AccessWorker, kProtocolTypeCount>, kAccessTypeCount> cells_{};
};

}  // namespace logwell
