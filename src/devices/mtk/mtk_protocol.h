#pragma once
// The $PMTK sentences of MTK-based loggers: the fixed requests, the memory read request, and
// the answers the host waits for. Free of threads and ports, so that tests and fuzz targets can
// feed it bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/nmea.h"

namespace logwell::mtk {

inline constexpr std::string_view kProductRequest = "$PMTK605*31\r\n";
inline constexpr std::string_view kStatusRequest = "$PMTK182,2,7*3C\r\n";
inline constexpr std::string_view kLoggingOffRequest = "$PMTK182,5*20\r\n";
inline constexpr std::string_view kMemoryUsedRequest = "$PMTK182,2,8*33\r\n";
inline constexpr std::string_view kLoggingOnRequest = "$PMTK182,4*21\r\n";
inline constexpr std::string_view kEraseRequest = "$PMTK182,6,1*3E\r\n";

inline constexpr std::size_t kChunkSize = 256;
inline constexpr std::uint32_t kMaxMemory = 67108864;  // 64 MiB
// Bit of the logging status flags that says the logger is logging.
inline constexpr std::uint32_t kLoggingOnFlag = 0x2;
// A memory answer carries 2 hexadecimal digits per byte besides about 30 characters.
inline constexpr std::size_t kMaxSentence = 2 * kChunkSize + 64;

// "$PMTK182,7,OOOOOOOO,SSSSSSSS*CS\r\n", offset and size in upper-case hexadecimal.
std::string ReadMemoryRequest(std::uint32_t offset, std::uint32_t size);

// What one received sentence says, for the step that waits for it.
struct Answer {
  enum class Kind {
    Other,        // a sentence of no interest (position output, other answers)
    Product,      // PMTK705: firmware fields
    Status,       // PMTK182,3,7: logging status flags
    MemoryUsed,   // PMTK182,3,8: bytes used
    MemoryChunk,  // PMTK182,8: a piece of log memory at an offset
    Acknowledge,  // PMTK001: command and result (3 = done)
  };
  Kind kind = Kind::Other;
  std::string firmware;           // Product: the two firmware fields joined by a comma
  std::uint32_t value = 0;        // Status flags, MemoryUsed bytes, MemoryChunk offset
  std::vector<std::uint8_t> data;  // MemoryChunk bytes
  std::string command;            // Acknowledge: the acknowledged command, e.g. "182,5"
  int result = -1;                // Acknowledge: 0 invalid, 1 unsupported, 2 failed, 3 done
};

enum class SentenceStatus { Ok, BadChecksum, Malformed };

// Reads one line as assembled by SentenceAssembler (without CR LF). A line with a wrong or
// missing checksum is BadChecksum and never yields data; a known sentence with broken fields
// is Malformed.
SentenceStatus ReadAnswer(std::string line, Answer& answer);

// The family's sentence assembler: "$" to line feed, overlong lines dropped.
NmeaLineAssembler SentenceAssembler();

}  // namespace logwell::mtk
