#include "gui/main_window.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include <qdrawutil.h>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QUrl>

#include "compiler/compile_pass.h"
#include "files/files.h"
#include "gui/output_trace.h"
#include "gui/pane_text.h"
#include "gui/qt_ui.h"
#include "loader/open_command.h"
#include "save/save_command.h"
#include "text/ansi.h"
#include "workbench/clear_commands.h"
#include "workbench/messages.h"
#include "workbench/startup.h"

namespace kestrel {

namespace {

// Colouring costs about 40 ns a byte on every Open (50 ms for a source of 32,000 lines): above
// this size, where that would begin to be felt, the source pane stays plain.
constexpr std::size_t kLongestColouredSource = 512 * 1024;

// The client area at the layout's size, in twips, and the least that still shows every control.
constexpr int kLayoutWidth = 15840;
constexpr int kLayoutHeight = 9450;
constexpr QSize kSmallestSize(600, 300);

// The room a window manager's frame and title bar take around the client area, which is not known
// before the window is first shown.
constexpr QSize kFrameRoom(16, 48);

// How many characters the code page cannot hold a save names in its question.
constexpr std::size_t kLostCharactersNamed = 5;

// The highest BASIC line number a target can name: line numbers are 16-bit.
constexpr int kHighestBasicLine = std::numeric_limits<std::int16_t>::max();

// The first local file among dropped data, or an empty string.
QString dropped_file(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

// The layout is given in twips, 15 to a pixel at 96 dots per inch.
int pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
  return widget;
}

// A frame whose caption sits on its top border. The platform style puts the caption above a box
// that begins below it, which the layout's thin frames have no room for: that box's top border
// would run through the controls.
class CaptionedFrame : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    constexpr int kCaptionLeft = 6;
    constexpr int kCaptionPadding = 2;
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // An etched line drawn here, since a style may place its own frame lower for a caption.
    qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true);
    const QRect caption(kCaptionLeft, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().window());
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                          QPalette::WindowText);
  }
};

QGroupBox* frame(QWidget* parent, const char* name, const char* caption, int left, int top,
                 int width, int height) {
  return place(new CaptionedFrame(QString::fromLatin1(caption), parent), name, left, top, width,
               height);
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
  // A bar that came and went with the length of the text would change the width of the text at
  // each fill from short to long and back, and Qt lays out every line of the pane again for it (a
  // tenth of the filling of 32,000 lines).
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
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
  point_at_(where, false);
}

void MainWindow::WidgetsFirstUi::failure_at(const std::string& title,
                                            const std::string& description,
                                            const std::filesystem::path& file,
                                            const Location& where) {
  show_workbench_();
  target_.failure_at(title, description, file, where);
  point_at_(where, true);
}

std::string MainWindow::WidgetsFirstUi::open_dialog(const std::string& filter) {
  show_workbench_();
  return target_.open_dialog(filter);
}

std::string MainWindow::WidgetsFirstUi::save_dialog(const std::string& filter) {
  show_workbench_();
  return target_.save_dialog(filter);
}

Ui::Answer MainWindow::WidgetsFirstUi::ask(const std::string& text_utf8, bool can_cancel) {
  show_workbench_();
  return target_.ask(text_utf8, can_cancel);
}

MainWindow::MainWindow(Ui& ui, Files& files, const std::filesystem::path& log_path, QWidget* parent)
    : QWidget(parent),
      ui_(
          ui, [this] { copy_to_widgets(); },
          [this](const Location& where, bool load_failure) { point_at(where, load_failure); }),
      files_(files) {
  setObjectName(QStringLiteral("UDP"));
  setWindowTitle(QString::fromLatin1(kProgramTitle));
  setWindowIcon(QIcon(QStringLiteral(":/icons/kestrel.png")));
  resize(pixels(kLayoutWidth), pixels(kLayoutHeight));
  setMinimumSize(kSmallestSize);
  setFont(controls_font());
  build_source_side();
  build_destination_side();
  build_editor_strip();
  set_tab_order();
  connect_commands();
  add_shortcuts();
  accept_dropped_files();
  highlighter_ = new NotationHighlighter(Source_bas_->document());
  connect(Dest_bas_, &QPlainTextEdit::cursorPositionChanged, this, &MainWindow::show_trace);
  for (QPlainTextEdit* pane : {Source_bas_, Dest_bas_})
    connect(pane->document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
      if (modified && trace_) drop_trace();
    });
  connect(Source_bas_->document(), &QTextDocument::contentsChanged, this,
          [this] { source_changed_ = true; });
  connect(Source_bas_->document(), &QTextDocument::contentsChange, this,
          &MainWindow::note_definition_edit);
  connect(Dest_bas_->document(), &QTextDocument::contentsChanged, this,
          [this] { dest_changed_ = true; });
  copy_to_widgets();
  Source_bas_->setFocus();
  startup(wb_, ui_, log_path);
}

