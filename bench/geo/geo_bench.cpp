// The distance runs once per pair of consecutive track points in the filters, statistics and
// optimisation refinement; the flat projection once per point of each optimised track; the XML
// scanner over every KML and GPX file read.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "geo/distance.h"
#include "geo/projection.h"
#include "base/xml_scanner.h"

namespace logwell {
namespace {

// A thermalling and gliding flight: one point a second, a few metres apart.
std::vector<GeoPoint> Flight(std::size_t count) {
  std::mt19937 random(7);
  std::normal_distribution<double> step(0.0, 1.5e-6);
  std::vector<GeoPoint> points;
  GeoPoint p{DegreesToRadians(46.5), DegreesToRadians(7.5)};
  for (std::size_t i = 0; i < count; ++i) {
    p.latitude += step(random);
    p.longitude += step(random) + 2e-7;
    points.push_back(p);
  }
  return points;
}

void BM_EllipsoidDistanceTrackStep(benchmark::State& state) {
  const std::vector<GeoPoint> points = Flight(4096);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t j = i++ & 4095;
    benchmark::DoNotOptimize(EllipsoidDistance(points[j], points[(j + 1) & 4095]));
  }
}
BENCHMARK(BM_EllipsoidDistanceTrackStep);

void BM_EllipsoidDistanceContinental(benchmark::State& state) {
  const GeoPoint from{DegreesToRadians(46.5), DegreesToRadians(7.5)};
  const GeoPoint to{DegreesToRadians(-33.9), DegreesToRadians(151.2)};
  for (auto _ : state) benchmark::DoNotOptimize(EllipsoidDistance(from, to));
}
BENCHMARK(BM_EllipsoidDistanceContinental);

// A typical task leg: 100 km to the north-east in the Alps.
void BM_EllipsoidDistance100Km(benchmark::State& state) {
  const GeoPoint from{DegreesToRadians(46.5), DegreesToRadians(7.5)};
  const GeoPoint to{DegreesToRadians(47.1358), DegreesToRadians(8.4263)};
  for (auto _ : state) benchmark::DoNotOptimize(EllipsoidDistance(from, to));
}
BENCHMARK(BM_EllipsoidDistance100Km);

// Every stored position passes these conversions on its way to a file or a computation.
void BM_SemicircleConversions(benchmark::State& state) {
  const std::vector<GeoPoint> points = Flight(4096);
  std::vector<SemicirclePoint> stored;
  for (const GeoPoint& p : points) stored.push_back(ToSemicirclePoint(p));
  std::size_t i = 0;
  for (auto _ : state) {
    const SemicirclePoint& p = stored[i++ & 4095];
    benchmark::DoNotOptimize(SemicirclesToRadians(p.latitude));
    benchmark::DoNotOptimize(RadiansToSemicircles(SemicirclesToRadians(p.longitude)));
    benchmark::DoNotOptimize(SemicirclesToMilliMinutes(p.latitude));
    benchmark::DoNotOptimize(SemicirclesToCentiSeconds(p.longitude));
  }
}
BENCHMARK(BM_SemicircleConversions);

void BM_SphericalDistance(benchmark::State& state) {
  const std::vector<GeoPoint> points = Flight(4096);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t j = i++ & 4095;
    benchmark::DoNotOptimize(SphericalDistance(points[j], points[(j + 1) & 4095]));
  }
}
BENCHMARK(BM_SphericalDistance);

void BM_LocalTransverseMercator(benchmark::State& state) {
  const std::vector<GeoPoint> points = Flight(4096);
  const double meridian = DegreesToRadians(7.5);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(LocalTransverseMercator(points[i++ & 4095], meridian));
}
BENCHMARK(BM_LocalTransverseMercator);

void BM_UtmBothWays(benchmark::State& state) {
  const std::vector<GeoPoint> points = Flight(4096);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(UtmToGeo(GeoToUtm(points[i++ & 4095])));
}
BENCHMARK(BM_UtmBothWays);

// A GPX track of 100000 points, about 12 MB.
std::string GpxTrack(std::size_t count) {
  std::string text = "<?xml version=\"1.0\"?>\r\n<gpx version=\"1.1\"><trk><trkseg>\r\n";
  char line[200];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line,
                  "  <trkpt lat=\"46.%06zu\" lon=\"7.%06zu\">\r\n    <ele>%zu</ele>\r\n"
                  "    <time>2024-02-09T12:00:00Z</time>\r\n  </trkpt>\r\n",
                  i % 1000000, (i * 7) % 1000000, 1000 + i % 2000);
    text += line;
  }
  return text + "</trkseg></trk></gpx>\r\n";
}

void BM_XmlScanGpx(benchmark::State& state) {
  const std::string text = GpxTrack(100000);
  for (auto _ : state) {
    XmlTagScanner scanner(text);
    std::size_t points = 0;
    for (XmlTag tag = scanner.Next(); tag.result >= XmlScanResult::Tag; tag = scanner.Next()) {
      if (tag.name == "trkpt" && FindXmlAttribute(tag.attributes, "lat")) ++points;
    }
    benchmark::DoNotOptimize(points);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_XmlScanGpx)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace logwell
