#include "track/formats/track_file_io.h"

#include "base/ui.h"
#include "base/atomic_file.h"

namespace logwell {

std::optional<std::string> ReadTrackFileBytes(const std::filesystem::path& path, Ui& ui) {
  ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok: return std::move(file.bytes);
    case ReadStatus::OpenFailed:
    case ReadStatus::NotAFile:
      ui.ShowFileError("Error opening track log file", kReadTrackLogCaption, path.string(),
                       file.errorNumber);
      break;
    case ReadStatus::Empty: ui.ShowErrorBox("File is empty", kReadTrackLogCaption); break;
    case ReadStatus::NoMemory: ui.ShowErrorBox("File buffer memory allocation", kReadTrackLogCaption); break;
    case ReadStatus::TooLarge: ui.ShowFileError(FileTooLargeText(file.size), kReadTrackLogCaption, path.string()); break;
    case ReadStatus::ReadFailed:
      ui.ShowFileError("Track log file read error", kReadTrackLogCaption, path.string(),
                       file.errorNumber);
      break;
  }
  return std::nullopt;
}

bool WriteTrackFileBytes(const std::filesystem::path& path, std::string_view bytes, Ui& ui,
                         std::string_view caption) {
  if (const int error = WriteFileAtomically(path, bytes); error != 0) {
    ui.ShowFileError("File write error", caption, path.string(), error);
    return false;
  }
  return true;
}

}  // namespace logwell
