#pragma once
// A virtual Garmin receiver: the device side of the serial packet protocol. It answers the
// product request with its product data and (unless told not to) its protocol array, sends its
// track log (A301 with a D310 header and D301 points, or A300 with D300 points) and its
// waypoints (A100, D108) one packet per acknowledgement, takes waypoints and track logs sent to
// it, and records the power-off command.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "wire/garmin/garmin_protocol.h"
#include "model/track_point.h"
#include "model/waypoint.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::sim {

struct GarminModelConfig {
  std::int16_t productId = 130;
  std::uint16_t software = 360;
  std::string description = "VIRTUAL GPS Software Version 3.60";
  bool protocolArray = true;
  bool a300 = false;  // A300/D300 instead of A301/D310/D301
  std::string trackName = "ACTIVE LOG";
  std::vector<TrackPoint> points;
  std::vector<Waypoint> waypoints;
  // A fault put on the packet of the track log transfer with this number (1: the records
  // packet, then header and points); 0: none.
  std::size_t trackFaultAt = 0;
  Fault trackFault;
  // False: a receiver that takes what it is sent but never acknowledges it.
  bool acknowledgesUploads = true;
  // Sends at the real 9600 baud instead of at once.
  bool paced = false;
};

class GarminModel : public InstrumentModel {
 public:
  explicit GarminModel(GarminModelConfig config);
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  // What the host sent: waypoints and track points taken, and whether it asked for power-off.
  std::vector<Waypoint> ReceivedWaypoints() const;
  std::vector<TrackPoint> ReceivedPoints() const;
  bool PoweredOff() const;
  // Every device command received, in order (0 abort, 6 track log, 7 waypoints, 8 power off).
  std::vector<std::uint16_t> Commands() const;
  // Every byte the receiver has sent so far.
  std::size_t BytesSent() const;

  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }

 private:
  void OnPacket(const garmin::Packet& packet, DeviceLink& link);
  void Send(const garmin::Packet& packet, DeviceLink& link);
  void SendNextQueued(DeviceLink& link);

  GarminModelConfig config_;
  garmin::PacketParser parser_;
  std::deque<garmin::Packet> queue_;  // a transfer: the next packet goes out on each acknowledge
  bool awaitingAck_ = false;
  std::uint8_t sentId_ = 0;
  bool trackTransfer_ = false;
  std::size_t trackPacketsSent_ = 0;
  VirtualInstrument* instrument_ = nullptr;
  std::vector<std::uint16_t> commands_;
  std::size_t bytesSent_ = 0;
  mutable std::mutex mutex_;
  std::vector<Waypoint> receivedWaypoints_;
  std::vector<TrackPoint> receivedPoints_;
  bool poweredOff_ = false;
};

}  // namespace logwell::sim
