#include "track/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace logwell {
namespace {

// Closes the descriptor and removes the temporary file unless the rename has taken it over.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(path_.c_str());
  }
  // mkstemp fills in the XXXXXX part of the name in place.
  bool Create() {
    std::vector<char> name(path_.begin(), path_.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return false;
    path_.assign(name.data());
    return true;
  }
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  void MarkRenamed() { renamed_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool renamed_ = false;
};

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// A new file gets the usual rw-r--r-- (mkstemp would leave it private to the owner); a
// replaced one keeps the bits it had.
mode_t ModeFor(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  return 0644;
}

// The rename is durable only once the folder itself is flushed.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  if (path.filename().empty()) return EISDIR;
  TemporaryFile temp(path.string() + ".tmpXXXXXX");
  if (!temp.Create()) return errno;
  if (::fchmod(temp.fd(), ModeFor(path)) != 0) return errno;
  if (const int error = WriteAll(temp.fd(), bytes); error != 0) return error;
  if (::fsync(temp.fd()) != 0) return errno;
  if (temp.Close() != 0) return errno;
  if (::rename(temp.path().c_str(), path.c_str()) != 0) return errno;
  temp.MarkRenamed();
  SyncFolder(path.parent_path());
  return 0;
}

std::string ReadWholeFileBytes(const std::filesystem::path& path, int& error) {
  error = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = errno != 0 ? errno : ENOENT;
    return {};
  }
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) error = EIO;
  return content;
}

}  // namespace logwell
