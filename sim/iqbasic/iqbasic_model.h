#pragma once
// A virtual IQ Basic or Flytec 6015: answers the product parameters ("RPA_nn"), the flight list
// ("ACT_20"), each flight as IGC text ("ACT_21_nn"), the waypoint list ("ACT_31") and waypoint
// uploads ("ACT_32" and the waypoint line that follows), every answer line ending in CR LF and
// every list in " Done". Faults are those of VirtualInstrument, applied to the answer of the
// request they are keyed by.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct IqBasicWaypoint {
  std::string name;  // as stored: at most 16 characters
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  int altitude = 0;
  int radius = 400;
};

struct IqBasicModelConfig {
  int deviceType = 1;  // 0 Flytec 6015, 1 IQ Basic
  std::uint32_t serial = 4711;
  int serialBytes = 4;  // the width of the serial number parameter: 2 or 4
  int software = 1107;  // "1.1.07"
  std::vector<std::string> flights;  // IGC texts; the flight list follows this order
  std::vector<IqBasicWaypoint> waypoints;
  std::size_t waypointCapacity = 200;  // "full list" beyond it
  // Faults applied once to the answer of a request: "RPA", "ACT_20", "ACT_21" (or "ACT_21_NN"
  // for one flight), "ACT_31", "ACT_32" (the answer to the waypoint line).
  std::map<std::string, std::vector<Fault>> faultsFor;
};

class IqBasicModel final : public InstrumentModel {
 public:
  explicit IqBasicModel(IqBasicModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  std::vector<IqBasicWaypoint> Waypoints() const;
  // The waypoint lines received after "ACT_32_00", as they arrived (without CR LF).
  std::vector<std::string> UploadLines() const;

 private:
  void Handle(const std::string& line, DeviceLink& link);
  void ApplyFaults(const std::string& key);
  std::string StoreWaypoint(const std::string& line);

  IqBasicModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  bool awaitingWaypoint_ = false;
  mutable std::mutex mutex_;
  std::vector<std::string> uploadLines_;
};

}  // namespace logwell::sim
