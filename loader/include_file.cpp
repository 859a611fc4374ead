#include "loader/include_file.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>
#include <utility>

#include "files/failure.h"
#include "loader/include_path.h"
#include "loader/parse_define.h"
#include "text/blanks.h"
#include "text/text_lines.h"
#include "workbench/keywords.h"

namespace kestrel {

namespace {

// The first character of both directives, "#include" and "#define".
constexpr char kDirectiveMark = '#';

// Only blanks are trimmed, at the end of the line and before the name; tabs belong to the name.
std::string include_name(std::string_view line) {
  line = trim_right_blanks(line);
  line.remove_prefix(std::min(line.size(), kInclude.size()));
  return std::string(trim_left_blanks(line));
}

// The 1-based column where an include line's name begins.
int name_column(std::string_view line) {
  line.remove_prefix(std::min(line.size(), kInclude.size()));
  return static_cast<int>(kInclude.size() + line.size() - trim_left_blanks(line).size()) + 1;
}

namespace fs = std::filesystem;

void check_map_bound(const Loading& load) {
  if (load.map.bytes() > load.bytes_limit) throw make_failure(FailureCode::over_load_bound);
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

// The lines that go to Source_bas as they stand, as Parse_define would append each: the lines that
// stand one after another in the file, each followed by CR LF, are appended together, as one piece
// of the file, and recorded in the source map together. Whatever else appends to Source_bas or
// records a line must come after a flush.
class PlainLines {
 public:
  PlainLines(Loading& load, std::string_view bytes, int file_index)
      : load_(load), bytes_(bytes), file_index_(file_index) {}

  // `line` is the line numbered `number` of the file's bytes; `crlf_follows` tells whether CR LF
  // ends it there.
  void add(std::string_view line, int number, bool crlf_follows) {
    const auto begin = static_cast<std::size_t>(line.data() - bytes_.data());
    if (crlf_follows) return add_run(begin, begin + line.size() + crlf.size(), number, 1);
    count(number, 1);
    append_run();
    load_.source.append(line);
    load_.source.append(crlf);
  }

  // The `lines` lines numbered from `number` on, which stand in the bytes from `begin` to `end`,
  // each followed by CR LF.
  void add_run(std::size_t begin, std::size_t end, int number, int lines) {
    count(number, lines);
    if (begin != run_end_) {
      append_run();
      run_begin_ = begin;
    }
    run_end_ = end;
  }

  void flush() {
    append_run();
    if (lines_ > 0) {
      load_.map.add_lines({file_index_, first_line_}, lines_);
      check_map_bound(load_);
    }
    lines_ = 0;
  }

 private:
  void count(int number, int lines) {
    if (lines_ == 0) first_line_ = number;
    lines_ += lines;
  }

  void append_run() {
    load_.source.append(bytes_.substr(run_begin_, run_end_ - run_begin_));
    run_begin_ = run_end_;
  }

  Loading& load_;
  std::string_view bytes_;
  int file_index_;
  // The bytes not yet appended; none when run_begin_ == run_end_.
  std::size_t run_begin_ = 0, run_end_ = 0;
  // The lines not yet recorded in the source map: `lines_` of them from `first_line_` on.
  int first_line_ = 0, lines_ = 0;
};

// An include line begins with the directives' mark, a definition line too after its leading
// blanks: any other first byte makes a plain line.
bool may_be_directive(std::string_view line) {
  return !line.empty() && (line[0] == kDirectiveMark || line[0] == ' ');
}

// Whether two paths name one file, asked of the files once per pair and load.
bool same_file(Loading& load, const fs::path& a, const fs::path& b) {
  if (a == b) return true;
  auto [known, added] = load.same_files.try_emplace(a < b ? std::pair(a, b) : std::pair(b, a));
  if (added) known->second = load.files.same_file(a, b);
  return known->second;
}

bool being_read(Loading& load, const fs::path& path) {
  return std::ranges::any_of(load.chain,
                             [&](const fs::path& open) { return same_file(load, open, path); });
}

// The index in load.loaded of the file an include name leads to, looked for once per load.
std::size_t record_for(Loading& load, const std::string& inc_name) {
  if (const auto known = load.located.find(inc_name); known != load.located.end())
    return known->second;
  IncludePath where = locate_include(load.files, load.include_folders, inc_name);
  const auto [record, added] = load.record_of.try_emplace(where.composed, load.loaded.size());
  if (added) {
    load.loaded.push_back({where.composed, where.resolved, LoadedFile::Result::failed});
    load.passed_over.insert(load.passed_over.end(), where.passed_over.begin(),
                            where.passed_over.end());
  }
  load.located.emplace(inc_name, record->second);
  return record->second;
}

// Whether a failure leaves the load nothing to go on with: every later line would pass the bound
// again, or find no memory either.
bool ends_the_load(const Failure& failure) {
  return failure.number() == static_cast<int>(FailureCode::over_load_bound) ||
         failure.number() == static_cast<int>(FailureCode::out_of_memory);
}

// An include repeated here would nest its includes as deep below this place as below the first.
bool may_repeat(const Loading& load, const Expansion& recorded) {
  return load.chain.size() + recorded.depth <= static_cast<std::size_t>(kIncludeDepthLimit);
}

void repeat(Loading& load, const Expansion& recorded) {
  load.source.repeat(recorded.begin, recorded.end);
  load.map.repeat_lines(recorded.first_line, recorded.lines);
  check_map_bound(load);
  load.wb.cur_line = recorded.cur_line;
  load.wb.inc_file = recorded.inc_file;
}

// An include being expanded, with the depth its own includes reach below it.
class Nested {
 public:
  explicit Nested(Loading& load) : load_(load) { load_.nesting.push_back(0); }
  Nested(const Nested&) = delete;
  Nested& operator=(const Nested&) = delete;
  ~Nested() { load_.nesting.pop_back(); }

  std::size_t depth() const { return load_.nesting.back(); }

 private:
  Loading& load_;
};

// The include expanded around one whose includes reached `depth` below it.
void take_in(Loading& load, std::size_t depth) {
  if (!load.nesting.empty()) load.nesting.back() = std::max(load.nesting.back(), depth + 1);
}

// Adds the lines of the included file to Source_bas: reads and expands it the first time, and
// repeats what that added whenever it may. Returns whether the file held at least one line.
bool include_lines(Loading& load, const fs::path& composed, const fs::path& resolved) {
  if (const auto known = load.expansions.find(composed);
      known != load.expansions.end() && may_repeat(load, known->second)) {
    repeat(load, known->second);
    take_in(load, known->second.depth);
    return known->second.held_lines;
  }
  if (++load.expanded > kMostExpansions) throw make_failure(FailureCode::too_many_files);
  const std::size_t findings = load.findings.list().size();
  const std::size_t definitions = load.definition_lines;
  const std::size_t include_failures = load.include_failures;
  const std::size_t placed_failures = load.placed_failures;
  Expansion added;
  added.begin = load.source.size();
  added.first_line = load.map.line_count();
  {
    const Nested nested(load);
    added.held_lines = load_file(load, resolved, composed);
    added.depth = nested.depth();
  }
  take_in(load, added.depth);
  const bool held_lines = added.held_lines;
  // Failed includes below it are repeated with it, as failing again in the same way, unless the
  // failure depended on where the include stood; any other finding is shown each time it arises.
  const std::size_t other_findings =
      load.findings.list().size() - findings - (load.include_failures - include_failures);
  if (other_findings == 0 && placed_failures == load.placed_failures &&
      definitions == load.definition_lines) {
    added.end = load.source.size();
    added.lines = load.map.line_count() - added.first_line;
    added.cur_line = load.wb.cur_line;
    added.inc_file = load.wb.inc_file;
    load.expansions.insert_or_assign(composed, std::move(added));
  }
  return held_lines;
}

}  // namespace

bool load_file(Loading& load, const std::filesystem::path& path,
               const std::filesystem::path& shown) {
  const InChain in_chain(load, path);
  if (load.chain.size() > 1) {
    auto cached = load.contents.find(path);
    if (cached == load.contents.end()) {
      std::string bytes = load.files.read(path, load.bytes_limit - load.bytes_read);
      load.bytes_read += bytes.size();
      cached = load.contents.emplace(path, std::move(bytes)).first;
    }
    return load_lines(load, cached->second, shown);
  }
  std::string bytes = load.files.read(path, load.bytes_limit - load.bytes_read);
  load.bytes_read += bytes.size();
  // The main file's lines are read from the bytes the pane may take over.
  const std::string_view main = load.source.start_main(std::move(bytes));
  try {
    const bool held_lines = load_lines(load, main, shown);
    load.source.finish_main();
    return held_lines;
  } catch (...) {
    load.source.finish_main();
    throw;
  }
}

bool load_lines(Loading& load, std::string_view bytes, const std::filesystem::path& path) {
  FileLines lines(bytes);
  if (lines.at_end()) return false;
  const int file_index = load.map.add_file(path);
  PlainLines plain(load, bytes, file_index);
  // Most lines are plain and end in CR LF: such lines are taken a run at a time, where one
  // follows a line that ended so; the others one by one.
  bool after_crlf = true;
  for (int number = 1; !lines.at_end(); ++number) {
    if (after_crlf) {
      const CrlfRun run = crlf_run<kDirectiveMark, ' '>(bytes, lines.position());
      if (run.lines > 0) {
        plain.add_run(lines.position(), run.end, number, static_cast<int>(run.lines));
        lines.skip_to(run.end);
        number += static_cast<int>(run.lines) - 1;
        continue;
      }
    }
    const std::string_view line = lines.next();
    const std::size_t end = static_cast<std::size_t>(line.data() - bytes.data()) + line.size();
    after_crlf = bytes.substr(end).starts_with(crlf);
    const bool include = may_be_directive(line) && line.starts_with(kInclude);
    if (!include && (!may_be_directive(line) || !is_definition_line(line))) {
      plain.add(line, number, after_crlf);
      continue;
    }
    plain.flush();
    load.reading = {file_index, number};
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
// A file is logged once per load, the first time it is read to its end: a nest that includes
// one file a million times logs it once.
void Include_file(Loading& load, const std::string& inc_name) {
  const std::size_t record = record_for(load, inc_name);
  const fs::path composed = load.loaded[record].composed;
  const fs::path resolved = load.loaded[record].resolved;
  // Each include line once, however often a nest of includes repeats it.
  if (load.include_lines_met.insert({load.reading.file, load.reading.line}).second)
    load.includes.push_back({load.reading, inc_name, name_column(load.wb.cur_line), record});
  // A failure points at the include line, and in the pane at the place of the included text.
  const Location include_line = load.map.location(load.reading, load.map.line_count());
  const SourceOrigin origin = load.reading;
  try {
    try {
      const bool too_deep = load.chain.size() > static_cast<std::size_t>(kIncludeDepthLimit);
      if (too_deep || being_read(load, resolved)) {
        ++load.placed_failures;
        throw make_failure(FailureCode::too_many_files);
      }
      const bool held_lines = include_lines(load, composed, resolved);
      LoadedFile::Result& result = load.loaded[record].result;
      if (held_lines && result != LoadedFile::Result::read)
        load.wb.run_log.write_line(ansi_path(composed) + " loaded");
      result = held_lines ? LoadedFile::Result::read : LoadedFile::Result::empty;
    } catch (const std::bad_alloc&) {
      throw make_failure(FailureCode::out_of_memory);
    }
  } catch (const Failure& failure) {
    load.source.settle();
    const bool spent = load.expanded > kMostExpansions;
    if (load.failed_includes.insert({origin.file, origin.line, failure.number()}).second || spent) {
      ++load.include_failures;
      load.findings.failure(failure, composed, include_line);
    }
    if (ends_the_load(failure) || spent) throw LoadEnded{};
  }
}

}  // namespace kestrel
