// Runs the built logwell-cli as a script would and checks its exit code and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/gps_table.h"
#include "base/text.h"
#include "support/fixtures.h"
#include "support/gpsbabel.h"

namespace {

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

CliRun RunCli(const std::string& arguments) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("logwell-cli-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string command = std::string("'") + LOGWELL_CLI_PATH + "' " + arguments + " >'" +
                              (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir / "out"),
          ReadAll(dir / "err")};
  std::filesystem::remove_all(dir);
  return run;
}

TEST(LogwellCli, RefusedCommandLineExitsWithTwoAndSaysWhy) {
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"/GPS=FOO", "Parsing command line: Bad GPS type\n"},
      // Every save of the one download is checked, not only the last named.
      {"/GPS=TOPNAV /IGC_LOG=x/ /KML_LOG=y.kml",
       "Parsing command line: Unsupported GPS for IGC track log download\n"},
      {"/FOO", "Parsing command line: Unrecognized command: /FOO\n"},
      {"/COM=1 /GPS=FLYMASTER /KML_LOG=a.kml -o x",
       "Parsing command line: Argument 4: \"-o\" is not an option; options begin "
       "with \"/\"\n"},
      {"-o x", "logwell-cli: unknown option \"-o\"; the verbs are convert, flights, analyse, pilots, upload, validate, ftp-send, scan; options "
               "begin with \"/\" (see logwell-cli --help)\n"},
      {"convrt a.igc b.kml", "logwell-cli: unknown verb \"convrt\"; the verbs are convert, "
                             "flights, analyse, pilots, upload, validate, ftp-send, scan; options begin with \"/\" "
                             "(see logwell-cli --help)\n"},
      {"/GPS=MLRC /KML_LOG=x", "Parsing command line: Unsupported GPS for track log download\n"},
      {"/COM=1 /GPS=IQCOMPEO /TRACK=ALL /KML_LOG=a.kml",
       "Parsing command line: TRACK=ALL saves each flight to its own file: make \"a.kml\" a "
       "folder (ending in /) or put $time in it\n"},
      {"/COM=1 /GPS=IQCOMPEO /TRACK=all /RD_WPT=a.wpt",
       "Parsing command line: TRACK=ALL needs IGC_LOG, KML_LOG, OZI_LOG or MPS_LOG\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
  }
}

