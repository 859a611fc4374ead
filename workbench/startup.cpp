#include "workbench/startup.h"

#include <optional>

#include "files/failure.h"

namespace kestrel {

namespace {

std::string format_time(const char* format, const std::tm& local) {
  char buffer[128];
  const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, n);
}

}  // namespace

void report_log_failure(Workbench& wb, Findings& findings) {
  if (const std::optional<Failure> failure = wb.run_log.take_failure())
    findings.failure(*failure, wb.run_log.path());
}

std::tm local_time(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  return local;
}

std::string general_date_time(const std::tm& local) {
  const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
  std::string text = format_time("%x", local);
  if (!midnight) {
    text += ' ';
    text += format_time("%X", local);
  }
  return text;
}

std::vector<Finding> startup(Workbench& wb, Ui& ui, const std::filesystem::path& log_path,
                             std::chrono::system_clock::time_point now) {
  Findings findings(ui);
  try {
    wb.run_log.open(log_path);
    const std::tm local = local_time(now);
    wb.run_log.write_line("START KESTREL V3");
    wb.run_log.write_line(general_date_time(local));
  } catch (const Failure& failure) {
    findings.failure(failure, wb.run_log.path());
  }
  report_log_failure(wb, findings);
  return findings.take();
}

}  // namespace kestrel
