#include "online/response_check.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace logwell::online {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

int ReadStatusCode(std::string_view headers) {
  // "HTTP/x[.y]" SP three digits SP-or-end.
  if (headers.substr(0, 5) != "HTTP/") return kCheckNoStatus;
  const std::size_t space = headers.find(' ');
  const std::size_t lineEnd = headers.find_first_of("\r\n");
  if (space == std::string_view::npos || space > lineEnd) return kCheckNoStatus;
  const std::string_view rest = headers.substr(space + 1);
  int status = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + std::min<std::size_t>(rest.size(), 3), status);
  if (error != std::errc() || end != rest.data() + 3 || status < 100) return kCheckNoStatus;
  if (rest.size() > 3 && rest[3] != ' ' && rest[3] != '\r' && rest[3] != '\n') {
    return kCheckNoStatus;
  }
  return status;
}

int CheckStatus(std::string_view headers, int wanted) {
  const int status = ReadStatusCode(headers);
  if (status < 0) return status;
  return status == wanted ? 0 : kCheckWrongStatus;
}

int ReadLocationNumber(std::string_view headers, std::string_view urlPrefix, bool ampersandEnds,
                       std::int64_t& number) {
  if (headers.empty()) return kCheckNoHeaders;
  // Header lines after the status line; the value runs to its carriage return (kept).
  std::size_t at = headers.find('\n');
  while (at != std::string_view::npos && at + 1 < headers.size()) {
    const std::string_view line = headers.substr(at + 1);
    const std::size_t colon = line.find(':');
    const std::size_t end = line.find('\n');
    if (colon != std::string_view::npos && colon < end &&
        EqualNoCase(line.substr(0, colon), "Location")) {
      std::string_view value = line.substr(
          colon + 1, end == std::string_view::npos ? std::string_view::npos : end - colon - 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
      }
      if (value.substr(0, urlPrefix.size()) != urlPrefix) return kCheckPrefixNotFound;
      value.remove_prefix(urlPrefix.size());
      std::size_t digits = 0;
      while (digits < value.size() && IsDigit(value[digits])) ++digits;
      const bool endsRight =
          digits < value.size() && (value[digits] == '\r' || (ampersandEnds && value[digits] == '&'));
      if (digits == 0 || !endsRight) return kCheckBadDigits;
      const auto [last, error] = std::from_chars(value.data(), value.data() + digits, number);
      if (error != std::errc() || last != value.data() + digits) return kCheckBadDigits;
      return 0;
    }
    at = end == std::string_view::npos ? end : at + 1 + end;
  }
  return kCheckNoLocation;
}

}  // namespace logwell::online
