#include <QApplication>

#include "app/files.h"
#include "app/startup.h"
#include "gui/main_window.h"
#include "gui/qt_ui.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kestrel::QtUi ui;
  kestrel::DiskFiles files;
  kestrel::MainWindow window(ui, files, kestrel::kRunLogName);
  ui.set_parent(&window);
  window.show();
  return app.exec();
}
