#pragma once
// The program keeps its texts as UTF-8 in std::string; Qt wants QString.
#include <QString>
#include <string_view>

namespace logwell::qt {

inline QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace logwell::qt
