#include "app/ui.h"

#include "app/failure.h"

namespace kestrel {

void report_failure(Ui& ui, const Failure& failure, const std::string& title_suffix) {
  ui.failure(failure_title(failure) + title_suffix, failure.description());
}

}  // namespace kestrel
