#include "sim/mlr/mlr_model.h"

#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCommandRate = 4800;
// "starts after a one second delay"; the unit then goes on, so it starts again after a pause.
constexpr std::chrono::milliseconds kTracklogDelay{1000};
constexpr std::chrono::milliseconds kIdentityPeriod{300};

// 1980-01-06 00:00 to 1989-12-31 00:00 (GarminTime's start): 3647 days.
constexpr std::uint32_t kSecondsFrom1980To1990 = 3647u * 86400u;

void PushBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int count) {
  for (int shift = (count - 1) * 8; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Degrees as the document writes them: degrees / 360 * 2^32, west and south as 360 less.
std::uint32_t Angle(std::int32_t semicircles) {
  double degrees = SemicirclesToDegrees(semicircles);
  if (degrees < 0) degrees += 360.0;
  return static_cast<std::uint32_t>(std::llround(degrees / 360.0 * 4294967296.0) & 0xFFFFFFFFLL);
}

std::string Sentence(const std::string& body) { return AppendNmeaChecksum("$" + body); }

// The document's command sum: the bytes from "$" to the last comma, modulo 65536.
std::string WithSum(const std::string& head) {
  unsigned sum = 0;
  for (const char c : head) sum += static_cast<unsigned char>(c);
  return head + FormatText("%04X", sum & 0xFFFFu);
}

std::string Fit(const std::string& text, std::size_t width) {
  std::string fitted = text.substr(0, width);
  fitted.resize(width, ' ');
  return fitted;
}

double ParseCoordinate(const std::string& text, const std::string& hemisphere) {
  const double value = std::atof(text.c_str());
  const double degrees = std::floor(value / 100.0);
  const double result = degrees + (value - degrees * 100.0) / 60.0;
  return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

std::string NmeaCoordinate(double degrees, int degreeDigits, char positive, char negative) {
  const long tenThousandths = std::lround(std::fabs(degrees) * 600000.0);
  return FormatText("%0*ld%02ld.%04ld,%c", degreeDigits, tenThousandths / 600000, tenThousandths / 10000 % 60,
                    tenThousandths % 10000, degrees < 0 ? negative : positive);
}

// What the host reads of bytes sent at `rate`: the bytes when its line runs at that rate (or
// its rate cannot be read), else noise of the same length.
void SendAtRate(DeviceLink& link, std::vector<std::uint8_t> bytes, int rate) {
  const int hostRate = link.LineRate();
  if (hostRate != -1 && hostRate != rate) {
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(b ^ 0x5A) | 0x80;
  }
  link.Send(bytes);
}

}  // namespace

std::vector<std::uint8_t> MlrFrame(std::uint8_t number, const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> frame = {0x8B, number, 'T', 0x01};
  frame.insert(frame.end(), body.begin(), body.end());
  unsigned sum = 0;
  for (const std::uint8_t b : frame) sum += b;
  PushBigEndian(frame, sum & 0xFFFFu, 2);
  frame.push_back('\r');
  frame.push_back('\n');
  return frame;
}

std::vector<std::uint8_t> MlrPointBytes(std::uint16_t number, const TrackPoint& point) {
  std::vector<std::uint8_t> bytes;
  PushBigEndian(bytes, number, 2);
  PushBigEndian(bytes, point.time + kSecondsFrom1980To1990, 4);
  PushBigEndian(bytes, Angle(point.latitude), 4);
  PushBigEndian(bytes, Angle(point.longitude), 4);
  PushBigEndian(bytes, static_cast<std::uint32_t>(point.gpsAltitude) & 0xFFFFFFu, 3);
  bytes.push_back(static_cast<std::uint8_t>(point.segmentStart & 1u));
  return bytes;
}

std::vector<std::uint8_t> MlrTracklog(const std::vector<TrackPoint>& points) {
  std::uint8_t number = 1;
  auto text = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
  std::vector<std::uint8_t> all = MlrFrame(number++, text("DEBUT"));
  for (std::size_t first = 0; first < points.size(); first += 27) {
    const std::size_t count = std::min<std::size_t>(27, points.size() - first);
    std::vector<std::uint8_t> body = {0x00, static_cast<std::uint8_t>(count)};
    for (std::size_t i = first; i < first + count; ++i) {
      const auto point = MlrPointBytes(static_cast<std::uint16_t>(i + 1), points[i]);
      body.insert(body.end(), point.begin(), point.end());
    }
    const auto frame = MlrFrame(number++, body);
    all.insert(all.end(), frame.begin(), frame.end());
  }
  const auto end = MlrFrame(number, text("FIN"));
  all.insert(all.end(), end.begin(), end.end());
  return all;
}

MlrModel::MlrModel(MlrModelConfig config) : config_(std::move(config)) {}

std::vector<MlrWaypoint> MlrModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

int MlrModel::TransfersStarted() const {
  std::lock_guard lock(mutex_);
  return transfersStarted_;
}

bool MlrModel::Sending() const {
  std::lock_guard lock(mutex_);
  return identityRepeating_ || trackRate_ != 0;
}

void MlrModel::ApplyFaults(const std::string& key) {
  if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, key);
}

std::string MlrModel::Identity() const {
  return Sentence("PMLR,IDGPS,01," + Fit(config_.model, 6) + "," + Fit(config_.name, 9) + "," +
                  Fit(config_.serial, 10) + "," + Fit(config_.software, 4) + Fit(config_.options, 7) +
                  Fit(config_.date, 8));
}

void MlrModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  // The unit listens at 4800 baud; at any other rate it hears noise. A pseudo-terminal tells
  // only the host's rate now, not the one the bytes were written at: bytes that waited while
  // the host changed its rate count as sent at the rate of the last look before they came.
  const int rate = link.LineRate();
  const bool heard = rate == -1 || rate == kCommandRate || polledRate_ == kCommandRate;
  polledRate_ = rate;
  for (const std::uint8_t byte : bytes) {
    if (byte == '$') line_.clear();
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      if (heard) Handle(line_, link);
      line_.clear();
    } else if (line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

void MlrModel::OnIdle(DeviceLink& link) {
  polledRate_ = link.LineRate();
  const auto now = Clock::now();
  std::unique_lock lock(mutex_);
  if (identityRepeating_ && now >= nextIdentity_) {
    nextIdentity_ = now + kIdentityPeriod;
    const std::string identity = Identity();
    lock.unlock();
    SendAtRate(link, std::vector<std::uint8_t>(identity.begin(), identity.end()), kCommandRate);
    return;
  }
  if (trackRate_ != 0 && now >= nextTracklog_) {
    const int rate = trackRate_;
    std::vector<std::uint8_t> tracklog = MlrTracklog(config_.points);
    lock.unlock();
    ApplyFaults("PMLR,24");
    SendAtRate(link, std::move(tracklog), rate);
    lock.lock();
    nextTracklog_ = Clock::now() + kTracklogDelay;
  }
}

void MlrModel::Handle(const std::string& sentence, DeviceLink& link) {
  std::unique_lock lock(mutex_);
  if (sentence == "$PMLR,26,01,01,0339") {
    identityRepeating_ = true;
    nextIdentity_ = Clock::now() + kIdentityPeriod;
    const std::string identity = Identity();
    lock.unlock();
    ApplyFaults("PMLR,26");
    link.SendText(identity);
  } else if (sentence == "$PMLR,24,02,0100,0398" || sentence == "$PMLR,24,02,0101,0399") {
    trackRate_ = sentence.ends_with("0398") ? 19200 : 38400;
    nextTracklog_ = Clock::now() + kTracklogDelay;
    ++transfersStarted_;
  } else if (sentence == "$PMLR,06,00,02A9") {
    identityRepeating_ = false;
    trackRate_ = 0;
  } else if (sentence == WithSum("$PMLR,59,2,")) {
    std::string answer = Sentence(FormatText("PMLR,59,%zu", config_.waypoints.size()));
    for (const MlrWaypoint& w : config_.waypoints) {
      answer += Sentence(FormatText("GPWPL,%s,%s,%s", NmeaCoordinate(w.latitude, 2, 'N', 'S').c_str(),
                                    NmeaCoordinate(w.longitude, 3, 'E', 'W').c_str(), w.name.c_str()));
    }
    lock.unlock();
    ApplyFaults("PMLR,59,2");
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
    config_.waypoints.push_back({fields[5], ParseCoordinate(fields[1], fields[2]), ParseCoordinate(fields[3], fields[4])});
  }
}

}  // namespace logwell::sim
