// Reads any bytes as a KML track file in quiet mode. Whatever it reads must survive a round
// trip: written again as a signed body, it must read back with the same number of positions
// and a confirmed signature.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/headless_ui.h"
#include "kml/kml_reader.h"
#include "kml/kml_save.h"
#include "kml/kml_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  logwell::HeadlessUi ui;
  auto read = logwell::kml::ReadKmlTrack(text, ui, true);
  if (!read || read->points.empty() || read->points.size() > 5000) return 0;
  logwell::kml::KmlTrackInfo info;
  info.points = read->points;
  info.withHash = true;
  info.withPressureAltitude = read->altitudeFlag != 0;
  info.timesAreUtc = read->timeIsUtc != 0;
  std::string body;
  if (logwell::kml::WriteKmlBody(body, info, "fuzz", "fuzz instrument") != 0) std::abort();
  const auto again = logwell::kml::ReadKmlTrack(logwell::kml::KmlDocumentOf(body), ui, true);
  if (!again || again->points.size() != read->points.size() ||
      again->signState != logwell::SignState::FileSignatureOk) {
    std::abort();
  }
  return 0;
}
