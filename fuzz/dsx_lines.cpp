// Fuzz target: what a DSX recorder sends, as the host reads it: the identification line and the
// flight's IGC text through the line collector and the DSX instance of the device line parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "devices/dsx/dsx_protocol.h"
#include "devices/flytec/flytec_tracks.h"
#include "track/igc/igc_device_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  dsx::ProductData product;
  if (dsx::LooksLikeIdentity(first) && !dsx::ParseIdentity(first, product) &&
      dsx::ProductText(product).find(product.serial) == std::string::npos) {
    std::abort();
  }
  igc::IgcDeviceLineParser parser(igc::IgcDeviceVariant::Dsx);
  flytec::IgcLineBuilder builder;
  for (std::size_t i = 0; i < size; ++i) {
    const int state = builder.Feed(data[i]);
    if (state < 0) break;
    if (state == 0 && parser.ParseLine(builder.Line()) < 0) break;
  }
  for (const TrackPoint& point : parser.Points()) {
    if (point.time == 0) std::abort();  // every accepted fix has its date
  }
  return 0;
}
