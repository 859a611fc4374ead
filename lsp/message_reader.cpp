#include "lsp/message_reader.h"

#include <charconv>
#include <streambuf>

namespace kestrel::lsp {

namespace {

constexpr std::string_view kLengthField = "content-length:";

bool field_is(std::string_view line, std::string_view field) {
  if (line.size() < field.size()) return false;
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != field[i]) return false;
  }
  return true;
}

std::optional<std::size_t> length_of(std::string_view line) {
  std::string_view value = line.substr(kLengthField.size());
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  std::size_t length = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
  if (error != std::errc() || end != value.data() + value.size() || value.empty() ||
      length > kLargestBody)
    return std::nullopt;
  return length;
}

}  // namespace

// A line ended by LF, its CR dropped; none at the end of the input. A line longer than the
// longest is cut there, the rest of it read as further lines.
std::optional<std::string> MessageReader::header_line() {
  std::string line;
  for (int c; (c = in_.get()) != std::char_traits<char>::eof();) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    line.push_back(static_cast<char>(c));
    if (line.size() >= kLongestHeaderLine) return line;
  }
  if (line.empty()) return std::nullopt;
  return line;
}

Frame MessageReader::next() {
  std::optional<std::size_t> length;
  bool understood = true;
  bool any = false;
  for (;;) {
    const std::optional<std::string> line = header_line();
    if (!line) return {Frame::Kind::end, {}};
    if (line->empty()) {
      if (!any) continue;  // blank lines between messages
      break;
    }
    any = true;
    if (field_is(*line, kLengthField)) {
      length = length_of(*line);
      if (!length) understood = false;
    } else if (line->find(':') == std::string::npos) {
      understood = false;
    }
  }
  if (!understood || !length) return {Frame::Kind::bad_header, {}};
  std::string body(*length, '\0');
  in_.read(body.data(), static_cast<std::streamsize>(body.size()));
  if (static_cast<std::size_t>(in_.gcount()) != body.size()) return {Frame::Kind::end, {}};
  return {Frame::Kind::body, std::move(body)};
}

bool MessageReader::more_waiting() const { return in_.rdbuf()->in_avail() > 0; }

void write_message(std::ostream& out, std::string_view body) {
  out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
  out.flush();
}

}  // namespace kestrel::lsp
