#pragma once
// Flymaster instruments at 57600 baud without flow control, in two protocol generations: the
// current one ("$PFMSNP" product request, each track as one binary answer of 4096-byte blocks
// closed by an 8-byte check) and the older one ("$PBRSNP", the F1 and B1NAV, each track as
// acknowledged packets). This file is the codec, free of ports and threads.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "model/pilot_data.h"
#include "model/track_point.h"
#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell::flymaster {

inline constexpr int kBaudRate = 57600;

enum class Generation { Older = 0, Current = 1 };

inline constexpr std::string_view kCurrentProductRequest = "$PFMSNP,\n";
inline constexpr std::string_view kOlderProductRequest = "$PBRSNP,*21\r\n";
// The F1's own identification request, as Flymaster's "Requesting flights from Flymaster F1"
// gives it; the older generation sends it every other round, for an F1 that does not answer
// "$PBRSNP". Its answer is "$PFMSNP,<model>,HW:<n>,FW:<k.kk>,<serial>*cs".
inline constexpr std::string_view kF1ProductRequest = "$PFMSNP,*3A\r\n";
// The flight list request. The current generation keeps "*72" (the sum taken with the "$");
// for the older generation the F1 document gives "*56", the sum of the characters between "$"
// and "*" as NMEA counts it.
inline constexpr std::string_view kFlightListRequest = "$PFMDNL,LST,*72\r\n";
inline constexpr std::string_view kOlderFlightListRequest = "$PFMDNL,LST,*56\r\n";
inline constexpr std::string_view kWaypointRequest = "$PFMWPL,*3c\r\n";
inline constexpr std::string_view kPowerOffRequest = "$PFMOFF*14\r\n";

// Instrument time counts seconds from 2000-01-01 00:00:00 UTC.
inline constexpr std::uint32_t kInstrumentEpochOffset = 315619200;
// Thousandths of a minute of arc to semicircles.
inline constexpr double kSemicirclesPerMilliminute = 198.8410785185;

struct ProductData {
  std::string model;     // at most 40 characters
  std::string serial;
  std::string software;  // at most 10 characters
  bool binaryTracks = false;
};

// The flight list request of a generation.
std::string_view FlightListRequest(Generation generation);

// Parses a product answer line ("$" to LF, CR dropped); the F1's layout (hardware "HW:n" in
// field 2, firmware "FW:k.kk" in field 3, the serial number in field 4) is told apart from the
// other (serial number in field 3, software in field 4) by those prefixes. 0 on success, else the first failed
// check: -1 a bad checksum digit (or, current generation, a model or firmware it refuses), -2
// characters after the checksum, -3 a checksum mismatch, -4 fewer than 5 fields, -6 another
// identifier.
int ParseProductAnswer(std::string_view line, Generation generation, ProductData& product);
// Models and firmware the current generation speaks to: an exact model name and a software
// version above "1.03n" (byte-wise).
bool AcceptedByCurrentProtocol(std::string_view model, std::string_view software);

// "$PFMDNL,yymmddhhmmss,2\n" (current) or "$PFMDNL,yymmddhhmmss,*cs\r\n" (older) for the
// track that the list says starts at `start`.
std::string OneTrackRequest(GarminTime start, Generation generation);

// One coordinate field: a 24-bit little-endian count of thousandths of a minute, negative when
// the top bit of the fourth byte is set.
std::int32_t ReadCoordinate(std::span<const std::uint8_t> bytes, std::size_t offset);

// A position in the instruments' units as a track point: longitude counted west-positive on
// the instrument and turned round here, pressure in tenths of hPa to a standard-atmosphere
// altitude.
TrackPoint ConvertPosition(std::int32_t latitude, std::int32_t longitude, std::int32_t altitude,
                           std::int32_t pressure, std::uint32_t time);
std::int32_t PressureAltitude(std::int32_t tenthsOfHectopascal);

struct BinaryTrack {
  std::vector<TrackPoint> points;
  std::optional<TaskDeclaration> task;
};

// Parses one binary track answer. Nothing on success, else the error text ("E205 Bad length
// (n)", "E205 Bad checksum"). `now` dates the task's waypoints.
std::optional<std::string> ParseBinaryTrack(std::span<const std::uint8_t> data, GarminTime now,
                                            BinaryTrack& track);

// The 8-byte check of the binary answer over `data`.
std::array<std::uint8_t, 8> BinaryCheck(std::span<const std::uint8_t> data);

// ---- the older generation's packets ----

