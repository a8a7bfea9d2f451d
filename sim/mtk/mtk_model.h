#pragma once
// A virtual MTK-based logger: it serves a log memory image over the $PMTK sentences (product
// data, logging status, logging off and on, memory used, memory reads, erase), optionally at
// the line's real rate, with faults keyed by request.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {

struct MtkModelConfig {
  std::vector<std::uint8_t> memory;  // the log memory; reads beyond it give 0xFF
  std::uint32_t used = 0;            // memory used as reported; 0: up to the last written byte
  bool logging = true;               // logging on at the start
  std::string firmware = "AXN_1.0-B_1.3_C01,0001,TSI-747A,1.0";
  bool paced = false;
  int baudRate = 115200;
  std::uint32_t sentenceBytes = 0x800;  // memory bytes per $PMTK182,8 sentence
  // Faults by request name: "PMTK605", "PMTK182,2,7", "PMTK182,5", "PMTK182,2,8", "PMTK182,7"
  // (each memory read), "PMTK182,4", "PMTK182,6".
  AnswerFaults faultsFor;
  // Answer this memory read (counted from 1) with an offset beyond the memory; 0: never.
  int wrongOffsetRead = 0;
};

class MtkModel : public InstrumentModel {
 public:
  explicit MtkModel(MtkModelConfig config);
  void Attach(VirtualInstrument* instrument) override { instrument_ = instrument; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

  bool Logging() const;
  bool Erased() const;

 private:
  void Handle(const std::string& sentence, DeviceLink& link);
  void Answer(const std::string& request, const std::string& text, DeviceLink& link);

  MtkModelConfig config_;
  VirtualInstrument* instrument_ = nullptr;
  std::string line_;
  bool inLine_ = false;
  int reads_ = 0;
  mutable std::mutex mutex_;
  bool logging_ = true;
  bool erased_ = false;
};

// The memory used by an image: up to its last byte that is not 0xFF.
std::uint32_t UsedMemory(const std::vector<std::uint8_t>& memory);

}  // namespace logwell::sim
