#pragma once
// A virtual Digifly Leonardo Pro or Digifly Air, speaking the "$PDGF" sentences as this project
// reads them (unverified; docs/instruments.md): "$PDGFVID" answers the product request,
// "$PDGFFLL" the flight list, "$PDGFRMM,n" one flight as fixes, "$PDGFWMM" every stored
// waypoint of the four sets; every answer opens with its count. "$PDGFWMM,set,..." sentences it
// receives are stored in their set. Faults are those of VirtualInstrument, applied to the answer
// of the request they are keyed by.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct DigiflyWaypoint {
  int set = 1;  // 0 Leonardo Pro user, 1 Air user, 2 Leonardo Pro competition, 3 Air competition
  std::string name;
  int latitude = 0;   // thousandths of a minute, north positive
  int longitude = 0;  // thousandths of a minute, east positive
  int altitude = 0;   // metres
};

struct DigiflyModelConfig {
  std::string model = "DigiflyAir";
  std::string serial = "A1234";
  std::string software = "502m";
  std::vector<std::vector<TrackPoint>> flights;
  std::vector<DigiflyWaypoint> waypoints;
  // Faults applied once to the answer of a request: "PDGFVID", "PDGFFLL", "PDGFRMM", "PDGFWMM".
  std::map<std::string, std::vector<Fault>> faultsFor;
};

class DigiflyModel final : public InstrumentModel {
 public:
  explicit DigiflyModel(DigiflyModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  std::vector<DigiflyWaypoint> Waypoints() const;

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void ApplyFaults(const std::string& key);

  DigiflyModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  mutable std::mutex mutex_;
};

}  // namespace logwell::sim
