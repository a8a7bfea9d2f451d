#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/scripted_ui.h"

namespace logwell {
namespace {

using testing::ScriptedUi;
using testing::UiEvent;
using testing::UiEventKind;

struct Parsed {
  ParseResult result;
  std::vector<UiEvent> boxes;
};

Parsed Parse(std::string_view text, const CommandLineHandlers& handlers = {}) {
  ScriptedUi ui;
  Parsed parsed;
  parsed.result = ParseCommandLine(text, ui, handlers);
  parsed.boxes = ui.Boxes();
  return parsed;
}

UiEvent ParseError(std::string text) {
  return {UiEventKind::Error, std::string(kCommandLineCaption), std::move(text)};
}

// Command lines that are refused: each gives exactly one box with its message and exit code 2.
struct RefusedCase {
  const char* commandLine;
  const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.commandLine; }

class RefusedCommandLine : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedCommandLine, ShowsItsMessageAndExitsWithTwo) {
  const auto [commandLine, message] = GetParam();
  const Parsed parsed = Parse(commandLine);
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::BadCommandLine);
  EXPECT_EQ(ExitCodeFor(parsed.result.outcome), 2);
  EXPECT_EQ(parsed.result.options, nullptr);
  EXPECT_EQ(parsed.boxes, std::vector<UiEvent>{ParseError(message)});
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RefusedCommandLine,
    ::testing::Values(
        RefusedCase{"/GPS=FOO", "Bad GPS type"},
        RefusedCase{"/GPS=", "Bad GPS type"},
        RefusedCase{"/FOO", "Unrecognized command: /FOO"},
        RefusedCase{"/gps=FLYMASTER /kml_lg=a.kml", "Unrecognized command: /kml_lg"},
        RefusedCase{"/", "Unrecognized command: /"},
        // Cut to its first 16 characters, the keyword is still no option; the message names
        // it as typed.
        RefusedCase{"/NOLOOPOPTNOLOOPOPT=1", "Unrecognized command: /NOLOOPOPTNOLOOPOPT"},
        RefusedCase{"/GPS=MLRC /KML_LOG=x", "Unsupported GPS for track log download"},
        RefusedCase{"/GPS=mlrc /COMP_LOG=igc", "Unsupported GPS for track log download"},
        RefusedCase{"/GPS=TOPNAV /IGC_LOG=dir", "Unsupported GPS for IGC track log download"},
        RefusedCase{"/GPS=MTK /RD_WPT=w.wpt", "Unsupported GPS for waypoint download"},
        RefusedCase{"/GPS=LOGIT /WR_WPT=w.wpt", "Unsupported GPS for waypoint upload"},
        RefusedCase{"/GPS=FLYMASTER /WR_CTR=a.txt", "Unsupported GPS for CTR upload"},
        RefusedCase{"/GPS=MLRC /FLIGHTLIST", "Unsupported GPS for flightlist download"},
        RefusedCase{"/GPS=GARMIN /FLIGHTLIST",
                    "This instrument keeps one track log, no flight list: save it with /IGC_LOG or /KML_LOG"},
        RefusedCase{"/GPS=FLYMASTER /FLIGHTLIST", "Missing notify window for flightlist download"},
        RefusedCase{"/GPS=SYRIDE /USERNAME=Jane", "Unsupported GPS for username upload"},
        RefusedCase{"/GPS=FLYMASTER /USB /KML_LOG=x", "USB is not supported"},
        RefusedCase{"/COM=0", "Bad COM port"},
        RefusedCase{"/COM=x3", "Bad COM port"},
        RefusedCase{"/COM", "Bad COM port"},
        RefusedCase{"/KML_LOG", "Missing log file name"},
        RefusedCase{"/IGC_LOG=", "Missing log file directory name"},
        RefusedCase{"/WR_CTR", "Missing CTR file name"},
        RefusedCase{"/WIN=3", "Bad window size"},
        RefusedCase{"/CHKKML", "Missing file name"},
        RefusedCase{"/COMP_LOG=GPX", "Bad competition fle type"},
        RefusedCase{"/COMP_DIR", "Missing competition directory name"},
        RefusedCase{"/COMP_FS", "Missing flight score file name"},
        RefusedCase{"/COMPID=12a", "Bad COMPID value"},
        RefusedCase{"/POSY=down", "Bad POSY value"},
        RefusedCase{"/FILTER=2023061512000", "Bad track log start filter time"},
        RefusedCase{"/FILTER=20231315120000", "Bad track log start filter time"},
        RefusedCase{"/FILTEREND=20230615246000", "Bad track log stop filter time"},
        // Before 1990 there is no GarminTime; such a year must not wrap round.
        RefusedCase{"/FILTER=19800615120000", "Bad track log start filter time"},
        RefusedCase{"/FILTER=20230615120000 /FILTEREND=20230615110000",
                    "Comp. start time after end time"},
        RefusedCase{"/FILTEREND=20230615110000 /FILTER=20230615120000",
                    "Comp. stop time before start time"},
        RefusedCase{"/NOTIFY", "Missing window class name"},
        RefusedCase{"/SESSION", "Missing session number"},
        RefusedCase{"/SESSION=4294967296", "Bad session number"},
        RefusedCase{"/SENDLOG=-5", "Bad SENDLOG value"},
        RefusedCase{"/USERNAME", "Missing username"},
        RefusedCase{"/TIMEOUT=soon", "Bad TIMEOUT value"},
        RefusedCase{"/TRACK", "Missing TRACK list"},
        RefusedCase{"/TRACK=1,,2", "Bad TRACK value"},
        RefusedCase{"/TRACK=1,2,", "Bad TRACK value"},
        RefusedCase{"/TRACK=1;2", "Bad TRACK value"},
        RefusedCase{"/TRACK=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21",
                    "Bad TRACK value"},
        RefusedCase{"/WPTSRC", "Missing wpt. source file name"},
        RefusedCase{"/WPTDEST", "Missing wpt. destination file name"},
        RefusedCase{"/WPTSRC=a.wpt", "Missing file name(s) for waypoint file conversion"},
        RefusedCase{"\"flight.igc", "Bad double apostrophe (\") balance"},
        // A character outside an option, counted from 1, shown with the word it begins and
        // the option it sticks to.
        RefusedCase{"/GPS=FLYMASTER x", "Error at position 16: \"x\" is not an option; "
                                        "options begin with \"/\""},
        RefusedCase{"/COM=1 /GPS=FLYMASTER -o x", "Error at position 23: \"-o\" is not an option; "
                                                  "options begin with \"/\""},
        RefusedCase{"/PILOT=\"a b\"c /EXIT", "Error at position 13: \"c\" right after "
                                             "/PILOT=\"a b\"; separate options with a space"},
        RefusedCase{"/WIN=0 \"/KML_LOG=a.kml\"",
                    "Error at position 8: \"\"/KML_LOG=a.kml\"\" is not an option; "
                    "options begin with \"/\""},
        RefusedCase{"/KML_LOG=\"/srv/logs/a very long file name.kml\"x",
                    "Error at position 47: \"x\" right after "
                    "...very long file name.kml\"; separate options with a space"}));

