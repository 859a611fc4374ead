#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScreen>

#include "files/files.h"
#include "gui/qt_ui.h"
#include "window_support.h"

namespace kestrel::testing {

QStringList listed_names(QFileDialog* dialog) {
  auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
  QStringList names;
  if (!view) return names;
  const QModelIndex root = view->rootIndex();
  for (int row = 0; row < view->model()->rowCount(root); ++row)
    names += view->model()->index(row, 0, root).data().toString();
  names.sort();
  return names;
}

class QtUiTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void boxes_data();
  void boxes();
  void box_shows_its_title_whole_data();
  void box_shows_its_title_whole();
  void save_dialog_asks_before_replacing_data();
  void save_dialog_asks_before_replacing();
  void dialog_filters_data();
  void dialog_filters();
  void dialog_offers_the_name_chosen_last();
};

void QtUiTest::cleanup() { QTRY_VERIFY(no_window_left()); }

void QtUiTest::boxes_data() {
  QTest::addColumn<bool>("is_failure");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("text");
  const auto u = [](const char* utf8) { return QString::fromUtf8(utf8); };
  QTest::newRow("plain message") << false << ""
                                 << "COMPILE OK";
  QTest::newRow("Russian message") << false << "" << u("Ошибка номера строки!3000");
  QTest::newRow("message over two lines") << false << "" << u("Ошибка\r\n[METKA] текст");
  QTest::newRow("message that looks like markup") << false << ""
                                                  << "<b>GOTO</b> &amp; [A]";
  QTest::newRow("failure") << true << "Error#53"
                           << "File not found";
  QTest::newRow("failure of an include")
      << true << u("Error#76  /tmp/Папка/LIB.BAS") << "Path not found";
  QTest::newRow("negative number") << true << "Error#-1"
                                   << "Overflow";
}

void QtUiTest::boxes() {
  QFETCH(bool, is_failure);
  QFETCH(QString, title);
  QFETCH(QString, text);
  QString shown_title;
  QString shown_text;
  int shown_icon = -1;
  int buttons = 0;
  Qt::TextFormat format = Qt::AutoText;
  when_shown<QMessageBox>([&](QMessageBox* box) {
    shown_title = box->windowTitle();
    shown_text = box->text();
    shown_icon = box->icon();
    buttons = box->standardButtons();
    format = box->textFormat();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  QtUi ui;
  if (is_failure)
    ui.failure(to_ansi(title), to_ansi(text), {});
  else
    ui.message(to_ansi(text));
  QCOMPARE(shown_title, is_failure ? title : QStringLiteral("KESTREL V3.0"));
  QCOMPARE(shown_text, text);
  QCOMPARE(shown_icon, is_failure ? QMessageBox::Critical : QMessageBox::NoIcon);
  QCOMPARE(buttons, int(QMessageBox::Ok));
  QCOMPARE(format, Qt::PlainText);
}

// The title is "Error#53", two blanks and the path the failure names, if any, whole: letters the
// code page cannot hold included.
void QtUiTest::box_shows_its_title_whole_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("elided");
  QTest::newRow("failure") << QString() << false;
  QTest::newRow("include path") << QString::fromUtf8(
                                       "/home/пользователь/projects/é/出力/lib/NOPE.BAS")
                                << false;
  QTest::newRow("path longer than the screen")
      << QStringLiteral("/") + QStringLiteral("folder/").repeated(200) + "NOPE.BAS" << true;
}

void QtUiTest::box_shows_its_title_whole() {
  QFETCH(QString, path);
  QFETCH(bool, elided);
  const QString title =
      path.isEmpty() ? QStringLiteral("Error#53") : QStringLiteral("Error#53  ") + path;
  QString shown;
  int needed = 0;
  int width = 0;
  const int screen = QGuiApplication::primaryScreen()->availableGeometry().width();
  when_shown<QMessageBox>([&](QMessageBox* box) {
    shown = box->windowTitle();
    needed = box->fontMetrics().horizontalAdvance(shown);
    width = box->width();
    box->accept();
  });
  QtUi ui;
  ui.failure("Error#53", "File not found", path_from_utf8(path.toStdString()));
  QVERIFY2(width > needed, qPrintable(QStringLiteral("%1 <= %2").arg(width).arg(needed)));
  QVERIFY(width <= screen);
  if (!elided) {
    QCOMPARE(shown, title);
    return;
  }
  // The middle goes, so that the number and the file name stay.
  QVERIFY(shown.startsWith(QStringLiteral("Error#53  /folder/")));
  QVERIFY(shown.endsWith(QStringLiteral("/NOPE.BAS")));
  QVERIFY(shown.contains(QChar(0x2026)));
}

void QtUiTest::save_dialog_asks_before_replacing_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("replace");  // the answer to the question, if it is asked
  QTest::addColumn<bool>("asked");
  QTest::addColumn<bool>("chosen");
  QTest::newRow("new file") << "new.bas" << false << false << true;
  QTest::newRow("existing file, replaced") << "prog.bas" << true << true << true;
  QTest::newRow("existing file, kept") << "prog.bas" << false << true << false;
}

