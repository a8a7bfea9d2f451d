#pragma once
// Reading OpenAir airspace text: the records AN, AC, AH, AL, the variables V D= and V X=, the
// boundary records DP, DB, DA and DC, the airway record DY (not supported: its airspace is
// dropped with a notice), and the ignored AT, TO, TC, SB and SP. Of the extended dialect, AY
// (type) stands in for a class AC left unknown; AF, AG, AA, AR, AX and AI are passed over.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "airspace/airspace_record.h"

namespace logwell {

class Ui;

// Settings of the airspace list that last while the program runs.
struct AirspaceSettings {
  std::uint32_t segmentAccuracy = 10;  // metres between an arc and its chords
  bool skipAirwayNotifications = false;  // the user ticked "&Skip further notifications"
};

inline constexpr std::string_view kParseCaption = "Parsing CTR buffer";

// The outcome of reading a text: the records, or the message of the first error (with its line
// number where the message names one).
struct OpenAirParse {
  AirspaceList records;
  std::optional<std::string> error;
};

// Reads the whole text. Airway notices go through `ui` unless `settings` says to skip them (a
// tick in the notice sets that). Errors are returned, not shown.
OpenAirParse ReadOpenAirText(std::string_view text, Ui& ui, AirspaceSettings& settings);

// The same, and an error is shown in a box captioned "Parsing CTR buffer"; nothing then.
std::optional<AirspaceList> ParseOpenAir(std::string_view text, Ui& ui, AirspaceSettings& settings);

// Readers of the argument texts, for the edit dialog and the tests. Each reads the whole text
// (trailing spaces and a '*' comment allowed).
std::optional<DegreePosition> ReadOpenAirPosition(std::string_view text);
std::optional<std::uint32_t> ReadOpenAirRadius(std::string_view text);

}  // namespace logwell
