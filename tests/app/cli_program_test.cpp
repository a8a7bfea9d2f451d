// Runs the built logwell-cli as a script would and checks its exit code and its messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
      {"/FOO", "Parsing command line: Unrecognized command\n"},
      {"/GPS=MLRC /KML_LOG=x", "Parsing command line: Unsupported GPS for track log download\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
  }
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
}

}  // namespace
