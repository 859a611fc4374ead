#include <algorithm>

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "window_support.h"
#include "workbench/help_text.h"
#include "workbench/messages.h"

namespace kestrel::testing {

// Open, Compile, Save and Save As driven through the window's own buttons.
class CommandsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void open_data();
  void open();
  void box_while_loading_shows_the_pane_so_far();
  void compile_the_help_example_data();
  void compile_the_help_example();
  void compile_stop_shows_the_partial_output();
  void edits_reach_the_next_command_data();
  void edits_reach_the_next_command();
  void save_data();
  void save();
  void save_again_without_dialog();
  void help_text_saved_right_after_start();
  void paths_in_any_language();
  void finding_selects_its_source_line_data();
  void finding_selects_its_source_line();

 private:
  static std::string path(const char* name) { return kFolder + "/" + name; }
  void type(const char* box, const std::string& text) {
    QTest::keyClicks(w_->find<QLineEdit>(box), to_qstring(text));
  }

  std::unique_ptr<WindowUnderTest> w_;
};

const char* const kOpenFilter = "open_dialog: All files (*.*)|*.*";
const char* const kSaveFilter = "save_dialog: BAS files (*.BAS)|*.BAS";

void CommandsWindowTest::init() {
  w_ = show_window();
  QVERIFY(w_);
  w_->write_file("prog.bas", "#define N EQU 7\r\nPRINT N\nREADME\r\n");
}

void CommandsWindowTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

void CommandsWindowTest::open_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("answer");  // "" cancels, "-" means no dialog is expected
  QTest::addColumn<QStringList>("shown");
  QTest::addColumn<QByteArray>("pane");
  QTest::addColumn<QString>("text2");
  QTest::addColumn<bool>("compile");
  const QByteArray loaded("#define N EQU 7\r\nPRINT N\r\nREADME\r\n");
  QTest::newRow("dialog cancelled") << ""
                                    << "" << QStringList{kOpenFilter, "message: Cancel"}
                                    << QByteArray("left over\r\n") << "" << false;
  QTest::newRow("file chosen in the dialog")
      << ""
      << "prog.bas" << QStringList{kOpenFilter} << loaded << "prog.bas" << true;
  QTest::newRow("typed path") << "prog.bas"
                              << "-" << QStringList{} << loaded << "" << true;
  QTest::newRow("typed path that does not exist")
      << "missing.bas"
      << "-" << QStringList{"failure: Error#53 | File not found"} << QByteArray() << "" << false;
}

void CommandsWindowTest::open() {
  QFETCH(QString, typed);
  QFETCH(QString, answer);
  QFETCH(QStringList, shown);
  QFETCH(QByteArray, pane);
  QFETCH(QString, text2);
  QFETCH(bool, compile);
  // Text that was never loaded or saved: Open asks first, and is told to go on.
  w_->set_pane("Source_bas", "left over\r\n");
  w_->ui.answers = {Ui::Answer::no};
  type("Text2", to_ansi(typed));
  if (answer != u"-") w_->ui.dialog_answers = {answer.isEmpty() ? "" : path(qPrintable(answer))};
  w_->click("Command3");
  QCOMPARE(describe(w_->ui.shown),
           QStringList{QStringLiteral("question: ") +
                       to_qstring(message_text(MessageText::unsaved_source))} +
               shown);
  QCOMPARE(w_->pane("Source_bas"), pane.toStdString());
  const QString expected_text2 =
      typed.isEmpty() ? (text2.isEmpty() ? QString() : to_qstring(path(qPrintable(text2)))) : typed;
  QCOMPARE(w_->find<QLineEdit>("Text2")->text(), expected_text2);
  QCOMPARE(w_->compile_enabled(), compile);
  QVERIFY(w_->ui.dialog_answers.empty());
}

void CommandsWindowTest::box_while_loading_shows_the_pane_so_far() {
  w_->write_file("bad.bas", "one\r\n#define X 5\r\ntwo\r\n");
  std::string pane_at_box;
  w_->ui.on_shown = [&](const Shown&) { pane_at_box = w_->pane("Source_bas"); };
  type("Text2", "bad.bas");
  w_->click("Command3");
  QCOMPARE(describe(w_->ui.shown), QStringList{"message: ERROR #define  #define X 5"});
  QCOMPARE(pane_at_box, std::string("one\r\n"));
  QCOMPARE(w_->pane("Source_bas"), std::string("one\r\ntwo\r\n"));
  QVERIFY(w_->compile_enabled());
}

