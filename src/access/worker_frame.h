#pragma once
// The frame every worker runs in, so that an instrument family writes only its protocol steps:
//   clear the trace (optional) -> open the port -> protocol steps -> store the result and call
//   the completion routine -> free the block -> clear the busy flag when there is no routine.
// An abort noticed by the steps ends here as a failure with "Transfer aborted" in the status
// line (modules need not show it themselves); nothing a step throws leaves the worker thread.
#include <functional>

#include "access/access_block.h"
#include "access/access_table.h"

namespace logwell {

struct WorkerSteps {
  bool clearTrace = false;  // most track-log workers start a fresh trace
  // Opens block.port (the serial connect at the protocol's rate, or the Garmin USB open);
  // false when that failed and was reported. Empty when the steps need no port.
  std::function<bool(AccessBlock&)> openPort;
  // The protocol steps, chained as the family needs; returns the access result (negative:
  // failure). Track-log steps also set sourceKind, timeIsUtc, signState and altitudeFlag.
  std::function<int(AccessBlock&)> run;
};

void RunWorkerFrame(AccessBlockPtr block, const WorkerSteps& steps) noexcept;

// A table cell's worker that runs `steps` in the frame.
AccessWorker FrameWorker(WorkerSteps steps);

}  // namespace logwell
