#include "sim/topnav/topnav_model.h"

namespace logwell::sim {

std::string TopNavTransfer(const TopNavModelConfig& config) {
  TncHeader header;
  header.instrument = config.instrument;
  header.version = config.version;
  header.serial = config.serial;
  header.flight = config.flight;
  header.start = config.points.empty() ? 0 : config.points.front().time;
  header.count = static_cast<int>(config.points.size());
  header.interval = 1;
  header.heightKind = '*';
  std::string text = FormatTncHeader(header);
  for (std::size_t i = 0; i < config.points.size(); ++i) {
    text += FormatTncPoint(TncPointFor(config.points[i], header.start, static_cast<int>(i)));
  }
  return text;
}

TopNavModel::TopNavModel(TopNavModelConfig config)
    : config_(std::move(config)), transfer_(TopNavTransfer(config_)) {}

void TopNavModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte != 0x11) continue;
    ++transfers_;
    if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, "transfer");
    if (config_.pacedBaud > 0) {
      if (!link.SendTextPaced(transfer_, config_.pacedBaud)) return;
    } else {
      link.SendText(transfer_);
    }
  }
}

}  // namespace logwell::sim
