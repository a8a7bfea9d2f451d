// Feeds arbitrary bytes to the track file reader; every input must give points or one message.
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string_view>

#include "base/headless_ui.h"
#include "track/formats/magellan_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  static logwell::HeadlessUi ui(sink, sink, true);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)logwell::ReadMagellanLog(bytes, ui, 2026);
  return 0;
}
