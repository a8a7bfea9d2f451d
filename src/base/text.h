#pragma once
// Small text helpers shared by every subsystem: printf-style formatting into a std::string
// through a bounded buffer (for the short texts of messages, list lines and dialog fields),
// text cutting, UTF-8 checks and the case folding of file names.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace logwell {

// Texts longer than 255 bytes are cut.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Cuts a text at its first NUL and then to at most `limit` bytes, without splitting a character
// of a text that is UTF-8; single-byte (Latin-1) texts are cut at the limit.
std::string CutText(std::string_view text, std::size_t limit);
// True when the text is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view text);
// Appends the UTF-8 encoding of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t code);
// A name or other text as UTF-8: kept when it already is, else read as Latin-1.
std::string AsUtf8(std::string_view text);

// Rounds half away from zero, then truncates; NaN gives 0 and values beyond the 32-bit range
// are clamped, so that no input can reach an undefined conversion.
std::int32_t RoundHalfAway(double value);

// ASCII letters turned to lower case (std::tolower of the C locale), every other byte kept.
std::string LowerCase(std::string text);
// A path's extension with its dot, in lower case: ".IGC" gives ".igc"; none gives "".
std::string LowerExtension(const std::filesystem::path& path);

}  // namespace logwell
