#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include "gui/notation_highlighter.h"
#include "window_support.h"

namespace kestrel::testing {

// The keyboard, dropped files, the trace from output lines back to the source, and the colours.
class WorkbenchKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void keys_press_buttons_data();
  void keys_press_buttons();
  void dropped_data_data();
  void dropped_data();
  void band_follows_the_output_cursor_data();
  void band_follows_the_output_cursor();
  void band_goes_when_a_pane_is_edited_data();
  void band_goes_when_a_pane_is_edited();
  void go_to_line_data();
  void go_to_line();
  void go_to_line_asks_for_the_number();
  void colours_data();
  void colours();
  void no_colours_for_a_large_source_data();
  void no_colours_for_a_large_source();

 private:
  // Opens and compiles main.bas: 200 comment lines, then a definition, a directive, a label, a
  // line using the definition, an include of two lines and a jump.
  void open_and_compile();
  QPlainTextEdit* pane(const char* name) { return w_->find<QPlainTextEdit>(name); }
  int band_line() {
    const QList<QTextEdit::ExtraSelection> bands = pane("Source_bas")->extraSelections();
    return bands.size() == 1 ? bands.front().cursor.blockNumber() : -bands.size();
  }
  QString trace_line() { return w_->find<QLabel>("Trace")->text(); }
  void put_output_cursor(int line) {
    QPlainTextEdit* output = pane("Dest_bas");
    output->setTextCursor(QTextCursor(output->document()->findBlockByNumber(line)));
  }

  std::unique_ptr<WindowUnderTest> w_;
};

constexpr int kFiller = 200;

void WorkbenchKeysTest::init() {
  w_ = show_window();
  QVERIFY(w_);
  QApplication::setActiveWindow(&w_->window);
  QVERIFY(QTest::qWaitForWindowActive(&w_->window));
}

void WorkbenchKeysTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

void WorkbenchKeysTest::open_and_compile() {
  std::string main;
  for (int i = 0; i < kFiller; ++i) main += "REM filler\r\n";
  main += "#define VOLT EQU 7\r\n100\r\n[TOP]\r\nPRINT VOLT\r\n#include lib.bas\r\nGOTO [TOP]\r\n";
  w_->write_file("main.bas", main);
  w_->write_file("lib.bas", "REM lib\r\nGOSUB [TOP]\r\n");
  w_->find<QLineEdit>("Text2")->setText(QStringLiteral("main.bas"));
  w_->click("Command3");
  w_->click("Command4");
  QCOMPARE(describe(w_->ui.shown), QStringList{"message: COMPILE OK"});
  QCOMPARE(QString::fromStdString(w_->pane("Dest_bas")),
           QStringLiteral("0100 PRINT 7\r\n0101 GOSUB 100\r\n0102 GOTO 100\r\n"));
}

void WorkbenchKeysTest::keys_press_buttons_data() {
  QTest::addColumn<QString>("focus");  // the control that has the focus
  QTest::addColumn<QKeySequence>("keys");
  QTest::addColumn<bool>("opened");  // whether a file was opened first, enabling Compile
  QTest::addColumn<QStringList>("shown");
  QTest::addColumn<bool>("output_changed");
  const QString open = QStringLiteral("open_dialog: All files (*.*)|*.*");
  const QString save = QStringLiteral("save_dialog: BAS files (*.BAS)|*.BAS");
  QTest::newRow("Enter on Open") << "Command3" << QKeySequence(Qt::Key_Return) << false
                                 << QStringList{open, "message: Cancel"} << false;
  QTest::newRow("keypad Enter on Save") << "Command5" << QKeySequence(Qt::Key_Enter) << false
                                        << QStringList{save, "message: Cancel"} << false;
  QTest::newRow("Space on SaveAs") << "Command6" << QKeySequence(Qt::Key_Space) << false
                                   << QStringList{save, "message: Cancel"} << false;
  QTest::newRow("Enter in a pane types a line break")
      << "Dest_bas" << QKeySequence(Qt::Key_Return) << false << QStringList{} << true;
  QTest::newRow("Ctrl+O") << "Source_bas" << QKeySequence(Qt::CTRL | Qt::Key_O) << false
                          << QStringList{open, "message: Cancel"} << false;
  QTest::newRow("Ctrl+S") << "Text1" << QKeySequence(Qt::CTRL | Qt::Key_S) << false
                          << QStringList{save, "message: Cancel"} << false;
  QTest::newRow("Ctrl+Shift+S") << "Dest_bas" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)
                                << false << QStringList{save, "message: Cancel"} << false;
  QTest::newRow("F5 while Compile is disabled")
      << "Source_bas" << QKeySequence(Qt::Key_F5) << false << QStringList{} << false;
  QTest::newRow("F5 while Compile is enabled") << "Source_bas" << QKeySequence(Qt::Key_F5) << true
                                               << QStringList{"message: COMPILE OK"} << true;
}

