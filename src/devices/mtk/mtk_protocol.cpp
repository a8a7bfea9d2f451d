#include "devices/mtk/mtk_protocol.h"

#include <charconv>

#include "base/text.h"

namespace logwell::mtk {
namespace {

std::optional<std::uint32_t> Hex32(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> Decimal32(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string ReadMemoryRequest(std::uint32_t offset, std::uint32_t size) {
  return AppendNmeaChecksum(FormatText("$PMTK182,7,%08X,%08X", offset, size));
}

NmeaLineAssembler SentenceAssembler() {
  return NmeaLineAssembler(kMaxSentence, NmeaLineAssembler::Framing::LastDollarToLineFeed,
                           NmeaLineAssembler::Overlong::Drop);
}

SentenceStatus ReadAnswer(std::string line, Answer& answer) {
  answer = Answer{};
  if (line.find('*') == std::string::npos) return SentenceStatus::BadChecksum;
  const std::vector<std::string_view> fields = SplitNmeaSentence(line, 8);
  if (fields.empty()) return SentenceStatus::BadChecksum;
  const std::string_view id = fields[0];
  if (id == "$PMTK705") {
    if (fields.size() < 3) return SentenceStatus::Malformed;
    answer.kind = Answer::Kind::Product;
    answer.firmware = std::string(fields[1]) + "," + std::string(fields[2]);
    return SentenceStatus::Ok;
  }
  if (id == "$PMTK001") {
    if (fields.size() < 3) return SentenceStatus::Malformed;
    const auto result = Decimal32(fields.back());
    if (!result || *result > 3) return SentenceStatus::Malformed;
    answer.kind = Answer::Kind::Acknowledge;
    for (std::size_t i = 1; i + 1 < fields.size(); ++i) {
      if (i > 1) answer.command += ',';
      answer.command += fields[i];
    }
    answer.result = static_cast<int>(*result);
    return SentenceStatus::Ok;
  }
  if (id != "$PMTK182" || fields.size() < 2) return SentenceStatus::Ok;
  if (fields[1] == "3" && fields.size() >= 4) {
    if (fields[2] == "7") {
      const auto flags = Decimal32(fields[3]);
      if (!flags) return SentenceStatus::Malformed;
      answer.kind = Answer::Kind::Status;
      answer.value = *flags;
    } else if (fields[2] == "8") {
      const auto used = Hex32(fields[3]);
      if (!used) return SentenceStatus::Malformed;
      answer.kind = Answer::Kind::MemoryUsed;
      answer.value = *used;
    }
    return SentenceStatus::Ok;
  }
  if (fields[1] == "8") {
    if (fields.size() != 4) return SentenceStatus::Malformed;
    const auto offset = Hex32(fields[2]);
    const std::string_view hex = fields[3];
    if (!offset || hex.size() % 2 != 0 || hex.size() / 2 > kChunkSize) {
      return SentenceStatus::Malformed;
    }
    answer.data.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      const int high = HexDigit(hex[i]);
      const int low = HexDigit(hex[i + 1]);
      if (high < 0 || low < 0) return SentenceStatus::Malformed;
      answer.data.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    answer.kind = Answer::Kind::MemoryChunk;
    answer.value = *offset;
  }
  return SentenceStatus::Ok;
}

}  // namespace logwell::mtk
