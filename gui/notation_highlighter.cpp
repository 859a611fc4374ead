#include "gui/notation_highlighter.h"

#include <QColor>

namespace kestrel {

namespace {

QStringView trim_left_blanks(QStringView line) {
  qsizetype first = 0;
  while (first < line.size() && line[first] == u' ') ++first;
  return line.mid(first);
}

QTextCharFormat coloured(const char* colour, bool italic = false) {
  QTextCharFormat format;
  format.setForeground(QColor(QString::fromLatin1(colour)));
  format.setFontItalic(italic);
  return format;
}

}  // namespace

// The rules and their order are the compile pass's: "#define" anywhere, then the left-trimmed
// line's first characters. A lone digit is too short to be a directive, while "[" alone is a
// label. An include line typed into the pane is a plain line to the next Compile: only Open
// expands includes.
LineClass classify_line(QStringView line) {
  if (line.contains(u"#define")) return LineClass::definition;
  const QStringView trimmed = trim_left_blanks(line);
  if (trimmed.startsWith(u'[')) return LineClass::label;
  if (trimmed.startsWith(u"REM")) return LineClass::comment;
  if (trimmed.size() >= 2 && trimmed[0] >= u'0' && trimmed[0] <= u'9')
    return LineClass::line_number;
  return LineClass::plain;
}

QTextCharFormat notation_format(LineClass line_class) {
  switch (line_class) {
    case LineClass::definition:
      return coloured("#8b2c6f");
    case LineClass::label:
      return coloured("#1f4fa8");
    case LineClass::comment:
      return coloured("#6b7b6b", true);
    case LineClass::line_number:
      return coloured("#a0560a");
    case LineClass::plain:
      break;
  }
  return {};
}

void NotationHighlighter::highlightBlock(const QString& text) {
  const LineClass line_class = classify_line(text);
  if (line_class != LineClass::plain) {
    setFormat(0, static_cast<int>(text.size()), notation_format(line_class));
    return;
  }
  const QTextCharFormat reference = notation_format(LineClass::label);
  for (qsizetype open = text.indexOf(u'['); open >= 0; open = text.indexOf(u'[', open + 1)) {
    const qsizetype close = text.indexOf(u']', open + 1);
    if (close < 0) return;
    setFormat(static_cast<int>(open), static_cast<int>(close - open + 1), reference);
    open = close;
  }
}

}  // namespace kestrel
