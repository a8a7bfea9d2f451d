#include "sim/flymaster/flymaster_model.h"

#include <chrono>
#include <cctype>
#include <cmath>

#include "access/nmea.h"
#include "base/text.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

constexpr std::size_t kBlock = 4096;
constexpr double kSemicirclesPerMilliminute = 198.8410785185;
constexpr std::uint32_t kEpochOffset = 315619200;

struct Raw {
  std::int32_t latitude, longitude, altitude, pressure;
  std::uint32_t time;
};

Raw ToRaw(const TrackPoint& p) {
  Raw raw{};
  raw.latitude = static_cast<std::int32_t>(std::lround(p.latitude / kSemicirclesPerMilliminute));
  raw.longitude = -static_cast<std::int32_t>(std::lround(p.longitude / kSemicirclesPerMilliminute));
  raw.altitude = static_cast<std::int32_t>(std::lround(p.gpsAltitude / 10.0));
  raw.pressure = static_cast<std::int32_t>(
      std::lround(10.0 * 1013.25 * std::pow(1.0 - p.pressureAltitude / 44307.69, 1.0 / 0.190284)));
  raw.time = p.time - kEpochOffset;
  return raw;
}

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutCoordinate(std::vector<std::uint8_t>& out, std::int32_t value) {
  Put(out, static_cast<std::uint32_t>(value) & 0xFFFFFF, 3);
  out.push_back(static_cast<std::uint8_t>(value < 0 ? 0x80 : 0x00));
}

bool FitsDelta(const Raw& a, const Raw& b) {
  const auto small = [](std::int64_t d) { return d >= -128 && d <= 127; };
  const std::int64_t dt = static_cast<std::int64_t>(b.time) - a.time;
  return small(b.latitude - a.latitude) && small(b.longitude - a.longitude) && small(b.altitude - a.altitude) &&
         small(b.pressure - a.pressure) && dt >= 0 && dt <= 255;
}

std::string Sentence(const std::string& body) {
  return "$" + body + FormatText("*%02X\r\n", static_cast<unsigned>(NmeaChecksum(body)));
}

}  // namespace

std::vector<std::uint8_t> FlymasterBinaryTrack(const std::vector<TrackPoint>& points) {
  std::vector<std::vector<std::uint8_t>> records;
  std::vector<std::uint8_t> info(20, 0);
  info[0] = 20;  // the flight information record, skipped by hosts
  records.push_back(info);
  Raw last{};
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Raw raw = ToRaw(points[i]);
    std::vector<std::uint8_t> r;
    if (i % 60 != 0 && FitsDelta(last, raw)) {
      r.push_back(8);
      r.push_back(static_cast<std::uint8_t>(raw.latitude - last.latitude));
      r.push_back(static_cast<std::uint8_t>(raw.longitude - last.longitude));
      r.push_back(static_cast<std::uint8_t>(raw.altitude - last.altitude));
      r.push_back(static_cast<std::uint8_t>(raw.pressure - last.pressure));
      r.push_back(static_cast<std::uint8_t>(raw.time - last.time));
      r.push_back(0);
      r.push_back(0);
    } else {
      r.push_back(19);
      r.push_back(0);
      PutCoordinate(r, raw.latitude);
      PutCoordinate(r, raw.longitude);
      Put(r, static_cast<std::uint16_t>(raw.altitude), 2);
      Put(r, static_cast<std::uint16_t>(raw.pressure), 2);
      Put(r, raw.time, 4);
      r.push_back(0);
    }
    records.push_back(std::move(r));
    last = raw;
  }
  std::vector<std::uint8_t> data;
  std::size_t at = kBlock;  // forces a first block
  for (const auto& r : records) {
    if (at + r.size() >= kBlock) {
      data.resize(data.size() + (kBlock - at) % kBlock, 0);  // 0: the block ends here
      data.resize(data.size() + 12, 0);
      at = 12;
    }
    data.insert(data.end(), r.begin(), r.end());
    at += r.size();
  }
  data.resize((data.size() + kBlock - 1) / kBlock * kBlock, 0);
  std::uint8_t check[8] = {};
  for (std::size_t i = 0; i < data.size(); ++i) check[i % 8] ^= data[i];
  data.insert(data.end(), check, check + 8);
  return data;
}

