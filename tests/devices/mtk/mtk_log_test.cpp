// The log memory parser on small images built here: the layouts, the separators, and the
// damaged memory a logger can leave behind.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devices/mtk/mtk_log.h"

namespace logwell::mtk {
namespace {

constexpr std::uint32_t kMask = 0x1F;  // time, fix quality, latitude, longitude, height

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> Header(std::uint32_t mask) {
  std::vector<std::uint8_t> image(kHeaderSize, 0xFF);
  image[0] = image[1] = 0xFF;
  std::memcpy(&image[2], &mask, 4);  // little-endian host
  image[0x1FA] = '*';
  for (int i = 0x1FC; i < 0x200; ++i) image[i] = 0xBB;
  return image;
}

void Record(std::vector<std::uint8_t>& image, std::uint32_t time, std::uint16_t valid,
            double lat, double lon, float height) {
  std::vector<std::uint8_t> r;
  Put32(r, time);
  r.push_back(static_cast<std::uint8_t>(valid));
  r.push_back(static_cast<std::uint8_t>(valid >> 8));
  for (double d : {lat, lon}) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    Put32(r, static_cast<std::uint32_t>(bits));
    Put32(r, static_cast<std::uint32_t>(bits >> 32));
  }
  Put32(r, std::bit_cast<std::uint32_t>(height));
  std::uint8_t sum = 0;
  for (auto b : r) sum ^= b;
  r.push_back('*');
  r.push_back(sum);
  image.insert(image.end(), r.begin(), r.end());
}

void Separator(std::vector<std::uint8_t>& image, std::uint8_t type, std::uint32_t value) {
  image.insert(image.end(), 7, 0xAA);
  image.push_back(type);
  Put32(image, value);
  image.insert(image.end(), 4, 0xBB);
}

LogParse Parse(std::vector<std::uint8_t> image) {
  image.resize(kSectorSize, 0xFF);
  return ParseLog(image);
}

TEST(MtkLog, ReadsFixesDropsInvalidOnesAndStartsSegmentsAtLoggerOn) {
  auto image = Header(kMask);
  Record(image, 1200000000, 0x0002, 46.5, 7.25, 1234.5f);
  Record(image, 1200000005, 0x0001, 46.6, 7.35, 1000.0f);  // no fix: never a point
  Separator(image, 7, 0x0106);                              // logger switched on again
  Record(image, 1200000100, 0x0004, -33.75, -70.5, -12.25f);
  const LogParse parse = Parse(image);
  ASSERT_EQ(parse.status, LogStatus::Ok);
  EXPECT_EQ(parse.invalidFixes, 1u);
  ASSERT_EQ(parse.fixes.size(), 2u);
  EXPECT_TRUE(parse.fixes[0].segmentStart);
  EXPECT_TRUE(parse.fixes[1].segmentStart);
  EXPECT_DOUBLE_EQ(parse.fixes[1].latitude, -33.75);
  const auto points = ToTrackPoints(parse.fixes);
  EXPECT_EQ(points[0].gpsAltitude, 12345);
  EXPECT_EQ(points[1].gpsAltitude, -123);
  EXPECT_EQ(points[0].time, 1200000000u - 631065600u);
}

TEST(MtkLog, MaskChangeSeparatorChangesTheBlockLayout) {
  auto image = Header(0x0C);  // positions only
  Separator(image, 2, kMask);
  Record(image, 1200000000, 0x0002, 1.0, 2.0, 3.0f);
  const LogParse parse = Parse(image);
  ASSERT_EQ(parse.fixes.size(), 1u);
  EXPECT_TRUE(parse.fixes[0].hasTime);
}

TEST(MtkLog, DamagedMemory) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
    LogStatus status;
    std::size_t fixes;
    std::size_t bad;
  };
  std::vector<Case> cases;
  {
    auto image = Header(kMask);
    image[0x1FA] = 0;  // header marker missing
    Record(image, 1200000000, 2, 1, 2, 3);
    cases.push_back({"bad header", image, LogStatus::BadHeader, 0, 0});
  }
  {
    auto image = Header(kMask | (1u << 24));  // a field of unknown size
    Record(image, 1200000000, 2, 1, 2, 3);
    cases.push_back({"unknown field", image, LogStatus::BadHeader, 0, 0});
  }
  {
    auto image = Header(kMask);
    Record(image, 1200000000, 2, 1, 2, 3);
    Record(image, 1200000001, 2, 1, 2, 3);
    image[0x200 + 30 + 6] ^= 0x40;  // second block: a latitude bit flipped
    cases.push_back({"checksum", image, LogStatus::Ok, 1, 1});
  }
  {
    auto image = Header(kMask);
    Record(image, 1200000000, 2, 1, 2, 3);
    image[image.size() - 2] = 0x00;  // star never written
    Record(image, 1200000001, 2, 1, 2, 3);
    cases.push_back({"missing star", image, LogStatus::Ok, 1, 1});
  }
  {
    auto image = Header(kMask);
    Record(image, 1200000000, 2, 95.0, 2, 3);  // impossible latitude, checksum fine
    cases.push_back({"latitude range", image, LogStatus::NoPoints, 0, 1});
  }
  {
    auto image = Header(kMask);
    Record(image, 1200000000, 1, 1, 2, 3);
    cases.push_back({"only invalid fixes", image, LogStatus::NoPoints, 0, 0});
  }
  {
    auto image = Header(kMask);
    Separator(image, 2, 0x2000 | kMask);  // satellite list
    image.insert(image.end(), {1, 2, 3, 4, 5});
    image.insert(image.end(), {0x10, 1, 40, 0});  // satellite count 40
    cases.push_back({"satellite count", image, LogStatus::NoPoints, 0, 1});
  }
  cases.push_back({"too short", std::vector<std::uint8_t>(100, 0xFF), LogStatus::BadHeader, 0, 0});
  for (const Case& c : cases) {
    const LogParse parse = c.image.size() < kHeaderSize ? ParseLog(c.image) : Parse(c.image);
    EXPECT_EQ(parse.status, c.status) << c.what;
    EXPECT_EQ(parse.fixes.size(), c.fixes) << c.what;
    EXPECT_EQ(parse.badRecords, c.bad) << c.what;
  }
}

TEST(MtkLog, SecondSectorWithoutHeaderIsABadHeader) {
  auto image = Header(kMask);
  Record(image, 1200000000, 2, 1, 2, 3);
  image.resize(kSectorSize, 0xFF);
  image.resize(2 * kSectorSize, 0x00);  // written, but no header
  const LogParse parse = ParseLog(image);
  EXPECT_EQ(parse.status, LogStatus::BadHeader);
  EXPECT_EQ(parse.badOffset, kSectorSize);
  EXPECT_TRUE(parse.fixes.empty());
}

}  // namespace
}  // namespace logwell::mtk
