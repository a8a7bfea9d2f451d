#include "track/formats/dat_track.h"

#include <vector>

#include "base/ui.h"
#include "geo/projection.h"
#include "track/formats/format_text.h"
#include "track/formats/track_file_io.h"
#include "track/formats/track_reader_messages.h"

namespace logwell {
namespace {

constexpr std::size_t kHeaderWords = 4;
constexpr std::size_t kMaxCommandLineName = 256;

std::uint32_t WordAt(std::string_view bytes, std::size_t index) {
  const auto byte = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[index * 4 + i]));
  };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

std::int32_t SignedAltitude(std::uint32_t word) {
  const std::uint32_t low = word & 0x00FFFFFFu;
  return (low & 0x00800000u) ? static_cast<std::int32_t>(low) - 0x01000000
                             : static_cast<std::int32_t>(low);
}

}  // namespace

std::uint32_t DatValidationHash(std::span<const std::uint32_t> words) {
  std::uint64_t h = 0;
  for (std::uint32_t word : words) {
    for (int bit = 0; bit < 32; ++bit) {
      h = h * 2 + (word >> 31);
      word <<= 1;
      if (h >= kDatValidationModulus) h -= kDatValidationModulus;
    }
  }
  return static_cast<std::uint32_t>(h);
}

std::optional<FileReadResult> ReadDatTrack(std::string_view bytes, Ui& ui) {
  const auto fail = [&ui](std::string_view message) -> std::optional<FileReadResult> {
    ui.ShowErrorBox(message, kDecodingTrackLogCaption);
    return std::nullopt;
  };
  if (bytes.size() < kHeaderWords * 4) return fail("File header too small");
  if (bytes.size() % 4 != 0) return fail("File size not a multiple of 4");
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool withAltitude = byteAt(4) != 0;
  const std::uint64_t count = WordAt(bytes, 2);
  if (count == 0) return fail("Zero track positions");
  const int zone = byteAt(14);
  const char band = static_cast<char>(byteAt(15));
  // The fourth word carries the zone and band; a zone outside 1..60 cannot be projected back.
  if (byteAt(12) < 128 || zone < 1 || zone > 60) return fail("Bad DWORD number 4");

  const std::uint64_t recordWords = withAltitude ? 4 : 3;
  const std::uint64_t words = bytes.size() / 4;
  const std::uint64_t dataWords = kHeaderWords + count * recordWords;  // no overflow: count < 2^32
  if (words != dataWords + 1 && words != dataWords + 2) {
    return fail("File size not consistent with track positions");
  }
  const bool hasValidationWord = words == dataWords + 2;

  std::vector<std::uint32_t> checked(static_cast<std::size_t>(dataWords + 1));
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < checked.size(); ++i) {
    checked[i] = WordAt(bytes, i);
    sum += checked[i];
  }
  if (sum != 0) return fail("Checksum verification failed");
  if (hasValidationWord) {
    const std::uint32_t validation = WordAt(bytes, checked.size());
    if (validation + DatValidationHash(checked) + 1u != 0) return fail("Data validation failed");
  }

  FileReadResult result;
  if (!ReserveTrackPoints(result.points, static_cast<std::size_t>(count))) {
    return fail(TrackPointsFailure(static_cast<std::size_t>(count)));
  }
  for (std::uint64_t record = 0; record < count; ++record) {
    const std::size_t first = static_cast<std::size_t>(kHeaderWords + record * recordWords);
    TrackPoint point;
    StoreInstrumentTime(point, checked[first]);
    UtmPosition utm;
    utm.easting = static_cast<std::int32_t>(checked[first + 1]);
    utm.northing = static_cast<std::int32_t>(checked[first + 2]);
    utm.zone = zone;
    utm.band = band;
    const SemicirclePoint position = ToSemicirclePoint(UtmToGeo(utm));
    point.latitude = position.latitude;
    point.longitude = position.longitude;
    if (withAltitude) point.gpsAltitude = SignedAltitude(checked[first + 3]);
    point.segmentStart = record == 0 ? 1 : 0;
    result.points.push_back(point);
  }
  return result;
}

std::optional<FileReadResult> ReadDatLogFile(std::string_view nameWithoutExtension, Ui& ui) {
  std::string name(nameWithoutExtension);
  name += ".dat";
  if (name.size() > kMaxCommandLineName) {
    ui.ShowErrorBox("File name too long", kDecodingTrackLogCaption);
    return std::nullopt;
  }
  ui.ShowStatus("Reading .dat log file");
  const std::optional<std::string> bytes = ReadTrackFileBytes(name, ui);
  if (!bytes) return std::nullopt;
  return ReadDatTrack(*bytes, ui);
}

}  // namespace logwell
