#include "source_generator.h"

#include <array>
#include <random>
#include <string_view>
#include <utility>

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
  name += std::to_string(k);
  name += 'X';
  return name;
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

namespace kestrel::bench {

namespace {

// The longest line the pass is built for.
constexpr std::size_t kLongestLine = 32767;
// A defined name that nearly fills a line of its own.
constexpr std::size_t kLongName = 30000;

std::string definitions(int count, std::uint32_t seed) {
  Dice dice(seed);
  std::string text;
  for (int k = 0; k < count; ++k)
    text += "#define " + definition_name(k) + " EQU " + definition_value(dice) + "\r\n";
  return text;
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
  return text;
}

// "PRINT " and then `item` and `separator` in turn, as many as fit in `length` characters.
template <typename Item>
std::string filled_line(std::size_t length, std::string_view separator, Item item) {
  std::string line = "PRINT ";
  for (std::string next = item(); line.size() + next.size() <= length; next = item()) {
    line += next;
    if (line.size() + separator.size() > length) break;
    line += separator;
  }
  return line;
}

std::string long_lines(std::uint32_t seed) {
  std::string text = definitions(kLimit.definitions, seed);
  Dice dice(seed + 1);
  for (int i = 0; i < 40; ++i) {
    text +=
        filled_line(32000, " + ", [&] { return definition_name(dice.below(kLimit.definitions)); });
    text += "\r\n";
  }
  return text;
}

// One label line holds text after its "]", and so do the references to it: every other label
// is closed, yet the table is no longer all closed labels.
std::string open_label(std::uint32_t seed) {
  return replaced(generate_source(kLimit, seed), "[L5]", "[L5]A");
}

std::string repeated_name(std::string_view value) {
  return "#define X EQU " + std::string(value) + "\r\n" +
         filled_line(kLongestLine, "+", [] { return std::string("X"); }) + "\r\n";
}

std::string long_name() {
  return "#define " + std::string(kLongName, 'A') + " EQU B\r\n" + std::string(kLongName, 'A') +
         "\r\n";
}

// The long name's every prefix fills the line, yet the name itself never occurs.
std::string long_name_near_miss() {
  return "#define " + std::string(kLongName - 1, 'A') + "B EQU C\r\n" +
         std::string(kLongestLine, 'A') + "\r\n";
}

// A long name among the short ones: every replacement of a short name happens in a line that
// a long name could reach into.
std::string long_name_and_repeats() {
  return "#define " + std::string(kLongName, 'A') + " EQU B\r\n" + repeated_name("YY");
}

// Each value is the next definition's name, so that one name at the start of a long line becomes
// every other in turn, in one place, each definition's turn changing the line there.
std::string chained_values(std::uint32_t seed) {
  std::string text;
  for (int k = 0; k < kLimit.definitions; ++k)
    text.append("#define ")
        .append(definition_name(k))
        .append(" EQU ")
        .append(definition_name(k + 1))
        .append("\r\n");
  Dice dice(seed);
  for (int i = 0; i < 40; ++i) {
    std::string line = filled_line(
        32000, "+", [&] { return std::string(1, static_cast<char>('0' + dice.below(10))); });
    line.insert(6, definition_name(0) + "+");
    text += line + "\r\n";
  }
  return text;
}

// Labels that all begin alike and differ only after their "]", with references to each.
std::string open_labels_alike(std::uint32_t) {
  std::string text;
  for (int n = 0; n < kLimit.labels; ++n) {
    const std::string label = "[L]" + std::to_string(n);
    text += label + "\r\nGOTO " + label + "\r\n";
  }
  return text;
}

}  // namespace

const std::vector<NamedInput>& named_inputs() {
  static const std::vector<NamedInput> inputs = {
      {"typical", "2,000 lines, 200 definitions, 200 labels",
       [](std::uint32_t seed) { return generate_source(kTypical, seed); }},
      {"limit", "32,000 lines, 4,050 definitions, 4,097 labels",
       [](std::uint32_t seed) { return generate_source(kLimit, seed); }},
      {"long-lines", "40 lines of 32,000 characters full of names, 4,050 definitions", long_lines},
      {"open-label", "the limit source with one label line [L5]A", open_label},
      {"repeated-name", "one name along a line of 32,767 characters, its value longer",
       [](std::uint32_t) { return repeated_name("YY"); }},
      {"repeated-name-same-length", "one name along a line of 32,767 characters, its value as long",
       [](std::uint32_t) { return repeated_name("Y"); }},
      {"long-name", "a name of 30,000 characters standing on a line",
       [](std::uint32_t) { return long_name(); }},
      {"long-name-near-miss", "a name of 30,000 characters whose prefixes fill a long line",
       [](std::uint32_t) { return long_name_near_miss(); }},
      {"long-name-and-repeats", "a name of 30,000 characters, and a short one along a long line",
       [](std::uint32_t) { return long_name_and_repeats(); }},
      {"open-labels-alike", "4,097 labels [L]n with a reference to each", open_labels_alike},
      {"chained-values",
       "4,050 definitions, each value the next one's name, at the start of 40 long lines",
       chained_values},
  };
  return inputs;
}

const NamedInput* find_named_input(std::string_view name) {
  for (const NamedInput& input : named_inputs())
    if (input.name == name) return &input;
  return nullptr;
}

}  // namespace kestrel::bench
