#include <QGroupBox>
#include <QScreen>

#include "window_support.h"

namespace kestrel::testing {

// Run at a scale of 2 on a screen of 1600 x 1000 pixels: the layout's 1056 x 630 would need
// 2112 x 1260 of them.
class ScreenWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void the_window_fits_the_screen_and_shows_every_control();
  void the_panes_take_the_extra_room_data();
  void the_panes_take_the_extra_room();

 private:
  std::unique_ptr<WindowUnderTest> w_;
};

void ScreenWindowTest::init() {
  w_ = show_window();
  QVERIFY(w_);
}

void ScreenWindowTest::cleanup() {
  w_.reset();
  QTRY_VERIFY(no_window_left());
}

// Where a control lies in the window's client area.
QRect in_window(QWidget* widget, QWidget* window) {
  return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

void ScreenWindowTest::the_window_fits_the_screen_and_shows_every_control() {
  const QRect room = w_->window.screen()->availableGeometry();
  QCOMPARE(room.size(), QSize(800, 500));
  QVERIFY(w_->window.width() <= room.width() && w_->window.height() <= room.height());
  QVERIFY(w_->window.maximumSize().width() > room.width());
  for (QWidget* control : w_->window.findChildren<QWidget*>()) {
    if (!control->isVisible() || control->objectName().isEmpty()) continue;
    QVERIFY2(w_->window.rect().contains(in_window(control, &w_->window)),
             qPrintable(control->objectName()));
  }
}

void ScreenWindowTest::the_panes_take_the_extra_room_data() {
  QTest::addColumn<QSize>("size");
  QTest::newRow("larger") << QSize(1400, 900);
  QTest::newRow("smaller") << QSize(700, 420);
}

// The panes share the width beyond the layout's and take the height; every control keeps its
// distance to the pane or frame edge it stands by.
void ScreenWindowTest::the_panes_take_the_extra_room() {
  QFETCH(QSize, size);
  const auto place = [&](const char* name) {
    return in_window(w_->find<QWidget>(name), &w_->window);
  };
  QMap<QString, QRect> before;
  for (const char* name : {"Source_bas", "Dest_bas", "Frame4", "Command4", "Command1", "Command2",
                           "Command6", "Command5", "Text1", "Text2"})
    before[QString::fromLatin1(name)] = place(name);
  const QSize was = w_->window.size();
  w_->window.resize(size);
  const int wider = size.width() - was.width();
  const int taller = size.height() - was.height();
  const QRect source = place("Source_bas");
  const QRect dest = place("Dest_bas");
  QCOMPARE(source.width() + dest.width(),
           before["Source_bas"].width() + before["Dest_bas"].width() + wider);
  QVERIFY(qAbs(source.width() - dest.width()) <= 1);
  QCOMPARE(source.height(), before["Source_bas"].height() + taller);
  QCOMPARE(dest.right(), w_->window.width() - 1 - (was.width() - 1 - before["Dest_bas"].right()));
  QCOMPARE(place("Frame4").bottom(),
           w_->window.height() - (was.height() - before["Frame4"].bottom()));
  QCOMPARE(place("Command4").right() - place("Frame4").right(),
           before["Command4"].right() - before["Frame4"].right());
  QCOMPARE(place("Command1").right() - dest.right(),
           before["Command1"].right() - before["Dest_bas"].right());
  QCOMPARE(place("Command2").right() - source.right(),
           before["Command2"].right() - before["Source_bas"].right());
  QCOMPARE(place("Command6").right() - source.right(),
           before["Command6"].right() - before["Source_bas"].right());
  QCOMPARE(place("Command5").right() - dest.right(),
           before["Command5"].right() - before["Dest_bas"].right());
  QCOMPARE(place("Text2").left(), before["Text2"].left());
  QCOMPARE(place("Text1").left() - dest.left(), before["Text1"].left() - before["Dest_bas"].left());
}

}  // namespace kestrel::testing

QTEST_MAIN(kestrel::testing::ScreenWindowTest)
#include "screen_window_test.moc"
