#include "devices/flytec/flytec_waypoints.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

#include "access/access_framework.h"
#include "access/nmea.h"
#include "access/pilot_scan.h"
#include "geo/units.h"
#include "base/text.h"

namespace logwell::flytec {
namespace {

using std::chrono::milliseconds;
constexpr std::string_view kPrefix = "$PBRWPS,";
constexpr std::string_view kReadCaption = "Read GPS waypoints";
constexpr milliseconds kWaypointSilence{1000};
constexpr milliseconds kBetweenUploads{300};
constexpr milliseconds kCountReportInterval{1000};
constexpr double kPi = 3.14159265358979323846;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

// A coordinate DDMM.mmm (or DDDMM.mmm): degrees*100 + minutes, then any number of decimals.
// Codes, counted from `base`: +0 above `limit`, +1 bad character after the integer part,
// +2 bad character in the decimals.
int Coordinate(std::string_view text, int limit, int base, double& radians) {
  long integer = 0;
  std::size_t at = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    integer = integer * 10 + (text[at] - '0');
    if (integer > limit) return base;
  }
  double decimals = 0.0;
  if (at < text.size()) {
    if (text[at] != '.') return base - 1;
    double scale = 0.1;
    for (++at; at < text.size(); ++at) {
      if (!IsDigit(text[at])) return base - 2;
      decimals += (text[at] - '0') * scale;
      scale /= 10.0;
    }
  }
  const double minutes = static_cast<double>(integer / 100 * 60 + integer % 100) + decimals;
  radians = minutes * kPi / 10800.0;
  return 0;
}

}  // namespace

int WaypointAssembler::Feed(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  switch (state_) {
    case State::Prefix:
      if (c == kPrefix[matched_]) {
        if (++matched_ == kPrefix.size()) {
          state_ = State::Body;
          body_.clear();
        }
      } else {
        matched_ = c == '$' ? 1 : 0;
      }
      return 1;
    case State::Body:
      if (c == '*') {
        state_ = State::Checksum1;
        checksum_.clear();
        return 1;
      }
      if (c == '\r' || c == '\n') {
        // A line end inside the names has its own code; elsewhere a field is missing.
        const auto commas = std::count(body_.begin(), body_.end(), ',');
        state_ = State::Prefix;
        matched_ = 0;
        return commas == 4 ? -11 : commas == 5 ? -13 : commas < 4 ? (commas < 2 ? -5 : -10) : -15;
      }
      if (body_.size() > 200) {
        state_ = State::Prefix;
        matched_ = 0;
        return -14;
      }
      body_ += c;
      return 1;
    case State::Checksum1:
    case State::Checksum2:
      if (!IsUpperHex(c)) {
        const int code = state_ == State::Checksum1 ? -17 : -18;
        state_ = State::Prefix;
        matched_ = 0;
        return code;
      }
      checksum_ += c;
      state_ = state_ == State::Checksum1 ? State::Checksum2 : State::CarriageReturn;
      return 1;
    case State::CarriageReturn:
      state_ = c == '\r' ? State::LineFeed : State::Prefix;
      matched_ = 0;
      return c == '\r' ? 1 : -19;
    case State::LineFeed: {
      state_ = State::Prefix;
      matched_ = 0;
      if (c != '\n') return -21;
      const std::string whole = std::string(kPrefix.substr(1)) + body_;
      if (!NmeaChecksumMatches(whole, checksum_)) return -20;
      return ParseBody();
    }
  }
  return 1;
}

