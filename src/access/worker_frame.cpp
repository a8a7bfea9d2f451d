#include "access/worker_frame.h"

#include <utility>

#include "access/access_framework.h"

namespace logwell {

namespace {

constexpr int kFailedResult = -1;

int RunSteps(AccessBlock& block, const WorkerSteps& steps) {
  try {
    if (steps.openPort && !steps.openPort(block)) return kFailedResult;
    return steps.run ? steps.run(block) : kFailedResult;
  } catch (...) {
    return kFailedResult;  // out of memory or a fault in a step: the access failed
  }
}

}  // namespace

void RunWorkerFrame(AccessBlockPtr block, const WorkerSteps& steps) noexcept {
  AccessFramework* framework = block->framework;
  if (steps.clearTrace && framework != nullptr && framework->clearTrace) {
    try {
      framework->clearTrace();
    } catch (...) {
    }
  }

  int result = RunSteps(*block, steps);
  if (block->Aborted()) {
    try {
      ShowAccessStatus(*block, "Transfer aborted");
    } catch (...) {
    }
    if (result >= 0) result = kFailedResult;
  }

  block->result = result;
  const bool hasCompletion = static_cast<bool>(block->completion);
  if (hasCompletion) {
    try {
      block->completion(*block);
    } catch (...) {
      // The routine could not take the result over; the access counts as failed and the
      // program must not stay busy. No other access can start before this block is freed.
      if (framework != nullptr) {
        framework->exitCode = 1;
        framework->gpsBusy = 0;
      }
    }
  }

  if (framework != nullptr) {
    framework->FreeAccessBlock(std::move(block));
    // Accesses without a completion routine (LogIt data, erase track log, pilot data) have
    // nobody else to end the busy state.
    if (!hasCompletion) framework->gpsBusy = 0;
  } else {
    block.reset();
  }
}

AccessWorker FrameWorker(WorkerSteps steps) {
  return [steps = std::move(steps)](AccessBlockPtr block) {
    RunWorkerFrame(std::move(block), steps);
  };
}

}  // namespace logwell
