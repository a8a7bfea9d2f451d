// Fuzz target: the Garmin packet parser on the input as it would arrive from the port, and every
// packet it yields through the product data reader, the protocol array parser and each track
// point and waypoint decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include "wire/garmin/garmin_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::garmin;
  PacketParser parser;
  const auto decodeAll = [](const Packet& packet) {
    if (packet.data.size() > 255) std::abort();
    (void)ReadProductData(packet);
    Capabilities caps;
    if (ParseProtocolArray(packet.data, caps) == nullptr) (void)CheckCapabilities(caps);
    for (std::uint16_t type = 300; type <= 304; ++type) (void)DecodeTrackPoint(type, packet.data);
    for (const std::uint16_t type : std::initializer_list<std::uint16_t>{100, 101, 102, 103, 104, 107, 108, 109, 110, 150, 151, 152, 154, 155}) {
      logwell::Waypoint waypoint;
      if (DecodeWaypoint(type, packet.data, 0, waypoint) == WaypointDecode::Ok &&
          (waypoint.Id().size() > 6 || waypoint.Description().size() > 40))
        std::abort();
    }
  };
  for (std::size_t i = 0; i < size; ++i)
    if (parser.Feed(data[i])) decodeAll(parser.Last());
  // The raw input as one packet's data too, so that the decoders see every length.
  decodeAll(Packet{kPidWaypoint, std::vector<std::uint8_t>(data, data + std::min<std::size_t>(size, 255))});
  return 0;
}
