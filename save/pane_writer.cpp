#include "save/pane_writer.h"

#include "files/failure.h"
#include "text/text_lines.h"

namespace kestrel {

// Splitting the text at CR LF and writing every piece followed by CR LF gives back the text
// itself, with CR LF added when the last piece is not empty.
std::string pane_file_bytes(std::string_view pane_text) {
  std::string bytes(pane_text);
  if (!pane_text.empty() && !pane_text.ends_with(crlf)) bytes += crlf;
  return bytes;
}

std::string_view pane_file_view(std::string_view pane_text, std::string& completed) {
  if (pane_text.empty() || pane_text.ends_with(crlf)) return pane_text;
  completed = pane_file_bytes(pane_text);
  return completed;
}

void write_pane(Files& files, const std::filesystem::path& path, std::string_view pane_text) {
  std::string completed;
  files.write(path, pane_file_view(pane_text, completed));
}

// The pane and its missing CR LF go out one after the other, without a copy of the pane.
void write_pane(std::ostream& out, std::string_view pane_text) {
  out.write(pane_text.data(), static_cast<std::streamsize>(pane_text.size()));
  if (!pane_text.empty() && !pane_text.ends_with(crlf))
    out.write(crlf.data(), static_cast<std::streamsize>(crlf.size()));
  out.flush();
  if (!out) throw make_failure(FailureCode::device_io_error);
}

}  // namespace kestrel