// A verb with the wrong arguments says what is wrong and shows its own usage.
TEST(LogwellCli, VerbsCheckTheirArguments) {
  const struct {
    const char* arguments;
    const char* problem;
  } cases[] = {
      {"convert", "logwell-cli convert: the input and output files are missing\n"},
      {"convert a.igc", "logwell-cli convert: the output file is missing\n"},
      {"convert a.igc b.kml c.gpx",
       "logwell-cli convert: one input and one output file only, \"c.gpx\" is one too many\n"},
      {"convert --json a.igc b.kml", "logwell-cli convert: unknown option \"--json\"\n"},
      {"flights", "logwell-cli flights: the instrument's port and type are missing\n"},
      {"analyse", "logwell-cli analyse: the track file is missing\n"},
      {"analyse --json", "logwell-cli analyse: the track file is missing\n"},
      {"analyse a.igc b.igc", "logwell-cli analyse: several files need --json\n"},
      {"analyse a.igc --rules fai", "logwell-cli analyse: unknown rules \"fai\"; the rules are olc, xcontest, ffvl and xcleague\n"},
      {"analyse a.igc --jsn", "logwell-cli analyse: unknown option \"--jsn\"\n"},
      {"analyse a.igc --exact --time-limit soon",
       "logwell-cli analyse: --time-limit needs a whole number of seconds (0: no limit)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    const std::string verb = std::string(c.arguments).substr(0, 7);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1), c.problem);
    EXPECT_NE(run.err.find("\nusage: logwell-cli " + verb + " "), std::string::npos) << run.err;
  }
  const CliRun run = RunCli("convert --help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.starts_with("usage: logwell-cli convert IN OUT [--track N]\n")) << run.out;
}

// A track of many fixes on one circle offers the exact optimiser countless near-equal triangles;
// it would search for minutes. --time-limit stops it with the best found, marked not proven.
TEST(LogwellCli, ExactSearchStopsAtItsTimeLimit) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("logwell-time-limit-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "circle.igc";
  {
    std::string igc = "AXXX001 circle\r\nHFDTE260523\r\n";
    const auto minutes = [](double degrees, int width) {
      const int whole = static_cast<int>(degrees);
      const int thousandths = static_cast<int>((degrees - whole) * 60000.0 + 0.5);
      return logwell::FormatText("%0*d%05d", width, whole, thousandths);
    };
    for (int s = 0; s < 60'000; ++s) {
      const double angle = 2.0 * 3.141592653589793 * s / 997.0;
      igc += logwell::FormatText("B%02d%02d%02d%sN%sEA0100001000\r\n", s / 3600 % 24, s / 60 % 60,
                                 s % 60, minutes(45.0 + 0.2 * std::cos(angle), 2).c_str(),
                                 minutes(8.0 + 0.28 * std::sin(angle), 3).c_str());
    }
    std::ofstream(file, std::ios::binary) << igc;
  }
  const auto start = std::chrono::steady_clock::now();
  const CliRun run = RunCli("analyse --exact --json --time-limit 1 '" + file.string() + "'");
  const auto took = std::chrono::steady_clock::now() - start;
  std::filesystem::remove_all(dir);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_LT(took, std::chrono::seconds(30));
  EXPECT_NE(run.out.find("\"proven\": false"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\"proven\": true"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"km\": "), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Time limit of 1 s reached: the best found is given, not proven\n"),
            std::string::npos)
      << run.err;
}

// Several files: one JSON line each, in the order given, a file that fails on its own line.
TEST(LogwellCli, AnalyseScoresManyFilesOneLineEach) {
  LOGWELL_REQUIRE_FIXTURES(dir);
  const CliRun run = RunCli("analyse --json --rules XContest '" + (dir / "igc/trifai-xcontest-189.65.igc").string() +
                            "' /nonexistent/x.igc '" + (dir / "igc/marcourt.igc").string() + "'");
  EXPECT_EQ(run.exitCode, 1);  // one file failed
  std::vector<std::string> lines;
  std::stringstream text(run.out);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_TRUE(lines[0].starts_with("{\"points\": ")) << lines[0];
  EXPECT_NE(lines[0].find("\"best\": {\"type\": \"closed_fai_triangle\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"claim\": {\"rules\": \"xcontest\", \"type\": \"closed_fai_triangle\", \"km\": 118.7"),
            std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"fixes\": [{\"time\": "), std::string::npos);
  EXPECT_NE(lines[0].find("\"altitude_fixes_left_out\": 34}"), std::string::npos);  // its V fixes
  EXPECT_TRUE(lines[1].starts_with("{\"file\": \"/nonexistent/x.igc\", \"error\": \"")) << lines[1];
  EXPECT_TRUE(lines[2].starts_with("{\"points\": 221,")) << lines[2];
}

// The report opens with the claim pilots score by, under its contest's name; the distance
// analysis follows under its own.
TEST(LogwellCli, AnalyseOpensWithTheContestClaim) {
  LOGWELL_REQUIRE_FIXTURES(dir);
  const auto file = [&](const char* name) { return "'" + (dir / "igc" / name).string() + "'"; };
  const struct {
    std::string arguments;
    const char* first;
  } cases[] = {
      {file("trifai-xcontest-189.65.igc"), "XContest: closed FAI triangle 118.73 km, 189.96 points"},
      {file("trifai-xcontest-307.57.igc") + " --rules XCLeague", "XC League: out and return 213.48 km, 426.96 points"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CliRun run = RunCli("analyse " + c.arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.first);
  }
  const CliRun run = RunCli("analyse " + file("trifai-xcontest-189.65.igc"));
  EXPECT_NE(run.out.find("\nDistance analysis (loop gap 800 m)\n"), std::string::npos);
}

// An access that cannot start (here: no such port) ends with 1 and its message on stderr, at
// once: the reason and the ports that exist, no countdown. The table's own refusal of a cell the
// GPS table does not allow is in the unattended tests, since the command line refuses every such
// cell before any access.
TEST(LogwellCli, AccessThatCannotStartFailsWithOne) {
  const auto start = std::chrono::steady_clock::now();
  const CliRun run = RunCli("/COM=/nonexistent/ttyX /GPS=DSX '/PILOT=Jane Doe' /KML_LOG=out /EXIT /WIN=0");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.starts_with("Connecting to GPS on /nonexistent/ttyX: Could not open serial port (sure it's the "
                                  "right one ?)\n  /nonexistent/ttyX: cannot be opened (No such file or directory)\n  "))
      << run.err;
  EXPECT_EQ(run.err.find("Connecting to GPS ("), std::string::npos);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_FALSE(std::filesystem::exists("out"));
}

std::size_t Occurrences(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// Two tracks (the second in two segments), two waypoints and a route whose second point is new.
constexpr const char* kSmallGpx = R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test">
  <wpt lat="46.5" lon="7.5"><ele>1000</ele><name>TAKEOF</name></wpt>
  <wpt lat="46.6" lon="7.6"><ele>600</ele><name>LANDIN</name></wpt>
  <rte><rtept lat="46.5" lon="7.5"><name>TAKEOF</name></rtept><rtept lat="46.7" lon="7.7"><name>TURN1</name></rtept></rte>
  <trk><trkseg>
    <trkpt lat="46.50" lon="7.50"><ele>1000</ele><time>2024-05-01T10:00:00Z</time></trkpt>
    <trkpt lat="46.51" lon="7.51"><ele>1010</ele><time>2024-05-01T10:00:10Z</time></trkpt>
    <trkpt lat="46.52" lon="7.52"><ele>1020</ele><time>2024-05-01T10:00:20Z</time></trkpt>
    <trkpt lat="46.53" lon="7.53"><ele>1030</ele><time>2024-05-01T10:00:30Z</time></trkpt>
    <trkpt lat="46.54" lon="7.54"><ele>1040</ele><time>2024-05-01T10:00:40Z</time></trkpt>
  </trkseg></trk>
  <trk><trkseg>
    <trkpt lat="46.60" lon="7.60"><ele>900</ele><time>2024-05-01T12:00:00Z</time></trkpt>
    <trkpt lat="46.61" lon="7.61"><ele>910</ele><time>2024-05-01T12:00:10Z</time></trkpt>
    <trkpt lat="46.62" lon="7.62"><ele>920</ele><time>2024-05-01T12:00:20Z</time></trkpt>
  </trkseg><trkseg>
    <trkpt lat="46.63" lon="7.63"><ele>930</ele><time>2024-05-01T12:05:00Z</time></trkpt>
    <trkpt lat="46.64" lon="7.64"><ele>940</ele><time>2024-05-01T12:05:10Z</time></trkpt>
    <trkpt lat="46.65" lon="7.65"><ele>950</ele><time>2024-05-01T12:05:20Z</time></trkpt>
  </trkseg></trk>
</gpx>
)";

// Each case: what is written (an element counted in the output) and what is reported.
TEST(LogwellCli, ConvertWritesEveryItemOrSaysWhatItLeftOut) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("logwell-convert-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string in = (dir / "small.gpx").string();
  std::ofstream(in) << kSmallGpx;
  const struct {
    const char* output;
    const char* options;
    int exitCode;
    const char* element;  // counted in the output file; nullptr: no file is written
    std::size_t count;
    const char* err;
  } cases[] = {
      {"one.igc", "", 1, nullptr, 0,
       "2 tracks in small.gpx; IGC holds one track, choose one with --track N:\n"
       "  1  2024-05-01 10:00:00  5 points\n"
       "  2  2024-05-01 12:00:00  6 points\n"},
      {"two.igc", "--track 2", 0, "\nB", 6,
       "1 track not written: only track 2 was asked for\n"
       "2 waypoints not written: IGC track output holds no waypoints\n"
       "1 route not written: IGC track output holds no routes\n"},
      {"none.igc", "--track 3", 1, nullptr, 0, "Convert: No track 3: the file holds 2\n"},
      {"all.gpx", "", 0, "<trkpt", 11,
       "1 route not written as such: GPX output holds no routes; 2 route points written as "
       "waypoints (1 of them new)\n"},
      {"all2.gpx", "", 0, "<wpt", 3, nullptr},
      {"all3.gpx", "", 0, "<trk>", 2, nullptr},
      {"points.cup", "", 0, "\n", 4,
       "2 tracks (11 points) not written: SeeYou holds no tracks\n"
       "1 route not written as such: SeeYou output holds no routes; 2 route points written as "
       "waypoints (1 of them new)\n"},
      {"tracks.kml", "", 0, "type=\"track\"", 2,
       "2 waypoints not written: KML track output holds no waypoints\n"
       "1 route not written: KML track output holds no routes\n"},
      {"first.plt", "--track 1", 0, "\n", 6 + 5, nullptr},
  };
  for (const auto& c : cases) {
    const auto out = dir / c.output;
    const CliRun run = RunCli("convert '" + in + "' '" + out.string() + "' " + c.options);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.output;
    if (c.err) {
      EXPECT_EQ(run.err, c.err) << c.output;
    }
    if (c.element == nullptr) {
      EXPECT_FALSE(std::filesystem::exists(out)) << c.output;
    } else {
      EXPECT_EQ(Occurrences(ReadAll(out), c.element), c.count) << c.output;
    }
  }
  // The KML of two tracks reads back as two tracks.
  const CliRun back = RunCli("convert '" + (dir / "tracks.kml").string() + "' '" +
                             (dir / "back.gpx").string() + "'");
  EXPECT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "back.gpx"), "<trk>"), 2u);
  EXPECT_EQ(RunCli("convert '" + in + "'").exitCode, 2);
  std::filesystem::remove_all(dir);
}

