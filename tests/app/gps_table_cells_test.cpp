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

}  // namespace
}  // namespace logwell
