#include "access/access_table.h"

#include <gtest/gtest.h>

namespace logwell {
namespace {

TEST(AccessTable, CellsThatMayExistFollowTheInstrumentFamilies) {
  // Per access type: the protocol types that have a worker.
  const std::vector<std::vector<int>> expected = {
      {0, 1, 2, 4, 6, 7, 8, 12, 14, 16, 17, 20},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
      {3},
      {0, 1, 2, 4, 6, 7, 8, 12, 14, 16, 17, 20},
      {3, 15, 19},
      {3, 5, 12, 13},
      {0, 8},
      {0, 4, 8},
      {4},
      {4, 12, 16, 17, 19, 20},
      {20},
  };
  for (int row = 0; row < kAccessTypeCount; ++row) {
    std::vector<int> cells;
    for (int column = 0; column < kProtocolTypeCount; ++column) {
      if (CellMayExist(static_cast<AccessType>(row), static_cast<ProtocolType>(column))) {
        cells.push_back(column);
      }
    }
    EXPECT_EQ(cells, expected[static_cast<std::size_t>(row)]) << "access type " << row;
  }
  EXPECT_FALSE(CellMayExist(static_cast<AccessType>(11), ProtocolType::GarminSerial));
  EXPECT_FALSE(CellMayExist(AccessType::ReadTrackLog, static_cast<ProtocolType>(21)));
  EXPECT_FALSE(CellMayExist(static_cast<AccessType>(-1), ProtocolType::GarminSerial));
}

TEST(AccessTable, RegistersOnlyCellsThatMayExistAndOnlyOnce) {
  AccessTable table;
  const AccessWorker worker = [](AccessBlockPtr) {};
  EXPECT_EQ(table.Find(AccessType::ReadTrackLog, ProtocolType::Flytec), nullptr);

  EXPECT_TRUE(table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec, worker));
  EXPECT_NE(table.Find(AccessType::ReadTrackLog, ProtocolType::Flytec), nullptr);
  EXPECT_FALSE(table.Register(AccessType::ReadTrackLog, ProtocolType::Flytec, worker));

  // Erasing the track log of a Garmin has no meaning.
  EXPECT_FALSE(table.Register(AccessType::EraseTrackLog, ProtocolType::GarminSerial, worker));
  EXPECT_EQ(table.Find(AccessType::EraseTrackLog, ProtocolType::GarminSerial), nullptr);
  EXPECT_FALSE(table.Register(AccessType::ReadWaypoints, ProtocolType::Flytec, AccessWorker{}));
  EXPECT_EQ(table.Find(static_cast<AccessType>(11), ProtocolType::Flytec), nullptr);
}

}  // namespace
}  // namespace logwell
