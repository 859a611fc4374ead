#include "cli/make_rule.h"

#include <algorithm>

namespace kestrel::cli {

std::string make_escaped(std::string_view path) {
  std::string escaped;
  for (const char c : path) {
    if (c == ' ' || c == '\t' || c == '#') escaped += '\\';
    if (c == '$') escaped += '$';
    escaped += c;
  }
  return escaped;
}

std::string make_rule(const std::string& target, const std::vector<std::string>& prerequisites) {
  std::vector<std::string> unique;
  for (const std::string& path : prerequisites)
    if (std::ranges::find(unique, path) == unique.end()) unique.push_back(path);
  std::string rule = make_escaped(target);
  rule += ':';
  for (const std::string& path : unique) {
    rule += " \\\n ";
    rule += make_escaped(path);
  }
  rule += '\n';
  for (std::size_t i = 1; i < unique.size(); ++i) {
    rule += '\n';
    rule += make_escaped(unique[i]);
    rule += ":\n";
  }
  return rule;
}

}  // namespace kestrel::cli
