#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "analysis/symbols.h"
#include "compiler/compile_pass.h"
#include "compiler/compile_run.h"

namespace kestrel {
namespace {

using testing::Definitions;
using testing::text_of;
using testing::workbench_with;
using Lines = std::vector<std::string>;

struct SymbolRun {
  Workbench wb;
  Symbols symbols;
};

SymbolRun symbols_of(const Lines& source, const Definitions& definitions) {
  SymbolRun run{workbench_with(definitions), {}};
  run.wb.Source_bas = text_of(source);
  for (int k = 0; k < run.wb.defs.def_count; ++k)
    for (std::size_t line = 0; line < source.size(); ++line)
      if (source[line].find("#define " + run.wb.defs.def_name[k]) != std::string::npos)
        run.wb.defs.def_source[k].pane_line = static_cast<int>(line);
  SilentUi ui;
  const CompileOutcome outcome = compile_command(run.wb, ui, SourceMap());
  run.symbols = find_symbols(run.wb, outcome.record);
  return run;
}

TEST(Symbols, FindsLabelsReferencesAndTheNamesThePassReplaces) {
  const SymbolRun run = symbols_of({"#define V EQU W+1", "#define W EQU 2", "  [TOP]", "PRINT V;W",
                                    "GOTO [TOP]:VV=V", "VX V", "IF [TOP] [TOP]"},
                                   {{"V", "W+1"}, {"W", "2"}});
  const Symbols& s = run.symbols;
  ASSERT_EQ(s.labels.size(), 1u);
  EXPECT_EQ(s.labels[0].at, (Span{2, 2, 5}));
  EXPECT_EQ(s.labels[0].number, 0);
  std::vector<Span> references;
  for (const auto& reference : s.references) references.push_back(reference.at);
  EXPECT_EQ(references, (std::vector<Span>{{4, 5, 5}, {6, 3, 5}, {6, 9, 5}}));
  std::vector<Span> definitions;
  for (const auto& site : s.definitions) definitions.push_back(site.at);
  EXPECT_EQ(definitions, (std::vector<Span>{{0, 8, 1}, {1, 8, 1}}));
  // "VV=V" and "VX V": the first "V" of the line is part of a longer name, so the line is left
  // alone.
  std::vector<std::pair<Span, int>> uses;
  for (const auto& use : s.uses) uses.emplace_back(use.at, use.definition);
  EXPECT_EQ(uses,
            (std::vector<std::pair<Span, int>>{{{0, 14, 1}, 1}, {{3, 6, 1}, 0}, {{3, 8, 1}, 1}}));
  EXPECT_EQ(s.output_numbers, (std::vector<int>{0, 1, 2, 3}));
}

TEST(Symbols, ClassifiesLinesAsThePassAndTheLoaderDo) {
  const std::vector<std::pair<std::string, LineClass>> cases = {
      {"x #define A EQU 1", LineClass::definition},
      {"#include a.bas", LineClass::include},
      {" #include a.bas", LineClass::plain},
      {"  [L]", LineClass::label},
      {" REM x", LineClass::comment},
      {" 10", LineClass::line_number},
      {"1", LineClass::plain},
      {"PRINT", LineClass::plain},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(classify_line(line), expected) << line;
}

}  // namespace
}  // namespace kestrel
