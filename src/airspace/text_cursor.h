#pragma once
// A read position in one line of airspace text, with the small scanning steps the height, radius
// and position readers share. Never reads past the end of its text.
#include <cstddef>
#include <optional>
#include <string_view>

namespace logwell {

class TextCursor {
 public:
  explicit TextCursor(std::string_view text, std::size_t position = 0)
      : text_(text), position_(position) {}

  bool AtEnd() const { return position_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return position_ + ahead < text_.size() ? text_[position_ + ahead] : '\0';
  }
  std::size_t Position() const { return position_; }
  void Advance(std::size_t count = 1) { position_ += count; }
  std::string_view Rest() const { return AtEnd() ? std::string_view() : text_.substr(position_); }

  static bool IsSpace(char c) { return c == ' ' || c == '\t'; }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

  // Skips spaces and tabs; the number skipped.
  std::size_t SkipSpaces() {
    const std::size_t start = position_;
    while (IsSpace(Peek())) ++position_;
    return position_ - start;
  }

  // True (and steps over it) when the next character is `c`.
  bool Take(char c) {
    if (AtEnd() || Peek() != c) return false;
    ++position_;
    return true;
  }

  // A whole number of at most 9 digits; nothing (and no move) when no digit stands here.
  std::optional<long> Whole() {
    if (!IsDigit(Peek())) return std::nullopt;
    long value = 0;
    std::size_t digits = 0;
    while (IsDigit(Peek())) {
      if (++digits > 9) return std::nullopt;
      value = value * 10 + (Peek() - '0');
      ++position_;
    }
    return value;
  }

  // A fraction after a decimal mark ('.' or, when allowed, ','), which must be followed by a
  // digit: 0 and no move when there is none.
  double Fraction(bool commaAllowed) {
    const char mark = Peek();
    if (!(mark == '.' || (commaAllowed && mark == ',')) || !IsDigit(Peek(1))) return 0.0;
    ++position_;
    double value = 0.0;
    double scale = 0.1;
    while (IsDigit(Peek())) {
      value += (Peek() - '0') * scale;
      scale *= 0.1;
      ++position_;
    }
    return value;
  }

  // A decimal number: digits, then an optional fraction.
  std::optional<double> Decimal(bool commaAllowed) {
    const auto whole = Whole();
    if (!whole) return std::nullopt;
    return static_cast<double>(*whole) + Fraction(commaAllowed);
  }

  // True when only spaces, then the end or a '*' comment, follow.
  bool OnlyCommentFollows() {
    SkipSpaces();
    return AtEnd() || Peek() == '*';
  }

 private:
  std::string_view text_;
  std::size_t position_;
};

}  // namespace logwell
