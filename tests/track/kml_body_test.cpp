// The KML body writer and the KML track reader: the exact layout, the signature round trip and
// every message of the reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "optimise/distance_analysis.h"
#include "support/scripted_ui.h"
#include "track/formats/format_text.h"
#include "kml/kml_reader.h"
#include "kml/kml_writer.h"
#include "track/statistics.h"

namespace logwell::kml {
namespace {

using testing::ScriptedUi;
using testing::UiEventKind;

constexpr GarminTime kStart = 1054029600;  // 2023-05-26 10:00:00

std::vector<TrackPoint> Track(std::size_t count, std::int32_t altitude = 15000) {
  std::vector<TrackPoint> points(count);
  for (std::size_t i = 0; i < count; ++i) {
    TrackPoint& p = points[i];
    p.segmentStart = i == 0 ? 1 : 0;
    p.time = kStart + static_cast<GarminTime>(2 * i);
    p.latitude = formats::DegreesToSemicircles(46.5 + 0.001 * static_cast<double>(i));
    p.longitude = formats::DegreesToSemicircles(8.0 - 0.002 * static_cast<double>(i));
    p.gpsAltitude = altitude + static_cast<std::int32_t>(i) * 10;
    p.pressureAltitude = 1490 + static_cast<std::int32_t>(i);
  }
  return points;
}

struct Written {
  std::vector<TrackPoint> points;
  std::string body;
};

Written Write(std::vector<TrackPoint> points, bool withHash, bool utc = true,
              std::optional<std::string_view> description = std::nullopt,
              std::optional<std::string_view> instrument = "Flytec 6030 SN 1234") {
  KmlTrackInfo info;
  info.statistics = ComputeStatistics(points);
  EXPECT_EQ(AnalyseDistances(points, info.analysis), 0);
  info.points = points;
  info.withHash = withHash;
  info.timesAreUtc = utc;
  info.withPressureAltitude = true;
  info.downloaded = kStart + 7200;
  std::string body;
  EXPECT_EQ(WriteKmlBody(body, info, description, instrument), kKmlBodyOk);
  return {std::move(points), std::move(body)};
}

std::string Document(const std::string& body) {
  return std::string(kKmlDocumentStart) + body + std::string(kKmlDocumentEnd);
}

std::string Between(const std::string& text, std::string_view from, std::string_view to) {
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return {};
  const std::size_t end = text.find(to, start + from.size());
  return text.substr(start + from.size(), end - start - from.size());
}

std::vector<testing::UiEvent> Errors(const ScriptedUi& ui) {
  std::vector<testing::UiEvent> errors;
  for (const auto& event : ui.Events()) {
    if (event.kind == UiEventKind::Error) errors.push_back(event);
  }
  return errors;
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

TEST(KmlBodyTest, TrackPlacemarkIsWrittenLineByLine) {
  const Written w = Write(Track(5), true);
  const std::string track = Between(w.body, "type=\"track\">\r\n", "  </Folder>");
  const std::string hash = Between(track, "hash=\"", "\"");
  ASSERT_EQ(hash.size(), 40u);
  EXPECT_EQ(hash.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_NE(hash, std::string(40, '0'));
  EXPECT_EQ(track,
            "        <FsInfo time_of_first_point=\"2023-05-26T10:00:00Z\"\r\n"
            "                instrument=\"Flytec 6030 SN 1234\"\r\n"
            "                downloaded=\"2023-05-26T12:00:00Z\"\r\n"
            "                hash=\"" + hash + "\">\r\n"
            "          <SecondsFromTimeOfFirstPoint>\r\n"
            "0 2 4 6 8\r\n"
            "          </SecondsFromTimeOfFirstPoint>\r\n"
            "          <PressureAltitude>\r\n"
            "1490 1491 1492 1493 1494\r\n"
            "          </PressureAltitude>\r\n"
            "        </FsInfo>\r\n"
            "      </Metadata>\r\n"
            "      <name>Tracklog</name>\r\n"
            "      <LineString>\r\n"
            "        <altitudeMode>absolute</altitudeMode>\r\n"
            "        <coordinates>\r\n"
            "8.000000,46.500000,1500 7.998000,46.501000,1501 7.996000,46.502000,1502 "
            "7.994000,46.503000,1503 7.992000,46.504000,1504\r\n"
            "        </coordinates>\r\n"
            "      </LineString>\r\n"
            "    </Placemark>\r\n");
  EXPECT_TRUE(w.body.starts_with(
      "  <Folder>\r\n    <Metadata src=\"Logwell\" v=\"5.07\" type=\"trip\"/>\r\n"
      "    <open>1</open>\r\n    <name>Trip</name>\r\n    <description><![CDATA[\r\n<pre>\r\n"
      "Flight statistics\r\nDate                 2023-05-26\r\n"
      "Start/finish         10:00:00 - 10:00:08\r\nDuration             0 : 00 : 08\r\n"
      "Max./min. height     1504 / 1500 m\r\n"));
  EXPECT_NE(w.body.find("Total distance       0.76 km\r\n</pre>]]>\r\n    </description>\r\n\r\n"
                        "    <Placemark>\r\n"),
            std::string::npos);
  EXPECT_NE(w.body.find(" B     5  10:00:08  N 46  30  14.40  E 007  59  31.20  0.76\r\n</pre>]]>"),
            std::string::npos);
}

TEST(KmlBodyTest, PlacemarksInOrderAndLoopsNotComputedWithoutGap) {
  std::vector<TrackPoint> points = Track(30);
  KmlTrackInfo info;
  info.statistics = ComputeStatistics(points);
  AnalysisOptions options;
  options.loopGap = 0;
  ASSERT_EQ(AnalyseDistances(points, info.analysis, options), 0);
  info.points = points;
  info.loopGap = 0;
  std::string body;
  ASSERT_EQ(WriteKmlBody(body, info, std::nullopt, std::nullopt), kKmlBodyOk);
  std::size_t at = 0;
  for (std::string_view piece :
       {"type=\"distance_5_point\"", "type=\"distance_4_point\"", "type=\"distance_3_point\"",
        "type=\"distance_open\"", "\r\n\r\n    <!--Out-and-return not computed-->\r\n",
        "\r\n    <!--Flat triangle not computed-->\r\n",
        "\r\n    <!--FAI triangle not computed-->\r\n", "type=\"track\""}) {
    const std::size_t found = body.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece;
    at = found;
  }
  EXPECT_NE(body.find("instrument=\"unknown\""), std::string::npos);
  EXPECT_EQ(body.find("hash="), std::string::npos);  // a log read from a file is not signed
  EXPECT_EQ(body.find("<PressureAltitude>"), std::string::npos);
}

TEST(KmlBodyTest, TrianglePlacemarkGeometryAndTable) {
  std::vector<TrackPoint> points = Track(7);
  KmlTrackInfo info;
  info.points = points;
  info.analysis.fai = {{0, 1, 3, 5, 6}, {1000.0, 2000.0, 3000.0}, 40.0, 5960.0};
  info.analysis.triangle = info.analysis.fai;
  std::string body;
  ASSERT_EQ(WriteKmlBody(body, info, std::nullopt, std::nullopt), kKmlBodyOk);
  const std::string fai = Between(body, "type=\"distance_fai_triangle\">", "</Placemark>");
  EXPECT_NE(fai.find("<FsInfo track_idx=\"0 1 3 5 6\" />"), std::string::npos);
  EXPECT_NE(fai.find("FAI triangle (max allowable gap 800)\r\n\r\n"), std::string::npos);
  EXPECT_NE(fai.find("  1.00\r\n"), std::string::npos);
  EXPECT_NE(fai.find("  0.04\r\n                                                  Sum  5.96\r\n"),
            std::string::npos);
  EXPECT_NE(fai.find("      <MultiGeometry>\r\n        <LineString>\r\n"
                     "          <tessellate>1</tessellate>\r\n          <coordinates>\r\n"
                     "            7.998000,46.501000,1501\r\n            7.994000,46.503000,1503\r\n"
                     "            7.990000,46.505000,1505\r\n            7.998000,46.501000,1501\r\n"
                     "          </coordinates>\r\n        </LineString>\r\n        <LineString>\r\n"
                     "          <tessellate>1</tessellate>\r\n          <coordinates>\r\n"
                     "            8.000000,46.500000,1500\r\n            7.988000,46.506000,1506\r\n"),
            std::string::npos);
  EXPECT_NE(fai.find("<color>FFFF0000</color>"), std::string::npos);
}

TEST(KmlBodyTest, TimeOffsetLinesBreakAfterEvery25Values) {
  for (const auto& [count, lines] : {std::pair{25u, 1u}, std::pair{26u, 2u}, std::pair{50u, 2u}}) {
    const Written w = Write(Track(count), false);
    const std::string offsets =
        Between(w.body, "<SecondsFromTimeOfFirstPoint>\r\n", "          </Seconds");
    EXPECT_EQ(Count(offsets, "\r\n"), lines) << count;
    if (count == 26) {
      EXPECT_TRUE(offsets.ends_with("48 \r\n50\r\n"));
    }
    const std::string coordinates = Between(w.body, "<coordinates>\r\n8.0", "        </coord");
    EXPECT_EQ(Count(coordinates, "\r\n"), (count + 4) / 5) << count;
  }
}

TEST(KmlBodyTest, AllZeroAltitudesAreClampedToGround) {
  std::vector<TrackPoint> points = Track(5);
  for (TrackPoint& p : points) p.gpsAltitude = 0;
  const Written w = Write(points, false);
  EXPECT_NE(w.body.find("        <altitudeMode>clampedToGround</altitudeMode>\r\n"),
            std::string::npos);
}

TEST(KmlBodyTest, DescriptionAngleBracketsAndBadText) {
  const Written w = Write(Track(5), false, true, "Nice <b>flight</b> \xC3\xBC");
  EXPECT_NE(w.body.find("<description><![CDATA[Nice &ltb&gtflight&lt/b&gt \xC3\xBC\r\n<pre>"),
            std::string::npos);
  std::vector<TrackPoint> points = Track(5);
  KmlTrackInfo info;
  info.points = points;
  std::string body;
  EXPECT_EQ(WriteKmlBody(body, info, "bad \xFF byte", std::nullopt), kKmlBodyBadDescription);
}

TEST(KmlBodyTest, MissingTimesBecomeFiveSecondSteps) {
  std::vector<TrackPoint> points = Track(6);
  points[3].time = 0;
  const Written w = Write(points, true, true);
  EXPECT_NE(w.body.find("time_of_first_point=\"1989-12-31T00:00:00\""), std::string::npos);
  EXPECT_NE(w.body.find("<SecondsFromTimeOfFirstPoint>\r\n0 5 10 15 20 25\r\n"),
            std::string::npos);
  EXPECT_EQ(w.points[5].time, 25u);
}

TEST(KmlBodyTest, SignatureConfirmedOnlyForTheUnalteredFile) {
  const Written w = Write(Track(12), true);
  ScriptedUi ui;
  const auto read = ReadKmlTrack(Document(w.body), ui);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->signState, SignState::FileSignatureOk);
  EXPECT_EQ(read->timeIsUtc, 1);
  EXPECT_EQ(read->altitudeFlag, 1);
  ASSERT_EQ(read->points.size(), w.points.size());
  for (std::size_t i = 0; i < w.points.size(); ++i) {
    EXPECT_EQ(read->points[i].time, w.points[i].time);
    EXPECT_EQ(read->points[i].latitude, w.points[i].latitude);
    EXPECT_EQ(read->points[i].longitude, w.points[i].longitude);
    EXPECT_EQ(read->points[i].gpsAltitude, w.points[i].gpsAltitude);
    EXPECT_EQ(read->points[i].pressureAltitude, w.points[i].pressureAltitude);
    EXPECT_EQ(read->points[i].segmentStart, i == 0 ? 1u : 0u);
  }

  std::string altered = Document(w.body);
  const std::size_t digit = altered.find("7.996000,46.502000,1502");
  ASSERT_NE(digit, std::string::npos);
  altered[digit + 6] = '1';
  const auto changed = ReadKmlTrack(altered, ui);
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->signState, SignState::NotSignable);
  EXPECT_EQ(changed->timeIsUtc, 0);
  EXPECT_EQ(changed->points.size(), w.points.size());
  EXPECT_TRUE(ui.Boxes().empty());

  // Line breaks and indentation may change (an editor reflowing the file); the values may not.
  std::string reflowed = Document(w.body);
  for (std::size_t at = reflowed.find(" 7.99"); at != std::string::npos;
       at = reflowed.find(" 7.99", at + 3)) {
    reflowed.replace(at, 1, "\n\t ");
  }
  const auto reflowedRead = ReadKmlTrack(reflowed, ui);
  ASSERT_TRUE(reflowedRead);
  EXPECT_EQ(reflowedRead->signState, SignState::FileSignatureOk);
}

TEST(KmlBodyTest, InstrumentTextIsEscapedAndStillSigned) {
  const Written w = Write(Track(5), true, true, std::nullopt, "Vario \"X<&>\"\tline");
  EXPECT_NE(w.body.find("instrument=\"Vario &quot;X&lt;&amp;&gt;&quot; line\""),
            std::string::npos);
  ScriptedUi ui;
  const auto read = ReadKmlTrack(Document(w.body), ui);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->signState, SignState::FileSignatureOk);
}

// ---- Reader messages ------------------------------------------------------------------------

std::string TrackFolder(std::string_view fsInfo, std::string_view seconds,
                        std::string_view coordinates, std::string_view pressure = "") {
  std::string text = "<Folder><Placemark><Metadata type=\"track\"><FsInfo ";
  text.append(fsInfo).append(">");
  if (!seconds.empty()) text.append("<SecondsFromTimeOfFirstPoint>").append(seconds).append("</SecondsFromTimeOfFirstPoint>");
  if (!pressure.empty()) text.append("<PressureAltitude>").append(pressure).append("</PressureAltitude>");
  text.append("</FsInfo></Metadata><LineString>");
  if (!coordinates.empty()) text.append("<coordinates>").append(coordinates).append("</coordinates>");
  text.append("</LineString></Placemark></Folder>");
  return text;
}

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\n";
constexpr std::string_view kFirst = "time_of_first_point=\"2022-08-13T11:27:10Z\"";

std::string Doc(std::string_view inner) {
  return std::string(kDeclaration) + "<Document>" + std::string(inner) + "</Document>\n";
}

TEST(KmlReaderTest, EveryFaultHasItsMessage) {
  const std::string good = TrackFolder(kFirst, "0 1", "8,46,100 8.1,46.1,200");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "No tags found"},
      // The declaration is optional, as in XML.
      {"<Document></Document>", "No track log found"},
      {std::string(kDeclaration) + "<a></b>", "Tag <a> is terminated by <b>"},
      {std::string(kDeclaration) + "</a>", "Terminating tag <a> encountered at root level"},
      {std::string(kDeclaration) + "<a>", "Nesting level not zero at end-of-file"},
      {std::string(kDeclaration) + "<a></a>tail", "Data found after last tag"},
      {std::string(kDeclaration) + "<a>x<b/></a>", "Data found before tag <b>"},
      {std::string(kDeclaration) + "<a", "End-of-file encountered within a tag"},
      {std::string(kDeclaration) + std::string(20 * 3, ' ') +
           [] { std::string s; for (int i = 0; i < 20; ++i) s += "<n>"; return s; }(),
       "Nesting limit exceeded at tag <n>"},
      {Doc("<Folder/>"), "No track log found"},
      {Doc("<Folder>" + good.substr(8, good.size() - 17) + good.substr(8, good.size() - 17) +
           "</Folder>"),
       "Multiple tracks in one <Folder> element"},
      {Doc("<Placemark><Metadata type=\"track\"/><Metadata type=\"track\"/></Placemark>"),
       "Multiple tracks in one <Placemark> element"},
      {Doc("<Folder><Placemark><Metadata type=\"track\"/></Placemark></Folder>"),
       "No track log information found"},
      {Doc(TrackFolder(kFirst, "", "8,46,100")), "No track log time offsets found"},
      {Doc(TrackFolder(kFirst, "0", "")), "No track log positions found"},
      {Doc(TrackFolder("time_of_first_point=\"2022-13-13T11:27:10Z\"", "0", "8,46,1")),
       "Bad time_of_first_point"},
      {Doc(TrackFolder(kFirst, "0 x", "8,46,1 8,46,1")), "Bad <SecondsFromTimeOfFirstPoint> data"},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,46")) , ""},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,x,1")), "Bad <coordinates> data"},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,95,1")), "Bad <coordinates> data"},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1")), "Bad number of positions in <coordinates>"},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,46,1", "1 y")), "Bad <PressureAltitude> data"},
      {Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,46,1", "1 2 3")),
       "Bad number of positions in <PressureAltitude>"},
  };
  for (const auto& [text, message] : cases) {
    ScriptedUi ui;
    const auto read = ReadKmlTrack(text, ui);
    if (message.empty()) {
      EXPECT_TRUE(read) << text;
      continue;
    }
    EXPECT_FALSE(read) << text;
    ASSERT_EQ(ui.Boxes().size(), 1u) << text;
    EXPECT_EQ(ui.Boxes()[0].text, message) << text;
    EXPECT_EQ(ui.Boxes()[0].caption, "Parsing track log file");
  }
}