void WorkbenchKeysTest::keys_press_buttons() {
  QFETCH(QString, focus);
  QFETCH(QKeySequence, keys);
  QFETCH(bool, opened);
  QFETCH(QStringList, shown);
  QFETCH(bool, output_changed);
  if (opened) {
    w_->write_file("prog.bas", "PRINT 1\r\n");
    w_->find<QLineEdit>("Text2")->setText(QStringLiteral("prog.bas"));
    w_->click("Command3");
  }
  const std::string output = w_->pane("Dest_bas");
  w_->ui.dialog_answers = {""};
  auto* target = w_->find<QWidget>(qPrintable(focus));
  target->setFocus();
  QTRY_VERIFY(target->hasFocus());
  QTest::keySequence(target, keys);
  QCOMPARE(describe(w_->ui.shown), shown);
  QCOMPARE(w_->pane("Dest_bas") != output, output_changed);
}

void WorkbenchKeysTest::dropped_data_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("dropped");  // "file:" and a name in the test's folder, or text
  QTest::addColumn<QByteArray>("source");
  QTest::addColumn<QString>("text2");
  const QByteArray loaded("PRINT 1\r\n");
  QTest::newRow("file on the source pane") << "Source_bas"
                                           << "file:prog.bas" << loaded << "@";
  QTest::newRow("file on the output pane") << "Dest_bas"
                                           << "file:prog.bas" << loaded << "@";
  QTest::newRow("file on a path box") << "Text1"
                                      << "file:prog.bas" << loaded << "@";
  QTest::newRow("file on a disabled button") << "Command4"
                                             << "file:prog.bas" << loaded << "@";
  QTest::newRow("file on a frame") << "Frame4"
                                   << "file:prog.bas" << loaded << "@";
  QTest::newRow("text on the source pane") << "Source_bas"
                                           << "GOTO 10" << QByteArray("GOTO 10") << "";
}

void WorkbenchKeysTest::dropped_data() {
  QFETCH(QString, target);
  QFETCH(QString, dropped);
  QFETCH(QByteArray, source);
  QFETCH(QString, text2);
  w_->write_file("prog.bas", "PRINT 1\r\n");
  const QString path = QString::fromStdString(kFolder + "/prog.bas");
  text2.replace(u'@', path);
  QWidget* widget = w_->find<QWidget>(qPrintable(target));
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) widget = edit->viewport();
  QMimeData data;
  if (dropped.startsWith(u"file:"))
    data.setUrls({QUrl::fromLocalFile(path)});
  else
    data.setText(dropped);
  const QPoint at = widget->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &drop);
  QTRY_COMPARE(QByteArray::fromStdString(w_->pane("Source_bas")), source);
  QCOMPARE(w_->find<QLineEdit>("Text2")->text(), text2);
  QCOMPARE(w_->compile_enabled(), !text2.isEmpty());
}

void WorkbenchKeysTest::band_follows_the_output_cursor_data() {
  QTest::addColumn<int>("output_line");
  QTest::addColumn<int>("source_line");  // counted after the filler
  QTest::addColumn<QString>("place");    // "@" stands for the test's folder
  QTest::newRow("line of the main file") << 0 << 3 << "main.bas:204";
  QTest::newRow("line of an include file") << 1 << 5 << "@lib.bas:2";
  QTest::newRow("line after the include") << 2 << 6 << "main.bas:206";
}

