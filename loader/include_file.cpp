#include "loader/include_file.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "app/blanks.h"
#include "app/failure.h"
#include "app/text_lines.h"
#include "loader/include_path.h"
#include "loader/parse_define.h"

namespace kestrel {

namespace {

constexpr std::string_view kInclude = "#include";

// Only blanks are trimmed, at the end of the line and before the name; tabs belong to the name.
std::string include_name(std::string_view line) {
  line = trim_right_blanks(line);
  line.remove_prefix(std::min(line.size(), kInclude.size()));
  return std::string(trim_left_blanks(line));
}

// The file stands last in the load's chain while the object lives.
class InChain {
 public:
  InChain(Loading& load, const std::filesystem::path& path) : load_(load) {
    load_.chain.push_back(path);
  }
  InChain(const InChain&) = delete;
  InChain& operator=(const InChain&) = delete;
  ~InChain() { load_.chain.pop_back(); }

 private:
  Loading& load_;
};

// Appends the lines that go to Source_bas as they stand, as Parse_define would append each: the
// lines that stand one after another in the file, each followed by CR LF, are appended together,
// as one piece of the file. Whatever else appends to Source_bas must come after a flush.
class PlainLines {
 public:
  PlainLines(std::string& pane, std::string_view bytes) : pane_(pane), bytes_(bytes) {}

  // `line` is a line of the file's bytes.
  void add(std::string_view line) {
    const auto begin = static_cast<std::size_t>(line.data() - bytes_.data());
    const std::size_t end = begin + line.size();
    if (bytes_.substr(end, crlf.size()) != crlf) {
      flush();
      pane_ += line;
      pane_ += crlf;
      return;
    }
    if (begin != run_end_) {
      flush();
      run_begin_ = begin;
    }
    run_end_ = end + crlf.size();
  }

  void flush() {
    pane_.append(bytes_.substr(run_begin_, run_end_ - run_begin_));
    run_begin_ = run_end_;
  }

 private:
  std::string& pane_;
  std::string_view bytes_;
  // The bytes not yet appended; empty when run_begin_ == run_end_.
  std::size_t run_begin_ = 0, run_end_ = 0;
};

bool being_read(const Loading& load, const std::filesystem::path& path) {
  return std::ranges::any_of(load.chain, [&](const std::filesystem::path& open) {
    return load.files.same_file(open, path);
  });
}

}  // namespace

bool load_file(Loading& load, const std::filesystem::path& path,
               const std::filesystem::path& shown) {
  const std::string bytes = load.files.read(path);
  if (bytes.size() > load.bytes_limit - load.bytes_read)
    throw make_failure(FailureCode::out_of_memory);
  load.bytes_read += bytes.size();
  // Room for the pane at once, from the main file's size: growing it line by line would hold two
  // copies while it moves.
  if (load.chain.empty()) load.wb.Source_bas.reserve(bytes.size() + bytes.size() / 8);
  const InChain in_chain(load, path);
  return load_lines(load, bytes, shown);
}

bool load_lines(Loading& load, std::string_view bytes, const std::filesystem::path& path) {
  FileLines lines(bytes);
  if (lines.at_end()) return false;
  const int file_index = load.map.add_file(path);
  PlainLines plain(load.wb.Source_bas, bytes);
  for (int number = 1; !lines.at_end(); ++number) {
    const std::string_view line = lines.next();
    load.reading = {file_index, number};
    const bool include = line.starts_with(kInclude);
    if (!include && !is_definition_line(line)) {
      plain.add(line);
      load.map.add_line(load.reading);
      continue;
    }
    plain.flush();
    load.wb.cur_line = line;
    if (include) {
      load.wb.inc_file = include_name(load.wb.cur_line);
      Include_file(load, load.wb.inc_file);
    } else {
      Parse_define(load);
    }
  }
  plain.flush();
  return true;
}

// `inc_name` may be wb.inc_file, which nested includes overwrite: it is read before any of them.
void Include_file(Loading& load, const std::string& inc_name) {
  const IncludePath where = locate_include(load.files, load.include_folders, inc_name);
  const std::size_t record = load.loaded.size();
  load.loaded.push_back({where.composed, where.resolved, LoadedFile::Result::failed});
  // A failure points at the include line, and in the pane at the place of the included text.
  const Location include_line = load.map.location(load.reading, load.map.line_count());
  try {
    const bool too_deep = load.chain.size() > static_cast<std::size_t>(kIncludeDepthLimit);
    if (too_deep || being_read(load, where.resolved))
      throw make_failure(FailureCode::too_many_files);
    const bool held_lines = load_file(load, where.resolved, where.composed);
    load.loaded[record].result = held_lines ? LoadedFile::Result::read : LoadedFile::Result::empty;
    if (held_lines) load.wb.run_log.write_line(ansi_path(where.composed) + " loaded");
  } catch (const Failure& failure) {
    load.findings.failure(failure, where.composed, include_line);
  }
}

}  // namespace kestrel