MainWindow::~MainWindow() = default;

void MainWindow::build_source_side() {
  QGroupBox* files = frame(this, "Frame2", "Files", 0, 0, 7095, 495);
  label(files, "Label7", "Source:", 60, 195, 555, 255);
  Text2_ = path_box(files, "Text2", 720, 120, 4455, 285);
  Command7_ = button(files, "Command7", "x", 5220, 160, 255, 250);
  Command3_ = button(files, "Command3", "Open", 5520, 160, 675, 255);
  Command6_ = button(files, "Command6", "SaveAs", 6240, 160, 795, 255);
  Command2_ = button(this, "Command2", "Clear", 7200, 120, 615, 255);
  Source_bas_ = pane(this, "Source_bas", 0, 480);
  follow(files, Side::none, Side::source);
  follow(Text2_, Side::none, Side::source);
  for (QWidget* control : {Command7_, Command3_, Command6_, Command2_})
    follow(control, Side::source, Side::none);
  follow(Source_bas_, Side::none, Side::source, false, true);
}

void MainWindow::build_destination_side() {
  QGroupBox* files = frame(this, "Frame1", "Files", 7920, 0, 7155, 495);
  label(files, "Label2", "Destination:", 60, 195, 855, 255);
  Text1_ = path_box(files, "Text1", 900, 120, 4935, 285);
  Command8_ = button(files, "Command8", "x", 5880, 160, 255, 250);
  Command5_ = button(files, "Command5", "Save", 6180, 160, 855, 255);
  Command1_ = button(this, "Command1", "Clear", 15120, 120, 615, 255);
  Dest_bas_ = pane(this, "Dest_bas", 7920, 480);
  follow(files, Side::source, Side::destination);
  follow(Text1_, Side::none, Side::destination);
  for (QWidget* control : {Command8_, Command5_}) follow(control, Side::destination, Side::none);
  follow(Command1_, Side::both, Side::none);
  follow(Dest_bas_, Side::source, Side::destination, false, true);
}

void MainWindow::build_editor_strip() {
  QGroupBox* editor = frame(this, "Frame4", "Editor", 0, 8760, 15795, 615);
  Check1_ = check_box(editor, "Check1", 120, 240, 195, 255);
  Label1_ = label(editor, "Label1", "Enable \"REM\" string", 420, 240, 1635, 255);
  Check2_ = check_box(editor, "Check2", 1980, 300, 195, 195);
  Label3_ = label(editor, "Label3", "Coment", 2280, 240, 615, 255);
  Command4_ = button(editor, "Command4", "Compile", 14460, 240, 915, 255);
  // The strip's free middle names the file and line of the output line under the cursor, and
  // says what the window has to tell besides boxes.
  trace_line_ = label(editor, "Trace", "", 3000, 240, 11340, 255);
  follow(editor, Side::none, Side::both, true);
  follow(Command4_, Side::both, Side::none);
  follow(trace_line_, Side::none, Side::both);
}

