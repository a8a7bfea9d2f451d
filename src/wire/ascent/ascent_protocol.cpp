#include "wire/ascent/ascent_protocol.h"

#include <cmath>

#include "base/text.h"
#include "geo/units.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::ascent {
namespace {

using garmin::ReadU16;
using garmin::ReadU32;

constexpr std::int32_t kMaxLatitude = 90 * 60000;
constexpr std::int32_t kMaxLongitude = 180 * 60000;
constexpr std::uint32_t kMaxFixOffset = 0xFFFFFF;

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A UTC start as six bytes (year - 2000 first); nothing when a field is out of range.
std::optional<GarminTime> ReadStart(std::span<const std::uint8_t> bytes) {
  CalendarTime t;
  t.year = 2000 + bytes[0];
  t.month = bytes[1];
  t.day = bytes[2];
  t.hour = bytes[3];
  t.minute = bytes[4];
  t.second = bytes[5];
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59) {
    return std::nullopt;
  }
  return CalendarToGarminTime(t);
}

void PutStart(std::vector<std::uint8_t>& out, GarminTime time) {
  const CalendarTime t = GarminTimeToCalendar(time);
  for (const int field : {t.year - 2000, t.month, t.day, t.hour, t.minute, t.second}) {
    out.push_back(static_cast<std::uint8_t>(field));
  }
}

}  // namespace

std::vector<std::uint8_t> EncodeMessage(const Message& message) {
  std::vector<std::uint8_t> out{kSync, message.id};
  Put(out, message.block, 2);
  Put(out, static_cast<std::uint32_t>(message.payload.size()), 2);
  out.insert(out.end(), message.payload.begin(), message.payload.end());
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < out.size(); ++i) sum ^= out[i];
  out.push_back(sum);
  return out;
}

MessageAssembler::Status MessageAssembler::Feed(std::uint8_t byte) {
  if (header_.empty()) {
    if (byte == kSync) header_.push_back(byte);
    return Status::Pending;
  }
  if (!inPayload_) {
    header_.push_back(byte);
    sum_ ^= byte;
    if (header_.size() < kHeaderSize) return Status::Pending;
    message_.id = header_[1];
    message_.block = ReadU16(header_, 2);
    length_ = ReadU16(header_, 4);
    message_.payload.clear();
    header_.clear();
    if (length_ > kMaxPayload) {
      sum_ = 0;
      return Status::BadLength;
    }
    header_.push_back(kSync);  // still inside a message
    inPayload_ = true;
    return Status::Pending;
  }
  if (message_.payload.size() < length_) {
    message_.payload.push_back(byte);
    sum_ ^= byte;
    return Status::Pending;
  }
  const bool good = byte == sum_;
  header_.clear();
  sum_ = 0;
  inPayload_ = false;
  return good ? Status::Complete : Status::BadChecksum;
}

std::optional<Product> ReadProduct(std::span<const std::uint8_t> payload) {
  if (payload.size() != 7) return std::nullopt;
  Product product;
  for (int i = 0; i < 4; ++i) product.serial[i] = payload[static_cast<std::size_t>(i)];
  product.softwareMajor = payload[4];
  product.softwareMinor = payload[5];
  product.hardware = payload[6];
  return product;
}

std::vector<std::uint8_t> ProductPayload(const Product& product) {
  return {product.serial[0], product.serial[1], product.serial[2], product.serial[3],
          static_cast<std::uint8_t>(product.softwareMajor), static_cast<std::uint8_t>(product.softwareMinor),
          static_cast<std::uint8_t>(product.hardware)};
}

std::string ProductText(const Product& p) {
  return FormatText("Ascent, SNR %02X%02X%02X%02X, SW %d.%d, HW %d", p.serial[0], p.serial[1], p.serial[2],
                    p.serial[3], p.softwareMajor, p.softwareMinor, p.hardware);
}

std::string InstrumentId(const Product& p) {
  return FormatText("Ascent: %02X%02X%02X%02X", p.serial[0], p.serial[1], p.serial[2], p.serial[3]);
}

std::optional<MemoryInfo> ReadMemoryInfo(std::span<const std::uint8_t> payload) {
  if (payload.size() != 4) return std::nullopt;
  return MemoryInfo{ReadU16(payload, 0), ReadU16(payload, 2)};
}

