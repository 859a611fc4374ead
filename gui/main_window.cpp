#include "gui/main_window.h"

#include <cmath>

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/clear_commands.h"
#include "app/startup.h"
#include "compiler/compile_pass.h"
#include "gui/pane_text.h"
#include "gui/qt_ui.h"
#include "loader/open_command.h"
#include "save/save_command.h"

namespace kestrel {

namespace {

// The layout is given in twips, 15 to a pixel at 96 dots per inch.
int pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
  return widget;
}

QGroupBox* files_frame(QWidget* parent, const char* name, int left, int top, int width,
                       int height) {
  return place(new QGroupBox(QStringLiteral("Files"), parent), name, left, top, width, height);
}

QLabel* label(QWidget* parent, const char* name, const char* text, int left, int top, int width,
              int height) {
  return place(new QLabel(QString::fromLatin1(text), parent), name, left, top, width, height);
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width, int height) {
  return place(new QPushButton(QString::fromLatin1(text), parent), name, left, top, width, height);
}

QLineEdit* path_box(QWidget* parent, const char* name, int left, int top, int width, int height) {
  return place(new QLineEdit(parent), name, left, top, width, height);
}

// A bare box: its own caption would not fit, the label beside it carries the text.
QCheckBox* check_box(QWidget* parent, const char* name, int left, int top, int width, int height) {
  return place(new QCheckBox(parent), name, left, top, width, height);
}

// The controls other than the panes: a small sans-serif face, so that every caption fits the
// size the layout gives its control.
QFont controls_font() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(7.5);
  return font;
}

QPlainTextEdit* pane(QWidget* parent, const char* name, int left, int top) {
  auto* edit = place(new QPlainTextEdit(parent), name, left, top, 7875, 8295);
  QFont font(QStringLiteral("Courier New"));
  font.setPointSizeF(9.75);
  font.setStyleHint(QFont::Monospace);
  edit->setFont(font);
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Tab moves on to the next control instead of typing a tab, so that the keyboard reaches every
  // control in the tab order.
  edit->setTabChangesFocus(true);
  return edit;
}

}  // namespace

void MainWindow::WidgetsFirstUi::message(const std::string& text) {
  show_workbench_();
  target_.message(text);
}

void MainWindow::WidgetsFirstUi::failure(const std::string& title, const std::string& description,
                                         const std::filesystem::path& file) {
  show_workbench_();
  target_.failure(title, description, file);
}

void MainWindow::WidgetsFirstUi::message_at(const std::string& text, const Location& where) {
  show_workbench_();
  target_.message_at(text, where);
  point_at_(where);
}

void MainWindow::WidgetsFirstUi::failure_at(const std::string& title,
                                            const std::string& description,
                                            const std::filesystem::path& file,
                                            const Location& where) {
  show_workbench_();
  target_.failure_at(title, description, file, where);
  point_at_(where);
}

std::string MainWindow::WidgetsFirstUi::open_dialog(const std::string& filter) {
  show_workbench_();
  return target_.open_dialog(filter);
}

std::string MainWindow::WidgetsFirstUi::save_dialog(const std::string& filter) {
  show_workbench_();
  return target_.save_dialog(filter);
}

MainWindow::MainWindow(Ui& ui, Files& files, const std::filesystem::path& log_path, QWidget* parent)
    : QWidget(parent),
      ui_(
          ui, [this] { copy_to_widgets(); }, [this](const Location& where) { point_at(where); }),
      files_(files) {
  setObjectName(QStringLiteral("UDP"));
  setWindowTitle(QString::fromLatin1(kProgramTitle));
  setWindowIcon(QIcon(QStringLiteral(":/icons/kestrel.png")));
  setFixedSize(pixels(15840), pixels(9450));
  setFont(controls_font());
  build_source_side();
  build_destination_side();
  build_editor_strip();
  set_tab_order();
  connect_commands();
  copy_to_widgets();
  Source_bas_->setFocus();
  startup(wb_, ui_, log_path);
}

MainWindow::~MainWindow() = default;

void MainWindow::build_source_side() {
  QGroupBox* files = files_frame(this, "Frame2", 0, 0, 7095, 495);
  label(files, "Label7", "Source:", 60, 195, 555, 255);
  Text2_ = path_box(files, "Text2", 720, 120, 4455, 285);
  Command7_ = button(files, "Command7", "x", 5220, 160, 255, 250);
  Command3_ = button(files, "Command3", "Open", 5520, 160, 675, 255);
  Command6_ = button(files, "Command6", "SaveAs", 6240, 160, 795, 255);
  Command2_ = button(this, "Command2", "Clear", 7200, 120, 615, 255);
  Source_bas_ = pane(this, "Source_bas", 0, 480);
}

