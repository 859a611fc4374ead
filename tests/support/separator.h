#pragma once

#include <filesystem>

namespace kestrel::testing {

// The separator with which the program joins a folder and a name below it.
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace kestrel::testing
