#include <filesystem>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>

#include "text/ansi.h"
#include "text/text_lines.h"
#include "window_support.h"
#include "workbench/messages.h"

namespace kestrel::testing {

using Answer = Ui::Answer;

// The window keeps what the user typed and what the user's files hold, and tells what it does.
class KeepsWorkWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void closing_asks_about_unsaved_edits_data();
  void closing_asks_about_unsaved_edits();
  void open_asks_before_replacing_edits_data();
  void open_asks_before_replacing_edits();
  void cancelled_open_keeps_the_pane_and_its_undo();
  void clear_can_be_undone_data();
  void clear_can_be_undone();
  void save_never_writes_over_a_source_file_data();
  void save_never_writes_over_a_source_file();
  void lost_characters_are_asked_about_data();
  void lost_characters_are_asked_about();
  void a_log_that_cannot_be_written_is_reported_once();
  void old_long_line_leaves_before_the_wrap_changes();
  void enter_in_a_path_box_runs_its_command();
  void a_caption_click_toggles_its_option();
  void strip_tells_what_a_box_would_not();

 private:
  QLineEdit* box(const char* name) { return w_->find<QLineEdit>(name); }
  QPlainTextEdit* pane(const char* name) { return w_->find<QPlainTextEdit>(name); }
  void open(const char* path) {
    box("Text2")->setText(QString::fromLatin1(path));
    w_->click("Command3");
  }
  QString strip() { return w_->find<QLabel>("Trace")->toolTip(); }

  std::unique_ptr<WindowUnderTest> w_;
};

const std::string kMain = "#include PINS.BAS\r\nmain\r\n";
const std::string kPins = "pins\r\n";
const std::string kUnsaved = ansi::to_utf8(message_text(MessageText::unsaved_source));

void KeepsWorkWindowTest::init() {
  w_ = show_window();
  QVERIFY(w_);
  w_->write_file("MAIN.BAS", kMain);
  w_->write_file("PINS.BAS", kPins);
  w_->write_file("OTHER.BAS", "other\r\n");
}

void KeepsWorkWindowTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

void KeepsWorkWindowTest::closing_asks_about_unsaved_edits_data() {
  QTest::addColumn<bool>("edited");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("dialog");  // the save dialog's answer, "" cancels
  QTest::addColumn<bool>("closed");
  QTest::addColumn<QString>("saved");  // SAVED.BAS afterwards
  QTest::newRow("no edits, no question") << false << -1 << "" << true << "<no file>";
  QTest::newRow("yes saves, then closes")
      << true << int(Answer::yes) << "/work/SAVED.BAS" << true << "pins\r\nmain\r\nedit\r\n";
  QTest::newRow("yes, save cancelled: stays")
      << true << int(Answer::yes) << "" << false << "<no file>";
  QTest::newRow("no discards") << true << int(Answer::no) << "" << true << "<no file>";
  QTest::newRow("cancel stays") << true << int(Answer::cancel) << "" << false << "<no file>";
}

void KeepsWorkWindowTest::closing_asks_about_unsaved_edits() {
  QFETCH(bool, edited);
  QFETCH(int, answer);
  QFETCH(QString, dialog);
  QFETCH(bool, closed);
  QFETCH(QString, saved);
  open("MAIN.BAS");
  if (edited) {
    pane("Source_bas")->moveCursor(QTextCursor::End);
    QTest::keyClicks(pane("Source_bas"), QStringLiteral("edit"));
  }
  w_->ui.shown.clear();
  if (answer >= 0) w_->ui.answers = {static_cast<Answer>(answer)};
  if (answer == int(Answer::yes)) w_->ui.dialog_answers = {dialog.toStdString()};
  QCOMPARE(w_->window.close(), closed);
  QCOMPARE(w_->window.isVisible(), !closed);
  QCOMPARE(!w_->ui.shown.empty() && w_->ui.shown[0] == question(kUnsaved), edited);
  QCOMPARE(QString::fromStdString(w_->read_file("SAVED.BAS")), saved);
  QCOMPARE(w_->read_file("MAIN.BAS"), kMain);
}