void CommandsWindowTest::compile_the_help_example_data() {
  QTest::addColumn<bool>("check1");
  QTest::addColumn<bool>("check2");
  QTest::addColumn<QString>("output");
  const QString numbered = QStringLiteral("0000 IF A=1 THEN b=0\r\n0100 GOTO 100\r\n");
  QTest::newRow("both clear") << false << false << numbered;
  QTest::newRow("Coment alone") << false << true << numbered;
  QTest::newRow("Enable REM") << true << false
                              << numbered +
                                     QString::fromUtf8("0101 REM йцукен\r\n0102 REM '****\r\n");
  QTest::newRow("Enable REM and Coment")
      << true << true << numbered + QString::fromUtf8("REM йцукен\r\nREM '****\r\n");
}

void CommandsWindowTest::compile_the_help_example() {
  QFETCH(bool, check1);
  QFETCH(bool, check2);
  QFETCH(QString, output);
  std::string source = help_text();
  const auto help_line = [&](int n) {
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) start = source.find("\r\n", start) + 2;
    return source.substr(start, source.find("\r\n", start) - start + 2);
  };
  w_->write_file("help.bas",
                 cp("#define VOLT EQU A\r\n#define end_volt EQU b\r\n"
                    "IF VOLT=1 THEN end_volt=0\r\n100\r\n[METKA_01]\r\nGOTO [METKA_01]\r\n") +
                     help_line(26) + help_line(27));
  type("Text2", "help.bas");
  w_->click("Command3");
  for (const auto& [name, wanted] : {std::pair{"Check1", check1}, std::pair{"Check2", check2}}) {
    auto* box = w_->find<QCheckBox>(name);
    if (wanted) QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    QCOMPARE(box->isChecked(), wanted);
  }
  w_->click("Command4");
  QCOMPARE(describe(w_->ui.shown), QStringList{"message: COMPILE OK"});
  QCOMPARE(w_->pane("Dest_bas"), to_ansi(output));
  // The options are read when Compile runs, not when they are toggled.
  QTest::mouseClick(w_->find<QCheckBox>("Check1"), Qt::LeftButton);
  QCOMPARE(w_->pane("Dest_bas"), to_ansi(output));
}

void CommandsWindowTest::compile_stop_shows_the_partial_output() {
  w_->write_file("stop.bas", "PRINT 1\r\nPRINT 2\r\n3000\r\nPRINT 3\r\n");
  std::string output_at_box;
  w_->ui.on_shown = [&](const Shown&) { output_at_box = w_->pane("Dest_bas"); };
  type("Text2", "stop.bas");
  w_->click("Command3");
  w_->click("Command4");
  QCOMPARE(describe(w_->ui.shown),
           QStringList{QString::fromUtf8("message: Ошибка номера строки!3000")});
  QCOMPARE(output_at_box, std::string("0000 PRINT 1\r\n0001 PRINT 2\r\n"));
  QCOMPARE(w_->pane("Dest_bas"), output_at_box);
  // An edited source compiles again with the same definitions.
  w_->set_pane("Source_bas", "PRINT 4\r\n");
  w_->click("Command4");
  QCOMPARE(w_->pane("Dest_bas"), std::string("0000 PRINT 4\r\n"));
}

void CommandsWindowTest::edits_reach_the_next_command_data() {
  QTest::addColumn<QString>("pane");
  QTest::addColumn<bool>("undone");
  QTest::addColumn<QString>("button");
  QTest::addColumn<QByteArray>("output");
  QTest::addColumn<QByteArray>("saved");
  QTest::newRow("typed into the source, compiled")
      << "Source_bas" << false << "Command4" << QByteArray("0000 PRINT 2\r\n0001 PRINT 1\r\n")
      << QByteArray("<no file>");
  QTest::newRow("typing into the source undone, compiled")
      << "Source_bas" << true << "Command4" << QByteArray("0000 PRINT 1\r\n")
      << QByteArray("<no file>");
  QTest::newRow("typed into the output, compiled again")
      << "Dest_bas" << false << "Command4" << QByteArray("0000 PRINT 1\r\n")
      << QByteArray("<no file>");
  QTest::newRow("typed into the output, saved")
      << "Dest_bas" << false << "Command5" << QByteArray("PRINT 2\r\n0000 PRINT 1\r\n")
      << QByteArray("PRINT 2\r\n0000 PRINT 1\r\n");
}