TEST(LogwellCli, ConvertRealMultiItemFiles) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const auto dir = std::filesystem::temp_directory_path() /
                   ("logwell-convert-real-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string gdb = (fixtures / "waypoints" / "gdb-sample.gpx").string();
  const auto to = [&](const char* name) { return "'" + (dir / name).string() + "'"; };

  // 9 tracks, 9 waypoints, a route of 9 of those waypoints: nothing may vanish quietly.
  CliRun run = RunCli("convert '" + gdb + "' " + to("a.igc"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Occurrences(run.err, " points\n"), 9u) << run.err;
  EXPECT_NE(run.err.find("  7  2005-05-01 11:37:24  664 points\n"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "a.igc"));

  run = RunCli("convert '" + gdb + "' " + to("a7.igc") + " --track 7");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "a7.igc"), "\nB"), 664u);
  EXPECT_NE(run.err.find("8 tracks not written"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("9 waypoints not written: IGC"), std::string::npos) << run.err;

  run = RunCli("convert '" + gdb + "' " + to("a.gpx"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string gpx = ReadAll(dir / "a.gpx");
  EXPECT_EQ(Occurrences(gpx, "<trkpt"), 747u);
  EXPECT_EQ(Occurrences(gpx, "<trk>"), 9u);
  EXPECT_EQ(Occurrences(gpx, "<wpt"), 9u);

  run = RunCli("convert '" + gdb + "' " + to("a.cup"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "a.cup"), "\n"), 1u + 9u);
  EXPECT_EQ(run.err,
            "9 tracks (747 points) not written: SeeYou holds no tracks\n"
            "1 route not written as such: SeeYou output holds no routes; 9 route points written "
            "as waypoints (0 of them new)\n");

  // expertgps.gpx: 86 waypoints, one route and one track; the track goes to IGC as it is.
  run = RunCli("convert '" + (fixtures / "waypoints" / "expertgps.gpx").string() + "' " +
               to("e.igc"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("86 waypoints not written: IGC"), std::string::npos) << run.err;

  // IGC to IGC keeps the file's own records: headers, download line and security record.
  const auto igc = fixtures / "igc" / "27GLQKF3.igc";
  run = RunCli("convert '" + igc.string() + "' " + to("same.igc"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadAll(dir / "same.igc"), ReadAll(igc));
  run = RunCli("convert '" + igc.string() + "' " + to("flight.kml"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("IGC header records (pilot, glider, competition, logger) not written"),
            std::string::npos)
      << run.err;

  // KML from other programs: a gx:Track, a vario's LineString timed by its TimeSpan, and a
  // converter's export whose untimed tracks and point markers are named, not dropped quietly.
  const auto tracks = fixtures / "tracks";
  run = RunCli("convert '" + (tracks / "google_ext.kml").string() + "' " + to("g.gpx"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "g.gpx"), "<trkpt"), 451u);
  run = RunCli("convert '" + (tracks / "skydrop.kml").string() + "' " + to("s.igc"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "Track \"Flight\": 1329 positions without times, timed evenly from its "
                     "TimeSpan begin to its end\n");
  const std::string skydrop = ReadAll(dir / "s.igc");
  EXPECT_EQ(Occurrences(skydrop, "\nB"), 1329u);
  EXPECT_NE(skydrop.find("\nB170005"), std::string::npos);
  EXPECT_NE(skydrop.find("\nB172232"), std::string::npos);
  run = RunCli("convert '" + (tracks / "segmented_tracks-track.kml").string() + "' " + to("t.gpx"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "t.gpx"), "<trkpt"), 4u);
  for (const char* note : {"Track \"With Times\": 19 positions without a time left out\n",
                           "Track \"Path\" not read: its 23 positions have no times\n",
                           "69 point placemarks not read as waypoints"}) {
    EXPECT_NE(run.err.find(note), std::string::npos) << note << "\n" << run.err;
  }
  std::filesystem::remove_all(dir);
}

TEST(LogwellCli, VersionAndHelp) {
  CliRun run = RunCli("--version");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "logwell-cli 5.07\n");
  run = RunCli("--help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("/GPS=NAME"), std::string::npos);
  EXPECT_NE(run.out.find("logwell-cli convert IN OUT"), std::string::npos);
  // Without arguments the help goes to stderr and the run counts as refused.
  run = RunCli("");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with("Usage: logwell-cli")) << run.err;
}

// The manual page names every GPS value, verb and exit code, and groff reads it without a
// warning (where groff is installed).
TEST(LogwellCli, ManualPageCoversTheCommandLineAndRendersCleanly) {
  const std::string page = ReadAll(LOGWELL_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  for (const logwell::GpsTypeEntry& gps : logwell::kGpsTypes) {
    EXPECT_NE(page.find(".B " + std::string(gps.name) + "\n"), std::string::npos) << gps.name;
  }
  for (const logwell::CliVerb& verb : logwell::CliVerbs()) {
    EXPECT_NE(page.find(".B logwell-cli " + std::string(verb.name)), std::string::npos)
        << verb.name;
  }
  for (const char* text : {".SH SYNOPSIS", ".SH EXIT STATUS", ".SH EXAMPLES", "$date", "$time",
                           "numbered from 0", "Flytec 5020, 5030, 6020, 6030", "XC League Rules 2024"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
  // Every option a verb's usage names ("--exact") and every "/" option of the help.
  const std::regex verbOption("--[a-z][a-z-]*");
  for (const logwell::CliVerb& verb : logwell::CliVerbs()) {
    const std::string usage = logwell::CliVerbUsage(verb);
    for (auto it = std::sregex_iterator(usage.begin(), usage.end(), verbOption); it != std::sregex_iterator(); ++it) {
      // groff writes each hyphen of an option as "\-".
      std::string escaped;
      for (const char c : it->str()) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(page.find(escaped), std::string::npos) << verb.name << " " << it->str();
    }
  }
  const std::string help = logwell::CommandLineHelp();
  const std::regex slashOption("/[A-Z][A-Z_0-9]*");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), slashOption); it != std::sregex_iterator(); ++it) {
    EXPECT_NE(page.find(it->str()), std::string::npos) << it->str();
  }
  if (std::system("command -v groff >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "groff is not installed";
  }
  const auto warnings = std::filesystem::temp_directory_path() /
                        ("logwell-man-" + std::to_string(::getpid()));
  const std::string command = std::string("groff -man -Tutf8 -ww '") + LOGWELL_MAN_PAGE +
                              "' >/dev/null 2>'" + warnings.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadAll(warnings), "");
  std::filesystem::remove(warnings);
}

TEST(LogwellCli, ConvertReadsTopNavigatorLogs) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell-tnc-cli-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // A Top Navigator log of four points south and west of Greenwich, below sea level.
  {
    std::ofstream tnc(dir / "flight.tnc", std::ios::binary);
    tnc << "@tn24051C0F05070428111536010004011**65\r\n"
           "0000000001FFFFFFFF0000FFF077\r\n0001000201FFF447FF0001FFF105\r\n"
           "0002000401FFE88FFF0002FFF272\r\n0003000601FFDCD7FF0003FFF306\r\n";
    std::ofstream(dir / "short.tnc", std::ios::binary) << "@tn24051C0F05070428111536010004011**65\r\n";
  }
  CliRun run = RunCli("convert '" + (dir / "flight.tnc").string() + "' '" + (dir / "flight.gpx").string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string gpx = ReadAll(dir / "flight.gpx");
  EXPECT_EQ(Occurrences(gpx, "<trkpt"), 4u);
  EXPECT_NE(gpx.find("<time>2007-04-28T11:15:42Z</time>"), std::string::npos);
  run = RunCli("convert '" + (dir / "short.tnc").string() + "' '" + (dir / "short.gpx").string() + "'");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("Missing end-of-file record"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "short.gpx"));
  std::filesystem::remove_all(dir);
}

// A time with a zone is moved to UTC on the way in: a GPX or KML point at 12:00+02:00 is a
// B record at 10:00:00, as GPSBabel writes it; a time without a zone is kept as written.
TEST(LogwellCli, ConvertMovesZonedTimesToUtc) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell-zone-cli-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::optional<std::filesystem::path> gpsbabel = logwell::testing::FindGpsbabel();
  const struct {
    const char* zone;
    const char* firstFix;  // the B record's time of the 12:00:00 point
  } cases[] = {{"+02:00", "B100000"}, {"-05:00", "B170000"}, {"Z", "B120000"}, {"", "B120000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zone);
    std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    std::string kml = "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                      "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document><Placemark>"
                      "<gx:Track>\n";
    std::string coords;
    for (int i = 0; i < 6; ++i) {
      const std::string time = logwell::FormatText("2023-05-26T12:00:%02d", i * 10) + c.zone;
      gpx += logwell::FormatText("<trkpt lat=\"46.%d\" lon=\"7.9\"><ele>1500</ele><time>", i) +
             time + "</time></trkpt>\n";
      kml += "<when>" + time + "</when>\n";
      coords += logwell::FormatText("<gx:coord>7.9 46.%d 1500</gx:coord>\n", i);
    }
    std::ofstream(dir / "in.gpx") << gpx << "</trkseg></trk></gpx>\n";
    std::ofstream(dir / "in.kml") << kml << coords << "</gx:Track></Placemark></Document></kml>\n";
    for (const char* input : {"in.gpx", "in.kml"}) {
      const CliRun run = RunCli("convert '" + (dir / input).string() + "' '" +
                                (dir / "out.igc").string() + "'");
      ASSERT_EQ(run.exitCode, 0) << input << ": " << run.err;
      const std::string igc = ReadAll(dir / "out.igc");
      EXPECT_NE(igc.find(std::string("\n") + c.firstFix), std::string::npos) << input;
      std::filesystem::remove(dir / "out.igc");
    }
    if (gpsbabel && *c.zone != '\0') {
      ASSERT_TRUE(logwell::testing::RunGpsbabel(
          *gpsbabel, {"-i", "gpx", "-f", (dir / "in.gpx").string(), "-o", "igc", "-F",
                      (dir / "babel.igc").string()}));
      EXPECT_NE(ReadAll(dir / "babel.igc").find(std::string("\n") + c.firstFix),
                std::string::npos);
    }
  }
  std::filesystem::remove_all(dir);
}

// analyse --json: the report alone on stdout; what the filters removed and what the file
// lacks (this one has no security record) go to stderr.
TEST(LogwellCli, AnalyseJsonKeepsNoticesOffStdout) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const CliRun run =
      RunCli("analyse --filters --json '" + (fixtures / "igc" / "LK8000_DEMO.IGC").string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("{\"points\": ")) << run.out.substr(0, 200);
  EXPECT_TRUE(run.out.ends_with("}\n")) << run.out.substr(run.out.size() - std::min<std::size_t>(run.out.size(), 200));
  EXPECT_EQ(run.err,
            "IGC file: no security record (G record): the file is unsigned\n"
            "Initialize track statistics dialog box: Position(s) have been removed during track "
            "speed analysis\n");
}

