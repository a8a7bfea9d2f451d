// The families logwell-sim offers. Each defines its SimFamily record in its own folder; a new
// family adds the line that names its record and its entry in the list below.
#include "sim/sim_family.h"

namespace logwell::sim {

extern const SimFamily kEchoFamily;
extern const SimFamily kNmeaFamily;
extern const SimFamily kFlytecFamily;
extern const SimFamily kGarminFamily;
extern const SimFamily kMtkFamily;
extern const SimFamily kFlymasterFamily;
extern const SimFamily kMagellanFamily;
extern const SimFamily kIqBasicFamily;
extern const SimFamily kMlrFamily;
extern const SimFamily kGraviterFamily;
extern const SimFamily kAscentFamily;
extern const SimFamily kTopNavFamily;
extern const SimFamily kDigiflyFamily;
extern const SimFamily kDsxFamily;
extern const SimFamily kLogItFamily;

std::span<const SimFamily* const> SimFamilies() {
  static constexpr const SimFamily* kFamilies[] = {&kEchoFamily,   &kNmeaFamily, &kFlytecFamily,
                                                   &kGarminFamily, &kMtkFamily,  &kFlymasterFamily,
                                                   &kMagellanFamily, &kIqBasicFamily, &kMlrFamily,
                                                   &kGraviterFamily, &kAscentFamily, &kTopNavFamily,
                                                   &kDigiflyFamily, &kDsxFamily,  &kLogItFamily};
  return kFamilies;
}

}  // namespace logwell::sim
