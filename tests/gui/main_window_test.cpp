#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "text/text_lines.h"
#include "window_support.h"
#include "workbench/help_text.h"

namespace kestrel::testing {

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void captions_and_geometry_data();
  void captions_and_geometry();
  void window_frame();
  void panes();
  void initial_state();
  void tab_order_data();
  void tab_order();
  void help_text_shown_line_by_line();
  void pane_round_trip_data();
  void pane_round_trip();
  void pasted_text_in_the_code_page_data();
  void pasted_text_in_the_code_page();
  void clear_buttons_data();
  void clear_buttons();
  void compile_rule();
  void run_log_appended_at_every_start();
  void startup_failure_comes_before_the_window();

 private:
  std::unique_ptr<WindowUnderTest> w_;
};

void MainWindowTest::init() {
  w_ = show_window();
  QVERIFY(w_);
}

void MainWindowTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

QString caption(QWidget* widget) {
  if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(widget)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(widget)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(widget)) return e->text();
  return {};
}

void MainWindowTest::captions_and_geometry_data() {
  QTest::addColumn<QString>("container");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QRect>("twips");
  const auto row = [](const char* name, const char* container, const char* text, int left, int top,
                      int width, int height) {
    QTest::newRow(name) << QString::fromLatin1(container) << QString::fromLatin1(text)
                        << QRect(left, top, width, height);
  };
  row("Frame2", "UDP", "Files", 0, 0, 7095, 495);
  row("Label7", "Frame2", "Source:", 60, 195, 555, 255);
  row("Text2", "Frame2", "", 720, 120, 4455, 285);
  row("Command7", "Frame2", "x", 5220, 160, 255, 250);
  row("Command3", "Frame2", "Open", 5520, 160, 675, 255);
  row("Command6", "Frame2", "SaveAs", 6240, 160, 795, 255);
  row("Command2", "UDP", "Clear", 7200, 120, 615, 255);
  row("Source_bas", "UDP", "", 0, 480, 7875, 8295);
  row("Frame1", "UDP", "Files", 7920, 0, 7155, 495);
  row("Label2", "Frame1", "Destination:", 60, 195, 855, 255);
  row("Text1", "Frame1", "", 900, 120, 4935, 285);
  row("Command8", "Frame1", "x", 5880, 160, 255, 250);
  row("Command5", "Frame1", "Save", 6180, 160, 855, 255);
  row("Command1", "UDP", "Clear", 15120, 120, 615, 255);
  row("Dest_bas", "UDP", "", 7920, 480, 7875, 8295);
  row("Frame4", "UDP", "Editor", 0, 8760, 15795, 615);
  row("Check1", "Frame4", "", 120, 240, 195, 255);
  row("Label1", "Frame4", "Enable \"REM\" string", 420, 240, 1635, 255);
  row("Check2", "Frame4", "", 1980, 300, 195, 195);
  row("Label3", "Frame4", "Coment", 2280, 240, 615, 255);
  row("Command4", "Frame4", "Compile", 14460, 240, 915, 255);
}

