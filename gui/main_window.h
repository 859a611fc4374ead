#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <QWidget>

#include "compiler/compile_record.h"
#include "files/files.h"
#include "gui/notation_highlighter.h"
#include "save/save_command.h"
#include "workbench/source_map.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

class QCheckBox;
class QMimeData;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kestrel {

// UDP, the main window: two panes with their path boxes and buttons, and the Editor strip with the
// comment options and Compile. It owns the one Workbench; each button copies the widgets into it,
// runs its command and copies it back. The commands reach files through `files`, and start-up
// opens the run log at `log_path`.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Runs start-up before the window is shown; its failure box, if any, comes before the window.
  MainWindow(Ui& ui, Files& files, const std::filesystem::path& log_path,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Selects the output line that carries BASIC line `number`, as the target names a line in its
  // reports, and the source line that produced it. Returns whether the output holds that line.
  bool go_to_line(int number);

 protected:
  // Enter presses the focused button; a click on an option's caption clicks its box; a file
  // dropped anywhere on the window, the panes and path boxes included, is opened.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Asks before edits of the source pane that were never saved are lost.
  void closeEvent(QCloseEvent* event) override;
  // The panes take the room the window has beyond its layout's size; the controls keep their
  // places beside them.
  void resizeEvent(QResizeEvent* event) override;
  // The window fits the screen it first opens on.
  void showEvent(QShowEvent* event) override;

 private:
  // The Ui the commands talk to: before any box or dialog appears, the widgets are brought up to
  // the Workbench, so that a box always shows the panes as the command has left them so far.
  class WidgetsFirstUi : public Ui {
   public:
    WidgetsFirstUi(Ui& target, std::function<void()> show_workbench,
                   std::function<void(const Location&, bool)> point_at)
        : target_(target),
          show_workbench_(std::move(show_workbench)),
          point_at_(std::move(point_at)) {}
    void message(const std::string& text) override;
    void failure(const std::string& title, const std::string& description,
                 const std::filesystem::path& file) override;
    void message_at(const std::string& text, const Location& where) override;
    void failure_at(const std::string& title, const std::string& description,
                    const std::filesystem::path& file, const Location& where) override;
    std::string open_dialog(const std::string& filter) override;
    std::string save_dialog(const std::string& filter) override;
    Answer ask(const std::string& text_utf8, bool can_cancel) override;

   private:
    Ui& target_;
    std::function<void()> show_workbench_;
    // Runs once the box of a finding has been closed; true for a failure of a load.
    std::function<void(const Location&, bool)> point_at_;
  };

  using Command = std::function<void(Workbench&, Ui&)>;

  // How a control follows the window's size: along with the source side, the destination side or
  // both, to the right or wider; and down or taller.
  enum class Side { none, source, destination, both };
  struct Follow {
    QWidget* widget;
    QRect at_layout_size;
    Side move_right;
    Side grow_wider;
    bool move_down;
    bool grow_taller;
  };

  void build_source_side();
  void build_destination_side();
  void build_editor_strip();
  void set_tab_order();
  void connect_commands();
  void add_shortcuts();
  void accept_dropped_files();
  void follow(QWidget* widget, Side move_right, Side grow_wider, bool move_down = false,
              bool grow_taller = false);
  void on_click(QPushButton* button, Command command, std::function<void()> after = {});
  void run(const Command& command);
  bool open_dropped(const QMimeData* data);

  void copy_from_widgets();
  void copy_to_widgets();
  void fill(QPlainTextEdit& pane, const std::string& text);
  void show_source_text();
  void point_at(const Location& where, bool load_failure);
  void show_pointed_line();

  bool source_unsaved();
  bool keep_source_edits(Workbench& wb, Ui& ui);
  bool save_source(Workbench& wb, Ui& ui);
  bool keeps_characters(const QPlainTextEdit& pane);
  void note_definition_edit(int position, int removed, int added);
  void show_note(const QString& text);

  void start_trace();
  void drop_trace();
  void show_trace();
  void ask_line_number();

  Workbench wb_;
  WidgetsFirstUi ui_;
  Files& files_;
  // What the last Open recorded of the source pane's lines, and what the last Compile recorded of
  // the output pane's.
  SourceMap source_map_;
  CompileRecord compile_record_;
  // The files the last Open read, which a save never writes over.
  SourceFiles sources_;
  // The source pane as it was last loaded or saved: edits beyond it are asked about before they
  // are lost.
  TextFingerprint source_kept_ = TextFingerprint::of("");
  std::vector<Follow> follows_;
  bool fitted_to_screen_ = false;
  // While the program fills a pane, its changes are no edits of the user.
  bool filling_ = false;
  // The source pane's definition lines, as its last change left them.
  int definition_lines_ = 0;

  QPlainTextEdit* Source_bas_ = nullptr;
  QPlainTextEdit* Dest_bas_ = nullptr;
  QLineEdit* Text1_ = nullptr;
  QLineEdit* Text2_ = nullptr;
  QCheckBox* Check1_ = nullptr;
  QCheckBox* Check2_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QPushButton* Command2_ = nullptr;
  QPushButton* Command3_ = nullptr;
  QPushButton* Command4_ = nullptr;
  QPushButton* Command5_ = nullptr;
  QPushButton* Command6_ = nullptr;
  QPushButton* Command7_ = nullptr;
  QPushButton* Command8_ = nullptr;
  QLabel* trace_line_ = nullptr;
  QLabel* Label1_ = nullptr;
  QLabel* Label3_ = nullptr;
  NotationHighlighter* highlighter_ = nullptr;

  // The panes' texts as the widgets were last given or read, so that a command that leaves a pane
  // as it was does not reset its cursor, scroll position and undo history, and whether a pane has
  // changed since, which alone makes it worth reading back.
  std::string source_shown_;
  std::string dest_shown_;
  bool source_changed_ = true;
  bool dest_changed_ = true;
  // The pane line of the last finding the running command showed: a command that goes on to
  // change the pane selects it again when it ends. A load failure before its file gave the pane a
  // line points between lines, at the place where that file's text would have begun.
  struct PointedLine {
    int line = 0;
    bool between_lines = false;
  };
  std::optional<PointedLine> pointed_line_;

  // The source lines of compile_record_, while both panes are as the last Compile left them.
  std::optional<Locator> trace_;
};

}  // namespace kestrel
