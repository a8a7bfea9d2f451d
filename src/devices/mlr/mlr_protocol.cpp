#include "devices/mlr/mlr_protocol.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::mlr {
namespace {

constexpr std::size_t kIdWidth = Waypoint::kMaxIdLength;
constexpr std::size_t kDescriptionWidth = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// NMEA "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere: semicircles, or nothing.
std::optional<std::int32_t> Coordinate(std::string_view text, std::string_view hemisphere, char positive,
                                       char negative, int degreeDigits) {
  if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return std::nullopt;
  const std::size_t point = text.find('.');
  if (point != static_cast<std::size_t>(degreeDigits) + 2 || !IsDigitField(text.substr(0, point))) return std::nullopt;
  const std::string_view decimals = text.substr(point + 1);
  if (decimals.empty() || decimals.size() > 6 || !IsDigitField(decimals)) return std::nullopt;
  const int degrees = DigitFieldValue(text.substr(0, static_cast<std::size_t>(degreeDigits)));
  const double minutes = DigitFieldValue(text.substr(static_cast<std::size_t>(degreeDigits), 2)) +
                         DigitFieldValue(decimals) / std::pow(10.0, static_cast<double>(decimals.size()));
  const int limit = degreeDigits == 2 ? 90 : 180;
  if (minutes >= 60.0 || degrees > limit || (degrees == limit && minutes > 0.0)) return std::nullopt;
  const double value = degrees + minutes / 60.0;
  return DegreesToSemicircles(hemisphere[0] == negative ? -value : value);
}

std::string Unsupported(std::span<const std::string_view> fields) {
  std::string text = "Unsupported record ";
  for (std::size_t i = 0; i < fields.size() && text.size() < 60; ++i) {
    if (i > 0) text += ',';
    text += fields[i];
  }
  return std::string(CutBytes(text, 60));
}

bool IdCharacter(char c) { return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == ' ' || c == '-' || c == '_'; }

// Thousandths of a minute of an absolute coordinate, printed as degrees*100+minutes and the
// thousandths.
void SplitMilli(std::int32_t semicircles, long& whole, long& thousandths) {
  const long milli = std::labs(SemicirclesToMilliMinutes(semicircles));
  whole = milli / 60000 * 100 + milli / 1000 % 60;
  thousandths = milli % 1000;
}

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (const std::uint8_t b : bytes) value = value << 8 | b;
  return value;
}

// The tracklog counts seconds from 1980-01-06 00:00 GMT, without leap seconds (the document's
// worked example: 2000-06-21 14:00:00 is $267B8CE0); GarminTime from 1989-12-31 00:00.
constexpr std::uint32_t kTracklogEpochToGarminEpoch = 315100800;

constexpr std::size_t kHeaderSize = 4;  // 0x8B, number, 'T', 0x01
constexpr std::size_t kTrailerSize = 4;  // sum (MSB first), CR, LF
constexpr std::string_view kStartBody = "DEBUT";
constexpr std::string_view kEndBody = "FIN";

std::string FrameRefusal(std::span<const std::uint8_t> bytes) {
  std::string text = "Unsupported record (tracklog frame";
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) text += FormatText(" %02X", bytes[i]);
  return text + ")";
}

bool BodyIs(std::span<const std::uint8_t> bytes, std::string_view body) {
  if (bytes.size() != kHeaderSize + body.size() + kTrailerSize) return false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (bytes[kHeaderSize + i] != static_cast<std::uint8_t>(body[i])) return false;
  }
  return true;
}

// The whole length of the frame whose first bytes are `head`: 0 while more are needed, or
// nothing when they begin no frame of the document.
std::optional<std::size_t> FrameLength(std::span<const std::uint8_t> head) {
  if (head.size() >= 3 && head[2] != 'T') return std::nullopt;
  if (head.size() >= 4 && head[3] != 0x01) return std::nullopt;
  if (head.size() < 5) return 0;
  if (head[4] == kStartBody[0]) return kHeaderSize + kStartBody.size() + kTrailerSize;
  if (head[4] == kEndBody[0]) return kHeaderSize + kEndBody.size() + kTrailerSize;
  if (head[4] != 0x00) return std::nullopt;
  if (head.size() < 6) return 0;
  if (head[5] < 1 || head[5] > kMaxPointsPerFrame) return std::nullopt;
  return kHeaderSize + 2 + head[5] * kPointSize + kTrailerSize;
}

}  // namespace

std::uint16_t CommandSum(std::string_view head) {
  unsigned sum = 0;
  for (const char c : head) sum += static_cast<unsigned char>(c);
  return static_cast<std::uint16_t>(sum);
}

std::string Command(std::string_view head) {
  return std::string(head) + FormatText("%04X\r\n", static_cast<unsigned>(CommandSum(head)));
}

std::string TransferRequest(int what) { return Command(FormatText("$PMLR,59,%d,", what)); }

bool IsIdentityAnswer(std::span<const std::string_view> fields) {
  return fields.size() >= 2 && fields[0] == "$PMLR" && fields[1] == "IDGPS";
}

