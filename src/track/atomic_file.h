#pragma once
// Files are never left half written: the whole content goes to a temporary file in the same
// folder, is flushed to the disk and then renamed over the target in one step.
#include <filesystem>
#include <string_view>

namespace logwell {

// Writes `bytes` as the whole content of `path`, replacing any file of that name. Returns 0, or
// the errno value of the step that failed; the target is then unchanged and no temporary file
// is left behind. A file that is replaced keeps its permission bits.
int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace logwell
