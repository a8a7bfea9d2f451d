#include "app/notify_channel.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace logwell {
namespace {

// A report must not hold a worker up for long when the other program stops reading.
constexpr int kSendTimeoutSeconds = 2;
// Texts longer than this are cut; the progress texts are far shorter.
constexpr std::size_t kMaxNotifyText = 4096;

void AppendLittleEndian(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFFu));
  }
}

}  // namespace

NotifyChannel::~NotifyChannel() {
  if (fd_ >= 0) ::close(fd_);
}

NotifyChannel::NotifyChannel(NotifyChannel&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

NotifyChannel& NotifyChannel::operator=(NotifyChannel&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::string NotifySocketPath(std::string_view name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string_view::npos) return std::string(name);
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDir == nullptr || *runtimeDir == '\0') return {};
  std::string path(runtimeDir);
  if (path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

NotifyChannel NotifyChannel::Open(std::string_view name) {
  NotifyChannel channel;
  const std::string path = NotifySocketPath(name);
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return channel;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());

  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return channel;
  timeval timeout{kSendTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  // NOLINTNEXTLINE: the socket API takes the generic address type.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return channel;
  }
  channel.fd_ = fd;
  channel.path_ = path;
  return channel;
}

std::string EncodeNotifyMessage(std::uint32_t sessionValue, std::string_view text) {
  if (text.size() > kMaxNotifyText) text = text.substr(0, kMaxNotifyText);
  std::string message;
  message.reserve(8 + text.size());
  AppendLittleEndian(message, sessionValue);
  AppendLittleEndian(message, static_cast<std::uint32_t>(text.size()));
  message.append(text);
  return message;
}

bool NotifyChannel::Send(std::uint32_t sessionValue, std::string_view text) const {
  if (fd_ < 0) return false;
  const std::string message = EncodeNotifyMessage(sessionValue, text);
  ssize_t sent = 0;
  do {
    sent = ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(message.size());
}

}  // namespace logwell
