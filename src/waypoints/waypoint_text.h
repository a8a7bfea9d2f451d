#pragma once
// Text handling shared by the waypoint readers, the edit dialog and the writers: the identifier
// and description sanitisers, the line splitter, the number scanners and the ISO time parser.
// Waypoint files hold single-byte text; every function works on bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "base/text.h"

namespace logwell {

// The import sanitiser of the readers that ask. Strict mode refuses lower case, any character
// other than 'A'-'Z', '0'-'9' and '-', and text after the sixth character or after a space.
// Fixing mode upper-cases, turns every other character into '-' and cuts after six. Both refuse
// an empty identifier (after leading spaces).
std::optional<std::string> SanitiseImportId(std::string_view text, bool fixing);

// The edit dialog's identifier check: lower case becomes upper case, anything else that is not
// allowed (or text beyond six characters) is refused.
std::optional<std::string> SanitiseEditId(std::string_view text);

// The identifier of the readers that never ask: up to six characters, stopping at a space,
// lower case turned to upper case, every other byte kept as it is.
std::string PlainReaderId(std::string_view text);

// Leading spaces skipped, at most 40 characters, every character other than a letter, a digit
// or a space becomes '-', trailing spaces cut.
std::string SanitiseDescription(std::string_view text);

// One line of a text file with its number (counted from 1 over the whole file).
struct TextLine {
  int number = 0;
  std::string_view text;  // leading spaces removed
};

// Splits text at runs of CR and LF characters; the text ends at its first NUL byte.
std::vector<TextLine> SplitLines(std::string_view text);

// Splits at a separator into at most maxFields fields; the last keeps the rest of the text.
// Leading spaces of each field are kept; callers trim what they need.
std::vector<std::string_view> SplitFields(std::string_view text, char separator,
                                          std::size_t maxFields);

// Splits at runs of spaces into at most maxTokens tokens; the last keeps the rest of the line
// (its leading spaces removed).
std::vector<std::string_view> SplitTokens(std::string_view text, std::size_t maxTokens);

// A decimal number at the start of text: optional sign, digits, optional fraction after '.' (or
// also ',' when commaDecimal). Needs at least one digit. Returns the value and the number of
// characters used.
struct ScannedNumber {
  double value = 0.0;
  std::size_t length = 0;
};
std::optional<ScannedNumber> ScanDecimal(std::string_view text, bool commaDecimal = false);

// The whole text (after leading spaces, before trailing spaces) as a decimal number.
std::optional<double> ParseWholeDecimal(std::string_view text, bool commaDecimal = false);

// The whole text (leading and trailing spaces allowed) as a decimal integer in 32-bit range.
std::optional<std::int32_t> ParseWholeInteger(std::string_view text);

// RoundHalfAway (track/text_format.h) rounds half away from zero into the 32-bit range.
// Truncates toward zero, clamped like RoundHalfAway.
std::int32_t TruncateToInt32(double value);
// Adds 0.5 and truncates toward zero, clamped like RoundHalfAway.
std::int32_t AddHalfTruncate(double value);

// An ISO date and time "YYYY-MM-DDThh:mm:ss" with an optional fraction of seconds and an
// optional "Z" or zone offset, which moves the time to UTC. Failure gives kInvalidGarminTime1.
GarminTime ParseIsoTime(std::string_view text);


// Printing into a bounded buffer: returns the formatted text (cut at 511 characters).
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The current UTC time.
GarminTime CurrentGarminTime();

}  // namespace logwell
