#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "bench_inputs.h"
#include "compiler/compile_pass.h"
#include "files/files.h"
#include "files/pages.h"
#include "loader/open_command.h"
#include "save/pane_writer.h"
#include "tests/reference/reference_pass.h"

namespace kestrel::bench {

namespace {

// A source opened once and compiled once, kept for the whole run.
struct Prepared {
  std::unique_ptr<SourceOnDisk> file;
  Workbench wb;
  SourceMap source_map;
};

Prepared& prepared(const SourceShape& shape) {
  static std::map<int, Prepared> cache;
  auto [it, fresh] = cache.try_emplace(shape.lines);
  Prepared& p = it->second;
  if (fresh) {
    p.file = std::make_unique<SourceOnDisk>(shape);
    p.source_map = open_source(p.wb, p.file->source_path()).source_map;
    SilentUi ui;
    compile_command(p.wb, ui, p.source_map);
  }
  return p;
}

const SourceShape& shape_of(const benchmark::State& state) {
  return state.range(0) == 0 ? kTypical : kLimit;
}

// Names the input and stops the benchmark when a pass does not end cleanly: a figure for a pass
// that stopped early would mean nothing.
void check_ended_cleanly(benchmark::State& state, bool ok) {
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  if (!ok) state.SkipWithError("the generated source does not compile cleanly");
}

void BM_Open(benchmark::State& state) {
  Prepared& p = prepared(shape_of(state));
  for (auto _ : state) {
    Workbench wb;
    open_source(wb, p.file->source_path());
    benchmark::DoNotOptimize(wb.Source_bas.data());
  }
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.file->size()));
}

// `pass` returns whether it ended with "COMPILE OK".
template <typename Pass>
void run_pass(benchmark::State& state, Pass pass) {
  Prepared& p = prepared(shape_of(state));
  SilentUi ui;
  bool ok = false;
  for (auto _ : state) {
    ok = pass(p, ui);
    benchmark::DoNotOptimize(p.wb.Dest_bas.data());
  }
  check_ended_cleanly(state, ok);
}

void BM_Compile(benchmark::State& state) {
  run_pass(state, [](Prepared& p, Ui& ui) { return compile_command(p.wb, ui, p.source_map).ok; });
}

void BM_CompileReference(benchmark::State& state) {
  run_pass(state, [](Prepared& p, Ui& ui) { return testing::reference_compile(p.wb, ui).ok; });
}

void BM_Save(benchmark::State& state) {
  Prepared& p = prepared(shape_of(state));
  DiskFiles files;
  for (auto _ : state) write_pane(files, p.file->output_path(), p.wb.Dest_bas);
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.wb.Dest_bas.size()));
}

// The core's compile of the n-th named input, opened once, taking the fast paths `paths` allows.
void compile_named(benchmark::State& state, const FastPaths& paths, const std::string& label) {
  const NamedInput& input = named_inputs()[static_cast<std::size_t>(state.range(0))];
  const SourceOnDisk file(input.make(kSeed));
  Workbench wb;
  const SourceMap source_map = open_source(wb, file.source_path()).source_map;
  SilentUi ui;
  CompileOutcome outcome;
  for (auto _ : state) {
    outcome = compile_command(wb, ui, source_map, paths);
    benchmark::DoNotOptimize(wb.Dest_bas.data());
  }
  // The lines each way took, per pass, so that a figure can be read against the path it measures.
  const PathCounts& taken = outcome.paths;
  state.counters["apart"] = static_cast<double>(taken.apart);
  state.counters["crowded"] = static_cast<double>(taken.crowded_listed + taken.crowded_unlisted);
  state.counters["interleaved"] = static_cast<double>(taken.interleaved);
  state.counters["failure_links"] = static_cast<double>(taken.failure_links);
  const bool ok = outcome.ok;
  state.SetLabel(std::string(input.name) + label);
  if (!ok) state.SkipWithError("the generated source does not compile cleanly");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

// Argument n is the n-th named input.
void BM_CompileHard(benchmark::State& state) { compile_named(state, FastPaths(), ""); }

// What each fast path buys: the n-th named input with the path named by the second argument
// switched off (0: none).
void BM_CompileWithout(benchmark::State& state) {
  const char* const names[] = {"", " without apart lines", " without interleaved walks",
                               " without the table of moves", " without the closed labels' walk"};
  compile_named(state, without(static_cast<FastPath>(state.range(1))), names[state.range(1)]);
}

// The thresholds swept: the n-th named input with the largest table of moves, or the interleaved
// walks' stretch, set to 2 to the power of the second argument; or with the occurrences listed
// per byte of a line set to the second argument.
void BM_SweepMostMoves(benchmark::State& state) {
  FastPaths paths;
  paths.most_moves = std::size_t{1} << state.range(1);
  compile_named(state, paths, " most moves 2^" + std::to_string(state.range(1)));
}

void BM_SweepStretch(benchmark::State& state) {
  FastPaths paths;
  paths.walk_stretch = std::size_t{1} << state.range(1);
  compile_named(state, paths, " stretch 2^" + std::to_string(state.range(1)));
}

void BM_SweepListed(benchmark::State& state) {
  FastPaths paths;
  paths.listed_per_byte = static_cast<std::size_t>(state.range(1));
  compile_named(state, paths, " listed per byte " + std::to_string(state.range(1)));
}

int last_named_input() { return static_cast<int>(named_inputs().size()) - 1; }

// Argument 0 is the typical source, 1 the limit.
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
// Inputs 0 and 1 are the typical and limit sources, timed above.
BENCHMARK(BM_CompileHard)->DenseRange(2, last_named_input())->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileWithout)
    ->ArgsProduct({benchmark::CreateDenseRange(0, last_named_input(), 1), {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepMostMoves)
    ->ArgsProduct({benchmark::CreateDenseRange(0, last_named_input(), 1), {12, 15, 18, 21, 24}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepStretch)
    ->ArgsProduct({benchmark::CreateDenseRange(0, last_named_input(), 1), {9, 11, 13, 15}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepListed)
    ->ArgsProduct({benchmark::CreateDenseRange(0, last_named_input(), 1), {0, 1, 2, 4, 8}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace kestrel::bench

// The commands are timed with the memory settings that kestrelc runs them with.
int main(int argc, char** argv) {
  kestrel::keep_freed_memory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
