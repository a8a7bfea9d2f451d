// Fuzz target: every byte-wise reader of the Flytec/Brauniger module on the same input, as the
// instrument's bytes would reach them: the IGC line builder, the $PBRWPS assembler and the
// family's sentence assembler with the $PBRTL field parser, and the CTR line assembler with the
// CTR list parser and the acknowledge assembler.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "devices/flytec/flytec_ctr.h"
#include "devices/flytec/flytec_tracks.h"
#include "devices/flytec/flytec_waypoints.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::flytec;
  IgcLineBuilder lines;
  WaypointAssembler waypoints;
  logwell::NmeaLineAssembler collector = SentenceAssembler(79);
  CtrLineAssembler ctrLines;
  logwell::AirspaceList airspaces;
  std::optional<CtrListParser> ctrList(std::in_place, airspaces, nullptr);
  CtrAckAssembler ack;
  for (std::size_t i = 0; i < size; ++i) {
    const int line = lines.Feed(data[i]);
    if (line < -2 || line > 1) std::abort();
    if (line < 0) lines = IgcLineBuilder{};
    const int waypoint = waypoints.Feed(data[i]);
    if (waypoint < -21 || waypoint > 1) std::abort();
    const int ctrLine = ctrLines.Feed(data[i]);
    if (ctrLine < -6 || ctrLine > 1) std::abort();
    if (ctrLine == 0) {
      const int ctr = ctrList->Feed(ctrLines.Body());
      if (ctr < -41 || ctr > 1) std::abort();
      if (ctr <= 0) {
        airspaces.clear();
        ctrList.emplace(airspaces, nullptr);
      }
    }
    const int answer = ack.Feed(data[i]);
    if (answer < -6 || answer > 1) std::abort();
    if (collector.Feed(data[i])) {
      const auto fields = logwell::SplitNmeaSentence(collector.Line(), 10);
      if (fields.size() >= 6) {
        int index = 0;
        logwell::TrackListEntry entry;
        ParseTrackListFields(fields, index, entry);
      }
    }
  }
  return 0;
}