TEST(CommandLine, EmptyTextStartsInteractively) {
  const Parsed parsed = Parse("");
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_EQ(parsed.result.options, nullptr);
  EXPECT_TRUE(parsed.boxes.empty());
}

TEST(CommandLine, DownloadOptionsFillTheRecord) {
  const Parsed parsed = Parse(
      "/com=12 /gps=flymaster /KML_LOG=out.kml /PILOT=\"Jane  Doe\" /ID=\"HB 123\" /EXIT "
      "/OVERWRITE /WIN=0 /TIMEOUT=100000 /TRACK=\"3, 1 ,7\" /SESSION=42 /POSX=-20 /POSY=30 "
      "/COMPID=7 /CIVLID=12345 /NOSPLIT /NOCHECK /PWROFF /NOLOOPOPT /COMP_SPECIAL /SENDLOG=10");
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  ASSERT_TRUE(parsed.boxes.empty());
  const CommandLineOptions& o = *parsed.result.options;
  EXPECT_EQ(o.comPortName, "\\\\.\\COM12");
  EXPECT_EQ(o.comDevicePath, "/dev/ttyS11");
  EXPECT_EQ(o.gpsCode, kGpsFlymaster);
  EXPECT_EQ(o.action, CommandAction::KmlLog);
  EXPECT_EQ(o.fileName, "out.kml");
  EXPECT_EQ(o.pilotName, "Jane  Doe");
  EXPECT_EQ(o.gliderId, "HB 123");
  EXPECT_TRUE(o.exitWhenDone && o.overwrite && o.noSplit && o.noCheck && o.powerOff &&
              o.noLoopOpt && o.compSpecial);
  EXPECT_EQ(o.showCommand, ShowCommand::Hidden);
  EXPECT_EQ(o.connectSeconds, 86400);
  const std::array<int, 20> tracks{3, 1, 7, -1, -1, -1, -1, -1, -1, -1,
                                   -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  EXPECT_EQ(o.trackNumbers, tracks);
  EXPECT_TRUE(o.sessionGiven);
  EXPECT_EQ(o.sessionNumber, 42u);
  EXPECT_EQ(o.dialogX, -20);
  EXPECT_EQ(o.dialogY, 30);
  EXPECT_EQ(o.compId, 7);
  EXPECT_EQ(o.civlId, 12345);
  EXPECT_EQ(o.sendLogSeconds, 10);
  ASSERT_TRUE(UnattendedAccessFor(o));
  EXPECT_EQ(*UnattendedAccessFor(o),
            (UnattendedAccess{AccessType::ReadTrackLog, {ProtocolType::Flymaster, 1}}));
}

TEST(CommandLine, DefaultsOfAnOptionRecord) {
  const Parsed parsed = Parse("/KML_LOG=a.kml");
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  const CommandLineOptions& o = *parsed.result.options;
  EXPECT_EQ(o.gpsCode, kGpsGarmin);
  EXPECT_EQ(o.compId, -1);
  EXPECT_EQ(o.civlId, -1);
  EXPECT_EQ(o.trackNumbers, NoTrackNumbers());
  EXPECT_EQ(o.showCommand, ShowCommand::Normal);
  EXPECT_TRUE(o.comPortName.empty());
  EXPECT_EQ(o.connectSeconds, 0);
}

TEST(CommandLine, ValuesAndPorts) {
  struct Case {
    const char* commandLine;
    std::string CommandLineOptions::*field;
    std::string expected;
  };
  const std::string longName(300, 'n');
  const Case cases[] = {
      {"/COM=3", &CommandLineOptions::comPortName, "COM3"},
      {"/COM=3", &CommandLineOptions::comDevicePath, "/dev/ttyS2"},
      {"/COM=10", &CommandLineOptions::comPortName, "\\\\.\\COM10"},
      {"/COM=/dev/ttyUSB0", &CommandLineOptions::comPortName, "/dev/ttyUSB0"},
      {"/COM=/dev/ttyUSB0", &CommandLineOptions::comDevicePath, "/dev/ttyUSB0"},
      // An empty PILOT value leaves the name given before.
      {"/PILOT=Jane /PILOT=", &CommandLineOptions::pilotName, "Jane"},
      // A quoted value runs to the end when its closing quote is missing.
      {"/PILOT=\"Jane Doe", &CommandLineOptions::pilotName, "Jane Doe"},
      {"/PILOT=\"\"", &CommandLineOptions::pilotName, ""},
      {"/ID=123456789012345678901234", &CommandLineOptions::gliderId, "12345678901234567890"},
      {"/USERNAME=Jane /GPS=FLYMASTEROLD", &CommandLineOptions::pilotName, "Jane"},
      {"/COMP_DIR=/srv/comp /COMP_LOG=kml", &CommandLineOptions::compDir, "/srv/comp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    const Parsed parsed = Parse(c.commandLine);
    ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
    ASSERT_TRUE(parsed.boxes.empty());
    EXPECT_EQ((*parsed.result.options).*c.field, c.expected);
  }
  // Values are kept to 260 characters, keywords to 16.
  const Parsed parsed = Parse("/LOGFILE=" + longName);
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_EQ(parsed.result.options->fileName, std::string(260, 'n'));
}

TEST(CommandLine, TimeoutIsClampedAndFilterTimesAreConverted) {
  struct Case {
    const char* commandLine;
    int seconds;
  };
  for (const Case& c : {Case{"/TIMEOUT=100000", 86400}, Case{"/TIMEOUT=-3", 0},
                        Case{"/TIMEOUT=99999999999999999999", 86400}, Case{"/TIMEOUT=60", 60}}) {
    const Parsed parsed = Parse(c.commandLine);
    ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go) << c.commandLine;
    EXPECT_EQ(parsed.result.options->connectSeconds, c.seconds) << c.commandLine;
  }
  const Parsed parsed = Parse("/FILTER=20230615120000 /FILTEREND=20230615183000");
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_EQ(parsed.result.options->filterStart,
            CalendarToGarminTime({2023, 6, 0, 15, 12, 0, 0, 0}));
  EXPECT_EQ(parsed.result.options->filterEnd - parsed.result.options->filterStart, 6u * 3600 + 1800);
}

TEST(CommandLine, LastActionCounts) {
  const Parsed parsed = Parse("/KML_LOG=a.kml /IGC_LOG=/srv/logs");
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_EQ(parsed.result.options->action, CommandAction::IgcLog);
  EXPECT_EQ(parsed.result.options->fileName, "/srv/logs");
}

TEST(CommandLine, PlainFileNameOpensTheFile) {
  for (const char* text : {"flight.igc", "\"my flight.igc\"", "\"my flight.igc\" /WIN=0"}) {
    const Parsed parsed = Parse(text);
    ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go) << text;
    EXPECT_EQ(parsed.result.options->action, CommandAction::LogFile);
    EXPECT_TRUE(parsed.result.options->fileName.ends_with("flight.igc"));
  }
}

