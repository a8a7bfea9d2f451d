#pragma once
// A virtual Top Navigator or XC Trainer. A real one sends a flight when the pilot starts the
// transfer on it; this one takes the host's XON (sent when a download starts) as that moment
// and sends its flight as a start record and one point line per fix (track/formats/tnc_log.h).
// Faults are those of VirtualInstrument, applied to the transfer (request name "transfer").
#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "model/track_point.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
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

 private:
  TopNavModelConfig config_;
  std::string transfer_;
  VirtualInstrument* instrument_ = nullptr;
  std::atomic<int> transfers_{0};
};

}  // namespace logwell::sim
