#pragma once

#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/files.h"
#include "workbench/source_map.h"
#include "workbench/ui.h"

namespace kestrel::testing {

// What a command showed, in order.
struct Shown {
  enum class Kind { message, failure, open_dialog, save_dialog, question };
  Kind kind;
  std::string title;  // failures only
  std::string text;   // a message's text, a failure's description, a dialog's filter

  bool operator==(const Shown&) const = default;
};

// How a failed expectation shows a box: its kind, title and text.
inline void PrintTo(const Shown& s, std::ostream* os) {
  static const char* const kinds[] = {"message", "failure", "open_dialog", "save_dialog",
                                      "question"};
  *os << kinds[static_cast<int>(s.kind)] << "{title: \"" << s.title << "\", text: \"" << s.text
      << "\"}";
}

inline Shown message(std::string text) { return {Shown::Kind::message, "", std::move(text)}; }
inline Shown failure(std::string title, std::string description) {
  return {Shown::Kind::failure, std::move(title), std::move(description)};
}
inline Shown open_dialog(std::string filter) {
  return {Shown::Kind::open_dialog, "", std::move(filter)};
}
inline Shown save_dialog(std::string filter) {
  return {Shown::Kind::save_dialog, "", std::move(filter)};
}
inline Shown question(std::string text_utf8) {
  return {Shown::Kind::question, "", std::move(text_utf8)};
}

// A Ui whose dialogs answer from a script and which records every box and dialog it is shown.
// `on_shown` runs while a box or dialog is "on the screen", to look at the state at that moment.
class ScriptedUi : public Ui {
 public:
  std::deque<std::string> dialog_answers;  // "" cancels
  std::deque<Answer> answers;              // to the questions, in order
  std::vector<Shown> shown;
  std::map<std::size_t, Location> locations;  // by index into `shown`, for boxes that have one
  std::function<void(const Shown&)> on_shown;

  void message(const std::string& text) override { record(kestrel::testing::message(text)); }
  // A failure that names a file is recorded with the file in its title, as the box shows it.
  void failure(const std::string& title, const std::string& description,
               const std::filesystem::path& file) override {
    const std::string named = file.empty() ? "" : "  " + ansi_path(file);
    record(kestrel::testing::failure(title + named, description));
  }
  void message_at(const std::string& text, const Location& where) override {
    locations[shown.size()] = where;
    message(text);
  }
  void failure_at(const std::string& title, const std::string& description,
                  const std::filesystem::path& file, const Location& where) override {
    locations[shown.size()] = where;
    failure(title, description, file);
  }
  std::string open_dialog(const std::string& filter) override {
    record(kestrel::testing::open_dialog(filter));
    return next_answer();
  }
  std::string save_dialog(const std::string& filter) override {
    record(kestrel::testing::save_dialog(filter));
    return next_answer();
  }
  Answer ask(const std::string& text_utf8, bool) override {
    record(kestrel::testing::question(text_utf8));
    if (answers.empty())
      throw std::logic_error("a question was asked that the test did not expect");
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }

 private:
  void record(Shown s) {
    shown.push_back(s);
    if (on_shown) on_shown(shown.back());
  }
  std::string next_answer() {
    if (dialog_answers.empty())
      throw std::logic_error("a dialog was shown that the test did not expect");
    std::string answer = dialog_answers.front();
    dialog_answers.pop_front();
    return answer;
  }
};

}  // namespace kestrel::testing