std::vector<std::vector<std::uint8_t>> FlymasterPackets(const std::vector<TrackPoint>& points,
                                                        std::uint32_t serial) {
  std::vector<std::vector<std::uint8_t>> packets;
  const auto packet = [&](std::uint8_t id, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> p{id, id, static_cast<std::uint8_t>(data.size())};
    std::uint8_t check = p[2];
    for (const std::uint8_t b : data) check ^= b;
    p.insert(p.end(), data.begin(), data.end());
    p.push_back(check);
    packets.push_back(std::move(p));
  };
  std::vector<std::uint8_t> info(63, 0);
  info[0] = 2;
  info[1] = 7;
  for (int i = 0; i < 4; ++i) info[4 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  packet(0xA0, info);
  Raw last{};
  std::vector<std::uint8_t> deltas;
  const auto flush = [&] {
    if (!deltas.empty()) packet(0xA2, deltas);
    deltas.clear();
  };
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Raw raw = ToRaw(points[i]);
    if (i % 60 != 0 && FitsDelta(last, raw)) {
      deltas.push_back(0);
      deltas.push_back(static_cast<std::uint8_t>(raw.latitude - last.latitude));
      deltas.push_back(static_cast<std::uint8_t>(raw.longitude - last.longitude));
      deltas.push_back(static_cast<std::uint8_t>(raw.altitude - last.altitude));
      deltas.push_back(static_cast<std::uint8_t>(raw.pressure - last.pressure));
      deltas.push_back(static_cast<std::uint8_t>(raw.time - last.time));
      if (deltas.size() >= 240) flush();
    } else {
      flush();
      std::vector<std::uint8_t> key{0};
      Put(key, static_cast<std::uint32_t>(raw.latitude), 4);
      Put(key, static_cast<std::uint32_t>(raw.longitude), 4);
      Put(key, static_cast<std::uint16_t>(raw.altitude), 2);
      Put(key, static_cast<std::uint16_t>(raw.pressure), 2);
      Put(key, raw.time, 4);
      packet(0xA1, key);
    }
    last = raw;
  }
  flush();
  packets.push_back({0xA3, 0xA3});
  return packets;
}

FlymasterModel::FlymasterModel(FlymasterModelConfig config) : config_(std::move(config)) {}

std::vector<std::string> FlymasterModel::WaypointNamesReceived() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> FlymasterModel::SettingsReceived() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

bool FlymasterModel::PoweredOff() const {
  std::lock_guard lock(mutex_);
  return poweredOff_;
}

int FlymasterModel::TrackRequests() const {
  std::lock_guard lock(mutex_);
  return trackRequests_;
}

std::size_t FlymasterModel::BytesSent() const {
  std::lock_guard lock(mutex_);
  return bytesSent_;
}

void FlymasterModel::Send(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  {
    std::lock_guard lock(mutex_);
    bytesSent_ += bytes.size();
  }
  link.SendPaced(bytes, config_.paced ? config_.baudRate : 0);
}

void FlymasterModel::SendNextPacket(DeviceLink& link) {
  if (nextPacket_ >= pending_.size()) return;
  Send(pending_[nextPacket_++], link);
}

void FlymasterModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (nextPacket_ < pending_.size() && line_.empty() && byte >= 0xB1 && byte <= 0xB3) {
      if (byte == 0xB1) {
        SendNextPacket(link);
      } else {
        pending_.clear();  // a bad check or a cancel ends the transfer
        nextPacket_ = 0;
      }
      continue;
    }
    if (byte == '$') line_.clear();
    line_ += static_cast<char>(byte);
    if (byte == '\n') {
      Handle(line_, link);
      line_.clear();
    }
  }
}

