#include "access/access_framework.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <new>
#include <utility>

#include "access/debug_buffer.h"
#include "access/error_words.h"
#include "access/port_list.h"
#include "base/text.h"
#include "base/ui.h"

namespace logwell {

namespace {

constexpr std::string_view kAccessCaption = "GPS access";

int Refuse(Ui* owner, std::string_view text, std::string_view caption) {
  if (owner != nullptr) owner->ShowErrorBox(text, caption);
  return -1;
}

std::jthread StartThread(std::function<void()> body) { return std::jthread(std::move(body)); }

}  // namespace

void AccessBlockRelease::operator()(AccessBlock* block) const noexcept {
  if (block == nullptr) return;
  if (block->framework != nullptr) {
    block->framework->ReleaseBlock(block);
  } else {
    std::default_delete<AccessBlock>{}(block);
  }
}

AccessFramework::AccessFramework(const AccessTable& table)
    : clearTrace([] { DebugBuffer::Global().Clear(); }), startThread(StartThread), table_(table) {}

AccessFramework::~AccessFramework() {
  {
    std::lock_guard lock(accessLock);
    if (currentAccess != nullptr) {
      currentAccess->abortRequested = 1;
      currentAccess->WakePause();
    }
  }
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void AccessFramework::InitGpsAccess() {
  // The lock and the empty slot exist from construction; only the trace is left to clear.
  if (clearTrace) clearTrace();
}

int AccessFramework::StartGpsAccess(Ui* owner, AccessType accessType, ProtocolType protocolType,
                                    int param, AccessCompletion completion,
                                    std::vector<Waypoint>* upload, AirspaceList* airspaceUpload,
                                    const PilotData* pilotData) {
  exitCode = 0;

  // Nothing is taken before these three checks.
  if (!ValidAccessType(accessType)) return Refuse(owner, "Bad access type", kAccessCaption);
  if (!ValidProtocolType(protocolType)) return Refuse(owner, "Bad protocol type", kAccessCaption);
  const AccessWorker* worker = table_.Find(accessType, protocolType);
  if (worker == nullptr) return Refuse(owner, "Unsupported access function", kAccessCaption);

  return Launch(owner, *worker, [&](AccessBlock& block) {
    block.completion = std::move(completion);
    block.param = param;
    block.protocolType = protocolType;
    block.accessType = accessType;
    if (protocolType != ProtocolType::GarminUsb && selectedPortName) {
      block.portName = selectedPortName().substr(0, kPortNameLength);
    }
    if (upload != nullptr) {
      block.waypoints = std::move(*upload);
      upload->clear();
    }
    if (airspaceUpload != nullptr) {
      block.airspace = std::move(*airspaceUpload);
      airspaceUpload->clear();
    }
    if (pilotData != nullptr) block.pilotData = *pilotData;
  });
}

int AccessFramework::StartProductScan(Ui* owner, std::function<void(AccessBlock&)> scan) {
  int idle = 0;
  if (!gpsBusy.compare_exchange_strong(idle, 1)) return Refuse(owner, "Busy GPS driver", "Product data scan");
  exitCode = 0;
  const AccessWorker worker = [this, scan = std::move(scan)](AccessBlockPtr block) {
    scan(*block);
    block.reset();
    gpsBusy = 0;
  };
  const int started = Launch(owner, worker, [this](AccessBlock& block) {
    if (selectedPortName) block.portName = selectedPortName().substr(0, kPortNameLength);
  });
  if (started < 0) gpsBusy = 0;
  return started;
}

int AccessFramework::Launch(Ui* owner, const AccessWorker& worker,
                            const std::function<void(AccessBlock&)>& fill) {
  std::unique_lock lock(accessLock);
  if (currentAccess != nullptr) {
    lock.unlock();
    return Refuse(owner, "Port/USB is being used", kAccessCaption);
  }

  AccessBlockPtr block;
  try {
    block.reset(std::make_unique<AccessBlock>().release());
  } catch (const std::bad_alloc&) {
    lock.unlock();
    if (owner != nullptr) owner->ShowSystemError(ENOMEM, "Access data block memory allocation");
    return -1;
  }

  if (clearTrace) clearTrace();

  block->owner = owner;
  block->connectSeconds = connectSeconds.load();

  // The previous worker has freed its block (nothing is current); let its thread finish.
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id()) {
      worker_.detach();
    } else {
      worker_.join();
    }
  }

  // The new thread first waits for `accessLock`, so it starts only once its block is current,
  // as if it had been created suspended.
  AccessBlock* started = block.get();
  try {
    worker_ = startThread([this, body = worker, started] { RunWorker(body, started); });
  } catch (...) {
    lock.unlock();
    block.reset();
    return Refuse(owner, "Could not create GPS access thread", "API32 call");
  }

