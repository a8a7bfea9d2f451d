// Fuzz target: the security check of IGC files on any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "track/igc/igc_security.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)logwell::igc::CheckSecurityRecord(text);
  return 0;
}
