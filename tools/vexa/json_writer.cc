#include "json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vexa::tool {

void JsonWriter::Indent() {
  out_ << '\n';
  for (size_t i = 0; i < counts_.size(); ++i) out_ << "  ";
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!counts_.empty()) {
    if (counts_.back()++ > 0) out_ << ',';
    Indent();
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_ << '{';
  counts_.push_back(0);
}

void JsonWriter::EndObject() {
  bool empty = counts_.back() == 0;
  counts_.pop_back();
  if (!empty) Indent();
  out_ << '}';
  if (counts_.empty()) out_ << '\n';
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_ << '[';
  counts_.push_back(0);
}

void JsonWriter::EndArray() {
  bool empty = counts_.back() == 0;
  counts_.pop_back();
  if (!empty) Indent();
  out_ << ']';
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  WriteString(key);
  out_ << ": ";
  after_key_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  WriteString(value);
}

void JsonWriter::Int(int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Number(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    out_ << "null";
    return;
  }
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out_.write(buf, res.ptr - buf);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

namespace {

// Length of a valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3
             : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  if (n == 2 && b < 0xC2) return 0;  // overlong
  return n;
}

}  // namespace

void JsonWriter::WriteString(std::string_view s) {
  out_ << '"';
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out_ << '\\' << s[i++];
    } else if (c == '\n') {
      out_ << "\\n", ++i;
    } else if (c == '\t') {
      out_ << "\\t", ++i;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out_ << buf;
      ++i;
    } else {
      size_t n = Utf8Length(s, i);
      if (n == 0) {
        out_ << "\xEF\xBF\xBD";
        ++i;
      } else {
        out_.write(s.data() + i, static_cast<std::streamsize>(n));
        i += n;
      }
    }
  }
  out_ << '"';
}

}  // namespace vexa::tool
