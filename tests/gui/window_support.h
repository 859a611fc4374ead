#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include "files/memory_files.h"
#include "gui/main_window.h"
#include "gui/pane_text.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace kestrel::testing {

// The folder the window's files are taken against, as the program's strings hold it.
inline const std::string kFolder = "/work";

// One window on the screen with a scripted Ui, over files in memory, with its run log in a fresh
// folder.
struct WindowUnderTest {
  TempDir log_dir;
  ScriptedUi ui;
  MemoryFiles files{kFolder};
  MainWindow window{ui, files, log_path()};

  std::filesystem::path log_path() const { return log_dir.path() / "Editor.log"; }
  // A file below kFolder, and its content; "<no file>" when there is none.
  void write_file(const std::string& name, const std::string& bytes) {
    files.add_file(name, bytes);
  }
  std::string read_file(const std::string& name) const {
    return files.content(name).value_or("<no file>");
  }

  template <typename W>
  W* find(const char* name) {
    return window.findChild<W*>(QString::fromLatin1(name));
  }
  std::string pane(const char* name) { return pane_text(*find<QPlainTextEdit>(name)); }
  void set_pane(const char* name, const std::string& text) {
    set_pane_text(*find<QPlainTextEdit>(name), text);
  }
  void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
  bool compile_enabled() { return find<QPushButton>("Command4")->isEnabled(); }
};

inline std::unique_ptr<WindowUnderTest> show_window() {
  auto w = std::make_unique<WindowUnderTest>();
  w->window.show();
  if (!QTest::qWaitForWindowExposed(&w->window)) return nullptr;
  return w;
}

// Runs `handle` on the modal widget of type W as soon as it is on the screen; `handle` closes it.
// Returns the watch, which a test deletes when the widget may never come.
template <typename W>
QPointer<QTimer> when_shown(std::function<void(W*)> handle) {
  auto* timer = new QTimer(QApplication::instance());
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, handle] {
    auto* widget = qobject_cast<W*>(QApplication::activeModalWidget());
    if (!widget || !widget->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    handle(widget);
  });
  timer->start();
  return timer;
}

// What a command showed, one line per box or dialog, for comparing in a table.
inline QStringList describe(const std::vector<Shown>& shown) {
  static const char* const kinds[] = {"message", "failure", "open_dialog", "save_dialog",
                                      "question"};
  QStringList lines;
  for (const Shown& s : shown) {
    QString line = QString::fromLatin1(kinds[static_cast<int>(s.kind)]) + QStringLiteral(": ");
    if (!s.title.empty()) line += to_qstring(s.title) + QStringLiteral(" | ");
    lines += line + (s.kind == Shown::Kind::question ? QString::fromStdString(s.text)
                                                     : to_qstring(s.text));
  }
  return lines;
}

// The code page's bytes for a literal written in UTF-8.
inline std::string cp(const char* utf8) { return to_ansi(QString::fromUtf8(utf8)); }

// Every top-level widget a test opened must be gone once it has ended.
inline bool no_window_left() {
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return QApplication::topLevelWidgets().isEmpty();
}

}  // namespace kestrel::testing