inline constexpr std::uint8_t kPacketGood = 0xB1;
inline constexpr std::uint8_t kPacketBadCheck = 0xB2;
inline constexpr std::uint8_t kPacketCancel = 0xB3;

// Assembles packets byte by byte: the ID twice, a length, the data, a check byte (exclusive-or
// of length and data).
class PacketParser {
 public:
  enum class Event { More, Packet, BadCheck, End };
  Event Feed(std::uint8_t byte);
  std::uint8_t Id() const { return id_; }
  std::span<const std::uint8_t> Data() const { return data_; }
  void Reset() { *this = PacketParser(); }

 private:
  enum class State { Id, IdAgain, Length, Data, Check };
  State state_ = State::Id;
  std::uint8_t id_ = 0;
  std::uint8_t length_ = 0;
  std::uint8_t check_ = 0;
  std::vector<std::uint8_t> data_;
};

// The running values of a packet track: what the packets add up to.
struct PacketTrack {
  bool haveKey = false;
  bool haveInfo = false;
  int firmwareMajor = 0;
  int firmwareMinor = 0;
  std::uint32_t serial = 0;
  std::int32_t latitude = 0, longitude = 0, altitude = 0, pressure = 0;
  std::uint32_t time = 0;
  std::vector<TrackPoint> points;
};

// Applies one packet. Nothing on success, else its error text.
std::optional<std::string> ApplyPacket(std::uint8_t id, std::span<const std::uint8_t> data,
                                       PacketTrack& track);

}  // namespace logwell::flymaster

namespace logwell::flymaster {

// One "$PFMWPL,..." line (CR and LF dropped) as a waypoint. 0, or the code of "E302 Format
// error %": 4 no "*", 1 a bad checksum digit, 2 characters after it, 3 mismatch, 5 fewer than 7
// fields, 6 bad latitude, 7 not N or S, 8 bad longitude, 9 not E or W, 10 bad altitude, 11 an
// empty name. `now` is the waypoint's time.
int ParseWaypointLine(std::string_view line, GarminTime now, Waypoint& waypoint);

}  // namespace logwell::flymaster

namespace logwell::flymaster {

inline constexpr std::size_t kUploadNameWidth = 16;

// "$PFMWPR,ddmm.mmm,N,dddmm.mmm,E,,<name of 16>,aaaa[,1]*CS" CR LF (",1" for an airfield).
std::string WaypointUploadSentence(const Waypoint& waypoint);
// The name as an instrument echoes it: upper case, every character that is not a letter or a
// digit a blank.
std::string EchoedName(std::string_view name);
// Checks the answer line ("$PFMWPR,...", CR and LF dropped) to an uploaded waypoint whose name
// went out as `sentName` (16 characters). 0, or the error type: 4 no "*", 1 a bad checksum
// digit, 2 characters after it, 3 mismatch, 5 too few fields, 6 field 1 not "ACK", 7 the name
// differs. Software "1.14" echoes the name as sent in field 1 instead.
int CheckWaypointAnswer(std::string_view line, std::string_view software, std::string_view sentName);

// Pilot data as the instruments take it: the longest field each keeps (pilot name 14, competition
// number 7, glider brand and model 14 each, the two identities 7 each) and the highest altitude
// alarm in metres.
inline constexpr std::size_t kPilotNameLength = 14;
inline constexpr std::size_t kCompetitionNumberLength = 7;
inline constexpr std::size_t kGliderTextLength = 14;
inline constexpr std::size_t kIdentityLength = 7;
inline constexpr int kMaxAltitudeAlarm = 11000;

// Cuts each field the kind sends to what the instrument keeps (whole UTF-8 characters).
void CutPilotData(PilotData& data);
// Why the fields cannot be sent ("Pilot name contains '*'", ...), or nothing. A "*" would end
// the sentence early, and a "," or "$" or a control character would shift or split its fields.
std::optional<std::string> PilotDataRefusal(const PilotData& data);
// The altitude alarm typed into its form: the metres, or the refusal ("Missing input", "Bad
// input format", "Altitude too high").
struct AltitudeAlarmInput {
  int metres = 0;
  std::string refusal;
};
AltitudeAlarmInput ParseAltitudeAlarm(std::string_view text);
// "$PFMPLT,...,*cs\r\n", "$PFMALT,...,*cs\r\n" or "$PFMIDS,...*cs\r\n" (lower-case checksum).
std::string PilotDataSentence(const PilotData& data);

}  // namespace logwell::flymaster
