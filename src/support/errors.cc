#include "support/errors.h"

#include <cstdio>

namespace vexa {

SystemFileException::SystemFileException(long number, std::string message)
    : number_(number), message_(std::move(message)), what_(message_) {}

void SystemFileException::SetPlace(std::string place) {
  if (!place_.empty() || place.empty()) return;
  place_ = std::move(place);
  what_ = place_ + ": " + message_;
}

ErrorText::ErrorText(long number)
    : number_(number), text_("Datasource error # " + std::to_string(number)) {}

ErrorText::ErrorText(long number, const std::string& a)
    : number_(number),
      first_(a),
      text_("Datasource error # " + std::to_string(number) + " involving " + a) {}

ErrorText::ErrorText(long number, const std::string& a, const std::string& b)
    : number_(number),
      first_(a),
      second_(b),
      text_("Datasource error # " + std::to_string(number) + " involving " + a +
            " and " + b) {}

ContractViolation::ContractViolation(const char* expression,
                                     const char* source, int line)
    : expression_(expression) {
  what_ = std::string("contract violated: ") + expression + " at " + source +
          ":" + std::to_string(line);
}

std::string Grouped(int64_t value) {
  // In unsigned arithmetic, so that the most negative value has a magnitude.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                 : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  std::string out = value < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string SentencePiece(Quoted quoted) {
  constexpr size_t kMaxBytes = 64;
  std::string_view text = quoted.text;
  bool cut = false;
  if (text.size() > kMaxBytes) {
    size_t n = kMaxBytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    text = text.substr(0, n);
    cut = true;
  }
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += cut ? "...\"" : "\"";
  return out;
}

std::string JoinSentence(std::string_view text,
                         std::initializer_list<std::string> pieces) {
  std::string out;
  auto piece = pieces.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{' && i + 1 < text.size() && text[i + 1] == '}' &&
        piece != pieces.end()) {
      out += *piece++;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ThrowContractViolation(const char* expression, const char* source,
                            int line) {
  throw ContractViolation(expression, source, line);
}

}  // namespace vexa
