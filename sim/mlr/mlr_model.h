#pragma once
// A virtual MLR unit (or a Digifly, CPilot or CoMo unit speaking the MLR protocol): answers the
// product request, sends its track log as $GPRMC and $GPGGA pairs and its waypoints as $GPWPL
// sentences after a "$PMLR,59,count" sentence, and stores the $GPWPL sentences it receives.
// The layouts beyond the NMEA 0183 sentences are this project's unverified reading
// (docs/instruments.md). Faults are those of VirtualInstrument, applied to the answer of the
// request they are keyed by.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct MlrWaypoint {
  std::string name;  // the sentence's name field as stored
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
};

struct MlrModelConfig {
  std::string maker = "MLR";
  std::string model = "SP24XC";
  int software = 398;  // "3.98"
  std::vector<TrackPoint> points;
  std::vector<MlrWaypoint> waypoints;
  // Faults applied once to the answer of a request: "PMLR,24", "PMLR,59,1", "PMLR,59,2".
  std::map<std::string, std::vector<Fault>> faultsFor;
};

class MlrModel final : public InstrumentModel {
 public:
  explicit MlrModel(MlrModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  std::vector<MlrWaypoint> Waypoints() const;

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void ApplyFaults(const std::string& key);

  MlrModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  mutable std::mutex mutex_;
};

}  // namespace logwell::sim
