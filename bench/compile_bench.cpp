#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "bench_inputs.h"
#include "compiler/compile_pass.h"
#include "loader/open_command.h"
#include "reference_pass.h"
#include "save/pane_writer.h"

namespace kestrel::bench {

namespace {

// A source opened once and compiled once, kept for the whole run.
struct Prepared {
  std::unique_ptr<SourceOnDisk> file;
  Workbench wb;
};

void open_file(Workbench& wb, Ui& ui, const std::string& path) {
  wb.Text2 = path;
  open_command(wb, ui);
}

Prepared& prepared(const SourceShape& shape) {
  static std::map<int, Prepared> cache;
  auto [it, fresh] = cache.try_emplace(shape.lines);
  Prepared& p = it->second;
  if (fresh) {
    p.file = std::make_unique<SourceOnDisk>(shape);
    SilentUi ui;
    open_file(p.wb, ui, p.file->source_path());
    compile_command(p.wb, ui);
  }
  return p;
}

const SourceShape& shape_of(const benchmark::State& state) {
  return state.range(0) == 0 ? kTypical : kLimit;
}

// Names the input and stops the benchmark when a pass does not end cleanly: a figure for a pass
// that stopped early would mean nothing.
bool ended_cleanly(benchmark::State& state, const SilentUi& ui) {
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  if (ui.last_message == "COMPILE OK") return true;
  state.SkipWithError("the generated source does not compile cleanly");
  return false;
}

void BM_Open(benchmark::State& state) {
  Prepared& p = prepared(shape_of(state));
  SilentUi ui;
  for (auto _ : state) {
    Workbench wb;
    open_file(wb, ui, p.file->source_path());
    benchmark::DoNotOptimize(wb.Source_bas.data());
  }
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.file->size()));
}

template <typename Pass>
void run_pass(benchmark::State& state, Pass pass) {
  Workbench& wb = prepared(shape_of(state)).wb;
  SilentUi ui;
  for (auto _ : state) {
    pass(wb, ui);
    benchmark::DoNotOptimize(wb.Dest_bas.data());
  }
  ended_cleanly(state, ui);
}

void BM_Compile(benchmark::State& state) { run_pass(state, compile_command); }

void BM_CompileReference(benchmark::State& state) {
  run_pass(state, [](Workbench& wb, Ui& ui) { testing::reference_compile(wb, ui); });
}

void BM_Save(benchmark::State& state) {
  Prepared& p = prepared(shape_of(state));
  for (auto _ : state) write_pane(p.file->output_path(), p.wb.Dest_bas);
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.wb.Dest_bas.size()));
}

// Argument 0 is the typical source, 1 the limit.
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace kestrel::bench

BENCHMARK_MAIN();
