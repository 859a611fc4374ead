#include "source_generator.h"

#include <array>
#include <random>
#include <string_view>

namespace kestrel::bench {

namespace {

// std::mt19937's output is fixed by the standard, unlike the distributions' algorithms.
class Dice {
 public:
  explicit Dice(std::uint32_t seed) : engine_(seed) {}
  int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }

 private:
  std::mt19937 engine_;
};

// A letter, sometimes an underscore, a number and a closing letter: many names share their first
// characters, yet none is a whole name inside another. L is kept for labels.
std::string definition_name(int k) {
  static constexpr std::string_view letters = "ABCDEFGHKMNPRSTVW";
  std::string name(1, letters[static_cast<std::size_t>(k) % letters.size()]);
  if (k % 3 == 1) name += '_';
  return name + std::to_string(k) + "X";
}

// Values no longer than the shortest name, so that substituted lines stay within 69 characters.
std::string definition_value(Dice& dice) {
  static constexpr std::array<std::string_view, 6> values = {"A", "B1", "X%", "7", "Q$", "Z"};
  return std::string(values[static_cast<std::size_t>(dice.below(values.size()))]);
}

std::string label_text(int n) { return "[L" + std::to_string(n) + "]"; }

class BodyWriter {
 public:
  BodyWriter(const SourceShape& shape, Dice& dice) : shape_(shape), dice_(dice) {}

  std::string code_line(int index) {
    static constexpr std::array<std::string_view, 4> verbs = {"IF ", "LET ", "PRINT ", "ON "};
    std::string line(verbs[static_cast<std::size_t>(dice_.below(verbs.size()))]);
    line += name() + " = " + name();
    if (index % 3 == 0) line += " THEN GOTO " + label_text(dice_.below(shape_.labels));
    const std::size_t target = 30 + static_cast<std::size_t>(dice_.below(31));
    while (line.size() + 4 <= target) line += " + " + std::to_string(dice_.below(10));
    while (line.size() < target) line += ' ';
    return line;
  }

 private:
  std::string name() {
    return shape_.definitions > 0 ? definition_name(dice_.below(shape_.definitions)) : "X";
  }

  const SourceShape& shape_;
  Dice& dice_;
};

}  // namespace

std::string generate_source(const SourceShape& shape, std::uint32_t seed) {
  Dice dice(seed);
  std::string text;
  for (int k = 0; k < shape.definitions; ++k)
    text += "#define " + definition_name(k) + " EQU " + definition_value(dice) + "\r\n";
  BodyWriter body(shape, dice);
  const int body_lines = shape.lines - shape.definitions;
  int labels = 0;
  for (int i = 0; i < body_lines; ++i) {
    // Label lines at even spacing, the rest code.
    const bool label_due =
        static_cast<long long>(labels) * body_lines < static_cast<long long>(i + 1) * shape.labels;
    text += (label_due ? label_text(labels++) : body.code_line(i)) + "\r\n";
  }
  return text;
}

}  // namespace kestrel::bench
