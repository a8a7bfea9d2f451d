#include "sim/syride/syride_model.h"

namespace logwell::sim {

using syride::Command;

SyrideModel::SyrideModel(SyrideModelConfig config) : config_(std::move(config)) {}

std::vector<syride::Fix> SyrideModel::FixesOf(const std::vector<TrackPoint>& flight) {
  std::vector<syride::Fix> fixes;
  fixes.reserve(flight.size());
  for (const TrackPoint& point : flight) fixes.push_back(syride::FixOf(point));
  return fixes;
}

std::vector<syride::NamedPoint> SyrideModel::Stored() const {
  std::lock_guard lock(mutex_);
  return config_.waypoints;
}

bool SyrideModel::WriteReport(std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  if (unplugged_) return false;
  const auto command = syride::CommandOf(report);
  if (!command) return true;  // not a report of ours: ignored
  if (!request_) {
    request_.emplace(static_cast<Command>(*command));
    requestCommand_ = *command;
  }
  if (request_->Feed(report)) {
    request_.reset();  // a damaged request is not answered
    return true;
  }
  if (request_->Complete()) {
    const std::vector<std::uint8_t> payload = request_->Payload();
    request_.reset();
    Answer(static_cast<Command>(requestCommand_), payload);
  }
  return true;
}

void SyrideModel::Answer(Command command, const std::vector<std::uint8_t>& request) {
  std::vector<std::uint8_t> payload;
  switch (command) {
    case Command::Product:
      payload = syride::EncodeProduct(config_.product);
      break;
    case Command::FlightList: {
      std::vector<syride::FlightEntry> entries;
      for (const auto& flight : config_.flights) {
        const auto fixes = FixesOf(flight);
        syride::FlightEntry entry;
        entry.startUnix = fixes.empty() ? 0 : fixes.front().unixTime;
        entry.durationSeconds = fixes.empty() ? 0 : fixes.back().unixTime - fixes.front().unixTime;
        entry.fixes = static_cast<std::uint32_t>(fixes.size());
        entries.push_back(entry);
      }
      payload = syride::EncodeFlightList(entries);
      break;
    }
    case Command::Flight: {
      const auto index = syride::DecodeFlightRequest(request);
      if (!index || *index >= config_.flights.size()) return;  // unknown flight: no answer
      payload = syride::EncodeFlight(FixesOf(config_.flights[*index]));
      break;
    }
    case Command::Task:
      payload = syride::EncodeTask(config_.task);
      break;
    case Command::Waypoints:
      payload = syride::EncodeWaypoints(config_.waypoints);
      break;
    case Command::WriteWaypoints: {
      std::vector<syride::NamedPoint> points;
      if (syride::DecodeWaypoints(request, points)) return;
      // Uploaded waypoints are added to those stored (the erase clears them).
      config_.waypoints.insert(config_.waypoints.end(), points.begin(), points.end());
      payload = syride::EncodeCount(static_cast<std::uint16_t>(points.size()));
      break;
    }
    case Command::EraseWaypoints:
      config_.waypoints.clear();
      payload = syride::EncodeCount(0);
      break;
    default:
      return;
  }
  auto reports = syride::BuildReports(command, payload);
  if (const auto fault = config_.faults.find(command); fault != config_.faults.end()) {
    const SyrideFault f = fault->second;
    const std::size_t at = std::min(f.atReport, reports.size() - 1);
    switch (f.kind) {
      case SyrideFault::Kind::Silence:
        return;
      case SyrideFault::Kind::Corrupt:
        reports[at][syride::kReportHeader] ^= 0x5A;
        break;
      case SyrideFault::Kind::Stall:
        reports.resize(at);
        break;
      case SyrideFault::Kind::Unplug:
        reports.resize(at);
        unplugAfter_ = at;
        break;
      case SyrideFault::Kind::Refuse:
        // An answer of another command: what an instrument with another protocol might say.
        reports = syride::BuildReports(static_cast<Command>(0x7F), std::vector<std::uint8_t>{1});
        break;
    }
  }
  for (auto& report : reports) outgoing_.push_back(std::move(report));
  ready_.notify_all();
}

int SyrideModel::ReadReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (unplugAfter_ && *unplugAfter_ == 0) unplugged_ = true;
  if (unplugged_) return -1;
  if (!ready_.wait_for(lock, wait, [this] { return !outgoing_.empty(); })) return 0;
  const std::vector<std::uint8_t> report = std::move(outgoing_.front());
  outgoing_.pop_front();
  if (unplugAfter_) --*unplugAfter_;
  const std::size_t n = std::min(buffer.size(), report.size());
  std::copy_n(report.begin(), n, buffer.begin());
  return static_cast<int>(n);
}

}  // namespace logwell::sim
