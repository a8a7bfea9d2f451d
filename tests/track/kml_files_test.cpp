// The KML files on disk: the saves, the batch conversions both ways on the real IGC files, the
// animation file, the signature check of the command line, and what independent readers make
// of our files (xmllint from libxml2 for well-formedness, GPSBabel for the track).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/fixtures.h"
#include "support/scripted_ui.h"
#include "track/formats/format_text.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"
#include "track/track_log.h"
#include "track/track_takeover.h"
#include "kml/kml_animation.h"
#include "app/file_commands.h"
#include "kml/kml_convert.h"
#include "kml/kml_reader.h"
#include "kml/kml_save.h"

namespace logwell::kml {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::UiEventKind;

constexpr GarminTime kStart = 1054029600;  // 2023-05-26 10:00:00

std::vector<TrackPoint> Track(std::size_t count) {
  std::vector<TrackPoint> points(count);
  for (std::size_t i = 0; i < count; ++i) {
    TrackPoint& p = points[i];
    p.time = kStart + static_cast<GarminTime>(i);
    p.latitude = formats::DegreesToSemicircles(46.5 + 0.0003 * static_cast<double>(i));
    p.longitude = formats::DegreesToSemicircles(8.0 + 0.0002 * static_cast<double>(i % 50));
    p.gpsAltitude = 15000 + static_cast<std::int32_t>(i % 70) * 10;
  }
  return points;
}

std::string ReadText(const fs::path& path) { return logwell::testing::ReadWholeFile(path); }

void WriteText(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

class KmlFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kml_files_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

std::vector<std::string> ErrorTexts(const ScriptedUi& ui) {
  std::vector<std::string> texts;
  for (const auto& e : ui.Events()) {
    if (e.kind == UiEventKind::Error) texts.push_back(e.caption + ": " + e.text);
  }
  return texts;
}

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// xmllint's verdict on a file: true when it is well-formed XML.
bool WellFormed(const fs::path& path) {
  return std::system(("xmllint --noout '" + path.string() + "' 2>/dev/null").c_str()) == 0;
}

struct BabelPoint {
  double latitude, longitude;
};
// The track points GPSBabel reads from a KML file, through its unicsv output.
std::vector<BabelPoint> GpsbabelTrack(const fs::path& kml, const fs::path& csv) {
  const std::string command = "gpsbabel -t -i kml -f '" + kml.string() +
                              "' -o unicsv -F '" + csv.string() + "' 2>/dev/null";
  std::vector<BabelPoint> points;
  if (std::system(command.c_str()) != 0) return points;
  std::istringstream lines(ReadText(csv));
  std::string line;
  std::getline(lines, line);  // No,Latitude,Longitude,...
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string no, lat, lon;
    std::getline(fields, no, ',');
    std::getline(fields, lat, ',');
    std::getline(fields, lon, ',');
    points.push_back({std::stod(lat), std::stod(lon)});
  }
  return points;
}

TEST_F(KmlFilesTest, GoogleEarthFileNeedsFivePositionsAndRespectsExistingFiles) {
  const fs::path base = dir_ / "flight";
  ScriptedUi ui;
  GoogleEarthFileRequest request;
  request.logFileName = base.string();
  request.points = Track(4);
  EXPECT_EQ(WriteGoogleEarthFile(request, ui), -1);
  EXPECT_EQ(ErrorTexts(ui), std::vector<std::string>{"Write GoogleEarth file: Too few track positions"});
  EXPECT_FALSE(fs::exists(dir_ / "flight.kml"));

  request.points = Track(5);
  request.withHash = true;
  request.timesAreUtc = true;
  EXPECT_EQ(WriteGoogleEarthFile(request, ui), 0);
  const std::string written = ReadText(dir_ / "flight.kml");
  EXPECT_TRUE(written.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                  "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n"
                                  "<Document>\r\n<open>1</open>\r\n  <Folder>\r\n"));
  EXPECT_TRUE(written.ends_with("  </Folder>\r\n</Document>\r\n</kml>\r\n"));
  EXPECT_NE(written.find("<description><![CDATA[2023-05-26\r\n<pre>"), std::string::npos);

