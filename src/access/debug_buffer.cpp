#include "access/debug_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/ui.h"
#include "base/atomic_file.h"

namespace logwell {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

DebugBuffer& DebugBuffer::Global() {
  static DebugBuffer buffer;
  return buffer;
}

void DebugBuffer::Clear() {
  std::lock_guard lock(mutex_);
  count_ = 0;
}

void DebugBuffer::PutLocked(std::string_view text) {
  const std::size_t n = std::min(text.size(), RoomLocked());
  std::copy_n(text.begin(), n, bytes_.begin() + static_cast<std::ptrdiff_t>(count_));
  count_ += n;
}

void DebugBuffer::AppendByte(std::uint8_t byte) {
  std::lock_guard lock(mutex_);
  if (RoomLocked() > 0) bytes_[count_++] = byte;
}

void DebugBuffer::AppendBytes(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  const std::size_t n = std::min(bytes.size(), RoomLocked());
  std::copy_n(bytes.begin(), n, bytes_.begin() + static_cast<std::ptrdiff_t>(count_));
  count_ += n;
}

void DebugBuffer::AppendText(std::string_view text) {
  std::lock_guard lock(mutex_);
  PutLocked(text);
}

void DebugBuffer::AppendHexDump(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (RoomLocked() < 3) break;
    const char item[3] = {' ', kHexDigits[bytes[i] >> 4], kHexDigits[bytes[i] & 0x0F]};
    PutLocked(std::string_view(item, 3));
    if ((i + 1) % 16 == 0 && RoomLocked() >= 2) PutLocked("\r\n");
  }
  if (bytes.size() % 16 != 0 && RoomLocked() >= 2) PutLocked("\r\n");
}

void DebugBuffer::AppendHex32(std::uint32_t value) {
  std::lock_guard lock(mutex_);
  if (RoomLocked() < 8) return;
  char digits[8];
  for (int i = 7; i >= 0; --i) {
    digits[i] = kHexDigits[value & 0x0F];
    value >>= 4;
  }
  PutLocked(std::string_view(digits, 8));
}

std::size_t DebugBuffer::Size() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::vector<std::uint8_t> DebugBuffer::Contents() const {
  std::lock_guard lock(mutex_);
  return {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count_)};
}

bool SaveDebugBuffer(Ui& ui, const DebugBuffer& buffer,
                     const std::function<std::optional<std::filesystem::path>()>& chooseFile) {
  if (buffer.Size() == 0) {
    ui.ShowErrorBox("Buffer is empty", kDebugSaveCaption);
    return false;
  }
  std::optional<std::filesystem::path> chosen = chooseFile();
  if (!chosen) return false;
  if (!chosen->has_extension()) chosen->replace_extension(kDebugFileExtension);
  const std::vector<std::uint8_t> contents = buffer.Contents();
  const std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
  if (const int error = WriteFileAtomically(*chosen, text); error != 0) {
    ui.ShowSystemError(error, "File write error");
    return false;
  }
  ui.ShowInfoBox("File written", kDebugSaveCaption);
  return true;
}

}  // namespace logwell
