#include "waypoints/waypoint_edit.h"

#include <gtest/gtest.h>

#include "waypoints/reader_support.h"

namespace logwell {
namespace {

WaypointEditForm Valid() {
  WaypointEditForm form;
  form.id = "home";
  form.comment = "Home_field ";
  form.height = "1200";
  form.timestamp = "2023-07-14T10:20:30";
  form.latitude = "N 46 30 30.00";
  form.longitude = "7.25W";
  return form;
}

TEST(WaypointEdit, ValidFormGivesTheWaypoint) {
  const auto result = WaypointFromForm(Valid());
  ASSERT_TRUE(std::holds_alternative<Waypoint>(result));
  const Waypoint& w = std::get<Waypoint>(result);
  EXPECT_EQ(w.Id(), "HOME");
  EXPECT_EQ(w.Description(), "Home-field");
  EXPECT_NEAR(SemicirclesToDegrees(w.latitude), 46 + 30.5 / 60, 1e-7);
  EXPECT_NEAR(SemicirclesToDegrees(w.longitude), -7.25, 1e-7);
  // What the dialog shows for a waypoint reads back as the same waypoint.
  for (bool utm : {false, true}) {
    const auto again = WaypointFromForm(FormFromWaypoint(w, utm));
    ASSERT_TRUE(std::holds_alternative<Waypoint>(again)) << std::get<std::string>(again);
    EXPECT_EQ(std::get<Waypoint>(again).time, w.time);
    EXPECT_NEAR(SemicirclesToDegrees(std::get<Waypoint>(again).latitude), 46 + 30.5 / 60,
                utm ? 1e-4 : 1e-6);
  }
}

TEST(WaypointEdit, FirstFailureInFieldOrder) {
  struct Case {
    void (*change)(WaypointEditForm&);
    const char* message;
  };
  const Case cases[] = {
      {[](WaypointEditForm& f) { f.id = " "; }, "Missing ID input"},
      {[](WaypointEditForm& f) { f.id = "A.B"; f.height = ""; }, "Bad ID"},
      {[](WaypointEditForm& f) { f.height = ""; }, "Missing height input"},
      {[](WaypointEditForm& f) { f.height = "12m"; }, "Bad height"},
      {[](WaypointEditForm& f) { f.timestamp = ""; }, "Missing timestamp input"},
      {[](WaypointEditForm& f) { f.timestamp = "yesterday"; }, "Bad timestamp input"},
      {[](WaypointEditForm& f) { f.latitude = ""; }, "Missing latitude input"},
      {[](WaypointEditForm& f) { f.latitude = "91"; }, "Bad latitude input"},
      {[](WaypointEditForm& f) { f.longitude = "E 7 61 0"; }, "Bad longitude input"},
      {[](WaypointEditForm& f) { f.utm = true; }, "Missing zone input"},
      {[](WaypointEditForm& f) { f.utm = true; f.zone = "61T"; }, "Bad zone input"},
      {[](WaypointEditForm& f) { f.utm = true; f.zone = "32T"; }, "Missing easting input"},
      {[](WaypointEditForm& f) { f.utm = true; f.zone = "32T"; f.easting = "12a"; },
       "Bad easting character"},
      {[](WaypointEditForm& f) { f.utm = true; f.zone = "32T"; f.easting = "1000001"; },
       "Easting value out of range"},
      {[](WaypointEditForm& f) { f.utm = true; f.zone = "32T"; f.easting = "0500000"; },
       "Missing northing input"},
      {[](WaypointEditForm& f) {
         f.utm = true; f.zone = "32T"; f.easting = "0500000"; f.northing = "-1";
       }, "Bad northing character"},
      {[](WaypointEditForm& f) {
         f.utm = true; f.zone = "32T"; f.easting = "0500000"; f.northing = "20000001";
       }, "Northing value out of range"},
  };
  for (const Case& c : cases) {
    WaypointEditForm form = Valid();
    c.change(form);
    const auto result = WaypointFromForm(form);
    ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.message;
    EXPECT_EQ(std::get<std::string>(result), c.message);
  }
}

}  // namespace
}  // namespace logwell
