#pragma once
// A virtual MTK logger on a pseudo-terminal and a program that talks to it through the real
// access framework, the real serial code and the family's registered workers.
#include <memory>

#include "devices/family_rig.h"
#include "devices/mtk/mtk_workers.h"
#include "sim/mtk/mtk_model.h"

namespace logwell::testing {

class MtkRig : public FamilyRig<sim::MtkModel> {
 public:
  explicit MtkRig(sim::MtkModelConfig config)
      : FamilyRig(std::make_unique<sim::MtkModel>(std::move(config)), ProtocolType::Mtk, mtk::RegisterMtkWorkers) {}

  // The access parameter of the MTK family is the baud rate.
  int Run(AccessType access, AccessCompletion completion, int baud = 115200) {
    return FamilyRig::Run(access, std::move(completion), baud);
  }
  int ReadTrackLog(int baud = 115200) { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead, baud); }
};

}  // namespace logwell::testing