// The file jobs of the command line: LOGFILE's specified refusal, DAT2KML and WPTSRC/WPTDEST.
TEST(LogwellCli, CommandLineFileJobs) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell-filejobs-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  CliRun run = RunCli("/LOGFILE=" + (dir / "x.xyz").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Parsing command line: Unsupported track log file extension\n");
  run = RunCli("/LOGFILE=" + (dir / "flight").string());
  EXPECT_EQ(run.err, "Parsing command line: Missing track log file extension\n");

  // An old Trackvault file of six fixes (UTM zone 32T), checksum and validation word.
  std::vector<std::uint32_t> words = {0, 0, 6, 0x80000000u | 32u << 8 | 'T'};
  for (std::uint32_t i = 0; i < 6; ++i) {
    words.insert(words.end(), {1054029600u + i, 412345u + 10 * i, 5151234u + 20 * i});
  }
  std::uint32_t sum = 0;
  for (const std::uint32_t w : words) sum += w;
  words.push_back(0u - sum);
  {
    std::ofstream dat(dir / "flight.dat", std::ios::binary);
    for (const std::uint32_t w : words) {
      for (int shift = 24; shift >= 0; shift -= 8) dat.put(static_cast<char>(w >> shift & 0xFF));
    }
  }
  run = RunCli("/DAT2KML=" + (dir / "flight").string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Occurrences(ReadAll(dir / "flight.kml"), "SecondsFromTimeOfFirstPoint>"), 2u);

  std::ofstream(dir / "a.cup") << "name,code,country,lat,lon,elev,style\r\n"
                                  "\"Col du Pillon\",PILLON,FR,4621.000N,00713.000E,1546.0m,1\r\n";
  run = RunCli("/WPTSRC=" + (dir / "a.cup").string() + " /WPTDEST=" + (dir / "b.geo.wpt").string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadAll(dir / "b.geo.wpt").find("PILLON"), std::string::npos);
  EXPECT_NE(run.out.find("Waypoint file converted"), std::string::npos) << run.out;
  std::filesystem::remove_all(dir);
}

