#include "workbench/ui.h"

#include "workbench/source_map.h"

namespace kestrel {

void Ui::message_at(const std::string& text, const Location&) { message(text); }

void Ui::failure_at(const std::string& title, const std::string& description,
                    const std::filesystem::path& file, const Location&) {
  failure(title, description, file);
}

}  // namespace kestrel
