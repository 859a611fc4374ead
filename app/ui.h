#pragma once

#include <string>

namespace kestrel {

class Failure;
struct Location;

// The seam for everything modal. Every text crossing it is in the code page; the window converts
// at its edge. Each call returns when the user has closed the box or the dialog.
class Ui {
 public:
  virtual ~Ui() = default;

  // A plain message box: the text, an OK button, no icon, the program's title.
  virtual void message(const std::string& text) = 0;

  // The failure box: the description as its text, the critical-error icon, `title` as its title.
  virtual void failure(const std::string& title, const std::string& description) = 0;

  // The same boxes for a finding that arose at `where`. The text is exactly that of the plain
  // box; a Ui that cannot point at a source line shows the plain box.
  virtual void message_at(const std::string& text, const Location& where);
  virtual void failure_at(const std::string& title, const std::string& description,
                          const Location& where);

  // The one file dialog of the window, shown for opening or for saving with a filter of one entry
  // ("Description|pattern"). Returns the chosen full path, or an empty string when cancelled.
  virtual std::string open_dialog(const std::string& filter) = 0;
  virtual std::string save_dialog(const std::string& filter) = 0;
};

// Shows the failure box for `failure`: its description, titled "Error#" and its number, followed
// by `title_suffix` (an include adds two blanks and its path).
void report_failure(Ui& ui, const Failure& failure, const std::string& title_suffix = "");
// The same for a failure that arose at `where`.
void report_failure_at(Ui& ui, const Failure& failure, const std::string& title_suffix,
                       const Location& where);

}  // namespace kestrel
