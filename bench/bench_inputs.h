#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/ui.h"
#include "source_generator.h"

namespace kestrel::bench {

inline constexpr std::uint32_t kSeed = 7;

// Takes every box silently and cancels every dialog, counting the messages.
class SilentUi : public Ui {
 public:
  void message(const std::string& text) override { last_message = text; }
  void failure(const std::string&, const std::string& description) override {
    last_message = description;
  }
  std::string open_dialog(const std::string&) override { return ""; }
  std::string save_dialog(const std::string&) override { return ""; }

  std::string last_message;
};

// A generated source written to a fresh folder under the system's temporary one, removed when the
// object goes.
class SourceOnDisk {
 public:
  explicit SourceOnDisk(const SourceShape& shape);
  SourceOnDisk(const SourceOnDisk&) = delete;
  SourceOnDisk& operator=(const SourceOnDisk&) = delete;
  ~SourceOnDisk();

  const std::filesystem::path& folder() const { return folder_; }
  std::string source_path() const { return (folder_ / "source.bas").string(); }
  std::string output_path() const { return (folder_ / "output.bas").string(); }
  std::uintmax_t size() const { return std::filesystem::file_size(source_path()); }

 private:
  std::filesystem::path folder_;
};

}  // namespace kestrel::bench
