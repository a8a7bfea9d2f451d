#pragma once
// The worked example of MLR's document "MLR protocol (01/2001)", "Tracklog output": a tracklog
// of two points, its three frames byte for byte as the document prints them.
#include <cstdint>
#include <vector>

namespace logwell::testing {

inline const std::vector<std::uint8_t> kMlrDocumentStartFrame = {0x8B, 0x01, 'T', 0x01, 'D', 'E', 'B',
                                                                 'U',  'T',  0x02, 0x55, 0x0D, 0x0A};
inline const std::vector<std::uint8_t> kMlrDocumentPointFrame = {
    0x8B, 0x02, 'T',  0x01, 0x00, 0x02,
    // Point #1: 47°N, 1°W, 80 m, June 21 2000 at 14:00:00 GMT.
    0x00, 0x01, 0x26, 0x7B, 0x8C, 0xE0, 0x21, 0x6C, 0x16, 0xC1, 0xFF, 0x49, 0xF4, 0x9F, 0x00, 0x03, 0x20, 0x00,
    // Point #2: 47°00.010'N, 1°00.008'W, 80.5 m, June 21 2000 at 14:00:05 GMT.
    0x00, 0x02, 0x26, 0x7B, 0x8C, 0xE5, 0x21, 0x6C, 0x1E, 0x86, 0xFF, 0x49, 0xEE, 0x69, 0x00, 0x03, 0x25, 0x00,
    0x0D, 0x60, 0x0D, 0x0A};
inline const std::vector<std::uint8_t> kMlrDocumentEndFrame = {0x8B, 0x03, 'T',  0x01, 'F',  'I',
                                                               'N',  0x01, 0xC0, 0x0D, 0x0A};

}  // namespace logwell::testing
