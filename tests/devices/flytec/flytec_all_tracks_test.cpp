// Reading all tracks into one Google Earth file, and the product scan's probe, against the
// virtual instrument.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "devices/flytec/flytec_probe.h"
#include "flytec_rig.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;
using testing::UiEvent;
using testing::UiEventKind;

GarminTime Morning(int day, int hour) {
  CalendarTime t;
  t.year = 2024;
  t.month = 7;
  t.day = day;
  t.hour = hour;
  return CalendarToGarminTime(t);
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(FlytecAllTracks, SelectedTracksBecomeOneFileWithAFolderEach) {
  const fs::path dir = fs::temp_directory_path() / ("logwell-alltracks-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  sim::FlytecModelConfig config;
  for (int day = 1; day <= 3; ++day) {
    config.flights.push_back(sim::FlytecIgcText(testing::Flight(Morning(day, 11), 20, 5, static_cast<std::uint32_t>(day)),
                                                config.serial, config.pilot));
  }
  testing::FlytecRig rig(std::move(config));
  rig.protocol = ProtocolType::FlytecAllTracks;
  rig.ui.ScriptChoice(std::vector<int>{0, 2});
  rig.ui.ScriptSaveFile((dir / "season").string());
  EXPECT_EQ(rig.ReadTrackLog(), -1);  // nothing replaces the current track log
  EXPECT_TRUE(rig.log.Empty());

  std::ifstream in(dir / "season.kml", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string kml = text.str();
  EXPECT_EQ(kml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n<Document>\r\n<open>1</open>\r\n", 0), 0u);
  EXPECT_EQ(Count(kml, "<Folder>"), 2u);
  EXPECT_TRUE(kml.ends_with("</Document>\r\n</kml>\r\n"));
  std::vector<UiEvent> boxes;
  for (const UiEvent& e : rig.ui.Boxes()) {
    if (e.kind == UiEventKind::Error || e.kind == UiEventKind::Info) boxes.push_back(e);
  }
  EXPECT_EQ(boxes, (std::vector<UiEvent>{{UiEventKind::Info, "Save Trackvault track", "File written"}}));
  const auto status = rig.ui.StatusTexts();
  EXPECT_NE(std::find(status.begin(), status.end(), "Reading track log 3"), status.end());
  EXPECT_NE(std::find(status.begin(), status.end(), "Analysing track log 3"), status.end());
  EXPECT_NE(std::find(status.begin(), status.end(), "Downloading completed"), status.end());
  fs::remove_all(dir);
}

TEST(FlytecProbe, FindsOnlyTheFamilysInstruments) {
  {
    sim::FlytecModelConfig config;
    config.model = "COMPETINO+";
    testing::FlytecRig rig(std::move(config));
    std::vector<std::string> product, status;
    const auto result = flytec::ProbeFlytec(rig.instrument->DevicePath(),
                                            {[&](std::string_view t) { product.emplace_back(t); },
                                             [&](std::string_view t) { status.emplace_back(t); }});
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.model, "COMPETINO+");
    EXPECT_EQ(product, (std::vector<std::string>{"Checking for Brauniger/Flytec", "COMPETINO+, SNR 1234567, SW 1.20"}));
    EXPECT_EQ(status, (std::vector<std::string>{"Requesting product info", ""}));
  }
  for (const bool corrupt : {false, true}) {
    SCOPED_TRACE(corrupt);
    sim::FlytecModelConfig config;
    if (corrupt) {
      config.faultsFor["PBRSNP"] = {sim::Fault{sim::Fault::Kind::CorruptChecksum}};
    } else {
      config.model = "6031";  // not one of the nine
    }
    testing::FlytecRig rig(std::move(config));
    std::vector<std::string> status;
    const auto result =
        flytec::ProbeFlytec(rig.instrument->DevicePath(), {nullptr, [&](std::string_view t) { status.emplace_back(t); }});
    EXPECT_FALSE(result.found);
    EXPECT_EQ(status.back(), "Bad/missing response");
  }
  EXPECT_FALSE(flytec::ProbeFlytec("/dev/logwell-no-such-port").found);
}

}  // namespace
}  // namespace logwell
