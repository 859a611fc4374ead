#pragma once

#include <string>

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "workbench/ui.h"

namespace kestrel {

// The program's title: the window's caption and the title of every plain message box.
inline constexpr const char* kProgramTitle = "KESTREL V3.0";

// A core filter "Description|pattern" as the Qt file dialog takes it. The description is shown
// as given; the pattern follows the system's file dialog, where "*.*" matches every name (an
// extension or not) and a pattern matches names in any letter case.
QString qt_name_filter(const std::string& filter);

// The Ui of the running program: Qt message boxes and one file dialog for Open, Save and Save As.
class QtUi : public Ui {
 public:
  // The window the boxes and the dialog belong to, once it is on the screen.
  void set_parent(QWidget* parent) { parent_ = parent; }

  void message(const std::string& text) override;
  void failure(const std::string& title, const std::string& description,
               const std::filesystem::path& file) override;
  std::string open_dialog(const std::string& filter) override;
  std::string save_dialog(const std::string& filter) override;
  Answer ask(const std::string& text_utf8, bool can_cancel) override;

 private:
  QWidget* visible_parent() const;
  std::string run_dialog(const std::string& filter, QFileDialog::AcceptMode mode);

  QPointer<QWidget> parent_;
  // The dialog never forgets the name chosen last: it is the starting name of the next one.
  QString last_chosen_;
};

}  // namespace kestrel
