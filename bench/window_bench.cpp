#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "bench_inputs.h"
#include "compiler/compile_pass.h"
#include "files/files.h"
#include "gui/main_window.h"
#include "gui/pane_text.h"
#include "workbench/ui.h"

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
  explicit OpenedWindow(const SourceShape& shape) : file(shape) { open(); }
  explicit OpenedWindow(const std::string& text) : file(text) { open(); }

  void open() {
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

// One line of `length` characters without a blank, as a long DATA line or a pasted blob would be:
// a line that is one word, which wrapping at word boundaries finds hardest.
std::string long_line(std::size_t length) {
  std::string line;
  line.reserve(length);
  while (line.size() < length) line += "DATA,1,2,3:";
  line.resize(length);
  return line;
}

constexpr std::size_t kOneMiB = std::size_t{1} << 20;

// The window after `text` was opened, the cursor standing in the middle of the pane's long line.
struct CursorInLongLine {
  explicit CursorInLongLine(const std::string& text) : w(text), other("A=1\r\nB=2\r\n") {}

  void open(const std::string& path) {
    find<QLineEdit>(*w.window, "Text2")->setText(QString::fromStdString(path));
    find<QPushButton>(*w.window, "Command3")->click();
    QApplication::processEvents();
  }
  static void stand_in_long_line(QPlainTextEdit& pane) {
    QTextCursor cursor(pane.document()->findBlockByNumber(1));
    cursor.setPosition(cursor.position() + static_cast<int>(kOneMiB / 2));
    pane.setTextCursor(cursor);
    QApplication::processEvents();
  }
  void open_standing_in_long_line() {
    open(w.file.source_path());
    stand_in_long_line(pane("Source_bas"));
  }
  QPlainTextEdit& pane(const char* name) { return *find<QPlainTextEdit>(*w.window, name); }
  QPushButton& button(const char* name) { return *find<QPushButton>(*w.window, name); }

  OpenedWindow w;
  SourceOnDisk other;
};

const std::string kLongLineSource = "A=1\r\n" + long_line(kOneMiB) + "\r\nB=2\r\n";

// The window's click from the press until the event loop is idle, after `setup`.
void time_clicks(benchmark::State& state, const std::function<void()>& setup,
                 const std::function<void()>& click) {
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup();
    state.ResumeTiming();
    const double start = cpu_ms();
    click();
    QApplication::processEvents();
    total += cpu_ms() - start;
  }
  state.counters["window_ms"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}

// Open of a short file, Clear, and Compile of a short source, each while the cursor stands in the
// middle of a 1 MiB line of the pane it replaces.
void BM_AfterCursorInLongLineOpen(benchmark::State& state) {
  CursorInLongLine c(kLongLineSource);
  time_clicks(
      state, [&] { c.open_standing_in_long_line(); }, [&] { c.open(c.other.source_path()); });
}

void BM_AfterCursorInLongLineClear(benchmark::State& state) {
  CursorInLongLine c(kLongLineSource);
  time_clicks(
      state, [&] { c.open_standing_in_long_line(); }, [&] { c.button("Command2").click(); });
}

void BM_AfterCursorInLongLineCompile(benchmark::State& state) {
  CursorInLongLine c(kLongLineSource);
  time_clicks(
      state,
      [&] {
        c.open(c.w.file.source_path());
        c.button("Command4").click();
        CursorInLongLine::stand_in_long_line(c.pane("Dest_bas"));
        c.open(c.other.source_path());
      },
      [&] { c.button("Command4").click(); });
}

BENCHMARK(BM_AfterCursorInLongLineOpen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AfterCursorInLongLineClear)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AfterCursorInLongLineCompile)->Unit(benchmark::kMillisecond)->Iterations(1);

// A source of one 10 MB line: its Open, its Compile, and one keystroke typed at its end.
constexpr std::size_t kTenMB = 10'000'000;

// Qt's own filling of a plain pane with the same single line, the least a pane can take for it.
void report_plain_filling(benchmark::State& state, const QPlainTextEdit& like,
                          const std::string& text) {
  PlainPane plain(like, text, Qt::ScrollBarAlwaysOn);
  state.counters["plain_bar_shown_ms"] = plain.fill_ms();
}

void BM_SingleLine10MBOpen(benchmark::State& state) {
  CursorInLongLine c(long_line(kTenMB));
  time_clicks(
      state, [&] { c.pane("Source_bas").clear(); }, [&] { c.open(c.w.file.source_path()); });
  report_plain_filling(state, c.pane("Source_bas"), long_line(kTenMB) + "\r\n");
}

void BM_SingleLine10MBCompile(benchmark::State& state) {
  CursorInLongLine c(long_line(kTenMB));
  time_clicks(
      state, [&] { c.pane("Dest_bas").clear(); }, [&] { c.button("Command4").click(); });
  report_plain_filling(state, c.pane("Dest_bas"), pane_text(c.pane("Dest_bas")));
}

void BM_SingleLine10MBKeystroke(benchmark::State& state) {
  CursorInLongLine c(long_line(kTenMB));
  QPlainTextEdit& source = c.pane("Source_bas");
  source.setFocus();
  source.moveCursor(QTextCursor::End);
  time_clicks(
      state, [] {},
      [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(&source, &press);
      });
}

BENCHMARK(BM_SingleLine10MBOpen)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SingleLine10MBCompile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SingleLine10MBKeystroke)->Unit(benchmark::kMillisecond)->Iterations(1);

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
