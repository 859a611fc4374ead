#include "app/source_map.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace kestrel {

namespace {

// A multiply-rotate hash over four independent lanes of 8-byte words, so that the processor runs
// the lanes side by side: it reads a pane of a megabyte in a fraction of a millisecond, and a
// change of any byte changes every bit of the result with even odds.
constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87u;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Fu;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9u;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63u;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5u;
constexpr std::size_t kStripe = 32;

std::uint64_t word_at(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

std::uint32_t half_word_at(const char* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

std::uint64_t mix_in(std::uint64_t lane, std::uint64_t word) {
  return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

std::uint64_t fold_lane(std::uint64_t hash, std::uint64_t lane) {
  return (hash ^ mix_in(0, lane)) * kPrime1 + kPrime4;
}

std::uint64_t hash_bytes(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  std::uint64_t hash = kPrime5;
  if (text.size() >= kStripe) {
    std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    for (; end - at >= static_cast<std::ptrdiff_t>(kStripe); at += kStripe)
      for (std::size_t i = 0; i < 4; ++i) lanes[i] = mix_in(lanes[i], word_at(at + 8 * i));
    hash = std::rotl(lanes[0], 1) + std::rotl(lanes[1], 7) + std::rotl(lanes[2], 12) +
           std::rotl(lanes[3], 18);
    for (const std::uint64_t lane : lanes) hash = fold_lane(hash, lane);
  }
  hash += text.size();
  for (; end - at >= 8; at += 8)
    hash = std::rotl(hash ^ mix_in(0, word_at(at)), 27) * kPrime1 + kPrime4;
  if (end - at >= 4) {
    hash = std::rotl(hash ^ (half_word_at(at) * kPrime1), 23) * kPrime2 + kPrime3;
    at += 4;
  }
  for (; at < end; ++at)
    hash = std::rotl(hash ^ (static_cast<unsigned char>(*at) * kPrime5), 11) * kPrime1;
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= kPrime3;
  return hash ^ (hash >> 32);
}

}  // namespace

// The default fingerprint is the empty text's, as a map that no Open filled describes an empty
// pane.
TextFingerprint TextFingerprint::of(std::string_view text) {
  if (text.empty()) return {};
  return {text.size(), hash_bytes(text)};
}

int SourceMap::add_file(const std::filesystem::path& path) {
  files.push_back(path);
  return static_cast<int>(files.size()) - 1;
}

void SourceMap::add_line(SourceOrigin origin) {
  const bool continues_run =
      !runs_.empty() && runs_.back().origin.file == origin.file &&
      runs_.back().origin.line + (lines_ - runs_.back().pane_line) == origin.line;
  if (!continues_run) runs_.push_back({lines_, origin});
  ++lines_;
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

Locator::Locator(const SourceMap& map, std::string_view pane)
    : map_(map), unchanged_(TextFingerprint::of(pane) == map.loaded) {}

Location Locator::at(int pane_line) const {
  if (unchanged_)
    if (const std::optional<SourceOrigin> origin = map_.origin_of(pane_line))
      return map_.location(*origin, pane_line);
  return {"", pane_line + 1, pane_line};
}

std::optional<Location> Locator::loaded(const SourceOrigin& origin,
                                        std::optional<int> pane_line) const {
  if (!unchanged_) return std::nullopt;
  return map_.location(origin, pane_line);
}

}  // namespace kestrel
