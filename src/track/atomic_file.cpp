#include "track/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace logwell {
namespace {

// Closes the descriptor and removes the temporary file unless the write was completed.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {
    descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }

  int WriteAll(std::string_view content) {
    while (!content.empty()) {
      const ssize_t written = ::write(descriptor_, content.data(), content.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      content.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(descriptor_) != 0) return errno;
    const int closed = ::close(descriptor_);
    descriptor_ = -1;
    return closed == 0 ? 0 : errno;
  }

  int RenameTo(const std::filesystem::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
    kept_ = true;
    return 0;
  }

 private:
  std::filesystem::path path_;
  int descriptor_ = -1;
  bool kept_ = false;
};

std::filesystem::path TemporaryName(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()),
                counter.fetch_add(1));
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& target, std::string_view content) {
  TemporaryFile file(TemporaryName(target));
  if (!file.IsOpen()) return errno;
  if (const int error = file.WriteAll(content)) return error;
  return file.RenameTo(target);
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
