#include "access/nmea_transfer.h"

#include "access/access_framework.h"
#include "access/connect.h"
#include "access/nmea.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::size_t kReadChunk = 256;

}  // namespace

int ReadCountedTransfer(AccessBlock& block, const CountedTransfer& transfer) {
  NmeaLineAssembler assembler(transfer.maxLength, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                              NmeaLineAssembler::Overlong::Drop);
  std::optional<int> expected;
  int received = 0;
  bool anySentence = false;
  std::string error;
  ChunkReader reader(kReadChunk);
  const ReadResult end = reader.ReadUntilSilence(block, transfer.silence, [&](std::uint8_t byte) {
    if (!assembler.Feed(byte)) return false;
    anySentence = true;
    const bool unchecked = assembler.Line().find('*') == std::string::npos;
    const auto fields = SplitNmeaSentence(assembler.Line(), transfer.maxFields);
    if (fields.empty() || (unchecked && transfer.requireChecksum)) {
      error = "E205 Bad checksum";
      return true;
    }
    if (!expected) {
      expected = transfer.count(fields);
      if (!expected) {
        error = "Unsupported record " + std::string(CutBytes(assembler.Line(), 50));
        return true;
      }
      return *expected == 0;
    }
    if (auto refusal = transfer.item(fields, received)) {
      error = std::move(*refusal);
      return true;
    }
    return received >= *expected;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", transfer.caption);
    return -1;
  }
  if (!error.empty()) {
    ShowAccessError(block, error, transfer.caption);
    return -1;
  }
  if (!expected || received < *expected) {
    ShowAccessError(block,
                    !anySentence ? std::string("No valid response from GPS")
                                 : FormatText("Transfer incomplete (%d of %d %s)", received, expected.value_or(0),
                                              std::string(transfer.items).c_str()),
                    transfer.caption);
    return -1;
  }
  return received;
}

int RequestNmeaAnswer(AccessBlock& block, std::string_view request, std::chrono::milliseconds window,
                      std::size_t maxLength, std::size_t maxFields, std::string_view caption,
                      const std::function<bool(NmeaFields)>& isAnswer,
                      const std::function<std::optional<std::string>(NmeaFields)>& parse) {
  if (WritePortText(block, request) != 0) {
    ShowAccessError(block, "COM port write error", "Requesting GPS product data");
    return -1;
  }
  NmeaLineAssembler assembler(maxLength, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                              NmeaLineAssembler::Overlong::Drop);
  std::optional<std::string> refusal;
  bool answered = false;
  ChunkReader reader(kReadChunk);
  const ReadResult end = reader.ReadUntil(block, window, [&](std::uint8_t byte) {
    if (!assembler.Feed(byte)) return false;
    const auto fields = SplitNmeaSentence(assembler.Line(), maxFields);
    if (fields.empty() || !isAnswer(fields)) return false;
    refusal = parse(fields);
    answered = true;
    return true;
  });
  if (end == ReadResult::Aborted) return -1;
  if (end == ReadResult::ReadError) {
    ShowAccessError(block, "COM port read error", caption);
    return -1;
  }
  if (!answered) return 0;
  if (refusal) {
    ShowAccessError(block, *refusal, caption);
    return -1;
  }
  return 1;
}

int SendWaypointSentences(AccessBlock& block, const std::vector<std::string>& sentences,
                          std::chrono::milliseconds pause, std::string_view caption,
                          const std::function<void(std::string_view)>& notify) {
  const int total = static_cast<int>(sentences.size());
  int sent = 0;
  for (const std::string& sentence : sentences) {
    if (block.Aborted()) return -1;
    if (WritePortText(block, sentence) != 0) {
      ShowAccessError(block, "E304 COM port write error", caption);
      return -1;
    }
    ++sent;
    ShowAccessStatus(block, FormatText("Waypoint %d sent", sent));
    if (notify) notify(FormatText("Sent wpt %d/%d", sent, total));
    if (!block.Pause(pause)) return -1;
  }
  ShowAccessStatus(block, FormatText("%d waypoints sent", sent));
  return 0;
}

std::optional<std::string> FindNmeaSentence(std::string_view bytes, std::string_view prefix, std::size_t maxLength) {
  NmeaLineAssembler assembler(maxLength, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                              NmeaLineAssembler::Overlong::Drop);
  for (const char c : bytes) {
    if (!assembler.Feed(static_cast<std::uint8_t>(c))) continue;
    std::string& line = assembler.Line();
    if (!line.starts_with(prefix)) continue;
    const std::size_t star = line.rfind('*');
    if (star == std::string::npos || !NmeaChecksumMatches(std::string_view(line).substr(1, star - 1),
                                                          std::string_view(line).substr(star + 1))) {
      continue;
    }
    return line.substr(0, star);
  }
  return std::nullopt;
}

}  // namespace logwell
