#include "track/formats/dat_track.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "geo/projection.h"
#include "support/scripted_ui.h"
#include "track/formats/format_text.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

struct DatRecord {
  std::uint32_t time, easting, northing;
  std::int32_t altitude;
};

// Builds a file the way the web logbook wrote them: header, records, checksum word that makes
// the words sum to 0, and optionally the validation word.
std::vector<std::uint32_t> DatWords(const std::vector<DatRecord>& records, bool withAltitude,
                                    bool withValidation) {
  std::vector<std::uint32_t> words = {0x12345678u, withAltitude ? 0x01000000u : 0u,
                                      static_cast<std::uint32_t>(records.size()),
                                      0x80000000u | 32u << 8 | 'T'};
  for (const DatRecord& r : records) {
    words.insert(words.end(), {r.time, r.easting, r.northing});
    if (withAltitude) words.push_back(static_cast<std::uint32_t>(r.altitude) & 0x00FFFFFFu);
  }
  std::uint32_t sum = 0;
  for (const std::uint32_t w : words) sum += w;
  words.push_back(0u - sum);
  if (withValidation) words.push_back(~DatValidationHash(words));
  return words;
}

std::string Bytes(const std::vector<std::uint32_t>& words) {
  std::string bytes;
  for (const std::uint32_t w : words) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(w >> shift & 0xFF));
  }
  return bytes;
}

const std::vector<DatRecord> kRecords = {{1000000u, 412345u, 5151234u, 1234},
                                         {1000001u, 412350u, 5151240u, -56},
                                         {1000002u, 412355u, 5151250u, 0}};

TEST(DatTrack, ReadsAllFourLayoutsOfTheirExactSize) {
  for (const bool withAltitude : {false, true}) {
    for (const bool withValidation : {false, true}) {
      const std::string bytes = Bytes(DatWords(kRecords, withAltitude, withValidation));
      const std::size_t n = kRecords.size();
      EXPECT_EQ(bytes.size(), (withAltitude ? 20 + 16 * n : 20 + 12 * n) + (withValidation ? 4 : 0));
      ScriptedUi ui;
      const auto read = ReadDatTrack(bytes, ui);
      ASSERT_TRUE(read) << ui.Boxes().front().text;
      ASSERT_EQ(read->points.size(), n);
      const GeoPoint expected = UtmToGeo({412345.0, 5151234.0, 32, 'T'});
      EXPECT_EQ(read->points[0].latitude, RadiansToSemicircles(expected.latitude));
      EXPECT_EQ(read->points[0].longitude, RadiansToSemicircles(expected.longitude));
      EXPECT_NEAR(formats::SemicirclesToDegrees(read->points[0].latitude), 46.51, 0.01);
      EXPECT_EQ(read->points[1].time, 1000001u);
      EXPECT_EQ(read->points[1].gpsAltitude, withAltitude ? -56 : 0);
      EXPECT_EQ(read->points[0].segmentStart, 1u);
      EXPECT_EQ(read->points[2].segmentStart, 0u);
    }
  }
}

TEST(DatTrack, RefusesDamagedFiles) {
  const auto message = [](const std::string& bytes) {
    ScriptedUi ui;
    EXPECT_FALSE(ReadDatTrack(bytes, ui));
    const auto boxes = ui.Boxes();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.at(0).caption, "Decoding track log file");
    return boxes.at(0).text;
  };
  const std::string good = Bytes(DatWords(kRecords, true, true));
  EXPECT_EQ(message(good.substr(0, 12)), "File header too small");
  EXPECT_EQ(message(good.substr(0, 22)), "File size not a multiple of 4");
  EXPECT_EQ(message(good.substr(0, good.size() - 12)), "File size not consistent with track positions");
  EXPECT_EQ(message(Bytes(DatWords({}, true, false))), "Zero track positions");

  auto words = DatWords(kRecords, true, true);
  words[3] &= 0x7FFFFFFFu;  // byte 12 below 128
  EXPECT_EQ(message(Bytes(words)), "Bad DWORD number 4");

  // A changed word breaks the sum even when the validation word is recomputed to match.
  words = DatWords(kRecords, true, false);
  words[5] += 1;
  words.push_back(~DatValidationHash(words));
  EXPECT_EQ(message(Bytes(words)), "Checksum verification failed");

  // Two words changed so that the sum still holds: only the validation word notices.
  words = DatWords(kRecords, true, true);
  words[5] += 1;
  words[6] -= 1;
  EXPECT_EQ(message(Bytes(words)), "Data validation failed");
}

TEST(DatTrack, ValidationHashFollowsTheBitwiseDefinition) {
  // H = (H * 2^32 + w) mod M for each word, computed here with 64-bit arithmetic.
  const std::vector<std::uint32_t> words = {0xFFFFFFFFu, 0x80000001u, 12345u, 0u, 0xDEADBEEFu};
  std::uint64_t h = 0;  // h < 2^31, so h * 2^32 + w fits
  for (const std::uint32_t w : words) h = ((h << 32) + w) % kDatValidationModulus;
  EXPECT_EQ(DatValidationHash(words), static_cast<std::uint32_t>(h));
}

TEST(DatTrack, CommandLineAppendsTheExtension) {
  const auto dir = std::filesystem::temp_directory_path() / "logwell_dat_test";
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir / "flight.dat", std::ios::binary);
    out << Bytes(DatWords(kRecords, false, true));
  }
  ScriptedUi ui;
  const auto read = ReadDatLogFile((dir / "flight").string(), ui);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 3u);
  EXPECT_EQ(ui.LastStatus(), "Reading .dat log file");
  EXPECT_FALSE(ReadDatLogFile(std::string(260, 'x'), ui));
  EXPECT_EQ(ui.Boxes().back().text, "File name too long");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logwell