  ui.Clear();
  EXPECT_EQ(WriteGoogleEarthFile(request, ui), -1);
  EXPECT_EQ(ErrorTexts(ui), std::vector<std::string>{"Write GoogleEarth file: File already exists"});
  request.overwrite = true;
  EXPECT_EQ(WriteGoogleEarthFile(request, ui), 0);

  ScriptedUi reader;
  EXPECT_EQ(CheckKmlFile(dir_ / "flight.kml", reader), 0);
  std::string altered = written;
  const std::size_t track = altered.find("<name>Tracklog</name>");
  altered.replace(altered.find("8.000200,", track), 9, "8.000300,");
  WriteText(dir_ / "altered.kml", altered);
  EXPECT_EQ(CheckKmlFile(dir_ / "altered.kml", reader), 1);
  EXPECT_EQ(reader.LastStatus(), kKmlSignatureNotConfirmed);
}

// The signature covers the track's times, positions and pressure altitudes and nothing else:
// the file as written before the `kml` root element (a bare `Document`) checks the same, and
// so does a file whose statistics or placemark figures were changed; a changed pressure
// altitude or time offset does not.
TEST_F(KmlFilesTest, SignatureCoversTheTrackValuesInEitherForm) {
  GoogleEarthFileRequest request;
  request.logFileName = (dir_ / "flight").string();
  request.points = Track(120);
  for (std::size_t i = 0; i < request.points.size(); ++i) {
    request.points[i].pressureAltitude = 1400 + static_cast<std::int32_t>(i);
  }
  request.withHash = true;
  request.timesAreUtc = true;
  request.withPressureAltitude = true;
  ScriptedUi ui;
  ASSERT_EQ(WriteGoogleEarthFile(request, ui), 0);
  const std::string written = ReadText(dir_ / "flight.kml");
  const std::string root = "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n";
  ASSERT_NE(written.find(root), std::string::npos);
  const std::size_t sum = written.find("Sum  ");
  ASSERT_NE(sum, std::string::npos);

  auto replaced = [&](std::string text, std::string_view from, std::string_view to,
                      std::size_t after = 0) {
    const std::size_t at = text.find(from, after);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  std::string oldForm = replaced(written, root, "");
  oldForm = replaced(oldForm, "</kml>\r\n", "");
  const std::size_t pressure = written.find("<PressureAltitude>");
  const std::size_t offsets = written.find("<SecondsFromTimeOfFirstPoint>");
  struct Case {
    const char* name;
    std::string text;
    int exitCode;
  };
  const Case cases[] = {
      {"new form", written, 0},
      {"old form", oldForm, 0},
      {"statistics text", replaced(written, "Total distance       ", "Total distance       9"), 0},
      {"placemark sum", replaced(written, "Sum  ", "Sum  9", sum), 0},
      {"pressure altitude", replaced(written, " 1401 ", " 1501 ", pressure), 1},
      {"time offset", replaced(written, " 3 ", " 4 ", offsets), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(dir_ / "check.kml", c.text);
    ScriptedUi reader;
    EXPECT_EQ(CheckKmlFile(dir_ / "check.kml", reader), c.exitCode);
    EXPECT_EQ(reader.LastStatus(),
              c.exitCode == 0 ? kKmlSignatureConfirmed : kKmlSignatureNotConfirmed);
  }
}

TEST_F(KmlFilesTest, LogbookSaveWritesAppendsAndTellsAboutTheSignature) {
  std::vector<TrackPoint> first = Track(40);
  LogbookSaveRequest request;
  request.info.points = first;
  ASSERT_TRUE(AnalyseForKml(request.info, *std::make_unique<ScriptedUi>()));
  request.description = "First <b>flight</b>";

  ScriptedUi ui;
  request.analysisRunning = true;
  EXPECT_EQ(SaveLogbookKml(request, ui), -1);
  EXPECT_EQ(ErrorTexts(ui), std::vector<std::string>{"Save track log: Statistics not yet finished"});
  request.analysisRunning = false;

  ui.Clear();
  ui.ScriptSaveFile((dir_ / "book").string());
  EXPECT_EQ(SaveLogbookKml(request, ui), 0);
  const fs::path book = dir_ / "book.kml";
  ASSERT_TRUE(fs::exists(book));
  EXPECT_EQ(ui.Events().back().text, "Track saved (NO signature)");
  EXPECT_EQ(ui.Events().back().caption, "Save Trackvault track");

  std::vector<TrackPoint> second = Track(30);
  for (TrackPoint& p : second) p.time += 86400;
  LogbookSaveRequest next;
  next.info.points = second;
  next.info.withHash = true;
  ASSERT_TRUE(AnalyseForKml(next.info, ui));
  ui.Clear();
  ui.ScriptSaveFile(book.string());
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  EXPECT_EQ(SaveLogbookKml(next, ui), 0);
  EXPECT_EQ(ui.Events().back().text, "Track saved (Signature OK)");
  const std::string both = ReadText(book);
  EXPECT_TRUE(both.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                               "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n"
                               "<Document>\r\n<open>1</open>\r\n  <Folder>"));
  EXPECT_NE(both.find("  </Folder>\r\n  <Folder>\r\n"), std::string::npos);
  if (HaveTool("xmllint")) {
    EXPECT_TRUE(WellFormed(book));
  }

  ScriptedUi chooser;
  chooser.ScriptChoice(std::vector<int>{1});
  const auto read = ReadKmlTrack(both, chooser);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->points.size(), 30u);
  EXPECT_EQ(read->signState, SignState::FileSignatureOk);
  EXPECT_EQ(chooser.Choices().at(0).lines,
            (std::vector<std::string>{"2023-05-26   10:00:00", "2023-05-27   10:00:00"}));

  ui.Clear();
  ui.ScriptSaveFile(book.string());
  ui.ScriptNewTrackLog(NewTrackLogChoice::Cancel);
  EXPECT_EQ(SaveLogbookKml(next, ui), -1);
  EXPECT_EQ(ReadText(book), both);

  // Either flight appended again (another description, a log taken over anew) is found in the
  // logbook and not added a second time.
  for (LogbookSaveRequest* again : {&request, &next}) {
    again->description = "the same flight again";
    TrackLog log;
    ui.Clear();
    ui.ScriptSaveFile(book.string());
    ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
    EXPECT_EQ(SaveLogbookKml(*again, ui, &log), 0);
    EXPECT_EQ(ReadText(book), both);
    EXPECT_EQ(log.saved, 1);
    EXPECT_EQ(ui.Events().back().text, "Flight already in this logbook, not appended again");
  }

  WriteText(dir_ / "other.kml", "<?xml version=\"1.0\"?>\n<kml><Document></Document></kml>\n");
  ui.Clear();
  ui.ScriptSaveFile((dir_ / "other.kml").string());
  ui.ScriptNewTrackLog(NewTrackLogChoice::Append);
  EXPECT_EQ(SaveLogbookKml(next, ui), -1);
  EXPECT_EQ(ErrorTexts(ui),
            std::vector<std::string>{"Save Logbook file: Error(s) parsing existing file"});
}

