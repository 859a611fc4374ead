#pragma once

#include <QStringView>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

namespace kestrel {

// What a source line is to the compile pass, judged from its own text (a substitution may still
// turn a plain line into another kind when it is compiled).
enum class LineClass { plain, definition, label, comment, line_number };

LineClass classify_line(QStringView line);

// The look of a class; plain lines keep the pane's own format, and label references in them take
// the label format.
QTextCharFormat notation_format(LineClass line_class);

// Colours the notation in the source pane, one block at a time.
class NotationHighlighter : public QSyntaxHighlighter {
 public:
  using QSyntaxHighlighter::QSyntaxHighlighter;

 protected:
  void highlightBlock(const QString& text) override;
};

}  // namespace kestrel
