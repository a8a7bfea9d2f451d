#include "sim/dsx/dsx_model.h"

namespace logwell::sim {

DsxModel::DsxModel(DsxModelConfig config) : config_(std::move(config)) {}

std::vector<std::string> DsxModel::PilotLines() const {
  std::lock_guard lock(mutex_);
  return pilotLines_;
}

void DsxModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '#' && sawConn_ && line_.empty()) {
      sawConn_ = false;
      if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, "Conn");
      link.SendText("DSX," + config_.model + "," + config_.serial + "," + config_.software + "\r\n");
      continue;
    }
    if (byte == '\r' || byte == '\n') {
      if (!line_.empty()) Handle(line_, link);
      line_.clear();
    } else if (line_.size() < 200) {
      line_ += static_cast<char>(byte);
    }
  }
}

void DsxModel::Handle(const std::string& line, DeviceLink& link) {
  if (line == "Conn") {
    sawConn_ = true;
    return;
  }
  sawConn_ = false;
  if (line == "ZZZZ") {
    if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, "ZZZZ");
    link.SendText(config_.flight);
  } else if (line.size() >= 2 && line[0] == 'H' && line[1] >= '1' && line[1] <= '6') {
    std::lock_guard lock(mutex_);
    pilotLines_.push_back(line);
  }
}

}  // namespace logwell::sim
