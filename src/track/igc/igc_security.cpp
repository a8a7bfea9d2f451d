#include "track/igc/igc_security.h"

namespace logwell::igc {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

// The signing key: output bit j of output byte i takes input bit kSigningTable[8 * i + j]. It
// must never change, or every file signed so far stops verifying.
constexpr std::array<std::uint8_t, 64> kSigningTable = {
    41, 38, 28, 2,  3,  31, 47, 57, 43, 29, 8,  58, 35, 13, 39, 4,
    22, 23, 0,  51, 56, 17, 9,  24, 61, 14, 44, 37, 16, 49, 54, 40,
    55, 32, 46, 53, 63, 21, 10, 60, 34, 25, 1,  45, 33, 15, 27, 52,
    11, 18, 59, 30, 12, 50, 48, 42, 26, 36, 19, 6,  62, 7,  5,  20};

constexpr bool IsPermutation(const std::array<std::uint8_t, 64>& table) {
  std::uint64_t seen = 0;
  for (std::uint8_t entry : table) {
    if (entry >= 64) return false;
    seen |= std::uint64_t{1} << entry;
  }
  return seen == ~std::uint64_t{0};
}
static_assert(IsPermutation(kSigningTable));

constexpr std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t byte) {
  return kCrcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void SecurityCrc::Update(std::string_view bytes) {
  for (char c : bytes) value_ = CrcStep(value_, static_cast<std::uint8_t>(c));
}

void SecurityCrc::Update(char byte) { value_ = CrcStep(value_, static_cast<std::uint8_t>(byte)); }

std::string SecurityCode(std::uint32_t crcOfSignedLines) {
  const std::uint32_t c1 = CrcStep(crcOfSignedLines, '1');
  std::uint32_t c2 = 0xFFFFFFFFu;
  for (int shift = 24; shift >= 0; shift -= 8) {
    c2 = CrcStep(c2, static_cast<std::uint8_t>(c1 >> shift));
  }
  for (int i = 0; i < 4; ++i) c2 = CrcStep(c2, '1');

  std::array<std::uint8_t, 8> block{};
  for (int i = 0; i < 4; ++i) {
    block[i] = static_cast<std::uint8_t>(c1 >> (8 * i));
    block[4 + i] = static_cast<std::uint8_t>(c2 >> (8 * i));
  }
  std::array<std::uint8_t, 8> permuted{};
  for (std::size_t bit = 0; bit < 64; ++bit) {
    const std::size_t from = kSigningTable[bit];
    if ((block[from / 8] >> (from % 8)) & 1u) {
      permuted[bit / 8] = static_cast<std::uint8_t>(permuted[bit / 8] | (1u << (bit % 8)));
    }
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string code;
  code.reserve(kSecurityCodeLength);
  for (int i = 7; i >= 0; --i) {
    code.push_back(kHex[permuted[i] >> 4]);
    code.push_back(kHex[permuted[i] & 0xFu]);
  }
  return code;
}

SecurityCheckResult CheckSecurityRecord(std::string_view fileText) {
  // Everything from the first zero byte on counts as the end of the file.
  fileText = fileText.substr(0, fileText.find('\0'));
  SecurityCrc crc;
  std::size_t pos = 0;
  while (pos < fileText.size()) {
    const char letter = fileText[pos];
    const char second = pos + 1 < fileText.size() ? fileText[pos + 1] : '\0';
    const bool signedLine = letter == 'A' || letter == 'B' || letter == 'C' || letter == 'I' ||
                            (letter == 'H' && second == 'F') || (letter == 'L' && second == 'X');
    const bool skippedLine = !signedLine && (letter == 'H' || letter == 'L');
    if (!signedLine && !skippedLine) break;

    const std::size_t lineFeed = fileText.find('\n', pos);
    if (lineFeed == std::string_view::npos) {
      // A signed line cut off by the end of the file holds the terminating zero byte.
      if (signedLine) return SecurityCheckResult::Failed;
      return SecurityCheckResult::NoSecurityRecord;
    }
    if (signedLine) crc.Update(fileText.substr(pos, lineFeed + 1 - pos));
    pos = lineFeed + 1;
    if (skippedLine) {
      while (pos < fileText.size() && IsLineEnd(fileText[pos])) ++pos;
    }
  }
  if (pos >= fileText.size()) return SecurityCheckResult::NoSecurityRecord;
  if (fileText[pos] != 'G') return SecurityCheckResult::Failed;

  const std::string expected = SecurityCode(crc.Value());
  const std::string_view found = fileText.substr(pos + 1, kSecurityCodeLength);
  if (found != expected) return SecurityCheckResult::Failed;
  for (std::size_t i = pos + 1 + kSecurityCodeLength; i < fileText.size(); ++i) {
    if (!IsLineEnd(fileText[i])) return SecurityCheckResult::Failed;
  }
  return SecurityCheckResult::Passed;
}

std::string_view SecurityCheckMessage(SecurityCheckResult result) {
  switch (result) {
    case SecurityCheckResult::Passed: return "Security check PASSED";
    case SecurityCheckResult::Failed: return "Security check FAILED";
    case SecurityCheckResult::NoSecurityRecord: return "No security record";
  }
  return "Security check FAILED";
}

}  // namespace logwell::igc
