// The Syride report codec on bytes: messages split into reports and put together again, the
// damage and the records it refuses, the position conversion and the route made of a task.
#include <gtest/gtest.h>

#include "base/text.h"
#include "wire/syride/syride_reports.h"

namespace logwell::syride {
namespace {

std::vector<std::uint8_t> Bytes(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return bytes;
}

void Reseal(std::vector<std::uint8_t>& report) {
  std::uint8_t check = 0;
  for (std::size_t i = 0; i + 1 < report.size(); ++i) check ^= report[i];
  report.back() = check;
}

TEST(SyrideReports, MessagesOfAnySizeComeBackWhole) {
  for (const std::size_t size : {0u, 1u, 58u, 59u, 116u, 1000u}) {
    SCOPED_TRACE(size);
    const auto payload = Bytes(size);
    const auto reports = BuildReports(Command::Flight, payload);
    EXPECT_EQ(reports.size(), size == 0 ? 1u : (size + 57) / 58);
    MessageAssembler assembler(Command::Flight);
    for (const auto& report : reports) {
      ASSERT_EQ(report.size(), kReportSize);
      ASSERT_FALSE(assembler.Feed(report));
    }
    EXPECT_TRUE(assembler.Complete());
    EXPECT_EQ(assembler.Payload(), payload);
  }
}

TEST(SyrideReports, DamagedReportsAreRefused) {
  const auto reports = BuildReports(Command::Flight, Bytes(100));
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool reseal;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"one bit", [](auto& r) { r[10] ^= 1; }, false, "Data error (bad checksum)"},
      {"other command", [](auto& r) { r[0] = 0x7F; }, true, "Unsupported record (answer 7F to command 03)"},
      {"sequence", [](auto& r) { r[2] = 1; }, true, "Data error (bad sequence number)"},
      {"flags", [](auto& r) { r[1] = 0x80; }, true, "Unsupported record (flags 80)"},
      {"length", [](auto& r) { r[4] = 59; }, true, "Unsupported record (payload length 59)"},
      {"trailing bytes", [](auto& r) { r[4] = 10; }, true, "Unsupported record (bytes after the payload)"},
      {"short", [](auto& r) { r.resize(63); }, false, "Data error (report of 63 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto report = reports[0];
    c.damage(report);
    if (c.reseal) Reseal(report);
    MessageAssembler assembler(Command::Flight);
    EXPECT_EQ(assembler.Feed(report).value_or("accepted"), c.message);
  }
  MessageAssembler done(Command::Product);
  ASSERT_FALSE(done.Feed(BuildReports(Command::Product, {})[0]));
  EXPECT_EQ(done.Feed(BuildReports(Command::Product, {})[0]).value_or(""),
            "Unsupported record (report after the last one)");
}

TEST(SyrideReports, ProductAndItsText) {
  ProductData product;
  ASSERT_FALSE(DecodeProduct(EncodeProduct({kModelSysNavV3, 123456, 4, 2}), product));
  EXPECT_EQ(ProductText(product), "SYS-Nav V3, SNR 123456, SW 4.2");
  ASSERT_FALSE(DecodeProduct(EncodeProduct({kModelSysNav, 7, 1, 10}), product));
  EXPECT_EQ(ProductText(product), "SYS-Nav, SNR 7, SW 1.10");
  EXPECT_EQ(DecodeProduct(EncodeProduct({2, 7, 1, 0}), product).value_or(""), "Unsupported record (model 2)");
  EXPECT_EQ(DecodeProduct(std::vector<std::uint8_t>{1, 2}, product).value_or(""),
            "Unsupported record (product data of 2 bytes)");
}

TEST(SyrideReports, FlightRecordsAndWhatTheyRefuse) {
  std::vector<Fix> fixes(3);
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    fixes[i].unixTime = 1560589200u + static_cast<std::uint32_t>(i);  // 2019-06-15 09:00:00 UTC
    fixes[i].latitude = 455000000 + static_cast<std::int32_t>(i);
    fixes[i].longitude = -61234567;
    fixes[i].altitude = 1234;
  }
  std::vector<TrackPoint> points;
  ASSERT_FALSE(DecodeFlight(EncodeFlight(fixes), points));
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].segmentStart, 1u);
  EXPECT_EQ(points[1].segmentStart, 0u);
  EXPECT_EQ(points[2].time, UnixToGarminTime(1560589202));
  EXPECT_EQ(points[0].latitude, RoundHalfAway(455000000 * 1.1930464711111));
  EXPECT_EQ(points[0].longitude, RoundHalfAway(-61234567 * 1.1930464711111));
  EXPECT_EQ(points[0].gpsAltitude, 12340);

  const auto good = EncodeFlight(fixes);
  struct Case {
    std::size_t at;
    std::uint8_t value;
    std::string message;
  };
  // Offsets inside the payload: 4 bytes of count, then 20 bytes a fix.
  const std::vector<Case> cases = {
      {4 + 18, 1, "Unsupported record (reserved bytes 0001)"},
      {4 + 3, 0, "Unsupported record (fix time before 1990)"},
      {4 + 7, 0x40, "Unsupported record (position out of range)"},
      {0, 4, "Transfer incomplete (3 of 4 points)"},
  };
  for (const Case& c : cases) {
    auto damaged = good;
    damaged[c.at] = c.value;
    EXPECT_EQ(DecodeFlight(damaged, points).value_or("accepted"), c.message);
  }
  auto cut = good;
  cut.pop_back();
  EXPECT_EQ(DecodeFlight(cut, points).value_or("accepted"), "Transfer incomplete (2 of 3 points)");
}