void KeepsWorkWindowTest::open_asks_before_replacing_edits_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("pane");
  QTest::addColumn<QString>("saved");
  QTest::newRow("yes saves, then opens") << int(Answer::yes) << "other\r\n"
                                         << "typed\r\n";
  QTest::newRow("no opens") << int(Answer::no) << "other\r\n"
                            << "<no file>";
  QTest::newRow("cancel keeps the edits") << int(Answer::cancel) << "typed"
                                          << "<no file>";
}

void KeepsWorkWindowTest::open_asks_before_replacing_edits() {
  QFETCH(int, answer);
  QFETCH(QString, pane);
  QFETCH(QString, saved);
  QTest::keyClicks(this->pane("Source_bas"), QStringLiteral("typed"));
  w_->ui.answers = {static_cast<Answer>(answer)};
  if (answer == int(Answer::yes)) w_->ui.dialog_answers = {"/work/SAVED.BAS"};
  open("OTHER.BAS");
  QCOMPARE(w_->ui.shown.at(0), question(kUnsaved));
  QCOMPARE(QString::fromStdString(w_->pane("Source_bas")), pane);
  QCOMPARE(QString::fromStdString(w_->read_file("SAVED.BAS")), saved);
  // The file asked for is opened, not the one the edits were saved to.
  QCOMPARE(box("Text2")->text(), QStringLiteral("OTHER.BAS"));
  // What was loaded or saved asks nothing more.
  if (answer == int(Answer::cancel)) return;
  w_->ui.shown.clear();
  QVERIFY(w_->window.close());
  QVERIFY(w_->ui.shown.empty());
}

// Emptying the path box, Open and Esc in the dialog: the loaded source stays, and with it what
// Undo can take back, so that SaveAs still writes it whole.
void KeepsWorkWindowTest::cancelled_open_keeps_the_pane_and_its_undo() {
  open("MAIN.BAS");
  pane("Source_bas")->moveCursor(QTextCursor::End);
  QTest::keyClicks(pane("Source_bas"), QStringLiteral("X"));
  w_->click("Command7");
  w_->ui.answers = {Answer::no};
  w_->ui.dialog_answers = {""};
  w_->click("Command3");
  QCOMPARE(w_->pane("Source_bas"), std::string("pins\r\nmain\r\nX"));
  QTest::keySequence(pane("Source_bas"), QKeySequence::Undo);
  QCOMPARE(w_->pane("Source_bas"), std::string("pins\r\nmain\r\n"));
  w_->ui.dialog_answers = {"/work/AS.BAS"};
  w_->click("Command6");
  QCOMPARE(w_->read_file("AS.BAS"), std::string("pins\r\nmain\r\n"));
}

void KeepsWorkWindowTest::clear_can_be_undone_data() {
  QTest::addColumn<QString>("pane");
  QTest::addColumn<QString>("clear");
  QTest::newRow("source") << "Source_bas"
                          << "Command2";
  QTest::newRow("output") << "Dest_bas"
                          << "Command1";
}

void KeepsWorkWindowTest::clear_can_be_undone() {
  QFETCH(QString, pane);
  QFETCH(QString, clear);
  open("MAIN.BAS");
  const std::string before = w_->pane(qPrintable(pane));
  w_->click(qPrintable(clear));
  QCOMPARE(w_->pane(qPrintable(pane)), std::string());
  QTest::keySequence(this->pane(qPrintable(pane)), QKeySequence::Undo);
  QCOMPARE(w_->pane(qPrintable(pane)), before);
}

void KeepsWorkWindowTest::save_never_writes_over_a_source_file_data() {
  QTest::addColumn<QString>("destination");
  QTest::addColumn<bool>("refused");
  QTest::newRow("main file") << "MAIN.BAS" << true;
  QTest::newRow("main file, other spelling") << "/work/sub/../MAIN.BAS" << true;
  QTest::newRow("include") << "./PINS.BAS" << true;
  QTest::newRow("another file") << "OUT.BAS" << false;
}

