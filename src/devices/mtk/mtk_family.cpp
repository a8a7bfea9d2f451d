#include "devices/mtk/mtk_family.h"

#include "devices/mtk/mtk_probe.h"
#include "devices/mtk/mtk_workers.h"

namespace logwell::mtk {

InstrumentFamily Family() {
  InstrumentFamily family;
  family.name = "MTK/Pentagram/Holux";
  family.gpsOption = "MTK";
  family.protocols = {ProtocolType::Mtk};
  family.sourceKind = TrackSourceKind::Mtk;
  family.canErase = true;
  family.registerWorkers = RegisterMtkWorkers;
  family.probe = ProbeMtk;
  return family;
}

}  // namespace logwell::mtk
