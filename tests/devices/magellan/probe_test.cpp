// The product scan finds a Magellan receiver and an MTK logger, each by its own probe.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices/magellan/magellan_probe.h"
#include "devices/mtk/mtk_probe.h"
#include "devices/product_scan.h"
#include "sim/magellan/magellan_model.h"
#include "sim/mtk/mtk_model.h"
#include "sim/virtual_instrument.h"

namespace logwell {
namespace {

TEST(ProductScan, FindsMagellanAndMtk) {
  sim::MtkModelConfig mtk;
  mtk.memory.assign(4096, 0xFF);
  sim::VirtualInstrument magellanPort(std::make_unique<sim::MagellanModel>(sim::MagellanModelConfig{}));
  sim::VirtualInstrument mtkPort(std::make_unique<sim::MtkModel>(mtk));
  std::vector<std::string> products;
  ProbeReport report;
  report.productLine = [&](std::string_view line) { products.emplace_back(line); };
  const auto findings = ScanPorts({magellanPort.DevicePath(), mtkPort.DevicePath()}, report);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(ScanFindingLine(findings[0]), magellanPort.DevicePath() + ": Magellan, MERIDIAN GOLD, firmware 5.22; use /GPS=MAGELLAN");
  EXPECT_EQ(ScanFindingLine(findings[1]),
            mtkPort.DevicePath() + ": MTK/Pentagram/Holux, Pentagram, firmware AXN_1.0-B_1.3_C01,0001; use /GPS=MTK");
  EXPECT_NE(std::find(products.begin(), products.end(), "Checking for Magellan"), products.end());
  EXPECT_NE(std::find(products.begin(), products.end(), "Checking for MTK logger"), products.end());
}

TEST(ProductScan, ProbesPassOverOtherInstruments) {
  // A Magellan does not answer the MTK request and the other way round.
  sim::MtkModelConfig mtk;
  mtk.memory.assign(4096, 0xFF);
  sim::VirtualInstrument magellanPort(std::make_unique<sim::MagellanModel>(sim::MagellanModelConfig{}));
  sim::VirtualInstrument mtkPort(std::make_unique<sim::MtkModel>(mtk));
  EXPECT_FALSE(mtk::ProbeMtk(magellanPort.DevicePath()).found);
  EXPECT_FALSE(magellan::ProbeMagellan(mtkPort.DevicePath()).found);
  EXPECT_EQ(magellan::ProbeMagellan(magellanPort.DevicePath()).extra, "33");
}

}  // namespace
}  // namespace logwell
