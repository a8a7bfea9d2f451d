#include "sim/iqbasic/iqbasic_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "base/text.h"
#include "model/garmin_time.h"
#include "track/igc/igc_reader.h"

namespace logwell::sim {
namespace {

constexpr std::string_view kDone = " Done\r\n";

// "yy.mm.dd; hh:mm:ss" and the duration of a flight, from its own B records.
std::string ListLine(int index, const std::string& igc) {
  const igc::IgcDecodeResult decoded = igc::DecodeIgcText(igc);
  if (decoded.points.empty()) return {};
  const CalendarTime t = GarminTimeToCalendar(decoded.points.front().time);
  const std::uint32_t d = decoded.points.back().time - decoded.points.front().time;
  return FormatText("%6d; %02d.%02d.%02d; %02d:%02d:%02d; %8d; %02u:%02u:%02u; %8d; %8d; %8d; %8.2f; %8.2f; "
                    "%8.2f;%16s;%16s;%16s\r\n",
                    index, t.year % 100, t.month, t.day, t.hour, t.minute, t.second, 60, d / 3600, d / 60 % 60,
                    d % 60, 0, 2000, 500, 3.5, -2.5, 45.0, "not set", "not set", "not set");
}

std::string Hex(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += FormatText("%02X", static_cast<unsigned>(value >> (8 * i) & 0xFF));
  return text;
}

std::string Coordinate(double degrees, char positive, char negative, int degreeDigits) {
  const long thousandths = std::lround(std::fabs(degrees) * 60000.0);
  return FormatText("%c%s%0*ld'%02ld.%03ld", degrees < 0 ? negative : positive, degreeDigits == 2 ? "  " : " ",
                    degreeDigits, thousandths / 60000, thousandths / 1000 % 60, thousandths % 1000);
}

}  // namespace

IqBasicModel::IqBasicModel(IqBasicModelConfig config) : config_(std::move(config)) {}

std::vector<IqBasicWaypoint> IqBasicModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
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

// The waypoint line of an upload: "name;N  dd'mm.mmm;E ddd'mm.mmm;  alt;  radius". The answer
// the instrument gives to it.
std::string IqBasicModel::StoreWaypoint(const std::string& line) {
  static const std::regex kLine(R"(^([^;]{16});([NS])\s+(\d{1,2})'(\d{2}\.\d{3});([EW])\s+(\d{1,3})'(\d{2}\.\d{3});\s*(-?\d+);\s*(\d+)$)");
  std::smatch m;
  if (!std::regex_match(line, m, kLine)) return "Syntax Error\r\n";
  IqBasicWaypoint waypoint;
  waypoint.name = std::string(TrimTrailing(m[1].str(), " "));
  waypoint.latitude = std::stoi(m[3].str()) + std::stod(m[4].str()) / 60.0;
  if (m[2] == "S") waypoint.latitude = -waypoint.latitude;
  waypoint.longitude = std::stoi(m[6].str()) + std::stod(m[7].str()) / 60.0;
  if (m[5] == "W") waypoint.longitude = -waypoint.longitude;
  waypoint.altitude = std::stoi(m[8].str());
  waypoint.radius = std::stoi(m[9].str());
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
  if (line.size() == 6 && line.starts_with("RPA_0")) {
    ApplyFaults("RPA");
    if (line == "RPA_00") {
      link.SendText("RPA_00_" + Hex(config_.serial, config_.serialBytes) + "\r\n");
    } else if (line == "RPA_01") {
      link.SendText("RPA_01_" + Hex(static_cast<std::uint64_t>(config_.deviceType), 1) + "\r\n");
    } else if (line == "RPA_02") {
      link.SendText("RPA_02_" + Hex(static_cast<std::uint64_t>(config_.software), 2) + "\r\n");
    } else {
      link.SendText("No Par\r\n");
    }
  } else if (line.starts_with("ACT_20_") && line.size() == 9) {
    ApplyFaults("ACT_20");
    std::string answer;
    for (std::size_t i = 0; i < config_.flights.size(); ++i) answer += ListLine(static_cast<int>(i), config_.flights[i]);
    link.SendText(answer.empty() ? std::string("No Data\r\n") : answer + std::string(kDone));
  } else if (line.starts_with("ACT_21_") && line.size() == 9) {
    const long index = std::strtol(line.substr(7).c_str(), nullptr, 16);
    if (index < 0 || static_cast<std::size_t>(index) >= config_.flights.size()) {
      link.SendText("No Data\r\n");
      return;
    }
    ApplyFaults("ACT_21");
    ApplyFaults(line);
    link.SendText(config_.flights[static_cast<std::size_t>(index)]);
  } else if (line == "ACT_31_00") {
    ApplyFaults("ACT_31");
    std::string answer;
    {
      std::lock_guard lock(mutex_);
      for (const IqBasicWaypoint& w : config_.waypoints) {
        std::string name = w.name.substr(0, 16);
        name.resize(16, ' ');
        answer += FormatText("%s;%s;%s;%6d;%6d\r\n", name.c_str(), Coordinate(w.latitude, 'N', 'S', 2).c_str(),
                             Coordinate(w.longitude, 'E', 'W', 3).c_str(), w.altitude, w.radius);
      }
    }
    link.SendText(answer.empty() ? std::string("No Data\r\n") : answer + std::string(kDone));
  } else if (line == "ACT_32_00") {
    awaitingWaypoint_ = true;
  }
}

}  // namespace logwell::sim
