#pragma once
// Whole-file reads, and writes that never leave a file half written: the whole content goes to
// a temporary file in the same folder, is flushed to the disk and then moved into place in one
// step.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace logwell {

enum class WriteMode {
  Replace,     // an existing file is replaced (and keeps its permission bits)
  CreateOnly,  // an existing file is left alone and the write fails with EEXIST
};

// Writes `bytes` as the whole content of `path`. Returns 0, or the errno value of the step that
// failed; the target is then unchanged and no temporary file is left behind.
int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        WriteMode mode = WriteMode::Replace);

enum class ReadStatus { Ok, OpenFailed, NotAFile, Empty, ReadFailed, NoMemory };
struct ReadFileResult {
  ReadStatus status = ReadStatus::Ok;
  int errorNumber = 0;  // errno for OpenFailed and ReadFailed
  std::string bytes;
};

// No track, waypoint or airspace file comes near this; reading a larger one would only exhaust
// memory.
inline constexpr std::uintmax_t kMaxReadFileBytes = 512u * 1024u * 1024u;

// The whole content of a regular file.
ReadFileResult ReadWholeFile(const std::filesystem::path& path);

}  // namespace logwell
