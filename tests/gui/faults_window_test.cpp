#include <QLineEdit>

#include "window_support.h"

namespace kestrel::testing {

// Bad inputs opened, compiled and saved through the window's buttons; afterwards a clean Open,
// Compile and Save through the same window succeed.
class FaultsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void bad_input_then_clean_run_data();
  void bad_input_then_clean_run();

 private:
  void set_path(const char* box, const QString& text) {
    auto* edit = w_->find<QLineEdit>(box);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  void open_compile_save() {
    w_->click("Command3");
    w_->click("Command4");
    w_->click("Command5");
  }

  std::unique_ptr<WindowUnderTest> w_;
};

void FaultsWindowTest::init() {
  w_ = show_window();
  QVERIFY(w_);
  w_->files.fail_reads("unreadable.bas", FailureCode::device_io_error);
  w_->files.fail_writes("full.bas", FailureCode::disk_full);
}

void FaultsWindowTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

QByteArray lines(int count, const QByteArray& line) {
  QByteArray text;
  for (int i = 0; i < count; ++i) text += line + "\r\n";
  return text;
}

QByteArray every_byte_line() {
  QByteArray line("A");
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') line += static_cast<char>(b);
  }
  return line;
}

void FaultsWindowTest::bad_input_then_clean_run_data() {
  QTest::addColumn<QString>("source");  // Text2; every case may write p.bas
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("target");  // Text1
  QTest::addColumn<QString>("first");   // the first box shown
  QTest::addColumn<QString>("last");    // the last box shown
  const QString ok = "message: COMPILE OK";
  const QString too_many = "failure: Error#67  {dir}/p.bas | Too many files";
  QTest::newRow("missing file") << "missing.bas" << QByteArray() << "out.bas"
                                << "failure: Error#53 | File not found"
                                << "failure: Error#53 | File not found";
  QTest::newRow("folder as the file") << "." << QByteArray() << "out.bas"
                                      << "failure: Error#75 | Path/File access error"
                                      << "failure: Error#75 | Path/File access error";
  QTest::newRow("unreadable") << "unreadable.bas" << QByteArray() << "out.bas"
                              << "failure: Error#57 | Device I/O error"
                              << "failure: Error#57 | Device I/O error";
  QTest::newRow("a 1 MiB line")
      << "p.bas"
      << "[L]\r\nPRINT " + QByteArray(1 << 20, 'x') + "\r\nGOTO [L]\r\n"
      << "out.bas" << QString::fromUtf8("message: Ошибка - Слишком длинная строка 0000 PRINT ...")
      << QString::fromUtf8("message: Ошибка - Слишком длинная строка 0000 PRINT ...");
  QTest::newRow("NUL and every other byte") << "p.bas" << every_byte_line() + "\r\n"
                                            << "out.bas" << ok << ok;
  QTest::newRow("200,000 lines") << "p.bas" << lines(200000, "PRINT 1") << "out.bas"
                                 << QString::fromUtf8("message: Ошибка номера строки!32768")
                                 << QString::fromUtf8("message: Ошибка номера строки!32768");
  QTest::newRow("a file that includes itself")
      << "p.bas" << QByteArray("x\r\n#include p.bas\r\n") << "out.bas" << too_many << ok;
  QTest::newRow("4,098 definitions") << "p.bas" << lines(4098, "#define N EQU 1") << "out.bas"
                                     << "message: ERROR Count #define > Limit #define N EQU 1"
                                     << "failure: Error#9 | Subscript out of range";
  QTest::newRow("a full disk") << "p.bas" << QByteArray("PRINT 1\r\n") << "full.bas" << ok
                               << "failure: Error#61 | Disk full";
}

void FaultsWindowTest::bad_input_then_clean_run() {
  QFETCH(QString, source);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, target);
  QFETCH(QString, first);
  QFETCH(QString, last);
  w_->write_file("p.bas", bytes.toStdString());
  set_path("Text2", source);
  set_path("Text1", target);
  open_compile_save();
  const QStringList shown = describe(w_->ui.shown);
  QVERIFY(!shown.isEmpty());
  const QString dir = to_qstring(kFolder);
  QCOMPARE(shown.front(), first.replace("{dir}", dir));
  QCOMPARE(shown.back(), last.replace("{dir}", dir));

  w_->ui.shown.clear();
  w_->write_file("clean.bas", "#define X EQU 5\r\n[L]\r\nPRINT X\r\nGOTO [L]\r\n");
  set_path("Text2", "clean.bas");
  set_path("Text1", "out.bas");
  open_compile_save();
  QCOMPARE(describe(w_->ui.shown), QStringList{"message: COMPILE OK"});
  QCOMPARE(w_->read_file("out.bas"), std::string("0000 PRINT 5\r\n0001 GOTO 0\r\n"));
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::FaultsWindowTest)
#include "faults_window_test.moc"