// Every instrument the checks let through has the access the run then starts, and every one
// they refuse has none.
TEST(CommandLine, ChecksAgreeWithTheGpsTable) {
  struct Column {
    const char* option;
    GpsColumn column;
  };
  const Column columns[] = {{"/KML_LOG=a.kml", GpsColumn::TrackLogRead},
                            {"/RD_WPT=a.wpt", GpsColumn::WaypointRead},
                            {"/WR_WPT=a.wpt", GpsColumn::WaypointWrite}};
  for (const GpsTypeEntry& gps : kGpsTypes) {
    for (const Column& column : columns) {
      const std::string text = "/GPS=" + std::string(gps.name) + " " + column.option;
      SCOPED_TRACE(text);
      const Parsed parsed = Parse(text);
      const auto access = GpsAccessFor(gps.code, column.column, false);
      EXPECT_EQ(parsed.result.outcome == ParseOutcome::Go, access.has_value());
      if (access) {
        EXPECT_EQ(UnattendedAccessFor(*parsed.result.options)->gps, *access);
      }
    }
  }
}

TEST(CommandLine, GarminOverUsbUsesTheUsbProtocol) {
  const Parsed parsed = Parse("/USB /WR_CTR=a.txt");
  ASSERT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_EQ(*UnattendedAccessFor(*parsed.result.options),
            (UnattendedAccess{AccessType::UploadCtr, {ProtocolType::GarminUsb, 0}}));
  EXPECT_EQ(GpsAccessFor(14, GpsColumn::WaypointRead, true),
            (GpsAccess{ProtocolType::Digifly, 2}));
}

