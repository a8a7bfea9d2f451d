// The instrument families built into the program: one line per family.
#include <algorithm>

#include "devices/ascent/ascent_family.h"
#include "devices/digifly/digifly_family.h"
#include "devices/family.h"
#include "devices/graviter/graviter_family.h"
#include "devices/dsx/dsx_family.h"
#include "devices/flymaster/flymaster_family.h"
#include "devices/flytec/flytec_family.h"
#include "devices/garmin/garmin_family.h"
#include "devices/magellan/magellan_family.h"
#include "devices/iqbasic/iqbasic_family.h"
#include "devices/logit/logit_family.h"
#include "devices/mlr/mlr_family.h"
#include "devices/mtk/mtk_family.h"
#include "devices/topnav/topnav_family.h"
#include "devices/syride/syride_family.h"

namespace logwell {

std::span<const InstrumentFamily> InstrumentFamilies() {
  static const InstrumentFamily families[] = {
      flymaster::Family(),
      flytec::Family(),
      garmin::Family(),
      magellan::Family(),
      iqbasic::Family(),
      mlr::Family(),
      mtk::Family(),
      graviter::Family(),
      ascent::Family(),
      topnav::Family(),
      syride::Family(),
      digifly::Family(),
      dsx::Family(),
      logit::Family(),
  };
  return families;
}

const InstrumentFamily* FamilyOf(ProtocolType protocol) {
  for (const InstrumentFamily& family : InstrumentFamilies()) {
    if (std::ranges::find(family.protocols, protocol) != family.protocols.end()) return &family;
  }
  return nullptr;
}

bool RegisterInstrumentFamilies(AccessTable& table, const FamilyEnvironment& environment) {
  bool ok = true;
  for (const InstrumentFamily& family : InstrumentFamilies()) {
    if (family.registerWorkers != nullptr) ok &= family.registerWorkers(table, environment);
  }
  return ok;
}

}  // namespace logwell
