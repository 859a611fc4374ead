#include "gui/pane_text.h"

#include <algorithm>

#include <QColor>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "app/ansi.h"
#include "app/text_lines.h"

namespace kestrel {

namespace {

constexpr char16_t kCarriageReturnPicture = u'\u240D';
constexpr char16_t kLineFeedPicture = u'\u240A';

// Qt lays out a line of one long word in time that grows with the square of its length: a 1 MiB
// line would hold the window for minutes. Text with such a line wraps anywhere instead, which is
// linear and, in a monospaced pane, looks alike.
constexpr std::size_t kLongestWordWrappedLine = 4096;

// A pale yellow that every class colour of the source pane stays readable on.
constexpr const char* kBandColour = "#fff2b3";

QTextBlock pane_block(const QPlainTextEdit& pane, int line) {
  const QTextDocument& document = *pane.document();
  return document.findBlockByNumber(std::clamp(line, 0, document.blockCount() - 1));
}

bool has_line_longer_than(std::string_view text, std::size_t limit) {
  PaneLines lines(text);
  for (std::string_view line; lines.next(line);)
    if (line.size() > limit) return true;
  return lines.rest().size() > limit;
}

QString to_paragraphs(const QString& text) {
  QString result;
  result.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      result += u'\n';
      ++i;
    } else if (c == u'\r') {
      result += kCarriageReturnPicture;
    } else if (c == u'\n') {
      result += kLineFeedPicture;
    } else {
      result += c;
    }
  }
  return result;
}

// The raw text keeps no-break spaces, which the widget's plain text would turn into blanks.
QString from_paragraphs(const QString& raw) {
  QString result;
  result.reserve(raw.size() + raw.size() / 16);
  for (const QChar c : raw) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      result += u"\r\n";
    } else if (c == kCarriageReturnPicture) {
      result += u'\r';
    } else if (c == kLineFeedPicture) {
      result += u'\n';
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace

QString to_qstring(std::string_view ansi) { return QString::fromUtf8(ansi::to_utf8(ansi)); }

std::string to_ansi(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return ansi::from_utf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void set_pane_text(QPlainTextEdit& pane, std::string_view text) {
  const bool long_line = has_line_longer_than(text, kLongestWordWrappedLine);
  pane.setWordWrapMode(long_line ? QTextOption::WrapAnywhere
                                 : QTextOption::WrapAtWordBoundaryOrAnywhere);
  pane.setPlainText(to_paragraphs(to_qstring(text)));
}

std::string pane_text(const QPlainTextEdit& pane) {
  return to_ansi(from_paragraphs(pane.document()->toRawText()));
}

void select_pane_line(QPlainTextEdit& pane, int line) {
  const QTextBlock block = pane_block(pane, line);
  // The cursor stays at the line's start, so that a long line is shown from its beginning.
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock);
  cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
  pane.setTextCursor(cursor);
  pane.ensureCursorVisible();
}

void place_cursor_at_line(QPlainTextEdit& pane, int line) {
  pane.setTextCursor(QTextCursor(pane_block(pane, line)));
  pane.ensureCursorVisible();
}

void show_band(QPlainTextEdit& pane, int line) {
  const QTextBlock block = pane_block(pane, line);
  QTextEdit::ExtraSelection band;
  band.cursor = QTextCursor(block);
  band.format.setBackground(QColor(QString::fromLatin1(kBandColour)));
  band.format.setProperty(QTextFormat::FullWidthSelection, true);
  pane.setExtraSelections({band});
  if (pane.viewport()->rect().contains(pane.cursorRect(band.cursor))) return;
  // The scroll bar counts screen lines; the band goes a third of the way down the pane.
  const int lines_shown = pane.viewport()->height() / pane.fontMetrics().lineSpacing();
  pane.verticalScrollBar()->setValue(block.firstLineNumber() - lines_shown / 3);
}

}  // namespace kestrel
