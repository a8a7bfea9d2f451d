// Every access the command line's GPS table promises reaches a built worker: no GPS value and
// action the table allows answers "Unsupported access function".
#include <gtest/gtest.h>

#include "access/access_table.h"
#include "app/gps_table.h"
#include "devices/family.h"

namespace logwell {
namespace {

TEST(GpsTable, EveryPromisedCellHasAWorker) {
  AccessTable table;
  ASSERT_TRUE(RegisterInstrumentFamilies(table, FamilyEnvironment{}));
  const std::pair<GpsColumn, AccessType> columns[] = {
      {GpsColumn::TrackLogRead, AccessType::ReadTrackLog},
      {GpsColumn::WaypointRead, AccessType::ReadWaypoints},
      {GpsColumn::WaypointWrite, AccessType::WriteWaypoints},
      {GpsColumn::FlightList, AccessType::ReadFlightList},
      {GpsColumn::CtrWrite, AccessType::UploadCtr},
      {GpsColumn::PilotDataWrite, AccessType::WritePilotData},
  };
  int promised = 0;
  for (int code = 0; code < kGpsCodeCount; ++code) {
    for (const bool usb : {false, true}) {
      for (const auto& [column, access] : columns) {
        const auto gps = GpsAccessFor(code, column, usb);
        if (!gps) continue;
        ++promised;
        EXPECT_NE(table.Find(access, gps->protocol), nullptr)
            << "GPS code " << code << (usb ? " /USB" : "") << ", column " << static_cast<int>(column)
            << ": protocol " << static_cast<int>(gps->protocol) << " has no worker";
      }
    }
  }
  EXPECT_GT(promised, 2 * kGpsCodeCount);  // the walk really went through the table
}

// The scan tells each instrument's GPS value: every family's value (and each variant a probe
// names) is one the command line takes, and its track log read reaches that family.
TEST(GpsTable, EveryFamilyNamesAGpsValueThatReadsIt) {
  const auto readsWith = [](std::string_view value, const InstrumentFamily& family) {
    const auto code = FindGpsCode(value);
    if (!code) return false;
    const auto access = GpsAccessFor(*code, GpsColumn::TrackLogRead, false);
    return access && FamilyOf(access->protocol) == &family;
  };
  for (const InstrumentFamily& family : InstrumentFamilies()) {
    EXPECT_TRUE(readsWith(family.gpsOption, family)) << family.name << ": /GPS=" << family.gpsOption;
  }
  const auto* flymaster = FamilyOf(ProtocolType::Flymaster);
  const auto* digifly = FamilyOf(ProtocolType::Digifly);
  ASSERT_TRUE(flymaster != nullptr && digifly != nullptr);
  EXPECT_TRUE(readsWith("FLYMASTEROLD", *flymaster));
  EXPECT_TRUE(readsWith("DIGIFLYAIR", *digifly));
}

}  // namespace
}  // namespace logwell
