// The log memory parser against GPSBabel's own decode of the real flash images of the fixtures
// folder: the same fixes (GPSBabel's rows without a valid fix left out, since those never
// become points here), times to the millisecond, positions within 1e-6 degree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "devices/mtk/mtk_log.h"
#include "support/fixtures.h"
#include "support/gpsbabel.h"

namespace logwell::mtk {
namespace {

namespace fs = std::filesystem;

struct BabelRow {
  std::int64_t unixMilliseconds = 0;
  double latitude = 0;
  double longitude = 0;
};

std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  while (std::getline(in, cell, ',')) cells.push_back(cell);
  return cells;
}

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

// GPSBabel's unicsv rows with a position and a fix (or no fix column at all).
std::vector<BabelRow> BabelFixes(const std::string& csv, std::size_t& noFixRows) {
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = SplitCsv(line);
  const auto column = [&](const std::string& name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (header[i] == name) return static_cast<int>(i);
    }
    return -1;
  };
  const int lat = column("Latitude"), lon = column("Longitude"), fix = column("FIX");
  const int date = column("Date"), time = column("Time");
  if (lat < 0 || lon < 0 || date < 0 || time < 0) return {};
  std::vector<BabelRow> rows;
  noFixRows = 0;
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = SplitCsv(line);
    if (fix >= 0 && cells[fix] == "\"none\"") {
      ++noFixRows;
      continue;
    }
    BabelRow row;
    row.latitude = std::stod(cells[lat]);
    row.longitude = std::stod(cells[lon]);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    std::sscanf(cells[date].c_str(), "%d/%d/%d", &y, &mo, &d);
    std::sscanf(cells[time].c_str(), "%d:%d:%lf", &h, &mi, &s);
    row.unixMilliseconds = (DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60) * 1000 +
                           std::llround(s * 1000.0);
    rows.push_back(row);
  }
  return rows;
}

struct Image {
  const char* file;
  const char* babelFormat;  // GPSBabel's reader for this logger
  LogLayout layout;
};

class MtkLogAgainstGpsbabel : public ::testing::TestWithParam<Image> {};

TEST_P(MtkLogAgainstGpsbabel, SameFixesAsGpsbabelDecode) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto gpsbabel = testing::FindGpsbabel();
  if (!gpsbabel) GTEST_SKIP() << "gpsbabel is not installed";
  const Image image = GetParam();
  const fs::path bin = fixtures / "logger" / image.file;
  const fs::path csv = fs::temp_directory_path() / (std::string("logwell-mtk-") +
                                                    std::to_string(::getpid()) + image.file + ".csv");
  ASSERT_TRUE(testing::RunGpsbabel(*gpsbabel, {"-t", "-i", image.babelFormat, "-f", bin.string(),
                                               "-o", "unicsv,utc=0", "-F", csv.string()}));
  std::size_t noFixRows = 0;
  const std::vector<BabelRow> theirs = BabelFixes(testing::ReadWholeFile(csv), noFixRows);
  fs::remove(csv);

  const std::string bytes = testing::ReadWholeFile(bin);
  const LogParse ours = ParseLog(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                           bytes.size()));
  EXPECT_EQ(ours.status, LogStatus::Ok);
  EXPECT_EQ(ours.layout, image.layout);
  EXPECT_EQ(ours.badRecords, 0u);
  EXPECT_EQ(ours.invalidFixes, noFixRows);
  ASSERT_EQ(ours.fixes.size(), theirs.size());
  int reported = 0;
  for (std::size_t i = 0; i < theirs.size() && reported < 5; ++i) {
    const LogFix& fix = ours.fixes[i];
    const std::int64_t ms = fix.unixSeconds * 1000 + fix.milliseconds;
    const bool same = ms == theirs[i].unixMilliseconds &&
                      std::fabs(fix.latitude - theirs[i].latitude) <= 1e-6 &&
                      std::fabs(fix.longitude - theirs[i].longitude) <= 1e-6;
    if (!same) ++reported;
    EXPECT_TRUE(same) << "fix " << i << ": ours " << ms << " " << fix.latitude << " "
                      << fix.longitude << ", GPSBabel " << theirs[i].unixMilliseconds << " "
                      << theirs[i].latitude << " " << theirs[i].longitude;
  }
  std::printf("%s: %zu fixes agree with GPSBabel (%zu rows without a fix left out)\n", image.file,
              theirs.size(), noFixRows);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MtkLogAgainstGpsbabel,
    ::testing::Values(Image{"mtk_logger.bin", "mtk-bin", LogLayout::Mtk},
                      Image{"mtk_logger_m241.bin", "m241-bin", LogLayout::HoluxM241},
                      Image{"mtk_logger_gp245.bin", "m241-bin", LogLayout::HoluxGr245}));

}  // namespace
}  // namespace logwell::mtk
