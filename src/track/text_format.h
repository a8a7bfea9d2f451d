#pragma once
// printf-style formatting into a std::string through a bounded buffer, for the short texts of
// messages, list lines and dialog fields.
#include <string>

namespace logwell {

// Texts longer than 255 bytes are cut.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace logwell
