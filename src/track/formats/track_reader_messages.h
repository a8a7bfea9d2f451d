#pragma once
// Captions shared by the track file readers.
#include <string_view>

namespace logwell {

inline constexpr std::string_view kDecodingTrackLogCaption = "Decoding track log file";

}  // namespace logwell
