#include "compiler/line_number.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(LineNumberReading, ReadsTheNumberAtTheStartRoundingHalvesToEven) {
  const std::string forty_nines(40, '9');
  const struct {
    std::string line;
    std::string value;
  } cases[] = {
      {"100", "100"},
      {"100 REM start", "100"},
      {"1 0", "10"},
      {"1\t2\n3", "123"},
      {"1\r2", "1"},
      {"12abc", "12"},
      {"007", "7"},
      {"0", "0"},
      {"2,5", "2"},
      {"2.5", "2"},
      {"3.5", "4"},
      {"0.5", "0"},
      {"2.51", "3"},
      {"2.4999", "2"},
      {"9.5", "10"},
      {"99.5", "100"},
      {"2048.5", "2048"},
      {"2049.5", "2050"},
      {"1.2.3", "1"},
      {"1E3", "1000"},
      {"1e3", "1000"},
      {"1D3", "1000"},
      {"1d3", "1000"},
      {"1E+3", "1000"},
      {"1 E - 3", "0"},
      {"15E-1", "2"},
      {"25E-1", "2"},
      {"35E-1", "4"},
      {"1.E3", "1000"},
      {"1.5E1", "15"},
      {"1E", "1"},
      {"1E+", "1"},
      {"1Ex3", "1"},
      {"1E6", "1000000"},
      {"32768", "32768"},
      {"1E-400", "0"},
      {"1E400", "1" + std::string(400, '0')},
      {forty_nines, forty_nines},
      {forty_nines + ".5", "1" + std::string(40, '0')},
  };
  for (const auto& c : cases) EXPECT_EQ(read_line_number(c.line), c.value) << c.line;
}

TEST(LineNumberReading, AHugeExponentStillGivesAnIntegerText) {
  const std::string value = read_line_number("1E99999999999999999999999");
  EXPECT_EQ(value.size(), 1'000'001u);
  EXPECT_EQ(value.find_first_not_of('0', 1), std::string::npos);
}

}  // namespace
}  // namespace kestrel