  started->framework = this;
  // Only now that the worker exists are the caller's items taken over.
  fill(*started);
  currentAccess = block.release();  // the worker thread owns it from here
  return 0;
}

int AccessFramework::StartCommandAccess(std::string_view commandCaption, Ui* owner,
                                        AccessType accessType, ProtocolType protocolType,
                                        int param, AccessCompletion completion,
                                        std::vector<Waypoint>* upload,
                                        AirspaceList* airspaceUpload,
                                        const PilotData* pilotData) {
  int idle = 0;
  if (!gpsBusy.compare_exchange_strong(idle, 1)) {
    return Refuse(owner, "Busy GPS driver", commandCaption);
  }
  const int started =
      StartGpsAccess(owner, accessType, protocolType, param, std::move(completion), upload,
                     airspaceUpload, pilotData);
  if (started < 0) gpsBusy = 0;
  return started;
}

int AccessFramework::AbortGpsAccess(Ui* owner) {
  std::unique_lock lock(accessLock);
  if (currentAccess == nullptr) {
    lock.unlock();
    return Refuse(owner, "Port not in use", "Abort GPS access");
  }
  Ui* statusLine = owner != nullptr ? owner : currentAccess->owner;
  if (statusLine != nullptr) statusLine->ShowStatus("Aborting transfer");
  currentAccess->abortRequested = 1;
  currentAccess->WakePause();
  return 0;
}

void AccessFramework::WaitForGpsAccessEnd() {
  std::unique_lock lock(accessLock);
  accessEnded_.wait_for(lock, kAccessEndGrace, [this] { return currentAccess == nullptr; });
}

void AccessFramework::FreeAccessBlock(AccessBlockPtr block) { block.reset(); }

bool AccessFramework::AccessCurrent() const {
  std::lock_guard lock(accessLock);
  return currentAccess != nullptr;
}

void AccessFramework::ReleaseBlock(AccessBlock* block) noexcept {
  std::unique_ptr<AccessBlock> owned(block);
  owned->port.reset();  // closes the port before the framework turns idle
  std::lock_guard lock(accessLock);
  if (currentAccess == block) currentAccess = nullptr;
  owned.reset();  // the buffers nobody took over go with the block
  accessEnded_.notify_all();
}

void AccessFramework::RunWorker(const AccessWorker& worker, AccessBlock* block) noexcept {
  { std::lock_guard gate(accessLock); }
  AccessBlockPtr owned(block);
  try {
    worker(std::move(owned));
  } catch (...) {
    // A worker that does not use the frame failed outright; its block has been released
    // while the exception passed.
    exitCode = 1;
  }
}

void ShowAccessStatus(AccessBlock& block, std::string_view text) {
  if (block.owner != nullptr) block.owner->ShowStatus(text);
}

void ShowAccessProduct(AccessBlock& block, std::string_view text) {
  if (block.owner != nullptr) block.owner->ShowProduct(text);
}

void ShowAccessError(AccessBlock& block, std::string_view text, std::string_view caption) {
  if (block.owner != nullptr) block.owner->ShowErrorBox(WithErrorWords(text, block.protocolType), caption);
}

}  // namespace logwell

namespace logwell {

std::string AwaitingAnswerText(const AccessBlock& block, std::string_view request, int secondsLeft) {
  const std::string where = block.portName.empty() ? "" : " on " + ResolvePortPath(block.portName);
  return std::string(request) + ": waiting for the instrument" + where + " to answer (" +
         std::to_string(secondsLeft) + " s)";
}

int RequestWithProductBudget(AccessBlock& block, const std::function<int(AccessBlock&)>& attempt) {
  constexpr int kDefaultBudgetSeconds = 30;
  constexpr std::chrono::milliseconds kSpacing{2000};
  const int budget = block.connectSeconds >= 1 ? block.connectSeconds : kDefaultBudgetSeconds;
  for (int requests = 0; 2 * requests < budget; ++requests) {
    const std::string asking = FormatText("Requesting product info (%d)", (budget - 2 * requests) / 2);
    ShowAccessStatus(block, AwaitingAnswerText(block, asking, budget - 2 * requests));
    const auto started = std::chrono::steady_clock::now();
    const int outcome = attempt(block);
    if (outcome != 0) return outcome > 0 ? 0 : -1;
    const auto waited = std::chrono::steady_clock::now() - started;
    if (waited < kSpacing &&
        !block.Pause(std::chrono::duration_cast<std::chrono::milliseconds>(kSpacing - waited))) {
      return -1;
    }
  }
  ShowAccessError(block, "No valid response from GPS", "Get GPS product data");
  return -1;
}

}  // namespace logwell
