#include "track/formats/mps_track.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "test_flight.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(MpsTrack, WritesHeaderTrackRecordPointsAndEnd) {
  const auto flight = testing::MakeFlight(3);
  const std::string bytes = WriteMpsTrack(flight);
  const std::string header = MpsHeader();
  ASSERT_EQ(header.size(), 45u);
  EXPECT_EQ(header.substr(0, 13), std::string("MsRcd\0\x02\0\0\0Di\0", 13));
  EXPECT_EQ(header.substr(13), std::string("\x1b\0\0\0A\xf8\x01SQA\0Nov  6 2003\0" "16:01:32\0", 32));
  EXPECT_EQ(bytes.substr(0, 45), header);
  EXPECT_EQ(U32At(bytes, 45), 31u * 3 + 37);
  EXPECT_EQ(bytes.substr(49, 1 + 28 + 5), std::string("TLogwell track log source   \0\x01\0\0\0\0", 34));
  EXPECT_EQ(U32At(bytes, 83), 3u);
  const std::size_t point = 87;
  EXPECT_EQ(U32At(bytes, point), static_cast<std::uint32_t>(flight[0].latitude));
  EXPECT_EQ(bytes[point + 8], '\x01');
  EXPECT_EQ(bytes[point + 17], '\x01');
  EXPECT_EQ(U32At(bytes, point + 18), flight[0].time + 631065600u);
  EXPECT_EQ(bytes.size(), 87u + 3 * 31 + 7);
  EXPECT_TRUE(bytes.ends_with(std::string("\x02\0\0\0V\0\x01", 7)));
}

TEST(MpsTrack, RoundTripsAFlight) {
  const auto flight = testing::MakeFlight(100);
  ScriptedUi ui;
  const auto read = ReadMpsTrack(WriteMpsTrack(flight), ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), flight.size());
  for (std::size_t i = 0; i < flight.size(); ++i) {
    EXPECT_EQ(read->points[i].latitude, flight[i].latitude);
    EXPECT_EQ(read->points[i].longitude, flight[i].longitude);
    EXPECT_EQ(read->points[i].time, flight[i].time);
    EXPECT_EQ(read->points[i].gpsAltitude, flight[i].gpsAltitude / 10 * 10);  // whole metres
  }
}

TEST(MpsTrack, EveryTrackRecordStartsASegment) {
  const auto flight = testing::MakeFlight(4);
  std::string two = WriteMpsTrack(std::span(flight).first(2));
  const std::string second = WriteMpsTrack(std::span(flight).subspan(2));
  two.resize(two.size() - 7);                         // drop the end record
  two += second.substr(45);                           // the other track record and the end
  ScriptedUi ui;
  const auto read = ReadMpsTrack(two, ui);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), 4u);
  EXPECT_EQ(read->points[2].segmentStart, 1u);
  EXPECT_EQ(read->points[3].segmentStart, 0u);
}

TEST(MpsTrack, RefusesDamagedFiles) {
  const std::string good = WriteMpsTrack(testing::MakeFlight(2));
  const auto message = [](const std::string& bytes) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadMpsTrack(bytes, ui));
    EXPECT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes().at(0).caption, "Decoding MapSource file");
    return ui.Boxes().at(0).text;
  };
  EXPECT_EQ(message("MsRcx"), "Not a MapSource file");
  std::string version = good;
  version[11] = 'j';
  EXPECT_EQ(message(version), "Unsupported MapSource version");
  EXPECT_EQ(message(good + "x"), "File format error at 0000009ch");
  EXPECT_EQ(message(good.substr(0, good.size() - 7)), "File format error at 00000095h");
  std::string length = good;
  length[45] += 1;  // the track record's length no longer fits its point count
  EXPECT_EQ(message(length), "File format error at 00000057h");
}

}  // namespace
}  // namespace logwell