// What the user types into a pane after a command has filled it is what the next command takes.
void CommandsWindowTest::edits_reach_the_next_command() {
  QFETCH(QString, pane);
  QFETCH(bool, undone);
  QFETCH(QString, button);
  QFETCH(QByteArray, output);
  QFETCH(QByteArray, saved);
  w_->write_file("one.bas", "PRINT 1\r\n");
  type("Text2", "one.bas");
  w_->click("Command3");
  w_->click("Command4");
  auto* edited = w_->find<QPlainTextEdit>(qPrintable(pane));
  QTest::keyClicks(edited, QStringLiteral("PRINT 2"));
  QTest::keyClick(edited, Qt::Key_Return);
  while (undone && edited->document()->isUndoAvailable()) edited->undo();
  if (button == u"Command5") w_->ui.dialog_answers = {path("out.bas")};
  w_->click(qPrintable(button));
  QCOMPARE(w_->pane("Dest_bas"), output.toStdString());
  QCOMPARE(w_->read_file(path("out.bas")), saved.toStdString());
}

void CommandsWindowTest::save_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("answer");  // "" cancels
  QTest::addColumn<QString>("path_box");
  QTest::addColumn<QStringList>("shown");
  QTest::addColumn<QByteArray>("written");
  QTest::newRow("Save through the dialog")
      << "Command5"
      << "out.bas"
      << "Text1" << QStringList{kSaveFilter} << QByteArray("OUT\r\n");
  QTest::newRow("Save cancelled") << "Command5"
                                  << ""
                                  << "Text1" << QStringList{kSaveFilter, "message: Cancel"}
                                  << QByteArray();
  QTest::newRow("Save As") << "Command6"
                           << "copy.bas"
                           << "Text2" << QStringList{kSaveFilter}
                           << QByteArray("SRC\r\nNO BREAK\r\n");
  QTest::newRow("Save As cancelled")
      << "Command6"
      << ""
      << "Text2" << QStringList{kSaveFilter, "message: Cancel"} << QByteArray();
}

void CommandsWindowTest::save() {
  QFETCH(QString, button);
  QFETCH(QString, answer);
  QFETCH(QString, path_box);
  QFETCH(QStringList, shown);
  QFETCH(QByteArray, written);
  w_->set_pane("Dest_bas", "OUT\r\n");
  w_->set_pane("Source_bas", "SRC\r\nNO BREAK");
  const std::string target = answer.isEmpty() ? "" : path(qPrintable(answer));
  w_->ui.dialog_answers = {target};
  w_->click(qPrintable(button));
  QCOMPARE(describe(w_->ui.shown), shown);
  QCOMPARE(w_->find<QLineEdit>(qPrintable(path_box))->text(), to_qstring(target));
  if (!target.empty()) QCOMPARE(w_->read_file(target), written.toStdString());
  QCOMPARE(w_->files.list(".").size(), target.empty() ? 1u : 2u);  // prog.bas, the saved file
}

void CommandsWindowTest::save_again_without_dialog() {
  w_->ui.dialog_answers = {path("out.bas")};
  w_->click("Command5");
  w_->click("Command1");
  w_->click("Command5");
  QCOMPARE(describe(w_->ui.shown), QStringList{kSaveFilter});
  QCOMPARE(w_->read_file("out.bas"), std::string());
  QCOMPARE(to_ansi(w_->find<QLineEdit>("Text1")->text()), path("out.bas"));
  w_->click("Command8");
  w_->ui.dialog_answers = {""};
  w_->click("Command5");
  QCOMPARE(describe(w_->ui.shown), (QStringList{kSaveFilter, kSaveFilter, "message: Cancel"}));
}

// Paths pasted with letters the code page cannot hold reach the files as given; an include beside
// the main file is found though the current folder is another.
void CommandsWindowTest::paths_in_any_language() {
  w_->write_file("é/proj/main.bas", "#include LIB.BAS\r\nPRINT X\r\n");
  w_->write_file("é/proj/LIB.BAS", "#define X EQU 1\r\n");
  w_->find<QLineEdit>("Text2")->setText(QString::fromUtf8("é/proj/main.bas"));
  w_->click("Command3");
  w_->click("Command4");
  w_->find<QLineEdit>("Text1")->setText(QString::fromUtf8("é/出力.BAS"));
  w_->click("Command5");
  QCOMPARE(describe(w_->ui.shown), QStringList{"message: COMPILE OK"});
  QCOMPARE(w_->read_file("é/出力.BAS"), std::string("0000 PRINT 1\r\n"));
}

