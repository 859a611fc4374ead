#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QString>

class QPlainTextEdit;

namespace kestrel {

// The window's edge: the core's strings are code-page bytes, Qt's are Unicode.
QString to_qstring(std::string_view ansi);
std::string to_ansi(const QString& text);

// A pane's text is lines joined by CR LF; the widget holds paragraphs. A lone CR or a lone LF is
// part of its line, which a paragraph cannot hold, so the widget shows it as its control picture
// (U+240D, U+240A) and gives it back as the byte. Both directions are byte exact for every text
// the code page can hold.
void set_pane_text(QPlainTextEdit& pane, std::string_view text);
std::string pane_text(const QPlainTextEdit& pane);

// A character the code page cannot hold, which a save would write as "?", and its 1-based line.
struct LostCharacter {
  QString character;
  int line = 0;
};

// The first `most` such characters of the pane, in order.
std::vector<LostCharacter> lost_characters(const QPlainTextEdit& pane, std::size_t most);

// Empties the pane as an edit would, so that Undo brings the text back.
void clear_pane(QPlainTextEdit& pane);

// Selects the pane's line with 0-based index `line` (the last one when there are fewer) and
// scrolls it into view.
void select_pane_line(QPlainTextEdit& pane, int line);

// Puts the cursor at the start of that line, selecting nothing, and scrolls it into view.
void place_cursor_at_line(QPlainTextEdit& pane, int line);

// Marks that line with a background band, which is no selection and leaves the cursor where it
// is, and scrolls the band into view.
void show_band(QPlainTextEdit& pane, int line);

}  // namespace kestrel
