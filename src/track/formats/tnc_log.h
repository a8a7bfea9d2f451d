#pragma once
// Top Navigator and XC Trainer track logs: the line protocol in which both instruments send a
// flight, and the ".tnc" file that keeps such a download byte for byte.
//
// A log is a start record (the header line) and one point line per fix, each ended by CR LF:
//
//   @TTVVVVSSSSFFYYMMDDhhmmssGGPPPPIIB**CC    header, 38 characters
//   ppppttttFFllllllooooooaaaaCC              point, 28 characters
//
// TT "tn" (Top Navigator) or "xc" (XC Trainer); VVVV software version, SSSS serial number and
// FF flight number, hexadecimal; YYMMDDhhmmss the time of the first point, decimal; GG the
// geodetic datum (01, WGS 84, is the only one known); PPPP the number of point lines, II the
// recording interval, hexadecimal; B the height kind (*, 0, 1 or 2); CC a control code. A point
// line holds its index from 0, the seconds since the header's time, flags, latitude and
// longitude in 1/24000 degree and the height in metres, all hexadecimal, and as CC the XOR of
// the 26 characters before it.
//
// Which height B announces, the sign rules of the 24- and 16-bit fields (read here as two's
// complement), the header's control code (the one published example does not match the rule
// of the point lines, so it is not checked) and the century of YY are UNVERIFIED
// (docs/instruments.md). Lines that do not have this layout are refused, never guessed at.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

inline constexpr std::size_t kTncHeaderLength = 38;
inline constexpr std::size_t kTncPointLength = 28;
inline constexpr double kTncUnitsPerDegree = 24000.0;

// Why a line was refused; the number is the one "Error %d on line %d" and "Error %d on block
// line %d" show.
enum class TncLineError : int {
  None = 0,
  Length = 1,        // not the line's length
  Digit = 2,         // a character that is not a digit of its field
  ControlCode = 3,   // the XOR of the point line does not match
  Sequence = 4,      // a point line out of order
  DateTime = 5,      // the header's date or time is not a real one
  Datum = 6,         // a geodetic datum other than WGS 84
  HeightKind = 7,    // a height kind other than *, 0, 1, 2
  Flags = 8,         // flag bits that are not known
  Range = 9,         // latitude or longitude beyond the poles or the date line
  Instrument = 10,   // neither "tn" nor "xc"
  AfterEnd = 11,     // more lines than the header announced
};

enum class TncInstrument { TopNavigator, XcTrainer };

struct TncHeader {
  TncInstrument instrument = TncInstrument::XcTrainer;
  int version = 0;
  int serial = 0;
  int flight = 0;
  GarminTime start = 0;  // the instrument's clock
  int datum = 1;
  int count = 0;
  int interval = 1;
  char heightKind = '*';
};

struct TncPoint {
  int index = 0;
  int seconds = 0;  // after the header's time
  int flags = 0;
  std::int32_t latitude = 0;   // 1/24000 degree
  std::int32_t longitude = 0;  // 1/24000 degree
  int height = 0;              // metres
};

// The known flag bits: a fix (XC Trainer) or valid speed and course (Top Navigator), 3D fix,
// and a mark set by the pilot.
inline constexpr int kTncKnownFlags = 0x01 | 0x02 | 0x80;

// The pieces of every line: an unsigned field of `length` digits in `base` at `position` (none
// unless every character is such a digit), two's complement of a field `bits` wide and back,
// the XOR of a line's characters, and positions in 1/24000 degree.
std::optional<std::uint32_t> TncField(std::string_view line, std::size_t position, std::size_t length, int base);
std::int32_t TncSigned(std::uint32_t value, int bits);
std::uint32_t TncUnsigned(std::int32_t value, int bits);
int TncControlCode(std::string_view text);
std::int32_t TncUnitsToSemicircles(std::int32_t units);
std::int32_t SemicirclesToTncUnits(std::int32_t semicircles);

// A line without its CR LF.
TncLineError ParseTncHeader(std::string_view line, TncHeader& header);
TncLineError ParseTncPoint(std::string_view line, int expectedIndex, TncPoint& point);
// The track point of a parsed point line; `clockShift` seconds are added to its time.
TrackPoint TncTrackPoint(const TncHeader& header, const TncPoint& point, std::int64_t clockShift = 0);

// The lines as the instruments send them, with CR LF (the virtual instrument and tests write
// them); the header's control code is the XOR of the characters before it.
std::string FormatTncHeader(const TncHeader& header);
std::string FormatTncPoint(const TncPoint& point);
// A point line for a track point (rounded to the log's units) relative to `start`.
TncPoint TncPointFor(const TrackPoint& point, GarminTime start, int index);

// "tn" / "xc" as product names: "TopNav", "XcTrainer".
std::string_view TncProductName(TncInstrument instrument);
// "Top Navigator", "XC Trainer": the instrument name of a download.
std::string_view TncInstrumentName(TncInstrument instrument);

// Reads a whole ".tnc" file ("Reading Top Navigator Log File" in the status line). Failures:
// "Missing start record", "Error %d on line %d" (the header; line numbers from 1), "Error %d on
// block line %d" (point lines, counted from 1 after the header), "Missing end-of-file record"
// (fewer point lines than announced); caption "Decoding track log file". Times are the
// instrument's clock (`timeIsUtc` 0), `altitudeFlag` 0.
std::optional<FileReadResult> ReadTncLog(std::string_view text, Ui& ui);

}  // namespace logwell
