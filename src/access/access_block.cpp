#include "access/access_block.h"

namespace logwell {

bool AccessBlock::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(pauseMutex_);
  pauseWake_.wait_for(lock, duration, [this] { return Aborted(); });
  return !Aborted();
}

void AccessBlock::WakePause() {
  { std::lock_guard lock(pauseMutex_); }
  pauseWake_.notify_all();
}

}  // namespace logwell
