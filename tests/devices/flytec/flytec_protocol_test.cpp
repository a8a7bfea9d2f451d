// The parts of the Flytec/Brauniger protocol that need no line: the model table, the requests,
// the track list fields, the IGC line builder and the merging of tracks.
#include <gtest/gtest.h>

#include "devices/flytec/flytec_protocol.h"
#include "devices/flytec/flytec_tracks.h"

namespace logwell::flytec {
namespace {

TEST(FlytecModels, DisplayNameAndTrackListByVersion) {
  struct Case {
    const char* model;
    const char* software;
    const char* display;
    bool list;
  };
  const Case cases[] = {
      {"5020", "1.13", "5020", false},        {"5020", "1.14", "5020", true},
      {"COMPETINO", "1.13", "Competino", false}, {"COMPETINO", "1.2", "Competino", true},
      {"5030", "2.19", "5030", false},        {"5030", "2.20", "5030", true},
      {"COMPEO", "2.19", "Compeo", false},    {"COMPEO", "3.0", "Compeo", true},
      {"GALILEO", "2.19", "Galileo", false},  {"GALILEO", "2.2", "Galileo", true},
      {"COMPEO+", "0.01", "Compeo+", true},   {"COMPETINO+", "0.01", "Competino+", true},
      {"6020", "0.01", "6020", true},         {"6030", "0.01", "6030", true},
      // Substring search for the name, whole-name equality for the list.
      {"FLYTEC 6030", "9.99", "6030", false}, {"XC", "9.99", "Unknown", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.software);
    EXPECT_EQ(DisplayName(c.model), c.display);
    EXPECT_EQ(HasTrackList(c.model, c.software), c.list);
  }
  EXPECT_TRUE(IsKnownModel("COMPEO+"));
  EXPECT_FALSE(IsKnownModel("FLYTEC 6030"));
}

TEST(FlytecRequests, OneTrackRequestCarriesTheIndexAndItsChecksum) {
  EXPECT_EQ(OneTrackRequest(0), "\x11$PBRTR,00*6A\r\n");
  EXPECT_EQ(OneTrackRequest(7), "\x11$PBRTR,07*6D\r\n");
  EXPECT_EQ(OneTrackRequest(42), "\x11$PBRTR,42*6C\r\n");
}

TEST(FlytecProduct, FieldsAreTrimmedCutAndNeedAPilot) {
  ProductData product;
  const std::string_view fields[] = {"$PBRSNP", " compeo+ ", "  A Very Long Pilot Name That Goes On And On  ",
                                     "123456789", "1.23.456"};
  EXPECT_TRUE(ReadProductFields(fields, product));
  EXPECT_EQ(product.model, "COMPEO+");
  EXPECT_EQ(product.pilot, "A Very Long Pilot Name That Goes On And ");
  EXPECT_EQ(product.serial, "1234567");
  EXPECT_EQ(product.software, "1.23.4");
  const std::string_view noPilot[] = {"$PBRSNP", "6030", "  ", "1", "1"};
  EXPECT_FALSE(ReadProductFields(noPilot, product));
}

TEST(FlytecTrackList, CalendarDates) {
  EXPECT_TRUE(ValidListDate(29, 2, 24));
  EXPECT_FALSE(ValidListDate(29, 2, 23));
  EXPECT_FALSE(ValidListDate(30, 2, 24));
  EXPECT_FALSE(ValidListDate(31, 4, 23));
  EXPECT_FALSE(ValidListDate(31, 6, 23));
  EXPECT_FALSE(ValidListDate(31, 9, 23));
  EXPECT_FALSE(ValidListDate(31, 11, 23));
  EXPECT_TRUE(ValidListDate(31, 12, 23));
  EXPECT_FALSE(ValidListDate(0, 1, 23));
  EXPECT_FALSE(ValidListDate(1, 13, 23));
}

TEST(FlytecTrackList, EachFieldHasItsMessage) {
  struct Case {
    std::vector<std::string_view> fields;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {{"$PBRTL", "02", " 1 ", "26.05.23", "10:00:00", "1:30:05"}, ""},
      {{"$PBRTL", "x", "1", "26.05.23", "10:00:00", "1:30:05"}, "Bad track count parameter"},
      {{"$PBRTL", "2", "", "26.05.23", "10:00:00", "1:30:05"}, "Bad track index parameter"},
      {{"$PBRTL", "2", "1", "29.02.23", "10:00:00", "1:30:05"}, "Bad track date parameter"},
      {{"$PBRTL", "2", "1", "26.05.23", "24:00:00", "1:30:05"}, "Bad track time parameter"},
      {{"$PBRTL", "2", "1", "26.05.23", "10:00:00", "1:60:05"}, "Bad track duration parameter"},
  };
  for (const Case& c : cases) {
    int index = -1;
    TrackListEntry entry;
    const auto error = ParseTrackListFields(c.fields, index, entry);
    EXPECT_EQ(std::string(error.value_or("")), c.error);
    if (!error) {
      EXPECT_EQ(index, 1);
      CalendarTime start;
      start.year = 2023;
      start.month = 5;
      start.day = 26;
      start.hour = 10;
      EXPECT_EQ(entry.startTime, CalendarToGarminTime(start));
      EXPECT_EQ(entry.durationSeconds, 5405u);
    }
  }
}

TEST(FlytecTrackList, FlightListText) {
  std::array<TrackListEntry, 3> entries{};
  CalendarTime start;
  start.year = 2023;
  start.month = 5;
  start.day = 26;
  start.hour = 9;
  start.minute = 5;
  start.second = 7;
  entries[2] = {CalendarToGarminTime(start), 3 * 3600 + 61};
  EXPECT_EQ(FlightListText(entries), "Flightlist:\n23.05.26,09:05:07,3:01:01\n");
}

TEST(FlytecIgcLines, RecordTypesLineEndsAndLength) {
  IgcLineBuilder builder;
  for (const char c : std::string("\r\n\nB12")) EXPECT_EQ(builder.Feed(static_cast<std::uint8_t>(c)), 1);
  EXPECT_EQ(builder.Feed('\r'), 1);
  EXPECT_EQ(builder.Feed('\n'), 0);
  EXPECT_EQ(builder.Line(), "B12\r");
  EXPECT_EQ(builder.Feed('b'), -1);
  EXPECT_EQ(builder.BadByte(), 'b');

  IgcLineBuilder longLine;
  EXPECT_EQ(longLine.Feed('L'), 1);
  for (int i = 1; i < 81; ++i) EXPECT_EQ(longLine.Feed('x'), 1);
  EXPECT_EQ(longLine.Feed('x'), -2);
}

std::vector<TrackPoint> Points(GarminTime first, GarminTime last) {
  std::vector<TrackPoint> points;
  for (GarminTime t = first; t <= last; t += 60) points.push_back(TrackPoint{.segmentStart = t == first ? 1u : 0u, .time = t});
  return points;
}

TEST(FlytecMerge, TimeOrderGapsAndOverlaps) {
  auto a = Points(1000, 1960);
  EXPECT_FALSE(MergeTrack(a, Points(5560, 5860)));  // exactly 3600 s later
  EXPECT_EQ(a.size(), 17u + 6u);
  EXPECT_EQ(a[17].segmentStart, 0u);

  auto later = Points(10000, 10600);
  EXPECT_FALSE(MergeTrack(later, Points(5800, 6400)));  // earlier track second: goes first
  EXPECT_EQ(later.front().time, 5800u);
  EXPECT_EQ(later.front().segmentStart, 1u);
  EXPECT_EQ(later[11].segmentStart, 0u);

  auto b = Points(1000, 1960);
  EXPECT_EQ(MergeTrack(b, Points(5561, 5861)).value_or(""), "Time gap between tracks greater than 3600 s");
  EXPECT_EQ(MergeTrack(b, Points(1500, 2500)).value_or(""), "Overlapping track start/stop times");
  EXPECT_EQ(b.size(), 17u);
}

}  // namespace
}  // namespace logwell::flytec