void CommandsWindowTest::help_text_saved_right_after_start() {
  type("Text1", "help.bas");
  w_->click("Command5");
  QVERIFY(w_->ui.shown.empty());
  QCOMPARE(w_->read_file("help.bas"), help_text());
  QCOMPARE(to_ansi(w_->find<QLineEdit>("Text1")->text()), std::string("help.bas"));
}

void CommandsWindowTest::finding_selects_its_source_line_data() {
  QTest::addColumn<QByteArray>("main");    // main.bas, opened; after the filler lines
  QTest::addColumn<QByteArray>("edited");  // when not empty: the pane is replaced before Compile
  QTest::addColumn<QStringList>("shown");  // "@" stands for the test's folder
  QTest::addColumn<int>("line");           // the selected pane line, counted after the filler
  QTest::addColumn<QString>("selected");
  const QString bad_number = QString::fromUtf8("message: Ошибка номера строки!5000");
  const QString undefined = QString::fromUtf8("message: Ошибка - есть неуказанные метки ");
  QTest::newRow("bad directive in an include")
      << QByteArray("PRINT 1\r\n#include inc.bas\r\nPRINT 4\r\n") << QByteArray()
      << QStringList{bad_number} << 2 << "5000";
  QTest::newRow("undefined label, as loaded")
      << QByteArray("[L]\r\nGOTO [NO]\r\nGOTO [L]\r\n") << QByteArray()
      << QStringList{undefined, "message: 0100 GOTO [NO]\r\n0101 GOTO 100\r\n"} << 1 << "GOTO [NO]";
  QTest::newRow("undefined label, edited pane")
      << QByteArray("PRINT 1\r\n") << QByteArray("[L]\r\nPRINT 1\r\n  GOTO [NO]  \r\n")
      << QStringList{undefined, "message:  PRINT 1\r\n0101 GOTO [NO]\r\n"} << 2 << "  GOTO [NO]  ";
  // Nothing was inserted: the cursor stands where the include stood, selecting no line.
  QTest::newRow("include failure: where the included text would begin")
      << QByteArray("PRINT 1\r\n#include none.bas\r\nPRINT 3\r\n") << QByteArray()
      << QStringList{"failure: Error#53  @none.bas | File not found"} << 1 << "";
  QTest::newRow("include failure at the end of the file")
      << QByteArray("PRINT 1\r\n#include none.bas\r\n") << QByteArray()
      << QStringList{"failure: Error#53  @none.bas | File not found"} << 1 << "";
}

void CommandsWindowTest::finding_selects_its_source_line() {
  QFETCH(QByteArray, main);
  QFETCH(QByteArray, edited);
  QFETCH(QStringList, shown);
  QFETCH(int, line);
  QFETCH(QString, selected);
  // Enough lines before the finding that it starts out of view.
  std::string filler = "100\r\n";
  for (int i = 1; i < 200; ++i) filler += "REM filler\r\n";
  w_->write_file("main.bas", filler + main.toStdString());
  w_->write_file("inc.bas", "PRINT 2\r\n5000\r\n");
  type("Text2", "main.bas");
  w_->click("Command3");
  if (!edited.isEmpty()) w_->set_pane("Source_bas", filler + edited.toStdString());
  if (w_->ui.shown.empty()) w_->click("Command4");
  shown.replaceInStrings(QStringLiteral("@"), to_qstring(path("")));  // the folder of the test
  QCOMPARE(describe(w_->ui.shown), shown);
  auto* pane = w_->find<QPlainTextEdit>("Source_bas");
  const QTextCursor cursor = pane->textCursor();
  QCOMPARE(cursor.block().blockNumber(), 200 + line);
  QCOMPARE(cursor.selectedText(), selected);
  QCOMPARE(cursor.positionInBlock(), 0);
  // The fix can be typed at once.
  QVERIFY(pane->hasFocus());
  QVERIFY(pane->viewport()->rect().contains(pane->cursorRect()));
  QVERIFY(pane->verticalScrollBar()->value() > 0);
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::CommandsWindowTest)
#include "commands_window_test.moc"
