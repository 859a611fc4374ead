#include "workbench/help_text.h"

#include <array>
#include <string_view>

#include "text/ansi.h"

namespace kestrel {

namespace {

// The blanks at the ends of some lines belong to the text.
constexpr std::array<std::string_view, 33> kLines = {
    "Краткий HELP",
    "",
    "#define   Enable_Led  EQU    PORT 3,1 ",
    "подстановка, должна быть в тексте раньше ",
    "чем встретится значение подстановки",
    "",
    "#define VOLT EQU A",
    "#define end_volt EQU b",
    "IF VOLT=1 THEN end_volt=0",
    "результат",
    "IF A=1 THEN b=0",
    "",
    "#include  TEST_3.BAS",
    "Эта строка вставляет указанный файл в",
    "указанное место, во вставляемом файле допускается ",
    "вложения других файлов",
    "",
    "100",
    "Номер с которого дальше пойдет нумерация",
    "",
    "[METKA_01] - метка ",
    "GOTO [METKA_01] переход на метку",
    "Вместо меток будут подставляться реальные номера",
    "строк",
    "",
    "REM йцукен ",
    "     REM '**** ",
    "Коментарии, если внизу установленно Enable - то ",
    "будут добавлены в выходной файл с номерами строк",
    "если дополнительно установлено Coment - то без",
    "номеров строк",
    "",
    "Во всех случаях регистр имеет значение   ",
};

std::string build_help_text() {
  std::string text;
  for (std::string_view line : kLines) {
    text += ansi::from_utf8(line);
    text += "\r\n";
  }
  return text;
}

}  // namespace

const std::string& help_text() {
  static const std::string text = build_help_text();
  return text;
}

}  // namespace kestrel
