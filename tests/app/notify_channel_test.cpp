#include "app/notify_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/command_line.h"
#include "support/scripted_ui.h"

namespace logwell {
namespace {

// A program following a run: binds a datagram socket and reads what arrives.
class Listener {
 public:
  explicit Listener(const std::filesystem::path& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    timeval timeout{2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  }
  ~Listener() {
    ::close(fd_);
    std::filesystem::remove(path_);
  }
  bool Bound() const { return bound_; }
  std::string Receive() const {
    char buffer[8192];
    const ssize_t size = ::recv(fd_, buffer, sizeof(buffer), 0);
    return size < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(size));
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool bound_ = false;
};

std::filesystem::path TempDir() {
  auto dir = std::filesystem::temp_directory_path() /
             ("logwell-notify-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(NotifyChannel, SendsSessionLengthAndTextToTheBoundSocket) {
  const auto dir = TempDir();
  Listener listener(dir / "follower");
  ASSERT_TRUE(listener.Bound());
  testing::ScriptedUi ui;
  const ParseResult parsed = ParseCommandLine(
      "/NOTIFY=" + (dir / "follower").string() + " /SESSION=258 /GPS=IQCOMPEO /FLIGHTLIST", ui);
  ASSERT_EQ(parsed.outcome, ParseOutcome::Go);
  ASSERT_TRUE(parsed.options->notifyWindow.IsOpen());

  NotifyExternal(parsed.options.get(), "Transfer started");
  const std::string expected("\x02\x01\x00\x00\x10\x00\x00\x00Transfer started", 24);
  EXPECT_EQ(listener.Receive(), expected);
  std::filesystem::remove_all(dir);
}

TEST(NotifyChannel, NameUnderRuntimeDirAndTicksWithoutSession) {
  const auto dir = TempDir();
  const char* previous = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = previous ? previous : "";
  ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  {
    Listener listener(dir / "scorer");
    testing::ScriptedUi ui;
    const ParseResult parsed = ParseCommandLine("/NOTIFY=scorer /KML_LOG=a.kml", ui);
    ASSERT_EQ(parsed.outcome, ParseOutcome::Go);
    EXPECT_EQ(parsed.options->notifyWindow.Path(), (dir / "scorer").string());
    NotifyExternal(parsed.options.get(), "Byte count 512");
    EXPECT_EQ(listener.Receive(),
              EncodeNotifyMessage(parsed.options->notifyTicks, "Byte count 512"));
  }
  if (previous) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  std::filesystem::remove_all(dir);
}

TEST(NotifyChannel, NobodyListeningMeansNoChannel) {
  const auto dir = TempDir();
  testing::ScriptedUi ui;
  const ParseResult parsed =
      ParseCommandLine("/NOTIFY=" + (dir / "absent").string() + " /KML_LOG=a.kml", ui);
  ASSERT_EQ(parsed.outcome, ParseOutcome::Go);
  EXPECT_FALSE(parsed.options->notifyWindow.IsOpen());
  NotifyExternal(parsed.options.get(), "Transfer started");  // does nothing
  NotifyExternal(nullptr, "Transfer started");
  EXPECT_TRUE(ui.Boxes().empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logwell
