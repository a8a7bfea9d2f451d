#pragma once
// Magellan NMEA track logs (.log): one checksummed "$PMGNTRK" sentence per position.
#include <optional>
#include <string_view>

#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The century of a two-digit year. The logs carry only "yy"; the year is taken from a window
// that slides with the clock: from 79 years before the reference year (the current year) to
// 20 years after it. In 2026 that is 1947..2046, so "98" is 1998 and "00" is 2000; the window
// keeps working for logs written any time within the last 79 years.
int MagellanFullYear(int twoDigitYear, int referenceYear);

// Reads a whole Magellan log. `referenceYear` anchors the century window (the current UTC
// year unless a test fixes it). On failure shows "Bad line %d" (caption "Decoding track log
// file") and gives nothing.
std::optional<FileReadResult> ReadMagellanLog(std::string_view text, Ui& ui,
                                              std::optional<int> referenceYear = std::nullopt);

}  // namespace logwell
