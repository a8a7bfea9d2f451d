#pragma once
// MLR units (and the Digifly Leonardo, CPilot and CoMo units that speak their protocol), as MLR's
// document "MLR protocol (01/2001)" describes them:
// - Commands are "$PMLR,..," sentences ending in four hexadecimal digits, the sum (modulo
//   65536) of every byte from "$" up to that field, and CR LF; they are sent at 4800 baud.
// - "$PMLR,26,01,01,0339" makes the unit repeat its identification "$PMLR,IDGPS,01,..*CS" (NMEA
//   checksum) at 4800 baud until "$PMLR,06,00,02A9" stops it.
// - "$PMLR,24,02,0100,0398" (19200 baud) or "$PMLR,24,02,0101,0399" (38400) starts the
//   tracklog a second later at that rate, in binary frames "[8B][n]T[01]" + body + 16-bit byte
//   sum + CR LF: "DEBUT", point frames of 1 to 27 points of 18 bytes, "FIN". The unit goes on
//   sending until "$PMLR,06,00,02A9" arrives at 4800 baud.
// The waypoint transfer is in no public document: its request ("$PMLR,59,%d," with the sum the
// document gives every command) and its $GPWPL sentences are this project's UNVERIFIED reading
// (docs/instruments.md). Input that does not match is refused ("Unsupported record …").
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "model/waypoint.h"

namespace logwell::mlr {

// The rate of every command and of the identification.
inline constexpr int kBaudRate = 4800;
// The tracklog rates the start commands ask for.
inline constexpr int kTrackBaudRate = 19200;
inline constexpr int kTrackOnlyBaudRate = 38400;

inline constexpr std::string_view kIdentityRequest = "$PMLR,26,01,01,0339\r\n";
inline constexpr std::string_view kStartTrackAt19200 = "$PMLR,24,02,0100,0398\r\n";
inline constexpr std::string_view kStartTrackAt38400 = "$PMLR,24,02,0101,0399\r\n";
// Stops the tracklog and the repeated identification.
inline constexpr std::string_view kStop = "$PMLR,06,00,02A9\r\n";

// The sum that ends a command: every byte of `head` (from "$" up to its last comma) added
// modulo 65536.
std::uint16_t CommandSum(std::string_view head);
// `head` followed by its sum as four upper-case hexadecimal digits and CR LF.
std::string Command(std::string_view head);

// What a waypoint transfer request asks for (unverified numbering; see above).
inline constexpr int kWaypointTransfer = 2;
// "$PMLR,59,%d," and its sum.
std::string TransferRequest(int what);

// "$PMLR,IDGPS,01,model,name,serial,d.ddOOOOOOOdd/mm/yy" (after the checksum check).
struct ProductData {
  std::string maker;  // "MLR", or "Digifly", "CPilot", "CoMo" when the model type names them
  std::string model;  // model type (6 characters, blanks trimmed)
  std::string name;   // what the user entered (9 characters)
  std::string serial;  // 10 characters
  int software = 0;   // hundredths: "3.98" is 398
  std::string options;  // language and options (7 characters)
  std::string date;     // software revision date "dd/mm/yy"
};
bool IsIdentityAnswer(std::span<const std::string_view> fields);
// The text of the fault, or nothing.
std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product);
// "MLR %s SW%d.%02d" and its siblings for the other makers.
std::string ProductText(const ProductData& product);

// Tracklog frames.
inline constexpr std::uint8_t kFrameStart = 0x8B;
inline constexpr std::size_t kPointSize = 18;
inline constexpr std::size_t kMaxPointsPerFrame = 27;
// The sum ending a frame: every byte before it added modulo 65536.
std::uint16_t FrameSum(std::span<const std::uint8_t> bytes);

// One point: its number in the tracklog and the fix (seconds since 1980-01-06 00:00 GMT, degrees
// as 2^32 per full turn, which are semicircles, altitude in decimetres, flag 1 the start of a
// recording). A fault text, or nothing.
std::optional<std::string> DecodePoint(std::span<const std::uint8_t> bytes, std::uint16_t& number, TrackPoint& point);

struct TrackFrame {
  enum class Kind { Start, Points, End };
  Kind kind = Kind::Start;
  std::uint8_t number = 0;
  std::vector<TrackPoint> points;
};
// A whole frame from 0x8B to its line end. A fault text ("E205 Bad checksum", "Unsupported
// record …"), or nothing.
std::optional<std::string> DecodeFrame(std::span<const std::uint8_t> bytes, TrackFrame& frame);

// Reads a tracklog byte by byte: bytes before the first frame are skipped (a 0x8B among them
// that begins no frame as well); then frames must follow one another with nothing between them,
// their numbers counting up from 1 (modulo 256), from "DEBUT" to "FIN".
class TracklogReader {
 public:
  enum class Status { More, Done, Fault };
  Status Feed(std::uint8_t byte);
  std::vector<TrackPoint>& Points() { return points_; }
  const std::string& Fault() const { return fault_; }
  bool Started() const { return started_; }

 private:
  Status Frame();
  std::vector<std::uint8_t> frame_;
  std::size_t length_ = 0;  // of the frame being read, once known
  std::vector<TrackPoint> points_;
  std::uint8_t expected_ = 1;
  bool started_ = false;
  std::string fault_;
};

// $GPWPL,llll.lll,a,yyyyy.yyy,a,name: the name field is the 6-character identifier, "0" and the
// description as the upload writes it, or a plain NMEA identifier.
std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, Waypoint& waypoint);
// "$PMLR,59,count": how many waypoint sentences follow. Nothing when it is not.
std::optional<int> ParseTransferCount(std::span<const std::string_view> fields);
// The upload sentence "$GPWPL,%04d.%03d,%c,%05d.%03d,%c,%s0%s*CS\r\n"; 0 and the sentence, or
// -305 (a bad identifier character) or -306 (no identifier).
int WaypointSentence(const Waypoint& waypoint, std::string& sentence);

}  // namespace logwell::mlr
