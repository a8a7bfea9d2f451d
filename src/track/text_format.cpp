#include "track/text_format.h"

#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>

namespace logwell {

std::string FormatText(const char* format, ...) {
  std::array<char, 256> buffer{};
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return written < 0 ? std::string() : std::string(buffer.data());
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = lead <= 0xEF ? 3 : 0;
    } else if (lead >= 0xC2) {
      length = 2;
    } else if (lead >= 0x80) {
      length = 0;
    }
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::string CutText(std::string_view text, std::size_t limit) {
  text = text.substr(0, text.find('\0'));
  if (text.size() <= limit) return std::string(text);
  std::size_t cut = limit;
  if (IsUtf8(text)) {
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  }
  return std::string(text.substr(0, cut));
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string LowerExtension(const std::filesystem::path& path) {
  return LowerCase(path.extension().string());
}

}  // namespace logwell
