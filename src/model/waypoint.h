#pragma once
// One waypoint. Identifier and description have fixed widths that instruments and file formats
// rely on; the setters cut longer texts so the limits always hold.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/garmin_time.h"

namespace logwell {

struct Waypoint {
  static constexpr std::size_t kMaxIdLength = 6;
  static constexpr std::size_t kMaxDescriptionLength = 40;

  std::int32_t latitude = 0;   // semicircles, north positive
  std::int32_t longitude = 0;  // semicircles, east positive
  std::int32_t altitude = 0;   // metres above sea level
  std::array<char, kMaxIdLength + 1> id{};
  std::array<char, kMaxDescriptionLength + 1> description{};
  GarminTime time = 0;         // creation time, UTC
  std::int32_t type = 0;       // 0 "Point", 1 "Airfield"

  std::string_view Id() const { return id.data(); }
  std::string_view Description() const { return description.data(); }
  void SetId(std::string_view text) { CopyCut(text, id); }
  void SetDescription(std::string_view text) { CopyCut(text, description); }

  bool operator==(const Waypoint&) const = default;

 private:
  template <std::size_t N>
  static void CopyCut(std::string_view text, std::array<char, N>& field) {
    field.fill('\0');
    text = text.substr(0, N - 1);
    text = text.substr(0, text.find('\0'));
    text.copy(field.data(), text.size());
  }
};

}  // namespace logwell
