#pragma once

#include <filesystem>
#include <string>

namespace kestrel {

struct Location;

// The seam for everything modal. Every text crossing it is in the code page and every path is a
// path, shown whole; the window converts at its edge. Each call returns when the user has closed
// the box or the dialog.
class Ui {
 public:
  virtual ~Ui() = default;

  // A plain message box: the text, an OK button, no icon, the program's title.
  virtual void message(const std::string& text) = 0;

  // The failure box: the description as its text, the critical-error icon, and as its title
  // `title` followed, when the failure names a file, by two blanks and `file`.
  virtual void failure(const std::string& title, const std::string& description,
                       const std::filesystem::path& file) = 0;

  // The same boxes for a finding that arose at `where`. The text is exactly that of the plain
  // box; a Ui that cannot point at a source line shows the plain box.
  virtual void message_at(const std::string& text, const Location& where);
  virtual void failure_at(const std::string& title, const std::string& description,
                          const std::filesystem::path& file, const Location& where);

  // The one file dialog of the window, shown for opening or for saving with a filter of one entry
  // ("Description|pattern"). Returns the chosen full path in UTF-8, or an empty string when
  // cancelled.
  virtual std::string open_dialog(const std::string& filter) = 0;
  virtual std::string save_dialog(const std::string& filter) = 0;

  // A question box with Yes and No buttons, and Cancel when `can_cancel`; closing the box
  // cancels, or answers No without a Cancel button. Unlike the other texts, `text_utf8` is UTF-8:
  // it may name characters the code page cannot hold.
  enum class Answer { yes, no, cancel };
  virtual Answer ask(const std::string& text_utf8, bool can_cancel) = 0;
};

// Closes every box at once and cancels every dialog: for callers that read what happened from the
// commands' outcomes alone.
class SilentUi : public Ui {
 public:
  void message(const std::string&) override {}
  void failure(const std::string&, const std::string&, const std::filesystem::path&) override {}
  std::string open_dialog(const std::string&) override { return {}; }
  std::string save_dialog(const std::string&) override { return {}; }
  Answer ask(const std::string&, bool can_cancel) override {
    return can_cancel ? Answer::cancel : Answer::no;
  }
};

}  // namespace kestrel
