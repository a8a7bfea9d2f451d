#include "devices/mtk/mtk_log.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::mtk {
namespace {

// Field bits of the mask, in the order the fields follow each other in a data block.
enum Field : unsigned {
  kUtc = 0, kValid = 1, kLatitude = 2, kLongitude = 3, kHeight = 4, kSpeed = 5, kHeading = 6,
  kDsta = 7, kDage = 8, kPdop = 9, kHdop = 10, kVdop = 11, kNsat = 12, kSid = 13,
  kElevation = 14, kAzimuth = 15, kSnr = 16, kRcr = 17, kMillisecond = 18, kDistance = 19,
  kFieldCount = 20,
};

constexpr std::array<std::size_t, kFieldCount> kMtkSizes = {4, 2, 8, 8, 4, 4, 4, 2, 4, 2,
                                                            2, 2, 2, 4, 2, 2, 2, 2, 2, 8};
// Holux loggers set bit 31 ("low precision"); the GR-245 also sets bit 27 (unverified meaning,
// both only ever seen together with the Holux identification).
constexpr std::uint32_t kHoluxPrecisionBit = 1u << 31;
constexpr std::uint32_t kGr245Bit = 1u << 27;
constexpr std::uint32_t kKnownFields = (1u << kFieldCount) - 1;
constexpr unsigned kMaxSatellites = 32;
// Heights beyond this (metres) are no reading of a receiver on or above the earth.
constexpr double kMaxHeight = 100000.0;

// Fix-quality bits of the VALID field that stand for a real position.
constexpr std::uint16_t kFixQualities = 0x0002 | 0x0004 | 0x0008 | 0x0010 | 0x0020;

// Separator blocks: seven 0xAA, a type, a 32-bit value, four 0xBB.
constexpr std::size_t kSeparatorSize = 16;
enum SeparatorType : std::uint8_t {
  kMaskChange = 2, kPeriodChange = 3, kDistanceChange = 4, kSpeedChange = 5, kPolicy = 6,
  kLoggerSwitch = 7,
};
constexpr std::uint32_t kLoggerOn = 0x0106;

std::uint16_t Read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
float ReadFloat(const std::uint8_t* p) { return std::bit_cast<float>(Read32(p)); }
// Holux's 3-byte height: the upper three bytes of a float, the lowest byte left out.
float ReadFloat24(const std::uint8_t* p) {
  return std::bit_cast<float>((static_cast<std::uint32_t>(p[0]) << 8) |
                              (static_cast<std::uint32_t>(p[1]) << 16) |
                              (static_cast<std::uint32_t>(p[2]) << 24));
}
double ReadDouble(const std::uint8_t* p) {
  const std::uint64_t bits = Read32(p) | (static_cast<std::uint64_t>(Read32(p + 4)) << 32);
  return std::bit_cast<double>(bits);
}

bool AllBytes(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

bool IsSeparator(std::span<const std::uint8_t> rest) {
  return rest.size() >= kSeparatorSize && AllBytes(rest.first(7), 0xAA) &&
         AllBytes(rest.subspan(12, 4), 0xBB);
}

// "HOLUX" + model + "LOGGER" or "WAYPNT": the identification Holux loggers write before a log
// session and before a marked position.
std::optional<std::string_view> HoluxTag(std::span<const std::uint8_t> rest) {
  if (rest.size() < 16) return std::nullopt;
  const std::string_view tag(reinterpret_cast<const char*>(rest.data()), 16);
  if (!tag.starts_with("HOLUX")) return std::nullopt;
  const std::string_view kind = tag.substr(10);
  if (kind != "LOGGER" && kind != "WAYPNT") return std::nullopt;
  return tag;
}

bool IsGr245Tag(std::string_view tag) {
  return tag.starts_with("HOLUXGR245") || tag.starts_with("HOLUXM1200");
}

bool HeaderMarkerPresent(std::span<const std::uint8_t> header) {
  return header[0x1FA] == '*' && AllBytes(header.subspan(0x1FC, 4), 0xBB);
}

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> memory) : memory_(memory) {}

  LogParse Run() {
    if (memory_.size() < kHeaderSize || !HeaderMarkerPresent(memory_.first(kHeaderSize))) {
      result_.status = LogStatus::BadHeader;
      return std::move(result_);
    }
    mask_ = Read32(memory_.data() + 2);
    DetectLayout();
    if (!MaskUsable(mask_)) {
      result_.status = LogStatus::BadHeader;
      return std::move(result_);
    }
    newSegment_ = true;
    for (std::size_t sector = 0; sector < memory_.size(); sector += kSectorSize) {
      const auto bytes = memory_.subspan(sector, std::min(kSectorSize, memory_.size() - sector));
      if (AllBytes(bytes, 0xFF)) break;  // nothing written from here on
      if (bytes.size() < kHeaderSize || !HeaderMarkerPresent(bytes.first(kHeaderSize))) {
        result_.status = LogStatus::BadHeader;
        result_.badOffset = sector;
        result_.fixes.clear();
        return std::move(result_);
      }
      if (!ParseSector(sector, bytes)) break;
    }
    if (result_.fixes.empty()) result_.status = LogStatus::NoPoints;
    return std::move(result_);
  }

