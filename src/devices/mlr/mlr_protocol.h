#pragma once
// MLR units (and the Digifly Leonardo, CPilot and CoMo units that speak their protocol): NMEA
// style sentences with the usual checksum at 4800 baud (38400 for the track-only variant), no
// flow control. The fixed requests and the waypoint upload are the program's own literals; the
// rest follows the most plausible reading of public material (NMEA 0183 for $GPRMC, $GPGGA and
// $GPWPL) and is UNVERIFIED: no maker's description of the product answer, of the transfer
// request's numbering or of the count that opens a transfer is public (docs/instruments.md).
// Sentences that do not match are refused ("Unsupported record …"), never guessed at.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/track_point.h"
#include "model/waypoint.h"

namespace logwell::mlr {

inline constexpr int kBaudRate = 4800;
inline constexpr int kTrackOnlyBaudRate = 38400;

inline constexpr std::string_view kProductRequest = "$PMLR,24,02,0100,0398\r\n";
// What a transfer request ("$PMLR,59,%d,") asks for (unverified numbering).
inline constexpr int kTrackTransfer = 1;
inline constexpr int kWaypointTransfer = 2;
// "$PMLR,59,%d," with its checksum and CR LF.
std::string TransferRequest(int what);

struct ProductData {
  std::string maker;  // "MLR", "Digifly", "CPilot" or "CoMo"
  std::string model;
  int software = 0;  // hundredths: 398 is "3.98"
};
// "$PMLR,24,maker,model,software" (fields after the checksum check). The text of the fault, or
// nothing.
std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product);
// "MLR %s SW%d.%02d" and its siblings for the other makers.
std::string ProductText(const ProductData& product);

// "$PMLR,59,count": how many sentences (fixes or waypoints) follow. Nothing when it is not.
std::optional<int> ParseTransferCount(std::span<const std::string_view> fields);

// One fix from a $GPRMC sentence (time, date, position; status A) completed by the $GPGGA
// sentence of the same second (altitude). Fault texts, or nothing.
struct FixInProgress {
  GarminTime time = 0;
  std::int32_t latitude = 0;
  std::int32_t longitude = 0;
  bool pending = false;  // an RMC waits for its GGA
};
std::optional<std::string> ParseRmc(std::span<const std::string_view> fields, FixInProgress& fix);
// Completes `fix` into `point`; the GGA's time must be the RMC's time of day.
std::optional<std::string> ParseGga(std::span<const std::string_view> fields, FixInProgress& fix, TrackPoint& point);

// $GPWPL,llll.lll,a,yyyyy.yyy,a,name: the name field is the 6-character identifier, "0" and the
// description as the upload writes it, or a plain NMEA identifier.
std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, Waypoint& waypoint);
// The upload sentence "$GPWPL,%04d.%03d,%c,%05d.%03d,%c,%s0%s*CS\r\n"; 0 and the sentence, or
// -305 (a bad identifier character) or -306 (no identifier).
int WaypointSentence(const Waypoint& waypoint, std::string& sentence);

}  // namespace logwell::mlr
