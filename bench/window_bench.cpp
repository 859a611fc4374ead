#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/files.h"
#include "app/ui.h"
#include "bench_inputs.h"
#include "gui/main_window.h"

namespace kestrel::bench {

namespace {

template <typename W>
W* find(QWidget& window, const char* name) {
  return window.findChild<W*>(QString::fromLatin1(name));
}

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

// From the click on Open until the source pane holds the text and the window has done all the
// work the text left for its event loop.
void BM_WindowOpen(benchmark::State& state) {
  OpenedWindow w(state.range(0) == 0 ? kTypical : kLimit);
  auto* open = find<QPushButton>(*w.window, "Command3");
  auto* source = find<QPlainTextEdit>(*w.window, "Source_bas");
  for (auto _ : state) {
    state.PauseTiming();
    // An emptied pane, so that every click really fills it.
    source->setPlainText(QString());
    QApplication::processEvents();
    state.ResumeTiming();
    open->click();
    QApplication::processEvents();
    benchmark::DoNotOptimize(source->document()->characterCount());
  }
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
}

BENCHMARK(BM_WindowOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// From the click on Compile until the output pane holds the text.
void BM_WindowCompile(benchmark::State& state) {
  OpenedWindow w(state.range(0) == 0 ? kTypical : kLimit);
  auto* compile = find<QPushButton>(*w.window, "Command4");
  auto* output = find<QPlainTextEdit>(*w.window, "Dest_bas");
  for (auto _ : state) {
    state.PauseTiming();
    // An emptied pane, so that every click really fills it.
    output->setPlainText(QString());
    QApplication::processEvents();
    state.ResumeTiming();
    compile->click();
    QApplication::processEvents();
    benchmark::DoNotOptimize(output->document()->characterCount());
  }
  state.SetLabel(state.range(0) == 0 ? "typical" : "limit");
  if (!compiles_cleanly(w.file)) state.SkipWithError("the source did not compile cleanly");
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