// KML of other programs opens as a track file too: a vario's LineString file without an XML
// declaration (timed evenly over its TimeSpan, which the status line says) and a phone
// tracker's gx:Track.
TEST_F(KmlFilesTest, OtherProgramsKmlReadsAsATrackFile) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  struct Case {
    const char* file;
    std::size_t positions;
    const char* first;  // "hh:mm:ss" UTC
  };
  for (const Case& c : {Case{"skydrop.kml", 1329, "17:00:05"},
                        Case{"google_ext.kml", 451, "18:30:59"}}) {
    SCOPED_TRACE(c.file);
    ScriptedUi ui;
    const std::optional<FileReadResult> read = ReadAnyTrackFile(fixtures / "tracks" / c.file, ui);
    ASSERT_TRUE(read);
    EXPECT_TRUE(ui.Boxes().empty());
    ASSERT_EQ(read->points.size(), c.positions);
    EXPECT_EQ(read->timeIsUtc, 1);
    EXPECT_FALSE(read->signatureOk);
    const CalendarTime t = GarminTimeToCalendar(read->points.front().time);
    EXPECT_EQ(FormatText("%02d:%02d:%02d", t.hour, t.minute, t.second), c.first);
  }
}

TEST_F(KmlFilesTest, AnimationFile) {
  ScriptedUi ui;
  const std::vector<TrackPoint> one = Track(1);
  EXPECT_EQ(SaveAnimationFile(one, true, {}, ui), -1);
  EXPECT_EQ(ErrorTexts(ui),
            std::vector<std::string>{"Save track animation file: Less than 2 positions selected"});
  const std::vector<TrackPoint> points = Track(3);
  const std::string text = BuildAnimationKml(points, true);
  EXPECT_NE(text.find("      <when>2023-05-26T10:00:02Z</when>\r\n      <gx:coord>8.000000 46.500000 1500</gx:coord>\r\n"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("    </gx:Track>\r\n  </Placemark>\r\n</Document>\r\n</kml>\r\n"));
  ui.Clear();
  ui.ScriptSaveFile((dir_ / "anim").string());
  EXPECT_EQ(SaveAnimationFile(points, false, {}, ui), 0);
  EXPECT_EQ(ReadText(dir_ / "anim.kml"), BuildAnimationKml(points, false));
  if (HaveTool("xmllint")) {
    EXPECT_TRUE(WellFormed(dir_ / "anim.kml"));
  }
}

TEST_F(KmlFilesTest, BatchRefusesWrongExtensionAndReportsProgress) {
  WriteText(dir_ / "a.txt", "x");
  ScriptedUi ui;
  const std::vector<fs::path> wrong{dir_ / "a.txt"};
  BatchOptions fast;
  fast.afterRead = fast.betweenFiles = std::chrono::milliseconds(0);
  EXPECT_EQ(ConvertFiles(ConversionDirection::IgcToKml, wrong, ui, fast), -1);
  EXPECT_EQ(ErrorTexts(ui),
            std::vector<std::string>{"Convert .igc to .kml: File contains invalid extension"});
  ui.Clear();
  EXPECT_EQ(ConvertFiles(ConversionDirection::KmlToIgc, {}, ui, fast), -1);
  EXPECT_EQ(ErrorTexts(ui), std::vector<std::string>{"Convert .kml to .igc: No file(s) selected"});
  WriteText(dir_ / "bad.igc", "not an igc file\r\n");
  ui.Clear();
  const std::vector<fs::path> bad{dir_ / "bad.igc"};
  EXPECT_EQ(ConvertFiles(ConversionDirection::IgcToKml, bad, ui, fast), -1);
  EXPECT_EQ(ErrorTexts(ui), std::vector<std::string>{"Convert .igc to .kml: File decode error"});
  EXPECT_EQ(ui.StatusTexts().front(), "(1) " + bad[0].string().substr(0, 70) + ": Reading");
}

// Every real IGC file that decodes converts to KML (well-formed, and GPSBabel reads the same
// track) and back to IGC with the same positions and times.
TEST_F(KmlFilesTest, RealIgcFilesConvertToKmlAndBack) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const bool xmllint = HaveTool("xmllint");
  const bool gpsbabel = HaveTool("gpsbabel");
  BatchOptions fast;
  fast.afterRead = fast.betweenFiles = std::chrono::milliseconds(0);
  int converted = 0;
  for (const auto& entry : fs::directory_iterator(fixtures / "igc")) {
    if (LowerExtension(entry.path()) != ".igc") continue;
    const igc::IgcDecodeResult original = igc::DecodeIgcText(ReadText(entry.path()));
    if (!original.Ok() || original.points.size() < 5) continue;
    bool timesValid = true;
    for (const TrackPoint& p : original.points) timesValid = timesValid && p.time != 0;
    SCOPED_TRACE(entry.path().filename().string());
    const fs::path igcCopy = dir_ / "flight.igc";
    fs::copy_file(entry.path(), igcCopy, fs::copy_options::overwrite_existing);
    ScriptedUi ui;
    const std::vector<fs::path> igcFiles{igcCopy};
    ASSERT_EQ(ConvertFiles(ConversionDirection::IgcToKml, igcFiles, ui, fast), 1);
    EXPECT_EQ(ui.LastStatus(), "1 file(s) converted");
    const fs::path kml = dir_ / "flight.kml";
    if (xmllint) {
      EXPECT_TRUE(WellFormed(kml));
    }
    const std::string kmlText = ReadText(kml);
    EXPECT_LT(kmlText.find("type=\"contest_claim\""), kmlText.find("type=\"distance_5_point\""));
    const auto read = ReadKmlTrack(kmlText, ui, true);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->points.size(), original.points.size());
    for (std::size_t i = 0; i < original.points.size(); ++i) {
      if (timesValid) {
        ASSERT_EQ(read->points[i].time, original.points[i].time) << i;
      }
      // Six decimals of a degree: within 12 semicircles.
      ASSERT_NEAR(read->points[i].latitude, original.points[i].latitude, 12) << i;
      ASSERT_NEAR(read->points[i].longitude, original.points[i].longitude, 12) << i;
      ASSERT_EQ(read->points[i].pressureAltitude, original.points[i].pressureAltitude) << i;
    }
    if (gpsbabel) {
      const std::vector<BabelPoint> babel = GpsbabelTrack(kml, dir_ / "babel.csv");
      // GPSBabel reads the placemark line strings too; the track is the last one.
      ASSERT_GE(babel.size(), original.points.size());
      const std::size_t offset = babel.size() - original.points.size();
      for (std::size_t i = 0; i < original.points.size(); ++i) {
        ASSERT_NEAR(babel[offset + i].latitude,
                    formats::SemicirclesToDegrees(original.points[i].latitude), 1.1e-6);
        ASSERT_NEAR(babel[offset + i].longitude,
                    formats::SemicirclesToDegrees(original.points[i].longitude), 1.1e-6);
      }
    }
    fs::remove(igcCopy);
    const std::vector<fs::path> kmlFiles{kml};
    ASSERT_EQ(ConvertFiles(ConversionDirection::KmlToIgc, kmlFiles, ui, fast), 1);
    const igc::IgcDecodeResult back = igc::DecodeIgcText(ReadText(igcCopy));
    ASSERT_TRUE(back.Ok()) << back.error;
    ASSERT_EQ(back.points.size(), original.points.size());
    for (std::size_t i = 0; i < original.points.size(); ++i) {
      if (timesValid) {
        ASSERT_EQ(back.points[i].time, original.points[i].time) << i;
      }
      ASSERT_NEAR(back.points[i].latitude, original.points[i].latitude, 200) << i;
      ASSERT_NEAR(back.points[i].longitude, original.points[i].longitude, 200) << i;
    }
    ++converted;
  }
  EXPECT_GT(converted, 10);
}

