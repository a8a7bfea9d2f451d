// The online verbs of logwell-cli against the loopback servers: exit codes and messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

// While an upload waits on a server that never answers, the password is no longer in the
// process's environment: LOGWELL_PASSWORD was taken out (and its bytes wiped) when read.
TEST(OnlineCli, PasswordLeavesTheEnvironmentOnceRead) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const std::string igc = (fixtures / "igc" / "18BF14K1.igc").string();
  LoopbackServer silent({"/usr/bin/python3", "-c",
                         "import socket,time\n"
                         "s=socket.socket(); s.bind(('127.0.0.1',0)); s.listen(1)\n"
                         "print(s.getsockname()[1], flush=True)\n"
                         "c=s.accept(); time.sleep(60)\n"});
  ASSERT_GT(silent.Port(), 0);
  const pid_t child = fork();
  if (child == 0) {
    setenv("LOGWELL_PASSWORD", "pw-in-env-7431", 1);
    setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    const std::string server = "127.0.0.1:" + std::to_string(silent.Port());
    execl(LOGWELL_CLI_PATH, LOGWELL_CLI_PATH, "ftp-send", igc.c_str(), "--server", server.c_str(),
          "--user", "pilot", "--remote", "x.igc", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(child, 0);
  // Once the program runs (its environment block holds the variable's name) it reads the
  // password at once and then waits on the server's greeting.
  const std::string environ = "/proc/" + std::to_string(child) + "/environ";
  for (int i = 0; i < 50 && logwell::testing::ReadWholeFile(environ).find("LOGWELL_PASSWORD=") ==
                                std::string::npos;
       ++i) {
    usleep(100000);
  }
  usleep(1000000);
  const std::string environment = logwell::testing::ReadWholeFile(environ);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  EXPECT_NE(environment.find("XDG_CONFIG_HOME=/nonexistent"), std::string::npos) << environment;
  EXPECT_EQ(environment.find("pw-in-env-7431"), std::string::npos);
}

}  // namespace
