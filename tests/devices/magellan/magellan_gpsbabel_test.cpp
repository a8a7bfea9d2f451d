// GPSBabel as the host against the virtual Magellan receiver: it downloads the served track and
// waypoints exactly as it reads the same sentences from a file, and its waypoint upload
// arrives intact; our host downloads the same points and uploads the same sentences.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "devices/magellan/magellan_rig.h"
#include "support/fixtures.h"
#include "support/gpsbabel.h"
#include "track/formats/magellan_log.h"
#include "wire/magellan/magellan_sentences.h"

namespace logwell::testing {
namespace {

namespace fs = std::filesystem;

struct Served {
  std::unique_ptr<sim::VirtualInstrument> instrument;
  sim::MagellanModel* model = nullptr;
};

Served Serve(sim::MagellanModelConfig config) {
  Served served;
  auto owned = std::make_unique<sim::MagellanModel>(std::move(config));
  served.model = owned.get();
  served.instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
  served.model->Attach(served.instrument.get());
  return served;
}

fs::path WorkFolder(const std::string& name) {
  const fs::path work = fs::temp_directory_path() / ("logwell-magellan-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(work);
  fs::create_directories(work);
  return work;
}

// The rows of GPSBabel's unicsv output after the header.
std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

class MagellanGpsbabelTrack : public ::testing::TestWithParam<const char*> {};

TEST_P(MagellanGpsbabelTrack, DownloadsWhatItReadsFromTheFileAndSoDoesOurHost) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto gpsbabel = FindGpsbabel();
  if (!gpsbabel) GTEST_SKIP() << "gpsbabel is not installed";
  const fs::path file = fixtures / "tracks" / GetParam();
  const fs::path work = WorkFolder(GetParam());
  sim::MagellanModelConfig config;
  config.trackSentences = sim::SentencesOfFile(file.string(), "$PMGNTRK");
  ASSERT_FALSE(config.trackSentences.empty());

  Served served = Serve(config);
  const fs::path viaDevice = work / "device.csv";
  const fs::path viaFile = work / "file.csv";
  ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-t", "-i", "magellan", "-f", served.instrument->DevicePath(), "-o",
                                      "unicsv,utc=0", "-F", viaDevice.string()}));
  ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-t", "-i", "magellan", "-f", file.string(), "-o", "unicsv,utc=0", "-F",
                                      viaFile.string()}));
  const std::string device = ReadWholeFile(viaDevice);
  EXPECT_EQ(device, ReadWholeFile(viaFile));
  const auto rows = Rows(device);

  MagellanRig rig(config);
  ScriptedUi ui;
  const auto expected = ReadMagellanLog(ReadWholeFile(file), ui)->points;
  ASSERT_EQ(rig.ReadTrackLog(), static_cast<int>(expected.size()));
  EXPECT_EQ(rig.log.points, expected);
  // Every sentence of these files has a valid fix: GPSBabel's points are ours.
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_NEAR(std::stod(rows[i][1]), SemicirclesToDegrees(rig.log.points[i].latitude), 1e-6);
    EXPECT_NEAR(std::stod(rows[i][2]), SemicirclesToDegrees(rig.log.points[i].longitude), 1e-6);
  }
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MagellanGpsbabelTrack,
                         ::testing::Values("dusky.trk", "meridian.trk", "magellandate.log"));

TEST(MagellanGpsbabel, WaypointsBothWays) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto gpsbabel = FindGpsbabel();
  if (!gpsbabel) GTEST_SKIP() << "gpsbabel is not installed";
  const fs::path file = fixtures / "waypoints" / "magfile";
  const fs::path work = WorkFolder("waypoints");
  sim::MagellanModelConfig config;
  config.waypointSentences = sim::SentencesOfFile(file.string(), "$PMGNWPL");
  const std::size_t count = config.waypointSentences.size();
  ASSERT_GT(count, 10u);

  // Download: the same as GPSBabel's reading of the file.
  {
    Served served = Serve(config);
    const fs::path viaDevice = work / "device.csv";
    const fs::path viaFile = work / "file.csv";
    ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-w", "-i", "magellan", "-f", served.instrument->DevicePath(), "-o",
                                        "unicsv", "-F", viaDevice.string()}));
    ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-w", "-i", "magellan", "-f", file.string(), "-o", "unicsv", "-F",
                                        viaFile.string()}));
    EXPECT_EQ(ReadWholeFile(viaDevice), ReadWholeFile(viaFile));
    EXPECT_EQ(Rows(ReadWholeFile(viaDevice)).size(), count);
  }
  // Upload by GPSBabel in handshake mode: every sentence arrives with the file's coordinates.
  std::vector<std::string> byGpsbabel;
  {
    Served served = Serve(config);
    ASSERT_TRUE(RunGpsbabel(*gpsbabel, {"-w", "-i", "magellan", "-f", file.string(), "-o", "magellan", "-F",
                                        served.instrument->DevicePath()}));
    byGpsbabel = served.model->Uploaded();
    EXPECT_FALSE(served.model->Handshake());
  }
  ASSERT_EQ(byGpsbabel.size(), count);
  // Our host downloads them and sends them back: the same positions to the thousandth of a
  // minute, the same names.
  MagellanRig rig(config);
  ASSERT_EQ(rig.ReadWaypoints(), 0);
  ASSERT_EQ(rig.waypoints.size(), count);
  auto waypoints = rig.waypoints;
  MagellanRig upload(sim::MagellanModelConfig{});
  ASSERT_EQ(upload.Run(AccessType::WriteWaypoints, CompleteWaypointsWritten, &waypoints), static_cast<int>(count));
  const auto byUs = upload.model->Uploaded();
  ASSERT_EQ(byUs.size(), count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto theirs = magellan::ReadSentence("$" + byGpsbabel[i]);
    const auto ours = magellan::ReadSentence("$" + byUs[i]);
    const auto a = theirs.Fields();
    const auto b = ours.Fields();
    ASSERT_GE(a.size(), 8u);
    ASSERT_GE(b.size(), 8u);
    for (int f : {1, 2, 3, 4, 7}) EXPECT_EQ(a[f], b[f]) << i << " field " << f;
  }
  fs::remove_all(work);
}

}  // namespace
}  // namespace logwell::testing
