// The language server on the limit source: 1,000 edits, each timed from the change sent to its
// diagnostics, and the peak memory the server held. Run by hand:
//   build-perf/bin/lsp_bench
#include <sys/resource.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/memory_files.h"
#include "files/pages.h"
#include "lsp/server.h"
#include "source_generator.h"

namespace {

using kestrel::lsp::Json;

constexpr int kEdits = 1000;  // unless the command line gives another count
constexpr std::uint32_t kSeed = 7;
constexpr const char* kUri = "file:///bench/source.bas";

// The processor time this thread has used: steadier than the time elapsed on a shared machine.
double thread_milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

long peak_kilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

Json message(const char* method, Json params, int id = -1) {
  Json m = {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
  if (id >= 0) m["id"] = id;
  return m;
}

// The edits alternate: a character typed at the start of a body line, then taken away again, so
// that the source stays the one measured and compiles cleanly after every second edit.
Json edit(int n, int line) {
  const bool typing = n % 2 == 0;
  const Json start = {{"line", line}, {"character", 0}};
  const Json end = {{"line", line}, {"character", typing ? 0 : 1}};
  return message("textDocument/didChange",
                 {{"textDocument", {{"uri", kUri}, {"version", n + 2}}},
                  {"contentChanges",
                   {{{"range", {{"start", start}, {"end", end}}}, {"text", typing ? "X" : ""}}}}});
}

double percentile(std::vector<double> times, double share) {
  std::sort(times.begin(), times.end());
  const auto at = static_cast<std::size_t>(share * static_cast<double>(times.size() - 1) + 0.5);
  return times[at];
}

}  // namespace

// The server is measured with the memory settings that kestrel-lsp runs it with.
int main(int argc, char** argv) {
  kestrel::fix_mapped_block_size(kestrel::lsp::kMappedBlockSize);
  const int edits = argc > 1 ? std::max(2, std::atoi(argv[1])) : kEdits;
  const std::string source = kestrel::bench::generate_source(kestrel::bench::kLimit, kSeed);
  const long before = peak_kilobytes();
  kestrel::MemoryFiles files("/bench");
  kestrel::lsp::Server server(files);
  server.handle(message("initialize", {{"rootUri", "file:///bench"}}, 1).dump());
  server.handle(message("initialized", Json::object()).dump());
  server.handle(
      message("textDocument/didOpen", {{"textDocument", {{"uri", kUri}, {"text", source}}}})
          .dump());
  const std::vector<Json> opened = server.settle();
  if (opened.empty() || !opened.back()["params"]["diagnostics"].empty()) {
    std::fprintf(stderr, "lsp_bench: the limit source did not compile cleanly\n");
    return 1;
  }
  const long after_open = peak_kilobytes();
  std::vector<double> times;
  std::vector<double> cpu_times;
  const int first_body_line = kestrel::bench::kLimit.definitions + 1;
  const int body_lines = kestrel::bench::kLimit.lines - first_body_line;
  for (int n = 0; n < edits; ++n) {
    const int line = first_body_line + (n / 2 * 7919) % body_lines;
    const std::string change = edit(n, line).dump();
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = thread_milliseconds();
    server.handle(change);
    const std::vector<Json> published = server.settle();
    cpu_times.push_back(thread_milliseconds() - cpu_start);
    const auto end = std::chrono::steady_clock::now();
    if (published.empty()) {
      std::fprintf(stderr, "lsp_bench: edit %d brought no diagnostics\n", n);
      return 1;
    }
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  const double peak = static_cast<double>(peak_kilobytes() - before) * 1024.0;
  std::printf("limit source: %zu bytes, %d edits\n", source.size(), edits);
  std::printf("change to diagnostics, processor time: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
              percentile(cpu_times, 0.5), percentile(cpu_times, 0.99), percentile(cpu_times, 1.0));
  std::printf("change to diagnostics, elapsed time: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
              percentile(times, 0.5), percentile(times, 0.99), percentile(times, 1.0));
  std::printf(
      "peak memory above the start: %.1f MB, %.2f times the source (%.2f when opened)\n",
      peak / 1e6, peak / static_cast<double>(source.size()),
      static_cast<double>(after_open - before) * 1024.0 / static_cast<double>(source.size()));
  return 0;
}
