#pragma once
// A GPS that talks unasked: sends "$GPRMC" and "$GPGGA" for each point of a flight, one point
// per `pace` of real time, and answers received sentences like the echo model.
#include <chrono>
#include <vector>

#include "sim/echo_model.h"
#include "model/track_point.h"

namespace logwell::sim {

class NmeaStreamModel final : public InstrumentModel {
 public:
  NmeaStreamModel(std::vector<TrackPoint> points, std::chrono::milliseconds pace);
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  void OnIdle(DeviceLink& link) override;

 private:
  std::vector<TrackPoint> points_;
  std::chrono::milliseconds pace_;
  std::size_t next_ = 0;
  std::chrono::steady_clock::time_point due_ = std::chrono::steady_clock::now();
  EchoNmeaModel echo_;
};

// The two sentences of one fix (each with checksum and line end); `previous` gives speed and
// course, or nothing for the first fix.
std::string FixSentences(const TrackPoint& point, const TrackPoint* previous);

}  // namespace logwell::sim
