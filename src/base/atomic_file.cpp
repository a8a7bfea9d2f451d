#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

namespace logwell {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { ::close(fd_); }

 private:
  int fd_;
};

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

int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        WriteMode mode) {
  if (path.filename().empty()) return EISDIR;
  TemporaryFile temp(path.string() + ".tmpXXXXXX");
  if (!temp.Create()) return errno;
  if (::fchmod(temp.fd(), ModeFor(path)) != 0) return errno;
  if (const int error = WriteAll(temp.fd(), bytes); error != 0) return error;
  if (::fsync(temp.fd()) != 0) return errno;
  if (temp.Close() != 0) return errno;
  if (mode == WriteMode::Replace) {
    if (::rename(temp.path().c_str(), path.c_str()) != 0) return errno;
    temp.MarkRenamed();
  } else if (::link(temp.path().c_str(), path.c_str()) != 0) {
    // link() refuses to replace an existing name, so two savers never overwrite each other's
    // file; the temporary name is removed with `temp`.
    return errno;
  }
  SyncFolder(path.parent_path());
  return 0;
}

ReadFileResult ReadWholeFile(const std::filesystem::path& path) {
  ReadFileResult result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.status = ReadStatus::OpenFailed;
    result.errorNumber = errno;
    return result;
  }
  const Descriptor file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result.status = ReadStatus::NotAFile;
    return result;
  }
  if (info.st_size == 0) {
    result.status = ReadStatus::Empty;
    return result;
  }
  try {
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxReadFileBytes) throw std::bad_alloc();
    result.bytes.resize(static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    result.status = ReadStatus::NoMemory;
    result.bytes.clear();
    return result;
  }
  std::size_t done = 0;
  while (done < result.bytes.size()) {
    const ssize_t n = ::read(fd, result.bytes.data() + done, result.bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.status = ReadStatus::ReadFailed;
      result.errorNumber = errno;
      result.bytes.clear();
      return result;
    }
    if (n == 0) break;  // the file shrank while it was read
    done += static_cast<std::size_t>(n);
  }
  result.bytes.resize(done);
  if (done == 0) result.status = ReadStatus::Empty;
  return result;
}

}  // namespace logwell
