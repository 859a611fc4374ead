#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kestrel::lsp {

// The largest message body read; a header that announces more is refused.
inline constexpr std::size_t kLargestBody = std::size_t{256} << 20;
// The longest header line read.
inline constexpr std::size_t kLongestHeaderLine = 4096;

// One read of the base protocol: a body, a header that could not be understood, or the end of
// the input.
struct Frame {
  enum class Kind { body, bad_header, end };
  Kind kind = Kind::end;
  std::string body;
};

// Reads the messages of the base protocol: header lines ended by CR LF, an empty line, and a body
// of Content-Length bytes. A header without a usable length is reported and passed over; reading
// goes on with the next header.
class MessageReader {
 public:
  explicit MessageReader(std::istream& in) : in_(in) {}
  Frame next();
  // Whether more input waits already, so that work for a change can wait for the next one.
  bool more_waiting() const;

 private:
  std::optional<std::string> header_line();
  std::istream& in_;
};

void write_message(std::ostream& out, std::string_view body);

}  // namespace kestrel::lsp