// Waypoint files convert to every waypoint format and read back as they were written.
TEST(LogwellCli, WaypointConversionsKeepEveryWaypoint) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell-wptconv-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto path = [&](const char* name) { return "'" + (dir / name).string() + "'"; };

  // A MapSource file of waypoints only goes to every waypoint output.
  const std::string mps = "'" + (fixtures / "waypoints" / "mapsource.mps").string() + "'";
  for (const char* out : {"m.gpx", "m.kml", "m.mps", "m.cup"}) {
    const CliRun run = RunCli("convert " + mps + " " + path(out));
    EXPECT_EQ(run.exitCode, 0) << out << ": " << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir / out)) << out;
  }

  // A description with a comma survives the OziExplorer file whole, and stderr says how.
  std::ofstream(dir / "c.cup") << "name,code,country,lat,lon,elev,style\r\n"
                                  "\"Col, du Pillon\",PILLON,FR,4621.000N,00713.000E,1546.0m,1\r\n";
  CliRun run = RunCli("convert " + path("c.cup") + " " + path("c.ozi.wpt"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("1 description(s) held a comma"), std::string::npos) << run.err;
  run = RunCli("convert " + path("c.ozi.wpt") + " " + path("back.cup"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadAll(dir / "back.cup").find("\"Col du Pillon\",PILLON,,4621.000N,00713.000E,1546.0m"),
            std::string::npos)
      << ReadAll(dir / "back.cup");

  // Identifiers that do not fit (too long, lower case) are cut and upper-cased, not refused.
  std::ofstream(dir / "long.wpt") << "OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\n"
                                     "Reserved 2\r\nReserved 3\r\n"
                                     "1,Pillon-Col,46.35,7.21,,0,1,3,0,65535,Col du Pillon,0,0,0,5072\r\n"
                                     "2,top,46.36,7.22,,0,1,3,0,65535,Summit,0,0,0,6000\r\n";
  std::ofstream(dir / "long.geo") << "$FormatGEO\r\nsummit1234  N 46 21 36.00    E 007 13 12.00  1546  Top\r\n";
  for (const char* in : {"long.wpt", "long.geo"}) {
    run = RunCli("convert " + path(in) + " " + path("ids.cup"));
    EXPECT_EQ(run.exitCode, 0) << in << ": " << run.err;
    EXPECT_NE(run.err.find("identifier(s) changed to fit"), std::string::npos) << run.err;
  }
  EXPECT_NE(ReadAll(dir / "ids.cup").find(",SUMMIT,"), std::string::npos) << ReadAll(dir / "ids.cup");
  std::filesystem::remove_all(dir);
}

// An IGC file of several flights converts like any file of several tracks.
TEST(LogwellCli, ConvertIgcFileOfSeveralFlights) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("logwell-ping-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string ping = "'" + (fixtures / "igc" / "PING.IGC").string() + "'";
  CliRun run = RunCli("convert " + ping + " '" + (dir / "all.gpx").string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::size_t tracks = Occurrences(ReadAll(dir / "all.gpx"), "<trk>");
  EXPECT_GT(tracks, 3u);
  run = RunCli("convert " + ping + " '" + (dir / "one.igc").string() + "'");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(logwell::FormatText("%zu tracks in PING.IGC", tracks)), std::string::npos)
      << run.err;
  run = RunCli("convert " + ping + " '" + (dir / "two.igc").string() + "' --track 2");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadAll(dir / "two.igc").find("HFDTEDATE:290614"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
