#pragma once
// A small model for tests and demonstrations: answers every NMEA sentence it receives.
// A sentence with a good checksum gets "$LWECHO,<its body>*CS", a bad one "$LWNAK*CS".
#include "access/nmea.h"
#include "sim/instrument_model.h"

namespace logwell::sim {

class EchoNmeaModel final : public InstrumentModel {
 public:
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;

 private:
  NmeaLineAssembler assembler_;
};

}  // namespace logwell::sim