void MainWindowTest::captions_and_geometry() {
  QFETCH(QString, container);
  QFETCH(QString, caption);
  QFETCH(QRect, twips);
  auto* widget = w_->find<QWidget>(QTest::currentDataTag());
  QVERIFY(widget);
  QCOMPARE(widget->parentWidget()->objectName(), container);
  QCOMPARE(kestrel::testing::caption(widget), caption);
  const auto px = [](int t) { return qRound(t / 15.0); };
  QCOMPARE(widget->geometry(),
           QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
  // Every caption is seen whole in the size the layout gives its control.
  if (qobject_cast<QLabel*>(widget) || qobject_cast<QPushButton*>(widget))
    QVERIFY(widget->fontMetrics().horizontalAdvance(caption) <= widget->width());
}

void MainWindowTest::window_frame() {
  QCOMPARE(w_->window.objectName(), QStringLiteral("UDP"));
  QCOMPARE(w_->window.windowTitle(), QStringLiteral("KESTREL V3.0"));
  QCOMPARE(w_->window.size(), QSize(1056, 630));
  // The layout's size on a screen that holds it, which the user may change.
  QVERIFY(w_->window.minimumWidth() < 1056 && w_->window.maximumWidth() > 1056);
  QVERIFY(w_->window.minimumHeight() < 630 && w_->window.maximumHeight() > 630);
  const QList<QSize> sizes = w_->window.windowIcon().availableSizes();
  QCOMPARE(sizes, QList<QSize>{QSize(24, 24)});
  QFile icon(QStringLiteral(":/icons/kestrel.png"));
  QVERIFY(icon.open(QIODevice::ReadOnly));
  const QByteArray header = icon.read(26);
  QCOMPARE(header.mid(16, 8), QByteArray::fromHex("0000001800000018"));  // 24 x 24
  QCOMPARE(header.mid(24, 2), QByteArray::fromHex("0802"));              // 8 bits a channel, RGB
  for (auto* b : w_->window.findChildren<QPushButton*>()) {
    QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
    QVERIFY(!b->text().contains(u'&'));
  }
}

void MainWindowTest::panes() {
  for (const char* name : {"Source_bas", "Dest_bas"}) {
    auto* pane = w_->find<QPlainTextEdit>(name);
    const QFontInfo info(pane->font());
    QVERIFY2(info.family() == u"Courier New" || info.family() == u"Liberation Mono",
             qPrintable(info.family()));
    QVERIFY(info.fixedPitch());
    QCOMPARE(info.pointSizeF(), 9.75);
    QCOMPARE(info.weight(), int(QFont::Normal));
    QVERIFY(!info.bold() && !info.italic() && !info.underline() && !info.strikeOut());
    QVERIFY(!pane->isReadOnly());
    QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(pane->maximumBlockCount(), 0);
  }
  // A long line wraps on screen and stays one line of the text.
  const std::string line(400, 'A');
  w_->set_pane("Source_bas", line + "\r\n");
  auto* source = w_->find<QPlainTextEdit>("Source_bas");
  QTRY_VERIFY(source->document()->firstBlock().layout()->lineCount() > 1);
  QCOMPARE(w_->pane("Source_bas"), line + "\r\n");
  QVERIFY(!source->horizontalScrollBar()->isVisible());
}

void MainWindowTest::initial_state() {
  QCOMPARE(w_->pane("Source_bas"), std::string());
  QCOMPARE(w_->pane("Dest_bas"), help_text());
  QVERIFY(w_->find<QLineEdit>("Text1")->text().isEmpty());
  QVERIFY(w_->find<QLineEdit>("Text2")->text().isEmpty());
  QVERIFY(!w_->find<QCheckBox>("Check1")->isChecked());
  QVERIFY(!w_->find<QCheckBox>("Check2")->isChecked());
  QVERIFY(!w_->compile_enabled());
  QVERIFY(w_->ui.shown.empty());
}

void MainWindowTest::tab_order_data() {
  QTest::addColumn<bool>("compile_enabled");
  QTest::addColumn<QStringList>("order");
  const QStringList with_compile = {"Source_bas", "Command2", "Command3", "Text2",  "Dest_bas",
                                    "Command1",   "Command5", "Text1",    "Check1", "Command4",
                                    "Command6",   "Command7", "Command8", "Check2", "Source_bas"};
  QStringList without_compile = with_compile;
  without_compile.removeAll(QStringLiteral("Command4"));
  QTest::newRow("Compile disabled, skipped") << false << without_compile;
  QTest::newRow("Compile enabled") << true << with_compile;
}

void MainWindowTest::tab_order() {
  QFETCH(bool, compile_enabled);
  QFETCH(QStringList, order);
  if (compile_enabled) {
    w_->write_file("empty.bas", "");
    QTest::keyClicks(w_->find<QLineEdit>("Text2"), "empty.bas");
    w_->click("Command3");
    QVERIFY(w_->compile_enabled());
    w_->find<QWidget>("Source_bas")->setFocus();
  }
  QApplication::setActiveWindow(&w_->window);
  QVERIFY(QTest::qWaitForWindowActive(&w_->window));
  QStringList visited;
  for (qsizetype i = 0; i < order.size(); ++i) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    visited += focus->objectName();
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  QCOMPARE(visited, order);
}

// Every line of the help text is a paragraph of the pane, blanks at both ends and all.
void MainWindowTest::help_text_shown_line_by_line() {
  const QTextDocument& document = *w_->find<QPlainTextEdit>("Dest_bas")->document();
  std::vector<std::string> expected;
  for_each_pane_line(help_text(), [&](std::string_view line) {
    expected.emplace_back(line);
    return true;
  });
  expected.emplace_back();  // the empty paragraph after the last line break
  std::vector<std::string> shown;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    shown.push_back(to_ansi(block.text()));
  QCOMPARE(shown, expected);
}

void MainWindowTest::pane_round_trip_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("blocks");
  std::string every_byte;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') every_byte += static_cast<char>(b);
  QTest::newRow("empty") << QByteArray() << 1;
  QTest::newRow("CR LF alone") << QByteArray("\r\n") << 2;
  QTest::newRow("no final line break") << QByteArray("A\r\nB") << 2;
  QTest::newRow("empty lines") << QByteArray("A\r\n\r\n\r\n") << 4;
  QTest::newRow("lone LF inside a line") << QByteArray("A\nB\r\n") << 2;
  QTest::newRow("lone CR inside a line") << QByteArray("A\rB\r\n") << 2;
  QTest::newRow("CR before CR LF") << QByteArray("A\r\r\nB\n\r\n") << 3;
  QTest::newRow("tabs and blanks") << QByteArray("\t X \t\r\n  ") << 2;
  QTest::newRow("every other byte")
      << QByteArray(every_byte.data(), qsizetype(every_byte.size())) << 1;
}

