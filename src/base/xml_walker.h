#pragma once
// Element structure on top of the XML tag scanner: checks the opening "<?xml", keeps the stack
// of open elements and reports the structure faults of a file with the texts every XML reader
// of the program shows. Comments, declarations and processing instructions are passed over.
// A document type declaration with an internal subset ("<!DOCTYPE x [...]>") is not read.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"
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

// What a reader accepts beyond the common structure rules.
struct XmlStructureRules {
  // Text before a start tag inside an element is read as mixed content instead of being refused
  // with "Data found before tag"; text before the root element still is refused.
  bool mixedContent = false;
  // Messages name an end tag as written, with its "/" ("Tag <a> is terminated by </b>",
  // "Terminating tag </b> encountered at root level"), rather than by its element name.
  bool endTagsWithSlash = false;
  // A document without the "<?xml ...?>" declaration is read (XML makes it optional) instead
  // of being refused with "Missing opening tag '<?xml>'".
  bool declarationOptional = false;
};

class XmlStructureReader {
 public:
  static constexpr std::size_t kMaxNesting = 19;
  static constexpr std::size_t kMaxNameInMessage = 20;

  explicit XmlStructureReader(std::string_view text, XmlStructureRules rules = {})
      : text_(text), scanner_(text), rules_(rules) {}

  // Checks that the first tag is "?xml" (after nothing but white space or a UTF-8 byte-order
  // mark), or with declarationOptional that nothing but those comes before the first tag.
  // False with the message in `error` otherwise.
  bool Start(std::string& error);

  // The next element event. An empty element gives an Open and then a Close event. False with
  // the message in `error` on a structure fault; End once the text is used up cleanly.
  bool Next(XmlElementEvent& event, std::string& error);

  // The names of the open elements, outermost first.
  const std::vector<std::string_view>& OpenElements() const { return open_; }

  // A tag name as messages show it: cut after kMaxNameInMessage characters and followed by "...".
  static std::string NameForMessage(std::string_view name);

 private:
  std::string_view Innermost() const { return open_.empty() ? std::string_view{} : open_.back(); }
  std::string EndTagForMessage(std::string_view name) const;

  std::string_view text_;
  XmlTagScanner scanner_;
  XmlStructureRules rules_;
  std::vector<std::string_view> open_;
  bool pendingClose_ = false;  // an empty element still owes its Close event
  std::string_view pendingName_;
  std::string_view carriedContent_;  // content seen before a comment
};

// The same walk for a reader that shows the first structure fault to the user once, with the
// file's caption, and then stops.
class ReportingXmlReader {
 public:
  ReportingXmlReader(std::string_view text, Ui& ui, std::string_view caption,
                     XmlStructureRules rules = {})
      : reader_(text, rules), ui_(ui), caption_(caption) {}

  // The next Open or Close event; nothing at the end of the document or after a fault.
  std::optional<XmlElementEvent> Next();
  bool Failed() const { return failed_; }

 private:
  XmlStructureReader reader_;
  Ui& ui_;
  std::string_view caption_;
  bool started_ = false;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace logwell
