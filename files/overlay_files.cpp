#include "files/overlay_files.h"

#include <algorithm>
#include <utility>

namespace kestrel {

namespace fs = std::filesystem;

fs::path OverlayFiles::key(const fs::path& path) const {
  return (below_.current_folder() / path).lexically_normal();
}

void OverlayFiles::put(const fs::path& path, std::string bytes) {
  buffers_[key(path)] = std::move(bytes);
}

void OverlayFiles::drop(const fs::path& path) { buffers_.erase(key(path)); }

bool OverlayFiles::holds(const fs::path& path) const { return buffers_.contains(key(path)); }

std::vector<fs::path> OverlayFiles::list(const fs::path& folder) const {
  std::vector<fs::path> names = below_.list(folder);
  const fs::path k = key(folder);
  // A buffer not yet saved is an entry of its folder too.
  for (const auto& [path, bytes] : buffers_)
    if (path.parent_path() == k && std::ranges::find(names, path.filename()) == names.end())
      names.push_back(path.filename());
  return names;
}

EntryKind OverlayFiles::kind(const fs::path& path) const {
  return holds(path) ? EntryKind::file : below_.kind(path);
}

bool OverlayFiles::same_file(const fs::path& a, const fs::path& b) const {
  if (holds(a) || holds(b)) return key(a) == key(b) || below_.same_file(a, b);
  return below_.same_file(a, b);
}

std::string OverlayFiles::read_file(const fs::path& path, std::size_t most) {
  const auto found = buffers_.find(key(path));
  if (found == buffers_.end()) return below_.read(path, most);
  if (found->second.size() > most) throw make_failure(FailureCode::over_load_bound);
  return found->second;
}

std::optional<WriteFailure> OverlayFiles::write_files(std::span<const FileWrite> writes) {
  std::optional<WriteFailure> failed = below_.write_all(writes);
  if (!failed)
    for (const FileWrite& write : writes) drop(write.path);
  return failed;
}

}  // namespace kestrel
