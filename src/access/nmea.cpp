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

bool IsDigitField(std::string_view field) {
  return !field.empty() && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int DigitFieldValue(std::string_view field) {
  int value = 0;
  for (const char c : field) value = value * 10 + (c - '0');
  return value;
}

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

bool NmeaChecksumMatches(std::string_view body, std::string_view digits) {
  if (digits.size() != 2) return false;
  const int high = HexValue(digits[0]);
  const int low = HexValue(digits[1]);
  return high >= 0 && low >= 0 && high * 16 + low == NmeaChecksum(body);
}

int ParseNmeaSentence(std::span<char> line, std::span<std::size_t> fieldOffsets) {
  const auto star = std::find(line.begin(), line.end(), '*');
  std::size_t bodyEnd = line.size();
  if (star != line.end()) {
    bodyEnd = static_cast<std::size_t>(star - line.begin());
    if (line.size() - bodyEnd < 3) return -1;  // "*" and two digits
    *star = '\0';
    if (!NmeaChecksumMatches({line.data(), bodyEnd}, {line.data() + bodyEnd + 1, 2})) return -1;
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

std::vector<std::string_view> SplitNmeaSentence(std::string& line, std::size_t maxFields) {
  std::vector<std::size_t> offsets(maxFields);
  const int count = ParseNmeaSentence(std::span<char>(line.data(), line.size()), offsets);
  std::vector<std::string_view> fields;
  for (int i = 0; i < count; ++i) {
    fields.push_back(NmeaField(std::span<const char>(line.data(), line.size()),
                               offsets[static_cast<std::size_t>(i)]));
  }
  return fields;
}

bool NmeaLineAssembler::Feed(std::uint8_t byte) {
  if (state_ == State::Complete) Reset();
  const char c = static_cast<char>(byte);
  // A "$" starts a new sentence, with the last-dollar framing even inside a broken one.
  if (c == '$' && (state_ != State::InLine || framing_ == Framing::LastDollarToLineFeed)) {
    line_.assign(1, c);
    state_ = State::InLine;
    return false;
  }
  if (state_ == State::Idle) return false;
  if (c == '\n') {
    if (framing_ == Framing::LastDollarToLineFeed && !line_.empty() && line_.back() == '\r') line_.pop_back();
    state_ = State::Complete;
    return true;
  }
  if (state_ == State::AfterCarriageReturn) return false;
  if (c == '\r' && framing_ == Framing::DollarToCarriageReturn) {
    state_ = State::AfterCarriageReturn;
    return false;
  }
  if (line_.size() >= maxLength_) {
    if (overlong_ == Overlong::Drop) Reset();
    return false;
  }
  line_ += c;
  return false;
}

void NmeaLineAssembler::Reset() {
  line_.clear();
  state_ = State::Idle;
}

}  // namespace logwell
