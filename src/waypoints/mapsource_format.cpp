// MapSource .mps files (binary, little-endian): "MsRcd", a header record with the format
// version, a product record, then records of length, type and data; 'W' records are waypoints
// and the 'V' record ends the file.
#include <array>
#include <bit>
#include <optional>
#include <cstring>

#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Decoding MapSource file";

// Reads fields within a limit (the end of the file or of the current record); every read past
// the limit fails and remembers where it happened.
class ByteReader {
 public:
  ByteReader(std::string_view bytes, std::size_t position, std::size_t limit)
      : bytes_(bytes), position_(position), limit_(std::min(limit, bytes.size())) {}

  std::size_t Position() const { return position_; }
  bool Failed() const { return failed_; }

  bool Skip(std::size_t count) {
    if (failed_ || count > limit_ - position_) return Fail();
    position_ += count;
    return true;
  }
  std::uint32_t U32() {
    std::uint32_t value = 0;
    if (!Skip(4)) return 0;
    for (int i = 0; i < 4; ++i) {
      value |= std::uint32_t{static_cast<unsigned char>(bytes_[position_ - 4 + i])} << (8 * i);
    }
    return value;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::uint8_t U8() {
    if (!Skip(1)) return 0;
    return static_cast<std::uint8_t>(bytes_[position_ - 1]);
  }
  double F64() {
    std::uint64_t raw = 0;
    if (!Skip(8)) return 0.0;
    for (int i = 0; i < 8; ++i) {
      raw |= std::uint64_t{static_cast<unsigned char>(bytes_[position_ - 8 + i])} << (8 * i);
    }
    return std::bit_cast<double>(raw);
  }
  // A NUL-terminated string (the NUL is consumed).
  std::string_view Text() {
    if (failed_) return {};
    const std::size_t end = bytes_.substr(0, limit_).find('\0', position_);
    if (end == std::string_view::npos) {
      Fail();
      return {};
    }
    const std::string_view text = bytes_.substr(position_, end - position_);
    position_ = end + 1;
    return text;
  }

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }
  std::string_view bytes_;
  std::size_t position_;
  std::size_t limit_;
  bool failed_ = false;
};

int FormatError(Ui& ui, std::size_t offset) {
  ui.ShowErrorBox(Printf("File format error at %08xh", static_cast<unsigned>(offset)), kCaption);
  return -1;
}

// The subclass lengths to try, the usual one of the version first. Real files of the middle
// versions also carry the 22-byte subclass of version 105, so the others are tried when the
// usual one does not end the record exactly.
std::array<std::size_t, 3> SubclassLengths(int version) {
  if (version == 100) return {17, 18, 22};
  if (version == 105) return {22, 18, 17};
  return {18, 22, 17};
}

// One 'W' record's data; false when it does not end exactly at the record's end.
bool ReadWaypointRecord(ByteReader& record, int version, std::size_t subclassLength,
                        std::size_t end, Waypoint& waypoint) {
  const std::string_view name = record.Text();
  waypoint.SetId(name.substr(0, Waypoint::kMaxIdLength));
  record.U32();   // class
  record.Text();  // country
  record.Skip(subclassLength);
  waypoint.latitude = record.I32();
  waypoint.longitude = record.I32();
  const std::uint8_t hasAltitude = record.U8();
  const double altitude = record.F64();
  if (hasAltitude == 1) waypoint.altitude = TruncateToInt32(altitude);
  waypoint.SetDescription(record.Text().substr(0, Waypoint::kMaxDescriptionLength));
  record.Skip(17);
  record.Skip(4);
  for (int i = 0; i < 3; ++i) record.Text();
  record.Skip(version == 100 ? 12 : 17);
  return !record.Failed() && record.Position() == end;
}

}  // namespace