std::vector<std::uint8_t> MemoryInfoPayload(const MemoryInfo& info) {
  std::vector<std::uint8_t> out;
  Put(out, info.usedBlocks, 2);
  Put(out, info.flights, 2);
  return out;
}

std::optional<TrackListEntry> ReadFlight(std::span<const std::uint8_t> payload) {
  if (payload.size() != 10) return std::nullopt;
  const auto start = ReadStart(payload.first(6));
  if (!start) return std::nullopt;
  return TrackListEntry{*start, ReadU32(payload, 6)};
}

std::vector<std::uint8_t> FlightPayload(const TrackListEntry& flight) {
  std::vector<std::uint8_t> out;
  PutStart(out, flight.startTime);
  Put(out, flight.durationSeconds, 4);
  return out;
}

std::optional<std::uint16_t> ReadSectorsLeft(std::span<const std::uint8_t> payload) {
  if (payload.size() != 2) return std::nullopt;
  return ReadU16(payload, 0);
}

MemoryDecode DecodeMemory(std::span<const std::uint8_t> memory) {
  MemoryDecode result;
  std::optional<GarminTime> start;
  bool opensFlight = false;
  std::size_t at = 0;
  const auto refuse = [&](const char* why) {
    result.points.clear();
    result.flights.clear();
    result.error = FormatText("Unsupported record 0x%02X at byte %zu%s", memory[at], at, why);
    return result;
  };
  while (at < memory.size() && memory[at] != kEndTag) {
    const std::uint8_t tag = memory[at];
    const std::size_t size = tag == kFlightStartTag ? kFlightStartSize : tag == kFixTag ? kFixSize : 0;
    if (size == 0) return refuse("");
    if (memory.size() - at < size) return refuse(" (cut short)");
    const auto record = memory.subspan(at, size);
    if (tag == kFlightStartTag) {
      start = ReadStart(record.subspan(1, 6));
      if (!start || record[7] != 0) return refuse(" (bad date)");
      result.flights.push_back(TrackListEntry{*start, 0});
      opensFlight = true;
      at += size;
      continue;
    }
    if (!start) return refuse(" (fix before flight start)");
    const std::uint32_t offset = record[1] | (record[2] << 8) | (static_cast<std::uint32_t>(record[3]) << 16);
    const auto latitude = static_cast<std::int32_t>(ReadU32(record, 4));
    const auto longitude = static_cast<std::int32_t>(ReadU32(record, 8));
    if (latitude < -kMaxLatitude || latitude > kMaxLatitude || longitude < -kMaxLongitude ||
        longitude > kMaxLongitude) {
      return refuse(" (bad position)");
    }
    TrackPoint point;
    point.segmentStart = opensFlight ? 1 : 0;
    opensFlight = false;
    StoreInstrumentTime(point, *start + offset);
    point.latitude = DegreesToSemicircles(latitude / 60000.0);
    point.longitude = DegreesToSemicircles(longitude / 60000.0);
    point.gpsAltitude = static_cast<std::int16_t>(ReadU16(record, 12)) * 10;
    point.pressureAltitude = static_cast<std::int16_t>(ReadU16(record, 14));
    result.points.push_back(point);
    result.flights.back().durationSeconds = offset;
    at += size;
  }
  return result;
}

std::vector<std::uint8_t> EncodeMemory(std::span<const TrackPoint> points) {
  std::vector<std::uint8_t> out;
  GarminTime start = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TrackPoint& point = points[i];
    if (i == 0 || (point.segmentStart & 1) != 0 || point.time - start > kMaxFixOffset) {
      start = point.time;
      out.push_back(kFlightStartTag);
      PutStart(out, start);
      out.push_back(0);
    }
    out.push_back(kFixTag);
    Put(out, point.time - start, 3);
    Put(out, static_cast<std::uint32_t>(SemicirclesToMilliMinutes(point.latitude)), 4);
    Put(out, static_cast<std::uint32_t>(SemicirclesToMilliMinutes(point.longitude)), 4);
    Put(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(point.gpsAltitude / 10.0))), 2);
    Put(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(point.pressureAltitude)), 2);
  }
  out.resize((out.size() / kBlockSize + 1) * kBlockSize, kEndTag);
  return out;
}

}  // namespace logwell::ascent
