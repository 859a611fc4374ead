#include "loader/source_text.h"

#include <utility>

#include <algorithm>

#include "files/failure.h"
#include "files/pages.h"

namespace kestrel {

std::string_view SourceText::start_main(std::string bytes) {
  main_ = std::move(bytes);
  counted_ = 0;
  counting_ = true;
  return main_;
}

void SourceText::check_room(std::size_t more) const {
  if (more > limit_ || size() > limit_ - more) throw make_failure(FailureCode::over_load_bound);
}

void SourceText::append(std::string_view text) {
  check_room(text.size());
  if (counting_) {
    // The main file's own lines are views into its bytes, and are not compared.
    const std::string_view next = std::string_view(main_).substr(counted_);
    if (text.size() <= next.size() && (text.data() == next.data() || next.starts_with(text))) {
      counted_ += text.size();
      return;
    }
    copy_counted();
  }
  pane_ += text;
}

// The pane grows as a string does, doubling, but never past the bound; the bytes repeated lie in
// it, and stay in place while it does not move.
void SourceText::repeat(std::size_t begin, std::size_t end) {
  check_room(end - begin);
  settle();
  if (end - begin > pane_.capacity() - pane_.size())
    pane_.reserve(std::min(limit_, std::max(pane_.size() + (end - begin), 2 * pane_.capacity())));
  pane_.append(pane_.data() + begin, end - begin);
}

void SourceText::settle() {
  if (counting_) copy_counted();
}

void SourceText::finish_main() {
  if (counting_ && counted_ == main_.size()) {
    pane_ = std::move(main_);
    counting_ = false;
  }
  settle();
  main_ = std::string();
}

// Room for the pane at once, from the main file's size: growing it line by line would hold two
// copies while it moves. The main file's lines fill about as much of it as the file's size.
void SourceText::copy_counted() {
  pane_.reserve(main_.size() + main_.size() / 8);
  prepare_pages(pane_.data(), main_.size());
  pane_.append(main_, 0, counted_);
  counting_ = false;
}

}  // namespace kestrel
