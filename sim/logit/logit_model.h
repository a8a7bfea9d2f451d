#pragma once
// A virtual LogIt / Tracklogger: answers its identity ("$PMLR,IDGPS,00"), sends its points from
// any point on ("$PMLR,TRACK,n") after their count, erases them ("$PMLR,ERASE") and takes a new
// owner name ("$PMLR,IDGPS,01,name"). The layouts are this project's unverified reading
// (docs/instruments.md). Faults are those of VirtualInstrument, applied to the answer of the
// request they are keyed by: "IDGPS", "TRACK" or "ERASE".
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct LogItModelConfig {
  std::string model = "TRACKLOGGER";
  std::string owner = "JANE DOE";
  std::string software = "2.10";
  int capacity = 65000;
  std::vector<TrackPoint> points;  // times are the logger's local time
  std::map<std::string, std::vector<Fault>> faultsFor;
};

class LogItModel final : public InstrumentModel {
 public:
  explicit LogItModel(LogItModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  std::string Owner() const;
  std::size_t PointCount() const;
  std::vector<int> TrackRequests() const;  // the first point of each track request

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void ApplyFaults(const std::string& key);

  LogItModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  mutable std::mutex mutex_;
  std::vector<int> trackRequests_;
};

}  // namespace logwell::sim
