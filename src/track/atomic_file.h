#pragma once
// Writes a whole file in one piece: the content goes to a temporary file in the same folder,
// which is flushed to disk and then renamed over the target, so a reader never sees a half
// written file and a failed write leaves the old file as it was.
#include <filesystem>
#include <string>
#include <string_view>

namespace logwell {

// 0 on success, otherwise the errno value of the step that failed (the temporary file is
// removed then).
int WriteFileAtomically(const std::filesystem::path& target, std::string_view content);

// The whole content of a file; the errno value in error (0 on success).
std::string ReadWholeFileBytes(const std::filesystem::path& path, int& error);

}  // namespace logwell