TEST(CommandLine, ConversionsWithoutTheirPartFailClearly) {
  Parsed parsed = Parse("/IGC2KML=a.igc");
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::Failed);
  EXPECT_EQ(ExitCodeFor(parsed.result.outcome), 1);
  EXPECT_EQ(parsed.boxes,
            std::vector<UiEvent>{ParseError("IGC to KML conversion is not supported yet")});

  parsed = Parse("/COMP_FS=pilots.csv /COMP_LOG=KML");
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::BadCommandLine);
  EXPECT_EQ(parsed.boxes,
            std::vector<UiEvent>{ParseError("Flight score files are not supported yet")});
}

TEST(CommandLine, HandlersRunTheConversionsAndTheCompetitionList) {
  std::vector<std::string> calls;
  CommandLineHandlers handlers;
  handlers.convertDatToKml = [&](const CommandLineOptions& o, Ui&) {
    calls.push_back("dat " + o.fileName);
    return true;
  };
  handlers.convertWaypointFile = [&](const CommandLineOptions& o, Ui&) {
    calls.push_back("wpt " + o.fileName + " " + o.secondFileName);
    return o.fileName != "bad.wpt";
  };
  handlers.loadFlightScoreFile = [&](const std::string& file, Ui& ui) {
    if (file == "broken.fs") {
      ui.ShowErrorBox("Pilot list read error", "Reading pilot list");
      return false;
    }
    calls.push_back("fs " + file);
    return true;
  };
  handlers.enableCompetitionMode = [&](bool special) {
    calls.push_back(special ? "competition special" : "competition");
  };

  EXPECT_EQ(Parse("/DAT2KML=f.dat", handlers).result.outcome, ParseOutcome::Done);
  Parsed parsed = Parse("/WPTSRC=a.wpt /WPTDEST=b.cup", handlers);
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::Done);
  EXPECT_EQ(parsed.boxes, (std::vector<UiEvent>{{UiEventKind::Info,
                                                 std::string(kCommandLineCaption),
                                                 "Waypoint file converted"}}));
  parsed = Parse("/WPTSRC=bad.wpt /WPTDEST=b.cup", handlers);
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::Failed);
  EXPECT_EQ(parsed.boxes, std::vector<UiEvent>{ParseError("Waypoint file conversion failed")});

  parsed = Parse("/COMP_FS=flights.fs /COMP_SPECIAL /COMP_LOG=IGC", handlers);
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::Go);
  EXPECT_TRUE(parsed.result.options->pilotListLoaded);
  // A failed load ends the parse with the loader's own message only.
  parsed = Parse("/COMP_FS=broken.fs /COMP_LOG=IGC", handlers);
  EXPECT_EQ(parsed.result.outcome, ParseOutcome::BadCommandLine);
  EXPECT_EQ(parsed.boxes, (std::vector<UiEvent>{{UiEventKind::Error, "Reading pilot list",
                                                 "Pilot list read error"}}));

  EXPECT_EQ(calls, (std::vector<std::string>{"dat f.dat", "wpt a.wpt b.cup", "wpt bad.wpt b.cup",
                                             "fs flights.fs", "competition special"}));
}

