#include "base/xml_scanner.h"

#include <charconv>

namespace logwell {
namespace {

constexpr std::string_view kCommentStart = "<!--";
constexpr std::string_view kCommentEnd = "-->";
constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kCdataEnd = "]]>";

constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

std::string_view SkipLeadingSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsXmlSpace(text[i])) ++i;
  return text.substr(i);
}

// Splits the inside of a tag (between "<" and ">") into name and attribute text.
XmlTag SplitTag(std::string_view inside, std::string_view content) {
  XmlTag tag;
  tag.content = content;
  tag.result = XmlScanResult::Tag;
  if (!inside.empty() && inside.back() == '/') {
    tag.result = XmlScanResult::EmptyElement;
    inside.remove_suffix(1);
  }
  std::size_t nameEnd = 0;
  while (nameEnd < inside.size() && !IsXmlSpace(inside[nameEnd])) ++nameEnd;
  tag.name = inside.substr(0, nameEnd);
  tag.attributes = SkipLeadingSpace(inside.substr(nameEnd));
  return tag;
}

// The offset of the ">" that closes the tag at the start of rest (rest[0] is its "<"), npos when
// the text ends first. A processing instruction or declaration "<?...?>" closes at "?>"; in a
// start tag a quoted attribute value may hold ">", so the value's quotes are followed; end tags
// and "<!" declarations close at the first ">".
std::size_t TagEnd(std::string_view rest) {
  if (rest.starts_with("<?")) {
    const std::size_t end = rest.find("?>", 2);
    return end == std::string_view::npos ? end : end + 1;
  }
  if (rest.starts_with("</") || rest.starts_with("<!")) return rest.find('>');
  bool afterEquals = false;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '>') return i;
    if (IsXmlSpace(c)) continue;
    if (afterEquals && (c == '"' || c == '\'')) {
      i = rest.find(c, i + 1);
      if (i == std::string_view::npos) return i;
    }
    afterEquals = c == '=';
  }
  return std::string_view::npos;
}

}  // namespace

XmlTag XmlTagScanner::Next() {
  std::string_view content;
  bool contentFromCdata = false;
  while (true) {
    const std::size_t open = text_.find('<', position_);
    // After a CDATA section the section's text is the content; text between it and the next
    // tag is not.
    if (!contentFromCdata) {
      const std::size_t length = open == std::string_view::npos ? std::string_view::npos : open - position_;
      content = SkipLeadingSpace(text_.substr(position_, length));
    }
    if (open == std::string_view::npos) {
      position_ = text_.size();
      return {XmlScanResult::EndOfText, {}, {}, content};
    }
    const std::string_view rest = text_.substr(open);

    if (rest.starts_with(kCommentStart)) {
      const std::size_t end = rest.find(kCommentEnd, kCommentStart.size());
      if (end == std::string_view::npos) break;
      position_ = open + end + kCommentEnd.size();
      return {XmlScanResult::Tag, "!--", {}, content};
    }
    if (rest.starts_with(kCdataStart)) {
      const std::size_t end = rest.find(kCdataEnd, kCdataStart.size());
      if (end == std::string_view::npos) break;
      content = rest.substr(kCdataStart.size(), end - kCdataStart.size());
      contentFromCdata = true;
      position_ = open + end + kCdataEnd.size();
      continue;
    }
    const std::size_t close = TagEnd(rest);
    if (close == std::string_view::npos) break;
    position_ = open + close + 1;
    return SplitTag(rest.substr(1, close - 1), content);
  }
  position_ = text_.size();
  return {XmlScanResult::UnterminatedTag, {}, {}, content};
}

std::optional<std::string_view> FindXmlAttribute(std::string_view attributes, std::string_view name) {
  std::size_t i = 0;
  const auto skipSpace = [&] {
    while (i < attributes.size() && IsXmlSpace(attributes[i])) ++i;
  };
  while (true) {
    skipSpace();
    if (i >= attributes.size()) return std::nullopt;
    const std::size_t nameStart = i;
    while (i < attributes.size() && !IsXmlSpace(attributes[i]) && attributes[i] != '=') ++i;
    const std::string_view attributeName = attributes.substr(nameStart, i - nameStart);
    skipSpace();
    if (i >= attributes.size() || attributes[i] != '=') continue;  // an attribute without value
    ++i;
    skipSpace();
    if (i >= attributes.size()) return std::nullopt;
    const char quote = attributes[i];
    if (quote != '"' && quote != '\'') {
      // An unquoted value is no value: step over it.
      while (i < attributes.size() && !IsXmlSpace(attributes[i])) ++i;
      continue;
    }
    const std::size_t valueEnd = attributes.find(quote, i + 1);
    if (valueEnd == std::string_view::npos) return std::nullopt;
    const std::string_view value = attributes.substr(i + 1, valueEnd - i - 1);
    i = valueEnd + 1;
    if (attributeName == name) return value.substr(0, kMaxXmlAttributeValue);
  }
}

XmlIntAttribute FindXmlIntAttribute(std::string_view attributes, std::string_view name) {
  const std::optional<std::string_view> found = FindXmlAttribute(attributes, name);
  if (!found) return {XmlNumberStatus::Absent, 0};
  std::string_view digits = SkipLeadingSpace(*found);
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
    if (digits.starts_with('-')) return {XmlNumberStatus::NotANumber, 0};
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc{}) return {XmlNumberStatus::NotANumber, 0};
  return {XmlNumberStatus::Ok, value};
}

std::size_t NormaliseXmlWhiteSpace(std::string& text) {
  std::size_t out = 0;
  bool pendingSpace = false;
  for (const char c : text) {
    if (IsXmlSpace(c)) {
      pendingSpace = out > 0;  // leading white space is dropped
      continue;
    }
    if (pendingSpace) text[out++] = ' ';
    pendingSpace = false;
    text[out++] = c;
  }
  text.resize(out);  // trailing white space is dropped with the pending space
  return out;
}

}  // namespace logwell
