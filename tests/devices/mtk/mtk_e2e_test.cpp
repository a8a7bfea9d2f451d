// The MTK host against the virtual logger serving the real flash images: downloads, the erase,
// and the faults of the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "devices/mtk/mtk_log.h"
#include "devices/mtk/mtk_rig.h"
#include "support/fixtures.h"

namespace logwell::testing {
namespace {

std::vector<std::uint8_t> Image(const std::filesystem::path& fixtures, const char* name) {
  const std::string bytes = ReadWholeFile(fixtures / "logger" / name);
  return {bytes.begin(), bytes.end()};
}

sim::MtkModelConfig Config(std::vector<std::uint8_t> memory) {
  sim::MtkModelConfig config;
  config.memory = std::move(memory);
  return config;
}

TEST(MtkDownload, EveryImageArrivesAsTheParserReadsItAndLoggingIsBackOn) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  for (const char* name : {"mtk_logger.bin", "mtk_logger_m241.bin", "mtk_logger_gp245.bin"}) {
    SCOPED_TRACE(name);
    const auto memory = Image(fixtures, name);
    const auto expected = mtk::ToTrackPoints(mtk::ParseLog(memory).fixes);
    MtkRig rig(Config(memory));
    // 0: the command line's MTK, which tries the rates in turn.
    const std::string file = name;
    const int baud = file == "mtk_logger.bin" ? 115200 : file == "mtk_logger_m241.bin" ? 38400 : 0;
    EXPECT_EQ(rig.ReadTrackLog(baud), static_cast<int>(expected.size()));
    EXPECT_TRUE(rig.Errors().empty());
    EXPECT_EQ(rig.log.points, expected);
    EXPECT_EQ(rig.log.source.kind, TrackSourceKind::Mtk);
    EXPECT_TRUE(rig.model->Logging());
    EXPECT_EQ(rig.log.source.InstrumentId(), "Pentagram: AXN_1.0-B_1.3_C01,0001");
  }
}

// A download long enough to report its progress names the bytes read and their total, so that
// the window's bar shows the share done instead of only being busy.
TEST(MtkDownload, ProgressReportsNameTheTotal) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  sim::MtkModelConfig config = Config(Image(fixtures, "mtk_logger_gp245.bin"));
  config.paced = true;
  config.baudRate = 38400;
  MtkRig rig(std::move(config));
  ASSERT_GT(rig.ReadTrackLog(38400), 0);
  std::vector<std::pair<long, long>> reports;
  for (const std::string& text : rig.Notified()) {
    long done = 0;
    long total = 0;
    if (std::sscanf(text.c_str(), "Progress %ld/%ld", &done, &total) == 2) reports.emplace_back(done, total);
  }
  ASSERT_FALSE(reports.empty());
  for (const auto& [done, total] : reports) {
    EXPECT_GT(done, 0);
    EXPECT_LE(done, total);
    EXPECT_EQ(total, reports.front().second);
    EXPECT_EQ(total % 256, 0);
  }
}

TEST(MtkDownload, FaultsEndWithTheirMessageAndLeaveTheTrackLogAlone) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto memory = Image(fixtures, "mtk_logger.bin");
  const std::size_t points = mtk::ParseLog(memory).fixes.size();
  struct Case {
    const char* name;
    const char* request;
    sim::Fault fault;
    int wrongOffsetRead;
    const char* error;  // empty: the chunk is asked for again and the download succeeds
  };
  sim::Fault hangUp{sim::Fault::Kind::HangUp};
  hangUp.offset = 100;
  const Case cases[] = {
      {"chunk with a wrong checksum", "PMTK182,7", sim::Fault{sim::Fault::Kind::CorruptChecksum}, 0, ""},
      {"chunk with a changed byte", "PMTK182,7", [] { sim::Fault f{sim::Fault::Kind::CorruptByte}; f.offset = 40; return f; }(), 0, ""},
      {"chunk never sent", "PMTK182,7", sim::Fault{sim::Fault::Kind::DropLine}, 0, ""},
      {"chunk at an offset beyond the memory", "", {}, 5, "Chunk data outside used memory"},
      {"logger falls silent", "PMTK182,7", sim::Fault{sim::Fault::Kind::Silence}, 0, "No response for data chunk"},
      {"hang-up mid-chunk", "PMTK182,7", hangUp, 0, "*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = Config(memory);
    if (*c.request) config.faultsFor[c.request] = {c.fault};
    config.wrongOffsetRead = c.wrongOffsetRead;
    MtkRig rig(std::move(config));
    rig.log.points.resize(3);
    const int result = rig.ReadTrackLog();
    if (*c.error == '\0') {
      EXPECT_EQ(result, static_cast<int>(points));
      EXPECT_EQ(rig.log.points, mtk::ToTrackPoints(mtk::ParseLog(memory).fixes));
      continue;
    }
    EXPECT_LT(result, 0);
    const auto errors = rig.Errors();
    ASSERT_EQ(errors.size(), 1u);
    if (std::string(c.error) != "*") {
      EXPECT_EQ(errors[0], c.error);
    }
    EXPECT_EQ(rig.log.points.size(), 3u);
    if (!rig.instrument->HungUp()) {
      EXPECT_TRUE(rig.model->Logging());
    }
  }
}

TEST(MtkErase, ErasesAndSwitchesLoggingBackOn) {
  sim::MtkModelConfig config;
  config.memory.assign(4096, 0x00);
  MtkRig rig(std::move(config));
  EXPECT_EQ(rig.Run(AccessType::EraseTrackLog, CompleteDone), 0);
  EXPECT_TRUE(rig.Errors().empty());
  EXPECT_TRUE(rig.model->Erased());
  EXPECT_TRUE(rig.model->Logging());
}

TEST(MtkDownload, EmptyMemoryIsZeroUsedMemory) {
  sim::MtkModelConfig config;
  config.memory.assign(4096, 0xFF);
  config.logging = false;
  MtkRig rig(std::move(config));
  EXPECT_LT(rig.ReadTrackLog(), 0);
  ASSERT_EQ(rig.Errors().size(), 1u);
  EXPECT_EQ(rig.Errors()[0], "Zero used memory");
  EXPECT_FALSE(rig.model->Logging());
}

}  // namespace
}  // namespace logwell::testing
