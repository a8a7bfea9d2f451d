// logwell-demo-flight OUT.igc [--seed N] [--minutes N]: a generated FAI triangle flight (60 km,
// one fix every 2 seconds), written as an unsigned IGC file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sim/flight_generator.h"
#include "sim/number_argument.h"
#include "base/atomic_file.h"
#include "track/igc/igc_writer.h"

using logwell::sim::ParseNumberArgument;

int main(int argc, char** argv) {
  if (argc < 2 || argc % 2 != 0) {
    std::fputs("usage: logwell-demo-flight OUT.igc [--seed N] [--minutes N]\n", stderr);
    return 2;
  }
  logwell::sim::FlightPlan plan;
  plan.fixInterval = std::chrono::milliseconds(2000);
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    long value = 0;
    if (flag == "--seed" && ParseNumberArgument(argv[i + 1], 0, 0xFFFFFFFFL, value)) {
      plan.seed = static_cast<std::uint32_t>(value);
    } else if (flag == "--minutes" && ParseNumberArgument(argv[i + 1], 1, 24 * 60, value)) {
      plan.duration = std::chrono::minutes(value);
    } else {
      std::fprintf(stderr, "bad option %s %s\n", argv[i], argv[i + 1]);
      return 2;
    }
  }
  const std::vector<logwell::TrackPoint> points = logwell::sim::GenerateFlight(plan);
  logwell::igc::IgcEncodeInput input;
  input.points = points;
  input.pilot = "Demo Pilot";
  input.gliderType = "Demo Glider";
  input.loggerSerial = "000";
  input.downloadTime = logwell::CurrentUtcCalendar();
  const auto encoded = logwell::igc::EncodeIgc(input);
  if (!encoded) return 1;
  if (const int error = logwell::WriteFileAtomically(argv[1], encoded->text,
                                                          logwell::WriteMode::Replace)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(error));
    return 1;
  }
  std::printf("%s: %zu positions\n", argv[1], points.size());
  return 0;
}
