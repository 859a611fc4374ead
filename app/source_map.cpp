#include "app/source_map.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kestrel {

namespace {

// Each 16 bytes are two words that, each disguised by a constant or the state, are multiplied to
// 128 bits whose halves are folded together: a change of any byte changes every bit of the result
// with even odds. Four lanes take a stripe of 64 bytes, so that the processor runs their
// multiplications side by side: the whole costs about half an instruction a byte.
constexpr std::uint64_t kKeys[] = {0x9E3779B185EBCA87u, 0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u,
                                   0x85EBCA77C2B2AE63u, 0x27D4EB2F165667C5u};
constexpr std::size_t kPiece = 16;
constexpr std::size_t kLanes = 4;
constexpr std::size_t kStripe = kLanes * kPiece;

std::uint64_t folded_product(std::uint64_t a, std::uint64_t b) {
#ifdef __SIZEOF_INT128__
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
#else
  const std::uint64_t a_low = a & 0xFFFFFFFFu, a_high = a >> 32;
  const std::uint64_t b_low = b & 0xFFFFFFFFu, b_high = b >> 32;
  const std::uint64_t low = a_low * b_low, cross1 = a_high * b_low, cross2 = a_low * b_high;
  const std::uint64_t middle = (low >> 32) + (cross1 & 0xFFFFFFFFu) + (cross2 & 0xFFFFFFFFu);
  const std::uint64_t high = a_high * b_high + (cross1 >> 32) + (cross2 >> 32) + (middle >> 32);
  return ((middle << 32) | (low & 0xFFFFFFFFu)) ^ high;
#endif
}

std::uint64_t word_at(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

std::uint64_t mix_piece(std::uint64_t state, const char* bytes, std::uint64_t key) {
  return folded_product(word_at(bytes) ^ key, word_at(bytes + 8) ^ state);
}

std::uint64_t hash_bytes(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  std::uint64_t lanes[kLanes] = {kKeys[0], kKeys[1], kKeys[2], kKeys[3]};
  for (; static_cast<std::size_t>(end - at) >= kStripe; at += kStripe)
    for (std::size_t i = 0; i < kLanes; ++i)
      lanes[i] = mix_piece(lanes[i], at + i * kPiece, kKeys[i + 1]);
  std::uint64_t hash = kKeys[4] ^ text.size();
  for (std::size_t i = 0; i < kLanes; ++i) hash = folded_product(hash ^ lanes[i], kKeys[i]);
  for (; static_cast<std::size_t>(end - at) >= kPiece; at += kPiece)
    hash = mix_piece(hash, at, kKeys[4]);
  // The last bytes, padded with zeros: the size taken in above tells the padding from the text.
  char tail[kPiece] = {};
  std::memcpy(tail, at, static_cast<std::size_t>(end - at));
  hash = mix_piece(hash, tail, kKeys[0]);
  return folded_product(hash ^ kKeys[1], hash ^ kKeys[2]);
}

}  // namespace

// The default fingerprint is the empty text's, as a map that no Open filled describes an empty
// pane.
TextFingerprint TextFingerprint::of(std::string_view text) {
  if (text.empty()) return {};
  return {text.size(), hash_bytes(text)};
}

int SourceMap::add_file(const std::filesystem::path& path) {
  const auto [known, added] = index_of_.try_emplace(path, static_cast<int>(files.size()));
  if (added) files.push_back(path);
  return known->second;
}

void SourceMap::add_lines(SourceOrigin first, int count) {
  const bool continues_run =
      !runs_.empty() && runs_.back().origin.file == first.file &&
      runs_.back().origin.line + (lines_ - runs_.back().pane_line) == first.line;
  if (!continues_run) runs_.push_back({lines_, first});
  lines_ += count;
}

void SourceMap::repeat_lines(int first_line, int count) {
  if (count <= 0) return;
  auto run = std::upper_bound(runs_.begin(), runs_.end(), first_line,
                              [](int line, const Run& r) { return line < r.pane_line; }) -
             1;
  // Runs are read by index: recording the copies may move them.
  for (auto i = static_cast<std::size_t>(run - runs_.begin()); count > 0; ++i) {
    const Run from = runs_[i];
    const int skipped = std::max(0, first_line - from.pane_line);
    const int end = i + 1 < runs_.size() ? runs_[i + 1].pane_line : lines_;
    const int taken = std::min(count, end - from.pane_line - skipped);
    add_lines({from.origin.file, from.origin.line + skipped}, taken);
    count -= taken;
  }
}

std::optional<SourceOrigin> SourceMap::origin_of(int pane_line) const {
  if (pane_line < 0 || pane_line >= lines_) return std::nullopt;
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), pane_line,
                       [](int line, const Run& run) { return line < run.pane_line; });
  const Run& run = *(after - 1);
  return SourceOrigin{run.origin.file, run.origin.line + (pane_line - run.pane_line)};
}

Location SourceMap::location(const SourceOrigin& origin, std::optional<int> pane_line) const {
  const bool known = origin.file >= 0 && static_cast<std::size_t>(origin.file) < files.size();
  return {known ? files[static_cast<std::size_t>(origin.file)] : std::filesystem::path(),
          origin.line, pane_line};
}

bool Locator::unchanged() const {
  if (!unchanged_) unchanged_ = TextFingerprint::of(pane_) == map_.loaded;
  return *unchanged_;
}

Location Locator::at(int pane_line) const {
  if (unchanged())
    if (const std::optional<SourceOrigin> origin = map_.origin_of(pane_line))
      return map_.location(*origin, pane_line);
  return {"", pane_line + 1, pane_line};
}

std::optional<Location> Locator::loaded(const SourceOrigin& origin,
                                        std::optional<int> pane_line) const {
  if (!unchanged()) return std::nullopt;
  return map_.location(origin, pane_line);
}

}  // namespace kestrel