TEST(KmlReaderTest, TrackLimit) {
  std::string inner;
  for (int i = 0; i < 51; ++i) inner += TrackFolder(kFirst, "0", "8,46,1");
  ScriptedUi ui;
  EXPECT_FALSE(ReadKmlTrack(Doc(inner), ui, true));
  std::string error;
  ReadKmlTrack(Doc(inner), ui, true, &error);
  EXPECT_EQ(error, "Number of tracks limited to 50");
  EXPECT_TRUE(ui.Boxes().empty());  // quiet
}

TEST(KmlReaderTest, SeveralTracksAreOfferedInTheTrackList) {
  const std::string text =
      Doc(TrackFolder(kFirst, "0 1", "8,46,1 8,46,2") +
          TrackFolder("time_of_first_point=\"2022-08-14T09:00:05\"", "0", "9,47,3") +
          TrackFolder("time_of_first_point=\"yesterday\"", "0", "9,47,3") +
          TrackFolder("a=\"b\"", "0", "9,47,3"));
  {
    ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{1});
    const auto read = ReadKmlTrack(text, ui);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->points.size(), 1u);
    EXPECT_EQ(read->points[0].longitude, formats::DegreesToSemicircles(9.0));
    ASSERT_EQ(ui.Choices().size(), 1u);
    const ListChoice choice = ui.Choices()[0];
    EXPECT_EQ(choice.title, "Track List");
    EXPECT_EQ(choice.prompt, "Select one of these tracks");
    EXPECT_EQ(choice.header, "Date / time");
    EXPECT_EQ(choice.preselected, 0);
    EXPECT_EQ(choice.lines, (std::vector<std::string>{"2022-08-13   11:27:10", "2022-08-14   09:00:05",
                                                      "Bad track time", "Missing track time"}));
  }
  {
    ScriptedUi ui;
    ui.ScriptChoice(std::nullopt);
    EXPECT_FALSE(ReadKmlTrack(text, ui));
    EXPECT_TRUE(Errors(ui).empty());
  }
  {
    ScriptedUi ui;
    ui.ScriptChoice(std::vector<int>{});
    EXPECT_FALSE(ReadKmlTrack(text, ui));
    EXPECT_EQ(Errors(ui), (std::vector<testing::UiEvent>{{UiEventKind::Error, "Select track",
                                                            "Dialog box error"}}));
  }
  {
    ScriptedUi ui;
    const auto read = ReadKmlTrack(text, ui, true);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->points.size(), 2u);
    EXPECT_TRUE(ui.Choices().empty());
  }
}

}  // namespace
}  // namespace logwell::kml