// Each process argument is one option with its value taken whole: a value holding spaces,
// quotes or what looks like another option never becomes a second option.
TEST(CommandLine, EachArgumentIsOneOption) {
  ScriptedUi ui;
  std::vector<const char*> args = {"/PILOT=Jane Doe", "/GPS=flymaster", "/ID=\"A B\"", "",
                                   "/KML_LOG=my \"best\" flight.kml"};
  ParseResult result = ParseArguments(args, ui);
  ASSERT_EQ(result.outcome, ParseOutcome::Go);
  EXPECT_EQ(result.options->pilotName, "Jane Doe");
  EXPECT_EQ(result.options->gliderId, "A B");
  EXPECT_EQ(result.options->action, CommandAction::KmlLog);
  EXPECT_EQ(result.options->fileName, "my \"best\" flight.kml");

  args = {"/LOGFILE=my \"best\" flight.igc"};
  result = ParseArguments(args, ui);
  ASSERT_EQ(result.outcome, ParseOutcome::Go);
  EXPECT_EQ(result.options->action, CommandAction::LogFile);
  EXPECT_EQ(result.options->fileName, "my \"best\" flight.igc");

  // A plain file name with quotes, as one argument.
  args = {"my \"best\" flight.igc"};
  result = ParseArguments(args, ui);
  ASSERT_EQ(result.outcome, ParseOutcome::Go);
  EXPECT_EQ(result.options->action, CommandAction::LogFile);
  EXPECT_EQ(result.options->fileName, "my \"best\" flight.igc");

  // Options hidden in the value of another are part of that value.
  args = {"/PILOT=Jane /EXIT /WIN=0", "/KML_LOG=a.kml"};
  result = ParseArguments(args, ui);
  ASSERT_EQ(result.outcome, ParseOutcome::Go);
  EXPECT_EQ(result.options->pilotName, "Jane /EXIT /WIN=0");
  EXPECT_FALSE(result.options->exitWhenDone);
  EXPECT_EQ(result.options->showCommand, ShowCommand::Normal);
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST(CommandLine, AnOptionInsideAQuotedValueDoesNotRun) {
  std::vector<std::string> converted;
  CommandLineHandlers handlers;
  handlers.convertIgcToKml = [&converted](const CommandLineOptions& options, Ui&) {
    converted.push_back(options.fileName);
    return false;
  };
  ScriptedUi ui;
  const std::vector<const char*> args = {"/IGC2KML=\"inj/a.igc\" /LOGFILE=inj/x"};
  const ParseResult result = ParseArguments(args, ui, handlers);
  EXPECT_EQ(result.outcome, ParseOutcome::Failed);
  EXPECT_EQ(result.options, nullptr);
  EXPECT_EQ(converted, std::vector<std::string>{"\"inj/a.igc\" /LOGFILE=inj/x"});
}

TEST(CommandLine, AnArgumentThatIsNoOptionIsRefused) {
  ScriptedUi ui;
  const std::vector<const char*> args = {"/KML_LOG=a.kml", "", "b.kml"};
  const ParseResult result = ParseArguments(args, ui);
  EXPECT_EQ(result.outcome, ParseOutcome::BadCommandLine);
  EXPECT_EQ(ui.Boxes(), std::vector<UiEvent>{ParseError(
                            "Argument 3: \"b.kml\" is not an option; options begin with \"/\"")});
}

TEST(CommandLine, SingleArgumentNamingAnExistingFileOpensIt) {
  const auto dir = std::filesystem::temp_directory_path() / "logwell cmdline test";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "flight one.igc").string();
  std::ofstream(file) << "AXXX\r\n";
  ScriptedUi ui;
  const std::vector<const char*> args = {file.c_str()};
  const ParseResult result = ParseArguments(args, ui);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(result.outcome, ParseOutcome::Go);
  EXPECT_EQ(result.options->action, CommandAction::LogFile);
  EXPECT_EQ(result.options->fileName, file);
  EXPECT_TRUE(ui.Boxes().empty());
}

