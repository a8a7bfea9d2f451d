#pragma once
// The signature of this program's KML track files: a SHA-1 digest over a salt that never
// leaves the program and the values of the track placemark (first time, instrument, download
// time, time offsets, pressure altitudes, coordinates), printed as 40 upper-case hex digits.
// An unaltered file gives the same digest when read back, so the program can trust its times.
#include <memory>
#include <string>
#include <string_view>

namespace logwell::kml {

inline constexpr std::size_t kSaltLength = 17;
inline constexpr std::size_t kHashTextLength = 40;

// The salt, built at run time from a stored constant so that it never appears as such in the
// program file.
std::string KmlSalt();

class KmlHash {
 public:
  // Starts the digest and feeds it the salt.
  KmlHash();
  ~KmlHash();
  KmlHash(const KmlHash&) = delete;
  KmlHash& operator=(const KmlHash&) = delete;

  void Update(std::string_view text);
  // "%08X%08X%08X%08X%08X" of the digest's five 32-bit words; the hash cannot be fed after.
  std::string Finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

}  // namespace logwell::kml
