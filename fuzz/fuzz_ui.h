#pragma once

#include <string>

#include "app/ui.h"

namespace kestrel::fuzz {

// Closes every box at once and cancels every dialog.
class SilentUi : public Ui {
 public:
  void message(const std::string&) override {}
  void failure(const std::string&, const std::string&) override {}
  std::string open_dialog(const std::string&) override { return {}; }
  std::string save_dialog(const std::string&) override { return {}; }
};

}  // namespace kestrel::fuzz
