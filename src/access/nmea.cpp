#include "access/nmea.h"

#include <algorithm>

namespace logwell {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::uint8_t NmeaChecksum(std::string_view body) {
  if (!body.empty() && body.front() == '$') body.remove_prefix(1);
  std::uint8_t sum = 0;
  for (char c : body) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

std::string AppendNmeaChecksum(std::string_view body) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::uint8_t sum = NmeaChecksum(body);
  std::string sentence(body);
  sentence += '*';
  sentence += kDigits[sum >> 4];
  sentence += kDigits[sum & 0x0F];
  sentence += "\r\n";
  return sentence;
}

int ParseNmeaSentence(std::span<char> line, std::span<std::size_t> fieldOffsets) {
  const auto star = std::find(line.begin(), line.end(), '*');
  std::size_t bodyEnd = line.size();
  if (star != line.end()) {
    bodyEnd = static_cast<std::size_t>(star - line.begin());
    if (line.size() - bodyEnd < 3) return -1;  // "*" and two digits
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < bodyEnd; ++i) sum ^= static_cast<std::uint8_t>(line[i]);
    *star = '\0';
    const int high = HexValue(line[bodyEnd + 1]);
    const int low = HexValue(line[bodyEnd + 2]);
    if (high < 0 || low < 0 || high * 16 + low != sum) return -1;
  }
  int recorded = 0;
  if (!fieldOffsets.empty()) fieldOffsets[recorded++] = 0;
  for (std::size_t i = 0; i < bodyEnd; ++i) {
    if (line[i] != ',') continue;
    line[i] = '\0';
    if (static_cast<std::size_t>(recorded) < fieldOffsets.size()) fieldOffsets[recorded++] = i + 1;
  }
  return recorded;
}

std::string_view NmeaField(std::span<const char> line, std::size_t offset) {
  if (offset >= line.size()) return {};
  const auto begin = line.begin() + static_cast<std::ptrdiff_t>(offset);
  const auto end = std::find(begin, line.end(), '\0');
  return {line.data() + offset, static_cast<std::size_t>(end - begin)};
}

bool NmeaLineAssembler::Feed(std::uint8_t byte) {
  if (complete_) Reset();
  const char c = static_cast<char>(byte);
  if (c == '$') {  // a new sentence starts, even inside a broken one
    line_.assign(1, c);
    inLine_ = true;
    return false;
  }
  if (!inLine_) return false;
  if (c == '\n') {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    inLine_ = false;
    complete_ = true;
    return true;
  }
  if (line_.size() >= kMaxLength) {
    Reset();
    return false;
  }
  line_ += c;
  return false;
}

void NmeaLineAssembler::Reset() {
  line_.clear();
  inLine_ = false;
  complete_ = false;
}

}  // namespace logwell
