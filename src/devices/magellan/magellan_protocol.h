#pragma once
// The host side of the Magellan receivers' serial protocol: the fixed commands and the session
// that speaks them over the port, with or without handshake mode.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "access/access_block.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "wire/magellan/magellan_sentences.h"

namespace logwell::magellan {

inline constexpr std::string_view kVersionCommand = "$PMGNCMD,VERSION*28\r\n";
inline constexpr std::string_view kTrackCommand = "$PMGNCMD,TRACK,2*23\r\n";
inline constexpr std::string_view kWaypointCommand = "$PMGNCMD,WAYPOINT*71\r\n";
inline constexpr std::string_view kHandshakeOnCommand = "$PMGNCMD,HANDON*70\r\n";
inline constexpr std::string_view kHandshakeOffCommand = "$PMGNCMD,HANDOFF*3E\r\n";
inline constexpr std::string_view kFastRateCommand = "$PMGNCMD,BAUD,57600*78\r\n";
inline constexpr std::string_view kDefaultRateCommand = "$PMGNCMD,BAUD,4800*40\r\n";
inline constexpr std::string_view kStopCommand = "$PMGNCMD,STOP*6A\r\n";
inline constexpr std::string_view kEndCommand = "$PMGNCMD,END*3D\r\n";

inline constexpr int kPortRate = 9600;
inline constexpr int kFactoryRate = 4800;
inline constexpr int kFastRate = 57600;

// How a wait on the line ended.
enum class Wait { Answered, Silent, Failed };

// One conversation with a receiver over the block's open port. In handshake mode every
// sentence either side sends is acknowledged with "$PMGNCSM" and the checksum the other side
// computed; a sentence that arrives damaged is acknowledged with the damaged sum, which makes
// the receiver send it again.
class Session {
 public:
  explicit Session(AccessBlock& block);

  bool handshake() const { return handshake_; }
  void SetHandshake(bool on) { handshake_ = on; }

  // Writes a complete sentence ("$...*CS\r\n"): false after a write failure (not shown).
  bool Write(std::string_view sentence);
  // Writes a sentence; in handshake mode waits for its acknowledgement (up to `tries` sends,
  // each waiting `wait`). Other sentences arriving meanwhile are acknowledged and dropped.
  Wait Command(std::string_view sentence, std::chrono::milliseconds wait, int tries);
  // The next sentence from the receiver, whatever its checksum; acknowledgements are handed
  // over too. Failed on a read error or an abort (`readError` tells which).
  Wait Next(std::chrono::milliseconds wait, ReceivedSentence& sentence);
  // Acknowledges a received sentence (handshake mode only) with the checksum computed here.
  bool Acknowledge(const ReceivedSentence& sentence);

  bool readError = false;

 private:
  AccessBlock& block_;
  NmeaLineAssembler lines_;
  ChunkReader reader_;
  bool handshake_ = false;
};

}  // namespace logwell::magellan
