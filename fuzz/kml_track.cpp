// Feeds arbitrary bytes to the reader of other programs' KML tracks: every input must give
// tracks or one reason, and every kept position a valid coordinate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "track/formats/kml_track.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto read = logwell::ReadOtherKmlTracks(bytes, error);
  if (!read) {
    if (error.empty()) std::abort();
    return 0;
  }
  for (const auto& track : read->tracks) {
    if (track.points.empty() || track.points.front().segmentStart != 1) std::abort();
  }
  return 0;
}