void FlymasterModel::Handle(const std::string& line, DeviceLink& link) {
  const auto send = [&](const std::string& text) {
    Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, link);
  };
  if (line.starts_with("$PFMSNP,") && !config_.older) {
    send(Sentence("PFMSNP," + config_.model + ",," + config_.serial + "," + config_.software + ","));
  } else if (line.starts_with("$PFMSNP,")) {
    send(Sentence("PFMSNP," + config_.model + ",HW:" + config_.hardware + ",FW:" + config_.software + "," +
                  config_.serial));
  } else if (line.starts_with("$PBRSNP,") && config_.answersPbrsnp) {
    send(Sentence("PBRSNP," + config_.model + ",," + config_.serial + "," + config_.software + ","));
  } else if (line.starts_with("$PFMDNL,LST,")) {
    const std::size_t count = config_.flights.size();
    for (std::size_t i = 0; i < count; ++i) {
      const auto& f = config_.flights[i];
      if (f.empty()) continue;
      const CalendarTime t = GarminTimeToCalendar(f.front().time);
      const std::uint32_t d = f.back().time - f.front().time;
      const std::string body = FormatText("PFMLST,%03zu,%03zu,%02d.%02d.%02d,%02d:%02d:%02d,%02u:%02u:%02u", count, i,
                    t.day, t.month, t.year % 100, t.hour, t.minute, t.second, d / 3600, d / 60 % 60, d % 60);
      send(Sentence(body));
    }
  } else if (line.starts_with("$PFMDNL,") && line.size() >= 20) {
    CalendarTime t;
    const auto two = [&](std::size_t at) { return std::atoi(line.substr(at, 2).c_str()); };
    t.year = 2000 + two(8);
    t.month = two(10);
    t.day = two(12);
    t.hour = two(14);
    t.minute = two(16);
    t.second = two(18);
    const GarminTime start = CalendarToGarminTime(t);
    {
      std::lock_guard lock(mutex_);
      ++trackRequests_;
    }
    for (const auto& f : config_.flights) {
      if (f.empty() || f.front().time != start) continue;
      if (instrument_ != nullptr) {
        for (const Fault& fault : config_.trackFaults) instrument_->Inject(fault);
      }
      config_.trackFaults.clear();
      if (config_.older) {
        pending_ = FlymasterPackets(f, static_cast<std::uint32_t>(std::atoll(config_.serial.c_str())));
        nextPacket_ = 0;
        SendNextPacket(link);
      } else {
        const auto data = FlymasterBinaryTrack(f);
        Send(data, link);
      }
      return;
    }
  } else if (line.starts_with("$PFMWPR,")) {
    // "$PFMWPR,lat,N,lon,E,,name,alt[,1]*CS": the name is field 6.
    std::vector<std::string> fields;
    std::size_t at = 0;
    const std::string body = line.substr(0, line.find('*'));
    for (;;) {
      const std::size_t comma = body.find(',', at);
      fields.push_back(body.substr(at, comma - at));
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
    if (fields.size() < 8) return;
    const std::string& name = fields[6];
    if (config_.software == "1.14") {
      send(Sentence("PFMWPR," + name));
    } else {
      std::string echoed = name;
      for (char& c : echoed) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : ' ';
      send(Sentence("PFMWPR,ACK," + echoed));
    }
    std::lock_guard lock(mutex_);
    received_.push_back(name);
  } else if (line.starts_with("$PFMPLT,") || line.starts_with("$PFMALT,") || line.starts_with("$PFMIDS,")) {
    // Pilot data, the altitude alarm or the identities: kept when the checksum holds; the
    // instrument does not answer.
    const std::size_t star = line.find('*');
    if (star == std::string::npos || !NmeaChecksumMatches(line.substr(0, star), line.substr(star + 1, 2))) return;
    std::lock_guard lock(mutex_);
    settings_.push_back(line.substr(1, star - 1));
  } else if (line.starts_with("$PFMOFF*14")) {
    std::lock_guard lock(mutex_);
    poweredOff_ = true;
  } else if (line.starts_with("$PFMWPL,")) {
    for (const FlymasterWaypoint& w : config_.waypoints) {
      const std::string body = FormatText("PFMWPL,%.6f,%c,%.6f,%c,%d,%s,%d", std::fabs(w.latitude),
                    w.latitude < 0 ? 'S' : 'N', std::fabs(w.longitude), w.longitude < 0 ? 'W' : 'E', w.altitude,
                    w.name.c_str(), w.airfield ? 1 : 0);
      send(Sentence(body));
    }
  }
}

}  // namespace logwell::sim
