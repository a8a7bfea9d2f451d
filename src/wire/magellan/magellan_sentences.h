#pragma once
// The $PMGN sentences of Magellan receivers as both ends of the line speak them: NMEA framing
// with a checksum, the checksum acknowledgement of handshake mode ($PMGNCSM) and the waypoint
// sentence ($PMGNWPL). The host (devices/magellan) and the virtual receiver (sim/magellan)
// share this codec.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/waypoint.h"

namespace logwell::magellan {

// The longest sentence either side takes; a longer line is noise.
inline constexpr std::size_t kMaxSentence = 200;

// One received line as assembled from "$" to the line feed (without CR LF).
struct ReceivedSentence {
  std::string body;             // between "$" and "*" (the whole rest when there is no "*")
  std::uint8_t computed = 0;    // the checksum of `body` as received
  bool checksumOk = false;      // a "*" followed by exactly two hex digits equal to `computed`
  std::optional<std::uint8_t> received;  // the two hex digits after "*", when there are such
  bool Is(std::string_view identifier) const;  // field 0 of the body, e.g. "PMGNTRK"
  std::vector<std::string_view> Fields() const;
};
ReceivedSentence ReadSentence(std::string_view line);

// "$" + body + "*%02X\r\n".
std::string Sentence(std::string_view body);
// The acknowledgement of a received sentence in handshake mode: "$PMGNCSM,%02X*CS\r\n". A
// sender that gets back another value than its own checksum sends the sentence again. A sound
// sentence is acknowledged with its checksum; a damaged one with a value that is neither the
// checksum it carried nor the one computed over what arrived, since either part may be the
// damaged one: the sender always sends it again.
std::string AcknowledgeSentence(const ReceivedSentence& sentence);
// The checksum a "$PMGNCSM" sentence acknowledges, or none when it is not one.
std::optional<std::uint8_t> AcknowledgedChecksum(const ReceivedSentence& sentence);

// The waypoint upload sentence: "$PMGNWPL,%04d.%03d,%c,%05d.%03d,%c,%04d,M,%s,%s" with
// "*%02X\r\n": latitude and longitude as degrees·100 + minutes and thousandths of a minute,
// the altitude in metres, the name and the description. Characters that would end a field or
// the sentence ("," "*" "$", control characters) are sent as blanks.
std::string WaypointSentence(const Waypoint& waypoint);

// A "$PMGNWPL" body: latitude ddmm.mmm and N/S, longitude dddmm.mmm and E/W, altitude and
// its unit (M or F), name, then an optional comment and an optional icon. A comma inside the
// name or comment comes as ESC "2C" and is decoded. None when the layout does not match or a
// text holds another control character (the sentence is refused rather than guessed).
std::optional<Waypoint> ParseWaypointSentence(const ReceivedSentence& sentence);

}  // namespace logwell::magellan
