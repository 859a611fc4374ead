#include <QApplication>

#include "files/files.h"
#include "gui/main_window.h"
#include "gui/qt_ui.h"
#include "workbench/startup.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kestrel::QtUi ui;
  // The window reads only regular files: a pipe or a device could hold it without end.
  kestrel::DiskFiles files(kestrel::ReadPolicy::regular_files_only);
  kestrel::MainWindow window(ui, files, kestrel::kRunLogName);
  ui.set_parent(&window);
  window.show();
  return app.exec();
}