void KeepsWorkWindowTest::save_never_writes_over_a_source_file() {
  QFETCH(QString, destination);
  QFETCH(bool, refused);
  w_->files.add_folder("sub");
  open("MAIN.BAS");
  w_->click("Command4");
  box("Text1")->setText(destination);
  w_->ui.shown.clear();
  QTest::keySequence(&w_->window, QKeySequence(Qt::CTRL | Qt::Key_S));
  const std::vector<Shown> refusal = {
      message(message_text(MessageText::source_file_kept) + destination.toStdString())};
  QCOMPARE(w_->ui.shown == refusal, refused);
  QCOMPARE(w_->read_file("MAIN.BAS"), kMain);
  QCOMPARE(w_->read_file("PINS.BAS"), kPins);
  QCOMPARE(w_->read_file("OUT.BAS") != "<no file>", !refused);
}

void KeepsWorkWindowTest::lost_characters_are_asked_about_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("named");  // the characters and lines the question names
  QTest::addColumn<QString>("file");
  const QString question_text = to_qstring(message_text(MessageText::lost_characters));
  QTest::newRow("held: no question") << QString::fromUtf8("Я € №") << -1 << ""
                                     << "Я € №\r\n";
  QTest::newRow("no writes nothing")
      << QString::fromUtf8("café\n文 €") << int(Answer::no)
      << QString::fromUtf8("\né  in line 1\n文  in line 2") << "<no file>";
  QTest::newRow("yes writes question marks") << QString::fromUtf8("a😀b") << int(Answer::yes)
                                             << QString::fromUtf8("\n😀  in line 1") << "a?b\r\n";
  QTest::newRow("the first five are named")
      << QString::fromUtf8("éééééé") << int(Answer::no)
      << QString::fromUtf8("\né  in line 1").repeated(5) << "<no file>";
}

void KeepsWorkWindowTest::lost_characters_are_asked_about() {
  QFETCH(QString, typed);
  QFETCH(int, answer);
  QFETCH(QString, named);
  QFETCH(QString, file);
  // Both saves ask; SaveAs the source pane's, Save the output pane's.
  for (const auto& [pane_name, save] :
       {std::pair{"Source_bas", "Command6"}, {"Dest_bas", "Command5"}}) {
    w_->click(pane_name == std::string("Source_bas") ? "Command2" : "Command1");
    pane(pane_name)->insertPlainText(typed);
    w_->ui.shown.clear();
    if (answer >= 0) w_->ui.answers = {static_cast<Answer>(answer)};
    w_->ui.dialog_answers = {"/work/OUT.BAS"};
    box("Text1")->clear();
    w_->files.remove("OUT.BAS");
    w_->click(save);
    if (answer >= 0)
      QCOMPARE(QString::fromStdString(w_->ui.shown.at(0).text),
               to_qstring(message_text(MessageText::lost_characters)) + named);
    QCOMPARE(QString::fromStdString(ansi::to_utf8(w_->read_file("OUT.BAS"))), file);
    w_->ui.dialog_answers.clear();
  }
}

// Start-up in a folder the log cannot be written to: one box names the log, and Open and Compile
// work as anywhere else.
void KeepsWorkWindowTest::a_log_that_cannot_be_written_is_reported_once() {
  w_.reset();
  ScriptedUi ui;
  MemoryFiles files(kFolder);
  files.add_file("MAIN.BAS", kMain);
  files.add_file("PINS.BAS", kPins);
  const std::filesystem::path log = "/no-such-folder/Editor.log";
  MainWindow window(ui, files, log);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(ui.shown.size(), std::size_t{1});
  QCOMPARE(ui.shown[0].kind, Shown::Kind::failure);
  QVERIFY(ui.shown[0].title.ends_with("  " + ansi_path(log)));
  window.findChild<QLineEdit*>("Text2")->setText(QStringLiteral("MAIN.BAS"));
  QTest::mouseClick(window.findChild<QPushButton*>("Command3"), Qt::LeftButton);
  QTest::mouseClick(window.findChild<QPushButton*>("Command4"), Qt::LeftButton);
  QCOMPARE(describe(ui.shown).mid(1), QStringList{QStringLiteral("message: COMPILE OK")});
}

