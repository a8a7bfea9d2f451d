#pragma once
// Whole-file reads and atomic writes for the IGC commands.
#include <filesystem>
#include <string>
#include <string_view>

namespace logwell::igc {

enum class WriteMode {
  Replace,      // an existing file is replaced
  CreateOnly,   // an existing file is left alone and the write fails with EEXIST
};

// Writes the bytes to a temporary file beside the target, flushes it and moves it into place,
// so that no reader ever sees a half-written file. Returns 0 or an errno value.
int WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                        WriteMode mode);

enum class ReadStatus { Ok, OpenFailed, NotAFile, Empty, ReadFailed, NoMemory };
struct ReadFileResult {
  ReadStatus status = ReadStatus::Ok;
  int errorNumber = 0;  // errno for OpenFailed and ReadFailed
  std::string bytes;
};

// Files larger than this are not track logs; reading them would only exhaust memory.
inline constexpr std::uintmax_t kMaxIgcFileBytes = 512u * 1024u * 1024u;

ReadFileResult ReadWholeFile(const std::filesystem::path& path);

}  // namespace logwell::igc
