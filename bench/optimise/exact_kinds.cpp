// Times the exact optimiser kind by kind on IGC files, with the nodes each search visited:
//   exact_kinds [--rules olc|xcontest|ffvl|xcleague] FLIGHT.igc... (--test-track: the window's
//   built-in test track)
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/test_track.h"
#include "optimise/contest_rules.h"
#include "optimise/exact_search.h"
#include "track/igc/igc_reader.h"

int main(int argc, char** argv) {
  using namespace logwell;
  ContestRules rules = ContestRules::Olc;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--rules" && i + 1 < argc) {
      const auto parsed = FindContestRules(argv[++i]);
      if (!parsed) {
        std::fprintf(stderr, "unknown rules %s\n", argv[i]);
        return 2;
      }
      rules = *parsed;
      continue;
    }
    std::vector<TrackPoint> points;
    if (argument == "--test-track") {
      points = MakeTestTrack(GarminTime{});
    } else {
      std::ifstream file(argv[i], std::ios::binary);
      std::ostringstream text;
      text << file.rdbuf();
      points = igc::DecodeIgcText(text.str()).points;
    }
    std::printf("%s: %zu fixes\n", argv[i], points.size());
    for (const ContestKind& kind : ContestKinds(rules)) {
      const auto start = std::chrono::steady_clock::now();
      const ExactResult result = ExactOptimum(points, kind.rules);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      std::printf("  %-16s %10.3f km %s %12llu nodes %8.3f s\n", std::string(kind.key).c_str(),
                  result.distance / 1000.0, result.proven ? "proven" : "open  ",
                  static_cast<unsigned long long>(result.nodes), took.count());
    }
  }
  return 0;
}
