#include "app/findings.h"

#include "app/failure.h"

namespace kestrel {

void Findings::message(const std::string& text, const std::optional<Location>& where) {
  list_.push_back({Finding::Kind::message, "", text, 0, where});
  if (where)
    ui_.message_at(text, *where);
  else
    ui_.message(text);
}

void Findings::failure(const Failure& failure, const std::string& title_suffix,
                       const std::optional<Location>& where) {
  const std::string title = failure_title(failure) + title_suffix;
  list_.push_back({Finding::Kind::failure, title, failure.description(), failure.number(), where});
  if (where)
    ui_.failure_at(title, failure.description(), *where);
  else
    ui_.failure(title, failure.description());
}

}  // namespace kestrel