 private:
  // The layout follows from the first items of the log: a Holux identification, or the Holux
  // precision bit of the header's mask.
  void DetectLayout() {
    layout_ = (mask_ & kHoluxPrecisionBit) ? LogLayout::HoluxM241 : LogLayout::Mtk;
    std::size_t at = kHeaderSize;
    while (at + kSeparatorSize <= memory_.size() && IsSeparator(memory_.subspan(at))) {
      at += kSeparatorSize;
    }
    if (const auto tag = HoluxTag(memory_.subspan(std::min(at, memory_.size())))) {
      layout_ = IsGr245Tag(*tag) ? LogLayout::HoluxGr245 : LogLayout::HoluxM241;
    }
    result_.layout = layout_;
  }

  std::uint32_t Fields(std::uint32_t mask) const {
    if (layout_ != LogLayout::Mtk) mask &= ~kHoluxPrecisionBit;
    if (layout_ == LogLayout::HoluxGr245) mask &= ~kGr245Bit;
    return mask;
  }

  // A mask whose blocks cannot be measured: unknown fields, or satellite details without the
  // satellite list they belong to.
  bool MaskUsable(std::uint32_t mask) const {
    const std::uint32_t fields = Fields(mask);
    if ((fields & ~kKnownFields) != 0) return false;
    const std::uint32_t details = (1u << kElevation) | (1u << kAzimuth) | (1u << kSnr);
    if ((fields & details) != 0 && (fields & (1u << kSid)) == 0) return false;
    return true;
  }

  std::size_t FieldSize(unsigned field) const {
    if (layout_ == LogLayout::Mtk) return kMtkSizes[field];
    if (field == kLatitude || field == kLongitude) return 4;
    if (layout_ == LogLayout::HoluxGr245) {
      if (field == kHeight) return 4;  // speed in cm/s
      if (field == kSpeed) return 3;   // height
    } else if (field == kHeight) {
      return 3;
    }
    return kMtkSizes[field];
  }

  // Returns false when parsing has to stop for good.
  bool ParseSector(std::size_t sector, std::span<const std::uint8_t> bytes) {
    std::size_t at = kHeaderSize;
    while (at < bytes.size()) {
      const auto rest = bytes.subspan(at);
      if (rest.size() < 4 || AllBytes(rest.first(4), 0xFF)) return true;  // end of this sector
      if (IsSeparator(rest)) {
        if (!ApplySeparator(rest)) {
          NoteBad(sector + at);
          return false;
        }
        at += kSeparatorSize;
        continue;
      }
      if (const auto tag = HoluxTag(rest)) {
        if (tag->ends_with("LOGGER")) newSegment_ = true;
        at += 16;
        if (bytes.size() - at >= 4 && AllBytes(bytes.subspan(at, 4), ' ')) at += 4;
        continue;
      }
      recordOffset_ = sector + at;
      const std::optional<std::size_t> used = ParseRecord(rest);
      ++result_.records;
      if (!used) {
        // A block cut short by the end of the sector or by an impossible satellite count:
        // the rest of this sector cannot be measured.
        NoteBad(sector + at);
        return true;
      }
      at += *used;
    }
    return true;
  }

  void NoteBad(std::size_t offset) {
    if (result_.badRecords == 0) result_.badOffset = offset;
    ++result_.badRecords;
  }

  bool ApplySeparator(std::span<const std::uint8_t> rest) {
    const std::uint32_t value = Read32(rest.data() + 8);
    switch (rest[7]) {
      case kMaskChange:
        if (!MaskUsable(value)) return false;
        mask_ = value;
        break;
      case kLoggerSwitch:
        if (value == kLoggerOn) newSegment_ = true;
        break;
      default:  // period, distance, speed and policy changes do not change the blocks
        break;
    }
    return true;
  }

