#include "sim/mlr/mlr_model.h"

#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

// NMEA "ddmm.mmmm" and its hemisphere letter.
std::string Coordinate(std::int32_t semicircles, int degreeDigits, char positive, char negative) {
  const double degrees = SemicirclesToDegrees(semicircles);
  const long tenThousandths = std::lround(std::fabs(degrees) * 600000.0);
  return FormatText("%0*ld%02ld.%04ld,%c", degreeDigits, tenThousandths / 600000, tenThousandths / 10000 % 60,
                    tenThousandths % 10000, degrees < 0 ? negative : positive);
}

std::string Sentence(const std::string& body) { return AppendNmeaChecksum("$" + body); }

double ParseCoordinate(const std::string& text, const std::string& hemisphere) {
  const double value = std::atof(text.c_str());
  const double degrees = std::floor(value / 100.0);
  const double result = degrees + (value - degrees * 100.0) / 60.0;
  return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

}  // namespace

MlrModel::MlrModel(MlrModelConfig config) : config_(std::move(config)) {}

std::vector<MlrWaypoint> MlrModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

void MlrModel::ApplyFaults(const std::string& key) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
}

void MlrModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '$') line_.clear();
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      Handle(line_, link);
      line_.clear();
    } else if (line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

void MlrModel::Handle(const std::string& sentence, DeviceLink& link) {
  if (sentence == "$PMLR,24,02,0100,0398") {
    ApplyFaults("PMLR,24");
    link.SendText(Sentence(FormatText("PMLR,24,%s,%s,%d", config_.maker.c_str(), config_.model.c_str(),
                                      config_.software)));
  } else if (sentence.starts_with("$PMLR,59,1,")) {
    ApplyFaults("PMLR,59,1");
    std::string answer = Sentence(FormatText("PMLR,59,%zu", config_.points.size()));
    for (const TrackPoint& p : config_.points) {
      const CalendarTime t = GarminTimeToCalendar(p.time);
      const std::string time = FormatText("%02d%02d%02d", t.hour, t.minute, t.second);
      const std::string lat = Coordinate(p.latitude, 2, 'N', 'S');
      const std::string lon = Coordinate(p.longitude, 3, 'E', 'W');
      answer += Sentence(FormatText("GPRMC,%s,A,%s,%s,0.0,0.0,%02d%02d%02d,,", time.c_str(), lat.c_str(),
                                    lon.c_str(), t.day, t.month, t.year % 100));
      const int decimetres = static_cast<int>(std::lround(p.gpsAltitude));
      answer += Sentence(FormatText("GPGGA,%s,%s,%s,1,08,1.0,%s%d.%d,M,0.0,M,,", time.c_str(), lat.c_str(),
                                    lon.c_str(), decimetres < 0 ? "-" : "", std::abs(decimetres) / 10,
                                    std::abs(decimetres) % 10));
    }
    link.SendText(answer);
  } else if (sentence.starts_with("$PMLR,59,2,")) {
    ApplyFaults("PMLR,59,2");
    std::lock_guard lock(mutex_);
    std::string answer = Sentence(FormatText("PMLR,59,%zu", config_.waypoints.size()));
    for (const MlrWaypoint& w : config_.waypoints) {
      answer += Sentence(FormatText("GPWPL,%s,%s,%s", Coordinate(DegreesToSemicircles(w.latitude), 2, 'N', 'S').c_str(),
                                    Coordinate(DegreesToSemicircles(w.longitude), 3, 'E', 'W').c_str(), w.name.c_str()));
    }
    link.SendText(answer);
  } else if (sentence.starts_with("$GPWPL,")) {
    // "$GPWPL,lat,N,lon,E,name*CS": stored as it came.
    std::vector<std::string> fields;
    const std::string body = sentence.substr(0, sentence.find('*'));
    std::size_t at = 0;
    for (;;) {
      const std::size_t comma = body.find(',', at);
      fields.push_back(body.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
    if (fields.size() != 6) return;
    std::lock_guard lock(mutex_);
    config_.waypoints.push_back({fields[5], ParseCoordinate(fields[1], fields[2]), ParseCoordinate(fields[3], fields[4])});
  }
}

}  // namespace logwell::sim
