#include "track/formats/mps_track.h"

#include <bit>
#include <cstring>

#include "base/ui.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::string_view kMagic{"MsRcd\0", 6};
constexpr std::string_view kTrackName = "Logwell track log source   ";  // 27 characters
constexpr std::uint32_t kUnixToGarmin = 631065600;
static_assert(kTrackName.size() == 27);

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}
void PutU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}
void PutDouble(std::string& out, double value) {
  PutU32(out, 0);  // room, filled below
  PutU32(out, 0);
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) {
    out[out.size() - 8 + static_cast<std::size_t>(i)] = static_cast<char>(bits >> (8 * i) & 0xFF);
  }
}

// Reads little-endian values with bounds checks; the offset reached names a failure.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  std::size_t offset() const { return offset_; }
  std::size_t left() const { return bytes_.size() - offset_; }
  bool Skip(std::uint64_t count) {
    if (count > left()) return false;
    offset_ += static_cast<std::size_t>(count);
    return true;
  }
  std::optional<std::uint8_t> U8() {
    if (left() < 1) return std::nullopt;
    return static_cast<std::uint8_t>(bytes_[offset_++]);
  }
  std::optional<std::uint32_t> U32() {
    if (left() < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[offset_++])) << (8 * i);
    }
    return value;
  }
  std::optional<double> Double() {
    if (left() < 8) return std::nullopt;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
      bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[offset_++])) << (8 * i);
    }
    return std::bit_cast<double>(bits);
  }
  std::string_view Rest() const { return bytes_.substr(offset_); }

 private:
  std::string_view bytes_;
  std::size_t offset_ = 0;
};

// Whole metres of the stored double, times ten; values no altitude can have give 0.
std::int32_t AltitudeDecimetres(double metres) {
  if (!(metres > -1.0e6 && metres < 1.0e6)) return 0;
  return static_cast<std::int32_t>(metres) * 10;
}

// One 'T' record whose type byte has been read; `length` is its length field.
bool ReadTrackRecord(ByteReader& in, std::uint32_t length, std::vector<TrackPoint>& points) {
  const std::string_view rest = in.Rest();
  const std::size_t nameLength = rest.find('\0');
  if (nameLength == std::string_view::npos || !in.Skip(nameLength + 1) || !in.Skip(5)) return false;
  const auto count = in.U32();
  if (!count) return false;
  if (static_cast<std::uint64_t>(length) !=
      std::uint64_t{kMpsPointBytes} * *count + 10 + nameLength) {
    return false;
  }
  if (std::uint64_t{kMpsPointBytes} * *count > in.left()) return false;
  for (std::uint32_t i = 0; i < *count; ++i) {
    TrackPoint point;
    point.latitude = static_cast<std::int32_t>(*in.U32());
    point.longitude = static_cast<std::int32_t>(*in.U32());
    const std::uint8_t hasAltitude = *in.U8();
    const double metres = *in.Double();
    if (hasAltitude == 1) point.gpsAltitude = AltitudeDecimetres(metres);
    const std::uint8_t hasTime = *in.U8();
    const std::uint32_t unixTime = *in.U32();
    if (hasTime == 1 && unixTime >= kUnixToGarmin) point.time = unixTime - kUnixToGarmin;
    in.Skip(9);
    point.segmentStart = i == 0 ? 1 : 0;
    if (!AppendTrackPoint(points, point)) return false;
  }
  return true;
}

}  // namespace

std::string MpsHeader() {
  std::string out(kMagic);
  PutU32(out, 2);
  out += 'D';
  out += 'i';  // version 105
  out += '\0';
  PutU32(out, 27);
  out += 'A';
  PutU16(out, 504);
  out.append("SQA\0", 4);
  out.append("Nov  6 2003\0", 12);
  out.append("16:01:32\0", 9);
  return out;
}

std::string MpsEndRecord() {
  std::string out;
  PutU32(out, 2);
  out += 'V';
  out += '\0';
  out += '\x01';
  return out;
}

std::string WriteMpsTrack(std::span<const TrackPoint> points) {
  std::string out = MpsHeader();
  const auto count = static_cast<std::uint32_t>(points.size());
  out.reserve(out.size() + 50 + points.size() * kMpsPointBytes);
  PutU32(out, kMpsPointBytes * count + 37);
  out += 'T';
  out += kTrackName;
  out += '\0';
  out.append("\x01\0\0\0\0", 5);
  PutU32(out, count);
  for (const TrackPoint& p : points) {
    PutU32(out, static_cast<std::uint32_t>(p.latitude));
    PutU32(out, static_cast<std::uint32_t>(p.longitude));
    out += '\x01';
    PutDouble(out, p.gpsAltitude * 0.1);
    out += '\x01';
    PutU32(out, p.time + kUnixToGarmin);
    out.append(9, '\0');
  }
  out += MpsEndRecord();
  return out;
}

std::optional<FileReadResult> ReadMpsTrack(std::string_view bytes, Ui& ui) {
  ByteReader in(bytes);
  FileReadResult result;
  const auto fail = [&]() -> std::optional<FileReadResult> {
    ui.ShowErrorBox(FormatText("File format error at %08zxh", in.offset()),
                    kDecodingMapSourceCaption);
    return std::nullopt;
  };
  const auto refuse = [&](std::string_view message) -> std::optional<FileReadResult> {
    ui.ShowErrorBox(message, kDecodingMapSourceCaption);
    return std::nullopt;
  };
  if (!bytes.starts_with(kMagic) || !in.Skip(kMagic.size())) return refuse("Not a MapSource file");
  // The version record: 'd' (100) to 'i' (105).
  const auto versionLength = in.U32();
  const auto versionType = in.U8();
  if (!versionLength || !versionType || *versionType != 'D' || *versionLength < 2) return fail();
  const auto version = in.U8();
  if (!version) return fail();
  if (*version < 'd' || *version > 'i') return refuse("Unsupported MapSource version");
  if (!in.Skip(*versionLength - 1)) return fail();
  // The application record is passed over whatever it holds.
  const auto appLength = in.U32();
  if (!appLength || !in.U8() || !in.Skip(*appLength)) return fail();
  while (true) {
    const auto length = in.U32();
    const auto type = in.U8();
    if (!length || !type) return fail();
    if (*type == 'V') {
      if (!in.Skip(*length) || in.left() != 0) return fail();
      break;
    }
    if (*type == 'T') {
      if (!ReadTrackRecord(in, *length, result.points)) return fail();
    } else if (!in.Skip(*length)) {
      return fail();
    }
  }
  // Every track record opened a segment; the log as a whole starts with the first one.
  return result;
}

}  // namespace logwell