void MainWindow::follow(QWidget* widget, Side move_right, Side grow_wider, bool move_down,
                        bool grow_taller) {
  follows_.push_back({widget, widget->geometry(), move_right, grow_wider, move_down, grow_taller});
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int wider = width() - pixels(kLayoutWidth);
  const int taller = height() - pixels(kLayoutHeight);
  // The source side takes the first half of the extra width, the destination side the rest.
  const int source_wider = wider / 2;
  const auto extra = [&](Side side) {
    switch (side) {
      case Side::none:
        return 0;
      case Side::source:
        return source_wider;
      case Side::destination:
        return wider - source_wider;
      case Side::both:
        return wider;
    }
    return 0;
  };
  for (const Follow& f : follows_) {
    QRect place = f.at_layout_size.translated(extra(f.move_right), f.move_down ? taller : 0);
    place.setWidth(place.width() + extra(f.grow_wider));
    place.setHeight(place.height() + (f.grow_taller ? taller : 0));
    f.widget->setGeometry(place);
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (fitted_to_screen_ || !screen()) return;
  fitted_to_screen_ = true;
  const QSize room = screen()->availableGeometry().size() - kFrameRoom;
  if (width() > room.width() || height() > room.height())
    resize(size().boundedTo(room).expandedTo(minimumSize()));
}

void MainWindow::set_tab_order() {
  QWidget* const order[] = {Source_bas_, Command2_, Command3_, Text2_,  Dest_bas_,
                            Command1_,   Command5_, Text1_,    Check1_, Command4_,
                            Command6_,   Command7_, Command8_, Check2_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    QWidget::setTabOrder(order[i], order[i + 1]);
}

void MainWindow::connect_commands() {
  // Open rewrites the source map that a trace reads, even when the pane's text stays the same.
  on_click(Command3_, [this](Workbench& wb, Ui& ui) {
    // Saving the edits first names a new source file, which is not the one to open.
    const std::string to_open = wb.source_path;
    if (!keep_source_edits(wb, ui)) return;
    wb.source_path = to_open;
    drop_trace();
    OpenOutcome opened = open_command(wb, ui, files_, {files_.current_folder()});
    if (opened.cancelled) return;
    source_map_ = std::move(opened.source_map);
    sources_ = files_read(opened);
    source_kept_ = TextFingerprint::of(wb.Source_bas);
  });
  on_click(
      Command4_,
      [this](Workbench& wb, Ui& ui) {
        compile_record_ = compile_command(wb, ui, source_map_).record;
      },
      [this] { start_trace(); });
  on_click(Command5_, [this](Workbench& wb, Ui& ui) {
    if (keeps_characters(*Dest_bas_)) save_command(wb, ui, files_, sources_);
  });
  on_click(Command6_, [this](Workbench& wb, Ui& ui) { save_source(wb, ui); });
  on_click(Command1_, [](Workbench& wb, Ui&) { clear_output_command(wb); });
  on_click(Command2_, [](Workbench& wb, Ui&) { clear_source_command(wb); });
  on_click(Command7_, [](Workbench& wb, Ui&) { clear_source_path_command(wb); });
  on_click(Command8_, [](Workbench& wb, Ui&) { clear_destination_path_command(wb); });
}

// The keys add no access keys to the captions: the captions and the tab order stay as they are.
void MainWindow::add_shortcuts() {
  const std::pair<QKeySequence, QPushButton*> presses[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_O), Command3_},
      {QKeySequence(Qt::CTRL | Qt::Key_S), Command5_},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), Command6_},
      {QKeySequence(Qt::Key_F5), Command4_}};
  for (const auto& [keys, button] : presses)
    connect(new QShortcut(keys, this), &QShortcut::activated, button, &QPushButton::click);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this), &QShortcut::activated, this,
          &MainWindow::ask_line_number);
  // Enter in a path box runs the command that box names the file for.
  connect(Text2_, &QLineEdit::returnPressed, Command3_, &QPushButton::click);
  connect(Text1_, &QLineEdit::returnPressed, Command5_, &QPushButton::click);
  for (QLabel* caption : {Label1_, Label3_}) caption->installEventFilter(this);
  // Outside a dialog a button takes only Space; the window presses it on Enter too, which makes
  // no button a default button.
  for (QPushButton* button : findChildren<QPushButton*>()) button->installEventFilter(this);
}

