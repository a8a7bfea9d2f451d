#pragma once
// The IGC text decoder: turns a whole IGC file (or IGC text held in memory) into track points
// in one strict pass, reporting the first fault with its line number.
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "model/track_types.h"

namespace logwell::igc {

// Lines longer than this are cut silently; no record this decoder reads needs more.
inline constexpr std::size_t kMaxDecodedLineLength = 80;
inline constexpr std::size_t kMaxDecodeErrorLength = 80;

struct IgcDecodeResult {
  std::vector<TrackPoint> points;  // empty on failure
  std::string loggerSerial;        // 3 characters, "000" when the A record names none
  std::string manufacturer;        // 3 characters
  std::string error;               // empty on success, at most kMaxDecodeErrorLength

  bool Ok() const { return error.empty(); }
};

// Decodes the text. Times are the file's own (UTC by the IGC rules) counted in GarminTime;
// altitudes become decimetres (GNSS) and metres (pressure).
IgcDecodeResult DecodeIgcText(std::string_view text);

// The flights of an IGC file that may hold several, one after the other, each opened by its
// own A record (some recorders append every flight of a day or a trip to one file).
struct IgcFlightsResult {
  std::vector<IgcDecodeResult> flights;  // those with positions, in file order
  std::size_t flightsWithoutPositions = 0;  // A records that opened no fix at all
  // What the file lacks, for the reader to say: "" for a complete, signed file.
  std::string warning;
  std::string error;  // the first fault, as DecodeIgcText words it; empty on success

  bool Ok() const { return error.empty(); }
};

// Decodes every flight with the rules of DecodeIgcText; a further A record starts the next
// flight instead of failing with "Multiple A-records". The warning names a file whose last
// line breaks off without a line end (cut short: that record is left out) and a file without
// a security record (G record).
IgcFlightsResult DecodeIgcFlights(std::string_view text);

// The pilot and glider the H records of an IGC text name (the first record of each kind that
// names something, whatever its source letter F, O or P). Lines are cut to
// kMaxDecodedLineLength.
FlightHeaders ReadFlightHeaders(std::string_view text);

}  // namespace logwell::igc
