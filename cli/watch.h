#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

namespace kestrel::cli {

// Waits for files to change: written, created, removed or renamed.
class ChangeWatcher {
 public:
  virtual ~ChangeWatcher() = default;

  // Returns when one of `paths` has changed since the call began (true), or once `stop` is set
  // (false). A path that does not exist yet is watched for its creation.
  virtual bool wait(const std::vector<std::filesystem::path>& paths,
                    const std::atomic<bool>& stop) = 0;
};

// The system's own notification of changes where there is one (inotify on Linux), else a look at
// every file's time and size a few times a second.
std::unique_ptr<ChangeWatcher> system_watcher();

// The portable watcher that looks at the files' times and sizes.
std::unique_ptr<ChangeWatcher> polling_watcher();

}  // namespace kestrel::cli
