#pragma once
// A virtual instrument: a pseudo-terminal pair whose device side is driven by an instrument
// model on its own thread. The host opens DevicePath() through the same serial back end that
// real instruments use, so every protocol runs end to end without hardware.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/instrument_model.h"

namespace logwell::sim {

// One fault, applied to the model's next answer (Silence lasts until the faults are cleared).
struct Fault {
  enum class Kind {
    Silence,          // nothing is sent any more
    Delay,            // the answer is held back for `delay`
    CorruptByte,      // one byte of the answer is altered (`offset`, counted from its start)
    CorruptChecksum,  // the two digits after the last "*" no longer match
    Garbage,          // `garbage` is sent before the answer
    DropLine,         // the answer is not sent at all
    HangUp,           // `offset` bytes of the answer are sent, then the line goes dead
  };
  Kind kind = Kind::Silence;
  std::chrono::milliseconds delay{0};
  std::size_t offset = 0;
  std::vector<std::uint8_t> garbage{0xFF, 0x00, 'x', '#', 0x7F};
};

class VirtualInstrument {
 public:
  // Opens the pseudo-terminal and starts the model; throws std::system_error when the system
  // has no pseudo-terminal to give.
  explicit VirtualInstrument(std::unique_ptr<InstrumentModel> model);
  ~VirtualInstrument();
  VirtualInstrument(const VirtualInstrument&) = delete;
  VirtualInstrument& operator=(const VirtualInstrument&) = delete;

  // The device path the host opens (/dev/pts/N).
  const std::string& DevicePath() const { return devicePath_; }

  void Inject(Fault fault);
  void ClearFaults();
  // Stops the model's thread; the pseudo-terminal stays until destruction (or a hang-up).
  void Stop();

  bool HungUp() const { return hungUp_.load(); }
  // Every byte the host has sent so far.
  std::vector<std::uint8_t> Received() const;

 private:
  class Link;
  void Run(std::stop_token stop);
  void SendWithFaults(std::span<const std::uint8_t> bytes, const std::stop_token& stop);
  bool WriteAll(std::span<const std::uint8_t> bytes, const std::stop_token& stop);
  void HangUpNow();

  std::unique_ptr<InstrumentModel> model_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the line lives while the host has not opened it yet
  std::string devicePath_;

  mutable std::mutex mutex_;
  std::deque<Fault> faults_;
  bool silent_ = false;
  std::vector<std::uint8_t> received_;
  std::atomic<bool> hungUp_{false};
  std::jthread thread_;
};

// Faults kept by the request whose answer they spoil: injects `key`'s faults into `instrument`
// (when there is one) and forgets them, so that each spoils one answer.
void InjectFaultsFor(std::map<std::string, std::vector<Fault>>& faults, const std::string& key,
                     VirtualInstrument* instrument);

}  // namespace logwell::sim
