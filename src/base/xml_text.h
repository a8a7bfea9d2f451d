#pragma once
// XML text both ways: the characters a writer must escape, and the entity and character
// references a reader decodes.
#include <cstddef>
#include <string>
#include <string_view>

namespace logwell {

// Whether '"' is escaped too: needed inside an attribute value in double quotes, and kept by
// the writers whose files always had it escaped.
enum class XmlQuotes { Kept, Escaped };

// The entity a writer puts for c: "&amp;", "&lt;", "&gt;", and "&quot;" when quotes are
// escaped; empty when c is written as it is.
std::string_view XmlEntityFor(char c, XmlQuotes quotes);

// Appends text with every character of XmlEntityFor replaced by its entity.
void AppendEscapedXml(std::string& out, std::string_view text, XmlQuotes quotes);
std::string EscapeXml(std::string_view text, XmlQuotes quotes);

// Decodes the reference at the start of text: one of the five predefined entities ("&amp;",
// "&lt;", "&gt;", "&quot;", "&apos;") or a character reference ("&#233;", "&#xE9;"), appended
// to out as UTF-8. Returns the length read; 0 (and nothing appended) when text starts with no
// reference this decodes, such as a lone '&', an unknown name or a code that is no character.
std::size_t DecodeXmlReference(std::string_view text, std::string& out);

// Text or an attribute value with every reference decoded; an '&' that starts none is kept as
// written.
std::string DecodeXmlEntities(std::string_view text);

// Element text as shown to the user: references decoded, then white space normalised as by
// NormaliseXmlWhiteSpace.
std::string DecodeXmlText(std::string_view text);

}  // namespace logwell
