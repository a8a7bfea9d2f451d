#pragma once
// Magellan NMEA track logs (.log): one checksummed "$PMGNTRK" sentence per position.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/track_point.h"

#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The century of a two-digit year. The logs carry only "yy"; the year is taken from a window
// that slides with the clock: from 79 years before the reference year (the current year) to
// 20 years after it. In 2026 that is 1947..2046, so "98" is 1998 and "00" is 2000; the window
// keeps working for logs written any time within the last 79 years.
int MagellanFullYear(int twoDigitYear, int referenceYear);

// The comma-separated fields of a sentence body (field 0 the identifier, empty fields kept).
std::vector<std::string_view> SplitMagellanFields(std::string_view body);
// A "ddmm.mmm" (or "dddmm.mmm") field and its hemisphere letter as semicircles; none unless the
// degrees are below `maxDegrees`, the minutes below 60 and the letter `positive` or `negative`.
std::optional<std::int32_t> MagellanAngle(std::string_view field, std::string_view hemisphere,
                                          int maxDegrees, char positive, char negative);

// One "$PMGNTRK" sentence, given as its body (the text between "$" and "*", checksum already
// verified): a point with a valid fix, a sentence whose fix is not valid (status other than
// "A"), or a sentence that does not have the layout. The receivers send the same sentence over
// the serial line.
enum class MagellanTrackLine { Point, NotValid, Bad };
MagellanTrackLine ParseMagellanTrackSentence(std::string_view body, int referenceYear,
                                             TrackPoint& point);

// Reads a whole Magellan log. `referenceYear` anchors the century window (the current UTC
// year unless a test fixes it). On failure shows "Bad line %d" (caption "Decoding track log
// file") and gives nothing.
std::optional<FileReadResult> ReadMagellanLog(std::string_view text, Ui& ui,
                                              std::optional<int> referenceYear = std::nullopt);

}  // namespace logwell
