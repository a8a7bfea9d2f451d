#pragma once
// Element structure on top of the XML tag scanner: checks the opening "<?xml", keeps the stack
// of open elements and reports the structure faults of a file with the texts every XML reader
// of the program shows. Comments, declarations and processing instructions are passed over.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_scanner.h"

namespace logwell {

struct XmlElementEvent {
  enum class Kind { Open, Close, End };
  Kind kind = Kind::End;
  std::string_view name;
  std::string_view attributes;  // Open only
  std::string_view content;     // Close only: the text before the end tag
  std::size_t depth = 0;        // elements open around this one (0 for the root element)
  std::string_view parent;      // the element around this one, empty for the root element
};

class XmlStructureReader {
 public:
  static constexpr std::size_t kMaxNesting = 19;
  static constexpr std::size_t kMaxNameInMessage = 20;

  explicit XmlStructureReader(std::string_view text) : text_(text), scanner_(text) {}

  // Checks that the first tag is "?xml" (after nothing but white space or a UTF-8 byte-order
  // mark). False with the message in `error` otherwise.
  bool Start(std::string& error);

  // The next element event. An empty element gives an Open and then a Close event. False with
  // the message in `error` on a structure fault; End once the text is used up cleanly.
  bool Next(XmlElementEvent& event, std::string& error);

  // The names of the open elements, outermost first.
  const std::vector<std::string_view>& OpenElements() const { return open_; }

 private:
  static std::string NameForMessage(std::string_view name);
  std::string_view Innermost() const { return open_.empty() ? std::string_view{} : open_.back(); }

  std::string_view text_;
  XmlTagScanner scanner_;
  std::vector<std::string_view> open_;
  bool pendingClose_ = false;  // an empty element still owes its Close event
  std::string_view pendingName_;
  std::string_view carriedContent_;  // content seen before a comment
};

}  // namespace logwell
