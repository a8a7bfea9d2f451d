// The IGC decoder from the command line, for the side-by-side scripts in bench/:
//   igc_decode_probe positions FILE      one line per decoded fix: "hhmmss latitude longitude"
//                                        in degrees with 9 decimals
//   igc_decode_probe speed REPEAT FILE...  decodes every file REPEAT times and prints
//                                        "bytes seconds MB/s" of the whole run
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "track/formats/format_text.h"
#include "track/igc/igc_reader.h"

namespace {

using namespace logwell;

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Positions(const char* path) {
  const igc::IgcDecodeResult decoded = igc::DecodeIgcText(ReadFile(path));
  if (!decoded.Ok()) {
    std::fprintf(stderr, "%s: %s\n", path, decoded.error.c_str());
    return 1;
  }
  for (const TrackPoint& point : decoded.points) {
    const CalendarTime t = GarminTimeToCalendar(point.time);
    std::printf("%02d%02d%02d %.9f %.9f\n", t.hour, t.minute, t.second,
                formats::SemicirclesToDegrees(point.latitude),
                formats::SemicirclesToDegrees(point.longitude));
  }
  return 0;
}

int Speed(int repeat, const std::vector<const char*>& paths) {
  std::vector<std::string> texts;
  std::size_t bytes = 0;
  for (const char* path : paths) {
    texts.push_back(ReadFile(path));
    bytes += texts.back().size();
  }
  std::size_t fixes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeat; ++r) {
    for (const std::string& text : texts) fixes += igc::DecodeIgcText(text).points.size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double total = static_cast<double>(bytes) * repeat;
  std::printf("%.0f %.6f %.2f (%zu fixes)\n", total, seconds, total / seconds / 1e6, fixes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "positions" && argc == 3) return Positions(argv[2]);
  if (mode == "speed" && argc >= 4) {
    return Speed(std::max(1, std::atoi(argv[2])), std::vector<const char*>(argv + 3, argv + argc));
  }
  std::fprintf(stderr, "usage: igc_decode_probe positions FILE | speed REPEAT FILE...\n");
  return 2;
}