// --help names every GPS value with the instruments it covers, the verbs, the name macros and
// where track numbers start.
TEST(CommandLine, HelpCoversEveryGpsValueAndTheVerbs) {
  const std::string help = CommandLineHelp();
  for (const GpsTypeEntry& gps : kGpsTypes) {
    SCOPED_TRACE(gps.name);
    const std::string_view instruments = GpsInstruments(gps.code);
    ASSERT_FALSE(instruments.empty());
    const std::size_t line = help.find("\n  " + std::string(gps.name) + " ");
    ASSERT_NE(line, std::string::npos);
    // The first words of its instruments follow the value on its line.
    const std::string_view start = instruments.substr(0, std::min<std::size_t>(20, instruments.size()));
    const std::size_t afterName = line + 3 + gps.name.size();
    EXPECT_EQ(help.find(start, afterName), help.find_first_not_of(' ', afterName));
  }
  EXPECT_TRUE(GpsInstruments(kGpsCodeCount).empty());
  for (const char* text :
       {"Flytec 5020, 5030, 6020, 6030; Brauniger IQ-Compeo", "logwell-cli convert IN OUT",
        "logwell-cli analyse FILE... [--json] [--exact]", "$date", "$time",
        "numbered from 0", "/TRACK=0 is its first track"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  // No line is wider than a terminal of 80 columns.
  std::size_t lineStart = 0;
  for (std::size_t end = help.find('\n'); end != std::string::npos;
       lineStart = end + 1, end = help.find('\n', lineStart)) {
    EXPECT_LE(end - lineStart, 79u) << help.substr(lineStart, end - lineStart);
  }
}

TEST(CommandLine, VerbsAndTheirUsage) {
  ASSERT_NE(FindCliVerb("convert"), nullptr);
  EXPECT_EQ(FindCliVerb("Convert"), nullptr);
  EXPECT_TRUE(CliVerbUsage(*FindCliVerb("convert")).starts_with("usage: logwell-cli convert IN OUT [--track N]\n"));
  for (const CliVerb& verb : CliVerbs()) {
    EXPECT_TRUE(verb.description.ends_with("\n")) << verb.name;
  }
}

TEST(CommandLine, ComPortNamesResolveToDevices) {
  EXPECT_EQ(ResolveComPort("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolveComPort("\\\\.\\COM12"), "/dev/ttyS11");
  EXPECT_EQ(ResolveComPort("/dev/ttyACM0"), "/dev/ttyACM0");
  EXPECT_EQ(ResolveComPort("COM0"), "COM0");
}

}  // namespace
}  // namespace logwell
