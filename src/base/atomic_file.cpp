#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
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
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // The result of close(), which is where some file systems first report a failed write.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// A temporary name in the target's folder, removed when it goes out of scope unless the rename
// has taken it over.
class TemporaryName {
 public:
  TemporaryName() = default;
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  ~TemporaryName() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  void Take(std::string path) { path_ = std::move(path); }
  void Release() { path_.clear(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
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

// The process's umask. Linux shows it in /proc/self/status, which leaves it untouched; only
// without that line is it read the classic way, by setting and restoring it (under a lock, as
// the two calls are not one step for other threads of this writer).
mode_t CurrentUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  static std::mutex lock;
  const std::lock_guard<std::mutex> guard(lock);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// A replaced file keeps the bits it had; a new one gets `newFileMode` less the umask's bits, as
// open() would give it. fchmod then sets them exactly (past the owner-only bits that the
// temporary file is made with, so that nobody else can open it while it is written).
mode_t ModeFor(const std::filesystem::path& path, unsigned newFileMode) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  return static_cast<mode_t>(newFileMode & 07777) & ~CurrentUmask();
}

// Gives the file its permission bits and content and flushes it to the disk.
int FillAndSync(int fd, mode_t permissions, std::string_view bytes) {
  if (::fchmod(fd, permissions) != 0) return errno;
  if (const int error = WriteAll(fd, bytes); error != 0) return error;
  if (::fsync(fd) != 0) return errno;
  return 0;
}

std::string FolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// A new name or rename is durable only once the folder itself is flushed. The content already
// stands under its name by then, so a failure here is not the write's failure.
void SyncFolder(const std::string& folder) {
  const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

// "<target>.tmp" and six characters that differ from call to call and process to process; a
// name that is taken anyway is answered with EEXIST and the caller draws again.
std::string TemporaryNameFor(const std::filesystem::path& path) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = counter.fetch_add(1) ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^
                    static_cast<std::uint64_t>(
                        std::chrono::steady_clock::now().time_since_epoch().count());
  // splitmix64's finaliser spreads every input bit over the whole value.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  x ^= x >> 31;
  constexpr std::string_view kCharacters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = path.string() + ".tmp";
  for (int i = 0; i < 6; ++i) {
    name.push_back(kCharacters[x % kCharacters.size()]);
    x /= kCharacters.size();
  }
  return name;
}

constexpr int kTemporaryNameAttempts = 100;

// What the unnamed-file path returns where the system cannot make or name such a file; the
// write then goes through a named temporary file instead.
constexpr int kNoUnnamedFile = -1;

#ifdef O_TMPFILE
// Gives the unnamed file open at `fd` the name `target`, which must not exist yet.
int LinkUnnamed(int fd, const std::string& target) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  // No /proc (or the folder has gone: the fallback then reports that). Linking the descriptor
  // itself needs a privilege on older kernels.
  if (::linkat(fd, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno == ENOENT || errno == EPERM || errno == EINVAL) return kNoUnnamedFile;
  return errno;
}

// True for the answers of an open(O_TMPFILE) that the file system or kernel does not support
// (older kernels see a directory opened for writing). ENOENT is also what a missing folder
// gives; the fallback then reports it.
bool RefusesUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

// Content into a file without a name, flushed, then linked straight to the target
// (CreateOnly) or to a temporary name that is renamed over the target (Replace): no name ever
// points at partial content, and a crash before the link leaves nothing behind.
int WriteThroughUnnamedFile(const std::filesystem::path& path, std::string_view bytes,
                            WriteMode mode, unsigned newFileMode) {
  const std::string folder = FolderOf(path);
  const Descriptor file(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (file.get() < 0) return RefusesUnnamedFiles(errno) ? kNoUnnamedFile : errno;
  if (const int error = FillAndSync(file.get(), ModeFor(path, newFileMode), bytes); error != 0) {
    return error;
  }
  if (mode == WriteMode::CreateOnly) {
    // linkat refuses an existing name, so two savers never overwrite each other's file.
    if (const int error = LinkUnnamed(file.get(), path.string()); error != 0) return error;
  } else {
    TemporaryName temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && error == EEXIST; ++attempt) {
      std::string name = TemporaryNameFor(path);
      error = LinkUnnamed(file.get(), name);
      if (error == 0) temporary.Take(std::move(name));
    }
    if (error != 0) return error;
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) return errno;
    temporary.Release();
  }
  SyncFolder(folder);
  return 0;
}
#else
int WriteThroughUnnamedFile(const std::filesystem::path&, std::string_view, WriteMode, unsigned) {
  return kNoUnnamedFile;
}
#endif

}  // namespace

namespace atomic_file_detail {

int WriteThroughNamedFile(const std::filesystem::path& path, std::string_view bytes,
                          WriteMode mode, unsigned newFileMode) {
  TemporaryName temporary;
  std::string pattern = path.string() + ".tmpXXXXXX";
  // mkstemp fills in the XXXXXX part of the name in place.
  Descriptor file(::mkstemp(pattern.data()));
  if (file.get() < 0) return errno;
  temporary.Take(pattern);
  if (const int error = FillAndSync(file.get(), ModeFor(path, newFileMode), bytes); error != 0) {
    return error;
  }
  if (file.Close() != 0) return errno;
  if (mode == WriteMode::Replace) {
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) return errno;
    temporary.Release();
  } else if (::link(temporary.path().c_str(), path.c_str()) != 0) {
    // link() refuses an existing name, as linkat does above; the temporary name goes with
    // `temporary`.
    return errno;
  }
  SyncFolder(FolderOf(path));
  return 0;
}

}  // namespace atomic_file_detail

int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        WriteMode mode, unsigned newFileMode) {
  if (path.filename().empty()) return EISDIR;
  const int result = WriteThroughUnnamedFile(path, bytes, mode, newFileMode);
  if (result != kNoUnnamedFile) return result;
  return atomic_file_detail::WriteThroughNamedFile(path, bytes, mode, newFileMode);
}

std::string FileTooLargeText(std::uintmax_t size) {
  constexpr std::uintmax_t kMegabyte = 1024 * 1024;
  return "File too large: " + std::to_string((size + kMegabyte - 1) / kMegabyte) +
         " MB, the limit is " + std::to_string(kMaxReadFileBytes / kMegabyte) + " MB";
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
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxReadFileBytes) {
    result.status = ReadStatus::TooLarge;
    result.size = static_cast<std::uintmax_t>(info.st_size);
    return result;
  }
  try {
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