void WorkbenchKeysTest::band_follows_the_output_cursor() {
  QFETCH(int, output_line);
  QFETCH(int, source_line);
  QFETCH(QString, place);
  open_and_compile();
  QPlainTextEdit* source = pane("Source_bas");
  // The empty piece after the last line break is no output line and has no source.
  put_output_cursor(3);
  QCOMPARE(band_line(), 0);
  QCOMPARE(trace_line(), QString());
  source->verticalScrollBar()->setValue(0);
  put_output_cursor(output_line);
  QCOMPARE(band_line(), kFiller + source_line);
  const QTextCursor band = source->extraSelections().front().cursor;
  QVERIFY(source->extraSelections().front().format.boolProperty(QTextFormat::FullWidthSelection));
  QVERIFY(!source->textCursor().hasSelection());
  QVERIFY(source->viewport()->rect().contains(source->cursorRect(band)));
  place.replace(u'@', QString::fromStdString(kFolder + "/"));
  QCOMPARE(trace_line(), place);
}

void WorkbenchKeysTest::band_goes_when_a_pane_is_edited_data() {
  QTest::addColumn<QString>("edited");
  QTest::addColumn<bool>("kept");
  QTest::newRow("source pane typed into") << "Source_bas" << false;
  QTest::newRow("output pane typed into") << "Dest_bas" << false;
  QTest::newRow("path box typed into") << "Text1" << true;
}

void WorkbenchKeysTest::band_goes_when_a_pane_is_edited() {
  QFETCH(QString, edited);
  QFETCH(bool, kept);
  open_and_compile();
  put_output_cursor(1);
  QCOMPARE(band_line(), kFiller + 5);
  auto* widget = w_->find<QWidget>(qPrintable(edited));
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) edit->moveCursor(QTextCursor::End);
  QTest::keyClicks(widget, QStringLiteral("X"));
  put_output_cursor(2);
  QCOMPARE(band_line(), kept ? kFiller + 6 : 0);
  QCOMPARE(trace_line().isEmpty(), !kept);
  // The next Compile traces again.
  w_->click("Command4");
  put_output_cursor(0);
  QCOMPARE(band_line(), kFiller + 3);
}

void WorkbenchKeysTest::go_to_line_data() {
  QTest::addColumn<int>("number");
  QTest::addColumn<int>("output_line");  // -1: not in the output
  QTest::addColumn<QString>("source");   // the source line selected
  QTest::newRow("first line") << 100 << 0 << "PRINT VOLT";
  QTest::newRow("line from the include file") << 101 << 1 << "GOSUB [TOP]";
  QTest::newRow("last line") << 102 << 2 << "GOTO [TOP]";
  QTest::newRow("number not in the output") << 103 << -1 << "";
  QTest::newRow("number in a line's text only") << 10 << -1 << "";
}

void WorkbenchKeysTest::go_to_line() {
  QFETCH(int, number);
  QFETCH(int, output_line);
  QFETCH(QString, source);
  open_and_compile();
  QCOMPARE(w_->window.go_to_line(number), output_line >= 0);
  if (output_line < 0) return;
  const QTextCursor output = pane("Dest_bas")->textCursor();
  QCOMPARE(output.blockNumber(), output_line);
  QVERIFY(output.selectedText().startsWith(QString::number(number).rightJustified(4, u'0')));
  QVERIFY(pane("Dest_bas")->hasFocus());
  QCOMPARE(pane("Source_bas")->textCursor().selectedText(), source);
  QCOMPARE(band_line(), pane("Source_bas")->textCursor().blockNumber());
}

void WorkbenchKeysTest::go_to_line_asks_for_the_number() {
  open_and_compile();
  QString label;
  when_shown<QInputDialog>([&](QInputDialog* dialog) {
    label = dialog->labelText();
    QTest::keyClicks(dialog->findChild<QSpinBox*>(), QStringLiteral("0101"));
    dialog->accept();
  });
  QTest::keySequence(pane("Source_bas"), QKeySequence(Qt::CTRL | Qt::Key_G));
  QCOMPARE(label, QStringLiteral("Go to line"));
  QCOMPARE(pane("Dest_bas")->textCursor().blockNumber(), 1);
  QCOMPARE(band_line(), kFiller + 5);
}

