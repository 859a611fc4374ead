#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

// Source_bas as a load appends to it. What the main file puts there is mostly its own bytes, from
// its start on and in order: as long as all that was appended is that, it is only counted, and
// when the file has been read whole its bytes become the pane, with no copy of the text. Anything
// else appended first copies what was counted.
class SourceText {
 public:
  // `limit` bounds the bytes appended: one more fails as over the load bound.
  SourceText(std::string& pane, const std::size_t& limit) : pane_(pane), limit_(limit) {}
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // The main file's bytes, which its lines are read from until finish_main.
  std::string_view start_main(std::string bytes);
  void append(std::string_view text);
  // Appends again the bytes from `begin` to `end` of what was appended.
  void repeat(std::size_t begin, std::size_t end);
  // The bytes appended so far.
  std::size_t size() const { return counting_ ? counted_ : pane_.size(); }
  // Makes the pane hold all that was appended so far, for a message shown while loading: the pane
  // is shown with it.
  void settle();
  // The main file has been read, or its loading has stopped: the pane holds all that was appended.
  void finish_main();

 private:
  void copy_counted();
  void check_room(std::size_t more) const;

  std::string& pane_;
  const std::size_t& limit_;
  std::string main_;
  std::size_t counted_ = 0;
  bool counting_ = false;
};

}  // namespace kestrel
