#include "online/validation_reply.h"

namespace logwell::online {

namespace {

// A cursor over the answer; every method returns false on the first byte it does not accept.
class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) : text_(text) {}

  bool AtEnd() const { return at_ == text_.size(); }

  void SkipSpace() {
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' && c != ' ' &&
          c != 0x85 && c != 0xA0) {
        return;
      }
      ++at_;
    }
  }

  bool Take(char c) {
    SkipSpace();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool Peek(char c) {
    SkipSpace();
    return at_ < text_.size() && text_[at_] == c;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    out.clear();
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      switch (text_[at_++]) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 't': out.push_back('\t'); break;
        case 'n': out.push_back('\n'); break;
        case 'f': out.push_back('\f'); break;
        case 'r': out.push_back('\r'); break;
        default: return false;  // \u and anything else
      }
    }
    return false;
  }

  // Any JSON value, thrown away; nesting is bounded so that hostile input cannot exhaust the
  // stack.
  bool SkipValue(int depth = 0) {
    if (depth > 64) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    std::string ignored;
    switch (text_[at_]) {
      case '"': return String(ignored);
      case '{': {
        ++at_;
        if (Take('}')) return true;
        do {
          if (!String(ignored) || !Take(':') || !SkipValue(depth + 1)) return false;
        } while (Take(','));
        return Take('}');
      }
      case '[': {
        ++at_;
        if (Take(']')) return true;
        do {
          if (!SkipValue(depth + 1)) return false;
        } while (Take(','));
        return Take(']');
      }
      case 't': return Word("true");
      case 'f': return Word("false");
      case 'n': return Word("null");
      default: return Number();
    }
  }

 private:
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }
  bool Number() {
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!Digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!Digits()) return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<ValidationReply> ParseValidationReply(std::string_view text) {
  JsonCursor json(text);
  ValidationReply reply;
  if (!json.Take('{')) return std::nullopt;
  if (!json.Take('}')) {
    do {
      std::string key;
      if (!json.String(key) || !json.Take(':')) return std::nullopt;
      std::string value;
      if (key == "result" || key == "status" || key == "msg") {
        if (!json.Peek('"') || !json.String(value)) return std::nullopt;
        if (key == "result") reply.result = std::move(value);
        if (key == "status") reply.status = std::move(value);
      } else if (!json.SkipValue()) {
        return std::nullopt;
      }
    } while (json.Take(','));
    if (!json.Take('}')) return std::nullopt;
  }
  json.SkipSpace();
  if (!json.AtEnd()) return std::nullopt;
  return reply;
}

}  // namespace logwell::online