int WaypointAssembler::ParseBody() {
  std::vector<std::string_view> fields;
  std::string_view rest = body_;
  for (;;) {
    const std::size_t comma = rest.find(',');
    fields.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  sentence_ = WaypointSentence{};
  double latitude = 0.0;
  double longitude = 0.0;
  if (const int code = Coordinate(fields[0], 8959, -1, latitude)) return code;
  if (fields.size() < 2) return -5;
  if (fields[1] != "" && fields[1] != "N" && fields[1] != "S") return -4;
  if (fields.size() < 3) return -5;
  if (const int code = Coordinate(fields[2], 17959, -6, longitude)) return code;
  if (fields.size() < 4) return -10;
  if (fields[3] != "" && fields[3] != "E" && fields[3] != "W") return -9;
  if (fields.size() < 5) return -10;
  if (fields[4].size() > 6) return -12;
  if (fields.size() > 5 && fields[5].size() > 17) return -14;
  if (fields.size() > 6) {
    std::string_view altitude = fields[6];
    const bool negative = !altitude.empty() && altitude.front() == '-';
    if (negative) altitude.remove_prefix(1);
    if (altitude.size() > 5) return -16;
    for (const char c : altitude) {
      if (!IsDigit(c)) return -15;
    }
    int value = 0;
    for (const char c : altitude) value = value * 10 + (c - '0');
    sentence_.altitude = negative ? -value : value;
  }
  if (fields[1] == "S") latitude = -latitude;
  if (fields[3] == "W") longitude = -longitude;
  sentence_.latitude = RadiansToSemicircles(latitude);
  sentence_.longitude = RadiansToSemicircles(longitude);
  sentence_.shortName = std::string(fields[4]);
  if (fields.size() > 5) sentence_.longName = std::string(fields[5]);
  return 0;
}

std::string WaypointId(std::string_view shortName, std::string_view longName) {
  for (std::string_view name : {shortName, longName}) {
    name = name.substr(0, name.find(' '));
    if (!name.empty()) return UpperCase(std::string(name.substr(0, 6)));
  }
  return "Z";
}

std::string WaypointUploadBody(const Waypoint& waypoint, std::string_view identifier, std::size_t nameWidth) {
  const auto thousandths = [](std::int32_t semicircles) {
    const double degrees = SemicirclesToRadians(semicircles) * 180.0 / kPi;
    return static_cast<long>(std::lround(degrees * 60000.0));  // half away from zero
  };
  const long lat = thousandths(waypoint.latitude);
  const long lon = thousandths(waypoint.longitude);
  const long latAbs = std::labs(lat);
  const long lonAbs = std::labs(lon);
  const long latMinutes = latAbs / 1000;
  const long lonMinutes = lonAbs / 1000;
  // A comma would split the sentence's fields: the instrument would take the rest as altitude.
  std::string name = WithoutSeparator(waypoint.Description().substr(0, nameWidth), ',');
  name.resize(nameWidth, ' ');
  const int altitude = std::clamp(waypoint.altitude, 0, 9999);
  return FormatText(
      "$%.*s,%04ld.%03ld,%c,%05ld.%03ld,%c,,%s,%04d", static_cast<int>(identifier.size()), identifier.data(), latMinutes / 60 * 100 + latMinutes % 60,
      latAbs % 1000, lat < 0 ? 'S' : 'N', lonMinutes / 60 * 100 + lonMinutes % 60, lonAbs % 1000,
      lon < 0 ? 'W' : 'E', name.c_str(), altitude);
}

std::string WaypointUploadSentence(const Waypoint& waypoint) {
  return AppendNmeaChecksum(WaypointUploadBody(waypoint, "PBRWPR", 17));
}

int DownloadWaypoints(AccessBlock& block, const FamilyEnvironment& context, bool scan) {
  const GarminTime now = UnixToGarminTime(static_cast<std::int64_t>(std::time(nullptr)));
  if (!scan) block.waypoints.clear();
  ShowAccessStatus(block, "Requesting waypoints");
  if (!SendText(block, kWaypointRequest)) {
    ShowAccessError(block, "E304 COM port write error", kReadCaption);
    return -1;
  }
  WaypointAssembler assembler;
  int error = 0;
  int count = 0;
  auto lastReport = std::chrono::steady_clock::now() - kCountReportInterval;
  ChunkReader reader = InstrumentReader();
  const ReadResult end = reader.ReadUntilSilence(block, kWaypointSilence, [&](std::uint8_t byte) {
    const int state = assembler.Feed(byte);
    if (state == 1) return false;
    if (state < 0) {
      error = state;
      return true;
    }
    const WaypointSentence& s = assembler.Sentence();
    ++count;
    Waypoint waypoint;
    waypoint.latitude = s.latitude;
    waypoint.longitude = s.longitude;
    if (scan) {
      waypoint.SetId(Trim(s.longName, kSpacesAndTabs));
      ScanForPilotIds(block, waypoint);
      return false;
    }
    waypoint.altitude = s.altitude;
    waypoint.time = now;
    waypoint.type = 0;
    waypoint.SetId(WaypointId(s.shortName, s.longName));
    waypoint.SetDescription(UpperCase(s.longName));
    block.waypoints.push_back(waypoint);
    if (count == 1) ShowAccessStatus(block, "Receiving waypoints");
    if (context.notify && std::chrono::steady_clock::now() - lastReport >= kCountReportInterval) {
      lastReport = std::chrono::steady_clock::now();
      context.notify(FormatText("Waypoint count %d", count));
    }
    return false;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "E301 COM port read error", kReadCaption);
    return -1;
  }
  if (error != 0) {
    ShowAccessError(block, FormatText("E302 Format error %d", -error), kReadCaption);
    return -1;
  }
  if (!scan) ShowAccessStatus(block, FillTemplate("% waypoints received", {count}));
  return 0;
}

int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context) {
  const auto total = static_cast<long long>(block.waypoints.size());
  long long sent = 0;
  for (const Waypoint& waypoint : block.waypoints) {
    if (block.Aborted() || !SendText(block, WaypointUploadSentence(waypoint))) {
      ShowAccessStatus(block, FillTemplate("% waypoints sent", {sent}));
      return -1;
    }
    ++sent;
    ShowAccessStatus(block, FillTemplate("Waypoint % sent", {sent}));
    if (context.notify) context.notify(FillTemplate("Sent wpt %/%", {sent, total}));
    if (!block.Pause(kBetweenUploads)) {
      ShowAccessStatus(block, FillTemplate("% waypoints sent", {sent}));
      return -1;
    }
  }
  const auto withComma = std::ranges::count_if(block.waypoints, [](const Waypoint& waypoint) {
    return waypoint.Description().substr(0, 17).find(',') != std::string_view::npos;
  });
  if (withComma > 0) {
    ShowAccessStatus(block, FillTemplate("% waypoint name(s) held a comma, the sentence's field "
                                         "separator: sent without it",
                                         {static_cast<long long>(withComma)}));
  }
  return 0;
}

}  // namespace logwell::flytec