  // Reads one data block; returns its size, or nothing when it cannot be measured.
  std::optional<std::size_t> ParseRecord(std::span<const std::uint8_t> rest) {
    const std::uint32_t fields = Fields(mask_);
    std::size_t at = 0;
    std::uint8_t sum = 0;
    LogFix fix;
    std::optional<std::uint16_t> valid;
    bool hasLatitude = false;
    bool hasLongitude = false;
    const auto take = [&](std::size_t size) -> const std::uint8_t* {
      if (rest.size() - at < size) return nullptr;
      const std::uint8_t* p = rest.data() + at;
      for (std::size_t i = 0; i < size; ++i) sum ^= p[i];
      at += size;
      return p;
    };
    for (unsigned field = 0; field < kFieldCount; ++field) {
      if ((fields & (1u << field)) == 0) continue;
      if (field == kElevation || field == kAzimuth || field == kSnr) continue;  // inside SID
      if (field == kSid) {
        if (rest.size() - at < 4) return std::nullopt;
        const unsigned count = Read16(rest.data() + at + 2);
        if (count > kMaxSatellites) return std::nullopt;
        std::size_t entry = 4;
        if (count > 0) {
          for (const unsigned detail : {kElevation, kAzimuth, kSnr}) {
            if (fields & (1u << detail)) entry += 2;
          }
        }
        for (unsigned s = 0; s < std::max(count, 1u); ++s) {
          if (!take(entry)) return std::nullopt;
        }
        continue;
      }
      const std::size_t size = FieldSize(field);
      const std::uint8_t* p = take(size);
      if (!p) return std::nullopt;
      switch (field) {
        case kUtc:
          fix.hasTime = true;
          fix.unixSeconds = Read32(p);
          break;
        case kValid:
          valid = Read16(p);
          break;
        case kLatitude:
          hasLatitude = true;
          fix.latitude = size == 8 ? ReadDouble(p) : ReadFloat(p);
          break;
        case kLongitude:
          hasLongitude = true;
          fix.longitude = size == 8 ? ReadDouble(p) : ReadFloat(p);
          break;
        case kHeight:
          if (layout_ == LogLayout::HoluxGr245) break;  // speed on this model
          fix.hasHeight = true;
          fix.height = size == 4 ? ReadFloat(p) : ReadFloat24(p);
          break;
        case kSpeed:
          if (layout_ == LogLayout::HoluxGr245) {
            fix.hasHeight = true;
            fix.height = ReadFloat24(p);
          }
          break;
        case kMillisecond:
          fix.milliseconds = Read16(p);
          break;
        default:
          break;
      }
    }
    if (layout_ == LogLayout::Mtk) {
      if (rest.size() - at < 2) return std::nullopt;
      if (rest[at] != '*') {
        ++at;  // a block whose star was never written (power lost): its checksum follows
        ++at;
        NoteBadBlock();
        return at;
      }
      ++at;
    }
    if (rest.size() - at < 1) return std::nullopt;
    const bool sumMatches = rest[at] == sum;
    ++at;
    if (!sumMatches) {
      NoteBadBlock();
      return at;
    }
    if (valid && (*valid & kFixQualities) == 0) {
      ++result_.invalidFixes;
      return at;
    }
    if (!hasLatitude || !hasLongitude) return at;
    if (!std::isfinite(fix.latitude) || !std::isfinite(fix.longitude) ||
        std::fabs(fix.latitude) > 90.0 || std::fabs(fix.longitude) > 180.0 ||
        (fix.hasHeight && !(std::fabs(fix.height) <= kMaxHeight)) || fix.milliseconds > 999) {
      NoteBadBlock();
      return at;
    }
    fix.segmentStart = newSegment_;
    newSegment_ = false;
    result_.fixes.push_back(fix);
    return at;
  }

  void NoteBadBlock() { NoteBad(recordOffset_); }

  std::span<const std::uint8_t> memory_;
  LogParse result_;
  std::uint32_t mask_ = 0;
  LogLayout layout_ = LogLayout::Mtk;
  bool newSegment_ = true;
  std::size_t recordOffset_ = 0;
};

}  // namespace

LogParse ParseLog(std::span<const std::uint8_t> memory) { return Parser(memory).Run(); }

std::vector<TrackPoint> ToTrackPoints(const std::vector<LogFix>& fixes) {
  std::vector<TrackPoint> points;
  points.reserve(fixes.size());
  for (const LogFix& fix : fixes) {
    TrackPoint point;
    point.segmentStart = fix.segmentStart ? 1u : 0u;
    if (fix.hasTime && fix.unixSeconds >= kGarminEpochUnixSeconds) {
      StoreInstrumentTime(point, UnixToGarminTime(fix.unixSeconds), fix.milliseconds);
    }
    point.latitude = DegreesToSemicircles(fix.latitude);
    point.longitude = DegreesToSemicircles(fix.longitude);
    if (fix.hasHeight) point.gpsAltitude = RoundHalfAway(fix.height * 10.0);
    points.push_back(point);
  }
  return points;
}

}  // namespace logwell::mtk
