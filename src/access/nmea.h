#pragma once
// NMEA 0183 sentences as the instruments speak them: "$BODY*CS\r\n", where CS is the
// exclusive-or of every character between "$" and "*" as two hexadecimal digits.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace logwell {

// The checksum of a sentence body: the exclusive-or of its characters after a leading "$".
std::uint8_t NmeaChecksum(std::string_view body);

// The sentence as sent: the body followed by "*%02X\r\n".
std::string AppendNmeaChecksum(std::string_view body);

// True when `digits` are exactly two hexadecimal digits (either case) spelling the checksum of
// `body` (taken as by NmeaChecksum).
bool NmeaChecksumMatches(std::string_view body, std::string_view digits);

// True when a field is one or more of the digits 0-9 and nothing else.
bool IsDigitField(std::string_view field);
// The value of a field IsDigitField accepts (at most 9 digits).
int DigitFieldValue(std::string_view field);

// Checks and splits a received line (starting with "$", without or with its line end) in
// place. With no "*" in the line it is taken unchecked; with one, at least two characters must
// follow it, they must be hexadecimal digits (either case) and equal the checksum, else -1.
// The "*" and every "," become terminators; field 0 starts at offset 0 and each further field
// after its comma, recorded while `fieldOffsets` has room (further fields are terminated but
// not recorded). Returns the number of fields recorded.
int ParseNmeaSentence(std::span<char> line, std::span<std::size_t> fieldOffsets);

// The field starting at `offset` of a line split by ParseNmeaSentence (up to its terminator).
std::string_view NmeaField(std::span<const char> line, std::size_t offset);

// ParseNmeaSentence on a whole line: its fields (at most `maxFields`) as views into `line`, or
// none when the checksum is wrong.
std::vector<std::string_view> SplitNmeaSentence(std::string& line, std::size_t maxFields);

// Collects received bytes into lines starting with "$"; bytes before a "$" are skipped. By
// default a line ends at its line feed and a line longer than kMaxLength is dropped as noise.
class NmeaLineAssembler {
 public:
  static constexpr std::size_t kMaxLength = 512;

  enum class Framing {
    // From the last "$" to the line feed; a CR just before the line feed is removed.
    LastDollarToLineFeed,
    // From a "$" to the first CR or LF, a "$" inside being text; after a CR, bytes are
    // skipped until the line feed completes the line or a "$" starts a new one.
    DollarToCarriageReturn,
  };
  // A line longer than the limit is dropped, or cut to the limit and completed as usual.
  enum class Overlong { Drop, Cut };

  NmeaLineAssembler() = default;
  NmeaLineAssembler(std::size_t maxLength, Framing framing, Overlong overlong)
      : maxLength_(maxLength), framing_(framing), overlong_(overlong) {}

  // True when `byte` completed a line; Line() then holds it without CR and LF.
  bool Feed(std::uint8_t byte);
  std::string& Line() { return line_; }
  void Reset();

 private:
  enum class State { Idle, InLine, AfterCarriageReturn, Complete };
  std::size_t maxLength_ = kMaxLength;
  Framing framing_ = Framing::LastDollarToLineFeed;
  Overlong overlong_ = Overlong::Drop;
  std::string line_;
  State state_ = State::Idle;
};

}  // namespace logwell