std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product) {
  // $PMLR,IDGPS,01,aaaaaa,bbbbbbbbb,cccccccccc,d.ddeeeeeeeff/ff/ff
  if (fields.size() != 7 || !IsIdentityAnswer(fields) || fields[2] != "01") return Unsupported(fields);
  const std::string_view tail = fields[6];
  const std::string_view model = Trim(fields[3], kSpacesAndTabs);
  if (model.empty() || tail.size() < 4 || !IsDigit(tail[0]) || tail[1] != '.' || !IsDigit(tail[2]) ||
      !IsDigit(tail[3])) {
    return Unsupported(fields);
  }
  product = ProductData{};
  product.model = std::string(model);
  product.name = std::string(Trim(fields[4], kSpacesAndTabs));
  product.serial = std::string(Trim(fields[5], kSpacesAndTabs));
  product.software = (tail[0] - '0') * 100 + (tail[2] - '0') * 10 + (tail[3] - '0');
  // The options are 7 characters and the date "ff/ff/ff" closes the field.
  if (tail.size() >= 4 + 7 + 8 && tail[tail.size() - 3] == '/' && tail[tail.size() - 6] == '/') {
    product.date = std::string(tail.substr(tail.size() - 8));
    product.options = std::string(Trim(tail.substr(4, tail.size() - 12), kSpacesAndTabs));
  } else {
    product.options = std::string(Trim(tail.substr(4), kSpacesAndTabs));
  }
  // The answer names no maker; units of the makers that license the protocol are told by a
  // model type that begins with the maker's name (our reading, not the document's).
  product.maker = "MLR";
  for (const std::string_view maker : {std::string_view("Digifl"), std::string_view("CPilot"), std::string_view("CoMo")}) {
    if (StartsWithIgnoringCase(model, maker)) product.maker = maker == "Digifl" ? "Digifly" : std::string(maker);
  }
  return std::nullopt;
}

std::string ProductText(const ProductData& product) {
  const int major = product.software / 100;
  const int minor = product.software % 100;
  if (product.maker == "Digifly") return FormatText("Digifly %s SW%d.%02d", product.model.c_str(), major, minor);
  if (product.maker == "CPilot") return FormatText("CPilot %s SW%d.%02d", product.model.c_str(), major, minor);
  if (product.maker == "CoMo") return FormatText("CoMo %s SW%d.%02d", product.model.c_str(), major, minor);
  return FormatText("MLR %s SW%d.%02d", product.model.c_str(), major, minor);
}

std::uint16_t FrameSum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (const std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint16_t>(sum);
}

std::optional<std::string> DecodePoint(std::span<const std::uint8_t> bytes, std::uint16_t& number, TrackPoint& point) {
  if (bytes.size() != kPointSize) return FrameRefusal(bytes);
  number = static_cast<std::uint16_t>(BigEndian(bytes.subspan(0, 2)));
  const std::uint32_t seconds = BigEndian(bytes.subspan(2, 4));
  // 2^32 per full turn is 2^31 per half turn: the value is a position in semicircles, west and
  // south as 360 degrees less their value (two's complement).
  const auto latitude = static_cast<std::int32_t>(BigEndian(bytes.subspan(6, 4)));
  const auto longitude = static_cast<std::int32_t>(BigEndian(bytes.subspan(10, 4)));
  // Three bytes of decimetres; read as two's complement, which loses nothing (altitudes of 838 km
  // and more cannot occur) and keeps a fix below sea level.
  std::int32_t decimetres = static_cast<std::int32_t>(BigEndian(bytes.subspan(14, 3)));
  if (decimetres >= 0x800000) decimetres -= 0x1000000;
  const std::uint8_t flags = bytes[17];
  constexpr std::int32_t kQuarterTurn = 1 << 30;
  if (number == 0 || seconds < kTracklogEpochToGarminEpoch || flags > 1 || latitude > kQuarterTurn ||
      latitude < -kQuarterTurn) {
    return FrameRefusal(bytes);
  }
  point = TrackPoint{};
  point.time = seconds - kTracklogEpochToGarminEpoch;
  point.latitude = latitude;
  point.longitude = longitude;
  point.gpsAltitude = decimetres;
  point.segmentStart = flags;
  return std::nullopt;
}

std::optional<std::string> DecodeFrame(std::span<const std::uint8_t> bytes, TrackFrame& frame) {
  const auto length = bytes.empty() || bytes[0] != kFrameStart ? std::nullopt : FrameLength(bytes);
  if (!length || *length != bytes.size()) return FrameRefusal(bytes);
  const std::size_t sumAt = bytes.size() - kTrailerSize;
  if (BigEndian(bytes.subspan(sumAt, 2)) != FrameSum(bytes.first(sumAt))) return "E205 Bad checksum";
  if (bytes[sumAt + 2] != '\r' || bytes[sumAt + 3] != '\n') return FrameRefusal(bytes);
  frame = TrackFrame{};
  frame.number = bytes[1];
  if (BodyIs(bytes, kStartBody)) {
    frame.kind = TrackFrame::Kind::Start;
  } else if (BodyIs(bytes, kEndBody)) {
    frame.kind = TrackFrame::Kind::End;
  } else {
    frame.kind = TrackFrame::Kind::Points;
    for (std::size_t at = kHeaderSize + 2; at < sumAt; at += kPointSize) {
      std::uint16_t number = 0;
      TrackPoint point;
      if (auto refusal = DecodePoint(bytes.subspan(at, kPointSize), number, point)) return refusal;
      frame.points.push_back(point);
    }
  }
  return std::nullopt;
}

