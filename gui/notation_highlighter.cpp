#include "gui/notation_highlighter.h"

#include <QColor>
#include <QTextBlock>
#include <QTextDocument>

#include "text/ansi.h"
#include "workbench/keywords.h"

namespace kestrel {

namespace {

QTextCharFormat coloured(const char* colour, bool italic = false) {
  QTextCharFormat format;
  format.setForeground(QColor(QString::fromLatin1(colour)));
  format.setFontItalic(italic);
  return format;
}

}  // namespace

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
    case LineClass::include:
    case LineClass::plain:
      break;
  }
  return {};
}

bool is_definition(const QTextBlock& block) {
  return block.text().contains(
      QLatin1String(kDefine.data(), static_cast<qsizetype>(kDefine.size())));
}

int count_definitions(const QTextDocument& document) {
  int count = 0;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    count += is_definition(block) ? 1 : 0;
  return count;
}

void NotationHighlighter::highlightBlock(const QString& text) {
  // The pass's own classification of the line's code-page text. An include line typed into the
  // pane is a plain line to the next Compile: only Open expands includes.
  LineClass line_class = classify_line(ansi::from_utf8(text.toStdString()));
  if (line_class == LineClass::include) line_class = LineClass::plain;
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
