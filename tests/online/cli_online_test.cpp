// The online verbs of logwell-cli against the loopback servers: exit codes and messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "online/loopback_server.h"
#include "support/fixtures.h"

namespace {

using logwell::testing::FreshFolder;
using logwell::testing::LoopbackServer;
using logwell::testing::ScriptPath;

struct CliRun {
  int exitCode;
  std::string output;  // stdout and stderr
};

CliRun RunCli(const std::string& arguments, const std::string& password,
              const std::string& configHome = "/nonexistent") {
  const std::string command = "LOGWELL_PASSWORD='" + password + "' XDG_CONFIG_HOME=" + configHome +
                              " " + LOGWELL_CLI_PATH + " " + arguments + " 2>&1 </dev/null";
  CliRun run{-1, {}};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
    run.output.append(buffer.data(), n);
  }
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(OnlineCli, VerbsReportAndExit) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string igc = (fixtures / "igc" / "18BF14K1.igc").string();
  const auto dir = FreshFolder("cli");
  // The stand-in speaks plain HTTP, which the settings must allow for the logbook.
  const auto config = dir / "config";
  std::filesystem::create_directories(config / "logwell");
  std::ofstream(config / "logwell" / "logwell.ini") << "[Logwell]\nLogbookAllowHttp=1\n";
  {
    LoopbackServer server({"/usr/bin/python3", ScriptPath("service_server.py"), "normal", dir.string()});
    CliRun run = RunCli("validate " + igc + " --server " + server.Address(), "");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("positions read (G-record ok)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Validation OK"), std::string::npos);

    run = RunCli("upload " + igc + " --user pilot --model 'Ozone Rush' --class 2 --server " +
                     server.Address(),
                 "sécret&x", config.string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("user 4711, trip 99"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("cret"), std::string::npos);
  }
  {
    LoopbackServer server(
        {"/usr/bin/python3", ScriptPath("service_server.py"), "fail_validation", dir.string()});
    const CliRun run = RunCli("validate " + igc + " --server " + server.Address(), "");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Validation ERROR"), std::string::npos) << run.output;
  }
  {
    LoopbackServer server(
        {"/usr/bin/python3", ScriptPath("service_server.py"), "uescape_validation", dir.string()});
    const CliRun run = RunCli("validate " + igc + " --server " + server.Address(), "");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("unreadable reply from the validation service"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Validation ERROR"), std::string::npos) << run.output;
  }
  CliRun run = RunCli("validate " + igc, "");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("No validation server configured"), std::string::npos) << run.output;
  run = RunCli("upload " + igc + " --password x", "");
  EXPECT_EQ(run.exitCode, 2) << run.output;

  const auto home = dir / "ftp";
  std::filesystem::create_directories(home);
  LoopbackServer ftp({"/usr/bin/python3", ScriptPath("ftp_server.py"), home.string(), "plain"});
  // TLS unless --no-tls: the plain server is refused, and nothing arrives.
  run = RunCli("ftp-send " + igc + " --server 127.0.0.1:" + std::to_string(ftp.Port()) +
                   " --user pilot --remote copy.igc --passive",
               "s3cret");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("Connect(): "), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(home / "copy.igc"));
  run = RunCli("ftp-send " + igc + " --server 127.0.0.1:" + std::to_string(ftp.Port()) +
                   " --user pilot --remote copy.igc --passive --no-tls",
               "s3cret");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("File sent"), std::string::npos);
  EXPECT_EQ(logwell::testing::ReadWholeFile(home / "copy.igc"),
            logwell::testing::ReadWholeFile(igc));
}

}  // namespace
