// Fuzz target: the Graviter log decoder on any bytes, as the read command hands them over, and
// the same bytes as an identity line and an owner name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "wire/graviter/graviter_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::graviter;
  const LogDecode decoded = DecodeLog(std::span(data, size));
  if (!decoded.Ok() && !decoded.points.empty()) std::abort();
  if (decoded.points.size() > size / kFixSize) std::abort();
  for (const logwell::TrackPoint& point : decoded.points) {
    if (point.time == 0) std::abort();
  }
  if (decoded.Ok() && !decoded.points.empty() && decoded.points.front().segmentStart != 1) std::abort();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto identity = ParseIdentity(text)) {
    const std::string line = IdentityLine(*identity);
    const auto again = ParseIdentity(std::string_view(line).substr(0, line.size() - 2));
    if (!again || again->software != identity->software || again->serial != identity->serial) std::abort();
  }
  if (const auto name = OwnerNameBytes(text)) {
    if (name->size() != kOwnerNameLength) std::abort();
  }
  return 0;
}
