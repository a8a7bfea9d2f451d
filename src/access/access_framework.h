#pragma once
// Runs every exchange with an instrument as one access: a worker thread that owns one
// AccessBlock. At most one access is current at a time; `accessLock` guards only the start,
// abort and release of the current access and is never held while a worker waits.
//
// The program keeps one framework; tests make their own, each with its own table.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "access/access_block.h"
#include "access/access_completion.h"
#include "access/access_table.h"

namespace logwell {

class Ui;

inline constexpr std::chrono::milliseconds kAccessEndGrace{2000};

class AccessFramework {
 public:
  explicit AccessFramework(const AccessTable& table);
  // Aborts an access that is still running and waits for its worker, so no worker outlives
  // the framework it reports to.
  ~AccessFramework();
  AccessFramework(const AccessFramework&) = delete;
  AccessFramework& operator=(const AccessFramework&) = delete;

  // Clears the trace and forgets any current access; called once when the main window exists.
  void InitGpsAccess();

  // Starts the worker of the table cell on its own thread. Returns 0 when it runs, -1 when it
  // was refused (the reason has been shown to `owner`). `upload`, when given, holds the items
  // to send: on success the block takes them over (the vector is left empty), on failure the
  // caller keeps them. The caller marks `gpsBusy` before the call (see StartCommandAccess).
  // `airspaceUpload`, when given, is taken over the same way (the CTRs of an upload);
  // `pilotData`, when given, is copied (what a pilot-data write sends).
  int StartGpsAccess(Ui* owner, AccessType accessType, ProtocolType protocolType, int param,
                     AccessCompletion completion, std::vector<Waypoint>* upload = nullptr,
                     AirspaceList* airspaceUpload = nullptr, const PilotData* pilotData = nullptr);

  // What a command handler does around StartGpsAccess: refuses with "Busy GPS driver" (caption
  // the command's name) while busy, marks `gpsBusy` before the start so that even a worker
  // that ends at once finds it set, and clears it again when the start was refused.
  int StartCommandAccess(std::string_view commandCaption, Ui* owner, AccessType accessType,
                         ProtocolType protocolType, int param, AccessCompletion completion,
                         std::vector<Waypoint>* upload = nullptr,
                         AirspaceList* airspaceUpload = nullptr,
                         const PilotData* pilotData = nullptr);

  // The product scan in the access slot: refuses with "Busy GPS driver" (caption "Product data
  // scan") while busy, then runs `scan` on a worker thread with a block that holds the selected
  // port; the scan reports through the block's owner. `gpsBusy` is cleared when it ends.
  int StartProductScan(Ui* owner, std::function<void(AccessBlock&)> scan);

  // Asks the current worker to stop; it ends through its normal frame with a failure. The
  // abort button clears `gpsBusy` first so that the result is dropped.
  int AbortGpsAccess(Ui* owner);

  // On the way out after an abort: gives a current access up to 2000 ms to end.
  void WaitForGpsAccessEnd();

  // A worker's last step: closes the port, frees the buffers and the block, and makes the
  // framework idle.
  void FreeAccessBlock(AccessBlockPtr block);

  // True while an access is current (from its start to the end of FreeAccessBlock).
  bool AccessCurrent() const;

  // 1 while the program's commands must wait for an access (set by the command handler,
  // cleared by the completion routine, the worker frame or the abort button).
  std::atomic<int> gpsBusy{0};
  // The process exit code of an unattended run: 0 at every start, 1 after a failed access.
  std::atomic<int> exitCode{0};
  // The TIMEOUT option of an unattended run (seconds), copied into every block; 0: defaults.
  std::atomic<int> connectSeconds{0};

  // Filled by the program at start-up, before the first access.
  CompletionTargets targets;
  // Clears the trace of instrument traffic at every start (the process-wide DebugBuffer).
  std::function<void()> clearTrace;
  // The port the user selected (device path); copied into each block but Garmin USB's.
  std::function<std::string()> selectedPortName;
  // Starts a worker thread. Replaceable so that tests can make thread creation fail.
  std::function<std::jthread(std::function<void()>)> startThread;

 private:
  friend struct AccessBlockRelease;
  void ReleaseBlock(AccessBlock* block) noexcept;
  void RunWorker(const AccessWorker& worker, AccessBlock* block) noexcept;
  // Makes a block current and starts `worker` on it; `fill` completes the block once the thread
  // exists (so that a refused start leaves the caller's items alone).
  int Launch(Ui* owner, const AccessWorker& worker, const std::function<void(AccessBlock&)>& fill);

  const AccessTable& table_;
  mutable std::mutex accessLock;
  std::condition_variable accessEnded_;
  AccessBlock* currentAccess = nullptr;  // owned by its worker thread
  std::jthread worker_;                  // the last worker started
};

// The channels by which a worker talks to the user, through the block's owner. Each returns
// once the text has been shown or the box closed.
void ShowAccessStatus(AccessBlock& block, std::string_view text);
void ShowAccessProduct(AccessBlock& block, std::string_view text);
// A numbered error ("E204 COM port read error") gets its words (access/error_words.h) below it.
void ShowAccessError(AccessBlock& block, std::string_view text, std::string_view caption);

// A status line of the requests that wait for the instrument's first answer: the request's own
// text, then what is waited for and how long at most ("Requesting product info (15): waiting
// for the instrument on /dev/ttyUSB0 to answer (30 s)").
std::string AwaitingAnswerText(const AccessBlock& block, std::string_view request, int secondsLeft);

// The product-data step's retry budget, the same for every family: block.connectSeconds (when
// at least 1, else 30) seconds, one attempt every 2 s with "Requesting product info (%)"
// counting the attempts left. `attempt` returns 1 when the answer came, 0 to try again, -1 after
// a failure it showed (or an abort). When the budget is spent: "No valid response from GPS",
// caption "Get GPS product data". Returns 0 or -1.
int RequestWithProductBudget(AccessBlock& block, const std::function<int(AccessBlock&)>& attempt);

}  // namespace logwell
