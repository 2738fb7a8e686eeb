#include "convert/set_lines.h"

#include <optional>

namespace vexa {
namespace {

// A line being taken apart from position `at`.
struct LineReader {
  std::string_view line;
  size_t at;

  bool Take(char c) {
    if (at >= line.size() || line[at] != c) return false;
    ++at;
    return true;
  }
  // "<decimal> <bytes>": the bytes, or nothing when the line breaks the
  // grammar (no digits, no blank after them, fewer bytes than counted).
  std::optional<std::string_view> Counted() {
    size_t n = 0;
    const size_t start = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
      n = n * 10 + static_cast<size_t>(line[at] - '0');
      if (n > line.size()) return std::nullopt;
      ++at;
    }
    if (at == start || !Take(' ') || n > line.size() - at) return std::nullopt;
    const std::string_view bytes = line.substr(at, n);
    at += n;
    return bytes;
  }
};

std::string Counted(std::string_view converted) {
  return std::to_string(converted.size()) + " " + std::string(converted);
}

// The converted set line, or nothing when it is not one.
std::optional<std::string> ConvertSetLine(std::string_view line,
                                          const TextConversion& convert) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq + 1 >= line.size()) return std::nullopt;
  const char type = line[eq + 1];
  if (type != 'C' && type != 'D' && type != 'E') return std::nullopt;
  LineReader in{line, eq + 2};
  std::string out = convert(line.substr(0, eq)) + "=" + type;
  if (type == 'E') {
    const size_t flags_end = line.find(' ', in.at + 1);
    if (!in.Take(' ') || flags_end == std::string_view::npos) return std::nullopt;
    out += " " + std::string(line.substr(in.at, flags_end - in.at)) + " ";
    in.at = flags_end + 1;
  }
  if (type != 'C') {
    const auto value = in.Counted();
    if (!value) return std::nullopt;
    out += Counted(convert(*value));
  }
  if (!in.Take(' ')) return std::nullopt;
  const auto label = in.Counted();
  if (!label) return std::nullopt;
  out += " " + Counted(convert(*label));
  return out + convert(line.substr(in.at));
}

}  // namespace

std::string ConvertSetLines(std::string_view text, const TextConversion& convert) {
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    // A carriage return before the line feed belongs to the separator.
    size_t content_end = end;
    if (!last && content_end > start && text[content_end - 1] == '\r') --content_end;
    const std::string_view line = text.substr(start, content_end - start);
    const std::optional<std::string> set = ConvertSetLine(line, convert);
    out += set ? *set : convert(line);
    out.append(text.substr(content_end, last ? 0 : end + 1 - content_end));
    start = last ? text.size() : end + 1;
  }
  return out;
}

}  // namespace vexa
