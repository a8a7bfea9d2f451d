#pragma once
// A virtual Top Navigator or XC Trainer. A real one sends a flight when the pilot starts the
// transfer on it; this one takes the host's XON (sent when a download starts) as that moment
// and sends its flight as a start record and one point line per fix (track/formats/tnc_log.h).
// Faults are those of VirtualInstrument, applied to the transfer (request name "transfer").
// Types 2 and 7 also move waypoints, in this project's own unverified layout
// (wire/topnav/topnav_waypoints.h): the model sends its waypoints instead of its flight when
// told to, and stores the waypoints an upload sends it.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
#include "model/waypoint.h"
#include "track/formats/tnc_log.h"

namespace logwell::sim {

struct TopNavModelConfig {
  TncInstrument instrument = TncInstrument::XcTrainer;
  int version = 0x2405;
  int serial = 7183;
  int flight = 5;
  std::vector<TrackPoint> points;
  // Sends at this line rate (0: at once), as the 9600 or 57600 baud link would.
  int pacedBaud = 0;
  std::vector<Waypoint> waypoints;
  AnswerFaults faultsFor;  // key "transfer"
};

// The whole transfer for `config`: the text the instrument sends.
std::string TopNavTransfer(const TopNavModelConfig& config);

class TopNavModel final : public InstrumentModel {
 public:
  explicit TopNavModel(TopNavModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  // How many transfers were started.
  int Transfers() const { return transfers_.load(); }
  // What the pilot sends next: the waypoints (true) or the flight.
  void SendWaypoints(bool waypoints) { sendWaypoints_ = waypoints; }
  std::vector<Waypoint> Waypoints() const;

 private:
  void Handle(const std::string& line);

  TopNavModelConfig config_;
  std::atomic<bool> sendWaypoints_{false};
  std::string line_;
  std::vector<Waypoint> upload_;  // an upload in progress
  int announced_ = -1;
  mutable std::mutex mutex_;
  std::string transfer_;
  VirtualInstrument* instrument_ = nullptr;
  std::atomic<int> transfers_{0};
};

}  // namespace logwell::sim
