// Times that name their zone are moved to UTC by every track reader; times without one are
// kept as written.
#include <gtest/gtest.h>

#include <string>

#include "support/scripted_ui.h"
#include "track/formats/csv_track.h"
#include "track/formats/format_text.h"
#include "track/formats/gpx_track.h"
#include "track/formats/kml_track.h"

namespace logwell {
namespace {

using testing::ScriptedUi;

GarminTime At(int day, int hour, int minute) {
  CalendarTime t;
  t.year = 2023;
  t.month = 5;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  return CalendarToGarminTime(t);
}

struct ZoneCase {
  const char* time;   // as the file writes it
  GarminTime utc;     // what the reader must store
  int timeIsUtc;      // what a reader reports when every point looks like this one
};

// 12:00 local in several zones, and an evening west of Greenwich that is the next day in UTC.
const ZoneCase kCases[] = {
    {"2023-05-26T12:00:00+02:00", At(26, 10, 0), 1},
    {"2023-05-26T12:00:00-05:00", At(26, 17, 0), 1},
    {"2023-05-26T12:00:00Z", At(26, 12, 0), 1},
    {"2023-05-26T12:00:00+0530", At(26, 6, 30), 1},
    {"2023-05-26T21:30:00.250-05:00", At(27, 2, 30), 1},
    {"2023-05-26T00:30:00+01", At(25, 23, 30), 1},
    {"2023-05-26T12:00:00", At(26, 12, 0), 0},
};

TEST(ZoneTimes, IsoParserMovesZonedTimesToUtc) {
  for (const ZoneCase& c : kCases) {
    const auto parsed = formats::ParseIsoDateTime(c.time);
    ASSERT_TRUE(parsed) << c.time;
    EXPECT_EQ(parsed->time, c.utc) << c.time;
    EXPECT_EQ(parsed->zoned, c.timeIsUtc == 1) << c.time;
  }
  for (const char* bad : {"2023-05-26T12:00:00+2", "2023-05-26T12:00:00+24:00",
                          "2023-05-26T12:00:00+02:60", "2023-05-26T12:00:00 +02:00",
                          "1989-12-31T00:30:00+01:00"}) {
    EXPECT_FALSE(formats::ParseIsoDateTime(bad)) << bad;
  }
}

TEST(ZoneTimes, GpxCsvAndKmlReadersStoreUtc) {
  for (const ZoneCase& c : kCases) {
    const std::string time = c.time;
    ScriptedUi ui;
    const auto gpx = ReadGpxTrack(
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"><trk><trkseg>"
        "<trkpt lat=\"46.5\" lon=\"7.9\"><time>" + time + "</time></trkpt>"
        "</trkseg></trk></gpx>\n",
        ui);
    ASSERT_TRUE(gpx) << time;
    EXPECT_EQ(gpx->points.at(0).time, c.utc) << "GPX " << time;
    EXPECT_EQ(gpx->timeIsUtc, c.timeIsUtc) << "GPX " << time;

    const auto csv = ReadCsvTrack("Date/time,Latitude,Longitude\r\n" + time + ",46.5,7.9\r\n", ui);
    ASSERT_TRUE(csv) << time;
    EXPECT_EQ(csv->points.at(0).time, c.utc) << "CSV " << time;
    EXPECT_EQ(csv->timeIsUtc, c.timeIsUtc) << "CSV " << time;

    std::string error;
    const auto kml = ReadOtherKmlTracks(
        "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
        "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document><Placemark><gx:Track><when>" +
            time + "</when><gx:coord>7.9 46.5 1000</gx:coord></gx:Track></Placemark>"
                   "</Document></kml>",
        error);
    ASSERT_TRUE(kml) << error;
    EXPECT_EQ(kml->tracks.at(0).points.at(0).time, c.utc) << "KML " << time;
  }
}

}  // namespace
}  // namespace logwell
