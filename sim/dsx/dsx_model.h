#pragma once
// A virtual DSX recorder: answers the connection request "Conn\n\r\r\n#" with its
// identification line, sends its stored flight (IGC text) on "ZZZZ\r" and stores the pilot data
// lines "H1…\r" to "H6…\r". The identification layout is this project's unverified reading
// (docs/instruments.md). Faults are those of VirtualInstrument, applied to the answer of the
// request they are keyed by: "Conn" or "ZZZZ".
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct DsxModelConfig {
  std::string model = "TRACER";
  std::string serial = "1234";
  std::string software = "3.4";
  std::string flight;  // IGC text, sent as it is
  std::map<std::string, std::vector<Fault>> faultsFor;
};

class DsxModel final : public InstrumentModel {
 public:
  explicit DsxModel(DsxModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  // The pilot data lines received, without their CR ("H1Jane Doe", ...).
  std::vector<std::string> PilotLines() const;

 private:
  void Handle(const std::string& line, DeviceLink& link);

  DsxModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  bool sawConn_ = false;
  mutable std::mutex mutex_;
  std::vector<std::string> pilotLines_;
};

}  // namespace logwell::sim
