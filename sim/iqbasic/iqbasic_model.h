#pragma once
// A virtual IQ Basic or Flytec 6015, written from Flytec's "Communication protocol 6015"
// (V1.3.00): it answers the product parameters ("RPA_00" to "RPA_02", "No Par" for others),
// the flight book ("ACT_20_00"), each flight as IGC text ("ACT_21_xx", hexadecimal index),
// the waypoint list ("ACT_31_00") and waypoint uploads ("ACT_32_00" and the 56-character
// waypoint line after it), every answer line ending in CR LF and every list in " Done". Lines
// are laid out at the document's character positions. Software before 1.1.20 sends the flight
// book the older way: a header line first, a blank before the names, no " Done".
//
// Not from the document: the byte order of the parameters (little-endian, as a peer utility
// reads them), the text of the older header line (the document only says there is one), and
// silence for a command the document does not list (such as "ACT_20_  "). Faults are those of
// VirtualInstrument, applied to the answer of the request they are keyed by.
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
  std::uint32_t serial = 4711;  // four bytes
  int software = 1300;  // "1.3.00"; below 1120 the older flight book
  int utcOffset = 1;    // hours, the flight book's "UTC offset" field
  std::vector<std::string> flights;  // IGC texts; the flight list follows this order
  std::vector<IqBasicWaypoint> waypoints;
  std::size_t waypointCapacity = 200;  // "full list" beyond it
  // Faults applied once to the answer of a request: "RPA", "ACT_20", "ACT_21" (or "ACT_21_NN"
  // for one flight), "ACT_31", "ACT_32" (the answer to the waypoint line).
  std::map<std::string, std::vector<Fault>> faultsFor;
};

// The flight book line of one IGC flight (with CR LF): 166 characters at the document's
// positions; `olderBook` puts a blank before the names as software before 1.1.20 did.
std::string FlightBookLine(int index, const std::string& igc, int utcOffset, bool olderBook);
// A stored waypoint as "ACT_31_00" lists it (with CR LF): degrees padded with blanks.
std::string WaypointListLine(const IqBasicWaypoint& waypoint);

class IqBasicModel final : public InstrumentModel {
 public:
  explicit IqBasicModel(IqBasicModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  std::vector<IqBasicWaypoint> Waypoints() const;
  // Every command line received, as it arrived (without CR LF).
  std::vector<std::string> Commands() const;
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
  std::vector<std::string> commands_;
};

}  // namespace logwell::sim
