#include "devices/magellan/magellan_protocol.h"

#include "access/debug_buffer.h"

namespace logwell::magellan {
namespace {

constexpr std::size_t kReadChunk = 512;

std::uint8_t ChecksumOf(std::string_view sentence) {
  return ReadSentence(sentence.substr(0, sentence.find('\r'))).computed;
}

}  // namespace

Session::Session(AccessBlock& block)
    : block_(block),
      lines_(kMaxSentence, NmeaLineAssembler::Framing::LastDollarToLineFeed,
             NmeaLineAssembler::Overlong::Drop),
      reader_(kReadChunk) {}

bool Session::Write(std::string_view sentence) { return WritePortText(block_, sentence) == 0; }

Wait Session::Next(std::chrono::milliseconds wait, ReceivedSentence& sentence) {
  bool got = false;
  const ReadResult end = reader_.ReadUntil(block_, wait, [&](std::uint8_t byte) {
    if (!lines_.Feed(byte)) return false;
    sentence = ReadSentence(lines_.Line());
    got = true;
    return true;
  });
  if (end == ReadResult::Aborted) return Wait::Failed;
  if (end == ReadResult::ReadError) {
    readError = true;
    return Wait::Failed;
  }
  return got ? Wait::Answered : Wait::Silent;
}

bool Session::Acknowledge(const ReceivedSentence& sentence) {
  if (!handshake_) return true;
  return Write(AcknowledgeSentence(sentence));
}

Wait Session::Command(std::string_view sentence, std::chrono::milliseconds wait, int tries) {
  const std::uint8_t sum = ChecksumOf(sentence);
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (!Write(sentence)) {
      readError = true;
      return Wait::Failed;
    }
    if (!handshake_) return Wait::Answered;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      ReceivedSentence answer;
      const Wait got = Next(left, answer);
      if (got == Wait::Failed) return got;
      if (got == Wait::Silent) break;
      const auto acknowledged = AcknowledgedChecksum(answer);
      if (acknowledged) {
        if (*acknowledged == sum) return Wait::Answered;
        DebugBuffer::Global().AppendText("Acknowledge of another checksum\r\n");
        break;  // the receiver got it damaged: send it again
      }
      if (answer.checksumOk && !answer.Is("PMGNCSM")) Acknowledge(answer);
    }
  }
  return Wait::Silent;
}

}  // namespace logwell::magellan
