#include "files/memory_files.h"

#include <utility>

namespace kestrel {

namespace fs = std::filesystem;

MemoryFiles::MemoryFiles(fs::path current) : current_(std::move(current)) { add_folder(current_); }

fs::path MemoryFiles::key(const fs::path& path) const {
  fs::path normal = (current_ / path).lexically_normal();
  // "folder/" names the folder itself.
  if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path())
    normal = normal.parent_path();
  return normal;
}

void MemoryFiles::add_file(const fs::path& path, std::string bytes) {
  const fs::path k = key(path);
  add_folder(k.parent_path());
  files_[k] = std::move(bytes);
}

void MemoryFiles::add_folder(const fs::path& path) {
  for (fs::path folder = key(path); folders_.insert(folder).second; folder = folder.parent_path()) {
    if (folder == folder.root_path()) break;
  }
}

void MemoryFiles::remove(const fs::path& path) { files_.erase(key(path)); }

void MemoryFiles::fail_reads(const fs::path& path, FailureCode code) {
  failing_reads_[key(path)] = code;
}

void MemoryFiles::fail_writes(const fs::path& path, FailureCode code) {
  failing_writes_[key(path)] = code;
}

std::optional<std::string> MemoryFiles::content(const fs::path& path) const {
  const auto found = files_.find(key(path));
  if (found == files_.end()) return std::nullopt;
  return found->second;
}

int MemoryFiles::reads(const fs::path& path) const {
  const auto found = reads_.find(key(path));
  return found == reads_.end() ? 0 : found->second;
}

std::vector<fs::path> MemoryFiles::list(const fs::path& folder) const {
  const fs::path k = key(folder);
  std::vector<fs::path> names;
  for (const auto& [path, bytes] : files_)
    if (path.parent_path() == k) names.push_back(path.filename());
  for (const fs::path& path : folders_)
    if (path != k && path.parent_path() == k) names.push_back(path.filename());
  return names;
}

EntryKind MemoryFiles::kind(const fs::path& path) const {
  const fs::path k = key(path);
  if (folders_.contains(k)) return EntryKind::folder;
  return files_.contains(k) ? EntryKind::file : EntryKind::missing;
}

bool MemoryFiles::same_file(const fs::path& a, const fs::path& b) const {
  return key(a) == key(b) && kind(a) != EntryKind::missing;
}

void MemoryFiles::throw_if_failing(const std::map<fs::path, FailureCode>& failing,
                                   const fs::path& k) const {
  if (const auto found = failing.find(k); found != failing.end()) throw make_failure(found->second);
}

std::string MemoryFiles::read_file(const fs::path& path, std::size_t most) {
  const fs::path k = key(path);
  throw_if_failing(failing_reads_, k);
  const auto found = files_.find(k);
  if (found == files_.end()) throw missing_entry(*this, k);
  if (found->second.size() > most) throw make_failure(FailureCode::over_load_bound);
  ++reads_[k];
  return found->second;
}

// Every write is checked before any is made, so that a failing one leaves all the files as they
// were.
std::optional<WriteFailure> MemoryFiles::write_files(std::span<const FileWrite> writes) {
  for (std::size_t i = 0; i < writes.size(); ++i) {
    try {
      const fs::path k = key(writes[i].path);
      throw_if_failing(failing_writes_, k);
      if (kind(k.parent_path()) != EntryKind::folder) throw missing_entry(*this, k);
    } catch (const Failure& failure) {
      return WriteFailure{i, failure};
    }
  }
  for (const FileWrite& write : writes) files_[key(write.path)] = std::string(write.bytes);
  return std::nullopt;
}

}  // namespace kestrel