void MainWindowTest::pane_round_trip() {
  QFETCH(QByteArray, text);
  QFETCH(int, blocks);
  const std::string bytes(text.constData(), std::size_t(text.size()));
  w_->set_pane("Source_bas", bytes);
  QCOMPARE(w_->find<QPlainTextEdit>("Source_bas")->blockCount(), blocks);
  QCOMPARE(w_->pane("Source_bas"), bytes);
}

void MainWindowTest::pasted_text_in_the_code_page_data() {
  QTest::addColumn<QString>("pasted");
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("Cyrillic") << QString::fromUtf8("Привет")
                            << QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2");
  QTest::newRow("euro, no-break space, U+0098")
      << QString::fromUtf8("\u20AC\u00A0\u0098") << QByteArray("\x88\xA0\x98");
  QTest::newRow("outside the code page") << QString::fromUtf8("A\u4E2DB") << QByteArray("A?B");
  QTest::newRow("a pair of surrogates is one character")
      << QString::fromUtf8("A\U0001F600B") << QByteArray("A?B");
  QTest::newRow("half a pair") << QString(QChar(0xD800)) + u'B' << QByteArray("?B");
  QTest::newRow("control pictures") << QString::fromUtf8("\u240D\u240A") << QByteArray("\r\n");
}

void MainWindowTest::pasted_text_in_the_code_page() {
  QFETCH(QString, pasted);
  QFETCH(QByteArray, bytes);
  w_->find<QPlainTextEdit>("Source_bas")->insertPlainText(pasted);
  QCOMPARE(w_->pane("Source_bas"), bytes.toStdString());
}

void MainWindowTest::clear_buttons_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("emptied");
  QTest::addColumn<bool>("compile_after");
  QTest::newRow("Clear, destination side") << "Command1"
                                           << "Dest_bas" << true;
  QTest::newRow("Clear, source side") << "Command2"
                                      << "Source_bas" << false;
  QTest::newRow("x, source path") << "Command7"
                                  << "Text2" << true;
  QTest::newRow("x, destination path") << "Command8"
                                       << "Text1" << true;
}

