#include "access/access_table.h"

#include <utility>

namespace logwell {

bool AccessTable::Register(AccessType access, ProtocolType protocol, AccessWorker worker) {
  if (!CellMayExist(access, protocol) || !worker) return false;
  AccessWorker& cell =
      cells_[static_cast<std::size_t>(access)][static_cast<std::size_t>(protocol)];
  if (cell) return false;
  cell = std::move(worker);
  return true;
}

const AccessWorker* AccessTable::Find(AccessType access, ProtocolType protocol) const {
  if (!ValidAccessType(access) || !ValidProtocolType(protocol)) return nullptr;
  const AccessWorker& cell =
      cells_[static_cast<std::size_t>(access)][static_cast<std::size_t>(protocol)];
  return cell ? &cell : nullptr;
}

}  // namespace logwell
