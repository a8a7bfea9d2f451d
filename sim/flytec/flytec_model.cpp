#include "sim/flytec/flytec_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdarg>
#include <cstdlib>

#include "access/nmea.h"
#include "sim/flight_generator.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 255)));
}

// Degrees as DDMM.mmm (latitude, 2 digits) or DDDMM.mmm (longitude, 3 digits).
std::string Coordinate(double degrees, int degreeDigits) {
  const long thousandths = std::lround(std::fabs(degrees) * 60000.0);
  const long minutes = thousandths / 1000;
  return Printf("%0*ld%02ld.%03ld", degreeDigits, minutes / 60, minutes % 60, thousandths % 1000);
}

double ParseCoordinate(const std::string& text, const std::string& hemisphere) {
  const double value = std::atof(text.c_str());
  const double degrees = std::floor(value / 100.0);
  double result = degrees + (value - degrees * 100.0) / 60.0;
  if (hemisphere == "S" || hemisphere == "W") result = -result;
  return result;
}

std::vector<std::string> Split(const std::string& body) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = body.find(',', start);
    fields.push_back(body.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

struct TrackSummary {
  GarminTime start = 0;
  std::uint32_t duration = 0;
};

// The date of the HFDTE header and the times of the first and last B records.
TrackSummary Summarise(const std::string& igc) {
  TrackSummary summary;
  CalendarTime date;
  std::optional<int> first;
  int last = 0;
  int dayOffset = 0;
  int previous = -1;
  std::size_t at = 0;
  while (at < igc.size()) {
    std::size_t end = igc.find('\n', at);
    if (end == std::string::npos) end = igc.size();
    const std::string line = igc.substr(at, end - at);
    at = end + 1;
    if (line.rfind("HFDTE", 0) == 0) {
      std::string digits = line.substr(5);
      if (digits.rfind("DATE:", 0) == 0) digits = digits.substr(5);
      if (digits.size() >= 6) {
        date.day = std::atoi(digits.substr(0, 2).c_str());
        date.month = std::atoi(digits.substr(2, 2).c_str());
        date.year = 2000 + std::atoi(digits.substr(4, 2).c_str());
      }
    } else if (line.size() >= 7 && line[0] == 'B') {
      const int t = std::atoi(line.substr(1, 2).c_str()) * 3600 + std::atoi(line.substr(3, 2).c_str()) * 60 +
                    std::atoi(line.substr(5, 2).c_str());
      if (previous >= 0 && t + 3600 <= previous) dayOffset += 86400;
      previous = t;
      if (!first) first = t;
      last = t + dayOffset;
    }
  }
  if (date.year != 0 && first) {
    summary.start = CalendarToGarminTime(date) + static_cast<GarminTime>(*first);
    summary.duration = static_cast<std::uint32_t>(last - *first);
  }
  return summary;
}

}  // namespace

std::string FlytecIgcText(const std::vector<TrackPoint>& points, const std::string& serial,
                          const std::string& pilot, bool signedLog) {
  std::string text = "AFLY" + serial.substr(0, 3) + " SIMULATED FLYTEC\r\n";
  if (!points.empty()) {
    const CalendarTime d = GarminTimeToCalendar(points.front().time);
    text += Printf("HFDTEDATE:%02d%02d%02d,01\r\n", d.day, d.month, d.year % 100);
  }
  text += "HFPLTPILOTINCHARGE:" + pilot + "\r\n";
  text += "HFGTYGLIDERTYPE:SIM\r\nHFFTYFRTYPE:FLYTEC\r\nHFDTM100GPSDATUM:WGS-1984\r\n";
  for (const TrackPoint& p : points) {
    const CalendarTime t = GarminTimeToCalendar(p.time);
    const double lat = SemicirclesToDegrees(p.latitude);
    const double lon = SemicirclesToDegrees(p.longitude);
    const long latMilli = std::lround(std::fabs(lat) * 60000.0);
    const long lonMilli = std::lround(std::fabs(lon) * 60000.0);
    text += Printf("B%02d%02d%02d%02ld%05ld%c%03ld%05ld%cA%05d%05d\r\n", t.hour, t.minute, t.second,
                   latMilli / 60000, latMilli % 60000, lat < 0 ? 'S' : 'N', lonMilli / 60000,
                   lonMilli % 60000, lon < 0 ? 'W' : 'E', std::clamp(p.pressureAltitude, -9999, 99999),
                   std::clamp(static_cast<int>(std::lround(p.gpsAltitude / 10.0)), -9999, 99999));
  }
  if (signedLog) text += "G5A1F3C9E0B7D2A4C6E8F0A1B3C5D7E9F\r\nG0123456789ABCDEF0123456789ABCDEF\r\n";
  return text;
}

FlytecModel::FlytecModel(FlytecModelConfig config)
    : config_(std::move(config)), ctrStored_(config_.ctrList) {}

std::vector<FlytecWaypoint> FlytecModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

std::vector<std::string> FlytecModel::CtrSentencesReceived() const {
  std::lock_guard lock(mutex_);
  return ctrReceived_;
}

std::size_t FlytecModel::BytesSent() const {
  std::lock_guard lock(mutex_);
  return bytesSent_;
}

void FlytecModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == kXon || byte == kXoff) continue;
    if (byte == '$') {
      line_.assign(1, '$');
      inLine_ = true;
    } else if (inLine_ && byte == '\n') {
      inLine_ = false;
      std::string sentence = line_;
      if (!sentence.empty() && sentence.back() == '\r') sentence.pop_back();
      Handle(sentence, link);
    } else if (inLine_ && line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

void FlytecModel::Answer(const std::string& request, const std::string& text, DeviceLink& link) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, request);
  {
    std::lock_guard lock(mutex_);
    bytesSent_ += text.size();
  }
  link.SendTextPaced(text, config_.paced ? config_.baudRate : 0);
}

void FlytecModel::SendSentence(const std::string& body, DeviceLink& link) {
  link.SendText(AppendNmeaChecksum(body));
}

void FlytecModel::SendTrack(const std::string& request, const std::string& igc, DeviceLink& link) {
  std::string text;
  text.reserve(igc.size() + igc.size() / 100 + 8);
  int lines = 0;
  for (const char c : igc) {
    text += c;
    if (c == '\n' && config_.flowControlEveryLines > 0 && ++lines % config_.flowControlEveryLines == 0) {
      text += kXoff;
      text += kXon;
    }
  }
  Answer(request, text, link);
}

void FlytecModel::Handle(const std::string& sentence, DeviceLink& link) {
  // Requests are "$BODY*CS"; a bad checksum is ignored, as by the instrument.
  const std::size_t star = sentence.rfind('*');
  if (star == std::string::npos || star + 3 != sentence.size()) return;
  const std::string body = sentence.substr(0, star);
  if (AppendNmeaChecksum(body).substr(body.size(), 3) != sentence.substr(star)) return;
  const std::vector<std::string> fields = Split(body);
  const std::string id = fields[0].substr(1);

  if (id == "PBRSNP") {
    Answer(id, AppendNmeaChecksum("$PBRSNP," + config_.model + "," + config_.pilot + "," +
                                  config_.serial + "," + config_.software), link);
  } else if (id == "PBRTL") {
    std::string text;
    for (std::size_t i = 0; i < config_.flights.size(); ++i) {
      const TrackSummary s = Summarise(config_.flights[i]);
      const CalendarTime t = GarminTimeToCalendar(s.start);
      text += AppendNmeaChecksum(Printf("$PBRTL,%02zu,%zu,%02d.%02d.%02d,%02d:%02d:%02d,%02u:%02u:%02u",
                                        config_.flights.size(), i, t.day, t.month, t.year % 100, t.hour,
                                        t.minute, t.second, s.duration / 3600, s.duration / 60 % 60,
                                        s.duration % 60));
    }
    Answer(id, text, link);
  } else if (id == "PBRTR" && fields.size() >= 2 && fields[1].size() == 2) {
    const int index = (fields[1][0] - '0') * 10 + (fields[1][1] - '0');
    ++trackRequests_;
    if (index >= 0 && static_cast<std::size_t>(index) < config_.flights.size()) {
      // A fault for one track ("PBRTR,01") before one for any track ("PBRTR").
      const std::string oneTrack = id + "," + fields[1];
      SendTrack(config_.faultsFor.contains(oneTrack) ? oneTrack : id,
                config_.flights[static_cast<std::size_t>(index)], link);
    }
  } else if (id == "PBRIGC") {
    // Instruments without a track list hand over their memory: here the latest flight.
    ++trackRequests_;
    if (!config_.flights.empty()) SendTrack(id, config_.flights.back(), link);
  } else if (id == "PBRWPS") {
    std::string text;
    for (const FlytecWaypoint& w : Waypoints()) {
      std::string wps = "$PBRWPS," + Coordinate(w.latitude, 2) + (w.latitude < 0 ? ",S," : ",N,") +
                         Coordinate(w.longitude, 3) + (w.longitude < 0 ? ",W," : ",E,") + w.shortName;
      if (!w.withoutLongName) wps += "," + w.longName + "," + std::to_string(w.altitude);
      text += AppendNmeaChecksum(wps);
    }
    Answer(id, text, link);
  } else if (id == "PBRWPR" && fields.size() >= 8) {
    FlytecWaypoint w;
    w.latitude = ParseCoordinate(fields[1], fields[2]);
    w.longitude = ParseCoordinate(fields[3], fields[4]);
    w.shortName = fields[5];
    w.longName = fields[6];
    w.altitude = std::atoi(fields[7].c_str());
    std::lock_guard lock(mutex_);
    config_.waypoints.push_back(w);
  } else if (id == "PBRCTRW" && fields.size() >= 3) {
    const int count = std::atoi(fields[1].c_str());
    const int index = std::atoi(fields[2].c_str());
    {
      std::lock_guard lock(mutex_);
      ctrReceived_.push_back(body);
      if (config_.ctrAck == '1') ctrStored_.push_back("$PBRCTR" + body.substr(8));
    }
    if (index == count - 1) Answer(id, AppendNmeaChecksum(std::string("$PBRANS,") + config_.ctrAck), link);
  } else if (id == "PBRCTR") {
    std::string text;
    {
      std::lock_guard lock(mutex_);
      for (const std::string& stored : ctrStored_) text += AppendNmeaChecksum(stored);
    }
    text += AppendNmeaChecksum("$PBRANS,1");
    Answer(id, text, link);
  }
}

}  // namespace logwell::sim
