#include <QApplication>

#include "app/window/main_window.h"
#include "app/window/qt_ui.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kestrel::QtUi ui;
  kestrel::MainWindow window(ui);
  ui.set_parent(&window);
  window.show();
  return app.exec();
}
