// The list of instrument families: every family fills only its own columns, no two claim the
// same protocol, and the records answer for their protocols.
#include <gtest/gtest.h>

#include <set>

#include "access/access_table.h"
#include "devices/family.h"

namespace logwell {
namespace {

TEST(InstrumentFamilies, EachFillsOnlyItsOwnColumnsAndAnswersForThem) {
  AccessTable table;
  ASSERT_TRUE(RegisterInstrumentFamilies(table, FamilyEnvironment{}));
  // A second registration into the same table finds every cell taken.
  EXPECT_FALSE(RegisterInstrumentFamilies(table, FamilyEnvironment{}));

  std::set<ProtocolType> claimed;
  for (const InstrumentFamily& family : InstrumentFamilies()) {
    ASSERT_NE(family.registerWorkers, nullptr) << family.name;
    ASSERT_FALSE(family.protocols.empty()) << family.name;
    for (const ProtocolType protocol : family.protocols) {
      EXPECT_TRUE(claimed.insert(protocol).second) << family.name << " claims a taken protocol";
      EXPECT_EQ(FamilyOf(protocol), &family);
    }
  }
  for (int p = 0; p < kProtocolTypeCount; ++p) {
    const auto protocol = static_cast<ProtocolType>(p);
    if (claimed.contains(protocol)) continue;
    EXPECT_EQ(FamilyOf(protocol), nullptr);
    for (int a = 0; a < kAccessTypeCount; ++a) {
      EXPECT_EQ(table.Find(static_cast<AccessType>(a), protocol), nullptr)
          << "a worker in the column of protocol " << p << ", which no family claims";
    }
  }
}

TEST(InstrumentFamilies, FlytecRecordSaysWhatItsInstrumentsDo) {
  const InstrumentFamily* family = FamilyOf(ProtocolType::Flytec);
  ASSERT_NE(family, nullptr);
  EXPECT_EQ(FamilyOf(ProtocolType::FlytecAllTracks), family);
  EXPECT_TRUE(family->deliversOwnIgc);
  EXPECT_FALSE(family->canErase);
  EXPECT_EQ(family->ctrNameLimit, 17u);
  EXPECT_TRUE(family->shortWaypointNames);
  EXPECT_NE(family->probe, nullptr);
}

}  // namespace
}  // namespace logwell
