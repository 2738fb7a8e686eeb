#include "json_reader.h"

#include <charconv>
#include <cstdint>

namespace vexa::tool {
namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Document(JsonValue* out, std::string* error) {
    bool ok = Value(out, 0);
    if (ok) {
      SkipSpace();
      ok = at_ == text_.size() || Fail("text after the value");
    }
    if (!ok) {
      int line = 1;
      for (size_t i = 0; i < at_ && i < text_.size(); ++i) line += text_[i] == '\n';
      *error = "line " + std::to_string(line) + ": " + error_;
    }
    return ok;
  }

 private:
  bool Fail(const char* what) {
    if (error_.empty()) error_ = what;
    return false;
  }
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                  text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("unknown word");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue* out, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (at_ >= text_.size()) return Fail("unexpected end of text");
    switch (text_[at_]) {
      case '{': return Object(out, depth);
      case '[': return Array(out, depth);
      case '"': out->kind = JsonValue::Kind::kString; return String(&out->text);
      case 't': out->kind = JsonValue::Kind::kBool; out->boolean = true;
        return Literal("true");
      case 'f': out->kind = JsonValue::Kind::kBool; return Literal("false");
      case 'n': out->kind = JsonValue::Kind::kNull; return Literal("null");
      default: return Number(out);
    }
  }

  bool Number(JsonValue* out) {
    size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() &&
           std::string_view("0123456789.eE+-").find(text_[at_]) !=
               std::string_view::npos) {
      ++at_;
    }
    std::string_view digits = text_.substr(start, at_ - start);
    if (digits.empty() || digits == "-") return Fail("expected a value");
    auto res = std::from_chars(digits.data(), digits.data() + digits.size(),
                               out->number);
    if (res.ec != std::errc() || res.ptr != digits.data() + digits.size()) {
      return Fail("bad number");
    }
    out->kind = JsonValue::Kind::kNumber;
    return true;
  }

  bool Hex4(uint32_t* code) {
    if (at_ + 4 > text_.size()) return Fail("short \\u escape");
    auto res = std::from_chars(text_.data() + at_, text_.data() + at_ + 4,
                               *code, 16);
    if (res.ptr != text_.data() + at_ + 4) return Fail("bad \\u escape");
    at_ += 4;
    return true;
  }

  static void AppendUtf8(uint32_t c, std::string* out) {
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (c >> 6)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (c >> 12)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (c >> 18)));
      out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }

  bool Escape(std::string* out) {
    if (at_ >= text_.size()) return Fail("unterminated string");
    char c = text_[at_++];
    switch (c) {
      case '"': case '\\': case '/': out->push_back(c); return true;
      case 'b': out->push_back('\b'); return true;
      case 'f': out->push_back('\f'); return true;
      case 'n': out->push_back('\n'); return true;
      case 'r': out->push_back('\r'); return true;
      case 't': out->push_back('\t'); return true;
      case 'u': break;
      default: return Fail("bad escape");
    }
    uint32_t code = 0;
    if (!Hex4(&code)) return false;
    if (code >= 0xD800 && code < 0xDC00) {
      uint32_t low = 0;
      if (text_.substr(at_, 2) != "\\u") return Fail("lone surrogate");
      at_ += 2;
      if (!Hex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("lone surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      return Fail("lone surrogate");
    }
    AppendUtf8(code, out);
    return true;
  }

  bool String(std::string* out) {
    ++at_;  // opening quote
    out->clear();
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (!Escape(out)) return false;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        return Fail("control character in string");
      } else {
        out->push_back(c);
      }
    }
    return Fail("unterminated string");
  }

  // After an item of a container: true when another follows, false at the
  // closing bracket (or an error, recorded in error_).
  bool Next(char close, bool* more) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ',') {
      ++at_;
      *more = true;
      return true;
    }
    if (at_ < text_.size() && text_[at_] == close) {
      ++at_;
      *more = false;
      return true;
    }
    return Fail(close == ']' ? "expected ',' or ']'" : "expected ',' or '}'");
  }

  bool Array(JsonValue* out, int depth) {
    out->kind = JsonValue::Kind::kArray;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
    for (bool more = true; more;) {
      out->items.emplace_back();
      if (!Value(&out->items.back(), depth + 1) || !Next(']', &more)) {
        return false;
      }
    }
    return true;
  }

  bool Object(JsonValue* out, int depth) {
    out->kind = JsonValue::Kind::kObject;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
    for (bool more = true; more;) {
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a key");
      out->members.emplace_back();
      auto& member = out->members.back();
      if (!String(&member.first)) return false;
      SkipSpace();
      if (at_ >= text_.size() || text_[at_++] != ':') return Fail("expected ':'");
      if (!Value(&member.second, depth + 1) || !Next('}', &more)) return false;
    }
    return true;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

JsonValue::JsonValue() = default;
JsonValue::JsonValue(const JsonValue&) = default;
JsonValue::JsonValue(JsonValue&&) noexcept = default;
JsonValue& JsonValue::operator=(const JsonValue&) = default;
JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
JsonValue::~JsonValue() = default;

const JsonValue* JsonValue::Find(std::string_view key) const {
  const JsonValue* found = nullptr;
  for (const auto& [name, value] : members) {
    if (name == key) found = &value;
  }
  return found;
}

bool ParseJson(std::string_view text, JsonValue* out, std::string* error) {
  *out = JsonValue();
  return Parser(text).Document(out, error);
}

}  // namespace vexa::tool
