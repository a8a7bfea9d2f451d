// The built logwell-sim: each family's command line, and a prompt, clean stop on SIGTERM and
// SIGINT in every mode, also while a paced answer is on its way to a host that has gone.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace logwell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct SimRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

SimRun RunSim(const std::string& arguments) {
  const auto dir = std::filesystem::temp_directory_path() / ("logwell-sim-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string command = std::string("'") + LOGWELL_SIM_PATH + "' " + arguments + " >'" +
                              (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  SimRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir / "out"), ReadAll(dir / "err")};
  std::filesystem::remove_all(dir);
  return run;
}

TEST(LogwellSim, EachFamilyTakesItsOwnOptions) {
  const SimRun help = RunSim("--help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* listed : {"\n  echo ", "\n  nmea ", "--pace-ms N", "\n  flytec ", "[--paced]", "\n  garmin ", "[--a300]"}) {
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed << " missing in\n" << help.out;
  }

  const struct {
    const char* arguments;
    int exitCode;
    const char* firstLine;
  } refused[] = {
      {"nosuch", 2, "logwell-sim: unknown model nosuch"},
      {"flytec --pace-ms 5", 2, "logwell-sim: bad option --pace-ms 5"},
      {"flytec --model", 2, "logwell-sim: bad option --model "},
      {"nmea --minutes x", 2, "logwell-sim: bad option --minutes x"},
      {"nmea --paced", 2, "logwell-sim: bad option --paced "},
      {"flytec --flights /nonexistent/a.igc", 1, "logwell-sim: cannot open /nonexistent/a.igc"},
  };
  for (const auto& c : refused) {
    const SimRun run = RunSim(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
}

// logwell-sim started in the background, its device path read from its standard output.
class RunningSim {
 public:
  explicit RunningSim(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return;
    out_ = pipeEnds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words{LOGWELL_SIM_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, LOGWELL_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
  }
  ~RunningSim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  RunningSim(const RunningSim&) = delete;
  RunningSim& operator=(const RunningSim&) = delete;

  // The first line of its output, within 10 s.
  std::string DevicePath() {
    std::string line;
    const auto deadline = Clock::now() + 10s;
    char c = 0;
    while (Clock::now() < deadline) {
      pollfd request{out_, POLLIN, 0};
      if (::poll(&request, 1, 100) <= 0) continue;
      if (::read(out_, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }

  // Sends `signal` and waits at most `limit`: the wait status, or nothing while it still runs.
  std::optional<int> StopWith(int signal, std::chrono::milliseconds limit) {
    ::kill(pid_, signal);
    const auto deadline = Clock::now() + limit;
    do {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(10ms);
    } while (Clock::now() < deadline);
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Starts the whole memory at the line's real rate, takes the first kilobyte and hangs up.
void StartPacedDownloadAndLeave(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << device;
  const std::string request = "\x11$PBRIGC,*21\r\n";
  ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
  std::size_t received = 0;
  const auto deadline = Clock::now() + 5s;
  char buffer[512];
  while (received < 1000 && Clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) received += static_cast<std::size_t>(n);
  }
  ::close(fd);
  EXPECT_GE(received, 1000u) << "the paced answer did not start";
}

TEST(LogwellSim, StopsPromptlyAndCleanlyOnSigtermAndSigint) {
  const struct {
    std::vector<std::string> arguments;
    int signal;
    bool pacedDownload;
  } cases[] = {
      {{"flytec", "--paced", "--minutes", "120"}, SIGTERM, true},
      {{"flytec", "--paced", "--minutes", "120"}, SIGINT, true},
      {{"flytec", "--model", "6030", "--minutes", "180", "--seed", "7"}, SIGTERM, false},
      {{"nmea", "--pace-ms", "20"}, SIGINT, false},
      {{"echo"}, SIGTERM, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0] + (c.pacedDownload ? " paced download" : "") +
                 (c.signal == SIGTERM ? " SIGTERM" : " SIGINT"));
    RunningSim sim(c.arguments);
    const std::string device = sim.DevicePath();
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    if (c.pacedDownload) StartPacedDownloadAndLeave(device);
    const std::optional<int> status = sim.StopWith(c.signal, 2s);
    ASSERT_TRUE(status.has_value()) << "still running 2 s after the signal";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;
  }
}

}  // namespace
}  // namespace logwell