void MainWindow::build_destination_side() {
  QGroupBox* files = files_frame(this, "Frame1", 7920, 0, 7155, 495);
  label(files, "Label2", "Destination:", 60, 195, 855, 255);
  Text1_ = path_box(files, "Text1", 900, 120, 4935, 285);
  Command8_ = button(files, "Command8", "x", 5880, 160, 255, 250);
  Command5_ = button(files, "Command5", "Save", 6180, 160, 855, 255);
  Command1_ = button(this, "Command1", "Clear", 15120, 120, 615, 255);
  Dest_bas_ = pane(this, "Dest_bas", 7920, 480);
}

void MainWindow::build_editor_strip() {
  auto* editor =
      place(new QGroupBox(QStringLiteral("Editor"), this), "Frame4", 0, 8760, 15795, 615);
  Check1_ = check_box(editor, "Check1", 120, 240, 195, 255);
  label(editor, "Label1", "Enable \"REM\" string", 420, 240, 1635, 255);
  Check2_ = check_box(editor, "Check2", 1980, 300, 195, 195);
  label(editor, "Label3", "Coment", 2280, 240, 615, 255);
  Command4_ = button(editor, "Command4", "Compile", 14460, 240, 915, 255);
}

void MainWindow::set_tab_order() {
  QWidget* const order[] = {Source_bas_, Command2_, Command3_, Text2_,  Dest_bas_,
                            Command1_,   Command5_, Text1_,    Check1_, Command4_,
                            Command6_,   Command7_, Command8_, Check2_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    QWidget::setTabOrder(order[i], order[i + 1]);
}

void MainWindow::connect_commands() {
  on_click(Command3_, [this](Workbench& wb, Ui& ui) {
    source_map_ = open_command(wb, ui, files_, {files_.current_folder()}).source_map;
  });
  on_click(Command4_, [this](Workbench& wb, Ui& ui) {
    compile_record_ = compile_command(wb, ui, source_map_).record;
  });
  on_click(Command5_, [this](Workbench& wb, Ui& ui) { save_command(wb, ui, files_); });
  on_click(Command6_, [this](Workbench& wb, Ui& ui) { save_as_command(wb, ui, files_); });
  on_click(Command1_, [](Workbench& wb, Ui&) { clear_output_command(wb); });
  on_click(Command2_, [](Workbench& wb, Ui&) { clear_source_command(wb); });
  on_click(Command7_, [](Workbench& wb, Ui&) { clear_source_path_command(wb); });
  on_click(Command8_, [](Workbench& wb, Ui&) { clear_destination_path_command(wb); });
}

void MainWindow::on_click(QPushButton* button, Command command) {
  connect(button, &QPushButton::clicked, this, [this, command = std::move(command)] {
    copy_from_widgets();
    pointed_line_.reset();
    command(wb_, ui_);
    copy_to_widgets();
    show_pointed_line();
  });
}

void MainWindow::point_at(const Location& where) {
  if (!where.pane_line) return;
  pointed_line_ = where.pane_line;
  show_pointed_line();
}

void MainWindow::show_pointed_line() {
  if (pointed_line_) select_pane_line(*Source_bas_, *pointed_line_);
}

void MainWindow::copy_from_widgets() {
  wb_.Source_bas = source_shown_ = pane_text(*Source_bas_);
  wb_.Dest_bas = dest_shown_ = pane_text(*Dest_bas_);
  wb_.Text1 = Text1_->text().toStdString();
  wb_.Text2 = Text2_->text().toStdString();
  wb_.Check1 = Check1_->isChecked();
  wb_.Check2 = Check2_->isChecked();
}

void MainWindow::copy_to_widgets() {
  if (wb_.Source_bas != source_shown_) {
    set_pane_text(*Source_bas_, wb_.Source_bas);
    source_shown_ = wb_.Source_bas;
  }
  if (wb_.Dest_bas != dest_shown_) {
    set_pane_text(*Dest_bas_, wb_.Dest_bas);
    dest_shown_ = wb_.Dest_bas;
  }
  const QString text1 = QString::fromStdString(wb_.Text1);
  if (Text1_->text() != text1) Text1_->setText(text1);
  const QString text2 = QString::fromStdString(wb_.Text2);
  if (Text2_->text() != text2) Text2_->setText(text2);
  Check1_->setChecked(wb_.Check1);
  Check2_->setChecked(wb_.Check2);
  Command4_->setEnabled(wb_.Command4_enabled);
}

}  // namespace kestrel
