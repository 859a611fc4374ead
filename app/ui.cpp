#include "app/ui.h"

#include "app/failure.h"
#include "app/source_map.h"

namespace kestrel {

void Ui::message_at(const std::string& text, const Location&) { message(text); }

void Ui::failure_at(const std::string& title, const std::string& description, const Location&) {
  failure(title, description);
}

void report_failure(Ui& ui, const Failure& failure, const std::string& title_suffix) {
  ui.failure(failure_title(failure) + title_suffix, failure.description());
}

void report_failure_at(Ui& ui, const Failure& failure, const std::string& title_suffix,
                       const Location& where) {
  ui.failure_at(failure_title(failure) + title_suffix, failure.description(), where);
}

}  // namespace kestrel
