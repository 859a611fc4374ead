#include "gui/pane_text.h"

#include <algorithm>
#include <array>
#include <vector>

#include <QColor>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "text/ansi.h"
#include "text/text_lines.h"

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

// The code page's character for every byte, as the core converts it.
const std::array<char16_t, 256>& characters_of_bytes() {
  static const std::array<char16_t, 256> characters = [] {
    std::array<char16_t, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
      const std::string utf8 = ansi::to_utf8(std::string(1, static_cast<char>(byte)));
      table[byte] =
          QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))[0].unicode();
    }
    return table;
  }();
  return characters;
}

// The byte for every UTF-16 unit: '?' for a character the code page cannot hold, and for either
// half of a surrogate pair, which stands for one such character.
const std::vector<char>& bytes_of_characters() {
  static const std::vector<char> bytes = [] {
    std::vector<char> table(0x10000, '?');
    const std::array<char16_t, 256>& characters = characters_of_bytes();
    for (std::size_t byte = 0; byte < characters.size(); ++byte)
      table[characters[byte]] = static_cast<char>(byte);
    return table;
  }();
  return bytes;
}

// Both directions convert unit by unit into storage sized once, without a detour through UTF-8.
QString to_paragraphs(std::string_view ansi, std::size_t& longest_line) {
  const std::array<char16_t, 256>& characters = characters_of_bytes();
  QString result(static_cast<qsizetype>(ansi.size()), Qt::Uninitialized);
  QChar* const begin = result.data();
  QChar* out = begin;
  std::size_t line_start = 0;
  longest_line = 0;
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    const auto byte = static_cast<unsigned char>(ansi[i]);
    if (byte == '\r' && i + 1 < ansi.size() && ansi[i + 1] == '\n') {
      longest_line = std::max(longest_line, i - line_start);
      *out++ = QChar(u'\n');
      line_start = ++i + 1;
    } else if (byte == '\r') {
      *out++ = QChar(kCarriageReturnPicture);
    } else if (byte == '\n') {
      *out++ = QChar(kLineFeedPicture);
    } else {
      *out++ = QChar(characters[byte]);
    }
  }
  longest_line = std::max(longest_line, ansi.size() - line_start);
  result.truncate(out - begin);
  return result;
}

// The byte of the unit at `i`, advancing past a surrogate pair's second half.
char to_byte(QStringView text, qsizetype& i) {
  const QChar c = text[i];
  if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
  return bytes_of_characters()[c.unicode()];
}

// The raw text keeps no-break spaces, which the widget's plain text would turn into blanks.
std::string from_paragraphs(QStringView raw) {
  std::string result;
  result.reserve(static_cast<std::size_t>(raw.size()) + static_cast<std::size_t>(raw.size()) / 16);
  for (qsizetype i = 0; i < raw.size(); ++i) {
    const QChar c = raw[i];
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      result += crlf;
    } else if (c == kCarriageReturnPicture) {
      result += '\r';
    } else if (c == kLineFeedPicture) {
      result += '\n';
    } else {
      result += to_byte(raw, i);
    }
  }
  return result;
}

}  // namespace

QString to_qstring(std::string_view ansi) {
  const std::array<char16_t, 256>& characters = characters_of_bytes();
  QString result(static_cast<qsizetype>(ansi.size()), Qt::Uninitialized);
  QChar* out = result.data();
  for (const char byte : ansi) *out++ = QChar(characters[static_cast<unsigned char>(byte)]);
  return result;
}

std::string to_ansi(const QString& text) {
  std::string result;
  result.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) result += to_byte(text, i);
  return result;
}

void set_pane_text(QPlainTextEdit& pane, std::string_view text) {
  std::size_t longest_line = 0;
  const QString paragraphs = to_paragraphs(text, longest_line);
  const QTextOption::WrapMode wrap = longest_line > kLongestWordWrappedLine
                                         ? QTextOption::WrapAnywhere
                                         : QTextOption::WrapAtWordBoundaryOrAnywhere;
  // A new wrap mode lays out the text the pane holds again: the old text goes first, so that an
  // old long line is not laid out once more for nothing.
  if (pane.wordWrapMode() != wrap) {
    pane.clear();
    pane.setWordWrapMode(wrap);
  }
  pane.setPlainText(paragraphs);
}

std::vector<LostCharacter> lost_characters(const QPlainTextEdit& pane, std::size_t most) {
  std::vector<LostCharacter> lost;
  const QString raw = pane.document()->toRawText();
  int line = 1;
  for (qsizetype i = 0; i < raw.size() && lost.size() < most; ++i) {
    const QChar c = raw[i];
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      ++line;
      continue;
    }
    // The pictures stand for a lone CR or LF, which the code page holds.
    if (c == kCarriageReturnPicture || c == kLineFeedPicture) continue;
    char32_t character = c.unicode();
    qsizetype length = 1;
    if (c.isHighSurrogate() && i + 1 < raw.size() && raw[i + 1].isLowSurrogate()) {
      character = QChar::surrogateToUcs4(c, raw[i + 1]);
      length = 2;
    }
    if (!ansi::holds(character)) lost.push_back({raw.mid(i, length), line});
    i += length - 1;
  }
  return lost;
}

void clear_pane(QPlainTextEdit& pane) {
  QTextCursor cursor(pane.document());
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  pane.setTextCursor(cursor);
}

std::string pane_text(const QPlainTextEdit& pane) {
  return from_paragraphs(pane.document()->toRawText());
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