void MainWindow::accept_dropped_files() {
  setAcceptDrops(true);
  for (QObject* target :
       {static_cast<QObject*>(this), static_cast<QObject*>(Source_bas_->viewport()),
        static_cast<QObject*>(Dest_bas_->viewport()), static_cast<QObject*>(Text1_),
        static_cast<QObject*>(Text2_)})
    target->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonRelease: {
      QCheckBox* box = watched == Label1_ ? Check1_ : watched == Label3_ ? Check2_ : nullptr;
      if (!box || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
      box->click();
      return true;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      auto* button = qobject_cast<QPushButton*>(watched);
      if (!button || (key != Qt::Key_Return && key != Qt::Key_Enter)) break;
      button->click();
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (dropped_file(drag->mimeData()).isEmpty()) break;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!open_dropped(drop->mimeData())) break;
      drop->acceptProposedAction();
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

// Open runs once the drop has ended, so that its boxes do not hold the drag source waiting.
bool MainWindow::open_dropped(const QMimeData* data) {
  const QString path = dropped_file(data);
  if (path.isEmpty()) return false;
  QMetaObject::invokeMethod(
      this,
      [this, path] {
        Text2_->setText(QDir::toNativeSeparators(path));
        Command3_->click();
      },
      Qt::QueuedConnection);
  return true;
}

void MainWindow::on_click(QPushButton* button, Command command, std::function<void()> after) {
  connect(button, &QPushButton::clicked, this,
          [this, command = std::move(command), after = std::move(after)] {
            run(command);
            if (after) after();
          });
}

void MainWindow::run(const Command& command) {
  copy_from_widgets();
  pointed_line_.reset();
  command(wb_, ui_);
  copy_to_widgets();
  show_pointed_line();
  Findings findings(ui_);
  report_log_failure(wb_, findings);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  bool close = true;
  run([&](Workbench& wb, Ui& ui) { close = keep_source_edits(wb, ui); });
  if (close)
    event->accept();
  else
    event->ignore();
}

bool MainWindow::source_unsaved() {
  return !wb_.Source_bas.empty() && TextFingerprint::of(wb_.Source_bas) != source_kept_;
}

// Returns whether the command that would lose the edits may go on: they were saved, or the user
// let them go.
bool MainWindow::keep_source_edits(Workbench& wb, Ui& ui) {
  if (!source_unsaved()) return true;
  switch (ui.ask(ansi::to_utf8(message_text(MessageText::unsaved_source)), true)) {
    case Ui::Answer::yes:
      return save_source(wb, ui);
    case Ui::Answer::no:
      return true;
    case Ui::Answer::cancel:
      break;
  }
  return false;
}

bool MainWindow::save_source(Workbench& wb, Ui& ui) {
  if (!keeps_characters(*Source_bas_)) return false;
  if (!save_as_command(wb, ui, files_, sources_).written) return false;
  source_kept_ = TextFingerprint::of(wb.Source_bas);
  return true;
}

// Asks, naming the first few, before a save writes characters the code page cannot hold as "?".
bool MainWindow::keeps_characters(const QPlainTextEdit& pane) {
  const std::vector<LostCharacter> lost = lost_characters(pane, kLostCharactersNamed);
  if (lost.empty()) return true;
  QString question = to_qstring(message_text(MessageText::lost_characters));
  for (const LostCharacter& c : lost)
    question += QStringLiteral("\n%1  in line %2").arg(c.character).arg(c.line);
  return ui_.ask(question.toStdString(), false) == Ui::Answer::yes;
}

// A definition takes effect when Open reads it, not when the pane changes. An edit that leaves a
// definition line in the lines it touched changed one; one that removed text may have taken a
// whole definition line away, which only the count of them shows.
void MainWindow::note_definition_edit(int position, int removed, int added) {
  if (filling_ || (removed == 0 && added == 0)) return;
  const QTextDocument& document = *Source_bas_->document();
  bool touched = false;
  for (QTextBlock block = document.findBlock(position);
       !touched && block.isValid() && block.position() <= position + added; block = block.next())
    touched = is_definition(block);
  if (touched || removed > 0) {
    const int count = count_definitions(document);
    touched = touched || count != definition_lines_;
    definition_lines_ = count;
  }
  if (!touched) return;
  drop_trace();
  show_note(to_qstring(message_text(MessageText::definitions_next_open)));
}

void MainWindow::show_note(const QString& text) {
  trace_line_->setText(
      trace_line_->fontMetrics().elidedText(text, Qt::ElideMiddle, trace_line_->width()));
  trace_line_->setToolTip(text);
}

void MainWindow::point_at(const Location& where, bool load_failure) {
  if (!where.pane_line) return;
  // While a file loads the pane ends with a line break, so its last block is where the next
  // line will go.
  const bool between_lines = load_failure && *where.pane_line >= Source_bas_->blockCount() - 1;
  pointed_line_ = PointedLine{*where.pane_line, between_lines};
  show_pointed_line();
}

// The focus goes to the pane, so that the fix can be typed at once.
void MainWindow::show_pointed_line() {
  if (!pointed_line_) return;
  if (pointed_line_->between_lines)
    place_cursor_at_line(*Source_bas_, pointed_line_->line);
  else
    select_pane_line(*Source_bas_, pointed_line_->line);
  Source_bas_->setFocus();
}

void MainWindow::start_trace() {
  trace_.emplace(source_map_, wb_.Source_bas);
  Source_bas_->document()->setModified(false);
  Dest_bas_->document()->setModified(false);
  show_trace();
}

void MainWindow::drop_trace() {
  trace_.reset();
  Source_bas_->setExtraSelections({});
  trace_line_->clear();
  trace_line_->setToolTip(QString());
}

void MainWindow::show_trace() {
  if (!trace_) return;
  const std::optional<Location> origin =
      trace_output_line(compile_record_, *trace_, Dest_bas_->textCursor().blockNumber());
  if (!origin || !origin->pane_line) {
    Source_bas_->setExtraSelections({});
    trace_line_->clear();
    return;
  }
  show_band(*Source_bas_, *origin->pane_line);
  const QString place = origin->file.empty() ? QString()
                                             : QString::fromStdString(utf8_path(origin->file)) +
                                                   u':' + QString::number(origin->line);
  show_note(place);
}

bool MainWindow::go_to_line(int number) {
  const std::optional<int> line = find_numbered_line(pane_text(*Dest_bas_), number);
  if (!line) return false;
  select_pane_line(*Dest_bas_, *line);
  Dest_bas_->setFocus();
  if (trace_)
    if (const std::optional<Location> origin = trace_output_line(compile_record_, *trace_, *line);
        origin && origin->pane_line)
      select_pane_line(*Source_bas_, *origin->pane_line);
  return true;
}

void MainWindow::ask_line_number() {
  bool ok = false;
  const int number =
      QInputDialog::getInt(this, QString::fromLatin1(kProgramTitle), QStringLiteral("Go to line"),
                           0, 0, kHighestBasicLine, 1, &ok);
  if (!ok || go_to_line(number)) return;
  QApplication::beep();
  show_note(to_qstring(message_text(MessageText::line_not_in_output)) + QString::number(number));
}

void MainWindow::copy_from_widgets() {
  // Reading a pane back costs as much as filling it.
  if (source_changed_) source_shown_ = pane_text(*Source_bas_);
  if (dest_changed_) dest_shown_ = pane_text(*Dest_bas_);
  source_changed_ = dest_changed_ = false;
  wb_.Source_bas = source_shown_;
  wb_.Dest_bas = dest_shown_;
  wb_.destination_path = Text1_->text().toStdString();
  wb_.source_path = Text2_->text().toStdString();
  wb_.keep_comments = Check1_->isChecked();
  wb_.comments_unnumbered = Check2_->isChecked();
}

void MainWindow::copy_to_widgets() {
  const QScopedValueRollback filling(filling_, true);
  if (wb_.Source_bas != source_shown_) {
    drop_trace();
    show_source_text();
    source_shown_ = wb_.Source_bas;
    source_changed_ = false;
  }
  if (wb_.Dest_bas != dest_shown_) {
    drop_trace();
    fill(*Dest_bas_, wb_.Dest_bas);
    dest_shown_ = wb_.Dest_bas;
    dest_changed_ = false;
  }
  const QString text1 = QString::fromStdString(wb_.destination_path);
  if (Text1_->text() != text1) Text1_->setText(text1);
  const QString text2 = QString::fromStdString(wb_.source_path);
  if (Text2_->text() != text2) Text2_->setText(text2);
  Check1_->setChecked(wb_.keep_comments);
  Check2_->setChecked(wb_.comments_unnumbered);
  Command4_->setEnabled(wb_.Command4_enabled);
}

// Emptying a pane is an edit, which Undo takes back.
void MainWindow::fill(QPlainTextEdit& pane, const std::string& text) {
  if (text.empty())
    clear_pane(pane);
  else
    set_pane_text(pane, text);
}

void MainWindow::show_source_text() {
  highlighter_->setDocument(nullptr);
  fill(*Source_bas_, wb_.Source_bas);
  definition_lines_ = count_definitions(*Source_bas_->document());
  if (wb_.Source_bas.size() <= kLongestColouredSource)
    highlighter_->setDocument(Source_bas_->document());
}

}  // namespace kestrel
