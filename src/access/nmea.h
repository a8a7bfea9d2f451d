#pragma once
// NMEA 0183 sentences as the instruments speak them: "$BODY*CS\r\n", where CS is the
// exclusive-or of every character between "$" and "*" as two hexadecimal digits.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace logwell {

// The checksum of a sentence body: the exclusive-or of its characters after a leading "$".
std::uint8_t NmeaChecksum(std::string_view body);

// The sentence as sent: the body followed by "*%02X\r\n".
std::string AppendNmeaChecksum(std::string_view body);

// Checks and splits a received line (starting with "$", without or with its line end) in
// place. With no "*" in the line it is taken unchecked; with one, at least two characters must
// follow it, they must be hexadecimal digits (either case) and equal the checksum, else -1.
// The "*" and every "," become terminators; field 0 starts at offset 0 and each further field
// after its comma, recorded while `fieldOffsets` has room (further fields are terminated but
// not recorded). Returns the number of fields recorded.
int ParseNmeaSentence(std::span<char> line, std::span<std::size_t> fieldOffsets);

// The field starting at `offset` of a line split by ParseNmeaSentence (up to its terminator).
std::string_view NmeaField(std::span<const char> line, std::size_t offset);

// Collects received bytes into lines from "$" to the line feed; bytes before a "$" are
// skipped and a line longer than kMaxLength is dropped as noise.
class NmeaLineAssembler {
 public:
  static constexpr std::size_t kMaxLength = 512;

  // True when `byte` completed a line; Line() then holds it without CR and LF.
  bool Feed(std::uint8_t byte);
  std::string& Line() { return line_; }
  void Reset();

 private:
  std::string line_;
  bool inLine_ = false;
  bool complete_ = false;
};

}  // namespace logwell
