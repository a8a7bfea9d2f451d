#include "base/xml_walker.h"

#include "base/text.h"

namespace logwell {
namespace {

// Comments, "<!DOCTYPE ...>" and "<?...?>" carry no element structure.
bool IsMarkup(std::string_view name) { return name.starts_with('!') || name.starts_with('?'); }

}  // namespace

std::string XmlStructureReader::NameForMessage(std::string_view name) {
  if (name.size() <= kMaxNameInMessage) return std::string(name);
  return std::string(name.substr(0, kMaxNameInMessage)) + "...";
}

std::string XmlStructureReader::EndTagForMessage(std::string_view name) const {
  return rules_.endTagsWithSlash ? NameForMessage("/" + std::string(name)) : NameForMessage(name);
}

bool XmlStructureReader::Start(std::string& error) {
  const XmlTag first = scanner_.Next();
  if (first.result == XmlScanResult::EndOfText || first.result == XmlScanResult::UnterminatedTag) {
    error = "No tags found";
    return false;
  }
  const std::string_view before = StripUtf8Bom(text_.substr(0, text_.find('<')));
  if (!IsBlank(before, kBlanksAndLineEnds)) {
    error = "Unknown BOM before opening tag '<?xml>'";
    return false;
  }
  // "<?xml?>" without attributes leaves the closing "?" on the name.
  if (first.name != "?xml" && first.name != "?xml?") {
    if (rules_.declarationOptional) {
      // The first tag is part of the document: read it again from the start.
      scanner_ = XmlTagScanner(text_);
      return true;
    }
    error = "Missing opening tag '<?xml>'";
    return false;
  }
  return true;
}

bool XmlStructureReader::Next(XmlElementEvent& event, std::string& error) {
  if (pendingClose_) {
    pendingClose_ = false;
    event = {XmlElementEvent::Kind::Close, pendingName_, {}, {}, open_.size(), Innermost()};
    return true;
  }
  while (true) {
    const XmlTag tag = scanner_.Next();
    std::string_view content = tag.content.empty() ? carriedContent_ : tag.content;
    carriedContent_ = {};
    if (tag.result == XmlScanResult::UnterminatedTag) {
      error = "End-of-file encountered within a tag";
      return false;
    }
    if (tag.result == XmlScanResult::EndOfText) {
      if (!content.empty()) {
        error = "Data found after last tag";
        return false;
      }
      if (!open_.empty()) {
        error = "Nesting level not zero at end-of-file";
        return false;
      }
      event = {XmlElementEvent::Kind::End, {}, {}, {}, 0, {}};
      return true;
    }
    if (IsMarkup(tag.name)) {
      carriedContent_ = content;
      continue;
    }
    if (tag.name.starts_with('/')) {
      const std::string_view name = tag.name.substr(1);
      if (open_.empty()) {
        error = "Terminating tag <" + EndTagForMessage(name) + "> encountered at root level";
        return false;
      }
      if (open_.back() != name) {
        error = "Tag <" + NameForMessage(open_.back()) + "> is terminated by <" +
                EndTagForMessage(name) + ">";
        return false;
      }
      open_.pop_back();
      event = {XmlElementEvent::Kind::Close, name, {}, content, open_.size(), Innermost()};
      return true;
    }
    if (!content.empty() && (open_.empty() || !rules_.mixedContent)) {
      error = "Data found before tag <" + NameForMessage(tag.name) + ">";
      return false;
    }
    if (open_.size() >= kMaxNesting) {
      error = "Nesting limit exceeded at tag <" + NameForMessage(tag.name) + ">";
      return false;
    }
    event = {XmlElementEvent::Kind::Open, tag.name, tag.attributes, {}, open_.size(), Innermost()};
    if (tag.result == XmlScanResult::EmptyElement) {
      pendingClose_ = true;
      pendingName_ = tag.name;
    } else {
      open_.push_back(tag.name);
    }
    return true;
  }
}

std::optional<XmlElementEvent> ReportingXmlReader::Next() {
  if (failed_ || finished_) return std::nullopt;
  std::string error;
  XmlElementEvent event;
  if (!started_) {
    started_ = true;
    failed_ = !reader_.Start(error);
  }
  if (!failed_) failed_ = !reader_.Next(event, error);
  if (failed_) {
    ui_.ShowErrorBox(error, caption_);
    return std::nullopt;
  }
  if (event.kind == XmlElementEvent::Kind::End) {
    finished_ = true;
    return std::nullopt;
  }
  return event;
}

}  // namespace logwell
