#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "analysis/symbols.h"

class QTextBlock;
class QTextDocument;

namespace kestrel {

// The look of a class; plain and include lines keep the pane's own format, and label references in
// plain lines take the label format.
QTextCharFormat notation_format(LineClass line_class);

// Whether a pane line defines a name: the compile pass's own test, the directive anywhere in it.
bool is_definition(const QTextBlock& block);
int count_definitions(const QTextDocument& document);

// Colours the notation in the source pane, one block at a time.
class NotationHighlighter : public QSyntaxHighlighter {
 public:
  using QSyntaxHighlighter::QSyntaxHighlighter;

 protected:
  void highlightBlock(const QString& text) override;
};

}  // namespace kestrel
