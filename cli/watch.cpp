#include "cli/watch.h"

#include <chrono>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace kestrel::cli {

namespace {

namespace fs = std::filesystem;

// How often a waiting watcher looks again, at the files or at the stop flag.
constexpr std::chrono::milliseconds kLookInterval(200);

struct Stamp {
  std::optional<fs::file_time_type> time;
  std::optional<std::uintmax_t> size;

  bool operator==(const Stamp&) const = default;
};

Stamp stamp_of(const fs::path& path) {
  std::error_code ec;
  Stamp stamp;
  const fs::file_time_type time = fs::last_write_time(path, ec);
  if (!ec) stamp.time = time;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec) stamp.size = size;
  return stamp;
}

class PollingWatcher : public ChangeWatcher {
 public:
  bool wait(const std::vector<fs::path>& paths, const std::atomic<bool>& stop) override {
    std::vector<Stamp> before;
    for (const fs::path& path : paths) before.push_back(stamp_of(path));
    while (!stop) {
      std::this_thread::sleep_for(kLookInterval);
      for (std::size_t i = 0; i < paths.size(); ++i)
        if (stamp_of(paths[i]) != before[i]) return true;
    }
    return false;
  }
};

#ifdef __linux__

// Watches the folders that hold the files, so that a file replaced by a rename, removed or
// created is seen as well as one written in place; an event counts when it names one of the files.
class InotifyWatcher : public ChangeWatcher {
 public:
  bool wait(const std::vector<fs::path>& paths, const std::atomic<bool>& stop) override {
    const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) return PollingWatcher().wait(paths, stop);
    const Closer closer{fd};
    std::set<std::pair<int, std::string>> watched;  // (folder's watch, file name)
    constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE |
                                      IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;
    for (const fs::path& path : paths) {
      const fs::path absolute = fs::absolute(path).lexically_normal();
      const int wd = inotify_add_watch(fd, absolute.parent_path().c_str(), kEvents);
      if (wd >= 0) watched.emplace(wd, absolute.filename().string());
    }
    alignas(inotify_event) char buffer[4096];
    while (!stop) {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, static_cast<int>(kLookInterval.count())) <= 0) continue;
      const ssize_t length = read(fd, buffer, sizeof buffer);
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && watched.contains({event->wd, std::string(event->name)})) return true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return false;
  }

 private:
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  };
};

#endif

}  // namespace

std::unique_ptr<ChangeWatcher> polling_watcher() { return std::make_unique<PollingWatcher>(); }

std::unique_ptr<ChangeWatcher> system_watcher() {
#ifdef __linux__
  return std::make_unique<InotifyWatcher>();
#else
  return polling_watcher();
#endif
}

}  // namespace kestrel::cli
