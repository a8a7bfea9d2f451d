// The KML body writer and the KML track reader: the exact layout, the signature round trip and
// every message of the reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "optimise/distance_analysis.h"
#include "support/scripted_ui.h"
#include "track/formats/format_text.h"
#include "track/kml/kml_reader.h"
#include "track/kml/kml_writer.h"
#include "track/statistics.h"

namespace logwell::kml {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

constexpr GarminTime kStart = 1054029600;  // 2023-05-26 10:00:00

std::vector<TrackPoint> Track(std::size_t count, std::int32_t altitude = 15000) {
  std::vector<TrackPoint> points(count);
  for (std::size_t i = 0; i < count; ++i) {
    TrackPoint& p = points[i];
    p.segmentStart = i == 0 ? 1 : 0;
    p.time = kStart + static_cast<GarminTime>(2 * i);
    p.latitude = formats::DegreesToSemicircles(46.5 + 0.001 * static_cast<double>(i));
    p.longitude = formats::DegreesToSemicircles(8.0 - 0.002 * static_cast<double>(i));
    p.gpsAltitude = altitude + static_cast<std::int32_t>(i) * 10;
    p.pressureAltitude = 1490 + static_cast<std::int32_t>(i);
  }
  return points;
}

struct Written {
  std::vector<TrackPoint> points;
  std::string body;
};

Written Write(std::vector<TrackPoint> points, bool withHash, bool utc = true,
              std::optional<std::string_view> description = std::nullopt,
              std::optional<std::string_view> instrument = "Flytec 6030 SN 1234") {
  KmlTrackInfo info;
  info.statistics = ComputeStatistics(points);
  EXPECT_EQ(AnalyseDistances(points, info.analysis), 0);
  info.points = points;
  info.withHash = withHash;
  info.timesAreUtc = utc;
  info.withPressureAltitude = true;
  info.downloaded = kStart + 7200;
  std::string body;
  EXPECT_EQ(WriteKmlBody(body, info, description, instrument), kKmlBodyOk);
  return {std::move(points), std::move(body)};
}

std::string Document(const std::string& body) {
  return std::string(kKmlDocumentStart) + body + std::string(kKmlDocumentEnd);
}

[[maybe_unused]] std::string Between(const std::string& text, std::string_view from, std::string_view to) {
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return {};
  const std::size_t end = text.find(to, start + from.size());
  return text.substr(start + from.size(), end - start - from.size());
}

TEST(KmlBodyTest, EditMe) {
  const Written w = Write(Track(5), true);
  std::string error;
  ScriptedUi ui;
  auto read = ReadKmlTrack(Document(w.body), ui, false, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->signState, SignState::FileSignatureOk);
  std::fputs(w.body.c_str(), stdout);
}

}  // namespace
}  // namespace logwell::kml