// A line of one long word is laid out in time that grows with the square of its length when it
// wraps at word boundaries: when the next Open changes the wrapping back, the long line must be
// gone from the pane already.
void KeepsWorkWindowTest::old_long_line_leaves_before_the_wrap_changes() {
  const std::string long_line(256 * 1024, 'W');
  w_->write_file("LONG.BAS", "A=1\r\n" + long_line + "\r\n");
  open("LONG.BAS");
  QPlainTextEdit& source = *pane("Source_bas");
  QTextCursor in_line(source.document()->findBlockByNumber(1));
  in_line.setPosition(in_line.position() + 1000);
  source.setTextCursor(in_line);
  std::vector<QTextOption::WrapMode> wraps_while_removed;
  connect(source.document(), &QTextDocument::contentsChange, this, [&](int, int removed, int) {
    if (removed > static_cast<int>(long_line.size()))
      wraps_while_removed.push_back(source.wordWrapMode());
  });
  open("OTHER.BAS");
  QCOMPARE(w_->pane("Source_bas"), std::string("other\r\n"));
  QVERIFY(!wraps_while_removed.empty());
  for (const QTextOption::WrapMode wrap : wraps_while_removed)
    QCOMPARE(wrap, QTextOption::WrapAnywhere);
  QCOMPARE(source.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void KeepsWorkWindowTest::enter_in_a_path_box_runs_its_command() {
  box("Text2")->setText(QStringLiteral("MAIN.BAS"));
  QTest::keyClick(box("Text2"), Qt::Key_Return);
  QCOMPARE(w_->pane("Source_bas"), std::string("pins\r\nmain\r\n"));
  box("Text1")->setText(QStringLiteral("OUT.BAS"));
  QTest::keyClick(box("Text1"), Qt::Key_Enter);
  QCOMPARE(w_->read_file("OUT.BAS"), w_->pane("Dest_bas"));
}

void KeepsWorkWindowTest::a_caption_click_toggles_its_option() {
  for (const auto& [caption, option] : {std::pair{"Label1", "Check1"}, {"Label3", "Check2"}}) {
    auto* check = w_->find<QCheckBox>(option);
    QTest::mouseClick(w_->find<QLabel>(caption), Qt::LeftButton);
    QVERIFY(check->isChecked());
    QTest::mouseClick(w_->find<QLabel>(caption), Qt::LeftButton);
    QVERIFY(!check->isChecked());
  }
}

// Ctrl+G for a line the output lacks, and an edit of a definition, which takes effect only when
// Open reads it again.
void KeepsWorkWindowTest::strip_tells_what_a_box_would_not() {
  w_->write_file("DEF.BAS", "#define N EQU 7\r\nPRINT N\r\n");
  open("DEF.BAS");
  w_->click("Command4");
  when_shown<QInputDialog>([](QInputDialog* dialog) {
    dialog->setIntValue(55);
    dialog->accept();
  });
  QTest::keySequence(pane("Source_bas"), QKeySequence(Qt::CTRL | Qt::Key_G));
  QCOMPARE(strip(),
           to_qstring(message_text(MessageText::line_not_in_output)) + QStringLiteral("55"));
  QPlainTextEdit& source = *pane("Source_bas");
  source.moveCursor(QTextCursor::Start);
  source.moveCursor(QTextCursor::EndOfLine);
  QTest::keyClicks(&source, QStringLiteral("0"));
  const QString next_open = to_qstring(message_text(MessageText::definitions_next_open));
  QCOMPARE(strip(), next_open);
  // An edit of another line says nothing; taking a whole definition line away does.
  w_->click("Command4");
  source.moveCursor(QTextCursor::End);
  QTest::keyClicks(&source, QStringLiteral("REM"));
  QCOMPARE(strip(), QString());
  source.moveCursor(QTextCursor::Start);
  source.moveCursor(QTextCursor::Down, QTextCursor::KeepAnchor);
  QTest::keyClick(&source, Qt::Key_Delete);
  QCOMPARE(w_->pane("Source_bas"), std::string("PRINT N\r\nREM"));
  QCOMPARE(strip(), next_open);
  // The next Open clears the strip.
  w_->ui.answers = {Answer::no};
  open("DEF.BAS");
  QCOMPARE(strip(), QString());
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::KeepsWorkWindowTest)
#include "keeps_work_window_test.moc"
