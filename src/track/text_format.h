#pragma once
// printf-style formatting into a std::string through a bounded buffer, for the short texts of
// messages, list lines and dialog fields.
#include <cstddef>
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

}  // namespace logwell
