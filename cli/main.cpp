#include <iostream>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "cli/kestrelc.h"

#ifdef _WIN32

namespace {

// Every argument in UTF-8, as the program takes paths on every platform. Returns false when an
// argument is not Unicode (a lone surrogate): no UTF-8 names the file it would name.
bool utf8_arguments(int argc, wchar_t** argv, std::vector<std::string>& args) {
  for (int i = 1; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argv[i], -1, nullptr, 0,
                                         nullptr, nullptr);
    if (size == 0) return false;
    std::string arg(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argv[i], -1, arg.data(), size, nullptr,
                        nullptr);
    arg.pop_back();  // the terminating NUL
    args.push_back(std::move(arg));
  }
  return true;
}

// The messages are UTF-8. A console shows them as such only while its output code page is UTF-8;
// the console is the user's, so its own code page comes back when the program ends.
class Utf8Console {
 public:
  Utf8Console() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
      previous_ = GetConsoleOutputCP();
      SetConsoleOutputCP(CP_UTF8);
    }
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;
  ~Utf8Console() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
  }

 private:
  UINT previous_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The result goes to standard output as the bytes a file would get, CR LF untranslated.
  _setmode(_fileno(stdout), _O_BINARY);
  const Utf8Console console;
  std::vector<std::string> args;
  if (!utf8_arguments(argc, argv, args)) {
    std::cerr << "kestrelc: an argument is not valid Unicode\n";
    return 2;
  }
  return kestrel::cli::run(args, std::cout, std::cerr);
}

#else

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrel::cli::run(args, std::cout, std::cerr);
}

#endif
