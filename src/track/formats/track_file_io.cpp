#include "track/formats/track_file_io.h"

#include "base/ui.h"
#include "base/atomic_file.h"

namespace logwell {

std::optional<std::string> ReadTrackFileBytes(const std::filesystem::path& path, Ui& ui) {
  ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok: return std::move(file.bytes);
    case ReadStatus::OpenFailed:
    case ReadStatus::NotAFile: ui.ShowErrorBox("Error opening track log file", kReadTrackLogCaption); break;
    case ReadStatus::Empty: ui.ShowErrorBox("File is empty", kReadTrackLogCaption); break;
    case ReadStatus::NoMemory: ui.ShowErrorBox("File buffer memory allocation", kReadTrackLogCaption); break;
    case ReadStatus::ReadFailed: ui.ShowErrorBox("Track log file read error", kReadTrackLogCaption); break;
  }
  return std::nullopt;
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
