#include "base/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace logwell {
namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

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

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | ((code >> 18) & 0x07)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::string AsUtf8(std::string_view text) {
  if (IsUtf8(text)) return std::string(text);
  std::string utf8;
  utf8.reserve(text.size() * 2);
  for (const char c : text) AppendUtf8(utf8, static_cast<unsigned char>(c));
  return utf8;
}

std::string Windows1252ToUtf8(std::string_view text) {
  // 0x80 to 0x9F; everything else is Latin-1.
  static constexpr std::uint16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string utf8;
  utf8.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(utf8, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
  }
  return utf8;
}

std::string_view TrimLeading(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimTrailing(std::string_view text, std::string_view blanks) {
  const std::size_t last = text.find_last_not_of(blanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
  return TrimTrailing(TrimLeading(text, blanks), blanks);
}

bool IsBlank(std::string_view text, std::string_view blanks) {
  return text.find_first_not_of(blanks) == std::string_view::npos;
}

std::string_view StripUtf8Bom(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text;
}

std::string_view CutBytes(std::string_view text, std::size_t limit) {
  return text.substr(0, limit);
}

std::string_view CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

std::string CutText(std::string_view text, std::size_t limit) {
  text = text.substr(0, text.find('\0'));
  return std::string(IsUtf8(text) ? CutUtf8(text, limit) : CutBytes(text, limit));
}

std::int32_t RoundHalfAway(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (std::isnan(value)) return 0;
  const double rounded = std::trunc(value >= 0.0 ? value + 0.5 : value - 0.5);
  if (rounded >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (rounded <= kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded);
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string LowerExtension(const std::filesystem::path& path) {
  return LowerCase(path.extension().string());
}

std::string FillTemplate(std::string_view text, std::initializer_list<long long> numbers) {
  std::string out;
  auto next = numbers.begin();
  for (const char c : text) {
    if (c == '%' && next != numbers.end()) {
      out += std::to_string(*next++);
    } else {
      out += c;
    }
  }
  return out;
}

std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += FormatText("\\u%04x", static_cast<unsigned>(u));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string WithoutSeparator(std::string_view text, char separator) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != separator) {
      result.push_back(text[i]);
    } else if (i + 1 == text.size() || text[i + 1] != ' ') {
      result.push_back(' ');
    }
  }
  return result;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

std::string WithoutControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) continue;
    // C1 controls in UTF-8 (0xC2 0x80..0x9F): a terminal takes 0x9B as an escape sequence.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace logwell
