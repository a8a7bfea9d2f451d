#pragma once
// A small XML tag scanner for the files the program reads (KML and GPX tracks and waypoints,
// competition pilot lists). It is no full XML parser: each call hands back the next tag with its
// attribute text and the content that preceded it, and every reader keeps its own nesting and
// rules. Views point into the scanned text, so the text must outlive them; nothing is
// allocated and nothing is copied.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logwell {

enum class XmlScanResult : int {
  Tag = 0,               // an opening or closing tag, a declaration or a comment
  EmptyElement = 1,      // a tag closed by "/>"
  EndOfText = -1,        // no further tag; the pending content is still returned
  UnterminatedTag = -2,  // a tag, comment or CDATA section runs to the end of the text
};

struct XmlTag {
  XmlScanResult result = XmlScanResult::EndOfText;
  // "kml", "/Placemark", "?xml", "!DOCTYPE"; "!--" for a comment.
  std::string_view name;
  // The text after the name up to the closing ">" (without the "/" of an empty element). A ">"
  // inside a quoted attribute value does not close a start tag, and "<?...?>" closes at "?>".
  std::string_view attributes;
  // The text since the previous tag, from its first non-white-space character up to this tag
  // (line breaks and trailing white space kept), or the text of a CDATA section there.
  std::string_view content;
};

class XmlTagScanner {
 public:
  explicit XmlTagScanner(std::string_view text) : text_(text) {}

  // The next tag. After EndOfText or UnterminatedTag every further call gives EndOfText.
  XmlTag Next();

  // Offset of the first character not yet scanned.
  std::size_t Position() const { return position_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Attribute values longer than this are cut to it.
inline constexpr std::size_t kMaxXmlAttributeValue = 79;

// The value of an attribute written as name="value" or name='value' in a tag's attribute text,
// cut to kMaxXmlAttributeValue characters; nothing when the attribute is absent.
std::optional<std::string_view> FindXmlAttribute(std::string_view attributes, std::string_view name);

enum class XmlNumberStatus : int { Ok = 0, Absent = -1, NotANumber = -2 };

struct XmlIntAttribute {
  XmlNumberStatus status = XmlNumberStatus::Absent;
  std::int32_t value = 0;
};

// An attribute read as a decimal integer (leading white space and a sign allowed; reading stops
// at the first character after the digits). A value without digits or beyond the 32-bit range is
// not a number.
XmlIntAttribute FindXmlIntAttribute(std::string_view attributes, std::string_view name);

// Turns carriage returns, line feeds and tabs into spaces, folds runs of spaces into one and
// removes leading and trailing spaces, in place. Returns the new length; 0 means that the text
// held nothing but white space.
std::size_t NormaliseXmlWhiteSpace(std::string& text);

}  // namespace logwell
