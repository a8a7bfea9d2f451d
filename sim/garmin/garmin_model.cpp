#include "sim/garmin/garmin_model.h"

#include <utility>

namespace logwell::sim {

using namespace garmin;

GarminModel::GarminModel(GarminModelConfig config) : config_(std::move(config)) {}

void GarminModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  for (const std::uint8_t byte : bytes)
    if (parser_.Feed(byte)) OnPacket(parser_.Last(), link);
}

void GarminModel::Send(const Packet& packet, DeviceLink& link) {
  const std::vector<std::uint8_t> frame = FramePacket(packet.id, packet.data);
  {
    std::lock_guard lock(mutex_);
    bytesSent_ += frame.size();
  }
  link.SendPaced(frame, config_.paced ? kBaudRate : 0);
}

void GarminModel::SendNextQueued(DeviceLink& link) {
  awaitingAck_ = false;
  if (queue_.empty()) return;
  const Packet packet = std::move(queue_.front());
  queue_.pop_front();
  if (trackTransfer_ && ++trackPacketsSent_ == config_.trackFaultAt && instrument_ != nullptr)
    instrument_->Inject(config_.trackFault);
  Send(packet, link);
  awaitingAck_ = true;
  sentId_ = packet.id;
}

void GarminModel::OnPacket(const Packet& packet, DeviceLink& link) {
  switch (packet.id) {
    case kPidAck:
      if (awaitingAck_ && ReadU16(packet.data, 0) == sentId_) SendNextQueued(link);
      return;
    case kPidProductRequest: {
      // Receivers acknowledge the request before they answer it (hosts such as GPSBabel wait
      // for that acknowledge after every packet they send).
      Send(AckPacket(kPidProductRequest), link);
      Packet product{kPidProductData, {}};
      product.data.resize(4);
      WriteU16(product.data, 0, static_cast<std::uint16_t>(config_.productId));
      WriteU16(product.data, 2, config_.software);
      product.data.insert(product.data.end(), config_.description.begin(), config_.description.end());
      product.data.push_back(0);
      Send(product, link);
      if (config_.protocolArray) {
        Packet array{kPidProtocolArray, {}};
        const auto entry = [&array](char tag, std::uint16_t number) {
          array.data.push_back(static_cast<std::uint8_t>(tag));
          array.data.push_back(static_cast<std::uint8_t>(number & 0xFF));
          array.data.push_back(static_cast<std::uint8_t>(number >> 8));
        };
        entry('P', 0);
        entry('L', 1);
        entry('A', 10);
        entry('A', 100);
        entry('D', 108);
        if (config_.a300) {
          entry('A', 300);
          entry('D', 300);
        } else {
          entry('A', 301);
          entry('D', 310);
          entry('D', 301);
        }
        Send(array, link);
      }
      return;
    }
    case kPidCommand: {
      const std::uint16_t command = ReadU16(packet.data, 0);
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
      }
      Send(AckPacket(kPidCommand), link);
      queue_.clear();
      awaitingAck_ = false;
      trackTransfer_ = false;
      trackPacketsSent_ = 0;
      if (command == kCommandPowerOff) {
        std::lock_guard lock(mutex_);
        poweredOff_ = true;
        return;
      }
      if (command == kCommandTrackLog) {
        trackTransfer_ = true;
        const bool header = !config_.a300;
        queue_.push_back(NumberPacket(kPidRecords, static_cast<std::uint16_t>(config_.points.size() + (header ? 1 : 0))));
        if (header) {
          Packet head{kPidTrackHeader, {1, 0}};
          head.data.insert(head.data.end(), config_.trackName.begin(), config_.trackName.end());
          head.data.push_back(0);
          queue_.push_back(std::move(head));
        }
        for (std::size_t i = 0; i < config_.points.size(); ++i) {
          TrackPoint point = config_.points[i];
          if (i == 0) point.segmentStart = 1;
          queue_.push_back(Packet{kPidTrackPoint, EncodeTrackPoint(config_.a300 ? 300 : 301, point)});
        }
        queue_.push_back(NumberPacket(kPidTransferComplete, kCommandTrackLog));
      } else if (command == kCommandWaypoints) {
        queue_.push_back(NumberPacket(kPidRecords, static_cast<std::uint16_t>(config_.waypoints.size())));
        for (const Waypoint& waypoint : config_.waypoints)
          queue_.push_back(Packet{kPidWaypoint, EncodeWaypoint(108, waypoint)});
        queue_.push_back(NumberPacket(kPidTransferComplete, kCommandWaypoints));
      }
      // The command's acknowledge went out; the first packet of the transfer follows at once.
      SendNextQueued(link);
      return;
    }
    case kPidRecords:
    case kPidTransferComplete:
    case kPidTrackHeader:
      if (config_.acknowledgesUploads) Send(AckPacket(packet.id), link);
      return;
    case kPidWaypoint: {
      Waypoint waypoint;
      if (DecodeWaypoint(108, packet.data, 0, waypoint) == WaypointDecode::Ok) {
        std::lock_guard lock(mutex_);
        receivedWaypoints_.push_back(waypoint);
      }
      if (config_.acknowledgesUploads) Send(AckPacket(packet.id), link);
      return;
    }
    case kPidTrackPoint: {
      if (auto point = DecodeTrackPoint(config_.a300 ? 300 : 301, packet.data)) {
        std::lock_guard lock(mutex_);
        receivedPoints_.push_back(*point);
      }
      if (config_.acknowledgesUploads) Send(AckPacket(packet.id), link);
      return;
    }
    default:
      // Packets this receiver does not know are acknowledged and otherwise ignored.
      Send(AckPacket(packet.id), link);
      return;
  }
}

std::vector<Waypoint> GarminModel::ReceivedWaypoints() const {
  std::lock_guard lock(mutex_);
  return receivedWaypoints_;
}

std::vector<TrackPoint> GarminModel::ReceivedPoints() const {
  std::lock_guard lock(mutex_);
  return receivedPoints_;
}

std::vector<std::uint16_t> GarminModel::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::size_t GarminModel::BytesSent() const {
  std::lock_guard lock(mutex_);
  return bytesSent_;
}

bool GarminModel::PoweredOff() const {
  std::lock_guard lock(mutex_);
  return poweredOff_;
}

}  // namespace logwell::sim
