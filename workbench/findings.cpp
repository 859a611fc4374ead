#include "workbench/findings.h"

#include "files/failure.h"

namespace kestrel {

void Findings::message(const std::string& text, const std::optional<Location>& where) {
  list_.push_back({Finding::Kind::message, "", text, 0, {}, where});
  if (where)
    ui_.message_at(text, *where);
  else
    ui_.message(text);
}

void Findings::message(const std::string& text, const Location& where, const std::string& detail) {
  list_.push_back({Finding::Kind::message, "", text, 0, {}, where, detail});
  ui_.message_at(text + "\r\n" + detail, where);
}

void Findings::failure(const Failure& failure, const std::filesystem::path& file,
                       const std::optional<Location>& where) {
  const std::string title = failure_title(failure);
  list_.push_back(
      {Finding::Kind::failure, title, failure.description(), failure.number(), file, where});
  if (where)
    ui_.failure_at(title, failure.description(), file, *where);
  else
    ui_.failure(title, failure.description(), file);
}

}  // namespace kestrel
