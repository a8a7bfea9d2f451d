#include "base/xml_text.h"

#include <charconv>
#include <cstdint>
#include <utility>

#include "base/text.h"
#include "base/xml_scanner.h"

namespace logwell {
namespace {

// A character reference's ";" comes at most this far into it ("&#x10FFFF;" has it at 9).
constexpr std::size_t kMaxReferenceEnd = 10;

// A code point that XML allows as a character.
constexpr bool IsXmlCharacter(std::uint32_t code) {
  if (code < 0x20) return code == 0x9 || code == 0xA || code == 0xD;
  if (code >= 0xD800 && code <= 0xDFFF) return false;  // UTF-16 surrogates
  return code != 0xFFFE && code != 0xFFFF && code <= 0x10FFFF;
}

}  // namespace

std::string_view XmlEntityFor(char c, XmlQuotes quotes) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return quotes == XmlQuotes::Escaped ? "&quot;" : "";
    default: return {};
  }
}

void AppendEscapedXml(std::string& out, std::string_view text, XmlQuotes quotes) {
  for (const char c : text) {
    const std::string_view entity = XmlEntityFor(c, quotes);
    if (entity.empty()) {
      out.push_back(c);
    } else {
      out += entity;
    }
  }
}

std::string EscapeXml(std::string_view text, XmlQuotes quotes) {
  std::string out;
  out.reserve(text.size());
  AppendEscapedXml(out, text, quotes);
  return out;
}

std::size_t DecodeXmlReference(std::string_view text, std::string& out) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& [name, character] : kNamed) {
    if (text.starts_with(name)) {
      out.push_back(character);
      return name.size();
    }
  }
  if (!text.starts_with("&#")) return 0;
  const std::size_t end = text.find(';');
  if (end == std::string_view::npos || end > kMaxReferenceEnd) return 0;
  std::string_view digits = text.substr(2, end - 2);
  int base = 10;
  if (digits.starts_with('x') || digits.starts_with('X')) {
    base = 16;
    digits.remove_prefix(1);
  }
  std::uint32_t code = 0;
  const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, base);
  if (digits.empty() || error != std::errc{} || stop != digits.data() + digits.size() ||
      !IsXmlCharacter(code)) {
    return 0;
  }
  AppendUtf8(out, code);
  return end + 1;
}

std::string DecodeXmlEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      if (const std::size_t used = DecodeXmlReference(text.substr(i), out); used > 0) {
        i += used;
        continue;
      }
    }
    out.push_back(text[i++]);
  }
  return out;
}

std::string DecodeXmlText(std::string_view text) {
  std::string out = DecodeXmlEntities(text);
  NormaliseXmlWhiteSpace(out);
  return out;
}

}  // namespace logwell
