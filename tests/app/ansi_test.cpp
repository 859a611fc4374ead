#include "app/ansi.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrel
