// The product scan over several virtual instruments of different families at once, a port
// with nothing behind it and a port that cannot be opened.
#include <gtest/gtest.h>

#include "devices/product_scan.h"
#include "sim/flight_generator.h"
#include "sim/flymaster/flymaster_model.h"
#include "sim/garmin/garmin_model.h"
#include "sim/flytec/flytec_model.h"
#include "sim/virtual_instrument.h"

namespace logwell {
namespace {

// Hears everything, answers nothing.
class MuteModel final : public sim::InstrumentModel {
 public:
  void OnReceived(std::span<const std::uint8_t> /*bytes*/, sim::DeviceLink& /*link*/) override {}
};

TEST(ProductScan, FindsEachFamilyAndReportsEmptyAndUnusablePorts) {
  sim::FlytecModelConfig flytec;
  flytec.model = "6030";
  flytec.serial = "1234567";
  flytec.software = "1.20";
  sim::FlymasterModelConfig current;
  current.model = "GpsSD";
  current.serial = "800";
  current.software = "1.21";
  sim::FlymasterModelConfig older;
  older.older = true;
  older.model = "B1NAV";
  older.serial = "900";
  older.software = "2.07";
  sim::VirtualInstrument flytecPort(std::make_unique<sim::FlytecModel>(flytec));
  sim::VirtualInstrument currentPort(std::make_unique<sim::FlymasterModel>(current));
  sim::VirtualInstrument olderPort(std::make_unique<sim::FlymasterModel>(older));
  sim::VirtualInstrument garminPort(std::make_unique<sim::GarminModel>(sim::GarminModelConfig{}));
  sim::VirtualInstrument emptyPort(std::make_unique<MuteModel>());

  std::vector<std::string> products;
  ProbeReport report;
  report.productLine = [&](std::string_view line) { products.emplace_back(line); };
  const auto findings = ScanPorts({flytecPort.DevicePath(), currentPort.DevicePath(), olderPort.DevicePath(),
                                   garminPort.DevicePath(), emptyPort.DevicePath(), "/dev/logwell-no-such-port"},
                                  report);
  ASSERT_EQ(findings.size(), 6u);
  EXPECT_EQ(ScanFindingLine(findings[0]), flytecPort.DevicePath() + ": Flytec/Brauniger, 6030, firmware 1.20, serial 1234567; use /GPS=IQCOMPEO");
  EXPECT_EQ(ScanFindingLine(findings[1]), currentPort.DevicePath() + ": Flymaster, GpsSD, firmware 1.21, serial 800; use /GPS=FLYMASTER");
  EXPECT_EQ(ScanFindingLine(findings[2]), olderPort.DevicePath() + ": Flymaster, B1NAV, firmware 2.07, serial 900; use /GPS=FLYMASTEROLD");
  EXPECT_EQ(ScanFindingLine(findings[3]), garminPort.DevicePath() + ": Garmin, VIRTUAL GPS Software Version 3.60, firmware 3.60; use /GPS=GARMIN");
  EXPECT_EQ(ScanFindingLine(findings[4]), emptyPort.DevicePath() + ": no instrument");
  EXPECT_EQ(findings[5].problem.rfind("cannot be opened", 0), 0u) << findings[5].problem;
  EXPECT_EQ(ScanFindingJson(findings[1]), "{\"port\":\"" + currentPort.DevicePath() +
                                              "\",\"family\":\"Flymaster\",\"gps\":\"FLYMASTER\",\"model\":\"GpsSD\",\"firmware\":\"1.21\","
                                              "\"serial\":\"800\"}");
  // The checks in their order and with their texts.
  ASSERT_GE(products.size(), 2u);
  EXPECT_EQ(products[0], "Checking for Flymaster (new)");
  EXPECT_NE(std::find(products.begin(), products.end(), "Flymaster, GpsSD, SNR 800, SW 1.21"), products.end());
  EXPECT_NE(std::find(products.begin(), products.end(), "Checking for Brauniger/Flytec"), products.end());
}

}  // namespace
}  // namespace logwell
