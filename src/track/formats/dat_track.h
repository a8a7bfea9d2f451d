#pragma once
// The old binary track files of the web logbook (.dat): big-endian 32-bit words, a 16-byte
// header, one record per position with time, UTM easting and northing (and optionally an
// altitude), a checksum word and optionally a validation word.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The modulus of the validation hash.
inline constexpr std::uint32_t kDatValidationModulus = 1431655777u;

// H = (H * 2^32 + word) mod kDatValidationModulus over the words, bit by bit.
std::uint32_t DatValidationHash(std::span<const std::uint32_t> words);

// Reads a whole .dat file. On failure shows one message (caption "Decoding track log file") and
// gives nothing.
std::optional<FileReadResult> ReadDatTrack(std::string_view bytes, Ui& ui);

// The command line names such a file without its extension: ".dat" is appended, the file is
// read whole and decoded. Shows "Reading .dat log file" in the status line.
std::optional<FileReadResult> ReadDatLogFile(std::string_view nameWithoutExtension, Ui& ui);

}  // namespace logwell
