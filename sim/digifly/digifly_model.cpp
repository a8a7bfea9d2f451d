#include "sim/digifly/digifly_model.h"

#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

std::string FixSentence(const TrackPoint& p) {
  const CalendarTime t = GarminTimeToCalendar(p.time);
  return AppendNmeaChecksum(FormatText("$PDGFRMM,%02d%02d%02d,%02d%02d%02d,%d,%d,%ld,%d", t.hour, t.minute, t.second,
                                       t.day, t.month, t.year % 100, SemicirclesToMilliMinutes(p.latitude),
                                       SemicirclesToMilliMinutes(p.longitude), std::lround(p.gpsAltitude / 10.0),
                                       static_cast<int>(p.pressureAltitude)));
}

}  // namespace

DigiflyModel::DigiflyModel(DigiflyModelConfig config) : config_(std::move(config)) {}

std::vector<DigiflyWaypoint> DigiflyModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

void DigiflyModel::ApplyFaults(const std::string& key) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
}

void DigiflyModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '$') line_.clear();
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      // Only whole sentences with a good checksum are taken.
      if (line_.find('*') != std::string::npos) Handle(line_, link);
      line_.clear();
    } else if (line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

void DigiflyModel::Handle(const std::string& sentence, DeviceLink& link) {
  std::string line = sentence;
  const std::vector<std::string_view> fields = SplitNmeaSentence(line, 8);
  if (fields.empty()) return;
  if (sentence == "$PDGFVID*4E") {
    ApplyFaults("PDGFVID");
    link.SendText(AppendNmeaChecksum(FormatText("$PDGFVID,%s,%s,%s", config_.model.c_str(), config_.serial.c_str(),
                                                config_.software.c_str())));
  } else if (sentence == "$PDGFFLL*53") {
    ApplyFaults("PDGFFLL");
    std::string answer = AppendNmeaChecksum(FormatText("$PDGFFLL,%zu", config_.flights.size()));
    for (std::size_t i = 0; i < config_.flights.size(); ++i) {
      const auto& flight = config_.flights[i];
      const GarminTime start = flight.empty() ? 0 : flight.front().time;
      const GarminTime end = flight.empty() ? 0 : flight.back().time;
      const CalendarTime t = GarminTimeToCalendar(start);
      answer += AppendNmeaChecksum(FormatText("$PDGFFLL,%zu,%02d%02d%02d,%02d%02d%02d,%u", i, t.day, t.month,
                                              t.year % 100, t.hour, t.minute, t.second, end - start));
    }
    link.SendText(answer);
  } else if (fields.size() == 2 && fields[0] == "$PDGFRMM") {
    ApplyFaults("PDGFRMM");
    const std::size_t index = static_cast<std::size_t>(std::atoi(std::string(fields[1]).c_str()));
    if (index >= config_.flights.size()) {
      link.SendText(AppendNmeaChecksum("$PDGFRMM,0"));
      return;
    }
    std::string answer = AppendNmeaChecksum(FormatText("$PDGFRMM,%zu", config_.flights[index].size()));
    for (const TrackPoint& p : config_.flights[index]) answer += FixSentence(p);
    link.SendText(answer);
  } else if (sentence == "$PDGFWMM*42") {
    ApplyFaults("PDGFWMM");
    std::lock_guard lock(mutex_);
    std::string answer = AppendNmeaChecksum(FormatText("$PDGFWMM,%zu", config_.waypoints.size()));
    for (const DigiflyWaypoint& w : config_.waypoints) {
      answer += AppendNmeaChecksum(
          FormatText("$PDGFWMM,%d,%d,%d,%d,%s", w.set, w.latitude, w.longitude, w.altitude, w.name.c_str()));
    }
    link.SendText(answer);
  } else if (fields.size() == 6 && fields[0] == "$PDGFWMM") {
    std::lock_guard lock(mutex_);
    const auto number = [&fields](std::size_t i) { return std::atoi(std::string(fields[i]).c_str()); };
    config_.waypoints.push_back({number(1), std::string(fields[5]), number(2), number(3), number(4)});
  }
}

}  // namespace logwell::sim
