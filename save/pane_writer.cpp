#include "save/pane_writer.h"

#include "app/failure.h"
#include "app/file_io.h"
#include "app/workbench.h"

namespace kestrel {

std::string_view missing_line_end(std::string_view pane_text) {
  if (pane_text.empty() || pane_text.ends_with(crlf)) return {};
  return crlf;
}

// Splitting the text at CR LF and writing every piece followed by CR LF gives back the text
// itself, so it goes out in one write instead of a write per line.
void write_pane(const std::string& ansi_path, std::string_view pane_text) {
  TargetFile file(ansi_path);
  file.write(pane_text);
  file.write(missing_line_end(pane_text));
  file.close();
}

void write_pane(std::ostream& out, std::string_view pane_text) {
  const std::string_view end = missing_line_end(pane_text);
  out.write(pane_text.data(), static_cast<std::streamsize>(pane_text.size()));
  out.write(end.data(), static_cast<std::streamsize>(end.size()));
  out.flush();
  if (!out) throw make_failure(FailureCode::device_io_error);
}

}  // namespace kestrel
