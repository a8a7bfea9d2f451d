#include "airspace/airspace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "base/ui.h"

namespace logwell {
namespace {

bool WriteAll(int descriptor, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(descriptor, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::optional<std::string> LoadAirspaceFile(const std::filesystem::path& path, Ui& ui) {
  std::ifstream file(path, std::ios::binary);
  std::error_code error;
  if (!file || std::filesystem::is_directory(path, error)) {
    ui.ShowErrorBox("Error opening CTR file", kReadCtrFileCaption);
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) {
    ui.ShowErrorBox("CTR file read error", kReadCtrFileCaption);
    return std::nullopt;
  }
  if (text.empty()) {
    ui.ShowErrorBox("File is empty", kReadCtrFileCaption);
    return std::nullopt;
  }
  return text;
}

bool WriteAirspaceFileAtomically(const std::filesystem::path& path, std::string_view text) {
  std::string temporary = path.string() + ".XXXXXX";
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0) return false;
  bool done = WriteAll(descriptor, text) && ::fsync(descriptor) == 0;
  // mkstemp makes the file private to its owner; an airspace file is readable by others.
  done = ::fchmod(descriptor, 0644) == 0 && done;
  done = ::close(descriptor) == 0 && done;
  if (done && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace logwell