TracklogReader::Status TracklogReader::Feed(std::uint8_t byte) {
  if (frame_.empty() && byte != kFrameStart) {
    if (!started_) return Status::More;  // whatever came before the first frame
    fault_ = FrameRefusal(std::span<const std::uint8_t>(&byte, 1));
    return Status::Fault;
  }
  frame_.push_back(byte);
  if (length_ == 0) {
    const auto length = FrameLength(frame_);
    if (!length && !started_) {
      // Noise before the first frame (a rate change can leave some) may hold a 0x8B: look for
      // the start again from the byte after it.
      const std::vector<std::uint8_t> rest(frame_.begin() + 1, frame_.end());
      frame_.clear();
      for (const std::uint8_t b : rest) {
        if (const Status status = Feed(b); status != Status::More) return status;
      }
      return Status::More;
    }
    if (!length) {
      fault_ = FrameRefusal(frame_);
      return Status::Fault;
    }
    length_ = *length;
  }
  return length_ != 0 && frame_.size() == length_ ? Frame() : Status::More;
}

TracklogReader::Status TracklogReader::Frame() {
  TrackFrame frame;
  auto refusal = DecodeFrame(frame_, frame);
  if (!refusal && (frame.kind == TrackFrame::Kind::Start) != !started_) refusal = FrameRefusal(frame_);
  if (!refusal && frame.number != expected_) {
    refusal = FormatText("Transfer incomplete (frame %d missing)", static_cast<int>(expected_));
  }
  frame_.clear();
  length_ = 0;
  if (refusal) {
    fault_ = std::move(*refusal);
    return Status::Fault;
  }
  started_ = true;
  ++expected_;
  points_.insert(points_.end(), frame.points.begin(), frame.points.end());
  return frame.kind == TrackFrame::Kind::End ? Status::Done : Status::More;
}

std::optional<int> ParseTransferCount(std::span<const std::string_view> fields) {
  if (fields.size() != 3 || fields[0] != "$PMLR" || fields[1] != "59") return std::nullopt;
  if (fields[2].size() > 6 || !IsDigitField(fields[2])) return std::nullopt;
  return DigitFieldValue(fields[2]);
}

std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, Waypoint& waypoint) {
  if (fields.size() != 6 || fields[0] != "$GPWPL") return Unsupported(fields);
  const auto latitude = Coordinate(fields[1], fields[2], 'N', 'S', 2);
  const auto longitude = Coordinate(fields[3], fields[4], 'E', 'W', 3);
  const std::string_view name = fields[5];
  if (!latitude || !longitude || name.empty()) return Unsupported(fields);
  waypoint = Waypoint{};
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  if (name.size() > kIdWidth && name[kIdWidth] == '0') {
    waypoint.SetId(Trim(name.substr(0, kIdWidth), kSpacesAndTabs));
    waypoint.SetDescription(Trim(name.substr(kIdWidth + 1), kSpacesAndTabs));
  } else {
    waypoint.SetId(Trim(CutBytes(name, kIdWidth), kSpacesAndTabs));
    waypoint.SetDescription(Trim(name, kSpacesAndTabs));
  }
  return std::nullopt;
}

int WaypointSentence(const Waypoint& waypoint, std::string& sentence) {
  std::string id = UpperCase(std::string(Trim(waypoint.Id(), kSpacesAndTabs)));
  if (id.empty()) return -306;
  for (const char c : id) {
    if (!IdCharacter(c)) return -305;
  }
  id.resize(kIdWidth, ' ');
  std::string description(CutBytes(waypoint.Description(), kDescriptionWidth));
  for (char& c : description) {
    if (c == ',' || c == '*' || c == '$' || static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  long lat = 0, latMilli = 0, lon = 0, lonMilli = 0;
  SplitMilli(waypoint.latitude, lat, latMilli);
  SplitMilli(waypoint.longitude, lon, lonMilli);
  const std::string body = FormatText("$GPWPL,%04ld.%03ld,%c,%05ld.%03ld,%c,%s0%s", lat, latMilli,
                                      waypoint.latitude < 0 ? 'S' : 'N', lon, lonMilli,
                                      waypoint.longitude < 0 ? 'W' : 'E', id.c_str(), description.c_str());
  sentence = AppendNmeaChecksum(body);
  return 0;
}

}  // namespace logwell::mlr
