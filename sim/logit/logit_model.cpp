#include "sim/logit/logit_model.h"

#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

std::string Coordinate(std::int32_t semicircles, int degreeDigits, char positive, char negative) {
  const double degrees = SemicirclesToDegrees(semicircles);
  const long tenThousandths = std::lround(std::fabs(degrees) * 600000.0);
  return FormatText("%0*ld%02ld.%04ld,%c", degreeDigits, tenThousandths / 600000, tenThousandths / 10000 % 60,
                    tenThousandths % 10000, degrees < 0 ? negative : positive);
}

std::string Sentence(const std::string& body) { return AppendNmeaChecksum("$" + body); }

}  // namespace

LogItModel::LogItModel(LogItModelConfig config) : config_(std::move(config)) {}

std::string LogItModel::Owner() const {
  std::lock_guard lock(mutex_);
  return config_.owner;
}

std::size_t LogItModel::PointCount() const {
  std::lock_guard lock(mutex_);
  return config_.points.size();
}

std::vector<int> LogItModel::TrackRequests() const {
  std::lock_guard lock(mutex_);
  return trackRequests_;
}

void LogItModel::ApplyFaults(const std::string& key) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
}

void LogItModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
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

void LogItModel::Handle(const std::string& sentence, DeviceLink& link) {
  std::unique_lock lock(mutex_);
  if (sentence == "$PMLR,IDGPS,00,*00") {
    const std::string answer = Sentence(FormatText("PMLR,IDGPS,%s,%s,%s,%zu,%d", config_.model.c_str(),
                                                   config_.owner.c_str(), config_.software.c_str(),
                                                   config_.points.size(), config_.capacity));
    lock.unlock();
    ApplyFaults("IDGPS");
    link.SendText(answer);
  } else if (sentence.starts_with("$PMLR,IDGPS,01,") && sentence.ends_with("*00")) {
    const std::string name = sentence.substr(15, sentence.size() - 15 - 3);
    config_.owner = std::string(Trim(name, " "));
  } else if (sentence.starts_with("$PMLR,TRACK,")) {
    const int first = std::atoi(sentence.c_str() + 12);
    trackRequests_.push_back(first);
    std::string answer = Sentence(FormatText("PMLR,TRACK,%zu", config_.points.size()));
    for (std::size_t i = static_cast<std::size_t>(std::max(first, 0)); i < config_.points.size(); ++i) {
      const TrackPoint& p = config_.points[i];
      const CalendarTime t = GarminTimeToCalendar(p.time);
      answer += Sentence(FormatText("PMLR,TP,%zu,%02d%02d%02d,%02d%02d%02d,%s,%s,%ld", i, t.day, t.month,
                                    t.year % 100, t.hour, t.minute, t.second,
                                    Coordinate(p.latitude, 2, 'N', 'S').c_str(),
                                    Coordinate(p.longitude, 3, 'E', 'W').c_str(),
                                    std::lround(static_cast<double>(p.gpsAltitude) / 10.0)));
    }
    lock.unlock();
    ApplyFaults("TRACK");
    link.SendText(answer);
  } else if (sentence == "$PMLR,ERASE,*00") {
    config_.points.clear();
    lock.unlock();
    ApplyFaults("ERASE");
    link.SendText(Sentence("PMLR,ERASE,OK"));
  }
}

}  // namespace logwell::sim