void MainWindowTest::clear_buttons() {
  QFETCH(QString, button);
  QFETCH(QString, emptied);
  QFETCH(bool, compile_after);
  w_->write_file("prog.bas", "PRINT 1\r\n");
  QTest::keyClicks(w_->find<QLineEdit>("Text2"), "prog.bas");
  w_->ui.answers = {Ui::Answer::no};
  w_->click("Command3");
  QVERIFY(w_->compile_enabled());
  QTest::keyClicks(w_->find<QLineEdit>("Text1"), "out.bas");
  const std::map<QString, std::string> before = {{"Source_bas", w_->pane("Source_bas")},
                                                 {"Dest_bas", w_->pane("Dest_bas")},
                                                 {"Text1", "out.bas"},
                                                 {"Text2", "prog.bas"}};
  // Pressed twice: the second time on an empty box.
  for (int press = 0; press < 2; ++press) {
    w_->click(qPrintable(button));
    QCOMPARE(w_->compile_enabled(), compile_after);
  }
  for (const auto& [name, text] : before) {
    auto* edit = w_->find<QLineEdit>(qPrintable(name));
    const std::string now = edit ? to_ansi(edit->text()) : w_->pane(qPrintable(name));
    QCOMPARE(now, name == emptied ? std::string() : text);
  }
  QVERIFY(w_->ui.shown.empty());
}

void MainWindowTest::compile_rule() {
  w_->write_file("prog.bas", "PRINT 1\r\n");
  w_->set_pane("Source_bas", "PRINT 2\r\n");
  QVERIFY(!w_->compile_enabled());
  QTest::keyClicks(w_->find<QLineEdit>("Text2"), "prog.bas");
  w_->ui.answers = {Ui::Answer::no};
  w_->click("Command3");
  QVERIFY(w_->compile_enabled());
  w_->ui.dialog_answers = {kFolder + "/out.bas", kFolder + "/source.bas"};
  for (const char* keeps :
       {"Command4", "Command1", "Command5", "Command6", "Command7", "Command8"}) {
    w_->click(keeps);
    QVERIFY2(w_->compile_enabled(), keeps);
  }
  QTest::keyClicks(w_->find<QPlainTextEdit>("Source_bas"), "PRINT 3");
  QVERIFY(w_->compile_enabled());
  w_->click("Command2");
  QVERIFY(!w_->compile_enabled());
}

void MainWindowTest::run_log_appended_at_every_start() {
  const std::string first = read_file(w_->log_path());
  QVERIFY(first.starts_with("START KESTREL V3\r\n"));
  QCOMPARE(std::count(first.begin(), first.end(), '\n'), 2);
  QVERIFY(first.ends_with("\r\n") && first.size() > 20);
  {
    ScriptedUi ui;
    MainWindow second(ui, w_->files, w_->log_path());
    QVERIFY(ui.shown.empty());
  }
  const std::string both = read_file(w_->log_path());
  QVERIFY(both.starts_with(first));
  QVERIFY(both.substr(first.size()).starts_with("START KESTREL V3\r\n"));
  QCOMPARE(std::count(both.begin(), both.end(), '\n'), 4);
}

void MainWindowTest::startup_failure_comes_before_the_window() {
  w_.reset();
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "Editor.log");
  MemoryFiles files;
  ScriptedUi ui;
  bool window_visible_at_box = true;
  ui.on_shown = [&](const Shown&) {
    window_visible_at_box = false;
    for (QWidget* top : QApplication::topLevelWidgets())
      window_visible_at_box = window_visible_at_box || top->isVisible();
  };
  MainWindow window(ui, files, dir.path() / "Editor.log");
  QCOMPARE(ui.shown.size(), std::size_t{1});
  QCOMPARE(ui.shown[0].kind, Shown::Kind::failure);
  QVERIFY(ui.shown[0].title.starts_with("Error#"));
  QVERIFY(!window_visible_at_box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(pane_text(*window.findChild<QPlainTextEdit*>("Dest_bas")), help_text());
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::MainWindowTest)
#include "main_window_test.moc"
