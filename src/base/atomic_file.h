#pragma once
// Whole-file reads, and writes that never leave a file half written: the whole content goes to
// a file in the target's folder that has no name yet (or, where the file system cannot make
// one, a temporary name), is flushed to the disk and then takes the target's name in one step.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace logwell {

enum class WriteMode {
  Replace,     // an existing file is replaced (and keeps its permission bits)
  CreateOnly,  // an existing file is left alone and the write fails with EEXIST
};

// The permission bits a new file is asked for; the process's umask takes its bits away, as
// it does for open() and for the files of every other program (rw-r--r-- under umask 022,
// rw------- under umask 077).
inline constexpr unsigned kNewFileMode = 0666;

// Writes `bytes` as the whole content of `path`. A new file gets `newFileMode` less the bits of
// the umask (a file that must stay the user's own, such as one holding a password, asks for
// 0600); a replaced one keeps the bits it had. Returns 0, or the errno value of
// the step that failed; the target is then unchanged and no temporary file is left behind.
// Once the new content has its name the folder is flushed too, so that the name survives a
// crash.
int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                        WriteMode mode = WriteMode::Replace, unsigned newFileMode = kNewFileMode);

namespace atomic_file_detail {
// The same write through a named temporary file (mkstemp, fsync, rename or link), which the
// writer falls back to where the file system makes no unnamed files. Exposed for tests.
int WriteThroughNamedFile(const std::filesystem::path& path, std::string_view bytes,
                          WriteMode mode, unsigned newFileMode);
}  // namespace atomic_file_detail

enum class ReadStatus { Ok, OpenFailed, NotAFile, Empty, ReadFailed, NoMemory, TooLarge };
struct ReadFileResult {
  ReadStatus status = ReadStatus::Ok;
  int errorNumber = 0;  // errno for OpenFailed and ReadFailed
  std::uintmax_t size = 0;  // the file's size in bytes, for TooLarge
  std::string bytes;
};

// No track, waypoint or airspace file comes near this; reading a larger one would only exhaust
// memory.
inline constexpr std::uintmax_t kMaxReadFileBytes = 512u * 1024u * 1024u;

// The message for a file beyond kMaxReadFileBytes: "File too large: 600 MB, the limit is 512 MB".
std::string FileTooLargeText(std::uintmax_t size);

// The whole content of a regular file.
ReadFileResult ReadWholeFile(const std::filesystem::path& path);

}  // namespace logwell
