// Bad inputs through Open, Compile and Save in turn: each gives its message and leaves a program
// in which the next clean Open, Compile and Save succeed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "compiler/compile_pass.h"
#include "files/memory_files.h"
#include "loader/open_command.h"
#include "save/save_command.h"
#include "support/scripted_ui.h"
#include "support/separator.h"
#include "text/ansi.h"
#include "workbench/workbench.h"

namespace kestrel {
namespace {

using testing::failure;
using testing::message;
using testing::ScriptedUi;
using testing::Shown;

std::string cp(std::string_view utf8) { return ansi::from_utf8(utf8); }

std::string repeated_lines(int count, const std::function<std::string(int)>& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line(i) + "\r\n";
  return text;
}

std::string every_byte_line() {
  std::string line = "A";
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') line += static_cast<char>(b);
  }
  return line;
}

std::string line_number_text(int n) {
  std::string digits = std::to_string(n);
  return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

struct FaultCase {
  std::string name;
  std::function<void(MemoryFiles&)> make_files;
  std::string source;  // Text2; empty: the dialog answers "gone.bas", which vanishes meanwhile
  bool check1 = false;
  bool check2 = false;
  // Checks what the load and the compile showed and left.
  std::function<void(const std::vector<Shown>&, const Workbench&)> check;
};

std::vector<FaultCase> fault_cases() {
  const auto only = [](std::vector<Shown> expected) {
    return [expected](const std::vector<Shown>& shown, const Workbench&) {
      EXPECT_EQ(shown, expected);
    };
  };
  // Every refused include is titled with the path composed below the current folder.
  const auto all_refuse = [](std::string name) {
    return [name](const std::vector<Shown>& shown, const Workbench& wb) {
      const Shown expected =
          failure("Error#67  " + testing::native("/work/") + name, "Too many files");
      ASSERT_FALSE(shown.empty());
      for (std::size_t i = 0; i + 1 < shown.size(); ++i) EXPECT_EQ(shown[i], expected);
      EXPECT_EQ(shown.back(), message("COMPILE OK"));
      EXPECT_TRUE(wb.Command4_enabled);
    };
  };
  const std::string too_long = cp("Ошибка - Слишком длинная строка ");
  const std::string bad_number = cp("Ошибка номера строки!");
  return {
      {"missing file", [](MemoryFiles&) {}, "missing.bas", false, false,
       only({failure("Error#53", "File not found")})},
      {"missing folder", [](MemoryFiles&) {}, "nofolder/x.bas", false, false,
       only({failure("Error#76", "Path not found")})},
      {"folder as the file", [](MemoryFiles& files) { files.add_folder("dir"); }, "dir", false,
       false, only({failure("Error#75", "Path/File access error")})},
      {"unreadable",
       [](MemoryFiles& files) { files.fail_reads("p.bas", FailureCode::device_io_error); }, "p.bas",
       false, false, only({failure("Error#57", "Device I/O error")})},
      {"vanishes between the dialog and the read",
       [](MemoryFiles& files) { files.add_file("gone.bas", "A\r\n"); }, "", false, false,
       only({testing::open_dialog("All files (*.*)|*.*"), failure("Error#53", "File not found")})},
      {"a 1 MiB line",
       [](MemoryFiles& files) {
         files.add_file("p.bas", "[L]\r\nPRINT " + std::string(1 << 20, 'x') + "\r\nGOTO [L]\r\n");
       },
       "p.bas", false, false, only({message(too_long + "0000 PRINT ...")})},
      {"NUL and every other byte",
       [](MemoryFiles& files) { files.add_file("p.bas", every_byte_line() + "\r\n"); }, "p.bas",
       false, false,
       [](const std::vector<Shown>& shown, const Workbench& wb) {
         EXPECT_EQ(shown, std::vector<Shown>{message("COMPILE OK")});
         EXPECT_EQ(wb.Dest_bas, "0000 " + every_byte_line() + "\r\n");
       }},
      {"200,000 lines",
       [](MemoryFiles& files) {
         files.add_file("p.bas",
                        repeated_lines(200000, [](int i) { return "PRINT " + std::to_string(i); }));
       },
       "p.bas", false, false,
       [bad_number](const std::vector<Shown>& shown, const Workbench& wb) {
         EXPECT_EQ(shown, std::vector<Shown>{message(bad_number + "32768")});
         EXPECT_TRUE(wb.Dest_bas.ends_with("32767 PRINT 32767\r\n"));
       }},
      {"a file that includes itself",
       [](MemoryFiles& files) { files.add_file("X.BAS", "x\r\n#include X.BAS\r\n"); }, "X.BAS",
       false, false, all_refuse("X.BAS")},
      {"a ring of three",
       [](MemoryFiles& files) {
         files.add_file("A.BAS", "a\r\n#include B.BAS\r\n");
         files.add_file("B.BAS", "b\r\n#include C.BAS\r\n");
         files.add_file("C.BAS", "c\r\n#include A.BAS\r\n");
       },
       "A.BAS", false, false, nullptr},
      {"4,098 definitions",
       [](MemoryFiles& files) {
         files.add_file("p.bas", repeated_lines(4098, [](int i) {
                          return "#define N" + std::to_string(i) + " EQU " + std::to_string(i);
                        }));
       },
       "p.bas", false, false,
       [](const std::vector<Shown>& shown, const Workbench& wb) {
         ASSERT_EQ(shown.size(), 48u);
         EXPECT_EQ(shown[0], message("ERROR Count #define > Limit #define N4050 EQU 4050"));
         EXPECT_EQ(shown.back(), failure("Error#9", "Subscript out of range"));
         EXPECT_FALSE(wb.Command4_enabled);
       }},
      {"directive 1E400", [](MemoryFiles& files) { files.add_file("p.bas", "1E400\r\n"); }, "p.bas",
       false, false, only({message(bad_number + "1" + std::string(400, '0'))})},
      {"directive of forty nines",
       [](MemoryFiles& files) { files.add_file("p.bas", std::string(40, '9') + "\r\n"); }, "p.bas",
       false, false, only({message(bad_number + std::string(40, '9'))})},
      {"directive '.'", [](MemoryFiles& files) { files.add_file("p.bas", ".\r\n"); }, "p.bas",
       false, false, only({message("COMPILE OK")})},
      {"more than 32,767 output lines",
       [](MemoryFiles& files) {
         files.add_file("p.bas", repeated_lines(40000, [](int) { return "REM x"; }));
       },
       "p.bas", true, true,
       [](const std::vector<Shown>& shown, const Workbench& wb) {
         EXPECT_EQ(shown, std::vector<Shown>{message("COMPILE OK")});
         EXPECT_EQ(wb.Dest_bas, repeated_lines(40000, [](int) { return "REM x"; }));
       }},
      {"10,000 labels",
       [](MemoryFiles& files) {
         files.add_file("p.bas", repeated_lines(10000, [](int i) {
                          const std::string label = "[L" + std::to_string(i) + "]";
                          return label + "\r\nGOTO " + label;
                        }));
       },
       "p.bas", false, false,
       [](const std::vector<Shown>& shown, const Workbench& wb) {
         EXPECT_EQ(shown, std::vector<Shown>{message("COMPILE OK")});
         EXPECT_EQ(wb.Dest_bas, repeated_lines(10000, [](int i) {
                     return line_number_text(i) + " GOTO " + std::to_string(i);
                   }));
       }},
  };
}

// A ring of includes is refused where it closes, like a file that includes itself.
void check_ring(const std::vector<Shown>& shown, const Workbench& wb) {
  EXPECT_EQ(shown, (std::vector<Shown>{
                       failure("Error#67  " + testing::native("/work/A.BAS"), "Too many files"),
                       message("COMPILE OK")}));
  EXPECT_EQ(wb.Source_bas, "a\r\nb\r\nc\r\n");
}

void open_and_compile(Workbench& wb, ScriptedUi& ui, MemoryFiles& files) {
  const OpenOutcome opened = open_command(wb, ui, files, {files.current_folder()});
  if (opened.read_to_end) compile_command(wb, ui, opened.source_map);
}

TEST(Faults, EachBadInputIsReportedAndTheNextCleanRunSucceeds) {
  for (const FaultCase& c : fault_cases()) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    c.make_files(files);
    Workbench wb;
    ScriptedUi ui;
    wb.source_path = c.source;
    wb.keep_comments = c.check1;
    wb.comments_unnumbered = c.check2;
    if (c.source.empty()) {
      ui.dialog_answers = {"gone.bas"};
      ui.on_shown = [&files](const Shown& s) {
        if (s.kind == Shown::Kind::open_dialog) files.remove("gone.bas");
      };
    }
    open_and_compile(wb, ui, files);
    if (c.check) {
      c.check(ui.shown, wb);
    } else {
      check_ring(ui.shown, wb);
    }

    ui.shown.clear();
    ui.on_shown = nullptr;
    wb.destination_path = "out.bas";
    save_command(wb, ui, files);
    EXPECT_TRUE(ui.shown.empty());
    const std::string pane = wb.Dest_bas;
    const bool ended = pane.empty() || pane.ends_with("\r\n");
    EXPECT_EQ(files.content("out.bas"), ended ? pane : pane + "\r\n");

    files.add_file("clean.bas", "#define X EQU 5\r\n[L]\r\nPRINT X\r\nGOTO [L]\r\n");
    wb.source_path = "clean.bas";
    wb.keep_comments = wb.comments_unnumbered = false;
    open_and_compile(wb, ui, files);
    save_command(wb, ui, files);
    EXPECT_EQ(ui.shown, std::vector<Shown>{message("COMPILE OK")});
    EXPECT_EQ(files.content("out.bas"), "0000 PRINT 5\r\n0001 GOTO 0\r\n");
  }
}

}  // namespace
}  // namespace kestrel
