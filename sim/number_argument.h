#pragma once
// The numbers of the simulator programs' command lines.
#include <cerrno>
#include <cstdlib>

namespace logwell::sim {

// A whole decimal number that fills the argument and lies in low..high.
inline bool ParseNumberArgument(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace logwell::sim
