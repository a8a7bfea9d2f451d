#pragma once
// Waypoints both ways: $PBRWPS sentences from the instrument, $PBRWPR sentences to it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "access/access_block.h"
#include "devices/flytec/flytec_protocol.h"

namespace logwell::flytec {

// One received waypoint sentence, field by field.
struct WaypointSentence {
  std::int32_t latitude = 0;   // semicircles
  std::int32_t longitude = 0;  // semicircles
  std::string shortName;
  std::string longName;
  std::int32_t altitude = 0;
};

// Takes the received bytes one at a time, after the "$PBRWPS," prefix has matched byte by
// byte. Feed returns 1 for more bytes, 0 when Sentence() holds a whole sentence with a good
// checksum, or a negative code: -1..-5 latitude (above 8959, bad character after the integer
// part, in the decimals, hemisphere, missing comma), -6..-10 the same for the longitude,
// -11/-12 short name (line end inside, longer than 6), -13/-14 long name (line end inside,
// longer than 17), -15/-16 altitude (bad character, more than 5 digits), -17/-18 checksum
// digits, -19 no CR, -21 no LF, -20 checksum mismatch.
class WaypointAssembler {
 public:
  int Feed(std::uint8_t byte);
  const WaypointSentence& Sentence() const { return sentence_; }

 private:
  int ParseBody();
  enum class State { Prefix, Body, Checksum1, Checksum2, CarriageReturn, LineFeed };
  State state_ = State::Prefix;
  std::size_t matched_ = 0;
  std::string body_;
  std::string checksum_;
  WaypointSentence sentence_;
};

// The identifier of a received waypoint: the short name up to its first blank (at most 6
// characters, upper case), else the long name treated the same way, else "Z".
std::string WaypointId(std::string_view shortName, std::string_view longName);

// "$PBRWPR,..." with its checksum suffix for one waypoint (altitude clamped to 0..9999).
std::string WaypointUploadSentence(const Waypoint& waypoint);
// The upload sentence without its checksum, "$<identifier>,ddmm.mmm,N,dddmm.mmm,E,,<name>,aaaa",
// the name cut or padded with blanks to `nameWidth`.
std::string WaypointUploadBody(const Waypoint& waypoint, std::string_view identifier, std::size_t nameWidth);

// Requests the waypoints and stores them in block.waypoints (or, with `scan`, hands each to
// the competition identity scan). 0, or -1 after the failure was shown.
int DownloadWaypoints(AccessBlock& block, const FamilyEnvironment& context, bool scan);
// Sends block.waypoints in order. 0, or -1.
int UploadWaypoints(AccessBlock& block, const FamilyEnvironment& context);

}  // namespace logwell::flytec
