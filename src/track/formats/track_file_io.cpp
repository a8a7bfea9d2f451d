#include "track/formats/track_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "app/ui.h"
#include "track/atomic_file.h"

namespace logwell {
namespace {

// Track files are small; anything beyond this is no track file and would only eat memory.
constexpr off_t kMaxTrackFileBytes = off_t{1} << 30;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<std::string> ReadTrackFileBytes(const std::filesystem::path& path, Ui& ui) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    ui.ShowErrorBox("Error opening track log file", kReadTrackLogCaption);
    return std::nullopt;
  }
  if (info.st_size == 0) {
    ui.ShowErrorBox("File is empty", kReadTrackLogCaption);
    return std::nullopt;
  }
  std::string bytes;
  try {
    if (info.st_size > kMaxTrackFileBytes) throw std::bad_alloc();
    bytes.resize(static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox("File buffer memory allocation", kReadTrackLogCaption);
    return std::nullopt;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ui.ShowErrorBox("Track log file read error", kReadTrackLogCaption);
      return std::nullopt;
    }
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

bool WriteTrackFileBytes(const std::filesystem::path& path, std::string_view bytes, Ui& ui,
                         std::string_view caption) {
  if (WriteFileAtomically(path, bytes) != 0) {
    ui.ShowErrorBox("File write error", caption);
    return false;
  }
  return true;
}

}  // namespace logwell
