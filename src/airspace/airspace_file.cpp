#include "airspace/airspace_file.h"

#include <fstream>

#include "base/ui.h"

namespace logwell {
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

}  // namespace logwell
