#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "analysis/symbols.h"

class QTextDocument;

namespace kestrel {

// The look of a class; plain and include lines keep the pane's own format, and label references in
// plain lines take the label format.
QTextCharFormat notation_format(LineClass line_class);

// Colours the notation in the source pane, one block at a time.
class NotationHighlighter : public QSyntaxHighlighter {
 public:
  using QSyntaxHighlighter::QSyntaxHighlighter;

 protected:
  void highlightBlock(const QString& text) override;
};

}  // namespace kestrel
