// Fuzz target: bytes as a Magellan receiver (or a host) would send them, through the line
// assembler and every reader of the $PMGN sentences: the checksum check, the acknowledgement,
// the waypoint sentence and the track sentence. A sentence with a wrong checksum must never
// yield a waypoint or an acknowledgement, and whatever is read must be a position on Earth.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "geo/units.h"
#include "track/formats/magellan_log.h"
#include "wire/magellan/magellan_sentences.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell;
  NmeaLineAssembler lines(magellan::kMaxSentence, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                          NmeaLineAssembler::Overlong::Drop);
  for (std::size_t i = 0; i < size; ++i) {
    if (!lines.Feed(data[i])) continue;
    const magellan::ReceivedSentence sentence = magellan::ReadSentence(lines.Line());
    const auto waypoint = magellan::ParseWaypointSentence(sentence);
    const auto acknowledged = magellan::AcknowledgedChecksum(sentence);
    if (!sentence.checksumOk && (waypoint || acknowledged)) std::abort();
    if (waypoint) {
      if (std::abs(SemicirclesToDegrees(waypoint->latitude)) > 90.0) std::abort();
      if (waypoint->Id().empty()) std::abort();
      // What is read can be uploaded again and reads back.
      std::string upload = magellan::WaypointSentence(*waypoint);
      upload.resize(upload.size() - 2);
      const auto again = magellan::ParseWaypointSentence(magellan::ReadSentence(upload));
      if (!again || again->altitude != waypoint->altitude) std::abort();
    }
    if (sentence.checksumOk) {
      TrackPoint point;
      if (ParseMagellanTrackSentence(sentence.body, 2026, point) == MagellanTrackLine::Point &&
          std::abs(SemicirclesToDegrees(point.latitude)) > 90.0) {
        std::abort();
      }
    }
  }
  return 0;
}