void WorkbenchKeysTest::colours_data() {
  QTest::addColumn<QString>("line");
  QTest::addColumn<int>("line_class");
  QTest::addColumn<QString>("references");  // for plain lines: the coloured label references
  const auto row = [](const char* name, const char* line, LineClass c, const char* refs = "") {
    QTest::newRow(name) << QString::fromLatin1(line) << static_cast<int>(c)
                        << QString::fromLatin1(refs);
  };
  row("definition", "#define N EQU 7", LineClass::definition);
  row("#define inside a line", "PRINT 1 '#define", LineClass::definition);
  // Only Open expands includes: to Compile a typed include line is a plain line.
  row("typed include is plain", "#include LIB.BAS", LineClass::plain);
  row("include after blanks is plain", " #include LIB.BAS", LineClass::plain);
  row("typed include with a reference", "#include [L].BAS", LineClass::plain, "[L]");
  row("label after blanks", "  [LOOP]", LineClass::label);
  row("bracket alone is a label", "[", LineClass::label);
  row("comment", "REM note", LineClass::comment);
  row("comment after blanks", "   REM note", LineClass::comment);
  row("lower-case rem is plain", "rem note", LineClass::plain);
  row("comment after a tab is plain", "\tREM note", LineClass::plain);
  row("line number", "100", LineClass::line_number);
  row("line number after blanks", "  12", LineClass::line_number);
  row("lone digit is plain", "7", LineClass::plain);
  row("label references", "GOTO [L] ELSE [M", LineClass::plain, "[L]");
  row("two references", "ON X GOTO [A],[B]", LineClass::plain, "[A] [B]");
}

void WorkbenchKeysTest::colours() {
  QFETCH(QString, line);
  QFETCH(int, line_class);
  QFETCH(QString, references);
  w_->set_pane("Source_bas", to_ansi(line) + "\r\n");
  const QTextBlock block = pane("Source_bas")->document()->firstBlock();
  const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
  const auto colour = [](LineClass c) { return notation_format(c).foreground().color(); };
  if (line_class != static_cast<int>(LineClass::plain)) {
    QCOMPARE(formats.size(), 1);
    QCOMPARE(formats.front().start, 0);
    QCOMPARE(formats.front().length, line.size());
    QCOMPARE(formats.front().format.foreground().color(),
             colour(static_cast<LineClass>(line_class)));
    return;
  }
  QStringList coloured;
  for (const QTextLayout::FormatRange& range : formats) {
    QCOMPARE(range.format.foreground().color(), colour(LineClass::label));
    coloured += line.mid(range.start, range.length);
  }
  QCOMPARE(coloured.join(u' '), references);
  // Every class has a colour of its own, and plain text keeps the pane's.
  QSet<QRgb> colours;
  for (LineClass c :
       {LineClass::definition, LineClass::label, LineClass::comment, LineClass::line_number})
    colours.insert(colour(c).rgb());
  QCOMPARE(colours.size(), 4);
  QVERIFY(!notation_format(LineClass::plain).hasProperty(QTextFormat::ForegroundBrush));
}

void WorkbenchKeysTest::no_colours_for_a_large_source_data() {
  QTest::addColumn<int>("lines");
  QTest::addColumn<bool>("coloured");
  QTest::newRow("a few thousand lines") << 2000 << true;
  QTest::newRow("the fault tests' 200,000 lines") << 200000 << false;
}

void WorkbenchKeysTest::no_colours_for_a_large_source() {
  QFETCH(int, lines);
  QFETCH(bool, coloured);
  std::string text;
  for (int i = 0; i < lines; ++i) text += "REM line\r\n";
  w_->write_file("big.bas", text);
  w_->find<QLineEdit>("Text2")->setText(QStringLiteral("big.bas"));
  w_->click("Command3");
  const QTextBlock last = pane("Source_bas")->document()->lastBlock().previous();
  QApplication::processEvents();
  QCOMPARE(last.layout()->formats().size(), coloured ? 1 : 0);
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::WorkbenchKeysTest)
#include "workbench_keys_test.moc"
