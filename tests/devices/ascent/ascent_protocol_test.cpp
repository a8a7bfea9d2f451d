// The Ascent codec alone: message framing and its faults, the payloads, and the track memory
// both ways with its refusals.
#include <gtest/gtest.h>

#include "geo/units.h"
#include "wire/ascent/ascent_protocol.h"

namespace logwell::ascent {
namespace {

using Status = MessageAssembler::Status;

std::vector<Status> FeedAll(MessageAssembler& assembler, const std::vector<std::uint8_t>& bytes) {
  std::vector<Status> ends;
  for (const std::uint8_t byte : bytes) {
    const Status status = assembler.Feed(byte);
    if (status != Status::Pending) ends.push_back(status);
  }
  return ends;
}

TEST(AscentProtocol, MessagesFrameAndResynchronise) {
  const Message block{kBlockRequest | kAnswerBit, 0x0102, std::vector<std::uint8_t>(kBlockSize, 0x5A)};
  const std::vector<std::uint8_t> bytes = EncodeMessage(block);
  ASSERT_EQ(bytes.size(), kHeaderSize + kBlockSize + 1);
  EXPECT_EQ(bytes[2], 0x02);  // block number, low byte first
  EXPECT_EQ(bytes[3], 0x01);

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<Status> ends;
  };
  std::vector<std::uint8_t> changed = bytes;
  changed[100] ^= 0x01;
  std::vector<std::uint8_t> tooLong{kSync, 0x84, 0, 0, 0x01, 0x02};  // 513 bytes
  std::vector<std::uint8_t> noiseFirst{0x00, 0x13, 'x'};
  noiseFirst.insert(noiseFirst.end(), bytes.begin(), bytes.end());
  std::vector<std::uint8_t> afterTooLong = tooLong;
  afterTooLong.insert(afterTooLong.end(), bytes.begin(), bytes.end());
  const Case cases[] = {
      {"whole", bytes, {Status::Complete}},
      {"noise before the sync byte", noiseFirst, {Status::Complete}},
      {"changed payload byte", changed, {Status::BadChecksum}},
      {"length over 512", tooLong, {Status::BadLength}},
      {"a good message after a bad length", afterTooLong, {Status::BadLength, Status::Complete}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageAssembler assembler;
    EXPECT_EQ(FeedAll(assembler, c.bytes), c.ends);
    if (c.ends.back() == Status::Complete) {
      EXPECT_EQ(assembler.Current().id, block.id);
      EXPECT_EQ(assembler.Current().block, block.block);
      EXPECT_EQ(assembler.Current().payload, block.payload);
    }
  }
}

TEST(AscentProtocol, PayloadsAndTheirTexts) {
  const Product product{{0x00, 0x1A, 0x2B, 0x3C}, 1, 7, 2};
  const auto read = ReadProduct(ProductPayload(product));
  ASSERT_TRUE(read);
  EXPECT_EQ(ProductText(*read), "Ascent, SNR 001A2B3C, SW 1.7, HW 2");
  EXPECT_EQ(InstrumentId(*read), "Ascent: 001A2B3C");
  EXPECT_FALSE(ReadProduct(std::vector<std::uint8_t>(6)));
  const auto info = ReadMemoryInfo(MemoryInfoPayload({300, 4}));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->usedBlocks, 300);
  EXPECT_EQ(info->flights, 4);
  const TrackListEntry flight{CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 10, 0, 0, 0}), 5400};
  const auto back = ReadFlight(FlightPayload(flight));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->startTime, flight.startTime);
  EXPECT_EQ(back->durationSeconds, 5400u);
  std::vector<std::uint8_t> badMonth = FlightPayload(flight);
  badMonth[1] = 13;
  EXPECT_FALSE(ReadFlight(badMonth));
  EXPECT_EQ(ReadSectorsLeft(std::vector<std::uint8_t>{0x2C, 0x01}), 300);
  EXPECT_FALSE(ReadSectorsLeft(std::vector<std::uint8_t>{1}));
}

TEST(AscentProtocol, MemoryRoundTripsAndRefusesWhatItDoesNotUnderstand) {
  const GarminTime start = CalendarToGarminTime(CalendarTime{2024, 6, 0, 3, 23, 59, 50, 0});
  std::vector<TrackPoint> points(40);
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].time = start + static_cast<GarminTime>(i < 20 ? i : 3600 + i);  // past midnight
    points[i].segmentStart = i == 0 || i == 20 ? 1 : 0;
    points[i].latitude = DegreesToSemicircles(-33.9 + 0.001 * static_cast<double>(i));
    points[i].longitude = DegreesToSemicircles(18.4);
    points[i].gpsAltitude = 12340;
    points[i].pressureAltitude = 1220;
  }
  const std::vector<std::uint8_t> memory = EncodeMemory(points);
  EXPECT_EQ(memory.size() % kBlockSize, 0u);
  const MemoryDecode decoded = DecodeMemory(memory);
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  ASSERT_EQ(decoded.points.size(), points.size());
  ASSERT_EQ(decoded.flights.size(), 2u);
  EXPECT_EQ(decoded.flights[1].startTime, points[20].time);
  EXPECT_EQ(decoded.flights[1].durationSeconds, 19u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(decoded.points[i].time, points[i].time);
    EXPECT_EQ(decoded.points[i].segmentStart, points[i].segmentStart);
    EXPECT_NEAR(decoded.points[i].latitude, points[i].latitude, 200);
    EXPECT_EQ(decoded.points[i].gpsAltitude, 12340);
    EXPECT_EQ(decoded.points[i].pressureAltitude, 1220);
  }

  struct Case {
    const char* name;
    std::size_t at;
    std::uint8_t value;
    const char* message;
  };
  const Case cases[] = {
      {"unknown tag", 8, 0x42, "Unsupported record 0x42 at byte 8"},
      {"fix first", 0, kFixTag, "Unsupported record 0x11 at byte 0 (fix before flight start)"},
      {"day 0", 3, 0, "Unsupported record 0x10 at byte 0 (bad date)"},
      {"longitude beyond 180", 19, 0x40, "Unsupported record 0x11 at byte 8 (bad position)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> broken = memory;
    broken[c.at] = c.value;
    const MemoryDecode refused = DecodeMemory(broken);
    EXPECT_EQ(refused.error, c.message);
    EXPECT_TRUE(refused.points.empty());
  }
  const std::vector<std::uint8_t> cut(memory.begin(), memory.begin() + 20);
  EXPECT_EQ(DecodeMemory(cut).error, "Unsupported record 0x11 at byte 8 (cut short)");
}

}  // namespace
}  // namespace logwell::ascent