int ReadMapSourceWaypoints(std::string_view bytes, WaypointReadContext& context,
                           std::vector<Waypoint>& waypoints) {
  Ui& ui = context.ui;
  if (bytes.size() < 12 || bytes.substr(0, 6) != std::string_view("MsRcd\0", 6) ||
      bytes[10] != 'D') {
    ui.ShowErrorBox("Not a MapSource file", kCaption);
    return -1;
  }
  const int version = static_cast<unsigned char>(bytes[11]);
  if (version < 'd' || version > 'i') {
    ui.ShowErrorBox("Unsupported MapSource version", kCaption);
    return -1;
  }
  const int versionNumber = version;  // 'd' is 100, 'i' is 105
  ByteReader file(bytes, 6, bytes.size());
  const std::uint32_t headerLength = file.U32();
  if (headerLength < 2 || !file.Skip(1 + std::size_t{headerLength})) {
    return FormatError(ui, file.Position());
  }
  const std::uint32_t productLength = file.U32();
  if (file.Failed() || !file.Skip(1 + std::size_t{productLength})) {
    return FormatError(ui, file.Position());
  }

  std::vector<Waypoint> read;
  while (true) {
    const std::size_t recordStart = file.Position();
    const std::uint32_t length = file.U32();
    const std::uint8_t type = file.U8();
    if (file.Failed()) return FormatError(ui, recordStart);
    const std::size_t dataStart = file.Position();
    if (length > bytes.size() - dataStart) return FormatError(ui, dataStart);
    const std::size_t dataEnd = dataStart + length;
    if (type == 'V') {
      if (dataEnd != bytes.size()) return FormatError(ui, dataEnd);
      break;
    }
    if (type == 'W') {
      Waypoint waypoint;
      std::optional<std::size_t> errorAt;
      for (std::size_t subclassLength : SubclassLengths(versionNumber)) {
        ByteReader record(bytes, dataStart, dataEnd);
        waypoint = Waypoint{};
        if (ReadWaypointRecord(record, versionNumber, subclassLength, dataEnd, waypoint)) {
          errorAt.reset();
          break;
        }
        if (!errorAt) errorAt = record.Position();  // reported for the usual layout
      }
      if (errorAt) return FormatError(ui, *errorAt);
      ReserveForOneMore(read, 30);
      read.push_back(waypoint);
    }
    file.Skip(length);
  }
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

namespace {

void AppendU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void AppendBytes(std::string& out, std::size_t count, char value) { out.append(count, value); }

}  // namespace

std::string WriteMapSourceWaypoints(std::span<const Waypoint> waypoints) {
  std::string out("MsRcd\0", 6);
  AppendU32(out, 2);
  out += std::string_view("Di\0", 3);
  AppendU32(out, 27);
  out.push_back('A');
  out += std::string_view("\xF8\x01\x00\x51\x41\x00", 6);
  out += std::string_view("Nov  6 2003\0", 12);
  out += std::string_view("16:01:32\0", 9);
  for (const Waypoint& waypoint : waypoints) {
    std::string data(waypoint.Id());
    data.push_back('\0');
    AppendBytes(data, 4, '\0');  // class
    data.push_back('\0');        // country
    AppendBytes(data, 4, '\0');  // subclass
    AppendBytes(data, 12, '\xFF');
    AppendBytes(data, 2, '\0');
    AppendBytes(data, 4, '\xFF');
    AppendU32(data, static_cast<std::uint32_t>(waypoint.latitude));
    AppendU32(data, static_cast<std::uint32_t>(waypoint.longitude));
    data.push_back('\x01');
    const auto altitude = std::bit_cast<std::uint64_t>(static_cast<double>(waypoint.altitude));
    for (int i = 0; i < 8; ++i) data.push_back(static_cast<char>((altitude >> (8 * i)) & 0xFF));
    data += waypoint.Description();
    data.push_back('\0');
    AppendBytes(data, 17, '\0');
    AppendU32(data, 18);
    AppendBytes(data, 20, '\0');
    AppendU32(out, static_cast<std::uint32_t>(data.size()));
    out.push_back('W');
    out += data;
  }
  AppendU32(out, 2);
  out += std::string_view("V\0\x01", 3);
  return out;
}

}  // namespace logwell
