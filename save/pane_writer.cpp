#include "save/pane_writer.h"

#include "files/failure.h"
#include "text/text_lines.h"

namespace kestrel {

namespace {

// Splitting the text at CR LF and writing every piece followed by CR LF gives back the text
// itself, with CR LF added when the last piece is not empty.
bool lacks_final_crlf(std::string_view pane_text) {
  return !pane_text.empty() && !pane_text.ends_with(crlf);
}

}  // namespace

std::string_view pane_file_view(std::string_view pane_text, std::string& completed) {
  if (!lacks_final_crlf(pane_text)) return pane_text;
  completed.assign(pane_text).append(crlf);
  return completed;
}

void write_pane(Files& files, const std::filesystem::path& path, std::string_view pane_text) {
  std::string completed;
  files.write(path, pane_file_view(pane_text, completed));
}

// The pane and its missing CR LF go out one after the other, without a copy of the pane.
void write_pane(std::ostream& out, std::string_view pane_text) {
  out.write(pane_text.data(), static_cast<std::streamsize>(pane_text.size()));
  if (lacks_final_crlf(pane_text))
    out.write(crlf.data(), static_cast<std::streamsize>(crlf.size()));
  out.flush();
  if (!out) throw make_failure(FailureCode::device_io_error);
}

}  // namespace kestrel