// The flight pilots score: its contest claim is the first placemark, named as they read it,
// ahead of the distance analysis, and the file still reads back signed.
TEST_F(KmlFilesTest, ContestClaimIsTheFirstPlacemarkAndTheSignatureStillChecks) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto decoded = igc::DecodeIgcText(ReadText(fixtures / "igc" / "trifai-xcontest-189.65.igc"));
  ASSERT_TRUE(decoded.Ok()) << decoded.error;
  GoogleEarthFileRequest request;
  request.points = decoded.points;
  request.withHash = true;
  request.timesAreUtc = true;
  request.withPressureAltitude = true;
  request.chosenFile = dir_ / "trifai.kml";
  ScriptedUi ui;
  ASSERT_EQ(WriteGoogleEarthFile(request, ui), 0);
  const std::string kml = ReadText(dir_ / "trifai.kml");
  const std::size_t claim = kml.find("<name>XContest: closed FAI triangle 118.7");
  ASSERT_NE(claim, std::string::npos);
  EXPECT_NE(kml.find(" points</name>", claim), std::string::npos);
  EXPECT_LT(kml.find("<Placemark>"), claim);
  EXPECT_LT(claim, kml.find("<name>Distance over 5 points</name>"));
  // The claim's corners are drawn at a trusted altitude: no vertex on the ground.
  const std::size_t coordinates = kml.find("<coordinates>", claim);
  EXPECT_EQ(kml.substr(coordinates, kml.find("</coordinates>", coordinates) - coordinates).find(",0\r\n"),
            std::string::npos);
  // The description opens with the date; the statistics leave the V fixes out.
  EXPECT_NE(kml.find("<description><![CDATA[2019-06-03\r\n<pre>"), std::string::npos);
  EXPECT_NE(kml.find("Left out (alt/climb) 34 fixes"), std::string::npos);
  EXPECT_EQ(CheckKmlFile(dir_ / "trifai.kml", ui), 0);
  const std::optional<KmlReadResult> back = ReadKmlTrack(kml, ui);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->points.size(), decoded.points.size());
}

