#include "sim/iqbasic/iqbasic_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/text.h"
#include "model/garmin_time.h"
#include "track/igc/igc_reader.h"

namespace logwell::sim {
namespace {

constexpr std::string_view kDone = " Done\r\n";
constexpr std::string_view kNoData = "No Data\r\n";
constexpr int kBookWithoutHeader = 1120;  // "1.1.20"
constexpr std::size_t kWaypointLineLength = 56;

std::string Hex(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += FormatText("%02X", static_cast<unsigned>(value >> (8 * i) & 0xFF));
  return text;
}

std::string Padded(std::string_view text, std::size_t width) {
  std::string padded(text.substr(0, width));
  padded.resize(width, ' ');
  return padded;
}

// A right-aligned decimal field: blanks, an optional minus sign, digits.
std::optional<long> Field(std::string_view text) {
  const std::string_view digits = TrimLeading(text, " ");
  if (digits.empty()) return std::nullopt;
  std::size_t at = digits[0] == '-' ? 1 : 0;
  if (at == digits.size()) return std::nullopt;
  for (std::size_t i = at; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
  }
  return std::strtol(std::string(digits).c_str(), nullptr, 10);
}

// "dd'mm.mmm" or "ddd'mm.mmm" (degrees padded with blanks) at a fixed width: degrees, or nothing.
std::optional<double> Angle(std::string_view text, std::size_t degreeWidth, int maxDegrees) {
  if (text.size() != degreeWidth + 7 || text[degreeWidth] != '\'' || text[degreeWidth + 3] != '.') {
    return std::nullopt;
  }
  const auto degrees = Field(text.substr(0, degreeWidth));
  const auto whole = Field(text.substr(degreeWidth + 1, 2));
  const auto thousandths = Field(text.substr(degreeWidth + 4, 3));
  if (!degrees || !whole || !thousandths || *degrees < 0 || *whole < 0 || *thousandths < 0 || *whole > 59 ||
      text[degreeWidth + 1] == ' ' || text[degreeWidth + 4] == ' ') {
    return std::nullopt;
  }
  const double value = static_cast<double>(*degrees) + (static_cast<double>(*whole) + static_cast<double>(*thousandths) / 1000.0) / 60.0;
  if (value > maxDegrees) return std::nullopt;
  return value;
}

std::string Angle(double degrees, int degreeWidth) {
  const long thousandths = std::lround(std::fabs(degrees) * 60000.0);
  return FormatText("%*ld'%02ld.%03ld", degreeWidth, thousandths / 60000, thousandths / 1000 % 60, thousandths % 1000);
}

}  // namespace

std::string FlightBookLine(int index, const std::string& igc, int utcOffset, bool olderBook) {
  const igc::IgcDecodeResult decoded = igc::DecodeIgcText(igc);
  if (decoded.points.empty()) return {};
  const CalendarTime t = GarminTimeToCalendar(decoded.points.front().time);
  const std::uint32_t d = decoded.points.back().time - decoded.points.front().time;
  int highest = decoded.points.front().pressureAltitude;
  int lowest = highest;
  for (const TrackPoint& p : decoded.points) {
    highest = std::max(highest, p.pressureAltitude);
    lowest = std::min(lowest, p.pressureAltitude);
  }
  const std::string names = olderBook ? " " : "";
  const std::string pilot = Padded(names + "not-set", 16);
  const std::string glider = Padded(names + "not set", 16);
  // Number 0..5, date 7..15, start 17..25, UTC offset 27..35, duration 37..45, altitude offset,
  // maximum and minimum 47..75, varios and speed 77..114 (12 places each), the three names
  // 116..165 (16 each).
  return FormatText("%6d; %02d.%02d.%02d; %02d:%02d:%02d;%9d; %02u:%02u:%02u;%9d;%9d;%9d;%12.2f;%12.2f;%12.2f;%s;%s;%s\r\n",
                    index, t.year % 100, t.month, t.day, t.hour, t.minute, t.second, utcOffset, d / 3600,
                    d / 60 % 60, d % 60, 0, highest, lowest, 3.49, -2.90, 11.38, pilot.c_str(), glider.c_str(),
                    glider.c_str());
}

std::string WaypointListLine(const IqBasicWaypoint& w) {
  return FormatText("%s;%c  %s;%c %s;%6d;%6d\r\n", Padded(w.name, 16).c_str(), w.latitude < 0 ? 'S' : 'N',
                    Angle(w.latitude, 2).c_str(), w.longitude < 0 ? 'W' : 'E', Angle(w.longitude, 3).c_str(),
                    w.altitude, w.radius);
}

IqBasicModel::IqBasicModel(IqBasicModelConfig config) : config_(std::move(config)) {}

std::vector<IqBasicWaypoint> IqBasicModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

std::vector<std::string> IqBasicModel::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> IqBasicModel::UploadLines() const {
  std::lock_guard lock(mutex_);
  return uploadLines_;
}

void IqBasicModel::ApplyFaults(const std::string& key) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
}

void IqBasicModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      Handle(line_, link);
      line_.clear();
    } else if (line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

// The waypoint line of an upload, character by character: name 0..15, ';', N or S, two
// blanks, latitude 20..28, ';', E or W, a blank, longitude 32..41, ';', altitude 43..48
// (-2000 to 10000), ';', radius 50..55 (20 to 200000). The answer the instrument gives to it.
std::string IqBasicModel::StoreWaypoint(const std::string& line) {
  constexpr std::string_view kSyntaxError = "Syntax Error\r\n";
  if (line.size() != kWaypointLineLength || line[16] != ';' || line[29] != ';' || line[42] != ';' ||
      line[49] != ';' || line.substr(18, 2) != "  " || line[31] != ' ' || (line[17] != 'N' && line[17] != 'S') ||
      (line[30] != 'E' && line[30] != 'W')) {
    return std::string(kSyntaxError);
  }
  const std::string name = line.substr(0, 16);
  if (std::ranges::any_of(name, [](char c) { return c < 0x20 || c > 0x7E || c == ';'; })) {
    return std::string(kSyntaxError);
  }
  const auto latitude = Angle(std::string_view(line).substr(20, 9), 2, 90);
  const auto longitude = Angle(std::string_view(line).substr(32, 10), 3, 180);
  const auto altitude = Field(std::string_view(line).substr(43, 6));
  const auto radius = Field(std::string_view(line).substr(50, 6));
  if (!latitude || !longitude || !altitude || !radius || *altitude < -2000 || *altitude > 10000 || *radius < 20 ||
      *radius > 200000) {
    return std::string(kSyntaxError);
  }
  IqBasicWaypoint waypoint;
  waypoint.name = std::string(TrimTrailing(name, " "));
  waypoint.latitude = line[17] == 'S' ? -*latitude : *latitude;
  waypoint.longitude = line[30] == 'W' ? -*longitude : *longitude;
  waypoint.altitude = static_cast<int>(*altitude);
  waypoint.radius = static_cast<int>(*radius);
  std::lock_guard lock(mutex_);
  if (std::ranges::any_of(config_.waypoints, [&](const IqBasicWaypoint& w) { return w.name == waypoint.name; })) {
    return "already exist\r\n";
  }
  if (config_.waypoints.size() >= config_.waypointCapacity) return "full list\r\n";
  config_.waypoints.push_back(waypoint);
  return std::string(kDone);
}

void IqBasicModel::Handle(const std::string& line, DeviceLink& link) {
  if (awaitingWaypoint_) {
    awaitingWaypoint_ = false;
    {
      std::lock_guard lock(mutex_);
      uploadLines_.push_back(line);
    }
    const std::string answer = StoreWaypoint(line);
    ApplyFaults("ACT_32");
    link.SendText(answer);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    commands_.push_back(line);
  }
  if (line.size() == 6 && line.starts_with("RPA_")) {
    ApplyFaults("RPA");
    // The parameter table: DeviceNr four bytes, DeviceTyp one, SoftVers two.
    if (line == "RPA_00") {
      link.SendText("RPA_00_" + Hex(config_.serial, 4) + "\r\n");
    } else if (line == "RPA_01") {
      link.SendText("RPA_01_" + Hex(static_cast<std::uint64_t>(config_.deviceType), 1) + "\r\n");
    } else if (line == "RPA_02") {
      link.SendText("RPA_02_" + Hex(static_cast<std::uint64_t>(config_.software), 2) + "\r\n");
    } else {
      link.SendText("No Par\r\n");
    }
  } else if (line == "ACT_20_00") {
    ApplyFaults("ACT_20");
    const bool olderBook = config_.software < kBookWithoutHeader;
    std::string answer;
    if (olderBook) answer = "  Nr;     Date;    Start;   UTC;  Duration; Pilot; Glider\r\n";
    for (std::size_t i = 0; i < config_.flights.size(); ++i) {
      answer += FlightBookLine(static_cast<int>(i), config_.flights[i], config_.utcOffset, olderBook);
    }
    if (!olderBook) answer += kDone;
    link.SendText(answer);
  } else if (line.size() == 9 && line.starts_with("ACT_21_") && std::isxdigit(static_cast<unsigned char>(line[7])) &&
             std::isxdigit(static_cast<unsigned char>(line[8]))) {
    const long index = std::strtol(line.substr(7).c_str(), nullptr, 16);
    if (static_cast<std::size_t>(index) >= config_.flights.size()) return;
    ApplyFaults("ACT_21");
    ApplyFaults(line);
    link.SendText(config_.flights[static_cast<std::size_t>(index)]);
  } else if (line == "ACT_31_00") {
    ApplyFaults("ACT_31");
    std::string answer;
    {
      std::lock_guard lock(mutex_);
      for (const IqBasicWaypoint& w : config_.waypoints) answer += WaypointListLine(w);
    }
    link.SendText(answer.empty() ? std::string(kNoData) : answer + std::string(kDone));
  } else if (line == "ACT_32_00") {
    awaitingWaypoint_ = true;
  }
}

}  // namespace logwell::sim
