#include "track/igc/igc_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace logwell::igc {
namespace {

int WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

int WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                        WriteMode mode) {
  std::string temp = target.string() + ".tmpXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return errno;
  int error = WriteAll(fd, bytes);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (error == 0 && ::fchmod(fd, 0666 & ~mask) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) {
    if (mode == WriteMode::Replace) {
      if (::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    } else {
      // link() refuses to replace an existing name, so two savers can never overwrite
      // each other's file.
      if (::link(temp.c_str(), target.c_str()) != 0) error = errno;
    }
  }
  ::unlink(temp.c_str());
  return error;
}

ReadFileResult ReadWholeFile(const std::filesystem::path& path) {
  ReadFileResult result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.status = ReadStatus::OpenFailed;
    result.errorNumber = errno;
    return result;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    result.status = ReadStatus::NotAFile;
    return result;
  }
  if (info.st_size == 0) {
    ::close(fd);
    result.status = ReadStatus::Empty;
    return result;
  }
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxIgcFileBytes) {
    ::close(fd);
    result.status = ReadStatus::NoMemory;
    return result;
  }
  try {
    result.bytes.resize(static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    result.status = ReadStatus::NoMemory;
    return result;
  }
  std::size_t done = 0;
  while (done < result.bytes.size()) {
    const ssize_t n = ::read(fd, result.bytes.data() + done, result.bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.status = ReadStatus::ReadFailed;
      result.errorNumber = errno;
      ::close(fd);
      return result;
    }
    if (n == 0) break;  // the file shrank while we read it
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  result.bytes.resize(done);
  if (done == 0) result.status = ReadStatus::Empty;
  return result;
}

}  // namespace logwell::igc