// A signature proves that the track came from an instrument unchanged: converting a proven file
// keeps the proof (IGC security record to KML hash and back), so CHKKML confirms what IGC2KML
// wrote from it; a file without a proof gets none.
TEST_F(KmlFilesTest, ConversionsKeepAProofAndInventNone) {
  const std::vector<TrackPoint> points = Track(30);
  const auto igcText = [&](SignState state) {
    igc::IgcEncodeInput input;
    input.points = points;
    input.signState = state;
    input.wantSecurityRecord = true;
    input.loggerSerial = "000";
    input.downloadTime = GarminTimeToCalendar(kStart + 3600);
    return igc::EncodeIgc(input)->text;
  };
  const std::string signedText = igcText(SignState::Downloaded);
  std::string altered = signedText;
  altered.replace(altered.find("\r\nB") + 10, 1, "9");
  BatchOptions fast;
  fast.afterRead = fast.betweenFiles = std::chrono::milliseconds(0);
  const fs::path igcPath = dir_ / "flight.igc";
  const fs::path kmlPath = dir_ / "flight.kml";
  const struct {
    const char* name;
    std::string igc;
    int checkExit;
  } cases[] = {
      {"signed by this program", signedText, 0},
      {"unsigned", igcText(SignState::NotSignable), 1},
      {"signed, then changed", altered, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(igcPath, c.igc);
    ScriptedUi ui;
    ASSERT_EQ(ConvertFiles(ConversionDirection::IgcToKml, std::vector<fs::path>{igcPath}, ui, fast), 1);
    EXPECT_EQ(CheckKmlFile(kmlPath, ui), c.checkExit);
    // And back: the KML's proof becomes the IGC security record, which converts again.
    ASSERT_EQ(ConvertFiles(ConversionDirection::KmlToIgc, std::vector<fs::path>{kmlPath}, ui, fast), 1);
    EXPECT_EQ(igc::CheckSecurityRecord(ReadText(igcPath)),
              c.checkExit == 0 ? igc::SecurityCheckResult::Passed
                               : igc::SecurityCheckResult::NoSecurityRecord);
    ASSERT_EQ(ConvertFiles(ConversionDirection::IgcToKml, std::vector<fs::path>{igcPath}, ui, fast), 1);
    EXPECT_EQ(CheckKmlFile(kmlPath, ui), c.checkExit);
  }
}

// An IGC file of several flights opens as several tracks through the Track List; a file cut
// short or without a security record is read, and the reader says what it lacks.
TEST_F(KmlFilesTest, IgcFileReaderOffersEachFlightAndSaysWhatTheFileLacks) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  ScriptedUi ui;
  ui.ScriptChoice(std::vector<int>{2});
  const auto read = ReadAnyTrackFile(fixtures / "igc" / "PING.IGC", ui);
  ASSERT_TRUE(read) << ErrorTexts(ui).front();
  const std::vector<ListChoice> choices = ui.Choices();
  ASSERT_EQ(choices.size(), 1u);
  const ListChoice& list = choices[0];
  EXPECT_EQ(list.title, "Track List");
  ASSERT_GT(list.lines.size(), 3u);
  EXPECT_EQ(list.lines[0].substr(0, 10), "2014-06-28");
  const CalendarTime third = GarminTimeToCalendar(read->points.front().time);
  EXPECT_EQ(FormatText("%d-%02d-%02d   %02d:%02d:%02d", third.year, third.month, third.day,
                       third.hour, third.minute, third.second),
            list.lines[2]);
  EXPECT_EQ(read->warning, "");
  const std::vector<std::string> statuses = ui.StatusTexts();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                      FormatText("The IGC file holds %zu flights: flight 3 read", list.lines.size())),
            statuses.end());

  // IGC2KML writes every flight as a track of its own; the file's security record is another
  // logger's, so the KML is not signed.
  fs::copy_file(fixtures / "igc" / "PING.IGC", dir_ / "ping.igc");
  BatchOptions fast;
  fast.afterRead = fast.betweenFiles = std::chrono::milliseconds(0);
  ScriptedUi batch;
  ASSERT_EQ(ConvertFiles(ConversionDirection::IgcToKml, std::vector<fs::path>{dir_ / "ping.igc"},
                         batch, fast),
            1);
  const std::string kml = ReadText(dir_ / "ping.kml");
  std::size_t tracks = 0;
  for (std::size_t at = kml.find("type=\"track\""); at != std::string::npos;
       at = kml.find("type=\"track\"", at + 1)) {
    ++tracks;
  }
  EXPECT_GT(tracks, 3u);
  EXPECT_LE(tracks, list.lines.size());
  EXPECT_EQ(kml.find("hash=\""), std::string::npos);

  // Cut in the middle of a fix, as a copy broken off: the fixes before it are read.
  const std::string full = ReadText(fixtures / "igc" / "skydrop-2019-04-15.igc");
  const std::size_t cut = full.find("\nB", full.size() / 2) + 12;
  WriteText(dir_ / "cut.igc", full.substr(0, cut));
  ScriptedUi cutUi;
  auto cutRead = ReadAnyTrackFile(dir_ / "cut.igc", cutUi);
  ASSERT_TRUE(cutRead);
  const std::string line = std::to_string(std::count(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut), '\n') + 1);
  const std::string expected = "IGC file: the file is cut short: line " + line +
                               " breaks off and is left out; no security record (G record): "
                               "the file is unsigned";
  EXPECT_EQ(cutRead->warning, expected);
  TrackLog log;
  ASSERT_EQ(TakeOverFile(log, std::move(*cutRead), cutUi), FileTakeOver::Replaced);
  EXPECT_EQ(cutUi.LastStatus(), FormatText("%d positions read - ", log.Count()) + expected);
}

TEST_F(KmlFilesTest, AnalyseJsonHasTheKeysScriptsUse) {
  ScriptedUi ui;
  GoogleEarthFileRequest request;
  request.points = Track(300);
  request.chosenFile = dir_ / "a.kml";
  ASSERT_EQ(WriteGoogleEarthFile(request, ui), 0);
  std::string json;
  AnalyseOptions options;
  options.json = true;
  ASSERT_EQ(AnalyseTrackFile(dir_ / "a.kml", options, json, ui), 0);
  for (const char* key : {"\"points\": 300", "\"statistics\"", "\"claim\": {\"rules\": \"xcontest\"",
                          "\"start\": \"2023-05-26T10:00:00\"",
                          "\"duration_s\": 299", "\"distances\"", "\"two_point\"",
                          "\"fai_triangle\"", "\"olc\"", "\"free_distance\"", "\"best\""}) {
    EXPECT_NE(json.find(key), std::string::npos) << key;
  }
  if (HaveTool("python3")) {
    WriteText(dir_ / "a.json", json);
    EXPECT_EQ(std::system(("python3 -m json.tool '" + (dir_ / "a.json").string() +
                           "' >/dev/null").c_str()),
              0);
  }
}

}  // namespace
}  // namespace logwell::kml
