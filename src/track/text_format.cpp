#include "track/text_format.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace logwell {

std::string FormatText(const char* format, ...) {
  std::array<char, 256> buffer{};
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return written < 0 ? std::string() : std::string(buffer.data());
}

}  // namespace logwell
