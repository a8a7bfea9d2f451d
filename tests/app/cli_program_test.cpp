// Runs the built logwell-cli as a script would and checks its exit code and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/command_line.h"
#include "app/gps_table.h"

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
      {"/FOO", "Parsing command line: Unrecognized command: /FOO\n"},
      {"/COM=1 /GPS=FLYMASTER /KML_LOG=a.kml -o x",
       "Parsing command line: Error at position 38: \"-o\" is not an option; options begin "
       "with \"/\"\n"},
      {"-o x", "logwell-cli: unknown option \"-o\"; the verbs are convert, analyse; options "
               "begin with \"/\" (see logwell-cli --help)\n"},
      {"convrt a.igc b.kml", "logwell-cli: unknown verb \"convrt\"; the verbs are convert, "
                             "analyse; options begin with \"/\" (see logwell-cli --help)\n"},
      {"/GPS=MLRC /KML_LOG=x", "Parsing command line: Unsupported GPS for track log download\n"},
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
      {"analyse", "logwell-cli analyse: the track file is missing\n"},
      {"analyse --json", "logwell-cli analyse: the track file is missing\n"},
      {"analyse a.igc b.igc", "logwell-cli analyse: one file only, \"b.igc\" is one too many\n"},
      {"analyse a.igc --jsn", "logwell-cli analyse: unknown option \"--jsn\"\n"},
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
  EXPECT_TRUE(run.out.starts_with("usage: logwell-cli convert IN OUT\n")) << run.out;
}

TEST(LogwellCli, InstrumentNotYetBuiltFailsWithOne) {
  const CliRun run = RunCli("/COM=/dev/ttyUSB0 /GPS=FLYMASTER '/PILOT=Jane Doe' /KML_LOG=out /EXIT /WIN=0");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "GPS access: Unsupported access function\n");
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
                           "numbered from 0", "Flytec 5020, 5030, 6020, 6030"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
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

}  // namespace
