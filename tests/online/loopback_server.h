#pragma once
// A test server process on loopback: started with its arguments, its port read from the first
// line it prints, stopped (by its own pid) when the object goes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace logwell::testing {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::vector<std::string> arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      std::vector<char*> argv;
      for (std::string& a : arguments) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    std::FILE* out = fdopen(pipeEnds[0], "r");
    if (out == nullptr) return;
    char line[32] = {};
    if (std::fgets(line, sizeof line, out) != nullptr) port_ = std::stoi(line);
    std::fclose(out);
  }
  ~LoopbackServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A fresh empty folder under the test's temporary folder.
inline std::filesystem::path FreshFolder(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("logwell-online-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string ScriptPath(const char* name) {
  return std::string(LOGWELL_ONLINE_TEST_DIR) + "/" + name;
}

}  // namespace logwell::testing
