#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "workbench/findings.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel {

inline constexpr const char* kRunLogName = "Editor.log";

// Reports, naming the log, a line of the run log that could not be written; once, since the log
// then takes its lines silently.
void report_log_failure(Workbench& wb, Findings& findings);

// The local time at `when`.
std::tm local_time(std::chrono::system_clock::time_point when);

// The local date and time in the system's general form: the short date, a blank and the time of
// day with seconds, as the C library's current LC_TIME locale writes them; the date alone at
// exactly midnight.
std::string general_date_time(const std::tm& local);

// Runs once while the window is being created: opens the run log at `log_path` (the window's is
// kRunLogName in the current directory) for the whole run and appends the start's two lines. A
// failure is reported, naming the log, and returned, and the window goes on without a log.
std::vector<Finding> startup(
    Workbench& wb, Ui& ui, const std::filesystem::path& log_path,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace kestrel
