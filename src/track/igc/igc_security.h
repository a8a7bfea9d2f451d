#pragma once
// The security record (G record) of the IGC files this program writes: a CRC-32 over the
// signed lines, stretched to 64 bits and scrambled with a fixed bit permutation. The writer
// appends it; the check recomputes it from a file and compares.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace logwell::igc {

inline constexpr std::size_t kSecurityCodeLength = 16;

// CRC-32 with the IEEE 802.3 polynomial in reflected form. The running value starts at
// 0xFFFFFFFF and is never inverted at the end: the signature is defined on the raw register.
class SecurityCrc {
 public:
  void Update(std::string_view bytes);
  void Update(char byte);
  std::uint32_t Value() const { return value_; }

 private:
  std::uint32_t value_ = 0xFFFFFFFFu;
};

// The 16 upper-case hexadecimal characters of the G record for the CRC of every line before it.
std::string SecurityCode(std::uint32_t crcOfSignedLines);

enum class SecurityCheckResult { Passed, Failed, NoSecurityRecord };

// Recomputes the security record of a whole IGC file. The text may hold any bytes; a zero byte
// counts as the end of the file.
SecurityCheckResult CheckSecurityRecord(std::string_view fileText);

// The message the "Security check" box shows for a result.
std::string_view SecurityCheckMessage(SecurityCheckResult result);

}  // namespace logwell::igc
