#pragma once
// The trace of the last access: every byte sent to and received from an instrument, and the
// notes the workers add, in one flat array the user can save for support. It never wraps:
// once full, further bytes are dropped until it is cleared.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace logwell {

class Ui;

class DebugBuffer {
 public:
  static constexpr std::size_t kCapacity = 100000;

  // The one trace of the process.
  static DebugBuffer& Global();

  void Clear();
  void AppendByte(std::uint8_t byte);
  void AppendBytes(std::span<const std::uint8_t> bytes);
  void AppendText(std::string_view text);
  // Each byte as " XX", a line break after every 16th byte and after a last short line.
  void AppendHexDump(std::span<const std::uint8_t> bytes);
  // Eight upper-case hexadecimal digits, most significant first.
  void AppendHex32(std::uint32_t value);

  std::size_t Size() const;
  // A copy of what is stored, for saving or checking.
  std::vector<std::uint8_t> Contents() const;

 private:
  std::size_t RoomLocked() const { return kCapacity - count_; }
  void PutLocked(std::string_view text);

  // The worker writes while the main thread may clear or save; the lock keeps that a
  // well-defined copy instead of a race.
  mutable std::mutex mutex_;
  std::array<std::uint8_t, kCapacity> bytes_{};
  std::size_t count_ = 0;
};

// Dump Debug Data: asks for a ".log" file (through `chooseFile`, which shows the save dialog
// starting in the trace folder and returns nothing when cancelled) and writes the whole trace
// in one piece. Returns true when a file was written.
bool SaveDebugBuffer(Ui& ui, const DebugBuffer& buffer,
                     const std::function<std::optional<std::filesystem::path>()>& chooseFile);

inline constexpr std::string_view kDebugSaveCaption = "Save debug buffer";
inline constexpr std::string_view kDebugFileFilter = "Log files";
inline constexpr std::string_view kDebugFileExtension = ".log";

}  // namespace logwell
