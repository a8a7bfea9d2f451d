// Scans any bytes as XML: every tag, its attributes and its content, as the KML and GPX readers
// do. Also checks that the scanner always advances and ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/xml_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  logwell::XmlTagScanner scanner(text);
  std::size_t lastPosition = 0;
  for (std::size_t calls = 0;; ++calls) {
    const logwell::XmlTag tag = scanner.Next();
    // Each tag takes at least "<>", so a scanner that loops has gone wrong.
    if (calls > size / 2 + 1 || scanner.Position() > size) std::abort();
    for (const char* name : {"lat", "lon", "id", "version"}) {
      (void)logwell::FindXmlAttribute(tag.attributes, name);
      (void)logwell::FindXmlIntAttribute(tag.attributes, name);
    }
    std::string content(tag.content);
    if (logwell::NormaliseXmlWhiteSpace(content) != content.size()) std::abort();
    if (tag.result == logwell::XmlScanResult::EndOfText ||
        tag.result == logwell::XmlScanResult::UnterminatedTag) {
      break;
    }
    if (scanner.Position() <= lastPosition && calls > 0) std::abort();
    lastPosition = scanner.Position();
  }
  return 0;
}
