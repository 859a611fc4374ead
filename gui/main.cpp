#include <QApplication>

#include "gui/main_window.h"
#include "gui/qt_ui.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kestrel::QtUi ui;
  kestrel::MainWindow window(ui);
  ui.set_parent(&window);
  window.show();
  return app.exec();
}
