// Fuzz target: the LogIt / Tracklogger answers as the host reads them: sentences assembled and
// checked, then the identity (LogIt data), the track count and the track point parsers. A point
// that parses lies on the globe; an owner name goes out as one sentence of fixed width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "devices/logit/logit_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell;
  NmeaLineAssembler assembler(120, NmeaLineAssembler::Framing::LastDollarToLineFeed, NmeaLineAssembler::Overlong::Drop);
  for (std::size_t i = 0; i < size; ++i) {
    if (!assembler.Feed(data[i])) continue;
    std::string line = assembler.Line();
    const std::string copy = line;
    const auto fields = SplitNmeaSentence(line, 20);
    if (fields.empty()) continue;
    logit::Identity identity;
    if (logit::IsIdentityAnswer(fields) && !logit::ParseIdentity(fields, identity) &&
        identity.pointsUsed > identity.capacity) {
      std::abort();
    }
    (void)logit::ParseTrackCount(fields);
    (void)logit::IsEraseDone(fields);
    int index = -1;
    TrackPoint point;
    if (!logit::ParseTrackPoint(fields, index, point) &&
        (index < 0 || point.latitude < -0x40000000 || point.latitude > 0x40000000)) {
      std::abort();
    }
    (void)logit::ReadLogItData(std::span(reinterpret_cast<const std::uint8_t*>(copy.data()), copy.size()));
  }
  const std::string name(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 40));
  const std::string sentence = logit::NameWriteSentence(name);
  if (sentence.find_first_of("\r\n") != sentence.size() - 2 || sentence.rfind('*') != sentence.size() - 5) std::abort();
  return 0;
}