void QtUiTest::save_dialog_asks_before_replacing() {
  QFETCH(QString, name);
  QFETCH(bool, replace);
  QFETCH(bool, asked);
  QFETCH(bool, chosen);
  CurrentTempDir dir;
  write_file("prog.bas", "X\r\n");
  bool question = false;
  QPointer<QTimer> question_watch;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    question_watch = when_shown<QMessageBox>([&](QMessageBox* box) {
      question = true;
      box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    static_cast<void>(QTest::qWaitFor([&] { return !listed_names(dialog).isEmpty(); }));
    edit->setText(name);
    QMetaObject::invokeMethod(dialog, "accept");
    // A kept file leaves the dialog open.
    if (dialog->isVisible()) dialog->reject();
  });
  QtUi ui;
  const std::string path = ui.save_dialog("BAS files (*.BAS)|*.BAS");
  delete question_watch.data();
  QCOMPARE(question, asked);
  QCOMPARE(QString::fromStdString(path),
           chosen ? QString::fromStdString((dir.path() / name.toStdString()).string()) : QString());
  QCOMPARE(read_file("prog.bas"), std::string("X\r\n"));
}

void QtUiTest::dialog_filters_data() {
  QTest::addColumn<bool>("save");
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QString>("description");
  QTest::addColumn<QStringList>("names");
  QTest::newRow("open: every file")
      << false << "All files (*.*)|*.*"
      << "All files (*.*)"
      << QStringList{"LIB.BAS", "Mixed.Bas", "README", "notes.txt", "prog.bas", "sub"};
  QTest::newRow("save: .bas in any case")
      << true << "BAS files (*.BAS)|*.BAS"
      << "BAS files (*.BAS)" << QStringList{"LIB.BAS", "Mixed.Bas", "prog.bas", "sub"};
}

void QtUiTest::dialog_filters() {
  QFETCH(bool, save);
  QFETCH(QString, filter);
  QFETCH(QString, description);
  QFETCH(QStringList, names);
  CurrentTempDir dir;
  for (const char* name : {"LIB.BAS", "Mixed.Bas", "README", "notes.txt", "prog.bas"})
    write_file(name, "X\r\n");
  std::filesystem::create_directory("sub");
  QStringList listed;
  QString shown_description;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    // The folder is read in the background; a wrong filter never reaches the expected list.
    static_cast<void>(QTest::qWaitFor([&] { return listed_names(dialog) == names; }));
    listed = listed_names(dialog);
    shown_description =
        dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
    dialog->reject();
  });
  QtUi ui;
  const std::string chosen =
      save ? ui.save_dialog(to_ansi(filter)) : ui.open_dialog(to_ansi(filter));
  QCOMPARE(chosen, std::string());
  QCOMPARE(listed, names);
  QCOMPARE(shown_description, description);
}

void QtUiTest::dialog_offers_the_name_chosen_last() {
  CurrentTempDir dir;
  write_file("prog.bas", "X\r\n");
  QtUi ui;
  // Types the name as a user would, once the folder is listed, and accepts.
  const auto choose = [](const char* name) {
    return [name](QFileDialog* dialog) {
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
      // A name offered again is selected in the list once the folder has been read; typing into
      // the focused name box replaces that selection.
      QApplication::setActiveWindow(dialog);
      edit->setFocus();
      static_cast<void>(QTest::qWaitFor([&] {
        return edit->hasFocus() && !listed_names(dialog).isEmpty() &&
               (edit->text().isEmpty() || view->selectionModel()->hasSelection());
      }));
      edit->selectAll();
      QTest::keyClicks(edit, QString::fromLatin1(name));
      QMetaObject::invokeMethod(dialog, "accept");
    };
  };
  when_shown<QFileDialog>(choose("prog.bas"));
  QCOMPARE(ui.open_dialog("All files (*.*)|*.*"), (dir.path() / "prog.bas").string());

  QString offered;
  QString offered_folder;
  when_shown<QFileDialog>([&](QFileDialog* dialog) {
    offered = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    offered_folder = dialog->directory().absolutePath();
    dialog->reject();
  });
  QCOMPARE(ui.save_dialog("BAS files (*.BAS)|*.BAS"), std::string());
  QCOMPARE(offered, QStringLiteral("prog.bas"));
  QCOMPARE(offered_folder, QString::fromStdString(dir.str()));

  // A name typed without an extension is given back as typed.
  when_shown<QFileDialog>(choose("OUTPUT"));
  QCOMPARE(QString::fromStdString(ui.save_dialog("BAS files (*.BAS)|*.BAS")),
           QString::fromStdString((dir.path() / "OUTPUT").string()));
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::QtUiTest)
#include "qt_ui_test.moc"
