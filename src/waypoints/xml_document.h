#pragma once
// Walks the elements of an XML waypoint file with the tag scanner, checking its structure: the
// "<?xml" declaration first, balanced tags, a nesting limit, nothing after the last tag. Each
// fault is reported once with the file's caption.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "base/xml_scanner.h"

namespace logwell {

struct XmlElementEvent {
  enum class Kind { Open, Close, Empty };
  Kind kind = Kind::Open;
  std::string_view name;        // without the '/' of a closing tag
  std::string_view attributes;
  std::string_view content;     // the text since the previous tag
  std::size_t depth = 0;        // open elements around it (an opening tag counts itself)
  std::string_view parent;      // the element that encloses it ("" at the root)
};

class XmlDocumentWalker {
 public:
  static constexpr std::size_t kNestingLimit = 64;

  XmlDocumentWalker(std::string_view text, Ui& ui, std::string_view caption);

  // The next element event; nothing at the end of the document or after a fault (Failed()).
  std::optional<XmlElementEvent> Next();
  bool Failed() const { return failed_; }

 private:
  bool Fail(const std::string& message);
  bool CheckProlog();

  XmlTagScanner scanner_;
  Ui& ui_;
  std::string_view caption_;
  std::vector<std::string_view> open_;
  bool started_ = false;
  bool failed_ = false;
  bool finished_ = false;
};

// A tag name for a message: cut after 20 characters and followed by "...".
std::string ShortTagName(std::string_view name);

}  // namespace logwell
