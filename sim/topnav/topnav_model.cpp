#include "sim/topnav/topnav_model.h"

#include "wire/topnav/topnav_waypoints.h"

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

std::vector<Waypoint> TopNavModel::Waypoints() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

void TopNavModel::Handle(const std::string& line) {
  if (const auto count = topnav::ParseWaypointStart(line)) {
    announced_ = *count;
    upload_.clear();
  } else if (announced_ >= 0) {
    Waypoint waypoint;
    if (topnav::ParseWaypointLine(line, static_cast<int>(upload_.size()), waypoint)) {
      announced_ = -1;  // a broken upload is dropped whole
      return;
    }
    upload_.push_back(waypoint);
  }
  if (announced_ >= 0 && static_cast<int>(upload_.size()) == announced_) {
    std::lock_guard lock(mutex_);
    config_.waypoints.insert(config_.waypoints.end(), upload_.begin(), upload_.end());
    announced_ = -1;
  }
}

void TopNavModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes) {
    if (byte == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      Handle(line_);
      line_.clear();
      continue;
    }
    if (byte != 0x11) {
      if (line_.size() < 100) line_ += static_cast<char>(byte);
      continue;
    }
    ++transfers_;
    if (instrument_ != nullptr) instrument_->InjectFor(config_.faultsFor, "transfer");
    std::string text = transfer_;
    if (sendWaypoints_) {
      const std::vector<Waypoint> waypoints = Waypoints();
      text = topnav::FormatWaypointStart(static_cast<int>(waypoints.size()));
      for (std::size_t i = 0; i < waypoints.size(); ++i) text += topnav::FormatWaypointLine(waypoints[i], static_cast<int>(i));
    }
    if (config_.pacedBaud > 0) {
      if (!link.SendTextPaced(text, config_.pacedBaud)) return;
    } else {
      link.SendText(text);
    }
  }
}

}  // namespace logwell::sim
