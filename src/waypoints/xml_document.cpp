#include "waypoints/xml_document.h"

namespace logwell {

std::string ShortTagName(std::string_view name) {
  constexpr std::size_t kShown = 20;
  if (name.size() <= kShown) return std::string(name);
  return std::string(name.substr(0, kShown)) + "...";
}

XmlDocumentWalker::XmlDocumentWalker(std::string_view text, Ui& ui, std::string_view caption)
    : scanner_(text), ui_(ui), caption_(caption) {}

bool XmlDocumentWalker::Fail(const std::string& message) {
  failed_ = true;
  ui_.ShowErrorBox(message, caption_);
  return false;
}

bool XmlDocumentWalker::CheckProlog() {
  started_ = true;
  const XmlTag first = scanner_.Next();
  if (first.result == XmlScanResult::EndOfText) return Fail("No tags found");
  if (first.result == XmlScanResult::UnterminatedTag) {
    return Fail("End-of-file encountered within a tag");
  }
  if (!first.content.empty()) return Fail("Unknown BOM before opening tag '<?xml>'");
  if (first.name != "?xml") return Fail("Missing opening tag '<?xml>'");
  return true;
}

std::optional<XmlElementEvent> XmlDocumentWalker::Next() {
  if (failed_ || finished_) return std::nullopt;
  if (!started_ && !CheckProlog()) return std::nullopt;
  while (true) {
    const XmlTag tag = scanner_.Next();
    if (tag.result == XmlScanResult::UnterminatedTag) {
      Fail("End-of-file encountered within a tag");
      return std::nullopt;
    }
    if (tag.result == XmlScanResult::EndOfText) {
      finished_ = true;
      if (!open_.empty()) {
        Fail("Nesting level not zero at end-of-file");
      } else if (!tag.content.empty()) {
        Fail("Data found after last tag");
      }
      return std::nullopt;
    }
    // Declarations, processing instructions and comments carry no elements.
    if (tag.name.empty() || tag.name.front() == '?' || tag.name.front() == '!') continue;

    XmlElementEvent event;
    event.attributes = tag.attributes;
    event.content = tag.content;
    event.parent = open_.empty() ? std::string_view{} : open_.back();
    if (tag.name.front() == '/') {
      event.kind = XmlElementEvent::Kind::Close;
      event.name = tag.name.substr(1);
      if (open_.empty()) {
        Fail("Terminating tag <" + ShortTagName(tag.name) + "> encountered at root level");
        return std::nullopt;
      }
      if (open_.back() != event.name) {
        Fail("Tag <" + ShortTagName(open_.back()) + "> is terminated by <" +
             ShortTagName(tag.name) + ">");
        return std::nullopt;
      }
      event.depth = open_.size();
      open_.pop_back();
      event.parent = open_.empty() ? std::string_view{} : open_.back();
      return event;
    }
    event.name = tag.name;
    if (open_.empty() && !tag.content.empty()) {
      Fail("Data found before tag <" + ShortTagName(tag.name) + ">");
      return std::nullopt;
    }
    if (tag.result == XmlScanResult::EmptyElement) {
      event.kind = XmlElementEvent::Kind::Empty;
      event.depth = open_.size() + 1;
      return event;
    }
    if (open_.size() >= kNestingLimit) {
      Fail("Nesting limit exceeded at tag <" + ShortTagName(tag.name) + ">");
      return std::nullopt;
    }
    open_.push_back(tag.name);
    event.kind = XmlElementEvent::Kind::Open;
    event.depth = open_.size();
    return event;
  }
}

}  // namespace logwell
