#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workbench/source_map.h"
#include "workbench/ui.h"

namespace kestrel {

class Failure;

// Something a command reported: a problem of the notation or a failure of the file layer. A box
// that only answers the user ("Cancel", "COMPILE OK") is no finding.
struct Finding {
  enum class Kind { message, failure };
  Kind kind = Kind::message;
  std::string title;           // a failure's: "Error#" and its number
  std::string text;            // a message's text, or a failure's description
  int number = 0;              // a failure's number
  std::filesystem::path file;  // the file a failure names, if it names one
  std::optional<Location> location;
  // What the message is about, where a pass that goes on past its problems gives it with the
  // message instead of in a box of its own: the output around a left-over label.
  std::string detail = {};

  bool operator==(const Finding&) const = default;
};

// The findings of one command: each is shown through the Ui the moment it arises, so that the
// window shows what the command has done so far behind its box, and kept for the caller.
class Findings {
 public:
  explicit Findings(Ui& ui) : ui_(ui) {}

  void message(const std::string& text, const std::optional<Location>& where = std::nullopt);
  // A message and its detail, shown together in one box, one line after the other.
  void message(const std::string& text, const Location& where, const std::string& detail);
  // The failure box: titled "Error#" and its number, followed by the file it names, if any.
  void failure(const Failure& failure, const std::filesystem::path& file = {},
               const std::optional<Location>& where = std::nullopt);

  // The Ui, for what is shown besides findings: dialogs and the boxes that answer the user.
  Ui& ui() { return ui_; }
  const std::vector<Finding>& list() const { return list_; }
  std::vector<Finding> take() { return std::move(list_); }

 private:
  Ui& ui_;
  std::vector<Finding> list_;
};

}  // namespace kestrel
