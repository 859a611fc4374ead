#include "text/ansi.h"

#include <gtest/gtest.h>

#include <utility>

namespace kestrel {
namespace {

TEST(Ansi, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(ansi::from_utf8(ansi::to_utf8(all)), all);
}

TEST(Ansi, CyrillicLettersAreTheUpperQuarter) {
  EXPECT_EQ(ansi::from_utf8("АЯая"), "\xC0\xDF\xE0\xFF");
  EXPECT_EQ(ansi::to_utf8("\xA8\xB8"), "Ёё");
  EXPECT_EQ(ansi::to_utf8("\xB9\x88\x96"), "№€–");
}

TEST(Ansi, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(ansi::from_utf8("a\u4E2Db"), "a?b");
  EXPECT_EQ(ansi::from_utf8("a\xFF"
                            "b"),
            "a?b");
  EXPECT_EQ(ansi::from_utf8("\xD0"), "?");
}

TEST(Ansi, HoldsTheCharactersItHasABytesFor) {
  const std::pair<char32_t, bool> cases[] = {
      {U'a', true},      {U'?', true},       {U'\u042F', true},  {U'\u20AC', true},
      {U'\u0098', true}, {U'\u00E9', false}, {U'\u6587', false}, {U'\U0001F600', false},
  };
  for (const auto& [character, held] : cases)
    EXPECT_EQ(ansi::holds(character), held) << static_cast<unsigned>(character);
}

}  // namespace
}  // namespace kestrel