TEST(SyrideReports, PositionsAreClampedThenScaled) {
  EXPECT_EQ(LatitudeToSemicircles(900000000), RoundHalfAway(899999999 * 1.1930464711111));
  EXPECT_EQ(LatitudeToSemicircles(-2000000000), RoundHalfAway(-899999999 * 1.1930464711111));
  EXPECT_EQ(LongitudeToSemicircles(1800000000), RoundHalfAway(1799999999 * 1.1930464711111));
  EXPECT_EQ(LongitudeToSemicircles(0), 0);
  for (const std::int32_t s : {0, 1, -1, 123456789, -2147483000, 1073741824}) {
    EXPECT_NEAR(LongitudeToSemicircles(SemicirclesToTenMillionths(s)), s, 1);
  }
}

TEST(SyrideReports, WaypointNamesAndTheirRefusals) {
  std::vector<NamedPoint> points{{462000000, 81000000, 2230, "Fiesch west top"}, {-339000000, 184000000, -5, "C"}};
  std::vector<NamedPoint> back;
  ASSERT_FALSE(DecodeWaypoints(EncodeWaypoints(points), back));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].name, "Fiesch west top");
  EXPECT_EQ(back[1].altitude, -5);
  const Waypoint waypoint = WaypointOf(back[0], 7);
  EXPECT_EQ(waypoint.Id(), "FIESCH");
  EXPECT_EQ(waypoint.Description(), "Fiesch west top");
  EXPECT_EQ(NamedPointOf(waypoint).name, "Fiesch west top");

  auto bad = EncodeWaypoints(points);
  bad[2 + 10] = 0x07;  // a control byte in the first name
  EXPECT_EQ(DecodeWaypoints(bad, back).value_or(""), "Unsupported record (name byte 07)");
  bad = EncodeWaypoints(points);
  bad[2 + 26 + 10 + 5] = 'x';  // after the second name's NUL
  EXPECT_EQ(DecodeWaypoints(bad, back).value_or(""), "Unsupported record (bytes after the name)");
  bad = EncodeWaypoints(points);
  bad.pop_back();
  EXPECT_EQ(DecodeWaypoints(bad, back).value_or(""), "Unsupported record (waypoint list of 53 bytes)");
}

TEST(SyrideReports, TaskBecomesTheCompetitionRoute) {
  const std::vector<NamedPoint> task{{460000000, 80000000, 0, "A01"}, {461000000, 81000000, 0, "B02"},
                                     {462000000, 82000000, 0, "C03"}, {463000000, 83000000, 0, "D04"}};
  std::vector<NamedPoint> back;
  ASSERT_FALSE(DecodeTask(EncodeTask(task), back));
  ASSERT_EQ(back.size(), 4u);
  std::vector<TrackPoint> fixes(2);
  fixes[0].latitude = 11;
  fixes[0].time = 1000;
  fixes[1].latitude = 22;
  const auto route = RouteOfTask(back, fixes, 5000);
  ASSERT_TRUE(route);
  std::vector<std::pair<std::string, std::string>> names;
  for (const Waypoint& w : route->points) {
    names.emplace_back(w.Id(), w.Description());
    EXPECT_EQ(w.altitude, 0);
    EXPECT_EQ(w.type, 0);
    EXPECT_EQ(w.time, 5000u);
  }
  const std::vector<std::pair<std::string, std::string>> expected{
      {"TAKEOF", "TAKEOFFINDICATOR"}, {"START", "STARTA01"}, {"TURN", "TURNB02"},
      {"TURN", "TURNC03"},            {"FINISH", "FINISHD04"}, {"LANDIN", "LANDINGINDICATOR"}};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(route->points.front().latitude, 11);
  EXPECT_EQ(route->points.back().latitude, 22);
  EXPECT_EQ(route->points[1].latitude, LatitudeToSemicircles(460000000));
  EXPECT_FALSE(RouteOfTask(std::span(back).first(1), fixes, 5000));
  EXPECT_FALSE(RouteOfTask(back, {}, 5000));
}

}  // namespace
}  // namespace logwell::syride
