#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <cstddef>
#include <streambuf>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "cli/kestrelc.h"
#include "files/pages.h"

namespace {

// The C library's streams are closed here, so that a write the system refuses only when the
// buffer is flushed or the file closed is reported too. A stream whose descriptor was closed
// before the program started fails to close, which matters only when something was written to it,
// and that write has failed already.
int closed_streams(int status) {
  errno = 0;
  if (std::fclose(stdout) != 0 && errno != EBADF) {
    std::fputs("kestrelc: error: standard output could not be closed\n", stderr);
    status = std::max(status, 1);
  }
  errno = 0;
  if (std::fclose(stderr) != 0 && errno != EBADF) status = std::max(status, 1);
  return status;
}

}  // namespace

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

// Standard error as a console shows it. The messages are UTF-8, which a console would read in its
// own code page; written as UTF-16 through the console's wide output, every character is shown
// whatever that code page is, and the console is left as the user set it.
class WideConsoleBuffer : public std::streambuf {
 public:
  explicit WideConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    const std::wstring wide = utf16(pending_);
    pending_.clear();
    DWORD written = 0;
    for (std::size_t done = 0; done < wide.size(); done += written) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(console_, wide.data() + done, chunk, &written, nullptr) || written == 0)
        return -1;
    }
    return 0;
  }

 private:
  static std::wstring utf16(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
  }

  HANDLE console_;
  std::string pending_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The result goes to standard output as the bytes a file would get, CR LF untranslated.
  _setmode(_fileno(stdout), _O_BINARY);
  // A source on standard input is read as the bytes a file holds, CR LF untranslated.
  _setmode(_fileno(stdin), _O_BINARY);
  const HANDLE error_handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD console_mode = 0;
  WideConsoleBuffer console(error_handle);
  std::ostream console_err(&console);
  std::ostream& err = GetConsoleMode(error_handle, &console_mode) ? console_err : std::cerr;
  std::vector<std::string> args;
  int status = 2;
  if (utf8_arguments(argc, argv, args)) {
    status = kestrel::cli::run(args, std::cout, err);
  } else {
    err << "kestrelc: an argument is not valid Unicode\n";
  }
  err.flush();
  return closed_streams(status);
}

#else

int main(int argc, char** argv) {
  kestrel::keep_freed_memory();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return closed_streams(kestrel::cli::run(args, std::cout, std::cerr));
}

#endif
