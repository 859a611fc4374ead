#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/files.h"
#include "app/ui.h"
#include "bench_inputs.h"
#include "compiler/compile_pass.h"
#include "gui/main_window.h"
#include "gui/pane_text.h"

namespace kestrel::bench {

namespace {

template <typename W>
W* find(QWidget& window, const char* name) {
  return window.findChild<W*>(QString::fromLatin1(name));
}

const SourceShape& shape_of(const benchmark::State& state) {
  return state.range(0) == 0 ? kTypical : kLimit;
}

// Processor time of the whole process, as the benchmark's own CPU column counts it (std::clock
// counts processor time on the platforms the figures come from), in milliseconds.
double cpu_ms() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The window with a source opened through its own Open button. Start-up writes its log into the
// source's folder.
struct OpenedWindow {
  explicit OpenedWindow(const SourceShape& shape) : file(shape) {
    window = std::make_unique<MainWindow>(ui, files, file.folder() / "Editor.log");
    window->show();
    find<QLineEdit>(*window, "Text2")->setText(QString::fromStdString(file.source_path()));
    find<QPushButton>(*window, "Command3")->click();
  }

  SourceOnDisk file;
  SilentUi ui;
  DiskFiles files;
  std::unique_ptr<MainWindow> window;
};

// Qt's own filling of a pane, the baseline of the window's: a pane of the window's widget class,
// size and font, otherwise as Qt makes it unless `bar` says how its vertical scroll bar is shown,
// given the same text as lines joined by '\n'.
class PlainPane {
 public:
  PlainPane(const QPlainTextEdit& like, const std::string& pane_text,
            std::optional<Qt::ScrollBarPolicy> bar = std::nullopt) {
    text_ = to_qstring(pane_text);
    text_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (bar) edit_.setVerticalScrollBarPolicy(*bar);
    edit_.setFont(like.font());
    edit_.resize(like.size());
    edit_.show();
  }

  // From setPlainText until the event loop is idle.
  double fill_ms() {
    edit_.setPlainText(QString());
    QApplication::processEvents();
    const double start = cpu_ms();
    edit_.setPlainText(text_);
    QApplication::processEvents();
    benchmark::DoNotOptimize(edit_.document()->characterCount());
    return cpu_ms() - start;
  }

 private:
  QPlainTextEdit edit_;
  QString text_;
};

// Each iteration times, one after another, the core's command alone, Qt's plain filling of the
// pane with the command's result (as Qt fills it by default, and with the vertical bar always
// shown as the window's panes have it), and the window's click from the press until the event
// loop is idle. The benchmark's own columns are the window's; the counters give each per
// iteration and the ratio of the window to the core and Qt's default filling together, which the
// window's glue (conversions, copies, comparisons of the panes) makes greater.
struct Phases {
  double core = 0;
  double plain = 0;
  double plain_bar_shown = 0;
  double window = 0;
};

void report(benchmark::State& state, const Phases& total) {
  const auto per_iteration = benchmark::Counter::kAvgIterations;
  state.counters["core_ms"] = benchmark::Counter(total.core, per_iteration);
  state.counters["plain_ms"] = benchmark::Counter(total.plain, per_iteration);
  state.counters["plain_bar_shown_ms"] = benchmark::Counter(total.plain_bar_shown, per_iteration);
  state.counters["window_ms"] = benchmark::Counter(total.window, per_iteration);
  state.counters["ratio"] = total.window / (total.core + total.plain);
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
}

void time_phases(benchmark::State& state, QPlainTextEdit& pane, const std::string& result,
                 const std::function<void()>& core, QPushButton& button) {
  PlainPane plain(pane, result);
  PlainPane plain_bar_shown(pane, result, Qt::ScrollBarAlwaysOn);
  Phases total;
  for (auto _ : state) {
    state.PauseTiming();
    double start = cpu_ms();
    core();
    total.core += cpu_ms() - start;
    total.plain += plain.fill_ms();
    total.plain_bar_shown += plain_bar_shown.fill_ms();
    // An emptied pane, so that every click really fills it.
    pane.setPlainText(QString());
    QApplication::processEvents();
    state.ResumeTiming();
    start = cpu_ms();
    button.click();
    QApplication::processEvents();
    total.window += cpu_ms() - start;
    benchmark::DoNotOptimize(pane.document()->characterCount());
  }
  report(state, total);
}

// Open: the core's open of the file into a fresh Workbench, and the source pane's filling.
void BM_WindowOpen(benchmark::State& state) {
  OpenedWindow w(shape_of(state));
  auto* source = find<QPlainTextEdit>(*w.window, "Source_bas");
  Workbench core_wb;
  open_source(core_wb, w.file.source_path());
  time_phases(
      state, *source, core_wb.Source_bas,
      [&] {
        Workbench wb;
        open_source(wb, w.file.source_path());
        benchmark::DoNotOptimize(wb.Source_bas.data());
      },
      *find<QPushButton>(*w.window, "Command3"));
}

BENCHMARK(BM_WindowOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Compile: the core's compile of the opened source, and the output pane's filling.
void BM_WindowCompile(benchmark::State& state) {
  OpenedWindow w(shape_of(state));
  if (!compiles_cleanly(w.file)) {
    state.SkipWithError("the source did not compile cleanly");
    return;
  }
  auto* output = find<QPlainTextEdit>(*w.window, "Dest_bas");
  Workbench core_wb;
  const SourceMap source_map = open_source(core_wb, w.file.source_path()).source_map;
  SilentUi ui;
  compile_command(core_wb, ui, source_map);
  time_phases(
      state, *output, core_wb.Dest_bas,
      [&] {
        compile_command(core_wb, ui, source_map);
        benchmark::DoNotOptimize(core_wb.Dest_bas.data());
      },
      *find<QPushButton>(*w.window, "Command4"));
}

BENCHMARK(BM_WindowCompile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace kestrel::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
