#pragma once
// LogIt / Tracklogger GPS loggers: "$PMLR," sentences. Product data, erase and the owner name
// run at 4800 baud, the track download at the rate the access names (19200 to 115200); no flow
// control. The name write ("$PMLR,IDGPS,01," with the name padded and "*00\r\n"), the model
// "TRACKLOGGER" and the restart of a download at a point are the program's own literals. The
// other requests and every answer layout are this project's UNVERIFIED reading
// (docs/instruments.md): requests end in "*00" as the name write does, answers carry the NMEA
// checksum. An answer that does not match is refused ("Unsupported record …"), never guessed.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"

namespace logwell::logit {

inline constexpr int kCommandBaudRate = 4800;
inline constexpr int kTrackBaudRates[] = {19200, 38400, 57600, 115200};
inline constexpr std::size_t kNameLength = 16;  // the padded owner name (unverified width)

inline constexpr std::string_view kIdentityRequest = "$PMLR,IDGPS,00,*00\r\n";
inline constexpr std::string_view kEraseRequest = "$PMLR,ERASE,*00\r\n";
// "$PMLR,TRACK,<first point>,*00\r\n": the track from a point on (0 for the whole track).
std::string TrackRequest(int firstPoint);
// "$PMLR,IDGPS,01," + the name padded with blanks to kNameLength (longer names cut; ",", "*",
// "$" and control characters made blanks) + "*00\r\n".
std::string NameWriteSentence(std::string_view name);

// "$PMLR,IDGPS,model,owner,software,points used,capacity": the LogIt data.
struct Identity {
  std::string model;  // "TRACKLOGGER"
  std::string owner;
  std::string software;
  int pointsUsed = 0;
  int capacity = 0;
};
bool IsIdentityAnswer(std::span<const std::string_view> fields);
std::optional<std::string> ParseIdentity(std::span<const std::string_view> fields, Identity& identity);
// "%s SW %s, owner %s" (the owner left out when blank)
std::string ProductText(const Identity& identity);
// "%d of %d points used"
std::string MemoryText(const Identity& identity);
// The LogIt data buffer kept with a downloaded track log is the identity sentence as received;
// this reads it back. Nothing when the buffer is not one.
std::optional<Identity> ReadLogItData(std::span<const std::uint8_t> data);

// "$PMLR,TRACK,count": the number of points the logger holds. Nothing when it is not one.
std::optional<int> ParseTrackCount(std::span<const std::string_view> fields);
// "$PMLR,TP,index,ddmmyy,hhmmss,ddmm.mmmm,N|S,dddmm.mmmm,E|W,altitude m": one point in the
// logger's local time. A refusal text, or nothing with `index` and `point` filled.
std::optional<std::string> ParseTrackPoint(std::span<const std::string_view> fields, int& index, TrackPoint& point);
// "$PMLR,ERASE,OK"
bool IsEraseDone(std::span<const std::string_view> fields);

}  // namespace logwell::logit
