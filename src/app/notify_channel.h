#pragma once
// The channel to another program that follows an unattended run: a Unix datagram socket that
// the other program binds. The NOTIFY option names it, either as a path or as a name under
// $XDG_RUNTIME_DIR. Each report is one datagram: the session value (u32), the length of the
// text (u32), then the text's bytes without a terminator; both numbers are little-endian.
#include <cstdint>
#include <string>
#include <string_view>

namespace logwell {

class NotifyChannel {
 public:
  NotifyChannel() = default;
  ~NotifyChannel();
  NotifyChannel(NotifyChannel&& other) noexcept;
  NotifyChannel& operator=(NotifyChannel&& other) noexcept;
  NotifyChannel(const NotifyChannel&) = delete;
  NotifyChannel& operator=(const NotifyChannel&) = delete;

  // Connects to the socket the name stands for. When nobody has bound it, the channel stays
  // closed, as when no window of the given class exists.
  static NotifyChannel Open(std::string_view name);

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Sends one report; false when it could not be delivered (the peer has gone, or its queue
  // stayed full for two seconds). Safe to call from several threads.
  bool Send(std::uint32_t sessionValue, std::string_view text) const;

 private:
  int fd_ = -1;
  std::string path_;
};

// The socket path a NOTIFY value names: the value itself when it holds a "/", else the name
// under $XDG_RUNTIME_DIR (nothing when that is not set).
std::string NotifySocketPath(std::string_view name);

// One report as it travels: session value, text length, text.
std::string EncodeNotifyMessage(std::uint32_t sessionValue, std::string_view text);

}  // namespace logwell
